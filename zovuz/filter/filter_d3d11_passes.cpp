// The Direct3D 11 side of every filter and blend pass: the shader of the variant from the back
// end's filter archive (or its channel-mix code table), the constants into the filters' constant
// buffer (pixel slot 3), and one quad drawn by the back end's texture-to-texture transfer with the
// filter's pixel shader. The pass framework (filter_pass.cpp) has already chosen the pass's source
// and destination.
#include <string.h>

#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/filter/filter_d3d11_passes.h"
#include "zovuz/filter/filter_d3d11_shaders.h"

static_assert(sizeof(FilterD3D11TapVertex) == 21 * sizeof(float), "the transfer's eight-coordinate vertex");

namespace {

const wchar_t kChannelMixFailure[] = L"RGBAMixS フィルター用シェーダーの作成に失敗しました";
const wchar_t kNamedChannelMixFailure[] = L"RGBAMixS フィルター用シェーダーの作成に失敗しました %s";
const float kLuma[4] = {0.299f, 0.587f, 0.114f, 0.0f};

// The source's texture size, (1, 1) when it has none.
void SourceTextureSize(const GraphFilterInfo *Info, int *Width, int *Height)
{
    *Width = *Height = 1;
    if (GetGraphTextureSize(Info->SrcGraph, Width, Height) < 0 || *Width < 1 || *Height < 1) *Width = *Height = 1;
}

void SetConstants(const float *Values, int Count) { Graphics_D3D11_Filter_SetConstants(Values, Count); }

void SetRect(int Out[4], int Left, int Top, int Right, int Bottom)
{
    Out[0] = Left, Out[1] = Top, Out[2] = Right, Out[3] = Bottom;
}

}  // namespace

int Graphics_D3D11_Filter_CreateShader(const char *FileName, int VertexFlag)
{
    const void *code = nullptr;
    int size = 0;
    if (Graphics_D3D11_Filter_FindShaderCode(FileName, &code, &size) < 0) return -1;
    return CreateShaderHandle(VertexFlag, code, size, 0, 0, 0);
}

int Graphics_D3D11_Filter_DrawPass(int Shader, GraphFilterInfo *Info, int LinearFlag, int Divisor, int Extra,
                                   const FilterD3D11TapVertex *Vertices)
{
    if (Shader < 0) return -1;
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    const int dw = Divisor != 1 ? w / Divisor : w, dh = Divisor != 1 ? h / Divisor : h;
    D3D11FilterQuad quad = {};
    quad.SrcGraph = Info->SrcGraph;
    SetRect(quad.SrcRect, Info->SrcX1, Info->SrcY1, Info->SrcX2, Info->SrcY2);
    quad.DestGraph = Info->DestGraph;
    SetRect(quad.DestRect, Info->DestX, Info->DestY, Info->DestX + dw, Info->DestY + dh);
    quad.SecondGraph = Info->IsBlend ? Info->BlendGraph : Extra;
    if (Info->IsBlend && quad.SecondGraph < 0) return -1;
    if (quad.SecondGraph >= 0) {
        if (Info->IsBlend) {
            int bx, by;
            FilterBlendOrigin(Info, &bx, &by);
            SetRect(quad.SecondRect, bx, by, bx + w, by + h);
        } else {
            int sw = 0, sh = 0;
            if (GetGraphSize(quad.SecondGraph, &sw, &sh) < 0) return -1;
            SetRect(quad.SecondRect, 0, 0, sw, sh);
        }
    }
    quad.LinearFlag = LinearFlag;
    quad.PixelShader = Shader;
    quad.Vertices8 = Vertices != nullptr ? &Vertices[0].X : nullptr;
    return Graphics_D3D11_Filter_DrawQuad(&quad);
}

namespace {

// The common frame: the slot's shader (made on first use), the constants, one pass.
int DrawWith(int Slot, GraphFilterInfo *Info, const float *Constants, int Count, int LinearFlag, int Divisor = 1,
             int Extra = -1, const FilterD3D11TapVertex *Vertices = nullptr)
{
    const int shader = FilterPass_ShaderInSlot(GRAPHICS_API_D3D11, Slot);
    if (shader < 0) return -1;
    if (Count > 0) SetConstants(Constants, Count);
    return Graphics_D3D11_Filter_DrawPass(shader, Info, LinearFlag, Divisor, Extra, Vertices);
}

int Mono(GraphFilterInfo *Info, float Cb, float Cr)
{
    const float c[8] = {kLuma[0],    kLuma[1], kLuma[2], 0.0f, Cr * 1.402f, Cb * 0.34414f - Cr * 0.71414f,
                        Cb * 1.772f, 0.0f};
    return DrawWith(FILTER_SLOT_MONO, Info, c, 8, 0);
}

int Gauss(GraphFilterInfo *Info, int Width, float, const float *Weights)
{
    int tw, th;
    SourceTextureSize(Info, &tw, &th);
    float c[52];
    FilterD3D11GaussConstants(Info->PassIndex, tw, th, Weights, Info->SrcX1, Info->SrcY1, Info->SrcX2, Info->SrcY2, c);
    if (DrawWith(FilterGaussSlot(Width), Info, c, 52, 1) < 0) return -1;
    if (Info->PassIndex != 0) return 0;
    // The rows below the blurred rectangle take the source's last row, so that the vertical pass
    // reads defined texels there.
    int destWidth, destHeight;
    if (GetGraphTextureSize(Info->DestGraph, &destWidth, &destHeight) < 0) return 0;
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    if (Info->DestY + h >= destHeight || w <= 0) return 0;
    D3D11FilterQuad row = {};
    row.SrcGraph = Info->SrcGraph;
    SetRect(row.SrcRect, Info->SrcX1, Info->SrcY2 - 1, Info->SrcX2, Info->SrcY2);
    row.DestGraph = Info->DestGraph;
    SetRect(row.DestRect, Info->DestX, Info->DestY + h, Info->DestX + w, destHeight);
    row.SecondGraph = -1;
    row.PixelShader = -1;
    return Graphics_D3D11_Filter_DrawQuad(&row);
}

int DownScale(GraphFilterInfo *Info, int Ratio)
{
    GraphFilterInfo blocks;
    if (!FilterPass_DownScaleBlocks(Info, Ratio, &blocks)) return 0;
    int tw, th;
    SourceTextureSize(&blocks, &tw, &th);
    float c[32];
    const int n = FilterD3D11DownScaleConstants(Ratio, tw, th, c);
    return DrawWith(FilterDownScaleSlot(Ratio), &blocks, c, n, 1, Ratio);
}

int BrightClip(GraphFilterInfo *Info, int Compare, float Value, int FillFlag, const float *FillColor, int Pma)
{
    float c[12] = {Value, Value, Value, Value, kLuma[0], kLuma[1], kLuma[2], kLuma[3]};
    int count = 8;
    if (FillColor != nullptr) memcpy(c + 8, FillColor, 4 * sizeof(float)), count = 12;
    return DrawWith(FilterBrightClipSlot(Compare, FillFlag, Pma), Info, c, count, 0);
}

int BrightnessScale(GraphFilterInfo *Info, int Min, int Max, int Pma)
{
    const float c[4] = {(float)Min / 255.0f, 255.0f / (float)(Max - Min), 0.0f, 0.0f};
    return DrawWith(FILTER_SLOT_BRIGHT_SCALE + (Pma ? 1 : 0), Info, c, 4, 0);
}

int Hsb(GraphFilterInfo *Info, int Type, float Hue6, float Saturation, float Bright, int Pma)
{
    const float s = Saturation > 0.0f ? Saturation * 5.0f : Saturation;
    const float c[12] = {Hue6, s, Bright, 0.0f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 1.0f, 1.0f};
    return DrawWith(FilterHsbSlot(GRAPHICS_API_D3D11, Type, Info->PassIndex, Pma), Info, c, 12, 0);
}

int Invert(GraphFilterInfo *Info, int Pma) { return DrawWith(FILTER_SLOT_INVERT + (Pma ? 1 : 0), Info, nullptr, 0, 0); }

int Level(GraphFilterInfo *Info, float Min, float Max, float, float AfterMin, float AfterMax, int Pma)
{
    // c1: the integer ends the processor kernel takes from the same values.
    const float c[8] = {Min,
                        1.0f / (Max - Min),
                        AfterMin,
                        AfterMax,
                        (float)TruncateToInt(Min * 255.0f),
                        (float)TruncateToInt(Max * 255.0f),
                        (float)TruncateToInt(AfterMin * 255.0f),
                        (float)TruncateToInt(AfterMax * 255.0f)};
    const int gamma = GraphFilterState.ShaderHandles.LevelGammaGraph;
    if (gamma < 0) return -1;
    return DrawWith(FILTER_SLOT_LEVEL + (Pma ? 1 : 0), Info, c, 8, 1, 1, gamma);
}

int TwoColor(GraphFilterInfo *Info, float Threshold, const float *LowColor, const float *HighColor, int Pma)
{
    float c[12] = {kLuma[0], kLuma[1], kLuma[2], Threshold / 255.0f};
    memcpy(c + 4, LowColor, 4 * sizeof(float));
    memcpy(c + 8, HighColor, 4 * sizeof(float));
    return DrawWith(FILTER_SLOT_TWO_COLOR + (Pma ? 1 : 0), Info, c, 12, 0);
}

int GradientMap(GraphFilterInfo *Info, int GradientGraph, int Reverse, int Pma)
{
    int width, height, tw, th;
    if (GetGraphSize(GradientGraph, &width, &height) < 0 || GetGraphTextureSize(GradientGraph, &tw, &th) < 0) return -1;
    const float c[8] = {kLuma[0], kLuma[1], kLuma[2], 0.0f, (float)width, 1.0f / (float)tw, 0.5f / (float)th, 0.0f};
    return DrawWith(FilterGradientMapSlot(Reverse, Pma), Info, c, 8, 0, 1, GradientGraph);
}

int PremultipliedAlpha(GraphFilterInfo *Info) { return DrawWith(FILTER_SLOT_PREMUL_ALPHA, Info, nullptr, 0, 0); }

int InterpolatedAlpha(GraphFilterInfo *Info) { return DrawWith(FILTER_SLOT_INTERP_ALPHA, Info, nullptr, 0, 0); }

int YUVToRGB(GraphFilterInfo *Info, int ChromaGraph)
{
    // The call's source size over the pass source's texture (a copy of the source lies in a
    // larger work texture).
    int sw, sh, tw, th;
    FilterSourceSize(GRAPHICS_API_D3D11, Info, &sw, &sh);
    SourceTextureSize(Info, &tw, &th);
    const float a = (float)sw / (float)tw, b = (float)sh / (float)th;
    float c[4] = {0.0f, 0.0f, a * 0.5f, 0.0f};
    const bool rra = Info->Type == DX_GRAPH_FILTER_YUV_TO_RGB_RRA || Info->Type == DX_GRAPH_FILTER_Y2UV1_TO_RGB_RRA;
    int count = rra ? 4 : 0;
    if (ChromaGraph >= 0) {
        int uw, uh, utw, uth;
        if (GetGraphSize(ChromaGraph, &uw, &uh) < 0 || GetGraphTextureSize(ChromaGraph, &utw, &uth) < 0) return -1;
        const float u = (float)uw / (float)utw, v = (float)uh / (float)uth;
        c[0] = u / a, c[1] = v / b, c[3] = u * 0.5f;
        count = 4;
    }
    return DrawWith(FilterYuvSlot(Info->Type, ChromaGraph >= 0), Info, c, count, 0, 1, ChromaGraph);
}

int TapFilter(GraphFilterInfo *Info, int Bicubic)
{
    int tw, th;
    SourceTextureSize(Info, &tw, &th);
    const float c[4] = {(float)tw, (float)th, (Bicubic ? 2.0f : 1.0f) / (float)tw, 0.0f};
    // The scaled picture's part inside the destination (the front end clipped it), and no more.
    const int dest[4] = {Info->DestX, Info->DestY, Info->DestX + Info->OutputWidth, Info->DestY + Info->OutputHeight};
    FilterD3D11TapVertex quad[4];
    FilterD3D11TapQuad(Bicubic, dest, Info->ScaleSrc, tw, th, quad);
    return DrawWith(Bicubic ? FILTER_SLOT_BICUBIC : FILTER_SLOT_LANCZOS3, Info, c, 4, 0, 1, -1, quad);
}

int Bicubic(GraphFilterInfo *Info, int, int) { return TapFilter(Info, 1); }

int Lanczos3(GraphFilterInfo *Info, int, int) { return TapFilter(Info, 0); }

int BlendBasic(GraphFilterInfo *Info)
{
    const int number = FilterBlendShaderNumber(Info->Type);
    if (number < 0) return -1;
    const float r = Info->BlendRatio, c[4] = {r, r, r, r};
    return DrawWith(FILTER_SLOT_BLEND + number, Info, c, 4, 1);
}

int BlendRGBAMix(GraphFilterInfo *Info, int Red, int Green, int Blue, int Alpha, int Pma)
{
    FilterChannelMixChoice choice;
    ChooseFilterChannelMix(Red, Green, Blue, Alpha, Pma, &choice);
    const int shader = choice.Ready
                           ? FilterPass_ReadyShaderInSlot(GRAPHICS_API_D3D11, choice.Slot, choice.ReadyIndex)
                           : FilterPass_NamedShaderInSlot(
                                 GRAPHICS_API_D3D11, choice.Slot, choice.Name,
                                 choice.Slot >= FILTER_SLOT_MIX_BASE ? kChannelMixFailure : kNamedChannelMixFailure);
    if (shader < 0) return -1;
    float c[4];
    for (int i = 0; i < 4; ++i) c[i] = (float)choice.Selector[i] + 0.5f;
    SetConstants(c, 4);
    if (choice.Swap) FilterPass_SwapBlend(Info);
    const int result = Graphics_D3D11_Filter_DrawPass(shader, Info, 0, 1, -1, nullptr);
    if (choice.Swap) FilterPass_SwapBlend(Info);
    return result;
}

const GraphFilterBackendFunctions kD3D11Passes = {
    .GraphBlend_Basic = BlendBasic,
    .GraphBlend_RGBAMix = BlendRGBAMix,
    .Filter_Bicubic = Bicubic,
    .Filter_BrightClip = BrightClip,
    .Filter_BrightnessScale = BrightnessScale,
    .Filter_SetupPass = FilterPass_D3D11Setup,
    .Filter_Copy = FilterPass_D3D11Copy,
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
    .Filter_Begin = FilterPass_D3D11Begin,
    .Filter_End = nullptr,
    .Filter_TwoColor = TwoColor,
    .Filter_YUVToRGB = YUVToRGB,
    .FindShaderCode = Graphics_D3D11_Filter_FindShaderCode,
    .ChannelMixCode = Graphics_D3D11_Filter_ChannelMixCode,
};

}  // namespace

int RegisterGraphFilterD3D11Passes(void) { return RegisterGraphFilterBackend(GRAPHICS_API_D3D11, &kD3D11Passes); }
