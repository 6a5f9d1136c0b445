#include "internet/MetarSource.h"

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/DateTime.h"
#include "common/Log.h"
#include "common/OutsideFile.h"
#include "common/TextFile.h"
#include "internet/DownloadFile.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace auravox {

MetarSource::MetarSource(const SourceContext &context, QObject *parent)
    : InternetSource(SourceKind::Metar, QStringLiteral(" METAR weather data"), QStringLiteral("METAR_"), context,
                     parent)
{}

void MetarSource::enterAction()
{
    if (entry().isEmpty())
        return;
    if (!isAddress(entry())) {
        // A local report can only be named by the configuration.
        showErrorNumber();
        armTimer();
        return;
    }
    startFetch(false);
}

void MetarSource::takeReading()
{
    timer()->stop();
    snapshot().pressureOffset = pressureOffset();
    if (isAddress(entry())) {
        startFetch(true);
        return; // decoded when the page has come
    }
    decode();
}

int MetarSource::takeDownload(bool ok)
{
    if (!ok)
        return MetarError::Download;
    QFile file(kCacheFile);
    if (!file.open(QIODevice::ReadOnly))
        return MetarError::Open;
    switch (classifyMetarDownload(file.read(3))) {
    case MetarDownload::TooShort:
        return MetarError::Download;
    case MetarDownload::WebPage:
        file.close();
        return extractReport();
    case MetarDownload::Report:
        break; // a plain report serves as it stands
    }
    return MetarError::None;
}

void MetarSource::fetchSucceeded()
{
    setErrorLine(QString());
    SourceDisplay captions =
        metarCaptionsAfterFetch(context().units ? *context().units : UnitSettings{}, shownDisplay());
    captions.dateTime = QString(); // the date shows again with the decoding
    showReading(captions);
}

int MetarSource::extractReport()
{
    QStringList lines;
    if (!QFile::exists(kCacheFile) || !TextFile::readLines(kCacheFile, &lines))
        return MetarError::NoCache;
    const MetarExtraction e = extractMetarLine(lines.join(QLatin1Char('\n')), entry(), m_markers);
    if (e.error != MetarError::None)
        return e.error;
    if (!TextFile::writeLinesAtomically(kCacheFile, kCacheFile + QStringLiteral(".part"), {e.line})) {
        tell(QStringLiteral("Can't create metar_web.txt"));
        return MetarError::Rewrite;
    }
    return MetarError::None;
}

void MetarSource::decode()
{
    MetarSettings settings;
    if (context().units)
        settings.units = *context().units;
    if (context().limits)
        settings.limits = *context().limits;
    settings.pressureOffset = pressureOffset();
    settings.timeShown = timeBase();
    settings.now = context().clock.now();
    settings.utcOffsetMinutes = -DateTimeUtil::timeZoneBiasMinutes(settings.now);

    MetarReading reading;
    const QString path = dataPath();
    if (path.isEmpty() || OutsideFile::probe(path) == OutsideFile::Status::Missing) {
        reading = metarWithoutReport(settings, snapshot(), shownDisplay());
    } else {
        QStringList lines;
        if (!TextFile::readLines(path, &lines))
            lines.clear();
        reading = decodeMetar(lines.join(QLatin1Char('\n')), settings, snapshot(), shownDisplay());
        if (reading.outcome == MetarOutcome::EmptyFile) {
            armTimer();
            return;
        }
    }
    showReading(reading.display);
    const QString publicFolder = context().publicFolder;
    writeSummary(QStringLiteral("metar_uiview.txt"), reading.uiviewBytes(),
                 QStringLiteral("Can't create metar_uiview.txt"));
    if (!publicFolder.isEmpty()) {
        writeSummary(publicFolder + QStringLiteral("/metar_uiview.txt"), reading.uiviewBytes(),
                     QStringLiteral("can't create metar_uiview.txt"));
        writeSummary(QDir(publicFolder).filePath(QStringLiteral("metar_cw.txt")), reading.cwBytes(),
                     QStringLiteral("Ne peut creer metar_cw.txt"));
    }
    writeSummary(QStringLiteral("metar_cw.txt"), reading.cwBytes(), QStringLiteral("Ne peut creer metar_cw.txt"));
    armTimer();
}

void MetarSource::showReading(const SourceDisplay &d)
{
    setShownDisplay(d);
    publishDisplay(metarDisplayShown(d));
}

} // namespace auravox
