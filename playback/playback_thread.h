// The thread that owns the media device.
#pragma once
#include "app/app_state.h"

// Runs on the playback thread; argument is the AppState.
unsigned __stdcall PlaybackThread(void* argument);
