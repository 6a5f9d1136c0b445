#include "stations/ui/TFormMeteoW23.h"

#include "stations/Ws23History.h"

namespace auravox {

namespace {
HistorySourceWindow::Layout ws23Layout()
{
    HistorySourceWindow::Layout l;
    l.kind = SourceKind::Ws23;
    l.title = QStringLiteral("Lacrosse WS-2310 / 2315 / 2355+");
    l.prefix = QStringLiteral("W23_");
    l.fileLabel = QStringLiteral("history.dat file :");
    l.dialogFilter = QStringLiteral("Fichiers history.dat|*.dat");
    l.defaultSuffix = QStringLiteral("dat");
    l.trendMax = 9;
    l.adjustLabel = QStringLiteral("Pressure adjust");
    l.offsetUnitLabel = QStringLiteral("mBar");
    l.captions = HistorySourceWindow::creationCaptions(QStringLiteral("Outdoor T (\u00b0C) ="), QStringLiteral("atm. P (mBar) ="));
    return l;
}
} // namespace

TFormMeteoW23::TFormMeteoW23(const SourceWindowContext &context, QWidget *parent)
    : HistorySourceWindow(ws23Layout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoW23"));
}

HistorySourceWindow::Outcome TFormMeteoW23::readFile(QString &path, const StationSettings &settings,
                                                    SourceDisplay &display)
{
    return readWs23History(path, settings, snapshot(), display) ? Outcome::Read : Outcome::FileError;
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
