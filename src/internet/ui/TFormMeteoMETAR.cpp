#include "internet/ui/TFormMeteoMETAR.h"

#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/OutsideFile.h"
#include "common/TextFile.h"
#include "internet/DownloadFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace auravox {

namespace {
InternetSourceWindow::Layout metarLayout()
{
    InternetSourceWindow::Layout l;
    l.kind = SourceKind::Metar;
    l.title = QStringLiteral(" METAR weather data");
    l.prefix = QStringLiteral("METAR_");
    l.entryLabel = QStringLiteral("URL of the METAR site");
    l.dateLabel = QStringLiteral("Date of data:");
    l.timeBases = {QStringLiteral("UT"), QStringLiteral("Loc")};
    return l;
}
} // namespace

TFormMeteoMETAR::TFormMeteoMETAR(const SourceWindowContext &context, QWidget *parent)
    : InternetSourceWindow(metarLayout(), context, parent)
{
    setObjectName(QStringLiteral("FormMeteoMETAR"));
    auto *root = static_cast<QVBoxLayout *>(layout());
    LabelICAO = new QLabel(QStringLiteral("Airport code = "), this);
    LabelICAO->setObjectName(QStringLiteral("LabelICAO"));
    LabelNomICAO = new QLabel(QStringLiteral("===================="), this);
    LabelNomICAO->setObjectName(QStringLiteral("LabelNomICAO"));
    root->insertWidget(2, LabelNomICAO);
    root->insertWidget(3, LabelICAO);
    itemBox(WeatherItem::Rain24h)->setText(QStringLiteral("Precipitation ="));

    connect(EditDat, &QLineEdit::textChanged, this, [this](const QString &text) { LabelNomICAO->setText(metarLabel(text)); });
    connect(ComboBoxTU, &QComboBox::activated, this, [this] { ButtonRafraichirClick(); });
    connect(SpinEditOffSetPression, &QSpinBox::valueChanged, this, [this] {
        if (!m_busy)
            ButtonRafraichirClick();
    });
}

int TFormMeteoMETAR::ExtractMetarLine()
{
    QStringList lines;
    if (!QFile::exists(kCacheFile) || !TextFile::readLines(kCacheFile, &lines))
        return MetarError::NoCache;
    const MetarExtraction e = extractMetarLine(lines.join(QLatin1Char('\n')), EditDat->text(), m_markers);
    if (e.error != MetarError::None)
        return e.error;
    if (!TextFile::writeLinesAtomically(kCacheFile, kCacheFile + QStringLiteral(".part"), {e.line})) {
        tell(QStringLiteral("Can't create metar_web.txt"));
        return MetarError::Rewrite;
    }
    return MetarError::None;
}

void TFormMeteoMETAR::FetchMetar(const QString &entry, const QString &destination)
{
    QCoreApplication::processEvents(); // so that the window shows its state
    setErrorNumber(MetarError::None);
    const QString address = metarAddress(entry);
    QString target = destination.isEmpty() ? address.section(QLatin1Char('/'), -1) : destination;
    // Only shown: until the download's outcome is known the last reading
    // stays in use, or the last failure keeps the source out.
    showProgress(QStringLiteral("Downloading ..."));
    const DownloadResult result = DownloadFile(address, target);
    showProgress(QString());
    if (!result) {
        setErrorNumber(MetarError::Download);
        armTimer();
        return;
    }
    QFile file(target);
    if (!file.open(QIODevice::ReadOnly)) {
        setErrorNumber(MetarError::Open);
        armTimer();
        return;
    }
    switch (classifyMetarDownload(file.read(3))) {
    case MetarDownload::TooShort: setErrorNumber(MetarError::Download); break;
    case MetarDownload::WebPage:
        file.close();
        setErrorNumber(ExtractMetarLine());
        break;
    case MetarDownload::Report: break; // a plain report serves as it stands
    }
}

void TFormMeteoMETAR::EnterAction()
{
    if (EditDat->text().isEmpty())
        return;
    EditDat->selectAll();
    const QString entry = EditDat->text();
    if (!isAddress(entry)) {
        // A local report can only be named by the configuration.
        showErrorNumber();
        armTimer();
        return;
    }
    setErrorNumber(MetarError::None);
    QFile::remove(kCacheFile);
    FetchMetar(entry, kCacheFile);
    if (errorNumber() != MetarError::None) {
        showErrorNumber();
        armTimer();
        return;
    }
    setErrorLine(QString());
    showReading(metarCaptionsAfterFetch(*context().units, m_shown));
    Editdatemeteo->clear();
    setReportPath(kCacheFile);
    AddToHistory(entry);
    if (!m_fetchFromTimer && !m_busy)
        ButtonRafraichirClick();
}

void TFormMeteoMETAR::takeReading()
{
    for (WeatherItem item : {WeatherItem::OutdoorTemp, WeatherItem::Pressure, WeatherItem::WindSpeed,
                             WeatherItem::WindGust, WeatherItem::WindDirection, WeatherItem::WindChill,
                             WeatherItem::Rain24h})
        markPlausible(itemBox(item), true);
    TimerMeteo->stop();
    const UnitSettings &u = *context().units;
    Label6->setText(u.pressureFactor == 1 ? QStringLiteral("mBars") : QStringLiteral("0.01*inHg"));
    snapshot().pressureOffset = SpinEditOffSetPression->value();

    if (isAddress(EditDat->text())) {
        m_fetchFromTimer = true;
        EnterAction();
        m_fetchFromTimer = false;
    }

    MetarSettings settings;
    settings.units = u;
    if (context().limits)
        settings.limits = *context().limits;
    settings.pressureOffset = SpinEditOffSetPression->value();
    settings.timeShown = ComboBoxTU->currentIndex();
    settings.now = context().clock.now();
    settings.utcOffsetMinutes = -DateTimeUtil::timeZoneBiasMinutes(settings.now);

    MetarReading reading;
    const QString path = reportPath();
    QStringList lines;
    if (path.isEmpty() || OutsideFile::probe(path) == OutsideFile::Status::Missing) {
        reading = metarWithoutReport(settings, snapshot(), m_shown);
    } else {
        if (!TextFile::readLines(path, &lines))
            lines.clear();
        reading = decodeMetar(lines.join(QLatin1Char('\n')), settings, snapshot(), m_shown);
        if (reading.outcome == MetarOutcome::EmptyFile) {
            armTimer();
            return;
        }
    }
    showReading(reading.display);
    writeExchangeFile(QStringLiteral("metar_uiview.txt"), reading.uiviewBytes(),
                      QStringLiteral("Can't create metar_uiview.txt"));
    if (!context().publicFolder.isEmpty())
        writeExchangeFile(context().publicFolder + QStringLiteral("/metar_uiview.txt"), reading.uiviewBytes(),
                          QStringLiteral("can't create metar_uiview.txt"));
    writeExchangeFileTwice(QStringLiteral("metar_cw.txt"), reading.cwBytes(), QStringLiteral("Ne peut creer metar_cw.txt"),
                           QStringLiteral("Ne peut creer metar_cw.txt"), true);
    armTimer();
}

void TFormMeteoMETAR::showReading(const SourceDisplay &d)
{
    m_shown = d;
    showDisplay(metarDisplayShown(d));
}

} // namespace auravox
