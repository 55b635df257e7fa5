// Device creation against the fake: the adapter table, the limits each feature level gives, the
// DXGI format chosen for each of the library's formats by what the device supports, and their log
// lines.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include "zovuz/d3d11/shader/d3d11_3d_shader_choice.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/device/windows/d3d11_device_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"

#include <map>

namespace {

class DeviceCaps : public FakeD3D11Test
{
};

struct LevelRow
{
    int Level;
    int MaxTexture, RenderTargets, MaxPrimitives, VertexColorBGRA, PixelLighting;
};

TEST_F(DeviceCaps, EachFeatureLevelGivesItsLimits)
{
    const LevelRow rows[] = {
        {0x9100, 2048, 1, 65535, 0, 0},       {0x9200, 2048, 1, 0xFFFFF, 0, 0},    {0x9300, 4096, 4, 0xFFFFF, 0, 0},
        {0xA000, 8192, 8, 0x7FFFFFFF, 1, 1},  {0xA100, 8192, 8, 0x7FFFFFFF, 1, 1}, {0xB000, 16384, 8, 0x7FFFFFFF, 1, 1},
        {0xB100, 16384, 8, 0x7FFFFFFF, 1, 1},
    };
    for (const LevelRow &row : rows) {
        SCOPED_TRACE(row.Level);
        Restart();
        D3D11CallLayer.Settings.MinFeatureLevel = 0x9100;  // every level may be granted
        FakeD3D11.MaxFeatureLevel = row.Level;
        D3D11DeviceState.DrawStateDirtyFlag = 0;
        ASSERT_EQ(0, StartDevice());
        EXPECT_EQ(1, D3D11DeviceState.DrawStateDirtyFlag) << "the next draw must prepare for the new device";
        const GraphicsDeviceCapsData &c = GraphicsDeviceCaps;
        EXPECT_EQ(row.Level, D3D11_GetFeatureLevel());
        EXPECT_EQ(row.MaxTexture, c.MaxTextureWidth);
        EXPECT_EQ(row.MaxTexture, c.MaxTextureHeight);
        EXPECT_EQ(row.MaxTexture, c.MaxTextureSize);
        EXPECT_EQ(row.RenderTargets, c.RenderTargetNum);
        EXPECT_EQ(row.MaxPrimitives, c.MaxPrimitiveCount);
        EXPECT_EQ(row.VertexColorBGRA, c.VertexColorBGRAFlag);
        EXPECT_EQ(row.PixelLighting, D3D11ThreeDShaderSettings.PixelLightingFlag);
        EXPECT_EQ(1, c.LimitsFilledFlag);
        EXPECT_EQ(1, c.SubtractiveBlendFlag);
        EXPECT_EQ(1, c.PixelCenterNoOffsetFlag);
        EXPECT_EQ(65535, c.MaxVertexIndex);
    }
}

TEST_F(DeviceCaps, AnUnknownLevelKeepsThePreviousLimits)
{
    Graphics_D3D11_SetupDeviceCaps(0xA000);
    GraphicsDeviceCaps.MaxTextureHeight = 4096;  // as if a device had reported less
    Graphics_D3D11_SetupDeviceCaps(0xC100);
    EXPECT_EQ(8192, GraphicsDeviceCaps.MaxTextureWidth);
    EXPECT_EQ(4096, GraphicsDeviceCaps.MaxTextureHeight);
    EXPECT_EQ(4096, GraphicsDeviceCaps.MaxTextureSize);  // still the smaller side
    EXPECT_EQ(8, GraphicsDeviceCaps.RenderTargetNum);
}

// One device's format support and what the table and the log must show for it.
struct FormatCase
{
    const char *Name;
    std::map<int, UINT> Support;         // formats the device reports differently from "everything"
    int ScreenDepth;                     // 16 or 32
    std::map<int, int> Slots;            // slot -> DXGI format
    int Depth[3][2];                     // texture and view format of the 16, 24 and 32-bit depth entries
    std::vector<std::wstring> LogLines;  // each must be in the log
};

const UINT T = D3D11_SUPPORT_TEXTURE2D, RT = D3D11_SUPPORT_RENDER_TARGET, DS = D3D11_SUPPORT_DEPTH_STENCIL;

TEST_F(DeviceCaps, FormatsFollowTheirFallBackChains)
{
    const FormatCase cases[] = {
        {"a device with every format",
         {},
         32,
         {{0, 28},  {7, 28},  {11, 28}, {12, 71}, {13, 28}, {14, 74}, {15, 28}, {16, 77}, {17, 0},  {21, 0},  {22, 11},
          {25, 61}, {28, 41}, {31, 34}, {33, 85}, {34, 88}, {35, 28}, {38, 2},  {42, 41}, {46, 16}, {47, 88}, {48, 61}},
         {{55, 55}, {44, 45}, {39, 40}},
         {L"24bit Zバッファフォーマットは DXGI_FORMAT_D24_UNORM_S8_UINT です",
          L"ＤＸＴ１テクスチャフォーマットは DXGI_FORMAT_BC1_UNORM です",
          L"１チャンネル浮動小数点 32 ビット型カラーフォーマットは DXGI_FORMAT_R32_FLOAT です",
          L"描画用 32bit カラーフォーマットは DXGI_FORMAT_B8G8R8X8_UNORM です"}},
        {"without BC1, D24 and D32",
         {{71, 0}, {45, T}, {40, 0}},
         32,
         {{12, 28}, {14, 74}},
         {{55, 55}, {55, 55}, {55, 55}},
         {L"ＤＸＴ１テクスチャフォーマットは使えません", L"24bit Zバッファフォーマットは DXGI_FORMAT_D16_UNORM です",
          L"32bit Zバッファフォーマットは DXGI_FORMAT_D16_UNORM です"}},
        {"a 16-bit screen", {}, 16, {{47, 85}}, {{55, 55}, {44, 45}, {39, 40}}, {}},
        {"a 16-bit screen without B5G6R5", {{85, 0}}, 16, {{33, 88}, {47, 88}}, {{55, 55}, {44, 45}, {39, 40}}, {}},
        {"a 16-bit screen where B8G8R8X8 only renders",
         {{85, 0}, {88, RT}},
         16,
         {{33, 88}, {47, 88}},  // render-target support alone serves a draw-screen format
         {{55, 55}, {44, 45}, {39, 40}},
         {}},
        {"a 16-bit screen with only R8G8B8A8",
         {{85, 0}, {88, 0}},
         16,
         {{33, 28}, {34, 28}, {47, 28}},
         {{55, 55}, {44, 45}, {39, 40}},
         {}},
        {"channel formats the device lacks",
         {{56, 0}, {35, T}, {11, RT}, {61, T}, {49, T | RT}, {2, 0}},
         32,
         // 26 needs a texture: 35; 40 needs both: none of 56, 35, 11 has them; 39 takes 49; 24 falls to 10.
         {{26, 35}, {40, 0}, {25, 61}, {39, 49}, {24, 10}, {38, 10}, {22, 0}, {36, 0}},
         {{55, 55}, {44, 45}, {39, 40}},
         {L"１チャンネル整数 16 ビット型カラーフォーマットは DXGI_FORMAT_R16G16_UNORM です",
          L"使用できる描画用１チャンネル整数 16 ビット型カラーフォーマットがありませんでした",
          L"使用できる ABGR 整数 16 ビット型カラーフォーマットがありませんでした\\n"}},
    };
    for (const FormatCase &c : cases) {
        SCOPED_TRACE(c.Name);
        Restart();
        ASSERT_EQ(0, SetGraphMode(640, 480, c.ScreenDepth, 60));
        FakeD3D11.FormatSupport = c.Support;
        ASSERT_EQ(0, StartDevice());
        for (const auto &slot : c.Slots)
            EXPECT_EQ(slot.second, D3D11FormatTable.Format[slot.first]) << "slot " << slot.first;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(c.Depth[i][0], D3D11FormatTable.DepthTexture[i]) << "depth " << i;
            EXPECT_EQ(c.Depth[i][1], D3D11FormatTable.DepthView[i]) << "depth " << i;
        }
        for (const std::wstring &line : c.LogLines) EXPECT_TRUE(Logged(line)) << "missing log line";
    }
}

TEST_F(DeviceCaps, ADeviceWithoutR8G8B8A8TexturesIsRefused)
{
    FakeD3D11.FormatSupport = {{28, RT | DS}};
    EXPECT_EQ(-1, StartDevice());
    EXPECT_TRUE(Logged(L"使用できるカラーフォーマットが見つかりませんでした"));
    EXPECT_EQ(0, D3D11FormatTable.Format[PIXEL_FORMAT_RGB32]);
}

TEST_F(DeviceCaps, TheDeviceReportsItselfInTheLog)
{
    ASSERT_EQ(0, StartDevice());
    EXPECT_TRUE(Logged(L"Graphics Device:Fake adapter 0"));
    EXPECT_TRUE(Logged(L"画面のフォーマットは DXGI_FORMAT_R8G8B8A8_UNORM です"));
    EXPECT_TRUE(Logged(L"使用する機能レベル:D3D_FEATURE_LEVEL_11_1"));
    EXPECT_TRUE(Logged(L"同時にレンダリングできるバッファの数:8"));
    EXPECT_TRUE(Logged(L"最大テクスチャサイズ　幅:16384 高さ:16384"));
    EXPECT_EQ(1, Graphics_D3D11_IsDeviceValid());
    // The transfer formats' pixel layouts: the screen format's, and none for a block format.
    const COLORDATA *screen = Graphics_D3D11_GetFormatColorData(D3D11FormatTable.ScreenFormat);
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(0xFFu, screen->RedMask);
    EXPECT_EQ(nullptr, Graphics_D3D11_GetFormatColorData(D3D11FormatTable.Format[PIXEL_FORMAT_BLOCK_FIRST]));
}

TEST_F(DeviceCaps, TheDispatchLayerReachesTheBackEndThroughItsTable)
{
    ASSERT_EQ(0, RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions()));
    GraphicsAPIType = GRAPHICS_API_D3D11;
    ASSERT_EQ(0, StartDevice());
    EXPECT_EQ(1, Graphics_Hardware_IsDeviceValid());
    EXPECT_EQ(0, Graphics_Hardware_Terminate());
    EXPECT_EQ(0, Graphics_Hardware_IsDeviceValid());
    EXPECT_EQ(0, FakeD3D11.LiveObjects);
    EXPECT_TRUE(FakeD3D11.LoadedModules.empty());
    GraphicsAPIType = GRAPHICS_API_SOFTWARE;
    RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
}

TEST_F(DeviceCaps, TheAdapterTableHoldsSixteenAdaptersOfThirtyTwoOutputs)
{
    FakeD3D11.AdapterNum = 17;
    FakeD3D11.OutputNum = 33;
    // Before the back end starts: DXGI is loaded and a factory made for the reading alone.
    ASSERT_EQ(0, Graphics_D3D11_EnumAdapters());
    EXPECT_EQ(16, D3D11AdapterTable.AdapterNum);
    for (int i = 0; i < D3D11AdapterTable.AdapterNum; ++i) EXPECT_EQ(32, D3D11AdapterTable.Adapter[i].OutputNum);
    EXPECT_EQ(1920, D3D11AdapterTable.Adapter[15].Output[31].DesktopCoordinates.right);
    EXPECT_TRUE(FakeD3D11.LoadedModules.empty());
    EXPECT_EQ(0, DXGIFactory_IsValid());
    EXPECT_EQ(0, FakeD3D11.LiveObjects);

    // Read once per process.
    ASSERT_EQ(0, StartDevice());
    EXPECT_EQ(17, FakeD3D11Count("EnumAdapters"));  // the table's 16, then adapter 0 for the device
}

}  // namespace
