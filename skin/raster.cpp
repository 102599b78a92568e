// Software raster library; contracts in raster.h.
#include "skin/raster.h"

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "skin/raster_ramp.h"

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#define RASTER_X86_CPUID 1
#elif defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define RASTER_X86_CPUID 1
#endif

namespace {

// 65536 / 255 rounded to single precision (bit pattern 0x43808081): a weight
// of 1.0 on a white tint becomes 65536, so the >> 16 of the blend is exact.
constexpr float kBlendScale = 257.00394f;

// Clipped rectangle in pixel coordinates; empty when count <= 0.
struct Span {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// A copy between two images: the clipped destination span and the source
// pixel that lands on its top-left corner.
struct CopySpan {
    Span dst;
    int32_t srcX;
    int32_t srcY;
};

bool HasPixels(const RasterImage* image) {
    assert(image != nullptr);
    if (image->pixels == nullptr || image->width <= 0 || image->height <= 0) {
        return false;
    }
    assert(image->bytesPerPixel > 0);
    assert(image->stride >= image->width * image->bytesPerPixel);
    return true;
}

uint8_t* PixelAt(const RasterImage* image, int32_t x, int32_t y) {
    return image->pixels + static_cast<size_t>(y) * static_cast<size_t>(image->stride) +
           static_cast<size_t>(x) * static_cast<size_t>(image->bytesPerPixel);
}

// Truncation as the processor's cvttss2si does it: NaN and anything outside
// int32 give INT32_MIN, which every caller then treats as "below zero".
int32_t TruncToInt32(float x) {
    if (x >= -2147483648.0f && x < 2147483648.0f) {
        return static_cast<int32_t>(x);
    }
    return INT32_MIN;
}

uint8_t ClampToByte(int32_t v) {
    if (v < 0) return 0;
    if (v > 255) return 255;
    return static_cast<uint8_t>(v);
}

uint8_t ByteOf(uint32_t color, int32_t k) {
    return static_cast<uint8_t>((color >> (8 * k)) & 0xFF);
}

// The clipping rule of the rectangle operations. Returns false when nothing
// is left of r.
bool ClipToImage(const RasterImage* image, Rect r, Span* out) {
    int32_t left = r.left > 0 ? r.left : 0;
    int32_t top = r.top > 0 ? r.top : 0;
    int32_t right = r.right < image->width ? r.right : image->width;
    int32_t bottom = r.bottom < image->height ? r.bottom : image->height;
    if (right <= left || bottom <= top) {
        return false;
    }
    *out = Span{left, top, right - left, bottom - top};
    return true;
}

// The clipping rule of the copies: destination extent first, then the
// source's extent with its origin moved by (offX, offY). Computed in 64 bits
// so extreme rectangles cannot overflow. The left and top limits also keep
// the source coordinate at or above 0, which only matters for negative offsets.
bool ClipCopy(const RasterImage* dst, Rect r, const RasterImage* src, int32_t offX, int32_t offY,
              CopySpan* out) {
    int64_t right = r.right < dst->width ? r.right : dst->width;
    int64_t bottom = r.bottom < dst->height ? r.bottom : dst->height;
    int64_t overX = right - r.left + offX - src->width;
    int64_t overY = bottom - r.top + offY - src->height;
    right -= overX > 0 ? overX : 0;
    bottom -= overY > 0 ? overY : 0;
    int64_t left = r.left > 0 ? r.left : 0;
    int64_t top = r.top > 0 ? r.top : 0;
    if (left < static_cast<int64_t>(r.left) - offX) left = static_cast<int64_t>(r.left) - offX;
    if (top < static_cast<int64_t>(r.top) - offY) top = static_cast<int64_t>(r.top) - offY;
    if (right <= left || bottom <= top) {
        return false;
    }
    out->dst = Span{static_cast<int32_t>(left), static_cast<int32_t>(top),
                    static_cast<int32_t>(right - left), static_cast<int32_t>(bottom - top)};
    out->srcX = static_cast<int32_t>(left - r.left + offX);
    out->srcY = static_cast<int32_t>(top - r.top + offY);
    return true;
}

bool IsFillPixelSize(int32_t bytesPerPixel) {
    return bytesPerPixel == 1 || bytesPerPixel == 3 || bytesPerPixel == 4;
}

// Writes one run of `count` pixels of colour c: B, G, R bytes; the 32-bit
// value; or the low byte.
void WriteRun(uint8_t* run, int32_t count, int32_t bytesPerPixel, uint32_t c) {
    if (bytesPerPixel == 1) {
        memset(run, static_cast<int>(c & 0xFF), static_cast<size_t>(count));
    } else if (bytesPerPixel == 3) {
        for (int32_t i = 0; i < count; i++) {
            run[3 * i + 0] = ByteOf(c, 0);
            run[3 * i + 1] = ByteOf(c, 1);
            run[3 * i + 2] = ByteOf(c, 2);
        }
    } else {
        for (int32_t i = 0; i < count; i++) {
            memcpy(run + 4 * static_cast<size_t>(i), &c, 4);
        }
    }
}

// Writes the span's first row with colour c, then copies it down: one run
// of arithmetic, the rest plain byte copies.
void FillSpan(RasterImage* image, Span s, uint32_t c) {
    uint8_t* first = PixelAt(image, s.x, s.y);
    WriteRun(first, s.width, image->bytesPerPixel, c);
    size_t bytes = static_cast<size_t>(s.width) * static_cast<size_t>(image->bytesPerPixel);
    for (int32_t y = 1; y < s.height; y++) {
        memcpy(PixelAt(image, s.x, s.y + y), first, bytes);
    }
}

void MapSpan(RasterImage* image, Span s, const uint8_t* tables) {
    int32_t bpp = image->bytesPerPixel;
    for (int32_t y = 0; y < s.height; y++) {
        uint8_t* p = PixelAt(image, s.x, s.y + y);
        for (int32_t x = 0; x < s.width; x++, p += bpp) {
            for (int32_t k = 0; k < bpp; k++) {
                p[k] = tables[256 * k + p[k]];
            }
        }
    }
}

using RampBuilder = void (*)(uint8_t*, float, float);

RampBuilder ChooseRampBuilder() {
    return RampVectorSupported() ? BuildRampTableVector : BuildRampTableScalar;
}

}  // namespace

int32_t RampVectorSupported() {
#if defined(RASTER_X86_CPUID) && defined(_MSC_VER)
    int regs[4] = {0, 0, 0, 0};
    __cpuid(regs, 1);
    return (regs[2] & (1 << 19)) != 0 ? 1 : 0;
#elif defined(RASTER_X86_CPUID)
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return 0;
    return (c & bit_SSE4_1) != 0 ? 1 : 0;
#else
    return 0;
#endif
}

void BuildRampTableScalar(uint8_t* table, float slope, float offset) {
    const float bias = offset + 0.5f;
    for (int32_t i = 0; i < 256; i++) {
        float x = static_cast<float>(i) * slope + bias;
        table[i] = ClampToByte(TruncToInt32(x));
    }
}

uint32_t AllocateImage(RasterImage* image, int32_t width, int32_t height) {
    assert(image != nullptr);
    int32_t w = width > 1 ? width : 1;
    int32_t h = height > 1 ? height : 1;
    uint64_t bytes = static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 3u;
    if (w > kMaxImageSide || h > kMaxImageSide || bytes > kMaxImageBytes) {
        image->status = RasterBadSize;
        return RasterBadSize;
    }
    image->width = w;
    image->height = h;
    image->bytesPerPixel = 3;
    image->bytesPerChannel = 1;
    image->channels = 3;
    image->stride = 3 * w;
    image->pixelCount = w * h;
    image->byteSize = static_cast<uint32_t>(bytes);
    image->aspect = static_cast<float>(w) / static_cast<float>(h);
    if (image->byteSize != image->capacity || image->pixels == nullptr) {
        image->capacity = image->byteSize;
        free(image->pixels);
        image->pixels = static_cast<uint8_t*>(malloc(image->byteSize));
        if (image->pixels == nullptr) {
            *image = RasterImage{};
            image->status = RasterOutOfResources;
            return RasterOutOfResources;
        }
    }
    image->status = RasterOk;
    return RasterOk;
}

void ReleaseImage(RasterImage* image) {
    assert(image != nullptr);
    free(image->pixels);
    *image = RasterImage{};
}

void FillImage(RasterImage* image, uint32_t color) {
    FillRect(image, Rect{0, 0, image->width, image->height}, color);
}

void FillRect(RasterImage* image, Rect r, uint32_t color) {
    Span s;
    if (!HasPixels(image) || !IsFillPixelSize(image->bytesPerPixel) || !ClipToImage(image, r, &s)) {
        return;
    }
    FillSpan(image, s, color);
}

void FillVerticalGradient(RasterImage* image, uint32_t top, uint32_t bottom) {
    if (!HasPixels(image) || !IsFillPixelSize(image->bytesPerPixel)) {
        return;
    }
    float a[4];
    float b[4];
    for (int32_t k = 0; k < 4; k++) {
        a[k] = static_cast<float>(ByteOf(top, k));
        b[k] = static_cast<float>(ByteOf(bottom, k));
    }
    // A one-row image only ever uses t = 0, so its (infinite) step is skipped.
    const float step = image->height > 1 ? 1.0f / static_cast<float>(image->height - 1) : 0.0f;
    float t = 0.0f;
    for (int32_t y = 0; y < image->height; y++) {
        uint32_t packed = 0;
        for (int32_t k = 0; k < 4; k++) {
            float v = b[k] * t + (1.0f - t) * a[k] + 0.5f;
            packed |= static_cast<uint32_t>(ClampToByte(TruncToInt32(v))) << (8 * k);
        }
        WriteRun(PixelAt(image, 0, y), image->width, image->bytesPerPixel, packed);
        // Accumulated, not y * step: the last row must land where the
        // accumulated sum lands (exactly 1 for heights like 33).
        t = t + step;
    }
}

void ApplyGamma(RasterImage* image, int32_t channel, float gamma) {
    assert(channel >= 0 && channel <= 2);
    int32_t bpp = image->bytesPerPixel;
    if (!HasPixels(image) || (bpp != 3 && bpp != 4) || channel < 0 || channel >= bpp) {
        return;
    }
    uint8_t table[256];
    for (int32_t i = 0; i < 256; i++) {
        float v = powf(static_cast<float>(i) / 255.0f, gamma) * 255.0f + 0.5f;
        table[i] = ClampToByte(TruncToInt32(v));
    }
    for (int32_t y = 0; y < image->height; y++) {
        uint8_t* p = PixelAt(image, 0, y) + channel;
        for (int32_t x = 0; x < image->width; x++, p += bpp) {
            *p = table[*p];
        }
    }
}

void BuildRampTable(uint8_t* table, float slope, float offset) {
    assert(table != nullptr);
    // Chosen once: the processor does not change under a running program.
    static const RampBuilder builder = ChooseRampBuilder();
    builder(table, slope, offset);
}

void BuildRampTables(uint8_t* tables, const float* slopes, const float* offsets, int32_t n) {
    for (int32_t k = 0; k < n; k++) {
        BuildRampTable(tables + 256 * static_cast<size_t>(k), slopes[k], offsets[k]);
    }
}

void ApplyTables(RasterImage* image, Rect r, const uint8_t* tables) {
    assert(tables != nullptr);
    int32_t bpp = image->bytesPerPixel;
    Span s;
    if (!HasPixels(image) || (bpp != 3 && bpp != 4) || !ClipToImage(image, r, &s)) {
        return;
    }
    MapSpan(image, s, tables);
}

void BlitRect(RasterImage* dst, Rect r, const RasterImage* src) {
    assert(dst != nullptr && src != nullptr);
    CopySpan c;
    if (dst->bytesPerPixel != src->bytesPerPixel || !HasPixels(dst) || !HasPixels(src)) {
        return;
    }
    if (r.left >= dst->width || r.top >= dst->height || !ClipCopy(dst, r, src, 0, 0, &c)) {
        return;
    }
    size_t bytes = static_cast<size_t>(c.dst.width) * static_cast<size_t>(dst->bytesPerPixel);
    for (int32_t y = 0; y < c.dst.height; y++) {
        // memmove: a blit of an image onto itself is allowed.
        memmove(PixelAt(dst, c.dst.x, c.dst.y + y), PixelAt(src, c.srcX, c.srcY + y), bytes);
    }
}

void BlendBlitRect(RasterImage* dst, Rect r, const RasterImage* src, const BlendParams* p) {
    assert(dst != nullptr && src != nullptr && p != nullptr);
    int32_t bpp = dst->bytesPerPixel;
    CopySpan c;
    if (bpp != src->bytesPerPixel || (bpp != 3 && bpp != 4) || !HasPixels(dst) || !HasPixels(src) ||
        !ClipCopy(dst, r, src, p->srcOffsetX, p->srcOffsetY, &c)) {
        return;
    }
    uint32_t wA[3];
    uint32_t wB[3];
    for (int32_t k = 0; k < 3; k++) {
        wA[k] = static_cast<uint32_t>(TruncToInt32(static_cast<float>(ByteOf(p->colorA, k)) * p->weightA * kBlendScale));
        wB[k] = static_cast<uint32_t>(TruncToInt32(static_cast<float>(ByteOf(p->colorB, k)) * p->weightB * kBlendScale));
    }
    for (int32_t y = 0; y < c.dst.height; y++) {
        uint8_t* d = PixelAt(dst, c.dst.x, c.dst.y + y);
        const uint8_t* s = PixelAt(src, c.srcX, c.srcY + y);
        for (int32_t x = 0; x < c.dst.width; x++, d += bpp, s += bpp) {
            for (int32_t k = 0; k < 3; k++) {
                uint32_t v = (d[k] * wA[k] + s[k] * wB[k]) >> 16;
                d[k] = static_cast<uint8_t>(v < 255 ? v : 255);
            }
        }
    }
}

void BlendColorRect(RasterImage* dst, Rect r, BlendParams* p) {
    assert(dst != nullptr && p != nullptr && p->tables != nullptr);
    int32_t bpp = dst->bytesPerPixel;
    if (bpp < 1 || bpp > 4) {
        return;
    }
    // Slope 1 and offset 255.5 turn a fourth byte into 255.
    float slopes[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float offsets[4] = {0.0f, 0.0f, 0.0f, 255.5f};
    for (int32_t k = 0; k < 3; k++) {
        slopes[k] = (static_cast<float>(ByteOf(p->colorA, k)) / 255.0f) * p->weightA;
        offsets[k] = static_cast<float>(ByteOf(p->colorB, k)) * p->weightB;
    }
    BuildRampTables(p->tables, slopes, offsets, bpp);
    ApplyTables(dst, r, p->tables);
}
