// The shader model 2/3 writer against the platform's assembler: every shader of
// tests/data/shader/reference/sm2/ written with the writer (some of them base shaders of the
// Direct3D 9 back end) gives the tokens D3DAssemble gave for its text. Then what the writer
// refuses, and the dumper on damaged streams.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <functional>

#include "d3d9_base_set.h"
#include "host_files.h"
#include "sm2_dump.h"
#include "sm2_writer.h"

using namespace sm2;

namespace {

const char *const Lane[4] = {"x", "y", "z", "w"};

std::string Listing(const Bytes &Program)
{
    std::string Text;
    DumpProgram(Program.data(), Program.size(), Text);
    return Text;
}

Bytes ReadSm2Reference(const std::string &Name)
{
    const char *Data = getenv("TARVEX_TEST_DATA_DIR");
    EXPECT_NE(Data, nullptr) << "TARVEX_TEST_DATA_DIR is not set (CTest sets it to tests/data)";
    return ReadBytes(std::string(Data ? Data : ".") + "/shader/reference/sm2/" + Name + ".bin");
}

struct ReferenceShader {
    const char *Name;   // <name>.asm beside the reference stream
    Stage Kind;
    uint32_t Major;
    std::function<void(ShaderWriter &)> Body;
};

// Shaders of the Direct3D 9 base archive that have a reference stream too.
const struct {
    const char *Name;
    const char *FileName;
} BaseReferences[] = {
    {"base.vs2", "Base2DVertexShader.vso"},
    {"nonetex_type3.ps2", "ps_nonetex_type3_ach0.pso"},
    {"blend1_type1.ps2", "ps_blend1_type1_igcolor0_igtalpha0_ach0.pso"},
    {"blend2_type5.ps2", "ps_blend2_type5_igcolor1_igtalpha1_ach1.pso"},
    {"mask_chr_reverse.ps2", "ps_mask_blend_use_grhandle_chr_reverse.pso"},
};

const ReferenceShader References[] = {
    {"vertex_math.vs2", Stage::Vertex, 2,
     [](ShaderWriter &W) {
         W.Def(C(10), 0.5f, 2, -1, 4);
         const Reg P = W.Dcl(Usage::Position, 0, V(0)), N = W.Dcl(Usage::Normal, 0, V(1)),
                   Uv = W.Dcl(Usage::TexCoord, 0, V(2));
         W.Dp3(R(0)("x"), N, C(6));
         W.Max(R(0)("x"), R(0)("x"), C(10)("x"));
         W.Min(R(0)("y"), R(0)("x"), C(10)("y"));
         W.Sub(R(1), P, C(7));
         W.Dp4(R(1)("w"), R(1), R(1));
         W.Rsq(R(1)("w"), R(1)("w"));
         W.Mad(R(2), P, C(10)("yyxx"), -C(8));
         W.Frc(R(3)("xy"), Uv);
         W.Exp(R(3)("z"), R(0)("y"));
         W.Log(R(3)("w"), R(1)("w"));
         W.Pow(R(4)("x"), R(0)("x"), C(10)("w"));
         W.Lrp(R(5), R(0)("x"), P, C(9));
         W.Add(R(5)("xyz"), R(5), R(4)("x"));
         W.Mov(OPos(), R(5));
         W.Mov(OD(0), R(3));
         W.Mov(Sat(OD(1)), R(2)("wzyx"));
         W.Mov(OT(0)("xy"), R(1)("zw"));
     }},
    {"ps_math.ps2", Stage::Pixel, 2,
     [](ShaderWriter &W) {
         W.Def(C(2), 0.25f, 3, -2, 1);
         const Reg A = W.Dcl(V(0)), B = W.Dcl(V(1)("xyz"));
         W.Rcp(R(0)("x"), A("x"));
         W.Rsq(R(0)("y"), A("y"));
         W.Exp(R(0)("z"), A("z"));
         W.Log(R(0)("w"), A("w"));
         W.Pow(R(1)("x"), R(0)("x"), C(2)("y"));
         W.Frc(R(1)("yz"), R(0));
         W.Min(R(1)("w"), R(0)("w"), C(2)("w"));
         W.Max(R(2), R(0), -C(2)("x"));
         W.Dp3(R(3)("x"), B, C(3));
         W.Dp4(R(3)("y"), R(2), C(4));
         W.Add(Sat(R(3)("zw")), R(1), -R(2));
         W.Mad(R(3)("xy"), R(3), C(2)("z"), R(1));
         W.Mov(OC(0), R(3));
     }},
    {"dependent.ps2", Stage::Pixel, 2,
     [](ShaderWriter &W) {
         const Reg Uv = W.Dcl(T(0)("xy")), First = W.Dcl2D(0), Second = W.Dcl2D(3);
         W.Texld(R(0), Uv, First);
         W.Mad(R(1)("xy"), R(0), C(1), Uv);
         W.Texld(R(2), R(1), Second);
         W.Cmp(R(2), R(2)("x"), R(2), -R(2));
         W.Mov(OC(0), R(2));
     }},
    {"order.ps2", Stage::Pixel, 2,
     [](ShaderWriter &W) {
         const Reg Second = W.Dcl2D(2);
         W.Def(C(3), 1, 0, 0, 1);
         const Reg Uv = W.Dcl(T(1)("xy"));
         W.Def(C(1), 0, 0, 1, 1);
         const Reg Colour = W.Dcl(V(0));
         const Reg First = W.Dcl2D(0);
         W.Texld(R(0), Uv, Second);
         W.Texld(R(1), Uv, First);
         W.Mad(R(0), R(0), C(3), R(1));
         W.Mad(R(0), R(0), Colour, C(1));
         W.Mov(OC(0), R(0));
     }},
    {"shader3.vs3", Stage::Vertex, 3,
     [](ShaderWriter &W) {
         const Reg P = W.Dcl(Usage::Position, 0, V(0)), Uv = W.Dcl(Usage::TexCoord, 0, V(1));
         const Reg Pos = W.Dcl(Usage::Position, 0, O(0)), Colour = W.Dcl(Usage::Color, 0, O(1)),
                   OutUv = W.Dcl(Usage::TexCoord, 0, O(2)("xy"));
         for (uint32_t i = 0; i < 4; ++i) W.Dp4(Pos(Lane[i]), P, C(i));
         W.Mov(Colour, C(4));
         W.Mov(OutUv("xy"), Uv);
     }},
    {"order.vs3", Stage::Vertex, 3,
     [](ShaderWriter &W) {
         const Reg OutUv = W.Dcl(Usage::TexCoord, 0, O(1)("xy"));
         const Reg P = W.Dcl(Usage::Position, 0, V(0));
         W.Def(C(9), 1, 2, 3, 4);
         const Reg Pos = W.Dcl(Usage::Position, 0, O(0));
         const Reg Uv = W.Dcl(Usage::TexCoord, 2, V(1));
         W.Mov(Pos, P);
         W.Mad(OutUv("xy"), Uv, C(9), C(9)("wzyx"));
     }},
    {"shader3.ps3", Stage::Pixel, 3,
     [](ShaderWriter &W) {
         const Reg Uv = W.Dcl(Usage::TexCoord, 0, V(0)("xy")), Colour = W.Dcl(Usage::Color, 0, V(1));
         const Reg Image = W.Dcl2D(0);
         W.Texld(R(0), Uv, Image);
         W.Add(R(0), R(0), -Abs(Colour));
         W.Mul(Sat(R(0)), R(0), C(100));
         W.Mov(OC(0), R(0));
     }},
};

Bytes Write(Stage Kind, uint32_t Major, const std::function<void(ShaderWriter &)> &Body, std::string *Error,
            uint32_t Minor = 0)
{
    ShaderWriter W(Kind, Major, Minor);
    Body(W);
    Bytes Code = W.Finish();
    if (Error) *Error = W.Error();
    return Code;
}

}  // namespace

TEST(Sm2Writer, WritesTheTokensOfThePlatformAssembler)
{
    std::vector<std::pair<std::string, Bytes>> Written;
    for (const ReferenceShader &Shader : References) {
        std::string Error;
        Written.emplace_back(Shader.Name, Write(Shader.Kind, Shader.Major, Shader.Body, &Error));
        EXPECT_FALSE(Written.back().second.empty()) << Shader.Name << ": " << Error;
    }
    std::vector<NamedProgram> Base;
    std::string Error;
    ASSERT_TRUE(BuildD3D9BaseSet(Base, &Error)) << Error;
    for (const auto &Shader : BaseReferences)
        for (const NamedProgram &Program : Base)
            if (Program.FileName == Shader.FileName) Written.emplace_back(Shader.Name, Program.Code);
    ASSERT_EQ(Written.size(), std::size(References) + std::size(BaseReferences));
    for (const auto &Shader : Written) {
        const Bytes Reference = ReadSm2Reference(Shader.first);
        EXPECT_TRUE(Shader.second == Reference)
            << Shader.first << " written:\n" << Listing(Shader.second) << "assembled:\n" << Listing(Reference);
    }
}

TEST(Sm2Writer, TheReferenceSetUsesEveryInstructionTheWriterWrites)
{
    std::string Listings;
    for (const ReferenceShader &Shader : References) Listings += Listing(ReadSm2Reference(Shader.Name));
    for (const auto &Shader : BaseReferences) Listings += Listing(ReadSm2Reference(Shader.Name));
    for (const char *Name : {"dcl", "def", "texld", "mov", "add", "sub", "mul", "mad", "dp3", "dp4", "lrp", "cmp",
                             "min", "max", "rcp", "rsq", "frc", "exp", "log", "pow"})
        EXPECT_TRUE(Listings.find("\n" + std::string(Name)) != std::string::npos) << Name;
}

TEST(Sm2Writer, RefusesWhatTheModelForbids)
{
    using Body = std::function<void(ShaderWriter &)>;
    const Stage Ps = Stage::Pixel, Vs = Stage::Vertex;
    // A ps_2_0 shader that reads its texture n times, with Level dependent reads first.
    auto Reads = [](int Count, int Levels) -> Body {
        return [=](ShaderWriter &W) {
            const Reg Uv = W.Dcl(T(0)("xy")), Image = W.Dcl2D(0);
            W.Texld(R(0), Uv, Image);
            for (int i = 1; i < Count; ++i) W.Texld(R(0), i < Levels ? R(0) : Uv, Image);
            W.Mov(OC(0), R(0));
        };
    };
    const struct {
        const char *What;
        Stage Kind;
        uint32_t Major;
        Body Write;
        const char *Reason;   // part of the error
        uint32_t Minor = 0;
    } Cases[] = {
        {"a temp read before any write", Ps, 2,
         [](ShaderWriter &W) { W.Mov(R(0)("xy"), C(0)); W.Add(R(1), R(0), C(1)); W.Mov(OC(0), R(1)); },
         "r0.zw is read before any instruction wrote it"},
        {"33 texture reads at ps_2_0", Ps, 2, Reads(33, 1), "more than 32 texture reads"},
        {"a fifth level of dependent reads", Ps, 2, Reads(5, 5), "dependent read of level 5"},
        {"65 arithmetic slots at ps_2_0", Ps, 2,
         [](ShaderWriter &W) {
             W.Mov(R(0), C(0));
             for (int i = 0; i < 31; ++i) W.Lrp(R(0), C(1), R(0), C(2));
             W.Mov(R(1), R(0));
             W.Mov(OC(0), R(1));
         },
         "more than 64 arithmetic instruction slots"},
        {"temp r12 at ps_2_0", Ps, 2, [](ShaderWriter &W) { W.Mov(R(12), C(0)); }, "r12 is out of range"},
        {"constant c32 at ps_2_0", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), C(32)); }, "c32 is out of range"},
        {"c256 in a vertex shader", Vs, 2, [](ShaderWriter &W) { W.Def(C(256), 0, 0, 0, 0); }, "c256 is out of range"},
        {"texture coordinate t8", Ps, 2, [](ShaderWriter &W) { W.Dcl(T(8)); }, "t8 is out of range"},
        {"sampler s16", Ps, 2, [](ShaderWriter &W) { W.Dcl2D(16); }, "s16 is out of range"},
        {"a colour output oC4", Ps, 2, [](ShaderWriter &W) { W.Mov(OC(4), C(0)); }, "oC4 is out of range"},
        {"oT8 in a vertex shader", Vs, 2, [](ShaderWriter &W) { W.Mov(OT(8), C(0)); }, "oT8 is out of range"},
        {"an input read outside its declared mask", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), W.Dcl(T(0)("xy"))); },
         "t0.zw is outside its declared mask"},
        {"an undeclared input", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), V(0)); }, "v0 is read without a declaration"},
        {"an undeclared sampler", Ps, 2, [](ShaderWriter &W) { W.Texld(R(0), W.Dcl(T(0)("xy")), S(1)); },
         "s1 is sampled without a declaration"},
        {"a written constant", Vs, 2, [](ShaderWriter &W) { W.Mov(C(3), C(2)); }, "c3 cannot be written"},
        {"an arbitrary swizzle at ps_2_0", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), C(0)("yx")); }, "no arbitrary swizzle"},
        {"a scalar source of two components", Vs, 2, [](ShaderWriter &W) { W.Rcp(R(0)("x"), C(0)("xy")); }, "one component"},
        {"a write mask out of order", Vs, 2, [](ShaderWriter &W) { W.Mov(R(0)("yx"), C(0)); }, "not an ascending subset"},
        {"a part-written colour output at ps_2_0", Ps, 2, [](ShaderWriter &W) { W.Mov(OC(0)("xyz"), C(0)); },
         "writes its outputs whole"},
        {"a colour output written by add at ps_2_0", Ps, 2, [](ShaderWriter &W) { W.Add(OC(0), C(0), C(1)); },
         "writes its outputs whole"},
        {"texld in a vertex shader", Vs, 2, [](ShaderWriter &W) { W.Texld(R(0), V(0), S(0)); }, "pixel-shader instruction"},
        {"cmp in a vertex shader", Vs, 2, [](ShaderWriter &W) { W.Cmp(R(0), C(0), C(1), C(2)); }, "pixel-shader instruction"},
        {"texld into part of a register", Ps, 2,
         [](ShaderWriter &W) { W.Texld(R(0)("xy"), W.Dcl(T(0)("xy")), W.Dcl2D(0)); }, "whole temp register"},
        {"a declaration after an instruction", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), C(0)); W.Def(C(1), 0, 0, 0, 0); },
         "before the first instruction"},
        {"a register declared twice", Vs, 2,
         [](ShaderWriter &W) { W.Dcl(Usage::Position, 0, V(0)); W.Dcl(Usage::Normal, 0, V(0)); }, "declared twice"},
        {"the absolute-value modifier at 2.0", Vs, 2, [](ShaderWriter &W) { W.Mov(R(0), Abs(C(0))); }, "needs shader model 3.0"},
        {"a pixel shader without oC0", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), C(0)); }, "oC0 is not written whole"},
        {"a vertex shader that leaves oPos", Vs, 2, [](ShaderWriter &W) { W.Mov(OPos()("xyz"), C(0)); },
         "oPos is not written whole"},
        {"a vs_3_0 output without a declaration", Vs, 3, [](ShaderWriter &W) { W.Mov(O(0), C(0)); }, "without a declaration"},
        {"a vs_3_0 shader without a position output", Vs, 3, [](ShaderWriter &W) { W.Mov(W.Dcl(Usage::Color, 0, O(0)), C(0)); },
         "position usage"},
        {"shader model 1.0", Ps, 1, [](ShaderWriter &) {}, "shader model 1.0 is not written"},
        // ps_2_x (2.1): texture reads count among its 512 slots; 22 temps; no vertex model 2.1.
        {"513 slots at ps_2_x", Ps, 2, Reads(512, 1), "more than 512 instruction slots", 1},
        {"temp r22 at ps_2_x", Ps, 2, [](ShaderWriter &W) { W.Mov(R(22), C(0)); }, "r22 is out of range", 1},
        {"an arbitrary swizzle at ps_2_x", Ps, 2, [](ShaderWriter &W) { W.Mov(R(0), C(0)("yx")); },
         "no arbitrary swizzle", 1},
        {"vertex model 2.1", Vs, 2, [](ShaderWriter &) {}, "shader model 2.1 is not written", 1},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        std::string Error;
        EXPECT_TRUE(Write(Case.Kind, Case.Major, Case.Write, &Error, Case.Minor).empty());
        EXPECT_NE(Error.find(Case.Reason), std::string::npos) << Error;
    }
}

TEST(Sm2Writer, TakesTheModelsLimitsUpToTheLast)
{
    // 32 reads, 64 slots and four levels of dependent reads are all a ps_2_0 shader may have.
    std::string Error;
    const Bytes Code = Write(
        Stage::Pixel, 2,
        [](ShaderWriter &W) {
            const Reg Uv = W.Dcl(T(0)("xy")), Image = W.Dcl2D(0);
            W.Texld(R(0), Uv, Image);
            for (int i = 0; i < 3; ++i) W.Texld(R(0), R(0), Image);
            for (int i = 0; i < 28; ++i) W.Texld(R(1), Uv, Image);
            for (int i = 0; i < 31; ++i) W.Lrp(R(0), C(1), R(0), R(1));
            W.Mov(OC(0), R(0));
            EXPECT_EQ(W.TextureReads(), 32u);
            EXPECT_EQ(W.ArithmeticSlots(), 63u);
        },
        &Error);
    EXPECT_FALSE(Code.empty()) << Error;
    // ps_2_x: 511 reads, eight levels deep, and r21 fill its 512 slots.
    const Bytes Extended = Write(
        Stage::Pixel, 2,
        [](ShaderWriter &W) {
            const Reg Uv = W.Dcl(T(0)("xy")), Image = W.Dcl2D(0);
            W.Texld(R(21), Uv, Image);
            for (int i = 1; i < 511; ++i) W.Texld(R(21), i < 8 ? R(21) : Uv, Image);
            W.Mov(OC(0), R(21));
        },
        &Error, 1);
    ASSERT_FALSE(Extended.empty()) << Error;
    EXPECT_NE(Listing(Extended).find("ps_2_1\n"), std::string::npos);
    // A comment block goes right after the version token and the dumper skips it.
    ShaderWriter W(Stage::Pixel, 2);
    W.Comment("tarvex");
    W.Mov(OC(0), C(0));
    const Bytes WithComment = W.Finish();
    ASSERT_EQ(WithComment.size(), 4u * 8);
    EXPECT_EQ(WithComment[4], 0xFE);
    EXPECT_EQ(WithComment[6], 2);   // "tarvex" and its terminator in two words
    EXPECT_NE(Listing(WithComment).find("mov oC0, c0"), std::string::npos) << Listing(WithComment);
}

TEST(Sm2Dump, ListsTheAssemblerStreamsAndStopsAtDamage)
{
    const Bytes Reference = ReadSm2Reference("blend1_type1.ps2");
    const std::string Text = Listing(Reference);
    for (const char *Line : {"ps_2_0\n", "dcl t1.xy", "dcl_2d s1", "def c0, 0, 0.5, 1, 2", "texld r1, t1, s1",
                             "lrp r2.xyz, r0.w, r0, r1", "mov oC0, r0", "// end"})
        EXPECT_NE(Text.find(Line), std::string::npos) << Line << "\n" << Text;
    EXPECT_NE(Listing(ReadSm2Reference("shader3.ps3")).find("add r0, r0, -v1_abs"), std::string::npos);
    EXPECT_NE(Listing(ReadSm2Reference("base.vs2")).find("dcl_color1 v2"), std::string::npos);
    EXPECT_NE(Listing(ReadSm2Reference("blend2_type5.ps2")).find("add_sat r1.w, r1.w, c5.w"), std::string::npos);

    const struct {
        const char *What;
        Bytes Data;
        const char *Reason;
    } Cases[] = {
        {"no end token", Bytes(Reference.begin(), Reference.end() - 4), "no end token"},
        {"cut inside an instruction", Bytes(Reference.begin(), Reference.begin() + 31 * 4), "runs past the stream"},
        {"a length past the end", Put(Reference, Reference.size() - 16, 0x0F000001), "runs past the stream"},
        {"not whole tokens", Bytes(Reference.begin(), Reference.end() - 1), "no whole tokens"},
        {"a model 1 version", Put(Reference, 0, 0xFFFF0101), "no instruction lengths"},
        {"no version", Put(Reference, 0, 0x12345678), "version token"},
        {"tokens after the end", [&] { Bytes B = Reference; B.insert(B.end(), 4, 0); return B; }(), "after the end"},
        {"empty", Bytes(), "no version token"},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        std::string Out;
        EXPECT_FALSE(DumpProgram(Case.Data.data(), Case.Data.size(), Out));
        EXPECT_NE(Out.find(Case.Reason), std::string::npos) << Out;
    }
}
