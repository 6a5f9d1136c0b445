#pragma once

#include "app/CommandLine.h"

#include <QString>

#include <functional>

class QObject;

namespace auravox {

// What the desktop program and the headless one do alike before and as they start.
namespace ProgramStart {

// Answers --help, --version and --set-web-password before anything else
// starts. Returns the exit code, or -1 to go on.
int answerEarly(CommandLine &commandLine, int argc, char **argv);

// One line per message, with its category, for the journal (QT_MESSAGE_PATTERN overrides it).
void useJournalMessagePattern();

// Checks the options once the application has taken out its own. Returns the exit code of a usage error, or -1 to go
// on.
int applyOptions(CommandLine &commandLine);

// Chooses the working folder next to `programDir` (or the user's), makes it the
// current one and seeds its files. Empty (with the complaint on standard error)
// when it cannot be used.
QString enterWorkingFolder(const QString &programDir, const char *programName);

// SIGTERM, SIGINT and SIGHUP run `stop` from the event loop (the program then
// releases the transmitter and saves the configuration, once it has been
// loaded). A stop asked for before the event loop runs is answered at once.
void stopOnSignals(QObject *owner, std::function<void()> stop);

// The station page's port from $AURAVOX_WEB_PORT (0: a free one, shown in the
// log), or -1 when unset or not a port: the configuration's port then.
// Tests and a box set up from scratch need it before auravox.ini exists.
int webPortOverride();

} // namespace ProgramStart

} // namespace auravox
