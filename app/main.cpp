// The entry point stays thin: everything it does lives in the core library,
// where the tests can reach it.
#include <windows.h>

#include "app/window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    return RunPlayer(instance, commandLine);
}
