#pragma once

#include "engine/VolumeControl.h"

#include <QObject>
#include <QString>

namespace auravox {

class Announcer;
class ConfigRegistry;

// The sound card choice, the volume and balance, the level gauge and the
// operator's voice folder (BALANCE=, VOLUME=, MAXVOLUME=, OSOUND=, VOICE_FOLDER=).
class SoundSettings final : public QObject
{
    Q_OBJECT
public:
    static constexpr int kNoDevice = -1;

    explicit SoundSettings(QObject *parent = nullptr);

    // The system's card, or the program's own choice among the devices.
    bool systemDevice() const { return m_system; }
    int device() const { return m_device; }
    void setSystemDevice(bool on);
    void setDevice(int device);
    // The device the player uses: the system's (-1) or the chosen one.
    int effectiveDevice() const { return m_system ? kNoDevice : m_device; }
    int volume() const { return m_volume; }
    void setVolume(int position); // brought into 0..10, 0 the loudest
    int balance() const { return m_balance; }
    void setBalance(int balance); // brought into -100..100
    int maxVolume() const { return m_maxVolume; }
    void setMaxVolume(int level); // brought into 0..100
    QString voiceFolder() const { return m_voiceFolder; }
    void setVoiceFolder(const QString &folder);

    void declareConfig(ConfigRegistry &registry);
    // Without a window: the engine follows every change at once (the main
    // window does it through its own slider and panel instead).
    void bindEngine(Announcer &engine);

signals:
    void changed();

private:
    template <typename T> void update(T &field, const T &value);

    bool m_system = true;
    int m_device = kNoDevice;
    int m_volume = Volume::kDefaultPosition;
    int m_balance = 0;
    int m_maxVolume = 70;
    QString m_voiceFolder;
};

} // namespace auravox
