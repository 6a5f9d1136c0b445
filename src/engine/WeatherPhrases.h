#pragma once

#include "engine/AnnounceHooks.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QStringList>

#include <functional>

namespace auravox {

// How old a reading may be and still be spoken.
enum class Staleness { Always, OneHour, TwoHours, ThreeHours };

// What the spoken weather reads: the chosen source, its reading and boxes, and
// the user's units and compass card.
struct WeatherContext
{
    SourceKind kind = SourceKind::None;
    WeatherSnapshot snapshot;
    AnnounceSelection selection;
    UnitSettings units;
    PlausibilityLimits limits;
    bool sixteenPoints = false;
};

namespace WeatherPhrases {

// False when a reading taken at `readingTime` is too old now (days since
// 1899-12-30). The limits are 0.042, 0.084 and 0.126 day; Monitor II readings
// count as taken now.
bool fresh(Staleness rule, SourceKind kind, double now, double readingTime);

// The compass word for a direction in degrees (0..360).
QString compassClip(int degrees, bool sixteenPoints);

// The clips of item 1..11 (indoor temperature, outdoor temperature, pressure,
// trend, wind, gust, direction, wind chill, rain of 24 hours, present
// weather, outdoor humidity); empty when the item is not spoken: not ticked,
// not a thing the source has, or outside its limits.
QStringList item(int number, const WeatherContext &context);

} // namespace WeatherPhrases

// The weather part of an announcement, reading the chosen source through
// `contextNow` when its turn comes.
class SourceWeatherSpeech final : public WeatherSpeech
{
public:
    struct Source
    {
        // The ready source (None when no source is ready) and its reading.
        std::function<WeatherContext()> context;
        // The source window's error line; any text leaves the weather out.
        std::function<QString(SourceKind)> errorLine;
        std::function<Staleness()> staleness;
        std::function<double()> nowDays;
    };

    explicit SourceWeatherSpeech(Source source) : m_source(std::move(source)) {}

    bool beginWeather() override;
    QStringList weatherItem(int item) override;

private:
    Source m_source;
    WeatherContext m_context;
};

} // namespace auravox
