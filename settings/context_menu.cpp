#include "settings/context_menu.h"

namespace {

struct MenuItem {
    int32_t id;  // 0: separator
    const wchar_t* text;
};

const MenuItem kTopItems[] = {
    {CMD_OPEN_FILE, L"&Open File...\tCtrl+O"},
    {CMD_OPEN_DIRECTORY, L"Open &Directory...\tCtrl+D"},
    {0, nullptr},
    {CMD_PLAY_PAUSE, L"&Play/Pause\tSpace"},
    {CMD_STOP, L"&Stop\tPeriod"},
    {0, nullptr},
    {CMD_SHUFFLE, L"S&huffle"},
    {CMD_SUBDIRS, L"&Include Subdirectories"},
    {CMD_RESUME, L"&Resume on Start"},
};

const MenuItem kTypeItems[] = {
    {CMD_TYPE_MP3, L"MP3"}, {CMD_TYPE_WMA, L"WMA"}, {CMD_TYPE_AAC, L"AAC"},
    {CMD_TYPE_M4A, L"M4A"}, {CMD_TYPE_FLAC, L"FLAC"}, {CMD_TYPE_MIDI, L"MIDI"},
    {CMD_TYPE_WAV, L"WAV"},
};

const MenuItem kNavigateItems[] = {
    {CMD_PREVIOUS, L"&Previous\tLeft"},
    {CMD_NEXT, L"&Next\tRight"},
    {CMD_RANDOM, L"&Random\tF5"},
};

const MenuItem kVolumeItems[] = {
    {CMD_VOLUME_UP, L"&Up\tF12"},
    {CMD_VOLUME_DOWN, L"&Down\tF11"},
    {CMD_MUTE, L"&Mute\tF8"},
};

const MenuItem kAfterItems[] = {
    {CMD_AFTER_EXIT, L"&Exit"},
    {CMD_AFTER_STOP, L"&Stop"},
    {CMD_AFTER_REPEAT, L"&Repeat"},
    {CMD_AFTER_NEXT, L"&Play Next"},
};

const MenuItem kFontItems[] = {
    {CMD_FONT_DEFAULT + 1, L"Comic"},  {CMD_FONT_DEFAULT, L"Default"},
    {CMD_FONT_DEFAULT + 2, L"Franklin"}, {CMD_FONT_DEFAULT + 3, L"Georgia"},
    {CMD_FONT_DEFAULT + 4, L"Impact"}, {CMD_FONT_DEFAULT + 5, L"Segoe"},
    {CMD_FONT_DEFAULT + 6, L"Tahoma"}, {CMD_FONT_DEFAULT + 7, L"Times New Roman"},
    {CMD_FONT_DEFAULT + 8, L"Trebuchet"},
};

const MenuItem kWindowItems[] = {
    {CMD_ALWAYS_ON_TOP, L"Always On &Top\tCtrl+T"},
    {CMD_HALF_HEIGHT, L"&Half Height\tCtrl+H"},
    {CMD_MINIMIZE, L"&Minimize"},
    {0, nullptr},
    {CMD_COLOR, L"&Color..."},
    {0, nullptr},
    {CMD_INCREASE_SIZE, L"&Increase Size\tCtrl++"},
    {CMD_DECREASE_SIZE, L"&Decrease Size\tCtrl+-"},
};

template <size_t N>
void AppendItems(HMENU menu, const MenuItem (&items)[N]) {
    for (const MenuItem& item : items) {
        if (item.id == 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), item.text);
        }
    }
}

void AppendSubmenu(HMENU menu, HMENU submenu, const wchar_t* text) {
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), text);
}

void SetGrey(HMENU menu, UINT item, bool grey) {
    EnableMenuItem(menu, item, MF_BYCOMMAND | (grey ? MF_GRAYED : MF_ENABLED));
}

void SetCheck(HMENU menu, int32_t id, bool checked) {
    CheckMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

// A submenu's own item answers to its handle when addressed by command.
UINT SubmenuItem(HMENU submenu) {
    return static_cast<UINT>(reinterpret_cast<UINT_PTR>(submenu));
}

}  // namespace

int BuildContextMenu(AppState* app) {
    if (app->contextMenu) {
        DestroyMenu(app->contextMenu);
        app->contextMenu = nullptr;
    }
    HMENU menu = CreatePopupMenu();
    if (!menu) return 0;
    app->contextMenu = menu;
    AppendItems(menu, kTopItems);

    app->fileTypesMenu = CreatePopupMenu();
    if (app->fileTypesMenu) {
        AppendItems(app->fileTypesMenu, kTypeItems);
        // MP3 and WMA are always searched; their items only show that.
        for (int32_t id = CMD_TYPE_MP3; id <= CMD_TYPE_WMA; ++id) {
            EnableMenuItem(app->fileTypesMenu, static_cast<UINT>(id), MF_BYCOMMAND | MF_GRAYED);
            SetCheck(app->fileTypesMenu, id, true);
        }
        AppendSubmenu(menu, app->fileTypesMenu, L"Include File &Types");
    }

    app->navigateMenu = CreatePopupMenu();
    app->volumeMenu = CreatePopupMenu();
    app->afterPlaybackMenu = CreatePopupMenu();
    app->fontMenu = CreatePopupMenu();
    app->windowMenu = CreatePopupMenu();
    if (app->navigateMenu || app->volumeMenu || app->afterPlaybackMenu || app->fontMenu ||
        app->windowMenu) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    if (app->navigateMenu) {
        AppendItems(app->navigateMenu, kNavigateItems);
        AppendSubmenu(menu, app->navigateMenu, L"&Navigate");
    }
    if (app->volumeMenu) {
        AppendItems(app->volumeMenu, kVolumeItems);
        AppendSubmenu(menu, app->volumeMenu, L"&Volume");
    }
    if (app->afterPlaybackMenu) {
        AppendItems(app->afterPlaybackMenu, kAfterItems);
        AppendSubmenu(menu, app->afterPlaybackMenu, L"&After Playback");
    }
    if (app->fontMenu) {
        AppendItems(app->fontMenu, kFontItems);
        AppendSubmenu(menu, app->fontMenu, L"&Font");
    }
    if (app->windowMenu) {
        AppendItems(app->windowMenu, kWindowItems);
        AppendSubmenu(menu, app->windowMenu, L"&Window");
    }

    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, CMD_ABOUT, L"A&bout Pebbletune");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, CMD_EXIT, L"E&xit\tAlt+X");
    return 1;
}

void UpdateMenuStates(AppState* app) {
    HMENU menu = app->contextMenu;
    if (!menu) return;
    const int32_t device = Load(app->device.deviceState);
    const bool searching = Load(app->searchState) != Idle;
    SetGrey(menu, CMD_PLAY_PAUSE, device == DEV_CLOSED);
    SetGrey(menu, CMD_STOP, device == DEV_CLOSED || device == DEV_STOPPED);
    SetGrey(menu, CMD_SHUFFLE, searching);
    SetGrey(menu, CMD_SUBDIRS, searching);
    if (app->fileTypesMenu) SetGrey(menu, SubmenuItem(app->fileTypesMenu), searching);
    if (app->navigateMenu) SetGrey(menu, SubmenuItem(app->navigateMenu), Load(app->trackCount) <= 0);
    SetGrey(menu, CMD_INCREASE_SIZE, app->sizeFactor >= 12);
    SetGrey(menu, CMD_DECREASE_SIZE, app->sizeFactor <= 1);

    const uint32_t types = Load(app->fileTypes);
    SetCheck(menu, CMD_SHUFFLE, app->shuffle != 0);
    SetCheck(menu, CMD_SUBDIRS, app->includeSubdirs != 0);
    SetCheck(menu, CMD_RESUME, app->resumeOnStart != 0);
    SetCheck(menu, CMD_TYPE_AAC, (types & TYPE_AAC) != 0);
    SetCheck(menu, CMD_TYPE_M4A, (types & TYPE_M4A) != 0);
    SetCheck(menu, CMD_TYPE_FLAC, (types & TYPE_FLAC) != 0);
    SetCheck(menu, CMD_TYPE_MIDI, (types & TYPE_MIDI) != 0);
    SetCheck(menu, CMD_TYPE_WAV, (types & TYPE_WAV) != 0);
    for (int32_t action = AFTER_EXIT; action <= AFTER_NEXT; ++action) {
        SetCheck(menu, CMD_AFTER_EXIT + action, app->afterPlayback == action);
    }
    for (int32_t type = 0; type <= CMD_FONT_TREBUCHET - CMD_FONT_DEFAULT; ++type) {
        SetCheck(menu, CMD_FONT_DEFAULT + type, app->fontType == type);
    }
    SetCheck(menu, CMD_ALWAYS_ON_TOP, app->alwaysOnTop != 0);
    SetCheck(menu, CMD_HALF_HEIGHT, app->halfHeight != 0);
}

POINT ContextMenuPoint(const RECT& r, int32_t x, int32_t y) {
    const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    if (inside) return POINT{x, y};
    return POINT{r.left, r.top};
}

LRESULT ShowContextMenu(AppState* app, int32_t x, int32_t y) {
    RECT r = {};
    GetWindowRect(app->mainWindow, &r);
    app->windowRect = {r.left, r.top, r.right, r.bottom};
    const POINT at = ContextMenuPoint(r, x, y);
    UpdateMenuStates(app);
    TrackPopupMenu(app->contextMenu, 0, at.x, at.y, 0, app->mainWindow, nullptr);
    return 0;
}
