// The device-state cache on the platform's own device: a setter reaches the device only when the
// value changes or the force flag is raised, refused values leave the cache alone, and the
// initialisation runs without a failing call.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"

namespace {

// Every hooked call: its line, and whether it failed on the real device.
int FailedCalls = 0;
bool RefuseViewport = false;

void Record(const std::string &Line, HRESULT Result)
{
    D3D9Hooks.Calls.push_back(Line);
    if (FAILED(Result)) ++FailedCalls;
}

HRESULT HookedSetRenderState(D3DRENDERSTATETYPE State, DWORD Value)
{
    HRESULT hr = D3D9SystemCalls.Direct3DDevice9_SetRenderState(State, Value);
    Record("RS " + std::to_string(State) + " " + std::to_string(Value), hr);
    return hr;
}

HRESULT HookedSetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value)
{
    HRESULT hr = D3D9SystemCalls.Direct3DDevice9_SetSamplerState(Sampler, Type, Value);
    Record("SS " + std::to_string(Sampler) + " " + std::to_string(Type) + " " + std::to_string(Value), hr);
    return hr;
}

HRESULT HookedSetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value)
{
    HRESULT hr = D3D9SystemCalls.Direct3DDevice9_SetTextureStageState(Stage, Type, Value);
    Record("TSS " + std::to_string(Stage) + " " + std::to_string(Type) + " " + std::to_string(Value), hr);
    return hr;
}

HRESULT HookedSetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX *Matrix)
{
    HRESULT hr = D3D9SystemCalls.Direct3DDevice9_SetTransform(State, Matrix);
    Record("TR " + std::to_string(State), hr);
    return hr;
}

HRESULT HookedSetViewport(const D3DVIEWPORT9 *Viewport)
{
    if (RefuseViewport) {
        D3D9Hooks.Calls.push_back("VP refused");
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = D3D9SystemCalls.Direct3DDevice9_SetViewport(Viewport);
    Record("VP " + std::to_string(Viewport->Width) + "x" + std::to_string(Viewport->Height), hr);
    return hr;
}

// Hooks the state calls once the device and its default state are up; the suite's tests share the
// device.
class D3D9DeviceState : public D3D9DeviceTest
{
protected:
    static void TearDownTestSuite() { EndSharedDeviceSuite(); }
    void SetUp() override
    {
        const bool started = Direct3DDevice9_IsValid() != 0;
        if (!started) D3D9DeviceTest::SetUp();
        FailedCalls = 0;
        RefuseViewport = false;
        Hook();
        if (!started) {
            ASSERT_EQ(0, Graphics_D3D9_Initialize());
        }
    }
    void TearDown() override { KeepDeviceUnless(false); }
    void Hook()
    {
        D3D9Calls.Direct3DDevice9_SetRenderState = HookedSetRenderState;
        D3D9Calls.Direct3DDevice9_SetSamplerState = HookedSetSamplerState;
        D3D9Calls.Direct3DDevice9_SetTextureStageState = HookedSetTextureStageState;
        D3D9Calls.Direct3DDevice9_SetTransform = HookedSetTransform;
        D3D9Calls.Direct3DDevice9_SetViewport = HookedSetViewport;
    }
    // The calls made by Step alone.
    template <typename F>
    std::vector<std::string> CallsOf(F Step)
    {
        D3D9Hooks.Calls.clear();
        Step();
        return D3D9Hooks.Calls;
    }
};

TEST_F(D3D9DeviceState, InitialisationMakesNoFailingCallAndLeavesTheDefaults)
{
    GraphicsDrawSettings.DrawMode = 2;
    ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
    EXPECT_EQ(0, FailedCalls);
    EXPECT_FALSE(D3D9Hooks.Calls.empty());
    const D3D9DeviceStateCacheData &c = D3D9DeviceStateCache;
    EXPECT_EQ(D3DCMP_LESSEQUAL, c.ZFunc);
    EXPECT_EQ(640u, c.Viewport.Width);
    EXPECT_EQ(D3DTADDRESS_CLAMP, c.Sampler[15].AddressW);
    // The anisotropic mode's filters are those a later SetDrawMode(2) sends, mip filter included.
    EXPECT_EQ(D3DTEXF_LINEAR, c.Sampler[0].MagFilter);
    EXPECT_EQ(D3DTEXF_ANISOTROPIC, c.Sampler[0].MinFilter);
    EXPECT_EQ(D3DTEXF_LINEAR, c.Sampler[0].MipFilter);
    EXPECT_EQ(0, c.ForceFlag);
    GraphicsDrawSettings.DrawMode = 0;
}

TEST_F(D3D9DeviceState, ASetterSendsOnlyAChangeUnlessForced)
{
    ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
    struct Case
    {
        const char *Name;
        std::function<int(int)> Set;
        int Value;
    };
    const Case cases[] = {
        {"z function", [](int v) { return Graphics_D3D9_DeviceState_SetZFunc(v); }, D3DCMP_ALWAYS},
        {"z write", [](int v) { return Graphics_D3D9_DeviceState_SetZWriteEnable(v); }, 1},
        {"fill mode", [](int v) { return Graphics_D3D9_DeviceState_SetFillMode(v); }, D3DFILL_WIREFRAME},
        {"cull mode", [](int v) { return Graphics_D3D9_DeviceState_SetCullMode(v); }, 2},
        {"shade mode", [](int v) { return Graphics_D3D9_DeviceState_SetShadeMode(v, 0); }, D3DSHADE_GOURAUD},
        {"one address", [](int v) { return Graphics_D3D9_DeviceState_SetTextureAddressU(v, 3); }, D3DTADDRESS_WRAP},
        {"one filter", [](int v) { return Graphics_D3D9_DeviceState_SetSamplerFilter(2, D3DSAMP_MINFILTER, v); },
         D3DTEXF_LINEAR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(1u, CallsOf([&] { EXPECT_EQ(0, c.Set(c.Value)); }).size());
        EXPECT_EQ(0u, CallsOf([&] { EXPECT_EQ(0, c.Set(c.Value)); }).size());
        D3D9DeviceStateCache.ForceFlag = 1;
        EXPECT_EQ(1u, CallsOf([&] { EXPECT_EQ(0, c.Set(c.Value)); }).size());
        D3D9DeviceStateCache.ForceFlag = 0;
    }
    EXPECT_EQ(0, FailedCalls);
}

TEST_F(D3D9DeviceState, StageWideSettersCompareFourStagesAtATime)
{
    ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
    // Stage 5 differs: only its block of four is sent again.
    Graphics_D3D9_DeviceState_SetTextureAddressV(D3DTADDRESS_MIRROR, 5);
    std::vector<std::string> calls =
        CallsOf([] { Graphics_D3D9_DeviceState_SetTextureAddressV(D3DTADDRESS_CLAMP, -1); });
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ("SS 4 2 3", calls[0]);
    // From nearest to bilinear only magnification and minification change on each stage (the mip
    // filter stays off); the same mode again sends nothing.
    EXPECT_EQ(16u * 2, CallsOf([] { Graphics_D3D9_DeviceState_SetDrawMode(1); }).size());
    EXPECT_EQ(0u, CallsOf([] { Graphics_D3D9_DeviceState_SetDrawMode(1); }).size());
    // A single filter leaves the draw mode "none chosen", so the mode is sent again after it.
    Graphics_D3D9_DeviceState_SetSamplerFilter(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    EXPECT_EQ(D3D9_DRAW_MODE_NONE, D3D9DeviceStateCache.DrawMode);
    EXPECT_EQ(1u, CallsOf([] { Graphics_D3D9_DeviceState_SetDrawMode(1); }).size());
}

TEST_F(D3D9DeviceState, RefusedValuesLeaveDeviceAndCache)
{
    ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
    Graphics_D3D9_DeviceState_SetDrawMode(0);
    const DWORD mag = D3D9DeviceStateCache.Sampler[0].MagFilter;
    EXPECT_TRUE(CallsOf([] { EXPECT_EQ(-1, Graphics_D3D9_DeviceState_SetDrawMode(3)); }).empty());
    EXPECT_EQ(mag, D3D9DeviceStateCache.Sampler[0].MagFilter);
    EXPECT_EQ(0, D3D9DeviceStateCache.DrawMode);

    // Disabling a transform that was never enabled makes no call; enabling sends flags and matrix.
    D3DMATRIX m = {};
    EXPECT_TRUE(CallsOf([&] { Graphics_D3D9_DeviceState_SetTextureTransform(0, &m, 1); }).empty());
    EXPECT_EQ(2u, CallsOf([&] { Graphics_D3D9_DeviceState_SetTextureTransform(1, &m, 1); }).size());
    EXPECT_EQ(1u, CallsOf([&] { Graphics_D3D9_DeviceState_SetTextureTransform(0, &m, 1); }).size());

    // A viewport the device refuses keeps the cached one, logged.
    LogAppendReader log;
    RefuseViewport = true;
    EXPECT_EQ(-1, Graphics_D3D9_DeviceState_SetViewportRect(10, 10, 100, 100));
    EXPECT_EQ(640u, D3D9DeviceStateCache.Viewport.Width);
    EXPECT_TRUE(Contains(log.Appended(), L"ビューポートのセットに失敗しました ErrorCode"));
    RefuseViewport = false;
    EXPECT_EQ(0, Graphics_D3D9_DeviceState_SetViewportRect(10, 10, 100, 100));
    EXPECT_EQ(90u, D3D9DeviceStateCache.Viewport.Width);
}

TEST_F(D3D9DeviceState, SendAllResendsTheCacheWithoutAFailingCall)
{
    ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
    Graphics_D3D9_DeviceState_SetZFunc(D3DCMP_GREATER);
    std::vector<std::string> calls = CallsOf([] { EXPECT_EQ(0, Graphics_D3D9_DeviceState_SendAll()); });
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "RS 23 " + std::to_string(D3DCMP_GREATER)));
    EXPECT_EQ(0, D3D9DeviceStateCache.ForceFlag);
    EXPECT_EQ(0, FailedCalls);
}

}  // namespace
