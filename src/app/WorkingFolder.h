#pragma once

#include <QString>

namespace auravox::WorkingFolder {

// The program's folder, where every relative file name (auravox.ini, the log,
// kuckoo.wav, the summary files) lives:
// - $AURAVOX_HOME when set;
// - else the executable's folder when it is writable (a portable install),
//   unless it is a folder of commands (/usr/bin, /usr/local/bin, one on $PATH);
// - else $XDG_DATA_HOME/auravox (usually ~/.local/share/auravox).
// The folder is created when missing. Returns an empty string when it can't be.
QString choose(const QString &executableFolder);

// Writes the default hello file "kuckoo.wav" into `folder` when it is missing.
// Returns false only when it was missing and could not be written.
bool seedHelloFile(const QString &folder);

// Writes the help page "auravox_help.html" into `folder` when it is missing or
// older than the one built into the program.
bool seedHelpPage(const QString &folder);

// The folder where the METAR and APRS windows also leave their summary files
// for other programs: $AURAVOX_PUBLIC_DIR when set, else the desktop's public
// share folder (XDG_PUBLICSHARE_DIR, usually ~/Public) + "/weather". Created
// when missing; empty when it can't be, and the files then go only to the
// working folder.
QString publicWeatherFolder();

} // namespace auravox::WorkingFolder
