// The four-lane ramp-table builder. This file alone is compiled with SSE4.1
// enabled, so it includes nothing but the intrinsics: an inline function
// instantiated here could otherwise carry SSE4.1 code into callers that run
// on older processors.
#include "skin/raster_ramp.h"

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#include <smmintrin.h>

void BuildRampTableVector(uint8_t* table, float slope, float offset) {
    // (offset + 0.5f) is summed once in single precision, exactly as the
    // scalar builder does, so both round the same way.
    const __m128 scale = _mm_set1_ps(slope);
    const __m128 bias = _mm_set1_ps(offset + 0.5f);
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi32(255);
    const __m128i four = _mm_set1_epi32(4);
    __m128i index = _mm_setr_epi32(0, 1, 2, 3);
    for (int32_t i = 0; i < 256; i += 16) {
        __m128i lanes[4];
        for (int32_t q = 0; q < 4; q++) {
            __m128 x = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(index), scale), bias);
            // cvttps yields INT32_MIN for NaN and anything outside int32: the
            // maximum with 0 then gives the documented 0.
            __m128i v = _mm_cvttps_epi32(x);
            lanes[q] = _mm_min_epi32(_mm_max_epi32(v, zero), top);
            index = _mm_add_epi32(index, four);
        }
        __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(lanes[0], lanes[1]),
                                         _mm_packus_epi32(lanes[2], lanes[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(table + i), bytes);
    }
}

#else

void BuildRampTableVector(uint8_t* table, float slope, float offset) {
    BuildRampTableScalar(table, slope, offset);
}

#endif
