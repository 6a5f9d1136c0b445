#pragma once

#include "weather/SourceDisplay.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace auravox {

class Clock;
class ConfigRegistry;

// What every weather source shares with the rest of the program.
struct SourceContext
{
    explicit SourceContext(Clock &programClock) : clock(programClock) {}

    // The program clock: the date of the Vantage Pro2 current-month search,
    // the local date and time of the Internet reports.
    Clock &clock;
    UnitSettings *units = nullptr;
    PlausibilityLimits *limits = nullptr;
    // The error beep of a file that cannot be read (none without a screen).
    std::function<void()> beep;
    // Where the Internet sources also leave their summary files; empty for none.
    QString publicFolder;
    // The configuration file is being applied.
    std::function<bool()> loadingConfiguration;
    // Runs an action from the event loop once the configuration load is over
    // and the clock ticks again.
    std::function<void(std::function<void()>)> afterLoad;
};

// One weather source: its refresh timer and period, its reading (the snapshot
// the announcement speaks and the captions a window shows), its error line,
// its readiness, the items the user wants announced and the file or address
// it reads. Its settings are declared to the configuration registry; a window
// only shows the source and edits its settings.
class WeatherSource : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultPeriodMinutes = 1;
    static constexpr int kMinPeriodMinutes = 1;
    static constexpr int kMaxPeriodMinutes = 60;

    // `name` is the window's title, which the log lines name.
    WeatherSource(SourceKind kind, const QString &name, const QString &configPrefix, const SourceContext &context,
                  QObject *parent = nullptr);
    ~WeatherSource() override;

    SourceKind kind() const { return m_kind; }
    const QString &name() const { return m_name; }
    const QString &configPrefix() const { return m_prefix; }

    // Whether the announcement may use this source: a file or address is set.
    virtual bool isReady() const;
    // Reads the source now, fills the snapshot, shows the captions, and starts
    // the refresh timer again when the source says so.
    virtual void takeReading() = 0;
    // What choosing this source does: a reading now.
    virtual void select();
    // The Refresh button: the period applies, and a reading now.
    virtual void refresh();
    // The refresh timer's tick: no second reading can start from the event
    // loop while this one runs; each reader starts the timer again by its rules.
    void timerTick();
    QTimer *timer() const { return m_timer; }

    // The refresh period in minutes (1 to 60; a value outside is brought in).
    // A new period applies to the timer at once.
    int refreshMinutes() const { return m_minutes; }
    void setRefreshMinutes(int minutes);
    // The history file, report file or address the source reads.
    QString dataPath() const { return m_dataPath; }
    void setDataPath(const QString &path);

    // The items the user wants announced (only those the source has).
    AnnounceSelection selection() const { return m_selection; }
    void setSelection(const AnnounceSelection &selection);
    void setItemSelected(WeatherItem item, bool on);

    // The source's error: a non-empty error line makes the source not ready,
    // and the announcement leaves its weather out. Appearing, changing and
    // clearing are logged.
    QString errorLine() const { return m_error; }
    void setErrorLine(const QString &text);
    // A progress text shown on the error line while a download runs: it
    // changes nothing of the source's error. An empty text shows the error again.
    void showProgress(const QString &text);
    // What the error line shows: the progress text, else the error.
    QString shownErrorLine() const { return m_shown; }

    // What the source asks of its operator beyond the error line (the APRS
    // login page that needs the desktop program's browser); logged on change.
    QString status() const { return m_status; }
    void setStatus(const QString &text);

    WeatherSnapshot &snapshot() { return m_snapshot; }
    const WeatherSnapshot &snapshot() const { return m_snapshot; }
    // Hands a reading's captions to whoever shows them.
    void publishDisplay(const SourceDisplay &display);

    // A reading's date and time in the system's format (days since 1899-12-30).
    static QString dateTimeText(double days);

    // The item keys ("W23_TEMPEXT=Y"), at the start of this source's section
    // (positions 10 to 100, in the item order).
    void declareItemKeys(ConfigRegistry &registry, int section);
    // Every key of this source: the items, then the source's own keys.
    virtual void declareConfig(ConfigRegistry &registry, int section);

signals:
    // Any setting changed (period, path, or a source's own).
    void settingsChanged();
    void selectionChanged();
    // The error line's text (the error or a progress text).
    void errorLineShown(const QString &text);
    void statusChanged(const QString &text);
    void displayed(const SourceDisplay &display);

protected:
    const SourceContext &context() const { return m_context; }
    // A whole-number key: saved as written by the standard conversion, loaded
    // only from one (then brought into the setting's range by `set`).
    void declareIntKey(ConfigRegistry &registry, int section, int position, const QString &key,
                       std::function<int()> get, std::function<void(int)> set);
    // The refresh period in minutes ("…_METPERI=", after the items).
    void declarePeriodKey(ConfigRegistry &registry, int section);

private:
    SourceKind m_kind;
    QString m_name;
    QString m_prefix;
    SourceContext m_context;
    QTimer *m_timer = nullptr;
    int m_minutes = kDefaultPeriodMinutes;
    QString m_dataPath;
    AnnounceSelection m_selection;
    QString m_error;
    QString m_shown;
    QString m_status;
    WeatherSnapshot m_snapshot;
};

} // namespace auravox
