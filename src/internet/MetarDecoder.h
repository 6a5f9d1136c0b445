#pragma once

#include "weather/SourceDisplay.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace auravox {

// ---------------------------------------------------------------------------
// The report line of a downloaded page
// ---------------------------------------------------------------------------

// The METAR error numbers shown as "File error #" and the number.
namespace MetarError {
constexpr int None = 0;
constexpr int Download = 1;   // the download failed, or gave fewer than 3 bytes
constexpr int Open = 2;       // the downloaded file can't be opened
constexpr int NoCache = 4;    // "metar_web.txt" is missing when the extraction starts
constexpr int EmptyCache = 5; // "metar_web.txt" has no line
constexpr int NoReport = 6;   // no airport code in the address, or no report line for it
constexpr int Rewrite = 8;    // "metar_web.txt" can't be rewritten with the report line
} // namespace MetarError

// The words that tell the two METAR web services apart in an address. A
// service-A address carries the airport after "icao=", a service-B address
// after "ids=".
struct MetarServiceMarkers
{
    QString serviceA = QStringLiteral("ogimet");
    QString serviceB = QStringLiteral("aviationweather");
};

// The address entry without its label: everything from the first " //" on is
// dropped.
QString metarAddress(const QString &entryText);
// The label after the first " //" (at most 500 characters), or
// "====================" when the entry has none (LabelNomICAO).
QString metarLabel(const QString &entryText);

// What a finished download holds.
enum class MetarDownload {
    TooShort, // fewer than 3 bytes: error 1
    WebPage,  // a "<" among the first 3 bytes: the report line must be cut out
    Report,   // anything else serves as the report file as it stands
};
MetarDownload classifyMetarDownload(const QByteArray &bytes);

// The airport code an address asks for: the 4 characters after the first
// "icao=" for service A, after the first "ids=" for service B (B wins when
// both apply); empty when there is none.
QString metarAirportCode(const QString &entryText, const MetarServiceMarkers &markers = {});

struct MetarExtraction
{
    int error = MetarError::None; // None, EmptyCache or NoReport
    QString line;                 // the report, from its airport code on, without markup
};

// Cuts the report line out of the text of a downloaded page (the content of
// "metar_web.txt"). The caller reports NoCache when the file is missing, and
// on success replaces the file by `line` alone (Rewrite when that fails).
// A line is the report when the airport code's first occurrence in it is
// followed by a blank and a day-and-time group ending in "Z", and the line
// holds no "TAF:"; the first such line wins.
MetarExtraction extractMetarLine(const QString &pageText, const QString &entryText,
                                 const MetarServiceMarkers &markers = {});

// ---------------------------------------------------------------------------
// Decoding the report
// ---------------------------------------------------------------------------

// What the refresh cycle takes from its window and the program. The clock is
// injected: the decoder never reads the system's.
struct MetarSettings
{
    UnitSettings units;
    PlausibilityLimits limits;
    int pressureOffset = 0; // steps of the "Pressure adjust" spin edit
    int timeShown = 0;      // ComboBoxTU: 0 "UT", 1 "Loc"
    QDateTime now;          // the local date and time (its time spec is ignored)
    int utcOffsetMinutes = 0; // local minus UT, e.g. +330 for UT+5:30
    QLocale locale = QLocale::system(); // the date and time formats of Editdatemeteo
};

// The captions as the METAR window shows them: a caption that shows "--"
// keeps its colour, and the date field is always written (empty when no
// report time is known).
SourceDisplay metarDisplayShown(const SourceDisplay &d);

// The captions after a successful fetch, before the cycle decodes: the value
// boxes show their bare labels in black and the date is cleared.
SourceDisplay metarCaptionsAfterFetch(const UnitSettings &units, const SourceDisplay &shown);

enum class MetarOutcome {
    Decoded,   // the report line was decoded; write both exchange files
    NoReport,  // the report file is missing: nothing was decoded, but both files are written
    EmptyFile, // the report file has no line: window, snapshot and files stay as they were
};

struct MetarReading
{
    MetarOutcome outcome = MetarOutcome::EmptyFile;
    SourceDisplay display;
    // The report time, when this cycle decoded one (seconds are 0).
    std::optional<QDateTime> reportUtc, reportLocal;
    // "metar_uiview.txt": two lines; the first (the last report time decoded)
    // is empty while no report time has ever been decoded.
    QStringList uiviewLines;
    QStringList cwLines;     // "metar_cw.txt": one line
    // The files as the writer stores them: Windows-1252, CR LF after every line.
    QByteArray uiviewBytes() const;
    QByteArray cwBytes() const;
};

// One refresh cycle over the text of the report file: decodes its last
// non-empty line, writes the METAR fields of the snapshot and builds the
// captions and the exchange files. `shown` is what the window shows before
// the cycle; the precipitation caption keeps its text when the report has an
// intensity but no listed phenomenon, and the date stays when the report has
// no time group at all.
MetarReading decodeMetar(const QString &reportFileText, const MetarSettings &settings, WeatherSnapshot &snapshot,
                         const SourceDisplay &shown = {});

// The cycle when the report file does not exist: the captions and the
// snapshot keep their values (the captions turn black), and the exchange files
// carry no value but the last report time decoded.
MetarReading metarWithoutReport(const MetarSettings &settings, WeatherSnapshot &snapshot,
                                const SourceDisplay &shown = {});

} // namespace auravox
