// The kernels' entry points, one per filter and blend: each converts its arguments once, then
// either hands them to its hardware dispatcher (programmable shaders in use; the pass then
// reports what the dispatcher says, so a shader that cannot be made fails the call) or runs its
// processor kernel over the pass's work images.
#include <math.h>
#include <string.h>

#include "zovuz/filter/filter_pass_internal.h"

namespace {

void ReleaseWorkImages(GraphFilterInfo *Info)
{
    ReleaseBaseImage(&Info->SrcImage);
    ReleaseBaseImage(&Info->BlendImage);
    ReleaseBaseImage(&Info->DestImage);
}

// The processor pass of a kernel that reads the pass rectangle and writes an image of its size:
// the work images (the destination new, or its present pixels), Kernel, the write-back.
template <typename Kernel>
int RunKernel(GraphFilterInfo *Info, int NewDestFlag, Kernel kernel)
{
    if (GraphFilter_LockImages(Info, NewDestFlag, -1, -1, nullptr) < 0) return -1;
    kernel(FilterPixelsOf(Info->SrcImage), FilterPixelsOf(Info->DestImage));
    return GraphFilter_WriteBackImage(Info);
}

// The Level filter's 256 x 1 gamma graph for the hardware pass: made when it does not exist, and
// rewritten when the gamma it holds differs. A gamma image that cannot be made leaves the graph
// as it was.
void UpdateLevelGammaGraph(float Gamma)
{
    GraphFilterShaderHandles &h = GraphFilterState.ShaderHandles;
    if (GetFilterGraph(h.LevelGammaGraph) == nullptr) {
        GraphCreateParam param;
        InitLoadGraphParam(&param, 32, 0, 0);
        h.LevelGammaGraph = MakeGraphWithCreateParam(&param, 256, 1, 0, 0, 0, 0, 0);
        if (h.LevelGammaGraph >= 0) SetHandleDeleteNotify(h.LevelGammaGraph, &h.LevelGammaGraph);
        h.LevelGammaHeld = -1.0e7f;
    }
    if (h.LevelGammaGraph < 0 || !(fabsf(h.LevelGammaHeld - Gamma) > 0.0001f)) return;
    BASEIMAGE image;
    if (CreateXRGB8ColorBaseImage(256, 1, &image) < 0) {
        ReleaseBaseImage(&image);
        return;
    }
    int table[256];
    BuildLevelGammaTable(Gamma, table);
    uint8_t *pixel = (uint8_t *)image.Pixels;
    for (int i = 0; i < 256; ++i) memset(pixel + i * 4, table[i], 4);
    BltBmpOrBaseImageToGraph(nullptr, nullptr, nullptr, 0, &image, nullptr, 0, 0, h.LevelGammaGraph);
    h.LevelGammaHeld = Gamma;
    ReleaseBaseImage(&image);
}

}  // namespace

// ---- Single-formula kernels ------------------------------------------------------------------------

int GraphFilter_Mono(GraphFilterInfo *Info, float Cb, float Cr)
{
    const float cb = MonoTint(Cb), cr = MonoTint(Cr);
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_Mono(Info, cb, cr);
    }
    return RunKernel(Info, 1, [&](const FilterPixels &s, const FilterPixels &d) { MonoKernel(s, d, cb, cr); });
}

int GraphFilter_Invert(GraphFilterInfo *Info, int Pma)
{
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_Invert(Info, Pma);
    }
    const FilterTables tables = GetFilterTables();
    return RunKernel(Info, 1, [&](const FilterPixels &s, const FilterPixels &d) { InvertKernel(s, d, Pma, tables); });
}

int GraphFilter_PremultipliedAlpha(GraphFilterInfo *Info)
{
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_PremultipliedAlpha(Info);
    }
    return RunKernel(Info, 1, PremultiplyAlphaKernel);
}

int GraphFilter_InterpolatedAlpha(GraphFilterInfo *Info)
{
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_InterpolatedAlpha(Info);
    }
    return RunKernel(Info, 1, InterpolateAlphaKernel);
}

// Bicubic and Lanczos3 exist only as shader passes: on the processor they draw nothing.
int GraphFilter_Bicubic(GraphFilterInfo *Info, int Width, int Height)
{
    if (FilterPassDevice.UsesShaders()) return Graphics_Hardware_Filter_Bicubic(Info, Width, Height);
    return 0;
}

int GraphFilter_Lanczos3(GraphFilterInfo *Info, int Width, int Height)
{
    if (FilterPassDevice.UsesShaders()) return Graphics_Hardware_Filter_Lanczos3(Info, Width, Height);
    return 0;
}

// ---- Threshold and gradient kernels ---------------------------------------------------------------

int GraphFilter_BrightClip(GraphFilterInfo *Info, int Compare, float Value, int FillFlag, const float *FillColor,
                           int Pma)
{
    if (Compare != FILTER_COMPARE_LESS && Compare != FILTER_COMPARE_GREATER) return -1;
    if (FillFlag && FillColor == nullptr) return -1;
    float value = Value / 255.0f;
    value = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_BrightClip(Info, Compare, value, FillFlag, FillColor, Pma);
    }
    const FilterTables tables = GetFilterTables();
    BrightClipSetup setup = {Compare, BrightClipThreshold(value), FillFlag, 0};
    if (FillFlag) setup.Fill = PackFilterColor(FillColor, Pma, tables);
    // Clipped pixels without a fill keep the destination's present pixels.
    return RunKernel(Info, 0,
                     [&](const FilterPixels &s, const FilterPixels &d) { BrightClipKernel(s, d, setup, Pma, tables); });
}

int GraphFilter_TwoColor(GraphFilterInfo *Info, float Threshold, const float *LowColor, const float *HighColor, int Pma)
{
    if (LowColor == nullptr || HighColor == nullptr) return -1;
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_TwoColor(Info, Threshold, LowColor, HighColor, Pma);
    }
    const FilterTables tables = GetFilterTables();
    const int threshold = TwoColorThreshold(Threshold);
    const uint32_t low = PackFilterColor(LowColor, Pma, tables), high = PackFilterColor(HighColor, Pma, tables);
    return RunKernel(Info, 1, [&](const FilterPixels &s, const FilterPixels &d) {
        TwoColorKernel(s, d, threshold, low, high, Pma, tables);
    });
}

int GraphFilter_GradientMap(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma)
{
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_GradientMap(Info, GradientGraph, Reverse, Pma);
    }
    const FilterTables tables = GetFilterTables();
    int width = 0, height = 0;
    BASEIMAGE gradient;
    if (GetGraphSize(GradientGraph, &width, &height) < 0 ||
        GraphFilter_GetGraphImage(GradientGraph, &gradient, nullptr) < 0)
        return -1;
    uint32_t table[256];
    BuildGradientTable(FilterPixelsOf(gradient), Reverse, Pma, tables, table);
    ReleaseBaseImage(&gradient);
    return RunKernel(
        Info, 1, [&](const FilterPixels &s, const FilterPixels &d) { GradientMapKernel(s, d, table, Pma, tables); });
}

// ---- Tone kernels -------------------------------------------------------------------------------------

int GraphFilter_BrightnessScale(GraphFilterInfo *Info, int Min, int Max, int Pma)
{
    int lo, hi;
    BrightnessScaleRange(Min, Max, &lo, &hi);
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_BrightnessScale(Info, lo, hi, Pma);
    }
    const FilterTables tables = GetFilterTables();
    return RunKernel(Info, 1, [&](const FilterPixels &s, const FilterPixels &d) {
        BrightnessScaleKernel(s, d, lo, hi, Pma, tables);
    });
}

int GraphFilter_Level(GraphFilterInfo *Info, float Min, float Max, float Gamma, float AfterMin, float AfterMax, int Pma)
{
    const LevelSetup setup = LevelSetupOf(Min, Max, Gamma, AfterMin, AfterMax);
    if (FilterPassDevice.UsesShaders()) {
        UpdateLevelGammaGraph(setup.Gamma);
        return Graphics_Hardware_Filter_Level(Info, setup.InMin, setup.InMax, setup.Gamma, setup.OutMin, setup.OutMax,
                                              Pma);
    }
    GraphFilterStateData &state = GraphFilterState;
    if (fabsf(state.LevelGammaTableHeld - setup.Gamma) > 0.0001f) {
        BuildLevelGammaTable(setup.Gamma, state.LevelGammaTable);
        state.LevelGammaTableHeld = setup.Gamma;
    }
    const FilterTables tables = GetFilterTables();
    return RunKernel(Info, 1, [&](const FilterPixels &s, const FilterPixels &d) {
        LevelKernel(s, d, setup, state.LevelGammaTable, Pma, tables);
    });
}

int GraphFilter_Hsb(GraphFilterInfo *Info, int Type, float Hue, float Saturation, float Bright, int Pma)
{
    const HsbSetup setup = HsbSetupOf(Type, Hue, Saturation, Bright);
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_Hsb(Info, Type, setup.Hue6, setup.Saturation, setup.Bright, Pma);
    }
    const FilterTables tables = GetFilterTables();
    return RunKernel(Info, 1,
                     [&](const FilterPixels &s, const FilterPixels &d) { HsbKernel(s, d, setup, Pma, tables); });
}

// ---- Gauss blur and down-scale ------------------------------------------------------------------------

int GraphFilter_Gauss(GraphFilterInfo *Info, int PixelWidth, float Strength)
{
    GraphFilterStateData &state = GraphFilterState;
    // The shader passes have 8-, 16- and 32-pixel variants and take any other width as 8; the
    // processor rounds a width up to the next of its kernels.
    const bool shaders = FilterPassDevice.UsesShaders() != 0;
    const int width = shaders ? (PixelWidth == 16 || PixelWidth == 32 ? PixelWidth : 8) : GaussKernelWidth(PixelWidth);
    if (state.GaussWidthHeld != width || fabsf(state.GaussStrengthHeld - Strength) > 0.0002f) {
        BuildGaussWeights(width, Strength, state.GaussWeights);
        state.GaussWidthHeld = width;
        state.GaussStrengthHeld = Strength;
    }
    if (shaders) return Graphics_Hardware_Filter_Gauss(Info, PixelWidth, Strength, state.GaussWeights);
    if (GraphFilter_LockImages(Info, 1, -1, -1, nullptr) < 0) return -1;
    const FilterPixels src = FilterPixelsOf(Info->SrcImage), dest = FilterPixelsOf(Info->DestImage);
    if (Strength < 1e-7f) {
        for (int y = 0; y < dest.Height; ++y) memcpy(dest.Row(y), src.Row(y), (size_t)dest.Width * 4);
        return GraphFilter_WriteBackImage(Info);
    }
    BASEIMAGE work;
    if (CreateARGB8ColorBaseImage(dest.Width, dest.Height, &work) < 0) {
        ReleaseBaseImage(&work);
        ReleaseWorkImages(Info);
        return -1;
    }
    GaussKernel(src, FilterPixelsOf(work), dest, width, state.GaussWeights);
    ReleaseBaseImage(&work);
    return GraphFilter_WriteBackImage(Info);
}

int GraphFilter_DownScale(GraphFilterInfo *Info, int DivideRatio)
{
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_DownScale(Info, DivideRatio);
    }
    const bool inPlace = Info->ClearSrcRect && Info->PassIndex == 0 && Info->SrcGraph == Info->DestGraph;
    const int width = (Info->SrcX2 - Info->SrcX1) / DivideRatio, height = (Info->SrcY2 - Info->SrcY1) / DivideRatio;
    if (width < 1 || height < 1) {
        // Nothing to reduce, yet an in-place call clears its rectangle as on the shader paths.
        if (inPlace) GraphFilter_ClearSourceRect(Info);
        return 0;
    }
    if (GraphFilter_LockImages(Info, 1, width, height, nullptr) < 0) return -1;
    DownScaleKernel(FilterPixelsOf(Info->SrcImage), FilterPixelsOf(Info->DestImage), DivideRatio);
    // In place, the source rectangle is cleared before the reduced picture lands on it (the
    // source pixels are already in the work image).
    if (inPlace) GraphFilter_ClearSourceRect(Info);
    return GraphFilter_WriteBackImage(Info);
}

// ---- YUV to RGB -------------------------------------------------------------------------------------------

int GraphFilter_YUVToRGB(GraphFilterInfo *Info, int ChromaGraph)
{
    const bool alphaHalf =
        Info->Type == DX_GRAPH_FILTER_YUV_TO_RGB_RRA || Info->Type == DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA;
    // The alpha lies in the right half: the rectangle must be the left half on every path. (The
    // caller's source, not a pass's copy of it, gives the size.)
    if (alphaHalf) {
        FilterTarget caller = FilterTarget();
        if (Info->SrcGraphData != nullptr)
            caller.Width = Info->SrcGraphData->Width, caller.Height = Info->SrcGraphData->Height;
        else if (GetFilterTarget(Info->SrcGraph, &caller) < 0)
            return -1;
        if (Info->SrcX1 != 0 || Info->SrcY1 != 0 || Info->SrcX2 != caller.Width / 2 || Info->SrcY2 != caller.Height)
            return -1;
    }
    if (FilterPassDevice.UsesShaders()) {
        return Graphics_Hardware_Filter_YUVToRGB(Info, ChromaGraph);
    }
    GraphHandleData *source = GetFilterGraph(Info->SrcGraph);
    if (source == nullptr) return -1;
    const int sourceWidth = source->Width, sourceHeight = source->Height;
    // The destination starts from its present pixels: columns and rows past the last whole
    // chroma block are not converted and keep them.
    int locked;
    if (alphaHalf) {
        const ImageRect whole = {0, 0, sourceWidth, sourceHeight};
        locked = GraphFilter_LockImages(Info, 0, sourceWidth / 2, sourceHeight, &whole);
    } else {
        locked = GraphFilter_LockImages(Info, 0, -1, -1, nullptr);
    }
    if (locked < 0) return -1;
    BASEIMAGE chroma;
    if (GraphFilter_GetGraphImage(ChromaGraph, &chroma, nullptr) < 0) {
        ReleaseWorkImages(Info);
        return -1;
    }
    YuvLayout layout;
    layout.BlockX = YuvChromaBlock(chroma.Width, sourceWidth);
    layout.BlockY = YuvChromaBlock(chroma.Height, sourceHeight);
    layout.AlphaFlag = alphaHalf ? 1 : 0;
    layout.LumaAlphaOffset = sourceWidth / 2;
    layout.ChromaAlphaOffset = chroma.Width / 2;
    layout.OriginX = Info->SrcX1, layout.OriginY = Info->SrcY1;
    if (layout.BlockX == 0 || layout.BlockY == 0) {
        ReleaseBaseImage(&chroma);
        ReleaseWorkImages(Info);
        return 0;
    }
    YuvToRgbKernel(FilterPixelsOf(Info->SrcImage), FilterPixelsOf(chroma), FilterPixelsOf(Info->DestImage), layout);
    ReleaseBaseImage(&chroma);
    return GraphFilter_WriteBackImage(Info);
}

// ---- Blends --------------------------------------------------------------------------------------------------
// Both start from the destination's present pixels: a pixel the basic blend has nothing to write
// for keeps what the destination holds. (The channel mix writes every byte.)

namespace {

// The shader path: the source's pixels copied around the covered part, and Covered the pass
// record of that part, its blend rectangle at (BlendX, BlendY). 1 when there is a part to blend,
// 0 when there is none, -1 when the source's pixels could not be copied. (A cut blend's pass draws
// into a work texture, FilterPass_Setup: the copies never write what the pass still reads.)
int CutBlendToItsGraph(const GraphFilterInfo *Info, GraphFilterInfo *Covered)
{
    *Covered = *Info;
    const FilterBlendCover c = FilterBlendCoverOf(Info);
    if (c.Whole()) return 1;
    // The bands around the covered part: above, below, then left and right of it.
    const int bands[4][4] = {{0, 0, c.Width, c.Top},
                             {0, c.Bottom, c.Width, c.Height},
                             {0, c.Top, c.Left, c.Bottom},
                             {c.Right, c.Top, c.Width, c.Bottom}};
    for (const int *b : bands)
        if (b[2] > b[0] && b[3] > b[1] &&
            FilterPassDevice.BltRect(Info->SrcGraph, Info->SrcX1 + b[0], Info->SrcY1 + b[1], Info->SrcX1 + b[2],
                                     Info->SrcY1 + b[3], Info->DestX + b[0], Info->DestY + b[1], Info->DestGraph) < 0)
            return -1;
    if (c.Empty()) return 0;
    int bx, by;
    FilterBlendOrigin(Info, &bx, &by);
    Covered->SrcX1 = Info->SrcX1 + c.Left, Covered->SrcY1 = Info->SrcY1 + c.Top;
    Covered->SrcX2 = Info->SrcX1 + c.Right, Covered->SrcY2 = Info->SrcY1 + c.Bottom;
    Covered->DestX = Info->DestX + c.Left, Covered->DestY = Info->DestY + c.Top;
    Covered->BlendX = bx + c.Left, Covered->BlendY = by + c.Top, Covered->BlendPosFlag = 1;
    return 1;
}

// The processor path, after the blend over the whole rectangle: the pixels the blend graph does
// not cover take the source's pixels. (The work images are read before anything is written, so a
// blend in place reads the source as it was.)
void KeepSourceBeyondBlend(const GraphFilterInfo *Info)
{
    const FilterBlendCover c = FilterBlendCoverOf(Info);
    if (c.Whole()) return;
    const FilterPixels s = FilterPixelsOf(Info->SrcImage), d = FilterPixelsOf(Info->DestImage);
    for (int y = 0; y < d.Height; ++y)
        for (int x = 0; x < d.Width; ++x)
            if (x < c.Left || x >= c.Right || y < c.Top || y >= c.Bottom) memcpy(d.Row(y) + x * 4, s.Row(y) + x * 4, 4);
}

}  // namespace

int GraphBlend_Basic(GraphFilterInfo *Info, int Pma)
{
    if (FilterPassDevice.UsesShaders()) {
        GraphFilterInfo covered;
        const int cut = CutBlendToItsGraph(Info, &covered);
        return cut <= 0 ? cut : Graphics_Hardware_GraphBlend_Basic(&covered);
    }
    const FilterTables tables = GetFilterTables();
    const int type = Info->Type >= DX_GRAPH_BLEND_PMA_BASE ? Info->Type - DX_GRAPH_BLEND_PMA_BASE : Info->Type;
    const int ratio256 = TruncateToInt(Info->BlendRatio * 256.0f);
    if (GraphFilter_LockImages(Info, 0, -1, -1, nullptr) < 0) return -1;
    BlendBasicKernel(FilterPixelsOf(Info->SrcImage), FilterPixelsOf(Info->BlendImage), FilterPixelsOf(Info->DestImage),
                     type, ratio256, Pma, tables);
    KeepSourceBeyondBlend(Info);
    return GraphFilter_WriteBackImage(Info);
}

int GraphBlend_RGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma)
{
    if (FilterPassDevice.UsesShaders()) {
        GraphFilterInfo covered;
        const int cut = CutBlendToItsGraph(Info, &covered);
        return cut <= 0 ? cut : Graphics_Hardware_GraphBlend_RGBAMix(&covered, Red, Green, Blue, Alpha, Pma);
    }
    const int selector[4] = {Red, Green, Blue, Alpha};
    if (GraphFilter_LockImages(Info, 0, -1, -1, nullptr) < 0) return -1;
    BlendRgbaMixKernel(FilterPixelsOf(Info->SrcImage), FilterPixelsOf(Info->BlendImage),
                       FilterPixelsOf(Info->DestImage), selector);
    KeepSourceBeyondBlend(Info);
    return GraphFilter_WriteBackImage(Info);
}
