// Each program itself keying a real UART (COM1, the machine's first 16550A)
// while its default sound device plays in real time behind a pipe: DTR and RTS
// rise before the first sample is played and fall only once the last one has
// been, and the program leaves them down when it ends. A thread of the test
// watches the lines in the serial driver's report, which does not open the
// port (a second open would raise DTR and RTS itself).

#include "peers/linux/SiblingLink.h"
#include "support/PacedDevice.h"
#include "support/Programs.h"
#include "support/SiblingPeer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iterator>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

constexpr qint64 kMsNs = 1000000;
constexpr int kDtr = 1;
constexpr int kRts = 2;
constexpr int kAnnouncements = 10;
constexpr int kFrameBytes = 4;
// Rounds beyond the ten, for those whose edges the watcher saw too coarsely
// to tell which side of a sample they fell on.
constexpr int kSpareRounds = 10;
// Below the sound device's clock, which the lines are measured against.
constexpr int kWatcherPriority = 10;
constexpr long kWatcherPauseNs = 200000;

double ms(qint64 ns)
{
    return static_cast<double>(ns) / kMsNs;
}

// DTR and RTS of ttyS0 in the driver's report ("0: uart:16550A port:000003F8
// irq:4 tx:0 rx:0 RTS|CTS|DTR"): a set of kDtr and kRts, or -1 when the report
// can't be read or names no UART there.
int parseLines(std::string_view report)
{
    size_t at = report.starts_with("0:") ? 0 : report.find("\n0:");
    if (at == std::string_view::npos)
        return -1;
    if (at > 0)
        ++at;
    std::string_view line = report.substr(at, report.find('\n', at) - at);
    if (line.find(" uart:") == std::string_view::npos || line.find("uart:unknown") != std::string_view::npos)
        return -1;
    int bits = 0;
    for (size_t i = 0; i < line.size();) {
        const size_t end = std::min(line.find(' ', i), line.size());
        const std::string_view word = line.substr(i, end - i);
        if (!word.empty() && word.find(':') == std::string_view::npos) {
            for (size_t k = 0; k <= word.size();) {
                const size_t bar = std::min(word.find('|', k), word.size());
                const std::string_view name = word.substr(k, bar - k);
                bits |= name == "DTR" ? kDtr : name == "RTS" ? kRts : 0;
                k = bar + 1;
            }
        }
        i = end + 1;
    }
    return bits;
}

int readSerialLines()
{
    const int fd = ::open("/proc/tty/driver/serial", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char buffer[8192];
    size_t size = 0;
    for (ssize_t n; size < sizeof buffer && (n = ::read(fd, buffer + size, sizeof buffer - size)) > 0;)
        size += static_cast<size_t>(n);
    ::close(fd);
    return parseLines(std::string_view(buffer, size));
}

// A change of one line, somewhere after `afterNs` and by `byNs` (the start of
// the last read that still showed the old state, the end of the first that
// showed the new one).
struct Edge
{
    int line = 0;
    bool up = false;
    qint64 afterNs = 0;
    qint64 byNs = 0;
};

// Reads the driver's report in a tight loop on a thread of its own, noting
// every change of DTR and RTS on the monotonic clock.
class LineWatcher
{
public:
    LineWatcher() : m_thread([this] { run(); }) {}
    ~LineWatcher() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<Edge> edges() const
    {
        std::lock_guard lock(m_mutex);
        return m_edges;
    }
    int state() const { return m_state; }
    // The longest time between the start of one read and the end of the next.
    qint64 longestNs() const { return m_longest; }
    qint64 reads() const { return m_reads; }
    bool punctual() const { return m_punctual; }

private:
    void run()
    {
        // In the real-time class the watcher reads every fraction of a
        // millisecond, loaded machine or not; outside it, it reads as often as
        // the scheduler lets it.
        const bool punctual = runInRealTimeClass(kWatcherPriority);
        m_punctual = punctual;
        const qint64 deadline = monotonicNs() + 900000 * kMsNs;
        int last = -1;
        qint64 lastStart = 0;
        while (!m_stop && monotonicNs() < deadline) {
            const qint64 start = monotonicNs();
            const int now = readSerialLines();
            const qint64 end = monotonicNs();
            if (now >= 0) {
                if (last >= 0) {
                    m_longest = std::max<qint64>(m_longest, end - lastStart);
                    std::lock_guard lock(m_mutex);
                    for (const int line : {kDtr, kRts}) {
                        if ((now ^ last) & line)
                            m_edges.push_back({line, (now & line) != 0, lastStart, end});
                    }
                }
                last = now;
                lastStart = start;
                m_state = now;
                ++m_reads;
            }
            if (punctual) {
                const timespec pause{0, kWatcherPauseNs};
                ::nanosleep(&pause, nullptr);
            } else {
                std::this_thread::yield();
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_state{-1};
    std::atomic<qint64> m_longest{0};
    std::atomic<qint64> m_reads{0};
    std::atomic<bool> m_punctual{false};
    mutable std::mutex m_mutex;
    std::vector<Edge> m_edges;
    std::thread m_thread;
};

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(text);
}

struct Figures
{
    void add(double v) { values.push_back(v); }
    QString text() const
    {
        if (values.empty())
            return QStringLiteral("none");
        double sum = 0;
        for (double v : values)
            sum += v;
        return QStringLiteral("min %1 / mean %2 / max %3 ms over %4")
            .arg(*std::min_element(values.begin(), values.end()), 0, 'f', 1)
            .arg(sum / static_cast<double>(values.size()), 0, 'f', 1)
            .arg(*std::max_element(values.begin(), values.end()), 0, 'f', 1)
            .arg(values.size());
    }
    std::vector<double> values;
};

} // namespace

// The one UART is had by one run at a time: the two programs' runs of this
// test, which the suite may start side by side, and those of other builds on
// the machine. Held from construction, waiting for the run before to end.
class UartTurn
{
public:
    UartTurn() : m_fd(::open("/run/lock/auravox-test-ttyS0.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~UartTurn()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UartTurn(const UartTurn &) = delete;
    UartTurn &operator=(const UartTurn &) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

// The desktop program and the one without a window, with the same results.
class UartClipEnd : public ::testing::TestWithParam<const char *>
{};
AURAVOX_ON_BOTH_PROGRAMS(UartClipEnd);

TEST_P(UartClipEnd, TheProgramKeysTheRealPortBeforeTheFirstSampleAndReleasesItAfterTheLast)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "/dev/ttyS0 and the serial driver's line report are root's";
    if (readSerialLines() < 0)
        GTEST_SKIP() << "/proc/tty/driver/serial names no UART at ttyS0";
    const UartTurn turn;
    ASSERT_TRUE(turn.held()) << "the lock of the UART's runs";

    const PacedPipeDevice device;
    QTemporaryDir home;
    writeFile(home.filePath(QStringLiteral(".asoundrc")),
              QStringLiteral("pcm.!default {\n    type file\n    slave.pcm \"null\"\n    file \"%1\"\n"
                             "    format \"raw\"\n}\n")
                  .arg(device.path())
                  .toLocal8Bit());
    // COM1 keyed on DTR and RTS; the input lines (wired to nothing) ignored.
    writeFile(home.filePath(QStringLiteral("auravox.ini")), "[AURAVOX V2.2.3]\r\nCOM=1\r\nDSR=0\r\nCTS=0\r\nDCD=0\r\n");
    ::signal(SIGPIPE, SIG_IGN);

    LineWatcher watcher;
    const QString suffix = QStringLiteral("uart%1").arg(QCoreApplication::applicationPid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ALSA_CONFIG_PATH")); // the user's own configuration: .asoundrc in HOME
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("AURAVOX_SIBLING_SUFFIX"), suffix);
    program.setProcessEnvironment(env);
    program.start(QString::fromLocal8Bit(GetParam()), {});
    ASSERT_TRUE(program.waitForStarted());
    QByteArray err;
    auto until = [&](const std::function<bool()> &done) {
        return QTest::qWaitFor(
                   [&] {
                       err += program.readAllStandardError();
                       return done() || program.state() == QProcess::NotRunning;
                   },
                   kHangGuardMs)
               && done();
    };
    ASSERT_TRUE(until([&] { return err.contains("running in"); })) << err.toStdString();
    ASSERT_TRUE(until([&] { return watcher.state() == 0; }))
        << "the program drops DTR and RTS when it opens the port: " << err.toStdString();

    Figures release;
    Figures lead;
    int decided = 0;
    int undecided = 0;
    for (int round = 0; decided < kAnnouncements && round < kAnnouncements + kSpareRounds && !HasFatalFailure();
         ++round) {
        SCOPED_TRACE(round + 1);
        const qint64 first = device.data().size() / kFrameBytes;
        const size_t seen = watcher.edges().size();
        Peer peer(suffix);
        peer.start({QStringLiteral("send"), QStringLiteral("ZORBEL_PLAY")});
        peer.finish();
        ASSERT_EQ(peer.exitCode(), 0) << peer.errors().toStdString();
        // Each line rises and falls once, and the device has taken all there was.
        auto edgesNow = [&] {
            const std::vector<Edge> all = watcher.edges();
            return std::vector<Edge>(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end());
        };
        auto falls = [&] {
            const std::vector<Edge> e = edgesNow();
            return std::count_if(e.begin(), e.end(), [](const Edge &x) { return !x.up; });
        };
        ASSERT_TRUE(until([&] { return falls() >= 2; })) << "hang guard: released " << err.toStdString();
        ASSERT_TRUE(until([&] { return device.unread() == 0; })) << "hang guard: the pipe drains";
        const qint64 total = device.data().size() / kFrameBytes;
        ASSERT_GT(total, first) << "the announcement was played";
        ASSERT_TRUE(device.waitPlayed(total)) << "hang guard";
        const std::vector<Edge> edges = edgesNow();
        ASSERT_EQ(edges.size(), 4u) << "DTR and RTS each rise once and fall once, never between clips";
        const qint64 firstPlayed = device.playedAtNs(first);
        const qint64 lastPlayed = device.endedBeforeNs(total);
        // An edge is known to lie between two reads of the lines. One seen
        // wholly on the wrong side of a sample is a fault; one whose reads
        // straddle the sample tells nothing, and the round is played again.
        bool clear = true;
        for (const int line : {kDtr, kRts}) {
            const char *name = line == kDtr ? "DTR" : "RTS";
            std::vector<Edge> mine;
            std::copy_if(edges.begin(), edges.end(), std::back_inserter(mine),
                         [line](const Edge &e) { return e.line == line; });
            ASSERT_EQ(mine.size(), 2u) << name;
            ASSERT_TRUE(mine[0].up && !mine[1].up) << name << " rises, then falls";
            EXPECT_LT(mine[0].afterNs, firstPlayed)
                << name << " up " << ms(mine[0].afterNs - firstPlayed) << " ms after the first sample was played";
            EXPECT_GE(mine[1].byNs, lastPlayed)
                << name << " down " << ms(lastPlayed - mine[1].byNs) << " ms before the last sample was played";
            clear = clear && mine[0].byNs < firstPlayed && mine[1].afterNs >= lastPlayed;
            if (line == kDtr && clear) {
                lead.add(ms(firstPlayed - mine[0].byNs));
                release.add(ms(mine[1].afterNs - lastPlayed));
            }
        }
        ++(clear ? decided : undecided);
    }
    EXPECT_EQ(decided, kAnnouncements) << undecided << " rounds whose line reads straddled the first or last sample";

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kHangGuardMs);
    if (!ended)
        program.kill();
    EXPECT_TRUE(ended) << "SIGTERM answered";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(readSerialLines(), 0) << "DTR and RTS left down at exit";
    watcher.stop();
    SiblingChannel::removeObjects(Sibling::Names::withSuffix(suffix));

    std::printf("release after the last sample played (lower bound): %s\n"
                "lines up before the first sample played (lower bound): %s\n"
                "line watcher: %lld reads, longest between two %.3f ms, %s; %d rounds played again\n",
                qPrintable(release.text()), qPrintable(lead.text()), static_cast<long long>(watcher.reads()),
                ms(watcher.longestNs()), watcher.punctual() ? "real-time class" : "ordinary class", undecided);
}
