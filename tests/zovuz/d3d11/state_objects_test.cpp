// The state objects against the recording fake: each description the library uses all the time is
// created once per device, any other gets a private object that goes when it is replaced, changed
// samplers reach the device in runs, and an apply with nothing changed calls nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"

namespace {

class StateObjects : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, StartDrawing());
        Graphics_D3D11_ApplyStateObjects();  // what the start's full resend left for the first draw
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
    }
    int Live(int Type) { return D3D11_GetObjectCount(Type); }
};

TEST_F(StateObjects, CachedDescriptionsAreCreatedOncePrivateOnesEachTime)
{
    // Cull mode back and forth: two new objects, then only re-binds.
    for (int round = 0; round < 4; ++round) {
        Graphics_D3D11_DeviceState_SetCullMode(round % 2 ? 0 : 1);
        Graphics_D3D11_ApplyStateObjects();
    }
    EXPECT_EQ(1, FakeD3D11Count("CreateRasterizerState"));  // the "none" one was made at start
    EXPECT_EQ(4, FakeD3D11Count("RSSetState"));

    // A depth bias: every change a private object, the previous private one released.
    const int rasterizers = Live(D3D11_OBJECT_RASTERIZER_STATE);
    for (int bias = 1; bias <= 3; ++bias) {
        Graphics_D3D11_DeviceState_SetDepthBias(bias);
        Graphics_D3D11_ApplyStateObjects();
        EXPECT_EQ(rasterizers + 1, Live(D3D11_OBJECT_RASTERIZER_STATE)) << bias;
    }
    EXPECT_EQ(4, FakeD3D11Count("CreateRasterizerState"));
    EXPECT_EQ(1, D3D11DeviceState.RasterizerOwnedFlag);
    Graphics_D3D11_DeviceState_SetDepthBias(0);
    Graphics_D3D11_ApplyStateObjects();
    EXPECT_EQ(rasterizers, Live(D3D11_OBJECT_RASTERIZER_STATE));

    // Anisotropy 8 is no cached value: 16 private samplers, released when 16 comes back.
    const int samplers = Live(D3D11_OBJECT_SAMPLER_STATE);
    Graphics_D3D11_DeviceState_SetMaxAnisotropy(8, -1);
    Graphics_D3D11_ApplyStateObjects();
    EXPECT_EQ(samplers + 16, Live(D3D11_OBJECT_SAMPLER_STATE));
    Graphics_D3D11_DeviceState_SetMaxAnisotropy(16, -1);
    Graphics_D3D11_ApplyStateObjects();
    EXPECT_EQ(samplers, Live(D3D11_OBJECT_SAMPLER_STATE));

    // Blend presets: one object per preset, whatever the order.
    for (int preset : {1, 16, 1, 0, 16}) {
        D3D11DeviceState.BlendPreset = preset;
        D3D11DeviceState.BlendChangedFlag = 1;
        Graphics_D3D11_ApplyStateObjects();
    }
    EXPECT_EQ(2, FakeD3D11Count("CreateBlendState"));
}

TEST_F(StateObjects, ChangedSamplersAreSentInRuns)
{
    Graphics_D3D11_DeviceState_SetTextureAddressU(D3D11_TEXTURE_ADDRESS_WRAP, 0);
    Graphics_D3D11_DeviceState_SetTextureAddressU(D3D11_TEXTURE_ADDRESS_WRAP, 1);
    Graphics_D3D11_DeviceState_SetTextureAddressU(D3D11_TEXTURE_ADDRESS_WRAP, 3);
    Graphics_D3D11_ApplyStateObjects();
    EXPECT_EQ(std::vector<std::string>({"PSSetSamplers 0 2 obj", "PSSetSamplers 3 1 obj"}),
              FakeD3D11CallsStartingWith("PSSetSamplers"));
    EXPECT_EQ(0, D3D11DeviceState.DrawMode);  // a per-sampler address keeps the draw mode
}

TEST_F(StateObjects, RepeatedSettingsThenAnApplyCallNothing)
{
    const MATERIALPARAM material = D3D11DeviceState.Material;
    for (int i = 0; i < 1000; ++i) {
        Graphics_D3D11_DeviceState_SetCullMode(0);
        Graphics_D3D11_DeviceState_SetDepthEnable(0);
        Graphics_D3D11_DeviceState_SetDrawMode(0);
        Graphics_D3D11_DeviceState_SetTextureAddress(D3D11_TEXTURE_ADDRESS_CLAMP, -1);
        Graphics_D3D11_DeviceState_SetMaterial(&material, nullptr);
        Graphics_D3D11_DeviceState_SetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        Graphics_D3D11_ApplyStateObjects();
    }
    EXPECT_TRUE(FakeD3D11.Calls.empty()) << FakeD3D11.Calls.front();
}

TEST_F(StateObjects, AFailedCreationLogsItsPlaceAndLeavesNothingBound)
{
    const struct
    {
        std::wstring line;
        bool privateObject;
    } cases[] = {
        {L"ID3D11RasterizerState の作成に失敗しました　箇所２", false},
        {L"ID3D11RasterizerState の作成に失敗しました　箇所１", true},
    };
    for (const auto &c : cases) {
        FakeD3D11.Fail["CreateRasterizerState"] = E_OUTOFMEMORY;
        Graphics_D3D11_DeviceState_SetDepthBias(c.privateObject ? 5 : 0);
        Graphics_D3D11_DeviceState_SetCullMode(2);
        EXPECT_EQ(-1, Graphics_D3D11_CreateRasterizerState());
        EXPECT_TRUE(Logged(c.line));
        EXPECT_EQ(nullptr, D3D11DeviceState.RasterizerState);
        EXPECT_EQ(0, D3D11DeviceState.RasterizerChangedFlag);
        FakeD3D11.Fail.clear();
        Graphics_D3D11_DeviceState_SetCullMode(0);
        EXPECT_EQ(0, Graphics_D3D11_CreateRasterizerState());
    }
}

}  // namespace
