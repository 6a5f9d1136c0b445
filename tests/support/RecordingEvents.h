#pragma once

#include "engine/ClipPlayer.h"

#include <QStringList>

namespace auravox::test {

// What a clip player reported to its owner: the status texts, and how many
// failures, clip ends and terminate requests.
struct RecordingEvents final : PlayerEvents
{
    QStringList statuses;
    int failures = 0;
    int ends = 0;
    int terminates = 0;
    void showPlayerStatus(const QString &text) override { statuses << text; }
    void playerFailed() override { ++failures; }
    void clipEnded() override { ++ends; }
    void requestTerminate() override { ++terminates; }
};

} // namespace auravox::test
