// The Direct3D 9 back end's life: start-up, the initialise that builds the device and what lives
// with it, its undoing, the release of every device object, the screen-mode change that rebuilds
// them, the lost device and the end.
#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_win.h"
#include "zovuz/d3d9/windows/d3d9_handle_objects_win.h"
#include "zovuz/core/zovuz_core.h"

D3D9BackendData D3D9Backend = {0, {-0.5f, -0.5f}, nullptr, nullptr, nullptr, nullptr};

namespace {

// A graph texture entry's objects released, the texture last.
void ReleaseTextureObjects(GraphicsBackendObjectData *Part)
{
    D3D9TextureObjects *objects = D3D9TextureObjectsOf(Part);
    if (objects == nullptr) return;
    ReleaseAndClear(objects->LevelSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(objects->DepthSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(objects->RenderSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(objects->Texture, Direct3D9_ReleaseObject);
}

// Initialise's failure path: everything made so far, in this order.
int FailInitialize()
{
    D3D9ScreenData &s = D3D9Screen;
    ReleaseAndClear(s.ZBuffer, Direct3D9_ReleaseObject);
    ReleaseAndClear(D3D9DeviceCapsInfo.BackBuffer, Direct3D9_ReleaseObject);
    Direct3DDevice9_ReleaseDevice();
    D3D9Backend.SceneOpenFlag = 0;
    Direct3D9_Release();
    Direct3D9_FreeDLL();
    DirectDraw7_Release();
    return -1;
}

}  // namespace

int Graphics_D3D9_IsDeviceValid(void) { return Direct3DDevice9_IsValid(); }

int Graphics_D3D9_Initialize(void)
{
    GraphicsStateData &g = GraphicsState;
    g.HardwareInUseFlag = 0;
    if (Direct3D9_LoadDLL() < 0 || DirectDraw7_Create() < 0) return FailInitialize();
    int result;
    do {
        if (Direct3D9_Create() != 0) return FailInitialize();
        result = Graphics_D3D9_CreateDevice();
    } while (result == -2);
    if (result != 0) return FailInitialize();
    if (Graphics_D3D9_CreateZBuffer() != 0) return FailInitialize();

    Graphics_D3D9_Shader_Initialize();
    if (GraphicsDeviceCaps.ProgrammableShaderFlag) {
        Graphics_D3D9_CreateVertexDeclarations();
        if (!GetWindowModeFlag()) Graphics_D3D9_SetupSubBackBuffer();
    }
    g.HardwareInUseFlag = 1;
    return 0;
}

int Graphics_D3D9_Startup(void)
{
    // The manager is cleared before the device's start rather than after it, so that the two
    // constants the shader start writes into set 0 are kept and sent by the apply.
    Graphics_D3D9_ShaderConstant_Initialize(&ShaderConstantManager);
    if (Graphics_D3D9_Initialize() < 0) return -1;
    Graphics_D3D9_ShaderConstant_Apply(&ShaderConstantManager, 1);
    return 0;
}

int Graphics_D3D9_TerminateDevice(void)
{
    D3D9ScreenData &s = D3D9Screen;
    D3D9DeviceStateCache = D3D9DeviceStateCacheData();
    Graphics_D3D9_ReleaseVertexDeclarations();
    Graphics_D3D9_Shader_Terminate();
    if (s.DisplayModeChangedFlag) {
        ChangeDisplaySettingsA(nullptr, 0);
        s.DisplayModeChangedFlag = 0;
    }
    ReleaseAndClear(s.ZBuffer, Direct3D9_ReleaseObject);
    ReleaseAndClear(s.SubBackBufferSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(s.SubBackBufferTexture, Direct3D9_ReleaseObject);
    ReleaseAndClear(D3D9DeviceCapsInfo.BackBuffer, Direct3D9_ReleaseObject);
    Direct3DDevice9_ReleaseDevice();
    D3D9Backend.SceneOpenFlag = 0;
    Direct3D9_Release();
    DirectDraw7_Release();
    Direct3D9_FreeDLL();
    return 0;
}

int Graphics_D3D9_Terminate(void)
{
    Graphics_D3D9_TerminateDevice();
    Graphics_D3D9_ReleaseShaderPack();
    return 0;
}

int Graphics_D3D9_ReleaseHandleObjects(void)
{
    ForEachHandle<GraphHandleData>(DX_HANDLETYPE_GRAPH, [](GraphHandleData *Graph) {
        GraphImageRecord *image = Graph->Image;
        if (image != nullptr && image->Format.HardwareFlag)
            for (int i = 0; i < image->TextureNum; ++i) ReleaseTextureObjects(image->Texture[i].PF);
        // A movie's decoder keeps a surface of the device too: it is made again with the next frame.
        const MovieFunctions *movies = GetMovieFunctions();
        if (Graph->MovieHandle != -1 && movies != nullptr && movies->RefreshMovieSurface != nullptr)
            movies->RefreshMovieSurface(Graph->MovieHandle);
    });
    ForEachHandle<ShadowMapHandleData>(DX_HANDLETYPE_SHADOWMAP, Graphics_D3D9_ShadowMap_Release);
    ForEachHandle<VertexBufferHandleData>(DX_HANDLETYPE_VERTEX_BUFFER, Graphics_D3D9_VertexBuffer_Release);
    ForEachHandle<IndexBufferHandleData>(DX_HANDLETYPE_INDEX_BUFFER, Graphics_D3D9_IndexBuffer_Release);
    ForEachHandle<ShaderHandleData>(DX_HANDLETYPE_SHADER, Graphics_D3D9_Shader_Release);
    // The caches outlive the device: their entries keep their keys for the re-creation.
    D3D9MemoryImageCache_ReleaseObjects(&D3D9MemoryTextureCache);
    D3D9MemoryImageCache_ReleaseObjects(&D3D9MemorySurfaceCache);
    return 0;
}

int Graphics_D3D9_ReleaseDeviceObjects(void)
{
    ReleaseMaskScreen();
    Graphics_D3D9_ReleaseHandleObjects();
    Graphics_D3D9_TerminateDevice();
    return 0;
}

int Graphics_D3D9_RecreateDeviceObjects(void)
{
    D3D9MemoryImageCache_RecreateObjects(&D3D9MemoryTextureCache);
    D3D9MemoryImageCache_RecreateObjects(&D3D9MemorySurfaceCache);
    ForEachHandle<GraphHandleData>(DX_HANDLETYPE_GRAPH, [](GraphHandleData *Graph) {
        GraphImageRecord *image = Graph->Image;
        // An image record serves several graphs: its textures are made once.
        if (image == nullptr || !image->Format.HardwareFlag || image->TextureNum <= 0) return;
        if (image->Texture[0].PF != nullptr && D3D9TextureObjectsOf(image->Texture[0].PF)->Texture != nullptr) return;
        Graphics_Hardware_CreateTexture(image, 0);
    });
    ForEachHandle<ShadowMapHandleData>(DX_HANDLETYPE_SHADOWMAP,
                                       [](ShadowMapHandleData *Map) { Graphics_D3D9_SetupShadowMap(Map, 0); });
    if (D3D9CallLayer.HardwareVertexProcessing || D3D9DeviceCapsInfo.VertexShader20Flag) {
        ForEachHandle<VertexBufferHandleData>(DX_HANDLETYPE_VERTEX_BUFFER, [](VertexBufferHandleData *Buffer) {
            IDirect3DVertexBuffer9 *object = nullptr;
            const HRESULT hr = Direct3DDevice9_CreateVertexBuffer(
                (UINT)(Buffer->Num * Buffer->UnitSize), D3DUSAGE_WRITEONLY, 0x2D2, D3DPOOL_DEFAULT, &object, nullptr);
            if (FAILED(hr)) {
                AddLogStringWide(L"頂点バッファの作成に失敗しました\n");
                LogPlatformFailure(L"IDirect3DDevice9::CreateVertexBuffer", (unsigned long)hr);
                return;
            }
            D3D9VertexBufferObjectsOf(Buffer)->Buffer = object;
            Graphics_Hardware_SetVertexBufferData(Buffer, 0, Buffer->Buffer, Buffer->Num);
        });
        ForEachHandle<IndexBufferHandleData>(DX_HANDLETYPE_INDEX_BUFFER, [](IndexBufferHandleData *Buffer) {
            IDirect3DIndexBuffer9 *object = nullptr;
            D3DFORMAT format = Buffer->UnitSize == 4 ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
            const HRESULT hr = Direct3DDevice9_CreateIndexBuffer(
                (UINT)(Buffer->Num * Buffer->UnitSize), D3DUSAGE_WRITEONLY, format, D3DPOOL_DEFAULT, &object, nullptr);
            if (FAILED(hr)) {
                AddLogStringWide(L"インデックスバッファの作成に失敗しました\n");
                LogPlatformFailure(L"IDirect3DDevice9::CreateIndexBuffer", (unsigned long)hr);
                return;
            }
            D3D9IndexBufferObjectsOf(Buffer)->Buffer = object;
            Graphics_Hardware_SetIndexBufferData(Buffer, 0, Buffer->Buffer, Buffer->Num);
        });
    }
    ForEachHandle<ShaderHandleData>(DX_HANDLETYPE_SHADER, [](ShaderHandleData *Shader) {
        const DWORD *code = (const DWORD *)Shader->FunctionCode;
        if (code == nullptr || Shader->PF == nullptr) return;
        D3D9ShaderObjects &objects = *D3D9ShaderObjectsOf(Shader);
        if (Shader->IsVertexShader)
            Direct3DDevice9_CreateVertexShader(code, &objects.Vertex);
        else
            Direct3DDevice9_CreatePixelShader(code, &objects.Pixel);
    });
    return 0;
}

int Graphics_D3D9_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate)
{
    D3D9BackendData &b = D3D9Backend;
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    if (b.DeviceLostCallback != nullptr) b.DeviceLostCallback(b.DeviceLostCallbackData);
    if (!s.NotGraphicsResetFlag) Graphics_Hardware_ReleaseDeviceObjects();
    if (ChangeFlag == 1) {
        SetMainScreenSize(Width, Height);
        s.MainScreenColorBitDepth = ColorBitDepth;
        s.MainScreenRefreshRate = RefreshRate;
        SetMemImgDefaultColorType(ColorBitDepth == 32 ? 1 : 0);
    } else {
        TerminateInput();
        InitializeInput();
    }
    if (s.NotGraphicsResetFlag) return 0;

    s.FullScreenScalingModeInEffect = s.FullScreenScalingMode;
    // A device that cannot be made again leaves nothing to re-make objects on: the change fails
    // here rather than report a screen that does not exist.
    if (Graphics_D3D9_Initialize() < 0) return -1;
    // The new device starts from the library's defaults, as at start-up: the cache went with the
    // old device (batch buffers and all), and without them nothing batched would reach the new
    // one. This also drops the graph filters' cached objects, whose Level gamma graph held the
    // old device's pixels.
    Graphics_D3D9_InitializeDeviceState();
    Graphics_D3D9_RecreateDeviceObjects();
    ReCreateMaskScreen();

    const KeptDrawTransform kept = KeepDrawTransform();
    SetRenderTargetToShader(0, d.RenderTarget[0], d.RenderTargetSurface[0], d.RenderTargetMipLevel[0]);
    Graphics_D3D9_DeviceState_Refresh();
    DeleteInternalGraphs();
    RestoreGraphics();
    if (b.DeviceRestoreCallback != nullptr) b.DeviceRestoreCallback(b.DeviceRestoreCallbackData);
    Graphics_D3D9_DeviceState_SendAll();
    d.Matrix.WorldChangedFlag = d.Matrix.ViewChangedFlag = d.Matrix.ProjectionChangedFlag = 1;
    if (ChangeFlag == 0) PutBackDrawTransform(kept);
    for (int i = 1; i < d.Shader.RenderTargetNum; ++i)
        SetRenderTargetToShader(i, d.RenderTarget[i], d.RenderTargetSurface[i], d.RenderTargetMipLevel[i]);
    return 0;
}

int Graphics_D3D9_RestoreLostDevice(void)
{
    if (!Direct3DDevice9_IsValid()) return 0;
    Direct3DDevice9_EndSceneIfNeeded();
    if (Direct3DDevice9_TestCooperativeLevel() != D3D_OK) RestoreGraphicsDevice();
    return 0;
}

int Graphics_D3D9_SetDialogBoxMode(int Flag)
{
    if (!Direct3DDevice9_IsValid()) return 0;
    Direct3DDevice9_EndSceneIfNeeded();
    Direct3DDevice9_SetDialogBoxMode(Flag ? TRUE : FALSE);
    return 0;
}
