// The recorder control against tools/recorder_peer on a private socket
// (XDG_RUNTIME_DIR points at a temporary folder), and the recorder settings
// window. The control's pauses run on a manual clock; a test that needs a
// started peer to come up holds the first 100 ms look until its socket is there.

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "peers/RecorderControl.h"
#include "peers/RecorderSettings.h"
#include "peers/linux/UnixRecorderSocket.h"
#include "peers/ui/TFormRecord.h"

#include "support/LogCapture.h"
#include "support/MainWindowHarness.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/ScriptedPrompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

constexpr int kHangGuardMs = 20000;
const QString kRecord = QStringLiteral("Quillon record");
const QString kStop = QStringLiteral("Quillon stop");
const QString kClose = QStringLiteral("Quillon close");

QString peerPath()
{
    const QString fromEnv = qEnvironmentVariable("AURAVOX_RECORDER_PEER");
    if (!fromEnv.isEmpty())
        return fromEnv;
    // Built beside the tests: <build>/tests/test_peers, <build>/tools/recorder_peer.
    return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/recorder_peer"))
        .absoluteFilePath();
}

// A manual clock that keeps a list of its waits and lets a test act during one.
class WatchedClock final : public Clock
{
public:
    QDateTime now() const override { return m_manual.now(); }
    void waitPumping(int ms) override
    {
        waits << ms;
        m_manual.waitPumping(ms);
        if (onWait)
            onWait(ms);
    }

    QList<int> waits;
    std::function<void(int ms)> onWait;

private:
    ManualClock m_manual{QDateTime(QDate(2026, 3, 1), QTime(10, 0))};
};

class RecorderControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFileInfo(peerPath()).isExecutable()) << "recorder_peer not built at " << peerPath().toStdString();
        m_hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
        programPath = peerPath();
        control = makeControl(clock, prompts);
    }

    void TearDown() override
    {
        // Only the peers this test started, each by its own id.
        for (const auto &peer : m_peers) {
            peer->terminate();
            if (!peer->waitForFinished(kHangGuardMs))
                peer->kill();
        }
        bool ok = false;
        const pid_t started = QString::fromLatin1(readFile(pidFile())).trimmed().toInt(&ok);
        if (ok && started > 0 && ::kill(started, 0) == 0)
            ::kill(started, SIGTERM);
        qunsetenv("AURAVOX_RECORDER_PEER_ARGS");
        if (m_hadRuntime)
            qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

    std::unique_ptr<RecorderControl> makeControl(Clock &c, UserPrompts &p)
    {
        return std::make_unique<RecorderControl>(
            c, p, socket,
            RecorderControl::Hooks{[this] { return recording; }, [this] { return programPath; },
                                   [this](const QString &text) { statuses << text; }});
    }

    QString socketPath() const { return m_dir.filePath(Recorder::kSocketName); }
    QString logPath() const { return m_dir.filePath(QStringLiteral("commands.log")); }
    QString pidFile() const { return m_dir.filePath(QStringLiteral("peer.pid")); }
    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool waitSocket(bool present) const
    {
        return QTest::qWaitFor([&] { return QFileInfo::exists(socketPath()) == present; }, kHangGuardMs);
    }

    // The commands the peer received, in order.
    QStringList received() const
    {
        QStringList lines = QString::fromLatin1(readFile(logPath())).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }

    // A recorder that runs before the announcement.
    QProcess *runPeer(const QStringList &args)
    {
        auto &peer = m_peers.emplace_back(std::make_unique<QProcess>());
        peer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        peer->start(peerPath(), args + QStringList{QStringLiteral("--log"), logPath(), QStringLiteral("--lifetime"),
                                                   QStringLiteral("60000")});
        EXPECT_TRUE(peer->waitForStarted(kHangGuardMs)) << peer->errorString().toStdString();
        EXPECT_TRUE(waitSocket(true)) << "recorder_peer did not listen";
        return peer.get();
    }

    // The options of the peer that the control will start as the recorder
    // program; the first look waits for it to come up.
    void peerToBeStarted(const QString &options)
    {
        qputenv("AURAVOX_RECORDER_PEER_ARGS",
                QFile::encodeName(options + QStringLiteral(" --log ") + logPath() + QStringLiteral(" --pid-file ")
                                  + pidFile() + QStringLiteral(" --lifetime 60000")));
        clock.onWait = [this](int ms) {
            if (ms == Recorder::kLookPauseMs)
                waitSocket(true);
        };
    }

    QTemporaryDir m_dir;
    WatchedClock clock;
    ScriptedPrompts prompts;
    bool recording = true;
    QString programPath;
    QStringList statuses;
    UnixRecorderSocket socket;
    std::unique_ptr<RecorderControl> control;

private:
    std::vector<std::unique_ptr<QProcess>> m_peers;
    bool m_hadRuntime = false;
    QByteArray m_oldRuntime;
};

TEST_F(RecorderControlTest, RecorderAlreadyRunningIsRecordedAndStoppedButStaysOpen)
{
    QProcess *peer = runPeer({});
    control->StartRecorder();
    EXPECT_EQ(received(), QStringList{kRecord});
    EXPECT_EQ(statuses, QStringList{QStringLiteral("Tamboril record")});
    EXPECT_EQ(clock.waits, QList<int>{200});
    EXPECT_TRUE(control->recorderWasRunning());

    control->StopRecorder();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop}));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Tamboril record"), QStringLiteral("Tamboril stop")}));
    EXPECT_EQ(clock.waits, QList<int>{200}) << "no wait before a close";
    EXPECT_EQ(peer->state(), QProcess::Running);
    EXPECT_EQ(prompts.beeps, 0);

    control->StopRecorder();
    EXPECT_EQ(received().size(), 2) << "a second end step sends nothing";
}

TEST_F(RecorderControlTest, RecorderNotRunningIsStartedRecordedStoppedAndClosedASecondLater)
{
    peerToBeStarted(QStringLiteral("--exit-on-close"));
    ASSERT_FALSE(QFileInfo::exists(socketPath()));
    control->StartRecorder();
    EXPECT_EQ(received(), QStringList{kRecord});
    EXPECT_EQ(clock.waits, QList<int>{100}) << "found at the first look";
    EXPECT_FALSE(control->recorderWasRunning());

    qsizetype receivedDuringTheSecond = -1;
    clock.onWait = [&](int ms) {
        if (ms == Recorder::kCloseDelayMs)
            receivedDuringTheSecond = received().size();
    };
    control->StopRecorder();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop, kClose}));
    EXPECT_EQ(receivedDuringTheSecond, 2) << "the close comes after the 1000 ms wait";
    EXPECT_EQ(clock.waits, (QList<int>{100, 1000}));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Tamboril record"), QStringLiteral("Tamboril stop"),
                                     QStringLiteral("Tamboril close")}));
    EXPECT_TRUE(waitSocket(false)) << "the started recorder ended on close";
}

TEST_F(RecorderControlTest, RecorderPathEmptyMissingOrAFolderIsAnErrorAtEveryAnnouncement)
{
    runPeer({});
    for (const QString &path : {QString(), m_dir.filePath(QStringLiteral("missing")), m_dir.path()}) {
        programPath = path;
        control->StartRecorder();
        control->StopRecorder();
    }
    EXPECT_EQ(statuses, QStringList(3, Recorder::kPathError));
    EXPECT_EQ(prompts.beeps, 3);
    EXPECT_TRUE(received().isEmpty()) << "nothing is sent, even to a running recorder";
    EXPECT_TRUE(clock.waits.isEmpty());
}

TEST_F(RecorderControlTest, RecorderReplySelectsTheStatusWhateverTheCommand)
{
    runPeer({QStringLiteral("--reply-record"), QStringLiteral("2"), QStringLiteral("--reply-stop"),
             QStringLiteral("7")});
    statuses << QStringLiteral("earlier text");
    control->StartRecorder();
    EXPECT_EQ(statuses.mid(1), QStringList{QStringLiteral("Tamboril stop")}) << "a reply of 2 to record";
    control->StopRecorder();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop})) << "the stop is sent after an unexpected reply";
    EXPECT_EQ(statuses.size(), 2) << "a reply of 7 leaves the line as it was";
}

TEST_F(RecorderControlTest, RecorderThatNeverComesUpIsNotFoundAfterThirtyLooks)
{
    programPath = QStandardPaths::findExecutable(QStringLiteral("true"));
    ASSERT_FALSE(programPath.isEmpty());
    control->StartRecorder();
    EXPECT_EQ(clock.waits, QList<int>(30, 100));
    EXPECT_EQ(statuses, QStringList{Recorder::kNotStarted});
    EXPECT_EQ(prompts.beeps, 1);
    control->StopRecorder();
    EXPECT_EQ(statuses.size(), 1) << "no command at the end either";
    EXPECT_EQ(clock.waits.size(), 30);
}

TEST_F(RecorderControlTest, RecorderProgramThatCannotRunIsNotFoundAtOnce)
{
    programPath = m_dir.filePath(QStringLiteral("notes.txt"));
    QFile notes(programPath);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a program\n");
    notes.close();
    control->StartRecorder();
    EXPECT_EQ(statuses, QStringList{Recorder::kNotStarted});
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(clock.waits.isEmpty()) << "no looks for a program that did not start";
}

TEST_F(RecorderControlTest, RecorderGoneBeforeTheStopIsNotFound)
{
    QProcess *peer = runPeer({});
    control->StartRecorder();
    peer->terminate();
    ASSERT_TRUE(peer->waitForFinished(kHangGuardMs));
    ASSERT_TRUE(waitSocket(false));
    control->StopRecorder();
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Tamboril record"), Recorder::kNotFound}));
    EXPECT_EQ(clock.waits, QList<int>{200}) << "a recorder the user ran gets no close";
}

TEST_F(RecorderControlTest, RecorderSwitchTurnedOffDuringTheAnnouncementSendsNothingAtTheEnd)
{
    runPeer({});
    control->StartRecorder();
    recording = false;
    control->StopRecorder();
    EXPECT_EQ(received(), QStringList{kRecord});
}

TEST_F(RecorderControlTest, RecorderStartedByAnAnnouncementIsKeptByOneBeginningDuringTheCloseWait)
{
    peerToBeStarted(QStringLiteral("--exit-on-close"));
    control->StartRecorder();
    bool nested = false;
    clock.onWait = [&](int ms) {
        if (ms == Recorder::kCloseDelayMs && !nested) {
            nested = true;
            control->StartRecorder(); // the next announcement begins during the second
        }
    };
    control->StopRecorder();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop, kRecord})) << "no close in the middle of a recording";
    EXPECT_FALSE(control->recorderWasRunning()) << "the new announcement took the recorder over";

    control->StopRecorder();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop, kRecord, kStop, kClose}));
    EXPECT_TRUE(waitSocket(false));
}

TEST_F(RecorderControlTest, RecorderThatNeverAnswersCountsAsNoAnswerAndTheAnnouncementGoesOn)
{
    runPeer({QStringLiteral("--silent")});
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5)));
    std::unique_ptr<RecorderControl> recorder = makeControl(h.clock(), h.prompts());
    recorder->setReplyLimitMs(100);

    struct Links final : AnnounceLinks
    {
        RecorderControl *recorder = nullptr;
        void recorderStart() override { recorder->StartRecorder(); }
        void recorderStop() override { recorder->StopRecorder(); }
    } links;
    links.recorder = recorder.get();
    h.form().setLinks(&links);
    h.find<QAction>("MenuRecord")->setChecked(true);

    h.clickButton1();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("AURAVOX DONE"));
    EXPECT_FALSE(h.playedClips().isEmpty());
    EXPECT_EQ(statuses, QStringList(2, Recorder::kNoAnswer));
    EXPECT_TRUE(QTest::qWaitFor([&] { return received().size() == 2; }, kHangGuardMs));
    EXPECT_EQ(received(), (QStringList{kRecord, kStop})) << "the stop is still sent after no answer";
    h.form().setLinks(nullptr);
}

TEST(RecorderWindow, BrowseTakesAnExistingFileEmptiesForAMissingOneAndKeepsOnCancel)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("tamboril"));
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    ScriptedPrompts prompts;
    RecorderSettings settings;
    TFormRecord form(prompts, settings);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("AURAVOX"));
    auto *edit = form.findChild<QLineEdit *>(QStringLiteral("EditQuillon"));
    auto *browse = form.findChild<QPushButton *>(QStringLiteral("ButtonParcourir"));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(browse->text(), QStringLiteral("Browse"));
    EXPECT_TRUE(edit->text().isEmpty());

    prompts.nextFileNames = {program, QString(), dir.filePath(QStringLiteral("gone"))};
    browse->click();
    EXPECT_EQ(form.programPath(), program);
    EXPECT_EQ(edit->selectedText(), program);
    browse->click();
    EXPECT_EQ(form.programPath(), program) << "cancel changes nothing";
    EXPECT_EQ(prompts.beeps, 0);
    browse->click();
    EXPECT_TRUE(form.programPath().isEmpty());
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(prompts.lastFilter.isEmpty()) << "the dialog has no filter";
}

TEST(RecorderWindow, RecorderKeyIsAlwaysWrittenRightAfterRecordAndReadWhenNotEmpty)
{
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5)));
    ScriptedPrompts prompts;
    RecorderSettings settings;
    TFormRecord form(prompts, settings);
    ConfigRegistry registry;
    h.windows().models().message.declareConfig(registry);
    settings.declareConfig(registry);
    h.find<QAction>("MenuRecord")->setChecked(true);

    QStringList lines = registry.lines(QStringLiteral("header"));
    const qsizetype record = lines.indexOf(QStringLiteral("RECORD=Y"));
    ASSERT_GE(record, 0);
    ASSERT_LT(record + 1, lines.size());
    EXPECT_EQ(lines[record + 1], QStringLiteral("RECORDER=")) << "written even when empty";

    registry.apply({QStringLiteral("RECORDER=/opt/tamboril/tamboril")});
    EXPECT_EQ(form.programPath(), QStringLiteral("/opt/tamboril/tamboril"));
    registry.apply({QStringLiteral("RECORDER=")});
    EXPECT_EQ(form.programPath(), QStringLiteral("/opt/tamboril/tamboril")) << "an empty value changes nothing";
    lines = registry.lines(QStringLiteral("header"));
    EXPECT_TRUE(lines.contains(QStringLiteral("RECORDER=/opt/tamboril/tamboril")));
}

} // namespace

TEST_F(RecorderControlTest, RecorderSocketThatIsNotOursIsNoRecorder)
{
    // Something that is not a socket at the recorder's place.
    {
        QFile file(socketPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    LogCapture log("auravox.link");
    EXPECT_EQ(control->SendRecorderCommand(RecorderControl::Command::Record), std::nullopt);
    EXPECT_EQ(statuses, QStringList{Recorder::kNotFound});
    EXPECT_TRUE(log.text().contains(socketPath() + QStringLiteral(" is not a socket"))) << log.text().toStdString();
    QFile::remove(socketPath());

    QString why;
    const std::optional<OtherUser> other = otherUser(&why);
    if (!other)
        GTEST_SKIP() << why.toStdString();
    // Without XDG_RUNTIME_DIR the recorder's socket lies in a folder everyone
    // may write to, like /tmp: another user can make it first.
    QTemporaryDir shared;
    ASSERT_TRUE(shared.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString fallback = shared.filePath(Recorder::kSocketName + QStringLiteral(".%1").arg(::getuid()));
    const QByteArray fallbackName = QFile::encodeName(fallback);
    control->setSocketPathFunction([fallback] { return fallback; });

    AsOtherUser impostor;
    ASSERT_TRUE(impostor.start(*other, [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, fallbackName.constData(), static_cast<size_t>(fallbackName.size()));
        return fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
               && ::chmod(fallbackName.constData(), 0777) == 0 && ::listen(fd, 4) == 0;
    }));
    statuses.clear();
    EXPECT_FALSE(control->recorderPresent());
    EXPECT_EQ(control->SendRecorderCommand(RecorderControl::Command::Record), std::nullopt);
    EXPECT_EQ(statuses, QStringList{Recorder::kNotFound});
    EXPECT_TRUE(log.text().contains(fallback + QStringLiteral(" belongs to another user (uid %1)").arg(other->uid)))
        << log.text().toStdString();

    // Its file handed to us, but the other user still listens behind it.
    ASSERT_EQ(::lchown(fallbackName.constData(), ::geteuid(), static_cast<gid_t>(-1)), 0);
    EXPECT_EQ(control->SendRecorderCommand(RecorderControl::Command::Stop), std::nullopt);
    EXPECT_EQ(statuses.last(), Recorder::kNotFound);
    EXPECT_TRUE(log.text().contains(fallback + QStringLiteral(" is served by another user (uid %1)").arg(other->uid)))
        << log.text().toStdString();
}

namespace {

// A recorder socket the test scripts: who is there, what refusal it reports,
// and what it answers; it keeps what it was sent.
class ScriptedRecorderSocket final : public RecorderSocket
{
public:
    bool present(const QString &path, QString *refusal) override
    {
        paths << path;
        *refusal = refusalText;
        return there;
    }
    std::optional<qint32> exchange(const QString &path, const QByteArray &message, int replyLimitMs,
                                   QString *refusal) override
    {
        paths << path;
        messages << message;
        limits << replyLimitMs;
        *refusal = refusalText;
        return there ? std::optional<qint32>(reply) : std::nullopt;
    }

    bool there = true;
    qint32 reply = 1;
    QString refusalText;
    QStringList paths;
    QList<QByteArray> messages;
    QList<int> limits;
};

} // namespace

TEST(RecorderControlLogic, CommandsGoOutWithTheirZeroByteToTheChosenPathAndRepliesSelectTheStatus)
{
    ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
    ScriptedPrompts prompts;
    ScriptedRecorderSocket socket;
    QStringList statuses;
    RecorderControl control(clock, prompts, socket,
                            RecorderControl::Hooks{[] { return true; }, [] { return QString(); },
                                                   [&statuses](const QString &text) { statuses << text; }});
    control.setSocketPathFunction([] { return QStringLiteral("/run/test/TFormQuillon.TAMBORIL"); });
    control.setReplyLimitMs(-5);

    EXPECT_EQ(control.SendRecorderCommand(RecorderControl::Command::Stop), 1);
    ASSERT_EQ(socket.messages.size(), 1);
    EXPECT_EQ(socket.messages[0], QByteArray("Quillon stop\0", 13));
    EXPECT_EQ(socket.paths, QStringList{QStringLiteral("/run/test/TFormQuillon.TAMBORIL")});
    EXPECT_EQ(socket.limits, QList<int>{0}) << "a negative limit waits not at all";
    EXPECT_EQ(statuses, QStringList{QStringLiteral("Tamboril record")}) << "the reply chooses the text";

    socket.reply = 0;
    EXPECT_EQ(control.SendRecorderCommand(RecorderControl::Command::Close), 0);
    EXPECT_EQ(statuses.last(), Recorder::kNoAnswer);
    socket.reply = 7;
    EXPECT_EQ(control.SendRecorderCommand(RecorderControl::Command::Record), 7);
    EXPECT_EQ(statuses.size(), 2) << "an unknown reply leaves the line as it was";
    EXPECT_EQ(control.command(), RecorderControl::Command::Record);
}

TEST(RecorderControlLogic, ARefusedSocketIsNoRecorderAndItsReasonIsLoggedOnceUntilItChanges)
{
    ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
    ScriptedPrompts prompts;
    ScriptedRecorderSocket socket;
    socket.there = false;
    socket.refusalText = QStringLiteral("/tmp/x belongs to another user (uid 4242)");
    QStringList statuses;
    RecorderControl control(clock, prompts, socket,
                            RecorderControl::Hooks{[] { return true; }, [] { return QString(); },
                                                   [&statuses](const QString &text) { statuses << text; }});
    LogCapture log;
    EXPECT_FALSE(control.recorderPresent());
    EXPECT_EQ(control.SendRecorderCommand(RecorderControl::Command::Record), std::nullopt);
    EXPECT_EQ(statuses, QStringList{Recorder::kNotFound});
    EXPECT_EQ(log.of("auravox.link").size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();

    socket.refusalText = QStringLiteral("/tmp/x is not a socket");
    EXPECT_FALSE(control.recorderPresent());
    EXPECT_EQ(log.of("auravox.link").size(), 2);
    EXPECT_TRUE(log.of("auravox.link").last().contains(QStringLiteral("is not a socket")));
}
