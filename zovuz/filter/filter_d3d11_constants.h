// Inside the library: the constants and tap quads of the Direct3D 11 filter passes, as plain
// functions of the pass's numbers, so that their layouts are checked without a device. Registers
// are four floats each, c0 first (zovuz/filter/filter_d3d11_shaders.h).
#pragma once

// Gauss: c0-c3 the sixteen weights, c4-c11 the sixteen taps as (x, y) pairs, two per register.
// Pass 0 steps across (offsets / texture width), pass 1 down (offsets / texture height). c12
// holds the taps inside the source rectangle (X1, Y1)-(X2, Y2): its edge texels' centres.
void FilterD3D11GaussConstants(int PassIndex, int TextureWidth, int TextureHeight, const float Weights[16], int X1,
                               int Y1, int X2, int Y2, float Out[52]);

// DownScale: the sample offsets of a ratio (2, 4, 8), two per register; the number of floats
// written (4, 8 or 32).
int FilterD3D11DownScaleConstants(int Ratio, int TextureWidth, int TextureHeight, float Out[32]);

// One vertex of the eight-coordinate tap quad: destination x, y, three floats (z, w and one the
// transfer does not read), eight (u, v) pairs.
struct FilterD3D11TapVertex
{
    float X, Y;
    float Unused[3];
    float UV[8][2];
};

// The tap quad of Bicubic (else Lanczos3) over the destination rectangle Dest (left, top, right,
// bottom), whose edges read the source at Src (left, top, right, bottom, in texels of a
// TextureWidth x TextureHeight texture): corners top-left, top-right, bottom-left, bottom-right.
void FilterD3D11TapQuad(int Bicubic, const int Dest[4], const float Src[4], int TextureWidth, int TextureHeight,
                        FilterD3D11TapVertex Out[4]);
