// The common-buffer draws and the 3-D shader set-up.
#include "zovuz/d3d11/draw/windows/d3d11_3d_draw_win.h"

#include <stdint.h>
#include <string.h>

#include "zovuz/d3d11/state/d3d11_state_tables.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

D3D11DeviceStateCache &S = D3D11DeviceState;

// The blend mode the draw blends with: the cached one, but with no blending an alpha draw target
// keeps its alpha (14), and a texture whose alpha is used blends by it (1); mode 3 draws as 16.
int EffectiveBlendMode(void)
{
    int mode = S.BlendMode >= 0 && S.BlendMode < D3D11_BLEND_PRESET_NUM ? S.BlendMode : 0;
    if (mode == 0) {
        if (GraphicsDrawSettings.DrawScreenAlphaFlag) mode = 14;
        if (S.Texture != nullptr && S.AlphaTestSwitch == 1) mode = 1;
    } else if (mode == 3) {
        mode = 16;
    }
    return mode;
}

// Copies Bytes into a dynamic buffer. 0 / -1.
int Fill(ID3D11Buffer *Buffer, const void *Data, int Bytes)
{
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (Buffer == nullptr || D3D11DeviceContext_Map(Buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped) != S_OK ||
        mapped.pData == nullptr)
        return -1;
    memcpy(mapped.pData, Data, (size_t)Bytes);
    D3D11DeviceContext_Unmap_ASync(Buffer, 0, 0);
    return 0;
}

// The 3-D pixel shaders always sample texture 0: an untextured 3-D draw samples the library's
// white graph, so that its colour is the lit vertex colour. Null when that graph cannot be had.
ID3D11ShaderResourceView *WhiteGraphView(void)
{
    const int handle = GetWhiteTextureGraph();
    const GraphHandleData *graph =
        handle > 0 ? GetTypedHandle<GraphHandleData>(handle, DX_HANDLETYPE_GRAPH, 0) : nullptr;
    return D3D11PieceView(D3D11FirstPiece(graph));
}

// The vertices into the common buffer, then everything but the draw call. 0 / -1.
int SetupVertices(int Format, D3D11_PRIMITIVE_TOPOLOGY Topology, const void *Vertices, int Num, int SetShader)
{
    if (!D3D11Device_IsValid() || Format < 0 || Format >= D3D11_VERTEX_FORMAT_NUM || Vertices == nullptr || Num <= 0)
        return -1;
    // Made (on first use) before the common buffer is filled: making a graph may draw the batch.
    ID3D11ShaderResourceView *white =
        Format == D3D11_VERTEX3D && SetShader && S.Texture == nullptr ? WhiteGraphView() : nullptr;
    const int size = D3D11VertexFormats[Format].Size;
    if (Num > INT32_MAX / size) return -1;
    if (Graphics_D3D11_CreateCommonVertexBuffer(Num * size) < 0 ||
        Fill(D3D11Buffers.CommonVertexBuffer, Vertices, Num * size) < 0)
        return -1;
    Graphics_D3D11_DeviceState_SetPrimitiveTopology(Topology);
    Graphics_D3D11_DeviceState_SetInputLayout(D3D11InputLayouts.Layout[Format]);
    if (SetShader) {
        if (Format == D3D11_VERTEX3D) {
            if (Graphics_D3D11_Shader_Normal3DDraw_Setup() != 1) return -1;
            if (white != nullptr) Graphics_D3D11_DeviceState_SetPSShaderResources(0, 1, &white);
        } else {
            const int slot = D3D11BaseShaderGroups[D3D11_GROUP_BASE_VERTEX].FirstSlot + Format;
            Graphics_D3D11_DeviceState_SetVertexShader(D3D11StandardShaders.Vertex[slot], 1);
        }
    }
    Graphics_D3D11_DeviceState_SetVertexBuffer(D3D11Buffers.CommonVertexBuffer, (UINT)size);
    return 0;
}

}  // namespace

// ---- The 3-D shaders ---------------------------------------------------------------------------

D3D11ThreeDDrawTerms Graphics_D3D11_ThreeDDrawTerms(void)
{
    D3D11ThreeDDrawTerms t = {};
    t.ShadowMapDrawFlag = GraphicsShadowMapSettings.DrawFlag ? 1 : 0;
    t.LightingFlag = S.LightingEnable ? 1 : 0;
    for (int i = 0; i < D3D11_3D_LIGHT_NUM; i++) {
        if (!S.LightEnable[i]) continue;
        t.LightTypes[i] = S.Light[i].LightType;
        t.EnabledLightNum++;
    }
    t.FogMode = S.FogEnable ? S.FogMode : 0;
    for (int slot = 0; slot < DX_SHADOWMAP_SLOT_NUM; slot++)
        if (Graphics_D3D11_ShadowMapOfSlot(slot) != nullptr) t.ShadowFlag = 1;
    t.AlphaTest = S.AlphaTestFunc != D3D11_COMPARISON_GREATER ? 1 : 0;
    t.Blend = D3D11BlendPresets[EffectiveBlendMode()].ShaderClass;
    t.PixelLightingFlag = D3D11ThreeDShaderSettings.PixelLightingFlag;
    return t;
}

int Graphics_D3D11_Shader_Normal3DDraw_Setup(void)
{
    if (Graphics_D3D11_Load3DShaderPack() != 1) return 0;
    const D3D11ShaderPackData &pack = D3D11ShaderPack;

    // Without the alpha switches and the depth test the texel's alpha counts as 1.
    const int switch60 = !S.AlphaTestSwitch && !S.AlphaChannelSwitch && !S.DepthStencilStateDesc.DepthEnable ? 1 : 0;
    if (S.PixelSwitch60 != switch60) Graphics_D3D11_SetPixelSwitch60(switch60);

    const D3D11ThreeDDrawTerms terms = Graphics_D3D11_ThreeDDrawTerms();
    D3D11ThreeDShaderChoice choice;
    if (D3D11ChooseThreeDShaders(&terms, &pack.LightIndex, pack.ThreeD, &choice) != 0) return 0;

    D3D11StandardShaderData &shaders = D3D11StandardShaders;
    ID3D11VertexShader *&vertex = shaders.ThreeDVertex[choice.VertexSlot];
    if (vertex == nullptr) {
        const D3D11ShaderCode &code = pack.ThreeD[choice.VertexSlot];
        if (D3D11Device_CreateVertexShader(code.Code, code.Size, nullptr, &vertex) != S_OK) {
            vertex = nullptr;
            AddLogStringWide(L"Graphics_D3D11_Shader_Normal3DDraw_Setup で頂点シェーダーの作成に失敗しました\n");
            return 0;
        }
    }
    // A 3-D shader is the back end's own, but not what 2-D drawing binds: the next preparation
    // must choose its pixel shader again.
    if (S.VertexShader != vertex || S.ForceFlag) {
        Graphics_D3D11_DeviceState_SetVertexShader(vertex, 1);
        S.DrawStateDirtyFlag = 1;
        S.ReChooseFlag = 1;
    }

    ID3D11PixelShader *&pixel = shaders.ThreeDPixel[choice.PixelSlot];
    if (pixel == nullptr) {
        const D3D11ShaderCode &code = pack.ThreeD[choice.PixelSlot];
        if (D3D11Device_CreatePixelShader(code.Code, code.Size, nullptr, &pixel) != S_OK) {
            pixel = nullptr;
            AddLogStringWide(L"Graphics_D3D11_Shader_Normal3DDraw_Setup でピクセルシェーダーの作成に失敗しました\n");
            return 0;
        }
    }
    if (S.PixelShader != pixel || S.ForceFlag) {
        Graphics_D3D11_DeviceState_SetPixelShader(pixel, 1);
        S.DrawStateDirtyFlag = 1;
        S.ReChooseFlag = 1;
    }
    return 1;
}

// ---- The common-buffer draws ---------------------------------------------------------------

int Graphics_D3D11_CommonBuffer_Draw(int Format, D3D11_PRIMITIVE_TOPOLOGY Topology, const void *Vertices, int Num,
                                     int SetShader)
{
    if (SetupVertices(Format, Topology, Vertices, Num, SetShader) < 0) return -1;
    Graphics_D3D11_ApplyStateObjects();
    D3D11DeviceContext_Draw((UINT)Num, 0);
    return 0;
}

int Graphics_D3D11_CommonBuffer_DrawIndexed(int Format, D3D11_PRIMITIVE_TOPOLOGY Topology, const void *Vertices,
                                            int VertexNum, const void *Indices, int IndexNum, DXGI_FORMAT IndexFormat,
                                            int SetShader)
{
    const int indexSize = IndexFormat == DXGI_FORMAT_R16_UINT ? 2 : IndexFormat == DXGI_FORMAT_R32_UINT ? 4 : 0;
    if (indexSize == 0 || Indices == nullptr || IndexNum <= 0 || IndexNum > INT32_MAX / indexSize) return -1;
    if (SetupVertices(Format, Topology, Vertices, VertexNum, SetShader) < 0) return -1;
    if (Graphics_D3D11_CreateCommonIndexBuffer(IndexNum * indexSize) < 0 ||
        Fill(D3D11Buffers.CommonIndexBuffer, Indices, IndexNum * indexSize) < 0)
        return -1;
    Graphics_D3D11_DeviceState_SetIndexBuffer(D3D11Buffers.CommonIndexBuffer, IndexFormat);
    Graphics_D3D11_ApplyStateObjects();
    D3D11DeviceContext_DrawIndexed((UINT)IndexNum, 0, 0);
    return 0;
}
