#pragma once

#include "stations/ui/HistorySourceWindow.h"

class QRadioButton;

namespace auravox {

// "Lacrosse WS-2800 / 3610+": the WS-28xx "history.dat" reader's window, with
// the choice of the absolute or the relative pressure.
class TFormMeteoW28 final : public HistorySourceWindow
{
    Q_OBJECT
public:
    explicit TFormMeteoW28(const SourceWindowContext &context, QWidget *parent = nullptr);

    QRadioButton *absoluteButton() const { return RadioButtonPABS; }
    QRadioButton *relativeButton() const { return RadioButtonPREL; }

protected:
    Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) override;
    QStringList browseCaptions() const override;
    void declareOwnKeys(ConfigRegistry &registry, int section) override;

private:
    QRadioButton *RadioButtonPABS = nullptr;
    QRadioButton *RadioButtonPREL = nullptr;
};

} // namespace auravox
