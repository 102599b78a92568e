// The entry point stays thin: everything it does lives in the core library,
// where the tests can reach it.
#include <windows.h>

#include "app/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // Libraries loaded later by name alone, by us or by the system on our
    // behalf (media drivers, the dialogs' helpers), and their own imports,
    // come from the system folder too.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return RunPlayer(instance, commandLine);
}
