#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace auravox {

// Where a group of keys stands in "auravox.ini". Each window declares its own
// keys with a section and a position; the file is written in that order.
namespace ConfigSection {
constexpr int Announcement = 100; // main window: announcement, recorder, menus
constexpr int Units = 200;
constexpr int WeatherSource = 300;
constexpr int MonitorII = 400;
constexpr int Ws23 = 500;
constexpr int Ws28 = 600;
constexpr int Aprs = 700;
constexpr int Metar = 800;
constexpr int Pro2 = 900;
constexpr int Placement = 1000; // TOP=, LEFT=, the source window rectangle, FORMMETEO=
constexpr int Sound = 1100;
constexpr int Release = 1200;
constexpr int Serial = 1300;
constexpr int Voice = 1400; // the operator's voice folder
constexpr int Web = 2000;   // the station page
// The other kinds of transmitter port than the serial lines: newer than every
// other key, so a file with them still reads as before up to them.
constexpr int Ptt = 2100;
} // namespace ConfigSection

// One key of the configuration file.
struct ConfigKey
{
    int section = 0;
    int position = 0;      // order within the section
    QString key;           // up to and including "=", e.g. "DATE="; for a family, its prefix ("APRS_FAV")
    bool family = false;   // matches every key that begins with `key` (APRS_FAV1= ... APRS_FAV10=)
    // The whole lines this key writes now (none, one, or several).
    std::function<QStringList()> save;
    // Applies one line: the key as written in the file (with its "=") and the value after it.
    std::function<void(const QString &key, const QString &value)> load;
};

// The keys of every window, and the file's reading and writing rules: a line
// is KEY=VALUE, the key being everything up to and including the first "=";
// keys are compared exactly; a line with no "=" or with "=" first is skipped;
// a key nobody declared is ignored; a key met several times is applied each
// time, in file order.
class ConfigRegistry
{
public:
    void add(ConfigKey key);

    // Applies the lines in order (the header and malformed lines are skipped).
    void apply(const QStringList &lines) const;
    // The header, then every key's lines in file order.
    QStringList lines(const QString &header) const;

    int size() const { return static_cast<int>(m_keys.size()); }

    // Helpers for values.
    // A whole number as written by the standard conversion; false for anything else.
    static bool parseInt(const QString &value, int *out);

private:
    QList<ConfigKey> m_keys; // kept sorted by (section, position)
};

} // namespace auravox
