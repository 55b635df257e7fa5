// 3-D drawing against the recording fake: a VERTEX3D draw through the common buffer binds the
// shader pair its draw state asks for, made on first use, and is refused without a Draw when a
// shader cannot be made; the 3-D pack stays packed until the first 3-D draw and is expanded once
// however many threads ask; shadow maps get their objects by format, and the shadow constants
// describe full and empty slots.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/zovuz/d3d11/d3d11_fixture.h"
#include "zovuz/d3d11/draw/windows/d3d11_3d_draw_win.h"
#include "zovuz/d3d11/state/windows/d3d11_buffers_win.h"
#include "zovuz/d3d11/state/windows/d3d11_device_state_win.h"
#include "zovuz/d3d11/shader/windows/d3d11_shader_win.h"
#include "zovuz/d3d11/texture/windows/d3d11_shadow_map_win.h"
#include "zovuz/d3d11/draw/windows/d3d11_vertex_batch_win.h"
#include "zovuz/graphics/draw_state_internal.h"

namespace {

const unsigned char Triangle[3 * 48] = {};

class ThreeDDraw : public FakeD3D11DrawingTest
{
protected:
    void SetUp() override
    {
        Graphics_D3D11_ReleaseShaderPack();  // as in a fresh process: nothing expanded
        FakeD3D11DrawingTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(0, InitializeHandleType(DX_HANDLETYPE_SHADOWMAP, sizeof(ShadowMapHandleData), 8,
                                          InitializeShadowMapHandle, nullptr, L"ShadowMap"));
        GraphicsShadowMapSettings = GraphicsShadowMapSettingsData();
        GraphicsLightState.ActiveNum = 0;
        D3D11ThreeDShaderSettings.PixelLightingFlag = 0;
    }
    void TearDown() override
    {
        for (int handle : maps_) Graphics_D3D11_ShadowMap_Release(GetShadowMapEntry(handle, 0));
        TerminateHandleType(DX_HANDLETYPE_SHADOWMAP);
        GraphicsShadowMapSettings = GraphicsShadowMapSettingsData();
        GraphicsLightState.ActiveNum = 0;
        FakeD3D11Test::TearDown();
    }
    // Lights 0.. of the given types, enabled, with lighting on.
    void Lights(std::vector<int> Types)
    {
        Graphics_D3D11_SetUseLighting(1);
        for (int i = 0; i < (int)Types.size(); i++) {
            LIGHTPARAM light = {};
            light.LightType = Types[i];
            light.Range = 100;
            light.Attenuation0 = 1;
            ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightParam(i, &light));
            ASSERT_EQ(0, Graphics_D3D11_DeviceState_SetLightEnable(i, 1));
        }
    }
    ShadowMapHandleData *NewMap(int FloatFlag, int BitDepth, int *Handle = nullptr)
    {
        int handle = AddHandle(DX_HANDLETYPE_SHADOWMAP, 0, -1);
        maps_.push_back(handle);
        ShadowMapHandleData *map = GetShadowMapEntry(handle, 0);
        map->FloatFormatFlag = FloatFlag;
        map->BitDepth = BitDepth;
        map->Width = 64;
        map->Height = 32;
        if (Handle != nullptr) *Handle = handle;
        return map;
    }
    // The group of the 3-D slot whose object is bound, or -1.
    static int BoundGroup(bool Vertex)
    {
        const D3D11DeviceStateCache &s = D3D11DeviceState;
        for (int slot = 0; slot < D3D11_3D_PACK_SLOTS; slot++) {
            const void *object = Vertex ? (const void *)D3D11StandardShaders.ThreeDVertex[slot]
                                        : (const void *)D3D11StandardShaders.ThreeDPixel[slot];
            if (object == nullptr || object != (Vertex ? (const void *)s.VertexShader : (const void *)s.PixelShader))
                continue;
            for (int group = 0; group < D3D11_3D_SHADER_GROUP_NUM; group++)
                if (slot >= D3D11ThreeDShaderGroups[group].FirstSlot &&
                    slot < D3D11ThreeDShaderGroups[group].FirstSlot + D3D11ThreeDShaderGroups[group].Count)
                    return group;
        }
        return -1;
    }
    static const float *Floats(D3D11StandardConstantBuffer Which, int Offset)
    {
        return (const float *)((const char *)D3D11Buffers.Standard[Which]->SystemCopy + Offset);
    }

    std::vector<int> maps_;
};

TEST_F(ThreeDDraw, AVertex3DDrawBindsThePairOfItsDrawState)
{
    const int Directional = DX_LIGHTTYPE_DIRECTIONAL, Point = DX_LIGHTTYPE_POINT;
    const struct {
        const char *What;
        std::vector<int> Lights;
        int PixelFlag, ShadowMapDraw, ShadowSlot;
        int VertexGroup, PixelGroup;
        int ShadowIndex;  // the pixel shader's shadow term, -1 = not checked
    } Cases[] = {
        {"2 lights, no per-pixel flag", {Directional, Directional}, 0, 0, 0, D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
         D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL, 0},
        {"2 lights with the device's flag", {Directional, Point}, 1, 0, 0, D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX,
         D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL, -1},
        {"4 lights", {Directional, Directional, Point, Point}, 0, 0, 0, D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX,
         D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL, -1},
        {"drawing into a shadow map", {Directional}, 1, 1, 0, D3D11_3D_GROUP_SHADOW_MAP_VERTEX,
         D3D11_3D_GROUP_SHADOW_MAP_PIXEL, -1},
        {"lighting off", {}, 0, 0, 0, D3D11_3D_GROUP_UNLIT_VERTEX, D3D11_3D_GROUP_UNLIT_PIXEL, -1},
        {"a shadow map in slot 1", {Directional}, 0, 0, 1, D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
         D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL, 1},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        Restart();
        Lights(Case.Lights);
        if (Case.Lights.empty()) Graphics_D3D11_SetUseLighting(0);
        D3D11ThreeDShaderSettings.PixelLightingFlag = Case.PixelFlag;
        GraphicsShadowMapSettings.DrawFlag = Case.ShadowMapDraw;
        if (Case.ShadowSlot > 0) {
            int handle;
            ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(NewMap(0, 16, &handle), 0));
            GraphicsShadowMapSettings.Slot[Case.ShadowSlot] = handle;
        }
        const int vertexShaders = D3D11_GetObjectCount(D3D11_OBJECT_VERTEX_SHADER);
        const int pixelShaders = D3D11_GetObjectCount(D3D11_OBJECT_PIXEL_SHADER);

        ASSERT_EQ(0, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, Triangle,
                                                      3, 1));
        EXPECT_EQ(Case.VertexGroup, BoundGroup(true));
        EXPECT_EQ(Case.PixelGroup, BoundGroup(false));
        EXPECT_EQ(D3D11InputLayouts.Layout[D3D11_VERTEX3D], D3D11DeviceState.InputLayout);
        EXPECT_EQ(48u, D3D11DeviceState.VertexStride);
        EXPECT_EQ(std::vector<std::string>{"Draw 3 0"}, FakeD3D11CallsStartingWith("Draw"));
        if (Case.ShadowIndex >= 0) {
            int slot = 0;
            while (D3D11StandardShaders.ThreeDPixel[slot] != D3D11DeviceState.PixelShader) slot++;
            const int index = slot - D3D11ThreeDShaderGroups[Case.PixelGroup].FirstSlot;
            EXPECT_EQ(Case.ShadowIndex, index / (2 * 7 * D3D11_LIGHT3B_NUM));
        }
        // Only the two shaders drawn with became objects; drawn again, nothing is made or bound.
        EXPECT_EQ(vertexShaders + 1, D3D11_GetObjectCount(D3D11_OBJECT_VERTEX_SHADER));
        EXPECT_EQ(pixelShaders + 1, D3D11_GetObjectCount(D3D11_OBJECT_PIXEL_SHADER));
        const int binds = FakeD3D11Count("VSSetShader") + FakeD3D11Count("PSSetShader");
        ASSERT_EQ(0, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, Triangle,
                                                      3, 1));
        EXPECT_EQ(binds, FakeD3D11Count("VSSetShader") + FakeD3D11Count("PSSetShader"));
        EXPECT_EQ(pixelShaders + 1, D3D11_GetObjectCount(D3D11_OBJECT_PIXEL_SHADER));
    }
}

TEST_F(ThreeDDraw, A2DDrawAfterA3DDrawTakesItsOwnShadersBack)
{
    GraphicsDrawSettings = GraphicsDrawSettingsData();
    Graphics_D3D11_PrepareDraw(D3D11_PREPARE_UNTEXTURED);
    Lights({DX_LIGHTTYPE_DIRECTIONAL});
    // Twice, so that the second 3-D draw changes nothing of the draw state but its shaders.
    for (int i = 0; i < 2; i++) {
        Graphics_D3D11_PrepareDraw(D3D11_PREPARE_UNTEXTURED | D3D11_PREPARE_LIGHTING);
        ASSERT_EQ(0, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, Triangle,
                                                      3, 1));
    }
    ASSERT_NE(-1, BoundGroup(false));
    // The 2-D primitive prepares again, as the dirty flag asks, and its batch draws with the
    // standard shaders.
    ASSERT_EQ(1, D3D11DeviceState.DrawStateDirtyFlag);
    Graphics_D3D11_PrepareDraw(D3D11_PREPARE_UNTEXTURED | D3D11_PREPARE_LIGHTING);
    AddPendingVertices();
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    const D3D11BaseShaderGroupInfo &untextured = D3D11BaseShaderGroups[D3D11_GROUP_UNTEXTURED_PIXEL];
    bool standard = false;
    for (int slot = untextured.FirstSlot; slot < untextured.FirstSlot + untextured.Count; slot++)
        standard = standard || D3D11StandardShaders.Pixel[slot] == D3D11DeviceState.PixelShader;
    EXPECT_TRUE(standard);
    EXPECT_EQ(D3D11StandardShaders.Vertex[D3D11BaseShaderGroups[D3D11_GROUP_BASE_VERTEX].FirstSlot + D3D11Batch.Kind],
              D3D11DeviceState.VertexShader);
    GraphicsDrawSettings = GraphicsDrawSettingsData();
}

TEST_F(ThreeDDraw, ADrawWhoseShaderOrBufferCannotBeMadeIsRefused)
{
    const struct {
        const char *Method;
        std::wstring Line;  // empty: not checked
    } Cases[] = {
        {"CreateVertexShader", L"Graphics_D3D11_Shader_Normal3DDraw_Setup で頂点シェーダーの作成に失敗しました"},
        {"CreatePixelShader", L"Graphics_D3D11_Shader_Normal3DDraw_Setup でピクセルシェーダーの作成に失敗しました"},
        {"CreateBuffer", L""},
        {"Map", L""},
    };
    const unsigned short Indices[3] = {0, 1, 2};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Method);
        Restart();
        Lights({DX_LIGHTTYPE_DIRECTIONAL});
        FakeD3D11.Fail[Case.Method] = Case.Line.empty() ? E_OUTOFMEMORY : E_INVALIDARG;
        EXPECT_EQ(-1, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, Triangle,
                                                       3, 1));
        EXPECT_TRUE(Case.Line.empty() || Logged(Case.Line));
        EXPECT_EQ(-1, Graphics_D3D11_CommonBuffer_DrawIndexed(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
                                                              Triangle, 3, Indices, 3, DXGI_FORMAT_R16_UINT, 1));
        EXPECT_EQ(0, FakeD3D11Count("Draw") + FakeD3D11Count("DrawIndexed"));
        FakeD3D11.Fail.clear();
    }

    // A 3-D pack that does not expand: logged, nothing kept, and the draw refused.
    Restart();
    Lights({DX_LIGHTTYPE_DIRECTIONAL});
    const PackedTextData builtIn = D3D11ShaderPack3D;
    unsigned char damaged[] = {0x7F, 0x7F, 0x7F, 0x7F, 0x0F, 1, 2, 3};  // announces far more than it holds
    D3D11ShaderPack3D = {damaged, sizeof damaged, -1};
    EXPECT_EQ(-1, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, Triangle,
                                                   3, 1));
    D3D11ShaderPack3D = builtIn;
    EXPECT_TRUE(Logged(L"シェーダーパック 3D のデータが壊れているため展開できません"));
    EXPECT_EQ(0, D3D11ShaderPack.ThreeDLoadedFlag);
    EXPECT_EQ(nullptr, D3D11ShaderPack.ThreeDMemory);
    EXPECT_EQ(0, FakeD3D11Count("Draw"));
}

TEST_F(ThreeDDraw, IndexedDrawsTakeTheirIndicesInEitherSize)
{
    const unsigned short Short[3] = {2, 1, 0};
    const unsigned int Long[3] = {2, 1, 0};
    EXPECT_EQ(0, Graphics_D3D11_CommonBuffer_DrawIndexed(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
                                                         Triangle, 3, Short, 3, DXGI_FORMAT_R16_UINT, 1));
    EXPECT_EQ(DXGI_FORMAT_R16_UINT, D3D11DeviceState.IndexFormat);
    EXPECT_EQ(0, Graphics_D3D11_CommonBuffer_DrawIndexed(D3D11_VERTEX_2D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
                                                         Triangle, 3, Long, 3, DXGI_FORMAT_R32_UINT, 1));
    EXPECT_EQ(DXGI_FORMAT_R32_UINT, D3D11DeviceState.IndexFormat);
    EXPECT_EQ(D3D11Buffers.CommonIndexBuffer, D3D11DeviceState.IndexBuffer);
    EXPECT_EQ(2, FakeD3D11Count("DrawIndexed"));
    EXPECT_EQ(-1, Graphics_D3D11_CommonBuffer_DrawIndexed(D3D11_VERTEX_2D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
                                                          Triangle, 3, Short, 3, DXGI_FORMAT_R8_UINT, 1));
    EXPECT_EQ(-1, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX_FORMAT_NUM, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
                                                   Triangle, 3, 1));
    EXPECT_EQ(2, FakeD3D11Count("DrawIndexed"));
    EXPECT_EQ(0, FakeD3D11Count("Draw"));
}

TEST_F(ThreeDDraw, The3DPackStaysPackedUntilTheFirst3DDraw)
{
    const int size = GetTotalAllocSize();
    Graphics_D3D11_RenderVertexBuffer(-1, 0);
    EXPECT_EQ(size, GetTotalAllocSize());
    EXPECT_EQ(nullptr, D3D11ShaderPack.ThreeDMemory);
    Lights({DX_LIGHTTYPE_DIRECTIONAL});
    ASSERT_EQ(0, Graphics_D3D11_CommonBuffer_Draw(D3D11_VERTEX3D, D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST, Triangle, 3,
                                                  1));
    EXPECT_NE(nullptr, D3D11ShaderPack.ThreeDMemory);
    EXPECT_GT(GetTotalAllocSize(), size);
    // The end frees it.
    Graphics_D3D11_Terminate();
    EXPECT_EQ(nullptr, D3D11ShaderPack.ThreeDMemory);
    EXPECT_EQ(0, D3D11ShaderPack.ThreeDLoadedFlag);
}

TEST_F(ThreeDDraw, ThreadsAskingAtOnceExpandThePackOnce)
{
    const int blocks = GetAllocNum();
    int results[4] = {};
    std::vector<std::thread> threads;
    for (int &result : results) threads.emplace_back([&result] { result = Graphics_D3D11_Load3DShaderPack(); });
    for (std::thread &thread : threads) thread.join();
    for (int result : results) EXPECT_EQ(1, result);
    EXPECT_EQ(blocks + 1, GetAllocNum());
    EXPECT_NE(0u, D3D11ShaderPack.ThreeD[D3D11_3D_PACK_SLOTS - 1].Size);
}

// How many of a shadow map's five objects exist.
int MadeObjects(const ShadowMapHandleData *Map)
{
    const D3D11ShadowMapObjects &o = *D3D11ShadowMapObjectsOf(Map);
    return (o.ColorTexture != nullptr) + (o.View != nullptr) + (o.Target != nullptr) + (o.DepthTexture != nullptr) +
           (o.DepthView != nullptr);
}

TEST_F(ThreeDDraw, ShadowMapsGetTheirObjectsByFormat)
{
    const struct {
        int FloatFlag, BitDepth;
        int ColorSlot, DepthIndex;
    } Cases[] = {{1, 16, 41, 0}, {0, 16, 40, 0}, {1, 32, 42, 2}, {0, 24, 42, 2}};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.ColorSlot);
        ForgetCalls();
        ShadowMapHandleData *map = NewMap(Case.FloatFlag, Case.BitDepth);
        ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(map, 0));
        const std::vector<std::string> textures = {
            "CreateTexture2D 64x32 fmt=" + std::to_string(D3D11FormatTable.DepthTexture[Case.DepthIndex]) +
                " bind=0x40 samples=1",
            "CreateTexture2D 64x32 fmt=" + std::to_string(D3D11FormatTable.Format[Case.ColorSlot]) +
                " bind=0x28 samples=1"};
        EXPECT_EQ(textures, FakeD3D11CallsStartingWith("CreateTexture2D"));
        EXPECT_EQ(std::vector<std::string>{"CreateDepthStencilView fmt=" +
                                           std::to_string(D3D11FormatTable.DepthView[Case.DepthIndex])},
                  FakeD3D11CallsStartingWith("CreateDepthStencilView"));
        EXPECT_EQ(5, MadeObjects(map));

        const size_t calls = FakeD3D11.Calls.size();
        ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(map, 0));  // a second set-up makes nothing
        EXPECT_EQ(calls, FakeD3D11.Calls.size());
        Graphics_D3D11_ShadowMap_Release(map);
        EXPECT_EQ(0, MadeObjects(map));
    }

    // The device's release takes the objects of every map that still has them.
    ShadowMapHandleData *kept = NewMap(0, 16);
    ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(kept, 0));
    D3D11FormatTable.Format[PIXEL_FORMAT_TARGET_ONE_F32] = 0;
    EXPECT_EQ(-1, Graphics_D3D11_SetupShadowMap(NewMap(1, 32), 0));
    EXPECT_TRUE(Logged(L"シャドウマップデータ用のフォーマットで作成できるテクスチャフォーマットがありませんでした"));
    Graphics_D3D11_ReleaseDevice();
    EXPECT_EQ(0, MadeObjects(kept));
    EXPECT_EQ(0, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
}

TEST_F(ThreeDDraw, ShadowConstantsDescribeFullAndEmptySlots)
{
    int handle;
    ShadowMapHandleData *map = NewMap(1, 16, &handle);
    ASSERT_EQ(0, Graphics_D3D11_SetupShadowMap(map, 0));
    for (int row = 0; row < 4; row++)
        for (int column = 0; column < 4; column++) map->ViewProjectionMatrix.m[row][column] = (float)(row * 4 + column);
    GraphicsShadowMapSettings.Slot[1] = handle;
    // Two lights: the first uses slot 1, the second does not.
    LightHandleData lights[2] = {};
    lights[0].ShadowMapSlotFlag[1] = 1;
    GraphicsLightState.Active[0] = &lights[0];
    GraphicsLightState.Active[1] = &lights[1];
    GraphicsLightState.ActiveNum = 2;

    Graphics_D3D11_UpdateShadowMapParams();
    Graphics_D3D11_UpdateShadowMapMatrices();

    const struct {
        int Slot;
        float Params[5];
    } Params[] = {{0, {1, 0, 1, 1, 1}}, {1, {0.002f, 0.0007f, 1, 0, 1}}, {2, {1, 0, 1, 1, 1}}};
    for (const auto &Entry : Params) {
        SCOPED_TRACE(Entry.Slot);
        const float *got = Floats(D3D11_SCB_PIXEL_SLOT2, Entry.Slot * 32);
        EXPECT_EQ(std::vector<float>(Entry.Params, Entry.Params + 5), std::vector<float>(got, got + 5));
        const float *rows = Floats(D3D11_SCB_VERTEX_SLOT3, Entry.Slot * 64);
        for (int row = 0; row < 4; row++)
            for (int column = 0; column < 4; column++) {
                const float empty = column == 3 ? -1.0f : 0.0f;
                EXPECT_EQ(Entry.Slot == 1 ? (float)(column * 4 + row) : empty, rows[row * 4 + column]);
            }
    }
    EXPECT_EQ(1u, D3D11Buffers.Standard[D3D11_SCB_PIXEL_SLOT2]->Dirty);
    EXPECT_EQ(1u, D3D11Buffers.Standard[D3D11_SCB_VERTEX_SLOT3]->Dirty);
}

}  // namespace
