// The Direct3D 9 parts of buffer, shader and shadow-map handles: filling and releasing buffers,
// making a shader object with the count of its constants, the shader version, and a shadow map's
// texture and depth surface.
#include <string.h>

#include "zovuz/d3d9/shader/d3d9_shader_code.h"
#include "zovuz/d3d9/texture/windows/d3d9_graph_texture_win.h"
#include "zovuz/d3d9/windows/d3d9_handle_objects_win.h"

namespace {

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

// Copies Num units from unit Start of the handle into its device buffer (Device, null for none).
// Lock is the buffer's own.
template <typename Record, typename Buffer>
int SetData(Record *Handle, Buffer *Device, int Start, const void *Source, int Num, const wchar_t *LockFailure)
{
    if (Device == nullptr) return 0;
    // A range outside the handle's units would write past the device buffer.
    if (Source == nullptr || Start < 0 || Num < 0 || Start > Handle->Num || Num > Handle->Num - Start) return -1;
    if (Num == 0) return 0;
    const UINT offset = (UINT)(Start * Handle->UnitSize), size = (UINT)(Num * Handle->UnitSize);
    void *memory = nullptr;
    if (FAILED(Device->Lock(offset, size, &memory, 0)) || memory == nullptr) return Fail(LockFailure);
    memcpy(memory, Source, size);
    Device->Unlock();
    return 0;
}

// Makes a shader of either kind into its member of Objects (null there on failure).
HRESULT CreateShaderObject(int IsVertexShader, const void *Code, D3D9ShaderObjects *Objects, int ASyncThread)
{
    HRESULT hr;
    if (IsVertexShader) {
        hr = Direct3DDevice9_CreateVertexShader_ASync((const DWORD *)Code, &Objects->Vertex, ASyncThread);
        if (FAILED(hr)) Objects->Vertex = nullptr;
    } else {
        hr = Direct3DDevice9_CreatePixelShader_ASync((const DWORD *)Code, &Objects->Pixel, ASyncThread);
        if (FAILED(hr)) Objects->Pixel = nullptr;
    }
    return hr;
}

void ReleaseShaderObjects(D3D9ShaderObjects *Objects)
{
    if (Objects == nullptr) return;
    ReleaseAndClear(Objects->Vertex, Direct3D9_ReleaseObject);
    ReleaseAndClear(Objects->Pixel, Direct3D9_ReleaseObject);
}

}  // namespace

int Graphics_D3D9_SetVertexBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    if (Buffer == nullptr || Buffer->PF == nullptr) return -1;
    return SetData(Buffer, D3D9VertexBufferObjectsOf(Buffer)->Buffer, Start, Source, Num,
                   L"頂点バッファのロックに失敗しました\n");
}

int Graphics_D3D9_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num)
{
    if (Buffer == nullptr || Buffer->PF == nullptr) return -1;
    return SetData(Buffer, D3D9IndexBufferObjectsOf(Buffer)->Buffer, Start, Source, Num,
                   L"インデックスバッファのロックに失敗しました\n");
}

int Graphics_D3D9_VertexBuffer_Release(VertexBufferHandleData *Buffer)
{
    if (Buffer != nullptr && Buffer->PF != nullptr)
        ReleaseAndClear(D3D9VertexBufferObjectsOf(Buffer)->Buffer, Direct3D9_ReleaseObject);
    return 0;
}

int Graphics_D3D9_IndexBuffer_Release(IndexBufferHandleData *Buffer)
{
    if (Buffer != nullptr && Buffer->PF != nullptr)
        ReleaseAndClear(D3D9IndexBufferObjectsOf(Buffer)->Buffer, Direct3D9_ReleaseObject);
    return 0;
}

int Graphics_D3D9_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                     int FreeCode, int ASyncThread)
{
    D3D9ShaderObjects made = {};
    auto fail = [&] {
        ReleaseShaderObjects(&made);
        if (FreeCode && Code != nullptr && (Shader == nullptr || Code != Shader->FunctionCode))
            DxFree(const_cast<void *>(Code));
        return -1;
    };
    if (Shader == nullptr || Shader->PF == nullptr || Code == nullptr || CodeSize <= 0) return fail();
    HandleInfo *info = HandleCheck(Shader->Info.Handle);
    if (info != &Shader->Info || (info->ASyncLoadCount != 0 && !ASyncThread)) return fail();

    const HRESULT hr = CreateShaderObject(IsVertexShader, Code, &made, ASyncThread);
    if (FAILED(hr) || (made.Vertex == nullptr && made.Pixel == nullptr)) {
        made = {};
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
    made.ConstantNum = table.ConstantNum;
    made.ConstantOffset = table.ConstantInfo != nullptr ? (int)(table.ConstantInfo - (const unsigned char *)copy) : 0;
    *D3D9ShaderObjectsOf(Shader) = made;
    if (old != nullptr) DxFree(old);
    if (FreeCode && Code != old) DxFree(const_cast<void *>(Code));
    return 0;
}

int Graphics_D3D9_Shader_Release(ShaderHandleData *Shader)
{
    if (Shader != nullptr) ReleaseShaderObjects(D3D9ShaderObjectsOf(Shader));
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
    D3D9TextureObjects &objects = *D3D9TextureObjectsOf(ShadowMap->PF);
    const bool deep = ShadowMap->BitDepth == 32;
    const int slot = deep ? 42 : ShadowMap->FloatFormatFlag ? 41 : 40;
    const int depthSlot = deep ? D3D9_FORMAT_SLOT_ZBUFFER32 : D3D9_FORMAT_SLOT_ZBUFFER16;
    const D3DFORMAT format = (D3DFORMAT)D3D9TextureFormatTable.Format[slot];
    const D3DFORMAT depthFormat = (D3DFORMAT)D3D9TextureFormatTable.Format[depthSlot];
    if (format == 0 || depthFormat == 0)
        return Fail(L"シャドウマップデータ用のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
    const UINT width = (UINT)ShadowMap->Width, height = (UINT)ShadowMap->Height;
    HRESULT hr = S_OK;
    if (objects.DepthSurface == nullptr && FAILED(hr = Direct3DDevice9_CreateDepthStencilSurface_ASync(
                                                      width, height, depthFormat, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                      &objects.DepthSurface, nullptr, ASyncThread))) {
        objects.DepthSurface = nullptr;
        return Fail(L"シャドウマップ用深度サーフェスの作成に失敗しました\n",
                    L"IDirect3DDevice9::CreateDepthStencilSurface", hr);
    }
    if (objects.Texture != nullptr) return 0;
    IDirect3DTexture9 *texture = nullptr;
    hr = Direct3DDevice9_CreateTexture_ASync(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &texture,
                                             nullptr, ASyncThread);
    if (FAILED(hr) || texture == nullptr)
        return Fail(L"シャドウマップ用テクスチャの作成に失敗しました\n", L"IDirect3DDevice9::CreateTexture", hr);
    objects.Texture = texture;
    if (FAILED(hr = Direct3DTexture9_GetSurfaceLevel_ASync(texture, 0, &objects.RenderSurface, ASyncThread))) {
        objects.RenderSurface = nullptr;
        return Fail(L"シャドウマップ用テクスチャのサーフェスアドレスの取得に失敗しました\n",
                    L"IDirect3DTexture9::GetSurfaceLevel", hr);
    }
    return 0;
}

int Graphics_D3D9_ShadowMap_Release(ShadowMapHandleData *ShadowMap)
{
    if (ShadowMap == nullptr || ShadowMap->PF == nullptr) return 0;
    D3D9TextureObjects &objects = *D3D9TextureObjectsOf(ShadowMap->PF);
    ReleaseAndClear(objects.DepthSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(objects.RenderSurface, Direct3D9_ReleaseObject);
    ReleaseAndClear(objects.Texture, Direct3D9_ReleaseObject);
    return 0;
}
