#pragma once

#include "stations/HistorySource.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QStringList>

class QGroupBox;
class QHBoxLayout;

namespace auravox {

// The part the WS-23xx, WS-28xx and Vantage Pro2 windows share: the history
// file and its Browse dialog, the pressure adjustment and trend threshold
// (their source's settings), the dew point and indoor humidity lines.
class HistorySourceWindow : public WeatherSourceWindow
{
    Q_OBJECT
public:
    struct Layout
    {
        QString fileLabel;     // "history.dat file :"
        QString dialogFilter;  // "Fichiers history.dat|*.dat"
        QString defaultSuffix; // "dat"
        bool pressureGroup = false; // the pressure controls sit in "GroupBoxPression"
        QString adjustLabel;        // "Pressure adjust" or "Adjust"
        QString offsetUnitLabel;    // "mBar" or "mbar"
        // Captions at creation, in the order of WeatherItem (empty: the common one).
        QStringList captions;
    };

    HistorySourceWindow(HistorySource &source, const Layout &layout, const SourceWindowContext &context,
                        QWidget *parent = nullptr);

    HistorySource &historySource() { return m_history; }
    void ButtonParcourirClick();

    // The value captions at creation, in the order of WeatherItem.
    static QStringList creationCaptions(const QString &outdoor, const QString &pressure);

    QSpinBox *pressureOffsetEdit() const { return SpinEditOffSetPression; }
    QSpinBox *trendThresholdEdit() const { return SpinEditSeuiltendance; }

protected:
    // The captions Browse puts back.
    virtual QStringList browseCaptions() const = 0;
    // The captions Browse puts back in the WS-28xx and Vantage Pro2 windows:
    // in the current units, the wind chill left as it is.
    QStringList unitBrowseCaptions(const QString &rainCaption) const;
    // Whether Browse resets the wind chill caption and mark.
    virtual bool browseResetsWindChill() const { return false; }

    void addToPressureRow(QWidget *widget);

    QGroupBox *GroupBoxPression = nullptr;
    QLabel *Label5 = nullptr;
    QSpinBox *SpinEditOffSetPression = nullptr;
    QLabel *Label8 = nullptr;
    QSpinBox *SpinEditSeuiltendance = nullptr;
    QLabel *Label9 = nullptr;

private:
    HistorySource &m_history;
    Layout m_layout;
    QHBoxLayout *m_pressureRow = nullptr;
};

} // namespace auravox
