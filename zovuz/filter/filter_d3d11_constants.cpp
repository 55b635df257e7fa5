#include "zovuz/filter/filter_d3d11_constants.h"

#include <string.h>

void FilterD3D11GaussConstants(int PassIndex, int TextureWidth, int TextureHeight, const float Weights[16], int X1,
                               int Y1, int X2, int Y2, float Out[52])
{
    memcpy(Out, Weights, 16 * sizeof(float));
    // Tap 0 is the centre, tap i 2i - 0.5 texels away: linear filtering then reads texels 2i - 1
    // and 2i at once, each at half weight, as the processor kernel sums them.
    for (int i = 0; i < 16; ++i) {
        const float offset = i == 0 ? 0.0f : 2.0f * (float)i - 0.5f;
        Out[16 + 2 * i] = PassIndex == 0 ? offset / (float)TextureWidth : 0.0f;
        Out[16 + 2 * i + 1] = PassIndex == 0 ? 0.0f : offset / (float)TextureHeight;
    }
    Out[48] = ((float)X1 + 0.5f) / (float)TextureWidth;
    Out[49] = ((float)Y1 + 0.5f) / (float)TextureHeight;
    Out[50] = ((float)X2 - 0.5f) / (float)TextureWidth;
    Out[51] = ((float)Y2 - 0.5f) / (float)TextureHeight;
}

int FilterD3D11DownScaleConstants(int Ratio, int TextureWidth, int TextureHeight, float Out[32])
{
    static const float kSteps[4] = {-3.0f, -1.0f, 1.0f, 3.0f};
    int n = 0;
    auto put = [&](float X, float Y) {
        Out[n++] = X / (float)TextureWidth;
        Out[n++] = Y / (float)TextureHeight;
    };
    if (Ratio == 4) {
        put(-1.0f, -1.0f), put(1.0f, -1.0f), put(-1.0f, 1.0f), put(1.0f, 1.0f);
    } else if (Ratio == 8) {
        for (float y : kSteps)
            for (float x : kSteps) put(x, y);
    } else {
        put(0.0f, 0.0f);
        Out[n++] = 0.0f, Out[n++] = 0.0f;
    }
    return n;
}

void FilterD3D11TapQuad(int Bicubic, const int Dest[4], const float Src[4], int TextureWidth, int TextureHeight,
                        FilterD3D11TapVertex Out[4])
{
    const float tw = (float)TextureWidth, th = (float)TextureHeight;
    // Bicubic: pairs 0-3 column -1.5 texels, rows -1.5, -0.5, 0.5, 1.5; pairs 4-7 column -0.5.
    // Lanczos3: column -0.5, rows -2.5 to 2.5 (pairs 6 and 7 repeat the outer rows).
    static const float kBicubicRows[4] = {-1.5f, -0.5f, 0.5f, 1.5f};
    static const float kLanczosRows[8] = {-2.5f, -1.5f, -0.5f, 0.5f, 1.5f, 2.5f, -2.5f, 2.5f};
    for (int i = 0; i < 4; ++i) {
        const int right = i & 1, bottom = i >> 1;
        FilterD3D11TapVertex &v = Out[i];
        v.X = (float)Dest[right ? 2 : 0];
        v.Y = (float)Dest[bottom ? 3 : 1];
        v.Unused[0] = Bicubic ? 0.2f : 0.0f;
        v.Unused[1] = 1.0f;
        v.Unused[2] = 0.0f;
        // The corner's coordinate is the source rectangle's, not the whole texture's: a graph
        // smaller than its texture would otherwise be stretched together with the unused texels.
        const float u = Src[right ? 2 : 0] / tw, w = Src[bottom ? 3 : 1] / th;
        for (int k = 0; k < 8; ++k) {
            const float du = Bicubic ? (k < 4 ? -1.5f : -0.5f) : -0.5f;
            const float dv = Bicubic ? kBicubicRows[k & 3] : kLanczosRows[k];
            v.UV[k][0] = u + du / tw;
            v.UV[k][1] = w + dv / th;
        }
    }
}
