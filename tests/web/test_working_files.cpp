#include "support/WavBuilder.h"
#include "web/HttpRequestReader.h"
#include "web/WorkingFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

QByteArray goodWave(int seed = 0)
{
    WavBuilder w;
    w.data = WavBuilder::samples(3200, seed);
    return w.build();
}

// A working folder beside a folder that stands for the rest of the machine.
struct Folders
{
    Folders() : work(root.filePath(QStringLiteral("work"))), outside(root.filePath(QStringLiteral("outside")))
    {
        QDir().mkpath(work);
        QDir().mkpath(outside);
    }
    QString in(const QString &name) const { return work + QLatin1Char('/') + name; }
    QStringList leftovers() const
    {
        QStringList hidden;
        for (const QString &folder : {work, work + QStringLiteral("/voice")})
            for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
                if (name.startsWith(QLatin1String(".upload")))
                    hidden << name;
        return hidden;
    }

    QTemporaryDir root;
    QString work, outside;
};

} // namespace

TEST(WorkingFiles, NamesThatLeaveTheFolderAreRefused)
{
    Folders f;
    const WorkingFiles files(f.work);
    ASSERT_TRUE(QFile::link(f.outside, f.in(QStringLiteral("away"))));
    ASSERT_TRUE(writeFile(f.outside + QStringLiteral("/secret.wav"), goodWave()));
    ASSERT_TRUE(QFile::link(f.outside + QStringLiteral("/secret.wav"), f.in(QStringLiteral("secret.wav"))));
    QDir().mkpath(f.in(QStringLiteral("voice")));
    ASSERT_TRUE(QFile::link(f.in(QStringLiteral("voice")), f.in(QStringLiteral("clips"))));

    for (const char *bad : {"", "/etc/passwd", "../outside/x.wav", "voice/../../outside/x.wav", "./x.wav", "voice//x.wav",
                            ".web_password", "voice/.x.wav", "a\\..\\x.wav", "away/x.wav", "away", "secret.wav",
                            "voice/", "x.wav/.."}) {
        QString why;
        EXPECT_FALSE(files.resolve(QString::fromLatin1(bad), &why)) << bad;
        EXPECT_EQ(why, QStringLiteral("the name must stay inside the working folder")) << bad;
    }
    QString why;
    EXPECT_EQ(files.resolve(QStringLiteral("header.wav"), &why), f.in(QStringLiteral("header.wav")));
    EXPECT_EQ(files.resolve(QStringLiteral("voice/son_1.wav"), &why), f.in(QStringLiteral("voice/son_1.wav")));
    // A link that stays inside is the folder it leads to.
    EXPECT_TRUE(files.resolve(QStringLiteral("clips/son_1.wav"), &why));
}

TEST(WorkingFiles, AnUploadIsStoredOnlyWhenThePlayerCouldPlayIt)
{
    Folders f;
    const WorkingFiles files(f.work);
    const QByteArray old = goodWave(1);
    ASSERT_TRUE(writeFile(f.in(QStringLiteral("header.wav")), old));

    WavBuilder notPcm;
    notPcm.formatTag = 3;
    notPcm.data = WavBuilder::samples(64);
    WavBuilder threeChannels;
    threeChannels.channels = 3;
    threeChannels.data = WavBuilder::samples(60);
    WavBuilder badRate;
    badRate.byteRate = 12345;
    badRate.data = WavBuilder::samples(64);
    WavBuilder shortData;
    shortData.data = WavBuilder::samples(64);
    shortData.declaredDataLength = 6400;
    const std::pair<QByteArray, const char *> refused[] = {
        {QByteArray("RIFF"), "Err: wave file"},
        {notPcm.build(), "Err: none PCM file"},
        {threeChannels.build(), "Err: none mono/stereo file"},
        {badRate.build(), "Err: Wave file format"},
        {shortData.build(), "Err: Reading(3) wave file"}};
    for (const auto &[bytes, text] : refused) {
        EXPECT_EQ(files.storeWave(QStringLiteral("header.wav"), bytes), QLatin1String(text));
        EXPECT_EQ(readFile(f.in(QStringLiteral("header.wav"))), old) << text;
    }
    // The size bound counts the whole body, and a name that is no wave is refused whatever it holds.
    const QByteArray wave = goodWave(2);
    EXPECT_EQ(files.storeWave(QStringLiteral("header.wav"), wave, wave.size() - 1),
              QStringLiteral("the file is too large (%1 bytes at most)").arg(wave.size() - 1));
    EXPECT_EQ(files.storeWave(QStringLiteral("auravox.ini"), wave), QStringLiteral("only .wav files can be uploaded"));
    EXPECT_FALSE(QFile::exists(f.in(QStringLiteral("auravox.ini"))));
    EXPECT_EQ(readFile(f.in(QStringLiteral("header.wav"))), old);

    EXPECT_EQ(files.storeWave(QStringLiteral("header.wav"), wave, wave.size()), QString());
    EXPECT_EQ(readFile(f.in(QStringLiteral("header.wav"))), wave);
    EXPECT_TRUE(f.leftovers().isEmpty()) << f.leftovers().join(' ').toStdString();
}

TEST(WorkingFiles, AnUploadReplacesTheFileInOneStepAndNeverWritesOutside)
{
    Folders f;
    const WorkingFiles files(f.work);
    const QByteArray old = goodWave(1);
    const QString header = f.in(QStringLiteral("header.wav"));
    ASSERT_TRUE(writeFile(header, old));
    // A second name for the old file: written in place, it would change too.
    const QString keep = f.in(QStringLiteral("keep"));
    ASSERT_EQ(::link(QFile::encodeName(header).constData(), QFile::encodeName(keep).constData()), 0);

    const QByteArray wave = goodWave(2);
    ASSERT_EQ(files.storeWave(QStringLiteral("header.wav"), wave), QString());
    EXPECT_EQ(readFile(header), wave);
    EXPECT_EQ(readFile(keep), old);
    struct stat st{};
    ASSERT_EQ(::stat(QFile::encodeName(header).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // Missing folders of the name are made; a voice clip lands in its folder.
    EXPECT_EQ(files.storeWave(QStringLiteral("voice/son_1.wav"), wave), QString());
    EXPECT_EQ(readFile(f.in(QStringLiteral("voice/son_1.wav"))), wave);

    // Through links out of the folder nothing is written, by file or by folder.
    const QString secret = f.outside + QStringLiteral("/secret.wav");
    ASSERT_TRUE(writeFile(secret, old));
    ASSERT_TRUE(QFile::link(secret, f.in(QStringLiteral("secret.wav"))));
    ASSERT_TRUE(QFile::link(f.outside, f.in(QStringLiteral("away"))));
    EXPECT_EQ(files.storeWave(QStringLiteral("secret.wav"), wave), QStringLiteral("the name must stay inside the working folder"));
    EXPECT_EQ(files.storeWave(QStringLiteral("away/new.wav"), wave), QStringLiteral("the name must stay inside the working folder"));
    EXPECT_EQ(files.storeWave(QStringLiteral("../outside/new.wav"), wave), QStringLiteral("the name must stay inside the working folder"));
    EXPECT_EQ(readFile(secret), old);
    EXPECT_EQ(QDir(f.outside).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("secret.wav")});
    // A link inside the folder is not written through either: it is no plain file.
    ASSERT_TRUE(QFile::link(header, f.in(QStringLiteral("alias.wav"))));
    EXPECT_EQ(files.storeWave(QStringLiteral("alias.wav"), goodWave(3)), QStringLiteral("alias.wav is not a plain file"));
    EXPECT_EQ(readFile(header), wave);
    EXPECT_TRUE(f.leftovers().isEmpty()) << f.leftovers().join(' ').toStdString();
}

TEST(WorkingFiles, TheListsShowTheFoldersWavesAndNothingOutside)
{
    Folders f;
    const WorkingFiles files(f.work);
    for (const char *name : {"header.wav", "Hello.WAV", "voice/son_1.wav", "voice/deep/son_2.wav", "notes.txt",
                             ".hidden.wav"}) {
        QDir().mkpath(QFileInfo(f.in(QLatin1String(name))).absolutePath());
        ASSERT_TRUE(writeFile(f.in(QLatin1String(name)), goodWave()));
    }
    ASSERT_TRUE(writeFile(f.outside + QStringLiteral("/far.wav"), goodWave()));
    ASSERT_TRUE(QFile::link(f.outside, f.in(QStringLiteral("away"))));
    EXPECT_EQ(files.waveFiles(), (QStringList{QStringLiteral("header.wav"), QStringLiteral("Hello.WAV"),
                                              QStringLiteral("voice/deep/son_2.wav"), QStringLiteral("voice/son_1.wav")}));
    EXPECT_EQ(files.folders(), (QStringList{QStringLiteral("voice"), QStringLiteral("voice/deep")}));
}

TEST(HttpRequestReader, OnlyTheUploadPathTakesTheLargerBody)
{
    const HttpRequestReader::Limits limits{64 * 1024, 100, QByteArrayLiteral("/api/upload"), 1000};
    auto head = [](const char *target, int length) {
        return QByteArray("POST ") + target + " HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(length) +
               "\r\n\r\n" + QByteArray(length, 'a');
    };
    struct Case
    {
        const char *target;
        int length;
        bool ready;
    };
    for (const Case &c : {Case{"/api/upload?name=a.wav", 1000, true}, Case{"/api/upload", 1001, false},
                          Case{"/api/settings", 101, false}, Case{"/api/upload/x", 101, false},
                          Case{"/api/settings?x=/api/upload", 101, false}, Case{"/api/settings", 100, true}}) {
        HttpRequestReader reader(limits);
        reader.append(head(c.target, c.length));
        HttpRequest request;
        const HttpRequestReader::Result result = reader.next(&request);
        EXPECT_EQ(result == HttpRequestReader::Result::Ready, c.ready) << c.target << ' ' << c.length;
        if (!c.ready) {
            EXPECT_EQ(reader.failureStatus(), 413) << c.target;
        }
    }
}
