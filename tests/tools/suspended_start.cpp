// Starts a program suspended and ends it after the given time: a process of
// that exe without a window that still holds the file, as a player does whose
// window has gone while its process is still ending.
// Usage: suspended_start.exe MILLISECONDS PROGRAM
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 100;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(argv[2], nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        return 103;
    }
    Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
    TerminateProcess(process.hProcess, 0);
    return WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0 ? 0 : 1;
}
