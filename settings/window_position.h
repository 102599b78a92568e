// Where the window may stand: the position checks of start-up, of the save,
// and of the commands that resize the window, all against the virtual
// screen, the rectangle that bounds every monitor. Its origin is negative
// when a monitor lies left of or above the primary one.
#pragma once
#include <cstdint>

struct ScreenBounds {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

struct WindowPosition {
    int32_t x;
    int32_t y;
};

// The virtual screen as the system reports it now.
ScreenBounds VirtualScreenBounds();

// A stored position as start-up takes it: an edge that would leave at most
// 12 skin pixels of the face on the screen, or less than 6 before its far
// edge, moves to a sixth of the way into the screen.
WindowPosition RestoredPosition(WindowPosition stored, int32_t sizeFactor, const ScreenBounds& screen);

// Whether a save takes the window's top-left corner: not when half the
// reachable width or more lies beyond the screen's left edge, or half the
// reachable height beyond its top edge.
bool KeepsPosition(WindowPosition corner, int32_t sizeFactor, const ScreenBounds& screen);

// The corner a resized window moves to: edges beyond the screen's left or top
// come back onto it, so a larger face is never pushed further out of reach.
WindowPosition PulledOntoScreen(WindowPosition corner, const ScreenBounds& screen);
