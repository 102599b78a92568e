// Resume on Start: the place to go on from, kept beside the settings in the
// per-user registry while the setting is on. All on the user-interface thread.
#pragma once
#include "core/app_state.h"

// Reads the stored place. A path that is missing, not a string, or longer
// than 259 characters reads as empty; a position or pause flag that is
// missing or of another type as 0. False when no opened path was read.
bool LoadResumePoint(ResumePoint* point);
// Runs at every settings look (half a second apart). Writes the place once
// its track, opened path or standing (paused or stopped) has held still
// from one look to the next and differs from what was written, and, while
// nothing else changes, a moved position every few seconds. Writes nothing
// while the setting is off, a search runs, or the device does not have the
// current selection open.
void LookAtResumePoint(AppState* app);
// At the close and at the session's end: writes the place at once when it
// differs from what was written (with the same conditions as the look).
void StoreResumePointNow(AppState* app);
// Turning the setting off: the stored place goes, and nothing is known as
// written any more.
void DeleteResumePoint(AppState* app);
