#include "web/WebPassword.h"

#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>

namespace auravox::WebPassword {

namespace {
const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr int kMaxIterations = 10000000; // a damaged file must not hold the page for hours

bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
} // namespace

QByteArray derive(const QByteArray &password, const QByteArray &salt, int iterations, int length)
{
    // PBKDF2 (RFC 8018) over one HMAC object keyed once: QPasswordDigestor
    // keys a new one for every iteration, several times slower, and a login
    // is computed on the thread that also keeps the station's clock.
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    QByteArray out;
    for (quint32 block = 1; out.size() < length; ++block) {
        const char counter[4] = {char(block >> 24), char(block >> 16), char(block >> 8), char(block)};
        mac.reset();
        mac.addData(salt);
        mac.addData(counter, 4);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int i = 1; i < iterations; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype j = 0; j < t.size(); ++j)
                t[j] = static_cast<char>(t[j] ^ u[j]);
        }
        out += t;
    }
    return out.left(length);
}

QString hashLine(const QString &password, int iterations)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), kSaltBytes / 4);
    const QByteArray hash = derive(password.toUtf8(), salt, iterations);
    return kScheme + QLatin1Char('$') + QString::number(iterations) + QLatin1Char('$') +
           QString::fromLatin1(salt.toBase64()) + QLatin1Char('$') + QString::fromLatin1(hash.toBase64());
}

bool matches(const QString &line, const QString &password)
{
    const QStringList parts = line.trimmed().split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < 1 || iterations > kMaxIterations)
        return false;
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto hash = QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !hash || salt.decoded.isEmpty() || hash.decoded.size() != kHashBytes)
        return false;
    return sameBytes(derive(password.toUtf8(), salt.decoded, iterations), hash.decoded);
}

QString weakness(const QString &password)
{
    // Spaces and other blanks pad a password without making it harder to guess.
    const auto solid = std::count_if(password.begin(), password.end(), [](QChar c) { return !c.isSpace(); });
    if (solid < kMinimumLength)
        return QStringLiteral("the password must have at least %1 characters that are not spaces").arg(kMinimumLength);
    if (password.size() > 1024)
        return QStringLiteral("the password is too long (1024 characters at most)");
    return QString();
}

bool store(const QString &path, const QString &password, QString *error, int iterations)
{
    if (const QString why = weakness(password); !why.isEmpty()) {
        *error = why;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    // Owner only, before a byte is written.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write((hashLine(password, iterations) + QLatin1Char('\n')).toLatin1());
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.read(4096)).trimmed();
}

} // namespace auravox::WebPassword
