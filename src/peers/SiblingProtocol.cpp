#include "peers/SiblingProtocol.h"

#include "common/TextFile.h"

#include <QtEndian>

namespace auravox::Sibling {

namespace {
const QString kNameWord = QStringLiteral("ZORBEL");
const QString kOwnName = QStringLiteral("AURAVOX");
const QString kErrorPrefix = QStringLiteral("Err");
} // namespace

QString arrivalText()
{
    return QStringLiteral("ZORBEL") + QStringLiteral(" connect\u00E9");
}

QString departureText()
{
    return QStringLiteral("ZORBEL") + QStringLiteral(" d\u00E9connect\u00E9");
}

Names Names::withSuffix(const QString &suffix)
{
    QString clean = suffix;
    clean.replace(QLatin1Char('/'), QLatin1Char('_'));
    Names n;
    n.memory += clean;
    n.mutex += clean;
    n.event += clean;
    return n;
}

Names Names::fromEnvironment()
{
    return withSuffix(qEnvironmentVariable("AURAVOX_SIBLING_SUFFIX"));
}

Received readBuffer(QByteArrayView buffer)
{
    Received r;
    if (buffer.size() < kHeaderSize)
        return r;
    const qint32 n = qFromLittleEndian<qint32>(buffer.data());
    r.length = n;
    if (n < 0 || n > kMaxTextLength || n > buffer.size() - kHeaderSize) {
        r.status = Received::Status::BadLength;
        return r;
    }
    r.status = Received::Status::Text;
    r.text = TextFile::decodeCp1252(buffer.sliced(kHeaderSize, n).toByteArray());
    return r;
}

std::optional<QByteArray> encodeMessage(const QString &text)
{
    const QByteArray bytes = TextFile::encodeCp1252(text);
    if (bytes.size() > kMaxTextLength)
        return std::nullopt;
    QByteArray out(kHeaderSize, Qt::Uninitialized);
    qToLittleEndian<qint32>(static_cast<qint32>(bytes.size()), out.data());
    out += bytes;
    return out;
}

Request requestIn(const QString &text)
{
    return {text.contains(kHello), text.contains(kPlay)};
}

QString replyText(Reply reply)
{
    switch (reply) {
    case Reply::Ready:
        return kReady;
    case Reply::Occupied:
        return kOccupied;
    case Reply::None:
        break;
    }
    return {};
}

Reaction react(const Request &request, bool busy)
{
    Reaction r;
    if (request.hello) {
        if (busy) {
            r.reply = Reply::Occupied;
            r.goDeaf = true;
            return r;
        }
        r.reply = Reply::Ready;
    }
    r.startAnnouncement = request.play;
    return r;
}

QString echoText(const QString &received)
{
    if (received.contains(kNameWord))
        return kOwnName + received.mid(6);
    return received;
}

std::optional<QString> statusAfterEcho(const QString &status, const QString &received)
{
    if (status.startsWith(kErrorPrefix))
        return std::nullopt;
    return echoText(received);
}

bool showsConnected(const QString &status)
{
    return !status.startsWith(kErrorPrefix);
}

} // namespace auravox::Sibling
