#include "representative_set.h"

#include "alpha_compare.h"
#include "sm4_builder.h"

namespace dxbc {

namespace {

using namespace representative;

struct Pending {
    std::string FileName;
    ShaderBuilder Builder;
};

// The 2-D base vertex shader: the position (x, y, z in target pixels, rhw) goes to clip space
// through the draw-area matrix, w taken as 1 / rhw; colours and coordinates pass through.
// TexCoords 0, 1 or 2 give the untextured, textured and blend-textured vertex layouts (the
// last also carries the second colour).
void Base2D(ShaderBuilder &B, int TexCoords)
{
    const Reg Position = B.Input("POSITION", 0);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Specular = TexCoords == 2 ? B.Input("COLOR", 1) : Reg();
    const Reg Uv0 = TexCoords >= 1 ? B.Input("TEXCOORD", 0, "xy") : Reg();
    const Reg Uv1 = TexCoords == 2 ? B.Input("TEXCOORD", 1, "xy") : Reg();
    const Reg DrawArea = B.ConstantBuffer(VertexBaseSlot, 4);
    const Reg OutPosition = B.OutputSystemValue("SV_Position", SystemValue::Position);
    const Reg OutColour = B.Output("COLOR", 0);
    const Reg OutSpecular = TexCoords == 2 ? B.Output("COLOR", 1) : Reg();
    const Reg OutUv0 = TexCoords >= 1 ? B.Output("TEXCOORD", 0, "xy") : Reg();
    const Reg OutUv1 = TexCoords == 2 ? B.Output("TEXCOORD", 1, "xy") : Reg();

    B.Mov(R(0)("xyz"), Position("xyz"));
    B.Mov(R(0)("w"), Imm(1.0f));
    B.Dp4(R(1)("x"), R(0), DrawArea[0]);
    B.Dp4(R(1)("y"), R(0), DrawArea[1]);
    B.Dp4(R(1)("z"), R(0), DrawArea[2]);
    B.Dp4(R(1)("w"), R(0), DrawArea[3]);
    B.Div(R(2)("x"), Imm(1.0f), Position("w"));
    B.Mul(OutPosition, R(1), R(2)("x"));
    B.Mov(OutColour, Colour);
    if (TexCoords == 2) B.Mov(OutSpecular, Specular);
    if (TexCoords >= 1) B.Mov(OutUv0, Uv0);
    if (TexCoords == 2) B.Mov(OutUv1, Uv1);
    B.Ret();
}

// Untextured pixel shader with the general alpha test: the comparison number (2 less,
// 3 equal, 4 less-equal, 5 greater, 6 not-equal, 7 greater-equal, 8 always; anything else
// never) and the reference come from the pixel base buffer.
void UntexturedAlphaTest(ShaderBuilder &B)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Pixel = B.ConstantBuffer(PixelBaseSlot, 4);
    const Reg Target = B.Output("SV_Target", 0);
    const Reg Alpha = Colour("w"), Reference = Pixel[1]("y"), Comparison = Pixel[2]("x");

    DiscardUnlessCompares(B, Alpha, Reference, Comparison, 0);
    B.Mul(Target, Colour, Pixel[0]);
    B.Ret();
}

// Textured pixel shader: texel times vertex colour, kept only where its alpha is greater than
// the reference.
void TexturedAlphaTest(ShaderBuilder &B)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Pixel = B.ConstantBuffer(PixelBaseSlot, 4);
    const Reg Image = B.Texture2D(0);
    const Reg ImageSampler = B.Sampler(0);
    const Reg Target = B.Output("SV_Target", 0);

    B.Sample(R(0), Uv, Image, ImageSampler);
    B.Mul(R(0), R(0), Colour);
    B.Ge(R(1)("x"), Pixel[1]("y"), R(0)("w"));
    B.Discard(When::NonZero, R(1)("x"));
    B.Mov(Target, R(0));
    B.Ret();
}

// Shadow-map compare: the vertex colour's z and w are compared with the depth map, with and
// without derivatives, and the mean of the two results shades the colour.
void ShadowCompare(ShaderBuilder &B)
{
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Depth = B.Texture2D(ShadowSlot);
    const Reg Compare = B.Sampler(ShadowSlot, SamplerMode::Comparison);
    const Reg Target = B.Output("SV_Target", 0);

    B.SampleC(R(0)("x"), Uv, Depth("x"), Compare, Colour("z"));
    B.SampleCLz(R(0)("y"), Uv, Depth("x"), Compare, Colour("w"));
    B.Add(R(0)("x"), R(0)("x"), R(0)("y"));
    B.Mul(R(0)("x"), R(0)("x"), Imm(0.5f));
    B.Mul(Target("xyz"), Colour("xyz"), R(0)("x"));
    B.Mov(Target("w"), Colour("w"));
    B.Ret();
}

// A filter pass in the shape the graph filters take: a loop over taps held in a dynamically
// indexed constant buffer, then a tone curve with frc, log/exp, sqrt and a branch.
void FilterTone(ShaderBuilder &B)
{
    B.InputSystemValue("SV_Position", SystemValue::Position, "xy");
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Filter = B.ConstantBuffer(FilterSlot, 1 + FilterMaxTaps, true);
    const Reg Image = B.Texture2D(0);
    const Reg ImageSampler = B.Sampler(0);
    const Reg Target = B.Output("SV_Target", 0);

    B.Mov(R(0), Imm(0.0f, 0.0f, 0.0f, 0.0f));   // the weighted sum
    B.Mov(R(1)("x"), ImmInt(0));                 // tap index
    B.FtoI(R(1)("y"), Filter[0]("x"));           // tap count
    B.IMin(R(1)("y"), R(1)("y"), ImmInt(int32_t(FilterMaxTaps)));
    B.Loop();
    B.IGe(R(1)("z"), R(1)("x"), R(1)("y"));
    B.BreakC(When::NonZero, R(1)("z"));
    B.Add(R(2)("xy"), Uv, Filter.At(R(1)("x"), 1)("xy"));
    B.SampleL(R(3), R(2)("xy"), Image, ImageSampler, Imm(0.0f));
    B.Mad(R(0), R(3), Filter.At(R(1)("x"), 1)("z"), R(0));
    B.IAdd(R(1)("x"), R(1)("x"), ImmInt(1));
    B.EndLoop();

    B.Mul(R(2)("x"), R(0)("x"), Filter[0]("y"));
    B.Frc(R(4)("x"), R(2)("x"));
    B.Log(R(2)("y"), R(0)("y"));
    B.Mul(R(2)("y"), R(2)("y"), Filter[0]("w"));
    B.Exp(R(4)("y"), R(2)("y"));
    B.Sqrt(R(4)("z"), R(0)("z"));
    B.Mov(R(4)("w"), R(0)("w"));
    B.Ne(R(1)("w"), Filter[0]("z"), Imm(0.0f));
    B.If(When::NonZero, R(1)("w"));
    B.Add(R(4)("xyz"), -R(4)("xyz"), Imm(1.0f));
    B.EndIf();
    B.Mov(Target, R(4));
    B.Ret();
}

// Every instruction and operand form the emitter writes, once, so that the validators see
// them all: integer and unsigned arithmetic, conversions, rounding, sincos with a null
// destination, an indexable temp addressed by a register, modifiers, and loops with
// break, continue and if/else.
void InstructionTour(ShaderBuilder &B)
{
    B.InputSystemValue("SV_Position", SystemValue::Position, "xy");
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Target = B.Output("SV_Target", 0);
    const Reg X0 = B.IndexableTemp(0, 4, 4);

    B.Mov(R(0)("xy"), Uv);
    B.Dp2(R(0)("z"), R(0)("xy"), R(0)("xy"));
    B.Add(R(0)("w"), R(0)("z"), Imm(1.0f));
    B.Rsq(R(0)("w"), R(0)("w"));
    B.SinCos(R(1)("x"), R(10)("x"), R(0)("x"));
    B.SinCos(Null(), R(1)("zw"), R(0)("xy"));
    B.Mov(R(1)("y"), R(10)("x"));
    B.RoundNe(R(2)("x"), R(0)("x"));
    B.RoundNi(R(2)("y"), R(0)("y"));
    B.RoundPi(R(2)("z"), R(0)("x"));
    B.RoundZ(R(2)("w"), Abs(R(0)("y")));
    B.FtoI(R(3)("x"), R(2)("x"));
    B.FtoU(R(3)("y"), R(2)("z"));
    B.ItoF(R(3)("z"), R(3)("x"));
    B.UtoF(R(3)("w"), R(3)("y"));
    B.IMax(R(3)("x"), R(3)("x"), ImmInt(0));
    B.IMin(R(3)("x"), R(3)("x"), ImmInt(2));
    B.IEq(R(4)("x"), R(3)("x"), ImmInt(1));
    B.INe(R(4)("y"), R(3)("x"), R(3)("y"));
    B.ILt(R(4)("z"), R(3)("x"), ImmInt(2));
    B.IGe(R(4)("w"), R(3)("y"), ImmInt(0));
    B.ULt(R(5)("x"), R(3)("y"), ImmInt(4));
    B.UGe(R(5)("y"), R(3)("y"), ImmInt(1));
    B.IMad(R(5)("z"), R(3)("x"), ImmInt(3), ImmInt(1));
    B.INeg(R(5)("w"), R(5)("z"));
    B.IShl(R(5)("z"), R(5)("z"), ImmInt(2));
    B.IShr(R(5)("w"), R(5)("w"), ImmInt(1));
    B.UShr(R(5)("z"), R(5)("z"), ImmInt(1));
    B.Xor(R(5)("x"), R(5)("x"), R(5)("y"));
    B.Not(R(5)("y"), R(5)("y"));
    B.Movc(R(6), R(4), R(1), R(2));
    B.Min(R(6)("xy"), R(6)("xy"), Imm(1.0f));
    B.Max(R(6)("zw"), R(6)("zw"), -R(0)("xy"));
    B.Div(R(6)("x"), R(6)("x"), R(0)("w"));
    B.Frc(R(7)("x"), R(6)("x"));
    B.Exp(R(7)("y"), R(6)("y"));
    B.Log(R(7)("z"), Abs(R(6)("z")));
    B.Sqrt(R(7)("w"), Abs(R(6)("w")));
    B.Mov(X0[0], R(6));
    B.Mov(X0.At(R(3)("x"), 1), R(7));
    B.Mov(R(8), X0.At(R(3)("x"), 0));
    B.Mov(R(9)("x"), ImmInt(0));
    B.Loop();
    B.IGe(R(9)("y"), R(9)("x"), ImmInt(4));
    B.If(When::NonZero, R(9)("y"));
    B.Break();
    B.Else();
    B.IAdd(R(9)("x"), R(9)("x"), ImmInt(1));
    B.EndIf();
    B.IEq(R(9)("z"), R(9)("x"), ImmInt(2));
    B.If(When::Zero, R(9)("z"));
    B.Continue();
    B.EndIf();
    B.Mad(Sat(R(8)), R(8), Imm(0.5f), Imm(0.25f, 0.25f, 0.25f, 0.25f));
    B.EndLoop();
    B.Add(Sat(Target), R(8), R(5));
    B.Ret();
}

// Transfer vertex shaders: a clip-space position and 2 or 8 coordinate pairs pass through.
void Transfer(ShaderBuilder &B, int TexCoords)
{
    const Reg Position = B.Input("POSITION", 0, "xy");
    std::vector<Reg> In, Out;
    for (int i = 0; i < TexCoords; ++i) In.push_back(B.Input("TEXCOORD", i, "xy"));
    const Reg OutPosition = B.OutputSystemValue("SV_Position", SystemValue::Position);
    for (int i = 0; i < TexCoords; ++i) Out.push_back(B.Output("TEXCOORD", i, "xy"));
    B.Mov(OutPosition("xy"), Position);
    B.Mov(OutPosition("zw"), Imm(0.0f, 0.0f, 0.0f, 1.0f));
    for (int i = 0; i < TexCoords; ++i) B.Mov(Out[i], In[i]);
    B.Ret();
}

}  // namespace

bool BuildRepresentativeSet(std::vector<NamedShader> &Out, std::string *Error)
{
    std::vector<Pending> Set;
    auto Add = [&](const char *Name, Stage Kind, ShaderModel Model = {}) -> ShaderBuilder & {
        Set.push_back({Name, ShaderBuilder(Kind, Model)});
        return Set.back().Builder;
    };
    Base2D(Add("base2d_notex.vso", Stage::Vertex), 0);
    Base2D(Add("base2d_tex1.vso", Stage::Vertex), 1);
    Base2D(Add("base2d_tex2.vso", Stage::Vertex), 2);
    UntexturedAlphaTest(Add("untextured_alphatest.pso", Stage::Pixel));
    TexturedAlphaTest(Add("textured_alphatest.pso", Stage::Pixel));
    TexturedAlphaTest(Add("textured_alphatest_sm5.pso", Stage::Pixel, {5, 0}));
    ShadowCompare(Add("shadow_compare.pso", Stage::Pixel));
    FilterTone(Add("filter_tone.pso", Stage::Pixel));
    InstructionTour(Add("instruction_tour.pso", Stage::Pixel));
    Transfer(Add("transfer.vso", Stage::Vertex), 2);
    Transfer(Add("transfer8.vso", Stage::Vertex), 8);

    Out.clear();
    for (Pending &P : Set) {
        Bytes Code = P.Builder.Finish();
        if (Code.empty()) {
            if (Error) *Error = P.FileName + ": " + P.Builder.Error();
            return false;
        }
        Out.push_back({P.FileName, std::move(Code)});
    }

    // The pairs drawn together must link.
    auto Find = [&](const std::string &Name) -> const ShaderBuilder & {
        for (const Pending &P : Set)
            if (P.FileName == Name) return P.Builder;
        return Set.front().Builder;
    };
    static const char *const Pairs[][2] = {
        {"base2d_notex.vso", "untextured_alphatest.pso"}, {"base2d_tex1.vso", "untextured_alphatest.pso"},
        {"base2d_tex1.vso", "textured_alphatest.pso"},    {"base2d_tex1.vso", "textured_alphatest_sm5.pso"},
        {"base2d_tex1.vso", "shadow_compare.pso"},        {"transfer.vso", "filter_tone.pso"},
        {"transfer8.vso", "filter_tone.pso"},             {"transfer.vso", "instruction_tour.pso"}};
    for (const auto &Pair : Pairs) {
        std::string Why;
        if (!CheckLinkage(Find(Pair[0]).OutputSignature(), Find(Pair[1]).InputSignature(), &Why)) {
            if (Error) *Error = std::string(Pair[1]) + " after " + Pair[0] + ": " + Why;
            return false;
        }
    }
    return true;
}

}  // namespace dxbc
