#include "stations/MonitorProtocol.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace auravox {

using namespace monitor;

quint16 crc16(const char *data, qsizetype size, quint16 crc)
{
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<quint16>(static_cast<quint8>(data[i]) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<quint16>((crc << 1) ^ 0x1021) : static_cast<quint16>(crc << 1);
    }
    return crc;
}

quint16 crc16(const QByteArray &bytes)
{
    return crc16(bytes.constData(), bytes.size());
}

QByteArray loopCommand(int packets)
{
    const int n = std::clamp(packets, 1, 65535);
    const quint16 count = static_cast<quint16>(65536 - n);
    QByteArray cmd("LOOP");
    cmd.append(static_cast<char>(count & 0xFF));
    cmd.append(static_cast<char>(count >> 8));
    cmd.append(kCr);
    return cmd;
}

QByteArray wrdCommand(quint8 nibblesAndBank, quint8 address)
{
    QByteArray cmd("WRD");
    cmd.append(static_cast<char>(nibblesAndBank));
    cmd.append(static_cast<char>(address));
    cmd.append(kCr);
    return cmd;
}

int wrdReplySize(quint8 nibblesAndBank)
{
    const int nibbles = nibblesAndBank >> 4;
    return std::max(1, (nibbles + 1) / 2);
}

QByteArray crc0Handshake()
{
    QByteArray cmd;
    cmd.append(static_cast<char>(44));
    cmd.append(static_cast<char>(247));
    cmd.append("CRC0");
    cmd.append(kCr);
    return cmd;
}

namespace {

constexpr qint16 kNoValueHigh = 0x7FFF;
constexpr qint16 kNoValueLow = -0x8000;
constexpr quint8 kNoHumidity = 0x80;

std::optional<qint16> temperatureField(qint16 raw)
{
    if (raw == kNoValueHigh || raw == kNoValueLow)
        return std::nullopt;
    return raw;
}

std::optional<quint8> humidityField(quint8 raw)
{
    if (raw == kNoHumidity || raw > 100)
        return std::nullopt;
    return raw;
}

} // namespace

std::optional<LoopPacket> parseLoopPacket(const QByteArray &bytes)
{
    QByteArray body;
    if (bytes.size() == kLoopPacketSize) {
        if (bytes.at(0) != kLoopStart)
            return std::nullopt;
        body = bytes.mid(1);
    } else if (bytes.size() == kLoopPacketSize - 1) {
        body = bytes;
    } else {
        return std::nullopt;
    }
    if (crc16(body) != 0)
        return std::nullopt;

    const auto *d = reinterpret_cast<const uchar *>(body.constData());
    LoopPacket p;
    p.insideTempTenthsF = temperatureField(qFromLittleEndian<qint16>(d + 0));
    p.outsideTempTenthsF = temperatureField(qFromLittleEndian<qint16>(d + 2));
    p.windSpeedMph = d[4];
    const qint16 dir = qFromLittleEndian<qint16>(d + 5);
    if (dir >= 0 && dir <= 360)
        p.windDirection = dir == 360 ? 0 : dir;
    const qint16 baro = qFromLittleEndian<qint16>(d + 7);
    if (baro > 0 && baro != kNoValueHigh)
        p.barometerThousandthsInHg = baro;
    p.insideHumidity = humidityField(d[9]);
    p.outsideHumidity = humidityField(d[10]);
    p.rainClicks = qFromLittleEndian<quint16>(d + 11);
    return p;
}

QByteArray encodeLoopPacket(const LoopPacket &packet)
{
    QByteArray out(kLoopPacketSize, '\0');
    auto *d = reinterpret_cast<uchar *>(out.data());
    d[0] = kLoopStart;
    uchar *data = d + 1;
    qToLittleEndian<qint16>(packet.insideTempTenthsF.value_or(kNoValueHigh), data + 0);
    qToLittleEndian<qint16>(packet.outsideTempTenthsF.value_or(kNoValueHigh), data + 2);
    data[4] = packet.windSpeedMph;
    qToLittleEndian<qint16>(packet.windDirection ? static_cast<qint16>(*packet.windDirection) : kNoValueHigh,
                            data + 5);
    qToLittleEndian<qint16>(packet.barometerThousandthsInHg.value_or(kNoValueHigh), data + 7);
    data[9] = packet.insideHumidity.value_or(kNoHumidity);
    data[10] = packet.outsideHumidity.value_or(kNoHumidity);
    qToLittleEndian<quint16>(packet.rainClicks, data + 11);
    const quint16 crc = crc16(reinterpret_cast<const char *>(data), kLoopDataSize);
    data[kLoopDataSize] = static_cast<uchar>(crc >> 8);
    data[kLoopDataSize + 1] = static_cast<uchar>(crc & 0xFF);
    return out;
}

std::optional<double> calibratedTemperatureF(std::optional<qint16> rawTenths, qint16 offsetTenths)
{
    if (!rawTenths)
        return std::nullopt;
    return (static_cast<int>(*rawTenths) + static_cast<int>(offsetTenths)) / 10.0;
}

std::optional<double> calibratedBarometerInHg(std::optional<qint16> rawThousandths, qint16 offsetThousandths)
{
    if (!rawThousandths)
        return std::nullopt;
    return (static_cast<int>(*rawThousandths) - static_cast<int>(offsetThousandths)) / 1000.0;
}

std::optional<quint8> decodeTrendBits(quint8 bits)
{
    if (bits & 0x01)
        return kTrendSteady;
    const bool rising = (bits & 0x02) != 0;
    const bool falling = (bits & 0x04) != 0;
    if (rising == falling)
        return std::nullopt;
    return rising ? kTrendRising : kTrendFalling;
}

void BarometerHistory::add(qint64 nowMs, double inHg)
{
    if (!std::isfinite(inHg))
        return;
    if (!m_readings.empty() && nowMs < m_readings.back().ms)
        m_readings.clear();
    m_readings.push_back({nowMs, inHg});
    dropOlderThan(nowMs - kWindowMs);
    while (m_readings.size() > kMaxReadings)
        m_readings.pop_front();
}

void BarometerHistory::dropOlderThan(qint64 limitMs)
{
    while (!m_readings.empty() && m_readings.front().ms < limitMs)
        m_readings.pop_front();
}

quint8 BarometerHistory::trend(qint64 nowMs) const
{
    const Reading *oldest = nullptr;
    const Reading *newest = nullptr;
    for (const Reading &r : m_readings) {
        if (r.ms < nowMs - kWindowMs || r.ms > nowMs)
            continue;
        if (!oldest)
            oldest = &r;
        newest = &r;
    }
    if (!oldest || newest->ms - oldest->ms < kMinimumSpanMs)
        return kTrendUnknown;
    // Compared in whole thousandths, the station's resolution, so that
    // 29.940 - 29.920 counts as the full 0.02.
    const long long change = std::llround((newest->inHg - oldest->inHg) * 1000.0);
    const long long threshold = std::llround(kThresholdInHg * 1000.0);
    if (change >= threshold)
        return kTrendRising;
    if (change <= -threshold)
        return kTrendFalling;
    return kTrendSteady;
}

} // namespace auravox
