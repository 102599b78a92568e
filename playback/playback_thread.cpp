// The playback thread's pass loop, reduced to the shutdown handshake until the
// media device lands.
#include "playback/playback_thread.h"

#include "app/worker_protocol.h"

namespace {
constexpr DWORD kPassWaitMs = 250;
constexpr uint32_t kExitFlags = PB_STOP | PB_CLOSE | PB_EXIT;
}  // namespace

// Runs on the playback thread.
unsigned __stdcall PlaybackThread(void* argument) {
    AppState* app = static_cast<AppState*>(argument);
    while (Load(app->playbackState) != Closing) {
        WaitForSingleObject(app->wakeEvent, kPassWaitMs);
        if (!RequestSnapshot(app, SNAP_FLAGS)) continue;
        if ((app->snapFlags & kExitFlags) == kExitFlags) {
            ReportDone(app, kPlaybackWorker);
            return 0;
        }
    }
    return 0;
}
