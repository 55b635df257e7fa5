// Half-size reduction of 16- and 32-bit images: the mip levels of the Direct3D back ends.
#include "zovuz/graphics/image/base_image_internal.h"

int ShrinkImageHalf(const COLORDATA *Cd, void *DestPixels, int DestPitch, const void *SrcPixels, int SrcPitch,
                    int DestX, int DestY, int SrcX, int SrcY, int SrcWidth, int SrcHeight)
{
    if (Cd == nullptr || DestPixels == nullptr || SrcPixels == nullptr || SrcWidth < 0 || SrcHeight < 0) return -1;
    if ((SrcWidth != 1 && (SrcWidth & 1) != 0) || (SrcHeight != 1 && (SrcHeight & 1) != 0)) return -1;
    int bytes = Cd->PixelBytes;
    bool handled = (Cd->BitDepth == 16 && bytes == 2) || (Cd->BitDepth == 32 && bytes == 4);
    const uint8_t *src = (const uint8_t *)SrcPixels + (ptrdiff_t)SrcY * SrcPitch + (ptrdiff_t)SrcX * bytes;
    uint8_t *dest = (uint8_t *)DestPixels + (ptrdiff_t)DestY * DestPitch + (ptrdiff_t)DestX * bytes;

    if (SrcWidth == 1 && SrcHeight == 1) {
        if (handled) WritePixelValue(dest, bytes, ReadPixelValue(src, bytes));
        return 0;
    }
    if (SrcWidth == 0 || SrcHeight == 0) return 0;
    if (!handled) return -1;

    const uint32_t masks[4] = {Cd->RedMask, Cd->GreenMask, Cd->BlueMask, Cd->AlphaMask};
    const int locs[4] = {Cd->RedLoc, Cd->GreenLoc, Cd->BlueLoc, Cd->AlphaLoc};
    // A source one pixel high averages horizontal pairs, one pixel wide vertical pairs.
    int stepX = SrcWidth == 1 ? 0 : bytes;
    int stepY = SrcHeight == 1 ? 0 : SrcPitch;
    int shift = (SrcWidth == 1 || SrcHeight == 1) ? 1 : 2;
    int width = SrcWidth == 1 ? 1 : SrcWidth / 2;
    int height = SrcHeight == 1 ? 1 : SrcHeight / 2;
    for (int y = 0; y < height; ++y) {
        const uint8_t *s = src + (ptrdiff_t)y * 2 * SrcPitch;
        uint8_t *d = dest + (ptrdiff_t)y * DestPitch;
        for (int x = 0; x < width; ++x, s += 2 * bytes, d += bytes) {
            uint32_t p[4] = {ReadPixelValue(s, bytes), ReadPixelValue(s + stepX, bytes),
                             ReadPixelValue(s + stepY, bytes), ReadPixelValue(s + stepY + stepX, bytes)};
            int count = shift == 2 ? 4 : 2;
            if (shift == 1 && SrcWidth == 1) p[1] = p[2];  // vertical pair: the pixel below
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) {
                if (masks[c] == 0) continue;
                uint64_t sum = 0;
                for (int i = 0; i < count; ++i) sum += (p[i] & masks[c]) >> locs[c];
                out |= ((uint32_t)(sum >> shift) << locs[c]) & masks[c];
            }
            WritePixelValue(d, bytes, out);
        }
    }
    return 0;
}
