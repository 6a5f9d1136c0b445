// The native Weather Monitor II driver against the simulated station, over a
// real pseudo-terminal.

#include "platform/linux/MonitorSerialDriver.h"
#include "platform/linux/MonitorSimulator.h"
#include "platform/linux/MonitorStationFactory.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace auravox;

namespace {

constexpr qint64 kMinute = 60 * 1000;

class MonitorDriverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.isRunning());
        driver.setReplyTimeoutMs(200);
    }

    // Values of the reader's six calls after GetInsideTemp, in its order.
    struct Reading
    {
        double inside, outside, barometer;
        quint8 trend;
        double wind;
        int direction;
    };
    Reading read()
    {
        Reading r{};
        r.inside = driver.GetInsideTemp();
        r.outside = driver.GetOutsideTemp();
        r.barometer = driver.GetBarometer();
        r.trend = driver.GetBarometerTrend();
        r.wind = driver.GetWindSpeed();
        r.direction = driver.GetWindDirection();
        return r;
    }

    void setBarometer(int thousandths)
    {
        LoopPacket p = sim.packet();
        p.barometerThousandthsInHg = static_cast<qint16>(thousandths);
        sim.setPacket(p);
    }

    MonitorSimulator sim;
    qint64 clockMs = 1000 * kMinute;
    MonitorSerialDriver driver{[this](int) { return sim.slavePath(); }, [this] { return clockMs; }};
};

LoopPacket samplePacket()
{
    LoopPacket p;
    p.insideTempTenthsF = 700;
    p.outsideTempTenthsF = 455;
    p.windSpeedMph = 12;
    p.windDirection = 270;
    p.barometerThousandthsInHg = 29950;
    p.insideHumidity = 41;
    p.outsideHumidity = 77;
    p.rainClicks = 5;
    return p;
}

} // namespace

TEST_F(MonitorDriverTest, FullReadingWithCalibrationApplied)
{
    sim.setPacket(samplePacket());
    sim.setCalibration({15, -20, 30});
    sim.setTrendBits(0x02);
    ASSERT_EQ(driver.OpenCommPort(3, 2400), 1);
    EXPECT_TRUE(driver.isOpen());
    EXPECT_EQ(sim.handshakes(), 1); // a plain station, which answers "!" to it
    EXPECT_EQ(driver.calibration().barometerThousandthsInHg, 30);
    EXPECT_DOUBLE_EQ(driver.GetDllVersion(), 1.0);

    const Reading r = read();
    EXPECT_DOUBLE_EQ(r.inside, 71.5);
    EXPECT_DOUBLE_EQ(r.outside, 43.5);
    EXPECT_DOUBLE_EQ(r.barometer, 29.92);
    EXPECT_EQ(r.trend, 1);
    EXPECT_DOUBLE_EQ(r.wind, 12.0);
    EXPECT_EQ(r.direction, 270);
}

TEST_F(MonitorDriverTest, OneReadingUsesOnePacketWhileItIsFresh)
{
    sim.setPacket(samplePacket());
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    const int before = sim.loopCommands();
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
    LoopPacket changed = samplePacket();
    changed.outsideTempTenthsF = 100;
    changed.windSpeedMph = 30;
    sim.setPacket(changed);
    clockMs += 9 * 1000;
    EXPECT_DOUBLE_EQ(driver.GetOutsideTemp(), 45.5); // still the first packet
    EXPECT_EQ(sim.loopCommands(), before + 1);
    clockMs += 2 * 1000;
    EXPECT_DOUBLE_EQ(driver.GetWindSpeed(), 30.0); // stale: fetched again
    EXPECT_DOUBLE_EQ(driver.GetOutsideTemp(), 10.0);
    EXPECT_EQ(sim.loopCommands(), before + 2);
    // GetInsideTemp starts a reading and always asks the station.
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
    EXPECT_EQ(sim.loopCommands(), before + 3);
}

TEST_F(MonitorDriverTest, NoValueCodesGiveNoReading)
{
    LoopPacket p = samplePacket();
    p.outsideTempTenthsF.reset(); // sent as 0x7FFF
    p.windDirection.reset();
    p.barometerThousandthsInHg.reset();
    sim.setPacket(p);
    sim.setCalibration({10, 10, 10}); // never applied to a missing value
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    const Reading r = read();
    EXPECT_DOUBLE_EQ(r.inside, 71.0);
    EXPECT_EQ(r.outside, MonitorStation::kNoReading);
    EXPECT_EQ(r.barometer, MonitorStation::kNoReading);
    EXPECT_EQ(r.direction, MonitorStation::kNoDirection);
    EXPECT_DOUBLE_EQ(r.wind, 12.0);
}

TEST_F(MonitorDriverTest, RevEAdapterNeedsTheHandshake)
{
    sim.setRevE(true);
    sim.setPacket(samplePacket());
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    EXPECT_EQ(sim.handshakes(), 1);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
    // The adapter forgets the plain mode (power cycle): CAN, handshake, retry.
    sim.setRevE(true);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
    EXPECT_EQ(sim.handshakes(), 2);
    EXPECT_EQ(driver.GetWindDirection(), 270);
}

TEST_F(MonitorDriverTest, BadCrcIsRetriedOnceThenNoReading)
{
    sim.setPacket(samplePacket());
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    int loops = sim.loopCommands();
    sim.corruptNextPackets(1);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
    EXPECT_EQ(sim.loopCommands(), loops + 2);

    sim.corruptNextPackets(1000);
    loops = sim.loopCommands();
    const Reading r = read();
    EXPECT_EQ(r.inside, MonitorStation::kNoReading);
    EXPECT_EQ(r.outside, MonitorStation::kNoReading); // the old packet is not reused
    EXPECT_EQ(r.wind, MonitorStation::kNoReading);
    EXPECT_EQ(r.direction, MonitorStation::kNoDirection);
    EXPECT_EQ(sim.loopCommands() - loops, 2 * 5); // trend (from memory) needs no packet

    sim.corruptNextPackets(0);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
}

TEST_F(MonitorDriverTest, StationThatStopsAnsweringNeverHangs)
{
    sim.setPacket(samplePacket());
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    sim.setSilent(true);
    driver.setReplyTimeoutMs(100); // only time limits run out here
    const Reading r = read();
    EXPECT_EQ(r.inside, MonitorStation::kNoReading);
    EXPECT_EQ(r.barometer, MonitorStation::kNoReading);
    EXPECT_EQ(r.trend, MonitorStation::kNoTrend);
    EXPECT_EQ(r.direction, MonitorStation::kNoDirection);
    EXPECT_TRUE(driver.isOpen());
    // It comes back: the next reading works without reopening.
    sim.setSilent(false);
    driver.setReplyTimeoutMs(200);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 70.0);
}

TEST_F(MonitorDriverTest, OpenFailsWithoutAnsweringStation)
{
    sim.setSilent(true);
    EXPECT_EQ(driver.OpenCommPort(1, 2400), 0);
    EXPECT_FALSE(driver.isOpen());
    EXPECT_EQ(driver.GetInsideTemp(), MonitorStation::kNoReading);
    sim.setSilent(false);
    EXPECT_EQ(driver.OpenCommPort(1, 2400), 1);

    MonitorSerialDriver missing([](int) { return QStringLiteral("/nonexistent/ttyS99"); });
    EXPECT_EQ(missing.OpenCommPort(1, 2400), 0);
    MonitorSerialDriver noPort([](int) { return QString(); });
    EXPECT_EQ(noPort.OpenCommPort(1, 2400), 0);
    MonitorSerialDriver notATty([](int) { return QStringLiteral("/dev/null"); });
    EXPECT_EQ(notATty.OpenCommPort(1, 2400), 0);
    // The port is exclusive while the first driver holds it.
    MonitorSerialDriver second([this](int) { return sim.slavePath(); });
    second.setReplyTimeoutMs(200);
    EXPECT_EQ(second.OpenCommPort(1, 2400), 0);
    driver.CloseCommPort();
    EXPECT_EQ(second.OpenCommPort(1, 2400), 1);
}

TEST_F(MonitorDriverTest, StationOfAnotherTypeCountsWhenItSendsPackets)
{
    sim.setPacket(samplePacket());
    sim.setStationType(0);
    EXPECT_EQ(driver.OpenCommPort(1, 2400), 1);
    EXPECT_EQ(driver.OpenCommPort(1, 4711), 0); // no such speed
}

TEST_F(MonitorDriverTest, TrendFromStationMemory)
{
    sim.setPacket(samplePacket());
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    struct Case
    {
        quint8 bits, trend;
    };
    for (const Case &c : {Case{0x01, 0}, Case{0x03, 0}, Case{0x02, 1}, Case{0x04, 2}}) {
        sim.setTrendBits(c.bits);
        EXPECT_EQ(driver.GetBarometerTrend(), c.trend) << int(c.bits);
    }
    // Bits that make no sense: the driver's own history, too short yet.
    sim.setTrendBits(0x06);
    EXPECT_EQ(driver.GetBarometerTrend(), MonitorStation::kNoTrend);
}

TEST_F(MonitorDriverTest, TrendFromBarometerHistoryWhenStationRefuses)
{
    sim.setPacket(samplePacket());
    sim.setCalibration({0, 0, 50});
    sim.setTrendRead(MonitorSimulator::TrendRead::Refuse);
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);

    setBarometer(29950); // 29.900 after calibration
    ASSERT_DOUBLE_EQ(read().barometer, 29.90);
    EXPECT_EQ(driver.GetBarometerTrend(), MonitorStation::kNoTrend);
    EXPECT_EQ(sim.trendReads(), 2); // asked, retried, then never again

    clockMs += 90 * kMinute;
    setBarometer(29980);
    const Reading rising = read();
    EXPECT_DOUBLE_EQ(rising.barometer, 29.93);
    EXPECT_EQ(rising.trend, 1);

    // Four hours in: the first reading is out of the window.
    clockMs += 150 * kMinute;
    setBarometer(29955);
    EXPECT_EQ(read().trend, 2); // 29.930 -> 29.905
    clockMs += 60 * kMinute;
    setBarometer(29960);
    EXPECT_EQ(read().trend, 0); // 29.905 -> 29.910
    EXPECT_EQ(sim.trendReads(), 2);
}

TEST_F(MonitorDriverTest, TrendUnknownWhenStationIgnoresTheRead)
{
    sim.setPacket(samplePacket());
    sim.setTrendRead(MonitorSimulator::TrendRead::Ignore);
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    const Reading r = read();
    EXPECT_DOUBLE_EQ(r.inside, 70.0);
    EXPECT_EQ(r.trend, MonitorStation::kNoTrend);
    EXPECT_DOUBLE_EQ(r.wind, 12.0); // the other values are unaffected
    // Silence is not a refusal: the next reading asks again.
    const int asked = sim.trendReads();
    read();
    EXPECT_EQ(sim.trendReads(), asked + 2);
}

TEST_F(MonitorDriverTest, CloseTwiceAndReopen)
{
    ASSERT_EQ(driver.OpenCommPort(1, 2400), 1);
    driver.CloseCommPort();
    driver.CloseCommPort();
    EXPECT_FALSE(driver.isOpen());
    const int loops = sim.loopCommands();
    const Reading r = read();
    EXPECT_EQ(r.inside, MonitorStation::kNoReading);
    EXPECT_EQ(r.trend, MonitorStation::kNoTrend);
    EXPECT_EQ(r.direction, MonitorStation::kNoDirection);
    EXPECT_EQ(sim.loopCommands(), loops);
    EXPECT_EQ(driver.OpenCommPort(1, 2400), 1);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 68.0);
}

// The station's port as the driver knows it: a link the test points at one
// pseudo-terminal after another, as udev names an adapter that came back.
struct PortLink
{
    PortLink() : path(dir.filePath(QStringLiteral("ttyUSB0"))) {}
    bool pointAt(const QString &target) const
    {
        ::unlink(QFile::encodeName(path).constData());
        return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0;
    }
    QTemporaryDir dir;
    QString path;
};

TEST(MonitorDriverLine, AHangUpClosesThePortAndTheNextReadingOpensItAgainByItsPath)
{
    PortLink link;
    auto sim = std::make_unique<MonitorSimulator>();
    ASSERT_TRUE(sim->isRunning());
    ASSERT_TRUE(link.pointAt(sim->slavePath()));
    MonitorSerialDriver driver([&link](int port) { return port == 33 ? link.path : QString(); });
    driver.setReplyTimeoutMs(200);
    ASSERT_EQ(driver.OpenCommPort(33, 2400), 1);
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 68.0);

    // The adapter goes away in the middle of a packet.
    sim->hangUpInNextPacket(7);
    EXPECT_EQ(driver.GetInsideTemp(), MonitorStation::kNoReading);
    EXPECT_TRUE(sim->hungUp());
    EXPECT_FALSE(driver.isOpen()) << "the dead line is not kept";
    EXPECT_EQ(driver.port(), 33) << "but the port is still wanted";
    EXPECT_EQ(driver.GetWindSpeed(), MonitorStation::kNoReading);
    sim.reset();

    // Not back yet: the link leads nowhere.
    EXPECT_EQ(driver.GetInsideTemp(), MonitorStation::kNoReading);
    EXPECT_FALSE(driver.isOpen());

    // Back on another pseudo-terminal behind the same path.
    sim = std::make_unique<MonitorSimulator>();
    ASSERT_TRUE(sim->isRunning());
    LoopPacket p = sim->packet();
    p.insideTempTenthsF = 712;
    sim->setPacket(p);
    ASSERT_TRUE(link.pointAt(sim->slavePath()));
    EXPECT_DOUBLE_EQ(driver.GetInsideTemp(), 71.2);
    EXPECT_TRUE(driver.isOpen());
    EXPECT_EQ(sim->handshakes(), 1) << "opened the whole way, handshake included";
    EXPECT_DOUBLE_EQ(driver.GetOutsideTemp(), 50.0);

    // A port the user closed stays closed.
    driver.CloseCommPort();
    const int loops = sim->loopCommands();
    EXPECT_EQ(driver.GetInsideTemp(), MonitorStation::kNoReading);
    EXPECT_EQ(sim->loopCommands(), loops);
}

TEST(MonitorDriver, DefaultPortPaths)
{
    EXPECT_EQ(MonitorSerialDriver::defaultPortPath(1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(MonitorSerialDriver::defaultPortPath(32), QStringLiteral("/dev/ttyS31"));
    EXPECT_EQ(MonitorSerialDriver::defaultPortPath(33), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(MonitorSerialDriver::defaultPortPath(96), QStringLiteral("/dev/ttyACM31"));
    EXPECT_TRUE(MonitorSerialDriver::defaultPortPath(0).isEmpty());
    EXPECT_TRUE(MonitorSerialDriver::defaultPortPath(97).isEmpty());
}

TEST(MonitorSimulatorWire, LoopSendsTheRequestedNumberOfPackets)
{
    MonitorSimulator sim;
    ASSERT_TRUE(sim.isRunning());
    const int fd = ::open(QFile::encodeName(sim.slavePath()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const QByteArray cmd = loopCommand(3);
    ASSERT_EQ(::write(fd, cmd.constData(), cmd.size()), cmd.size());
    QByteArray in;
    const qsizetype expected = 1 + 3 * monitor::kLoopPacketSize;
    while (in.size() < expected) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) // hang guard only
            break;
        char buf[64];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            in.append(buf, n);
    }
    ::close(fd);
    ASSERT_EQ(in.size(), expected);
    EXPECT_EQ(in.at(0), monitor::kAck);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(parseLoopPacket(in.mid(1 + i * monitor::kLoopPacketSize, monitor::kLoopPacketSize)), sim.packet());
}

TEST(MonitorStationFactory, SimulatedStationOnAnyPort)
{
    setSimulatedMonitor(true);
    const std::unique_ptr<MonitorStation> station = createMonitorStation();
    setSimulatedMonitor(false);
    ASSERT_EQ(station->OpenCommPort(42, 2400), 1);
    const double inside = station->GetInsideTemp();
    EXPECT_GE(inside, 67.0);
    EXPECT_LE(inside, 69.0);
    const double outside = station->GetOutsideTemp();
    EXPECT_GE(outside, 46.5);
    EXPECT_LE(outside, 53.5);
    const double baro = station->GetBarometer();
    EXPECT_GE(baro, 29.86);
    EXPECT_LE(baro, 29.98);
    EXPECT_LE(station->GetBarometerTrend(), 2);
    const double wind = station->GetWindSpeed();
    EXPECT_GE(wind, 5.0);
    EXPECT_LE(wind, 15.0);
    const int direction = station->GetWindDirection();
    EXPECT_GE(direction, 205);
    EXPECT_LE(direction, 245);
    station->CloseCommPort();

    if (qEnvironmentVariableIsEmpty("AURAVOX_MONITOR_SIMULATOR")) {
        EXPECT_FALSE(simulatedMonitorWanted());
        EXPECT_EQ(createMonitorStation()->OpenCommPort(0, 2400), 0);
    }
}

TEST(MonitorSimulatorDemo, SameSeedSameWeather)
{
    EXPECT_EQ(MonitorSimulator::demoWeather(7, 123456), MonitorSimulator::demoWeather(7, 123456));
    EXPECT_NE(MonitorSimulator::demoWeather(7, 0), MonitorSimulator::demoWeather(8, 0));
    // Slowly varying: a minute later the temperatures moved by at most 0.2 F.
    const LoopPacket a = MonitorSimulator::demoWeather(7, 3600 * 1000);
    const LoopPacket b = MonitorSimulator::demoWeather(7, 3660 * 1000);
    EXPECT_LE(std::abs(*a.insideTempTenthsF - *b.insideTempTenthsF), 2);
    EXPECT_LE(std::abs(*a.outsideTempTenthsF - *b.outsideTempTenthsF), 2);
}
