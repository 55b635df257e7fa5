// Graph handles: texture tiling, derived graphs, shared image records, deletion, transfers into
// graphs and the restore from kept sources, on the software renderer and on a recording back end.
#include "tests/zovuz/graphics/graphics_start_fixture.h"
#include "tests/zovuz/graphics/hardware_fixture.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "zovuz/core/handle/async_load_internal.h"
#include "zovuz/core/library_state_internal.h"

#include <windows.h>

namespace {

TEST(TexturePieces, SidesAreCutByTheDevicesLimits)
{
    struct Case
    {
        const char *Name;
        int PowerOfTwo, Conditional, DeviceMax, Size, BlockCompressed;
        std::vector<int> Pieces;
    } cases[] = {
        {"any size fits", 0, 0, 4096, 960, 0, {960}},
        {"power of two rounds up", 1, 0, 4096, 960, 0, {1024}},
        {"a power of two stays", 1, 0, 4096, 512, 0, {512}},
        {"conditional allowance", 1, 1, 4096, 960, 0, {960}},
        {"past the maximum: the 392 rest doubles to 1024", 1, 0, 4096, 5000, 0, {4096, 1024}},
        {"past the maximum on any device", 0, 0, 4096, 5000, 0, {4096, 1024}},
        {"a rest of exactly three quarters does not double", 1, 0, 4096, 4992, 0, {4096, 512, 256, 128}},
        {"exactly the maximum", 1, 0, 4096, 4096, 0, {4096}},
        {"twice the maximum", 1, 0, 4096, 8000, 0, {4096, 4096}},
        {"no device maximum: 256", 1, 0, 0, 300, 0, {256, 32, 8, 4}},
        {"block compressed: whole blocks", 0, 0, 4096, 30, 1, {32}},
        {"block compressed: at least a block", 1, 0, 4096, 3, 1, {4}},
        {"two equal last pieces merge", 1, 0, 4096, 4103, 1, {4096, 8}},
    };
    for (const Case &c : cases) {
        GraphicsDeviceCaps = {};
        GraphicsDeviceCaps.PowerOfTwoTextureOnly = c.PowerOfTwo;
        GraphicsDeviceCaps.NonPow2Conditional = c.Conditional;
        GraphicsDeviceCaps.MaxTextureSize = c.DeviceMax;
        int sizes[GRAPH_TEXTURE_MAXNUM];
        int n = CalcTexturePieceSizes(c.Size, sizes, 1, 0, 0, c.BlockCompressed);
        EXPECT_EQ(c.Pieces, std::vector<int>(sizes, sizes + n)) << c.Name;
    }
    GraphicsDeviceCaps = {};
}

TEST(TexturePieces, TransferRectangleAgainstAPiece)
{
    // A piece at (256, 0) of 256 x 256 that sits at (8, 4) in its texture; a 300 x 100 area.
    GraphTransferPiece piece = {256, 0, 8, 4, 256, 256};
    ImageRect tex, img;
    ASSERT_EQ(0, CalcTextureTransferRect(&piece, 1000, 2000, 300, 100, 0, 0, &tex, &img, 0));
    EXPECT_EQ((std::vector<int>{8, 4, 52, 104}), (std::vector<int>{tex.left, tex.top, tex.right, tex.bottom}));
    EXPECT_EQ((std::vector<int>{1256, 2000, 1300, 2100}), (std::vector<int>{img.left, img.top, img.right, img.bottom}));
    // Inside the piece, starting in it: block compression rounds every edge up.
    ASSERT_EQ(0, CalcTextureTransferRect(&piece, 0, 0, 30, 29, 257, 1, &tex, &img, 1));
    EXPECT_EQ((std::vector<int>{12, 8, 40, 36}), (std::vector<int>{tex.left, tex.top, tex.right, tex.bottom}));
    EXPECT_EQ((std::vector<int>{0, 0, 32, 32}), (std::vector<int>{img.left, img.top, img.right, img.bottom}));
    EXPECT_EQ(-1, CalcTextureTransferRect(&piece, 0, 0, 256, 10, 0, 0, &tex, &img, 0));  // ends where it starts
}

// What a back end reads of an image for a transfer: the rectangle cut to the image (whole blocks of
// a block-compressed one), the destination moving with a cut left or top edge.
TEST(TexturePieces, TransferRectangleIsCutToTheImage)
{
    struct Case
    {
        const char *Name;
        int BlockCompressed;
        ImageRect Rect;
        int Left;  // 1 when something is left
        ImageRect Cut;
        int DestX, DestY;  // from (100, 200)
    } cases[] = {
        {"inside", 0, {2, 3, 20, 10}, 1, {2, 3, 20, 10}, 100, 200},
        {"over the left and top edges", 0, {-5, -7, 20, 10}, 1, {0, 0, 20, 10}, 105, 207},
        {"over the right and bottom edges", 0, {10, 20, 40, 40}, 1, {10, 20, 30, 30}, 100, 200},
        {"blocks: the last partial block is read", 1, {10, 20, 40, 40}, 1, {10, 20, 32, 32}, 100, 200},
        {"outside", 0, {30, 0, 40, 10}, 0, {30, 0, 30, 10}, 100, 200},
    };
    BASEIMAGE image = {};
    image.Width = 30;
    image.Height = 30;
    for (const Case &c : cases) {
        ImageRect rect = c.Rect;
        int x = 100, y = 200;
        EXPECT_EQ(c.Left, ClipTransferRectToImage(&image, c.BlockCompressed, &rect, &x, &y)) << c.Name;
        EXPECT_EQ((std::vector<int>{c.Cut.left, c.Cut.top, c.Cut.right, c.Cut.bottom, c.DestX, c.DestY}),
                  (std::vector<int>{rect.left, rect.top, rect.right, rect.bottom, x, y}))
            << c.Name;
    }
}

// A level smaller than its power-of-two block: the rest of the block repeats the level's last
// column and row, so that the halvings below average the image's own pixels.
TEST(TexturePieces, MipBlockPaddingRepeatsTheLastColumnAndRow)
{
    uint8_t block[4][4];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) block[y][x] = y < 3 && x < 2 ? (uint8_t)(10 * y + x) : 0xEE;
    PadMipBlock(&block[0][0], 4, 2, 3, 4, 4, 1);
    const uint8_t want[4][4] = {{0, 1, 1, 1}, {10, 11, 11, 11}, {20, 21, 21, 21}, {20, 21, 21, 21}};
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(std::vector<uint8_t>(want[y], want[y] + 4), std::vector<uint8_t>(block[y], block[y] + 4)) << y;
}

class GraphHandles : public SoftwareGraphics
{
protected:
    // A 64 x 48 graph holding PatternA.
    int PatternGraph(int DrawValid = 0)
    {
        SetDrawValidGraphCreateFlag(DrawValid);
        int graph = MakeGraph(64, 48, 0);
        SetDrawValidGraphCreateFlag(0);
        TestImage image = MakeTestImage(64, 48, PatternA);
        EXPECT_EQ(0, BltBaseImageToGraphWhole(&image.Image, nullptr, 0, 0, graph, 0, 0));
        return graph;
    }
};

TEST_F(GraphHandles, DerivedGraphsShowTheirRectangleOfTheParent)
{
    int parent = PatternGraph();
    ASSERT_GE(parent, 0);
    struct Case
    {
        const char *Name;
        int X, Y, Width, Height;
        int GotWidth, GotHeight;  // 0: refused
    } cases[] = {
        {"inside", 10, 5, 20, 8, 20, 8},
        {"runs past the edge: clipped", 60, 40, 10, 20, 4, 8},
        {"at the parent's width", 64, 0, 1, 1, 0, 0},
        {"at the parent's height", 0, 48, 1, 1, 0, 0},
        {"left of the parent", -1, 0, 4, 4, 0, 0},
        {"no width", 0, 0, 0, 4, 0, 0},
    };
    for (const Case &c : cases) {
        int graph = DeriveGraph(c.X, c.Y, c.Width, c.Height, parent);
        if (c.GotWidth == 0) {
            EXPECT_EQ(-1, graph) << c.Name;
            continue;
        }
        int w = 0, h = 0;
        ASSERT_EQ(0, GetGraphSize(graph, &w, &h)) << c.Name;
        EXPECT_EQ(c.GotWidth, w) << c.Name;
        EXPECT_EQ(c.GotHeight, h) << c.Name;
        EXPECT_EQ(Expected(c.X, c.Y, w, h, PatternA), ColorBits(ReadPixels(graph, 0, 0, w, h))) << c.Name;
        // A graph derived from a derived graph adds the offsets.
        int inner = DeriveGraph(1, 2, 2, 2, graph);
        EXPECT_EQ(Expected(c.X + 1, c.Y + 2, 2, 2, PatternA), ColorBits(ReadPixels(inner, 0, 0, 2, 2))) << c.Name;
        DeleteGraph(inner);
        DeleteGraph(graph);
    }
    DeleteGraph(parent);
}

TEST_F(GraphHandles, SharedImageGoesWithItsLastGraph)
{
    int blocks = GetAllocNum();
    int parent = PatternGraph();
    int child = DeriveGraph(8, 8, 16, 16, parent);
    int parentLost = -1, childLost = -1;
    ASSERT_EQ(0, SetGraphLostFlag(parent, &parentLost));
    ASSERT_EQ(0, SetGraphLostFlag(child, &childLost));
    EXPECT_EQ(0, parentLost);

    EXPECT_EQ(0, DeleteGraph(parent));
    EXPECT_EQ(1, parentLost);
    EXPECT_EQ(0, IsValidGraphHandle(parent));
    EXPECT_EQ(-1, DeleteGraph(parent));
    // The child still shows the shared pixels.
    EXPECT_EQ(Expected(8, 8, 16, 16, PatternA), ColorBits(ReadPixels(child, 0, 0, 16, 16)));
    EXPECT_EQ(0, childLost);
    EXPECT_EQ(0, DeleteGraph(child));
    EXPECT_EQ(1, childLost);
    EXPECT_EQ(blocks, GetAllocNum());  // record, image and views all freed
    // A handle of another type is not deleted as a graph.
    int mask = AddHandle(DX_HANDLETYPE_MASK_IMAGE, 0, -1);
    EXPECT_EQ(-1, DeleteGraph(mask));
    EXPECT_NE(nullptr, GetHandleData(mask));
    SubHandle(mask);
}

TEST_F(GraphHandles, TheDrawScreenIsADrawValidGraphOrAScreen)
{
    int plain = PatternGraph(0);
    int target = PatternGraph(1);
    EXPECT_EQ(-1, SetDrawScreen(plain));
    EXPECT_EQ(DX_SCREEN_BACK, GetDrawScreenHandle());
    EXPECT_EQ(-1, SetDrawScreen(12345));
    EXPECT_EQ(-1, SetDrawScreen(-5));

    ASSERT_EQ(0, SetDrawScreen(target));
    EXPECT_EQ(target, GetDrawScreenHandle());
    EXPECT_EQ(64, GraphicsDrawSettings.DrawSizeX);
    EXPECT_EQ(48, GraphicsDrawSettings.DrawSizeY);
    EXPECT_EQ(64, GraphicsDrawSettings.DrawArea.right);  // the area follows the new target
    EXPECT_EQ(48, GraphicsDrawSettings.DrawArea.bottom);
    EXPECT_EQ(PatternA(5, 6), GetPixel(5, 6) & 0xFFFFFF);  // read from the target graph
    EXPECT_EQ(0xFFFFFFFFu, GetPixel(64, 0));
    EXPECT_EQ(0, IsDrawScreenSizeMatch(plain));
    // Saved draw settings bring a graph target back.
    DrawSettingsSaveData saved;
    SaveDrawSettings(&saved);
    SetDrawScreen(DX_SCREEN_BACK);
    RestoreDrawSettings(&saved);
    EXPECT_EQ(target, GetDrawScreenHandle());

    int lost = 0;
    SetGraphLostFlag(target, &lost);
    ASSERT_EQ(0, DeleteGraph(target));
    EXPECT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    EXPECT_EQ(kScreenWidth, GraphicsDrawSettings.DrawSizeX);
    EXPECT_EQ(1, lost);
    EXPECT_EQ(-1, IsDrawScreenSizeMatch(plain));  // the target is no graph now
    DeleteGraph(plain);
}

TEST_F(GraphHandles, TransfersIntoAGraphAreClippedToItsImage)
{
    int graph = MakeGraph(32, 32, 0);
    TestImage image = MakeTestImage(40, 40, PatternB);
    struct Case
    {
        const char *Name;
        ImageRect Rect;
        int DestX, DestY, Whole;
        int Result;
        int CheckX, CheckY, CheckWidth, CheckHeight;  // where PatternB landed, from the rectangle's corner
    } cases[] = {
        {"inside", {2, 3, 12, 9}, 4, 5, 0, 0, 4, 5, 10, 6},
        {"past the graph: cut", {0, 0, 40, 40}, 20, 24, 0, 0, 20, 24, 12, 8},
        {"starting left of the image", {-3, 0, 5, 2}, 0, 0, 0, 0, 3, 0, 5, 2},
        {"nothing left", {0, 0, 8, 8}, 32, 0, 0, -1, 0, 0, 0, 0},
        {"empty rectangle", {5, 5, 5, 9}, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        FillGraph(graph, 0, 0, 0, 0);
        EXPECT_EQ(c.Result, BltBaseImageToGraph(&c.Rect, c.DestX, c.DestY, graph, &image.Image, nullptr, 0, 0, c.Whole, 0))
            << c.Name;
        if (c.CheckWidth == 0)
            continue;
        int srcX = c.Rect.left < 0 ? 0 : c.Rect.left;
        EXPECT_EQ(Expected(srcX, c.Rect.top, c.CheckWidth, c.CheckHeight, PatternB),
                  ColorBits(ReadPixels(graph, c.CheckX, c.CheckY, c.CheckWidth, c.CheckHeight)))
            << c.Name;
        if (c.CheckX > 0) {
            EXPECT_EQ(0u, ReadPixels(graph, c.CheckX - 1, c.CheckY, 1, 1)[0] & 0xFFFFFF) << c.Name;
        }
    }

    // A derived graph's coordinates are its own and it takes no more than its size; with Whole
    // they are those of the whole image.
    int corner = DeriveGraph(0, 0, 8, 8, graph);
    ImageRect rect = {0, 0, 20, 20};
    FillGraph(graph, 0, 0, 0, 0);
    ASSERT_EQ(0, BltBaseImageToGraph(&rect, 0, 0, corner, &image.Image, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(0u, ReadPixels(graph, 8, 1, 1, 1)[0] & 0xFFFFFF);
    DeleteGraph(corner);
    int part = DeriveGraph(16, 16, 16, 16, graph);
    rect = {0, 0, 4, 4};
    FillGraph(graph, 0, 0, 0, 0);
    ASSERT_EQ(0, BltBaseImageToGraph(&rect, 1, 1, part, &image.Image, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(Expected(0, 0, 4, 4, PatternB), ColorBits(ReadPixels(graph, 17, 17, 4, 4)));
    ASSERT_EQ(0, BltBaseImageToGraph(&rect, 1, 1, part, &image.Image, nullptr, 0, 0, 1, 0));
    EXPECT_EQ(Expected(0, 0, 4, 4, PatternB), ColorBits(ReadPixels(graph, 1, 1, 4, 4)));

    // A cube map goes into cube-map graphs only.
    BASEIMAGE cube = image.Image;
    cube.CubeFlag = 6;
    EXPECT_EQ(-1, BltBaseImageToGraph(&rect, 0, 0, graph, &cube, nullptr, 0, 0, 0, 0));
    // Filled colours are stored in the graph's own format.
    ASSERT_EQ(0, FillGraph(graph, 300, 0x40, -7, 255));
    EXPECT_EQ(0xFF4000u, ReadPixels(part, 3, 3, 1, 1)[0] & 0xFFFFFF);
    DeleteGraph(part);
    DeleteGraph(graph);
}

// What every back end's transfer into a graph checks first: a rectangle, an image and a live graph
// with an image record; an empty rectangle is nothing to do.
TEST_F(GraphHandles, ATransferStartsOnlyWithARectangleAnImageAndALiveGraph)
{
    const int handle = PatternGraph();
    GraphHandleData *graph = GetGraphEntry(handle, 0);
    ASSERT_NE(nullptr, graph);
    TestImage image = MakeTestImage(8, 8, PatternA);
    const ImageRect some = {0, 0, 8, 8}, empty = {4, 0, 4, 8};
    GraphHandleData copy = *graph;
    struct Case
    {
        const char *Name;
        const ImageRect *Rect;
        const BASEIMAGE *Image;
        GraphHandleData *Graph;
        int Expected;
    } cases[] = {
        {"all there", &some, &image.Image, graph, 1},
        {"no rectangle", nullptr, &image.Image, graph, -1},
        {"no image", &some, nullptr, graph, -1},
        {"empty rectangle", &empty, &image.Image, graph, 0},
        {"no graph", &some, &image.Image, nullptr, -1},
        {"a copy, not the live graph", &some, &image.Image, &copy, -1},
    };
    for (const Case &c : cases) EXPECT_EQ(c.Expected, CheckGraphTransfer(c.Rect, c.Image, c.Graph, 0)) << c.Name;
    GraphImageRecord *const record = graph->Image;
    graph->Image = nullptr;
    EXPECT_EQ(-1, CheckGraphTransfer(&some, &image.Image, graph, 0)) << "no image record";
    graph->Image = record;
    DeleteGraph(handle);
}

TEST_F(GraphHandles, BlockCompressedImagesAreDecodedForSoftwareGraphs)
{
    // A 30 x 30 DXT1 image of one colour (5-6-5 red in both end colours, every index 0) counts
    // as 32 x 32; a transfer of (1, 1)-(29, 29) covers whole blocks.
    BASEIMAGE dxt = BASEIMAGE();
    dxt.ColorData.Format = COLORDATA_FORMAT_DXT1;
    dxt.ColorData.BitDepth = 4;
    dxt.Width = dxt.Height = 30;
    std::vector<uint8_t> blocks(8 * 8 * 8);
    for (size_t b = 0; b < blocks.size(); b += 8) {
        blocks[b + 1] = blocks[b + 3] = 0xF8;  // colour 0 = colour 1 = 0xF800
    }
    dxt.Pixels = blocks.data();
    int graph = MakeGraph(32, 32, 0);
    FillGraph(graph, 0, 0, 0, 0);
    ImageRect rect = {1, 1, 29, 29};
    ASSERT_EQ(0, BltBaseImageToGraph(&rect, 0, 0, graph, &dxt, nullptr, 0, 0, 1, 0));
    EXPECT_EQ(std::vector<uint32_t>(4, 0xFF0000u), ColorBits(ReadPixels(graph, 0, 0, 2, 2)));
    EXPECT_EQ(std::vector<uint32_t>(2, 0xFF0000u), ColorBits(ReadPixels(graph, 30, 31, 2, 1)));
    DeleteGraph(graph);
}

TEST_F(GraphHandles, CopiesBetweenGraphsAndFromTheDrawScreen)
{
    int source = PatternGraph();
    int dest = MakeGraph(20, 10, 0);
    struct Case
    {
        const char *Name;
        int X1, Y1, X2, Y2, DestX, DestY, Result;
    } cases[] = {
        {"fits", 4, 6, 14, 10, 10, 6, 0},
        {"reversed corners", 14, 6, 4, 10, 0, 0, -1},
        {"past the source", 60, 0, 65, 5, 0, 0, -1},
        {"negative", -1, 0, 5, 5, 0, 0, -1},
        {"too large for the destination", 0, 0, 10, 5, 11, 0, -1},
    };
    for (const Case &c : cases) {
        FillGraph(dest, 0, 0, 0, 0);
        ASSERT_EQ(c.Result, BltRectGraphToGraph(source, 0, 0, c.X1, c.Y1, c.X2, c.Y2, c.DestX, c.DestY, dest)) << c.Name;
        if (c.Result == 0) {
            EXPECT_EQ(Expected(c.X1, c.Y1, c.X2 - c.X1, c.Y2 - c.Y1, PatternA),
                      ColorBits(ReadPixels(dest, c.DestX, c.DestY, c.X2 - c.X1, c.Y2 - c.Y1)))
                << c.Name;
        }
    }
    // The draw screen: a graph of exactly the rectangle's size.
    TestImage screen = MakeTestImage(kScreenWidth, kScreenHeight, PatternB);
    ImageRect whole = {0, 0, kScreenWidth, kScreenHeight};
    BASEIMAGE lock;
    ASSERT_EQ(0, LockDrawScreenBuffer(&whole, &lock, -1, 0, 0, 0, 0));
    for (int y = 0; y < kScreenHeight; ++y)
        memcpy((uint8_t *)lock.Pixels + y * lock.Pitch, &screen.Pixels[y * kScreenWidth], kScreenWidth * 4);
    UnlockDrawScreenBuffer();
    EXPECT_EQ(-1, CopyDrawScreenToGraph(0, 0, 20, 9, dest));
    ASSERT_EQ(0, CopyDrawScreenToGraph(100, 50, 120, 60, dest));
    EXPECT_EQ(Expected(100, 50, 20, 10, PatternB), ColorBits(ReadPixels(dest, 0, 0, 20, 10)));
    DeleteGraph(source);
    DeleteGraph(dest);
}

TEST_F(GraphHandles, RestoreFillsGraphsAgainFromTheirKeptSources)
{
    int blocks = GetAllocNum();
    TestImage image = MakeTestImage(48, 40, PatternB);
    int graph = MakeGraph(40, 30, 0);  // shows the image from (5, 4) on
    ASSERT_EQ(0, BltBmpOrBaseImageToGraph(nullptr, nullptr, nullptr, 0, &image.Image, nullptr, 5, 4, graph));
    EXPECT_EQ(Expected(5, 4, 40, 30, PatternB), ColorBits(ReadPixels(graph, 0, 0, 40, 30)));
    int part = DeriveGraph(10, 12, 8, 8, graph);  // shares the kept source, shows its own part
    int unkept = MakeGraph(8, 8, 0);
    image.Pixels.assign(image.Pixels.size(), 0);  // the kept source is a copy
    FillGraph(graph, 1, 2, 3, 0);
    FillGraph(unkept, 1, 2, 3, 0);
    GraphicsState.RestoreGraphCallback = nullptr;
    ASSERT_EQ(0, RestoreGraphics());
    EXPECT_EQ(Expected(5, 4, 40, 30, PatternB), ColorBits(ReadPixels(graph, 0, 0, 40, 30)));
    EXPECT_EQ(Expected(15, 16, 8, 8, PatternB), ColorBits(ReadPixels(part, 0, 0, 8, 8)));
    EXPECT_EQ(std::vector<uint32_t>(1, 0x010203u), ColorBits(ReadPixels(unkept, 0, 0, 1, 1)));

    // A restore callback takes the place of the walk.
    static int calls;
    calls = 0;
    SetRestoreGraphCallback([] { return ++calls; });
    RestoreGraphics();
    EXPECT_EQ(1, calls);
    SetRestoreGraphCallback(nullptr);
    EXPECT_EQ(1, IsRestoreGraphCallbackSet());
    DeleteGraph(part);
    DeleteGraph(graph);
    DeleteGraph(unkept);
    EXPECT_EQ(blocks, GetAllocNum());  // the kept copy went with its last graph
}

TEST_F(GraphHandles, TheWhiteGraphIsMadeOnceAndAgainAfterItsDeletion)
{
    int white = GetWhiteTextureGraph();
    ASSERT_GE(white, 0);
    EXPECT_EQ(GRAPH_SOFT_FORMAT_ALPHA_RGB16, GetGraphEntry(white, 0)->Image->PixelFormat);
    int own = MakeGraph(4, 4, 0);
    EXPECT_EQ(white, GetWhiteTextureGraph());
    // A 16-bit image with alpha: 5-6-5 white with alpha 255 above it.
    EXPECT_EQ(std::vector<uint32_t>(64, 0xFFFFFFu), ColorBits(ReadPixels(white, 0, 0, 8, 8)));
    EXPECT_EQ(0, DeleteInternalGraphs());
    EXPECT_EQ(0, IsValidGraphHandle(white));
    EXPECT_EQ(1, IsValidGraphHandle(own));  // only the library's own graphs go
    DeleteGraph(own);
    EXPECT_EQ(-1, DrawScreenState.WhiteGraph);  // told by the deletion
    EXPECT_GE(GetWhiteTextureGraph(), 0);
}

// Graphs on a device: a recording back end that makes every texture it is asked for.
class HardwareGraphs : public GraphicsStateTest
{
protected:
    void SetUp() override
    {
        GraphicsStateTest::SetUp();
        ChangeWindowMode(1);
        SetWaitVSyncFlag(0);
        SetUseHardwareRenderFlag(1);
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, &Table);
        ASSERT_EQ(0, InitializeGraphics());
        ASSERT_EQ(1, GraphicsState.HardwareInUseFlag);
        GraphicsDeviceCaps.PowerOfTwoTextureOnly = 1;
        GraphicsDeviceCaps.MaxTextureSize = 4096;
        FakeHardware.Calls.clear();
    }
    void TearDown() override
    {
        TerminateGraphics();
        GraphicsStateTest::TearDown();
    }
};

TEST_F(HardwareGraphs, GraphsAreTiledIntoTexturesAndDrawnInPieces)
{
    SetDrawValidGraphCreateFlag(1);
    int screen = MakeGraph(960, 540, 0);
    SetDrawValidGraphCreateFlag(0);
    int wide = MakeGraph(5000, 100, 0);
    EXPECT_EQ((std::vector<std::string>{"CreateTexture 1024x1024", "CreateTexture 4096x128 1024x128"}),
              CallsStartingWith("CreateTexture"));
    int w = 0, h = 0;
    ASSERT_EQ(0, GetGraphTextureSize(screen, &w, &h));
    EXPECT_EQ(1024, w);
    ASSERT_EQ(0, GetGraphSize(screen, &w, &h));
    EXPECT_EQ(960, w);

    // A graph across the seam of two textures is drawn in two pieces.
    int seam = DeriveGraph(4000, 10, 200, 50, wide);
    GraphHandleData *g = GetGraphEntry(seam, 0);
    ASSERT_EQ(2, g->PieceNum);
    const GraphDrawPiece &left = g->Piece[0], &right = g->Piece[1];
    EXPECT_EQ((std::vector<int>{0, 4000, 96, 50}), (std::vector<int>{left.DrawX, left.UsePosX, left.Width, left.Height}));
    EXPECT_EQ((std::vector<int>{96, 0, 104, 10}), (std::vector<int>{right.DrawX, right.UsePosX, right.Width, right.UsePosY}));
    EXPECT_FLOAT_EQ(4000.0f / 4096.0f, left.Vertex[0].u);
    EXPECT_FLOAT_EQ(104.0f / 1024.0f, right.Vertex[3].u);
    EXPECT_EQ(1, left.VertexOnDiagonal[0]);  // top left lies above the diagonal, bottom right below
    EXPECT_EQ(1, right.VertexOnDiagonal[1]);  // top right lies on it
    EXPECT_EQ(0, right.VertexOnDiagonal[3]);
    EXPECT_EQ(904, g->Image->Texture[1].Width);  // the last texture holds the image's rest
    // A graph inside the second texture starts at its place in it.
    int inner = DeriveGraph(4100, 0, 50, 20, wide);
    const GraphDrawPiece &p = GetGraphEntry(inner, 0)->Piece[0];
    EXPECT_EQ((std::vector<int>{0, 4, 50}), (std::vector<int>{p.DrawX, p.UsePosX, p.Width}));
    DeleteGraph(inner);

    // The textures go with the last graph of the record.
    DeleteGraph(wide);
    EXPECT_TRUE(CallsStartingWith("ReleaseGraphTexture").empty());
    DeleteGraph(seam);
    EXPECT_EQ(1u, CallsStartingWith("ReleaseGraphTexture").size());
    DeleteGraph(screen);

    // More pieces than the record holds: the record grows for them.
    GraphicsDeviceCaps.MaxTextureSize = 256;
    int tiled = MakeGraph(1024, 512, 0);
    g = GetGraphEntry(tiled, 0);
    ASSERT_EQ(8, g->PieceNum);
    EXPECT_GE(g->Info.AllocSize, (int)(sizeof(GraphHandleData) + 4 * sizeof(GraphDrawPiece)));
    const GraphDrawPiece &last = g->Piece[g->PieceNum - 1];
    EXPECT_EQ((std::vector<int>{768, 256}), (std::vector<int>{last.DrawX, last.DrawY}));
    DeleteGraph(tiled);
    // An alpha graph takes 32 bits on a 16-bit screen.
    GraphCreateParam param;
    InitGraphCreateParam(&param);
    param.AlphaChannelFlag = 1;
    int alpha = MakeGraphWithCreateParam(&param, 8, 8, 0, 0, 0, 0, 0);
    EXPECT_EQ(PIXEL_FORMAT_ALPHA_RGB32, GetGraphEntry(alpha, 0)->Image->PixelFormat);
    DeleteGraph(alpha);
}

// Asynchronous creations hand their loader every argument: the graph made there is the one a
// direct call makes, and the shader's option reaches the back end, which is told it runs on a loader.
TEST_F(HardwareGraphs, AsynchronousCreationsHandTheLoaderEveryArgument)
{
    ASSERT_EQ(0, InitializeASyncLoad(GetCurrentThreadId()));
    ASSERT_EQ(0, StartASyncLoadThreads(2));
    GraphCreateParam param;
    InitGraphCreateParam(&param);
    param.AlphaChannelFlag = 1;
    int graphs[2];
    for (int async : {0, 1})
        graphs[async] = MakeGraphWithCreateParam(&param, 300, 20, 0, 1, 4, async, 0);
    GraphicsDeviceCaps.ProgrammableShaderFlag = 1;
    const uint8_t code[4] = {1, 2, 3, 4};
    const int shader = CreateShaderHandle(1, code, 4, 7, 1, 0);
    for (int handle : {graphs[1], shader})
        EXPECT_EQ(0, WaitHandleASyncLoad(handle));

    const GraphHandleData *direct = GetGraphEntry(graphs[0], 0), *queued = GetGraphEntry(graphs[1], 0);
    ASSERT_NE(nullptr, direct);
    ASSERT_NE(nullptr, queued);
    EXPECT_EQ((std::vector<int>{300, 20}), (std::vector<int>{queued->Width, queued->Height}));
    EXPECT_EQ(0, memcmp(&direct->Image->Format, &queued->Image->Format, sizeof(GraphFormatRequest)));
    EXPECT_EQ((std::vector<std::string>{"CreateTexture 512x32", "CreateTexture 512x32"}),
              CallsStartingWith("CreateTexture"));
    EXPECT_EQ(std::vector<std::string>{"CreateShaderHandle 1 4 7 1"}, CallsStartingWith("CreateShaderHandle"));
    EXPECT_NE(nullptr, GetShaderEntry(shader, 0));
    StopASyncLoadThreads();
    TerminateASyncLoad();
}

TEST_F(HardwareGraphs, LeavingTheFrontScreenShowsItOnceTheLibraryRuns)
{
    SetLibraryStarted(1);
    ASSERT_EQ(DX_SCREEN_FRONT, GetDrawScreenHandle());
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    EXPECT_EQ(1u, CallsStartingWith("PresentFrame").size());
    LibraryState.LibraryEnd = 1;
    EXPECT_EQ(-1, ScreenFlip());
    EXPECT_EQ(1u, CallsStartingWith("PresentFrame").size());
    LibraryState.LibraryEnd = 0;
    SetLibraryStarted(0);
}

}  // namespace
