// The directory search thread and the file-type filter.
#pragma once
#include "core/app_state.h"

// The state of one walk: a single record serves the whole recursion, paths
// are extended and cut back in place.
struct DirectoryWalk {
    int32_t stop;          // non-zero ends the walk at every level
    int32_t depthBudget;   // levels that may still be entered
    WIN32_FIND_DATAW findData;
    const wchar_t* pattern;
    wchar_t dirPath[kBufferUnits];
    wchar_t filePath[kBufferUnits];
    int32_t patternLength;
    int32_t nameLength;
    int32_t matchCount;
    void (*onFile)(DirectoryWalk* walk);
    void* context;  // the AppState for the search's own callbacks
};

// Runs on the search thread; argument is the AppState.
unsigned __stdcall SearchThread(void* argument);
// Lists walk->dirPath and, within the depth budget, its subdirectories,
// calling onFile for every file whose full path fits 259 units.
void WalkDirectory(DirectoryWalk* walk);
// The two onFile callbacks of the search: the counting and the collecting pass.
void CountAudioFile(DirectoryWalk* walk);
void CollectAudioFile(DirectoryWalk* walk);
// Case-insensitive (A-Z only) test of the text after the name's last dot.
bool MatchesTypeFilter(const wchar_t* name, uint32_t mask);
