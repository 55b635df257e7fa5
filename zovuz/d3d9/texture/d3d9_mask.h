// The mask bytes in the Direct3D 9 mask image texture: each byte goes into the alpha of its texel,
// which the mask draw tests for 0. Plain code over a locked rectangle.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Where a texel of Format holds its alpha: bytes per texel and the alpha byte's offset. False for
// a format other than A8R8G8B8 (alpha in byte 3 of 4), A1R5G5B5 or A4R4G4B4 (byte 1 of 2).
bool D3D9MaskAlphaLayout(unsigned Format, int *PixelBytes, int *AlphaByte);

// Writes Width x Height mask bytes into the alpha bytes of locked texels; nothing for another
// format. A byte that is not 0 becomes 0xFF, so that the narrow alphas of the 16-bit formats keep
// it from 0.
void D3D9WriteMaskAlpha(unsigned Format, uint8_t *Texels, int TexelPitch, const uint8_t *Bytes, int BytePitch,
                        int Width, int Height);

// ---- The back end's mask operations (texture/windows/d3d9_mask_win.cpp) --------------------------

// Moves the image texture, the screen texture and its surface to the old slots.
int Graphics_D3D9_Mask_SaveOldScreen(void);
// Makes what is missing: the image texture (cleared, then the mask bytes written) and the screen
// texture with its surface, both at the powers of two above the size. 0 / -1 (logged).
int Graphics_D3D9_Mask_CreateScreen(int Width, int Height);
// After growing: the old bytes and picture into the new objects, which take the old ones' place
// as render targets; the old ones released. 0.
int Graphics_D3D9_Mask_CopyOldScreen(int OldWidth, int OldHeight);
// While a mask is in effect: the real target's rectangle into the mask screen (begin), and the
// mask screen's rectangle back into the real target where the mask byte is 0 (end). 0.
int Graphics_D3D9_Mask_DrawBegin(int X1, int Y1, int X2, int Y2);
int Graphics_D3D9_Mask_DrawEnd(int X1, int Y1, int X2, int Y2);
// Releases the three objects (twice is harmless). 0.
int Graphics_D3D9_Mask_ReleaseScreen(void);
// Render target 0: the mask screen while a mask is in effect, else the draw target's own surface.
// 0, or -1 without a device.
int Graphics_D3D9_Mask_SetUseScreen(void);
