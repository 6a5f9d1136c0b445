#include "weather/ui/WeatherSourceWindow.h"

#include "common/ConfigRegistry.h"
#include "common/DateTime.h"
#include "common/Log.h"
#include "common/ui/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace auravox {

namespace {
struct ItemInfo
{
    WeatherItem item;
    const char *box;
    const char *key;
    const char *caption;
};
constexpr ItemInfo kItems[] = {
    {WeatherItem::IndoorTemp, "CheckBoxTint", "TEMPINT=", "Indoor T (°C) ="},
    {WeatherItem::OutdoorTemp, "CheckBoxText", "TEMPEXT=", "Outdoor T (°C) ="},
    {WeatherItem::Pressure, "CheckBoxPatm", "PRESATM=", "Atm. P (mBar) ="},
    {WeatherItem::PressureTrend, "CheckBoxTend", "PRETEND=", "Trend ="},
    {WeatherItem::WindSpeed, "CheckBoxVent", "VITVENT=", "Wind (km/h) ="},
    {WeatherItem::WindGust, "CheckBoxRafa", "VITRAFA=", "Gust (km/h) ="},
    {WeatherItem::WindDirection, "CheckBoxDire", "DIRVENT=", "Direction ="},
    {WeatherItem::WindChill, "CheckBoxTRes", "TRES=", "Wind chill (°C) ="},
    {WeatherItem::Rain24h, "CheckBoxPluie", "PLUIE=", "Rain 24h (mm) ="},
    {WeatherItem::OutdoorHumidity, "CheckBoxHumiExt", "HUMIDI=", "Humidity (%) ="},
};
} // namespace

WeatherSourceWindow::WeatherSourceWindow(SourceKind kind, const QString &title, const QString &configPrefix,
                                         bool fileOrInternet, const SourceWindowContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_kind(kind), m_prefix(configPrefix), m_context(context)
{
    setWindowTitle(title);
    auto *root = new QVBoxLayout(this);

    TimerMeteo = new QTimer(this);
    TimerMeteo->setObjectName(QStringLiteral("TimerMeteo"));
    TimerMeteo->setInterval(kDefaultTimerMs);
    connect(TimerMeteo, &QTimer::timeout, this, &WeatherSourceWindow::TimerMeteoTimer);

    if (fileOrInternet) {
        auto *fileRow = new QHBoxLayout;
        LabelHistoryFile = new QLabel(this);
        LabelHistoryFile->setObjectName(QStringLiteral("LabelHistoryFile"));
        fileRow->addWidget(LabelHistoryFile);
        EditDat = new QLineEdit(this);
        EditDat->setObjectName(QStringLiteral("EditDat"));
        ButtonParcourir = new QPushButton(QStringLiteral("Browse"), this);
        ButtonParcourir->setObjectName(QStringLiteral("ButtonParcourir"));
        fileRow->addWidget(EditDat, 1);
        fileRow->addWidget(ButtonParcourir);
        root->addLayout(fileRow);
        auto *dateRow = new QHBoxLayout;
        auto *dateLabel = new QLabel(QStringLiteral("Date :"), this);
        dateLabel->setObjectName(QStringLiteral("LabelDate"));
        dateRow->addWidget(dateLabel);
        Editdatemeteo = new QLineEdit(this);
        Editdatemeteo->setObjectName(QStringLiteral("Editdatemeteo"));
        Editdatemeteo->setReadOnly(true);
        dateRow->addWidget(Editdatemeteo, 1);
        root->addLayout(dateRow);
    }

    auto *grid = new QGridLayout;
    int row = 0;
    for (const ItemInfo &info : kItems) {
        if (!sourceHasItem(kind, info.item))
            continue;
        auto *box = new QCheckBox(QString::fromUtf8(info.caption), this);
        // The Monitor II window spells its trend box with a small t.
        const char *name = kind == SourceKind::MonitorII && info.item == WeatherItem::PressureTrend ? "CheckBoxtend"
                                                                                                     : info.box;
        box->setObjectName(QLatin1String(name));
        m_items[static_cast<size_t>(info.item)] = box;
        grid->addWidget(box, row / 2, row % 2);
        ++row;
    }
    root->addLayout(grid);

    auto *refreshRow = new QHBoxLayout;
    refreshRow->addWidget(new QLabel(QStringLiteral("every"), this));
    SpinEditRafraichir = new QSpinBox(this);
    SpinEditRafraichir->setObjectName(QStringLiteral("SpinEditRafraichir"));
    SpinEditRafraichir->setRange(1, 60);
    SpinEditRafraichir->setValue(1);
    refreshRow->addWidget(SpinEditRafraichir);
    refreshRow->addWidget(new QLabel(QStringLiteral("minute(s)"), this));
    ButtonRafraichir = new QPushButton(QStringLiteral("Refresh"), this);
    ButtonRafraichir->setObjectName(QStringLiteral("ButtonRafraichir"));
    ButtonRafraichir->setToolTip(QStringLiteral("Pour rafraichir manuellement"));
    refreshRow->addStretch(1);
    refreshRow->addWidget(ButtonRafraichir);
    root->addLayout(refreshRow);
    connect(ButtonRafraichir, &QPushButton::clicked, this, [this] { ButtonRafraichirClick(); });
    // A new period applies at once, not only at the next Refresh.
    connect(SpinEditRafraichir, &QSpinBox::valueChanged, this,
            [this](int minutes) { TimerMeteo->setInterval(minutes * 60000); });

    StaticTextErreur = new QLabel(this);
    StaticTextErreur->setObjectName(QStringLiteral("StaticTextErreur"));
    QPalette red = StaticTextErreur->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    StaticTextErreur->setPalette(red);
    root->addWidget(StaticTextErreur);
}

bool WeatherSourceWindow::isReady() const
{
    return !dataPath().isEmpty();
}

void WeatherSourceWindow::selectSource(bool showWindow)
{
    takeReading();
    if (showWindow)
        show();
}

void WeatherSourceWindow::ButtonRafraichirClick()
{
    TimerMeteo->setInterval(SpinEditRafraichir->value() * 60000);
    takeReading();
}

void WeatherSourceWindow::TimerMeteoTimer()
{
    // No second reading can start from the event loop while this one runs;
    // each reader starts the timer again by its own rules.
    TimerMeteo->stop();
    takeReading();
}

QString WeatherSourceWindow::dateTimeText(double days)
{
    if (!(days > 0 && days < 2958466)) // no time, or past the year 9999
        return QString();
    QDateTime t = DateTimeUtil::fromDays(days);
    // To the nearest second: a station's times are often a hair under it.
    const int ms = t.time().msecsSinceStartOfDay();
    t = QDateTime(t.date(), QTime(0, 0)).addMSecs((ms + 500) / 1000 * 1000);
    const QLocale locale = QLocale::system();
    const QString date = locale.toString(t.date(), QLocale::ShortFormat);
    // Midnight shows as the date alone, as the system's date-time text does.
    if (t.time() == QTime(0, 0))
        return date;
    return date + QLatin1Char(' ') + locale.toString(t.time(), QStringLiteral("HH:mm:ss"));
}

QString WeatherSourceWindow::errorLine() const
{
    return m_error;
}

void WeatherSourceWindow::setErrorLine(const QString &text)
{
    if (text != m_error) {
        const QString source = windowTitle().trimmed();
        if (text.isEmpty())
            qCInfo(lcSource).noquote() << source << "error cleared (was" << m_error + QLatin1Char(')');
        else
            qCWarning(lcSource).noquote() << source << "error:" << text;
        m_error = text;
    }
    StaticTextErreur->setText(text);
}

void WeatherSourceWindow::showProgress(const QString &text)
{
    StaticTextErreur->setText(text.isEmpty() ? m_error : text);
}

QString WeatherSourceWindow::shownErrorLine() const
{
    return StaticTextErreur->text();
}

QString WeatherSourceWindow::dataPath() const
{
    return EditDat ? EditDat->text() : QString();
}

void WeatherSourceWindow::setDataPath(const QString &path)
{
    if (EditDat)
        EditDat->setText(path);
}

AnnounceSelection WeatherSourceWindow::selection() const
{
    AnnounceSelection s;
    for (int i = 0; i < kWeatherItemCount; ++i) {
        if (m_items[static_cast<size_t>(i)])
            s.items[static_cast<size_t>(i)] = m_items[static_cast<size_t>(i)]->isChecked();
    }
    return s;
}

QString WeatherSourceWindow::unitCaption(WeatherItem item) const
{
    const UnitSettings &u = *m_context.units;
    for (const ItemInfo &info : kItems) {
        if (info.item != item)
            continue;
        const QString caption = QString::fromUtf8(info.caption);
        switch (item) {
        case WeatherItem::IndoorTemp:
        case WeatherItem::OutdoorTemp:
        case WeatherItem::WindChill: return UnitSettings::withTemperatureLabel(caption, u.temperatureLabel);
        case WeatherItem::Pressure: return UnitSettings::withUnitInBrackets(caption, u.pressureLabel);
        case WeatherItem::WindSpeed:
        case WeatherItem::WindGust: return UnitSettings::withUnitInBrackets(caption, u.windLabel);
        case WeatherItem::Rain24h: return UnitSettings::withUnitInBrackets(caption, u.rainLabel);
        default: return caption;
        }
    }
    return QString();
}

QRect WeatherSourceWindow::savedGeometry() const
{
    return QRect(pos(), size());
}

void WeatherSourceWindow::markPlausible(QWidget *caption, bool plausible)
{
    QPalette p = caption->palette();
    p.setColor(QPalette::WindowText, plausible ? QColor(0, 0, 0) : QColor(255, 0, 0));
    p.setColor(QPalette::ButtonText, plausible ? QColor(0, 0, 0) : QColor(255, 0, 0));
    caption->setPalette(p);
}

void WeatherSourceWindow::showDisplay(const SourceDisplay &d)
{
    auto put = [](QWidget *caption, const SourceCaption &c, auto setText) {
        if (!caption || c.text.isEmpty())
            return;
        setText(c.text);
        if (c.coloured)
            markPlausible(caption, !c.red);
    };
    const std::pair<WeatherItem, const SourceCaption *> items[] = {
        {WeatherItem::IndoorTemp, &d.indoorTemp},   {WeatherItem::OutdoorTemp, &d.outdoorTemp},
        {WeatherItem::Pressure, &d.pressure},       {WeatherItem::PressureTrend, &d.trend},
        {WeatherItem::WindSpeed, &d.wind},          {WeatherItem::WindGust, &d.gust},
        {WeatherItem::WindDirection, &d.direction}, {WeatherItem::OutdoorHumidity, &d.humidity},
        {WeatherItem::Rain24h, &d.rain},            {WeatherItem::WindChill, &d.windChill},
    };
    for (const auto &[item, caption] : items) {
        QCheckBox *box = itemBox(item);
        put(box, *caption, [box](const QString &text) { box->setText(text); });
    }
    put(LabelHumInt, d.indoorHumidity, [this](const QString &text) { LabelHumInt->setText(text); });
    auto label = [](QLabel *l, const QString &text) {
        if (l && !text.isEmpty())
            l->setText(text);
    };
    label(LabelTros, d.dewPoint);
    label(LabelICAO, d.airportCode);
    label(Label6, d.pressureAdjustUnit);
    if (d.dateTime)
        Editdatemeteo->setText(*d.dateTime);
}

void WeatherSourceWindow::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
}

void WeatherSourceWindow::declareItemKeys(ConfigRegistry &registry, int section)
{
    int position = 10;
    for (const ItemInfo &info : kItems) {
        QCheckBox *box = m_items[static_cast<size_t>(info.item)];
        const int here = position;
        position += 10;
        if (!box)
            continue;
        ConfigKey k;
        k.section = section;
        k.position = here;
        k.key = m_prefix + QLatin1String(info.key);
        const QString line = k.key + QLatin1Char('Y');
        k.save = [box, line]() { return box->isChecked() ? QStringList{line} : QStringList(); };
        k.load = [box](const QString &, const QString &value) {
            if (value == QLatin1String("Y"))
                box->setChecked(true);
        };
        registry.add(k);
    }
}

void WeatherSourceWindow::setVisible(bool visible)
{
    // Placed before the window is mapped, by its frame, as the shared
    // rectangle keeps it (top and left of the frame, size of the window).
    if (visible && isHidden() && m_context.sharedGeometry) {
        const QRect r = m_context.sharedGeometry();
        move(r.topLeft());
        resize(r.size());
        placeByFrame(this);
    }
    QWidget::setVisible(visible);
}

void WeatherSourceWindow::showEvent(QShowEvent *event)
{
    if (m_context.hideChoiceWindow)
        m_context.hideChoiceWindow();
    if (EditDat)
        EditDat->selectAll();
    QWidget::showEvent(event);
}

void WeatherSourceWindow::closeEvent(QCloseEvent *event)
{
    if (m_context.setSharedGeometry)
        m_context.setSharedGeometry(savedGeometry());
    closeDataFile();
    QWidget::closeEvent(event);
}

} // namespace auravox
