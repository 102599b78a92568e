// Requests parked while a search runs, and the 50 ms timer tick.
#pragma once
#include "app/app_state.h"

// The deferral rule every media-library operation applies first: returns true
// when the search is idle and the caller should act now. While a search runs
// the code is parked in its slot (unless the slot holds the close code) and
// false is returned; in any other state the request is dropped (false).
bool MayRunNow(AppState* app, int slot, int32_t code);

// Stores code in slot unless the slot already holds the close code.
void ParkCode(AppState* app, int slot, int32_t code);

// Run when a worker's completion notice carries its current token:
// index 0 continues the staged close, index 1 re-posts the parked requests.
void RepostDeferredCommands(AppState* app, int index);

// WM_TIMER of the main window.
LRESULT OnTimerTick(AppState* app);
