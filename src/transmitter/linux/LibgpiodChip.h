#pragma once

#include "transmitter/GpioChip.h"

#include <map>

struct gpiod_chip;
struct gpiod_line;

namespace auravox {

// A GPIO chip through libgpiod (the kernel's character device, never the
// deprecated sysfs interface).
class LibgpiodChip final : public GpioChip
{
public:
    LibgpiodChip() = default;
    ~LibgpiodChip() override;
    LibgpiodChip(const LibgpiodChip &) = delete;
    LibgpiodChip &operator=(const LibgpiodChip &) = delete;

    bool open(const QString &chip) override;
    void close() override;
    bool requestOutput(int offset, bool activeLow, bool value) override;
    bool requestInput(int offset, bool activeLow) override;
    bool setValue(int offset, bool value) override;
    int value(int offset) override;
    int risingEdges(int offset) override;
    QString lastError() const override { return m_error; }

private:
    gpiod_line *line(int offset);
    bool fail(const QString &what, int err);

    QString m_name;
    gpiod_chip *m_chip = nullptr;
    std::map<int, gpiod_line *> m_lines; // requested, by offset
    QString m_error;
};

} // namespace auravox
