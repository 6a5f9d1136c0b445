#pragma once

#include "weather/ui/WeatherSourceWindow.h"

#include <QTimer>

#include <functional>

namespace auravox::test {

// A source whose reading is whatever the test says.
class FakeSource final : public WeatherSource
{
public:
    FakeSource(SourceKind kind, const SourceContext &context)
        : WeatherSource(kind, QStringLiteral("Test source"), QStringLiteral("W23_"), context)
    {
    }

    void takeReading() override
    {
        ++readings;
        if (read)
            read(snapshot());
        timer()->start(); // as the readers do at the end of a reading
    }

    std::function<void(WeatherSnapshot &)> read;
    int readings = 0;
};

// Built before the window, which shows it.
struct FakeSourceHolder
{
    FakeSourceHolder(SourceKind kind, const SourceContext &context) : fakeSource(kind, context) {}
    FakeSource fakeSource;
};

// A source window over a FakeSource.
class FakeSourceWindow final : private FakeSourceHolder, public WeatherSourceWindow
{
public:
    FakeSourceWindow(SourceKind kind, const SourceWindowContext &context)
        : FakeSourceHolder(kind, context), WeatherSourceWindow(fakeSource, true, context)
    {}

    void closeDataFile() override { ++fileCloses; }

    std::function<void(WeatherSnapshot &)> &read = fakeSource.read;
    int &readings = fakeSource.readings;
    int fileCloses = 0;
};

} // namespace auravox::test
