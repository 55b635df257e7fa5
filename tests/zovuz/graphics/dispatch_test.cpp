// The hardware dispatch layer: the software answers, the choice of the back end at graphics
// start, forwarding to the back end in use (every forwarder of the list of operations), the
// operations only one back end has, missing operations, the dialog-box mode and the software
// renderer's screen-mode change.
#include <windows.h>

#include <string.h>

#include <functional>
#include <type_traits>
#include <utility>

#include "tests/zovuz/graphics/hardware_fixture.h"
#include "zovuz/graphics/image/base_image_internal.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/graphics_dispatch_internal.h"

namespace {

struct NamedCall
{
    const char *Name;
    std::function<long long()> Call;
};

// The dispatchers written by hand, with harmless arguments.
std::vector<NamedCall> HandWrittenCalls()
{
    return {
        {"IsDeviceValid", [] { return Graphics_Hardware_IsDeviceValid(); }},
        {"PresentFrameOnDevice", [] { return Graphics_Hardware_PresentFrameOnDevice(); }},
        {"SetupSubBackBufferFullScreen", [] { return Graphics_Hardware_SetupSubBackBufferFullScreen(1); }},
        {"ExpireMemoryTextureCache", [] { return Graphics_Hardware_ExpireMemoryTextureCache(); }},
        {"ShaderConstantBuffer_Release", [] { return Graphics_Hardware_ShaderConstantBuffer_Release(nullptr); }},
        {"StartFrontScreenTimer", [] { return Graphics_Hardware_StartFrontScreenTimer(-2); }},
        {"SetDialogBoxModeFlag", [] { return Graphics_Hardware_SetDialogBoxModeFlag(0); }},
    };
}

// ---- Calls of the listed forwarders ----------------------------------------------------------

#define HAND_WRITTEN(Result, Name, Params, Args)

// A different value for each argument position, so that a swapped pair shows. The pointers are
// never followed: no back end, or only a receiving entry, is in use.
template <typename T>
T Distinct(size_t Index)
{
    if constexpr (std::is_pointer<T>::value)
        return reinterpret_cast<T>(uintptr_t(0x10000 + 0x100 * Index));
    else
        return T(101 + Index);
}

template <typename T>
uint64_t Bits(T Value)
{
    uint64_t bits = 0;
    memcpy(&bits, &Value, sizeof(Value));
    return bits;
}

template <typename R, typename... P, size_t... I>
R CallWithDistinctArguments(R (*Forwarder)(P...), std::index_sequence<I...>)
{
    return Forwarder(Distinct<P>(I)...);
}
template <typename R, typename... P>
R CallWithDistinctArguments(R (*Forwarder)(P...))
{
    return CallWithDistinctArguments(Forwarder, std::index_sequence_for<P...>{});
}
template <typename R, typename... P, size_t... I>
std::vector<uint64_t> DistinctBits(R (*)(P...), std::index_sequence<I...>)
{
    return {Bits(Distinct<P>(I))...};
}

// The receiving entry: whether it was called, what it got, and its answer.
bool Reached;
std::vector<uint64_t> Received;
constexpr int Answer = 0x5EED;

template <typename R, typename... P>
R Receive(P... Args)
{
    Reached = true;
    Received = {Bits(Args)...};
    return R(Answer);
}

class Dispatch : public GraphicsStateTest
{
protected:
    // The software renderer's vertical-blank object is a COM object, as in the library.
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override
    {
        GraphicsStateTest::SetUp();
        ChangeWindowMode(1);  // the software start in full screen would change the display mode
    }
    void TearDown() override
    {
        Graphics_Hardware_Terminate();
        GraphicsStateTest::TearDown();
    }

    // Calls Forwarder with distinct arguments with each back end in use and only Entry set (to a
    // receiving function). A back end the operation is for gets exactly those arguments and its
    // answer comes back; the other (for a Direct3D 9 operation) is not asked and 0 comes back.
    template <typename R, typename... P>
    void CheckForwarder(R (*GraphicsHardwareFunctions::*Entry)(P...), R (*Forwarder)(P...), const char *Name,
                        bool D3D9Only)
    {
        SCOPED_TRACE(Name);
        Table = {};
        Table.*Entry = Receive<R, P...>;
        const std::vector<uint64_t> sent = DistinctBits(Forwarder, std::index_sequence_for<P...>{});
        for (int type : {GRAPHICS_API_D3D11, GRAPHICS_API_D3D9}) {
            UseFakeBackend(type);
            Reached = false;
            Received.clear();
            const bool asked = type == GRAPHICS_API_D3D9 || !D3D9Only;
            EXPECT_EQ(asked ? R(Answer) : R(0), CallWithDistinctArguments(Forwarder)) << type;
            EXPECT_EQ(asked, Reached) << type;
            if (asked) {
                EXPECT_EQ(sent, Received) << type;
            }
        }
    }
};

TEST_F(Dispatch, WithoutABackEndEveryOperationAnswersZeroAndReachesNoTable)
{
    // Tables registered but not in use: the type alone decides.
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &Table);
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, &Table);
#define ANSWERS_ZERO(Result, Name, Params, Args) \
    EXPECT_EQ(static_cast<Result>(0), CallWithDistinctArguments(Graphics_Hardware_##Name)) << #Name;
    GRAPHICS_HARDWARE_OPERATIONS(ANSWERS_ZERO, ANSWERS_ZERO, HAND_WRITTEN)
#undef ANSWERS_ZERO
    for (const NamedCall &c : HandWrittenCalls())
        EXPECT_EQ(0, c.Call()) << c.Name;
    EXPECT_TRUE(FakeHardware.Calls.empty());
}

TEST_F(Dispatch, EveryListedForwarderReachesItsOwnEntryWithItsArgumentsInOrder)
{
#define CHECK_FORWARD(Result, Name, Params, Args) \
    CheckForwarder(&GraphicsHardwareFunctions::Name, Graphics_Hardware_##Name, #Name, false);
#define CHECK_FORWARD_D3D9(Result, Name, Params, Args) \
    CheckForwarder(&GraphicsHardwareFunctions::Name, Graphics_Hardware_##Name, #Name, true);
    GRAPHICS_HARDWARE_OPERATIONS(CHECK_FORWARD, CHECK_FORWARD_D3D9, HAND_WRITTEN)
#undef CHECK_FORWARD
#undef CHECK_FORWARD_D3D9
}

TEST_F(Dispatch, StartTriesDirect3D11ThenDirect3D9ThenSoftware)
{
    struct Case
    {
        const char *Name;
        bool Table11, Table9;
        int Result11, Result9;
        int SoftwareRequest;
        int APIType;
        const char *Starts;  // the back ends whose start ran
    } cases[] = {
        {"11 starts", true, true, 0, 0, 0, GRAPHICS_API_D3D11, "11 "},
        {"11 fails, 9 starts", true, true, -1, 0, 0, GRAPHICS_API_D3D9, "11 9 "},
        {"both fail: software", true, true, -1, -1, 0, GRAPHICS_API_SOFTWARE, "11 9 "},
        {"no 11 table", false, true, 0, 0, 0, GRAPHICS_API_D3D9, "9 "},
        {"no tables at all", false, false, 0, 0, 0, GRAPHICS_API_SOFTWARE, ""},
        {"software requested", true, true, 0, 0, 1, GRAPHICS_API_SOFTWARE, ""},
    };
    static int result11, result9;
    static std::string starts;
    GraphicsHardwareFunctions table11 = Table, table9 = Table;
    table11.Startup = [] { starts += "11 "; return result11; };
    table9.Startup = [] { starts += "9 "; return result9; };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, c.Table11 ? &table11 : nullptr);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, c.Table9 ? &table9 : nullptr);
        result11 = c.Result11;
        result9 = c.Result9;
        starts.clear();
        GraphicsState.SoftwareRenderRequestFlag = c.SoftwareRequest;
        EXPECT_EQ(0, Graphics_Hardware_Startup());
        EXPECT_EQ(c.APIType, GraphicsAPIType);
        EXPECT_EQ(c.APIType != GRAPHICS_API_SOFTWARE, GraphicsState.HardwareInUseFlag);
        EXPECT_EQ(GraphicsState.HardwareInUseFlag, GetHardwareGraphicsFlag());
        EXPECT_EQ(GraphicsState.HardwareInUseFlag, ColorValueTarget.HardwareFlag);  // colour values follow
        EXPECT_EQ(c.Starts, starts);
        // The software renderer waits for the vertical blank through its own object.
        EXPECT_EQ(c.APIType == GRAPHICS_API_SOFTWARE, DirectDraw7_GetObject() != nullptr);
        Graphics_Hardware_Terminate();
    }
    // No Direct3D library was loaded by the front end.
    EXPECT_EQ(nullptr, GetModuleHandleW(L"d3d11.dll"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"d3d9.dll"));
}

TEST_F(Dispatch, ForwardsArgumentsAndTheBackEndsResults)
{
    UseFakeBackend(GRAPHICS_API_D3D11);
    EXPECT_EQ(0, Graphics_Hardware_DrawLine(1, 2, 3, 4, 0xFF102030));
    EXPECT_EQ(2, Graphics_Hardware_FillGraph(nullptr, 1, 2, 3, 4));  // not a render target: 2, not -1
    EXPECT_EQ(300, Graphics_Hardware_GetShaderVersion());
    EXPECT_EQ(0, Graphics_Hardware_ChangeScreenMode(1, 800, 600, 32, 60));
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(-4));
    EXPECT_EQ((std::vector<std::string>{"DrawLine 1 2 3 4 FF102030", "FillGraph", "ChangeScreenMode 1 800 600 32 60",
                                        "StartFrontScreenTimer -4"}),
              FakeHardware.Calls);
    // Terminate answers for Direct3D 11 only.
    EXPECT_EQ(7, Graphics_Hardware_Terminate());
    UseFakeBackend(GRAPHICS_API_D3D9);
    EXPECT_EQ(0, Graphics_Hardware_Terminate());
    EXPECT_EQ(1u, CallsStartingWith("Terminate").size());
}

TEST_F(Dispatch, OperationsOfOneBackEndAnswerForTheOther)
{
    struct Case
    {
        int APIType;
        std::function<int()> Call;
        int Result;
        std::vector<std::string> Calls;
    } cases[] = {
        {GRAPHICS_API_D3D11, [] { return Graphics_Hardware_CheckRenderTargetGraph(1, nullptr); }, 0, {}},
        {GRAPHICS_API_D3D9, [] { return Graphics_Hardware_CheckRenderTargetGraph(1, nullptr); }, -1,
         {"CheckRenderTargetGraph"}},
        {GRAPHICS_API_D3D11, [] { return Graphics_Hardware_ExpireMemoryTextureCache(); }, 0, {}},
        {GRAPHICS_API_D3D9, [] { return Graphics_Hardware_ExpireMemoryTextureCache(); }, 0,
         {"ExpireMemoryTextures", "ExpireMemorySurfaces"}},
        {GRAPHICS_API_D3D11, [] { return Graphics_Hardware_ShaderConstantBuffer_Release(nullptr); }, 0,
         {"ShaderConstantBuffer_Release"}},
        {GRAPHICS_API_D3D9, [] { return Graphics_Hardware_ShaderConstantBuffer_Release(nullptr); }, -1, {}},
    };
    for (const Case &c : cases) {
        UseFakeBackend(c.APIType);
        EXPECT_EQ(c.Result, c.Call());
        EXPECT_EQ(c.Calls, FakeHardware.Calls);
    }
}

TEST_F(Dispatch, AnOperationTheBackEndLacksFails)
{
    Table.DrawFillBox = nullptr;
    Table.IsDeviceValid = nullptr;
    UseFakeBackend(GRAPHICS_API_D3D9);
    EXPECT_EQ(-1, Graphics_Hardware_DrawFillBox(0, 0, 1, 1, 0));
    EXPECT_EQ(0, Graphics_Hardware_IsDeviceValid());  // no device rather than "true"
    EXPECT_EQ(0xFFFFFFFFu, Graphics_Hardware_GetPixel(0, 0));
}

TEST_F(Dispatch, DialogBoxModeReachesOnlyADirect3D9Device)
{
    struct Case
    {
        int APIType, DeviceValid, Flag;
        std::vector<std::string> Calls;
    } cases[] = {
        {GRAPHICS_API_D3D9, 1, 1, {"SetDialogBoxMode 0", "SetDialogBoxMode 1"}},
        {GRAPHICS_API_D3D9, 1, 0, {"SetDialogBoxMode 0"}},
        {GRAPHICS_API_D3D9, 0, 1, {}},
        {GRAPHICS_API_D3D11, 1, 1, {}},
    };
    for (const Case &c : cases) {
        UseFakeBackend(c.APIType);
        FakeHardware.DeviceValid = c.DeviceValid;
        EXPECT_EQ(0, Graphics_Hardware_SetDialogBoxModeFlag(c.Flag));
        EXPECT_EQ(c.Flag, Graphics_Hardware_GetDialogBoxModeFlag());
        EXPECT_EQ(c.Calls, FakeHardware.Calls);
    }
    // The window procedure's switch goes to the Direct3D 9 implementation whatever is in use.
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, &Table);
    FakeHardware.Calls.clear();
    Graphics_Hardware_SetDialogBoxMode(1);
    EXPECT_EQ(std::vector<std::string>{"SetDialogBoxMode 1"}, FakeHardware.Calls);
}

TEST_F(Dispatch, OnlyTheFrontScreenStartsTheSoftwareTimer)
{
    // No window exists here, so the front screen's timer cannot be set; the others never try.
    EXPECT_EQ(-1, Graphics_Hardware_StartFrontScreenTimer(DX_SCREEN_FRONT));
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(DX_SCREEN_BACK));
    EXPECT_EQ(0, Graphics_Hardware_StartFrontScreenTimer(0x04000001));  // a graph
}

TEST_F(Dispatch, SoftwareScreenModeChangeKeepsOrTakesTheNewMode)
{
    GraphicsState.SoftwareRenderRequestFlag = 1;
    ASSERT_EQ(0, Graphics_Hardware_Startup());
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    s.FullScreenScalingMode = FULLSCREEN_SCALING_SCALED;
    // A device rebuild (flag 0) keeps the mode; a change (flag 1) takes it.
    EXPECT_EQ(0, Graphics_Hardware_ChangeScreenMode(0, 800, 600, 32, 75));
    EXPECT_EQ(0, s.MainScreenWidth);
    EXPECT_EQ(FULLSCREEN_SCALING_SCALED, s.FullScreenScalingModeInEffect);
    EXPECT_EQ(0, Graphics_Hardware_ChangeScreenMode(1, 800, 600, 32, 75));
    int w, h;
    GetDrawScreenSize(&w, &h);
    EXPECT_EQ(800, w);
    EXPECT_EQ(600, h);
    EXPECT_EQ(32, GetScreenColorBitDepth());
    EXPECT_EQ(75, s.MainScreenRefreshRate);
    EXPECT_NE(nullptr, DirectDraw7_GetObject());
    // The software screen's colour values follow its new depth.
    EXPECT_EQ(32, ColorValueTarget.ScreenBitDepth);
}

}  // namespace
