#include "weather/ui/WeatherSourceWindow.h"

#include "common/ConfigRegistry.h"
#include "common/ui/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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

WeatherSourceWindow::WeatherSourceWindow(WeatherSource &source, bool fileOrInternet,
                                         const SourceWindowContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_source(&source), m_context(context)
{
    setWindowTitle(source.name());
    build(fileOrInternet);
}

WeatherSourceWindow::~WeatherSourceWindow() = default;

void WeatherSourceWindow::unbindEntryFromPath()
{
    m_entryIsPath = false;
    if (EditDat)
        disconnect(EditDat, &QLineEdit::textChanged, m_source, nullptr);
}

void WeatherSourceWindow::build(bool fileOrInternet)
{
    auto *root = new QVBoxLayout(this);
    TimerMeteo = m_source->timer();

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
    const SourceKind kind = m_source->kind();
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
    SpinEditRafraichir->setRange(WeatherSource::kMinPeriodMinutes, WeatherSource::kMaxPeriodMinutes);
    SpinEditRafraichir->setValue(m_source->refreshMinutes());
    refreshRow->addWidget(SpinEditRafraichir);
    refreshRow->addWidget(new QLabel(QStringLiteral("minute(s)"), this));
    ButtonRafraichir = new QPushButton(QStringLiteral("Refresh"), this);
    ButtonRafraichir->setObjectName(QStringLiteral("ButtonRafraichir"));
    ButtonRafraichir->setToolTip(QStringLiteral("Pour rafraichir manuellement"));
    refreshRow->addStretch(1);
    refreshRow->addWidget(ButtonRafraichir);
    root->addLayout(refreshRow);
    connect(ButtonRafraichir, &QPushButton::clicked, this, [this] { ButtonRafraichirClick(); });

    StaticTextErreur = new QLabel(this);
    StaticTextErreur->setObjectName(QStringLiteral("StaticTextErreur"));
    QPalette red = StaticTextErreur->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    StaticTextErreur->setPalette(red);
    root->addWidget(StaticTextErreur);
    bindSource();
}

void WeatherSourceWindow::bindSource()
{
    WeatherSource *s = m_source;
    // A new period applies at once, not only at the next Refresh.
    connect(SpinEditRafraichir, &QSpinBox::valueChanged, s, &WeatherSource::setRefreshMinutes);
    for (int i = 0; i < kWeatherItemCount; ++i) {
        if (QCheckBox *box = m_items[static_cast<size_t>(i)]) {
            const auto item = static_cast<WeatherItem>(i);
            connect(box, &QCheckBox::toggled, s, [s, item](bool on) { s->setItemSelected(item, on); });
        }
    }
    if (EditDat) {
        EditDat->setText(s->dataPath());
        connect(EditDat, &QLineEdit::textChanged, s, &WeatherSource::setDataPath);
    }
    connect(s, &WeatherSource::selectionChanged, this, [this] {
        const AnnounceSelection sel = m_source->selection();
        for (int i = 0; i < kWeatherItemCount; ++i) {
            if (QCheckBox *box = m_items[static_cast<size_t>(i)])
                box->setChecked(sel.items[static_cast<size_t>(i)]);
        }
    });
    connect(s, &WeatherSource::settingsChanged, this, [this] {
        SpinEditRafraichir->setValue(m_source->refreshMinutes());
        if (EditDat && m_entryIsPath && EditDat->text() != m_source->dataPath()) {
            EditDat->setText(m_source->dataPath());
            EditDat->selectAll();
        }
    });
    connect(s, &WeatherSource::errorLineShown, StaticTextErreur, &QLabel::setText);
    connect(s, &WeatherSource::displayed, this, &WeatherSourceWindow::showDisplay);
}

void WeatherSourceWindow::selectSource(bool showWindow)
{
    m_source->select();
    if (showWindow)
        show();
}

void WeatherSourceWindow::ButtonRafraichirClick()
{
    m_source->refresh();
}

void WeatherSourceWindow::TimerMeteoTimer()
{
    m_source->timerTick();
}

QString WeatherSourceWindow::shownErrorLine() const
{
    return StaticTextErreur->text();
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
    m_source->declareConfig(registry, section);
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
