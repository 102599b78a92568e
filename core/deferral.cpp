#include "core/deferral.h"

namespace {

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

}  // namespace

bool IsOpenRequest(int32_t code) {
    return code >= DEFER_OPEN_FILE && code <= DEFER_START_SEARCH;
}

void ParkCode(AppState* app, int slot, int32_t code) {
    // A Shuffle shares the order slot with the search's rebuild and with
    // removals, which must all run as well: it waits beside them instead.
    // A second press takes the first back, as it would with no search.
    if (code == DEFER_SHUFFLE) {
        app->shuffleParked ^= 1;
        return;
    }
    if (Displaces(app->deferredSlots[slot], code)) app->deferredSlots[slot] = code;
}

bool MayRunNow(AppState* app, int slot, int32_t code) {
    const int32_t state = Load(app->searchState);
    if (state == Idle) return true;
    if (state == Running) ParkCode(app, slot, code);
    return false;
}
