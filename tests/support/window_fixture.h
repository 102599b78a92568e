// Helpers for tests that create the real main window and real threads in
// this process and pump its messages.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"

// Resets the state record to its constructed values, fills the settings
// defaults (position 100,150, size factor 1, Play Next, MP3+WMA) and the
// layout, without touching the registry.
AppState* ResetWithDefaults();

// Creates the main window (WM_CREATE starts the playback thread and the
// timer). Returns null on failure.
HWND CreatePlayerWindow(AppState* app);

// A plain hidden window of a class of its own (DefWindowProcW): a real
// target for the messages a handler posts, which the test then reads back.
HWND CreatePlainWindow();
// Removes and returns the messages posted to the window, in order.
struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<PostedMessage> TakePosted(HWND window);

// Dispatches messages for about the given time.
void PumpFor(DWORD milliseconds);

// Dispatches messages until done() is true or the time is up; returns done().
// Between checks it waits up to stepMs for new input (1 for benchmarks that
// read latencies to the millisecond).
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs = 10);

// Posts WM_CLOSE and pumps until the staged close has finished
// (playbackState Closed). Returns true when it did within the time.
bool CloseAndWait(AppState* app, DWORD timeoutMs = 10000);

// A fresh empty directory under the temp folder; removed with RemoveTree.
std::wstring MakeTempDir(const wchar_t* prefix);
void RemoveTree(const std::wstring& path);
// Writes bytes to a file; true on success.
bool WriteFileBytes(const std::wstring& path, const void* data, size_t size);

// Points HKEY_CURRENT_USER of this process at a fresh key of its own while it
// lives, so a test's saved settings never meet another process's. The
// player's code still opens HKEY_CURRENT_USER through the real registry.
class PrivateUserRoot {
public:
    PrivateUserRoot();
    ~PrivateUserRoot();
    PrivateUserRoot(const PrivateUserRoot&) = delete;
    PrivateUserRoot& operator=(const PrivateUserRoot&) = delete;
    bool ok() const { return root_ != nullptr; }

private:
    std::wstring path_;
    HKEY root_ = nullptr;
};

// A REG_DWORD value of the settings key; false when missing or of another type.
bool ReadSettingDword(const wchar_t* name, uint32_t* value);

// Answers the next dialog this process shows, from a thread of its own, as a
// user would: path (kept alive by the caller) typed into the file name box
// and OK pressed, or Cancel for an empty path. AnswerGiven pumps this
// thread's messages until then, closes the handle and says whether it was.
HANDLE AnswerDialog(const wchar_t* path);
bool AnswerGiven(HANDLE answer);
