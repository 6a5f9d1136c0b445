#include "weather/Weather.h"

namespace auravox {

QString sourceConfigValue(SourceKind kind)
{
    switch (kind) {
    case SourceKind::None: return {};
    case SourceKind::MonitorII: return QStringLiteral("MON");
    case SourceKind::Ws23: return QStringLiteral("W23");
    case SourceKind::Ws28: return QStringLiteral("W28");
    case SourceKind::Aprs: return QStringLiteral("APRS");
    case SourceKind::Pro2: return QStringLiteral("PRO2");
    case SourceKind::Metar: return QStringLiteral("METAR");
    }
    return {};
}

SourceKind sourceFromConfigValue(const QString &value)
{
    for (SourceKind k : {SourceKind::MonitorII, SourceKind::Ws23, SourceKind::Ws28, SourceKind::Aprs,
                         SourceKind::Pro2, SourceKind::Metar}) {
        if (value == sourceConfigValue(k))
            return k;
    }
    return SourceKind::None;
}

bool sourceHasItem(SourceKind kind, WeatherItem item)
{
    switch (item) {
    case WeatherItem::OutdoorTemp:
    case WeatherItem::Pressure:
    case WeatherItem::WindSpeed:
    case WeatherItem::WindGust:
    case WeatherItem::WindDirection:
        return kind != SourceKind::None;
    case WeatherItem::IndoorTemp:
    case WeatherItem::PressureTrend:
        return kind == SourceKind::MonitorII || kind == SourceKind::Ws23 || kind == SourceKind::Ws28
               || kind == SourceKind::Pro2;
    case WeatherItem::WindChill:
    case WeatherItem::OutdoorHumidity:
        return kind != SourceKind::None && kind != SourceKind::MonitorII;
    case WeatherItem::Rain24h: // METAR speaks its present weather in this place
        return kind != SourceKind::None && kind != SourceKind::MonitorII;
    }
    return false;
}

} // namespace auravox
