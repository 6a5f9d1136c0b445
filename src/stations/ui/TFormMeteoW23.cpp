#include "stations/ui/TFormMeteoW23.h"


namespace auravox {

namespace {
HistorySourceWindow::Layout ws23Layout()
{
    HistorySourceWindow::Layout l;
    l.fileLabel = QStringLiteral("history.dat file :");
    l.dialogFilter = QStringLiteral("Fichiers history.dat|*.dat");
    l.defaultSuffix = QStringLiteral("dat");
    l.adjustLabel = QStringLiteral("Pressure adjust");
    l.offsetUnitLabel = QStringLiteral("mBar");
    l.captions = HistorySourceWindow::creationCaptions(QStringLiteral("Outdoor T (\u00b0C) ="), QStringLiteral("atm. P (mBar) ="));
    return l;
}
} // namespace

TFormMeteoW23::TFormMeteoW23(Ws23Source &source, const SourceWindowContext &context, QWidget *parent)
    : HistorySourceWindow(source, ws23Layout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoW23"));
}

QStringList TFormMeteoW23::browseCaptions() const
{
    // In the order of the items.
    return {QStringLiteral("Indoor T(\u00b0C) = "), QStringLiteral("Outdoor T (\u00b0C) = "),
            QStringLiteral("Atm. P (mBar) = "),     QStringLiteral("Trend = "),
            QStringLiteral("Wind (km/h) = "),       QStringLiteral("Gust (km/h) = "),
            QStringLiteral("Direction (\u00b0) = "), QStringLiteral("wind chill (C\u00b0) = "),
            QStringLiteral("Rain/24h (mm) ="),      QStringLiteral("Humidity (%) =")};
}

} // namespace auravox
