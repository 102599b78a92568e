// The context menu and the About box.
#pragma once
#include <windows.h>
#include "app/app_state.h"

// 1 on success, 0 when the top-level popup cannot be created.
int BuildContextMenu(AppState* app);
// Updates every check and grey state from the state (split out so tests can
// read them back without opening the menu).
void UpdateMenuStates(AppState* app);
// WM_CONTEXTMENU: x and y are screen coordinates (-1, -1 from the keyboard).
LRESULT ShowContextMenu(AppState* app, int32_t x, int32_t y);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ShowAboutDialog(AppState* app);
