// The regions of the face under the pointer. Everything here runs on the
// user-interface thread.
#pragma once
#include <windows.h>
#include "core/app_state.h"

// A point in skin pixels (the face at 1x).
struct SkinPoint {
    int32_t x;
    int32_t y;
};

// A screen point in skin pixels of the window as it stands now.
SkinPoint ToSkin(AppState* app, int32_t x, int32_t y);
// The region under a skin point: a control, the display, or nothing.
int32_t RegionAtSkin(const SkinLayout& layout, SkinPoint p);
// Maps a screen point to the region under it; sets redraw when the region
// changes or the pointer moves to a new column of the display.
void TrackHover(AppState* app, int32_t x, int32_t y);
// The region under a screen point inside the window, as a press there
// would find it.
int32_t RegionAt(AppState* app, int32_t x, int32_t y);
