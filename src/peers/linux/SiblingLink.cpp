#include "peers/linux/SiblingLink.h"

#include "common/Log.h"
#include "peers/linux/BusErrorGuard.h"

#include <QMetaObject>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace auravox {

namespace {

constexpr std::size_t kEventSize = sizeof(std::uint32_t);

// The mutex object: a state word, then the mutex. The creator initialises the
// mutex and then sets the state to ready (and wakes the waiters on it); a
// program that opened the object meanwhile waits for that.
struct SharedMutex
{
    std::uint32_t state; // kFresh, kInitialising, kReady
    std::uint32_t reserved;
    pthread_mutex_t mutex;
};
constexpr std::uint32_t kFresh = 0;
constexpr std::uint32_t kInitialising = 1;
constexpr std::uint32_t kReady = 0x5A4F5242; // "ZORB"
constexpr std::size_t kMutexObjectSize = 64;
static_assert(sizeof(SharedMutex) <= kMutexObjectSize);
// How long an opener waits for another program to initialise the mutex. An
// object still not ready after it was left half made (its creator died, or it
// was shrunk and extended again): the opener initialises it itself.
constexpr int kMutexInitWaitMs = 1000;
// The listener looks at its stop request this often while no pulse comes, in
// case even a wake could not reach it (the event object shrunk again while it
// was being woken).
constexpr auto kListenerCheck = std::chrono::seconds(30);

SharedMutex *sharedMutex(void *p)
{
    return static_cast<SharedMutex *>(p);
}

QString objectError(const QString &name, int error)
{
    return name + QStringLiteral(": ") + qt_error_string(error);
}

QString refusal(const QString &name, const QString &why)
{
    return QStringLiteral("Err: %1 %2: sibling link refused").arg(name, why);
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

// One shared object, open and mapped.
struct Mapped
{
    UniqueFd fd;
    void *address = nullptr;
    std::size_t size = 0;
    bool created = false;
};

void release(Mapped &m)
{
    if (m.address) {
        BusErrorGuard::unguard(m.address);
        ::munmap(m.address, m.size);
    }
    m = Mapped{}; // closes the descriptor
}

// Creates the object exclusively (mode 0600, `created` set), or opens the one
// that exists when it is ours and closed to others, makes it at least `size`
// bytes long and maps it. Empty on success; the reason otherwise, and
// *refused when the object is not ours to use.
QString openObject(const QString &name, std::size_t size, std::atomic<bool> *broken, Mapped *out, bool *refused)
{
    const QByteArray path = name.toLocal8Bit();
    Mapped m;
    m.size = size;
    // Retried when the object disappears between the two calls.
    for (int attempt = 0; attempt < 3 && !m.fd; ++attempt) {
        m.fd.reset(::shm_open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (m.fd.isValid()) {
            m.created = true;
            break;
        }
        if (errno != EEXIST)
            return objectError(name, errno);
        m.fd.reset(::shm_open(path.constData(), O_RDWR | O_CLOEXEC, 0));
        if (!m.fd && errno == EACCES) {
            *refused = true;
            return refusal(name, QStringLiteral("is not ours to use (permission denied)"));
        }
        if (!m.fd && errno != ENOENT)
            return objectError(name, errno);
    }
    if (!m.fd)
        return objectError(name, ENOENT);

    struct stat st{};
    if (::fstat(m.fd.get(), &st) != 0) {
        const int error = errno;
        release(m);
        return objectError(name, error);
    }
    if (m.created) {
        // The umask may have taken more than the others' bits away.
        ::fchmod(m.fd.get(), 0600);
    } else if (st.st_uid != ::geteuid()) {
        release(m);
        *refused = true;
        return refusal(name, QStringLiteral("belongs to another user (uid %1)").arg(st.st_uid));
    } else if ((st.st_mode & 077) != 0 || !S_ISREG(st.st_mode)) {
        release(m);
        *refused = true;
        return refusal(name, QStringLiteral("is open to other users (mode %1)")
                                 .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')));
    }
    // A new object, one whose creator has not sized it yet (sizing it twice
    // to the same size changes nothing), or one shrunk by a program on the link.
    if (st.st_size < static_cast<off_t>(size) && ::ftruncate(m.fd.get(), static_cast<off_t>(size)) != 0) {
        const int error = errno;
        release(m);
        return objectError(name, error);
    }
    void *p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, m.fd.get(), 0);
    if (p == MAP_FAILED) {
        const int error = errno;
        release(m);
        return objectError(name, error);
    }
    m.address = p;
    BusErrorGuard::guard(p, size, broken);
    *out = std::move(m);
    return {};
}

bool initialiseMutex(pthread_mutex_t *mutex)
{
    pthread_mutexattr_t attributes;
    if (::pthread_mutexattr_init(&attributes) != 0)
        return false;
    ::pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    ::pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    const bool ok = ::pthread_mutex_init(mutex, &attributes) == 0;
    ::pthread_mutexattr_destroy(&attributes);
    return ok;
}

// The creator initialises the mutex; anyone else waits until it is ready, and
// takes over an object that stays half made.
bool prepareMutex(SharedMutex *m, bool created)
{
    const std::atomic_ref<std::uint32_t> state(m->state);
    auto initialise = [&](std::uint32_t from) {
        std::uint32_t expected = from;
        if (!state.compare_exchange_strong(expected, kInitialising))
            return expected == kReady;
        const bool ok = initialiseMutex(&m->mutex);
        state.store(ok ? kReady : kFresh);
        futex(&m->state, FUTEX_WAKE, INT_MAX, nullptr);
        return ok;
    };
    if (created && initialise(kFresh))
        return true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMutexInitWaitMs);
    for (;;) {
        const std::uint32_t now = state.load();
        if (now == kReady)
            return true;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero()) {
            qCWarning(lcLink) << "sibling link: the writers' mutex was never initialised; initialising it";
            return initialise(now);
        }
        const timespec rel = toTimespec(left);
        futex(&m->state, FUTEX_WAIT, now, &rel);
    }
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
    m_refused = false;
    m_broken.store(false);
    Mapped memory;
    Mapped mutex;
    Mapped event;
    QString error = openObject(m_names.memory, Sibling::kBufferSize, &m_broken, &memory, &m_refused);
    if (error.isEmpty())
        error = openObject(m_names.mutex, kMutexObjectSize, &m_broken, &mutex, &m_refused);
    if (error.isEmpty() && !prepareMutex(sharedMutex(mutex.address), mutex.created))
        error = objectError(m_names.mutex, EINVAL);
    if (error.isEmpty())
        error = openObject(m_names.event, kEventSize, &m_broken, &event, &m_refused);
    if (!error.isEmpty()) {
        release(event);
        release(mutex);
        release(memory);
        m_broken.store(false);
        return error;
    }

    m_buffer = static_cast<unsigned char *>(memory.address);
    m_memoryFd = std::move(memory.fd);
    m_mutex = mutex.address;
    m_mutexFd = std::move(mutex.fd);
    m_counter = static_cast<std::uint32_t *>(event.address);
    m_eventFd = std::move(event.fd);
    return {};
}

void SiblingChannel::close()
{
    if (!isOpen())
        return;
    Mapped event{std::move(m_eventFd), m_counter, kEventSize, false};
    Mapped mutex{std::move(m_mutexFd), m_mutex, kMutexObjectSize, false};
    Mapped memory{std::move(m_memoryFd), m_buffer, static_cast<std::size_t>(Sibling::kBufferSize), false};
    release(event);
    release(mutex);
    release(memory);
    m_counter = nullptr;
    m_mutex = nullptr;
    m_buffer = nullptr;
    m_broken.store(false);
}

bool SiblingChannel::objectWhole(int fd, std::size_t size) const
{
    struct stat st{};
    return ::fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(size);
}

bool SiblingChannel::intact() const
{
    if (!isOpen() || m_broken.load())
        return false;
    if (objectWhole(m_memoryFd.get(), Sibling::kBufferSize) && objectWhole(m_mutexFd.get(), kMutexObjectSize)
        && objectWhole(m_eventFd.get(), kEventSize))
        return true;
    if (!m_broken.exchange(true))
        qCWarning(lcLink) << "sibling link: a shared object has been shrunk by another program";
    return false;
}

bool SiblingChannel::lockMutex()
{
    if (!intact())
        return false;
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += Sibling::kMutexWaitMs / 1000;
    deadline.tv_nsec += (Sibling::kMutexWaitMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    pthread_mutex_t *mutex = &sharedMutex(m_mutex)->mutex;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int r = ::pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &deadline);
        switch (r) {
        case 0:
            ++m_taken;
            return true;
        case EOWNERDEAD:
            // Its holder died: the buffer holds whatever it wrote, which is
            // a whole message or one the listeners will read as such.
            ::pthread_mutex_consistent(mutex);
            ++m_recovered;
            qCInfo(lcLink) << "sibling link: took over the writers' mutex from a program that died holding it";
            return true;
        case ETIMEDOUT:
            ++m_timedOut;
            qCWarning(lcLink) << "sibling link: the writers' mutex was not free within" << Sibling::kMutexWaitMs
                              << "ms; writing anyway";
            return false;
        case ENOTRECOVERABLE:
            // Given back without being made consistent: nobody can hold it
            // any more, so it is set up afresh.
            qCWarning(lcLink) << "sibling link: the writers' mutex was unusable; initialising it again";
            if (!initialiseMutex(mutex))
                break;
            continue;
        default:
            break;
        }
        ++m_failed;
        qCWarning(lcLink) << "sibling link: the writers' mutex failed:" << qt_error_string(r);
        return false;
    }
    ++m_failed;
    return false;
}

void SiblingChannel::unlockMutex()
{
    if (m_mutex)
        ::pthread_mutex_unlock(&sharedMutex(m_mutex)->mutex);
}

SiblingChannel::LockCounts SiblingChannel::lockCounts() const
{
    return {m_taken.load(), m_recovered.load(), m_timedOut.load(), m_failed.load()};
}

std::optional<std::uint32_t> SiblingChannel::send(const QByteArray &message)
{
    if (!isOpen() || message.size() < Sibling::kHeaderSize || message.size() > Sibling::kBufferSize)
        return std::nullopt;
    // Past the time limit the message goes out anyway.
    const bool locked = lockMutex();
    if (!intact()) {
        if (locked)
            unlockMutex();
        return std::nullopt;
    }
    std::memcpy(m_buffer, message.constData(), static_cast<std::size_t>(message.size()));
    const std::uint32_t after = std::atomic_ref<std::uint32_t>(*m_counter).fetch_add(1) + 1;
    futex(m_counter, FUTEX_WAKE, INT_MAX, nullptr);
    if (locked)
        unlockMutex();
    if (m_broken.load())
        return std::nullopt; // shrunk while it was written: the message is lost
    return after;
}

std::optional<std::uint32_t> SiblingChannel::sendText(const QString &text)
{
    const std::optional<QByteArray> message = Sibling::encodeMessage(text);
    if (!message)
        return std::nullopt;
    return send(*message);
}

bool SiblingChannel::wakeWaiters()
{
    if (!isOpen())
        return false;
    // The event object may have been shrunk, and our mapping of it replaced
    // by BusErrorGuard. It is ours: give it its size back and wake through a
    // fresh mapping (a futex of a shared object is known by the object and the
    // offset, so the sleepers on the old mapping wake too).
    if (!objectWhole(m_eventFd.get(), kEventSize) && ::ftruncate(m_eventFd.get(), static_cast<off_t>(kEventSize)) != 0)
        return false;
    void *p = ::mmap(nullptr, kEventSize, PROT_READ | PROT_WRITE, MAP_SHARED, m_eventFd.get(), 0);
    if (p == MAP_FAILED)
        return false;
    const long woken = futex(static_cast<std::uint32_t *>(p), FUTEX_WAKE, INT_MAX, nullptr);
    ::munmap(p, kEventSize);
    return woken >= 0;
}

std::uint32_t SiblingChannel::pulseCount() const
{
    return m_counter ? std::atomic_ref<std::uint32_t>(*m_counter).load() : 0;
}

std::optional<std::uint32_t> SiblingChannel::waitPulse(std::uint32_t seen,
                                                       std::optional<std::chrono::milliseconds> timeout,
                                                       const std::atomic<bool> *interrupt) const
{
    if (!m_counter)
        return std::nullopt;
    const std::atomic_ref<std::uint32_t> counter(*m_counter);
    const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    for (;;) {
        if (m_broken.load())
            return std::nullopt;
        const std::uint32_t now = counter.load();
        if (now != seen)
            return now;
        if (interrupt && interrupt->load())
            return std::nullopt;
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
        // word (EAGAIN) or a signal sends us round to read it again. EFAULT:
        // the event object has been shrunk.
        if (futex(m_counter, FUTEX_WAIT, seen, relp) != 0 && errno == EFAULT) {
            intact();
            return std::nullopt;
        }
    }
}

QByteArray SiblingChannel::copyBuffer(std::uint32_t *counter)
{
    if (!isOpen())
        return {};
    const bool locked = lockMutex();
    QByteArray copy;
    if (intact()) {
        copy = QByteArray(reinterpret_cast<const char *>(m_buffer), Sibling::kBufferSize);
        // Writers pulse while they hold the mutex, so every pulse counted so far
        // has its message in (or replaced in) this copy.
        if (counter)
            *counter = std::atomic_ref<std::uint32_t>(*m_counter).load();
    }
    if (locked)
        unlockMutex();
    if (m_broken.load())
        return {};
    return copy;
}

void SiblingChannel::removeObjects(const Sibling::Names &names)
{
    ::shm_unlink(names.memory.toLocal8Bit().constData());
    ::shm_unlink(names.mutex.toLocal8Bit().constData());
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
    m_lastError = error;
    if (!error.isEmpty()) {
        qCWarning(lcLink).noquote() << "sibling link not connected:" << error;
        return error;
    }
    m_stop.store(false);
    m_stopUnheard.store(false);
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
    // Wakes the listener (unless it is deaf, then it has ended already). On a
    // broken channel the departure can't be written: a wake without a pulse
    // sends it round to see the request.
    if (!m_channel.sendText(Sibling::departureText())) {
        m_stopUnheard.store(true);
        if (!m_channel.wakeWaiters())
            qCWarning(lcLink) << "sibling link: the listener can't be woken; it ends at its next look";
    }
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

void SiblingLink::repair()
{
    if (!isConnected() || !m_channel.broken())
        return;
    qCWarning(lcLink) << "sibling link broken by another program; connecting again";
    const bool renewed = renew();
    emit linkRepaired(renewed);
}

bool SiblingLink::send(const QString &text)
{
    if (m_channel.sendText(text))
        return true;
    if (!m_channel.broken())
        return false;
    repair();
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
        const std::optional<std::uint32_t> pulsed = m_channel.waitPulse(seen, kListenerCheck, &m_stopUnheard);
        if (m_channel.broken())
            break;
        if (!pulsed) {
            if (m_stopUnheard.load())
                break;
            continue;
        }
        std::uint32_t copied = seen;
        const Received received = Sibling::readBuffer(m_channel.copyBuffer(&copied));
        if (m_channel.broken())
            break;
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
                if (!after && m_channel.broken())
                    break;
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
    // The main thread connects again (it owns connect and disconnect).
    if (m_channel.broken() && !m_stop.load())
        post([this] { repair(); });
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
    connect(&m_link, &SiblingLink::linkRepaired, this, [this](bool renewed) {
        if (!renewed && m_link.refused())
            showStatus(m_link.lastError());
    });
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
    // Failures are silent, except objects that are not ours: that is said.
    if (const QString error = connectLink(); !error.isEmpty() && m_link.refused())
        showStatus(error);
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
