#include "support/mp3_file_reader.h"

namespace {

int64_t HandleRead(void* context, uint8_t* out, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(context), out, count, &got, nullptr)) return -1;
    return got;
}

bool HandleSeek(void* context, int64_t offset, int32_t origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    const DWORD method = origin == READER_FROM_CURRENT ? FILE_CURRENT : FILE_BEGIN;
    return SetFilePointerEx(static_cast<HANDLE>(context), distance, nullptr, method) != 0;
}

}  // namespace

ByteReader FileByteReader(HANDLE file) {
    return ByteReader{file, HandleRead, HandleSeek};
}
