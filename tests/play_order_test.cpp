// The play order: the generator, the shuffle, selection, navigation and the
// removal of failed tracks; then the same through searches in the real window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/deferred.h"
#include "app/tick.h"
#include "core/deferral.h"
#include "library/open_path.h"
#include "library/play_order.h"
#include "playback/media_device.h"
#include "support/library_support.h"
#include "support/playback_support.h"
#include "support/window_fixture.h"

namespace {

std::wstring TrackName(int i) {
    return L"C:\\m\\t" + std::to_wstring(i) + L".mp3";
}

// A list held in memory only: no window, so commandFlags stays as set.
class PlayOrderTest : public testing::Test {
protected:
    void SetUp() override { app_ = ResetWithDefaults(); }
    void TearDown() override {
        std::free(app_->trackList.exchange(nullptr));
        std::free(app_->playOrder.exchange(nullptr));
    }
    void MakeList(int32_t count) {
        std::free(app_->trackList.exchange(nullptr));
        std::free(app_->playOrder.exchange(nullptr));
        const size_t n = static_cast<size_t>(std::max(count, 1));
        auto* list = static_cast<TrackEntry*>(std::calloc(n, sizeof(TrackEntry)));
        auto* order = static_cast<int32_t*>(std::calloc(n, sizeof(int32_t)));
        for (int32_t i = 0; i < count; ++i) {
            CopyText(list[i].path, TrackName(i).c_str(), kPathUnits - 1);
            order[i] = i;
        }
        Store(app_->trackList, list);
        Store(app_->playOrder, order);
        Store(app_->trackCount, count);
        Store(app_->trackCapacity, count);
        CopyText(app_->searchDir, L"C:\\m\\", kBufferUnits - 1);
    }
    std::vector<int32_t> Order() const {
        const int32_t* order = Load(app_->playOrder);
        return std::vector<int32_t>(order, order + Load(app_->trackCount));
    }
    void SetOrder(const std::vector<int32_t>& order) {
        std::copy(order.begin(), order.end(), Load(app_->playOrder));
    }
    AppState* app_ = nullptr;
};

TEST_F(PlayOrderTest, DrawsFollowTheGenerator) {
    struct Case {
        uint32_t seed;
        std::vector<uint32_t> draws;  // worked out by hand from the formula
    };
    const Case cases[] = {{1, {41, 18467, 6334, 26500, 19169}}, {0, {38, 7719, 21238}}};
    for (const Case& c : cases) {
        SeedRandom(app_, c.seed);
        for (size_t i = 0; i < c.draws.size(); ++i) {
            EXPECT_EQ(DrawRandom(app_), c.draws[i]) << "seed " << c.seed << " draw " << i;
        }
    }
}

TEST_F(PlayOrderTest, ShuffleSwapsEachPositionWithADrawnOneThenRestoresTheCurrentTrack) {
    struct Case {
        int32_t count;
        std::wstring currentPath;  // the opened path; C:\m\ is the directory itself
        int32_t shuffle;
        std::vector<uint32_t> residues;  // the draws, modulo count
        std::vector<int32_t> order;
        int32_t position;
    };
    const Case cases[] = {
        {4, L"C:\\M\\T2.MP3", 1, {3, 3, 0, 1}, {3, 1, 2, 0}, 2},
        {3, L"c:\\m\\t0.mp3", 1, {1, 2, 0}, {0, 2, 1}, 0},
        // A directory: the first draw picks the current track.
        {4, L"C:\\m\\", 1, {2, 3, 3, 0, 1}, {3, 1, 2, 0}, 2},
        {4, L"C:\\m\\", 0, {3}, {0, 1, 2, 3}, 3},
        // Not in the list: the position stays -1 and nothing is swapped back.
        {3, L"C:\\other\\t0.mp3", 1, {2, 2, 2}, {2, 0, 1}, -1},
        {4, L"C:\\m\\t1.mp3", 0, {}, {0, 1, 2, 3}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " path "
                                        << testing::PrintToString(c.currentPath));
        MakeList(c.count);
        SetOrder(std::vector<int32_t>(static_cast<size_t>(c.count), 0));
        CopyText(app_->currentPath, c.currentPath.c_str(), kBufferUnits - 1);
        Store(app_->currentTrack, -1);
        app_->shuffle = c.shuffle;
        const uint32_t seed = SeedForResidues(c.residues, static_cast<uint32_t>(c.count));
        SeedRandom(app_, seed);
        BuildPlayOrder(app_);
        EXPECT_EQ(Order(), c.order);
        EXPECT_EQ(app_->playPosition, c.position);
        EXPECT_EQ(Load(app_->currentTrack), c.position);
        // Exactly one draw per residue listed.
        uint32_t s = seed;
        for (size_t i = 0; i < c.residues.size(); ++i) StepGenerator(&s);
        EXPECT_EQ(app_->randomState, s);
    }
}

TEST_F(PlayOrderTest, LookupFoldsOnlyAToZ) {
    MakeList(3);
    CopyText(Load(app_->trackList)[2].path, L"C:\\m\\\x00C9t\x00E9.mp3", kPathUnits - 1);
    struct Case {
        std::wstring currentPath;
        int32_t expected;
    };
    const Case cases[] = {
        {L"C:\\M\\T1.MP3", 1},
        {L"c:\\m\\t0.mp3", 0},
        {L"C:\\m\\\x00C9T\x00E9.mp3", 2},
        {L"C:\\m\\\x00E9t\x00E9.mp3", 7},  // É and é differ: the old index stays
        {L"C:\\m\\t1.mp", 7},
    };
    for (const Case& c : cases) {
        CopyText(app_->currentPath, c.currentPath.c_str(), kBufferUnits - 1);
        Store(app_->currentTrack, 7);
        BuildPlayOrder(app_);
        EXPECT_EQ(Load(app_->currentTrack), c.expected) << testing::PrintToString(c.currentPath);
    }
}

TEST_F(PlayOrderTest, GoToPositionWrapsWithATruncatingRemainder) {
    MakeList(5);
    const std::vector<int32_t> order = {3, 0, 4, 1, 2};
    struct Case {
        int32_t position;
        int32_t wrapped;
    };
    const Case cases[] = {{0, 0}, {4, 4}, {5, 0}, {7, 2}, {-1, 4}, {-5, 0}, {-6, 4}, {-13, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.position);
        SetOrder(order);
        app_->commandFlags = 0;
        app_->ticksSinceSelect = 50;
        GoToPosition(app_, c.position);
        EXPECT_EQ(app_->playPosition, c.wrapped);
        EXPECT_EQ(Load(app_->currentTrack), order[static_cast<size_t>(c.wrapped)]);
        EXPECT_EQ(std::wstring(app_->currentPath), TrackName(order[static_cast<size_t>(c.wrapped)]));
        EXPECT_EQ(app_->commandFlags, PB_PLAY);
        EXPECT_EQ(app_->ticksSinceSelect, 0);
    }
}

TEST_F(PlayOrderTest, SelectCurrentTrackPlaysTheCurrentEntryOrThePathItself) {
    struct Case {
        int32_t count;
        int32_t current;
        const wchar_t* pathBefore;
        int32_t state;
        int32_t currentAfter;
        std::wstring pathAfter;
        uint32_t flags;
        int32_t slot2;
    };
    const Case cases[] = {
        {5, 3, L"", Idle, 3, TrackName(3), PB_PLAY, 0},
        {5, 7, L"", Idle, 2, TrackName(2), PB_PLAY, 0},
        {5, -1, L"C:\\x\\a.wav", Idle, -1, L"C:\\x\\a.wav", PB_PLAY, 0},
        {0, 2, L"C:\\x\\", Idle, 2, L"C:\\x\\", PB_PLAY, 0},
        {5, -1, L"", Idle, -1, L"", 0, 0},
        {5, 3, L"C:\\x\\a.wav", Running, 3, L"C:\\x\\a.wav", 0, DEFER_SELECT_TRACK},
        {5, 3, L"C:\\x\\a.wav", Stopping, 3, L"C:\\x\\a.wav", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " current " << c.current
                                        << " state " << c.state);
        MakeList(c.count);
        Store(app_->currentTrack, c.current);
        CopyText(app_->currentPath, c.pathBefore, kBufferUnits - 1);
        Store(app_->searchState, c.state);
        app_->deferredSlots[kSlotSelect] = 0;
        app_->commandFlags = 0;
        app_->ticksSinceSelect = 50;
        SelectCurrentTrack(app_);
        EXPECT_EQ(Load(app_->currentTrack), c.currentAfter);
        EXPECT_EQ(std::wstring(app_->currentPath), c.pathAfter);
        EXPECT_EQ(app_->commandFlags, c.flags);
        EXPECT_EQ(app_->ticksSinceSelect, c.flags ? 0 : 50);
        EXPECT_EQ(app_->deferredSlots[kSlotSelect], c.slot2);
    }
}

TEST_F(PlayOrderTest, NavigationChecksTheGuardThenTheSearchThenTheList) {
    struct Case {
        const char* what;
        int32_t count;
        int32_t ticks;
        int32_t state;
        int32_t slot1Before;
        int32_t code;
        int32_t delta;
        int32_t position;
        int32_t positionAfter;  // -9: nothing selected
        int32_t slot1After;
    };
    const Case cases[] = {
        {"next", 4, 10, Idle, 0, DEFER_NEXT, 1, 1, 2, 0},
        {"next wraps to the start", 4, 10, Idle, 0, DEFER_NEXT, 1, 3, 0, 0},
        {"previous wraps to the end", 4, 10, Idle, 0, DEFER_PREVIOUS, -1, 0, 3, 0},
        {"random by a multiple of the count", 4, 10, Idle, 0, DEFER_RANDOM, 8, 2, 2, 0},
        {"random", 4, 10, Idle, 0, DEFER_RANDOM, 32766, 1, 3, 0},
        {"single track: next restarts", 1, 10, Idle, 0, DEFER_NEXT, 1, 0, 0, 0},
        {"single track: previous restarts", 1, 10, Idle, 0, DEFER_PREVIOUS, -1, 0, 0, 0},
        {"single track: random restarts", 1, 10, Idle, 0, DEFER_RANDOM, 12345, 0, 0, 0},
        {"a position left at -1", 4, 10, Idle, 0, DEFER_NEXT, 1, -1, 0, 0},
        {"within the guard", 4, 9, Idle, 0, DEFER_NEXT, 1, 1, -9, 0},
        {"within the guard during a search", 4, 9, Running, 0, DEFER_PREVIOUS, -1, 1, -9, 0},
        {"during a search", 4, 10, Running, 0, DEFER_PREVIOUS, -1, 1, -9, DEFER_PREVIOUS},
        {"during a search, over an older request", 4, 10, Running, DEFER_NEXT, DEFER_RANDOM, 3, 1, -9, DEFER_RANDOM},
        {"during a search, close parked", 4, 10, Running, DEFER_CLOSE, DEFER_NEXT, 1, 1, -9, DEFER_CLOSE},
        {"while the search stops", 4, 10, Stopping, 0, DEFER_NEXT, 1, 1, -9, 0},
        {"empty list", 0, 10, Idle, 0, DEFER_NEXT, 1, 1, -9, 0},
    };
    const std::vector<int32_t> order = {2, 0, 3, 1};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeList(c.count);
        if (c.count == 4) SetOrder(order);
        Store(app_->searchState, c.state);
        app_->deferredSlots[kSlotMain] = c.slot1Before;
        app_->playPosition = c.position;
        Store(app_->currentTrack, 99);
        app_->ticksSinceSelect = c.ticks;
        app_->commandFlags = 0;
        Navigate(app_, c.code, c.delta);
        EXPECT_EQ(app_->deferredSlots[kSlotMain], c.slot1After);
        if (c.positionAfter == -9) {
            EXPECT_EQ(app_->playPosition, c.position);
            EXPECT_EQ(Load(app_->currentTrack), 99);
            EXPECT_EQ(app_->commandFlags, 0u);
            EXPECT_EQ(app_->ticksSinceSelect, c.ticks);
        } else {
            const int32_t track = c.count == 4 ? order[static_cast<size_t>(c.positionAfter)] : 0;
            EXPECT_EQ(app_->playPosition, c.positionAfter);
            EXPECT_EQ(Load(app_->currentTrack), track);
            EXPECT_EQ(std::wstring(app_->currentPath), TrackName(track));
            EXPECT_EQ(app_->commandFlags, PB_PLAY);
            EXPECT_EQ(app_->ticksSinceSelect, 0);
        }
    }
}

TEST_F(PlayOrderTest, RemovingAFailedTrackPlaysItsSuccessorOnlyWithPlayNext) {
    struct Case {
        const char* what;
        int32_t count;
        int32_t failed;          // index of the failed track; -1: a path not in the list
        int32_t after;
        int32_t shuffle;
        int32_t countAfter;
        int32_t kind;
        int32_t ticks;
        std::wstring playing;    // empty: nothing started
        std::wstring pathAfter;
        LPARAM detail;
        std::wstring chosen;     // chosen since the failed track; empty: the failed one
        int32_t owed;            // the successor left to the open waiting behind
    };
    const Case cases[] = {
        {"play next", 4, 1, AFTER_NEXT, 0, 3, StatusOpenFailed, 60, TrackName(2), TrackName(2)},
        {"play next, shuffled", 4, 1, AFTER_NEXT, 1, 3, StatusOpenFailed, 60, TrackName(2), TrackName(2)},
        {"play next after the last", 4, 3, AFTER_NEXT, 0, 3, StatusOpenFailed, 60, TrackName(0), TrackName(0)},
        {"stop", 4, 1, AFTER_STOP, 0, 3, StatusOpenFailed, 60, L"", TrackName(1)},
        {"not in the list", 4, -1, AFTER_NEXT, 0, 4, StatusOpenFailed, 60, L"", L"C:\\M\\T1.MP3"},
        {"the only track", 1, 0, AFTER_NEXT, 0, 0, StatusNoAudio, 100, L"", L""},
        {"an open waits behind it", 4, 1, AFTER_NEXT, 0, 3, StatusOpenFailed, 60, L"", TrackName(1), kRemoveOnly, L"", 1},
        {"an open waits behind it, stop", 4, 1, AFTER_STOP, 0, 3, StatusOpenFailed, 60, L"", TrackName(1), kRemoveOnly},
        {"an open waits behind it, another track chosen since", 4, 1, AFTER_NEXT, 0, 3, StatusOpenFailed, 60, L"",
         TrackName(3), kRemoveOnly, TrackName(3)},
        {"another track chosen since", 4, 1, AFTER_NEXT, 0, 3, StatusOpenFailed, 60, L"", TrackName(3), 0,
         TrackName(3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeList(c.count);
        const std::wstring failed = c.failed >= 0 ? TrackName(c.failed) : L"C:\\M\\T1.MP3";
        CopyText(app_->failedPath, failed.c_str(), kPathUnits - 1);
        CopyText(app_->currentPath, (c.chosen.empty() ? failed : c.chosen).c_str(), kBufferUnits - 1);
        Store(app_->currentTrack, c.failed >= 0 ? c.failed : 1);
        app_->afterPlayback = c.after;
        app_->shuffle = c.shuffle;
        app_->commandFlags = 0;
        app_->ticksSinceSelect = 50;
        app_->successorOwed = 0;
        RemoveFailedTrack(app_, c.detail);

        std::vector<std::wstring> expected;
        for (int32_t i = 0; i < c.count; ++i) {
            if (i != c.failed) expected.push_back(TrackName(i));
        }
        EXPECT_EQ(TrackPaths(app_), expected);
        EXPECT_EQ(Load(app_->trackCount), c.countAfter);
        EXPECT_EQ(app_->statusKind, c.kind);
        EXPECT_EQ(app_->statusTicks, c.ticks);
        EXPECT_EQ(std::wstring(app_->statusText), std::wstring(kProductName));
        EXPECT_EQ(std::wstring(app_->currentPath), c.pathAfter);
        EXPECT_EQ(app_->commandFlags, c.playing.empty() ? 0u : PB_PLAY);
        EXPECT_EQ(app_->successorOwed, c.owed);
    }
}

TEST_F(PlayOrderTest, RemovalDuringASearchParksInTheOrderSlot) {
    MakeList(3);
    CopyText(app_->failedPath, TrackName(1).c_str(), kPathUnits - 1);
    Store(app_->searchState, Running);
    RemoveFailedTrack(app_);
    EXPECT_EQ(app_->deferredSlots[kSlotOrder], DEFER_REMOVE_FAILED);
    EXPECT_EQ(Load(app_->trackCount), 3);
    // The removal rebuilds the order itself, so a rebuild does not displace it.
    BuildPlayOrder(app_);
    EXPECT_EQ(app_->deferredSlots[kSlotOrder], DEFER_REMOVE_FAILED);
}

// The same operations driven by real searches in the player's window.
class PlayOrderWindowTest : public testing::Test {
protected:
    void SetUp() override {
        app_ = ResetWithDefaults();
        ASSERT_NE(CreatePlayerWindow(app_), nullptr);
        ASSERT_TRUE(ParkPlaybackThread(app_));
        root_ = MakeTempDir(L"pt-order");
        ASSERT_FALSE(root_.empty());
        ASSERT_TRUE(TouchFiles(root_, {L"a.mp3", L"b.mp3", L"c.wma", L"d.mp3", L"e.wav"}));
        listing_ = ListTree(root_, 0);
        listing_.erase(std::remove_if(listing_.begin(), listing_.end(),
                                      [](const std::wstring& p) { return FileNameOf(p) == L"e.wav"; }),
                       listing_.end());
        ASSERT_EQ(listing_.size(), 4u);
    }
    void TearDown() override {
        EXPECT_TRUE(CloseAndWait(app_));
        DeleteTree(root_);
    }
    int32_t ListingIndex(const std::wstring& path) const {
        return static_cast<int32_t>(std::find(listing_.begin(), listing_.end(), path) - listing_.begin());
    }
    // Sends a navigation command as the keyboard would; the guard is opened first.
    void Command(WPARAM id) {
        app_->ticksSinceSelect = 10;
        SendMessageW(app_->mainWindow, WM_COMMAND, id, 0);
    }
    AppState* app_ = nullptr;
    std::wstring root_;
    std::vector<std::wstring> listing_;
};

TEST_F(PlayOrderWindowTest, OpeningAFileStartsThereAndNavigationFollowsTheListing) {
    const std::wstring opened = listing_[2];
    ASSERT_TRUE(OpenAndWait(app_, opened));
    ASSERT_EQ(TrackPaths(app_), listing_);
    EXPECT_EQ(Load(app_->currentTrack), 2);
    EXPECT_EQ(std::wstring(app_->currentPath), opened);

    struct Step {
        WPARAM command;
        int32_t position;
    };
    const Step steps[] = {{CMD_NEXT, 3}, {CMD_NEXT, 0}, {CMD_PREVIOUS, 3}, {CMD_PREVIOUS, 2}};
    for (const Step& s : steps) {
        Command(s.command);
        EXPECT_EQ(app_->playPosition, s.position) << s.command;
        EXPECT_EQ(std::wstring(app_->currentPath), listing_[static_cast<size_t>(s.position)]);
        EXPECT_EQ(app_->commandFlags & PB_PLAY, PB_PLAY);
    }
}

TEST_F(PlayOrderWindowTest, OpeningAFolderStartsAtADrawnTrack) {
    const uint32_t seeds[] = {1, 2, 3, 12345};
    for (uint32_t seed : seeds) {
        SeedRandom(app_, seed);
        ASSERT_TRUE(OpenAndWait(app_, root_));
        uint32_t s = seed;
        const int32_t drawn = static_cast<int32_t>(StepGenerator(&s) % 4);
        EXPECT_EQ(Load(app_->currentTrack), drawn) << "seed " << seed;
        EXPECT_EQ(std::wstring(app_->currentPath), listing_[static_cast<size_t>(drawn)]);
    }
}

TEST_F(PlayOrderWindowTest, AFileOfADisabledTypePlaysItselfThenNextStartsTheOrder) {
    const std::wstring wav = JoinPath(root_, L"e.wav");
    app_->ticksSinceSelect = 500;
    ASSERT_TRUE(OpenAndWait(app_, wav));
    EXPECT_EQ(TrackPaths(app_), listing_);
    EXPECT_EQ(Load(app_->currentTrack), -1);
    EXPECT_EQ(app_->playPosition, -1);
    EXPECT_EQ(std::wstring(app_->currentPath), wav);
    EXPECT_LT(app_->ticksSinceSelect, 500);  // it was selected

    Command(CMD_NEXT);
    EXPECT_EQ(app_->playPosition, 0);
    EXPECT_EQ(std::wstring(app_->currentPath), listing_[0]);
}

TEST_F(PlayOrderWindowTest, NextDuringASearchRunsOnceAfterIt) {
    // The end of a track moves on however soon it comes after a selection;
    // only a key press is held back by the guard.
    for (const bool endOfPlay : {false, true}) {
        SCOPED_TRACE(endOfPlay ? "end of play" : "Next key");
        const std::wstring opened = listing_[1];
        CopyText(app_->pathBuffer, opened.c_str(), kBufferUnits - 1);
        OpenPathBuffer(app_);
        ASSERT_EQ(Load(app_->searchState), Running);
        if (endOfPlay) {
            Store(app_->openedSelection, app_->selectionSerial);
            Store(app_->device.deviceState, DEV_PLAYING);
            app_->ticksSinceSelect = 0;
            SendMessageW(app_->mainWindow, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 0);
        } else {
            Command(CMD_NEXT);
            Command(CMD_NEXT);
        }
        EXPECT_EQ(app_->deferredSlots[kSlotMain], endOfPlay ? DEFER_PLAY_NEXT : DEFER_NEXT);
        ASSERT_TRUE(WaitForSearch(app_));
        // One step on from the opened file, not two.
        EXPECT_EQ(app_->playPosition, 2);
        EXPECT_EQ(std::wstring(app_->currentPath), listing_[2]);
        EXPECT_EQ(app_->deferredSlots[kSlotMain], 0);
    }
}

TEST_F(PlayOrderWindowTest, ATrackThatFailsDuringASearchIsRemovedFromTheNewListAndPlayNextGoesOn) {
    // A folder of 259 units: with its backslash it is longer than a path.
    const std::wstring longFolder = JoinPath(root_, std::wstring(258 - root_.size(), L'f'));
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    std::vector<std::wstring> rest = listing_;
    rest.erase(rest.begin() + 1);
    struct Case {
        const char* what;
        WPARAM dialog;       // 0: a hand-off of path
        std::wstring path;   // for a dialog, empty: cancelled
        int32_t kind;
        std::wstring playing;
        std::vector<std::wstring> listed;
    };
    // Play Next goes on with the failed track's successor in the new list,
    // also behind an open that ends up opening nothing.
    const Case cases[] = {
        {"nothing else parked", 0, L"", StatusOpenFailed, listing_[2], rest},
        {"a hand-off of a missing file", 0, JoinPath(root_, L"gone.mp3"), StatusOpenFailed, listing_[2], rest},
        {"a hand-off of a folder too long", 0, longFolder, StatusPathTooLong, listing_[2], rest},
        {"the Open File dialog cancelled", CMD_OPEN_FILE, L"", StatusOpenFailed, listing_[2], rest},
        {"the Open Directory dialog cancelled", CMD_OPEN_DIRECTORY, L"", StatusOpenFailed, listing_[2], rest},
        {"a hand-off of another file", 0, listing_[3], StatusShowText, listing_[3], listing_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(OpenAndWait(app_, listing_[1]));
        ASSERT_EQ(std::wstring(app_->currentPath), listing_[1]);
        // Searching again with subdirectories while the track is being opened;
        // the search thread waits for its first handshake until this thread pumps.
        SendMessageW(app_->mainWindow, WM_COMMAND, CMD_SUBDIRS, 0);
        ASSERT_EQ(Load(app_->searchState), Running);
        SendMessageW(app_->mainWindow, WM_APP_STATUS, STATUS_OPEN_FAILED,
                     reinterpret_cast<LPARAM>(listing_[1].c_str()));
        EXPECT_EQ(app_->deferredSlots[kSlotOrder], DEFER_REMOVE_FAILED);
        if (c.dialog) {
            SendMessageW(app_->mainWindow, WM_COMMAND, c.dialog, 0);
        } else if (!c.path.empty()) {
            CopyText(app_->pathBuffer, c.path.c_str(), kBufferUnits - 1);
            OpenPathBuffer(app_);
        }
        app_->commandFlags = 0;
        const HANDLE answer = c.dialog ? AnswerDialog(c.path.c_str()) : nullptr;
        ASSERT_TRUE(WaitForSearch(app_));
        EXPECT_EQ(AnswerGiven(answer), c.dialog != 0);
        EXPECT_EQ(TrackPaths(app_), c.listed);
        EXPECT_EQ(app_->statusKind, c.kind);
        EXPECT_EQ(std::wstring(app_->currentPath), c.playing);
        EXPECT_EQ(app_->commandFlags & PB_PLAY, PB_PLAY);

        // Once paid or replaced, nothing is owed: a dialog cancelled later changes nothing.
        app_->commandFlags = 0;
        const HANDLE later = AnswerDialog(L"");
        SendMessageW(app_->mainWindow, WM_COMMAND, CMD_OPEN_FILE, 0);
        EXPECT_TRUE(AnswerGiven(later));
        EXPECT_EQ(std::wstring(app_->currentPath), c.playing);
        EXPECT_EQ(app_->commandFlags, 0u);
    }
}

TEST_F(PlayOrderWindowTest, MessagesQueuedBeforeASearchEndsFindTheNewOrderBuilt) {
    const std::wstring opened = listing_[2];
    app_->afterPlayback = AFTER_NEXT;
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool duringSearch;  // handled while the search runs, not queued behind its end
    };
    // Neither moves the opened file on: the key comes within half a second of
    // its selection, and the end of play is the previous track's.
    const Case cases[] = {
        {"Next key", WM_COMMAND, CMD_NEXT, false},
        {"end of play", MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, false},
        {"end of play during the search", MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(OpenAndWait(app_, opened));
        Store(app_->openedSelection, app_->selectionSerial);
        Store(app_->device.deviceState, DEV_PLAYING);
        // The search has listed the folder but its end is not handled yet:
        // the order is zeroed, the opened file and its selection are parked,
        // and a message sits in the queue ahead of the completion notice.
        CopyText(app_->currentPath, opened.c_str(), kBufferUnits - 1);
        Store(app_->currentTrack, -1);
        std::memset(Load(app_->playOrder), 0, 4 * sizeof(int32_t));
        Store(app_->searchState, Running);
        app_->deferredSlots[kSlotOrder] = DEFER_BUILD_ORDER;
        app_->deferredSlots[kSlotSelect] = DEFER_SELECT_TRACK;
        app_->ticksSinceSelect = 10;
        if (c.duringSearch) {
            SendMessageW(app_->mainWindow, c.message, c.wParam, 0);
        } else {
            PostMessageW(app_->mainWindow, c.message, c.wParam, 0);
        }
        SendMessageW(app_->mainWindow, WM_APP_WORKER_DONE, app_->searchToken, kSearchWorker);
        PumpFor(30);
        EXPECT_EQ(std::wstring(app_->currentPath), opened);
    }
}


// An opened file and the search of the library around it, with the playback
// thread on the scripted device.
TEST(FirstSoundTest, AnOpenedFilePlaysAtOnceAndTheListFormsAroundIt) {
    const std::wstring tree = CachedTrackTree(20000);
    const std::wstring opened = JoinPath(tree, L"extra.mp3");
    const std::vector<std::wstring> listing = ListTree(tree, 8);
    const auto at = std::find(listing.begin(), listing.end(), opened);
    ASSERT_NE(at, listing.end());
    const std::wstring successor = at + 1 == listing.end() ? listing[0] : *(at + 1);
    AppState* app = ResetWithDefaults();
    app->includeSubdirs = 1;
    InstallScriptedMci(app);
    ASSERT_NE(CreatePlayerWindow(app), nullptr);
    struct Case {
        bool fails;
        bool next;
        std::vector<std::wstring> played;  // successful opens, in order
    };
    const Case cases[] = {{false, false, {opened}}, {false, true, {opened, successor}}, {true, false, {successor}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fails " << c.fails << ", next " << c.next);
        EditScript([&](MciScript& script) { script.failOpenOf = c.fails ? opened : L""; });
        ClearCalls();
        std::memset(app->failedPath, 0, sizeof(app->failedPath));
        CopyText(app->pathBuffer, opened.c_str(), kBufferUnits - 1);
        OpenPathBuffer(app);
        // Asked for before this thread has let the search report anything.
        ASSERT_EQ(Load(app->searchState), Running);
        EXPECT_EQ(app->commandFlags & PB_PLAY, PB_PLAY);
        const auto released = [&] { return WaitForSingleObject(app->soundGate, 0) == WAIT_OBJECT_0; };
        if (c.fails) {
            // The search goes on from the failure, not after the pause that follows it.
            ASSERT_TRUE(PumpUntil([&] { return app->failedPath[0] != 0; }, 8000));
            EXPECT_TRUE(released());
        }
        if (c.next) {
            app->ticksSinceSelect = 10;
            SendMessageW(app->mainWindow, WM_COMMAND, CMD_NEXT, 0);
        }
        ASSERT_TRUE(WaitForSearch(app));
        const auto opens = [] {
            std::vector<std::wstring> paths;
            for (const MciCall& call : RecordedCalls()) {
                if (call.command == MCI_OPEN && call.answer == 0) paths.push_back(call.element);
            }
            return paths;
        };
        PumpUntil([&] { return opens().size() >= c.played.size(); }, 8000);
        // Playing, the file no longer holds any search back.
        EXPECT_TRUE(PumpUntil(released, 8000));
        PumpFor(300);  // time for a second open or a restart to show
        std::vector<std::wstring> played = opens();
        // The Next may overtake the first open before it happens.
        if (c.next && played.size() == 1) played.insert(played.begin(), opened);
        EXPECT_EQ(played, c.played);
        EXPECT_EQ(std::wstring(app->currentPath), c.played.back());
        EXPECT_EQ(Load(app->trackCount), static_cast<int32_t>(listing.size()) - (c.fails ? 1 : 0));
    }
    EXPECT_TRUE(CloseAndWait(app));
    g_mciSend = mciSendCommandW;
}

}  // namespace
