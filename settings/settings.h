// The thirteen numeric settings in the per-user registry.
#pragma once
#include "core/app_state.h"

extern const wchar_t kSettingsKey[];  // under HKEY_CURRENT_USER

// Takes a stored value only when it is exactly what the player writes, a
// 4-byte REG_DWORD; anything else leaves value as it was.
bool ReadDword(HKEY key, const wchar_t* name, uint32_t* value);
void WriteDword(HKEY key, const wchar_t* name, uint32_t value);

void LoadSettings(AppState* app);
// The volume of a first run (no stored "Volume"): the mean of the low words
// of the two device volumes that could be read, the one alone when only one
// could, full volume (65535) when neither could.
uint32_t DefaultVolume(bool waveRead, uint32_t wave, bool midiRead, uint32_t midi);
void SaveSettings(AppState* app);
// Runs on every timer tick. A fault in a system component can end the
// process before the save at exit, so a setting changed during the run is
// written once it has settled; the values and their format are the save's.
void StoreChangedSettings(AppState* app);
