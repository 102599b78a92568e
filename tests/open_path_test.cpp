// Opening a path: splitting, clean-up, and the hand-off that arrives while a
// search runs. Trees are real temp directories; the window is the player's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "app/deferred.h"
#include "app/tick.h"
#include "core/deferral.h"
#include "library/open_path.h"
#include "support/library_support.h"
#include "support/window_fixture.h"

namespace {

struct SplitCase {
    std::wstring input;
    std::wstring full;
    std::wstring directory;
    std::wstring stem;
    std::wstring name;
    std::wstring extension;
};

TEST(SplitPath, CutsDirectoryStemAndExtensionOfTheFileNameOnly) {
    // 300 units: the cut at 259 keeps ".mp3" and drops the tail behind it.
    const std::wstring longStem(250, L'x');
    const std::wstring longInput = L"C:\\d\\" + longStem + L".mp3" + std::wstring(41, L'y');
    const SplitCase cases[] = {
        {L"C:\\a.b\\song", L"C:\\a.b\\song", L"C:\\a.b\\", L"song", L"song", L""},
        {L"song.mp3", L"song.mp3", L"", L"song", L"song.mp3", L".mp3"},
        {L"C:\\x\\.mp3", L"C:\\x\\.mp3", L"C:\\x\\", L"", L".mp3", L".mp3"},
        {L"C:/music/rock.mp3", L"C:/music/rock.mp3", L"C:/music/", L"rock", L"rock.mp3", L".mp3"},
        {L"C:\\a/b\\c.d.e", L"C:\\a/b\\c.d.e", L"C:\\a/b\\", L"c.d", L"c.d.e", L".e"},
        {L"D:\\dir\\", L"D:\\dir\\", L"D:\\dir\\", L"", L"", L""},
        {longInput, longInput.substr(0, 259), L"C:\\d\\", longStem, longStem + L".mp3", L".mp3"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "input of " << c.input.size() << " units: "
                                        << std::string(c.input.begin(), c.input.begin() +
                                                       std::min<size_t>(c.input.size(), 40)));
        PathParts parts;
        std::memset(&parts, 0x55, sizeof(parts));
        SplitPath(&parts, c.input.c_str());
        EXPECT_EQ(std::wstring(parts.full), c.full);
        EXPECT_EQ(std::wstring(parts.directory), c.directory);
        EXPECT_EQ(std::wstring(parts.stem), c.stem);
        EXPECT_EQ(std::wstring(parts.name), c.name);
        EXPECT_EQ(std::wstring(parts.dotExtension), c.extension);
        // Both pointers point into the record's own copy.
        EXPECT_GE(parts.name, parts.full);
        EXPECT_LE(parts.dotExtension, parts.full + c.full.size());
        EXPECT_EQ(parts.dotExtension, parts.full + c.full.size() - c.extension.size());
    }
}

// The input, terminated, in a buffer whose other units are a marker, so a
// test sees which units an operation wrote.
void LoadSentinelBuffer(wchar_t* buffer, const std::wstring& input) {
    std::fill(buffer, buffer + kBufferUnits, L'#');
    std::copy(input.begin(), input.end(), buffer);
    buffer[input.size()] = 0;
}

struct CollapseCase {
    std::wstring input;
    std::wstring expected;
};

TEST(CollapseSeparators, KeepsTwoLeadingBackslashesAndOneElsewhere) {
    const CollapseCase cases[] = {
        {L"c:/music//rock/", L"c:\\music\\rock\\"},
        {L"\\\\server\\\\share", L"\\\\server\\share"},
        {L"\\\\\\server\\share", L"\\\\server\\share"},
        {L"\\\\\\\\\\x", L"\\\\x"},
        {L"//server/share/", L"\\\\server\\share\\"},
        {L"\\a\\\\b", L"\\a\\b"},
        {L"a//b///c", L"a\\b\\c"},
        {L"plain", L"plain"},
        {L"", L""},
    };
    for (const CollapseCase& c : cases) {
        SCOPED_TRACE(std::string(c.input.begin(), c.input.end()));
        wchar_t buffer[kBufferUnits];
        LoadSentinelBuffer(buffer, c.input);
        CollapseSeparators(buffer);
        EXPECT_EQ(std::wstring(buffer), c.expected);
        // The units freed by the collapse are zero; beyond the old end nothing moves.
        for (size_t i = c.expected.size(); i < c.input.size(); ++i) EXPECT_EQ(buffer[i], 0) << i;
        EXPECT_EQ(buffer[c.input.size() + 1], L'#');
    }
}

class NormalizeTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempDir(L"pt-open");
        ASSERT_FALSE(root_.empty());
        ASSERT_TRUE(CreateDirectoryW((root_ + L"\\music").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((root_ + L"\\music\\rock").c_str(), nullptr));
        ASSERT_TRUE(TouchFile(root_ + L"\\music\\song.mp3"));
    }
    void TearDown() override { DeleteTree(root_); }
    std::wstring root_;
};

TEST_F(NormalizeTest, DirectoriesEndInOneBackslashFilesInNoneMissingPathsAreCleared) {
    std::wstring forward = root_;
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    const CollapseCase cases[] = {
        {forward + L"/music//rock/", root_ + L"\\music\\rock\\"},
        {root_ + L"\\music\\rock", root_ + L"\\music\\rock\\"},
        {root_ + L"\\music\\rock/", root_ + L"\\music\\rock\\"},
        {root_ + L"\\\\music\\song.mp3", root_ + L"\\music\\song.mp3"},
        {forward + L"/music/song.mp3", root_ + L"\\music\\song.mp3"},
        {L"C:/", L"C:\\"},
        {L"C:", L"C:\\"},
        {root_ + L"\\music\\missing.mp3", L""},
        {root_ + L"\\nothing\\", L""},
    };
    for (const CollapseCase& c : cases) {
        SCOPED_TRACE(std::string(c.input.begin(), c.input.end()));
        wchar_t buffer[kBufferUnits];
        LoadSentinelBuffer(buffer, c.input);
        NormalizePathBuffer(buffer);
        EXPECT_EQ(std::wstring(buffer), c.expected);
        if (c.expected.empty()) {
            // A path that names nothing clears the whole buffer.
            EXPECT_EQ(std::count(buffer, buffer + kBufferUnits, L'\0'), kBufferUnits);
        }
    }
}

TEST(SetDirectoryPath, KeepsTheWholeFolderAndEndsInOneBackslash) {
    // Folder names as the dialog returns them, up to the longest of 259 units.
    const std::wstring longest = L"C:\\" + std::wstring(255, L'a') + L"b";
    ASSERT_EQ(longest.size(), 259u);
    const CollapseCase cases[] = {
        {L"C:\\music", L"C:\\music\\"},
        {L"C:\\music\\", L"C:\\music\\"},
        {L"C:\\music/", L"C:\\music\\"},
        {L"C:\\", L"C:\\"},
        {longest.substr(0, 258), longest.substr(0, 258) + L"\\"},
        {longest, longest + L"\\"},
        {longest.substr(0, 258) + L"\\", longest.substr(0, 258) + L"\\"},
    };
    for (const CollapseCase& c : cases) {
        SCOPED_TRACE(c.input.size());
        wchar_t buffer[kBufferUnits];
        LoadSentinelBuffer(buffer, L"stale");
        SetDirectoryPath(buffer, c.input.c_str());
        EXPECT_EQ(std::wstring(buffer), c.expected);
        EXPECT_EQ(std::count(buffer, buffer + kBufferUnits, L'\0'),
                  static_cast<std::ptrdiff_t>(kBufferUnits - c.expected.size()));
    }
}

class OpenPathWindowTest : public testing::Test {
protected:
    void SetUp() override {
        app_ = ResetWithDefaults();
        ASSERT_NE(CreatePlayerWindow(app_), nullptr);
        ASSERT_TRUE(ParkPlaybackThread(app_));
        root_ = MakeTempDir(L"pt-open");
        ASSERT_FALSE(root_.empty());
    }
    void TearDown() override {
        EXPECT_TRUE(CloseAndWait(app_));
        DeleteTree(root_);
    }
    AppState* app_ = nullptr;
    std::wstring root_;
};

TEST_F(OpenPathWindowTest, FileOrDirectorySetsCurrentPathAndSearchDirAndPlaysOrParksTheSelection) {
    ASSERT_TRUE(TouchFiles(root_, {L"a.mp3", L"b.mp3", L"e.wav"}));
    struct Case {
        std::wstring input;
        std::wstring currentPath;
        std::wstring searchDir;
        bool parks;  // false: a file the search will list plays at once
        bool dialog; // chosen in the Open File dialog rather than handed over
    };
    const Case cases[] = {
        {root_ + L"//b.mp3", root_ + L"\\b.mp3", root_ + L"\\", false},
        {root_, root_ + L"\\", root_ + L"\\", true},
        {root_ + L"\\e.wav", root_ + L"\\e.wav", root_ + L"\\", true},  // a type not searched for
        {root_ + L"\\a.mp3", root_ + L"\\a.mp3", root_ + L"\\", false, true},
        {root_ + L"\\e.wav", root_ + L"\\e.wav", root_ + L"\\", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.input.begin(), c.input.end()) + (c.dialog ? " (dialog)" : ""));
        std::memset(app_->pathBuffer, 0, sizeof(app_->pathBuffer));
        app_->commandFlags = 0;
        // Once the dialog has closed, the answer needs nothing more of this
        // thread, which must not pump before the checks.
        const HANDLE answer = c.dialog ? AnswerDialog(c.input.c_str()) : nullptr;
        if (c.dialog) {
            SendMessageW(app_->mainWindow, WM_COMMAND, CMD_OPEN_FILE, 0);
        } else {
            CopyText(app_->pathBuffer, c.input.c_str(), kBufferUnits - 1);
            OpenPathBuffer(app_);
        }
        // The search is running and has not been let through the handshake.
        EXPECT_EQ(Load(app_->searchState), Running);
        EXPECT_EQ(std::wstring(app_->currentPath), c.currentPath);
        EXPECT_EQ(std::wstring(app_->searchDir), c.searchDir);
        EXPECT_EQ(app_->deferredSlots[kSlotSelect], c.parks ? DEFER_SELECT_TRACK : 0);
        EXPECT_EQ(app_->commandFlags & PB_PLAY, c.parks ? 0u : PB_PLAY);
        EXPECT_EQ(AnswerGiven(answer), c.dialog);
        ASSERT_TRUE(WaitForSearch(app_));
        EXPECT_EQ(Load(app_->trackCount), 2);
        EXPECT_EQ(app_->deferredSlots[kSlotSelect], 0);
    }
}

TEST_F(OpenPathWindowTest, MissingOrTooLongPathChangesNothing) {
    // A folder of 259 units: with its backslash it is longer than a path.
    const std::wstring longFolder = root_ + L"\\" + std::wstring(258 - root_.size(), L'f');
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    const std::pair<std::wstring, int32_t> cases[] = {
        {root_ + L"\\gone.mp3", StatusShowText}, {longFolder, StatusPathTooLong}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.size());
        CopyText(app_->currentPath, L"C:\\before.mp3", kBufferUnits - 1);
        CopyText(app_->pathBuffer, c.first.c_str(), kBufferUnits - 1);
        OpenPathBuffer(app_);
        EXPECT_EQ(Load(app_->searchState), Idle);
        EXPECT_EQ(app_->pathBuffer[0], 0);
        EXPECT_EQ(std::wstring(app_->currentPath), L"C:\\before.mp3");
        EXPECT_EQ(app_->searchThreadHandle, nullptr);
        EXPECT_EQ(app_->statusKind, c.second);
        for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(app_->deferredSlots[slot], 0) << slot;
    }
}

TEST_F(OpenPathWindowTest, HandOffDuringASearchParksAndOpensTheNewestPathAfterwards) {
    const std::wstring first = root_ + L"\\first";
    const std::wstring second = root_ + L"\\second";
    ASSERT_TRUE(CreateDirectoryW(first.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(second.c_str(), nullptr));
    ASSERT_TRUE(TouchFiles(first, {L"one.mp3"}));
    ASSERT_TRUE(TouchFiles(second, {L"x.mp3", L"y.mp3", L"z.mp3"}));

    CopyText(app_->pathBuffer, first.c_str(), kBufferUnits - 1);
    OpenPathBuffer(app_);
    ASSERT_EQ(Load(app_->searchState), Running);

    // Two hand-offs while the search runs: both park code 4, the later path wins.
    const std::wstring handOffs[] = {second + L"\\x.mp3", second + L"/z.mp3"};
    for (const std::wstring& path : handOffs) {
        wchar_t payload[kBufferUnits] = {};
        CopyText(payload, path.c_str(), kBufferUnits - 1);
        COPYDATASTRUCT data = {0, sizeof(payload), payload};
        EXPECT_EQ(SendMessageW(app_->mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 1);
        EXPECT_EQ(app_->deferredSlots[kSlotMain], DEFER_OPEN_PATH);
        EXPECT_EQ(std::wstring(app_->pathBuffer), path);
        EXPECT_EQ(std::wstring(app_->searchDir), first + L"\\");
    }

    const std::wstring newest = second + L"\\z.mp3";
    ASSERT_TRUE(PumpUntil([&] {
        return Load(app_->searchState) == Idle && std::wstring(app_->currentPath) == newest;
    }, 20000));
    EXPECT_EQ(std::wstring(app_->searchDir), second + L"\\");
    const std::vector<std::wstring> listed = ListTree(second, 0);
    ASSERT_EQ(TrackPaths(app_), listed);
    const auto at = std::find(listed.begin(), listed.end(), newest);
    EXPECT_EQ(Load(app_->currentTrack), static_cast<int32_t>(at - listed.begin()));
}

}  // namespace
