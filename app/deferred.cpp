#include "app/deferred.h"

#include <cmath>

#include "app/worker_protocol.h"
#include "playback/media_device.h"
#include "playback/playback_thread.h"
#include "skin/pointer.h"

namespace {

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
    case DEFER_REPLAY_POSITION: return {WM_APP_OPERATION, static_cast<WPARAM>(code)};
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

// The track whose device command was given up fails like one that would not
// open; a fresh thread carries on with the device meanwhile.
void GiveUpStuckTrack(AppState* app) {
    ReplacePlaybackThread(app);
    OnStatus(app, STATUS_OPEN_FAILED, reinterpret_cast<LPARAM>(app->snapPath));
}

void TickWhileRunning(AppState* app) {
    if (GiveUpStuckDeviceCall(app, kDeviceCallLimitMs)) GiveUpStuckTrack(app);
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
    if (app->killCountdown >= 0 && !GiveUpStuckDeviceCall(app, kClosingCallLimitMs)) return;
    LeavePlaybackThread(app);
    Store(app->playbackState, Idle);
    PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
}

}  // namespace

void ParkCode(AppState* app, int slot, int32_t code) {
    if (app->deferredSlots[slot] != DEFER_CLOSE) app->deferredSlots[slot] = code;
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
    for (int slot = 0; slot < 4; ++slot) {
        const Repost repost = RepostFor(app->deferredSlots[slot]);
        if (repost.message) PostMessageW(app->mainWindow, repost.message, repost.wParam, 0);
        app->deferredSlots[slot] = 0;
    }
    app->statusKind = StatusShowText;
    app->statusTicks = 0;
    Store(app->redraw, 1);
}

LRESULT OnTimerTick(AppState* app) {
    const int32_t state = Load(app->playbackState);
    if (state == Running) {
        TickWhileRunning(app);
    } else if (state == Stopping) {
        CountDownKill(app);
    }
    return 0;
}
