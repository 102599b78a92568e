// A library planted beside the player under a system library's name, as a
// web page can leave one in Downloads. Loaded, it leaves NAME.loaded beside
// itself (NAME as the loader spelled it), where the test looks, and ends the
// process before anything calls into it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    wchar_t path[MAX_PATH + 8];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    if (reason != DLL_PROCESS_ATTACH || n == 0 || n >= MAX_PATH) return TRUE;
    lstrcpyW(path + n, L".loaded");
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    TerminateProcess(GetCurrentProcess(), 3);
    return TRUE;
}
