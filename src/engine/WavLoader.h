#pragma once

#include "platform/WaveOutput.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace auravox {

// Where a clip comes from; each kind has its own error texts.
enum class ClipOrigin { File, Resource };

// Every way a clip can fail, in the order the player checks them.
enum class ClipError {
    None,
    Busy,             // a clip is already playing
    Missing,          // no such file (or resource)
    ShortLeading,     // fewer than the 20 leading bytes
    ShortFormat,      // the format chunk is shorter than its length says
    NotPcm,
    NotMonoStereo,
    BadByteRate,      // average bytes per second != samples per second * block align
    ShortChunkId,
    ShortChunkLength,
    ShortChunkBody,
    ChunkReadError,   // input/output error while skipping a chunk
    ShortDataLength,
    NoMemory,
    ShortData,
    DeviceOpen,
    Prepare1,
    Write1,
    Prepare2,
    Write2,
    Prepare3,         // refilling a buffer while the clip plays
    Write3,
    DeviceStopped,    // the device stopped taking audio while the clip played
};

// The status text ("Err: ...") shown for an error of a clip of that origin.
QString clipErrorText(ClipError error, ClipOrigin origin);

struct LoadedClip
{
    PcmFormat format;
    QByteArray samples; // the whole "data" chunk
};

// Reads a RIFF/WAVE stream the way the player accepts it:
// - 20 leading bytes, of which only the format chunk length at offset 16 is used
//   (the tags are not checked);
// - the format chunk: PCM (tag 1), 1 or 2 channels, and a byte rate equal to the
//   sample rate times the block alignment; bits per sample is not checked;
// - any chunk before "data" is skipped, however long, in pieces of at most
//   2048 bytes; a zero pad byte after an odd-sized chunk is passed over;
// - "data" is read whole; anything after it is ignored.
// A format chunk shorter than 16 bytes reads as zeros beyond its end. A data
// length larger than what the stream still holds fails as a short read without
// allocating it. Returns ClipError::None and fills `clip` on success.
ClipError loadWav(QIODevice &in, LoadedClip &clip);

} // namespace auravox
