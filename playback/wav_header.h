// The check of a wave file's RIFF and format chunks, free of platform calls
// like the MP3 frame walk: a format no device can play is refused before the
// system's wave driver divides by its fields or sizes buffers from them.
#pragma once
#include <cstdint>

#include "playback/mp3_frame_walk.h"

enum WavVerdict : int32_t {
    WAV_NOT_WAVE = 0,    // not RIFF/WAVE, or unreadable: the device decides
    WAV_PLAYABLE = 1,    // the format chunk is possible and self-consistent
    WAV_IMPOSSIBLE = 2,  // no device can play it: the open fails
};

// The fields of a format chunk (WAVEFORMATEX and its extension).
struct WavFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t byteRate;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraBytes;  // cbSize, 0 when the chunk is the 16-byte form
    uint16_t subFormat;   // first word of the extensible sub-format GUID, else 0
    uint32_t chunkBytes;  // size the format chunk declares
};

// Format tags the check knows in full.
constexpr uint16_t WAV_FORMAT_PCM = 1;
constexpr uint16_t WAV_FORMAT_FLOAT = 3;
constexpr uint16_t WAV_FORMAT_EXTENSIBLE = 0xFFFE;
// Rates outside this range are not audio any output plays.
constexpr uint32_t WAV_MIN_RATE = 1000;
constexpr uint32_t WAV_MAX_RATE = 384000;
constexpr uint16_t WAV_MAX_CHANNELS = 32;

// Whether format could describe audio: channels, rate and the sizes every
// format needs, and for linear samples (PCM, float, or either of them
// extensible) the depth and the block and byte rates that follow from it.
// Other compressed formats are judged on the common fields only.
bool WavFormatPossible(const WavFormat& format);

// Reads the RIFF header from the reader's current position (the start of
// the file), walks the chunks to the format chunk and judges it. format, if
// not null, receives the fields read. Reads at most a few dozen bytes per
// chunk and allocates nothing.
WavVerdict CheckWavHeader(const ByteReader* reader, WavFormat* format);
