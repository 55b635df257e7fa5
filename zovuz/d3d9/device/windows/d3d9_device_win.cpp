// The Direct3D 9 device's set-up: the device with its fall-back screen settings, its caps, the
// format table, the log lines and the back-buffer read test.
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"

#include <string.h>

#include <array>

#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"

D3D9DeviceCapsInfoData D3D9DeviceCapsInfo;
D3D9ScreenData D3D9Screen;

namespace {

UINT AdapterInUse() { return (UINT)(GetUseDisplayIndex() > 0 ? GetUseDisplayIndex() : 0); }

void LogLine(const wchar_t *Text)
{
    AddLogStringWide(Text);
    AddLogStringWide(L"\n");
}

// The device's answer for one format, for the format table.
int QueryFormat(int Use, unsigned Format)
{
    D3DFORMAT backBuffer = D3D9DeviceCapsInfo.BackBufferFormat;
    D3DFORMAT format = (D3DFORMAT)Format;
    UINT adapter = AdapterInUse();
    switch (Use) {
        case D3D9_USE_DEPTH:
            return Direct3D9_CheckFormat(adapter, D3DDEVTYPE_HAL, backBuffer, backBuffer, format);
        case D3D9_USE_RENDER_TARGET:
            return FAILED(Direct3D9_CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, backBuffer, D3DUSAGE_RENDERTARGET,
                                                      D3DRTYPE_TEXTURE, format))
                       ? -1
                       : 0;
        case D3D9_USE_VERTEX_TEXTURE:
            return FAILED(Direct3D9_CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, backBuffer, D3DUSAGE_QUERY_VERTEXTEXTURE,
                                                      D3DRTYPE_TEXTURE, format))
                       ? -1
                       : 0;
        default:
            return FAILED(Direct3D9_CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, backBuffer, 0, D3DRTYPE_TEXTURE, format))
                       ? -1
                       : 0;
    }
}

// Step 2: the device, with the fall-back settings tried in turn. 0, -1 or -2.
int CreateDeviceWithFallbacks()
{
    int result = Direct3D9_CreateDevice();
    if (result == 0 || result == -2) return result;
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    s.MainScreenColorBitDepth = 32;
    SetMemImgDefaultColorType(1);
    if (Direct3D9_CreateDevice() == 0) return 0;
    const int sizes[2][2] = {{800, 600}, {1024, 768}};
    for (const int *size : sizes) {
        SetMainScreenSize(size[0], size[1]);
        if (Direct3D9_CreateDevice() == 0) return 0;
    }
    return -1;
}

// Step 4: the caps into the back end's record and the front end's settings.
void ReadCaps()
{
    D3D9DeviceCapsInfoData &info = D3D9DeviceCapsInfo;
    const D3DCAPS9 &caps = info.Caps;
    Direct3DDevice9_GetDeviceCaps(&info.Caps);
    info.TextureStageNum = (int)caps.MaxTextureBlendStages;
    info.ResultArgumentFlag = (caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP) != 0;
    info.SubtractiveBlendFlag = (caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) != 0;
    DWORD vs = caps.VertexShaderVersion & 0xFFFF, ps = caps.PixelShaderVersion & 0xFFFF;
    bool software = D3D9CallLayer.Settings.SoftwareVertexProcessingFlag == 1;
    info.VertexShader20Flag = !software && vs >= 0x200;
    info.PixelShader20Flag = !software && ps >= 0x200;
    info.VertexShader30Flag = info.PixelShader30Flag = !software && vs >= 0x300 && ps >= 0x300;

    GraphicsDeviceCapsData &d = GraphicsDeviceCaps;
    d.RenderTargetNum = caps.NumSimultaneousRTs > 8 ? 8 : (int)caps.NumSimultaneousRTs;
    d.PowerOfTwoTextureOnly = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    d.SquareTextureOnly = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
    d.NonPow2Conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    d.SubtractiveBlendFlag = info.SubtractiveBlendFlag;
    d.MaxTextureWidth = caps.MaxTextureWidth != 0 ? (int)caps.MaxTextureWidth : 256;
    d.MaxTextureHeight = caps.MaxTextureHeight != 0 ? (int)caps.MaxTextureHeight : 256;
    d.MaxTextureSize = d.MaxTextureWidth < d.MaxTextureHeight ? d.MaxTextureWidth : d.MaxTextureHeight;
    d.MaxPrimitiveCount = (int)caps.MaxPrimitiveCount;
    d.MaxVertexIndex = (int)caps.MaxVertexIndex;
    d.VertexColorBGRAFlag = 1;
    d.PixelCenterNoOffsetFlag = 0;
    d.LimitsFilledFlag = 1;
    // The material sources are unknown on a new device: the next setter sends them.
    D3D9DeviceStateCache.DiffuseMaterialSource = D3D9DeviceStateCache.SpecularMaterialSource = 255;
    D3D9DeviceStateCache.ChangedFlag = 1;
}

// Step 3, in full screen: where the adapter's monitor lies on the desktop.
void ReadMonitorRect()
{
    MONITORINFOEXA info = {};
    info.cbSize = sizeof(info);
    HMONITOR monitor = Direct3D9_GetAdapterMonitor(AdapterInUse());
    if (monitor != nullptr && GetMonitorInfoA(monitor, &info)) {
        const RECT &r = info.rcMonitor;
        GraphicsDeviceMode.DisplayRect = ImageRect{r.left, r.top, r.right, r.bottom};
    }
}

// Step 5: the adapter and the back buffer's format.
void LogAdapterAndScreen()
{
    D3DADAPTER_IDENTIFIER9 id = {};
    Direct3D9_GetAdapterIdentifier(0, 0, &id);
    AddLogFormatShiftJis("Driver:%s  Description:%s", id.Driver, id.Description);
    D3DFORMAT format = D3D9DeviceCapsInfo.BackBufferFormat;
    if (format != D3DFMT_X8R8G8B8 && format != D3DFMT_R5G6B5 && format != D3DFMT_X1R5G5B5)
        AddLogFormat(L"バックバッファが対応していないフォーマット %d です", (int)format);
    const wchar_t *name = D3D9FormatName((unsigned)format);
    if (name != nullptr) {
        AddLogFormat(L"画面のフォーマットは %s です", name);
    }
}

// Step 8: the limits.
void LogLimits()
{
    const D3DCAPS9 &caps = D3D9DeviceCapsInfo.Caps;
    const GraphicsDeviceCapsData &d = GraphicsDeviceCaps;
    AddLogFormat(L"一度に描画できるプリミティブの最大数:%d", d.MaxPrimitiveCount);
    AddLogFormat(L"対応している最大頂点インデックス:%d", d.MaxVertexIndex);
    AddLogFormat(L"同時にレンダリングできるバッファの数:%d", d.RenderTargetNum);
    AddLogFormat(L"最大テクスチャサイズ　幅:%d 高さ:%d", d.MaxTextureWidth, d.MaxTextureHeight);
    AddLogFormat(L"テクスチャステージテンポラリレジスタ：%s",
                 D3D9DeviceCapsInfo.ResultArgumentFlag ? L"使用可" : L"使用不可");
    AddLogFormat(L"減算合成のハードウェア対応：%s",
                 D3D9DeviceCapsInfo.SubtractiveBlendFlag ? L"ネイティブ" : L"エミュレート");
    if (D3D9CallLayer.HardwareVertexProcessing) {
        AddLogFormat(L"ハードウェア頂点シェーダーバージョンコード：%x", (unsigned)caps.VertexShaderVersion);
        AddLogStringWide(L"エミュレーション頂点シェーダーバージョンコード：エミュレーション無し\n");
    } else {
        AddLogFormat(L"ハードウェア頂点シェーダーバージョンコード：%x", (unsigned)D3D9CallLayer.VertexShaderVersion);
        AddLogFormat(L"エミュレーション頂点シェーダーバージョンコード：%x", (unsigned)caps.VertexShaderVersion);
    }
    AddLogFormat(L"ピクセルシェーダーバージョンコード：%x", (unsigned)caps.PixelShaderVersion);
}

// One pass of the read test: the time (microseconds) to read an s x s square of the back buffer
// by locking it (*LockTime) and through a render target (*CopyTime); -1 where a step failed.
void TimeBackBufferReads(int Side, int64_t *LockTime, int64_t *CopyTime)
{
    const D3D9DeviceCapsInfoData &info = D3D9DeviceCapsInfo;
    *LockTime = *CopyTime = -1;
    const COLORDATA *color = Graphics_D3D9_GetFormatColorData((unsigned)info.BackBufferFormat);
    int rowBytes = Side * (color != nullptr ? color->PixelBytes : 4);
    IDirect3DSurface9 *memory = nullptr, *target = nullptr, *memory2 = nullptr;
    D3DLOCKED_RECT dest = {}, src = {};
    RECT square = {0, 0, Side, Side};
    auto copyRows = [&](const D3DLOCKED_RECT &From) {
        for (int y = 0; y < Side; ++y)
            memcpy((uint8_t *)dest.pBits + (size_t)y * dest.Pitch, (const uint8_t *)From.pBits + (size_t)y * From.Pitch,
                   (size_t)rowBytes);
    };
    if (SUCCEEDED(Direct3DDevice9_CreateOffscreenPlainSurface((UINT)Side, (UINT)Side, info.BackBufferFormat,
                                                              D3DPOOL_SYSTEMMEM, &memory, nullptr)) &&
        SUCCEEDED(Direct3DSurface9_LockRect(memory, &dest, nullptr, 0))) {
        int64_t start = GetNowMicroCount();
        if (SUCCEEDED(Direct3DSurface9_LockRect(info.BackBuffer, &src, &square, D3DLOCK_READONLY))) {
            copyRows(src);
            Direct3DSurface9_UnlockRect(info.BackBuffer);
            *LockTime = GetNowMicroCount() - start;
        }
        start = GetNowMicroCount();
        if (SUCCEEDED(Direct3DDevice9_CreateRenderTarget((UINT)Side, (UINT)Side, info.BackBufferFormat,
                                                         D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr)) &&
            SUCCEEDED(Direct3DDevice9_CreateOffscreenPlainSurface((UINT)Side, (UINT)Side, info.BackBufferFormat,
                                                                  D3DPOOL_SYSTEMMEM, &memory2, nullptr)) &&
            SUCCEEDED(Direct3DDevice9_StretchRect(info.BackBuffer, &square, target, nullptr, D3DTEXF_NONE)) &&
            SUCCEEDED(Direct3DDevice9_GetRenderTargetData(target, memory2)) &&
            SUCCEEDED(Direct3DSurface9_LockRect(memory2, &src, nullptr, D3DLOCK_READONLY))) {
            copyRows(src);
            Direct3DSurface9_UnlockRect(memory2);
            *CopyTime = GetNowMicroCount() - start;
        }
        Direct3DSurface9_UnlockRect(memory);
    }
    IDirect3DSurface9 *made[3] = {memory, target, memory2};
    for (IDirect3DSurface9 *surface : made)
        if (surface != nullptr) Direct3D9_ReleaseObject(surface);
}

// Step 9: whether the screen is read by locking the back buffer.
void RunBackBufferReadTest()
{
    D3D9DeviceCapsInfoData &info = D3D9DeviceCapsInfo;
    info.BackBufferLockFlag = 0;
    if (GraphicsDeviceMode.MultiSampleCount >= 2) {
        LogLine(L"フルシーンアンチエイリアスを使用する場合はバックバッファはロックできません");
        return;
    }
    int side = 256;
    while (side > 1 &&
           (side > GraphicsScreenSettings.MainScreenWidth || side > GraphicsScreenSettings.MainScreenHeight))
        side /= 2;
    int64_t lockTime = -1, copyTime = -1;
    for (int pass = 0; pass < 3; ++pass) TimeBackBufferReads(side, &lockTime, &copyTime);
    if (lockTime < 0 || copyTime < 0) {
        LogLine(L"バックバッファはロックできません");
        return;
    }
    AddLogFormat(L"バックバッファロック転送の時間:%dnsec  一時的な描画可能バッファを使用した転送の時間:%dnsec",
                 (int)lockTime, (int)copyTime);
    info.BackBufferLockFlag = lockTime < copyTime ? 1 : 0;
    LogLine(info.BackBufferLockFlag ? L"バックバッファロックを使用します" : L"バックバッファロックを使用しません");
}

}  // namespace

int Graphics_D3D9_CreateDevice(void)
{
    D3D9DeviceCapsInfoData &info = D3D9DeviceCapsInfo;
    if (D3D9CallLayer.Direct3D == nullptr) return -1;

    // Step 1: no device is left; multisampling needs shader level 2.0 (unknown at the first start).
    ReleaseAndClear(info.BackBuffer, Direct3D9_ReleaseObject);
    Direct3DDevice9_ReleaseDevice();
    D3D9Backend.SceneOpenFlag = 0;
    if (Graphics_D3D9_GetShaderVersion() < 200) {
        GraphicsDeviceMode.MultiSampleCount = 0;
        GraphicsDeviceMode.MultiSampleQuality = 0;
    }

    int result = CreateDeviceWithFallbacks();
    if (result != 0) return result;

    // Step 3.
    DirectDraw7_MeasureVSyncPeriod();
    // A new device holds none of the cached shaders, declaration, FVF and buffers.
    D3D9DeviceStateCacheData &cache = D3D9DeviceStateCache;
    cache.VertexShader = nullptr;
    cache.PixelShader = nullptr;
    cache.VertexDeclaration = nullptr;
    cache.FVF = 0;
    cache.VertexBuffer = nullptr;
    cache.IndexBuffer = nullptr;
    if (HRESULT hr = Direct3DDevice9_GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &info.BackBuffer); FAILED(hr)) {
        info.BackBuffer = nullptr;
        AddLogStringWide(L"バックバッファの取得に失敗しました\n");
        return LogPlatformFailure(L"IDirect3DDevice9::GetBackBuffer", (unsigned long)hr);
    }
    // A new device draws into its own back buffer, which holds nothing that was shown.
    D3D9CallLayer.BoundTargets[0] = info.BackBuffer;
    ++D3D9CallLayer.ScreenWriteCount;
    D3DSURFACE_DESC desc = {};
    Direct3DSurface9_GetDesc(info.BackBuffer, &desc);
    info.BackBufferFormat = desc.Format;
    LogLine(L"成功");
    if (!GetWindowModeFlag()) ReadMonitorRect();

    ReadCaps();
    LogAdapterAndScreen();
    if (Graphics_D3D9_SetupFormatTable(QueryFormat, (unsigned)info.BackBufferFormat,
                                       GraphicsScreenSettings.MainScreenColorBitDepth) < 0)
        return -1;
    Graphics_D3D9_LogVertexTextureFormats(QueryFormat);
    LogLimits();
    RunBackBufferReadTest();
    return 0;
}

// ---- The Z buffer ----------------------------------------------------------------------------------

int Graphics_D3D9_CreateZBuffer(void)
{
    D3D9ScreenData &s = D3D9Screen;
    ReleaseAndClear(s.ZBuffer, Direct3D9_ReleaseObject);
    AddLogStringWide(L"Ｚバッファを作成します.... ");
    int width, height;
    if (s.UserZBufferSizeFlag) {
        width = s.UserZBufferWidth;
        height = s.UserZBufferHeight;
    } else {
        width = CalcPowerOfTwoAtLeast(GraphicsScreenSettings.MainScreenWidth);
        height = CalcPowerOfTwoAtLeast(GraphicsScreenSettings.MainScreenHeight);
    }
    int depth = s.UserZBufferDepthFlag ? s.UserZBufferBitDepth : 0;
    int slot = depth == 24   ? D3D9_FORMAT_SLOT_ZBUFFER24
               : depth == 32 ? D3D9_FORMAT_SLOT_ZBUFFER32
                             : D3D9_FORMAT_SLOT_ZBUFFER16;
    if (depth != 24 && depth != 32) s.UserZBufferBitDepth = 16;
    const GraphicsDeviceModeData &mode = GraphicsDeviceMode;
    D3DMULTISAMPLE_TYPE type =
        mode.MultiSampleCount >= 2 ? (D3DMULTISAMPLE_TYPE)mode.MultiSampleCount : D3DMULTISAMPLE_NONE;
    const HRESULT hr = Direct3DDevice9_CreateDepthStencilSurface(
        (UINT)width, (UINT)height, (D3DFORMAT)D3D9TextureFormatTable.Format[slot], type, (DWORD)mode.MultiSampleQuality,
        TRUE, &s.ZBuffer, nullptr);
    if (FAILED(hr) || s.ZBuffer == nullptr) {
        s.ZBuffer = nullptr;
        LogLine(L"Ｚバッファの作成に失敗しました");
        return LogPlatformFailure(L"IDirect3DDevice9::CreateDepthStencilSurface", (unsigned long)hr);
    }
    Direct3DDevice9_SetDepthStencilSurface(s.ZBuffer);
    Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    LogLine(L"成功");
    return 0;
}

// ---- Vertex declarations ----------------------------------------------------------------------------

namespace {

#define D3D9_ELEMENT(Offset, Type, Usage, Index)                                          \
    {                                                                                     \
        0, Offset, D3DDECLTYPE_##Type, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_##Usage, Index \
    }

const D3DVERTEXELEMENT9 kVertex2D[] = {D3D9_ELEMENT(0, FLOAT4, POSITION, 0), D3D9_ELEMENT(16, D3DCOLOR, COLOR, 0),
                                       D3D9_ELEMENT(20, FLOAT2, TEXCOORD, 0), D3DDECL_END()};
const D3DVERTEXELEMENT9 kVertexNoTex2D[] = {D3D9_ELEMENT(0, FLOAT4, POSITION, 0), D3D9_ELEMENT(16, D3DCOLOR, COLOR, 0),
                                            D3DDECL_END()};
const D3DVERTEXELEMENT9 kVertexBlendTex2D[] = {
    D3D9_ELEMENT(0, FLOAT4, POSITION, 0),  D3D9_ELEMENT(16, D3DCOLOR, COLOR, 0),  D3D9_ELEMENT(20, D3DCOLOR, COLOR, 1),
    D3D9_ELEMENT(24, FLOAT2, TEXCOORD, 0), D3D9_ELEMENT(32, FLOAT2, TEXCOORD, 1), D3DDECL_END()};
const D3DVERTEXELEMENT9 kVertexNoTex3D[] = {D3D9_ELEMENT(0, FLOAT3, POSITION, 0), D3D9_ELEMENT(12, D3DCOLOR, COLOR, 0),
                                            D3DDECL_END()};
const D3DVERTEXELEMENT9 kVertex3DSimple[] = {D3D9_ELEMENT(0, FLOAT3, POSITION, 0), D3D9_ELEMENT(12, D3DCOLOR, COLOR, 0),
                                             D3D9_ELEMENT(16, FLOAT2, TEXCOORD, 0), D3DDECL_END()};
const D3DVERTEXELEMENT9 kVertex3D[] = {D3D9_ELEMENT(0, FLOAT3, POSITION, 0),
                                       D3D9_ELEMENT(12, FLOAT3, NORMAL, 0),
                                       D3D9_ELEMENT(24, D3DCOLOR, COLOR, 0),
                                       D3D9_ELEMENT(28, D3DCOLOR, COLOR, 1),
                                       D3D9_ELEMENT(32, FLOAT2, TEXCOORD, 0),
                                       D3D9_ELEMENT(40, FLOAT2, TEXCOORD, 1),
                                       D3DDECL_END()};
const D3DVERTEXELEMENT9 kVertex3DShader[] = {
    D3D9_ELEMENT(0, FLOAT3, POSITION, 0),  D3D9_ELEMENT(12, FLOAT4, POSITION, 1),
    D3D9_ELEMENT(28, FLOAT3, NORMAL, 0),   D3D9_ELEMENT(40, FLOAT3, TANGENT, 0),
    D3D9_ELEMENT(52, FLOAT3, BINORMAL, 0), D3D9_ELEMENT(64, D3DCOLOR, COLOR, 0),
    D3D9_ELEMENT(68, D3DCOLOR, COLOR, 1),  D3D9_ELEMENT(72, FLOAT2, TEXCOORD, 0),
    D3D9_ELEMENT(80, FLOAT2, TEXCOORD, 1), D3DDECL_END()};
// Position, colour, then eight coordinate sets of two floats each.
constexpr std::array<D3DVERTEXELEMENT9, 11> EightTexCoordElements()
{
    std::array<D3DVERTEXELEMENT9, 11> e = {
        {D3D9_ELEMENT(0, FLOAT4, POSITION, 0), D3D9_ELEMENT(16, D3DCOLOR, COLOR, 0)}};
    for (int i = 0; i < 8; ++i) e[2 + i] = D3D9_ELEMENT((WORD)(20 + 8 * i), FLOAT2, TEXCOORD, (BYTE)i);
    e[10] = D3DDECL_END();
    return e;
}
constexpr std::array<D3DVERTEXELEMENT9, 11> kVertex2DEightTexElements = EightTexCoordElements();
const D3DVERTEXELEMENT9 *const kVertex2DEightTex = kVertex2DEightTexElements.data();
#undef D3D9_ELEMENT

// By D3D9VertexTypeId, then the two user declarations.
const D3DVERTEXELEMENT9 *const kDeclarations[D3D9_VERTEX_DECLARATION_NUM] = {
    kVertex2D,      kVertexNoTex2D,  kVertex2D, kVertexBlendTex2D, kVertexBlendTex2D,
    kVertexNoTex3D, kVertex3DSimple, kVertex3D, kVertex3DShader,   kVertex2DEightTex};
const D3DVERTEXELEMENT9 *const kUserDeclarations[2] = {kVertex3D, kVertex3DShader};

}  // namespace

int Graphics_D3D9_CreateVertexDeclarations(void)
{
    D3D9ScreenData &s = D3D9Screen;
    auto create = [](const D3DVERTEXELEMENT9 *Elements, IDirect3DVertexDeclaration9 *&Declaration) {
        const HRESULT hr = Direct3DDevice9_CreateVertexDeclaration(Elements, &Declaration);
        if (SUCCEEDED(hr)) return 0;
        Declaration = nullptr;
        AddLogStringWide(L"頂点データ宣言の作成に失敗しました\n");
        return LogPlatformFailure(L"IDirect3DDevice9::CreateVertexDeclaration", (unsigned long)hr);
    };
    for (int i = 0; i < D3D9_VERTEX_DECLARATION_NUM; ++i)
        if (create(kDeclarations[i], s.VertexDeclaration[i]) < 0) return -1;
    for (int i = 0; i < 2; ++i)
        if (create(kUserDeclarations[i], s.UserVertexDeclaration[i]) < 0) return -1;
    return 0;
}

int Graphics_D3D9_ReleaseVertexDeclarations(void)
{
    D3D9ScreenData &s = D3D9Screen;
    if (D3D9CallLayer.Device != nullptr) {
        Graphics_D3D9_DeviceState_ResetVertexShader(0);
        if (D3D9DeviceStateCache.PixelShader != nullptr) Graphics_D3D9_DeviceState_SetPixelShader(nullptr, 0);
    }
    for (IDirect3DVertexDeclaration9 *&d : s.VertexDeclaration) ReleaseAndClear(d, Direct3D9_ReleaseObject);
    for (IDirect3DVertexDeclaration9 *&d : s.UserVertexDeclaration) ReleaseAndClear(d, Direct3D9_ReleaseObject);
    return 0;
}
