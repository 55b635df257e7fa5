// The general pixel conversion as it was before its plan and pixel table, for comparison.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/zovuz_graphics.h"

// ConvertColorDataBlt's arguments (without the palette remap) through the old general
// conversion alone: 0, or -1 for an empty rectangle or an unconvertible layout.
int ReferenceGeneralConversion(void *DestPixels, int DestPitch, const COLORDATA *DestColorData, const void *SrcPixels,
                               int SrcPitch, const COLORDATA *SrcColorData, const void *AlphaPixels, int AlphaPitch,
                               const COLORDATA *AlphaColorData, int DestX, int DestY, const ImageRect *SrcRect,
                               int Mirror, int ColorKeyAlphaTest, uint32_t ColorKey, int DitherMode, int AlphaOnly,
                               int RedIsAlpha, int SkipColorKey);
