// libFuzzer target: the WS-23xx history reader on any file content.

#include "HistoryFuzz.h"
#include "stations/Ws23History.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = auravox::fuzz::inputFile(data, size, QStringLiteral("history.dat"));
    auravox::fuzz::readBothWays(auravox::Ws23Settings{}, [&](const auto &settings, auto &s, auto &d) {
        auravox::readWs23History(path, settings, s, d);
    });
    return 0;
}
