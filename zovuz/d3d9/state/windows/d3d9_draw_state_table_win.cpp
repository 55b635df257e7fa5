// The blend-state table, the texture-stage programs (generated from their rules) and the wipe
// factor.
#include "zovuz/d3d9/state/windows/d3d9_draw_state_table_win.h"

#include <cstring>

const D3D9BlendStateRow D3D9BlendStateTable[D3D9_BLEND_MODE_NUM] = {
    {-1, -1, 0, D3DBLENDOP_ADD, 0, 1},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD, 1, 0},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_ADD, 1, 1},
    {-1, -1, 0, D3DBLENDOP_ADD, 0, 1},
    {-1, -1, 0, D3DBLENDOP_ADD, 0, 1},
    {D3DBLEND_ONE, D3DBLEND_ZERO, 0, D3DBLENDOP_ADD, 1, 0},
    {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, 0, D3DBLENDOP_ADD, 1, 0},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 2, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_SRCCOLOR, D3DBLEND_ZERO, 1, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 3, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 3, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ZERO, D3DBLEND_ONE, 0, D3DBLENDOP_ADD, 1, 0},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, 0, D3DBLENDOP_ADD, 1, 0},
    {D3DBLEND_ONE, D3DBLEND_SRCALPHA, 0, D3DBLENDOP_REVSUBTRACT, 1, 1},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, 4, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ONE, D3DBLEND_ONE, 4, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ONE, D3DBLEND_ONE, 4, D3DBLENDOP_REVSUBTRACT, 1, 1},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, 5, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, 6, D3DBLENDOP_ADD, 1, 1},
    {D3DBLEND_ONE, D3DBLEND_ONE, 6, D3DBLENDOP_ADD, 1, 1},
};

int D3D9TextureStageProgramIndex(int StageType, int BlendVariant, int ColorModulation, int AlphaModulation,
                                 int AlphaVariant)
{
    return (((StageType * 4 + BlendVariant) * 2 + (ColorModulation ? 1 : 0)) * 2 + (AlphaModulation ? 1 : 0)) * 3 +
           AlphaVariant;
}

namespace {

// Builds one program stage by stage.
struct ProgramBuilder
{
    D3D9TextureStageProgram &P;
    D3D9StageRecord &Add(int TexCoord, int ColorOp, int ColorArg1, int ColorArg2, int AlphaOp, int AlphaArg1,
                         int AlphaArg2)
    {
        D3D9StageRecord &s = P.Stage[P.StageNum++];
        s = {TexCoord,
             0,
             (short)AlphaArg1,
             (short)AlphaArg2,
             (short)AlphaOp,
             (short)ColorArg1,
             (short)ColorArg2,
             (short)ColorOp,
             {0, 0}};
        return s;
    }
    // Colour and alpha alike.
    D3D9StageRecord &Both(int TexCoord, int Op, int Arg1, int Arg2)
    {
        return Add(TexCoord, Op, Arg1, Arg2, Op, Arg1, Arg2);
    }
    void Terminate()
    {
        D3D9StageRecord &s = P.Stage[P.StageNum];
        s = {-1, -1, -1, -1, D3DTOP_DISABLE, -1, -1, D3DTOP_DISABLE, {0, 0}};
    }
};

const int DiffuseAlpha = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;

// The stage that premultiplies the colour by the vertex alpha.
void AddPremultiply(ProgramBuilder &B)
{
    B.Add(0, D3DTOP_MODULATE, D3DTA_CURRENT, DiffuseAlpha, D3DTOP_SELECTARG1, D3DTA_CURRENT, -1);
}

void BuildSingleTexture(ProgramBuilder &B, int Type, int Cm, int Am, int Av)
{
    const int tex = Type == 2 || Type == 5 ? D3DTA_TEXTURE | D3DTA_COMPLEMENT : D3DTA_TEXTURE;
    int colorOp, colorArg2 = D3DTA_DIFFUSE;
    if (Type == 3 || Type == 6)
        colorOp = D3DTOP_MODULATE4X;
    else if (Cm)
        colorOp = D3DTOP_MODULATE;
    else if ((Type == 4 || Type == 5) && Am)
        colorOp = D3DTOP_MODULATE, colorArg2 = DiffuseAlpha;
    else
        colorOp = D3DTOP_SELECTARG1;
    int alphaOp = Av == 0 ? D3DTOP_SELECTARG2 : Am ? D3DTOP_MODULATE : D3DTOP_SELECTARG1;
    // Only the colour is inverted: an inverted draw keeps the texture's transparency, as the base
    // pixel shaders and the Direct3D 11 back end do.
    B.Add(0, colorOp, tex, colorArg2, alphaOp, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    if (Type == 1)
        B.Add(1, D3DTOP_BLENDCURRENTALPHA, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_CURRENT, -1);
    else if ((Type == 6 && Am) || ((Type == 4 || Type == 5) && Cm && Am))
        AddPremultiply(B);
}

// Blend-texture programs. Stage type 1 has none. Stage types 3 and 6 cross-fade through the x4
// chain below; for every other (stage type, blend-graph type) the stage-type-0 program of that
// blend-graph type serves: it binds the textures step for step as the draw-state flush expects and
// keeps within six stages.
void BuildBlendTexture(ProgramBuilder &B, int Type, int BlendType, int Cm, int Am, int Av)
{
    if (Type == 1) return;
    if (BlendType == 0 && (Type == 3 || Type == 6)) {
        B.Both(1, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1);
        B.Both(0, D3DTOP_SUBTRACT, D3DTA_CURRENT, D3DTA_TEXTURE);
        B.Both(0, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TFACTOR);
        B.Both(0, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TEXTURE);
        B.Both(0, D3DTOP_MODULATE4X, D3DTA_CURRENT, D3DTA_DIFFUSE);
        if (Type == 6 && Am) AddPremultiply(B);
        return;
    }
    switch (BlendType) {
        case 0:
            B.Both(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1);
            B.Both(1, D3DTOP_BLENDFACTORALPHA, D3DTA_CURRENT, D3DTA_TEXTURE);
            if (Cm) B.Both(0, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE);
            break;
        case 1: {
            const int alphaOp = Cm || Av != 0 ? D3DTOP_ADD : D3DTOP_MODULATE;
            B.Add(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, alphaOp, D3DTA_TEXTURE, D3DTA_TFACTOR);
            if (Av == 1) B.Add(1, D3DTOP_SELECTARG1, D3DTA_CURRENT, -1, D3DTOP_MODULATE, D3DTA_SPECULAR, D3DTA_CURRENT);
            B.Add(1, Cm ? D3DTOP_MODULATE : D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
                  D3DTA_CURRENT, D3DTA_DIFFUSE);
            if (Am) B.Add(0, D3DTOP_SELECTARG1, D3DTA_CURRENT, -1, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_CURRENT);
            break;
        }
        default:
            B.Both(1, D3DTOP_SELECTARG1, D3DTA_TEXTURE, -1);
            B.Add(0, D3DTOP_SELECTARG1, D3DTA_CURRENT, -1, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_TEXTURE);
            if (Cm) B.Both(0, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE);
            break;
    }
}

D3D9TextureStageProgram Programs[D3D9_TEXTURE_STAGE_PROGRAM_NUM];
bool ProgramsBuilt = false;

}  // namespace

const D3D9TextureStageProgram *D3D9TextureStageTable(void)
{
    if (ProgramsBuilt) return Programs;
    std::memset(Programs, 0, sizeof Programs);
    for (int type = 0; type < D3D9_STAGE_TYPE_NUM; ++type)
        for (int variant = 0; variant < 4; ++variant)
            for (int cm = 0; cm < 2; ++cm)
                for (int am = 0; am < 2; ++am)
                    for (int av = 0; av < 3; ++av) {
                        ProgramBuilder b{Programs[D3D9TextureStageProgramIndex(type, variant, cm, am, av)]};
                        if (variant == 0)
                            BuildSingleTexture(b, type, cm, am, av);
                        else
                            BuildBlendTexture(b, type, variant - 1, cm, am, av);
                        b.Terminate();
                    }
    ProgramsBuilt = true;
    return Programs;
}

D3D9WipeFactor D3D9ComputeWipeFactor(int BorderParam, int BorderRange)
{
    int k, span, shift, mul, stage1;
    if (BorderRange <= 64)
        k = 4, span = 0x500, shift = 10, mul = 0x40, stage1 = D3DTOP_MODULATE4X;
    else if (BorderRange <= 128)
        k = 2, span = 0x300, shift = 9, mul = 0x80, stage1 = D3DTOP_MODULATE2X;
    else
        k = 1, span = 0x200, shift = 8, mul = 0xFF, stage1 = D3DTOP_MODULATE;
    const int t = -(BorderParam * span / 255), i = t + span;
    D3D9WipeFactor f = {};
    f.Stage1AlphaOp = stage1;
    f.K = (float)k;
    if (i < span - 256) {
        f.Alpha = 255 - ((i * 255) >> shift);
        f.Stage0AlphaOp = D3DTOP_SUBTRACT;
        f.Offset = -f.Alpha / 255.0f;
    } else {
        f.Alpha = ((t + 256) * mul) >> 8;
        f.Stage0AlphaOp = D3DTOP_ADD;
        f.Offset = f.Alpha / 255.0f;
    }
    return f;
}
