#include "playback/wav_header.h"

#include <cstring>

namespace {

// Bytes of the 16-byte form, of WAVEFORMATEX, and of WAVEFORMATEXTENSIBLE.
constexpr uint32_t kPlainFormatBytes = 16;
constexpr uint32_t kFormatExBytes = 18;
constexpr uint32_t kExtensibleBytes = 40;
// cbSize is 16 bits wide, so no honest format chunk is longer than this.
constexpr uint32_t kMaxFormatBytes = kFormatExBytes + 0xFFFF;
// A file with more chunks than this before its format is not judged.
constexpr int kMaxChunks = 256;
// The tail every sub-format GUID of the PCM family shares, from byte 4 on.
const uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                    0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Dword(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadAll(const ByteReader* reader, uint8_t* out, uint32_t count) {
    return reader->read(reader->context, out, count) == static_cast<int64_t>(count);
}

bool IsPcm(const WavFormat& format) {
    return (format.formatTag == WAV_FORMAT_EXTENSIBLE ? format.subFormat : format.formatTag) == WAV_FORMAT_PCM;
}

WavVerdict ReadFormatChunk(const ByteReader* reader, uint32_t size, WavFormat* format) {
    format->chunkBytes = size;
    if (size < kPlainFormatBytes || size > kMaxFormatBytes) return WAV_IMPOSSIBLE;
    uint8_t bytes[kExtensibleBytes] = {};
    const uint32_t wanted = size < kExtensibleBytes ? size : kExtensibleBytes;
    // A chunk cut off by the end of the file is as unplayable as a wrong one.
    if (!ReadAll(reader, bytes, wanted)) return WAV_IMPOSSIBLE;
    format->formatTag = Word(bytes);
    format->channels = Word(bytes + 2);
    format->sampleRate = Dword(bytes + 4);
    format->byteRate = Dword(bytes + 8);
    format->blockAlign = Word(bytes + 12);
    format->bitsPerSample = Word(bytes + 14);
    if (size >= kFormatExBytes) {
        format->extraBytes = Word(bytes + 16);
        // A decoder copies cbSize bytes from behind the fixed fields; plain
        // PCM has none to copy, and writers often leave the word unset.
        if (format->formatTag != WAV_FORMAT_PCM && kFormatExBytes + format->extraBytes > size) {
            return WAV_IMPOSSIBLE;
        }
    }
    if (format->formatTag == WAV_FORMAT_EXTENSIBLE) {
        if (size < kExtensibleBytes || format->extraBytes < kExtensibleBytes - kFormatExBytes) {
            return WAV_IMPOSSIBLE;
        }
        if (std::memcmp(bytes + 28, kSubFormatTail, sizeof(kSubFormatTail)) == 0) {
            format->subFormat = Word(bytes + 24);
        }
    }
    return WavFormatPossible(*format) ? WAV_PLAYABLE : WAV_IMPOSSIBLE;
}

}  // namespace

bool WavFormatPossible(const WavFormat& format) {
    if (format.channels == 0 || format.channels > WAV_MAX_CHANNELS) return false;
    // A rate of 0 opens, but its play fails at once and no end ever comes.
    if (format.sampleRate == 0 || format.blockAlign == 0) return false;
    // The byte rate is only a hint, left at 0 by encoders that stream.
    return !IsPcm(format) || format.bitsPerSample >= 8;
}

WavVerdict CheckWavHeader(const ByteReader* reader, WavFormat* format) {
    WavFormat local = {};
    WavFormat* out = format ? format : &local;
    *out = WavFormat{};
    uint8_t riff[12];
    if (!ReadAll(reader, riff, sizeof(riff))) return WAV_NOT_WAVE;
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return WAV_NOT_WAVE;
    }
    // The RIFF size is not trusted: writers that stream leave it 0 or full.
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        uint8_t header[8];
        const int64_t got = reader->read(reader->context, header, sizeof(header));
        if (got < 0) return WAV_NOT_WAVE;
        // The chunks ran out without a format: nothing says how to play it.
        if (got < static_cast<int64_t>(sizeof(header))) return WAV_IMPOSSIBLE;
        const uint32_t size = Dword(header + 4);
        if (std::memcmp(header, "fmt ", 4) == 0) return ReadFormatChunk(reader, size, out);
        // Chunks start on even offsets; an odd size is followed by a pad byte.
        const int64_t skip = static_cast<int64_t>(size) + (size & 1);
        if (!reader->seek(reader->context, skip, READER_FROM_CURRENT)) return WAV_NOT_WAVE;
    }
    return WAV_NOT_WAVE;
}
