// The About box, dialog resource 103.
#include "settings/context_menu.h"

#include "core/system_dll.h"

#include "resources/resource.h"

namespace {

const wchar_t kAboutText[] =
    L"Pebbletune\r\n"
    L"Audio Player\r\n"
    L"23.8 (x64)\r\n"
    L"\u00A9 2026 Tallowen";
const wchar_t kWebHost[] = L"pebbletune.example.org";
const wchar_t kWebAddress[] = L"https://pebbletune.example.org/";

// Centres the dialog on its owner, or on the work area when it has none.
void CentreDialog(HWND dialog) {
    RECT box = {};
    GetWindowRect(dialog, &box);
    RECT reference = {};
    HWND parent = GetParent(dialog);
    if (parent) {
        GetWindowRect(parent, &reference);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &reference, 0);
    }
    const LONG width = box.right - box.left;
    const LONG height = box.bottom - box.top;
    const LONG left = reference.left + ((reference.right - reference.left) - width) / 2;
    const LONG top = reference.top + ((reference.bottom - reference.top) - height) / 2;
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Centred on a player near the screen edge, the box could hang off it.
    if (parent) SendMessageW(dialog, DM_REPOSITION, 0, 0);
}

INT_PTR OnAboutInit(HWND dialog) {
    SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, kAboutText);
    SetDlgItemTextW(dialog, IDC_ABOUT_WEBSITE, kWebHost);
    ShowWindow(dialog, SW_SHOW);
    CentreDialog(dialog);
    // The first tab stop is the web-site button; starting there, Space or
    // Enter would open the site. The box starts on OK, and FALSE keeps the
    // dialog manager from moving the focus back.
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    return FALSE;
}

INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL: PostMessageW(dialog, WM_CLOSE, 0, 0); return TRUE;
    case IDC_ABOUT_WEBSITE:
        OpenWebAddress(dialog, kWebAddress);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnAboutInit(dialog);
    case WM_COMMAND: return OnAboutCommand(dialog, wParam);
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
    }
}

void ShowAboutDialog(AppState* app) {
    DialogBoxParamW(app->instance, MAKEINTRESOURCEW(IDD_ABOUT), app->mainWindow, AboutDialogProc, 0);
}
