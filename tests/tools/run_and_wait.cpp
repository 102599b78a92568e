// Starts a program the way a Windows parent does and exits with the exit
// code Windows reports for it (GetExitCodeProcess), so a script under Wine
// reads the code the program ended with rather than the status of Wine's
// own host process.
// Usage: run_and_wait.exe PROGRAM [ARGUMENTS...]   (the rest of the command
// line is passed on as it stands). Exit codes of its own: 100 bad use, 103
// the program could not start.
#include <windows.h>

#include <cwchar>

namespace {

// The command line after this program's own name (quoted or not).
wchar_t* RestOfCommandLine() {
    wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

}  // namespace

int main() {
    wchar_t* rest = RestOfCommandLine();
    if (!*rest) return 100;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, rest, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return 103;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 103;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}
