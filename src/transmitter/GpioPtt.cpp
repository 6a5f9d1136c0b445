#include "transmitter/GpioPtt.h"

namespace auravox {

GpioPtt::GpioPtt(const GpioSettings &settings, std::unique_ptr<GpioChip> chip)
    : m_settings(settings), m_chip(std::move(chip))
{}

GpioPtt::~GpioPtt()
{
    close();
}

bool GpioPtt::fail()
{
    m_error = m_chip->lastError();
    return false;
}

bool GpioPtt::open()
{
    close();
    if (!m_chip->open(m_settings.chip))
        return fail();
    // Requested inactive: the line never goes active between the request and
    // the first release.
    bool ok = m_chip->requestOutput(m_settings.pttLine, m_settings.pttActiveLow, false);
    for (int line : {m_settings.startLine, m_settings.inhibitLine}) {
        if (ok && line != GpioSettings::kNoLine)
            ok = m_chip->requestInput(line, m_settings.inputsActiveLow);
    }
    if (!ok) {
        fail();
        m_chip->close();
        return false;
    }
    // Edges from before the open ask for nothing.
    if (m_settings.startLine != GpioSettings::kNoLine)
        m_chip->risingEdges(m_settings.startLine);
    m_open = true;
    return true;
}

void GpioPtt::close()
{
    if (!m_open)
        return;
    m_chip->setValue(m_settings.pttLine, false);
    m_chip->close(); // the kernel gives the lines back as inputs
    m_open = false;
}

bool GpioPtt::setPtt(bool on)
{
    if (!m_open) {
        m_error = where() + QStringLiteral(": not open");
        return false;
    }
    return m_chip->setValue(m_settings.pttLine, on) || fail();
}

ModemStatus GpioPtt::inputs()
{
    ModemStatus s;
    if (!m_open)
        return s;
    if (m_settings.startLine != GpioSettings::kNoLine) {
        const int edges = m_chip->risingEdges(m_settings.startLine);
        const int now = m_chip->value(m_settings.startLine);
        if (edges < 0 || now < 0) {
            fail();
            return {};
        }
        s.cts = edges > 0 || now == 1;
    }
    if (m_settings.inhibitLine != GpioSettings::kNoLine) {
        const int now = m_chip->value(m_settings.inhibitLine);
        if (now < 0) {
            fail();
            return {};
        }
        s.dcd = now == 1;
    }
    return s;
}

std::optional<QStringList> GpioPtt::pttFoundUp()
{
    if (!m_open)
        return QStringList();
    const int v = m_chip->value(m_settings.pttLine);
    if (v < 0)
        return std::nullopt;
    return v == 1 ? QStringList{pttName()} : QStringList();
}

QString GpioPtt::where() const
{
    return QStringLiteral("%1 line %2 (GPIO%3)")
        .arg(m_settings.chip)
        .arg(m_settings.pttLine)
        .arg(m_settings.pttActiveLow ? QStringLiteral(", active low") : QString());
}

} // namespace auravox
