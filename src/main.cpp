#include "app/CommandLine.h"
#include "app/PasswordCommand.h"
#include "app/WorkingFolder.h"
#include "app/ui/AppWindows.h"
#include "app/ui/QtUserPrompts.h"
#include "common/Clock.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "platform/linux/MonitorStationFactory.h"
#include "platform/linux/TermiosSerialLines.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace auravox;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM, SIGINT and SIGHUP close the main window the normal way, from the
// event loop: the transmitter is released and the configuration saved (once
// it has been loaded; before, the file is left as it is).
void closeOnSignals(QWidget *window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto stop = [window] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        window->close();
    };
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, stop);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigset_t handled;
    sigemptyset(&handled);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(sig, &sa, nullptr);
        sigaddset(&handled, sig);
    }
    // A parent may start us with these blocked (the mask is inherited): they
    // must still stop the program. One already pending arrives right here.
    ::pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
    // A stop asked for before the event loop runs is answered before anything
    // else, the first tick (the configuration load) included.
    pollfd pending{g_signalPipe[0], POLLIN, 0};
    if (::poll(&pending, 1, 0) == 1)
        stop();
}

} // namespace

int main(int argc, char **argv)
{
    CommandLine commandLine;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and version are answered before anything needs a display. Any other
    // complaint waits until QApplication has taken out its own options.
    switch (commandLine.parse(arguments)) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(qPrintable(CommandLine::versionText()), stdout);
        return 0;
    default:
        break;
    }
    // The station page's password, set from the terminal or standard input.
    if (const int code = runWebPasswordCommand(argc, argv); code >= 0)
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
    // One line per message, with its category, for the journal (QT_MESSAGE_PATTERN overrides it).
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN"))
        qSetMessagePattern(QStringLiteral("%{category}: %{if-warning}warning: %{endif}%{if-critical}error: %{endif}%{message}"));
    QApplication app(argc, argv);
    if (commandLine.parse(QCoreApplication::arguments()) == CommandLine::Action::Error) {
        std::fputs(qPrintable(commandLine.errorText()), stderr);
        return CommandLine::kUsageError;
    }
    if (commandLine.isSet(QStringLiteral("simulate-monitor")))
        setSimulatedMonitor(true);
    // No display name: the window manager shows each window's own title, which
    // Qt would otherwise follow with " - AURAVOX".
    QApplication::setApplicationName(QStringLiteral("AURAVOX"));
    // The main window's close ends the program, even when it was hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = WorkingFolder::choose(QApplication::applicationDirPath());
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "auravox: cannot use the working folder %s\n", qPrintable(folder));
        return 1;
    }
    WorkingFolder::seedHelloFile(folder);
    WorkingFolder::seedHelpPage(folder);

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
    deps.publicFolder = WorkingFolder::publicWeatherFolder();
    deps.webServer = true;

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
    QObject::connect(&form1, &TForm1::terminateRequested, &app, [] { QCoreApplication::exit(2); },
                     Qt::QueuedConnection);
    QObject::connect(&form1, &TForm1::loaded, &app, [&folder] {
        std::fprintf(stderr, "auravox: V%s running in %s\n", AURAVOX_VERSION, qPrintable(folder));
    });
    QObject::connect(&form1, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    closeOnSignals(&form1);
    // The first tick of the clock loads the configuration and shows the window.
    return QApplication::exec();
}
