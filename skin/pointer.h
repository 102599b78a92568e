// Pointer input over the face: non-client messages, hover and presses.
#pragma once
#include <windows.h>
#include "app/app_state.h"

LRESULT OnNcHitTest(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcCalcSize(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcActivate(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcMouseMove(AppState* app, LPARAM lParam);
LRESULT OnNcLButtonDown(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcRButtonDown(AppState* app);
LRESULT OnNcRButtonUp(AppState* app, HWND window, LPARAM lParam);
LRESULT OnMouseWheel(AppState* app, WPARAM wParam);

// Maps a screen point to the region under it; sets redraw when the region
// changes or the pointer moves to a new column of the display.
void TrackHover(AppState* app, int32_t x, int32_t y);
// The region under a screen point inside the window, as a press there
// would find it.
int32_t RegionAt(AppState* app, int32_t x, int32_t y);
// Acts on a press at the screen point in lParam. 1 when a control (or the
// display, while playing or paused) took the press, 0 when it should drag
// the window.
int HandleSkinClick(AppState* app, LPARAM lParam);
