#pragma once

#include "weather/UnitsModel.h"

#include <QWidget>

#include <functional>

class QGroupBox;
class QRadioButton;

namespace auravox {

// "My units": one choice each for temperature, pressure, wind speed and rain.
// The choices are the model's; a change refreshes the active weather source at once.
class TFormMyUnits : public QWidget
{
    Q_OBJECT
public:
    explicit TFormMyUnits(UnitsModel &units, QWidget *parent = nullptr);

    // Runs the refresh action of the active source (nothing with no source).
    void setRefreshActiveSource(std::function<void()> refresh) { m_refresh = std::move(refresh); }

    void RadioButtonTcClick();
    void RadioButtonTfClick();
    void RadioButtonPmClick();
    void RadioButtonPiClick();
    void RadioButtonVkClick();
    void RadioButtonVmClick();
    void RadioButtonRmClick();
    void RadioButtonRiClick();

private:
    QRadioButton *radio(QGroupBox *box, const char *name, const QString &caption, bool checked, void (TFormMyUnits::*action)());
    void changed();
    void showUnits();

    UnitsModel &m_units;
    std::function<void()> m_refresh;
    QRadioButton *RadioButtonTc = nullptr;
    QRadioButton *RadioButtonTf = nullptr;
    QRadioButton *RadioButtonPm = nullptr;
    QRadioButton *RadioButtonPi = nullptr;
    QRadioButton *RadioButtonVk = nullptr;
    QRadioButton *RadioButtonVm = nullptr;
    QRadioButton *RadioButtonRm = nullptr;
    QRadioButton *RadioButtonRi = nullptr;
};

} // namespace auravox
