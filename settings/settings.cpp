#include "settings/settings.h"

#include <mmsystem.h>

#include <cstring>

#include "playback/media_device.h"
#include "settings/resume_point.h"
#include "settings/window_position.h"
#include "skin/skin_state.h"

const wchar_t kSettingsKey[] = L"Software\\Tallowen\\Pebbletune";

bool ReadDword(HKEY key, const wchar_t* name, uint32_t* value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LSTATUS status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) return false;
    *value = data;
    return true;
}

void WriteDword(HKEY key, const wchar_t* name, uint32_t value) {
    const DWORD data = value;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

namespace {

constexpr int32_t kDefaultAfter = AFTER_NEXT;
constexpr uint32_t kDefaultColor = 0x004080;
constexpr uint32_t kDefaultTypes = TYPE_MP3 | TYPE_WMA;
constexpr int32_t kDefaultX = 100;
constexpr int32_t kDefaultY = 150;
constexpr int32_t kMinSize = 1;
constexpr int32_t kMaxSize = 12;
constexpr int32_t kMaxScreenSize = 8;
constexpr int32_t kScreenPerSize = 1080;
constexpr uint32_t kFullVolume = 65535;
// The optional types the user can switch; MP3 and WMA are always searched.
constexpr uint32_t kSwitchableTypes = TYPE_AAC | TYPE_M4A | TYPE_MIDI | TYPE_WAV | TYPE_FLAC;
// Timer ticks between two looks at the settings during a run. A change is
// written once it has held still from one look to the next, so a burst of
// volume keys or a window drag costs one write, about a second after it.
constexpr int32_t kSettleTicks = 10;

const wchar_t* const kValueNames[kSettingCount] = {
    L"After", L"Color", L"FontType", L"Resume", L"Shuffle", L"Size", L"Slim",
    L"Subdir", L"Top", L"Types", L"Volume", L"X", L"Y"};

void ReadInt(HKEY key, const wchar_t* name, int32_t* field) {
    uint32_t value = 0;
    if (ReadDword(key, name, &value)) *field = static_cast<int32_t>(value);
}

void ReadUint(HKEY key, const wchar_t* name, uint32_t* field) {
    ReadDword(key, name, field);
}

void ReadAtomic(HKEY key, const wchar_t* name, std::atomic<uint32_t>* field) {
    uint32_t value = 0;
    if (ReadDword(key, name, &value)) Store(*field, value);
}

int32_t SizeFromScreen() {
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    const int32_t size = (cx < cy ? cx : cy) / kScreenPerSize;
    if (size <= kMinSize) return kMinSize;
    if (size >= kMaxScreenSize) return kMaxScreenSize;
    return size;
}

void SetDefaults(AppState* app, uint32_t volume) {
    app->afterPlayback = kDefaultAfter;
    app->baseColor = kDefaultColor;
    app->fontType = 0;
    app->shuffle = 0;
    app->sizeFactor = SizeFromScreen();
    app->halfHeight = 0;
    app->includeSubdirs = 0;
    app->alwaysOnTop = 0;
    app->resumeOnStart = 0;
    Store(app->fileTypes, kDefaultTypes);
    app->volume = volume;
    app->windowX = kDefaultX;
    app->windowY = kDefaultY;
}

// Returns false when the key does not exist or cannot be read.
bool ReadStoredValues(AppState* app) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    ReadInt(key, L"After", &app->afterPlayback);
    ReadUint(key, L"Color", &app->baseColor);
    ReadInt(key, L"FontType", &app->fontType);
    ReadInt(key, L"Resume", &app->resumeOnStart);
    ReadInt(key, L"Shuffle", &app->shuffle);
    ReadInt(key, L"Size", &app->sizeFactor);
    ReadInt(key, L"Slim", &app->halfHeight);
    ReadInt(key, L"Subdir", &app->includeSubdirs);
    ReadInt(key, L"Top", &app->alwaysOnTop);
    ReadAtomic(key, L"Types", &app->fileTypes);
    ReadUint(key, L"Volume", &app->volume);
    ReadInt(key, L"X", &app->windowX);
    ReadInt(key, L"Y", &app->windowY);
    RegCloseKey(key);
    return true;
}

void RepairValues(AppState* app) {
    app->afterPlayback &= 3;
    app->halfHeight &= 1;
    app->shuffle &= 1;
    if (app->sizeFactor < kMinSize) app->sizeFactor = kMinSize;
    if (app->sizeFactor > kMaxSize) app->sizeFactor = kMaxSize;
    const uint32_t types = (Load(app->fileTypes) & kSwitchableTypes) | kDefaultTypes;
    Store(app->fileTypes, types);
    app->includeSubdirs &= 1;
    app->alwaysOnTop &= 1;
    // Only a 1 the player wrote itself turns resuming on: anything else
    // would start playing what the user never asked for.
    if (app->resumeOnStart != 1) app->resumeOnStart = 0;
}

void CheckPosition(AppState* app) {
    const WindowPosition restored =
        RestoredPosition({app->windowX, app->windowY}, app->sizeFactor, VirtualScreenBounds());
    app->windowX = restored.x;
    app->windowY = restored.y;
}

bool IsMinimised(HWND window) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    return GetWindowPlacement(window, &placement) && placement.showCmd == SW_SHOWMINIMIZED;
}

void TakeWindowPosition(AppState* app) {
    if (IsMinimised(app->mainWindow)) return;
    RECT r = {};
    // Without a rectangle the last stored position is the best we have.
    if (!GetWindowRect(app->mainWindow, &r)) return;
    app->windowRect = {r.left, r.top, r.right, r.bottom};
    if (KeepsPosition({r.left, r.top}, app->sizeFactor, VirtualScreenBounds())) {
        app->windowX = r.left;
        app->windowY = r.top;
    }
}

uint32_t Dword(int32_t value) { return static_cast<uint32_t>(value); }

// The values as they are stored, in the order of kValueNames.
void CollectValues(const AppState* app, uint32_t* out) {
    const uint32_t values[kSettingCount] = {
        Dword(app->afterPlayback),  app->baseColor,           Dword(app->fontType),
        Dword(app->resumeOnStart),  Dword(app->shuffle),      Dword(app->sizeFactor),
        Dword(app->halfHeight),     Dword(app->includeSubdirs), Dword(app->alwaysOnTop),
        Load(app->fileTypes),       app->volume,              Dword(app->windowX),
        Dword(app->windowY)};
    std::memcpy(out, values, sizeof(values));
}

void WriteValues(AppState* app) {
    uint32_t values[kSettingCount];
    CollectValues(app, values);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (int i = 0; i < kSettingCount; ++i) WriteDword(key, kValueNames[i], values[i]);
    RegCloseKey(key);
    std::memcpy(app->settingsWritten, values, sizeof(values));
}

bool IsAtLeastMajorVersion(DWORD major) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    const DWORDLONG condition = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION, condition) != FALSE;
}

}  // namespace

uint32_t DefaultVolume(bool waveRead, uint32_t wave, bool midiRead, uint32_t midi) {
    // A device that cannot be read says nothing about the volume; taking it
    // as 0 would make a first run silent.
    if (waveRead && midiRead) return ((wave & 0xFFFF) + (midi & 0xFFFF)) >> 1;
    if (waveRead) return wave & 0xFFFF;
    if (midiRead) return midi & 0xFFFF;
    return kFullVolume;
}

void LoadSettings(AppState* app) {
    DWORD wave = 0;
    const bool waveRead = waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &wave) == MMSYSERR_NOERROR;
    if (!waveRead) wave = 0;
    DWORD midi = 0;
    const bool midiRead = midiOutGetVolume(reinterpret_cast<HMIDIOUT>(0), &midi) == MMSYSERR_NOERROR;
    if (!midiRead) midi = 0;
    app->startWaveVolume = wave;
    app->startMidiVolume = midi;

    SetDefaults(app, DefaultVolume(waveRead, wave, midiRead, midi));
    if (ReadStoredValues(app)) {
        RepairValues(app);
        CheckPosition(app);
    }
    // What is stored is also what was last written: an unchanged place is
    // not written again.
    if (app->resumeOnStart) LoadResumePoint(&app->resumeWritten);

    LayoutSkin(app);
    const Rect& skin = app->layout.skinRect;
    app->windowWidth = (skin.right - skin.left) * app->sizeFactor;
    app->windowHeight = (skin.bottom - skin.top) * app->sizeFactor;

    SetVolume(app, static_cast<int32_t>(app->volume));
    // SetVolume asks for the volume notice; at start the face shows the name.
    app->statusKind = StatusShowText;
    app->statusTicks = 0;
    // What was loaded needs no write; only a change during the run does.
    CollectValues(app, app->settingsWritten);
    std::memcpy(app->settingsSeen, app->settingsWritten, sizeof(app->settingsSeen));
}

void SaveSettings(AppState* app) {
    TakeWindowPosition(app);
    WriteValues(app);
    // Older systems share one device volume among all programs, so the
    // player hands back what it found; later ones keep a volume per program.
    if (!IsAtLeastMajorVersion(10) && !IsAtLeastMajorVersion(6)) {
        waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), app->startWaveVolume);
        midiOutSetVolume(reinterpret_cast<HMIDIOUT>(0), app->startMidiVolume);
    }
}

void StoreChangedSettings(AppState* app) {
    if (++app->settingsTicks < kSettleTicks) return;
    app->settingsTicks = 0;
    TakeWindowPosition(app);
    uint32_t values[kSettingCount];
    CollectValues(app, values);
    const bool settled = std::memcmp(values, app->settingsSeen, sizeof(values)) == 0;
    std::memcpy(app->settingsSeen, values, sizeof(values));
    if (settled && std::memcmp(values, app->settingsWritten, sizeof(values)) != 0) WriteValues(app);
    LookAtResumePoint(app);
}
