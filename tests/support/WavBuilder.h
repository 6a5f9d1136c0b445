#pragma once

#include <QByteArray>
#include <QString>

namespace auravox::test {

// Builds RIFF/WAVE bytes, well formed or damaged on purpose.
struct WavBuilder
{
    quint16 formatTag = 1;
    quint16 channels = 1;
    quint32 rate = 16000;
    quint16 bits = 16;
    qint64 byteRate = -1;   // -1: rate * blockAlign
    qint64 blockAlign = -1; // -1: channels * bits / 8
    quint32 formatLength = 16;
    QByteArray extraFormatBytes; // appended to the 16 format bytes
    QByteArray chunksBeforeData; // raw chunks placed between "fmt " and "data"
    QByteArray data;
    qint64 declaredDataLength = -1; // -1: data.size()

    QByteArray build() const;
    static QByteArray chunk(const char id[4], const QByteArray &body, bool pad = true);
    // `count` bytes of a recognisable ramp.
    static QByteArray samples(qsizetype count, int seed = 0);
};

// Writes bytes to a file; returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);
// A whole file, or an empty array when it can't be read.
QByteArray readFile(const QString &path);

} // namespace auravox::test
