// libFuzzer target: "auravox.ini" through the whole load. Every input is the
// configuration file of a fresh program (all fourteen windows, offscreen, on
// pretend serial lines, station and sound card), loaded by the first tick of
// the clock as at start: every window's keys are applied by their controls,
// the chosen source starts, the port window opens its port. Then:
// - the save writes a well-formed file: the header, then KEY=VALUE lines
//   (none empty, none with "=" first), each ended by CR LF;
// - that file, loaded by another fresh program and saved again, comes back
//   the same: one load normalises everything (duplicates, ranges, unknown
//   keys), apart from what follows the running state (window places,
//   visibility, the device's volume and balance).
//
// Nothing reaches out: downloads go to a closed port on this machine.

#include "app/ui/AppWindows.h"
#include "app/ui/TForm1.h"
#include "common/Clock.h"
#include "internet/DownloadFile.h"
#include "support/FakeMonitorStation.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace auravox;
using namespace auravox::test;

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void startQt()
{
    // Never deleted: the platform's libraries (WebEngine's GL context among
    // them) would tear down after the process has begun to exit.
    static QApplication *app = nullptr;
    if (app)
        return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Every address that is not this machine goes through a proxy that is not
    // there; the release list and local addresses meet a closed port.
    ::setenv("http_proxy", "http://127.0.0.1:9", 1);
    ::setenv("https_proxy", "http://127.0.0.1:9", 1);
    ::setenv("AURAVOX_RELEASE_URL", "http://127.0.0.1:9", 1);
    ::setenv("AURAVOX_SIBLING_SUFFIX", "fuzz", 1);
    static int argc = 1;
    static char name[] = "fuzz_config";
    static char *argv[] = {name, nullptr};
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    app = new QApplication(argc, argv);
    // The program's journal would drown the fuzzer's own output.
    QLoggingCategory::setFilterRules(QStringLiteral("auravox.*=false\ndefault.info=false"));
    DownloadLimits limits = downloadLimits();
    limits.totalTimeMs = 200;
    setDownloadLimits(limits);
}

// Loads `ini` as the configuration of a fresh program in a fresh folder and
// returns the file its save writes.
QByteArray loadAndSave(const QByteArray &ini)
{
    QTemporaryDir dir;
    check(dir.isValid());
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ::setenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))).constData(), 1);
    {
        QFile file(dir.filePath(QStringLiteral("auravox.ini")));
        check(file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size());
    }
    QByteArray saved;
    {
        ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 4, 59)));
        FakeWaveOutput wave;
        FakeSerialLines serial;
        serial.ports = {QStringLiteral("COM1"), QStringLiteral("COM3")};
        FakeMonitorStation station;
        ScriptedPrompts prompts;
        AppDeps deps;
        deps.main.clock = &clock;
        deps.main.waveOutput = &wave;
        deps.main.prompts = &prompts;
        deps.main.programPath = dir.filePath(QStringLiteral("auravox"));
        deps.main.useTray = false;
        deps.serialLines = &serial;
        deps.monitorStation = &station;
        deps.siblingLink = false;
        AppWindows windows(deps);
        TForm1 &form = windows.form1();
        clock.advanceSeconds(1);
        form.TimerSecondeTimer(); // the first tick: the load
        QFile::remove(dir.filePath(QStringLiteral("auravox.ini")));
        check(form.SaveConfiguration());
        QFile file(dir.filePath(QStringLiteral("auravox.ini")));
        check(file.open(QIODevice::ReadOnly));
        saved = file.readAll();
    }
    QDir::setCurrent(previousDir);
    return saved;
}

// The lines of a saved file without those that follow the running state.
QList<QByteArray> settledLines(const QByteArray &saved)
{
    static const char *const kRunning[] = {"TOP=", "LEFT=", "METEO_TOP=", "METEO_LEFT=", "METEO_WIDTH=",
                                           "METEO_HEIGHT=", "FORMMETEO=", "VOLUME=", "BALANCE="};
    QList<QByteArray> lines = saved.split('\n');
    QList<QByteArray> kept;
    for (const QByteArray &line : lines) {
        bool running = false;
        for (const char *key : kRunning)
            running = running || line.startsWith(key);
        if (!running)
            kept << line;
    }
    return kept;
}

void checkWellFormed(const QByteArray &saved)
{
    check(saved.startsWith("[AURAVOX V2.2.3]\r\n"));
    check(saved.endsWith("\r\n"));
    const QList<QByteArray> lines = saved.left(saved.size() - 1).split('\n'); // each still ends in CR
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        check(line.endsWith('\r')); // CR LF, never a bare LF
        line.chop(1);
        check(!line.contains('\r'));
        if (i == 0)
            continue;
        check(line.indexOf('=') >= 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A configuration file is a few kilobytes; longer inputs only repeat lines.
    if (size > 16384)
        return 0;
    startQt();
    const QByteArray ini(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QByteArray first = loadAndSave(ini);
    checkWellFormed(first);
    const QByteArray second = loadAndSave(first);
    checkWellFormed(second);
    check(settledLines(first) == settledLines(second));
    return 0;
}
