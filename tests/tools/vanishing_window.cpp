// A window of the player's class whose process ends when a hand-off is sent
// to it, before answering, as a running instance that goes away would.
#include <windows.h>

static LRESULT CALLBACK VanishingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) ExitProcess(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

int main() {
    WNDCLASSW cls = {0, VanishingProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"Pebbletune"};
    RegisterClassW(&cls);
    CreateWindowExW(0, cls.lpszClassName, cls.lpszClassName, WS_POPUP | WS_VISIBLE, 0, 0, 200, 50, nullptr,
                    nullptr, cls.hInstance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
