// Wave-file headers written by our own code for the format check's tests and
// fuzz seeds: chunks as given, so a case can put anything in any order.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

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
