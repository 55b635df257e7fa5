#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include <string.h>

#include <algorithm>

#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/device/windows/d3d11_device_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/device/windows/d3d11_swap_chain_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

void FakeD3D11Test::SetUp()
{
    ChangeWindowMode(1);
    D3D11CallLayer = D3D11CallLayerData();
    memset(&D3D11AdapterTable, 0, sizeof(D3D11AdapterTable));
    memset(&D3D11Screen, 0, sizeof(D3D11Screen));
    memset(&D3D11FormatTable, 0, sizeof(D3D11FormatTable));
    GraphicsDeviceCaps = GraphicsDeviceCapsData();
    GraphicsDeviceMode = GraphicsDeviceModeData();
    Graphics_D3D11_DeviceState_Clear();
    memset(&D3D11Buffers, 0, sizeof(D3D11Buffers));
    memset(&D3D11Batch, 0, sizeof(D3D11Batch));
    memset(&D3D11InputLayouts, 0, sizeof(D3D11InputLayouts));
    InstallFakeD3D11();
    log_.Mark();
}

void FakeD3D11Test::TearDown()
{
    Graphics_D3D11_ReleaseDevice();
    for (int type = 0; type < D3D11_OBJECT_TYPE_NUM; ++type)
        EXPECT_EQ(0, D3D11_GetObjectCount(type)) << "counted objects of type " << type << " left";
    EXPECT_EQ(0, FakeD3D11.LiveObjects) << "fake objects left";
    EXPECT_TRUE(FakeD3D11.LoadedModules.empty()) << "a DLL left loaded";
    RemoveFakeD3D11();
}

int StartD3D11Device()
{
    if (D3D11_LoadDLL() < 0 || DXGI_LoadDLL() < 0) return -1;
    return Graphics_D3D11_CreateDevice();
}

int StartD3D11DrawingState()
{
    if (Graphics_D3D11_Shader_Initialize() < 0 || Graphics_D3D11_CreateShaderConstantBuffers() < 0 ||
        Graphics_D3D11_CreateDepthBuffer() < 0 || Graphics_D3D11_CreateInputLayouts() < 0 ||
        Graphics_D3D11_CreateStandardVertexBuffer() < 0)
        return -1;
    return Graphics_D3D11_InitializeDeviceState();
}

int FakeD3D11Test::StartDevice() { return StartD3D11Device(); }

int FakeD3D11Test::StartDrawing() { return StartD3D11Device() < 0 ? -1 : StartD3D11DrawingState(); }

void FakeD3D11Test::AddPendingVertices(int Num)
{
    const unsigned char zeros[88 * 8] = {};
    ASSERT_EQ(0, Graphics_D3D11_AppendBatchVertices(zeros, Num, D3D11Batch.Topology));
}

std::vector<std::wstring> FakeD3D11Test::LogLines() const
{
    std::vector<std::wstring> lines;
    std::wstring text = log_.Appended();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        // "<ms>:<tabs>text"
        size_t colon = line.find(L':');
        if (colon != std::wstring::npos && colon > 0 &&
            std::all_of(line.begin(), line.begin() + colon, [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            line.erase(0, line.find_first_not_of(L'\t', colon + 1));
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool FakeD3D11Test::Logged(const std::wstring &Line) const
{
    std::vector<std::wstring> lines = LogLines();
    return std::find(lines.begin(), lines.end(), Line) != lines.end();
}

bool FakeD3D11Test::LoggedWithin(const std::wstring &Piece) const
{
    for (const std::wstring &line : LogLines())
        if (line.find(Piece) != std::wstring::npos) return true;
    return false;
}
