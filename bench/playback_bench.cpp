// Playback engine figures, run under Wine by bench/playback.sh:
//   playback_bench write PATH          writes a 5-minute silent MP3
//   playback_bench switch PATH         median track-switch latency of the player
//                                      from a closed device and from a playing track
//   playback_bench bare PATH           median of a bare open + time format + play
//   playback_bench cpu SECONDS [PATH]  CPU time of the whole process while the
//                                      window idles (no PATH) or PATH plays
//   playback_bench library DIR TRACK   lays out DIR: lone\lone.mp3, and a library of
//                                      100,000 names in 200 folders with top.mp3 in
//                                      its root (copies or links of TRACK)
//   playback_bench firstsound DIR      median time from the hand-off to the first
//                                      sound: the lone file, the library's top.mp3
//                                      and the library folder, runs interleaved
//   playback_bench album DIR           writes DIR\01.mp3 ... (2-second tracks)
//   playback_bench gap DIR HOW         median time from one track's end notice to the
//                                      next one's play answered, over the folder with
//                                      Play Next: HOW is bare (two devices, the second
//                                      cued, played at the notice), prepared,
//                                      unprepared, or either with -slow (every file
//                                      read takes 300 ms longer)
#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/worker_messages.h"
#include "core/worker_protocol.h"
#include "library/open_path.h"
#include "playback/media_device.h"
#include "playback/playback_thread.h"
#include "native/support/mp3_writer.h"
#include "support/window_fixture.h"

namespace {

constexpr int kRuns = 5;
constexpr DWORD kWaitMs = 20000;

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Open, millisecond time format and play with notification: what the player
// itself sends for a track, without the thread, the scan or the handshakes.
bool BareSwitch(const wchar_t* path, HWND notify, double* ms) {
    const double start = NowMs();
    MCI_OPEN_PARMSW open = {};
    open.lpstrDeviceType = L"MPEGVideo";
    open.lpstrElementName = path;
    if (mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT,
                        reinterpret_cast<DWORD_PTR>(&open)) != 0) {
        return false;
    }
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    mciSendCommandW(open.wDeviceID, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT,
                    reinterpret_cast<DWORD_PTR>(&set));
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(notify);
    const MCIERROR played = mciSendCommandW(open.wDeviceID, MCI_PLAY, MCI_NOTIFY | MCI_FROM,
                                            reinterpret_cast<DWORD_PTR>(&play));
    *ms = NowMs() - start;
    MCI_GENERIC_PARMS close = {};
    mciSendCommandW(open.wDeviceID, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    return played == 0;
}

int WriteTrack(const wchar_t* path) {
    const std::vector<uint8_t> bytes = MakeSilentMp3(300.0);
    return WriteFileBytes(path, bytes.data(), bytes.size()) ? 0 : 1;
}

// From PB_PLAY set to deviceState playing; with fromPlaying the previous
// track is still playing, so the switch includes its close.
bool PlayerSwitch(AppState* app, const wchar_t* path, bool fromPlaying, double* ms) {
    if (!fromPlaying) {
        SignalPlayback(app, PB_STOP | PB_CLOSE);
        if (!PumpUntil([&] { return Load(app->device.deviceState) == DEV_CLOSED; }, kWaitMs, 1)) {
            return false;
        }
    }
    CopyText(app->currentPath, path, kBufferUnits - 1);
    const double start = NowMs();
    SignalPlayback(app, PB_PLAY);
    // Coming from a playing track the state reads playing before the
    // switch; only a playing state after the close counts.
    bool sawOpen = !fromPlaying;
    const bool done = PumpUntil(
        [&] {
            const int32_t state = Load(app->device.deviceState);
            if (state != DEV_PLAYING) sawOpen = true;
            return sawOpen && state == DEV_PLAYING;
        },
        kWaitMs, 1);
    *ms = NowMs() - start;
    return done;
}

// In a process of its own: once the player's window thread has entered its
// single-threaded apartment, Wine's MPEG device no longer opens for a bare
// caller in the same process.
int Bare(const wchar_t* path) {
    // The player's process keeps COM loaded for its whole life (its window
    // thread's apartment), so each open finds the media libraries in place;
    // without this the device's own COM start-up and shut-down per open
    // would make the bare figure look slower than it is.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HWND notify = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    std::vector<double> bare;
    double ms = 0.0;
    if (!BareSwitch(path, notify, &ms)) return 1;  // warm-up: loads the device and codecs
    for (int i = 0; i < kRuns; ++i) {
        if (!BareSwitch(path, notify, &ms)) return 1;
        bare.push_back(ms);
    }
    DestroyWindow(notify);
    std::printf("%.1f\n", Median(bare));
    return 0;
}

int Switch(const wchar_t* path) {
    AppState* app = ResetWithDefaults();
    app->afterPlayback = AFTER_STOP;
    if (!CreatePlayerWindow(app)) return 1;
    std::vector<double> fromClosed, fromPlaying;
    double ms = 0.0;
    if (!PlayerSwitch(app, path, false, &ms)) return 1;  // warm-up
    for (int i = 0; i < kRuns; ++i) {
        if (!PlayerSwitch(app, path, false, &ms)) return 1;
        fromClosed.push_back(ms);
    }
    for (int i = 0; i < kRuns; ++i) {
        if (!PlayerSwitch(app, path, true, &ms)) return 1;
        fromPlaying.push_back(ms);
    }
    CloseAndWait(app);
    std::printf("%.1f %.1f\n", Median(fromClosed), Median(fromPlaying));
    return 0;
}

constexpr int kLibraryFolders = 200;
constexpr int kLibraryPerFolder = 500;

bool CopyTrack(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

// The folders hold a short real track each, linked 500 times (a link costs
// a fifth of a creation under Wine), so a drawn track of the folder plays.
int Library(const std::wstring& dir, const std::wstring& track) {
    const std::wstring lone = dir + L"\\lone";
    const std::wstring library = dir + L"\\library";
    if (GetFileAttributesW(library.c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    const std::wstring part = library + L".part";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW(lone.c_str(), nullptr);
    if (!CopyTrack(track, lone + L"\\lone.mp3") || !CreateDirectoryW(part.c_str(), nullptr) ||
        !CopyTrack(track, part + L"\\top.mp3")) {
        return 1;
    }
    const std::vector<uint8_t> shortTrack = MakeSilentMp3(10.0);
    for (int f = 0; f < kLibraryFolders; ++f) {
        const std::wstring folder = part + L"\\d" + std::to_wstring(f);
        const std::wstring first = folder + L"\\0.mp3";
        if (!CreateDirectoryW(folder.c_str(), nullptr) ||
            !WriteFileBytes(first, shortTrack.data(), shortTrack.size())) {
            return 1;
        }
        for (int i = 1; i < kLibraryPerFolder; ++i) {
            const std::wstring link = folder + L"\\" + std::to_wstring(i) + L".mp3";
            if (!CreateHardLinkW(link.c_str(), first.c_str(), nullptr)) return 1;
        }
    }
    return MoveFileW(part.c_str(), library.c_str()) ? 0 : 1;
}

// From the hand-off a second launch makes to the device playing, with the
// device closed and no search running before it.
bool HandOffToSound(AppState* app, const std::wstring& path, double* ms) {
    SignalPlayback(app, PB_STOP | PB_CLOSE);
    if (!PumpUntil([&] { return Load(app->device.deviceState) == DEV_CLOSED && Load(app->searchState) == Idle; },
                   kWaitMs, 1)) {
        return false;
    }
    wchar_t buffer[512] = {};
    CopyText(buffer, path.c_str(), 511);
    COPYDATASTRUCT data = {0, sizeof(buffer), buffer};
    const double start = NowMs();
    SendMessageW(app->mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    const bool done = PumpUntil([&] { return Load(app->device.deviceState) == DEV_PLAYING; }, kWaitMs, 1);
    *ms = NowMs() - start;
    return done && PumpUntil([&] { return Load(app->searchState) == Idle; }, kWaitMs);
}

int FirstSound(const std::wstring& dir) {
    const std::wstring paths[] = {dir + L"\\lone\\lone.mp3", dir + L"\\library\\top.mp3",
                                  dir + L"\\library\\"};
    AppState* app = ResetWithDefaults();
    app->afterPlayback = AFTER_STOP;
    app->includeSubdirs = 1;
    if (!CreatePlayerWindow(app)) return 1;
    std::vector<double> times[3];
    double ms = 0.0;
    for (int run = 0; run <= kRuns; ++run) {
        for (int k = 0; k < 3; ++k) {
            if (!HandOffToSound(app, paths[k], &ms)) return 1;
            if (run > 0) times[k].push_back(ms);  // the first round warms the caches
        }
    }
    CloseAndWait(app);
    std::printf("%.1f %.1f %.1f\n", Median(times[0]), Median(times[1]), Median(times[2]));
    return 0;
}

uint64_t ProcessCpu100ns() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](FILETIME t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

int Cpu(int seconds, const wchar_t* path) {
    AppState* app = ResetWithDefaults();
    app->afterPlayback = AFTER_STOP;
    if (!CreatePlayerWindow(app)) return 1;
    if (path) {
        CopyText(app->currentPath, path, kBufferUnits - 1);
        SignalPlayback(app, PB_PLAY);
        if (!PumpUntil([&] { return Load(app->device.deviceState) == DEV_PLAYING; }, kWaitMs)) {
            return 1;
        }
    }
    PumpFor(2000);  // past start-up and the first paints
    const uint64_t cpuStart = ProcessCpu100ns();
    const double wallStart = NowMs();
    // The player's own loop waits in GetMessage; this one must not spin either.
    const double end = wallStart + seconds * 1000.0;
    for (;;) {
        const double now = NowMs();
        if (now >= end) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now) + 1,
                                  QS_ALLINPUT);
    }
    const double cpuMs = static_cast<double>(ProcessCpu100ns() - cpuStart) / 10000.0;
    const double wallMs = NowMs() - wallStart;
    const bool stillPlaying = !path || Load(app->device.deviceState) == DEV_PLAYING;
    CloseAndWait(app);
    std::printf("%.3f\n", cpuMs / wallMs * 100.0);
    return stillPlaying ? 0 : 1;
}


constexpr int kAlbumTracks = 12;  // eleven switches
constexpr double kAlbumTrackSeconds = 2.0;
constexpr DWORD kSlowReadMs = 300;

int Album(const std::wstring& dir) {
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::vector<uint8_t> bytes = MakeSilentMp3(kAlbumTrackSeconds);
    for (int i = 1; i <= kAlbumTracks; ++i) {
        wchar_t name[16];
        std::swprintf(name, 16, L"\\%02d.mp3", i);
        if (!WriteFileBytes(dir + name, bytes.data(), bytes.size())) return 1;
    }
    return 0;
}

std::mutex g_playLock;
std::vector<double> g_plays;  // when each play was answered

MCIERROR WINAPI TimedSend(MCIDEVICEID id, UINT command, DWORD_PTR flags, DWORD_PTR params) {
    const MCIERROR answer = mciSendCommandW(id, command, flags, params);
    if (command == MCI_PLAY && answer == 0) {
        std::lock_guard<std::mutex> hold(g_playLock);
        g_plays.push_back(NowMs());
    }
    return answer;
}

BOOL WINAPI SlowRead(HANDLE file, LPVOID out, DWORD count, LPDWORD got, LPOVERLAPPED overlapped) {
    Sleep(kSlowReadMs);
    return ReadFile(file, out, count, got, overlapped);
}

// For each end notice, the first play answered after it.
double MedianGap(const std::vector<double>& notices) {
    std::lock_guard<std::mutex> hold(g_playLock);
    std::vector<double> gaps;
    for (const double notice : notices) {
        const auto next = std::lower_bound(g_plays.begin(), g_plays.end(), notice);
        if (next != g_plays.end()) gaps.push_back(*next - notice);
    }
    return gaps.empty() ? -1.0 : Median(gaps);
}

// Pumps until count end notices have arrived, noting when each did.
bool CollectEnds(int count, std::vector<double>* notices, const std::function<void(LPARAM)>& atEnd) {
    const double deadline = NowMs() + count * (kAlbumTrackSeconds * 1000.0 + kWaitMs);
    while (static_cast<int>(notices->size()) < count && NowMs() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == MM_MCINOTIFY && msg.wParam == MCI_NOTIFY_SUCCESSFUL) {
                notices->push_back(NowMs());
                if (atEnd) atEnd(msg.lParam);
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return static_cast<int>(notices->size()) >= count;
}

MCIDEVICEID OpenCued(const std::wstring& path) {
    MCI_OPEN_PARMSW open = {};
    open.lpstrDeviceType = L"MPEGVideo";
    open.lpstrElementName = path.c_str();
    if (TimedSend(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open))) return 0;
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    TimedSend(open.wDeviceID, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&set));
    MCI_GENERIC_PARMS cue = {};
    TimedSend(open.wDeviceID, MCI_CUE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&cue));
    return open.wDeviceID;
}

bool PlayNotifying(MCIDEVICEID id, HWND notify) {
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(notify);
    return TimedSend(id, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<DWORD_PTR>(&play)) == 0;
}

// The floor: each next track opened and cued on a second device while the
// one before plays, played the moment its end notice arrives.
int BareGap(const std::wstring& dir) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HWND notify = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const auto track = [&](int i) {
        wchar_t name[16];
        std::swprintf(name, 16, L"\\%02d.mp3", i % kAlbumTracks + 1);
        return dir + name;
    };
    MCIDEVICEID playing = OpenCued(track(0));
    MCIDEVICEID next = OpenCued(track(1));
    if (!playing || !next || !PlayNotifying(playing, notify)) return 1;
    int played = 1;
    std::vector<double> notices;
    const bool done = CollectEnds(kAlbumTracks - 1, &notices, [&](LPARAM) {
        PlayNotifying(next, notify);
        MCI_GENERIC_PARMS close = {};
        mciSendCommandW(playing, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
        playing = next;
        next = OpenCued(track(++played));
    });
    std::printf("%.1f\n", MedianGap(notices));
    return done ? 0 : 1;
}

int PlayerGap(const std::wstring& dir, const std::wstring& how) {
    if (how == L"bare") return BareGap(dir);
    g_prepareLeadMs = how.compare(0, 8, L"prepared") == 0 ? g_prepareLeadMs : 0;
    if (how.size() > 5 && how.compare(how.size() - 5, 5, L"-slow") == 0) g_readFile = SlowRead;
    g_mciSend = TimedSend;
    AppState* app = ResetWithDefaults();
    app->afterPlayback = AFTER_NEXT;
    if (!CreatePlayerWindow(app)) return 1;
    CopyText(app->pathBuffer, (dir + L"\\01.mp3").c_str(), kBufferUnits - 1);
    OpenPathBuffer(app);
    std::vector<double> notices;
    const bool done = CollectEnds(kAlbumTracks - 1, &notices, nullptr);
    CloseAndWait(app);
    std::printf("%.1f\n", MedianGap(notices));
    return done ? 0 : 1;
}

}  // namespace

int main() {
    // The wide command line, so that any path arrives unchanged.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    if (argc >= 3 && std::wcscmp(argv[1], L"write") == 0) return WriteTrack(argv[2]);
    if (argc >= 3 && std::wcscmp(argv[1], L"switch") == 0) return Switch(argv[2]);
    if (argc >= 3 && std::wcscmp(argv[1], L"bare") == 0) return Bare(argv[2]);
    if (argc >= 4 && std::wcscmp(argv[1], L"library") == 0) return Library(argv[2], argv[3]);
    if (argc >= 3 && std::wcscmp(argv[1], L"firstsound") == 0) return FirstSound(argv[2]);
    if (argc >= 3 && std::wcscmp(argv[1], L"album") == 0) return Album(argv[2]);
    if (argc >= 4 && std::wcscmp(argv[1], L"gap") == 0) return PlayerGap(argv[2], argv[3]);
    if (argc >= 3 && std::wcscmp(argv[1], L"cpu") == 0) {
        return Cpu(std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))),
                   argc >= 4 ? argv[3] : nullptr);
    }
    std::fprintf(stderr, "usage: playback_bench write|switch|bare PATH, or cpu SECONDS [PATH]\n");
    return 2;
}
