#pragma once

#include "weather/SourceDisplay.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace auravox {

// ---- Web page of the APRS map service --------------------------------------

// The APRS source's error numbers, shown as "File error #" and the number.
namespace AprsError {
constexpr int None = 0;
constexpr int Download = 1;     // the download failed, or gave fewer than 3 bytes
constexpr int Open = 2;         // the downloaded file can't be opened
constexpr int CacheMissing = 4; // the cache file is missing (or unreadable) when the extraction starts
constexpr int CacheEmpty = 5;   // the cache file has no line
constexpr int NoRawLine = 6;    // no line of the page contains "raw_line"
constexpr int NoWeather = 7;    // the extracted line has no "_" (not a weather packet)
constexpr int CacheWrite = 8;   // the cache file can't be rewritten; the caller shows "Can't create aprs_web.txt"
} // namespace AprsError

// Removes the tags of one page line: while a "<" remains, the text from it to
// the first ">" goes when that ">" lies after it; otherwise everything up to
// and including the "<" goes. Blanks stay. Linear in the line's length.
QString removeAprsPageMarkup(const QString &line);

struct AprsRawLine
{
    int error = AprsError::None; // None, CacheEmpty, NoRawLine or NoWeather
    QString line;                // the packet line, markup removed, when error is None
};

// Picks the station's raw packet out of a page's lines: the last line that
// contains "raw_line", without its markup.
AprsRawLine findAprsRawLine(const QStringList &pageLines);

// The extraction on the cache file at `cachePath` ("aprs_web.txt"): on success
// the file is replaced by the packet line alone (CR LF, Windows-1252; the old
// or the new file exists whole at every instant). Returns an AprsError number:
// None, CacheMissing, CacheEmpty, NoRawLine, NoWeather or CacheWrite. On any
// error the file is left as it was.
int extractAprsRawLine(const QString &cachePath);

// What a finished download at `path` amounts to: Open when it can't be opened,
// Download when it holds fewer than 3 bytes, the extraction's number when one
// of its first 3 bytes is "<" (a web page), None for a plain report file
// (left unchanged).
int checkAprsDownload(const QString &path);

// ---- Weather report ---------------------------------------------------------

// Units of the raw report (the "Raw data units" radio buttons).
enum class AprsTemperatureUnit { Fahrenheit, Celsius };
enum class AprsWindUnit { Mph, Kmh, Knot };
enum class AprsRainUnit { HundredthsOfInch, Millimetre };
// The time base of a "Dec 07 2026 10:30" stamp (ComboBoxTU: 0 "TU", 1 "Loc").
enum class AprsTimeBase { Universal = 0, Local = 1 };

// What the decoder takes from the window and the program; nothing is read
// from the system clock.
struct AprsSettings
{
    UnitSettings units;
    PlausibilityLimits limits;
    int pressureOffset = 0; // steps of the "Pressure adjust" spin edit
    AprsTemperatureUnit rawTemperature = AprsTemperatureUnit::Fahrenheit;
    AprsWindUnit rawWind = AprsWindUnit::Mph;
    AprsRainUnit rawRain = AprsRainUnit::HundredthsOfInch;
    AprsTimeBase timeBase = AprsTimeBase::Universal;
    // Minutes to add to local time to get UT (negative east of Greenwich), as
    // DateTimeUtil::timeZoneBiasMinutes gives it for the current instant.
    int timeZoneBiasMinutes = 0;
    // The report file's last write, local, in days since 1899-12-30; 0 when
    // unknown. decodeAprsFile fills it.
    double fileTime = 0;
};

// The raw fields of one weather line; kUnknown when absent or unreadable.
struct AprsFields
{
    static constexpr int kUnknown = -100;
    int direction = kUnknown;    // c, or ddd before the "/": degrees
    int speed = kUnknown;        // s, or sss after the "/": raw wind unit
    int gust = kUnknown;         // g: raw wind unit
    int temperature = kUnknown;  // t: raw temperature unit
    int rainHour = kUnknown;     // r: read, not used
    int rain24h = kUnknown;      // p: hundredths of an inch or mm
    int rainMidnight = kUnknown; // P: read, not used
    int humidity = kUnknown;     // h: percent, "00" is 100
    int pressure = kUnknown;     // b: tenths of hPa
};

// The weather part of a report line: what follows the first "_" (or the whole
// line), ended at the first "." that is not a missing-value mark, so a
// trailing comment is dropped but "g..." keeps the fields after it.
QString aprsWeatherPart(const QString &line);
// The fields of a weather part: each letter at its first occurrence
// (case-sensitive), followed by a fixed number of characters read as a whole
// number (optional sign, then digits only). When neither "c" nor "s" gives a
// value, a "/" at the 4th character or later gives direction and speed from
// the 3 characters on each side (both or neither).
AprsFields parseAprsWeather(const QString &weatherPart);

enum class AprsOutcome {
    Decoded,       // the report had a line: everything below is set
    NoLine,        // the file holds no line: the cycle ends, nothing else changes
    MissingReport, // the file doesn't exist: no decoding, only the summary file
};

struct AprsReading
{
    AprsOutcome outcome = AprsOutcome::NoLine;
    // Every cycle paints the eight captions black first; when the outcome is
    // not Decoded they keep their text.
    SourceDisplay display;
    QString pressureAdjustUnit; // Label6: "mBars" or "0.01*inHg"
    AprsFields fields;
    std::optional<QString> date; // Editdatemeteo; nullopt leaves it as it is
    bool switchToLocalTime = false; // set ComboBoxTU to "Loc"
    // The one line of "aprs_cw.txt" (see aprsSummaryFile); nullopt: no file
    // is written this cycle.
    std::optional<QString> summary;
};

// One refresh cycle on a report's whole text (one or two lines of a WXNOW.TXT
// file, or the extracted web line). Writes the APRS snapshot as the window
// shows it; every value written is finite, the direction is -1..360.
AprsReading decodeAprs(const QString &reportText, const AprsSettings &settings, WeatherSnapshot &snapshot);
// The cycle when the report file doesn't exist: only `pressureOffset` is
// written, and the summary carries no value.
AprsReading decodeMissingAprs(const AprsSettings &settings, WeatherSnapshot &snapshot);
// The cycle on the report file at `path` (Windows-1252), its last-write time
// taken as `fileTime`; an unreadable file counts as missing.
AprsReading decodeAprsFile(const QString &path, const AprsSettings &settings, WeatherSnapshot &snapshot);

// The bytes of "aprs_cw.txt" for a summary line: the line and CR LF.
QByteArray aprsSummaryFile(const QString &line);

} // namespace auravox
