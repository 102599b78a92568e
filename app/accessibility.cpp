// The face is drawn in software, so a screen reader sees one blank client
// area unless the window describes it. The client object below answers for
// the window and for its controls as simple elements (child ids, no objects
// of their own); readers that speak UI Automation reach it through the
// system's bridge from this interface.
#include "app/accessibility.h"

#include <oleacc.h>

#include <cwchar>

#include "core/system_dll.h"
#include "skin/hit_regions.h"
#include "skin/render.h"

namespace {

// One row per child: what a reader is told, and where the face draws it.
struct ChildInfo {
    const wchar_t* name;  // null: the name is the state's (status line, play button)
    LONG role;
    int32_t region;       // the pointer's region for it, for hot-tracking
    Rect SkinLayout::*place;
    const wchar_t* shortcut;
    UINT message;         // what a press posts; 0: the child has no action
    WPARAM command;
};

const ChildInfo kChildren[kAccessibleChildCount] = {
    {nullptr, ROLE_SYSTEM_STATICTEXT, HoverNone, &SkinLayout::displayRect, nullptr, 0, 0},
    {L"Position", ROLE_SYSTEM_SLIDER, HoverDisplay, &SkinLayout::displayRect, nullptr, 0, 0},
    {nullptr, ROLE_SYSTEM_PUSHBUTTON, HoverPlay, &SkinLayout::playRect, L"Space", WM_COMMAND, CMD_PLAY_PAUSE},
    {L"Stop", ROLE_SYSTEM_PUSHBUTTON, HoverStop, &SkinLayout::stopRect, L"Period", WM_COMMAND, CMD_STOP},
    {L"Next", ROLE_SYSTEM_PUSHBUTTON, HoverNext, &SkinLayout::nextRect, L"Right", WM_COMMAND, CMD_NEXT},
    {L"Volume", ROLE_SYSTEM_SLIDER, HoverVolume, &SkinLayout::volumeRect, nullptr, 0, 0},
    {L"Menu", ROLE_SYSTEM_PUSHBUTTON, HoverMenu, &SkinLayout::menuRect, L"Shift+F10", WM_CONTEXTMENU, 0},
    {L"Close", ROLE_SYSTEM_PUSHBUTTON, HoverClose, &SkinLayout::closeRect, L"Alt+X", WM_CLOSE, 0},
};

// The libraries only a reader needs, loaded when the first reader asks: a
// user without one never pays for them.
struct AccessLibraries {
    bool tried;
    LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN);
    HRESULT(WINAPI* objectFromWindow)(HWND, DWORD, REFIID, void**);
    HRESULT(WINAPI* disconnect)(LPUNKNOWN, DWORD);
    BSTR(WINAPI* allocString)(const OLECHAR*);
};
AccessLibraries s_libraries;

template <class Fn>
void Resolve(Fn* fn, const wchar_t* dll, const char* name) {
    HMODULE module = LoadSystemLibrary(dll);
    *fn = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

bool LoadAccessLibraries() {
    AccessLibraries& l = s_libraries;
    if (!l.tried) {
        l.tried = true;
        Resolve(&l.lresultFromObject, L"oleacc.dll", "LresultFromObject");
        Resolve(&l.objectFromWindow, L"oleacc.dll", "AccessibleObjectFromWindow");
        Resolve(&l.disconnect, L"ole32.dll", "CoDisconnectObject");
        Resolve(&l.allocString, L"oleaut32.dll", "SysAllocString");
    }
    return l.lresultFromObject && l.allocString;
}

// What was last announced, so a change is told once.
struct Announced {
    bool primed;
    bool playing;
    uint32_t volume;
    wchar_t status[kBufferUnits];
};
Announced s_announced;

bool Playing(const AppState* app) { return Load(app->device.deviceState) == DEV_PLAYING; }

// The level as a whole percentage of full scale, rounded.
uint32_t VolumePercent(uint32_t volume) { return (volume * 100u + 32767u) / 65535u; }

// Appends value in decimal, at least minDigits long; returns the new length.
size_t AppendNumber(wchar_t* out, size_t n, uint32_t value, int minDigits) {
    wchar_t digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10u);
        value /= 10u;
    } while (value != 0 || count < minDigits);
    while (count > 0) out[n++] = digits[--count];
    out[n] = 0;
    return n;
}

size_t AppendText(wchar_t* out, size_t n, const wchar_t* text) {
    while (*text) out[n++] = *text++;
    out[n] = 0;
    return n;
}

// "m:ss", or "h:mm:ss" from an hour on.
size_t AppendClock(wchar_t* out, size_t n, uint32_t ms) {
    const uint32_t s = ms / 1000u;
    if (s >= 3600u) {
        n = AppendNumber(out, n, s / 3600u, 1);
        n = AppendText(out, n, L":");
        n = AppendNumber(out, n, s / 60u % 60u, 2);
    } else {
        n = AppendNumber(out, n, s / 60u, 1);
    }
    n = AppendText(out, n, L":");
    return AppendNumber(out, n, s % 60u, 2);
}

// Elapsed and total time, as a reader speaks them well: "1:23 of 4:05".
// out holds 32 units: two clocks of at most 10 and the words between.
void FormatPosition(const AppState* app, wchar_t* out) {
    const float scale = Load(app->seekScale);
    const float length = scale > 0.0f ? 1.0f / scale + 0.5f : 0.0f;
    const uint32_t total = length < 4.0e9f ? static_cast<uint32_t>(length) : 4000000000u;
    size_t n = AppendClock(out, 0, Load(app->positionMs));
    n = AppendText(out, n, L" of ");
    AppendClock(out, n, total);
}

bool ValidChild(const VARIANT& v) {
    return v.vt == VT_I4 && v.lVal >= CHILDID_SELF && v.lVal <= kAccessibleChildCount;
}

// Simple elements are named by VT_I4 ids; CHILDID_SELF is the client itself.
void SetChildId(VARIANT* out, LONG id) {
    out->vt = VT_I4;
    out->lVal = id;
}

class ClientObject final : public IAccessible {
public:
    // The window it answers for; null once the window is gone.
    HWND window;
    LONG references;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The object is static: the count only serves the protocol.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }

    // Readers call the interface directly; late binding is not offered.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!window) return RPC_E_DISCONNECTED;
        if (!s_libraries.objectFromWindow) return S_FALSE;
        return s_libraries.objectFromWindow(window, static_cast<DWORD>(OBJID_WINDOW), __uuidof(IDispatch),
                                            reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = kAccessibleChildCount;
        return window ? S_OK : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!window) return RPC_E_DISCONNECTED;
        return ValidChild(child) && child.lVal != CHILDID_SELF ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
        const HRESULT checked = Check(child, out);
        if (checked != S_OK) return checked;
        wchar_t text[kBufferUnits] = {};
        const AppState* app = g_app;
        if (child.lVal == CHILDID_SELF) {
            GetWindowTextW(window, text, kBufferUnits);
        } else if (child.lVal == ChildStatus) {
            StatusLineText(app, text);
        } else if (child.lVal == ChildPlay) {
            CopyText(text, Playing(app) ? L"Pause" : L"Play", kBufferUnits - 1);
        } else {
            CopyText(text, kChildren[child.lVal - 1].name, kBufferUnits - 1);
        }
        return Text(text, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
        const HRESULT checked = Check(child, out);
        if (checked != S_OK) return checked;
        wchar_t text[32] = {};
        if (child.lVal == ChildPosition) {
            FormatPosition(g_app, text);
        } else if (child.lVal == ChildVolume) {
            AppendText(text, AppendNumber(text, 0, VolumePercent(g_app->volume), 1), L"%");
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        return Text(text, out);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override { return NoText(child, out); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        if (!ValidChild(child)) return E_INVALIDARG;
        SetChildId(out, child.lVal == CHILDID_SELF ? ROLE_SYSTEM_CLIENT : kChildren[child.lVal - 1].role);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        if (!ValidChild(child)) return E_INVALIDARG;
        SetChildId(out, State(g_app, child.lVal));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override { return NoText(child, out); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
        const HRESULT checked = Check(child, out);
        if (checked != S_OK) return checked;
        const wchar_t* shortcut = child.lVal == CHILDID_SELF ? nullptr : kChildren[child.lVal - 1].shortcut;
        return shortcut ? Text(shortcut, out) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        // The status line stands for the whole face: it is what switching
        // to the player should speak.
        if (!g_app->windowActive) return S_FALSE;
        SetChildId(out, ChildStatus);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        return window ? S_FALSE : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
        const HRESULT checked = Check(child, out);
        if (checked != S_OK) return checked;
        if (child.lVal == CHILDID_SELF || !kChildren[child.lVal - 1].message) return DISP_E_MEMBERNOTFOUND;
        return Text(child.lVal == ChildMenu ? L"Open" : L"Press", out);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        if (!window) return RPC_E_DISCONNECTED;
        if (!ValidChild(child)) return E_INVALIDARG;
        RECT rect = {};
        GetWindowRect(window, &rect);
        if (child.lVal == CHILDID_SELF) {
            *left = rect.left;
            *top = rect.top;
            *width = rect.right - rect.left;
            *height = rect.bottom - rect.top;
            return S_OK;
        }
        const AppState* app = g_app;
        const int32_t f = app->sizeFactor > 0 ? app->sizeFactor : 1;
        const Rect place = app->layout.*(kChildren[child.lVal - 1].place);
        *left = rect.left + place.left * f;
        *top = rect.top + place.top * f;
        *width = (place.right - place.left) * f;
        *height = (place.bottom - place.top) * f;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        if (!ValidChild(start)) return E_INVALIDARG;
        LONG to = 0;
        const LONG from = start.lVal;
        switch (direction) {
        case NAVDIR_FIRSTCHILD: to = from == CHILDID_SELF ? ChildStatus : 0; break;
        case NAVDIR_LASTCHILD: to = from == CHILDID_SELF ? kAccessibleChildCount : 0; break;
        case NAVDIR_NEXT:
        case NAVDIR_RIGHT: to = from != CHILDID_SELF && from < kAccessibleChildCount ? from + 1 : 0; break;
        case NAVDIR_PREVIOUS:
        case NAVDIR_LEFT: to = from > ChildStatus ? from - 1 : 0; break;
        default: break;
        }
        if (!to) return S_FALSE;
        SetChildId(out, to);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        if (!window) return RPC_E_DISCONNECTED;
        const int32_t child = AccessibleChildAt(g_app, x, y);
        if (child < 0) return S_FALSE;
        SetChildId(out, child);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!window) return RPC_E_DISCONNECTED;
        if (!ValidChild(child)) return E_INVALIDARG;
        if (child.lVal == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
        const ChildInfo& info = kChildren[child.lVal - 1];
        if (!info.message) return DISP_E_MEMBERNOTFOUND;
        // An open dialog (Open, Colour, About) disables the face: a click on
        // it does nothing then, and neither does a reader's press.
        if (!IsWindowEnabled(window)) return E_FAIL;
        // Posted like a click's, so the reader's call returns before the
        // command runs (the menu, for one, would hold it until it closes).
        WPARAM wParam = info.command;
        LPARAM lParam = 0;
        if (info.message == WM_CONTEXTMENU) {
            LONG left, top, width, height;
            accLocation(&left, &top, &width, &height, child);
            wParam = reinterpret_cast<WPARAM>(window);
            lParam = MAKELPARAM(left + width / 2, top + height / 2);
        }
        return PostMessageW(window, info.message, wParam, lParam) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    HRESULT Check(const VARIANT& child, BSTR* out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!window) return RPC_E_DISCONNECTED;
        return ValidChild(child) ? S_OK : E_INVALIDARG;
    }
    HRESULT NoText(const VARIANT& child, BSTR* out) const {
        const HRESULT checked = Check(child, out);
        return checked == S_OK ? S_FALSE : checked;
    }
    static HRESULT Text(const wchar_t* text, BSTR* out) {
        *out = s_libraries.allocString(text);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static LONG State(const AppState* app, LONG child) {
        // The focus itself rests on the status line (see get_accFocus).
        if (child == CHILDID_SELF) return STATE_SYSTEM_FOCUSABLE;
        const ChildInfo& info = kChildren[child - 1];
        LONG state = 0;
        if (info.region != HoverNone && app->hoverRegion == info.region) state |= STATE_SYSTEM_HOTTRACKED;
        const int32_t device = Load(app->device.deviceState);
        switch (child) {
        case ChildStatus:
            state |= STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE;
            if (app->windowActive) state |= STATE_SYSTEM_FOCUSED;
            break;
        // The menu greys the same commands; the face does not light them.
        case ChildPosition:
            if (device <= DEV_STOPPED) state |= STATE_SYSTEM_UNAVAILABLE;
            break;
        case ChildPlay:
            if (device == DEV_CLOSED) state |= STATE_SYSTEM_UNAVAILABLE;
            break;
        case ChildStop:
            if (device <= DEV_STOPPED) state |= STATE_SYSTEM_UNAVAILABLE;
            break;
        case ChildNext:
            if (Load(app->trackCount) <= 0) state |= STATE_SYSTEM_UNAVAILABLE;
            break;
        case ChildMenu: state |= STATE_SYSTEM_HASPOPUP; break;
        default: break;
        }
        if (info.message && !IsWindowEnabled(app->mainWindow)) state |= STATE_SYSTEM_UNAVAILABLE;
        // Half height draws neither the text nor the seek bar.
        if (app->halfHeight && (child == ChildStatus || child == ChildPosition)) state |= STATE_SYSTEM_INVISIBLE;
        return state;
    }
};

ClientObject s_client;

void Announce(const AppState* app, DWORD event, LONG child) {
    NotifyWinEvent(event, app->mainWindow, OBJID_CLIENT, child);
}

}  // namespace

LRESULT OnGetObject(AppState*, HWND window, WPARAM wParam, LPARAM lParam) {
    // The id arrives as a 32-bit value, sign-extended or not.
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !LoadAccessLibraries()) {
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    }
    s_client.window = window;
    return s_libraries.lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(&s_client));
}

int32_t AccessibleChildAt(AppState* app, int32_t x, int32_t y) {
    RECT rect = {};
    if (!GetWindowRect(app->mainWindow, &rect)) return -1;
    if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) return -1;
    const int32_t region = RegionAt(app, x, y);
    for (int32_t k = 0; k < kAccessibleChildCount; ++k) {
        // The display is both the status line and the seek bar; a press
        // there seeks, so the bar is what lies under the point.
        if (kChildren[k].region != HoverNone && kChildren[k].region == region) return k + 1;
    }
    return CHILDID_SELF;
}

void AnnounceChanges(AppState* app) {
    // Until a reader has asked for the face there is nobody to tell; a user
    // without one pays nothing on the tick. A reader asks as soon as the
    // window comes to the foreground (the system announces that itself).
    if (!s_client.window) return;
    Announced& said = s_announced;
    wchar_t status[kBufferUnits] = {};
    StatusLineText(app, status);
    const bool playing = Playing(app);
    // The first tick only learns the state: nothing has changed for anyone yet.
    const bool primed = said.primed;
    said.primed = true;
    if (std::wcscmp(status, said.status) != 0) {
        CopyText(said.status, status, kBufferUnits - 1);
        if (primed) Announce(app, EVENT_OBJECT_NAMECHANGE, ChildStatus);
    }
    if (playing != said.playing) {
        said.playing = playing;
        if (primed) Announce(app, EVENT_OBJECT_NAMECHANGE, ChildPlay);
    }
    if (app->volume != said.volume) {
        said.volume = app->volume;
        if (primed) Announce(app, EVENT_OBJECT_VALUECHANGE, ChildVolume);
    }
}

void AnnounceFocus(AppState* app) { Announce(app, EVENT_OBJECT_FOCUS, ChildStatus); }

void ReleaseAccessible(AppState*) {
    if (!s_client.window) return;
    s_client.window = nullptr;
    if (s_libraries.disconnect) s_libraries.disconnect(static_cast<IAccessible*>(&s_client), 0);
}
