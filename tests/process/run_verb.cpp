// Starts an Explorer verb the way the shell starts it: the verb's command is
// read from the registry, %1 becomes the item's path, and that command line
// goes to CreateProcessW as it stands, so the test sees exactly the text the
// installer wrote reach the player.
// Usage: run_verb.exe COMMAND_KEY PATH [--wait]
//   COMMAND_KEY  the verb's command key under HKEY_CURRENT_USER
//   --wait       wait (at most 20 s) and exit with the started process's
//                exit code; otherwise exit 0 once it has started.
// Exit codes of its own: 100 bad use, 101 no such command, 102 no %1 in it,
// 103 the process could not start, 104 it did not end in time.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 100;
    const bool wait = argc > 3 && std::wcscmp(argv[3], L"--wait") == 0;

    wchar_t command[2048] = {};
    DWORD size = sizeof(command);
    if (RegGetValueW(HKEY_CURRENT_USER, argv[1], nullptr, RRF_RT_REG_SZ, nullptr, command, &size) !=
        ERROR_SUCCESS) {
        return 101;
    }
    std::wstring line(command);
    const size_t at = line.find(L"%1");
    if (at == std::wstring::npos) return 102;
    line.replace(at, 2, argv[2]);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 103;
    }
    DWORD code = 0;
    if (wait) {
        if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
            code = 104;
        } else {
            GetExitCodeProcess(process.hProcess, &code);
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
