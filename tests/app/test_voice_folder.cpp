// The voice folder setting: chosen in the sound card panel, kept under
// VOICE_FOLDER= after every other key of "auravox.ini", and heard in the
// announcements.

#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {
const QDateTime kSundayMorning(QDate(2026, 3, 1), QTime(10, 5, 30));

QStringList L(std::initializer_list<const char *> names)
{
    QStringList out;
    for (const char *n : names)
        out << QLatin1String(n);
    return out;
}
} // namespace

TEST(VoiceFolder, BrowseSavesTheKeyLastAndTheAnnouncementSpeaksTheFolderFiles)
{
    QTemporaryDir voiceDir;
    ASSERT_TRUE(voiceDir.isValid());
    const QString voice = voiceDir.path();
    WavBuilder timeIs;
    timeIs.data = WavBuilder::samples(12345 * 2, 4);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/Son_Time_Is.wav"), timeIs.build()));
    WavBuilder am;
    am.rate = 8000;
    am.data = WavBuilder::samples(4000, 5);
    ASSERT_TRUE(writeFile(voice + QStringLiteral("/SON_AM.WAV"), am.build()));

    QString home;
    {
        MainWindowHarness h(kSundayMorning);
        h.find<QAction>("MenuCarteSon")->trigger();
        h.prompts().nextFolders << voice;
        click(h.find<QPushButton>("ButtonParcourirVoix"));
        EXPECT_EQ(h.prompts().folderDialogs, 1);
        EXPECT_EQ(h.form().voiceFolder(), voice);
        EXPECT_EQ(h.find<QLineEdit>("EditVoix")->text(), QDir::toNativeSeparators(voice));

        const QStringList clips = h.announce();
        EXPECT_EQ(clips, L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "file:24690", "SON10", "SONO5",
                            "file:4000"}));
        EXPECT_EQ(h.wave().sessions().last().data, am.data) << "byte for byte";
        EXPECT_EQ(h.wave().sessions().last().format.samplesPerSecond, 8000u);
        EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("AURAVOX DONE"));

        // A cancelled dialog keeps the folder.
        click(h.find<QPushButton>("ButtonParcourirVoix"));
        EXPECT_EQ(h.form().voiceFolder(), voice);

        ASSERT_TRUE(h.form().SaveConfiguration());
        const QByteArray ini = readFile(h.folder() + QStringLiteral("/auravox.ini"));
        EXPECT_TRUE(ini.endsWith(QByteArray("\r\nVOICE_FOLDER=") + voice.toLocal8Bit() + "\r\n")) << ini.constData();
        home = h.folder();
        QFile::copy(home + QStringLiteral("/auravox.ini"), voice + QStringLiteral("/saved.ini"));
    }

    // The next start reads it back; "Built-in" goes back to the program's clips
    // and the key is no longer written.
    QTemporaryDir station;
    ASSERT_TRUE(QFile::copy(voice + QStringLiteral("/saved.ini"), station.filePath(QStringLiteral("auravox.ini"))));
    MainWindowHarness h(kSundayMorning, true, nullptr, station.path());
    EXPECT_EQ(h.form().voiceFolder(), voice);
    EXPECT_EQ(h.announce().value(5), QStringLiteral("file:24690"));
    h.find<QAction>("MenuCarteSon")->trigger();
    click(h.find<QPushButton>("ButtonVoixInterne"));
    EXPECT_TRUE(h.form().voiceFolder().isEmpty());
    EXPECT_TRUE(h.find<QLineEdit>("EditVoix")->text().isEmpty());
    EXPECT_EQ(h.announce(),
              L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "SON_TIME_IS", "SON10", "SONO5", "SON_AM"}));
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_FALSE(readFile(station.filePath(QStringLiteral("auravox.ini"))).contains("VOICE_FOLDER="));
}

TEST(VoiceFolder, ARefusedFileShowsItsMessageOnceAndTheAnnouncementGoesOnWithTheBuiltInClip)
{
    QTemporaryDir voiceDir;
    WavBuilder threeChannels;
    threeChannels.channels = 3;
    threeChannels.data = WavBuilder::samples(600);
    ASSERT_TRUE(writeFile(voiceDir.filePath(QStringLiteral("son_am.wav")), threeChannels.build()));
    MainWindowHarness h(kSundayMorning);
    h.form().setVoiceFolder(voiceDir.path());
    QStringList shown;
    QObject::connect(h.find<QLineEdit>("EditData"), &QLineEdit::textChanged,
                     [&shown](const QString &text) { shown << text; });

    const QStringList all =
        L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "SON_TIME_IS", "SON10", "SONO5", "SON_AM"});
    EXPECT_EQ(h.announce(), all);
    EXPECT_EQ(shown.filter(QStringLiteral("Voice file")),
              QStringList{QStringLiteral("Voice file son_am.wav refused: Err: none mono/stereo file, built-in clip played")});
    EXPECT_EQ(shown.last(), QStringLiteral("AURAVOX DONE"));
    EXPECT_EQ(h.announce(), all);
    EXPECT_EQ(shown.filter(QStringLiteral("Voice file")).size(), 1) << "reported once";
}
