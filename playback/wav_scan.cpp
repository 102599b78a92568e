#include "playback/wav_scan.h"

#include <windows.h>

#include "playback/mp3_scan.h"
#include "playback/wav_header.h"

namespace {

// Enough for the RIFF header and the chunk headers in front of the format.
constexpr uint32_t kWindowBytes = 512;

}  // namespace

// Runs on the playback thread.
bool WavFileMayOpen(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    uint8_t window[kWindowBytes];
    WindowedReader windowed;
    InitWindowedReader(&windowed, FileBlockSource(file), window, kWindowBytes);
    const ByteReader reader = WindowedByteReader(&windowed);
    const WavVerdict verdict = CheckWavHeader(&reader, nullptr);
    CloseHandle(file);
    return verdict != WAV_IMPOSSIBLE;
}
