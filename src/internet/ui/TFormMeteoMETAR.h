#pragma once

#include "internet/MetarDecoder.h"
#include "internet/ui/InternetSourceWindow.h"

namespace auravox {

// " METAR weather data": the report of one airport from a METAR web service
// (or a local report file named in the configuration), fetched and decoded
// every period, with the exchange files for other programs.
class TFormMeteoMETAR final : public InternetSourceWindow
{
    Q_OBJECT
public:
    static inline const QString kCacheFile = QStringLiteral("metar_web.txt");

    explicit TFormMeteoMETAR(const SourceWindowContext &context, QWidget *parent = nullptr);

    void EnterAction() override;
    // The refresh cycle.
    void takeReading() override;

    // Downloads `entry` into `destination` and cuts the report out of a web
    // page; sets the error number.
    void FetchMetar(const QString &entry, const QString &destination);
    int ExtractMetarLine();

    void setServiceMarkers(const MetarServiceMarkers &markers) { m_markers = markers; }

private:
    // Shows a cycle's captions and keeps them for the next cycle.
    void showReading(const SourceDisplay &d);

    QLabel *LabelNomICAO = nullptr;
    MetarServiceMarkers m_markers;
    SourceDisplay m_shown;
};

} // namespace auravox
