#include "transmitter/Transmitter.h"

#include "common/Log.h"
#include "platform/SerialLines.h"

#include <QStringList>

namespace auravox {

namespace {
// The guard and the release retry log the first of a run and then one a
// minute, so a program that keeps opening the port, or a rig that stays
// silent, can't flood the journal.
constexpr int kGuardLogEvery = 60;
} // namespace

bool Transmitter::isOpen() const
{
    return m_device && m_device->isOpen();
}

bool Transmitter::startOnDsr() const
{
    return m_device && !m_serial ? m_device->startsOnDsr() : m_choice.dsr;
}

QString Transmitter::startInputName() const
{
    if (!m_device || m_serial || m_device->startName().isEmpty())
        return QString();
    return QStringLiteral("the start input (%1)").arg(m_device->startName());
}

bool Transmitter::startOnCts() const
{
    return m_device && !m_serial ? m_device->startsOnCts() : m_choice.cts;
}

bool Transmitter::inhibitOnDcd() const
{
    return m_device && !m_serial ? m_device->inhibitsOnDcd() : m_choice.dcd;
}

void Transmitter::showLed(bool on)
{
    if (m_led)
        m_led(on);
}

bool Transmitter::open(const QString &portName)
{
    auto serial = std::make_unique<SerialPtt>(m_lines, m_choice, portName);
    SerialPtt *s = serial.get();
    if (!openNow(std::move(serial), portName))
        return false;
    m_serial = s;
    m_portName = portName;
    m_console = s->isKernelConsole();
    qCInfo(lcPort).noquote() << QStringLiteral("%1 opened, DTR and RTS down").arg(where());
    if (m_console)
        qCWarning(lcPort).noquote()
            << QStringLiteral("%1 is the kernel console: the kernel does not drop DTR and RTS when it is closed, "
                              "so if the program crashes during an announcement the transmitter stays keyed")
                   .arg(s->devicePath());
    return true;
}

bool Transmitter::openDevice(std::unique_ptr<PttDevice> device)
{
    if (!device) {
        close(QStringLiteral("another device chosen"));
        m_lastError = QStringLiteral("this kind of transmitter port is not built into this program");
        qCWarning(lcPort).noquote() << m_lastError;
        return false;
    }
    const QString name = device->where();
    if (!openNow(std::move(device), name))
        return false;
    qCInfo(lcPort).noquote() << QStringLiteral("%1 opened, PTT off").arg(where());
    return true;
}

bool Transmitter::openNow(std::unique_ptr<PttDevice> device, const QString &name)
{
    close(QStringLiteral("another port chosen"));
    m_console = false;
    m_guardRun = m_retryRun = 0;
    m_pendingRelease.clear();
    if (!device->open()) {
        m_lastError = device->lastError();
        qCWarning(lcPort).noquote() << QStringLiteral("%1 can't be opened: %2").arg(name, m_lastError);
        return false;
    }
    m_lastError.clear();
    m_device = std::move(device);
    return true;
}

void Transmitter::close(const QString &cause)
{
    if (!m_device)
        return;
    if (m_device->isOpen()) {
        release(cause);
        m_device->close();
        qCInfo(lcPort).noquote() << QStringLiteral("%1 closed: %2").arg(where(), cause);
    }
    m_keyed = false;
    m_pendingRelease.clear();
    m_serial = nullptr;
    m_device.reset();
}

void Transmitter::key(const QString &cause)
{
    if (!isOpen())
        return;
    m_keyed = true;
    const QString raised = m_device->pttName();
    if (raised.isEmpty()) {
        qCInfo(lcPtt).noquote() << QStringLiteral("PTT not keyed on %1 (%2): %3")
                                       .arg(where(),
                                            m_serial ? QStringLiteral("neither DTR nor RTS is chosen")
                                                     : QStringLiteral("nothing is chosen to key"),
                                            cause);
        return;
    }
    const bool ok = m_device->setPtt(true);
    showLed(true);
    if (!ok) {
        m_lastError = m_device->lastError();
        qCWarning(lcPtt).noquote()
            << QStringLiteral("PTT keying (%1) failed on %2: %3: %4").arg(raised, where(), m_lastError, cause);
        return;
    }
    m_lastError.clear();
    m_pendingRelease.clear(); // keyed again: the end of this announcement releases
    qCInfo(lcPtt).noquote() << QStringLiteral("PTT keyed (%1) on %2: %3").arg(raised, where(), cause);
}

void Transmitter::release(const QString &cause)
{
    const bool wasKeyed = m_keyed;
    m_keyed = false;
    showLed(false);
    if (!isOpen())
        return;
    if (!m_device->setPtt(false)) {
        m_lastError = m_device->lastError();
        m_pendingRelease = cause;
        m_retryRun = 0;
        qCWarning(lcPtt).noquote() << QStringLiteral("PTT release failed on %1: %2: %3 (retried at every tick)")
                                          .arg(where(), m_lastError, cause);
        return;
    }
    m_lastError.clear();
    m_pendingRelease.clear();
    if (wasKeyed)
        qCInfo(lcPtt).noquote() << QStringLiteral("PTT released on %1: %2").arg(where(), cause);
    else
        qCDebug(lcPtt).noquote() << QStringLiteral("PTT dropped on %1: %2").arg(where(), cause);
}

ModemStatus Transmitter::modemStatus()
{
    return isOpen() ? m_device->inputs() : ModemStatus{};
}

bool Transmitter::retryRelease()
{
    if (m_device->setPtt(false)) {
        qCInfo(lcPtt).noquote()
            << QStringLiteral("PTT released on %1: %2 (the release was retried)").arg(where(), m_pendingRelease);
        m_pendingRelease.clear();
        m_lastError.clear();
        return true;
    }
    m_lastError = m_device->lastError();
    if (++m_retryRun % kGuardLogEvery == 0)
        qCWarning(lcPtt).noquote() << QStringLiteral("PTT release still failing on %1: %2").arg(where(), m_lastError);
    return false;
}

bool Transmitter::guardIdleLines()
{
    if (!isOpen() || m_keyed)
        return false;
    if (!m_pendingRelease.isEmpty())
        return retryRelease();
    const std::optional<QStringList> up = m_device->pttFoundUp();
    if (!up) {
        // The device can't say whether another program keyed it: say off again.
        m_device->setPtt(false);
        return false;
    }
    if (up->isEmpty()) {
        m_guardRun = 0;
        return false;
    }
    m_device->setPtt(false);
    showLed(false);
    if (m_guardRun++ % kGuardLogEvery == 0)
        qCWarning(lcPort).noquote() << QStringLiteral("%1 found up on %2 while no announcement runs (%3): dropped")
                                           .arg(up->join(QLatin1Char('+')), where(),
                                                m_serial ? QStringLiteral("another program opened the port?")
                                                         : QStringLiteral("another program keyed it?"));
    return true;
}

} // namespace auravox
