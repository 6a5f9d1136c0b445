#include "stations/ui/TFormMeteo.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace auravox {

TFormMeteo::TFormMeteo(MonitorSource &source, const MonitorWindowDeps &deps, const SourceWindowContext &context,
                       QWidget *parent)
    : WeatherSourceWindow(source, false, context, parent), m_monitor(source), m_deps(deps)
{
    setObjectName(QStringLiteral("FormMeteo"));
    auto *root = static_cast<QVBoxLayout *>(layout());

    auto *top = new QHBoxLayout;
    LabelVersion = new QLabel(QStringLiteral("DLL release : "), this);
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    ButtonPort = new QPushButton(QStringLiteral("COM=0"), this);
    ButtonPort->setObjectName(QStringLiteral("ButtonPort"));
    ButtonPort->setToolTip(QStringLiteral("Cliquer pour changer le port"));
    top->addWidget(LabelVersion, 1);
    top->addWidget(ButtonPort);
    root->insertLayout(0, top);
    ListBoxPort = new QListWidget(this);
    ListBoxPort->setObjectName(QStringLiteral("ListBoxPort"));
    ListBoxPort->hide();
    root->insertWidget(1, ListBoxPort);
    auto *panelLabel = new QLabel(QStringLiteral("Check for announcement"), this);
    root->insertWidget(2, panelLabel);

    CheckBoxlog = new QCheckBox(QStringLiteral("Hourly recording of weather data"), this);
    CheckBoxlog->setObjectName(QStringLiteral("CheckBoxlog"));
    root->insertWidget(4, CheckBoxlog);

    // The error line of the file sources has no use here: this window has a status line.
    StaticTextErreur->hide();
    StaticTextStatus = new QLabel(this);
    StaticTextStatus->setObjectName(QStringLiteral("StaticTextStatus"));
    root->addWidget(StaticTextStatus);

    itemBox(WeatherItem::PressureTrend)->setText(QStringLiteral("Trend = "));

    connect(ButtonPort, &QPushButton::clicked, this, &TFormMeteo::ButtonPortClick);
    connect(ListBoxPort, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { ListBoxPortClick(item->text()); });
    bindMonitor();
}

TFormMeteo::~TFormMeteo() = default;

void TFormMeteo::bindMonitor()
{
    MonitorSource &s = m_monitor;
    auto showPort = [this](int port) { ButtonPort->setText(QStringLiteral("COM=") + QString::number(port)); };
    showPort(s.port());
    connect(&s, &MonitorSource::portChanged, this, showPort);
    connect(&s, &MonitorSource::statusLineShown, StaticTextStatus, &QLabel::setText);
    connect(&s, &MonitorSource::versionShown, LabelVersion, &QLabel::setText);
    connect(&s, &MonitorSource::noPortChosen, this, &QWidget::hide);
    CheckBoxlog->setChecked(s.hourlyLog());
    connect(CheckBoxlog, &QCheckBox::toggled, &s, &MonitorSource::setHourlyLog);
    connect(&s, &WeatherSource::settingsChanged, this, [this] { CheckBoxlog->setChecked(m_monitor.hourlyLog()); });
}

QString TFormMeteo::statusText() const
{
    return StaticTextStatus->text();
}

void TFormMeteo::selectSource(bool showWindow)
{
    if (m_monitor.port() == 0) {
        show(); // so that the user can pick a port
        return;
    }
    if (showWindow)
        show();
    selectConfiguredPort();
}

void TFormMeteo::startUp()
{
    if (m_monitor.port() == 0 || !(m_deps.isChosenSource && m_deps.isChosenSource()))
        return;
    if (!(m_deps.startsMinimized && m_deps.startsMinimized())) {
        const QRect r = context().sharedGeometry ? context().sharedGeometry() : geometry();
        move(r.topLeft());
        show();
    }
    selectConfiguredPort();
}

void TFormMeteo::selectConfiguredPort()
{
    m_silentFill = true;
    ButtonPortClick();
    const QString entry = m_monitor.chooseConfiguredPort();
    const QList<QListWidgetItem *> found = ListBoxPort->findItems(entry, Qt::MatchExactly);
    if (!found.isEmpty())
        ListBoxPort->setCurrentItem(found.first());
}

void TFormMeteo::ButtonPortClick()
{
    ListBoxPort->clear();
    const QStringList ports = m_deps.portList ? m_deps.portList() : QStringList{MonitorSource::kNoCom};
    for (const QString &p : ports)
        ListBoxPort->addItem(p);
    if (m_silentFill) {
        m_silentFill = false;
        return;
    }
    ListBoxPort->show();
}

void TFormMeteo::ListBoxPortClick(const QString &entry)
{
    ListBoxPort->hide();
    m_monitor.choosePortEntry(entry);
}

void TFormMeteo::showEvent(QShowEvent *event)
{
    const UnitSettings &u = *context().units;
    for (WeatherItem item : {WeatherItem::IndoorTemp, WeatherItem::OutdoorTemp}) {
        QCheckBox *box = itemBox(item);
        box->setText(UnitSettings::withTemperatureLabel(box->text(), u.temperatureLabel));
    }
    QCheckBox *pressure = itemBox(WeatherItem::Pressure);
    pressure->setText(UnitSettings::withUnitInBrackets(pressure->text(), u.pressureLabel));
    for (WeatherItem item : {WeatherItem::WindSpeed, WeatherItem::WindGust}) {
        QCheckBox *box = itemBox(item);
        box->setText(UnitSettings::withUnitInBrackets(box->text(), u.windLabel));
    }
    WeatherSourceWindow::showEvent(event);
}

} // namespace auravox
