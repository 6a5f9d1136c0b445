#pragma once

// Builders of the stations' history files, for tests and benchmarks.

#include <QByteArray>
#include <QDate>
#include <QtEndian>

#include <vector>

namespace auravox::test {

// One WS-23xx record (36 bytes).
struct Ws23Row
{
    quint32 stamp = 3477367440u; // seconds; see the reader for the epoch
    float pressure = 1010;
    float wind = 2; // m/s
    qint32 direction = 0;
    float rain = 10;
    float indoor = 21;
    float outdoor = 12;
    qint8 inHum = 50;
    qint8 outHum = 70;

    QByteArray bytes() const
    {
        QByteArray b(36, '\0');
        char *p = b.data();
        qToLittleEndian<quint32>(stamp, p + 4);
        qToLittleEndian<float>(pressure, p + 8);
        qToLittleEndian<float>(wind, p + 12);
        qToLittleEndian<qint32>(direction, p + 16);
        qToLittleEndian<float>(rain, p + 20);
        qToLittleEndian<float>(indoor, p + 24);
        qToLittleEndian<float>(outdoor, p + 28);
        p[32] = static_cast<char>(inHum);
        p[34] = static_cast<char>(outHum);
        return b;
    }
};

// `count` WS-23xx records `minutes` apart.
inline QByteArray ws23Series(qint64 count, int minutes = 10)
{
    QByteArray all;
    all.reserve(static_cast<qsizetype>(count * 36));
    for (qint64 i = 0; i < count; ++i) {
        Ws23Row r;
        r.stamp += static_cast<quint32>(i * minutes * 60);
        r.pressure = 1000.0f + static_cast<float>(i % 200) * 0.1f;
        r.wind = static_cast<float>(i % 7);
        r.rain = static_cast<float>(i) * 0.01f;
        all += r.bytes();
    }
    return all;
}

// One WS-28xx record (56 bytes).
struct Ws28Row
{
    double time = 38459.854166666664; // days since 1899-12-30: 2005-04-17 20:30 as a station stores it
    float absolute = 990, relative = 1014, wind = 2; // m/s
    qint32 direction = 0;
    float gust = 4, rain = 0, indoor = 21, outdoor = 12, inHum = 45, outHum = 70;

    QByteArray bytes() const
    {
        QByteArray b(56, '\0');
        char *p = b.data();
        qToLittleEndian<double>(time, p);
        qToLittleEndian<float>(absolute, p + 8);
        qToLittleEndian<float>(relative, p + 12);
        qToLittleEndian<float>(wind, p + 16);
        qToLittleEndian<qint32>(direction, p + 20);
        qToLittleEndian<float>(gust, p + 24);
        qToLittleEndian<float>(rain, p + 32);
        qToLittleEndian<float>(indoor, p + 36);
        qToLittleEndian<float>(outdoor, p + 40);
        qToLittleEndian<float>(inHum, p + 44);
        qToLittleEndian<float>(outHum, p + 48);
        return b;
    }
};

inline QByteArray ws28Series(qint64 count, int minutes = 10)
{
    QByteArray all;
    all.reserve(static_cast<qsizetype>(count * 56));
    for (qint64 i = 0; i < count; ++i) {
        Ws28Row r;
        r.time += static_cast<double>(i) * minutes / 1440.0;
        r.rain = (i % 5) == 0 ? 0.3f : 0.0f;
        r.wind = static_cast<float>(i % 7);
        all += r.bytes();
    }
    return all;
}

// One Vantage Pro2 archive record (88 bytes).
struct WlkRow
{
    quint8 type = 1;
    quint8 interval = 5; // minutes
    quint16 minute = 600;
    qint16 outdoor = 500; // tenths of F
    qint16 indoor = 700;
    quint16 barometer = 29921; // thousandths of inHg
    quint16 outHum = 650, inHum = 400; // tenths of %
    quint8 rainClicks = 0;
    quint8 collector = 16; // 0.01 inch
    quint16 wind = 50, gust = 100; // tenths of mph
    quint8 direction = 8;

    QByteArray bytes() const
    {
        QByteArray b(88, '\0');
        char *p = b.data();
        p[0] = static_cast<char>(type);
        p[1] = static_cast<char>(interval);
        qToLittleEndian<quint16>(minute, p + 4);
        qToLittleEndian<qint16>(outdoor, p + 6);
        qToLittleEndian<qint16>(indoor, p + 12);
        qToLittleEndian<quint16>(barometer, p + 14);
        qToLittleEndian<quint16>(outHum, p + 16);
        qToLittleEndian<quint16>(inHum, p + 18);
        p[20] = static_cast<char>(rainClicks);
        p[21] = static_cast<char>(collector);
        qToLittleEndian<quint16>(wind, p + 24);
        qToLittleEndian<quint16>(gust, p + 26);
        p[28] = static_cast<char>(direction);
        return b;
    }
};

// A monthly archive: `perDay[i]` records on day i + 1, each day's rows made
// by `row(day, index)`.
template <typename RowFn> QByteArray wlkFile(const std::vector<int> &perDay, RowFn row)
{
    QByteArray header(212, '\0');
    memcpy(header.data(), "WDAT5.3", 7);
    QByteArray body;
    qint32 total = 0;
    for (size_t d = 0; d < perDay.size() && d < 31; ++d) {
        qToLittleEndian<qint16>(static_cast<qint16>(perDay[d]), header.data() + 20 + 6 * static_cast<int>(d + 1));
        for (int i = 0; i < perDay[d]; ++i) {
            body += row(static_cast<int>(d + 1), i).bytes();
            ++total;
        }
    }
    qToLittleEndian<qint32>(total, header.data() + 16);
    return header + body;
}

} // namespace auravox::test
