#include "library/search.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "core/worker_protocol.h"

namespace {

constexpr LPARAM kSearchingNoticeTicks = 4800;
// The longest a search gives way to the first sound of its opened file.
constexpr DWORD kSoundGateMs = 1000;
const wchar_t kListPattern[] = L"*";

struct TypeExtension {
    const wchar_t* text;  // lower case, with its dot
    uint32_t bit;         // 0: accepted whatever the mask says
};

// MP3 and WMA are always on; the settings force their bits, and the filter
// does not even look at them.
const TypeExtension kExtensions[] = {
    {L".mp3", 0},        {L".wma", 0},       {L".aac", TYPE_AAC},  {L".m4a", TYPE_M4A},
    {L".flac", TYPE_FLAC}, {L".mid", TYPE_MIDI}, {L".midi", TYPE_MIDI}, {L".wav", TYPE_WAV},
};
constexpr size_t kLongestExtension = 5;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool StillRunning(const AppState* app) {
    return Load(app->searchState) == Running;
}

void RunPass(DirectoryWalk* walk, void (*onFile)(DirectoryWalk*), int32_t depth) {
    walk->stop = 0;
    walk->onFile = onFile;
    walk->depthBudget = depth;
    WalkDirectory(walk);
}

// Sizes both arrays for count tracks, reusing them when they are large
// enough; false when an allocation failed.
bool EnsureCapacity(AppState* app, int32_t count) {
    if (count > Load(app->trackCapacity)) {
        std::free(app->trackList.exchange(nullptr));
        std::free(app->playOrder.exchange(nullptr));
        Store(app->trackCapacity, count);
        const size_t n = static_cast<size_t>(count);
        Store(app->trackList, static_cast<TrackEntry*>(std::malloc(n * sizeof(TrackEntry))));
        Store(app->playOrder, static_cast<int32_t*>(std::malloc(n * sizeof(int32_t))));
    }
    TrackEntry* list = Load(app->trackList);
    int32_t* order = Load(app->playOrder);
    if (!list || !order) {
        // A lone surviving array stays allocated until the next growth or
        // the window's destruction frees it.
        Store(app->trackCapacity, 0);
        return false;
    }
    // Entries past the new count must read as empty after a smaller search.
    const size_t capacity = static_cast<size_t>(Load(app->trackCapacity));
    std::memset(list, 0, capacity * sizeof(TrackEntry));
    std::memset(order, 0, capacity * sizeof(int32_t));
    return true;
}

}  // namespace

bool MatchesTypeFilter(const wchar_t* name, uint32_t mask) {
    const wchar_t* dot = wcsrchr(name, L'.');
    if (!dot) return false;
    const size_t length = wcslen(dot);
    if (length > kLongestExtension) return false;
    // Only A to Z fold; any other unit must match exactly.
    wchar_t folded[kLongestExtension + 1];
    for (size_t i = 0; i <= length; ++i) {
        const wchar_t c = dot[i];
        folded[i] = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    }
    for (const TypeExtension& ext : kExtensions) {
        if (std::wcscmp(folded, ext.text) != 0) continue;
        return ext.bit == 0 || (mask & ext.bit) != 0;
    }
    return false;
}

// Runs on the search thread.
void WalkDirectory(DirectoryWalk* walk) {
    if (walk->stop || walk->depthBudget < 0) return;

    size_t n = wcslen(walk->dirPath);
    if (n != 0 && !IsSeparator(walk->dirPath[n - 1])) {
        if (n + 1 >= kPathUnits) return;
        walk->dirPath[n++] = L'\\';
        walk->dirPath[n] = 0;
    }
    const size_t patternLength = static_cast<size_t>(walk->patternLength);
    if (n + patternLength >= kPathUnits) return;

    std::memcpy(walk->filePath, walk->dirPath, (n + 1) * sizeof(wchar_t));
    std::memcpy(walk->dirPath + n, walk->pattern, (patternLength + 1) * sizeof(wchar_t));
    HANDLE listing = FindFirstFileW(walk->dirPath, &walk->findData);
    walk->dirPath[n] = 0;

    walk->depthBudget -= 1;
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const wchar_t* name = walk->findData.cFileName;
            const size_t nameLength = wcslen(name);
            walk->nameLength = static_cast<int32_t>(nameLength);
            // Whatever would not fit a 260-unit entry with its terminator is
            // skipped, so every path handed on fits a track list entry.
            if (n + nameLength >= kPathUnits) continue;
            if (!(walk->findData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                std::memcpy(walk->filePath + n, name, (nameLength + 1) * sizeof(wchar_t));
                walk->onFile(walk);
            } else if (name[0] != L'.') {
                // "." and "..", and every other dot directory, are never entered.
                std::memcpy(walk->dirPath + n, name, (nameLength + 1) * sizeof(wchar_t));
                WalkDirectory(walk);
                walk->dirPath[n] = 0;
            }
        } while (!walk->stop && FindNextFileW(listing, &walk->findData));
        FindClose(listing);
    }
    walk->depthBudget += 1;
}

// Runs on the search thread.
void CountAudioFile(DirectoryWalk* walk) {
    const AppState* app = static_cast<const AppState*>(walk->context);
    if (walk->matchCount >= kMaxTracks || !StillRunning(app)) {
        walk->stop = 1;
        return;
    }
    if (MatchesTypeFilter(walk->findData.cFileName, Load(app->fileTypes))) walk->matchCount += 1;
}

// Runs on the search thread.
void CollectAudioFile(DirectoryWalk* walk) {
    AppState* app = static_cast<AppState*>(walk->context);
    const int32_t count = Load(app->trackCount);
    // The tree may have grown since it was counted; the list never overflows.
    if (count == Load(app->trackCapacity) || !StillRunning(app)) {
        walk->stop = 1;
        return;
    }
    if (!MatchesTypeFilter(walk->findData.cFileName, Load(app->fileTypes))) return;
    TrackEntry* entry = Load(app->trackList) + count;
    const size_t length = wcslen(walk->filePath);
    std::memcpy(entry->path, walk->filePath, (length + 1) * sizeof(wchar_t));
    Store(app->trackCount, count + 1);
}

// Runs on the search thread.
unsigned __stdcall SearchThread(void* argument) {
    AppState* app = static_cast<AppState*>(argument);
    if (app->soundGate) WaitForSingleObject(app->soundGate, kSoundGateMs);
    // The notice goes out in every case: the UI thread waits for it to leave
    // the Running state and re-post what was parked.
    if (!RequestSnapshot(app, SNAP_SEARCH)) {
        ReportDone(app, kSearchWorker);
        return 0;
    }
    // The walk record carries two 512-unit paths and a find record; it lives
    // on this thread's stack like the rest of the recursion.
    DirectoryWalk walk;
    std::memset(&walk, 0, sizeof(walk));
    CopyText(walk.dirPath, app->searchRoot, kBufferUnits - 1);
    const int32_t depth = app->searchDepth;

    Store(app->currentTrack, -1);
    Store(app->trackCount, 0);
    ReportStatus(app, STATUS_NOTICE, kSearchingNoticeTicks, false);

    walk.pattern = kListPattern;
    walk.patternLength = static_cast<int32_t>(wcslen(kListPattern));
    walk.context = app;
    RunPass(&walk, CountAudioFile, depth);

    if (walk.matchCount > 0 && StillRunning(app) && EnsureCapacity(app, walk.matchCount)) {
        RunPass(&walk, CollectAudioFile, depth);
        // Stored only while the search is still Running, so a list cut short
        // by a close never gets an order built from it.
        DeferCommand(app, DEFER_BUILD_ORDER, kSlotOrder);
    }
    ReportDone(app, kSearchWorker);
    return 0;
}
