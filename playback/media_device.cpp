// The media device: one MCI device at a time, with the player's own idea of
// its state kept beside it so the user-interface thread can draw without
// asking the device.
#include "playback/media_device.h"

#include <digitalv.h>

MciSendFn g_mciSend = mciSendCommandW;
UnbiasedClockFn g_unbiasedClock = QueryUnbiasedInterruptTime;
WaveOutVolumeFn g_waveOutSetVolume = waveOutSetVolume;
MidiOutVolumeFn g_midiOutSetVolume = midiOutSetVolume;

namespace {

constexpr DWORD kOpenTypedFlags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT;
constexpr DWORD kOpenUntypedFlags = MCI_OPEN_ELEMENT | MCI_WAIT;
constexpr DWORD kStatusFlags = MCI_STATUS_ITEM | MCI_WAIT;
constexpr DWORD kTrackStatusFlags = MCI_STATUS_ITEM | MCI_TRACK | MCI_WAIT;
constexpr DWORD kPlayFlags = MCI_NOTIFY | MCI_FROM;
constexpr uint32_t kStereoMask = 0xFFFF;
constexpr int32_t kVolumeNoticeTicks = 40;  // two seconds of timer ticks
constexpr uint64_t kClockUnitsPerMs = 10000;

// What the sending thread knows of itself: whether it was given up, and the
// device it opened, which after a give-up only it may close.
thread_local bool t_givenUp = false;
thread_local MCIDEVICEID t_ownDevice = 0;

// Runs on a thread that was given up. The device is nobody else's: the
// thread that took over opens its own.
void CloseAbandonedDevice(MCIDEVICEID id) {
    if (id == 0) return;
    MCI_GENERIC_PARMS close = {};
    g_mciSend(id, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
}

uint64_t ClockNow() {
    ULONGLONG now = 0;
    g_unbiasedClock(&now);
    return now;
}

// Runs on the playback thread. The stamp goes back to 0 only through the
// exchange: either this thread takes it back (the command counts), or the
// user-interface thread already did (it was given up, and its answer counts
// for nothing).
MCIERROR Send(AppState* app, MCIDEVICEID id, UINT command, DWORD flags, void* parameters) {
    if (t_givenUp) return MCIERR_DEVICE_NOT_READY;
    const uint64_t now = ClockNow();
    uint64_t stamp = now ? now : 1;
    Store(app->deviceCallCommand, command);
    // Released, so whoever takes this stamp reads this command beside it.
    app->deviceCallSince.store(stamp, std::memory_order_release);
    const MCIERROR result =
        g_mciSend(id, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
    if (!app->deviceCallSince.compare_exchange_strong(stamp, 0, std::memory_order_acq_rel)) {
        t_givenUp = true;
        // A close that returns late has had its one chance at the id, which
        // may belong to another thread's device by now.
        if (command != MCI_CLOSE) CloseAbandonedDevice(t_ownDevice);
        t_ownDevice = 0;
        return result;
    }
    Store(app->device.deviceLastError, result);
    return result;
}

// Runs on the playback thread. The target state is published before the
// command goes out: a play notifies the window at its end, and the window
// must never see the old state after that notice.
bool SendTransition(AppState* app, UINT command, DWORD flags, void* parameters, int32_t target) {
    if (t_givenUp) return false;
    const int32_t previous = Load(app->device.deviceState);
    Store(app->device.deviceState, target);
    // An end of play posted before a play or resume was an earlier play's.
    if (target == DEV_PLAYING) Store(app->openedAt, GetTickCount());
    const MCIERROR result = Send(app, Load(app->device.deviceId), command, flags, parameters);
    if (t_givenUp) return false;
    if (result == 0) return true;
    Store(app->device.deviceState, previous);
    return false;
}

// Runs on the playback thread.
bool SendOpen(AppState* app, const wchar_t* type, const wchar_t* path, DWORD flags) {
    MCI_OPEN_PARMSW open = {};
    open.lpstrDeviceType = type;
    open.lpstrElementName = path;
    const MCIERROR result = Send(app, 0, MCI_OPEN, flags, &open);
    if (t_givenUp) {
        // A late open still hands out a device that would play on unseen.
        if (result == 0) CloseAbandonedDevice(open.wDeviceID);
        return false;
    }
    if (result != 0) return false;
    t_ownDevice = open.wDeviceID;
    Store(app->device.deviceId, open.wDeviceID);
    return true;
}

// Runs on the playback thread.
uint32_t SendStatus(AppState* app, DWORD flags, DWORD item, DWORD track) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return 0;
    MCI_STATUS_PARMS status = {};
    status.dwItem = item;
    status.dwTrack = track;
    if (Send(app, Load(app->device.deviceId), MCI_STATUS, flags, &status) != 0) return 0;
    return t_givenUp ? 0 : static_cast<uint32_t>(status.dwReturn);
}

}  // namespace

UINT GiveUpStuckDeviceCall(AppState* app, DWORD limitMs) {
    uint64_t since = Load(app->deviceCallSince);
    if (since == 0 || ClockNow() - since < limitMs * kClockUnitsPerMs) return 0;
    if (!app->deviceCallSince.compare_exchange_strong(since, 0, std::memory_order_acq_rel)) return 0;
    // The thread is still inside this command: it sends no other.
    return Load(app->deviceCallCommand);
}

bool DeviceGivenUp() {
    return t_givenUp;
}

// Runs on the playback thread.
bool OpenMediaDevice(AppState* app, const wchar_t* path) {
    if (t_givenUp) return false;
    Store(app->device.deviceState, DEV_STOPPED);
    // The MPEG device plays more formats than its name says and seeks MP3s
    // well; anything it refuses goes to the device the system associates
    // with the file's extension.
    if (SendOpen(app, L"MPEGVideo", path, kOpenTypedFlags)) return true;
    if (t_givenUp) return false;
    if (SendOpen(app, nullptr, path, kOpenUntypedFlags)) return true;
    if (t_givenUp) return false;
    Store(app->device.deviceState, DEV_CLOSED);
    return false;
}

// Runs on the playback thread.
int CloseMediaDevice(AppState* app) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return 0;
    MCI_GENERIC_PARMS close = {};
    if (!SendTransition(app, MCI_CLOSE, MCI_WAIT, &close, DEV_CLOSED)) return 0;
    t_ownDevice = 0;
    return 1;
}

// Runs on the playback thread.
void SetTimeFormatMs(AppState* app) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return;
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    Send(app, Load(app->device.deviceId), MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set);
}

// Runs on the playback thread.
uint32_t QueryDeviceStatus(AppState* app, DWORD item) {
    return SendStatus(app, kStatusFlags, item, 0);
}

// Runs on the playback thread.
uint32_t QueryTrackStatus(AppState* app, DWORD item, DWORD track) {
    return SendStatus(app, kTrackStatusFlags, item, track);
}

// Runs on the playback thread.
void SetDisplayWindow(AppState* app, HWND window) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return;
    MCI_DGV_WINDOW_PARMSW display = {};
    display.hWnd = window;
    Send(app, Load(app->device.deviceId), MCI_WINDOW, MCI_DGV_WINDOW_HWND, &display);
}

// Runs on the playback thread.
void PlayFrom(AppState* app, uint32_t position) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return;
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(app->mainWindow);
    play.dwFrom = position;
    SendTransition(app, MCI_PLAY, kPlayFlags, &play, DEV_PLAYING);
}

// Runs on the playback thread.
void PauseDevice(AppState* app) {
    const int32_t state = Load(app->device.deviceState);
    if (state == DEV_CLOSED || state == DEV_PAUSED) return;
    MCI_GENERIC_PARMS pause = {};
    SendTransition(app, MCI_PAUSE, MCI_WAIT, &pause, DEV_PAUSED);
}

// Runs on the playback thread.
void ResumeDevice(AppState* app) {
    const int32_t state = Load(app->device.deviceState);
    if (state == DEV_CLOSED || state == DEV_PLAYING) return;
    MCI_GENERIC_PARMS resume = {};
    SendTransition(app, MCI_RESUME, MCI_WAIT, &resume, DEV_PLAYING);
}

// Runs on the playback thread.
void StopDevice(AppState* app) {
    const int32_t state = Load(app->device.deviceState);
    if (state != DEV_PLAYING && state != DEV_PAUSED) return;
    MCI_GENERIC_PARMS stop = {};
    SendTransition(app, MCI_STOP, MCI_WAIT, &stop, DEV_STOPPED);
}

// Runs on the user-interface thread.
void OutputVolume(AppState* app) {
    // The player has one level for both channels; the results are not
    // examined because a system without a mixer still plays.
    const uint32_t level = app->volume & kStereoMask;
    const DWORD both = level | (level << 16);
    g_waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), both);
    g_midiOutSetVolume(reinterpret_cast<HMIDIOUT>(0), both);
    app->statusKind = StatusVolume;
    app->statusTicks = kVolumeNoticeTicks;
    Store(app->redraw, 1);
}

void SetVolume(AppState* app, int32_t level) {
    // Any deliberate level ends a mute: the saved level would otherwise come
    // back on the next toggle and surprise the user.
    app->mutedVolume = 0;
    if (level <= 0) {
        app->volume = 0;
    } else if (level >= 65535) {
        app->volume = 65535;
    } else {
        app->volume = static_cast<uint32_t>(level);
    }
    OutputVolume(app);
}

void ToggleMute(AppState* app) {
    if (app->volume != 0) {
        app->mutedVolume = app->volume;
        app->volume = 0;
    } else {
        app->volume = app->mutedVolume;
        app->mutedVolume = 0;
    }
    OutputVolume(app);
}
