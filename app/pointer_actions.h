// What the pointer does over the face: the non-client messages, presses on
// the controls and the wheel.
#pragma once
#include <windows.h>
#include "core/app_state.h"

LRESULT OnNcHitTest(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcCalcSize(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcActivate(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcMouseMove(AppState* app, LPARAM lParam);
LRESULT OnNcLButtonDown(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnNcRButtonDown(AppState* app);
LRESULT OnNcRButtonUp(AppState* app, HWND window, LPARAM lParam);
LRESULT OnMouseWheel(AppState* app, WPARAM wParam);

// Acts on a press at the screen point in lParam. 1 when a control (or the
// display, while playing or paused) took the press, 0 when it should drag
// the window.
int HandleSkinClick(AppState* app, LPARAM lParam);
