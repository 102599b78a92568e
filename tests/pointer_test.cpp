// Pointer input on the real window: skin points are mapped to screen
// coordinates through the window's rectangle, and the expected regions come
// from the documented layout, not from the layout code.
#include <gtest/gtest.h>

#include <windowsx.h>

#include "app/pointer_actions.h"
#include "skin/hit_regions.h"
#include "app/commands.h"
#include "skin/render.h"
#include "support/window_fixture.h"

namespace {

struct Player {
    AppState* app = ResetWithDefaults();
    HWND window = CreatePlayerWindow(app);
    Player() { PumpFor(50); }
    ~Player() {
        Store(app->device.deviceState, DEV_CLOSED);
        Store(app->searchState, Idle);
        EXPECT_TRUE(CloseAndWait(app));
    }
    // The last device pixel of skin pixel (x, y): checks that the mapping
    // truncates rather than rounds.
    POINT Screen(int32_t x, int32_t y) const {
        RECT rect = {};
        GetWindowRect(window, &rect);
        const int32_t f = app->sizeFactor;
        return POINT{rect.left + x * f + f - 1, rect.top + y * f + f - 1};
    }
    LPARAM Press(int32_t x, int32_t y) const {
        const POINT p = Screen(x, y);
        return MAKELPARAM(p.x, p.y);
    }
};

TEST(Pointer, HoverRegionsAtSizeFactorsOneAndThree) {
    struct Case {
        int32_t x, y;
        int32_t region;
    };
    const Case cases[] = {
        {0, 0, HoverNone},      {3, 40, HoverNone},     {473, 88, HoverNone},  {6, 6, HoverDisplay},
        {467, 38, HoverDisplay}, {6, 39, HoverNone},    {19, 46, HoverNone},   {18, 47, HoverNone},
        {19, 47, HoverPlay},    {54, 74, HoverPlay},    {55, 47, HoverNone},   {19, 75, HoverNone},
        {61, 47, HoverStop},    {96, 74, HoverStop},    {103, 47, HoverNext},  {138, 74, HoverNext},
        {139, 60, HoverNone},   {231, 60, HoverNone},   {232, 47, HoverVolume}, {370, 74, HoverVolume},
        {371, 60, HoverNone},   {377, 47, HoverMenu},   {412, 74, HoverMenu},  {419, 47, HoverClose},
        {454, 74, HoverClose},  {455, 60, HoverNone},
    };
    Player player;
    AppState* app = player.app;
    for (int32_t factor : {1, 3}) {
        ApplySizeFactor(app, factor);
        for (const Case& c : cases) {
            app->hoverRegion = HoverMenu == c.region ? HoverClose : HoverMenu;
            const POINT p = player.Screen(c.x, c.y);
            TrackHover(app, p.x, p.y);
            EXPECT_EQ(c.region, app->hoverRegion) << "factor " << factor << " at " << c.x << "," << c.y;
            if (c.region == HoverDisplay) {
                EXPECT_EQ(c.x, app->hoverX);
            }
        }
        // Just outside the window, left and below.
        RECT rect = {};
        GetWindowRect(player.window, &rect);
        app->hoverRegion = HoverPlay;
        TrackHover(app, rect.left - 1, rect.top + 5);
        EXPECT_EQ(HoverNone, app->hoverRegion);
        app->hoverRegion = HoverPlay;
        TrackHover(app, rect.left + 5, rect.bottom);
        EXPECT_EQ(HoverNone, app->hoverRegion);
    }
}

TEST(Pointer, RedrawOnEnteringAButtonAndOnEveryNewDisplayColumn) {
    struct Step {
        int32_t x, y;
        int32_t redraw;
    };
    const Step steps[] = {
        {30, 60, 1}, {31, 61, 0}, {40, 70, 0},   // into play, then around inside it
        {70, 60, 1}, {71, 60, 0},                 // into stop
        {100, 20, 1}, {100, 25, 0}, {101, 25, 1}, {102, 30, 1}, {102, 10, 0},  // display
        {2, 2, 1}, {3, 3, 0},                     // the frame
    };
    Player player;
    AppState* app = player.app;
    for (const Step& s : steps) {
        Store(app->redraw, 0);
        app->hoverFade = 0.75f;
        const int32_t before = app->hoverRegion;
        const POINT p = player.Screen(s.x, s.y);
        TrackHover(app, p.x, p.y);
        EXPECT_EQ(s.redraw, Load(app->redraw)) << "at " << s.x << "," << s.y;
        const float fade = before != app->hoverRegion ? 0.0f : 0.75f;
        EXPECT_EQ(fade, app->hoverFade) << "at " << s.x << "," << s.y;
    }
}

TEST(Pointer, VolumeByPress) {
    struct Case {
        int32_t offset;
        uint32_t volume;
    };
    const Case cases[] = {{0, 0},         {4, 0},         {5, 500},       {69, 32517},
                          {135, 65535},   {136, 65535},   {138, 65535}};
    Player player;
    AppState* app = player.app;
    for (int32_t factor : {1, 3}) {
        ApplySizeFactor(app, factor);
        for (const Case& c : cases) {
            app->volume = 12345;
            app->mutedVolume = 777;
            EXPECT_EQ(0, SendMessageW(player.window, WM_NCLBUTTONDOWN, HTCAPTION, player.Press(232 + c.offset, 60)));
            EXPECT_EQ(c.volume, app->volume) << "factor " << factor << " offset " << c.offset;
            EXPECT_EQ(0u, app->mutedVolume);
        }
    }
}

TEST(Pointer, SeekByPressOnlyWhilePlayingOrPaused) {
    struct Case {
        int32_t state;
        int32_t x;
        int taken;
        float fraction;
    };
    const Case cases[] = {{DEV_PLAYING, 6, 1, 0.0f},
                          {DEV_PAUSED, 467, 1, 461.0f / 462.0f},
                          {DEV_PLAYING, 237, 1, 231.0f / 462.0f},
                          {DEV_STOPPED, 6, 0, -1.0f},
                          {DEV_CLOSED, 100, 0, -1.0f}};
    Player player;
    AppState* app = player.app;
    for (const Case& c : cases) {
        app->commandFlags = 0;
        app->seekFraction = -1.0f;
        Store(app->device.deviceState, c.state);
        // Called directly: a press that is not taken would start a modal move.
        EXPECT_EQ(c.taken, HandleSkinClick(app, player.Press(c.x, 20))) << "state " << c.state;
        Store(app->device.deviceState, DEV_CLOSED);
        EXPECT_EQ(c.taken ? PB_SEEK : 0u, app->commandFlags & PB_SEEK) << "state " << c.state;
        EXPECT_EQ(c.fraction, app->seekFraction) << "state " << c.state << " x " << c.x;
    }
}

TEST(Pointer, NextButtonGuardAndDeferral) {
    struct Case {
        int32_t ticks;
        int32_t parked;
    };
    const Case cases[] = {{0, 0}, {9, 0}, {10, DEFER_NEXT}, {25, DEFER_NEXT}};
    Player player;
    AppState* app = player.app;
    for (const Case& c : cases) {
        app->ticksSinceSelect = c.ticks;
        app->deferredSlots[kSlotMain] = 0;
        Store(app->searchState, Running);
        EXPECT_EQ(1, HandleSkinClick(app, player.Press(110, 60))) << "ticks " << c.ticks;
        Store(app->searchState, Idle);
        EXPECT_EQ(c.parked, app->deferredSlots[kSlotMain]) << "ticks " << c.ticks;
    }
    app->deferredSlots[kSlotMain] = 0;
}

TEST(Pointer, ButtonsThatPostTheirMessage) {
    struct Case {
        int32_t x, y;
        UINT message;
        bool sameLParam;
    };
    const Case cases[] = {{390, 60, WM_CONTEXTMENU, true}, {430, 60, WM_CLOSE, false}};
    Player player;
    for (const Case& c : cases) {
        const LPARAM at = player.Press(c.x, c.y);
        EXPECT_EQ(0, SendMessageW(player.window, WM_NCLBUTTONDOWN, HTCAPTION, at));
        MSG msg = {};
        ASSERT_TRUE(PeekMessageW(&msg, player.window, c.message, c.message, PM_REMOVE)) << "at " << c.x;
        EXPECT_EQ(c.sameLParam ? at : 0, msg.lParam);
    }
    // A right-button release anywhere opens the menu at the pointer.
    const LPARAM at = player.Press(200, 20);
    EXPECT_EQ(0, SendMessageW(player.window, WM_NCRBUTTONUP, HTCAPTION, at));
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, player.window, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
    EXPECT_EQ(reinterpret_cast<WPARAM>(player.window), msg.wParam);
    EXPECT_EQ(at, msg.lParam);
}

TEST(Pointer, WheelNotchesAddUp) {
    struct Case {
        int16_t delta;
        int32_t total;
    };
    const Case cases[] = {{-120, -120}, {-120, -240}, {360, 120}, {-30, 90}};
    Player player;
    player.app->volumeDelta = 0;
    for (const Case& c : cases) {
        SendMessageW(player.window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(c.delta)), 0);
        EXPECT_EQ(c.total, player.app->volumeDelta) << "delta " << c.delta;
    }
}

TEST(Pointer, WholeFaceAnswersAsCaption) {
    struct Case {
        int32_t x, y;
    };
    const Case cases[] = {{0, 0}, {200, 20}, {30, 60}, {300, 60}, {473, 88}};
    Player player;
    for (int32_t factor : {1, 3}) {
        ApplySizeFactor(player.app, factor);
        for (const Case& c : cases) {
            const LRESULT hit = SendMessageW(player.window, WM_NCHITTEST, 0, player.Press(c.x, c.y));
            EXPECT_EQ(HTCAPTION, hit) << "factor " << factor << " at " << c.x << "," << c.y;
        }
        RECT rect = {};
        GetWindowRect(player.window, &rect);
        EXPECT_NE(HTCAPTION, SendMessageW(player.window, WM_NCHITTEST, 0, MAKELPARAM(rect.right + 3, rect.top)));
    }
}

TEST(Pointer, ActivationSwitchesTheFace) {
    struct Case {
        WPARAM active;
        int32_t composed;
    };
    const Case cases[] = {{TRUE, 1}, {TRUE, 0}, {FALSE, 1}};
    Player player;
    player.app->windowActive = 0;
    SendMessageW(player.window, WM_NCACTIVATE, FALSE, 0);
    for (const Case& c : cases) {
        const uint32_t before = ComposedFrameCount();
        SendMessageW(player.window, WM_NCACTIVATE, c.active, 0);
        EXPECT_EQ(static_cast<int32_t>(c.active), player.app->windowActive);
        EXPECT_EQ(c.composed, static_cast<int32_t>(ComposedFrameCount() - before)) << "active " << c.active;
    }
}

}  // namespace
