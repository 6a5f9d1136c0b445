#include "stations/ui/HistorySourceWindow.h"

#include "platform/UserPrompts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace auravox {

namespace {

constexpr WeatherItem kAllItems[] = {
    WeatherItem::IndoorTemp,    WeatherItem::OutdoorTemp, WeatherItem::Pressure,  WeatherItem::PressureTrend,
    WeatherItem::WindSpeed,     WeatherItem::WindGust,    WeatherItem::WindDirection, WeatherItem::WindChill,
    WeatherItem::Rain24h,       WeatherItem::OutdoorHumidity,
};

QLabel *namedLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

HistorySourceWindow::HistorySourceWindow(HistorySource &source, const Layout &layout,
                                         const SourceWindowContext &context, QWidget *parent)
    : WeatherSourceWindow(source, true, context, parent), m_history(source), m_layout(layout)
{
    LabelHistoryFile->setText(layout.fileLabel);
    for (int i = 0; i < layout.captions.size() && i < kWeatherItemCount; ++i) {
        if (QCheckBox *box = itemBox(kAllItems[i]); box && !layout.captions.at(i).isEmpty())
            box->setText(layout.captions.at(i));
    }

    auto *extra = new QVBoxLayout;
    LabelTros = namedLabel(QStringLiteral("Dew point (\u00b0C) = "), "LabelTros", this);
    LabelHumInt = namedLabel(QStringLiteral("Indoor humidity (%) ="), "LabelHumInt", this);
    auto *labels = new QHBoxLayout;
    labels->addWidget(LabelTros);
    labels->addWidget(LabelHumInt);
    extra->addLayout(labels);

    QWidget *pressureParent = this;
    if (layout.pressureGroup) {
        GroupBoxPression = new QGroupBox(QStringLiteral("Pressure"), this);
        GroupBoxPression->setObjectName(QStringLiteral("GroupBoxPression"));
        pressureParent = GroupBoxPression;
    }
    auto *grid = new QGridLayout;
    Label5 = namedLabel(layout.adjustLabel, "Label5", pressureParent);
    SpinEditOffSetPression = new QSpinBox(pressureParent);
    SpinEditOffSetPression->setObjectName(QStringLiteral("SpinEditOffSetPression"));
    SpinEditOffSetPression->setRange(INT_MIN + 1, INT_MAX); // no limits
    SpinEditOffSetPression->setValue(source.pressureOffset());
    Label6 = namedLabel(layout.offsetUnitLabel, "Label6", pressureParent);
    Label8 = namedLabel(QStringLiteral("Trend threshold"), "Label8", pressureParent);
    SpinEditSeuiltendance = new QSpinBox(pressureParent);
    SpinEditSeuiltendance->setObjectName(QStringLiteral("SpinEditSeuiltendance"));
    SpinEditSeuiltendance->setRange(1, source.trendMax());
    SpinEditSeuiltendance->setValue(source.trendThreshold());
    Label9 = namedLabel(QStringLiteral("0.1*mB/h"), "Label9", pressureParent);
    grid->addWidget(Label5, 0, 0);
    grid->addWidget(SpinEditOffSetPression, 0, 1);
    grid->addWidget(Label6, 0, 2);
    grid->addWidget(Label8, 1, 0);
    grid->addWidget(SpinEditSeuiltendance, 1, 1);
    grid->addWidget(Label9, 1, 2);
    m_pressureRow = new QHBoxLayout;
    grid->addLayout(m_pressureRow, 2, 0, 1, 3);
    if (GroupBoxPression) {
        GroupBoxPression->setLayout(grid);
        extra->addWidget(GroupBoxPression);
    } else {
        extra->addLayout(grid);
    }
    // Under the value boxes, above the refresh row.
    static_cast<QVBoxLayout *>(this->layout())->insertLayout(3, extra);

    connect(SpinEditOffSetPression, &QSpinBox::valueChanged, &source, &HistorySource::setPressureOffset);
    connect(SpinEditSeuiltendance, &QSpinBox::valueChanged, &source, &HistorySource::setTrendThreshold);
    connect(&source, &WeatherSource::settingsChanged, this, [this] {
        SpinEditOffSetPression->setValue(m_history.pressureOffset());
        SpinEditSeuiltendance->setValue(m_history.trendThreshold());
    });
    connect(&source, &WeatherSource::displayed, this, [this](const SourceDisplay &d) {
        if (!d.trendUnit.isEmpty())
            Label9->setText(d.trendUnit);
    });
    connect(ButtonParcourir, &QPushButton::clicked, this, &HistorySourceWindow::ButtonParcourirClick);
}

QStringList HistorySourceWindow::creationCaptions(const QString &outdoor, const QString &pressure)
{
    return {QStringLiteral("Indoor T (\u00b0C) ="), outdoor,
            pressure,                               QStringLiteral("Trend = "),
            QStringLiteral("Wind (km/h) ="),        QStringLiteral("Gust (km/h) ="),
            QStringLiteral("Direction ="),          QStringLiteral("Wind chill (\u00b0C) ="),
            QStringLiteral("Rain/24h (mm) = "),     QStringLiteral("Humidity (%) =")};
}

QStringList HistorySourceWindow::unitBrowseCaptions(const QString &rainCaption) const
{
    const UnitSettings &u = *context().units;
    const QString &tl = u.temperatureLabel;
    return {QStringLiteral("Indoor T (\u00b0%1) = ").arg(tl),
            QStringLiteral("Outdoor T (\u00b0%1) = ").arg(tl),
            QStringLiteral("Atm. P (%1) = ").arg(u.pressureLabel),
            QStringLiteral("Trend = "),
            QStringLiteral("Wind (%1) = ").arg(u.windLabel),
            QStringLiteral("Gust (%1) = ").arg(u.windLabel),
            QStringLiteral("Direction (\u00b0) = "),
            QString(), // the wind chill caption stays
            rainCaption,
            QStringLiteral("Humidity (%) = ")};
}

void HistorySourceWindow::addToPressureRow(QWidget *widget)
{
    m_pressureRow->addWidget(widget);
}

void HistorySourceWindow::ButtonParcourirClick()
{
    if (!context().prompts)
        return;
    const QString chosen =
        context().prompts->openFileName(m_layout.dialogFilter, m_layout.defaultSuffix, dataPath());
    if (chosen.isEmpty())
        return; // cancelled: nothing changes
    for (WeatherItem item : {WeatherItem::IndoorTemp, WeatherItem::OutdoorTemp, WeatherItem::Pressure,
                             WeatherItem::WindSpeed, WeatherItem::WindGust, WeatherItem::WindChill}) {
        if (item == WeatherItem::WindChill && !browseResetsWindChill())
            continue;
        if (QCheckBox *box = itemBox(item))
            markPlausible(box, true);
    }
    const QStringList captions = browseCaptions();
    for (int i = 0; i < captions.size() && i < kWeatherItemCount; ++i) {
        if (QCheckBox *box = itemBox(kAllItems[i]); box && !captions.at(i).isNull())
            box->setText(captions.at(i));
    }
    Editdatemeteo->clear();
    if (m_history.chooseFile(chosen))
        EditDat->selectAll();
}

} // namespace auravox
