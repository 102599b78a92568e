#include "library/open_path.h"

#include <process.h>

#include <cstring>
#include <cwchar>

#include "core/deferral.h"
#include "library/play_order.h"
#include "library/search.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Zero-fills the buffer and copies at most its size minus one units, so the
// result is always terminated and the tail holds no stale text.
void CopyZeroFilled(wchar_t* dst, size_t units, const wchar_t* src) {
    std::memset(dst, 0, units * sizeof(wchar_t));
    CopyText(dst, src, units - 1);
}

// The cleaned path names an existing file or a directory (which ends in
// its separator); a file is listed when its type is one the search takes.
bool WillBeListed(const wchar_t* path, uint32_t fileTypes) {
    PathParts parts;
    SplitPath(&parts, path);
    return parts.name[0] != 0 && MatchesTypeFilter(parts.name, fileTypes);
}

// Whether a saved track can go on within the opening of searchPath (already
// cleaned): it is still there, in the searched folder, or below it when
// subdirectories are searched. Another type than the search lists (a CD
// track opened by itself) still plays; the list then simply lacks it.
bool GoesOnInOpening(const wchar_t* searchPath, const wchar_t* track, bool subdirs) {
    const DWORD attributes = GetFileAttributesW(track);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    PathParts opened;
    SplitPath(&opened, searchPath);
    PathParts saved;
    SplitPath(&saved, track);
    const size_t folder = std::wcslen(opened.directory);
    if (subdirs) return _wcsnicmp(saved.directory, opened.directory, folder) == 0;
    return _wcsicmp(saved.directory, opened.directory) == 0;
}

}  // namespace

void SplitPath(PathParts* parts, const wchar_t* path) {
    size_t n = wcslen(path);
    if (n >= kPathUnits) {
        std::memcpy(parts->full, path, kPathUnits * sizeof(wchar_t));
        parts->full[kPathUnits - 1] = 0;
        n = kPathUnits - 1;
    } else {
        std::memset(parts->full, 0, sizeof(parts->full));
        std::memcpy(parts->full, path, (n + 1) * sizeof(wchar_t));
    }
    std::memcpy(parts->directory, parts->full, sizeof(parts->directory));

    // Either separator counts, whichever comes last, so mixed paths split too.
    const wchar_t* backslash = wcsrchr(parts->directory, L'\\');
    const wchar_t* slash = wcsrchr(parts->directory, L'/');
    const wchar_t* separator = backslash;
    if (slash && (!separator || slash > separator)) separator = slash;

    size_t k = n;
    parts->name = parts->full;
    if (separator) {
        const size_t at = static_cast<size_t>(separator - parts->directory);
        k = n - at - 1;
        parts->name = parts->full + at + 1;
    }
    parts->directory[n - k] = 0;

    std::memset(parts->stem, 0, sizeof(parts->stem));
    CopyText(parts->stem, parts->name, kPathUnits - 1);

    // Only the file name is searched, so a dot in a directory name is no extension.
    wchar_t* dot = wcsrchr(parts->stem, L'.');
    if (dot) {
        const size_t at = static_cast<size_t>(dot - parts->stem);
        parts->dotExtension = parts->name + at;
        *dot = 0;
    } else {
        parts->dotExtension = parts->full + n;
    }
}

void CollapseSeparators(wchar_t* pathBuffer) {
    const size_t oldLength = wcslen(pathBuffer);
    for (size_t i = 0; i < oldLength; ++i) {
        if (pathBuffer[i] == L'/') pathBuffer[i] = L'\\';
    }
    size_t out = 0;
    size_t in = 0;
    // A leading run keeps two backslashes so a network path stays one.
    if (pathBuffer[0] == L'\\') {
        while (pathBuffer[in] == L'\\') ++in;
        out = in >= 2 ? 2 : 1;
    }
    for (; in < oldLength; ++in) {
        const wchar_t c = pathBuffer[in];
        if (c == L'\\' && out > 0 && pathBuffer[out - 1] == L'\\') continue;
        pathBuffer[out++] = c;
    }
    for (size_t i = out; i < oldLength; ++i) pathBuffer[i] = 0;
}

void NormalizePathBuffer(wchar_t* pathBuffer) {
    CollapseSeparators(pathBuffer);
    const DWORD attributes = GetFileAttributesW(pathBuffer);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        size_t n = wcslen(pathBuffer);
        if (n > 0 && IsSeparator(pathBuffer[n - 1])) --n;
        // A directory path always ends in exactly one backslash (C:\ stays C:\),
        // which is how a directory is told from a file later on.
        if (n + 1 < kBufferUnits) {
            pathBuffer[n] = L'\\';
            pathBuffer[n + 1] = 0;
        }
        return;
    }
    const DWORD again = GetFileAttributesW(pathBuffer);
    if (again == INVALID_FILE_ATTRIBUTES || (again & FILE_ATTRIBUTE_DIRECTORY)) {
        std::memset(pathBuffer, 0, kBufferUnits * sizeof(wchar_t));
    }
}

void SetDirectoryPath(wchar_t* pathBuffer, const wchar_t* folder) {
    // The whole folder path is kept: the buffer has room for the backslash
    // even when the folder itself takes all 259 units.
    std::memset(pathBuffer, 0, kBufferUnits * sizeof(wchar_t));
    CopyText(pathBuffer, folder, kPathUnits - 1);
    size_t n = wcslen(pathBuffer);
    if (n > 0 && IsSeparator(pathBuffer[n - 1])) --n;
    pathBuffer[n] = L'\\';
    pathBuffer[n + 1] = 0;
}

bool FitsAsSearchPath(AppState* app) {
    // A folder of 259 units needs one more for its backslash; split to a
    // path's 259 it would lose it and the parent would be searched. No file
    // name fits in such a folder, so it is refused, changing nothing.
    constexpr int32_t kTooLongTicks = 60;
    if (wcslen(app->pathBuffer) < kPathUnits) return true;
    std::memset(app->pathBuffer, 0, sizeof(app->pathBuffer));
    ShowStatusKind(app, StatusPathTooLong, kTooLongTicks);
    return false;
}

void OpenPathBuffer(AppState* app) {
    if (!MayRunNow(app, kSlotMain, DEFER_OPEN_PATH)) return;
    NormalizePathBuffer(app->pathBuffer);
    if (!app->pathBuffer[0] || !FitsAsSearchPath(app)) {
        PlayOwedSuccessor(app);
        return;
    }
    const bool playsAtOnce = WillBeListed(app->pathBuffer, Load(app->fileTypes));
    if (playsAtOnce && app->soundGate && Load(app->playbackState) == Running) ResetEvent(app->soundGate);
    StartSearch(app);
    // A file the search will list needs nothing of the rest of the folder to
    // start: it plays now, and the order built when the search ends finds it
    // playing as its current track. Anything else (a folder, a type that is
    // not searched for) parks its selection until the list exists.
    if (Load(app->searchState) == Running && playsAtOnce) {
        PlayCurrentPath(app);
    } else {
        SelectCurrentTrack(app);
    }
}

void OpenResumePoint(AppState* app, const ResumePoint& point) {
    constexpr int32_t kFolderGoneTicks = 100;
    // The path as it was opened; a file opened then and gone since leaves
    // its folder, which is what its search covered.
    CopyZeroFilled(app->pathBuffer, kBufferUnits, point.opened);
    NormalizePathBuffer(app->pathBuffer);
    if (!app->pathBuffer[0]) {
        PathParts parts;
        SplitPath(&parts, point.opened);
        CopyZeroFilled(app->pathBuffer, kBufferUnits, parts.directory);
        NormalizePathBuffer(app->pathBuffer);
    }
    if (!app->pathBuffer[0]) {
        ShowStatusKind(app, StatusFolderGone, kFolderGoneTicks);
        return;
    }
    if (!GoesOnInOpening(app->pathBuffer, point.track, app->includeSubdirs != 0)) {
        OpenPathBuffer(app);
        return;
    }
    if (!FitsAsSearchPath(app)) return;
    // As an opened file that the search will list: the track starts now and
    // the order built when the search ends finds it as its current track.
    if (app->soundGate && Load(app->playbackState) == Running) ResetEvent(app->soundGate);
    StartSearch(app);
    CopyZeroFilled(app->currentPath, kBufferUnits, point.track);
    PlayCurrentPath(app);
    app->resumePending = 1;
    app->resumeSelection = app->selectionSerial;
    app->resumeFromMs = point.positionMs;
    app->resumePaused = point.paused;
}

void StartSearch(AppState* app) {
    if (!MayRunNow(app, kSlotMain, DEFER_START_SEARCH)) return;
    // The opened path is chosen now; its selection may wait for the search.
    app->successorOwed = 0;
    CopyZeroFilled(app->currentPath, kBufferUnits, app->pathBuffer);
    CopyZeroFilled(app->openedPath, kPathUnits, app->pathBuffer);
    PathParts parts;
    SplitPath(&parts, app->currentPath);
    // For a directory currentPath and searchDir come out equal; the rebuilt
    // play order relies on that to start at a drawn track.
    CopyZeroFilled(app->searchDir, kBufferUnits, parts.directory);
    LaunchSearchThread(app);
}

bool LaunchSearchThread(AppState* app) {
    Store(app->searchState, Running);
    // The list is about to change: nothing prepared from it is next.
    NextTrackChanged(app);
    if (app->searchThreadHandle) {
        CloseHandle(app->searchThreadHandle);
        app->searchThreadHandle = nullptr;
    }
    // The token hashes the handle block, so it is taken after the old handle
    // has gone and differs from the one a stale thread would report.
    app->searchToken = ComputeThreadToken(app);
    unsigned threadId = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, SearchThread, app, 0, &threadId);
    if (!handle) {
        Store(app->searchState, Idle);
        return false;
    }
    app->searchThreadId = threadId;
    app->searchThreadHandle = reinterpret_cast<HANDLE>(handle);
    return true;
}
