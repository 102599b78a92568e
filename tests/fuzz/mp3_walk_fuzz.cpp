// Feeds arbitrary bytes to the frame walk as a file, through the plain
// in-memory reader and through windowed readers of several sizes, and traps
// when they disagree or a result breaks its own invariants.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "native/support/mp3_writer.h"
#include "playback/mp3_frame_walk.h"

namespace {

struct Outcome {
    bool ok;
    Mp3ScanResult result;
};

uint8_t gSearch[MP3_SEARCH_BYTES];
uint8_t gWindow[65536];

Outcome Walk(const ByteReader& reader, bool withBuffer) {
    Outcome out = {};
    out.ok = WalkMp3Frames(&reader, withBuffer ? gSearch : nullptr, &out.result);
    return out;
}

void Check(bool condition) {
    if (!condition) abort();
}

void CheckSame(const Outcome& a, const Outcome& b) {
    Check(a.ok == b.ok);
    Check(a.result.valid == b.result.valid);
    Check(a.result.frameCount == b.result.frameCount);
    Check(a.result.minBitrate == b.result.minBitrate);
    Check(a.result.maxBitrate == b.result.maxBitrate);
    Check(a.result.durationMs == b.result.durationMs);
}

void CheckInvariants(const Outcome& out) {
    Check(out.ok == (out.result.valid == 1));
    Check(out.result.durationMs >= 0.0);
    if (!out.ok) return;
    Check(out.result.frameCount >= 1 && out.result.frameCount < MP3_FRAME_LIMIT);
    // Either no usable frame was met, or the range holds real table values.
    bool none = out.result.minBitrate == MP3_NO_BITRATE && out.result.maxBitrate == 0;
    Check(none || (out.result.minBitrate >= 32 && out.result.minBitrate <= out.result.maxBitrate &&
                   out.result.maxBitrate <= 448));
    Check(none == (out.result.durationMs == 0.0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    // Small windows force refills at every boundary a header can straddle.
    const uint32_t capacities[] = {4, 7, 512, 65536};
    for (bool withBuffer : {false, true}) {
        MemoryFile plainFile = OpenMemory(bytes);
        Outcome plain = Walk(MemoryByteReader(&plainFile), withBuffer);
        CheckInvariants(plain);
        for (uint32_t capacity : capacities) {
            MemoryFile file = OpenMemory(bytes);
            WindowedReader windowed;
            InitWindowedReader(&windowed, MemoryBlockSource(&file), gWindow, capacity);
            CheckSame(plain, Walk(WindowedByteReader(&windowed), withBuffer));
        }
    }
    return 0;
}
