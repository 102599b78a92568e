// Stand-in until the media device lands: only the volume works.
#include "playback/media_device.h"

MciSendFn g_mciSend = mciSendCommandW;

bool OpenMediaDevice(AppState*, const wchar_t*) { return false; }
int CloseMediaDevice(AppState*) { return 0; }
void SetTimeFormatMs(AppState*) {}
uint32_t QueryDeviceStatus(AppState*, DWORD) { return 0; }
uint32_t QueryTrackStatus(AppState*, DWORD, DWORD) { return 0; }
void SetDisplayWindow(AppState*, HWND) {}
void PlayFrom(AppState*, uint32_t) {}
void PauseDevice(AppState*) {}
void ResumeDevice(AppState*) {}
void StopDevice(AppState*) {}

void OutputVolume(AppState* app) {
    const DWORD both = (app->volume & 0xFFFF) | ((app->volume & 0xFFFF) << 16);
    waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), both);
    midiOutSetVolume(reinterpret_cast<HMIDIOUT>(0), both);
    app->statusKind = StatusVolume;
    app->statusTicks = 40;
    Store(app->redraw, 1);
}

void SetVolume(AppState* app, int32_t level) {
    app->mutedVolume = 0;
    app->volume = level <= 0 ? 0u : (level >= 65535 ? 65535u : static_cast<uint32_t>(level));
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
