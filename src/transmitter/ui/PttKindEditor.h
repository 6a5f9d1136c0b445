#pragma once

#include "transmitter/PttSettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace auravox {

// The kind of transmitter port and the settings of the kinds other than the
// serial port (whose list and boxes stay in the COM window itself). It shows
// and edits a PttSettings; "Use" hands the edited settings on.
class PttKindEditor final : public QWidget
{
    Q_OBJECT
public:
    explicit PttKindEditor(QWidget *parent = nullptr);

    void showSettings(const PttSettings &settings);
    // The settings as the controls have them.
    // The settings as the controls have them; `problems` gets what the
    // controls alone can tell is wrong (an ID that is not hex).
    PttSettings edited(QStringList *problems) const;
    // Under the controls: what came of the last "Use" (red when it failed).
    void showOutcome(const QString &text, bool failed);

signals:
    // The kind box changed (the serial port's controls follow it at once).
    void kindChosen(PttKind kind);
    void useClicked();

private:
    QWidget *cm108Page();
    QWidget *gpioPage();
    QWidget *rigPage();

    QComboBox *ComboBoxPttKind = nullptr;
    QStackedWidget *m_pages = nullptr;
    QPushButton *ButtonPttUse = nullptr;
    QLabel *LabelPttOutcome = nullptr;

    QLineEdit *EditCm108Device = nullptr;
    QLineEdit *EditCm108Id = nullptr;
    QSpinBox *SpinCm108Gpio = nullptr;
    QComboBox *ComboCm108Inhibit = nullptr;
    QComboBox *ComboCm108Start = nullptr;

    QLineEdit *EditGpioChip = nullptr;
    QSpinBox *SpinGpioPtt = nullptr;
    QCheckBox *CheckGpioPttLow = nullptr;
    QSpinBox *SpinGpioStart = nullptr;
    QSpinBox *SpinGpioInhibit = nullptr;
    QCheckBox *CheckGpioInputLow = nullptr;

    QSpinBox *SpinRigModel = nullptr;
    QLineEdit *EditRigPort = nullptr;
    QSpinBox *SpinRigBaud = nullptr;
    QCheckBox *CheckRigDcd = nullptr;
    QSpinBox *SpinRigTimeout = nullptr;
};

} // namespace auravox
