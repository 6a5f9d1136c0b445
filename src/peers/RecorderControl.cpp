#include "peers/RecorderControl.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "platform/UserPrompts.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace auravox {

namespace Recorder {

QByteArray commandText(Command command)
{
    switch (command) {
    case Command::Record:
        return QByteArrayLiteral("Quillon record");
    case Command::Stop:
        return QByteArrayLiteral("Quillon stop");
    case Command::Close:
        return QByteArrayLiteral("Quillon close");
    case Command::None:
        break;
    }
    return {};
}

std::optional<QString> statusForReply(qint32 reply)
{
    switch (reply) {
    case 0:
        return kNoAnswer;
    case 1:
        return QStringLiteral("Tamboril record");
    case 2:
        return QStringLiteral("Tamboril stop");
    case 3:
        return QStringLiteral("Tamboril close");
    default:
        return std::nullopt;
    }
}

QString defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QLatin1Char('/') + kSocketName;
    return QStringLiteral("/tmp/") + kSocketName + QLatin1Char('.') + QString::number(::getuid());
}

} // namespace Recorder

namespace {

// A connected socket, closed when it goes.
//
// Only a recorder of this program's user is spoken to: the socket file must be
// a socket that belongs to us (in /tmp anyone can make the file first), and
// the process that listens behind it must run as us too. Anything else counts
// as no recorder, with the reason in *refusal.
class Connection
{
public:
    explicit Connection(const QString &path, QString *refusal = nullptr)
    {
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof(address.sun_path))
            return;
        struct stat st{};
        if (::lstat(name.constData(), &st) != 0)
            return; // nobody there
        if (!S_ISSOCK(st.st_mode)) {
            refuse(refusal, path, QStringLiteral("is not a socket"));
            return;
        }
        if (st.st_uid != ::geteuid()) {
            refuse(refusal, path, QStringLiteral("belongs to another user (uid %1)").arg(st.st_uid));
            return;
        }
        std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_fd < 0)
            return;
        int r;
        do {
            r = ::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
        } while (r < 0 && errno == EINTR);
        // A Unix socket connects at once or not at all (EAGAIN: the recorder's
        // queue is full, which is as good as not being there).
        if (r < 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
            refuse(refusal, path, QStringLiteral("is served by another user (uid %1)").arg(peer.uid));
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Connection()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    // Sends `message` and reads the four bytes of the reply; 0 when the reply
    // does not come by `deadline` or the recorder hangs up first.
    qint32 exchange(const QByteArray &message, const QDeadlineTimer &deadline)
    {
        qsizetype sent = 0;
        while (sent < message.size()) {
            const ssize_t n = ::send(m_fd, message.constData() + sent, static_cast<size_t>(message.size() - sent),
                                     MSG_NOSIGNAL);
            if (n > 0)
                sent += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && errno == EAGAIN && waitFor(POLLOUT, deadline))
                continue;
            else
                return 0;
        }
        char reply[4];
        size_t got = 0;
        while (got < sizeof reply) {
            const ssize_t n = ::recv(m_fd, reply + got, sizeof reply - got, 0);
            if (n > 0)
                got += static_cast<size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && errno == EAGAIN && waitFor(POLLIN, deadline))
                continue;
            else
                return 0; // hung up, an error, or no answer in time
        }
        return qFromLittleEndian<qint32>(reply);
    }

private:
    static void refuse(QString *refusal, const QString &path, const QString &why)
    {
        if (refusal)
            *refusal = path + QLatin1Char(' ') + why;
    }

    bool waitFor(short events, const QDeadlineTimer &deadline)
    {
        for (;;) {
            pollfd p{m_fd, events, 0};
            const qint64 left = deadline.remainingTime();
            const int r = ::poll(&p, 1, static_cast<int>(qMin<qint64>(left, 60000)));
            if (r < 0 && errno == EINTR)
                continue;
            return r > 0;
        }
    }

    int m_fd = -1;
};

} // namespace

RecorderControl::RecorderControl(Clock &clock, UserPrompts &prompts, Hooks hooks)
    : m_clock(clock), m_prompts(prompts), m_hooks(std::move(hooks))
{
}

void RecorderControl::show(const QString &text)
{
    if (m_hooks.showStatus)
        m_hooks.showStatus(text);
}

bool RecorderControl::recording() const
{
    return !m_hooks.recording || m_hooks.recording();
}

bool RecorderControl::pause(int ms, quint64 generation)
{
    m_clock.waitPumping(ms);
    return m_generation == generation;
}

void RecorderControl::noteRefusal(const QString &refusal) const
{
    // Said once, not at each of the thirty looks of a start.
    if (refusal != m_lastRefusal && !refusal.isEmpty())
        qCWarning(lcLink).noquote() << "recorder refused:" << refusal;
    m_lastRefusal = refusal;
}

bool RecorderControl::recorderPresent() const
{
    QString refusal;
    const bool present = Connection(m_socketPath(), &refusal).isOpen();
    noteRefusal(refusal);
    return present;
}

std::optional<qint32> RecorderControl::SendRecorderCommand(Command command)
{
    m_command = command;
    QString refusal;
    Connection connection(m_socketPath(), &refusal);
    noteRefusal(refusal);
    if (!connection.isOpen()) {
        show(Recorder::kNotFound);
        return std::nullopt;
    }
    const qint32 reply = connection.exchange(Recorder::commandText(command) + '\0',
                                             QDeadlineTimer(qMax(0, m_replyLimitMs)));
    if (const std::optional<QString> text = Recorder::statusForReply(reply))
        show(*text);
    return reply;
}

void RecorderControl::StartRecorder()
{
    const quint64 generation = ++m_generation;
    m_command = Command::None;
    m_wasRunning = false;
    if (!recording())
        return;

    const QString path = m_hooks.programPath ? m_hooks.programPath() : QString();
    const QFileInfo program(path);
    if (path.isEmpty() || !program.isFile()) {
        show(Recorder::kPathError);
        m_prompts.beep();
        return;
    }

    // The previous announcement started the recorder and is still waiting to
    // close it: this announcement carries on with it and closes it at its end.
    const bool takenOver = m_closePending;
    m_closePending = false;

    if (recorderPresent()) {
        m_wasRunning = !takenOver;
        if (pause(Recorder::kRunningPauseMs, generation))
            SendRecorderCommand(Command::Record);
        return;
    }

    if (!QProcess::startDetached(program.absoluteFilePath(), {}, program.absolutePath())) {
        // Nothing to wait for: the program could not be run at all.
        show(Recorder::kNotStarted);
        m_prompts.beep();
        return;
    }
    for (int look = 0; look < Recorder::kLooks; ++look) {
        if (!pause(Recorder::kLookPauseMs, generation))
            return;
        if (recorderPresent()) {
            SendRecorderCommand(Command::Record);
            return;
        }
    }
    show(Recorder::kNotStarted);
    m_prompts.beep();
}

void RecorderControl::StopRecorder()
{
    if (!recording() || m_command != Command::Record)
        return;
    SendRecorderCommand(Command::Stop);
    if (m_wasRunning)
        return; // the recorder stays open as the user had it

    m_closePending = true;
    m_clock.waitPumping(Recorder::kCloseDelayMs);
    if (!m_closePending)
        return; // a new announcement took the recorder over during the wait
    m_closePending = false;
    SendRecorderCommand(Command::Close);
}

} // namespace auravox
