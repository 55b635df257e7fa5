// The call layer against the fake: the two DLLs and the factory, the feature levels a device is
// asked for, the multisample negotiation, the live-object counts with their dump, and the end.
#include "tests/zovuz/d3d11/d3d11_fixture.h"

namespace {

class CallLayer : public FakeD3D11Test
{
protected:
    int LoadAndMakeDevice()
    {
        if (D3D11_LoadDLL() < 0 || DXGI_LoadDLL() < 0 || DXGI_CreateFactory() < 0) return -1;
        return D3D11_CreateDevice();
    }
};

TEST_F(CallLayer, AFailedDxgiLoadLeavesNeitherDll)
{
    FakeD3D11.MissingModules = {L"dxgi.dll"};
    EXPECT_EQ(0, D3D11_LoadDLL());
    EXPECT_EQ(-1, DXGI_LoadDLL());
    EXPECT_TRUE(FakeD3D11.LoadedModules.empty());
    EXPECT_EQ(nullptr, D3D11CallLayer.D3D11Module);
    EXPECT_EQ(-1, D3D11_CreateDevice());
}

TEST_F(CallLayer, TheFactoryFallsBackToCreateDXGIFactory)
{
    ASSERT_EQ(0, D3D11_LoadDLL());
    ASSERT_EQ(0, DXGI_LoadDLL());
    FakeD3D11.MissingProcs = {"CreateDXGIFactory1"};
    EXPECT_EQ(0, DXGI_CreateFactory());
    EXPECT_EQ(1, FakeD3D11Count("CreateDXGIFactory"));
    EXPECT_EQ(nullptr, D3D11CallLayer.Factory1);
    EXPECT_EQ(1, DXGIFactory_IsValid());

    FakeD3D11.MissingProcs.clear();
    FakeD3D11.Fail["CreateDXGIFactory1"] = E_FAIL;
    FakeD3D11.Fail["CreateDXGIFactory"] = E_FAIL;
    EXPECT_EQ(-1, DXGI_CreateFactory());
    EXPECT_EQ(0, DXGIFactory_IsValid());
}

struct LevelRequest
{
    const char *Name;
    int MinLevel, Warp, MultiThread;
    std::vector<int> Requested;
    const char *Call;  // how D3D11CreateDevice was called, up to its level list
    int StoredMinLevel;
};

TEST_F(CallLayer, TheDeviceIsAskedForItsFeatureLevels)
{
    const LevelRequest cases[] = {
        {"by default", 0, 0, 0, {0xB100, 0xB000}, "D3D11CreateDevice adapter=set driver=0 flags=1 levels=B100,B000", 0},
        {"from 9_3 up",
         0x9300,
         0,
         0,
         {0xB100, 0xB000, 0xA100, 0xA000, 0x9300},
         "D3D11CreateDevice adapter=set driver=0 flags=1 levels=B100,B000,A100,A000,9300",
         0x9300},
        {"on WARP",
         0,
         1,
         0,
         {0xB100, 0xB000, 0xA100, 0xA000},
         "D3D11CreateDevice adapter=null driver=5 flags=1 levels=B100,B000,A100,A000",
         0xA000},
        {"multi-threaded", 0, 0, 1, {0xB100, 0xB000}, "D3D11CreateDevice adapter=set driver=0 flags=0", 0},
    };
    for (const LevelRequest &c : cases) {
        SCOPED_TRACE(c.Name);
        Restart();
        D3D11CallLayer.Settings.MinFeatureLevel = c.MinLevel;
        D3D11CallLayer.Settings.UseWarpFlag = c.Warp;
        D3D11CallLayer.Settings.MultiThreadFlag = c.MultiThread;
        ASSERT_EQ(0, LoadAndMakeDevice());
        EXPECT_EQ(c.Requested, FakeD3D11.RequestedLevels);
        EXPECT_EQ(1u, FakeD3D11CallsStartingWith(c.Call).size());
        EXPECT_EQ(c.StoredMinLevel, D3D11CallLayer.Settings.MinFeatureLevel);
        EXPECT_EQ(c.MultiThread, FakeD3D11Count("CreateDeferredContext"));
        EXPECT_EQ(1u, FakeD3D11CallsStartingWith("SetMaximumFrameLatency 1").size());
    }
}

TEST_F(CallLayer, AFailedStepReleasesWhatDeviceCreationMade)
{
    struct Failure
    {
        const char *Name;
        void (*Arrange)();
    };
    const Failure failures[] = {
        {"a device below 11_0", [] { FakeD3D11.MaxFeatureLevel = 0xA100; }},
        {"no deferred context",
         [] {
             D3D11CallLayer.Settings.MultiThreadFlag = 1;
             FakeD3D11.Fail["CreateDeferredContext"] = E_OUTOFMEMORY;
         }},
        {"no adapter", [] { FakeD3D11.Fail["EnumAdapters"] = DXGI_ERROR_NOT_FOUND; }},
        {"no entry point", [] { FakeD3D11.MissingProcs = {"D3D11CreateDevice"}; }},
    };
    for (const Failure &f : failures) {
        SCOPED_TRACE(f.Name);
        Restart();
        f.Arrange();
        EXPECT_EQ(-1, LoadAndMakeDevice());
        EXPECT_EQ(0, D3D11Device_IsValid());
        EXPECT_EQ(nullptr, D3D11CallLayer.Context);
        EXPECT_EQ(nullptr, D3D11CallLayer.Adapter);
        DXGI_ReleaseFactory();
        EXPECT_EQ(0, FakeD3D11.LiveObjects);
    }
}

TEST_F(CallLayer, WithoutItsDxgiSideTheDeviceStillServes)
{
    FakeD3D11.Fail["QueryInterface"] = E_NOINTERFACE;
    ASSERT_EQ(0, LoadAndMakeDevice());
    EXPECT_EQ(nullptr, D3D11CallLayer.DXGIDevice);
    EXPECT_EQ(0, FakeD3D11Count("SetMaximumFrameLatency"));
}

TEST_F(CallLayer, TheEndClearsAndFlushesBothContextsFirst)
{
    D3D11CallLayer.Settings.MultiThreadFlag = 1;
    ASSERT_EQ(0, LoadAndMakeDevice());
    FakeD3D11.Calls.clear();
    EXPECT_EQ(0, D3D11_Terminate());
    const std::vector<std::string> expected = {"ClearState deferred", "Flush deferred", "ClearState immediate",
                                               "Flush immediate"};
    EXPECT_EQ(expected, FakeD3D11.Calls);
    EXPECT_EQ(0, D3D11_Terminate());  // a second end finds nothing
    EXPECT_EQ(0, D3D11_GetFeatureLevel());
    EXPECT_EQ(0, FakeD3D11.LiveObjects);
}

struct SampleCase
{
    const char *Name;
    std::map<std::pair<int, int>, UINT> Levels;  // (format, count) -> quality levels
    UINT Count, Quality;
    int Strict;
    int Result;
    UINT CountAfter, QualityAfter;
    int Queries;
};

TEST_F(CallLayer, MultisamplingIsNegotiatedDownToWhatTheDeviceHas)
{
    const SampleCase cases[] = {
        {"one sample asks nothing", {}, 1, 3, 0, 0, 1, 0, 0},
        {"a supported count keeps a quality within both formats", {{{28, 4}, 3}, {{55, 4}, 2}}, 4, 5, 0, 0, 4, 1, 2},
        {"an unsupported count is lowered",
         {{{28, 8}, 0}, {{28, 7}, 0}, {{28, 6}, 2}, {{55, 6}, 2}},
         8,
         0,
         0,
         0,
         6,
         0,
         4},
        {"a strict request is refused", {{{28, 8}, 0}}, 8, 2, 1, -1, 8, 0, 1},
        {"down to one sample", {{{28, 3}, 0}, {{28, 2}, 0}}, 3, 1, 0, 0, 1, 0, 2},
        // The depth format lowers the count from 8 to 4: the quality is the colour format's at 4.
        {"the depth format lowers the count",
         {{{28, 8}, 4}, {{55, 8}, 0}, {{55, 7}, 0}, {{55, 6}, 0}, {{55, 5}, 0}, {{55, 4}, 4}, {{28, 4}, 1}},
         8,
         3,
         0,
         0,
         4,
         0,
         7},
    };
    ASSERT_EQ(0, LoadAndMakeDevice());
    for (const SampleCase &c : cases) {
        SCOPED_TRACE(c.Name);
        FakeD3D11.QualityLevels = c.Levels;
        int before = FakeD3D11Count("CheckMultisampleQualityLevels");
        UINT count = c.Count, quality = c.Quality;
        EXPECT_EQ(c.Result,
                  D3D11Device_CheckMultisampleQualityLevels(DXGI_FORMAT_R8G8B8A8_UNORM, &count, &quality, c.Strict));
        EXPECT_EQ(c.CountAfter, count);
        EXPECT_EQ(c.QualityAfter, quality);
        EXPECT_EQ(c.Queries, FakeD3D11Count("CheckMultisampleQualityLevels") - before);
    }
}

TEST_F(CallLayer, CreationsAreCountedOnlyWhenTheyMakeAnObject)
{
    ASSERT_EQ(0, LoadAndMakeDevice());
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = desc.Height = 8;
    desc.MipLevels = desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    ID3D11Texture2D *texture = nullptr;
    ASSERT_EQ(S_OK, D3D11Device_CreateTexture2D(&desc, nullptr, &texture));
    ID3D11ShaderResourceView *view = nullptr;
    ASSERT_EQ(S_OK, D3D11Device_CreateShaderResourceView(texture, nullptr, &view));
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_SHADER_RESOURCE_VIEW));

    // A failure comes back unchanged and counts nothing.
    FakeD3D11.Fail["CreateTexture2D"] = E_OUTOFMEMORY;
    ID3D11Texture2D *second = texture;  // what a failed creation leaves is not an object of it
    EXPECT_EQ(E_OUTOFMEMORY, D3D11Device_CreateTexture2D(&desc, nullptr, &second));
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));

    // The uncounted release leaves the count; the typed one balances it.
    texture->AddRef();
    Direct3D_ReleaseObject(texture);
    EXPECT_EQ(1, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
    D3D11ShaderResourceView_Release(view);
    D3D11Texture2D_Release(texture);
    D3D11Texture2D_Release(nullptr);
    EXPECT_EQ(0, D3D11_GetObjectCount(D3D11_OBJECT_TEXTURE2D));
    EXPECT_EQ(0, D3D11_GetObjectCount(D3D11_OBJECT_SHADER_RESOURCE_VIEW));
}

TEST_F(CallLayer, TheDumpListsOnlyTypesWithLiveObjects)
{
    D3D11CallLayer.ObjectCount[D3D11_OBJECT_BUFFER] = 2;
    D3D11CallLayer.ObjectCount[D3D11_OBJECT_SAMPLER_STATE] = 1;
    D3D11CallLayer.ObjectCount[D3D11_OBJECT_TEXTURE2D] = 0;
    D3D11_OutputObjectCount();
    std::vector<std::wstring> lines = LogLines();
    const std::vector<std::wstring> expected = {L"Direct3D11 のオブジェクト数を出力", L"ID3D11Buffer : 2",
                                                L"ID3D11SamplerState : 1", L"Direct3D11 のオブジェクト合計数 : 3"};
    lines.resize(expected.size());
    EXPECT_EQ(expected, lines);
    D3D11CallLayer.ObjectCount[D3D11_OBJECT_BUFFER] = 0;
    D3D11CallLayer.ObjectCount[D3D11_OBJECT_SAMPLER_STATE] = 0;

    D3D11_OutputObjectCount();
    lines = LogLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(L"Direct3D11 のオブジェクト数を出力", lines[4]);
    EXPECT_EQ(L"Direct3D11 のオブジェクト合計数 : 0", lines[5]);
}

}  // namespace
