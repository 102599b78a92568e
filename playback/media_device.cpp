// The media device: the one the track plays on (and, near a track's end, the
// next track's, opened ahead), with the player's own idea of its state kept
// beside it so the user-interface thread can draw without asking the device.
#include "playback/media_device.h"

#include <digitalv.h>
#include <process.h>

#include <cstdlib>

MciSendFn g_mciSend = mciSendCommandW;
UnbiasedClockFn g_unbiasedClock = QueryUnbiasedInterruptTime;
ReadFileFn g_readFile = ReadFile;
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

// Asks a keeper to close its device, if it has one, and end.
constexpr UINT kRetireKeeper = 0;

}  // namespace

// A device answers only the thread that opened it, so each has a thread of
// its own, its keeper: it opens the device, carries out the commands asked
// of it one at a time, and closes it. Whoever asks waits for the answer; a
// device that plays no more is closed by its keeper without anyone waiting,
// so no close can hold up the track that plays now. Two references keep it:
// the keeper thread's and its owner's; the last one frees it.
struct DeviceKeeper {
    AppState* app;
    std::atomic<int32_t> references;
    HANDLE requested;  // auto reset: the request below is waiting
    HANDLE answered;   // auto reset: it has been carried out
    MCIDEVICEID id;    // the keeper's device, 0 before its open and after its close
    UINT command;
    DWORD flags;
    void* parameters;
    MCIERROR answer;
    KeeperWork first;  // run on the keeper thread before it takes requests
    void* context;
};

namespace {

// What the playback thread knows of itself: whether it was given up, and the
// keeper of the device it opened, which after a give-up only it may let go.
thread_local bool t_givenUp = false;
thread_local DeviceKeeper* t_keeper = nullptr;

void ReleaseKeeper(DeviceKeeper* keeper) {
    if (keeper->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    CloseHandle(keeper->requested);
    CloseHandle(keeper->answered);
    std::free(keeper);
}

// Runs on the keeper thread.
unsigned __stdcall KeeperThread(void* argument) {
    auto* keeper = static_cast<DeviceKeeper*>(argument);
    AppState* app = keeper->app;
    bool serving = !keeper->first || keeper->first(keeper, keeper->context);
    while (serving) {
        WaitForSingleObject(keeper->requested, INFINITE);
        if (keeper->command == kRetireKeeper) break;
        keeper->answer = g_mciSend(keeper->command == MCI_OPEN ? 0 : keeper->id, keeper->command,
                                   keeper->flags, reinterpret_cast<DWORD_PTR>(keeper->parameters));
        if (keeper->answer == 0 && keeper->command == MCI_OPEN) {
            keeper->id = reinterpret_cast<MCI_OPEN_PARMSW*>(keeper->parameters)->wDeviceID;
        }
        // A closed device's id may name another device afterwards.
        if (keeper->answer == 0 && keeper->command == MCI_CLOSE) keeper->id = 0;
        SetEvent(keeper->answered);
    }
    if (keeper->id) {
        MCI_GENERIC_PARMS close = {};
        g_mciSend(keeper->id, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    }
    ReleaseKeeper(keeper);
    app->playbackThreadsRunning.fetch_sub(1, std::memory_order_release);
    return 0;
}

// Runs on the keeper's owner thread: the command, carried out by the keeper.
MCIERROR AskKeeper(DeviceKeeper* keeper, UINT command, DWORD flags, void* parameters) {
    keeper->command = command;
    keeper->flags = flags;
    keeper->parameters = parameters;
    SetEvent(keeper->requested);
    WaitForSingleObject(keeper->answered, INFINITE);
    return keeper->answer;
}

uint64_t ClockNow() {
    ULONGLONG now = 0;
    g_unbiasedClock(&now);
    return now;
}

// Runs on the playback thread: the stamp that marks command as out.
uint64_t StampCall(AppState* app, UINT command) {
    const uint64_t now = ClockNow();
    const uint64_t stamp = now ? now : 1;
    Store(app->deviceCallCommand, command);
    // Released, so whoever takes this stamp reads this command beside it.
    app->deviceCallSince.store(stamp, std::memory_order_release);
    return stamp;
}

// Runs on the playback thread. The stamp goes back to 0 only through the
// exchange: either this thread takes it back (the call counts), or the
// user-interface thread already did (it was given up, and its answer counts
// for nothing). False when it was given up: the device is nobody else's
// (the thread that took over opens its own), so it is let go here.
bool TakeStampBack(AppState* app, uint64_t stamp) {
    if (app->deviceCallSince.compare_exchange_strong(stamp, 0, std::memory_order_acq_rel)) return true;
    t_givenUp = true;
    RetireKeeper(t_keeper);
    t_keeper = nullptr;
    return false;
}

// Runs on the playback thread.
MCIERROR Send(AppState* app, UINT command, DWORD flags, void* parameters) {
    if (t_givenUp || !t_keeper) return MCIERR_DEVICE_NOT_READY;
    const uint64_t stamp = StampCall(app, command);
    const MCIERROR result = AskKeeper(t_keeper, command, flags, parameters);
    if (!TakeStampBack(app, stamp)) return result;
    Store(app->device.deviceLastError, result);
    return result;
}

// Runs on the playback thread. The target state is published before the
// command goes out: a play notifies the window at its end, and the window
// must never see the old state after that notice.
bool SendTransition(AppState* app, UINT command, DWORD flags, void* parameters, int32_t target) {
    if (t_givenUp) return false;
    const int32_t previous = Load(app->device.deviceState);
    // An end of play posted before a play or resume was an earlier play's;
    // stamped first, so whoever sees the play already sees its stamp.
    if (target == DEV_PLAYING) Store(app->openedAt, GetTickCount());
    Store(app->device.deviceState, target);
    const MCIERROR result = Send(app, command, flags, parameters);
    if (t_givenUp) return false;
    if (result == 0) return true;
    Store(app->device.deviceState, previous);
    return false;
}

// Runs on the playback thread, with a keeper that has no device yet. A
// late open, once given up, is closed by its keeper as it is let go.
bool SendOpen(AppState* app, const wchar_t* type, const wchar_t* path, DWORD flags) {
    MCI_OPEN_PARMSW open = {};
    open.lpstrDeviceType = type;
    open.lpstrElementName = path;
    const MCIERROR result = Send(app, MCI_OPEN, flags, &open);
    if (t_givenUp || result != 0) return false;
    Store(app->device.deviceId, open.wDeviceID);
    return true;
}

// Runs on the playback thread.
uint32_t SendStatus(AppState* app, DWORD flags, DWORD item, DWORD track) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return 0;
    MCI_STATUS_PARMS status = {};
    status.dwItem = item;
    status.dwTrack = track;
    if (Send(app, MCI_STATUS, flags, &status) != 0) return 0;
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

bool WatchFileRead(AppState* app, void (*read)(void* context), void* context) {
    if (t_givenUp) return false;
    const uint64_t stamp = StampCall(app, kFileReadCommand);
    read(context);
    return TakeStampBack(app, stamp);
}

DeviceKeeper* StartKeeper(AppState* app, KeeperWork first, void* context) {
    auto* keeper = static_cast<DeviceKeeper*>(std::calloc(1, sizeof(DeviceKeeper)));
    if (!keeper) return nullptr;
    keeper->app = app;
    keeper->references.store(2, std::memory_order_relaxed);
    keeper->requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    keeper->answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    keeper->first = first;
    keeper->context = context;
    // Counted like a playback thread: a keeper that never comes back out of
    // its device is seen at exit, which then does not wait for it.
    app->playbackThreadsRunning.fetch_add(1, std::memory_order_relaxed);
    const uintptr_t thread = keeper->requested && keeper->answered
                                 ? _beginthreadex(nullptr, 0, KeeperThread, keeper, 0, nullptr)
                                 : 0;
    if (!thread) {
        app->playbackThreadsRunning.fetch_sub(1, std::memory_order_relaxed);
        if (keeper->requested) CloseHandle(keeper->requested);
        if (keeper->answered) CloseHandle(keeper->answered);
        std::free(keeper);
        return nullptr;
    }
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return keeper;
}

void RetireKeeper(DeviceKeeper* keeper) {
    if (!keeper) return;
    keeper->command = kRetireKeeper;
    SetEvent(keeper->requested);
    ReleaseKeeper(keeper);
}

bool PrepareDevice(DeviceKeeper* keeper, const wchar_t* path, uint32_t* length) {
    *length = 0;
    MCI_OPEN_PARMSW open = {};
    open.lpstrDeviceType = L"MPEGVideo";
    open.lpstrElementName = path;
    if (g_mciSend(0, MCI_OPEN, kOpenTypedFlags, reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        open = MCI_OPEN_PARMSW{};
        open.lpstrElementName = path;
        if (g_mciSend(0, MCI_OPEN, kOpenUntypedFlags, reinterpret_cast<DWORD_PTR>(&open)) != 0) return false;
    }
    keeper->id = open.wDeviceID;
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    g_mciSend(keeper->id, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&set));
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_STATUS_LENGTH;
    if (g_mciSend(keeper->id, MCI_STATUS, kStatusFlags, reinterpret_cast<DWORD_PTR>(&status)) == 0) {
        *length = static_cast<uint32_t>(status.dwReturn);
    }
    // Cueing readies the output so the play at the boundary starts at once;
    // a device that cannot cue plays all the same.
    MCI_GENERIC_PARMS cue = {};
    g_mciSend(keeper->id, MCI_CUE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&cue));
    return true;
}

DeviceKeeper* AdoptPreparedDevice(AppState* app, DeviceKeeper* keeper) {
    DeviceKeeper* previous = t_keeper;
    t_keeper = keeper;
    Store(app->device.deviceId, keeper->id);
    Store(app->device.deviceState, DEV_STOPPED);
    return previous;
}

void RetireMediaDevice(AppState* app) {
    if (!t_givenUp) Store(app->device.deviceState, DEV_CLOSED);
    RetireKeeper(t_keeper);
    t_keeper = nullptr;
}

// Runs on the playback thread.
bool OpenMediaDevice(AppState* app, const wchar_t* path) {
    if (t_givenUp) return false;
    if (!t_keeper) t_keeper = StartKeeper(app, nullptr, nullptr);
    if (!t_keeper) return false;
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
    return 1;
}

// Runs on the playback thread.
void SetTimeFormatMs(AppState* app) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return;
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    Send(app, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set);
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
    Send(app, MCI_WINDOW, MCI_DGV_WINDOW_HWND, &display);
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
