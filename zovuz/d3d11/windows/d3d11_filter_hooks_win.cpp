// What the graph filters' Direct3D 11 passes need of the back end: the filter archive's shaders,
// the ready channel-mix shaders, the filters' constant buffer and one quad through the
// texture-to-texture transfer with a filter pixel shader, from and into graphs or shadow maps.
#include <string.h>

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

struct QuadTexture
{
    ID3D11Texture2D *Texture;
    ID3D11ShaderResourceView *View;
    ID3D11RenderTargetView *Target;  // null when it cannot be drawn into
};

// A graph's first texture, or a shadow map's colour texture (the one its depth is drawn into).
bool TextureOf(int Handle, QuadTexture *Out)
{
    *Out = {};
    if (const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(Handle, DX_HANDLETYPE_GRAPH, 0)) {
        const GraphTextureEntry *piece = D3D11FirstPiece(graph);
        Out->Texture = D3D11PieceTexture(piece);
        Out->View = D3D11PieceView(piece);
        if (Out->Texture != nullptr && graph->Image != nullptr)
            Out->Target = D3D11PieceTargetView(piece, graph->Image->MipLevels, 0, 0);
    } else if (const ShadowMapHandleData *map =
                   GetTypedHandle<ShadowMapHandleData>(Handle, DX_HANDLETYPE_SHADOWMAP, 0)) {
        const D3D11ShadowMapObjects *objects = D3D11ShadowMapObjectsOf(map);
        if (objects == nullptr) return false;
        Out->Texture = objects->ColorTexture;
        Out->View = objects->View;
        Out->Target = objects->Target;
    }
    return Out->Texture != nullptr && Out->View != nullptr;
}

RECT RectOf(const int R[4]) { return RECT{R[0], R[1], R[2], R[3]}; }

// A multisampled graph's face resolved into the texture that is sampled (nothing for another).
void Resolve(const GraphHandleData *Graph, int Face)
{
    const GraphTextureEntry *piece = D3D11FirstPiece(Graph);
    if (piece == nullptr || D3D11GraphObjects(*piece)->MultisampleTexture == nullptr) return;
    const GraphImageRecord *image = Graph->Image;
    const int mips = image->MipLevels > 0 ? image->MipLevels : 1;
    Graphics_D3D11_ResolveMultisampleTexture(piece, Face * mips,
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
    if (result == 0) Resolve(GetTypedHandle<GraphHandleData>(Quad->DestGraph, DX_HANDLETYPE_GRAPH, 0), 0);
    return result;
}

int Graphics_D3D11_Filter_ResolveDrawTarget(int GraphHandle)
{
    if (!D3D11Device_IsValid()) return -1;
    const GraphHandleData *graph = GetTypedHandle<GraphHandleData>(GraphHandle, DX_HANDLETYPE_GRAPH, 0);
    if (graph == nullptr) return -1;
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    Resolve(graph, GraphHandle == d.RenderTarget[0] ? d.RenderTargetSurface[0] : 0);
    return 0;
}
