#include "internet/InternetSource.h"

#include "common/ConfigKeys.h"
#include "common/ConfigRegistry.h"
#include "common/Log.h"
#include "common/OutsideFile.h"
#include "internet/DownloadFile.h"

#include <QFile>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <utility>

namespace auravox {

void mergeDisplay(SourceDisplay &into, const SourceDisplay &d)
{
    const std::pair<SourceCaption *, const SourceCaption *> captions[] = {
        {&into.indoorTemp, &d.indoorTemp},
        {&into.outdoorTemp, &d.outdoorTemp},
        {&into.pressure, &d.pressure},
        {&into.trend, &d.trend},
        {&into.wind, &d.wind},
        {&into.gust, &d.gust},
        {&into.direction, &d.direction},
        {&into.humidity, &d.humidity},
        {&into.rain, &d.rain},
        {&into.windChill, &d.windChill},
        {&into.indoorHumidity, &d.indoorHumidity},
    };
    for (const auto &[to, from] : captions) {
        if (!from->text.isEmpty())
            *to = *from;
    }
    for (const auto &[to, from] :
         {std::pair{&into.dewPoint, &d.dewPoint}, std::pair{&into.airportCode, &d.airportCode},
          std::pair{&into.pressureAdjustUnit, &d.pressureAdjustUnit}, std::pair{&into.trendUnit, &d.trendUnit}}) {
        if (!from->isEmpty())
            *to = *from;
    }
    if (d.dateTime)
        into.dateTime = d.dateTime;
}

InternetSource::InternetSource(SourceKind kind, const QString &name, const QString &configPrefix,
                               const SourceContext &context, QObject *parent)
    : WeatherSource(kind, name, configPrefix, context, parent)
{}

InternetSource::~InternetSource()
{
    delete m_download.data(); // an unfinished download leaves the cache as it was
}

bool InternetSource::fetching() const
{
    return m_download != nullptr;
}

bool InternetSource::isAddress(const QString &text)
{
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool InternetSource::loading() const
{
    return context().loadingConfiguration && context().loadingConfiguration();
}

void InternetSource::setEntry(const QString &text)
{
    if (text == m_entry)
        return;
    m_entry = text;
    emit entryChanged(text);
    emit settingsChanged();
}

void InternetSource::addToHistory(const QString &text)
{
    if (text.isEmpty() || m_history.contains(text))
        return;
    if (m_history.size() < kHistorySize) {
        m_history.append(text);
    } else {
        m_history.removeLast();
        m_history.prepend(text);
    }
    emit historyChanged();
    emit settingsChanged();
}

void InternetSource::pickFromHistory(int index)
{
    if (index < 0 || index >= m_history.size() || m_history.at(index) == m_entry)
        return;
    setEntry(m_history.at(index));
    refresh();
    enterAction();
}

void InternetSource::setPressureOffset(int steps)
{
    steps = std::max(steps, INT_MIN + 1);
    if (steps == m_pressureOffset)
        return;
    m_pressureOffset = steps;
    emit settingsChanged();
}

void InternetSource::setTimeBase(int index)
{
    index = qBound(0, index, 1);
    if (index == m_timeBase)
        return;
    m_timeBase = index;
    emit settingsChanged();
}

void InternetSource::armTimer()
{
    if (!timer()->isActive())
        timer()->start();
}

void InternetSource::showErrorNumber()
{
    setErrorLine(QStringLiteral("File error #") + QString::number(m_errorNumber));
}

void InternetSource::tell(const QString &text)
{
    qCWarning(lcSource).noquote() << name().trimmed() << "says:" << text;
    if (m_tell)
        m_tell(text);
}

void InternetSource::showCaptions(const SourceDisplay &d)
{
    mergeDisplay(m_shown, d);
    publishDisplay(d);
}

void InternetSource::select()
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

void InternetSource::refresh()
{
    addToHistory(m_entry);
    timer()->setInterval(refreshMinutes() * 60000);
    if (!loading())
        timerTick();
}

void InternetSource::startFetch(bool fromTimer)
{
    if (m_download) {
        // One download at a time: the running one decodes when it ends if a
        // reading was asked for meanwhile.
        m_decodePending = m_decodePending || fromTimer;
        return;
    }
    m_errorNumber = 0;
    // The old page must not stand in for the new one if this download fails.
    QFile::remove(cacheFile());
    // Only shown: until the download's outcome is known the last reading
    // stays in use, or the last failure keeps the source out.
    showProgress(progressText());
    auto *download = new Download(downloadAddress(), cacheFile(), this);
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

void InternetSource::fetchFinished(bool ok, bool decodeAfter)
{
    m_errorNumber = takeDownload(ok);
    const int error = m_errorNumber;
    if (error != 0) {
        fetchFailed();
        armTimer();
    } else {
        fetchSucceeded();
        setDataPath(cacheFile());
        addToHistory(m_entry);
    }
    emit fetchEnded(error);
    if (decodeAfter)
        decode();
    else if (error == 0)
        refresh(); // Enter: the cycle follows, with its own download
}

void InternetSource::writeSummary(const QString &path, const QByteArray &bytes, const QString &failure)
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

void InternetSource::declareConfig(ConfigRegistry &registry, int section)
{
    declareItemKeys(registry, section);
    declareLeadingKeys(registry, section);
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
    declareTrailingKeys(registry, section);
}

} // namespace auravox
