#include "app/commands.h"

#include <cstring>

#include "app/deferred.h"
#include "core/deferral.h"
#include "core/system_dll.h"
#include "app/worker_messages.h"
#include "core/worker_protocol.h"
#include "library/open_path.h"
#include "library/play_order.h"
#include "playback/media_device.h"
#include "settings/context_menu.h"
#include "settings/resume_point.h"
#include "settings/window_position.h"
#include "skin/render.h"
#include "skin/skin.h"
#include "skin/skin_state.h"

namespace {

// The colour dialog's custom colours, kept between openings, never saved.
COLORREF s_customColors[16];

constexpr int32_t kVolumeKeyStep = 240;
constexpr int32_t kVolumeMenuStep = 1200;

const wchar_t kAudioFilter[] =
    L"All Audio Files\0*.mp3;*.wma;*.aac;*.m4a;*.mid;*.midi;*.wav;*.flac\0"
    L"MP3\0*.mp3\0"
    L"MPEG-4 (.aac, .m4a)\0*.aac;*.m4a\0"
    L"FLAC\0*.flac\0"
    L"MIDI (.mid, .midi)\0*.mid;*.midi\0"
    L"WAV\0*.wav\0"
    L"WMA\0*.wma\0";

void OpenFileDialog(AppState* app) {
    if (!MayRunNow(app, kSlotMain, DEFER_OPEN_FILE)) return;
    wchar_t file[kPathUnits] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = app->mainWindow;
    ofn.lpstrFilter = kAudioFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kPathUnits;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!OpenFileDialog(&ofn)) {
        PlayOwedSuccessor(app);
        return;
    }
    std::memset(app->pathBuffer, 0, sizeof(app->pathBuffer));
    CopyText(app->pathBuffer, file, kPathUnits - 1);
    // Opened like a hand-off, so the file starts at once; a search started
    // while the dialog was up (by a hand-off) parks it again.
    OpenPathBuffer(app);
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message != BFFM_INITIALIZED) return 0;
    SetWindowTextW(dialog, L"Open Directory");
    SendMessageW(dialog, BFFM_SETOKTEXT, 0, reinterpret_cast<LPARAM>(L"Play"));
    const wchar_t* initial = reinterpret_cast<const wchar_t*>(data);
    if (initial && initial[0]) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

void OpenDirectoryDialog(AppState* app) {
    if (!MayRunNow(app, kSlotMain, DEFER_OPEN_DIRECTORY)) return;
    wchar_t folder[kPathUnits] = {};
    if (FAILED(MusicFolderPath(folder))) folder[0] = 0;
    wchar_t displayName[kPathUnits] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = app->mainWindow;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Select the directory that you want to play, and then click the Play button.";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(folder);
    PIDLIST_ABSOLUTE item = BrowseForFolder(&info);
    const BOOL converted = item && PathFromItemList(item, folder);
    if (item) CoTaskMemFree(item);
    if (!converted) {
        PlayOwedSuccessor(app);
        return;
    }
    SetDirectoryPath(app->pathBuffer, folder);
    // Checked before the clean-up, which would take a folder too long for
    // the system's own calls for a missing one and say nothing.
    if (!FitsAsSearchPath(app)) {
        PlayOwedSuccessor(app);
        return;
    }
    OpenPathBuffer(app);
}

void SetAfterPlayback(AppState* app, int32_t action) {
    app->afterPlayback = action;
    // Only Play Next has a track prepared to follow.
    NextTrackChanged(app);
}

void ToggleShuffle(AppState* app) {
    if (!MayRunNow(app, kSlotOrder, DEFER_SHUFFLE)) return;
    app->shuffle = 1 - app->shuffle;
    BuildPlayOrder(app);
}

void ToggleSubdirectories(AppState* app) {
    if (!MayRunNow(app, kSlotSubdirs, DEFER_SUBDIRS)) return;
    // The same directory is searched again with the new depth while the
    // current track keeps playing.
    app->includeSubdirs = 1 - app->includeSubdirs;
    // With nothing opened there is no directory to search again (an empty
    // one would be the process's working directory); the setting waits for
    // the next opening.
    if (!app->searchDir[0]) return;
    if (!LaunchSearchThread(app)) app->includeSubdirs = 1 - app->includeSubdirs;
}

void ToggleResumeOnStart(AppState* app) {
    app->resumeOnStart = 1 - app->resumeOnStart;
    // Switched on, the next settings look stores the place playing now.
    if (!app->resumeOnStart) DeleteResumePoint(app);
}

void ToggleFileType(AppState* app, uint32_t bit) {
    Store(app->fileTypes, Load(app->fileTypes) ^ bit);
}

void ToggleAlwaysOnTop(AppState* app) {
    app->alwaysOnTop = 1 - app->alwaysOnTop;
    SetWindowPos(app->mainWindow, app->alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void ToggleHalfHeight(AppState* app) {
    app->halfHeight = 1 - app->halfHeight;
    LayoutSkin(app);
    BuildStaticSkin(app);
    const Rect& skin = app->layout.skinRect;
    app->windowWidth = (skin.right - skin.left) * app->sizeFactor;
    app->windowHeight = (skin.bottom - skin.top) * app->sizeFactor;
    RECT r = {};
    GetWindowRect(app->mainWindow, &r);
    app->windowRect = {r.left, r.top, r.right, r.bottom};
    const WindowPosition corner = PulledOntoScreen({r.left, r.top}, VirtualScreenBounds());
    SetWindowPos(app->mainWindow, nullptr, corner.x, corner.y, app->windowWidth, app->windowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Store(app->redraw, 1);
    InvalidateRect(app->mainWindow, nullptr, TRUE);
    UpdateWindow(app->mainWindow);
}

void ChooseColor(AppState* app) {
    // baseColor keeps red in bits 16-23, the dialog wants it in the low byte.
    const uint32_t base = app->baseColor;
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = app->mainWindow;
    cc.rgbResult = RGB((base >> 16) & 0xFF, (base >> 8) & 0xFF, base & 0xFF);
    cc.lpCustColors = s_customColors;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ColorDialog(&cc)) return;
    const COLORREF chosen = cc.rgbResult;
    app->baseColor = (static_cast<uint32_t>(GetRValue(chosen)) << 16) |
                     (static_cast<uint32_t>(GetGValue(chosen)) << 8) | GetBValue(chosen);
    DeriveSkinColors(app);
    BuildStaticSkin(app);
}

void PostCommand(AppState* app, int32_t command) {
    PostMessageW(app->mainWindow, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

}  // namespace

LRESULT OnCommand(AppState* app, WPARAM wParam) {
    const int32_t id = LOWORD(wParam);
    switch (id) {
    case CMD_OPEN_FILE: OpenFileDialog(app); break;
    case CMD_OPEN_DIRECTORY: OpenDirectoryDialog(app); break;
    case CMD_PLAY_PAUSE: TogglePlayback(app); break;
    case CMD_STOP: SignalPlayback(app, PB_STOP); break;
    case CMD_SHUFFLE: ToggleShuffle(app); break;
    case CMD_SUBDIRS: ToggleSubdirectories(app); break;
    case CMD_RESUME: ToggleResumeOnStart(app); break;
    case CMD_TYPE_M4A: ToggleFileType(app, TYPE_M4A); break;
    case CMD_TYPE_AAC: ToggleFileType(app, TYPE_AAC); break;
    case CMD_TYPE_FLAC: ToggleFileType(app, TYPE_FLAC); break;
    case CMD_TYPE_MIDI: ToggleFileType(app, TYPE_MIDI); break;
    case CMD_TYPE_WAV: ToggleFileType(app, TYPE_WAV); break;
    case CMD_PREVIOUS: Navigate(app, DEFER_PREVIOUS, -1); break;
    case CMD_NEXT: Navigate(app, DEFER_NEXT, 1); break;
    case CMD_RANDOM: Navigate(app, DEFER_RANDOM, static_cast<int32_t>(DrawRandom(app))); break;
    case CMD_VOLUME_UP: app->volumeDelta += kVolumeMenuStep; break;
    case CMD_VOLUME_DOWN: app->volumeDelta -= kVolumeMenuStep; break;
    case CMD_MUTE: ToggleMute(app); break;
    case CMD_AFTER_EXIT: SetAfterPlayback(app, AFTER_EXIT); break;
    case CMD_AFTER_STOP: SetAfterPlayback(app, AFTER_STOP); break;
    case CMD_AFTER_REPEAT: SetAfterPlayback(app, AFTER_REPEAT); break;
    case CMD_AFTER_NEXT: SetAfterPlayback(app, AFTER_NEXT); break;
    case CMD_ALWAYS_ON_TOP: ToggleAlwaysOnTop(app); break;
    case CMD_HALF_HEIGHT: ToggleHalfHeight(app); break;
    case CMD_COLOR: ChooseColor(app); break;
    case CMD_MINIMIZE: ShowWindow(app->mainWindow, SW_MINIMIZE); break;
    case CMD_INCREASE_SIZE: ApplySizeFactor(app, app->sizeFactor + 1); break;
    case CMD_DECREASE_SIZE: ApplySizeFactor(app, app->sizeFactor - 1); break;
    case CMD_ABOUT: ShowAboutDialog(app); break;
    case CMD_EXIT: PostMessageW(app->mainWindow, WM_CLOSE, 0, 0); break;
    default:
        if (id >= CMD_FONT_DEFAULT && id <= CMD_FONT_TREBUCHET) SetStatusFont(app, id - CMD_FONT_DEFAULT);
        break;
    }
    return 0;
}

LRESULT OnKeyDown(AppState* app, WPARAM key, LPARAM keyData) {
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    // Bit 30: the key was already down, so this is an auto-repeat.
    const bool repeat = (keyData & (1 << 30)) != 0;
    if (control) {
        // A toggle or a dialog acts once per press: a held key would flip the
        // window back and forth, and repeats queued behind a dialog would
        // open it again once it closed. The size keys may keep repeating.
        switch (key) {
        case 'O': if (!repeat) PostCommand(app, CMD_OPEN_FILE); break;
        case 'D': if (!repeat) PostCommand(app, CMD_OPEN_DIRECTORY); break;
        case 'T': if (!repeat) PostCommand(app, CMD_ALWAYS_ON_TOP); break;
        case 'H': if (!repeat) PostCommand(app, CMD_HALF_HEIGHT); break;
        case VK_ADD:
        case VK_OEM_PLUS: PostCommand(app, CMD_INCREASE_SIZE); break;
        case VK_SUBTRACT:
        case VK_OEM_MINUS: PostCommand(app, CMD_DECREASE_SIZE); break;
        default: break;
        }
        return 0;
    }
    // Acting on every key-down lets auto-repeat keep changing the volume.
    switch (key) {
    case VK_UP:
    case VK_F12: app->volumeDelta += kVolumeKeyStep; break;
    case VK_DOWN:
    case VK_F11: app->volumeDelta -= kVolumeKeyStep; break;
    default: break;
    }
    return 0;
}

LRESULT OnKeyUp(AppState* app, WPARAM key) {
    switch (key) {
    case VK_SPACE:
    case VK_MEDIA_PLAY_PAUSE: PostCommand(app, CMD_PLAY_PAUSE); break;
    case VK_OEM_PERIOD:
    case VK_MEDIA_STOP: PostCommand(app, CMD_STOP); break;
    case VK_LEFT:
    case VK_MEDIA_PREV_TRACK: PostCommand(app, CMD_PREVIOUS); break;
    case VK_RIGHT:
    case VK_MEDIA_NEXT_TRACK: PostCommand(app, CMD_NEXT); break;
    case VK_F5: PostCommand(app, CMD_RANDOM); break;
    case VK_F8: PostCommand(app, CMD_MUTE); break;
    default: break;
    }
    return 0;
}

void OnSysKeyDown(AppState* app, WPARAM key) {
    if (key == 'X') PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
}

void ApplySizeFactor(AppState* app, int32_t factor) {
    const int32_t f = factor <= 1 ? 1 : (factor >= 12 ? 12 : factor);
    if (f == app->sizeFactor) return;
    app->sizeFactor = f;
    app->windowWidth = kSkinWidth * f;
    app->windowHeight = f * (app->halfHeight ? kSkinHalfHeight : kSkinFullHeight);
    RECT rect = {};
    GetWindowRect(app->mainWindow, &rect);
    app->windowRect = Rect{rect.left, rect.top, rect.right, rect.bottom};
    const WindowPosition corner = PulledOntoScreen({rect.left, rect.top}, VirtualScreenBounds());
    SetWindowPos(app->mainWindow, nullptr, corner.x, corner.y, app->windowWidth, app->windowHeight,
                 SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
    Store(app->redraw, 1);
    InvalidateRect(app->mainWindow, nullptr, TRUE);
    UpdateWindow(app->mainWindow);
}
