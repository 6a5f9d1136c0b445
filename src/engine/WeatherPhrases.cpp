#include "engine/WeatherPhrases.h"

#include "common/Rounding.h"
#include "engine/NumberSpeech.h"

#include <array>

namespace auravox::WeatherPhrases {

namespace {

using PL = PlausibilityLimits;

// Sentinels lie outside every limit, so an item that is not ticked, that the
// source has not, says nothing.
constexpr int kNoTemperature = -200;

// Values a damaged file or report may hold (NaN, infinities, huge numbers)
// become a number below every limit, so they are never spoken.
int rounded(double v)
{
    if (!(v > -1e6 && v < 1e6))
        return -1000000;
    return static_cast<int>(roundHalfEven(v));
}

bool wanted(const WeatherContext &c, WeatherItem item)
{
    return c.selection.has(item) && sourceHasItem(c.kind, item);
}

QStringList temperature(const WeatherContext &c, WeatherItem item, double value, double min, double max,
                        const char *word)
{
    const int v = wanted(c, item) ? rounded(value) : kNoTemperature;
    if (v < c.units.temperature(min) || v > c.units.temperature(max))
        return {};
    QStringList clips{QLatin1String(word)};
    clips << NumberSpeech::signedNumber(v) << QStringLiteral("son_degrees");
    return clips;
}

int windValue(const WeatherContext &c)
{
    return wanted(c, WeatherItem::WindSpeed) ? rounded(c.snapshot.windSpeed) : -1;
}

QStringList speed(const WeatherContext &c, int v, double min, double max, const char *word)
{
    if (v < c.units.windFactor * min || v > c.units.windFactor * max)
        return {};
    bool unit = true;
    QStringList clips{QLatin1String(word)};
    clips << NumberSpeech::withZeroWord(v, &unit);
    if (unit)
        clips << (c.units.windFactor == 1 ? QStringLiteral("son_kmh") : QStringLiteral("son_mph"));
    return clips;
}

QStringList pressure(const WeatherContext &c)
{
    const bool on = wanted(c, WeatherItem::Pressure);
    const double f = c.units.pressureFactor;
    if (f == 1) {
        const int v = on ? rounded(c.snapshot.pressure) : 900;
        if (v < PL::pressureMin || v > PL::pressureMax)
            return {};
        QStringList clips{QStringLiteral("son_pressure")};
        clips << NumberSpeech::millibars(v) << QStringLiteral("son_millibars");
        return clips;
    }
    const double p = on ? c.snapshot.pressure : 900 * f;
    if (p < f * PL::pressureMin || p > f * PL::pressureMax)
        return {};
    QStringList clips{QStringLiteral("son_pressure")};
    clips << NumberSpeech::decimal(p) << QStringLiteral("son_inhg");
    return clips;
}

QStringList trend(const WeatherContext &c)
{
    const int t = wanted(c, WeatherItem::PressureTrend) ? c.snapshot.pressureTrend : -1;
    switch (t) {
    case 0: return {QStringLiteral("son_steady")};
    case 1: return {QStringLiteral("son_rising")};
    case 2: return {QStringLiteral("son_falling")};
    default: return {};
    }
}

QStringList direction(const WeatherContext &c)
{
    const int d = wanted(c, WeatherItem::WindDirection) ? c.snapshot.windDirection : -1;
    if (!((d >= 0 && d <= 360) || d == 999) || windValue(c) < 1)
        return {};
    if (d == 999) {
        if (c.kind == SourceKind::Metar)
            return {QStringLiteral("son_dir"), QStringLiteral("son_variable")};
        return {QStringLiteral("son_dir")};
    }
    return {QStringLiteral("son_dir"), compassClip(d, c.sixteenPoints)};
}

QStringList windChill(const WeatherContext &c)
{
    const int v = wanted(c, WeatherItem::WindChill) ? rounded(c.snapshot.windChill) : kNoTemperature;
    // Here the limits are rounded first.
    if (v < rounded(c.units.temperature(PL::windChillMin)) || v > rounded(c.units.temperature(PL::windChillMax)))
        return {};
    QStringList clips{QStringLiteral("son_wind_chill")};
    clips << NumberSpeech::signedNumber(v) << QStringLiteral("son_degrees");
    return clips;
}

QStringList rain(const WeatherContext &c)
{
    const bool on = wanted(c, WeatherItem::Rain24h) && c.kind != SourceKind::Metar;
    if (c.units.rainFactor == 1) {
        const int v = on ? rounded(c.snapshot.rain24h) : -1;
        if (v < 0 || v > 198)
            return {};
        bool unit = true;
        QStringList clips{QStringLiteral("son_rain24")};
        clips << NumberSpeech::withZeroWord(v, &unit);
        if (unit)
            clips << QStringLiteral("son_millimeters");
        return clips;
    }
    const double r = on ? c.snapshot.rain24h : -1;
    if (r < 0 || r >= 10)
        return {};
    QStringList clips{QStringLiteral("son_rain24")};
    if (r < 0.01)
        clips << QStringLiteral("son_null");
    else
        clips << NumberSpeech::decimal(r) << QStringLiteral("son_inch");
    return clips;
}

QStringList presentWeather(const WeatherContext &c)
{
    namespace P = Precipitation;
    if (c.kind != SourceKind::Metar || !c.selection.has(WeatherItem::Rain24h))
        return {};
    const int set = c.snapshot.precipitation;
    if (set == 0)
        return {};
    QStringList clips;
    if (set & P::Rain)
        clips << QStringLiteral("son_raining");
    else if (set & P::Snow)
        clips << QStringLiteral("son_snowing");
    else if (set & P::Hail)
        clips << QStringLiteral("son_hailing");
    else if (set & P::Mist)
        clips << QStringLiteral("son_mist");
    else if (set & P::Fog)
        clips << QStringLiteral("son_fog");
    if ((set & (P::Rain | P::Snow)) && !(set & (P::Hail | P::Mist | P::Fog))) {
        if (set & P::Light)
            clips << QStringLiteral("son_lightly");
        else if (set & P::Heavy)
            clips << QStringLiteral("son_heavily");
        else
            clips << QStringLiteral("son_moderatly");
    }
    return clips;
}

QStringList humidity(const WeatherContext &c)
{
    const int v = wanted(c, WeatherItem::OutdoorHumidity) ? rounded(c.snapshot.outdoorHumidity) : -1;
    if (v < 0 || v > 100)
        return {};
    QStringList clips{QStringLiteral("son_humidity")};
    clips << NumberSpeech::percent(v);
    return clips;
}

} // namespace

bool fresh(Staleness rule, SourceKind kind, double now, double readingTime)
{
    if (rule == Staleness::Always || kind == SourceKind::MonitorII)
        return true;
    const double limit = rule == Staleness::OneHour ? 0.042 : rule == Staleness::TwoHours ? 0.084 : 0.126;
    return now - readingTime <= limit;
}

QString compassClip(int d, bool sixteen)
{
    if (!sixteen) {
        static const std::array<std::pair<int, const char *>, 8> eight{{{22, "son_north"},
                                                                        {67, "son_north_east"},
                                                                        {112, "son_east"},
                                                                        {157, "son_south_east"},
                                                                        {202, "son_south"},
                                                                        {247, "son_south_west"},
                                                                        {292, "son_west"},
                                                                        {337, "son_north_west"}}};
        for (const auto &[upTo, clip] : eight) {
            if (d <= upTo)
                return QLatin1String(clip);
        }
        return QStringLiteral("son_north");
    }
    static const std::array<std::pair<int, const char *>, 16> points{{{11, "son_north"},
                                                                      {33, "son_north_north_east"},
                                                                      {56, "son_north_east"},
                                                                      {78, "son_east_north_east"},
                                                                      {101, "son_east"},
                                                                      {123, "son_east_south_east"},
                                                                      {146, "son_south_east"},
                                                                      {168, "son_south_south_east"},
                                                                      {191, "son_south"},
                                                                      {213, "son_south_south_west"},
                                                                      {236, "son_south_west"},
                                                                      {258, "son_west_south_west"},
                                                                      {281, "son_west"},
                                                                      {303, "son_west_north_west"},
                                                                      {326, "son_north_west"},
                                                                      {348, "son_north_north_west"}}};
    for (const auto &[upTo, clip] : points) {
        if (d <= upTo)
            return QLatin1String(clip);
    }
    return QStringLiteral("son_north");
}

QStringList item(int number, const WeatherContext &c)
{
    const WeatherSnapshot &s = c.snapshot;
    switch (number) {
    case 1: return temperature(c, WeatherItem::IndoorTemp, s.indoorTemp, PL::indoorTempMin, PL::indoorTempMax, "son_int_temp");
    case 2:
        return temperature(c, WeatherItem::OutdoorTemp, s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax,
                           "son_ext_temp");
    case 3: return pressure(c);
    case 4: return trend(c);
    case 5: return speed(c, windValue(c), PL::windMin, PL::windMax, "son_wind");
    case 6:
        return speed(c, wanted(c, WeatherItem::WindGust) ? rounded(s.windGust) : 0, PL::gustMin, PL::gustMax,
                     "son_gust");
    case 7: return direction(c);
    case 8: return windChill(c);
    case 9: return rain(c);
    case 10: return presentWeather(c);
    case 11: return humidity(c);
    default: return {};
    }
}

} // namespace auravox::WeatherPhrases

namespace auravox {

bool SourceWeatherSpeech::beginWeather()
{
    m_context = m_source.context ? m_source.context() : WeatherContext{};
    if (m_context.kind == SourceKind::None)
        return false;
    if (m_context.kind != SourceKind::MonitorII && m_source.errorLine && !m_source.errorLine(m_context.kind).isEmpty())
        return false;
    const Staleness rule = m_source.staleness ? m_source.staleness() : Staleness::Always;
    const double now = m_source.nowDays ? m_source.nowDays() : 0;
    return WeatherPhrases::fresh(rule, m_context.kind, now, m_context.snapshot.readingTime);
}

QStringList SourceWeatherSpeech::weatherItem(int item)
{
    // Each item reads the source as it stands when its turn comes.
    if (m_source.context)
        m_context = m_source.context();
    return WeatherPhrases::item(item, m_context);
}

} // namespace auravox
