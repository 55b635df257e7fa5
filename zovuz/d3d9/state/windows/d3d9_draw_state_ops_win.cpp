// The draw-state operations of the dispatch layer on Direct3D 9: draw target and render targets,
// depth buffer, draw area and transforms, lights, fog, draw mode, blend graph, shadow-map
// constants, the draw screen's alpha flag and the full resend. The front end calls each after it
// has updated its own settings.
#include <cstring>

#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"
#include "zovuz/d3d9/texture/windows/d3d9_mask_win.h"

namespace {

D3D9DeviceStateCacheData &Cache = D3D9DeviceStateCache;

static_assert(sizeof(LIGHTPARAM) == sizeof(D3DLIGHT9), "the front end's light is laid out as the device's");

const int VsProjection = 2, VsWorld = 94, VsShadowMatrix = 44, PsShadowParams = 18;

bool HasDevice() { return D3D9CallLayer.Device != nullptr; }

void SetVertexFloats(int Register, const float *Values, int Count)
{
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_VS_FLOAT, 0, Register, Values, Count, 1);
}

// A matrix to the device's transform and, transposed, to four vertex constants.
void SendTransform(D3DTRANSFORMSTATETYPE State, const MATRIX &M, int Register)
{
    D3DMATRIX device;
    std::memcpy(&device, &M, sizeof device);
    Direct3DDevice9_SetTransform(State, &device);
    MATRIX transposed;
    CreateTransposeMatrix(&transposed, &M);
    SetVertexFloats(Register, &transposed.m[0][0], 4);
}

// From the front end's screen pixels into the viewport of the draw area (row vectors times it).
MATRIX DrawAreaMatrix(const ImageRect &Area)
{
    const float width = (float)(Area.right - Area.left), height = (float)(Area.bottom - Area.top);
    MATRIX m = {};
    m.m[0][0] = 2.0f / width;
    m.m[1][1] = -2.0f / height;
    m.m[2][2] = 1.0f;
    m.m[3][0] = -1.0f - 2.0f * Area.left / width;
    m.m[3][1] = 1.0f + 2.0f * Area.top / height;
    m.m[3][3] = 1.0f;
    return m;
}

bool IsScreen(int Target)
{
    return Target == DX_SCREEN_BACK || Target == DX_SCREEN_FRONT || Target == -3 || Target == -16;
}

D3D9TextureObjects *GraphObjects(const GraphHandleData *Graph)
{
    if (Graph == nullptr || Graph->Image == nullptr || !Graph->Image->Format.HardwareFlag ||
        Graph->Image->TextureNum <= 0)
        return nullptr;
    return D3D9TextureObjectsOf(Graph->Image->Texture[0].PF);
}

// Level 0 of a graph's texture (of Face for a cube), with a reference the caller releases.
IDirect3DSurface9 *LevelZeroSurface(const GraphHandleData *Graph, int Face)
{
    const D3D9TextureObjects *objects = GraphObjects(Graph);
    if (objects == nullptr || objects->Texture == nullptr) return nullptr;
    IDirect3DSurface9 *surface = nullptr;
    if (Graph->Image->Format.CubeMapFlag) {
        if (FAILED(Direct3DCubeTexture9_GetCubeMapSurface(static_cast<IDirect3DCubeTexture9 *>(objects->Texture),
                                                          (D3DCUBEMAP_FACES)Face, 0, &surface)))
            return nullptr;
    } else if (FAILED(
                   Direct3DTexture9_GetSurfaceLevel(static_cast<IDirect3DTexture9 *>(objects->Texture), 0, &surface))) {
        return nullptr;
    }
    return surface;
}

// Binds a graph's render surface, or level 0 of its texture, as render target Index. 0 / -1.
int BindGraphTarget(const GraphHandleData *Graph, int Face, int Index)
{
    const D3D9TextureObjects *objects = GraphObjects(Graph);
    if (objects == nullptr) return -1;
    if (objects->RenderSurface != nullptr)
        return Graphics_D3D9_DeviceState_SetRenderTarget(objects->RenderSurface, Index);
    IDirect3DSurface9 *level = LevelZeroSurface(Graph, Face);
    if (level == nullptr) return -1;
    const int result = Graphics_D3D9_DeviceState_SetRenderTarget(level, Index);
    // The texture keeps its surface alive while it is bound.
    Direct3D9_ReleaseObject(level);
    return result;
}

IDirect3DSurface9 *DepthSurface(const D3D9TextureObjects *Objects)
{
    return Objects != nullptr ? Objects->DepthSurface : nullptr;
}

// The user's depth graph when it is live and has a depth surface of its own.
GraphHandleData *UserDepthGraph()
{
    const int handle = GraphicsDrawSettings.UserDepthGraph;
    if (handle == 0) return nullptr;
    GraphHandleData *graph = GetTypedHandle<GraphHandleData>(handle, DX_HANDLETYPE_GRAPH, 0);
    return DepthSurface(GraphObjects(graph)) != nullptr ? graph : nullptr;
}

// The steps every change of target starts with.
void LeaveTarget()
{
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    Graphics_D3D9_DrawSetting_SetTexture(nullptr);
}

// The graphs bound through SetRenderTargetToShader, by index.
int ShaderTargetGraph[D3D9_RENDER_TARGET_NUM];
int ShaderTargetFace[D3D9_RENDER_TARGET_NUM];

}  // namespace

int Graphics_D3D9_ResolveRenderTarget(const GraphHandleData *Graph, int Face)
{
    const D3D9TextureObjects *objects = GraphObjects(Graph);
    if (objects == nullptr || objects->RenderSurface == nullptr) return 0;
    IDirect3DSurface9 *level = LevelZeroSurface(Graph, Face);
    if (level == nullptr) return -1;
    const HRESULT hr = Direct3DDevice9_StretchRect(objects->RenderSurface, nullptr, level, nullptr, D3DTEXF_NONE);
    Direct3D9_ReleaseObject(level);
    return SUCCEEDED(hr) ? 0 : -1;
}

// ---- Forwarders --------------------------------------------------------------------------------------

int Graphics_D3D9_SetLightEnable(int Index, int Enable)
{
    Graphics_D3D9_DeviceState_SetLightEnable(Index, Enable);
    return 0;
}

int Graphics_D3D9_SetLightParam(int Index, const LIGHTPARAM *Param)
{
    if (Param == nullptr) return 0;
    D3DLIGHT9 light;
    std::memcpy(&light, Param, sizeof light);
    Graphics_D3D9_DeviceState_SetLight(Index, &light);
    return 0;
}

int Graphics_D3D9_SetFogColor(unsigned int Color)
{
    Graphics_D3D9_DeviceState_SetFogColor(Color);
    return 0;
}

int Graphics_D3D9_SetFogEnable(int Flag)
{
    Graphics_D3D9_DeviceState_SetFogEnable(Flag);
    return 0;
}

int Graphics_D3D9_SetFogMode(int Mode)
{
    Graphics_D3D9_DeviceState_SetFogMode(Mode);
    return 0;
}

int Graphics_D3D9_SetFogStartEnd(float Start, float End)
{
    Graphics_D3D9_DeviceState_SetFogStartEnd(Start, End);
    return 0;
}

int Graphics_D3D9_SetDrawMode(int DrawMode)
{
    Graphics_D3D9_DeviceState_SetDrawMode(DrawMode);
    return 0;
}

int Graphics_D3D9_SetTransformToView(const MATRIX *Matrix)
{
    if (!HasDevice() || Matrix == nullptr) return 0;
    D3DMATRIX view;
    std::memcpy(&view, Matrix, sizeof view);
    Graphics_D3D9_DeviceState_SetViewMatrix(&view);
    return 0;
}

int Graphics_D3D9_SetUseShadowMap(int, int)
{
    Cache.Draw.DrawStateChangedFlag = 1;
    Cache.ChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_SetUseLighting(int Flag) { return Graphics_D3D9_DeviceState_SetLighting(Flag); }

// ---- Draw area and transforms ----------------------------------------------------------------------

int Graphics_D3D9_SetTransformToProjection(const MATRIX *)
{
    if (!HasDevice()) return 0;
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const ImageRect &a = d.DrawArea;
    if (a.right == a.left || a.bottom == a.top) return 0;
    const MATRIX projection = DrawProjectionThroughArea(DrawAreaMatrix(a));
    Graphics_D3D9_RenderVertexBuffer(0);
    SendTransform(D3DTS_PROJECTION, projection, VsProjection);
    return 0;
}

int Graphics_D3D9_SetDrawArea(void)
{
    if (!HasDevice()) return -1;
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const ImageRect &a = d.DrawArea;
    if (a.right <= a.left || a.bottom <= a.top) return -1;
    Graphics_D3D9_DeviceState_SetViewportRect(a.left, a.top, a.right, a.bottom);
    const RECT scissor = {a.left, a.top, a.right, a.bottom};
    Graphics_D3D9_DeviceState_SetScissorRect(&scissor);
    Graphics_D3D9_SetTransformToProjection(nullptr);
    d.Matrix.ProjectionChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_SetTransformToWorld(const MATRIX *Matrix)
{
    if (!HasDevice() || Matrix == nullptr) return 0;
    Graphics_D3D9_RenderVertexBuffer(0);
    SendTransform(D3DTS_WORLD, *Matrix, VsWorld);
    return 0;
}

// ---- Targets -------------------------------------------------------------------------------------------

int Graphics_D3D9_SetupDepthBuffer(void)
{
    if (!HasDevice()) return 0;
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    IDirect3DSurface9 *depth = D3D9Screen.ZBuffer;
    const int target = d.RenderTarget[0];
    ShadowMapHandleData *map = GraphicsShadowMapSettings.DrawFlag ? GetShadowMapEntry(target, 0) : nullptr;
    GraphHandleData *user = UserDepthGraph();
    if (map != nullptr && map->PF != nullptr) {
        depth = DepthSurface(D3D9TextureObjectsOf(map->PF));
    } else if (!d.MaskValidFlag && !IsScreen(target)) {
        GraphHandleData *graph = GetTypedHandle<GraphHandleData>(target, DX_HANDLETYPE_GRAPH, 0);
        const D3D9TextureObjects *objects = GraphObjects(graph);
        if (graph != nullptr && user != nullptr && user->Width >= graph->Width && user->Height >= graph->Height) {
            depth = DepthSurface(GraphObjects(user));
        } else if (DepthSurface(objects) != nullptr) {
            depth = DepthSurface(objects);
        } else if (graph != nullptr && depth != nullptr) {
            // A graph larger than the screen's Z buffer draws without one.
            D3DSURFACE_DESC desc = {};
            Direct3DSurface9_GetDesc(depth, &desc);
            if ((UINT)graph->Width > desc.Width || (UINT)graph->Height > desc.Height) depth = nullptr;
        }
    } else if (!d.MaskValidFlag && user != nullptr && user->Width >= d.DrawSizeX && user->Height >= d.DrawSizeY) {
        depth = DepthSurface(GraphObjects(user));
    }
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_SetDepthStencilSurface(depth);
    return 0;
}

int Graphics_D3D9_SetDrawScreen(int, int OldSurface, int, GraphHandleData *NewGraph, GraphHandleData *OldGraph,
                                ShadowMapHandleData *NewShadowMap, ShadowMapHandleData *)
{
    if (!HasDevice()) return -1;
    LeaveTarget();
    if (OldGraph != nullptr) Graphics_D3D9_ResolveRenderTarget(OldGraph, OldSurface);
    int result;
    // While a mask is in effect drawing lands in the mask screen, whatever the target.
    const D3D9TextureObjects *map = NewShadowMap != nullptr ? D3D9TextureObjectsOf(NewShadowMap->PF) : nullptr;
    if (IDirect3DSurface9 *mask = Graphics_D3D9_Mask_ScreenSurfaceInUse()) {
        result = Graphics_D3D9_DeviceState_SetRenderTarget(mask, 0);
    } else if (map != nullptr && map->RenderSurface != nullptr) {
        result = Graphics_D3D9_DeviceState_SetRenderTarget(map->RenderSurface, 0);
    } else if (NewGraph == nullptr) {
        IDirect3DSurface9 *screen = D3D9Screen.SubBackBufferSurface != nullptr ? D3D9Screen.SubBackBufferSurface
                                                                               : D3D9DeviceCapsInfo.BackBuffer;
        result = Graphics_D3D9_DeviceState_SetRenderTarget(screen, 0);
    } else {
        result = BindGraphTarget(NewGraph, GraphicsDrawSettings.RenderTargetSurface[0], 0);
    }
    Graphics_Hardware_SetupDepthBuffer();
    return result < 0 ? -1 : 0;
}

int Graphics_D3D9_SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int)
{
    if (!HasDevice() || !GraphicsDeviceCaps.ProgrammableShaderFlag) return -1;
    if (TargetIndex < 0 || TargetIndex >= D3D9_RENDER_TARGET_NUM) return -1;
    GraphHandleData *graph = GetTypedHandle<GraphHandleData>(DrawScreen, DX_HANDLETYPE_GRAPH, 0);
    // A graph that cannot be drawn into is refused before anything changes.
    if (graph != nullptr && (graph->Image == nullptr || !graph->Image->Format.DrawValidFlag)) return -1;
    LeaveTarget();
    GraphHandleData *previous = GetTypedHandle<GraphHandleData>(ShaderTargetGraph[TargetIndex], DX_HANDLETYPE_GRAPH, 0);
    if (previous != nullptr) Graphics_D3D9_ResolveRenderTarget(previous, ShaderTargetFace[TargetIndex]);
    if (graph != nullptr && BindGraphTarget(graph, Surface, TargetIndex) == 0) {
        ShaderTargetGraph[TargetIndex] = DrawScreen;
        ShaderTargetFace[TargetIndex] = Surface;
        return 0;
    }
    ShaderTargetGraph[TargetIndex] = ShaderTargetFace[TargetIndex] = 0;
    GraphicsDrawSettings.RenderTarget[TargetIndex] = 0;
    GraphicsDrawSettings.RenderTargetSurface[TargetIndex] = 0;
    if (TargetIndex > 0) {
        Direct3DDevice9_SetRenderTarget((DWORD)TargetIndex, nullptr);
        Cache.RenderTarget[TargetIndex] = nullptr;
    }
    return 0;
}

int Graphics_D3D9_SetBlendGraphParam(GraphHandleData *BlendGraph, int BlendType, const int *Param)
{
    if (!HasDevice()) return -1;
    const D3D9TextureObjects *objects = GraphObjects(BlendGraph);
    if (objects != nullptr && objects->Texture != nullptr) {
        const GraphTextureEntry &texture = BlendGraph->Image->Texture[0];
        Graphics_D3D9_DrawSetting_SetBlendTexture(objects->Texture, texture.TexWidth, texture.TexHeight);
        return Graphics_D3D9_DrawSetting_SetBlendTextureParam(BlendType, Param);
    }
    GraphicsDrawSettings.BlendGraph = -1;
    return Graphics_D3D9_DrawSetting_SetBlendTexture(nullptr, 0, 0);
}

int Graphics_D3D9_UpdateDrawScreenAlphaFlag(void)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    bool extra = false;
    for (int i = 1; i < DX_RENDERTARGET_COUNT; ++i)
        extra = extra || (d.RenderTarget[i] != 0 && d.RenderTarget[i] != -1);
    int flag = 0;
    if (!extra && !IsScreen(d.RenderTarget[0])) {
        GraphHandleData *graph = GetTypedHandle<GraphHandleData>(d.RenderTarget[0], DX_HANDLETYPE_GRAPH, 0);
        if (graph != nullptr && graph->Image != nullptr && graph->Image->Format.AlphaChannelFlag &&
            GraphObjects(graph) != nullptr)
            flag = 1;
    }
    if (flag != d.DrawScreenAlphaFlag) {
        d.DrawScreenAlphaFlag = flag;
        Cache.Draw.DrawStateChangedFlag = 1;
        GraphicsState.DrawStateChangedFlag = 1;
    }
    return 0;
}

int Graphics_D3D9_ReapplyDeviceState(void)
{
    if (!HasDevice()) return -1;
    Graphics_D3D9_DeviceState_SendAll();
    Cache.ForceFlag = 1;
    const D3D9DrawSettingData &draw = Cache.Draw;
    Graphics_D3D9_DrawSetting_SetBlendMode(draw.BlendMode, draw.AlphaTestFlag, draw.AlphaChannelFlag);
    Graphics_D3D9_PrepareDraw(0);
    Cache.ForceFlag = 0;
    return 0;
}

// ---- Shadow maps ----------------------------------------------------------------------------------------

int Graphics_D3D9_UpdateShadowMapParams(void)
{
    float values[16] = {};
    const GraphicsLightStateData &lights = GraphicsLightState;
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; ++slot) {
        const ShadowMapHandleData *map = GetShadowMapEntry(GraphicsShadowMapSettings.Slot[slot], 0);
        float *v = values + 5 * slot;
        v[0] = map != nullptr ? map->AdjustDepth : 1.0f;
        v[1] = map != nullptr ? map->GradationParam : 0.0f;
        for (int light = 0; light < 3; ++light) {
            const LightHandleData *l = light < lights.ActiveNum ? lights.Active[light] : nullptr;
            v[2 + light] = map == nullptr || l == nullptr || l->ShadowMapSlotFlag[slot] ? 1.0f : 0.0f;
        }
    }
    return Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_PS_FLOAT, 0, PsShadowParams, values,
                                            4, 1);
}

int Graphics_D3D9_UpdateShadowMapMatrices(void)
{
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; ++slot) {
        const ShadowMapHandleData *map = GetShadowMapEntry(GraphicsShadowMapSettings.Slot[slot], 0);
        MATRIX rows;
        if (map != nullptr) {
            CreateTransposeMatrix(&rows, &map->ViewProjectionMatrix);
        } else {
            for (auto &row : rows.m) row[0] = row[1] = row[2] = 0.0f, row[3] = -1.0f;
        }
        SetVertexFloats(VsShadowMatrix + 4 * slot, &rows.m[0][0], 4);
    }
    return 0;
}
