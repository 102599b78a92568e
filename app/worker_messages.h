// The main window's side of the messages the worker threads send it: the
// handlers of WM_APP_SNAPSHOT, WM_APP_DEFER, WM_APP_WORKER_DONE, WM_APP_STATUS
// and WM_APP_OPERATION, and of the device's and the system's notices.
#pragma once
#include "core/app_state.h"

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
