// Frame-header scan of MP3 files for an accurate length of VBR streams.
#pragma once
#include <cstdint>

struct BlockSource;  // playback/mp3_frame_walk.h

struct Mp3ScanResult {
    int32_t valid;
    uint32_t frameCount;
    uint32_t minBitrate;
    uint32_t maxBitrate;
    double durationMs;
};

// Opens path and walks its frame headers; buffer (65536 bytes) may be null.
// Returns true exactly when result->valid is set. Runs on the playback thread.
bool ScanMp3Stream(const wchar_t* path, Mp3ScanResult* result, uint8_t* buffer);

// Reads of an open file handle at absolute offsets, for the readers of the
// platform-free checks.
BlockSource FileBlockSource(void* file);
