#pragma once

#include <QString>

// Start at login: an XDG autostart entry "zorbel.desktop" (the name the
// sibling family uses) whose Exec is the program's full path.
namespace auravox::Autostart {

// $XDG_CONFIG_HOME/autostart/zorbel.desktop (usually ~/.config/autostart/...).
QString entryPath();
// Writes the entry; false with `error` set when it can't.
bool enable(const QString &programPath, QString *error);
// Removes the entry (no entry is not an error).
bool disable(QString *error);

} // namespace auravox::Autostart
