#include "core/worker_protocol.h"

namespace {

void SendSynchronous(AppState* app, UINT message, WPARAM wParam, LPARAM lParam, bool* ran) {
    // SMTO_NOTIMEOUTIFNOTHUNG: the wait is cut only while the UI thread is
    // judged hung, so handshakes go on through menus and modal dialogs.
    const LRESULT sent = SendMessageTimeoutW(app->mainWindow, message, wParam, lParam,
                                             SMTO_NOTIMEOUTIFNOTHUNG, kSnapshotTimeoutMs, nullptr);
    if (ran) *ran = sent != 0;
}

}  // namespace

bool RequestSnapshot(AppState* app, WPARAM code) {
    bool ran = false;
    SendSynchronous(app, WM_APP_SNAPSHOT, code, 0, &ran);
    return ran;
}

void ReportStatus(AppState* app, WPARAM code, LPARAM value, bool synchronous) {
    if (synchronous) {
        SendSynchronous(app, WM_APP_STATUS, code, value, nullptr);
    } else {
        SendNotifyMessageW(app->mainWindow, WM_APP_STATUS, code, value);
    }
}

void ReportDone(AppState* app, int index) {
    const uint32_t token = index == kPlaybackWorker ? app->playbackToken : app->searchToken;
    SendNotifyMessageW(app->mainWindow, WM_APP_WORKER_DONE, token, index);
}

void DeferCommand(AppState* app, int32_t code, int slot) {
    SendNotifyMessageW(app->mainWindow, WM_APP_DEFER, static_cast<WPARAM>(code), slot);
}

void SignalPlayback(AppState* app, uint32_t flags) {
    app->commandFlags |= flags;
    SetEvent(app->wakeEvent);
}
