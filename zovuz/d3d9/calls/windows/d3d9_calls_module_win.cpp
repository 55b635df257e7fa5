// The call layer's module and creation functions: "d3d9.dll", the Direct3D object, the device
// with its swap chain, and the multisample and depth-format checks.
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

D3D9CallLayerData D3D9CallLayer;

#define SAME_FORMAT(name) ((unsigned)D3DFMT_##name == (unsigned)D3D9FMT_##name)
static_assert(SAME_FORMAT(A8R8G8B8) && SAME_FORMAT(X8R8G8B8) && SAME_FORMAT(R5G6B5) && SAME_FORMAT(X1R5G5B5) &&
                  SAME_FORMAT(A1R5G5B5) && SAME_FORMAT(A4R4G4B4) && SAME_FORMAT(G16R16) && SAME_FORMAT(A16B16G16R16) &&
                  SAME_FORMAT(L8) && SAME_FORMAT(A8L8) && SAME_FORMAT(D32) && SAME_FORMAT(D24X8) && SAME_FORMAT(D16) &&
                  SAME_FORMAT(L16) && SAME_FORMAT(R16F) && SAME_FORMAT(G16R16F) && SAME_FORMAT(A16B16G16R16F) &&
                  SAME_FORMAT(R32F) && SAME_FORMAT(G32R32F) && SAME_FORMAT(A32B32G32R32F) && SAME_FORMAT(DXT1) &&
                  SAME_FORMAT(DXT2) && SAME_FORMAT(DXT3) && SAME_FORMAT(DXT4) && SAME_FORMAT(DXT5),
              "the back end's format numbers are Direct3D's");
#undef SAME_FORMAT

namespace {

constexpr UINT SdkVersion = 32;

typedef IDirect3D9 *(WINAPI *Direct3DCreate9Function)(UINT SdkVersion);
typedef HRESULT(WINAPI *Direct3DCreate9ExFunction)(UINT SdkVersion, IDirect3D9Ex **Object);

int LogSucceeded()
{
    AddLogStringWide(L"成功\n");
    return 0;
}

UINT AdapterInUse() { return (UINT)(GetUseDisplayIndex() > 0 ? GetUseDisplayIndex() : 0); }

int ScreenDepthOfFormat(D3DFORMAT Format)
{
    switch (Format) {
        case D3DFMT_X8R8G8B8:
            return 32;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
            return 16;
        default:
            return 0;
    }
}

// Window mode: the back buffer takes the desktop's format, and the screen its depth.
int SetupWindowedParameters(D3DPRESENT_PARAMETERS *Parameters)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    D3DDISPLAYMODE desktop = {};
    Direct3D9_GetAdapterDisplayMode(0, &desktop);
    Parameters->BackBufferWidth = (UINT)s.MainScreenWidth;
    Parameters->BackBufferHeight = (UINT)s.MainScreenHeight;
    Parameters->BackBufferFormat = desktop.Format;
    Parameters->BackBufferCount = 1;
    Parameters->Windowed = TRUE;
    int depth = ScreenDepthOfFormat(desktop.Format);
    if (depth != 0) {
        s.MainScreenColorBitDepth = depth;
        SetMemImgDefaultColorType(depth == 32 ? 1 : 0);
    }
    SetDwmCompositionEnable(D3D9CallLayer.Settings.DwmMode == 2 ? 0 : 1);
    return 0;
}

// Full screen: the display mode chosen for the screen. -1 for a depth other than 16 or 32.
int SetupFullScreenParameters(D3DPRESENT_PARAMETERS *Parameters, D3DDISPLAYMODEEX *Mode)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    int width = 0, height = 0;
    SelectFullScreenDisplayModeSize(&width, &height);
    D3DFORMAT format;
    if (s.MainScreenColorBitDepth == 32) {
        format = D3DFMT_X8R8G8B8;
    } else if (s.MainScreenColorBitDepth == 16) {
        format = Direct3D9_GetAdapterModeCount(AdapterInUse(), D3DFMT_R5G6B5) > 0 ? D3DFMT_R5G6B5 : D3DFMT_X1R5G5B5;
    } else {
        AddLogStringWide(L"非対応のバックバッファービット深度が指定されました\n");
        return -1;
    }
    int refresh = s.FullScreenMode.RefreshRate > 0 ? s.FullScreenMode.RefreshRate : 0;
    AddLogFormat(L"画面解像度を %u x %u  リフレッシュレートを %dHz に変更します", (unsigned)width, (unsigned)height,
                 refresh);
    Parameters->BackBufferWidth = (UINT)width;
    Parameters->BackBufferHeight = (UINT)height;
    Parameters->BackBufferFormat = format;
    Parameters->BackBufferCount = 1;
    Parameters->Windowed = FALSE;
    Parameters->FullScreen_RefreshRateInHz = (UINT)refresh;
    Parameters->SwapEffect = D3DSWAPEFFECT_DISCARD;
    Mode->Size = sizeof(D3DDISPLAYMODEEX);
    Mode->Width = (UINT)width;
    Mode->Height = (UINT)height;
    Mode->RefreshRate = (UINT)refresh;
    Mode->Format = format;
    Mode->ScanLineOrdering = D3DSCANLINEORDERING_PROGRESSIVE;
    if (D3D9CallLayer.Settings.DwmMode != 1) {
        SetDwmCompositionEnable(0);
        AddLogStringWide(L"Desktop Window Manager を無効にしました\n");
    }
    return 0;
}

// Multisampling, swap effect, window, interval and flags, common to both modes.
void SetupCommonParameters(D3DPRESENT_PARAMETERS *Parameters)
{
    GraphicsDeviceModeData &mode = GraphicsDeviceMode;
    D3DMULTISAMPLE_TYPE type =
        mode.MultiSampleCount >= 2 ? (D3DMULTISAMPLE_TYPE)mode.MultiSampleCount : D3DMULTISAMPLE_NONE;
    DWORD quality = mode.MultiSampleQuality > 0 ? (DWORD)mode.MultiSampleQuality : 0;
    if (type != D3DMULTISAMPLE_NONE) {
        Direct3D9_CheckMultiSampleType(Parameters->BackBufferFormat, &type, &quality, 0);
        mode.MultiSampleCount = (int)type;
        mode.MultiSampleQuality = (int)quality;
    } else {
        mode.MultiSampleQuality = 0;
        quality = 0;
    }
    Parameters->MultiSampleType = type;
    Parameters->MultiSampleQuality = quality;
    if (Parameters->Windowed)
        Parameters->SwapEffect = type == D3DMULTISAMPLE_NONE ? D3DSWAPEFFECT_COPY : D3DSWAPEFFECT_DISCARD;
    Parameters->hDeviceWindow = (HWND)GetDisplayWindowHandle();
    Parameters->PresentationInterval =
        GraphicsScreenSettings.NotWaitVSyncFlag ? D3DPRESENT_INTERVAL_IMMEDIATE : D3DPRESENT_INTERVAL_ONE;
    Parameters->Flags = type == D3DMULTISAMPLE_NONE ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    Parameters->EnableAutoDepthStencil = FALSE;
}

// Hardware vertex processing needs both shader versions at 2.0 or above.
void ReadVertexProcessing()
{
    D3D9CallLayerData &c = D3D9CallLayer;
    c.HardwareVertexProcessing = 0;
    if (c.Settings.SoftwareVertexProcessingFlag == 1) return;
    D3DCAPS9 caps = {};
    Direct3D9_GetDeviceCaps(AdapterInUse(), D3DDEVTYPE_HAL, &caps);
    c.VertexShaderVersion = caps.VertexShaderVersion;
    c.HardwareVertexProcessing =
        (caps.VertexShaderVersion & 0xFFFF) >= 0x200 && (caps.PixelShaderVersion & 0xFFFF) >= 0x200 ? 1 : 0;
}

DWORD BehaviourFlags(int Hardware)
{
    const D3D9CreationSettingsData &s = D3D9CallLayer.Settings;
    DWORD flags = Hardware ? D3DCREATE_MIXED_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (s.MultiThreadFlag) flags |= D3DCREATE_MULTITHREADED;
    if (s.FpuPreserveFlag) flags |= D3DCREATE_FPU_PRESERVE;
    return flags;
}

// The two attempts of a device creation: with the vertex processing read from the caps (unless
// software was asked for), then with software vertex processing. The attempt that succeeded (1
// or 2), or 0 with the last attempt's answer in *Failure.
template <typename Create>
int TryBothVertexProcessings(Create CreateWith, HRESULT *Failure)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    if (c.Settings.SoftwareVertexProcessingFlag != 1 &&
        SUCCEEDED(*Failure = CreateWith(BehaviourFlags(c.HardwareVertexProcessing))))
        return 1;
    c.HardwareVertexProcessing = 0;
    if (SUCCEEDED(*Failure = CreateWith(BehaviourFlags(0)))) return 2;
    return 0;
}

// Every buffer of the chain starts in the clear colour.
void ClearEveryBuffer(HWND Window)
{
    const GraphicsStateData &g = GraphicsState;
    D3DCOLOR color = 0;
    if (GetWindowModeFlag() || GraphicsScreenSettings.FullScreenScalingModeInEffect == FULLSCREEN_SCALING_EXACT)
        color =
            (D3DCOLOR)((g.BackgroundRed & 0xFF) << 16 | (g.BackgroundGreen & 0xFF) << 8 | (g.BackgroundBlue & 0xFF));
    Direct3DDevice9_SetRenderState(D3DRS_ZENABLE, TRUE);
    for (int i = 0; i < 3; ++i) {
        Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
        Direct3DDevice9_PresentBuffers(nullptr, nullptr, Window, nullptr);
    }
    Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
}

// Asks the adapter for quality levels of one count: the count when it has some, with their number.
HRESULT QualityLevels(D3DFORMAT Format, D3DMULTISAMPLE_TYPE Type, DWORD *Levels)
{
    *Levels = 0;
    return Direct3D9_CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, Format, GetWindowModeFlag() ? TRUE : FALSE, Type,
                                                Levels);
}

}  // namespace

int Direct3DDevice9_IsValid(void) { return D3D9CallLayer.Device != nullptr ? 1 : 0; }
int Direct3D9_IsValid(void) { return D3D9CallLayer.Direct3D != nullptr ? 1 : 0; }
int Direct3D9Ex_IsValid(void) { return D3D9CallLayer.Direct3DEx != nullptr ? 1 : 0; }

int Direct3D9_LoadDLL(void)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    if (c.Module != nullptr) return 0;
    c.Module = LoadLibraryW(L"d3d9.dll");
    if (c.Module == nullptr) {
        const DWORD error = GetLastError();
        AddLogStringWide(L"d3d9.dll の読み込みに失敗しました\n");
        return LogPlatformFailure(L"LoadLibraryW(d3d9.dll)", error);
    }
    return 0;
}

int Direct3D9_FreeDLL(void)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    if (c.Module == nullptr) return 0;
    AddLogStringWide(L"d3d9.dll の解放 1\n");
    FreeLibrary(c.Module);
    c.Module = nullptr;
    return 0;
}

int Direct3D9_Create(void)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    Direct3D9_Release();
    c.Direct3DEx = nullptr;
    if (c.Module == nullptr) return -1;
    if (!c.NoExFlag) {
        AddLogStringWide(L"IDirect3D9Ex オブジェクトを取得します.... ");
        auto createEx = (Direct3DCreate9ExFunction)(void *)GetProcAddress(c.Module, "Direct3DCreate9Ex");
        IDirect3D9Ex *object = nullptr;
        if (createEx != nullptr && SUCCEEDED(createEx(SdkVersion, &object)) && object != nullptr) {
            c.Direct3DEx = object;
            c.Direct3D = object;
        }
    }
    if (c.Direct3D == nullptr) {
        AddLogStringWide(L"IDirect3D9 オブジェクトを取得します.... ");
        auto create = (Direct3DCreate9Function)(void *)GetProcAddress(c.Module, "Direct3DCreate9");
        if (create == nullptr) {
            const DWORD error = GetLastError();
            AddLogStringWide(L"Direct3DCreate9 APIのアドレス取得に失敗しました\n");
            return LogPlatformFailure(L"GetProcAddress(Direct3DCreate9)", error);
        }
        c.Direct3D = create(SdkVersion);
        if (c.Direct3D == nullptr) {
            // Direct3DCreate9 answers no code of its own: the thread's last error stands in.
            const DWORD error = GetLastError();
            AddLogStringWide(L"IDirect3D9 オブジェクトの取得に失敗しました\n");
            return LogPlatformFailure(L"Direct3DCreate9", error);
        }
    }
    return LogSucceeded();
}

int Direct3D9_Release(void)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    if (c.Direct3D == nullptr) return 0;
    int references = (int)Direct3D9_ReleaseObject(c.Direct3D);
    c.Direct3D = nullptr;
    c.Direct3DEx = nullptr;
    return references;
}

int Direct3DDevice9_ReleaseDevice(void)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    ReleaseAndClear(c.SwapChain, Direct3D9_ReleaseObject);
    if (c.Device != nullptr) AddLogStringWide(L"Direct3DDevice9 の解放 2\n");
    ReleaseAndClear(c.Device, Direct3D9_ReleaseObject);
    c.DeviceEx = nullptr;
    for (IDirect3DSurface9 *&target : c.BoundTargets) target = nullptr;
    return 0;
}

int Direct3D9_CreateDevice(void)
{
    D3D9CallLayerData &c = D3D9CallLayer;
    if (c.Direct3D == nullptr) return -1;
    D3DPRESENT_PARAMETERS parameters = {};
    D3DDISPLAYMODEEX mode = {};
    int windowMode = GetWindowModeFlag();
    if (windowMode)
        SetupWindowedParameters(&parameters);
    else if (SetupFullScreenParameters(&parameters, &mode) < 0)
        return -1;
    SetupCommonParameters(&parameters);
    ReadVertexProcessing();

    HWND focus = (HWND)GetMainWindowHandle();
    UINT adapter = AdapterInUse();
    int attempt;
    HRESULT failure = S_OK;
    if (c.Direct3DEx != nullptr) {
        AddLogStringWide(L"IDirect3DDevice9Ex オブジェクトを取得します.... ");
        IDirect3DDevice9Ex *device = nullptr;
        attempt = TryBothVertexProcessings(
            [&](DWORD Flags) {
                D3DPRESENT_PARAMETERS p = parameters;
                return Direct3D9Ex_CreateDeviceEx(c.Direct3DEx, adapter, D3DDEVTYPE_HAL, focus, Flags, &p,
                                                  windowMode ? nullptr : &mode, &device);
            },
            &failure);
        if (attempt == 0 || device == nullptr) {
            c.NoExFlag = 1;
            AddLogStringWide(L"Direct3DDevice9Ex の作成に失敗しました\n");
            LogPlatformFailure(L"IDirect3D9Ex::CreateDeviceEx", (unsigned long)failure);
            return -2;
        }
        c.DeviceEx = device;
        c.Device = device;
    } else {
        AddLogStringWide(L"IDirect3DDevice9 オブジェクトを取得します.... ");
        IDirect3DDevice9 *device = nullptr;
        attempt = TryBothVertexProcessings(
            [&](DWORD Flags) {
                D3DPRESENT_PARAMETERS p = parameters;
                return Direct3D9_CreateDeviceObject(adapter, D3DDEVTYPE_HAL, focus, Flags, &p, &device);
            },
            &failure);
        if (attempt == 0 || device == nullptr) {
            AddLogStringWide(L"Direct3DDevice9 の作成に失敗しました\n");
            return LogPlatformFailure(L"IDirect3D9::CreateDevice", (unsigned long)failure);
        }
        c.Device = device;
    }
    c.SwapEffect = parameters.SwapEffect;
    AddLogStringWide(attempt == 1 ? L"ハードウエア頂点演算を使用します\n" : L"ソフトウエア頂点演算を使用します\n");
    if (c.DeviceEx != nullptr) Direct3DDevice9Ex_SetMaximumFrameLatency(c.DeviceEx, 1);

    ClearEveryBuffer(parameters.hDeviceWindow);
    if (FAILED(Direct3DDevice9_GetSwapChain(0, &c.SwapChain))) c.SwapChain = nullptr;
    return 0;
}

int Direct3D9_CheckMultiSampleType(D3DFORMAT Format, D3DMULTISAMPLE_TYPE *Type, DWORD *Quality, int Strict)
{
    // The colour format first, then the depth buffer that goes with it, each lowering the count.
    DWORD colorLevels = 0, depthLevels = 0;
    const D3DFORMAT formats[2] = {Format, D3DFMT_D16};
    DWORD *levels[2] = {&colorLevels, &depthLevels};
    for (int i = 0; i < 2; ++i) {
        while (FAILED(QualityLevels(formats[i], *Type, levels[i]))) {
            if (Strict) {
                *Quality = 0;
                return -1;
            }
            if (*Type <= 1) {
                *Type = D3DMULTISAMPLE_NONE;
                *Quality = 0;
                return 0;
            }
            *Type = (D3DMULTISAMPLE_TYPE)(*Type - 1);
        }
    }
    // The colour levels again at the count the depth format settled on.
    QualityLevels(Format, *Type, &colorLevels);
    DWORD cap = colorLevels < depthLevels ? colorLevels : depthLevels;
    if (cap == 0)
        *Quality = 0;
    else if (*Quality > cap - 1)
        *Quality = cap - 1;
    return 0;
}

int Direct3D9_CheckMultiSampleType_ASync(D3DFORMAT Format, D3DMULTISAMPLE_TYPE *Type, DWORD *Quality, int Strict,
                                         int ASyncThread)
{
    if (!ASyncThread) return Direct3D9_CheckMultiSampleType(Format, Type, Quality, Strict);
    return RequestMainThreadReplay(Direct3D9_CheckMultiSampleType_ASyncCallback, Format, Type, Quality, Strict);
}

int Direct3D9_CheckMultiSampleType_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return ReplayMainThreadCall(Direct3D9_CheckMultiSampleType, Info);
}

int Direct3D9_CheckFormat(UINT Adapter, D3DDEVTYPE Type, D3DFORMAT AdapterFormat, D3DFORMAT TargetFormat,
                          D3DFORMAT DepthFormat)
{
    if (FAILED(Direct3D9_CheckDeviceFormat(Adapter, Type, AdapterFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                           DepthFormat)))
        return -1;
    if (FAILED(Direct3D9_CheckDepthStencilMatch(Adapter, Type, AdapterFormat, TargetFormat, DepthFormat))) return -1;
    return 0;
}
