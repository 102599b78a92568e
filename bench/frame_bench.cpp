// Frame cost side by side: composing a playing, hovered frame and magnifying
// it into the window's section, against GDI's StretchDIBits of the same
// 474 x 89 frame to the same size and against a plain memset of the target
// (the memory bandwidth floor). Then the real window left idle: how many
// frames it composes once the first one is shown.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/commands.h"
#include "skin/render.h"
#include "skin/skin_state.h"
#include "support/window_fixture.h"

namespace {

constexpr int kRuns = 5;

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Median over kRuns of the mean time per call, in microseconds.
template <class Fn>
double MedianMicros(int iterations, Fn fn) {
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const double start = Now();
        for (int i = 0; i < iterations; ++i) fn();
        runs.push_back((Now() - start) * 1e6 / iterations);
    }
    std::sort(runs.begin(), runs.end());
    return runs[kRuns / 2];
}

AppState* PlayingHoveredFrame() {
    AppState* app = ResetWithDefaults();
    SetStatusFont(app, 0);
    DeriveSkinColors(app);
    BuildStaticSkin(app);
    app->windowActive = 1;
    app->volume = 40000;
    Store(app->trackCount, 12);
    Store(app->device.deviceState, DEV_PLAYING);
    Store(app->positionMs, 61000u);
    Store(app->seekScale, 1.0f / 240000.0f);
    app->hoverRegion = HoverDisplay;
    app->hoverX = 200;
    app->hoverFade = 1.0f;
    SetStatus(app, L"An artist - A title of some length.mp3", StatusShowText, 0);
    return app;
}

void CompareAtFactor(AppState* app, HDC screen, HDC memory, int32_t f) {
    const int iterations = f == 1 ? 4000 : (f == 4 ? 400 : 40);
    app->sizeFactor = f;
    Store(app->redraw, 1);
    ComposeFrame(app, screen, memory);  // renders the text once, creates the section
    const double compose = MedianMicros(iterations, [&] {
        Store(app->redraw, 1);
        ComposeFrame(app, screen, memory);
    });
    const RasterImage& frame = app->images.frameImage;
    const Rect skin = app->layout.skinRect;
    const double upscale =
        MedianMicros(iterations, [&] { UpscaleToDib(&app->dib, screen, &frame, skin, f); });

    // StretchDIBits wants rows padded to four bytes: a copy made once.
    const int32_t srcStride = (frame.width * 3 + 3) & ~3;
    std::vector<uint8_t> padded(static_cast<size_t>(srcStride) * frame.height);
    for (int32_t y = 0; y < frame.height; ++y) {
        std::memcpy(&padded[static_cast<size_t>(y) * srcStride], frame.pixels + y * frame.stride, frame.stride);
    }
    BITMAPINFO source = {};
    source.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    source.bmiHeader.biWidth = frame.width;
    source.bmiHeader.biHeight = -frame.height;  // top-down, as the frame is stored
    source.bmiHeader.biPlanes = 1;
    source.bmiHeader.biBitCount = 24;
    source.bmiHeader.biCompression = BI_RGB;
    BITMAPINFO target = app->dib.info;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC sectionDc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(sectionDc, section);
    SetStretchBltMode(sectionDc, COLORONCOLOR);
    const int32_t w = 474 * f;
    const int32_t h = 89 * f;
    const double stretch = MedianMicros(iterations, [&] {
        StretchDIBits(sectionDc, 0, 0, w, h, 0, 0, frame.width, frame.height, padded.data(), &source,
                      DIB_RGB_COLORS, SRCCOPY);
        GdiFlush();
    });
    const size_t bytes = static_cast<size_t>(w) * h * 4;
    const double floor = MedianMicros(iterations, [&] { std::memset(bits, f, bytes); });
    SelectObject(sectionDc, old);
    DeleteDC(sectionDc);
    DeleteObject(section);

    std::printf("%4dx  %10.1f  %10.1f  %13.1f  %10.1f   %5.2f  %5.2f\n", f, compose, upscale, stretch, floor,
                compose / stretch, compose / floor);
}

}  // namespace

int main() {
    AppState* app = PlayingHoveredFrame();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    std::printf("microseconds per frame, median of %d runs\n", kRuns);
    std::printf("factor  compose+up  upscale  StretchDIBits      memset   /GDI  /floor\n");
    for (int32_t f : {1, 4, 12}) CompareAtFactor(app, screen, memory, f);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    ReleaseAppState(app);

    app = ResetWithDefaults();
    const uint32_t before = ComposedFrameCount();
    if (!CreatePlayerWindow(app)) {
        std::printf("idle window: could not be created\n");
        return 1;
    }
    PumpFor(1000);
    const uint32_t shown = ComposedFrameCount();
    PumpFor(10000);
    std::printf("idle window: %u frame(s) composed to show it, %u in the next 10 s\n", shown - before,
                ComposedFrameCount() - shown);
    CloseAndWait(app);
    ReleaseAppState(app);
    return 0;
}
