#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The messages exchanged with the sibling announcer Zorbel, and what this
// program does with each one. No operating-system objects here: the transport
// (shared memory, the writers' mutex, the pulsed event) lives in
// platform/linux/SiblingLink.
//
// The shared buffer holds one message: N, the length of the text in bytes, as a
// little-endian 32-bit signed integer at offset 0, then N bytes of
// Windows-1252 text at offset 4, without terminator. N is at most 65532.
namespace auravox::Sibling {

inline constexpr int kBufferSize = 65536;
inline constexpr int kHeaderSize = 4;
inline constexpr int kMaxTextLength = kBufferSize - kHeaderSize; // 65532
// Longest wait for the writers' mutex; past it the message is written anyway.
inline constexpr int kMutexWaitMs = 3000;
// Pause before answering "ZORBEL_HELLO".
inline constexpr int kHelloReplyDelayMs = 100;

inline const QString kHello = QStringLiteral("ZORBEL_HELLO");
inline const QString kReady = QStringLiteral("ZORBEL_READY");
inline const QString kOccupied = QStringLiteral("ZORBEL_OCCUPIED");
inline const QString kPlay = QStringLiteral("ZORBEL_PLAY");
inline const QString kDone = QStringLiteral("ZORBEL_DONE");
// Sent after each connect and at each disconnect.
QString arrivalText();   // "ZORBEL connecté"
QString departureText(); // "ZORBEL déconnecté"

// Status texts of the main window's EditData.
inline const QString kConnectedStatus = QStringLiteral("AURAVOX connected");
inline const QString kSendFailedStatus = QStringLiteral("Err: MapViewOfFile");

// The names of the three shared objects. Both programs use the same names; a
// suffix gives a private set (tests, a second pair of programs on one machine).
struct Names
{
    QString memory = QStringLiteral("/VEZEZUVSHAREDMEMORY");
    QString mutex = QStringLiteral("/VEZEZUVMUTEX");
    QString event = QStringLiteral("/VEZEZUVEVENT");

    // The real names followed by `suffix`; a '/' in it becomes '_', as an
    // object name holds no further slash.
    static Names withSuffix(const QString &suffix);
    // withSuffix($AURAVOX_SIBLING_SUFFIX), the real names when it is unset.
    static Names fromEnvironment();
};

// One copy of the buffer, as the listener took it.
struct Received
{
    enum class Status {
        Text,      // a message: `text` holds it
        TooShort,  // fewer than 4 bytes: no length at all
        BadLength, // N outside 0..65532, or more text announced than the copy holds
    };
    Status status = Status::TooShort;
    qint64 length = 0; // N as read (BadLength, Text)
    QString text;
};

// Reads N and the text from a copy of the buffer (usually all 65536 bytes).
// The length is read once from the copy, so a writer that changes the shared
// buffer meanwhile can't make the text run past it.
Received readBuffer(QByteArrayView buffer);

// N followed by the Windows-1252 text; nullopt when the text takes more than
// 65532 bytes (it would not fit the buffer).
std::optional<QByteArray> encodeMessage(const QString &text);

// What a received text asks for. The words are found anywhere in the text,
// with case.
struct Request
{
    bool hello = false;
    bool play = false;
};
Request requestIn(const QString &text);

enum class Reply { None, Ready, Occupied };
QString replyText(Reply reply); // empty for None

// What the listener does with a request. `busy` is the announcement state when
// the reply is due (after the hello pause); it matters only for a hello.
struct Reaction
{
    Reply reply = Reply::None;
    // Hand the start of an announcement to the main thread (after the reply).
    bool startAnnouncement = false;
    // Stop listening: the link is deaf until it is renewed. Follows
    // "ZORBEL_OCCUPIED", and nothing else of that message is acted on.
    bool goDeaf = false;
};
Reaction react(const Request &request, bool busy);

// The echo of a received text in EditData: the text itself, or, when it holds
// "ZORBEL" anywhere, "AURAVOX" followed by the text without its first six
// characters ("hello ZORBEL" shows as "AURAVOXZORBEL").
QString echoText(const QString &received);
// The new EditData text after receiving `received` while it shows `status`;
// nullopt keeps the status (an error text, beginning "Err", stays visible).
std::optional<QString> statusAfterEcho(const QString &status, const QString &received);
// Whether "AURAVOX connected" may replace `status` after a connect.
bool showsConnected(const QString &status);

} // namespace auravox::Sibling
