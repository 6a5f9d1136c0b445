#include "stations/ui/TFormMeteoPro2.h"


#include <QCheckBox>
#include <QVBoxLayout>

namespace auravox {

namespace {
HistorySourceWindow::Layout pro2Layout()
{
    HistorySourceWindow::Layout l;
    l.fileLabel = QStringLiteral(".wlk file :");
    l.dialogFilter = QStringLiteral("Fichier weatherlink wlk|*.wlk");
    l.defaultSuffix = QStringLiteral("wlk");
    l.pressureGroup = true;
    l.adjustLabel = QStringLiteral("Adjust");
    l.offsetUnitLabel = QStringLiteral("mbar");
    l.captions = HistorySourceWindow::creationCaptions(QStringLiteral("Outdoor T (\u00b0C) ="), QStringLiteral("atm. P (mBar) ="));
    return l;
}
} // namespace

TFormMeteoPro2::TFormMeteoPro2(Pro2Source &source, const SourceWindowContext &context, QWidget *parent)
    : HistorySourceWindow(source, pro2Layout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoPro2"));
    CheckBoxFichier = new QCheckBox(QStringLiteral("Always search for the file of the current month"), this);
    CheckBoxFichier->setObjectName(QStringLiteral("CheckBoxFichier"));
    CheckBoxFichier->setChecked(source.searchCurrentMonth());
    static_cast<QVBoxLayout *>(layout())->insertWidget(2, CheckBoxFichier);
    connect(CheckBoxFichier, &QCheckBox::toggled, &source, &Pro2Source::setSearchCurrentMonth);
    connect(&source, &WeatherSource::settingsChanged, this,
            [this, &source] { CheckBoxFichier->setChecked(source.searchCurrentMonth()); });
}

QStringList TFormMeteoPro2::browseCaptions() const
{
    return unitBrowseCaptions(QStringLiteral("Rain/24h (%1) =").arg(context().units->rainLabel));
}

} // namespace auravox
