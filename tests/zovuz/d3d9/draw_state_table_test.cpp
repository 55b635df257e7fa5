// The texture-stage programs made from their rules, the blend-state table's substitution rows and
// the wipe's alpha factor.
#include <gtest/gtest.h>

#include "zovuz/d3d9/state/windows/d3d9_draw_state_table_win.h"

namespace {

const D3D9TextureStageProgram &Program(int Type, int Variant, int Cm, int Am, int Av)
{
    return D3D9TextureStageTable()[D3D9TextureStageProgramIndex(Type, Variant, Cm, Am, Av)];
}

TEST(D3D9TextureStageTable, EveryProgramEndsInADisablingStageWithinSixStages)
{
    const D3D9TextureStageProgram *table = D3D9TextureStageTable();
    for (int i = 0; i < D3D9_TEXTURE_STAGE_PROGRAM_NUM; ++i) {
        SCOPED_TRACE(i);
        const D3D9TextureStageProgram &p = table[i];
        ASSERT_LE(p.StageNum, 6);
        EXPECT_EQ(D3DTOP_DISABLE, p.Stage[p.StageNum].ColorOp);
        EXPECT_EQ(D3DTOP_DISABLE, p.Stage[p.StageNum].AlphaOp);
        EXPECT_EQ(-1, p.Stage[p.StageNum].ColorArg1);
        for (int s = 0; s < p.StageNum; ++s) EXPECT_NE(D3DTOP_DISABLE, p.Stage[s].ColorOp);
    }
    // Stage type 1 has no blend-texture programs; every other stage type has one of each kind.
    for (int variant = 1; variant < 4; ++variant) {
        EXPECT_EQ(0, Program(1, variant, 0, 0, 0).StageNum);
        EXPECT_GT(Program(5, variant, 1, 1, 2).StageNum, 0);
    }
}

TEST(D3D9TextureStageTable, TheIndexFindsTheProgramOfEachRule)
{
    struct Case
    {
        const char *Name;
        int Type, Variant, Cm, Am, Av;
        int StageNum, ColorOp, ColorArg1, ColorArg2, AlphaOp;
    };
    const int complement = D3DTA_TEXTURE | D3DTA_COMPLEMENT, diffuseAlpha = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;
    const Case cases[] = {
        {"plain", 0, 0, 0, 0, 0, 1, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2},
        {"plain, texture alpha, alpha modulation", 0, 0, 0, 1, 1, 1, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         D3DTOP_MODULATE},
        {"inverted, colour modulation", 2, 0, 1, 0, 2, 1, D3DTOP_MODULATE, complement, D3DTA_DIFFUSE,
         D3DTOP_SELECTARG1},
        {"towards the factor", 1, 0, 0, 0, 0, 2, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2},
        {"x4", 3, 0, 0, 0, 0, 1, D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2},
        {"x4 premultiplied", 6, 0, 0, 1, 0, 2, D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2},
        {"premultiplied", 4, 0, 0, 1, 0, 1, D3DTOP_MODULATE, D3DTA_TEXTURE, diffuseAlpha, D3DTOP_SELECTARG2},
        {"inverted premultiplied, both", 5, 0, 1, 1, 1, 2, D3DTOP_MODULATE, complement, D3DTA_DIFFUSE,
         D3DTOP_MODULATE},
        {"cross-fade, colour modulation", 0, 1, 1, 0, 0, 3, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1, D3DTOP_SELECTARG1},
        {"cross-fade x4", 3, 1, 0, 0, 0, 5, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1, D3DTOP_SELECTARG1},
        {"cross-fade x4 premultiplied", 6, 1, 0, 1, 0, 6, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1, D3DTOP_SELECTARG1},
        {"wipe", 0, 2, 0, 0, 0, 2, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE},
        {"wipe, texture alpha, alpha modulation", 0, 2, 0, 1, 1, 4, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         D3DTOP_ADD},
        {"masked", 0, 3, 0, 0, 0, 2, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1, D3DTOP_SELECTARG1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        const D3D9TextureStageProgram &p = Program(c.Type, c.Variant, c.Cm, c.Am, c.Av);
        EXPECT_EQ(c.StageNum, p.StageNum);
        EXPECT_EQ(c.ColorOp, p.Stage[0].ColorOp);
        EXPECT_EQ(c.ColorArg1, p.Stage[0].ColorArg1);
        EXPECT_EQ(c.ColorArg2, p.Stage[0].ColorArg2);
        EXPECT_EQ(c.AlphaOp, p.Stage[0].AlphaOp);
    }
    // The wipe with texture alpha reads the main texture on stage 2, on coordinate set 1.
    const D3D9TextureStageProgram &wipe = Program(0, 2, 0, 0, 1);
    EXPECT_EQ(D3DTOP_MODULATE, wipe.Stage[1].AlphaOp);
    EXPECT_EQ(D3DTA_SPECULAR, wipe.Stage[1].AlphaArg1);
    EXPECT_EQ(D3DTA_TEXTURE, wipe.Stage[2].ColorArg1);
    EXPECT_EQ(1, wipe.Stage[2].TexCoordIndex);
}

TEST(D3D9WipeFactor, TheBorderSetsTheAlphaShift)
{
    struct Case
    {
        int Border, Range, Alpha, Stage0Op, Stage1Op;
        float K;
    };
    const Case cases[] = {
        {0, 64, 64, D3DTOP_ADD, D3DTOP_MODULATE4X, 4},
        {255, 64, 255, D3DTOP_SUBTRACT, D3DTOP_MODULATE4X, 4},
        {0, 128, 128, D3DTOP_ADD, D3DTOP_MODULATE2X, 2},
        {0, 200, 255, D3DTOP_ADD, D3DTOP_MODULATE, 1},
        {255, 200, 255, D3DTOP_SUBTRACT, D3DTOP_MODULATE, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Border << " over " << c.Range);
        const D3D9WipeFactor f = D3D9ComputeWipeFactor(c.Border, c.Range);
        EXPECT_EQ(c.Alpha, f.Alpha);
        EXPECT_EQ(c.Stage0Op, f.Stage0AlphaOp);
        EXPECT_EQ(c.Stage1Op, f.Stage1AlphaOp);
        EXPECT_EQ(c.K, f.K);
        EXPECT_FLOAT_EQ((c.Stage0Op == D3DTOP_SUBTRACT ? -1.0f : 1.0f) * c.Alpha / 255.0f, f.Offset);
    }
}

}  // namespace
