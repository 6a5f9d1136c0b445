#pragma once

#include "stations/MonitorStation.h"

#include <QStringList>

#include <functional>

namespace auravox::test {

// A Monitor II station library that answers what the test sets and records
// every call.
class FakeMonitorStation final : public MonitorStation
{
public:
    int OpenCommPort(int port, int baud) override
    {
        record(QStringLiteral("OpenCommPort %1 %2").arg(port).arg(baud));
        open = openResult == 1;
        openPort = open ? port : 0;
        return openResult;
    }
    void CloseCommPort() override
    {
        record(QStringLiteral("CloseCommPort"));
        open = false;
    }
    double GetDllVersion() override { return record(QStringLiteral("GetDllVersion")), version; }
    double GetInsideTemp() override { return record(QStringLiteral("GetInsideTemp")), insideF; }
    double GetOutsideTemp() override { return record(QStringLiteral("GetOutsideTemp")), outsideF; }
    double GetBarometer() override { return record(QStringLiteral("GetBarometer")), barometerInHg; }
    quint8 GetBarometerTrend() override { return record(QStringLiteral("GetBarometerTrend")), trend; }
    double GetWindSpeed() override
    {
        record(QStringLiteral("GetWindSpeed"));
        if (!windSequence.isEmpty())
            windMph = windSequence.takeFirst();
        return windMph;
    }
    int GetWindDirection() override { return record(QStringLiteral("GetWindDirection")), direction; }

    int openResult = 1;
    bool open = false;
    int openPort = 0;
    double version = 2.5;
    double insideF = 68;
    double outsideF = 50;
    double barometerInHg = 29.92;
    quint8 trend = 0;
    double windMph = 10;
    QList<double> windSequence; // taken one per reading, before windMph
    int direction = 225;
    QStringList calls;
    std::function<void(const QString &call)> onCall;

    // The reading calls made (everything but open and close).
    int readingCalls() const
    {
        int n = 0;
        for (const QString &c : calls)
            n += c.startsWith(QLatin1String("Get")) ? 1 : 0;
        return n;
    }

private:
    void record(const QString &call)
    {
        calls << call;
        if (onCall)
            onCall(call);
    }
};

} // namespace auravox::test
