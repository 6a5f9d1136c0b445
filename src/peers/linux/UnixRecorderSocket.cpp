#include "peers/linux/UnixRecorderSocket.h"

#include "common/UniqueFd.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace auravox {

namespace {

// A connected socket, closed when it goes. A socket that is not ours counts as
// no recorder, with the reason in *refusal.
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
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd)
            return;
        int r;
        do {
            r = ::connect(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address);
        } while (r < 0 && errno == EINTR);
        // A Unix socket connects at once or not at all (EAGAIN: the recorder's
        // queue is full, which is as good as not being there).
        if (r < 0)
            return;
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
            refuse(refusal, path, QStringLiteral("is served by another user (uid %1)").arg(peer.uid));
            return;
        }
        m_fd = std::move(fd);
    }

    bool isOpen() const { return m_fd.isValid(); }

    // Sends `message` and reads the four bytes of the reply; 0 when the reply
    // does not come by `deadline` or the recorder hangs up first.
    qint32 exchange(const QByteArray &message, const QDeadlineTimer &deadline)
    {
        qsizetype sent = 0;
        while (sent < message.size()) {
            const ssize_t n = ::send(m_fd.get(), message.constData() + sent, static_cast<size_t>(message.size() - sent),
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
            const ssize_t n = ::recv(m_fd.get(), reply + got, sizeof reply - got, 0);
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
            pollfd p{m_fd.get(), events, 0};
            const qint64 left = deadline.remainingTime();
            const int r = ::poll(&p, 1, static_cast<int>(qMin<qint64>(left, 60000)));
            if (r < 0 && errno == EINTR)
                continue;
            return r > 0;
        }
    }

    UniqueFd m_fd;
};

} // namespace

bool UnixRecorderSocket::present(const QString &path, QString *refusal)
{
    return Connection(path, refusal).isOpen();
}

std::optional<qint32> UnixRecorderSocket::exchange(const QString &path, const QByteArray &message, int replyLimitMs,
                                                   QString *refusal)
{
    Connection connection(path, refusal);
    if (!connection.isOpen())
        return std::nullopt;
    return connection.exchange(message, QDeadlineTimer(qMax(0, replyLimitMs)));
}

} // namespace auravox
