#pragma once

#include "stations/ui/HistorySourceWindow.h"

namespace auravox {

// "Vantage Pro2 weather station": the WeatherLink monthly archive source's
// window, which can follow the file of the current month.
class TFormMeteoPro2 final : public HistorySourceWindow
{
    Q_OBJECT
public:
    TFormMeteoPro2(Pro2Source &source, const SourceWindowContext &context, QWidget *parent = nullptr);

    QCheckBox *currentMonthBox() const { return CheckBoxFichier; }

protected:
    QStringList browseCaptions() const override;

private:
    QCheckBox *CheckBoxFichier = nullptr;
};

} // namespace auravox
