#pragma once

#include "web/StationSettings.h"

#include <QJsonObject>
#include <QStringList>

namespace auravox {

// What the station page reads from and does to the running program. The
// program's windows implement it; the server never touches a window itself.
class StationView
{
public:
    virtual ~StationView() = default;

    // The live state: clock, version, schedule, lines, status field, weather,
    // the settings the page may change.
    virtual QJsonObject status() = 0;
    // The last lines of "auravox.log".
    virtual QStringList logBook(int lines) = 0;
    // A click on "Play the message " as a user makes it (nothing when the
    // button is disabled). True when it was clicked.
    virtual bool clickPlay() = 0;
    // Applies a change through the windows' controls, as clicks, then saves
    // the configuration as the window does. Empty, or the error shown.
    virtual QString applySettings(const SettingsChange &change) = 0;
    // The chosen weather source (items are checked against it).
    virtual SourceKind chosenSource() const = 0;
    // The revision of what status() shows about the settings and the log book.
    virtual qint64 logBookRevision() const = 0;
};

} // namespace auravox
