// The 50 ms timer tick of the main window.
#pragma once
#include "core/app_state.h"

// WM_TIMER of the main window.
LRESULT OnTimerTick(AppState* app);
