// What reaches the player from the rest of the desktop: files dropped on the
// face, and media keys pressed while another window has the focus.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "core/app_state.h"

// At window creation: accept dropped files and register for the shell's
// notices. Without a shell that offers them (or under an emulation where the
// registration fails) the focused keys still work; nothing is reported.
void ListenToDesktop(HWND window);
// At window destruction.
void StopListeningToDesktop(HWND window);

// True for the shell's registered notice message.
bool IsShellHookMessage(UINT message);

// WM_DROPFILES: opens the first dropped item like a hand-off from a second
// launch; frees the drop. Always 0.
LRESULT OnDropFiles(AppState* app, HDROP drop);
// WM_APPCOMMAND: TRUE when the command is one of the player's, else what
// DefWindowProcW returns (which hands it on to the shell).
LRESULT OnAppCommand(AppState* app, HWND window, WPARAM origin, LPARAM lParam);
// The shell's notice: acts on application commands nobody else handled.
LRESULT OnShellHook(AppState* app, WPARAM code, LPARAM lParam);
// WM_SYSKEYUP: a media key released while Alt is down acts like its plain
// release; every key is passed on to DefWindowProcW.
LRESULT OnSysKeyUp(AppState* app, HWND window, WPARAM key, LPARAM lParam);
