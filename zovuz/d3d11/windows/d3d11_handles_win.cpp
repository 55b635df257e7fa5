// The device objects of buffer, shader and constant-buffer handles: filling, creating and
// releasing them, their rebuild after a new device, and the walk that releases every handle's
// objects before the device goes.

#include <string.h>

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/windows/d3d11_handle_objects_win.h"

namespace {

// The byte range of Num units from unit Start, refused outside the handle's units.
template <typename Record>
int SetData(Record *Buffer, int Start, const void *Source, int Num)
{
    if (Buffer == nullptr || Buffer->PF == nullptr || Source == nullptr) return -1;
    ID3D11Buffer *buffer = D3D11BufferObjectsOf(Buffer)->Buffer;
    if (buffer == nullptr || Start < 0 || Num < 0 || Start > Buffer->Num || Num > Buffer->Num - Start) return -1;
    if (Num == 0) return 0;
    const D3D11_BOX box = {(UINT)(Buffer->UnitSize * Start), 0, 0, (UINT)(Buffer->UnitSize * (Start + Num)), 1, 1};
    D3D11DeviceContext_UpdateSubresource(buffer, 0, &box, Source, 0, 0);
    return 0;
}

template <typename Record>
int ReleaseBuffer(Record *Buffer)
{
    if (Buffer == nullptr || Buffer->PF == nullptr) return 0;
    ReleaseAndClear(D3D11BufferObjectsOf(Buffer)->Buffer, D3D11Buffer_Release);
    return 0;
}

// A buffer handle's device buffer made again and refilled from its system copy.
template <typename Record>
void RecreateBuffer(Record *Buffer, UINT Bind, int (*Refill)(int, const void *, int, int), const wchar_t *Failure)
{
    D3D11BufferObjects *objects = D3D11BufferObjectsOf(Buffer);
    if (objects == nullptr || objects->Buffer != nullptr) return;
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = (UINT)(Buffer->Num * Buffer->UnitSize);
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = Bind;
    ID3D11Buffer *buffer = nullptr;
    if (desc.ByteWidth == 0 || D3D11Device_CreateBuffer(&desc, nullptr, &buffer) != S_OK) {
        AddLogStringWide(Failure);
        return;
    }
    objects->Buffer = buffer;
    if (Buffer->Buffer != nullptr) Refill(0, Buffer->Buffer, Buffer->Num, Buffer->Info.Handle);
}

// Makes a shader object of either kind from code into its member of Objects. S_OK (the member
// set) or the failure (the member null).
HRESULT CreateShaderObject(int IsVertexShader, const void *Code, int CodeSize, D3D11ShaderObjects *Objects,
                           int ASyncThread)
{
    HRESULT hr;
    if (IsVertexShader) {
        hr = D3D11Device_CreateVertexShader_ASync(Code, (SIZE_T)CodeSize, nullptr, &Objects->Vertex, ASyncThread);
        if (hr != S_OK || Objects->Vertex == nullptr) Objects->Vertex = nullptr;
    } else {
        hr = D3D11Device_CreatePixelShader_ASync(Code, (SIZE_T)CodeSize, nullptr, &Objects->Pixel, ASyncThread);
        if (hr != S_OK || Objects->Pixel == nullptr) Objects->Pixel = nullptr;
    }
    return hr;
}

void ReleaseShaderObjects(D3D11ShaderObjects *Objects)
{
    if (Objects == nullptr) return;
    ReleaseAndClear(Objects->Vertex, D3D11VertexShader_Release);
    ReleaseAndClear(Objects->Pixel, D3D11PixelShader_Release);
}

}  // namespace

int Graphics_D3D11_SetBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    return SetData(Buffer, Start, Source, Num);
}

int Graphics_D3D11_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    return SetData(Buffer, Start, Source, Num);
}

int Graphics_D3D11_VertexBuffer_Release(VertexBufferHandleData *Buffer) { return ReleaseBuffer(Buffer); }

int Graphics_D3D11_IndexBuffer_Release(IndexBufferHandleData *Buffer) { return ReleaseBuffer(Buffer); }

int Graphics_D3D11_ShaderConstantBuffer_Release(ShaderConstantBufferHandleData *Buffer)
{
    if (Buffer == nullptr || Buffer->PF == nullptr) return 0;
    ReleaseAndClear(D3D11ConstantBufferObjectsOf(Buffer)->Record, Graphics_D3D11_DeleteConstantBuffer);
    return 0;
}

int Graphics_D3D11_Shader_Release(ShaderHandleData *Shader)
{
    if (Shader != nullptr) ReleaseShaderObjects(D3D11ShaderObjectsOf(Shader));
    return 0;
}

int Graphics_D3D11_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                      int FreeCodeFlag, int ASyncThread)
{
    auto fail = [&] {
        if (FreeCodeFlag && Code != nullptr && (Shader == nullptr || Code != Shader->FunctionCode))
            DxFree(const_cast<void *>(Code));
        return -1;
    };
    if (Shader == nullptr || Shader->PF == nullptr || Code == nullptr || CodeSize <= 0) return fail();
    HandleInfo *info = HandleCheck(Shader->Info.Handle);
    if (info != &Shader->Info || (info->ASyncLoadCount != 0 && !ASyncThread)) return fail();

    D3D11ShaderObjects made = {};
    if (CreateShaderObject(IsVertexShader, Code, CodeSize, &made, ASyncThread) != S_OK ||
        (made.Vertex == nullptr && made.Pixel == nullptr)) {
        AddLogStringWide(IsVertexShader ? L"頂点シェーダーの作成に失敗しました\n"
                                        : L"ピクセルシェーダーの作成に失敗しました\n");
        return fail();
    }
    void *copy = DXCALLOC((size_t)CodeSize);
    if (copy == nullptr) {
        AddLogStringWide(L"メモリの確保に失敗しました");
        ReleaseShaderObjects(&made);
        return fail();
    }
    memcpy(copy, Code, (size_t)CodeSize);

    // The record owns its code: a copy it held before (the front end's) goes, the caller's only
    // when asked.
    D3D11ShaderObjects &objects = *D3D11ShaderObjectsOf(Shader);
    ReleaseShaderObjects(&objects);
    void *old = Shader->FunctionCode;
    Shader->FunctionCode = copy;
    Shader->FunctionCodeSize = CodeSize;
    Shader->IsVertexShader = IsVertexShader ? 1 : 0;
    objects = made;
    if (old != nullptr) DxFree(old);
    if (FreeCodeFlag && Code != old) DxFree(const_cast<void *>(Code));
    return 0;
}

int Graphics_D3D11_GetShaderVersion(void)
{
    if (!D3D11Device_IsValid()) return 0;
    switch (D3D11_GetFeatureLevel()) {
        case D3D11_LEVEL_9_1:
        case D3D11_LEVEL_9_2:
        case D3D11_LEVEL_9_3:
            return 200;
        case D3D11_LEVEL_10_0:
        case D3D11_LEVEL_10_1:
            return 400;
        case D3D11_LEVEL_11_0:
        case D3D11_LEVEL_11_1:
            return 500;
        default:
            return 0;
    }
}

int Graphics_D3D11_RecreateHandleBuffers(void)
{
    ForEachHandle<GraphHandleData>(DX_HANDLETYPE_GRAPH, [](GraphHandleData *Graph) {
        // An image record serves several graphs: its textures are made once.
        GraphImageRecord *image = Graph->Image;
        if (image == nullptr || !image->Format.HardwareFlag || image->TextureNum <= 0) return;
        if (image->Texture[0].PF != nullptr && D3D11GraphObjects(image->Texture[0])->Texture != nullptr) return;
        Graphics_Hardware_CreateTexture(image, 0);
    });
    ForEachHandle<ShadowMapHandleData>(DX_HANDLETYPE_SHADOWMAP,
                                       [](ShadowMapHandleData *Map) { Graphics_D3D11_SetupShadowMap(Map, 0); });
    ForEachHandle<VertexBufferHandleData>(DX_HANDLETYPE_VERTEX_BUFFER, [](VertexBufferHandleData *Buffer) {
        RecreateBuffer(Buffer, D3D11_BIND_VERTEX_BUFFER, SetVertexBufferData,
                       L"頂点バッファハンドル用の頂点バッファの作成に失敗しました\n");
    });
    ForEachHandle<IndexBufferHandleData>(DX_HANDLETYPE_INDEX_BUFFER, [](IndexBufferHandleData *Buffer) {
        RecreateBuffer(Buffer, D3D11_BIND_INDEX_BUFFER, SetIndexBufferData,
                       L"インデックスバッファハンドル用のインデックスバッファの作成に失敗しました\n");
    });
    ForEachHandle<ShaderHandleData>(DX_HANDLETYPE_SHADER, [](ShaderHandleData *Shader) {
        D3D11ShaderObjects *objects = D3D11ShaderObjectsOf(Shader);
        if (objects == nullptr || objects->Vertex != nullptr || objects->Pixel != nullptr ||
            Shader->FunctionCode == nullptr)
            return;
        // A shader that cannot be made again is told, as a buffer is; the others are still made.
        if (CreateShaderObject(Shader->IsVertexShader, Shader->FunctionCode, Shader->FunctionCodeSize, objects, 0) !=
            S_OK) {
            AddLogStringWide(Shader->IsVertexShader
                                 ? L"頂点シェーダーハンドル用の頂点シェーダーの作成に失敗しました\n"
                                 : L"ピクセルシェーダーハンドル用のピクセルシェーダーの作成に失敗しました\n");
        }
    });
    return 0;
}

int Graphics_D3D11_ReleaseHandleDeviceObjects(void)
{
    ForEachHandle<GraphHandleData>(DX_HANDLETYPE_GRAPH, [](GraphHandleData *Graph) {
        if (Graph->Image != nullptr) Graphics_Hardware_ReleaseGraphTexture(Graph->Image);
        // A movie's decoder keeps a surface of the device too: it is made again with the next frame.
        const MovieFunctions *movies = GetMovieFunctions();
        if (Graph->MovieHandle != -1 && movies != nullptr && movies->RefreshMovieSurface != nullptr)
            movies->RefreshMovieSurface(Graph->MovieHandle);
    });
    ForEachHandle<ShadowMapHandleData>(DX_HANDLETYPE_SHADOWMAP, Graphics_D3D11_ShadowMap_Release);
    ForEachHandle<VertexBufferHandleData>(DX_HANDLETYPE_VERTEX_BUFFER, Graphics_D3D11_VertexBuffer_Release);
    ForEachHandle<IndexBufferHandleData>(DX_HANDLETYPE_INDEX_BUFFER, Graphics_D3D11_IndexBuffer_Release);
    ForEachHandle<ShaderHandleData>(DX_HANDLETYPE_SHADER, Graphics_D3D11_Shader_Release);

    // The bindings name released objects now: forget them without calling the device.
    D3D11DeviceStateCache &s = D3D11DeviceState;
    memset(s.PSShaderResource, 0, sizeof(s.PSShaderResource));
    s.InputLayout = nullptr;
    s.VertexShader = nullptr;
    s.PixelShader = nullptr;
    s.IndexBuffer = nullptr;
    s.VertexBuffer = nullptr;
    memset(s.RenderTarget, 0, sizeof(s.RenderTarget));
    memset(s.RenderTargetView, 0, sizeof(s.RenderTargetView));
    memset(s.RenderTargetDesc, 0, sizeof(s.RenderTargetDesc));
    s.DepthStencil = nullptr;
    s.DepthStencilView = nullptr;
    return 0;
}
