// Stand-in until frame rendering lands: the status text and font are kept,
// painting draws nothing.
#include "skin/render.h"

#include <cstring>

namespace {
const wchar_t* const kFontFaces[9] = {
    L"Microsoft Sans Serif", L"Comic Sans MS", L"Franklin Gothic Medium", L"Georgia", L"Impact",
    L"Segoe UI", L"Tahoma", L"Times New Roman", L"Trebuchet MS",
};
}  // namespace

LRESULT OnPaint(AppState*, HWND window) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    return 0;
}

uint32_t ComposeFrame(AppState* app, HDC, HDC) {
    Store(app->redraw, 0);
    return RasterNothingToDraw;
}

uint32_t UpscaleToDib(DibTarget* target, HDC, const RasterImage*, Rect, int32_t) {
    target->status = RasterNothingToDraw;
    return RasterNothingToDraw;
}

void SetStatus(AppState* app, const wchar_t* text, int32_t kind, int32_t ticks) {
    if (kind == StatusShowText && text) {
        CopyText(app->statusText, text, kPathUnits - 1);
    } else if (kind == StatusShowText || kind == StatusOpenFailed || kind == StatusNoAudio) {
        CopyText(app->statusText, app->className, kPathUnits - 1);
    }
    app->statusKind = kind;
    app->statusTicks = ticks;
    Store(app->redraw, 1);
}

HFONT CreateStatusFont(int32_t type) {
    if (type < 0 || type > 8) type = 0;
    return CreateFontW(24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
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
    std::memset(app->frameText, 0, sizeof(app->frameText));
    return 1;
}

int FormatStatusNumber(wchar_t* out, const wchar_t*, uint32_t) {
    out[0] = 0;
    return 0;
}

void ApplySizeFactor(AppState*, int32_t) {}
