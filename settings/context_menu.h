// The context menu and the About box.
#pragma once
#include <windows.h>
#include "core/app_state.h"

// 1 on success, 0 when the top-level popup cannot be created.
int BuildContextMenu(AppState* app);
// Updates every check and grey state from the state (split out so tests can
// read them back without opening the menu).
void UpdateMenuStates(AppState* app);
// Where the menu opens for a request at (x, y) over a window with rectangle
// r: the point itself when it lies inside, else the top-left corner (so a
// keyboard request, -1, -1, opens at the corner).
POINT ContextMenuPoint(const RECT& r, int32_t x, int32_t y);
// WM_CONTEXTMENU: x and y are screen coordinates (-1, -1 from the keyboard).
LRESULT ShowContextMenu(AppState* app, int32_t x, int32_t y);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ShowAboutDialog(AppState* app);
