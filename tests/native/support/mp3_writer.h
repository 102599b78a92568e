// Writes MPEG audio streams from our own code for the tests, the fuzz seeds
// and the benchmarks. Layer III frames carry a correct header and zeroed
// side information and main data, which decoders play as silence, so the
// files are real MP3s that a media device opens.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "playback/mp3_frame_walk.h"

// MPEG audio versions as coded in header bits 19 and 20.
enum class MpegVersion : uint8_t { Mpeg25 = 0, Mpeg2 = 2, Mpeg1 = 3 };

struct Mp3FrameFormat {
    uint32_t kbps = 128;          // a rate of the version's table; 0 = free format
    uint32_t sampleRate = 44100;  // a rate of the version; 0 = the reserved index
    bool padding = false;
    uint8_t layer = 3;  // 1, 2 or 3
    MpegVersion version = MpegVersion::Mpeg1;
};

// The 4-byte header word of format (big-endian value); aborts on a rate the
// version's tables do not have.
uint32_t Mp3HeaderWord(const Mp3FrameFormat& format);

// Bytes Frame() writes for format: the frame length for a known bit rate and
// sample rate, else the header and 32 zero bytes of side information.
uint32_t Mp3FrameBytes(const Mp3FrameFormat& format);

// Appends pieces of a file; every call returns the writer for chaining.
class Mp3Writer {
  public:
    // One frame: header, then zeros up to its length.
    Mp3Writer& Frame(const Mp3FrameFormat& format);
    // count frames like format; with pad set, padding is spread as an encoder
    // does for a constant bit rate (format.padding is then ignored).
    Mp3Writer& Frames(uint32_t count, const Mp3FrameFormat& format, bool pad = false);
    // A bare 4-byte header word.
    Mp3Writer& Header(uint32_t word);
    // An ID3v2 tag of payloadBytes zero bytes (payloadBytes < 2^28); footer
    // adds the footer flag and a 10-byte footer.
    Mp3Writer& Id3v2(uint32_t payloadBytes, bool footer = false, uint8_t major = 4,
                     uint8_t flags = 0);
    // Only the 10-byte ID3v2 header, for tags whose size points elsewhere.
    Mp3Writer& Id3v2Header(uint32_t size, uint8_t major = 4, uint8_t flags = 0);
    // A 128-byte ID3v1 tag as found at the end of files.
    Mp3Writer& Id3v1();
    Mp3Writer& Fill(size_t count, uint8_t value);
    Mp3Writer& Raw(const std::vector<uint8_t>& bytes);
    // Pseudo-random bytes that never hold a frame sync (no 0xFF byte).
    Mp3Writer& Garbage(size_t count, uint32_t seed);

    const std::vector<uint8_t>& Bytes() const { return bytes; }
    size_t Size() const { return bytes.size(); }

  private:
    std::vector<uint8_t> bytes;
};

// A constant-bit-rate Layer III stream at 44100 Hz lasting at least seconds
// (whole frames), padded as an encoder pads; plays as silence.
std::vector<uint8_t> MakeSilentMp3(double seconds, int kbps = 128);

// A variable-bit-rate Layer III stream at 44100 Hz lasting at least seconds,
// with bit rates drawn from 56 to 128 kbit/s by seed (about 11 KB a second).
std::vector<uint8_t> MakeVbrMp3(double seconds, uint32_t seed);

// Writes bytes to the file at utf8Path, replacing it. Returns false on failure.
bool SaveFile(const std::string& utf8Path, const std::vector<uint8_t>& bytes);

// An in-memory file for the walk that reads and seeks as ReadFile and
// SetFilePointerEx do on a disk file: reads past the end return 0 bytes,
// seeks past the end succeed, seeks before the start fail.
struct MemoryFile {
    const uint8_t* data;
    uint64_t size;
    uint64_t position;
};

MemoryFile OpenMemory(const std::vector<uint8_t>& bytes);
// Goes to the bytes on every read: the plain reader the windowed one must
// agree with.
ByteReader MemoryByteReader(MemoryFile* file);
BlockSource MemoryBlockSource(MemoryFile* file);
