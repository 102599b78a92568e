// Frame composition, the status line and its font, and the size factor.
#include "skin/render.h"

#include <cstring>
#include <cwchar>

#if defined(_M_X64) || defined(__x86_64__)
#define PEBBLETUNE_X64 1
#include <tmmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#else
#define PEBBLETUNE_X64 0
#endif


namespace {

const wchar_t* const kFontFaces[9] = {
    L"Microsoft Sans Serif", L"Comic Sans MS", L"Franklin Gothic Medium", L"Georgia", L"Impact",
    L"Segoe UI", L"Tahoma", L"Times New Roman", L"Trebuchet MS",
};

constexpr int kFontHeight = 24;
constexpr int kTextX = 6;
constexpr int kTextY = 3;
constexpr COLORREF kTextGrey = RGB(0xDE, 0xDE, 0xDE);
// The shortest trimmed status line keeps this many characters before "...".
constexpr int32_t kMinKeptChars = 21;
constexpr int32_t kTextMargin = 12;
constexpr size_t kFormatLimit = 63;

uint32_t s_composedFrames = 0;
// Reused when no measuring context can be had; 0 ends the trimming at once.
int32_t s_lastMeasuredWidth = 0;

int32_t Width(Rect r) { return r.right - r.left; }
int32_t Height(Rect r) { return r.bottom - r.top; }

size_t TextLength(const wchar_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
}

// Thousandths of full scale, rounded: 65535 shows as 1000.
uint32_t VolumeThousandths(uint32_t volume) { return (volume * 1000u + 32768u) / 65535u; }

// The text is drawn grey on black and recoloured afterwards, so one
// rendering serves every colour scheme and the platform's anti-aliasing
// turns into shades of the accent hue.
void RenderStatusText(AppState* app, HDC paintDc, HDC memoryDc) {
    RasterImage& text = app->images.textImage;
    if (!text.pixels) return;
    HBITMAP bitmap = memoryDc ? CreateCompatibleBitmap(paintDc, text.width, text.height) : nullptr;
    if (bitmap) {
        HGDIOBJ oldBitmap = SelectObject(memoryDc, bitmap);
        HGDIOBJ oldFont = app->statusFont ? SelectObject(memoryDc, app->statusFont) : nullptr;
        PatBlt(memoryDc, 0, 0, text.width, text.height, BLACKNESS);
        SetTextColor(memoryDc, kTextGrey);
        SetBkColor(memoryDc, RGB(0, 0, 0));
        TextOutW(memoryDc, kTextX, kTextY, app->frameText,
                 static_cast<int>(TextLength(app->frameText, kBufferUnits - 1)));
        if (oldFont) SelectObject(memoryDc, oldFont);
        // GetDIBits wants the bitmap out of every device context.
        SelectObject(memoryDc, oldBitmap);

        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = text.width;
        info.bmiHeader.biHeight = text.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = static_cast<WORD>(8 * text.bytesPerPixel);
        info.bmiHeader.biCompression = BI_RGB;
        const size_t rowBytes = static_cast<size_t>(text.stride);
        const float offsets[3] = {0.0f, 0.0f, 0.0f};
        BuildRampTables(app->blendTables, app->colors.textGain, offsets, 3);
        if (rowBytes <= sizeof(app->scanLine)) {
            for (int32_t row = 0; row < text.height; ++row) {
                const UINT line = static_cast<UINT>(text.height - 1 - row);
                // Only a line read back is grey on black; one that was not
                // still holds coloured pixels, which would drift further.
                if (GetDIBits(memoryDc, bitmap, line, 1, app->scanLine, &info, DIB_RGB_COLORS) != 1) continue;
                std::memcpy(text.pixels + static_cast<size_t>(row) * rowBytes, app->scanLine, rowBytes);
                ApplyTables(&text, Rect{0, row, text.width, row + 1}, app->blendTables);
            }
        }
        DeleteObject(bitmap);
    }
}

void DrawSeekOverlay(AppState* app, int32_t deviceState) {
    const Rect display = app->layout.displayRect;
    const float width = static_cast<float>(Width(display));
    const float fill = width * static_cast<float>(Load(app->positionMs)) * Load(app->seekScale) + 0.5f;
    // A position past the end (or a scale that is not a number) must not
    // wrap the integer conversion.
    int32_t right = display.left;
    if (fill >= width) {
        right = display.right;
    } else if (fill > 0.0f) {
        right = display.left + static_cast<int32_t>(fill);
    }
    float alpha = app->colors.accentAlpha;
    if (deviceState != DEV_PLAYING) alpha *= 0.5f;
    BlendParams& blend = app->blend;
    blend.colorB = app->colors.accentColor;
    blend.weightB = alpha;
    blend.weightA = 1.0f - alpha;
    BlendColorRect(&app->images.frameImage, Rect{display.left, display.top, right, display.bottom}, &blend);

    if (app->hoverRegion != HoverDisplay) return;
    const Rect marker = {app->hoverX - 2 > display.left ? app->hoverX - 2 : display.left, display.top,
                         app->hoverX + 2 < display.right ? app->hoverX + 2 : display.right,
                         display.bottom};
    blend.weightB = app->hoverFade * 0.7f;
    blend.weightA = 1.0f - app->hoverFade * 0.5f;
    BlendColorRect(&app->images.frameImage, marker, &blend);
}

void DrawHoverHighlight(AppState* app, int32_t deviceState) {
    SkinImages& images = app->images;
    const SkinLayout& layout = app->layout;
    BlendParams& blend = app->blend;
    blend.weightB = app->hoverFade;
    blend.colorB = 0xFFFFFF;
    blend.weightA = 1.0f - app->hoverFade;

    const RasterImage* source = nullptr;
    Rect target = {};
    switch (app->hoverRegion) {
    case HoverPlay:
        if (deviceState != DEV_CLOSED) {
            source = deviceState == DEV_PLAYING ? &images.pauseHoverImage : &images.playHoverImage;
            target = layout.playRect;
        }
        break;
    case HoverStop:
        if (deviceState > DEV_STOPPED) {
            source = &images.stopImage;
            target = layout.stopRect;
        }
        break;
    case HoverNext:
        if (Load(app->trackCount) > 0) {
            source = &images.nextImage;
            target = layout.nextRect;
        }
        break;
    case HoverMenu:
        source = &images.menuImage;
        target = layout.menuRect;
        break;
    case HoverClose:
        source = &images.closeImage;
        target = layout.closeRect;
        break;
    default: break;
    }
    if (!source) return;
    if (app->hoverFade < 1.0f) {
        BlendBlitRect(&images.frameImage, target, source, &blend);
    } else {
        BlitRect(&images.frameImage, target, source);
    }
}

// The lit bars stay as the face shows them; the unlit ones from the right
// are covered by one rectangle in the face colour, bars and gaps alike.
void DrawVolumeLevel(AppState* app) {
    SkinImages& images = app->images;
    const Rect bar = app->layout.volumeRect;
    const uint32_t span = static_cast<uint32_t>(Width(bar) - 8);
    const uint32_t unlit = ((65535u - app->volume) * span / 65535u + 3u) / 6u;
    const Rect level = {bar.right - 4 - 6 * static_cast<int32_t>(unlit), bar.top + 4, bar.right - 4,
                        bar.bottom - 4};
    if (app->hoverRegion != HoverVolume) {
        FillRect(&images.frameImage, level, app->colors.faceColor);
    } else if (app->hoverFade < 1.0f) {
        BlendBlitRect(&images.frameImage, bar, &images.volumeImage, &app->blend);
        FillRect(&images.frameImage, level, app->colors.faceColor);
        app->blend.colorB = app->colors.hoverFaceColor;
        BlendColorRect(&images.frameImage, level, &app->blend);
    } else {
        BlitRect(&images.frameImage, bar, &images.volumeImage);
        FillRect(&images.frameImage, level, app->colors.hoverFaceColor);
    }
}

int32_t MeasureWidth(HDC dc, const wchar_t* text) {
    SIZE size = {};
    if (!dc || !GetTextExtentPoint32W(dc, text, static_cast<int>(TextLength(text, kBufferUnits - 1)), &size)) {
        return s_lastMeasuredWidth;
    }
    s_lastMeasuredWidth = size.cx;
    return size.cx;
}

// Long names give way from the end, one character at a time, to "...";
// the first 21 characters always stay so the line still says something.
void TrimStatusText(AppState* app) {
    const int32_t available = Width(app->layout.displayRect) - kTextMargin;
    int32_t i = static_cast<int32_t>(TextLength(app->statusText, kPathUnits - 1)) - 1;
    if (i < kMinKeptChars) return;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = dc && app->statusFont ? SelectObject(dc, app->statusFont) : nullptr;
    while (i >= kMinKeptChars) {
        if (MeasureWidth(dc, app->statusText) <= available) break;
        app->statusText[i] = L'.';
        app->statusText[i + 1] = L'.';
        app->statusText[i + 2] = L'.';
        app->statusText[i + 3] = 0;
        --i;
    }
    if (oldFont) SelectObject(dc, oldFont);
    if (dc) DeleteDC(dc);
}

// One 3-byte pixel as a section pixel: B, G, R and an opaque fourth byte.
uint32_t Opaque(const uint8_t* p) {
    return 0xFF000000u | static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16;
}

void Repeat(uint32_t* out, uint32_t v, int32_t f) {
    for (int32_t k = 0; k < f; ++k) out[k] = v;
}

// Pixels from x on, one at a time. A 4-byte load per 3-byte pixel reads one
// byte past it, so the row's last pixel is assembled byte by byte.
void ExpandTail(uint32_t* out, const uint8_t* in, int32_t x, int32_t pixels, int32_t f) {
    for (; x < pixels - 1; ++x) {
        uint32_t v;
        std::memcpy(&v, in + 3 * x, 4);
        Repeat(out, v | 0xFF000000u, f);
        out += f;
    }
    if (x < pixels) Repeat(out, Opaque(in + 3 * x), f);
}

#if PEBBLETUNE_X64
#if defined(_MSC_VER)
#define SSSE3_FUNCTION
bool HasSsse3() {
    int regs[4];
    __cpuid(regs, 1);
    return (regs[2] & (1 << 9)) != 0;
}
#else
#define SSSE3_FUNCTION __attribute__((target("ssse3")))
bool HasSsse3() {
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSSE3) != 0;
}
#endif

const bool s_ssse3 = HasSsse3();

// Stores pixel v f times from out; with f of 3 the fourth lane spills into
// the next pixel's run, which the caller writes afterwards.
inline void RepeatLane(uint32_t* out, __m128i v, int32_t f) {
    if (f < 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        return;
    }
    int32_t k = 0;
    for (; k + 4 <= f; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), v);
    if (k < f) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + f - 4), v);
}

// Four pixels per step: one 16-byte load spreads 12 bytes into four lanes.
// The load reaches 4 bytes beyond the four pixels, so the loop stops while
// at least two more pixels follow and the scalar tail finishes the row.
SSSE3_FUNCTION void ExpandRowSsse3(uint32_t* out, const uint8_t* in, int32_t pixels, int32_t f) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int32_t x = 0;
    for (; x + 6 <= pixels; x += 4) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x));
        const __m128i v = _mm_or_si128(_mm_shuffle_epi8(raw, spread), alpha);
        if (f == 1) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        } else if (f == 2) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi32(v, v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi32(v, v));
        } else {
            RepeatLane(out, _mm_shuffle_epi32(v, 0x00), f);
            RepeatLane(out + f, _mm_shuffle_epi32(v, 0x55), f);
            RepeatLane(out + 2 * f, _mm_shuffle_epi32(v, 0xAA), f);
            RepeatLane(out + 3 * f, _mm_shuffle_epi32(v, 0xFF), f);
        }
        out += 4 * f;
    }
    ExpandTail(out, in, x, pixels, f);
}

// Copies a row around the cache: a large section is written once and read
// once by the blit, so keeping it cached would only evict everything else.
void StreamRow(uint8_t* dst, const uint8_t* src, size_t bytes) {
    size_t i = 0;
    while (i < bytes && (reinterpret_cast<uintptr_t>(dst + i) & 15) != 0) {
        std::memcpy(dst + i, src + i, 4);
        i += 4;
    }
    for (; i + 64 <= bytes; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
    }
    for (; i + 16 <= bytes; i += 16) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
    }
    for (; i < bytes; i += 4) std::memcpy(dst + i, src + i, 4);
}
#endif

// Each image row becomes one section row built pixel by pixel; the other
// f - 1 rows of it are copies of that one.
void ExpandRow(uint32_t* out, const uint8_t* in, int32_t pixels, int32_t bytesPerPixel, int32_t f) {
    if (bytesPerPixel == 4) {
        for (int32_t x = 0; x < pixels; ++x) {
            uint32_t v;
            std::memcpy(&v, in + 4 * x, 4);
            Repeat(out, v, f);
            out += f;
        }
        return;
    }
#if PEBBLETUNE_X64
    if (s_ssse3) {
        ExpandRowSsse3(out, in, pixels, f);
        return;
    }
#endif
    ExpandTail(out, in, 0, pixels, f);
}

// Sections at least this large bypass the cache while they are filled.
constexpr size_t kStreamingBytes = size_t{8} << 20;
// The widest row built aside before streaming: the face at the largest factor.
constexpr int32_t kRowScratchPixels = kSkinWidth * 12;
uint32_t s_rowScratch[kRowScratchPixels];

void FillSection(uint8_t* out, const RasterImage* image, Rect r, int32_t f, size_t rowBytes, size_t totalBytes) {
    const int32_t bpp = image->bytesPerPixel;
    const int32_t pixels = Width(r);
#if PEBBLETUNE_X64
    if (totalBytes >= kStreamingBytes && pixels * f <= kRowScratchPixels) {
        for (int32_t y = r.bottom - 1; y >= r.top; --y) {
            const uint8_t* in = image->pixels + static_cast<size_t>(y) * image->stride + static_cast<size_t>(r.left) * bpp;
            ExpandRow(s_rowScratch, in, pixels, bpp, f);
            for (int32_t k = 0; k < f; ++k) {
                StreamRow(out, reinterpret_cast<const uint8_t*>(s_rowScratch), rowBytes);
                out += rowBytes;
            }
        }
        _mm_sfence();
        return;
    }
#endif
    (void)totalBytes;
    for (int32_t y = r.bottom - 1; y >= r.top; --y) {
        const uint8_t* in = image->pixels + static_cast<size_t>(y) * image->stride + static_cast<size_t>(r.left) * bpp;
        ExpandRow(reinterpret_cast<uint32_t*>(out), in, pixels, bpp, f);
        for (int32_t k = 1; k < f; ++k) std::memcpy(out + k * rowBytes, out, rowBytes);
        out += static_cast<size_t>(f) * rowBytes;
    }
}

}  // namespace

uint32_t ComposedFrameCount() { return s_composedFrames; }

void StatusLineText(const AppState* app, wchar_t* out) {
    switch (app->statusKind) {
    case StatusShowText: CopyText(out, app->statusText, kBufferUnits - 1); break;
    case StatusSearching: CopyText(out, L"searching...", kBufferUnits - 1); break;
    case StatusOpenFailed: CopyText(out, L"opening media... failed", kBufferUnits - 1); break;
    case StatusNoAudio: CopyText(out, L"searching... no audio found", kBufferUnits - 1); break;
    case StatusPathTooLong: CopyText(out, L"path too long", kBufferUnits - 1); break;
    case StatusDeviceStuck: CopyText(out, L"device not responding", kBufferUnits - 1); break;
    case StatusFolderGone: CopyText(out, L"folder not found", kBufferUnits - 1); break;
    case StatusVolume:
        FormatStatusNumber(out, app->mutedVolume ? L"Mute" : L"Volume %u", VolumeThousandths(app->volume));
        break;
    default: break;
    }
}

LRESULT OnPaint(AppState* app, HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) {
        EndPaint(window, &ps);
        return 0;
    }
    HDC memoryDc = CreateCompatibleDC(dc);
    if (Load(app->redraw)) ComposeFrame(app, dc, memoryDc);
    if (memoryDc && app->dib.bitmap) {
        HGDIOBJ old = SelectObject(memoryDc, app->dib.bitmap);
        BitBlt(dc, 0, 0, app->dib.width, app->dib.height, memoryDc, 0, 0, SRCCOPY);
        SelectObject(memoryDc, old);
    }
    if (memoryDc) DeleteDC(memoryDc);
    EndPaint(window, &ps);
    return 0;
}

uint32_t ComposeFrame(AppState* app, HDC paintDc, HDC memoryDc) {
    Store(app->redraw, 0);
    ++s_composedFrames;
    SkinImages& images = app->images;
    RasterImage& frame = images.frameImage;
    const SkinLayout& layout = app->layout;

    const RasterImage& face = app->windowActive ? images.baseActive : images.baseInactive;
    if (frame.pixels && face.pixels) {
        std::memcpy(frame.pixels, face.pixels, face.byteSize < frame.byteSize ? face.byteSize : frame.byteSize);
    }

    std::memcpy(app->drawnText, app->frameText, sizeof(app->drawnText));
    StatusLineText(app, app->frameText);
    if (app->frameText[0]) {
        if (std::wcscmp(app->frameText, app->drawnText) != 0) RenderStatusText(app, paintDc, memoryDc);
        if (!app->halfHeight) BlitRect(&frame, layout.displayRect, &images.textImage);
    }

    const int32_t deviceState = Load(app->device.deviceState);
    if (deviceState > DEV_STOPPED && !app->halfHeight) DrawSeekOverlay(app, deviceState);
    BlitRect(&frame, layout.playRect, deviceState == DEV_PLAYING ? &images.pauseImage : &images.playImage);
    if (app->hoverRegion != HoverNone) DrawHoverHighlight(app, deviceState);
    DrawVolumeLevel(app);

    return UpscaleToDib(&app->dib, paintDc, &frame, layout.skinRect, app->sizeFactor);
}

uint32_t UpscaleToDib(DibTarget* target, HDC dc, const RasterImage* image, Rect r, int32_t factor) {
    const int32_t f = factor <= 1 ? 1 : factor;
    const int32_t width = f * Width(r);
    const int32_t height = f * Height(r);
    target->info.bmiHeader.biWidth = width;
    target->info.bmiHeader.biHeight = height;
    const bool inside = r.left >= 0 && r.top >= 0 && r.right <= image->width && r.bottom <= image->height;
    if (!image->pixels || image->width <= 0 || image->height <= 0 || width <= 0 || height <= 0 || !inside ||
        (image->bytesPerPixel != 3 && image->bytesPerPixel != 4)) {
        target->status = RasterNothingToDraw;
        return RasterNothingToDraw;
    }
    if (target->width != width || target->height != height) {
        target->width = 0;
        target->height = 0;
        if (target->bitmap) DeleteObject(target->bitmap);
        target->bitmap = nullptr;
        target->bits = nullptr;
    }
    if (!target->bitmap) {
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &target->info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap || !bits) {
            if (bitmap) DeleteObject(bitmap);
            target->status = RasterOutOfResources;
            return RasterOutOfResources;
        }
        target->bitmap = bitmap;
        target->bits = bits;
        target->width = width;
        target->height = height;
    }

    // The section is bottom-up: its first row in memory is the image's last.
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    FillSection(static_cast<uint8_t*>(target->bits), image, r, f, rowBytes, rowBytes * static_cast<size_t>(height));
    target->status = RasterOk;
    return RasterOk;
}

void SetStatus(AppState* app, const wchar_t* text, int32_t kind, int32_t ticks) {
    if (kind != StatusShowText || !text) {
        ShowStatusKind(app, kind, ticks);
        return;
    }
    CopyText(app->statusText, text, kPathUnits - 1);
    TrimStatusText(app);
    app->statusKind = kind;
    app->statusTicks = ticks;
    Store(app->redraw, 1);
}

HFONT CreateStatusFont(int32_t type) {
    if (type < 0 || type > 8) type = 0;
    return CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH,
                       kFontFaces[type]);
}

int SetStatusFont(AppState* app, int32_t type) {
    if (type == app->fontType && app->statusFont) return 1;
    if (type < 0 || type > 8) type = 0;
    HFONT font = CreateStatusFont(type);
    if (!font) return 0;
    if (app->statusFont) DeleteObject(app->statusFont);
    app->statusFont = font;
    app->fontType = type;
    // Forgetting the last rendered text makes the next frame draw it again
    // in the new face even though the words did not change.
    std::memset(app->frameText, 0, sizeof(app->frameText));
    return 1;
}

int FormatStatusNumber(wchar_t* out, const wchar_t* format, uint32_t value) {
    size_t n = 0;
    size_t i = 0;
    while (format[i] && format[i] != L'%' && n < kFormatLimit) out[n++] = format[i++];
    if (format[i] == L'%' && format[i + 1]) {
        const uint32_t base = format[i + 1] == L'x' ? 16u : 10u;
        wchar_t digits[12];
        int count = 0;
        do {
            const uint32_t d = value % base;
            digits[count++] = static_cast<wchar_t>(d < 10 ? L'0' + d : L'a' + (d - 10));
            value /= base;
        } while (value != 0);
        while (count > 0 && n < kFormatLimit) out[n++] = digits[--count];
        i += 2;
        while (format[i] && n < kFormatLimit) out[n++] = format[i++];
    }
    out[n] = 0;
    return static_cast<int>(n);
}
