// The regions of the face under a screen point: what a press or the hover
// finds there. What a press does is the shell's.
#include "skin/hit_regions.h"

namespace {

bool Contains(Rect r, SkinPoint p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The controls in the order they are tested; the first match wins.
int32_t ControlAt(const SkinLayout& layout, SkinPoint p) {
    if (Contains(layout.volumeRect, p)) return HoverVolume;
    if (Contains(layout.playRect, p)) return HoverPlay;
    if (Contains(layout.stopRect, p)) return HoverStop;
    if (Contains(layout.nextRect, p)) return HoverNext;
    if (Contains(layout.menuRect, p)) return HoverMenu;
    if (Contains(layout.closeRect, p)) return HoverClose;
    return HoverNone;
}

}  // namespace

// Reads the window rectangle afresh: the window may have been dragged or
// resized since the last message.
SkinPoint ToSkin(AppState* app, int32_t x, int32_t y) {
    RECT rect = {};
    GetWindowRect(app->mainWindow, &rect);
    app->windowRect = Rect{rect.left, rect.top, rect.right, rect.bottom};
    const int32_t f = app->sizeFactor > 0 ? app->sizeFactor : 1;
    return SkinPoint{(x - rect.left) / f, (y - rect.top) / f};
}

int32_t RegionAtSkin(const SkinLayout& layout, SkinPoint p) {
    if (Contains(layout.controlsRect, p)) return ControlAt(layout, p);
    if (Contains(layout.displayRect, p)) return HoverDisplay;
    return HoverNone;
}

void TrackHover(AppState* app, int32_t x, int32_t y) {
    RECT rect = {};
    GetWindowRect(app->mainWindow, &rect);
    if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) {
        if (app->hoverRegion != HoverNone) {
            app->hoverRegion = HoverNone;
            Store(app->redraw, 1);
        }
        return;
    }
    const int32_t oldRegion = app->hoverRegion;
    const int32_t oldX = app->hoverX;
    const SkinPoint p = ToSkin(app, x, y);
    const int32_t region = RegionAtSkin(app->layout, p);
    if (region == HoverDisplay) app->hoverX = p.x;
    app->hoverRegion = region;
    if (region != oldRegion) {
        app->hoverFade = 0.0f;
        Store(app->redraw, 1);
    } else if (app->hoverX != oldX) {
        // The seek marker follows the pointer across the display.
        Store(app->redraw, 1);
    }
}

int32_t RegionAt(AppState* app, int32_t x, int32_t y) { return RegionAtSkin(app->layout, ToSkin(app, x, y)); }
