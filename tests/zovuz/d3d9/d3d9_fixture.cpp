#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include <stdlib.h>

#include <algorithm>

#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"

D3D9HookData D3D9Hooks;

HRESULT RefusingCheckDeviceFormat(UINT Adapter, D3DDEVTYPE Type, D3DFORMAT AdapterFormat, DWORD Usage,
                                  D3DRESOURCETYPE ResourceType, D3DFORMAT Format)
{
    const std::vector<unsigned> &refused = D3D9Hooks.Refused;
    if (std::find(refused.begin(), refused.end(), (unsigned)Format) != refused.end()) return D3DERR_NOTAVAILABLE;
    return D3D9SystemCalls.Direct3D9_CheckDeviceFormat(Adapter, Type, AdapterFormat, Usage, ResourceType, Format);
}

HRESULT RecordingCreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                           DWORD Quality, BOOL Discard, IDirect3DSurface9 **Surface, HANDLE *Shared)
{
    int call = ++D3D9Hooks.DepthSurfaces;
    D3D9Hooks.Calls.push_back("CreateDepthStencilSurface " + std::to_string(Width) + "x" + std::to_string(Height));
    if (D3D9Hooks.FailDepthSurfaceFrom > 0 && call >= D3D9Hooks.FailDepthSurfaceFrom) return E_OUTOFMEMORY;
    return D3D9SystemCalls.Direct3DDevice9_CreateDepthStencilSurface(Width, Height, Format, MultiSample, Quality,
                                                                     Discard, Surface, Shared);
}

HRESULT LosingTestCooperativeLevel(void)
{
    D3D9Hooks.Calls.push_back("TestCooperativeLevel");
    if (D3D9Hooks.DeviceNotResetAnswers > 0) {
        --D3D9Hooks.DeviceNotResetAnswers;
        return D3DERR_DEVICENOTRESET;
    }
    return D3D9SystemCalls.Direct3DDevice9_TestCooperativeLevel();
}

void D3D9DeviceTest::SetUpTestSuite()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the vertical-blank object is a COM object
    RemoveLogFile();
    ChangeWindowMode(1);
    SetAlwaysRunFlag(1);
    SetMainWindowText("d3d9 device");
    ASSERT_EQ(0, SetGraphMode(640, 480, 32, 60));
    ASSERT_EQ(0, CreateMainWindow());
    // The window shows once its first messages are served.
    for (int i = 0; i < 5; ++i) ProcessMessage();
}

void D3D9DeviceTest::TearDownTestSuite()
{
    // The window goes before the library's end serves its queue: Wine's device work left window
    // updates and display events for it, several per device call, and serving them took seconds;
    // a destroyed window's are dropped.
    DestroyWindow(GetMainWindowHandle());
    TerminateMainWindow();
    CoUninitialize();
}

void D3D9DeviceTest::SetUp()
{
    D3D9Calls = D3D9SystemCalls;
    D3D9Hooks = D3D9HookData();
    D3D9Screen = D3D9ScreenData();
    GraphicsDeviceMode = GraphicsDeviceModeData();
    GraphicsDeviceCaps = GraphicsDeviceCapsData();
    SetMainScreenSize(640, 480);
    GraphicsScreenSettings.MainScreenColorBitDepth = 32;
}

void D3D9DeviceTest::TearDown() { EndBackEnd(); }

void D3D9DeviceTest::EndBackEnd()
{
    Graphics_D3D9_Terminate();
    D3D9Calls = D3D9SystemCalls;
    D3D9CallLayer.NoExFlag = 0;
    EXPECT_EQ(0, Direct3DDevice9_IsValid()) << "the device was left";
    EXPECT_EQ(0, Direct3D9_IsValid()) << "the Direct3D object was left";
    EXPECT_EQ(nullptr, D3D9CallLayer.Module) << "d3d9.dll was left loaded";
    EXPECT_EQ(nullptr, D3D9DeviceCapsInfo.BackBuffer) << "the back buffer was left";
    EXPECT_EQ(nullptr, DirectDraw7_GetObject()) << "the vertical-blank object was left";
}

D3DSURFACE_DESC D3D9DeviceTest::Describe(IDirect3DSurface9 *Surface)
{
    D3DSURFACE_DESC desc = {};
    if (Surface != nullptr) Direct3DSurface9_GetDesc(Surface, &desc);
    return desc;
}

void D3D9DeviceTest::KeepDeviceUnless(bool Changed)
{
    D3D9Calls = D3D9SystemCalls;
    if (Changed || HasFailure() || !Direct3DDevice9_IsValid()) EndBackEnd();
}

void D3D9DeviceTest::EndSharedDeviceSuite()
{
    EndBackEnd();
    D3D9DeviceTest::TearDownTestSuite();
}

void D3D9DrawTest::SetUp()
{
    // A device left by the test before is kept; a start runs with the settings a fresh one has.
    const bool started = Direct3DDevice9_IsValid() != 0;
    if (started) {
        D3D9Calls = D3D9SystemCalls;
        D3D9Hooks = D3D9HookData();
    } else {
        D3D9DeviceTest::SetUp();
    }
    // The front end's defaults that the draw preparation reads.
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawMode = 0;
    d.Z2D = DrawZSettings();
    d.AlphaTestMode = -1;
    d.DrawBrightRed = d.DrawBrightGreen = d.DrawBrightBlue = 255;
    d.BlendMode = 0;
    d.BlendParam = 255;
    if (!started) {
        ASSERT_EQ(0, Graphics_D3D9_Startup());
    }
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, GetGraphicsD3D9Functions());
    GraphicsAPIType = GRAPHICS_API_D3D9;
    ASSERT_EQ(0, Graphics_D3D9_InitializeDeviceState());
}

void D3D9DrawTest::TearDown()
{
    for (IDirect3DTexture9 *texture : Textures) {
        for (int stage = 0; stage < D3D9_STAGE_NUM; ++stage) Direct3DDevice9_SetTexture(stage, nullptr);
        Direct3D9_ReleaseObject(texture);
    }
    Textures.clear();
    GraphicsAPIType = 0;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D9, nullptr);
    KeepDeviceUnless(DeviceChanged);
}

IDirect3DTexture9 *D3D9DrawTest::MakeTexture()
{
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr));
    if (texture != nullptr) Textures.push_back(texture);
    return texture;
}

std::vector<uint32_t> D3D9DrawTest::ReadTarget(IDirect3DSurface9 *Target, D3DFORMAT Format)
{
    std::vector<uint32_t> pixels;
    IDirect3DSurface9 *copy = nullptr;
    EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateOffscreenPlainSurface(640, 480, Format, D3DPOOL_SYSTEMMEM, &copy, nullptr));
    D3DLOCKED_RECT locked = {};
    if (copy != nullptr && SUCCEEDED(Direct3DDevice9_GetRenderTargetData(Target, copy)) &&
        SUCCEEDED(Direct3DSurface9_LockRect(copy, &locked, nullptr, D3DLOCK_READONLY))) {
        const uint32_t keep = Format == D3DFMT_X8R8G8B8 ? 0xFFFFFF : 0xFFFFFFFF;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                pixels.push_back(((const uint32_t *)((const char *)locked.pBits + y * locked.Pitch))[x] & keep);
        Direct3DSurface9_UnlockRect(copy);
    }
    if (copy != nullptr) Direct3D9_ReleaseObject(copy);
    return pixels;
}

void D3D9DrawTest::ClearBackBuffer(uint32_t Rgb)
{
    Graphics_D3D9_RenderVertexBuffer(0);
    Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000 | Rgb, 1.0f, 0);
}

std::vector<uint32_t> D3D9DrawTest::BackBufferPixels()
{
    Graphics_D3D9_RenderVertexBuffer(0);
    return ReadTarget(D3D9DeviceCapsInfo.BackBuffer);
}

void D3D9DrawTest::UseDrawArea(ImageRect Area)
{
    GraphicsDrawSettingsData &d = GraphicsDrawSettings;
    d.DrawArea = Area;
    d.DrawAreaF[0] = (float)Area.left, d.DrawAreaF[1] = (float)Area.top;
    d.DrawAreaF[2] = (float)Area.right, d.DrawAreaF[3] = (float)Area.bottom;
}

void ExpectCorner(const std::vector<uint32_t> &Got, int Width, int Height,
                  const std::function<uint32_t(int X, int Y)> &Want)
{
    ASSERT_EQ(640u * 480u, Got.size());
    int wrong = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const uint32_t want = Want(x, y), got = Got[y * 640 + x];
            if (want != kAnyPixel && got != want && wrong++ < 4)
                ADD_FAILURE() << "(" << x << ", " << y << ") got " << std::hex << got << ", want " << want;
        }
    EXPECT_EQ(0, wrong);
}

void ExpectPixelsClose(const std::vector<uint32_t> &Got, const std::vector<uint32_t> &Want, int Tolerance)
{
    ASSERT_EQ(Want.size(), Got.size());
    int wrong = 0;
    for (size_t i = 0; i < Got.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            if (abs(int(Got[i] >> shift & 0xFF) - int(Want[i] >> shift & 0xFF)) > Tolerance && wrong++ < 4) {
                ADD_FAILURE() << "pixel " << i << std::hex << ": got " << Got[i] << ", want " << Want[i];
                break;
            }
    EXPECT_EQ(0, wrong);
}
