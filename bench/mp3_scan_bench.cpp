// Times the MP3 scan of one file under Wine: ScanMp3Stream (windowed reads)
// beside the same walk going to the file for every header.
//   mp3_scan_bench write PATH   writes a 60-minute VBR stream to PATH
//   mp3_scan_bench time PATH    prints the median of 5 warm runs of each
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "native/support/mp3_writer.h"
#include "playback/mp3_frame_walk.h"
#include "playback/mp3_scan.h"
#include "support/mp3_file_reader.h"

namespace {

constexpr int kRuns = 5;

bool ScanDirect(const wchar_t* path, Mp3ScanResult* result, uint8_t* buffer) {
    *result = Mp3ScanResult{};
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ByteReader reader = FileByteReader(file);
    bool ok = WalkMp3Frames(&reader, buffer, result);
    CloseHandle(file);
    return ok;
}

// Reading the whole file in window-sized pieces: the floor for any scan
// that goes through ReadFile under Wine.
bool ReadWhole(const wchar_t* path, Mp3ScanResult* result, uint8_t* buffer) {
    *result = Mp3ScanResult{};
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    while (ReadFile(file, buffer, MP3_SEARCH_BYTES, &got, nullptr) && got > 0) {
        result->frameCount += got;
    }
    CloseHandle(file);
    return true;
}

double NowMs() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

using ScanFunction = bool (*)(const wchar_t*, Mp3ScanResult*, uint8_t*);

// The first run warms the cache and is not counted.
double MedianMs(ScanFunction scan, const wchar_t* path, uint8_t* buffer, Mp3ScanResult* result) {
    scan(path, result, buffer);
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        double start = NowMs();
        scan(path, result, buffer);
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[kRuns / 2];
}

std::string Utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n) - 1);
    return out;
}

}  // namespace

int main() {
    // The wide command line, so that any path reaches the scan unchanged.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc != 3) {
        fprintf(stderr, "usage: mp3_scan_bench write|time PATH\n");
        return 2;
    }
    if (wcscmp(argv[1], L"write") == 0) {
        std::vector<uint8_t> bytes = MakeVbrMp3(3600.0, 60);
        if (!SaveFile(Utf8(argv[2]), bytes)) return 1;
        printf("wrote %zu bytes\n", bytes.size());
        return 0;
    }
    std::vector<uint8_t> buffer(MP3_SEARCH_BYTES);
    Mp3ScanResult windowed = {}, direct = {};
    double windowedMs = MedianMs(ScanMp3Stream, argv[2], buffer.data(), &windowed);
    double directMs = MedianMs(ScanDirect, argv[2], buffer.data(), &direct);
    Mp3ScanResult whole = {};
    double wholeMs = MedianMs(ReadWhole, argv[2], buffer.data(), &whole);
    bool same = memcmp(&windowed, &direct, sizeof windowed) == 0;
    printf("frames %u min %u max %u duration_ms %.1f valid %d same %d\n", windowed.frameCount,
           windowed.minBitrate, windowed.maxBitrate, windowed.durationMs, windowed.valid, same ? 1 : 0);
    printf("scan_ms %.2f\nper_header_ms %.2f\nread_whole_ms %.2f\n", windowedMs, directMs, wholeMs);
    return windowed.valid && same ? 0 : 1;
}
