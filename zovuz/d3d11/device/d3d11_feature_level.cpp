// What a Direct3D 11 device can do, by the feature level it obtained: the limits written into the
// front end's capability record, and their log lines.
#include "zovuz/d3d11/d3d11_internal.h"

#include "zovuz/d3d11/shader/d3d11_3d_shader_choice.h"

const int D3D11FeatureLevelList[8] = {
    D3D11_LEVEL_11_1, D3D11_LEVEL_11_0, D3D11_LEVEL_10_1, D3D11_LEVEL_10_0,
    D3D11_LEVEL_9_3,  D3D11_LEVEL_9_2,  D3D11_LEVEL_9_1,  -1,
};

namespace {

struct FeatureLevelLimits
{
    int Level;
    const wchar_t *Name;
    int MaxTextureSize;   // both sides
    int RenderTargetNum;  // simultaneous render targets
    int MaxPrimitiveCount;
    int VertexColorBGRA;  // vertex colours as B8G8R8A8 (else R8G8B8A8)
};

constexpr FeatureLevelLimits LimitsTable[] = {
    {D3D11_LEVEL_9_1, L"D3D_FEATURE_LEVEL_9_1", 2048, 1, 65535, 0},
    {D3D11_LEVEL_9_2, L"D3D_FEATURE_LEVEL_9_2", 2048, 1, 0xFFFFF, 0},
    {D3D11_LEVEL_9_3, L"D3D_FEATURE_LEVEL_9_3", 4096, 4, 0xFFFFF, 0},
    {D3D11_LEVEL_10_0, L"D3D_FEATURE_LEVEL_10_0", 8192, 8, 0x7FFFFFFF, 1},
    {D3D11_LEVEL_10_1, L"D3D_FEATURE_LEVEL_10_1", 8192, 8, 0x7FFFFFFF, 1},
    {D3D11_LEVEL_11_0, L"D3D_FEATURE_LEVEL_11_0", 16384, 8, 0x7FFFFFFF, 1},
    {D3D11_LEVEL_11_1, L"D3D_FEATURE_LEVEL_11_1", 16384, 8, 0x7FFFFFFF, 1},
};

const FeatureLevelLimits *FindLevel(int Level)
{
    for (const FeatureLevelLimits &row : LimitsTable)
        if (row.Level == Level) return &row;
    return nullptr;
}

}  // namespace

const wchar_t *D3D11FeatureLevelName(int FeatureLevel)
{
    const FeatureLevelLimits *row = FindLevel(FeatureLevel);
    return row != nullptr ? row->Name : nullptr;
}

int Graphics_D3D11_SetupDeviceCaps(int FeatureLevel)
{
    GraphicsDeviceCapsData &caps = GraphicsDeviceCaps;

    // What every Direct3D 11 device shares: subtractive blending, any texture shape, 16-bit
    // indices, and pixel centres on whole coordinates.
    caps.SubtractiveBlendFlag = 1;
    caps.NonPow2Conditional = 0;
    caps.MaxVertexIndex = 65535;
    caps.PixelCenterNoOffsetFlag = 1;

    if (const FeatureLevelLimits *row = FindLevel(FeatureLevel)) {
        caps.MaxTextureWidth = caps.MaxTextureHeight = row->MaxTextureSize;
        caps.RenderTargetNum = row->RenderTargetNum;
        caps.MaxPrimitiveCount = row->MaxPrimitiveCount;
        caps.VertexColorBGRAFlag = row->VertexColorBGRA;
        if (FeatureLevel >= D3D11_LEVEL_10_0) caps.PowerOfTwoTextureOnly = 0;
        D3D11ThreeDShaderSettings.PixelLightingFlag = FeatureLevel >= D3D11_LEVEL_10_0 ? 1 : 0;
    }

    caps.MaxTextureSize = caps.MaxTextureWidth < caps.MaxTextureHeight ? caps.MaxTextureWidth : caps.MaxTextureHeight;
    if (caps.RenderTargetNum > DX_RENDERTARGET_COUNT) caps.RenderTargetNum = DX_RENDERTARGET_COUNT;
    caps.LimitsFilledFlag = 1;
    return 0;
}

void Graphics_D3D11_LogDeviceCaps(int FeatureLevel)
{
    const wchar_t *name = D3D11FeatureLevelName(FeatureLevel);
    AddLogFormat(L"使用する機能レベル:%s", name != nullptr ? name : L"");
    AddLogFormat(L"同時にレンダリングできるバッファの数:%d", GraphicsDeviceCaps.RenderTargetNum);
    AddLogFormat(L"最大テクスチャサイズ　幅:%d 高さ:%d", GraphicsDeviceCaps.MaxTextureWidth,
                 GraphicsDeviceCaps.MaxTextureHeight);
}
