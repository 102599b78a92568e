// Wave-file headers written by our own code for the format check's tests and
// fuzz seeds: chunks as given, so a case can put anything in any order.
#pragma once
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A format chunk's fields; extra >= 0 appends cbSize and that many zero bytes,
// and with 22 or more, sub fills the first word of a PCM-family GUID.
struct WavFields {
    uint16_t tag, channels;
    uint32_t rate, byteRate;
    uint16_t block, bits;
    int32_t extra = -1;
    uint16_t sub = 0;
};

inline void PutLe(Bytes* out, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline Bytes FormatBody(const WavFields& f) {
    Bytes out;
    for (uint64_t v : {f.tag, f.channels}) PutLe(&out, v, 2);
    for (uint64_t v : {f.rate, f.byteRate}) PutLe(&out, v, 4);
    for (uint64_t v : {f.block, f.bits}) PutLe(&out, v, 2);
    if (f.extra < 0) return out;
    PutLe(&out, static_cast<uint64_t>(f.extra), 2);
    out.resize(out.size() + static_cast<size_t>(f.extra), 0);
    if (f.extra < 22) return out;
    const Bytes guid = {uint8_t(f.sub), uint8_t(f.sub >> 8), 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::copy(guid.begin(), guid.end(), out.begin() + 24);
    return out;
}

// id, the size (body.size() unless given), the body and its pad byte.
inline Bytes Chunk(const char* id, const Bytes& body, int64_t size = -1) {
    Bytes out(id, id + 4);
    PutLe(&out, static_cast<uint64_t>(size < 0 ? static_cast<int64_t>(body.size()) : size), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
    return out;
}

inline Bytes RiffWave(std::initializer_list<Bytes> chunks) {
    Bytes rest = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) rest.insert(rest.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    PutLe(&out, rest.size(), 4);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

inline Bytes MakeWav(const WavFields& f) { return RiffWave({Chunk("fmt ", FormatBody(f)), Chunk("data", Bytes(64, 0))}); }
