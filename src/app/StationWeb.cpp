#include "app/StationWeb.h"

#include "app/ClockText.h"
#include "app/ConfigFile.h"
#include "app/StationModels.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/Log.h"
#include "common/Rounding.h"
#include "engine/Announcer.h"
#include "common/OutsideFile.h"
#include "engine/WeatherPhrases.h"
#include "internet/Favourites.h"
#include "stations/HistorySource.h"
#include "transmitter/SerialPortControl.h"
#include "weather/WeatherSource.h"
#include "web/WorkingFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace auravox {

namespace {

struct ItemInfo
{
    const char *name;
    WeatherItem item;
};
// The eleven spoken weather items, in speaking order.
const ItemInfo kSpokenItems[] = {
    {"Indoor temperature", WeatherItem::IndoorTemp}, {"Outdoor temperature", WeatherItem::OutdoorTemp},
    {"Pressure", WeatherItem::Pressure},             {"Pressure trend", WeatherItem::PressureTrend},
    {"Wind", WeatherItem::WindSpeed},                {"Gust", WeatherItem::WindGust},
    {"Wind direction", WeatherItem::WindDirection},  {"Wind chill", WeatherItem::WindChill},
    {"Rain of 24 hours", WeatherItem::Rain24h},      {"Present weather", WeatherItem::Rain24h},
    {"Outdoor humidity", WeatherItem::OutdoorHumidity}};

using Box = MessageSettings::Box;
struct BoxInfo
{
    const char *name;
    Box box;
    std::optional<bool> SettingsChange::*field;
};
// The message's boxes, in the order the window's rules apply them.
const BoxInfo kBoxes[] = {{"header", Box::Header, &SettingsChange::header},
                          {"hello", Box::Hello, &SettingsChange::hello},
                          {"date", Box::Date, &SettingsChange::date},
                          {"dateUS", Box::DateUS, &SettingsChange::dateUS},
                          {"time", Box::Time, &SettingsChange::time},
                          {"timeIs", Box::TimeIs, &SettingsChange::timeIs},
                          {"goodbye", Box::Goodbye, &SettingsChange::goodbye}};

// A file or folder of the working folder, by a name relative to it: its
// absolute path, or nothing when the name leaves the folder.
std::optional<QString> insideWorkingFolder(const QString &name)
{
    QString why;
    return WorkingFiles().resolve(name, &why);
}

QString number(double v, bool decimals)
{
    if (!(v > -1e6 && v < 1e6))
        return QStringLiteral("?");
    return decimals ? QString::number(v, 'f', 2) : QString::number(static_cast<int>(roundHalfEven(v)));
}

QString valueText(int spokenItem, const WeatherSnapshot &s, const UnitSettings &u)
{
    const QString deg = QStringLiteral("°") + u.temperatureLabel;
    switch (spokenItem) {
    case 1: return number(s.indoorTemp, false) + QLatin1Char(' ') + deg;
    case 2: return number(s.outdoorTemp, false) + QLatin1Char(' ') + deg;
    case 3: return number(s.pressure, u.pressureFactor != 1) + QLatin1Char(' ') + u.pressureLabel;
    case 4: {
        static const char *const kTrend[] = {"steady", "rising", "falling"};
        return s.pressureTrend >= 0 && s.pressureTrend <= 2 ? QLatin1String(kTrend[s.pressureTrend]) : QString();
    }
    case 5: return number(s.windSpeed, false) + QLatin1Char(' ') + u.windLabel;
    case 6: return number(s.windGust, false) + QLatin1Char(' ') + u.windLabel;
    case 7:
        if (s.windDirection == 999)
            return QStringLiteral("variable");
        return s.windDirection >= 0 ? QString::number(s.windDirection) + QStringLiteral("°") : QString();
    case 8: return s.windChill <= -200 ? QString() : number(s.windChill, false) + QLatin1Char(' ') + deg;
    case 9: return s.rain24h < 0 ? QString() : number(s.rain24h, u.rainFactor != 1) + QLatin1Char(' ') + u.rainLabel;
    case 10: return QString();
    case 11: return s.outdoorHumidity < 0 ? QString() : number(s.outdoorHumidity, false) + QStringLiteral(" %");
    default: return QString();
    }
}

} // namespace

StationWeb::StationWeb(Announcer &engine, StationModels &models, SerialPortControl *port, StationWebHooks hooks,
                       Clock &clock, int portOverride, WebServerOptions options)
    : m_engine(engine), m_models(models), m_port(port), m_hooks(std::move(hooks)), m_clock(clock),
      m_portOverride(portOverride), m_options(std::move(options)), m_history([&clock] { return clock.now(); }),
      m_tail(std::make_unique<LogTail>())
{
    QFile words(QStringLiteral(":/web/words.tsv"));
    if (words.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : words.readAll().split('\n')) {
            const QList<QByteArray> cells = line.trimmed().split('\t');
            if (cells.size() == 2)
                m_words.insert(QString::fromUtf8(cells[0]).toUpper(), QString::fromUtf8(cells[1]));
        }
    }
    m_history.setWords([this](const QString &clip) { return spokenWords(clip); });
    m_engine.addObserver(&m_history);
    // What came of the last change of kind or settings, for the page to show.
    connect(&m_models.port, &PortSettings::deviceApplied, this, [this](const QString &error) { m_pttError = error; });
}

StationWeb::~StationWeb()
{
    m_engine.removeObserver(&m_history);
}

void StationWeb::start()
{
    if (m_server)
        return;
    if (!m_models.web.enabled) {
        qCInfo(lcWeb) << "the station page is off (WEB=N)";
        return;
    }
    const QHostAddress address(m_models.web.address);
    const int port = m_portOverride >= 0 ? m_portOverride : m_models.web.port;
    auto server = std::make_unique<StationWebServer>(*this, m_history, m_tail.get(), [this] { return m_clock.now(); },
                                                     m_options);
    QString error;
    if (!server->start(address, static_cast<quint16>(port), &error)) {
        qCWarning(lcWeb).noquote() << QStringLiteral("the station page cannot listen on %1 port %2: %3")
                                          .arg(m_models.web.address)
                                          .arg(port)
                                          .arg(error);
        return;
    }
    m_server = std::move(server);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol ? QLatin1Char('[') + m_models.web.address + QLatin1Char(']') : m_models.web.address;
    if (address.isLoopback()) {
        qCInfo(lcWeb).noquote() << QStringLiteral("station page at http://%1:%2/").arg(host).arg(m_server->port());
    } else {
        qCWarning(lcWeb).noquote()
            << QStringLiteral("station page at http://%1:%2/ is open to other machines (WEB_ADDRESS=%3); "
                              "they must log in with the station password")
                   .arg(host)
                   .arg(m_server->port())
                   .arg(m_models.web.address);
    }
}

QString StationWeb::spokenWords(const QString &clip) const
{
    const auto it = m_words.constFind(clip.toUpper());
    if (it != m_words.constEnd())
        return *it;
    return QStringLiteral("[") + QFileInfo(clip).fileName() + QStringLiteral("]");
}


SourceKind StationWeb::chosenSource() const
{
    return m_hooks.chosenSource ? m_hooks.chosenSource() : SourceKind::None;
}

qint64 StationWeb::logBookRevision() const
{
    // The log book only grows at its end (the oldest lines go when it is full).
    const QStringList &lines = m_engine.log().lines();
    return static_cast<qint64>(lines.size()) * 1000003 +
           static_cast<qint64>(qHash(lines.isEmpty() ? QString() : lines.constLast()) % 1000003);
}

QStringList StationWeb::logBook(int lines)
{
    const QStringList &all = m_engine.log().lines();
    return all.mid(std::max<qsizetype>(0, all.size() - lines));
}

bool StationWeb::clickPlay()
{
    // "Play the message " is disabled while an announcement runs. The start
    // is the button's (not a posted one): the page answers with its outcome,
    // started or refused, as soon as this returns.
    if (m_engine.busy())
        return false;
    m_engine.setStartOrigin(AnnounceOrigin::Web);
    m_engine.run();
    return true;
}

QJsonObject StationWeb::weatherStatus()
{
    const SourceKind kind = chosenSource();
    QJsonObject o;
    o.insert(QStringLiteral("source"), sourceName(kind));
    if (m_hooks.sourceCaption && kind != SourceKind::None)
        o.insert(QStringLiteral("caption"), m_hooks.sourceCaption(kind));
    if (kind == SourceKind::None || !m_hooks.hasSource || !m_hooks.hasSource(kind)) {
        o.insert(QStringLiteral("gate"), QStringLiteral("no weather source"));
        return o;
    }
    WeatherContext c;
    c.kind = kind;
    c.snapshot = m_hooks.snapshot(kind);
    c.selection = m_hooks.selection(kind);
    c.units = m_models.units.units();
    c.sixteenPoints = m_models.message.sixteenPoints();
    const QString error = m_hooks.errorLine(kind);
    o.insert(QStringLiteral("error"), error);
    const QDateTime now = m_clock.now();
    const double nowDays = DateTimeUtil::toDays(now);
    const double readingDays = kind == SourceKind::MonitorII ? nowDays : c.snapshot.readingTime;
    if (readingDays > 0) {
        const QDateTime reading = DateTimeUtil::fromDays(readingDays);
        o.insert(QStringLiteral("readingTime"), reading.toString(Qt::ISODate));
        o.insert(QStringLiteral("ageSeconds"), reading.secsTo(now));
    }
    QString gate = QStringLiteral("spoken");
    if (m_hooks.activeSource() != kind)
        gate = QStringLiteral("not ready: no file, address or station port");
    else if (kind != SourceKind::MonitorII && !error.isEmpty())
        gate = QStringLiteral("not spoken: the source has an error");
    else if (!WeatherPhrases::fresh(m_models.message.staleness(), kind, nowDays, readingDays))
        gate = QStringLiteral("not spoken: the reading is too old");
    o.insert(QStringLiteral("gate"), gate);
    QJsonArray items;
    QStringList phrase;
    for (int n = 1; n <= 11; ++n) {
        const ItemInfo &info = kSpokenItems[n - 1];
        if (!sourceHasItem(kind, info.item) || (n == 9 && kind == SourceKind::Metar) ||
            (n == 10 && kind != SourceKind::Metar))
            continue;
        QStringList words;
        for (const QString &clip : WeatherPhrases::item(n, c))
            words << spokenWords(clip);
        if (!words.isEmpty())
            phrase << words.join(QLatin1Char(' '));
        items.append(QJsonObject{{QStringLiteral("key"), weatherItemKey(info.item)},
                                 {QStringLiteral("name"), QLatin1String(info.name)},
                                 {QStringLiteral("selected"), c.selection.has(info.item)},
                                 {QStringLiteral("value"), valueText(n, c.snapshot, c.units)},
                                 {QStringLiteral("spoken"), words.join(QLatin1Char(' '))}});
    }
    o.insert(QStringLiteral("items"), items);
    o.insert(QStringLiteral("spoken"), phrase.join(QStringLiteral(", ")));
    return o;
}

QJsonObject StationWeb::settingsStatus()
{
    const MessageSettings &m = m_models.message;
    QJsonObject o;
    o.insert(QStringLiteral("period"), m.periodMinutes());
    o.insert(QStringLiteral("startHour"), m.startHour());
    o.insert(QStringLiteral("endHour"), m.endHour());
    for (const BoxInfo &b : kBoxes)
        o.insert(QLatin1String(b.name), m.box(b.box));
    o.insert(QStringLiteral("pause"), m.pauseSeconds());
    const SourceKind kind = chosenSource();
    o.insert(QStringLiteral("source"), sourceName(kind));
    QJsonObject items;
    if (kind != SourceKind::None && m_hooks.hasSource && m_hooks.hasSource(kind)) {
        const AnnounceSelection s = m_hooks.selection(kind);
        for (int i = 0; i < kWeatherItemCount; ++i) {
            const auto item = static_cast<WeatherItem>(i);
            if (sourceHasItem(kind, item))
                items.insert(weatherItemKey(item), s.has(item));
        }
    }
    o.insert(QStringLiteral("items"), items);
    const UnitSettings &u = m_models.units.units();
    o.insert(QStringLiteral("units"), QJsonObject{{QStringLiteral("temperature"), u.temperatureLabel},
                                                  {QStringLiteral("pressure"), u.pressureLabel},
                                                  {QStringLiteral("wind"), u.windLabel},
                                                  {QStringLiteral("rain"), u.rainLabel}});
    o.insert(QStringLiteral("headerFile"), m.path(MessageSettings::File::Header));
    o.insert(QStringLiteral("helloFile"), m.path(MessageSettings::File::Hello));
    o.insert(QStringLiteral("goodbyeFile"), m.path(MessageSettings::File::Goodbye));
    o.insert(QStringLiteral("weatherAge"), static_cast<int>(m.staleness()));
    o.insert(QStringLiteral("sixteenPoints"), m.sixteenPoints());
    o.insert(QStringLiteral("recordWhilePlaying"), m.recordWhilePlaying());
    const SoundSettings &s = m_models.sound;
    bool ok = true;
    o.insert(QStringLiteral("soundDevice"), s.effectiveDevice());
    o.insert(QStringLiteral("soundDevices"), QJsonArray::fromStringList(m_engine.deviceNames(&ok)));
    o.insert(QStringLiteral("volume"), s.volume());
    o.insert(QStringLiteral("balance"), s.balance());
    o.insert(QStringLiteral("maxVolume"), s.maxVolume());
    o.insert(QStringLiteral("voiceFolder"), s.voiceFolder());
    o.insert(QStringLiteral("recorderPath"), m_models.recorder.programPath());
    o.insert(QStringLiteral("releaseCheck"), m_models.startup.releaseCheckAtStart());
    o.insert(QStringLiteral("startAtLogin"), m_models.startup.startAtLogin());
    o.insert(QStringLiteral("startMinimized"), m_models.startup.startMinimized());
    if (m_port)
        o.insert(QStringLiteral("ports"), QJsonArray::fromStringList(m_port->portList()));
    o.insert(QStringLiteral("port"), m_port ? m_port->portName() : TransmitterPort::kNoPortName);
    o.insert(QStringLiteral("ptt"), pttStatus());
    const WorkingFiles files;
    o.insert(QStringLiteral("waveFiles"), QJsonArray::fromStringList(files.waveFiles()));
    o.insert(QStringLiteral("folders"), QJsonArray::fromStringList(files.folders()));
    o.insert(QStringLiteral("sources"), sourcesStatus());
    return o;
}

QJsonObject StationWeb::pttStatus()
{
    const PttSettings &ptt = m_models.port.ptt();
    QJsonObject o = pttToJson(ptt);
    // The other kinds' device; the serial port's state is the port's own.
    const bool other = ptt.kind != PttKind::Serial;
    const bool open = other && m_port && m_port->transmitter().isOtherKind() && m_port->isOpen();
    o.insert(QStringLiteral("open"), open);
    o.insert(QStringLiteral("device"), open ? m_port->transmitter().where() : QString());
    o.insert(QStringLiteral("error"), other ? m_pttError : QString());
    return o;
}

QJsonObject StationWeb::sourcesStatus()
{
    QJsonObject o;
    for (SourceKind kind : {SourceKind::MonitorII, SourceKind::Ws23, SourceKind::Ws28, SourceKind::Pro2,
                            SourceKind::Aprs, SourceKind::Metar}) {
        const WeatherSource *source = m_hooks.source ? m_hooks.source(kind) : nullptr;
        if (!source)
            continue;
        QJsonObject s{{QStringLiteral("caption"), m_hooks.sourceCaption ? m_hooks.sourceCaption(kind) : QString()},
                      {QStringLiteral("file"), source->dataPath()},
                      {QStringLiteral("refreshMinutes"), source->refreshMinutes()},
                      {QStringLiteral("error"), source->errorLine()}};
        if (const auto *history = qobject_cast<const HistorySource *>(source)) {
            s.insert(QStringLiteral("pressureOffset"), history->pressureOffset());
            s.insert(QStringLiteral("trendThreshold"), history->trendThreshold());
            s.insert(QStringLiteral("trendMax"), history->trendMax());
        }
        if (const auto *ws28 = qobject_cast<const Ws28Source *>(source))
            s.insert(QStringLiteral("absolutePressure"), ws28->absolutePressure());
        if (const auto *pro2 = qobject_cast<const Pro2Source *>(source))
            s.insert(QStringLiteral("searchCurrentMonth"), pro2->searchCurrentMonth());
        if (const Favourites *fav = m_hooks.favourites ? m_hooks.favourites(kind) : nullptr) {
            QStringList entries;
            for (int n = 1; n <= Favourites::kCount; ++n)
                entries << fav->entry(n);
            s.insert(QStringLiteral("favourites"), QJsonArray::fromStringList(entries));
        }
        o.insert(sourceName(kind), s);
    }
    return o;
}

QString StationWeb::sourceRefusal(SourceKind kind, const SourceSettingsChange &c) const
{
    const WeatherSource *source = m_hooks.source ? m_hooks.source(kind) : nullptr;
    if (!source)
        return QStringLiteral("%1 has no settings this program can set").arg(sourceName(kind));
    const auto *history = qobject_cast<const HistorySource *>(source);
    if (c.file && !c.file->isEmpty()) {
        const bool exists = OutsideFile::probe(*c.file) != OutsideFile::Status::Missing;
        const bool address = c.file->startsWith(QLatin1String("http://")) || c.file->startsWith(QLatin1String("https://"));
        // The window's texts: a history file must exist; a report may also be an address.
        if (history && !exists)
            return QStringLiteral("File error");
        if (!history && !exists && !address)
            return QStringLiteral("File error #6");
    }
    if ((c.pressureOffset || c.trendThreshold) && !history)
        return QStringLiteral("%1 has no pressure adjustment or trend threshold").arg(sourceName(kind));
    if (c.trendThreshold && *c.trendThreshold > history->trendMax())
        return QStringLiteral("the trend threshold of %1 is 1 to %2").arg(sourceName(kind)).arg(history->trendMax());
    if (c.absolutePressure && !qobject_cast<const Ws28Source *>(source))
        return QStringLiteral("only W28 reads the absolute or the relative pressure");
    if (c.searchCurrentMonth && !qobject_cast<const Pro2Source *>(source))
        return QStringLiteral("only PRO2 searches the current month's file");
    return QString();
}

void StationWeb::applySource(SourceKind kind, const SourceSettingsChange &c)
{
    WeatherSource *source = m_hooks.source(kind);
    auto *history = qobject_cast<HistorySource *>(source);
    if (c.refreshMinutes)
        source->setRefreshMinutes(*c.refreshMinutes);
    if (history && c.pressureOffset)
        history->setPressureOffset(*c.pressureOffset);
    if (history && c.trendThreshold)
        history->setTrendThreshold(*c.trendThreshold);
    if (auto *ws28 = qobject_cast<Ws28Source *>(source); ws28 && c.absolutePressure)
        ws28->setAbsolutePressure(*c.absolutePressure);
    if (auto *pro2 = qobject_cast<Pro2Source *>(source); pro2 && c.searchCurrentMonth)
        pro2->setSearchCurrentMonth(*c.searchCurrentMonth);
    // The file last, as the window's browse button: a history file taken is read at once.
    if (c.file && history && !c.file->isEmpty())
        history->chooseFile(*c.file);
    else if (c.file)
        source->setDataPath(*c.file);
}

QJsonObject StationWeb::portStatus()
{
    const QString port = m_port ? m_port->portName() : TransmitterPort::kNoPortName;
    const Transmitter::Lines &boxes = m_models.port.lines();
    const bool open = m_port && m_port->isOpen();
    const ModemStatus inputs = open ? m_port->transmitter().modemStatus() : ModemStatus{};
    return QJsonObject{
        {QStringLiteral("name"), port},
        {QStringLiteral("device"),
         port == TransmitterPort::kNoPortName || !m_port ? QString() : m_port->devicePath(port)},
        {QStringLiteral("open"), open},
        {QStringLiteral("dtr"), inputs.dtr},
        {QStringLiteral("rts"), inputs.rts},
        {QStringLiteral("cts"), inputs.cts},
        {QStringLiteral("dsr"), inputs.dsr},
        {QStringLiteral("dcd"), inputs.dcd},
        {QStringLiteral("useDtr"), boxes.dtr},
        {QStringLiteral("useRts"), boxes.rts},
        {QStringLiteral("startOnCts"), boxes.cts},
        {QStringLiteral("startOnDsr"), boxes.dsr},
        {QStringLiteral("inhibitOnDcd"), boxes.dcd}};
}

QJsonObject StationWeb::status()
{
    const QDateTime now = m_clock.now();
    const Scheduler &scheduler = m_engine.scheduler();
    QJsonObject o;
    o.insert(QStringLiteral("version"), QStringLiteral(AURAVOX_VERSION));
    o.insert(QStringLiteral("now"), now.toString(Qt::ISODate));
    o.insert(QStringLiteral("time"), ClockText::time(now).trimmed());
    o.insert(QStringLiteral("date"), ClockText::date(now).trimmed());
    o.insert(QStringLiteral("startupPending"), m_hooks.startupPending ? m_hooks.startupPending() : false);
    // No configuration yet: the page opens on its first-start form.
    o.insert(QStringLiteral("firstStart"), !QFileInfo::exists(ConfigFile::kFile));
    o.insert(QStringLiteral("busy"), m_engine.busy());
    o.insert(QStringLiteral("statusField"), m_hooks.statusText ? m_hooks.statusText() : QString());
    const QDateTime next = nextScheduledAnnouncement(scheduler, now);
    o.insert(QStringLiteral("schedule"),
             QJsonObject{{QStringLiteral("periodMinutes"), scheduler.periodMinutes()},
                         {QStringLiteral("startHour"), scheduler.startHour()},
                         {QStringLiteral("endHour"), scheduler.endHour()},
                         {QStringLiteral("next"), next.isValid() ? QJsonValue(next.toString(Qt::ISODate)) : QJsonValue()}});
    o.insert(QStringLiteral("port"), portStatus());
    o.insert(QStringLiteral("weather"), weatherStatus());
    o.insert(QStringLiteral("settings"), settingsStatus());
    return o;
}

namespace {
struct FileChange
{
    const std::optional<QString> &name;
    MessageSettings::File file;
    const char *error;
};
} // namespace

QString StationWeb::refusal(const SettingsChange &c) const
{
    using File = MessageSettings::File;
    // The files the main window's browse buttons choose: one that can't be
    // opened is refused with the window's text.
    const FileChange files[] = {{c.headerFile, File::Header, "Err: File name"},
                                {c.helloFile, File::Hello, "Err: File name"},
                                {c.goodbyeFile, File::Goodbye, "Err: Wave file name"}};
    for (const auto &f : files) {
        if (!f.name || f.name->isEmpty())
            continue;
        const std::optional<QString> inside = insideWorkingFolder(*f.name);
        if (QFile trial(inside.value_or(QString())); !inside || !QFileInfo(*inside).isFile() ||
                                                    !trial.open(QIODevice::ReadOnly))
            return QLatin1String(f.error);
    }
    if (c.voiceFolder && !c.voiceFolder->isEmpty()) {
        const std::optional<QString> inside = insideWorkingFolder(*c.voiceFolder);
        if (!inside || !QFileInfo(*inside).isDir())
            return QStringLiteral("no such folder in the working folder: ") + *c.voiceFolder;
    }
    if (c.recorderPath && !c.recorderPath->isEmpty() && !QFileInfo::exists(*c.recorderPath))
        return QStringLiteral("no such file: ") + *c.recorderPath;
    if (c.soundDevice && *c.soundDevice >= 0) {
        bool ok = true;
        if (*c.soundDevice >= m_engine.deviceNames(&ok).size())
            return QStringLiteral("no such sound card: %1").arg(*c.soundDevice);
    }
    if (c.port && (!m_port || !m_port->portList().contains(*c.port)))
        return QStringLiteral("no such port: ") + *c.port;
    if (c.ptt) {
        PttSettings ptt;
        if (const QString why = changedPtt(*c.ptt, &ptt); !why.isEmpty())
            return why;
    }
    for (const auto &[kind, change] : c.sources) {
        if (const QString why = sourceRefusal(kind, change); !why.isEmpty())
            return why;
    }
    for (const auto &[kind, entries] : c.favourites) {
        if (!m_hooks.favourites || !m_hooks.favourites(kind))
            return QStringLiteral("%1 has no favourites this program can set").arg(sourceName(kind));
    }
    return QString();
}

QString StationWeb::changedPtt(const QJsonObject &change, PttSettings *ptt) const
{
    *ptt = m_models.port.ptt();
    if (const QString why = applyPttJson(change, ptt); !why.isEmpty())
        return why;
    // The kind chosen must be usable as the COM window's "Use" asks.
    const QStringList problems = ptt->problems();
    return problems.join(QLatin1Char(' '));
}

QString StationWeb::applyChecked(const SettingsChange &c)
{
    using File = MessageSettings::File;
    const FileChange files[] = {{c.headerFile, File::Header, ""},
                                {c.helloFile, File::Hello, ""},
                                {c.goodbyeFile, File::Goodbye, ""}};
    for (const auto &f : files) {
        if (f.name)
            m_models.message.setPath(f.file, *f.name);
    }
    if (c.voiceFolder)
        m_models.sound.setVoiceFolder(*c.voiceFolder);
    if (c.recorderPath)
        m_models.recorder.setProgramPath(*c.recorderPath);
    for (const auto &[kind, change] : c.sources)
        applySource(kind, change);
    for (const auto &[kind, entries] : c.favourites) {
        Favourites *fav = m_hooks.favourites(kind);
        for (int n = 1; n <= entries.size(); ++n)
            fav->setEntry(n, entries[n - 1]);
    }
    if (c.soundDevice) {
        m_models.sound.setSystemDevice(*c.soundDevice < 0);
        m_models.sound.setDevice(*c.soundDevice);
    }
    if (c.ptt) {
        PttSettings ptt;
        changedPtt(*c.ptt, &ptt);
        // Only a change opens the device again, as it is opened once per
        // change of the file (the page sends its whole form on each save).
        m_models.port.setPtt(ptt);
    }
    if (c.port && m_models.port.ptt().kind != PttKind::Serial) {
        // The serial port's choice is kept for when the serial port is
        // chosen again, as the COM window keeps it; nothing is opened now.
        if (m_port)
            m_port->setPortName(*c.port);
        m_models.port.setSavedPort(*c.port == TransmitterPort::kNoPortName ? QStringLiteral("0") : c.port->mid(3));
    } else if (c.port) {
        m_models.port.requestPort(*c.port);
        if (*c.port != TransmitterPort::kNoPortName && !(m_port->portName() == *c.port && m_port->isOpen()))
            return QStringLiteral("COM port error");
    }
    return QString();
}

QString StationWeb::applySettings(const SettingsChange &c)
{
    // Nothing changes when one part of the change is refused.
    if (const QString why = refusal(c); !why.isEmpty())
        return why;
    MessageSettings &m = m_models.message;
    if (c.periodMinutes)
        m.setPeriodMinutes(*c.periodMinutes);
    if (c.startHour)
        m.setStartHour(*c.startHour);
    if (c.endHour)
        m.setEndHour(*c.endHour);
    for (const BoxInfo &b : kBoxes) {
        if (const std::optional<bool> &want = c.*(b.field))
            m.setBox(b.box, *want);
    }
    if (c.pauseSeconds)
        m.setPauseSeconds(*c.pauseSeconds);
    if (c.source && *c.source != chosenSource() && m_hooks.chooseSource)
        m_hooks.chooseSource(*c.source);
    const SourceKind kind = chosenSource();
    for (int i = 0; i < kWeatherItemCount && m_hooks.setItem && kind != SourceKind::None; ++i) {
        if (const auto &want = c.items[static_cast<size_t>(i)])
            m_hooks.setItem(kind, static_cast<WeatherItem>(i), *want);
    }
    using Unit = UnitsModel::Unit;
    for (auto [want, unit] : {std::pair{c.celsius, Unit::Temperature}, std::pair{c.millibars, Unit::Pressure},
                              std::pair{c.kmh, Unit::Wind}, std::pair{c.millimetres, Unit::Rain}}) {
        if (want)
            m_models.units.setMetric(unit, *want);
    }
    Transmitter::Lines lines = m_models.port.lines();
    for (auto [want, field] : {std::pair{c.useDtr, &Transmitter::Lines::dtr}, std::pair{c.useRts, &Transmitter::Lines::rts},
                               std::pair{c.startOnDsr, &Transmitter::Lines::dsr},
                               std::pair{c.startOnCts, &Transmitter::Lines::cts},
                               std::pair{c.inhibitOnDcd, &Transmitter::Lines::dcd}}) {
        if (want)
            lines.*field = *want;
    }
    m_models.port.setLines(lines);
    if (c.volume)
        m_models.sound.setVolume(*c.volume);
    if (c.balance)
        m_models.sound.setBalance(*c.balance);
    if (c.maxVolume)
        m_models.sound.setMaxVolume(*c.maxVolume);
    if (c.weatherAge)
        m.setStaleness(static_cast<Staleness>(*c.weatherAge));
    if (c.sixteenPoints)
        m.setSixteenPoints(*c.sixteenPoints);
    if (c.recordWhilePlaying)
        m.setRecordWhilePlaying(*c.recordWhilePlaying);
    if (c.releaseCheck)
        m_models.startup.setReleaseCheckAtStart(*c.releaseCheck);
    if (c.startAtLogin)
        m_models.startup.setStartAtLogin(*c.startAtLogin);
    if (c.startMinimized)
        m_models.startup.setStartMinimized(*c.startMinimized);
    const QString portError = applyChecked(c);
    // Saved at once, as the windows save it.
    const QString saveError = m_hooks.save ? m_hooks.save() : QString();
    return portError.isEmpty() ? saveError : portError;
}

} // namespace auravox
