#include "stations/ui/HistorySourceWindow.h"

#include "common/ConfigRegistry.h"
#include "common/OutsideFile.h"
#include "platform/UserPrompts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
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

HistorySourceWindow::HistorySourceWindow(const Layout &layout, const SourceWindowContext &context, QWidget *parent)
    : WeatherSourceWindow(layout.kind, layout.title, layout.prefix, true, context, parent), m_layout(layout)
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
    SpinEditOffSetPression->setValue(0);
    Label6 = namedLabel(layout.offsetUnitLabel, "Label6", pressureParent);
    Label8 = namedLabel(QStringLiteral("Trend threshold"), "Label8", pressureParent);
    SpinEditSeuiltendance = new QSpinBox(pressureParent);
    SpinEditSeuiltendance->setObjectName(QStringLiteral("SpinEditSeuiltendance"));
    SpinEditSeuiltendance->setRange(1, layout.trendMax);
    SpinEditSeuiltendance->setValue(4);
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

    // Every reader's threshold is the one shared value.
    connect(SpinEditSeuiltendance, &QSpinBox::valueChanged, this, [this](int value) {
        if (this->context().limits)
            this->context().limits->trendThreshold = value * 0.1;
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

void HistorySourceWindow::takeReading()
{
    TimerMeteo->stop();
    const UnitSettings &u = *context().units;
    if (u.pressureFactor != 1) {
        Label6->setText(QStringLiteral("0.01*inHg"));
        Label9->setText(QStringLiteral("0.01*inHg"));
    } else {
        Label6->setText(QStringLiteral("mBars"));
        Label9->setText(QStringLiteral("0.1*mB/h"));
    }
    StationSettings settings;
    settings.units = u;
    if (context().limits)
        settings.limits = *context().limits;
    settings.pressureOffset = SpinEditOffSetPression->value();

    QString path = dataPath();
    if (!path.isEmpty() && OutsideFile::probe(path) != OutsideFile::Status::Missing) {
        SourceDisplay d;
        const Outcome outcome = readFile(path, settings, d);
        if (d.lastRecordTime > 0)
            d.dateTime = recordTimeText(d.lastRecordTime);
        showDisplay(d);
        if (path != dataPath()) {
            setDataPath(path);
            EditDat->selectAll();
        }
        if (outcome == Outcome::FileError) {
            if (context().prompts)
                context().prompts->beep();
            setErrorLine(QStringLiteral("File error"));
        } else if (outcome == Outcome::Read && successClearsError()) {
            setErrorLine(QString());
        }
    }
    // The timer runs on whatever happened, so a file that comes back is read again.
    TimerMeteo->start();
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
    if (OutsideFile::probe(chosen) != OutsideFile::Status::Missing) {
        setDataPath(chosen);
        EditDat->selectAll();
        setErrorLine(QString());
        ButtonRafraichirClick();
    } else {
        setDataPath(QString());
        context().prompts->beep();
        setErrorLine(QStringLiteral("File error"));
    }
}

void HistorySourceWindow::declareIntKey(ConfigRegistry &registry, int section, int position, const QString &key,
                                        QSpinBox *spin)
{
    ConfigKey k;
    k.section = section;
    k.position = position;
    k.key = key;
    k.save = [key, spin] { return QStringList{key + QString::number(spin->value())}; };
    k.load = [spin](const QString &, const QString &value) {
        int v = 0;
        if (ConfigRegistry::parseInt(value, &v))
            spin->setValue(v); // brought into the spin edit's range
    };
    registry.add(k);
}

void HistorySourceWindow::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
    const QString &p = m_layout.prefix;
    declareIntKey(registry, section, 200, p + QStringLiteral("METPERI="), SpinEditRafraichir);

    ConfigKey dat;
    dat.section = section;
    dat.position = 210;
    dat.key = p + QStringLiteral("DAT=");
    dat.save = [this, key = dat.key] {
        return dataPath().isEmpty() ? QStringList() : QStringList{key + dataPath()};
    };
    dat.load = [this](const QString &, const QString &value) {
        if (value.isEmpty())
            return;
        if (OutsideFile::probe(value) != OutsideFile::Status::Missing) {
            setDataPath(value);
        } else {
            setDataPath(QString());
            setErrorLine(QStringLiteral("File error"));
        }
    };
    registry.add(dat);
    declareOwnKeys(registry, section);
}

void HistorySourceWindow::declareOwnKeys(ConfigRegistry &registry, int section)
{
    declareIntKey(registry, section, 230, m_layout.prefix + QStringLiteral("POFFSET="), SpinEditOffSetPression);
    declareIntKey(registry, section, 240, m_layout.prefix + QStringLiteral("SEUILTEN="), SpinEditSeuiltendance);
}

} // namespace auravox
