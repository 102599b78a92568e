// The playback thread: the only thread that commands the media device. It
// sleeps on the wake event, takes the pending commands by a synchronous
// snapshot, acts on them in the fixed order open, toggle, seek, stop, and
// while a track plays publishes its position for the seek bar.
#include "playback/playback_thread.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <process.h>

#include <atomic>

#include "core/worker_protocol.h"
#include "library/open_path.h"
#include "playback/media_device.h"
#include "playback/mp3_scan.h"
#include "playback/wav_scan.h"

namespace {

constexpr DWORD kPassWaitMs = 250;
constexpr DWORD kOpenFailurePauseMs = 2000;
constexpr size_t kReadBufferBytes = 65536;
// A VBR stream needs enough frames for its scanned length to be worth more
// than the device's own estimate.
constexpr uint32_t kMinVbrFrames = 50;
// One poll moves a clock-driven bar by at most this much, so a pass delayed
// by an open or a handshake does not make the bar jump.
constexpr uint32_t kMaxClockStepMs = 750;
// Ten times the code of '0' plus that code again: two decimal digits at
// index 5 and 6 of "TrackNN.cda" give their value.
constexpr uint32_t kTrackDigitBias = 528;

// A play whose position stands this long is not going to play: the device
// took it and then went nowhere (MIDI with no synthesizer, a wave of a kind
// it cannot decode). Longer than any device takes to start, well under what
// a user would wait.
constexpr uint32_t kStalledPlayMs = 10000;
// A position that has stood this long is worth asking the device about: a
// device that reports "stopped" short of the end posts no end of its own.
constexpr uint32_t kStandingPlayMs = 1000;
constexpr uint32_t kEndSlackMs = 1000;
constexpr uint32_t kMaxPollGapMs = 1000;

const wchar_t kOpeningText[] = L"opening media...";
const wchar_t kCdAudioText[] = L"CD Audio";

// The next track, opened ahead of its turn by a thread of its own. The state
// is the hand-over: the preparing thread fills the rest while it is running,
// then publishes ready or failed; the playback thread may drop it at any
// time. Whoever sees the other's move last frees it (and closes its device).
enum PrepareState : int32_t {
    kPrepRunning = 0,
    kPrepReady = 1,
    kPrepFailed = 2,
    kPrepDropped = 3,
};

struct PreparedTrack {
    std::atomic<int32_t> state;
    uint32_t nextChanges;  // the count it was prepared under
    DeviceKeeper* keeper;
    uint32_t length;
    Mp3ScanResult scan;
    wchar_t path[kBufferUnits];
    uint8_t readBuffer[kReadBufferBytes];
};

// What the thread remembers between passes; all of it is reset by an open.
struct PlaybackWork {
    uint32_t deviceLength;
    float barLength;
    bool clockMode;
    uint32_t lastTick;
    uint32_t shownPosition;
    uint32_t playFrom;
    uint32_t mediaStart;
    Mp3ScanResult scan;
    wchar_t trackPath[kBufferUnits];
    PathParts parts;
    bool waveMayOpen;
    // The play's last position and the time it was first seen, for a play
    // that stands still; whether the device was asked about it already.
    uint32_t stillPosition;
    uint32_t stillSince;
    uint32_t lastPollAt;
    bool stillAsked;
    bool moved;  // since the play (re)started
    // Asked for once a track, and again once what comes next has changed
    // (the end of a search, another After Playback action).
    bool prepareTried;
    uint32_t triedUnder;
    PreparedTrack* prepared;
    uint8_t* readBuffer;
};

// A float product truncated toward zero into 32 bits; out-of-range values
// saturate instead of being undefined.
uint32_t TruncateToUnsigned(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 4294967295.0f) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

// Runs on the playback thread. The prepared track is the next one's, not
// this one's, and outlives the reset.
void ResetWork(PlaybackWork* work) {
    uint8_t* buffer = work->readBuffer;
    PreparedTrack* prepared = work->prepared;
    std::memset(work, 0, sizeof(*work));
    work->readBuffer = buffer;
    work->prepared = prepared;
}

// Runs on the playback thread: the play (re)starts, so its position may
// stand for a moment before it moves.
void RestartStillWatch(PlaybackWork* work) {
    work->stillPosition = 0xFFFFFFFFu;
    work->stillSince = timeGetTime();
    work->lastPollAt = work->stillSince;
    work->stillAsked = false;
    work->moved = false;
}

// Runs on the playback thread.
bool SameExtension(const PathParts& parts, const wchar_t* extension) {
    return parts.dotExtension && _wcsicmp(parts.dotExtension, extension) == 0;
}

// Runs on the playback thread. A unit past the name's terminator reads as 0,
// so a short name gives a number beyond any disc and falls back to track 1.
uint32_t CdTrackNumber(const wchar_t* name) {
    const size_t length = name ? std::wcslen(name) : 0;
    const uint32_t c5 = length > 5 ? name[5] : 0;
    const uint32_t c6 = length > 6 ? name[6] : 0;
    return 10u * c5 + c6 - kTrackDigitBias;
}

// Runs on the playback thread.
void ChooseBarLength(AppState* app, PlaybackWork* work) {
    const Mp3ScanResult& scan = work->scan;
    // A VBR stream's length as the device reports it is an estimate from
    // the first frames; the frame walk has counted every one.
    if (scan.valid && scan.frameCount > kMinVbrFrames && scan.minBitrate < scan.maxBitrate &&
        scan.durationMs > 0.0) {
        work->clockMode = true;
        work->barLength = static_cast<float>(scan.durationMs);
        Store(app->seekScale, 1.0f / work->barLength);
    } else if (work->deviceLength != 0) {
        work->barLength = static_cast<float>(work->deviceLength);
        Store(app->seekScale, 1.0f / work->barLength);
    }
}

// Runs on the playback thread.
void PrepareCdTrack(AppState* app, PlaybackWork* work) {
    Store(app->cdTrack, 1);
    uint32_t track = CdTrackNumber(work->parts.name);
    if (track > QueryDeviceStatus(app, MCI_STATUS_NUMBER_OF_TRACKS)) track = 1;
    work->mediaStart = QueryTrackStatus(app, MCI_STATUS_POSITION, 1);
    work->playFrom = QueryTrackStatus(app, MCI_STATUS_POSITION, track);
    if (DeviceGivenUp()) return;
    ReportStatus(app, STATUS_TEXT, reinterpret_cast<LPARAM>(kCdAudioText), true);
}

// A saved place in the last second of a track is the end of a track that
// had played out: going on from there would only end it again at once.
constexpr uint32_t kPlayedOutMs = 1000;

// Runs on the playback thread, once the track is open and its lengths are
// known. A resumed track goes on from its saved place (from its beginning
// when the place is past its end or in its last second), a CD track from
// its own start. A paused one stands cued there, shown paused, with no play
// sent: Toggle then finds the device stopped and plays from playFrom.
// Returns true when the track must not start playing in this pass.
bool CueSavedPlace(AppState* app, PlaybackWork* work) {
    const uint32_t saved = app->snapStartMs;
    const bool paused = app->snapStartPaused != 0;
    if ((saved == 0 && !paused) || DeviceGivenUp()) return false;
    if (Load(app->cdTrack)) {
        work->shownPosition = work->playFrom;
    } else if (work->barLength > 0.0f && static_cast<float>(saved) + kPlayedOutMs < work->barLength) {
        work->shownPosition = saved;
        // In clock mode the saved place is on the bar's scale; the device
        // goes to the same fraction of its own length, as a seek does.
        const float fraction = static_cast<float>(saved) / work->barLength;
        work->playFrom = work->clockMode
                             ? TruncateToUnsigned(fraction * static_cast<float>(work->deviceLength))
                             : saved;
    }
    Store(app->positionMs, work->shownPosition);
    if (!paused) return false;
    Store(app->device.deviceState, DEV_PAUSED);
    Store(app->redraw, 1);
    return true;
}

// Runs on the playback thread: what was known of the track before goes,
// and the face shows the new one from its start.
void BeginTrack(AppState* app, PlaybackWork* work, const wchar_t* path) {
    ResetWork(work);
    std::memcpy(work->trackPath, path, sizeof(work->trackPath));
    work->trackPath[kBufferUnits - 1] = 0;
    SplitPath(&work->parts, work->trackPath);
    Store(app->positionMs, 0);
    Store(app->seekScale, 0.0f);
    Store(app->cdTrack, 0);
}

// Runs on the playback thread, as watched reads.
void ScanTrack(void* context) {
    auto* work = static_cast<PlaybackWork*>(context);
    ScanMp3Stream(work->trackPath, &work->scan, work->readBuffer);
}
void CheckWave(void* context) {
    auto* work = static_cast<PlaybackWork*>(context);
    work->waveMayOpen = WavFileMayOpen(work->trackPath);
}

// Runs on the playback thread, after the track path's snapshot. Returns
// true when the track is open and should start playing in this pass.
bool OpenTrack(AppState* app, PlaybackWork* work) {
    BeginTrack(app, work, app->snapPath);
    ReportStatus(app, STATUS_TEXT, reinterpret_cast<LPARAM>(kOpeningText), true);
    // The track that is still open keeps playing during the scan.
    if (SameExtension(work->parts, L".mp3") && !WatchFileRead(app, ScanTrack, work)) return false;

    bool opened = false;
    if (Load(app->device.deviceState) != DEV_CLOSED) CloseMediaDevice(app);
    // A wave format no device can play crashes the system's wave driver, and
    // the device picks its parser by content, whatever the extension says.
    if (Load(app->device.deviceState) == DEV_CLOSED && WatchFileRead(app, CheckWave, work) &&
        work->waveMayOpen) {
        opened = OpenMediaDevice(app, work->trackPath);
    }
    // A given-up open has been reported as failed by the user-interface
    // thread already; a second report would remove a second track.
    if (DeviceGivenUp()) return false;
    if (opened) {
        // The previous track's device is closed by now: whatever end of play
        // is posted before this moment was about it, not about this track.
        Store(app->openedSelection, app->snapSelection);
        Store(app->openedAt, GetTickCount());
    } else {
        // The send is synchronous: by its return the track is off the list
        // and, with Play Next, the next one has been asked for. The pause
        // keeps a folder of unplayable files from spinning the device; the
        // search waiting for this track goes on before it.
        if (app->soundGate) SetEvent(app->soundGate);
        ReportStatus(app, STATUS_OPEN_FAILED, reinterpret_cast<LPARAM>(work->trackPath), true);
        Sleep(kOpenFailurePauseMs);
        ResetWork(work);
        return false;
    }

    SetTimeFormatMs(app);
    work->deviceLength = QueryDeviceStatus(app, MCI_STATUS_LENGTH);
    if (DeviceGivenUp()) return false;
    ChooseBarLength(app, work);
    if (SameExtension(work->parts, L".cda")) {
        PrepareCdTrack(app, work);
    } else {
        ReportStatus(app, STATUS_TEXT, reinterpret_cast<LPARAM>(work->parts.stem), true);
    }
    SetDisplayWindow(app, app->videoWindow);
    return !CueSavedPlace(app, work);
}

// Runs on the playback thread.
void RefreshModeFromDevice(AppState* app) {
    if (Load(app->device.deviceState) == DEV_CLOSED) return;
    // A track that played to its end still reads as playing here until the
    // device's own mode says otherwise.
    switch (QueryDeviceStatus(app, MCI_STATUS_MODE)) {
    case MCI_MODE_STOP:
    case MCI_MODE_OPEN: Store(app->device.deviceState, DEV_STOPPED); break;
    case MCI_MODE_PLAY: Store(app->device.deviceState, DEV_PLAYING); break;
    case MCI_MODE_PAUSE: Store(app->device.deviceState, DEV_PAUSED); break;
    default: break;
    }
}

// Runs on the playback thread.
void Toggle(AppState* app, PlaybackWork* work) {
    RefreshModeFromDevice(app);
    switch (Load(app->device.deviceState)) {
    case DEV_STOPPED:
        work->lastTick = timeGetTime();
        RestartStillWatch(work);
        PlayFrom(app, work->playFrom);
        break;
    case DEV_PLAYING:
        PauseDevice(app);
        Store(app->redraw, 1);
        break;
    case DEV_PAUSED:
        work->lastTick = timeGetTime();
        RestartStillWatch(work);
        ResumeDevice(app);
        // Some devices refuse to resume (a CD after a seek, a stream that
        // ended); playing from the last position gets the same result.
        if (Load(app->device.deviceState) != DEV_PLAYING) PlayFrom(app, work->playFrom);
        break;
    default:
        break;
    }
}

// Runs on the playback thread. A seek restarts the play from a new place.
// Stopping first matters on MPEG devices that arm their end-of-play notice
// only once per play and finish the old play on a thread of their own: a
// play started over a running or ended one may be stopped by that thread a
// moment later, or never report its end, which would stall Repeat after one
// replay. The stop's own aborted notice is ignored like any other.
void StopBeforeReplay(AppState* app) {
    const int32_t state = Load(app->device.deviceState);
    if (state == DEV_PLAYING || state == DEV_PAUSED) StopDevice(app);
}

// Runs on the playback thread.
void Seek(AppState* app, PlaybackWork* work) {
    if (!RequestSnapshot(app, SNAP_SEEK)) return;
    const float fraction = app->snapSeekFraction;
    Store(app->redraw, 1);
    work->shownPosition = TruncateToUnsigned(fraction * work->barLength);
    Store(app->positionMs, work->shownPosition);
    // In clock mode the bar and the device have different lengths; each
    // goes to the same fraction of its own.
    work->playFrom = TruncateToUnsigned(fraction * static_cast<float>(work->deviceLength));
    if (work->playFrom < work->mediaStart) work->playFrom = work->mediaStart;
    if (Load(app->device.deviceState) == DEV_CLOSED) return;
    StopBeforeReplay(app);
    RestartStillWatch(work);
    PlayFrom(app, work->playFrom);
}

// Runs on the playback thread. Returns true when the thread must end.
bool Stop(AppState* app, PlaybackWork* work, uint32_t flags) {
    work->playFrom = work->mediaStart;
    work->shownPosition = work->mediaStart;
    const int32_t state = Load(app->device.deviceState);
    if (state == DEV_PLAYING || state == DEV_PAUSED) StopDevice(app);
    if (DeviceGivenUp()) return true;
    Store(app->positionMs, work->mediaStart);
    Store(app->redraw, 1);
    if (!(flags & PB_CLOSE)) return false;
    CloseMediaDevice(app);
    return (flags & PB_EXIT) != 0;
}

// Runs on the next track's keeper thread, as its first work: the scan,
// the wave check and the open, so that at the boundary nothing is left to
// read or open. Nothing waits for it, so nothing watches it: a device or a
// disk that hangs here holds only this keeper, and the boundary opens the
// track the ordinary way. True when the keeper goes on to serve the device.
bool PrepareTrack(DeviceKeeper* keeper, void* context) {
    auto* job = static_cast<PreparedTrack*>(context);
    PathParts parts;
    SplitPath(&parts, job->path);
    if (SameExtension(parts, L".mp3")) ScanMp3Stream(job->path, &job->scan, job->readBuffer);
    const bool ready = WavFileMayOpen(job->path) && PrepareDevice(keeper, job->path, &job->length);
    int32_t expected = kPrepRunning;
    if (job->state.compare_exchange_strong(expected, ready ? kPrepReady : kPrepFailed,
                                           std::memory_order_acq_rel)) {
        return ready;
    }
    // Dropped meanwhile: nobody will take the device, which the keeper
    // closes as it ends.
    std::free(job);
    return false;
}

// Runs on the playback thread: lets the prepared track go (its keeper
// closes the device), and the next track may be prepared again.
void DropPrepared(PlaybackWork* work) {
    work->prepareTried = false;
    PreparedTrack* job = work->prepared;
    if (!job) return;
    work->prepared = nullptr;
    RetireKeeper(job->keeper);
    int32_t expected = kPrepRunning;
    // Still at work: the keeper frees the job when it finds it dropped.
    if (job->state.compare_exchange_strong(expected, kPrepDropped, std::memory_order_acq_rel)) return;
    std::free(job);
}

// Runs on the playback thread, while a track plays: in its last stretch the
// track Play Next would go to is prepared, once. The next file is held open
// only for the last seconds, and a short track has it prepared at once.
void PrepareNextTrack(AppState* app, PlaybackWork* work, uint32_t position) {
    // Read first: a change during the handshake then lets this one go.
    const uint32_t changes = Load(app->nextChanges);
    if (g_prepareLeadMs == 0 || (work->prepareTried && work->triedUnder == changes) || work->prepared ||
        Load(app->cdTrack) || work->deviceLength == 0) {
        return;
    }
    if (position < work->deviceLength && work->deviceLength - position > g_prepareLeadMs) return;
    work->prepareTried = true;
    work->triedUnder = changes;
    if (!RequestSnapshot(app, SNAP_NEXT_PATH) || !app->snapNextPath[0]) return;
    auto* job = static_cast<PreparedTrack*>(std::calloc(1, sizeof(PreparedTrack)));
    if (!job) return;
    job->nextChanges = changes;
    std::memcpy(job->path, app->snapNextPath, sizeof(job->path));
    job->path[kBufferUnits - 1] = 0;
    // Set before the keeper can read it; the keeper never writes it.
    job->keeper = StartKeeper(app, PrepareTrack, job);
    if (!job->keeper) {
        std::free(job);
        return;
    }
    work->prepared = job;
}

// Runs on the playback thread, after the track path's snapshot. When the
// track asked for is the one prepared, it starts now on its own device: no
// read, no open and no "opening" notice between the two tracks. The old
// device is closed once the new one plays. True when it was taken.
bool StartPreparedTrack(AppState* app, PlaybackWork* work) {
    PreparedTrack* job = work->prepared;
    if (!job || job->state.load(std::memory_order_acquire) != kPrepReady) return false;
    if (std::wcscmp(job->path, app->snapPath) != 0) return false;
    work->prepared = nullptr;
    BeginTrack(app, work, job->path);
    work->scan = job->scan;
    work->deviceLength = job->length;
    DeviceKeeper* previous = AdoptPreparedDevice(app, job->keeper);
    std::free(job);
    // The play below stamps openedAt: every end of play posted before it
    // was about an older track.
    Store(app->openedSelection, app->snapSelection);
    ChooseBarLength(app, work);
    work->lastTick = timeGetTime();
    RestartStillWatch(work);
    PlayFrom(app, 0);
    RetireKeeper(previous);
    if (DeviceGivenUp()) return true;
    ReportStatus(app, STATUS_TEXT, reinterpret_cast<LPARAM>(work->parts.stem), true);
    SetDisplayWindow(app, app->videoWindow);
    return true;
}

// Runs on the playback thread: the flags of a pass that asked for a track.
// The prepared track plays at once; any other is opened, and plays by the
// toggle that follows.
uint32_t StartRequestedTrack(AppState* app, PlaybackWork* work, uint32_t flags) {
    if (!RequestSnapshot(app, SNAP_TRACK_PATH)) return flags;
    // A press of Play/Pause in the same pass would only pause the new track.
    if (StartPreparedTrack(app, work)) return flags & ~PB_TOGGLE;
    DropPrepared(work);
    return OpenTrack(app, work) ? flags | PB_TOGGLE : flags;
}

// Runs on the playback thread. A play whose position stands too long, or
// that never moved and the device says has stopped short of its end without
// posting an end, is a track that does not play. Only what the polls saw
// counts: a pass held up (by a handshake, a slow command) starts the watch
// again. A disc is left alone: a drive spins up and seeks at its own pace.
bool PlayStalled(AppState* app, PlaybackWork* work, uint32_t position) {
    const uint32_t now = timeGetTime();
    const bool heldUp = now - work->lastPollAt > kMaxPollGapMs;
    work->lastPollAt = now;
    if (position != work->stillPosition || heldUp) {
        if (work->stillPosition != 0xFFFFFFFFu && position != work->stillPosition) work->moved = true;
        work->stillPosition = position;
        work->stillSince = now;
        work->stillAsked = false;
        return false;
    }
    if (Load(app->cdTrack)) return false;
    const uint32_t standing = now - work->stillSince;
    if (standing >= kStalledPlayMs) return true;
    if (standing < kStandingPlayMs || work->stillAsked || work->moved) return false;
    work->stillAsked = true;
    const uint32_t mode = QueryDeviceStatus(app, MCI_STATUS_MODE);
    return mode == MCI_MODE_STOP && position + kEndSlackMs < work->deviceLength;
}

// Runs on the playback thread: the stalled track goes as one that would not
// open does (the notice, its removal, and with Play Next the next track).
void FailStalledTrack(AppState* app, PlaybackWork* work) {
    RetireMediaDevice(app);
    ReportStatus(app, STATUS_OPEN_FAILED, reinterpret_cast<LPARAM>(work->trackPath), true);
}

// Runs on the playback thread.
void Poll(AppState* app, PlaybackWork* work) {
    const uint32_t position = QueryDeviceStatus(app, MCI_STATUS_POSITION);
    if (DeviceGivenUp()) return;
    if (PlayStalled(app, work, position)) {
        if (!DeviceGivenUp()) FailStalledTrack(app, work);
        return;
    }
    PrepareNextTrack(app, work, position);
    work->playFrom = position;
    if (work->clockMode) {
        const uint32_t now = timeGetTime();
        const uint32_t elapsed = now - work->lastTick;
        work->lastTick = now;
        work->shownPosition += elapsed < kMaxClockStepMs ? elapsed : kMaxClockStepMs;
    } else {
        work->shownPosition = position;
    }
    if (work->shownPosition == Load(app->positionMs)) return;

    // A CD device plays on past the last track's end into nothing, and
    // posts no end notice of its own: the end of the disc is found here.
    if (Load(app->cdTrack) == 1 && work->shownPosition >= work->deviceLength) {
        const int32_t state = Load(app->device.deviceState);
        if (state == DEV_PLAYING || state == DEV_PAUSED) StopDevice(app);
        if (DeviceGivenUp()) return;
        PostMessageW(app->mainWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL,
                     static_cast<LPARAM>(Load(app->device.deviceId)));
        work->shownPosition = work->mediaStart;
        work->playFrom = work->mediaStart;
    }
    Store(app->positionMs, work->shownPosition);
    Store(app->redraw, 1);
}

// Runs on the playback thread. Returns true when the thread must end: told
// to, or given up inside the device (then every step after the stuck one
// is skipped, since the flags and fields are a fresh thread's by now).
bool RunPass(AppState* app, PlaybackWork* work) {
    WaitForSingleObject(app->wakeEvent, kPassWaitMs);
    if (RequestSnapshot(app, SNAP_FLAGS)) {
        uint32_t flags = app->snapFlags;
        if (flags & PB_PLAY) {
            Store(app->trackStarting, 1);
            flags = StartRequestedTrack(app, work, flags);
        }
        if ((flags & PB_TOGGLE) && !DeviceGivenUp()) Toggle(app, work);
        if ((flags & PB_PLAY) && !DeviceGivenUp()) Store(app->trackStarting, 0);
        // Started or failed, the track no longer waits: the search may go on.
        if ((flags & PB_PLAY) && app->soundGate) SetEvent(app->soundGate);
        if (flags & PB_STOP) DropPrepared(work);
        if ((flags & PB_SEEK) && !DeviceGivenUp()) Seek(app, work);
        if ((flags & PB_STOP) && !DeviceGivenUp() && Stop(app, work, flags)) return true;
    }
    // Taken first if it was the track asked for; otherwise no longer next.
    if (work->prepared && work->prepared->nextChanges != Load(app->nextChanges)) DropPrepared(work);
    if (Load(app->device.deviceState) == DEV_PLAYING && !DeviceGivenUp()) Poll(app, work);
    return DeviceGivenUp();
}

// A thread left behind at shutdown (see LeavePlaybackThread) may still be
// running when the window is gone and the state has moved on to Closed.
bool KeepsRunning(AppState* app) {
    const int32_t state = Load(app->playbackState);
    return state != Closing && state != Closed;
}

// Runs on the user-interface thread, once the thread that published these
// has been left: what it showed is no longer true.
void ShowNothingOpen(AppState* app) {
    Store(app->device.deviceState, DEV_CLOSED);
    Store(app->trackStarting, 0);
    Store(app->device.deviceId, 0);
    Store(app->positionMs, 0);
    Store(app->seekScale, 0.0f);
    Store(app->cdTrack, 0);
    Store(app->redraw, 1);
}

}  // namespace

DWORD g_prepareLeadMs = 5000;

// Runs on the playback thread.
unsigned __stdcall PlaybackThread(void* argument) {
    AppState* app = static_cast<AppState*>(argument);
    PlaybackWork work;
    std::memset(&work, 0, sizeof(work));
    // Taken once for the thread's life; without it the scan simply finds
    // nothing for files whose first frame is not right after their tags.
    work.readBuffer = static_cast<uint8_t*>(std::malloc(kReadBufferBytes));

    bool told = false;
    while (!told && KeepsRunning(app)) told = RunPass(app, &work);
    DropPrepared(&work);
    if (!told && Load(app->device.deviceState) != DEV_CLOSED) CloseMediaDevice(app);
    RetireMediaDevice(app);
    std::free(work.readBuffer);
    work.readBuffer = nullptr;
    // A given-up thread has no say in the close: its token is stale.
    if (told && !DeviceGivenUp()) ReportDone(app, kPlaybackWorker);
    app->playbackThreadsRunning.fetch_sub(1, std::memory_order_release);
    return 0;
}

bool StartPlaybackThread(AppState* app) {
    Store(app->playbackState, Running);
    // While a thread is replaced, the handle block still names the old one,
    // so the new token differs from the one the old thread was given.
    app->playbackToken = ComputeThreadToken(app);
    unsigned threadId = 0;
    app->playbackThreadsRunning.fetch_add(1, std::memory_order_relaxed);
    uintptr_t handle = _beginthreadex(nullptr, 0, PlaybackThread, app, 0, &threadId);
    if (!handle) {
        app->playbackThreadsRunning.fetch_sub(1, std::memory_order_relaxed);
        Store(app->playbackState, Idle);
        return false;
    }
    app->playbackThreadId = threadId;
    app->playbackThreadHandle = reinterpret_cast<HANDLE>(handle);
    return true;
}

void LeavePlaybackThread(AppState* app) {
    if (app->playbackThreadHandle) CloseHandle(app->playbackThreadHandle);
    app->playbackThreadHandle = nullptr;
    ShowNothingOpen(app);
}

bool ReplacePlaybackThread(AppState* app) {
    // Reset before the new thread starts, which then publishes alone.
    ShowNothingOpen(app);
    HANDLE old = app->playbackThreadHandle;
    const bool started = StartPlaybackThread(app);
    if (old) CloseHandle(old);
    if (!started) app->playbackThreadHandle = nullptr;
    return started;
}

void EndProcessIfThreadsLeft(AppState* app, UINT exitCode) {
    // The window waited for its own thread, not for the devices it let go
    // unwaited: a close, or a preparation still in its open. Ended under
    // them the process crashes on its way out, so a healthy one is given
    // the time a closing call has.
    const DWORD start = GetTickCount();
    while (app->playbackThreadsRunning.load(std::memory_order_acquire) != 0 &&
           GetTickCount() - start < kClosingCallLimitMs) {
        Sleep(10);
    }
    if (app->playbackThreadsRunning.load(std::memory_order_acquire) == 0) return;
    // The ordinary exit unloads the device's libraries under the decoder
    // that is still inside them, which under Wine crashes the process on
    // its way out every time. Everything worth keeping is saved by now, so
    // the process ends without that step.
    TerminateProcess(GetCurrentProcess(), exitCode);
}
