#include "transmitter/linux/LibgpiodChip.h"

#include <gpiod.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace auravox {

namespace {
constexpr const char *kConsumer = "auravox";
}

LibgpiodChip::~LibgpiodChip()
{
    close();
}

bool LibgpiodChip::fail(const QString &what, int err)
{
    m_error = QStringLiteral("%1: %2 (%3)").arg(m_name, what, QString::fromLocal8Bit(std::strerror(err)));
    return false;
}

bool LibgpiodChip::open(const QString &chip)
{
    close();
    m_name = chip;
    m_chip = gpiod_chip_open_lookup(chip.toLocal8Bit().constData());
    if (!m_chip)
        return fail(QStringLiteral("open"), errno);
    return true;
}

void LibgpiodChip::close()
{
    for (auto &[offset, l] : m_lines)
        gpiod_line_release(l);
    m_lines.clear();
    if (m_chip)
        gpiod_chip_close(m_chip);
    m_chip = nullptr;
}

gpiod_line *LibgpiodChip::line(int offset)
{
    const auto it = m_lines.find(offset);
    return it == m_lines.end() ? nullptr : it->second;
}

bool LibgpiodChip::requestOutput(int offset, bool activeLow, bool value)
{
    gpiod_line *l = m_chip ? gpiod_chip_get_line(m_chip, static_cast<unsigned>(offset)) : nullptr;
    if (!l)
        return fail(QStringLiteral("line %1").arg(offset), m_chip ? errno : ENODEV);
    if (gpiod_line_request_output_flags(l, kConsumer, activeLow ? GPIOD_LINE_REQUEST_FLAG_ACTIVE_LOW : 0, value ? 1 : 0)
        != 0)
        return fail(QStringLiteral("line %1 as an output").arg(offset), errno);
    m_lines[offset] = l;
    return true;
}

bool LibgpiodChip::requestInput(int offset, bool activeLow)
{
    gpiod_line *l = m_chip ? gpiod_chip_get_line(m_chip, static_cast<unsigned>(offset)) : nullptr;
    if (!l)
        return fail(QStringLiteral("line %1").arg(offset), m_chip ? errno : ENODEV);
    if (gpiod_line_request_both_edges_events_flags(l, kConsumer, activeLow ? GPIOD_LINE_REQUEST_FLAG_ACTIVE_LOW : 0)
        != 0)
        return fail(QStringLiteral("line %1 as an input with edge events").arg(offset), errno);
    m_lines[offset] = l;
    return true;
}

bool LibgpiodChip::setValue(int offset, bool value)
{
    gpiod_line *l = line(offset);
    if (!l || gpiod_line_set_value(l, value ? 1 : 0) != 0)
        return fail(QStringLiteral("set line %1").arg(offset), l ? errno : EINVAL);
    return true;
}

int LibgpiodChip::value(int offset)
{
    gpiod_line *l = line(offset);
    const int v = l ? gpiod_line_get_value(l) : -1;
    if (v < 0)
        fail(QStringLiteral("read line %1").arg(offset), l ? errno : EINVAL);
    return v;
}

int LibgpiodChip::risingEdges(int offset)
{
    gpiod_line *l = line(offset);
    if (!l) {
        fail(QStringLiteral("events of line %1").arg(offset), EINVAL);
        return -1;
    }
    int rising = 0;
    const timespec now{0, 0}; // never wait: the tick polls
    for (;;) {
        const int ready = gpiod_line_event_wait(l, &now);
        if (ready < 0) {
            fail(QStringLiteral("events of line %1").arg(offset), errno);
            return -1;
        }
        if (ready == 0)
            return rising;
        gpiod_line_event event{};
        if (gpiod_line_event_read(l, &event) != 0) {
            fail(QStringLiteral("events of line %1").arg(offset), errno);
            return -1;
        }
        if (event.event_type == GPIOD_LINE_EVENT_RISING_EDGE)
            ++rising;
    }
}

} // namespace auravox
