// A whole announcement through the real ALSA code into a capture device: the
// samples that went out are exactly the clips of the message, in order; in
// this process, and in each program run as a process.

#include "app/WorkingFolder.h"
#include "engine/WavLoader.h"
#include "peers/linux/SiblingLink.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "support/AlsaCapture.h"
#include "support/MainWindowHarness.h"
#include "support/PacedDevice.h"
#include "support/Programs.h"
#include "support/SiblingPeer.h"
#include "support/WavBuilder.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace auravox;
using namespace auravox::test;

namespace {

QByteArray samplesOf(const QByteArray &wav)
{
    QByteArray copy = wav;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    LoadedClip clip;
    EXPECT_EQ(loadWav(buffer, clip), ClipError::None);
    return clip.samples;
}

QByteArray expectedSamples(const QStringList &names)
{
    const ClipCatalogue catalogue;
    QByteArray all;
    for (const QString &name : names) {
        EXPECT_TRUE(catalogue.contains(name)) << name.toStdString();
        all += samplesOf(catalogue.wavData(name));
    }
    return all;
}

const QStringList kSundayMessage = {"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26",
                                    "SON_TIME_IS", "SON10", "SONO5", "SON_AM"};

} // namespace

TEST(EndToEnd, ButtonOneSpeaksTheDateAndTimeThroughAlsa)
{
    AlsaCapture &capture = AlsaCapture::instance();
    AlsaWaveOutput alsa;
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5)), true, &alsa);
    h.find<QSlider>("TrackBarVolume")->setValue(0); // full level: the samples go out unchanged
    capture.clear();

    h.clickButton1();
    ASSERT_TRUE(h.runUntilIdle());
    ASSERT_TRUE(AlsaCapture::settle(alsa)); // the last device has closed
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("AURAVOX DONE"));
    const QByteArray stereo = capture.captured();
    const QByteArray expected = expectedSamples(kSundayMessage);
    ASSERT_EQ(AlsaCapture::leftChannel(stereo).size(), expected.size());
    EXPECT_TRUE(AlsaCapture::leftChannel(stereo) == expected) << "byte for byte the catalogue's samples, in order";
    EXPECT_TRUE(AlsaCapture::rightChannel(stereo) == expected);
}

TEST(EndToEnd, HelloFileComesFirst)
{
    AlsaCapture &capture = AlsaCapture::instance();
    AlsaWaveOutput alsa;
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 5)), true, &alsa);
    h.find<QSlider>("TrackBarVolume")->setValue(0); // full level: the samples go out unchanged
    ASSERT_TRUE(WorkingFolder::seedHelloFile(h.folder()));
    auto *hello = h.find<QCheckBox>("CheckBoxZorbel");
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    ASSERT_TRUE(hello->isChecked());
    capture.clear();

    h.clickButton1();
    ASSERT_TRUE(h.runUntilIdle());
    ASSERT_TRUE(AlsaCapture::settle(alsa)); // the last device has closed
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("AURAVOX DONE"));
    QFile helloFile(h.folder() + QStringLiteral("/kuckoo.wav"));
    ASSERT_TRUE(helloFile.open(QIODevice::ReadOnly));
    const QByteArray expected = samplesOf(helloFile.readAll()) + expectedSamples(kSundayMessage);
    EXPECT_TRUE(AlsaCapture::leftChannel(capture.captured()) == expected);
}

namespace {

// Mono samples as the file plugin writes them for a centred balance: each one
// on both channels.
QByteArray onBothChannels(const QByteArray &mono)
{
    QByteArray stereo;
    stereo.reserve(mono.size() * 2);
    for (qsizetype i = 0; i + 1 < mono.size(); i += 2)
        stereo += mono.mid(i, 2) + mono.mid(i, 2);
    return stereo;
}

} // namespace

// The desktop program and the one without a window, with the same results.
class AlsaAnnouncementRun : public ::testing::TestWithParam<const char *>
{};
AURAVOX_ON_BOTH_PROGRAMS(AlsaAnnouncementRun);

// Started by the sibling link, a message of the hello file alone, at full
// level and centred: the default device gets exactly the hello file's samples
// on both channels, and nothing after them.
TEST_P(AlsaAnnouncementRun, TheProgramPlaysTheHelloFileThroughAlsaByteForByte)
{
    const PacedPipeDevice device;
    QTemporaryDir home;
    ASSERT_TRUE(writeFile(home.filePath(QStringLiteral(".asoundrc")),
                          QStringLiteral("pcm.!default {\n    type file\n    slave.pcm \"null\"\n    file \"%1\"\n"
                                         "    format \"raw\"\n}\n")
                              .arg(device.path())
                              .toLocal8Bit()));
    ASSERT_TRUE(writeFile(home.filePath(QStringLiteral("auravox.ini")),
                          "[AURAVOX V2.2.3]\r\nHELLO=Y\r\nDATE=N\r\nILEST=N\r\nTIME=N\r\nBALANCE=0\r\nVOLUME=0\r\n"));
    ::signal(SIGPIPE, SIG_IGN);

    const QString suffix = QStringLiteral("alsa%1").arg(QCoreApplication::applicationPid());
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

    Peer peer(suffix);
    peer.start({QStringLiteral("send"), QStringLiteral("ZORBEL_PLAY")});
    peer.finish();
    ASSERT_EQ(peer.exitCode(), 0) << peer.errors().toStdString();
    ASSERT_TRUE(until([&] { return err.contains("announcement ended"); })) << err.toStdString();
    ASSERT_TRUE(until([&] { return device.unread() == 0; })) << "hang guard: the pipe drains";

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kHangGuardMs);
    if (!ended)
        program.kill();
    EXPECT_TRUE(ended) << "SIGTERM answered";
    EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    SiblingChannel::removeObjects(Sibling::Names::withSuffix(suffix));

    EXPECT_TRUE(err.contains("announcement started by")) << err.toStdString();
    const QByteArray expected = onBothChannels(samplesOf(readFile(home.filePath(QStringLiteral("kuckoo.wav")))));
    ASSERT_FALSE(expected.isEmpty()) << "the hello file was seeded";
    const QByteArray played = device.data();
    ASSERT_EQ(played.size(), expected.size()) << err.toStdString();
    EXPECT_TRUE(played == expected) << "byte for byte the hello file's samples";
}
