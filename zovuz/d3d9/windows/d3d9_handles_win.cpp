// The Direct3D 9 parts of buffer, shader and shadow-map handles: filling and releasing buffers,
// making a shader object with the count of its constants, the shader version, and a shadow map's
// texture and depth surface.
#include <string.h>

#include "zovuz/d3d9/shader/d3d9_shader_code.h"
#include "zovuz/d3d9/texture/windows/d3d9_graph_texture_win.h"

namespace {

// Where a shader handle keeps its constant table (GraphicsBackendObjectData::Value): the count,
// and the byte offset of the first description inside the handle's copy of the code.
#define D3D9_SHADER_CONSTANT_NUM 0
#define D3D9_SHADER_CONSTANT_OFFSET 1

// A shadow map's objects: the render-target texture, its level 0, its depth surface.
#define D3D9_SHADOW_MAP_TEXTURE D3D9_OBJECT_TEXTURE
#define D3D9_SHADOW_MAP_SURFACE D3D9_OBJECT_RENDER_SURFACE
#define D3D9_SHADOW_MAP_DEPTH D3D9_OBJECT_DEPTH_SURFACE

int Fail(const wchar_t *Line)
{
    AddLogStringWide(Line);
    return -1;
}

// A creation given up because the device refused it: the line, then the call and its answer.
int Fail(const wchar_t *Line, const wchar_t *Call, HRESULT Result)
{
    AddLogStringWide(Line);
    return LogPlatformFailure(Call, (unsigned long)Result);
}

void ReleaseSlot(GraphicsBackendObjectData *Part, int Slot)
{
    if (Part == nullptr || Part->Object[Slot] == nullptr) return;
    Direct3D9_ReleaseObject((IUnknown *)Part->Object[Slot]);
    Part->Object[Slot] = nullptr;
}

// Copies Num units from unit Start of the handle into its device buffer. Lock is the buffer's own.
template <typename Record, typename Buffer>
int SetData(Record *Handle, int Start, const void *Source, int Num, const wchar_t *LockFailure)
{
    if (Handle == nullptr || Handle->PF == nullptr) return -1;
    Buffer *buffer = (Buffer *)Handle->PF->Object[0];
    if (buffer == nullptr) return 0;
    // A range outside the handle's units would write past the device buffer.
    if (Source == nullptr || Start < 0 || Num < 0 || Start > Handle->Num || Num > Handle->Num - Start) return -1;
    if (Num == 0) return 0;
    const UINT offset = (UINT)(Start * Handle->UnitSize), size = (UINT)(Num * Handle->UnitSize);
    void *memory = nullptr;
    if (FAILED(buffer->Lock(offset, size, &memory, 0)) || memory == nullptr) return Fail(LockFailure);
    memcpy(memory, Source, size);
    buffer->Unlock();
    return 0;
}

HRESULT CreateShaderObject(int IsVertexShader, const void *Code, void **Object, int ASyncThread)
{
    if (IsVertexShader)
        return Direct3DDevice9_CreateVertexShader_ASync((const DWORD *)Code, (IDirect3DVertexShader9 **)Object,
                                                        ASyncThread);
    return Direct3DDevice9_CreatePixelShader_ASync((const DWORD *)Code, (IDirect3DPixelShader9 **)Object, ASyncThread);
}

}  // namespace

int Graphics_D3D9_SetVertexBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    return SetData<VertexBufferHandleData, IDirect3DVertexBuffer9>(Buffer, Start, Source, Num,
                                                                   L"頂点バッファのロックに失敗しました\n");
}

int Graphics_D3D9_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    return SetData<IndexBufferHandleData, IDirect3DIndexBuffer9>(Buffer, Start, Source, Num,
                                                                 L"インデックスバッファのロックに失敗しました\n");
}

int Graphics_D3D9_VertexBuffer_Release(VertexBufferHandleData *Buffer)
{
    if (Buffer != nullptr) ReleaseSlot(Buffer->PF, 0);
    return 0;
}

int Graphics_D3D9_IndexBuffer_Release(IndexBufferHandleData *Buffer)
{
    if (Buffer != nullptr) ReleaseSlot(Buffer->PF, 0);
    return 0;
}

int Graphics_D3D9_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                     int FreeCode, int ASyncThread)
{
    void *object = nullptr;
    auto fail = [&] {
        if (object != nullptr) Direct3D9_ReleaseObject((IUnknown *)object);
        if (FreeCode && Code != nullptr && (Shader == nullptr || Code != Shader->FunctionCode))
            DxFree(const_cast<void *>(Code));
        return -1;
    };
    if (Shader == nullptr || Shader->PF == nullptr || Code == nullptr || CodeSize <= 0) return fail();
    HandleInfo *info = HandleCheck(Shader->Info.Handle);
    if (info != &Shader->Info || (info->ASyncLoadCount != 0 && !ASyncThread)) return fail();

    const HRESULT hr = CreateShaderObject(IsVertexShader, Code, &object, ASyncThread);
    if (FAILED(hr) || object == nullptr) {
        object = nullptr;
        if (IsVertexShader)
            Fail(L"頂点シェーダーの作成に失敗しました\n", L"IDirect3DDevice9::CreateVertexShader", hr);
        else
            Fail(L"ピクセルシェーダーの作成に失敗しました\n", L"IDirect3DDevice9::CreatePixelShader", hr);
        return fail();
    }
    void *copy = DXALLOC((size_t)CodeSize);
    if (copy == nullptr) {
        AddLogStringWide(L"メモリの確保に失敗しました");
        return fail();
    }
    memcpy(copy, Code, (size_t)CodeSize);
    // The table is read from the checked reader: code that lies about its comment counts as
    // having no constants rather than sending the draw path past the code.
    const D3D9ShaderConstantTable table = D3D9ReadShaderConstantTable(copy, (size_t)CodeSize);

    Graphics_D3D9_Shader_Release(Shader);
    void *old = Shader->FunctionCode;
    Shader->FunctionCode = copy;
    Shader->FunctionCodeSize = CodeSize;
    Shader->IsVertexShader = IsVertexShader ? 1 : 0;
    Shader->PF->Object[0] = object;
    Shader->PF->Value[D3D9_SHADER_CONSTANT_NUM] = table.ConstantNum;
    Shader->PF->Value[D3D9_SHADER_CONSTANT_OFFSET] =
        table.ConstantInfo != nullptr ? (int)(table.ConstantInfo - (const unsigned char *)copy) : 0;
    if (old != nullptr) DxFree(old);
    if (FreeCode && Code != old) DxFree(const_cast<void *>(Code));
    return 0;
}

int Graphics_D3D9_Shader_Release(ShaderHandleData *Shader)
{
    if (Shader != nullptr) ReleaseSlot(Shader->PF, 0);
    return 0;
}

int Graphics_D3D9_GetShaderVersion(void)
{
    if (D3D9CallLayer.Device != nullptr && !GraphicsDeviceCaps.ProgrammableShaderFlag) return 0;
    D3DCAPS9 caps = {};
    const UINT adapter = (UINT)(GetUseDisplayIndex() > 0 ? GetUseDisplayIndex() : 0);
    if (FAILED(Direct3D9_GetDeviceCaps(adapter, D3DDEVTYPE_HAL, &caps))) return 0;
    if (caps.VertexShaderVersion < D3DVS_VERSION(2, 0) && caps.PixelShaderVersion < D3DPS_VERSION(2, 0)) return 0;
    if (caps.VertexShaderVersion < D3DVS_VERSION(3, 0)) return 200;
    return caps.PixelShaderVersion >= D3DPS_VERSION(3, 0) ? 300 : 200;
}

int Graphics_D3D9_SetupShadowMap(ShadowMapHandleData *ShadowMap, int ASyncThread)
{
    if (ShadowMap == nullptr || ShadowMap->PF == nullptr) return -1;
    GraphicsBackendObjectData &part = *ShadowMap->PF;
    const bool deep = ShadowMap->BitDepth == 32;
    const int slot = deep ? 42 : ShadowMap->FloatFormatFlag ? 41 : 40;
    const int depthSlot = deep ? D3D9_FORMAT_SLOT_ZBUFFER32 : D3D9_FORMAT_SLOT_ZBUFFER16;
    const D3DFORMAT format = (D3DFORMAT)D3D9TextureFormatTable.Format[slot];
    const D3DFORMAT depthFormat = (D3DFORMAT)D3D9TextureFormatTable.Format[depthSlot];
    if (format == 0 || depthFormat == 0)
        return Fail(L"シャドウマップデータ用のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
    const UINT width = (UINT)ShadowMap->Width, height = (UINT)ShadowMap->Height;
    HRESULT hr = S_OK;
    if (part.Object[D3D9_SHADOW_MAP_DEPTH] == nullptr &&
        FAILED(hr = Direct3DDevice9_CreateDepthStencilSurface_ASync(
                   width, height, depthFormat, D3DMULTISAMPLE_NONE, 0, FALSE,
                   (IDirect3DSurface9 **)&part.Object[D3D9_SHADOW_MAP_DEPTH], nullptr, ASyncThread))) {
        part.Object[D3D9_SHADOW_MAP_DEPTH] = nullptr;
        return Fail(L"シャドウマップ用深度サーフェスの作成に失敗しました\n",
                    L"IDirect3DDevice9::CreateDepthStencilSurface", hr);
    }
    if (part.Object[D3D9_SHADOW_MAP_TEXTURE] != nullptr) return 0;
    IDirect3DTexture9 *texture = nullptr;
    hr = Direct3DDevice9_CreateTexture_ASync(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &texture,
                                             nullptr, ASyncThread);
    if (FAILED(hr) || texture == nullptr)
        return Fail(L"シャドウマップ用テクスチャの作成に失敗しました\n", L"IDirect3DDevice9::CreateTexture", hr);
    part.Object[D3D9_SHADOW_MAP_TEXTURE] = texture;
    if (FAILED(hr = Direct3DTexture9_GetSurfaceLevel_ASync(
                   texture, 0, (IDirect3DSurface9 **)&part.Object[D3D9_SHADOW_MAP_SURFACE], ASyncThread))) {
        part.Object[D3D9_SHADOW_MAP_SURFACE] = nullptr;
        return Fail(L"シャドウマップ用テクスチャのサーフェスアドレスの取得に失敗しました\n",
                    L"IDirect3DTexture9::GetSurfaceLevel", hr);
    }
    return 0;
}

int Graphics_D3D9_ShadowMap_Release(ShadowMapHandleData *ShadowMap)
{
    if (ShadowMap == nullptr) return 0;
    ReleaseSlot(ShadowMap->PF, D3D9_SHADOW_MAP_DEPTH);
    ReleaseSlot(ShadowMap->PF, D3D9_SHADOW_MAP_SURFACE);
    ReleaseSlot(ShadowMap->PF, D3D9_SHADOW_MAP_TEXTURE);
    return 0;
}
