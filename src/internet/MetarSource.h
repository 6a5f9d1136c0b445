#pragma once

#include "internet/MetarDecoder.h"
#include "weather/WeatherSource.h"

#include <QPointer>
#include <QStringList>

#include <functional>

namespace auravox {

class Download;

// The METAR source: the report of one airport from a METAR web service (or a
// local report file named in the configuration), fetched on the event loop and
// decoded every period, with the summary files for other programs
// ("metar_uiview.txt", "metar_cw.txt", in the working folder and the public one).
//
// Its settings are those of the " METAR weather data" window: the entry (an
// address, or a report file), the history of ten entries, the pressure
// adjustment and the time base, under the same keys.
class MetarSource final : public WeatherSource
{
    Q_OBJECT
public:
    static constexpr int kHistorySize = 10;
    static inline const QString kCacheFile = QStringLiteral("metar_web.txt");

    explicit MetarSource(const SourceContext &context, QObject *parent = nullptr);
    ~MetarSource() override;

    // Ready when a report file is known and the source has no error. A
    // download in progress changes nothing: until it ends the last reading
    // stays in use.
    bool isReady() const override { return !dataPath().isEmpty() && errorLine().isEmpty(); }
    // The refresh cycle: for an address, a download first; the decoding runs
    // when the page has come (or at once for a local report).
    void takeReading() override;
    // Choosing the source: one reading, after the configuration load for an
    // address, so a slow server never holds the load.
    void select() override;
    // The Refresh button: the entry goes into the history, the period applies,
    // a reading now (none while the configuration is applied).
    void refresh() override;
    // Enter in the entry: a fetch of the address now, then a refresh.
    void enterAction();

    // The address or report file as typed or loaded ("…METAR_DAT=").
    QString entry() const { return m_entry; }
    void setEntry(const QString &text);
    // The airport as the entry names it ("Airport code" label).
    QString airportLabel() const { return metarLabel(m_entry); }
    static bool isAddress(const QString &text);

    // The last ten entries, newest where the user put it.
    QStringList history() const { return m_history; }
    void addToHistory(const QString &text);
    // Picking a row of the history: it becomes the entry, and is fetched.
    void pickFromHistory(int index);

    // The "Pressure adjust" steps and the time base (0 "UT", 1 "Loc").
    int pressureOffset() const { return m_pressureOffset; }
    void setPressureOffset(int steps);
    int timeBase() const { return m_timeBase; }
    void setTimeBase(int index);

    // The last fetch's error number (MetarError), 0 for none.
    int errorNumber() const { return m_errorNumber; }
    bool fetching() const { return m_download != nullptr; }

    void setServiceMarkers(const MetarServiceMarkers &markers) { m_markers = markers; }
    // Who tells the user a summary file can't be written (a message box in
    // the desktop program); the line is logged in any case.
    void setMessageHandler(std::function<void(const QString &)> tell) { m_tell = std::move(tell); }

    // The items, "METAR_METPERI=", "METAR_DAT=", "METAR_LIST=", "METAR_POFFSET=", "METAR_TU=".
    void declareConfig(ConfigRegistry &registry, int section) override;

signals:
    // The entry, the history, the offset or the time base changed.
    void entryChanged(const QString &text);
    void historyChanged();
    // A fetch ended (whatever its outcome).
    void fetchEnded(int errorNumber);

private:
    void startFetch(bool fromTimer);
    void fetchFinished(bool ok, bool decodeAfter);
    int extractReport();
    void decode();
    void armTimer();
    void showErrorNumber();
    void writeSummary(const QString &path, const QByteArray &bytes, const QString &failure);
    void tell(const QString &text);
    void showReading(const SourceDisplay &d);
    bool loading() const;

    QString m_entry;
    QStringList m_history;
    int m_pressureOffset = 0;
    int m_timeBase = 0;
    int m_errorNumber = 0;
    MetarServiceMarkers m_markers;
    SourceDisplay m_shown;
    QPointer<Download> m_download;
    bool m_decodePending = false; // a cycle waits for the running download
    std::function<void(const QString &)> m_tell;
};

} // namespace auravox
