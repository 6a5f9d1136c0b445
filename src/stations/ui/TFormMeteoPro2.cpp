#include "stations/ui/TFormMeteoPro2.h"

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "stations/Pro2Archive.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace auravox {

namespace {
HistorySourceWindow::Layout pro2Layout()
{
    HistorySourceWindow::Layout l;
    l.kind = SourceKind::Pro2;
    l.title = QStringLiteral("Vantage Pro2 weather station");
    l.prefix = QStringLiteral("PRO2_");
    l.fileLabel = QStringLiteral(".wlk file :");
    l.dialogFilter = QStringLiteral("Fichier weatherlink wlk|*.wlk");
    l.defaultSuffix = QStringLiteral("wlk");
    l.trendMax = 9;
    l.pressureGroup = true;
    l.adjustLabel = QStringLiteral("Adjust");
    l.offsetUnitLabel = QStringLiteral("mbar");
    l.captions = HistorySourceWindow::creationCaptions(QStringLiteral("Outdoor T (\u00b0C) ="), QStringLiteral("atm. P (mBar) ="));
    return l;
}
} // namespace

TFormMeteoPro2::TFormMeteoPro2(const SourceWindowContext &context, QWidget *parent)
    : HistorySourceWindow(pro2Layout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoPro2"));
    CheckBoxFichier = new QCheckBox(QStringLiteral("Always search for the file of the current month"), this);
    CheckBoxFichier->setObjectName(QStringLiteral("CheckBoxFichier"));
    CheckBoxFichier->setChecked(true);
    static_cast<QVBoxLayout *>(layout())->insertWidget(2, CheckBoxFichier);
}

HistorySourceWindow::Outcome TFormMeteoPro2::readFile(QString &path, const StationSettings &settings,
                                                     SourceDisplay &display)
{
    Pro2Settings pro2;
    static_cast<StationSettings &>(pro2) = settings;
    pro2.searchCurrentMonth = CheckBoxFichier->isChecked();
    pro2.today = context().clock.now().date();
    switch (readPro2Archive(path, pro2, snapshot(), display)) {
    case Pro2Outcome::Missing: return Outcome::Missing;
    case Pro2Outcome::Read: return Outcome::Read;
    case Pro2Outcome::FileError: break;
    }
    return Outcome::FileError;
}

QString TFormMeteoPro2::recordTimeText(double days) const
{
    // A reading at exactly midnight shows its time too.
    QString text = dateTimeText(days);
    if (text.size() < 11)
        text += QStringLiteral(" 00:00");
    return text;
}

QStringList TFormMeteoPro2::browseCaptions() const
{
    return unitBrowseCaptions(QStringLiteral("Rain/24h (%1) =").arg(context().units->rainLabel));
}

void TFormMeteoPro2::declareOwnKeys(ConfigRegistry &registry, int section)
{
    HistorySourceWindow::declareOwnKeys(registry, section);
    ConfigKey fresh;
    fresh.section = section;
    fresh.position = 250;
    fresh.key = QStringLiteral("PRO2_NEW=");
    fresh.save = [this] { return CheckBoxFichier->isChecked() ? QStringList() : QStringList{QStringLiteral("PRO2_NEW=N")}; };
    fresh.load = [this](const QString &, const QString &value) {
        if (value == QLatin1String("N"))
            CheckBoxFichier->setChecked(false);
    };
    registry.add(fresh);
}

} // namespace auravox
