// The filters' hardware dispatchers: one table lookup by the back end in use. Without a back end
// (the software renderer) or without its filter passes every dispatcher answers 0 and draws
// nothing; the pass framework's begin and pass set-up then take the software side.
#include "zovuz/filter/filter_pass_internal.h"

namespace {

const GraphFilterBackendFunctions *BackendInUse()
{
    const int type = GraphicsAPIType;
    return type == GRAPHICS_API_D3D9 || type == GRAPHICS_API_D3D11 ? GraphFilterState.Backend[type] : nullptr;
}

// The back end's entry, or 0 when it has none.
template <typename Entry, typename... Args>
int Dispatch(Entry GraphFilterBackendFunctions::*Member, Args... Arguments)
{
    const GraphFilterBackendFunctions *backend = BackendInUse();
    if (backend == nullptr || backend->*Member == nullptr) return 0;
    return (backend->*Member)(Arguments...);
}

}  // namespace

int RegisterGraphFilterBackend(int APIType, const GraphFilterBackendFunctions *Functions)
{
    if (APIType != GRAPHICS_API_D3D9 && APIType != GRAPHICS_API_D3D11) return -1;
    GraphFilterState.Backend[APIType] = Functions;
    return 0;
}

// ---- The pass framework ----------------------------------------------------------------------------

int Graphics_Hardware_Filter_Begin(GraphFilterInfo *Info, GraphFilterParams *Params)
{
    const GraphFilterBackendFunctions *backend = BackendInUse();
    if (backend != nullptr && backend->Filter_Begin != nullptr) return backend->Filter_Begin(Info, Params);
    // Gauss draws its two directions as two shader passes through a work texture. The processor
    // blurs both directions in one pass; a second pass would blur the picture twice.
    FilterPass_BeginCommon(Info);
    return 0;
}

int Graphics_Hardware_Filter_SetupPass(GraphFilterInfo *Info, int *SrcGraph, int *DestGraph)
{
    const GraphFilterBackendFunctions *backend = BackendInUse();
    if (backend != nullptr && backend->Filter_SetupPass != nullptr)
        return backend->Filter_SetupPass(Info, SrcGraph, DestGraph);
    *DestGraph = Info->DestGraph;
    return 0;
}

int Graphics_Hardware_Filter_End(void) { return Dispatch(&GraphFilterBackendFunctions::Filter_End); }

int Graphics_Hardware_Filter_Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Copy, Info, LastDestGraph, KernelResult);
}

// ---- One dispatcher per pass ----------------------------------------------------------------------

int Graphics_Hardware_GraphBlend_Basic(GraphFilterInfo *Info)
{
    return Dispatch(&GraphFilterBackendFunctions::GraphBlend_Basic, Info);
}

int Graphics_Hardware_GraphBlend_RGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::GraphBlend_RGBAMix, Info, Red, Green, Blue, Alpha, Pma);
}

int Graphics_Hardware_Filter_Bicubic(GraphFilterInfo *Info, int Width, int Height)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Bicubic, Info, Width, Height);
}

int Graphics_Hardware_Filter_BrightClip(GraphFilterInfo *Info, int Compare, float Value, int FillFlag,
                                        const float *FillColor, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_BrightClip, Info, Compare, Value, FillFlag, FillColor, Pma);
}

int Graphics_Hardware_Filter_BrightnessScale(GraphFilterInfo *Info, int Min, int Max, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_BrightnessScale, Info, Min, Max, Pma);
}

int Graphics_Hardware_Filter_DownScale(GraphFilterInfo *Info, int Ratio)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_DownScale, Info, Ratio);
}

int Graphics_Hardware_Filter_Gauss(GraphFilterInfo *Info, int Width, float Strength, const float *Weights)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Gauss, Info, Width, Strength, Weights);
}

int Graphics_Hardware_Filter_GradientMap(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_GradientMap, Info, GradientGraph, Reverse, Pma);
}

int Graphics_Hardware_Filter_Hsb(GraphFilterInfo *Info, int Type, float Hue6, float Saturation, float Bright, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Hsb, Info, Type, Hue6, Saturation, Bright, Pma);
}

int Graphics_Hardware_Filter_InterpolatedAlpha(GraphFilterInfo *Info)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_InterpolatedAlpha, Info);
}

int Graphics_Hardware_Filter_Invert(GraphFilterInfo *Info, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Invert, Info, Pma);
}

int Graphics_Hardware_Filter_Lanczos3(GraphFilterInfo *Info, int Width, int Height)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Lanczos3, Info, Width, Height);
}

int Graphics_Hardware_Filter_Level(GraphFilterInfo *Info, float Min, float Max, float Gamma, float AfterMin,
                                   float AfterMax, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Level, Info, Min, Max, Gamma, AfterMin, AfterMax, Pma);
}

int Graphics_Hardware_Filter_Mono(GraphFilterInfo *Info, float Cb, float Cr)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_Mono, Info, Cb, Cr);
}

int Graphics_Hardware_Filter_PremultipliedAlpha(GraphFilterInfo *Info)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_PremultipliedAlpha, Info);
}

int Graphics_Hardware_Filter_TwoColor(GraphFilterInfo *Info, float Threshold, const float *LowColor,
                                      const float *HighColor, int Pma)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_TwoColor, Info, Threshold, LowColor, HighColor, Pma);
}

int Graphics_Hardware_Filter_YUVToRGB(GraphFilterInfo *Info, int ChromaGraph)
{
    return Dispatch(&GraphFilterBackendFunctions::Filter_YUVToRGB, Info, ChromaGraph);
}
