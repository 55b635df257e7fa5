// The mask screen on the Direct3D 9 device, driven through the mask module as its own operations
// drive it (the mask is made from bytes through the module's seam): drawing lands only where the
// mask byte is 0, a growing mask keeps its bytes and picture, a clear and a new draw screen keep
// drawing behind the mask, and a device without the formats refuses it. The mask image's texel
// layouts are checked as plain numbers.
#include "tests/zovuz/d3d9/d3d9_fixture.h"

#include "zovuz/d3d9/d3d9_internal.h"
#include "zovuz/d3d9/texture/d3d9_mask.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/graphics/graph/graph_internal.h"

namespace {

TEST(D3D9MaskBytes, EachAlphaFormatTakesTheBytesInItsAlphaByte)
{
    struct Case
    {
        unsigned Format;
        int PixelBytes, AlphaByte;  // 0: the format is not written
    };
    const Case cases[] = {{D3D9FMT_A8R8G8B8, 4, 3},
                          {D3D9FMT_A1R5G5B5, 2, 1},
                          {D3D9FMT_A4R4G4B4, 2, 1},
                          {D3D9FMT_X8R8G8B8, 0, 0},
                          {D3D9FMT_L8, 0, 0}};
    const uint8_t bytes[2][3] = {{0, 1, 255}, {128, 0, 7}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Format);
        std::vector<uint8_t> texels(2 * 16, 0x5A);  // two rows of 16 bytes
        D3D9WriteMaskAlpha(c.Format, texels.data(), 16, &bytes[0][0], 3, 3, 2);
        std::vector<uint8_t> want(2 * 16, 0x5A);
        for (int y = 0; c.PixelBytes > 0 && y < 2; ++y)
            for (int x = 0; x < 3; ++x) want[y * 16 + x * c.PixelBytes + c.AlphaByte] = bytes[y][x] ? 0xFF : 0;
        EXPECT_EQ(want, texels);
    }
}

constexpr uint32_t kWhite = 0xFFFFFF;

class D3D9Mask : public D3D9DrawTest
{
protected:
    void SetUp() override
    {
        D3D9DrawTest::SetUp();
        UseDrawArea(ImageRect{0, 0, 640, 480});
        GraphicsDrawSettings.DrawSizeX = 640, GraphicsDrawSettings.DrawSizeY = 480;
        GraphicsDrawSettings.RenderTarget[0] = DX_SCREEN_BACK;
        GraphicsState.HardwareInUseFlag = 1;
        Graphics_D3D9_UpdateDiffuseColor();
        ASSERT_EQ(0, InitializeMaskSystem());
        ClearBackBuffer();
    }
    void TearDown() override
    {
        TerminateMaskSystem();
        GraphicsState.HardwareInUseFlag = 0;
        GraphicsDrawSettings.RenderTarget[0] = 0;
        D3D9DrawTest::TearDown();
    }
};

// A blocked byte: a pattern that puts blocked and open pixels on every row and column of the box.
uint8_t Blocked(int X, int Y) { return (X / 3 + Y / 2) % 3 == 0 ? 1 : 0; }

TEST_F(D3D9Mask, DrawingLandsOnlyWhereTheMaskByteIs0)
{
    std::vector<uint8_t> bytes(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) bytes[y * 640 + x] = Blocked(x, y);
    ASSERT_EQ(0, CreateMaskScreenWithBytes(640, 480, bytes.data(), 640));
    ASSERT_EQ(0, SetUseMaskScreenFlag(1));
    ASSERT_EQ(0, DrawBox(20, 30, 90, 70, GetColorValue(255, 255, 255), TRUE));
    ASSERT_EQ(0, SetUseMaskScreenFlag(0));
    EXPECT_EQ(D3D9DeviceCapsInfo.BackBuffer, D3D9DeviceStateCache.RenderTarget[0]);
    ExpectCorner(BackBufferPixels(), 120, 100, [](int X, int Y) {
        return X >= 20 && X < 90 && Y >= 30 && Y < 70 && !Blocked(X, Y) ? kWhite : 0;
    });
    EXPECT_EQ(0, DeleteMaskScreen());
}

// A mask that grows while a masked draw is open keeps its bytes and the picture taken at the
// draw's start: the old part is written back where its bytes allow, unchanged.
TEST_F(D3D9Mask, AGrowingMaskKeepsItsBytesAndPicture)
{
    std::vector<uint8_t> bytes(100 * 80, 0);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 50; ++x) bytes[y * 100 + x] = 1;
    const uint32_t grey = 0x204060;  // not what a new mask screen holds
    ClearBackBuffer(grey);
    ASSERT_EQ(0, CreateMaskScreenWithBytes(100, 80, bytes.data(), 100));
    ASSERT_EQ(0, SetUseMaskScreenFlag(1));
    MaskDrawBegin(0, 0, 100, 80);
    ASSERT_EQ(0, CreateMaskScreen(1, 320, 240));
    MaskDrawEnd(0, 0, 100, 80);
    ExpectCorner(BackBufferPixels(), 120, 100, [&](int, int) { return grey; });
    ASSERT_EQ(0, DrawBox(0, 0, 320, 240, GetColorValue(255, 255, 255), TRUE));
    ASSERT_EQ(0, SetUseMaskScreenFlag(0));
    ExpectCorner(BackBufferPixels(), 340, 260,
                 [&](int X, int Y) { return X < 320 && Y < 240 && !(X < 50 && Y < 80) ? kWhite : grey; });
    EXPECT_EQ(0, DeleteMaskScreen());
}

// While a mask is in effect, a clear goes to the draw target itself, whole, and drawing goes on
// through the mask after it; the draw target set again stays behind the mask.
TEST_F(D3D9Mask, AClearAndANewDrawScreenKeepDrawingThroughTheMask)
{
    std::vector<uint8_t> bytes(640 * 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) bytes[y * 640 + x] = Blocked(x, y);
    ASSERT_EQ(0, CreateMaskScreenWithBytes(640, 480, bytes.data(), 640));
    ASSERT_EQ(0, SetUseMaskScreenFlag(1));
    D3D9Calls.Direct3DDevice9_SetRenderTarget = [](DWORD Index, IDirect3DSurface9 *Surface) {
        D3D9Hooks.Calls.push_back(Surface == D3D9DeviceCapsInfo.BackBuffer ? "target back buffer" : "target other");
        return D3D9SystemCalls.Direct3DDevice9_SetRenderTarget(Index, Surface);
    };
    D3D9Calls.Direct3DDevice9_Clear = [](DWORD Count, const D3DRECT *Rects, DWORD Flags, D3DCOLOR Color, float Z,
                                         DWORD Stencil) {
        D3D9Hooks.Calls.push_back("clear " + std::to_string(Flags));
        return D3D9SystemCalls.Direct3DDevice9_Clear(Count, Rects, Flags, Color, Z, Stencil);
    };
    GraphicsState.BackgroundRed = 0x20, GraphicsState.BackgroundGreen = 0x40, GraphicsState.BackgroundBlue = 0x60;
    ASSERT_EQ(0, Graphics_D3D9_ClearDrawScreen(nullptr));
    const std::vector<std::string> clear = {"target back buffer", "clear 1", "clear 2", "target other"};
    EXPECT_EQ(clear, D3D9Hooks.Calls);
    D3D9Calls = D3D9SystemCalls;
    ASSERT_EQ(0, Graphics_D3D9_SetDrawScreen(DX_SCREEN_BACK, 0, 0, nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(0, DrawBox(20, 30, 90, 70, GetColorValue(255, 255, 255), TRUE));
    ASSERT_EQ(0, SetUseMaskScreenFlag(0));
    ExpectCorner(BackBufferPixels(), 120, 100, [](int X, int Y) {
        return X >= 20 && X < 90 && Y >= 30 && Y < 70 && !Blocked(X, Y) ? kWhite : 0x204060;
    });
    EXPECT_EQ(0, DeleteMaskScreen());
}

TEST_F(D3D9Mask, ADeviceWithoutTheMaskFormatsRefusesIt)
{
    const struct
    {
        std::vector<int> Slots;
        const wchar_t *Line;
    } rows[] = {
        {{D3D9_FORMAT_SLOT_TARGET}, L"マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした"},
        {{D3D9_FORMAT_SLOT_ALPHA_RGB32, D3D9_FORMAT_SLOT_ALPHA_RGB16},
         L"マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした"}};
    const D3D9TextureFormatTableData table = D3D9TextureFormatTable;
    for (const auto &row : rows) {
        D3D9TextureFormatTable = table;
        for (int slot : row.Slots) D3D9TextureFormatTable.Format[slot] = 0;
        LogAppendReader log;
        EXPECT_EQ(-1, Graphics_D3D9_Mask_CreateScreen(8, 8));
        EXPECT_TRUE(Contains(log.Appended(), row.Line));
    }
    D3D9TextureFormatTable = table;
    EXPECT_EQ(0, Graphics_D3D9_Mask_ReleaseScreen());
}

}  // namespace
