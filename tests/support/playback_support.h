// Helpers for the media device and playback thread tests: a scripted stand-in
// for the MCI entry point (for what the platform cannot produce here: audio
// CDs, failing closes, chosen modes), a message pump that counts end-of-play
// notices, and writers for small audio files.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"

// One command as the scripted device saw it.
struct MciCall {
    MCIDEVICEID id;
    UINT command;
    DWORD flags;
    int32_t stateAtSend;  // deviceState when the command went out
    bool hasType;         // MCI_OPEN: lpstrDeviceType not null
    std::wstring deviceType;
    std::wstring element;
    DWORD item;           // MCI_STATUS
    DWORD track;          // MCI_STATUS
    DWORD timeFormat;     // MCI_SET
    DWORD_PTR callback;   // MCI_PLAY
    DWORD from;           // MCI_PLAY
    HWND window;          // MCI_WINDOW
    MCIERROR answer;      // what the caller got back
    MCIDEVICEID opened;   // MCI_OPEN: the device it gave
};

// Answers of the scripted device. A CD is laid out as tracks of trackMs
// each, track 1 starting at firstTrackMs; length is then the whole disc.
struct MciScript {
    MCIERROR typedOpen = 0;
    MCIERROR untypedOpen = 0;
    MCIDEVICEID openId = 7;
    MCIERROR close = 0;
    MCIERROR resume = 0;
    MCIERROR other = 0;      // every other command
    uint32_t length = 0;
    uint32_t tracks = 0;
    uint32_t mode = MCI_MODE_STOP;
    uint32_t position = 0;
    uint32_t firstTrackMs = 0;
    uint32_t trackMs = 0;
    // An open of this element does not return until ReleaseHungOpens; it
    // then succeeds with lateOpenId.
    std::wstring hangOpenOf;
    MCIDEVICEID lateOpenId = 9;
    // An open of this element fails, typed or not.
    std::wstring failOpenOf;
    // The next command of this kind hangs, the device clock jumping outMs
    // ahead as it begins; asleep, the clock then stands still.
    UINT hangCommand = 0;
    DWORD outMs = 0;
    bool asleep = false;
    // Successful opens hand out openId, openId + 1, ... so that two devices
    // open at once can be told apart.
    bool freshIds = false;
    // The next read of a file does not return until ReleaseHungOpens (then
    // it reads), as a disk that stops answering would; the clock jumps outMs.
    bool hangRead = false;
};

// Routes g_mciSend to the scripted device for app, with a fresh script and
// no recorded calls, and the file reads through the script's hangRead.
void InstallScriptedMci(AppState* app);
// Routes g_mciSend through a recorder to the real mciSendCommandW.
void InstallRecordingMci(AppState* app);
// Changes the script under its lock (the playback thread reads it).
void EditScript(const std::function<void(MciScript&)>& edit);
// Opens that are hanging now, and the release that lets every one of them
// (and any later one, until the next install) return.
int HungOpens();
void ReleaseHungOpens();
std::vector<MciCall> RecordedCalls();
size_t CountCalls(UINT command);
void ClearCalls();

// Like PumpUntil, and counts MM_MCINOTIFY messages with MCI_NOTIFY_SUCCESSFUL
// that pass through the queue on their way to the window procedure.
bool PumpCountingEnds(const std::function<bool()>& done, DWORD timeoutMs, int* ends);

// A 16-bit mono PCM wave file of silence.
std::vector<uint8_t> MakeSilentWav(double seconds, uint32_t sampleRate);
// dir + "\\" + name, written with bytes; empty on failure.
std::wstring WriteTestFile(const std::wstring& dir, const wchar_t* name,
                           const std::vector<uint8_t>& bytes);
