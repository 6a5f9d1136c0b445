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
    : WeatherSource(SourceKind::Metar, QStringLiteral(" METAR weather data"), QStringLiteral("METAR_"), context, parent)
{}

MetarSource::~MetarSource()
{
    delete m_download.data(); // an unfinished download leaves the cache as it was
}

bool MetarSource::isAddress(const QString &text)
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool MetarSource::loading() const
{
    return context().loadingConfiguration && context().loadingConfiguration();
}

void MetarSource::setEntry(const QString &text)
{
    if (text == m_entry)
        return;
    m_entry = text;
    emit entryChanged(text);
    emit settingsChanged();
}

void MetarSource::addToHistory(const QString &text)
{
    if (text.isEmpty() || m_history.contains(text))
        return;
    if (m_history.size() < kHistorySize) {
        m_history.append(text);
    } else {
        // Full: the new one comes first and the tenth goes.
        m_history.removeLast();
        m_history.prepend(text);
    }
    emit historyChanged();
    emit settingsChanged();
}

void MetarSource::pickFromHistory(int index)
{
    if (index < 0 || index >= m_history.size() || m_history.at(index) == m_entry)
        return;
    setEntry(m_history.at(index));
    refresh();
    enterAction();
}

void MetarSource::setPressureOffset(int steps)
{
    if (steps == m_pressureOffset)
        return;
    m_pressureOffset = steps;
    emit settingsChanged();
}

void MetarSource::setTimeBase(int index)
{
    index = qBound(0, index, 1);
    if (index == m_timeBase)
        return;
    m_timeBase = index;
    emit settingsChanged();
}

void MetarSource::armTimer()
{
    if (!timer()->isActive())
        timer()->start();
}

void MetarSource::showErrorNumber()
{
    setErrorLine(QStringLiteral("File error #") + QString::number(m_errorNumber));
}

void MetarSource::tell(const QString &text)
{
    qCWarning(lcSource).noquote() << name().trimmed() << "says:" << text;
    if (m_tell)
        m_tell(text);
}

void MetarSource::select()
{
    timer()->setInterval(refreshMinutes() * 60000);
    if (loading() && isAddress(m_entry) && context().afterLoad) {
        // The configuration load holds the clock: the first download waits
        // until the load is over.
        context().afterLoad([this] { timerTick(); });
    } else {
        timerTick();
    }
}

void MetarSource::refresh()
{
    addToHistory(m_entry);
    timer()->setInterval(refreshMinutes() * 60000);
    if (!loading())
        timerTick();
}

void MetarSource::enterAction()
{
    if (m_entry.isEmpty())
        return;
    if (!isAddress(m_entry)) {
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
    snapshot().pressureOffset = m_pressureOffset;
    if (isAddress(m_entry)) {
        startFetch(true);
        return; // decoded when the page has come
    }
    decode();
}

void MetarSource::startFetch(bool fromTimer)
{
    if (m_download) {
        // One download at a time: the running one decodes when it ends if a
        // reading was asked for meanwhile.
        m_decodePending = m_decodePending || fromTimer;
        return;
    }
    m_errorNumber = MetarError::None;
    QFile::remove(kCacheFile);
    // Only shown: until the download's outcome is known the last reading
    // stays in use, or the last failure keeps the source out.
    showProgress(QStringLiteral("Downloading ..."));
    auto *download = new Download(metarAddress(m_entry), kCacheFile, this);
    m_decodePending = fromTimer;
    m_download = download;
    connect(download, &Download::finished, this, [this, download](const DownloadResult &result) {
        const bool decodeAfter = std::exchange(m_decodePending, false);
        m_download = nullptr;
        download->deleteLater();
        showProgress(QString());
        fetchFinished(result.ok, decodeAfter);
    });
    download->start();
}

void MetarSource::fetchFinished(bool ok, bool decodeAfter)
{
    if (!ok) {
        m_errorNumber = MetarError::Download;
    } else {
        QFile file(kCacheFile);
        if (!file.open(QIODevice::ReadOnly)) {
            m_errorNumber = MetarError::Open;
        } else {
            switch (classifyMetarDownload(file.read(3))) {
            case MetarDownload::TooShort:
                m_errorNumber = MetarError::Download;
                break;
            case MetarDownload::WebPage:
                file.close();
                m_errorNumber = extractReport();
                break;
            case MetarDownload::Report:
                break; // a plain report serves as it stands
            }
        }
    }
    const int error = m_errorNumber;
    if (error != MetarError::None) {
        showErrorNumber();
        armTimer();
    } else {
        setErrorLine(QString());
        SourceDisplay captions = metarCaptionsAfterFetch(context().units ? *context().units : UnitSettings{}, m_shown);
        captions.dateTime = QString(); // the date shows again with the decoding
        showReading(captions);
        setDataPath(kCacheFile);
        addToHistory(m_entry);
    }
    emit fetchEnded(error);
    if (decodeAfter)
        decode();
    else if (error == MetarError::None)
        refresh(); // Enter: the cycle follows, with its own download
}

int MetarSource::extractReport()
{
    QStringList lines;
    if (!QFile::exists(kCacheFile) || !TextFile::readLines(kCacheFile, &lines))
        return MetarError::NoCache;
    const MetarExtraction e = extractMetarLine(lines.join(QLatin1Char('\n')), m_entry, m_markers);
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
    settings.pressureOffset = m_pressureOffset;
    settings.timeShown = m_timeBase;
    settings.now = context().clock.now();
    settings.utcOffsetMinutes = -DateTimeUtil::timeZoneBiasMinutes(settings.now);

    MetarReading reading;
    const QString path = dataPath();
    if (path.isEmpty() || OutsideFile::probe(path) == OutsideFile::Status::Missing) {
        reading = metarWithoutReport(settings, snapshot(), m_shown);
    } else {
        QStringList lines;
        if (!TextFile::readLines(path, &lines))
            lines.clear();
        reading = decodeMetar(lines.join(QLatin1Char('\n')), settings, snapshot(), m_shown);
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

void MetarSource::writeSummary(const QString &path, const QByteArray &bytes, const QString &failure)
{
    // Written beside and renamed over the old one, so a reader never sees half
    // a file. Not synced to the disk: the file is made again every refresh.
    const QString temp = path + QStringLiteral(".part");
    QFile file(temp);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    file.close();
    ok = ok && std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        QFile::remove(temp);
        tell(failure);
    }
}

void MetarSource::showReading(const SourceDisplay &d)
{
    m_shown = d;
    publishDisplay(metarDisplayShown(d));
}

void MetarSource::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
    const QString p = configPrefix();
    declarePeriodKey(registry, section);

    ConfigKey dat;
    dat.section = section;
    dat.position = 210;
    dat.key = p + QStringLiteral("DAT=");
    dat.save = [this, key = dat.key] { return m_entry.isEmpty() ? QStringList() : QStringList{key + m_entry}; };
    dat.load = [this](const QString &, const QString &value) {
        if (value.isEmpty())
            return;
        if (OutsideFile::probe(value) != OutsideFile::Status::Missing) {
            setEntry(value);
            setDataPath(value);
        } else if (isAddress(value)) {
            setEntry(value);
        } else {
            setErrorLine(QStringLiteral("File error #6"));
        }
    };
    registry.add(dat);

    ConfigKey list;
    list.section = section;
    list.position = 220;
    list.key = p + QStringLiteral("LIST=");
    list.save = [this, key = list.key] {
        QStringList lines;
        for (const QString &entry : m_history)
            lines << key + entry;
        return lines;
    };
    list.load = [this](const QString &, const QString &value) {
        if (!value.isEmpty() && m_history.size() < kHistorySize) {
            m_history.append(value);
            emit historyChanged();
        }
    };
    registry.add(list);

    declareIntKey(
        registry, section, 240, p + QStringLiteral("POFFSET="), [this] { return m_pressureOffset; },
        [this](int v) { setPressureOffset(v); });
    declareIntKey(
        registry, section, 250, p + QStringLiteral("TU="), [this] { return m_timeBase; },
        [this](int v) { setTimeBase(v); });
}

} // namespace auravox
