#include "d3d9_base_set.h"

#include <functional>

namespace sm2 {

namespace {

const char *const Lane[4] = {"x", "y", "z", "w"};

enum GraphType { CrossFade = 1, Wipe = 2, Mask = 3 };   // blend selector values with a blend texture

void Base2DVertex(ShaderWriter &W)
{
    W.Def(C(0), 0, 1, 0, 0);
    const Reg Position = W.Dcl(Usage::Position, 0, V(0));
    const Reg Diffuse = W.Dcl(Usage::Color, 0, V(1));
    const Reg Specular = W.Dcl(Usage::Color, 1, V(2));
    std::vector<Reg> Uv;
    for (uint32_t i = 0; i < 8; ++i) Uv.push_back(W.Dcl(Usage::TexCoord, i, V(3 + i)));

    // clip = projection x (x, y, z, 1), then over rhw, as the fixed pipeline reads a transformed vertex.
    W.Mov(R(0)("xyz"), Position);
    W.Mov(R(0)("w"), C(0)("y"));
    for (uint32_t i = 0; i < 4; ++i) W.Dp4(R(1)(Lane[i]), R(0), C(2 + i));
    W.Rcp(R(2)("x"), Position("w"));
    W.Mul(OPos(), R(1), R(2)("x"));
    W.Mov(OD(0), Diffuse);
    W.Mov(OD(1), Specular);
    for (uint32_t i = 0; i < 8; ++i) W.Mov(OT(i)("xy"), Uv[i]);
}

// The factor's colour (c5 holds blue, green, red) into R.xyz: ps_2_0 swizzles only replicate.
void FactorColour(ShaderWriter &W, const Reg &Into)
{
    W.Mov(Into("x"), C(5)("z"));
    W.Mov(Into("y"), C(5)("y"));
    W.Mov(Into("z"), C(5)("x"));
}

// The stage type's last steps on r0 (colour already modulated by the diffuse colour, alpha final).
// Factor is where type 1 blends towards: the texture factor, or white with a blend texture.
void StageTail(ShaderWriter &W, int Type, const Reg &Diffuse, bool WhiteFactor)
{
    if (Type == 3 || Type == 6) W.Mul(Sat(R(0)("xyz")), R(0), C(1)("x"));
    if (Type == 4 || Type == 5 || Type == 6) W.Mul(R(0)("xyz"), R(0), Diffuse("w"));
    if (Type == 1) {
        if (WhiteFactor) W.Mov(R(1)("xyz"), C(0)("z"));
        else FactorColour(W, R(1));
        W.Lrp(R(2)("xyz"), R(0)("w"), R(0), R(1));
        W.Mov(R(0)("xyz"), R(2));
    }
}

void Constants(ShaderWriter &W)
{
    W.Def(C(0), 0, 0.5f, 1, 2);
    W.Def(C(1), 4, 0, 0, 0);
}

void NonetexPixel(ShaderWriter &W, int Type)
{
    Constants(W);
    const Reg Diffuse = W.Dcl(V(0));
    W.Mov(R(0), Diffuse);
    if (Type == 2 || Type == 5) W.Sub(R(0)("xyz"), C(0)("z"), Diffuse);
    StageTail(W, Type, Diffuse, false);
    W.Mov(OC(0), R(0));
}

void BlendPixel(ShaderWriter &W, const D3D9BlendShaderSelector &S)
{
    Constants(W);
    const Reg Uv0 = W.Dcl(T(0)("xy"));
    const Reg Uv1 = S.Blend ? W.Dcl(T(1)("xy")) : Reg();
    const Reg Diffuse = W.Dcl(V(0));
    const Reg Image = W.Dcl2D(0);
    const Reg BlendImage = S.Blend ? W.Dcl2D(1) : Reg();

    W.Texld(R(0), Uv0, Image);
    if (S.Blend) W.Texld(R(1), Uv1, BlendImage);
    // r0 = the texel the stages start from; its alpha is the texture's part of the alpha.
    if (S.Blend == CrossFade) {
        W.Lrp(R(2), C(5)("w"), R(1), R(0));
        W.Mov(R(0), R(2));
    }
    if (S.Blend == Wipe) {
        // The border's alpha: (blend alpha + offset), clamped, times the scale, clamped.
        W.Add(Sat(R(1)("w")), R(1)("w"), C(5)("w"));
        W.Mul(Sat(R(1)("w")), R(1)("w"), C(5)("z"));
    }
    if (S.Blend == Wipe || S.Blend == Mask) {
        if (S.IgnoreTextureAlpha) W.Mov(R(0)("w"), R(1)("w"));
        else W.Mul(R(0)("w"), R(0)("w"), R(1)("w"));
    }
    if (S.IgnoreColour) {
        if (S.Blend) W.Mov(R(0)("xyz"), C(0)("z"));
        else FactorColour(W, R(0));
    }
    if (S.Type == 2 || S.Type == 5) W.Sub(R(0)("xyz"), C(0)("z"), R(0));
    W.Mul(R(0)("xyz"), R(0), Diffuse);
    const bool KeepsTextureAlpha = S.Blend == Wipe || S.Blend == Mask || !S.IgnoreTextureAlpha;
    if (KeepsTextureAlpha) W.Mul(R(0)("w"), R(0)("w"), Diffuse("w"));
    else W.Mov(R(0)("w"), Diffuse("w"));
    StageTail(W, S.Type, Diffuse, S.Blend != 0);
    W.Mov(OC(0), R(0));
}

// Channel: 0-3 = r, g, b, a of the mask image.
void MaskPixel(ShaderWriter &W, int Channel, bool Reverse)
{
    Constants(W);
    const Reg ScreenUv = W.Dcl(T(0)("xy"));
    const Reg MaskUv = W.Dcl(T(1)("xy"));
    const Reg Screen = W.Dcl2D(0);
    const Reg MaskImage = W.Dcl2D(1);
    W.Texld(R(0), ScreenUv, Screen);
    W.Texld(R(1), MaskUv, MaskImage);
    // -byte >= 0 exactly where the byte is 0.
    W.Cmp(R(0)("w"), -R(1)(Lane[Channel]), Reverse ? C(0)("x") : C(0)("z"), Reverse ? C(0)("z") : C(0)("x"));
    W.Mov(OC(0), R(0));
}

}  // namespace

bool AddProgram(std::vector<NamedProgram> &Out, std::string *Error, const std::string &Name, Stage Kind,
                const std::function<void(ShaderWriter &)> &Body, uint32_t Minor)
{
    ShaderWriter W(Kind, 2, Minor);
    Body(W);
    Bytes Code = W.Finish();
    if (Code.empty()) {
        if (Error) *Error = Name + ": " + W.Error();
        return false;
    }
    Out.push_back({Name, std::move(Code)});
    return true;
}

bool BuildD3D9BaseSet(std::vector<NamedProgram> &Out, std::string *Error)
{
    Out.clear();
    auto Make = [&](const std::string &Name, Stage Kind, const std::function<void(ShaderWriter &)> &Body) {
        return AddProgram(Out, Error, Name, Kind, Body);
    };

    if (!Make("Base2DVertexShader.vso", Stage::Vertex, Base2DVertex)) return false;
    char Name[D3D9_BASE_SHADER_NAME_MAX];
    for (int Type = 0; Type < D3D9_STAGE_TYPE_NUM; ++Type)
        for (int Ach = 0; Ach < 2; ++Ach) {
            D3D9NoneTexShaderName(Type, Ach, Name);
            if (!Make(Name, Stage::Pixel, [&](ShaderWriter &W) { NonetexPixel(W, Type); })) return false;
        }
    for (int Index = 0; Index < D3D9_BLEND_SHADER_NUM; ++Index) {
        const D3D9BlendShaderSelector S = D3D9BlendShaderAt(Index);
        D3D9BlendShaderName(S, Name);
        if (!Make(Name, Stage::Pixel, [&](ShaderWriter &W) { BlendPixel(W, S); })) return false;
    }
    for (int Index = 0; Index < D3D9_MASK_SHADER_NUM; ++Index) {
        int Channel = 0, Reverse = 0;
        D3D9MaskShaderName(Index, Name, &Channel, &Reverse);
        if (!Make(Name, Stage::Pixel, [&](ShaderWriter &W) { MaskPixel(W, Channel, Reverse); })) return false;
    }
    return true;
}

}  // namespace sm2
