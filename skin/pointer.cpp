// Stand-in until pointer input lands: the whole face drags the window.
#include "skin/pointer.h"

#include <windowsx.h>

LRESULT OnNcHitTest(AppState*, HWND window, WPARAM wParam, LPARAM lParam) {
    const LRESULT hit = DefWindowProcW(window, WM_NCHITTEST, wParam, lParam);
    return hit == HTCLIENT ? HTCAPTION : hit;
}

LRESULT OnNcCalcSize(AppState* app, HWND window, WPARAM wParam, LPARAM lParam) {
    if (wParam && !app->frameFallback) return 0;
    return DefWindowProcW(window, WM_NCCALCSIZE, wParam, lParam);
}

LRESULT OnNcActivate(AppState*, HWND window, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, WM_NCACTIVATE, wParam, lParam);
}

LRESULT OnNcMouseMove(AppState* app, LPARAM lParam) {
    app->pointerPos.x = GET_X_LPARAM(lParam);
    app->pointerPos.y = GET_Y_LPARAM(lParam);
    app->pointerMoved = 1;
    return 0;
}

LRESULT OnNcLButtonDown(AppState*, HWND window, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, WM_NCLBUTTONDOWN, wParam, lParam);
}

LRESULT OnNcRButtonUp(AppState*, HWND window, LPARAM lParam) {
    PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), lParam);
    return 0;
}

LRESULT OnMouseWheel(AppState* app, WPARAM wParam) {
    app->volumeDelta += GET_WHEEL_DELTA_WPARAM(wParam);
    return 0;
}

void TrackHover(AppState*, int32_t, int32_t) {}
int HandleSkinClick(AppState*, LPARAM) { return 0; }
