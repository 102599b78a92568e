// Files dropped on the face and media keys from the rest of the desktop,
// against the real main window: drops are real HDROP blocks as the shell
// builds them, presses are the key, application-command and shell-notice
// messages Windows produces for one press.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/open_path.h"
#include "support/library_support.h"
#include "support/window_fixture.h"

namespace {

// A drop as the shell hands it over: a DROPFILES header in movable global
// memory, then each wide name with its terminator, then one more terminator.
HDROP MakeDrop(const std::vector<std::wstring>& names) {
    size_t units = 2;
    for (const std::wstring& name : names) units += name.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    if (!memory) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    wchar_t* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& name : names) {
        std::memcpy(out, name.c_str(), name.size() * sizeof(wchar_t));
        out += name.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class DropTest : public testing::Test {
protected:
    void SetUp() override {
        app_ = ResetWithDefaults();
        ASSERT_NE(CreatePlayerWindow(app_), nullptr);
        ASSERT_TRUE(ParkPlaybackThread(app_));
        root_ = MakeTempDir(L"pt-drop");
        ASSERT_FALSE(root_.empty());
    }
    void TearDown() override {
        EXPECT_TRUE(CloseAndWait(app_));
        DeleteTree(root_);
    }
    LRESULT Drop(const std::vector<std::wstring>& names) {
        HDROP drop = MakeDrop(names);
        EXPECT_NE(drop, nullptr);
        const LRESULT result = SendMessageW(app_->mainWindow, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        // The receiver releases the drop, as with the shell's own.
        EXPECT_EQ(GlobalSize(drop), 0u);
        return result;
    }
    AppState* app_ = nullptr;
    std::wstring root_;
};

TEST_F(DropTest, TheFirstDroppedItemOpensLikeAHandOffOthersDoNothing) {
    EXPECT_NE(GetWindowLongW(app_->mainWindow, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    const std::wstring music = root_ + L"\\music";
    const std::wstring other = root_ + L"\\other";
    ASSERT_TRUE(CreateDirectoryW(music.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
    ASSERT_TRUE(TouchFiles(music, {L"a.mp3", L"b.mp3"}));
    ASSERT_TRUE(TouchFiles(other, {L"c.mp3"}));
    const std::wstring song = music + L"\\b.mp3";
    // Cut to 259 units this would name the music folder.
    const std::wstring tooLong = music + std::wstring(300 - music.size(), L'\\');

    struct Case {
        const char* what;
        std::vector<std::wstring> names;
        std::wstring currentPath;  // empty: nothing opens
        std::wstring searchDir;
    };
    const Case cases[] = {
        {"one folder", {music}, music + L"\\", music + L"\\"},
        {"one file", {song}, song, music + L"\\"},
        {"a file, then a folder", {song, other}, song, music + L"\\"},
        {"a folder, then a file", {other, song}, other + L"\\", other + L"\\"},
        {"an over-long path", {tooLong}, L"", L""},
        {"an over-long path first", {tooLong, song}, L"", L""},
        {"a path that names nothing", {root_ + L"\\gone.mp3"}, L"", L""},
        {"an empty list", {}, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(app_->pathBuffer, 0, sizeof(app_->pathBuffer));
        CopyText(app_->currentPath, L"C:\\before.mp3", kBufferUnits - 1);
        CopyText(app_->searchDir, L"C:\\", kBufferUnits - 1);
        EXPECT_EQ(Drop(c.names), 0);
        if (c.currentPath.empty()) {
            EXPECT_EQ(Load(app_->searchState), Idle);
            EXPECT_EQ(app_->pathBuffer[0], 0);
            EXPECT_EQ(std::wstring(app_->currentPath), L"C:\\before.mp3");
            EXPECT_EQ(std::wstring(app_->searchDir), L"C:\\");
            for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(app_->deferredSlots[slot], 0) << slot;
            continue;
        }
        EXPECT_EQ(Load(app_->searchState), Running);
        EXPECT_EQ(std::wstring(app_->currentPath), c.currentPath);
        EXPECT_EQ(std::wstring(app_->searchDir), c.searchDir);
        // A folder's selection waits for its list; a file plays at once.
        EXPECT_EQ(app_->deferredSlots[kSlotSelect], c.currentPath.back() == L'\\' ? DEFER_SELECT_TRACK : 0);
        ASSERT_TRUE(WaitForSearch(app_));
    }
}

TEST_F(DropTest, ADropDuringASearchIsParkedLikeAHandOff) {
    const std::wstring first = root_ + L"\\first";
    const std::wstring second = root_ + L"\\second";
    ASSERT_TRUE(CreateDirectoryW(first.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(second.c_str(), nullptr));
    ASSERT_TRUE(TouchFiles(first, {L"one.mp3"}));
    ASSERT_TRUE(TouchFiles(second, {L"x.mp3", L"y.mp3"}));

    CopyText(app_->pathBuffer, first.c_str(), kBufferUnits - 1);
    OpenPathBuffer(app_);
    ASSERT_EQ(Load(app_->searchState), Running);

    const std::wstring dropped = second + L"\\y.mp3";
    EXPECT_EQ(Drop({dropped}), 0);
    EXPECT_EQ(app_->deferredSlots[kSlotMain], DEFER_OPEN_PATH);
    EXPECT_EQ(std::wstring(app_->pathBuffer), dropped);
    EXPECT_EQ(std::wstring(app_->searchDir), first + L"\\");
    // A drop of nothing usable leaves the parked path alone.
    EXPECT_EQ(Drop({root_ + L"\\gone.mp3"}), 0);
    EXPECT_EQ(std::wstring(app_->pathBuffer), dropped);

    ASSERT_TRUE(PumpUntil([&] {
        return Load(app_->searchState) == Idle && std::wstring(app_->currentPath) == dropped;
    }, 20000));
    EXPECT_EQ(std::wstring(app_->searchDir), second + L"\\");
    const std::vector<std::wstring> listed = ListTree(second, 0);
    ASSERT_EQ(TrackPaths(app_), listed);
}

// One message of a press, as Windows would deliver it to the player.
enum class Origin { None, Player, Elsewhere };
struct Step {
    UINT message;  // 0 stands for the shell's registered notice
    WPARAM wParam;
    LPARAM lParam;
    Origin origin = Origin::None;  // window named in a WM_APPCOMMAND's wParam
};

constexpr LPARAM kKeyDown = 1;
constexpr LPARAM kKeyRepeat = 1 | (1 << 30);
constexpr LPARAM kKeyUp = static_cast<LPARAM>(0xC0000001u);
constexpr LPARAM kAltDown = 1 | (1 << 29);
constexpr LPARAM kAltUp = static_cast<LPARAM>(0xE0000001u);

LPARAM AppCommandParam(int command, WORD device) {
    return MAKELPARAM(0, static_cast<WORD>(command) | device);
}

class MediaKeysTest : public testing::Test {
protected:
    void SetUp() override {
        app_ = ResetWithDefaults();
        window_ = CreatePlayerWindow(app_);
        ASSERT_NE(window_, nullptr);
        KillTimer(window_, kTickTimerId);
        ASSERT_TRUE(ParkPlaybackThread(app_));
        elsewhere_ = CreatePlainWindow();
        ASSERT_NE(elsewhere_, nullptr);
        shellHook_ = RegisterWindowMessageW(L"SHELLHOOK");
        PumpFor(20);
        TakeCommands();
    }
    void TearDown() override {
        DestroyWindow(elsewhere_);
        CloseAndWait(app_);
    }

    LRESULT Send(const Step& step) {
        const UINT message = step.message ? step.message : shellHook_;
        WPARAM wParam = step.wParam;
        if (step.origin == Origin::Player) wParam = reinterpret_cast<WPARAM>(window_);
        if (step.origin == Origin::Elsewhere) wParam = reinterpret_cast<WPARAM>(elsewhere_);
        return SendMessageW(window_, message, wParam, step.lParam);
    }

    // The commands the handlers posted, removed without being run.
    std::vector<int32_t> TakeCommands() {
        std::vector<int32_t> out;
        MSG msg;
        while (PeekMessageW(&msg, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE | PM_NOYIELD)) {
            out.push_back(LOWORD(msg.wParam));
        }
        return out;
    }

    AppState* app_ = nullptr;
    HWND window_ = nullptr;
    HWND elsewhere_ = nullptr;
    UINT shellHook_ = 0;
};

TEST_F(MediaKeysTest, EachPressActsOnceFocusedOrNot) {
    struct Key {
        WPARAM vk;
        int appCommand;
        int32_t command;
    };
    const Key keys[] = {
        {VK_MEDIA_PLAY_PAUSE, APPCOMMAND_MEDIA_PLAY_PAUSE, CMD_PLAY_PAUSE},
        {VK_MEDIA_STOP, APPCOMMAND_MEDIA_STOP, CMD_STOP},
        {VK_MEDIA_NEXT_TRACK, APPCOMMAND_MEDIA_NEXTTRACK, CMD_NEXT},
        {VK_MEDIA_PREV_TRACK, APPCOMMAND_MEDIA_PREVIOUSTRACK, CMD_PREVIOUS},
    };
    for (const Key& key : keys) {
        const LPARAM fromKey = AppCommandParam(key.appCommand, FAPPCOMMAND_KEY);
        const LPARAM fromOem = AppCommandParam(key.appCommand, FAPPCOMMAND_OEM);
        const Step down = {WM_KEYDOWN, key.vk, kKeyDown};
        const Step repeat = {WM_KEYDOWN, key.vk, kKeyRepeat};
        const Step up = {WM_KEYUP, key.vk, kKeyUp};
        const Step altDown = {WM_SYSKEYDOWN, key.vk, kAltDown};
        const Step altUp = {WM_SYSKEYUP, key.vk, kAltUp};
        // What DefWindowProcW makes of a key that reached it on this window.
        const Step echo = {WM_APPCOMMAND, 0, fromKey, Origin::Player};
        struct Press {
            const char* what;
            std::vector<Step> steps;
        };
        const Press presses[] = {
            {"focused", {down, up}},
            {"focused, held until it repeats", {down, repeat, repeat, up}},
            {"focused, the key also passed on", {down, echo, up}},
            {"focused, Alt let go before the key, nothing passed on", {altDown, up}},
            {"focused with Alt held, passed on", {altDown, echo, altUp}},
            {"focused, Alt let go before the key", {altDown, echo, up}},
            {"focused, Alt pressed before letting go", {down, altUp}},
            {"focused, a device that sends only the command", {{WM_APPCOMMAND, 0, fromOem, Origin::Player}}},
            {"sent by another program on its own behalf", {{WM_APPCOMMAND, 0, fromKey, Origin::Elsewhere}}},
            {"unfocused: the shell's notice", {{0, HSHELL_APPCOMMAND, fromKey}}},
            {"unfocused: the shell's notice of a remote", {{0, HSHELL_APPCOMMAND, fromOem}}},
        };
        for (const Press& press : presses) {
            SCOPED_TRACE(testing::Message() << "key " << key.vk << ", " << press.what);
            app_->commandFlags = 0;
            for (const Step& step : press.steps) {
                const LRESULT result = Send(step);
                if (step.message == WM_APPCOMMAND || step.message == 0) {
                    EXPECT_EQ(result, TRUE);
                }
            }
            // Posted, never run inside the handler.
            EXPECT_EQ(app_->commandFlags, 0u);
            EXPECT_EQ(TakeCommands(), std::vector<int32_t>{key.command});
        }
    }
}

TEST_F(MediaKeysTest, PlayAndPauseLeaveOnlyTheStateTheyDoNotName) {
    struct Case {
        int32_t deviceState;
        int appCommand;
        bool toggles;
    };
    const Case cases[] = {
        {DEV_PLAYING, APPCOMMAND_MEDIA_PLAY, false},  {DEV_PAUSED, APPCOMMAND_MEDIA_PLAY, true},
        {DEV_STOPPED, APPCOMMAND_MEDIA_PLAY, true},   {DEV_PLAYING, APPCOMMAND_MEDIA_PAUSE, true},
        {DEV_PAUSED, APPCOMMAND_MEDIA_PAUSE, false},  {DEV_STOPPED, APPCOMMAND_MEDIA_PAUSE, false},
    };
    for (const Case& c : cases) {
        Store(app_->device.deviceState, c.deviceState);
        const LPARAM param = AppCommandParam(c.appCommand, FAPPCOMMAND_OEM);
        // The last: a key of the focused window, which no key-map entry echoes.
        const Step routes[] = {{WM_APPCOMMAND, 0, param, Origin::Player}, {0, HSHELL_APPCOMMAND, param},
                               {WM_APPCOMMAND, 0, AppCommandParam(c.appCommand, FAPPCOMMAND_KEY), Origin::Player}};
        for (const Step& step : routes) {
            SCOPED_TRACE(testing::Message() << "state " << c.deviceState << ", command " << c.appCommand
                                            << (step.message ? " as WM_APPCOMMAND" : " from the shell")
                                            << " from device " << GET_DEVICE_LPARAM(step.lParam));
            // Handled either way, so it does not travel on to other players.
            EXPECT_EQ(Send(step), TRUE);
            const std::vector<int32_t> expected =
                c.toggles ? std::vector<int32_t>{CMD_PLAY_PAUSE} : std::vector<int32_t>{};
            EXPECT_EQ(TakeCommands(), expected);
        }
    }
}

// Counts what reaches the shell: DefWindowProcW hands a top-level window's
// unhandled application command to the shell hooks.
int g_shellAppCommands = 0;
LRESULT CALLBACK CountShellAppCommands(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HSHELL_APPCOMMAND) ++g_shellAppCommands;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MediaKeysTest, OtherCommandsAndNoticesAreLeftToTheShell) {
    HHOOK hook = SetWindowsHookExW(WH_SHELL, CountShellAppCommands, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    const LPARAM volumeUp = AppCommandParam(APPCOMMAND_VOLUME_UP, FAPPCOMMAND_KEY);
    const LPARAM playPause = AppCommandParam(APPCOMMAND_MEDIA_PLAY_PAUSE, FAPPCOMMAND_KEY);
    struct Case {
        const char* what;
        Step step;
        int reachesShell;
        std::vector<int32_t> commands;
    };
    const Case cases[] = {
        {"volume up", {WM_APPCOMMAND, 0, volumeUp, Origin::Player}, 1, {}},
        {"browser back from the mouse",
         {WM_APPCOMMAND, 0, AppCommandParam(APPCOMMAND_BROWSER_BACKWARD, FAPPCOMMAND_MOUSE), Origin::Player},
         1, {}},
        {"play/pause", {WM_APPCOMMAND, 0, playPause, Origin::Elsewhere}, 0, {CMD_PLAY_PAUSE}},
        {"the shell's notice of volume up", {0, HSHELL_APPCOMMAND, volumeUp}, 0, {}},
        {"the shell's notice of a new window", {0, HSHELL_WINDOWCREATED, playPause}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_shellAppCommands = 0;
        Send(c.step);
        EXPECT_EQ(g_shellAppCommands, c.reachesShell);
        EXPECT_EQ(TakeCommands(), c.commands);
    }
    UnhookWindowsHookEx(hook);
}

}  // namespace
