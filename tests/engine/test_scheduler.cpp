// When the tick starts an announcement, and the serial input line rules.

#include "engine/AnnounceMachine.h"
#include "engine/Scheduler.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;

namespace {

ClockFields at(int hour, int minute)
{
    ClockFields f;
    f.hour = hour;
    f.minute = minute;
    return f;
}

// Ticks once a second over a whole day, announcements taking no time, and
// returns the minutes of the day (hour * 60 + minute) at which one started.
std::vector<int> simulateDay(Scheduler &s)
{
    std::vector<int> starts;
    for (int second = 0; second < 86400; ++second) {
        if (s.tick(at(second / 3600, second / 60 % 60), false) == Scheduler::TickAction::Announce)
            starts.push_back(second / 60);
    }
    return starts;
}

} // namespace

TEST(Scheduler, PeriodsAndTheirText)
{
    const char *texts[] = {"0", "5", "10", "15", "20", "30", "60"};
    for (int p = 0; p <= 6; ++p)
        EXPECT_EQ(Scheduler::periodText(p), QLatin1String(texts[p]));
    Scheduler s;
    s.setPeriodPosition(9);
    EXPECT_EQ(s.periodPosition(), 6);
    s.setPeriodPosition(-2);
    EXPECT_EQ(s.periodPosition(), 0);
}

TEST(Scheduler, OneAnnouncementPerMultipleOfThePeriod)
{
    Scheduler s;
    s.setPeriodPosition(3); // 15 minutes
    const std::vector<int> starts = simulateDay(s);
    ASSERT_EQ(starts.size(), 96u);
    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_EQ(starts[i], static_cast<int>(i) * 15);

    s.setPeriodPosition(6);
    EXPECT_EQ(simulateDay(s).size(), 24u);
    s.setPeriodPosition(0);
    EXPECT_TRUE(simulateDay(s).empty()) << "period 0: never by schedule";
}

TEST(Scheduler, RangesOfHours)
{
    Scheduler s;
    s.setPeriodPosition(6);
    s.setStartHour(22);
    s.setEndHour(6);
    std::vector<int> hours;
    for (int m : simulateDay(s))
        hours.push_back(m / 60);
    EXPECT_EQ(hours, (std::vector<int>{0, 1, 2, 3, 4, 5, 22, 23}));

    s.setStartHour(6);
    s.setEndHour(6);
    EXPECT_TRUE(simulateDay(s).empty());

    s.setStartHour(24);
    s.setEndHour(3);
    hours.clear();
    for (int m : simulateDay(s))
        hours.push_back(m / 60);
    EXPECT_EQ(hours, (std::vector<int>{0, 1, 2}));

    s.setStartHour(0);
    s.setEndHour(24);
    EXPECT_EQ(simulateDay(s).size(), 24u);
}

TEST(Scheduler, TopOfTheHourFiresWhateverThePeriod)
{
    Scheduler s;
    s.setPeriodPosition(4); // 20 minutes
    EXPECT_EQ(s.tick(at(7, 0), false), Scheduler::TickAction::Announce);
    EXPECT_EQ(s.tick(at(7, 0), false), Scheduler::TickAction::Nothing) << "once per minute";
    EXPECT_EQ(s.tick(at(7, 1), false), Scheduler::TickAction::PollLines);
    EXPECT_EQ(s.tick(at(7, 20), false), Scheduler::TickAction::Announce);
}

TEST(Scheduler, BusyAtTheBoundaryStartsLaterInTheSameMinuteOnly)
{
    Scheduler s;
    s.setPeriodPosition(1); // 5 minutes
    EXPECT_EQ(s.tick(at(9, 5), true), Scheduler::TickAction::Nothing);
    EXPECT_FALSE(s.firedMark());
    EXPECT_EQ(s.tick(at(9, 5), false), Scheduler::TickAction::Announce) << "the running one ended within the minute";
    EXPECT_EQ(s.tick(at(9, 10), true), Scheduler::TickAction::Nothing);
    EXPECT_EQ(s.tick(at(9, 11), false), Scheduler::TickAction::PollLines) << "that boundary has passed";
    EXPECT_EQ(s.tick(at(9, 15), false), Scheduler::TickAction::Announce);
}

TEST(Scheduler, AMinuteThatFiredDoesNotFireAgainWhenTheClockStepsBack)
{
    Scheduler s;
    s.setPeriodPosition(3); // 15 minutes
    auto tickAt = [&](qint64 utcMinute, int hour, int minute) {
        return s.tick(at(hour, minute), false, utcMinute);
    };
    const qint64 base = 29'000'000; // some minute since 1970, at 13:00 local
    EXPECT_EQ(tickAt(base + 30, 13, 30), Scheduler::TickAction::Announce);
    EXPECT_EQ(tickAt(base + 44, 13, 44), Scheduler::TickAction::PollLines);
    EXPECT_EQ(tickAt(base + 30, 13, 30), Scheduler::TickAction::Nothing) << "stepped back 14 minutes";
    EXPECT_TRUE(s.firedMark());
    EXPECT_EQ(s.lastFiredMinute(), 30);
    EXPECT_EQ(tickAt(base + 45, 13, 45), Scheduler::TickAction::Announce);
    EXPECT_EQ(tickAt(base + 30, 13, 30), Scheduler::TickAction::Nothing) << "back over two boundaries";
    EXPECT_EQ(tickAt(base + 45, 13, 45), Scheduler::TickAction::Nothing);
    // The same local minute an hour later, or a fall-back's second 02:30, is another minute.
    EXPECT_EQ(tickAt(base + 90, 13, 30), Scheduler::TickAction::Announce);
    // A clock that ran hours ahead and is set right announces the minutes it lives again.
    EXPECT_EQ(tickAt(base + 91 + Scheduler::kMemoryMinutes, 16, 31), Scheduler::TickAction::PollLines);
    EXPECT_EQ(tickAt(base + 90, 13, 30), Scheduler::TickAction::Announce);
}

TEST(Scheduler, OutOfRangeTheLinesArePolled)
{
    Scheduler s;
    EXPECT_EQ(s.tick(at(12, 0), false), Scheduler::TickAction::PollLines) << "period 0";
    s.setPeriodPosition(2);
    s.setStartHour(8);
    s.setEndHour(9);
    EXPECT_EQ(s.tick(at(9, 0), false), Scheduler::TickAction::PollLines) << "the end hour is outside";
}

TEST(LinePoll, OneStartPerRisingEdgeCtsWins)
{
    LineState lines;
    ModemStatus st;
    LinePollResult r = pollLines(st, true, true, lines);
    EXPECT_FALSE(r.startAnnouncement);
    EXPECT_EQ(r.ctsCaption.value_or(QString()), QStringLiteral("CTS=Off"));
    EXPECT_EQ(r.dcdCaption, QStringLiteral("DCD=Off"));

    st.cts = st.dsr = true; // both rise in the same poll
    r = pollLines(st, true, true, lines);
    EXPECT_TRUE(r.startAnnouncement);
    EXPECT_EQ(r.ctsCaption.value_or(QString()), QStringLiteral("CTS=On"));
    EXPECT_FALSE(r.dsrCaption.has_value()) << "DSR waits for the next poll";
    r = pollLines(st, true, true, lines);
    EXPECT_TRUE(r.startAnnouncement) << "DSR's own edge, one poll later";
    EXPECT_EQ(r.dsrCaption.value_or(QString()), QStringLiteral("DSR=On"));
    r = pollLines(st, true, true, lines);
    EXPECT_FALSE(r.startAnnouncement) << "a line held high starts only once";

    // An announcement start marks both lines as seen: they must fall first.
    st.cts = false;
    pollLines(st, true, true, lines);
    st.cts = true;
    lines.ctsSeen = true; // as the start of the announcement leaves it
    EXPECT_FALSE(pollLines(st, true, true, lines).startAnnouncement);
}

TEST(LinePoll, UncheckedBoxSeesTheEdgeWithoutStarting)
{
    LineState lines;
    ModemStatus st;
    st.cts = true;
    st.dcd = true;
    const LinePollResult r = pollLines(st, false, true, lines);
    EXPECT_FALSE(r.startAnnouncement);
    EXPECT_TRUE(lines.ctsSeen);
    EXPECT_TRUE(lines.dcdOn);
    EXPECT_EQ(r.dcdCaption, QStringLiteral("DCD=On"));
}
