#include "three_d_set.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "pixel_steps.h"
#include "sm4_builder.h"
#include "zovuz/d3d11/shader/d3d11_3d_shaders.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"

namespace dxbc {

namespace {

constexpr uint32_t Vector(int ByteOffset) { return uint32_t(ByteOffset / 16); }
const char *const Lane[4] = {"x", "y", "z", "w"};

const uint32_t CommonVectors = Vector(D3D11_COMMON_3D_SIZE);
const uint32_t VertexBaseVectors = 16;
const uint32_t VertexOtherVectors = Vector(D3D11_VERTEX_OTHER_TEXTURE_MATRIX) + 2;
const uint32_t PixelBaseVectors = 4;
const uint32_t ShadowMatrixVectors = Vector(D3D11_SHADOW_MATRIX_STRIDE * D3D11_3D_SHADOW_SLOT_NUM);
const uint32_t ShadowParamVectors = Vector(D3D11_SHADOW_PARAM_STRIDE * D3D11_3D_SHADOW_SLOT_NUM);
// Below this the shadow's fade range counts as none (a hard edge).
const float SmallestFadeRange = 1e-30f;

// The vector of a light's field.
uint32_t LightVector(int Light, int Field) { return Vector(Light * D3D11_COMMON_LIGHT_STRIDE + Field); }

// ---- Light-type tuples ---------------------------------------------------------------------

// The non-increasing tuples of Length types below Limit, in their numbering order.
std::vector<std::vector<int>> Tuples(int Length, int Limit)
{
    std::vector<std::vector<int>> Out;
    std::vector<int> T(size_t(Length), 0);
    std::function<void(int, int)> Walk = [&](int At, int Top) {
        if (At == Length) {
            Out.push_back(T);
            return;
        }
        for (int Type = 0; Type <= Top; ++Type) {
            T[size_t(At)] = Type;
            Walk(At + 1, Type);
        }
    };
    Walk(0, Limit - 1);
    return Out;
}

const std::vector<std::vector<int>> &Light6Tuples()
{
    static const std::vector<std::vector<int>> All = Tuples(6, 4);
    return All;
}
const std::vector<std::vector<int>> &Light3Tuples()
{
    static const std::vector<std::vector<int>> All = Tuples(3, 4);
    return All;
}
const std::vector<std::vector<int>> &Light3bTuples()
{
    static const std::vector<std::vector<int>> All = Tuples(3, 3);
    return All;
}

// ---- Vertex shaders -----------------------------------------------------------------------

// What every 3-D vertex shader computes first, in fixed temps: r1 the world position (w 1), r2
// the view position (w 1), r4.xyz the view normal (normalised, when asked), r5 the material
// diffuse Md, r6 the material specular Ms, r7.x the fog factor.
struct VertexCommon {
    Reg Common, Base;
};

VertexCommon TransformVertex(ShaderBuilder &B, const Reg &OutPosition, bool Normal, int Fog)
{
    // Every 3-D vertex shader declares the inputs of VERTEX3D in its order, the normal too where it
    // goes unused: they all draw with the one input layout made against the base VERTEX3D shader,
    // which declares the same, and Wine links a layout to a shader's inputs by register.
    const Reg Position = B.Input("POSITION", 0, "xyz");
    const Reg NormalIn = B.Input("NORMAL", 0, "xyz");
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Specular = B.Input("COLOR", 1);
    const VertexCommon V = {B.ConstantBuffer(D3D11_CB_COMMON, CommonVectors),
                            B.ConstantBuffer(D3D11_CB_VERTEX_BASE, VertexBaseVectors)};
    const Reg Switch0 = V.Base[Vector(D3D11_VERTEX_BASE_SWITCH0)](Lane[(D3D11_VERTEX_BASE_SWITCH0 % 16) / 4]);
    const Reg Switch1 = V.Base[Vector(D3D11_VERTEX_BASE_SWITCH1)](Lane[(D3D11_VERTEX_BASE_SWITCH1 % 16) / 4]);
    const Reg Switch2 = V.Base[Vector(D3D11_VERTEX_BASE_SWITCH2)](Lane[(D3D11_VERTEX_BASE_SWITCH2 % 16) / 4]);
    const Reg MaterialDiffuse = V.Common[Vector(D3D11_COMMON_MATERIAL_DIFFUSE)];
    const Reg MaterialSpecular = V.Common[Vector(D3D11_COMMON_MATERIAL_SPECULAR)];
    const uint32_t World = Vector(D3D11_VERTEX_BASE_WORLD_MATRIX), View = Vector(D3D11_VERTEX_BASE_VIEW_MATRIX);

    B.Mov(R(0)("xyz"), Position);
    B.Mov(R(0)("w"), Imm(1.0f));
    for (int i = 0; i < 3; ++i) B.Dp4(R(1)(Lane[i]), R(0), V.Base[World + uint32_t(i)]);
    B.Mov(R(1)("w"), Imm(1.0f));
    for (int i = 0; i < 3; ++i) B.Dp4(R(2)(Lane[i]), R(1), V.Base[View + uint32_t(i)]);
    B.Mov(R(2)("w"), Imm(1.0f));
    for (int i = 0; i < 4; ++i)
        B.Dp4(OutPosition(Lane[i]), R(2), V.Base[Vector(D3D11_VERTEX_BASE_PROJECTION_MATRIX) + uint32_t(i)]);
    if (Normal) {
        for (int i = 0; i < 3; ++i) B.Dp3(R(3)(Lane[i]), NormalIn, V.Base[World + uint32_t(i)]);
        for (int i = 0; i < 3; ++i) B.Dp3(R(4)(Lane[i]), R(3)("xyz"), V.Base[View + uint32_t(i)]);
        B.Dp3(R(4)("w"), R(4)("xyz"), R(4)("xyz"));
        B.Rsq(R(4)("w"), R(4)("w"));
        B.Mul(R(4)("xyz"), R(4)("xyz"), R(4)("w"));
    }
    B.Add(R(5), Colour, -MaterialDiffuse);
    B.Mad(R(5), R(5), Switch1, MaterialDiffuse);
    B.Add(R(6), Specular, -MaterialSpecular);
    B.Mad(R(6), R(6), Switch2, MaterialSpecular);
    B.Mul(R(6), R(6), Switch0);

    // Fog on the view-space depth.
    const Reg FogTerms = V.Common[Vector(D3D11_COMMON_FOG)];
    const Reg Z = R(2)("z"), F = R(7)("x");
    switch (Fog) {
        case 1:  // e^-(density z)
        case 2:  // e^-(density z)^2
            B.Mul(F, FogTerms("z"), Z);
            if (Fog == 2) B.Mul(F, F, F);
            B.Log(R(7)("y"), FogTerms("w"));
            B.Mul(F, -F, R(7)("y"));
            B.Exp(Sat(F), F);
            break;
        case 3: B.Mad(Sat(F), Z, FogTerms("y"), FogTerms("x")); break;
        default: B.Mov(F, Imm(1.0f)); break;
    }
    return V;
}

// TEXCOORD0 through the texture-coordinate matrix, as in the base 3-D vertex shader.
void TextureCoordinates(ShaderBuilder &B, const Reg &Uv, const Reg &OutUv)
{
    const Reg Other = B.ConstantBuffer(D3D11_CB_VERTEX_OTHER, VertexOtherVectors);
    const uint32_t Matrix = Vector(D3D11_VERTEX_OTHER_TEXTURE_MATRIX);
    B.Mov(R(8)("xy"), Uv);
    B.Mov(R(8)("zw"), Imm(0.0f, 0.0f, 1.0f, 0.0f));
    B.Dp4(OutUv("x"), R(8), Other[Matrix]);
    B.Dp4(OutUv("y"), R(8), Other[Matrix + 1]);
}

// The shadow-map coordinates of the world position r1, one output per slot.
void ShadowCoordinates(ShaderBuilder &B, const std::vector<Reg> &Out)
{
    const Reg Matrices = B.ConstantBuffer(D3D11_CB_SHADOW_MATRIX, ShadowMatrixVectors);
    for (int Slot = 0; Slot < D3D11_3D_SHADOW_SLOT_NUM; ++Slot)
        for (int i = 0; i < 4; ++i)
            B.Dp4(Out[size_t(Slot)](Lane[i]), R(1), Matrices[Vector(Slot * D3D11_SHADOW_MATRIX_STRIDE) + uint32_t(i)]);
}

// One light's terms at view position P with normal N and eye direction V (all .xyz), into
// R(T).x the attenuation (with the spot factor and the range), R(T).y max(0, N.L) and R(T).z the
// specular power term (0 where N.L <= 0). Uses temps T to T + 3.
void LightTerms(ShaderBuilder &B, const Reg &Common, int Light, int Type, const Reg &P, const Reg &N, const Reg &V,
                uint32_t T)
{
    const Reg Position = Common[LightVector(Light, D3D11_COMMON_LIGHT_POSITION)];
    const Reg Direction = Common[LightVector(Light, D3D11_COMMON_LIGHT_DIRECTION)];
    const Reg Diffuse = Common[LightVector(Light, D3D11_COMMON_LIGHT_DIFFUSE)];
    const Reg Specular = Common[LightVector(Light, D3D11_COMMON_LIGHT_SPECULAR)];
    const Reg Attenuation = Common[LightVector(Light, D3D11_COMMON_LIGHT_ATTENUATION)];
    const Reg Power = Common[Vector(D3D11_COMMON_MATERIAL_POWER)]("x");
    const Reg Out = R(T), L = R(T + 1)("xyz"), S = R(T + 2), U = R(T + 3);

    if (Type == D3D11_LIGHT_DIRECTIONAL) {
        B.Dp3(S("x"), Direction("xyz"), Direction("xyz"));
        B.Rsq(S("x"), S("x"));
        B.Mul(L, -Direction("xyz"), S("x"));
        B.Mov(Out("x"), Imm(1.0f));
    } else {
        // S.x d^2, S.y 1/d, S.z d, S.w the attenuation's denominator.
        B.Add(L, Position("xyz"), -P);
        B.Dp3(S("x"), L, L);
        B.Rsq(S("y"), S("x"));
        B.Mul(L, L, S("y"));
        B.Mul(S("z"), S("x"), S("y"));
        B.Mad(S("w"), Attenuation("y"), S("z"), Attenuation("x"));
        B.Mad(S("w"), Attenuation("z"), S("x"), S("w"));
        B.Div(Out("x"), Imm(1.0f), S("w"));
        B.Ge(S("x"), Position("w"), S("x"));  // inside the range
        B.And(Out("x"), Out("x"), S("x"));
        if (Type == D3D11_LIGHT_SPOT) {
            // U.y = saturate((rho - cos(phi/2)) / (cos(theta/2) - cos(phi/2))), then ^ falloff.
            B.Dp3(U("x"), Direction("xyz"), Direction("xyz"));
            B.Rsq(U("x"), U("x"));
            B.Dp3(U("y"), -L, Direction("xyz"));
            B.Mul(U("y"), U("y"), U("x"));
            B.Add(U("y"), U("y"), -Diffuse("w"));
            B.Mul(Sat(U("y")), U("y"), Specular("w"));
            B.Log(U("z"), U("y"));
            B.Mul(U("z"), U("z"), Direction("w"));
            B.Exp(U("z"), U("z"));
            B.Lt(U("w"), Imm(0.0f), U("y"));
            B.And(U("z"), U("z"), U("w"));
            B.Mul(Out("x"), Out("x"), U("z"));
        }
    }
    B.Dp3(U("x"), N, L);
    B.Max(Out("y"), U("x"), Imm(0.0f));
    B.Lt(U("x"), Imm(0.0f), U("x"));
    // H = normalize(L + V); (N.H)^power where N.L > 0.
    B.Add(S("xyz"), L, V);
    B.Dp3(S("w"), S("xyz"), S("xyz"));
    B.Rsq(S("w"), S("w"));
    B.Mul(S("xyz"), S("xyz"), S("w"));
    B.Dp3(S("x"), N, S("xyz"));
    B.Max(S("x"), S("x"), Imm(0.0f));
    B.Log(S("x"), S("x"));
    B.Mul(S("x"), S("x"), Power);
    B.Exp(Out("z"), S("x"));
    B.And(Out("z"), Out("z"), U("x"));
}

// Light's contributions after LightTerms into R(T): the ambient is added to Ambient, the diffuse
// (x Md) goes to Diffuse and the specular (x Ms) to SpecularOut (.xyz each).
void LightColours(ShaderBuilder &B, const Reg &Common, int Light, uint32_t T, const Reg &Md, const Reg &Ms,
                  const Reg &Ambient, const Reg &Diffuse, const Reg &SpecularOut)
{
    const Reg Terms = R(T);
    B.Mad(Ambient("xyz"), Common[LightVector(Light, D3D11_COMMON_LIGHT_AMBIENT)]("xyz"), Terms("x"), Ambient("xyz"));
    B.Mul(Terms("yz"), Terms("yz"), Terms("x"));
    B.Mul(Diffuse("xyz"), Common[LightVector(Light, D3D11_COMMON_LIGHT_DIFFUSE)]("xyz"), Terms("y"));
    B.Mul(Diffuse("xyz"), Diffuse("xyz"), Md("xyz"));
    B.Mul(SpecularOut("xyz"), Common[LightVector(Light, D3D11_COMMON_LIGHT_SPECULAR)]("xyz"), Terms("z"));
    B.Mul(SpecularOut("xyz"), SpecularOut("xyz"), Ms("xyz"));
}

// What the unlit and vertex-lighting vertex shaders hand to their pixel shaders, in this order:
// declared as the vertex shader's outputs or, the same way, as the pixel shader's inputs.
struct LitLink {
    Reg Position, Colour, Specular, Uv, Fog;
    std::vector<Reg> ShadowCoords, LightDiffuse, LightSpecular;
};

enum class LinkSide { VertexOutputs, PixelInputs };

LitLink DeclareLitLink(ShaderBuilder &B, LinkSide Side, int Shadow)
{
    const bool Out = Side == LinkSide::VertexOutputs;
    auto Declare = [&](const char *Semantic, uint32_t Index, const char *Mask = "xyzw") {
        return Out ? B.Output(Semantic, Index, Mask) : B.Input(Semantic, Index, Mask);
    };
    LitLink L;
    L.Position = Out ? B.OutputSystemValue("SV_Position", SystemValue::Position)
                     : B.InputSystemValue("SV_Position", SystemValue::Position);
    L.Colour = Declare("COLOR", 0);
    L.Specular = Declare("COLOR", 1);
    L.Uv = Declare("TEXCOORD", 0, "xy");
    L.Fog = Declare("TEXCOORD", 1, "x");
    if (Shadow) {
        uint32_t Index = 2;
        for (int i = 0; i < D3D11_3D_SHADOW_SLOT_NUM; ++i) L.ShadowCoords.push_back(Declare("TEXCOORD", Index++));
        for (int i = 0; i < D3D11_3D_VERTEX_LIGHT_NUM; ++i) L.LightDiffuse.push_back(Declare("TEXCOORD", Index++, "xyz"));
        for (int i = 0; i < D3D11_3D_VERTEX_LIGHT_NUM; ++i) L.LightSpecular.push_back(Declare("TEXCOORD", Index++, "xyz"));
    }
    return L;
}

void UnlitVertex(ShaderBuilder &B, const ThreeDVariant &Var)
{
    const LitLink O = DeclareLitLink(B, LinkSide::VertexOutputs, 0);
    TransformVertex(B, O.Position, false, Var.Fog);
    TextureCoordinates(B, B.Input("TEXCOORD", 0, "xy"), O.Uv);
    B.Mov(O.Colour, R(5));
    B.Mov(O.Specular, R(6));
    B.Mov(O.Fog, R(7)("x"));
    B.Ret();
}

void VertexLightingVertex(ShaderBuilder &B, const ThreeDVariant &Var)
{
    const LitLink O = DeclareLitLink(B, LinkSide::VertexOutputs, Var.Shadow);
    const VertexCommon V = TransformVertex(B, O.Position, true, Var.Fog);
    TextureCoordinates(B, B.Input("TEXCOORD", 0, "xy"), O.Uv);
    // r9 the eye direction; r20 the ambient sum; r21, r22 the diffuse and specular sums.
    B.Mov(R(9)("xyz"), -R(2)("xyz"));
    B.Dp3(R(9)("w"), R(9)("xyz"), R(9)("xyz"));
    B.Rsq(R(9)("w"), R(9)("w"));
    B.Mul(R(9)("xyz"), R(9)("xyz"), R(9)("w"));
    B.Mov(R(20), V.Common[Vector(D3D11_COMMON_AMBIENT_EMISSIVE)]);
    B.Mov(R(21), Imm(0.0f));
    B.Mov(R(22), Imm(0.0f));
    for (int Light = 0; Light < D3D11_3D_VERTEX_LIGHT_NUM; ++Light) {
        if (Var.Types[Light] == D3D11_LIGHT_NONE) {
            if (Var.Shadow) {
                B.Mov(O.LightDiffuse[size_t(Light)], Imm(0.0f));
                B.Mov(O.LightSpecular[size_t(Light)], Imm(0.0f));
            }
            continue;
        }
        LightTerms(B, V.Common, Light, Var.Types[Light], R(2)("xyz"), R(4)("xyz"), R(9)("xyz"), 10);
        LightColours(B, V.Common, Light, 10, R(5), R(6), R(20), R(14), R(15));
        if (Var.Shadow) {
            // The pixel shader weighs each light by its shadow.
            B.Mov(O.LightDiffuse[size_t(Light)], R(14)("xyz"));
            B.Mov(O.LightSpecular[size_t(Light)], R(15)("xyz"));
        } else {
            B.Add(R(21)("xyz"), R(21)("xyz"), R(14)("xyz"));
            B.Add(R(22)("xyz"), R(22)("xyz"), R(15)("xyz"));
        }
    }
    if (Var.Shadow) {
        B.Mov(O.Colour("xyz"), R(20)("xyz"));
    } else {
        B.Add(Sat(O.Colour("xyz")), R(20)("xyz"), R(21)("xyz"));
    }
    B.Mov(O.Colour("w"), R(5)("w"));
    B.Mov(Sat(O.Specular), R(22));
    B.Mov(O.Fog, R(7)("x"));
    if (Var.Shadow) ShadowCoordinates(B, O.ShadowCoords);
    B.Ret();
}

// Per-pixel lighting: the material colours, the coordinates, the view position with the fog
// factor, the view normal and the shadow-map coordinates go to the pixel shader.
struct PixelLightingOutputs {
    Reg Position, Md, Ms, Uv, ViewFog, Normal;
    std::vector<Reg> ShadowCoords;
};

PixelLightingOutputs DeclarePixelLightingOutputs(ShaderBuilder &B, int Shadow)
{
    PixelLightingOutputs O;
    O.Position = B.OutputSystemValue("SV_Position", SystemValue::Position);
    O.Md = B.Output("COLOR", 0);
    O.Ms = B.Output("COLOR", 1);
    O.Uv = B.Output("TEXCOORD", 0, "xy");
    O.ViewFog = B.Output("TEXCOORD", 1);
    O.Normal = B.Output("TEXCOORD", 2, "xyz");
    if (Shadow)
        for (int i = 0; i < D3D11_3D_SHADOW_SLOT_NUM; ++i) O.ShadowCoords.push_back(B.Output("TEXCOORD", uint32_t(3 + i)));
    return O;
}

void PixelLightingVertex(ShaderBuilder &B, const ThreeDVariant &Var)
{
    const PixelLightingOutputs O = DeclarePixelLightingOutputs(B, Var.Shadow);
    TransformVertex(B, O.Position, true, Var.Fog);
    TextureCoordinates(B, B.Input("TEXCOORD", 0, "xy"), O.Uv);
    B.Mov(O.Md, R(5));
    B.Mov(O.Ms, R(6));
    B.Mov(O.ViewFog("xyz"), R(2)("xyz"));
    B.Mov(O.ViewFog("w"), R(7)("x"));
    B.Mov(O.Normal, R(4)("xyz"));
    if (Var.Shadow) ShadowCoordinates(B, O.ShadowCoords);
    B.Ret();
}

void ShadowMapVertex(ShaderBuilder &B)
{
    const Reg Position = B.OutputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Output("COLOR", 0);
    const Reg Uv = B.Output("TEXCOORD", 0, "xy");
    const Reg Depth = B.Output("TEXCOORD", 1, "xy");
    TransformVertex(B, R(11), false, 0);
    TextureCoordinates(B, B.Input("TEXCOORD", 0, "xy"), Uv);
    B.Mov(Position, R(11));
    B.Mov(Depth, R(11)("zw"));
    B.Mov(Colour, R(5));
    B.Ret();
}

// ---- Pixel shaders ------------------------------------------------------------------------

struct PixelCommon {
    Reg Common, PixelBase, Image, ImageSampler;
};

PixelCommon DeclarePixelResources(ShaderBuilder &B)
{
    PixelCommon P;
    P.Common = B.ConstantBuffer(D3D11_CB_COMMON, CommonVectors);
    P.PixelBase = B.ConstantBuffer(D3D11_CB_PIXEL_BASE, PixelBaseVectors);
    P.Image = B.Texture2D(D3D11_TEXTURE_IMAGE);
    P.ImageSampler = B.Sampler(D3D11_TEXTURE_IMAGE);
    return P;
}

// r1 = texture 0 at Uv, its alpha raised by switch 60.
void SampleImage(ShaderBuilder &B, const PixelCommon &P, const Reg &Uv)
{
    B.Sample(R(1), Uv, P.Image, P.ImageSampler);
    B.Max(R(1)("w"), R(1)("w"), P.PixelBase[Vector(D3D11_PIXEL_BASE_SWITCH60)]("w"));
    static_assert(D3D11_PIXEL_BASE_SWITCH60 % 16 == 12, "switch 60 is the last lane of its vector");
}

// r0 (the colour, rgb + specular already in) through fog, the alpha test and the shader class.
void FinishPixel(ShaderBuilder &B, const PixelCommon &P, const Reg &Fog, const Reg &VertexAlpha, const ThreeDVariant &Var)
{
    const Reg FogColour = P.Common[Vector(D3D11_COMMON_FOG_COLOR)]("xyz");
    B.Add(R(2)("xyz"), R(0)("xyz"), -FogColour);
    B.Mad(R(0)("xyz"), R(2)("xyz"), Fog, FogColour);
    AlphaTestStep(B, P.PixelBase, R(0)("w"), Var.AlphaTest);
    ShaderClassStep(B, R(0), VertexAlpha, Var.Blend);
    B.Mov(B.Output("SV_Target", 0), R(0));
    B.Ret();
}

// r20.xyz = the light factors of lights 0-2 under the three shadow maps (Coords: the inputs).
// Uses r16-r19.
void ShadowFactors(ShaderBuilder &B, const std::vector<Reg> &Coords)
{
    const Reg Params = B.ConstantBuffer(D3D11_CB_SHADOW_PARAM, ShadowParamVectors);
    B.Mov(R(20)("xyz"), Imm(1.0f));
    for (int Slot = 0; Slot < D3D11_3D_SHADOW_SLOT_NUM; ++Slot) {
        const Reg Map = B.Texture2D(uint32_t(D3D11_TEXTURE_SHADOW_MAP + Slot));
        const Reg MapSampler = B.Sampler(uint32_t(D3D11_TEXTURE_SHADOW_MAP + Slot));
        const Reg C = Coords[size_t(Slot)], Entry = Params[Vector(Slot * D3D11_SHADOW_PARAM_STRIDE)];
        const Reg Flags[3] = {Entry("z"), Entry("w"), Params[Vector(Slot * D3D11_SHADOW_PARAM_STRIDE) + 1]("x")};
        static_assert(D3D11_SHADOW_PARAM_LIGHT_FLAGS == 8, "the flags read above");
        // r16.xyz = the point in the map's space: u, v and depth.
        B.Div(R(16)("xyz"), C("xyz"), C("w"));
        B.Mad(R(16)("xy"), R(16)("xy"), Imm(0.5f, -0.5f, 0.0f, 0.0f), Imm(0.5f));
        B.Sample(R(17), R(16)("xy"), Map, MapSampler);
        B.Add(R(16)("z"), R(16)("z"), -Entry("x"));
        B.Add(R(16)("z"), R(16)("z"), -R(17)("x"));
        B.Max(R(16)("w"), Entry("y"), Imm(SmallestFadeRange));
        B.Div(R(16)("z"), R(16)("z"), R(16)("w"));
        B.Add(Sat(R(16)("z")), -R(16)("z"), Imm(1.0f));
        B.Lt(R(16)("w"), Imm(0.0f), C("w"));
        B.Movc(R(16)("z"), R(16)("w"), R(16)("z"), Imm(1.0f));
        // Light i: x (1 - flag (1 - factor)).
        B.Add(R(18)("x"), R(16)("z"), Imm(-1.0f));
        for (int Light = 0; Light < D3D11_3D_VERTEX_LIGHT_NUM; ++Light) {
            B.Mad(R(19)("x"), Flags[Light], R(18)("x"), Imm(1.0f));
            B.Mul(R(20)(Lane[Light]), R(20)(Lane[Light]), R(19)("x"));
        }
    }
}

void UnlitOrVertexLightingPixel(ShaderBuilder &B, const ThreeDVariant &Var)
{
    const LitLink I = DeclareLitLink(B, LinkSide::PixelInputs, Var.Shadow);
    const PixelCommon P = DeclarePixelResources(B);
    SampleImage(B, P, I.Uv);
    if (!Var.Shadow) {
        B.Mul(R(0), R(1), I.Colour);
        B.Add(R(0)("xyz"), R(0)("xyz"), I.Specular("xyz"));
    } else {
        // Each light's diffuse and specular weighed by its shadow: r21 the colour, r22 the specular.
        ShadowFactors(B, I.ShadowCoords);
        B.Mov(R(21), I.Colour);
        B.Mov(R(22)("xyz"), I.Specular("xyz"));
        for (int Light = 0; Light < D3D11_3D_VERTEX_LIGHT_NUM; ++Light) {
            if (Var.Types[Light] == 0) continue;
            B.Mad(R(21)("xyz"), I.LightDiffuse[size_t(Light)], R(20)(Lane[Light]), R(21)("xyz"));
            B.Mad(R(22)("xyz"), I.LightSpecular[size_t(Light)], R(20)(Lane[Light]), R(22)("xyz"));
        }
        B.Mov(Sat(R(21)("xyz")), R(21)("xyz"));
        B.Mul(R(0), R(1), R(21));
        B.Mov(Sat(R(22)("xyz")), R(22)("xyz"));
        B.Add(R(0)("xyz"), R(0)("xyz"), R(22)("xyz"));
    }
    FinishPixel(B, P, I.Fog, I.Colour("w"), Var);
}

void PixelLightingPixel(ShaderBuilder &B, const ThreeDVariant &Var)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Md = B.Input("COLOR", 0);
    const Reg Ms = B.Input("COLOR", 1);
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg ViewFog = B.Input("TEXCOORD", 1);
    const Reg Normal = B.Input("TEXCOORD", 2, "xyz");
    std::vector<Reg> Coords;
    if (Var.Shadow)
        for (int i = 0; i < D3D11_3D_SHADOW_SLOT_NUM; ++i) Coords.push_back(B.Input("TEXCOORD", uint32_t(3 + i)));
    const PixelCommon P = DeclarePixelResources(B);
    SampleImage(B, P, Uv);
    if (Var.Shadow) ShadowFactors(B, Coords);

    // r8 the normal, r9 the eye direction (both normalised); r21 the colour, r22 the specular.
    B.Dp3(R(8)("w"), Normal, Normal);
    B.Rsq(R(8)("w"), R(8)("w"));
    B.Mul(R(8)("xyz"), Normal, R(8)("w"));
    B.Mov(R(9)("xyz"), -ViewFog("xyz"));
    B.Dp3(R(9)("w"), R(9)("xyz"), R(9)("xyz"));
    B.Rsq(R(9)("w"), R(9)("w"));
    B.Mul(R(9)("xyz"), R(9)("xyz"), R(9)("w"));
    B.Mov(R(21), P.Common[Vector(D3D11_COMMON_AMBIENT_EMISSIVE)]);
    B.Mov(R(22), Imm(0.0f));
    for (int Light = 0; Light < D3D11_3D_LIGHT_NUM; ++Light) {
        if (Var.Types[Light] == D3D11_LIGHT_NONE) continue;
        LightTerms(B, P.Common, Light, Var.Types[Light], ViewFog("xyz"), R(8)("xyz"), R(9)("xyz"), 10);
        LightColours(B, P.Common, Light, 10, Md, Ms, R(21), R(14), R(15));
        if (Var.Shadow && Light < D3D11_3D_VERTEX_LIGHT_NUM) {
            B.Mad(R(21)("xyz"), R(14)("xyz"), R(20)(Lane[Light]), R(21)("xyz"));
            B.Mad(R(22)("xyz"), R(15)("xyz"), R(20)(Lane[Light]), R(22)("xyz"));
        } else {
            B.Add(R(21)("xyz"), R(21)("xyz"), R(14)("xyz"));
            B.Add(R(22)("xyz"), R(22)("xyz"), R(15)("xyz"));
        }
    }
    B.Mov(Sat(R(21)("xyz")), R(21)("xyz"));
    B.Mov(R(21)("w"), Md("w"));
    B.Mul(R(0), R(1), R(21));
    B.Mov(Sat(R(22)("xyz")), R(22)("xyz"));
    B.Add(R(0)("xyz"), R(0)("xyz"), R(22)("xyz"));
    FinishPixel(B, P, ViewFog("w"), Md("w"), Var);
}

void ShadowMapPixel(ShaderBuilder &B, const ThreeDVariant &Var)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Depth = B.Input("TEXCOORD", 1, "xy");
    const PixelCommon P = DeclarePixelResources(B);
    SampleImage(B, P, Uv);
    B.Mul(R(0)("w"), R(1)("w"), Colour("w"));
    AlphaTestStep(B, P.PixelBase, R(0)("w"), Var.AlphaTest);
    B.Div(R(0)("x"), Depth("x"), Depth("y"));
    const Reg Target = B.Output("SV_Target", 0);
    B.Mov(Target("xyz"), R(0)("x"));
    B.Mov(Target("w"), Imm(1.0f));
    B.Ret();
}

// ---- Slots ----------------------------------------------------------------------------------

std::string TypesText(const int *Types, int Count)
{
    std::string Text;
    for (int i = 0; i < Count; ++i) Text += char('0' + Types[i]);
    return Text;
}

std::string VariantName(const ThreeDVariant &V, int Index)
{
    const std::string Fog = "_fog" + std::to_string(V.Fog), Shadow = "_shadow" + std::to_string(V.Shadow);
    const std::string Pixel = "_s" + std::to_string(V.AlphaTest) + "_class" + std::to_string(V.Blend);
    switch (V.Group) {
        case D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX: return "3d_pixel_lighting" + Fog + Shadow + ".vso";
        case D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL:
            return "3d_pixel_lighting" + Pixel + "_lights" + TypesText(V.Types, 6) + Shadow + ".pso";
        case D3D11_3D_GROUP_SHADOW_MAP_VERTEX: return "3d_shadow_map_" + std::to_string(Index) + ".vso";
        case D3D11_3D_GROUP_UNLIT_VERTEX: return "3d_unlit" + Fog + ".vso";
        case D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX:
            return "3d_vertex_lighting_lights" + TypesText(V.Types, 3) + Fog + Shadow + ".vso";
        case D3D11_3D_GROUP_SHADOW_MAP_PIXEL: return "3d_shadow_map_s" + std::to_string(V.AlphaTest) + ".pso";
        case D3D11_3D_GROUP_UNLIT_PIXEL: return "3d_unlit" + Pixel + ".pso";
        default: return "3d_vertex_lighting" + Pixel + "_lights" + TypesText(V.Types, 3) + Shadow + ".pso";
    }
}

void SetTypes(ThreeDVariant &V, const std::vector<int> &Types)
{
    for (size_t i = 0; i < Types.size(); ++i) V.Types[i] = Types[i];
}

}  // namespace

bool ThreeDSlotVariant(int Slot, ThreeDVariant &Out)
{
    if (Slot < 0 || Slot >= D3D11_3D_PACK_SLOTS) return false;
    int Group = 0;
    while (Slot >= D3D11ThreeDShaderGroups[Group].FirstSlot + D3D11ThreeDShaderGroups[Group].Count) ++Group;
    int Index = Slot - D3D11ThreeDShaderGroups[Group].FirstSlot;
    ThreeDVariant V;
    V.Group = Group;
    switch (Group) {
        case D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX:
            V.Fog = Index % 4;
            V.Shadow = Index / 4;
            break;
        case D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL:
            V.AlphaTest = Index % 2;
            Index /= 2;
            V.Blend = Index % 7;
            Index /= 7;
            SetTypes(V, Light6Tuples()[size_t(Index % D3D11_LIGHT6_NUM)]);
            V.Shadow = Index / D3D11_LIGHT6_NUM;
            break;
        case D3D11_3D_GROUP_UNLIT_VERTEX: V.Fog = Index; break;
        case D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX:
            SetTypes(V, Light3Tuples()[size_t(Index % D3D11_LIGHT3_NUM)]);
            Index /= D3D11_LIGHT3_NUM;
            V.Fog = Index % 4;
            V.Shadow = Index / 4;
            break;
        case D3D11_3D_GROUP_SHADOW_MAP_PIXEL: V.AlphaTest = Index; break;
        case D3D11_3D_GROUP_UNLIT_PIXEL:
            V.AlphaTest = Index % 2;
            V.Blend = Index / 2;
            break;
        case D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL:
            V.AlphaTest = Index % 2;
            Index /= 2;
            V.Blend = Index % 7;
            Index /= 7;
            SetTypes(V, Light3bTuples()[size_t(Index % D3D11_LIGHT3B_NUM)]);
            V.Shadow = Index / D3D11_LIGHT3B_NUM;
            break;
        default: break;  // the shadow-map vertex shaders: both slots alike
    }
    Out = V;
    return true;
}

namespace {

struct Signatures {
    std::vector<SignatureElement> Inputs, Outputs;
};

bool BuildSlot(int Slot, NamedShader &Out, Signatures *Made, std::string *Error)
{
    ThreeDVariant V;
    if (!ThreeDSlotVariant(Slot, V)) {
        if (Error) *Error = "slot " + std::to_string(Slot) + " is outside the 3-D pack";
        return false;
    }
    const bool Vertex = D3D11ThreeDShaderGroups[V.Group].VertexFlag != 0;
    ShaderBuilder B(Vertex ? Stage::Vertex : Stage::Pixel);
    switch (V.Group) {
        case D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX: PixelLightingVertex(B, V); break;
        case D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL: PixelLightingPixel(B, V); break;
        case D3D11_3D_GROUP_SHADOW_MAP_VERTEX: ShadowMapVertex(B); break;
        case D3D11_3D_GROUP_UNLIT_VERTEX: UnlitVertex(B, V); break;
        case D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX: VertexLightingVertex(B, V); break;
        case D3D11_3D_GROUP_SHADOW_MAP_PIXEL: ShadowMapPixel(B, V); break;
        default: UnlitOrVertexLightingPixel(B, V); break;
    }
    Out.FileName = VariantName(V, Slot - D3D11ThreeDShaderGroups[V.Group].FirstSlot);
    Out.Code = B.Finish();
    if (Out.Code.empty()) {
        if (Error) *Error = Out.FileName + ": " + B.Error();
        return false;
    }
    if (Made) *Made = {B.InputSignature(), B.OutputSignature()};
    return true;
}

}  // namespace

bool BuildThreeDShader(int Slot, NamedShader &Out, std::string *Error) { return BuildSlot(Slot, Out, nullptr, Error); }

bool BuildThreeDSet(std::vector<NamedShader> &Out, std::string *Error)
{
    // The slots are independent of each other: they are built on several threads, each into
    // its own place, so the set is the same whatever order they finish in. The first slot that
    // fails (by number) is the one reported.
    Out.assign(size_t(D3D11_3D_PACK_SLOTS), NamedShader());
    std::vector<Signatures> Made(static_cast<size_t>(D3D11_3D_PACK_SLOTS));
    std::vector<std::string> Errors(static_cast<size_t>(D3D11_3D_PACK_SLOTS));
    std::vector<char> Built(static_cast<size_t>(D3D11_3D_PACK_SLOTS), 0);
    std::atomic<int> Next{0};
    auto Work = [&] {
        for (int Slot; (Slot = Next++) < D3D11_3D_PACK_SLOTS;) {
            const size_t At = size_t(Slot);
            Built[At] = BuildSlot(Slot, Out[At], &Made[At], &Errors[At]);
        }
    };
    std::vector<std::thread> Threads(std::min(8u, std::max(1u, std::thread::hardware_concurrency())) - 1);
    for (std::thread &Thread : Threads) Thread = std::thread(Work);
    Work();
    for (std::thread &Thread : Threads) Thread.join();
    for (size_t At = 0; At < Built.size(); ++At) {
        if (Built[At]) continue;
        if (Error) *Error = Errors[At];
        Out.clear();
        return false;
    }

    // Every pixel shader after each vertex shader it is drawn with: the same lighting path and
    // shadow term, any fog (and, for vertex lighting, any light types).
    auto Link = [&](int VertexSlot, int PixelSlot) {
        std::string Why;
        if (CheckLinkage(Made[size_t(VertexSlot)].Outputs, Made[size_t(PixelSlot)].Inputs, &Why)) return true;
        if (Error) *Error = Out[size_t(PixelSlot)].FileName + " after " + Out[size_t(VertexSlot)].FileName + ": " + Why;
        return false;
    };
    for (int Slot = 0; Slot < D3D11_3D_PACK_SLOTS; ++Slot) {
        ThreeDVariant V;
        ThreeDSlotVariant(Slot, V);
        std::vector<int> Vertex;
        auto Group = [](int G, int Index) { return D3D11ThreeDShaderSlot(G, Index); };
        switch (V.Group) {
            case D3D11_3D_GROUP_PIXEL_LIGHTING_PIXEL:
                for (int Fog = 0; Fog < 4; ++Fog)
                    Vertex.push_back(Group(D3D11_3D_GROUP_PIXEL_LIGHTING_VERTEX, D3D11PixelLightingVertexIndex(Fog, V.Shadow)));
                break;
            case D3D11_3D_GROUP_SHADOW_MAP_PIXEL:
                Vertex = {Group(D3D11_3D_GROUP_SHADOW_MAP_VERTEX, 0), Group(D3D11_3D_GROUP_SHADOW_MAP_VERTEX, 1)};
                break;
            case D3D11_3D_GROUP_UNLIT_PIXEL:
                for (int Fog = 0; Fog < 4; ++Fog) Vertex.push_back(Group(D3D11_3D_GROUP_UNLIT_VERTEX, Fog));
                break;
            case D3D11_3D_GROUP_VERTEX_LIGHTING_PIXEL:
                for (int Light3 = 0; Light3 < D3D11_LIGHT3_NUM; ++Light3)
                    for (int Fog = 0; Fog < 4; ++Fog)
                        Vertex.push_back(Group(D3D11_3D_GROUP_VERTEX_LIGHTING_VERTEX,
                                               D3D11VertexLightingVertexIndex(Light3, Fog, V.Shadow)));
                break;
            default: break;
        }
        for (int VertexSlot : Vertex)
            if (!Link(VertexSlot, Slot)) return false;
    }
    return true;
}

}  // namespace dxbc
