#include "weather/WeatherSource.h"

#include "common/ConfigKeys.h"
#include "common/ConfigRegistry.h"
#include "common/DateTime.h"
#include "common/Log.h"

#include <QLocale>
#include <QTimer>

#include <algorithm>

namespace auravox {

namespace {
// The item keys after the source's prefix, in the item order.
constexpr std::pair<WeatherItem, const char *> kItemKeys[] = {
    {WeatherItem::IndoorTemp, "TEMPINT="},    {WeatherItem::OutdoorTemp, "TEMPEXT="},
    {WeatherItem::Pressure, "PRESATM="},      {WeatherItem::PressureTrend, "PRETEND="},
    {WeatherItem::WindSpeed, "VITVENT="},     {WeatherItem::WindGust, "VITRAFA="},
    {WeatherItem::WindDirection, "DIRVENT="}, {WeatherItem::WindChill, "TRES="},
    {WeatherItem::Rain24h, "PLUIE="},         {WeatherItem::OutdoorHumidity, "HUMIDI="},
};
} // namespace

WeatherSource::WeatherSource(SourceKind kind, const QString &name, const QString &configPrefix,
                             const SourceContext &context, QObject *parent)
    : QObject(parent), m_kind(kind), m_name(name), m_prefix(configPrefix), m_context(context)
{
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("TimerMeteo"));
    m_timer->setInterval(kDefaultPeriodMinutes * 60000);
    connect(m_timer, &QTimer::timeout, this, &WeatherSource::timerTick);
}

WeatherSource::~WeatherSource() = default;

bool WeatherSource::isReady() const
{
    return !m_dataPath.isEmpty();
}

void WeatherSource::select()
{
    takeReading();
}

void WeatherSource::refresh()
{
    m_timer->setInterval(m_minutes * 60000);
    takeReading();
}

void WeatherSource::timerTick()
{
    m_timer->stop();
    takeReading();
}

void WeatherSource::setRefreshMinutes(int minutes)
{
    minutes = std::clamp(minutes, kMinPeriodMinutes, kMaxPeriodMinutes);
    if (minutes == m_minutes)
        return;
    m_minutes = minutes;
    m_timer->setInterval(minutes * 60000);
    emit settingsChanged();
}

void WeatherSource::setDataPath(const QString &path)
{
    if (path == m_dataPath)
        return;
    m_dataPath = path;
    emit settingsChanged();
}

void WeatherSource::setSelection(const AnnounceSelection &selection)
{
    AnnounceSelection s;
    for (int i = 0; i < kWeatherItemCount; ++i) {
        const auto item = static_cast<WeatherItem>(i);
        s.set(item, sourceHasItem(m_kind, item) && selection.has(item));
    }
    if (s.items == m_selection.items)
        return;
    m_selection = s;
    emit selectionChanged();
}

void WeatherSource::setItemSelected(WeatherItem item, bool on)
{
    AnnounceSelection s = m_selection;
    s.set(item, on);
    setSelection(s);
}

void WeatherSource::setErrorLine(const QString &text)
{
    if (text != m_error) {
        const QString source = m_name.trimmed();
        if (text.isEmpty())
            qCInfo(lcSource).noquote() << source << "error cleared (was" << m_error + QLatin1Char(')');
        else
            qCWarning(lcSource).noquote() << source << "error:" << text;
        m_error = text;
    }
    m_shown = text;
    emit errorLineShown(m_shown);
}

void WeatherSource::showProgress(const QString &text)
{
    m_shown = text.isEmpty() ? m_error : text;
    emit errorLineShown(m_shown);
}

void WeatherSource::setStatus(const QString &text)
{
    if (text == m_status)
        return;
    m_status = text;
    if (!text.isEmpty())
        qCWarning(lcSource).noquote() << m_name.trimmed() << "says:" << text;
    emit statusChanged(text);
}

void WeatherSource::publishDisplay(const SourceDisplay &display)
{
    emit displayed(display);
}

QString WeatherSource::dateTimeText(double days)
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

void WeatherSource::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
}

void WeatherSource::declareItemKeys(ConfigRegistry &registry, int section)
{
    int position = 10;
    for (const auto &entry : kItemKeys) {
        const WeatherItem item = entry.first;
        const char *const key = entry.second;
        const int here = position;
        position += 10;
        if (!sourceHasItem(m_kind, item))
            continue;
        ConfigKey k;
        k.section = section;
        k.position = here;
        k.key = m_prefix + QLatin1String(key);
        const QString line = k.key + QLatin1Char('Y');
        k.save = [this, item, line]() { return m_selection.has(item) ? QStringList{line} : QStringList(); };
        k.load = [this, item](const QString &, const QString &value) {
            if (value == QLatin1String("Y"))
                setItemSelected(item, true);
        };
        registry.add(k);
    }
}

void WeatherSource::declareIntKey(ConfigRegistry &registry, int section, int position, const QString &key,
                                  std::function<int()> get, std::function<void(int)> set)
{
    registry.add(ConfigKeys::number(section, position, key, std::move(get), std::move(set)));
}

void WeatherSource::declarePeriodKey(ConfigRegistry &registry, int section)
{
    declareIntKey(
        registry, section, 200, configPrefix() + QStringLiteral("METPERI="), [this] { return refreshMinutes(); },
        [this](int v) { setRefreshMinutes(v); });
}

} // namespace auravox
