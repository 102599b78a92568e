#include "settings/resume_point.h"

#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "settings/settings.h"

namespace {

const wchar_t kOpenedName[] = L"ResumeOpened";
const wchar_t kTrackName[] = L"ResumeTrack";
const wchar_t kPositionName[] = L"ResumePosition";
const wchar_t kPausedName[] = L"ResumePaused";

// Settings looks between two writes of a position that only moved: five
// seconds of play lost at most when the process dies, and no registry work
// on most looks.
constexpr int32_t kLooksBetweenWrites = 10;

// An empty path when the value is not a string that fits a path.
void ReadPath(HKEY key, const wchar_t* name, wchar_t* out) {
    std::memset(out, 0, kPathUnits * sizeof(wchar_t));
    DWORD type = 0;
    DWORD size = kPathUnits * sizeof(wchar_t);
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        std::memset(out, 0, kPathUnits * sizeof(wchar_t));
        return;
    }
    // A string stored without its terminator fills the buffer to the end.
    if (size >= kPathUnits * sizeof(wchar_t) && out[kPathUnits - 1] != 0) {
        std::memset(out, 0, kPathUnits * sizeof(wchar_t));
    }
}

void WritePath(HKEY key, const wchar_t* name, const wchar_t* path) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes);
}

// The place as the user-interface thread sees it; false when there is none
// worth keeping. While a search runs the opened path already names the new
// opening and the track may still be the old one's, and between a selection
// and its open the device still holds the track before.
bool TakeResumePoint(const AppState* app, ResumePoint* point) {
    if (!app->resumeOnStart || Load(app->searchState) != Idle) return false;
    const int32_t device = Load(app->device.deviceState);
    if (device == DEV_CLOSED || Load(app->openedSelection) != app->selectionSerial) return false;
    const size_t length = std::wcslen(app->currentPath);
    if (!app->openedPath[0] || length == 0 || length >= kPathUnits) return false;
    if (app->currentPath[length - 1] == L'\\') return false;
    std::memset(point, 0, sizeof(*point));
    CopyText(point->opened, app->openedPath, kPathUnits - 1);
    CopyText(point->track, app->currentPath, kPathUnits - 1);
    // A stopped track goes on from its start, standing, as Stop left it.
    point->paused = device == DEV_PLAYING ? 0 : 1;
    point->positionMs = device == DEV_STOPPED ? 0 : Load(app->positionMs);
    return true;
}

bool SameStanding(const ResumePoint& a, const ResumePoint& b) {
    return a.paused == b.paused && std::wcscmp(a.opened, b.opened) == 0 &&
           std::wcscmp(a.track, b.track) == 0;
}

void WriteResumePoint(AppState* app, const ResumePoint& point) {
    app->resumeLooks = 0;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    WritePath(key, kOpenedName, point.opened);
    WritePath(key, kTrackName, point.track);
    WriteDword(key, kPositionName, point.positionMs);
    WriteDword(key, kPausedName, static_cast<uint32_t>(point.paused));
    RegCloseKey(key);
    app->resumeWritten = point;
}

}  // namespace

bool LoadResumePoint(ResumePoint* point) {
    std::memset(point, 0, sizeof(*point));
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    ReadPath(key, kOpenedName, point->opened);
    ReadPath(key, kTrackName, point->track);
    ReadDword(key, kPositionName, &point->positionMs);
    uint32_t paused = 0;
    ReadDword(key, kPausedName, &paused);
    point->paused = paused != 0 ? 1 : 0;
    RegCloseKey(key);
    return point->opened[0] != 0;
}

void LookAtResumePoint(AppState* app) {
    ResumePoint now;
    if (!TakeResumePoint(app, &now)) {
        // The next place must hold still for a whole look of its own.
        app->resumeSeen.paused = -1;
        return;
    }
    const bool settled = SameStanding(now, app->resumeSeen);
    app->resumeSeen = now;
    if (!settled) return;
    const bool due = ++app->resumeLooks >= kLooksBetweenWrites &&
                     now.positionMs != app->resumeWritten.positionMs;
    if (due || !SameStanding(now, app->resumeWritten)) WriteResumePoint(app, now);
}

void StoreResumePointNow(AppState* app) {
    ResumePoint now;
    if (!TakeResumePoint(app, &now)) return;
    if (SameStanding(now, app->resumeWritten) && now.positionMs == app->resumeWritten.positionMs) return;
    WriteResumePoint(app, now);
}

void DeleteResumePoint(AppState* app) {
    std::memset(&app->resumeWritten, 0, sizeof(app->resumeWritten));
    std::memset(&app->resumeSeen, 0, sizeof(app->resumeSeen));
    app->resumeLooks = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    for (const wchar_t* name : {kOpenedName, kTrackName, kPositionName, kPausedName}) {
        RegDeleteValueW(key, name);
    }
    RegCloseKey(key);
}
