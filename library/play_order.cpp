#include "library/play_order.h"

#include <cstring>
#include <cwchar>

#include "core/deferral.h"
#include "core/worker_protocol.h"

namespace {

constexpr int32_t kNavigationGuardTicks = 10;
constexpr int32_t kOpenFailedTicks = 60;
constexpr int32_t kNoAudioTicks = 100;

// A position taken round the order, either way.
int32_t WrapPosition(int32_t position, int32_t count) {
    const int32_t q = position % count;
    return q < 0 ? q + count : q;
}

wchar_t FoldLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

// Paths as the file system spells them may differ from the opened path in
// the case of A to Z only; other letters are compared exactly.
bool SamePathIgnoringCase(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        if (FoldLetter(*a) != FoldLetter(*b)) return false;
        if (*a == 0) return true;
    }
}

int32_t FindTrack(const TrackEntry* list, int32_t count, const wchar_t* path) {
    for (int32_t i = 0; i < count; ++i) {
        if (SamePathIgnoringCase(list[i].path, path)) return i;
    }
    return -1;
}

void Shuffle(AppState* app, int32_t* order, int32_t count) {
    // Every position swaps with any position, its own included. This is not
    // Fisher-Yates, and with more than 32768 tracks j stays below 32768; the
    // sequence is kept exactly so that one seed always gives one order.
    for (int32_t i = 0; i < count; ++i) {
        const int32_t j = static_cast<int32_t>(DrawRandom(app) % static_cast<uint32_t>(count));
        const int32_t held = order[i];
        order[i] = order[j];
        order[j] = held;
    }
    // The current track goes back to its own position, so the position keeps
    // naming it while everything around it is shuffled.
    const int32_t current = app->playPosition;
    for (int32_t k = 0; k < count; ++k) {
        if (order[k] != current) continue;
        order[k] = order[current];
        order[current] = current;
        break;
    }
}

// Removes the first entry equal to path, unit for unit; true when one went.
bool RemoveTrackEntry(AppState* app, const wchar_t* path) {
    TrackEntry* list = Load(app->trackList);
    const int32_t count = Load(app->trackCount);
    for (int32_t i = 0; i < count; ++i) {
        if (std::wcscmp(list[i].path, path) != 0) continue;
        std::memmove(list + i, list + i + 1,
                     static_cast<size_t>(count - i - 1) * sizeof(TrackEntry));
        Store(app->trackCount, count - 1);
        return true;
    }
    return false;
}

}  // namespace

void SeedRandom(AppState* app, uint32_t seed) {
    app->randomState = seed;
}

uint32_t DrawRandom(AppState* app) {
    app->randomState = app->randomState * 214013u + 2531011u;
    return (app->randomState >> 16) & 0x7FFF;
}

void BuildPlayOrder(AppState* app) {
    if (!MayRunNow(app, kSlotOrder, DEFER_BUILD_ORDER)) return;
    const int32_t count = Load(app->trackCount);
    const TrackEntry* list = Load(app->trackList);
    int32_t* order = Load(app->playOrder);

    if (count > 0) {
        if (std::wcscmp(app->currentPath, app->searchDir) == 0) {
            // A directory was opened: it starts at a drawn track.
            Store(app->currentTrack, static_cast<int32_t>(DrawRandom(app) % static_cast<uint32_t>(count)));
        } else {
            const int32_t found = FindTrack(list, count, app->currentPath);
            if (found >= 0) Store(app->currentTrack, found);
        }
    }
    app->playPosition = Load(app->currentTrack);
    // A new order may put another track next.
    NextTrackChanged(app);
    for (int32_t i = 0; i < count; ++i) order[i] = i;
    if (app->shuffle == 1 && count > 0) Shuffle(app, order, count);
}

void SelectCurrentTrack(AppState* app) {
    if (!MayRunNow(app, kSlotSelect, DEFER_SELECT_TRACK)) return;
    const int32_t count = Load(app->trackCount);
    int32_t current = Load(app->currentTrack);
    if (count > 0 && current >= 0) {
        current %= count;
        Store(app->currentTrack, current);
        CopyText(app->currentPath, Load(app->trackList)[current].path, kPathUnits - 1);
    }
    // With no track chosen, whatever currentPath holds plays: an opened file
    // of a disabled type, or the opened path when the search found nothing.
    if (!app->currentPath[0]) return;
    PlayCurrentPath(app);
}

void PlayCurrentPath(AppState* app) {
    // Whatever a failed track's removal left owed, this selection replaces.
    app->successorOwed = 0;
    app->selectionSerial += 1;
    SignalPlayback(app, PB_PLAY);
    app->ticksSinceSelect = 0;
}

void GoToPosition(AppState* app, int32_t position) {
    const int32_t count = Load(app->trackCount);
    // Every caller checks for tracks first; an empty list has no position.
    if (count < 1) return;
    const int32_t q = WrapPosition(position, count);
    app->playPosition = q;
    // Whatever was prepared to follow the old position is either the track
    // chosen now (and taken by its play) or no longer next.
    NextTrackChanged(app);
    Store(app->currentTrack, Load(app->playOrder)[q]);
    SelectCurrentTrack(app);
}

void Navigate(AppState* app, int32_t code, int32_t delta) {
    // A second press within half a second of a selection is ignored outright,
    // before it could be parked.
    if (app->ticksSinceSelect < kNavigationGuardTicks) return;
    if (!MayRunNow(app, kSlotMain, code)) return;
    if (Load(app->trackCount) < 1) return;
    GoToPosition(app, app->playPosition + delta);
}

void RemoveFailedTrack(AppState* app, LPARAM detail) {
    if (!MayRunNow(app, kSlotOrder, DEFER_REMOVE_FAILED)) return;
    const bool removed = RemoveTrackEntry(app, app->failedPath);
    // A track chosen since the failed one was asked for (an opened file that
    // started at once, a Next) already plays; only the failed one's own
    // selection moves on to its successor.
    const bool stillChosen = std::wcscmp(app->currentPath, app->failedPath) == 0;
    // currentPath still names the failed track, which is gone, so the rebuild
    // keeps currentTrack: it now names the failed track's successor.
    BuildPlayOrder(app);
    if (Load(app->trackCount) == 0) {
        ShowStatusKind(app, StatusNoAudio, kNoAudioTicks);
        std::memset(app->currentPath, 0, sizeof(app->currentPath));
        return;
    }
    ShowStatusKind(app, StatusOpenFailed, kOpenFailedTicks);
    if (app->afterPlayback != AFTER_NEXT || !removed || !stillChosen) return;
    if (detail == kRemoveOnly) {
        app->successorOwed = 1;
        return;
    }
    GoToPosition(app, app->playPosition);
}

void PlayOwedSuccessor(AppState* app) {
    if (!app->successorOwed) return;
    app->successorOwed = 0;
    if (Load(app->trackCount) > 0) GoToPosition(app, app->playPosition);
}

void NextTrackPath(AppState* app, wchar_t* out) {
    out[0] = 0;
    // Only Play Next goes on by itself, and a search is about to replace
    // the list and its order.
    if (app->afterPlayback != AFTER_NEXT || Load(app->searchState) != Idle) return;
    const int32_t count = Load(app->trackCount);
    const TrackEntry* list = Load(app->trackList);
    const int32_t* order = Load(app->playOrder);
    if (count < 1 || !list || !order) return;
    const int32_t next = order[WrapPosition(app->playPosition + 1, count)];
    if (next < 0 || next >= count) return;
    CopyText(out, list[next].path, kPathUnits - 1);
}

void NextTrackChanged(AppState* app) {
    Store(app->nextChanges, Load(app->nextChanges) + 1);
}

void TogglePlayback(AppState* app) {
    // With nothing open (a device given up, a failed open) Play starts the
    // current track again rather than doing nothing.
    if (Load(app->device.deviceState) == DEV_CLOSED && app->currentPath[0] &&
        app->deferredSlots[kSlotSelect] != DEFER_SELECT_TRACK) {
        PlayCurrentPath(app);
        return;
    }
    SignalPlayback(app, PB_TOGGLE);
}
