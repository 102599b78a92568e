// Helpers for the media-library tests: real directory trees, the file
// system's own listing order, searches run through the real window, and the
// player's random generator restated independently.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "core/app_state.h"

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);
// Creates a zero-byte file; true on success.
bool TouchFile(const std::wstring& path);
// Creates dir\name for every name; true when all were created.
bool TouchFiles(const std::wstring& dir, const std::vector<std::wstring>& names);
// Creates count zero-byte ".mp3" files under root, a hundred to a folder,
// all but the first of each folder as hard links: under Wine a link costs a
// fifth of a creation.
bool MakeTrackTree(const std::wstring& root, int count);
// A tree of 100,001 ".mp3" files (100,000 in folders, extra.mp3 in the root)
// under the temp folder. Creating and deleting it takes most of a minute
// under Wine, so it is built once, completed by a rename, and kept for later
// runs; callers only read it. Empty on failure.
std::wstring LargeTrackTree();
// The same with count files in folders (and extra.mp3 in the root).
std::wstring CachedTrackTree(int count);
// Deletes a tree file by file (fast enough for 100,000 files under Wine).
void DeleteTree(const std::wstring& path);

// Full paths of the files below dir in the order FindFirstFileW/FindNextFileW
// return them, each subdirectory listed where its parent's listing reaches
// it; directories whose name begins with '.' are not entered; depth counts
// the subdirectory levels that may be entered.
std::vector<std::wstring> ListTree(const std::wstring& dir, int depth);
// The entries of the track list in use.
std::vector<std::wstring> TrackPaths(const AppState* app);
// The last path component.
std::wstring FileNameOf(const std::wstring& path);

// Ends the window's playback thread the way destruction does (its loop
// leaves once the state reads Closing) and sets the state to Idle, as if no
// thread had been started. Library tests watch the play requests themselves:
// nothing is opened, and commandFlags keeps what the library set.
bool ParkPlaybackThread(AppState* app);
// Puts path into pathBuffer, opens it like a hand-off would and pumps until
// the search has ended and the re-posted requests have run.
bool OpenAndWait(AppState* app, const std::wstring& path, DWORD timeoutMs = 20000);
// Pumps until searchState is Idle, then a little longer so re-posted
// messages are handled.
bool WaitForSearch(AppState* app, DWORD timeoutMs = 20000);

// The generator s = s * 214013 + 2531011, output (s >> 16) & 0x7FFF, restated
// here so tests do not trust the player's own copy.
uint32_t StepGenerator(uint32_t* state);
// A seed whose next draws, taken modulo the modulus, are the residues given.
uint32_t SeedForResidues(const std::vector<uint32_t>& residues, uint32_t modulus);
