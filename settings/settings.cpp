#include "settings/settings.h"

#include <mmsystem.h>

#include "playback/media_device.h"
#include "skin/skin_state.h"

const wchar_t kSettingsKey[] = L"Software\\Tallowen\\Pebbletune";

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
// The optional types the user can switch; MP3 and WMA are always searched.
constexpr uint32_t kSwitchableTypes = TYPE_AAC | TYPE_M4A | TYPE_MIDI | TYPE_WAV | TYPE_FLAC;
// A face with no more than 12 skin pixels left on the screen cannot be
// grabbed again, so such a position is not restored.
constexpr int32_t kHiddenLeft = 474 - 12;
constexpr int32_t kHiddenTop = 89 - 12;
constexpr int32_t kEdgeMargin = 6;
// A window closed with half of that reachable width or more beyond the left
// edge keeps the position saved before.
constexpr int32_t kHalfWidth = kHiddenLeft / 2;

// Takes a stored value only when it is exactly what the player writes, a
// 4-byte REG_DWORD; anything else leaves the default in place.
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

void WriteDword(HKEY key, const wchar_t* name, uint32_t value) {
    const DWORD data = value;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

void WriteInt(HKEY key, const wchar_t* name, int32_t value) {
    WriteDword(key, name, static_cast<uint32_t>(value));
}

int32_t SizeFromScreen() {
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    const int32_t size = (cx < cy ? cx : cy) / kScreenPerSize;
    if (size <= kMinSize) return kMinSize;
    if (size >= kMaxScreenSize) return kMaxScreenSize;
    return size;
}

void SetDefaults(AppState* app) {
    app->afterPlayback = kDefaultAfter;
    app->baseColor = kDefaultColor;
    app->fontType = 0;
    app->shuffle = 0;
    app->sizeFactor = SizeFromScreen();
    app->halfHeight = 0;
    app->includeSubdirs = 0;
    app->alwaysOnTop = 0;
    Store(app->fileTypes, kDefaultTypes);
    app->volume = ((app->startWaveVolume & 0xFFFF) + (app->startMidiVolume & 0xFFFF)) >> 1;
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
}

// Only the virtual screen's extent is consulted, not its origin: a position
// that would leave too little of the face reachable goes to a sixth of it.
void CheckPosition(AppState* app) {
    const int32_t s = app->sizeFactor;
    const int32_t width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int32_t height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (app->windowX <= -kHiddenLeft * s || app->windowX >= width - kEdgeMargin * s) {
        app->windowX = width / 6;
    }
    if (app->windowY <= -kHiddenTop * s || app->windowY >= height - kEdgeMargin * s) {
        app->windowY = height / 6;
    }
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
    const int32_t s = app->sizeFactor;
    if (r.left > -kHalfWidth * s && r.top > (-kHiddenTop * s) / 2) {
        app->windowX = r.left;
        app->windowY = r.top;
    }
}

void WriteValues(AppState* app) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    WriteInt(key, L"After", app->afterPlayback);
    WriteDword(key, L"Color", app->baseColor);
    WriteInt(key, L"FontType", app->fontType);
    WriteInt(key, L"Shuffle", app->shuffle);
    WriteInt(key, L"Size", app->sizeFactor);
    WriteInt(key, L"Slim", app->halfHeight);
    WriteInt(key, L"Subdir", app->includeSubdirs);
    WriteInt(key, L"Top", app->alwaysOnTop);
    WriteDword(key, L"Types", Load(app->fileTypes));
    WriteDword(key, L"Volume", app->volume);
    WriteInt(key, L"X", app->windowX);
    WriteInt(key, L"Y", app->windowY);
    RegCloseKey(key);
}

bool IsAtLeastMajorVersion(DWORD major) {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    const DWORDLONG condition = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION, condition) != FALSE;
}

}  // namespace

void LoadSettings(AppState* app) {
    DWORD wave = 0;
    if (waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &wave) != MMSYSERR_NOERROR) wave = 0;
    DWORD midi = 0;
    if (midiOutGetVolume(reinterpret_cast<HMIDIOUT>(0), &midi) != MMSYSERR_NOERROR) midi = 0;
    app->startWaveVolume = wave;
    app->startMidiVolume = midi;

    SetDefaults(app);
    if (ReadStoredValues(app)) {
        RepairValues(app);
        CheckPosition(app);
    }

    LayoutSkin(app);
    const Rect& skin = app->layout.skinRect;
    app->windowWidth = (skin.right - skin.left) * app->sizeFactor;
    app->windowHeight = (skin.bottom - skin.top) * app->sizeFactor;

    SetVolume(app, static_cast<int32_t>(app->volume));
    // SetVolume asks for the volume notice; at start the face shows the name.
    app->statusKind = StatusShowText;
    app->statusTicks = 0;
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
