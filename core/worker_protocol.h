// The worker side of the messages the worker threads exchange with the main
// window, and the wake signal of the playback thread.
#pragma once
#include "core/app_state.h"

// Worker side. RequestSnapshot runs on a worker thread: synchronous send of
// WM_APP_SNAPSHOT; true when the UI thread ran the handler.
bool RequestSnapshot(AppState* app, WPARAM code);
// Status report: synchronous from the playback thread, notify from the search thread.
void ReportStatus(AppState* app, WPARAM code, LPARAM value, bool synchronous);
// The worker's last action: notify WM_APP_WORKER_DONE with its token.
void ReportDone(AppState* app, int index);
// Asks the UI thread to park a code (the search thread's request to rebuild).
void DeferCommand(AppState* app, int32_t code, int slot);

// UI side: ORs flags into commandFlags and wakes the playback thread.
void SignalPlayback(AppState* app, uint32_t flags);
