#include "engine/WavLoader.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <new>

namespace auravox {

namespace {

constexpr qsizetype kScratchSize = 2048;
constexpr qsizetype kLeadingSize = 20;

quint16 le16(const char *p) { return qFromLittleEndian<quint16>(p); }
quint32 le32(const char *p) { return qFromLittleEndian<quint32>(p); }

enum class SkipResult { Done, Short, IoError };

// Reads and discards `length` bytes through the scratch buffer, piece by piece.
SkipResult skipBytes(QIODevice &in, quint64 length, char *scratch)
{
    while (length > 0) {
        const qint64 want = static_cast<qint64>(std::min<quint64>(length, kScratchSize));
        const qint64 got = in.read(scratch, want);
        if (got < 0)
            return SkipResult::IoError;
        if (got < want)
            return SkipResult::Short;
        length -= static_cast<quint64>(got);
    }
    return SkipResult::Done;
}

// RIFF chunks are word aligned: an odd-sized chunk is followed by a zero pad
// byte, which some writers leave out. A chunk id never starts with a zero byte,
// so a zero here can only be padding.
void skipPadByte(QIODevice &in, quint64 chunkLength)
{
    if ((chunkLength & 1u) == 0)
        return;
    char c = 1;
    if (in.peek(&c, 1) == 1 && c == 0)
        in.read(&c, 1);
}

} // namespace

QString clipErrorText(ClipError error, ClipOrigin origin)
{
    const bool file = origin == ClipOrigin::File;
    switch (error) {
    case ClipError::None: return {};
    case ClipError::Busy: return file ? QStringLiteral("Err: Wave file") : QStringLiteral("Err: Res Wave");
    case ClipError::Missing: return file ? QStringLiteral("Err: Wave file name") : QStringLiteral("Err: Res Wave");
    case ClipError::ShortLeading: return file ? QStringLiteral("Err: wave file") : QStringLiteral("Err: Res Wave");
    case ClipError::ShortFormat:
        return file ? QStringLiteral("Err: Reading wave file") : QStringLiteral("Err: Reading Res wave");
    case ClipError::NotPcm: return file ? QStringLiteral("Err: none PCM file") : QStringLiteral("Err: Res none PCM");
    case ClipError::NotMonoStereo:
        return file ? QStringLiteral("Err: none mono/stereo file") : QStringLiteral("Err: Res none mono/stereo");
    case ClipError::BadByteRate:
        return file ? QStringLiteral("Err: Wave file format") : QStringLiteral("Err: Res wave format");
    case ClipError::ShortChunkId:
        return file ? QStringLiteral("Err: Header wave file") : QStringLiteral("Err: Res wave header");
    case ClipError::ShortChunkLength:
        return file ? QStringLiteral("Err: chunk wave file") : QStringLiteral("Err: Chunk Res wave");
    case ClipError::ShortChunkBody:
        return file ? QStringLiteral("Err: chunk2 wave file") : QStringLiteral("Err: chunk2 Res wave");
    case ClipError::ChunkReadError:
        return file ? QStringLiteral("Err: Wave file data") : QStringLiteral("Err: Res wave data");
    case ClipError::ShortDataLength:
        return file ? QStringLiteral("Err: Reading(2) wave file") : QStringLiteral("Err: Reading(2) Res wave");
    case ClipError::NoMemory: return QStringLiteral("Err: Not enough memory");
    case ClipError::ShortData:
        return file ? QStringLiteral("Err: Reading(3) wave file") : QStringLiteral("Err: Reading(3) Res wave");
    case ClipError::DeviceOpen:
        return file ? QStringLiteral("Err: Opening sound card") : QStringLiteral("Err: WaveOutOpen");
    case ClipError::Prepare1: return file ? QStringLiteral("Err: PrepareHeader1") : QStringLiteral("Err: Prepareheader1");
    case ClipError::Write1: return file ? QStringLiteral("Err: WaveOutWrite1") : QStringLiteral("Err: waveOutWrite1");
    case ClipError::Prepare2: return file ? QStringLiteral("Err: PrepareHeader2") : QStringLiteral("Err: Prepareheader2");
    case ClipError::Write2: return file ? QStringLiteral("Err: WaveOutWrite2") : QStringLiteral("Err: waveOutWrite2");
    case ClipError::Prepare3: return QStringLiteral("Err: prepare hdr3 wave");
    case ClipError::Write3: return QStringLiteral("Err: wave_out_write3 wave");
    case ClipError::DeviceStopped: return QStringLiteral("Err: Sound card stopped");
    }
    return {};
}

ClipError loadWav(QIODevice &in, LoadedClip &clip)
{
    std::array<char, kScratchSize> scratch{};

    if (in.read(scratch.data(), kLeadingSize) < kLeadingSize)
        return ClipError::ShortLeading;
    const quint32 formatLength = le32(scratch.data() + 16);

    // The format chunk: its first 16 bytes are what matters; a longer chunk
    // (WAVE_FORMAT_EXTENSIBLE, or a damaged length) is read past in pieces.
    scratch.fill(0);
    const qint64 head = std::min<qint64>(formatLength, kScratchSize);
    const qint64 gotHead = in.read(scratch.data(), head);
    if (gotHead < head)
        return ClipError::ShortFormat;
    if (formatLength > static_cast<quint32>(kScratchSize)) {
        std::array<char, kScratchSize> rest{};
        if (skipBytes(in, formatLength - kScratchSize, rest.data()) != SkipResult::Done)
            return ClipError::ShortFormat;
    }
    skipPadByte(in, formatLength);

    const quint16 formatTag = le16(scratch.data());
    const quint16 channels = le16(scratch.data() + 2);
    const quint32 samplesPerSecond = le32(scratch.data() + 4);
    const quint32 averageBytes = le32(scratch.data() + 8);
    const quint16 blockAlign = le16(scratch.data() + 12);
    const quint16 bitsPerSample = le16(scratch.data() + 14);

    if ((formatTag & 0xFF) != 1)
        return ClipError::NotPcm;
    if ((channels & 0xFF) != 1 && (channels & 0xFF) != 2)
        return ClipError::NotMonoStereo;
    if (static_cast<quint64>(averageBytes) != static_cast<quint64>(samplesPerSecond) * blockAlign)
        return ClipError::BadByteRate;

    clip.format.channels = channels;
    clip.format.samplesPerSecond = samplesPerSecond;
    clip.format.averageBytesPerSecond = averageBytes;
    clip.format.blockAlign = blockAlign;
    clip.format.bitsPerSample = bitsPerSample;

    for (;;) {
        char id[4];
        if (in.read(id, 4) < 4)
            return ClipError::ShortChunkId;
        char lengthBytes[4];
        const bool isData = id[0] == 'd' && id[1] == 'a' && id[2] == 't' && id[3] == 'a';
        if (in.read(lengthBytes, 4) < 4)
            return isData ? ClipError::ShortDataLength : ClipError::ShortChunkLength;
        const quint32 length = le32(lengthBytes);
        if (!isData) {
            switch (skipBytes(in, length, scratch.data())) {
            case SkipResult::Short: return ClipError::ShortChunkBody;
            case SkipResult::IoError: return ClipError::ChunkReadError;
            case SkipResult::Done: break;
            }
            skipPadByte(in, length);
            continue;
        }
        // A damaged length must not make us reserve gigabytes for a short file.
        if (!in.isSequential() && static_cast<qint64>(length) > in.size() - in.pos())
            return ClipError::ShortData;
        try {
            clip.samples = QByteArray(static_cast<qsizetype>(length), Qt::Uninitialized);
        } catch (const std::bad_alloc &) {
            return ClipError::NoMemory;
        }
        if (in.read(clip.samples.data(), length) < static_cast<qint64>(length)) {
            clip.samples.clear();
            return ClipError::ShortData;
        }
        return ClipError::None;
    }
}

} // namespace auravox
