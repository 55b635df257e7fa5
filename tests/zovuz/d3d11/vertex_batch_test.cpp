// The input layouts and the vertex batch against the recording fake: the colour-order rewrite of
// the layouts, the flush that draws, empties and maps again, and a batch that cannot be mapped.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "zovuz/core/library_state_internal.h"
#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"

namespace {

using VertexBatch = FakeD3D11DrawingTest;

TEST_F(VertexBatch, WithTheColourOrderFlagEveryColourElementIsB8G8R8A8)
{
    EXPECT_TRUE(Logged(L"各種 ID3D11InputLayout の作成.... 成功"));
    EXPECT_EQ(9, D3D11_GetObjectCount(D3D11_OBJECT_INPUT_LAYOUT));
    // The fake device grants 11_1, whose colours are B8G8R8A8.
    ASSERT_EQ(1, GraphicsDeviceCaps.VertexColorBGRAFlag);
    int colors = 0;
    for (const D3D11VertexFormatInfo &format : D3D11VertexFormats)
        for (int i = 0; i < D3D11VertexElementCount(format.Element); ++i) {
            if (strcmp(format.Element[i].SemanticName, "COLOR") != 0) continue;
            EXPECT_EQ(D3D11FMT_B8G8R8A8_UNORM, format.Element[i].Format) << format.ShaderFileName;
            ++colors;
        }
    EXPECT_EQ(10, colors);

    // Made again, the table is found rewritten; a failure keeps the layouts made so far.
    FakeD3D11.Fail["CreateInputLayout"] = E_INVALIDARG;
    FakeD3D11.FailFrom["CreateInputLayout"] = 9;
    EXPECT_EQ(-1, Graphics_D3D11_CreateInputLayouts());
    EXPECT_TRUE(LoggedWithin(L"テクスチャ座標8個の単純転送用の ID3D11InputLayout の作成に失敗"));
    EXPECT_EQ(8, D3D11_GetObjectCount(D3D11_OBJECT_INPUT_LAYOUT));
}

TEST_F(VertexBatch, AFlushDrawsEmptiesAndMapsAgain)
{
    const struct
    {
        const char *name;
        int vertices, libraryEnd, next3D;
        int draws, flag3D;
    } cases[] = {
        {"pending vertices are drawn", 6, 0, -1, 1, 0},
        {"an empty batch draws nothing", 0, 0, -1, 0, 0},
        {"at the library's end the batch is discarded", 6, 1, -1, 0, 0},
        {"the argument sets the next batch's 3-D flag", 3, 0, 1, 1, 1},
        {"a negative argument keeps it", 0, 0, -1, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeD3D11.CallCount.clear();
        if (c.vertices > 0) AddPendingVertices(c.vertices);
        LibraryState.LibraryEnd = c.libraryEnd;
        EXPECT_EQ(0, Graphics_D3D11_RenderVertexBuffer(c.next3D, 0));
        LibraryState.LibraryEnd = 0;
        EXPECT_EQ(c.draws, FakeD3D11Count("Draw"));
        EXPECT_EQ(c.draws, FakeD3D11Count("Unmap"));
        EXPECT_EQ(c.draws, FakeD3D11Count("Map"));  // mapped again only after an unmap
        EXPECT_EQ(0, D3D11Batch.Count);
        EXPECT_EQ(c.flag3D, D3D11Batch.Flag3D);
        EXPECT_NE(nullptr, D3D11Batch.Write);
        EXPECT_EQ(D3D11Batch.Mapped, D3D11Batch.Write);
    }
    // A 3-D batch of kind 2 draws as VERTEX_NOTEX_2D, with the base shader and stride of that format.
    D3D11Batch.Kind = 2;
    AddPendingVertices(3);  // an append to a 3-D batch draws it and goes back to 2-D
    EXPECT_EQ(0, D3D11Batch.Flag3D);
    D3D11Batch.Flag3D = 1;
    D3D11Batch.Count = 3;
    Graphics_D3D11_RenderVertexBuffer(0, 0);
    EXPECT_EQ(D3D11InputLayouts.Layout[D3D11_VERTEX_NOTEX_2D], D3D11DeviceState.InputLayout);
    EXPECT_EQ(D3D11StandardShaders.Vertex[D3D11_VERTEX_NOTEX_2D], D3D11DeviceState.VertexShader);
    EXPECT_EQ(20u, D3D11DeviceState.VertexStride);

    // An empty flush of an unmapped buffer still maps it.
    D3D11DeviceContext_Unmap_ASync(D3D11Batch.Buffer, 0, 0);
    D3D11Batch.Mapped = D3D11Batch.Write = nullptr;
    FakeD3D11.CallCount.clear();
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    EXPECT_EQ(1, FakeD3D11Count("Map"));
    EXPECT_EQ(0, FakeD3D11Count("Draw"));
    EXPECT_NE(nullptr, D3D11Batch.Write);
}

TEST_F(VertexBatch, AFailedMapDropsAppendsUntilTheNextFlushMaps)
{
    AddPendingVertices(3);
    FakeD3D11.Fail["Map"] = E_OUTOFMEMORY;
    EXPECT_EQ(0, Graphics_D3D11_RenderVertexBuffer(-1, 0));
    EXPECT_EQ(1, FakeD3D11Count("Draw"));
    EXPECT_EQ(nullptr, D3D11Batch.Write);
    const unsigned char vertices[28 * 3] = {};
    EXPECT_EQ(-1, Graphics_D3D11_AppendBatchVertices(vertices, 3, D3D11Batch.Topology));
    EXPECT_EQ(0, D3D11Batch.Count);
    EXPECT_EQ(0, Graphics_D3D11_RenderVertexBuffer(-1, 0));  // still failing: nothing to draw
    EXPECT_EQ(1, FakeD3D11Count("Draw"));

    FakeD3D11.Fail.clear();
    EXPECT_EQ(0, Graphics_D3D11_RenderVertexBuffer(-1, 0));
    EXPECT_EQ(0, Graphics_D3D11_AppendBatchVertices(vertices, 3, D3D11Batch.Topology));
    EXPECT_EQ(3, D3D11Batch.Count);
}

TEST_F(VertexBatch, AppendsBreakTheBatchOnTopologyAndCapacity)
{
    // VERTEX2D: 2340 fit; a batch that would reach the capacity is drawn first.
    const std::vector<unsigned char> vertices(28 * 6);
    for (int i = 0; i < 389; ++i)
        ASSERT_EQ(0, Graphics_D3D11_AppendBatchVertices(vertices.data(), 6, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST));
    EXPECT_EQ(0, FakeD3D11Count("Draw"));
    EXPECT_EQ(2334, D3D11Batch.Count);
    FakeD3D11.Calls.clear();
    ASSERT_EQ(0, Graphics_D3D11_AppendBatchVertices(vertices.data(), 6, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST));
    EXPECT_EQ(std::vector<std::string>({"Draw 2334 0"}), FakeD3D11CallsStartingWith("Draw"));
    // A batch that filled the buffer is followed by a discard; the next batch follows the drawn one
    // in the same buffer, mapped without overwriting it.
    ASSERT_EQ(0, Graphics_D3D11_AppendBatchVertices(vertices.data(), 2, D3D11_PRIMITIVE_TOPOLOGY_LINELIST));
    EXPECT_EQ(std::vector<std::string>({"Draw 2334 0", "Draw 6 0"}), FakeD3D11CallsStartingWith("Draw"));
    EXPECT_EQ(std::vector<std::string>({"Map obj 0 5 0", "Map obj 0 4 0", "Map obj 0 5 0"}),
              FakeD3D11CallsStartingWith("Map"));
    EXPECT_EQ(2, D3D11Batch.Count);
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    EXPECT_EQ("Draw 2 6", FakeD3D11CallsStartingWith("Draw").back());
}

}  // namespace
