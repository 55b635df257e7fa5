// The input layouts, the batch's vertex buffer and its flush.
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

#include <string.h>

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"

D3D11BatchBuffer D3D11Batch;
D3D11InputLayoutData D3D11InputLayouts;

namespace {

static_assert((int)D3D11FMT_R8G8B8A8_UNORM == (int)DXGI_FORMAT_R8G8B8A8_UNORM &&
                  (int)D3D11FMT_B8G8R8A8_UNORM == (int)DXGI_FORMAT_B8G8R8A8_UNORM &&
                  (int)D3D11FMT_R32G32_FLOAT == (int)DXGI_FORMAT_R32G32_FLOAT &&
                  (int)D3D11FMT_R32G32B32A32_FLOAT == (int)DXGI_FORMAT_R32G32B32A32_FLOAT &&
                  6 == (int)DXGI_FORMAT_R32G32B32_FLOAT,
              "the vertex formats' element formats are the platform's");

HRESULT CreateLayout(const D3D11VertexElement *Elements, int BaseSlot, ID3D11InputLayout **Layout)
{
    D3D11_INPUT_ELEMENT_DESC desc[D3D11_VERTEX_ELEMENT_MAXNUM] = {};
    const int count = D3D11VertexElementCount(Elements);
    for (int i = 0; i < count; i++) {
        desc[i].SemanticName = Elements[i].SemanticName;
        desc[i].SemanticIndex = (UINT)Elements[i].SemanticIndex;
        desc[i].Format = (DXGI_FORMAT)Elements[i].Format;
        desc[i].InputSlot = 0;
        desc[i].AlignedByteOffset = (UINT)Elements[i].Offset;
        desc[i].InputSlotClass = D3D11_INPUT_PER_VERTEX_DATA;
        desc[i].InstanceDataStepRate = 0;
    }
    const D3D11ShaderCode &code = D3D11ShaderPack.Base[BaseSlot];
    return D3D11Device_CreateInputLayout(desc, (UINT)count, code.Code, code.Size, Layout);
}

int VertexSize(int Format) { return D3D11VertexFormats[Format].Size; }

constexpr int AlphaBlendPreset = 1;  // source alpha over the target
constexpr int PlainCopyPreset = 0;

// Whether the pending 2-D image draw is an alpha blend that comes out as a plain copy: the shader
// takes the image's alpha as 1 and every vertex has full alpha, so each pixel's alpha is exactly
// 1 and the blend would read the pixel under it only to weigh it by 0.
bool BlendIsPlainCopy(const D3D11BatchBuffer &B, int Format)
{
    const D3D11DeviceStateCache &s = D3D11DeviceState;
    if (B.Kind != 1 || B.Flag3D || s.BlendPreset != AlphaBlendPreset || !s.OpaqueTexelFlag ||
        !s.PixelShaderStandardFlag)
        return false;
    const int size = VertexSize(Format);
    const uint8_t *alpha = B.Mapped + D3D11VertexFormats[Format].Element[1].Offset + 3;  // COLOR's fourth byte
    for (int i = 0; i < B.Count; i++, alpha += size)
        if (*alpha != 0xFF) return false;
    return true;
}

// Maps the buffer for writing when it is not mapped: after the batches drawn so far without
// touching them, or discarded and from its head when they fill it. A failed map leaves both
// pointers null, so appends write nothing until a later flush maps it.
void MapBatch()
{
    D3D11BatchBuffer &b = D3D11Batch;
    if (b.Buffer != nullptr && b.Mapped == nullptr) {
        const bool full = b.Used >= D3D11_BATCH_BUFFER_SIZE;
        D3D11_MAPPED_SUBRESOURCE mapped = {};
        if (D3D11DeviceContext_Map(b.Buffer, 0, full ? D3D11_MAP_WRITE_DISCARD : D3D11_MAP_WRITE_NO_OVERWRITE, 0,
                                   &mapped) == S_OK) {
            if (full) b.Used = 0;
            b.Mapped = (uint8_t *)mapped.pData + b.Used;
        }
    }
    b.Write = b.Mapped;
}

// Starts a batch of Num vertices of Size bytes: at the first multiple of Size after the batches
// drawn (the draw counts in vertices from the buffer's head), or at the head of the discarded
// buffer when it would not fit or the last batch filled the buffer. -1 when the buffer cannot be
// mapped.
int StartBatch(int Num, int Size, bool Discard)
{
    D3D11BatchBuffer &b = D3D11Batch;
    if (b.Mapped == nullptr) return -1;
    const int start = (b.Used + Size - 1) / Size * Size;
    if (Discard || start + Num * Size > D3D11_BATCH_BUFFER_SIZE) {
        D3D11DeviceContext_Unmap_ASync(b.Buffer, 0, 0);
        b.Mapped = b.Write = nullptr;
        b.Used = D3D11_BATCH_BUFFER_SIZE;
        MapBatch();
        return b.Write != nullptr ? 0 : -1;
    }
    b.Mapped += start - b.Used;
    b.Used = start;
    b.Write = b.Mapped;
    return 0;
}

}  // namespace

// ---- Input layouts ------------------------------------------------------------------------------

int Graphics_D3D11_CreateInputLayouts(void)
{
    Graphics_D3D11_ReleaseInputLayouts();
    AddLogStringWide(L"各種 ID3D11InputLayout の作成.... ");
    if (GraphicsDeviceCaps.VertexColorBGRAFlag) D3D11_RewriteVertexColorOrder();
    const int baseVertex = D3D11BaseShaderGroups[D3D11_GROUP_BASE_VERTEX].FirstSlot;
    for (int format = 0; format < D3D11_VERTEX_FORMAT_NUM; format++)
        if (CreateLayout(D3D11VertexFormats[format].Element, baseVertex + format, &D3D11InputLayouts.Layout[format]) !=
            S_OK) {
            D3D11InputLayouts.Layout[format] = nullptr;
            AddLogStringWide(L"標準描画用の ID3D11InputLayout の作成に失敗\n");
            return -1;
        }
    if (CreateLayout(D3D11TransferVertexElements, D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER_VERTEX].FirstSlot,
                     &D3D11InputLayouts.Layout[D3D11_INPUT_LAYOUT_TRANSFER]) != S_OK) {
        D3D11InputLayouts.Layout[D3D11_INPUT_LAYOUT_TRANSFER] = nullptr;
        AddLogStringWide(L"単純転送用の ID3D11InputLayout の作成に失敗\n");
        return -1;
    }
    if (CreateLayout(D3D11Transfer8VertexElements, D3D11BaseShaderGroups[D3D11_GROUP_TRANSFER8_VERTEX].FirstSlot,
                     &D3D11InputLayouts.Layout[D3D11_INPUT_LAYOUT_TRANSFER8]) != S_OK) {
        D3D11InputLayouts.Layout[D3D11_INPUT_LAYOUT_TRANSFER8] = nullptr;
        AddLogStringWide(L"テクスチャ座標8個の単純転送用の ID3D11InputLayout の作成に失敗\n");
        return -1;
    }
    AddLogStringWide(L"成功\n");
    return 0;
}

int Graphics_D3D11_ReleaseInputLayouts(void)
{
    if (!D3D11Device_IsValid()) return -1;
    for (ID3D11InputLayout *&layout : D3D11InputLayouts.Layout) {
        if (layout == nullptr) continue;
        if (D3D11DeviceState.InputLayout == layout) D3D11DeviceState.InputLayout = nullptr;
        D3D11InputLayout_Release(layout);
        layout = nullptr;
    }
    return 0;
}

// ---- The batch buffer ----------------------------------------------------------------------------

int Graphics_D3D11_CreateStandardVertexBuffer(void)
{
    AddLogStringWide(L"標準描画用の頂点バッファの作成.... ");
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = D3D11_BATCH_BUFFER_SIZE;
    desc.Usage = D3D11_USAGE_DYNAMIC;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    if (D3D11Device_CreateBuffer(&desc, nullptr, &D3D11Batch.Buffer) != S_OK) {
        D3D11Batch.Buffer = nullptr;
        AddLogStringWide(L"失敗\n");
        return -1;
    }
    D3D11Batch.Used = D3D11_BATCH_BUFFER_SIZE;  // the first map discards
    AddLogStringWide(L"成功\n");
    return 0;
}

int Graphics_D3D11_ReleaseStandardVertexBuffer(void)
{
    D3D11BatchBuffer &b = D3D11Batch;
    if (b.Buffer != nullptr) {
        if (b.Mapped != nullptr) D3D11DeviceContext_Unmap_ASync(b.Buffer, 0, 0);
        if (D3D11DeviceState.VertexBuffer == b.Buffer) D3D11DeviceState.VertexBuffer = nullptr;
        D3D11Buffer_Release(b.Buffer);
    }
    b.Buffer = nullptr;
    b.Mapped = nullptr;
    b.Write = nullptr;
    b.Used = 0;
    b.Count = 0;
    return 0;
}

int Graphics_D3D11_RenderVertexBuffer(int Next3D, int ASyncThread)
{
    if (ASyncThread) {
        ASyncLoadRequestInfo info = {};
        info.Function = Graphics_D3D11_RenderVertexBuffer_ASyncCallback;
        info.Data[0] = (uintptr_t)(intptr_t)Next3D;
        return RequestMainThreadCall(&info);
    }
    if (!D3D11Device_IsValid()) return -1;
    D3D11BatchBuffer &b = D3D11Batch;
    D3D11DeviceStateCache &s = D3D11DeviceState;
    if (b.Count > 0 && !GetLibraryEndFlag() && !b.SkipFlag) {
        const int format = D3D11BatchVertexFormat[(b.Flag3D ? 3 : 0) + b.Kind];
        const bool plainCopy = b.Mapped != nullptr && BlendIsPlainCopy(b, format);
        if (plainCopy) {
            s.BlendPreset = PlainCopyPreset;
            s.BlendChangedFlag = 1;
        }
        if (b.Mapped != nullptr) {
            D3D11DeviceContext_Unmap_ASync(b.Buffer, 0, 0);
            b.Mapped = nullptr;
        }
        if (s.Topology != (D3D11_PRIMITIVE_TOPOLOGY)b.Topology)
            Graphics_D3D11_DeviceState_SetPrimitiveTopology((D3D11_PRIMITIVE_TOPOLOGY)b.Topology);
        if (s.InputLayout != D3D11InputLayouts.Layout[format])
            Graphics_D3D11_DeviceState_SetInputLayout(D3D11InputLayouts.Layout[format]);
        ID3D11VertexShader *shader =
            D3D11StandardShaders.Vertex[D3D11BaseShaderGroups[D3D11_GROUP_BASE_VERTEX].FirstSlot + format];
        if (s.VertexShader != shader) Graphics_D3D11_DeviceState_SetVertexShader(shader, 1);
        if (s.VertexBuffer != b.Buffer || s.VertexStride != (UINT)VertexSize(format))
            Graphics_D3D11_DeviceState_SetVertexBuffer(b.Buffer, (UINT)VertexSize(format));
        Graphics_D3D11_ApplyStateObjects();
        D3D11DeviceContext_Draw((UINT)b.Count, (UINT)(b.Used / VertexSize(format)));
        b.Used += b.Count * VertexSize(format);
        if (plainCopy) {
            s.BlendPreset = AlphaBlendPreset;
            s.BlendChangedFlag = 1;
        }
    }
    if (Next3D >= 0) b.Flag3D = Next3D;
    b.Count = 0;
    MapBatch();
    return 0;
}

int Graphics_D3D11_RenderVertexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info)
{
    return Graphics_D3D11_RenderVertexBuffer((int)(intptr_t)Info->Data[0], 0);
}

int Graphics_D3D11_AppendBatchVertices(const void *Vertices, int Num, int Topology)
{
    D3D11BatchBuffer &b = D3D11Batch;
    if (Num <= 0) return -1;
    if (b.Flag3D || b.Topology != Topology) {
        Graphics_D3D11_RenderVertexBuffer(0, 0);
        b.Topology = Topology;
    }
    const int size = VertexSize(D3D11BatchVertexFormat[b.Kind]);
    if (Num * size > D3D11_BATCH_BUFFER_SIZE) return -1;
    const bool full = b.Count > 0 && b.Count + Num >= (D3D11_BATCH_BUFFER_SIZE - b.Used) / size;
    if (full) Graphics_D3D11_RenderVertexBuffer(0, 0);
    if (b.Count == 0 && StartBatch(Num, size, full) < 0) return -1;
    if (b.Write == nullptr) return -1;
    memcpy(b.Write, Vertices, (size_t)(Num * size));
    b.Write += Num * size;
    b.Count += Num;
    return 0;
}
