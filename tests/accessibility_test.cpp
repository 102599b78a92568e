// The accessible children of the real window under the pointer's points:
// the hit test and the hover must agree with the documented layout at both
// heights and two sizes.
#include <gtest/gtest.h>

#include <oleacc.h>

#include "app/pointer_actions.h"
#include "skin/hit_regions.h"
#include "app/commands.h"
#include "skin/render.h"
#include "support/window_fixture.h"

namespace {

LONG HitChild(IAccessible* a, const POINT& p) {
    VARIANT v = {};
    if (FAILED(a->accHitTest(p.x, p.y, &v)) || v.vt == VT_EMPTY) return -1;
    return v.vt == VT_I4 ? v.lVal : -2;
}

VARIANT Child(LONG child) {
    VARIANT id = {};
    id.vt = VT_I4;
    id.lVal = child;
    return id;
}

bool HasState(IAccessible* a, LONG child, LONG bit) {
    VARIANT state = {};
    return SUCCEEDED(a->get_accState(Child(child), &state)) && state.vt == VT_I4 && (state.lVal & bit);
}

TEST(Accessibility, ChildUnderEachPointAtBothHeightsAndTwoSizes) {
    // Skin points; child 0 is the face itself, -1 outside the window. The
    // display answers as the position bar (2), which a press there seeks.
    struct Case {
        int32_t half, x, y;
        LONG child;
    };
    const Case cases[] = {
        {0, 6, 6, 2},    {0, 467, 38, 2},  {0, 3, 40, 0},     {0, 6, 39, 0},     {0, 19, 47, 3},
        {0, 54, 74, 3},  {0, 55, 47, 0},   {0, 61, 47, 4},    {0, 96, 74, 4},    {0, 103, 47, 5},
        {0, 138, 74, 5}, {0, 231, 60, 0},  {0, 232, 47, 6},   {0, 370, 74, 6},   {0, 377, 47, 7},
        {0, 412, 74, 7}, {0, 419, 47, 8},  {0, 454, 74, 8},   {0, 473, 88, 0},   {0, 474, 40, -1},
        {1, 6, 6, 0},    {1, 19, 13, 0},   {1, 19, 14, 3},    {1, 54, 41, 3},    {1, 19, 42, 0},
        {1, 61, 14, 4},  {1, 138, 41, 5},  {1, 232, 14, 6},   {1, 370, 41, 6},   {1, 377, 14, 7},
        {1, 454, 41, 8}, {1, 473, 55, 0},  {1, 100, 56, -1},
    };
    AppState* app = ResetWithDefaults();
    HWND window = CreatePlayerWindow(app);
    ASSERT_TRUE(window);
    PumpFor(50);
    IAccessible* a = nullptr;
    ASSERT_EQ(S_OK, AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&a)));
    for (int32_t half : {0, 1}) {
        if (half) SendMessageW(window, WM_COMMAND, CMD_HALF_HEIGHT, 0);
        for (int32_t factor : {1, 3}) {
            ApplySizeFactor(app, factor);
            RECT rect = {};
            GetWindowRect(window, &rect);
            for (const Case& c : cases) {
                if (c.half != half) continue;
                // The last device pixel of the skin pixel: the mapping truncates.
                const POINT p = {rect.left + c.x * factor + factor - 1, rect.top + c.y * factor + factor - 1};
                EXPECT_EQ(c.child, HitChild(a, p)) << "half " << half << " factor " << factor << " at " << c.x
                                                   << "," << c.y;
                TrackHover(app, p.x, p.y);
                for (LONG child = 1; child <= 8; ++child) {
                    EXPECT_EQ(child == c.child, HasState(a, child, STATE_SYSTEM_HOTTRACKED))
                        << "child " << child << " hovered at " << c.x << "," << c.y << " factor " << factor;
                }
            }
        }
    }
    a->Release();
    EXPECT_TRUE(CloseAndWait(app));
}

TEST(Accessibility, PressesActOnlyWhileTheFaceTakesClicks) {
    // A modal dialog disables the face as it does any owner: a press then
    // does what a click does, nothing, and the buttons read as unavailable.
    AppState* app = ResetWithDefaults();
    HWND window = CreatePlayerWindow(app);
    ASSERT_TRUE(window);
    IAccessible* a = nullptr;
    ASSERT_EQ(S_OK, AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&a)));
    for (BOOL enabled : {FALSE, TRUE}) {
        EnableWindow(window, enabled);
        for (LONG child : {3, 4, 5, 7, 8}) {
            a->accDoDefaultAction(Child(child));
            // Taken, not dispatched: a menu that opened would hold the test.
            bool acted = false;
            for (const PostedMessage& m : TakePosted(window)) {
                acted = acted || m.message == WM_COMMAND || m.message == WM_CONTEXTMENU || m.message == WM_CLOSE;
            }
            EXPECT_EQ(enabled == TRUE, acted) << "child " << child << " enabled " << enabled;
            EXPECT_TRUE(enabled || HasState(a, child, STATE_SYSTEM_UNAVAILABLE)) << "child " << child;
        }
    }
    a->Release();
    EXPECT_TRUE(CloseAndWait(app));
}

}  // namespace
