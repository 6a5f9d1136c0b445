#pragma once

#include "app/ui/AppWindows.h"
#include "app/ui/TForm1.h"
#include "common/Clock.h"
#include "engine/ClipCatalogue.h"
#include "support/FakeMonitorStation.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/QtPrinters.h"
#include "support/ScriptedPrompts.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace auravox::test {

// The main window on a manual clock, a recording wave output and scripted
// dialogs, in a temporary working folder.
class MainWindowHarness
{
public:
    // `start` is the wall-clock time of the first tick. With `load` the first
    // tick runs (the configuration load), and the real clock timer is stopped so
    // that only the test ticks.
    // With `siblingLink` the sibling link is connected (on private names).
    // `adjust` changes what the windows are built on (another station, the web server).
    explicit MainWindowHarness(const QDateTime &start, bool load = true, WaveOutput *output = nullptr,
                               const QString &folder = QString(), bool siblingLink = false,
                               const std::function<void(AppDeps &)> &adjust = {});
    ~MainWindowHarness();

    TForm1 &form() { return m_windows->form1(); }
    TFormCOM &com() { return m_windows->formCOM(); }
    // Opens the COM window and clicks `name` ("COM2") in its port list, as a user does.
    void choosePort(const QString &name);
    // Sets the period with the arrows, as a user clicks them: all the way down,
    // then `position` steps up (position 1 is 5 minutes).
    void setPeriod(int position);
    AppWindows &windows() { return *m_windows; }
    FakeSerialLines &serial() { return m_serial; }
    FakeMonitorStation &station() { return m_station; }
    // Runs the first tick (the configuration load) and stops the real clock timer.
    void load();
    ManualClock &clock() { return m_clock; }
    FakeWaveOutput &wave() { return m_wave; }
    ScriptedPrompts &prompts() { return m_prompts; }
    const QString &folder() const { return m_folderPath; }

    template <typename T> T *find(const char *name) const
    {
        T *found = m_windows->form1().findChild<T *>(QLatin1String(name));
        if (!found)
            found = m_windows->formCOM().findChild<T *>(QLatin1String(name));
        return found;
    }

    // Advances the clock by one second and runs the tick handler; an
    // announcement the tick starts has started when it returns, and the real
    // clock timer is stopped, so that only the test ticks.
    void tick();
    // Runs the tick at the given time.
    void tickAt(const QDateTime &t);
    // Lets queued notifications run until no announcement is busy (and no clip
    // plays). False if it did not settle (a hang guard, not a timing check).
    bool runUntilIdle(int maxRounds = 100000);
    // Lets already-posted events run.
    void pump();

    // The built-in clip names that went out, in order (empty name for data that
    // is no built-in clip).
    QStringList playedClips() const;
    // Names of the files or clips of each open session: a built-in clip name or
    // "file:<size>" for other data.
    static QStringList identify(const QList<FakeWaveOutput::Session> &sessions, const ClipCatalogue &catalogue);
    // The lengths of the clips played from session `from` on, each in whole
    // milliseconds rounded up: a clip lasts that long on the manual clock
    // (the recording output gives its buffers back at once).
    qint64 clipLengthsMs(qsizetype from = 0) const;

    void clickButton1();
    // Clicks Button1 and lets the announcement run to its end: the clips it played.
    QStringList announce();

private:
    void runTick();

    QTemporaryDir m_dir;
    QString m_folderPath;
    QString m_previousDir;
    QString m_siblingSuffix;
    ManualClock m_clock;
    FakeWaveOutput m_wave;
    FakeSerialLines m_serial;
    FakeMonitorStation m_station;
    ScriptedPrompts m_prompts;
    std::unique_ptr<AppWindows> m_windows;
    ClipCatalogue m_catalogue;
};

} // namespace auravox::test
