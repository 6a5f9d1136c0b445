#include "support/AlsaCapture.h"

#include "platform/linux/AlsaWaveOutput.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
                                "}\n"
                                "pcm.auravox_file {\n"
                                "    @args [ PATH ]\n"
                                "    @args.PATH { type string }\n"
                                "    type file\n"
                                "    slave.pcm \"null\"\n"
                                "    file $PATH\n"
                                "    format \"raw\"\n"
                                "}\n"
                                "pcm_type.auravox_realtime {\n"
                                "    lib \"%2\"\n"
                                "}\n"
                                "pcm.auravox_realtime {\n"
                                "    @args [ DATA LOG ]\n"
                                "    @args.DATA { type string }\n"
                                "    @args.LOG { type string }\n"
                                "    type auravox_realtime\n"
                                "    data $DATA\n"
                                "    log $LOG\n"
                                "}\n")
                     .arg(m_rawPath, QStringLiteral(AURAVOX_REALTIME_PCM))
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

QString AlsaCapture::filePcm(const QString &path)
{
    return QStringLiteral("auravox_file:PATH=\"%1\"").arg(path);
}

QString AlsaCapture::realTimePcm(const QString &dataPath, const QString &logPath)
{
    return QStringLiteral("auravox_realtime:DATA=\"%1\",LOG=\"%2\"").arg(dataPath, logPath);
}

bool AlsaCapture::settle(AlsaWaveOutput &out)
{
    QDeadlineTimer guard(20000);
    while (out.lingeringWriters() > 0 && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return out.lingeringWriters() == 0;
}

StallingDevice::StallingDevice()
{
    // Its PCM is defined in the capture's ALSA configuration.
    AlsaCapture::instance();
    // A writer still in the pipe when the test ends gets an error, not a signal.
    ::signal(SIGPIPE, SIG_IGN);
    m_path = m_dir.filePath(QStringLiteral("device.fifo"));
    ::mkfifo(QFile::encodeName(m_path).constData(), 0600);
}

StallingDevice::~StallingDevice()
{
    m_notifier.reset(); // before the descriptor it watches goes
}

QString StallingDevice::pcm() const
{
    return AlsaCapture::filePcm(m_path);
}

void StallingDevice::openReader()
{
    // Read and write: opening never waits, and the pipe never reports an end
    // when a device closes.
    if (!m_fd)
        m_fd.reset(::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
}

void StallingDevice::holdReader()
{
    openReader();
}

void StallingDevice::drain()
{
    openReader();
    if (m_notifier || !m_fd)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd.get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
}

void StallingDevice::readAvailable()
{
    if (!m_notifier)
        return; // not drained: the device holds what it took
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(m_fd.get(), buffer, sizeof buffer)) > 0)
        m_data.append(buffer, n);
}

QByteArray StallingDevice::data()
{
    readAvailable();
    return m_data;
}

void StallingDevice::clearData()
{
    readAvailable();
    m_data.clear();
}

} // namespace auravox::test
