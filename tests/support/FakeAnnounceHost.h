#pragma once

#include "engine/AnnounceHooks.h"

#include <QDateTime>
#include <QStringList>

namespace auravox::test {

// The main window's part, as plain values.
struct FakeHost final : AnnounceHost
{
    MessageChoices messageChoices() const override { return choices; }
    bool startupPending() const override { return pending; }
    void showStatus(const QString &text) override { status = text; }
    QString statusText() const override { return status; }
    void setPlayEnabled(bool enabled) override { playEnabled = enabled; }
    void setSoundCardOkEnabled(bool enabled) override { soundCardOkEnabled = enabled; }
    void tickStarting() override { ++ticks; }
    void showClock(const QDateTime &now) override { clockShown = now; }
    void showLineStates(bool dcdOn, const QString &cts, const QString &dsr) override
    {
        lineStates << QStringLiteral("DCD=%1 %2 %3").arg(dcdOn ? "On" : "Off", cts, dsr).trimmed();
    }
    void showLog(const QStringList &lines) override { logShown = lines; }

    MessageChoices choices;
    bool pending = false;
    QString status;
    bool playEnabled = true;
    bool soundCardOkEnabled = false;
    int ticks = 0;
    QDateTime clockShown;
    QStringList lineStates;
    QStringList logShown;
};

} // namespace auravox::test
