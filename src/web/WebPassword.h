#pragma once

#include <QByteArray>
#include <QString>

namespace auravox {

// The station password of the station page, kept as a salted
// PBKDF2-HMAC-SHA256 hash in a file of the working folder that only its owner
// can read; the password itself is never stored.
//
// The file holds one line: "pbkdf2-sha256$" iterations "$" salt "$" hash, the
// salt and the hash in base64.
namespace WebPassword {

inline const QString kFileName = QStringLiteral("auravox_web.pwd");
constexpr int kIterations = 310000;
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
constexpr int kMinimumLength = 8;

// PBKDF2-HMAC-SHA256 of `password` (UTF-8) and `salt`.
QByteArray derive(const QByteArray &password, const QByteArray &salt, int iterations, int length = kHashBytes);

// The file's line for a new password, with a fresh random salt.
QString hashLine(const QString &password, int iterations = kIterations);
// True when `password` matches the line; false for a malformed line.
bool matches(const QString &line, const QString &password);

// Why a password can't be used (fewer than kMinimumLength characters that are
// not white space, or too long), or empty when it can.
QString weakness(const QString &password);

// Writes the line for `password` to `path` (mode 0600, replaced atomically).
// False with `error` set when it can't.
bool store(const QString &path, const QString &password, QString *error, int iterations = kIterations);
// The stored line, or empty when there is no usable file.
QString load(const QString &path);

} // namespace WebPassword

} // namespace auravox
