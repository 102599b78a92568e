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

// The reads of a track's file (the MP3 scan, the wave check) go through
// this, so a test can hold one as a disk that does not answer would, which
// cannot be produced here.
using ReadFileFn = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern ReadFileFn g_readFile;

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
// The reads of a track's file before its open (the MP3 scan, the wave check)
// are watched like a command, under this code: a disc that does not spin up
// or a share that stops answering holds the thread as long as a stuck open,
// and fails the track as one would. Runs read(context) on the playback
// thread; false when the read was given up.
constexpr UINT kFileReadCommand = 0x7F01;
bool WatchFileRead(AppState* app, void (*read)(void* context), void* context);

// A device answers only the thread that opened it, so every device has a
// thread of its own, its keeper, which opens it, carries out the commands
// asked of it and closes it (see media_device.cpp). A keeper may first do
// work of its own (first, on its thread; it goes on taking commands only
// when that returns true).
struct DeviceKeeper;
using KeeperWork = bool (*)(DeviceKeeper* keeper, void* context);
// Any thread; null when no thread could start.
DeviceKeeper* StartKeeper(AppState* app, KeeperWork first, void* context);
// Any thread, once per keeper (null is ignored): the keeper closes its
// device, if it has one, and ends, with nobody waiting for it.
void RetireKeeper(DeviceKeeper* keeper);
// Runs on the keeper thread, in its first work: the next track's device,
// opened ahead of its turn. Opens path as OpenMediaDevice does, sets
// milliseconds, reads the length and cues it. False when it would not open.
// Nobody waits for it, so nothing watches it.
bool PrepareDevice(DeviceKeeper* keeper, const wchar_t* path, uint32_t* length);
// Runs on the playback thread: a prepared device becomes the open one.
// Returns the keeper of the device open before, for the caller to retire
// once the new one plays.
DeviceKeeper* AdoptPreparedDevice(AppState* app, DeviceKeeper* keeper);
// Runs on the playback thread: the open device plays no more, or the thread
// ends. Its keeper closes it without the thread waiting, so a close that
// hangs holds up neither the next track nor anything else. (A device closed
// the ordinary way leaves its keeper to open the next one.)
void RetireMediaDevice(AppState* app);

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
