// A download that runs on the event loop, as a source without a window needs:
// the caller's loop goes on while the server takes its time.

#include "internet/DownloadFile.h"
#include "support/LocalHttpServer.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace auravox;
using namespace auravox::test;

namespace {

class AsyncDownload : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.start());
        saved = downloadLimits();
        setDownloadLimits({10'000, 4 * 1024 * 1024, 10});
    }
    void TearDown() override { setDownloadLimits(saved); }

    static HttpResponse held()
    {
        HttpResponse r;
        r.neverAnswer = true;
        return r;
    }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    DownloadLimits saved;
};

} // namespace

TEST_F(AsyncDownload, TheEventLoopRunsOnUntilThePageComes)
{
    server.route("/metar", held());
    const QString target = dir.filePath(QStringLiteral("metar_web.txt"));
    Download download(server.url(QStringLiteral("/metar")), target);
    QSignalSpy done(&download, &Download::finished);
    QSignalSpy asked(&server, &LocalHttpServer::requestReceived);
    download.start();
    EXPECT_FALSE(download.isFinished()) << "start() returns at once";

    // Other timers fire while the server holds the request.
    int ticks = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&ticks] { ++ticks; });
    other.start(0);
    ASSERT_TRUE(asked.wait());
    while (ticks < 3)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(done.isEmpty());
    EXPECT_FALSE(QFile::exists(target)) << "nothing written before the page is whole";

    ASSERT_TRUE(server.answerHeld("/metar", HttpResponse::text("LFPG 081230Z 24012KT 9999 12/08 Q1012\n")));
    ASSERT_TRUE(done.wait());
    ASSERT_EQ(done.size(), 1);
    const auto result = done.at(0).at(0).value<DownloadResult>();
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_EQ(contents(target), QByteArray("LFPG 081230Z 24012KT 9999 12/08 Q1012\n"));
}

TEST_F(AsyncDownload, RedirectsLimitsAndAnAbandonedDownload)
{
    const QString target = dir.filePath(QStringLiteral("aprs_web.txt"));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old page");
    }
    // Followed across a redirect, refused over the size limit: the old file stays.
    server.route("/moved", HttpResponse::redirect("/big"));
    server.route("/big", HttpResponse::text(QByteArray(2000, 'x')));
    setDownloadLimits({10'000, 1000, 10});
    Download big(server.url(QStringLiteral("/moved")), target);
    QSignalSpy bigDone(&big, &Download::finished);
    big.start();
    ASSERT_TRUE(bigDone.wait());
    EXPECT_FALSE(big.result().ok);
    EXPECT_EQ(big.result().error, QStringLiteral("the page is larger than 1000 bytes"));
    EXPECT_EQ(server.hits("/big"), 1);
    EXPECT_EQ(contents(target), QByteArray("old page"));

    // A refused address finishes inside start().
    Download bad(QStringLiteral("ftp://127.0.0.1/x"), target);
    QSignalSpy badDone(&bad, &Download::finished);
    bad.start();
    EXPECT_TRUE(bad.isFinished());
    EXPECT_EQ(badDone.size(), 1);

    // Deleted before the answer: the transfer stops, the old file stays.
    server.route("/slow", held());
    QSignalSpy asked(&server, &LocalHttpServer::requestReceived);
    auto slow = std::make_unique<Download>(server.url(QStringLiteral("/slow")), target);
    slow->start();
    ASSERT_TRUE(asked.wait());
    slow.reset();
    server.answerHeld("/slow", HttpResponse::text("new page")); // too late: nobody waits for it
    QCoreApplication::processEvents();
    EXPECT_EQ(contents(target), QByteArray("old page"));
}
