#include "app/CommandLine.h"
#include "app/ProgramStart.h"
#include "app/WorkingFolder.h"
#include "app/ui/AppWindows.h"
#include "app/ui/QtUserPrompts.h"
#include "common/Clock.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "platform/linux/MonitorStationFactory.h"
#include "platform/linux/TermiosSerialLines.h"
#include "transmitter/linux/PttDevices.h"

#include <QApplication>

#include <cstdio>
#include <unistd.h>

using namespace auravox;

int main(int argc, char **argv)
{
    CommandLine commandLine;
    if (const int code = ProgramStart::answerEarly(commandLine, argc, argv); code >= 0)
        return code;

    // A repeater box often has no screen: run without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // The APRS login page's browser, when the auravox-webengine plugin is
    // installed and loaded later: WebEngine wants shared GL contexts before the
    // application exists, and no sandbox when run as root (a repeater box).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    ProgramStart::useJournalMessagePattern();
    QApplication app(argc, argv);
    if (const int code = ProgramStart::applyOptions(commandLine); code >= 0)
        return code;
    if (commandLine.isSet(QStringLiteral("simulate-monitor")))
        setSimulatedMonitor(true);
    // No display name: the window manager shows each window's own title, which
    // Qt would otherwise follow with " - AURAVOX".
    QApplication::setApplicationName(QStringLiteral("AURAVOX"));
    // The main window's close ends the program, even when it was hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = ProgramStart::enterWorkingFolder(QApplication::applicationDirPath(), "auravox");
    if (folder.isEmpty())
        return 1;

    SystemClock clock;
    AlsaWaveOutput waveOutput;
    TermiosSerialLines serialLines;
    QtUserPrompts prompts;
    AppDeps deps;
    deps.main.clock = &clock;
    deps.main.waveOutput = &waveOutput;
    deps.main.prompts = &prompts;
    deps.main.programPath = QApplication::applicationFilePath();
    deps.serialLines = &serialLines;
    deps.pttDevices = makePttDevice;
    deps.publicFolder = WorkingFolder::publicWeatherFolder();
    deps.webServer = true;
    deps.webPort = ProgramStart::webPortOverride();

    AppWindows windows(deps);
    TForm1 &form1 = windows.form1();
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Nobody can see these windows: no blinking text cursor (twice a second
        // in a focused field, forever) and no painting into images never shown.
        QApplication::setCursorFlashTime(0);
        for (QWidget *window : QApplication::topLevelWidgets())
            window->setUpdatesEnabled(false);
    }
    prompts.setParent(&form1);
    prompts.setStatusSink([&form1](const QString &text) { form1.setStatusField(text); });
    QObject::connect(
        &form1, &TForm1::terminateRequested, &app, [] { QCoreApplication::exit(2); }, Qt::QueuedConnection);
    QObject::connect(&form1, &TForm1::loaded, &app, [&folder] {
        std::fprintf(stderr, "auravox: V%s running in %s\n", AURAVOX_VERSION, qPrintable(folder));
    });
    QObject::connect(&form1, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // SIGTERM, SIGINT and SIGHUP close the main window the normal way, from the
    // event loop: the transmitter is released and the configuration saved (once
    // it has been loaded; before, the file is left as it is).
    ProgramStart::stopOnSignals(&form1, [&form1] { form1.close(); });
    // The first tick of the clock loads the configuration and shows the window.
    return QApplication::exec();
}
