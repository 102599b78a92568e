#include "playback/mp3_frame_walk.h"

#include <cassert>
#include <cstring>

namespace {

// MPEG-1 bit rates in kbit/s by row (3 - layer bits: Layer I, II, III, and
// the reserved layer, which has none) and bit-rate index. Index 0 is free
// format and 15 forbidden: neither gives a length.
constexpr uint16_t kBitrates[4][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};
constexpr uint32_t kSampleRates[4] = {44100, 48000, 32000, 0};
constexpr uint32_t kSamplesPerFrame[4] = {384, 1152, 1152, 0};

// Frame lengths without padding, worked out once at compile time: each
// frame's position depends on the previous one's length, and a division on
// that chain for every one of a long file's frames costs more than the table.
// Layer I: bit rate * 12000 / sample rate slots of 4 bytes; Layers II and III:
// bit rate * 144000 / sample rate bytes; integer division. Padding adds one
// slot.
struct LengthTable {
    uint16_t bytes[3][16][4];
};

constexpr LengthTable MakeLengthTable() {
    LengthTable table = {};
    for (int row = 0; row < 3; ++row) {
        for (int index = 0; index < 16; ++index) {
            for (int rate = 0; rate < 3; ++rate) {
                uint32_t kbps = kBitrates[row][index];
                uint32_t hz = kSampleRates[rate];
                table.bytes[row][index][rate] =
                    static_cast<uint16_t>(row == 0 ? kbps * 12000 / hz * 4 : kbps * 144000 / hz);
            }
        }
    }
    return table;
}

constexpr LengthTable kLengths = MakeLengthTable();

constexpr int kMaxTags = 32;
constexpr uint32_t kSyncMask = 0xFFE00000;

bool SeekTo(const ByteReader* reader, uint64_t offset) {
    return reader->seek(reader->context, static_cast<int64_t>(offset), READER_FROM_START);
}

bool IsFrameSync(uint8_t first, uint8_t second) {
    return first == 0xFF && (second & 0xE0) == 0xE0;
}

// A header from a later, unknown revision, or with flag bits this format
// never defined, is more likely audio data that happens to start with "ID3"
// than a tag whose size we could trust.
bool IsId3v2Header(const uint8_t* header) {
    return header[0] == 0x49 && header[1] == 0x44 && header[2] == 0x33 && header[3] <= 4 &&
           (header[5] & 0x0F) == 0;
}

uint32_t SyncSafeSize(const uint8_t* bytes) {
    return (static_cast<uint32_t>(bytes[0] & 0x7F) << 21) |
           (static_cast<uint32_t>(bytes[1] & 0x7F) << 14) |
           (static_cast<uint32_t>(bytes[2] & 0x7F) << 7) | static_cast<uint32_t>(bytes[3] & 0x7F);
}

// Positions the reader on the first sync word within MP3_SEARCH_BYTES of
// offset.
bool FindFirstFrame(const ByteReader* reader, uint8_t* searchBuffer, uint64_t offset) {
    if (!searchBuffer) return false;
    int64_t got = reader->read(reader->context, searchBuffer, MP3_SEARCH_BYTES);
    if (got < 0) return false;
    for (int64_t i = 1; i < got; ++i) {
        if (IsFrameSync(searchBuffer[i - 1], searchBuffer[i])) {
            return SeekTo(reader, offset + static_cast<uint64_t>(i) - 1);
        }
    }
    return false;
}

bool WalkFromFirstFrame(const ByteReader* reader, Mp3ScanResult* result) {
    for (;;) {
        uint8_t bytes[4];
        int64_t got = reader->read(reader->context, bytes, 4);
        if (got < 0) return false;
        if (got < 4) break;
        uint32_t header = (static_cast<uint32_t>(bytes[0]) << 24) |
                          (static_cast<uint32_t>(bytes[1]) << 16) |
                          (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
        // Anything without a sync word, typically a trailing ID3v1 tag, ends
        // the stream normally.
        if ((header & kSyncMask) != kSyncMask) break;
        // Half-rate streams would need other tables; rather no length than a
        // wrong one.
        if (((header >> 19) & 3) != 3) return false;
        result->frameCount += 1;
        if (result->frameCount >= MP3_FRAME_LIMIT) return false;
        Mp3FrameInfo frame = DecodeMp3Header(header);
        // Without a length the next frame cannot be found by jumping, so the
        // bytes right behind this header are tried next.
        if (frame.bitrateKbps == 0 || frame.sampleRate == 0) continue;
        if (frame.bitrateKbps < result->minBitrate) result->minBitrate = frame.bitrateKbps;
        if (frame.bitrateKbps > result->maxBitrate) result->maxBitrate = frame.bitrateKbps;
        if (!reader->seek(reader->context, static_cast<int64_t>(frame.length) - 4,
                          READER_FROM_CURRENT)) {
            return false;
        }
        // Seconds are summed and scaled once at the end, so long streams
        // do not gather a rounding error per frame in milliseconds.
        result->durationMs +=
            static_cast<double>(frame.samplesPerFrame) / static_cast<double>(frame.sampleRate);
    }
    if (result->frameCount == 0) return false;
    result->durationMs *= 1000.0;
    result->valid = 1;
    return true;
}

}  // namespace

Mp3FrameInfo DecodeMp3Header(uint32_t header) {
    uint32_t row = 3 - ((header >> 17) & 3);
    Mp3FrameInfo frame = {};
    frame.bitrateKbps = kBitrates[row][(header >> 12) & 15];
    frame.sampleRate = kSampleRates[(header >> 10) & 3];
    frame.samplesPerFrame = kSamplesPerFrame[row];
    if (frame.bitrateKbps == 0 || frame.sampleRate == 0) return frame;
    uint32_t padding = (header >> 9) & 1;
    uint32_t slot = row == 0 ? 4 : 1;
    frame.length = kLengths.bytes[row][(header >> 12) & 15][(header >> 10) & 3] + padding * slot;
    return frame;
}

bool WalkMp3Frames(const ByteReader* reader, uint8_t* searchBuffer, Mp3ScanResult* result) {
    result->minBitrate = MP3_NO_BITRATE;
    // 64 bits: 32 tags of the largest size add up to more than 4 GiB, and a
    // wrapped sum would send the walk back into the tags.
    uint64_t offset = 0;
    bool atFrame = false;
    for (int tag = 0; tag < kMaxTags; ++tag) {
        // Cleared each time so that a short read can never be completed by
        // the bytes of an earlier header; only `got` bytes are looked at.
        uint8_t header[10] = {};
        int64_t got = reader->read(reader->context, header, 10);
        if (got < 0) return false;
        if (got == 10 && IsId3v2Header(header)) {
            offset += static_cast<uint64_t>(SyncSafeSize(header + 6)) + 10;
            if (header[5] & 0x10) offset += 10;
            if (!SeekTo(reader, offset)) return false;
            continue;
        }
        if (!SeekTo(reader, offset)) return false;
        atFrame = got >= 2 && IsFrameSync(header[0], header[1]);
        break;
    }
    if (!atFrame && !FindFirstFrame(reader, searchBuffer, offset)) return false;
    return WalkFromFirstFrame(reader, result);
}

namespace {

int64_t WindowedRead(void* context, uint8_t* out, uint32_t count) {
    WindowedReader* reader = static_cast<WindowedReader*>(context);
    uint64_t position = reader->position;
    bool inside = position >= reader->windowStart &&
                  position - reader->windowStart + count <= reader->windowLength;
    if (!inside) {
        // A read as large as the window gains nothing from it; going to the
        // source directly keeps the window for the headers around it.
        if (count >= reader->capacity) {
            int64_t got = reader->source.readAt(reader->source.context, position, out, count);
            if (got < 0) return -1;
            reader->position += static_cast<uint64_t>(got);
            return got;
        }
        int64_t got = reader->source.readAt(reader->source.context, position, reader->window,
                                            reader->capacity);
        if (got < 0) {
            reader->windowLength = 0;
            return -1;
        }
        reader->windowStart = position;
        reader->windowLength = static_cast<uint32_t>(got);
    }
    uint64_t available = reader->windowStart + reader->windowLength - position;
    uint32_t n = available < count ? static_cast<uint32_t>(available) : count;
    const uint8_t* from = reader->window + (position - reader->windowStart);
    // Header reads are a few bytes, once per frame: a call into the C
    // library's memcpy for each costs more than the copy.
    if (n <= 16) {
        for (uint32_t i = 0; i < n; ++i) out[i] = from[i];
    } else {
        memcpy(out, from, n);
    }
    reader->position += n;
    return n;
}

bool WindowedSeek(void* context, int64_t offset, int32_t origin) {
    WindowedReader* reader = static_cast<WindowedReader*>(context);
    int64_t base = origin == READER_FROM_CURRENT ? static_cast<int64_t>(reader->position) : 0;
    if (offset < -base) return false;
    reader->position = static_cast<uint64_t>(base + offset);
    return true;
}

}  // namespace

void InitWindowedReader(WindowedReader* reader, BlockSource source, uint8_t* window,
                        uint32_t capacity) {
    assert(window && capacity >= 1);
    reader->source = source;
    reader->window = window;
    reader->capacity = capacity;
    reader->windowStart = 0;
    reader->windowLength = 0;
    reader->position = 0;
}

ByteReader WindowedByteReader(WindowedReader* reader) {
    ByteReader byteReader;
    byteReader.context = reader;
    byteReader.read = WindowedRead;
    byteReader.seek = WindowedSeek;
    return byteReader;
}
