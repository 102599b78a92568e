// The skin: layout in both heights, the colour schemes, and the pixels of the
// built images. Expected pixels are recomputed here from the documented
// formulas (gradient, gamma, ramp), never taken from our own output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "skin/skin.h"
#ifdef _WIN32
#include "skin/skin_state.h"
#endif

// Found by argument lookup: Rect lives in the global namespace.
std::ostream& operator<<(std::ostream& out, Rect r) {
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

bool SameRect(Rect a, Rect b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

uint32_t Pixel(const RasterImage& image, int32_t x, int32_t y) {
    const uint8_t* p = image.pixels + y * image.stride + x * 3;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}

// ---------------------------------------------------------------- formulas

int Trunc(float x) { return static_cast<int>(x); }

int Gamma(int v, float gamma) { return Trunc(powf(static_cast<float>(v) / 255.0f, gamma) * 255.0f + 0.5f); }

int Ramp07(int v) {
    int t = Trunc(static_cast<float>(v) * 0.7f + (0.0f + 0.5f));
    return t < 0 ? 0 : t > 255 ? 255 : t;
}

uint32_t PerChannel(uint32_t c, int (*f)(int)) {
    uint32_t out = 0;
    for (int k = 0; k < 3; k++) out |= static_cast<uint32_t>(f(static_cast<int>((c >> (8 * k)) & 0xFF))) << (8 * k);
    return out;
}

int Washed(int v) { return Ramp07(Gamma(v, 0.1f)); }
uint32_t Inactive(uint32_t c) { return PerChannel(c, Washed); }

uint32_t Grey(int v) { return static_cast<uint32_t>(v) * 0x010101u; }

// Row y of a grey vertical gradient from `top` to `bottom` over `height`
// rows (accumulated step), then through gamma.
uint32_t GradientRow(int y, int height, int top, int bottom, float gamma) {
    float step = 1.0f / static_cast<float>(height - 1);
    float t = 0.0f;
    for (int i = 0; i < y; i++) t += step;
    int v = Trunc(static_cast<float>(bottom) * t + (1.0f - t) * static_cast<float>(top) + 0.5f);
    return Grey(Gamma(v, gamma));
}
uint32_t DisplayRow(int y) { return GradientRow(y, 33, 0x00, 0xDB, 6.1f); }
uint32_t ControlsRow(int y) { return GradientRow(y, 44, 0xFF, 0x2F, 0.3f); }

// ---------------------------------------------------------------- layout

TEST(ComputeSkinLayout, BothHeights) {
    struct Case {
        int32_t halfHeight;
        SkinLayout expect;
    };
    const Case cases[] = {
        {0,
         {{0, 0, 474, 89}, {6, 6, 468, 83}, {6, 6, 468, 39}, {6, 39, 468, 83}, {19, 47, 55, 75},
          {61, 47, 97, 75}, {103, 47, 139, 75}, {232, 47, 371, 75}, {377, 47, 413, 75}, {419, 47, 455, 75}}},
        {1,
         {{0, 0, 474, 56}, {6, 6, 468, 50}, {6, 6, 468, 6}, {6, 6, 468, 50}, {19, 14, 55, 42},
          {61, 14, 97, 42}, {103, 14, 139, 42}, {232, 14, 371, 42}, {377, 14, 413, 42}, {419, 14, 455, 42}}},
    };
    const char* names[] = {"skinRect", "innerRect", "displayRect", "controlsRect", "playRect",
                           "stopRect", "nextRect",  "volumeRect",  "menuRect",     "closeRect"};
    for (const Case& c : cases) {
        SkinLayout layout;
        memset(&layout, 0xA5, sizeof layout);
        ComputeSkinLayout(&layout, c.halfHeight);
        const Rect* got = &layout.skinRect;
        const Rect* want = &c.expect.skinRect;
        for (int i = 0; i < 10; i++) {
            EXPECT_TRUE(SameRect(got[i], want[i]))
                << names[i] << " half " << c.halfHeight << ": got " << got[i] << ", want " << want[i];
        }
    }
}

TEST(ComputeSkinLayout, ControlsAreButtonsOfOneSize) {
    for (int32_t half = 0; half < 2; half++) {
        SkinLayout l;
        ComputeSkinLayout(&l, half);
        const Rect buttons[] = {l.playRect, l.stopRect, l.nextRect, l.menuRect, l.closeRect};
        for (const Rect& b : buttons) {
            EXPECT_EQ(b.right - b.left, 36) << b;
            EXPECT_EQ(b.bottom - b.top, 28) << b;
            EXPECT_EQ(b.top, l.displayRect.bottom + 8) << b;
        }
        EXPECT_EQ(l.volumeRect.right - l.volumeRect.left, 139);
    }
}

// ---------------------------------------------------------------- colours

TEST(ComputeSkinColors, DocumentedSchemes) {
    struct Case {
        uint32_t base;
        uint32_t shell;
        uint32_t band;
        uint32_t accent;
        float alpha;
        float gain[3];
        uint32_t hoverEdge;
        uint32_t hoverFace;
    };
    const Case cases[] = {
        {0x004080, 0x305070, 0x6080A0, 0x7FBFFF, 0.36810f, {1.0f, 0.74902f, 0.49804f}, 0x507090, 0xD0D7DE},
        {0x000000, 0x303030, 0x606060, 0xFFFFFF, 0.18477f, {1.0f, 1.0f, 1.0f}, 0x505050, 0xD0D0D0},
        {0xFF0000, 0xAF3030, 0xDF6060, 0xFF0000, 0.55f, {0.0f, 0.0f, 1.0f}, 0xCF5050, 0xECD0D0},
        {0xFFFFFF, 0xAFAFAF, 0xDFDFDF, 0xFFFFFF, 0.55f, {1.0f, 1.0f, 1.0f}, 0xCFCFCF, 0xECECEC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "base " << std::hex << c.base);
        SkinColors colors;
        memset(&colors, 0xA5, sizeof colors);
        ComputeSkinColors(&colors, c.base);
        EXPECT_EQ(colors.shellColor, c.shell);
        EXPECT_EQ(colors.bandColor, c.band);
        EXPECT_EQ(colors.panelTopColor, 0u);
        EXPECT_EQ(colors.accentColor, c.accent);
        EXPECT_NEAR(colors.accentAlpha, c.alpha, 0.00001f);
        for (int k = 0; k < 3; k++) EXPECT_NEAR(colors.textGain[k], c.gain[k], 0.00001f) << "channel " << k;
        EXPECT_EQ(colors.iconColor, 0xC4C4C4u);
        EXPECT_EQ(colors.faceColor, 0xF5F5F5u);
        EXPECT_EQ(colors.hoverEdgeColor, c.hoverEdge);
        EXPECT_EQ(colors.hoverIconColor, c.hoverEdge);
        EXPECT_EQ(colors.hoverFaceColor, c.hoverFace);
    }
}

TEST(ComputeSkinColors, AccentAlphaInSinglePrecision) {
    const uint32_t strongest[] = {0, 1, 127, 128, 200, 255};
    for (uint32_t m : strongest) {
        SkinColors colors;
        ComputeSkinColors(&colors, m << 8);  // green carries the strongest channel
        float expect = static_cast<float>(m + 129) * 0.55f / 384.0f;
        EXPECT_EQ(colors.accentAlpha, expect) << "m " << m;
    }
}

// ---------------------------------------------------------------- images

class BuiltSkin : public testing::Test {
protected:
    void Build(uint32_t base, int32_t halfHeight) {
        ComputeSkinLayout(&layout, halfHeight);
        ComputeSkinColors(&colors, base);
        ASSERT_EQ(BuildSkinImages(&images, &layout, &colors), RasterOk);
    }
    void TearDown() override { ReleaseSkinImages(&images); }

    SkinLayout layout = {};
    SkinColors colors = {};
    SkinImages images = {};
};

struct PointCase {
    const char* what;
    int32_t x;
    int32_t y;
    uint32_t expect;
};

void CheckPoints(const RasterImage& image, const PointCase* cases, size_t count, const char* name) {
    for (size_t i = 0; i < count; i++) {
        const PointCase& c = cases[i];
        EXPECT_EQ(Pixel(image, c.x, c.y), c.expect)
            << name << ": " << c.what << " at " << c.x << "," << c.y << std::hex << " want " << c.expect;
    }
}

TEST_F(BuiltSkin, ImageSizes) {
    for (int32_t half = 0; half < 2; half++) {
        Build(0x004080, half);
        struct Size {
            const RasterImage* image;
            int32_t width;
            int32_t height;
        };
        const Size sizes[] = {
            {&images.frameImage, 474, 89},     {&images.baseActive, 474, 89},     {&images.baseInactive, 474, 89},
            {&images.textImage, 462, 33},      {&images.controlsImage, 462, 44},  {&images.playImage, 36, 28},
            {&images.playHoverImage, 36, 28},  {&images.pauseImage, 36, 28},      {&images.pauseHoverImage, 36, 28},
            {&images.stopImage, 36, 28},       {&images.nextImage, 36, 28},       {&images.menuImage, 36, 28},
            {&images.closeImage, 36, 28},      {&images.volumeImage, 139, 28},
        };
        for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; i++) {
            EXPECT_EQ(sizes[i].image->width, sizes[i].width) << "image " << i << " half " << half;
            EXPECT_EQ(sizes[i].image->height, sizes[i].height) << "image " << i << " half " << half;
            EXPECT_EQ(sizes[i].image->bytesPerPixel, 3);
            EXPECT_EQ(sizes[i].image->status, RasterOk);
        }
    }
}

TEST_F(BuiltSkin, FrameIsClearedAndPanelsAreGradients) {
    Build(0x004080, 0);
    for (uint32_t i = 0; i < images.frameImage.byteSize; i++) ASSERT_EQ(images.frameImage.pixels[i], 0) << i;
    for (int y = 0; y < 33; y++) {
        EXPECT_EQ(Pixel(images.textImage, 0, y), DisplayRow(y)) << "text row " << y;
        EXPECT_EQ(Pixel(images.textImage, 461, y), DisplayRow(y)) << "text row " << y;
    }
    EXPECT_EQ(DisplayRow(32), Grey(Gamma(0xDB, 6.1f)));
    for (int y = 0; y < 44; y++) {
        EXPECT_EQ(Pixel(images.controlsImage, 0, y), ControlsRow(y)) << "controls row " << y;
        EXPECT_EQ(Pixel(images.controlsImage, 461, y), ControlsRow(y)) << "controls row " << y;
    }
}

TEST_F(BuiltSkin, FullHeightFaces) {
    Build(0x004080, 0);
    const uint32_t shell = 0x305070;
    const uint32_t band = 0x6080A0;
    const uint32_t icon = 0xC4C4C4;
    const uint32_t face = 0xF5F5F5;
    // Points where both faces show the same normal-look controls.
    const PointCase shared[] = {
        {"controls left of play", 10, 39, ControlsRow(0)},
        {"controls bottom row", 467, 82, ControlsRow(43)},
        {"play area shows only the panel", 30, 54, ControlsRow(54 - 39)},
        {"stop edge", 61, 47, icon},
        {"stop face", 62, 48, face},
        {"stop icon", 61 + 12, 47 + 8, icon},
        {"stop beside icon", 61 + 11, 47 + 8, face},
        {"stop far corner", 61 + 35, 47 + 27, icon},
        {"next tall bar", 103 + 11, 47 + 7, icon},
        {"next gap", 103 + 14, 47 + 7, face},
        {"next short bar", 103 + 23, 47 + 11, icon},
        {"menu line", 377 + 11, 47 + 8, icon},
        {"menu gap", 377 + 11, 47 + 10, face},
        {"close ring", 419 + 12, 47 + 8, icon},
        {"close ring bottom", 419 + 11, 47 + 19, icon},
        {"close hole", 419 + 13, 47 + 10, face},
        {"close stem", 419 + 17, 47 + 6, icon},
        {"close open top", 419 + 15, 47 + 8, face},
        {"volume edge", 232, 47, icon},
        {"volume first bar", 232 + 4, 47 + 4, icon},
        {"volume last bar", 232 + 134, 47 + 23, icon},
        {"volume after last bar", 232 + 135, 47 + 10, face},
        {"volume above bars", 232 + 4, 47 + 3, face},
    };
    CheckPoints(images.baseActive, shared, sizeof shared / sizeof shared[0], "active");
    CheckPoints(images.baseInactive, shared, sizeof shared / sizeof shared[0], "inactive");

    const PointCase active[] = {
        {"outer line", 0, 0, shell},
        {"outer line far corner", 473, 88, shell},
        {"band", 1, 1, band},
        {"band inner edge", 4, 4, band},
        {"band far corner", 472, 87, band},
        {"band bottom", 200, 85, band},
        {"inner shell", 5, 5, shell},
        {"inner shell beside panels", 5, 50, shell},
        {"inner shell below controls", 100, 83, shell},
        {"display top", 6, 6, DisplayRow(0)},
        {"display middle", 240, 6 + 16, DisplayRow(16)},
        {"display bottom", 467, 38, DisplayRow(32)},
    };
    CheckPoints(images.baseActive, active, sizeof active / sizeof active[0], "active");

    const PointCase inactive[] = {
        {"outer line", 0, 0, Inactive(shell)},
        {"band", 2, 2, Inactive(band)},
        {"band bottom", 200, 85, Inactive(band)},
        {"inner shell", 5, 5, Inactive(shell)},
        {"inner shell below controls", 100, 83, Inactive(shell)},
        {"display blank", 6, 6, 0},
        {"display blank bottom", 467, 38, 0},
    };
    CheckPoints(images.baseInactive, inactive, sizeof inactive / sizeof inactive[0], "inactive");
}

TEST_F(BuiltSkin, HalfHeightFaces) {
    Build(0xFF0000, 1);
    const uint32_t shell = 0xAF3030;
    const uint32_t band = 0xDF6060;
    const PointCase active[] = {
        {"outer line", 0, 0, shell},
        {"band top", 1, 1, band},
        {"band bottom row", 100, 54, band},
        {"outer line bottom row", 100, 55, shell},
        {"below the half-height face", 100, 70, shell},
        {"controls top", 6, 6, ControlsRow(0)},
        {"controls bottom", 467, 49, ControlsRow(43)},
        {"stop edge", 61, 14, 0xC4C4C4},
        {"stop icon", 61 + 12, 14 + 8, 0xC4C4C4},
        {"close hole", 419 + 13, 14 + 10, 0xF5F5F5},
    };
    CheckPoints(images.baseActive, active, sizeof active / sizeof active[0], "active");
    const PointCase inactive[] = {
        {"outer line", 0, 0, Inactive(shell)},
        {"band bottom row", 100, 54, Inactive(band)},
        {"below the half-height face", 100, 70, Inactive(shell)},
        {"controls top", 6, 6, ControlsRow(0)},
        {"stop icon", 61 + 12, 14 + 8, 0xC4C4C4},
    };
    CheckPoints(images.baseInactive, inactive, sizeof inactive / sizeof inactive[0], "inactive");
}

// The inactive face is the active one through gamma 0.1 and ramp 0.7 wherever
// neither panel nor a button covers it: check the whole frame band.
TEST_F(BuiltSkin, InactiveFrameIsWashedActiveFrame) {
    const uint32_t bases[] = {0x004080, 0x000000, 0xFF0000, 0xFFFFFF, 0x123456};
    for (uint32_t base : bases) {
        for (int32_t half = 0; half < 2; half++) {
            Build(base, half);
            for (int32_t y = 0; y < 89; y++) {
                for (int32_t x = 0; x < 474; x++) {
                    bool panel = x >= 6 && x < 468 && y >= 6 && y < layout.innerRect.bottom;
                    if (panel) continue;
                    ASSERT_EQ(Pixel(images.baseInactive, x, y), Inactive(Pixel(images.baseActive, x, y)))
                        << "at " << x << "," << y << " base " << std::hex << base << " half " << half;
                }
            }
        }
    }
}

TEST_F(BuiltSkin, ButtonImages) {
    Build(0x004080, 0);
    const uint32_t edge = 0x507090;
    const uint32_t face = 0xD0D7DE;
    const uint32_t icon = 0x507090;
    const uint32_t nIcon = 0xC4C4C4;
    const uint32_t nFace = 0xF5F5F5;
    struct ImageCase {
        const char* name;
        const RasterImage* image;
        PointCase points[6];
    };
    const ImageCase cases[] = {
        {"play", &images.playImage,
         {{"edge", 0, 0, nIcon}, {"face", 1, 1, nFace}, {"bar 1", 11, 7, nIcon}, {"gap", 15, 7, nFace},
          {"bar 2", 19, 18, nIcon}, {"bar 3", 24, 16, nIcon}}},
        {"play hovered", &images.playHoverImage,
         {{"edge", 35, 27, edge}, {"face", 34, 26, face}, {"bar 1", 14, 20, icon}, {"above bar 2", 16, 8, face},
          {"bar 2", 16, 9, icon}, {"right of bar 3", 25, 11, face}}},
        {"pause", &images.pauseImage,
         {{"edge", 0, 27, nIcon}, {"face", 1, 26, nFace}, {"bar 1", 15, 20, nIcon}, {"gap", 16, 7, nFace},
          {"bar 2", 20, 7, nIcon}, {"below bar 2", 20, 21, nFace}}},
        {"pause hovered", &images.pauseHoverImage,
         {{"edge", 35, 0, edge}, {"face", 2, 2, face}, {"bar 1", 11, 7, icon}, {"gap", 19, 10, face},
          {"bar 2", 24, 20, icon}, {"right of bar 2", 25, 20, face}}},
        {"stop hovered", &images.stopImage,
         {{"edge", 0, 0, edge}, {"face", 1, 1, face}, {"icon", 12, 8, icon}, {"icon corner", 23, 19, icon},
          {"below icon", 23, 20, face}, {"right of icon", 24, 19, face}}},
        {"next hovered", &images.nextImage,
         {{"edge", 0, 0, edge}, {"bar 1", 13, 20, icon}, {"short 1", 15, 11, icon}, {"above short 1", 15, 10, face},
          {"bar 2", 19, 7, icon}, {"short 2", 25, 16, icon}}},
        {"menu hovered", &images.menuImage,
         {{"edge", 0, 0, edge}, {"line 1", 11, 8, icon}, {"line 2", 24, 14, icon}, {"between", 11, 10, face},
          {"line 3", 11, 18, icon}, {"below", 11, 20, face}}},
        {"close hovered", &images.closeImage,
         {{"grey edge kept", 0, 0, 0xC4C4C4}, {"red face", 1, 1, 0xFF0000}, {"white ring", 12, 8, 0xFFFFFF},
          {"red hole", 14, 17, 0xFF0000}, {"white stem", 18, 14, 0xFFFFFF}, {"red below stem", 17, 15, 0xFF0000}}},
        {"volume hovered", &images.volumeImage,
         {{"edge", 0, 0, edge}, {"face", 1, 1, face}, {"first bar", 4, 4, icon}, {"last bar", 134, 23, icon},
          {"after last bar", 135, 23, face}, {"below bars", 4, 24, face}}},
    };
    for (const ImageCase& c : cases) {
        CheckPoints(*c.image, c.points, 6, c.name);
    }
}

TEST_F(BuiltSkin, VolumeBarHasTwentyTwoBars) {
    Build(0x004080, 0);
    const RasterImage* looks[] = {&images.volumeImage, &images.baseActive};
    const int32_t originX[] = {0, 232};
    const int32_t originY[] = {0, 47};
    const uint32_t barColor[] = {0x507090, 0xC4C4C4};
    for (int i = 0; i < 2; i++) {
        int bars = 0;
        int lastStart = -1;
        int lastEnd = -1;
        bool inBar = false;
        for (int x = 1; x < 138; x++) {
            bool on = Pixel(*looks[i], originX[i] + x, originY[i] + 10) == barColor[i];
            if (on && !inBar) {
                bars++;
                lastStart = x;
            }
            if (on) lastEnd = x;
            inBar = on;
        }
        EXPECT_EQ(bars, 22) << "look " << i;
        EXPECT_EQ(lastStart, 130) << "look " << i;
        EXPECT_EQ(lastEnd, 134) << "look " << i;
    }
}

TEST_F(BuiltSkin, RebuildReusesBuffersAndFollowsTheColour) {
    Build(0x004080, 0);
    const uint8_t* held = images.baseActive.pixels;
    Build(0xFFFFFF, 0);
    EXPECT_EQ(images.baseActive.pixels, held);
    EXPECT_EQ(Pixel(images.baseActive, 0, 0), 0xAFAFAFu);
    EXPECT_EQ(Pixel(images.baseActive, 1, 1), 0xDFDFDFu);
    EXPECT_EQ(Pixel(images.stopImage, 1, 1), 0xECECECu);
    // Half height keeps the full-height allocations of the faces.
    Build(0xFFFFFF, 1);
    EXPECT_EQ(images.baseActive.pixels, held);
}

TEST(BuildSkinImages, StopsAtTheFirstFailingAllocation) {
    SkinLayout layout;
    SkinColors colors;
    ComputeSkinLayout(&layout, 0);
    ComputeSkinColors(&colors, 0x004080);
    layout.controlsRect.right = layout.controlsRect.left + 70000;  // too wide for any image
    SkinImages images = {};
    EXPECT_EQ(BuildSkinImages(&images, &layout, &colors), RasterBadSize);
    // Allocated before the failure, cleared, and not drawn.
    EXPECT_EQ(images.baseInactive.width, 474);
    EXPECT_EQ(images.baseActive.pixels[0], 0);
    EXPECT_EQ(images.controlsImage.status, RasterBadSize);
    EXPECT_EQ(images.playImage.pixels, nullptr);
    EXPECT_EQ(images.volumeImage.pixels, nullptr);
    ReleaseSkinImages(&images);
    const SkinImages zero = {};
    EXPECT_EQ(memcmp(&images, &zero, sizeof images), 0);
}

#ifdef _WIN32
// The state wrappers: only the Windows build has the state record.
TEST(BuildStaticSkin, ClearsTheRenderedTextAndAsksForARedraw) {
    static AppState app;
    app.baseColor = 0x004080;
    app.halfHeight = 1;
    for (wchar_t& c : app.frameText) c = L'x';
    Store(app.redraw, 0);

    LayoutSkin(&app);
    DeriveSkinColors(&app);
    SkinLayout layout;
    ComputeSkinLayout(&layout, 1);
    EXPECT_EQ(memcmp(&app.layout, &layout, sizeof layout), 0);
    EXPECT_EQ(app.colors.shellColor, 0x305070u);

    EXPECT_EQ(BuildStaticSkin(&app), 0u);
    for (wchar_t c : app.frameText) ASSERT_EQ(c, L'\0');
    EXPECT_EQ(Load(app.redraw), 1);
    EXPECT_EQ(Pixel(app.images.stopImage, 1, 1), 0xD0D7DEu);
    ReleaseSkinImages(&app.images);
}
#endif

}  // namespace
