#include "app/PasswordCommand.h"

#include "app/WorkingFolder.h"
#include "web/WebPassword.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace auravox {

namespace {

// One line of standard input without its line end; with `hidden` the
// terminal does not echo it.
bool readLine(bool hidden, std::string *line)
{
    termios saved{};
    const bool terminal = hidden && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    line->clear();
    bool got = false;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        got = true;
        if (c == '\n')
            break;
        line->push_back(static_cast<char>(c));
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    return got;
}

} // namespace

int runWebPasswordCommand(int argc, char **argv)
{
    bool asked = false;
    for (int i = 1; i < argc; ++i)
        asked = asked || std::strcmp(argv[i], "--set-web-password") == 0;
    if (!asked)
        return -1;

    QCoreApplication app(argc, argv);
    // Messages start with the program's own name (auravox or auravoxd).
    const QByteArray self = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLocal8Bit();
    const char *const me = self.isEmpty() ? "auravox" : self.constData();
    const QString folder = WorkingFolder::choose(QCoreApplication::applicationDirPath());
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        std::fprintf(stderr, "%s: cannot use the working folder %s\n", me, qPrintable(folder));
        return 1;
    }
    const bool terminal = ::isatty(STDIN_FILENO);
    std::string first;
    std::string second;
    if (terminal)
        std::fputs("Station page password: ", stderr);
    if (!readLine(true, &first)) {
        std::fprintf(stderr, "%s: no password given\n", me);
        return 1;
    }
    // A weak one is refused before it is asked for again.
    if (const QString why =
            WebPassword::weakness(QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size())));
        !why.isEmpty()) {
        std::fill(first.begin(), first.end(), '\0');
        std::fprintf(stderr, "%s: %s; nothing changed\n", me, qPrintable(why));
        return 1;
    }
    if (terminal) {
        std::fputs("The same again: ", stderr);
        if (!readLine(true, &second) || second != first) {
            std::fprintf(stderr, "%s: the two passwords differ; nothing changed\n", me);
            return 1;
        }
    }
    const QString password = QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size()));
    std::fill(first.begin(), first.end(), '\0');
    std::fill(second.begin(), second.end(), '\0');
    QString error;
    const QString path = QDir(folder).filePath(WebPassword::kFileName);
    if (!WebPassword::store(path, password, &error)) {
        std::fprintf(stderr, "%s: %s; nothing changed\n", me, qPrintable(error));
        return 1;
    }
    std::fprintf(stderr, "%s: station page password stored in %s (readable by you alone); "
                         "logged-in pages must log in again\n",
                 me, qPrintable(path));
    return 0;
}

} // namespace auravox
