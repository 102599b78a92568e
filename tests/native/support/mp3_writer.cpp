#include "native/support/mp3_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The tables are written out here a second time, from the standard's
// tables rather than from the walk's, so that the tests check one against
// the other instead of the walk against itself.
const uint32_t kMpeg1Kbps[3][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // Layer I
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // Layer II
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // Layer III
};
const uint32_t kLowRateKbps[2][14] = {
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},  // Layer I
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},       // Layers II, III
};
const uint32_t kRates[4][3] = {
    {11025, 12000, 8000},   // MPEG-2.5
    {0, 0, 0},              // reserved version
    {22050, 24000, 16000},  // MPEG-2
    {44100, 48000, 32000},  // MPEG-1
};

[[noreturn]] void Misuse(const char* what) {
    fprintf(stderr, "mp3_writer: %s\n", what);
    abort();
}

uint32_t BitrateIndex(const Mp3FrameFormat& format) {
    if (format.kbps == 0) return 0;
    const uint32_t* table;
    if (format.version == MpegVersion::Mpeg1) {
        table = kMpeg1Kbps[format.layer - 1];
    } else {
        table = kLowRateKbps[format.layer == 1 ? 0 : 1];
    }
    for (uint32_t i = 0; i < 14; ++i) {
        if (table[i] == format.kbps) return i + 1;
    }
    Misuse("bit rate not in the table");
}

uint32_t SampleRateIndex(const Mp3FrameFormat& format) {
    if (format.sampleRate == 0) return 3;
    const uint32_t* rates = kRates[static_cast<int>(format.version)];
    for (uint32_t i = 0; i < 3; ++i) {
        if (rates[i] == format.sampleRate) return i;
    }
    Misuse("sample rate not of this version");
}

void PutSyncSafe(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>((value >> 21) & 0x7F));
    out->push_back(static_cast<uint8_t>((value >> 14) & 0x7F));
    out->push_back(static_cast<uint8_t>((value >> 7) & 0x7F));
    out->push_back(static_cast<uint8_t>(value & 0x7F));
}

uint32_t NextRandom(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

}  // namespace

uint32_t Mp3HeaderWord(const Mp3FrameFormat& format) {
    if (format.layer < 1 || format.layer > 3) Misuse("layer must be 1, 2 or 3");
    uint32_t word = 0xFFE00000;
    word |= static_cast<uint32_t>(format.version) << 19;
    word |= static_cast<uint32_t>(4 - format.layer) << 17;
    word |= 1u << 16;  // no CRC
    word |= BitrateIndex(format) << 12;
    word |= SampleRateIndex(format) << 10;
    word |= (format.padding ? 1u : 0u) << 9;
    return word;
}

uint32_t Mp3FrameBytes(const Mp3FrameFormat& format) {
    if (format.kbps == 0 || format.sampleRate == 0) return 4 + 32;
    uint32_t pad = format.padding ? 1 : 0;
    if (format.layer == 1) return (12000 * format.kbps / format.sampleRate + pad) * 4;
    // Half-rate Layer III frames hold 576 samples, half the bytes.
    bool half = format.version != MpegVersion::Mpeg1 && format.layer == 3;
    return (half ? 72000 : 144000) * format.kbps / format.sampleRate + pad;
}

Mp3Writer& Mp3Writer::Frame(const Mp3FrameFormat& format) {
    Header(Mp3HeaderWord(format));
    bytes.resize(bytes.size() + Mp3FrameBytes(format) - 4, 0);
    return *this;
}

Mp3Writer& Mp3Writer::Frames(uint32_t count, const Mp3FrameFormat& format, bool pad) {
    Mp3FrameFormat frame = format;
    // The fraction of a byte each frame owes is carried over as an encoder
    // does, so the average rate is exact.
    uint32_t owed = 0;
    uint32_t perFrame = format.layer == 1 ? 12000 * format.kbps : 144000 * format.kbps;
    for (uint32_t i = 0; i < count; ++i) {
        if (pad && format.sampleRate != 0) {
            owed += perFrame % format.sampleRate;
            frame.padding = owed >= format.sampleRate;
            if (frame.padding) owed -= format.sampleRate;
        }
        Frame(frame);
    }
    return *this;
}

Mp3Writer& Mp3Writer::Header(uint32_t word) {
    bytes.push_back(static_cast<uint8_t>(word >> 24));
    bytes.push_back(static_cast<uint8_t>(word >> 16));
    bytes.push_back(static_cast<uint8_t>(word >> 8));
    bytes.push_back(static_cast<uint8_t>(word));
    return *this;
}

Mp3Writer& Mp3Writer::Id3v2(uint32_t payloadBytes, bool footer, uint8_t major, uint8_t flags) {
    if (footer) flags |= 0x10;
    Id3v2Header(payloadBytes, major, flags);
    bytes.resize(bytes.size() + payloadBytes, 0);
    if (footer) {
        const uint8_t mark[] = {'3', 'D', 'I', major, 0, flags};
        bytes.insert(bytes.end(), mark, mark + sizeof mark);
        PutSyncSafe(&bytes, payloadBytes);
    }
    return *this;
}

Mp3Writer& Mp3Writer::Id3v2Header(uint32_t size, uint8_t major, uint8_t flags) {
    const uint8_t mark[] = {'I', 'D', '3', major, 0, flags};
    bytes.insert(bytes.end(), mark, mark + sizeof mark);
    PutSyncSafe(&bytes, size);
    return *this;
}

Mp3Writer& Mp3Writer::Id3v1() {
    size_t start = bytes.size();
    bytes.resize(start + 128, 0);
    memcpy(&bytes[start], "TAGSilence", 10);
    return *this;
}

Mp3Writer& Mp3Writer::Fill(size_t count, uint8_t value) {
    bytes.resize(bytes.size() + count, value);
    return *this;
}

Mp3Writer& Mp3Writer::Raw(const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
    return *this;
}

Mp3Writer& Mp3Writer::Garbage(size_t count, uint32_t seed) {
    uint32_t state = seed;
    for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(NextRandom(&state) % 255));
    return *this;
}

std::vector<uint8_t> MakeSilentMp3(double seconds, int kbps) {
    Mp3FrameFormat format;
    format.kbps = static_cast<uint32_t>(kbps);
    uint32_t count = static_cast<uint32_t>(std::ceil(seconds * 44100.0 / 1152.0));
    return Mp3Writer().Frames(count, format, true).Bytes();
}

std::vector<uint8_t> MakeVbrMp3(double seconds, uint32_t seed) {
    const uint32_t kbps[] = {56, 64, 80, 96, 112, 128};
    uint32_t count = static_cast<uint32_t>(std::ceil(seconds * 44100.0 / 1152.0));
    uint32_t state = seed;
    Mp3Writer writer;
    Mp3FrameFormat format;
    for (uint32_t i = 0; i < count; ++i) {
        format.kbps = kbps[NextRandom(&state) % 6];
        writer.Frame(format);
    }
    return writer.Bytes();
}

namespace {

#ifdef _WIN32
// UTF-8 to UTF-16 by hand: the helper stays free of windows.h.
std::wstring WidenUtf8(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        uint8_t lead = static_cast<uint8_t>(text[i]);
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < text.size(); ++k) {
            code = (code << 6) | (static_cast<uint8_t>(text[i + k]) & 0x3F);
        }
        i += 1 + extra;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(code));
        }
    }
    return out;
}
#endif

FILE* OpenForWriting(const std::string& utf8Path) {
#ifdef _WIN32
    return _wfopen(WidenUtf8(utf8Path).c_str(), L"wb");
#else
    return fopen(utf8Path.c_str(), "wb");
#endif
}

}  // namespace

bool SaveFile(const std::string& utf8Path, const std::vector<uint8_t>& bytes) {
    FILE* file = OpenForWriting(utf8Path);
    if (!file) return false;
    bool written = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    bool closed = fclose(file) == 0;
    return written && closed;
}

namespace {

int64_t MemoryRead(void* context, uint8_t* out, uint32_t count) {
    MemoryFile* file = static_cast<MemoryFile*>(context);
    if (file->position >= file->size) return 0;
    uint64_t left = file->size - file->position;
    uint32_t n = left < count ? static_cast<uint32_t>(left) : count;
    memcpy(out, file->data + file->position, n);
    file->position += n;
    return n;
}

bool MemorySeek(void* context, int64_t offset, int32_t origin) {
    MemoryFile* file = static_cast<MemoryFile*>(context);
    int64_t base = origin == READER_FROM_CURRENT ? static_cast<int64_t>(file->position) : 0;
    if (offset < -base) return false;
    file->position = static_cast<uint64_t>(base + offset);
    return true;
}

int64_t MemoryReadAt(void* context, uint64_t offset, uint8_t* out, uint32_t count) {
    MemoryFile* file = static_cast<MemoryFile*>(context);
    file->position = offset;
    return MemoryRead(file, out, count);
}

}  // namespace

MemoryFile OpenMemory(const std::vector<uint8_t>& bytes) {
    MemoryFile file = {bytes.data(), bytes.size(), 0};
    return file;
}

ByteReader MemoryByteReader(MemoryFile* file) {
    ByteReader reader = {file, MemoryRead, MemorySeek};
    return reader;
}

BlockSource MemoryBlockSource(MemoryFile* file) {
    BlockSource source = {file, MemoryReadAt};
    return source;
}
