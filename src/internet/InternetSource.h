#pragma once

#include "weather/WeatherSource.h"

#include <QPointer>
#include <QStringList>

#include <functional>

namespace auravox {

class Download;

// The part the METAR and APRS sources share: the entry (an address, or a
// report file) and its history of ten, the error number and its "File error #"
// line, the pressure adjustment, the time base, the download of a page on the
// event loop (one at a time, never a nested wait) and the summary files.
//
// Their keys: the items, the source's own leading keys, "…_METPERI=",
// "…_DAT=", "…_LIST=", (the favourites at 230, declared by their model),
// "…_POFFSET=", "…_TU=", then the source's own trailing keys.
class InternetSource : public WeatherSource
{
    Q_OBJECT
public:
    static constexpr int kHistorySize = 10;

    InternetSource(SourceKind kind, const QString &name, const QString &configPrefix, const SourceContext &context,
                   QObject *parent = nullptr);
    ~InternetSource() override;

    // Ready when a report file is known and the source has no error. A
    // download in progress changes nothing: until it ends the last reading
    // stays in use.
    bool isReady() const override { return !dataPath().isEmpty() && errorLine().isEmpty(); }
    // Choosing the source: one reading, after the configuration load for an
    // address, so a slow server never holds the load.
    void select() override;
    // The Refresh button: the entry goes into the history, the period applies,
    // a reading now (none while the configuration is applied).
    void refresh() override;
    // Enter in the entry.
    virtual void enterAction() = 0;

    // The address or report file as typed or loaded ("…_DAT=").
    QString entry() const { return m_entry; }
    void setEntry(const QString &text);
    static bool isAddress(const QString &text);

    // The last ten entries, in the order they came; when full, the newest
    // takes the first row and the tenth goes. An entry already there stays where it is.
    QStringList history() const { return m_history; }
    void addToHistory(const QString &text);
    // Picking a row of the history: it becomes the entry, and is fetched.
    void pickFromHistory(int index);

    // The "Pressure adjust" steps (no limits) and the time base (0 "UT"/"TU", 1 "Loc").
    int pressureOffset() const { return m_pressureOffset; }
    void setPressureOffset(int steps);
    int timeBase() const { return m_timeBase; }
    void setTimeBase(int index);

    // The last fetch's error number, 0 for none.
    int errorNumber() const { return m_errorNumber; }
    bool fetching() const;

    // Who tells the user what a message box would say (a box in the desktop
    // program, the status text without a screen); the line is logged in any case.
    void setMessageHandler(std::function<void(const QString &)> tell) { m_tell = std::move(tell); }

    void declareConfig(ConfigRegistry &registry, int section) override;

signals:
    void entryChanged(const QString &text);
    void historyChanged();
    // A fetch ended (whatever its outcome), after the source took it in.
    void fetchEnded(int errorNumber);

protected:
    // The download of the entry: the address to fetch, the cache file it goes
    // to and the progress text the error line shows meanwhile.
    virtual QString downloadAddress() const = 0;
    virtual QString cacheFile() const = 0;
    virtual QString progressText() const = 0;
    // What a finished download amounts to (an error number, 0 for a report).
    virtual int takeDownload(bool ok) = 0;
    // The fetch succeeded: the source takes the cache file as its report.
    virtual void fetchSucceeded() = 0;
    // The fetch failed: the error line shows its number (and more, for APRS).
    virtual void fetchFailed() { showErrorNumber(); }
    // Decodes the report file into the snapshot and the captions.
    virtual void decode() = 0;

    // Keys after the items and before "…_METPERI=" (110..190), after "…_TU=" (from 260).
    virtual void declareLeadingKeys(ConfigRegistry &, int) {}
    virtual void declareTrailingKeys(ConfigRegistry &, int) {}

    // A download of the entry into the cache; `fromTimer` decodes when it
    // ends, otherwise a success runs the refresh cycle (the Enter action).
    void startFetch(bool fromTimer);
    bool loading() const;
    void armTimer();
    void setErrorNumber(int n) { m_errorNumber = n; }
    void showErrorNumber();
    void tell(const QString &text);
    // Writes a summary file whole (never half a file); on failure the user is told `failure`.
    void writeSummary(const QString &path, const QByteArray &bytes, const QString &failure);
    // The captions as last shown, which a later reading changes only in part.
    const SourceDisplay &shownDisplay() const { return m_shown; }
    void setShownDisplay(const SourceDisplay &d) { m_shown = d; }
    // Shows captions: what `d` leaves empty keeps its text.
    void showCaptions(const SourceDisplay &d);

private:
    void fetchFinished(bool ok, bool decodeAfter);

    QString m_entry;
    QStringList m_history;
    int m_pressureOffset = 0;
    int m_timeBase = 0;
    int m_errorNumber = 0;
    SourceDisplay m_shown;
    QPointer<Download> m_download;
    bool m_decodePending = false; // a cycle waits for the running download
    std::function<void(const QString &)> m_tell;
};

// What `into` shows after `d`: each caption `d` gives replaces the one before.
void mergeDisplay(SourceDisplay &into, const SourceDisplay &d);

} // namespace auravox
