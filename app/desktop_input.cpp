#include "app/desktop_input.h"

#include <cstring>

#include "app/commands.h"
#include "core/system_dll.h"
#include "library/open_path.h"

namespace {

// The shell's registered notice message; 0 until the window is created.
UINT s_shellHookMessage = 0;

// The media keys of the key map and the application commands that name the
// same actions.
struct MediaKey {
    int appCommand;
    WPARAM key;
    int32_t command;
};
const MediaKey kMediaKeys[] = {
    {APPCOMMAND_MEDIA_PLAY_PAUSE, VK_MEDIA_PLAY_PAUSE, CMD_PLAY_PAUSE},
    {APPCOMMAND_MEDIA_STOP, VK_MEDIA_STOP, CMD_STOP},
    {APPCOMMAND_MEDIA_NEXTTRACK, VK_MEDIA_NEXT_TRACK, CMD_NEXT},
    {APPCOMMAND_MEDIA_PREVIOUSTRACK, VK_MEDIA_PREV_TRACK, CMD_PREVIOUS},
};

constexpr int32_t kNotOurs = -1;

const MediaKey* FindByAppCommand(int appCommand) {
    for (const MediaKey& media : kMediaKeys) {
        if (media.appCommand == appCommand) return &media;
    }
    return nullptr;
}

bool IsMediaKey(WPARAM key) {
    for (const MediaKey& media : kMediaKeys) {
        if (media.key == key) return true;
    }
    return false;
}

// The command for an application command: kNotOurs for one the player does
// not know, 0 for one it knows but that has nothing to do now.
int32_t PlayerCommand(const AppState* app, int appCommand) {
    // Play and Pause come from remotes with separate buttons; each only
    // leaves the state its name does not describe.
    const bool playing = Load(app->device.deviceState) == DEV_PLAYING;
    if (appCommand == APPCOMMAND_MEDIA_PLAY) return playing ? 0 : CMD_PLAY_PAUSE;
    if (appCommand == APPCOMMAND_MEDIA_PAUSE) return playing ? CMD_PLAY_PAUSE : 0;
    const MediaKey* media = FindByAppCommand(appCommand);
    return media ? media->command : kNotOurs;
}

// A media key pressed on this window reaches DefWindowProcW only as a system
// key (with Alt down), and DefWindowProcW may turn that press into an
// application command. The key map already acts on the key's release, so
// such a command is this press a second time.
bool EchoesOwnKey(const AppState* app, HWND origin, LPARAM lParam) {
    if (GET_DEVICE_LPARAM(lParam) != FAPPCOMMAND_KEY) return false;
    if (!FindByAppCommand(GET_APPCOMMAND_LPARAM(lParam))) return false;
    return origin == app->mainWindow || IsChild(app->mainWindow, origin);
}

void PostPlayerCommand(AppState* app, int32_t command) {
    PostMessageW(app->mainWindow, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

}  // namespace

void ListenToDesktop(HWND window) {
    // The extended style is all that accepting drops takes; setting it here
    // keeps the shell's library out of start-up.
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle | WS_EX_ACCEPTFILES);
    s_shellHookMessage = RegisterWindowMessageW(L"SHELLHOOK");
    RegisterShellHookWindow(window);
}

void StopListeningToDesktop(HWND window) {
    DeregisterShellHookWindow(window);
}

bool IsShellHookMessage(UINT message) {
    return s_shellHookMessage != 0 && message == s_shellHookMessage;
}

LRESULT OnDropFiles(AppState* app, HDROP drop) {
    wchar_t path[kPathUnits] = {};
    const UINT count = DroppedFile(drop, 0xFFFFFFFF, nullptr, 0);
    const UINT length = count ? DroppedFile(drop, 0, nullptr, 0) : 0;
    // A name cut to fit would open some other folder; too long opens nothing.
    const bool fits = length > 0 && length < kPathUnits &&
                      DroppedFile(drop, 0, path, kPathUnits) == length;
    FinishDrop(drop);
    if (!fits || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return 0;
    std::memset(app->pathBuffer, 0, sizeof(app->pathBuffer));
    CopyText(app->pathBuffer, path, kPathUnits - 1);
    OpenPathBuffer(app);
    return 0;
}

LRESULT OnAppCommand(AppState* app, HWND window, WPARAM origin, LPARAM lParam) {
    const int32_t command = PlayerCommand(app, GET_APPCOMMAND_LPARAM(lParam));
    // Unknown commands go on to the parent chain and the shell.
    if (command == kNotOurs) return DefWindowProcW(window, WM_APPCOMMAND, origin, lParam);
    if (command && !EchoesOwnKey(app, reinterpret_cast<HWND>(origin), lParam)) {
        PostPlayerCommand(app, command);
    }
    return TRUE;
}

LRESULT OnShellHook(AppState* app, WPARAM code, LPARAM lParam) {
    if (code != HSHELL_APPCOMMAND) return 0;
    const int32_t command = PlayerCommand(app, GET_APPCOMMAND_LPARAM(lParam));
    if (command == kNotOurs) return 0;
    if (command) PostPlayerCommand(app, command);
    return TRUE;
}

LRESULT OnSysKeyUp(AppState* app, HWND window, WPARAM key, LPARAM lParam) {
    if (IsMediaKey(key)) OnKeyUp(app, key);
    return DefWindowProcW(window, WM_SYSKEYUP, key, lParam);
}
