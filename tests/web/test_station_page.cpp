#include "app/StationWeb.h"
#include "support/MainWindowHarness.h"
#include "support/WavBuilder.h"
#include "engine/VolumeControl.h"
#include "stations/HistorySource.h"
#include "transmitter/PttDevice.h"
#include "transmitter/PttSettings.h"
#include "web/StationWebServer.h"
#include "web/WebPassword.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QTemporaryDir>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kSundayMorning(QDate(2026, 3, 1), QTime(10, 5, 30));
const QString kPassword = QStringLiteral("hilltop-repeater");

// A keying device of the other kinds that opens (or fails, for a device
// named "/dev/missing") and notes the settings it was opened with.
class RecordingPttDevice final : public PttDevice
{
public:
    RecordingPttDevice(const PttSettings &settings, QList<PttSettings> *opened) : m_settings(settings), m_opened(opened)
    {
    }
    bool open() override
    {
        if (m_settings.cm108.device == QLatin1String("/dev/missing")) {
            m_error = QStringLiteral("/dev/missing: No such file or directory");
            return false;
        }
        m_opened->append(m_settings);
        return m_open = true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool setPtt(bool) override { return true; }
    QString pttName() const override { return QStringLiteral("PTT"); }
    ModemStatus inputs() override { return {}; }
    bool startsOnCts() const override { return false; }
    bool startsOnDsr() const override { return false; }
    bool inhibitsOnDcd() const override { return false; }
    std::optional<QStringList> pttFoundUp() override { return QStringList(); }
    QString where() const override { return QStringLiteral("recorded ") + pttKindName(m_settings.kind); }
    QString lastError() const override { return m_error; }

private:
    PttSettings m_settings;
    QList<PttSettings> *m_opened;
    bool m_open = false;
    QString m_error;
};

struct Answer
{
    int status = 0;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// The program's windows with the station page listening on a free port of
// the loopback address, and a browser-like client with a cookie jar.
class StationPage : public ::testing::Test
{
protected:
    StationPage()
        : h(kSundayMorning, true, nullptr, QString(), false, [this](AppDeps &deps) {
              deps.webServer = true;
              deps.webPort = 0;
              deps.webOptions.sweepMs = 10; // the clock's bounds are looked at soon after it moves
              deps.pttDevices = [this](const PttSettings &p) {
                  return std::make_unique<RecordingPttDevice>(p, &opened);
              };
          })
    {
        net.setProxy(QNetworkProxy::NoProxy);
    }

    StationWebServer &server() { return *h.windows().stationWeb().server(); }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }
    quint16 port() const { return const_cast<MainWindowHarness &>(h).windows().stationWeb().server()->port(); }

    void setPassword()
    {
        QString error;
        ASSERT_TRUE(WebPassword::store(h.folder() + QLatin1Char('/') + WebPassword::kFileName, kPassword, &error, 1000));
    }

    Answer request(const QByteArray &verb, const QString &path, const QByteArray &body = QByteArray(),
                   const QList<QPair<QByteArray, QByteArray>> &headers = {})
    {
        QNetworkRequest r(QUrl(base() + path));
        if (!body.isNull())
            r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        for (const auto &hd : headers)
            r.setRawHeader(hd.first, hd.second);
        QNetworkReply *reply = net.sendCustomRequest(r, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        Answer a{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return a;
    }
    Answer get(const QString &path) { return request("GET", path); }
    Answer post(const QString &path, const QByteArray &body, bool withToken = true,
                QList<QPair<QByteArray, QByteArray>> headers = {})
    {
        if (withToken && !token.isEmpty())
            headers.append({"X-Auravox-Token", token});
        return request("POST", path, body, headers);
    }
    void login()
    {
        setPassword();
        const Answer a = post(QStringLiteral("/api/login"),
                              QJsonDocument(QJsonObject{{QStringLiteral("password"), kPassword}}).toJson());
        ASSERT_EQ(a.status, 200) << a.body.toStdString();
        token = a.json().value(QStringLiteral("token")).toString().toLatin1();
        ASSERT_FALSE(token.isEmpty());
    }
    QJsonArray announcements() { return get(QStringLiteral("/api/announcements")).json().value(QStringLiteral("announcements")).toArray(); }
    void choosePort(const QString &name)
    {
        h.com().show();
        auto *list = h.find<QListWidget>("ListBoxCOM");
        const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
    }

    QList<PttSettings> opened; // the other kinds' devices opened, in order
    MainWindowHarness h;
    QNetworkAccessManager net;
    QByteArray token;
};

QStringList upper(const QJsonArray &clips)
{
    QStringList out;
    for (const QJsonValue &v : clips)
        out << v.toString().toUpper();
    return out;
}

} // namespace

TEST_F(StationPage, ServesThePageAndShowsStatusAndTheLastAnnouncement)
{
    ASSERT_NE(port(), 0);
    const Answer page = get(QStringLiteral("/"));
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("station.js"));
    EXPECT_EQ(get(QStringLiteral("/station.css")).status, 200);
    EXPECT_EQ(get(QStringLiteral("/station.js")).status, 200);

    const QStringList played = h.announce();
    ASSERT_FALSE(played.isEmpty());
    const QJsonObject s = get(QStringLiteral("/api/status")).json();
    EXPECT_EQ(s.value(QStringLiteral("version")).toString(), QStringLiteral("2.2.3"));
    EXPECT_EQ(s.value(QStringLiteral("statusField")).toString(), QStringLiteral("AURAVOX DONE"));
    EXPECT_FALSE(s.value(QStringLiteral("busy")).toBool());
    EXPECT_EQ(s.value(QStringLiteral("time")).toString(), TForm1::timeText(h.clock().now()).trimmed());
    EXPECT_EQ(s.value(QStringLiteral("port")).toObject().value(QStringLiteral("name")).toString(), QStringLiteral("No COM"));
    EXPECT_FALSE(s.value(QStringLiteral("access")).toObject().value(QStringLiteral("loggedIn")).toBool());

    const QJsonArray list = announcements();
    ASSERT_EQ(list.size(), 1);
    const QJsonObject a = list.first().toObject();
    EXPECT_EQ(a.value(QStringLiteral("trigger")).toString(), QStringLiteral("button"));
    EXPECT_EQ(a.value(QStringLiteral("outcome")).toString(), QStringLiteral("done"));
    EXPECT_EQ(upper(a.value(QStringLiteral("clips")).toArray()), played);
    EXPECT_TRUE(a.value(QStringLiteral("spoken")).toString().contains(QStringLiteral("sunday"), Qt::CaseInsensitive))
        << a.value(QStringLiteral("spoken")).toString().toStdString();
    EXPECT_FALSE(a.value(QStringLiteral("end")).toString().isEmpty());
}

TEST_F(StationPage, PlayNeedsThePasswordAndTheSessionToken)
{
    // No session at all.
    EXPECT_EQ(post(QStringLiteral("/api/play"), "{}").status, 401);
    setPassword();
    EXPECT_EQ(post(QStringLiteral("/api/login"), R"({"password":"not the one"})").status, 401);
    EXPECT_EQ(post(QStringLiteral("/api/play"), "{}").status, 401);
    login();
    // A session without its token (what another site's page could send), or a wrong one.
    EXPECT_EQ(post(QStringLiteral("/api/play"), "{}", false).status, 403);
    EXPECT_EQ(post(QStringLiteral("/api/play"), "{}", false, {{"X-Auravox-Token", "AAAA"}}).status, 403);
    // The right token from another site's page.
    EXPECT_EQ(post(QStringLiteral("/api/play"), "{}", true, {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_TRUE(h.wave().sessions().isEmpty());
    EXPECT_TRUE(announcements().isEmpty());

    const Answer ok = post(QStringLiteral("/api/play"), "{}", true, {{"Origin", base().toLatin1()}});
    ASSERT_EQ(ok.status, 202) << ok.body.toStdString();
    EXPECT_EQ(ok.json().value(QStringLiteral("announcement")).toObject().value(QStringLiteral("trigger")).toString(),
              QStringLiteral("station page"));
    ASSERT_TRUE(h.runUntilIdle());
    const QStringList webClips = h.playedClips();
    // The same message as the button plays.
    EXPECT_EQ(h.announce(), webClips);
    const QJsonArray list = announcements();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(1).toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("done"));

    // Logged out: the token is worth nothing.
    EXPECT_EQ(post(QStringLiteral("/api/logout"), "{}").status, 200);
    EXPECT_EQ(post(QStringLiteral("/api/play"), "{}").status, 401);
}

TEST_F(StationPage, PlayIsRefusedByDcdAndWhileBusyExactlyAsTheButton)
{
    login();
    choosePort(QStringLiteral("COM1"));
    h.serial().status.dcd = true;
    h.tick(); // the poll sees DCD
    const Answer dcd = post(QStringLiteral("/api/play"), "{}");
    EXPECT_EQ(dcd.status, 409);
    EXPECT_TRUE(dcd.json().value(QStringLiteral("error")).toString().contains(QStringLiteral("DCD")));
    h.clickButton1();
    EXPECT_TRUE(h.wave().sessions().isEmpty());
    EXPECT_FALSE(h.serial().dtr);
    QJsonArray list = announcements();
    ASSERT_EQ(list.size(), 2);
    for (const QJsonValue &v : list)
        EXPECT_EQ(v.toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("refused"));
    EXPECT_EQ(list.at(0).toObject().value(QStringLiteral("trigger")).toString(), QStringLiteral("button"));
    EXPECT_EQ(list.at(1).toObject().value(QStringLiteral("trigger")).toString(), QStringLiteral("station page"));
    EXPECT_TRUE(get(QStringLiteral("/api/status")).json().value(QStringLiteral("port")).toObject().value(QStringLiteral("dcd")).toBool());

    // Busy: the error simulation keeps an announcement busy; the button is disabled.
    h.serial().status.dcd = false;
    h.tick();
    h.form().MenuSimuErreurClick();
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    const Answer busy = post(QStringLiteral("/api/play"), "{}");
    EXPECT_EQ(busy.status, 409);
    EXPECT_EQ(busy.json().value(QStringLiteral("reason")).toString(), QStringLiteral("busy"));
    EXPECT_TRUE(h.wave().sessions().isEmpty());
    EXPECT_EQ(announcements().size(), 3);
    EXPECT_TRUE(get(QStringLiteral("/api/status")).json().value(QStringLiteral("busy")).toBool());
}

TEST_F(StationPage, ThePlayedMessageKeysTheLinesTheStatusShows)
{
    login();
    choosePort(QStringLiteral("COM2"));
    QJsonObject seenDuringPlay;
    h.wave().onWrite = [&](int) {
        if (seenDuringPlay.isEmpty())
            seenDuringPlay = h.windows().stationWeb().status().value(QStringLiteral("port")).toObject();
    };
    ASSERT_EQ(post(QStringLiteral("/api/play"), "{}").status, 202);
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_TRUE(seenDuringPlay.value(QStringLiteral("dtr")).toBool());
    EXPECT_TRUE(seenDuringPlay.value(QStringLiteral("rts")).toBool());
    EXPECT_EQ(seenDuringPlay.value(QStringLiteral("device")).toString(), QStringLiteral("/dev/fake2"));
    const QJsonObject after = get(QStringLiteral("/api/status")).json().value(QStringLiteral("port")).toObject();
    EXPECT_FALSE(after.value(QStringLiteral("dtr")).toBool());
    EXPECT_FALSE(after.value(QStringLiteral("rts")).toBool());
}

TEST_F(StationPage, SettingsChangeGoesThroughTheControlsAndIsSaved)
{
    login();
    const Answer a = post(QStringLiteral("/api/settings"),
                          R"({"period":15,"startHour":6,"endHour":22,"date":false,"dateUS":true,"pause":2,)"
                          R"("source":"W23","items":{"TEMPEXT":true,"HUMIDI":true},"units":{"temperature":"F"}})");
    ASSERT_EQ(a.status, 200) << a.body.toStdString();
    EXPECT_EQ(a.json().value(QStringLiteral("period")).toInt(), 15);
    EXPECT_EQ(h.find<QLineEdit>("Edit1")->text(), QStringLiteral("15"));
    EXPECT_TRUE(h.find<QCheckBox>("CheckBoxDateUS")->isChecked());
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxDate")->isChecked());
    EXPECT_TRUE(h.form().hourMenuItem(6)->isChecked());
    EXPECT_TRUE(h.windows().formMeteoW23().itemBox(WeatherItem::OutdoorTemp)->isChecked());
    EXPECT_EQ(h.windows().units().temperatureLabel, QStringLiteral("F"));

    QFile ini(h.folder() + QStringLiteral("/auravox.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray saved = ini.readAll();
    for (const char *line : {"PERIOD=3\r\n", "START_RANGE=6\r\n", "END_RANGE=22\r\n", "DATE=N\r\n", "DATEUS=Y\r\n",
                             "PAUSE=2\r\n", "UNITTC=N\r\n", "METEO=W23\r\n", "W23_TEMPEXT=Y\r\n", "W23_HUMIDI=Y\r\n"})
        EXPECT_TRUE(saved.contains(line)) << line;
    EXPECT_FALSE(saved.contains("WEB")); // the page's own keys are written only when not the defaults
    // The next scheduled announcement follows.
    const QJsonObject s = get(QStringLiteral("/api/status")).json();
    EXPECT_EQ(s.value(QStringLiteral("schedule")).toObject().value(QStringLiteral("next")).toString(),
              QStringLiteral("2026-03-01T10:15:00"));
}

TEST_F(StationPage, BadRequestsGetA4xxAndChangeNothing)
{
    login();
    const QString ini = h.folder() + QStringLiteral("/auravox.ini");
    struct Case
    {
        QByteArray verb;
        QString path;
        QByteArray body;
        int status;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    const QByteArray big(20000, 'x');
    const QList<Case> cases = {
        {"POST", QStringLiteral("/api/settings"), "{\"period\":", 400, {}},
        {"POST", QStringLiteral("/api/settings"), "[]", 400, {}},
        {"POST", QStringLiteral("/api/settings"), R"({"period":7})", 422, {}},
        {"POST", QStringLiteral("/api/settings"), R"({"period":15,"colour":"red"})", 400, {}},
        {"POST", QStringLiteral("/api/settings"), R"({"date":true,"dateUS":true})", 422, {}},
        {"POST", QStringLiteral("/api/settings"), "{\"pad\":\"" + big + "\"}", 413, {}},
        {"POST", QStringLiteral("/api/settings"), R"({"period":15})", 415, {{"Content-Type", "text/plain"}}},
        {"POST", QStringLiteral("/api/settings"), R"({"period":15})", 421, {{"Host", "evil.example:80"}}},
        {"GET", QStringLiteral("/api/play"), QByteArray(), 405, {}},
        {"DELETE", QStringLiteral("/api/status"), QByteArray(), 405, {}},
        {"GET", QStringLiteral("/etc/passwd"), QByteArray(), 404, {}},
    };
    for (const Case &c : cases) {
        QList<QPair<QByteArray, QByteArray>> headers = c.headers;
        if (c.verb == "POST")
            headers.append({"X-Auravox-Token", token});
        const Answer a = request(c.verb, c.path, c.body, headers);
        EXPECT_EQ(a.status, c.status) << c.path.toStdString() << " " << c.body.left(40).toStdString();
        EXPECT_FALSE(a.json().value(QStringLiteral("error")).toString().isEmpty()) << a.body.toStdString();
    }
    // A body far past the limit is cut off before it is read whole.
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, port());
    ASSERT_TRUE(raw.waitForConnected(5000));
    raw.write("POST /api/settings HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
              "Content-Length: 4000000\r\n\r\n");
    raw.write(QByteArray(1000000, '{'));
    QByteArray answer;
    QEventLoop loop;
    QObject::connect(&raw, &QTcpSocket::readyRead, &loop, [&] {
        answer += raw.readAll();
        if (answer.contains("\r\n\r\n"))
            loop.quit();
    });
    QObject::connect(&raw, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.left(60).toStdString();

    EXPECT_FALSE(QFile::exists(ini));
    EXPECT_EQ(h.find<QLineEdit>("Edit1")->text(), QStringLiteral("0"));
    EXPECT_TRUE(h.find<QCheckBox>("CheckBoxDate")->isChecked());
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxDateUS")->isChecked());
    EXPECT_TRUE(h.wave().sessions().isEmpty());
}

TEST_F(StationPage, SessionsExpireAndLoginAttemptsAreLimited)
{
    login();
    EXPECT_EQ(post(QStringLiteral("/api/settings"), R"({"pause":1})").status, 200);
    h.clock().advanceSeconds(31 * 60); // idle past the limit
    EXPECT_EQ(post(QStringLiteral("/api/settings"), R"({"pause":2})").status, 401);
    EXPECT_FALSE(get(QStringLiteral("/api/status")).json().value(QStringLiteral("access")).toObject().value(QStringLiteral("loggedIn")).toBool());
    // Five wrong guesses, then even the right password waits for its turn.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(post(QStringLiteral("/api/login"), R"({"password":"guess-guess"})").status, 401) << i;
    QNetworkRequest r(QUrl(base() + QStringLiteral("/api/login")));
    r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply *reply = net.post(r, QJsonDocument(QJsonObject{{QStringLiteral("password"), kPassword}}).toJson());
    while (server().waitingLogins() == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(reply->isFinished());
    h.clock().advanceSeconds(12);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    reply->deleteLater();
}

TEST_F(StationPage, WithoutAPasswordNobodyCanLogIn)
{
    const Answer a = post(QStringLiteral("/api/login"), R"({"password":"anything-at-all"})");
    EXPECT_EQ(a.status, 403);
    EXPECT_TRUE(a.json().value(QStringLiteral("error")).toString().contains(QStringLiteral("--set-web-password")));
}

TEST(StationPageConfig, KeysComeLastAndOnlyWhenNotTheDefaults)
{
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("auravox.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[AURAVOX V2.2.3]\r\nWEB_PORT=9001\r\nWEB_ADDRESS=::1\r\nWEB_PORT=70000\r\nWEB=N\r\nWEB_ADDRESS=nowhere\r\n");
    }
    MainWindowHarness h(kSundayMorning, true, nullptr, dir.path());
    WebListenSettings &web = h.windows().models().web;
    EXPECT_FALSE(web.enabled);
    EXPECT_EQ(web.port, 9001);
    EXPECT_EQ(web.address, QStringLiteral("::1"));
    ASSERT_TRUE(h.form().SaveConfiguration());
    QFile ini(dir.filePath(QStringLiteral("auravox.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = ini.readAll().split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.at(lines.size() - 4), "WEB=N\r");
    EXPECT_EQ(lines.at(lines.size() - 3), "WEB_ADDRESS=::1\r");
    EXPECT_EQ(lines.at(lines.size() - 2), "WEB_PORT=9001\r");
}

TEST(StationPageRemote, AnotherAddressMustLogInEvenToRead)
{
    QHostAddress outside;
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            outside = a;
    }
    if (outside.isNull())
        GTEST_SKIP() << "this machine has no address besides the loopback";
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("auravox.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[AURAVOX V2.2.3]\r\nWEB_ADDRESS=" + outside.toString().toLatin1() + "\r\n");
    }
    MainWindowHarness h(kSundayMorning, true, nullptr, dir.path(), false, [](AppDeps &deps) {
        deps.webServer = true;
        deps.webPort = 0;
    });
    StationWebServer *server = h.windows().stationWeb().server();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->address(), outside);
    QString error;
    ASSERT_TRUE(WebPassword::store(dir.filePath(WebPassword::kFileName), kPassword, &error, 1000));
    QNetworkAccessManager net;
    net.setProxy(QNetworkProxy::NoProxy);
    const QString base = QStringLiteral("http://%1:%2").arg(outside.toString()).arg(server->port());
    auto call = [&](const QString &path, const QByteArray &body = QByteArray()) {
        QNetworkRequest r{QUrl(base + path)};
        r.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
        QNetworkReply *reply = body.isNull() ? net.get(r) : net.post(r, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->deleteLater();
        return status;
    };
    // The peer is this machine's outside address, not the loopback.
    EXPECT_EQ(call(QStringLiteral("/")), 200);
    EXPECT_EQ(call(QStringLiteral("/api/status")), 401);
    EXPECT_EQ(call(QStringLiteral("/api/announcements")), 401);
    EXPECT_EQ(call(QStringLiteral("/api/login"), QJsonDocument(QJsonObject{{QStringLiteral("password"), kPassword}}).toJson()), 200);
    EXPECT_EQ(call(QStringLiteral("/api/status")), 200);
}

TEST_F(StationPage, AnUploadNeedsTheTokenAndIsRefusedUnlessThePlayerCanPlayIt)
{
    WavBuilder wave;
    wave.data = WavBuilder::samples(8000, 3);
    const QByteArray good = wave.build();
    WavBuilder adpcm = wave;
    adpcm.formatTag = 2;
    auto upload = [&](const QString &name, const QByteArray &bytes, bool withToken = true,
                      const QByteArray &type = "audio/wav") {
        QList<QPair<QByteArray, QByteArray>> headers{{"Content-Type", type}};
        if (withToken)
            headers.append({"X-Auravox-Token", token});
        return request("POST", QStringLiteral("/api/upload?name=") + QString::fromLatin1(QUrl::toPercentEncoding(name)),
                       bytes, headers);
    };
    EXPECT_EQ(upload(QStringLiteral("header.wav"), good).status, 401);
    login();
    EXPECT_EQ(upload(QStringLiteral("header.wav"), good, false).status, 403);
    EXPECT_EQ(upload(QStringLiteral("header.wav"), good, true, "text/plain").status, 415);
    const Answer notPcm = upload(QStringLiteral("header.wav"), adpcm.build());
    EXPECT_EQ(notPcm.status, 422);
    EXPECT_EQ(notPcm.json().value(QStringLiteral("error")).toString(), QStringLiteral("Err: none PCM file"));
    const Answer out = upload(QStringLiteral("../header.wav"), good);
    EXPECT_EQ(out.status, 422);
    EXPECT_EQ(out.json().value(QStringLiteral("error")).toString(),
              QStringLiteral("the name must stay inside the working folder"));
    EXPECT_FALSE(QFile::exists(h.folder() + QStringLiteral("/header.wav")));
    // Past the upload bound the body is not even read: the length says it all.
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, port());
    ASSERT_TRUE(raw.waitForConnected(5000));
    raw.write("POST /api/upload?name=header.wav HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: audio/wav\r\n"
              "X-Auravox-Token: " + token + "\r\nContent-Length: " +
              QByteArray::number(WebServerOptions().maxUpload + 1) + "\r\n\r\n");
    QByteArray answer;
    QEventLoop loop;
    QObject::connect(&raw, &QTcpSocket::readyRead, &loop, [&] {
        answer += raw.readAll();
        if (answer.contains("\r\n\r\n"))
            loop.quit();
    });
    QObject::connect(&raw, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.left(60).toStdString();
    // Within it, a body larger than a change's limit is taken.
    WavBuilder long_;
    long_.data = WavBuilder::samples(64000, 4);
    EXPECT_EQ(upload(QStringLiteral("long.wav"), long_.build()).status, 200);

    const Answer stored = upload(QStringLiteral("header.wav"), good);
    ASSERT_EQ(stored.status, 200) << stored.body.toStdString();
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/header.wav")), good);
    // The working folder's waves are offered, and the stored one can be chosen and is played.
    const QJsonObject settings = get(QStringLiteral("/api/status")).json().value(QStringLiteral("settings")).toObject();
    EXPECT_TRUE(settings.value(QStringLiteral("waveFiles")).toArray().contains(QStringLiteral("header.wav")));
    const Answer chosen = post(QStringLiteral("/api/settings"), R"({"headerFile":"header.wav","header":true,"pause":0})");
    ASSERT_EQ(chosen.status, 200) << chosen.body.toStdString();
    EXPECT_TRUE(readFile(h.folder() + QStringLiteral("/auravox.ini")).contains("\r\nFICHIER_ENTETE=header.wav\r\n"));
    h.announce();
    ASSERT_FALSE(h.wave().sessions().isEmpty());
    EXPECT_EQ(h.wave().sessions().first().data, wave.data); // the header is the first clip
}

TEST_F(StationPage, EachSourcesOwnSettingsAreSetOnItsObjectAndSaved)
{
    login();
    const QString history = h.folder() + QStringLiteral("/history.dat");
    ASSERT_TRUE(QFile::copy(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/ws2300-history.dat"), history));
    Ws23Source &ws23 = static_cast<Ws23Source &>(*h.windows().source(SourceKind::Ws23));

    // A history file that is not there is refused with the window's text, and nothing changes.
    const Answer missing = post(QStringLiteral("/api/settings"),
                                R"({"sources":{"W23":{"file":"nowhere.dat","refreshMinutes":5}}})");
    EXPECT_EQ(missing.status, 500);
    EXPECT_EQ(missing.json().value(QStringLiteral("error")).toString(), QStringLiteral("File error"));
    EXPECT_EQ(ws23.refreshMinutes(), WeatherSource::kDefaultPeriodMinutes);
    const Answer tooHigh = post(QStringLiteral("/api/settings"), R"({"sources":{"W23":{"trendThreshold":999}}})");
    EXPECT_EQ(tooHigh.status, 500);
    EXPECT_EQ(post(QStringLiteral("/api/settings"), R"({"sources":{"W23":{"refreshMinutes":61}}})").status, 422);
    EXPECT_EQ(post(QStringLiteral("/api/settings"), R"({"sources":{"W23":{"absolutePressure":false}}})").status, 500);
    EXPECT_EQ(post(QStringLiteral("/api/settings"), R"({"favourites":{"W23":["x"]}})").status, 422);

    const Answer a = post(QStringLiteral("/api/settings"),
                          QStringLiteral(R"({"sources":{"W23":{"file":"%1","refreshMinutes":5,"pressureOffset":-3,)"
                                         R"("trendThreshold":6},"W28":{"absolutePressure":false}},"balance":-40,)"
                                         R"("favourites":{"METAR":["https://example.org/LFPG //Paris"]}})")
                              .arg(history)
                              .toUtf8());
    ASSERT_EQ(a.status, 200) << a.body.toStdString();
    EXPECT_EQ(ws23.dataPath(), history);
    EXPECT_EQ(ws23.refreshMinutes(), 5);
    EXPECT_EQ(ws23.pressureOffset(), -3);
    EXPECT_EQ(ws23.trendThreshold(), 6);
    EXPECT_TRUE(ws23.errorLine().isEmpty());
    EXPECT_GT(ws23.snapshot().readingTime, 0); // the file taken is read at once, as on a browse
    // The windows show it.
    EXPECT_EQ(h.windows().formMeteoW23().findChild<QLineEdit *>(QStringLiteral("EditDat"))->text(), history);
    EXPECT_EQ(h.windows().formMeteoW23().pressureOffsetEdit()->value(), -3);
    EXPECT_FALSE(static_cast<Ws28Source &>(*h.windows().source(SourceKind::Ws28)).absolutePressure());
    EXPECT_EQ(h.windows().formFavMETAR().favourites().entry(1), QStringLiteral("https://example.org/LFPG //Paris"));
    // The balance alone reaches the sound card, though the volume slider did not move.
    EXPECT_EQ(h.wave().volume(h.windows().stationWeb().status().value(QStringLiteral("settings")).toObject()
                                  .value(QStringLiteral("soundDevice")).toInt()),
              Volume::forPosition(Volume::kDefaultPosition, -40));

    const QByteArray saved = readFile(h.folder() + QStringLiteral("/auravox.ini"));
    for (const QByteArray &line : {QByteArray("\r\nW23_METPERI=5\r\n"), "\r\nW23_DAT=" + history.toUtf8() + "\r\n",
                                   QByteArray("\r\nBALANCE=-40\r\n"),
                                   QByteArray("\r\nMETAR_FAV1=https://example.org/LFPG //Paris\r\n")})
        EXPECT_TRUE(saved.contains(line)) << line.toStdString();
    const QJsonObject shown = get(QStringLiteral("/api/status"))
                                  .json()
                                  .value(QStringLiteral("settings"))
                                  .toObject()
                                  .value(QStringLiteral("sources"))
                                  .toObject();
    EXPECT_EQ(shown.value(QStringLiteral("W23")).toObject().value(QStringLiteral("file")).toString(), history);
    EXPECT_EQ(shown.value(QStringLiteral("METAR")).toObject().value(QStringLiteral("favourites")).toArray().size(), 10);
}

TEST_F(StationPage, WithoutAConfigurationThePageAsksForTheFirstStart)
{
    login();
    EXPECT_TRUE(get(QStringLiteral("/api/status")).json().value(QStringLiteral("firstStart")).toBool());
    ASSERT_EQ(post(QStringLiteral("/api/settings"), R"({"period":10,"startHour":7,"endHour":21,"source":"W23"})").status,
              200);
    EXPECT_FALSE(get(QStringLiteral("/api/status")).json().value(QStringLiteral("firstStart")).toBool());
}

namespace {
QByteArray iniOf(MainWindowHarness &h)
{
    return readFile(h.folder() + QStringLiteral("/auravox.ini"));
}
} // namespace

TEST_F(StationPage, EachPortKindIsSetReadBackSavedAndReopensTheTransmitter)
{
    login();
    h.com().show(); // a desktop window open on the port follows the page
    struct Case
    {
        const char *body;
        PttKind kind;
        const char *group, *field;
        QJsonValue shown;
        QByteArray keys; // the kind's keys as saved, in their order
    };
    const Case cases[] = {
        {R"({"ptt":{"kind":"RIG","rig":{"model":2,"port":"radio.local:4532","inhibitOnDcd":false,"timeoutMs":500}}})",
         PttKind::Rig, "rig", "port", QStringLiteral("radio.local:4532"),
         "\r\nPTT_TYPE=RIG\r\nRIG_PORT=radio.local:4532\r\nRIG_DCD=0\r\nRIG_TIMEOUT=500\r\n"},
        {R"({"ptt":{"kind":"CM108","cm108":{"device":" /dev/hidraw3 ","pttGpio":4,"inhibitBit":-1,"startBit":0}}})",
         PttKind::Cm108, "cm108", "device", QStringLiteral("/dev/hidraw3"),
         "\r\nPTT_TYPE=CM108\r\nCM108_DEVICE=/dev/hidraw3\r\nCM108_GPIO=4\r\nCM108_INHIBIT=-1\r\nCM108_START=0\r\n"
         "RIG_PORT=radio.local:4532\r\n"},
        {R"({"ptt":{"kind":"GPIO","gpio":{"chip":"gpiochip1","pttLine":17,"pttActiveLow":true,"inhibitLine":27}}})",
         PttKind::Gpio, "gpio", "pttLine", 17,
         "\r\nPTT_TYPE=GPIO\r\nCM108_DEVICE=/dev/hidraw3\r\nCM108_GPIO=4\r\nCM108_INHIBIT=-1\r\nCM108_START=0\r\n"
         "GPIO_CHIP=gpiochip1\r\nGPIO_PTT=17\r\nGPIO_PTT_LOW=1\r\nGPIO_INHIBIT=27\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        const qsizetype before = opened.size();
        const Answer a = post(QStringLiteral("/api/settings"), c.body);
        ASSERT_EQ(a.status, 200) << a.body.toStdString();
        const QJsonObject replied = a.json().value(QStringLiteral("ptt")).toObject();
        EXPECT_EQ(replied.value(QStringLiteral("kind")).toString(), pttKindName(c.kind));
        EXPECT_EQ(replied.value(QLatin1String(c.group)).toObject().value(QLatin1String(c.field)), c.shown);
        EXPECT_TRUE(iniOf(h).contains(c.keys)) << iniOf(h).toStdString();

        // The device of the kind is opened once the change is made, as after the window's "Use".
        QCoreApplication::processEvents();
        ASSERT_EQ(opened.size(), before + 1);
        EXPECT_EQ(opened.last(), h.windows().models().port.ptt());
        EXPECT_EQ(opened.last().kind, c.kind);
        EXPECT_TRUE(h.windows().serialPort().transmitter().isOtherKind());
        const QJsonObject shown =
            get(QStringLiteral("/api/status")).json().value(QStringLiteral("settings")).toObject().value(QStringLiteral("ptt")).toObject();
        EXPECT_TRUE(shown.value(QStringLiteral("open")).toBool());
        EXPECT_EQ(shown.value(QStringLiteral("device")).toString(), QStringLiteral("recorded ") + pttKindName(c.kind));
        EXPECT_EQ(h.find<QComboBox>("ComboBoxPttKind")->currentIndex(), static_cast<int>(c.kind));
        // The serial port's controls are off while another kind keys.
        EXPECT_FALSE(h.find<QListWidget>("ListBoxCOM")->isEnabled());
    }
    EXPECT_EQ(h.find<QLineEdit>("EditRigPort")->text(), QStringLiteral("radio.local:4532"));
    EXPECT_EQ(h.find<QLineEdit>("EditCm108Device")->text(), QStringLiteral("/dev/hidraw3"));
    EXPECT_EQ(h.find<QSpinBox>("SpinGpioPtt")->value(), 17);
    EXPECT_TRUE(h.find<QCheckBox>("CheckGpioPttLow")->isChecked());

    // The same settings sent again (the page sends its whole form) open nothing again.
    const qsizetype before = opened.size();
    ASSERT_EQ(post(QStringLiteral("/api/settings"), cases[2].body).status, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(opened.size(), before);

    // A device that can't be opened says why on the page.
    ASSERT_EQ(post(QStringLiteral("/api/settings"), R"({"ptt":{"kind":"CM108","cm108":{"device":"/dev/missing"}}})").status,
              200);
    QCoreApplication::processEvents();
    const QJsonObject failed =
        get(QStringLiteral("/api/status")).json().value(QStringLiteral("settings")).toObject().value(QStringLiteral("ptt")).toObject();
    EXPECT_FALSE(failed.value(QStringLiteral("open")).toBool());
    EXPECT_TRUE(failed.value(QStringLiteral("error")).toString().contains(QStringLiteral("/dev/missing")));

    // Back to the serial port: the port chosen meanwhile is opened, the other device closed.
    ASSERT_EQ(post(QStringLiteral("/api/settings"), R"({"ptt":{"kind":"SERIAL"},"port":"COM2"})").status, 200);
    QCoreApplication::processEvents();
    EXPECT_FALSE(h.windows().serialPort().transmitter().isOtherKind());
    EXPECT_TRUE(h.windows().serialPort().isOpen());
    EXPECT_EQ(h.windows().serialPort().portName(), QStringLiteral("COM2"));
    EXPECT_TRUE(h.find<QListWidget>("ListBoxCOM")->isEnabled());
    EXPECT_TRUE(iniOf(h).contains("\r\nCOM=2\r\n"));
    EXPECT_FALSE(iniOf(h).contains("PTT_TYPE="));
}

TEST_F(StationPage, BadPortSettingsAreRefusedWithTheModelsReasonAndNothingIsSaved)
{
    login();
    ASSERT_EQ(post(QStringLiteral("/api/settings"), R"({"ptt":{"kind":"RIG","rig":{"port":"/dev/ttyUSB0"}}})").status,
              200);
    QCoreApplication::processEvents();
    const QByteArray saved = iniOf(h);
    const PttSettings kept = h.windows().models().port.ptt();
    const qsizetype openedBefore = opened.size();
    const QString period = h.find<QLineEdit>("Edit1")->text();
    const std::pair<const char *, const char *> cases[] = {
        {R"({"ptt":{"kind":"CM108","cm108":{"pttGpio":9}}})", "ptt.cm108.pttGpio must be a whole number from 1 to 8"},
        {R"({"ptt":{"cm108":{"startBit":8}}})", "ptt.cm108.startBit must be -1 (none) or a whole number from 0 to 7"},
        {R"({"ptt":{"cm108":{"id":"0d8c"}}})", "ptt.cm108.id must be two hex numbers, vendor:product (0d8c:013c)"},
        {R"({"ptt":{"rig":{"timeoutMs":20}}})", "ptt.rig.timeoutMs must be a whole number from 50 to 10000"},
        {R"({"ptt":{"rig":{"baud":"fast"}}})", "ptt.rig.baud must be a whole number from 0 to 4000000"},
        {R"({"ptt":{"rig":{"inhibitOnDcd":1}}})", "ptt.rig.inhibitOnDcd must be true or false"},
        {R"({"ptt":{"rig":{"speed":9600}}})", "unknown setting ptt.rig.speed"},
        {R"({"ptt":{"kind":"FM"}})", "ptt.kind must be SERIAL, CM108, GPIO or RIG"},
        {R"({"ptt":{"serial":{}}})", "unknown setting ptt.serial: ptt takes kind, cm108, gpio and rig"},
        // Each value in range, but not together: the model's own sentences.
        {R"({"period":15,"ptt":{"kind":"GPIO"}})", "Choose the PTT line's offset on the GPIO chip."},
        {R"({"ptt":{"kind":"GPIO","gpio":{"pttLine":4,"startLine":4}}})", "An input line can't be the PTT line."},
        {R"({"ptt":{"kind":"RIG","rig":{"port":" "}}})", "Name the rig's serial device, or host:port for rigctld."},
    };
    for (const auto &[body, reason] : cases) {
        SCOPED_TRACE(body);
        h.clock().advanceSeconds(2); // within the page's rate of changes
        const Answer a = post(QStringLiteral("/api/settings"), body);
        EXPECT_EQ(a.status, 500);
        EXPECT_EQ(a.json().value(QStringLiteral("error")).toString(), QLatin1String(reason));
    }
    EXPECT_EQ(post(QStringLiteral("/api/settings"), R"({"ptt":"RIG"})").status, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(iniOf(h), saved);
    EXPECT_EQ(h.windows().models().port.ptt(), kept);
    EXPECT_EQ(h.find<QLineEdit>("Edit1")->text(), period); // nothing of a refused change is made
    EXPECT_EQ(opened.size(), openedBefore);
}

TEST_F(StationPage, TheSerialPortsSettingsAreSavedAsBeforeWhenTheKindStaysSerial)
{
    login();
    const QByteArray lines = R"("port":"COM1","useDtr":false,"useRts":true,"startOnDsr":false,"startOnCts":true,)"
                             R"("inhibitOnDcd":false)";
    ASSERT_EQ(post(QStringLiteral("/api/settings"), "{" + lines + "}").status, 200);
    const QByteArray before = iniOf(h);
    ASSERT_TRUE(before.contains("\r\nCOM=1\r\nDTR=0\r\nDSR=0\r\nDCD=0\r\n")) << before.toStdString();
    ASSERT_EQ(post(QStringLiteral("/api/settings"), R"({"ptt":{"kind":"SERIAL"},)" + lines + "}").status, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(iniOf(h), before);
    EXPECT_TRUE(opened.isEmpty());
    const QJsonObject shown =
        get(QStringLiteral("/api/status")).json().value(QStringLiteral("settings")).toObject().value(QStringLiteral("ptt")).toObject();
    EXPECT_EQ(shown.value(QStringLiteral("kind")).toString(), QStringLiteral("SERIAL"));
    EXPECT_EQ(shown.value(QStringLiteral("rig")).toObject().value(QStringLiteral("port")).toString(),
              QStringLiteral("127.0.0.1:4532")); // the other kinds' defaults, for the form
}
