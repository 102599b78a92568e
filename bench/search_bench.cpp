// Times the directory search of the player against one bare listing walk of
// the same tree, and reports the memory a full track list costs.
// Usage: search_bench.exe <tree> [runs]   (prints one "name value" per line)
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "library/open_path.h"
#include "support/library_support.h"
#include "support/window_fixture.h"

namespace {

double NowMs() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The floor of one search pass: every entry listed once, nothing kept.
long BareWalk(const std::wstring& dir) {
    long files = 0;
    WIN32_FIND_DATAW data;
    HANDLE listing = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++files;
        } else if (data.cFileName[0] != L'.') {
            files += BareWalk(dir + L"\\" + data.cFileName);
        }
    } while (FindNextFileW(listing, &data));
    FindClose(listing);
    return files;
}

// From StartSearch to the accepted completion notice.
double TimeSearch(AppState* app, const std::wstring& tree) {
    std::memset(app->pathBuffer, 0, sizeof(app->pathBuffer));
    CopyText(app->pathBuffer, (tree + L"\\").c_str(), kBufferUnits - 1);
    const double start = NowMs();
    StartSearch(app);
    PumpUntil([app] { return Load(app->searchState) == Idle; }, 120000);
    return NowMs() - start;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        std::fprintf(stderr, "usage: search_bench <tree> [runs]\n");
        return 2;
    }
    const std::wstring tree = argv[1];
    const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;

    AppState* app = ResetWithDefaults();
    app->includeSubdirs = 1;
    Store(app->fileTypes, TYPE_MP3 | TYPE_WMA | TYPE_FLAC);
    if (!CreatePlayerWindow(app) || !ParkPlaybackThread(app)) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }

    // One unmeasured round each warms the cache and sizes the arrays.
    long listed = BareWalk(tree);
    TimeSearch(app, tree);
    std::vector<double> walks;
    std::vector<double> searches;
    for (int i = 0; i < runs; ++i) {
        double start = NowMs();
        listed = BareWalk(tree);
        walks.push_back(NowMs() - start);
        searches.push_back(TimeSearch(app, tree));
    }

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    const double mib = 1024.0 * 1024.0;

    std::printf("files_listed %ld\n", listed);
    std::printf("tracks %d\n", Load(app->trackCount));
    std::printf("search_ms %.1f\n", Median(searches));
    std::printf("bare_walk_ms %.1f\n", Median(walks));
    std::printf("peak_working_set_mib %.1f\n", static_cast<double>(memory.PeakWorkingSetSize) / mib);
    std::printf("track_arrays_mib %.1f\n",
                static_cast<double>(Load(app->trackCapacity)) * (sizeof(TrackEntry) + 4) / mib);
    CloseAndWait(app);
    return 0;
}
