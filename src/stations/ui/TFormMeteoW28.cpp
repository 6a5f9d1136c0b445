#include "stations/ui/TFormMeteoW28.h"

#include "common/ConfigRegistry.h"
#include "stations/Ws28History.h"

#include <QGroupBox>
#include <QRadioButton>

namespace auravox {

namespace {
HistorySourceWindow::Layout ws28Layout()
{
    HistorySourceWindow::Layout l;
    l.kind = SourceKind::Ws28;
    l.title = QStringLiteral("Lacrosse WS-2800 / 3610+");
    l.prefix = QStringLiteral("W28_");
    l.fileLabel = QStringLiteral("history.dat file :");
    l.dialogFilter = QStringLiteral("Fichiers history.dat|*.dat");
    l.defaultSuffix = QStringLiteral("dat");
    l.trendMax = 40;
    l.pressureGroup = true;
    l.adjustLabel = QStringLiteral("Adjust");
    l.offsetUnitLabel = QStringLiteral("mBar");
    l.captions = HistorySourceWindow::creationCaptions(QStringLiteral("Outdor T (\u00b0C) ="), QStringLiteral("Atm. P (mBar) ="));
    return l;
}
} // namespace

TFormMeteoW28::TFormMeteoW28(const SourceWindowContext &context, QWidget *parent)
    : HistorySourceWindow(ws28Layout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoW28"));
    RadioButtonPABS = new QRadioButton(QStringLiteral("Absolute"), GroupBoxPression);
    RadioButtonPABS->setObjectName(QStringLiteral("RadioButtonPABS"));
    RadioButtonPREL = new QRadioButton(QStringLiteral("Relative"), GroupBoxPression);
    RadioButtonPREL->setObjectName(QStringLiteral("RadioButtonPREL"));
    RadioButtonPABS->setChecked(true);
    addToPressureRow(RadioButtonPABS);
    addToPressureRow(RadioButtonPREL);
    // A click on either acts as Refresh.
    connect(RadioButtonPABS, &QRadioButton::clicked, this, &TFormMeteoW28::ButtonRafraichirClick);
    connect(RadioButtonPREL, &QRadioButton::clicked, this, &TFormMeteoW28::ButtonRafraichirClick);
}

HistorySourceWindow::Outcome TFormMeteoW28::readFile(QString &path, const StationSettings &settings,
                                                    SourceDisplay &display)
{
    Ws28Settings ws28;
    static_cast<StationSettings &>(ws28) = settings;
    ws28.absolutePressure = RadioButtonPABS->isChecked();
    return readWs28History(path, ws28, snapshot(), display) ? Outcome::Read : Outcome::FileError;
}

QStringList TFormMeteoW28::browseCaptions() const
{
    return unitBrowseCaptions(QStringLiteral("Rain/24h (%1) =  ").arg(context().units->rainLabel));
}

void TFormMeteoW28::declareOwnKeys(ConfigRegistry &registry, int section)
{
    // This family keeps no trend threshold: its spin edit starts at 4 at every start.
    ConfigKey pabs;
    pabs.section = section;
    pabs.position = 220;
    pabs.key = QStringLiteral("W28_PABS=");
    pabs.save = [this] {
        return QStringList{RadioButtonPABS->isChecked() ? QStringLiteral("W28_PABS=Y") : QStringLiteral("W28_PABS=N")};
    };
    pabs.load = [this](const QString &, const QString &value) {
        (value == QLatin1String("Y") ? RadioButtonPABS : RadioButtonPREL)->setChecked(true);
    };
    registry.add(pabs);
    declareIntKey(registry, section, 230, QStringLiteral("W28_POFFSET="), SpinEditOffSetPression);
}

} // namespace auravox
