#include "support/playback_support.h"

#include <digitalv.h>

#include <cmath>
#include <cstring>
#include <mutex>

#include "playback/media_device.h"
#include "support/window_fixture.h"

namespace {

std::mutex g_lock;
MciScript g_script;
std::vector<MciCall> g_calls;
AppState* g_scriptApp = nullptr;
bool g_passThrough = false;
int g_hung = 0;
MCIDEVICEID g_nextFreshId = 0;
HANDLE g_release = nullptr;  // manual reset: once released, opens never hang again
ULONGLONG g_clockShift = 0;   // the device clock is the real one moved by this,
ULONGLONG g_asleepSince = 0;  // standing here while this is not 0

BOOL WINAPI ScriptedClock(PULONGLONG out) {
    QueryUnbiasedInterruptTime(out);
    std::lock_guard<std::mutex> hold(g_lock);
    *out = (g_asleepSince ? g_asleepSince : *out) + g_clockShift;
    return TRUE;
}

// Called with the lock held; returns with it held again.
MCIDEVICEID HangOpen(std::unique_lock<std::mutex>* hold, bool asleep = false) {
    if (!g_release) g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE release = g_release;
    if (asleep) QueryUnbiasedInterruptTime(&g_asleepSince);
    ++g_hung;
    hold->unlock();
    WaitForSingleObject(release, INFINITE);
    hold->lock();
    --g_hung;
    ULONGLONG now = 0;
    QueryUnbiasedInterruptTime(&now);
    if (asleep) g_clockShift -= now - g_asleepSince;
    g_asleepSince = 0;
    return g_script.lateOpenId;
}

// The real device may wait on the window's thread (a sent message), and that
// thread takes the lock to read the calls: the lock is never held across it.
MCIERROR PassThrough(MciCall call, DWORD_PTR flags, DWORD_PTR params) {
    call.answer = mciSendCommandW(call.id, call.command, flags, params);
    if (call.command == MCI_OPEN && call.answer == 0) {
        call.opened = reinterpret_cast<MCI_OPEN_PARMSW*>(params)->wDeviceID;
    }
    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.push_back(call);
    return call.answer;
}

MCIERROR WINAPI ScriptedMciSend(MCIDEVICEID id, UINT command, DWORD_PTR flags, DWORD_PTR params) {
    std::unique_lock<std::mutex> hold(g_lock);
    MciCall call = {};
    call.id = id;
    call.command = command;
    call.flags = static_cast<DWORD>(flags);
    call.stateAtSend = Load(g_scriptApp->device.deviceState);
    MCIERROR answer = g_script.other;
    if (g_script.hangCommand == command) {
        g_script.hangCommand = 0;
        g_clockShift += g_script.outMs * 10000ull;
        if (g_release) ResetEvent(g_release);
        HangOpen(&hold, g_script.asleep);
    }
    if (g_passThrough) {
        if (command == MCI_OPEN) {
            auto* open = reinterpret_cast<MCI_OPEN_PARMSW*>(params);
            call.hasType = open->lpstrDeviceType != nullptr;
            if (call.hasType) call.deviceType = open->lpstrDeviceType;
            if (open->lpstrElementName) call.element = open->lpstrElementName;
        }
        hold.unlock();
        return PassThrough(call, flags, params);
    }
    switch (command) {
    case MCI_OPEN: {
        auto* open = reinterpret_cast<MCI_OPEN_PARMSW*>(params);
        call.hasType = open->lpstrDeviceType != nullptr;
        if (call.hasType) call.deviceType = open->lpstrDeviceType;
        if (open->lpstrElementName) call.element = open->lpstrElementName;
        if (!g_script.hangOpenOf.empty() && call.element == g_script.hangOpenOf) {
            answer = 0;
            open->wDeviceID = HangOpen(&hold);
            break;
        }
        answer = call.hasType ? g_script.typedOpen : g_script.untypedOpen;
        if (call.element == g_script.failOpenOf) answer = MCIERR_FILE_NOT_FOUND;
        if (answer == 0) open->wDeviceID = g_script.freshIds ? g_script.openId + g_nextFreshId++ : g_script.openId;
        break;
    }
    case MCI_CLOSE:
        answer = g_script.close;
        break;
    case MCI_RESUME:
        answer = g_script.resume;
        break;
    case MCI_SET:
        call.timeFormat = reinterpret_cast<MCI_SET_PARMS*>(params)->dwTimeFormat;
        break;
    case MCI_WINDOW:
        call.window = reinterpret_cast<MCI_DGV_WINDOW_PARMSW*>(params)->hWnd;
        break;
    case MCI_PLAY: {
        auto* play = reinterpret_cast<MCI_PLAY_PARMS*>(params);
        call.callback = play->dwCallback;
        call.from = play->dwFrom;
        break;
    }
    case MCI_STATUS: {
        auto* status = reinterpret_cast<MCI_STATUS_PARMS*>(params);
        call.item = status->dwItem;
        call.track = status->dwTrack;
        const bool ofTrack = (flags & MCI_TRACK) != 0;
        switch (status->dwItem) {
        case MCI_STATUS_LENGTH: status->dwReturn = g_script.length; break;
        case MCI_STATUS_NUMBER_OF_TRACKS: status->dwReturn = g_script.tracks; break;
        case MCI_STATUS_MODE: status->dwReturn = g_script.mode; break;
        case MCI_STATUS_POSITION:
            status->dwReturn = ofTrack ? g_script.firstTrackMs + (status->dwTrack - 1) * g_script.trackMs
                                       : g_script.position;
            break;
        default: status->dwReturn = 0; break;
        }
        break;
    }
    default:
        break;
    }
    call.answer = answer;
    g_calls.push_back(call);
    return answer;
}

BOOL WINAPI ScriptedReadFile(HANDLE file, LPVOID out, DWORD count, LPDWORD got, LPOVERLAPPED overlapped) {
    {
        std::unique_lock<std::mutex> hold(g_lock);
        if (g_script.hangRead) {
            g_script.hangRead = false;
            g_clockShift += g_script.outMs * 10000ull;
            if (g_release) ResetEvent(g_release);
            HangOpen(&hold);
        }
    }
    return ReadFile(file, out, count, got, overlapped);
}

void PutTag(std::vector<uint8_t>* out, const char* tag) {
    for (const char* p = tag; *p; ++p) out->push_back(static_cast<uint8_t>(*p));
}

void PutLe(std::vector<uint8_t>* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

void InstallScriptedMci(AppState* app) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_scriptApp = app;
    g_passThrough = false;
    g_script = MciScript();
    g_calls.clear();
    // Opens released earlier have already woken; new ones hang again.
    if (g_release) ResetEvent(g_release);
    g_nextFreshId = 0;
    g_mciSend = ScriptedMciSend;
    g_readFile = ScriptedReadFile;
    g_unbiasedClock = ScriptedClock;  // never set back: it must not run backwards
}

void InstallRecordingMci(AppState* app) {
    InstallScriptedMci(app);
    std::lock_guard<std::mutex> hold(g_lock);
    g_passThrough = true;
}

void EditScript(const std::function<void(MciScript&)>& edit) {
    std::lock_guard<std::mutex> hold(g_lock);
    edit(g_script);
}

int HungOpens() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_hung;
}

void ReleaseHungOpens() {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_release) g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetEvent(g_release);
}

std::vector<MciCall> RecordedCalls() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_calls;
}

size_t CountCalls(UINT command) {
    std::lock_guard<std::mutex> hold(g_lock);
    size_t count = 0;
    for (const MciCall& call : g_calls) count += call.command == command ? 1 : 0;
    return count;
}

void ClearCalls() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.clear();
}

bool PumpCountingEnds(const std::function<bool()>& done, DWORD timeoutMs, int* ends) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            if (msg.message == MM_MCINOTIFY && msg.wParam == MCI_NOTIFY_SUCCESSFUL) ++*ends;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            // The next peek may already run a worker's message that changes
            // what this one left (a fresh thread's first status over a notice).
            if (done()) return true;
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<uint8_t> MakeSilentWav(double seconds, uint32_t sampleRate) {
    const uint32_t samples = static_cast<uint32_t>(std::ceil(seconds * sampleRate));
    const uint32_t dataBytes = samples * 2;
    std::vector<uint8_t> out;
    PutTag(&out, "RIFF");
    PutLe(&out, 36 + dataBytes, 4);
    PutTag(&out, "WAVEfmt ");
    PutLe(&out, 16, 4);              // format chunk size
    PutLe(&out, 1, 2);               // PCM
    PutLe(&out, 1, 2);               // mono
    PutLe(&out, sampleRate, 4);
    PutLe(&out, sampleRate * 2, 4);  // bytes per second
    PutLe(&out, 2, 2);               // block align
    PutLe(&out, 16, 2);              // bits per sample
    PutTag(&out, "data");
    PutLe(&out, dataBytes, 4);
    out.resize(out.size() + dataBytes, 0);
    return out;
}

std::wstring WriteTestFile(const std::wstring& dir, const wchar_t* name,
                           const std::vector<uint8_t>& bytes) {
    const std::wstring path = dir + L"\\" + name;
    if (!WriteFileBytes(path, bytes.data(), bytes.size())) return std::wstring();
    return path;
}
