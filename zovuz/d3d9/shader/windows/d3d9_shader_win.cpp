// The Direct3D 9 back end's base shaders.
#include "zovuz/d3d9/shader/windows/d3d9_shader_win.h"

#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/shader/windows/d3d9_shader_constant_win.h"
#include "zovuz/core/zovuz_core.h"

namespace {

// How one file of the base archive turned out.
enum class Created { Made, NotFound, Failed };

// The answer of the last creation that failed.
HRESULT LastFailure = S_OK;

Created CreatePixel(const char *Name, IDirect3DPixelShader9 **Shader)
{
    const void *code = D3D9_FindBaseShaderCode(Name);
    if (code == nullptr) return Created::NotFound;
    const HRESULT hr = Direct3DDevice9_CreatePixelShader((const DWORD *)code, Shader);
    if (SUCCEEDED(hr)) return Created::Made;
    LastFailure = hr;
    return Created::Failed;
}

// The base vertex shader and the untextured and blend pixel shaders: a file the archive lacks
// leaves its slot empty. False when a found file is not created.
bool CreateBaseShaders()
{
    D3D9BaseShaderData &s = D3D9BaseShaders;
    const void *vertex = D3D9_FindBaseShaderCode("Base2DVertexShader.vso");
    if (vertex != nullptr) {
        const HRESULT hr = Direct3DDevice9_CreateVertexShader((const DWORD *)vertex, &s.Vertex2D);
        if (FAILED(hr)) {
            AddLogStringWide(L"２Ｄ描画用基本頂点シェーダーオブジェクトの作成に失敗しました\n");
            LogPlatformFailure(L"IDirect3DDevice9::CreateVertexShader", (unsigned long)hr);
            return false;
        }
    }
    char name[D3D9_BASE_SHADER_NAME_MAX];
    bool made = true;
    for (int i = 0; i < D3D9_NONETEX_SHADER_NUM && made; i++) {
        D3D9NoneTexShaderName(i / 2, i % 2, name);
        made = CreatePixel(name, &s.NoneTex[i]) != Created::Failed;
    }
    for (int i = 0; i < D3D9_BLEND_SHADER_NUM && made; i++) {
        D3D9BlendShaderName(D3D9BlendShaderAt(i), name);
        made = CreatePixel(name, &s.Blend[i]) != Created::Failed;
    }
    if (!made) {
        AddLogStringWide(L"基本シェーダーオブジェクトの作成に失敗しました\n");
        LogPlatformFailure(L"IDirect3DDevice9::CreatePixelShader", (unsigned long)LastFailure);
    }
    return made;
}

// The mask shaders. Each is drawn with whenever a mask is in use, so a file the archive lacks
// fails the start like a shader that is not created: drawing then goes fixed function.
bool CreateMaskShaders()
{
    D3D9BaseShaderData &s = D3D9BaseShaders;
    char name[D3D9_BASE_SHADER_NAME_MAX];
    Created created = Created::Made;
    for (int i = 0; i < D3D9_MASK_SHADER_NUM && created == Created::Made; i++) {
        int channel = 0, reverse = 0;
        D3D9MaskShaderName(i, name, &channel, &reverse);
        created = CreatePixel(name, &s.Mask[i]);
    }
    const bool made = created == Created::Made;
    if (!made) AddLogStringWide(L"マスク処理用シェーダーオブジェクトの作成に失敗しました\n");
    if (created == Created::Failed)
        LogPlatformFailure(L"IDirect3DDevice9::CreatePixelShader", (unsigned long)LastFailure);
    return made;
}

// The shader model the device offers (none when the user forbade programmable shaders: the
// device set-up then leaves every level flag at 0).
bool DeviceRunsShaders()
{
    const D3D9DeviceCapsInfoData &info = D3D9DeviceCapsInfo;
    return (info.VertexShader30Flag && info.PixelShader30Flag) || (info.VertexShader20Flag && info.PixelShader20Flag);
}

bool StartShaders()
{
    if (!DeviceRunsShaders()) return false;
    GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    if (Graphics_D3D9_LoadShaderPack() != 1) {
        AddLogStringWide(L"シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
        return false;
    }
    return CreateBaseShaders() && CreateMaskShaders();
}

}  // namespace

int Graphics_D3D9_Shader_Initialize(void)
{
    Graphics_D3D9_Shader_Terminate();
    GraphicsDeviceCaps.ProgrammableShaderFlag = 0;
    if (StartShaders()) {
        AddLogStringWide(L"プログラマブルシェーダーを使用します\n");
    } else {
        // Nothing made is drawn with: fixed-function drawing takes over.
        Graphics_D3D9_Shader_Terminate();
        GraphicsDeviceCaps.ProgrammableShaderFlag = 0;
        AddLogStringWide(L"プログラマブルシェーダーを使用しません\n");
    }
    const float vertexZero[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    const float pixelZero[4] = {0.0f, 0.5f, 1.0f, 2.0f};
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_VS_FLOAT, 0, 0, vertexZero, 1, 1);
    Graphics_D3D9_ShaderConstant_Set(&ShaderConstantManager, D3D9_CONSTANT_PS_FLOAT, 0, 0, pixelZero, 1, 1);
    return 1;
}

int Graphics_D3D9_Shader_Terminate(void)
{
    D3D9BaseShaderData &s = D3D9BaseShaders;
    ReleaseAndClear(s.Vertex2D, Direct3D9_ReleaseObject);
    for (IDirect3DPixelShader9 *&shader : s.NoneTex) ReleaseAndClear(shader, Direct3D9_ReleaseObject);
    for (IDirect3DPixelShader9 *&shader : s.Blend) ReleaseAndClear(shader, Direct3D9_ReleaseObject);
    for (IDirect3DPixelShader9 *&shader : s.Mask) ReleaseAndClear(shader, Direct3D9_ReleaseObject);
    for (IUnknown *&object : s.Further) ReleaseAndClear(object, Direct3D9_ReleaseObject);
    return 0;
}
