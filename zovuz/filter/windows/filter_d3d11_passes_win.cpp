// The Direct3D 11 side of every filter and blend pass: the shader of the variant from the back
// end's filter archive (or its channel-mix code table), the constants into the filters' constant
// buffer (pixel slot 3), and one quad drawn by the texture-to-texture transfer with the filter's
// pixel shader. The pass framework (filter_pass.cpp) has already chosen the pass's source and
// destination.
#include <string.h>

#include "zovuz/core/file/archive.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/d3d11/d3d11_shader_pack_internal.h"
#include "zovuz/d3d11/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/windows/d3d11_transfer_win.h"
#include "zovuz/filter/filter_d3d11_passes.h"
#include "zovuz/filter/filter_d3d11_shaders.h"
#include "zovuz/graphics/shader_light.h"

static_assert(sizeof(FilterD3D11TapVertex) == sizeof(D3D11Transfer8InputVertex), "the transfer's vertex");

namespace {

const wchar_t kChannelMixFailure[] = L"RGBAMixS フィルター用シェーダーの作成に失敗しました";
const wchar_t kNamedChannelMixFailure[] = L"RGBAMixS フィルター用シェーダーの作成に失敗しました %s";
const float kLuma[4] = {0.299f, 0.587f, 0.114f, 0.0f};

// The texture, view and render-target view of a graph's first texture piece.
struct PassTexture
{
    GraphHandleData *Graph;
    const GraphTextureEntry *Piece;
    ID3D11Texture2D *Texture;
    ID3D11ShaderResourceView *View;
};

bool TextureOf(int Handle, PassTexture *Out)
{
    Out->Graph = GetFilterGraph(Handle);
    Out->Piece = D3D11FirstPiece(Out->Graph);
    Out->Texture = D3D11PieceTexture(Out->Piece, D3D11_GRAPH_TEXTURE);
    Out->View = D3D11PieceView(Out->Piece);
    return Out->Texture != nullptr && Out->View != nullptr;
}

// The source's texture size, (1, 1) when it has none.
void SourceTextureSize(const GraphFilterInfo *Info, int *Width, int *Height)
{
    *Width = *Height = 1;
    if (GetGraphTextureSize(Info->SrcGraph, Width, Height) < 0 || *Width < 1 || *Height < 1) *Width = *Height = 1;
}

// Writes Count floats from register c0 on and sends them to the device.
void SetConstants(const float *Values, int Count)
{
    D3D11ConstantBuffer *buffer = D3D11Buffers.Standard[D3D11_SCB_PIXEL_SLOT3];
    float *floats = D3D11ConstantFloats(D3D11_SCB_PIXEL_SLOT3, 0);
    if (buffer == nullptr || floats == nullptr) return;
    memcpy(floats, Values, (size_t)Count * sizeof(float));
    buffer->Dirty = 1;
    Graphics_D3D11_ConstantBuffer_Update(buffer);
}

}  // namespace

namespace {

// The code of a filter archive's file: 0, or -1 when the archive is not open or has no such file.
int FindShaderCode(const char *FileName, const void **Code, int *Size)
{
    if (!D3D11ShaderPack.LoadedFlag || D3D11ShaderPack.FilterArchive.Magic != ARCHIVE_MAGIC) return -1;
    uint64_t position = 0, size = 0;
    if (ArchiveFindFile(&D3D11ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, FileName, &position, &size) < 0)
        return -1;
    if (position + size > D3D11ShaderPack.FilterImageSize || size == 0 || size > 0x7FFFFFFF) return -1;
    *Code = D3D11ShaderPack.FilterImage + position;
    *Size = (int)size;
    return 0;
}

// The code of a ready channel-mix shader: 0, or -1 when its slot is empty.
int ChannelMixCode(int Index, const void **Code, int *Size)
{
    if (!D3D11ShaderPack.LoadedFlag || Index < 0 || Index >= D3D11_CHANNEL_MIX_PACK_SLOTS) return -1;
    const D3D11ShaderCode &code = D3D11ShaderPack.ChannelMix[Index];
    if (code.Code == nullptr || code.Size == 0) return -1;
    *Code = code.Code;
    *Size = (int)code.Size;
    return 0;
}

}  // namespace

int Graphics_D3D11_Filter_CreateShader(const char *FileName, int VertexFlag)
{
    const void *code = nullptr;
    int size = 0;
    if (FindShaderCode(FileName, &code, &size) < 0) return -1;
    return CreateShaderHandle(VertexFlag, code, size, 0, 0, 0);
}

// One pass: Shader over the pass's source rectangle into its destination at (DestX, DestY), the
// blend graph (blend path) or Extra (else, when >= 0) as the second texture. 0 / -1.
int Graphics_D3D11_Filter_DrawPass(int Shader, GraphFilterInfo *Info, int LinearFlag, int Divisor, int Extra,
                                   const FilterD3D11TapVertex *Vertices)
{
    PassTexture src, dest, second = {};
    ShaderHandleData *shader = GetShaderEntry(Shader, 0);
    if (!TextureOf(Info->SrcGraph, &src) || !TextureOf(Info->DestGraph, &dest) || shader == nullptr ||
        shader->PF == nullptr || shader->PF->Object[0] == nullptr)
        return -1;
    ID3D11RenderTargetView *target = D3D11PieceTargetView(dest.Piece, dest.Graph->Image->MipLevels, 0, 0);
    if (target == nullptr) return -1;
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    const int dw = Divisor != 1 ? w / Divisor : w, dh = Divisor != 1 ? h / Divisor : h;
    const RECT srcRect = {Info->SrcX1, Info->SrcY1, Info->SrcX2, Info->SrcY2};
    const RECT destRect = {Info->DestX, Info->DestY, Info->DestX + dw, Info->DestY + dh};
    const int secondHandle = Info->IsBlend ? Info->BlendGraph : Extra;
    RECT secondRect = {0, 0, 0, 0};
    if (secondHandle >= 0 || Info->IsBlend) {
        if (!TextureOf(secondHandle, &second)) return -1;
        if (Info->IsBlend && Info->BlendPosFlag)
            secondRect = {Info->BlendX, Info->BlendY, Info->BlendX + w, Info->BlendY + h};
        else
            secondRect = {0, 0, second.Piece->Width, second.Piece->Height};
    }
    D3D11ConstantBuffer *constants = D3D11Buffers.Standard[D3D11_SCB_PIXEL_SLOT3];
    if (constants != nullptr)
        Graphics_D3D11_DeviceState_SetPSConstantBuffers(FILTER_D3D11_CONSTANT_SLOT, 1, &constants);
    return Graphics_D3D11_StretchRect(src.Texture, src.View, &srcRect, dest.Texture, target, &destRect, LinearFlag, 0,
                                      nullptr, (ID3D11PixelShader *)shader->PF->Object[0], second.Texture, second.View,
                                      second.Texture != nullptr ? &secondRect : nullptr,
                                      (const D3D11Transfer8InputVertex *)Vertices);
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
    PassTexture src, dest;
    int destWidth, destHeight;
    if (!TextureOf(Info->SrcGraph, &src) || !TextureOf(Info->DestGraph, &dest) ||
        GetGraphTextureSize(Info->DestGraph, &destWidth, &destHeight) < 0)
        return 0;
    const int w = Info->SrcX2 - Info->SrcX1, h = Info->SrcY2 - Info->SrcY1;
    const RECT row = {Info->SrcX1, Info->SrcY2 - 1, Info->SrcX2, Info->SrcY2};
    const RECT below = {Info->DestX, Info->DestY + h, Info->DestX + w, destHeight};
    if (below.bottom <= below.top || below.right <= below.left) return 0;
    ID3D11RenderTargetView *target = D3D11PieceTargetView(dest.Piece, dest.Graph->Image->MipLevels, 0, 0);
    if (target == nullptr) return 0;
    return Graphics_D3D11_StretchRect(src.Texture, src.View, &row, dest.Texture, target, &below, 0, 0, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr);
}

int DownScale(GraphFilterInfo *Info, int Ratio)
{
    int tw, th;
    SourceTextureSize(Info, &tw, &th);
    float c[32];
    const int n = FilterD3D11DownScaleConstants(Ratio, tw, th, c);
    return DrawWith(FilterDownScaleSlot(Ratio), Info, c, n, 1, Ratio);
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
    int sw, sh, tw, th;
    if (GetGraphSize(Info->SrcGraph, &sw, &sh) < 0) return -1;
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

int TapFilter(GraphFilterInfo *Info, int Bicubic, int Width, int Height)
{
    int tw, th;
    SourceTextureSize(Info, &tw, &th);
    const float c[4] = {(float)tw, (float)th, (Bicubic ? 2.0f : 1.0f) / (float)tw, 0.0f};
    FilterD3D11TapVertex quad[4];
    FilterD3D11TapQuad(Bicubic, Info->SrcX1, Info->SrcY1, Info->SrcX2, Info->SrcY2, tw, th, Info->DestX, Info->DestY,
                       Width, Height, quad);
    return DrawWith(Bicubic ? FILTER_SLOT_BICUBIC : FILTER_SLOT_LANCZOS3, Info, c, 4, 0, 1, -1, quad);
}

int Bicubic(GraphFilterInfo *Info, int Width, int Height) { return TapFilter(Info, 1, Width, Height); }

int Lanczos3(GraphFilterInfo *Info, int Width, int Height) { return TapFilter(Info, 0, Width, Height); }

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
    if (choice.Swap) {
        const int t = Info->SrcGraph;
        Info->SrcGraph = Info->BlendGraph, Info->BlendGraph = t;
    }
    const int result = Graphics_D3D11_Filter_DrawPass(shader, Info, 0, 1, -1, nullptr);
    if (choice.Swap) {
        const int t = Info->SrcGraph;
        Info->SrcGraph = Info->BlendGraph, Info->BlendGraph = t;
    }
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
    .FindShaderCode = FindShaderCode,
    .ChannelMixCode = ChannelMixCode,
};

}  // namespace

int RegisterGraphFilterD3D11Passes(void) { return RegisterGraphFilterBackend(GRAPHICS_API_D3D11, &kD3D11Passes); }
