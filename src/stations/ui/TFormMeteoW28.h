#pragma once

#include "stations/ui/HistorySourceWindow.h"

class QRadioButton;

namespace auravox {

// "Lacrosse WS-2800 / 3610+": the WS-28xx "history.dat" source's window, with
// the choice of the absolute or the relative pressure.
class TFormMeteoW28 final : public HistorySourceWindow
{
    Q_OBJECT
public:
    TFormMeteoW28(Ws28Source &source, const SourceWindowContext &context, QWidget *parent = nullptr);

    QRadioButton *absoluteButton() const { return RadioButtonPABS; }
    QRadioButton *relativeButton() const { return RadioButtonPREL; }

protected:
    QStringList browseCaptions() const override;

private:
    void pressureClick();

    Ws28Source &m_ws28;
    QRadioButton *RadioButtonPABS = nullptr;
    QRadioButton *RadioButtonPREL = nullptr;
};

} // namespace auravox
