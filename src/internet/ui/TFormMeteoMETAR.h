#pragma once

#include "internet/MetarSource.h"
#include "internet/ui/InternetSourceWindow.h"

namespace auravox {

// " METAR weather data": shows the METAR source (the report of one airport,
// its captions, its error line) and edits its settings.
class TFormMeteoMETAR final : public InternetSourceWindow
{
    Q_OBJECT
public:
    static inline const QString kCacheFile = MetarSource::kCacheFile;

    TFormMeteoMETAR(MetarSource &source, const SourceWindowContext &context, QWidget *parent = nullptr);

    MetarSource &metarSource() { return m_metar; }

private:
    MetarSource &m_metar;
    QLabel *LabelNomICAO = nullptr;
};

} // namespace auravox
