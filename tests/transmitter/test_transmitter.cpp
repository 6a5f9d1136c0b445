// The transmitter's owner: keying only the chosen lines, releasing both, the
// guard that puts lines another program raised back down, and what the log
// says about each.

#include "transmitter/Transmitter.h"

#include "support/FakeSerialLines.h"
#include "support/LogCapture.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

struct Rig
{
    Rig()
    {
        tx.setLed([this](bool on) { led = on; });
    }
    FakeSerialLines lines;
    Transmitter tx{lines};
    bool led = false;
};

} // namespace

TEST(Transmitter, KeysTheChosenLinesAndReleasesBoth)
{
    Rig r;
    ASSERT_TRUE(r.tx.open(QStringLiteral("COM2")));
    Transmitter::Lines choice;
    choice.rts = false;
    r.tx.setLines(choice);
    r.lines.calls.clear();
    r.tx.key(QStringLiteral("test"));
    EXPECT_EQ(r.lines.calls, QStringList({"DTR+"}));
    EXPECT_TRUE(r.led);
    EXPECT_TRUE(r.tx.isKeyed());
    r.tx.release(QStringLiteral("test"));
    EXPECT_EQ(r.lines.calls, QStringList({"DTR+", "DTR-", "RTS-"})) << "both lines, whatever the boxes";
    EXPECT_FALSE(r.led);
    EXPECT_FALSE(r.tx.isKeyed());

    // No port: nothing is touched, and nothing counts as keyed.
    r.tx.close(QStringLiteral("test"));
    r.lines.calls.clear();
    r.tx.key(QStringLiteral("test"));
    EXPECT_TRUE(r.lines.calls.isEmpty());
    EXPECT_FALSE(r.tx.isKeyed());
    EXPECT_FALSE(r.tx.isOpen());
}

TEST(Transmitter, OpenStateComesFromThePortAndErrorsNameThePathAndReason)
{
    Rig r;
    r.lines.busy << QStringLiteral("COM10");
    LogCapture log;
    EXPECT_FALSE(r.tx.open(QStringLiteral("COM10")));
    EXPECT_FALSE(r.tx.isOpen());
    EXPECT_EQ(r.tx.lastError(), QStringLiteral("/dev/fake10: Device or resource busy"));
    EXPECT_EQ(log.of("auravox.port"), QStringList({"COM10 can't be opened: /dev/fake10: Device or resource busy"}));

    ASSERT_TRUE(r.tx.open(QStringLiteral("COM1")));
    EXPECT_TRUE(r.tx.lastError().isEmpty());
    EXPECT_EQ(r.tx.devicePath(), QStringLiteral("/dev/fake1"));
    // The port closed under it (another owner of the lines): no longer open,
    // whatever was shown before.
    r.lines.close();
    EXPECT_FALSE(r.tx.isOpen());
    EXPECT_TRUE(r.tx.devicePath().isEmpty());
}

TEST(Transmitter, GuardDropsLinesRaisedWhileIdleButNeverDuringAnAnnouncement)
{
    Rig r;
    ASSERT_TRUE(r.tx.open(QStringLiteral("COM1")));
    LogCapture log;
    EXPECT_FALSE(r.tx.guardIdleLines()) << "nothing up, nothing to do";

    r.tx.key(QStringLiteral("announcement"));
    EXPECT_FALSE(r.tx.guardIdleLines());
    EXPECT_TRUE(r.lines.dtr && r.lines.rts) << "the announcement's own keying stays";
    r.tx.release(QStringLiteral("end"));

    // Another program opens the port: Linux raises both lines.
    for (int i = 0; i < 61; ++i) {
        r.lines.dtr = true;
        r.lines.rts = i % 2 == 0;
        EXPECT_TRUE(r.tx.guardIdleLines());
        EXPECT_FALSE(r.lines.dtr || r.lines.rts);
    }
    const QStringList warnings = log.matching({"auravox.port", "while no announcement runs"});
    ASSERT_EQ(warnings.size(), 2) << "the first of a run, then one a minute";
    EXPECT_TRUE(warnings.first().contains(QLatin1String("DTR+RTS found up on /dev/fake1 (COM1)")));
    EXPECT_FALSE(r.tx.guardIdleLines());
}

TEST(Transmitter, AFailedKeyIsLoggedWithTheReason)
{
    Rig r;
    ASSERT_TRUE(r.tx.open(QStringLiteral("COM1")));
    r.lines.linesFail = true; // the adapter was pulled out
    LogCapture log;
    r.tx.key(QStringLiteral("announcement started by the button"));
    EXPECT_FALSE(r.tx.lastError().isEmpty());
    EXPECT_EQ(log.matching({"auravox.ptt", "keying (DTR+RTS) failed", "Input/output error"}).size(), 1);
    r.tx.release(QStringLiteral("end of the announcement"));
    EXPECT_EQ(log.matching({"auravox.ptt", "release failed", "end of the announcement"}).size(), 1);
}

// A release that fails (the adapter pulled out, a rig that stopped answering)
// is tried again at every idle poll until it works, and the guard looks at
// nothing else meanwhile.
TEST(Transmitter, AFailedReleaseIsRetriedAtEveryIdlePollUntilItWorks)
{
    Rig r;
    ASSERT_TRUE(r.tx.open(QStringLiteral("COM1")));
    r.tx.key(QStringLiteral("announcement started by the button"));
    r.lines.linesFail = true;
    LogCapture log;
    r.tx.release(QStringLiteral("end of the announcement"));
    EXPECT_TRUE(r.tx.releasePending());
    EXPECT_FALSE(r.led) << "the LED says what was asked";
    r.lines.calls.clear();
    EXPECT_FALSE(r.tx.guardIdleLines());
    EXPECT_EQ(r.lines.calls, QStringList({"DTR-", "RTS-"}));
    EXPECT_TRUE(r.tx.releasePending());

    r.lines.linesFail = false;
    EXPECT_TRUE(r.tx.guardIdleLines());
    EXPECT_FALSE(r.tx.releasePending());
    EXPECT_FALSE(r.lines.dtr || r.lines.rts);
    EXPECT_TRUE(r.tx.lastError().isEmpty());
    EXPECT_EQ(
        log.matching({"auravox.ptt", "PTT released on /dev/fake1 (COM1): end of the announcement (the release was "
                                     "retried)"})
            .size(),
        1);
    r.lines.calls.clear();
    EXPECT_FALSE(r.tx.guardIdleLines());
    EXPECT_TRUE(r.lines.calls.isEmpty()) << "lines down: left alone";

    // A key before the retry worked: the end of that announcement releases.
    r.tx.key(QStringLiteral("x"));
    r.lines.linesFail = true;
    r.tx.release(QStringLiteral("y"));
    r.lines.linesFail = false;
    r.tx.key(QStringLiteral("z"));
    EXPECT_FALSE(r.tx.releasePending());
    EXPECT_FALSE(r.tx.guardIdleLines()) << "keyed: the guard stays out";
}

// Another kind of device replaces the serial port, which is released and
// closed first; a kind this program lacks opens nothing.
TEST(Transmitter, AnotherKindReplacesTheSerialPortAfterReleasingIt)
{
    Rig r;
    ASSERT_TRUE(r.tx.open(QStringLiteral("COM2")));
    r.lines.calls.clear();
    EXPECT_FALSE(r.tx.openDevice(nullptr));
    EXPECT_EQ(r.lines.calls, QStringList({"DTR-", "RTS-", "close"}));
    EXPECT_FALSE(r.tx.isOpen());
    EXPECT_EQ(r.tx.lastError(), QStringLiteral("this kind of transmitter port is not built into this program"));
    EXPECT_TRUE(r.tx.portName().isEmpty());
}
