#include "app/ProgramStart.h"

#include "app/PasswordCommand.h"
#include "app/WorkingFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace auravox::ProgramStart {

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

} // namespace

int answerEarly(CommandLine &commandLine, int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and version are answered before anything needs a display. Any other
    // complaint waits until the application has taken out its own options.
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
    return runWebPasswordCommand(argc, argv);
}

void useJournalMessagePattern()
{
    if (qEnvironmentVariableIsEmpty("QT_MESSAGE_PATTERN"))
        qSetMessagePattern(
            QStringLiteral("%{category}: %{if-warning}warning: %{endif}%{if-critical}error: %{endif}%{message}"));
}

int applyOptions(CommandLine &commandLine)
{
    if (commandLine.parse(QCoreApplication::arguments()) == CommandLine::Action::Error) {
        std::fputs(qPrintable(commandLine.errorText()), stderr);
        return CommandLine::kUsageError;
    }
    return -1;
}

QString enterWorkingFolder(const QString &programDir, const char *programName)
{
    const QString folder = WorkingFolder::choose(programDir);
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "%s: cannot use the working folder %s\n", programName, qPrintable(folder));
        return {};
    }
    WorkingFolder::seedHelloFile(folder);
    WorkingFolder::seedHelpPage(folder);
    return folder;
}

void stopOnSignals(QObject *owner, std::function<void()> stop)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto onStop = [stop = std::move(stop)] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        stop();
    };
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, onStop);
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
        onStop();
}

int webPortOverride()
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("AURAVOX_WEB_PORT", &ok);
    return ok && port >= 0 && port <= 65535 ? port : -1;
}

} // namespace auravox::ProgramStart
