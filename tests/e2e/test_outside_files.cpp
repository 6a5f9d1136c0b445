// Files that are not what they seem: a named pipe where the station's history
// file or the header WAV should be. The reader gives its error, the time is
// still spoken, the transmitter is released, and the program answers a stop.

#include "peers/linux/SiblingLink.h"
#include "stations/ui/TFormMeteoW23.h"
#include "support/MainWindowHarness.h"
#include "support/Programs.h"
#include "support/StationFiles.h"
#include "support/WavBuilder.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kNoon(QDate(2026, 3, 1), QTime(12, 0, 30));
constexpr int kGuardMs = 20000;

QString makeFifo(const QTemporaryDir &dir, const char *name)
{
    const QString path = dir.filePath(QLatin1String(name));
    EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    return path;
}

void writeIni(const QTemporaryDir &dir, const QByteArray &body)
{
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")), "[AURAVOX V2.2.3]\r\n" + body));
}


} // namespace

TEST(OutsideFiles, AHistoryFileThatIsAPipeIsAFileErrorAndTheTimeIsStillSpoken)
{
    QTemporaryDir dir;
    const QString fifo = makeFifo(dir, "history.dat"); // nobody writes to it
    writeIni(dir, "METEO=W23\r\nW23_TEMPEXT=Y\r\nW23_DAT=" + fifo.toUtf8() + "\r\n");
    MainWindowHarness h(kNoon, true, nullptr, dir.path()); // the load finishes
    TFormMeteoW23 &source = h.windows().formMeteoW23();
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error"));
    EXPECT_TRUE(source.timer()->isActive()) << "the timer runs on";

    const QStringList clips = h.announce();
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("AURAVOX DONE"));
    EXPECT_TRUE(clips.contains(QStringLiteral("SON_TIME_IS"))) << clips.join(' ').toStdString();
    EXPECT_FALSE(clips.contains(QStringLiteral("SON_EXT_TEMP"))) << "no weather from a file in error";

    // The next reading of the same pipe gives the same error, at once.
    source.ButtonRafraichirClick();
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error"));
}

TEST(OutsideFiles, AHeaderThatIsAPipeFailsItsStepAndReleasesTheTransmitter)
{
    MainWindowHarness h(kNoon);
    h.choosePort(QStringLiteral("COM1"));
    QTemporaryDir dir;
    const QString header = makeFifo(dir, "header.wav");
    h.form().setHeaderPath(header);
    auto *box = h.find<QCheckBox>("CheckBoxEntete");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    ASSERT_TRUE(box->isChecked());

    h.serial().calls.clear();
    EXPECT_TRUE(h.announce().isEmpty());
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("Err: Wave file name"));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR+", "RTS+", "DTR-", "RTS-"})) << "keyed, then released";

    // A real file in its place: the header goes out, then the time.
    ASSERT_TRUE(QFile::remove(header));
    WavBuilder wav;
    wav.data = WavBuilder::samples(2000, 9);
    ASSERT_TRUE(writeFile(header, wav.build()));
    const QStringList clips = h.announce();
    ASSERT_FALSE(clips.isEmpty());
    EXPECT_EQ(clips.first(), QStringLiteral("file:2000"));
    EXPECT_TRUE(clips.contains(QStringLiteral("SON_TIME_IS")));
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("AURAVOX DONE"));
}

// The program itself with "W23_DAT" naming a pipe: it finishes starting and
// a SIGTERM ends it the normal way, its settings saved.
// The desktop program and the one without a window alike.
class OutsideFilesRun : public ::testing::TestWithParam<const char *>
{
};
AURAVOX_ON_BOTH_PROGRAMS(OutsideFilesRun);

TEST_P(OutsideFilesRun, TheProgramStartsAndStopsWithAPipeAsItsHistoryFile)
{
    QTemporaryDir home;
    const QString fifo = makeFifo(home, "history.dat");
    writeIni(home, "METEO=W23\r\nW23_DAT=" + fifo.toUtf8() + "\r\n");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    const QString suffix = QStringLiteral("fifo%1").arg(QCoreApplication::applicationPid());
    env.insert(QStringLiteral("AURAVOX_SIBLING_SUFFIX"), suffix);
    program.setProcessEnvironment(env);
    program.start(QString::fromLocal8Bit(GetParam()), {});
    ASSERT_TRUE(program.waitForStarted());
    QByteArray err;
    const bool started = QTest::qWaitFor(
        [&] {
            err += program.readAllStandardError();
            return err.contains("running in") || program.state() == QProcess::NotRunning;
        },
        kGuardMs);
    ASSERT_TRUE(started && err.contains("running in")) << err.toStdString();

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    const bool ended = QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, kGuardMs);
    if (!ended)
        program.kill();
    ASSERT_TRUE(ended) << err.toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QByteArray saved = readFile(home.filePath(QStringLiteral("auravox.ini")));
    EXPECT_TRUE(saved.contains("W23_DAT=" + fifo.toUtf8() + "\r\n")) << "the setting is kept: " << saved.toStdString();
    SiblingChannel::removeObjects(Sibling::Names::withSuffix(suffix));
}
