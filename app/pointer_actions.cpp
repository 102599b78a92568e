// Pointer input over the face. The whole client area answers as caption, so
// every press and move arrives as a non-client message in screen
// coordinates; presses on controls act, presses anywhere else drag.
#include "app/pointer_actions.h"

#include <windowsx.h>

#include "app/accessibility.h"
#include "core/worker_protocol.h"
#include "library/play_order.h"
#include "playback/media_device.h"
#include "skin/hit_regions.h"

namespace {

int PressControl(AppState* app, int32_t control, SkinPoint p, LPARAM lParam) {
    const SkinLayout& layout = app->layout;
    HWND window = app->mainWindow;
    switch (control) {
    case HoverVolume:
        // The first four pixels are the bar's margin; 131 pixels span the scale.
        SetVolume(app, ((p.x - layout.volumeRect.left - 4) * 65535) / 131);
        return 1;
    case HoverPlay: TogglePlayback(app); return 1;
    case HoverStop: SignalPlayback(app, PB_STOP); return 1;
    case HoverNext:
        // Taken even when the guard or an empty list lets nothing happen, so a
        // quick second press never turns into a window drag.
        Navigate(app, DEFER_NEXT, 1);
        return 1;
    case HoverMenu: PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), lParam); return 1;
    case HoverClose: PostMessageW(window, WM_CLOSE, 0, 0); return 1;
    default: return 0;
    }
}

}  // namespace

LRESULT OnNcHitTest(AppState*, HWND window, WPARAM wParam, LPARAM lParam) {
    const LRESULT hit = DefWindowProcW(window, WM_NCHITTEST, wParam, lParam);
    return hit == HTCLIENT ? HTCAPTION : hit;
}

LRESULT OnNcCalcSize(AppState* app, HWND window, WPARAM wParam, LPARAM lParam) {
    // With the frame extended into the client area the face covers the
    // whole window; without it the default keeps the popup's own sizes.
    if (wParam && !app->frameFallback) return 0;
    return DefWindowProcW(window, WM_NCCALCSIZE, wParam, lParam);
}

LRESULT OnNcActivate(AppState* app, HWND window, WPARAM wParam, LPARAM lParam) {
    const int32_t active = static_cast<int32_t>(wParam);
    if (active != app->windowActive) {
        app->windowActive = active;
        if (active) AnnounceFocus(app);
        Store(app->redraw, 1);
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }
    return DefWindowProcW(window, WM_NCACTIVATE, wParam, lParam);
}

LRESULT OnNcMouseMove(AppState* app, LPARAM lParam) {
    // Mapped on the next tick, so a burst of moves costs one hit test.
    app->pointerPos.x = GET_X_LPARAM(lParam);
    app->pointerPos.y = GET_Y_LPARAM(lParam);
    app->pointerMoved = 1;
    return 0;
}

LRESULT OnNcLButtonDown(AppState* app, HWND window, WPARAM wParam, LPARAM lParam) {
    if (HandleSkinClick(app, lParam)) {
        SetForegroundWindow(window);
        return 0;
    }
    return DefWindowProcW(window, WM_NCLBUTTONDOWN, wParam, lParam);
}

LRESULT OnNcRButtonDown(AppState*) {
    // The default handler takes the mouse for a press on the caption and
    // swallows the release, so the menu would never open.
    return 0;
}

LRESULT OnNcRButtonUp(AppState*, HWND window, LPARAM lParam) {
    // Not passed on: the default would open the system menu.
    PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), lParam);
    return 0;
}

LRESULT OnMouseWheel(AppState* app, WPARAM wParam) {
    app->volumeDelta += GET_WHEEL_DELTA_WPARAM(wParam);
    return 0;
}

int HandleSkinClick(AppState* app, LPARAM lParam) {
    const SkinPoint p = ToSkin(app, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    const SkinLayout& layout = app->layout;
    const int32_t region = RegionAtSkin(layout, p);
    if (region != HoverDisplay) return PressControl(app, region, p, lParam);
    // With nothing playing or paused the display is just more face to drag by.
    if (Load(app->device.deviceState) <= DEV_STOPPED) return 0;
    app->seekFraction = (static_cast<float>(p.x) - static_cast<float>(layout.displayRect.left)) /
                        static_cast<float>(layout.displayRect.right - layout.displayRect.left);
    SignalPlayback(app, PB_SEEK);
    return 1;
}
