#pragma once

#include <QCommandLineParser>
#include <QStringList>

namespace auravox {

// The program's options. Auravox takes no arguments besides them and Qt's own
// (-platform, -display, ...), which QApplication takes out of the list.
// An option is one line in the table of CommandLine.cpp; read it with
// isSet() or value().
class CommandLine
{
public:
    enum class Action {
        Run,     // start the program
        Help,    // print helpText() and exit 0
        Version, // print versionText() and exit 0
        Error,   // print errorText() and exit with kUsageError
    };
    static constexpr int kUsageError = 64; // EX_USAGE

    // The desktop program (auravox) or the one without a window (auravoxd):
    // the same options, their own name and description in the help.
    enum class Program { Desktop, Headless };

    explicit CommandLine(Program program = Program::Desktop);

    // Reads `arguments`, the program's name first. --help and --version win
    // over anything else on the line, so that they can be answered before
    // QApplication exists (and needs a display).
    Action parse(const QStringList &arguments);

    bool isSet(const QString &name) const { return m_parser.isSet(name); }
    QString value(const QString &name) const { return m_parser.value(name); }

    QString helpText() const;
    static QString versionText();
    // What was wrong after Action::Error, with the pointer to --help.
    QString errorText() const { return m_error; }

private:
    QCommandLineParser m_parser;
    QString m_error;
    Program m_program = Program::Desktop;
};

} // namespace auravox
