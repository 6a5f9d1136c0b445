// The operator's voice folder: its WAV files stand in for the built-in clips
// of the same names, one by one; a missing file leaves the built-in clip, and
// a file the player refuses is reported once and the built-in clip is played.

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
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

class VoiceFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        builtIn = dir.filePath(QStringLiteral("clips"));
        voice = dir.filePath(QStringLiteral("voice"));
        QDir().mkpath(builtIn);
        QDir().mkpath(voice);
        for (const char *name : {"SON5", "SON_FIRST", "SON_MIST"}) {
            WavBuilder w;
            w.data = WavBuilder::samples(2000, 1);
            builtInData[QLatin1String(name)] = w.data;
            ASSERT_TRUE(writeFile(builtIn + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".wav"), w.build()));
        }
        catalogue = std::make_unique<ClipCatalogue>(builtIn);
        player = std::make_unique<ClipPlayer>(wave, *catalogue, clock, prompts, events);
        ASSERT_TRUE(player->allocMem());
    }

    // Plays one clip to its end and returns the bytes that reached the device.
    QByteArray play(const QString &name)
    {
        const int before = static_cast<int>(wave.sessions().size());
        player->playWaveResource(name);
        for (int i = 0; i < 1000 && player->isPlaying(); ++i)
            QCoreApplication::processEvents();
        EXPECT_FALSE(player->isPlaying());
        if (wave.sessions().size() <= before)
            return QByteArray();
        return wave.sessions().last().data;
    }

    QTemporaryDir dir;
    QString builtIn;
    QString voice;
    QHash<QString, QByteArray> builtInData;
    ManualClock clock{QDateTime(QDate(2026, 3, 1), QTime(10, 5))};
    FakeWaveOutput wave;
    ScriptedPrompts prompts;
    RecordingEvents events;
    std::unique_ptr<ClipCatalogue> catalogue;
    std::unique_ptr<ClipPlayer> player;
};

} // namespace

TEST_F(VoiceFolderTest, AFileOfTheFolderIsPlayedByteForByteInItsOwnFormat)
{
    // Another rate, stereo, longer than one play buffer, a LIST chunk, and a
    // name in another case: all as the player takes a user file.
    WavBuilder own;
    own.rate = 22050;
    own.channels = 2;
    own.chunksBeforeData = WavBuilder::chunk("LIST", QByteArray("INFOISFT\x04\0\0\0sox\0", 16));
    own.data = WavBuilder::samples(ClipPlayer::kBufferSize + 1001, 7);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/son5.WAV"), own.build()));
    catalogue->setVoiceFolder(voice);

    EXPECT_EQ(catalogue->voiceFile(QStringLiteral("SON5")), voice + QStringLiteral("/son5.WAV"));
    EXPECT_EQ(play(QStringLiteral("son5")), own.data);
    EXPECT_EQ(wave.sessions().last().format.samplesPerSecond, 22050u);
    EXPECT_EQ(wave.sessions().last().format.channels, 2);
    EXPECT_EQ(wave.sessions().last().writes, (QList<qsizetype>{ClipPlayer::kBufferSize, 1001}));
    EXPECT_EQ(events.ends, 1);
    EXPECT_TRUE(events.statuses.isEmpty());

    // The clips the folder lacks are the built-in ones.
    EXPECT_EQ(play(QStringLiteral("SON_FIRST")), builtInData.value(QStringLiteral("SON_FIRST")));

    // Back to the built-in voice.
    catalogue->setVoiceFolder(QString());
    EXPECT_EQ(play(QStringLiteral("SON5")), builtInData.value(QStringLiteral("SON5")));
}

TEST_F(VoiceFolderTest, FilesAddedOrRemovedCountFromTheNextClip)
{
    catalogue->setVoiceFolder(voice);
    EXPECT_EQ(play(QStringLiteral("SON_MIST")), builtInData.value(QStringLiteral("SON_MIST")));
    WavBuilder own;
    own.data = WavBuilder::samples(3000, 3);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/SON_MIST.wav"), own.build()));
    EXPECT_EQ(play(QStringLiteral("SON_MIST")), own.data);
    ASSERT_TRUE(QFile::remove(voice + QStringLiteral("/SON_MIST.wav")));
    EXPECT_EQ(play(QStringLiteral("SON_MIST")), builtInData.value(QStringLiteral("SON_MIST")));

    // A folder that does not exist: the built-in clips, no complaint per clip.
    catalogue->setVoiceFolder(dir.filePath(QStringLiteral("gone")));
    EXPECT_EQ(play(QStringLiteral("SON5")), builtInData.value(QStringLiteral("SON5")));
    EXPECT_TRUE(events.statuses.isEmpty());
    EXPECT_EQ(events.failures, 0);
}

TEST_F(VoiceFolderTest, ARefusedFileIsReportedOnceAndTheBuiltInClipIsPlayed)
{
    WavBuilder mp3;
    mp3.formatTag = 0x55;
    mp3.data = WavBuilder::samples(500);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/SON5.wav"), mp3.build()));
    WavBuilder cut;
    cut.data = WavBuilder::samples(500);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/SON_FIRST.wav"), cut.build().left(60)));
    catalogue->setVoiceFolder(voice);

    EXPECT_EQ(play(QStringLiteral("SON5")), builtInData.value(QStringLiteral("SON5")));
    EXPECT_EQ(events.statuses,
              QStringList{QStringLiteral("Voice file SON5.wav refused: Err: none PCM file, built-in clip played")});
    EXPECT_EQ(events.failures, 0) << "the announcement goes on";
    EXPECT_EQ(events.ends, 1);

    EXPECT_EQ(play(QStringLiteral("SON5")), builtInData.value(QStringLiteral("SON5")));
    EXPECT_EQ(events.statuses.size(), 1) << "reported once";

    EXPECT_EQ(play(QStringLiteral("son_first")), builtInData.value(QStringLiteral("SON_FIRST")));
    EXPECT_EQ(events.statuses.value(1),
              QStringLiteral("Voice file SON_FIRST.wav refused: Err: Reading(3) wave file, built-in clip played"));

    // Mended, it plays; choosing the folder again reports anew.
    WavBuilder good;
    good.data = WavBuilder::samples(700, 9);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/SON_FIRST.wav"), good.build()));
    EXPECT_EQ(play(QStringLiteral("SON_FIRST")), good.data);
    player->forgetRefusedVoiceFiles();
    play(QStringLiteral("SON5"));
    EXPECT_EQ(events.statuses.size(), 3);
    EXPECT_EQ(events.ends, 5);
}

TEST_F(VoiceFolderTest, TheBusyPlayerRefusesBeforeLookingAtTheFolder)
{
    WavBuilder own;
    own.data = WavBuilder::samples(800);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/SON5.wav"), own.build()));
    catalogue->setVoiceFolder(voice);
    wave.autoComplete = false;
    player->playWaveResource(QStringLiteral("SON5"));
    ASSERT_TRUE(player->isPlaying());
    player->playWaveResource(QStringLiteral("SON5"));
    EXPECT_EQ(events.statuses, QStringList{QStringLiteral("Err: Res Wave")});
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(wave.openCount(), 1);
}

// Every built-in clip is in the catalogue's format and fits one play buffer,
// so that a clip never waits for a refill between two buffers.
TEST(BuiltInVoice, EveryClipIsCanonicalPcmMono16kAndFitsOneBuffer)
{
    const ClipCatalogue catalogue;
    ASSERT_EQ(catalogue.size(), 192);
    for (const QString &name : catalogue.names()) {
        SCOPED_TRACE(name.toStdString());
        const std::unique_ptr<QIODevice> in = catalogue.open(name);
        ASSERT_TRUE(in);
        LoadedClip clip;
        ASSERT_EQ(loadWav(*in, clip), ClipError::None);
        EXPECT_EQ(clip.format.channels, 1);
        EXPECT_EQ(clip.format.samplesPerSecond, 16000u);
        EXPECT_EQ(clip.format.bitsPerSample, 16);
        EXPECT_GT(clip.samples.size(), 3200) << "at least a tenth of a second";
        EXPECT_LE(clip.samples.size(), ClipPlayer::kBufferSize);
    }
}

namespace {

// NAME -> text of a two-column table of resources/clips, its header checked.
QHash<QString, QString> readClipTable(const QString &file, const QString &column)
{
    QHash<QString, QString> rows;
    QFile in(QStringLiteral(AURAVOX_SOURCE_DIR "/resources/clips/") + file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << file.toStdString() << ": " << in.errorString().toStdString();
        return rows;
    }
    const QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), QStringLiteral("name\t") + column) << file.toStdString();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines.at(i).split(QLatin1Char('\t'));
        EXPECT_EQ(cells.size(), 2) << file.toStdString() << ":" << i + 1;
        EXPECT_FALSE(rows.contains(cells.at(0))) << file.toStdString() << ": twice " << cells.at(0).toStdString();
        rows.insert(cells.at(0), cells.value(1));
    }
    return rows;
}

} // namespace

// The clips that the voice is told to say otherwise than their words (a
// comma for a short break) still say exactly their words, and are clips of
// the catalogue.
TEST(BuiltInVoice, SpokenFormsSayTheCatalogueWordsOfCatalogueClips)
{
    const ClipCatalogue catalogue;
    const QHash<QString, QString> words = readClipTable(QStringLiteral("words.tsv"), QStringLiteral("words"));
    const QHash<QString, QString> spoken = readClipTable(QStringLiteral("say.tsv"), QStringLiteral("say"));
    ASSERT_FALSE(spoken.isEmpty());
    static const QRegularExpression punctuation(QStringLiteral("[,.;:!?]"));
    for (auto it = spoken.cbegin(); it != spoken.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_TRUE(catalogue.names().contains(it.key()));
        ASSERT_TRUE(words.contains(it.key()));
        QString said = it.value();
        said.replace(punctuation, QString());
        EXPECT_EQ(said.simplified().toLower(), words.value(it.key()).toLower());
        EXPECT_NE(it.value(), words.value(it.key())) << "a line that changes nothing";
    }
}
