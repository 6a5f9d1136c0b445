// libFuzzer target: the WAV loader must refuse any byte string cleanly.

#include "engine/WavLoader.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    auravox::LoadedClip clip;
    const auravox::ClipError error = auravox::loadWav(buffer, clip);
    if (error == auravox::ClipError::None) {
        // Whatever was accepted is consistent with what the stream held.
        if (clip.samples.size() > bytes.size())
            __builtin_trap();
        if (clip.format.channels % 256 != 1 && clip.format.channels % 256 != 2)
            __builtin_trap();
    }
    return 0;
}
