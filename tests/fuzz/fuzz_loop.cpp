// libFuzzer target: the Weather Monitor II LOOP packet parser, the
// calibration arithmetic and the barometer history, on any bytes.

#include "stations/MonitorProtocol.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

qint16 le16(const QByteArray &b, qsizetype at)
{
    return static_cast<qint16>(static_cast<quint8>(b.at(at)) | (static_cast<quint8>(b.at(at + 1)) << 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace auravox;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // Accepted exactly when the framing is right and the CRC checks.
    const bool framed = bytes.size() == 17 || (bytes.size() == 18 && bytes.at(0) == monitor::kLoopStart);
    const bool crcOk = framed && crc16(bytes.right(17)) == 0;
    const std::optional<LoopPacket> packet = parseLoopPacket(bytes);
    check(packet.has_value() == crcOk);

    if (packet) {
        check(!packet->windDirection || (*packet->windDirection >= 0 && *packet->windDirection < 360));
        check(!packet->insideHumidity || *packet->insideHumidity <= 100);
        check(!packet->outsideHumidity || *packet->outsideHumidity <= 100);
        check(!packet->barometerThousandthsInHg || *packet->barometerThousandthsInHg > 0);
        check(!packet->insideTempTenthsF || (*packet->insideTempTenthsF != 0x7FFF && *packet->insideTempTenthsF != -0x8000));
        // What was read is sent back the same way.
        const QByteArray again = encodeLoopPacket(*packet);
        check(again.size() == monitor::kLoopPacketSize && crc16(again.mid(1)) == 0);
        check(parseLoopPacket(again) == packet);
    }

    // Calibration with offsets taken from the input.
    if (bytes.size() >= 4) {
        const qint16 raw = le16(bytes, 0);
        const qint16 offset = le16(bytes, 2);
        const auto t = calibratedTemperatureF(raw, offset);
        check(t && *t == (raw + offset) / 10.0 && *t >= -6553.6 && *t <= 6553.4);
        const auto b = calibratedBarometerInHg(raw, offset);
        check(b && *b == (raw - offset) / 1000.0);
        check(!calibratedTemperatureF(std::nullopt, offset) && !calibratedBarometerInHg(std::nullopt, offset));
        const auto trend = decodeTrendBits(static_cast<quint8>(bytes.at(0)));
        check(!trend || *trend <= monitor::kTrendFalling);
    }

    // The history: pairs of (minutes forward or back, barometer).
    BarometerHistory history;
    qint64 now = 0;
    for (qsizetype i = 0; i + 3 < bytes.size(); i += 4) {
        now += static_cast<qint64>(le16(bytes, i)) * 60 * 1000;
        history.add(now, le16(bytes, i + 2) / 1000.0);
        const quint8 t = history.trend(now);
        check(t <= monitor::kTrendFalling || t == monitor::kTrendUnknown);
        check(history.size() >= 1 && history.size() <= BarometerHistory::kMaxReadings);
    }
    return 0;
}
