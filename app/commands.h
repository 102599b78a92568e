// The forty numbered commands and the keyboard map.
#pragma once
#include "core/app_state.h"

// WM_COMMAND: the low word of wParam is the command.
LRESULT OnCommand(AppState* app, WPARAM wParam);
// keyData is the lParam of WM_KEYDOWN (bit 30: an auto-repeat).
LRESULT OnKeyDown(AppState* app, WPARAM key, LPARAM keyData);
LRESULT OnKeyUp(AppState* app, WPARAM key);
// Handles Alt+X; the caller passes every system key on to DefWindowProcW.
void OnSysKeyDown(AppState* app, WPARAM key);
// Clamps factor to 1..12 and resizes the window; the current factor is a no-op.
void ApplySizeFactor(AppState* app, int32_t factor);
