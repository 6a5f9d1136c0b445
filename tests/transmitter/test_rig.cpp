// A rig through Hamlib, against a real rigctld with Hamlib's dummy rig
// (model 1) on 127.0.0.1; the test reads the rig's PTT and steers it with
// rigctl as the program runs.

#include "transmitter/linux/HamlibPtt.h"
#include "transmitter/linux/PttDevices.h"

#include "PttRig.h"
#include "support/LogCapture.h"
#include "support/WavBuilder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(10, 5, 30));

// rigctld on a free port of 127.0.0.1, stopped with the test.
class Rigctld
{
public:
    Rigctld()
    {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, 0))
            m_port = probe.serverPort();
    }
    ~Rigctld() { stop(); }

    static bool installed() { return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty(); }

    // Starts it and waits until it takes connections (it says nothing when it
    // is ready): true when it does. Without `catPtt` the dummy rig is left
    // with no PTT and no squelch of its own, as rigctld starts it by default:
    // it refuses every key.
    bool start(bool catPtt = true)
    {
        QStringList args{QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"), QStringLiteral("127.0.0.1"),
                         QStringLiteral("-t"), QString::number(m_port)};
        if (catPtt)
            args << QStringLiteral("-P") << QStringLiteral("RIG") << QStringLiteral("-D") << QStringLiteral("RIG");
        m_process.start(QStringLiteral("rigctld"), args);
        if (!m_process.waitForStarted())
            return false;
        return QTest::qWaitFor(
            [this] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, m_port);
                return s.waitForConnected(1000);
            },
            20000);
    }
    // The rig stops answering.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    quint16 port() const { return m_port; }
    // rigctl's answer to one command on this rigctld.
    QString rigctl(const QStringList &command) const
    {
        QProcess p;
        p.start(QStringLiteral("rigctl"),
                QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"), address()} + command);
        p.waitForFinished(20000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QString ptt() const { return rigctl({QStringLiteral("t")}); }
    // Hamlib's dummy rig turns its DCD over at every read, whatever its
    // squelch: read it here until the program's next read finds it on.
    void nextReadFindsSquelchOpen() const
    {
        if (rigctl({QStringLiteral("\\get_dcd")}) != QLatin1String("0"))
            rigctl({QStringLiteral("\\get_dcd")});
    }

private:
    quint16 m_port = 0;
    QProcess m_process;
};

// A TCP relay on 127.0.0.1 between the program and rigctld, on a thread of its
// own, that counts the connections made to it. Frozen, it still takes
// connections but passes nothing either way, as a rig (or a rigctld) that
// hangs: every call then waits out its time limit.
class SilencingRelay
{
public:
    explicit SilencingRelay(quint16 upstream) : m_upstream(upstream)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), size) != 0 || ::listen(m_listen, 64) != 0
            || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &size) != 0)
            return;
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~SilencingRelay()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (const Link &l : m_links) {
            ::close(l.client);
            if (l.server >= 0)
                ::close(l.server);
        }
        ::close(m_listen);
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    int connections() const { return m_connections; }
    void setFrozen(bool frozen) { m_frozen = frozen; }

private:
    struct Link
    {
        int client = -1;
        int server = -1; // -1: taken while frozen, never passed on
    };

    int connectUpstream() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(m_upstream);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void run()
    {
        while (!m_stop) {
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            std::vector<size_t> owner{0}; // the link each descriptor after the first is half of
            const bool frozen = m_frozen;
            for (size_t k = 0; k < m_links.size() && !frozen; ++k) {
                if (m_links[k].server >= 0) {
                    fds.push_back({m_links[k].client, POLLIN, 0});
                    fds.push_back({m_links[k].server, POLLIN, 0});
                    owner.insert(owner.end(), {k, k});
                }
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    ++m_connections;
                    m_links.push_back({client, frozen ? -1 : connectUpstream()});
                }
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                Link &l = m_links[owner[i]];
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || l.server < 0)
                    continue;
                const int other = fds[i].fd == l.client ? l.server : l.client;
                char buffer[4096];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    [[maybe_unused]] const ssize_t w = ::write(other, buffer, static_cast<size_t>(n));
                } else {
                    ::close(l.server); // one side ended: so does the other
                    l.server = -1;
                }
            }
        }
    }

    quint16 m_upstream;
    quint16 m_port = 0;
    int m_listen = -1;
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_frozen{false};
    std::atomic<bool> m_stop{false};
    std::vector<Link> m_links;
    std::thread m_thread;
};

std::unique_ptr<MainWindowHarness> stationOnFactory()
{
    return std::make_unique<MainWindowHarness>(kMorning, true, nullptr, QString(), false,
                                               [](AppDeps &d) { d.pttDevices = makePttDevice; });
}

QString chooseRig(MainWindowHarness &h, const Rigctld &rig, bool dcd)
{
    KindControls k(h);
    k.chooseKind(3);
    k.find<QSpinBox>("SpinRigModel")->setValue(2);
    k.find<QLineEdit>("EditRigPort")->setText(rig.address());
    k.find<QCheckBox>("CheckRigDcd")->setChecked(dcd);
    k.use();
    return k.outcome();
}

} // namespace

#define REQUIRE_RIGCTLD(rig)                                                                                           \
    if (!Rigctld::installed())                                                                                         \
        GTEST_SKIP() << "rigctld is not installed (Debian's libhamlib-utils)";                                         \
    Rigctld rig;                                                                                                       \
    ASSERT_TRUE(rig.start())

// The reason is Hamlib's own word for what the rig said, not the debug trace
// Hamlib keeps beside it.
TEST(RigPort, ARigThatCannotKeyIsRefusedWithHamlibsReason)
{
    if (!Rigctld::installed())
        GTEST_SKIP() << "rigctld is not installed (Debian's libhamlib-utils)";
    Rigctld rig;
    ASSERT_TRUE(rig.start(false));
    auto h = stationOnFactory();
    EXPECT_EQ(chooseRig(*h, rig, false),
              QStringLiteral("rig model 2 at %1: set PTT off: Invalid parameter").arg(rig.address()));
}

TEST(RigPort, KeyedThreeHundredMillisecondsBeforeTheFirstClipAndReleasedAfterTheLast)
{
    REQUIRE_RIGCTLD(rig);
    auto h = stationOnFactory();
    EXPECT_EQ(chooseRig(*h, rig, false), QStringLiteral("Open: rig model 2 at ") + rig.address());
    EXPECT_EQ(h->find<QLabel>("LabelCOM")->text(), QStringLiteral("RIG"));
    rig.rigctl({QStringLiteral("T"), QStringLiteral("1")});
    h->tick(); // the guard: keyed while idle
    EXPECT_EQ(rig.ptt(), QStringLiteral("0"));

    QString pttAtFirstClip;
    qint64 firstClipAt = -1;
    const QDateTime t0 = h->clock().now();
    h->wave().onWrite = [&](int) {
        if (firstClipAt >= 0)
            return;
        firstClipAt = t0.msecsTo(h->clock().now());
        pttAtFirstClip = rig.ptt();
    };
    LogCapture log;
    h->clickButton1();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(firstClipAt, 300);
    EXPECT_EQ(pttAtFirstClip, QStringLiteral("1"));
    EXPECT_EQ(rig.ptt(), QStringLiteral("0"));
    EXPECT_EQ(log.matching({"PTT keyed (PTT) on rig model 2 at", "announcement started by the button"}).size(), 1);
    EXPECT_EQ(log.matching({"PTT released on rig model 2 at", "end of the announcement"}).size(), 1);

    // A player failure releases too.
    h->wave().onWrite = {};
    h->form().setHelloPath(QStringLiteral("missing.wav"));
    auto *hello = h->find<QCheckBox>("CheckBoxZorbel");
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    h->clickButton1();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(h->find<QLineEdit>("EditData")->text(), QStringLiteral("Err: Wave file name"));
    EXPECT_EQ(log.matching({"PTT released on rig model 2 at", "watchdog reset"}).size(), 1);
    EXPECT_EQ(rig.ptt(), QStringLiteral("0"));
}

TEST(RigPort, TheSquelchInhibitsAStart)
{
    REQUIRE_RIGCTLD(rig);
    auto h = stationOnFactory();
    ASSERT_TRUE(chooseRig(*h, rig, true).startsWith(QLatin1String("Open: ")));
    LogCapture log;
    rig.nextReadFindsSquelchOpen();
    h->tick();
    EXPECT_EQ(h->find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=On"));
    h->clickButton1();
    EXPECT_FALSE(h->form().announcer().busy());
    EXPECT_EQ(log.matching({"refused: DCD is on"}).size(), 1);
    EXPECT_EQ(rig.ptt(), QStringLiteral("0"));
    h->tick(); // the squelch closed again
    EXPECT_EQ(h->find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=Off"));
    h->clickButton1();
    ASSERT_TRUE(h->runUntilIdle());
    EXPECT_EQ(log.matching({"PTT released on rig model 2"}).size(), 1);
}

TEST(RigPort, ARigThatStopsAnsweringIsAFailedKeyAndTheReleaseIsRetriedUntilItAnswers)
{
    REQUIRE_RIGCTLD(rig);
    auto h = stationOnFactory();
    ASSERT_TRUE(chooseRig(*h, rig, false).startsWith(QLatin1String("Open: ")));
    rig.stop();
    LogCapture log;
    h->clickButton1();
    ASSERT_TRUE(h->runUntilIdle());
    const QStringList failed = log.matching({"auravox.ptt", "PTT keying (PTT) failed on rig model 2 at"});
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed.first().contains(QLatin1String(": announcement started by the button")))
        << failed.first().toStdString();
    EXPECT_EQ(log.matching({"PTT release failed on rig model 2", "end of the announcement"}).size(), 1);
    Transmitter &tx = h->windows().serialPort().transmitter();
    EXPECT_TRUE(tx.releasePending());
    EXPECT_FALSE(tx.lastError().isEmpty());
    h->tick();
    EXPECT_TRUE(tx.releasePending()) << "still no answer";

    ASSERT_TRUE(rig.start());                               // rigctld is back on the same port
    rig.rigctl({QStringLiteral("T"), QStringLiteral("1")}); // as the rig was left
    h->tick();
    EXPECT_FALSE(tx.releasePending());
    EXPECT_EQ(rig.ptt(), QStringLiteral("0"));
    EXPECT_EQ(log.matching({"PTT released on rig model 2", "end of the announcement (the release was retried)"}).size(),
              1);
}

// A rig that hangs costs each call its whole time limit, on the thread that
// asks: the program opens it again only after nine times that has passed, and
// in between every call fails at once with the reason of the last try.
TEST(RigPort, ARigThatHangsIsOpenedAgainOnlyAfterItsHoldOff)
{
    REQUIRE_RIGCTLD(rig);
    SilencingRelay relay(rig.port());
    RigSettings settings;
    settings.port = relay.address();
    settings.timeoutMs = 300;
    HamlibPtt ptt(settings);
    ASSERT_TRUE(ptt.open()) << ptt.lastError().toStdString();
    EXPECT_EQ(relay.connections(), 1);

    relay.setFrozen(true);
    EXPECT_FALSE(ptt.inputs().dcd); // waits out its limit, and the rig is dropped
    EXPECT_EQ(relay.connections(), 1);
    EXPECT_FALSE(ptt.pttFoundUp()); // opened again: that too waits out its limit
    EXPECT_EQ(relay.connections(), 2);
    EXPECT_TRUE(ptt.lastError().contains(QLatin1String("the rig does not answer (opening it again failed: open: ")))
        << ptt.lastError().toStdString();
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(ptt.inputs().dcd);
        EXPECT_FALSE(ptt.pttFoundUp());
    }
    EXPECT_FALSE(ptt.setPtt(false));
    EXPECT_EQ(relay.connections(), 2) << "held off: no call waited on the rig";

    // Answering again, it is opened at the first call after the hold-off.
    relay.setFrozen(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ptt.setPtt(false); }, 30000)) << ptt.lastError().toStdString();
    EXPECT_EQ(relay.connections(), 3);
    rig.rigctl({QStringLiteral("T"), QStringLiteral("1")});
    EXPECT_EQ(ptt.pttFoundUp(), QStringList{QStringLiteral("PTT")});
}

// The headless program takes the rig from its file, and leaves it unkeyed
// when systemd stops it.
TEST(RigPort, TheHeadlessProgramLeavesTheRigUnkeyedOnSigterm)
{
    REQUIRE_RIGCTLD(rig);
    QTemporaryDir home;
    const QByteArray ini =
        "[AURAVOX V2.2.3]\r\nPTT_TYPE=RIG\r\nRIG_PORT=" + rig.address().toLocal8Bit() + "\r\nRIG_DCD=0\r\n";
    ASSERT_TRUE(writeFile(home.filePath(QStringLiteral("auravox.ini")), ini));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(QString::fromLocal8Bit(AURAVOX_DAEMON), {});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray err;
    while (!err.contains("opened, PTT off") && p.waitForReadyRead(20000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("rig model 2 at " + rig.address().toLocal8Bit() + " opened, PTT off"))
        << err.toStdString();
    rig.rigctl({QStringLiteral("T"), QStringLiteral("1")});
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(rig.ptt(), QStringLiteral("0"));
    EXPECT_TRUE(readFile(home.filePath(QStringLiteral("auravox.ini")))
                    .endsWith("\r\nPTT_TYPE=RIG\r\nRIG_PORT=" + rig.address().toLocal8Bit() + "\r\nRIG_DCD=0\r\n"));
}
