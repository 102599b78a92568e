#include "settings/window_position.h"

#include <windows.h>

namespace {

// A face with no more than 12 skin pixels left on the screen cannot be
// grabbed again, so such a position is not restored.
constexpr int32_t kHiddenLeft = 474 - 12;
constexpr int32_t kHiddenTop = 89 - 12;
constexpr int32_t kEdgeMargin = 6;
// A window closed with half of that reachable width or more beyond the left
// edge keeps the position saved before.
constexpr int32_t kHalfWidth = kHiddenLeft / 2;

int32_t RestoredEdge(int32_t edge, int32_t hidden, int32_t s, int32_t origin, int32_t extent) {
    if (edge <= origin - hidden * s || edge >= origin + extent - kEdgeMargin * s) {
        return origin + extent / 6;
    }
    return edge;
}

}  // namespace

ScreenBounds VirtualScreenBounds() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

WindowPosition RestoredPosition(WindowPosition stored, int32_t sizeFactor, const ScreenBounds& screen) {
    return {RestoredEdge(stored.x, kHiddenLeft, sizeFactor, screen.left, screen.width),
            RestoredEdge(stored.y, kHiddenTop, sizeFactor, screen.top, screen.height)};
}

bool KeepsPosition(WindowPosition corner, int32_t sizeFactor, const ScreenBounds& screen) {
    return corner.x > screen.left - kHalfWidth * sizeFactor &&
           corner.y > screen.top + (-kHiddenTop * sizeFactor) / 2;
}

WindowPosition PulledOntoScreen(WindowPosition corner, const ScreenBounds& screen) {
    return {corner.x > screen.left ? corner.x : screen.left, corner.y > screen.top ? corner.y : screen.top};
}
