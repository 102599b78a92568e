// The wave format check over in-memory files: formats that play, formats no
// device can play (the 0-channel file that crashed the wave driver first),
// and files that are no wave at all, which the device judges itself.
#include <gtest/gtest.h>

#include "native/support/mp3_writer.h"
#include "native/support/wav_writer.h"
#include "playback/wav_header.h"

namespace {

Bytes Cut(Bytes bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

struct HeaderCase {
    const char* name;
    Bytes bytes;
    WavVerdict verdict;
};

TEST(WavHeader, FormatsThatPlayAndFormatsNoDeviceCanPlay) {
    const WavFields cd = {1, 2, 44100, 176400, 4, 16};
    const WavFields adpcm = {0x11, 1, 22050, 11100, 512, 4, 2};
    const Bytes data = Chunk("data", Bytes(8, 0));
    Bytes junk;
    for (int i = 0; i < 300; ++i) junk.insert(junk.end(), {'j', 'u', 'n', 'k', 0, 0, 0, 0});
    const HeaderCase cases[] = {
        {"16-bit stereo", MakeWav(cd), WAV_PLAYABLE},
        {"24-bit, 6 channels, 96 kHz", MakeWav({1, 6, 96000, 1728000, 18, 24}), WAV_PLAYABLE},
        {"PCM with a cbSize past its chunk", RiffWave({Chunk("fmt ", FormatBody({1, 2, 44100, 176400, 4, 16, 4}), 18)}), WAV_PLAYABLE},
        {"float stereo", MakeWav({3, 2, 48000, 384000, 8, 32}), WAV_PLAYABLE},
        {"extensible 24-bit", MakeWav({0xFFFE, 2, 48000, 288000, 6, 24, 22, 1}), WAV_PLAYABLE},
        {"extensible of another family", MakeWav({0xFFFE, 2, 48000, 1, 1, 12, 22}), WAV_PLAYABLE},
        {"IMA ADPCM", MakeWav(adpcm), WAV_PLAYABLE},
        {"MP3 in a wave file", MakeWav({0x55, 2, 44100, 16000, 1, 0, 12}), WAV_PLAYABLE},
        {"odd chunk and data before the format",
         RiffWave({Chunk("LIST", Bytes(5, 'x')), data, Chunk("fmt ", FormatBody(cd))}), WAV_PLAYABLE},
        {"empty file", {}, WAV_NOT_WAVE},
        {"an MP3 named .wav", MakeSilentMp3(0.1), WAV_NOT_WAVE},
        {"RIFF of another form", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, WAV_NOT_WAVE},
        {"RIFF header cut short", Cut(MakeWav(cd), 11), WAV_NOT_WAVE},
        {"300 chunks before the format", RiffWave({junk, Chunk("fmt ", {})}), WAV_NOT_WAVE},
        {"0 channels", MakeWav({1, 0, 44100, 176400, 4, 16}), WAV_IMPOSSIBLE},
        {"33 channels", MakeWav({1, 33, 8000, 264000, 33, 8}), WAV_IMPOSSIBLE},
        {"rate 0", MakeWav({1, 2, 0, 176400, 4, 16}), WAV_IMPOSSIBLE},
        {"rate 999", MakeWav({1, 1, 999, 999, 1, 8}), WAV_IMPOSSIBLE},
        {"rate 384001", MakeWav({1, 1, 384001, 384001, 1, 8}), WAV_IMPOSSIBLE},
        {"12-bit PCM", MakeWav({1, 2, 44100, 132300, 3, 12}), WAV_IMPOSSIBLE},
        {"16-bit float", MakeWav({3, 2, 44100, 176400, 4, 16}), WAV_IMPOSSIBLE},
        {"block align of another depth", MakeWav({1, 2, 44100, 176400, 3, 16}), WAV_IMPOSSIBLE},
        {"byte rate of another rate", MakeWav({1, 2, 44100, 88200, 4, 16}), WAV_IMPOSSIBLE},
        {"ADPCM with block align 0", MakeWav({0x11, 1, 22050, 11100, 0, 4, 2}), WAV_IMPOSSIBLE},
        {"MP3 with byte rate 0", MakeWav({0x55, 2, 44100, 0, 1, 0, 12}), WAV_IMPOSSIBLE},
        {"ADPCM with a cbSize past its chunk", RiffWave({Chunk("fmt ", FormatBody(adpcm), 19)}), WAV_IMPOSSIBLE},
        {"extensible PCM of another block align", MakeWav({0xFFFE, 2, 48000, 288000, 4, 24, 22, 1}), WAV_IMPOSSIBLE},
        {"extensible without its extension", MakeWav({0xFFFE, 2, 44100, 176400, 4, 16, 0}), WAV_IMPOSSIBLE},
        {"format chunk of 14 bytes", RiffWave({Chunk("fmt ", Cut(FormatBody(cd), 14)), data}), WAV_IMPOSSIBLE},
        {"format chunk of 2 GB", RiffWave({Chunk("fmt ", FormatBody(cd), 0x7FFFFFFF)}), WAV_IMPOSSIBLE},
        {"format chunk cut by the end", Cut(MakeWav(cd), 30), WAV_IMPOSSIBLE},
        {"format behind a 4 GB data chunk", RiffWave({Chunk("data", {}, 0xFFFFFFFF), Chunk("fmt ", FormatBody(cd))}),
         WAV_IMPOSSIBLE},
        {"no format chunk", RiffWave({data}), WAV_IMPOSSIBLE},
    };
    for (const HeaderCase& c : cases) {
        MemoryFile file = OpenMemory(c.bytes);
        const ByteReader reader = MemoryByteReader(&file);
        EXPECT_EQ(c.verdict, CheckWavHeader(&reader, nullptr)) << c.name;
    }
}

}  // namespace
