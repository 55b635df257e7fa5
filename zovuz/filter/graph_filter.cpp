// The graph filters' front end: the three public entry points, the core that checks the handles,
// clips the rectangle, reads the filter's own arguments and runs the passes, and the table the
// library's start-up registers.
#include <math.h>
#include <string.h>

#include "zovuz/filter/filter_d3d9_internal.h"

namespace {

// The caches' values before their first use: no shader made, no table built.
GraphFilterStateData InitialFilterState()
{
    GraphFilterStateData state;
    memset(&state, 0, sizeof(state));
    memset(&state.ShaderHandles, 0xFF, sizeof(state.ShaderHandles));
    state.LevelGammaTableHeld = -1.0e7f;
    state.GaussStrengthHeld = -1.0e7f;
    state.Backend[GRAPHICS_API_D3D9] = GetD3D9FilterPasses();
    return state;
}

// The filters whose graphs hold colour premultiplied by alpha (18-24) and their plain forms.
int FilterPma(int Id) { return Id >= DX_GRAPH_FILTER_PMA_BRIGHT_CLIP ? 1 : 0; }
int PlainFilter(int Id)
{
    static const int kPlain[] = {DX_GRAPH_FILTER_BRIGHT_CLIP, DX_GRAPH_FILTER_BRIGHT_SCALE, DX_GRAPH_FILTER_HSB,
                                 DX_GRAPH_FILTER_INVERT,      DX_GRAPH_FILTER_LEVEL,        DX_GRAPH_FILTER_TWO_COLOR,
                                 DX_GRAPH_FILTER_GRADIENT_MAP};
    return FilterPma(Id) ? kPlain[Id - DX_GRAPH_FILTER_PMA_BRIGHT_CLIP] : Id;
}

// Bicubic and Lanczos3: the filters that draw their rectangle scaled to a size of their own.
bool Scales(int IsBlend, int Type)
{
    return !IsBlend && (Type == DX_GRAPH_FILTER_BICUBIC_SCALE || Type == DX_GRAPH_FILTER_LANCZOS3_SCALE);
}

// DownScale's ratio: 2, 4 or 8.
int ReduceDivideRatio(int Ratio) { return Ratio <= 2 ? 2 : Ratio <= 4 ? 4 : 8; }

int NextInt(va_list *Args) { return va_arg(*Args, int); }
float NextFloat(va_list *Args, float Scale, float Divisor) { return (float)NextInt(Args) * Scale / Divisor; }

// A colour value and its alpha as four floats red, green, blue, alpha, each / 255.
void NextColor(va_list *Args, float Color[4])
{
    const uint32_t value = (uint32_t)NextInt(Args);
    const int alpha = NextInt(Args);
    int red = 0, green = 0, blue = 0;
    SplitColor(value, &red, &green, &blue);
    Color[0] = (float)red / 255.0f;
    Color[1] = (float)green / 255.0f;
    Color[2] = (float)blue / 255.0f;
    Color[3] = (float)alpha / 255.0f;
}

// The chroma graph of the YUV filters 13 and 15 must be the source's size, or a half or a quarter
// of it, in each direction.
bool ChromaSizeFits(int ChromaGraph, int SourceWidth, int SourceHeight)
{
    int width = 0, height = 0;
    if (GetGraphSize(ChromaGraph, &width, &height) < 0) return false;
    return YuvChromaBlock(width, SourceWidth) != 0 && YuvChromaBlock(height, SourceHeight) != 0;
}

// The filter's arguments into the parameter block. -1 for a chroma graph of the wrong size.
int ReadFilterArguments(int Id, va_list *Args, const FilterTarget &Source, GraphFilterParams &p)
{
    switch (PlainFilter(Id)) {
        case DX_GRAPH_FILTER_MONO:
            p.MonoCb = NextFloat(Args, 100.0f, 255.0f);
            p.MonoCr = NextFloat(Args, 100.0f, 255.0f);
            break;
        case DX_GRAPH_FILTER_GAUSS:
            p.GaussPixelWidth = NextInt(Args);
            p.GaussStrength = NextFloat(Args, 1.0f, 100.0f);
            break;
        case DX_GRAPH_FILTER_BRIGHT_CLIP:
            p.BrightClipCompare = NextInt(Args);
            p.BrightClipValue = (float)NextInt(Args);
            p.BrightClipFillFlag = NextInt(Args);
            if (p.BrightClipFillFlag) NextColor(Args, p.BrightClipFillColor);
            break;
        case DX_GRAPH_FILTER_BRIGHT_SCALE:
            p.BrightnessScaleMin = NextInt(Args);
            p.BrightnessScaleMax = NextInt(Args);
            break;
        case DX_GRAPH_FILTER_HSB:
            p.HsbType = NextInt(Args);
            p.HsbHue = (float)NextInt(Args);
            p.HsbSaturation = NextFloat(Args, 100.0f, 255.0f);
            p.HsbBright = NextFloat(Args, 100.0f, 255.0f);
            break;
        case DX_GRAPH_FILTER_LEVEL:
            p.LevelMin = (float)NextInt(Args);
            p.LevelMax = (float)NextInt(Args);
            p.LevelGamma = NextFloat(Args, 1.0f, 100.0f);
            p.LevelAfterMin = (float)NextInt(Args);
            p.LevelAfterMax = (float)NextInt(Args);
            break;
        case DX_GRAPH_FILTER_TWO_COLOR:
            p.TwoColorThreshold = (float)NextInt(Args);
            NextColor(Args, p.TwoColorLow);
            NextColor(Args, p.TwoColorHigh);
            break;
        case DX_GRAPH_FILTER_GRADIENT_MAP:
            p.GradientGraph = NextInt(Args);
            p.GradientReverse = NextInt(Args);
            break;
        case DX_GRAPH_FILTER_YUV_TO_RGB:
        case DX_GRAPH_FILTER_YUV_TO_RGB_RRA:
            p.YUVChromaGraph = -1;
            break;
        case DX_GRAPH_FILTER_Y2UV1_TO_RGB:
        case DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA:
            p.YUVChromaGraph = NextInt(Args);
            if (!ChromaSizeFits(p.YUVChromaGraph, Source.Width, Source.Height)) return -1;
            break;
        case DX_GRAPH_FILTER_BICUBIC_SCALE:
        case DX_GRAPH_FILTER_LANCZOS3_SCALE:
            p.ScaleWidth = NextInt(Args);
            p.ScaleHeight = NextInt(Args);
            break;
        default:  // Invert, DownScale (read while clipping), PremultipliedAlpha, InterpolatedAlpha
            break;
    }
    return 0;
}

// One direction of a scaled picture: the caller's source span S1-S2 drawn onto D-(D + Size) of
// the destination. The source span is cut to the graph (the picture's part that would read it
// goes too, so the rest keeps its scale and place), then the picture to the destination: the
// pixels whose centres it covers. False when nothing is left.
struct ScaledSpan
{
    int Src1, Src2;  // the source span cut to the graph
    int Out1, Out2;  // the destination pixels drawn
    float At1, At2;  // the source coordinates at Out1 and Out2
};
bool ClipScaledSpan(int S1, int S2, int D, int Size, int SourceSize, int DestSize, ScaledSpan *Out)
{
    if (Size < 1) return false;
    const double scale = (double)Size / (double)(S2 - S1);
    const int c1 = S1 > 0 ? S1 : 0, c2 = S2 < SourceSize ? S2 : SourceSize;
    if (c2 <= c1) return false;
    const double q1 = ceil((double)D + (double)(c1 - S1) * scale - 0.5);
    const double q2 = ceil((double)D + (double)(c2 - S1) * scale - 0.5);
    const double o1 = q1 > 0.0 ? q1 : 0.0, o2 = q2 < (double)DestSize ? q2 : (double)DestSize;
    if (o2 <= o1) return false;
    Out->Src1 = c1, Out->Src2 = c2;
    Out->Out1 = (int)o1, Out->Out2 = (int)o2;
    Out->At1 = (float)((double)S1 + (o1 - (double)D) / scale);
    Out->At2 = (float)((double)S1 + (o2 - (double)D) / scale);
    return true;
}

// One pass of the filter or blend: its kernel with the arguments of the parameter block.
int RunPassKernel(GraphFilterInfo *Info, const GraphFilterParams &p)
{
    if (Info->IsBlend) {
        const int pma = Info->Type >= DX_GRAPH_BLEND_PMA_BASE ? 1 : 0;
        if (Info->Type == DX_GRAPH_BLEND_RGBA_SELECT_MIX ||
            Info->Type == DX_GRAPH_BLEND_PMA_BASE + DX_GRAPH_BLEND_RGBA_SELECT_MIX)
            return GraphBlend_RGBAMix(Info, p.RGBAMixSelector[0], p.RGBAMixSelector[1], p.RGBAMixSelector[2],
                                      p.RGBAMixSelector[3], pma);
        return GraphBlend_Basic(Info, pma);
    }
    const int pma = FilterPma(Info->Type);
    switch (PlainFilter(Info->Type)) {
        case DX_GRAPH_FILTER_MONO:
            return GraphFilter_Mono(Info, p.MonoCb, p.MonoCr);
        case DX_GRAPH_FILTER_GAUSS:
            return GraphFilter_Gauss(Info, p.GaussPixelWidth, p.GaussStrength);
        case DX_GRAPH_FILTER_DOWN_SCALE:
            return GraphFilter_DownScale(Info, Info->DivideRatio);
        case DX_GRAPH_FILTER_BRIGHT_CLIP:
            return GraphFilter_BrightClip(Info, p.BrightClipCompare, p.BrightClipValue, p.BrightClipFillFlag,
                                          p.BrightClipFillFlag ? p.BrightClipFillColor : nullptr, pma);
        case DX_GRAPH_FILTER_BRIGHT_SCALE:
            return GraphFilter_BrightnessScale(Info, p.BrightnessScaleMin, p.BrightnessScaleMax, pma);
        case DX_GRAPH_FILTER_HSB:
            return GraphFilter_Hsb(Info, p.HsbType, p.HsbHue, p.HsbSaturation, p.HsbBright, pma);
        case DX_GRAPH_FILTER_INVERT:
            return GraphFilter_Invert(Info, pma);
        case DX_GRAPH_FILTER_LEVEL:
            return GraphFilter_Level(Info, p.LevelMin, p.LevelMax, p.LevelGamma, p.LevelAfterMin, p.LevelAfterMax, pma);
        case DX_GRAPH_FILTER_TWO_COLOR:
            return GraphFilter_TwoColor(Info, p.TwoColorThreshold, p.TwoColorLow, p.TwoColorHigh, pma);
        case DX_GRAPH_FILTER_GRADIENT_MAP:
            return GraphFilter_GradientMap(Info, p.GradientGraph, p.GradientReverse, pma);
        case DX_GRAPH_FILTER_PREMUL_ALPHA:
            return GraphFilter_PremultipliedAlpha(Info);
        case DX_GRAPH_FILTER_INTERP_ALPHA:
            return GraphFilter_InterpolatedAlpha(Info);
        case DX_GRAPH_FILTER_BICUBIC_SCALE:
            return GraphFilter_Bicubic(Info, p.ScaleWidth, p.ScaleHeight);
        case DX_GRAPH_FILTER_LANCZOS3_SCALE:
            return GraphFilter_Lanczos3(Info, p.ScaleWidth, p.ScaleHeight);
        default:
            return GraphFilter_YUVToRGB(Info, p.YUVChromaGraph);  // 12-15
    }
}

}  // namespace

GraphFilterStateData GraphFilterState = InitialFilterState();

int FilterScales(const GraphFilterInfo *Info) { return Scales(Info->IsBlend, Info->Type); }

void FilterOutputSize(const GraphFilterInfo *Info, int *Width, int *Height)
{
    if (FilterScales(Info)) {
        *Width = Info->OutputWidth, *Height = Info->OutputHeight;
        return;
    }
    const int divisor = Info->DivideRatio > 1 ? Info->DivideRatio : 1;
    *Width = (Info->SrcX2 - Info->SrcX1) / divisor, *Height = (Info->SrcY2 - Info->SrcY1) / divisor;
}

void FilterBlendOrigin(const GraphFilterInfo *Info, int *X, int *Y)
{
    *X = Info->BlendPosFlag ? Info->BlendX : Info->SrcX1;
    *Y = Info->BlendPosFlag ? Info->BlendY : Info->SrcY1;
}

FilterBlendCover FilterBlendCoverOf(const GraphFilterInfo *Info)
{
    FilterBlendCover c;
    c.Width = Info->SrcX2 - Info->SrcX1, c.Height = Info->SrcY2 - Info->SrcY1;
    c.Left = c.Top = 0, c.Right = c.Width, c.Bottom = c.Height;
    const GraphHandleData *blend = Info->BlendGraphData;
    if (blend == nullptr) return c;
    int bx, by;
    FilterBlendOrigin(Info, &bx, &by);
    // Each edge within the rectangle: a blend graph wholly beside it leaves an empty part, and the
    // source's pixels never reach past the rectangle.
    auto within = [](int V, int Low, int High) { return V < Low ? Low : V > High ? High : V; };
    c.Left = within(-bx, 0, c.Width), c.Top = within(-by, 0, c.Height);
    c.Right = within(blend->Width - bx, c.Left, c.Width), c.Bottom = within(blend->Height - by, c.Top, c.Height);
    return c;
}

int GraphFilterBase(int IsBlend, int SrcGraph, int BlendGraph, int DestGraph, int BlendRatio, int Type, int SrcX1,
                    int SrcY1, int SrcX2, int SrcY2, int BlendX, int BlendY, int BlendPosFlag, int DestX, int DestY,
                    va_list Args)
{
    // Handles, rectangle and type.
    FilterTarget source, dest;
    if (GetFilterTarget(SrcGraph, &source) < 0 || GetFilterTarget(DestGraph, &dest) < 0) return -1;
    if (SrcX2 <= SrcX1 || SrcY2 <= SrcY1) return -1;
    GraphHandleData *blend = nullptr;
    if (IsBlend) {
        blend = GetFilterGraph(BlendGraph);
        if (blend == nullptr || (unsigned)Type >= DX_GRAPH_BLEND_NUM) return -1;
    } else if ((unsigned)Type >= DX_GRAPH_FILTER_NUM) {
        return -1;
    }
    const int ratio = BlendRatio < 0 ? 0 : BlendRatio > 255 ? 255 : BlendRatio;

    // Bicubic and Lanczos3 draw the rectangle scaled to the size asked: clipping crops that
    // picture instead of moving or shrinking the source rectangle, so the steps below find
    // nothing more to clip.
    const bool scales = Scales(IsBlend, Type);
    ScaledSpan across = {}, down = {};
    if (scales) {
        va_list size;
        va_copy(size, Args);
        const int scaleWidth = NextInt(&size), scaleHeight = NextInt(&size);
        va_end(size);
        if (!ClipScaledSpan(SrcX1, SrcX2, DestX, scaleWidth, source.Width, dest.Width, &across) ||
            !ClipScaledSpan(SrcY1, SrcY2, DestY, scaleHeight, source.Height, dest.Height, &down))
            return 0;
        SrcX1 = across.Src1, SrcX2 = across.Src2, DestX = across.Out1;
        SrcY1 = down.Src1, SrcY2 = down.Src2, DestY = down.Out1;
    }

    // Clipping: the blend position moves with the rectangle's origin.
    if (SrcX1 < 0) BlendX -= SrcX1, DestX -= SrcX1, SrcX1 = 0;
    if (SrcY1 < 0) BlendY -= SrcY1, DestY -= SrcY1, SrcY1 = 0;
    if (DestX < 0) SrcX1 -= DestX, BlendX -= DestX, DestX = 0;
    if (DestY < 0) SrcY1 -= DestY, BlendY -= DestY, DestY = 0;
    if (SrcX2 <= SrcX1 || SrcY2 <= SrcY1) return 0;
    if (SrcX2 > source.Width) SrcX2 = source.Width;
    if (SrcY2 > source.Height) SrcY2 = source.Height;
    if (SrcX1 >= source.Width || SrcY1 >= source.Height || SrcX2 < 1 || SrcY2 < 1 || DestX >= dest.Width ||
        DestY >= dest.Height)
        return 0;
    int width = SrcX2 - SrcX1, height = SrcY2 - SrcY1;
    if (width < 1 || height < 1) return 0;
    va_list args;
    va_copy(args, Args);
    const bool downScale = !IsBlend && Type == DX_GRAPH_FILTER_DOWN_SCALE;
    const int divideRatio = downScale ? ReduceDivideRatio(NextInt(&args)) : 1;
    // DownScale writes a picture smaller by the ratio: what must fit is that one.
    if (!scales && width / divideRatio + DestX > dest.Width)
        width = (dest.Width - DestX) * divideRatio, SrcX2 = SrcX1 + width;
    if (!scales && height / divideRatio + DestY > dest.Height)
        height = (dest.Height - DestY) * divideRatio, SrcY2 = SrcY1 + height;
    if (width < 1 || height < 1) {
        va_end(args);
        return 0;
    }

    // The record of the call and the type's arguments.
    GraphFilterInfo info;
    memset(&info, 0, sizeof(info));
    info.IsBlend = IsBlend ? 1 : 0;
    info.Type = Type;
    info.BlendGraph = IsBlend ? BlendGraph : -1;
    info.ClearSrcRect = downScale ? 1 : 0;
    info.BlendRatio = (float)ratio / 255.0f;
    info.SrcX1 = SrcX1, info.SrcY1 = SrcY1, info.SrcX2 = SrcX2, info.SrcY2 = SrcY2;
    info.DivideRatio = divideRatio;
    info.BlendX = BlendX, info.BlendY = BlendY, info.BlendPosFlag = BlendPosFlag;
    info.DestX = DestX, info.DestY = DestY;
    info.SrcGraphData = source.Graph;
    info.DestGraphData = dest.Graph;
    info.BlendGraphData = blend;
    if (scales) {
        info.OutputWidth = across.Out2 - across.Out1, info.OutputHeight = down.Out2 - down.Out1;
        info.ScaleSrc[0] = across.At1, info.ScaleSrc[1] = down.At1;
        info.ScaleSrc[2] = across.At2, info.ScaleSrc[3] = down.At2;
    }
    GraphFilterParams params;
    memset(&params, 0, sizeof(params));
    int read = 0;
    if (!IsBlend)
        read = ReadFilterArguments(Type, &args, source, params);
    else if (Type == DX_GRAPH_BLEND_RGBA_SELECT_MIX || Type == DX_GRAPH_BLEND_PMA_BASE + DX_GRAPH_BLEND_RGBA_SELECT_MIX)
        for (int &selector : params.RGBAMixSelector) selector = NextInt(&args);
    va_end(args);
    if (read < 0) return -1;
    // A blend in place whose graph covers none of the rectangle gives the source's pixels where
    // they already are: nothing changes.
    if (IsBlend && SrcGraph == DestGraph && SrcX1 == DestX && SrcY1 == DestY && FilterBlendCoverOf(&info).Empty())
        return 0;

    // The passes: each reads the previous pass's output.
    Graphics_Hardware_Filter_Begin(&info, &params);
    int current = SrcGraph, passDest = -1, kernelResult = -1;
    bool kernelFailed = false;
    for (info.PassIndex = 0; info.PassIndex < info.PassCount; ++info.PassIndex) {
        info.SrcGraph = SrcGraph;
        info.DestGraph = DestGraph;
        if (Graphics_Hardware_Filter_SetupPass(&info, &current, &passDest) < 0) break;
        FilterTarget check;
        if (GetFilterTarget(passDest, &check) < 0) break;
        info.SrcGraph = current;
        info.DestGraph = passDest;
        kernelResult = RunPassKernel(&info, params);
        if (kernelResult < 0) kernelFailed = true;
        // A shader pass draws into a work texture that is copied to the destination at the end:
        // the in-place DownScale clears its source rectangle now, so the reduced picture lands on
        // cleared pixels. (The processor pass clears it itself before it writes.)
        if (downScale && SrcGraph == DestGraph && info.PassIndex == 0 && FilterPassDevice.UsesShaders())
            GraphFilter_ClearSourceRect(&info);
        current = passDest;
    }
    const bool allPasses = info.PassIndex >= info.PassCount;
    Graphics_Hardware_Filter_End();
    info.DestGraph = DestGraph;
    info.SrcGraph = SrcGraph;
    const int copied = Graphics_Hardware_Filter_Copy(&info, passDest, kernelResult);
    return allPasses && !kernelFailed && copied >= 0 ? 0 : -1;
}

int GraphFilter(int GraphHandle, int FilterType, ...)
{
    int width = 0, height = 0;
    GetGraphSize(GraphHandle, &width, &height);
    va_list args;
    va_start(args, FilterType);
    int result =
        GraphFilterBase(0, GraphHandle, -1, GraphHandle, 0, FilterType, 0, 0, width, height, 0, 0, 0, 0, 0, args);
    va_end(args);
    return result;
}

int GraphFilterBlt(int SrcGraph, int DestGraph, int FilterType, ...)
{
    int width = 0, height = 0;
    GetGraphSize(SrcGraph, &width, &height);
    va_list args;
    va_start(args, FilterType);
    int result = GraphFilterBase(0, SrcGraph, -1, DestGraph, 0, FilterType, 0, 0, width, height, 0, 0, 0, 0, 0, args);
    va_end(args);
    return result;
}

int GraphFilterRectBlt(int SrcGraph, int DestGraph, int SrcX1, int SrcY1, int SrcX2, int SrcY2, int DestX, int DestY,
                       int FilterType, ...)
{
    va_list args;
    va_start(args, FilterType);
    int result = GraphFilterBase(0, SrcGraph, -1, DestGraph, 0, FilterType, SrcX1, SrcY1, SrcX2, SrcY2, 0, 0, 0, DestX,
                                 DestY, args);
    va_end(args);
    return result;
}

const GraphFilterFunctions *GetGraphFilterFunctionTable(void)
{
    static const GraphFilterFunctions table = {
        .GraphFilter = GraphFilter,
        .GraphFilterBlt = GraphFilterBlt,
        .GraphFilterRectBlt = GraphFilterRectBlt,
        .ResetShaderHandles = GraphFilter_ResetShaderHandles,
    };
    return &table;
}
