// The call layer's seam and its _ASync forms: every wrapper goes through the table a test hooks;
// a worker's call runs on the main thread and its result comes back; any other thread is refused.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "tests/zovuz/core/handle/run_on_worker.h"
#include "zovuz/core/handle/async_load_internal.h"
#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

namespace {

// What the hooks saw: the threads they ran on.
std::vector<DWORD> HookThreads;

HRESULT HookedColorFill(IDirect3DSurface9 *, const RECT *, D3DCOLOR Color)
{
    HookThreads.push_back(GetCurrentThreadId());
    return (HRESULT)Color;  // the colour comes back as the result, to prove the arguments travelled
}

HRESULT HookedCreateVertexBuffer(UINT Length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9 **Buffer, HANDLE *Shared)
{
    HookThreads.push_back(GetCurrentThreadId());
    *Buffer = nullptr;
    return Length == 64 && Shared == nullptr ? D3D_OK : E_FAIL;
}

class D3D9MainThreadCalls : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        InitializeASyncLoad(GetCurrentThreadId());
        StartASyncLoadThreads(2);
    }
    static void TearDownTestSuite()
    {
        StopASyncLoadThreads();
        TerminateASyncLoad();
    }
    void SetUp() override
    {
        D3D9Calls = D3D9SystemCalls;
        D3D9Calls.Direct3DDevice9_ColorFill = HookedColorFill;
        D3D9Calls.Direct3DDevice9_CreateVertexBuffer = HookedCreateVertexBuffer;
        HookThreads.clear();
    }
    void TearDown() override { D3D9Calls = D3D9SystemCalls; }

    static int OnWorker(std::function<int()> Call) { return RunOnASyncWorker(std::move(Call)); }
};

TEST_F(D3D9MainThreadCalls, AWorkersCallRunsOnTheMainThreadAndItsResultComesBack)
{
    // The buffer creation asks whether a device exists; the hooks never touch this stand-in.
    int standIn = 0;
    D3D9CallLayer.Device = (IDirect3DDevice9 *)&standIn;
    EXPECT_EQ(0x123456, OnWorker([] { return (int)Direct3DDevice9_ColorFill_ASync(nullptr, nullptr, 0x123456, 1); }));
    EXPECT_EQ(0, OnWorker([] {
                  IDirect3DVertexBuffer9 *buffer = nullptr;
                  return Direct3DDevice9_CreateVertexBuffer_ASync(64, 0, 0, D3DPOOL_DEFAULT, &buffer, 1);
              }));
    D3D9CallLayer.Device = nullptr;
    ASSERT_EQ(2u, HookThreads.size());
    for (DWORD thread : HookThreads) EXPECT_EQ(GetCurrentThreadId(), thread);
}

TEST_F(D3D9MainThreadCalls, AnyOtherThreadIsRefusedAndTheFlagZeroIsThePlainCall)
{
    HRESULT result = S_OK;
    std::thread([&] { result = Direct3DDevice9_ColorFill_ASync(nullptr, nullptr, 7, 1); }).join();
    EXPECT_EQ(-1, result);
    EXPECT_TRUE(HookThreads.empty());
    EXPECT_EQ(7, Direct3DDevice9_ColorFill_ASync(nullptr, nullptr, 7, 0));
    // Without a device the buffer creation refuses before it calls anything.
    IDirect3DVertexBuffer9 *buffer = nullptr;
    EXPECT_EQ(-1, Direct3DDevice9_CreateVertexBuffer_ASync(64, 0, 0, D3DPOOL_DEFAULT, &buffer, 0));
    EXPECT_EQ(1u, HookThreads.size());
}

TEST(D3D9CallLayer, WithoutTheirObjectTheWrappersCallNothing)
{
    D3D9Calls = D3D9SystemCalls;
    ASSERT_EQ(0, Direct3DDevice9_IsValid());
    EXPECT_EQ(D3DERR_INVALIDCALL, Direct3DDevice9_Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, Direct3DSurface9_UnlockRect(nullptr));
    EXPECT_EQ(0u, Direct3D9_ReleaseObject(nullptr));
    EXPECT_EQ(nullptr, Direct3D9_GetAdapterMonitor(0));
    EXPECT_EQ(0, Direct3D9_Release());
    EXPECT_EQ(0, Direct3DDevice9_ReleaseDevice());
}

}  // namespace
