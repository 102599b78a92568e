#include "core/app_state.h"

#include <cstring>
#include <new>

const wchar_t kProductName[] = L"Pebbletune";

namespace {
AppState s_app;
}  // namespace

AppState* g_app = &s_app;

AppState* ResetAppState() {
    AppState* app = g_app;
    // Value-initialisation zeroes every field, the atomics included.
    app->~AppState();
    new (app) AppState();

    app->className = kProductName;

    BITMAPINFOHEADER& header = app->dib.info.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biXPelsPerMeter = 10000;
    header.biYPelsPerMeter = 10000;

    app->blend.colorA = 0xFFFFFF;
    app->blend.tables = app->blendTables;

    CopyText(app->statusText, app->className, kPathUnits - 1);
    Store(app->redraw, 1);
    return app;
}

void ShowStatusKind(AppState* app, int32_t kind, int32_t ticks) {
    if (kind == StatusShowText || kind == StatusOpenFailed || kind == StatusNoAudio || kind == StatusDeviceStuck) {
        // Once the notice expires the line falls back to the product name.
        CopyText(app->statusText, app->className, kPathUnits - 1);
    }
    app->statusKind = kind;
    app->statusTicks = ticks;
    Store(app->redraw, 1);
}

uint32_t HashTokenBytes(const uint8_t* bytes, size_t count) {
    uint32_t h = 0;
    for (size_t i = 0; i < count; ++i) {
        h += bytes[i];
        h = (h << 1) | (h >> 31);
    }
    return h;
}

namespace {

void PutLittleEndian(uint8_t*& out, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        *out++ = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint64_t HandleBits(const void* handle) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}

}  // namespace

uint32_t ComputeThreadToken(const AppState* app) {
    // The block is serialised field by field rather than hashed in place so
    // the token is the same whatever padding a compiler puts between fields.
    uint8_t block[136];
    uint8_t* out = block;
    PutLittleEndian(out, HandleBits(app->instance), 8);
    PutLittleEndian(out, app->processId, 8);
    PutLittleEndian(out, HandleBits(app->mainWindow), 8);
    PutLittleEndian(out, HandleBits(app->videoWindow), 8);
    PutLittleEndian(out, HandleBits(app->statusFont), 8);
    PutLittleEndian(out, HandleBits(app->contextMenu), 8);
    PutLittleEndian(out, HandleBits(app->fileTypesMenu), 8);
    PutLittleEndian(out, HandleBits(app->navigateMenu), 8);
    PutLittleEndian(out, HandleBits(app->volumeMenu), 8);
    PutLittleEndian(out, HandleBits(app->afterPlaybackMenu), 8);
    PutLittleEndian(out, HandleBits(app->fontMenu), 8);
    PutLittleEndian(out, HandleBits(app->windowMenu), 8);
    PutLittleEndian(out, HandleBits(app->wakeEvent), 8);
    PutLittleEndian(out, HandleBits(app->playbackThreadHandle), 8);
    PutLittleEndian(out, HandleBits(app->searchThreadHandle), 8);
    PutLittleEndian(out, app->playbackThreadId, 4);
    PutLittleEndian(out, app->searchThreadId, 4);
    PutLittleEndian(out, app->playbackToken, 4);
    PutLittleEndian(out, app->searchToken, 4);
    return HashTokenBytes(block, static_cast<size_t>(out - block));
}

void CopyText(wchar_t* dst, const wchar_t* src, size_t maxChars) {
    size_t i = 0;
    if (src) {
        for (; i < maxChars && src[i]; ++i) dst[i] = src[i];
    }
    dst[i] = 0;
}
