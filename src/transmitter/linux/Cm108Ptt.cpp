#include "transmitter/linux/Cm108Ptt.h"

#include "transmitter/Cm108Reports.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace auravox {

namespace {
// C-Media's audio adapters with the HID GPIO block: CM108, CM108AH, CM109,
// CM119, CM119A, CM119B and the HS-100 variants interface boards are built on.
bool isFobProduct(quint16 product)
{
    return (product >= 0x0008 && product <= 0x000f) || product == 0x0012 || product == 0x0013 || product == 0x013a
           || product == 0x013c;
}

// "HID_ID=0003:00000D8C:0000013C" in a hidraw device's uevent.
bool usbIds(const QString &uevent, quint16 *vendor, quint16 *product)
{
    QFile f(uevent);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (!line.startsWith("HID_ID="))
            continue;
        const QList<QByteArray> parts = line.mid(7).split(':');
        if (parts.size() != 3 || parts[0].toUInt(nullptr, 16) != 3) // 3: USB
            return false;
        bool ok1 = false, ok2 = false;
        *vendor = static_cast<quint16>(parts[1].toUInt(&ok1, 16));
        *product = static_cast<quint16>(parts[2].toUInt(&ok2, 16));
        return ok1 && ok2;
    }
    return false;
}
} // namespace

Cm108Ptt::Cm108Ptt(const Cm108Settings &settings, QString sysRoot, QString devRoot)
    : m_settings(settings), m_sysRoot(std::move(sysRoot)), m_devRoot(std::move(devRoot)), m_path(settings.device)
{}

Cm108Ptt::~Cm108Ptt()
{
    close();
}

QString Cm108Ptt::findFob(const QString &sysRoot, const QString &devRoot, quint16 vendorId, quint16 productId)
{
    QDir dir(sysRoot + QStringLiteral("/class/hidraw"));
    QStringList nodes = dir.entryList({QStringLiteral("hidraw*")}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
    // hidraw10 after hidraw9
    std::sort(nodes.begin(), nodes.end(),
              [](const QString &a, const QString &b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    for (const QString &node : nodes) {
        quint16 vendor = 0, product = 0;
        if (!usbIds(dir.filePath(node + QStringLiteral("/device/uevent")), &vendor, &product))
            continue;
        if (vendor == vendorId && (productId == 0 ? isFobProduct(product) : product == productId))
            return devRoot + QLatin1Char('/') + node;
    }
    return {};
}

bool Cm108Ptt::fail(const QString &what, int err)
{
    m_error = QStringLiteral("%1: %2 (%3)").arg(m_path, what, QString::fromLocal8Bit(std::strerror(err)));
    return false;
}

bool Cm108Ptt::open()
{
    close();
    if (m_settings.device.isEmpty()) {
        m_path = findFob(m_sysRoot, m_devRoot, m_settings.vendorId, m_settings.productId);
        if (m_path.isEmpty()) {
            m_error = QStringLiteral("no CM108/CM119 fob with USB ID %1:%2 under %3/class/hidraw")
                          .arg(m_settings.vendorId, 4, 16, QLatin1Char('0'))
                          .arg(m_settings.productId, 4, 16, QLatin1Char('0'))
                          .arg(m_sysRoot);
            return false;
        }
    }
    // Non-blocking: the inputs are drained at each poll, never waited for.
    m_fd.reset(::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!m_fd)
        return fail(QStringLiteral("open"), errno);
    m_partial.clear();
    m_last.clear();
    if (!setPtt(false)) {
        m_fd.reset();
        return false;
    }
    return true;
}

void Cm108Ptt::close()
{
    if (!m_fd)
        return;
    setPtt(false); // a fob keeps its pins as last written
    m_fd.reset();
}

bool Cm108Ptt::setPtt(bool on)
{
    if (!m_fd) {
        m_error = m_path + QStringLiteral(": not open");
        return false;
    }
    const auto report = Cm108Reports::pttReport(m_settings.pttGpio, on);
    const ssize_t n = ::write(m_fd.get(), report.data(), report.size());
    if (n < 0)
        return fail(QStringLiteral("write"), errno);
    if (n != static_cast<ssize_t>(report.size())) {
        m_error = QStringLiteral("%1: short write (%2 of %3 bytes)").arg(m_path).arg(n).arg(report.size());
        return false;
    }
    return true;
}

ModemStatus Cm108Ptt::inputs()
{
    if (!m_fd)
        return {};
    // The fob sends a report when a button changes; everything since the last
    // poll is read, so that a press and release between two polls still
    // starts once.
    bool startSeen = false;
    char buf[64];
    for (;;) {
        const ssize_t n = ::read(m_fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                break;
            fail(QStringLiteral("read"), errno);
            return {};
        }
        if (n == 0)
            break;
        m_partial.append(buf, n);
        while (m_partial.size() >= Cm108Reports::kInputSize) {
            m_last = m_partial.left(Cm108Reports::kInputSize);
            m_partial.remove(0, Cm108Reports::kInputSize);
            startSeen = startSeen || Cm108Reports::inputBit(m_last, m_settings.startBit);
        }
    }
    ModemStatus s;
    s.cts = startSeen || Cm108Reports::inputBit(m_last, m_settings.startBit);
    s.dcd = Cm108Reports::inputBit(m_last, m_settings.inhibitBit);
    return s;
}

QString Cm108Ptt::where() const
{
    return QStringLiteral("%1 (CM108 GPIO%2)")
        .arg(m_path.isEmpty() ? QStringLiteral("hidraw") : m_path)
        .arg(m_settings.pttGpio);
}

} // namespace auravox
