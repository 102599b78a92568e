// The rule every media-library operation applies first: while a search runs,
// a request is parked in its slot and handed on when the search has ended.
#pragma once
#include "core/app_state.h"

// Returns true when the search is idle and the caller should act now. While a
// search runs the code is parked in its slot (unless the slot holds the close
// code) and false is returned; in any other state the request is dropped
// (false).
bool MayRunNow(AppState* app, int slot, int32_t code);

// Stores code in slot unless the slot holds a request it must not displace:
// the close code, an open request (codes 2 to 5) against navigation (11 to
// 15), or a failed-track removal (9) against a rebuild (6). A Shuffle (7)
// takes no slot: it toggles shuffleParked.
void ParkCode(AppState* app, int slot, int32_t code);

// Codes 2 to 5: the requests that open something and start a search.
bool IsOpenRequest(int32_t code);
