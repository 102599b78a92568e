#include "core/system_dll.h"

#include <shellapi.h>

namespace {

// Resolves one export; the module stays loaded for the process's life, so
// later calls cost one GetModuleHandle-like lookup.
template <class Fn>
Fn Resolve(const wchar_t* dll, const char* name) {
    HMODULE module = LoadSystemLibrary(dll);
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

BOOL OpenFileDialog(OPENFILENAMEW* ofn) {
    using Fn = BOOL(WINAPI*)(OPENFILENAMEW*);
    auto fn = Resolve<Fn>(L"comdlg32.dll", "GetOpenFileNameW");
    return fn ? fn(ofn) : FALSE;
}

BOOL ColorDialog(CHOOSECOLORW* cc) {
    using Fn = BOOL(WINAPI*)(CHOOSECOLORW*);
    auto fn = Resolve<Fn>(L"comdlg32.dll", "ChooseColorW");
    return fn ? fn(cc) : FALSE;
}

PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* info) {
    using Fn = PIDLIST_ABSOLUTE(WINAPI*)(BROWSEINFOW*);
    auto fn = Resolve<Fn>(L"shell32.dll", "SHBrowseForFolderW");
    return fn ? fn(info) : nullptr;
}

BOOL PathFromItemList(PCIDLIST_ABSOLUTE item, wchar_t* path) {
    using Fn = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, wchar_t*);
    auto fn = Resolve<Fn>(L"shell32.dll", "SHGetPathFromIDListW");
    return fn ? fn(item, path) : FALSE;
}

HRESULT MusicFolderPath(wchar_t* path) {
    using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, wchar_t*);
    auto fn = Resolve<Fn>(L"shell32.dll", "SHGetFolderPathW");
    return fn ? fn(nullptr, CSIDL_MYMUSIC, nullptr, 0, path) : E_FAIL;
}

bool OpenWebAddress(HWND owner, const wchar_t* address) {
    using Fn = HINSTANCE(WINAPI*)(HWND, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, int);
    auto fn = Resolve<Fn>(L"shell32.dll", "ShellExecuteW");
    // ShellExecute reports success as a value above 32.
    return fn && reinterpret_cast<INT_PTR>(fn(owner, L"open", address, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

UINT DroppedFile(HDROP drop, UINT index, wchar_t* name, UINT units) {
    using Fn = UINT(WINAPI*)(HDROP, UINT, wchar_t*, UINT);
    auto fn = Resolve<Fn>(L"shell32.dll", "DragQueryFileW");
    return fn ? fn(drop, index, name, units) : 0;
}

void FinishDrop(HDROP drop) {
    using Fn = void(WINAPI*)(HDROP);
    auto fn = Resolve<Fn>(L"shell32.dll", "DragFinish");
    if (fn) fn(drop);
}
