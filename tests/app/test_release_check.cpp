#include "app/ReleaseCheck.h"
#include "app/ui/TFormInfo.h"
#include "internet/DownloadFile.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::ReleaseCheck;
using namespace auravox::test;

TEST(ReleaseVersionNumber, ReadsThePartsAsWholeNumbers)
{
    const QList<QPair<QString, int>> cases = {
        {"2.2.3", 2'002'003}, {"2.10.0", 2'010'000}, {"2.2", 2'002'000}, {"", 0},
        {".2.3", 2'003}, {"2..3", 2'000'003}, {"4rc1.2.3", 4'002'003}, {"2.2.3.9", 2'002'003},
        {"v2.2.3", 0}, {" 2.2.3", 0}, {"2.x.3", 2'000'000}, {"2.2.x", 2'002'000},
        {"2.1000.0", 2'999'000}, {"99999999999999.9", 999'009'000},
    };
    for (const auto &[text, number] : cases)
        EXPECT_EQ(VersionNumber(text), number) << text.toStdString();

    const QStringList ascending = {"", "0.0.1", "1.9.9", "2.2.3", "2.2.4", "2.9.9", "2.10.0", "2.10.1", "10.0.0"};
    for (qsizetype i = 1; i < ascending.size(); ++i)
        EXPECT_LT(VersionNumber(ascending[i - 1]), VersionNumber(ascending[i])) << ascending[i].toStdString();

    EXPECT_EQ(judgeRelease("", "2.2.3"), ReleaseVerdict::NoVersion);
    EXPECT_EQ(judgeRelease("2.2.3", "2.2.3"), ReleaseVerdict::UpToDate);
    EXPECT_EQ(judgeRelease("2.2.2", "2.2.3"), ReleaseVerdict::UpToDate);
    EXPECT_EQ(judgeRelease("beta", "2.2.3"), ReleaseVerdict::UpToDate);
    EXPECT_EQ(judgeRelease("2.2.4", "2.2.3"), ReleaseVerdict::Newer);
    EXPECT_EQ(judgeRelease("2.10.0", "2.9.9"), ReleaseVerdict::Newer);
}

TEST(ReleaseList, TakesTheFirstExactKeyLine)
{
    const QList<QPair<QByteArray, QString>> cases = {
        {"zorbel=1.0\r\nauravox=2.2.4\r\nauravox=9.9.9\r\n", "2.2.4"},
        {"AURAVOX=3.0.0\r\nauravoxx=3.0.1\r\nauravox =3.0.2\r\nxauravox=3.0.3\r\n=auravox=3.0.4\r\n"
         "note: auravox=3.0.5\r\nauravox\r\n", ""},
        {"auravox=2.2.4\n<!-- a page only from the fourth byte on -->", "2.2.4"},
        {"\xEF\xBB\xBF" "auravox=2.2.4", "2.2.4"},
        {"auravox=  2.2.5 \r\n", "2.2.5"},
        {"auravox=\r\nauravox=2.2.6\r\n", ""}, // the first line wins, even empty
        {"<html><body>auravox=2.2.4</body></html>", ""},
        {"\r\n<auravox=2.2.4", ""},
        {"\r\n", ""},
        {"", ""},
    };
    for (const auto &[bytes, version] : cases)
        EXPECT_EQ(versionFromReleaseList(bytes, kProgramKey), version) << bytes.toStdString();
}

namespace {

class ReleaseServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        ASSERT_TRUE(server.start());
        setReleaseHost(server.url(QString()));
        savedLimits = downloadLimits();
        setDownloadLimits({10'000, 4 * 1024 * 1024, 10}); // only so that a broken test ends
    }
    void TearDown() override
    {
        setDownloadLimits(savedLimits);
        setReleaseHost(QString());
        QDir::setCurrent(previousDir);
    }
    void serveList(const QByteArray &body, int status = 200)
    {
        server.route(kListPath.toLatin1(), HttpResponse::text(body, status));
    }
    // A port where nothing listens.
    static QString refusingHost()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        return QStringLiteral("http://127.0.0.1:%1").arg(port);
    }
    bool localCopyExists() const { return QFile::exists(dir.filePath(kLocalCopy)); }

    QTemporaryDir dir;
    QString previousDir;
    LocalHttpServer server;
    DownloadLimits savedLimits;
};

} // namespace

TEST_F(ReleaseServer, FetchReadsTheListAndLeavesNoCopy)
{
    serveList("zorbel=1.4.0\r\nauravox=2.2.4\r\n");
    EXPECT_EQ(FetchReleaseVersion(kProgramKey), "2.2.4");
    EXPECT_EQ(server.hits(kListPath.toLatin1()), 1);
    EXPECT_FALSE(localCopyExists());

    // A copy left by an earlier run never passes for the list.
    for (int status : {404, 500}) {
        QFile stale(dir.filePath(kLocalCopy));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("auravox=9.9.9\r\n");
        stale.close();
        serveList("auravox=9.9.8\r\n", status);
        EXPECT_EQ(FetchReleaseVersion(kProgramKey), "") << status;
        EXPECT_FALSE(localCopyExists());
    }
}

TEST_F(ReleaseServer, InfoWindowChecksOnDemandAndAtStart)
{
    const QString newer = newReleaseMessage();
    EXPECT_EQ(newer, "A more recent release of Auravox is available at " + server.url("/software.htm"));
    struct Case { QByteArray body; int status; QString onDemand; };
    const QList<Case> cases = {
        {"auravox=2.2.4\r\n", 200, newer},
        {"auravox=2.2.3\r\n", 200, kUpToDateMessage},
        {"auravox=2.10.0\r\n", 200, newer},
        {"AURAVOX=3.0.0\r\n", 200, kInternetFailureMessage},
        {"auravox=\r\n", 200, kInternetFailureMessage},
        {"<html>auravox=2.2.4</html>", 200, kInternetFailureMessage},
        {"auravox=2.2.4\r\n", 404, kInternetFailureMessage},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body.toStdString() + " " + std::to_string(c.status));
        serveList(c.body, c.status);
        ScriptedPrompts prompts;
        TFormInfo form(prompts, "2.2.3");
        form.BitBtnNewReleaseClick();
        EXPECT_EQ(prompts.messages, QStringList{c.onDemand});
        EXPECT_EQ(prompts.beeps, c.onDemand == newer ? 1 : 0);

        // At start-up only a newer release is told.
        prompts.messages.clear();
        prompts.beeps = 0;
        form.checkAtStart();
        EXPECT_EQ(prompts.messages, c.onDemand == newer ? QStringList{newer} : QStringList{});
        EXPECT_EQ(prompts.beeps, c.onDemand == newer ? 1 : 0);
        EXPECT_FALSE(localCopyExists());
    }
}

TEST_F(ReleaseServer, InfoWindowWithoutConnection)
{
    setReleaseHost(refusingHost());
    ScriptedPrompts prompts;
    TFormInfo form(prompts, "2.2.3");
    form.checkAtStart();
    EXPECT_TRUE(prompts.messages.isEmpty());
    form.BitBtnNewReleaseClick();
    EXPECT_EQ(prompts.messages, QStringList{kInternetFailureMessage});
    EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(ReleaseServer, InfoWindowIgnoresASecondCheckDuringTheDownload)
{
    ScriptedPrompts prompts;
    TFormInfo form(prompts, "2.2.3");
    auto *button = form.findChild<QPushButton *>("BitBtnNewRelease");
    ASSERT_TRUE(button);
    bool enabledDuringDownload = true;
    server.route(kListPath.toLatin1(), [&](const HttpRequest &) {
        enabledDuringDownload = button->isEnabled();
        form.BitBtnNewReleaseClick(); // a click while the first check waits
        form.checkAtStart();
        return HttpResponse::text("auravox=2.2.3\r\n");
    });
    form.BitBtnNewReleaseClick();
    EXPECT_EQ(server.hits(kListPath.toLatin1()), 1);
    EXPECT_EQ(prompts.messages, QStringList{kUpToDateMessage});
    EXPECT_FALSE(enabledDuringDownload);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(form.checking());
}

TEST_F(ReleaseServer, InfoWindowControls)
{
    ScriptedPrompts prompts;
    TFormInfo form(prompts, "2.2.3");
    EXPECT_EQ(form.windowTitle(), "Info");
    auto *label1 = form.findChild<QLabel *>("Label1");
    auto *url = form.findChild<QLabel *>("LabelUrl3");
    auto *ok = form.findChild<QPushButton *>("BitBtn1");
    ASSERT_TRUE(label1 && url && ok);
    EXPECT_EQ(label1->text(), "AURAVOX");
    form.showVersion("2.2.3");
    EXPECT_EQ(label1->text(), "AURAVOX V2.2.3");

    form.show();
    QTest::mouseClick(url, Qt::RightButton);
    EXPECT_TRUE(prompts.addresses.isEmpty());
    QTest::mouseClick(url, Qt::LeftButton);
    EXPECT_EQ(prompts.addresses, QStringList{server.url("/")});
    EXPECT_EQ(url->text(), server.url("/"));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(server.hits(kListPath.toLatin1()), 0); // showing the window checks nothing
}
