// The format check of wave files, run before the device sees a track.
#pragma once

// False only when path is a RIFF/WAVE file whose format no device can play;
// a file that cannot be read, or is no wave file, is left to the device.
// Runs on the playback thread.
bool WavFileMayOpen(const wchar_t* path);
