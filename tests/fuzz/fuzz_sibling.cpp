// libFuzzer target: a copy of the sibling link's shared buffer, as the
// listener reads it, and the listener's decision on the text. Whatever the
// bytes: the length check holds, the text is exactly the announced bytes, a
// message built from it reads back the same, and the reply, the start of an
// announcement and the deaf state follow the words in the text.

#include "peers/SiblingProtocol.h"

#include <QByteArray>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace {

using namespace auravox::Sibling;

void checkReaction(const QString &text, bool busy)
{
    const Request q = requestIn(text);
    const Reaction r = react(q, busy);
    const bool hello = text.contains(kHello);
    const bool play = text.contains(kPlay);
    if (q.hello != hello || q.play != play)
        __builtin_trap();
    const Reply expected = !hello ? Reply::None : busy ? Reply::Occupied : Reply::Ready;
    if (r.reply != expected || r.goDeaf != (expected == Reply::Occupied))
        __builtin_trap();
    // Going deaf ends the message: nothing after the reply is acted on.
    if (r.startAnnouncement != (play && !r.goDeaf))
        __builtin_trap();
    if ((r.reply == Reply::None) != replyText(r.reply).isEmpty())
        __builtin_trap();
}

void checkEcho(const QString &text)
{
    const QString echo = echoText(text);
    if (text.contains(QStringLiteral("ZORBEL"))) {
        if (!echo.startsWith(QStringLiteral("AURAVOX")) || echo.size() != text.size() + 1
            || echo.mid(7) != text.mid(6))
            __builtin_trap();
    } else if (echo != text) {
        __builtin_trap();
    }
    if (statusAfterEcho(QStringLiteral("Err: Res Wave"), text).has_value())
        __builtin_trap();
    if (statusAfterEcho(kConnectedStatus, text) != echo)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const Received r = readBuffer(bytes);

    if (size < static_cast<std::size_t>(kHeaderSize)) {
        if (r.status != Received::Status::TooShort)
            __builtin_trap();
        return 0;
    }
    const qint32 n = qFromLittleEndian<qint32>(bytes.constData());
    const bool fits = n >= 0 && n <= kMaxTextLength && n <= bytes.size() - kHeaderSize;
    if (r.length != n || (r.status == Received::Status::Text) != fits)
        __builtin_trap();
    if (!fits)
        return 0;

    // Windows-1252 decoding keeps every byte, so the text goes back unchanged.
    const std::optional<QByteArray> message = encodeMessage(r.text);
    if (r.text.size() != n || !message || *message != bytes.left(kHeaderSize + n))
        __builtin_trap();
    const Received again = readBuffer(*message);
    if (again.status != Received::Status::Text || again.text != r.text)
        __builtin_trap();

    checkReaction(r.text, false);
    checkReaction(r.text, true);
    checkEcho(r.text);
    return 0;
}
