// The release check as an operator meets it on a box without a screen: the
// program itself, started with "Check for new release when starting" and its
// release site pointed at a server the test runs on 127.0.0.1, and the
// message boxes, which never open when there is no screen.

#include "app/ui/QtUserPrompts.h"
#include "support/LocalHttpServer.h"
#include "support/Programs.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>

using namespace auravox;
using namespace auravox::test;

namespace {

// The program with `ini` in its working folder and AURAVOX_RELEASE_URL set to
// the test's server. The server lives in this thread, so every wait below
// runs the event loop.
class ReleaseProgram
{
public:
    ReleaseProgram(LocalHttpServer &server, const QByteArray &ini, const char *path = AURAVOX_PROGRAM)
    {
        EXPECT_TRUE(writeFile(home.filePath(QStringLiteral("auravox.ini")), ini));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
        env.insert(QStringLiteral("AURAVOX_PUBLIC_DIR"), home.filePath(QStringLiteral("public")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("AURAVOX_RELEASE_URL"), server.url(QString()) + QLatin1Char('/'));
        env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
        env.remove(QStringLiteral("QT_LOGGING_RULES"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::SeparateChannels);
        program.start(QString::fromLocal8Bit(path), {});
        EXPECT_TRUE(program.waitForStarted());
    }

    ~ReleaseProgram()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    // Standard error so far, once it holds `text` (a hang guard of 60 s, not a timing check).
    QByteArray errorOutputWith(const QByteArray &text)
    {
        const QDeadlineTimer guard(60000);
        while (!err.contains(text) && !guard.hasExpired() && program.state() == QProcess::Running) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            err += program.readAllStandardError();
        }
        err += program.readAllStandardError();
        return err;
    }

    // SIGTERM, as systemd stops it; true when it ended normally with 0.
    bool stop()
    {
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        const QDeadlineTimer guard(60000);
        while (program.state() != QProcess::NotRunning && !guard.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        err += program.readAllStandardError();
        return program.state() == QProcess::NotRunning && program.exitStatus() == QProcess::NormalExit
            && program.exitCode() == 0;
    }

    QTemporaryDir home;
    QProcess program;
    QByteArray err;
};

const QByteArray kCheckAtStart = "[AURAVOX V2.2.3]\r\nVERSTART=1\r\n";
const QByteArray kListPath = "/index_fichiers/versions.txt";

} // namespace

// The desktop program on the offscreen platform and the one without a window alike.
class ReleaseProgramRun : public ::testing::TestWithParam<const char *>
{
};
AURAVOX_ON_BOTH_PROGRAMS(ReleaseProgramRun);

TEST_P(ReleaseProgramRun, ANewerReleaseIsToldInTheLogWithoutABox)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.route(kListPath, HttpResponse::text("zorbel=1.4.0\r\nauravox=2.2.4\r\n"));
    ReleaseProgram p(server, kCheckAtStart, GetParam());
    const QByteArray notice = "A more recent release of Auravox is available at "
        + server.url(QStringLiteral("/software.htm")).toUtf8();
    const QByteArray err = p.errorOutputWith("message (no screen to show it): " + notice);
    EXPECT_TRUE(err.contains("auravox.release: release check at start: " + notice + " (the list gives 2.2.4 this is 2.2.3)"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("message (no screen to show it): " + notice)) << err.toStdString();
    EXPECT_EQ(server.hits(kListPath), 1);
    EXPECT_FALSE(QFile::exists(p.home.filePath(QStringLiteral("versions.txt")))) << "no copy is left";
    EXPECT_TRUE(p.stop()) << p.err.toStdString();
    EXPECT_TRUE(readFile(p.home.filePath(QStringLiteral("auravox.ini"))).contains("VERSTART=1\r\n"));
}

TEST_P(ReleaseProgramRun, AnErrorPageOrAnOlderListSaysNothingButTheLog)
{
    const struct
    {
        HttpResponse answer;
        QByteArray logged;
    } cases[] = {
        {HttpResponse::text("<html>moved</html>", 200, "text/html"), "no version of auravox found at"},
        {HttpResponse::text("AURAVOX=3.0.0\r\nauravox=2.2.3\r\n"), "up to date (the list gives 2.2.3 this is 2.2.3)"},
    };
    for (const auto &c : cases) {
        LocalHttpServer server;
        ASSERT_TRUE(server.start());
        server.route(kListPath, c.answer);
        ReleaseProgram p(server, kCheckAtStart, GetParam());
        const QByteArray err = p.errorOutputWith("auravox.release: release check at start: ");
        EXPECT_TRUE(p.errorOutputWith(c.logged).contains(c.logged)) << err.toStdString();
        EXPECT_EQ(server.hits(kListPath), 1);
        EXPECT_TRUE(p.stop());
        EXPECT_FALSE(p.err.contains("message (no screen")) << "nothing is told at start: " << p.err.toStdString();
    }
}

TEST(HeadlessPrompts, AMessageGoesToTheStatusFieldAndNoBoxOpens)
{
    ASSERT_TRUE(QtUserPrompts::noScreen()) << "the tests run offscreen";
    QWidget parent;
    QtUserPrompts prompts(&parent);
    QStringList status;
    prompts.setStatusSink([&status](const QString &text) { status << text; });
    // A box that opened anyway is seen, and closed so that the test goes on.
    int boxes = 0;
    auto watch = [&boxes] {
        QTimer::singleShot(0, [&boxes] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++boxes;
                modal->close();
            }
        });
    };
    watch();
    prompts.message(QStringLiteral("You are up to date"));
    watch();
    EXPECT_TRUE(prompts.openFileName(QStringLiteral("Fichiers son *.wav|*.wav"), QStringLiteral("wav"), QString())
                    .isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(status, QStringList{QStringLiteral("You are up to date")});
}
