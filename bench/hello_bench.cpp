// The yardstick for start-up time: the least a Win32 program can do to show a
// window of the player's size. It closes itself after three seconds or on Alt+X.
#include <windows.h>

namespace {

LRESULT CALLBACK HelloProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSKEYDOWN:
        if (wParam == 'X') PostMessageW(window, WM_CLOSE, 0, 0);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main() {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = HelloProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = L"HelloBench";
    RegisterClassW(&cls);
    HWND window = CreateWindowExW(0, L"HelloBench", L"HelloBench", WS_POPUP, 100, 150, 474, 89,
                                  nullptr, nullptr, cls.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    SetTimer(window, 1, 3000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) DestroyWindow(window);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
