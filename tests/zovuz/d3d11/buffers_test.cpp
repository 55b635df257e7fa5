// The back end's buffers against the recording fake: the common buffers grow with room to spare
// and never shrink, constant-buffer records refuse sizes the device cannot take and send their
// copy only when it changed, a deleted record leaves no binding behind in the cache, and the
// standard set and the depth buffer are made with their log lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"

namespace {

class Buffers : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        ASSERT_EQ(0, StartDevice());
        FakeD3D11.Calls.clear();
        FakeD3D11.CallCount.clear();
    }
};

TEST_F(Buffers, CommonBuffersGrowWithRoomToSpare)
{
    const struct
    {
        int ask, size, creations;
    } steps[] = {{100, 16496, 1}, {16000, 16496, 1}, {16496, 16496, 1}, {16497, 32896, 2}};
    for (const auto &s : steps) {
        ASSERT_EQ(0, Graphics_D3D11_CreateCommonVertexBuffer(s.ask));
        EXPECT_EQ(s.size, D3D11Buffers.CommonVertexBufferSize) << s.ask;
        EXPECT_EQ(s.creations, FakeD3D11Count("CreateBuffer")) << s.ask;
    }
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_BUFFER));

    FakeD3D11.Fail["CreateBuffer"] = E_OUTOFMEMORY;
    EXPECT_EQ(-1, Graphics_D3D11_CreateCommonIndexBuffer(10));
    EXPECT_TRUE(Logged(L"汎用描画用のインデックスバッファの作成に失敗しました( サイズ 16400 byte )"));
    EXPECT_EQ(0, D3D11Buffers.CommonIndexBufferSize);
}

TEST_F(Buffers, ConstantBufferSizesTheDeviceCannotTakeAreRefused)
{
    const struct
    {
        int size;
        std::wstring line;
    } cases[] = {
        {72, L"定数バッファのサイズは１６の倍数である必要があります"},
        {0, L"定数バッファのサイズは１６の倍数である必要があります"},
        {65536 + 16, L"定数バッファのサイズが大きすぎます( 65552 byte )"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(nullptr, Graphics_D3D11_CreateConstantBuffer(c.size, 0)) << c.size;
        EXPECT_TRUE(Logged(c.line)) << c.size;
    }
    EXPECT_EQ(0, FakeD3D11Count("CreateBuffer"));

    FakeD3D11.Fail["CreateBuffer"] = E_OUTOFMEMORY;
    EXPECT_EQ(nullptr, Graphics_D3D11_CreateConstantBuffer(64, 0));
    EXPECT_TRUE(Logged(L"定数バッファ用の ID3D11Buffer の作成に失敗しました"));
    EXPECT_EQ(0, D3D11ConstantBufferList.Num);
}

TEST_F(Buffers, ADeletedBufferLeavesNoBindingInTheCache)
{
    D3D11ConstantBuffer *a = Graphics_D3D11_CreateConstantBuffer(96, 0);
    D3D11ConstantBuffer *b = Graphics_D3D11_CreateConstantBuffer(65536, 0);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(2, D3D11ConstantBufferList.Num);
    EXPECT_EQ((char *)a + sizeof(D3D11ConstantBuffer), (char *)a->SystemCopy);

    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetPSConstantBuffers(2, 1, &a));
    EXPECT_EQ(-1, Graphics_D3D11_DeviceState_SetPSConstantBuffers(13, 2, &a));
    EXPECT_EQ(a->Buffer, D3D11DeviceState.PSConstantBuffer[2]);
    Graphics_D3D11_DeleteConstantBuffer(a);
    EXPECT_EQ(nullptr, D3D11DeviceState.PSConstantBuffer[2]);
    EXPECT_EQ(1, D3D11ConstantBufferList.Num);
    EXPECT_EQ(b, D3D11ConstantBufferList.First);
    EXPECT_EQ(nullptr, b->Prev);

    // A new record at the slot is sent again (the cache no longer names the old buffer).
    ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetPSConstantBuffers(2, 1, &b));
    EXPECT_EQ(2, FakeD3D11Count("PSSetConstantBuffers"));
    Graphics_D3D11_DeleteConstantBuffer(b);
    EXPECT_EQ(0, D3D11ConstantBufferList.Num);
    EXPECT_EQ(nullptr, D3D11ConstantBufferList.First);
}

TEST_F(Buffers, AnUpdateSendsTheCopyOnlyWhenItDiffersFromWhatWasSent)
{
    D3D11ConstantBuffer *buffer = Graphics_D3D11_CreateConstantBuffer(32, 0);
    ASSERT_NE(nullptr, buffer);
    float *copy = (float *)buffer->SystemCopy;
    const struct
    {
        const char *name;
        int index;  // the float written, -1 none
        float value;
        int forget;  // the device's contents taken as unknown, as a resend does
        int sends;
    } steps[] = {
        {"the first update sends even zeros", 0, 0.0f, 0, 1},
        {"the same value again sends nothing", 0, 0.0f, 0, 0},
        {"a new value is sent", 7, 2.5f, 0, 1},
        {"written back to what was sent: nothing", 7, 2.5f, 0, 0},
        {"unknown contents are sent again", -1, 0.0f, 1, 1},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        FakeD3D11.CallCount.clear();
        if (s.index >= 0) copy[s.index] = s.value;
        buffer->Dirty = 1;
        if (s.forget) buffer->SentFlag = 0;
        ASSERT_EQ(0, Graphics_D3D11_ConstantBuffer_Update(buffer));
        EXPECT_EQ(s.sends, FakeD3D11Count("UpdateSubresource"));
        EXPECT_EQ(0u, buffer->Dirty);
    }
    Graphics_D3D11_DeleteConstantBuffer(buffer);
}

TEST_F(Buffers, TheStandardSetAndTheDepthBufferAreMadeWithTheirLines)
{
    ASSERT_EQ(0, Graphics_D3D11_CreateShaderConstantBuffers());
    EXPECT_TRUE(Logged(L"各種シェーダー用定数バッファの作成.... 成功"));
    std::vector<std::string> made = FakeD3D11CallsStartingWith("CreateBuffer");
    ASSERT_EQ(7u, made.size());
    EXPECT_EQ("CreateBuffer bytes=2592 bind=0x4 usage=0", made[3]);

    // A failure in the middle: the line, and none of the set left.
    ASSERT_EQ(0, Graphics_D3D11_ReleaseShaderConstantBuffers());
    FakeD3D11.Fail["CreateBuffer"] = E_OUTOFMEMORY;
    FakeD3D11.FailFrom["CreateBuffer"] = 12;
    EXPECT_EQ(-1, Graphics_D3D11_CreateShaderConstantBuffers());
    EXPECT_TRUE(LoggedWithin(L"定数バッファ用の ID3D11Buffer の作成に失敗しました"));
    EXPECT_TRUE(Logged(L"失敗"));
    EXPECT_EQ(0, D3D11ConstantBufferList.Num);
    EXPECT_EQ(0, D3D11_GetObjectCount(D3D11_OBJECT_BUFFER));
    FakeD3D11.Fail.clear();

    // The depth buffer: 16 bits at the screen size, multisampled with the screen.
    const struct
    {
        int samples;
        const char *texture;
    } cases[] = {{1, "samples=1"}, {4, "samples=4"}};
    for (const auto &c : cases) {
        GraphicsDeviceMode.MultiSampleCount = c.samples;
        ASSERT_EQ(0, Graphics_D3D11_CreateDepthBuffer());
        EXPECT_TRUE(Logged(L"深度バッファを作成します.... 成功"));
        EXPECT_NE(std::string::npos, FakeD3D11CallsStartingWith("CreateTexture2D").back().find(c.texture));
        EXPECT_EQ(D3D11Buffers.DepthBufferDSV, D3D11DeviceState.DepthStencilView);
        EXPECT_EQ(16, D3D11Buffers.DepthBufferBitDepth);
        EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_DEPTH_STENCIL_VIEW));
    }
    GraphicsDeviceMode.MultiSampleCount = 0;
}

}  // namespace
