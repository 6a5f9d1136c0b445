// The ALSA wave output, played for real into ALSA's file plugin.

#include "platform/linux/AlsaWaveOutput.h"
#include "support/AlsaCapture.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

class AlsaOutputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AlsaCapture::instance().clear();
        QObject::connect(&out, &WaveOutput::opened, [this] { events << QStringLiteral("opened"); });
        QObject::connect(&out, &WaveOutput::bufferDone,
                         [this](int id) { events << QStringLiteral("done%1").arg(id); });
    }

    // Lets notifications arrive until `count` have come (hang guard only).
    bool waitEvents(int count)
    {
        QDeadlineTimer guard(10000);
        while (events.size() < count && !guard.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return events.size() >= count;
    }

    static PcmFormat mono16() { return PcmFormat{1, 16000, 32000, 2, 16}; }

    QByteArray play(const PcmFormat &format, const QByteArray &a, const QByteArray &b = {})
    {
        EXPECT_TRUE(out.open(WaveOutput::kDefaultDevice, format));
        EXPECT_TRUE(out.prepareHeader(1, a.constData(), a.size()));
        EXPECT_TRUE(out.write(1));
        int expected = 2;
        if (!b.isNull()) {
            EXPECT_TRUE(out.prepareHeader(2, b.constData(), b.size()));
            EXPECT_TRUE(out.write(2));
            expected = 3;
        }
        EXPECT_TRUE(waitEvents(expected));
        out.close();
        EXPECT_TRUE(AlsaCapture::settle(out));
        return AlsaCapture::instance().captured();
    }

    AlsaWaveOutput out;
    QStringList events;
};

QByteArray pcm16(std::initializer_list<qint16> samples)
{
    QByteArray b;
    for (qint16 s : samples) {
        char c[2];
        qToLittleEndian(s, c);
        b.append(c, 2);
    }
    return b;
}

} // namespace

TEST_F(AlsaOutputTest, MonoClipGoesOutOnBothChannelsInOrder)
{
    const QByteArray first = WavBuilder::samples(88200, 1);
    const QByteArray second = WavBuilder::samples(88200 + 2 - 88200, 2); // the one-frame remainder of 88,202 bytes
    const QByteArray stereo = play(mono16(), first, second);
    EXPECT_EQ(events, QStringList({"opened", "done1", "done2"}));
    EXPECT_EQ(AlsaCapture::leftChannel(stereo), first + second);
    EXPECT_EQ(AlsaCapture::rightChannel(stereo), first + second);
}

TEST_F(AlsaOutputTest, EmptyBufferCompletes)
{
    const QByteArray stereo = play(mono16(), QByteArray(""));
    EXPECT_EQ(events, QStringList({"opened", "done1"}));
    EXPECT_TRUE(stereo.isEmpty());
}

TEST_F(AlsaOutputTest, EightBitAndStereoInput)
{
    const QByteArray u8("\x80\x00\xff\x81", 4);
    PcmFormat f8{1, 8000, 8000, 1, 8};
    const QByteArray out8 = play(f8, u8);
    EXPECT_EQ(AlsaCapture::leftChannel(out8), pcm16({0, -32768, 32512, 256}));

    AlsaCapture::instance().clear();
    events.clear();
    const QByteArray st = pcm16({100, -100, 200, -200});
    PcmFormat f2{2, 22050, 88200, 4, 16};
    EXPECT_EQ(play(f2, st), st) << "stereo passes through unchanged at full volume";
}

TEST_F(AlsaOutputTest, VolumeIsAGainPerChannel)
{
    out.setVolume(WaveOutput::kDefaultDevice, 0x00008000u); // left half, right silent
    EXPECT_EQ(out.volume(WaveOutput::kDefaultDevice), 0x00008000u);
    EXPECT_EQ(out.volume(0), 0xFFFFFFFFu) << "other devices stay at full volume";
    const QByteArray stereo = play(mono16(), pcm16({32767, -32768, 1000}));
    EXPECT_EQ(AlsaCapture::leftChannel(stereo), pcm16({16383, -16384, 500}));
    EXPECT_EQ(AlsaCapture::rightChannel(stereo), pcm16({0, 0, 0}));
}

TEST_F(AlsaOutputTest, ResetDropsQueuedBuffersSilently)
{
    const QByteArray big = WavBuilder::samples(88200, 3);
    ASSERT_TRUE(out.open(WaveOutput::kDefaultDevice, mono16()));
    ASSERT_TRUE(out.prepareHeader(1, big.constData(), big.size()));
    ASSERT_TRUE(out.write(1));
    EXPECT_FALSE(out.write(1)) << "a buffer is queued once";
    out.reset();
    out.close();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(events.contains(QStringLiteral("done1")));
    EXPECT_FALSE(events.contains(QStringLiteral("opened"))) << "nothing of a closed session arrives";
    // The device opens again as new.
    events.clear();
    AlsaCapture::instance().clear();
    const QByteArray small = pcm16({1, 2, 3});
    EXPECT_EQ(AlsaCapture::leftChannel(play(mono16(), small)), small);
}

TEST_F(AlsaOutputTest, RefusesWhatItCannotPlay)
{
    EXPECT_FALSE(out.open(WaveOutput::kDefaultDevice, PcmFormat{3, 16000, 96000, 6, 16}));
    EXPECT_FALSE(out.open(WaveOutput::kDefaultDevice, PcmFormat{1, 16000, 24000, 2, 12}));
    EXPECT_FALSE(out.open(WaveOutput::kDefaultDevice, PcmFormat{1, 16000, 16000, 1, 16}));
    EXPECT_FALSE(out.open(WaveOutput::kDefaultDevice, PcmFormat{1, 0, 0, 2, 16}));
    EXPECT_FALSE(out.isOpen());
    EXPECT_FALSE(out.write(1));
    EXPECT_FALSE(out.prepareHeader(1, "x", 1)) << "nothing is open";
    const int devices = out.deviceCount();
    bool ok = true;
    out.deviceName(devices, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(out.open(devices + 5, mono16())) << "a device number that does not exist";
    ASSERT_TRUE(out.open(WaveOutput::kDefaultDevice, mono16()));
    EXPECT_FALSE(out.open(WaveOutput::kDefaultDevice, mono16())) << "one clip at a time";
    EXPECT_FALSE(out.prepareHeader(3, "x", 1));
    EXPECT_FALSE(out.prepareHeader(1, nullptr, 4));
    out.close();
}

// A device that stops taking audio never holds the caller: the clip fails
// within the stall limit, closing it returns at once, and a writer that can't
// close is left behind; the next clip opens the device afresh once it is back.
TEST(AlsaOutputStall, ADeviceThatTakesNoMoreAudioFailsTheClipAndIsOpenedAfreshWhenBack)
{
    StallingDevice device;
    AlsaWaveOutput out(device.pcm());
    out.setStallLimitMs(200);
    QSignalSpy failures(&out, &WaveOutput::failed);
    QSignalSpy done(&out, &WaveOutput::bufferDone);
    device.holdReader(); // opened, never read: the pipe fills and the device stops

    const PcmFormat mono{1, 16000, 32000, 2, 16};
    const QByteArray a = WavBuilder::samples(88200, 4);
    const QByteArray b = WavBuilder::samples(88200, 5);
    ASSERT_TRUE(out.open(WaveOutput::kDefaultDevice, mono));
    ASSERT_TRUE(out.prepareHeader(1, a.constData(), a.size()));
    ASSERT_TRUE(out.write(1));
    ASSERT_TRUE(out.prepareHeader(2, b.constData(), b.size()));
    ASSERT_TRUE(out.write(2));
    ASSERT_TRUE(failures.wait(20000));
    EXPECT_EQ(failures.first().first().value<WaveOutput::Fault>(), WaveOutput::Fault::Play);
    EXPECT_TRUE(done.isEmpty()) << "two buffers of 88,200 bytes never fit the pipe";
    EXPECT_TRUE(out.isOpen()) << "open until the player closes it";
    out.reset();
    out.close(); // returns at once, although the writer is blocked in the pipe
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.lingeringWriters(), 1);

    // The device comes back: the writer left behind ends, and a new clip plays.
    device.drain();
    ASSERT_TRUE(AlsaCapture::settle(out));
    device.clearData();
    const QByteArray small = WavBuilder::samples(3200, 6);
    ASSERT_TRUE(out.open(WaveOutput::kDefaultDevice, mono));
    ASSERT_TRUE(out.prepareHeader(1, small.constData(), small.size()));
    ASSERT_TRUE(out.write(1));
    ASSERT_TRUE(done.wait(20000));
    out.close();
    ASSERT_TRUE(AlsaCapture::settle(out));
    QCoreApplication::processEvents();
    EXPECT_EQ(AlsaCapture::leftChannel(device.data()), small);
    EXPECT_EQ(failures.size(), 1);
}

TEST(AlsaOutputStall, ADeviceThatCannotBeOpenedFailsTheOpenAndTheNextClipWaitsForNothing)
{
    StallingDevice device; // nobody reads: the plugin waits for a reader as it opens
    AlsaWaveOutput out(device.pcm());
    out.setStallLimitMs(200);
    QSignalSpy failures(&out, &WaveOutput::failed);
    QSignalSpy opened(&out, &WaveOutput::opened);
    const PcmFormat mono{1, 16000, 32000, 2, 16};
    ASSERT_TRUE(out.open(WaveOutput::kDefaultDevice, mono));
    ASSERT_TRUE(failures.wait(20000));
    EXPECT_EQ(failures.first().first().value<WaveOutput::Fault>(), WaveOutput::Fault::Open);
    EXPECT_TRUE(opened.isEmpty());
    out.close();

    // Still no reader: a second clip fails too, whether it waits for the first
    // writer until that is left behind, or opens the device itself.
    EXPECT_EQ(out.lingeringWriters(), 1);
    ASSERT_TRUE(out.open(WaveOutput::kDefaultDevice, mono));
    ASSERT_TRUE(failures.wait(20000));
    EXPECT_EQ(failures.last().first().value<WaveOutput::Fault>(), WaveOutput::Fault::Open);
    out.close();
    device.drain();
    EXPECT_TRUE(AlsaCapture::settle(out)) << "both writers end once the device is back";
}
