// The hardware passes' framework over a fake handle model: shader names and slots, pass set-up
// with its work textures and the final copy, shaders by slot and their reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "zovuz/filter/filter_pass_internal.h"

namespace {

// Handles the framework sees: each described by a FilterPassTarget; made graphs get new numbers.
struct FakeModel
{
    std::map<int, FilterPassTarget> Target;
    std::set<int> Live;
    std::map<int, int *> Notify;
    std::vector<std::string> Events;
    std::set<std::string> MissingShaders;
    int Next = 1000;
};
FakeModel *Model = nullptr;

FilterPassTarget Graph(int Size, bool DrawValid, bool AtOrigin = true)
{
    FilterPassTarget t = {};
    t.DrawValid = DrawValid;
    t.Width = t.Height = Size;
    t.TextureWidth = t.TextureHeight = Size;
    t.OneTextureAtOrigin = AtOrigin;
    return t;
}

class FilterPassFramework : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Model = &M;
        FilterPassDevice.UsesShaders = [] { return 1; };
        FilterPassDevice.DescribeTarget = [](int, int Handle, FilterPassTarget *Out) {
            auto it = Model->Target.find(Handle);
            if (it == Model->Target.end() || !Model->Live.count(Handle)) return -1;
            *Out = it->second;
            return 0;
        };
        FilterPassDevice.MakeWorkGraph = [](int, int, int, int Width, int Height) {
            const int h = Model->Next++;
            Model->Target[h] = Graph(Width, true);
            Model->Target[h].Height = Model->Target[h].TextureHeight = Height;
            Model->Live.insert(h);
            Model->Events.push_back("make " + std::to_string(Width) + "x" + std::to_string(Height));
            return h;
        };
        FilterPassDevice.WatchHandle = [](int Handle, int *Slot) {
            Model->Notify[Handle] = Slot;
            return 0;
        };
        FilterPassDevice.DeleteHandle = [](int Handle) {
            Model->Live.erase(Handle);
            if (Model->Notify[Handle] != nullptr) *Model->Notify[Handle] = -1;
            return 0;
        };
        FilterPassDevice.CopyPieces = [](int, int Src, int Work) {
            Model->Events.push_back("pieces " + std::to_string(Src) + "->" + std::to_string(Work));
            return 0;
        };
        FilterPassDevice.BltRect = [](int Src, int X1, int Y1, int X2, int Y2, int DX, int DY, int Dest) {
            Model->Events.push_back("copy " + std::to_string(Src) + " " + std::to_string(X1) + "," + std::to_string(Y1) +
                                    "-" + std::to_string(X2) + "," + std::to_string(Y2) + " to " + std::to_string(Dest) +
                                    " " + std::to_string(DX) + "," + std::to_string(DY));
            return 0;
        };
        FilterPassDevice.CreateShader = [](int, const char *Name) {
            if (Model->MissingShaders.count(Name)) return -1;
            const int h = Model->Next++;
            Model->Live.insert(h);
            return h;
        };
        for (int api : {GRAPHICS_API_D3D9, GRAPHICS_API_D3D11})
            for (int &h : FilterWorkTextures(api)->Handle) h = -1;
        memset(&GraphFilterState.ShaderHandles, 0xFF, sizeof(GraphFilterState.ShaderHandles));
    }
    void TearDown() override
    {
        ResetFilterPassDeviceCalls();
        memset(&GraphFilterState.ShaderHandles, 0xFF, sizeof(GraphFilterState.ShaderHandles));
        Model = nullptr;
    }
    int Add(const FilterPassTarget &Target)
    {
        const int h = M.Next++;
        M.Target[h] = Target;
        M.Live.insert(h);
        return h;
    }
    // The front end's pass loop as it drives the framework: the pass destinations, then the copy.
    std::vector<int> RunPasses(int Api, GraphFilterInfo &Info, int Src, int Dest)
    {
        std::vector<int> dests;
        int current = Src, passDest = -1;
        for (Info.PassIndex = 0; Info.PassIndex < Info.PassCount; ++Info.PassIndex) {
            Info.SrcGraph = Src, Info.DestGraph = Dest;
            if (FilterPass_Setup(Api, &Info, &current, &passDest) < 0) return {};
            dests.push_back(passDest);
            current = passDest;
        }
        Info.SrcGraph = Src, Info.DestGraph = Dest;
        FilterPass_Copy(&Info, passDest, 0);
        return dests;
    }
    static GraphFilterInfo Info(int Type, int PassCount, int UseWork, int W, int H, int DestX = 0, int DestY = 0)
    {
        GraphFilterInfo info = {};
        info.Type = Type, info.PassCount = PassCount, info.UseWorkTexture = UseWork;
        info.SrcX2 = W, info.SrcY2 = H, info.DivideRatio = 1, info.DestX = DestX, info.DestY = DestY;
        return info;
    }
    // The work-texture slot (0 or 1) a handle fills, or -2 for none.
    int WorkSlot(int Api, int Handle)
    {
        const FilterWorkTextureCache *cache = FilterWorkTextures(Api);
        for (int i = 0; i < FILTER_WORK_TEXTURE_NUM; ++i)
            if (cache->Handle[i] == Handle) return i % 2;
        return -2;
    }
    FakeModel M;
};

TEST(FilterShaderNames, VariantsAndChannelMixChoices)
{
    struct Row
    {
        const char *Case;
        int Slot;
        const char *Name;
    };
    const Row rows[] = {
        {"BrightClip 5, fill, PMA", FilterBrightClipSlot(5, 1, 1), "BrightClipFillGreater_PMA.pso"},
        {"BrightClip 2, no fill", FilterBrightClipSlot(2, 0, 0), "BrightClipLess.pso"},
        {"Gauss width 12", FilterGaussSlot(12), "Gauss_08Pixel_PS.pso"},
        {"Gauss width 32", FilterGaussSlot(32), "Gauss_32Pixel_PS.pso"},
        {"DownScale 8", FilterDownScaleSlot(8), "DownScaleX8.pso"},
        {"HSB pass 1", FilterHsbSlot(GRAPHICS_API_D3D9, 0, 1, 0), "Hsb_HSB_TO_RGB.pso"},
        {"HSB type 1, PMA", FilterHsbSlot(GRAPHICS_API_D3D9, 1, 0, 1), "Hsb_HSB_HLOCK_PMA.pso"},
        {"GradientMap reversed", FilterGradientMapSlot(1, 0), "GradientMapRev.pso"},
        {"YUV 15 with chroma", FilterYuvSlot(15, 1), "Y2uv1ToRgb_RRA.pso"},
        {"blend 19 (PMA multiple)", FILTER_SLOT_BLEND + FilterBlendShaderNumber(19), "BasBF_Multiple_PMA.pso"},
        {"blend 16", FILTER_SLOT_BLEND + FilterBlendShaderNumber(16), "BasBF_Multiple_AOnly.pso"},
    };
    for (const Row &row : rows) EXPECT_STREQ(FilterShaderFileName(GRAPHICS_API_D3D9, row.Slot), row.Name) << row.Case;
    EXPECT_STREQ(FilterShaderFileName(GRAPHICS_API_D3D11, FilterHsbSlot(GRAPHICS_API_D3D11, 0, 0, 0)),
                 "Hsb_HSB_BASE.pso");
    EXPECT_EQ(FilterBlendShaderNumber(18), -1);

    struct Mix
    {
        int R, G, B, A;
        int Swap, Ready;
        const char *Name;
    };
    const Mix mixes[] = {
        {2, 2, 2, 7, 0, 0, "RGBAMix_SBSBSBBA.pso"}, {4, 5, 6, 3, 1, 0, "RGBAMix_SRSGSBBA.pso"},
        {0, 1, 2, 3, 0, 1, ""},                     {1, 0, 2, 7, 0, 0, "RGBAMix_Base.pso"},
        {5, 5, 5, 0, 1, 0, "RGBAMix_SGSGSGBR.pso"}, {7, 6, 5, 4, 1, 1, ""},
        // A selector outside 0-7 anywhere: only the Base shader reads it as it is.
        {0, -1, 0, 0, 0, 0, "RGBAMix_Base.pso"},    {8, 8, 8, 8, 0, 0, "RGBAMix_Base.pso"},
        {4, 4, 4, 9, 0, 0, "RGBAMix_Base.pso"},    {-1, 1, 2, 3, 0, 0, "RGBAMix_Base.pso"},
        {0, 1, -1, 3, 0, 0, "RGBAMix_Base.pso"},   {1, 2, 3, -1, 0, 0, "RGBAMix_Base.pso"},
    };
    for (const Mix &m : mixes) {
        FilterChannelMixChoice c;
        ChooseFilterChannelMix(m.R, m.G, m.B, m.A, 0, &c);
        EXPECT_EQ(c.Swap, m.Swap) << m.Name;
        EXPECT_EQ(c.Ready, m.Ready) << m.Name;
        EXPECT_STREQ(c.Name, m.Name);
        if (!c.Ready) {
            EXPECT_STREQ(FilterShaderFileName(GRAPHICS_API_D3D9, c.Slot), m.Name);
        }
    }
}

// Every variant a pass can ask for has one slot, and a slot never stands for two shaders: a shader
// made for one variant would otherwise be reused for another.
TEST(FilterShaderNames, NoTwoVariantsShareASlot)
{
    std::map<int, std::string> bySlot;
    auto claim = [&](int Slot, const std::string &What) {
        ASSERT_GE(Slot, 0);
        ASSERT_LT(Slot, FILTER_SLOT_END);
        auto it = bySlot.emplace(Slot, What).first;
        EXPECT_EQ(it->second, What) << "slot " << Slot;
    };
    for (int pma = 0; pma < 2; ++pma)
        for (int sel = 0; sel < 8 * 8 * 8 * 8; ++sel) {
            FilterChannelMixChoice c;
            ChooseFilterChannelMix(sel & 7, sel >> 3 & 7, sel >> 6 & 7, sel >> 9 & 7, pma, &c);
            claim(c.Slot, c.Ready ? "ready " + std::to_string(c.ReadyIndex) : c.Name);
        }
    for (int slot = 0; slot < FILTER_SLOT_MIX_READY; ++slot)
        if (FilterShaderFileName(GRAPHICS_API_D3D9, slot) != nullptr)
            claim(slot, FilterShaderFileName(GRAPHICS_API_D3D9, slot));
    for (int type = 0; type < DX_GRAPH_BLEND_NUM; ++type)
        if (FilterBlendShaderNumber(type) >= 0)
            claim(FILTER_SLOT_BLEND + FilterBlendShaderNumber(type),
                  FilterShaderFileName(GRAPHICS_API_D3D9, FILTER_SLOT_BLEND + FilterBlendShaderNumber(type)));
    // 41 filter, 32 blend and 34 named channel-mix files, besides the 512 ready shaders.
    int files = 0;
    for (auto &entry : bySlot) files += entry.second.compare(0, 6, "ready ") != 0;
    EXPECT_EQ(files, 107);
}

TEST_F(FilterPassFramework, PassDestinationsWorkTexturesAndCopy)
{
    struct Row
    {
        const char *Case;
        int Api;
        int PassCount, UseWork;
        bool InPlace, DestDrawValid;
        std::vector<int> WorkSlots;  // per pass: 0 or 1, or -1 for the destination itself
        bool Copied;
        bool ShadowMap = false;  // the source is a shadow map
        bool CutBlend = false;   // a blend whose graph covers the rectangle's right part only
        bool DestWhole = true;   // the destination is one texture at its origin
    };
    const Row rows[] = {
        {"Gauss in place, Direct3D 9", GRAPHICS_API_D3D9, 2, 1, true, true, {0, 1}, true},
        {"Gauss into a draw target, Direct3D 9", GRAPHICS_API_D3D9, 2, 1, false, true, {0, -1}, false},
        {"Gauss into a plain graph, Direct3D 9", GRAPHICS_API_D3D9, 2, 1, false, false, {0, 1}, true},
        {"one pass into a draw target, Direct3D 11", GRAPHICS_API_D3D11, 1, 0, false, true, {-1}, false},
        {"one pass in place, Direct3D 11", GRAPHICS_API_D3D11, 1, 0, true, true, {1}, true},
        {"one pass into a plain graph, Direct3D 9", GRAPHICS_API_D3D9, 1, 1, false, false, {1}, true},
        {"one pass into a draw target, Direct3D 9", GRAPHICS_API_D3D9, 1, 1, false, true, {-1}, false},
        {"one pass in place on a shadow map, Direct3D 9", GRAPHICS_API_D3D9, 1, 0, true, true, {-1}, false, true},
        {"one pass in place on a shadow map, Direct3D 11", GRAPHICS_API_D3D11, 1, 0, true, true, {1}, true, true},
        // The source's pixels around the blend graph and the blend go into a work texture first.
        {"cut blend into a draw target, Direct3D 11", GRAPHICS_API_D3D11, 1, 0, false, true, {1}, true, false, true},
        {"cut blend into a draw target, Direct3D 9", GRAPHICS_API_D3D9, 1, 1, false, true, {1}, true, false, true},
        {"cut blend out of a shadow map, Direct3D 9", GRAPHICS_API_D3D9, 1, 1, false, true, {1}, true, true, true},
        // A destination in pieces or at an offset is drawn through a work texture and copied back.
        {"one pass into a draw target in pieces, Direct3D 11", GRAPHICS_API_D3D11, 1, 0, false, true, {1}, true, false,
         false, false},
        {"Gauss into a draw target in pieces, Direct3D 9", GRAPHICS_API_D3D9, 2, 1, false, true, {0, 1}, true, false,
         false, false},
    };
    GraphHandleData blendGraph = {};
    blendGraph.Width = blendGraph.Height = 64;
    for (const Row &row : rows) {
        SetUp();
        FilterPassTarget source = Graph(64, true);
        source.IsShadowMap = row.ShadowMap;
        const int src = Add(source);
        const int dest = row.InPlace ? src : Add(Graph(64, row.DestDrawValid, row.DestWhole));
        // Gauss's two passes; one pass of BrightClip, whose shader leaves the pixels it clips unwritten.
        const bool clip = row.PassCount == 1 && !row.CutBlend;
        GraphFilterInfo info = Info(clip ? DX_GRAPH_FILTER_BRIGHT_CLIP : 1, row.PassCount, row.UseWork, 64, 48);
        if (row.CutBlend) {
            info.IsBlend = 1, info.Type = DX_GRAPH_BLEND_NORMAL, info.BlendGraphData = &blendGraph;
            info.BlendPosFlag = 1, info.BlendX = -10;
        }
        const std::vector<int> dests = RunPasses(row.Api, info, src, dest);
        ASSERT_EQ(dests.size(), row.WorkSlots.size()) << row.Case;
        for (size_t i = 0; i < dests.size(); ++i)
            EXPECT_EQ(dests[i] == dest ? -1 : WorkSlot(row.Api, dests[i]), row.WorkSlots[i]) << row.Case << i;
        const std::string copy = "copy " + std::to_string(dests.back()) + " 0,0-64,48 to " + std::to_string(dest) + " 0,0";
        EXPECT_EQ(!M.Events.empty() && M.Events.back() == copy, row.Copied) << row.Case;
        // BrightClip's work texture that is copied back holds the destination's pixels first.
        const std::string start =
            "copy " + std::to_string(dest) + " 0,0-64,48 to " + std::to_string(dests.back()) + " 0,0";
        EXPECT_EQ(std::count(M.Events.begin(), M.Events.end(), start), row.Copied && clip ? 1 : 0) << row.Case;
    }
}

TEST_F(FilterPassFramework, WorkTexturesBySizeClass)
{
    struct Row
    {
        int W, H, Side;
    };
    for (const Row &row : {Row{300, 200, 512}, Row{1, 1, 1}, Row{513, 2, 1024}, Row{16, 16, 16}}) {
        const int first = Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 0, 8, row.W, row.H, 0);
        ASSERT_GE(first, 0);
        EXPECT_EQ(M.Target[first].Width, row.Side) << row.W << "x" << row.H;
        EXPECT_EQ(Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 0, 8, row.Side, 1, 0), first);
    }
    // Another slot or format class is another texture; a deleted one is made again.
    const int a = Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 0, 8, 300, 200, 0);
    EXPECT_NE(Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 0, 8, 300, 200, 1), a);
    EXPECT_NE(Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 1, 16, 300, 200, 0), a);
    EXPECT_NE(Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 1, 32, 300, 200, 0),
              Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 1, 16, 300, 200, 0));
    FilterPassDevice.DeleteHandle(a);
    EXPECT_NE(Filter_CreateWorkTexture(GRAPHICS_API_D3D9, 0, 8, 300, 200, 0), a);
    FilterPassDevice.MakeWorkGraph = [](int, int, int, int, int) { return -1; };
    EXPECT_EQ(Filter_CreateWorkTexture(GRAPHICS_API_D3D11, 0, 8, 300, 200, 0), -1);
}

// A two-pass Gauss to a far destination position: every pass rectangle lies inside its work
// texture, the second pass reads where the first drew, and the copy brings that rectangle back.
TEST_F(FilterPassFramework, OffsetDestinationStaysInsideTheWorkTexture)
{
    const int src = Add(Graph(64, true)), dest = Add(Graph(1024, false));
    GraphFilterInfo info = Info(1, 2, 1, 64, 48, 700, 300);
    int current = src, passDest = -1;
    for (info.PassIndex = 0; info.PassIndex < 2; ++info.PassIndex) {
        info.SrcGraph = src, info.DestGraph = dest;
        ASSERT_EQ(FilterPass_Setup(GRAPHICS_API_D3D9, &info, &current, &passDest), 0);
        const FilterPassTarget &work = M.Target[passDest];
        EXPECT_LE(info.DestX + 64, work.TextureWidth);
        EXPECT_LE(info.DestY + 48, work.TextureHeight);
        if (info.PassIndex == 1) {
            EXPECT_EQ(info.SrcX1, 700);
            EXPECT_EQ(info.SrcY2, 348);
        }
        current = passDest;
    }
    info.SrcGraph = src, info.DestGraph = dest;
    FilterPass_Copy(&info, passDest, 0);
    EXPECT_EQ(M.Events.back(), "copy " + std::to_string(passDest) + " 700,300-764,348 to " + std::to_string(dest) + " 700,300");
}

TEST_F(FilterPassFramework, SourceCopyAndRefusals)
{
    // A graph that is not one texture at its origin is copied whole into the other slot first.
    const int src = Add(Graph(64, false, false)), dest = Add(Graph(64, true));
    GraphFilterInfo info = Info(6, 1, 0, 64, 48);
    info.SrcGraph = src, info.DestGraph = dest;
    int current = src, passDest = -1;
    ASSERT_EQ(FilterPass_Setup(GRAPHICS_API_D3D11, &info, &current, &passDest), 0);
    EXPECT_EQ(passDest, dest);
    EXPECT_EQ(WorkSlot(GRAPHICS_API_D3D11, current), 0);
    EXPECT_EQ(M.Events.back(), "pieces " + std::to_string(src) + "->" + std::to_string(current));

    int bad = 99999;
    EXPECT_EQ(FilterPass_Setup(GRAPHICS_API_D3D9, &info, &bad, &passDest), -1);
    FilterPassDevice.UsesShaders = [] { return 0; };
    current = src;
    ASSERT_EQ(FilterPass_Setup(GRAPHICS_API_D3D9, &info, &current, &passDest), 0);
    EXPECT_EQ(current, src);
    EXPECT_EQ(passDest, dest);
}

// The graphs a pass samples beside its source reach the shaders as one texture at their origin:
// a graph in pieces or a part is copied into a new graph of its own size, which the caller deletes.
TEST_F(FilterPassFramework, SampledGraphsAreCopiedUnlessWhole)
{
    const int whole = Add(Graph(100, false)), pieces = Add(Graph(100, false, false));
    M.Target[pieces].Height = 7;
    EXPECT_EQ(FilterPass_SampledGraph(GRAPHICS_API_D3D11, whole), whole);
    EXPECT_EQ(FilterPass_SampledGraph(GRAPHICS_API_D3D11, 99999), 99999) << "the pass refuses a bad handle itself";
    EXPECT_TRUE(M.Events.empty());

    const int copy = FilterPass_SampledGraph(GRAPHICS_API_D3D9, pieces);
    ASSERT_GE(copy, 0);
    EXPECT_NE(copy, pieces);
    EXPECT_EQ(M.Events, (std::vector<std::string>{"make 100x7",
                                                  "pieces " + std::to_string(pieces) + "->" + std::to_string(copy)}));

    // A copy that fails leaves no graph behind.
    const size_t live = M.Live.size();
    FilterPassDevice.CopyPieces = [](int, int, int) { return -1; };
    EXPECT_EQ(FilterPass_SampledGraph(GRAPHICS_API_D3D9, pieces), -1);
    EXPECT_EQ(M.Live.size(), live);
}

TEST_F(FilterPassFramework, ShadersBySlotAndReset)
{
    M.MissingShaders.insert("Invert_PMA.pso");
    const int mono = FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_MONO);
    ASSERT_GE(mono, 0);
    EXPECT_EQ(FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_MONO), mono);
    EXPECT_EQ(FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_INVERT + 1), -1);
    EXPECT_EQ(GraphFilterState.ShaderHandles.Shader[FILTER_SLOT_INVERT + 1], -1);
    EXPECT_EQ(FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_MIX_READY), -1) << "no file for a ready shader";

    // Resets delete what they forget: the live count stays put, and an old handle's deletion never
    // clears a newer slot.
    const size_t baseline = M.Live.size();
    for (int round = 0; round < 10; ++round) {
        FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_MONO);
        FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_LEVEL);
        GraphFilterState.ShaderHandles.LevelGammaGraph = Add(Graph(256, false));
        FilterPassDevice.WatchHandle(GraphFilterState.ShaderHandles.LevelGammaGraph,
                                     &GraphFilterState.ShaderHandles.LevelGammaGraph);
        GraphFilter_ResetShaderHandles();
        EXPECT_EQ(M.Live.size(), baseline - 1) << round;
    }
    const int fresh = FilterPass_ShaderInSlot(GRAPHICS_API_D3D9, FILTER_SLOT_MONO);
    for (auto &entry : M.Notify)
        if (entry.first != fresh && !M.Live.count(entry.first)) {
            EXPECT_EQ(entry.second, nullptr);
        }
    EXPECT_EQ(GraphFilterState.ShaderHandles.Shader[FILTER_SLOT_MONO], fresh);
}

}  // namespace
