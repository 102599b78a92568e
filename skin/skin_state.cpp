// The skin operations on the application state; the work is in skin.cpp.
#include "skin/skin_state.h"

#include <cstring>

void LayoutSkin(AppState* app) {
    ComputeSkinLayout(&app->layout, app->halfHeight);
}

void DeriveSkinColors(AppState* app) {
    ComputeSkinColors(&app->colors, app->baseColor);
}

uint32_t BuildStaticSkin(AppState* app) {
    uint32_t status = BuildSkinImages(&app->images, &app->layout, &app->colors);
    if (status != RasterOk) {
        return status;
    }
    // The display panel was just redrawn empty: forgetting the last rendered
    // text makes the next frame render it again.
    memset(app->frameText, 0, sizeof(app->frameText));
    Store(app->redraw, 1);
    return RasterOk;
}

void ReleaseAppState(AppState* app) {
    ReleaseSkinImages(&app->images);
    if (app->dib.bitmap) {
        DeleteObject(app->dib.bitmap);
        app->dib.bitmap = nullptr;
        app->dib.bits = nullptr;
        app->dib.width = 0;
        app->dib.height = 0;
    }
}
