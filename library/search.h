// The directory search thread and the file-type filter.
#pragma once
#include "app/app_state.h"

// Runs on the search thread; argument is the AppState.
unsigned __stdcall SearchThread(void* argument);
// Case-insensitive (A-Z only) test of the text after the name's last dot.
bool MatchesTypeFilter(const wchar_t* name, uint32_t mask);
