// The command table and the keyboard map against the real main window:
// commands are posted as WM_COMMAND, keys sent as WM_KEYDOWN/WM_KEYUP with
// Ctrl held through the real keyboard state.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/commands.h"
#include "support/window_fixture.h"

namespace {

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = ResetWithDefaults();
        window = CreatePlayerWindow(app);
        ASSERT_TRUE(window);
        // The tick would apply and clear volumeDelta behind the checks.
        KillTimer(window, kTickTimerId);
        PumpFor(20);
    }
    void TearDown() override {
        SetControl(false);
        Store(app->searchState, Idle);
        if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
        CloseAndWait(app);
    }

    // Posts the command and dispatches messages up to and including it;
    // nothing after it runs, so the state can be read as the command left it.
    void Run(int32_t id) {
        PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
        MSG msg;
        for (int guard = 0; guard < 10000; ++guard) {
            if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
                continue;
            }
            DispatchMessageW(&msg);
            if (msg.message == WM_COMMAND && msg.hwnd == window && LOWORD(msg.wParam) == id) return;
        }
        ADD_FAILURE() << "command " << id << " never arrived";
    }

    void SetControl(bool down) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        keys[VK_LCONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }

    // What a key handler left in the queue: the first posted command (0 for
    // none) and whether a close was posted. Removed without being run.
    struct Posted {
        int32_t command;
        bool close;
    };
    Posted TakePosted() {
        Posted out = {0, false};
        MSG msg;
        while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE | PM_NOYIELD)) {
            if (!out.command) out.command = LOWORD(msg.wParam);
        }
        while (PeekMessageW(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE | PM_NOYIELD)) out.close = true;
        return out;
    }

    AppState* app = nullptr;
    HWND window = nullptr;
};

TEST_F(CommandsTest, PlayPauseAndStopSignalThePlaybackThread) {
    struct Case {
        int32_t id;
        uint32_t flag;
    };
    const Case cases[] = {{CMD_PLAY_PAUSE, PB_TOGGLE}, {CMD_STOP, PB_STOP}};
    for (const Case& c : cases) {
        app->commandFlags = 0;
        Run(c.id);
        EXPECT_EQ(c.flag, app->commandFlags) << "command " << c.id;
    }
}

TEST_F(CommandsTest, FileTypeTogglesChangeOnlyTheirBit) {
    struct Case {
        int32_t id;
        uint32_t bit;
    };
    const Case cases[] = {
        {CMD_TYPE_MP3, 0}, {CMD_TYPE_WMA, 0},      {CMD_TYPE_M4A, 0x08}, {CMD_TYPE_AAC, 0x04},
        {CMD_TYPE_FLAC, 0x40}, {CMD_TYPE_MIDI, 0x10}, {CMD_TYPE_WAV, 0x20},
    };
    for (const Case& c : cases) {
        for (uint32_t start : {0x03u, 0x7Fu}) {
            Store(app->fileTypes, start);
            Run(c.id);
            EXPECT_EQ(start ^ c.bit, Load(app->fileTypes)) << "command " << c.id << " from " << start;
            Run(c.id);
            EXPECT_EQ(start, Load(app->fileTypes)) << "command " << c.id << " twice from " << start;
        }
        EXPECT_EQ(Idle, Load(app->searchState)) << "a type toggle starts no search";
    }
}

TEST_F(CommandsTest, AfterPlaybackCommandsSetTheAction) {
    struct Case {
        int32_t id;
        int32_t action;
    };
    const Case cases[] = {{CMD_AFTER_EXIT, 0}, {CMD_AFTER_REPEAT, 2}, {CMD_AFTER_STOP, 1},
                          {CMD_AFTER_NEXT, 3}, {CMD_AFTER_EXIT, 0}};
    for (const Case& c : cases) {
        Run(c.id);
        EXPECT_EQ(c.action, app->afterPlayback) << "command " << c.id;
    }
}

TEST_F(CommandsTest, VolumeMenuAndMute) {
    app->volumeDelta = 0;
    Run(CMD_VOLUME_UP);
    EXPECT_EQ(1200, app->volumeDelta);
    Run(CMD_VOLUME_UP);
    Run(CMD_VOLUME_DOWN);
    Run(CMD_VOLUME_DOWN);
    Run(CMD_VOLUME_DOWN);
    EXPECT_EQ(-1200, app->volumeDelta);

    struct Case {
        uint32_t volume;
        uint32_t muted;
        uint32_t volumeAfter;
        uint32_t mutedAfter;
    };
    const Case cases[] = {
        {30000, 0, 0, 30000},  // mute
        {0, 30000, 30000, 0},  // unmute restores
        {0, 0, 0, 0},          // nothing saved: stays silent
        {65535, 0, 0, 65535},
    };
    for (const Case& c : cases) {
        app->volume = c.volume;
        app->mutedVolume = c.muted;
        app->statusKind = StatusShowText;
        app->statusTicks = 0;
        Store(app->redraw, 0);
        Run(CMD_MUTE);
        EXPECT_EQ(c.volumeAfter, app->volume) << "volume " << c.volume << " saved " << c.muted;
        EXPECT_EQ(c.mutedAfter, app->mutedVolume) << "volume " << c.volume << " saved " << c.muted;
        EXPECT_EQ(StatusVolume, app->statusKind);
        EXPECT_EQ(40, app->statusTicks);
        EXPECT_EQ(1, Load(app->redraw));
    }
    app->volume = 12345;
    app->mutedVolume = 0;
    Run(CMD_MUTE);
    Run(CMD_MUTE);
    EXPECT_EQ(12345u, app->volume);
    EXPECT_EQ(0u, app->mutedVolume);
}

TEST_F(CommandsTest, FontCommandsCreateTheNamedFace) {
    struct Case {
        int32_t id;
        const wchar_t* face;
    };
    const Case cases[] = {
        {9025, L"Comic Sans MS"}, {9026, L"Franklin Gothic Medium"}, {9027, L"Georgia"},
        {9028, L"Impact"},        {9029, L"Segoe UI"},               {9030, L"Tahoma"},
        {9031, L"Times New Roman"}, {9032, L"Trebuchet MS"},          {9024, L"Microsoft Sans Serif"},
    };
    for (const Case& c : cases) {
        const std::string name(c.face, c.face + wcslen(c.face));
        HFONT before = app->statusFont;
        CopyText(app->frameText, L"shown", 10);
        Run(c.id);
        EXPECT_EQ(c.id - 9024, app->fontType) << name;
        ASSERT_TRUE(app->statusFont) << name;
        EXPECT_NE(before, app->statusFont) << name;
        EXPECT_EQ(0, app->frameText[0]) << name << ": the text must be rendered anew";
        LOGFONTW font = {};
        ASSERT_EQ(static_cast<int>(sizeof(font)), GetObjectW(app->statusFont, sizeof(font), &font));
        EXPECT_EQ(std::wstring(c.face), std::wstring(font.lfFaceName)) << name;
        EXPECT_EQ(24, font.lfHeight) << name;
        EXPECT_EQ(0, font.lfWidth) << name;
        EXPECT_EQ(400, font.lfWeight) << name;
        EXPECT_EQ(0, font.lfItalic | font.lfUnderline | font.lfStrikeOut) << name;
        EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet) << name;
        EXPECT_EQ(VARIABLE_PITCH, font.lfPitchAndFamily & 3) << name;

        // The same font again changes nothing.
        HFONT same = app->statusFont;
        CopyText(app->frameText, L"shown", 10);
        Run(c.id);
        EXPECT_EQ(same, app->statusFont) << name;
        EXPECT_EQ(L's', app->frameText[0]) << name;
    }
}

TEST_F(CommandsTest, AlwaysOnTopTogglesTheTopmostStyle) {
    for (int round = 0; round < 2; ++round) {
        Run(CMD_ALWAYS_ON_TOP);
        EXPECT_EQ(1, app->alwaysOnTop) << round;
        EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) << round;
        Run(CMD_ALWAYS_ON_TOP);
        EXPECT_EQ(0, app->alwaysOnTop) << round;
        EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) << round;
    }
}

TEST_F(CommandsTest, HalfHeightResizesAndPullsTheWindowOntoTheScreen) {
    struct Case {
        int32_t size;
        int32_t x;
        int32_t y;
        int32_t expectedX;
        int32_t expectedY;
    };
    const Case cases[] = {
        {1, -50, -30, 0, 0}, {2, 200, 100, 200, 100}, {3, -10, 40, 0, 40},
        {1, 30, -5, 30, 0},  {2, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        app->sizeFactor = c.size;
        SetWindowPos(window, nullptr, c.x, c.y, 474 * c.size, 89 * c.size, SWP_NOZORDER | SWP_NOACTIVATE);
        Run(CMD_HALF_HEIGHT);
        RECT r = {};
        GetWindowRect(window, &r);
        EXPECT_EQ(1, app->halfHeight) << "size " << c.size << " at " << c.x << "," << c.y;
        EXPECT_EQ(c.expectedX, r.left) << "size " << c.size << " at " << c.x << "," << c.y;
        EXPECT_EQ(c.expectedY, r.top) << "size " << c.size << " at " << c.x << "," << c.y;
        EXPECT_EQ(474 * c.size, r.right - r.left) << "size " << c.size;
        EXPECT_EQ(56 * c.size, r.bottom - r.top) << "size " << c.size;
        EXPECT_EQ(56 * c.size, app->windowHeight) << "size " << c.size;

        Run(CMD_HALF_HEIGHT);
        GetWindowRect(window, &r);
        EXPECT_EQ(0, app->halfHeight) << "size " << c.size;
        EXPECT_EQ(89 * c.size, r.bottom - r.top) << "size " << c.size;
        EXPECT_EQ(c.expectedX, r.left) << "size " << c.size;
    }
}

TEST_F(CommandsTest, SizeCommandsStopAtTheLimits) {
    struct Case {
        int32_t size;
        int32_t id;
        int32_t expected;
    };
    const Case cases[] = {
        {12, CMD_INCREASE_SIZE, 12}, {1, CMD_DECREASE_SIZE, 1},
        {11, CMD_INCREASE_SIZE, 12}, {2, CMD_DECREASE_SIZE, 1},
        {1, CMD_INCREASE_SIZE, 2},
    };
    for (const Case& c : cases) {
        app->sizeFactor = c.size;
        app->windowWidth = 474 * c.size;
        app->windowHeight = 89 * c.size;
        SetWindowPos(window, nullptr, 10, 20, 474 * c.size, 89 * c.size, SWP_NOZORDER | SWP_NOACTIVATE);
        Run(c.id);
        RECT r = {};
        GetWindowRect(window, &r);
        EXPECT_EQ(c.expected, app->sizeFactor) << "size " << c.size << " command " << c.id;
        EXPECT_EQ(474 * c.expected, r.right - r.left) << "size " << c.size << " command " << c.id;
        EXPECT_EQ(89 * c.expected, r.bottom - r.top) << "size " << c.size << " command " << c.id;
    }
}

TEST_F(CommandsTest, MinimizeAndExit) {
    Run(CMD_MINIMIZE);
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, SW_RESTORE);
    Run(CMD_EXIT);
    EXPECT_TRUE(TakePosted().close);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(CommandsTest, LibraryCommandsAreParkedDuringASearch) {
    struct Case {
        int32_t id;
        int slot;
        int32_t code;
    };
    const Case cases[] = {
        {CMD_OPEN_FILE, kSlotMain, DEFER_OPEN_FILE},
        {CMD_OPEN_DIRECTORY, kSlotMain, DEFER_OPEN_DIRECTORY},
        {CMD_SHUFFLE, kSlotOrder, 0},  // waits beside the slot, see shuffleParked
        {CMD_SUBDIRS, kSlotSubdirs, DEFER_SUBDIRS},
        {CMD_PREVIOUS, kSlotMain, DEFER_PREVIOUS},
        {CMD_NEXT, kSlotMain, DEFER_NEXT},
        {CMD_RANDOM, kSlotMain, DEFER_RANDOM},
    };
    app->ticksSinceSelect = 10;
    for (const Case& c : cases) {
        std::memset(app->deferredSlots, 0, sizeof(app->deferredSlots));
        app->shuffleParked = 0;
        Store(app->searchState, Running);
        Run(c.id);
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(slot == c.slot ? c.code : 0, app->deferredSlots[slot])
                << "command " << c.id << " slot " << slot;
        }
        EXPECT_EQ(c.id == CMD_SHUFFLE ? 1 : 0, app->shuffleParked) << "command " << c.id;
        EXPECT_EQ(0, app->shuffle) << "command " << c.id;
        EXPECT_EQ(0, app->includeSubdirs) << "command " << c.id;

        // A parked close is never replaced.
        app->deferredSlots[c.slot] = DEFER_CLOSE;
        Run(c.id);
        EXPECT_EQ(DEFER_CLOSE, app->deferredSlots[c.slot]) << "command " << c.id;

        // While the search is being aborted the request is dropped.
        std::memset(app->deferredSlots, 0, sizeof(app->deferredSlots));
        app->shuffleParked = 0;
        Store(app->searchState, Stopping);
        Run(c.id);
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(0, app->deferredSlots[slot]) << "stopping, command " << c.id;
        }
        EXPECT_EQ(0, app->shuffleParked) << "stopping, command " << c.id;
    }
}

TEST_F(CommandsTest, SettingCommandsActDuringASearch) {
    Store(app->searchState, Running);
    Run(CMD_TYPE_FLAC);
    Run(CMD_AFTER_STOP);
    app->volume = 500;
    Run(CMD_MUTE);
    EXPECT_EQ(0x43u, Load(app->fileTypes));
    EXPECT_EQ(AFTER_STOP, app->afterPlayback);
    EXPECT_EQ(0u, app->volume);
    for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(0, app->deferredSlots[slot]) << slot;
}

TEST_F(CommandsTest, IncludeSubdirectoriesWithNothingOpenedOnlyTogglesTheSetting) {
    ASSERT_EQ(0, app->searchDir[0]);
    Run(CMD_SUBDIRS);
    EXPECT_EQ(1, app->includeSubdirs);
    EXPECT_EQ(Idle, Load(app->searchState));
    EXPECT_EQ(nullptr, app->searchThreadHandle);
    Run(CMD_SUBDIRS);
    EXPECT_EQ(0, app->includeSubdirs);
    EXPECT_EQ(Idle, Load(app->searchState));
}

TEST_F(CommandsTest, ShuffleTogglesWhenIdle) {
    Run(CMD_SHUFFLE);
    EXPECT_EQ(1, app->shuffle);
    Run(CMD_SHUFFLE);
    EXPECT_EQ(0, app->shuffle);
}

TEST_F(CommandsTest, KeyboardMapPostsCommands) {
    SetControl(true);
    ASSERT_TRUE(GetKeyState(VK_CONTROL) & 0x8000) << "the keyboard state must reach GetKeyState";
    SetControl(false);
    ASSERT_FALSE(GetKeyState(VK_CONTROL) & 0x8000);

    struct Case {
        UINT message;
        WPARAM key;
        bool control;
        int32_t command;  // posted, 0 for none
        bool close;
        int32_t volumeChange;
    };
    const Case cases[] = {
        {WM_KEYDOWN, 'O', true, CMD_OPEN_FILE, false, 0},
        {WM_KEYDOWN, 'D', true, CMD_OPEN_DIRECTORY, false, 0},
        {WM_KEYDOWN, 'T', true, CMD_ALWAYS_ON_TOP, false, 0},
        {WM_KEYDOWN, 'H', true, CMD_HALF_HEIGHT, false, 0},
        {WM_KEYDOWN, VK_ADD, true, CMD_INCREASE_SIZE, false, 0},
        {WM_KEYDOWN, VK_OEM_PLUS, true, CMD_INCREASE_SIZE, false, 0},
        {WM_KEYDOWN, VK_SUBTRACT, true, CMD_DECREASE_SIZE, false, 0},
        {WM_KEYDOWN, VK_OEM_MINUS, true, CMD_DECREASE_SIZE, false, 0},
        {WM_KEYDOWN, VK_UP, true, 0, false, 0},
        {WM_KEYDOWN, VK_F11, true, 0, false, 0},
        {WM_KEYDOWN, 'O', false, 0, false, 0},
        {WM_KEYDOWN, 'H', false, 0, false, 0},
        {WM_KEYDOWN, VK_ADD, false, 0, false, 0},
        {WM_KEYDOWN, VK_UP, false, 0, false, 240},
        {WM_KEYDOWN, VK_F12, false, 0, false, 240},
        {WM_KEYDOWN, VK_DOWN, false, 0, false, -240},
        {WM_KEYDOWN, VK_F11, false, 0, false, -240},
        {WM_KEYDOWN, VK_SPACE, false, 0, false, 0},
        {WM_KEYUP, VK_SPACE, false, CMD_PLAY_PAUSE, false, 0},
        {WM_KEYUP, VK_SPACE, true, CMD_PLAY_PAUSE, false, 0},
        {WM_KEYUP, VK_MEDIA_PLAY_PAUSE, false, CMD_PLAY_PAUSE, false, 0},
        {WM_KEYUP, VK_OEM_PERIOD, false, CMD_STOP, false, 0},
        {WM_KEYUP, VK_MEDIA_STOP, true, CMD_STOP, false, 0},
        {WM_KEYUP, VK_LEFT, false, CMD_PREVIOUS, false, 0},
        {WM_KEYUP, VK_MEDIA_PREV_TRACK, false, CMD_PREVIOUS, false, 0},
        {WM_KEYUP, VK_RIGHT, false, CMD_NEXT, false, 0},
        {WM_KEYUP, VK_MEDIA_NEXT_TRACK, false, CMD_NEXT, false, 0},
        {WM_KEYUP, VK_F5, false, CMD_RANDOM, false, 0},
        {WM_KEYUP, VK_F8, true, CMD_MUTE, false, 0},
        {WM_KEYUP, 'O', true, 0, false, 0},
        {WM_KEYUP, VK_UP, false, 0, false, 0},
        {WM_SYSKEYDOWN, 'X', false, 0, true, 0},
        {WM_SYSKEYDOWN, 'Q', false, 0, false, 0},
    };
    for (const Case& c : cases) {
        SetControl(c.control);
        TakePosted();
        app->volumeDelta = 0;
        const int32_t top = app->alwaysOnTop;
        const int32_t half = app->halfHeight;
        const LPARAM altDown = c.message == WM_SYSKEYDOWN ? (1 << 29) : 0;
        const LRESULT result = SendMessageW(window, c.message, c.key, 1 | altDown);
        const Posted posted = TakePosted();
        const std::string name = std::to_string(c.message) + " key " + std::to_string(c.key) +
                                 (c.control ? " with ctrl" : "");
        EXPECT_EQ(c.command, posted.command) << name;
        EXPECT_EQ(c.close, posted.close) << name;
        EXPECT_EQ(c.volumeChange, app->volumeDelta) << name;
        if (c.message != WM_SYSKEYDOWN) {
            EXPECT_EQ(0, result) << name;
        }
        // Keys only post; nothing runs inside the key handler.
        EXPECT_EQ(top, app->alwaysOnTop) << name;
        EXPECT_EQ(half, app->halfHeight) << name;
    }
}

TEST_F(CommandsTest, HeldCtrlTogglesAndDialogsActOncePerPressSizeKeysRepeat) {
    struct Case {
        WPARAM key;
        int32_t command;
        bool repeats;
    };
    const Case cases[] = {
        {'O', CMD_OPEN_FILE, false},          {'D', CMD_OPEN_DIRECTORY, false},
        {'T', CMD_ALWAYS_ON_TOP, false},      {'H', CMD_HALF_HEIGHT, false},
        {VK_ADD, CMD_INCREASE_SIZE, true},    {VK_OEM_PLUS, CMD_INCREASE_SIZE, true},
        {VK_SUBTRACT, CMD_DECREASE_SIZE, true}, {VK_OEM_MINUS, CMD_DECREASE_SIZE, true},
    };
    SetControl(true);
    const LPARAM repeat = 1 | (1 << 30);
    for (const Case& c : cases) {
        TakePosted();
        SendMessageW(window, WM_KEYDOWN, c.key, 1);
        EXPECT_EQ(c.command, TakePosted().command) << "press of key " << c.key;
        for (int i = 0; i < 3; ++i) {
            SendMessageW(window, WM_KEYDOWN, c.key, repeat);
            EXPECT_EQ(c.repeats ? c.command : 0, TakePosted().command) << "repeat of key " << c.key;
        }
    }
}

TEST_F(CommandsTest, HeldVolumeKeyRepeats) {
    SetControl(false);
    app->volumeDelta = 0;
    const LPARAM repeat = 1 | (1 << 30);
    for (int i = 0; i < 5; ++i) SendMessageW(window, WM_KEYDOWN, VK_UP, i ? repeat : 1);
    EXPECT_EQ(5 * 240, app->volumeDelta);
    for (int i = 0; i < 2; ++i) SendMessageW(window, WM_KEYDOWN, VK_DOWN, i ? repeat : 1);
    EXPECT_EQ(3 * 240, app->volumeDelta);
}

}  // namespace
