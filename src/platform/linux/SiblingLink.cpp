#include "platform/linux/SiblingLink.h"

#include <QMetaObject>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <linux/futex.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace auravox {

namespace {

constexpr std::size_t kEventSize = sizeof(std::uint32_t);

sem_t *sem(void *p)
{
    return static_cast<sem_t *>(p);
}

QString objectError(const QString &name, int error)
{
    return name + QStringLiteral(": ") + qt_error_string(error);
}

// Creates or opens a shared memory object of at least `size` bytes and maps it.
void *mapShared(const QString &name, std::size_t size, int *error)
{
    const int fd = ::shm_open(name.toLocal8Bit().constData(), O_RDWR | O_CREAT, 0600);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    struct stat st{};
    void *p = MAP_FAILED;
    // The creator sizes it; a program that opens it while it is still empty
    // sizes it too (to the same size).
    if (::fstat(fd, &st) == 0 && (st.st_size >= static_cast<off_t>(size) || ::ftruncate(fd, static_cast<off_t>(size)) == 0))
        p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    *error = errno;
    ::close(fd);
    return p == MAP_FAILED ? nullptr : p;
}

long futex(std::uint32_t *word, int op, std::uint32_t value, const timespec *timeout)
{
    // Shared futexes (no FUTEX_PRIVATE_FLAG): the word is in memory other
    // processes map too.
    return ::syscall(SYS_futex, word, op, value, timeout, nullptr, 0);
}

timespec toTimespec(std::chrono::nanoseconds d)
{
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(d);
    return {static_cast<time_t>(s.count()), static_cast<long>((d - s).count())};
}

} // namespace

// ---------------------------------------------------------------------------
// SiblingChannel

SiblingChannel::SiblingChannel(Sibling::Names names) : m_names(std::move(names)) {}

SiblingChannel::~SiblingChannel()
{
    close();
}

QString SiblingChannel::open()
{
    if (isOpen())
        return {};
    int error = 0;
    void *buffer = mapShared(m_names.memory, Sibling::kBufferSize, &error);
    if (!buffer)
        return objectError(m_names.memory, error);

    sem_t *mutex = ::sem_open(m_names.mutex.toLocal8Bit().constData(), O_CREAT, 0600, 1);
    if (mutex == SEM_FAILED) {
        error = errno;
        ::munmap(buffer, Sibling::kBufferSize);
        return objectError(m_names.mutex, error);
    }

    void *event = mapShared(m_names.event, kEventSize, &error);
    if (!event) {
        ::sem_close(mutex);
        ::munmap(buffer, Sibling::kBufferSize);
        return objectError(m_names.event, error);
    }

    m_buffer = static_cast<unsigned char *>(buffer);
    m_mutex = mutex;
    m_counter = static_cast<std::uint32_t *>(event);
    return {};
}

void SiblingChannel::close()
{
    if (!isOpen())
        return;
    ::munmap(m_counter, kEventSize);
    ::sem_close(sem(m_mutex));
    ::munmap(m_buffer, Sibling::kBufferSize);
    m_counter = nullptr;
    m_mutex = nullptr;
    m_buffer = nullptr;
}

bool SiblingChannel::lockMutex()
{
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += Sibling::kMutexWaitMs / 1000;
    deadline.tv_nsec += (Sibling::kMutexWaitMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (::sem_clockwait(sem(m_mutex), CLOCK_MONOTONIC, &deadline) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

void SiblingChannel::unlockMutex()
{
    ::sem_post(sem(m_mutex));
}

std::optional<std::uint32_t> SiblingChannel::send(const QByteArray &message)
{
    if (!isOpen() || message.size() < Sibling::kHeaderSize || message.size() > Sibling::kBufferSize)
        return std::nullopt;
    // Past the time limit the message goes out anyway, as the other side may
    // have died holding the mutex.
    const bool locked = lockMutex();
    std::memcpy(m_buffer, message.constData(), static_cast<std::size_t>(message.size()));
    const std::uint32_t after = std::atomic_ref<std::uint32_t>(*m_counter).fetch_add(1) + 1;
    futex(m_counter, FUTEX_WAKE, INT_MAX, nullptr);
    if (locked)
        unlockMutex();
    return after;
}

std::optional<std::uint32_t> SiblingChannel::sendText(const QString &text)
{
    const std::optional<QByteArray> message = Sibling::encodeMessage(text);
    if (!message)
        return std::nullopt;
    return send(*message);
}

std::uint32_t SiblingChannel::pulseCount() const
{
    return m_counter ? std::atomic_ref<std::uint32_t>(*m_counter).load() : 0;
}

std::optional<std::uint32_t> SiblingChannel::waitPulse(std::uint32_t seen,
                                                       std::optional<std::chrono::milliseconds> timeout) const
{
    if (!m_counter)
        return std::nullopt;
    const std::atomic_ref<std::uint32_t> counter(*m_counter);
    const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        const std::uint32_t now = counter.load();
        if (now != seen)
            return now;
        timespec rel{};
        const timespec *relp = nullptr;
        if (timeout) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::nanoseconds::zero())
                return std::nullopt;
            rel = toTimespec(left);
            relp = &rel;
        }
        // Sleeps only while the word still holds `seen`; any wake, a changed
        // word (EAGAIN) or a signal sends us round to read it again.
        futex(m_counter, FUTEX_WAIT, seen, relp);
    }
}

QByteArray SiblingChannel::copyBuffer(std::uint32_t *counter)
{
    if (!isOpen())
        return {};
    const bool locked = lockMutex();
    QByteArray copy(reinterpret_cast<const char *>(m_buffer), Sibling::kBufferSize);
    // Writers pulse while they hold the mutex, so every pulse counted so far
    // has its message in (or replaced in) this copy.
    if (counter)
        *counter = std::atomic_ref<std::uint32_t>(*m_counter).load();
    if (locked)
        unlockMutex();
    return copy;
}

void SiblingChannel::removeObjects(const Sibling::Names &names)
{
    ::shm_unlink(names.memory.toLocal8Bit().constData());
    ::sem_unlink(names.mutex.toLocal8Bit().constData());
    ::shm_unlink(names.event.toLocal8Bit().constData());
}

// ---------------------------------------------------------------------------
// SiblingLink

SiblingLink::SiblingLink(Sibling::Names names, QObject *parent) : QObject(parent), m_channel(std::move(names)) {}

SiblingLink::~SiblingLink()
{
    disconnectLink();
}

void SiblingLink::setBusyProbe(std::function<bool()> busy)
{
    // The listener reads it: only change it while no listener runs.
    Q_ASSERT(!m_listener.joinable());
    m_busy = std::move(busy);
}

QString SiblingLink::connectLink()
{
    if (isConnected())
        return {};
    const QString error = m_channel.open();
    if (!error.isEmpty())
        return error;
    m_stop.store(false);
    m_listening.store(true);
    // Taken before the arrival goes out, so the listener receives it.
    const std::uint32_t seen = m_channel.pulseCount();
    m_listener = std::thread([this, seen] { listen(seen); });
    m_channel.sendText(Sibling::arrivalText());
    return {};
}

void SiblingLink::disconnectLink()
{
    if (!isConnected())
        return;
    m_stop.store(true);
    // Wakes the listener (unless it is deaf, then it has ended already).
    m_channel.sendText(Sibling::departureText());
    if (m_listener.joinable())
        m_listener.join();
    m_listening.store(false);
    m_channel.close();
}

bool SiblingLink::renew()
{
    disconnectLink();
    return connectLink().isEmpty();
}

bool SiblingLink::send(const QString &text)
{
    return m_channel.sendText(text).has_value();
}

std::optional<QString> SiblingLink::currentMessage()
{
    if (!isConnected())
        return std::nullopt;
    const Sibling::Received r = Sibling::readBuffer(m_channel.copyBuffer());
    if (r.status != Sibling::Received::Status::Text)
        return std::nullopt;
    return r.text;
}

void SiblingLink::post(std::function<void()> call)
{
    // Queued on this object: runs on its thread, in posting order, and is
    // dropped if the object goes away first.
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void SiblingLink::listen(std::uint32_t seen)
{
    using Sibling::Received;
    for (;;) {
        if (!m_channel.waitPulse(seen))
            break;
        std::uint32_t copied = seen;
        const Received received = Sibling::readBuffer(m_channel.copyBuffer(&copied));
        seen = copied;

        if (received.status != Received::Status::Text) {
            const qint64 length = received.length;
            post([this, length] { emit messageIgnored(length); });
        } else {
            const QString text = received.text;
            post([this, text] { emit messageArrived(text); });

            const Sibling::Request request = Sibling::requestIn(text);
            bool busy = false;
            if (request.hello) {
                if (m_helloDelay.count() > 0)
                    std::this_thread::sleep_for(m_helloDelay);
                busy = m_busy && m_busy();
            }
            const Sibling::Reaction reaction = Sibling::react(request, busy);
            if (reaction.reply != Sibling::Reply::None) {
                const std::optional<std::uint32_t> after = m_channel.sendText(Sibling::replyText(reaction.reply));
                if (!after)
                    post([this] { emit sendFailed(); });
                else if (*after - 1 == seen)
                    seen = *after; // our own reply, sent while not listening: not received
            }
            if (reaction.goDeaf) {
                m_listening.store(false);
                post([this] { emit wentDeaf(); });
                return;
            }
            if (reaction.startAnnouncement)
                post([this] { emit playRequested(); });
        }
        if (m_stop.load())
            break;
    }
    m_listening.store(false);
}

// ---------------------------------------------------------------------------
// SiblingResponder

SiblingResponder::SiblingResponder(SiblingCallbacks callbacks, Sibling::Names names, QObject *parent)
    : QObject(parent), m_callbacks(std::move(callbacks)), m_link(std::move(names))
{
    m_link.setBusyProbe(m_callbacks.busy);
    connect(&m_link, &SiblingLink::messageArrived, this, &SiblingResponder::echo);
    connect(&m_link, &SiblingLink::playRequested, this, [this] {
        if (m_callbacks.startAnnouncement)
            m_callbacks.startAnnouncement();
    });
    connect(&m_link, &SiblingLink::sendFailed, this, [this] { showStatus(Sibling::kSendFailedStatus); });
}

SiblingResponder::~SiblingResponder() = default;

QString SiblingResponder::connectLink()
{
    const QString error = m_link.connectLink();
    if (error.isEmpty() && (!m_callbacks.statusText || Sibling::showsConnected(m_callbacks.statusText())))
        showStatus(Sibling::kConnectedStatus);
    return error;
}

void SiblingResponder::disconnectLink()
{
    m_link.disconnectLink();
}

void SiblingResponder::renew()
{
    m_link.disconnectLink();
    connectLink();
}

void SiblingResponder::sendDone()
{
    send(Sibling::kDone);
}

bool SiblingResponder::send(const QString &text)
{
    if (m_link.send(text))
        return true;
    showStatus(Sibling::kSendFailedStatus);
    return false;
}

void SiblingResponder::echo(const QString &text)
{
    const QString status = m_callbacks.statusText ? m_callbacks.statusText() : QString();
    if (const std::optional<QString> shown = Sibling::statusAfterEcho(status, text))
        showStatus(*shown);
}

void SiblingResponder::showStatus(const QString &text)
{
    if (m_callbacks.showStatus)
        m_callbacks.showStatus(text);
}

} // namespace auravox
