// The skin: layout, colour scheme and the static images; contracts in skin.h.
#include "skin/skin.h"

#include <cstring>

namespace {

// Extra height of the display area in full height; 0 in half height, where
// the display area vanishes.
constexpr int32_t kDisplayExtra = 33;
constexpr int32_t kInset = 6;
constexpr int32_t kButtonGap = 6;
constexpr int32_t kButtonWidth = 36;
constexpr int32_t kVolumeWidth = 139;

constexpr uint32_t kIconColor = 0xC4C4C4;
constexpr uint32_t kFaceColor = 0xF5F5F5;
constexpr uint32_t kDisplayBottomColor = 0xDBDBDB;
constexpr uint32_t kControlsTopColor = 0xFFFFFF;
constexpr uint32_t kControlsBottomColor = 0x2F2F2F;
constexpr uint32_t kCloseHoverFace = 0xFF0000;
constexpr uint32_t kCloseHoverSymbol = 0xFFFFFF;

constexpr float kDisplayGamma = 6.1f;
constexpr float kControlsGamma = 0.3f;
constexpr float kInactiveGamma = 0.1f;
constexpr float kInactiveSlope = 0.7f;

// Icons in the button's own coordinates, drawn in order.
constexpr Rect kPlayIcon[] = {{11, 7, 15, 21}, {16, 9, 20, 19}, {21, 11, 25, 17}};
constexpr Rect kPauseIcon[] = {{11, 7, 16, 21}, {20, 7, 25, 21}};
constexpr Rect kStopIcon[] = {{12, 8, 24, 20}};
constexpr Rect kNextIcon[] = {{11, 7, 14, 21}, {15, 11, 18, 17}, {19, 7, 22, 21}, {23, 11, 26, 17}};
constexpr Rect kMenuIcon[] = {{11, 8, 25, 10}, {11, 13, 25, 15}, {11, 18, 25, 20}};

// The power symbol: a ring left open at the top, then the stem through it.
constexpr Rect kCloseRing = {11, 8, 25, 20};
constexpr Rect kCloseHole = {13, 8, 23, 18};
constexpr Rect kCloseStem = {17, 6, 19, 15};

// Volume bars: 5 wide every 6 pixels from x 4 while x < 136.
constexpr int32_t kBarFirstX = 4;
constexpr int32_t kBarPitch = 6;
constexpr int32_t kBarWidth = 5;
constexpr int32_t kBarLimitX = 136;
constexpr int32_t kBarTop = 4;
constexpr int32_t kBarBottom = 24;

struct ButtonLook {
    uint32_t edge;
    uint32_t face;
    uint32_t icon;
};

int32_t RectWidth(Rect r) { return r.right - r.left; }
int32_t RectHeight(Rect r) { return r.bottom - r.top; }

uint32_t PerChannel(uint32_t base, uint32_t divisor, uint32_t add) {
    uint32_t out = 0;
    for (int32_t k = 0; k < 3; k++) {
        uint32_t c = (base >> (8 * k)) & 0xFF;
        out |= (c / divisor + add) << (8 * k);
    }
    return out;
}

void DrawButton(RasterImage* image, ButtonLook look, const Rect* icon, int32_t iconCount) {
    FillImage(image, look.edge);
    FillRect(image, Rect{1, 1, image->width - 1, image->height - 1}, look.face);
    for (int32_t i = 0; i < iconCount; i++) {
        FillRect(image, icon[i], look.icon);
    }
}

template <size_t N>
constexpr int32_t Count(const Rect (&)[N]) {
    return static_cast<int32_t>(N);
}

void DrawClose(RasterImage* image, uint32_t edge, uint32_t face, uint32_t symbol) {
    FillImage(image, edge);
    FillRect(image, Rect{1, 1, image->width - 1, image->height - 1}, face);
    FillRect(image, kCloseRing, symbol);
    FillRect(image, kCloseHole, face);
    FillRect(image, kCloseStem, symbol);
}

void DrawVolume(RasterImage* image, ButtonLook look) {
    FillImage(image, look.edge);
    FillRect(image, Rect{1, 1, image->width - 1, image->height - 1}, look.face);
    for (int32_t x = kBarFirstX; x < kBarLimitX; x += kBarPitch) {
        FillRect(image, Rect{x, kBarTop, x + kBarWidth, kBarBottom}, look.icon);
    }
}

// The normal look exists only inside the two faces; the image itself keeps
// the hovered look, which is all the frame composer draws from it.
void StampIntoFaces(SkinImages* images, const RasterImage* button, Rect at) {
    BlitRect(&images->baseActive, at, button);
    BlitRect(&images->baseInactive, at, button);
}

uint32_t AllocateCleared(RasterImage* image, int32_t width, int32_t height) {
    uint32_t status = AllocateImage(image, width, height);
    if (status == RasterOk) {
        memset(image->pixels, 0, image->capacity);
    }
    return status;
}

uint32_t AllocateAll(SkinImages* images, const SkinLayout* layout) {
    const Rect controls = layout->controlsRect;
    const Rect play = layout->playRect;
    struct Request {
        RasterImage* image;
        int32_t width;
        int32_t height;
    };
    // The faces, the frame and the text panel keep their full-height sizes
    // in both layouts; half height only shows their top rows.
    const Request requests[] = {
        {&images->frameImage, kSkinWidth, kSkinFullHeight},
        {&images->baseActive, kSkinWidth, kSkinFullHeight},
        {&images->textImage, kSkinWidth - 2 * kInset, kDisplayExtra},
        {&images->baseInactive, kSkinWidth, kSkinFullHeight},
        {&images->controlsImage, RectWidth(controls), RectHeight(controls)},
        {&images->playImage, RectWidth(play), RectHeight(play)},
        {&images->playHoverImage, RectWidth(play), RectHeight(play)},
        {&images->pauseImage, RectWidth(play), RectHeight(play)},
        {&images->pauseHoverImage, RectWidth(play), RectHeight(play)},
        {&images->stopImage, RectWidth(layout->stopRect), RectHeight(layout->stopRect)},
        {&images->nextImage, RectWidth(layout->nextRect), RectHeight(layout->nextRect)},
        {&images->menuImage, RectWidth(layout->menuRect), RectHeight(layout->menuRect)},
        {&images->closeImage, RectWidth(layout->closeRect), RectHeight(layout->closeRect)},
        {&images->volumeImage, RectWidth(layout->volumeRect), RectHeight(layout->volumeRect)},
    };
    for (const Request& request : requests) {
        uint32_t status = AllocateCleared(request.image, request.width, request.height);
        if (status != RasterOk) {
            return status;
        }
    }
    return RasterOk;
}

void DrawFaces(SkinImages* images, const SkinLayout* layout, const SkinColors* colors) {
    RasterImage* active = &images->baseActive;
    RasterImage* inactive = &images->baseInactive;
    const int32_t w = RectWidth(layout->skinRect);
    const int32_t h = RectHeight(layout->skinRect);
    FillImage(active, colors->shellColor);
    FillRect(active, Rect{1, 1, w - 1, h - 1}, colors->bandColor);
    FillRect(active, Rect{5, 5, w - 5, h - 5}, colors->shellColor);

    // The inactive face is the active one washed out (gamma) and dimmed
    // (ramp), channel by channel; the channels are independent, so one ramp
    // pass over all three gives the same bytes.
    memcpy(inactive->pixels, active->pixels, active->byteSize);
    for (int32_t k = 0; k < 3; k++) {
        ApplyGamma(inactive, k, kInactiveGamma);
    }
    uint8_t tables[3 * 256];
    const float slopes[3] = {kInactiveSlope, kInactiveSlope, kInactiveSlope};
    const float offsets[3] = {0.0f, 0.0f, 0.0f};
    BuildRampTables(tables, slopes, offsets, 3);
    ApplyTables(inactive, Rect{0, 0, inactive->width, inactive->height}, tables);
}

void DrawPanels(SkinImages* images, const SkinLayout* layout, const SkinColors* colors) {
    RasterImage* text = &images->textImage;
    FillVerticalGradient(text, colors->panelTopColor, kDisplayBottomColor);
    for (int32_t k = 0; k < 3; k++) {
        ApplyGamma(text, k, kDisplayGamma);
    }
    // Half height has no display area: its rectangle is empty.
    if (RectHeight(layout->displayRect) > 0) {
        BlitRect(&images->baseActive, layout->displayRect, text);
        FillRect(&images->baseInactive, layout->displayRect, colors->panelTopColor);
    }

    RasterImage* controls = &images->controlsImage;
    FillVerticalGradient(controls, kControlsTopColor, kControlsBottomColor);
    for (int32_t k = 0; k < 3; k++) {
        ApplyGamma(controls, k, kControlsGamma);
    }
    StampIntoFaces(images, controls, layout->controlsRect);
}

void DrawButtons(SkinImages* images, const SkinLayout* layout, const SkinColors* colors) {
    const ButtonLook normal = {colors->iconColor, colors->faceColor, colors->iconColor};
    const ButtonLook hover = {colors->hoverEdgeColor, colors->hoverFaceColor, colors->hoverIconColor};

    DrawButton(&images->playImage, normal, kPlayIcon, Count(kPlayIcon));
    DrawButton(&images->playHoverImage, hover, kPlayIcon, Count(kPlayIcon));
    DrawButton(&images->pauseImage, normal, kPauseIcon, Count(kPauseIcon));
    DrawButton(&images->pauseHoverImage, hover, kPauseIcon, Count(kPauseIcon));

    struct Stamped {
        RasterImage* image;
        Rect at;
        const Rect* icon;
        int32_t iconCount;
    };
    const Stamped stamped[] = {
        {&images->stopImage, layout->stopRect, kStopIcon, Count(kStopIcon)},
        {&images->nextImage, layout->nextRect, kNextIcon, Count(kNextIcon)},
        {&images->menuImage, layout->menuRect, kMenuIcon, Count(kMenuIcon)},
    };
    for (const Stamped& s : stamped) {
        DrawButton(s.image, normal, s.icon, s.iconCount);
        StampIntoFaces(images, s.image, s.at);
        DrawButton(s.image, hover, s.icon, s.iconCount);
    }

    DrawClose(&images->closeImage, colors->iconColor, colors->faceColor, colors->iconColor);
    StampIntoFaces(images, &images->closeImage, layout->closeRect);
    // Hovered close: a white symbol on red, keeping the light grey edge.
    DrawClose(&images->closeImage, colors->iconColor, kCloseHoverFace, kCloseHoverSymbol);

    DrawVolume(&images->volumeImage, normal);
    StampIntoFaces(images, &images->volumeImage, layout->volumeRect);
    DrawVolume(&images->volumeImage, hover);
}

}  // namespace

void ComputeSkinLayout(SkinLayout* layout, int32_t halfHeight) {
    const int32_t extra = halfHeight ? 0 : kDisplayExtra;
    SkinLayout& l = *layout;
    l.skinRect = Rect{0, 0, kSkinWidth, kSkinHalfHeight + extra};
    l.innerRect = Rect{kInset, kInset, l.skinRect.right - kInset, l.skinRect.bottom - kInset};
    l.displayRect = Rect{l.innerRect.left, l.innerRect.top, l.innerRect.right, kInset + extra};
    l.controlsRect = Rect{l.innerRect.left, l.displayRect.bottom, l.innerRect.right, l.innerRect.bottom};
    // Every control shares one row, 8 below the display area and 28 high.
    const int32_t top = l.displayRect.bottom + 8;
    const int32_t bottom = l.displayRect.bottom + 36;
    l.playRect = Rect{l.innerRect.left + 13, top, l.innerRect.left + 13 + kButtonWidth, bottom};
    l.stopRect = Rect{l.playRect.right + kButtonGap, top, l.playRect.right + kButtonGap + kButtonWidth, bottom};
    l.nextRect = Rect{l.stopRect.right + kButtonGap, top, l.stopRect.right + kButtonGap + kButtonWidth, bottom};
    l.closeRect = Rect{l.innerRect.right - 13 - kButtonWidth, top, l.innerRect.right - 13, bottom};
    l.menuRect = Rect{l.closeRect.left - kButtonGap - kButtonWidth, top, l.closeRect.left - kButtonGap, bottom};
    l.volumeRect = Rect{l.menuRect.left - kButtonGap - kVolumeWidth, top, l.menuRect.left - kButtonGap, bottom};
}

void ComputeSkinColors(SkinColors* colors, uint32_t baseColor) {
    uint32_t channel[3];
    uint32_t strongest = 0;
    for (int32_t k = 0; k < 3; k++) {
        channel[k] = (baseColor >> (8 * k)) & 0xFF;
        strongest = channel[k] > strongest ? channel[k] : strongest;
    }
    // Raising every channel by (255 - strongest) lifts the base colour until
    // its strongest channel is full, keeping its hue for the accent and text.
    uint32_t accent = 0;
    for (int32_t k = 0; k < 3; k++) {
        uint32_t lifted = channel[k] + 255 - strongest;
        accent |= lifted << (8 * k);
        colors->textGain[k] = static_cast<float>(lifted) / 255.0f;
    }
    colors->shellColor = PerChannel(baseColor, 2, 48);
    colors->bandColor = PerChannel(baseColor, 2, 96);
    colors->panelTopColor = 0;
    colors->accentColor = accent;
    colors->accentAlpha = static_cast<float>(strongest + 129) * 0.55f / 384.0f;
    colors->iconColor = kIconColor;
    colors->faceColor = kFaceColor;
    colors->hoverEdgeColor = PerChannel(baseColor, 2, 80);
    colors->hoverIconColor = colors->hoverEdgeColor;
    colors->hoverFaceColor = PerChannel(baseColor, 9, 208);
}

uint32_t BuildSkinImages(SkinImages* images, const SkinLayout* layout, const SkinColors* colors) {
    uint32_t status = AllocateAll(images, layout);
    if (status != RasterOk) {
        return status;
    }
    DrawFaces(images, layout, colors);
    DrawPanels(images, layout, colors);
    DrawButtons(images, layout, colors);
    return RasterOk;
}

void ReleaseSkinImages(SkinImages* images) {
    RasterImage* all[kSkinImageCount] = {
        &images->frameImage,     &images->baseActive,      &images->baseInactive, &images->textImage,
        &images->controlsImage,  &images->playHoverImage,  &images->pauseHoverImage, &images->stopImage,
        &images->nextImage,      &images->volumeImage,     &images->menuImage,    &images->closeImage,
        &images->playImage,      &images->pauseImage,
    };
    for (int32_t i = kSkinImageCount - 1; i >= 0; i--) {
        ReleaseImage(all[i]);
    }
}
