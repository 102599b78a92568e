// Requests parked while a search runs, and the 50 ms timer tick.
#pragma once
#include "app/app_state.h"

// The deferral rule every media-library operation applies first: returns true
// when the search is idle and the caller should act now. While a search runs
// the code is parked in its slot (unless the slot holds the close code) and
// false is returned; in any other state the request is dropped (false).
bool MayRunNow(AppState* app, int slot, int32_t code);

// Stores code in slot unless the slot holds a request it must not displace:
// the close code, an open request (codes 2 to 5) against navigation (11 to
// 14), or a failed-track removal (9) against a rebuild (6).
void ParkCode(AppState* app, int slot, int32_t code);

// Run when a worker's completion notice carries its current token:
// index 0 continues the staged close, index 1 hands on the parked requests
// in slot order (a removal behind a rebuild). Dialogs and the close are
// posted; every other request runs before this returns.
void RepostDeferredCommands(AppState* app, int index);

// WM_TIMER of the main window.
LRESULT OnTimerTick(AppState* app);
