#pragma once

#include "weather/StationReading.h"
#include "weather/ui/WeatherSourceWindow.h"

#include <QStringList>

class QGroupBox;
class QHBoxLayout;

namespace auravox {

// The part the WS-23xx, WS-28xx and Vantage Pro2 windows share: the history
// file and its Browse dialog, the pressure adjustment and trend threshold, the
// dew point and indoor humidity lines, and one reading turned into captions
// and red marks.
class HistorySourceWindow : public WeatherSourceWindow
{
    Q_OBJECT
public:
    struct Layout
    {
        SourceKind kind = SourceKind::None;
        QString title;
        QString prefix;        // "W23_"
        QString fileLabel;     // "history.dat file :"
        QString dialogFilter;  // "Fichiers history.dat|*.dat"
        QString defaultSuffix; // "dat"
        int trendMax = 9;
        bool pressureGroup = false; // the pressure controls sit in "GroupBoxPression"
        QString adjustLabel;        // "Pressure adjust" or "Adjust"
        QString offsetUnitLabel;    // "mBar" or "mbar"
        // Captions at creation, in the order of WeatherItem (empty: the common one).
        QStringList captions;
    };

    HistorySourceWindow(const Layout &layout, const SourceWindowContext &context, QWidget *parent = nullptr);

    void takeReading() override;
    void ButtonParcourirClick();

    // Keys after the items: "…_METPERI=", "…_DAT=", then the window's own.
    void declareConfig(ConfigRegistry &registry, int section) override;

    // The value captions at creation, in the order of WeatherItem.
    static QStringList creationCaptions(const QString &outdoor, const QString &pressure);

    QSpinBox *pressureOffsetEdit() const { return SpinEditOffSetPression; }
    QSpinBox *trendThresholdEdit() const { return SpinEditSeuiltendance; }

protected:
    enum class Outcome { Missing, Read, FileError };
    // Reads the file; may change `path` (the Vantage Pro2 month files).
    virtual Outcome readFile(QString &path, const StationSettings &settings, SourceDisplay &display) = 0;
    // Whether a reading that succeeds clears the error line (the Vantage Pro2
    // reader's rule; the La Crosse windows keep "File error" until Browse).
    virtual bool successClearsError() const { return false; }
    // The captions Browse puts back.
    virtual QStringList browseCaptions() const = 0;
    // The captions Browse puts back in the WS-28xx and Vantage Pro2 windows:
    // in the current units, the wind chill left as it is.
    QStringList unitBrowseCaptions(const QString &rainCaption) const;
    // Whether Browse resets the wind chill caption and mark.
    virtual bool browseResetsWindChill() const { return false; }
    // The text of Editdatemeteo for a record time.
    virtual QString recordTimeText(double days) const { return dateTimeText(days); }

    // Keys between "…_DAT=" and the end of the section, at positions from 230.
    virtual void declareOwnKeys(ConfigRegistry &registry, int section);
    void declareIntKey(ConfigRegistry &registry, int section, int position, const QString &key, QSpinBox *spin);

    void addToPressureRow(QWidget *widget);

    QGroupBox *GroupBoxPression = nullptr;
    QLabel *Label5 = nullptr;
    QSpinBox *SpinEditOffSetPression = nullptr;
    QLabel *Label8 = nullptr;
    QSpinBox *SpinEditSeuiltendance = nullptr;
    QLabel *Label9 = nullptr;

private:
    Layout m_layout;
    QHBoxLayout *m_pressureRow = nullptr;
};

} // namespace auravox
