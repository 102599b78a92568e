// The skin operations on the application state.
#pragma once
#include "app/app_state.h"

void LayoutSkin(AppState* app);
void DeriveSkinColors(AppState* app);
// Returns 0 or the first failing allocation's status; sets redraw on success.
uint32_t BuildStaticSkin(AppState* app);
