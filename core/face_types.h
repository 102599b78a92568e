// The plain records the face is built from, as the state record holds them:
// the raster library's image, rectangle and blend parameters, and the skin's
// layout, colours and images. Declared here, below everything, so the record
// can hold them by value while the raster library and the skin (which do all
// the work on them) sit above it. Free of platform calls like the library.
#pragma once
#include <cstdint>

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;   // exclusive
    int32_t bottom;  // exclusive
};

// Pixels are stored top row first, bytes B, G, R within a pixel (the byte
// order of a device-independent bitmap). A zeroed record is a valid empty image.
struct RasterImage {
    uint32_t status;
    uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;
    int32_t bytesPerChannel;
    int32_t channels;
    int32_t stride;
    int32_t pixelCount;
    uint32_t byteSize;
    uint32_t capacity;
    float aspect;
};

struct BlendParams {
    uint32_t colorA;   // tint of the destination; 0xFFFFFF throughout the player
    uint32_t colorB;   // tint of the source, or the colour blended in
    float weightA;
    float weightB;
    int32_t srcOffsetX;
    int32_t srcOffsetY;
    uint8_t* tables;   // 256 bytes per channel, channels in pixel byte order
};

struct SkinLayout {
    Rect skinRect;
    Rect innerRect;
    Rect displayRect;
    Rect controlsRect;
    Rect playRect;
    Rect stopRect;
    Rect nextRect;
    Rect volumeRect;
    Rect menuRect;
    Rect closeRect;
};

struct SkinColors {
    uint32_t shellColor;
    uint32_t bandColor;
    uint32_t panelTopColor;
    uint32_t accentColor;
    float accentAlpha;
    float textGain[3];  // pixel order: blue, green, red
    uint32_t iconColor;
    uint32_t faceColor;
    uint32_t hoverEdgeColor;
    uint32_t hoverIconColor;
    uint32_t hoverFaceColor;
};

struct SkinImages {
    RasterImage frameImage;
    RasterImage baseActive;
    RasterImage baseInactive;
    RasterImage textImage;
    RasterImage controlsImage;
    RasterImage playHoverImage;
    RasterImage pauseHoverImage;
    RasterImage stopImage;
    RasterImage nextImage;
    RasterImage volumeImage;
    RasterImage menuImage;
    RasterImage closeImage;
    RasterImage playImage;
    RasterImage pauseImage;
};
