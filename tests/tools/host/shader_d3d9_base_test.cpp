// The Direct3D 9 back end's base shaders as the writer makes them: the selector rule of a draw
// state, and what the shaders compute, run on a small interpreter against the texture stages they
// stand for.
#include <gtest/gtest.h>

#include <math.h>

#include <map>

#include "d3d9_base_set.h"
#include "sm2_machine.h"

using namespace sm2;

namespace {

const std::map<std::string, Bytes> &BaseSet()
{
    static const std::map<std::string, Bytes> Set = [] {
        std::vector<NamedProgram> List;
        std::string Error;
        EXPECT_TRUE(BuildD3D9BaseSet(List, &Error)) << Error;
        std::map<std::string, Bytes> Named;
        for (NamedProgram &P : List) Named[P.FileName] = P.Code;
        return Named;
    }();
    return Set;
}

struct Colour {
    float R, G, B, A;
};

// One pixel through a base pixel shader: main texel, blend texel, diffuse colour, c5.
Colour RunPixel(const std::string &Name, Colour Texel, Colour BlendTexel, Colour Diffuse, Colour C5)
{
    const auto Found = BaseSet().find(Name);
    EXPECT_NE(Found, BaseSet().end()) << Name;
    if (Found == BaseSet().end()) return {};
    Sm2Machine M;
    const float *From[] = {&Texel.R, &BlendTexel.R, &Diffuse.R};
    float *Into[] = {M.Sampled[0], M.Sampled[1], M.Input[0]};
    for (int i = 0; i < 3; ++i) memcpy(Into[i], From[i], sizeof(float) * 4);
    memcpy(M.Const[5], &C5.R, sizeof(float) * 4);
    std::string Error;
    EXPECT_TRUE(M.Run(Found->second, &Error)) << Name << ": " << Error;
    return {M.ColorOut[0][0], M.ColorOut[0][1], M.ColorOut[0][2], M.ColorOut[0][3]};
}

void ExpectColour(const Colour &Got, const Colour &Want, const std::string &What)
{
    EXPECT_NEAR(Got.R, Want.R, 1e-5) << What;
    EXPECT_NEAR(Got.G, Want.G, 1e-5) << What;
    EXPECT_NEAR(Got.B, Want.B, 1e-5) << What;
    EXPECT_NEAR(Got.A, Want.A, 1e-5) << What;
}

const Colour White = {1, 1, 1, 1};

}  // namespace

TEST(D3D9BaseShaders, SelectorRuleOfADrawState)
{
    const struct {
        bool BlendTexture;
        int GraphType, StageType;
        bool IgnoreColour;
        int AlphaVariant;
        bool DrawScreenAlpha;
        const char *Name;
    } Cases[] = {
        {false, 0, 0, false, 0, false, "ps_blend0_type0_igcolor0_igtalpha1_ach0.pso"},
        {false, 2, 4, false, 1, false, "ps_blend0_type4_igcolor0_igtalpha0_ach0.pso"},
        {false, 0, 6, true, 2, true, "ps_blend0_type6_igcolor1_igtalpha0_ach1.pso"},
        {true, 0, 3, false, 0, true, "ps_blend1_type3_igcolor0_igtalpha1_ach1.pso"},
        {true, 1, 0, true, 1, false, "ps_blend2_type0_igcolor1_igtalpha0_ach0.pso"},
        {true, 2, 5, false, 2, true, "ps_blend3_type5_igcolor0_igtalpha0_ach1.pso"},
    };
    for (const auto &Case : Cases) {
        char Name[D3D9_BASE_SHADER_NAME_MAX];
        D3D9BlendShaderName(D3D9SelectBlendShader(Case.BlendTexture, Case.GraphType, Case.StageType, Case.IgnoreColour,
                                                  Case.AlphaVariant, Case.DrawScreenAlpha),
                            Name);
        EXPECT_STREQ(Name, Case.Name);
    }
}

TEST(D3D9BaseShaders, PixelShadersDoWhatTheTextureStagesDo)
{
    const Colour Texel = {0.5f, 0.25f, 1, 0.5f}, Diffuse = {1, 0.5f, 1, 0.5f}, Factor = White;
    const Colour Blue = {0.2f, 0.4f, 0.6f, 1};   // c5 as blue, green, red, alpha: red 0.6, blue 0.2
    const struct {
        const char *Name;
        Colour Blend, C5, Want;
    } Cases[] = {
        // single texture: texel x diffuse, then the stage type (alpha 0.25 = texel x vertex alpha)
        {"ps_blend0_type0_igcolor0_igtalpha0_ach0.pso", White, Factor, {0.5f, 0.125f, 1, 0.25f}},
        {"ps_blend0_type0_igcolor0_igtalpha1_ach1.pso", White, Factor, {0.5f, 0.125f, 1, 0.5f}},
        {"ps_blend0_type1_igcolor0_igtalpha0_ach0.pso", White, Factor, {0.875f, 0.78125f, 1, 0.25f}},
        {"ps_blend0_type1_igcolor0_igtalpha0_ach0.pso", White, {0, 0, 0, 1}, {0.125f, 0.03125f, 0.25f, 0.25f}},
        {"ps_blend0_type2_igcolor0_igtalpha0_ach0.pso", White, Factor, {0.5f, 0.375f, 0, 0.25f}},
        {"ps_blend0_type3_igcolor0_igtalpha0_ach0.pso", White, Factor, {1, 0.5f, 1, 0.25f}},
        {"ps_blend0_type4_igcolor0_igtalpha0_ach0.pso", White, Factor, {0.25f, 0.0625f, 0.5f, 0.25f}},
        {"ps_blend0_type5_igcolor0_igtalpha1_ach0.pso", White, Factor, {0.25f, 0.1875f, 0, 0.5f}},
        {"ps_blend0_type6_igcolor0_igtalpha0_ach1.pso", White, Factor, {0.5f, 0.25f, 0.5f, 0.25f}},
        {"ps_blend0_type0_igcolor1_igtalpha0_ach0.pso", White, Blue, {0.6f, 0.2f, 0.2f, 0.25f}},
        {"ps_blend0_type2_igcolor1_igtalpha0_ach0.pso", White, Blue, {0.4f, 0.3f, 0.8f, 0.25f}},
        // cross-fade by c5.w towards the blend texel
        {"ps_blend1_type0_igcolor0_igtalpha0_ach0.pso", {0, 1, 0, 1}, {1, 1, 1, 0.25f}, {0.375f, 0.21875f, 0.75f, 0.3125f}},
        {"ps_blend1_type0_igcolor0_igtalpha1_ach0.pso", {0, 1, 0, 1}, {1, 1, 1, 0.25f}, {0.375f, 0.21875f, 0.75f, 0.5f}},
        {"ps_blend1_type0_igcolor1_igtalpha0_ach0.pso", {0, 1, 0, 1}, {1, 1, 1, 0.25f}, {1, 0.5f, 1, 0.3125f}},
        // wipe: alpha x clamp(clamp(blend alpha + offset) x scale), the scale and offset in c5.zw
        {"ps_blend2_type0_igcolor0_igtalpha0_ach0.pso", {0, 0, 0, 0.5f}, {0, 0, 2, -0.25f}, {0.5f, 0.125f, 1, 0.125f}},
        {"ps_blend2_type0_igcolor0_igtalpha1_ach0.pso", {0, 0, 0, 0.5f}, {0, 0, 4, 0.5f}, {0.5f, 0.125f, 1, 0.5f}},
        {"ps_blend2_type0_igcolor0_igtalpha0_ach0.pso", {0, 0, 0, 0.5f}, {0, 0, 1, -0.75f}, {0.5f, 0.125f, 1, 0}},
        // mask: alpha x the blend texel's alpha
        {"ps_blend3_type0_igcolor0_igtalpha0_ach0.pso", {0, 0, 0, 0.5f}, Factor, {0.5f, 0.125f, 1, 0.125f}},
        {"ps_blend3_type4_igcolor0_igtalpha1_ach1.pso", {0, 0, 0, 0.5f}, Factor, {0.25f, 0.0625f, 0.5f, 0.25f}},
        // untextured: the diffuse colour through the stage type
        {"ps_nonetex_type0_ach0.pso", White, Factor, Diffuse},
        {"ps_nonetex_type1_ach1.pso", White, Factor, {1, 0.75f, 1, 0.5f}},
        {"ps_nonetex_type2_ach0.pso", White, Factor, {0, 0.5f, 0, 0.5f}},
        {"ps_nonetex_type3_ach0.pso", White, Factor, {1, 1, 1, 0.5f}},
        {"ps_nonetex_type5_ach0.pso", White, Factor, {0, 0.25f, 0, 0.5f}},
        {"ps_nonetex_type6_ach1.pso", White, Factor, {0.5f, 0.5f, 0.5f, 0.5f}},
    };
    for (const auto &Case : Cases)
        ExpectColour(RunPixel(Case.Name, Texel, Case.Blend, Diffuse, Case.C5), Case.Want, Case.Name);
}

TEST(D3D9BaseShaders, MaskShadersPassThePixelsOfTheirChannel)
{
    const Colour Screen = {0.25f, 0.5f, 0.75f, 0.125f}, MaskTexel = {0, 0.5f, 0, 1};   // r and b 0, g and a not
    const struct {
        const char *Name;
        float Alpha;
    } Cases[] = {
        {"ps_mask_blend.pso", 0},
        {"ps_mask_blend_use_grhandle_cha.pso", 0},
        {"ps_mask_blend_use_grhandle_cha_reverse.pso", 1},
        {"ps_mask_blend_use_grhandle_chr.pso", 1},
        {"ps_mask_blend_use_grhandle_chr_reverse.pso", 0},
        {"ps_mask_blend_use_grhandle_chg.pso", 0},
        {"ps_mask_blend_use_grhandle_chg_reverse.pso", 1},
        {"ps_mask_blend_use_grhandle_chb.pso", 1},
        {"ps_mask_blend_use_grhandle_chb_reverse.pso", 0},
    };
    for (const auto &Case : Cases)
        ExpectColour(RunPixel(Case.Name, Screen, MaskTexel, White, White), {0.25f, 0.5f, 0.75f, Case.Alpha}, Case.Name);
}

TEST(D3D9BaseShaders, VertexShaderProjectsPixelsAndPassesTheRest)
{
    Sm2Machine M;
    // The draw area 640 x 480 to clip space, transposed into c2-c5 as the back end writes it.
    const float Rows[4][4] = {{2.0f / 640, 0, 0, -1}, {0, -2.0f / 480, 0, 1}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    memcpy(M.Const[2], Rows, sizeof Rows);
    const float Vertex[11][4] = {{320, 120, 0.25f, 0.5f}, {0.1f, 0.2f, 0.3f, 0.4f}, {1, 1, 1, 1},
                                 {0.5f, 0.75f, 0, 1},     {0.125f, 0.25f, 0, 1}};
    memcpy(M.Input, Vertex, sizeof Vertex);
    for (int i = 5; i < 11; ++i) M.Input[i][0] = float(i);
    std::string Error;
    ASSERT_TRUE(M.Run(BaseSet().at("Base2DVertexShader.vso"), &Error)) << Error;
    // (0, 0.5, 0.25, 1) over rhw 0.5.
    const float Want[4] = {0, 1, 0.5f, 2};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(M.Position[i], Want[i], 1e-6) << i;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(M.AttrOut[0][i], Vertex[1][i]);
    EXPECT_EQ(M.Output[0][0], 0.5f);
    EXPECT_EQ(M.Output[1][1], 0.25f);
    EXPECT_EQ(M.Output[7][0], 10.0f);
}
