// The Direct3D 11 back end's standard shaders: created from the base pack at start-up.
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"

#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"

D3D11StandardShaderData D3D11StandardShaders;

namespace {

// The failure line of each group (D3D11BaseShaderGroup), with the object's number in the group.
const wchar_t *const GroupFailure[D3D11_BASE_SHADER_GROUP_NUM] = {
    L"標準描画用の複雑な処理を行わない頂点シェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"固定機能パイプライン互換のピクセルシェーダーオブジェクト( テクスチャなし ) No.%d の作成に失敗しました\n",
    L"固定機能パイプライン互換のピクセルシェーダーオブジェクト( テクスチャあり ) No.%d の作成に失敗しました\n",
    L"マスク処理用のピクセルシェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"反転効果マスク処理用のピクセルシェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"マスク処理用のピクセルシェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"反転効果マスク処理用のピクセルシェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"単純転送用の頂点シェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"テクスチャ座標8個の単純転送用の頂点シェーダーオブジェクト No.%d の作成に失敗しました\n",
    L"単純転送用のピクセルシェーダーオブジェクト No.%d の作成に失敗しました\n",
};

HRESULT CreateSlot(const D3D11BaseShaderGroupInfo &Group, int Slot)
{
    const D3D11ShaderCode &code = D3D11ShaderPack.Base[Slot];
    if (Group.VertexFlag)
        return D3D11Device_CreateVertexShader(code.Code, code.Size, nullptr, &D3D11StandardShaders.Vertex[Slot]);
    return D3D11Device_CreatePixelShader(code.Code, code.Size, nullptr, &D3D11StandardShaders.Pixel[Slot]);
}

void ReleaseObjects(void)
{
    for (int slot = 0; slot < D3D11_BASE_PACK_SLOTS; slot++) {
        D3D11VertexShader_Release(D3D11StandardShaders.Vertex[slot]);
        D3D11StandardShaders.Vertex[slot] = nullptr;
        D3D11PixelShader_Release(D3D11StandardShaders.Pixel[slot]);
        D3D11StandardShaders.Pixel[slot] = nullptr;
    }
}

void ReleaseThreeDObjects(void)
{
    for (int slot = 0; slot < D3D11_3D_PACK_SLOTS; slot++) {
        D3D11VertexShader_Release(D3D11StandardShaders.ThreeDVertex[slot]);
        D3D11StandardShaders.ThreeDVertex[slot] = nullptr;
        D3D11PixelShader_Release(D3D11StandardShaders.ThreeDPixel[slot]);
        D3D11StandardShaders.ThreeDPixel[slot] = nullptr;
    }
}

}  // namespace

int Graphics_D3D11_Shader_Initialize(void)
{
    Graphics_D3D11_ReleaseStandardShaders();
    AddLogStringWide(L"シェーダーコード関係の初期化.... ");
    GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    if (Graphics_D3D11_LoadShaderPack() != 1) {
        AddLogStringWide(L"シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
        GraphicsDeviceCaps.ProgrammableShaderFlag = 0;
        return -1;
    }
    for (int group = 0; group < D3D11_BASE_SHADER_GROUP_NUM; group++) {
        const D3D11BaseShaderGroupInfo &info = D3D11BaseShaderGroups[group];
        for (int number = 0; number < info.Count; number++) {
            if (CreateSlot(info, info.FirstSlot + number) == S_OK) continue;
            // Every object of a group is drawn with, and a draw has nothing to put in place of a
            // missing one: a later object's failure ends the start as the first one's does.
            AddLogFormat(GroupFailure[group], number);
            ReleaseObjects();
            GraphicsDeviceCaps.ProgrammableShaderFlag = 0;
            return -1;
        }
    }
    AddLogStringWide(L"成功\n");
    return 0;
}

int Graphics_D3D11_ReleaseStandardShaders(void)
{
    if (!D3D11Device_IsValid()) return -1;
    // Through the cache, so that it forgets them too; forced, so that nothing stays on the device
    // whatever the cache believed was bound.
    const int force = D3D11DeviceState.ForceFlag;
    D3D11DeviceState.ForceFlag = 1;
    Graphics_D3D11_DeviceState_ClearVertexShader(0);
    Graphics_D3D11_DeviceState_ClearPixelShader();
    D3D11DeviceState.ForceFlag = force;
    ReleaseObjects();
    ReleaseThreeDObjects();
    GraphicsDeviceCaps.ProgrammableShaderFlag = 0;  // set only while the standard shaders exist
    return 0;
}
