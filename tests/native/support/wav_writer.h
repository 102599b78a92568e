// Wave-file headers written by our own code, chunks as given so a case can
// put anything in any order, and the table of cases that the format check's
// test runs and its fuzzer starts from.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "native/support/mp3_writer.h"
#include "playback/wav_header.h"

using Bytes = std::vector<uint8_t>;

// A format chunk's fields. extra >= 0 appends cbSize and that many zero bytes;
// with 22, sub is the first word of a sub-format GUID of the PCM family.
struct WavFields {
    uint16_t tag, channels;
    uint32_t rate, byteRate;
    uint16_t block, bits;
    int32_t extra = -1;
    uint16_t sub = 0;
};

inline Bytes Le(std::initializer_list<uint64_t> values, int size, Bytes out = {}) {
    for (uint64_t v : values) for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

inline Bytes FormatBody(const WavFields& f) {
    Bytes out = Le({f.block, f.bits}, 2, Le({f.rate, f.byteRate}, 4, Le({f.tag, f.channels}, 2)));
    if (f.extra < 0) return out;
    out = Le({static_cast<uint64_t>(f.extra)}, 2, out);
    out.resize(out.size() + static_cast<size_t>(f.extra), 0);
    if (f.extra == 22) out = Le({f.sub, 0x00100000, 0xAA000080, 0x719B3800}, 4, Bytes(out.begin(), out.begin() + 24));
    return out;
}

// id, the size (the body's unless given), the body and its pad byte.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t size = -1) {
    Bytes out = Le({static_cast<uint64_t>(size < 0 ? static_cast<int64_t>(body.size()) : size)}, 4, Bytes(id, id + 4));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
    return out;
}

inline Bytes RiffWave(std::initializer_list<Bytes> chunks) {
    Bytes rest = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) rest.insert(rest.end(), c.begin(), c.end());
    Bytes out = Le({rest.size()}, 4, {'R', 'I', 'F', 'F'});
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

inline Bytes MakeWav(const WavFields& f) { return RiffWave({Chunk("fmt ", FormatBody(f)), Chunk("data", Bytes(64, 0))}); }

inline Bytes Cut(Bytes bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

struct WavCase {
    const char* name;
    Bytes bytes;
    WavVerdict verdict;
};

// Formats that play, formats no device can play or that crash or hang the
// wave driver (the 0-channel file crashed it first), and files that are no
// wave at all.
inline std::vector<WavCase> WavCases() {
    const WavFields cd = {1, 2, 44100, 176400, 4, 16};
    const WavFields adpcm = {0x11, 1, 22050, 11100, 512, 4, 2};
    const Bytes data = Chunk("data", Bytes(8, 0));
    Bytes junk;
    for (int i = 0; i < 300; ++i) junk.insert(junk.end(), {'j', 'u', 'n', 'k', 0, 0, 0, 0});
    return {
        {"16-bit stereo", MakeWav(cd), WAV_PLAYABLE},
        {"24-bit, 6 channels, 96 kHz", MakeWav({1, 6, 96000, 1728000, 18, 24}), WAV_PLAYABLE},
        {"PCM with a cbSize past its chunk", RiffWave({Chunk("fmt ", FormatBody({1, 2, 44100, 176400, 4, 16, 4}), 18)}), WAV_PLAYABLE},
        {"float stereo", MakeWav({3, 2, 48000, 384000, 8, 32}), WAV_PLAYABLE},
        {"extensible 24-bit", MakeWav({0xFFFE, 2, 48000, 288000, 6, 24, 22, 1}), WAV_PLAYABLE},
        {"extensible of another family", MakeWav({0xFFFE, 2, 48000, 1, 1, 12, 22}), WAV_PLAYABLE},
        {"IMA ADPCM", MakeWav(adpcm), WAV_PLAYABLE},
        {"MP3 in a wave file", MakeWav({0x55, 2, 44100, 16000, 1, 0, 12}), WAV_PLAYABLE},
        // Fields the device judges: encoders write them, devices play them
        // or refuse them cleanly.
        {"32 channels", MakeWav({1, 32, 8000, 256000, 32, 8}), WAV_PLAYABLE},
        {"8-bit mono", MakeWav({1, 1, 8000, 8000, 1, 8}), WAV_PLAYABLE},
        {"rate 1", MakeWav({1, 1, 1, 1, 1, 8}), WAV_PLAYABLE},
        {"rate 999", MakeWav({1, 1, 999, 999, 1, 8}), WAV_PLAYABLE},
        {"rate 384001", MakeWav({1, 1, 384001, 384001, 1, 8}), WAV_PLAYABLE},
        {"12-bit PCM", MakeWav({1, 2, 44100, 132300, 3, 12}), WAV_PLAYABLE},
        {"16-bit float", MakeWav({3, 2, 44100, 176400, 4, 16}), WAV_PLAYABLE},
        {"block align of another depth", MakeWav({1, 2, 44100, 176400, 3, 16}), WAV_PLAYABLE},
        {"byte rate of another rate", MakeWav({1, 2, 44100, 88200, 4, 16}), WAV_PLAYABLE},
        {"PCM with byte rate 0", MakeWav({1, 2, 44100, 0, 4, 16}), WAV_PLAYABLE},
        {"MP3 with byte rate 0", MakeWav({0x55, 2, 44100, 0, 1, 0, 12}), WAV_PLAYABLE},
        {"extensible PCM of another block align", MakeWav({0xFFFE, 2, 48000, 288000, 4, 24, 22, 1}), WAV_PLAYABLE},
        {"odd chunk and data before the format",
         RiffWave({Chunk("LIST", Bytes(5, 'x')), data, Chunk("fmt ", FormatBody(cd))}), WAV_PLAYABLE},
        {"empty file", {}, WAV_NOT_WAVE},
        {"an MP3 named .wav", MakeSilentMp3(0.1), WAV_NOT_WAVE},
        {"RIFF of another form", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, WAV_NOT_WAVE},
        {"RIFF header cut short", Cut(MakeWav(cd), 11), WAV_NOT_WAVE},
        {"300 chunks before the format", RiffWave({junk, Chunk("fmt ", {})}), WAV_NOT_WAVE},
        {"0 channels", MakeWav({1, 0, 44100, 176400, 4, 16}), WAV_IMPOSSIBLE},
        {"PCM of 0 bits", MakeWav({1, 2, 44100, 176400, 4, 0}), WAV_IMPOSSIBLE},
        {"33 channels", MakeWav({1, 33, 8000, 264000, 33, 8}), WAV_IMPOSSIBLE},
        {"rate 0", MakeWav({1, 2, 0, 176400, 4, 16}), WAV_IMPOSSIBLE},
        {"ADPCM with block align 0", MakeWav({0x11, 1, 22050, 11100, 0, 4, 2}), WAV_IMPOSSIBLE},
        {"ADPCM with a cbSize past its chunk", RiffWave({Chunk("fmt ", FormatBody(adpcm), 19)}), WAV_IMPOSSIBLE},
        {"7-bit PCM", MakeWav({1, 2, 8000, 16000, 2, 7}), WAV_IMPOSSIBLE},
        {"extensible PCM of 0 bits", MakeWav({0xFFFE, 2, 48000, 192000, 4, 0, 22, 1}), WAV_IMPOSSIBLE},
        {"extensible without its extension", MakeWav({0xFFFE, 2, 44100, 176400, 4, 16, 0}), WAV_IMPOSSIBLE},
        {"format chunk of 14 bytes", RiffWave({Chunk("fmt ", Cut(FormatBody(cd), 14)), data}), WAV_IMPOSSIBLE},
        {"format chunk of 2 GB", RiffWave({Chunk("fmt ", FormatBody(cd), 0x7FFFFFFF)}), WAV_IMPOSSIBLE},
        {"format chunk cut by the end", Cut(MakeWav(cd), 30), WAV_IMPOSSIBLE},
        {"format behind a 4 GB data chunk", RiffWave({Chunk("data", {}, 0xFFFFFFFF), Chunk("fmt ", FormatBody(cd))}),
         WAV_IMPOSSIBLE},
        {"no format chunk", RiffWave({data}), WAV_IMPOSSIBLE},
    };
}
