// Stand-in until the play order lands.
#include "library/play_order.h"

void SeedRandom(AppState* app, uint32_t seed) { app->randomState = seed; }
uint32_t DrawRandom(AppState* app) {
    app->randomState = app->randomState * 214013u + 2531011u;
    return (app->randomState >> 16) & 0x7FFF;
}
void BuildPlayOrder(AppState*) {}
void SelectCurrentTrack(AppState*) {}
void GoToPosition(AppState*, int32_t) {}
void RemoveFailedTrack(AppState*) {}
void Navigate(AppState*, int32_t, int32_t) {}
