#include "transmitter/Transmitter.h"

#include "common/Log.h"
#include "platform/SerialLines.h"

#include <QStringList>

namespace auravox {

namespace {
// The guard logs the first drop of a run and then one a minute, so a program
// that keeps opening the port can't flood the journal.
constexpr int kGuardLogEvery = 60;
} // namespace

bool Transmitter::isOpen() const
{
    return m_lines.isOpen();
}

QString Transmitter::where() const
{
    return QStringLiteral("%1 (%2)").arg(m_devicePath, m_portName);
}

void Transmitter::showLed(bool on)
{
    if (m_led)
        m_led(on);
}

bool Transmitter::open(const QString &portName)
{
    close(QStringLiteral("another port chosen"));
    m_portName = portName;
    m_devicePath = m_lines.devicePath(portName);
    m_console = false;
    m_guardRun = 0;
    if (!m_lines.open(portName)) {
        m_lastError = m_lines.lastError();
        if (m_lastError.isEmpty())
            m_lastError = m_devicePath.isEmpty() ? QStringLiteral("no device for this port name")
                                                 : m_devicePath + QStringLiteral(": can't be opened");
        qCWarning(lcPort).noquote() << QStringLiteral("%1 can't be opened: %2").arg(portName, m_lastError);
        return false;
    }
    m_lastError.clear();
    m_console = m_lines.isKernelConsole(portName);
    qCInfo(lcPort).noquote() << QStringLiteral("%1 opened, DTR and RTS down").arg(where());
    if (m_console)
        qCWarning(lcPort).noquote()
            << QStringLiteral("%1 is the kernel console: the kernel does not drop DTR and RTS when it is closed, "
                              "so if the program crashes during an announcement the transmitter stays keyed")
                   .arg(m_devicePath);
    return true;
}

void Transmitter::close(const QString &cause)
{
    if (!isOpen())
        return;
    release(cause);
    m_lines.close();
    m_keyed = false;
    qCInfo(lcPort).noquote() << QStringLiteral("%1 closed: %2").arg(where(), cause);
}

void Transmitter::key(const QString &cause)
{
    if (!isOpen())
        return;
    m_keyed = true;
    QStringList raised;
    QString error; // the first failure's
    auto check = [&](bool ok) {
        if (!ok && error.isEmpty())
            error = m_lines.lastError();
    };
    if (m_choice.dtr) {
        check(m_lines.setDtr(true));
        raised << QStringLiteral("DTR");
        showLed(true);
    }
    if (m_choice.rts) {
        check(m_lines.setRts(true));
        raised << QStringLiteral("RTS");
        showLed(true);
    }
    if (raised.isEmpty()) {
        qCInfo(lcPtt).noquote() << QStringLiteral("PTT not keyed on %1 (neither DTR nor RTS is chosen): %2")
                                       .arg(where(), cause);
        return;
    }
    if (!error.isEmpty()) {
        m_lastError = error;
        qCWarning(lcPtt).noquote() << QStringLiteral("PTT keying (%1) failed on %2: %3: %4")
                                          .arg(raised.join(QLatin1Char('+')), where(), m_lastError, cause);
        return;
    }
    m_lastError.clear();
    qCInfo(lcPtt).noquote() << QStringLiteral("PTT keyed (%1) on %2: %3")
                                   .arg(raised.join(QLatin1Char('+')), where(), cause);
}

void Transmitter::release(const QString &cause)
{
    const bool wasKeyed = m_keyed;
    m_keyed = false;
    showLed(false);
    if (!isOpen())
        return;
    QString error = m_lines.setDtr(false) ? QString() : m_lines.lastError();
    if (!m_lines.setRts(false) && error.isEmpty())
        error = m_lines.lastError();
    if (!error.isEmpty()) {
        m_lastError = error;
        qCWarning(lcPtt).noquote() << QStringLiteral("PTT release failed on %1: %2: %3")
                                          .arg(where(), m_lastError, cause);
        return;
    }
    m_lastError.clear();
    if (wasKeyed)
        qCInfo(lcPtt).noquote() << QStringLiteral("PTT released on %1: %2").arg(where(), cause);
    else
        qCDebug(lcPtt).noquote() << QStringLiteral("DTR and RTS dropped on %1: %2").arg(where(), cause);
}

ModemStatus Transmitter::modemStatus()
{
    return isOpen() ? m_lines.modemStatus() : ModemStatus{};
}

bool Transmitter::guardIdleLines()
{
    if (!isOpen() || m_keyed)
        return false;
    const ModemStatus s = m_lines.modemStatus();
    if (!s.dtr && !s.rts) {
        m_guardRun = 0;
        return false;
    }
    m_lines.setDtr(false);
    m_lines.setRts(false);
    showLed(false);
    if (m_guardRun++ % kGuardLogEvery == 0) {
        QStringList up;
        if (s.dtr)
            up << QStringLiteral("DTR");
        if (s.rts)
            up << QStringLiteral("RTS");
        qCWarning(lcPort).noquote()
            << QStringLiteral("%1 found up on %2 while no announcement runs (another program opened the port?): "
                              "dropped")
                   .arg(up.join(QLatin1Char('+')), where());
    }
    return true;
}

} // namespace auravox
