// Light handles and the light refresh, the lighting, fog and depth switches, shader handles and
// the user-shader selection.
#include <functional>

#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/draw_state_internal.h"

namespace {

int SlotOf(int Handle) { return Handle & DX_HANDLEINDEX_MASK; }
int CheckOf(int Handle) { return (Handle & DX_HANDLECHECK_MASK) >> DX_HANDLECHECK_ADDRESS; }

class Lights : public GraphicsStateTest
{
protected:
    void SetUp() override
    {
        GraphicsStateTest::SetUp();
        DeleteLightHandleAll();  // without the default light
    }
    int Light(int Type, int Enable = 1)
    {
        int handle = AllocLightHandle();
        LightHandleData *light = GetLightData(handle);
        light->Param.LightType = Type;
        light->EnableFlag = Enable;
        return handle;
    }
};

TEST_F(Lights, HandlesAllocateDeleteAndRefuseADoubleDelete)
{
    GraphicsLightState.NextID = 1022;
    int a = AllocLightHandle(), b = AllocLightHandle(), c = AllocLightHandle();
    EXPECT_EQ(DX_HANDLETYPE_LIGHT, (a & DX_HANDLETYPE_MASK) >> DX_HANDLETYPE_ADDRESS);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), (std::vector<int>{SlotOf(a), SlotOf(b), SlotOf(c)}));
    EXPECT_EQ((std::vector<int>{1022, 0, 1}), (std::vector<int>{CheckOf(a), CheckOf(b), CheckOf(c)}));

    const LightHandleData *light = GetLightData(a);
    ASSERT_NE(nullptr, light);
    EXPECT_EQ(136u, sizeof(*light));
    EXPECT_FLOAT_EQ(1.0f, light->Param.Diffuse[3]);
    EXPECT_FLOAT_EQ(0.33f, light->Param.Ambient[0]);
    EXPECT_FLOAT_EQ(2000.0f, light->Param.Range);
    EXPECT_FLOAT_EQ(0.1f, light->Param.Attenuation0);
    EXPECT_FLOAT_EQ(2.0f, light->Param.Phi);
    EXPECT_EQ(-1, light->DeviceLightIndex);
    EXPECT_EQ(1, light->EnableFlag & light->ChangeFlag);
    EXPECT_EQ(1, GraphicsState.LightsChangedFlag);

    EXPECT_EQ(nullptr, GetLightData(b ^ (1 << DX_HANDLECHECK_ADDRESS)));  // a stale check number
    EXPECT_EQ(0, DeleteLightHandle(b));
    EXPECT_EQ(-1, DeleteLightHandle(b));
    EXPECT_EQ(nullptr, GetLightData(b));
    EXPECT_EQ(2, GraphicsLightState.Num);
    // A new light goes after the highest used slot, not into the gap.
    EXPECT_EQ(3, SlotOf(AllocLightHandle()));
}

TEST_F(Lights, DirectionalLightsAreNormalisedAndTheDefaultLightOutlivesDeleteAll)
{
    ResetDrawSettings();  // the default light again
    int light = CreateDirLightHandle(VECTOR{3.0f, 0.0f, -4.0f});
    const LightHandleData *data = GetLightData(light);
    ASSERT_NE(nullptr, data);
    EXPECT_EQ(DX_LIGHTTYPE_DIRECTIONAL, data->Param.LightType);
    EXPECT_FLOAT_EQ(0.6f, data->Param.Direction.x);
    EXPECT_FLOAT_EQ(-0.8f, data->Param.Direction.z);
    int defaultLight = GraphicsState.DefaultLightHandle;
    EXPECT_EQ(0, DeleteAllLightHandles());
    EXPECT_EQ(nullptr, GetLightData(light));
    EXPECT_NE(nullptr, GetLightData(defaultLight));
    EXPECT_EQ(1, GraphicsLightState.Num);
}

TEST_F(Lights, AFullTableFillsItsGapsThenRefuses)
{
    int fifth = -1;
    for (int i = 0; i < DX_LIGHT_TABLE_NUM - 1; ++i) {
        int handle = AllocLightHandle();
        ASSERT_GE(handle, 0) << i;
        if (i == 5)
            fifth = handle;
    }
    DeleteLightHandle(fifth);
    EXPECT_EQ(DX_LIGHT_TABLE_NUM - 1, SlotOf(AllocLightHandle()));  // the last slot before the gap
    EXPECT_EQ(5, SlotOf(AllocLightHandle()));
    EXPECT_EQ(-1, AllocLightHandle());
    EXPECT_EQ(0, DeleteLightHandleAll());
    EXPECT_EQ(0, GraphicsLightState.Num);
    EXPECT_EQ(0, SlotOf(AllocLightHandle()));
}

TEST_F(Lights, RefreshNumbersDirectionalThenSpotThenPoint)
{
    UseFakeBackend(GRAPHICS_API_D3D9);
    int point = Light(DX_LIGHTTYPE_POINT);
    int off = Light(DX_LIGHTTYPE_DIRECTIONAL, 0);
    int spot = Light(DX_LIGHTTYPE_SPOT);
    int dir1 = Light(DX_LIGHTTYPE_DIRECTIONAL);
    int dir2 = Light(DX_LIGHTTYPE_DIRECTIONAL);
    EXPECT_EQ(0, RefreshLightState());
    EXPECT_EQ(0, GetLightData(dir1)->DeviceLightIndex);
    EXPECT_EQ(1, GetLightData(dir2)->DeviceLightIndex);
    EXPECT_EQ(2, GetLightData(spot)->DeviceLightIndex);
    EXPECT_EQ(3, GetLightData(point)->DeviceLightIndex);
    EXPECT_EQ(-1, GetLightData(off)->DeviceLightIndex);
    EXPECT_EQ((std::vector<std::string>{"SetUseLighting 1", "SetLightParam 0 3", "SetLightEnable 0 1",
                                        "SetLightParam 1 3", "SetLightEnable 1 1", "SetLightParam 2 2",
                                        "SetLightEnable 2 1", "SetLightParam 3 1", "SetLightEnable 3 1",
                                        "UpdateShadowMapParams"}),
              FakeHardware.Calls);
    EXPECT_EQ(4, GraphicsLightState.ActiveNum);
    EXPECT_EQ(GetLightData(spot), GraphicsLightState.Active[2]);

    // Nothing changed: lighting only.
    FakeHardware.Calls.clear();
    RefreshLightState();
    EXPECT_EQ(std::vector<std::string>{"SetUseLighting 1"}, FakeHardware.Calls);

    // One light changed: only it is sent again.
    GetLightData(spot)->ChangeFlag = 1;
    GraphicsState.LightsChangedFlag = 1;
    FakeHardware.Calls.clear();
    RefreshLightState();
    EXPECT_EQ((std::vector<std::string>{"SetLightParam 2 2", "SetLightEnable 2 1"}), CallsStartingWith("SetLight"));

    // A deleted light: the others move up, the index left over is switched off.
    DeleteLightHandle(dir1);
    FakeHardware.Calls.clear();
    RefreshLightState();
    EXPECT_EQ((std::vector<std::string>{"SetLightParam 0 3", "SetLightEnable 0 1", "SetLightParam 1 2",
                                        "SetLightEnable 1 1", "SetLightParam 2 1", "SetLightEnable 2 1",
                                        "SetLightEnable 3 0"}),
              CallsStartingWith("SetLight"));
}

TEST_F(Lights, OnlyTheFirst256AreListedButAllAreNumbered)
{
    int last = -1;
    for (int i = 0; i < 300; ++i)
        last = Light(DX_LIGHTTYPE_DIRECTIONAL);
    RefreshLightState();
    EXPECT_EQ(DX_LIGHT_ACTIVE_MAX, GraphicsLightState.ActiveNum);
    EXPECT_EQ(299, GetLightData(last)->DeviceLightIndex);
}

TEST_F(Lights, LightingFogAndDepthSwitches)
{
    UseFakeBackend(GRAPHICS_API_D3D11);
    GraphicsState.LightsChangedFlag = 0;
    EXPECT_EQ(0, SetUseLighting(0));
    EXPECT_EQ(1, GraphicsDrawSettings.NoLightingFlag);
    EXPECT_EQ(1, GraphicsState.LightsChangedFlag);
    FakeHardware.Calls.clear();
    RefreshLightState();
    EXPECT_EQ("SetUseLighting 0", FakeHardware.Calls.front());

    struct Case
    {
        std::function<int()> Set;
        std::vector<std::string> Calls;
    } cases[] = {
        {[] { return SetFogEnable(1); }, {"RenderVertexBuffer 0", "SetFogEnable 1"}},
        {[] { return SetFogEnable(1); }, {}},  // unchanged
        {[] { return SetUseZBuffer3D(1); }, {"RenderVertexBuffer 0"}},
        {[] { return SetUseZBuffer3D(1); }, {}},
    };
    for (const Case &c : cases) {
        FakeHardware.Calls.clear();
        EXPECT_EQ(0, c.Set());
        EXPECT_EQ(c.Calls, FakeHardware.Calls);
    }
    EXPECT_EQ(1, GraphicsDrawSettings.Z3D.TestFlag);
    EXPECT_EQ(0, GraphicsDrawSettings.Z2D.TestFlag);
}

// Shader handles need a device with programmable shaders; graphs stand in for shader textures.
class Shaders : public GraphicsStateTest
{
protected:
    void SetUp() override
    {
        GraphicsStateTest::SetUp();
        ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_SHADER, sizeof(ShaderHandleData), DX_MAX_SHADER_NUM,
                                          InitializeShaderHandle, TerminateShaderHandle, L"Shader"));
        ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_GRAPH, sizeof(HandleInfo) + 16, 8, nullptr, nullptr, L"Graph"));
        UseFakeBackend(GRAPHICS_API_D3D11);
        GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    }
    void TearDown() override
    {
        TerminateHandleType(DX_HANDLETYPE_SHADER);
        TerminateHandleType(DX_HANDLETYPE_GRAPH);
        GraphicsStateTest::TearDown();
    }
    const uint8_t Code[4] = {1, 2, 3, 4};
};

TEST_F(Shaders, CreationNeedsADeviceWithProgrammableShaders)
{
    int vertex = CreateShaderHandle(1, Code, 4, 7, 0, 0);
    ASSERT_GE(vertex, 0);
    EXPECT_EQ(std::vector<std::string>{"CreateShaderHandle 1 4 7 0"}, FakeHardware.Calls);
    ShaderHandleData *shader = GetShaderEntry(vertex, 0);
    ASSERT_NE(nullptr, shader);
    EXPECT_NE((const void *)Code, shader->FunctionCode);  // a copy of its own
    EXPECT_EQ(0, memcmp(Code, shader->FunctionCode, 4));
    EXPECT_EQ(&shader->Backend, shader->PF);

    struct Case
    {
        const char *Name;
        int Programmable, DeviceValid, BackEndResult;
    } refused[] = {
        {"no programmable shaders", 0, 1, 0},
        {"no device", 1, 0, 0},
        {"the back end fails", 1, 1, -1},
    };
    for (const Case &c : refused) {
        GraphicsDeviceCaps.ProgrammableShaderFlag = c.Programmable;
        FakeHardware.DeviceValid = c.DeviceValid;
        FakeHardware.CreateShaderResult = c.BackEndResult;
        EXPECT_EQ(-1, LoadPixelShaderFromMem(Code, 4)) << c.Name;
    }
    EXPECT_EQ(1, GetHandleManage(DX_HANDLETYPE_SHADER)->Num);  // the failed one was deleted
    // The software renderer makes none.
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    EXPECT_EQ(-1, LoadPixelShaderFromMem(Code, 4));
}

TEST_F(Shaders, SelectionTakesOnlyItsKindAndForgetsADeletedShader)
{
    int vertex = CreateShaderHandle(1, Code, 4, 0, 0, 0);
    int pixel = LoadPixelShaderFromMem(Code, 4);
    DrawShaderSelection &s = GraphicsDrawSettings.Shader;
    EXPECT_EQ(-1, SetUseVertexShader(pixel));
    EXPECT_EQ(-1, SetUsePixelShader(vertex));
    EXPECT_EQ(0, SetUseVertexShader(vertex));
    EXPECT_EQ(0, SetUsePixelShader(pixel));
    EXPECT_EQ(vertex, s.VertexShader);
    EXPECT_EQ(pixel, s.PixelShader);
    EXPECT_EQ(0, SetUseVertexShader(-1));
    EXPECT_EQ(0, s.VertexShader);

    FakeHardware.Calls.clear();
    EXPECT_EQ(0, SubHandle(pixel));
    EXPECT_EQ(0, s.PixelShader);
    EXPECT_EQ(1u, CallsStartingWith("Shader_Release").size());
    EXPECT_EQ(-1, SetUsePixelShader(pixel));
}

TEST_F(Shaders, TextureStagesTakeLiveGraphs)
{
    int graph = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
    int shader = LoadPixelShaderFromMem(Code, 4);
    int *stages = GraphicsDrawSettings.Shader.Texture;
    struct Case
    {
        int Stage, Handle, Result, Stored;
    } cases[] = {
        {3, graph, 0, graph},  {3, -1, 0, 0},       {15, graph, 0, graph}, {16, graph, -1, 0},
        {-1, graph, -1, 0},    {4, shader, -1, 0},  {4, graph + 0x10000, -1, 0}, {5, -2, -1, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.Result, SetUseTextureToShader(c.Stage, c.Handle)) << c.Stage << " " << c.Handle;
        if (c.Stage >= 0 && c.Stage < 16) {
            EXPECT_EQ(c.Stored, stages[c.Stage]) << c.Stage;
        }
    }
    // No vertex or index buffer exists to copy into.
    EXPECT_EQ(-1, SetVertexBufferData(0, Code, 1, graph));
    EXPECT_EQ(-1, SetIndexBufferData(0, Code, 1, -1));
}

}  // namespace
