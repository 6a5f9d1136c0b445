#include "daemon/HeadlessStation.h"

#include "app/ClockText.h"
#include "app/ConfigFile.h"
#include "app/ReleaseCheck.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/Log.h"
#include "common/TextFile.h"
#include "platform/linux/MonitorStationFactory.h"

#include <QFile>
#include <QTimer>

namespace auravox {

namespace {

// The choice's captions, as the desktop program's choice window shows them.
QString sourceCaption(SourceKind kind)
{
    switch (kind) {
    case SourceKind::MonitorII:
        return QStringLiteral("Davis Weather Monitor II");
    case SourceKind::Pro2:
        return QStringLiteral("Davis Vantage Pro2");
    case SourceKind::Ws23:
        return QStringLiteral("Lacrosse WS-2310 / 2315 / 2355 +");
    case SourceKind::Ws28:
        return QStringLiteral("Lacrosse WS-2800 / 3610 +");
    case SourceKind::Aprs:
        return QStringLiteral("APRS data (UI-VIEW format)");
    case SourceKind::Metar:
        return QStringLiteral("METAR data (Aviation)");
    case SourceKind::None:
        break;
    }
    return QStringLiteral("No weather data");
}

} // namespace

// ---- prompts without a screen

void HeadlessPrompts::message(const QString &text)
{
    if (m_status)
        m_status(text);
    qInfo().noquote() << "message (no screen to show it):" << text;
}

QString HeadlessPrompts::openFileName(const QString &filter, const QString &, const QString &)
{
    qCWarning(lcConfig).noquote() << "no file dialog without a screen:" << filter;
    return {};
}

QString HeadlessPrompts::existingFolder(const QString &)
{
    qCWarning(lcConfig) << "no folder dialog without a screen";
    return {};
}

bool HeadlessPrompts::openDocument(const QString &path)
{
    qCInfo(lcConfig).noquote() << "no document viewer without a screen:" << path;
    return false;
}

bool HeadlessPrompts::openAddress(const QString &url)
{
    qCInfo(lcConfig).noquote() << "no browser without a screen:" << url;
    return false;
}

// ---- the station

HeadlessStation::HeadlessStation(const HeadlessDeps &deps, QObject *parent)
    : QObject(parent), m_clock(*deps.clock), m_models(deps.programPath, m_units), m_releaseCheck(deps.releaseCheck),
      m_serial(*deps.serialLines), m_sourceContext(*deps.clock)
{
    // Noted before anything can write them.
    m_iniExistedAtStart = QFile::exists(ConfigFile::kFile);
    m_logExistedAtStart = QFile::exists(Announcer::kLogFile);
    m_prompts.setStatusSink([this](const QString &text) { showStatus(text); });
    m_engine = std::make_unique<Announcer>(AnnouncerDeps{deps.clock, deps.waveOutput, &m_prompts, QString()},
                                           static_cast<AnnounceHost &>(*this), this);
    connect(m_engine.get(), &Announcer::terminateRequested, this, &HeadlessStation::terminateRequested);

    // The models drive what the desktop's controls drove.
    m_models.message.bindScheduler(m_engine->scheduler());
    m_models.sound.bindEngine(*m_engine);
    m_models.port.bindTransmitter(m_serial.transmitter());
    m_models.port.openRequestedPorts(m_serial);
    m_serial.setDeviceFactory(deps.pttDevices);
    m_models.port.openDevices(m_serial);
    m_portList = m_serial.discoverPorts();
    m_engine->setTransmitter(&m_serial.transmitter());

    buildLinks(deps);
    buildSources(deps);

    // The keys in the desktop program's order: the models, the choice, each source.
    m_models.declareConfig(m_config);
    m_choice.declareConfig(m_config);
    declareSourceKeys();

    m_web = std::make_unique<StationWeb>(*m_engine, m_models, &m_serial, webHooks(), m_clock, deps.webPort,
                                         deps.webOptions);
    if (deps.webServer)
        connect(this, &HeadlessStation::loaded, m_web.get(), [this] { m_web->start(); });
    m_engine->setLinks(&m_links);
    m_engine->startTicking();
}

HeadlessStation::~HeadlessStation()
{
    m_web.reset();
    m_engine->setLinks(nullptr);
    m_engine->setWeather(nullptr);
    m_engine->setTransmitter(nullptr);
    m_recorder.reset();
    for (SourceKind kind : SourceChoice::kSources)
        m_choice.setSource(kind, nullptr);
    m_metar.reset();
    m_aprs.reset();
    m_monitor.reset(); // closes the station's port
    m_pro2.reset();
    m_ws28.reset();
    m_ws23.reset();
    if (m_sibling)
        m_sibling->disconnectLink();
    m_sibling.reset();
}

void HeadlessStation::buildLinks(const HeadlessDeps &deps)
{
    SiblingCallbacks sibling;
    sibling.busy = [this] { return m_engine->busy(); }; // atomic: read by the listener thread
    sibling.startAnnouncement = [this] {
        m_engine->setSiblingRequest(true);
        m_engine->setStartOrigin(AnnounceOrigin::Sibling);
        m_engine->run();
    };
    sibling.statusText = [this] { return m_status; };
    sibling.showStatus = [this](const QString &text) { showStatus(text); };
    m_sibling = std::make_unique<SiblingResponder>(sibling);
    m_siblingWanted = deps.siblingLink;
    if (deps.siblingLink) {
        if (const QString error = m_sibling->connectLink(); !error.isEmpty())
            showStatus(error);
    }
    RecorderControl::Hooks recorder;
    recorder.recording = [this] { return m_models.message.recordWhilePlaying(); };
    recorder.programPath = [this] { return m_models.recorder.programPath(); };
    recorder.showStatus = [](const QString &text) { qCInfo(lcLink).noquote() << "recorder:" << text; };
    m_recorder = std::make_unique<RecorderControl>(m_clock, m_prompts, m_recorderSocket, recorder);
}

void HeadlessStation::buildSources(const HeadlessDeps &deps)
{
    m_sourceContext.units = &m_units;
    m_sourceContext.limits = &m_limits;
    m_sourceContext.publicFolder = deps.publicFolder;
    m_sourceContext.loadingConfiguration = [this] { return m_startupPending; };
    m_sourceContext.afterLoad = [this](std::function<void()> action) {
        connect(
            this, &HeadlessStation::loaded, this,
            [this, action = std::move(action)] { QTimer::singleShot(0, this, action); }, Qt::SingleShotConnection);
    };
    m_ws23 = std::make_unique<Ws23Source>(m_sourceContext);
    m_ws28 = std::make_unique<Ws28Source>(m_sourceContext);
    m_pro2 = std::make_unique<Pro2Source>(m_sourceContext);
    m_choice.setSource(SourceKind::Ws23, m_ws23.get());
    m_choice.setSource(SourceKind::Ws28, m_ws28.get());
    m_choice.setSource(SourceKind::Pro2, m_pro2.get());
    buildMonitor(deps);
    // What a message box would say goes to the status text and the log.
    auto tell = [this](const QString &text) { m_prompts.message(text); };
    m_aprs = std::make_unique<AprsSource>(m_sourceContext);
    m_aprs->setMessageHandler(tell);
    connect(m_aprs.get(), &AprsSource::loginBrowserNeeded, this, &HeadlessStation::loginBrowserRequested);
    m_choice.setSource(SourceKind::Aprs, m_aprs.get());
    m_metar = std::make_unique<MetarSource>(m_sourceContext);
    m_metar->setMessageHandler(tell);
    m_choice.setSource(SourceKind::Metar, m_metar.get());
    connect(&m_models.units, &UnitsModel::changed, this, [this] { m_choice.refreshChosen(); });

    SourceWeatherSpeech::Source weather;
    weather.context = [this] { return weatherContext(); };
    weather.errorLine = [this](SourceKind kind) {
        const WeatherSource *s = m_choice.source(kind);
        return s ? s->errorLine() : QString();
    };
    weather.staleness = [this] { return m_models.message.staleness(); };
    weather.nowDays = [this] { return DateTimeUtil::toDays(m_clock.now()); };
    m_weatherSpeech = std::make_unique<SourceWeatherSpeech>(weather);
    m_engine->setWeather(m_weatherSpeech.get());
}

void HeadlessStation::buildMonitor(const HeadlessDeps &deps)
{
    MonitorStation *station = deps.monitorStation;
    if (!station) {
        m_ownStation = createMonitorStation();
        station = m_ownStation.get();
    }
    m_monitor = std::make_unique<MonitorSource>(station, m_sourceContext);
    MonitorHooks hooks;
    hooks.announcing = [this] { return m_engine->busy(); };
    hooks.portList = [this] {
        // A simulated station answers on COM1, even on a machine without it.
        QStringList ports = m_portList;
        if (simulatedMonitorWanted() && !ports.contains(QStringLiteral("COM1")))
            ports.insert(ports.isEmpty() ? 0 : 1, QStringLiteral("COM1"));
        return ports;
    };
    hooks.timeField = [this] { return ClockText::time(m_clock.now()); };
    hooks.log = [this](const QString &line) { m_engine->addLogEntry(line); };
    hooks.isChosenSource = [this] { return m_choice.chosen() == SourceKind::MonitorII; };
    m_monitor->setHooks(hooks);
    m_choice.setSource(SourceKind::MonitorII, m_monitor.get());
    m_engine->setTopOfHourAction([this](const ClockFields &f) { m_monitor->topOfHour(f); });
}

void HeadlessStation::loginBrowserRequested()
{
    showStatus(kLoginNeedsDesktop);
    if (!m_loginNoted)
        qCWarning(lcSource).noquote() << kLoginNeedsDesktop;
    m_loginNoted = true;
}

void HeadlessStation::declareSourceKeys()
{
    // Each source in its section, the favourites where the desktop's windows put them.
    m_monitor->declareConfig(m_config, ConfigSection::MonitorII);
    m_ws23->declareConfig(m_config, ConfigSection::Ws23);
    m_ws28->declareConfig(m_config, ConfigSection::Ws28);
    m_aprs->declareConfig(m_config, ConfigSection::Aprs);
    m_aprsFavourites.declareConfig(m_config, ConfigSection::Aprs, 230);
    m_metar->declareConfig(m_config, ConfigSection::Metar);
    m_metarFavourites.declareConfig(m_config, ConfigSection::Metar, 230);
    m_pro2->declareConfig(m_config, ConfigSection::Pro2);
}

void HeadlessStation::showStatus(const QString &text)
{
    m_status = text;
}

void HeadlessStation::tickStarting()
{
    if (m_startupPending)
        loadConfiguration();
}

void HeadlessStation::loadConfiguration()
{
    m_engine->stopTicking();
    if (m_iniExistedAtStart) {
        QStringList lines;
        if (TextFile::readLines(ConfigFile::kFile, &lines))
            m_config.apply(lines);
    }
    if (m_logExistedAtStart)
        m_engine->loadLog();
    m_monitor->startUp();
    // The source starts only now, with every one of its keys applied.
    m_choice.applyPendingSource();
    m_engine->player().allocMem();
    // The file is the only record of the volume: set it on the chosen device
    // even when neither it nor the balance moved from its default.
    m_engine->setVolume(m_models.sound.volume(), m_models.sound.balance());
    m_startupPending = false;
    m_engine->armTick();
    emit loaded();
    // The start-up release check runs once the load is over and the clock
    // ticks again, so a slow or absent web site never holds the station's start.
    if (m_releaseCheck && m_models.startup.releaseCheckAtStart())
        QTimer::singleShot(0, this, &HeadlessStation::checkReleaseAtStart);
}

void HeadlessStation::checkReleaseAtStart()
{
    const QString listed = ReleaseCheck::FetchReleaseVersion(ReleaseCheck::kProgramKey);
    const QString own = QStringLiteral(AURAVOX_VERSION);
    const char *when = "release check at start:";
    switch (ReleaseCheck::judgeRelease(listed, own)) {
    case ReleaseCheck::ReleaseVerdict::Newer:
        qCInfo(lcRelease).noquote() << when << ReleaseCheck::newReleaseMessage() << "(the list gives" << listed
                                    << "this is" << own + QLatin1Char(')');
        m_prompts.message(ReleaseCheck::newReleaseMessage());
        break;
    case ReleaseCheck::ReleaseVerdict::UpToDate:
        qCInfo(lcRelease).noquote() << when << "up to date (the list gives" << listed << "this is"
                                    << own + QLatin1Char(')');
        break;
    case ReleaseCheck::ReleaseVerdict::NoVersion:
        qCInfo(lcRelease).noquote() << when << "no version of" << ReleaseCheck::kProgramKey << "found at"
                                    << ReleaseCheck::releaseListAddress();
        break;
    }
}

bool HeadlessStation::save()
{
    if (m_startupPending) {
        qCInfo(lcConfig) << "not saved: the configuration has not been loaded yet";
        return false;
    }
    if (!ConfigFile::save(m_config)) {
        showStatus(ConfigFile::kSaveError);
        return false;
    }
    return true;
}

void HeadlessStation::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_engine->stop();
    if (m_startupPending)
        qCInfo(lcConfig) << "stopped before the configuration was loaded:" << ConfigFile::kFile << "left as it was";
    else
        save();
    // The transmitter is released before the port goes.
    if (m_serial.isOpen())
        m_serial.chooseNoPort(QStringLiteral("program closing"));
    m_engine->closeDevice();
    emit stopped();
}

void HeadlessStation::Links::takeDeferredReading()
{
    m_station.m_monitor->takeDeferredReading();
}

void HeadlessStation::Links::sendSiblingDone()
{
    m_station.m_sibling->sendDone();
}

void HeadlessStation::Links::renewSiblingLink()
{
    if (m_station.m_siblingWanted)
        m_station.m_sibling->renew();
}

void HeadlessStation::Links::recorderStart()
{
    m_station.m_recorder->StartRecorder();
}

void HeadlessStation::Links::recorderStop()
{
    m_station.m_recorder->StopRecorder();
}

StationWebHooks HeadlessStation::webHooks()
{
    StationWebHooks h;
    h.chosenSource = [this] { return m_choice.chosen(); };
    h.activeSource = [this] { return m_choice.activeSource(); };
    h.sourceCaption = [](SourceKind kind) { return sourceCaption(kind); };
    h.hasSource = [this](SourceKind kind) { return m_choice.source(kind) != nullptr; };
    h.snapshot = [this](SourceKind kind) {
        const WeatherSource *s = m_choice.source(kind);
        return s ? s->snapshot() : WeatherSnapshot();
    };
    h.selection = [this](SourceKind kind) {
        const WeatherSource *s = m_choice.source(kind);
        return s ? s->selection() : AnnounceSelection();
    };
    h.errorLine = [this](SourceKind kind) {
        const WeatherSource *s = m_choice.source(kind);
        return s ? s->errorLine() : QString();
    };
    h.chooseSource = [this](SourceKind kind) { m_choice.setChosen(kind); };
    h.setItem = [this](SourceKind kind, WeatherItem item, bool on) {
        if (WeatherSource *s = m_choice.source(kind))
            s->setItemSelected(item, on);
    };
    h.source = [this](SourceKind kind) { return m_choice.source(kind); };
    h.favourites = [this](SourceKind kind) -> Favourites * {
        return kind == SourceKind::Aprs || kind == SourceKind::Metar ? &favourites(kind) : nullptr;
    };
    h.startupPending = [this] { return m_startupPending; };
    h.statusText = [this] { return m_status; };
    h.save = [this] { return save() ? QString() : m_status; };
    return h;
}

WeatherContext HeadlessStation::weatherContext() const
{
    WeatherContext c;
    c.kind = m_choice.activeSource();
    if (const WeatherSource *s = m_choice.source(c.kind)) {
        c.snapshot = s->snapshot();
        c.selection = s->selection();
    }
    c.units = m_units;
    c.limits = m_limits;
    c.sixteenPoints = m_models.message.sixteenPoints();
    return c;
}

} // namespace auravox
