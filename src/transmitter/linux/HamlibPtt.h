#pragma once

#include "transmitter/PttDevice.h"
#include "transmitter/PttSettings.h"

#include <QElapsedTimer>

struct s_rig;

namespace auravox {

// A rig through Hamlib: PTT by rig_set_ptt, the inhibit by its squelch
// (rig_get_dcd), for a model on a serial port or rigctld on the network
// (model 2, "host:port"). Every call waits at most the settings' time limit,
// with no retry inside Hamlib: a rig that stops answering is a failed call
// with Hamlib's reason, and the next call opens the rig again first. Every
// call runs on the thread that asks, so a rig that takes its whole time limit
// to fail is opened again only after nine times as long has passed (at most
// 30 s): the program waits on it a tenth of the time at most, and a rig that
// refuses at once (rigctld gone) is tried at every call.
class HamlibPtt final : public PttDevice
{
public:
    explicit HamlibPtt(const RigSettings &settings);
    ~HamlibPtt() override;

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool setPtt(bool on) override;
    QString pttName() const override { return QStringLiteral("PTT"); }
    // DCD (the squelch open) as `dcd`; a rig has no start input.
    ModemStatus inputs() override;
    bool startsOnCts() const override { return false; }
    bool startsOnDsr() const override { return false; }
    bool inhibitsOnDcd() const override { return m_settings.inhibitOnDcd; }
    // The rig's own PTT state (rig_get_ptt); nullopt when it does not answer.
    std::optional<QStringList> pttFoundUp() override;
    QString where() const override;
    QString lastError() const override { return m_error; }

private:
    bool connectRig();
    void disconnectRig();
    // After a failed call: the rig is opened again before the next one.
    bool ready();
    bool fail(const char *what, int code);
    // After a failed read: the rig is opened again first when it went silent.
    void dropIfSilent(int code);
    // Whether opening the rig again may be tried now.
    bool mayTryAgain() const;

    RigSettings m_settings;
    s_rig *m_rig = nullptr;
    bool m_connected = false;
    // Opened and not closed since, whether the rig answers now or not.
    bool m_open = false;
    QString m_error;
    // Hamlib's reason for the last failure, without the rig's name.
    QString m_reason;
    // When opening it again last failed, and how long to let pass after that.
    QElapsedTimer m_sinceFailedOpen;
    qint64 m_holdOffMs = 0;
};

} // namespace auravox
