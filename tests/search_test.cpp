// The directory search: the type filter, the walk's depth and order, the
// 100,000 cap, the reuse of the arrays, and a close that arrives mid-walk.
// Every tree is real; expected orders come from the file system's own listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "app/deferred.h"
#include "app/tick.h"
#include "core/deferral.h"
#include "library/open_path.h"
#include "library/play_order.h"
#include "library/search.h"
#include "support/library_support.h"
#include "support/window_fixture.h"

namespace {

struct FilterCase {
    const wchar_t* name;
    uint32_t mask;
    bool expected;
};

TEST(MatchesTypeFilter, OnlyTheLastDotCountsAndOnlyAToZFold) {
    const uint32_t base = TYPE_MP3 | TYPE_WMA;
    const FilterCase cases[] = {
        {L"a.MP3", base, true},          {L"SONG.MP3", 0, true},          {L"x.Wma", 0, true},
        {L".mp3", base, true},           {L"song.mp3.bak", base, false},  {L"mp3", base, false},
        {L"a.", base, false},            {L"a.mp", base, false},          {L"a.mp33", base, false},
        {L"a.\xFF4Dp3", base, false},    {L"b.txt", 0x7F, false},
        {L"c.flac", base, false},        {L"c.FLAC", base | TYPE_FLAC, true},
        {L"x.midi", base, false},        {L"x.midi", base | TYPE_MIDI, true},
        {L"y.mid", base, false},         {L"y.MID", base | TYPE_MIDI, true},
        {L".wav", base, false},          {L".wav", base | TYPE_WAV, true},
        {L"a.aac", base | TYPE_M4A, false}, {L"a.aac", base | TYPE_AAC, true},
        {L"a.m4a", base | TYPE_AAC, false}, {L"a.M4A", base | TYPE_M4A, true},
    };
    for (const FilterCase& c : cases) {
        EXPECT_EQ(MatchesTypeFilter(c.name, c.mask), c.expected)
            << "name " << testing::PrintToString(std::wstring(c.name)) << " mask " << c.mask;
    }
}

class SearchTest : public testing::Test {
protected:
    void SetUp() override {
        app_ = ResetWithDefaults();
        ASSERT_NE(CreatePlayerWindow(app_), nullptr);
        ASSERT_TRUE(ParkPlaybackThread(app_));
        root_ = MakeTempDir(L"pt-search");
        ASSERT_FALSE(root_.empty());
    }
    void TearDown() override {
        EXPECT_TRUE(CloseAndWait(app_, 30000));
        DeleteTree(root_);
    }
    // The reference listing of dir, kept to the names a case accepts.
    static std::vector<std::wstring> Accepted(const std::vector<std::wstring>& listing,
                                              const std::set<std::wstring>& names) {
        std::vector<std::wstring> out;
        for (const std::wstring& path : listing) {
            if (names.count(path.substr(path.find_last_of(L'\\') - 3))) out.push_back(path);
        }
        return out;
    }
    AppState* app_ = nullptr;
    std::wstring root_;
};

TEST_F(SearchTest, KeepsEnabledTypesInListingOrderAndSkipsDotDirectories) {
    // Every name sits in a directory of three letters so a case can name the
    // file with its directory.
    const std::wstring top = JoinPath(root_, L"top");
    ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(JoinPath(top, L"sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(JoinPath(top, L".music").c_str(), nullptr));
    ASSERT_TRUE(TouchFiles(top, {L"a.MP3", L"b.txt", L"c.flac", L"x.midi", L"y.mid",
                                 L"song.mp3.bak", L".wav", L"sub\\d.mp3", L".music\\e.mp3"}));
    const uint32_t base = TYPE_MP3 | TYPE_WMA;
    struct Case {
        uint32_t types;
        int32_t subdirs;
        std::set<std::wstring> names;
    };
    const Case cases[] = {
        {base, 0, {L"top\\a.MP3"}},
        {base | TYPE_FLAC, 0, {L"top\\a.MP3", L"top\\c.flac"}},
        {base | TYPE_MIDI, 0, {L"top\\a.MP3", L"top\\x.midi", L"top\\y.mid"}},
        {base | TYPE_WAV, 0, {L"top\\a.MP3", L"top\\.wav"}},
        {base, 1, {L"top\\a.MP3", L"sub\\d.mp3"}},
        {0x7F, 1, {L"top\\a.MP3", L"top\\c.flac", L"top\\x.midi", L"top\\y.mid", L"top\\.wav",
                   L"sub\\d.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "types " << c.types << " subdirs " << c.subdirs);
        Store(app_->fileTypes, c.types);
        app_->includeSubdirs = c.subdirs;
        ASSERT_TRUE(OpenAndWait(app_, top));
        // The reference walk skips dot directories too, so a track from
        // .music would show up as a difference.
        const std::vector<std::wstring> expected = Accepted(ListTree(top, c.subdirs ? 8 : 0), c.names);
        ASSERT_EQ(expected.size(), c.names.size());
        EXPECT_EQ(TrackPaths(app_), expected);
    }
}

TEST_F(SearchTest, SubdirectoriesReachEightLevelsBelowTheRootAndNoFurther) {
    // root\l1\...\l9, with f<level>.mp3 in every directory.
    std::wstring dir = root_;
    for (int level = 0; level <= 9; ++level) {
        if (level > 0) {
            dir = JoinPath(dir, L"l" + std::to_wstring(level));
            ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        }
        ASSERT_TRUE(TouchFile(JoinPath(dir, L"f" + std::to_wstring(level) + L".mp3")));
    }
    struct Case {
        int32_t subdirs;
        int deepest;
    };
    const Case cases[] = {{0, 0}, {1, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "subdirs " << c.subdirs);
        app_->includeSubdirs = c.subdirs;
        ASSERT_TRUE(OpenAndWait(app_, root_));
        std::set<std::wstring> found;
        for (const std::wstring& path : TrackPaths(app_)) found.insert(FileNameOf(path));
        std::set<std::wstring> expected;
        for (int level = 0; level <= c.deepest; ++level) {
            expected.insert(L"f" + std::to_wstring(level) + L".mp3");
        }
        EXPECT_EQ(found, expected);
    }
}

TEST_F(SearchTest, StopsAtOneHundredThousandTracks) {
    const std::wstring tree = LargeTrackTree();
    ASSERT_FALSE(tree.empty());
    const std::vector<std::wstring> listing = ListTree(tree, 8);
    ASSERT_EQ(listing.size(), 100001u);
    app_->includeSubdirs = 1;
    ASSERT_TRUE(OpenAndWait(app_, tree, 60000));
    EXPECT_EQ(Load(app_->trackCount), kMaxTracks);
    EXPECT_EQ(Load(app_->trackCapacity), kMaxTracks);
    // The first 100,000 in walk order: the one left out is the last listed.
    const std::vector<std::wstring> tracks = TrackPaths(app_);
    EXPECT_TRUE(std::equal(tracks.begin(), tracks.end(), listing.begin()));
}

TEST_F(SearchTest, ASmallerSecondSearchReusesTheArraysAndLeavesTheTailZero) {
    struct Case {
        const wchar_t* dir;
        int files;
        int32_t capacity;
    };
    const Case cases[] = {{L"five", 5, 5}, {L"two", 2, 5}, {L"seven", 7, 7}};
    TrackEntry* previousList = nullptr;
    int32_t* previousOrder = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.files << " files");
        const std::wstring dir = JoinPath(root_, c.dir);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        for (int i = 0; i < c.files; ++i) ASSERT_TRUE(TouchFile(JoinPath(dir, std::to_wstring(i) + L".wma")));
        const int32_t before = Load(app_->trackCapacity);
        ASSERT_TRUE(OpenAndWait(app_, dir));
        EXPECT_EQ(Load(app_->trackCount), c.files);
        EXPECT_EQ(Load(app_->trackCapacity), c.capacity);
        if (c.capacity == before) {
            EXPECT_EQ(Load(app_->trackList), previousList);
            EXPECT_EQ(Load(app_->playOrder), previousOrder);
        }
        const TrackEntry* list = Load(app_->trackList);
        const int32_t* order = Load(app_->playOrder);
        for (int32_t i = c.files; i < c.capacity; ++i) {
            const TrackEntry& entry = list[i];
            EXPECT_EQ(std::count(entry.path, entry.path + kPathUnits, L'\0'), kPathUnits) << i;
            EXPECT_EQ(order[i], 0) << i;
        }
        previousList = Load(app_->trackList);
        previousOrder = Load(app_->playOrder);
    }
}

TEST_F(SearchTest, AnEmptyFolderRequestsNoRebuild) {
    struct Case {
        const wchar_t* dir;
        int files;
    };
    const Case cases[] = {{L"empty", 0}, {L"full", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.files << " files");
        const std::wstring dir = JoinPath(root_, c.dir);
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        ASSERT_TRUE(TouchFile(JoinPath(dir, L"notes.txt")));
        for (int i = 0; i < c.files; ++i) ASSERT_TRUE(TouchFile(JoinPath(dir, std::to_wstring(i) + L".mp3")));
        // A rebuild would overwrite the position with the drawn current track.
        app_->playPosition = 77;
        SeedRandom(app_, 5);
        ASSERT_TRUE(OpenAndWait(app_, dir));
        EXPECT_EQ(Load(app_->trackCount), c.files);
        if (c.files == 0) {
            EXPECT_EQ(Load(app_->currentTrack), -1);
            EXPECT_EQ(app_->playPosition, 77);
        } else {
            uint32_t s = 5;
            const int32_t drawn = static_cast<int32_t>(StepGenerator(&s) % 3);
            EXPECT_EQ(Load(app_->currentTrack), drawn);
            EXPECT_EQ(app_->playPosition, drawn);
        }
    }
}

TEST_F(SearchTest, CloseDuringTheWalkStopsItAndTheCloseCompletes) {
    const std::wstring tree = LargeTrackTree();
    ASSERT_FALSE(tree.empty());
    app_->includeSubdirs = 1;
    CopyText(app_->pathBuffer, tree.c_str(), kBufferUnits - 1);
    OpenPathBuffer(app_);
    // The notice is sent right after the handshake: the walk has begun, and
    // it has a hundred thousand files ahead of it.
    ASSERT_TRUE(PumpUntil([&] { return app_->statusKind == StatusSearching; }, 10000));
    SendMessageW(app_->mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(Load(app_->searchState), Stopping);
    EXPECT_EQ(app_->deferredSlots[kSlotMain], DEFER_CLOSE);
    ASSERT_TRUE(PumpUntil([&] { return Load(app_->playbackState) == Closed; }, 30000));
    EXPECT_LT(Load(app_->trackCount), kMaxTracks);
}

TEST(WalkDirectory, StopsAtTheNextFileOnceTheSearchIsNoLongerRunning) {
    AppState* app = ResetWithDefaults();
    const std::wstring root = MakeTempDir(L"pt-walk");
    ASSERT_TRUE(TouchFiles(root, {L"1.mp3", L"2.mp3", L"3.mp3", L"4.txt"}));
    struct Case {
        int32_t state;
        int32_t matches;
        int32_t calls;
    };
    const Case cases[] = {{Running, 3, 4}, {Stopping, 0, 1}, {Idle, 0, 1}};
    static int32_t calls;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state);
        Store(app->searchState, c.state);
        DirectoryWalk walk = {};
        CopyText(walk.dirPath, root.c_str(), kBufferUnits - 1);
        walk.pattern = L"*";
        walk.patternLength = 1;
        walk.context = app;
        walk.onFile = [](DirectoryWalk* w) {
            ++calls;
            CountAudioFile(w);
        };
        calls = 0;
        WalkDirectory(&walk);
        EXPECT_EQ(walk.matchCount, c.matches);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(walk.depthBudget, 0);
    }
    DeleteTree(root);
}

TEST(SearchThread, FailedHandshakeLeavesTheListAlone) {
    AppState* app = ResetWithDefaults();
    // A window that is gone cannot answer the handshake.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    app->mainWindow = gone;
    Store(app->trackCount, 5);
    Store(app->currentTrack, 2);
    Store(app->searchState, Running);
    EXPECT_EQ(SearchThread(app), 0u);
    EXPECT_EQ(Load(app->trackCount), 5);
    EXPECT_EQ(Load(app->currentTrack), 2);
}

}  // namespace
