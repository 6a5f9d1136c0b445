#include "support/WavBuilder.h"

#include <QFile>
#include <QtEndian>

namespace auravox::test {

namespace {
void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian<quint16>(v, c);
    b.append(c, 2);
}
void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian<quint32>(v, c);
    b.append(c, 4);
}
} // namespace

QByteArray WavBuilder::chunk(const char id[4], const QByteArray &body, bool pad)
{
    QByteArray b(id, 4);
    put32(b, static_cast<quint32>(body.size()));
    b.append(body);
    if (pad && (body.size() & 1))
        b.append('\0');
    return b;
}

QByteArray WavBuilder::samples(qsizetype count, int seed)
{
    QByteArray b(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i)
        b[i] = static_cast<char>((i * 7 + seed * 31 + (i >> 8)) & 0xFF);
    return b;
}

QByteArray WavBuilder::build() const
{
    const quint16 align = blockAlign < 0 ? static_cast<quint16>(channels * bits / 8) : static_cast<quint16>(blockAlign);
    const quint32 avg = byteRate < 0 ? rate * align : static_cast<quint32>(byteRate);
    QByteArray fmt;
    put16(fmt, formatTag);
    put16(fmt, channels);
    put32(fmt, rate);
    put32(fmt, avg);
    put16(fmt, align);
    put16(fmt, bits);
    fmt.append(extraFormatBytes);

    QByteArray body("WAVE");
    body.append("fmt ", 4);
    put32(body, formatLength);
    body.append(fmt.left(formatLength));
    body.append(chunksBeforeData);
    body.append("data", 4);
    put32(body, declaredDataLength < 0 ? static_cast<quint32>(data.size()) : static_cast<quint32>(declaredDataLength));
    body.append(data);

    QByteArray out("RIFF");
    put32(out, static_cast<quint32>(body.size()));
    out.append(body);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace auravox::test
