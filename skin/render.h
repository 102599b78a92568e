// Frame composition, the status line, fonts and the size factor.
#pragma once
#include <windows.h>
#include "app/app_state.h"

LRESULT OnPaint(AppState* app, HWND window);
uint32_t ComposeFrame(AppState* app, HDC paintDc, HDC memoryDc);
uint32_t UpscaleToDib(DibTarget* target, HDC dc, const RasterImage* image, Rect r, int32_t factor);
void SetStatus(AppState* app, const wchar_t* text, int32_t kind, int32_t ticks);
// Creates the status font of the type; 1 on success or when nothing changed.
int SetStatusFont(AppState* app, int32_t type);
// Creates a status font for a type 0..8 (other types: the default face).
HFONT CreateStatusFont(int32_t type);
int FormatStatusNumber(wchar_t* out, const wchar_t* format, uint32_t value);
void ApplySizeFactor(AppState* app, int32_t factor);
