// Turning a path from outside into the current path and a search.
#pragma once
#include "core/app_state.h"

// Result of SplitPath. The two pointers point into the record's own `full`
// buffer, so the record must not be copied member by member.
struct PathParts {
    wchar_t full[kPathUnits];
    wchar_t directory[kPathUnits];
    wchar_t stem[kPathUnits];
    const wchar_t* name;
    const wchar_t* dotExtension;
};

void SplitPath(PathParts* parts, const wchar_t* path);
// The textual half of the clean-up: every '/' becomes '\', a leading run of
// backslashes is cut to two (one stays one), every other run to one; the
// freed units are zeroed.
void CollapseSeparators(wchar_t* pathBuffer);
// Cleans pathBuffer in place (separators, trailing backslash for
// directories, cleared when nothing exists there).
void NormalizePathBuffer(wchar_t* pathBuffer);
// Puts a folder chosen in the Open Directory dialog (at most 259 units) into
// pathBuffer (512 units), whole, ending in exactly one backslash.
void SetDirectoryPath(wchar_t* pathBuffer, const wchar_t* folder);
// False when the cleaned pathBuffer is longer than a path may be: the buffer
// is cleared, a notice shown, and the caller opens nothing.
bool FitsAsSearchPath(AppState* app);
// Opens pathBuffer, from a hand-off, a drop or a dialog: a file the search
// will list starts at once, anything else waits for the search; a missing
// or too long path opens nothing (and plays what a removal left owed).
void OpenPathBuffer(AppState* app);
// Resume on Start: opens point.opened as the user had opened it and starts
// point.track at once from its saved place while the search runs. A track
// that is gone leaves an ordinary open of the path; a path gone altogether
// (and, for a file, its folder) the empty face and a "folder not found"
// notice.
void OpenResumePoint(AppState* app, const ResumePoint& point);
// Makes pathBuffer the current and the opened path, its folder the search
// folder, and starts the search.
void StartSearch(AppState* app);
// Steps shared by StartSearch and Include Subdirectories: marks the search
// running, replaces the old thread handle, computes the token and starts the
// thread. Returns false (state back to Idle) when the thread cannot start.
bool LaunchSearchThread(AppState* app);
