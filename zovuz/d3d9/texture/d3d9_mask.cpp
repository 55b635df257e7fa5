// The mask bytes in the mask image's texels.
#include "zovuz/d3d9/texture/d3d9_mask.h"

#include "zovuz/d3d9/d3d9_internal.h"

bool D3D9MaskAlphaLayout(unsigned Format, int *PixelBytes, int *AlphaByte)
{
    switch (Format) {
        case D3D9FMT_A8R8G8B8:
            *PixelBytes = 4, *AlphaByte = 3;
            return true;
        case D3D9FMT_A1R5G5B5:
        case D3D9FMT_A4R4G4B4:
            *PixelBytes = 2, *AlphaByte = 1;
            return true;
        default:
            return false;
    }
}

void D3D9WriteMaskAlpha(unsigned Format, uint8_t *Texels, int TexelPitch, const uint8_t *Bytes, int BytePitch,
                        int Width, int Height)
{
    int pixelBytes = 0, alphaByte = 0;
    if (!D3D9MaskAlphaLayout(Format, &pixelBytes, &alphaByte)) return;
    for (int y = 0; y < Height; ++y) {
        uint8_t *texel = Texels + (ptrdiff_t)y * TexelPitch + alphaByte;
        const uint8_t *byte = Bytes + (ptrdiff_t)y * BytePitch;
        for (int x = 0; x < Width; ++x, texel += pixelBytes) *texel = byte[x] != 0 ? 0xFF : 0x00;
    }
}
