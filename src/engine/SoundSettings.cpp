#include "engine/SoundSettings.h"

#include "common/ConfigKeys.h"
#include "engine/Announcer.h"
#include "engine/VolumeControl.h"

#include <algorithm>

namespace auravox {

SoundSettings::SoundSettings(QObject *parent) : QObject(parent) {}

template <typename T> void SoundSettings::update(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    emit changed();
}

void SoundSettings::setSystemDevice(bool on)
{
    update(m_system, on);
}

void SoundSettings::setDevice(int device)
{
    update(m_device, std::max(device, kNoDevice));
}

void SoundSettings::setVolume(int position)
{
    update(m_volume, std::clamp(position, 0, Volume::kPositions));
}

void SoundSettings::setBalance(int balance)
{
    update(m_balance, std::clamp(balance, -100, 100));
}

void SoundSettings::setMaxVolume(int level)
{
    update(m_maxVolume, std::clamp(level, 0, 100));
}

void SoundSettings::setVoiceFolder(const QString &folder)
{
    update(m_voiceFolder, folder);
}

void SoundSettings::bindEngine(Announcer &engine)
{
    auto apply = [this, &engine] {
        if (engine.player().selectedDevice() != effectiveDevice())
            engine.player().setSelectedDevice(effectiveDevice());
        if (engine.voiceFolder() != m_voiceFolder)
            engine.setVoiceFolder(m_voiceFolder);
        engine.setVolume(m_volume, m_balance);
    };
    connect(this, &SoundSettings::changed, &engine, apply);
}

void SoundSettings::declareConfig(ConfigRegistry &r)
{
    using CS = QStringList;
    const int A = ConfigSection::Announcement;
    r.add(ConfigKeys::number(
        A, 210, "BALANCE=", [this] { return CS{QStringLiteral("BALANCE=%1").arg(m_balance)}; },
        [this](int n) { setBalance(n); }));
    r.add(ConfigKeys::number(
        A, 220, "VOLUME=", [this] { return CS{QStringLiteral("VOLUME=%1").arg(m_volume)}; },
        [this](int n) { setVolume(n); }));
    r.add(ConfigKeys::number(
        A, 230, "MAXVOLUME=", [this] { return CS{QStringLiteral("MAXVOLUME=%1").arg(m_maxVolume)}; },
        [this](int n) { setMaxVolume(n); }));
    r.add(ConfigKeys::number(
        ConfigSection::Sound, 10, "OSOUND=", [this] { return CS{QStringLiteral("OSOUND=%1").arg(effectiveDevice())}; },
        [this](int n) {
            // Only a device number chooses a card: a garbled value keeps the
            // system's choice, rather than "I choose" with no card chosen.
            if (n < 0)
                return;
            setSystemDevice(false);
            setDevice(n);
        }));
    r.add(ConfigKeys::make(
        ConfigSection::Voice, 10, "VOICE_FOLDER=",
        [this] { return m_voiceFolder.isEmpty() ? CS() : CS{QStringLiteral("VOICE_FOLDER=") + m_voiceFolder}; },
        [this](const QString &v) { setVoiceFolder(v); }));
}

} // namespace auravox
