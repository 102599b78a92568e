// Settings in Wine's real registry: defaults, repairs, the position check,
// values of the wrong type or size, and what a save writes.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "app/commands.h"
#include "settings/resume_point.h"
#include "settings/settings.h"
#include "settings/window_position.h"
#include "support/window_fixture.h"

#include <mmsystem.h>

namespace {

// Every test process gets its own per-user root, so cases that ctest runs
// side by side in one prefix, and other tests' windows saving on close,
// never see each other's values. The player's code still opens
// HKEY_CURRENT_USER\Software\Tallowen\Pebbletune through the real registry.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        rootPath = L"Software\\PebbletuneTestRoots\\" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, rootPath.c_str(), 0, nullptr,
                                                 0, KEY_ALL_ACCESS, nullptr,
                                                 &root, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, root));
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        app = ResetWithDefaults();
    }
    void TearDown() override {
        if (app && app->mainWindow && IsWindow(app->mainWindow)) {
            Store(app->searchState, Idle);
            CloseAndWait(app);
        }
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (root) RegCloseKey(root);
        RegDeleteTreeW(HKEY_CURRENT_USER, rootPath.c_str());
    }

    // Starts from no stored settings at all.
    void ClearStored() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

    void StoreRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }
    void StoreDword(const wchar_t* name, uint32_t value) {
        StoreRaw(name, REG_DWORD, &value, sizeof(value));
    }

    struct Stored {
        bool present;
        DWORD type;
        DWORD size;
        uint32_t value;
    };
    Stored ReadStored(const wchar_t* name) {
        Stored out = {false, 0, 0, 0};
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return out;
        }
        uint8_t data[16] = {};
        out.size = sizeof(data);
        out.present =
            RegQueryValueExW(key, name, nullptr, &out.type, data, &out.size) == ERROR_SUCCESS;
        memcpy(&out.value, data, sizeof(out.value));
        RegCloseKey(key);
        return out;
    }

    HWND MakeWindow(int32_t size) {
        app->sizeFactor = size;
        app->windowWidth = 474 * size;
        app->windowHeight = 89 * size;
        return CreatePlayerWindow(app);
    }

    std::wstring rootPath;
    HKEY root = nullptr;
    AppState* app = nullptr;
};

int32_t ScreenSize() {
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    int32_t s = (cx < cy ? cx : cy) / 1080;
    if (s < 1) s = 1;
    if (s > 8) s = 8;
    return s;
}

// The first-run volume from the devices that can be read here (under Wine
// without a sound card neither can, which makes it full volume).
uint32_t StartVolume() {
    DWORD wave = 0;
    DWORD midi = 0;
    const bool waveRead = waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &wave) == MMSYSERR_NOERROR;
    const bool midiRead = midiOutGetVolume(reinterpret_cast<HMIDIOUT>(0), &midi) == MMSYSERR_NOERROR;
    if (waveRead && midiRead) return ((wave & 0xFFFF) + (midi & 0xFFFF)) / 2;
    if (waveRead || midiRead) return (waveRead ? wave : midi) & 0xFFFF;
    return 65535;
}

TEST_F(SettingsTest, FirstRunTakesTheDefaults) {
    const uint32_t volume = StartVolume();
    const int32_t s = ScreenSize();
    // Leftovers from a previous test must not survive into the defaults.
    app->shuffle = 1;
    app->halfHeight = 1;
    app->fontType = 4;
    app->alwaysOnTop = 1;
    app->includeSubdirs = 1;
    LoadSettings(app);
    EXPECT_EQ(AFTER_NEXT, app->afterPlayback);
    EXPECT_EQ(0x004080u, app->baseColor);
    EXPECT_EQ(0, app->fontType);
    EXPECT_EQ(0, app->shuffle);
    EXPECT_EQ(s, app->sizeFactor);
    EXPECT_EQ(0, app->halfHeight);
    EXPECT_EQ(0, app->includeSubdirs);
    EXPECT_EQ(0, app->alwaysOnTop);
    EXPECT_EQ(TYPE_MP3 | TYPE_WMA, Load(app->fileTypes));
    EXPECT_EQ(volume, app->volume);
    EXPECT_EQ(100, app->windowX);
    EXPECT_EQ(150, app->windowY);
    EXPECT_EQ(474 * s, app->windowWidth);
    EXPECT_EQ(89 * s, app->windowHeight);
    EXPECT_EQ(0u, app->mutedVolume);
    EXPECT_EQ(StatusShowText, app->statusKind);
    EXPECT_EQ(0, app->statusTicks);
    EXPECT_FALSE(ReadStored(L"After").present) << "loading must not create the key";
}

TEST(DefaultVolumeTest, UnreadableDevicesDoNotCountAsSilent) {
    struct Case {
        bool waveRead;
        uint32_t wave;
        bool midiRead;
        uint32_t midi;
        uint32_t expected;
    };
    const Case cases[] = {
        {true, 0x80008000, true, 0x20002000, 0x5000},  // the mean of the low words
        {true, 0xFFFF1000, true, 0x00003000, 0x2000},
        {true, 0x12340000, true, 0, 0},                 // both read as silent: silent
        {true, 0xFFFF4000, false, 0, 0x4000},
        {true, 0x12344000, false, 0xFFFF, 0x4000},
        {false, 0, true, 0x00006000, 0x6000},
        {false, 0xFFFF, true, 0xAAAA1111, 0x1111},
        {false, 0, false, 0, 65535},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, DefaultVolume(c.waveRead, c.wave, c.midiRead, c.midi))
            << c.waveRead << " " << std::hex << c.wave << " " << c.midiRead << " " << c.midi;
        // Wave and MIDI count alike.
        EXPECT_EQ(c.expected, DefaultVolume(c.midiRead, c.midi, c.waveRead, c.wave));
    }
}

TEST_F(SettingsTest, AStoredVolumeIsKeptWhateverTheDevicesSay) {
    for (uint32_t stored : {0u, 1234u, 65535u}) {
        ClearStored();
        StoreDword(L"Volume", stored);
        app = ResetWithDefaults();
        LoadSettings(app);
        EXPECT_EQ(stored, app->volume);
    }
}

TEST(WindowPositionTest, StartUpCheckUsesTheVirtualScreensOriginAndSize) {
    // A monitor 1920 wide left of the primary one and one 300 higher.
    const ScreenBounds screen = {-1920, -300, 3840, 1380};
    struct Case {
        int32_t size;
        WindowPosition stored;
        WindowPosition expected;
    };
    const Case cases[] = {
        {1, {-1800, -200}, {-1800, -200}},             // on the left monitor: kept
        {2, {-1920 - 462 * 2 + 1, 40}, {-1920 - 462 * 2 + 1, 40}},
        {2, {-1920 - 462 * 2, 40}, {-1920 + 3840 / 6, 40}},
        {1, {1920 - 7, 40}, {1920 - 7, 40}},
        {1, {1920 - 6, 40}, {-1920 + 3840 / 6, 40}},
        {3, {300, -300 - 77 * 3 + 1}, {300, -300 - 77 * 3 + 1}},
        {3, {300, -300 - 77 * 3}, {300, -300 + 1380 / 6}},
        {3, {300, 1080 - 19}, {300, 1080 - 19}},
        {3, {300, 1080 - 18}, {300, -300 + 1380 / 6}},
        {1, {-10000, 100000}, {-1920 + 3840 / 6, -300 + 1380 / 6}},
    };
    for (const Case& c : cases) {
        const WindowPosition got = RestoredPosition(c.stored, c.size, screen);
        EXPECT_EQ(c.expected.x, got.x) << "size " << c.size << " at " << c.stored.x << "," << c.stored.y;
        EXPECT_EQ(c.expected.y, got.y) << "size " << c.size << " at " << c.stored.x << "," << c.stored.y;
    }
}

TEST(WindowPositionTest, SaveKeepsPositionsOnEveryMonitor) {
    const ScreenBounds screen = {-1280, -1024, 3200, 2104};
    struct Case {
        int32_t size;
        WindowPosition corner;
        bool kept;
    };
    const Case cases[] = {
        {1, {-1000, -900}, true},  // on the monitor above and to the left
        {2, {-1280 - 230 * 2, 40}, true},
        {2, {-1280 - 231 * 2, 40}, false},
        {2, {50, -1024 - 76}, true},
        {2, {50, -1024 - 77}, false},
        {1, {50, -1024 - 37}, true},
        {1, {50, -1024 - 38}, false},  // -77 / 2 rounds toward zero
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.kept, KeepsPosition(c.corner, c.size, screen))
            << "size " << c.size << " at " << c.corner.x << "," << c.corner.y;
    }
}

TEST(WindowPositionTest, ResizingPullsTheCornerOntoTheVirtualScreen) {
    const ScreenBounds screen = {-1920, -200, 3840, 1280};
    struct Case {
        WindowPosition corner;
        WindowPosition expected;
    };
    const Case cases[] = {
        {{-1500, -100}, {-1500, -100}},  // on the left monitor: stays
        {{-1950, 40}, {-1920, 40}},
        {{300, -250}, {300, -200}},
        {{-2500, -900}, {-1920, -200}},
        {{2000, 1500}, {2000, 1500}},
    };
    for (const Case& c : cases) {
        const WindowPosition got = PulledOntoScreen(c.corner, screen);
        EXPECT_EQ(c.expected.x, got.x) << c.corner.x << "," << c.corner.y;
        EXPECT_EQ(c.expected.y, got.y) << c.corner.x << "," << c.corner.y;
    }
}

TEST_F(SettingsTest, StoredValuesAreRepaired) {
    struct Case {
        const wchar_t* name;
        uint32_t stored;
        int64_t (*field)(AppState*);
        int64_t expected;
    };
    auto after = [](AppState* a) -> int64_t { return a->afterPlayback; };
    auto size = [](AppState* a) -> int64_t { return a->sizeFactor; };
    auto types = [](AppState* a) -> int64_t { return Load(a->fileTypes); };
    auto slim = [](AppState* a) -> int64_t { return a->halfHeight; };
    auto shuffle = [](AppState* a) -> int64_t { return a->shuffle; };
    auto subdir = [](AppState* a) -> int64_t { return a->includeSubdirs; };
    auto top = [](AppState* a) -> int64_t { return a->alwaysOnTop; };
    auto resume = [](AppState* a) -> int64_t { return a->resumeOnStart; };
    auto font = [](AppState* a) -> int64_t { return a->fontType; };
    auto color = [](AppState* a) -> int64_t { return a->baseColor; };
    auto volume = [](AppState* a) -> int64_t { return a->volume; };
    auto height = [](AppState* a) -> int64_t { return a->windowHeight; };
    const Case cases[] = {
        {L"Size", 0, size, 1},
        {L"Size", 20, size, 12},
        {L"Size", 12, size, 12},
        {L"Size", 0xFFFFFFFFu, size, 1},
        {L"Size", 11, size, 11},
        {L"After", 4, after, AFTER_EXIT},
        {L"After", 7, after, AFTER_NEXT},
        {L"After", 2, after, AFTER_REPEAT},
        {L"Types", 0, types, 0x03},
        {L"Types", 0xFF, types, 0x7F},
        {L"Types", 0x80, types, 0x03},
        {L"Types", 0x24, types, 0x27},
        {L"Slim", 2, slim, 0},
        {L"Slim", 3, slim, 1},
        {L"Slim", 1, height, 56 * ScreenSize()},
        {L"Shuffle", 5, shuffle, 1},
        {L"Subdir", 6, subdir, 0},
        {L"Top", 0xFFFFFFFFu, top, 1},
        // Only exactly 1 turns resuming on; odd values too read as off.
        {L"Resume", 1, resume, 1},
        {L"Resume", 3, resume, 0},
        {L"Resume", 0xFFFFFFFFu, resume, 0},
        // Out-of-range fonts are mended when the window makes its font.
        {L"FontType", 11, font, 11},
        {L"Color", 0x00C01234, color, 0x00C01234},
        {L"Volume", 70000, volume, 65535},
        {L"Volume", 1234, volume, 1234},
        {L"Volume", 0, volume, 0},
    };
    for (const Case& c : cases) {
        ClearStored();
        StoreDword(c.name, c.stored);
        app = ResetWithDefaults();
        LoadSettings(app);
        EXPECT_EQ(c.expected, c.field(app)) << "stored " << c.stored << " as value of "
                                            << std::string(c.name, c.name + wcslen(c.name));
    }
}

TEST_F(SettingsTest, PositionCheckUsesTheVirtualScreen) {
    const int32_t width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int32_t height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    struct Case {
        int32_t size;
        int32_t x;
        int32_t y;
        int32_t expectedX;
        int32_t expectedY;
    };
    const Case cases[] = {
        {2, -462 * 2, 40, width / 6, 40},
        {2, -462 * 2 + 1, 40, -462 * 2 + 1, 40},
        {1, -462, 40, width / 6, 40},
        {1, -461, 40, -461, 40},
        {2, width - 12, 40, width / 6, 40},
        {2, width - 13, 40, width - 13, 40},
        {2, 300, -77 * 2, 300, height / 6},
        {2, 300, -77 * 2 + 1, 300, -77 * 2 + 1},
        {3, 300, height - 18, 300, height / 6},
        {3, 300, height - 19, 300, height - 19},
        {1, -10000, 100000, width / 6, height / 6},
    };
    for (const Case& c : cases) {
        ClearStored();
        StoreDword(L"Size", static_cast<uint32_t>(c.size));
        StoreDword(L"X", static_cast<uint32_t>(c.x));
        StoreDword(L"Y", static_cast<uint32_t>(c.y));
        app = ResetWithDefaults();
        LoadSettings(app);
        EXPECT_EQ(c.expectedX, app->windowX) << "size " << c.size << " x " << c.x << " y " << c.y;
        EXPECT_EQ(c.expectedY, app->windowY) << "size " << c.size << " x " << c.x << " y " << c.y;
        EXPECT_EQ(474 * c.size, app->windowWidth);
    }
}

TEST_F(SettingsTest, ValuesOfAnotherTypeOrSizeKeepTheDefault) {
    const char text[] = {'1', 0, 0, 0};
    const uint8_t four[] = {5, 0, 0, 0};
    const uint8_t two[] = {0x2C, 0x01};
    const uint8_t eight[] = {0x2C, 0x01, 0, 0, 0, 0, 0, 0};
    struct Case {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
        int64_t (*field)(AppState*);
        int64_t expected;
    };
    auto after = [](AppState* a) -> int64_t { return a->afterPlayback; };
    auto size = [](AppState* a) -> int64_t { return a->sizeFactor; };
    auto x = [](AppState* a) -> int64_t { return a->windowX; };
    auto y = [](AppState* a) -> int64_t { return a->windowY; };
    auto color = [](AppState* a) -> int64_t { return a->baseColor; };
    const int64_t screenSize = ScreenSize();
    const Case cases[] = {
        {L"After", REG_SZ, text, sizeof(text), after, AFTER_NEXT},
        {L"Size", REG_BINARY, four, sizeof(four), size, screenSize},
        {L"X", REG_DWORD, two, sizeof(two), x, 100},
        {L"Y", REG_DWORD, eight, sizeof(eight), y, 150},
        {L"Y", REG_QWORD, eight, sizeof(eight), y, 150},
        {L"Color", REG_DWORD_BIG_ENDIAN, four, sizeof(four), color, 0x004080},
        // The same bytes as a 4-byte REG_DWORD are taken.
        {L"Size", REG_DWORD, four, sizeof(four), size, 5},
    };
    for (const Case& c : cases) {
        ClearStored();
        StoreRaw(c.name, c.type, c.data, c.size);
        app = ResetWithDefaults();
        LoadSettings(app);
        EXPECT_EQ(c.expected, c.field(app)) << "type " << c.type << " size " << c.size << " value "
                                            << std::string(c.name, c.name + wcslen(c.name));
    }
}

TEST_F(SettingsTest, SaveWritesEveryValueAsAFourByteDword) {
    ASSERT_TRUE(MakeWindow(2));
    SetWindowPos(app->mainWindow, nullptr, 321, 123, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    app->afterPlayback = AFTER_REPEAT;
    app->baseColor = 0x00A1B2C3;
    app->fontType = 6;
    app->shuffle = 1;
    app->halfHeight = 1;
    app->includeSubdirs = 1;
    app->alwaysOnTop = 0;
    app->resumeOnStart = 1;
    Store(app->fileTypes, 0x5B);
    app->volume = 43210;
    SaveSettings(app);

    struct Case {
        const wchar_t* name;
        uint32_t expected;
    };
    const Case cases[] = {
        {L"After", 2}, {L"Color", 0x00A1B2C3}, {L"FontType", 6}, {L"Resume", 1}, {L"Shuffle", 1},
        {L"Size", 2},  {L"Slim", 1},           {L"Subdir", 1},   {L"Top", 0},
        {L"Types", 0x5B}, {L"Volume", 43210},  {L"X", 321},      {L"Y", 123},
    };
    for (const Case& c : cases) {
        const Stored s = ReadStored(c.name);
        const std::string name(c.name, c.name + wcslen(c.name));
        EXPECT_TRUE(s.present) << name;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), s.type) << name;
        EXPECT_EQ(4u, s.size) << name;
        EXPECT_EQ(c.expected, s.value) << name;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key));
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(13u, count);

    // What was saved loads back unchanged.
    CloseAndWait(app);
    app = ResetWithDefaults();
    LoadSettings(app);
    EXPECT_EQ(AFTER_REPEAT, app->afterPlayback);
    EXPECT_EQ(0x00A1B2C3u, app->baseColor);
    EXPECT_EQ(6, app->fontType);
    EXPECT_EQ(1, app->shuffle);
    EXPECT_EQ(2, app->sizeFactor);
    EXPECT_EQ(1, app->halfHeight);
    EXPECT_EQ(1, app->includeSubdirs);
    EXPECT_EQ(0x5Bu, Load(app->fileTypes));
    EXPECT_EQ(43210u, app->volume);
    EXPECT_EQ(321, app->windowX);
    EXPECT_EQ(123, app->windowY);
    EXPECT_EQ(474 * 2, app->windowWidth);
    EXPECT_EQ(56 * 2, app->windowHeight);
}

// A fault in a system component can end the process before the save at exit.
TEST_F(SettingsTest, AChangeReachesTheRegistryDuringTheRun) {
    LoadSettings(app);
    ASSERT_TRUE(MakeWindow(1));
    PumpFor(1500);
    EXPECT_FALSE(ReadStored(L"After").present) << "nothing changed, nothing to write";
    struct Case {
        WPARAM command;  // 0: move the window to 345,234
        const wchar_t* name;
        uint32_t stored;
    };
    const Case cases[] = {{CMD_ALWAYS_ON_TOP, L"Top", 1}, {CMD_AFTER_REPEAT, L"After", AFTER_REPEAT},
                          {CMD_TYPE_WAV, L"Types", 0x23}, {CMD_MUTE, L"Volume", 0}, {0, L"X", 345}};
    for (const Case& c : cases) {
        if (c.command) PostMessageW(app->mainWindow, WM_COMMAND, c.command, 0);
        if (!c.command) SetWindowPos(app->mainWindow, nullptr, 345, 234, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        const auto stored = [&] { return ReadStored(c.name).present && ReadStored(c.name).value == c.stored; };
        EXPECT_TRUE(PumpUntil(stored, 3000))
            << std::string(c.name, c.name + wcslen(c.name));
    }
}

// The tick compares the values once every ten ticks, not on each of them:
// a change seen at one comparison is written at the next if it still holds.
TEST_F(SettingsTest, ChangesAreComparedEveryHalfSecond) {
    const std::pair<int, bool> cases[] = {{9, false}, {19, false}, {20, true}};
    for (const auto& c : cases) {
        ClearStored();
        app = ResetWithDefaults();
        LoadSettings(app);
        app->afterPlayback = AFTER_REPEAT;
        for (int tick = 0; tick < c.first; ++tick) StoreChangedSettings(app);
        EXPECT_EQ(ReadStored(L"After").present, c.second) << c.first << " ticks";
    }
}

// Resume on Start: a change of track or standing is written once it has
// held still for a look (an open passes through "stopped"), a moving
// position every few seconds, the place at the close at once; nothing while
// off, between a selection and its open, or once switched off.
TEST_F(SettingsTest, TheResumePointIsWrittenWhenItSettles) {
    const wchar_t kA[] = L"C:\\M\\a.mp3";
    const wchar_t kB[] = L"C:\\M\\b.mp3";
    struct Step {
        const char* name;
        int32_t resume;
        int32_t device;
        const wchar_t* track;
        uint32_t position;
        bool opened;  // the device has the current selection open
        int looks;    // -1: the close instead
        const wchar_t* stored;  // expected afterwards; null: nothing stored
        uint32_t storedPosition;
        uint32_t storedPaused;
    };
    const Step steps[] = {
        {"off", 0, DEV_PLAYING, kA, 1000, true, 3, nullptr, 0, 0},
        {"one look", 1, DEV_PLAYING, kA, 1000, true, 1, nullptr, 0, 0},
        {"held still", 1, DEV_PLAYING, kA, 1200, true, 1, kA, 1200, 0},
        {"moving", 1, DEV_PLAYING, kA, 3000, true, 8, kA, 1200, 0},
        {"a few seconds on", 1, DEV_PLAYING, kA, 3500, true, 2, kA, 3500, 0},
        {"paused", 1, DEV_PAUSED, kA, 3600, true, 2, kA, 3600, 1},
        {"resumed", 1, DEV_PLAYING, kA, 3700, true, 2, kA, 3700, 0},
        {"opening the next", 1, DEV_STOPPED, kB, 0, true, 1, kA, 3700, 0},
        {"between tracks", 1, DEV_PLAYING, kB, 0, false, 3, kA, 3700, 0},
        {"stopped", 1, DEV_STOPPED, kB, 900, true, 2, kB, 0, 1},
        {"the next plays", 1, DEV_PLAYING, kB, 100, true, 2, kB, 100, 0},
        {"at the close", 1, DEV_PLAYING, kB, 2500, true, -1, kB, 2500, 0},
        {"switched off", 0, DEV_PLAYING, kB, 2600, true, 3, nullptr, 0, 0},
    };
    CopyText(app->openedPath, L"C:\\M\\", kPathUnits - 1);
    app->selectionSerial = 5;
    for (const Step& s : steps) {
        if (app->resumeOnStart != s.resume) OnCommand(app, CMD_RESUME);
        Store(app->device.deviceState, s.device);
        CopyText(app->currentPath, s.track, kPathUnits - 1);
        Store(app->positionMs, s.position);
        Store(app->openedSelection, s.opened ? 5 : 4);
        if (s.looks < 0) StoreResumePointNow(app);
        for (int tick = 0; tick < 10 * s.looks; ++tick) StoreChangedSettings(app);
        ResumePoint stored;
        const bool present = LoadResumePoint(&stored);
        EXPECT_EQ(s.stored != nullptr, present) << s.name;
        if (!s.stored || !present) continue;
        EXPECT_STREQ(L"C:\\M\\", stored.opened) << s.name;
        EXPECT_STREQ(s.stored, stored.track) << s.name;
        EXPECT_EQ(s.storedPosition, stored.positionMs) << s.name;
        EXPECT_EQ(s.storedPaused, static_cast<uint32_t>(stored.paused)) << s.name;
    }
}

TEST_F(SettingsTest, MinimisedWindowKeepsTheLastPosition) {
    ASSERT_TRUE(MakeWindow(1));
    app->windowX = 111;
    app->windowY = 222;
    SetWindowPos(app->mainWindow, nullptr, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(app->mainWindow, SW_MINIMIZE);
    PumpFor(50);
    ASSERT_TRUE(IsIconic(app->mainWindow));
    SaveSettings(app);
    EXPECT_EQ(111u, ReadStored(L"X").value);
    EXPECT_EQ(222u, ReadStored(L"Y").value);

    ShowWindow(app->mainWindow, SW_RESTORE);
    PumpFor(50);
    SaveSettings(app);
    EXPECT_EQ(400u, ReadStored(L"X").value);
    EXPECT_EQ(300u, ReadStored(L"Y").value);
}

TEST_F(SettingsTest, FarOffScreenWindowKeepsTheLastPosition) {
    ASSERT_TRUE(MakeWindow(2));
    struct Case {
        int32_t size;
        int32_t left;
        int32_t top;
        bool taken;
    };
    const Case cases[] = {
        {2, -231 * 2, 40, false},
        {2, -231 * 2 - 50, 40, false},
        {2, -230 * 2, 40, true},
        {2, 50, -77, false},  // (-77 x 2) / 2
        {2, 50, -76, true},
        {1, 50, -38, false},  // -77 / 2 rounds toward zero
        {1, 50, -37, true},
        {1, -231, 40, false},
        {1, -230, 40, true},
        {3, -692, 10, true},
    };
    for (const Case& c : cases) {
        app->sizeFactor = c.size;
        app->windowX = 111;
        app->windowY = 222;
        SetWindowPos(app->mainWindow, nullptr, c.left, c.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT r = {};
        GetWindowRect(app->mainWindow, &r);
        ASSERT_EQ(c.left, r.left);
        ASSERT_EQ(c.top, r.top);
        SaveSettings(app);
        const uint32_t x = c.taken ? static_cast<uint32_t>(c.left) : 111u;
        const uint32_t y = c.taken ? static_cast<uint32_t>(c.top) : 222u;
        EXPECT_EQ(x, ReadStored(L"X").value) << "size " << c.size << " at " << c.left << "," << c.top;
        EXPECT_EQ(y, ReadStored(L"Y").value) << "size " << c.size << " at " << c.left << "," << c.top;
    }
}

TEST_F(SettingsTest, ClosingWhileMutedStoresSilence) {
    struct Case {
        int mutes;
        uint32_t stored;
    };
    const Case cases[] = {{1, 0}, {2, 30000}, {0, 30000}};
    for (const Case& c : cases) {
        ClearStored();
        app = ResetWithDefaults();
        ASSERT_TRUE(MakeWindow(1));
        app->volume = 30000;
        for (int i = 0; i < c.mutes; ++i) {
            PostMessageW(app->mainWindow, WM_COMMAND, CMD_MUTE, 0);
            PumpFor(30);
        }
        ASSERT_TRUE(CloseAndWait(app));
        const Stored s = ReadStored(L"Volume");
        EXPECT_TRUE(s.present) << c.mutes << " mutes";
        EXPECT_EQ(c.stored, s.value) << c.mutes << " mutes";
    }
}

}  // namespace
