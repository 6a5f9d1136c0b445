#pragma once

#include "stations/ui/HistorySourceWindow.h"

namespace auravox {

// "Vantage Pro2 weather station": the WeatherLink monthly archive reader's
// window, which can follow the file of the current month.
class TFormMeteoPro2 final : public HistorySourceWindow
{
    Q_OBJECT
public:
    explicit TFormMeteoPro2(const SourceWindowContext &context, QWidget *parent = nullptr);

    QCheckBox *currentMonthBox() const { return CheckBoxFichier; }

protected:
    Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) override;
    bool successClearsError() const override { return true; }
    QStringList browseCaptions() const override;
    QString recordTimeText(double days) const override;
    void declareOwnKeys(ConfigRegistry &registry, int section) override;

private:
    QCheckBox *CheckBoxFichier = nullptr;
};

} // namespace auravox
