#include "support/library_support.h"

#include <cstring>

#include "library/open_path.h"
#include "support/window_fixture.h"

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) {
    if (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) return dir + name;
    return dir + L"\\" + name;
}

bool TouchFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool TouchFiles(const std::wstring& dir, const std::vector<std::wstring>& names) {
    bool ok = true;
    for (const std::wstring& name : names) ok = TouchFile(JoinPath(dir, name)) && ok;
    return ok;
}

bool MakeTrackTree(const std::wstring& root, int count) {
    constexpr int kPerFolder = 100;
    std::wstring folder;
    std::wstring first;
    bool ok = true;
    for (int i = 0; ok && i < count; ++i) {
        const std::wstring name = std::to_wstring(i % kPerFolder) + L".mp3";
        if (i % kPerFolder == 0) {
            // One real file per folder: a file system caps the links to one inode.
            folder = JoinPath(root, L"d" + std::to_wstring(i / kPerFolder));
            first = JoinPath(folder, name);
            ok = CreateDirectoryW(folder.c_str(), nullptr) && TouchFile(first);
        } else {
            ok = CreateHardLinkW(JoinPath(folder, name).c_str(), first.c_str(), nullptr) != 0;
        }
    }
    return ok;
}

namespace {

std::wstring BuildTrackTree(int count) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring tree = JoinPath(temp, L"pt-tracks-" + std::to_wstring(count + 1));
    if (GetFileAttributesW(tree.c_str()) != INVALID_FILE_ATTRIBUTES) return tree;
    const std::wstring part = tree + L".part";
    DeleteTree(part);
    if (!CreateDirectoryW(part.c_str(), nullptr)) return std::wstring();
    if (!TouchFile(JoinPath(part, L"extra.mp3")) || !MakeTrackTree(part, count) ||
        !MoveFileW(part.c_str(), tree.c_str())) {
        return std::wstring();
    }
    return tree;
}

}  // namespace

std::wstring LargeTrackTree() {
    return CachedTrackTree(kMaxTracks);
}

std::wstring CachedTrackTree(int count) {
    // Tests run as parallel processes in one prefix: one builds the tree
    // while the others wait for it, instead of deleting each other's work.
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"PebbletuneTestLargeTrackTree");
    if (lock) WaitForSingleObject(lock, INFINITE);
    const std::wstring tree = BuildTrackTree(count);
    if (lock) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
    return tree;
}

void DeleteTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE listing = FindFirstFileW(JoinPath(path, L"*").c_str(), &data);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = JoinPath(path, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(listing, &data));
        FindClose(listing);
    }
    RemoveDirectoryW(path.c_str());
}

namespace {

void ListInto(const std::wstring& dir, int depth, std::vector<std::wstring>* out) {
    WIN32_FIND_DATAW data;
    HANDLE listing = FindFirstFileW(JoinPath(dir, L"*").c_str(), &data);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring child = JoinPath(dir, data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            out->push_back(child);
        } else if (data.cFileName[0] != L'.' && depth > 0) {
            ListInto(child, depth - 1, out);
        }
    } while (FindNextFileW(listing, &data));
    FindClose(listing);
}

}  // namespace

std::vector<std::wstring> ListTree(const std::wstring& dir, int depth) {
    std::vector<std::wstring> out;
    ListInto(dir, depth, &out);
    return out;
}

std::vector<std::wstring> TrackPaths(const AppState* app) {
    std::vector<std::wstring> out;
    const TrackEntry* list = Load(app->trackList);
    for (int32_t i = 0; i < Load(app->trackCount); ++i) out.push_back(list[i].path);
    return out;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

bool ParkPlaybackThread(AppState* app) {
    Store(app->playbackState, Closing);
    SetEvent(app->wakeEvent);
    HANDLE thread = app->playbackThreadHandle;
    // The thread may be waiting on a handshake with this thread: keep pumping.
    const bool ended =
        PumpUntil([thread] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000);
    Store(app->playbackState, Idle);
    return ended;
}

bool WaitForSearch(AppState* app, DWORD timeoutMs) {
    const bool idle = PumpUntil([app] { return Load(app->searchState) == Idle; }, timeoutMs);
    PumpFor(30);
    return idle;
}

bool OpenAndWait(AppState* app, const std::wstring& path, DWORD timeoutMs) {
    std::memset(app->pathBuffer, 0, sizeof(app->pathBuffer));
    CopyText(app->pathBuffer, path.c_str(), kBufferUnits - 1);
    OpenPathBuffer(app);
    return WaitForSearch(app, timeoutMs);
}

uint32_t StepGenerator(uint32_t* state) {
    *state = *state * 214013u + 2531011u;
    return (*state >> 16) & 0x7FFFu;
}

uint32_t SeedForResidues(const std::vector<uint32_t>& residues, uint32_t modulus) {
    for (uint32_t seed = 1;; ++seed) {
        uint32_t s = seed;
        size_t i = 0;
        while (i < residues.size() && StepGenerator(&s) % modulus == residues[i]) ++i;
        if (i == residues.size()) return seed;
    }
}
