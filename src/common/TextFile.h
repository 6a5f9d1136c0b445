#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files as the program writes and reads them: Windows-1252, lines ended by
// CR LF (a bare LF or CR is accepted on reading), so files made on the
// original platform load unchanged. Conversion happens only here.
namespace auravox::TextFile {

QString decodeCp1252(const QByteArray &bytes);
// Characters that Windows-1252 can't hold become '?'.
QByteArray encodeCp1252(const QString &text);

QStringList splitLines(const QString &text);
// Every line followed by CR LF.
QByteArray joinLines(const QStringList &lines);

// Reads a whole file; false when it can't be read.
bool readLines(const QString &path, QStringList *lines);

// Writes `lines` so that at every instant either the old file or the new one
// exists whole: the data goes to `tempPath`, is flushed and synced, then
// renamed over `path` in one step, and the folder is synced. `permissions` are
// set on the file before the rename (e.g. 0400). False when any step fails;
// then `path` is untouched and `why`, when given, says which step failed and
// the system's reason ("can't write auravox.~in: No space left on device").
bool writeLinesAtomically(const QString &path, const QString &tempPath, const QStringList &lines,
                          unsigned permissions = 0644, QString *why = nullptr);

} // namespace auravox::TextFile
