#pragma once

#include "engine/AnnounceHooks.h"
#include "links/SerialPortControl.h"

#include <QWidget>

class QCheckBox;
class QListWidget;
class QListWidgetItem;

namespace auravox {

class ConfigRegistry;
class UserPrompts;

// What the serial port window shows on the main window.
class PortIndicators
{
public:
    virtual ~PortIndicators() = default;
    virtual void showLed(bool on) = 0;
    // LabelCOM: the port name, or "COM" with no port.
    virtual void showPortCaption(const QString &caption) = 0;
    // No port: DCD off, "DCD=Off", the normal picture.
    virtual void showNoPort() = 0;
    // A port named in the configuration could not be opened at start.
    virtual void showPortError(const QString &text) = 0;
};

// "COM Port ": the port list and the five line boxes. It is also the
// announcement's view of the transmitter port.
class TFormCOM : public QWidget, public TransmitterPort
{
    Q_OBJECT
public:
    TFormCOM(SerialPortControl &control, UserPrompts &prompts, PortIndicators &indicators,
             QWidget *parent = nullptr);

    void ListBoxCOMClick(QListWidgetItem *item);
    void menuComNoneclick();
    void FormShow();
    void OpenChosenPort();

    // The configuration keys of this window.
    void declareConfig(ConfigRegistry &registry);
    // The load opens ports without a modal message (the box would hold the
    // start-up of an unattended station until someone clicks it).
    void setLoading(bool loading) { m_loading = loading; }

    // TransmitterPort
    QString portText() const override { return m_control.portText(); }
    QString portName() const override { return m_control.portName(); }
    bool useDtr() const override;
    bool useRts() const override;
    bool startOnDsr() const override;
    bool startOnCts() const override;
    bool inhibitOnDcd() const override;
    void setDtr(bool on) override { m_control.setDtr(on); }
    void setRts(bool on) override { m_control.setRts(on); }
    void showLed(bool on) override { m_indicators.showLed(on); }
    ModemStatus modemStatus() override { return m_control.modemStatus(); }

    SerialPortControl &control() { return m_control; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QCheckBox *lineBox(const char *name, const QString &caption);

    SerialPortControl &m_control;
    UserPrompts &m_prompts;
    PortIndicators &m_indicators;
    bool m_loading = false;
    // A port the configuration names but that could not be opened at start:
    // it is kept for the next save until the user chooses another port.
    QString m_unavailablePort;

    QListWidget *ListBoxCOM = nullptr;
    QCheckBox *CheckBoxDTR = nullptr;
    QCheckBox *CheckBoxRTS = nullptr;
    QCheckBox *CheckBoxDSR = nullptr;
    QCheckBox *CheckBoxCTS = nullptr;
    QCheckBox *CheckBoxDCD = nullptr;
};

} // namespace auravox
