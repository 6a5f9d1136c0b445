#include "app/CommandLine.h"

namespace auravox {

namespace {

QCommandLineOption hidden(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

} // namespace

CommandLine::CommandLine(Program program) : m_program(program)
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")},
        {QStringLiteral("version"), QStringLiteral("Show the version and the licence, and exit.")},
        {QStringLiteral("set-web-password"),
         QStringLiteral("Set the station page's password (asked on the terminal, or one line\n"
                        "read from standard input), and exit.")},
        // For demonstrations and tests: a simulated Davis Weather Monitor II
        // answers on every port (as with AURAVOX_MONITOR_SIMULATOR=1).
        hidden({QStringLiteral("simulate-monitor"), QStringLiteral("Simulate a Monitor II station.")}),
    });
}

CommandLine::Action CommandLine::parse(const QStringList &arguments)
{
    m_error.clear();
    const bool ok = m_parser.parse(arguments);
    if (m_parser.isSet(QStringLiteral("help")))
        return Action::Help;
    if (m_parser.isSet(QStringLiteral("version")))
        return Action::Version;
    if (!ok)
        m_error = m_parser.errorText();
    else if (!m_parser.positionalArguments().isEmpty())
        m_error = QStringLiteral("unexpected argument '%1'").arg(m_parser.positionalArguments().first());
    if (m_error.isEmpty())
        return Action::Run;
    const QString name = m_program == Program::Headless ? QStringLiteral("auravoxd") : QStringLiteral("auravox");
    m_error = QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(name, m_error);
    return Action::Error;
}

QString CommandLine::helpText() const
{
    QString options = m_parser.helpText();
    options = options.mid(options.indexOf(QLatin1String("Options:")));
    const QString about =
        m_program == Program::Headless
            ? QStringLiteral("Usage: auravoxd [options]\n"
                             "Speaks the date, the time and the weather over a radio repeater or a beacon,\n"
                             "keying the transmitter through a serial port. It shows no window and needs\n"
                             "no display: it is set in auravox.ini and on its station page.\n\n")
            : QStringLiteral("Usage: auravox [options]\n"
                             "Speaks the date, the time and the weather over a radio repeater or a beacon,\n"
                             "keying the transmitter through a serial port. Everything is set in its\n"
                             "windows; without a display it runs on Qt's offscreen platform.\n\n");
    const QString manual = m_program == Program::Headless ? QStringLiteral("auravoxd(1)") : QStringLiteral("auravox(1)");
    return about + options
           + QStringLiteral("\nThe settings are kept in the working folder: $AURAVOX_HOME when set, else\n"
                            "the program's folder when writable (not /usr/bin or another folder of\n"
                            "commands), else ~/.local/share/auravox.\n"
                            "See %1 for the files, the environment and the service.\n")
                 .arg(manual);
}

QString CommandLine::versionText()
{
    return QStringLiteral("auravox " AURAVOX_VERSION "\n"
                          "Copyright (C) 2026 The Auravox developers\n"
                          "License GPL-2.0-or-later: GNU GPL version 2 or later <https://gnu.org/licenses/gpl.html>.\n"
                          "This is free software: you are free to change and redistribute it.\n"
                          "There is NO WARRANTY, to the extent permitted by law.\n");
}

} // namespace auravox
