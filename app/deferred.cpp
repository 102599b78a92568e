#include "app/deferred.h"

#include "core/deferral.h"
#include "library/play_order.h"

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
    case DEFER_REPLAY_POSITION:
    case DEFER_PLAY_NEXT: return {WM_APP_OPERATION, static_cast<WPARAM>(code)};
    default: return {0, 0};
    }
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
// takes the track out (an open that opens nothing hands the successor back,
// see PlayOwedSuccessor).
void DeliverOrderWork(AppState* app, int32_t order, int32_t main) {
    if (order != DEFER_REMOVE_FAILED) {
        Deliver(app, order);
        return;
    }
    Deliver(app, DEFER_BUILD_ORDER);
    const bool replaced = main == DEFER_CLOSE || IsOpenRequest(main);
    Deliver(app, DEFER_REMOVE_FAILED, replaced ? kRemoveOnly : 0);
}

}  // namespace

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
    const bool shuffle = app->shuffleParked != 0;
    app->shuffleParked = 0;
    DeliverOrderWork(app, parked[kSlotOrder], parked[kSlotMain]);
    // The toggle reshuffles the order just built, around the track that
    // the order work left current.
    if (shuffle) Deliver(app, DEFER_SHUFFLE);
    for (int slot = kSlotMain; slot < 4; ++slot) Deliver(app, parked[slot]);
}

