#pragma once

#include <QString>
#include <QStringList>

namespace auravox {

class ConfigRegistry;

// "auravox.ini" in the working folder: Windows-1252, CR LF, written whole
// through a temporary file, readable only by its owner.
namespace ConfigFile {
inline const QString kFile = QStringLiteral("auravox.ini");
inline const QString kTempFile = QStringLiteral("auravox.~in");
constexpr unsigned kPermissions = 0400; // it can hold the APRS password
// The status text of a save that failed.
inline const QString kSaveError = QStringLiteral("Err: auravox.ini");

// "[AURAVOX V<version>]".
QString header();
// Applies the file's lines to the registry; false (nothing applied) when it can't be read.
bool load(const ConfigRegistry &registry, QStringList *lines = nullptr, const QString &file = kFile);
// Writes the registry's lines; false when the file can't be written, and then
// the log says why (the status text, the failed step and the system's reason).
bool save(const ConfigRegistry &registry, QStringList *lines = nullptr, const QString &file = kFile,
          const QString &tempFile = kTempFile);
} // namespace ConfigFile

} // namespace auravox
