#include "stations/ui/TFormMeteo.h"

#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "stations/MonitorStation.h"
#include "weather/StationReading.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace auravox {

namespace {
const QString kNoCom = QStringLiteral("No COM");
} // namespace

TFormMeteo::TFormMeteo(const MonitorWindowDeps &deps, const SourceWindowContext &context, QWidget *parent)
    : WeatherSourceWindow(SourceKind::MonitorII, QStringLiteral("Davis Monitor II weather station"), QString(),
                          false, context, parent),
      m_deps(deps)
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
    connect(SpinEditRafraichir, &QSpinBox::valueChanged, this, [this](int minutes) { m_period = minutes; });

    // The port held at creation; none until the configuration names one.
    if (m_port != 0 && m_deps.station && m_deps.station->OpenCommPort(m_port, kBaud) == 1) {
        m_ready = true;
        TimerMeteo->setInterval(1000);
        TimerMeteo->start();
    }
}

TFormMeteo::~TFormMeteo()
{
    closePort();
}

void TFormMeteo::closePort()
{
    if (m_ready && m_deps.station)
        m_deps.station->CloseCommPort();
    m_ready = false;
}

QString TFormMeteo::statusText() const
{
    return StaticTextStatus->text();
}

void TFormMeteo::setStatus(const QString &text)
{
    // This window's status line stands for the error line of the others: its
    // two errors are logged when they appear, and their end when a reading
    // completes again.
    const bool error = text == QLatin1String("Weather Monitor error") || text == QLatin1String("COM port error");
    if (error && text != m_loggedError) {
        qCWarning(lcSource).noquote() << windowTitle() << "error:" << text << QStringLiteral("(COM%1)").arg(m_port);
        m_loggedError = text;
    } else if (!error && !m_loggedError.isEmpty() && text.startsWith(QLatin1String("Reading Weather Monitor completed"))) {
        qCInfo(lcSource).noquote() << windowTitle() << "error cleared (was" << m_loggedError + QLatin1Char(')');
        m_loggedError.clear();
    }
    StaticTextStatus->setText(text);
}

void TFormMeteo::countdown(int n)
{
    setStatus(QStringLiteral("Reading Weather Monitor (%1)").arg(n));
    QCoreApplication::processEvents();
}

void TFormMeteo::takeReading()
{
    TimerMeteo->stop();
    // Window messages run between the station's calls; a second reading must
    // not start inside this one.
    if (m_port == 0 || m_reading || !m_deps.station)
        return;
    if (m_deps.announcing && m_deps.announcing()) {
        m_deferred = true; // taken right after the announcement
        return;
    }
    m_reading = true;
    MonitorStation &st = *m_deps.station;
    const UnitSettings &u = *context().units;
    WeatherSnapshot &s = snapshot();
    auto show = [this](WeatherItem item, const MonitorCaption &caption) {
        QCheckBox *box = itemBox(item);
        markPlausible(box, caption.plausible);
        box->setText(caption.text);
    };

    LabelVersion->setText(QStringLiteral("Driver version: ") + QString::number(st.GetDllVersion(), 'f', 3));
    SpinEditRafraichir->setValue(m_period);
    setStatus(QStringLiteral("Reading Weather Monitor ... (6)"));
    QCoreApplication::processEvents();

    const std::optional<MonitorCaption> indoor = m_values.indoorTemp(u, st.GetInsideTemp(), s);
    if (!indoor) {
        // No station on the line: not ready, but the timer goes on looking for it.
        m_ready = false;
        setStatus(QStringLiteral("Weather Monitor error"));
        TimerMeteo->start();
        m_reading = false;
        return;
    }
    m_ready = true;
    show(WeatherItem::IndoorTemp, *indoor);

    countdown(5);
    show(WeatherItem::OutdoorTemp, m_values.outdoorTemp(u, st.GetOutsideTemp(), s));

    countdown(4);
    show(WeatherItem::Pressure, m_values.pressure(u, st.GetBarometer(), s));

    countdown(3);
    if (const std::optional<QString> trend = m_values.pressureTrend(st.GetBarometerTrend(), s))
        itemBox(WeatherItem::PressureTrend)->setText(*trend);

    countdown(2);
    const MonitorWind wind = m_values.wind(u, st.GetWindSpeed(), s);
    show(WeatherItem::WindSpeed, wind.wind);
    itemBox(WeatherItem::WindGust)->setText(wind.gust);

    countdown(1);
    itemBox(WeatherItem::WindDirection)->setText(m_values.direction(st.GetWindDirection(), s));

    QString done = QStringLiteral("Reading Weather Monitor completed ");
    const QString time = m_deps.timeField ? m_deps.timeField() : QString();
    if (!time.isEmpty())
        done += QLatin1Char('(') + time + QStringLiteral(" )");
    setStatus(done);
    TimerMeteo->setInterval(SpinEditRafraichir->value() * 60000);
    TimerMeteo->start();
    m_reading = false;
}

void TFormMeteo::selectSource(bool showWindow)
{
    if (m_port == 0) {
        show(); // so that the user can pick a port
        return;
    }
    if (showWindow)
        show();
    selectConfiguredPort();
}

void TFormMeteo::startUp()
{
    if (m_port == 0 || !(m_deps.isChosenSource && m_deps.isChosenSource()))
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
    QString entry = kNoCom;
    for (int i = 0; i < ListBoxPort->count(); ++i) {
        const QString text = ListBoxPort->item(i)->text();
        bool ok = false;
        if (text.mid(3).toInt(&ok) == m_port && ok && text != kNoCom) {
            entry = text;
            break;
        }
    }
    const QList<QListWidgetItem *> found = ListBoxPort->findItems(entry, Qt::MatchExactly);
    if (!found.isEmpty())
        ListBoxPort->setCurrentItem(found.first());
    ListBoxPortClick(entry);
}

void TFormMeteo::ButtonPortClick()
{
    ListBoxPort->clear();
    const QStringList ports = m_deps.portList ? m_deps.portList() : QStringList{kNoCom};
    for (const QString &p : ports)
        ListBoxPort->addItem(p);
    if (m_silentFill) {
        m_silentFill = false;
        return;
    }
    ListBoxPort->show();
}

void TFormMeteo::setPort(int port)
{
    m_port = port;
    ButtonPort->setText(QStringLiteral("COM=") + QString::number(port));
}

void TFormMeteo::ListBoxPortClick(const QString &entry)
{
    TimerMeteo->stop();
    ListBoxPort->hide();
    if (m_deps.station)
        m_deps.station->CloseCommPort();
    m_ready = false;
    if (entry == kNoCom) {
        setPort(0);
        hide();
        return;
    }
    bool ok = false;
    const int port = entry.mid(3).toInt(&ok);
    setPort(ok ? port : 0);
    if (ok && port != 0 && m_deps.station && m_deps.station->OpenCommPort(port, kBaud) == 1) {
        m_ready = true;
        takeReading();
    } else {
        setStatus(QStringLiteral("COM port error"));
    }
}

void TFormMeteo::takeDeferredReading()
{
    if (!m_deferred)
        return;
    m_deferred = false;
    takeReading();
}

void TFormMeteo::topOfHour(const ClockFields &f)
{
    const int stamp = f.hour * 100 + f.minute;
    if (f.minute != 0 || !(m_deps.isChosenSource && m_deps.isChosenSource()) || !CheckBoxlog->isChecked() ||
        !m_ready || stamp == m_lastLogged)
        return;
    const QString line = MonitorReading::logLine(snapshot());
    if (m_deps.log)
        m_deps.log(line);
    m_lastLogged = stamp;
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

void TFormMeteo::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);

    ConfigKey log;
    log.section = section;
    log.position = 75; // after the direction, before the items this station has not
    log.key = QStringLiteral("LOG=");
    log.save = [this] { return CheckBoxlog->isChecked() ? QStringList{QStringLiteral("LOG=Y")} : QStringList(); };
    log.load = [this](const QString &, const QString &value) {
        if (value == QLatin1String("Y"))
            CheckBoxlog->setChecked(true);
    };
    registry.add(log);

    ConfigKey period;
    period.section = section;
    period.position = 200;
    period.key = QStringLiteral("METPERI=");
    period.save = [this] { return QStringList{QStringLiteral("METPERI=") + QString::number(SpinEditRafraichir->value())}; };
    period.load = [this](const QString &, const QString &value) {
        int v = 0;
        if (ConfigRegistry::parseInt(value, &v)) {
            SpinEditRafraichir->setValue(v);
            m_period = SpinEditRafraichir->value();
        }
    };
    registry.add(period);

    ConfigKey port;
    port.section = section;
    port.position = 210;
    port.key = QStringLiteral("METCOMM=");
    port.save = [this] { return QStringList{QStringLiteral("METCOMM=") + QString::number(m_port)}; };
    port.load = [this](const QString &, const QString &value) {
        int v = 0;
        if (ConfigRegistry::parseInt(value, &v) && v >= 0)
            setPort(v);
    };
    registry.add(port);
}

} // namespace auravox
