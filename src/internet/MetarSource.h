#pragma once

#include "internet/InternetSource.h"
#include "internet/MetarDecoder.h"

namespace auravox {

// The METAR source: the report of one airport from a METAR web service (or a
// local report file named in the configuration), fetched on the event loop and
// decoded every period, with the summary files for other programs
// ("metar_uiview.txt", "metar_cw.txt", in the working folder and the public one).
//
// Its settings are those of the " METAR weather data" window: the entry (an
// address, or a report file), the history of ten entries, the pressure
// adjustment and the time base, under the same keys.
class MetarSource final : public InternetSource
{
    Q_OBJECT
public:
    static inline const QString kCacheFile = QStringLiteral("metar_web.txt");

    explicit MetarSource(const SourceContext &context, QObject *parent = nullptr);

    // The refresh cycle: for an address, a download first; the decoding runs
    // when the page has come (or at once for a local report).
    void takeReading() override;
    // Enter in the entry: a fetch of the address now, then a refresh.
    void enterAction() override;

    // The airport as the entry names it ("Airport code" label).
    QString airportLabel() const { return metarLabel(entry()); }

    void setServiceMarkers(const MetarServiceMarkers &markers) { m_markers = markers; }

protected:
    QString downloadAddress() const override { return metarAddress(entry()); }
    QString cacheFile() const override { return kCacheFile; }
    QString progressText() const override { return QStringLiteral("Downloading ..."); }
    int takeDownload(bool ok) override;
    void fetchSucceeded() override;
    void decode() override;

private:
    int extractReport();
    void showReading(const SourceDisplay &d);

    MetarServiceMarkers m_markers;
};

} // namespace auravox
