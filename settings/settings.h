// The twelve settings in the per-user registry.
#pragma once
#include "app/app_state.h"

extern const wchar_t kSettingsKey[];  // under HKEY_CURRENT_USER

void LoadSettings(AppState* app);
void SaveSettings(AppState* app);
