// A byte reader straight over an open Win32 file: one ReadFile per read and
// one SetFilePointerEx per seek, the plain walk the windowed scan must equal.
#pragma once
#include <windows.h>

#include "playback/mp3_frame_walk.h"

// The reader keeps the handle; the caller opens and closes the file.
ByteReader FileByteReader(HANDLE file);
