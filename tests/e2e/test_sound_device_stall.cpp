// A sound device that stops taking audio (a pipe nobody reads, a sound server
// that hangs) never freezes the program: the clip fails, the transmitter is
// released, the program answers a stop, and it plays again once the device is
// back. Run through the real ALSA code, in this process and in the program.

#include "engine/WavLoader.h"
#include "peers/linux/SiblingLink.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "support/AlsaCapture.h"
#include "support/Programs.h"
#include "support/MainWindowHarness.h"
#include "support/SiblingPeer.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

QByteArray messageSamples(const QStringList &names)
{
    const ClipCatalogue catalogue;
    QByteArray all;
    for (const QString &name : names) {
        QByteArray wav = catalogue.wavData(name);
        QBuffer buffer(&wav);
        buffer.open(QIODevice::ReadOnly);
        LoadedClip clip;
        EXPECT_EQ(loadWav(buffer, clip), ClipError::None) << name.toStdString();
        all += clip.samples;
    }
    return all;
}


} // namespace

TEST(SoundDeviceStall, TheClipFailsTheTransmitterIsReleasedAndTheDeviceIsOpenedAfreshWhenBack)
{
    AlsaCapture::instance(); // the test's ALSA configuration, before the first ALSA call
    StallingDevice device;
    AlsaWaveOutput alsa(device.pcm());
    alsa.setStallLimitMs(300);
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5)), true, &alsa);
    h.find<QSlider>("TrackBarVolume")->setValue(0); // full level: the samples go out unchanged
    h.choosePort(QStringLiteral("COM1"));
    auto *status = h.find<QLineEdit>("EditData");

    device.holdReader(); // the device takes what the pipe holds, then nothing
    h.clickButton1();
    EXPECT_TRUE(h.serial().dtr) << "keyed for the announcement";
    ASSERT_TRUE(QTest::qWaitFor([&] { return status->text().startsWith(QLatin1String("Err")); }, 20000))
        << status->text().toStdString();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_TRUE(status->text() == QLatin1String("Err: Sound card stopped")
                || status->text() == QLatin1String("Err: WaveOutOpen"))
        << "stopped while playing, or while the next clip waited for the device: "
        << status->text().toStdString();
    EXPECT_FALSE(h.form().announcer().busy());
    EXPECT_FALSE(h.serial().dtr || h.serial().rts) << "the transmitter is released";
    EXPECT_TRUE(h.find<QPushButton>("Button1")->isEnabled());

    // The device is back: the writer left in the pipe ends, and the next
    // announcement opens the device afresh and is heard whole.
    device.drain();
    ASSERT_TRUE(AlsaCapture::settle(alsa));
    QCoreApplication::processEvents();
    device.clearData();
    h.clickButton1();
    ASSERT_TRUE(h.runUntilIdle());
    ASSERT_TRUE(AlsaCapture::settle(alsa));
    QCoreApplication::processEvents();
    EXPECT_EQ(status->text(), QStringLiteral("AURAVOX DONE"));
    const QByteArray expected = messageSamples({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "SON_TIME_IS",
                                                "SON10", "SONO5", "SON_AM"});
    EXPECT_EQ(AlsaCapture::leftChannel(device.data()).size(), expected.size());
    EXPECT_TRUE(AlsaCapture::leftChannel(device.data()) == expected);
    EXPECT_FALSE(h.serial().dtr);
}

// The program itself, its default sound device a pipe that stops taking
// audio: an announcement asked for by the sibling link fails within the stall
// limit, and a SIGTERM still ends the program the normal way.
// The desktop program and the one without a window alike.
class SoundDeviceStallRun : public ::testing::TestWithParam<const char *>
{
};
AURAVOX_ON_BOTH_PROGRAMS(SoundDeviceStallRun);

TEST_P(SoundDeviceStallRun, TheProgramAnswersSigtermWhileItsSoundDeviceHangs)
{
    QTemporaryDir home;
    const QString fifo = home.filePath(QStringLiteral("device.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    {
        QFile rc(home.filePath(QStringLiteral(".asoundrc")));
        ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
        rc.write(QStringLiteral("pcm.!default {\n    type file\n    slave.pcm \"null\"\n    file \"%1\"\n"
                                "    format \"raw\"\n}\n")
                     .arg(fifo)
                     .toLocal8Bit());
    }
    // Opened for reading and never read: the pipe fills and the device stops.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ::signal(SIGPIPE, SIG_IGN);

    const QString suffix = QStringLiteral("stall%1").arg(QCoreApplication::applicationPid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("AURAVOX_SIBLING_SUFFIX"), suffix);
    env.insert(QStringLiteral("AURAVOX_SOUND_STALL_MS"), QStringLiteral("300"));
    program.setProcessEnvironment(env);
    program.start(QString::fromLocal8Bit(GetParam()), {});
    ASSERT_TRUE(program.waitForStarted());
    QByteArray err;
    auto seen = [&](const char *text) {
        return QTest::qWaitFor(
            [&] {
                err += program.readAllStandardError();
                return err.contains(text) || program.state() == QProcess::NotRunning;
            },
            kHangGuardMs)
               && err.contains(text);
    };
    ASSERT_TRUE(seen("running in")) << err.toStdString();

    Peer peer(suffix);
    peer.start({QStringLiteral("send"), QStringLiteral("ZORBEL_PLAY")});
    peer.finish();
    ASSERT_TRUE(seen("auravox.audio")) << "the stall is told: " << err.toStdString();

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kHangGuardMs);
    if (!ended)
        program.kill();
    EXPECT_TRUE(ended) << "SIGTERM answered while the device hangs: " << err.toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("auravox.ini"))));
    ::close(reader);
    SiblingChannel::removeObjects(Sibling::Names::withSuffix(suffix));
}
