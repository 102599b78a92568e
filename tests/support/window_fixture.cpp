#include "support/window_fixture.h"

#include <objbase.h>
#include <process.h>
#include <shellapi.h>

#include <string>

#include "app/window.h"
#include "settings/settings.h"
#include "skin/skin_state.h"

AppState* ResetWithDefaults() {
    AppState* app = ResetAppState();
    app->instance = GetModuleHandleW(nullptr);
    app->processId = GetCurrentProcessId();
    app->afterPlayback = AFTER_NEXT;
    app->baseColor = 0x004080;
    Store(app->fileTypes, TYPE_MP3 | TYPE_WMA);
    app->sizeFactor = 1;
    app->windowX = 100;
    app->windowY = 150;
    LayoutSkin(app);
    app->windowWidth = kSkinWidth;
    app->windowHeight = kSkinFullHeight;
    return app;
}

HWND CreatePlayerWindow(AppState* app) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND window = CreateMainWindow(app);
    if (window) ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

HWND CreatePlainWindow() {
    static const wchar_t kClass[] = L"PebbletuneTestTarget";
    WNDCLASSW cls = {};
    cls.lpfnWndProc = DefWindowProcW;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = kClass;
    RegisterClassW(&cls);
    // Far from the pointer, so hover polling never finds the cursor over it.
    return CreateWindowExW(0, kClass, L"target", WS_POPUP, 3000, 3000, 10, 10, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

std::vector<PostedMessage> TakePosted(HWND window) {
    std::vector<PostedMessage> out;
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_PAINT) {
            ValidateRect(window, nullptr);
            continue;
        }
        out.push_back({msg.message, msg.wParam, msg.lParam});
    }
    return out;
}

void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, stepMs, QS_ALLINPUT);
    }
}

bool CloseAndWait(AppState* app, DWORD timeoutMs) {
    PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
    return PumpUntil([app] { return Load(app->playbackState) == Closed; }, timeoutMs);
}

std::wstring MakeTempDir(const wchar_t* prefix) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        std::wstring path = std::wstring(base) + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
    }
}

void RemoveTree(const std::wstring& path) {
    if (path.empty()) return;
    std::wstring from = path;
    from.push_back(L'\0');  // SHFileOperation wants a double-terminated list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

PrivateUserRoot::PrivateUserRoot()
    : path_(L"Software\\PebbletuneTestRoots\\" + std::to_wstring(GetCurrentProcessId())) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &root_, nullptr) != ERROR_SUCCESS) {
        root_ = nullptr;
        return;
    }
    if (RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS) {
        RegCloseKey(root_);
        root_ = nullptr;
        return;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

PrivateUserRoot::~PrivateUserRoot() {
    if (!root_) return;
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
}

bool ReadSettingDword(const wchar_t* name, uint32_t* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD size = sizeof(*value);
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(*value);
}

namespace {

// The file name box of the common file dialogs: a combo box in the
// explorer style, a plain edit in the old one.
constexpr int kFileNameCombo = 1148;
constexpr int kFileNameEdit = 1152;

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    if (!GetClassNameW(window, name, 16) || std::wstring(name) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

unsigned __stdcall AnswerDialogThread(void* argument) {
    const wchar_t* path = static_cast<const wchar_t*>(argument);
    HWND dialog = nullptr;
    for (int tries = 0; tries < 400 && !dialog; ++tries) {
        Sleep(20);
        EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
    }
    if (!dialog) return 1;
    const int box = GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    if (path[0]) SetDlgItemTextW(dialog, box, path);
    PostMessageW(dialog, WM_COMMAND, path[0] ? IDOK : IDCANCEL, 0);
    return 0;
}

}  // namespace

HANDLE AnswerDialog(const wchar_t* path) {
    void* argument = const_cast<wchar_t*>(path);
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, AnswerDialogThread, argument, 0, nullptr));
}

bool AnswerGiven(HANDLE answer) {
    if (!answer) return false;
    DWORD code = 1;
    const bool ended = PumpUntil([answer] { return WaitForSingleObject(answer, 0) == WAIT_OBJECT_0; }, 10000);
    GetExitCodeThread(answer, &code);
    CloseHandle(answer);
    return ended && code == 0;
}
