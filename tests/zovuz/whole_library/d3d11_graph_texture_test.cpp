// Graphs on Direct3D 11 under Wine, read back through the draw-screen lock: what goes in (a PNG,
// an image wider than a texture, a multisampled target, fills and copies, an asynchronous load)
// comes out exactly.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <vector>

#include "tests/support/test_files.h"
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "tests/zovuz/whole_library/d3d11_library_fixture.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_texture_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_read_back_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/graph/graph_load_internal.h"
#include "zovuz/startup/startup_internal.h"

namespace {

// Pattern's rectangle as an opaque image goes into a texture with alpha: opaque, but for the
// transparent colour.
std::vector<uint32_t> Want(ImageRect Rect, uint32_t (*Pattern)(int, int))
{
    int r, g, b;
    GetTransColor(&r, &g, &b);
    const uint32_t key = (uint32_t)(r << 16 | g << 8 | b);
    std::vector<uint32_t> out;
    for (int y = Rect.top; y < Rect.bottom; y++)
        for (int x = Rect.left; x < Rect.right; x++) {
            const uint32_t color = Pattern(x, y) & 0xFFFFFF;
            out.push_back(color == key ? color : color | 0xFF000000u);
        }
    return out;
}

// A whole level of a texture as its raw bytes, rows packed, through a staging copy.
std::vector<uint8_t> RawLevel(ID3D11Texture2D *Texture, int RowBytes, int Rows)
{
    D3D11_TEXTURE2D_DESC desc = {};
    D3D11Texture2D_GetDesc(Texture, &desc);
    desc.MipLevels = 1;
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    ID3D11Texture2D *staging = nullptr;
    std::vector<uint8_t> out;
    if (D3D11Device_CreateTexture2D(&desc, nullptr, &staging) != S_OK) return out;
    D3D11DeviceContext_CopyResource(staging, Texture);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (D3D11DeviceContext_Map(staging, 0, D3D11_MAP_READ, 0, &mapped) == S_OK) {
        for (int y = 0; y < Rows; y++) {
            const uint8_t *row = (const uint8_t *)mapped.pData + (size_t)y * mapped.RowPitch;
            out.insert(out.end(), row, row + RowBytes);
        }
        D3D11DeviceContext_Unmap_ASync(staging, 0, 0);
    }
    D3D11Texture2D_Release(staging);
    return out;
}

uint32_t Rgba(int X, int Y) { return (uint32_t)(X * 37 + Y * 11) << 24 | PatternA(X, Y); }

// The library is started once for all of these tests; each begins drawing on the back screen.
class D3D11Graphs : public D3D11LibraryTest
{
protected:
    static void SetUpTestSuite()
    {
        if (!D3D11Disabled()) StartOnD3D11("d3d11 graphs");
    }
    static void TearDownTestSuite() { EndLibrary(); }
    void SetUp() override
    {
        if (D3D11Disabled()) GTEST_SKIP() << "d3d11.dll is switched off in this run";
        ASSERT_EQ(1, IsLibraryStarted());
        ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    }
    void TearDown() override {}
    static int MakePatternGraph(int Width, int Height)
    {
        TestImage image = MakeTestImage(Width, Height, PatternA);
        return CreateGraphFromBaseImage(&image.Image, nullptr, 1);
    }
};

TEST_F(D3D11Graphs, APngEqualsItsPixels)
{
    PngSpec png;
    png.Width = 100;
    png.Height = 60;
    png.ColorType = 6;
    std::vector<uint32_t> want;
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 100; x++) want.push_back(Rgba(x, y));
    for (uint32_t v : want)
        png.Rows.insert(png.Rows.end(), {(uint8_t)(v >> 16), (uint8_t)(v >> 8), (uint8_t)v, (uint8_t)(v >> 24)});
    ASSERT_TRUE(WriteFileBytes(L"pattern.png", EncodePng(png)));
    const int graph = LoadGraph("pattern.png", 0);
    ASSERT_GE(graph, 0);
    EXPECT_EQ(want, ReadRect(graph, {0, 0, 100, 60}));

    // Loaded as a job on a loader thread, the same graph.
    SetUseASyncLoadFlag(1);
    const int async = LoadGraph("pattern.png", 0);
    SetUseASyncLoadFlag(0);
    ASSERT_GE(async, 0);
    WaitHandleASyncLoad(async);
    EXPECT_EQ(want, ReadRect(async, {0, 0, 100, 60}));
}

TEST_F(D3D11Graphs, AnImageWiderThanATextureSplitsIntoPieces)
{
    const struct
    {
        int maxSize, width;
    } cases[] = {{0, 17000}, {8192, 9000}};
    for (const auto &c : cases) {
        const int saved = GraphicsDeviceCaps.MaxTextureSize;
        if (c.maxSize != 0) GraphicsDeviceCaps.MaxTextureSize = c.maxSize;
        const int graph = MakePatternGraph(c.width, 4);
        GraphicsDeviceCaps.MaxTextureSize = saved;
        ASSERT_GE(graph, 0) << c.width;
        GraphHandleData *record = GetGraphEntry(graph, 0);
        ASSERT_GE(record->Image->TextureNum, 2) << c.width;
        for (int i = 0; i < record->Image->TextureNum; i++) {
            const GraphTextureEntry &piece = record->Image->Texture[i];
            EXPECT_LE(piece.TexWidth, c.maxSize != 0 ? c.maxSize : 16384);
            const ImageRect rect = {piece.X, 0, piece.X + piece.Width, 4};
            EXPECT_EQ(Want(rect, PatternA), ReadRect(graph, rect, i)) << c.width << " piece " << i;
        }
        DeleteGraph(graph);
    }
}

TEST_F(D3D11Graphs, FillsAndCopiesGiveExactPixels)
{
    SetDrawValidGraphCreateFlag(1);
    const int target = MakeGraph(64, 32, 0);
    SetDrawValidGraphCreateFlag(0);
    const int plain = MakePatternGraph(64, 32);
    ASSERT_GE(target, 0);
    ASSERT_GE(plain, 0);

    ASSERT_EQ(0, FillGraph(target, 10, 200, 30, 255));
    EXPECT_EQ(std::vector<uint32_t>(64 * 32, 0xFF0AC81Eu), ReadRect(target, {0, 0, 64, 32}));
    const std::vector<uint32_t> before = ReadRect(plain, {0, 0, 64, 32});
    EXPECT_EQ(2, Graphics_D3D11_FillGraph(GetGraphEntry(plain, 0), 1, 2, 3, 4));
    EXPECT_EQ(before, ReadRect(plain, {0, 0, 64, 32}));

    // A copy onto a render target is drawn; onto a plain graph it goes through the lock.
    const int source = MakePatternGraph(64, 32);
    for (int dest : {target, plain}) {
        ASSERT_EQ(0, BltRectGraphToGraph(source, 0, 0, 8, 4, 40, 20, 16, 10, dest)) << dest;
        EXPECT_EQ(Want({8, 4, 40, 20}, PatternA), ReadRect(dest, {16, 10, 48, 26})) << dest;
    }
}

TEST_F(D3D11Graphs, ATextureLargerThanItsImageRepeatsTheImagesEdges)
{
    GraphicsDeviceCaps.PowerOfTwoTextureOnly = 1;
    const int graph = MakePatternGraph(100, 60);
    GraphicsDeviceCaps.PowerOfTwoTextureOnly = 0;
    ASSERT_GE(graph, 0);
    const GraphTextureEntry &piece = GetGraphEntry(graph, 0)->Image->Texture[0];
    ASSERT_EQ(128, piece.TexWidth);
    ASSERT_EQ(64, piece.TexHeight);
    BASEIMAGE level;
    ID3D11Texture2D *staging = nullptr;
    ASSERT_EQ(0, Graphics_D3D11_CreateReadBackTexture(D3D11GraphObjects(piece)->Texture, 0,
                                                      0, nullptr, &level, &staging));
    const std::vector<uint32_t> texture = UnpackPixels(level);
    D3D11DeviceContext_Unmap_ASync(staging, 0, 0);
    D3D11Texture2D_Release(staging);
    const std::vector<uint32_t> image = Want({0, 0, 100, 60}, PatternA);
    for (int y = 0; y <= 60; y++)
        for (int x = 0; x <= 100; x++)
            EXPECT_EQ(image[(y < 60 ? y : 59) * 100 + (x < 100 ? x : 99)], texture[y * 128 + x]) << x << "," << y;
}

TEST_F(D3D11Graphs, BlocksAndMipLevelsGoInAsTheGraphicsLayerMakesThem)
{
    // A DXT1 image goes into a BC1 texture block for block, so that it shows what the graphics
    // layer's decoder makes of it.
    std::vector<uint8_t> blocks(256 / 4 * 256 / 4 * 8);
    for (size_t i = 0; i < blocks.size(); i++) blocks[i] = (uint8_t)(i * 2654435761u >> 13);
    BASEIMAGE dxt = {};
    CreateARGB8ColorData(&dxt.ColorData);
    dxt.ColorData.Format = COLORDATA_FORMAT_DXT1;
    dxt.ColorData.BitDepth = 4;
    dxt.Width = dxt.Height = 256;
    dxt.Pixels = blocks.data();
    const int graph = CreateGraphFromBaseImage(&dxt, nullptr, 1);
    ASSERT_GE(graph, 0);
    const GraphImageRecord *record = GetGraphEntry(graph, 0)->Image;
    ASSERT_EQ(D3D11FMT_BC1_UNORM, D3D11FormatTable.Format[record->PixelFormat]);
    EXPECT_EQ(blocks, RawLevel(D3D11GraphObjects(record->Texture[0])->Texture, 64 * 8, 64));

    // Generated levels: level 2 of 256 x 256 is level 0 halved twice.
    GraphCreateParam param;
    InitLoadGraphParam(&param, 32, 0, 0);
    param.MipLevels = -1;
    TestImage pattern = MakeTestImage(256, 256, PatternA);
    const int mipped = CreateGraphFromBaseImageParam(&param, &pattern.Image, nullptr, 1);
    ASSERT_GE(mipped, 0);
    BASEIMAGE level0;
    const ImageRect whole = {0, 0, 256, 256};
    ASSERT_EQ(0, LockDrawScreenBuffer(&whole, &level0, mipped, 0, 0, 1, 0));
    std::vector<uint8_t> work((size_t)256 * 256 * 4);
    for (int y = 0; y < 256; y++)
        memcpy(work.data() + y * 1024, (const uint8_t *)level0.Pixels + y * level0.Pitch, 1024);
    const COLORDATA color = level0.ColorData;
    UnlockDrawScreenBuffer();
    ASSERT_EQ(0, ShrinkImageHalf(&color, work.data(), 1024, work.data(), 1024, 0, 0, 0, 0, 256, 256));
    ASSERT_EQ(0, ShrinkImageHalf(&color, work.data(), 1024, work.data(), 1024, 0, 0, 0, 0, 128, 128));
    BASEIMAGE halved = level0;
    halved.Width = halved.Height = 64;
    halved.Pitch = 1024;
    halved.Pixels = work.data();
    const std::vector<uint32_t> want = UnpackPixels(halved);
    EXPECT_EQ(want, ReadRect(mipped, {0, 0, 64, 64}, 0, 2));
}

// A multisampled graph is drawn into its multisampled texture: the lock reads it resolved, and
// leaving it as the draw screen resolves it into the texture that is sampled.
TEST_F(D3D11Graphs, AMultisampledTargetIsResolvedForTheLockAndWhenTheTargetMovesOn)
{
    const int graph = MakeMultisampledGraph(32, 16);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(0, FillGraph(graph, 255, 128, 0, 255));
    EXPECT_EQ(std::vector<uint32_t>(32 * 16, 0xFFFF8000u), ReadRect(graph, {0, 0, 32, 16}));

    ASSERT_EQ(0, SetDrawScreen(graph));
    SetBackgroundColor(0, 128, 255);
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    SetBackgroundColor(24, 48, 96);
    ASSERT_EQ(0, ClearDrawScreen(nullptr));
    ASSERT_EQ(0, DrawGraph(10, 10, graph, FALSE));
    EXPECT_EQ(std::vector<uint32_t>(32 * 16, 0x0080FF), ReadRgb(DX_SCREEN_BACK, 10, 10, 32, 16));
}

}  // namespace
