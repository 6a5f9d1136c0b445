// A GPIO line of the board. The kernel here has no gpio-sim, so these run
// through a stand-in at the libgpiod seam (GpioChip) that keeps the lines'
// logical values, their edges and who holds them, as the character device
// does; the libgpiod code itself is run for a chip that does not exist.

#include "transmitter/GpioPtt.h"
#include "transmitter/linux/LibgpiodChip.h"

#include "PttRig.h"
#include "support/LogCapture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

#include <map>
#include <set>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(10, 5, 30));

// The board's lines, which outlive each chip handle the program opens.
struct Board
{
    std::map<int, bool> value;   // logical
    std::map<int, int> rising;   // edges not yet read
    std::set<int> heldElsewhere; // requested by another program
    std::set<int> held;          // requested by the program
    std::map<int, bool> activeLow;
    QStringList calls;
    bool failReads = false;

    // The wire level of a line, as a meter on the pin would read it.
    bool wire(int line) { return value[line] != activeLow[line]; }
    // Another device drives an input to its active state.
    void drive(int line, bool active)
    {
        if (active && !value[line])
            ++rising[line];
        value[line] = active;
    }
};

class FakeGpioChip final : public GpioChip
{
public:
    explicit FakeGpioChip(Board &board) : m_b(board) {}
    bool open(const QString &chip) override
    {
        m_name = chip;
        m_b.calls << QStringLiteral("open ") + chip;
        if (chip != QLatin1String("gpiochip0"))
            return fail(QStringLiteral("open (No such file or directory)"));
        return true;
    }
    void close() override
    {
        m_b.calls << QStringLiteral("close");
        m_b.held.clear();
    }
    bool requestOutput(int offset, bool activeLow, bool value) override
    {
        m_b.calls << QStringLiteral("output %1%2 = %3").arg(offset).arg(activeLow ? " low" : "").arg(value);
        if (!request(offset, activeLow))
            return false;
        m_b.value[offset] = value;
        return true;
    }
    bool requestInput(int offset, bool activeLow) override
    {
        m_b.calls << QStringLiteral("input %1%2").arg(offset).arg(activeLow ? " low" : "");
        return request(offset, activeLow);
    }
    bool setValue(int offset, bool value) override
    {
        m_b.calls << QStringLiteral("set %1 = %2").arg(offset).arg(value);
        if (!m_b.held.count(offset))
            return fail(QStringLiteral("set line %1 (Invalid argument)").arg(offset));
        m_b.value[offset] = value;
        return true;
    }
    int value(int offset) override
    {
        if (m_b.failReads || !m_b.held.count(offset)) {
            fail(QStringLiteral("read line %1 (No such device)").arg(offset));
            return -1;
        }
        return m_b.value[offset] ? 1 : 0;
    }
    int risingEdges(int offset) override
    {
        if (m_b.failReads) {
            fail(QStringLiteral("events of line %1 (No such device)").arg(offset));
            return -1;
        }
        return std::exchange(m_b.rising[offset], 0);
    }
    QString lastError() const override { return m_error; }

private:
    bool request(int offset, bool activeLow)
    {
        if (m_b.heldElsewhere.count(offset))
            return fail(QStringLiteral("line %1 (Device or resource busy)").arg(offset));
        m_b.held.insert(offset);
        m_b.activeLow[offset] = activeLow;
        return true;
    }
    bool fail(const QString &what)
    {
        m_error = m_name + QStringLiteral(": ") + what;
        return false;
    }
    Board &m_b;
    QString m_name;
    QString m_error;
};

struct GpioStation
{
    GpioStation()
    {
        h = std::make_unique<MainWindowHarness>(kMorning, true, nullptr, QString(), false, [this](AppDeps &d) {
            d.pttDevices = [this](const PttSettings &s) -> std::unique_ptr<PttDevice> {
                return std::make_unique<GpioPtt>(s.gpio, std::make_unique<FakeGpioChip>(board));
            };
        });
    }
    // The COM window set to PTT on line 17 (active low), start on 22 and
    // inhibit on 27.
    QString choose(const QString &chip = QStringLiteral("gpiochip0"), int ptt = 17)
    {
        KindControls k(*h);
        k.chooseKind(2);
        k.find<QLineEdit>("EditGpioChip")->setText(chip);
        k.find<QSpinBox>("SpinGpioPtt")->setValue(ptt);
        k.find<QCheckBox>("CheckGpioPttLow")->setChecked(true);
        k.find<QSpinBox>("SpinGpioStart")->setValue(22);
        k.find<QSpinBox>("SpinGpioInhibit")->setValue(27);
        k.use();
        return k.outcome();
    }
    Board board;
    std::unique_ptr<MainWindowHarness> h;
};

constexpr int kPtt = 17, kStart = 22, kInhibit = 27;

} // namespace

TEST(GpioPort, TheLinesAreRequestedInactiveAndAWrongSettingSaysWhatToFix)
{
    GpioStation s;
    KindControls k(*s.h);
    k.chooseKind(2);
    k.use();
    EXPECT_EQ(k.outcome(), QStringLiteral("Choose the PTT line's offset on the GPIO chip."));
    EXPECT_TRUE(s.board.calls.isEmpty()) << "nothing opened";
    EXPECT_FALSE(k.find<QWidget>("ListBoxCOM")->isEnabled()) << "the serial port's list is not the kind chosen";

    EXPECT_EQ(s.choose(QStringLiteral("gpiochip0"), kStart), QStringLiteral("An input line can't be the PTT line."));
    EXPECT_EQ(s.choose(QStringLiteral("gpiochip7")), QStringLiteral("gpiochip7: open (No such file or directory)"));
    s.board.calls.clear();
    EXPECT_EQ(s.choose(), QStringLiteral("Open: gpiochip0 line 17 (GPIO, active low)"));
    EXPECT_EQ(s.board.calls, QStringList({"open gpiochip0", "output 17 low = 0", "input 22", "input 27"}));
    EXPECT_TRUE(s.board.wire(kPtt)) << "active low, released: the pin is high";
    EXPECT_EQ(s.h->find<QLabel>("LabelCOM")->text(), QStringLiteral("GPIO"));

    // Another program holds the PTT line: the kernel refuses, nothing is keyed.
    s.board.heldElsewhere.insert(kPtt);
    s.board.calls.clear();
    EXPECT_EQ(s.choose(), QStringLiteral("gpiochip0: line 17 (Device or resource busy)"));
    EXPECT_FALSE(s.h->form().announcer().transmitter().isOpen());
}

TEST(GpioPort, KeyedThreeHundredMillisecondsBeforeTheFirstClipReleasedAfterTheLastAndOnAFailure)
{
    GpioStation s;
    ASSERT_TRUE(s.choose().startsWith(QLatin1String("Open: ")));
    QList<bool> pinAtClip; // the wire level as each clip went out
    QList<qint64> clipAt;
    const QDateTime t0 = s.h->clock().now();
    s.h->wave().onWrite = [&](int) {
        pinAtClip << s.board.wire(kPtt);
        clipAt << t0.msecsTo(s.h->clock().now());
    };
    s.board.calls.clear();
    s.h->clickButton1();
    ASSERT_TRUE(s.h->runUntilIdle());
    ASSERT_GE(clipAt.size(), 2);
    EXPECT_EQ(clipAt.first(), 300);
    EXPECT_EQ(pinAtClip, QList<bool>(pinAtClip.size(), false)) << "keyed (pin low) through every clip";
    EXPECT_TRUE(s.board.wire(kPtt));
    EXPECT_EQ(s.board.calls, QStringList({"set 17 = 1", "set 17 = 0"}));

    // The player fails: released by the watchdog reset.
    s.h->wave().onWrite = {};
    s.h->form().setHelloPath(QStringLiteral("missing.wav"));
    auto *hello = s.h->find<QCheckBox>("CheckBoxZorbel");
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    s.board.calls.clear();
    LogCapture log;
    s.h->clickButton1();
    ASSERT_TRUE(s.h->runUntilIdle());
    EXPECT_EQ(s.board.calls, QStringList({"set 17 = 1", "set 17 = 0"}));
    EXPECT_EQ(log.matching({"PTT released on gpiochip0 line 17", "watchdog reset"}).size(), 1);

    // The program closes: released, then the lines are given back.
    s.board.calls.clear();
    s.h->form().close();
    ASSERT_FALSE(s.board.calls.isEmpty());
    EXPECT_EQ(s.board.calls.last(), QStringLiteral("close"));
    EXPECT_TRUE(s.board.calls.contains(QStringLiteral("set 17 = 0")));
}

TEST(GpioPort, TheInhibitLineRefusesAndTheStartLineStartsOncePerEdge)
{
    GpioStation s;
    ASSERT_TRUE(s.choose().startsWith(QLatin1String("Open: ")));
    LogCapture log;
    auto starts = [&] {
        return log.matching({"PTT keyed (line 17)", "announcement started by the start input (line 22)"}).size();
    };

    s.board.drive(kInhibit, true);
    s.board.drive(kStart, true);
    s.h->tick();
    EXPECT_FALSE(s.h->form().announcer().busy());
    s.h->clickButton1();
    EXPECT_FALSE(s.h->form().announcer().busy());
    EXPECT_EQ(log.matching({"refused: DCD is on"}).size(), 2) << "the start line's and the button's";
    EXPECT_EQ(starts(), 0);

    s.board.drive(kInhibit, false);
    s.board.drive(kStart, false);
    s.h->tick();
    s.board.drive(kStart, true);
    s.h->tick();
    ASSERT_TRUE(s.h->runUntilIdle());
    EXPECT_EQ(starts(), 1);
    s.h->tick();
    s.h->tick();
    ASSERT_TRUE(s.h->runUntilIdle());
    EXPECT_EQ(starts(), 1) << "held: one edge";
    // Up and down again between two polls: the edge event still counts.
    s.board.drive(kStart, false);
    s.h->tick();
    s.board.drive(kStart, true);
    s.board.drive(kStart, false);
    s.h->tick();
    ASSERT_TRUE(s.h->runUntilIdle());
    EXPECT_EQ(starts(), 2);

    // The chip goes away (a loose ribbon cable): no input counts.
    s.board.failReads = true;
    s.board.drive(kStart, true);
    s.h->tick();
    ASSERT_TRUE(s.h->runUntilIdle());
    EXPECT_EQ(starts(), 2);
}

TEST(GpioPort, TheGuardDropsThePttLineFoundActiveWhileIdle)
{
    GpioStation s;
    ASSERT_TRUE(s.choose().startsWith(QLatin1String("Open: ")));
    LogCapture log;
    s.board.value[kPtt] = true; // as if something set the line behind our back
    s.h->tick();
    EXPECT_FALSE(s.board.value[kPtt]);
    EXPECT_EQ(log.matching({"auravox.port", "line 17 found up on gpiochip0 line 17", "dropped"}).size(), 1);

    // Not while an announcement runs.
    s.h->wave().autoComplete = false;
    s.h->clickButton1();
    ASSERT_TRUE(s.h->form().announcer().busy());
    s.h->tick();
    EXPECT_TRUE(s.board.value[kPtt]);
    s.h->wave().autoComplete = true;
    s.h->wave().completeNext();
    ASSERT_TRUE(s.h->runUntilIdle());
    EXPECT_FALSE(s.board.value[kPtt]);
}

TEST(GpioPort, LibgpiodNamesAChipThatIsNotThere)
{
    LibgpiodChip chip;
    EXPECT_FALSE(chip.open(QStringLiteral("/dev/gpiochip-none")));
    EXPECT_TRUE(chip.lastError().startsWith(QLatin1String("/dev/gpiochip-none: open (")))
        << chip.lastError().toStdString();
    EXPECT_FALSE(chip.requestOutput(3, false, false)) << "no chip, no line";
    EXPECT_EQ(chip.value(3), -1);
}

// From the serial port to a GPIO line and back: the port is released and
// closed, its choice kept, and opened again when the serial port comes back.
TEST(GpioPort, SwitchingKindsClosesTheSerialPortAndBringsItBack)
{
    GpioStation s;
    s.h->choosePort(QStringLiteral("COM2"));
    s.h->serial().calls.clear();
    ASSERT_TRUE(s.choose().startsWith(QLatin1String("Open: ")));
    EXPECT_EQ(s.h->serial().calls, QStringList({"DTR-", "RTS-", "close"}));
    EXPECT_EQ(s.h->com().portName(), QStringLiteral("COM2"));

    s.board.calls.clear();
    s.h->serial().calls.clear();
    KindControls k(*s.h);
    k.chooseKind(0);
    EXPECT_TRUE(k.find<QWidget>("ListBoxCOM")->isEnabled());
    k.use();
    // Released by the transmitter, and once more by the device as it closes.
    EXPECT_EQ(s.board.calls, QStringList({"set 17 = 0", "set 17 = 0", "close"}));
    EXPECT_EQ(s.h->serial().calls, QStringList({"open COM2"}));
    EXPECT_EQ(s.h->find<QLabel>("LabelCOM")->text(), QStringLiteral("COM2"));
    EXPECT_TRUE(k.outcome().isEmpty());
}
