// Play order, shuffle, navigation and the removal of failed tracks.
#pragma once
#include "app/app_state.h"

void SeedRandom(AppState* app, uint32_t seed);
// One draw of the player's generator: 0 to 32767.
uint32_t DrawRandom(AppState* app);

void BuildPlayOrder(AppState* app);
void SelectCurrentTrack(AppState* app);
void GoToPosition(AppState* app, int32_t position);
void RemoveFailedTrack(AppState* app);
// Previous (code 12), Next (11) and Random (14) with the 10-tick guard and
// the deferral rule; delta is added to playPosition.
void Navigate(AppState* app, int32_t code, int32_t delta);
