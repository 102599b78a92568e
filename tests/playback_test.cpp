// The playback thread in the real window: scripted devices for what this
// machine cannot produce (audio CDs, failing closes, chosen modes), the real
// media device with null audio for everything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <cmath>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "app/worker_messages.h"
#include "core/worker_protocol.h"
#include "native/support/mp3_writer.h"
#include "playback/media_device.h"
#include "playback/playback_thread.h"
#include "support/library_support.h"
#include "support/playback_support.h"
#include "support/window_fixture.h"

namespace {

constexpr DWORD kWaitMs = 8000;

class PlaybackTest : public testing::Test {
  protected:
    void SetUp() override {
        app = ResetWithDefaults();
        app->afterPlayback = AFTER_STOP;
        dir = MakeTempDir(L"pebble-play");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        if (app->mainWindow && Load(app->playbackState) != Closed) CloseAndWait(app);
        ReleaseHungOpens();
        // Devices let go at the close are closed by their own threads, a
        // moment later: the test process must not end under them.
        PumpUntil([&] { return app->playbackThreadsRunning.load() == 0; }, kWaitMs);
        g_mciSend = mciSendCommandW;
        RemoveTree(dir);
    }
    void Start() {
        ASSERT_NE(CreatePlayerWindow(app), nullptr);
    }
    void Play(const std::wstring& path) {
        CopyText(app->currentPath, path.c_str(), kBufferUnits - 1);
        SignalPlayback(app, PB_PLAY);
    }
    bool WaitForState(int32_t state, DWORD ms = kWaitMs) {
        return PumpUntil([&] { return Load(app->device.deviceState) == state; }, ms);
    }
    // Plays path on the scripted device and waits for its own play: the
    // track before it may still read as playing.
    bool PlayScripted(const std::wstring& path) {
        ClearCalls();
        Play(path);
        return PumpUntil([] { return CountCalls(MCI_PLAY) >= 1; }, kWaitMs) &&
               WaitForState(DEV_PLAYING);
    }
    std::wstring WriteMp3(const wchar_t* name, double seconds) {
        return WriteTestFile(dir, name, MakeSilentMp3(seconds));
    }
    // A second handle on the playback thread running now, which outlives
    // the player's own.
    HANDLE HoldThread() {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), app->playbackThreadHandle, GetCurrentProcess(), &copy,
                        0, FALSE, DUPLICATE_SAME_ACCESS);
        return copy;
    }
    // Waits for a held thread to end and releases the handle: its exit
    // code, or STILL_ACTIVE when it did not end in time.
    DWORD EndOf(HANDLE thread) {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(thread, kWaitMs);
        GetExitCodeThread(thread, &code);
        CloseHandle(thread);
        return code;
    }

    AppState* app = nullptr;
    std::wstring dir;
};

// Commands other than status queries, in the order sent.
std::vector<UINT> ActingCommands() {
    std::vector<UINT> out;
    for (const MciCall& call : RecordedCalls()) {
        if (call.command != MCI_STATUS) out.push_back(call.command);
    }
    return out;
}

// Where the last play the device was given starts; UINT32_MAX without one.
uint32_t LastPlayFrom() {
    uint32_t from = UINT32_MAX;
    for (const MciCall& call : RecordedCalls()) {
        if (call.command == MCI_PLAY) from = call.from;
    }
    return from;
}

// Stops pumping until the playback thread is parked in its next handshake
// and returns the position it showed last. While this thread dispatches
// nothing, the thread's snapshot request cannot be answered, so it cannot
// poll; a position unchanged over a whole second proves it is parked (a poll
// in clock mode always moves the position), and the next poll then finds
// more than a second gone since the last one.
uint32_t HoldInHandshake(AppState* app) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const uint32_t before = Load(app->positionMs);
        Sleep(1000);
        if (Load(app->positionMs) == before) return before;
    }
    ADD_FAILURE() << "the playback thread kept polling without its handshake";
    return Load(app->positionMs);
}

TEST_F(PlaybackTest, CdTrackPlaysFromItsTrackToTheEndOfTheDisc) {
    struct Case {
        const wchar_t* name;
        uint32_t tracks;
        uint32_t startTrack;
    };
    const Case cases[] = {
        {L"Track07.cda", 10, 7},
        {L"Track12.cda", 10, 1},  // beyond the disc
        {L"Track10.cda", 10, 10},
        {L"Track03.CDA", 4, 3},
        {L"cd.cda", 10, 1},  // no digits where the number stands
    };
    constexpr uint32_t kFirstTrackMs = 2000;
    constexpr uint32_t kTrackMs = 10000;
    InstallScriptedMci(app);
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "file " << testing::PrintToString(std::wstring(c.name))
                                        << ", " << c.tracks << " tracks");
        const uint32_t discLength = kFirstTrackMs + c.tracks * kTrackMs;
        EditScript([&](MciScript& s) {
            s.tracks = c.tracks;
            s.length = discLength;
            s.firstTrackMs = kFirstTrackMs;
            s.trackMs = kTrackMs;
            s.position = 0;
            s.mode = MCI_MODE_STOP;
        });
        ClearCalls();
        Play(dir + L"\\" + c.name);
        ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_PLAY) == 1; }, kWaitMs));
        ASSERT_TRUE(WaitForState(DEV_PLAYING));
        uint32_t from = 0;
        for (const MciCall& call : RecordedCalls()) {
            if (call.command == MCI_PLAY) from = call.from;
        }
        EXPECT_EQ(from, kFirstTrackMs + (c.startTrack - 1) * kTrackMs);
        EXPECT_EQ(Load(app->cdTrack), 1);
        EXPECT_STREQ(app->statusText, L"CD Audio");
        EXPECT_FLOAT_EQ(Load(app->seekScale), 1.0f / static_cast<float>(discLength));

        // Near the end the position is shown as the device reports it...
        const uint32_t nearEnd = discLength - 500;
        EditScript([&](MciScript& s) { s.position = nearEnd; });
        ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) == nearEnd; }, kWaitMs));
        // ...and at the end the player stops, rewinds to track 1 and ends
        // the play exactly once.
        EditScript([&](MciScript& s) { s.position = discLength; });
        int ends = 0;
        ASSERT_TRUE(PumpCountingEnds([&] { return Load(app->device.deviceState) == DEV_STOPPED; },
                                     kWaitMs, &ends));
        PumpCountingEnds([] { return false; }, 800, &ends);  // a few more passes
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(CountCalls(MCI_STOP), 1u);
        EXPECT_EQ(Load(app->positionMs), kFirstTrackMs);
        EXPECT_EQ(Load(app->device.deviceState), DEV_STOPPED);
    }
}

// Resume on Start: the saved place goes with its one selection. A paused
// track stands cued there with no play sent until Play/Pause; a place in
// the last second or past the end, and a CD track, start where the track does.
TEST_F(PlaybackTest, AResumedTrackGoesOnFromItsSavedPlace) {
    struct Case {
        const wchar_t* name;
        uint32_t saved;
        int32_t paused;
        uint32_t from;
    };
    const Case cases[] = {
        {L"a.wma", 30000, 0, 30000}, {L"a.wma", 30000, 1, 30000}, {L"a.wma", 59500, 0, 0},
        {L"a.wma", 90000, 1, 0},     {L"Track03.cda", 12345, 1, 2000 + 2 * 10000},
    };
    InstallScriptedMci(app);
    EditScript([](MciScript& s) {
        s.length = 60000;
        s.tracks = 4;
        s.firstTrackMs = 2000;
        s.trackMs = 10000;
    });
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.saved << (c.paused ? " paused" : ""));
        ClearCalls();
        app->resumePending = 1;
        app->resumeSelection = app->selectionSerial;
        app->resumeFromMs = c.saved;
        app->resumePaused = c.paused;
        Play(dir + L"\\" + c.name);
        if (c.paused) {
            ASSERT_TRUE(WaitForState(DEV_PAUSED));
            PumpFor(300);
            EXPECT_EQ(CountCalls(MCI_PLAY), 0u);
            EXPECT_EQ(Load(app->positionMs), c.from);
            SignalPlayback(app, PB_TOGGLE);
        }
        ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_PLAY) == 1; }, kWaitMs));
        EXPECT_EQ(LastPlayFrom(), c.from);
        // Taken once: the next track starts at its beginning.
        ASSERT_TRUE(PlayScripted(dir + L"\\b.wma"));
        EXPECT_EQ(LastPlayFrom(), 0u);
    }
}

TEST_F(PlaybackTest, FailedCloseKeepsTheDeviceAndFailsTheNextOpen) {
    InstallScriptedMci(app);
    EditScript([](MciScript& s) {
        s.length = 5000;
        s.close = 263;
    });
    Start();
    Play(dir + L"\\first.wma");
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    ClearCalls();
    const std::wstring second = dir + L"\\second.wma";
    Play(second);
    ASSERT_TRUE(PumpUntil([&] { return second == app->failedPath; }, kWaitMs));
    // The thread goes on after its pause with a status query, which
    // overwrites deviceLastError: the close's own answer is read from the
    // call, so the checks hold however late this thread gets to them.
    const std::vector<MciCall> calls = RecordedCalls();
    ASSERT_EQ(CountCalls(MCI_CLOSE), 1u);
    EXPECT_EQ(CountCalls(MCI_OPEN), 0u);
    for (const MciCall& call : calls) {
        if (call.command == MCI_CLOSE) {
            EXPECT_EQ(call.answer, 263u);
        }
    }
    EXPECT_EQ(Load(app->device.deviceState), DEV_PLAYING);
    EditScript([](MciScript& s) { s.close = 0; });
}

// Closes sent to one device id.
size_t CountClosesOf(MCIDEVICEID id) {
    size_t count = 0;
    for (const MciCall& call : RecordedCalls()) {
        count += call.command == MCI_CLOSE && call.id == id ? 1 : 0;
    }
    return count;
}

TEST_F(PlaybackTest, AnOpenThatNeverReturnsFailsItsTrackAndTheNextOnePlays) {
    const std::wstring stuck = WriteTestFile(dir, L"stuck.wma", {0});
    const std::wstring next = WriteTestFile(dir, L"next.wma", {0});
    ASSERT_FALSE(stuck.empty());
    ASSERT_FALSE(next.empty());
    app->afterPlayback = AFTER_NEXT;
    InstallScriptedMci(app);
    EditScript([&](MciScript& s) {
        s.length = 60000;  // too long for the next track to be prepared
        s.hangOpenOf = stuck;
    });
    Start();
    HANDLE first = HoldThread();
    ASSERT_NE(first, nullptr);
    const uint32_t firstToken = app->playbackToken;
    ASSERT_TRUE(OpenAndWait(app, stuck));
    ASSERT_TRUE(PumpUntil([] { return HungOpens() == 1; }, kWaitMs));

    // The watchdog gives the open up: the track fails as one that would not
    // open, and a fresh thread plays the next one on a working device.
    ASSERT_TRUE(PumpUntil([&] { return Load(app->device.deviceState) == DEV_PLAYING; }, 3 * kWaitMs));
    EXPECT_EQ(stuck, app->failedPath);
    EXPECT_EQ(TrackPaths(app), std::vector<std::wstring>{next});
    EXPECT_NE(app->playbackToken, firstToken);
    EXPECT_EQ(Load(app->device.deviceId), 7u);
    EXPECT_EQ(HungOpens(), 1);
    ASSERT_TRUE(PumpUntil([&] { return std::wstring(app->statusText) == L"next"; }, kWaitMs));

    // The stuck open returns after all, with a device: the thread that sent
    // it closes that device and ends, and nothing the player shows changes.
    const size_t opensBefore = CountCalls(MCI_OPEN);
    ReleaseHungOpens();
    EXPECT_EQ(EndOf(first), 0u);
    PumpFor(600);
    EXPECT_EQ(CountClosesOf(9), 1u);
    EXPECT_EQ(CountClosesOf(7), 0u);
    EXPECT_EQ(CountCalls(MCI_OPEN), opensBefore + 1);  // only the late one itself
    EXPECT_EQ(Load(app->device.deviceState), DEV_PLAYING);
    EXPECT_EQ(Load(app->device.deviceId), 7u);
    EXPECT_EQ(Load(app->device.deviceLastError), 0u);
    EXPECT_EQ(stuck, app->failedPath);
    EXPECT_EQ(TrackPaths(app), std::vector<std::wstring>{next});
    EXPECT_STREQ(app->statusText, L"next");

    // The fresh thread owns the close of the window.
    ASSERT_TRUE(CloseAndWait(app, kWaitMs));
    EXPECT_EQ(CountClosesOf(7), 1u);
}

TEST_F(PlaybackTest, ClosingDuringAnOpenThatNeverReturnsSavesAndEnds) {
    PrivateUserRoot root;
    ASSERT_TRUE(root.ok());
    const std::wstring stuck = dir + L"\\stuck.wma";
    InstallScriptedMci(app);
    EditScript([&](MciScript& s) { s.hangOpenOf = stuck; });
    Start();
    HANDLE thread = HoldThread();
    ASSERT_NE(thread, nullptr);
    Play(stuck);
    ASSERT_TRUE(PumpUntil([] { return HungOpens() == 1; }, kWaitMs));
    app->alwaysOnTop = 1;  // a setting changed in this run

    // Well inside the forty seconds the countdown would take.
    ASSERT_TRUE(CloseAndWait(app, 3 * kWaitMs / 2));
    EXPECT_FALSE(IsWindow(app->mainWindow));
    const wchar_t* names[] = {L"After", L"Color", L"FontType", L"Shuffle", L"Size", L"Slim",
                              L"Subdir", L"Top", L"Types", L"Volume", L"X", L"Y"};
    for (const wchar_t* name : names) {
        uint32_t value = 0;
        EXPECT_TRUE(ReadSettingDword(name, &value)) << testing::PrintToString(std::wstring(name));
    }
    uint32_t top = 0;
    EXPECT_TRUE(ReadSettingDword(L"Top", &top));
    EXPECT_EQ(top, 1u);

    // The thread was left inside the device, not ended there; once the
    // device answers it ends by itself and closes what it was given.
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ReleaseHungOpens();
    EXPECT_EQ(EndOf(thread), 0u);
    // Its device's own thread closes it, a moment after.
    EXPECT_TRUE(PumpUntil([] { return CountClosesOf(9) == 1; }, kWaitMs));
}

TEST_F(PlaybackTest, OnlyAnOpenOutPastTheBoundFailsItsTrack) {
    struct Case {
        const wchar_t* track;
        UINT hangs;
        uint32_t provoke;       // PB_PLAY plays the track again; 0 leaves it to a poll
        DWORD clockMs, wallMs;  // how long the watch sees it out (0: asleep), and how long it is
        int32_t after;          // a track on its way when its thread was given up still plays
        size_t closes;          // of the device given up, or of the ones before this row's plays
    };
    const Case cases[] = {
        {L"Track01.cda", MCI_STOP, 0, kDeviceCallLimitMs, kWaitMs, DEV_CLOSED, 1},  // the stop at the end of the disc
        {L"tune.wma", MCI_STOP, PB_STOP, kDeviceCallLimitMs, kWaitMs, DEV_CLOSED, 1},
        {L"tune.wma", MCI_CLOSE, PB_PLAY, kDeviceCallLimitMs, kWaitMs, DEV_PLAYING, 1},  // of the track before
        {L"tune.wma", MCI_OPEN, PB_PLAY, 3000, 600, DEV_PLAYING, 2},
        {L"tune.wma", MCI_STATUS, 0, 0, 9000, DEV_PLAYING, 1},  // over a sleep
    };
    InstallScriptedMci(app);
    EditScript([](MciScript& s) { s.tracks = 2; s.firstTrackMs = 2000; s.trackMs = 9000; s.length = 20000; });
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        ASSERT_TRUE(PlayScripted(dir + L"\\" + c.track));
        EditScript([&](MciScript& s) {
            s.hangCommand = c.hangs, s.outMs = c.clockMs, s.asleep = !c.clockMs, s.position = s.length;
        });
        if (c.provoke) c.provoke == PB_PLAY ? Play(dir + L"\\" + c.track) : SignalPlayback(app, c.provoke);
        ASSERT_TRUE(PumpUntil([] { return HungOpens() == 1; }, kWaitMs));
        int ends = 0;
        PumpCountingEnds([&] { return app->statusKind == StatusDeviceStuck; }, c.wallMs, &ends);
        const int32_t after = c.after;
        EXPECT_EQ(app->statusKind == StatusDeviceStuck, c.clockMs >= kDeviceCallLimitMs);
        ReleaseHungOpens();
        ASSERT_TRUE(PumpCountingEnds([&] { return Load(app->device.deviceState) == after; }, kWaitMs, &ends));
        PumpCountingEnds([] { return false; }, 600, &ends);
        EXPECT_STREQ(app->failedPath, L"");
        EXPECT_EQ(ends, 0);
        EXPECT_EQ(Load(app->positionMs), after == DEV_CLOSED ? 0u : 20000u);
        EXPECT_EQ(CountClosesOf(7), c.closes);
    }
}

TEST_F(PlaybackTest, ThreadsLeftInsideTheDeviceEndTheProcessWithItsCode) {
    InstallScriptedMci(app);
    Start();
    for (int left = 1; left <= 9; ++left) {  // eight come back and end, the ninth stays inside
        ASSERT_TRUE(PlayScripted(dir + L"\\tune.wma"));
        EditScript([](MciScript& s) { s.hangCommand = MCI_STATUS; s.outMs = kDeviceCallLimitMs; });
        ASSERT_TRUE(PumpUntil([&] { return app->statusKind == StatusDeviceStuck; }, kWaitMs));
        if (left < 9) ReleaseHungOpens();
    }
    ASSERT_TRUE(CloseAndWait(app, kWaitMs));
    EXPECT_EXIT(EndProcessIfThreadsLeft(app, 42), testing::ExitedWithCode(42), "");
}

// A close while the next track's open is still out: ended under that open,
// the process crashes on its way out instead of ending with its code.
TEST_F(PlaybackTest, TheProcessEndWaitsForADeviceStillBeingPrepared) {
    for (const wchar_t* name : {L"a.wma", L"b.wma"}) ASSERT_FALSE(WriteTestFile(dir, name, {0}).empty());
    app->afterPlayback = AFTER_NEXT;
    InstallScriptedMci(app);
    EditScript([&](MciScript& s) { s.length = 3000, s.position = 100, s.hangOpenOf = dir + L"\\b.wma"; });
    Start();
    ASSERT_TRUE(OpenAndWait(app, dir + L"\\"));
    ASSERT_TRUE(PumpUntil([] { return HungOpens() == 1; }, kWaitMs));
    ASSERT_TRUE(CloseAndWait(app, kWaitMs));
    std::thread release([] { Sleep(300), ReleaseHungOpens(); });
    EndProcessIfThreadsLeft(app, 42);
    release.join();
    EXPECT_EQ(app->playbackThreadsRunning.load(), 0);
}

TEST_F(PlaybackTest, ToggleFollowsTheDevicesOwnMode) {
    struct Case {
        uint32_t mode;  // what the device reports at the toggle
        MCIERROR resume;
        std::vector<UINT> commands;
        int32_t after;
    };
    const std::vector<Case> cases = {
        {MCI_MODE_PLAY, 0, {MCI_PAUSE}, DEV_PAUSED},
        {MCI_MODE_PAUSE, 0, {MCI_RESUME}, DEV_PLAYING},
        {MCI_MODE_STOP, 0, {MCI_PLAY}, DEV_PLAYING},  // the track had ended
        {MCI_MODE_PLAY, 0, {MCI_PAUSE}, DEV_PAUSED},
        {MCI_MODE_PAUSE, 274, {MCI_RESUME, MCI_PLAY}, DEV_PLAYING},
        {MCI_MODE_OPEN, 0, {MCI_PLAY}, DEV_PLAYING},
        {MCI_MODE_SEEK, 0, {MCI_PAUSE}, DEV_PAUSED},  // unknown: the state stands
    };
    InstallScriptedMci(app);
    EditScript([](MciScript& s) { s.length = 5000; });
    Start();
    Play(dir + L"\\tune.wma");
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", resume answers " << c.resume);
        EditScript([&](MciScript& s) {
            s.mode = c.mode;
            s.resume = c.resume;
        });
        ClearCalls();
        SignalPlayback(app, PB_TOGGLE);
        ASSERT_TRUE(PumpUntil([&] { return ActingCommands().size() >= c.commands.size(); }, kWaitMs));
        PumpFor(300);
        EXPECT_EQ(ActingCommands(), c.commands);
        EXPECT_EQ(Load(app->device.deviceState), c.after);
    }
}

TEST_F(PlaybackTest, SeekPlaysFromTheFractionOfTheLength) {
    struct Case {
        float fraction;
        uint32_t from;
    };
    const Case cases[] = {{0.5f, 5000}, {0.25f, 2500}, {0.0f, 0}, {1.0f, 10000}};
    InstallScriptedMci(app);
    EditScript([](MciScript& s) { s.length = 10000; });
    Start();
    Play(dir + L"\\tune.wma");
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    EditScript([](MciScript& s) { s.mode = MCI_MODE_PLAY; });
    SignalPlayback(app, PB_TOGGLE);
    ASSERT_TRUE(WaitForState(DEV_PAUSED));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fraction " << c.fraction);
        EditScript([&](MciScript& s) { s.position = c.from; });
        ClearCalls();
        app->seekFraction = c.fraction;
        SignalPlayback(app, PB_SEEK);
        ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_PLAY) == 1; }, kWaitMs));
        for (const MciCall& call : RecordedCalls()) {
            if (call.command == MCI_PLAY) {
                EXPECT_EQ(call.from, c.from);
            }
        }
        EXPECT_EQ(Load(app->positionMs), c.from);
        EXPECT_EQ(Load(app->device.deviceState), DEV_PLAYING);
    }
}

TEST_F(PlaybackTest, CdSeekNeverPlaysFromBeforeTheFirstTrack) {
    // Fourteen tracks of 9 s after a 2 s lead-in: the bar spans the whole
    // 128 s disc, so its first 1/64 lies in the lead-in. The fractions are
    // exact in binary, so each product is exact.
    struct Case {
        float fraction;
        uint32_t from;
    };
    const Case cases[] = {
        {0.0f, 2000}, {1.0f / 128, 2000}, {1.0f / 64, 2000}, {3.0f / 128, 3000}, {0.5f, 64000},
    };
    InstallScriptedMci(app);
    EditScript([](MciScript& s) {
        s.tracks = 14;
        s.firstTrackMs = 2000;
        s.trackMs = 9000;
        s.length = 128000;
        s.position = 30000;
    });
    Start();
    ASSERT_TRUE(PlayScripted(dir + L"\\Track03.cda"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fraction " << c.fraction);
        ClearCalls();
        app->seekFraction = c.fraction;
        SignalPlayback(app, PB_SEEK);
        ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_PLAY) == 1; }, kWaitMs));
        EXPECT_EQ(LastPlayFrom(), c.from);
    }
}

TEST_F(PlaybackTest, Mp3PlaysAndItsPositionAdvances) {
    const std::wstring path = WriteMp3(L"first song.mp3", 1.0);
    Start();
    Play(path);
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) > 0; }, kWaitMs));
    EXPECT_STREQ(app->statusText, L"first song");
    EXPECT_EQ(Load(app->cdTrack), 0);
    // Whole frames of 1152 samples at 44100 Hz, as many as one second needs.
    const double frames = std::ceil(44100.0 / 1152.0);
    const double lengthMs = frames * 1152.0 * 1000.0 / 44100.0;
    ASSERT_GT(Load(app->seekScale), 0.0f);
    EXPECT_NEAR(1.0 / Load(app->seekScale), lengthMs, 60.0);
}

// A stream of frames alternating between two bit rates: variable, with an
// exact frame count.
std::vector<uint8_t> AlternatingRateMp3(uint32_t frames) {
    Mp3FrameFormat low;
    low.kbps = 64;
    Mp3FrameFormat high;
    high.kbps = 128;
    Mp3Writer writer;
    for (uint32_t i = 0; i < frames; ++i) writer.Frame(i % 2 ? high : low);
    return writer.Bytes();
}

TEST_F(PlaybackTest, SeekBarFollowsTheClockOnlyForLongVbrStreams) {
    struct Case {
        const wchar_t* name;
        std::vector<uint8_t> bytes;
        uint32_t frames;
        bool clock;
    };
    Mp3FrameFormat constant;
    constant.kbps = 128;
    const std::vector<Case> cases = {
        {L"vbr 120.mp3", AlternatingRateMp3(120), 120, true},
        {L"vbr 51.mp3", AlternatingRateMp3(51), 51, true},
        {L"vbr 50.mp3", AlternatingRateMp3(50), 50, false},
        {L"cbr 120.mp3", Mp3Writer().Frames(120, constant).Bytes(), 120, false},
    };
    // The device's own length and position stand far from the scanned
    // length and the clock, so each value shows where it came from.
    constexpr uint32_t kDeviceLength = 99000;
    constexpr uint32_t kDevicePosition = 60000;
    constexpr uint32_t kClockStepCap = 750;
    constexpr double kFrameMs = 1152.0 * 1000.0 / 44100.0;
    InstallScriptedMci(app);
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.name)));
        const std::wstring path = WriteTestFile(dir, c.name, c.bytes);
        ASSERT_FALSE(path.empty());
        EditScript([&](MciScript& s) {
            s.length = kDeviceLength;
            s.position = 0;
            s.mode = MCI_MODE_STOP;
        });
        const DWORD before = timeGetTime();
        ASSERT_TRUE(PlayScripted(path));
        const float barLength =
            c.clock ? static_cast<float>(c.frames * kFrameMs) : static_cast<float>(kDeviceLength);
        EXPECT_FLOAT_EQ(Load(app->seekScale), 1.0f / barLength);
        EditScript([](MciScript& s) { s.position = kDevicePosition; });

        if (!c.clock) {
            ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) == kDevicePosition; }, kWaitMs));
            PumpFor(600);  // polls that find the device where it was leave the bar alone
            EXPECT_EQ(Load(app->positionMs), kDevicePosition);
            continue;
        }
        // The clock moves the bar on while the device stands still, and
        // never faster than the time that has passed since the play began.
        ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) > 0; }, kWaitMs));
        const uint32_t first = Load(app->positionMs);
        ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) > first; }, kWaitMs));
        EXPECT_LE(Load(app->positionMs), timeGetTime() - before);

        // A pass held up for more than a second moves the bar by one capped
        // step, not by the time it was held.
        const uint32_t parked = HoldInHandshake(app);
        ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) != parked; }, kWaitMs));
        EXPECT_EQ(Load(app->positionMs), parked + kClockStepCap);

        // Paused, the bar stands with the audio; resumed, it goes on from
        // there without counting the pause.
        EditScript([](MciScript& s) { s.mode = MCI_MODE_PLAY; });
        SignalPlayback(app, PB_TOGGLE);
        ASSERT_TRUE(WaitForState(DEV_PAUSED));
        const uint32_t paused = Load(app->positionMs);
        PumpFor(1000);
        EXPECT_EQ(Load(app->positionMs), paused);
        EditScript([](MciScript& s) { s.mode = MCI_MODE_PAUSE; });
        const DWORD resumedAt = timeGetTime();
        SignalPlayback(app, PB_TOGGLE);
        ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) != paused; }, kWaitMs));
        EXPECT_LE(Load(app->positionMs), paused + (timeGetTime() - resumedAt));

        // A seek puts the bar at the fraction of the scanned length and the
        // device at the same fraction of its own.
        ClearCalls();
        const DWORD seekAt = timeGetTime();
        app->seekFraction = 0.5f;
        SignalPlayback(app, PB_SEEK);
        ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_PLAY) == 1; }, kWaitMs));
        EXPECT_EQ(LastPlayFrom(), kDeviceLength / 2);
        const uint32_t sought = static_cast<uint32_t>(0.5f * barLength);
        const uint32_t shown = HoldInHandshake(app);
        EXPECT_GE(shown, sought);
        EXPECT_LE(shown, sought + kClockStepCap + (timeGetTime() - seekAt));
    }
}

TEST_F(PlaybackTest, PlayAndStopInOnePassEndStoppedAtTheStart) {
    const std::wstring path = WriteMp3(L"song.mp3", 1.0);
    InstallRecordingMci(app);
    Start();
    CopyText(app->currentPath, path.c_str(), kBufferUnits - 1);
    SignalPlayback(app, PB_PLAY | PB_STOP);
    ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_STOP) == 1; }, kWaitMs));
    PumpFor(600);
    EXPECT_EQ(CountCalls(MCI_PLAY), 1u);  // opened, started and stopped
    EXPECT_EQ(Load(app->device.deviceState), DEV_STOPPED);
    EXPECT_EQ(Load(app->positionMs), 0u);
}

TEST_F(PlaybackTest, StopStopsAndRewinds) {
    const std::wstring path = WriteMp3(L"song.mp3", 1.0);
    Start();
    Play(path);
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    SignalPlayback(app, PB_STOP);
    ASSERT_TRUE(WaitForState(DEV_STOPPED));
    int ends = 0;
    PumpCountingEnds([] { return false; }, 1500, &ends);  // past the track's natural end
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(Load(app->device.deviceState), DEV_STOPPED);
    EXPECT_EQ(Load(app->positionMs), 0u);
}

TEST_F(PlaybackTest, PlayAfterStopStartsFromTheStartOfTheMedia) {
    // A file starts at 0; a CD track's media starts with track 1, after the
    // disc's lead-in.
    struct Case {
        const wchar_t* name;
        uint32_t start;
    };
    const Case cases[] = {{L"tune.wma", 0}, {L"Track04.cda", 2000}};
    constexpr uint32_t kPlayedTo = 23456;
    InstallScriptedMci(app);
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.name)));
        EditScript([](MciScript& s) {
            s.tracks = 5;
            s.firstTrackMs = 2000;
            s.trackMs = 10000;
            s.length = 52000;
            s.position = 0;
            s.mode = MCI_MODE_STOP;
        });
        ASSERT_TRUE(PlayScripted(dir + L"\\" + c.name));
        EditScript([](MciScript& s) { s.position = kPlayedTo; });
        ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) == kPlayedTo; }, kWaitMs));
        SignalPlayback(app, PB_STOP);
        // The stopped state is stored before the stop command is sent, and the
        // shown position rewound only once it has returned.
        ASSERT_TRUE(WaitForState(DEV_STOPPED));
        EXPECT_TRUE(PumpUntil([&] { return Load(app->positionMs) == c.start; }, kWaitMs))
            << "shown position " << Load(app->positionMs);

        ClearCalls();
        SignalPlayback(app, PB_TOGGLE);
        ASSERT_TRUE(PumpUntil([] { return CountCalls(MCI_PLAY) == 1; }, kWaitMs));
        EXPECT_EQ(LastPlayFrom(), c.start);
    }
}

TEST_F(PlaybackTest, RepeatPlaysTheSameTrackAgain) {
    const std::wstring path = WriteMp3(L"again.mp3", 1.0);
    app->afterPlayback = AFTER_REPEAT;
    InstallRecordingMci(app);
    Start();
    Play(path);
    int ends = 0;
    ASSERT_TRUE(PumpCountingEnds([&] { return ends >= 1; }, kWaitMs, &ends));
    ASSERT_TRUE(PumpCountingEnds([] { return CountCalls(MCI_PLAY) >= 2; }, kWaitMs, &ends));
    // Every replay reports its end again, so the track keeps repeating; the
    // ends are counted by the only pump that runs, so none is missed.
    ASSERT_TRUE(PumpCountingEnds([&] { return ends >= 3; }, 3 * kWaitMs, &ends));
    EXPECT_GE(CountCalls(MCI_PLAY), 3u);
    EXPECT_EQ(CountCalls(MCI_OPEN), 1u);
    for (const MciCall& call : RecordedCalls()) {
        if (call.command == MCI_PLAY) {
            EXPECT_EQ(call.from, 0u);
            EXPECT_EQ(call.answer, 0u);
        }
    }
    // The last end's replay may still be between its stop and its play.
    EXPECT_TRUE(PumpUntil([&] { return Load(app->device.deviceState) == DEV_PLAYING; }, kWaitMs));
    EXPECT_STREQ(app->statusText, L"again");
}

TEST_F(PlaybackTest, ExitActionClosesTheWindow) {
    const std::wstring path = WriteMp3(L"last.mp3", 1.0);
    app->afterPlayback = AFTER_EXIT;
    Start();
    HWND window = app->mainWindow;
    Play(path);
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    ASSERT_TRUE(PumpUntil([&] { return Load(app->playbackState) == Closed; }, 3 * kWaitMs));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Load(app->device.deviceState), DEV_CLOSED);
}

TEST_F(PlaybackTest, CorruptMp3IsReportedAndDropped) {
    const std::wstring good = WriteMp3(L"good.mp3", 1.0);
    const std::wstring bad = WriteTestFile(dir, L"bad.mp3", Mp3Writer().Garbage(20000, 7).Bytes());
    ASSERT_FALSE(bad.empty());
    Start();
    ASSERT_TRUE(OpenAndWait(app, bad));
    ASSERT_TRUE(PumpUntil([&] { return bad == app->failedPath; }, kWaitMs));
    PumpFor(200);
    EXPECT_EQ(Load(app->device.deviceState), DEV_CLOSED);
    const std::vector<std::wstring> left = TrackPaths(app);
    EXPECT_EQ(left, std::vector<std::wstring>{good});
}

// The untyped fallback itself is covered with the scripted device: Wine's
// MPEG device opens every wave file this test can write.
TEST_F(PlaybackTest, WavPlays) {
    Store(app->fileTypes, TYPE_MP3 | TYPE_WMA | TYPE_WAV);
    const std::wstring path = WriteTestFile(dir, L"tone.wav", MakeSilentWav(1.0, 8000));
    ASSERT_FALSE(path.empty());
    InstallRecordingMci(app);
    Start();
    Play(path);
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    ASSERT_TRUE(PumpUntil([&] { return Load(app->positionMs) > 0; }, kWaitMs));
    const std::vector<MciCall> calls = RecordedCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].command, static_cast<UINT>(MCI_OPEN));
    EXPECT_EQ(calls[0].element, path);
    EXPECT_STREQ(app->statusText, L"tone");
}

TEST_F(PlaybackTest, ClosingWhilePlayingEndsTheThread) {
    const std::wstring path = WriteMp3(L"song.mp3", 1.0);
    InstallRecordingMci(app);
    Start();
    Play(path);
    ASSERT_TRUE(WaitForState(DEV_PLAYING));
    ASSERT_TRUE(CloseAndWait(app, kWaitMs));
    EXPECT_EQ(Load(app->device.deviceState), DEV_CLOSED);
    EXPECT_EQ(CountCalls(MCI_STOP), 1u);
    EXPECT_EQ(CountCalls(MCI_CLOSE), 1u);
    EXPECT_EQ(RecordedCalls().back().command, static_cast<UINT>(MCI_CLOSE));
}

TEST_F(PlaybackTest, PlayNextGoesThroughTheFolderAndWraps) {
    const wchar_t* names[] = {L"one.mp3", L"two.mp3", L"three.mp3"};
    for (const wchar_t* name : names) ASSERT_FALSE(WriteMp3(name, 1.0).empty());
    app->afterPlayback = AFTER_NEXT;
    InstallRecordingMci(app);
    Start();
    ASSERT_TRUE(OpenAndWait(app, dir + L"\\"));
    // The listing order is the file system's; the start is drawn at random.
    const std::vector<std::wstring> order = TrackPaths(app);
    ASSERT_EQ(order.size(), 3u);
    // Told by the plays: a track whose preparation was not ready at its turn
    // is opened again, and the late open may come in after the next one's.
    const auto played = [] {
        std::vector<std::wstring> tracks;
        std::map<MCIDEVICEID, std::wstring> elementOf;
        for (const MciCall& call : RecordedCalls()) {
            if (call.command == MCI_OPEN && call.answer == 0) elementOf[call.opened] = call.element;
            if (call.command == MCI_PLAY && call.answer == 0) tracks.push_back(elementOf[call.id]);
        }
        return tracks;
    };
    ASSERT_TRUE(PumpUntil([&] { return played().size() >= 4; }, 4 * kWaitMs));
    const std::vector<std::wstring> opened = played();
    const size_t start =
        static_cast<size_t>(std::find(order.begin(), order.end(), opened[0]) - order.begin());
    ASSERT_LT(start, order.size());
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(opened[i], order[(start + i) % order.size()]) << "play " << i;
    }
}

// The device the last cue went to: the next track's, prepared; 0 before one.
MCIDEVICEID CuedDevice() {
    MCIDEVICEID id = 0;
    for (const MciCall& call : RecordedCalls()) {
        if (call.command == MCI_CUE) id = call.id;
    }
    return id;
}

size_t CountPlaysOn(MCIDEVICEID id) {
    size_t count = 0;
    for (const MciCall& call : RecordedCalls()) count += call.command == MCI_PLAY && call.id == id ? 1 : 0;
    return count;
}

TEST_F(PlaybackTest, TheNextTrackIsPreparedThenTakenAtItsTurnOrLetGo) {
    for (const wchar_t* name : {L"a.wma", L"b.wma", L"c.wma"}) ASSERT_FALSE(WriteTestFile(dir, name, {0}).empty());
    app->afterPlayback = AFTER_NEXT;
    InstallScriptedMci(app);
    EditScript([](MciScript& s) { s.length = 3000, s.position = 100, s.mode = MCI_MODE_STOP, s.freshIds = true; });
    Start();
    const auto post = [&](UINT message, WPARAM wParam, LPARAM lParam) {
        app->ticksSinceSelect = 10;
        PostMessageW(app->mainWindow, message, wParam, lParam);
    };
    struct Case {
        const char* what;
        std::function<void()> act;
        bool taken;  // played at once on its own device; else closed
    };
    const Case cases[] = {
        {"the end of the track", [&] { post(MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, Load(app->device.deviceId)); }, true},
        {"Next", [&] { post(WM_COMMAND, CMD_NEXT, 0); }, true},
        {"Previous", [&] { post(WM_COMMAND, CMD_PREVIOUS, 0); }, false},
        {"Shuffle", [&] { post(WM_COMMAND, CMD_SHUFFLE, 0); }, false},
        {"another After Playback action", [&] { post(WM_COMMAND, CMD_AFTER_REPEAT, 0); }, false},
        {"Stop", [&] { post(WM_COMMAND, CMD_STOP, 0); }, false},
        {"a new search", [&] { post(WM_COMMAND, CMD_SUBDIRS, 0); }, false},
        {"a removal", [&] { SendMessageW(app->mainWindow, WM_APP_STATUS, STATUS_OPEN_FAILED,
                                         reinterpret_cast<LPARAM>(L"C:\\elsewhere.wma")); }, false},
        {"the close", [&] { post(WM_CLOSE, 0, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app->afterPlayback = AFTER_NEXT;
        ClearCalls();
        ASSERT_TRUE(OpenAndWait(app, dir + L"\\"));
        MCIDEVICEID prepared = 0;
        ASSERT_TRUE(PumpUntil([&] { return (prepared = CuedDevice()) != 0; }, kWaitMs));
        EXPECT_NE(prepared, Load(app->device.deviceId));
        c.act();
        ASSERT_TRUE(PumpUntil([&] { return CountPlaysOn(prepared) + CountClosesOf(prepared) > 0; }, kWaitMs));
        PumpFor(300);
        EXPECT_EQ(CountPlaysOn(prepared), c.taken ? 1u : 0u);
        EXPECT_EQ(CountClosesOf(prepared), c.taken ? 0u : 1u);
        // Taken, it needed no open of its own at its turn: its only open
        // was its preparation's.
        if (c.taken) {
            const std::wstring now = app->currentPath;
            const auto calls = RecordedCalls();
            EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                                    [&](const MciCall& call) { return call.command == MCI_OPEN && call.element == now; }),
                      1);
        }
    }
}

TEST_F(PlaybackTest, ATrackThatCannotGoOnNeverLeavesThePlayerSilentAndDeaf) {
    for (const wchar_t* name : {L"a.wma", L"b.wma", L"c.wma"}) ASSERT_FALSE(WriteTestFile(dir, name, {0}).empty());
    const std::vector<std::wstring> listing = ListTree(dir, 0);
    const auto press = [&](WPARAM id) { SendMessageW(app->mainWindow, WM_COMMAND, id, 0); };
    InstallScriptedMci(app);
    Start();
    struct Case {
        const char* what;
        int32_t after;
        uint32_t length, position;  // a length of 3000 has the next track prepared at once
        bool hangNextOpen;
        std::function<void()> fault;  // while the first track plays
        bool fails;                   // the first track is taken off the list
        bool nextPlays;               // else the first plays again
    };
    const auto hang = [](UINT command) {
        EditScript([=](MciScript& s) { s.hangCommand = command, s.outMs = kDeviceCallLimitMs; });
    };
    const Case cases[] = {
        {"a read that does not return", AFTER_NEXT, 3000, 3000, false, [&] {
             PumpUntil([] { return CuedDevice() != 0; }, kWaitMs);
             EditScript([](MciScript& s) { s.hangRead = true, s.outMs = kDeviceCallLimitMs; });
             Play(listing[0]);
         }, true, true},
        {"the playing device, with Play Next", AFTER_NEXT, 60000, 60000, false, [&] { hang(MCI_STATUS); }, false, true},
        {"the playing device, then Play", AFTER_STOP, 60000, 60000, false, [&] {
             hang(MCI_STATUS);
             PumpUntil([&] { return Load(app->device.deviceState) == DEV_CLOSED; }, 2 * kWaitMs);
             press(CMD_PLAY_PAUSE);
         }, false, false},
        {"the next track's preparation", AFTER_NEXT, 3000, 3000, true, [&] {
             // The track plays on under control while the next one's open hangs...
             EXPECT_TRUE(PumpUntil([] { return HungOpens() == 1; }, kWaitMs));
             EditScript([](MciScript& s) { s.mode = MCI_MODE_PLAY; });
             press(CMD_PLAY_PAUSE);
             EXPECT_TRUE(WaitForState(DEV_PAUSED));
             // ...and at its end the next one plays all the same.
             ReleaseHungOpens();
             EditScript([](MciScript& s) { s.mode = MCI_MODE_PAUSE; });
             press(CMD_PLAY_PAUSE);
             // A real end comes after the resume; one posted before it is stale.
             EXPECT_TRUE(WaitForState(DEV_PLAYING));
             PostMessageW(app->mainWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, Load(app->device.deviceId));
         }, false, true},
        {"a play that stands still", AFTER_NEXT, 60000, 60000, false, [] {
             EditScript([](MciScript& s) { s.mode = MCI_MODE_PLAY; });
         }, true, true},
        {"a play that never moved and stopped", AFTER_NEXT, 60000, 0, false, [] {}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReleaseHungOpens();
        InstallScriptedMci(app);
        EditScript([&](MciScript& s) {
            s.length = c.length, s.position = c.position, s.freshIds = true;
            if (c.hangNextOpen) s.hangOpenOf = listing[1];
        });
        app->afterPlayback = c.after;
        ASSERT_TRUE(OpenAndWait(app, listing[0]));
        ASSERT_TRUE(WaitForState(DEV_PLAYING));
        c.fault();
        const std::wstring expected = c.nextPlays ? listing[1] : listing[0];
        ASSERT_TRUE(PumpUntil([&] { return Load(app->device.deviceState) == DEV_PLAYING && expected == app->currentPath; },
                              3 * kWaitMs));
        EXPECT_EQ(c.fails, listing[0] == app->failedPath);
        EXPECT_EQ(Load(app->trackCount), c.fails ? 2 : 3);
        app->failedPath[0] = 0;
    }
}

}  // namespace
