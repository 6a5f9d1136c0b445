// The recorder control of each program run as a process, against
// tools/recorder_peer on a private socket (XDG_RUNTIME_DIR points at the
// program's temporary folder): an announcement started over the sibling link
// records and stops the recorder, and closes it when the program started it.
// The desktop program and the one without a window give the same results.

#include "peers/linux/SiblingLink.h"
#include "support/Programs.h"
#include "support/SiblingPeer.h"
#include "support/WavBuilder.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

using namespace auravox;
using namespace auravox::test;

namespace {

QString recorderPeerPath()
{
    // Built beside the tests: <build>/tests/test_peers, <build>/tools/recorder_peer.
    return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/recorder_peer"))
        .absoluteFilePath();
}

// One program on a working folder of its own, its sound going nowhere, with
// the recorder switched on.
class RecorderProgram : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QFileInfo(recorderPeerPath()).isExecutable()) << recorderPeerPath().toStdString();
        ASSERT_TRUE(writeFile(home.filePath(QStringLiteral(".asoundrc")), "pcm.!default {\n    type null\n}\n"));
        // A short message: the hello file alone.
        ASSERT_TRUE(writeFile(home.filePath(QStringLiteral("auravox.ini")),
                              "[AURAVOX V2.2.3]\r\nRECORD=Y\r\nRECORDER=" + recorderPeerPath().toLocal8Bit()
                                  + "\r\nHELLO=Y\r\nDATE=N\r\nILEST=N\r\nTIME=N\r\n"));
        suffix = QStringLiteral("rec%1").arg(QCoreApplication::applicationPid());
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(kHangGuardMs);
        }
        if (peer) {
            peer->terminate();
            if (!peer->waitForFinished(kHangGuardMs))
                peer->kill();
        }
        SiblingChannel::removeObjects(Sibling::Names::withSuffix(suffix));
    }

    QString socketPath() const { return home.filePath(QStringLiteral("TFormQuillon.TAMBORIL")); }
    QString logPath() const { return home.filePath(QStringLiteral("commands.log")); }
    QStringList received() const
    {
        QStringList lines = QString::fromLatin1(readFile(logPath())).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }

    // A recorder that runs before the announcement.
    void runRecorder()
    {
        peer = std::make_unique<QProcess>();
        peer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        peer->setProcessEnvironment(env);
        // It would end if it were closed.
        peer->start(recorderPeerPath(), {QStringLiteral("--exit-on-close"), QStringLiteral("--log"), logPath(),
                                         QStringLiteral("--lifetime"), QStringLiteral("60000")});
        ASSERT_TRUE(peer->waitForStarted(kHangGuardMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socketPath()); }, kHangGuardMs));
    }

    bool until(const std::function<bool()> &done)
    {
        return QTest::qWaitFor(
                   [&] {
                       err += program.readAllStandardError();
                       return done() || program.state() == QProcess::NotRunning;
                   },
                   kHangGuardMs)
               && done();
    }

    // Starts the program and waits until it runs.
    void startProgram()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ALSA_CONFIG_PATH"));
        env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("AURAVOX_SIBLING_SUFFIX"), suffix);
        // The recorder the program starts itself ends when it is closed.
        env.insert(QStringLiteral("AURAVOX_RECORDER_PEER_ARGS"),
                   QStringLiteral("--exit-on-close --log %1 --lifetime 60000").arg(logPath()));
        program.setProcessEnvironment(env);
        program.start(QString::fromLocal8Bit(GetParam()), {});
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_TRUE(until([&] { return err.contains("running in"); })) << err.toStdString();
    }

    // Has the program make one announcement, over the sibling link, and waits for its end.
    void announce()
    {
        const qsizetype ended = err.count("announcement ended");
        Peer sibling(suffix);
        sibling.start({QStringLiteral("send"), QStringLiteral("ZORBEL_PLAY")});
        sibling.finish();
        ASSERT_EQ(sibling.exitCode(), 0) << sibling.errors().toStdString();
        ASSERT_TRUE(until([&] { return err.count("announcement ended") > ended; })) << err.toStdString();
    }

    void stopProgram()
    {
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kHangGuardMs));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    }

    QTemporaryDir home;
    QString suffix;
    QProcess program;
    QByteArray err;
    std::unique_ptr<QProcess> peer;
};
AURAVOX_ON_BOTH_PROGRAMS(RecorderProgram);

const QString kRecord = QStringLiteral("Quillon record");
const QString kStop = QStringLiteral("Quillon stop");
const QString kClose = QStringLiteral("Quillon close");

} // namespace

TEST_P(RecorderProgram, ARunningRecorderIsRecordedAndStoppedAroundEachAnnouncementAndNeverClosed)
{
    runRecorder();
    startProgram();
    announce();
    ASSERT_TRUE(until([&] { return received().size() >= 2; })) << err.toStdString();
    // A second announcement, longer than the second after which a close would come.
    announce();
    ASSERT_TRUE(until([&] { return received().size() >= 4; })) << err.toStdString();
    stopProgram();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop, kRecord, kStop})) << err.toStdString();
    EXPECT_EQ(peer->state(), QProcess::Running) << "a recorder the program did not start is left open";
}

TEST_P(RecorderProgram, ARecorderThatIsNotRunningIsStartedRecordedStoppedAndClosed)
{
    ASSERT_FALSE(QFileInfo::exists(socketPath()));
    startProgram();
    announce();
    // The close follows the stop a second later; the recorder then ends.
    ASSERT_TRUE(until([&] { return received().size() >= 3 && !QFileInfo::exists(socketPath()); }))
        << received().join(QLatin1Char('|')).toStdString() << err.toStdString();
    stopProgram();
    EXPECT_EQ(received(), (QStringList{kRecord, kStop, kClose})) << err.toStdString();
}
