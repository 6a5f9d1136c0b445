#include "engine/Announcer.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "platform/WaveOutput.h"

#include <QFileInfo>
#include <QTimer>

namespace auravox {

namespace {
QTimer *namedTimer(QObject *parent, const char *name, int intervalMs)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    return timer;
}

ClipCatalogue makeCatalogue(const QString &folder)
{
    return folder.isEmpty() ? ClipCatalogue() : ClipCatalogue(folder);
}
} // namespace

Announcer::Announcer(const AnnouncerDeps &deps, AnnounceHost &host, QObject *parent)
    : QObject(parent), m_host(host), m_clock(*deps.clock), m_output(*deps.waveOutput),
      m_catalogue(makeCatalogue(deps.clipFolder)), m_timerSeconde(namedTimer(this, "TimerSeconde", 500)),
      m_timerSecurite(namedTimer(this, "TimerSecurite", AnnounceMachine::kWatchdogMs)),
      m_timerFinWave(namedTimer(this, "TimerFinWave", 120000)),
      m_player(*deps.waveOutput, m_catalogue, m_clock, *deps.prompts, *this, this),
      m_machine(host, m_player, m_clock, *m_timerSecurite, m_fields)
{
    setObjectName(QStringLiteral("Announcer"));
    // Each tick arms the next one for just after the next whole second, so the
    // time field and the scheduled announcements come on the second.
    m_timerSeconde->setSingleShot(true);
    m_timerSeconde->setTimerType(Qt::PreciseTimer);
    connect(m_timerSeconde, &QTimer::timeout, this, &Announcer::tick);
    connect(m_timerSecurite, &QTimer::timeout, this, &Announcer::watchdogTimeout);
    connect(m_timerFinWave, &QTimer::timeout, this, &Announcer::clipEndTimeout);
}

Announcer::~Announcer() = default;

// ---- the tick

void Announcer::startTicking()
{
    m_timerSeconde->start();
}

void Announcer::armTick()
{
    // Measured on the wall clock at every tick, so a clock stepped by NTP or by
    // hand puts the next tick on its new second. The timer itself runs on the
    // monotonic clock.
    const int intoSecond = m_clock.now().time().msec();
    m_timerSeconde->start(1000 - intoSecond + kTickLagMs);
}

void Announcer::stopTicking()
{
    m_timerSeconde->stop();
}

void Announcer::tick()
{
    // Armed first, so that nothing this tick runs can hold the next one.
    armTick();
    m_host.tickStarting();

    // No processing of pending events here: an announcement step run from
    // inside the tick would hold the clock for as long as its waits last.
    const QDateTime now = m_clock.now();
    m_host.showClock(now);
    m_fields = ClockFields::from(now);
    if (m_fields.minute == 0 && m_topOfHour)
        m_topOfHour(m_fields);
    // Every tick, whatever the schedule decides: lines that another program
    // raised go down within a second.
    if (!m_machine.busy())
        m_port->guardIdleLines();

    switch (m_scheduler.tick(m_fields, m_machine.busy(), now.toSecsSinceEpoch() / 60)) {
    case Scheduler::TickAction::Announce:
        postAnnouncement(AnnounceOrigin::Schedule);
        break;
    case Scheduler::TickAction::PollLines:
        pollLines();
        break;
    case Scheduler::TickAction::Nothing:
        break;
    }
}

void Announcer::pollLines()
{
    if (!m_port->isOpen() || m_machine.busy())
        return;
    const LinePollResult r =
        auravox::pollLines(m_port->modemStatus(), m_port->startOnCts(), m_port->startOnDsr(), m_machine.lines());
    m_host.showLineStates(r.dcdOn, r.ctsCaption.value_or(QString()), r.dsrCaption.value_or(QString()));
    if (r.startAnnouncement)
        postAnnouncement(r.startLine);
}

// ---- announcements

void Announcer::run()
{
    m_machine.run();
}

void Announcer::postAnnouncement(AnnounceOrigin origin)
{
    // The tick only decides. The announcement's waits (the pause, the 300 ms
    // PTT lead, the recorder's start) then run from the event loop and not
    // inside the tick's handler, where its timer could not fire again: the
    // clock fields go on changing during them.
    QMetaObject::invokeMethod(
        this,
        [this, origin] {
            if (m_stopped)
                return;
            m_machine.setStartOrigin(origin);
            run();
        },
        Qt::QueuedConnection);
}

void Announcer::watchdogTimeout()
{
    const bool wasBusy = m_machine.busy();
    m_machine.watchdogReset();
    // A stalled or failed announcement never leaves the transmitter keyed.
    if (wasBusy && !m_machine.busy())
        m_port->release(QStringLiteral("watchdog reset"));
}

void Announcer::clipEndTimeout()
{
    m_machine.clipEnded();
}

void Announcer::setTransmitter(TransmitterPort *port)
{
    m_port = port ? port : &m_noPort;
    m_machine.setTransmitter(m_port);
}

// ---- the voice and the sound card

void Announcer::setVoiceFolder(const QString &folder)
{
    m_catalogue.setVoiceFolder(folder);
    m_player.forgetRefusedVoiceFiles();
    if (folder.isEmpty())
        qCInfo(lcAudio) << "voice: the built-in clips";
    else if (!QFileInfo(folder).isDir())
        qCWarning(lcAudio).noquote() << "voice folder" << folder << "not found: the built-in clips are played";
    else
        qCInfo(lcAudio).noquote() << "voice folder" << folder << "stands in for the built-in clips it has";
}

QStringList Announcer::deviceNames(bool *ok) const
{
    QStringList names;
    *ok = true;
    const int count = m_output.deviceCount();
    for (int device = 0; device < count; ++device) {
        const QString name = m_output.deviceName(device, ok);
        if (!*ok)
            break;
        names << name.left(32);
    }
    return names;
}

void Announcer::setVolume(int position, int balance)
{
    m_output.setVolume(m_player.selectedDevice(), Volume::forPosition(position, balance));
}

Volume::ReadBack Announcer::volume(int balance) const
{
    return Volume::readBack(m_output.volume(m_player.selectedDevice()), balance);
}

// ---- the log

void Announcer::addLogEntry(const QString &text)
{
    m_log.add(m_clock.now(), text, kLogFile);
    m_host.showLog(m_log.lines());
}

bool Announcer::loadLog()
{
    return m_log.load(kLogFile);
}

// ---- the close

void Announcer::stop()
{
    m_stopped = true;
    m_timerSeconde->stop();
    m_player.clearFlags();
}

void Announcer::closeDevice()
{
    m_player.stopDevice();
    m_player.freeUnlock();
}

} // namespace auravox
