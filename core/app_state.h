// The one state record of the player, shared by the user-interface thread,
// the playback thread and the search thread.
//
// Fields that one thread writes while another reads them without a handshake
// are std::atomic of the same size as the plain field, loaded and stored with
// relaxed ordering through Load/Store below: the program takes no locks, and
// every hand-over of real data goes through synchronous window messages.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>

#include "core/face_types.h"

// Thread states of playbackState and searchState; 4 is not used.
enum ThreadState : int32_t {
    Idle = 0,
    Closing = 1,
    Closed = 2,
    Running = 3,
    Stopping = 5,
};

// Pending command bits for the playback thread.
constexpr uint32_t PB_PLAY = 0x01;
constexpr uint32_t PB_TOGGLE = 0x02;
constexpr uint32_t PB_SEEK = 0x04;
constexpr uint32_t PB_STOP = 0x08;
constexpr uint32_t PB_CLOSE = 0x10;
constexpr uint32_t PB_EXIT = 0x20;

// After-playback actions.
constexpr int32_t AFTER_EXIT = 0;
constexpr int32_t AFTER_STOP = 1;
constexpr int32_t AFTER_REPEAT = 2;
constexpr int32_t AFTER_NEXT = 3;

// Media device states.
constexpr int32_t DEV_CLOSED = 0;
constexpr int32_t DEV_STOPPED = 1;
constexpr int32_t DEV_PLAYING = 2;
constexpr int32_t DEV_PAUSED = 3;

// Messages between the worker threads and the main window.
constexpr UINT WM_APP_SNAPSHOT = WM_APP + 0;
constexpr UINT WM_APP_DEFER = WM_APP + 1;
constexpr UINT WM_APP_WORKER_DONE = WM_APP + 3;
constexpr UINT WM_APP_STATUS = WM_APP + 5;
constexpr UINT WM_APP_OPERATION = WM_APP + 6;

// Snapshot codes (wParam of WM_APP_SNAPSHOT).
constexpr WPARAM SNAP_FLAGS = 0x3B00;
constexpr WPARAM SNAP_TRACK_PATH = 0x3B01;
constexpr WPARAM SNAP_SEEK = 0x3B02;
constexpr WPARAM SNAP_SEARCH = 0x3B03;
constexpr WPARAM SNAP_NEXT_PATH = 0x3B04;

// Status codes (wParam of WM_APP_STATUS).
constexpr WPARAM STATUS_TEXT = 0;
constexpr WPARAM STATUS_NOTICE = 1;
constexpr WPARAM STATUS_OPEN_FAILED = 3;

// Worker indices of WM_APP_WORKER_DONE.
constexpr int kPlaybackWorker = 0;
constexpr int kSearchWorker = 1;

// Status kinds: what the display area shows.
enum StatusKind : int32_t {
    StatusShowText = 0,
    StatusSearching = 1,
    StatusVolume = 2,
    StatusOpenFailed = 3,
    StatusNoAudio = 4,
    StatusPathTooLong = 5,
    StatusDeviceStuck = 6,
    StatusFolderGone = 7,
};

// Regions under the pointer; 1 and 3 are not used.
enum HoverRegion : int32_t {
    HoverNone = 0,
    HoverDisplay = 2,
    HoverPlay = 4,
    HoverStop = 5,
    HoverNext = 6,
    HoverVolume = 7,
    HoverMenu = 8,
    HoverClose = 9,
};

// Deferred-command codes and the slot each one parks in.
enum DeferredCode : int32_t {
    DEFER_CLOSE = 1,
    DEFER_OPEN_FILE = 2,
    DEFER_OPEN_DIRECTORY = 3,
    DEFER_OPEN_PATH = 4,
    DEFER_START_SEARCH = 5,
    DEFER_BUILD_ORDER = 6,
    DEFER_SHUFFLE = 7,
    DEFER_SELECT_TRACK = 8,
    DEFER_REMOVE_FAILED = 9,
    DEFER_SUBDIRS = 10,
    DEFER_NEXT = 11,
    DEFER_PREVIOUS = 12,
    DEFER_REPLAY_POSITION = 13,
    DEFER_RANDOM = 14,
    // The end of a track with Play Next: parked like Next, but run without
    // the guard that keeps a second key press from skipping two tracks.
    DEFER_PLAY_NEXT = 15,
};
constexpr int kSlotOrder = 0;
constexpr int kSlotMain = 1;
constexpr int kSlotSelect = 2;
constexpr int kSlotSubdirs = 3;

// Command identifiers of the context menu and keyboard.
enum CommandId : int32_t {
    CMD_OPEN_FILE = 9001,
    CMD_OPEN_DIRECTORY = 9002,
    CMD_PLAY_PAUSE = 9003,
    CMD_STOP = 9004,
    CMD_SHUFFLE = 9005,
    CMD_SUBDIRS = 9006,
    CMD_TYPE_MP3 = 9007,
    CMD_TYPE_WMA = 9008,
    CMD_TYPE_M4A = 9009,
    CMD_TYPE_AAC = 9010,
    CMD_TYPE_FLAC = 9011,
    CMD_TYPE_MIDI = 9012,
    CMD_TYPE_WAV = 9013,
    CMD_PREVIOUS = 9014,
    CMD_NEXT = 9015,
    CMD_RANDOM = 9016,
    CMD_VOLUME_UP = 9017,
    CMD_VOLUME_DOWN = 9018,
    CMD_MUTE = 9019,
    CMD_AFTER_EXIT = 9020,
    CMD_AFTER_STOP = 9021,
    CMD_AFTER_REPEAT = 9022,
    CMD_AFTER_NEXT = 9023,
    CMD_FONT_DEFAULT = 9024,
    CMD_FONT_TREBUCHET = 9032,
    CMD_ALWAYS_ON_TOP = 9033,
    CMD_HALF_HEIGHT = 9034,
    CMD_COLOR = 9035,
    CMD_MINIMIZE = 9036,
    CMD_INCREASE_SIZE = 9037,
    CMD_DECREASE_SIZE = 9038,
    CMD_ABOUT = 9039,
    CMD_EXIT = 9040,
    CMD_RESUME = 9041,
};
constexpr int32_t kFirstCommand = 9001;
constexpr int32_t kLastCommand = 9041;

// File-type bits of fileTypes.
constexpr uint32_t TYPE_MP3 = 0x01;
constexpr uint32_t TYPE_WMA = 0x02;
constexpr uint32_t TYPE_AAC = 0x04;
constexpr uint32_t TYPE_M4A = 0x08;
constexpr uint32_t TYPE_MIDI = 0x10;
constexpr uint32_t TYPE_WAV = 0x20;
constexpr uint32_t TYPE_FLAC = 0x40;

constexpr int kPathUnits = 260;     // one path: 259 characters and a terminator
constexpr int kBufferUnits = 512;   // buffers that receive paths from outside
constexpr int kMaxTracks = 100000;
constexpr UINT_PTR kTickTimerId = 1;
constexpr UINT kTickMs = 50;
constexpr int32_t kKillTicks = 800;
constexpr DWORD kSnapshotTimeoutMs = 8000;
constexpr int kSettingCount = 13;   // numeric settings under the registry key

extern const wchar_t kProductName[];  // "Pebbletune": class name, title, first status

// One track list entry: a full path of at most 259 units and its terminator.
struct TrackEntry {
    wchar_t path[kPathUnits];
};

// Where the player would go on from at its next start: the path that was
// opened (its search gave the list), the track and its place in it.
struct ResumePoint {
    wchar_t opened[kPathUnits];
    wchar_t track[kPathUnits];
    uint32_t positionMs;
    int32_t paused;
};

struct MediaDevice {
    std::atomic<int32_t> deviceState;
    std::atomic<uint32_t> deviceId;
    std::atomic<uint32_t> deviceLastError;
};

struct DibTarget {
    uint32_t status;
    int32_t width;
    int32_t height;
    HBITMAP bitmap;
    void* bits;
    BITMAPINFO info;
};

struct PointerPos {
    int32_t x;
    int32_t y;
};

struct AppState {
    // Handle block: the bytes ComputeThreadToken hashes, from instance
    // through searchToken.
    const wchar_t* className;
    HINSTANCE instance;
    uint64_t processId;
    HWND mainWindow;
    HWND videoWindow;
    HFONT statusFont;
    HMENU contextMenu;
    HMENU fileTypesMenu;
    HMENU navigateMenu;
    HMENU volumeMenu;
    HMENU afterPlaybackMenu;
    HMENU fontMenu;
    HMENU windowMenu;
    HANDLE wakeEvent;
    HANDLE playbackThreadHandle;
    HANDLE searchThreadHandle;
    uint32_t playbackThreadId;
    uint32_t searchThreadId;
    uint32_t playbackToken;
    uint32_t searchToken;

    // Commands, settings and counters.
    uint32_t commandFlags;
    int32_t deferredSlots[4];
    int32_t afterPlayback;
    uint32_t baseColor;
    int32_t fontType;
    int32_t halfHeight;
    int32_t shuffle;
    int32_t includeSubdirs;
    std::atomic<uint32_t> fileTypes;  // read live by the search thread
    int32_t alwaysOnTop;
    int32_t resumeOnStart;
    uint32_t volume;
    int32_t sizeFactor;
    int32_t windowX;
    int32_t windowY;
    int32_t playPosition;
    std::atomic<int32_t> currentTrack;   // search thread writes -1 at its start
    std::atomic<int32_t> trackCount;     // search thread fills the list
    std::atomic<int32_t> trackCapacity;
    int32_t ticksSinceSelect;
    int32_t killCountdown;
    std::atomic<int32_t> redraw;         // set by every thread
    int32_t statusKind;
    int32_t statusTicks;
    int32_t frameFallback;
    int32_t windowActive;
    int32_t windowWidth;
    int32_t windowHeight;
    Rect windowRect;
    int32_t pointerMoved;
    PointerPos pointerPos;
    int32_t volumeDelta;
    int32_t hoverRegion;
    float hoverFade;
    std::atomic<int32_t> cdTrack;        // playback thread writes
    uint32_t mutedVolume;
    uint32_t startWaveVolume;
    uint32_t startMidiVolume;
    uint32_t randomState;                // the player's one random generator
    // Counts the selections; the playback thread publishes the one it has
    // open (openedSelection), so an end of play can be told from one that
    // belongs to the track playing before.
    uint32_t selectionSerial;
    // Shuffle presses made during a search, as one pending toggle (two
    // presses cancel): a slot would let the search's own rebuild or a
    // removal displace it. Applied once, after the order work.
    int32_t shuffleParked;
    // A failed track's successor that its removal left to a parked open;
    // played when that open ends without opening anything.
    int32_t successorOwed;
    // The selection asked for once more after the thread that was starting
    // it was given up, plus one (so the zeroed record has asked for none): a
    // second give-up of the same one moves on instead.
    uint32_t retriedSelection;
    // The stored values as last written and as the tick last saw them, in
    // the order they are stored (settings/settings.cpp).
    uint32_t settingsWritten[kSettingCount];
    uint32_t settingsSeen[kSettingCount];
    int32_t settingsTicks;
    // Resume on Start: the place as last written (empty paths: none stored),
    // as the last settings look saw it, and the looks since the last write;
    // see settings/resume_point.h.
    ResumePoint resumeWritten;
    ResumePoint resumeSeen;
    int32_t resumeLooks;
    // The saved place handed to the playback thread with the one selection
    // it was made for, at a resume start; cleared when the thread takes its
    // next track, whichever it is.
    int32_t resumePending;
    uint32_t resumeSelection;
    uint32_t resumeFromMs;
    int32_t resumePaused;

    // Paths and texts.
    wchar_t pathBuffer[kBufferUnits];
    wchar_t currentPath[kBufferUnits];
    wchar_t searchDir[kBufferUnits];
    wchar_t openedPath[kPathUnits];      // the path whose search gave the list
    wchar_t failedPath[kBufferUnits];
    wchar_t frameText[kBufferUnits];
    wchar_t drawnText[kBufferUnits];
    wchar_t statusText[kBufferUnits];

    // Display values written by the playback thread, and colours.
    std::atomic<uint32_t> positionMs;
    std::atomic<float> seekScale;
    // The selection whose track the device has open, and GetTickCount() just
    // after its open and again before every play or resume: an end of play
    // posted shortly before then is an older play's.
    std::atomic<uint32_t> openedSelection;
    std::atomic<uint32_t> openedAt;
    // Set by the playback thread from taking a track until it plays (or
    // fails): a command given up meanwhile held up a track on its way, any
    // other one abandoned a playing track.
    std::atomic<int32_t> trackStarting;
    // Counts the changes of what comes next (a new order, a new position, a
    // search, another After Playback action): a track prepared before the
    // latest one is let go.
    std::atomic<uint32_t> nextChanges;
    float seekFraction;
    int32_t hoverX;
    SkinColors colors;

    // Worker snapshots: written by the UI thread inside a synchronous
    // handshake, read by the worker after the handshake returned.
    uint32_t snapFlags;
    wchar_t snapPath[kBufferUnits];
    uint32_t snapSelection;              // selectionSerial that snapPath belongs to
    // The track Play Next would go to, for the playback thread to prepare;
    // empty when nothing may be prepared now.
    wchar_t snapNextPath[kBufferUnits];
    uint32_t snapStartMs;                // a resumed track's saved place, else 0
    int32_t snapStartPaused;             // a resumed track stands cued there
    float snapSeekFraction;
    wchar_t searchRoot[kBufferUnits];
    int32_t searchDepth;

    // Thread states and the media device.
    std::atomic<int32_t> playbackState;
    std::atomic<int32_t> searchState;
    // Manual reset, normally set. A file that plays while its search runs
    // resets it, and the search waits (a second at most) until the playback
    // thread has started the file: on two cores the walk would slow the open.
    HANDLE soundGate;
    MediaDevice device;
    // Unbiased interrupt time (100 ns units, never 0) at which the playback
    // thread sent the device command that is still out, 0 between commands.
    // The timer tick gives up on a command by taking a stale stamp back to 0
    // (see media_device.h). The command is stored before its stamp.
    std::atomic<uint64_t> deviceCallSince;
    std::atomic<uint32_t> deviceCallCommand;
    // Playback threads started and not yet returned: the current one, any
    // the window went on without (see LeavePlaybackThread), and the device
    // keepers, which a device that never answers may hold for good.
    std::atomic<int32_t> playbackThreadsRunning;

    // Drawing resources.
    DibTarget dib;
    BlendParams blend;
    SkinImages images;
    SkinLayout layout;
    uint8_t scanLine[1848];
    uint8_t blendTables[3 * 256];

    // Lists: allocated and filled by the search thread.
    std::atomic<TrackEntry*> trackList;
    std::atomic<int32_t*> playOrder;
};

extern AppState* g_app;

// Relaxed access to the shared fields.
template <class T>
inline T Load(const std::atomic<T>& field) {
    return field.load(std::memory_order_relaxed);
}
template <class T, class V>
inline void Store(std::atomic<T>& field, V value) {
    field.store(static_cast<T>(value), std::memory_order_relaxed);
}

// Puts the record into its constructed state: all zero, className set, the
// fixed bitmap-header and blend members set, statusText "Pebbletune",
// redraw 1. Returns the record.
AppState* ResetAppState();

// 32-bit rotate-add hash of the handle block, as little-endian bytes in
// field order (136 bytes).
uint32_t ComputeThreadToken(const AppState* app);
// The same hash over raw bytes; exposed so tests can check it by hand.
uint32_t HashTokenBytes(const uint8_t* bytes, size_t count);

// Shows a status kind for ticks ticks. The plain line, "open failed", "no
// audio" and "device not responding" put the product name back as the text
// the line falls to once the notice expires. Sets redraw. (A worker's own
// text goes through the frame, which trims it to the display: SetStatus.)
void ShowStatusKind(AppState* app, int32_t kind, int32_t ticks);

// Bounded wide-string helpers: copy at most maxChars characters, always terminated.
void CopyText(wchar_t* dst, const wchar_t* src, size_t maxChars);
