// libFuzzer target: the WS-28xx history reader on any file content, with the
// absolute and the relative pressure.

#include "HistoryFuzz.h"
#include "stations/Ws28History.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = auravox::fuzz::inputFile(data, size, QStringLiteral("history.dat"));
    for (bool absolute : {true, false}) {
        auravox::Ws28Settings settings;
        settings.absolutePressure = absolute;
        auravox::fuzz::readBothWays(settings, [&](const auto &way, auto &s, auto &d) {
            auravox::readWs28History(path, way, s, d);
        });
    }
    return 0;
}
