// The player's resources, read from Pebbletune.exe loaded as a data file:
// the icon group and its pixels, the About dialog template and the
// manifest; then the About box itself, created modeless from that template.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "settings/context_menu.h"
#include "support/window_fixture.h"

namespace {

// Test programs live in the build directory, the player in its bin folder.
std::wstring PlayerPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"bin\\Pebbletune.exe";
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExW(PlayerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module) << "build the Pebbletune target first";
    }
    void TearDown() override {
        if (module) FreeLibrary(module);
    }
    std::vector<uint8_t> Resource(const wchar_t* type, const wchar_t* name) {
        HRSRC found = FindResourceW(module, name, type);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module, found);
        const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(loaded));
        if (!bytes) return {};
        return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

// One decoded icon image: colour 0x00RRGGBB per pixel, or -1 where the mask
// makes it transparent; top row first.
struct Decoded {
    int size = 0;
    int bits = 0;
    std::vector<int64_t> pixels;
};

Decoded DecodeIcon(const std::vector<uint8_t>& dib) {
    Decoded out;
    const int width = static_cast<int>(U32(dib, 4));
    const int height = static_cast<int>(U32(dib, 8)) / 2;
    out.bits = U16(dib, 14);
    if (width != height || out.bits != 4) return out;
    out.size = width;
    const size_t palette = U32(dib, 0);
    const size_t colours = palette + 16 * 4;
    const size_t colourStride = ((width * 4 + 31) / 32) * 4;
    const size_t mask = colours + colourStride * height;
    const size_t maskStride = ((width + 31) / 32) * 4;
    out.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const size_t row = static_cast<size_t>(height - 1 - y);  // stored bottom-up
        for (int x = 0; x < width; ++x) {
            const uint8_t pair = dib[colours + row * colourStride + x / 2];
            const int index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
            const bool transparent = (dib[mask + row * maskStride + x / 8] >> (7 - x % 8)) & 1;
            out.pixels[static_cast<size_t>(y) * width + x] =
                transparent ? -1 : static_cast<int64_t>(U32(dib, palette + index * 4) & 0xFFFFFF);
        }
    }
    return out;
}

constexpr int64_t kGrey = 0xC0C0C0;
constexpr int64_t kWhite = 0xFFFFFF;

TEST_F(ResourcesTest, IconGroupHasFourSizesOfTwoColours) {
    const std::vector<uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(102));
    ASSERT_GE(group.size(), 6u);
    ASSERT_EQ(1, U16(group, 2));
    const int count = U16(group, 4);
    ASSERT_EQ(4, count);
    struct Case {
        int size;
        int margin;
        int border;
    };
    const Case cases[] = {{16, 0, 1}, {32, 0, 1}, {48, 0, 1}, {256, 16, 7}};
    for (const Case& c : cases) {
        Decoded image;
        for (int i = 0; i < count; ++i) {
            const size_t entry = 6 + 14 * static_cast<size_t>(i);
            const int width = group[entry] == 0 ? 256 : group[entry];
            if (width != c.size) continue;
            image = DecodeIcon(Resource(RT_ICON, MAKEINTRESOURCEW(U16(group, entry + 12))));
        }
        ASSERT_EQ(c.size, image.size) << "no " << c.size << " px image of 4 bits";
        const int inner0 = c.margin;
        const int inner1 = c.size - c.margin;  // exclusive
        for (int y = 0; y < c.size; ++y) {
            for (int x = 0; x < c.size; ++x) {
                const int64_t p = image.pixels[static_cast<size_t>(y) * c.size + x];
                const bool inSquare = x >= inner0 && x < inner1 && y >= inner0 && y < inner1;
                if (!inSquare) {
                    ASSERT_EQ(-1, p) << c.size << " px margin at " << x << "," << y;
                    continue;
                }
                const bool border = x < inner0 + c.border || x >= inner1 - c.border ||
                                    y < inner0 + c.border || y >= inner1 - c.border;
                if (border) {
                    ASSERT_EQ(kGrey, p) << c.size << " px border at " << x << "," << y;
                } else {
                    ASSERT_TRUE(p == kGrey || p == kWhite) << c.size << " px at " << x << "," << y;
                }
            }
        }
        // Just inside the border, away from the bars, the square is white.
        const int64_t inside = image.pixels[static_cast<size_t>(inner0 + c.border) * c.size + inner0 + c.border];
        EXPECT_EQ(kWhite, inside) << c.size;
    }
}

TEST_F(ResourcesTest, FortyEightPixelIconShowsThreeCentredBars) {
    const std::vector<uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(102));
    ASSERT_GE(group.size(), 6u);
    Decoded image;
    for (int i = 0; i < U16(group, 4); ++i) {
        const size_t entry = 6 + 14 * static_cast<size_t>(i);
        if (group[entry] == 48) image = DecodeIcon(Resource(RT_ICON, MAKEINTRESOURCEW(U16(group, entry + 12))));
    }
    ASSERT_EQ(48, image.size);
    struct Bar {
        int left;
        int height;
    };
    const Bar bars[] = {{13, 22}, {21, 16}, {29, 10}};
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) {
            bool grey = x == 0 || y == 0 || x == 47 || y == 47;
            for (const Bar& b : bars) {
                // Centred on the middle: as many rows above as below.
                const int top = (48 - b.height) / 2;
                if (x >= b.left && x < b.left + 6 && y >= top && y < top + b.height) grey = true;
            }
            ASSERT_EQ(grey ? kGrey : kWhite, image.pixels[static_cast<size_t>(y) * 48 + x])
                << "pixel " << x << "," << y;
        }
    }
}

TEST_F(ResourcesTest, AboutDialogTemplate) {
    const std::vector<uint8_t> t = Resource(RT_DIALOG, MAKEINTRESOURCEW(103));
    ASSERT_GE(t.size(), 26u);
    ASSERT_EQ(1, U16(t, 0));
    ASSERT_EQ(0xFFFF, U16(t, 2));
    EXPECT_EQ(static_cast<uint32_t>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
              U32(t, 12));
    const int items = U16(t, 16);
    EXPECT_EQ(168, static_cast<int16_t>(U16(t, 22)));
    EXPECT_EQ(72, static_cast<int16_t>(U16(t, 24)));
    size_t at = 26;
    auto readText = [&](void) {
        std::wstring s;
        while (U16(t, at)) {
            s.push_back(static_cast<wchar_t>(U16(t, at)));
            at += 2;
        }
        at += 2;
        return s;
    };
    // Menu and class are a string or an ordinal.
    auto readNameOrOrdinal = [&](int* ordinal) {
        if (U16(t, at) == 0xFFFF) {
            *ordinal = U16(t, at + 2);
            at += 4;
            return std::wstring();
        }
        *ordinal = -1;
        return readText();
    };
    int ordinal = 0;
    readNameOrOrdinal(&ordinal);
    readNameOrOrdinal(&ordinal);
    EXPECT_EQ(L"About", readText());
    EXPECT_EQ(10, U16(t, at));
    at += 6;
    EXPECT_EQ(L"Segoe UI", readText());

    struct Item {
        uint32_t id;
        int classAtom;
        int16_t x, y, cx, cy;
        uint32_t style;  // bits that must be set
        int iconOrdinal;
        const wchar_t* text;
    };
    const Item expected[] = {
        {1002, 0x82, 8, 5, 53, 42, SS_ICON | SS_REALSIZECONTROL, 102, nullptr},
        {1003, 0x82, 69, 10, 95, 32, SS_LEFT | WS_GROUP, -1, L""},
        {1001, 0x80, 10, 52, 70, 12, BS_PUSHBUTTON, -1, L""},
        {2, 0x80, 88, 52, 70, 12, BS_PUSHBUTTON, -1, L"OK"},
    };
    ASSERT_EQ(4, items);
    for (const Item& e : expected) {
        at = (at + 3) & ~static_cast<size_t>(3);
        const uint32_t style = U32(t, at + 8);
        const int16_t x = static_cast<int16_t>(U16(t, at + 12));
        const int16_t y = static_cast<int16_t>(U16(t, at + 14));
        const int16_t cx = static_cast<int16_t>(U16(t, at + 16));
        const int16_t cy = static_cast<int16_t>(U16(t, at + 18));
        const uint32_t id = U32(t, at + 20);
        at += 24;
        int atom = 0;
        const std::wstring className = readNameOrOrdinal(&atom);
        // A class given by name is the same as its predefined atom.
        if (_wcsicmp(className.c_str(), L"Static") == 0) atom = 0x82;
        if (_wcsicmp(className.c_str(), L"Button") == 0) atom = 0x80;
        int titleOrdinal = 0;
        const std::wstring title = readNameOrOrdinal(&titleOrdinal);
        at += 2 + U16(t, at);
        EXPECT_EQ(e.id, id);
        EXPECT_EQ(e.classAtom, atom) << e.id;
        EXPECT_EQ(e.x, x) << e.id;
        EXPECT_EQ(e.y, y) << e.id;
        EXPECT_EQ(e.cx, cx) << e.id;
        EXPECT_EQ(e.cy, cy) << e.id;
        EXPECT_EQ(e.style, style & e.style) << e.id;
        EXPECT_EQ(static_cast<uint32_t>(WS_CHILD | WS_VISIBLE), style & (WS_CHILD | WS_VISIBLE)) << e.id;
        if (e.text) {
            EXPECT_EQ(std::wstring(e.text), title) << e.id;
        } else {
            EXPECT_EQ(e.iconOrdinal, titleOrdinal) << e.id;
        }
    }
}

TEST_F(ResourcesTest, ManifestDeclaresDpiControlsPrivilegeAndSystems) {
    const std::vector<uint8_t> bytes = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1));
    ASSERT_FALSE(bytes.empty());
    const std::string text(bytes.begin(), bytes.end());
    const char* const needles[] = {
        "PerMonitorV2",
        "Microsoft.Windows.Common-Controls",
        "version=\"6.0.0.0\"",
        "level=\"asInvoker\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10
    };
    for (const char* needle : needles) EXPECT_NE(std::string::npos, text.find(needle)) << needle;
}

// What Explorer's properties page and the installed-apps list read: the
// version block, through the same calls they use, against the project
// version CMake was configured with.
TEST_F(ResourcesTest, VersionInfoCarriesTheProjectVersionAndNames) {
    const std::wstring path = PlayerPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), fixedSize);
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), fixed->dwSignature);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    const DWORD ms = MAKELONG(PEBBLETUNE_PROJECT_MINOR, PEBBLETUNE_PROJECT_MAJOR);
    const DWORD ls = MAKELONG(0, PEBBLETUNE_PROJECT_PATCH);
    EXPECT_EQ(ms, fixed->dwFileVersionMS);
    EXPECT_EQ(ls, fixed->dwFileVersionLS);
    EXPECT_EQ(ms, fixed->dwProductVersionMS);
    EXPECT_EQ(ls, fixed->dwProductVersionLS);

    // The strings are looked up under the language the block says it holds.
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT translationSize = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &translationSize));
    ASSERT_GE(translationSize, sizeof(Translation));
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);

    struct Case {
        const wchar_t* name;
        const wchar_t* want;
    };
    const Case cases[] = {
        {L"FileVersion", PEBBLETUNE_PROJECT_VERSION},
        {L"ProductVersion", PEBBLETUNE_PROJECT_VERSION},
        {L"ProductName", L"Pebbletune"},
        {L"CompanyName", L"Tallowen"},
        {L"FileDescription", L"Pebbletune audio player"},
        {L"OriginalFilename", L"Pebbletune.exe"},
        {L"LegalCopyright", PEBBLETUNE_PROJECT_COPYRIGHT},
    };
    for (const Case& c : cases) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring query = prefix + std::wstring(c.name);
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << "no " << std::string(query.begin(), query.end());
        EXPECT_EQ(std::wstring(c.want), std::wstring(value)) << std::string(query.begin(), query.end());
    }
}

// The About box from the player's own template, created modeless so the
// test keeps control; the dialog procedure is the one the player runs.
class AboutBoxTest : public ResourcesTest {
protected:
    HWND MakeOwner(int x, int y) {
        WNDCLASSW cls = {};
        cls.lpfnWndProc = DefWindowProcW;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"AboutOwner";
        RegisterClassW(&cls);
        return CreateWindowExW(0, L"AboutOwner", L"owner", WS_POPUP | WS_VISIBLE, x, y, 474, 89,
                               nullptr, nullptr, cls.hInstance, nullptr);
    }
    HWND Open(HWND owner) {
        return CreateDialogParamW(module, MAKEINTRESOURCEW(103), owner, AboutDialogProc, 0);
    }
    std::wstring Text(HWND dialog, int id) {
        wchar_t text[256] = {};
        GetDlgItemTextW(dialog, id, text, 256);
        return text;
    }
};

TEST_F(AboutBoxTest, ShowsTheTextCentredOnTheOwner) {
    HWND owner = MakeOwner(300, 300);
    HWND dialog = Open(owner);
    ASSERT_TRUE(dialog);
    const std::wstring text = Text(dialog, 1003);
    EXPECT_EQ(0u, text.find(L"Pebbletune\r\nAudio Player\r\n23.8 (x64)\r\n"));
    const size_t lastBreak = text.rfind(L"\r\n");
    EXPECT_EQ(3u, [&] {
        size_t n = 0;
        for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2)) ++n;
        return n;
    }());
    EXPECT_LT(lastBreak + 2, text.size()) << "the maker's line is not empty";
    EXPECT_EQ(L"pebbletune.example.org", Text(dialog, 1001));
    EXPECT_EQ(L"OK", Text(dialog, IDCANCEL));
    EXPECT_TRUE(IsWindowVisible(dialog));

    RECT o = {};
    RECT d = {};
    GetWindowRect(owner, &o);
    GetWindowRect(dialog, &d);
    const LONG w = d.right - d.left;
    const LONG h = d.bottom - d.top;
    EXPECT_EQ(o.left + (474 - w) / 2, d.left);
    EXPECT_EQ(o.top + (89 - h) / 2, d.top);
    DestroyWindow(dialog);
    DestroyWindow(owner);
}

TEST_F(AboutBoxTest, OpensWithTheFocusOnOkSoSpaceAndEnterOnlyCloseIt) {
    const WPARAM keys[] = {VK_SPACE, VK_RETURN};
    HWND owner = MakeOwner(200, 200);
    for (WPARAM key : keys) {
        HWND dialog = Open(owner);
        ASSERT_TRUE(dialog);
        HWND focus = GetFocus();
        EXPECT_EQ(GetDlgItem(dialog, IDCANCEL), focus) << "key " << key;
        // The key as it opens, to whatever holds the focus.
        for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) {
            MSG msg = {};
            msg.hwnd = focus ? focus : dialog;
            msg.message = message;
            msg.wParam = message == WM_CHAR ? (key == VK_SPACE ? L' ' : L'\r') : key;
            msg.lParam = message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : 1;
            if (!IsDialogMessageW(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        PumpFor(30);
        EXPECT_FALSE(IsWindowVisible(dialog)) << "key " << key;
        DestroyWindow(dialog);
    }
    DestroyWindow(owner);
}

TEST_F(AboutBoxTest, EnterEscapeOkAndCloseBoxCloseIt) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool throughDialogKeys;
        bool closes;
    };
    const Case cases[] = {
        {"Enter (IDOK)", WM_COMMAND, IDOK, false, true},
        {"OK button", WM_COMMAND, IDCANCEL, false, true},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, false, true},
        {"Escape key", WM_KEYDOWN, VK_ESCAPE, true, true},
        {"Enter key", WM_KEYDOWN, VK_RETURN, true, true},
        {"another id", WM_COMMAND, 1234, false, false},
    };
    HWND owner = MakeOwner(200, 200);
    for (const Case& c : cases) {
        HWND dialog = Open(owner);
        ASSERT_TRUE(dialog) << c.name;
        if (c.throughDialogKeys) {
            SetFocus(GetDlgItem(dialog, IDCANCEL));
            MSG key = {};
            key.hwnd = GetFocus() ? GetFocus() : dialog;
            key.message = c.message;
            key.wParam = c.wParam;
            key.lParam = 1;
            IsDialogMessageW(dialog, &key);
        } else {
            SendMessageW(dialog, c.message, c.wParam, 0);
        }
        PumpFor(30);
        EXPECT_EQ(c.closes, !IsWindowVisible(dialog)) << c.name;
        DestroyWindow(dialog);
    }
    DestroyWindow(owner);
}

}  // namespace
