#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <optional>

namespace auravox {

// The serial protocol of the Davis Weather Monitor II, as pure logic: the
// command bytes, the LOOP packet, the calibration arithmetic and the
// barometer-trend fallback. No I/O here; the native driver and the simulated
// station both build on it.
namespace monitor {

constexpr char kAck = 0x06;
constexpr char kNak = 0x21; // "!": the station did not understand the command
constexpr char kCan = 0x18; // a Rev E adapter refusing a command without CRC
constexpr char kCr = 0x0D;
constexpr char kLoopStart = 0x01;

// One data packet on the wire: start byte, 15 data bytes, 2 CRC bytes.
constexpr int kLoopDataSize = 15;
constexpr int kLoopPacketSize = 1 + kLoopDataSize + 2;

// First argument byte of "WRD": number of nibbles in the high nibble, memory
// bank in the low one.
constexpr quint8 kWrdOneByte = 0x12;  // one nibble of bank 0, answered as one byte
constexpr quint8 kWrdTwoBytes = 0x44; // four nibbles of the calibration bank: two bytes

// Station memory addresses.
constexpr quint8 kAddrInsideTempCal = 0x52;  // tenths of F, added
constexpr quint8 kAddrOutsideTempCal = 0x78; // tenths of F, added
constexpr quint8 kAddrBarometerCal = 0x2C;   // thousandths of inHg, subtracted
constexpr quint8 kAddrTrend = 0x79;          // trend bits, read with kWrdOneByte
constexpr quint8 kAddrStationType = 0x4D;    // station model, read with kWrdOneByte

constexpr quint8 kStationTypeMonitor = 2;

// Trend codes as the reader uses them (kTrendUnknown matches
// MonitorStation::kNoTrend).
constexpr quint8 kTrendSteady = 0;
constexpr quint8 kTrendRising = 1;
constexpr quint8 kTrendFalling = 2;
constexpr quint8 kTrendUnknown = 255;

} // namespace monitor

// CRC-16-CCITT, polynomial 0x1021, initial value 0, no final XOR. Run over a
// packet's 15 data bytes followed by its 2 CRC bytes (high byte first) it
// gives 0.
quint16 crc16(const char *data, qsizetype size, quint16 crc = 0);
quint16 crc16(const QByteArray &bytes);

// "LOOP", 65536 - n little-endian, CR. n is clamped to 1..65535.
QByteArray loopCommand(int packets = 1);
// "WRD", `nibblesAndBank`, `address`, CR.
QByteArray wrdCommand(quint8 nibblesAndBank, quint8 address);
// Bytes of the answer to a WRD read (after the ACK): the nibble count of the
// first argument, rounded up to whole bytes (at least 1).
int wrdReplySize(quint8 nibblesAndBank);
// 44, 247, "CRC0", CR: switches a Rev E adapter to commands without CRC.
QByteArray crc0Handshake();

// The values of one LOOP packet in the station's raw units. A field the
// station marks as having no value (0x7FFF or 0x8000 in a temperature or the
// direction, 0x80 in a humidity) is empty. Out-of-range values are empty too:
// a direction outside 0..360 (360 becomes 0), a humidity above 100 and a
// barometer of 0 or below or 0x7FFF, so garbage never reaches the reader.
struct LoopPacket
{
    std::optional<qint16> insideTempTenthsF;
    std::optional<qint16> outsideTempTenthsF;
    quint8 windSpeedMph = 0;
    std::optional<int> windDirection;
    std::optional<qint16> barometerThousandthsInHg;
    std::optional<quint8> insideHumidity;
    std::optional<quint8> outsideHumidity;
    quint16 rainClicks = 0;

    bool operator==(const LoopPacket &) const = default;
};

// Accepts 17 bytes (data + CRC) or 18 bytes (start byte 0x01 first). Empty on
// any other size, a wrong start byte or a CRC that does not check.
std::optional<LoopPacket> parseLoopPacket(const QByteArray &bytes);
// The 18 bytes the station sends for `packet`; empty fields become the
// no-value codes (0x7FFF, 0x80).
QByteArray encodeLoopPacket(const LoopPacket &packet);

// Station calibration, read from its memory once when the port opens.
struct MonitorCalibration
{
    qint16 insideTempTenthsF = 0;
    qint16 outsideTempTenthsF = 0;
    qint16 barometerThousandthsInHg = 0;
};

// A raw temperature with its offset added, in degrees F; empty stays empty.
std::optional<double> calibratedTemperatureF(std::optional<qint16> rawTenths, qint16 offsetTenths);
// A raw barometer with its offset subtracted, in inHg; empty stays empty.
std::optional<double> calibratedBarometerInHg(std::optional<qint16> rawThousandths, qint16 offsetThousandths);
// The answer to the trend read: bit 0 steady (wins over the others), bit 1
// rising, bit 2 falling. Empty when no bit or both rising and falling are set.
std::optional<quint8> decodeTrendBits(quint8 bits);

// The barometer readings of the last three hours, for a trend when the
// station's memory cannot be read. Time stamps are milliseconds of a
// monotonic clock chosen by the caller.
class BarometerHistory
{
public:
    static constexpr qint64 kWindowMs = 3 * 3600 * 1000;
    // The oldest reading kept must be at least this old before a trend is
    // given: a change over a few minutes says nothing about the tendency.
    static constexpr qint64 kMinimumSpanMs = 3600 * 1000;
    // A change of at least this much over the window is rising or falling.
    static constexpr double kThresholdInHg = 0.02;
    static constexpr std::size_t kMaxReadings = 4096;

    // A time stamp older than the newest kept starts the history afresh.
    void add(qint64 nowMs, double inHg);
    // Steady, rising or falling from the oldest to the newest reading of the
    // last three hours before `nowMs`; kTrendUnknown without enough history.
    quint8 trend(qint64 nowMs) const;
    void clear() { m_readings.clear(); }
    std::size_t size() const { return m_readings.size(); }

private:
    struct Reading
    {
        qint64 ms;
        double inHg;
    };
    void dropOlderThan(qint64 limitMs);
    std::deque<Reading> m_readings;
};

} // namespace auravox
