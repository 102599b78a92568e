// The MP3 frame-header walk, free of platform calls: it sees the file only
// through a ByteReader, so the same code runs over a Win32 file handle, over
// memory in the tests and under the fuzzer.
#pragma once
#include <cstdint>

#include "playback/mp3_scan.h"

// Files this long or longer get no scan result.
constexpr uint64_t MP3_SCAN_FILE_LIMIT = 0x10000000;
// Bytes the first-frame search reads; the caller's buffer holds this many.
constexpr uint32_t MP3_SEARCH_BYTES = 65536;
// A stream that reaches this frame count gets no result.
constexpr uint32_t MP3_FRAME_LIMIT = 0x80000;
// minBitrate until a usable frame is met.
constexpr uint32_t MP3_NO_BITRATE = 0xFFFFFF;

// Origins for ByteReader::seek.
constexpr int32_t READER_FROM_START = 0;
constexpr int32_t READER_FROM_CURRENT = 1;

// A file as the walk sees it: a current position that reads advance.
struct ByteReader {
    void* context;
    // Reads up to count bytes at the current position into out and advances
    // by the number read. Returns that number (0 at the end of the file), or
    // -1 when the read failed. Bytes of out past the returned count are
    // unspecified.
    int64_t (*read)(void* context, uint8_t* out, uint32_t count);
    // Sets the position to offset from the start or from the current
    // position. A position past the end is allowed (later reads return 0);
    // a negative one fails. Returns false on failure.
    bool (*seek)(void* context, int64_t offset, int32_t origin);
};

// The usable fields of one MPEG-1 frame header. bitrateKbps or sampleRate 0
// mark a frame whose length cannot be known (free format, forbidden or
// reserved index); length is then 0.
struct Mp3FrameInfo {
    uint32_t bitrateKbps;
    uint32_t sampleRate;
    uint32_t samplesPerFrame;
    uint32_t length;
};

// Decodes header (big-endian, as it stands in the file) by the MPEG-1
// tables. The sync and version bits are not looked at.
Mp3FrameInfo DecodeMp3Header(uint32_t header);

// Skips the leading ID3v2 tags, finds the first frame and walks the frame
// headers, filling result (which the caller has zeroed). searchBuffer holds
// MP3_SEARCH_BYTES bytes or is null; it is needed only when the first frame
// does not start right after the tags. Returns true exactly when it sets
// result->valid. Allocates nothing. The file-size limit is the caller's to
// check: the walk does not know the size.
bool WalkMp3Frames(const ByteReader* reader, uint8_t* searchBuffer, Mp3ScanResult* result);

// Reads at an absolute offset: the primitive a windowed reader is built on.
struct BlockSource {
    void* context;
    // Reads up to count bytes at offset into out. Returns the number read
    // (0 at or past the end), or -1 on failure.
    int64_t (*readAt)(void* context, uint64_t offset, uint8_t* out, uint32_t count);
};

// A ByteReader that serves small reads from a window over a BlockSource, so
// that a header read costs a copy instead of a system call. The window is
// the caller's storage; seeks only move the position. It gives exactly the
// bytes the source would give for the same reads, which the tests check
// against a reader that goes to the source every time.
struct WindowedReader {
    BlockSource source;
    uint8_t* window;
    uint32_t capacity;
    uint64_t windowStart;
    uint32_t windowLength;
    uint64_t position;
};

// Sets up reader over source with window (capacity bytes, capacity >= 1);
// the position starts at 0 and the window empty.
void InitWindowedReader(WindowedReader* reader, BlockSource source, uint8_t* window,
                        uint32_t capacity);

// The ByteReader face of reader; valid while reader lives.
ByteReader WindowedByteReader(WindowedReader* reader);
