// The standard shaders at the back end's start, against the recording fake: every object of the
// base pack is made in slot order and the start reports success; any failed object, the first of
// its group or a later one, fails the start with its group's line and leaves no object, as a pack
// that does not expand does; and the release takes them off the device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"

namespace {

const std::wstring Announcement = L"シェーダーコード関係の初期化.... ";

class StandardShaders : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, StartDevice());
    }
    int Live(int Type) { return D3D11_GetObjectCount(Type); }
};

TEST_F(StandardShaders, StartMakesEveryObjectOfTheBasePackInSlotOrder)
{
    // Twice: a second start releases the first one's objects.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        FakeD3D11.Calls.clear();
        ASSERT_EQ(0, Graphics_D3D11_Shader_Initialize());
        EXPECT_TRUE(Logged(Announcement + L"成功"));
        EXPECT_EQ(9, Live(D3D11_OBJECT_VERTEX_SHADER));
        EXPECT_EQ(249, Live(D3D11_OBJECT_PIXEL_SHADER));
        EXPECT_EQ(1, GraphicsDeviceCaps.ProgrammableShaderFlag);

        std::vector<std::string> expected, made;
        for (const D3D11BaseShaderGroupInfo &group : D3D11BaseShaderGroups)
            for (int slot = group.FirstSlot; slot < group.FirstSlot + group.Count; ++slot) {
                expected.push_back(std::string(group.VertexFlag ? "CreateVertexShader" : "CreatePixelShader") +
                                   " obj " + std::to_string(D3D11ShaderPack.Base[slot].Size) + " null obj");
                EXPECT_NE(nullptr, group.VertexFlag ? (void *)D3D11StandardShaders.Vertex[slot]
                                                    : (void *)D3D11StandardShaders.Pixel[slot])
                    << "slot " << slot;
            }
        for (const std::string &call : FakeD3D11.Calls)
            if (call.rfind("Create", 0) == 0 && call.find("Shader ") != std::string::npos) made.push_back(call);
        EXPECT_EQ(expected, made);
    }
}

TEST_F(StandardShaders, AFailedObjectFailsTheStartWithItsGroupsLineAndLeavesNone)
{
    // Creation calls counted per method: vertex shaders 1-7 base, 8 transfer, 9 eight-coordinate
    // transfer; pixel shaders 1-14 untextured, 15-238 textured, 239 mask, 240 inverted mask,
    // 241-244 the four masks, 245-248 the four inverted masks, 249 transfer.
    const struct
    {
        const char *method;
        int call;
        std::wstring line;
    } cases[] = {
        {"CreateVertexShader", 1,
         L"標準描画用の複雑な処理を行わない頂点シェーダーオブジェクト No.0 の作成に失敗しました"},
        {"CreateVertexShader", 5,
         L"標準描画用の複雑な処理を行わない頂点シェーダーオブジェクト No.4 の作成に失敗しました"},
        {"CreateVertexShader", 9,
         L"テクスチャ座標8個の単純転送用の頂点シェーダーオブジェクト No.0 の作成に失敗しました"},
        {"CreatePixelShader", 14,
         L"固定機能パイプライン互換のピクセルシェーダーオブジェクト( テクスチャなし ) No.13 の作成に失敗しました"},
        {"CreatePixelShader", 20,
         L"固定機能パイプライン互換のピクセルシェーダーオブジェクト( テクスチャあり ) No.5 の作成に失敗しました"},
        {"CreatePixelShader", 240, L"反転効果マスク処理用のピクセルシェーダーオブジェクト No.0 の作成に失敗しました"},
        {"CreatePixelShader", 243, L"マスク処理用のピクセルシェーダーオブジェクト No.2 の作成に失敗しました"},
        {"CreatePixelShader", 249, L"単純転送用のピクセルシェーダーオブジェクト No.0 の作成に失敗しました"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.method + std::string(" ") + std::to_string(c.call));
        Restart();
        ASSERT_EQ(0, StartDevice());
        FakeD3D11.Fail[c.method] = E_OUTOFMEMORY;
        FakeD3D11.FailFrom[c.method] = c.call;
        EXPECT_EQ(-1, Graphics_D3D11_Shader_Initialize());
        EXPECT_TRUE(Logged(Announcement + c.line));
        EXPECT_EQ(0, Live(D3D11_OBJECT_VERTEX_SHADER));
        EXPECT_EQ(0, Live(D3D11_OBJECT_PIXEL_SHADER));
        EXPECT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
        EXPECT_EQ(c.call, FakeD3D11Count(c.method)) << "creation goes on after the failure";
    }
}

TEST_F(StandardShaders, APackThatDoesNotExpandFailsTheStart)
{
    Graphics_D3D11_ReleaseShaderPack();
    const PackedTextData builtIn = D3D11ShaderPackBase;
    unsigned char damaged[] = {0x7F, 0x7F, 0x7F, 0x7F, 0x0F, 1, 2, 3};  // announces far more than it holds
    D3D11ShaderPackBase = {damaged, sizeof damaged, -1};
    EXPECT_EQ(-1, Graphics_D3D11_Shader_Initialize());
    D3D11ShaderPackBase = builtIn;
    EXPECT_TRUE(Logged(Announcement + L"シェーダーパック Base のデータが壊れているため展開できません"));
    EXPECT_TRUE(Logged(L"シェーダーコードを展開するメモリ領域の確保に失敗しました"));
    EXPECT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
    EXPECT_EQ(0, Live(D3D11_OBJECT_PIXEL_SHADER) + Live(D3D11_OBJECT_VERTEX_SHADER));
    EXPECT_EQ(0, Graphics_D3D11_Shader_Initialize());  // the program's own pack still loads
}

TEST_F(StandardShaders, ReleaseTakesTheShadersOffTheDeviceAndTheEndFreesThePacks)
{
    ASSERT_EQ(0, Graphics_D3D11_Shader_Initialize());
    FakeD3D11.Calls.clear();
    EXPECT_EQ(0, Graphics_D3D11_ReleaseStandardShaders());
    EXPECT_EQ(0, GraphicsDeviceCaps.ProgrammableShaderFlag);
    EXPECT_EQ(0, Live(D3D11_OBJECT_VERTEX_SHADER));
    EXPECT_EQ(0, Live(D3D11_OBJECT_PIXEL_SHADER));
    const std::vector<std::string> unbound = {"VSSetShader null null 0", "IASetInputLayout null",
                                              "PSSetShader null null 0"};
    EXPECT_EQ(unbound, std::vector<std::string>(FakeD3D11.Calls.begin(), FakeD3D11.Calls.begin() + 3));

    Graphics_D3D11_ReleaseDevice();
    EXPECT_EQ(-1, Graphics_D3D11_ReleaseStandardShaders());
    // The expanded packs stay across a device's release, until the back end's end.
    EXPECT_EQ(1, D3D11ShaderPack.LoadedFlag);
    Graphics_D3D11_Terminate();
    EXPECT_EQ(0, D3D11ShaderPack.LoadedFlag);
}

}  // namespace
