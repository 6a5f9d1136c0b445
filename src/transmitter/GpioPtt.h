#pragma once

#include "transmitter/GpioChip.h"
#include "transmitter/PttDevice.h"
#include "transmitter/PttSettings.h"

#include <memory>

namespace auravox {

// A GPIO line of the board keys the transmitter; optional lines start an
// announcement on each rising edge and inhibit one while active.
class GpioPtt final : public PttDevice
{
public:
    GpioPtt(const GpioSettings &settings, std::unique_ptr<GpioChip> chip);
    ~GpioPtt() override;

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool setPtt(bool on) override;
    QString pttName() const override { return QStringLiteral("line %1").arg(m_settings.pttLine); }
    QString startName() const override { return QStringLiteral("line %1").arg(m_settings.startLine); }
    // The start line as `cts`: on while active, and on for one poll after an
    // edge that came and went between two polls.
    ModemStatus inputs() override;
    bool startsOnCts() const override { return m_settings.startLine != GpioSettings::kNoLine; }
    bool startsOnDsr() const override { return false; }
    bool inhibitsOnDcd() const override { return m_settings.inhibitLine != GpioSettings::kNoLine; }
    std::optional<QStringList> pttFoundUp() override;
    QString where() const override;
    QString lastError() const override { return m_error; }

private:
    bool fail();

    GpioSettings m_settings;
    std::unique_ptr<GpioChip> m_chip;
    bool m_open = false;
    QString m_error;
};

} // namespace auravox
