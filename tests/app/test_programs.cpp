// The two programs side by side: what the one without a window links, and
// the command line and the configuration, which must be the same in both.

#include "support/Programs.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace auravox;
using namespace auravox::test;

namespace {

QByteArray sharedLibraries(const char *program)
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QString::fromLocal8Bit(program)});
    EXPECT_TRUE(ldd.waitForFinished(60000));
    return ldd.readAllStandardOutput();
}

QProcessEnvironment programEnvironment(const QTemporaryDir &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    // No page: two programs of the suite may run at once.
    return env;
}

// Runs `program` with `arguments` to its end; its exit code and standard output.
int runToEnd(const char *program, const QStringList &arguments, QByteArray *out, QByteArray *err = nullptr)
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(programEnvironment(home));
    p.start(QString::fromLocal8Bit(program), arguments);
    EXPECT_TRUE(p.waitForFinished(60000));
    *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

TEST(Programs, TheHeadlessProgramLinksNoQtGuiWidgetsOrXLibrary)
{
    const QByteArray daemon = sharedLibraries(AURAVOX_DAEMON);
    ASSERT_TRUE(daemon.contains("libQt6Core.so")) << daemon.toStdString();
    EXPECT_TRUE(daemon.contains("libasound.so")) << daemon.toStdString();
    const QRegularExpression forbidden(QStringLiteral("libQt6(Gui|Widgets|OpenGL|Xcb|DBus)|libX|libxcb|libgtk|libGL|"
                                                      "libEGL|libxkb|libfontconfig|libfreetype"));
    const QString text = QString::fromLocal8Bit(daemon);
    EXPECT_FALSE(forbidden.match(text).hasMatch()) << daemon.toStdString();
    // The same check on the desktop program finds what it is for.
    EXPECT_TRUE(forbidden.match(QString::fromLocal8Bit(sharedLibraries(AURAVOX_PROGRAM))).hasMatch());
}

class ProgramCommandLine : public ::testing::TestWithParam<const char *>
{};
AURAVOX_ON_BOTH_PROGRAMS(ProgramCommandLine);

TEST_P(ProgramCommandLine, HelpVersionAndAWrongOptionAnswerAsTheOtherProgramDoes)
{
    const QString name = programName(GetParam());
    QByteArray out, err;
    ASSERT_EQ(runToEnd(GetParam(), {QStringLiteral("--version")}, &out), 0);
    EXPECT_TRUE(out.startsWith("auravox " AURAVOX_VERSION "\n")) << out.toStdString();
    ASSERT_EQ(runToEnd(GetParam(), {QStringLiteral("--help")}, &out), 0);
    EXPECT_TRUE(out.startsWith("Usage: " + name.toUtf8() + " [options]\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("--set-web-password")) << out.toStdString();
    EXPECT_FALSE(out.contains("simulate-monitor")) << "a hidden option";
    EXPECT_TRUE(out.contains("See " + name.toUtf8() + "(1) for the files")) << "its own manual page: " << out.toStdString();
    EXPECT_EQ(runToEnd(GetParam(), {QStringLiteral("--no-such-option")}, &out, &err), 64);
    EXPECT_TRUE(err.contains(name.toUtf8() + ": Unknown option 'no-such-option'.\n")) << err.toStdString();
    EXPECT_TRUE(err.contains("Try '" + name.toUtf8() + " --help'")) << err.toStdString();
}

TEST_P(ProgramCommandLine, ThePasswordCommandSpeaksInTheProgramsOwnName)
{
    QTemporaryDir home;
    QProcess p;
    p.setProcessEnvironment(programEnvironment(home));
    p.start(QString::fromLocal8Bit(GetParam()), {QStringLiteral("--set-web-password")});
    ASSERT_TRUE(p.waitForStarted());
    p.closeWriteChannel(); // no password comes
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    const QByteArray err = p.readAllStandardError();
    EXPECT_TRUE(err.contains(programName(GetParam()).toUtf8() + ": no password given\n")) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("auravox_web.pwd")))) << "no password stored";
}

namespace {

// Runs `program` on `ini` until it says it runs, stops it with SIGTERM and
// returns what it saved.
QByteArray savedAfterARun(const char *program, const QByteArray &ini)
{
    QTemporaryDir home;
    EXPECT_TRUE(writeFile(home.filePath(QStringLiteral("auravox.ini")), ini));
    QProcess p;
    p.setProcessEnvironment(programEnvironment(home));
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setReadChannel(QProcess::StandardError);
    p.start(QString::fromLocal8Bit(program), {});
    EXPECT_TRUE(p.waitForStarted());
    QByteArray err;
    while (!err.contains("running in") && p.waitForReadyRead(20000))
        err += p.readAllStandardError();
    EXPECT_TRUE(err.contains("running in")) << err.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    EXPECT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    return readFile(home.filePath(QStringLiteral("auravox.ini")));
}

} // namespace

// A file the desktop program saved is saved again byte for byte by the
// headless one: the keys of every model and of every source in file order.
TEST(Programs, TheHeadlessProgramSavesTheDesktopsFileByteForByte)
{
    const QByteArray ini = "[AURAVOX V2.2.3]\r\nRECORD=Y\r\nPERIOD=2\r\nSTART_RANGE=6\r\nEND_RANGE=22\r\n"
                           "HELLO=Y\r\nDATE=N\r\nPAUSE=3\r\nVOLUME=3\r\nBALANCE=-20\r\nUNITTC=N\r\nMETEO=W23\r\n"
                           "W23_METPERI=5\r\nW23_POFFSET=2\r\nMETAR_METPERI=7\r\nAPRS_METPERI=9\r\nWEB=N\r\n";
    const QByteArray desktop = savedAfterARun(AURAVOX_PROGRAM, ini);
    ASSERT_TRUE(desktop.contains("\r\nMETAR_METPERI=7\r\n")) << desktop.toStdString();
    const QByteArray headless = savedAfterARun(AURAVOX_DAEMON, desktop);
    EXPECT_EQ(headless, desktop) << "headless:\n" << headless.toStdString();

    // From the same hand-written file, the headless program saves what it read.
    const QByteArray own = savedAfterARun(AURAVOX_DAEMON, ini);
    for (const char *line : {"\r\nPERIOD=2\r\n", "\r\nMETEO=W23\r\n", "\r\nW23_METPERI=5\r\n", "\r\nVOLUME=3\r\n",
                             "\r\nMETAR_METPERI=7\r\n", "\r\nAPRS_METPERI=9\r\n"})
        EXPECT_TRUE(own.contains(line)) << line << own.toStdString();
}
