// The skin operations on the application state.
#pragma once
#include "core/app_state.h"
#include "skin/skin.h"

void LayoutSkin(AppState* app);
void DeriveSkinColors(AppState* app);
// Returns 0 or the first failing allocation's status; sets redraw on success.
uint32_t BuildStaticSkin(AppState* app);
// Releases what the record owns at process exit: skin pixels, the bitmap.
void ReleaseAppState(AppState* app);
