// The graph filters' passes on Direct3D 9: Begin and End around them, the common draw of one pass,
// and one function per filter and blend with its shader variant and constants.
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/filter/filter_d3d9_internal.h"

namespace {

// What Begin changes and End puts back: the front end's settings a pass must not draw with.
struct FilterSavedDrawState
{
    DrawZSettings Z;  // the 2-D depth test and write
    int BlendMode, BlendParam;
    int DrawMode;
    int AlphaTestMode, AlphaTestParam;
    int FogEnable;
    int NoLightingFlag;
    int Saved;  // Begin saved them and End has not restored them yet
};
FilterSavedDrawState SavedDrawState;

// ---- Device calls by default ---------------------------------------------------------------------

int DrawRowsDefault(const VERTEX2D *Vertex, int Num, int GraphHandle)
{
    return DrawPrimitive2DToShader(Vertex, Num, DX_PRIMTYPE_TRIANGLESTRIP, GraphHandle, 1);
}

const FilterD3D9DeviceCalls kDefaultD3D9Calls = {
    .BeginScene = Graphics_D3D9_Filter_BeginScene,
    .EndScene = Graphics_D3D9_Filter_EndScene,
    .SaveTargets = Graphics_D3D9_Filter_SaveTargets,
    .RestoreTargets = Graphics_D3D9_Filter_RestoreTargets,
    .SetPixelConstants = Graphics_D3D9_Filter_SetPixelConstants,
    .ReleasePixelConstants = Graphics_D3D9_Filter_ReleasePixelConstants,
    .DrawQuad = Graphics_D3D9_Filter_DrawQuad,
    .DrawRows = DrawRowsDefault,
};

// ---- The common frame of a pass ------------------------------------------------------------------

const int kD3D9 = GRAPHICS_API_D3D9;

struct Constants
{
    float Value[24][4];
    int Count;
    Constants() { memset(this, 0, sizeof(*this)); }
    void Set(int Register, float X, float Y, float Z, float W)
    {
        Value[Register][0] = X, Value[Register][1] = Y, Value[Register][2] = Z, Value[Register][3] = W;
        if (Register + 1 > Count) Count = Register + 1;
    }
    void All(int Register, float V) { Set(Register, V, V, V, V); }
};

// The luma weights several shaders read.
void Luma(Constants &C, int Register, float W = 0.0f) { C.Set(Register, 0.299f, 0.587f, 0.114f, W); }

// One pass: the draw mode (point sampling, or linear filtering as Begin set it), the shader, the
// constants, the draw, the constants released.
int RunPass(GraphFilterInfo *Info, int Shader, const Constants &C, bool Linear, int SecondGraph = -1, int Divisor = 1,
            const FilterTapVertex *Taps = nullptr)
{
    SetDrawMode(Linear ? 1 : 0);
    if (Shader < 0) return -1;
    if (C.Count > 0 && FilterD3D9Device.SetPixelConstants(&C.Value[0][0], C.Count) < 0) return -1;
    const int result = Graphics_D3D9_Filter_DrawPass(Info, Shader, SecondGraph, Divisor, Taps);
    if (C.Count > 0) FilterD3D9Device.ReleasePixelConstants(C.Count);
    return result;
}

int Shader(int Slot) { return FilterPass_ShaderInSlot(kD3D9, Slot); }

// The pass source's texture size (1 x 1 at least).
void SourceTextureSize(const GraphFilterInfo *Info, float *Width, float *Height)
{
    FilterPassTarget source;
    if (FilterPassDevice.DescribeTarget(kD3D9, Info->SrcGraph, &source) < 0)
        source.TextureWidth = source.TextureHeight = 1;
    *Width = (float)(source.TextureWidth > 0 ? source.TextureWidth : 1);
    *Height = (float)(source.TextureHeight > 0 ? source.TextureHeight : 1);
}

// ---- The passes ---------------------------------------------------------------------------------------

int Mono(GraphFilterInfo *Info, float Cb, float Cr)
{
    Constants c;
    Luma(c, 0);
    c.Set(1, Cr * 1.402f, Cb * 0.34414f - Cr * 0.71414f, Cb * 1.772f, 0.0f);
    return RunPass(Info, Shader(FILTER_SLOT_MONO), c, false);
}

int Gauss(GraphFilterInfo *Info, int Width, float, const float *Weights)
{
    float tw, th;
    SourceTextureSize(Info, &tw, &th);
    Constants c;
    // The first and last column centres of the rectangle, where the taps stop as the processor's do.
    c.Set(0, tw, th, ((float)Info->SrcX1 + 0.5f) / tw, ((float)Info->SrcX2 - 0.5f) / tw);
    for (int i = 0; i < 16; ++i) c.Value[1 + i / 4][i % 4] = Weights[i];
    const bool vertical = Info->PassIndex == 1;
    for (int i = 0; i < 16; ++i) {
        const float o = i == 0 ? 0.0f : 2.0f * (float)i - 0.5f;
        c.Set(5 + i, vertical ? 0.0f : o / tw, vertical ? o / th : 0.0f, 0.0f, 0.0f);
    }
    const int result = RunPass(Info, Shader(FilterGaussSlot(Width)), c, true);
    if (result < 0 || Info->PassIndex != 0) return result;

    // The rows below the rectangle repeat its last row and those above it its first, so that the
    // vertical pass reads defined texels on both sides. (The row's texel centre: at its edge
    // linear filtering would mix in the row beside it.)
    FilterPassTarget dest;
    if (FilterPassDevice.DescribeTarget(kD3D9, Info->DestGraph, &dest) < 0) return -1;
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    const float dw = (float)dest.TextureWidth, dh = (float)dest.TextureHeight;
    auto repeatRow = [&](int Row, int Top, int Bottom) {
        if (Top >= Bottom) return 0;
        VERTEX2D v[4];
        memset(v, 0, sizeof(v));
        for (int i = 0; i < 4; ++i) {
            const bool right = i & 1, bottom = i & 2;
            v[i].pos.x = (float)(Info->DestX + (right ? w : 0)) - 0.5f;
            v[i].pos.y = (float)(bottom ? Bottom : Top) - 0.5f;
            v[i].rhw = 1.0f;
            v[i].dif.r = v[i].dif.g = v[i].dif.b = v[i].dif.a = 255;
            v[i].u = (float)(Info->DestX + (right ? w : 0)) / dw;
            v[i].v = ((float)Row + 0.5f) / dh;
        }
        return FilterD3D9Device.DrawRows(v, 4, Info->DestGraph);
    };
    if (repeatRow(Info->DestY + h - 1, Info->DestY + h, dest.TextureHeight) < 0) return -1;
    return repeatRow(Info->DestY, 0, Info->DestY);
}

int DownScale(GraphFilterInfo *Info, int Ratio)
{
    GraphFilterInfo blocks;
    if (!FilterPass_DownScaleBlocks(Info, Ratio, &blocks)) return 0;
    float tw, th;
    SourceTextureSize(&blocks, &tw, &th);
    Constants c;
    if (Ratio == 2) {
        c.Set(0, 0.0f, 0.0f, 0.0f, 0.0f);
    } else {
        static const float kFour[] = {-1.0f, 1.0f}, kEight[] = {-3.0f, -1.0f, 1.0f, 3.0f};
        const int n = Ratio == 4 ? 2 : 4;
        const float *o = Ratio == 4 ? kFour : kEight;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) c.Set(y * n + x, o[x] / tw, o[y] / th, 0.0f, 0.0f);
    }
    return RunPass(&blocks, Shader(FilterDownScaleSlot(Ratio)), c, true, -1, Ratio);
}

int BrightClip(GraphFilterInfo *Info, int Compare, float Value, int FillFlag, const float *FillColor, int Pma)
{
    Constants c;
    c.All(0, Value);
    Luma(c, 1);
    if (FillColor != nullptr) c.Set(2, FillColor[0], FillColor[1], FillColor[2], FillColor[3]);
    return RunPass(Info, Shader(FilterBrightClipSlot(Compare, FillFlag, Pma)), c, false);
}

int BrightnessScale(GraphFilterInfo *Info, int Min, int Max, int Pma)
{
    // c0.z: the processor's whole scale, over 4096 (exact in a float).
    const int range = Max - Min != 0 ? Max - Min : 1;
    Constants c;
    c.Set(0, (float)Min / 255.0f, 255.0f / (float)range, (float)(255 * 4096 / range) / 4096.0f, 0.0f);
    return RunPass(Info, Shader(FILTER_SLOT_BRIGHT_SCALE + (Pma ? 1 : 0)), c, false);
}

int Hsb(GraphFilterInfo *Info, int Type, float Hue6, float Saturation, float Bright, int Pma)
{
    Constants c;
    c.Set(0, Hue6, Saturation > 0.0f ? Saturation * 5.0f : Saturation, Bright, 0.0f);
    c.All(1, 0.5f);
    c.All(2, 1.0f);
    return RunPass(Info, Shader(FilterHsbSlot(kD3D9, Type, Info->PassIndex, Pma)), c, false);
}

int Invert(GraphFilterInfo *Info, int Pma)
{
    return RunPass(Info, Shader(FILTER_SLOT_INVERT + (Pma ? 1 : 0)), Constants(), false);
}

int Level(GraphFilterInfo *Info, float Min, float Max, float, float AfterMin, float AfterMax, int Pma)
{
    Constants c;
    // An empty input range is a step: a very steep slope stands for the division by zero.
    const float range = Max - Min;
    c.Set(0, Min, range > 1.0f / 4096.0f ? 1.0f / range : 4096.0f, AfterMin, AfterMax);
    return RunPass(Info, Shader(FILTER_SLOT_LEVEL + (Pma ? 1 : 0)), c, true,
                   GraphFilterState.ShaderHandles.LevelGammaGraph);
}

int TwoColor(GraphFilterInfo *Info, float Threshold, const float *Low, const float *High, int Pma)
{
    Constants c;
    Luma(c, 0, Threshold / 255.0f);
    c.Set(1, Low[0], Low[1], Low[2], Low[3]);
    c.Set(2, High[0], High[1], High[2], High[3]);
    return RunPass(Info, Shader(FILTER_SLOT_TWO_COLOR + (Pma ? 1 : 0)), c, false);
}

int GradientMap(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma)
{
    // The table's columns are the gradient's own, which need not fill its texture.
    FilterPassTarget gradient;
    if (FilterPassDevice.DescribeTarget(kD3D9, GradientGraph, &gradient) < 0) return -1;
    Constants c;
    Luma(c, 0);
    c.Set(1, (float)gradient.Width, 1.0f / (float)(gradient.TextureWidth > 0 ? gradient.TextureWidth : 1),
          0.5f / (float)(gradient.TextureHeight > 0 ? gradient.TextureHeight : 1), 0.0f);
    return RunPass(Info, Shader(FilterGradientMapSlot(Reverse, Pma)), c, false, GradientGraph);
}

int PremultipliedAlpha(GraphFilterInfo *Info)
{
    return RunPass(Info, Shader(FILTER_SLOT_PREMUL_ALPHA), Constants(), false);
}

int InterpolatedAlpha(GraphFilterInfo *Info)
{
    return RunPass(Info, Shader(FILTER_SLOT_INTERP_ALPHA), Constants(), false);
}

int YUVToRGB(GraphFilterInfo *Info, int ChromaGraph)
{
    // The call's source size over the pass source's texture (a copy of the source lies in a
    // larger work texture).
    FilterPassTarget source;
    if (FilterPassDevice.DescribeTarget(kD3D9, Info->SrcGraph, &source) < 0) return -1;
    int sw, sh;
    FilterSourceSize(kD3D9, Info, &sw, &sh);
    const float a = (float)sw / (float)source.TextureWidth, b = (float)sh / (float)source.TextureHeight;
    const bool rra = Info->Type == DX_GRAPH_FILTER_YUV_TO_RGB_RRA || Info->Type == DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA;
    Constants c;
    if (ChromaGraph >= 0) {
        FilterPassTarget uv;
        if (FilterPassDevice.DescribeTarget(kD3D9, ChromaGraph, &uv) < 0) return -1;
        const float su = (float)uv.Width / (float)uv.TextureWidth, sv = (float)uv.Height / (float)uv.TextureHeight;
        c.Set(0, su / a, sv / b, a * 0.5f, su * 0.5f);
    } else if (rra) {
        c.Set(0, 0.0f, 0.0f, a * 0.5f, 0.0f);
    }
    return RunPass(Info, Shader(FilterYuvSlot(Info->Type, ChromaGraph >= 0)), c, false, ChromaGraph);
}

// The tap quad over the scaled picture's part inside the destination (the front end clipped it).
// Each corner reads the source coordinate at that edge (over the source rectangle: the whole
// texture would take in the padding of a graph smaller than its texture), and its eight pairs lie
// at fixed texel offsets from it.
int Resample(GraphFilterInfo *Info, bool Bicubic)
{
    float tw, th;
    SourceTextureSize(Info, &tw, &th);
    Constants c;
    c.Set(0, tw, th, 0.0f, 0.0f);
    c.Set(1, (Bicubic ? 2.0f : 1.0f) / tw, 0.0f, 0.0f, 0.0f);
    FilterTapVertex v[4];
    memset(v, 0, sizeof(v));
    for (int i = 0; i < 4; ++i) {
        const bool right = i & 1, bottom = i & 2;
        v[i].x = (float)(Info->DestX + (right ? Info->OutputWidth : 0)) - 0.5f;
        v[i].y = (float)(Info->DestY + (bottom ? Info->OutputHeight : 0)) - 0.5f;
        v[i].rhw = 1.0f;
        v[i].Diffuse = 0xFFFFFFFFu;
        const float u0 = Info->ScaleSrc[right ? 2 : 0] / tw, v0 = Info->ScaleSrc[bottom ? 3 : 1] / th;
        for (int k = 0; k < 8; ++k) {
            float du, dv;
            if (Bicubic) {
                du = k < 4 ? -1.5f : -0.5f;
                dv = (float)(k % 4) - 1.5f;
            } else {
                du = -0.5f;
                dv = k < 6 ? (float)k - 2.5f : -0.5f;
            }
            v[i].uv[k][0] = u0 + du / tw;
            v[i].uv[k][1] = v0 + dv / th;
        }
    }
    return RunPass(Info, Shader(Bicubic ? FILTER_SLOT_BICUBIC : FILTER_SLOT_LANCZOS3), c, false, -1, 1, v);
}

int Bicubic(GraphFilterInfo *Info, int, int) { return Resample(Info, true); }
int Lanczos3(GraphFilterInfo *Info, int, int) { return Resample(Info, false); }

int BlendBasic(GraphFilterInfo *Info)
{
    const int number = FilterBlendShaderNumber(Info->Type);
    if (number < 0) return -1;
    Constants c;
    c.All(0, Info->BlendRatio);
    c.All(1, 1.0f);
    return RunPass(Info, Shader(FILTER_SLOT_BLEND + number), c, true);
}

int BlendRGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma)
{
    SetDrawMode(0);
    FilterChannelMixChoice choice;
    ChooseFilterChannelMix(Red, Green, Blue, Alpha, Pma, &choice);
    int shader;
    if (choice.Ready)
        shader = FilterPass_ReadyShaderInSlot(kD3D9, choice.Slot, choice.ReadyIndex);
    else if (choice.Slot >= FILTER_SLOT_MIX_BASE)
        shader = FilterPass_ShaderInSlot(kD3D9, choice.Slot);
    else
        shader = FilterPass_NamedShaderInSlot(kD3D9, choice.Slot, choice.Name,
                                              L"RGBAMixS フィルター用シェーダーの作成に失敗しました %s");
    if (shader < 0) return -1;
    if (choice.Swap) FilterPass_SwapBlend(Info);
    Constants c;
    c.All(0, Info->BlendRatio);
    c.Set(1, (float)choice.Selector[0] + 0.5f, (float)choice.Selector[1] + 0.5f, (float)choice.Selector[2] + 0.5f,
          (float)choice.Selector[3] + 0.5f);
    const int result = RunPass(Info, shader, c, false);
    if (choice.Swap) FilterPass_SwapBlend(Info);
    return result;
}

// ---- Set-up and copy ----------------------------------------------------------------------------------

void SaveDrawState();

// Draw under the passes' draw state, which writes pixels as they are: a copy drawn by quads after
// End (the final copy) sets it again around itself and puts the caller's back.
template <typename Draw>
int UnderPassDrawState(const Draw &D)
{
    const bool outsidePasses = !SavedDrawState.Saved;
    if (outsidePasses) {
        FilterD3D9Device.BeginScene();
        SaveDrawState();
    }
    const int result = D();
    if (outsidePasses) Graphics_D3D9_Filter_RestoreDrawState();
    return result;
}

int SetupPass(GraphFilterInfo *Info, int *SrcGraph, int *DestGraph)
{
    return FilterPass_Setup(kD3D9, Info, SrcGraph, DestGraph);
}

int Copy(GraphFilterInfo *Info, int LastDestGraph, int KernelResult)
{
    if (!FilterPassDevice.UsesShaders()) return 0;
    // Into a graph in pieces or a part of a larger graph the copy draws a quad per piece.
    FilterPassTarget dest;
    const bool byPieces = FilterPassDevice.DescribeTarget(kD3D9, Info->DestGraph, &dest) == 0 && dest.DrawValid &&
                          !dest.OneTextureAtOrigin;
    auto copy = [&] { return FilterPass_Copy(Info, LastDestGraph, KernelResult); };
    return byPieces ? UnderPassDrawState(copy) : copy();
}

int FindShaderCode(const char *FileName, const void **Code, int *Size)
{
    return Graphics_D3D9_Filter_FindShaderCode(FileName, Code, Size);
}

int ChannelMixCode(int Index, const void **Code, int *Size)
{
    return Graphics_D3D9_Filter_ChannelMixCode(Index, Code, Size);
}

const GraphFilterBackendFunctions kD3D9Passes = {
    .GraphBlend_Basic = BlendBasic,
    .GraphBlend_RGBAMix = BlendRGBAMix,
    .Filter_Bicubic = Bicubic,
    .Filter_BrightClip = BrightClip,
    .Filter_BrightnessScale = BrightnessScale,
    .Filter_SetupPass = SetupPass,
    .Filter_Copy = Copy,
    .Filter_DownScale = DownScale,
    .Filter_Gauss = Gauss,
    .Filter_GradientMap = GradientMap,
    .Filter_Hsb = Hsb,
    .Filter_InterpolatedAlpha = InterpolatedAlpha,
    .Filter_Invert = Invert,
    .Filter_Lanczos3 = Lanczos3,
    .Filter_Level = Level,
    .Filter_Mono = Mono,
    .Filter_PremultipliedAlpha = PremultipliedAlpha,
    .Filter_Begin = Graphics_D3D9_Filter_Begin,
    .Filter_End = Graphics_D3D9_Filter_End,
    .Filter_TwoColor = TwoColor,
    .Filter_YUVToRGB = YUVToRGB,
    .FindShaderCode = FindShaderCode,
    .ChannelMixCode = ChannelMixCode,
};

// ---- Begin and End ------------------------------------------------------------------------------------

void SaveDrawState()
{
    FilterD3D9Device.SaveTargets();
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    FilterSavedDrawState &s = SavedDrawState;
    s.Z = d.Z2D;
    s.BlendMode = d.BlendMode, s.BlendParam = d.BlendParam;
    s.DrawMode = d.DrawMode;
    s.AlphaTestMode = d.AlphaTestMode, s.AlphaTestParam = d.AlphaTestParam;
    s.FogEnable = d.FogEnable;
    s.NoLightingFlag = d.NoLightingFlag;
    s.Saved = 1;
    // A pass writes its pixels as they are: no depth, no blending (mode 14 copies colour and
    // alpha), every pixel passing the alpha test, no fog, no lighting, linear filtering.
    Graphics_Hardware_RenderVertexBuffer(0);
    d.Z2D.TestFlag = 0, d.Z2D.WriteFlag = 0;
    GraphicsState.DrawStateChangedFlag = 1;
    SetDrawBlendMode(14, 255);
    SetDrawMode(1);
    SetDrawAlphaTest(8, 0);
    SetFogEnable(0);
    SetUseLighting(0);
}

}  // namespace

FilterD3D9DeviceCalls FilterD3D9Device = kDefaultD3D9Calls;

void ResetFilterD3D9DeviceCalls(void) { FilterD3D9Device = kDefaultD3D9Calls; }

const GraphFilterBackendFunctions *GetD3D9FilterPasses(void) { return &kD3D9Passes; }

int Graphics_D3D9_Filter_Begin(GraphFilterInfo *Info, GraphFilterParams *Params)
{
    Info->PassCount = -1;
    if (Info->IsBlend) {
        Info->PassCount = 1;
        Info->UseWorkTexture = 0;
    } else {
        if (Info->Type == DX_GRAPH_FILTER_HSB || Info->Type == DX_GRAPH_FILTER_PMA_HSB) {
            if (Params->HsbType == 1) Info->PassCount = 1;
        }
        // HSB's two passes (to hue, saturation and lightness and back) hold for its premultiplied
        // form too: a single pass would leave the picture in hue, saturation and lightness.
        const int plain = Info->Type;
        const bool twoPasses =
            plain == DX_GRAPH_FILTER_GAUSS || plain == DX_GRAPH_FILTER_HSB || plain == DX_GRAPH_FILTER_PMA_HSB;
        if (Info->PassCount < 0) Info->PassCount = twoPasses ? 2 : 1;
        Info->UseWorkTexture = plain == DX_GRAPH_FILTER_GAUSS ? 1 : 0;
    }
    // Every pass of Direct3D 9 may go through a work texture.
    Info->UseWorkTexture = 1;
    if (!FilterPassDevice.UsesShaders())
        Info->PassCount = 1;
    else
        FilterPass_ResolveDrawTargetRead(kD3D9, Info, Params);
    FilterD3D9Device.BeginScene();
    SaveDrawState();
    return 0;
}

int Graphics_D3D9_Filter_RestoreDrawState(void)
{
    FilterSavedDrawState &s = SavedDrawState;
    if (!s.Saved) return 0;
    FilterD3D9Device.RestoreTargets();
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Graphics_Hardware_RenderVertexBuffer(0);
    SetUseLighting(s.NoLightingFlag ? 0 : 1);
    SetFogEnable(s.FogEnable);
    SetDrawAlphaTest(s.AlphaTestMode, s.AlphaTestParam);
    SetDrawMode(s.DrawMode);
    SetDrawBlendMode(s.BlendMode, s.BlendParam);
    d.Z2D = s.Z;
    GraphicsState.DrawStateChangedFlag = 1;
    s.Saved = 0;
    return 0;
}

int Graphics_D3D9_Filter_End(void) { return Graphics_D3D9_Filter_RestoreDrawState(); }

int Graphics_D3D9_Filter_CopyShadowMapRect(int SrcGraph, int X1, int Y1, int X2, int Y2, int DestX, int DestY,
                                           int DestGraph)
{
    // The ready channel mix that takes each channel from its own is a plain copy of the source.
    FilterChannelMixChoice copy;
    ChooseFilterChannelMix(0, 1, 2, 3, 0, &copy);
    const int shader = FilterPass_ReadyShaderInSlot(kD3D9, copy.Slot, copy.ReadyIndex);
    if (shader < 0) return -1;
    GraphFilterInfo info;
    memset(&info, 0, sizeof(info));
    info.SrcGraph = SrcGraph, info.BlendGraph = -1, info.DestGraph = DestGraph;
    info.SrcX1 = X1, info.SrcY1 = Y1, info.SrcX2 = X2, info.SrcY2 = Y2;
    info.DestX = DestX, info.DestY = DestY;
    return UnderPassDrawState([&] { return RunPass(&info, shader, Constants(), false); });
}

int Graphics_D3D9_Filter_DrawPass(GraphFilterInfo *Info, int PixelShader, int SecondGraph, int Divisor,
                                  const FilterTapVertex *Taps)
{
    FilterPassTarget src, dest;
    if (FilterPassDevice.DescribeTarget(kD3D9, Info->SrcGraph, &src) < 0 ||
        FilterPassDevice.DescribeTarget(kD3D9, Info->DestGraph, &dest) < 0)
        return -1;
    FilterD3D9Draw draw;
    draw.PixelShader = PixelShader;
    draw.SrcGraph = Info->SrcGraph;
    draw.SecondGraph = SecondGraph;
    draw.DestGraph = Info->DestGraph;
    if (Taps != nullptr) {
        draw.VertexFormat = FILTER_TAP_FVF, draw.VertexSize = sizeof(FilterTapVertex), draw.Vertices = Taps;
        return FilterD3D9Device.DrawQuad(&draw);
    }
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    const int dw = Divisor != 1 && Divisor > 0 ? w / Divisor : w, dh = Divisor != 1 && Divisor > 0 ? h / Divisor : h;
    const float sw = (float)(src.TextureWidth > 0 ? src.TextureWidth : 1);
    const float sh = (float)(src.TextureHeight > 0 ? src.TextureHeight : 1);
    float bu1 = 0.0f, bv1 = 0.0f, bu2 = 0.0f, bv2 = 0.0f;
    if (Info->IsBlend) {
        FilterPassTarget blend;
        if (FilterPassDevice.DescribeTarget(kD3D9, Info->BlendGraph, &blend) < 0) return -1;
        draw.SecondGraph = Info->BlendGraph;
        const float tw = (float)(blend.TextureWidth > 0 ? blend.TextureWidth : 1);
        const float th = (float)(blend.TextureHeight > 0 ? blend.TextureHeight : 1);
        int bx, by;
        FilterBlendOrigin(Info, &bx, &by);
        bu1 = (float)bx / tw, bv1 = (float)by / th;
        bu2 = (float)(bx + w) / tw, bv2 = (float)(by + h) / th;
    }
    FilterPassVertex v[4];
    for (int i = 0; i < 4; ++i) {
        const bool right = i & 1, bottom = i & 2;
        v[i].x = (float)(Info->DestX + (right ? dw : 0)) - 0.5f;
        v[i].y = (float)(Info->DestY + (bottom ? dh : 0)) - 0.5f;
        v[i].z = 0.0f, v[i].rhw = 1.0f;
        v[i].Diffuse = 0xFFFFFFFFu, v[i].Specular = 0;
        v[i].u0 = (float)(right ? Info->SrcX2 : Info->SrcX1) / sw;
        v[i].v0 = (float)(bottom ? Info->SrcY2 : Info->SrcY1) / sh;
        v[i].u1 = right ? bu2 : bu1;
        v[i].v1 = bottom ? bv2 : bv1;
    }
    draw.VertexFormat = FILTER_PASS_FVF, draw.VertexSize = sizeof(FilterPassVertex), draw.Vertices = v;
    return FilterD3D9Device.DrawQuad(&draw);
}
