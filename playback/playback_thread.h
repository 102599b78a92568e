// The thread that owns the media device.
#pragma once
#include "core/app_state.h"

// Runs on the playback thread; argument is the AppState.
unsigned __stdcall PlaybackThread(void* argument);

// The user-interface thread's side of the thread's life.
//
// Sets playbackState to Running and starts the thread with a fresh token.
bool StartPlaybackThread(AppState* app);
// Goes on without the thread, neither waiting for it nor ending it (ending a
// thread that is inside the device crashes the process): it stays counted
// in playbackThreadsRunning until it returns, and the device fields it
// published are reset to "nothing open".
void LeavePlaybackThread(AppState* app);
// Leaves the thread whose device command was given up and starts a fresh
// one in its place, which opens devices of its own. False when the new
// thread could not start (playbackState is then Idle).
bool ReplacePlaybackThread(AppState* app);
// Run when the window is gone and the settings are saved. Devices let go on
// the way out (the next track's, the one played before) are closed by their
// own threads, given kClosingCallLimitMs to finish; a thread still running
// after that was left inside its device, and the process ends at once with
// exitCode. Otherwise returns and the process ends the ordinary way.
void EndProcessIfThreadsLeft(AppState* app, UINT exitCode);

// With Play Next, the next track is opened and cued this long before the
// end of the one playing, so the boundary only has to start it. The bench
// sets 0 to measure the boundary without it.
extern DWORD g_prepareLeadMs;

// How long one device command may stay out before it is given up. Eight
// seconds is the bound the worker handshakes already use before they judge
// the other side hung; a healthy open of a long MP3 takes well under a
// second here, a file on a slow share a few.
constexpr DWORD kDeviceCallLimitMs = 8000;
// Once the window is closing nobody waits for the track any more: a command
// out this long holds the close no further.
constexpr DWORD kClosingCallLimitMs = 2000;
