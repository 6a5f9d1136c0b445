// The METAR and APRS windows against a web server the test runs on
// 127.0.0.1: the fetch, the page extraction, the error numbers, the exchange
// files, the history, the favourites, and an announcement that goes on while
// a server keeps the program waiting.

#include "app/ReleaseCheck.h"
#include "common/DateTime.h"
#include "internet/DownloadFile.h"
#include "support/Clicks.h"
#include "support/Lists.h"
#include "support/LocalHttpServer.h"
#include "support/MainWindowHarness.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>

using namespace auravox;
using namespace auravox::test;

namespace {

// 7 December 2026; the reports below are of 10:30 UT that day.
const QDateTime kStart(QDate(2026, 12, 7), QTime(11, 0, 30));
const QByteArray kReport = "LFPG 071030Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG=";

QString caption(WeatherSourceWindow &w, WeatherItem item)
{
    return w.itemBox(item)->text();
}

// Small limits, so that a server that never answers ends the test at once.
struct QuickDownloads
{
    QuickDownloads()
    {
        DownloadLimits l = saved;
        l.totalTimeMs = 300;
        setDownloadLimits(l);
    }
    ~QuickDownloads() { setDownloadLimits(saved); }
    DownloadLimits saved = downloadLimits();
};

struct Web
{
    Web() { EXPECT_TRUE(server.start()); }
    // A METAR service A address for `code`, with a label.
    QString metar(const QByteArray &path, const char *code = "LFPG") const
    {
        return server.url(QString::fromLatin1(path)) + QStringLiteral("?icao=") + QLatin1String(code) +
               QStringLiteral(" //Paris CDG");
    }
    LocalHttpServer server;
};

// Waits on the event loop until the source's fetches are over: at least one
// has ended since `spy` was made, and none runs (Enter's own refresh fetches again).
bool settled(InternetSourceWindow &w, QSignalSpy &spy)
{
    for (int i = 0; i < 10; ++i) {
        if (!spy.isEmpty() && !w.internetSource().fetching())
            return true;
        spy.wait(5000);
    }
    return false;
}

// Runs `action` (a click, Enter, Refresh) and waits for its fetches.
template <typename Action> bool fetched(InternetSourceWindow &w, Action action)
{
    QSignalSpy spy(&w.internetSource(), &InternetSource::fetchEnded);
    action();
    return settled(w, spy);
}

QByteArray page(const QByteArray &inner)
{
    return "<html><head><title>ogimet</title></head><body>\n<p>TAF: LFPG 071030Z 0712/0818 24012KT</p>\n"
           "<pre>  <b>" + inner + "</b>  </pre>\n</body></html>\n";
}

} // namespace

TEST(MetarWindow, ChoosingTheSourceFetchesDecodesAndWritesTheExchangeFiles)
{
    MainWindowHarness h(kStart);
    Web web;
    web.server.route("/ogimet/getmetar", HttpResponse::text(page(kReport), 200, "text/html"));
    TFormMeteoMETAR &w = h.windows().formMeteoMETAR();
    EXPECT_EQ(w.windowTitle(), QStringLiteral(" METAR weather data"));
    const QString entry = web.metar("/ogimet/getmetar");
    w.setEntryText(entry);
    EXPECT_EQ(w.findChild<QLabel *>(QStringLiteral("LabelNomICAO"))->text(), QStringLiteral("Paris CDG"));
    for (WeatherItem i : {WeatherItem::OutdoorTemp, WeatherItem::Pressure, WeatherItem::WindSpeed})
        click(w.itemBox(i));
    ASSERT_TRUE(fetched(w, [&] { click(h.windows().formChoixMeteo().radioButton(SourceKind::Metar)); }));

    EXPECT_TRUE(w.errorLine().isEmpty()) << w.errorLine().toStdString();
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/metar_web.txt")), kReport + "\r\n")
        << "the report alone, without tags, blanks or the TAF line";
    EXPECT_EQ(web.server.requests().first().target, QByteArray("/ogimet/getmetar?icao=LFPG")) << "no label sent";
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = 12.0"));
    EXPECT_EQ(w.findChild<QLabel *>(QStringLiteral("LabelICAO"))->text(), QStringLiteral("Airport code = LFPG"));
    EXPECT_EQ(w.history(), L({entry.toStdString().c_str()}));
    EXPECT_TRUE(w.timer()->isActive());
    EXPECT_TRUE(w.isReady());

    const QByteArray uiview = readFile(h.folder() + QStringLiteral("/metar_uiview.txt"));
    EXPECT_TRUE(uiview.contains("\r\n240/012g...t054r000p...P...h77b10130\r\n")) << uiview.toStdString();
    const QByteArray cw = " TEMP 12C = QNH 1013mBar = WS 19km/h = WCT 10C = HUM 77 \r\n";
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/metar_cw.txt")), cw);
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/public/metar_cw.txt")), cw);
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/public/metar_uiview.txt")), uiview);

    click(h.find<QCheckBox>("CheckBoxDate"));
    click(h.find<QCheckBox>("CheckBoxHeure"));
    EXPECT_EQ(h.announce(), L({"SON_EXT_TEMP", "SON12", "SON_DEGREES", "SON_PRESSURE", "SON1000_AND", "SON13",
                              "SON_MILLIBARS", "SON_WIND", "SON19", "SON_KMH"}));
}

TEST(MetarWindow, FailuresShowTheirNumberAndTheTimerRunsOn)
{
    MainWindowHarness h(kStart);
    Web web;
    web.server.route("/ogimet/missing", HttpResponse::text("gone", 404));
    web.server.route("/ogimet/other", HttpResponse::text(page("EGLL 071020Z 22008KT 10/05 Q1010"), 200, "text/html"));
    web.server.route("/ogimet/tiny", HttpResponse::text("<"));
    web.server.route("/ogimet/plain", HttpResponse::text(kReport));
    TFormMeteoMETAR &w = h.windows().formMeteoMETAR();
    auto fetch = [&](const QString &entry) {
        w.setEntryText(entry);
        if (InternetSource::isAddress(entry))
            EXPECT_TRUE(fetched(w, [&] { w.EnterAction(); })) << entry.toStdString();
        else
            w.EnterAction(); // no download
        return w.errorLine();
    };
    EXPECT_EQ(fetch(web.metar("/ogimet/missing")), QStringLiteral("File error #1"));
    EXPECT_FALSE(QFile::exists(h.folder() + QStringLiteral("/metar_web.txt")));
    EXPECT_TRUE(w.timer()->isActive()) << "a failed fetch is tried again a period later";
    EXPECT_EQ(fetch(web.metar("/ogimet/other")), QStringLiteral("File error #6")) << "no LFPG report";
    EXPECT_EQ(fetch(web.metar("/ogimet/tiny")), QStringLiteral("File error #1")) << "1 byte";
    EXPECT_EQ(fetch(web.server.url(QStringLiteral("/elsewhere/page"))), QStringLiteral("File error #1"));
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(fetch(QStringLiteral("LFPG.txt")), QStringLiteral("File error #1"))
        << "not an address: the last number, no download";

    // A plain-text answer is the report as it stands.
    EXPECT_EQ(fetch(web.metar("/ogimet/plain")), QString());
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 19"));
}

TEST(MetarWindow, AnnouncementPlaysOnWhileAServerNeverAnswers)
{
    QuickDownloads quick;
    MainWindowHarness h(kStart);
    Web web;
    HttpResponse silent;
    silent.neverAnswer = true;
    web.server.route("/ogimet/silent", silent);
    TFormMeteoMETAR &w = h.windows().formMeteoMETAR();
    w.setEntryText(web.metar("/ogimet/silent"));
    const QStringList normal = h.announce();
    ASSERT_FALSE(normal.isEmpty());

    const qsizetype before = h.playedClips().size();
    bool busyAtEnd = true;
    QObject::connect(&w.internetSource(), &InternetSource::fetchEnded, &w,
                     [&] { busyAtEnd = h.form().announcer().busy(); });
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); })); // the event loop runs on during the download
    EXPECT_FALSE(busyAtEnd) << "the announcement played through during the wait";
    EXPECT_EQ(h.playedClips().mid(before), normal);
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error #1"));
    EXPECT_TRUE(w.timer()->isActive());
}

// Messages of the program's own categories ("auravox.*") while it lives.
struct LogCapture
{
    LogCapture() { previous = qInstallMessageHandler(&LogCapture::handler); }
    ~LogCapture() { qInstallMessageHandler(previous); }
    static void handler(QtMsgType, const QMessageLogContext &context, const QString &text)
    {
        if (context.category && QByteArray(context.category).startsWith("auravox."))
            lines << QString::fromLatin1(context.category) + QStringLiteral(": ") + text;
    }
    static QStringList take() { return std::exchange(lines, {}); }
    static inline QStringList lines;
    QtMessageHandler previous = nullptr;
};

TEST(MetarWindow, ARefreshInProgressKeepsTheLastReadingUntilItsOutcome)
{
    QuickDownloads quick;
    LogCapture log;
    MainWindowHarness h(kStart);
    Web web;
    web.server.route("/ogimet/getmetar", HttpResponse::text("gone", 404));
    TFormMeteoMETAR &w = h.windows().formMeteoMETAR();
    w.setEntryText(web.metar("/ogimet/getmetar"));
    click(w.itemBox(WeatherItem::OutdoorTemp));
    click(h.find<QCheckBox>("CheckBoxDate"));
    click(h.find<QCheckBox>("CheckBoxHeure"));

    // No report was ever decoded: the exchange file names no time.
    ASSERT_TRUE(fetched(w, [&] { click(h.windows().formChoixMeteo().radioButton(SourceKind::Metar)); }));
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error #1"));
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/metar_uiview.txt")),
              QByteArray("\r\n.../...g...t...r000p...P...h..b.....\r\n"));
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/public/metar_uiview.txt")),
              QByteArray("\r\n.../...g...t...r000p...P...h..b.....\r\n"));
    const QStringList failed = LogCapture::take();
    EXPECT_TRUE(failed.contains(QStringLiteral("auravox.download: download of %1 failed: HTTP 404 Not Found")
                                    .arg(web.server.url(QStringLiteral("/ogimet/getmetar?icao=LFPG")))))
        << failed.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(failed.contains(QStringLiteral("auravox.source: METAR weather data error: File error #1")))
        << failed.join(QLatin1Char('\n')).toStdString();

    web.server.route("/ogimet/getmetar", HttpResponse::text(page(kReport), 200, "text/html"));
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); }));
    ASSERT_TRUE(w.errorLine().isEmpty());
    EXPECT_TRUE(LogCapture::take().contains(
        QStringLiteral("auravox.source: METAR weather data error cleared (was File error #1)")));
    const QStringList spoken = h.announce();
    ASSERT_EQ(spoken, L({"SON_EXT_TEMP", "SON12", "SON_DEGREES"}));

    // The next refresh hangs: what the window and the announcer see meanwhile.
    HttpResponse silent;
    silent.neverAnswer = true;
    web.server.route("/ogimet/getmetar", silent);
    QString shownDuring, errorDuring;
    bool readyDuring = false;
    QObject::connect(&web.server, &LocalHttpServer::requestReceived, &w, [&] {
        shownDuring = w.shownErrorLine();
        errorDuring = w.errorLine();
        readyDuring = w.isReady();
    });
    bool busyAtEnd = true;
    QObject::connect(&w.internetSource(), &InternetSource::fetchEnded, &w,
                     [&] { busyAtEnd = h.form().announcer().busy(); });
    qsizetype before = h.playedClips().size();
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); })); // the announcement plays during the download
    EXPECT_FALSE(busyAtEnd);
    EXPECT_EQ(shownDuring, QStringLiteral("Downloading ..."));
    EXPECT_TRUE(errorDuring.isEmpty());
    EXPECT_TRUE(readyDuring);
    EXPECT_EQ(h.playedClips().mid(before), spoken) << "the reading of a minute ago is spoken";
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error #1")) << "the refresh failed";
    EXPECT_TRUE(h.announce().isEmpty()) << "a failed refresh leaves the weather out";

    // During a refresh after a failure the source stays out.
    before = h.playedClips().size();
    h.clickButton1();
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); }));
    EXPECT_EQ(shownDuring, QStringLiteral("Downloading ..."));
    EXPECT_EQ(errorDuring, QStringLiteral("File error #1"));
    EXPECT_FALSE(readyDuring);
    EXPECT_TRUE(h.playedClips().mid(before).isEmpty());

    // The staleness gate still holds during a download: two hours after the
    // report, it is left out.
    web.server.route("/ogimet/getmetar", HttpResponse::text(page(kReport), 200, "text/html"));
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); }));
    ASSERT_TRUE(w.errorLine().isEmpty());
    h.find<QAction>("MenuAnnonce1h")->trigger();
    h.clock().setNow(DateTimeUtil::fromDays(w.snapshot().readingTime).addSecs(2 * 3600));
    web.server.route("/ogimet/getmetar", silent);
    before = h.playedClips().size();
    h.clickButton1();
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); }));
    EXPECT_TRUE(readyDuring);
    EXPECT_TRUE(h.playedClips().mid(before).isEmpty());
}

TEST(AprsWindow, ARefreshInProgressKeepsTheLastReading)
{
    QuickDownloads quick;
    MainWindowHarness h(kStart);
    Web web;
    const QByteArray packet = "F4ABC-13&gt;APRS,TCPIP*,qAC:@071030z4851.23N/00221.45E_240/012g020t054r000p010P000h77b10130";
    web.server.route("/info", HttpResponse::text("<html>\n<span class='raw_line'>" + packet + "</span>\n</html>\n",
                                                 200, "text/html"));
    TFormMeteoAPRS &w = h.windows().formMeteoAPRS();
    w.setEntryText(web.server.url(QStringLiteral("/info")));
    click(w.itemBox(WeatherItem::WindSpeed));
    click(h.find<QCheckBox>("CheckBoxDate"));
    click(h.find<QCheckBox>("CheckBoxHeure"));
    ASSERT_TRUE(fetched(w, [&] { click(h.windows().formChoixMeteo().radioButton(SourceKind::Aprs)); }));
    ASSERT_TRUE(w.errorLine().isEmpty());
    const QStringList spoken = h.announce();
    ASSERT_EQ(spoken, L({"SON_WIND", "SON19", "SON_KMH"}));

    HttpResponse silent;
    silent.neverAnswer = true;
    web.server.route("/info", silent);
    QString shownDuring;
    bool readyDuring = false;
    QObject::connect(&web.server, &LocalHttpServer::requestReceived, &w, [&] {
        shownDuring = w.shownErrorLine();
        readyDuring = w.isReady();
    });
    const qsizetype before = h.playedClips().size();
    h.clickButton1();
    ASSERT_TRUE(fetched(w, [&] { w.ButtonRafraichirClick(); }));
    EXPECT_EQ(shownDuring, QStringLiteral("Downloading"));
    EXPECT_TRUE(readyDuring);
    EXPECT_EQ(h.playedClips().mid(before), spoken);
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error #1"));
}

TEST(MetarWindow, HistoryOfTenAndFavourites)
{
    MainWindowHarness h(kStart);
    TFormMeteoMETAR &w = h.windows().formMeteoMETAR();
    for (int i = 1; i <= 10; ++i)
        w.AddToHistory(QStringLiteral("https://x/?icao=K%1").arg(i, 3, 10, QLatin1Char('0')));
    w.AddToHistory(QStringLiteral("https://x/?icao=K005"));
    EXPECT_EQ(w.history().size(), 10);
    EXPECT_EQ(w.history().at(4), QStringLiteral("https://x/?icao=K005")) << "an entry already there is only selected";
    w.AddToHistory(QStringLiteral("https://x/?icao=NEW1"));
    EXPECT_EQ(w.history().first(), QStringLiteral("https://x/?icao=NEW1"));
    EXPECT_EQ(w.history().last(), QStringLiteral("https://x/?icao=K009")) << "the tenth is dropped";

    Web web;
    web.server.route("/ogimet/getmetar", HttpResponse::text(page(kReport), 200, "text/html"));
    TFormFav &fav = h.windows().formFavMETAR();
    EXPECT_EQ(fav.windowTitle(), QStringLiteral("METAR Favourites"));
    fav.field(2)->setText(web.metar("/ogimet/getmetar"));
    fav.ButtonClick(3); // empty
    fav.ButtonClick(2); // the METAR window is hidden
    EXPECT_TRUE(web.server.requests().isEmpty());
    w.show();
    fav.show();
    ASSERT_TRUE(fetched(w, [&] { click(fav.findChild<QPushButton *>(QStringLiteral("Button2"))); }));
    EXPECT_EQ(web.server.hits("/ogimet/getmetar"), 1);
    EXPECT_FALSE(fav.isVisible()) << "the refresh hides the favourites";
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = 12.0"));
    EXPECT_EQ(w.history().first(), fav.field(2)->text());
}

TEST(MetarWindow, KeysLoadAndSave)
{
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("lfpg.txt"));
    ASSERT_TRUE(writeFile(report, kReport + "\r\n"));
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")),
                          "[AURAVOX V2.2.3]\r\nMETEO=METAR\r\nMETAR_TEMPEXT=Y\r\nMETAR_DAT=" + report.toUtf8() +
                              "\r\nMETAR_FAV3=https://a/?icao=EGLL\r\nMETAR_FAV11=https://b\r\nMETAR_FAVx=c\r\n"
                              "METAR_TU=1\r\nAPRS_DAT=nowhere\r\n"));
    MainWindowHarness h(kStart, true, nullptr, dir.path());
    TFormMeteoMETAR &w = h.windows().formMeteoMETAR();
    EXPECT_EQ(w.reportPath(), report);
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = 12.0")) << "read at start";
    EXPECT_EQ(h.windows().formFavMETAR().field(3)->text(), QStringLiteral("https://a/?icao=EGLL"));
    EXPECT_EQ(h.windows().formMeteoAPRS().errorLine(), QStringLiteral("File error #6"));
    ASSERT_TRUE(h.form().SaveConfiguration());
    const QByteArray saved = readFile(dir.filePath(QStringLiteral("auravox.ini")));
    EXPECT_TRUE(saved.contains("METAR_TEMPEXT=Y\r\nMETAR_METPERI=1\r\nMETAR_DAT=" + report.toUtf8() + "\r\nMETAR_FAV3=https://a/?icao=EGLL\r\nMETAR_POFFSET=0\r\nMETAR_TU=1\r\n"))
        << saved.toStdString();
    EXPECT_FALSE(saved.contains("FAV11"));
}

TEST(AprsWindow, ThePageGivesItsLastRawLineAndTheWeatherIsDecoded)
{
    MainWindowHarness h(kStart);
    Web web;
    const QByteArray packet = "F4ABC-13&gt;APRS,TCPIP*,qAC:@071030z4851.23N/00221.45E_240/012g020t054r000p010P000h77b10130";
    web.server.route("/info", HttpResponse::text("<html>\n<span class='raw_line'>F4ABC-13&gt;APRS:&gt;old status</span>\n"
                                                 "<span class='raw_line'>" + packet + "</span>\n</html>\n",
                                                 200, "text/html"));
    web.server.route("/status", HttpResponse::text("<html>\n<span class='raw_line'>F4ABC-13&gt;APRS:&gt;status</span>\n"
                                                   "</html>\n", 200, "text/html"));
    web.server.route("/nothing", HttpResponse::text("<html><p>please log in to aprs.fi</p></html>", 200, "text/html"));
    TFormMeteoAPRS &w = h.windows().formMeteoAPRS();
    w.setEntryText(web.server.url(QStringLiteral("/info")) + QStringLiteral(" //club"));
    ASSERT_TRUE(fetched(w, [&] { click(h.windows().formChoixMeteo().radioButton(SourceKind::Aprs)); }));
    EXPECT_TRUE(w.errorLine().isEmpty()) << w.errorLine().toStdString();
    EXPECT_TRUE(readFile(h.folder() + QStringLiteral("/aprs_web.txt")).contains("_240/012g020t054"));
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 19"));
    EXPECT_TRUE(caption(w, WeatherItem::OutdoorTemp).contains(QStringLiteral("12.2")))
        << caption(w, WeatherItem::OutdoorTemp).toStdString();
    EXPECT_FALSE(readFile(h.folder() + QStringLiteral("/public/aprs_cw.txt")).isEmpty());

    // A packet without weather keeps the values; a page without any raw line
    // on the map service gives the login hint.
    w.setEntryText(web.server.url(QStringLiteral("/status")));
    ASSERT_TRUE(fetched(w, [&] { w.EnterAction(); }));
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error #7"));
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 19"));
    EXPECT_FALSE(w.isReady());
    w.setEntryText(web.server.url(QStringLiteral("/nothing")) + QStringLiteral("?via=aprs.fi"));
    ASSERT_TRUE(fetched(w, [&] { w.EnterAction(); }));
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error #6"));
    ASSERT_EQ(h.prompts().messages.size(), 1);
    EXPECT_TRUE(h.prompts().messages.first().contains(QStringLiteral("log in")));
    EXPECT_TRUE(w.timer()->isActive());
}

TEST(AprsWindow, ALocalWeatherFileByBrowseAndTheRawUnits)
{
    MainWindowHarness h(kStart);
    TFormMeteoAPRS &w = h.windows().formMeteoAPRS();
    const QString wxnow = h.folder() + QStringLiteral("/WXNOW.TXT");
    ASSERT_TRUE(writeFile(wxnow, "Dec 07 2026 10:30\r\n090/010g015t020r000p000P000h50b10000\r\n"));
    h.prompts().nextFileNames << wxnow;
    click(w.findChild<QPushButton *>(QStringLiteral("ButtonParcourir")));
    EXPECT_EQ(h.prompts().lastFilter, QStringLiteral("Fichiers WXNOW.TXT|*.txt"));
    EXPECT_EQ(w.reportPath(), wxnow);
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 16"));

    click(w.unitButton("RadioButtonKM")); // the raw wind is in km/h: read again at once
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 10"));
    click(w.unitButton("RadioButtondegC"));
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = 20.0"));

    // A file deleted before it is chosen: beep, the entry emptied.
    QFile::remove(wxnow);
    h.prompts().nextFileNames << wxnow;
    const int beeps = h.prompts().beeps;
    click(w.findChild<QPushButton *>(QStringLiteral("ButtonParcourir")));
    EXPECT_EQ(h.prompts().beeps, beeps + 1);
    EXPECT_TRUE(w.entryText().isEmpty());
    EXPECT_FALSE(w.isReady());

    ASSERT_TRUE(h.form().SaveConfiguration());
    const QByteArray saved = readFile(h.folder() + QStringLiteral("/auravox.ini"));
    EXPECT_TRUE(saved.contains("APRS_KM=Y\r\nAPRS_DGF=N\r\nAPRS_INC=Y\r\nAPRS_METPERI=1\r\n")) << saved.toStdString();
}

TEST(ReleaseAtStart, TheCheckRunsAfterTheLoadWhenItsBoxIsTicked)
{
    Web web;
    web.server.route("/index_fichiers/versions.txt", HttpResponse::text("auravox=9.0.0\r\n"));
    ReleaseCheck::setReleaseHost(QStringLiteral("http://127.0.0.1:%1").arg(web.server.port()));
    for (const char *verstart : {"0", "1"}) {
        QTemporaryDir dir;
        ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")),
                              QByteArray("[AURAVOX V2.2.3]\r\nVERSTART=") + verstart + "\r\n"));
        const int before = web.server.hits("/index_fichiers/versions.txt");
        MainWindowHarness h(kStart, true, nullptr, dir.path());
        for (int i = 0; i < 20; ++i)
            h.pump();
        EXPECT_EQ(web.server.hits("/index_fichiers/versions.txt") - before, verstart[0] == '1' ? 1 : 0) << verstart;
        EXPECT_EQ(h.prompts().messages.size(), verstart[0] == '1' ? 1 : 0) << "the new release is told";
    }
    ReleaseCheck::setReleaseHost(QString());
}
