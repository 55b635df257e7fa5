// The device objects of buffer, shader and graph handles against the fake: buffer ranges, shader
// creation and its rebuild, the depth buffer each draw target takes, and a screen-mode change whose
// restart fails.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

#include <string.h>

#include <memory>

#include "zovuz/d3d11/d3d11_internal.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_graph_piece_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/windows/d3d11_handle_objects_win.h"
#include "zovuz/d3d11/zovuz_d3d11.h"
#include "zovuz/graphics/draw_state_internal.h"

namespace {

template <typename Record>
int PointAtBackend(HandleInfo *Info)
{
    Record *record = reinterpret_cast<Record *>(Info);
    record->PF = &record->Backend;
    return 0;
}

// A graph record whose first piece has a texture and, when asked, a depth buffer of its own.
struct TestGraph
{
    int Handle = -1;
    GraphImageRecord Image = {};
    GraphTextureEntry Entry = {};
    GraphicsBackendObjectData Piece = {};
    ID3D11DepthStencilView *DepthViews[1] = {};
};

class HandleObjects : public FakeD3D11Test
{
protected:
    void SetUp() override
    {
        FakeD3D11Test::SetUp();
        InitializeHandleType(DX_HANDLETYPE_SHADER, sizeof(ShaderHandleData), 64, PointAtBackend<ShaderHandleData>,
                             [](HandleInfo *Info) {
                                 ShaderHandleData *shader = reinterpret_cast<ShaderHandleData *>(Info);
                                 Graphics_D3D11_Shader_Release(shader);
                                 DxFree(shader->FunctionCode);
                                 return 0;
                             },
                             L"Shader");
        InitializeHandleType(DX_HANDLETYPE_GRAPH, sizeof(GraphHandleData), 64, nullptr, nullptr, L"Graph");
        ASSERT_EQ(0, StartDrawing());
    }
    void TearDown() override
    {
        for (auto &graph : graphs_) {
            D3D11GraphTextureObjects &objects = *D3D11GraphObjects(graph->Entry);
            for (ID3D11Texture2D *texture : {objects.Texture, objects.DepthTexture})
                if (texture != nullptr) D3D11Texture2D_Release(texture);
            if (graph->DepthViews[0] != nullptr) D3D11DepthStencilView_Release(graph->DepthViews[0]);
        }
        graphs_.clear();
        GraphicsDrawSettings.UserDepthGraph = 0;
        GraphicsDrawSettings.RenderTarget[0] = 0;
        TerminateHandleType(DX_HANDLETYPE_SHADER);
        TerminateHandleType(DX_HANDLETYPE_GRAPH);
        GraphicsAPIType = GRAPHICS_API_SOFTWARE;
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, nullptr);
        FakeD3D11Test::TearDown();
    }
    // The back end registered and in use for the library's dispatch until the test ends.
    static void UseD3D11()
    {
        RegisterGraphicsHardwareFunctions(GRAPHICS_API_D3D11, GetGraphicsD3D11Functions());
        GraphicsAPIType = GRAPHICS_API_D3D11;
    }

    // A render-target graph of Width x Height; with OwnDepth its piece has a depth buffer.
    TestGraph *MakeGraph(int Width, int Height, bool OwnDepth)
    {
        auto graph = std::make_unique<TestGraph>();
        graph->Handle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
        GraphHandleData *record = GetTypedHandle<GraphHandleData>(graph->Handle, DX_HANDLETYPE_GRAPH, 0);
        record->Width = Width;
        record->Height = Height;
        record->Image = &graph->Image;
        graph->Image.TextureNum = 1;
        graph->Image.MipLevels = 1;
        graph->Image.Format.DrawValidFlag = 1;
        graph->Image.Texture = &graph->Entry;
        graph->Entry.PF = &graph->Piece;
        D3D11_TEXTURE2D_DESC desc = {};
        desc.Width = (UINT)Width;
        desc.Height = (UINT)Height;
        desc.MipLevels = desc.ArraySize = 1;
        desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        desc.SampleDesc.Count = 1;
        desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
        D3D11GraphTextureObjects &objects = *D3D11GraphObjects(graph->Entry);
        EXPECT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &objects.Texture));
        if (OwnDepth) {
            desc.Format = DXGI_FORMAT_D16_UNORM;
            desc.BindFlags = D3D11_BIND_DEPTH_STENCIL;
            ID3D11Texture2D *depth = nullptr;
            EXPECT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &depth));
            objects.DepthTexture = depth;
            EXPECT_EQ(S_OK, D3D11Device_CreateDepthStencilView(depth, nullptr, &graph->DepthViews[0]));
            objects.DepthViews = graph->DepthViews;
            objects.DepthViewNum = 1;
        }
        graphs_.push_back(std::move(graph));
        return graphs_.back().get();
    }

    std::vector<std::unique_ptr<TestGraph>> graphs_;
};

// A buffer with a 12-byte unit: a range of units reaches exactly its bytes; one beyond is refused.
TEST_F(HandleObjects, BufferDataReachesOnlyTheHandlesUnits)
{
    VertexBufferHandleData buffer = {};
    buffer.PF = &buffer.Backend;
    buffer.UnitSize = 12;
    buffer.Num = 10;
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = 120;
    desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
    ASSERT_EQ(S_OK, D3D11Device_CreateBuffer(&desc, nullptr, &D3D11BufferObjectsOf(&buffer)->Buffer));
    // The fake reads a box of a buffer as texels of four bytes: the source is made large enough.
    const uint8_t data[120 * 4] = {};
    struct Case
    {
        int Start, Num, Result;
        const char *Call;  // the upload made, or null for none
    } cases[] = {
        {2, 3, 0, "UpdateSubresource sub=0 box=24,0,60,1 pitch=0"},
        {0, 10, 0, "UpdateSubresource sub=0 box=0,0,120,1 pitch=0"},
        {8, 3, -1, nullptr},
        {11, 0, -1, nullptr},
        {-1, 2, -1, nullptr},
        {0, -1, -1, nullptr},
    };
    for (const Case &c : cases) {
        FakeD3D11.Calls.clear();
        EXPECT_EQ(c.Result, Graphics_D3D11_SetBufferData(&buffer, c.Start, data, c.Num)) << c.Start << "+" << c.Num;
        std::vector<std::string> expected;
        if (c.Call != nullptr) expected.push_back(c.Call);
        EXPECT_EQ(expected, FakeD3D11CallsStartingWith("UpdateSubresource")) << c.Start << "+" << c.Num;
    }
    EXPECT_EQ(0, Graphics_D3D11_VertexBuffer_Release(&buffer));
    EXPECT_EQ(nullptr, D3D11BufferObjectsOf(&buffer)->Buffer);
    EXPECT_EQ(-1, Graphics_D3D11_SetBufferData(&buffer, 0, data, 1));  // no buffer left
}

// A shader is made once its load is done, from a copy of its code kept for the next device.
TEST_F(HandleObjects, AShaderIsMadeOnceLoadedAndKeepsACopyOfItsCode)
{
    const int handle = AddHandle(DX_HANDLETYPE_SHADER, 1, -1);  // still loading
    ShaderHandleData *shader = GetTypedHandle<ShaderHandleData>(handle, DX_HANDLETYPE_SHADER, 1);
    ASSERT_NE(nullptr, shader);
    const uint8_t code[16] = {'D', 'X', 'B', 'C', 1, 2, 3, 4};
    FakeD3D11.Calls.clear();
    EXPECT_EQ(-1, Graphics_D3D11_CreateShaderHandle(shader, 0, code, sizeof(code), 0, 0));
    EXPECT_TRUE(FakeD3D11CallsStartingWith("CreatePixelShader").empty());
    DecASyncLoadCount(handle);

    ASSERT_EQ(0, Graphics_D3D11_CreateShaderHandle(shader, 0, code, sizeof(code), 0, 0));
    ASSERT_NE(nullptr, shader->FunctionCode);
    EXPECT_NE((const void *)code, shader->FunctionCode);  // a private copy
    EXPECT_EQ(0, memcmp(code, shader->FunctionCode, sizeof(code)));
    EXPECT_NE(nullptr, D3D11ShaderObjectsOf(shader)->Pixel);
    SubHandle(handle);
}

TEST_F(HandleObjects, TheShaderVersionFollowsTheFeatureLevel)
{
    const struct
    {
        int Level, Version;
    } rows[] = {{0x9300, 200}, {0xA000, 400}, {0xA100, 400}, {0xB000, 500}, {0xB100, 500}};
    for (const auto &row : rows) {
        Restart();
        D3D11CallLayer.Settings.MinFeatureLevel = 0x9100;
        FakeD3D11.MaxFeatureLevel = row.Level;
        ASSERT_EQ(0, StartDevice());
        EXPECT_EQ(row.Version, Graphics_D3D11_GetShaderVersion()) << std::hex << row.Level;
    }
    Graphics_D3D11_ReleaseDevice();
    EXPECT_EQ(0, Graphics_D3D11_GetShaderVersion());
}

// Which depth buffer a graph target takes: the user's depth graph only when it is at least as
// large, else the graph's own, else the screen's when the sizes match, else none.
TEST_F(HandleObjects, AGraphTargetTakesTheDepthBufferItsSizeAllows)
{
    const D3D11BufferData &b = D3D11Buffers;
    const int screenWidth = b.DepthBufferWidth, screenHeight = b.DepthBufferHeight;
    TestGraph *own = MakeGraph(64, 32, true);
    TestGraph *plain = MakeGraph(64, 32, false);
    TestGraph *screenSized = MakeGraph(screenWidth, screenHeight, false);
    TestGraph *bigDepth = MakeGraph(128, 64, true);
    TestGraph *smallDepth = MakeGraph(32, 32, true);
    struct Case
    {
        const char *Name;
        int Target;  // a graph, or the back screen of DrawWidth x 64
        TestGraph *Depth;
        ID3D11DepthStencilView *Expected;
        int DrawWidth;
    } cases[] = {
        {"a large depth graph is used", own->Handle, bigDepth, bigDepth->DepthViews[0]},
        {"a smaller one is not: the own buffer", own->Handle, smallDepth, own->DepthViews[0]},
        {"no depth graph: the own buffer", own->Handle, nullptr, own->DepthViews[0]},
        {"the screen's when the sizes match", screenSized->Handle, smallDepth, b.DepthBufferDSV},
        {"else none", plain->Handle, smallDepth, nullptr},
        {"a screen takes a depth graph of exactly its size", DX_SCREEN_BACK, bigDepth, bigDepth->DepthViews[0], 128},
        {"and its own at any other", DX_SCREEN_BACK, bigDepth, b.DepthBufferDSV, 129},
    };
    GraphicsDrawSettings.DrawSizeY = 64;
    for (const Case &c : cases) {
        GraphicsDrawSettings.RenderTarget[0] = c.Target;
        GraphicsDrawSettings.DrawSizeX = c.DrawWidth;
        GraphicsDrawSettings.UserDepthGraph = c.Depth != nullptr ? c.Depth->Handle : 0;
        EXPECT_EQ(0, Graphics_D3D11_SetupDepthBuffer());
        EXPECT_EQ(c.Expected, D3D11DeviceState.DepthStencilView) << c.Name;
    }
    Graphics_D3D11_DeviceState_SetDepthStencil(nullptr, nullptr);
}

TEST_F(HandleObjects, AFailedRestartReportsFailureAndRebuildsNothing)
{
    UseD3D11();
    const int handle = AddHandle(DX_HANDLETYPE_SHADER, 0, -1);
    ShaderHandleData *shader = GetTypedHandle<ShaderHandleData>(handle, DX_HANDLETYPE_SHADER, 0);
    const uint8_t code[16] = {'D', 'X', 'B', 'C'};
    ASSERT_EQ(0, Graphics_D3D11_CreateShaderHandle(shader, 1, code, sizeof(code), 0, 0));
    FakeD3D11.Fail["D3D11CreateDevice"] = E_FAIL;
    FakeD3D11.Calls.clear();
    EXPECT_EQ(-1, Graphics_D3D11_ChangeScreenMode(1, 320, 240, 32, 60));
    EXPECT_TRUE(FakeD3D11CallsStartingWith("CreateVertexShader").empty());
    EXPECT_EQ(nullptr, D3D11ShaderObjectsOf(shader)->Vertex);
    EXPECT_EQ(0, D3D11Device_IsValid());
    EXPECT_EQ(320, GraphicsScreenSettings.MainScreenWidth);
    FakeD3D11.Fail.clear();
    SubHandle(handle);
    GraphicsScreenSettings.MainScreenWidth = GraphicsScreenSettings.MainScreenHeight = 0;
}

// Before a new device every handle's objects go; after it each is made again, a buffer refilled
// from its system copy and a shadow map set up anew.
TEST_F(HandleObjects, EveryHandleKindIsReleasedAndMadeAgain)
{
    UseD3D11();
    InitializeHandleType(DX_HANDLETYPE_VERTEX_BUFFER, sizeof(VertexBufferHandleData), 8,
                         InitializeVertexIndexBufferHandle, nullptr, L"VertexBuffer");
    InitializeHandleType(DX_HANDLETYPE_INDEX_BUFFER, sizeof(IndexBufferHandleData), 8,
                         InitializeVertexIndexBufferHandle, nullptr, L"IndexBuffer");
    InitializeHandleType(DX_HANDLETYPE_SHADOWMAP, sizeof(ShadowMapHandleData), 8, InitializeShadowMapHandle, nullptr,
                         L"ShadowMap");
    uint8_t vertices[4 * 12 * 4] = {1, 2, 3};
    const int vertexHandle = AddHandle(DX_HANDLETYPE_VERTEX_BUFFER, 0, -1);
    auto *vertex = GetTypedHandle<VertexBufferHandleData>(vertexHandle, DX_HANDLETYPE_VERTEX_BUFFER, 0);
    *vertex = {vertex->Info, 12, 4, vertices, vertex->PF, {}};
    uint16_t indices[6 * 4] = {0, 1, 2, 2, 1, 3};
    const int indexHandle = AddHandle(DX_HANDLETYPE_INDEX_BUFFER, 0, -1);
    auto *index = GetTypedHandle<IndexBufferHandleData>(indexHandle, DX_HANDLETYPE_INDEX_BUFFER, 0);
    *index = {index->Info, 2, 6, indices, index->PF, {}};
    const int mapHandle = AddHandle(DX_HANDLETYPE_SHADOWMAP, 0, -1);
    auto *map = GetTypedHandle<ShadowMapHandleData>(mapHandle, DX_HANDLETYPE_SHADOWMAP, 0);
    map->Width = map->Height = 64;
    map->BitDepth = 16;
    ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(map, 0));
    const int shaderHandle = AddHandle(DX_HANDLETYPE_SHADER, 0, -1);
    auto *shader = GetTypedHandle<ShaderHandleData>(shaderHandle, DX_HANDLETYPE_SHADER, 0);
    const uint8_t code[8] = {'D', 'X', 'B', 'C'};
    ASSERT_EQ(0, Graphics_D3D11_CreateShaderHandle(shader, 0, code, sizeof(code), 0, 0));

    // Whether each handle has its object: the two buffers, the map's colour texture, the shader.
    const auto made = [&] {
        return std::vector<bool>{D3D11BufferObjectsOf(vertex)->Buffer != nullptr,
                                 D3D11BufferObjectsOf(index)->Buffer != nullptr,
                                 D3D11ShadowMapObjectsOf(map)->ColorTexture != nullptr,
                                 D3D11ShaderObjectsOf(shader)->Pixel != nullptr};
    };
    const std::vector<bool> all(4, true);
    ASSERT_EQ(0, Graphics_D3D11_RecreateHandleBuffers());
    EXPECT_EQ(all, made());  // vertex and index buffers are made here the first time
    ASSERT_EQ(0, Graphics_D3D11_ReleaseHandleDeviceObjects());
    const GraphicsBackendObjectData empty = {};  // every record of a part is empty when all its bytes are 0
    for (const GraphicsBackendObjectData *part : {vertex->PF, index->PF, map->PF, shader->PF})
        EXPECT_EQ(0, memcmp(part, &empty, sizeof(empty)));
    FakeD3D11.Calls.clear();
    ASSERT_EQ(0, Graphics_D3D11_RecreateHandleBuffers());
    EXPECT_EQ(all, made());
    EXPECT_EQ((std::vector<std::string>{"CreateBuffer bytes=48 bind=0x1 usage=0", "CreateBuffer bytes=12 bind=0x2 usage=0"}),
              FakeD3D11CallsStartingWith("CreateBuffer"));
    EXPECT_EQ((std::vector<std::string>{"UpdateSubresource sub=0 box=0,0,48,1 pitch=0",
                                        "UpdateSubresource sub=0 box=0,0,12,1 pitch=0"}),
              FakeD3D11CallsStartingWith("UpdateSubresource"));

    // An object that cannot be made is told and left empty; the others are still made.
    const struct
    {
        const char *Call;
        std::vector<std::wstring> Lines;
        std::vector<bool> Made;  // as made()
    } failures[] = {
        {"CreateBuffer",
         {L"頂点バッファハンドル用の頂点バッファの作成に失敗しました",
          L"インデックスバッファハンドル用のインデックスバッファの作成に失敗しました"},
         {false, false, true, true}},
        {"CreatePixelShader",
         {L"ピクセルシェーダーハンドル用のピクセルシェーダーの作成に失敗しました"},
         {true, true, true, false}},
    };
    for (const auto &f : failures) {
        SCOPED_TRACE(f.Call);
        Graphics_D3D11_ReleaseHandleDeviceObjects();
        FakeD3D11.Fail[f.Call] = E_OUTOFMEMORY;
        ASSERT_EQ(0, Graphics_D3D11_RecreateHandleBuffers());
        FakeD3D11.Fail.clear();
        for (const std::wstring &line : f.Lines) EXPECT_TRUE(Logged(line));
        EXPECT_EQ(f.Made, made());
    }

    Graphics_D3D11_ReleaseHandleDeviceObjects();
    SubHandle(shaderHandle);
    for (int type : {DX_HANDLETYPE_VERTEX_BUFFER, DX_HANDLETYPE_INDEX_BUFFER, DX_HANDLETYPE_SHADOWMAP})
        TerminateHandleType(type);
}

// A release flags the decoder surface of every graph that shows a movie, and of no other graph.
std::vector<int> RefreshedMovies;

TEST_F(HandleObjects, AReleaseFlagsTheSurfaceOfEveryMovieGraph)
{
    UseD3D11();
    MovieFunctions movies = {};
    movies.RefreshMovieSurface = [](int Movie) {
        RefreshedMovies.push_back(Movie);
        return 0;
    };
    RegisterMovieFunctions(&movies);
    RefreshedMovies.clear();
    const int movieHandles[] = {-1, 0x18010002, -1, 0x18020005};
    for (int movie : movieHandles)
        GetTypedHandle<GraphHandleData>(MakeGraph(16, 16, false)->Handle, DX_HANDLETYPE_GRAPH, 0)->MovieHandle = movie;

    ASSERT_EQ(0, Graphics_D3D11_ReleaseHandleDeviceObjects());
    EXPECT_EQ((std::vector<int>{0x18010002, 0x18020005}), RefreshedMovies);

    RegisterMovieFunctions(nullptr);
}

}  // namespace
