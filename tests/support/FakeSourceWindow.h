#pragma once

#include "weather/ui/WeatherSourceWindow.h"

#include <QTimer>

#include <functional>

namespace auravox::test {

// A source window whose reading is whatever the test says.
class FakeSourceWindow final : public WeatherSourceWindow
{
public:
    FakeSourceWindow(SourceKind kind, const SourceWindowContext &context)
        : WeatherSourceWindow(kind, QStringLiteral("Test source"), QStringLiteral("W23_"), true, context)
    {
    }

    void takeReading() override
    {
        ++readings;
        if (read)
            read(snapshot());
        timer()->start(); // as the readers do at the end of a reading
    }
    void closeDataFile() override { ++fileCloses; }

    std::function<void(WeatherSnapshot &)> read;
    int readings = 0;
    int fileCloses = 0;
};

} // namespace auravox::test
