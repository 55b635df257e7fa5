// What the graph filters' Direct3D 11 passes need of the back end: the filter archive's shaders,
// the ready channel-mix shaders, the filters' constant buffer, one quad through the
// texture-to-texture transfer with a filter pixel shader, from and into graphs or shadow maps, and
// the copy of a rectangle between graphs piece by piece.
#include <string.h>

#include <algorithm>

#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_transfer_win.h"
#include "zovuz/d3d11/windows/d3d11_handle_objects_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

static_assert(sizeof(D3D11Transfer8InputVertex) == 21 * sizeof(float), "the quad's vertices");

namespace {

constexpr int kFilterConstantSlot = 3;

// One texture of a graph or a shadow map as a quad reads and draws it, and where it lies: the
// rectangle (DrawX, DrawY, Width, Height) of the graph that it holds at (UseX, UseY) of the texture.
struct QuadTexture
{
    ID3D11Texture2D *Texture;
    ID3D11ShaderResourceView *View;
    ID3D11RenderTargetView *Target;  // null when it cannot be drawn into
    const GraphHandleData *Graph;    // null for a shadow map
    const GraphTextureEntry *Entry;  // the graph's texture entry, null for a shadow map
    int DrawX, DrawY, UseX, UseY, Width, Height;
};

// How many textures a quad may meet in a graph (its drawing pieces) or a shadow map (one).
int PieceCount(int Handle)
{
    if (const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0))
        return graph->Image != nullptr ? graph->PieceNum : 0;
    return GetTypedHandle<ShadowMapHandleData>(Handle, DX_HANDLETYPE_SHADOWMAP, 0) != nullptr ? 1 : 0;
}

// Drawing piece Index of a graph, or a shadow map's colour texture (the one its depth is drawn into).
bool PieceOf(int Handle, int Index, QuadTexture *Out)
{
    *Out = {};
    if (const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0)) {
        if (graph->Image == nullptr || Index < 0 || Index >= graph->PieceNum) return false;
        const GraphDrawPiece &piece = graph->Piece[Index];
        if (piece.Texture == nullptr || piece.Texture->PF == nullptr) return false;
        Out->Graph = graph;
        Out->Entry = piece.Texture;
        Out->Texture = D3D11PieceTexture(piece.Texture);
        Out->View = D3D11PieceView(piece.Texture);
        if (Out->Texture != nullptr) Out->Target = D3D11PieceTargetView(piece.Texture, graph->Image->MipLevels, 0, 0);
        Out->DrawX = piece.DrawX, Out->DrawY = piece.DrawY, Out->UseX = piece.UsePosX, Out->UseY = piece.UsePosY;
        Out->Width = piece.Width, Out->Height = piece.Height;
    } else if (const ShadowMapHandleData *map =
                   GetTypedHandle<ShadowMapHandleData>(Handle, DX_HANDLETYPE_SHADOWMAP, 0)) {
        const D3D11ShadowMapObjects *objects = D3D11ShadowMapObjectsOf(map);
        if (objects == nullptr || Index != 0) return false;
        Out->Texture = objects->ColorTexture;
        Out->View = objects->View;
        Out->Target = objects->Target;
        Out->Width = map->Width, Out->Height = map->Height;
    }
    return Out->Texture != nullptr && Out->View != nullptr;
}

// What a filter quad reads and draws: a graph's first drawing piece (the passes take graphs that
// are one texture at their origin), or a shadow map.
bool TextureOf(int Handle, QuadTexture *Out) { return PieceOf(Handle, 0, Out); }

RECT RectOf(const int R[4]) { return RECT{R[0], R[1], R[2], R[3]}; }

// A multisampled texture's face resolved into the texture that is sampled (nothing for another).
void Resolve(const QuadTexture &Piece, int Face)
{
    if (Piece.Entry == nullptr || D3D11GraphObjects(*Piece.Entry)->MultisampleTexture == nullptr) return;
    const GraphImageRecord *image = Piece.Graph->Image;
    const int mips = image->MipLevels > 0 ? image->MipLevels : 1;
    Graphics_D3D11_ResolveMultisampleTexture(Piece.Entry, Face * mips,
                                             (DXGI_FORMAT)D3D11FormatTable.Format[image->PixelFormat]);
}

}  // namespace

int Graphics_D3D11_Filter_FindShaderCode(const char *FileName, const void **Code, int *Size)
{
    if (!D3D11ShaderPack.LoadedFlag || D3D11ShaderPack.FilterArchive.Magic != ARCHIVE_MAGIC || FileName == nullptr)
        return -1;
    uint64_t position = 0, size = 0;
    if (ArchiveFindFile(&D3D11ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, FileName, &position, &size) < 0)
        return -1;
    if (position + size > D3D11ShaderPack.FilterImageSize || size == 0 || size > 0x7FFFFFFF) return -1;
    *Code = D3D11ShaderPack.FilterImage + position;
    *Size = (int)size;
    return 0;
}

int Graphics_D3D11_Filter_ChannelMixCode(int Index, const void **Code, int *Size)
{
    if (!D3D11ShaderPack.LoadedFlag || Index < 0 || Index >= D3D11_CHANNEL_MIX_PACK_SLOTS) return -1;
    const D3D11ShaderCode &code = D3D11ShaderPack.ChannelMix[Index];
    if (code.Code == nullptr || code.Size == 0) return -1;
    *Code = code.Code;
    *Size = (int)code.Size;
    return 0;
}

int Graphics_D3D11_Filter_SetConstants(const float *Values, int Count)
{
    D3D11ConstantBuffer *buffer = D3D11Buffers.Standard[D3D11_SCB_PIXEL_SLOT3];
    if (buffer == nullptr || Count < 0 || (size_t)Count * sizeof(float) > buffer->Size) return -1;
    float *floats = D3D11ConstantFloats(D3D11_SCB_PIXEL_SLOT3, 0);
    if (floats == nullptr) return -1;
    if (Count > 0) memcpy(floats, Values, (size_t)Count * sizeof(float));
    buffer->Dirty = 1;
    return Graphics_D3D11_ConstantBuffer_Update(buffer);
}

int Graphics_D3D11_Filter_DrawQuad(const D3D11FilterQuad *Quad)
{
    QuadTexture src, dest, second = {};
    if (Quad == nullptr || !TextureOf(Quad->SrcGraph, &src) || !TextureOf(Quad->DestGraph, &dest)) return -1;
    if (Quad->SecondGraph >= 0 && !TextureOf(Quad->SecondGraph, &second)) return -1;
    ID3D11PixelShader *pixelShader = nullptr;
    if (Quad->PixelShader >= 0) {
        ShaderHandleData *shader = GetTypedHandle<ShaderHandleData>(Quad->PixelShader, DX_HANDLETYPE_SHADER, 0);
        const D3D11ShaderObjects *objects = shader != nullptr ? D3D11ShaderObjectsOf(shader) : nullptr;
        if (objects == nullptr || shader->IsVertexShader || objects->Pixel == nullptr) return -1;
        pixelShader = objects->Pixel;
    }
    ID3D11RenderTargetView *target = dest.Target;
    if (target == nullptr) return -1;
    D3D11ConstantBuffer *constants = D3D11Buffers.Standard[D3D11_SCB_PIXEL_SLOT3];
    if (constants != nullptr) Graphics_D3D11_DeviceState_SetPSConstantBuffers(kFilterConstantSlot, 1, &constants);
    const RECT srcRect = RectOf(Quad->SrcRect), destRect = RectOf(Quad->DestRect),
               secondRect = RectOf(Quad->SecondRect);
    const int result = Graphics_D3D11_StretchRect(src.Texture, src.View, &srcRect, dest.Texture, target, &destRect,
                                                  Quad->LinearFlag, 0, nullptr, pixelShader, second.Texture,
                                                  second.View, second.Texture != nullptr ? &secondRect : nullptr,
                                                  (const D3D11Transfer8InputVertex *)Quad->Vertices8);
    // A multisampled destination's view draws into its multisampled texture: the next pass and a
    // draw of the graph sample the other one.
    if (result == 0) Resolve(dest, 0);
    return result;
}

int Graphics_D3D11_Filter_CopyRect(int SrcGraph, const int SrcRect[4], int DestGraph, int DestX, int DestY)
{
    const int sources = PieceCount(SrcGraph), dests = PieceCount(DestGraph);
    if (SrcRect == nullptr || sources < 1 || dests < 1) return -1;
    // From the source's coordinates to the destination's.
    const int dx = DestX - SrcRect[0], dy = DestY - SrcRect[1];
    for (int d = 0; d < dests; ++d) {
        QuadTexture dest;
        if (!PieceOf(DestGraph, d, &dest) || dest.Target == nullptr) return -1;
        bool drawn = false;
        for (int s = 0; s < sources; ++s) {
            QuadTexture src;
            if (!PieceOf(SrcGraph, s, &src)) return -1;
            // The part of the rectangle that both pieces hold, in the destination's coordinates.
            const int left = std::max({SrcRect[0], src.DrawX}) + dx, top = std::max({SrcRect[1], src.DrawY}) + dy;
            const int right = std::min({SrcRect[2], src.DrawX + src.Width}) + dx,
                      bottom = std::min({SrcRect[3], src.DrawY + src.Height}) + dy;
            const RECT to = {std::max(left, dest.DrawX), std::max(top, dest.DrawY),
                             std::min(right, dest.DrawX + dest.Width), std::min(bottom, dest.DrawY + dest.Height)};
            if (to.left >= to.right || to.top >= to.bottom) continue;
            const int sx = src.UseX - src.DrawX - dx, sy = src.UseY - src.DrawY - dy;
            const int tx = dest.UseX - dest.DrawX, ty = dest.UseY - dest.DrawY;
            const RECT from = {to.left + sx, to.top + sy, to.right + sx, to.bottom + sy};
            const RECT into = {to.left + tx, to.top + ty, to.right + tx, to.bottom + ty};
            if (Graphics_D3D11_StretchRect(src.Texture, src.View, &from, dest.Texture, dest.Target, &into, 0, 0,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) < 0)
                return -1;
            drawn = true;
        }
        if (drawn) Resolve(dest, 0);
    }
    return 0;
}

int Graphics_D3D11_Filter_ResolveDrawTarget(int GraphHandle)
{
    if (!D3D11Device_IsValid()) return -1;
    const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(GraphHandle, DX_HANDLETYPE_GRAPH, 0);
    if (graph == nullptr) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    const int face = GraphHandle == d.RenderTarget[0] ? d.RenderTargetSurface[0] : 0;
    for (int i = 0; i < graph->PieceNum; ++i) {
        QuadTexture piece;
        if (PieceOf(GraphHandle, i, &piece)) Resolve(piece, face);
    }
    return 0;
}
