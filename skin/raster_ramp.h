// The two builders behind BuildRampTable, exposed so tests can hold them
// side by side. Internal to the raster library.
#pragma once
#include <cstdint>

// One entry at a time: clamp(trunc(float(i) * slope + (offset + 0.5f)), 0, 255).
void BuildRampTableScalar(uint8_t* table, float slope, float offset);

// Four entries at a time with SSE4.1 integer minimum and maximum; the same
// table as the scalar builder for every slope and offset.
// Precondition: RampVectorSupported() is non-zero.
void BuildRampTableVector(uint8_t* table, float slope, float offset);

// Non-zero when this processor (and this build) can run the vector builder.
int32_t RampVectorSupported();
