// Auravox as a Linux desktop program: its command line, its captions, the
// main window's size around the sound card panel, and the APRS login page's
// embedded browser, which comes as a plugin only when it is installed.

#include "app/CommandLine.h"
#include "internet/DownloadFile.h"
#include "internet/ui/LoginBrowser.h"
#include "internet/ui/TFormMeteoAPRS.h"
#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/Programs.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kStart(QDate(2026, 3, 1), QTime(10, 5, 30));

struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
    QStringList homeFiles;
};

// The real program with `arguments`, in an empty working folder.
ProgramRun runProgram(const QStringList &arguments, const char *path = AURAVOX_PROGRAM)
{
    QTemporaryDir home;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("AURAVOX_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QString::fromLocal8Bit(path), arguments);
    ProgramRun r;
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        return r;
    }
    r.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    r.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(program.readAllStandardError());
    r.homeFiles = QDir(home.path()).entryList(QDir::Files);
    return r;
}

} // namespace

TEST(CommandLine, HelpAndVersionWinOverEverythingElse)
{
    CommandLine c;
    EXPECT_EQ(c.parse({"auravox", "--help"}), CommandLine::Action::Help);
    EXPECT_EQ(c.parse({"auravox", "-h"}), CommandLine::Action::Help);
    EXPECT_EQ(c.parse({"auravox", "--version"}), CommandLine::Action::Version);
    // Before QApplication has taken out its own options they look unknown.
    EXPECT_EQ(c.parse({"auravox", "-platform", "xcb", "--version"}), CommandLine::Action::Version);
    EXPECT_EQ(c.parse({"auravox", "--bogus", "--help"}), CommandLine::Action::Help);
}

TEST(CommandLine, TakesNoArgumentsButItsOptions)
{
    CommandLine c;
    EXPECT_EQ(c.parse({"auravox"}), CommandLine::Action::Run);
    EXPECT_FALSE(c.isSet(QStringLiteral("simulate-monitor")));
    EXPECT_EQ(c.parse({"auravox", "--simulate-monitor"}), CommandLine::Action::Run);
    EXPECT_TRUE(c.isSet(QStringLiteral("simulate-monitor")));

    ASSERT_EQ(c.parse({"auravox", "--bogus"}), CommandLine::Action::Error);
    EXPECT_TRUE(c.errorText().startsWith(QLatin1String("auravox: Unknown option 'bogus'"))) << c.errorText().toStdString();
    EXPECT_TRUE(c.errorText().contains(QLatin1String("Try 'auravox --help'")));
    ASSERT_EQ(c.parse({"auravox", "auravox.ini"}), CommandLine::Action::Error);
    EXPECT_TRUE(c.errorText().startsWith(QLatin1String("auravox: unexpected argument 'auravox.ini'")));
    EXPECT_EQ(c.parse({"auravox"}), CommandLine::Action::Run) << "a parse starts afresh";
}

// Both programs, the desktop one and the one without a window.
class CommandLineRun : public ::testing::TestWithParam<const char *>
{
};
AURAVOX_ON_BOTH_PROGRAMS(CommandLineRun);

TEST_P(CommandLineRun, TheProgramAnswersHelpAndVersionAndRefusesTheRest)
{
    const ProgramRun version = runProgram({QStringLiteral("--version")}, GetParam());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QLatin1String("auravox " AURAVOX_VERSION "\n"))) << version.out.toStdString();
    EXPECT_TRUE(version.out.contains(QLatin1String("GPL-2.0-or-later")));
    EXPECT_TRUE(version.homeFiles.isEmpty()) << "nothing starts";

    const ProgramRun help = runProgram({QStringLiteral("--help")}, GetParam());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: %1 [options]\n").arg(programName(GetParam()))))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QLatin1String("--version")));
    EXPECT_FALSE(help.out.contains(QLatin1String("simulate-monitor"))) << "a hidden option";
    EXPECT_TRUE(help.homeFiles.isEmpty());

    const ProgramRun bad = runProgram({QStringLiteral("--bogus")}, GetParam());
    EXPECT_EQ(bad.exitCode, CommandLine::kUsageError);
    EXPECT_TRUE(bad.err.contains(QLatin1String("Unknown option 'bogus'"))) << bad.err.toStdString();
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_TRUE(bad.homeFiles.isEmpty()) << "refused before the working folder is touched";
}

TEST(Desktop, CaptionsSayWhatTheyDoOnLinux)
{
    MainWindowHarness h(kStart);
    EXPECT_EQ(h.find<QCheckBox>("CheckBoxDemarrage")->text(), QStringLiteral("Run Auravox when I log in"));
    EXPECT_EQ(h.find<QRadioButton>("RadioButtonCarteWin")->text(), QStringLiteral("Let the system choose the sound card"));
    EXPECT_EQ(h.form().windowTitle(), QStringLiteral("AURAVOX V" AURAVOX_VERSION));
}

TEST(Desktop, TheMainWindowShrinksBackWhenTheSoundCardPanelCloses)
{
    MainWindowHarness h(kStart);
    h.pump();
    const QSize before = h.form().size();
    h.find<QAction>("MenuCarteSon")->trigger();
    h.pump();
    ASSERT_GT(h.form().height(), before.height()) << "the window grows to hold the panel";
    click(h.find<QPushButton>("BitBtnOKCarteSon"));
    h.pump();
    EXPECT_EQ(h.form().size(), before);

    h.find<QAction>("MenuCarteSon")->trigger();
    h.find<QAction>("MenuCarteSon")->trigger(); // opened twice: still the size from before
    h.pump();
    click(h.find<QPushButton>("BitBtnOKCarteSon"));
    h.pump();
    EXPECT_EQ(h.form().size(), before);
}

TEST(LoginBrowser, WithoutThePluginTheLoginPageOpensInTheDesktopsBrowser)
{
    QTemporaryDir empty;
    LoginBrowser::setPluginFolders({empty.path()});
    MainWindowHarness h(kStart);
    TFormMeteoAPRS &w = h.windows().formMeteoAPRS();
    w.show();
    click(w.findChild<QPushButton *>(QStringLiteral("ButtonLogin")));
    EXPECT_EQ(h.prompts().addresses, QStringList{TFormMeteoAPRS::loginAddress()});
    EXPECT_FALSE(w.findChild<QWidget *>(QStringLiteral("WebBrowser1"))->isVisible());
    EXPECT_FALSE(LoginBrowser::embedded());
    LoginBrowser::setPluginFolders(LoginBrowser::pluginFolders());
}

TEST(LoginBrowser, TheInstalledPluginShowsThePageInsideAndSharesItsLogin)
{
    SharedCookieJar &jar = downloadCookies();
    const QList<QNetworkCookie> saved = jar.allCookies();
    QNetworkCookie earlier("earlier", "1");
    earlier.setDomain(QStringLiteral("aprs.fi"));
    earlier.setPath(QStringLiteral("/"));
    jar.insertCookie(earlier);

    LoginBrowser::setPluginFolders({QStringLiteral("/nonexistent"), QStringLiteral(AURAVOX_FAKE_PLUGIN_DIR)});
    MainWindowHarness h(kStart);
    TFormMeteoAPRS &w = h.windows().formMeteoAPRS();
    w.show();
    const int height = w.height();
    auto *login = w.findChild<QPushButton *>(QStringLiteral("ButtonLogin"));
    click(login);
    h.pump();
    EXPECT_TRUE(h.prompts().addresses.isEmpty()) << "not in the desktop's browser";
    auto *view = w.findChild<QWidget *>(QStringLiteral("FakeLoginView"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget()->objectName(), QStringLiteral("WebBrowser1"));
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->property("loaded").toUrl(), QUrl(TFormMeteoAPRS::loginAddress()));
    EXPECT_EQ(view->property("startCookies").toStringList(), QStringList{"earlier"}) << "starts with the downloads' cookies";
    bool loggedIn = false;
    for (const QNetworkCookie &c : jar.cookiesForUrl(QUrl(QStringLiteral("https://aprs.fi/info/a/F4ABC-13"))))
        loggedIn = loggedIn || c.name() == "aprs_session";
    EXPECT_TRUE(loggedIn) << "the login's cookie goes to the downloads";
    EXPECT_GT(w.height(), height);

    click(login); // hides the page again
    h.pump();
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(view->property("stops").toInt(), 1);
    EXPECT_EQ(w.height(), height);
    click(login);
    EXPECT_EQ(w.findChildren<QWidget *>(QStringLiteral("FakeLoginView")).size(), 1) << "one view, made once";

    jar.setAllCookies(saved);
    LoginBrowser::setPluginFolders(LoginBrowser::pluginFolders());
}
