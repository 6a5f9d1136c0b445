#include "support/AlsaCapture.h"

#include <QFile>

namespace auravox::test {

AlsaCapture &AlsaCapture::instance()
{
    static AlsaCapture capture;
    return capture;
}

AlsaCapture::AlsaCapture()
{
    m_rawPath = m_dir.filePath(QStringLiteral("capture.raw"));
    QFile rc(m_dir.filePath(QStringLiteral(".asoundrc")));
    if (rc.open(QIODevice::WriteOnly)) {
        rc.write(QStringLiteral("pcm.!default {\n"
                                "    type file\n"
                                "    slave.pcm \"null\"\n"
                                "    file \"| cat >> '%1'\"\n"
                                "    format \"raw\"\n"
                                "}\n")
                     .arg(m_rawPath)
                     .toLocal8Bit());
    }
    qputenv("HOME", m_dir.path().toLocal8Bit());
    clear();
}

void AlsaCapture::clear() const
{
    QFile f(m_rawPath);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

QByteArray AlsaCapture::captured() const
{
    QFile f(m_rawPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

namespace {
QByteArray channel(const QByteArray &stereo16, int which)
{
    QByteArray out;
    out.reserve(stereo16.size() / 2);
    for (qsizetype i = which * 2; i + 1 < stereo16.size(); i += 4)
        out.append(stereo16.constData() + i, 2);
    return out;
}
} // namespace

QByteArray AlsaCapture::leftChannel(const QByteArray &stereo16)
{
    return channel(stereo16, 0);
}

QByteArray AlsaCapture::rightChannel(const QByteArray &stereo16)
{
    return channel(stereo16, 1);
}

} // namespace auravox::test
