// The sibling link between two processes: this test program plays Auravox
// (a SiblingResponder with a fake main window) and tools/sibling_peer plays
// the other program, on a private set of shared objects.

#include "peers/SiblingProtocol.h"
#include "peers/linux/BusErrorGuard.h"
#include "peers/linux/SiblingLink.h"

#include "support/LogCapture.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/SiblingPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace auravox;
using namespace std::chrono_literals;

namespace {

using auravox::test::AsOtherUser;
using auravox::test::kHangGuardMs;
using auravox::test::LogCapture;
using auravox::test::OtherUser;
using auravox::test::otherUser;
using auravox::test::Peer;
using auravox::test::peerPath;

// The three object names of a set, with the size each must have.
QList<std::pair<QString, off_t>> objectsOf(const Sibling::Names &names)
{
    return {{names.memory, Sibling::kBufferSize}, {names.mutex, 64}, {names.event, 4}};
}

// Makes an object as the calling process's user, `size` bytes, with `mode`.
bool makeObject(const QByteArray &name, off_t size, mode_t mode)
{
    const int fd = ::shm_open(name.constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, mode) == 0 && ::ftruncate(fd, size) == 0;
    ::close(fd);
    return ok;
}

struct stat statObject(const QString &name)
{
    struct stat st{};
    const int fd = ::shm_open(name.toLocal8Bit().constData(), O_RDONLY, 0);
    if (fd >= 0) {
        ::fstat(fd, &st);
        ::close(fd);
    }
    return st;
}

// "locks: taken T recovered R timed-out W failed F" from sibling_peer --stats.
SiblingChannel::LockCounts peerLockCounts(const QString &errors)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("locks: taken (\\d+) recovered (\\d+) timed-out (\\d+) failed (\\d+)"))
            .match(errors);
    EXPECT_TRUE(m.hasMatch()) << errors.toStdString();
    return {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt()};
}

// The main window as the responder sees it.
struct FakeMainWindow
{
    std::atomic<bool> busy{false};
    int starts = 0;
    std::function<void()> onStart;
    QString status;
    QStringList shown;

    SiblingCallbacks callbacks()
    {
        return {[this] { return busy.load(); },
                [this] {
                    ++starts;
                    if (onStart)
                        onStart();
                },
                [this] { return status; },
                [this](const QString &text) {
                    status = text;
                    shown << text;
                }};
    }
};

class SiblingLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int serial = 0;
        m_suffix = QStringLiteral("_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        ASSERT_TRUE(QFileInfo(peerPath()).isExecutable()) << "sibling_peer not built at " << peerPath().toStdString();
    }
    void TearDown() override
    {
        m_responder.reset();
        SiblingChannel::removeObjects(Sibling::Names::withSuffix(m_suffix));
    }

    SiblingResponder &connectResponder(std::chrono::milliseconds helloDelay = 100ms)
    {
        m_responder = std::make_unique<SiblingResponder>(window.callbacks(), Sibling::Names::withSuffix(m_suffix));
        m_responder->link().setHelloReplyDelay(helloDelay);
        EXPECT_EQ(m_responder->connectLink(), QString());
        // The link's own arrival comes back to its own listener.
        EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX connect\u00E9")));
        window.shown.clear();
        return *m_responder;
    }

    bool waitShown(const QString &text)
    {
        return QTest::qWaitFor([&] { return window.shown.contains(text); }, kHangGuardMs);
    }

    // Sends `text` from the peer and returns the next `replies` messages it received.
    QStringList peerSends(const QStringList &args, int replies = 0)
    {
        Peer peer(m_suffix);
        peer.start(QStringList{QStringLiteral("send")} + args
                   + QStringList{QStringLiteral("--replies"), QString::number(replies)});
        const QStringList lines = peer.finish();
        EXPECT_EQ(peer.exitCode(), 0) << peer.errors().toStdString();
        return lines;
    }

    FakeMainWindow window;
    QString m_suffix;
    std::unique_ptr<SiblingResponder> m_responder;
};

TEST_F(SiblingLinkTest, HelloIsAnsweredReadyWhenIdleAndOccupiedDuringAnAnnouncement)
{
    SiblingResponder &r = connectResponder();
    EXPECT_EQ(peerSends({Sibling::kHello}, 1), QStringList{Sibling::kReady});
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX_HELLO")));
    EXPECT_TRUE(r.link().isListening());

    window.busy = true;
    QSignalSpy deaf(&r.link(), &SiblingLink::wentDeaf);
    EXPECT_EQ(peerSends({Sibling::kHello}, 1), QStringList{Sibling::kOccupied});
    ASSERT_TRUE(QTest::qWaitFor([&] { return deaf.size() == 1; }, kHangGuardMs));
    EXPECT_TRUE(r.link().isDeaf());

    // Deaf: still able to send.
    Peer listener(m_suffix);
    listener.start({QStringLiteral("listen"), QStringLiteral("--count"), QStringLiteral("1")});
    ASSERT_TRUE(listener.waitListening());
    r.sendDone();
    EXPECT_EQ(listener.finish(), QStringList{Sibling::kDone});

    // But a request now is not received, not even by the listener of the
    // renewal (it starts listening after it).
    window.busy = false;
    peerSends({Sibling::kPlay});
    r.renew();
    EXPECT_TRUE(r.link().isListening());
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX connect\u00E9")));
    EXPECT_EQ(window.starts, 0);
    EXPECT_EQ(peerSends({Sibling::kHello}, 1), QStringList{Sibling::kReady});
}

TEST_F(SiblingLinkTest, PlayStartsAnAnnouncementThatEndsWithDone)
{
    SiblingResponder &r = connectResponder();
    window.onStart = [this] { window.busy = true; };
    Peer peer(m_suffix);
    peer.start({QStringLiteral("send"), Sibling::kPlay, QStringLiteral("--replies"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.starts == 1; }, kHangGuardMs));
    EXPECT_EQ(window.status, QStringLiteral("AURAVOX_PLAY"));

    // The end step of that announcement.
    window.busy = false;
    r.sendDone();
    EXPECT_EQ(peer.finish(), QStringList{Sibling::kDone});
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX_DONE")));
    EXPECT_EQ(window.starts, 1);
}

TEST_F(SiblingLinkTest, PlayWhileBusyIsStillHandedToTheMainWindowAndKeepsListening)
{
    // The main window refuses the start but keeps SiblingRequest, so the
    // running announcement ends with ZORBEL_DONE.
    SiblingResponder &r = connectResponder();
    window.busy = true;
    Peer peer(m_suffix);
    peer.start({QStringLiteral("send"), Sibling::kPlay, QStringLiteral("--replies"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.starts == 1; }, kHangGuardMs));
    window.busy = false;
    r.sendDone();
    EXPECT_EQ(peer.finish(), QStringList{Sibling::kDone});
    EXPECT_FALSE(r.link().isDeaf());
    EXPECT_EQ(peerSends({Sibling::kHello}, 1), QStringList{Sibling::kReady});
}

TEST_F(SiblingLinkTest, HelloAndPlayInOneMessage)
{
    SiblingResponder &r = connectResponder();
    // Idle: answered first, then started.
    std::optional<QString> bufferAtStart;
    window.onStart = [&] { bufferAtStart = r.link().currentMessage(); };
    EXPECT_EQ(peerSends({QStringLiteral("ZORBEL_HELLO+ZORBEL_PLAY")}, 1), QStringList{Sibling::kReady});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.starts == 1; }, kHangGuardMs));
    EXPECT_EQ(bufferAtStart, Sibling::kReady);

    // Busy: occupied, deaf, and the play request in it is dropped.
    window.busy = true;
    QSignalSpy deaf(&r.link(), &SiblingLink::wentDeaf);
    EXPECT_EQ(peerSends({QStringLiteral("ZORBEL_PLAY ZORBEL_HELLO")}, 1), QStringList{Sibling::kOccupied});
    ASSERT_TRUE(QTest::qWaitFor([&] { return deaf.size() == 1; }, kHangGuardMs));
    // Anything the old listener handed over comes before the renewal's arrival.
    r.renew();
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX connect\u00E9")));
    EXPECT_EQ(window.starts, 1);
}

TEST_F(SiblingLinkTest, EchoInTheStatusField)
{
    connectResponder();
    peerSends({QStringLiteral("hello ZORBEL")});
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOXZORBEL")));
    peerSends({QStringLiteral("73 de F4XYZ \u00E9t\u00E9")});
    EXPECT_TRUE(waitShown(QStringLiteral("73 de F4XYZ \u00E9t\u00E9")));

    // An error stays visible; the message is still acted on.
    window.status = QStringLiteral("Err: Res Wave");
    window.shown.clear();
    peerSends({Sibling::kPlay});
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.starts == 1; }, kHangGuardMs));
    EXPECT_EQ(window.status, QStringLiteral("Err: Res Wave"));
    EXPECT_TRUE(window.shown.isEmpty()) << window.shown.join(QLatin1Char('|')).toStdString();
}

TEST_F(SiblingLinkTest, ArrivalAndDepartureOnTheLink)
{
    SiblingResponder &r = connectResponder();
    const Sibling::Names names = Sibling::Names::withSuffix(m_suffix);

    Peer departure(m_suffix);
    departure.start({QStringLiteral("listen"), QStringLiteral("--count"), QStringLiteral("1")});
    ASSERT_TRUE(departure.waitListening());
    r.disconnectLink();
    EXPECT_EQ(departure.finish(), QStringList{QStringLiteral("ZORBEL d\u00E9connect\u00E9")});
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX d\u00E9connect\u00E9")));
    // The buffer as the other program reads it: N little-endian, Windows-1252.
    SiblingChannel channel(names);
    ASSERT_EQ(channel.open(), QString());
    EXPECT_EQ(channel.copyBuffer().left(21), QByteArray("\x11\0\0\0ZORBEL d\xE9" "connect\xE9", 21));

    Peer arrival(m_suffix);
    arrival.start({QStringLiteral("listen"), QStringLiteral("--count"), QStringLiteral("1")});
    ASSERT_TRUE(arrival.waitListening());
    window.shown.clear();
    EXPECT_EQ(r.connectLink(), QString());
    EXPECT_EQ(arrival.finish(), QStringList{QStringLiteral("ZORBEL connect\u00E9")});
    EXPECT_TRUE(waitShown(QStringLiteral("AURAVOX connect\u00E9")));
    EXPECT_EQ(window.shown.first(), Sibling::kConnectedStatus);
}

TEST_F(SiblingLinkTest, LengthOutsideTheBufferIsIgnored)
{
    SiblingResponder &r = connectResponder();
    QSignalSpy ignored(&r.link(), &SiblingLink::messageIgnored);
    for (const qint64 n : {qint64(65533), qint64(-1), qint64(INT_MAX), qint64(INT_MIN)}) {
        SCOPED_TRACE(n);
        const qsizetype before = ignored.size();
        peerSends({QStringLiteral("--length"), QString::number(n), Sibling::kPlay});
        ASSERT_TRUE(QTest::qWaitFor([&] { return ignored.size() > before; }, kHangGuardMs));
        EXPECT_EQ(ignored.last().at(0).toLongLong(), n);
    }
    EXPECT_EQ(window.starts, 0);
    EXPECT_TRUE(window.shown.isEmpty()) << window.shown.join(QLatin1Char('|')).toStdString();

    // The bounds themselves are messages.
    window.shown.clear();
    EXPECT_EQ(peerSends({QStringLiteral("--length"), QString::number(Sibling::kMaxTextLength), Sibling::kHello}, 1),
              QStringList{Sibling::kReady});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.shown.isEmpty(); }, kHangGuardMs));
    EXPECT_EQ(window.shown.first().size(), Sibling::kMaxTextLength + 1);
    EXPECT_TRUE(window.shown.first().startsWith(QStringLiteral("AURAVOX_HELLO    ")));
    window.shown.clear();
    peerSends({QStringLiteral("--length"), QStringLiteral("0"), Sibling::kPlay});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.shown.isEmpty(); }, kHangGuardMs));
    EXPECT_EQ(window.shown, QStringList{QString()});
    EXPECT_EQ(window.starts, 0);
}

TEST_F(SiblingLinkTest, TenThousandHellosFromThePeerAreEachAnsweredOnce)
{
    SiblingResponder &r = connectResponder(0ms);
    int hellos = 0;
    QObject::connect(&r.link(), &SiblingLink::messageArrived, [&](const QString &t) { hellos += t == Sibling::kHello; });

    QElapsedTimer clock;
    clock.start();
    Peer peer(m_suffix);
    peer.start({QStringLiteral("flood"), QStringLiteral("10000")});
    const QStringList lines = peer.finish(600000);
    EXPECT_EQ(peer.exitCode(), 0) << peer.errors().toStdString();
    EXPECT_EQ(lines, QStringList{QStringLiteral("sent 10000 replies 10000 ready 10000 occupied 0 lost 0")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return hellos >= 10000; }, kHangGuardMs));
    QCoreApplication::processEvents();
    EXPECT_EQ(hellos, 10000);
    EXPECT_TRUE(r.link().isListening());
    RecordProperty("round_trips_ms", static_cast<int>(clock.elapsed()));
    std::printf("10000 hello/ready round trips in %lld ms\n", static_cast<long long>(clock.elapsed()));
}

TEST_F(SiblingLinkTest, WithoutTheObjectsSendsFailWithTheMappingError)
{
    // A name longer than the system takes: the objects can't be made.
    SiblingResponder r(window.callbacks(), Sibling::Names::withSuffix(QString(300, QLatin1Char('x'))));
    const QString error = r.connectLink();
    EXPECT_TRUE(error.startsWith(QStringLiteral("/VEZEZUVSHAREDMEMORY"))) << error.toStdString();
    EXPECT_TRUE(window.shown.isEmpty());
    r.renew(); // silent
    EXPECT_TRUE(window.shown.isEmpty());
    r.sendDone();
    EXPECT_EQ(window.shown, QStringList{Sibling::kSendFailedStatus});

    // While the error shows, a connect leaves it there and nothing is echoed.
    SiblingResponder held(window.callbacks(), Sibling::Names::withSuffix(m_suffix + QStringLiteral("_held")));
    EXPECT_EQ(held.connectLink(), QString());
    QSignalSpy arrived(&held.link(), &SiblingLink::messageArrived);
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.size() == 1; }, kHangGuardMs));
    EXPECT_EQ(window.shown, QStringList{Sibling::kSendFailedStatus});
    held.disconnectLink();
    SiblingChannel::removeObjects(held.link().names());

    // A text that does not fit the buffer is not sent either.
    window.status.clear();
    SiblingResponder &linked = connectResponder();
    EXPECT_TRUE(linked.send(QString(Sibling::kMaxTextLength, QLatin1Char('a'))));
    EXPECT_FALSE(linked.send(QString(Sibling::kMaxTextLength + 1, QLatin1Char('a'))));
    EXPECT_EQ(window.status, Sibling::kSendFailedStatus);
}

} // namespace

namespace {

TEST_F(SiblingLinkTest, ItsObjectsAreMadeForItsUserAlone)
{
    connectResponder();
    for (const auto &[name, size] : objectsOf(Sibling::Names::withSuffix(m_suffix))) {
        SCOPED_TRACE(name.toStdString());
        const struct stat st = statObject(name);
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_GE(st.st_size, size);
    }
}

TEST_F(SiblingLinkTest, OwnObjectsThatOthersMayUseAreRefused)
{
    const Sibling::Names names = Sibling::Names::withSuffix(m_suffix);
    for (const auto &[name, size] : objectsOf(names)) {
        SCOPED_TRACE(name.toStdString());
        SiblingChannel::removeObjects(names);
        ASSERT_TRUE(makeObject(name.toLocal8Bit(), size, 0644));
        LogCapture log("auravox.link");
        window.shown.clear();
        SiblingResponder r(window.callbacks(), names);
        const QString expected = QStringLiteral("Err: %1 is open to other users (mode 0644): sibling link refused").arg(name);
        EXPECT_EQ(r.connectLink(), expected);
        EXPECT_FALSE(r.link().isConnected());
        EXPECT_TRUE(r.link().refused());
        EXPECT_TRUE(log.text().contains(expected)) << log.text().toStdString();
        // The renewal at the end of an announcement says so too.
        r.renew();
        EXPECT_EQ(window.shown, QStringList{expected});
        EXPECT_EQ(statObject(name).st_mode & 07777, 0644u) << "left as it was";
    }
}

TEST_F(SiblingLinkTest, ObjectsOfAnotherUserAreRefusedAndOursAreClosedToThem)
{
    QString why;
    const std::optional<OtherUser> other = otherUser(&why);
    if (!other)
        GTEST_SKIP() << why.toStdString();
    const Sibling::Names names = Sibling::Names::withSuffix(m_suffix);
    const QByteArray memory = names.memory.toLocal8Bit();
    const QByteArray mutex = names.mutex.toLocal8Bit();
    const QByteArray event = names.event.toLocal8Bit();

    // The other user made the buffer first and opened it to everyone.
    {
        AsOtherUser maker;
        ASSERT_TRUE(maker.start(*other, [&] { return makeObject(memory, Sibling::kBufferSize, 0666); }));
        LogCapture log("auravox.link");
        SiblingResponder r(window.callbacks(), names);
        const QString expected =
            QStringLiteral("Err: %1 belongs to another user (uid %2): sibling link refused").arg(names.memory).arg(other->uid);
        EXPECT_EQ(r.connectLink(), expected);
        EXPECT_FALSE(r.link().isConnected());
        EXPECT_TRUE(log.text().contains(expected)) << log.text().toStdString();
        window.shown.clear();
        r.renew();
        EXPECT_EQ(window.shown, QStringList{expected});
        r.sendDone();
        EXPECT_EQ(window.shown.last(), Sibling::kSendFailedStatus) << "nothing goes into their buffer";
        const struct stat st = statObject(names.memory);
        EXPECT_EQ(st.st_uid, other->uid);
    }
    SiblingChannel::removeObjects(names);

    // All three, closed to us: they can't even be opened.
    {
        AsOtherUser maker;
        ASSERT_TRUE(maker.start(*other, [&] {
            return makeObject(memory, Sibling::kBufferSize, 0600) && makeObject(mutex, 64, 0600)
                   && makeObject(event, 4, 0600);
        }));
        // (root could open them anyway; the program run by an ordinary user can't)
        SiblingResponder r(window.callbacks(), names);
        const QString error = r.connectLink();
        EXPECT_TRUE(error.startsWith(QStringLiteral("Err: %1 belongs to another user").arg(names.memory)))
            << error.toStdString();
        EXPECT_TRUE(r.link().refused());
    }
    SiblingChannel::removeObjects(names);

    // Ours, made first: the other user can't open any of them to send
    // ZORBEL_PLAY, answer or block the link.
    window.status.clear();
    connectResponder();
    AsOtherUser intruder;
    EXPECT_TRUE(intruder.start(*other, [&] {
        for (const QByteArray *name : {&memory, &mutex, &event}) {
            const int fd = ::shm_open(name->constData(), O_RDWR, 0);
            if (fd >= 0 || errno != EACCES)
                return false;
        }
        return true;
    })) << "another user opened one of our objects";
}

TEST_F(SiblingLinkTest, APeerThatDiesHoldingTheMutexCostsNoWait)
{
    SiblingResponder &r = connectResponder();
    Peer holder(m_suffix);
    holder.start({QStringLiteral("hold")});
    ASSERT_TRUE(holder.waitOutput(QStringLiteral("holding")));
    holder.killNow();

    const SiblingChannel::LockCounts before = r.link().channel().lockCounts();
    Peer asker(m_suffix);
    asker.start({QStringLiteral("send"), Sibling::kHello, QStringLiteral("--replies"), QStringLiteral("1"),
                 QStringLiteral("--stats")});
    EXPECT_EQ(asker.finish(), QStringList{Sibling::kReady});
    const SiblingChannel::LockCounts asked = peerLockCounts(asker.errors());
    const SiblingChannel::LockCounts after = r.link().channel().lockCounts();
    // The first locker after the crash took the mutex over; nobody waited.
    EXPECT_EQ(asked.recovered + after.recovered - before.recovered, 1);
    EXPECT_EQ(asked.timedOut, 0);
    EXPECT_EQ(after.timedOut, 0);
    EXPECT_EQ(asked.failed + after.failed, 0);
    EXPECT_GT(after.taken, before.taken) << "the listener copied and answered under the mutex";

    // From then on it is an ordinary mutex again.
    Peer again(m_suffix);
    again.start({QStringLiteral("send"), Sibling::kHello, QStringLiteral("--replies"), QStringLiteral("1"),
                 QStringLiteral("--stats")});
    EXPECT_EQ(again.finish(), QStringList{Sibling::kReady});
    EXPECT_EQ(peerLockCounts(again.errors()).recovered, 0);
    r.disconnectLink();
    EXPECT_EQ(r.link().channel().lockCounts().timedOut, 0);
}

TEST_F(SiblingLinkTest, AnObjectShrunkByAPeerBreaksTheLinkWhichConnectsAgain)
{
    for (const char *object : {"memory", "mutex", "event"}) {
        SCOPED_TRACE(object);
        SiblingChannel::removeObjects(Sibling::Names::withSuffix(m_suffix));
        SiblingResponder &r = connectResponder(0ms);
        Peer listener(m_suffix);
        listener.start({QStringLiteral("listen")});
        ASSERT_TRUE(listener.waitListening());
        Peer shrink(m_suffix);
        shrink.start({QStringLiteral("truncate"), QString::fromLatin1(object)});
        shrink.finish();
        ASSERT_EQ(shrink.exitCode(), 0) << shrink.errors().toStdString();

        // The end of an announcement the sibling asked for.
        QSignalSpy repaired(&r.link(), &SiblingLink::linkRepaired);
        r.sendDone();
        EXPECT_EQ(repaired.size(), 1);
        EXPECT_FALSE(window.shown.contains(Sibling::kSendFailedStatus));
        EXPECT_TRUE(r.link().isConnected());
        EXPECT_TRUE(listener.waitOutput(Sibling::kDone)) << "the other side still hears us";
        listener.killNow();
        EXPECT_EQ(peerSends({Sibling::kHello}, 1), QStringList{Sibling::kReady});
        EXPECT_TRUE(r.link().isListening());
    }
}

TEST(BusErrorGuard, AFaultInAShrunkMappingReadsZerosAndMarksItBroken)
{
    const QByteArray name = QStringLiteral("/auravox_guard_%1").arg(QCoreApplication::applicationPid()).toLocal8Bit();
    const int fd = ::shm_open(name.constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ::shm_unlink(name.constData());
    const std::size_t size = 2 * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    void *p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(p, MAP_FAILED);
    auto *bytes = static_cast<volatile unsigned char *>(p);
    bytes[size - 1] = 7;

    std::atomic<bool> broken{false};
    ASSERT_TRUE(BusErrorGuard::guard(p, size, &broken));
    EXPECT_EQ(bytes[size - 1], 7);
    EXPECT_FALSE(broken.load());

    ASSERT_EQ(::ftruncate(fd, 0), 0); // what another program can do at any time
    EXPECT_EQ(bytes[size - 1], 0) << "the access completes on zero pages";
    EXPECT_TRUE(broken.load());
    bytes[0] = 9; // and writes go nowhere
    struct stat st{};
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_EQ(st.st_size, 0);

    BusErrorGuard::unguard(p);
    ::munmap(p, size);
    ::close(fd);
}

} // namespace
