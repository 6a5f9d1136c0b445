// The clip player: every check of a WAV file in its order with its text, the
// two alternating buffers, the end of a clip, and failures during playback.

#include "common/Clock.h"
#include "engine/ClipCatalogue.h"
#include "engine/ClipPlayer.h"
#include "support/FakeWaveOutput.h"
#include "support/QtPrinters.h"
#include "support/RecordingEvents.h"
#include "support/ScriptedPrompts.h"
#include "support/WavBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace auravox;
using namespace auravox::test;

namespace {

class ClipPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        clipDir = dir.filePath(QStringLiteral("clips"));
        QDir().mkpath(clipDir);
        WavBuilder w;
        w.data = WavBuilder::samples(1000, 1);
        ASSERT_TRUE(writeFile(clipDir + QStringLiteral("/SON_TEST.wav"), w.build()));
        WavBuilder shortFmt;
        shortFmt.formatLength = 40; // claims more than the file holds
        QByteArray broken = shortFmt.build().left(30);
        ASSERT_TRUE(writeFile(clipDir + QStringLiteral("/SON_BROKEN.wav"), broken));
        catalogue = std::make_unique<ClipCatalogue>(clipDir);
        player = std::make_unique<ClipPlayer>(wave, *catalogue, clock, prompts, events);
        ASSERT_TRUE(player->allocMem());
    }

    QString file(const char *name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }

    // Plays to the end through the event loop; false if it never ends.
    bool playToEnd()
    {
        for (int i = 0; i < 1000 && player->isPlaying(); ++i)
            QCoreApplication::processEvents();
        return !player->isPlaying();
    }

    QString lastStatus() const { return events.statuses.value(events.statuses.size() - 1); }

    QTemporaryDir dir;
    QString clipDir;
    ManualClock clock{QDateTime(QDate(2026, 3, 1), QTime(10, 5))};
    FakeWaveOutput wave;
    ScriptedPrompts prompts;
    RecordingEvents events;
    std::unique_ptr<ClipCatalogue> catalogue;
    std::unique_ptr<ClipPlayer> player;
};

TEST_F(ClipPlayerTest, DamagedFilesAreRefusedWithTheTextOfTheFirstFailingCheck)
{
    struct Case
    {
        const char *what;
        QByteArray bytes;
        const char *text;
    };
    WavBuilder ok;
    ok.data = WavBuilder::samples(100);
    const QByteArray good = ok.build();

    WavBuilder nonPcm = ok;
    nonPcm.formatTag = 0x55; // MPEG layer 3
    WavBuilder extensiblePcmLowByte = ok;
    extensiblePcmLowByte.formatTag = 0x0101; // only the low byte is looked at
    WavBuilder threeChannels = ok;
    threeChannels.channels = 3;
    WavBuilder wrongRate = ok;
    wrongRate.byteRate = 32001;
    WavBuilder hugeData = ok;
    hugeData.declaredDataLength = 0x7FFFFFF0; // must not be allocated
    WavBuilder withList = ok;
    withList.chunksBeforeData = WavBuilder::chunk("LIST", QByteArray(10, 'l'));
    WavBuilder shortChunkBody = ok;
    shortChunkBody.chunksBeforeData = QByteArray("LIST") + QByteArray("\x00\x10\x00\x00", 4) + "abc";
    shortChunkBody.data.clear();

    const std::vector<Case> cases = {
        {"fewer than 20 bytes", good.left(19), "Err: wave file"},
        {"format chunk cut short", good.left(30), "Err: Reading wave file"},
        {"compressed", nonPcm.build(), "Err: none PCM file"},
        {"three channels", threeChannels.build(), "Err: none mono/stereo file"},
        {"byte rate disagrees", wrongRate.build(), "Err: Wave file format"},
        {"no chunk after the format", good.left(36), "Err: Header wave file"},
        {"chunk id without length", withList.build().left(36 + 6), "Err: chunk wave file"},
        {"chunk shorter than its length", shortChunkBody.build().left(shortChunkBody.build().size() - 8),
         "Err: chunk2 wave file"},
        {"data length cut", good.left(42), "Err: Reading(2) wave file"},
        {"data cut short", good.left(good.size() - 1), "Err: Reading(3) wave file"},
        {"data length far beyond the file", hugeData.build(), "Err: Reading(3) wave file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int failuresBefore = events.failures;
        player->playWaveFile(file("bad.wav", c.bytes));
        EXPECT_EQ(lastStatus(), QLatin1String(c.text));
        EXPECT_EQ(events.failures, failuresBefore + 1) << "a failure ends the announcement";
        EXPECT_FALSE(player->isPlaying());
        EXPECT_EQ(wave.openCount(), 0) << "nothing reaches the device";
    }
    // The low byte of the format tag decides.
    player->playWaveFile(file("low.wav", extensiblePcmLowByte.build()));
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(ClipPlayerTest, MissingOrEmptyFileName)
{
    player->playWaveFile(QString());
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Wave file name"));
    player->playWaveFile(dir.filePath(QStringLiteral("nowhere.wav")));
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Wave file name"));
    player->playWaveFile(dir.path());
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Wave file name"));
    // A named pipe nobody writes to is no file: refused at once, not waited for.
    const QString fifo = dir.filePath(QStringLiteral("header.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    player->playWaveFile(fifo);
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Wave file name"));
    EXPECT_EQ(events.failures, 4);
    EXPECT_EQ(wave.openCount(), 0);
}

TEST_F(ClipPlayerTest, BuiltInClipsHaveTheirOwnTexts)
{
    player->playWaveResource(QStringLiteral("son_nothing"));
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Res Wave"));
    EXPECT_EQ(events.failures, 1);
    // A short format chunk in a built-in clip is left to the watchdog timer.
    player->playWaveResource(QStringLiteral("son_broken"));
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Reading Res wave"));
    EXPECT_EQ(events.failures, 1);
    wave.failOpen = true;
    player->playWaveResource(QStringLiteral("SON_test"));
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: WaveOutOpen"));
}

TEST_F(ClipPlayerTest, NamesAreLookedUpWithoutRegardToCase)
{
    player->playWaveResource(QStringLiteral("son_TeSt"));
    ASSERT_TRUE(player->isPlaying());
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(events.ends, 1);
    EXPECT_EQ(wave.sessions().at(0).data, WavBuilder::samples(1000, 1));
}

TEST_F(ClipPlayerTest, LongChunksBeforeDataAndLongFormatChunksArePassedOver)
{
    WavBuilder w;
    w.data = WavBuilder::samples(500, 2);
    w.chunksBeforeData = WavBuilder::chunk("LIST", QByteArray(100 * 1024, 'x'))
                         + WavBuilder::chunk("fact", QByteArray(4, '\0'))
                         + WavBuilder::chunk("odd ", QByteArray(5, 'y')); // padded to an even size
    w.formatLength = 4000;                                                // far over the 2048-byte scratch buffer
    w.extraFormatBytes = QByteArray(4000 - 16, 'z');
    player->playWaveFile(file("long.wav", w.build()));
    ASSERT_TRUE(player->isPlaying()) << lastStatus().toStdString();
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(wave.sessions().at(0).data, w.data);

    WavBuilder eighteen;
    eighteen.formatLength = 18;
    eighteen.extraFormatBytes = QByteArray(2, '\0');
    eighteen.data = WavBuilder::samples(10);
    player->playWaveFile(file("fmt18.wav", eighteen.build()));
    ASSERT_TRUE(player->isPlaying());
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(events.ends, 2);
}

TEST_F(ClipPlayerTest, OddChunkWithoutPadByteStillPlays)
{
    WavBuilder w;
    w.data = WavBuilder::samples(64, 3);
    w.chunksBeforeData = WavBuilder::chunk("note", QByteArray(3, 'n'), false);
    player->playWaveFile(file("nopad.wav", w.build()));
    ASSERT_TRUE(player->isPlaying()) << lastStatus().toStdString();
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(wave.sessions().at(0).data, w.data);
}

TEST_F(ClipPlayerTest, OwnFormatOfEightBitAndStereoFiles)
{
    WavBuilder eight;
    eight.bits = 8;
    eight.rate = 11025;
    eight.data = WavBuilder::samples(300);
    player->playWaveFile(file("u8.wav", eight.build()));
    ASSERT_TRUE(playToEnd());
    WavBuilder stereo;
    stereo.channels = 2;
    stereo.rate = 44100;
    stereo.data = WavBuilder::samples(400);
    player->playWaveFile(file("st.wav", stereo.build()));
    ASSERT_TRUE(playToEnd());
    ASSERT_EQ(wave.sessions().size(), 2);
    const PcmFormat &f8 = wave.sessions()[0].format;
    EXPECT_EQ(f8.bitsPerSample, 8);
    EXPECT_EQ(f8.samplesPerSecond, 11025u);
    EXPECT_EQ(f8.blockAlign, 1);
    const PcmFormat &fs = wave.sessions()[1].format;
    EXPECT_EQ(fs.channels, 2);
    EXPECT_EQ(fs.averageBytesPerSecond, 44100u * 4);
}

TEST_F(ClipPlayerTest, BufferSplitAtTheBufferSize)
{
    for (qsizetype size : {qsizetype(88200), qsizetype(88201), qsizetype(3 * 88200 + 17), qsizetype(0)}) {
        SCOPED_TRACE(size);
        WavBuilder w;
        w.data = WavBuilder::samples(size, 4);
        player->playWaveFile(file("split.wav", w.build()));
        ASSERT_TRUE(player->isPlaying()) << lastStatus().toStdString();
        ASSERT_TRUE(playToEnd());
        const FakeWaveOutput::Session &s = wave.sessions().last();
        EXPECT_EQ(s.data, w.data);
        QList<qsizetype> expected;
        for (qsizetype left = size; left > 0; left -= 88200)
            expected << std::min<qsizetype>(left, 88200);
        if (expected.isEmpty())
            expected << 0; // an empty clip still sends one empty buffer
        EXPECT_EQ(s.writes, expected);
        EXPECT_LE(wave.maxQueued(), 2);
    }
    EXPECT_EQ(events.ends, 4);
    EXPECT_EQ(wave.closeCount(), 4) << "the device is open only while a clip plays";
}

TEST_F(ClipPlayerTest, TheEndComesOnlyWhenEveryWrittenBufferIsBack)
{
    wave.autoComplete = false;
    WavBuilder w;
    w.data = WavBuilder::samples(2 * 88200 + 10);
    player->playWaveFile(file("three.wav", w.build()));
    QCoreApplication::processEvents(); // the open notification
    EXPECT_TRUE(player->isOpened());
    EXPECT_EQ(player->writtenCount(), 2);

    ASSERT_TRUE(wave.completeNext());
    QCoreApplication::processEvents();
    EXPECT_EQ(player->writtenCount(), 3) << "buffer 1 is refilled with the rest";
    EXPECT_EQ(events.ends, 0);
    ASSERT_TRUE(wave.completeNext());
    QCoreApplication::processEvents();
    EXPECT_EQ(events.ends, 0) << "the third buffer is still playing";
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(wave.completeNext());
    QCoreApplication::processEvents();
    EXPECT_EQ(events.ends, 1);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(wave.isOpen());
    // 88,205 frames at 16,000 a second: 5,512.8 ms, counted from the device's opening.
    EXPECT_EQ(clock.waitedMs(), 5513 + 50) << "the rest of the clip's length, then a short pause";
}

// A device that gives a clip back before it can have played it (a pipe or a
// sound server behind it holds audio it does not report): the clip ends only
// once its length has passed on the program's clock since the device opened,
// and then the device is closed and the 50 ms follow.
TEST_F(ClipPlayerTest, AClipEndsNoSoonerThanItsLengthAfterTheDeviceOpened)
{
    WavBuilder w;
    w.data = WavBuilder::samples(32000, 7); // one second
    const QString path = file("second.wav", w.build());
    QStringList waits;
    clock.setWaitHandler([&](int ms) {
        waits << QStringLiteral("%1 ms, device %2").arg(ms).arg(wave.isOpen() ? "open" : "closed");
        clock.advanceMs(ms);
    });
    struct Case
    {
        qint64 heardAfterMs; // when the device gives the buffer back
        QStringList waits;
    };
    const Case cases[] = {
        {0, {"1000 ms, device open", "50 ms, device closed"}},
        {400, {"600 ms, device open", "50 ms, device closed"}},
        {1000, {"50 ms, device closed"}},
        {1700, {"50 ms, device closed"}}, // a device slower than the clip: no more waiting
    };
    wave.autoComplete = false;
    for (const Case &c : cases) {
        waits.clear();
        const int ends = events.ends;
        player->playWaveFile(path);
        QCoreApplication::processEvents(); // the device has opened
        clock.advanceMs(c.heardAfterMs);
        ASSERT_TRUE(wave.completeNext());
        ASSERT_TRUE(playToEnd());
        EXPECT_EQ(waits, c.waits) << "given back after " << c.heardAfterMs << " ms";
        EXPECT_EQ(events.ends, ends + 1);
    }

    // The wall clock set back an hour while the clip plays: the clip still
    // waits no longer than its length.
    waits.clear();
    player->playWaveFile(path);
    QCoreApplication::processEvents();
    clock.advanceSeconds(-3600);
    ASSERT_TRUE(wave.completeNext());
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(waits, QStringList({"1000 ms, device open", "50 ms, device closed"}));
}

// While the clip's length runs out the device may still fail, or the program
// close: the clip then does not end as well.
TEST_F(ClipPlayerTest, AClipGivenUpWhileItsLengthRunsOutDoesNotEnd)
{
    WavBuilder w;
    w.data = WavBuilder::samples(32000, 8);
    const QString path = file("second.wav", w.build());
    wave.autoComplete = false;

    clock.setWaitHandler([&](int ms) {
        clock.advanceMs(ms);
        if (ms == 1000) {
            wave.failCurrent(WaveOutput::Fault::Play);
            QCoreApplication::processEvents();
        }
    });
    player->playWaveFile(path);
    QCoreApplication::processEvents();
    ASSERT_TRUE(wave.completeNext());
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Sound card stopped"));
    EXPECT_EQ(events.failures, 1);
    EXPECT_EQ(events.ends, 0);
    EXPECT_FALSE(wave.isOpen());

    clock.setWaitHandler([&](int ms) {
        clock.advanceMs(ms);
        if (ms == 1000)
            player->clearFlags(); // the program closes
    });
    player->playWaveFile(path);
    QCoreApplication::processEvents();
    ASSERT_TRUE(wave.completeNext());
    QCoreApplication::processEvents();
    EXPECT_EQ(events.ends, 0);
    EXPECT_EQ(events.failures, 1);
}

TEST_F(ClipPlayerTest, AClipAskedForWhileOnePlaysIsRefusedWithABeep)
{
    wave.autoComplete = false;
    player->playWaveResource(QStringLiteral("son_test"));
    ASSERT_TRUE(player->isPlaying());
    player->playWaveResource(QStringLiteral("son_test"));
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Res Wave"));
    player->playWaveFile(file("any.wav", WavBuilder().build()));
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Wave file"));
    EXPECT_EQ(prompts.beeps, 2);
    EXPECT_EQ(events.failures, 2);
    EXPECT_TRUE(player->isPlaying()) << "the playing clip goes on";
    wave.completeNext();
    EXPECT_TRUE(playToEnd());
    EXPECT_EQ(events.ends, 1);
}

TEST_F(ClipPlayerTest, DeviceFailuresWhileStartingAndWhileRefilling)
{
    WavBuilder w;
    w.data = WavBuilder::samples(88201);
    const QString path = file("two.wav", w.build());
    const QList<std::pair<int, const char *>> prepareFailures = {{1, "Err: PrepareHeader1"}, {2, "Err: PrepareHeader2"}};
    for (const auto &[call, text] : prepareFailures) {
        FakeWaveOutput fresh;
        ClipPlayer p(fresh, *catalogue, clock, prompts, events);
        fresh.failPrepareOnCall = call;
        p.playWaveFile(path);
        EXPECT_EQ(lastStatus(), QLatin1String(text));
        EXPECT_FALSE(p.isPlaying());
    }
    {
        FakeWaveOutput fresh;
        fresh.failWriteOnCall = 3;
        ClipPlayer p(fresh, *catalogue, clock, prompts, events);
        p.playWaveResource(QStringLiteral("son_test"));
        EXPECT_TRUE(p.isPlaying()) << "one buffer only: no second write";
        p.stopDevice();
        p.clearFlags();
        p.playWaveFile(path);
        EXPECT_EQ(lastStatus(), QStringLiteral("Err: WaveOutWrite2"));
    }
    {
        // Refilling fails: the clip ends early with what is queued.
        FakeWaveOutput fresh;
        fresh.autoComplete = false;
        fresh.failPrepareOnCall = 3;
        ClipPlayer p(fresh, *catalogue, clock, prompts, events);
        WavBuilder big;
        big.data = WavBuilder::samples(3 * 88200);
        p.playWaveFile(file("big.wav", big.build()));
        QCoreApplication::processEvents();
        const int failuresBefore = events.failures;
        fresh.completeNext();
        QCoreApplication::processEvents();
        EXPECT_EQ(lastStatus(), QStringLiteral("Err: prepare hdr3 wave"));
        EXPECT_EQ(events.failures, failuresBefore + 1);
        const int endsBefore = events.ends;
        fresh.completeNext();
        QCoreApplication::processEvents();
        EXPECT_EQ(events.ends, endsBefore + 1);
        EXPECT_FALSE(p.isPlaying());
    }
}

TEST_F(ClipPlayerTest, WatchdogStopDropsTheQueuedBuffersWithoutAnEnd)
{
    wave.autoComplete = false;
    player->playWaveResource(QStringLiteral("son_test"));
    QCoreApplication::processEvents();
    wave.completeNext(); // posted, then the device is reset before it arrives
    player->stopDevice();
    player->clearFlags();
    QCoreApplication::processEvents();
    EXPECT_EQ(events.ends, 0);
    EXPECT_FALSE(wave.isOpen());
    player->playWaveResource(QStringLiteral("son_test"));
    EXPECT_TRUE(player->isPlaying()) << "the player is usable again";
}

} // namespace

// A device that can't be opened after all, or stops taking audio, fails the
// clip the way a failed load does: its text, the reset, no end of clip; and
// the device is let go, so the next clip opens it again.
TEST_F(ClipPlayerTest, ADeviceThatGivesUpFailsTheClipAndIsLetGo)
{
    WavBuilder w;
    w.data = WavBuilder::samples(200000, 3); // three buffers
    const QString path = file("long.wav", w.build());
    wave.autoComplete = false;
    player->playWaveFile(path);
    ASSERT_TRUE(player->isPlaying());
    wave.failCurrent(WaveOutput::Fault::Open);
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Opening sound card"));
    EXPECT_EQ(events.failures, 1);
    EXPECT_EQ(events.ends, 0);
    EXPECT_FALSE(wave.isOpen());

    player->playWaveResource(QStringLiteral("son_test"));
    ASSERT_TRUE(player->isPlaying()) << "the device opens again";
    wave.failCurrent(WaveOutput::Fault::Open);
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: WaveOutOpen"));

    player->playWaveFile(path);
    ASSERT_TRUE(wave.completeNext()); // the first buffer was heard
    QCoreApplication::processEvents();
    wave.failCurrent(WaveOutput::Fault::Play);
    ASSERT_TRUE(playToEnd());
    EXPECT_EQ(lastStatus(), QStringLiteral("Err: Sound card stopped"));
    EXPECT_EQ(events.failures, 3);
    EXPECT_EQ(events.ends, 0);
    EXPECT_FALSE(wave.isOpen());
}
