// The choice of the 3-D shaders from the draw-state terms: the shadow-map pair while drawing into
// a shadow map, the unlit pair without lighting, and with lighting the per-pixel pair for more
// than three lights or the device's flag (where its code exists), else the vertex-lighting pair.
#include <gtest/gtest.h>

#include "zovuz/d3d11/shader/d3d11_3d_shader_choice.h"

namespace {

// A 3-D pack where every slot holds code, but for the slots a case empties.
struct Pack {
    D3D11ShaderCode Slots[D3D11_3D_PACK_SLOTS];
    Pack()
    {
        static const unsigned char Code = 0;
        for (D3D11ShaderCode &Slot : Slots) Slot = {&Code, 1};
    }
};

D3D11ThreeDDrawTerms Lit(int LightNum, int PixelFlag)
{
    D3D11ThreeDDrawTerms T = {};
    T.LightingFlag = 1;
    T.EnabledLightNum = LightNum;
    for (int i = 0; i < LightNum; i++) T.LightTypes[i] = D3D11_LIGHT_DIRECTIONAL;
    T.PixelLightingFlag = PixelFlag;
    return T;
}

const D3D11LightIndexTables &Tables()
{
    static D3D11LightIndexTables T;
    static bool Built = (D3D11BuildLightIndexTables(T), true);
    (void)Built;
    return T;
}

}  // namespace

TEST(ThreeDShaderChoice, PicksThePairOfTheDrawState)
{
    D3D11ThreeDDrawTerms ShadowMapDraw = Lit(2, 1);
    ShadowMapDraw.ShadowMapDrawFlag = 1;
    ShadowMapDraw.AlphaTest = 1;
    D3D11ThreeDDrawTerms Unlit = {};
    Unlit.FogMode = 3;
    Unlit.AlphaTest = 1;
    Unlit.Blend = 4;
    D3D11ThreeDDrawTerms Mixed = Lit(3, 0);  // directional, spot, point with fog 2 and shadows
    Mixed.LightTypes[1] = D3D11_LIGHT_SPOT;
    Mixed.LightTypes[2] = D3D11_LIGHT_POINT;
    Mixed.FogMode = 2;
    Mixed.ShadowFlag = 1;
    Mixed.Blend = 6;
    const int Light6Of333300 = Tables().Light6[3][3][3][3][0][0];
    const struct {
        const char *What;
        D3D11ThreeDDrawTerms Terms;
        int EmptySlot;  // a slot without code, or -1
        int Group, Index, PixelGroup, PixelIndex;
    } Cases[] = {
        {"shadow-map drawing wins over lighting", ShadowMapDraw, -1, D3D11_3D_GROUP_SHADOW_MAP_VERTEX, 0,
         D3D11_3D_GROUP_SHADOW_MAP_PIXEL, D3D11ShadowMapPixelIndex(1)},
        {"lighting off", Unlit, -1, D3D11_3D_GROUP_UNLIT_VERTEX, D3D11UnlitVertexIndex(3), D3D11_3D_GROUP_UNLIT_PIXEL,
         D3D11UnlitPixelIndex(1, 4)},
        {"2 lights, no per-pixel flag", Lit(2, 0), -1, D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
         D3D11VertexLightingVertexIndex(Tables().Light3[3][3][0], 0, 0), D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL,
         D3D11VertexLightingPixelIndex(0, 0, Tables().Light3b[2][2][0], 0)},
        {"2 lights with the per-pixel flag", Lit(2, 1), -1, D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX,
         D3D11PixelLightingVertexIndex(0, 0), D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL,
         D3D11PixelLightingPixelIndex(0, 0, Tables().Light6[3][3][0][0][0][0], 0)},
        {"4 lights without the flag", Lit(4, 0), -1, D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX,
         D3D11PixelLightingVertexIndex(0, 0), D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL,
         D3D11PixelLightingPixelIndex(0, 0, Light6Of333300, 0)},
        {"4 lights, the per-pixel shader without code", Lit(4, 0),
         D3D11ThreeDShaderSlot(D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL, D3D11PixelLightingPixelIndex(0, 0, Light6Of333300, 0)),
         D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX, D3D11VertexLightingVertexIndex(Tables().Light3[3][3][3], 0, 0),
         D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL, D3D11VertexLightingPixelIndex(0, 0, Tables().Light3b[2][2][2], 0)},
        {"3 mixed lights per vertex, fog and shadows", Mixed, -1, D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
         D3D11VertexLightingVertexIndex(Tables().Light3[3][2][1], 2, 1), D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL,
         D3D11VertexLightingPixelIndex(0, 6, Tables().Light3b[2][1][1], 1)},
        {"4 lights, the per-pixel vertex shader without code", Lit(4, 1),
         D3D11ThreeDShaderSlot(D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX, D3D11PixelLightingVertexIndex(0, 0)),
         D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX, D3D11VertexLightingVertexIndex(Tables().Light3[3][3][3], 0, 0),
         D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL, D3D11VertexLightingPixelIndex(0, 0, Tables().Light3b[2][2][2], 0)},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        Pack P;
        if (Case.EmptySlot >= 0) P.Slots[Case.EmptySlot] = {nullptr, 0};
        D3D11ThreeDShaderChoice Choice = {-1, -1};
        ASSERT_EQ(D3D11ChooseThreeDShaders(&Case.Terms, &Tables(), P.Slots, &Choice), 0);
        EXPECT_EQ(Choice.VertexSlot, D3D11ThreeDShaderSlot(Case.Group, Case.Index));
        EXPECT_EQ(Choice.PixelSlot, D3D11ThreeDShaderSlot(Case.PixelGroup, Case.PixelIndex));
    }
}

TEST(ThreeDShaderChoice, RefusesTermsNoShaderServes)
{
    D3D11ThreeDDrawTerms Rising = Lit(2, 0);  // a point light before a directional one
    Rising.LightTypes[0] = D3D11_LIGHT_POINT;
    D3D11ThreeDDrawTerms BadType = Lit(1, 0), BadFog = Lit(1, 0), BadBlend = {}, BadAlpha = {};
    BadType.LightTypes[0] = 4;
    BadFog.FogMode = 4;
    BadBlend.Blend = 7;
    BadAlpha.AlphaTest = 2;
    Pack P;
    for (const D3D11ThreeDDrawTerms &Terms : {Rising, BadType, BadFog, BadBlend, BadAlpha}) {
        D3D11ThreeDShaderChoice Choice = {-1, -1};
        EXPECT_EQ(D3D11ChooseThreeDShaders(&Terms, &Tables(), P.Slots, &Choice), -1);
        EXPECT_EQ(Choice.VertexSlot, -1);
    }
}
