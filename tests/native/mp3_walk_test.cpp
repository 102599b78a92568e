// The frame walk over in-memory files: the edge cases of the format, the two
// faults a literal reading leaves open (short reads, 32-bit tag offsets), the
// frame limit, and the windowed reader against the plain one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "native/support/mp3_writer.h"
#include "playback/mp3_frame_walk.h"

namespace {

// Seconds of one Layer III frame at 44100 Hz, written out by hand.
constexpr double kFrameMs = 1152.0 / 44100.0 * 1000.0;

struct Outcome {
    bool ok;
    Mp3ScanResult result;
};

Outcome WalkWith(const ByteReader& reader, bool withBuffer) {
    static std::vector<uint8_t> search(MP3_SEARCH_BYTES);
    Outcome out = {};
    out.ok = WalkMp3Frames(&reader, withBuffer ? search.data() : nullptr, &out.result);
    return out;
}

Outcome WalkPlain(const std::vector<uint8_t>& bytes, bool withBuffer) {
    MemoryFile file = OpenMemory(bytes);
    return WalkWith(MemoryByteReader(&file), withBuffer);
}

Outcome WalkWindowed(const std::vector<uint8_t>& bytes, bool withBuffer, uint32_t capacity) {
    MemoryFile file = OpenMemory(bytes);
    std::vector<uint8_t> window(capacity);
    WindowedReader windowed;
    InitWindowedReader(&windowed, MemoryBlockSource(&file), window.data(), capacity);
    return WalkWith(WindowedByteReader(&windowed), withBuffer);
}

void ExpectSame(const Outcome& a, const Outcome& b) {
    EXPECT_EQ(a.ok, b.ok);
    EXPECT_EQ(a.result.valid, b.result.valid);
    EXPECT_EQ(a.result.frameCount, b.result.frameCount);
    EXPECT_EQ(a.result.minBitrate, b.result.minBitrate);
    EXPECT_EQ(a.result.maxBitrate, b.result.maxBitrate);
    // Same additions in the same order: equal to the bit.
    EXPECT_EQ(a.result.durationMs, b.result.durationMs);
}

Mp3FrameFormat Format(uint32_t kbps, uint32_t rate = 44100, uint8_t layer = 3, bool padding = false,
                  MpegVersion version = MpegVersion::Mpeg1) {
    Mp3FrameFormat format;
    format.kbps = kbps;
    format.sampleRate = rate;
    format.layer = layer;
    format.padding = padding;
    format.version = version;
    return format;
}

std::vector<uint8_t> Frames(uint32_t count, uint32_t kbps = 128) {
    return Mp3Writer().Frames(count, Format(kbps)).Bytes();
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t count) {
    bytes.resize(bytes.size() - count);
    return bytes;
}

struct WalkCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool withBuffer;
    bool ok;
    uint32_t frames;
    uint32_t minKbps;
    uint32_t maxKbps;
    double durationMs;
};

std::vector<WalkCase> EdgeCases() {
    const uint32_t none = MP3_NO_BITRATE;
    std::vector<WalkCase> cases = {
        {"frames from offset 0 need no search buffer", Frames(10), false, true, 10, 128, 128,
         10 * kFrameMs},
        {"two tags, the first with a footer", Mp3Writer().Id3v2(300, true).Id3v2(50).Raw(Frames(10)).Bytes(),
         false, true, 10, 128, 128, 10 * kFrameMs},
        // The "tag" payload is itself a frame: skipped as a tag it is not
        // counted, searched from the start it is.
        {"major version 5 is not a tag",
         Mp3Writer().Id3v2Header(417, 5).Frame(Format(128)).Raw(Frames(10)).Bytes(), true, true, 11,
         128, 128, 11 * kFrameMs},
        {"flag bit 0x01 is not a tag",
         Mp3Writer().Id3v2Header(417, 4, 0x01).Frame(Format(128)).Raw(Frames(10)).Bytes(), true, true,
         11, 128, 128, 11 * kFrameMs},
        {"flag bit 0x08 is not a tag",
         Mp3Writer().Id3v2Header(417, 3, 0x08).Frame(Format(128)).Raw(Frames(10)).Bytes(), true, true,
         11, 128, 128, 11 * kFrameMs},
        {"major 4 with flag 0x80 is a tag",
         Mp3Writer().Id3v2Header(417, 4, 0x80).Frame(Format(128)).Raw(Frames(10)).Bytes(), true, true,
         10, 128, 128, 10 * kFrameMs},
        {"not a tag and no buffer", Mp3Writer().Id3v2Header(417, 5).Frame(Format(128)).Bytes(), false,
         false, 0, none, 0, 0.0},
        {"100 frames at 128 kbit/s", Frames(100), true, true, 100, 128, 128, 100 * kFrameMs},
        {"one frame at 160 among 128",
         Mp3Writer().Frames(50, Format(128)).Frame(Format(160)).Frames(49, Format(128)).Bytes(), true,
         true, 100, 128, 160, 100 * kFrameMs},
        {"free-format first frame", Mp3Writer().Frame(Format(0)).Bytes(), true, true, 1, none, 0, 0.0},
        {"free-format header right before frames", Mp3Writer().Header(0xFFFB0000).Raw(Frames(3)).Bytes(),
         true, true, 4, 128, 128, 3 * kFrameMs},
        {"reserved sample rate counted, not timed",
         Mp3Writer().Header(0xFFFB9C00).Raw(Frames(5, 64)).Bytes(), true, true, 6, 64, 64,
         5 * kFrameMs},
        {"forbidden bit-rate index counted, not timed",
         Mp3Writer().Header(0xFFFBF000).Raw(Frames(5)).Bytes(), true, true, 6, 128, 128, 5 * kFrameMs},
        {"Layer I at 32 kbit/s, 48000 Hz", Mp3Writer().Frames(5, Format(32, 48000, 1)).Bytes(), true,
         true, 5, 32, 32, 5 * 384.0 / 48000.0 * 1000.0},
        {"Layer II at 384 kbit/s, 32000 Hz, padded",
         Mp3Writer().Frames(3, Format(384, 32000, 2, true)).Bytes(), true, true, 3, 384, 384,
         3 * 1152.0 / 32000.0 * 1000.0},
        {"trailing ID3v1 ends the walk", Mp3Writer().Raw(Frames(10)).Id3v1().Bytes(), true, true, 10,
         128, 128, 10 * kFrameMs},
        {"MPEG-2 gives no result", Mp3Writer().Frames(10, Format(64, 22050, 3, false, MpegVersion::Mpeg2)).Bytes(),
         true, false, 0, none, 0, 0.0},
        {"MPEG-2.5 gives no result",
         Mp3Writer().Frames(10, Format(32, 11025, 3, false, MpegVersion::Mpeg25)).Bytes(), true, false,
         0, none, 0, 0.0},
        {"an MPEG-2 frame after MPEG-1 ones",
         Mp3Writer().Raw(Frames(5)).Frame(Format(64, 22050, 3, false, MpegVersion::Mpeg2)).Bytes(), true,
         false, 5, 128, 128, 5 * kFrameMs},
        {"empty file", {}, true, false, 0, none, 0, 0.0},
        {"one byte 0xFF", {0xFF}, true, false, 0, none, 0, 0.0},
        {"three header bytes", {0xFF, 0xFB, 0x90}, true, false, 0, none, 0, 0.0},
        {"one bare header", {0xFF, 0xFB, 0x90, 0x00}, false, true, 1, 128, 128, kFrameMs},
        {"nine bytes of a tag header", {'I', 'D', '3', 4, 0, 0, 0, 0, 0}, true, false, 0, none, 0,
         0.0},
        {"last frame cut short", Cut(Frames(10), 100), true, true, 10, 128, 128, 10 * kFrameMs},
        {"cut inside the last header", Mp3Writer().Raw(Frames(10)).Raw({0xFF, 0xFB}).Bytes(), true,
         true, 10, 128, 128, 10 * kFrameMs},
        {"sync found at the end of the search window",
         Mp3Writer().Fill(65534, 0).Raw(Frames(4)).Bytes(), true, true, 4, 128, 128, 4 * kFrameMs},
        {"sync straddling the search window", Mp3Writer().Fill(65535, 0).Raw(Frames(4)).Bytes(), true,
         false, 0, none, 0, 0.0},
        {"sync beyond the search window", Mp3Writer().Fill(65536, 0).Raw(Frames(4)).Bytes(), true,
         false, 0, none, 0, 0.0},
        {"the search window starts after the tags",
         Mp3Writer().Id3v2(1000).Fill(65534, 0).Raw(Frames(4)).Bytes(), true, true, 4, 128, 128,
         4 * kFrameMs},
        {"garbage before the first frame", Mp3Writer().Garbage(5000, 7).Raw(Frames(4)).Bytes(), true,
         true, 4, 128, 128, 4 * kFrameMs},
    };
    // After 31 tags the 32nd read still looks at the bytes; after 32 it
    // must search, which needs the buffer.
    Mp3Writer tags31, tags32, tags33;
    for (int i = 0; i < 31; ++i) tags31.Id3v2(i);
    tags32.Raw(tags31.Bytes()).Id3v2(0);
    tags33.Raw(tags32.Bytes()).Id3v2(0);
    cases.push_back({"31 tags", tags31.Raw(Frames(3)).Bytes(), false, true, 3, 128, 128, 3 * kFrameMs});
    cases.push_back({"32 tags and no buffer", tags32.Raw(Frames(3)).Bytes(), false, false, 0, none, 0, 0.0});
    cases.push_back({"32 tags", Mp3Writer().Raw(tags32.Bytes()).Bytes(), true, true, 3, 128, 128,
                     3 * kFrameMs});
    cases.push_back({"33rd tag is searched through", tags33.Raw(Frames(3)).Bytes(), true, true, 3, 128,
                     128, 3 * kFrameMs});
    return cases;
}

TEST(Mp3Walk, EdgeCases) {
    for (const WalkCase& c : EdgeCases()) {
        SCOPED_TRACE(c.name);
        Outcome out = WalkPlain(c.bytes, c.withBuffer);
        EXPECT_EQ(c.ok, out.ok);
        EXPECT_EQ(c.ok ? 1 : 0, out.result.valid);
        EXPECT_EQ(c.frames, out.result.frameCount);
        if (c.frames > 0 || c.ok) {
            EXPECT_EQ(c.minKbps, out.result.minBitrate);
            EXPECT_EQ(c.maxKbps, out.result.maxBitrate);
        }
        if (c.ok) {
            EXPECT_NEAR(c.durationMs, out.result.durationMs, 1e-6);
        }
    }
}

TEST(Mp3Walk, HundredFramesLastTwoAndAHalfSeconds) {
    Outcome out = WalkPlain(Frames(100), false);
    ASSERT_TRUE(out.ok);
    EXPECT_NEAR(2612.2, out.result.durationMs, 0.05);
}

struct HeaderCase {
    uint32_t header;
    uint32_t kbps;
    uint32_t rate;
    uint32_t samples;
    uint32_t length;
};

TEST(Mp3Walk, HeaderFieldsAndFrameLengths) {
    // Lengths worked out by hand from the formulas for each layer.
    const HeaderCase cases[] = {
        {0xFFFB9000, 128, 44100, 1152, 417},  // 18432000 / 44100 = 417.96
        {0xFFFB9200, 128, 44100, 1152, 418},  // the same, padded
        {0xFFFBE400, 320, 48000, 1152, 960},
        {0xFFFBE600, 320, 48000, 1152, 961},
        {0xFFFB1800, 32, 32000, 1152, 144},
        {0xFFFF1400, 32, 48000, 384, 32},     // Layer I: (8 + 0) * 4
        {0xFFFFE200, 448, 44100, 384, 488},   // Layer I: (121 + 1) * 4
        {0xFFFDEA00, 384, 32000, 1152, 1729}, // Layer II, padded
        {0xFFFD4000, 64, 44100, 1152, 208},   // Layer II: 9216000 / 44100 = 208.98
        {0xFFFB0000, 0, 44100, 1152, 0},      // free format
        {0xFFFBF000, 0, 44100, 1152, 0},      // forbidden index
        {0xFFFB9C00, 128, 0, 1152, 0},        // reserved sample rate
        {0xFFF99000, 0, 44100, 0, 0},         // reserved layer
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.header);
        Mp3FrameInfo info = DecodeMp3Header(c.header);
        EXPECT_EQ(c.kbps, info.bitrateKbps);
        EXPECT_EQ(c.rate, info.sampleRate);
        EXPECT_EQ(c.samples, info.samplesPerFrame);
        EXPECT_EQ(c.length, info.length);
    }
}

TEST(Mp3Walk, PaddedFramesAre418Bytes) {
    Mp3Writer writer;
    for (int i = 0; i < 20; ++i) writer.Frame(Format(128, 44100, 3, i % 2 == 1));
    ASSERT_EQ(10u * 417 + 10u * 418, writer.Size());
    Outcome out = WalkPlain(writer.Bytes(), false);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(20u, out.result.frameCount);
    // A header that claims padding over a 417-byte body throws the walk one
    // byte off, so it ends at the next frame.
    std::vector<uint8_t> lying = Frames(5);
    lying[2] |= 0x02;
    out = WalkPlain(lying, false);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(1u, out.result.frameCount);
}

// A reader whose readNumber-th read returns at most limit bytes, although it
// copies the true bytes into the rest of the destination, as a buffer left
// over from an earlier read would hold them.
struct ShortReadFile {
    MemoryFile file;
    int reads;
    int readNumber;
    uint32_t limit;
};

int64_t ShortRead(void* context, uint8_t* out, uint32_t count) {
    ShortReadFile* f = static_cast<ShortReadFile*>(context);
    uint64_t start = f->file.position;
    int64_t got = MemoryByteReader(&f->file).read(&f->file, out, count);
    if (++f->reads != f->readNumber || got <= static_cast<int64_t>(f->limit)) return got;
    f->file.position = start + f->limit;
    return f->limit;
}

bool ShortSeek(void* context, int64_t offset, int32_t origin) {
    ShortReadFile* f = static_cast<ShortReadFile*>(context);
    return MemoryByteReader(&f->file).seek(&f->file, offset, origin);
}

struct ShortReadCase {
    const char* name;
    std::vector<uint8_t> bytes;
    int readNumber;
    uint32_t limit;
    bool withBuffer;
    bool ok;
    uint32_t frames;
};

TEST(Mp3Walk, ShortReadsUseOnlyTheBytesRead) {
    const std::vector<uint8_t> tagged = Mp3Writer().Id3v2(100).Raw(Frames(5)).Bytes();
    const std::vector<uint8_t> twoTags = Mp3Writer().Id3v2(0).Raw(Frames(5)).Bytes();
    const ShortReadCase cases[] = {
        {"9 of 10 tag bytes: not a tag", tagged, 1, 9, false, false, 0},
        {"9 of 10 tag bytes, then searched", tagged, 1, 9, true, true, 5},
        {"1 byte of a sync word", Frames(5), 1, 1, false, false, 0},
        {"2 bytes of a sync word", Frames(5), 1, 2, false, true, 5},
        {"1 sync byte after a tag", twoTags, 2, 1, false, false, 0},
        {"3 bytes of a frame header end the walk", Frames(5), 3, 3, false, true, 1},
    };
    for (const ShortReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ShortReadFile f = {OpenMemory(c.bytes), 0, c.readNumber, c.limit};
        ByteReader reader = {&f, ShortRead, ShortSeek};
        Outcome out = WalkWith(reader, c.withBuffer);
        EXPECT_EQ(c.ok, out.ok);
        EXPECT_EQ(c.frames, out.result.frameCount);
    }
}

// A large file that is zero except for a few stretches, so that tag chains
// past 4 GiB cost no memory.
struct Stretch {
    uint64_t offset;
    std::vector<uint8_t> bytes;
};

struct SparseFile {
    uint64_t size;
    std::vector<Stretch> stretches;
    uint64_t position;
};

int64_t SparseRead(void* context, uint8_t* out, uint32_t count) {
    SparseFile* f = static_cast<SparseFile*>(context);
    if (f->position >= f->size) return 0;
    uint64_t n = std::min<uint64_t>(count, f->size - f->position);
    memset(out, 0, n);
    for (const Stretch& s : f->stretches) {
        uint64_t from = std::max(s.offset, f->position);
        uint64_t to = std::min(s.offset + s.bytes.size(), f->position + n);
        if (from < to) memcpy(out + (from - f->position), &s.bytes[from - s.offset], to - from);
    }
    f->position += n;
    return static_cast<int64_t>(n);
}

bool SparseSeek(void* context, int64_t offset, int32_t origin) {
    SparseFile* f = static_cast<SparseFile*>(context);
    int64_t base = origin == READER_FROM_CURRENT ? static_cast<int64_t>(f->position) : 0;
    if (offset < -base) return false;
    f->position = static_cast<uint64_t>(base + offset);
    return true;
}

struct WrapCase {
    const char* name;
    int tags;
    uint32_t gap;  // zero bytes between the last tag and the true frames
    bool withBuffer;
};

TEST(Mp3Walk, TagOffsetsDoNotWrapAt4GiB) {
    // Largest tag with footer: 0x0FFFFFFF + 20 bytes; 16 of them pass 2^32
    // by 304 bytes, 32 of them by 608 (2^33 + 608 in all).
    const uint64_t tagSpan = 0x0FFFFFFFull + 20;
    const WrapCase cases[] = {
        {"16 tags, frames right behind", 16, 0, false},
        {"32 tags, frames found by the search", 32, 5, true},
    };
    for (const WrapCase& c : cases) {
        SCOPED_TRACE(c.name);
        SparseFile f = {};
        for (int i = 0; i < c.tags; ++i) {
            f.stretches.push_back({i * tagSpan, Mp3Writer().Id3v2Header(0x0FFFFFFF, 4, 0x10).Bytes()});
        }
        uint64_t end = c.tags * tagSpan;
        // Seven frames where a 32-bit sum would land, three where the true
        // one does.
        f.stretches.push_back({end & 0xFFFFFFFFull, Frames(7)});
        f.stretches.push_back({end + c.gap, Frames(3)});
        f.size = end + c.gap + Frames(3).size();
        ByteReader reader = {&f, SparseRead, SparseSeek};
        Outcome out = WalkWith(reader, c.withBuffer);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(3u, out.result.frameCount);
    }
}

struct LimitCase {
    const char* name;
    Mp3FrameFormat format;
    uint32_t frames;
    bool ok;
    uint32_t minKbps;
    double durationMs;
};

TEST(Mp3Walk, FrameLimit) {
    // Free-format headers are 4 bytes apart and the smallest Layer I frame
    // is 32 bytes, so half a million frames fit in a few megabytes.
    const LimitCase cases[] = {
        {"524287 free-format headers", Format(0), 524287, true, MP3_NO_BITRATE, 0.0},
        {"524288 free-format headers", Format(0), 524288, false, MP3_NO_BITRATE, 0.0},
        {"524287 Layer I frames", Format(32, 48000, 1), 524287, true, 32, 524287 * 8.0},
        {"524288 Layer I frames", Format(32, 48000, 1), 524288, false, 32, 0.0},
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        Mp3Writer writer;
        for (uint32_t i = 0; i < c.frames; ++i) {
            if (c.format.kbps == 0) {
                writer.Header(Mp3HeaderWord(c.format));
            } else {
                writer.Frame(c.format);
            }
        }
        Outcome out = WalkPlain(writer.Bytes(), false);
        EXPECT_EQ(c.ok, out.ok);
        EXPECT_EQ(c.frames, out.result.frameCount);
        EXPECT_EQ(c.minKbps, out.result.minBitrate);
        if (c.ok) {
            EXPECT_NEAR(c.durationMs, out.result.durationMs, 1e-3);
        }
    }
}

uint32_t NextRandom(uint32_t* state) {
    *state = *state * 1103515245u + 12345u;
    return *state >> 8;
}

// Files the walk can go many ways on: tags, searches, bad headers, ends.
std::vector<std::vector<uint8_t>> Corpus() {
    std::vector<std::vector<uint8_t>> corpus;
    for (const WalkCase& c : EdgeCases()) {
        if (c.bytes.size() < 200000) corpus.push_back(c.bytes);
    }
    corpus.push_back(MakeSilentMp3(3.0, 192));
    corpus.push_back(MakeVbrMp3(4.0, 11));
    corpus.push_back(Mp3Writer().Id3v2(70000).Raw(MakeVbrMp3(2.0, 3)).Id3v1().Bytes());
    corpus.push_back(Mp3Writer().Id3v2(65530, true).Frame(Format(0)).Raw(MakeVbrMp3(2.0, 5)).Bytes());
    std::vector<std::vector<uint8_t>> mutated;
    uint32_t state = 12345;
    for (const std::vector<uint8_t>& bytes : corpus) {
        for (int m = 0; m < 6 && !bytes.empty(); ++m) {
            std::vector<uint8_t> copy = bytes;
            int edits = 1 + NextRandom(&state) % 8;
            for (int e = 0; e < edits; ++e) {
                size_t at = NextRandom(&state) % copy.size();
                const uint8_t tokens[] = {0xFF, 0xFB, 0xE0, 0x00, 'I', 0x49};
                copy[at] = NextRandom(&state) % 2 ? tokens[NextRandom(&state) % 6]
                                                  : static_cast<uint8_t>(NextRandom(&state));
            }
            if (NextRandom(&state) % 3 == 0) copy.resize(NextRandom(&state) % copy.size());
            mutated.push_back(copy);
        }
    }
    for (int r = 0; r < 40; ++r) {
        std::vector<uint8_t> random(NextRandom(&state) % 3000);
        for (uint8_t& b : random) b = NextRandom(&state) % 4 ? 0xFF : static_cast<uint8_t>(NextRandom(&state));
        mutated.push_back(random);
    }
    corpus.insert(corpus.end(), mutated.begin(), mutated.end());
    return corpus;
}

TEST(Mp3Walk, WindowedReaderAgreesWithPlainReader) {
    // Windows smaller than a header, than a frame, and the real size.
    const uint32_t capacities[] = {1, 3, 4, 5, 17, 418, 4096, 65536};
    int index = 0;
    for (const std::vector<uint8_t>& bytes : Corpus()) {
        for (bool withBuffer : {false, true}) {
            Outcome plain = WalkPlain(bytes, withBuffer);
            for (uint32_t capacity : capacities) {
                SCOPED_TRACE(testing::Message() << "input " << index << ", " << bytes.size()
                                                << " bytes, window " << capacity << ", buffer "
                                                << withBuffer);
                ExpectSame(plain, WalkWindowed(bytes, withBuffer, capacity));
            }
        }
        ++index;
    }
}

struct CountingSource {
    MemoryFile file;
    int reads;
};

int64_t CountingReadAt(void* context, uint64_t offset, uint8_t* out, uint32_t count) {
    CountingSource* source = static_cast<CountingSource*>(context);
    source->reads += 1;
    return MemoryBlockSource(&source->file).readAt(&source->file, offset, out, count);
}

TEST(Mp3Walk, WindowedReaderGoesToTheSourceOncePerWindow) {
    std::vector<uint8_t> bytes = Mp3Writer().Id3v2(3000).Raw(MakeVbrMp3(60.0, 9)).Bytes();
    const uint32_t capacities[] = {4096, 65536};
    for (uint32_t capacity : capacities) {
        SCOPED_TRACE(capacity);
        CountingSource counting = {OpenMemory(bytes), 0};
        std::vector<uint8_t> window(capacity);
        WindowedReader windowed;
        InitWindowedReader(&windowed, BlockSource{&counting, CountingReadAt}, window.data(), capacity);
        Outcome out = WalkWith(WindowedByteReader(&windowed), true);
        ASSERT_TRUE(out.ok);
        // Each refill starts at a header that did not fit, so windows
        // advance by at least capacity - 3 bytes; one more for the tag
        // header and one for the search.
        size_t bound = 2 + (bytes.size() + capacity - 4) / (capacity - 3);
        EXPECT_LE(static_cast<size_t>(counting.reads), bound);
        // ...and the few reads did cover the whole stream: 60 s is 2297
        // frames of 1152 samples at 44100 Hz.
        EXPECT_EQ(2297u, out.result.frameCount);
    }
}

}  // namespace
