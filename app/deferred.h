// Requests parked while a search ran, handed on when it has ended.
#pragma once
#include "core/app_state.h"

// Run when a worker's completion notice carries its current token:
// index 0 continues the staged close, index 1 hands on the parked requests
// in slot order (a removal behind a rebuild). Dialogs and the close are
// posted; every other request runs before this returns.
void RepostDeferredCommands(AppState* app, int index);
