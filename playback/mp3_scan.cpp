#include "playback/mp3_scan.h"

#include <windows.h>

#include "playback/media_device.h"
#include "playback/mp3_frame_walk.h"

namespace {

// A window this size turns the walk's one read per frame into one ReadFile
// per 64 KiB: a long VBR file scans in about the time of reading it once.
constexpr uint32_t kWindowBytes = 65536;

int64_t ReadFileAt(void* context, uint64_t offset, uint8_t* out, uint32_t count) {
    HANDLE file = static_cast<HANDLE>(context);
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, to, nullptr, FILE_BEGIN)) return -1;
    DWORD got = 0;
    if (!g_readFile(file, out, count, &got, nullptr)) return -1;
    return got;
}

bool SizeAllowed(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return false;
    uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return size < MP3_SCAN_FILE_LIMIT;
}

}  // namespace

BlockSource FileBlockSource(void* file) { return {file, ReadFileAt}; }

// Runs on the playback thread.
bool ScanMp3Stream(const wchar_t* path, Mp3ScanResult* result, uint8_t* buffer) {
    if (!result) return false;
    *result = Mp3ScanResult{};
    if (!path) return false;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool valid = false;
    if (SizeAllowed(file)) {
        // On the stack, not in the caller's buffer: the first-frame search
        // reads into that buffer while the window is live, and the scan
        // must work without it when the first frame follows the tags.
        uint8_t window[kWindowBytes];
        BlockSource source = FileBlockSource(file);
        WindowedReader windowed;
        InitWindowedReader(&windowed, source, window, kWindowBytes);
        ByteReader reader = WindowedByteReader(&windowed);
        valid = WalkMp3Frames(&reader, buffer, result);
    }
    CloseHandle(file);
    return valid;
}
