// A whole announcement through the real ALSA code into a capture device: the
// samples that went out are exactly the clips of the message, in order.

#include "app/WorkingFolder.h"
#include "engine/WavLoader.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "support/AlsaCapture.h"
#include "support/MainWindowHarness.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

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
