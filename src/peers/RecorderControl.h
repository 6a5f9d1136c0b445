#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace auravox {

class Clock;
class UserPrompts;

// The wave recorder Tamboril as this program drives it.
//
// The recorder's main window is a Unix stream socket at
// $XDG_RUNTIME_DIR/TFormQuillon.TAMBORIL (or /tmp/TFormQuillon.TAMBORIL.<uid>
// without XDG_RUNTIME_DIR); "the window exists" means the socket accepts a
// connection, and both the socket file and the process behind it belong to
// this program's user (anything else is no recorder, and the log says why). A command is its text followed by a zero byte, on a connection of
// its own; the reply is a little-endian int32. No reply within the reply limit
// (or a connection closed before the four bytes) counts as 0.
namespace Recorder {

enum class Command { None = 0, Record = 1, Stop = 2, Close = 3 };

inline const QString kSocketName = QStringLiteral("TFormQuillon.TAMBORIL");
constexpr int kReplyLimitMs = 5000;
constexpr int kRunningPauseMs = 200;   // before the record command to a recorder already running
constexpr int kLookPauseMs = 100;      // between two looks for a recorder just started
constexpr int kLooks = 30;
constexpr int kCloseDelayMs = 1000;    // between stop and close

inline const QString kNotFound = QStringLiteral("Tamboril not found!");           // gone when a command is sent
inline const QString kNotStarted = QStringLiteral("Tamboril not found !");        // did not come up after start
inline const QString kPathError = QStringLiteral("Pathname Tamboril error");
inline const QString kNoAnswer = QStringLiteral("Tamboril does not answer");

// "Quillon record", "Quillon stop", "Quillon close"; empty for None.
QByteArray commandText(Command command);
// The status text a reply selects, whatever the command was: 0 "Tamboril does
// not answer", 1 to 3 the texts of the commands; nullopt (the line stays as it
// was) for any other value.
std::optional<QString> statusForReply(qint32 reply);
// Where the recorder listens, from the environment as it is now.
QString defaultSocketPath();

} // namespace Recorder

// The recorder's socket as the control reaches it; peers/linux/UnixRecorderSocket
// is the real one.
class RecorderSocket
{
public:
    virtual ~RecorderSocket() = default;
    // Whether a recorder of this program's user accepts a connection at `path`
    // now. A socket there that is not ours sets *refusal to the reason.
    virtual bool present(const QString &path, QString *refusal) = 0;
    // Sends `message` on a connection of its own and reads the reply: nullopt
    // when no recorder is there (*refusal as for present()), 0 when the reply
    // does not come within `replyLimitMs` or the recorder hangs up first.
    virtual std::optional<qint32> exchange(const QString &path, const QByteArray &message, int replyLimitMs,
                                           QString *refusal) = 0;
};

// Starts the recorder when an announcement begins and stops it (and closes it,
// when this program started it) when the announcement ends. All on the main
// thread. The pauses run through Clock::waitPumping so the clock tick and the
// other handlers go on; the reply wait itself does not pump (the command is a
// synchronous call) but is bounded by the reply limit.
class RecorderControl
{
public:
    using Command = Recorder::Command;

    struct Hooks
    {
        // The check mark of MenuRecord ("Run recorder when playing"), read at
        // the start and again at the end of each announcement.
        std::function<bool()> recording;
        // The text of EditQuillon.
        std::function<QString()> programPath;
        // The main window's recorder status line StaticTextW.
        std::function<void(const QString &text)> showStatus;
    };

    RecorderControl(Clock &clock, UserPrompts &prompts, RecorderSocket &socket, Hooks hooks);

    // The announcement's start step: starts the recorder if its socket is
    // absent and sends the record command.
    void StartRecorder();
    // The announcement's end step: stop, then close one second later when
    // StartRecorder started the program.
    void StopRecorder();
    // Sends the command named by `command` and shows the outcome. Returns the
    // reply, or nullopt when the recorder was not there.
    std::optional<qint32> SendRecorderCommand(Command command);

    // Whether the recorder's socket accepts a connection now.
    bool recorderPresent() const;

    // The last command attempted in the current announcement.
    Command command() const { return m_command; }
    bool recorderWasRunning() const { return m_wasRunning; }

    void setSocketPathFunction(std::function<QString()> socketPath) { m_socketPath = std::move(socketPath); }
    QString socketPath() const { return m_socketPath(); }
    // How long a command waits for its reply (5 s unless set).
    void setReplyLimitMs(int ms) { m_replyLimitMs = ms; }

private:
    void show(const QString &text);
    bool recording() const;
    // Waits `ms` while the event loop runs; false when a new announcement
    // began meanwhile (this start must not go on).
    bool pause(int ms, quint64 generation);
    // Logs why a socket was refused, once until the reason changes.
    void noteRefusal(const QString &refusal) const;

    Clock &m_clock;
    UserPrompts &m_prompts;
    RecorderSocket &m_socket;
    Hooks m_hooks;
    std::function<QString()> m_socketPath = &Recorder::defaultSocketPath;
    int m_replyLimitMs = Recorder::kReplyLimitMs;

    Command m_command = Command::None;
    bool m_wasRunning = false;
    // Counts StartRecorder calls, so a start whose pause outlives its
    // announcement notices that a new one began during it.
    quint64 m_generation = 0;
    // A stop is waiting out the second before the close of a recorder this
    // program started. A new announcement that uses the recorder meanwhile
    // takes it over (and closes it at its own end).
    bool m_closePending = false;
    mutable QString m_lastRefusal;
};

} // namespace auravox
