// What a screen reader finds on the face: the window's client object with one
// simple element per thing a user perceives, and the events that tell a
// reader what changed. Everything here runs on the user-interface thread.
#pragma once
#include <windows.h>
#include "core/app_state.h"

// The client object's children, in the order a reader walks them.
enum AccessibleChild : int32_t {
    ChildStatus = 1,
    ChildPosition = 2,
    ChildPlay = 3,
    ChildStop = 4,
    ChildNext = 5,
    ChildVolume = 6,
    ChildMenu = 7,
    ChildClose = 8,
};
constexpr int32_t kAccessibleChildCount = 8;

// WM_GETOBJECT: answers OBJID_CLIENT with the client object, loading the
// accessibility libraries on the first request; every other object id goes
// to the default handler.
LRESULT OnGetObject(AppState* app, HWND window, WPARAM wParam, LPARAM lParam);
// The child under a screen point: a child id, 0 (CHILDID_SELF) for the face
// away from every control, -1 outside the window.
int32_t AccessibleChildAt(AppState* app, int32_t x, int32_t y);
// Raises a name change for a new status line or play button name and a
// value change for a new volume, against what was last announced. Called
// every tick; cheap when nothing changed.
void AnnounceChanges(AppState* app);
// The window became active: the status line takes the reader's focus.
void AnnounceFocus(AppState* app);
// WM_DESTROY: cuts off every reader still holding the client object; later
// calls through it fail instead of reaching a window that is gone.
void ReleaseAccessible(AppState* app);
