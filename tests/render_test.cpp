// Frame composition, the status line, fonts and the size factor, on real
// device contexts and a real window. Expected pixels come from the skin's
// documented colours and the blend formulas written out here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/commands.h"
#include "skin/render.h"
#include "skin/skin_state.h"
#include "support/window_fixture.h"

namespace {

constexpr uint32_t kFace = 0xF5F5F5;
constexpr uint32_t kIcon = 0xC4C4C4;
constexpr uint32_t kAccent = 0x7FBFFF;  // base 0x004080 raised to a full blue
const Rect kDisplay = {6, 6, 468, 39};
const Rect kVolume = {232, 47, 371, 75};
const Rect kPlay = {19, 47, 55, 75};

uint32_t Pixel(const RasterImage& image, int32_t x, int32_t y) {
    const uint8_t* p = image.pixels + y * image.stride + x * 3;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}

// A screen context and a memory context, as the paint handler has them.
struct Contexts {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    ~Contexts() {
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
};

// The default skin built at full or half height, active face, full volume.
AppState* PrepareSkin(int32_t halfHeight) {
    AppState* app = ResetWithDefaults();
    app->halfHeight = halfHeight;
    LayoutSkin(app);
    EXPECT_EQ(1, SetStatusFont(app, 0));
    DeriveSkinColors(app);
    EXPECT_EQ(0u, BuildStaticSkin(app));
    app->windowActive = 1;
    app->volume = 65535;
    return app;
}

uint32_t Compose(AppState* app) {
    Contexts dc;
    Store(app->redraw, 1);
    return ComposeFrame(app, dc.screen, dc.memory);
}

// One channel of BlendColorRect with a white colorA: d * weightA + c * weightB, rounded.
uint32_t BlendChannel(uint32_t d, uint32_t c, float alpha) {
    const float slope = (255.0f / 255.0f) * (1.0f - alpha);
    const float x = static_cast<float>(d) * slope + (static_cast<float>(c) * alpha + 0.5f);
    const int v = static_cast<int>(x);
    return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

uint32_t BlendPixel(uint32_t d, uint32_t c, float alpha) {
    uint32_t out = 0;
    for (int k = 0; k < 3; ++k) out |= BlendChannel((d >> (8 * k)) & 0xFF, (c >> (8 * k)) & 0xFF, alpha) << (8 * k);
    return out;
}

TEST(Frame, VolumeLevelCoversTheUnlitBarsFromTheRight) {
    struct Case {
        uint32_t volume;
        int unlit;
    };
    const Case cases[] = {{65535, 0}, {64000, 1}, {32768, 11}, {0, 22}};
    AppState* app = PrepareSkin(0);
    for (const Case& c : cases) {
        app->volume = c.volume;
        Compose(app);
        for (int bar = 0; bar < 22; ++bar) {
            const int32_t x = kVolume.left + 4 + 6 * bar + 2;
            const uint32_t want = bar >= 22 - c.unlit ? kFace : kIcon;
            EXPECT_EQ(want, Pixel(app->images.frameImage, x, kVolume.top + 10))
                << "volume " << c.volume << " bar " << bar;
        }
    }
}

TEST(Frame, VolumeNoticeText) {
    struct Case {
        uint32_t volume;
        uint32_t muted;
        const wchar_t* text;
    };
    const Case cases[] = {
        {65535, 0, L"Volume 1000"}, {32768, 0, L"Volume 500"}, {0, 0, L"Volume 0"}, {0, 40000, L"Mute"}};
    AppState* app = PrepareSkin(0);
    for (const Case& c : cases) {
        app->volume = c.volume;
        app->mutedVolume = c.muted;
        app->statusKind = StatusVolume;
        Compose(app);
        EXPECT_STREQ(c.text, app->frameText) << "volume " << c.volume << " muted " << c.muted;
    }
}

TEST(StatusNumber, FormatsOneConversion) {
    struct Case {
        const wchar_t* format;
        uint32_t value;
        const wchar_t* out;
    };
    const std::wstring longFormat(70, L'a');
    const std::wstring longOut(63, L'a');
    const Case cases[] = {
        {L"Volume %u", 1000, L"Volume 1000"}, {L"Volume %u", 0, L"Volume 0"}, {L"Mute", 7, L"Mute"},
        {L"%x", 0xBEEF, L"beef"},           {L"a%ub", 4294967295u, L"a4294967295b"},
        {longFormat.c_str(), 1, longOut.c_str()},
    };
    for (const Case& c : cases) {
        wchar_t out[64];
        const int n = FormatStatusNumber(out, c.format, c.value);
        EXPECT_STREQ(c.out, out) << "format " << std::wstring(c.format).size() << " chars, value " << c.value;
        EXPECT_EQ(static_cast<int>(std::wcslen(c.out)), n);
    }
}

TEST(Status, LongTextsAreTrimmedToTheDisplay) {
    struct Case {
        std::wstring text;
        std::wstring stored;
    };
    // Em dashes are an em wide in any face: 21 of them never fit 450 pixels.
    const std::wstring wide(30, L'\x2014');
    const Case cases[] = {
        {wide, wide.substr(0, 21) + L"..."},
        {std::wstring(300, L'\x2014'), wide.substr(0, 21) + L"..."},
        {L"Short title", L"Short title"},
        // 21 characters are never measured, even when they do not fit.
        {wide.substr(0, 21), wide.substr(0, 21)},
        {std::wstring(22, L'i'), std::wstring(22, L'i')},
    };
    AppState* app = PrepareSkin(0);
    for (const Case& c : cases) {
        SetStatus(app, c.text.c_str(), StatusShowText, 0);
        EXPECT_EQ(c.stored, std::wstring(app->statusText)) << "input of " << c.text.size() << " chars";
    }
}

TEST(Status, KindsThatRestoreTheProductName) {
    struct Case {
        int32_t kind;
        const wchar_t* text;
        const wchar_t* stored;
    };
    const Case cases[] = {
        {StatusOpenFailed, L"ignored", L"Pebbletune"}, {StatusNoAudio, nullptr, L"Pebbletune"},
        {StatusShowText, nullptr, L"Pebbletune"},      {StatusShowText, L"Song", L"Song"},
        {StatusSearching, L"ignored", L"Earlier"},     {StatusVolume, nullptr, L"Earlier"},
        {StatusPathTooLong, nullptr, L"Earlier"},
    };
    AppState* app = PrepareSkin(0);
    for (const Case& c : cases) {
        CopyText(app->statusText, L"Earlier", kPathUnits - 1);
        Store(app->redraw, 0);
        SetStatus(app, c.text, c.kind, 60);
        EXPECT_STREQ(c.stored, app->statusText) << "kind " << c.kind;
        EXPECT_EQ(c.kind, app->statusKind);
        EXPECT_EQ(60, app->statusTicks);
        EXPECT_EQ(1, Load(app->redraw));
    }
}

TEST(Frame, TextIsDrawnInTheAccentHueOnBlack) {
    AppState* app = PrepareSkin(0);
    SetStatus(app, L"Pebbletune", StatusShowText, 0);
    Compose(app);
    // 0xDE grey through the gains of base 0x004080: blue 255/255, green 191/255, red 127/255.
    const float gains[3] = {255.0f / 255.0f, 191.0f / 255.0f, 127.0f / 255.0f};
    uint32_t full = 0;
    for (int k = 0; k < 3; ++k) full |= static_cast<uint32_t>(static_cast<float>(0xDE) * gains[k] + 0.5f) << (8 * k);
    bool sawFull = false;
    for (int32_t y = kDisplay.top; y < kDisplay.bottom; ++y) {
        for (int32_t x = kDisplay.left; x < kDisplay.right; ++x) {
            const uint32_t p = Pixel(app->images.frameImage, x, y);
            sawFull = sawFull || p == full;
            for (int k = 0; k < 3; ++k) {
                ASSERT_LE((p >> (8 * k)) & 0xFF, (full >> (8 * k)) & 0xFF) << "pixel " << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(sawFull) << std::hex << "no pixel of full strength 0x" << full;
    EXPECT_EQ(0u, Pixel(app->images.frameImage, kDisplay.right - 1, kDisplay.bottom - 1));
}

TEST(Frame, ATextThatCouldNotBeDrawnIsNotRecolouredAgain) {
    AppState* app = PrepareSkin(0);
    SetStatus(app, L"Pebbletune", StatusShowText, 0);
    Compose(app);
    RasterImage& text = app->images.textImage;
    const std::vector<uint8_t> before(text.pixels, text.pixels + text.stride * text.height);
    // A new text, but no memory context to draw it in: no bitmap is created.
    SetStatus(app, L"Another line", StatusShowText, 0);
    Contexts dc;
    Store(app->redraw, 1);
    ComposeFrame(app, dc.screen, nullptr);
    const std::vector<uint8_t> after(text.pixels, text.pixels + text.stride * text.height);
    EXPECT_TRUE(before == after) << "the old pixels went through the colour tables again";
}

TEST(Frame, EmptyTextLeavesTheDisplayGradient) {
    struct Case {
        const wchar_t* text;
        bool gradient;
    };
    const Case cases[] = {{L"", true}, {L"Hello", false}};
    for (const Case& c : cases) {
        AppState* app = PrepareSkin(0);
        CopyText(app->statusText, c.text, kPathUnits - 1);
        Compose(app);
        const RasterImage& frame = app->images.frameImage;
        const RasterImage& face = app->images.baseActive;
        bool same = true;
        for (int32_t y = kDisplay.top; y < kDisplay.bottom; ++y) {
            same = same && std::memcmp(frame.pixels + y * frame.stride + kDisplay.left * 3,
                                       face.pixels + y * face.stride + kDisplay.left * 3, 462 * 3) == 0;
        }
        EXPECT_EQ(c.gradient, same) << "text \"" << std::wstring(c.text) << "\"";
    }
}

// Half height shows neither the text nor the seek overlay: apart from the
// play button and the volume level the frame is the face itself.
TEST(Frame, HalfHeightDrawsNoTextAndNoOverlay) {
    struct Case {
        int32_t halfHeight;
        bool plainFace;
    };
    const Case cases[] = {{1, true}, {0, false}};
    for (const Case& c : cases) {
        AppState* app = PrepareSkin(c.halfHeight);
        SetStatus(app, L"Some song", StatusShowText, 0);
        Store(app->device.deviceState, DEV_PAUSED);
        Store(app->positionMs, 512u);
        Store(app->seekScale, 1.0f / 1024.0f);
        Compose(app);
        const Rect play = app->layout.playRect;
        const Rect volume = app->layout.volumeRect;
        bool same = true;
        for (int32_t y = 0; y < app->layout.skinRect.bottom; ++y) {
            for (int32_t x = 0; x < 474; ++x) {
                const bool skip = (x >= play.left && x < play.right && y >= play.top && y < play.bottom) ||
                                  (x >= volume.left && x < volume.right && y >= volume.top && y < volume.bottom);
                if (!skip) same = same && Pixel(app->images.frameImage, x, y) == Pixel(app->images.baseActive, x, y);
            }
        }
        EXPECT_EQ(c.plainFace, same) << "halfHeight " << c.halfHeight;
        Store(app->device.deviceState, DEV_CLOSED);
    }
}

TEST(Frame, SeekOverlayStrengthFollowsTheDeviceState) {
    struct Case {
        int32_t state;
        float strength;  // share of accentAlpha; 0: no overlay
    };
    const Case cases[] = {{DEV_PLAYING, 1.0f}, {DEV_PAUSED, 0.5f}, {DEV_STOPPED, 0.0f}, {DEV_CLOSED, 0.0f}};
    const float accentAlpha = static_cast<float>(0x80 + 129) * 0.55f / 384.0f;
    AppState* app = PrepareSkin(0);
    app->statusText[0] = 0;  // the face's gradient shows under the overlay
    for (const Case& c : cases) {
        Store(app->device.deviceState, c.state);
        Store(app->positionMs, 512u);
        Store(app->seekScale, 1.0f / 1024.0f);  // half of 462 pixels: 231
        Compose(app);
        const int32_t y = kDisplay.top + 25;
        const int32_t xs[] = {kDisplay.left, kDisplay.left + 230, kDisplay.left + 231};
        for (int32_t x : xs) {
            const uint32_t face = Pixel(app->images.baseActive, x, y);
            const bool covered = c.strength > 0.0f && x < kDisplay.left + 231;
            const uint32_t want = covered ? BlendPixel(face, kAccent, accentAlpha * c.strength) : face;
            EXPECT_EQ(want, Pixel(app->images.frameImage, x, y)) << "state " << c.state << " x " << x;
        }
    }
    Store(app->device.deviceState, DEV_CLOSED);
}

TEST(Frame, TextIsRenderedOnlyWhenItOrTheFontChanges) {
    struct Case {
        int32_t fontType;  // -1: keep the font
        bool rendered;
    };
    const Case cases[] = {{-1, false}, {4, true}, {-1, false}, {0, true}};
    AppState* app = PrepareSkin(0);
    SetStatus(app, L"Unchanged words", StatusShowText, 0);
    Compose(app);
    for (const Case& c : cases) {
        FillImage(&app->images.textImage, 0x123456);
        if (c.fontType >= 0) {
            ASSERT_EQ(1, SetStatusFont(app, c.fontType));
        }
        Compose(app);
        EXPECT_EQ(c.rendered, Pixel(app->images.textImage, 0, 0) != 0x123456) << "font " << c.fontType;
    }
}

// Distinct bytes in every pixel, so a misplaced pixel cannot go unnoticed.
void FillPattern(RasterImage* image) {
    for (int32_t y = 0; y < image->height; ++y) {
        for (int32_t x = 0; x < image->width; ++x) {
            uint8_t* p = image->pixels + y * image->stride + x * 3;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(x >> 8 | y << 2);
            p[2] = static_cast<uint8_t>(x * 7 + y * 13);
        }
    }
}

TEST(Upscale, RepeatsEachPixelBottomUp) {
    struct Case {
        int32_t width, height;
        Rect r;
        int32_t factor;
        int32_t f;
    };
    // Narrow rows, rows with a wide middle at every kind of factor, a sub-
    // rectangle, and the whole face at the largest factor (a 24 MB section).
    const Case cases[] = {
        {5, 4, {0, 0, 5, 4}, 1, 1},      {37, 5, {0, 0, 37, 5}, 1, 1},   {37, 5, {0, 0, 37, 5}, 2, 2},
        {37, 5, {0, 0, 37, 5}, 3, 3},    {37, 5, {0, 0, 37, 5}, 4, 4},   {37, 5, {0, 0, 37, 5}, 5, 5},
        {37, 5, {3, 1, 36, 4}, 3, 3},    {37, 5, {0, 0, 37, 5}, 0, 1},   {474, 89, {0, 0, 474, 89}, 12, 12},
    };
    Contexts dc;
    DibTarget& target = ResetWithDefaults()->dib;
    for (const Case& c : cases) {
        RasterImage image = {};
        ASSERT_EQ(0u, AllocateImage(&image, c.width, c.height));
        FillPattern(&image);
        ASSERT_EQ(0u, UpscaleToDib(&target, dc.screen, &image, c.r, c.factor));
        const int32_t w = c.f * (c.r.right - c.r.left);
        const int32_t h = c.f * (c.r.bottom - c.r.top);
        ASSERT_EQ(w, target.width);
        ASSERT_EQ(h, target.height);
        const uint32_t* bits = static_cast<const uint32_t*>(target.bits);
        for (int32_t row = 0; row < h; ++row) {
            for (int32_t col = 0; col < w; ++col) {
                const uint32_t want =
                    0xFF000000u | Pixel(image, c.r.left + col / c.f, c.r.bottom - 1 - row / c.f);
                ASSERT_EQ(want, bits[row * w + col])
                    << c.width << "x" << c.height << " factor " << c.factor << " row " << row << " col " << col;
            }
        }
        // The section is kept while the size holds.
        HBITMAP kept = target.bitmap;
        ASSERT_EQ(0u, UpscaleToDib(&target, dc.screen, &image, c.r, c.factor));
        EXPECT_EQ(kept, target.bitmap);
        ReleaseImage(&image);
    }
    RasterImage empty = {};
    EXPECT_EQ(5u, UpscaleToDib(&target, dc.screen, &empty, Rect{0, 0, 5, 4}, 1));
}

TEST(Fonts, FaceByTypeAndOutOfRangeTypes) {
    struct Case {
        int32_t type;
        const wchar_t* face;
        int32_t stored;
    };
    const Case cases[] = {{9, L"Microsoft Sans Serif", 0}, {-1, L"Microsoft Sans Serif", 0},
                          {4, L"Impact", 4},              {8, L"Trebuchet MS", 8},
                          {1, L"Comic Sans MS", 1}};
    for (const Case& c : cases) {
        AppState* app = ResetWithDefaults();
        app->fontType = 3;
        CopyText(app->frameText, L"drawn", kPathUnits - 1);
        ASSERT_EQ(1, SetStatusFont(app, c.type));
        LOGFONTW font = {};
        ASSERT_NE(0, GetObjectW(app->statusFont, sizeof(font), &font));
        EXPECT_STREQ(c.face, font.lfFaceName) << "type " << c.type;
        EXPECT_EQ(24, font.lfHeight);
        EXPECT_EQ(FW_NORMAL, font.lfWeight);
        EXPECT_EQ(c.stored, app->fontType) << "type " << c.type;
        EXPECT_EQ(0, app->frameText[0]);
        DeleteObject(app->statusFont);
    }
}

TEST(Window, SizeFactorIsClampedAndResizesTheWindow) {
    struct Case {
        int32_t request;
        int32_t factor;
        bool changes;
    };
    const Case cases[] = {{13, 12, true}, {0, 1, true}, {3, 3, true}, {3, 3, false}, {-7, 1, true}};
    AppState* app = ResetWithDefaults();
    HWND window = CreatePlayerWindow(app);
    ASSERT_NE(nullptr, window);
    PumpFor(100);
    for (const Case& c : cases) {
        RECT before = {};
        GetWindowRect(window, &before);
        Store(app->redraw, 0);
        const uint32_t composed = ComposedFrameCount();
        ApplySizeFactor(app, c.request);
        RECT after = {};
        GetWindowRect(window, &after);
        EXPECT_EQ(c.factor, app->sizeFactor) << "request " << c.request;
        EXPECT_EQ(474 * c.factor, after.right - after.left) << "request " << c.request;
        EXPECT_EQ(89 * c.factor, after.bottom - after.top) << "request " << c.request;
        EXPECT_EQ(c.changes, ComposedFrameCount() != composed) << "request " << c.request;
        if (!c.changes) {
            EXPECT_EQ(0, std::memcmp(&before, &after, sizeof(RECT)));
        }
    }
    // Off the left edge: back to x 0, the top kept.
    SetWindowPos(window, nullptr, -50, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplySizeFactor(app, 2);
    RECT moved = {};
    GetWindowRect(window, &moved);
    EXPECT_EQ(0, moved.left);
    EXPECT_EQ(40, moved.top);
    EXPECT_EQ(474 * 2, app->dib.width);
    EXPECT_TRUE(CloseAndWait(app));
}

TEST(Window, PaintComposesOnlyWhenRedrawIsSet) {
    struct Case {
        int32_t redraw;
        uint32_t composed;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {0, 0}};
    AppState* app = ResetWithDefaults();
    HWND window = CreatePlayerWindow(app);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(PumpUntil([] { return ComposedFrameCount() > 0; }, 2000));
    for (const Case& c : cases) {
        Store(app->redraw, c.redraw);
        const uint32_t before = ComposedFrameCount();
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        EXPECT_EQ(c.composed, ComposedFrameCount() - before) << "redraw " << c.redraw;
        EXPECT_EQ(0, Load(app->redraw));
    }
    EXPECT_TRUE(CloseAndWait(app));
}

}  // namespace
