// Play order, shuffle, navigation and the removal of failed tracks.
#pragma once
#include "core/app_state.h"

void SeedRandom(AppState* app, uint32_t seed);
// One draw of the player's generator: 0 to 32767.
uint32_t DrawRandom(AppState* app);

void BuildPlayOrder(AppState* app);
void SelectCurrentTrack(AppState* app);
// Asks the playback thread for the track in currentPath, as a new selection.
void PlayCurrentPath(AppState* app);
void GoToPosition(AppState* app, int32_t position);
// detail kRemoveOnly: another request decides what plays (an open or the
// close waits behind the removal), so the successor is not started but
// owed (successorOwed) when it would have been.
constexpr LPARAM kRemoveOnly = 1;
void RemoveFailedTrack(AppState* app, LPARAM detail = 0);
// Run where an open ends without opening anything (a dialog cancelled, a
// path missing or too long): the successor a removal left to that open
// plays after all. Any selection or search started since cancels the debt.
void PlayOwedSuccessor(AppState* app);
// Previous (code 12), Next (11) and Random (14) with the 10-tick guard and
// the deferral rule; delta is added to playPosition.
void Navigate(AppState* app, int32_t code, int32_t delta);
// The path of the track Play Next would go to (out holds kBufferUnits),
// empty when nothing goes on by itself: another After Playback action, a
// search running, no list.
void NextTrackPath(AppState* app, wchar_t* out);
// What comes next has changed: a track prepared to follow is let go.
void NextTrackChanged(AppState* app);
// Play/Pause: toggles the open track, or plays the current one again when
// nothing is open.
void TogglePlayback(AppState* app);
