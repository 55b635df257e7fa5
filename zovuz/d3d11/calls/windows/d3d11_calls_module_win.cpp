// The call layer's module and device functions: the two DLLs, the factory, the device with its
// contexts, the end of them all, the multisample negotiation and the live-object dump.
#include "zovuz/d3d11/calls/windows/d3d11_calls.h"
#include "zovuz/core/zovuz_core.h"

D3D11CallLayerData D3D11CallLayer;

#define SAME_FORMAT(name) ((int)DXGI_FORMAT_##name == (int)D3D11FMT_##name)
static_assert(SAME_FORMAT(R32G32B32A32_FLOAT) && SAME_FORMAT(R16G16B16A16_FLOAT) && SAME_FORMAT(R16G16B16A16_UNORM) &&
                  SAME_FORMAT(R32G32_FLOAT) && SAME_FORMAT(R8G8B8A8_UNORM) && SAME_FORMAT(R16G16_FLOAT) &&
                  SAME_FORMAT(R16G16_UNORM) && SAME_FORMAT(R32_TYPELESS) && SAME_FORMAT(D32_FLOAT) &&
                  SAME_FORMAT(R32_FLOAT) && SAME_FORMAT(R24G8_TYPELESS) && SAME_FORMAT(D24_UNORM_S8_UINT) &&
                  SAME_FORMAT(R8G8_UNORM) && SAME_FORMAT(R16_FLOAT) && SAME_FORMAT(D16_UNORM) &&
                  SAME_FORMAT(R16_UNORM) && SAME_FORMAT(R8_UNORM) && SAME_FORMAT(BC1_UNORM) && SAME_FORMAT(BC2_UNORM) &&
                  SAME_FORMAT(BC3_UNORM) && SAME_FORMAT(B5G6R5_UNORM) && SAME_FORMAT(B8G8R8A8_UNORM) &&
                  SAME_FORMAT(B8G8R8X8_UNORM),
              "the back end's format numbers are DXGI's");
#undef SAME_FORMAT
static_assert((int)D3D11_FORMAT_SUPPORT_TEXTURE2D == D3D11_SUPPORT_TEXTURE2D &&
                  (int)D3D11_FORMAT_SUPPORT_RENDER_TARGET == D3D11_SUPPORT_RENDER_TARGET &&
                  (int)D3D11_FORMAT_SUPPORT_DEPTH_STENCIL == D3D11_SUPPORT_DEPTH_STENCIL,
              "the back end's support bits are Direct3D's");
static_assert((int)D3D_FEATURE_LEVEL_9_1 == D3D11_LEVEL_9_1 && (int)D3D_FEATURE_LEVEL_11_1 == D3D11_LEVEL_11_1,
              "the back end's feature levels are Direct3D's");

namespace {

const D3D11ModuleFunctions SystemModules = {
    .Load = LoadLibraryW,
    .GetProc = GetProcAddress,
    .Free = FreeLibrary,
};

const D3D11ModuleFunctions &Modules()
{
    return D3D11CallLayer.Modules != nullptr ? *D3D11CallLayer.Modules : SystemModules;
}

// The end of a logged step: "成功" or "失敗".
int StepSucceeded()
{
    AddLogStringWide(L"成功\n");
    return 0;
}

int StepFailed()
{
    AddLogStringWide(L"失敗\n");
    return -1;
}

void EndContext(ID3D11DeviceContext *&Context)
{
    if (Context == nullptr) return;
    Context->ClearState();
    Context->Flush();
    ReleaseAndClear(Context);
}

// The levels device creation asks for, in the table's order; their number.
int RequestedFeatureLevels(D3D_FEATURE_LEVEL *Levels)
{
    D3D11CreationSettingsData &s = D3D11CallLayer.Settings;
    if (s.MinFeatureLevel <= 0 && s.UseWarpFlag) s.MinFeatureLevel = D3D11_LEVEL_10_0;
    int n = 0;
    if (s.MinFeatureLevel > 0) {
        AddLogStringWide(L"指定の Direct3D 11 FeatureLevel 以上を対象とします\n");
        for (int i = 0; D3D11FeatureLevelList[i] != -1; ++i)
            if (D3D11FeatureLevelList[i] >= s.MinFeatureLevel)
                Levels[n++] = (D3D_FEATURE_LEVEL)D3D11FeatureLevelList[i];
    } else {
        AddLogStringWide(L"Direct3D 11 FeatureLevel 11_0 以上を対象とします\n");
        Levels[n++] = D3D_FEATURE_LEVEL_11_1;
        Levels[n++] = D3D_FEATURE_LEVEL_11_0;
    }
    return n;
}

// Device creation's failure path: everything its steps made, in this order.
int FailDeviceCreation(const wchar_t *Call, HRESULT Result)
{
    StepFailed();
    LogPlatformFailure(Call, (unsigned long)Result);
    D3D11CallLayerData &c = D3D11CallLayer;
    ReleaseAndClear(c.DeferredContext);
    ReleaseAndClear(c.Context);
    ReleaseAndClear(c.Device);
    ReleaseAndClear(c.Adapter);
    ReleaseAndClear(c.DXGIDevice);
    c.FeatureLevel = 0;
    return -1;
}

// The sample count that Format has quality levels for, from *SampleCount down: 0 with the count
// (and its level count) found or lowered to 1; -1 when Strict refuses to lower it.
int FindSampleCount(DXGI_FORMAT Format, UINT *SampleCount, UINT *Levels, int Strict)
{
    for (;;) {
        *Levels = 0;
        HRESULT result = D3D11CallLayer.Device->CheckMultisampleQualityLevels(Format, *SampleCount, Levels);
        if (result == S_OK && *Levels > 0) return 0;
        if (Strict) return -1;
        if (--*SampleCount <= 1) return 0;
    }
}

const wchar_t *const ObjectCountFormats[D3D11_OBJECT_TYPE_NUM] = {
    L"ID3D11Buffer : %d",           L"ID3D11Texture1D : %d",          L"ID3D11Texture2D : %d",
    L"ID3D11Texture3D : %d",        L"ID3D11ShaderResourceView : %d", L"ID3D11RenderTargetView : %d",
    L"ID3D11DepthStencilView : %d", L"ID3D11InputLayout : %d",        L"ID3D11VertexShader : %d",
    L"ID3D11PixelShader : %d",      L"ID3D11BlendState : %d",         L"ID3D11DepthStencilState : %d",
    L"ID3D11RasterizerState : %d",  L"ID3D11SamplerState : %d",
};

}  // namespace

const D3D11ModuleFunctions *D3D11_SetModuleFunctions(const D3D11ModuleFunctions *Functions)
{
    const D3D11ModuleFunctions *previous = D3D11CallLayer.Modules;
    D3D11CallLayer.Modules = Functions;
    return previous;
}

// ---- Modules ------------------------------------------------------------------------------------

namespace {

// One DLL's load and free, with their log lines; the announcement names the file.
int LoadOneDLL(HMODULE &Module, const wchar_t *FileName, const wchar_t *Announcement, const wchar_t *Call)
{
    if (Module != nullptr) return 0;
    AddLogStringWide(Announcement);
    Module = Modules().Load(FileName);
    if (Module == nullptr) {
        StepFailed();
        return LogPlatformFailure(Call, GetLastError());
    }
    return StepSucceeded();
}

int FreeOneDLL(HMODULE &Module, const wchar_t *Line)
{
    if (Module == nullptr) return 0;
    AddLogStringWide(Line);
    Modules().Free(Module);
    Module = nullptr;
    return 0;
}

}  // namespace

int D3D11_LoadDLL(void)
{
    return LoadOneDLL(D3D11CallLayer.D3D11Module, L"d3d11.dll", L"d3d11.dll の読み込み.... ",
                      L"LoadLibraryW(d3d11.dll)");
}

int DXGI_LoadDLL(void)
{
    if (LoadOneDLL(D3D11CallLayer.DXGIModule, L"dxgi.dll", L"dxgi.dll の読み込み.... ", L"LoadLibraryW(dxgi.dll)") == 0)
        return 0;
    // A back end without DXGI keeps neither DLL.
    D3D11_FreeDLL();
    return -1;
}

int D3D11_FreeDLL(void) { return FreeOneDLL(D3D11CallLayer.D3D11Module, L"d3d11.dll の解放 1\n"); }

int DXGI_FreeDLL(void) { return FreeOneDLL(D3D11CallLayer.DXGIModule, L"dxgi.dll の解放 1\n"); }

// ---- Factory ------------------------------------------------------------------------------------

int DXGI_CreateFactory(void)
{
    D3D11CallLayerData &c = D3D11CallLayer;
    DXGI_ReleaseFactory();
    if (c.DXGIModule == nullptr) return -1;

    typedef HRESULT(WINAPI * CreateFactoryFunction)(REFIID Riid, void **Factory);
    AddLogStringWide(L"API CreateDXGIFactory1 のアドレスを取得します.... ");
    auto create1 = (CreateFactoryFunction)(void *)Modules().GetProc(c.DXGIModule, "CreateDXGIFactory1");
    if (create1 != nullptr) {
        StepSucceeded();
        AddLogStringWide(L"IDXGIFactory1 を作成します.... ");
        HRESULT result = create1(__uuidof(IDXGIFactory1), (void **)&c.Factory1);
        if (result == S_OK && c.Factory1 != nullptr) {
            c.Factory = c.Factory1;
            return StepSucceeded();
        }
        c.Factory1 = nullptr;
        StepFailed();
        LogPlatformFailure(L"CreateDXGIFactory1", (unsigned long)result);
    } else {
        StepFailed();
    }

    AddLogStringWide(L"API CreateDXGIFactory のアドレスを取得します.... ");
    auto create = (CreateFactoryFunction)(void *)Modules().GetProc(c.DXGIModule, "CreateDXGIFactory");
    if (create == nullptr) return StepFailed();
    StepSucceeded();
    AddLogStringWide(L"IDXGIFactory を作成します.... ");
    HRESULT result = create(__uuidof(IDXGIFactory), (void **)&c.Factory);
    if (result != S_OK || c.Factory == nullptr) {
        c.Factory = nullptr;
        StepFailed();
        return LogPlatformFailure(L"CreateDXGIFactory", (unsigned long)result);
    }
    return StepSucceeded();
}

int DXGI_ReleaseFactory(void)
{
    // Factory1, when set, is the same object as Factory: one reference.
    ReleaseAndClear(D3D11CallLayer.Factory);
    D3D11CallLayer.Factory1 = nullptr;
    return 0;
}

// ---- Device -------------------------------------------------------------------------------------

int D3D11_CreateDevice(void)
{
    D3D11CallLayerData &c = D3D11CallLayer;
    if (c.D3D11Module == nullptr) return -1;

    if (GetWindowModeFlag() == 1) SetDwmCompositionEnable(c.Settings.DwmMode == 2 ? 0 : 1);

    AddLogStringWide(L"API D3D11CreateDevice のアドレスを取得します.... ");
    auto create = (PFN_D3D11_CREATE_DEVICE)(void *)Modules().GetProc(c.D3D11Module, "D3D11CreateDevice");
    if (create == nullptr) return StepFailed();
    StepSucceeded();

    AddLogStringWide(L"IDXGIAdapter を取得します.... ");
    HRESULT result = c.Factory != nullptr ? c.Factory->EnumAdapters(0, &c.Adapter) : E_POINTER;
    if (FAILED(result)) return FailDeviceCreation(L"IDXGIFactory::EnumAdapters", result);
    StepSucceeded();

    D3D_FEATURE_LEVEL levels[8];
    int levelNum = RequestedFeatureLevels(levels);

    AddLogStringWide(L"ID3D11Device オブジェクトを取得します.... ");
    const bool warp = c.Settings.UseWarpFlag != 0;
    D3D_FEATURE_LEVEL obtained = (D3D_FEATURE_LEVEL)0;
    result = create(warp ? nullptr : c.Adapter, warp ? D3D_DRIVER_TYPE_WARP : D3D_DRIVER_TYPE_UNKNOWN, nullptr,
                    c.Settings.MultiThreadFlag ? 0 : D3D11_CREATE_DEVICE_SINGLETHREADED, levels, (UINT)levelNum,
                    D3D11_SDK_VERSION, &c.Device, &obtained, &c.Context);
    if (result != S_OK) return FailDeviceCreation(L"D3D11CreateDevice", result);
    c.FeatureLevel = obtained;
    StepSucceeded();

    if (c.Settings.MultiThreadFlag) {
        AddLogStringWide(L"ID3D11DeviceContext( DeferredContext ) オブジェクトを取得します.... ");
        result = c.Device->CreateDeferredContext(0, &c.DeferredContext);
        if (result != S_OK) return FailDeviceCreation(L"ID3D11Device::CreateDeferredContext", result);
        StepSucceeded();
    }

    // Without its DXGI side the device still draws; only the frame latency stays the system's.
    AddLogStringWide(L"IDXGIDevice1 を取得します.... ");
    result = c.Device->QueryInterface(__uuidof(IDXGIDevice1), (void **)&c.DXGIDevice);
    if (result == S_OK && c.DXGIDevice != nullptr) {
        StepSucceeded();
        c.DXGIDevice->SetMaximumFrameLatency(1);
        AddLogStringWide(L"IDXGIDevice1->SetMaximunFrameLatency( 1 ); を実行しました\n");
    } else {
        c.DXGIDevice = nullptr;
        StepFailed();
    }
    return 0;
}

int D3D11_Terminate(void)
{
    D3D11CallLayerData &c = D3D11CallLayer;
    EndContext(c.DeferredContext);
    EndContext(c.Context);
    ReleaseAndClear(c.DXGIDevice);
    ReleaseAndClear(c.Device);
    ReleaseAndClear(c.Adapter);
    DXGI_ReleaseFactory();
    c.FeatureLevel = 0;
    return 0;
}

int D3D11_GetFeatureLevel(void) { return D3D11CallLayer.FeatureLevel; }

int D3D11Device_IsValid(void) { return D3D11CallLayer.Device != nullptr ? 1 : 0; }

int DXGIFactory_IsValid(void) { return D3D11CallLayer.Factory != nullptr ? 1 : 0; }

// ---- Multisampling --------------------------------------------------------------------------------

int D3D11Device_CheckMultisampleQualityLevels(DXGI_FORMAT Format, UINT *SampleCount, UINT *Quality, int Strict)
{
    if (*SampleCount <= 1) {
        *Quality = 0;
        return 0;
    }
    if (D3D11CallLayer.Device == nullptr) {
        *Quality = 0;
        return -1;
    }

    UINT colorLevels = 0, depthLevels = 0;
    if (FindSampleCount(Format, SampleCount, &colorLevels, Strict) < 0) {
        *Quality = 0;
        return -1;
    }
    if (*SampleCount > 1) {
        UINT colorCount = *SampleCount;
        if (FindSampleCount(DXGI_FORMAT_D16_UNORM, SampleCount, &depthLevels, Strict) < 0) {
            *Quality = 0;
            return -1;
        }
        // The depth format may have lowered the count: the colour format's levels are those of
        // the count reached, not of the higher one it was first found at.
        if (*SampleCount > 1 && *SampleCount != colorCount &&
            (D3D11CallLayer.Device->CheckMultisampleQualityLevels(Format, *SampleCount, &colorLevels) != S_OK ||
             colorLevels == 0))
            *SampleCount = 1;
    }
    if (*SampleCount <= 1) {
        *Quality = 0;
        return 0;
    }
    UINT maxQuality = (colorLevels < depthLevels ? colorLevels : depthLevels) - 1;
    if (*Quality > maxQuality) *Quality = maxQuality;
    return 0;
}

int D3D11Device_CheckMultisampleQualityLevels_ASync(DXGI_FORMAT Format, UINT *SampleCount, UINT *Quality, int Strict,
                                                    int ASyncThread)
{
    if (!ASyncThread) return D3D11Device_CheckMultisampleQualityLevels(Format, SampleCount, Quality, Strict);
    return RequestMainThreadReplay(D3D11Device_CheckMultisampleQualityLevels_ASyncCallback, Format, SampleCount,
                                   Quality, Strict);
}

int D3D11Device_CheckMultisampleQualityLevels_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(D3D11Device_CheckMultisampleQualityLevels, Info);
}

// ---- The live-object dump -------------------------------------------------------------------------

int D3D11_OutputObjectCount(void)
{
    AddLogStringWide(L"Direct3D11 のオブジェクト数を出力\n");
    int total = 0;
    for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type) {
        int count = D3D11CallLayer.ObjectCount[type];
        if (count <= 0) continue;
        AddLogFormatWide(ObjectCountFormats[type], count);
        total += count;
    }
    AddLogFormat(L"Direct3D11 のオブジェクト合計数 : %d", total);
    return 0;
}

int D3D11_GetObjectCount(int Type)
{
    if (Type < 0 || Type >= D3D11_OBJECT_TYPE_NUM) return -1;
    return D3D11CallLayer.ObjectCount[Type];
}
