// The check of a wave file's RIFF and format chunks, free of platform calls
// like the MP3 frame walk. It refuses only what no device can play and what
// is known to crash or hang the system's wave driver; every other oddity
// (byte rates of 0 or that disagree with the block, rates far outside the
// usual, depths no codec uses) is the device's to judge, since real encoders
// write such fields and devices play those files or refuse them cleanly.
#pragma once
#include <cstdint>

#include "playback/mp3_frame_walk.h"

enum WavVerdict : int32_t {
    WAV_NOT_WAVE = 0,    // not RIFF/WAVE, or unreadable: the device decides
    WAV_PLAYABLE = 1,    // nothing in the format is known to break a driver
    WAV_IMPOSSIBLE = 2,  // unplayable or harmful to the driver: the open fails
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

constexpr uint16_t WAV_FORMAT_PCM = 1;
constexpr uint16_t WAV_FORMAT_EXTENSIBLE = 0xFFFE;
// The wave driver plays 32 channels of PCM; with 33 its play never ends and
// the close waits for it, and larger counts (64, 255) crash the devices.
constexpr uint16_t WAV_MAX_CHANNELS = 32;

// False for no channels or more than the driver takes, a rate of 0, a block
// align of 0 (the driver divides by it for every format), and PCM, plain or
// extensible, whose samples are narrower than a byte (the driver derives
// PCM's block from channels and bits, and divides by that).
bool WavFormatPossible(const WavFormat& format);

// Reads the RIFF header from the reader's current position (the start of
// the file), walks the chunks to the format chunk and judges it. format, if
// not null, receives the fields read. Reads at most a few dozen bytes per
// chunk and allocates nothing.
WavVerdict CheckWavHeader(const ByteReader* reader, WavFormat* format);
