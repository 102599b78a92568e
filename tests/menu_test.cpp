// The context menu of the real main window: its items, and the grey and
// check states read back with GetMenuState, without opening the menu.
#include <gtest/gtest.h>

#include <string>

#include "settings/context_menu.h"
#include "support/window_fixture.h"

namespace {

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = ResetWithDefaults();
        ASSERT_TRUE(CreatePlayerWindow(app));
        ASSERT_TRUE(app->contextMenu);
    }
    void TearDown() override {
        Store(app->searchState, Idle);
        Store(app->device.deviceState, DEV_CLOSED);
        CloseAndWait(app);
    }
    bool Greyed(int32_t id) {
        return (GetMenuState(app->contextMenu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
    bool Checked(int32_t id) {
        return (GetMenuState(app->contextMenu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
    }
    // Submenu items are read by their place in the top menu, independently
    // of how the code addresses them.
    bool GreyedAt(int position) {
        return (GetMenuState(app->contextMenu, static_cast<UINT>(position), MF_BYPOSITION) & MF_GRAYED) != 0;
    }
    AppState* app = nullptr;
};

constexpr int kTypesPosition = 9;
constexpr int kNavigatePosition = 11;

struct Item {
    int32_t id;            // 0: separator; -1: submenu
    const wchar_t* text;
};

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c == L'\t' ? '|' : static_cast<char>(c));
    return out;
}

// Compares one menu level with the expected items, in order.
template <size_t N>
void ExpectItems(HMENU menu, const Item (&items)[N], const char* where) {
    ASSERT_EQ(static_cast<int>(N), GetMenuItemCount(menu)) << where;
    for (size_t i = 0; i < N; ++i) {
        const Item& e = items[i];
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 127;
        ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) << where << " " << i;
        const std::string expected = e.text ? Narrow(e.text) : std::string("<separator>");
        if (e.id == 0) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR) << where << " position " << i;
            continue;
        }
        EXPECT_FALSE(info.fType & MFT_SEPARATOR) << where << " position " << i << " " << expected;
        EXPECT_EQ(expected, Narrow(text)) << where << " position " << i;
        if (e.id < 0) {
            EXPECT_TRUE(info.hSubMenu != nullptr) << where << " " << expected;
        } else {
            EXPECT_TRUE(info.hSubMenu == nullptr) << where << " " << expected;
            EXPECT_EQ(static_cast<UINT>(e.id), info.wID) << where << " " << expected;
        }
    }
}

TEST_F(MenuTest, ItemsIdsAndTextsInOrder) {
    const Item top[] = {
        {9001, L"&Open File...\tCtrl+O"}, {9002, L"Open &Directory...\tCtrl+D"}, {0, nullptr},
        {9003, L"&Play/Pause\tSpace"},    {9004, L"&Stop\tPeriod"},             {0, nullptr},
        {9005, L"S&huffle"},              {9006, L"&Include Subdirectories"},
        {9041, L"&Resume on Start"},      {-1, L"Include File &Types"},     {0, nullptr},
        {-1, L"&Navigate"},               {-1, L"&Volume"},
        {-1, L"&After Playback"},         {-1, L"&Font"},
        {-1, L"&Window"},                 {0, nullptr},
        {9039, L"A&bout Pebbletune"},     {0, nullptr},
        {9040, L"E&xit\tAlt+X"},
    };
    ExpectItems(app->contextMenu, top, "top");

    const Item types[] = {{9007, L"MP3"},  {9008, L"WMA"},  {9010, L"AAC"}, {9009, L"M4A"},
                          {9011, L"FLAC"}, {9012, L"MIDI"}, {9013, L"WAV"}};
    const Item navigate[] = {{9014, L"&Previous\tLeft"}, {9015, L"&Next\tRight"}, {9016, L"&Random\tF5"}};
    const Item volume[] = {{9017, L"&Up\tF12"}, {9018, L"&Down\tF11"}, {9019, L"&Mute\tF8"}};
    const Item after[] = {{9020, L"&Exit"}, {9021, L"&Stop"}, {9022, L"&Repeat"}, {9023, L"&Play Next"}};
    const Item font[] = {{9025, L"Comic"},   {9024, L"Default"}, {9026, L"Franklin"},
                         {9027, L"Georgia"}, {9028, L"Impact"},  {9029, L"Segoe"},
                         {9030, L"Tahoma"},  {9031, L"Times New Roman"}, {9032, L"Trebuchet"}};
    const Item window[] = {{9033, L"Always On &Top\tCtrl+T"}, {9034, L"&Half Height\tCtrl+H"},
                           {9036, L"&Minimize"}, {0, nullptr}, {9035, L"&Color..."}, {0, nullptr},
                           {9037, L"&Increase Size\tCtrl++"}, {9038, L"&Decrease Size\tCtrl+-"}};
    HMENU menu = app->contextMenu;
    ExpectItems(GetSubMenu(menu, 9), types, "types");
    ExpectItems(GetSubMenu(menu, 11), navigate, "navigate");
    ExpectItems(GetSubMenu(menu, 12), volume, "volume");
    ExpectItems(GetSubMenu(menu, 13), after, "after playback");
    ExpectItems(GetSubMenu(menu, 14), font, "font");
    ExpectItems(GetSubMenu(menu, 15), window, "window");

    EXPECT_EQ(app->fileTypesMenu, GetSubMenu(menu, 9));
    EXPECT_EQ(app->navigateMenu, GetSubMenu(menu, 11));
    EXPECT_EQ(app->volumeMenu, GetSubMenu(menu, 12));
    EXPECT_EQ(app->afterPlaybackMenu, GetSubMenu(menu, 13));
    EXPECT_EQ(app->fontMenu, GetSubMenu(menu, 14));
    EXPECT_EQ(app->windowMenu, GetSubMenu(menu, 15));
}

TEST_F(MenuTest, RebuildingReplacesTheOldMenu) {
    HMENU old = app->contextMenu;
    ASSERT_EQ(1, BuildContextMenu(app));
    EXPECT_NE(old, app->contextMenu);
    EXPECT_FALSE(IsMenu(old));
    EXPECT_EQ(20, GetMenuItemCount(app->contextMenu));
}

TEST_F(MenuTest, GreyStatesFollowTheSituation) {
    struct Case {
        const char* name;
        int32_t search;
        int32_t device;
        int32_t tracks;
        int32_t size;
        // expected greyed
        bool play;
        bool stop;
        bool shuffle;
        bool subdirs;
        bool types;
        bool navigate;
        bool increase;
        bool decrease;
    };
    const Case cases[] = {
        {"nothing open", Idle, DEV_CLOSED, 0, 1, true, true, false, false, false, true, false, true},
        {"searching", Running, DEV_CLOSED, 0, 2, true, true, true, true, true, true, false, false},
        {"search stopping", Stopping, DEV_PLAYING, 3, 2, false, false, true, true, true, false, false, false},
        {"stopped", Idle, DEV_STOPPED, 5, 12, false, true, false, false, false, false, true, false},
        {"playing", Idle, DEV_PLAYING, 5, 1, false, false, false, false, false, false, false, true},
        {"paused", Idle, DEV_PAUSED, 1, 6, false, false, false, false, false, false, false, false},
        {"searching while playing", Running, DEV_PLAYING, 7, 11, false, false, true, true, true, false, false, false},
    };
    const int32_t neverGrey[] = {9001, 9002, 9014, 9015, 9016, 9017, 9018, 9019, 9020, 9021, 9022,
                                 9023, 9024, 9028, 9032, 9033, 9034, 9035, 9036, 9039, 9040, 9041};
    for (const Case& c : cases) {
        Store(app->searchState, c.search);
        Store(app->device.deviceState, c.device);
        Store(app->trackCount, c.tracks);
        app->sizeFactor = c.size;
        UpdateMenuStates(app);
        EXPECT_EQ(c.play, Greyed(9003)) << c.name;
        EXPECT_EQ(c.stop, Greyed(9004)) << c.name;
        EXPECT_EQ(c.shuffle, Greyed(9005)) << c.name;
        EXPECT_EQ(c.subdirs, Greyed(9006)) << c.name;
        EXPECT_EQ(c.types, GreyedAt(kTypesPosition)) << c.name;
        EXPECT_EQ(c.navigate, GreyedAt(kNavigatePosition)) << c.name;
        EXPECT_EQ(c.increase, Greyed(9037)) << c.name;
        EXPECT_EQ(c.decrease, Greyed(9038)) << c.name;
        for (int32_t id : neverGrey) EXPECT_FALSE(Greyed(id)) << c.name << " item " << id;
        // Always searched, so shown greyed and checked in every situation.
        for (int32_t id = 9007; id <= 9008; ++id) {
            EXPECT_TRUE(Greyed(id)) << c.name << " item " << id;
            EXPECT_TRUE(Checked(id)) << c.name << " item " << id;
        }
        for (int32_t id = 9009; id <= 9013; ++id) EXPECT_FALSE(Greyed(id)) << c.name << " item " << id;
    }
}

TEST_F(MenuTest, CheckMarksFollowTheSettings) {
    struct Case {
        int32_t shuffle;
        int32_t subdirs;
        uint32_t types;
        int32_t top;
        int32_t half;
        int32_t resume;
    };
    const Case cases[] = {
        {0, 0, 0x03, 0, 0, 0},
        {1, 1, 0x7F, 1, 1, 1},
        {1, 0, 0x07, 0, 1, 0},   // AAC
        {0, 1, 0x0B, 1, 0, 1},   // M4A
        {0, 0, 0x43, 0, 0, 1},   // FLAC
        {0, 0, 0x13, 0, 0, 0},   // MIDI
        {0, 0, 0x23, 0, 0, 0},   // WAV
    };
    struct TypeItem {
        int32_t id;
        uint32_t bit;
    };
    const TypeItem typeItems[] = {{9010, 0x04}, {9009, 0x08}, {9011, 0x40}, {9012, 0x10}, {9013, 0x20}};
    for (const Case& c : cases) {
        app->shuffle = c.shuffle;
        app->includeSubdirs = c.subdirs;
        Store(app->fileTypes, c.types);
        app->alwaysOnTop = c.top;
        app->halfHeight = c.half;
        app->resumeOnStart = c.resume;
        UpdateMenuStates(app);
        EXPECT_EQ(c.shuffle != 0, Checked(9005)) << "types " << c.types;
        EXPECT_EQ(c.subdirs != 0, Checked(9006)) << "types " << c.types;
        EXPECT_EQ(c.top != 0, Checked(9033)) << "types " << c.types;
        EXPECT_EQ(c.half != 0, Checked(9034)) << "types " << c.types;
        EXPECT_EQ(c.resume != 0, Checked(9041)) << "types " << c.types;
        for (const TypeItem& t : typeItems) {
            EXPECT_EQ((c.types & t.bit) != 0, Checked(t.id)) << "types " << c.types << " item " << t.id;
        }
    }
}

TEST_F(MenuTest, ExactlyOneAfterPlaybackAndOneFontChecked) {
    for (int32_t after = 0; after <= 3; ++after) {
        app->afterPlayback = after;
        UpdateMenuStates(app);
        int count = 0;
        for (int32_t id = 9020; id <= 9023; ++id) count += Checked(id) ? 1 : 0;
        EXPECT_EQ(1, count) << "after " << after;
        EXPECT_TRUE(Checked(9020 + after)) << "after " << after;
    }
    for (int32_t font = 0; font <= 8; ++font) {
        app->fontType = font;
        UpdateMenuStates(app);
        int count = 0;
        for (int32_t id = 9024; id <= 9032; ++id) count += Checked(id) ? 1 : 0;
        EXPECT_EQ(1, count) << "font " << font;
        EXPECT_TRUE(Checked(9024 + font)) << "font " << font;
    }
}

TEST(MenuFontTest, FontOutOfRangeAtCreationShowsDefault) {
    AppState* app = ResetWithDefaults();
    app->fontType = 11;
    ASSERT_TRUE(CreatePlayerWindow(app));
    UpdateMenuStates(app);
    int count = 0;
    for (int32_t id = 9024; id <= 9032; ++id) {
        count += (GetMenuState(app->contextMenu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_CHECKED) ? 1 : 0;
    }
    EXPECT_EQ(0, app->fontType);
    EXPECT_EQ(1, count);
    EXPECT_TRUE(GetMenuState(app->contextMenu, 9024, MF_BYCOMMAND) & MF_CHECKED);
    CloseAndWait(app);
}

TEST(MenuPointTest, OutsideOrFromTheKeyboardOpensAtTheCorner) {
    const RECT r = {100, 150, 574, 239};
    struct Case {
        int32_t x;
        int32_t y;
        LONG expectedX;
        LONG expectedY;
    };
    const Case cases[] = {
        {200, 200, 200, 200}, {100, 150, 100, 150}, {573, 238, 573, 238},
        {-1, -1, 100, 150},   {574, 200, 100, 150}, {200, 239, 100, 150},
        {99, 200, 100, 150},  {200, 149, 100, 150}, {5000, -3000, 100, 150},
    };
    for (const Case& c : cases) {
        const POINT p = ContextMenuPoint(r, c.x, c.y);
        EXPECT_EQ(c.expectedX, p.x) << c.x << "," << c.y;
        EXPECT_EQ(c.expectedY, p.y) << c.x << "," << c.y;
    }
}

}  // namespace
