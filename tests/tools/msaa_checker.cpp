// Reads the running player as a screen reader does, from another process:
// starts it on a folder, walks its accessible tree, presses its buttons and
// listens to the events it raises. Prints the tree as a reader sees it; exit
// code 0 when every check held. Usage: msaa_checker PLAYER_EXE MUSIC_DIR
// With --album after them it only listens to the status line while an album
// of short tracks plays through with Play Next: every track must follow the
// one before with no "opening media..." shown between them.
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Event {
    DWORD event;
    LONG child;
};
std::vector<Event> g_events;
int g_failures = 0;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT) g_events.push_back({event, child});
}

void Check(bool ok, const char* what, LONG child) {
    if (ok) return;
    std::printf("FAIL: %s (child %ld)\n", what, child);
    ++g_failures;
}

// Pumps (the event hook delivers through this thread's queue) until done().
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs = 15000) {
    for (const DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
}

VARIANT Child(LONG id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

using TextProperty = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
std::wstring Text(IAccessible* a, TextProperty get, LONG id) {
    BSTR b = nullptr;
    std::wstring s = SUCCEEDED((a->*get)(Child(id), &b)) && b ? b : L"";
    SysFreeString(b);
    return s;
}
std::wstring Name(IAccessible* a, LONG id) { return Text(a, &IAccessible::get_accName, id); }
std::wstring Value(IAccessible* a, LONG id) { return Text(a, &IAccessible::get_accValue, id); }
LONG State(IAccessible* a, LONG id) {
    VARIANT v = {};
    return SUCCEEDED(a->get_accState(Child(id), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}

// One row per child: the face as a user perceives it, at the documented
// skin places (left, top, right, bottom) for full and half height.
struct Row {
    LONG id, role;
    const wchar_t* name;  // null: checked by the steps
    RECT full, half;
    LONG states;          // all of these, in full height
};
const Row kRows[] = {
    {0, ROLE_SYSTEM_CLIENT, L"Pebbletune", {0, 0, 474, 89}, {0, 0, 474, 56}, STATE_SYSTEM_FOCUSABLE},
    {1, ROLE_SYSTEM_STATICTEXT, nullptr, {6, 6, 468, 39}, {6, 6, 468, 6}, STATE_SYSTEM_READONLY},
    {2, ROLE_SYSTEM_SLIDER, L"Position", {6, 6, 468, 39}, {6, 6, 468, 6}, 0},
    {3, ROLE_SYSTEM_PUSHBUTTON, L"Pause", {19, 47, 55, 75}, {19, 14, 55, 42}, 0},
    {4, ROLE_SYSTEM_PUSHBUTTON, L"Stop", {61, 47, 97, 75}, {61, 14, 97, 42}, 0},
    {5, ROLE_SYSTEM_PUSHBUTTON, L"Next", {103, 47, 139, 75}, {103, 14, 139, 42}, 0},
    {6, ROLE_SYSTEM_SLIDER, L"Volume", {232, 47, 371, 75}, {232, 14, 371, 42}, 0},
    {7, ROLE_SYSTEM_PUSHBUTTON, L"Menu", {377, 47, 413, 75}, {377, 14, 413, 42}, STATE_SYSTEM_HASPOPUP},
    {8, ROLE_SYSTEM_PUSHBUTTON, L"Close", {419, 47, 455, 75}, {419, 14, 455, 42}, 0},
};

void WalkTree(IAccessible* a, HWND window, bool half) {
    RECT w = {};
    GetWindowRect(window, &w);
    const LONG f = (w.right - w.left) / 474;
    LONG count = 0;
    Check(a->get_accChildCount(&count) == S_OK && count == 8, "eight children", 0);
    for (const Row& r : kRows) {
        VARIANT role = {};
        a->get_accRole(Child(r.id), &role);
        wchar_t roleText[64] = {};
        GetRoleTextW(role.lVal, roleText, 64);
        LONG x = 0, y = 0, cx = 0, cy = 0;
        a->accLocation(&x, &y, &cx, &cy, Child(r.id));
        const LONG state = State(a, r.id);
        const std::wstring name = Name(a, r.id), value = Value(a, r.id);
        std::wstring states;
        for (LONG bit = 1; bit > 0 && state > 0; bit <<= 1) {
            wchar_t word[64] = {};
            if ((state & bit) && GetStateTextW(static_cast<DWORD>(bit), word, 64)) states += L" " + std::wstring(word);
        }
        std::printf("  %ld %-12ls \"%ls\" value \"%ls\" at %ld,%ld %ldx%ld:%ls\n", r.id, roleText, name.c_str(),
                    value.c_str(), x - w.left, y - w.top, cx, cy, states.c_str());
        const RECT& s = half ? r.half : r.full;
        Check(role.vt == VT_I4 && role.lVal == r.role, "role", r.id);
        Check(!r.name || name == r.name, "name", r.id);
        Check(x - w.left == s.left * f && y - w.top == s.top * f && cx == (s.right - s.left) * f &&
                  cy == (s.bottom - s.top) * f, "location", r.id);
        Check(half || (state & r.states) == r.states, "states", r.id);
        Check(((state & STATE_SYSTEM_INVISIBLE) != 0) == (half && (r.id == 1 || r.id == 2)), "visibility", r.id);
    }
}

bool Heard(DWORD event, LONG child) {
    for (const Event& e : g_events) {
        if (e.event == event && e.child == child) return true;
    }
    return false;
}

// Presses a button through its default action (press) or posts a menu
// command, then waits for the event and for the text it announces.
struct Step {
    const char* what;
    LONG press;
    WPARAM command;
    DWORD event;
    LONG child;
    TextProperty property;
    const wchar_t* text;  // null: the other track
};
const Step kSteps[] = {
    {"Next", 5, 0, EVENT_OBJECT_NAMECHANGE, 1, &IAccessible::get_accName, nullptr},
    {"Play/Pause pauses", 3, 0, EVENT_OBJECT_NAMECHANGE, 3, &IAccessible::get_accName, L"Play"},
    {"Play/Pause plays", 3, 0, EVENT_OBJECT_NAMECHANGE, 3, &IAccessible::get_accName, L"Pause"},
    // 30000 + 1200 x 5.46125 = 36553, 55.8 % of full scale.
    {"Volume Up", 0, 9017, EVENT_OBJECT_VALUECHANGE, 6, &IAccessible::get_accValue, L"56%"},
    // And back down by as much: a lowered volume is news as well.
    {"Volume Down", 0, 9018, EVENT_OBJECT_VALUECHANGE, 6, &IAccessible::get_accValue, L"46%"},
};

// The status line read as often as a reader can (a call takes a few
// milliseconds) while the album plays: the names in the order shown.
int ListenToAnAlbum(IAccessible* a, HANDLE player) {
    std::vector<std::wstring> shown;
    PumpUntil([&] {
        const std::wstring name = Name(a, 1);
        if (!name.empty() && (shown.empty() || shown.back() != name)) shown.push_back(name);
        return shown.size() >= 10;
    }, 30000);
    int tracks = 0;
    for (const std::wstring& name : shown) {
        std::printf("  %ls\n", name.c_str());
        tracks += name.size() == 2 ? 1 : 0;
    }
    Check(tracks >= 4, "four tracks of the album play one after another", 1);
    const auto firstTrack = std::find_if(shown.begin(), shown.end(), [](const std::wstring& n) { return n.size() == 2; });
    Check(std::find(firstTrack, shown.end(), L"opening media...") == shown.end(),
          "nothing opens between two tracks", 1);
    a->accDoDefaultAction(Child(8));
    WaitForSingleObject(player, 20000);
    a->Release();
    if (g_failures) TerminateProcess(player, 1);
    std::printf("%s: %d failure(s)\n", g_failures ? "FAILED" : "passed", g_failures);
    return g_failures ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && !(argc == 4 && std::wstring(argv[3]) == L"--album")) return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring line = L"\"" + std::wstring(argv[1]) + L"\" \"" + argv[2] + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(argv[1], &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
    // By process id and without WINEVENT_SKIPOWNPROCESS, with which Wine delivers nothing.
    SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, OnEvent, pi.dwProcessId, 0,
                    WINEVENT_OUTOFCONTEXT);
    HWND window = nullptr;
    PumpUntil([&] { return (window = FindWindowW(L"Pebbletune", nullptr)) != nullptr; });
    // The first request, timed once the player has settled (a track plays).
    PumpUntil([] { return false; }, 3000);
    LARGE_INTEGER t0, t1, hz;
    DWORD_PTR result = 0;
    QueryPerformanceCounter(&t0);
    SendMessageTimeoutW(window, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_ABORTIFHUNG, 5000, &result);
    QueryPerformanceCounter(&t1);
    QueryPerformanceFrequency(&hz);
    IAccessible* a = nullptr;
    const HRESULT got = ObjectFromLresult(result, __uuidof(IAccessible), 0, reinterpret_cast<void**>(&a));
    std::printf("first WM_GETOBJECT answered in %.1f ms: 0x%lx\n",
                1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(hz.QuadPart), got);
    if (FAILED(got) || !a) {
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    if (argc == 4) return ListenToAnAlbum(a, pi.hProcess);

    std::wstring first;
    Check(PumpUntil([&] {
              first = Name(a, 1);
              return Name(a, 3) == L"Pause" && (first == L"a tone" || first == L"b tone");
          }, 30000), "a track plays and the status names it", 1);
    Check(Heard(EVENT_OBJECT_FOCUS, 1), "the shown window puts the focus on the status text", 1);
    std::printf("full height:\n");
    WalkTree(a, window, false);
    const std::wstring position = Value(a, 2);
    Check(position.size() == 12 && position.compare(0, 2, L"0:") == 0 && position.compare(4, 8, L" of 0:30") == 0,
          "position in words", 2);
    Check(Value(a, 6) == L"46%", "volume 30000 reads 46%", 6);

    const std::wstring other = first == L"a tone" ? L"b tone" : L"a tone";
    for (const Step& step : kSteps) {
        g_events.clear();
        step.press ? a->accDoDefaultAction(Child(step.press)) : PostMessageW(window, WM_COMMAND, step.command, 0);
        // A second into the play, so that the next press finds the device well under way.
        const bool ok = PumpUntil([&] {
            return Heard(step.event, step.child) && Text(a, step.property, step.child) == (step.text ? step.text : other) &&
                   Value(a, 2).compare(0, 4, L"0:00") != 0;
        });
        std::printf("%s: %s\n", step.what, ok ? "announced" : "NOT announced");
        Check(ok, step.what, step.child);
    }
    // The position is read on demand, never announced as it moves.
    PumpUntil([] { return false; }, 1500);
    for (const Event& e : g_events) Check(e.child != 2, "position announced", 2);

    PostMessageW(window, WM_COMMAND, 9034, 0);  // half height
    Check(PumpUntil([&] { return (State(a, 1) & STATE_SYSTEM_INVISIBLE) != 0; }), "half height", 1);
    std::printf("half height:\n");
    WalkTree(a, window, true);

    a->accDoDefaultAction(Child(8));
    DWORD code = 1;
    Check(WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code) &&
              code == 0, "Close ends the player with code 0", 8);
    BSTR late = nullptr;
    const HRESULT after = a->get_accName(Child(1), &late);
    std::printf("a call after the window is gone: 0x%lx\n", after);
    Check(FAILED(after), "calls fail once the window is gone", 1);
    a->Release();
    if (g_failures) TerminateProcess(pi.hProcess, 1);
    std::printf("%s: %d failure(s)\n", g_failures ? "FAILED" : "passed", g_failures);
    return g_failures ? 1 : 0;
}
