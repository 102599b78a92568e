// The messages the worker threads exchange with the main window.
#pragma once
#include "app/app_state.h"

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

LRESULT OnSnapshot(AppState* app, WPARAM code);
LRESULT OnDefer(AppState* app, WPARAM code, LPARAM slot);
LRESULT OnWorkerDone(AppState* app, WPARAM token, LPARAM index);
LRESULT OnStatus(AppState* app, WPARAM code, LPARAM value);
LRESULT OnOperation(AppState* app, WPARAM code, LPARAM detail);
LRESULT OnMciNotify(AppState* app, WPARAM notifyCode, LPARAM deviceId);
LRESULT OnPowerBroadcast(AppState* app, WPARAM event);

// Code 13: plays the track at the current play-order position.
void StartTrackAtPosition(AppState* app);
// Code 15, and the end of a track with Play Next: the next position plays,
// with no guard against a double press.
void PlayNextAfterEnd(AppState* app);
