#include "app/window.h"

#include <commctrl.h>
#include <objbase.h>
#include <windowsx.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/accessibility.h"
#include "app/commands.h"
#include "app/deferred.h"
#include "app/pointer_actions.h"
#include "app/tick.h"
#include "app/desktop_input.h"
#include "app/worker_messages.h"
#include "core/deferral.h"
#include "core/system_dll.h"
#include "core/worker_protocol.h"
#include "library/open_path.h"
#include "library/play_order.h"
#include "playback/playback_thread.h"
#include "settings/context_menu.h"
#include "settings/resume_point.h"
#include "settings/settings.h"
#include "skin/hit_regions.h"
#include "skin/render.h"
#include "skin/skin_state.h"

namespace {

const wchar_t kChildClassName[] = L"PebbletuneChild";
constexpr int kIconResource = 102;
constexpr DWORD kHandOffBytes = kBufferUnits * sizeof(wchar_t);
constexpr UINT kHandOffTimeoutMs = 5000;

using DwmExtendFrameFn = HRESULT(WINAPI*)(HWND, const void*);

// Margins of -1 on every side extend the frame over the whole window.
struct FrameMargins {
    int left;
    int right;
    int top;
    int bottom;
};

void ExtendFrame(AppState* app, HWND window) {
    constexpr UINT kFrameFlags =
        SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED;
    bool extended = false;
    HMODULE dwm = LoadSystemLibrary(L"Dwmapi.dll");
    if (dwm) {
        auto extend = reinterpret_cast<DwmExtendFrameFn>(
            reinterpret_cast<void*>(GetProcAddress(dwm, "DwmExtendFrameIntoClientArea")));
        if (extend) {
            const FrameMargins margins = {-1, -1, -1, -1};
            extended = extend(window, &margins) == S_OK;
            SetWindowPos(window, nullptr, 0, 0, 0, 0, kFrameFlags);
        }
        FreeLibrary(dwm);
    }
    if (extended) return;
    // Without a composited frame the caption would show; a plain popup keeps
    // the face borderless.
    app->frameFallback = 1;
    LONG style = GetWindowLongW(window, GWL_STYLE);
    style = (style & ~static_cast<LONG>(WS_CAPTION)) |
            static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX);
    SetWindowLongW(window, GWL_STYLE, style);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, kFrameFlags);
}

void CreateVideoWindow(AppState* app, HWND window) {
    WNDCLASSW cls = {};
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = VideoWindowProc;
    cls.hInstance = app->instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = kChildClassName;
    if (!RegisterClassW(&cls) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
    app->videoWindow = CreateWindowExW(0, kChildClassName, L"Video", WS_CHILD, 0, 0, 0, 0,
                                       window, nullptr, app->instance, nullptr);
}

// Every creation step after the frame; false at the first that fails.
bool CreateWindowResources(AppState* app, HWND window) {
    if (!SetStatusFont(app, app->fontType)) return false;
    if (!BuildContextMenu(app)) return false;
    CreateVideoWindow(app, window);
    DeriveSkinColors(app);
    if (BuildStaticSkin(app) != 0) return false;
    app->wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!app->wakeEvent) return false;
    // Without it the search simply never waits.
    app->soundGate = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!StartPlaybackThread(app)) return false;
    return SetTimer(window, kTickTimerId, kTickMs, nullptr) != 0;
}

void SignalShutdown(AppState* app) {
    SignalPlayback(app, PB_STOP | PB_CLOSE | PB_EXIT);
}

// An empty hand-off from a second launch, with Resume on Start: the music
// that launch would go on with plays here already, so this window comes
// forward instead of a second one starting it again.
LRESULT BringForward(AppState* app) {
    if (IsIconic(app->mainWindow)) ShowWindow(app->mainWindow, SW_RESTORE);
    SetForegroundWindow(app->mainWindow);
    return 1;
}

}  // namespace

void ParseCommandLine(wchar_t* out, const wchar_t* commandLine) {
    std::memset(out, 0, kBufferUnits * sizeof(wchar_t));
    if (!commandLine) return;
    const wchar_t* p = commandLine;
    if (*p == L'"') ++p;
    size_t n = 0;
    while (n < kPathUnits - 1 && p[n] && p[n] != L'"') {
        out[n] = p[n];
        ++n;
    }
    out[n] = 0;
}

HandOff HandOffToRunningInstance(const wchar_t* pathBuffer) {
    HWND running = FindWindowW(kProductName, nullptr);
    if (!running) return HandOffNone;
    // Only the launching process may give the foreground away; a running
    // instance that answers an empty path by coming forward needs it.
    DWORD runningProcess = 0;
    if (!pathBuffer[0] && GetWindowThreadProcessId(running, &runningProcess)) {
        AllowSetForegroundWindow(runningProcess);
    }
    COPYDATASTRUCT data = {};
    data.dwData = 0;
    data.cbData = kHandOffBytes;
    data.lpData = const_cast<wchar_t*>(pathBuffer);
    // A hung first instance must not hang this launch as well.
    DWORD_PTR accepted = 0;
    SetLastError(0);
    const DWORD sentAt = GetTickCount();
    if (!SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG, kHandOffTimeoutMs, &accepted)) {
        // Only a time-out means the first instance is hung (older systems
        // leave the error at 0 for it, after the whole wait). A window that
        // was destroyed since it was found (which can also leave 0, at once),
        // or an instance that refuses our message, leaves this launch free
        // to start on its own.
        const DWORD error = GetLastError();
        const bool waitedOut = error == 0 && GetTickCount() - sentAt >= kHandOffTimeoutMs;
        return error == ERROR_TIMEOUT || waitedOut ? HandOffUnanswered : HandOffNone;
    }
    return accepted ? HandOffAccepted : HandOffNone;
}

HWND CreateMainWindow(AppState* app) {
    WNDCLASSW cls = {};
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = MainWindowProc;
    cls.hInstance = app->instance;
    cls.hIcon = LoadIconW(app->instance, MAKEINTRESOURCEW(kIconResource));
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = app->className;
    if (!RegisterClassW(&cls) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    HWND window = CreateWindowExW(0, app->className, app->className,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  app->windowX, app->windowY, app->windowWidth, app->windowHeight,
                                  nullptr, nullptr, app->instance, nullptr);
    app->mainWindow = window;
    return window;
}

int RunMessageLoop(AppState* app) {
    MSG msg = {};
    for (;;) {
        BOOL got;
        while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // A quit that arrives before the shutdown has run becomes an ordinary
        // staged close, so settings are saved and the threads end cleanly.
        if (Load(app->playbackState) != Closed) {
            msg.message = 0;
            PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
            continue;
        }
        if (got == 0 && msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
    }
}

int RunPlayer(HINSTANCE instance, const wchar_t* commandLine) {
    AppState* app = ResetAppState();
    app->instance = instance;
    app->processId = GetCurrentProcessId();
    ParseCommandLine(app->pathBuffer, commandLine);

    switch (HandOffToRunningInstance(app->pathBuffer)) {
    case HandOffAccepted: return 0;
    // A second window beside an instance that does not answer would only
    // fight it over the registry and the device.
    case HandOffUnanswered: return kHandOffFailedExitCode;
    case HandOffNone: break;
    }

    LoadSettings(app);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;

    int exitCode = 0;
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;
    if (InitCommonControlsEx(&controls) && CreateMainWindow(app)) {
        ShowWindow(app->mainWindow, SW_SHOWNORMAL);
        if (app->alwaysOnTop) {
            SetWindowPos(app->mainWindow, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
        }
        OpenAtStart(app);
        exitCode = RunMessageLoop(app);
        EndProcessIfThreadsLeft(app, static_cast<UINT>(exitCode));
    }
    CoUninitialize();
    ReleaseAppState(app);
    return exitCode;
}

void OpenAtStart(AppState* app) {
    if (app->pathBuffer[0]) {
        OpenPathBuffer(app);
    } else if (app->resumeOnStart && app->resumeWritten.opened[0]) {
        OpenResumePoint(app, app->resumeWritten);
    }
}

LRESULT OnCreate(AppState* app, HWND window) {
    if (app->playbackThreadHandle) return 0;
    // The workers address their messages to mainWindow; it must be known
    // before the playback thread starts, not only after creation returns.
    app->mainWindow = window;
    SeedRandom(app, static_cast<uint32_t>(std::time(nullptr)));
    ExtendFrame(app, window);
    if (!CreateWindowResources(app, window)) {
        MessageBoxW(window, L"Window creation failed.", L"Error", MB_ICONERROR);
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    ListenToDesktop(window);
    return 0;
}

LRESULT OnClose(AppState* app) {
    const int32_t search = Load(app->searchState);
    if (search == Running) {
        ParkCode(app, kSlotMain, DEFER_CLOSE);
        Store(app->searchState, Stopping);
        if (app->soundGate) SetEvent(app->soundGate);
        return 0;
    }
    if (search != Idle) return 0;

    const int32_t playback = Load(app->playbackState);
    // Only the first close finds the track as the user left it: the stop
    // that follows it takes the position back to the start.
    if (playback == Running) StoreResumePointNow(app);
    SignalShutdown(app);
    if (playback == Idle) {
        KillTimer(app->mainWindow, kTickTimerId);
        Store(app->playbackState, Closing);
        Store(app->searchState, Closing);
        DestroyWindow(app->mainWindow);
    } else if (playback == Running) {
        Store(app->playbackState, Stopping);
        app->killCountdown = kKillTicks;
    }
    return 0;
}

LRESULT OnDestroy(AppState* app) {
    StopListeningToDesktop(app->mainWindow);
    ReleaseAccessible(app);
    if (Load(app->playbackState) != Closing) return 0;

    // Wait for whichever workers exist; a null handle would make a combined
    // wait fail at once and skip the thread that is still there.
    HANDLE threads[2];
    DWORD count = 0;
    if (app->playbackThreadHandle) threads[count++] = app->playbackThreadHandle;
    if (app->searchThreadHandle) threads[count++] = app->searchThreadHandle;
    if (count) WaitForMultipleObjects(count, threads, TRUE, INFINITE);

    std::free(app->trackList.exchange(nullptr));
    std::free(app->playOrder.exchange(nullptr));
    if (app->statusFont) {
        DeleteObject(app->statusFont);
        app->statusFont = nullptr;
    }
    if (app->contextMenu) {
        DestroyMenu(app->contextMenu);
        app->contextMenu = nullptr;
    }
    if (app->playbackThreadHandle) {
        CloseHandle(app->playbackThreadHandle);
        app->playbackThreadHandle = nullptr;
    }
    if (app->searchThreadHandle) {
        CloseHandle(app->searchThreadHandle);
        app->searchThreadHandle = nullptr;
    }
    SaveSettings(app);
    Store(app->playbackState, Closed);
    PostQuitMessage(0);
    return 0;
}

LRESULT OnEndSession(AppState* app, WPARAM ending) {
    if (ending) {
        StoreResumePointNow(app);
        SaveSettings(app);
    }
    return 0;
}

LRESULT OnCopyData(AppState* app, const COPYDATASTRUCT* data) {
    if (!data || data->cbData != kHandOffBytes || !data->lpData) return 0;
    const wchar_t* path = static_cast<const wchar_t*>(data->lpData);
    if (path[0] == 0) return app->resumeOnStart ? BringForward(app) : 0;
    std::memset(app->pathBuffer, 0, sizeof(app->pathBuffer));
    // The first 260 units only: a longer string stays terminated by the
    // zeros behind it.
    std::memcpy(app->pathBuffer, path, kPathUnits * sizeof(wchar_t));
    OpenPathBuffer(app);
    return 1;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    AppState* app = g_app;
    switch (message) {
    case WM_CREATE: return OnCreate(app, window);
    case WM_DESTROY: return OnDestroy(app);
    case WM_CLOSE: return OnClose(app);
    case WM_ENDSESSION: return OnEndSession(app, wParam);
    case WM_COPYDATA: return OnCopyData(app, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_PAINT: return OnPaint(app, window);
    case WM_CONTEXTMENU: return ShowContextMenu(app, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    case WM_NCCALCSIZE: return OnNcCalcSize(app, window, wParam, lParam);
    case WM_NCHITTEST: return OnNcHitTest(app, window, wParam, lParam);
    case WM_NCACTIVATE: return OnNcActivate(app, window, wParam, lParam);
    case WM_NCMOUSEMOVE: return OnNcMouseMove(app, lParam);
    case WM_NCLBUTTONDOWN: return OnNcLButtonDown(app, window, wParam, lParam);
    case WM_NCRBUTTONDOWN: return OnNcRButtonDown(app);
    case WM_NCRBUTTONUP: return OnNcRButtonUp(app, window, lParam);
    case WM_MOUSEWHEEL: return OnMouseWheel(app, wParam);
    case WM_KEYDOWN: return OnKeyDown(app, wParam, lParam);
    case WM_KEYUP: return OnKeyUp(app, wParam);
    case WM_SYSKEYDOWN:
        OnSysKeyDown(app, wParam);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_SYSKEYUP: return OnSysKeyUp(app, window, wParam, lParam);
    case WM_APPCOMMAND: return OnAppCommand(app, window, wParam, lParam);
    case WM_DROPFILES: return OnDropFiles(app, reinterpret_cast<HDROP>(wParam));
    case WM_COMMAND: return OnCommand(app, wParam);
    case WM_TIMER: return OnTimerTick(app);
    case WM_APP_SNAPSHOT: return OnSnapshot(app, wParam);
    case WM_APP_DEFER: return OnDefer(app, wParam, lParam);
    case WM_APP_WORKER_DONE: return OnWorkerDone(app, wParam, lParam);
    case WM_APP_STATUS: return OnStatus(app, wParam, lParam);
    case WM_APP_OPERATION: return OnOperation(app, wParam, lParam);
    case MM_MCINOTIFY: return OnMciNotify(app, wParam, lParam);
    case WM_POWERBROADCAST: return OnPowerBroadcast(app, wParam);
    case WM_GETOBJECT: return OnGetObject(app, window, wParam, lParam);
    default:
        // The shell's notice has no fixed number; it is registered at creation.
        if (IsShellHookMessage(message)) return OnShellHook(app, wParam, lParam);
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SETFOCUS) return DefWindowProcW(window, message, wParam, lParam);
    // A video stream renders into this hidden child; any focus it receives
    // belongs to the main window.
    HWND main = g_app->mainWindow;
    FLASHWINFO flash = {};
    flash.cbSize = sizeof(flash);
    flash.hwnd = main;
    flash.dwFlags = FLASHW_STOP;
    FlashWindowEx(&flash);
    SetFocus(main);
    return 0;
}
