#include "engine/Scheduler.h"
#include "web/AnnouncementHistory.h"
#include "web/LogTail.h"
#include "web/StationSettings.h"
#include "web/WebPassword.h"
#include "web/WebSessions.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace auravox;

namespace {
const QDateTime kNoon(QDate(2026, 3, 1), QTime(12, 0, 0));
}

TEST(WebPassword, Pbkdf2MatchesTheStandardVectors)
{
    // RFC 7914, section 11, and one more with a UTF-8 password.
    EXPECT_EQ(WebPassword::derive("passwd", "salt", 1, 64).toHex(),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc49ca9cccf179b645991664b39d77ef317c71b84"
              "5b1e30bd509112041d3a19783");
    EXPECT_EQ(WebPassword::derive("Password", "NaCl", 80000, 64).toHex(),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56a1d425a1225833549adb841b51c9b3176a272bd"
              "ebba1d078478f62b397f33c8d");
    EXPECT_EQ(WebPassword::derive(QStringLiteral("pässwörd").toUtf8(), "0123456789abcdef", 4096).toHex(),
              "6364ed671adf53625350268166001a2d978ad61c75f5f1acc5b82de706e9c89a");
}

TEST(WebPassword, StoredLineIsSaltedAndOnlyTheRightPasswordMatches)
{
    const QString a = WebPassword::hashLine(QStringLiteral("repeater-on-the-hill"), 1000);
    const QString b = WebPassword::hashLine(QStringLiteral("repeater-on-the-hill"), 1000);
    EXPECT_NE(a, b); // a fresh salt each time
    EXPECT_FALSE(a.contains(QStringLiteral("repeater")));
    EXPECT_TRUE(WebPassword::matches(a, QStringLiteral("repeater-on-the-hill")));
    EXPECT_FALSE(WebPassword::matches(a, QStringLiteral("repeater-on-the-hil")));
    EXPECT_FALSE(WebPassword::matches(a, QString()));
    // Damaged lines never match.
    for (const QString &bad : {QString(), QStringLiteral("pbkdf2-sha256$1000$$"), QStringLiteral("md5$1$AAAA$AAAA"),
                               QString(a).replace(QStringLiteral("$1000$"), QStringLiteral("$0$")),
                               QString(a).replace(QStringLiteral("$1000$"), QStringLiteral("$x$")),
                               a.left(a.size() - 4)})
        EXPECT_FALSE(WebPassword::matches(bad, QStringLiteral("repeater-on-the-hill"))) << bad.toStdString();
}

TEST(WebPassword, FileIsOwnerOnlyAndShortPasswordsAreRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(WebPassword::kFileName);
    QString error;
    EXPECT_FALSE(WebPassword::store(path, QStringLiteral("short"), &error, 1000));
    EXPECT_TRUE(error.contains(QStringLiteral("at least 8")));
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(WebPassword::store(path, QStringLiteral("a long enough one"), &error, 1000)) << error.toStdString();
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(WebPassword::matches(WebPassword::load(path), QStringLiteral("a long enough one")));
}

TEST(WebSessions, ExpireWhenIdleTooLongOrWhenThePasswordChanges)
{
    QDateTime now = kNoon;
    WebSessions sessions([&] { return now; }, {/*idle*/ 600, /*max*/ 3600, /*sessions*/ 2});
    const QByteArray id = sessions.create(QStringLiteral("line1")).id;
    now = now.addSecs(590);
    ASSERT_NE(sessions.find(id, QStringLiteral("line1")), nullptr); // used: the idle time starts again
    now = now.addSecs(590);
    ASSERT_NE(sessions.find(id, QStringLiteral("line1")), nullptr);
    EXPECT_EQ(sessions.find(id, QStringLiteral("line2")), nullptr); // a new password ends it
    EXPECT_EQ(sessions.find(id, QStringLiteral("line1")), nullptr);

    const QByteArray idle = sessions.create(QStringLiteral("line1")).id;
    now = now.addSecs(601);
    EXPECT_EQ(sessions.find(idle, QStringLiteral("line1")), nullptr);

    const QByteArray old = sessions.create(QStringLiteral("line1")).id;
    for (int i = 0; i < 7; ++i) {
        now = now.addSecs(500);
        ASSERT_NE(sessions.find(old, QStringLiteral("line1")), nullptr) << i;
    }
    now = now.addSecs(500); // past the lifetime, however busy
    EXPECT_EQ(sessions.find(old, QStringLiteral("line1")), nullptr);
}

TEST(WebSessions, RateLimiterRefillsWithTime)
{
    QDateTime now = kNoon;
    RateLimiter limiter([&] { return now; }, 3, 0.5);
    EXPECT_TRUE(limiter.take(QStringLiteral("a")));
    EXPECT_TRUE(limiter.take(QStringLiteral("a")));
    EXPECT_TRUE(limiter.take(QStringLiteral("a")));
    EXPECT_FALSE(limiter.take(QStringLiteral("a")));
    EXPECT_TRUE(limiter.take(QStringLiteral("b"))); // each address its own
    now = now.addSecs(1);
    EXPECT_FALSE(limiter.take(QStringLiteral("a")));
    now = now.addSecs(1);
    EXPECT_TRUE(limiter.take(QStringLiteral("a")));
}

TEST(AnnouncementHistory, KeepsTheLastFiftyWithTheirClipsAndRefusals)
{
    QDateTime now = kNoon;
    AnnouncementHistory h([&] { return now; });
    h.announcementStarted(AnnounceOrigin::Schedule);
    h.clipStarted(QStringLiteral("son_time_is"));
    h.announcementRefused(AnnounceOrigin::Web, AnnounceRefusal::Busy); // while it plays
    h.clipStarted(QStringLiteral("son12"));
    now = now.addSecs(5);
    h.announcementEnded(true, QStringLiteral("AURAVOX DONE"));
    ASSERT_EQ(h.entries().size(), 2);
    const auto &played = h.entries().at(0);
    EXPECT_EQ(played.clips, (QStringList{QStringLiteral("son_time_is"), QStringLiteral("son12")}));
    EXPECT_EQ(played.outcome, AnnouncementHistory::Outcome::Done);
    EXPECT_EQ(played.start.secsTo(played.end), 5);
    EXPECT_EQ(h.entries().at(1).outcome, AnnouncementHistory::Outcome::Refused);
    EXPECT_EQ(h.entries().at(1).detail, QStringLiteral("an announcement is playing"));

    h.announcementStarted(AnnounceOrigin::Button);
    h.announcementEnded(false, QStringLiteral("Err: Res Wave"));
    EXPECT_EQ(h.entries().last().outcome, AnnouncementHistory::Outcome::Reset);
    EXPECT_EQ(h.entries().last().detail, QStringLiteral("Err: Res Wave"));

    for (int i = 0; i < 60; ++i)
        h.announcementRefused(AnnounceOrigin::Cts, AnnounceRefusal::Dcd);
    EXPECT_EQ(h.entries().size(), AnnouncementHistory::kCapacity);
    EXPECT_EQ(h.toJson().first().toObject().value(QStringLiteral("trigger")).toString(), QStringLiteral("CTS line"));
}

TEST(StationSettings, NextScheduledAnnouncementFollowsPeriodAndRange)
{
    Scheduler s;
    EXPECT_FALSE(nextScheduledAnnouncement(s, kNoon).isValid()); // period 0
    s.setPeriodPosition(3); // 15 min
    EXPECT_EQ(nextScheduledAnnouncement(s, kNoon.addSecs(20)), kNoon.addSecs(15 * 60));
    EXPECT_EQ(nextScheduledAnnouncement(s, kNoon.addSecs(15 * 60)), kNoon.addSecs(30 * 60));
    s.setStartHour(22);
    s.setEndHour(6); // over midnight: the next is 22:00
    EXPECT_EQ(nextScheduledAnnouncement(s, kNoon), QDateTime(kNoon.date(), QTime(22, 0)));
    EXPECT_EQ(nextScheduledAnnouncement(s, QDateTime(kNoon.date(), QTime(5, 40))), QDateTime(kNoon.date(), QTime(5, 45)));
    // 06:00 is past the end of the range.
    EXPECT_EQ(nextScheduledAnnouncement(s, QDateTime(kNoon.date(), QTime(5, 50))), QDateTime(kNoon.date(), QTime(22, 0)));
    s.setEndHour(22); // equal hours: none
    EXPECT_FALSE(nextScheduledAnnouncement(s, kNoon).isValid());
}

TEST(StationSettings, ChangeRequestsAreCheckedWhole)
{
    QString why;
    bool semantic = false;
    auto parse = [&](const char *body, SourceKind current = SourceKind::Metar) {
        return SettingsChange::parse(QByteArray(body), &why, &semantic, current);
    };
    auto ok = parse(R"({"period":15,"startHour":6,"endHour":22,"date":false,"dateUS":true,"pause":3,)"
                    R"("items":{"TEMPEXT":true,"PLUIE":false},"units":{"temperature":"F","rain":"mm"}})");
    ASSERT_TRUE(ok) << why.toStdString();
    EXPECT_EQ(ok->periodMinutes, 15);
    EXPECT_EQ(ok->dateUS, true);
    EXPECT_EQ(ok->items[static_cast<size_t>(WeatherItem::OutdoorTemp)], true);
    EXPECT_EQ(ok->celsius, false);
    EXPECT_EQ(ok->millimetres, true);
    EXPECT_FALSE(ok->kmh.has_value());

    struct Bad
    {
        const char *body;
        bool semantic;
    };
    for (const Bad &b : {Bad{"", false}, Bad{"[1]", false}, Bad{"{\"period\":", false}, Bad{"{}", false},
                         Bad{R"({"colour":1})", false}, Bad{R"({"period":"15"})", false},
                         Bad{R"({"period":7})", true}, Bad{R"({"period":15.5})", false},
                         Bad{R"({"startHour":25})", true}, Bad{R"({"pause":16})", true},
                         Bad{R"({"date":"yes"})", false}, Bad{R"({"date":true,"dateUS":true})", true},
                         Bad{R"({"timeIs":true,"time":false})", true}, Bad{R"({"source":"XYZ"})", true},
                         Bad{R"({"items":{"TEMPINT":true}})", true}, // METAR has no indoor temperature
                         Bad{R"({"items":{"NOPE":true}})", false}, Bad{R"({"units":{"wind":"knots"}})", true}}) {
        EXPECT_FALSE(parse(b.body)) << b.body;
        EXPECT_EQ(semantic, b.semantic) << b.body;
        EXPECT_FALSE(why.isEmpty()) << b.body;
    }
    // Items are checked against the source the same request chooses.
    EXPECT_TRUE(parse(R"({"source":"W23","items":{"TEMPINT":true}})"));
}

TEST(WebPassword, BlanksDoNotCountTowardsTheLength)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(WebPassword::kFileName);
    QString error;
    for (const QString &weak :
         {QStringLiteral("        "), QStringLiteral(" a b c d e f g "), QStringLiteral("\t\tabc\n defg\t")}) {
        EXPECT_FALSE(WebPassword::store(path, weak, &error, 1000)) << weak.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("at least 8 characters that are not spaces"))) << error.toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(WebPassword::weakness(QStringLiteral(" abcdefgh ")).isEmpty());
    EXPECT_TRUE(WebPassword::weakness(QStringLiteral("a b c d e f g h")).isEmpty());
}

TEST(LogTail, ThePageCopyOfALineLosesTheAddressesSecrets)
{
    struct Case
    {
        const char *line, *shown;
    };
    const Case cases[] = {
        {"GET http://user:pw@wx.example.com:8080/data.php?key=abc&id=7 failed",
         "GET http://wx.example.com:8080/data.php?… failed"},
        {"\"https://api.example.net/v1?token=t0k\" refused", "\"https://api.example.net/v1?…\" refused"},
        {"see https://example.org/page#frag and ftp://anon@files.example.org/x",
         "see https://example.org/page and ftp://files.example.org/x"},
        {"no address here: 12:30 a@b", "no address here: 12:30 a@b"},
        {"http://host/path?", "http://host/path"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(LogTail::withoutSecrets(QString::fromUtf8(c.line)), QString::fromUtf8(c.shown)) << c.line;
    // The journal keeps the whole line.
    LogTail tail;
    tail.add(QString::fromUtf8(cases[0].line));
    EXPECT_EQ(tail.lines(1), QStringList{QString::fromUtf8(cases[0].line)});
}
