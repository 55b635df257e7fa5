// The call layer's _ASync forms: from an asynchronous-load worker the call runs on the main thread
// with the worker's arguments and its result comes back; from any other thread it is refused.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include <atomic>
#include <functional>
#include <thread>

#include "tests/zovuz/core/handle/run_on_worker.h"
#include "zovuz/core/handle/async_load_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

class MainThreadCalls : public FakeD3D11Test
{
protected:
    static void SetUpTestSuite()
    {
        FakeD3D11Test::SetUpTestSuite();
        InitializeASyncLoad(GetCurrentThreadId());
        StartASyncLoadThreads(2);
    }
    static void TearDownTestSuite()
    {
        StopASyncLoadThreads();
        TerminateASyncLoad();
    }

    static int OnWorker(std::function<int()> Call) { return RunOnASyncWorker(std::move(Call)); }
};

struct WorkerCall
{
    const char *Name;
    std::function<int()> Call;
    int Result;
    const char *Recorded;  // the fake's line for the call, made on the main thread
};

TEST_F(MainThreadCalls, AWorkersCallRunsOnTheMainThread)
{
    ASSERT_EQ(0, StartDevice());
    const int textures = D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D);  // the swap chain's back buffer
    static D3D11_TEXTURE2D_DESC desc = {16,
                                        8,
                                        1,
                                        1,
                                        DXGI_FORMAT_R8G8B8A8_UNORM,
                                        {1, 0},
                                        D3D11_USAGE_DYNAMIC,
                                        D3D11_BIND_SHADER_RESOURCE,
                                        D3D11_CPU_ACCESS_WRITE,
                                        0};
    static ID3D11Texture2D *texture = nullptr;
    static D3D11_MAPPED_SUBRESOURCE mapped = {};
    const WorkerCall calls[] = {
        {"a creation", [] { return (int)D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &texture, 1); }, S_OK,
         "CreateTexture2D 16x8 fmt=28 bind=0x8 samples=1"},
        {"a float and a byte",
         [] { return D3D11DeviceContext_ClearDepthStencilView_ASync(nullptr, D3D11_CLEAR_DEPTH, 0.25f, 7, 1); }, 0,
         "ClearDepthStencilView null 1 0.25 7"},
        {"four floats",
         [] {
             const FLOAT color[4] = {0.5f, 0.25f, 1.0f, 0.0f};
             return D3D11DeviceContext_ClearRenderTargetView_ASync(nullptr, color, 1);
         },
         0, "ClearRenderTargetView null 0.5 0.25 1 0"},
        {"a map", [] { return (int)D3D11DeviceContext_Map_ASync(texture, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped, 1); },
         S_OK, "Map obj 0 4 0"},
        {"an unmap", [] { return D3D11DeviceContext_Unmap_ASync(texture, 0, 1); }, 0, "Unmap obj 0"},
        // The last reference goes: Release's result, 0, comes back.
        {"a release", [] { return D3D11Texture2D_Release_ASync(texture, 1); }, 0, nullptr},
    };
    for (const WorkerCall &c : calls) {
        SCOPED_TRACE(c.Name);
        size_t before = FakeD3D11.Calls.size();
        EXPECT_EQ(c.Result, OnWorker(c.Call));
        if (c.Recorded == nullptr) continue;
        ASSERT_EQ(before + 1, FakeD3D11.Calls.size());
        EXPECT_EQ(c.Recorded, FakeD3D11.Calls.back());
        EXPECT_EQ(GetCurrentThreadId(), FakeD3D11.CallThreads.back());
    }
    EXPECT_NE(nullptr, mapped.pData);
    EXPECT_EQ(textures, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
}

TEST_F(MainThreadCalls, AWorkersFlushAndConstantBufferAreMadeOnTheMainThread)
{
    ASSERT_EQ(0, StartDrawing());
    AddPendingVertices();
    FakeD3D11.Calls.clear();
    FakeD3D11.CallCount.clear();
    FakeD3D11.CallThreads.clear();
    EXPECT_EQ(0, OnWorker([] { return Graphics_D3D11_RenderVertexBuffer(1, 1); }));
    EXPECT_EQ(1, FakeD3D11Count("Draw"));
    EXPECT_EQ(1, D3D11Batch.Flag3D);

    D3D11ConstantBuffer *buffer = nullptr;
    EXPECT_EQ(0, OnWorker([&] {
                  buffer = Graphics_D3D11_CreateConstantBuffer(64, 1);
                  return 0;
              }));
    ASSERT_NE(nullptr, buffer);
    EXPECT_EQ(1, FakeD3D11Count("CreateBuffer"));
    for (DWORD thread : FakeD3D11.CallThreads) EXPECT_EQ(GetCurrentThreadId(), thread);
    Graphics_D3D11_DeleteConstantBuffer(buffer);
}

TEST_F(MainThreadCalls, AFailureComesBackToTheWorker)
{
    ASSERT_EQ(0, StartDevice());
    const int textures = D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D);
    FakeD3D11.Fail["CreateTexture2D"] = E_OUTOFMEMORY;
    D3D11_TEXTURE2D_DESC desc = {};
    ID3D11Texture2D *texture = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY,
              OnWorker([&] { return (int)D3D11Device_CreateTexture2D_ASync(&desc, nullptr, &texture, 1); }));
    EXPECT_EQ(textures, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
}

TEST_F(MainThreadCalls, AnyOtherThreadIsRefused)
{
    ASSERT_EQ(0, StartDevice());
    D3D11_BUFFER_DESC desc = {64, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
    ID3D11Buffer *buffer = nullptr;
    HRESULT result = S_OK;
    std::thread([&] { result = D3D11Device_CreateBuffer_ASync(&desc, nullptr, &buffer, 1); }).join();
    EXPECT_EQ(-1, result);
    EXPECT_EQ(0, FakeD3D11Count("CreateBuffer"));

    // The flag 0 is the plain call, on whatever thread.
    EXPECT_EQ(S_OK, D3D11Device_CreateBuffer_ASync(&desc, nullptr, &buffer, 0));
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_BUFFER));
    EXPECT_EQ(0, D3D11Buffer_Release(buffer));
}

}  // namespace
