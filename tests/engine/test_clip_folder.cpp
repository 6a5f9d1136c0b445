// Where the program finds its voice clips: the shared clips folder of an
// installed program beside its folder of commands, else the source tree's for
// a program run from its build folder; and the clips are read from their
// files when played, each one whole.

#include "engine/ClipCatalogue.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

void writeClip(const QString &folder, const QString &name, int bytes)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    WavBuilder w;
    w.data = WavBuilder::samples(bytes, 1);
    ASSERT_TRUE(writeFile(folder + QLatin1Char('/') + name + QStringLiteral(".wav"), w.build()));
}

} // namespace

TEST(ClipFolder, AnInstalledProgramReadsTheSharedFolderBesideItsCommandsBeforeTheBuildsFallback)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString shared = prefix.filePath(QStringLiteral("share/auravox/clips"));
    const QString fallback = prefix.filePath(QStringLiteral("source/resources/clips"));
    ASSERT_TRUE(QDir().mkpath(bin));
    writeClip(shared, QStringLiteral("SON_FIRST"), 100);
    writeClip(fallback, QStringLiteral("SON_FIRST"), 300);

    EXPECT_EQ(ClipCatalogue::builtInFolder(bin, fallback), shared);
    // Without the shared folder (a program run from its build folder), the fallback.
    ASSERT_TRUE(QDir(shared).removeRecursively());
    EXPECT_EQ(ClipCatalogue::builtInFolder(bin, fallback), fallback);
    // Neither: no folder, and a catalogue of it holds no clip (each one is then
    // a missing clip to the player).
    ASSERT_TRUE(QDir(fallback).removeRecursively());
    EXPECT_EQ(ClipCatalogue::builtInFolder(bin, fallback), QString());
    EXPECT_EQ(ClipCatalogue::builtInFolder(QString(), QString()), QString());
    const ClipCatalogue none{QString()};
    EXPECT_EQ(none.size(), 0);
    EXPECT_EQ(none.open(QStringLiteral("SON_FIRST")), nullptr);
}

TEST(ClipFolder, ClipsAreReadFromTheirFilesWhenPlayedSoAFileChangedSinceTheScanIsReadAsItIsNow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeClip(dir.path(), QStringLiteral("son_first"), 100);
    const ClipCatalogue catalogue(dir.path());
    ASSERT_TRUE(catalogue.contains(QStringLiteral("SON_FIRST")));
    const QByteArray before = catalogue.wavData(QStringLiteral("Son_First"));
    EXPECT_EQ(before.size(), 44 + 100);
    writeClip(dir.path(), QStringLiteral("son_first"), 400);
    EXPECT_EQ(catalogue.wavData(QStringLiteral("SON_FIRST")).size(), 44 + 400) << "nothing is kept from the scan";
}

TEST(ClipFolder, TheProgramsOwnFolderHoldsEveryClipOfTheCatalogue)
{
    const ClipCatalogue catalogue;
    EXPECT_FALSE(ClipCatalogue::builtInFolder().isEmpty());
    EXPECT_EQ(catalogue.size(), 192);
    for (const char *name : {"SON0", "SON100_AND", "SONO9", "SON_FIRST", "SON_KUCKOO"})
        EXPECT_TRUE(catalogue.contains(QLatin1String(name))) << name;
    EXPECT_TRUE(catalogue.wavData(QStringLiteral("SON0")).startsWith("RIFF"));
}
