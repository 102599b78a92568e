// Feeds arbitrary bytes to the wave format check through the plain reader
// and through windowed readers, and traps when they disagree or a verdict
// breaks its own promise.
#include <cstdlib>
#include <cstring>

#include "native/support/wav_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes bytes(data, data + size);
    MemoryFile plain = OpenMemory(bytes);
    const ByteReader plainReader = MemoryByteReader(&plain);
    WavFormat format = {};
    const WavVerdict verdict = CheckWavHeader(&plainReader, &format);
    if (verdict == WAV_PLAYABLE && !WavFormatPossible(format)) abort();
    if (verdict != WAV_NOT_WAVE && (size < 12 || std::memcmp(data, "RIFF", 4) != 0)) abort();
    static uint8_t window[512];
    for (uint32_t capacity : {3u, 8u, 512u}) {
        MemoryFile file = OpenMemory(bytes);
        WindowedReader windowed;
        InitWindowedReader(&windowed, MemoryBlockSource(&file), window, capacity);
        const ByteReader reader = WindowedByteReader(&windowed);
        WavFormat other = {};
        if (CheckWavHeader(&reader, &other) != verdict || std::memcmp(&other, &format, sizeof(format)) != 0) abort();
    }
    return 0;
}
