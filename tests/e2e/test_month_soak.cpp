// A month of running on the injectable clock: an announcement every 5
// minutes all day, the weather from a METAR report file and from a WS-23xx
// history file that grows as the station would write it, the source changed
// every day. Every 5-minute slot gets exactly one announcement, the
// transmitter is never keyed outside one, and memory stays flat.

#include "support/MainWindowHarness.h"
#include "support/StationFiles.h"
#include "support/WavBuilder.h"

#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

long residentKb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Seconds of the WS-23xx time stamp for a local time.
quint32 ws23Stamp(const QDateTime &t)
{
    const QDateTime epoch(QDate(1900, 1, 1), QTime(1, 0));
    return static_cast<quint32>(epoch.secsTo(t));
}

} // namespace

TEST(MonthSoak, EveryFiveMinutesForThirtyDaysExactlyOnce)
{
    const int days = qEnvironmentVariableIntValue("AURAVOX_SOAK_DAYS") > 0
                         ? qEnvironmentVariableIntValue("AURAVOX_SOAK_DAYS")
                         : 30;
    QTemporaryDir dir;
    const QString metar = dir.filePath(QStringLiteral("lfpg.txt"));
    ASSERT_TRUE(writeFile(metar, "LFPG 301030Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG=\r\n"));
    const QString history = dir.filePath(QStringLiteral("history.dat"));
    ASSERT_TRUE(writeFile(history, QByteArray()));
    const QByteArray ini = "[AURAVOX V2.2.3]\r\nPERIOD=1\r\nHELLO=N\r\nMETAR_TEMPEXT=Y\r\nMETAR_VITVENT=Y\r\nMETAR_DAT=" +
                           metar.toUtf8() + "\r\nW23_TEMPEXT=Y\r\nW23_PRESATM=Y\r\nW23_DAT=" + history.toUtf8() +
                           "\r\nCOM=1\r\n";
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")), ini));

    const QDateTime start(QDate(2026, 11, 1), QTime(0, 0, 0));
    MainWindowHarness h(start, false, nullptr, dir.path());
    ASSERT_TRUE(h.serial().ports.contains(QStringLiteral("COM1")));
    h.wave().keepSamples = false; // a month of audio would fill the memory of the test, not the program's
    h.load();
    ASSERT_EQ(h.com().portName(), QStringLiteral("COM1"));

    std::set<qint64> keyedMinutes; // minutes since the start at which the transmitter keyed
    int keyings = 0, doubled = 0, keyedIdle = 0;
    h.serial().onCall = [&](const QString &call) {
        if (call != QLatin1String("DTR+"))
            return;
        ++keyings;
        const qint64 minute = start.secsTo(h.clock().now()) / 60;
        if (!keyedMinutes.insert(minute).second)
            ++doubled;
        if (!h.form().announcer().busy())
            ++keyedIdle;
    };

    TFormMeteoMETAR &metarWindow = h.windows().formMeteoMETAR();
    TFormMeteoW23 &ws23Window = h.windows().formMeteoW23();
    QFile file(history);
    ASSERT_TRUE(file.open(QIODevice::Append));
    long residentAfterDay1 = 0, peakResident = 0;
    const QDateTime end = start.addDays(days);
    QDateTime lastMinute;
    while (h.clock().now() < end) {
        h.tick();
        const QDateTime now = h.clock().now();
        const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
        if (minute != lastMinute) {
            lastMinute = minute;
            if (minute.time() == QTime(0, 0)) {
                // The source changes at midnight: METAR on even days, WS-23xx on odd ones.
                const bool useMetar = start.daysTo(now) % 2 == 0;
                h.windows().formChoixMeteo().radioButton(useMetar ? SourceKind::Metar : SourceKind::Ws23)->click();
            }
            if (minute.time().minute() % 5 == 0) {
                Ws23Row r;
                r.stamp = ws23Stamp(minute);
                r.pressure = 1000.0f + static_cast<float>(minute.time().hour());
                file.write(r.bytes()); // the station's program appends as it runs
                file.flush();
            }
            peakResident = std::max(peakResident, residentKb());
            // The chosen source's refresh timer, once a minute.
            if (h.windows().formChoixMeteo().checkedSource() == SourceKind::Metar)
                metarWindow.TimerMeteoTimer();
            else
                ws23Window.TimerMeteoTimer();
        }
        if (h.form().announcer().busy()) {
            ASSERT_TRUE(h.runUntilIdle()) << "an announcement did not end";
        }
        if (h.serial().dtr && !h.form().announcer().busy())
            ++keyedIdle;
        if (start.daysTo(now) == 1 && residentAfterDay1 == 0)
            residentAfterDay1 = residentKb();
    }

    const int expected = days * 24 * 12;
    EXPECT_EQ(keyings, expected);
    EXPECT_EQ(static_cast<int>(keyedMinutes.size()), expected);
    EXPECT_EQ(doubled, 0);
    EXPECT_EQ(keyedIdle, 0);
    // Each slot on its 5-minute mark (the tick of its first second).
    int offMark = 0;
    for (qint64 m : keyedMinutes)
        offMark += m % 5 != 0;
    EXPECT_EQ(offMark, 0);
    EXPECT_TRUE(ws23Window.errorLine().isEmpty()) << ws23Window.errorLine().toStdString();
    EXPECT_TRUE(metarWindow.errorLine().isEmpty()) << metarWindow.errorLine().toStdString();
    const long growth = peakResident - residentAfterDay1;
    std::printf("month soak: %d days, %d announcements, resident after day 1 %ld KB, peak %ld KB\n", days,
                keyings, residentAfterDay1, peakResident);
    EXPECT_LT(growth, 8 * 1024) << "memory grows with the days";
}
