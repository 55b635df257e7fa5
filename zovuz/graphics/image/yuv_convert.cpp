// Movie frames: the six YUV layouts of the movie renderer into 32-bit RGB or into a luma and
// an interleaved chroma buffer. Frames are tightly packed: a luma row is Width bytes.
//
// Colour: full-range BT.601 in 15-bit fixed point, one set of chroma products per chroma pair.
// A 4:2:2 or 4:2:0 frame of odd width leaves its last column unwritten, an NV11 frame its last
// Width % 4 columns, and a 4:2:0 frame of odd height its last row.
#include <string.h>

#include "zovuz/graphics/image/base_image_internal.h"

namespace {

struct ChromaTerms
{
    int32_t Blue, Green, Red;
};

inline ChromaTerms Chroma(int U, int V)
{
    int u = U - 128, v = V - 128;
    return {58064 * u, -11272 * u - 23396 * v, 45940 * v};
}

inline uint8_t Clamp15(int32_t x) { return x < 0 ? 0 : x > 0x7F8000 ? 255 : (uint8_t)(x >> 15); }

inline void PutPixel(uint8_t *d, int Y, const ChromaTerms &c)
{
    int32_t y = Y * 32768;
    d[0] = Clamp15(y + c.Blue);
    d[1] = Clamp15(y + c.Green);
    d[2] = Clamp15(y + c.Red);
    d[3] = 255;
}

bool DestFits(const void *Source, int Width, int Height, const BASEIMAGE *Dest)
{
    return Source != nullptr && Dest != nullptr && Dest->Pixels != nullptr && Dest->ColorData.PixelBytes == 4 &&
           Dest->Width >= Width && Dest->Height >= Height;
}

uint8_t *DestRow(const BASEIMAGE *Dest, int Y) { return (uint8_t *)Dest->Pixels + (ptrdiff_t)Y * Dest->Pitch; }

// 4:2:0 frames; Pair gives the (U, V) of block (bx, by).
template <typename ChromaAt>
int Convert420(const uint8_t *Src, int Width, int Height, BASEIMAGE *Dest, ChromaAt Pair)
{
    for (int by = 0; by < Height / 2; ++by) {
        const uint8_t *y0 = Src + (ptrdiff_t)(2 * by) * Width;
        const uint8_t *y1 = y0 + Width;
        uint8_t *d0 = DestRow(Dest, 2 * by);
        uint8_t *d1 = DestRow(Dest, 2 * by + 1);
        for (int bx = 0; bx < Width / 2; ++bx) {
            int u, v;
            Pair(bx, by, u, v);
            ChromaTerms c = Chroma(u, v);
            PutPixel(d0 + bx * 8, y0[2 * bx], c);
            PutPixel(d0 + bx * 8 + 4, y0[2 * bx + 1], c);
            PutPixel(d1 + bx * 8, y1[2 * bx], c);
            PutPixel(d1 + bx * 8 + 4, y1[2 * bx + 1], c);
        }
    }
    return 0;
}

// Packed 4:2:2 frames: byte offsets of Y0, U, Y1, V inside each 4-byte group.
int Convert422(const uint8_t *Src, int Width, int Height, BASEIMAGE *Dest, int Y0, int U, int Y1, int V)
{
    for (int y = 0; y < Height; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)y * Width * 2;
        uint8_t *d = DestRow(Dest, y);
        for (int p = 0; p < Width / 2; ++p, s += 4, d += 8) {
            ChromaTerms c = Chroma(s[U], s[V]);
            PutPixel(d, s[Y0], c);
            PutPixel(d + 4, s[Y1], c);
        }
    }
    return 0;
}

int Split422(const uint8_t *Src, int Width, int Height, uint8_t *Luma, uint8_t *Chroma, int Y0, int U, int Y1, int V)
{
    for (int y = 0; y < Height; ++y) {
        const uint8_t *s = Src + (ptrdiff_t)y * Width * 2;
        uint8_t *l = Luma + (ptrdiff_t)y * Width;
        uint8_t *c = Chroma + (ptrdiff_t)y * Width;
        for (int p = 0; p < Width / 2; ++p, s += 4) {
            l[2 * p] = s[Y0];
            l[2 * p + 1] = s[Y1];
            c[2 * p] = s[U];
            c[2 * p + 1] = s[V];
        }
    }
    return 0;
}

// The checks every converter makes: 0 for an empty frame, -1 for refused arguments, else the
// conversion's result.
template <typename F>
int RgbFrame(const void *Source, int Width, int Height, BASEIMAGE *Dest, F Convert)
{
    if (Width <= 0 || Height <= 0) return 0;
    if (!DestFits(Source, Width, Height, Dest)) return -1;
    return Convert((const uint8_t *)Source);
}

template <typename F>
int SplitFrame(const void *Source, int Width, int Height, void *Luma, void *Chroma, F Split)
{
    if (Width <= 0 || Height <= 0) return 0;
    if (Source == nullptr || Luma == nullptr || Chroma == nullptr) return -1;
    return Split((const uint8_t *)Source, (uint8_t *)Luma, (uint8_t *)Chroma);
}

}  // namespace

int ConvertYV12ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest)
{
    return RgbFrame(Source, Width, Height, Dest, [&](const uint8_t *src) {
        const uint8_t *vPlane = src + (ptrdiff_t)Width * Height;
        const uint8_t *uPlane = vPlane + (ptrdiff_t)(Width / 2) * (Height / 2);
        int chromaPitch = Width / 2;
        return Convert420(src, Width, Height, Dest, [&](int bx, int by, int &u, int &v) {
            u = uPlane[(ptrdiff_t)by * chromaPitch + bx];
            v = vPlane[(ptrdiff_t)by * chromaPitch + bx];
        });
    });
}

int ConvertNV12ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest)
{
    return RgbFrame(Source, Width, Height, Dest, [&](const uint8_t *src) {
        const uint8_t *uv = src + (ptrdiff_t)Width * Height;
        return Convert420(src, Width, Height, Dest, [&](int bx, int by, int &u, int &v) {
            u = uv[(ptrdiff_t)by * Width + 2 * bx];
            v = uv[(ptrdiff_t)by * Width + 2 * bx + 1];
        });
    });
}

int ConvertYUY2ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest)
{
    return RgbFrame(Source, Width, Height, Dest,
                    [&](const uint8_t *src) { return Convert422(src, Width, Height, Dest, 0, 1, 2, 3); });
}

int ConvertUYVYToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest)
{
    return RgbFrame(Source, Width, Height, Dest,
                    [&](const uint8_t *src) { return Convert422(src, Width, Height, Dest, 1, 0, 3, 2); });
}

int ConvertYVYUToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest)
{
    return RgbFrame(Source, Width, Height, Dest,
                    [&](const uint8_t *src) { return Convert422(src, Width, Height, Dest, 0, 3, 2, 1); });
}

int ConvertNV11ToXRGB32(const void *Source, int Width, int Height, BASEIMAGE *Dest)
{
    return RgbFrame(Source, Width, Height, Dest, [&](const uint8_t *src) {
        const uint8_t *uvPlane = src + (ptrdiff_t)Width * Height;
        for (int y = 0; y < Height; ++y) {
            const uint8_t *l = src + (ptrdiff_t)y * Width;
            const uint8_t *uv = uvPlane + (ptrdiff_t)y * (Width / 2);
            uint8_t *d = DestRow(Dest, y);
            for (int g = 0; g < Width / 4; ++g, l += 4, d += 16) {
                ChromaTerms c = Chroma(uv[2 * g], uv[2 * g + 1]);
                for (int i = 0; i < 4; ++i) PutPixel(d + 4 * i, l[i], c);
            }
        }
        return 0;
    });
}

int ConvertYV12ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma)
{
    return SplitFrame(Source, Width, Height, Luma, Chroma, [&](const uint8_t *src, uint8_t *luma, uint8_t *chroma) {
        memcpy(luma, src, (size_t)Width * Height);
        const uint8_t *vPlane = src + (ptrdiff_t)Width * Height;
        const uint8_t *uPlane = vPlane + (ptrdiff_t)(Width / 2) * (Height / 2);
        for (int r = 0; r < Height / 2; ++r) {
            uint8_t *c = chroma + (ptrdiff_t)r * Width;
            for (int i = 0; i < Width / 2; ++i) {
                c[2 * i] = uPlane[(ptrdiff_t)r * (Width / 2) + i];
                c[2 * i + 1] = vPlane[(ptrdiff_t)r * (Width / 2) + i];
            }
        }
        return 0;
    });
}

int ConvertNV12ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma)
{
    return SplitFrame(Source, Width, Height, Luma, Chroma, [&](const uint8_t *src, uint8_t *luma, uint8_t *chroma) {
        memcpy(luma, src, (size_t)Width * Height);
        memcpy(chroma, src + (ptrdiff_t)Width * Height, (size_t)Width * (Height / 2));
        return 0;
    });
}

int ConvertYUY2ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma)
{
    return SplitFrame(Source, Width, Height, Luma, Chroma, [&](const uint8_t *src, uint8_t *luma, uint8_t *chroma) {
        return Split422(src, Width, Height, luma, chroma, 0, 1, 2, 3);
    });
}

int ConvertUYVYToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma)
{
    return SplitFrame(Source, Width, Height, Luma, Chroma, [&](const uint8_t *src, uint8_t *luma, uint8_t *chroma) {
        return Split422(src, Width, Height, luma, chroma, 1, 0, 3, 2);
    });
}

int ConvertYVYUToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma)
{
    return SplitFrame(Source, Width, Height, Luma, Chroma, [&](const uint8_t *src, uint8_t *luma, uint8_t *chroma) {
        return Split422(src, Width, Height, luma, chroma, 0, 3, 2, 1);
    });
}

int ConvertNV11ToYUVImage(const void *Source, int Width, int Height, void *Luma, void *Chroma)
{
    return SplitFrame(Source, Width, Height, Luma, Chroma, [&](const uint8_t *src, uint8_t *luma, uint8_t *chroma) {
        memcpy(luma, src, (size_t)Width * Height);
        memcpy(chroma, src + (ptrdiff_t)Width * Height, (size_t)(Width / 2) * Height);
        return 0;
    });
}
