// Media device commands (MCI) with their state rules, and the output volume.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include "core/app_state.h"

// Every device command goes through this pointer, so a test can script
// answers the platform cannot give here (audio CDs, failing closes).
using MciSendFn = MCIERROR(WINAPI*)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);
extern MciSendFn g_mciSend;

// The output volume goes out through these, so a test can read back what
// each channel was given where the system has no mixer to ask.
using WaveOutVolumeFn = MMRESULT(WINAPI*)(HWAVEOUT, DWORD);
using MidiOutVolumeFn = MMRESULT(WINAPI*)(HMIDIOUT, DWORD);
extern WaveOutVolumeFn g_waveOutSetVolume;
extern MidiOutVolumeFn g_midiOutSetVolume;

// The watch on device commands reads its time through this, so a test can
// stand the clock still as a sleeping machine does, which cannot be
// produced here.
using UnbiasedClockFn = BOOL(WINAPI*)(PULONGLONG);
extern UnbiasedClockFn g_unbiasedClock;

// The watch on device commands. A decoder can loop inside a command for
// minutes or for good, and no command can be cancelled; so a command that
// stays out too long is given up instead: the user-interface thread takes its
// stamp (deviceCallSince) back, and the thread that sent it learns so when
// the command returns, if ever. From then on that thread is refused every
// command, touches no shared field, and closes the device it holds itself.
//
// The clock counts only time the machine is awake: a command sent just
// before a sleep has not been out for the length of the sleep.
//
// Runs on the user-interface thread: the command (MCI_OPEN, MCI_STOP, ...)
// when one had been out for limitMs or more and has now been given up,
// otherwise 0.
UINT GiveUpStuckDeviceCall(AppState* app, DWORD limitMs);
// Runs on the playback thread: true once a command of this thread was given up.
bool DeviceGivenUp();

// All device commands run on the playback thread.
bool OpenMediaDevice(AppState* app, const wchar_t* path);   // typed, then untyped
int CloseMediaDevice(AppState* app);                         // 1 when it closed
void SetTimeFormatMs(AppState* app);
uint32_t QueryDeviceStatus(AppState* app, DWORD item);
uint32_t QueryTrackStatus(AppState* app, DWORD item, DWORD track);
void SetDisplayWindow(AppState* app, HWND window);
void PlayFrom(AppState* app, uint32_t position);
void PauseDevice(AppState* app);
void ResumeDevice(AppState* app);
void StopDevice(AppState* app);

// Volume, on the UI thread.
void SetVolume(AppState* app, int32_t level);
void ToggleMute(AppState* app);
void OutputVolume(AppState* app);
