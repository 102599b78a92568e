// The staged close and the timer tick: the close table row by row against a
// plain window, then the real main window with its real playback thread.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/deferred.h"
#include "app/tick.h"
#include "core/deferral.h"
#include "app/window.h"
#include "support/library_support.h"
#include "support/window_fixture.h"

#include <algorithm>
#include <cstring>

namespace {

class CloseTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = ResetWithDefaults();
        app->mainWindow = CreatePlainWindow();
        app->wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    void TearDown() override {
        if (IsWindow(app->mainWindow)) DestroyWindow(app->mainWindow);
        CloseHandle(app->wakeEvent);
    }
    bool WakeSignalled() { return WaitForSingleObject(app->wakeEvent, 0) == WAIT_OBJECT_0; }
    AppState* app = nullptr;
};

TEST_F(CloseTableTest, EachRowOfTheTable) {
    constexpr uint32_t kAll = PB_STOP | PB_CLOSE | PB_EXIT;
    struct Case {
        const char* name;
        int32_t search;
        int32_t playback;
        int32_t slot1Before;
        // expected
        int32_t searchAfter;
        int32_t playbackAfter;
        uint32_t flags;
        int32_t slot1After;
        int32_t countdown;
        bool destroyed;
    };
    const Case cases[] = {
        {"search running", Running, Running, 0, Stopping, Running, 0, DEFER_CLOSE, 5, false},
        {"search running, next parked", Running, Running, DEFER_NEXT, Stopping, Running, 0, DEFER_CLOSE, 5, false},
        {"both idle", Idle, Idle, 0, Closing, Closing, kAll, 0, 5, true},
        {"playback running", Idle, Running, 0, Idle, Stopping, kAll, 0, 800, false},
        {"playback stopping keeps countdown", Idle, Stopping, 0, Idle, Stopping, kAll, 0, 5, false},
        {"playback closing", Idle, Closing, 0, Idle, Closing, kAll, 0, 5, false},
        {"playback closed", Idle, Closed, 0, Idle, Closed, kAll, 0, 5, false},
        {"search stopping", Stopping, Running, DEFER_CLOSE, Stopping, Running, 0, DEFER_CLOSE, 5, false},
        {"search closing", Closing, Stopping, 0, Closing, Stopping, 0, 0, 5, false},
    };
    for (const Case& c : cases) {
        if (!IsWindow(app->mainWindow)) app->mainWindow = CreatePlainWindow();
        Store(app->searchState, c.search);
        Store(app->playbackState, c.playback);
        app->deferredSlots[kSlotMain] = c.slot1Before;
        app->commandFlags = 0;
        app->killCountdown = 5;
        WakeSignalled();

        EXPECT_EQ(OnClose(app), 0) << c.name;
        EXPECT_EQ(Load(app->searchState), c.searchAfter) << c.name;
        EXPECT_EQ(Load(app->playbackState), c.playbackAfter) << c.name;
        EXPECT_EQ(app->commandFlags, c.flags) << c.name;
        EXPECT_EQ(WakeSignalled(), c.flags != 0) << c.name;
        EXPECT_EQ(app->deferredSlots[kSlotMain], c.slot1After) << c.name;
        EXPECT_EQ(app->killCountdown, c.countdown) << c.name;
        EXPECT_EQ(!IsWindow(app->mainWindow), c.destroyed) << c.name;
    }
}

TEST_F(CloseTableTest, TickCountsOnlyWhileThePlaybackThreadRuns) {
    struct Case {
        const char* name;
        int32_t state;
        int32_t ticksAfter;
        int32_t countdownAfter;
        int32_t deltaAfter;
    };
    const Case cases[] = {
        {"idle", Idle, 3, 9, 240},
        {"running", Running, 4, 9, 0},
        {"stopping", Stopping, 3, 8, 240},
        {"closing", Closing, 3, 9, 240},
        {"closed", Closed, 3, 9, 240},
    };
    for (const Case& c : cases) {
        Store(app->playbackState, c.state);
        app->ticksSinceSelect = 3;
        app->killCountdown = 9;
        app->volumeDelta = 240;
        app->volume = 0;
        OnTimerTick(app);
        EXPECT_EQ(app->ticksSinceSelect, c.ticksAfter) << c.name;
        EXPECT_EQ(app->killCountdown, c.countdownAfter) << c.name;
        EXPECT_EQ(app->volumeDelta, c.deltaAfter) << c.name;
    }
}

TEST_F(CloseTableTest, TickAppliesTheVolumeChangeOnce) {
    struct Case {
        const char* name;
        uint32_t volume;
        int32_t delta;
        uint32_t expected;
    };
    const Case cases[] = {
        {"one key step", 0, 240, 1310},           // trunc(1310.7)
        {"one menu step", 0, 1200, 6553},         // trunc(6553.5)
        {"wheel notch down", 1000, -120, 345},    // 1000 - trunc(655.35)
        {"clamped at the top", 65000, 1200, 65535},
        {"clamped at zero", 100, -1200, 0},
    };
    for (const Case& c : cases) {
        Store(app->playbackState, Running);
        app->volume = c.volume;
        app->volumeDelta = c.delta;
        OnTimerTick(app);
        EXPECT_EQ(app->volume, c.expected) << c.name;
        EXPECT_EQ(app->volumeDelta, 0) << c.name;
        EXPECT_EQ(app->statusKind, StatusVolume) << c.name;
    }

    // Five Up key-downs within one tick sum before the volume changes.
    app->volume = 0;
    for (int i = 0; i < 5; ++i) OnKeyDown(app, VK_UP, 1);
    EXPECT_EQ(app->volume, 0u);
    OnTimerTick(app);
    EXPECT_EQ(app->volume, 6553u);
    OnTimerTick(app);
    EXPECT_EQ(app->volume, 6553u);
}

TEST_F(CloseTableTest, TickExpiresNoticesAndFadesTheHover) {
    Store(app->playbackState, Running);
    app->statusKind = StatusVolume;
    app->statusTicks = 2;
    OnTimerTick(app);
    EXPECT_EQ(app->statusKind, StatusVolume);
    EXPECT_EQ(app->statusTicks, 1);
    Store(app->redraw, 0);
    OnTimerTick(app);
    EXPECT_EQ(app->statusKind, StatusShowText);
    EXPECT_EQ(Load(app->redraw), 1);

    app->hoverRegion = HoverPlay;
    app->hoverFade = 0.9f;
    OnTimerTick(app);
    EXPECT_EQ(app->hoverFade, 1.0f);
    app->hoverRegion = HoverPlay;
    app->hoverFade = 0.25f;
    OnTimerTick(app);
    EXPECT_EQ(app->hoverFade, 0.5f);
}

// The real window, its real playback thread and the real message loop.
class PlayerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = ResetWithDefaults();
        ASSERT_NE(CreatePlayerWindow(app), nullptr);
        ASSERT_EQ(Load(app->playbackState), Running);
        ASSERT_NE(app->playbackThreadHandle, nullptr);
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), app->playbackThreadHandle, GetCurrentProcess(),
                                    &thread, 0, FALSE, DUPLICATE_SAME_ACCESS));
    }
    void TearDown() override {
        if (thread) CloseHandle(thread);
    }
    bool ThreadEnded() { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

    AppState* app = nullptr;
    HANDLE thread = nullptr;
};

TEST_F(PlayerWindowTest, CreationBuildsTheWindowAndItsResources) {
    RECT r;
    GetWindowRect(app->mainWindow, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 150);
    EXPECT_EQ(r.right - r.left, 474);
    EXPECT_EQ(r.bottom - r.top, 89);
    wchar_t title[32];
    GetWindowTextW(app->mainWindow, title, 32);
    EXPECT_STREQ(title, L"Pebbletune");
    EXPECT_NE(app->statusFont, nullptr);
    EXPECT_NE(app->contextMenu, nullptr);
    EXPECT_NE(app->videoWindow, nullptr);
    EXPECT_EQ(GetParent(app->videoWindow), app->mainWindow);
    EXPECT_FALSE(IsWindowVisible(app->videoWindow));
    EXPECT_NE(app->wakeEvent, nullptr);
    EXPECT_NE(app->images.baseActive.pixels, nullptr);
    EXPECT_NE(app->playbackToken, 0u);
    // A second creation message does nothing.
    EXPECT_EQ(OnCreate(app, app->mainWindow), 0);
    EXPECT_TRUE(CloseAndWait(app));
}

TEST_F(PlayerWindowTest, OrdinaryCloseEndsTheThreadThenTheWindow) {
    PumpFor(300);
    PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(RunMessageLoop(app), 0);
    EXPECT_EQ(Load(app->playbackState), Closed);
    EXPECT_TRUE(ThreadEnded());
    EXPECT_FALSE(IsWindow(app->mainWindow));
    EXPECT_EQ(app->playbackThreadHandle, nullptr);
    EXPECT_EQ(app->statusFont, nullptr);
    EXPECT_EQ(app->contextMenu, nullptr);
}

TEST_F(PlayerWindowTest, QuitBeforeShutdownBecomesAStagedClose) {
    PostQuitMessage(0);
    EXPECT_EQ(RunMessageLoop(app), 0);
    EXPECT_EQ(Load(app->playbackState), Closed);
    EXPECT_TRUE(ThreadEnded());
}

TEST_F(PlayerWindowTest, CloseDuringASearchWaitsForTheSearchToEnd) {
    // A search "runs": the close parks itself and nothing else happens.
    Store(app->searchState, Running);
    app->searchToken = 0xABCD;
    app->deferredSlots[kSlotOrder] = DEFER_SHUFFLE;
    PostMessageW(app->mainWindow, WM_CLOSE, 0, 0);
    PumpFor(400);
    EXPECT_EQ(Load(app->searchState), Stopping);
    EXPECT_EQ(app->deferredSlots[kSlotMain], DEFER_CLOSE);
    EXPECT_EQ(Load(app->playbackState), Running);
    EXPECT_FALSE(ThreadEnded());

    // A next track chosen after the close was parked is lost.
    PostMessageW(app->mainWindow, WM_COMMAND, CMD_NEXT, 0);
    PumpFor(100);
    EXPECT_EQ(app->deferredSlots[kSlotMain], DEFER_CLOSE);

    // A stale completion changes nothing; the current one lets the close go on.
    SendMessageW(app->mainWindow, WM_APP_WORKER_DONE, 0xABCC, kSearchWorker);
    EXPECT_EQ(Load(app->searchState), Stopping);
    SendMessageW(app->mainWindow, WM_APP_WORKER_DONE, 0xABCD, kSearchWorker);
    EXPECT_EQ(Load(app->searchState), Idle);
    EXPECT_EQ(RunMessageLoop(app), 0);
    EXPECT_EQ(Load(app->playbackState), Closed);
    EXPECT_TRUE(ThreadEnded());
}

TEST_F(PlayerWindowTest, APlaybackThreadThatNeverEndsIsLeftBehindOnThe801stTick) {
    // Without message pumping the thread cannot take its flags, so from the
    // close's point of view it never ends. The ticks are driven directly.
    OnClose(app);
    ASSERT_EQ(Load(app->playbackState), Stopping);
    ASSERT_EQ(app->killCountdown, 800);
    OnClose(app);  // a second close does not reset the countdown
    for (int tick = 1; tick <= 800; ++tick) {
        OnTimerTick(app);
        ASSERT_EQ(Load(app->playbackState), Stopping) << "tick " << tick;
        if (tick == 400) OnClose(app);
    }
    EXPECT_EQ(app->killCountdown, 0);
    EXPECT_FALSE(ThreadEnded());
    // The close goes on without the thread, which is not terminated: a
    // thread ended at an arbitrary point may hold a lock the process's own
    // exit needs.
    OnTimerTick(app);
    EXPECT_EQ(Load(app->playbackState), Idle);
    EXPECT_EQ(app->playbackThreadHandle, nullptr);
    EXPECT_FALSE(ThreadEnded());
    // The close it posted destroys the window; the thread left behind then
    // ends by itself.
    EXPECT_EQ(RunMessageLoop(app), 0);
    EXPECT_EQ(Load(app->playbackState), Closed);
    EXPECT_FALSE(IsWindow(app->mainWindow));
    ASSERT_EQ(WaitForSingleObject(thread, 8000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
}

// What a start opens: the command line's path, else with Resume on Start the
// saved place (paused at 61 s), found again in what is left of it. A real
// search; the parked playback thread leaves the play requests in commandFlags.
TEST_F(PlayerWindowTest, AStartOpensThePathGivenElseTheSavedPlace) {
    ASSERT_TRUE(ParkPlaybackThread(app));
    const std::wstring dir = MakeTempDir(L"pt-resume") + L"\\";
    ASSERT_TRUE(TouchFiles(dir, {L"a.mp3", L"b.mp3", L"c.mp3"}));
    ASSERT_TRUE(CreateDirectoryW((dir + L"other").c_str(), nullptr));
    struct Case {
        const char* name;
        int32_t resume;
        std::wstring given, opened, track;
        std::wstring searchDir, current;  // expected; no search dir: no search
        bool startsAtOnce;                // the saved track, from its place
        int32_t status;
    };
    const Case cases[] = {
        {"the saved track", 1, L"", dir, dir + L"b.mp3", dir, dir + L"b.mp3", true, StatusShowText},
        {"a file was opened", 1, L"", dir + L"a.mp3", dir + L"c.mp3", dir, dir + L"c.mp3", true, StatusShowText},
        {"the file opened is gone", 1, L"", dir + L"x.mp3", dir + L"b.mp3", dir, dir + L"b.mp3", true, StatusShowText},
        {"the track is gone", 1, L"", dir, dir + L"x.mp3", dir, dir, false, StatusShowText},
        {"the folder is gone", 1, L"", dir + L"x\\", dir + L"x\\a.mp3", L"", L"", false, StatusFolderGone},
        {"a path given wins", 1, dir + L"other", dir, dir + L"b.mp3", dir + L"other\\", dir + L"other\\", false, StatusShowText},
        {"resuming off", 0, L"", dir, dir + L"b.mp3", L"", L"", false, StatusShowText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (wchar_t* text : {app->pathBuffer, app->currentPath, app->searchDir}) {
            std::memset(text, 0, kBufferUnits * sizeof(wchar_t));
        }
        app->commandFlags = 0;
        app->statusKind = StatusShowText;
        app->resumePending = 0;
        app->resumeOnStart = c.resume;
        app->resumeWritten = {};
        CopyText(app->resumeWritten.opened, c.opened.c_str(), kPathUnits - 1);
        CopyText(app->resumeWritten.track, c.track.c_str(), kPathUnits - 1);
        app->resumeWritten.positionMs = 61000;
        app->resumeWritten.paused = 1;
        CopyText(app->pathBuffer, c.given.c_str(), kPathUnits - 1);
        const uint32_t serial = app->selectionSerial;
        OpenAtStart(app);
        EXPECT_EQ(std::wstring(app->searchDir), c.searchDir);
        EXPECT_EQ(std::wstring(app->currentPath), c.current);
        EXPECT_EQ(app->statusKind, c.status);
        EXPECT_EQ((app->commandFlags & PB_PLAY) != 0, c.startsAtOnce);
        EXPECT_EQ(app->resumePending == 1 && app->resumeSelection == app->selectionSerial &&
                      app->resumeFromMs == 61000 && app->resumePaused == 1, c.startsAtOnce);
        ASSERT_TRUE(WaitForSearch(app));
        // Found in the new list, the saved track is its current track and is
        // not started a second time; an ordinary open selects once.
        EXPECT_EQ(app->selectionSerial, serial + (c.searchDir.empty() ? 0 : 1));
        if (!c.startsAtOnce) continue;
        const std::vector<std::wstring> listed = TrackPaths(app);
        const auto at = std::find(listed.begin(), listed.end(), c.track);
        EXPECT_EQ(Load(app->currentTrack), static_cast<int32_t>(at - listed.begin()));
    }
    DeleteTree(dir);
    EXPECT_TRUE(CloseAndWait(app));
}

}  // namespace
