// Stand-in until the registry lands: the defaults only.
#include "settings/settings.h"

#include "skin/skin_state.h"

const wchar_t kSettingsKey[] = L"Software\\Tallowen\\Pebbletune";

void LoadSettings(AppState* app) {
    app->afterPlayback = AFTER_NEXT;
    app->baseColor = 0x004080;
    Store(app->fileTypes, TYPE_MP3 | TYPE_WMA);
    app->sizeFactor = 1;
    app->windowX = 100;
    app->windowY = 150;
    LayoutSkin(app);
    const Rect& skin = app->layout.skinRect;
    app->windowWidth = (skin.right - skin.left) * app->sizeFactor;
    app->windowHeight = (skin.bottom - skin.top) * app->sizeFactor;
}

void SaveSettings(AppState*) {}
