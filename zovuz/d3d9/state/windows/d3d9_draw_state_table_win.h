// The tables that turn the library's blend modes into Direct3D 9 fixed-function state: the blend
// states of each mode and the texture-stage programs, and the wipe's alpha factor.
#pragma once

#include "zovuz/d3d9/calls/windows/d3d9_calls.h"

#define D3D9_BLEND_MODE_NUM 23
#define D3D9_STAGE_TYPE_NUM 7
#define D3D9_TEXTURE_STAGE_PROGRAM_NUM 336
#define D3D9_PROGRAM_STAGE_MAX 15

// One row per blend mode; -1 in a blend column leaves the device value unchanged.
struct D3D9BlendStateRow
{
    int DestBlend, SrcBlend, StageType, BlendOp, AlphaBlendEnable, AlphaTestWhileBlending;
};
extern const D3D9BlendStateRow D3D9BlendStateTable[D3D9_BLEND_MODE_NUM];

// One texture stage of a program; -1 in any field leaves the device value.
struct D3D9StageRecord
{
    int TexCoordIndex;
    int ResultArg;  // 0 D3DTA_CURRENT, other D3DTA_TEMP
    short AlphaArg1, AlphaArg2, AlphaOp, ColorArg1, ColorArg2, ColorOp;
    short Reserved[2];
};
static_assert(sizeof(D3D9StageRecord) == 24, "stage records lie 24 bytes apart");

// A program: its stage count and the stages, the one after the last disabling colour and alpha.
struct D3D9TextureStageProgram
{
    int StageNum;
    D3D9StageRecord Stage[D3D9_PROGRAM_STAGE_MAX];
    int Padding[5];
};
static_assert(sizeof(D3D9TextureStageProgram) == 384, "a program fills a block of 384 bytes");

// The 336 programs, made on the first call.
const D3D9TextureStageProgram *D3D9TextureStageTable(void);

// The program for a stage type (0-6), blend variant (0 no blend texture, else blend-graph type + 1),
// colour and alpha modulation and alpha variant (0, 1 texture alpha, 2 transparency test or Z).
int D3D9TextureStageProgramIndex(int StageType, int BlendVariant, int ColorModulation, int AlphaModulation,
                                 int AlphaVariant);

// The wipe's alpha shift for a border parameter (0-255) over a border range of 2 or more.
struct D3D9WipeFactor
{
    int Alpha;          // a: the texture factor's alpha
    int Stage0AlphaOp;  // D3DTOP_ADD or D3DTOP_SUBTRACT
    int Stage1AlphaOp;  // D3DTOP_MODULATE4X, _MODULATE2X or _MODULATE
    float K, Offset;    // the shader constant's third and fourth values
};
D3D9WipeFactor D3D9ComputeWipeFactor(int BorderParam, int BorderRange);
