#pragma once

#include "engine/AnnounceHooks.h"
#include "transmitter/PortSettings.h"
#include "transmitter/SerialPortControl.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace auravox {

class PttKindEditor;
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
    // The DCD state as a poll of the lines found it (the port was just opened).
    virtual void showDcd(bool on) = 0;
};

// "COM Port ": the port list and the five line boxes. The boxes are the
// model's (the transmitter follows it); a port the model asks for is opened here.
class TFormCOM : public QWidget
{
    Q_OBJECT
public:
    TFormCOM(SerialPortControl &control, PortSettings &settings, UserPrompts &prompts, PortIndicators &indicators,
             QWidget *parent = nullptr);
    ~TFormCOM() override;

    void ListBoxCOMClick(QListWidgetItem *item);
    void menuComNoneclick();
    void FormShow();
    void OpenChosenPort();

    // What COM= will say: the port chosen in the list, or the one the
    // configuration named but could not be opened.
    void noteSavedPort();
    // The load opens ports without a modal message (the box would hold the
    // start-up of an unattended station until someone clicks it).
    void setLoading(bool loading) { m_loading = loading; }

    QString portText() const { return m_control.portText(); }
    QString portName() const { return m_control.portName(); }

    SerialPortControl &control() { return m_control; }
    Transmitter &transmitter() { return m_control.transmitter(); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QCheckBox *lineBox(const char *name, const QString &caption);
    void boxesChanged();
    void showLines();
    // A port chosen by name, from the configuration or the station page.
    void choosePort(const QString &name);
    // After a successful open: the DCD state at once, and the console warning.
    void portOpened();
    // The kind editor's "Use", and what came of it.
    void usePttClicked();
    void deviceApplied(const QString &error);
    void showPtt();
    void enableSerialControls(bool on);

    SerialPortControl &m_control;
    PortSettings &m_settings;
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
    // Shown while the open port is the kernel console.
    QLabel *LabelConsole = nullptr;
    PttKindEditor *m_kindEditor = nullptr;
};

} // namespace auravox
