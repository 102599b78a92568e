// Frame composition, the status line, fonts and the size factor. Everything
// here runs on the user-interface thread.
#pragma once
#include <windows.h>
#include "core/app_state.h"
#include "skin/skin.h"

// Composes a frame only when redraw is set; otherwise copies the last one.
LRESULT OnPaint(AppState* app, HWND window);
// Builds the frame at 1x in frameImage and magnifies it into app->dib.
// Clears redraw. Returns the RasterStatus of the magnification.
uint32_t ComposeFrame(AppState* app, HDC paintDc, HDC memoryDc);
// Magnifies r of image by factor (below 1: 1) into a 32-bit bottom-up DIB
// section, kept while its size holds. Returns 0, 5 (nothing to convert, also
// when r is not inside the image) or 7 (no section); stored in status.
uint32_t UpscaleToDib(DibTarget* target, HDC dc, const RasterImage* image, Rect r, int32_t factor);
// Writes what the status line shows for the current status kind (out holds
// kBufferUnits); an unknown kind leaves out as it was.
void StatusLineText(const AppState* app, wchar_t* out);
// Kind 0 with a text stores it trimmed to the display width; any other call
// is ShowStatusKind's. Sets redraw.
void SetStatus(AppState* app, const wchar_t* text, int32_t kind, int32_t ticks);
// Creates the status font of the type; 1 on success or when nothing changed.
int SetStatusFont(AppState* app, int32_t type);
// Creates a status font for a type 0..8 (other types: the default face).
HFONT CreateStatusFont(int32_t type);
// Writes format with its one %-conversion replaced by value (%x: lowercase
// hexadecimal, any other letter: decimal); at most 63 characters and a
// terminator, so out holds 64. Returns the characters written.
int FormatStatusNumber(wchar_t* out, const wchar_t* format, uint32_t value);
// Frames composed since the process started; lets the tests and the
// benchmark see that an idle window paints without composing.
uint32_t ComposedFrameCount();
