#pragma once

#include "stations/ui/HistorySourceWindow.h"

namespace auravox {

// "Lacrosse WS-2310 / 2315 / 2355+": the WS-23xx "history.dat" source's window.
class TFormMeteoW23 final : public HistorySourceWindow
{
    Q_OBJECT
public:
    TFormMeteoW23(Ws23Source &source, const SourceWindowContext &context, QWidget *parent = nullptr);

protected:
    QStringList browseCaptions() const override;
    bool browseResetsWindChill() const override { return true; }
};

} // namespace auravox
