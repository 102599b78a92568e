// Software raster library: 24-bit images in heap buffers, fills, gradients,
// lookup tables, copies and blends. Free of platform calls so it also builds
// natively for the sanitizer and fuzz builds.
//
// Conventions shared by every operation:
//  - Pixel arithmetic is single-precision float, truncated (+0.5 where a
//    value is rounded), evaluated in the order each contract states.
//  - An image with no pixels (a zeroed record, or one whose allocation failed
//    with RasterOutOfResources) makes every operation draw nothing.
//  - A non-empty image's buffer holds stride * height bytes with
//    stride >= width * bytesPerPixel. AllocateImage makes 3-byte images only;
//    callers may describe 1- and 4-byte images over buffers of their own.
//  - A pixel size an operation does not handle, mismatched pixel sizes, or a
//    rectangle that is empty after clipping make the operation do nothing.
//  - Clipping of FillRect, ApplyTables and BlendColorRect: left and top are
//    raised to 0, right and bottom lowered to width and height.
//  - Nothing allocates except AllocateImage.
#pragma once
#include <cstdint>

#include "core/face_types.h"

enum RasterStatus : uint32_t {
    RasterOk = 0,
    RasterNothingToDraw = 5,
    RasterOutOfResources = 7,
    RasterBadSize = 33,
};

// Largest buffer AllocateImage will hold: 1 GiB, so at most 357,913,941 pixels.
constexpr uint64_t kMaxImageBytes = 0x40000000u;
// Largest width or height AllocateImage accepts.
constexpr int32_t kMaxImageSide = 65535;

uint32_t AllocateImage(RasterImage* image, int32_t width, int32_t height);
//   Makes `image` a width x height image of 3-byte pixels; sizes below 1
//   become 1. Returns the RasterStatus, also stored in image->status:
//   RasterBadSize when a side exceeds kMaxImageSide or the byte size exceeds
//   kMaxImageBytes (the image is left as it was, its buffer still valid);
//   RasterOutOfResources when the buffer cannot be allocated (the image is
//   left empty). A buffer of the same byte size is kept with its contents;
//   otherwise the new contents are undefined: clear them if that matters.
//   Precondition: image is a zeroed record or one this library filled.

void ReleaseImage(RasterImage* image);
//   Frees the buffer and zeroes the whole record. Safe on a zeroed record.

void FillImage(RasterImage* image, uint32_t color);
//   Fills every pixel with color (0x00RRGGBB): 3-byte pixels get B, G, R;
//   4-byte pixels the 32-bit value; 1-byte pixels the low byte.

void FillRect(RasterImage* image, Rect r, uint32_t color);
//   FillImage restricted to r, clipped to the image.

void FillVerticalGradient(RasterImage* image, uint32_t top, uint32_t bottom);
//   Row 0 gets `top`, the last row `bottom`; channel k of a row is
//   trunc(Bk * t + (1 - t) * Ak + 0.5) with t advanced by an accumulated
//   step 1 / (height - 1). Channels are the four bytes of each colour.

void ApplyGamma(RasterImage* image, int32_t channel, float gamma);
//   Maps byte `channel` of every pixel through
//   trunc(powf(v / 255, gamma) * 255 + 0.5). 3- and 4-byte pixels.
//   Precondition: 0 <= channel <= 2.

void BuildRampTable(uint8_t* table, float slope, float offset);
//   table[i] = clamp(trunc(i * slope + (offset + 0.5)), 0, 255) for i 0..255;
//   a value whose truncation does not fit an int32 (huge, infinite, NaN)
//   gives 0. Uses four SSE4.1 lanes when the processor has them; the tables
//   are identical either way. Precondition: table holds 256 bytes.

void BuildRampTables(uint8_t* tables, const float* slopes, const float* offsets, int32_t n);
//   Table k (at tables + 256k) = BuildRampTable(slopes[k], offsets[k]) for
//   k < n; n <= 0 builds nothing. Precondition: tables holds 256 * n bytes.

void ApplyTables(RasterImage* image, Rect r, const uint8_t* tables);
//   In r, clipped, replaces byte k of each pixel by tables[256k + byte]:
//   three tables for 3-byte pixels, four for 4-byte pixels.
//   Precondition: tables holds 256 bytes per pixel byte.

void BlitRect(RasterImage* dst, Rect r, const RasterImage* src);
//   Copies src so that its pixel (0, 0) lands on (r.left, r.top), clipped to
//   r, to dst and to src's extent. Any pixel size, but both the same.

void BlendBlitRect(RasterImage* dst, Rect r, const RasterImage* src, const BlendParams* p);
//   Cross-fades src into dst over r, clipped as BlitRect, with src moved by
//   (srcOffsetX, srcOffsetY): byte k = min(255, (d * wA + s * wB) >> 16), with
//   wA = trunc(colorA byte k * weightA * S) and wB likewise from colorB and
//   weightB, S = 257.00394f (65536 / 255). Both images 3- or 4-byte pixels of
//   the same size; a fourth byte is left alone. p->tables is not used.

void BlendColorRect(RasterImage* dst, Rect r, BlendParams* p);
//   Blends colorB into r, clipped: channel k becomes
//   clamp(trunc(d * (colorA/255) * weightA + colorB * weightB + 0.5), 0, 255)
//   and a fourth byte becomes 255. Builds its ramp tables in p->tables.
//   Precondition: p->tables holds 256 * dst->bytesPerPixel bytes
//   (768 for the images this system makes).
