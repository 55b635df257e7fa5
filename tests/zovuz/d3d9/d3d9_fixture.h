// What the Direct3D 9 tests share: a fixture that runs the back end on the platform's own device
// (Wine's, on llvmpipe) in the library's main window, and a recorder that hooks entries of the
// call layer's table.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"

// What the hooks saw and what they answer; cleared by each test.
struct D3D9HookData
{
    std::vector<std::string> Calls;  // one line per hooked call
    std::vector<unsigned> Refused;   // formats CheckDeviceFormat refuses
    int FailDepthSurfaceFrom = 0;    // CreateDepthStencilSurface fails from this call on (1 = its first)
    int DepthSurfaces = 0;           // CreateDepthStencilSurface calls
    int DeviceNotResetAnswers = 0;   // TestCooperativeLevel answers D3DERR_DEVICENOTRESET this often
};
extern D3D9HookData D3D9Hooks;

// Hooks that record into D3D9Hooks and answer as it says, for the tests to put into D3D9Calls.
HRESULT RefusingCheckDeviceFormat(UINT Adapter, D3DDEVTYPE Type, D3DFORMAT AdapterFormat, DWORD Usage,
                                  D3DRESOURCETYPE ResourceType, D3DFORMAT Format);
HRESULT RecordingCreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                           DWORD Quality, BOOL Discard, IDirect3DSurface9 **Surface, HANDLE *Shared);
HRESULT LosingTestCooperativeLevel(void);

// The window-mode device at 640 x 480 x 32. Each test starts with the system's calls in the table
// and ends with the back end ended: nothing may be left of it.
class D3D9DeviceTest : public testing::Test
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;
    // The back end ended and checked to have left nothing.
    static void EndBackEnd();
    // For suites whose tests share one device: the system's calls back in the table, and the back
    // end ended after a test that failed, ended it or changed it (the next test starts it anew);
    // the suite's end ends it and the window.
    void KeepDeviceUnless(bool Changed);
    static void EndSharedDeviceSuite();
    // The size and format of a surface.
    static D3DSURFACE_DESC Describe(IDirect3DSurface9 *Surface);
};

// The back end started, registered with the dispatch layer (so that setters flush the batch through
// it) and its device state initialised; a 1 x 1 texture to bind where a test needs one. The device
// serves the suite's tests one after the other, each starting from a freshly initialised device
// state with the system's calls in the table; a test that failed, ended the back end or set
// DeviceChanged ends it, and the next starts it anew. The suite's end leaves nothing of it.
class D3D9DrawTest : public D3D9DeviceTest
{
protected:
    static void TearDownTestSuite() { EndSharedDeviceSuite(); }
    void SetUp() override;
    void TearDown() override;
    // Set by a test that started the back end again with settings of its own.
    bool DeviceChanged = false;
    // A 1 x 1 A8R8G8B8 texture, released with the test.
    IDirect3DTexture9 *MakeTexture();
    // A 640 x 480 render target's pixels read back in Format (X8R8G8B8: as 0x00RRGGBB); empty on failure.
    static std::vector<uint32_t> ReadTarget(IDirect3DSurface9 *Target, D3DFORMAT Format = D3DFMT_X8R8G8B8);
    // The batch drawn, then the back buffer cleared to Rgb (0x00RRGGBB) or read back.
    static void ClearBackBuffer(uint32_t Rgb = 0);
    static std::vector<uint32_t> BackBufferPixels();
    // The draw area, as the front end keeps it (whole pixels and floats).
    static void UseDrawArea(ImageRect Area);
    std::vector<IDirect3DTexture9 *> Textures;
};

// True when Text holds Piece.
inline bool Contains(const std::wstring &Text, const std::wstring &Piece)
{
    return Text.find(Piece) != std::wstring::npos;
}

// Every channel of every pixel within Tolerance; the first few that are not are reported.
void ExpectPixelsClose(const std::vector<uint32_t> &Got, const std::vector<uint32_t> &Want, int Tolerance = 2);

// Each pixel of the Width x Height top-left corner of a 640 x 480 picture is exactly Want(x, y),
// unless that is kAnyPixel; the first few that are not are reported.
constexpr uint32_t kAnyPixel = 0xFFFFFFFF;
void ExpectCorner(const std::vector<uint32_t> &Got, int Width, int Height,
                  const std::function<uint32_t(int X, int Y)> &Want);
