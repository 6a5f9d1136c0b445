#pragma once

#include "weather/StationReading.h"

#include <QDate>
#include <QString>

namespace auravox {

// One 88-byte record of a WeatherLink monthly archive ("2016-04.wlk"). Only
// records of type 1 carry weather; the program also writes daily summaries
// (types 2 and 3) at the start of each day.
struct Pro2Record
{
    static constexpr int kSize = 88;
    static constexpr int kHeaderSize = 212;
    static constexpr qint16 kNoTemperature = -32768;

    quint8 type = 0;
    quint8 interval = 0;        // archive interval, minutes
    quint16 minutes = 0;        // after midnight; 1440 is 24:00
    qint16 outdoorTemp = 0;     // tenths of F
    qint16 indoorTemp = 0;      // tenths of F
    quint16 barometer = 0;      // thousandths of inHg
    quint16 outdoorHumidity = 0; // tenths of %
    quint16 indoorHumidity = 0;  // tenths of %
    quint8 rainClicks = 0;
    quint8 rainCollector = 0;   // 0, 16, 32, 48 or 96
    quint16 wind = 0;           // tenths of mph, mean of the interval
    quint16 windHigh = 0;       // tenths of mph, highest of the interval
    quint8 direction = 0;       // sector 0..15; anything else: none

    // `p` holds at least kSize bytes.
    static Pro2Record decode(const char *p);
    static Pro2Record decode(const QByteArray &bytes) { return decode(bytes.constData()); }
    // Millimetres per click of a rain collector code; -1 for an unknown code.
    static double rainPerClickMm(int collector);
};

struct Pro2Settings : StationSettings
{
    bool searchCurrentMonth = true; // CheckBoxFichier
    QDate today;                    // the program clock's date, for the current-month search
};

enum class Pro2Outcome { Missing, Read, FileError };

// One reading of a WeatherLink monthly archive: the last weather record is the
// current reading; the weather records about an hour back and over the last
// day give the trend and the rain. Only those records are read.
//
// With the current-month search on and `today` in another month than the file
// name's, the file of today's month in the same folder replaces `path` once it
// exists. The file name must start with a numeric year and month
// ("2016-04.wlk"): the date of the records comes from it.
//
// Missing: no file of that name (nothing read, nothing changes). FileError: an
// extension other than ".wlk" (case counts), a file that can't be read, a bad
// header (short, a negative record count or more records than the file holds),
// a year or month that are not numbers, no weather record, or a record date
// that doesn't exist; values computed before the failure stay. Read: the
// snapshot and display are filled, and `readingTime` is the record's time even
// when it is earlier than before.
//
// A temperature of -32768 is "no value": kNotAvailable, caption "--", not red,
// and the wind chill and dew point are "--". The barometer, humidity and wind
// fields have no such value; their "dash" values (0, 0x7FFF, 0xFFFF) fall
// outside the plausibility limits and are marked red. The dew point is "--"
// when the humidity is red as well.
Pro2Outcome readPro2Archive(QString &path, const Pro2Settings &settings, WeatherSnapshot &snapshot,
                            SourceDisplay &display);

// A record time for Editdatemeteo: the date in the system's short format, then
// the time as hh:mm, so midnight shows as " 00:00" like any other time.
QString pro2DateText(double days);

} // namespace auravox
