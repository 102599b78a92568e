// Stand-in until the menu lands: an empty popup.
#include "settings/context_menu.h"

int BuildContextMenu(AppState* app) {
    if (app->contextMenu) DestroyMenu(app->contextMenu);
    app->contextMenu = CreatePopupMenu();
    return app->contextMenu ? 1 : 0;
}
void UpdateMenuStates(AppState*) {}
LRESULT ShowContextMenu(AppState*, int32_t, int32_t) { return 0; }
INT_PTR CALLBACK AboutDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void ShowAboutDialog(AppState*) {}
