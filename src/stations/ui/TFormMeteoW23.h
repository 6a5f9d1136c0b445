#pragma once

#include "stations/ui/HistorySourceWindow.h"

namespace auravox {

// "Lacrosse WS-2310 / 2315 / 2355+": the WS-23xx "history.dat" reader's window.
class TFormMeteoW23 final : public HistorySourceWindow
{
    Q_OBJECT
public:
    explicit TFormMeteoW23(const SourceWindowContext &context, QWidget *parent = nullptr);

protected:
    Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) override;
    QStringList browseCaptions() const override;
    bool browseResetsWindChill() const override { return true; }
};

} // namespace auravox
