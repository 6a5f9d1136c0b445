#include "internet/DownloadFile.h"
#include "support/LocalHttpServer.h"
#include "support/WavBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

class DownloadFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.start());
        saved = downloadLimits();
        // Generous enough never to be reached by a working transfer, small
        // enough that a broken test ends.
        DownloadLimits limits;
        limits.totalTimeMs = 10'000;
        setDownloadLimits(limits);
        downloadCookies().setAllCookies({});
    }
    void TearDown() override
    {
        setDownloadLimits(saved);
        downloadCookies().setAllCookies({});
    }

    QString file(const QString &name) const { return dir.filePath(name); }
    QString url(const QString &path) const { return server.url(path); }
    QStringList filesInDir() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void setLimits(int totalTimeMs, qint64 maxBytes = 4 * 1024 * 1024, int maxRedirects = 10)
    {
        setDownloadLimits({totalTimeMs, maxBytes, maxRedirects});
    }
    static HttpResponse held()
    {
        HttpResponse response;
        response.neverAnswer = true;
        return response;
    }
    static HttpResponse streamed(qint64 bytes, int chunkBytes, int intervalMs, bool declareLength)
    {
        HttpResponse response;
        response.streamBytes = bytes;
        response.chunkBytes = chunkBytes;
        response.chunkIntervalMs = intervalMs;
        response.declareLength = declareLength;
        return response;
    }
    static QByteArray streamedBytes(qint64 bytes)
    {
        QByteArray expected(bytes, Qt::Uninitialized);
        for (qint64 i = 0; i < bytes; ++i)
            expected[i] = HttpResponse::streamByte(i);
        return expected;
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    DownloadLimits saved;
};

TEST_F(DownloadFileTest, SavesPagesByteForByte)
{
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(static_cast<char>(i));
    binary.append("\r\n\n\r<html>\0tail", 15);
    server.route("/bin", HttpResponse::text(binary, 200, "application/octet-stream"));
    server.route("/big", streamed(1024 * 1024 + 7, 10'000, 0, true));
    server.route("/closed", streamed(70'000, 4096, 0, false));

    // Over an older, longer file: nothing of it may remain.
    const QString destination = file("page.bin");
    ASSERT_TRUE(writeFile(destination, QByteArray(5000, 'O')));
    DownloadResult result = DownloadFile(url("/bin"), destination);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_EQ(result.bytes, binary.size());
    EXPECT_EQ(readFile(destination), binary);

    result = DownloadFile(url("/big"), file("big.bin"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("big.bin")), streamedBytes(1024 * 1024 + 7));

    // A body without a length, ended by the server closing the connection.
    result = DownloadFile(url("/closed"), file("closed.bin"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("closed.bin")), streamedBytes(70'000));

    EXPECT_EQ(filesInDir(), (QStringList{"big.bin", "closed.bin", "page.bin"}));
}

TEST_F(DownloadFileTest, TinyAndEmptyPagesAreSaved)
{
    // The callers judge a file under three bytes themselves, so these succeed.
    server.route("/one", HttpResponse::text("<"));
    server.route("/empty", HttpResponse::text(""));

    DownloadResult result = DownloadFile(url("/one"), file("one.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.bytes, 1);
    EXPECT_EQ(readFile(file("one.txt")), "<");

    ASSERT_TRUE(writeFile(file("empty.txt"), "old page"));
    result = DownloadFile(url("/empty"), file("empty.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.bytes, 0);
    ASSERT_TRUE(QFile::exists(file("empty.txt")));
    EXPECT_EQ(QFileInfo(file("empty.txt")).size(), 0);
}

TEST_F(DownloadFileTest, FollowsRedirects)
{
    LocalHttpServer other;
    ASSERT_TRUE(other.start());
    other.route("/final", HttpResponse::text("KJFK 071051Z 31012KT"));
    server.route("/new", HttpResponse::text("LFPG 071030Z 24010KT"));
    server.route("/old", HttpResponse::redirect("/new"));                      // relative
    server.route("/moved", HttpResponse::redirect(other.url("/final").toUtf8(), 301)); // other host
    server.route("/see", HttpResponse::redirect("/moved", 303));
    server.route("/temp", HttpResponse::redirect("/see", 307));

    DownloadResult result = DownloadFile(url("/old"), file("a.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_EQ(readFile(file("a.txt")), "LFPG 071030Z 24010KT");

    // Three hops, the last to another server.
    result = DownloadFile(url("/temp"), file("b.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("b.txt")), "KJFK 071051Z 31012KT");
    // Each hop asked once.
    EXPECT_EQ(server.hits("/temp"), 1);
    EXPECT_EQ(server.hits("/see"), 1);
    EXPECT_EQ(server.hits("/moved"), 1);
    EXPECT_EQ(other.hits("/final"), 1);
}

TEST_F(DownloadFileTest, RedirectCountIsBounded)
{
    server.route("/loop", HttpResponse::redirect("/loop"));
    server.route("/r1", HttpResponse::redirect("/r2"));
    server.route("/r2", HttpResponse::redirect("/r3"));
    server.route("/r3", HttpResponse::text("end"));
    ASSERT_TRUE(writeFile(file("page.txt"), "old page"));

    DownloadResult result = DownloadFile(url("/loop"), file("page.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("redirects")) << result.error.toStdString();
    EXPECT_EQ(server.hits("/loop"), 11); // the first request and ten redirects
    EXPECT_EQ(readFile(file("page.txt")), "old page");

    setLimits(10'000, 4 * 1024 * 1024, 2);
    result = DownloadFile(url("/r1"), file("page.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("page.txt")), "end");

    setLimits(10'000, 4 * 1024 * 1024, 1);
    ASSERT_TRUE(writeFile(file("page.txt"), "old page"));
    EXPECT_FALSE(DownloadFile(url("/r1"), file("page.txt")).ok);
    EXPECT_EQ(readFile(file("page.txt")), "old page");
}

TEST_F(DownloadFileTest, HttpsNeedsATrustedCertificateAndNeverFallsBackToHttp)
{
    ASSERT_TRUE(QSslSocket::supportsSsl());
    LocalHttpServer secure;
    ASSERT_TRUE(secure.startTls());
    secure.route("/page", HttpResponse::text("secure page"));
    secure.route("/next", HttpResponse::redirect("/page", 301));
    secure.route("/down", HttpResponse::redirect(url("/plain").toUtf8()));
    server.route("/plain", HttpResponse::text("plain page"));
    server.route("/up", HttpResponse::redirect(secure.url("/page").toUtf8()));

    // The server's certificate is self-signed: refused until trusted.
    ASSERT_TRUE(writeFile(file("page.txt"), "old page"));
    EXPECT_FALSE(DownloadFile(secure.url("/page"), file("page.txt")).ok);
    EXPECT_EQ(readFile(file("page.txt")), "old page");

    const QSslConfiguration plainDefault = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = plainDefault;
    trusting.addCaCertificate(LocalHttpServer::tlsCertificate());
    QSslConfiguration::setDefaultConfiguration(trusting);
    // Qt keeps the refused connection's TLS settings for that host and port.
    downloadNetwork().clearConnectionCache();

    DownloadResult result = DownloadFile(secure.url("/next"), file("page.txt"));
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("page.txt")), "secure page");

    result = DownloadFile(url("/up"), file("up.txt"));
    EXPECT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("up.txt")), "secure page");

    result = DownloadFile(secure.url("/down"), file("page.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(server.hits("/plain"), 0);
    EXPECT_EQ(readFile(file("page.txt")), "secure page");

    QSslConfiguration::setDefaultConfiguration(plainDefault);
}

TEST_F(DownloadFileTest, ErrorStatusesFailAndKeepTheDestination)
{
    server.route("/missing", HttpResponse::text("<html>gone</html>", 404, "text/html"));
    server.route("/broken", HttpResponse::text("<html>oops</html>", 500, "text/html"));
    server.route("/hop", HttpResponse::redirect("/missing"));

    ASSERT_TRUE(writeFile(file("metar_web.txt"), "LFPG 071030Z"));
    DownloadResult result = DownloadFile(url("/missing"), file("metar_web.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.httpStatus, 404);
    EXPECT_TRUE(result.error.contains("404")) << result.error.toStdString();
    EXPECT_EQ(readFile(file("metar_web.txt")), "LFPG 071030Z");

    result = DownloadFile(url("/broken"), file("metar_web.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.httpStatus, 500);
    EXPECT_EQ(readFile(file("metar_web.txt")), "LFPG 071030Z");

    // The status that counts is the one at the end of the redirects.
    result = DownloadFile(url("/hop"), file("new.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.httpStatus, 404);
    EXPECT_EQ(filesInDir(), QStringList{"metar_web.txt"});
}

TEST_F(DownloadFileTest, SilentServerFailsAtTheTimeLimitWhileTheEventLoopRuns)
{
    setLimits(300);
    server.route("/silent", held());
    ASSERT_TRUE(writeFile(file("aprs_web.txt"), "old page"));

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(10);

    const DownloadResult result = DownloadFile(url("/silent"), file("aprs_web.txt"));
    ticker.stop();

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("300 ms")) << result.error.toStdString();
    EXPECT_EQ(result.httpStatus, 0);
    EXPECT_EQ(server.hits("/silent"), 1);
    EXPECT_GT(ticks, 0); // the test's timer ran during the wait
    EXPECT_EQ(readFile(file("aprs_web.txt")), "old page");
    EXPECT_EQ(filesInDir(), QStringList{"aprs_web.txt"});
}

TEST_F(DownloadFileTest, TrickledPageStillEndsAtTheTotalTimeLimit)
{
    // A byte at a time keeps the connection busy: the limit is on the whole
    // transfer, not on a pause.
    setLimits(300);
    server.route("/trickle", streamed(1'000'000, 1, 5, true));

    const DownloadResult result = DownloadFile(url("/trickle"), file("page.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("300 ms")) << result.error.toStdString();
    EXPECT_FALSE(QFile::exists(file("page.txt")));
    EXPECT_TRUE(filesInDir().isEmpty());
}

TEST_F(DownloadFileTest, PageOverTheSizeLimitFails)
{
    setLimits(10'000, 1000);
    server.route("/declared", streamed(1001, 100, 0, true));
    server.route("/undeclared", streamed(50'000, 100, 0, false));
    server.route("/exact", streamed(1000, 100, 0, true));
    server.route("/exact-undeclared", streamed(1000, 100, 0, false));
    ASSERT_TRUE(writeFile(file("versions.txt"), "auravox=2.2.3"));

    DownloadResult result = DownloadFile(url("/declared"), file("versions.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("1000")) << result.error.toStdString();
    EXPECT_EQ(readFile(file("versions.txt")), "auravox=2.2.3");

    result = DownloadFile(url("/undeclared"), file("versions.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(readFile(file("versions.txt")), "auravox=2.2.3");
    EXPECT_EQ(filesInDir(), QStringList{"versions.txt"});

    result = DownloadFile(url("/exact"), file("exact.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("exact.txt")), streamedBytes(1000));
    result = DownloadFile(url("/exact-undeclared"), file("exact2.txt"));
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readFile(file("exact2.txt")), streamedBytes(1000));
}

TEST_F(DownloadFileTest, RefusedConnectionFails)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    ASSERT_TRUE(writeFile(file("page.txt"), "old page"));

    const DownloadResult result =
        DownloadFile(QStringLiteral("http://127.0.0.1:%1/page").arg(port), file("page.txt"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(result.httpStatus, 0);
    EXPECT_EQ(readFile(file("page.txt")), "old page");
    EXPECT_EQ(filesInDir(), QStringList{"page.txt"});
}

TEST_F(DownloadFileTest, BadAddressesAndDestinationsFailWithoutARequest)
{
    server.route("/page", HttpResponse::text("page"));
    ASSERT_TRUE(writeFile(file("page.txt"), "old page"));
    const QString port = QString::number(server.port());

    for (const QString &address : {QString(), QStringLiteral("   "), QStringLiteral("not an address"),
                                   QStringLiteral("http://"), QStringLiteral("ftp://127.0.0.1:%1/page").arg(port),
                                   QStringLiteral("file://") + file("page.txt"),
                                   QStringLiteral("127.0.0.1:%1/page").arg(port)}) {
        const DownloadResult result = DownloadFile(address, file("page.txt"));
        EXPECT_FALSE(result.ok) << address.toStdString();
        EXPECT_FALSE(result.error.isEmpty()) << address.toStdString();
    }
    EXPECT_FALSE(DownloadFile(url("/page"), QString()).ok);
    EXPECT_FALSE(DownloadFile(url("/page"), file("no-such-folder/page.txt")).ok);

    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(readFile(file("page.txt")), "old page");
    EXPECT_EQ(filesInDir(), QStringList{"page.txt"});
}

TEST_F(DownloadFileTest, CookiesAreSharedBetweenDownloadsAndTheJar)
{
    server.route("/login", HttpResponse::text("welcome").withHeader("Set-Cookie", "session=abc123; Path=/"));
    server.route("/page", [](const HttpRequest &request) {
        return HttpResponse::text("cookies: " + request.header("Cookie"));
    });
    server.route("/sign-in", HttpResponse::redirect("/page").withHeader("Set-Cookie", "user=F4ABC; Path=/"));

    QList<QNetworkCookie> stored;
    QObject::connect(&downloadCookies(), &SharedCookieJar::cookieStored,
                     [&stored](const QNetworkCookie &cookie) { stored.append(cookie); });

    ASSERT_TRUE(DownloadFile(url("/page"), file("before.txt")).ok);
    EXPECT_EQ(readFile(file("before.txt")), "cookies: ");

    ASSERT_TRUE(DownloadFile(url("/login"), file("login.txt")).ok);
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].name(), "session");
    ASSERT_TRUE(DownloadFile(url("/page"), file("after.txt")).ok);
    EXPECT_EQ(readFile(file("after.txt")), "cookies: session=abc123");

    // A cookie set by a redirect already goes with the redirected request.
    downloadCookies().setAllCookies({});
    ASSERT_TRUE(DownloadFile(url("/sign-in"), file("signed.txt")).ok);
    EXPECT_EQ(readFile(file("signed.txt")), "cookies: user=F4ABC");

    // A cookie put in by someone else (the login browser's sync) goes out too.
    downloadCookies().setAllCookies({});
    QNetworkCookie browserCookie("token", "xyz");
    ASSERT_TRUE(downloadCookies().setCookiesFromUrl({browserCookie}, QUrl(url("/"))));
    ASSERT_TRUE(DownloadFile(url("/page"), file("browser.txt")).ok);
    EXPECT_EQ(readFile(file("browser.txt")), "cookies: token=xyz");
    EXPECT_EQ(downloadCookies().allCookies().size(), 1);
}

TEST_F(DownloadFileTest, SecondDownloadDuringTheWaitRunsToCompletion)
{
    server.route("/outer", held());
    server.route("/inner", HttpResponse::text("inner page"));

    DownloadResult inner;
    QByteArray innerPage;
    QObject::connect(&server, &LocalHttpServer::requestReceived, &server, [&](const HttpRequest &request) {
        if (request.path() != "/outer")
            return;
        QTimer::singleShot(0, &server, [&] {
            // Runs inside the outer call's wait, as a window's timer would.
            inner = DownloadFile(url("/inner"), file("inner.txt"));
            innerPage = readFile(file("inner.txt"));
            server.answerHeld("/outer", HttpResponse::text("outer page"));
        });
    });

    const DownloadResult outer = DownloadFile(url("/outer"), file("outer.txt"));
    ASSERT_TRUE(inner.ok) << inner.error.toStdString();
    EXPECT_EQ(innerPage, "inner page");
    ASSERT_TRUE(outer.ok) << outer.error.toStdString();
    EXPECT_EQ(readFile(file("outer.txt")), "outer page");
    EXPECT_EQ(readFile(file("inner.txt")), "inner page");
}

TEST_F(DownloadFileTest, FirstDownloadEndingDuringTheSecondOnesWaitIsKept)
{
    // Both calls have the same destination, and the first one's transfer ends
    // while the second one still waits.
    server.route("/first", held());
    server.route("/second", held());

    DownloadResult second;
    QByteArray pageAfterSecond;
    bool firstEndedDuringSecond = false;
    QObject::connect(&server, &LocalHttpServer::requestReceived, &server, [&](const HttpRequest &request) {
        if (request.path() == "/first") {
            QTimer::singleShot(0, &server, [&] {
                second = DownloadFile(url("/second"), file("page.txt"));
                pageAfterSecond = readFile(file("page.txt"));
            });
        } else if (request.path() == "/second") {
            QTimer::singleShot(0, &server, [&] { server.answerHeld("/first", HttpResponse::text("first page")); });
        }
    });
    QObject::connect(&downloadNetwork(), &QNetworkAccessManager::finished, &server, [&](QNetworkReply *reply) {
        if (reply->url().path() == "/first") {
            firstEndedDuringSecond = !second.ok && second.error.isEmpty();
            server.answerHeld("/second", HttpResponse::text("second page"));
        }
    });

    const DownloadResult first = DownloadFile(url("/first"), file("page.txt"));
    EXPECT_TRUE(firstEndedDuringSecond);
    ASSERT_TRUE(second.ok) << second.error.toStdString();
    EXPECT_EQ(pageAfterSecond, "second page");
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    EXPECT_EQ(readFile(file("page.txt")), "first page");
    EXPECT_EQ(filesInDir(), QStringList{"page.txt"});
}

TEST_F(DownloadFileTest, NestedDownloadOutlastingTheFirstOnesLimitFailsOnlyTheFirst)
{
    // The first call can only return once the nested one has; if its own
    // limit passes meanwhile it fails, and the nested page is still saved.
    setLimits(300);
    server.route("/first", held());
    server.route("/slow", held());

    DownloadResult nested;
    QObject::connect(&server, &LocalHttpServer::requestReceived, &server, [&](const HttpRequest &request) {
        if (request.path() != "/first")
            return;
        QTimer::singleShot(0, &server, [&] {
            setLimits(10'000);
            QObject::connect(&downloadNetwork(), &QNetworkAccessManager::finished, &server,
                             [&](QNetworkReply *reply) {
                                 if (reply->url().path() == "/first")
                                     server.answerHeld("/slow", HttpResponse::text("slow page"));
                             });
            nested = DownloadFile(url("/slow"), file("slow.txt"));
        });
    });

    ASSERT_TRUE(writeFile(file("first.txt"), "old page"));
    const DownloadResult first = DownloadFile(url("/first"), file("first.txt"));
    EXPECT_FALSE(first.ok);
    EXPECT_TRUE(first.error.contains("300 ms")) << first.error.toStdString();
    EXPECT_EQ(readFile(file("first.txt")), "old page");
    ASSERT_TRUE(nested.ok) << nested.error.toStdString();
    EXPECT_EQ(readFile(file("slow.txt")), "slow page");
}

} // namespace
