// The shader emitter against the platform's own compiler output (checksum, token numbering,
// byte-identical programs), its checks of what is written, its listing, and its readers on
// damaged containers.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <random>

#include "dxbc_container.h"
#include "host_files.h"
#include "representative_set.h"
#include "sm4_builder.h"
#include "sm4_dump.h"

using namespace dxbc;

namespace {

std::string Listing(const Bytes &Container)
{
    std::string Text;
    EXPECT_TRUE(DumpContainer(Container.data(), Container.size(), Text)) << Text;
    return Text;
}

const Chunk &ChunkOf(const std::vector<Chunk> &Chunks, uint32_t Tag)
{
    static const Chunk None;
    const Chunk *C = FindChunk(Chunks, Tag);
    EXPECT_NE(C, nullptr) << TagText(Tag);
    return C ? *C : None;
}

// A pixel shader around Body, with a colour input v1, a coordinate input v2.xy, a texture and
// sampler in slot 0, constant buffer 1 (4 vectors, indexable) and one target.
Bytes PixelShader(const std::function<void(ShaderBuilder &, Reg Colour, Reg Uv, Reg Cb, Reg Target)> &Body,
                  std::string *Error = nullptr)
{
    ShaderBuilder B(Stage::Pixel);
    B.InputSystemValue("SV_Position", SystemValue::Position);
    const Reg Colour = B.Input("COLOR", 0);
    const Reg Uv = B.Input("TEXCOORD", 0, "xy");
    const Reg Cb = B.ConstantBuffer(1, 4, true);
    B.Texture2D(0);
    B.Sampler(0);
    const Reg Target = B.Output("SV_Target", 0);
    Body(B, Colour, Uv, Cb, Target);
    Bytes Code = B.Finish();
    if (Error) *Error = B.Error();
    return Code;
}

}  // namespace

TEST(DxbcChecksum, MatchesThePlatformCompilerAndCatchesAnyChangedByte)
{
    for (const std::string &Name : ReferenceNames()) {
        SCOPED_TRACE(Name);
        const Bytes Reference = ReadReference(Name);
        ASSERT_GT(Reference.size(), ContainerHeaderSize);
        uint32_t Sum[4];
        ComputeChecksum(Reference.data(), Reference.size(), Sum);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Sum[i], ReadU32(&Reference[4 + 4 * i])) << "word " << i;

        // One changed byte anywhere the checksum covers: the first it covers, the middle, the last.
        for (size_t At : {ChecksumFrom, Reference.size() / 2, Reference.size() - 1}) {
            Bytes Changed = Reference;
            Changed[At] ^= 0x10;
            std::vector<Chunk> Chunks;
            std::string Error;
            EXPECT_FALSE(ReadContainer(Changed.data(), Changed.size(), Chunks, &Error)) << "byte " << At;
            EXPECT_NE(Error.find("checksum"), std::string::npos) << Error;
        }
    }
}

TEST(DxbcDump, ReadsThePlatformCompilerPrograms)
{
    // The same numbering of opcodes, operands, declarations and controls.
    const struct {
        const char *Name;
        std::vector<const char *> Lines;
    } Cases[] = {
        {"textured.ps.dxbc",
         {"ps_4_0", "dcl_sampler s0, mode_default", "dcl_resource_texture2d (float,float,float,float) t0",
          "dcl_input_ps linear v1.xy", "sample r0.xyzw, r0.xyxx, t0.xyzw, s0", "mul r0.xyzw, r0.xyzw, r1.xyzw",
          "// input TEXCOORD0, register 1.xy, undefined, float, used .xy"}},
        {"branch.ps.dxbc", {"dcl_constantbuffer cb1[2].xyzw, immediateIndexed", "lt r0.x, r0.xxxx, r0.yyyy", "if_nz r0.xxxx", "endif"}},
        {"arithmetic.ps.dxbc", {"dp3 r0.x, r0.xyzx, r4.xyzx", "mov_sat r0.x, r0.xxxx", "div r0.xyzw, r0.xyzw, r1.xyzw"}},
        {"base2d.vs.dxbc", {"vs_4_0", "dcl_output_siv o0.xyzw, position", "mov r0.zw, v2.xxxy"}},
        {"passthrough_colour.ps5.dxbc", {"ps_5_0", "mov o0.xyzw, r0.xyzw", "ret"}},
    };
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const std::string Text = Listing(ReadReference(Case.Name));
        for (const char *Line : Case.Lines) EXPECT_NE(Text.find(std::string(Line) + "\n"), std::string::npos) << Line << "\n" << Text;
    }
    for (const std::string &Name : ReferenceNames()) Listing(ReadReference(Name));  // every one reads cleanly
}

TEST(ShaderBuilder, WritesTheSameProgramsAsThePlatformCompiler)
{
    // Programs written the way the platform's compiler wrote them come out token for token the
    // same, with the same signatures.
    ShaderBuilder Pass(Stage::Pixel);
    {
        const Reg Colour = Pass.Input("COLOR", 0);
        const Reg Target = Pass.Output("SV_Target", 0);
        Pass.Mov(R(0), Colour);
        Pass.Mov(Target, R(0));
        Pass.Ret();
    }
    ShaderBuilder Textured(Stage::Pixel);
    {
        const Reg Colour = Textured.Input("COLOR", 0);
        const Reg Uv = Textured.Input("TEXCOORD", 0, "xy");
        const Reg Image = Textured.Texture2D(0);
        const Reg ImageSampler = Textured.Sampler(0);
        const Reg Target = Textured.Output("SV_Target", 0);
        Textured.Mov(R(0)("xy"), Uv);
        Textured.Mov(R(1), Colour);
        Textured.Sample(R(0), R(0)("xy"), Image, ImageSampler);
        Textured.Mul(R(0), R(0), R(1));
        Textured.Mov(Target, R(0));
        Textured.Ret();
    }
    ShaderBuilder Eight(Stage::Vertex);
    {
        std::vector<Reg> In{Eight.Input("POSITION", 0, "xy")}, Out{Eight.OutputSystemValue("SV_Position", SystemValue::Position)};
        for (int i = 0; i < 8; ++i) In.push_back(Eight.Input("TEXCOORD", i, "xy"));
        for (int i = 0; i < 8; ++i) Out.push_back(Eight.Output("TEXCOORD", i, "xy"));
        for (int i = 0; i < 4; ++i) {
            Eight.Mov(R(i)("xy"), In[8 - 2 * i]);
            Eight.Mov(R(i)("zw"), In[7 - 2 * i]);
        }
        Eight.Mov(R(4)("xy"), In[0]);
        Eight.Mov(R(4)("z"), ImmInt(0));
        Eight.Mov(R(4)("w"), Imm(1.0f));
        Eight.Mov(R(5)("x"), R(4)("x"));
        Eight.Mov(R(5)("y"), ImmInt(0));
        Eight.Mov(R(5)("x"), R(5)("x"));
        Eight.Mov(R(4)("x"), R(4)("y"));
        Eight.Mov(R(4)("y"), ImmInt(1));
        Eight.Mov(R(5)("y"), R(4)("x"));
        Eight.Mov(R(4)("x"), ImmInt(2));
        Eight.Mov(R(5)("z"), R(4)("zzzz"));  // four components are taken as written
        Eight.Mov(R(4)("x"), ImmInt(3));
        Eight.Mov(R(5)("w"), R(4)("wwww"));
        Eight.Mov(R(4), R(5));
        Eight.Mov(Out[0], R(4));
        for (int i = 0; i < 8; ++i) Eight.Mov(Out[1 + i], R(3 - i / 2)(i % 2 ? "xy" : "zw"));
        Eight.Ret();
    }
    const struct {
        const char *Reference;
        ShaderBuilder *Builder;
    } Cases[] = {{"passthrough_colour.ps.dxbc", &Pass}, {"textured.ps.dxbc", &Textured}, {"eight_uv.vs.dxbc", &Eight}};
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.Reference);
        const Bytes Reference = ReadReference(Case.Reference);
        const Bytes Ours = Case.Builder->Finish();
        ASSERT_FALSE(Ours.empty()) << Case.Builder->Error();
        std::vector<Chunk> Theirs, Mine;
        ASSERT_TRUE(ReadContainer(Reference.data(), Reference.size(), Theirs, nullptr));
        ASSERT_TRUE(ReadContainer(Ours.data(), Ours.size(), Mine, nullptr));
        EXPECT_EQ(ChunkOf(Mine, TagShader4).Data, ChunkOf(Theirs, TagShader4).Data) << Listing(Ours) << Listing(Reference);
        EXPECT_EQ(ChunkOf(Mine, TagInputSignature).Data, ChunkOf(Theirs, TagInputSignature).Data);
        EXPECT_EQ(ChunkOf(Mine, TagOutputSignature).Data, ChunkOf(Theirs, TagOutputSignature).Data);
    }
}

TEST(ShaderBuilder, OperandsReadAsWritten)
{
    // Each builder call and the line the listing shows for it: lane alignment, scalar
    // selection, immediates, modifiers, saturation, relative addressing, test suffixes.
    const struct {
        std::function<void(ShaderBuilder &, Reg, Reg, Reg)> Write;
        const char *Line;
    } Cases[] = {
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.Mov(R(1)("zw"), C("xy")); }, "mov r1.zw, v1.xxxy"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.Mov(R(1)("y"), C("w")); }, "mov r1.y, v1.xwxx"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.Mov(R(1), C("wzyx")); }, "mov r1.xyzw, v1.wzyx"},
        {[](ShaderBuilder &B, Reg, Reg, Reg) { B.Mov(R(1)("yw"), Imm(0.5f, 0, 0, 2.0f)); }, "mov r1.yw, l(0.5, 0, 0, 2.0)"},
        {[](ShaderBuilder &B, Reg, Reg, Reg) { B.Mov(R(1), ImmInt(-1)); }, "mov r1.xyzw, l(-1, -1, -1, -1)"},
        {[](ShaderBuilder &B, Reg, Reg, Reg) { B.Mov(R(1)("z"), ImmInt(-1)); }, "mov r1.z, l(-1)"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.Add(Sat(R(1)), -C, Abs(C("x"))); }, "add_sat r1.xyzw, -v1.xyzw, |v1.xxxx|"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.Dp3(R(1)("x"), C("xyz"), C("yzw")); }, "dp3 r1.x, v1.xyzx, v1.yzwx"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg Cb) { B.Mul(R(1)("xy"), C("zw"), Cb[3]("y")); }, "mul r1.xy, v1.zwxx, cb1[3].yyyy"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg Cb) { B.FtoI(R(2)("x"), C("x")); B.Mov(R(1), Cb.At(R(2)("x"))); },
         "mov r1.xyzw, cb1[r2.x].xyzw"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg Cb) { B.FtoI(R(2)("x"), C("x")); B.Mov(R(1), Cb.At(R(2)("x"), 2)); },
         "mov r1.xyzw, cb1[r2.x + 2].xyzw"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg Cb) { B.FtoI(R(2)("x"), C("x")); B.Mov(R(1), Cb.At(R(2)("x"), 2)); },
         "dcl_constantbuffer cb1[4].xyzw, dynamicIndexed"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.Discard(When::Zero, C("w")); }, "discard_z v1.w"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.If(When::NonZero, C("y")); B.EndIf(); }, "if_nz v1.y"},
        {[](ShaderBuilder &B, Reg C, Reg, Reg) { B.SinCos(Null(), R(1)("xy"), C("zw")); }, "sincos null, r1.xy, v1.zwxx"},
        {[](ShaderBuilder &B, Reg, Reg U, Reg) { B.Sample(R(1)("x"), U, Register(RegisterType::Resource, 0)("w"), Register(RegisterType::Sampler, 0)); },
         "sample r1.x, v2.xyxx, t0.wxxx, s0"},
        {[](ShaderBuilder &B, Reg, Reg U, Reg) { B.SampleL(R(1), U, Register(RegisterType::Resource, 0), Register(RegisterType::Sampler, 0), Imm(2.0f)); },
         "sample_l r1.xyzw, v2.xyxx, t0.xyzw, s0, l(2.0)"},
    };
    for (const auto &Case : Cases) {
        std::string Error;
        const Bytes Code = PixelShader(
            [&](ShaderBuilder &B, Reg Colour, Reg Uv, Reg Cb, Reg Target) {
                B.Mov(R(1), Imm(0, 0, 0, 0));
                Case.Write(B, Colour, Uv, Cb);
                B.Mov(Target, R(1));
                B.Ret();
            },
            &Error);
        ASSERT_FALSE(Code.empty()) << Case.Line << ": " << Error;
        const std::string Text = Listing(Code);
        EXPECT_NE(Text.find(std::string(Case.Line) + "\n"), std::string::npos) << Case.Line << "\n" << Text;
    }
}

TEST(ShaderBuilder, RefusesWhatCannotRun)
{
    using Body = std::function<void(ShaderBuilder &, Reg Colour, Reg Uv, Reg Cb, Reg Target)>;
    const auto Ends = [](ShaderBuilder &B, Reg Target) {
        B.Mov(Target, Imm(0, 0, 0, 0));
        B.Ret();
    };
    const struct {
        const char *What;
        Body Write;
        const char *Error;
    } Cases[] = {
        {"input read outside its mask", [&](ShaderBuilder &B, Reg, Reg U, Reg, Reg T) { B.Mov(R(0), U("z")); Ends(B, T); }, "outside the declared .xy"},
        {"temp read before written", [&](ShaderBuilder &B, Reg C, Reg, Reg, Reg T) { B.Mov(R(0)("x"), C("x")); B.Add(R(1), R(0), C); Ends(B, T); },
         "r0 reads .yzw before"},
        {"output part never written", [](ShaderBuilder &B, Reg C, Reg, Reg, Reg T) { B.Mov(T("xyz"), C("xyz")); B.Ret(); }, ".w is never written"},
        {"output read", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { Ends(B, T); B.Mov(R(0), T); B.Ret(); }, "outputs cannot be read"},
        {"constant beyond the buffer", [&](ShaderBuilder &B, Reg, Reg, Reg Cb, Reg T) { B.Mov(R(0), Cb[4]); Ends(B, T); }, "beyond the declared 4 vectors"},
        {"undeclared constant buffer", [&](ShaderBuilder &B, Reg, Reg, Reg Cb, Reg T) { Reg Other = Cb; Other.Index[0] = 2; B.Mov(R(0), Other[0]); Ends(B, T); },
         "cb2 is not declared"},
        {"unwritten index register", [&](ShaderBuilder &B, Reg, Reg, Reg Cb, Reg T) { B.Mov(R(0), Cb.At(R(3)("x"))); Ends(B, T); },
         "index register of cb1"},
        {"source does not fit the mask", [&](ShaderBuilder &B, Reg C, Reg, Reg, Reg T) { B.Mov(R(0)("xy"), C("xyz")); Ends(B, T); },
         "selects 3 components for a destination of 2"},
        {"saturated source", [&](ShaderBuilder &B, Reg C, Reg, Reg, Reg T) { B.Mov(R(0), Sat(C)); Ends(B, T); }, "belongs to the destination"},
        {"mask out of order", [&](ShaderBuilder &B, Reg C, Reg, Reg, Reg T) { B.Mov(R(0)("yx"), C("xy")); Ends(B, T); }, "is not a write mask"},
        {"scalar operand of two components", [&](ShaderBuilder &B, Reg C, Reg, Reg, Reg T) { B.Discard(When::NonZero, C("xy")); Ends(B, T); },
         "exactly one component"},
        {"comparison sample with a plain sampler",
         [&](ShaderBuilder &B, Reg C, Reg U, Reg, Reg T) { B.SampleC(R(0)("x"), U, Register(RegisterType::Resource, 0), Register(RegisterType::Sampler, 0), C("z")); Ends(B, T); },
         "needs a comparison sampler"},
        {"undeclared texture",
         [&](ShaderBuilder &B, Reg, Reg U, Reg, Reg T) { B.Sample(R(0), U, Register(RegisterType::Resource, 5), Register(RegisterType::Sampler, 0)); Ends(B, T); },
         "t5 is not declared"},
        {"else without if", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Else(); Ends(B, T); }, "else without an open if"},
        {"break outside a loop", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Break(); Ends(B, T); }, "break outside a loop"},
        {"unclosed loop", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Loop(); Ends(B, T); }, "a loop is not closed"},
        {"endif closing a loop", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Loop(); B.EndIf(); Ends(B, T); }, "endif without an open if"},
        {"no ret at the end", [](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Mov(T, Imm(0, 0, 0, 0)); }, "does not end with ret"},
        {"input declared twice", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Input("COLOR", 0); Ends(B, T); }, "declared twice"},
        {"integer input interpolated", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Input("BLENDINDICES", 0, "x", Interpolation::Linear, ComponentType::Uint); Ends(B, T); },
         "constant interpolation"},
        {"pixel output other than a target", [&](ShaderBuilder &B, Reg, Reg, Reg, Reg T) { B.Output("COLOR", 1); Ends(B, T); }, "only SV_Target"},
    };
    for (const auto &Case : Cases) {
        std::string Error;
        EXPECT_TRUE(PixelShader(Case.Write, &Error).empty()) << Case.What;
        EXPECT_NE(Error.find(Case.Error), std::string::npos) << Case.What << ": " << Error;
    }

    // Stage rules.
    ShaderBuilder Vertex(Stage::Vertex);
    const Reg Position = Vertex.Input("POSITION", 0);
    Vertex.Discard(When::NonZero, Position("x"));
    EXPECT_NE(Vertex.Error().find("only a pixel shader discards"), std::string::npos) << Vertex.Error();
    ShaderBuilder Sampling(Stage::Vertex);
    Sampling.Input("POSITION", 0);
    const Reg Image = Sampling.Texture2D(0), ImageSampler = Sampling.Sampler(0);
    Sampling.Sample(R(0), Position("xy"), Image, ImageSampler);
    EXPECT_NE(Sampling.Error().find("explicit level"), std::string::npos) << Sampling.Error();
}

TEST(SignatureLinkage, RefusesAPixelShaderThatDoesNotFollowTheVertexShader)
{
    auto Element = [](const char *Name, uint32_t Index, uint32_t Register, uint8_t Mask) {
        SignatureElement E;
        E.Name = Name;
        E.Index = Index;
        E.Register = Register;
        E.Mask = Mask;
        E.Value = strcmp(Name, "SV_Position") == 0 ? SystemValue::Position : SystemValue::Undefined;
        return E;
    };
    const std::vector<SignatureElement> Vertex = {Element("SV_Position", 0, 0, 0xf), Element("COLOR", 0, 1, 0xf),
                                                  Element("TEXCOORD", 0, 2, 0x3)};
    std::vector<SignatureElement> Prefix(Vertex.begin(), Vertex.begin() + 2);
    std::vector<SignatureElement> Narrower = Vertex;
    Narrower[1].Mask = 0x7;
    std::vector<SignatureElement> Wider = Vertex;
    Wider[2].Mask = 0x7;
    std::vector<SignatureElement> Skipped = {Vertex[0], Vertex[2]};
    std::vector<SignatureElement> Renamed = Vertex;
    Renamed[2].Index = 1;
    std::vector<SignatureElement> Integer = Vertex;
    Integer[1].Type = ComponentType::Uint;
    std::vector<SignatureElement> Longer = Vertex;
    Longer.push_back(Element("TEXCOORD", 1, 3, 0x3));
    const struct {
        const char *What;
        const std::vector<SignatureElement> &Pixel;
        bool Links;
    } Cases[] = {{"the same", Vertex, true},          {"a prefix", Prefix, true},        {"fewer components", Narrower, true},
                 {"more components", Wider, false},   {"a skipped element", Skipped, false},
                 {"another semantic index", Renamed, false}, {"another type", Integer, false}, {"more elements", Longer, false}};
    for (const auto &Case : Cases) {
        std::string Error;
        EXPECT_EQ(CheckLinkage(Vertex, Case.Pixel, &Error), Case.Links) << Case.What << ": " << Error;
    }
}

TEST(RepresentativeSet, IsBuiltTheSameEveryTimeAndListsCleanly)
{
    std::vector<NamedShader> First, Second;
    std::string Error;
    ASSERT_TRUE(BuildRepresentativeSet(First, &Error)) << Error;
    ASSERT_TRUE(BuildRepresentativeSet(Second, &Error)) << Error;
    ASSERT_EQ(First.size(), Second.size());
    for (size_t i = 0; i < First.size(); ++i) {
        EXPECT_EQ(First[i].FileName, Second[i].FileName);
        EXPECT_EQ(First[i].Code, Second[i].Code) << First[i].FileName;
        std::vector<Chunk> Chunks;
        EXPECT_TRUE(ReadContainer(First[i].Code.data(), First[i].Code.size(), Chunks, &Error)) << First[i].FileName << ": " << Error;
        Listing(First[i].Code);
    }
}

TEST(DxbcReaders, RefuseDamagedContainersWithoutReadingOutside)
{
    // Containers whose size fields lie are refused by name.
    const Bytes Good = ReadReference("textured.ps.dxbc");
    ASSERT_GT(Good.size(), ContainerHeaderSize);
    const uint32_t FirstChunk = ReadU32(&Good[32]);
    const struct {
        const char *What;
        Bytes Data;
        const char *Error;
    } Cases[] = {
        {"recorded size too large", Resealed(Put(Good, 24, uint32_t(Good.size() + 4))), "recorded size"},
        {"cut short", Bytes(Good.begin(), Good.end() - 4), "recorded size"},
        {"chunk count beyond the table", Resealed(Put(Good, 28, 1000)), "chunk count"},
        {"chunk offset beyond the end", Resealed(Put(Good, 32, uint32_t(Good.size()))), "outside the container"},
        {"chunk size beyond the end", Resealed(Put(Good, FirstChunk + 4, 0x7fffffff)), "runs past the end"},
        {"not a container", Resealed(Put(Good, 0, 0x12345678)), "no DXBC tag"},
    };
    for (const auto &Case : Cases) {
        std::vector<Chunk> Chunks;
        std::string Error;
        EXPECT_FALSE(ReadContainer(Case.Data.data(), Case.Data.size(), Chunks, &Error)) << Case.What;
        EXPECT_NE(Error.find(Case.Error), std::string::npos) << Case.What << ": " << Error;
    }

    // Programs whose lengths do not add up are refused by the dumper, with the reason.
    const size_t Program = ProgramAt(Good);
    ASSERT_NE(Program, 0u);
    const size_t LastToken = Good.size() - 4;  // ret
    const struct {
        const char *What;
        Bytes Data;
        const char *Listing;
    } Programs[] = {
        {"program length short of the chunk", Resealed(Put(Good, Program + 4, ReadU32(&Good[Program + 4]) - 1)), "length token"},
        {"program length beyond the chunk", Resealed(Put(Good, Program + 4, ReadU32(&Good[Program + 4]) + 1)), "length token"},
        {"instruction of length 0", Resealed(Put(Good, LastToken, 0x0000003e)), "has length 0"},
        {"instruction running past the program", Resealed(Put(Good, LastToken, 0x0200003e)), "has length 2"},
    };
    for (const auto &Case : Programs) {
        std::string Text;
        EXPECT_FALSE(DumpContainer(Case.Data.data(), Case.Data.size(), Text)) << Case.What;
        EXPECT_NE(Text.find(Case.Listing), std::string::npos) << Case.What << ":\n" << Text;
    }

    // A seeded mutation loop over every container the tests know: the readers and the dumper
    // must stop at the first bad field (the checkers abort on any read outside the data) and a
    // program they list must have every instruction's length add up.
    std::vector<Bytes> Seeds;
    for (const std::string &Name : ReferenceNames()) Seeds.push_back(ReadReference(Name));
    std::vector<NamedShader> Set;
    ASSERT_TRUE(BuildRepresentativeSet(Set, nullptr));
    for (const NamedShader &S : Set) Seeds.push_back(S.Code);
    std::mt19937 Random(31);
    int Listed = 0;
    for (int Round = 0; Round < 6000; ++Round) {
        Bytes Data = Seeds[Round % Seeds.size()];
        const int Changes = 1 + int(Random() % 4);
        for (int i = 0; i < Changes; ++i) {
            const size_t At = Random() % Data.size();
            switch (Random() % 4) {
            case 0: Data[At] ^= uint8_t(1u << (Random() % 8)); break;
            case 1: Data[At] = uint8_t(Random()); break;
            case 2: if (At + 4 <= Data.size()) { uint32_t V = uint32_t(Random() % 300); memcpy(&Data[At & ~size_t(3)], &V, 4); } break;
            default: Data.resize(std::max<size_t>(At, 1)); break;
            }
        }
        if (Data.size() >= ChecksumFrom) Data = Resealed(Data);
        std::string Text;
        if (DumpContainer(Data.data(), Data.size(), Text)) ++Listed;
        EXPECT_FALSE(Text.empty());
    }
    EXPECT_GT(Listed, 100);  // the loop also reaches programs that still read cleanly
}
