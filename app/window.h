// Start-up, the main window's lifecycle, the staged close and the message loop.
#pragma once
#include <windows.h>
#include "core/app_state.h"

// The whole process: defaults, hand-off, settings, window, loop. Returns the
// exit code: 0, or kHandOffFailedExitCode when a running instance did not
// answer the hand-off. wWinMain is a thin wrapper around it.
int RunPlayer(HINSTANCE instance, const wchar_t* commandLine);
constexpr int kHandOffFailedExitCode = 1;

// Takes the path from a command line: an optional leading quote is skipped and
// the path ends at the next quote or after 259 characters. out holds 512 units.
void ParseCommandLine(wchar_t* out, const wchar_t* commandLine);

// Sends the single-instance hand-off to a running window of our class,
// waiting a few seconds at most.
enum HandOff {
    HandOffNone,        // no running window, it refused the path, or it went away
    HandOffAccepted,    // the running instance took the path (or, with an
                        // empty one and Resume on Start, came forward)
    HandOffUnanswered,  // it is hung: the send timed out
};
HandOff HandOffToRunningInstance(const wchar_t* pathBuffer);

// Registers both window classes and creates the main window at
// (windowX, windowY, windowWidth, windowHeight). Returns null on failure.
HWND CreateMainWindow(AppState* app);

// The opening at start: the path from the command line when there is one,
// else, with Resume on Start, the saved place (see OpenResumePoint), else
// nothing.
void OpenAtStart(AppState* app);

// GetMessage loop with the quit-to-close conversion; returns the exit code.
int RunMessageLoop(AppState* app);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK VideoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handlers of the lifecycle messages, exposed so tests can drive them.
LRESULT OnCreate(AppState* app, HWND window);
LRESULT OnClose(AppState* app);
LRESULT OnDestroy(AppState* app);
LRESULT OnEndSession(AppState* app, WPARAM ending);
LRESULT OnCopyData(AppState* app, const COPYDATASTRUCT* data);
