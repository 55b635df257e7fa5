// The filters' hardware dispatchers: one table lookup by the back end in use. Without a back end
// (the software renderer) or without its filter passes every dispatcher answers 0 and draws
// nothing; the pass framework's begin and pass set-up then take the software side. The graphs a
// pass samples beside its source (blend, gradient, chroma) reach the back end as one texture at
// their origin.
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

// A graph a pass samples beside its source, as the back end's shaders read it (one texture at its
// origin) for the time of one pass: a graph in pieces or a part of a larger graph is copied first.
struct SampledGraph
{
    int Handle;     // what the pass samples
    int Copy = -1;  // the copy made for it, deleted after the pass
    bool Failed = false;
    explicit SampledGraph(int Graph) : Handle(Graph)
    {
        if (BackendInUse() == nullptr || Graph < 0) return;
        Handle = FilterPass_SampledGraph(GraphicsAPIType, Graph);
        Failed = Handle < 0;
        if (Handle >= 0 && Handle != Graph) Copy = Handle;
    }
    ~SampledGraph()
    {
        if (Copy >= 0) FilterPassDevice.DeleteHandle(Copy);
    }
    SampledGraph(const SampledGraph &) = delete;
    SampledGraph &operator=(const SampledGraph &) = delete;
};

// A blend pass with its blend graph sampled as above.
template <typename Entry, typename... Args>
int DispatchBlend(Entry GraphFilterBackendFunctions::*Member, GraphFilterInfo *Info, Args... Arguments)
{
    SampledGraph blend(Info->BlendGraph);
    if (blend.Failed) return -1;
    const int kept = Info->BlendGraph;
    Info->BlendGraph = blend.Handle;
    const int result = Dispatch(Member, Info, Arguments...);
    Info->BlendGraph = kept;
    return result;
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
    return DispatchBlend(&GraphFilterBackendFunctions::GraphBlend_Basic, Info);
}

int Graphics_Hardware_GraphBlend_RGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma)
{
    return DispatchBlend(&GraphFilterBackendFunctions::GraphBlend_RGBAMix, Info, Red, Green, Blue, Alpha, Pma);
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
    const SampledGraph gradient(GradientGraph);
    if (gradient.Failed) return -1;
    return Dispatch(&GraphFilterBackendFunctions::Filter_GradientMap, Info, gradient.Handle, Reverse, Pma);
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
    const SampledGraph chroma(ChromaGraph);
    if (chroma.Failed) return -1;
    return Dispatch(&GraphFilterBackendFunctions::Filter_YUVToRGB, Info, chroma.Handle);
}
