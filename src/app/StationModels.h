#pragma once

#include "app/StartupSettings.h"
#include "common/PlacementSettings.h"
#include "engine/MessageSettings.h"
#include "engine/SoundSettings.h"
#include "peers/RecorderSettings.h"
#include "transmitter/PortSettings.h"
#include "weather/UnitsModel.h"
#include "web/StationSettings.h"

namespace auravox {

class ConfigRegistry;

// Every setting of the program outside the weather sources, one model each:
// the windows show and edit them, the station page edits the same ones, and
// "auravox.ini" is read into and written from them.
struct StationModels
{
    // `units` are the values the sources and the speech read.
    StationModels(const QString &programPath, UnitSettings &unitValues) : startup(programPath), units(unitValues) {}

    MessageSettings message;
    SoundSettings sound;
    PlacementSettings placement;
    StartupSettings startup;
    UnitsModel units;
    PortSettings port;
    RecorderSettings recorder;
    WebListenSettings web;

    // Every key of these models, in their places of the file.
    void declareConfig(ConfigRegistry &registry)
    {
        message.declareConfig(registry);
        recorder.declareConfig(registry);
        startup.declareConfig(registry);
        sound.declareConfig(registry);
        placement.declareConfig(registry);
        units.declareConfig(registry);
        port.declareConfig(registry);
        web.declareConfig(registry);
    }
};

} // namespace auravox
