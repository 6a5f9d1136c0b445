// The frame of the program: the log, the menus, the help page, the tray, and
// a real run stopped by a signal.

#include "engine/LogBook.h"
#include "support/MainWindowHarness.h"
#include "support/Programs.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include <gtest/gtest.h>

#include <csignal>

using namespace auravox;
using namespace auravox::test;

namespace {
const QDateTime kStart(QDate(2026, 3, 1), QTime(10, 5, 30));

// The real program's environment: its own working folder and desktop
// settings under `home`, no screen.
QProcessEnvironment programEnvironment(const QTemporaryDir &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    return env;
}

} // namespace

TEST(Log, KeepsItsTitleAndTheNewest2160Lines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("auravox.log"));
    LogBook log;
    EXPECT_EQ(log.lines(), QStringList({"Log ZORBEL", ""}));
    const QDateTime t(QDate(2026, 1, 2), QTime(3, 0));
    for (int i = 0; i < 2200; ++i)
        log.add(t.addSecs(3600 * i), QStringLiteral("M\u00e9t\u00e9o MonII entry %1").arg(i), path);
    ASSERT_EQ(log.lines().size(), LogBook::kMaxLines);
    EXPECT_EQ(log.lines().first(), QStringLiteral("Log ZORBEL"));
    EXPECT_TRUE(log.lines().at(1).endsWith(QLatin1String("entry 41"))) << log.lines().at(1).toStdString();
    EXPECT_TRUE(log.lines().last().endsWith(QLatin1String("entry 2199")));
    const QByteArray file = readFile(path);
    EXPECT_TRUE(file.startsWith("Log ZORBEL\r\n"));
    EXPECT_TRUE(file.contains("M\xe9t\xe9o MonII entry 2199\r\n")) << "Windows-1252, CR LF";
    LogBook again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(again.lines(), log.lines());
}

TEST(Log, ALogThatExistedAtStartIsLoadedAndAppended)
{
    QTemporaryDir dir;
    {
        QFile f(dir.filePath(QStringLiteral("auravox.log")));
        f.open(QIODevice::WriteOnly);
        f.write("Log ZORBEL\r\n\r\nold entry\r\n");
    }
    MainWindowHarness h(kStart, true, nullptr, dir.path());
    EXPECT_EQ(h.form().log().lines(), QStringList({"Log ZORBEL", "", "old entry"}));
    h.form().addLogEntry(QStringLiteral("new entry"));
    EXPECT_TRUE(h.find<QPlainTextEdit>("MemoLog")->toPlainText().endsWith(QLatin1String("new entry")));
    EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("auravox.log"))).contains("old entry\r\n"));
}

TEST(Shell, MenusCarryTheirCaptionsAndTheHelpOpensThePage)
{
    MainWindowHarness h(kStart);
    QStringList top;
    for (QAction *a : h.form().menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, QStringList({"File", "WX source", "See WX", "Sound card", "COM port", "?"}));
    QStringList file;
    for (QAction *a : h.find<QMenu>("menuFichier")->actions())
        if (a->isVisible())
            file << a->text();
    EXPECT_EQ(file, QStringList({"Announcement of weather data", "Time range of announcements",
                                 "Run recorder when playing", "Compass card", "My units", "Save configuration",
                                 "Quit"}));
    EXPECT_TRUE(h.find<QAction>("MenuAnnonceToujours")->isChecked());
    EXPECT_TRUE(h.find<QAction>("menu8secteurs")->isChecked());
    h.find<QAction>("Menu16secteurs")->trigger();
    EXPECT_FALSE(h.find<QAction>("menu8secteurs")->isChecked()) << "one compass card at a time";

    h.find<QAction>("MenuAide")->trigger();
    EXPECT_EQ(h.prompts().documents, QStringList{QDir(h.folder()).filePath(QStringLiteral("auravox_help.html"))});

    auto *record = h.find<QAction>("MenuRecord");
    record->trigger();
    EXPECT_TRUE(record->isChecked());
    record->trigger();
    EXPECT_FALSE(record->isChecked());

    h.find<QAction>("MenuCOM")->trigger();
    EXPECT_TRUE(h.com().isVisible());
}

TEST(Shell, WithoutANotificationAreaThereIsNoTrayAndMinimizeKeepsTheWindowReachable)
{
    MainWindowHarness h(kStart);
    EXPECT_EQ(h.form().trayIcon(), nullptr);
    auto *reduce = h.form().findChild<QCheckBox *>(QStringLiteral("CheckBoxReduire"));
    reduce->setChecked(true);
    EXPECT_TRUE(h.form().isMinimized());
    EXPECT_TRUE(h.form().isVisible()) << "with no tray icon to restore it from, the window stays";
    h.form().RestaurerItemClick();
    EXPECT_FALSE(h.form().isMinimized());
}

// The desktop program and the one without a window start and stop alike.
class ShellRun : public ::testing::TestWithParam<const char *>
{
};
AURAVOX_ON_BOTH_PROGRAMS(ShellRun);

TEST_P(ShellRun, TheProgramRunsHeadlessAndStopsCleanlyOnSigterm)
{
    QTemporaryDir home;
    QProcess program;
    program.setProcessEnvironment(programEnvironment(home));
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.setReadChannel(QProcess::StandardError);
    program.start(QString::fromLocal8Bit(GetParam()), {});
    ASSERT_TRUE(program.waitForStarted());
    QByteArray err;
    while (!err.contains("running in") && program.waitForReadyRead(20000))
        err += program.readAllStandardError();
    ASSERT_TRUE(err.contains(programName(GetParam()).toUtf8() + ": V2.2.3 running in")) << err.toStdString();
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("kuckoo.wav"))));
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("auravox_help.html"))));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(readFile(home.filePath(QStringLiteral("auravox.ini"))).startsWith("[AURAVOX V2.2.3]\r\n"))
        << "the configuration is saved on the way out";
}

TEST_P(ShellRun, ASigtermBeforeTheFirstTickLeavesTheConfigurationByteForByte)
{
    QTemporaryDir home;
    const QString iniPath = home.filePath(QStringLiteral("auravox.ini"));
    const QByteArray ini = "[AURAVOX V2.0.1]\r\nPERIOD=2\r\nHELLO=Y\r\nDATE=n\r\nNOT_A_KEY=1\r\nMETEO=W23\r\n";
    {
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    QProcess program;
    program.setProcessEnvironment(programEnvironment(home));
    program.setProcessChannelMode(QProcess::SeparateChannels);
    // The program is born with SIGTERM blocked, so the signal sent below is
    // held until the program installs its handler (which unblocks it): it
    // arrives after the handler and before the first tick, every time.
    program.setChildProcessModifier([] {
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &term, nullptr);
    });
    program.start(QString::fromLocal8Bit(GetParam()), {});
    ASSERT_TRUE(program.waitForStarted());
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(20000));
    const QByteArray err = program.readAllStandardError();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    EXPECT_FALSE(err.contains("running in")) << "stopped before the load";
    EXPECT_EQ(readFile(iniPath), ini) << err.toStdString();
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("auravox.~in"))));
}
