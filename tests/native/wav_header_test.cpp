// The wave format check over in-memory files: the table's verdicts, where a
// file that is no wave at all is left for the device to judge.
#include <gtest/gtest.h>

#include "native/support/wav_writer.h"

TEST(WavHeader, FormatsThatPlayAndFormatsNoDeviceCanPlay) {
    for (const WavCase& c : WavCases()) {
        MemoryFile file = OpenMemory(c.bytes);
        const ByteReader reader = MemoryByteReader(&file);
        EXPECT_EQ(c.verdict, CheckWavHeader(&reader, nullptr)) << c.name;
    }
}
