// The Weather Monitor II protocol logic: CRC, command bytes, LOOP packets,
// calibration and the barometer-trend fallback.

#include "stations/MonitorProtocol.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;

namespace {

// 15 data bytes laid out by hand (not by encodeLoopPacket), little-endian.
QByteArray rawData(qint16 inside, qint16 outside, quint8 wind, qint16 dir, qint16 baro, quint8 inHum,
                   quint8 outHum, quint16 rain)
{
    QByteArray d;
    auto le16 = [&d](int v) {
        d.append(static_cast<char>(v & 0xFF));
        d.append(static_cast<char>((v >> 8) & 0xFF));
    };
    le16(inside);
    le16(outside);
    d.append(static_cast<char>(wind));
    le16(dir);
    le16(baro);
    d.append(static_cast<char>(inHum));
    d.append(static_cast<char>(outHum));
    le16(rain);
    d.append(2, '\0');
    return d;
}

QByteArray withCrc(const QByteArray &data)
{
    const quint16 crc = crc16(data);
    return data + QByteArray(1, static_cast<char>(crc >> 8)) + QByteArray(1, static_cast<char>(crc & 0xFF));
}

constexpr qint64 kMinute = 60 * 1000;

} // namespace

TEST(MonitorProtocol, CrcIsCcittWithInitialZero)
{
    EXPECT_EQ(crc16(QByteArray("123456789")), 0x31C3); // the CCITT/XMODEM check value
    EXPECT_EQ(crc16(QByteArray()), 0);
    // Over the data and its CRC (high byte first) the CRC is 0.
    const QByteArray packet = withCrc(rawData(723, 415, 9, 180, 30012, 40, 88, 17));
    ASSERT_EQ(packet.size(), 17);
    EXPECT_EQ(crc16(packet), 0);
    // Continuing from a partial CRC gives the same as one run.
    EXPECT_EQ(crc16(packet.constData() + 5, 12, crc16(packet.constData(), 5)), 0);
}

TEST(MonitorProtocol, CommandBytes)
{
    EXPECT_EQ(loopCommand(1), QByteArray("LOOP\xFF\xFF\r", 7));
    EXPECT_EQ(loopCommand(2), QByteArray("LOOP\xFE\xFF\r", 7));
    EXPECT_EQ(loopCommand(256), QByteArray("LOOP\x00\xFF\r", 7));
    EXPECT_EQ(loopCommand(0), loopCommand(1));
    EXPECT_EQ(wrdCommand(monitor::kWrdOneByte, monitor::kAddrTrend), QByteArray("WRD\x12\x79\r", 6));
    EXPECT_EQ(wrdCommand(monitor::kWrdTwoBytes, monitor::kAddrBarometerCal), QByteArray("WRD\x44\x2C\r", 6));
    EXPECT_EQ(crc0Handshake(), QByteArray("\x2C\xF7" "CRC0\r", 7));
    EXPECT_EQ(wrdReplySize(monitor::kWrdOneByte), 1);
    EXPECT_EQ(wrdReplySize(monitor::kWrdTwoBytes), 2);
    EXPECT_EQ(wrdReplySize(0x02), 1);
}

TEST(MonitorProtocol, ParsesFieldsAtTheirOffsets)
{
    const QByteArray body = withCrc(rawData(723, -105, 9, 359, 30012, 40, 100, 0xABCD));
    for (const QByteArray &bytes : {body, QByteArray(1, '\x01') + body}) {
        const auto p = parseLoopPacket(bytes);
        ASSERT_TRUE(p) << bytes.size();
        EXPECT_EQ(p->insideTempTenthsF, 723);
        EXPECT_EQ(p->outsideTempTenthsF, -105);
        EXPECT_EQ(p->windSpeedMph, 9);
        EXPECT_EQ(p->windDirection, 359);
        EXPECT_EQ(p->barometerThousandthsInHg, 30012);
        EXPECT_EQ(p->insideHumidity, 40);
        EXPECT_EQ(p->outsideHumidity, 100);
        EXPECT_EQ(p->rainClicks, 0xABCD);
    }
}

TEST(MonitorProtocol, NoValueCodesAndOutOfRangeFieldsAreEmpty)
{
    auto p = parseLoopPacket(withCrc(rawData(0x7FFF, -0x8000, 3, 0x7FFF, 0x7FFF, 0x80, 0x80, 0)));
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->insideTempTenthsF);
    EXPECT_FALSE(p->outsideTempTenthsF);
    EXPECT_FALSE(p->windDirection);
    EXPECT_FALSE(p->barometerThousandthsInHg);
    EXPECT_FALSE(p->insideHumidity);
    EXPECT_FALSE(p->outsideHumidity);
    EXPECT_EQ(p->windSpeedMph, 3);

    p = parseLoopPacket(withCrc(rawData(-0x8000, 0x7FFF, 0, -0x8000, 0, 101, 0, 0)));
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->insideTempTenthsF);
    EXPECT_FALSE(p->outsideTempTenthsF);
    EXPECT_FALSE(p->windDirection);
    EXPECT_FALSE(p->barometerThousandthsInHg); // 0: no sensor
    EXPECT_FALSE(p->insideHumidity);
    EXPECT_EQ(p->outsideHumidity, 0);

    // 360 is north, like 0; beyond that the direction is garbage.
    EXPECT_EQ(parseLoopPacket(withCrc(rawData(0, 0, 0, 360, 29000, 0, 0, 0)))->windDirection, 0);
    EXPECT_FALSE(parseLoopPacket(withCrc(rawData(0, 0, 0, 361, 29000, 0, 0, 0)))->windDirection);
    EXPECT_FALSE(parseLoopPacket(withCrc(rawData(0, 0, 0, -1, 29000, 0, 0, 0)))->windDirection);
}

TEST(MonitorProtocol, RefusesBadCrcStartByteAndSize)
{
    const QByteArray good = withCrc(rawData(700, 500, 10, 225, 29920, 45, 70, 0));
    ASSERT_TRUE(parseLoopPacket(good));
    for (int i = 0; i < good.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            QByteArray bad = good;
            bad[i] = static_cast<char>(bad.at(i) ^ (1 << bit));
            EXPECT_FALSE(parseLoopPacket(bad)) << "byte " << i << " bit " << bit;
        }
    }
    EXPECT_FALSE(parseLoopPacket(QByteArray(1, '\x02') + good));
    EXPECT_FALSE(parseLoopPacket(good.left(16)));
    EXPECT_FALSE(parseLoopPacket(QByteArray(1, '\x01') + good + QByteArray(1, '\0')));
    EXPECT_FALSE(parseLoopPacket(QByteArray()));
}

TEST(MonitorProtocol, EncodeGivesWhatParseReads)
{
    LoopPacket p;
    p.insideTempTenthsF = -12;
    p.outsideTempTenthsF = std::nullopt;
    p.windSpeedMph = 200;
    p.windDirection = 0;
    p.barometerThousandthsInHg = 28123;
    p.insideHumidity = std::nullopt;
    p.outsideHumidity = 99;
    p.rainClicks = 65535;
    const QByteArray bytes = encodeLoopPacket(p);
    ASSERT_EQ(bytes.size(), monitor::kLoopPacketSize);
    EXPECT_EQ(bytes.at(0), monitor::kLoopStart);
    EXPECT_EQ(bytes.mid(3, 2), QByteArray("\xFF\x7F", 2)); // no value: 0x7FFF
    EXPECT_EQ(bytes.at(10), '\x80');
    EXPECT_EQ(parseLoopPacket(bytes), p);
}

TEST(MonitorProtocol, CalibrationAddsTemperatureAndSubtractsBarometer)
{
    EXPECT_DOUBLE_EQ(*calibratedTemperatureF(qint16(700), 15), 71.5);
    EXPECT_DOUBLE_EQ(*calibratedTemperatureF(qint16(-5), -20), -2.5);
    // Near the limits of the raw field nothing wraps around.
    EXPECT_DOUBLE_EQ(*calibratedTemperatureF(qint16(32766), 100), 3286.6);
    EXPECT_FALSE(calibratedTemperatureF(std::nullopt, 15));
    EXPECT_DOUBLE_EQ(*calibratedBarometerInHg(qint16(29950), 30), 29.92);
    EXPECT_DOUBLE_EQ(*calibratedBarometerInHg(qint16(29950), -50), 30.0);
    EXPECT_FALSE(calibratedBarometerInHg(std::nullopt, 30));
}

TEST(MonitorProtocol, TrendBits)
{
    EXPECT_EQ(decodeTrendBits(0x01), monitor::kTrendSteady);
    EXPECT_EQ(decodeTrendBits(0x07), monitor::kTrendSteady); // steady wins
    EXPECT_EQ(decodeTrendBits(0x02), monitor::kTrendRising);
    EXPECT_EQ(decodeTrendBits(0x0A), monitor::kTrendRising);
    EXPECT_EQ(decodeTrendBits(0x04), monitor::kTrendFalling);
    EXPECT_FALSE(decodeTrendBits(0x00));
    EXPECT_FALSE(decodeTrendBits(0x06));
    EXPECT_FALSE(decodeTrendBits(0x08));
}

TEST(MonitorProtocol, HistoryNeedsAnHourOfReadings)
{
    BarometerHistory h;
    EXPECT_EQ(h.trend(0), monitor::kTrendUnknown);
    h.add(0, 29.90);
    EXPECT_EQ(h.trend(0), monitor::kTrendUnknown);
    h.add(59 * kMinute, 30.10);
    EXPECT_EQ(h.trend(59 * kMinute), monitor::kTrendUnknown);
    h.add(60 * kMinute, 30.10);
    EXPECT_EQ(h.trend(60 * kMinute), monitor::kTrendRising);
}

TEST(MonitorProtocol, HistoryTrendThresholdIsTwoHundredths)
{
    struct Case
    {
        double from, to;
        quint8 trend;
    };
    for (const Case &c : {Case{29.920, 29.940, monitor::kTrendRising}, Case{29.920, 29.939, monitor::kTrendSteady},
                          Case{29.940, 29.920, monitor::kTrendFalling}, Case{29.940, 29.921, monitor::kTrendSteady},
                          Case{29.900, 29.900, monitor::kTrendSteady}}) {
        BarometerHistory h;
        h.add(0, c.from);
        h.add(90 * kMinute, (c.from + c.to) / 2);
        h.add(150 * kMinute, c.to);
        EXPECT_EQ(h.trend(150 * kMinute), c.trend) << c.from << " -> " << c.to;
    }
}

TEST(MonitorProtocol, HistoryForgetsReadingsOlderThanThreeHours)
{
    BarometerHistory h;
    h.add(0, 29.50); // far lower, but four hours before the last reading
    h.add(70 * kMinute, 29.92);
    h.add(240 * kMinute, 29.93);
    EXPECT_EQ(h.trend(240 * kMinute), monitor::kTrendSteady);
    EXPECT_EQ(h.size(), 2u);
    // Later, with nothing new, the last reading alone says nothing.
    EXPECT_EQ(h.trend(300 * kMinute), monitor::kTrendUnknown);

    // A clock that went back starts afresh.
    BarometerHistory back;
    back.add(100 * kMinute, 29.50);
    back.add(10 * kMinute, 29.90);
    back.add(120 * kMinute, 29.90);
    EXPECT_EQ(back.size(), 2u);
    EXPECT_EQ(back.trend(120 * kMinute), monitor::kTrendSteady);
}
