// The deferral slots, their re-posting, the snapshots and the notices the
// workers send, handled on this (the user-interface) thread. Messages the
// handlers post go to a real plain window and are read back in order.
#include <gtest/gtest.h>

#include <process.h>

#include <string>
#include <vector>

#include "app/deferred.h"
#include "app/tick.h"
#include "core/deferral.h"
#include "app/window.h"
#include "app/worker_messages.h"
#include "core/worker_protocol.h"
#include "library/play_order.h"
#include "support/window_fixture.h"

namespace {

// Messages the handlers send to the main window arrive here at once, while
// posted ones wait in the queue for TakePosted.
std::vector<PostedMessage> g_sent;

LRESULT CALLBACK RecordSent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP || message == WM_COMMAND || message == WM_CLOSE) {
        g_sent.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = ResetWithDefaults();
        app->mainWindow = CreatePlainWindow();
        ASSERT_NE(app->mainWindow, nullptr);
        app->wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        TakePosted(app->mainWindow);
        g_sent.clear();
    }
    // The re-posting runs parked requests at once through the window
    // procedure; this records them instead.
    void RecordSentMessages() {
        SetWindowLongPtrW(app->mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordSent));
    }
    void TearDown() override {
        DestroyWindow(app->mainWindow);
        CloseHandle(app->wakeEvent);
    }
    bool WakeSignalled() { return WaitForSingleObject(app->wakeEvent, 0) == WAIT_OBJECT_0; }

    AppState* app = nullptr;
};

TEST_F(ProtocolTest, DeferralRuleActsParksOrDropsBySearchState) {
    struct Case {
        const char* name;
        int32_t state;
        int32_t slotBefore;
        bool runsNow;
        int32_t slotAfter;
    };
    const Case cases[] = {
        {"idle acts", Idle, 0, true, 0},
        {"running parks", Running, 0, false, DEFER_NEXT},
        {"running overwrites an older request", Running, DEFER_PREVIOUS, false, DEFER_NEXT},
        {"running never overwrites the close", Running, DEFER_CLOSE, false, DEFER_CLOSE},
        {"stopping drops", Stopping, 0, false, 0},
        {"closing drops", Closing, DEFER_PREVIOUS, false, DEFER_PREVIOUS},
    };
    for (const Case& c : cases) {
        Store(app->searchState, c.state);
        app->deferredSlots[kSlotMain] = c.slotBefore;
        EXPECT_EQ(MayRunNow(app, kSlotMain, DEFER_NEXT), c.runsNow) << c.name;
        EXPECT_EQ(app->deferredSlots[kSlotMain], c.slotAfter) << c.name;
    }
}

TEST_F(ProtocolTest, EveryParkedCodeIsHandedOnAsItsMessage) {
    RecordSentMessages();
    struct Case {
        int32_t code;
        int slot;
        UINT message;
        WPARAM wParam;
        bool posted;  // dialogs and the close wait in the queue; the rest run at once
    };
    const Case cases[] = {
        {1, 1, WM_CLOSE, 0, true},             {2, 1, WM_COMMAND, 9001, true},
        {3, 1, WM_COMMAND, 9002, true},        {4, 1, WM_APP_OPERATION, 4, false},
        {5, 1, WM_APP_OPERATION, 5, false},    {6, 0, WM_APP_OPERATION, 6, false},
        {7, 0, WM_COMMAND, 9005, false},       {8, 2, WM_APP_OPERATION, 8, false},
        {10, 3, WM_COMMAND, 9006, false},      {11, 1, WM_COMMAND, 9015, false},
        {12, 1, WM_COMMAND, 9014, false},      {13, 1, WM_APP_OPERATION, 13, false},
        {14, 1, WM_COMMAND, 9016, false},      {15, 1, WM_APP_OPERATION, 15, false},
    };
    for (const Case& c : cases) {
        Store(app->searchState, Running);
        app->searchToken = 0x1234;
        app->deferredSlots[c.slot] = c.code;
        g_sent.clear();
        OnWorkerDone(app, 0x1234, kSearchWorker);
        const auto posted = TakePosted(app->mainWindow);
        const auto& delivered = c.posted ? posted : g_sent;
        EXPECT_TRUE((c.posted ? g_sent : posted).empty()) << "code " << c.code;
        ASSERT_EQ(delivered.size(), 1u) << "code " << c.code;
        EXPECT_EQ(delivered[0].message, c.message) << "code " << c.code;
        EXPECT_EQ(delivered[0].wParam, c.wParam) << "code " << c.code;
        EXPECT_EQ(delivered[0].lParam, 0) << "code " << c.code;
        EXPECT_EQ(app->deferredSlots[c.slot], 0) << "code " << c.code;
    }
    // Unknown codes deliver nothing but are cleared all the same.
    Store(app->searchState, Running);
    app->deferredSlots[0] = 16;
    app->deferredSlots[3] = -2;
    g_sent.clear();
    OnWorkerDone(app, 0x1234, kSearchWorker);
    EXPECT_TRUE(TakePosted(app->mainWindow).empty());
    EXPECT_TRUE(g_sent.empty());
    EXPECT_EQ(app->deferredSlots[0], 0);
    EXPECT_EQ(app->deferredSlots[3], 0);
}

TEST_F(ProtocolTest, AParkedRemovalRunsBehindARebuildOfTheNewList) {
    RecordSentMessages();
    const PostedMessage rebuild = {WM_APP_OPERATION, 6, 0};
    const PostedMessage remove = {WM_APP_OPERATION, 9, 0};
    const PostedMessage shuffle = {WM_COMMAND, CMD_SHUFFLE, 0};
    struct Case {
        std::vector<int32_t> order;  // parked for the order slot, in turn
        int32_t main;                // parked in slot 1
        std::vector<PostedMessage> runs;
    };
    const Case cases[] = {
        {{9}, 0, {rebuild, remove}},
        // The open decides what plays: the removal only takes the track out.
        {{9}, DEFER_OPEN_PATH, {rebuild, {WM_APP_OPERATION, 9, kRemoveOnly}, {WM_APP_OPERATION, 4, 0}}},
        {{9, 7}, 0, {rebuild, remove, shuffle}},
        // A Shuffle is kept whatever is parked after it, and two cancel.
        {{7, 9}, 0, {rebuild, remove, shuffle}},
        {{7, 6}, 0, {rebuild, shuffle}},
        {{6, 7}, 0, {rebuild, shuffle}},
        {{7, 6, 7}, 0, {rebuild}},
        {{7, 9}, DEFER_OPEN_PATH, {rebuild, {WM_APP_OPERATION, 9, kRemoveOnly}, shuffle, {WM_APP_OPERATION, 4, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(c.order) << " main " << c.main);
        Store(app->searchState, Running);
        app->searchToken = 9;
        app->deferredSlots[kSlotMain] = c.main;
        for (int32_t code : c.order) ParkCode(app, kSlotOrder, code);
        g_sent.clear();
        OnWorkerDone(app, 9, kSearchWorker);
        ASSERT_EQ(g_sent.size(), c.runs.size());
        for (size_t i = 0; i < c.runs.size(); ++i) {
            EXPECT_EQ(g_sent[i].message, c.runs[i].message) << i;
            EXPECT_EQ(g_sent[i].wParam, c.runs[i].wParam) << i;
            EXPECT_EQ(g_sent[i].lParam, c.runs[i].lParam) << i;
        }
        // What ran is forgotten: the next search's end runs nothing by itself.
        Store(app->searchState, Running);
        g_sent.clear();
        OnWorkerDone(app, 9, kSearchWorker);
        EXPECT_TRUE(g_sent.empty());
    }
}

TEST_F(ProtocolTest, AcceptedSearchCompletionRunsTheParkedRequestsInSlotOrderAndEndsTheNotice) {
    RecordSentMessages();
    Store(app->searchState, Running);
    app->searchToken = 77;
    app->deferredSlots[3] = DEFER_SUBDIRS;
    app->deferredSlots[2] = DEFER_SELECT_TRACK;
    app->deferredSlots[1] = DEFER_NEXT;
    app->deferredSlots[0] = DEFER_BUILD_ORDER;
    app->statusKind = StatusSearching;
    app->statusTicks = 4000;
    Store(app->redraw, 0);

    OnWorkerDone(app, 77, 3);  // only the low bit names the worker

    EXPECT_TRUE(TakePosted(app->mainWindow).empty());
    ASSERT_EQ(g_sent.size(), 4u);
    EXPECT_EQ(g_sent[0].message, WM_APP_OPERATION);
    EXPECT_EQ(g_sent[0].wParam, 6u);
    EXPECT_EQ(g_sent[1].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(g_sent[1].wParam, 9015u);
    EXPECT_EQ(g_sent[2].message, WM_APP_OPERATION);
    EXPECT_EQ(g_sent[2].wParam, 8u);
    EXPECT_EQ(g_sent[3].wParam, 9006u);
    EXPECT_EQ(Load(app->searchState), Idle);
    EXPECT_EQ(app->statusKind, StatusShowText);
    EXPECT_EQ(app->statusTicks, 0);
    EXPECT_EQ(Load(app->redraw), 1);
}

TEST_F(ProtocolTest, OpenRequestsAndRemovalsAreNotDisplacedByWhatCannotReplaceThem) {
    struct Case {
        int32_t parked;
        int32_t code;
        int32_t kept;
        int32_t shuffleParked;  // a Shuffle waits beside the slot
    };
    const Case cases[] = {
        // Navigation never displaces an open request.
        {DEFER_OPEN_PATH, DEFER_NEXT, DEFER_OPEN_PATH},
        {DEFER_OPEN_PATH, DEFER_PREVIOUS, DEFER_OPEN_PATH},
        {DEFER_OPEN_PATH, DEFER_REPLAY_POSITION, DEFER_OPEN_PATH},
        {DEFER_OPEN_PATH, DEFER_RANDOM, DEFER_OPEN_PATH},
        {DEFER_OPEN_FILE, DEFER_NEXT, DEFER_OPEN_FILE},
        {DEFER_OPEN_DIRECTORY, DEFER_RANDOM, DEFER_OPEN_DIRECTORY},
        {DEFER_START_SEARCH, DEFER_PREVIOUS, DEFER_START_SEARCH},
        // A newer open, or the close, still replaces it; an open replaces navigation.
        {DEFER_OPEN_FILE, DEFER_OPEN_DIRECTORY, DEFER_OPEN_DIRECTORY},
        {DEFER_OPEN_PATH, DEFER_CLOSE, DEFER_CLOSE},
        {DEFER_NEXT, DEFER_OPEN_PATH, DEFER_OPEN_PATH},
        {DEFER_NEXT, DEFER_PREVIOUS, DEFER_PREVIOUS},
        // The search's rebuild never displaces a removal, which rebuilds itself.
        {DEFER_REMOVE_FAILED, DEFER_BUILD_ORDER, DEFER_REMOVE_FAILED},
        {DEFER_BUILD_ORDER, DEFER_REMOVE_FAILED, DEFER_REMOVE_FAILED},
        // A Shuffle displaces nothing, and nothing displaces it.
        {DEFER_BUILD_ORDER, DEFER_SHUFFLE, DEFER_BUILD_ORDER, 1},
        {0, DEFER_SHUFFLE, 0, 1},
        {DEFER_REMOVE_FAILED, DEFER_SHUFFLE, DEFER_REMOVE_FAILED, 1},
        // The end of a track is navigation too.
        {DEFER_OPEN_PATH, DEFER_PLAY_NEXT, DEFER_OPEN_PATH},
    };
    for (const Case& c : cases) {
        const int slot = c.code == DEFER_BUILD_ORDER || c.code == DEFER_REMOVE_FAILED || c.code == DEFER_SHUFFLE
                             ? kSlotOrder
                             : kSlotMain;
        app->deferredSlots[slot] = c.parked;
        app->shuffleParked = 0;
        ParkCode(app, slot, c.code);
        EXPECT_EQ(app->deferredSlots[slot], c.kept) << "parked " << c.parked << ", then " << c.code;
        EXPECT_EQ(app->shuffleParked, c.shuffleParked) << "parked " << c.parked << ", then " << c.code;
    }
    // The search thread's own request goes through the same rule.
    Store(app->searchState, Running);
    app->deferredSlots[kSlotOrder] = DEFER_REMOVE_FAILED;
    EXPECT_EQ(OnDefer(app, DEFER_BUILD_ORDER, kSlotOrder), 1);
    EXPECT_EQ(app->deferredSlots[kSlotOrder], DEFER_REMOVE_FAILED);
}

TEST_F(ProtocolTest, StaleOrLateCompletionNoticesAreIgnored) {
    struct Case {
        const char* name;
        int worker;
        int32_t state;
        uint32_t sentToken;
    };
    const Case cases[] = {
        {"stale search token", kSearchWorker, Running, 41},
        {"stale playback token", kPlaybackWorker, Stopping, 41},
        {"search closing", kSearchWorker, Closing, 42},
        {"playback closed", kPlaybackWorker, Closed, 42},
    };
    for (const Case& c : cases) {
        app->searchToken = 42;
        app->playbackToken = 42;
        std::atomic<int32_t>& state = c.worker == kSearchWorker ? app->searchState : app->playbackState;
        Store(state, c.state);
        app->deferredSlots[1] = DEFER_NEXT;
        OnWorkerDone(app, c.sentToken, c.worker);
        EXPECT_EQ(Load(state), c.state) << c.name;
        EXPECT_EQ(app->deferredSlots[1], DEFER_NEXT) << c.name;
        EXPECT_TRUE(TakePosted(app->mainWindow).empty()) << c.name;
    }
}

TEST_F(ProtocolTest, PlaybackCompletionContinuesTheClose) {
    Store(app->playbackState, Stopping);
    app->playbackToken = 5;
    app->deferredSlots[1] = DEFER_NEXT;
    OnWorkerDone(app, 5, kPlaybackWorker);
    EXPECT_EQ(Load(app->playbackState), Idle);
    const auto posted = TakePosted(app->mainWindow);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_CLOSE));
    // The search's parked requests are not the playback thread's to re-post.
    EXPECT_EQ(app->deferredSlots[1], DEFER_NEXT);
}

TEST_F(ProtocolTest, SnapshotsCopyOnlyWhatTheirCodeNames) {
    app->commandFlags = PB_PLAY | PB_STOP;
    OnSnapshot(app, SNAP_FLAGS);
    EXPECT_EQ(app->snapFlags, PB_PLAY | PB_STOP);
    EXPECT_EQ(app->commandFlags, 0u);
    OnSnapshot(app, SNAP_FLAGS);
    EXPECT_EQ(app->snapFlags, 0u);

    CopyText(app->currentPath, L"C:\\music\\a.mp3", 100);
    OnSnapshot(app, SNAP_TRACK_PATH);
    EXPECT_STREQ(app->snapPath, L"C:\\music\\a.mp3");

    app->seekFraction = 0.25f;
    OnSnapshot(app, SNAP_SEEK);
    EXPECT_EQ(app->snapSeekFraction, 0.25f);

    CopyText(app->searchDir, L"C:\\music\\", 100);
    for (int subdirs : {0, 1}) {
        app->includeSubdirs = subdirs;
        OnSnapshot(app, SNAP_SEARCH);
        EXPECT_STREQ(app->searchRoot, L"C:\\music\\");
        EXPECT_EQ(app->searchDepth, subdirs * 8);
    }

    // An unknown code touches nothing.
    app->commandFlags = PB_TOGGLE;
    app->snapFlags = 0x77;
    CopyText(app->currentPath, L"other", 100);
    OnSnapshot(app, 0x3B04);
    OnSnapshot(app, 0x3AFF);
    EXPECT_EQ(app->commandFlags, PB_TOGGLE);
    EXPECT_EQ(app->snapFlags, 0x77u);
    EXPECT_STREQ(app->snapPath, L"C:\\music\\a.mp3");
}

struct SnapshotRequest {
    AppState* app;
    WPARAM code;
    bool ran;
};

unsigned __stdcall RequestFromWorker(void* argument) {
    auto* request = static_cast<SnapshotRequest*>(argument);
    request->ran = RequestSnapshot(request->app, request->code);
    return 0;
}

TEST_F(ProtocolTest, WorkerSnapshotRunsTheHandlerOnThisThread) {
    // The handshake goes through the main window's procedure, so route the
    // plain window's messages there for this test.
    SetWindowLongPtrW(app->mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowProc));
    app->commandFlags = PB_SEEK;
    SnapshotRequest request = {app, SNAP_FLAGS, false};
    HANDLE worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RequestFromWorker, &request, 0, nullptr));
    ASSERT_NE(worker, nullptr);
    const bool done = PumpUntil([worker] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 5000);
    CloseHandle(worker);
    ASSERT_TRUE(done);
    EXPECT_TRUE(request.ran);
    EXPECT_EQ(app->snapFlags, PB_SEEK);
    EXPECT_EQ(app->commandFlags, 0u);

    // With the window gone the request fails and the worker skips the step.
    DestroyWindow(app->mainWindow);
    app->snapFlags = 0;
    app->commandFlags = PB_STOP;
    request.ran = true;
    worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RequestFromWorker, &request, 0, nullptr));
    PumpUntil([worker] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 5000);
    CloseHandle(worker);
    EXPECT_FALSE(request.ran);
    EXPECT_EQ(app->snapFlags, 0u);
    app->mainWindow = CreatePlainWindow();
}

TEST_F(ProtocolTest, DeferRequestsFromAWorkerDependOnTheSearchState) {
    struct Case {
        const char* name;
        int32_t state;
        LPARAM slot;
        int32_t slotBefore;
        LRESULT result;
        int32_t slotAfter;
    };
    const Case cases[] = {
        {"no search", Idle, 0, 0, 0, 0},
        {"running stores", Running, 0, DEFER_SHUFFLE, 1, DEFER_BUILD_ORDER},
        {"slot taken modulo 4", Running, 4, 0, 1, DEFER_BUILD_ORDER},
        {"close kept", Running, 0, DEFER_CLOSE, 1, DEFER_CLOSE},
        {"being cancelled", Stopping, 0, DEFER_SHUFFLE, 1, DEFER_SHUFFLE},
    };
    for (const Case& c : cases) {
        Store(app->searchState, c.state);
        app->deferredSlots[0] = c.slotBefore;
        EXPECT_EQ(OnDefer(app, DEFER_BUILD_ORDER, c.slot), c.result) << c.name;
        EXPECT_EQ(app->deferredSlots[0], c.slotAfter) << c.name;
    }
}

TEST_F(ProtocolTest, EndOfPlayRunsTheAfterPlaybackAction) {
    struct Case {
        const char* name;
        int32_t after;
        WPARAM notify;
        uint32_t flags;
        bool closes;
    };
    const Case cases[] = {
        {"exit", AFTER_EXIT, MCI_NOTIFY_SUCCESSFUL, 0, true},
        {"stop", AFTER_STOP, MCI_NOTIFY_SUCCESSFUL, PB_STOP, false},
        {"repeat", AFTER_REPEAT, MCI_NOTIFY_SUCCESSFUL, PB_SEEK, false},
        {"next with no tracks stops", AFTER_NEXT, MCI_NOTIFY_SUCCESSFUL, PB_STOP, false},
        {"superseded", AFTER_STOP, MCI_NOTIFY_SUPERSEDED, 0, false},
        {"aborted", AFTER_EXIT, MCI_NOTIFY_ABORTED, 0, false},
        {"failed", AFTER_REPEAT, MCI_NOTIFY_FAILURE, 0, false},
    };
    Store(app->device.deviceId, 1);
    Store(app->device.deviceState, DEV_PLAYING);
    for (const Case& c : cases) {
        app->afterPlayback = c.after;
        app->commandFlags = 0;
        app->seekFraction = 0.5f;
        OnMciNotify(app, c.notify, 1);
        EXPECT_EQ(app->commandFlags, c.flags) << c.name;
        EXPECT_EQ(WakeSignalled(), c.flags != 0) << c.name;
        if (c.flags & PB_SEEK) {
            EXPECT_EQ(app->seekFraction, 0.0f) << c.name;
        }
        const auto posted = TakePosted(app->mainWindow);
        EXPECT_EQ(!posted.empty() && posted[0].message == WM_CLOSE, c.closes) << c.name;
    }
}

TEST_F(ProtocolTest, PlayNextDuringASearchParksTheNextTrack) {
    app->afterPlayback = AFTER_NEXT;
    Store(app->device.deviceId, 1);
    Store(app->device.deviceState, DEV_PLAYING);
    Store(app->searchState, Running);
    // While the search counts, the list reads empty; that is no end of music.
    for (int32_t count : {3, 0}) {
        Store(app->trackCount, count);
        app->deferredSlots[kSlotMain] = 0;
        OnMciNotify(app, MCI_NOTIFY_SUCCESSFUL, 1);
        EXPECT_EQ(app->deferredSlots[kSlotMain], DEFER_PLAY_NEXT) << count << " tracks";
        EXPECT_EQ(app->commandFlags, 0u) << count << " tracks";
        EXPECT_FALSE(WakeSignalled()) << count << " tracks";
    }

    app->deferredSlots[kSlotMain] = DEFER_CLOSE;
    OnMciNotify(app, MCI_NOTIFY_SUCCESSFUL, 1);
    EXPECT_EQ(app->deferredSlots[kSlotMain], DEFER_CLOSE);
}

TEST_F(ProtocolTest, AnEndOfPlayThatBelongsToAnEarlierTrackChangesNothing) {
    // Posted through the window procedure, which reads each message's time.
    SetWindowLongPtrW(app->mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MainWindowProc));
    struct Case {
        const char* name;
        LPARAM device;
        int32_t state;
        uint32_t opened;      // the selection the device has open; the current one is 2
        int64_t openedAgoMs;  // negative: opened after the notice was posted
        bool acts;
    };
    const int64_t days = 24 * 3600 * 1000LL;
    const Case cases[] = {
        {"the open device", 7, DEV_PLAYING, 2, 1000, true},
        // Past 2^31 ms, where a signed difference of the two times turns.
        {"the open device, opened 25 days ago", 7, DEV_PLAYING, 2, 25 * days, true},
        {"no device named, posted after the open", 0, DEV_STOPPED, 2, 1000, true},
        {"a device given up", 9, DEV_PLAYING, 2, 1000, false},
        {"no device named, none open", 0, DEV_CLOSED, 2, 1000, false},
        {"the selection not opened yet", 7, DEV_PLAYING, 1, 1000, false},
        {"posted before the open", 0, DEV_PLAYING, 2, -1000, false},
    };
    app->afterPlayback = AFTER_STOP;
    Store(app->device.deviceId, 7);
    app->selectionSerial = 2;
    for (const Case& c : cases) {
        Store(app->device.deviceState, c.state);
        Store(app->openedSelection, c.opened);
        Store(app->openedAt, GetTickCount() - static_cast<uint32_t>(c.openedAgoMs));
        app->commandFlags = 0;
        PostMessageW(app->mainWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, c.device);
        PumpFor(20);
        EXPECT_EQ(app->commandFlags, c.acts ? PB_STOP : 0u) << c.name;
    }
}

TEST_F(ProtocolTest, StatusNoticesAndFailedPaths) {
    OnStatus(app, STATUS_NOTICE, 4800);
    EXPECT_EQ(app->statusKind, StatusSearching);
    EXPECT_EQ(app->statusTicks, 4800);

    CopyText(app->statusText, L"kept", 10);
    OnStatus(app, STATUS_TEXT, 0);
    EXPECT_STREQ(app->statusText, L"kept");
    OnStatus(app, 2, reinterpret_cast<LPARAM>(L"ignored"));
    OnStatus(app, 4, reinterpret_cast<LPARAM>(L"ignored"));
    EXPECT_STREQ(app->statusText, L"kept");

    // A search is "running" so the removal parks itself and failedPath stays
    // as received.
    Store(app->searchState, Running);
    const std::wstring longPath = L"C:\\" + std::wstring(297, L'x');
    OnStatus(app, STATUS_OPEN_FAILED, reinterpret_cast<LPARAM>(longPath.c_str()));
    EXPECT_EQ(std::wstring(app->failedPath), longPath.substr(0, 259));
    EXPECT_EQ(app->deferredSlots[kSlotOrder], DEFER_REMOVE_FAILED);
}

TEST_F(ProtocolTest, SuspendReleasesOnlyAnAudioCd) {
    CopyText(app->statusText, L"Track 7", 10);
    OnPowerBroadcast(app, 4);
    EXPECT_EQ(app->commandFlags, 0u);
    EXPECT_STREQ(app->statusText, L"Track 7");

    Store(app->cdTrack, 1);
    OnPowerBroadcast(app, 7);  // resume: nothing
    EXPECT_EQ(app->commandFlags, 0u);

    app->statusKind = StatusVolume;
    OnPowerBroadcast(app, 4);
    EXPECT_EQ(app->commandFlags, PB_STOP | PB_CLOSE);
    EXPECT_TRUE(WakeSignalled());
    EXPECT_STREQ(app->statusText, L"Pebbletune");
    EXPECT_EQ(app->statusKind, StatusShowText);
}

}  // namespace
