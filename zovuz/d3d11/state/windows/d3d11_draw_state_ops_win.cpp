// The draw-state operations of the dispatch layer on Direct3D 11: the draw area with its
// projection, the full resend after a present, the clear of the draw screen, and the operations
// that only hand a value to the device-state cache.
#include <windows.h>

#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_mask_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_texture_desc_win.h"

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

// The draw-area matrix in the front end's form (row vectors times the matrix): its columns are the
// rows the vertex shaders read.
MATRIX DrawAreaMatrix(const ImageRect &Area)
{
    float rows[16];
    D3D11DrawAreaMatrix((float)Area.left, (float)Area.top, (float)Area.right, (float)Area.bottom, rows);
    MATRIX m;
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) m.m[c][r] = rows[r * 4 + c];
    return m;
}

// The projection the device gets, through the draw area.
void SendProjection()
{
    const MATRIX projection = DrawProjectionThroughArea(DrawAreaMatrix(GraphicsDrawSettings.DrawArea));
    Graphics_D3D11_DeviceState_SetProjectionMatrix(&projection);
}

// The render-target view and texture a clear of render-target index Index reaches, or false.
bool ClearTarget(int Index, ID3D11Texture2D **Texture, ID3D11RenderTargetView **View)
{
    const int target = GraphicsDrawSettings.RenderTarget[Index];
    const D3D11ScreenData &screen = D3D11Screen;
    *Texture = nullptr;
    *View = nullptr;
    if (target == 0 || target == -1) return false;
    if (target < 0 && target != D3D11_DRAW_TARGET_CACHED) {
        if (Index > 0) return false;
        const bool sub = screen.SubBackBuffer != nullptr;
        *Texture = sub ? screen.SubBackBuffer : screen.SwapChain[0].BackBuffer;
        *View = sub ? screen.SubBackBufferRTV : screen.SwapChain[0].BackBufferRTV;
    } else {
        // A graph or a shadow map: what the draw-target selection bound at this index.
        *Texture = S.RenderTarget[Index];
        *View = S.RenderTargetView[Index];
    }
    return *View != nullptr;
}

// Only Rect of the target takes the colour: a one-pixel texture of it is stretched over the
// rectangle (Direct3D 11.0 clears whole views only).
void ClearRectangle(ID3D11Texture2D *Texture, ID3D11RenderTargetView *View, const ImageRect &Rect,
                    const uint8_t Color[4])
{
    const D3D11_TEXTURE2D_DESC desc =
        D3D11PlainTextureDesc(1, 1, DXGI_FORMAT_R8G8B8A8_UNORM, D3D11_BIND_SHADER_RESOURCE);
    D3D11_SUBRESOURCE_DATA data = {Color, 4, 4};
    ID3D11Texture2D *pixel = nullptr;
    ID3D11ShaderResourceView *pixelView = nullptr;
    if (D3D11Device_CreateTexture2D(&desc, &data, &pixel) != S_OK) return;
    if (D3D11Device_CreateShaderResourceView(pixel, nullptr, &pixelView) == S_OK) {
        const RECT dest = {Rect.left, Rect.top, Rect.right, Rect.bottom};
        Graphics_D3D11_StretchRect(pixel, pixelView, nullptr, Texture, View, &dest, 0, 0, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
        D3D11ShaderResourceView_Release(pixelView);
    }
    D3D11Texture2D_Release(pixel);
}

}  // namespace

int Graphics_D3D11_SetDrawArea(void)
{
    if (!D3D11Device_IsValid()) return -1;
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const ImageRect &a = d.DrawArea;
    if (a.right == a.left || a.bottom == a.top) return -1;
    const D3D11_VIEWPORT viewport = {(float)a.left, (float)a.top, (float)(a.right - a.left), (float)(a.bottom - a.top),
                                     0.0f,          1.0f};
    Graphics_D3D11_DeviceState_SetViewport(&viewport);
    SendProjection();
    d.Matrix.ProjectionChangedFlag = 1;
    const MATRIX area = DrawAreaMatrix(a);
    Graphics_D3D11_DeviceState_SetDrawAreaMatrix(&area);
    return 0;
}

int Graphics_D3D11_SetTransformToProjection(void)
{
    SendProjection();
    return 0;
}

int Graphics_D3D11_ReapplyDeviceState(void)
{
    if (!D3D11Device_IsValid()) return -1;
    Graphics_D3D11_DeviceState_ResendAll();
    if (S.ForceFlag) {
        Graphics_D3D11_SetBlendModeState(S.BlendMode, S.AlphaTestSwitch, S.AlphaChannelSwitch);
        Graphics_D3D11_PrepareDraw(0);
    }
    S.ForceFlag = 0;
    return 0;
}

int Graphics_D3D11_ClearDrawScreen(const ImageRect *ClearRect)
{
    int red = 0, green = 0, blue = 0;
    GetBackgroundColor(&red, &green, &blue);
    const FLOAT color[4] = {red / 255.0f, green / 255.0f, blue / 255.0f, 0.0f};
    const uint8_t bytes[4] = {(uint8_t)red, (uint8_t)green, (uint8_t)blue, 0};
    const int count = GraphicsDrawSettings.Shader.RenderTargetNum > 1 ? GraphicsDrawSettings.Shader.RenderTargetNum : 1;
    for (int i = 0; i < count && i < D3D11_RENDER_TARGET_NUM; i++) {
        ID3D11Texture2D *texture;
        ID3D11RenderTargetView *view;
        if (!ClearTarget(i, &texture, &view)) continue;
        Graphics_D3D11_RenderVertexBuffer(-1, 0);
        if (ClearRect != nullptr)
            ClearRectangle(texture, view, *ClearRect, bytes);
        else
            D3D11DeviceContext_ClearRenderTargetView(view, color);
    }
    if (S.DepthStencilView != nullptr)
        D3D11DeviceContext_ClearDepthStencilView(S.DepthStencilView, D3D11_CLEAR_DEPTH, 1.0f, 0);
    return 0;
}

int Graphics_D3D11_PixelCenterTest(void)
{
    Graphics_D3D11_DeviceState_ResendAll();
    Graphics_D3D11_ClearDrawScreen(nullptr);
    return 0;
}

// ---- Operations that hand their value to the cache -------------------------------------------------

// Fog on or off and its mode choose among the 3-D shaders: an unchanged value draws nothing.
int Graphics_D3D11_SetFogEnable(int Flag)
{
    if (!D3D11Device_IsValid() || (S.FogEnable == (Flag ? 1 : 0) && !S.ForceFlag)) return 0;
    return Graphics_D3D11_DeviceState_SetFogEnable(Flag);
}

int Graphics_D3D11_SetFogMode(int Mode)
{
    if (!D3D11Device_IsValid() || (S.FogMode == Mode && !S.ForceFlag)) return 0;
    return Graphics_D3D11_DeviceState_SetFogMode(Mode);
}

int Graphics_D3D11_UpdateDiffuseColor(void)
{
    D3D11Batch.DiffuseColor = Graphics_D3D11_GetDiffuseColor();
    return 0;
}

int Graphics_D3D11_SetDrawMode(int DrawMode)
{
    Graphics_D3D11_DeviceState_SetDrawMode(DrawMode);
    return 0;
}

int Graphics_D3D11_SetTransformToView(const MATRIX *Matrix)
{
    Graphics_D3D11_DeviceState_SetViewMatrix(Matrix);
    return 0;
}

int Graphics_D3D11_SetTransformToWorld(const MATRIX *Matrix)
{
    Graphics_D3D11_DeviceState_SetWorldMatrix(Matrix);
    return 0;
}

int Graphics_D3D11_SetLightEnable(int Index, int Flag)
{
    return Graphics_D3D11_DeviceState_SetLightEnable(Index, Flag);
}

int Graphics_D3D11_SetLightParam(int Index, const LIGHTPARAM *Light)
{
    return Graphics_D3D11_DeviceState_SetLightParam(Index, Light);
}

int Graphics_D3D11_SetFogColor(unsigned int Color)
{
    Graphics_D3D11_DeviceState_SetFogColor(Color);
    return 0;
}

int Graphics_D3D11_SetFogStartEnd(float Start, float End)
{
    Graphics_D3D11_DeviceState_SetFogStartEnd(Start, End);
    return 0;
}

// ---- The draw target ---------------------------------------------------------------------------------

namespace {

bool IsScreen(int Target)
{
    return Target == DX_SCREEN_BACK || Target == DX_SCREEN_FRONT || Target == -3 || Target == -16;
}

// The draw texture is forgotten when the target changes: the next draw binds its own.
void ForgetDrawTexture()
{
    if (S.Texture == nullptr && !S.ForceFlag) return;
    if (!S.ForceFlag) Graphics_D3D11_RenderVertexBuffer(-1, 0);
    S.Texture = nullptr;
    S.TextureView = nullptr;
    S.BlendChangedFlag = 1;
    S.DrawStateDirtyFlag = 1;
}

}  // namespace

namespace {

// What each render-target index was last bound to, so that a graph it leaves is resolved.
struct BoundTargetData
{
    int Target;  // draw target handle or screen value, 0 = none
    int Face;
};
BoundTargetData Bound[D3D11_RENDER_TARGET_NUM];

// The graph that a render-target index draws into, or null for a screen or a shadow map.
GraphHandleData *TargetGraph(int Target)
{
    if (IsScreen(Target)) return nullptr;
    return GetTypedHandle<GraphHandleData>(Target, DX_HANDLETYPE_GRAPH, 0);
}

ShadowMapHandleData *TargetShadowMap(int Target)
{
    if (IsScreen(Target)) return nullptr;
    return GetTypedHandle<ShadowMapHandleData>(Target, DX_HANDLETYPE_SHADOWMAP, 0);
}

// A multisampled graph is resolved into its texture before anything samples it.
void ResolveGraph(const GraphHandleData *Graph, int Face)
{
    const GraphTextureEntry *piece = D3D11FirstPiece(Graph);
    if (piece == nullptr) return;
    const GraphImageRecord *image = Graph->Image;
    const int mips = image->MipLevels > 0 ? image->MipLevels : 1;
    Graphics_D3D11_ResolveMultisampleTexture(piece, Face * mips,
                                             (DXGI_FORMAT)D3D11FormatTable.Format[image->PixelFormat]);
}

// Render target Index bound to a graph's first piece at a face and mip level.
void BindGraph(const GraphHandleData *Graph, int Face, int Mip, int Index)
{
    const GraphTextureEntry *piece = D3D11FirstPiece(Graph);
    Graphics_D3D11_DeviceState_SetRenderTarget(piece != nullptr ? D3D11GraphTargetTexture(*piece) : nullptr,
                                               D3D11PieceTargetView(piece, Graph->Image->MipLevels, Face, Mip), Index);
}

void BindBackScreen()
{
    const D3D11ScreenData &screen = D3D11Screen;
    if (screen.SubBackBuffer != nullptr)
        Graphics_D3D11_DeviceState_SetRenderTarget(screen.SubBackBuffer, screen.SubBackBufferRTV, 0);
    else
        Graphics_D3D11_DeviceState_SetRenderTarget(screen.SwapChain[0].BackBuffer, screen.SwapChain[0].BackBufferRTV,
                                                   0);
}

// The user's depth graph when it is live and has a depth buffer made for it.
GraphHandleData *UserDepthGraph()
{
    const int handle = GraphicsDrawSettings.UserDepthGraph;
    if (handle == 0) return nullptr;
    GraphHandleData *graph = GetTypedHandle<GraphHandleData>(handle, DX_HANDLETYPE_GRAPH, 0);
    if (D3D11PieceDepthTexture(D3D11FirstPiece(graph)) == nullptr) return nullptr;
    return graph;
}

}  // namespace

int Graphics_D3D11_SetDrawScreen(int DrawScreen, int OldSurface, int, GraphHandleData *NewGraph,
                                 GraphHandleData *OldGraph, ShadowMapHandleData *NewShadowMap, ShadowMapHandleData *)
{
    if (!D3D11Device_IsValid()) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    ForgetDrawTexture();
    ID3D11ShaderResourceView *none[D3D11_PS_RESOURCE_SLOTS] = {};
    Graphics_D3D11_DeviceState_SetPSShaderResources(0, D3D11_PS_RESOURCE_SLOTS, none);
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    // The graph drawn into until now is resolved at the face it was drawn at.
    if (OldGraph != nullptr) ResolveGraph(OldGraph, OldSurface);
    Bound[0] = {DrawScreen, d.RenderTargetSurface[0]};

    // While the mask is in effect drawing lands in the mask screen, whatever the target.
    const D3D11MaskData &mask = D3D11Mask;
    if (d.MaskValidFlag && mask.ScreenTexture != nullptr) {
        Graphics_D3D11_DeviceState_SetRenderTarget(mask.ScreenTexture, mask.ScreenRTV, 0);
        Graphics_Hardware_SetupDepthBuffer();
        return 0;
    }
    if (const D3D11ShadowMapObjects *map = D3D11ShadowMapObjectsOf(NewShadowMap))
        Graphics_D3D11_DeviceState_SetRenderTarget(map->ColorTexture, map->Target, 0);
    else if (NewGraph != nullptr)
        BindGraph(NewGraph, d.RenderTargetSurface[0], d.RenderTargetMipLevel[0], 0);
    else
        BindBackScreen();
    return Graphics_D3D11_SetupDepthBuffer();
}

int Graphics_D3D11_SetRenderTargetToShader(int Index, int Target, int Face, int Mip)
{
    if (!GraphicsDeviceCaps.ProgrammableShaderFlag || !D3D11Device_IsValid()) return -1;
    if (Index < 0 || Index >= D3D11_RENDER_TARGET_NUM) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    ForgetDrawTexture();
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    // The front end has written the new target already: the one left is the back end's own note.
    GraphHandleData *old = TargetGraph(Bound[Index].Target);
    if (old != nullptr) ResolveGraph(old, Bound[Index].Face);
    Bound[Index] = {Target, Face};

    GraphHandleData *graph = TargetGraph(Target);
    if (graph != nullptr && graph->Image != nullptr) {
        if (!graph->Image->Format.DrawValidFlag) return -1;
        BindGraph(graph, Face, Mip, Index);
        if (Index == 0) Graphics_D3D11_SetupDepthBuffer();
        return 0;
    }
    if (Index == 0 && IsScreen(Target)) {
        BindBackScreen();
        Graphics_D3D11_SetupDepthBuffer();
        return 0;
    }
    d.RenderTarget[Index] = 0;
    d.RenderTargetSurface[Index] = 0;
    d.RenderTargetMipLevel[Index] = 0;
    Graphics_D3D11_DeviceState_SetRenderTarget(nullptr, nullptr, Index);
    return 0;
}

int Graphics_D3D11_SetupDepthBuffer(void)
{
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const D3D11BufferData &b = D3D11Buffers;
    ID3D11Texture2D *texture = nullptr;
    ID3D11DepthStencilView *view = nullptr;
    const int target = d.RenderTarget[0], mip = d.RenderTargetMipLevel[0];
    GraphHandleData *depth = UserDepthGraph();
    if (const D3D11ShadowMapObjects *objects = D3D11ShadowMapObjectsOf(TargetShadowMap(target))) {
        texture = objects->DepthTexture;
        view = objects->DepthView;
    } else if (GraphHandleData *graph = TargetGraph(target); graph != nullptr) {
        const GraphTextureEntry *own = D3D11FirstPiece(graph);
        if (depth != nullptr && depth->Width >= graph->Width && depth->Height >= graph->Height) {
            const GraphTextureEntry *piece = D3D11FirstPiece(depth);
            texture = D3D11PieceDepthTexture(piece);
            view = D3D11PieceDepthView(piece, mip);
        } else if (D3D11PieceDepthTexture(own) != nullptr) {
            texture = D3D11PieceDepthTexture(own);
            view = D3D11PieceDepthView(own, mip);
        } else if (graph->Width == b.DepthBufferWidth && graph->Height == b.DepthBufferHeight) {
            texture = b.DepthBuffer;
            view = b.DepthBufferDSV;
        }
    } else if (depth != nullptr && depth->Width == d.DrawSizeX && depth->Height == d.DrawSizeY) {
        const GraphTextureEntry *piece = D3D11FirstPiece(depth);
        texture = D3D11PieceDepthTexture(piece);
        view = D3D11PieceDepthView(piece, 0);
    } else {
        texture = b.DepthBuffer;
        view = b.DepthBufferDSV;
    }
    Graphics_D3D11_DeviceState_SetDepthStencil(texture, view);
    return 0;
}

int Graphics_D3D11_UpdateDrawScreenAlphaFlag(void)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    bool extra = false;
    for (int i = 1; i < DX_RENDERTARGET_COUNT; i++)
        extra = extra || (d.RenderTarget[i] != 0 && d.RenderTarget[i] != -1);
    int flag = 0;
    if (!extra && !IsScreen(d.RenderTarget[0])) {
        GraphHandleData *graph = GetTypedHandle<GraphHandleData>(d.RenderTarget[0], DX_HANDLETYPE_GRAPH, 0);
        if (graph != nullptr && graph->Image != nullptr && graph->Image->Format.AlphaChannelFlag &&
            graph->Image->Format.HardwareFlag)
            flag = 1;
    }
    if (flag != d.DrawScreenAlphaFlag) {
        d.DrawScreenAlphaFlag = flag;
        S.BlendChangedFlag = 1;
        GraphicsState.DrawStateChangedFlag = 1;
    }
    return 0;
}
