#include "app/tick.h"

#include <cmath>

#include "app/accessibility.h"
#include "app/worker_messages.h"
#include "core/worker_protocol.h"
#include "playback/media_device.h"
#include "playback/playback_thread.h"
#include "settings/settings.h"
#include "skin/hit_regions.h"

namespace {

constexpr int32_t kDeviceStuckTicks = 60;

void ApplyVolumeDelta(AppState* app) {
    // One wheel notch (120) is 655 of 65535; the product is truncated toward
    // zero in double precision so a burst of key presses sums exactly.
    const double change = std::trunc(static_cast<double>(app->volumeDelta) * 5.46125);
    SetVolume(app, static_cast<int32_t>(static_cast<double>(app->volume) + change));
    app->volumeDelta = 0;
}

// A fresh thread carries on with the device in place of the stuck one. A
// track that would not open, or whose file could not be read, has failed.
// Any other command says nothing about the track, and the player must not
// be left silent with Play doing nothing: a track on its way (the close of
// the one before, or its own set-up, hung) is asked for again on the fresh
// thread, once; a playing track whose device was abandoned (or one asked
// for again that hung again) gives way to the next with Play Next, and
// otherwise waits for Play to open it anew. It stays in the list.
void GiveUpStuckCall(AppState* app, UINT command) {
    const bool starting = Load(app->trackStarting) != 0;
    ReplacePlaybackThread(app);
    if (command == MCI_OPEN || command == kFileReadCommand) {
        OnStatus(app, STATUS_OPEN_FAILED, reinterpret_cast<LPARAM>(app->snapPath));
        return;
    }
    ShowStatusKind(app, StatusDeviceStuck, kDeviceStuckTicks);
    if (!app->currentPath[0]) return;
    if (starting && app->retriedSelection != app->selectionSerial + 1) {
        app->retriedSelection = app->selectionSerial + 1;
        SignalPlayback(app, PB_PLAY);
        return;
    }
    if (app->afterPlayback == AFTER_NEXT) PlayNextAfterEnd(app);
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

}  // namespace

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
