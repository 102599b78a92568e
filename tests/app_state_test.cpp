// The state record's construction, the thread token, the command line and the
// single-instance receiver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/app_state.h"
#include "app/window.h"
#include "support/window_fixture.h"

namespace {

TEST(AppStateTest, ConstructionLeavesOnlyTheFixedMembersSet) {
    AppState* app = ResetAppState();
    EXPECT_STREQ(app->className, L"Pebbletune");
    EXPECT_STREQ(app->statusText, L"Pebbletune");
    EXPECT_EQ(Load(app->redraw), 1);
    EXPECT_EQ(app->dib.info.bmiHeader.biSize, 40u);
    EXPECT_EQ(app->dib.info.bmiHeader.biPlanes, 1);
    EXPECT_EQ(app->dib.info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(app->dib.info.bmiHeader.biXPelsPerMeter, 10000);
    EXPECT_EQ(app->dib.info.bmiHeader.biYPelsPerMeter, 10000);
    EXPECT_EQ(app->blend.colorA, 0xFFFFFFu);
    EXPECT_EQ(app->blend.tables, app->blendTables);
    // Every number is zero after construction.
    EXPECT_EQ(app->afterPlayback, 0);
    EXPECT_EQ(app->volume, 0u);
    EXPECT_EQ(app->sizeFactor, 0);
    EXPECT_EQ(Load(app->trackCount), 0);
    EXPECT_EQ(Load(app->playbackState), Idle);
    EXPECT_EQ(app->deferredSlots[1], 0);
    EXPECT_EQ(app->pathBuffer[0], 0);
}

TEST(AppStateTest, ResetClearsWhatAnEarlierRunLeft) {
    AppState* app = ResetAppState();
    app->volume = 1234;
    app->deferredSlots[2] = 8;
    Store(app->searchState, Running);
    CopyText(app->statusText, L"something else", 100);
    app = ResetAppState();
    EXPECT_EQ(app->volume, 0u);
    EXPECT_EQ(app->deferredSlots[2], 0);
    EXPECT_EQ(Load(app->searchState), Idle);
    EXPECT_STREQ(app->statusText, L"Pebbletune");
}

// Expected tokens worked out by hand: h = rotl1(h + b) over 136 bytes, so a
// single byte b at offset k leaves rotl(b, 136 - k) (mod 32) when no carry
// reaches bit 31.
TEST(ThreadTokenTest, HashMatchesHandComputedValues) {
    struct Case {
        const char* name;
        void (*set)(AppState*);
        uint32_t expected;
    };
    const Case cases[] = {
        {"all zero", [](AppState*) {}, 0u},
        // instance byte 0 = 1 at offset 0: rotl(1, 136) = rotl(1, 8) = 0x100
        {"instance 1", [](AppState* a) { a->instance = reinterpret_cast<HINSTANCE>(1); }, 0x100u},
        // processId byte 0 = 3 at offset 8: rotl(3, 128) = 3
        {"processId 3", [](AppState* a) { a->processId = 3; }, 3u},
        // mainWindow byte 0 = 1 at offset 16: rotl(1, 120) = rotl(1, 24)
        {"mainWindow 1", [](AppState* a) { a->mainWindow = reinterpret_cast<HWND>(1); }, 0x1000000u},
        // searchThreadHandle byte 1 = 1 at offset 113: rotl(1, 23)
        {"search handle 0x100",
         [](AppState* a) { a->searchThreadHandle = reinterpret_cast<HANDLE>(0x100); }, 0x800000u},
        // searchToken byte 0 = 1 at offset 132: rotl(1, 4)
        {"searchToken 1", [](AppState* a) { a->searchToken = 1; }, 0x10u},
        // playbackThreadId byte 3 = 0x80 at offset 123: rotl(0x80, 13) = 0x100000
        {"playback id 0x80000000", [](AppState* a) { a->playbackThreadId = 0x80000000u; }, 0x100000u},
    };
    for (const Case& c : cases) {
        AppState* app = ResetAppState();
        c.set(app);
        EXPECT_EQ(ComputeThreadToken(app), c.expected) << c.name;
    }
}

TEST(ThreadTokenTest, FieldsOutsideTheHandleBlockDoNotCount) {
    AppState* app = ResetAppState();
    const uint32_t before = ComputeThreadToken(app);
    app->commandFlags = 0x3F;
    app->volume = 65535;
    app->className = nullptr;
    EXPECT_EQ(ComputeThreadToken(app), before);
}

TEST(ThreadTokenTest, CarriesWrapAroundAndRotate) {
    // 0xFF, 0xFF: h = rotl(0xFF) = 0x1FE; then rotl(0x1FE + 0xFF = 0x2FD) = 0x5FA.
    const uint8_t twoBytes[] = {0xFF, 0xFF};
    EXPECT_EQ(HashTokenBytes(twoBytes, 2), 0x5FAu);
    // 0x80 is rotated 25 times in all (once per byte) and wraps to bit 0.
    uint8_t block[25] = {0x80};
    EXPECT_EQ(HashTokenBytes(block, 25), 0x1u);
}

struct CommandLineCase {
    const wchar_t* name;
    std::wstring input;
    std::wstring expected;
};

TEST(CommandLineTest, TakesThePathUpToAQuoteOr259Characters) {
    const std::wstring long300(300, L'a');
    const CommandLineCase cases[] = {
        {L"quoted with trailing text", L"\"C:\\My Music\\a.mp3\" /extra", L"C:\\My Music\\a.mp3"},
        {L"unquoted with spaces", L"C:\\My Music\\b c.mp3", L"C:\\My Music\\b c.mp3"},
        {L"quote inside unquoted", L"C:\\x\"y.mp3", L"C:\\x"},
        {L"300 characters", long300, std::wstring(259, L'a')},
        {L"quoted 300 characters", L"\"" + long300 + L"\"", std::wstring(259, L'a')},
        {L"empty", L"", L""},
        {L"only a quote", L"\"", L""},
    };
    for (const CommandLineCase& c : cases) {
        wchar_t out[kBufferUnits];
        std::wmemset(out, L'#', kBufferUnits);
        ParseCommandLine(out, c.input.c_str());
        EXPECT_EQ(std::wstring(out), c.expected) << c.name;
        // Nothing of the old buffer content survives behind the terminator.
        for (int i = static_cast<int>(c.expected.size()); i < kBufferUnits; ++i) {
            ASSERT_EQ(out[i], 0) << c.name << " at " << i;
        }
    }
    wchar_t out[kBufferUnits];
    ParseCommandLine(out, nullptr);
    EXPECT_EQ(out[0], 0);
}

// The receiver's copy, observed while a search "runs" so that opening the
// path parks itself (code 4) and leaves pathBuffer as received.
class CopyDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = ResetWithDefaults();
        Store(app->searchState, Running);
        CopyText(app->pathBuffer, L"C:\\before", 100);
    }
    AppState* app = nullptr;
};

TEST_F(CopyDataTest, RefusesEveryMalformedPayloadAndChangesNothing) {
    wchar_t payload[kBufferUnits] = L"C:\\music\\";
    wchar_t empty[kBufferUnits] = {};
    struct Case {
        const char* name;
        DWORD size;
        void* data;
        int32_t resume = 0;
        LRESULT result = 0;
    };
    const Case cases[] = {
        {"size 1022", 1022, payload},
        {"size 1026", 1026, payload},
        {"size 520", 520, payload},
        {"null data", 1024, nullptr},
        {"empty first unit", 1024, empty},
        // A second launch without a path: a resuming player comes forward.
        {"empty first unit, resuming", 1024, empty, 1, 1},
        {"size 1022, resuming", 1022, empty, 1, 0},
    };
    for (const Case& c : cases) {
        COPYDATASTRUCT data = {0, c.size, c.data};
        app->resumeOnStart = c.resume;
        EXPECT_EQ(OnCopyData(app, &data), c.result) << c.name;
        EXPECT_STREQ(app->pathBuffer, L"C:\\before") << c.name;
        EXPECT_EQ(app->deferredSlots[kSlotMain], 0) << c.name;
    }
    EXPECT_EQ(OnCopyData(app, nullptr), 0);
}

TEST_F(CopyDataTest, CutsAnUnterminatedPayloadTo260UnitsWithoutReadingPastIt) {
    // The 1024 bytes end exactly at an inaccessible page: a read past cbData
    // would fault.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const SIZE_T page = info.dwPageSize;
    uint8_t* region = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(region, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(region + page, page, PAGE_NOACCESS, &old));
    wchar_t* payload = reinterpret_cast<wchar_t*>(region + page - 1024);
    for (int i = 0; i < kBufferUnits; ++i) payload[i] = static_cast<wchar_t>(L'A' + i % 26);

    COPYDATASTRUCT data = {7, 1024, payload};
    EXPECT_EQ(OnCopyData(app, &data), 1);
    for (int i = 0; i < kPathUnits; ++i) {
        ASSERT_EQ(app->pathBuffer[i], static_cast<wchar_t>(L'A' + i % 26)) << i;
    }
    for (int i = kPathUnits; i < kBufferUnits; ++i) ASSERT_EQ(app->pathBuffer[i], 0) << i;
    // During a search the open parks itself.
    EXPECT_EQ(app->deferredSlots[kSlotMain], DEFER_OPEN_PATH);
    VirtualFree(region, 0, MEM_RELEASE);
}

}  // namespace
