#include "stations/ui/TFormMeteoW28.h"


#include <QGroupBox>
#include <QRadioButton>

namespace auravox {

namespace {
HistorySourceWindow::Layout ws28Layout()
{
    HistorySourceWindow::Layout l;
    l.fileLabel = QStringLiteral("history.dat file :");
    l.dialogFilter = QStringLiteral("Fichiers history.dat|*.dat");
    l.defaultSuffix = QStringLiteral("dat");
    l.pressureGroup = true;
    l.adjustLabel = QStringLiteral("Adjust");
    l.offsetUnitLabel = QStringLiteral("mBar");
    l.captions = HistorySourceWindow::creationCaptions(QStringLiteral("Outdor T (\u00b0C) ="), QStringLiteral("Atm. P (mBar) ="));
    return l;
}
} // namespace

TFormMeteoW28::TFormMeteoW28(Ws28Source &source, const SourceWindowContext &context, QWidget *parent)
    : HistorySourceWindow(source, ws28Layout(), context, parent), m_ws28(source)
{
    setObjectName(QStringLiteral("FormMeteoW28"));
    RadioButtonPABS = new QRadioButton(QStringLiteral("Absolute"), GroupBoxPression);
    RadioButtonPABS->setObjectName(QStringLiteral("RadioButtonPABS"));
    RadioButtonPREL = new QRadioButton(QStringLiteral("Relative"), GroupBoxPression);
    RadioButtonPREL->setObjectName(QStringLiteral("RadioButtonPREL"));
    (source.absolutePressure() ? RadioButtonPABS : RadioButtonPREL)->setChecked(true);
    addToPressureRow(RadioButtonPABS);
    addToPressureRow(RadioButtonPREL);
    connect(RadioButtonPABS, &QRadioButton::clicked, this, &TFormMeteoW28::pressureClick);
    connect(RadioButtonPREL, &QRadioButton::clicked, this, &TFormMeteoW28::pressureClick);
    connect(&source, &WeatherSource::settingsChanged, this, [this] {
        (m_ws28.absolutePressure() ? RadioButtonPABS : RadioButtonPREL)->setChecked(true);
    });
}

void TFormMeteoW28::pressureClick()
{
    // A click on either sets the pressure and acts as Refresh.
    m_ws28.setAbsolutePressure(RadioButtonPABS->isChecked());
    ButtonRafraichirClick();
}

QStringList TFormMeteoW28::browseCaptions() const
{
    return unitBrowseCaptions(QStringLiteral("Rain/24h (%1) =  ").arg(context().units->rainLabel));
}

} // namespace auravox
