#pragma once

#include "common/UniqueFd.h"
#include "transmitter/PttDevice.h"
#include "transmitter/PttSettings.h"

#include <QByteArray>

namespace auravox {

// A C-Media CM108/CM119 sound fob through its /dev/hidraw node: PTT on one of
// the chip's GPIO pins by HID output report, the inhibit (COS) and the start
// input on bits of its input report (Cm108Reports.h has the format).
class Cm108Ptt final : public PttDevice
{
public:
    // `sysRoot` and `devRoot` stand for /sys and /dev (tests give a tree of their own).
    explicit Cm108Ptt(const Cm108Settings &settings, QString sysRoot = QStringLiteral("/sys"),
                      QString devRoot = QStringLiteral("/dev"));
    ~Cm108Ptt() override;

    // The first hidraw node whose USB IDs match (productId 0: any of the
    // CM108/CM119 family), as devRoot + "/hidrawN"; empty when none.
    static QString findFob(const QString &sysRoot, const QString &devRoot, quint16 vendorId, quint16 productId);

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_fd.isValid(); }
    bool setPtt(bool on) override;
    QString pttName() const override { return QStringLiteral("GPIO%1").arg(m_settings.pttGpio); }
    QString startName() const override { return QStringLiteral("bit %1").arg(m_settings.startBit); }
    ModemStatus inputs() override;
    bool startsOnCts() const override { return m_settings.startBit != Cm108Settings::kNoBit; }
    bool startsOnDsr() const override { return false; }
    bool inhibitsOnDcd() const override { return m_settings.inhibitBit != Cm108Settings::kNoBit; }
    // The chip's output pins can't be read back.
    std::optional<QStringList> pttFoundUp() override { return std::nullopt; }
    QString where() const override;
    QString lastError() const override { return m_error; }

private:
    bool fail(const QString &what, int err);

    Cm108Settings m_settings;
    QString m_sysRoot;
    QString m_devRoot;
    QString m_path;
    QString m_error;
    UniqueFd m_fd;
    QByteArray m_partial; // the start of a report a read split
    QByteArray m_last;    // the last whole input report
};

} // namespace auravox
