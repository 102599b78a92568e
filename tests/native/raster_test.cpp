// The raster library against values worked out by hand or recomputed here
// from the documented formulas. Built natively under the sanitizers and for
// Windows under Wine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "skin/raster.h"
#include "skin/raster_ramp.h"

namespace {

// An image over a buffer the test owns, for the 1- and 4-byte pixel paths
// that AllocateImage never makes.
struct OwnedImage {
    std::vector<uint8_t> bytes;
    RasterImage image;
};

OwnedImage MakeImage(int32_t width, int32_t height, int32_t bytesPerPixel, uint8_t seed) {
    OwnedImage o;
    o.bytes.resize(static_cast<size_t>(width) * height * bytesPerPixel);
    for (size_t i = 0; i < o.bytes.size(); i++) {
        o.bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    o.image = RasterImage{};
    o.image.pixels = o.bytes.data();
    o.image.width = width;
    o.image.height = height;
    o.image.bytesPerPixel = bytesPerPixel;
    o.image.stride = width * bytesPerPixel;
    o.image.pixelCount = width * height;
    o.image.byteSize = static_cast<uint32_t>(o.bytes.size());
    o.image.capacity = o.image.byteSize;
    return o;
}

const uint8_t* At(const RasterImage& image, int32_t x, int32_t y) {
    return image.pixels + y * image.stride + x * image.bytesPerPixel;
}

bool Inside(Rect r, int32_t x, int32_t y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

uint8_t Byte(uint32_t v, int k) { return static_cast<uint8_t>(v >> (8 * k)); }

float FloatFromBits(uint32_t bits) {
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

// Independent table formulas.
uint8_t ClampTrunc(float x) {
    if (!(x >= -2147483648.0f && x < 2147483648.0f)) return 0;
    long v = static_cast<long>(x);
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}
uint8_t GammaOf(int v, float gamma) {
    return ClampTrunc(powf(static_cast<float>(v) / 255.0f, gamma) * 255.0f + 0.5f);
}
uint8_t RampOf(int v, float slope, float offset) {
    return ClampTrunc(static_cast<float>(v) * slope + (offset + 0.5f));
}

// ---------------------------------------------------------------- AllocateImage

struct AllocCase {
    int32_t width;
    int32_t height;
    uint32_t status;
    int32_t expectWidth;   // when status is 0
    int32_t expectHeight;
};

TEST(AllocateImage, SizesAndCodes) {
    const AllocCase cases[] = {
        {0, 0, RasterOk, 1, 1},
        {-5, 7, RasterOk, 1, 7},
        {7, -5, RasterOk, 7, 1},
        {6, 4, RasterOk, 6, 4},
        {65535, 1, RasterOk, 65535, 1},
        {65536, 1, RasterBadSize, 0, 0},
        {1, 65536, RasterBadSize, 0, 0},
        {20000, 20000, RasterBadSize, 0, 0},
        {18919, 18919, RasterBadSize, 0, 0},
        {INT32_MAX, INT32_MAX, RasterBadSize, 0, 0},
    };
    for (const AllocCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        RasterImage image = {};
        ASSERT_EQ(AllocateImage(&image, 2, 3), RasterOk);
        memset(image.pixels, 0x5A, image.byteSize);
        const RasterImage before = image;

        uint32_t status = AllocateImage(&image, c.width, c.height);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(image.status, c.status);
        if (c.status == RasterOk) {
            int64_t bytes = int64_t{3} * c.expectWidth * c.expectHeight;
            EXPECT_EQ(image.width, c.expectWidth);
            EXPECT_EQ(image.height, c.expectHeight);
            EXPECT_EQ(image.bytesPerPixel, 3);
            EXPECT_EQ(image.bytesPerChannel, 1);
            EXPECT_EQ(image.channels, 3);
            EXPECT_EQ(image.stride, 3 * c.expectWidth);
            EXPECT_EQ(image.pixelCount, c.expectWidth * c.expectHeight);
            EXPECT_EQ(image.byteSize, static_cast<uint32_t>(bytes));
            EXPECT_EQ(image.capacity, static_cast<uint32_t>(bytes));
            EXPECT_EQ(image.aspect, static_cast<float>(c.expectWidth) / static_cast<float>(c.expectHeight));
            EXPECT_NE(image.pixels, nullptr);
        } else {
            // Refused: every field but the status is as it was, buffer intact.
            RasterImage expect = before;
            expect.status = c.status;
            EXPECT_EQ(memcmp(&image, &expect, sizeof image), 0);
            for (uint32_t i = 0; i < image.byteSize; i++) ASSERT_EQ(image.pixels[i], 0x5A);
        }
        ReleaseImage(&image);
    }
}

// 18918 x 18918 is just under the 1 GiB limit. Allocating it for real would
// take 1 GB on a shared machine, so the record claims a buffer of exactly
// that size already: the size check must pass and the buffer be kept.
TEST(AllocateImage, LargestSquarePassesTheSizeCheck) {
    const uint32_t bytes = 18918u * 18918u * 3u;
    ASSERT_EQ(bytes, 1073672172u);
    RasterImage image = {};
    image.pixels = static_cast<uint8_t*>(malloc(16));
    ASSERT_NE(image.pixels, nullptr);
    uint8_t* held = image.pixels;
    image.capacity = bytes;

    EXPECT_EQ(AllocateImage(&image, 18918, 18918), RasterOk);
    EXPECT_EQ(image.status, RasterOk);
    EXPECT_EQ(image.pixels, held);
    EXPECT_EQ(image.byteSize, bytes);
    EXPECT_EQ(image.width, 18918);
    EXPECT_EQ(image.height, 18918);
    ReleaseImage(&image);
}

TEST(AllocateImage, SameByteSizeReshapeKeepsPixels) {
    RasterImage image = {};
    ASSERT_EQ(AllocateImage(&image, 6, 4), RasterOk);
    for (uint32_t i = 0; i < image.byteSize; i++) image.pixels[i] = static_cast<uint8_t>(i * 13 + 1);
    uint8_t* held = image.pixels;

    ASSERT_EQ(AllocateImage(&image, 4, 6), RasterOk);
    EXPECT_EQ(image.pixels, held);
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 6);
    EXPECT_EQ(image.stride, 12);
    EXPECT_FLOAT_EQ(image.aspect, 4.0f / 6.0f);
    for (uint32_t i = 0; i < image.byteSize; i++) ASSERT_EQ(image.pixels[i], static_cast<uint8_t>(i * 13 + 1));

    ASSERT_EQ(AllocateImage(&image, 5, 5), RasterOk);
    EXPECT_EQ(image.capacity, 75u);
    ReleaseImage(&image);
}

TEST(ReleaseImage, ZeroesTheRecordAndEmptyImagesDrawNothing) {
    RasterImage image = {};
    ASSERT_EQ(AllocateImage(&image, 3, 3), RasterOk);
    ReleaseImage(&image);
    const RasterImage zero = {};
    EXPECT_EQ(memcmp(&image, &zero, sizeof image), 0);
    ReleaseImage(&image);

    // Every operation on the empty record is a no-op (the sanitizers would
    // catch a touch of the null buffer).
    uint8_t tables[4 * 256] = {};
    BlendParams p = {0xFFFFFF, 0x123456, 0.5f, 0.5f, 0, 0, tables};
    FillImage(&image, 0xFFFFFF);
    FillRect(&image, Rect{0, 0, 5, 5}, 0xFFFFFF);
    FillVerticalGradient(&image, 0, 0xFFFFFF);
    ApplyGamma(&image, 0, 2.0f);
    ApplyTables(&image, Rect{0, 0, 5, 5}, tables);
    BlitRect(&image, Rect{0, 0, 5, 5}, &image);
    BlendBlitRect(&image, Rect{0, 0, 5, 5}, &image, &p);
    BlendColorRect(&image, Rect{0, 0, 5, 5}, &p);
    EXPECT_EQ(memcmp(&image, &zero, sizeof image), 0);
}

// ---------------------------------------------------------------- Fills

TEST(FillImage, ColourBytesPerPixelSize) {
    struct Case {
        int32_t bytesPerPixel;
        uint32_t color;
        uint8_t expect[4];
    };
    const Case cases[] = {
        {3, 0xFF0000, {0x00, 0x00, 0xFF, 0}},
        {3, 0x123456, {0x56, 0x34, 0x12, 0}},
        {4, 0xA1123456, {0x56, 0x34, 0x12, 0xA1}},
        {1, 0x1234AB, {0xAB, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytesPerPixel << " bytes, colour " << std::hex << c.color);
        OwnedImage o = MakeImage(5, 3, c.bytesPerPixel, 1);
        FillImage(&o.image, c.color);
        for (int32_t y = 0; y < 3; y++)
            for (int32_t x = 0; x < 5; x++)
                for (int32_t k = 0; k < c.bytesPerPixel; k++) ASSERT_EQ(At(o.image, x, y)[k], c.expect[k]);
    }
}

TEST(FillImage, UnhandledPixelSizeDoesNothing) {
    OwnedImage o = MakeImage(4, 2, 2, 9);
    const std::vector<uint8_t> before = o.bytes;
    FillImage(&o.image, 0xFFFFFF);
    FillRect(&o.image, Rect{0, 0, 4, 2}, 0xFFFFFF);
    FillVerticalGradient(&o.image, 0, 0xFFFFFF);
    EXPECT_EQ(o.bytes, before);
}

const Rect kClipCases[] = {
    {2, 1, 5, 3},          // inside
    {-3, -2, 2, 2},        // over the top-left corner
    {6, 4, 40, 30},        // over the bottom-right corner
    {-10, -10, 100, 100},  // the whole image and more
    {8, 0, 12, 3},         // wholly right of the image
    {0, -5, 3, 0},         // wholly above
    {5, 1, 2, 3},          // right < left
    {1, 4, 3, 2},          // bottom < top
    {3, 3, 3, 5},          // zero width
};

TEST(FillRect, ClipsToTheImage) {
    const int32_t sizes[] = {1, 3, 4};
    for (int32_t bpp : sizes) {
        for (const Rect& r : kClipCases) {
            SCOPED_TRACE(testing::Message() << bpp << " bytes, rect " << r.left << "," << r.top << ","
                                            << r.right << "," << r.bottom);
            OwnedImage o = MakeImage(8, 6, bpp, 3);
            const std::vector<uint8_t> before = o.bytes;
            FillRect(&o.image, r, 0x44332211);
            for (int32_t y = 0; y < 6; y++) {
                for (int32_t x = 0; x < 8; x++) {
                    for (int32_t k = 0; k < bpp; k++) {
                        size_t i = static_cast<size_t>((y * 8 + x) * bpp + k);
                        uint8_t expect = Inside(r, x, y) ? Byte(0x44332211, k) : before[i];
                        ASSERT_EQ(o.bytes[i], expect) << "at " << x << "," << y << " byte " << k;
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------- Gradient

// The documented evaluation, row by row with an accumulated t.
std::vector<uint32_t> ExpectedGradient(int32_t height, uint32_t a, uint32_t b) {
    std::vector<uint32_t> rows;
    float step = 1.0f / static_cast<float>(height - 1);
    float t = 0.0f;
    for (int32_t y = 0; y < height; y++) {
        uint32_t packed = 0;
        for (int k = 0; k < 4; k++) {
            float bk = Byte(b, k);
            float ak = Byte(a, k);
            float x = bk * t;
            float y2 = (1.0f - t) * ak;
            float v = (x + y2) + 0.5f;
            packed |= static_cast<uint32_t>(static_cast<int>(v)) << (8 * k);
        }
        rows.push_back(packed);
        t += step;
    }
    return rows;
}

TEST(FillVerticalGradient, BlackToGreyEndsExactly) {
    RasterImage image = {};
    ASSERT_EQ(AllocateImage(&image, 7, 33), RasterOk);
    FillVerticalGradient(&image, 0x000000, 0xDBDBDB);
    for (int32_t k = 0; k < 3; k++) {
        EXPECT_EQ(At(image, 6, 0)[k], 0);
        EXPECT_EQ(At(image, 6, 32)[k], 0xDB);
    }
    ReleaseImage(&image);
}

TEST(FillVerticalGradient, RowsFollowTheAccumulatedStep) {
    struct Case {
        int32_t height;
        int32_t bytesPerPixel;
        uint32_t top;
        uint32_t bottom;
    };
    const Case cases[] = {
        {33, 3, 0x000000, 0xDBDBDB}, {44, 3, 0xFFFFFF, 0x2F2F2F}, {7, 4, 0x10FF8000, 0xF0008033},
        {13, 1, 0x00000005, 0x000000FA}, {1, 3, 0x123456, 0xFFFFFF}, {2, 3, 0xFFFFFF, 0x000000},
        // Rows where an accumulated t and y * step truncate differently.
        {13, 3, 0x000000, 0x060336}, {19, 3, 0x000001, 0x000076},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "height " << c.height << ", " << c.bytesPerPixel << " bytes");
        OwnedImage o = MakeImage(3, c.height, c.bytesPerPixel, 0);
        FillVerticalGradient(&o.image, c.top, c.bottom);
        std::vector<uint32_t> rows = ExpectedGradient(c.height, c.top, c.bottom);
        for (int32_t y = 0; y < c.height; y++)
            for (int32_t x = 0; x < 3; x++)
                for (int32_t k = 0; k < c.bytesPerPixel; k++)
                    ASSERT_EQ(At(o.image, x, y)[k], Byte(rows[y], k)) << "row " << y << " byte " << k;
        // A one-row image gets the top colour.
        if (c.height == 1) {
            EXPECT_EQ(At(o.image, 0, 0)[2], Byte(c.top, 2));
        }
    }
}

// ---------------------------------------------------------------- Gamma

TEST(ApplyGamma, MapsOneChannelThroughPowf) {
    const float gammas[] = {0.1f, 0.3f, 1.0f, 6.1f};
    const int32_t sizes[] = {3, 4};
    for (int32_t bpp : sizes) {
        for (float gamma : gammas) {
            for (int32_t channel = 0; channel < 3; channel++) {
                SCOPED_TRACE(testing::Message() << bpp << " bytes, gamma " << gamma << ", channel " << channel);
                // 256 pixels so every byte value meets the channel.
                OwnedImage o = MakeImage(64, 4, bpp, 0);
                for (int32_t i = 0; i < 256; i++) o.bytes[i * bpp + channel] = static_cast<uint8_t>(i);
                const std::vector<uint8_t> before = o.bytes;
                ApplyGamma(&o.image, channel, gamma);
                for (size_t i = 0; i < o.bytes.size(); i++) {
                    bool mapped = static_cast<int32_t>(i % bpp) == channel;
                    uint8_t expect = mapped ? GammaOf(before[i], gamma) : before[i];
                    ASSERT_EQ(o.bytes[i], expect) << "byte " << i;
                }
            }
        }
    }
}

TEST(ApplyGamma, OneLeavesTheChannelUnchanged) {
    for (int v = 0; v < 256; v++) EXPECT_EQ(GammaOf(v, 1.0f), v);
}

// ---------------------------------------------------------------- Ramp tables

TEST(BuildRampTable, WorkedValues) {
    uint8_t t[256];
    BuildRampTable(t, 0.7f, 0.0f);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 1);
    EXPECT_EQ(t[2], 1);
    EXPECT_EQ(t[100], 70);
    EXPECT_EQ(t[254], 178);
    EXPECT_EQ(t[255], 179);
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

struct RampCase {
    float slope;
    float offset;
};
const RampCase kRampCases[] = {
    {0.7f, 0.0f},        {1.0f, 0.0f},       {0.0f, 255.5f},   {1.0f, 255.5f},  {-1.0f, 255.0f},
    {0.5f, 127.5f},      {2.0f, -100.0f},    {0.999f, 0.499f}, {1e9f, 0.0f},    {-1e9f, 0.0f},
    {8421504.0f, 0.0f},  {0.0f, 2147483520.0f}, {0.0f, 2147483648.0f}, {0.0f, -2147483648.0f},
    {1e30f, 1e30f},      {-1e30f, 0.0f},     {kNaN, 0.0f},     {0.0f, kNaN},    {kInf, 0.0f},
    {-kInf, 0.0f},       {0.0f, kInf},       {0.0f, -kInf},    {kInf, -kInf},   {1.0f, -0.5f},
    {1.0f, -0.50001f},   {0.0f, -1.4f},      {3.4e38f, 3.4e38f}, {1.17549435e-38f, 0.0f},
};

TEST(BuildRampTable, ClampsAndTreatsUnrepresentableAsZero) {
    for (const RampCase& c : kRampCases) {
        SCOPED_TRACE(testing::Message() << "slope " << c.slope << ", offset " << c.offset);
        uint8_t t[256];
        BuildRampTable(t, c.slope, c.offset);
        for (int i = 0; i < 256; i++) ASSERT_EQ(t[i], RampOf(i, c.slope, c.offset)) << "entry " << i;
    }
    uint8_t t[256];
    BuildRampTable(t, kNaN, 0.0f);
    EXPECT_EQ(t[200], 0);
    BuildRampTable(t, 0.0f, 1e10f);
    EXPECT_EQ(t[0], 0);  // too large for an int32: counts as below zero
    BuildRampTable(t, 0.0f, 1e9f);
    EXPECT_EQ(t[0], 255);
}

TEST(BuildRampTable, ScalarAndVectorBuildersAgree) {
    if (!RampVectorSupported()) {
        GTEST_SKIP() << "this processor has no SSE4.1";
    }
    std::vector<RampCase> sweep(std::begin(kRampCases), std::end(kRampCases));
    // A dense sweep over the range the skin uses, and beyond.
    for (int s = -40; s <= 40; s++) {
        for (int o = -30; o <= 30; o++) {
            sweep.push_back({static_cast<float>(s) * 0.0371f, static_cast<float>(o) * 11.3f + 0.25f});
        }
    }
    for (int e = -40; e <= 38; e += 3) {
        sweep.push_back({std::ldexp(1.0f, e), 0.0f});
        sweep.push_back({-std::ldexp(1.0f, e), std::ldexp(1.0f, e)});
    }
    for (const RampCase& c : sweep) {
        uint8_t scalar[256];
        uint8_t vector[256];
        memset(scalar, 0xEE, sizeof scalar);
        memset(vector, 0x11, sizeof vector);
        BuildRampTableScalar(scalar, c.slope, c.offset);
        BuildRampTableVector(vector, c.slope, c.offset);
        ASSERT_EQ(memcmp(scalar, vector, 256), 0) << "slope " << c.slope << ", offset " << c.offset;
    }
}

TEST(BuildRampTables, BuildsNTablesAndNothingForNonPositiveN) {
    const float slopes[4] = {0.7f, 1.0f, 0.0f, -1.0f};
    const float offsets[4] = {0.0f, 10.0f, 42.0f, 255.0f};
    for (int32_t n = -1; n <= 4; n++) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        uint8_t tables[5 * 256];
        memset(tables, 0xCD, sizeof tables);
        BuildRampTables(tables, slopes, offsets, n);
        for (int32_t k = 0; k < 5; k++)
            for (int i = 0; i < 256; i++) {
                uint8_t expect = k < n ? RampOf(i, slopes[k], offsets[k]) : 0xCD;
                ASSERT_EQ(tables[256 * k + i], expect) << "table " << k << " entry " << i;
            }
    }
}

// ---------------------------------------------------------------- ApplyTables

TEST(ApplyTables, MapsEachByteThroughItsTableInsideTheClip) {
    uint8_t tables[4 * 256];
    for (int k = 0; k < 4; k++)
        for (int i = 0; i < 256; i++) tables[256 * k + i] = static_cast<uint8_t>(i * (k + 3) + 17 * k);
    const int32_t sizes[] = {3, 4};
    for (int32_t bpp : sizes) {
        for (const Rect& r : kClipCases) {
            SCOPED_TRACE(testing::Message() << bpp << " bytes, rect " << r.left << "," << r.top << ","
                                            << r.right << "," << r.bottom);
            OwnedImage o = MakeImage(8, 6, bpp, 5);
            const std::vector<uint8_t> before = o.bytes;
            ApplyTables(&o.image, r, tables);
            for (int32_t y = 0; y < 6; y++)
                for (int32_t x = 0; x < 8; x++)
                    for (int32_t k = 0; k < bpp; k++) {
                        size_t i = static_cast<size_t>((y * 8 + x) * bpp + k);
                        uint8_t expect = Inside(r, x, y) ? tables[256 * k + before[i]] : before[i];
                        ASSERT_EQ(o.bytes[i], expect);
                    }
        }
    }
    OwnedImage one = MakeImage(4, 4, 1, 5);
    const std::vector<uint8_t> before = one.bytes;
    ApplyTables(&one.image, Rect{0, 0, 4, 4}, tables);
    EXPECT_EQ(one.bytes, before);
}

// ---------------------------------------------------------------- Copies

// Where destination (x, y) reads from when src pixel (0, 0) sits at
// (r.left, r.top) moved back by the offsets; -1 when it is not written.
bool SourceOf(Rect r, int32_t offX, int32_t offY, const RasterImage& src, int32_t x, int32_t y,
              int32_t* sx, int32_t* sy) {
    if (!Inside(r, x, y)) return false;
    *sx = x - r.left + offX;
    *sy = y - r.top + offY;
    return *sx >= 0 && *sy >= 0 && *sx < src.width && *sy < src.height;
}

struct CopyCase {
    Rect r;
    int32_t srcWidth;
    int32_t srcHeight;
};
const CopyCase kCopyCases[] = {
    {{1, 1, 5, 4}, 4, 3},        // exactly the source
    {{1, 1, 7, 6}, 3, 2},        // rectangle larger than the source
    {{-2, -1, 3, 3}, 5, 5},      // left and top outside: the source is entered late
    {{5, 3, 12, 10}, 6, 6},      // right and bottom outside
    {{8, 0, 10, 2}, 2, 2},       // left at the destination width
    {{0, 6, 2, 8}, 2, 2},        // top at the destination height
    {{4, 4, 2, 5}, 3, 3},        // right < left
    {{-5, -5, -1, -1}, 3, 3},    // wholly outside
    {{0, 0, 8, 6}, 8, 6},        // whole image
};

TEST(BlitRect, CopiesTheClippedSourceRegion) {
    const int32_t sizes[] = {1, 3, 4};
    for (int32_t bpp : sizes) {
        for (const CopyCase& c : kCopyCases) {
            SCOPED_TRACE(testing::Message() << bpp << " bytes, rect " << c.r.left << "," << c.r.top << ","
                                            << c.r.right << "," << c.r.bottom << ", source " << c.srcWidth
                                            << " x " << c.srcHeight);
            OwnedImage dst = MakeImage(8, 6, bpp, 1);
            OwnedImage src = MakeImage(c.srcWidth, c.srcHeight, bpp, 100);
            const std::vector<uint8_t> before = dst.bytes;
            BlitRect(&dst.image, c.r, &src.image);
            for (int32_t y = 0; y < 6; y++)
                for (int32_t x = 0; x < 8; x++) {
                    int32_t sx = 0, sy = 0;
                    bool copied = SourceOf(c.r, 0, 0, src.image, x, y, &sx, &sy);
                    for (int32_t k = 0; k < bpp; k++) {
                        uint8_t expect = copied ? At(src.image, sx, sy)[k] : before[(y * 8 + x) * bpp + k];
                        ASSERT_EQ(At(dst.image, x, y)[k], expect) << "at " << x << "," << y;
                    }
                }
        }
    }
}

TEST(Copies, MismatchedPixelSizesDoNothing) {
    struct Case {
        int32_t dstBpp;
        int32_t srcBpp;
    };
    const Case cases[] = {{3, 4}, {4, 3}, {3, 1}, {1, 3}};
    for (const Case& c : cases) {
        for (int swap = 0; swap < 2; swap++) {
            SCOPED_TRACE(testing::Message() << c.dstBpp << " <- " << c.srcBpp << (swap ? " (blend)" : ""));
            OwnedImage dst = MakeImage(5, 5, c.dstBpp, 1);
            OwnedImage src = MakeImage(5, 5, c.srcBpp, 77);
            const std::vector<uint8_t> before = dst.bytes;
            BlendParams p = {0xFFFFFF, 0xFFFFFF, 0.0f, 1.0f, 0, 0, nullptr};
            if (swap) {
                BlendBlitRect(&dst.image, Rect{0, 0, 5, 5}, &src.image, &p);
            } else {
                BlitRect(&dst.image, Rect{0, 0, 5, 5}, &src.image);
            }
            EXPECT_EQ(dst.bytes, before);
        }
    }
    // Blending needs 3- or 4-byte pixels even when the sizes match.
    OwnedImage dst = MakeImage(5, 5, 1, 1);
    OwnedImage src = MakeImage(5, 5, 1, 77);
    const std::vector<uint8_t> before = dst.bytes;
    BlendParams p = {0xFFFFFF, 0xFFFFFF, 0.0f, 1.0f, 0, 0, nullptr};
    BlendBlitRect(&dst.image, Rect{0, 0, 5, 5}, &src.image, &p);
    EXPECT_EQ(dst.bytes, before);
}

// ---------------------------------------------------------------- Blends

// S is the single-precision value nearest 65536 / 255.
const float kS = FloatFromBits(0x43808081u);

TEST(BlendBlitRect, ScaleIsTheDocumentedFloat) {
    EXPECT_EQ(kS, 257.00394f);
    EXPECT_EQ(static_cast<uint32_t>(255.0f * 1.0f * kS), 65536u);
}

uint8_t BlendByte(uint8_t d, uint8_t s, uint32_t colorA, uint32_t colorB, float wa, float wb, int k) {
    float fa = static_cast<float>(Byte(colorA, k)) * wa;
    float fb = static_cast<float>(Byte(colorB, k)) * wb;
    uint32_t ia = static_cast<uint32_t>(static_cast<int32_t>(fa * kS));
    uint32_t ib = static_cast<uint32_t>(static_cast<int32_t>(fb * kS));
    uint32_t v = (d * ia + s * ib) >> 16;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}

// The colour and weight members of BlendParams for one case.
struct WeightCase {
    uint32_t colorA;
    uint32_t colorB;
    float weightA;
    float weightB;
};

TEST(BlendBlitRect, WeightsAgainstTheFormula) {
    const WeightCase cases[] = {
        {0xFFFFFF, 0xFFFFFF, 1.0f, 0.0f}, {0xFFFFFF, 0xFFFFFF, 0.0f, 1.0f}, {0xFFFFFF, 0xFFFFFF, 0.5f, 0.5f},
        {0xFFFFFF, 0xFFFFFF, 0.3f, 0.7f}, {0x80FF40, 0x10C0FF, 0.6f, 0.9f}, {0xFFFFFF, 0xFFFFFF, 1.0f, 1.0f},
    };
    const int32_t sizes[] = {3, 4};
    for (int32_t bpp : sizes) {
        for (const WeightCase& c : cases) {
            for (const CopyCase& g : kCopyCases) {
                SCOPED_TRACE(testing::Message() << bpp << " bytes, weights " << c.weightA << "/" << c.weightB
                                                << ", rect " << g.r.left << "," << g.r.top << "," << g.r.right
                                                << "," << g.r.bottom);
                OwnedImage dst = MakeImage(8, 6, bpp, 1);
                OwnedImage src = MakeImage(g.srcWidth, g.srcHeight, bpp, 100);
                const std::vector<uint8_t> before = dst.bytes;
                BlendParams p = {c.colorA, c.colorB, c.weightA, c.weightB, 0, 0, nullptr};
                BlendBlitRect(&dst.image, g.r, &src.image, &p);
                for (int32_t y = 0; y < 6; y++)
                    for (int32_t x = 0; x < 8; x++) {
                        int32_t sx = 0, sy = 0;
                        bool blended = SourceOf(g.r, 0, 0, src.image, x, y, &sx, &sy);
                        for (int32_t k = 0; k < bpp; k++) {
                            uint8_t d = before[(y * 8 + x) * bpp + k];
                            uint8_t expect = d;
                            if (blended && k < 3) {
                                expect = BlendByte(d, At(src.image, sx, sy)[k], c.colorA, c.colorB, c.weightA,
                                                   c.weightB, k);
                            }
                            ASSERT_EQ(At(dst.image, x, y)[k], expect) << "at " << x << "," << y << " byte " << k;
                        }
                    }
            }
        }
    }
}

TEST(BlendBlitRect, Identities) {
    OwnedImage dst = MakeImage(6, 5, 3, 1);
    OwnedImage src = MakeImage(6, 5, 3, 200);
    const Rect all = {0, 0, 6, 5};

    // (1, 0) keeps the destination.
    OwnedImage keep = dst;
    keep.image.pixels = keep.bytes.data();
    BlendParams p = {0xFFFFFF, 0xFFFFFF, 1.0f, 0.0f, 0, 0, nullptr};
    BlendBlitRect(&keep.image, all, &src.image, &p);
    EXPECT_EQ(keep.bytes, dst.bytes);

    // (0, 1) is BlitRect.
    OwnedImage copied = dst;
    copied.image.pixels = copied.bytes.data();
    OwnedImage blitted = dst;
    blitted.image.pixels = blitted.bytes.data();
    p.weightA = 0.0f;
    p.weightB = 1.0f;
    BlendBlitRect(&copied.image, all, &src.image, &p);
    BlitRect(&blitted.image, all, &src.image);
    EXPECT_EQ(copied.bytes, blitted.bytes);

    // (0.5, 0.5) is the floor of the mean, whichever image is the source.
    p.weightA = 0.5f;
    p.weightB = 0.5f;
    for (int swap = 0; swap < 2; swap++) {
        OwnedImage a = swap ? src : dst;
        OwnedImage b = swap ? dst : src;
        a.image.pixels = a.bytes.data();
        b.image.pixels = b.bytes.data();
        BlendBlitRect(&a.image, all, &b.image, &p);
        for (size_t i = 0; i < a.bytes.size(); i++) {
            ASSERT_EQ(a.bytes[i], (dst.bytes[i] + src.bytes[i]) / 2) << "byte " << i << " swap " << swap;
        }
    }
}

TEST(BlendBlitRect, SourceOffsetMovesTheSource) {
    OwnedImage dst = MakeImage(8, 6, 3, 1);
    OwnedImage src = MakeImage(5, 4, 3, 90);
    const std::vector<uint8_t> before = dst.bytes;
    const Rect r = {2, 1, 8, 6};
    BlendParams p = {0xFFFFFF, 0xFFFFFF, 0.0f, 1.0f, 2, 1, nullptr};
    BlendBlitRect(&dst.image, r, &src.image, &p);
    for (int32_t y = 0; y < 6; y++)
        for (int32_t x = 0; x < 8; x++) {
            int32_t sx = 0, sy = 0;
            bool copied = SourceOf(r, 2, 1, src.image, x, y, &sx, &sy);
            for (int32_t k = 0; k < 3; k++) {
                uint8_t expect = copied ? At(src.image, sx, sy)[k] : before[(y * 8 + x) * 3 + k];
                ASSERT_EQ(At(dst.image, x, y)[k], expect) << "at " << x << "," << y;
            }
        }
}

TEST(BlendColorRect, AgainstTheFormula) {
    const WeightCase cases[] = {
        {0xFFFFFF, 0x7FBFFF, 1.0f, 0.0f},
        {0xFFFFFF, 0x7FBFFF, 0.0f, 1.0f},
        {0xFFFFFF, 0x7FBFFF, 1.0f - 0.3681f, 0.3681f},
        {0x808080, 0xFF0000, 0.9f, 0.55f},
        {0xFFFFFF, 0xFFFFFF, 1.0f, 1.0f},
    };
    const int32_t sizes[] = {3, 4};
    for (int32_t bpp : sizes) {
        for (const WeightCase& c : cases) {
            for (const Rect& r : kClipCases) {
                SCOPED_TRACE(testing::Message() << bpp << " bytes, colour " << std::hex << c.colorB << std::dec
                                                << " weights " << c.weightA << "/" << c.weightB << ", rect "
                                                << r.left << "," << r.top << "," << r.right << "," << r.bottom);
                OwnedImage o = MakeImage(8, 6, bpp, 7);
                const std::vector<uint8_t> before = o.bytes;
                uint8_t tables[4 * 256];
                BlendParams p = {c.colorA, c.colorB, c.weightA, c.weightB, 0, 0, tables};
                BlendColorRect(&o.image, r, &p);
                for (int32_t y = 0; y < 6; y++)
                    for (int32_t x = 0; x < 8; x++)
                        for (int32_t k = 0; k < bpp; k++) {
                            size_t i = static_cast<size_t>((y * 8 + x) * bpp + k);
                            uint8_t expect = before[i];
                            if (Inside(r, x, y)) {
                                float slope = k < 3 ? (static_cast<float>(Byte(c.colorA, k)) / 255.0f) * c.weightA
                                                    : 1.0f;
                                float offset = k < 3 ? static_cast<float>(Byte(c.colorB, k)) * c.weightB : 255.5f;
                                expect = RampOf(before[i], slope, offset);
                            }
                            ASSERT_EQ(o.bytes[i], expect) << "at " << x << "," << y << " byte " << k;
                        }
            }
        }
    }
}

TEST(BlendColorRect, Identities) {
    uint8_t tables[3 * 256];
    OwnedImage o = MakeImage(6, 4, 3, 3);
    const std::vector<uint8_t> before = o.bytes;
    BlendParams p = {0xFFFFFF, 0x2468AC, 1.0f, 0.0f, 0, 0, tables};
    BlendColorRect(&o.image, Rect{0, 0, 6, 4}, &p);
    EXPECT_EQ(o.bytes, before);

    p.weightA = 0.0f;
    p.weightB = 1.0f;
    BlendColorRect(&o.image, Rect{1, 1, 5, 3}, &p);
    for (int32_t y = 0; y < 4; y++)
        for (int32_t x = 0; x < 6; x++) {
            bool inside = Inside(Rect{1, 1, 5, 3}, x, y);
            for (int k = 0; k < 3; k++) {
                uint8_t expect = inside ? Byte(0x2468AC, k) : before[(y * 6 + x) * 3 + k];
                ASSERT_EQ(At(o.image, x, y)[k], expect) << "at " << x << "," << y;
            }
        }
}

}  // namespace
