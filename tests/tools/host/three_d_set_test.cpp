// The 3-D pack's shaders and the tables that choose them: the light-type tables number the
// tuples the front end can make, each slot formula maps its terms one-to-one into its group (and
// the generator reads them back from the slot), and vkd3d-compiler accepts every container.
#include <gtest/gtest.h>

#include <stdio.h>

#include <chrono>
#include <set>

#include "host_files.h"
#include "three_d_set.h"
#include "zovuz/d3d11/shader/d3d11_3d_shaders.h"

using namespace dxbc;

TEST(ThreeDLightTables, NumberTheNonIncreasingTuples)
{
    static D3D11LightIndexTables T;
    D3D11BuildLightIndexTables(T);
    // Every non-increasing tuple has its own number; every other tuple chooses nothing.
    std::set<int> Six, Three, ThreeB;
    for (int i = 0; i < 4096; ++i) {
        const int t[6] = {i >> 10, (i >> 8) & 3, (i >> 6) & 3, (i >> 4) & 3, (i >> 2) & 3, i & 3};
        const bool Ordered = t[0] >= t[1] && t[1] >= t[2] && t[2] >= t[3] && t[3] >= t[4] && t[4] >= t[5];
        const int Number = T.Light6[t[0]][t[1]][t[2]][t[3]][t[4]][t[5]];
        if (Ordered) EXPECT_TRUE(Six.insert(Number).second && Number < D3D11_LIGHT6_NUM) << i;
        else EXPECT_EQ(Number, D3D11_LIGHT_INDEX_NONE) << i;
    }
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b)
            for (int c = 0; c < 4; ++c) {
                const bool Ordered = a >= b && b >= c;
                if (Ordered) EXPECT_TRUE(Three.insert(T.Light3[a][b][c]).second);
                else EXPECT_EQ(T.Light3[a][b][c], D3D11_LIGHT_INDEX_NONE);
                if (a < 3 && b < 3 && c < 3 && Ordered) EXPECT_TRUE(ThreeB.insert(T.Light3b[a][b][c]).second);
                if (a < 3 && b < 3 && c < 3 && !Ordered) EXPECT_EQ(T.Light3b[a][b][c], D3D11_LIGHT_INDEX_NONE);
            }
    EXPECT_EQ(Six.size(), size_t(D3D11_LIGHT6_NUM));
    EXPECT_EQ(Three.size(), size_t(D3D11_LIGHT3_NUM));
    EXPECT_EQ(ThreeB.size(), size_t(D3D11_LIGHT3B_NUM));
    EXPECT_EQ(D3D11Light3bType(D3D11_LIGHT_DIRECTIONAL), 2);
    EXPECT_EQ(D3D11Light3bType(D3D11_LIGHT_SPOT), 1);
    EXPECT_EQ(D3D11Light3bType(D3D11_LIGHT_POINT), 1);
    EXPECT_EQ(D3D11Light3bType(D3D11_LIGHT_NONE), 0);
}

TEST(ThreeDSlots, EachFormulaMapsItsTermsOneToOneIntoItsGroup)
{
    static D3D11LightIndexTables T;
    D3D11BuildLightIndexTables(T);
    // The terms of every slot, by walking each formula over all its inputs; the tuple of a light
    // number is found back through the tables.
    struct Made {
        int Group;
        ThreeDVariant Terms;
    };
    std::vector<Made> All;
    std::vector<int> Slots;
    // The terms V of a group, at the slot of the group's index that its formula gave for them.
    auto Add = [&](int Group, int Index, ThreeDVariant V) {
        V.Group = Group;
        All.push_back({Group, V});
        Slots.push_back(D3D11ThreeDShaderSlot(Group, Index));
    };
    std::vector<std::vector<int>> Six(D3D11_LIGHT6_NUM), Three(D3D11_LIGHT3_NUM), ThreeB(D3D11_LIGHT3B_NUM);
    for (int i = 0; i < 4096; ++i) {
        const int t[6] = {i >> 10, (i >> 8) & 3, (i >> 6) & 3, (i >> 4) & 3, (i >> 2) & 3, i & 3};
        const int N = T.Light6[t[0]][t[1]][t[2]][t[3]][t[4]][t[5]];
        if (N != D3D11_LIGHT_INDEX_NONE) Six[size_t(N)] = std::vector<int>(t, t + 6);
        if (t[3] == 0 && t[4] == 0 && t[5] == 0 && T.Light3[t[0]][t[1]][t[2]] != D3D11_LIGHT_INDEX_NONE)
            Three[T.Light3[t[0]][t[1]][t[2]]] = std::vector<int>(t, t + 3);
        if (t[3] == 0 && t[4] == 0 && t[5] == 0 && t[0] < 3 && t[1] < 3 && t[2] < 3 && T.Light3b[t[0]][t[1]][t[2]] != D3D11_LIGHT_INDEX_NONE)
            ThreeB[T.Light3b[t[0]][t[1]][t[2]]] = std::vector<int>(t, t + 3);
    }
    auto With = [](ThreeDVariant V, const std::vector<int> &Types) {
        for (size_t i = 0; i < Types.size(); ++i) V.Types[i] = Types[i];
        return V;
    };
    for (int Shadow = 0; Shadow < 2; ++Shadow)
        for (int Fog = 0; Fog < 4; ++Fog) {
            ThreeDVariant V;
            V.Fog = Fog;
            V.Shadow = Shadow;
            Add(D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX, D3D11PixelLightingVertexIndex(Fog, Shadow), V);
            if (Shadow == 0) Add(D3D11_3D_GROUP_UNLIT_VERTEX, D3D11UnlitVertexIndex(Fog), V);
            for (int L = 0; L < D3D11_LIGHT3_NUM; ++L)
                Add(D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX, D3D11VertexLightingVertexIndex(L, Fog, Shadow), With(V, Three[size_t(L)]));
        }
    for (int Index = 0; Index < 2; ++Index) {
        ThreeDVariant V;
        Add(D3D11_3D_GROUP_SHADOW_MAP_VERTEX, Index, V);
        V.AlphaTest = Index;
        Add(D3D11_3D_GROUP_SHADOW_MAP_PIXEL, D3D11ShadowMapPixelIndex(Index), V);
    }
    for (int AlphaTest = 0; AlphaTest < 2; ++AlphaTest)
        for (int Blend = 0; Blend < 7; ++Blend) {
            ThreeDVariant V;
            V.AlphaTest = AlphaTest;
            V.Blend = Blend;
            Add(D3D11_3D_GROUP_UNLIT_PIXEL, D3D11UnlitPixelIndex(AlphaTest, Blend), V);
            for (int Shadow = 0; Shadow < 2; ++Shadow) {
                V.Shadow = Shadow;
                for (int L = 0; L < D3D11_LIGHT6_NUM; ++L)
                    Add(D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL, D3D11PixelLightingPixelIndex(AlphaTest, Blend, L, Shadow), With(V, Six[size_t(L)]));
                for (int L = 0; L < D3D11_LIGHT3B_NUM; ++L)
                    Add(D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL, D3D11VertexLightingPixelIndex(AlphaTest, Blend, L, Shadow), With(V, ThreeB[size_t(L)]));
            }
        }

    ASSERT_EQ(Slots.size(), size_t(D3D11_3D_PACK_SLOTS));
    std::set<int> Seen;
    for (size_t i = 0; i < Slots.size(); ++i) {
        const int Slot = Slots[i];
        const D3D11ThreeDShaderGroupInfo &Group = D3D11ThreeDShaderGroups[All[i].Group];
        EXPECT_TRUE(Slot >= Group.FirstSlot && Slot < Group.FirstSlot + Group.Count) << "slot " << Slot;
        EXPECT_TRUE(Seen.insert(Slot).second) << "slot " << Slot << " twice";
        // The generator reads the same terms back from the slot.
        ThreeDVariant Back;
        ASSERT_TRUE(ThreeDSlotVariant(Slot, Back));
        const ThreeDVariant &Want = All[i].Terms;
        EXPECT_EQ(Back.Group, All[i].Group) << Slot;
        EXPECT_EQ(Back.Fog, Want.Fog) << Slot;
        EXPECT_EQ(Back.Shadow, Want.Shadow) << Slot;
        EXPECT_EQ(Back.AlphaTest, Want.AlphaTest) << Slot;
        EXPECT_EQ(Back.Blend, Want.Blend) << Slot;
        for (int L = 0; L < 6; ++L) EXPECT_EQ(Back.Types[L], Want.Types[L]) << Slot << " light " << L;
    }
    ThreeDVariant Outside;
    EXPECT_FALSE(ThreeDSlotVariant(-1, Outside));
    EXPECT_FALSE(ThreeDSlotVariant(D3D11_3D_PACK_SLOTS, Outside));
}

TEST(ThreeDSet, Vkd3dAcceptsEveryContainer)
{
    ASSERT_TRUE(HaveVkd3d()) << "vkd3d-compiler is not installed: run scripts/bootstrap";
    const auto Start = std::chrono::steady_clock::now();
    std::vector<NamedShader> Set;
    std::string Error;
    ASSERT_TRUE(BuildThreeDSet(Set, &Error)) << Error;
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    printf("the 3-D set (%zu shaders) built in %.2f s\n", Set.size(), Seconds);
    ASSERT_EQ(Set.size(), size_t(D3D11_3D_PACK_SLOTS));
    std::set<std::string> Names;
    std::vector<std::pair<std::string, Bytes>> Containers;
    for (const NamedShader &Shader : Set) {
        EXPECT_TRUE(Names.insert(Shader.FileName).second) << Shader.FileName << " twice";
        Containers.push_back({Shader.FileName, Shader.Code});
    }
    const std::vector<Vkd3dVerdict> Verdicts = Vkd3dValidateAll(Containers);
    int Refused = 0;
    for (size_t i = 0; i < Verdicts.size(); ++i)
        if (Verdicts[i].Status != 0 && ++Refused <= 10) ADD_FAILURE() << Containers[i].first << ": " << Verdicts[i].Output;
    EXPECT_EQ(Refused, 0);
}
