#pragma once

#include "weather/Weather.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonObject>
#include <QString>

#include <array>
#include <map>
#include <optional>

namespace auravox {

class ConfigRegistry;

// Where the station page listens: keys "WEB=", "WEB_ADDRESS=" and "WEB_PORT="
// of "auravox.ini", written after every older key and only when they differ
// from the defaults, so older files and older programs are not disturbed.
struct WebListenSettings
{
    static constexpr quint16 kDefaultPort = 8073;
    static inline const QString kDefaultAddress = QStringLiteral("127.0.0.1");

    bool enabled = true;
    QString address = kDefaultAddress; // an IPv4 or IPv6 address
    int port = kDefaultPort;           // 0: a free port the system chooses (shown in the log)

    bool loopbackOnly() const;
    void declareConfig(ConfigRegistry &registry);
};

// A weather source's own settings, as its window sets them. Which of them a
// source has is checked when the change is made.
struct SourceSettingsChange
{
    // The history file, report file or address ("" leaves it unset).
    std::optional<QString> file;
    std::optional<int> refreshMinutes; // 1..60
    // The history files': the pressure adjustment (steps of the station's
    // unit) and the trend threshold (tenths of hPa per hour).
    std::optional<int> pressureOffset, trendThreshold;
    std::optional<bool> absolutePressure;   // WS-28xx
    std::optional<bool> searchCurrentMonth; // Vantage Pro2

    bool empty() const;
};

// The settings an operator may change from the station page. Every field is
// optional; a request names only what it changes.
struct SettingsChange
{
    std::optional<int> periodMinutes; // 0, 5, 10, 15, 20, 30, 60
    std::optional<int> startHour;     // 0..24
    std::optional<int> endHour;
    std::optional<bool> header, hello, date, dateUS, timeIs, time, goodbye;
    std::optional<int> pauseSeconds; // 0..15
    std::optional<SourceKind> source;
    // Spoken items of the chosen source (after `source` is applied).
    std::array<std::optional<bool>, kWeatherItemCount> items{};
    std::optional<bool> celsius, millibars, kmh, millimetres;
    // The port by name ("COM3", "No COM") and its five line boxes.
    std::optional<QString> port;
    std::optional<bool> useDtr, useRts, startOnDsr, startOnCts, inhibitOnDcd;
    // The kind of transmitter port and its settings, as the port model reads
    // them: {"kind": "RIG", "rig": {"port": "host:4532"}}; what it holds is
    // checked by the program, against the model's own ranges.
    std::optional<QJsonObject> ptt;
    // The sound card (-1: the system's), the volume (0, the loudest, to 10).
    std::optional<int> soundDevice, volume;
    // Files of the working folder ("" for none; the voice folder: the built-in voice).
    std::optional<QString> headerFile, helloFile, goodbyeFile, voiceFolder;
    // "Announcement of weather data": 0 always, else when under 1, 2, 3 hours old.
    std::optional<int> weatherAge;
    std::optional<bool> sixteenPoints, recordWhilePlaying, releaseCheck, startAtLogin, startMinimized;
    std::optional<QString> recorderPath;
    // The balance (-100 left .. 100 right) and the level gauge's maximum (0..100).
    std::optional<int> balance, maxVolume;
    // Each source's own settings, by source.
    std::map<SourceKind, SourceSettingsChange> sources;
    // The favourites of the Internet sources (METAR, APRS): the ten entries,
    // "" for none; fewer than ten leave the others as they are.
    std::map<SourceKind, QStringList> favourites;

    bool empty() const;

    // Reads a JSON request body. On a bad body: nothing, with a reason for
    // the client in `error` and `unprocessable` true when the JSON was well
    // formed but asked for something impossible (a value out of range, two
    // date orders, an item the source does not have).
    static std::optional<SettingsChange> parse(const QByteArray &body, QString *error, bool *unprocessable,
                                               SourceKind currentSource);
};

// "TEMPINT", "TEMPEXT", ... "HUMIDI": the configuration key suffix of an item.
QString weatherItemKey(WeatherItem item);
// "No weather data" is "NONE"; the others are their "METEO=" values.
QString sourceName(SourceKind kind);

} // namespace auravox

namespace auravox {

class Scheduler;

// The wall-clock minute of the next scheduled announcement after `now` (the
// minute after now's first), within two days; invalid when the schedule makes none.
QDateTime nextScheduledAnnouncement(const Scheduler &scheduler, const QDateTime &now);

} // namespace auravox
