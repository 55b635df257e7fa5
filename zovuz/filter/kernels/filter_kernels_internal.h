// Inside the library: the graph filters' processor kernels. Each is a pure function over 32-bit
// images (bytes blue, green, red, alpha per pixel, rows at their own pitch) and the shared
// multiply and divide tables: no handles, no locks, no allocation, so that they can be tested
// and measured without a window. The front end (zovuz/filter) fetches a pass's pixels into such
// images, runs one kernel and writes the result back.
//
// The set-up values that come from floats (thresholds, offsets, the gamma, Gauss and Hsb
// tables) are computed in single precision; the build's -msse2 -mfpmath=sse makes them the same
// on every run. Everything per pixel is integer arithmetic.
#pragma once

#include <stdint.h>

// One 32-bit image: Width x Height pixels, pixel (x, y) at Pixels + y * Pitch + x * 4.
struct FilterPixels
{
    uint8_t *Pixels;
    int Pitch;  // bytes from one row to the next
    int Width, Height;

    uint8_t *Row(int Y) const { return Pixels + (intptr_t)Y * Pitch; }
};

// Pixel(source pixel, destination pixel) for every pixel of Dest, row by row; Src is as large.
template <typename Pixel>
inline void ForEachPixel(const FilterPixels &Src, const FilterPixels &Dest, Pixel pixel)
{
    for (int y = 0; y < Dest.Height; ++y) {
        const uint8_t *s = Src.Row(y);
        uint8_t *d = Dest.Row(y);
        for (int x = 0; x < Dest.Width; ++x, s += 4, d += 4) pixel(s, d);
    }
}

// The shared tables: Mul[a][b] = a * b / 255 (truncated); Div[c][a] = min(c * 255 / a, 255),
// 0 for a = 0. Div takes a premultiplied channel c of alpha a to straight colour, Mul back.
struct FilterTables
{
    const uint8_t (*Mul)[256];
    const uint8_t (*Div)[256];
};

// Brightness of a pixel: 1224 R + 2404 G + 466 B, a weighted sum scaled by 4096 (the weights add
// up to 4094, so L >> 12 is 0-254).
inline int FilterLuma(int R, int G, int B) { return 1224 * R + 2404 * G + 466 * B; }

// A float 0.0-1.0 colour (red, green, blue, alpha) as a pixel: each trunc(value x 255) clamped to
// 0-255; with Pma the colour bytes are then premultiplied by the colour's own alpha.
uint32_t PackFilterColor(const float Color[4], int Pma, const FilterTables &Tables);

// trunc(Value), saturated to the int range (a float far outside it has no int of its own).
int TruncateToInt(float Value);

// ---- Single-formula kernels: every pixel of Src to the same place of Dest; alpha kept ---------

// Mono: the Cb' and Cr' tints, each -0.5..0.5 (MonoTint of the stored argument).
float MonoTint(float Stored);
void MonoKernel(const FilterPixels &Src, const FilterPixels &Dest, float CbTint, float CrTint);
// Invert: 255 - c, or with Pma the inverse of the straight colour, premultiplied again.
void InvertKernel(const FilterPixels &Src, const FilterPixels &Dest, int Pma, const FilterTables &Tables);
// c x a >> 8 (a shift, not a division by 255).
void PremultiplyAlphaKernel(const FilterPixels &Src, const FilterPixels &Dest);
// min(c x 255 / a, 255); 0 where a = 0.
void InterpolateAlphaKernel(const FilterPixels &Src, const FilterPixels &Dest);

// ---- Threshold and gradient kernels ----------------------------------------------------------

#define FILTER_COMPARE_LESS 2
#define FILTER_COMPARE_GREATER 5

// BrightClip: a pixel whose brightness lies below (FILTER_COMPARE_LESS) or above
// (FILTER_COMPARE_GREATER) Threshold (brightness x 4096) is clipped: it becomes FillPixel when
// FillFlag is set, else Dest keeps what it holds. Every other pixel is copied as stored.
struct BrightClipSetup
{
    int Compare;    // FILTER_COMPARE_*
    int Threshold;  // trunc(value' x 255 x 4096)
    int FillFlag;   // clipped pixels take FillPixel
    uint32_t Fill;  // the packed fill colour
};
int BrightClipThreshold(float ClampedValue);  // ClampedValue = value / 255 in 0.0-1.0
void BrightClipKernel(const FilterPixels &Src, const FilterPixels &Dest, const BrightClipSetup &Setup, int Pma,
                      const FilterTables &Tables);

// TwoColor: Low where the brightness is below Threshold, else High (alpha included).
int TwoColorThreshold(float Threshold);  // trunc(threshold x 4096), saturated
void TwoColorKernel(const FilterPixels &Src, const FilterPixels &Dest, int Threshold, uint32_t Low, uint32_t High,
                    int Pma, const FilterTables &Tables);

// GradientMap: the table from the top row of the gradient image, then each pixel becomes the
// entry of its brightness (L >> 12), all four bytes.
void BuildGradientTable(const FilterPixels &Gradient, int Reverse, int Pma, const FilterTables &Tables,
                        uint32_t Table[256]);
void GradientMapKernel(const FilterPixels &Src, const FilterPixels &Dest, const uint32_t Table[256], int Pma,
                       const FilterTables &Tables);

// ---- Tone kernels ------------------------------------------------------------------------------

// BrightnessScale: the lightness range Lo-Hi stretched to 0-255, hue and saturation kept.
// BrightnessScaleRange clamps the caller's min and max (lo 0-254, hi 1-255, never equal).
void BrightnessScaleRange(int Min, int Max, int *Lo, int *Hi);
void BrightnessScaleKernel(const FilterPixels &Src, const FilterPixels &Dest, int Lo, int Hi, int Pma,
                           const FilterTables &Tables);

// Level: the converted arguments (LevelSetupOf), the gamma curve as 256 integers, and the kernel.
struct LevelSetup
{
    float InMin, InMax;    // m0, m1: 0.0-1.0, m0 <= m1
    float Gamma;           // g, at least 0.001
    float OutMin, OutMax;  // o0, o1: 0.0-1.0, o0 <= o1
};
LevelSetup LevelSetupOf(float Min, float Max, float Gamma, float AfterMin, float AfterMax);
void BuildLevelGammaTable(float Gamma, int Table[256]);
void LevelKernel(const FilterPixels &Src, const FilterPixels &Dest, const LevelSetup &Setup, const int GammaTable[256],
                 int Pma, const FilterTables &Tables);

// Hsb: the converted arguments (HsbSetupOf; the hardware pass takes the floats) and the kernel,
// which takes their integer forms.
struct HsbSetup
{
    int Type;                        // 1 sets the hue, any other shifts it
    float Hue6;                      // h6: hue / 360 x 6
    float Saturation;                // s: -1.0..1.0
    float Bright;                    // b (the processor clamps it to -1.0..1.0)
    int HueI, SaturationI, BrightI;  // trunc(h6 x 256), trunc(s x 5 x 256) or trunc(s x 256), trunc(b x 256)
};
HsbSetup HsbSetupOf(int Type, float Hue, float Saturation, float Bright);
void HsbKernel(const FilterPixels &Src, const FilterPixels &Dest, const HsbSetup &Setup, int Pma,
               const FilterTables &Tables);

// ---- Gauss blur and down-scale (all four bytes alike, premultiplication ignored) --------------

#define GAUSS_WEIGHT_MAX 16

// The kernel width N (8, 16 or 32) of a caller's pixel width; N / 2 weights.
int GaussKernelWidth(int PixelWidth);
// The normalised weights of a width and strength (the curve's variance): w[0] the centre, w[k]
// distance k; N / 2 of them, the rest 0.
void BuildGaussWeights(int Width, float Strength, float Weights[GAUSS_WEIGHT_MAX]);
// The two-direction blur of Src into Dest (both the same size) through Work (the same size).
void GaussKernel(const FilterPixels &Src, const FilterPixels &Work, const FilterPixels &Dest, int Width,
                 const float Weights[GAUSS_WEIGHT_MAX]);

// DownScale: Dest (the output size) from the Ratio x Ratio blocks of Src, Ratio 2, 4 or 8.
void DownScaleKernel(const FilterPixels &Src, const FilterPixels &Dest, int Ratio);

// ---- YUV to RGB ---------------------------------------------------------------------------------

// Luma in the first byte of each Luma pixel, U and V in the first two of each Chroma pixel; each
// chroma pixel serves a BlockX x BlockY block (1, 2 or 4 each) of the graph. Luma and Dest start
// at (OriginX, OriginY) of the graph, Chroma at (0, 0): pixel (X, Y) of the graph takes chroma
// pixel (X / BlockX, Y / BlockY). Pixels past the last block that ends inside Dest are not
// converted and keep what Dest holds. With AlphaFlag the alpha is the red value of the luma pixel
// LumaAlphaOffset columns right with the V of the chroma pixel ChromaAlphaOffset columns right;
// else 255.
struct YuvLayout
{
    int BlockX, BlockY;
    int AlphaFlag;
    int LumaAlphaOffset, ChromaAlphaOffset;
    int OriginX, OriginY;  // the rectangle's corner in the graph
};
// The block of one side from the chroma's and the source's size: 1, 2 or 4, or 0 for none.
int YuvChromaBlock(int ChromaSize, int SourceSize);
void YuvToRgbKernel(const FilterPixels &Luma, const FilterPixels &Chroma, const FilterPixels &Dest,
                    const YuvLayout &Layout);

// ---- Blends: Src mixed with Blend (the same size) into Dest -----------------------------------

// Type 0-16 (not 1); Ratio256 = trunc(blend ratio x 256), 0-256. Types 14 and 15 leave a pixel
// whose source and weighted blend alphas are both 0 as Dest holds it.
void BlendBasicKernel(const FilterPixels &Src, const FilterPixels &Blend, const FilterPixels &Dest, int Type,
                      int Ratio256, int Pma, const FilterTables &Tables);
// Each output byte (red, green, blue, alpha) takes the byte its selector names: 0-3 the source's
// red, green, blue, alpha, 4-7 the blend's. Any other selector gives 0, as the shaders write it.
void BlendRgbaMixKernel(const FilterPixels &Src, const FilterPixels &Blend, const FilterPixels &Dest,
                        const int Selector[4]);
