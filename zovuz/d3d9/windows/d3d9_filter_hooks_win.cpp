// What the graph filters' passes need of the Direct3D 9 device: scenes, the targets kept around
// the passes, the filters' constant set, the shader packs' filter codes, the draw of one pass and
// the copy of a rectangle between graphs piece by piece.
#include <string.h>

#include <algorithm>

#include "zovuz/d3d9/shader/d3d9_shader_pack_internal.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/d3d9/draw/d3d9_graph_draw.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"
#include "zovuz/d3d9/zovuz_d3d9.h"

namespace {

// The targets a filter call keeps while its passes draw (main thread).
struct FilterSavedTargetsData
{
    IDirect3DSurface9 *RenderTarget[D3D9_RENDER_TARGET_NUM];  // as bound, a reference each
    IDirect3DSurface9 *DepthStencil;                          // a reference, or null
    int Saved;                                                // SaveTargets ran and Restore has not
};
FilterSavedTargetsData FilterSavedTargets;

// The graph's drawing piece Index with its texture's objects, or null.
const GraphDrawPiece *PieceOf(const GraphHandleData *Graph, int Index, const D3D9TextureObjects **Objects)
{
    if (Graph == nullptr || Graph->Image == nullptr || Index < 0 || Index >= Graph->PieceNum) return nullptr;
    const GraphDrawPiece &piece = Graph->Piece[Index];
    *Objects = piece.Texture != nullptr ? D3D9TextureObjectsOf(piece.Texture->PF) : nullptr;
    return *Objects != nullptr ? &piece : nullptr;
}

// The objects of a graph's first drawing piece (the passes take graphs that are one texture at
// their origin), or of a shadow map; or null.
const D3D9TextureObjects *ObjectsOf(int Handle)
{
    if (const ShadowMapHandleData *map = GetShadowMapEntry(Handle, 0)) return D3D9TextureObjectsOf(map->PF);
    const D3D9TextureObjects *objects = nullptr;
    PieceOf(GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0), 0, &objects);
    return objects;
}

// The render surface of a multisampled graph, which it is drawn through; else null.
IDirect3DSurface9 *RenderSurface(int Handle)
{
    if (GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0) == nullptr) return nullptr;
    const D3D9TextureObjects *objects = ObjectsOf(Handle);
    return objects != nullptr ? objects->RenderSurface : nullptr;
}

// The texture of a graph's first drawing piece, or a shadow map's render-target texture; or null.
IDirect3DTexture9 *GraphTexture(int Handle)
{
    const D3D9TextureObjects *objects = ObjectsOf(Handle);
    return objects != nullptr ? static_cast<IDirect3DTexture9 *>(objects->Texture) : nullptr;
}

// Where Graph's drawing piece lies: (DrawX, DrawY, Width, Height) of the graph at (UseX, UseY) of
// its texture.
struct PiecePlace
{
    int DrawX, DrawY, UseX, UseY, Width, Height;
};
PiecePlace PlaceOf(const GraphDrawPiece &Piece)
{
    return {Piece.DrawX, Piece.DrawY, Piece.UsePosX, Piece.UsePosY, Piece.Width, Piece.Height};
}

}  // namespace

int Graphics_D3D9_Filter_BeginScene(void)
{
    if (D3D9CallLayer.Device == nullptr) return -1;
    return Direct3DDevice9_BeginSceneIfNeeded();
}

int Graphics_D3D9_Filter_EndScene(void)
{
    if (D3D9CallLayer.Device == nullptr) return -1;
    return Direct3DDevice9_EndSceneIfNeeded();
}

int Graphics_D3D9_Filter_ResolveDrawTarget(int GraphHandle)
{
    if (D3D9CallLayer.Device == nullptr) return -1;
    const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(GraphHandle, DX_HANDLETYPE_GRAPH, 0);
    if (graph == nullptr) return -1;
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_EndSceneIfNeeded();
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    return Graphics_D3D9_ResolveRenderTarget(graph, GraphHandle == d.RenderTarget[0] ? d.RenderTargetSurface[0] : 0);
}

int Graphics_D3D9_Filter_SaveTargets(void)
{
    FilterSavedTargetsData &s = FilterSavedTargets;
    if (s.Saved) return 0;
    Graphics_D3D9_RenderVertexBuffer(0);
    D3D9DeviceStateCacheData &cache = D3D9DeviceStateCache;
    for (int i = 0; i < D3D9_RENDER_TARGET_NUM; ++i) {
        s.RenderTarget[i] = cache.RenderTarget[i];
        if (s.RenderTarget[i] != nullptr) s.RenderTarget[i]->AddRef();
        if (i > 0 && cache.RenderTarget[i] != nullptr) Graphics_D3D9_DeviceState_SetRenderTarget(nullptr, i);
    }
    s.DepthStencil = nullptr;
    if (D3D9CallLayer.Device != nullptr && Direct3DDevice9_GetDepthStencilSurface(&s.DepthStencil) == D3D_OK)
        Direct3DDevice9_SetDepthStencilSurface(nullptr);
    s.Saved = 1;
    return 0;
}

int Graphics_D3D9_Filter_RestoreTargets(void)
{
    FilterSavedTargetsData &s = FilterSavedTargets;
    if (!s.Saved) return 0;
    if (D3D9CallLayer.Device != nullptr && s.DepthStencil != nullptr)
        Direct3DDevice9_SetDepthStencilSurface(s.DepthStencil);
    ReleaseAndClear(s.DepthStencil);
    for (int i = 0; i < D3D9_RENDER_TARGET_NUM; ++i) {
        if (s.RenderTarget[i] == nullptr) continue;
        Graphics_D3D9_DeviceState_SetRenderTarget(s.RenderTarget[i], i);
        ReleaseAndClear(s.RenderTarget[i]);
    }
    // Setting a target reset the device's viewport to the target: the draw area's goes back.
    D3D9DeviceStateCacheData &cache = D3D9DeviceStateCache;
    const ImageRect &area = GraphicsDrawSettings.DrawArea;
    cache.ForceFlag = 1;
    Graphics_D3D9_DeviceState_SetViewportRect(area.left, area.top, area.right, area.bottom);
    cache.ForceFlag = 0;
    s.Saved = 0;
    return 0;
}

int Graphics_D3D9_Filter_SetPixelConstants(const float *Values, int Registers)
{
    ShaderConstantManagerData *m = &ShaderConstantManager;
    if (Graphics_D3D9_ShaderConstant_Set(m, D3D9_CONSTANT_PS_FLOAT, 1, 0, Values, Registers, 1) < 0) return -1;
    Graphics_D3D9_ShaderConstant_Apply(m, 3);
    return 0;
}

int Graphics_D3D9_Filter_ReleasePixelConstants(int Registers)
{
    return Graphics_D3D9_ShaderConstant_Reset(&ShaderConstantManager, D3D9_CONSTANT_PS_FLOAT, 1, 0, Registers);
}

int Graphics_D3D9_Filter_FindShaderCode(const char *FileName, const void **Code, int *Size)
{
    D3D9ShaderPackData &pack = D3D9ShaderPack;
    uint64_t position = 0, size = 0;
    if (!pack.LoadedFlag || FileName == nullptr ||
        ArchiveFindFile(&pack.FilterArchive, CHAR_CODE_UNICODE_BYTE, FileName, &position, &size) != 0)
        return -1;
    // The archive checked at open that every file lies inside the image.
    *Code = pack.FilterImage + position;
    *Size = (int)size;
    return 0;
}

int Graphics_D3D9_Filter_ChannelMixCode(int Index, const void **Code, int *Size)
{
    D3D9ShaderPackData &pack = D3D9ShaderPack;
    if (!pack.LoadedFlag || Index < 0 || Index >= D3D9_CHANNEL_MIX_PACK_SLOTS || pack.ChannelMix[Index].Code == nullptr)
        return -1;
    *Code = pack.ChannelMix[Index].Code;
    *Size = (int)pack.ChannelMix[Index].Size;
    return 0;
}

int Graphics_D3D9_Filter_CopyRect(int SrcGraph, const int SrcRect[4], int DestGraph, int DestX, int DestY)
{
    GraphHandleData *src = GetTypedHandle<GraphHandleData>(SrcGraph, DX_HANDLETYPE_GRAPH, 0);
    const GraphHandleData *dest = GetTypedHandle<GraphHandleData>(DestGraph, DX_HANDLETYPE_GRAPH, 0);
    if (D3D9CallLayer.Device == nullptr || SrcRect == nullptr || src == nullptr || dest == nullptr ||
        dest->Image == nullptr || !dest->Image->Format.DrawValidFlag)
        return -1;
    Graphics_D3D9_RenderVertexBuffer(0);
    // From the source's coordinates to the destination's.
    const int dx = DestX - SrcRect[0], dy = DestY - SrcRect[1];
    for (int d = 0; d < dest->PieceNum; ++d) {
        const D3D9TextureObjects *target = nullptr;
        const GraphDrawPiece *destPiece = PieceOf(dest, d, &target);
        if (destPiece == nullptr) return -1;
        // A multisampled graph is drawn through its render surface, then resolved into its texture.
        IDirect3DSurface9 *surface = target->RenderSurface != nullptr ? target->RenderSurface : target->LevelSurface;
        if (surface == nullptr) return -1;
        const PiecePlace to = PlaceOf(*destPiece);
        bool bound = false;
        for (int s = 0; s < src->PieceNum; ++s) {
            const D3D9TextureObjects *objects = nullptr;
            const GraphDrawPiece *srcPiece = PieceOf(src, s, &objects);
            if (srcPiece == nullptr) return -1;
            const PiecePlace from = PlaceOf(*srcPiece);
            // The part of the rectangle that both pieces hold, in the destination's coordinates.
            const int left = std::max({SrcRect[0] + dx, from.DrawX + dx, to.DrawX});
            const int top = std::max({SrcRect[1] + dy, from.DrawY + dy, to.DrawY});
            const int right = std::min({SrcRect[2] + dx, from.DrawX + from.Width + dx, to.DrawX + to.Width});
            const int bottom = std::min({SrcRect[3] + dy, from.DrawY + from.Height + dy, to.DrawY + to.Height});
            if (left >= right || top >= bottom) continue;
            if (!bound) Graphics_D3D9_DeviceState_SetRenderTarget(surface, 0), bound = true;
            // A quad over the part in the destination's texture, reading it from the source's at
            // the texel centres; the filters' draw state copies colour and alpha as they are.
            const float tw = (float)srcPiece->Texture->TexWidth, th = (float)srcPiece->Texture->TexHeight;
            const int sx = from.UseX - from.DrawX - dx, sy = from.UseY - from.DrawY - dy;
            const int tx = to.UseX - to.DrawX, ty = to.UseY - to.DrawY;
            VERTEX2D v[4];
            memset(v, 0, sizeof(v));
            for (int i = 0; i < 4; ++i) {
                const int x = i & 1 ? right : left, y = i & 2 ? bottom : top;
                v[i].pos.x = (float)(x + tx) - 0.5f, v[i].pos.y = (float)(y + ty) - 0.5f;
                v[i].rhw = 1.0f;
                v[i].dif.r = v[i].dif.g = v[i].dif.b = v[i].dif.a = 255;
                v[i].u = (float)(x + sx) / tw, v[i].v = (float)(y + sy) / th;
            }
            if (Graphics_D3D9_DrawPrimitive2D(v, 4, D3DPT_TRIANGLESTRIP, src, 1, 0, 0, 0, s, 0) < 0) return -1;
        }
        if (bound && target->RenderSurface != nullptr && target->LevelSurface != nullptr) {
            Direct3DDevice9_EndSceneIfNeeded();
            if (FAILED(Direct3DDevice9_StretchRect(target->RenderSurface, nullptr, target->LevelSurface, nullptr,
                                                   D3DTEXF_NONE)))
                return -1;
        }
    }
    GraphicsState.DrawStateChangedFlag = 1;
    return 0;
}

int Graphics_D3D9_Filter_DrawQuad(const D3D9FilterQuad *Quad)
{
    if (D3D9CallLayer.Device == nullptr || Quad == nullptr) return -1;
    IDirect3DTexture9 *target = GraphTexture(Quad->DestGraph);
    if (target == nullptr || GraphTexture(Quad->SrcGraph) == nullptr) return -1;
    if (Quad->SecondGraph >= 0 && GraphTexture(Quad->SecondGraph) == nullptr) return -1;
    // A multisampled destination is drawn through its render surface, as all drawing into it is.
    IDirect3DSurface9 *render = RenderSurface(Quad->DestGraph), *surface = render;
    if (surface == nullptr && (Direct3DTexture9_GetSurfaceLevel(target, 0, &surface) != D3D_OK || surface == nullptr))
        return -1;

    // The pass draws through the user-shader path with its own shader and textures; the caller's
    // selection is put back afterwards.
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const DrawShaderSelection kept = d.Shader;
    Graphics_D3D9_RenderVertexBuffer(0);
    d.Shader.VertexShader = 0;
    d.Shader.PixelShader = Quad->PixelShader;
    for (int &texture : d.Shader.Texture) texture = 0;
    d.Shader.Texture[0] = Quad->SrcGraph;
    if (Quad->SecondGraph >= 0) d.Shader.Texture[1] = Quad->SecondGraph;

    Graphics_D3D9_DeviceState_SetRenderTarget(surface, 0);
    if (render == nullptr) surface->Release();
    Direct3DDevice9_BeginSceneIfNeeded();
    Graphics_D3D9_SetupShaderDrawState(0, -1, 1, 1);
    // The base 2-D vertex shader projects into the draw area, not into the pass's target: the
    // pre-transformed vertices are drawn without a vertex shader.
    Graphics_D3D9_DeviceState_SetVertexShader(nullptr, 0);
    Graphics_D3D9_DeviceState_SetFVF((DWORD)Quad->VertexFormat);
    // Without a vertex shader, t# is the vertex's coordinate set named by stage #'s TEXCOORDINDEX,
    // which the base state points elsewhere for stages 2 and 3: the pass reads each set as it lies.
    D3D9DrawStateStage *stages = D3D9DeviceStateCache.Out.Stage;
    int kept_index[8];
    for (int stage = 0; stage < 8; ++stage) {
        kept_index[stage] = stages[stage].TexCoordIndex;
        if (kept_index[stage] != stage) Direct3DDevice9_SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
    }
    const HRESULT hr = Direct3DDevice9_DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, Quad->Vertices, (UINT)Quad->VertexSize);
    for (int stage = 0; stage < 8; ++stage)
        if (kept_index[stage] != stage)
            Direct3DDevice9_SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, (DWORD)kept_index[stage]);
    d.Shader = kept;
    GraphicsState.DrawStateChangedFlag = 1;
    // ... and resolved into its texture, which the next pass or a draw of the graph samples.
    if (render != nullptr) {
        Direct3DDevice9_EndSceneIfNeeded();
        if (Graphics_D3D9_ResolveRenderTarget(GetTypedHandle<GraphHandleData>(Quad->DestGraph, DX_HANDLETYPE_GRAPH, 0),
                                              0) < 0)
            return -1;
    }
    return hr == D3D_OK ? 0 : -1;
}
