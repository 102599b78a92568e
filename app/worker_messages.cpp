#include "app/worker_messages.h"

#include <cstring>

#include "app/deferred.h"
#include "core/deferral.h"
#include "core/worker_protocol.h"
#include "library/open_path.h"
#include "library/play_order.h"
#include "skin/render.h"

namespace {

constexpr WPARAM kSuspendEvent = 4;  // PBT_APMSUSPEND
constexpr DWORD kSuspendPauseMs = 500;
// How long before an open or play an end of play can have been posted and
// still wait in the queue: far longer than any queue holds a message.
constexpr uint32_t kStaleEndWindowMs = 60000;

// An open waits for its search with its selection parked, or runs with its
// track not yet opened by the device: either way the end of play that comes
// now is the previous track's, and the user's choice must not be moved on.
bool BelongsToAnEarlierTrack(AppState* app, LPARAM deviceId) {
    // A device given up while it played keeps its id until it closes, so a
    // notice naming another device, or coming while none is open, is never
    // the current track's.
    if (Load(app->device.deviceState) == DEV_CLOSED) return true;
    if (deviceId != 0 && static_cast<uint32_t>(deviceId) != Load(app->device.deviceId)) return true;
    if (app->deferredSlots[kSlotSelect] == DEFER_SELECT_TRACK) return true;
    if (Load(app->openedSelection) != app->selectionSerial) return true;
    // The device may name no device at all (seen under Wine); then the time
    // the notice was posted tells: shortly before the current track was
    // opened or last started, it was about an older play. Only a bounded
    // stretch before that moment counts, since the 32-bit clock comes round
    // again: a signed difference would call every end stale once a track had
    // been open for 24.8 days.
    const uint32_t openedAt = Load(app->openedAt);
    const uint32_t postedAt = static_cast<uint32_t>(GetMessageTime());
    const uint32_t earlierBy = openedAt - postedAt;
    return openedAt != 0 && earlierBy != 0 && earlierBy <= kStaleEndWindowMs;
}

// Resume on Start: the saved place goes to the thread with the one
// selection it was made for, once; every other track starts as usual.
void HandOverSavedPlace(AppState* app) {
    const bool ours = app->resumePending && app->resumeSelection == app->selectionSerial;
    app->snapStartMs = ours ? app->resumeFromMs : 0;
    app->snapStartPaused = ours ? app->resumePaused : 0;
    app->resumePending = 0;
}

}  // namespace

void PlayNextAfterEnd(AppState* app) {
    // The deferral comes first: a search empties the list while it counts,
    // and an empty list then must not be taken for the end of the music.
    if (!MayRunNow(app, kSlotMain, DEFER_PLAY_NEXT)) return;
    if (Load(app->trackCount) <= 0) {
        SignalPlayback(app, PB_STOP);
        return;
    }
    GoToPosition(app, app->playPosition + 1);
}

LRESULT OnSnapshot(AppState* app, WPARAM code) {
    switch (code) {
    case SNAP_FLAGS:
        app->snapFlags = app->commandFlags;
        app->commandFlags = 0;
        break;
    case SNAP_TRACK_PATH:
        CopyText(app->snapPath, app->currentPath, kBufferUnits - 1);
        app->snapSelection = app->selectionSerial;
        HandOverSavedPlace(app);
        break;
    case SNAP_SEEK:
        app->snapSeekFraction = app->seekFraction;
        break;
    case SNAP_NEXT_PATH:
        NextTrackPath(app, app->snapNextPath);
        break;
    case SNAP_SEARCH:
        CopyText(app->searchRoot, app->searchDir, kBufferUnits - 1);
        app->searchDepth = app->includeSubdirs << 3;
        break;
    default:
        break;
    }
    return 0;
}

LRESULT OnDefer(AppState* app, WPARAM code, LPARAM slot) {
    const int32_t state = Load(app->searchState);
    if (state == Idle) return 0;
    if (state == Running) {
        ParkCode(app, static_cast<int>(static_cast<uint64_t>(slot) % 4),
                 static_cast<int32_t>(static_cast<uint32_t>(code)));
    }
    return 1;
}

LRESULT OnWorkerDone(AppState* app, WPARAM token, LPARAM indexParam) {
    const int index = static_cast<int>(indexParam & 1);
    const uint32_t current = index == kPlaybackWorker ? app->playbackToken : app->searchToken;
    if (static_cast<uint32_t>(token) == current) RepostDeferredCommands(app, index);
    return 0;
}

LRESULT OnStatus(AppState* app, WPARAM code, LPARAM value) {
    switch (code) {
    case STATUS_TEXT:
        if (value) SetStatus(app, reinterpret_cast<const wchar_t*>(value), StatusShowText, 0);
        break;
    case STATUS_NOTICE:
        app->statusKind = StatusSearching;
        app->statusTicks = static_cast<int32_t>(value);
        Store(app->redraw, 1);
        break;
    case STATUS_OPEN_FAILED:
        if (value) {
            std::memset(app->failedPath, 0, sizeof(app->failedPath));
            CopyText(app->failedPath, reinterpret_cast<const wchar_t*>(value), kPathUnits - 1);
            RemoveFailedTrack(app);
        }
        break;
    default:
        break;
    }
    return 0;
}

void StartTrackAtPosition(AppState* app) {
    if (!MayRunNow(app, kSlotMain, DEFER_REPLAY_POSITION)) return;
    if (Load(app->trackCount) < 1) return;
    GoToPosition(app, app->playPosition);
}

LRESULT OnOperation(AppState* app, WPARAM code, LPARAM detail) {
    switch (code) {
    case DEFER_OPEN_PATH: OpenPathBuffer(app); break;
    case DEFER_START_SEARCH: StartSearch(app); break;
    case DEFER_BUILD_ORDER: BuildPlayOrder(app); break;
    case DEFER_SELECT_TRACK: SelectCurrentTrack(app); break;
    case DEFER_REMOVE_FAILED: RemoveFailedTrack(app, detail); break;
    case DEFER_REPLAY_POSITION: StartTrackAtPosition(app); break;
    case DEFER_PLAY_NEXT: PlayNextAfterEnd(app); break;
    default: break;
    }
    return 0;
}

LRESULT OnMciNotify(AppState* app, WPARAM notifyCode, LPARAM deviceId) {
    // Superseded, aborted and failed plays end nothing.
    if (notifyCode != MCI_NOTIFY_SUCCESSFUL || BelongsToAnEarlierTrack(app, deviceId)) return 0;
    switch (app->afterPlayback) {
    case AFTER_EXIT:
        PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
        break;
    case AFTER_STOP:
        SignalPlayback(app, PB_STOP);
        break;
    case AFTER_REPEAT:
        app->seekFraction = 0.0f;
        SignalPlayback(app, PB_SEEK);
        break;
    case AFTER_NEXT:
        PlayNextAfterEnd(app);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT OnPowerBroadcast(AppState* app, WPARAM event) {
    // Only an open audio-CD track must let go of the drive before a suspend.
    if (event != kSuspendEvent || !Load(app->cdTrack)) return 0;
    SignalPlayback(app, PB_STOP | PB_CLOSE);
    CopyText(app->statusText, app->className, kPathUnits - 1);
    app->statusKind = StatusShowText;
    app->statusTicks = 0;
    Store(app->redraw, 1);
    Sleep(kSuspendPauseMs);
    return 0;
}
