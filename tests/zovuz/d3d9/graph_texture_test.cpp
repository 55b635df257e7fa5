// Graph textures on the platform's own Direct3D 9 (Wine's, on llvmpipe), with graphics started on
// the Direct3D 9 back end: transfers into textures read back texel by texel, fills, copies, reads
// of the draw target, clears, the white graph of an untextured draw, a movie frame, buffer and
// shader handles, shadow maps, and a graph that outlives two screen-mode changes.
#include <string.h>

#include <vector>

#include "tests/zovuz/d3d9/d3d9_graphics_fixture.h"
#include "tests/zovuz/d3d9/shader_code_fixture.h"
#include "zovuz/d3d9/texture/d3d9_memory_cache.h"
#include "zovuz/d3d9/texture/d3d9_texture_transfer.h"
#include "zovuz/d3d9/device/windows/d3d9_device_win.h"
#include "zovuz/d3d9/texture/windows/d3d9_graph_texture_win.h"
#include "zovuz/d3d9/draw/windows/d3d9_vertex_batch_win.h"
#include "zovuz/d3d9/state/windows/d3d9_device_state_win.h"
#include "zovuz/d3d9/windows/d3d9_handle_objects_win.h"

namespace {

class D3D9Graphs : public D3D9MainWindow
{
protected:
    static void SetUpTestSuite()
    {
        OpenMainWindow(160, 120);
        ASSERT_EQ(0, StartGraphicsOn(1, 160, 120));
    }
    void SetUp() override
    {
        ASSERT_EQ(GRAPHICS_API_D3D9, GetGraphicsAPIType());
        ASSERT_EQ(0, SetDrawScreen(DX_SCREEN_BACK));
    }
    void TearDown() override
    {
        SetDrawScreen(DX_SCREEN_BACK);
        for (int graph : Graphs) DeleteGraph(graph);
        Graphs.clear();
    }
    // A draw-target graph of the screen's format, deleted with the test.
    int MakeTarget(int Width, int Height)
    {
        SetDrawValidGraphCreateFlag(1);
        const int graph = MakeGraph(Width, Height, 0);
        SetDrawValidGraphCreateFlag(0);
        EXPECT_NE(-1, graph);
        Graphs.push_back(graph);
        return graph;
    }
    // The same through a create parameter, with a Z buffer of its own or drawing without one.
    int MakeTarget(int Width, int Height, int OwnZBuffer)
    {
        GraphCreateParam param;
        InitGraphCreateParam(&param);
        param.DrawValidFlag = 1;
        param.DrawValidZBufferFlag = OwnZBuffer;
        const int graph = MakeGraphWithCreateParam(&param, Width, Height, 0, 0, 0, 0, 0);
        EXPECT_NE(-1, graph);
        Graphs.push_back(graph);
        return graph;
    }
    // Pixel (X, Y) of a graph, through it being the draw screen.
    static unsigned ReadPixel(int Graph, int X, int Y)
    {
        SetDrawScreen(Graph);
        const unsigned pixel = GetPixel(X, Y);
        SetDrawScreen(DX_SCREEN_BACK);
        return pixel;
    }
    std::vector<int> Graphs;
};

// ---- Transfers into a texture the test can lock ---------------------------------------------

// A lockable texture and a transfer job into it of Source's top-left Used x Used pixels, in
// A8R8G8B8 unless DXT.
struct LockableTexture
{
    IDirect3DTexture9 *Texture = nullptr;
    D3D9TextureTransferJob Job = {};
    COLORDATA Color = {};
    LockableTexture(int Size, int Levels, BASEIMAGE *Source, int Used, D3DFORMAT Format = D3DFMT_A8R8G8B8)
    {
        EXPECT_EQ(D3D_OK, Direct3DDevice9_CreateTexture(Size, Size, Levels, D3DUSAGE_DYNAMIC, Format, D3DPOOL_SYSTEMMEM,
                                                        &Texture, nullptr));
        CreateARGB8ColorData(&Color);
        Job.Format = Format;
        Job.DestColorData = &Color;
        Job.MipLevels = Levels;
        Job.TexWidth = Job.TexHeight = Size;
        Job.Texture = Texture;
        Job.Source = Source;
        Job.SrcRect = {0, 0, Used, Used};
        Job.UsedWidth = Job.UsedHeight = Used;
    }
    ~LockableTexture()
    {
        if (Texture != nullptr) Direct3D9_ReleaseObject(Texture);
    }
    // Level Level's bytes, row by row.
    std::vector<uint8_t> Level(int Level, int RowBytes, int Rows)
    {
        std::vector<uint8_t> bytes;
        D3DLOCKED_RECT locked = {};
        if (FAILED(Direct3DTexture9_LockRect(Texture, Level, &locked, nullptr, D3DLOCK_READONLY))) return bytes;
        for (int y = 0; y < Rows; ++y)
            bytes.insert(bytes.end(), (uint8_t *)locked.pBits + y * locked.Pitch,
                         (uint8_t *)locked.pBits + y * locked.Pitch + RowBytes);
        Direct3DTexture9_UnlockRect(Texture, Level);
        return bytes;
    }
    std::vector<uint32_t> Pixels(int Level, int Size)
    {
        std::vector<uint8_t> bytes = this->Level(Level, Size * 4, Size);
        std::vector<uint32_t> pixels(bytes.size() / 4);
        memcpy(pixels.data(), bytes.data(), bytes.size());
        return pixels;
    }
};

D3DFORMAT DescribeFormat(IDirect3DSurface9 *Surface)
{
    D3DSURFACE_DESC desc = {};
    Direct3DSurface9_GetDesc(Surface, &desc);
    return desc.Format;
}

uint32_t Distinct(int X, int Y) { return 0xFF000000u | (uint32_t)(X * 40 + 1) << 16 | (uint32_t)(Y * 40 + 1) << 8; }

TEST_F(D3D9Graphs, ASubImageRepeatsItsEdgeColumnAndRowWithoutReadingPastIt)
{
    // The source is exactly 3 x 3: a read of a fourth column or row would fall outside it.
    TestImage image = MakeTestImage(3, 3, Distinct);
    LockableTexture t(4, 1, &image.Image, 3);
    ASSERT_EQ(0, Graphics_D3D9_TextureTransferBaseLevel(t.Job));
    const std::vector<uint32_t> got = t.Pixels(0, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Distinct(x < 3 ? x : 2, y < 3 ? y : 2), got[y * 4 + x] | 0xFF000000u) << x << ", " << y;
}

TEST_F(D3D9Graphs, AOneLevelImageFillsTheOtherLevelsByHalving)
{
    // Columns alternate 0 and 200 in red: every halving averages them to 100.
    TestImage image = MakeTestImage(8, 8, [](int X, int) -> uint32_t { return X % 2 ? 0xFFC80000u : 0xFF000000u; });
    LockableTexture t(8, 4, &image.Image, 8);
    ASSERT_EQ(0, Graphics_D3D9_TextureTransfer(t.Job));
    EXPECT_EQ(0xFFC80000u, t.Pixels(0, 8)[1]);
    for (int level = 1; level < 4; ++level) {
        const int size = 8 >> level;
        for (uint32_t pixel : t.Pixels(level, size)) EXPECT_EQ(0x640000u, pixel & 0xFFFFFFu) << "level " << level;
    }
}

TEST_F(D3D9Graphs, DxtBlocksLandBlockExactAtTheLockedPitch)
{
    // A 5 x 5 DXT1 image is 2 x 2 blocks; its texture is 8 x 8.
    std::vector<uint8_t> blocks(32);
    for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = (uint8_t)(i * 7 + 3);
    BASEIMAGE image = {};
    image.ColorData.Format = COLORDATA_FORMAT_DXT1;
    image.ColorData.BitDepth = 4;
    image.Width = image.Height = 5;
    image.Pixels = blocks.data();
    image.DataSize = (int)blocks.size();
    for (int baseLevel = 0; baseLevel < 2; ++baseLevel) {
        LockableTexture t(8, 1, &image, 8, D3DFMT_DXT1);
        ASSERT_EQ(0, baseLevel ? Graphics_D3D9_TextureTransferBaseLevel(t.Job) : Graphics_D3D9_TextureTransfer(t.Job));
        EXPECT_EQ(blocks, t.Level(0, 16, 2)) << (baseLevel ? "base level" : "levels");
    }
    // An image that holds fewer blocks than the texture needs is refused, not read past.
    image.DataSize = 24;
    LockableTexture t(8, 1, &image, 8, D3DFMT_DXT1);
    EXPECT_EQ(-1, Graphics_D3D9_TextureTransferBaseLevel(t.Job));
}

// ---- Graph operations through the front end -----------------------------------------------------

TEST_F(D3D9Graphs, FillCopyAndReadBackAreExact)
{
    const int source = MakeTarget(16, 16), dest = MakeTarget(16, 16);
    ASSERT_EQ(0, FillGraph(source, 10, 20, 30, 255));
    ASSERT_EQ(0, FillGraph(dest, 200, 100, 50, 255));
    EXPECT_EQ(0xFF0A141Eu, ReadPixel(source, 15, 15));
    ASSERT_EQ(0, BltRectGraphToGraph(source, 0, 0, 2, 2, 6, 6, 8, 9, dest));
    EXPECT_EQ(0xFF0A141Eu, ReadPixel(dest, 8, 9));
    EXPECT_EQ(0xFF0A141Eu, ReadPixel(dest, 11, 12));
    EXPECT_EQ(0xFFC86432u, ReadPixel(dest, 12, 12));
    EXPECT_EQ(0xFFC86432u, ReadPixel(dest, 7, 9));

    // A plain graph is no render target: the fill leaves it to the front end.
    GraphHandleData *plain = GetGraphEntry(MakeGraph(8, 8, 0), 0);
    ASSERT_NE(nullptr, plain);
    Graphs.push_back(plain->Info.Handle);
    EXPECT_EQ(2, Graphics_D3D9_FillGraph(plain, 1, 2, 3, 4));
}

// An image reaches a render target, and a part of one a plain graph; where the part's system-memory
// surface cannot be made, the transfer fails instead of waiting for one.
TEST_F(D3D9Graphs, AnImageReachesARenderTargetAndAPlainGraph)
{
    TestImage image = MakeTestImage(8, 8, PatternA);
    const int target = MakeTarget(8, 8);
    const ImageRect rect = {0, 0, 8, 8};
    ASSERT_EQ(0, BltBaseImageToGraph(&rect, 0, 0, target, &image.Image, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(PatternA(5, 3) | 0xFF000000u, ReadPixel(target, 5, 3));
    // A part of an image into a plain graph goes through a system-memory surface.
    const int plain = CreateGraphFromBaseImage(&image.Image, nullptr, 1);
    ASSERT_NE(-1, plain);
    Graphs.push_back(plain);
    const ImageRect part = {2, 2, 4, 4};
    TestImage other = MakeTestImage(8, 8, PatternB);
    ASSERT_EQ(0, BltBaseImageToGraph(&part, 2, 2, plain, &other.Image, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(0, BltRectGraphToGraph(plain, 0, 0, 0, 0, 8, 8, 0, 0, target));
    EXPECT_EQ(PatternB(3, 3) | 0xFF000000u, ReadPixel(target, 3, 3));
    EXPECT_EQ(PatternA(4, 4) | 0xFF000000u, ReadPixel(target, 4, 4));

    D3D9Calls.Direct3DDevice9_CreateOffscreenPlainSurface = [](UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9 **,
                                                               HANDLE *) -> HRESULT { return E_OUTOFMEMORY; };
    const ImageRect failing = {0, 0, 3, 5};
    const int result = BltBaseImageToGraph(&failing, 1, 1, plain, &image.Image, nullptr, 0, 0, 0, 0);
    D3D9Calls = D3D9SystemCalls;
    EXPECT_EQ(-1, result);
}

// Drawing into a render-target graph: a box covers exactly [x1, x2) x [y1, y2), and a graph drawn
// at whole pixels gives its texels.
TEST_F(D3D9Graphs, ABoxAndAGraphDrawnIntoARenderTargetReadBackExactly)
{
    const int target = MakeTarget(32, 32);
    ASSERT_EQ(0, FillGraph(target, 0, 0, 0, 255));
    const std::vector<uint32_t> texels = Expected(0, 0, 8, 8, PatternA);
    const int graph = MakeGraphOfPixels(8, 8, texels.data());
    ASSERT_NE(-1, graph);
    Graphs.push_back(graph);
    ASSERT_EQ(0, SetDrawScreen(target));
    ASSERT_EQ(0, DrawBox(2, 3, 10, 7, GetColorValue(255, 0, 0), 1));
    ASSERT_EQ(0, DrawGraph(16, 16, graph, 0));
    std::vector<uint32_t> box(12 * 12, 0);
    for (int y = 3; y < 7; ++y)
        for (int x = 2; x < 10; ++x) box[y * 12 + x] = 0xFF0000u;
    EXPECT_EQ(box, ColorBits(ReadPixels(target, 0, 0, 12, 12)));
    EXPECT_EQ(texels, ColorBits(ReadPixels(target, 16, 16, 8, 8)));
}

TEST_F(D3D9Graphs, AHalfFloatTargetReadsFullChannelsAbove1)
{
    GraphCreateParam param;
    InitGraphCreateParam(&param);
    param.DrawValidFlag = 1;
    param.DrawValidFloatTypeFlag = 1;
    param.DrawValidChannelNum = 4;
    param.ChannelNum = 4;
    param.FloatTypeFlag = 1;
    param.ChannelBitDepth = 16;
    const int graph = MakeGraphWithCreateParam(&param, 4, 4, 0, 0, 0, 0, 0);
    ASSERT_NE(-1, graph);
    Graphs.push_back(graph);
    const GraphTextureEntry &entry = GetGraphEntry(graph, 0)->Image->Texture[0];
    IDirect3DSurface9 *level = D3D9TextureObjectsOf(entry.PF)->LevelSurface;
    ASSERT_EQ(D3DFMT_A16B16G16R16F, DescribeFormat(level));
    // Red 2.0, green 0.5, blue -1.0 into the whole target through a system-memory surface.
    IDirect3DSurface9 *memory = nullptr;
    ASSERT_EQ(D3D_OK, Direct3DDevice9_CreateOffscreenPlainSurface(4, 4, D3DFMT_A16B16G16R16F, D3DPOOL_SYSTEMMEM,
                                                                  &memory, nullptr));
    D3DLOCKED_RECT locked = {};
    ASSERT_EQ(D3D_OK, Direct3DSurface9_LockRect(memory, &locked, nullptr, 0));
    const uint16_t pixel[4] = {Float32ToFloat16(2.0f), Float32ToFloat16(0.5f), Float32ToFloat16(-1.0f),
                               Float32ToFloat16(1.0f)};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) memcpy((uint8_t *)locked.pBits + y * locked.Pitch + x * 8, pixel, 8);
    Direct3DSurface9_UnlockRect(memory);
    ASSERT_EQ(D3D_OK, Direct3DDevice9_UpdateSurface(memory, nullptr, level, nullptr));
    Direct3D9_ReleaseObject(memory);
    EXPECT_EQ(0xFFFF7F00u, ReadPixel(graph, 1, 2));
}

TEST_F(D3D9Graphs, TheBackBufferLockReturnsWhatWasDrawn)
{
    SetBackgroundColor(30, 60, 90);
    ClearDrawScreen(nullptr);
    EXPECT_EQ(std::vector<uint32_t>(10 * 10, 0x1E3C5A), ColorBits(ReadPixels(DX_SCREEN_BACK, 150, 110, 10, 10)));
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen(nullptr);
}

// A clear covers what it is asked on any target: a graph wider than the screen's Z buffer (which
// draws without one), and a rectangle past the draw area, whose viewport is in force again after.
TEST_F(D3D9Graphs, AClearCoversWhatItIsAskedAndPutsTheDrawAreaBack)
{
    // Without a Z buffer of its own, wider than the 160 x 120 screen's (256 x 128).
    const int wide = MakeTarget(300, 40, 0);
    const ImageRect past = {0, 0, 100, 80};
    const struct
    {
        const char *Name;
        int Target, Width, Height;
        ImageRect Area;
        const ImageRect *Clear;  // null: all of it
    } cases[] = {
        {"a graph wider than the Z buffer", wide, 300, 40, {0, 0, 300, 40}, nullptr},
        {"past the draw area of the screen", DX_SCREEN_BACK, 160, 120, {10, 10, 40, 30}, &past},
        {"past the draw area of the wide graph", wide, 300, 40, {250, 5, 280, 20}, &past},
    };
    // Windows refuses a clear that names the Z buffer while none is bound; Wine clears the target.
    D3D9Calls.Direct3DDevice9_Clear = [](DWORD Count, const D3DRECT *Rects, DWORD Flags, D3DCOLOR Color, float Z,
                                         DWORD Stencil) -> HRESULT {
        IDirect3DSurface9 *depth = nullptr;
        if (SUCCEEDED(Direct3DDevice9_GetDepthStencilSurface(&depth)) && depth != nullptr)
            Direct3D9_ReleaseObject(depth);
        else if (Flags & D3DCLEAR_ZBUFFER)
            return D3DERR_INVALIDCALL;
        return D3D9SystemCalls.Direct3DDevice9_Clear(Count, Rects, Flags, Color, Z, Stencil);
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(0, SetDrawScreen(c.Target));
        SetBackgroundColor(0, 0, 0);
        ASSERT_EQ(0, ClearDrawScreen(nullptr));
        ASSERT_EQ(0, SetDrawArea(c.Area.left, c.Area.top, c.Area.right, c.Area.bottom));
        SetBackgroundColor(30, 60, 90);
        ASSERT_EQ(0, ClearDrawScreen(c.Clear));
        D3DVIEWPORT9 v = {};
        D3D9CallLayer.Device->GetViewport(&v);
        EXPECT_EQ((std::vector<int>{c.Area.left, c.Area.top, c.Area.right, c.Area.bottom}),
                  (std::vector<int>{(int)v.X, (int)v.Y, (int)(v.X + v.Width), (int)(v.Y + v.Height)}));
        const ImageRect cleared = c.Clear != nullptr ? *c.Clear : ImageRect{0, 0, c.Width, c.Height};
        const std::vector<uint32_t> got = ColorBits(ReadPixels(c.Target, 0, 0, c.Width, c.Height));
        ASSERT_EQ((size_t)(c.Width * c.Height), got.size());
        int wrong = 0;
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x) {
                const bool in = x >= cleared.left && x < cleared.right && y >= cleared.top && y < cleared.bottom;
                wrong += got[(size_t)y * c.Width + x] != (in ? 0x1E3C5Au : 0u);
            }
        EXPECT_EQ(0, wrong);
    }
    D3D9Calls = D3D9SystemCalls;
    SetBackgroundColor(0, 0, 0);
}

// Without shaders an untextured draw of the x4 stage types (blend rows 12 and 21) reads the
// library's white graph on stage 0 as its second colour argument.
TEST_F(D3D9Graphs, UntexturedX4DrawsReadTheWhiteGraph)
{
    IDirect3DDevice9 *device = D3D9CallLayer.Device;
    for (int row : {12, 21}) {
        SCOPED_TRACE(row);
        Graphics_D3D9_DrawSetting_SetTexture(nullptr);
        Graphics_D3D9_DrawSetting_SetBlendMode(row, 0, 0);
        ASSERT_EQ(0, Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0));
        const GraphHandleData *white = GetGraphEntry(GetWhiteTextureGraph(), 0);
        ASSERT_NE(nullptr, white);
        IDirect3DBaseTexture9 *bound = nullptr;
        ASSERT_EQ(D3D_OK, device->GetTexture(0, &bound));
        EXPECT_EQ(D3D9TextureObjectsOf(white->Piece[0].Texture->PF)->Texture, bound);
        if (bound != nullptr) bound->Release();
        const D3DTEXTURESTAGESTATETYPE states[] = {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2};
        DWORD color[3] = {};
        for (int i = 0; i < 3; ++i) device->GetTextureStageState(0, states[i], &color[i]);
        EXPECT_EQ((std::vector<DWORD>{D3DTOP_MODULATE4X, D3DTA_DIFFUSE, D3DTA_TEXTURE}),
                  std::vector<DWORD>(color, color + 3));
        // Back to a plain untextured draw, which binds nothing.
        Graphics_D3D9_DrawSetting_SetBlendMode(0, 0, 0);
        ASSERT_EQ(0, Graphics_D3D9_ApplyDrawState(nullptr, 0, 0, 0));
    }
    GraphicsState.DrawStateChangedFlag = 1;
}

// The movie whose surface the fake decoder hands out.
IDirect3DSurface9 *MovieSurface = nullptr;

TEST_F(D3D9Graphs, AMovieFrameSurfaceIsCopiedIntoTheGraph)
{
    ASSERT_EQ(D3D_OK, Direct3DDevice9_CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &MovieSurface,
                                                                  nullptr));
    Direct3DDevice9_ColorFill(MovieSurface, nullptr, 0xFF336699);
    const RECT corner = {4, 4, 8, 8};
    Direct3DDevice9_ColorFill(MovieSurface, &corner, 0xFFFFFFFF);
    MovieFunctions movies = {};
    movies.TheoraDecode_GetSurface = [](MovieHandleData *) -> void * { return MovieSurface; };
    const MovieFunctions *old = GetMovieFunctions();
    RegisterMovieFunctions(&movies);
    const int graph = MakeTarget(8, 8);
    EXPECT_EQ(0, Graphics_D3D9_CopyMovieFrameToGraph(GetGraphEntry(graph, 0), nullptr));
    RegisterMovieFunctions(old);
    Direct3D9_ReleaseObject(MovieSurface);
    EXPECT_EQ(0xFF336699u, ReadPixel(graph, 3, 3));
    EXPECT_EQ(0xFFFFFFFFu, ReadPixel(graph, 4, 4));
}

TEST_F(D3D9Graphs, ARenderTargetCountsOnlyWithItsOwnDepthSurface)
{
    const int withDepth = MakeTarget(8, 8, 1), without = MakeTarget(8, 8, 0);
    const struct
    {
        const char *Name;
        GraphHandleData *Graph;
        int Result;
    } cases[] = {
        {"no graph", nullptr, 0},
        {"a target with its own depth", GetGraphEntry(withDepth, 0), 0},
        {"a target sharing the screen's depth", GetGraphEntry(without, 0), -1},
    };
    for (const auto &c : cases) EXPECT_EQ(c.Result, Graphics_D3D9_CheckRenderTargetGraph(0, c.Graph)) << c.Name;
}

// The movies whose surfaces were flagged for re-creation.
std::vector<int> RefreshedMovies;

// Each change also flags the decoder surface of a graph that shows a movie, and of no other.
TEST_F(D3D9Graphs, AGraphAndTheCachesOutliveTwoScreenModeChanges)
{
    const int graph = MakeTarget(16, 16), movieGraph = MakeTarget(8, 8);
    const int index = Graphics_D3D9_AcquireMemorySurface(4, 4, D3DFMT_X8R8G8B8, 0);
    ASSERT_GE(index, 0);
    Graphics_D3D9_ReleaseMemorySurface(index, 0);
    MovieFunctions movies = {};
    movies.RefreshMovieSurface = [](int Movie) {
        RefreshedMovies.push_back(Movie);
        return 0;
    };
    const MovieFunctions *old = GetMovieFunctions();
    RegisterMovieFunctions(&movies);
    RefreshedMovies.clear();
    GetGraphEntry(movieGraph, 0)->MovieHandle = 0x18010002;
    for (int i = 0; i < 2; ++i) ASSERT_EQ(0, Graphics_Hardware_ChangeScreenMode(0, 160, 120, 32, 60)) << i;
    GetGraphEntry(movieGraph, 0)->MovieHandle = -1;
    RegisterMovieFunctions(old);
    EXPECT_EQ((std::vector<int>{0x18010002, 0x18010002}), RefreshedMovies);
    ASSERT_EQ(0, FillGraph(graph, 1, 2, 3, 255));
    EXPECT_EQ(0xFF010203u, ReadPixel(graph, 15, 0));
    EXPECT_EQ(1, D3D9MemorySurfaceCache.Entry[index].UseFlag);
    EXPECT_NE(nullptr, Graphics_D3D9_MemorySurfaceObject(index));
}

// A multisampled target with its own depth keeps all four objects of its record; letting go of the
// device's objects empties the record whole, and the objects come back.
TEST_F(D3D9Graphs, ReleasingTheDeviceObjectsEmptiesAGraphsRecordWhole)
{
    GraphImageRecord *image = GetGraphEntry(MakeTarget(8, 8, 1), 0)->Image;
    ASSERT_EQ(0, Graphics_D3D9_ReleaseHandleObjects());
    image->MultiSampleCount = 4;
    ASSERT_EQ(0, Graphics_D3D9_RecreateDeviceObjects());
    const D3D9TextureObjects &objects = *D3D9TextureObjectsOf(image->Texture[0].PF);
    EXPECT_EQ(std::vector<bool>(4, true),
              (std::vector<bool>{objects.Texture != nullptr, objects.LevelSurface != nullptr,
                                 objects.RenderSurface != nullptr, objects.DepthSurface != nullptr}));
    ASSERT_EQ(0, Graphics_D3D9_ReleaseHandleObjects());
    const GraphicsBackendObjectData empty = {};
    EXPECT_EQ(0, memcmp(image->Texture[0].PF, &empty, sizeof(empty)));
    image->MultiSampleCount = 0;
    ASSERT_EQ(0, Graphics_D3D9_RecreateDeviceObjects());
    EXPECT_NE(nullptr, objects.Texture);
}

// ---- Handles -----------------------------------------------------------------------------------

TEST_F(D3D9Graphs, ShaderHandlesKeepTheirConstantCountOnlyFromATrueTable)
{
    EXPECT_EQ(300, GetShaderVersion());
    std::vector<unsigned char> code = WellFormedShaderCode();
    const struct
    {
        const char *Name;
        unsigned Count;  // the header's count
        int Want;
    } cases[] = {{"true", 2, 2}, {"lying", 0x40000000, 0}};
    for (const auto &c : cases) {
        PutShaderWord(code, 24, c.Count);
        const int handle = LoadPixelShaderFromMem(code.data(), (int)code.size());
        ASSERT_NE(-1, handle) << c.Name;
        ShaderHandleData *shader = GetTypedHandle<ShaderHandleData>(handle, DX_HANDLETYPE_SHADER, 0);
        EXPECT_EQ(c.Want, D3D9ShaderObjectsOf(shader)->ConstantNum) << c.Name;
        SubHandle(handle);
    }
}

TEST_F(D3D9Graphs, ShadowMapsAndBuffersGetAndGiveBackTheirObjects)
{
    ShadowMapHandleData map = {};
    GraphicsBackendObjectData part = {};
    map.PF = &part;
    map.BitDepth = 16;
    map.Width = map.Height = 64;
    ASSERT_EQ(0, Graphics_D3D9_SetupShadowMap(&map, 0));
    const D3D9TextureObjects &objects = *D3D9TextureObjectsOf(&part);
    const auto made = [&] {
        return std::vector<bool>{objects.Texture != nullptr, objects.RenderSurface != nullptr,
                                 objects.DepthSurface != nullptr};
    };
    EXPECT_EQ(std::vector<bool>(3, true), made());
    Graphics_D3D9_ShadowMap_Release(&map);
    EXPECT_EQ(std::vector<bool>(3, false), made());

    VertexBufferHandleData buffer = {};
    GraphicsBackendObjectData bufferPart = {};
    buffer.PF = &bufferPart;
    buffer.UnitSize = 4;
    buffer.Num = 4;
    const int data[4] = {1, 2, 3, 4};
    EXPECT_EQ(0, Graphics_D3D9_SetVertexBufferData(&buffer, 0, data, 4)) << "no device buffer yet";
    IDirect3DVertexBuffer9 *&device = D3D9VertexBufferObjectsOf(&buffer)->Buffer;
    ASSERT_EQ(D3D_OK, Direct3DDevice9_CreateVertexBuffer(16, 0, 0, D3DPOOL_SYSTEMMEM, &device, nullptr));
    EXPECT_EQ(0, Graphics_D3D9_SetVertexBufferData(&buffer, 1, data, 3));
    EXPECT_EQ(-1, Graphics_D3D9_SetVertexBufferData(&buffer, 2, data, 3)) << "past the handle's vertices";
    int got[4] = {};
    void *memory = nullptr;
    device->Lock(0, 16, &memory, D3DLOCK_READONLY);
    memcpy(got, memory, 16);
    device->Unlock();
    EXPECT_EQ(3, got[3]);
    Graphics_D3D9_VertexBuffer_Release((VertexBufferHandleData *)&buffer);
    EXPECT_EQ(nullptr, device);
}

// ---- Pure decisions --------------------------------------------------------------------------------

TEST(D3D9GraphPixels, DxtImagesAreConvertedUnlessTheTextureTakesTheirBlocks)
{
    const struct
    {
        int Hardware;
        unsigned Slot;
        int Kind, Want;
    } cases[] = {
        {1, D3D9FMT_DXT1, COLORDATA_FORMAT_DXT1, 0},      {1, D3D9FMT_DXT5, COLORDATA_FORMAT_DXT3, 1},
        {1, D3D9FMT_A8R8G8B8, COLORDATA_FORMAT_DXT1, 1},  {0, D3D9FMT_DXT1, COLORDATA_FORMAT_DXT1, 1},
        {1, D3D9FMT_A8R8G8B8, COLORDATA_FORMAT_PLAIN, 0},
    };
    for (const auto &c : cases) EXPECT_EQ(c.Want, D3D9DXTMustConvert(c.Hardware, c.Slot, c.Kind)) << c.Slot << c.Kind;
}

TEST(D3D9GraphPixels, FloatChannelsClampAndMissingOnesReadFull)
{
    COLORDATA half = {}, single = {};
    SetColorData(&half, 0, 0, 0, 0, 0, 1, 16, 1);
    SetColorData(&single, 0, 0, 0, 0, 0, 2, 32, 1);
    const uint16_t red = Float32ToFloat16(0.25f);
    const float rg[2] = {-3.0f, 1.0f};
    EXPECT_EQ(0xFF3FFFFFu, D3D9PixelToARGB(half, &red)) << "green and blue are missing";
    EXPECT_EQ(0xFF00FFFFu, D3D9PixelToARGB(single, rg));
}

}  // namespace
