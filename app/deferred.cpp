#include "app/deferred.h"

#include <cmath>

#include "app/accessibility.h"
#include "app/worker_protocol.h"
#include "library/play_order.h"
#include "playback/media_device.h"
#include "playback/playback_thread.h"
#include "settings/settings.h"
#include "skin/pointer.h"
#include "skin/render.h"

namespace {

constexpr int32_t kDeviceStuckTicks = 60;

// What a parked code becomes again when the search has ended.
struct Repost {
    UINT message;
    WPARAM wParam;
};

Repost RepostFor(int32_t code) {
    switch (code) {
    case DEFER_CLOSE: return {WM_CLOSE, 0};
    case DEFER_OPEN_FILE: return {WM_COMMAND, CMD_OPEN_FILE};
    case DEFER_OPEN_DIRECTORY: return {WM_COMMAND, CMD_OPEN_DIRECTORY};
    case DEFER_SHUFFLE: return {WM_COMMAND, CMD_SHUFFLE};
    case DEFER_SUBDIRS: return {WM_COMMAND, CMD_SUBDIRS};
    case DEFER_NEXT: return {WM_COMMAND, CMD_NEXT};
    case DEFER_PREVIOUS: return {WM_COMMAND, CMD_PREVIOUS};
    case DEFER_RANDOM: return {WM_COMMAND, CMD_RANDOM};
    case DEFER_OPEN_PATH:
    case DEFER_START_SEARCH:
    case DEFER_BUILD_ORDER:
    case DEFER_SELECT_TRACK:
    case DEFER_REMOVE_FAILED:
    case DEFER_REPLAY_POSITION:
    case DEFER_PLAY_NEXT: return {WM_APP_OPERATION, static_cast<WPARAM>(code)};
    default: return {0, 0};
    }
}

void ApplyVolumeDelta(AppState* app) {
    // One wheel notch (120) is 655 of 65535; the product is truncated toward
    // zero in double precision so a burst of key presses sums exactly.
    const double change = std::trunc(static_cast<double>(app->volumeDelta) * 5.46125);
    SetVolume(app, static_cast<int32_t>(static_cast<double>(app->volume) + change));
    app->volumeDelta = 0;
}

// A fresh thread carries on with the device in place of the stuck one. Only
// a track that would not open has failed; a stop, pause, status query or the
// close of the track before says nothing about the track, so the list and
// the selection stay as they are and the player stands with nothing open.
void GiveUpStuckCall(AppState* app, UINT command) {
    ReplacePlaybackThread(app);
    if (command == MCI_OPEN) {
        OnStatus(app, STATUS_OPEN_FAILED, reinterpret_cast<LPARAM>(app->snapPath));
    } else {
        SetStatus(app, nullptr, StatusDeviceStuck, kDeviceStuckTicks);
    }
}

void TickWhileRunning(AppState* app) {
    const UINT stuck = GiveUpStuckDeviceCall(app, kDeviceCallLimitMs);
    if (stuck) GiveUpStuckCall(app, stuck);
    app->ticksSinceSelect += 1;
    if (app->statusKind != StatusShowText) {
        app->statusTicks -= 1;
        if (app->statusTicks <= 0) {
            app->statusKind = StatusShowText;
            Store(app->redraw, 1);
        }
    }
    if (app->hoverRegion != HoverNone) {
        // No move message arrives once the pointer has left the window, so a
        // hovered face polls the cursor itself.
        POINT cursor = {};
        GetCursorPos(&cursor);
        app->pointerPos.x = cursor.x;
        app->pointerPos.y = cursor.y;
        app->pointerMoved = 1;
        if (app->hoverFade < 1.0f) {
            app->hoverFade += 0.25f;
            if (app->hoverFade > 1.0f) app->hoverFade = 1.0f;
            Store(app->redraw, 1);
        }
    }
    if (app->pointerMoved) {
        TrackHover(app, app->pointerPos.x, app->pointerPos.y);
        app->pointerMoved = 0;
    }
    if (app->volumeDelta != 0) ApplyVolumeDelta(app);
    StoreChangedSettings(app);
    if (Load(app->redraw)) {
        InvalidateRect(app->mainWindow, nullptr, TRUE);
        UpdateWindow(app->mainWindow);
    }
}

// The close goes on without the thread when a device command holds it, or
// at the end of the countdown whatever holds it. The thread is left, never
// terminated: ended inside the device it takes the process down with it,
// and ended anywhere else it may die holding a lock (the loader's, the
// heap's) that the process's own exit then waits for forever. Left alone it
// either finishes by itself or is ended with the process once the window
// has saved the settings.
void CountDownKill(AppState* app) {
    app->killCountdown -= 1;
    if (app->killCountdown >= 0 && GiveUpStuckDeviceCall(app, kClosingCallLimitMs) == 0) return;
    LeavePlaybackThread(app);
    Store(app->playbackState, Idle);
    PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
}

bool IsOpenRequest(int32_t code) {
    return code >= DEFER_OPEN_FILE && code <= DEFER_START_SEARCH;
}

bool IsNavigation(int32_t code) {
    return code >= DEFER_NEXT && code <= DEFER_PLAY_NEXT;
}

// Whether a new request may replace the one parked in its slot.
bool Displaces(int32_t parked, int32_t code) {
    if (parked == DEFER_CLOSE) return false;
    // Navigation aims at the list the open is about to replace, and the
    // opened path starts playing by itself.
    if (IsOpenRequest(parked) && IsNavigation(code)) return false;
    // A parked removal rebuilds the order itself, after the search's own
    // rebuild (see RepostDeferredCommands), so that rebuild adds nothing.
    if (parked == DEFER_REMOVE_FAILED && code == DEFER_BUILD_ORDER) return false;
    return true;
}

// Hands a parked code on. Everything that touches the list or starts a
// search runs at once, before any message already queued (an end of play, a
// Next key) can act on a list whose order is not built yet. A dialog or the
// close is posted: neither a modal loop nor the window's destruction may run
// inside the completion notice.
void Deliver(AppState* app, int32_t code, LPARAM detail = 0) {
    const Repost repost = RepostFor(code);
    if (!repost.message) return;
    if (code == DEFER_CLOSE || code == DEFER_OPEN_FILE || code == DEFER_OPEN_DIRECTORY) {
        PostMessageW(app->mainWindow, repost.message, repost.wParam, 0);
    } else {
        SendMessageW(app->mainWindow, repost.message, repost.wParam, detail);
    }
}

// Slot 0 after the search: the removal looks the failed track up in the new
// list, so the list's own order is built first. When the main request opens
// something else or closes, that decides what plays and the removal only
// takes the track out. A Shuffle parked over the removal applies after it.
void DeliverOrderWork(AppState* app, int32_t order, int32_t main, bool shuffleAfter) {
    if (order != DEFER_REMOVE_FAILED) {
        Deliver(app, order);
        return;
    }
    Deliver(app, DEFER_BUILD_ORDER);
    const bool replaced = main == DEFER_CLOSE || IsOpenRequest(main);
    Deliver(app, DEFER_REMOVE_FAILED, replaced ? kRemoveOnly : 0);
    if (shuffleAfter) Deliver(app, DEFER_SHUFFLE);
}

}  // namespace

void ParkCode(AppState* app, int slot, int32_t code) {
    const int32_t parked = app->deferredSlots[slot];
    // A removal is never dropped for a Shuffle: both are kept.
    if (parked == DEFER_REMOVE_FAILED && code == DEFER_SHUFFLE) {
        app->shuffleBehindRemoval = 1;
        return;
    }
    if (Displaces(parked, code)) app->deferredSlots[slot] = code;
}

bool MayRunNow(AppState* app, int slot, int32_t code) {
    const int32_t state = Load(app->searchState);
    if (state == Idle) return true;
    if (state == Running) ParkCode(app, slot, code);
    return false;
}

void RepostDeferredCommands(AppState* app, int index) {
    std::atomic<int32_t>& state = index == kPlaybackWorker ? app->playbackState : app->searchState;
    const int32_t current = Load(state);
    if (current == Closing || current == Closed) return;
    Store(state, Idle);

    if (index == kPlaybackWorker) {
        // The playback thread ends only on shutdown: its end continues the close.
        PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
        return;
    }
    // The slots are emptied before anything runs: an operation run here may
    // start a new search and park its own requests in them.
    int32_t parked[4];
    for (int slot = 0; slot < 4; ++slot) {
        parked[slot] = app->deferredSlots[slot];
        app->deferredSlots[slot] = 0;
    }
    app->statusKind = StatusShowText;
    app->statusTicks = 0;
    Store(app->redraw, 1);
    const bool shuffleAfter = app->shuffleBehindRemoval != 0;
    app->shuffleBehindRemoval = 0;
    DeliverOrderWork(app, parked[kSlotOrder], parked[kSlotMain], shuffleAfter);
    for (int slot = kSlotMain; slot < 4; ++slot) Deliver(app, parked[slot]);
}

LRESULT OnTimerTick(AppState* app) {
    const int32_t state = Load(app->playbackState);
    if (state == Running) {
        TickWhileRunning(app);
        AnnounceChanges(app);
    } else if (state == Stopping) {
        CountDownKill(app);
    }
    return 0;
}
