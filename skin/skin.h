// The player's face: layout in skin pixels, the colour scheme derived from
// one base colour, and the fourteen static images every frame is built from.
// The Build/Layout/Derive functions here are platform-free; the AppState
// wrappers live in skin_state.h.
#pragma once
#include <cstdint>

#include "core/face_types.h"
#include "skin/raster.h"

constexpr int32_t kSkinWidth = 474;
constexpr int32_t kSkinFullHeight = 89;
constexpr int32_t kSkinHalfHeight = 56;

constexpr int kSkinImageCount = 14;

// Fills all ten rectangles for full height (halfHeight 0) or half height.
void ComputeSkinLayout(SkinLayout* layout, int32_t halfHeight);
// Derives every colour of the scheme from base 0x00RRGGBB.
void ComputeSkinColors(SkinColors* colors, uint32_t baseColor);
// Allocates and draws the fourteen images; returns 0 or the first failing
// allocation's RasterStatus (later images then keep their old contents).
uint32_t BuildSkinImages(SkinImages* images, const SkinLayout* layout, const SkinColors* colors);
// Releases every pixel buffer, last image first.
void ReleaseSkinImages(SkinImages* images);
