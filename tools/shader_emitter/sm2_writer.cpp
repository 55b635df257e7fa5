#include "sm2_writer.h"

#include <string.h>

#include "shader_lanes.h"
#include "sm2_dump.h"

namespace sm2 {

namespace {

using shader_lanes::ComponentOf;
using shader_lanes::FloatBits;

// Write mask from text such as "xyw": 0xF for "", 0 when the text is not an ascending subset.
uint32_t MaskOf(const std::string &Text) { return Text.empty() ? 0xF : shader_lanes::MaskOf(Text.c_str()); }

uint32_t Key(RegisterType Type, uint32_t Number)
{
    return uint32_t(Type) << 16 | Number;
}

Reg Make(RegisterType Type, uint32_t Number)
{
    Reg S;
    S.Type = Type;
    S.Number = Number;
    return S;
}

bool Replicates(const uint32_t Lanes[4])
{
    return Lanes[0] == Lanes[1] && Lanes[1] == Lanes[2] && Lanes[2] == Lanes[3];
}

bool IsIdentity(const uint32_t Lanes[4])
{
    return Lanes[0] == 0 && Lanes[1] == 1 && Lanes[2] == 2 && Lanes[3] == 3;
}

}  // namespace

// ------------------------------------------------------------------ operands

Reg Reg::operator()(const char *Select) const
{
    Reg Copy = *this;
    Copy.Components = Select;
    return Copy;
}

Reg Reg::operator-() const
{
    Reg Copy = *this;
    Copy.Negate = !Copy.Negate;
    return Copy;
}

Reg R(uint32_t Number) { return Make(RegisterType::Temp, Number); }
Reg C(uint32_t Number) { return Make(RegisterType::Const, Number); }
Reg V(uint32_t Number) { return Make(RegisterType::Input, Number); }
Reg T(uint32_t Number) { return Make(RegisterType::Texture, Number); }
Reg S(uint32_t Number) { return Make(RegisterType::Sampler, Number); }
Reg OC(uint32_t Number) { return Make(RegisterType::ColorOut, Number); }
Reg ODepth() { return Make(RegisterType::DepthOut, 0); }
Reg OPos() { return Make(RegisterType::RastOut, 0); }
Reg OD(uint32_t Number) { return Make(RegisterType::AttrOut, Number); }
Reg OT(uint32_t Number) { return Make(RegisterType::Output, Number); }
Reg O(uint32_t Number) { return Make(RegisterType::Output, Number); }

Reg Sat(Reg Destination)
{
    Destination.Saturate = true;
    return Destination;
}

Reg Abs(Reg Source)
{
    Source.Absolute = true;
    return Source;
}

// ------------------------------------------------------------------ the writer

ShaderWriter::ShaderWriter(Stage Kind, uint32_t Major, uint32_t Minor) : Kind(Kind), Major(Major), Minor(Minor)
{
    // 2.1 is the extended pixel model ps_2_x, at the limits of a device that reports no texture
    // instruction or dependent-read limit and 512 slots; it keeps the 2.0 registers otherwise.
    const bool Extended = Kind == Stage::Pixel && Major == 2 && Minor == 1;
    if (!((Major == 2 || Major == 3) && Minor == 0) && !Extended) {
        Fail("shader model " + std::to_string(Major) + "." + std::to_string(Minor) + " is not written");
        return;
    }
    //                 temps consts inputs t#  s#  oC  oPos oD oT/o  slots  reads levels
    if (Kind == Stage::Vertex)
        Limit_ = Major == 2 ? Limits{12, 256, 16, 0, 0, 0, 1, 2, 8, 256, 0, 0}
                            : Limits{32, 256, 16, 0, 0, 0, 0, 0, 12, 512, 0, 0};
    else if (Extended)
        Limit_ = Limits{22, 32, 2, 8, 16, 4, 0, 0, 0, 512, 0, 0};
    else
        Limit_ = Major == 2 ? Limits{12, 32, 2, 8, 16, 4, 0, 0, 0, 64, 32, 4}
                            : Limits{32, 224, 10, 0, 16, 4, 0, 0, 0, 512, 0, 0};
}

void ShaderWriter::Fail(const std::string &Why)
{
    if (!ErrorText.empty()) return;
    ErrorText = Context.empty() ? Why : Context + ": " + Why;
}

void ShaderWriter::Begin(const char *Name)
{
    Context = std::string(Name) + " (instruction " + std::to_string(Instructions + 1) + ")";
    if (Finished) Fail("the program is finished");
}

bool ShaderWriter::Declaring(const char *Name)
{
    Begin(Name);
    if (Instructions > 0) Fail("declarations come before the first instruction");
    return Ok();
}

uint32_t ShaderWriter::Limit(RegisterType Type) const
{
    switch (Type) {
    case RegisterType::Temp: return Limit_.Temps;
    case RegisterType::Const: return Limit_.Consts;
    case RegisterType::Input: return Limit_.Inputs;
    case RegisterType::Texture: return Limit_.Textures;
    case RegisterType::Sampler: return Limit_.Samplers;
    case RegisterType::ColorOut: return Limit_.ColorOuts;
    case RegisterType::DepthOut: return Kind == Stage::Pixel ? 1 : 0;
    case RegisterType::RastOut: return Limit_.RastOuts;
    case RegisterType::AttrOut: return Limit_.AttrOuts;
    case RegisterType::Output: return Limit_.Outputs;
    default: return 0;
    }
}

bool ShaderWriter::InRange(const Reg &Register, const char *Role)
{
    const uint32_t Count = Limit(Register.Type);
    if (Count == 0) {
        Fail(RegisterName(uint32_t(Register.Type), Register.Number, Kind == Stage::Vertex, Major) + " is no " + Role +
             " register of this shader model");
        return false;
    }
    if (Register.Number >= Count) {
        Fail(RegisterName(uint32_t(Register.Type), Register.Number, Kind == Stage::Vertex, Major) +
             " is out of range (" + std::to_string(Count) + " registers)");
        return false;
    }
    return true;
}

bool ShaderWriter::Swizzle(const Reg &Source, uint32_t Lanes[4])
{
    if (Source.Components.empty()) {
        for (uint32_t i = 0; i < 4; ++i) Lanes[i] = i;
        return true;
    }
    if (Source.Components.size() > 4) {
        Fail("swizzle ." + Source.Components + " has more than four components");
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        const size_t From = i < Source.Components.size() ? i : Source.Components.size() - 1;
        const int C = ComponentOf(Source.Components[From]);
        if (C < 0) {
            Fail("swizzle ." + Source.Components + " is not made of x, y, z, w");
            return false;
        }
        Lanes[i] = uint32_t(C);
    }
    if (Kind == Stage::Pixel && Major == 2 && !IsIdentity(Lanes) && !Replicates(Lanes)) {
        Fail("ps_2_0 reads no arbitrary swizzle (." + Source.Components + ")");
        return false;
    }
    return true;
}

uint32_t ShaderWriter::Destination(std::vector<uint32_t> &Tokens, const Reg &D, Opcode Op)
{
    const bool Output = D.Type == RegisterType::ColorOut || D.Type == RegisterType::DepthOut ||
                        D.Type == RegisterType::RastOut || D.Type == RegisterType::AttrOut ||
                        D.Type == RegisterType::Output;
    if (D.Type != RegisterType::Temp && !Output) {
        Fail(RegisterName(uint32_t(D.Type), D.Number, Kind == Stage::Vertex, Major) + " cannot be written");
        return 0;
    }
    if (!InRange(D, "destination")) return 0;
    if (D.Negate || D.Absolute) {
        Fail("a destination takes no source modifier");
        return 0;
    }
    const uint32_t Mask = MaskOf(D.Components);
    if (Mask == 0) {
        Fail("write mask ." + D.Components + " is not an ascending subset of xyzw");
        return 0;
    }
    if (Kind == Stage::Pixel && Major == 2 && Output && (Op != Opcode::Mov || Mask != 0xF)) {
        Fail("ps_2_0 writes its outputs whole, with mov");
        return 0;
    }
    if (D.Type == RegisterType::Output && Major == 3) {
        const auto Found = Declared.find(Key(D.Type, D.Number));
        if (Found == Declared.end()) {
            Fail("o" + std::to_string(D.Number) + " is written without a declaration");
            return 0;
        }
        if (Mask & ~Found->second) {
            Fail("o" + std::to_string(D.Number) + "." + D.Components + " is outside its declared mask");
            return 0;
        }
    }
    if (D.Type == RegisterType::RastOut && D.Number != 0) {
        Fail("only oPos of the rasteriser outputs is written");
        return 0;
    }
    Tokens.push_back(token::RegisterBits(D.Type, D.Number) | Mask << token::MaskShift |
                     (D.Saturate ? token::Saturate : 0));
    return Mask;
}

void ShaderWriter::Source(std::vector<uint32_t> &Tokens, const Reg &S, const uint32_t Lanes[4], uint32_t ReadLanes)
{
    const std::string Name = RegisterName(uint32_t(S.Type), S.Number, Kind == Stage::Vertex, Major);
    if (S.Type != RegisterType::Temp && S.Type != RegisterType::Const && S.Type != RegisterType::Input &&
        S.Type != RegisterType::Texture) {
        Fail(Name + " cannot be read here");
        return;
    }
    if (!InRange(S, "source")) return;
    if (S.Saturate) {
        Fail("a source takes no result modifier");
        return;
    }
    if (S.Absolute && Major < 3) {
        Fail("the absolute-value modifier needs shader model 3.0");
        return;
    }
    uint32_t Read = 0;
    for (uint32_t Lane = 0; Lane < 4; ++Lane)
        if (ReadLanes & (1u << Lane)) Read |= 1u << Lanes[Lane];
    static const char Letters[] = "xyzw";
    auto Text = [&](uint32_t Mask) {
        std::string Out = Name + ".";
        for (uint32_t i = 0; i < 4; ++i)
            if (Mask & (1u << i)) Out += Letters[i];
        return Out;
    };
    if (S.Type == RegisterType::Temp) {
        const uint32_t Written = TempWritten.count(S.Number) ? TempWritten[S.Number] : 0;
        if (Read & ~Written) {
            Fail(Text(Read & ~Written) + " is read before any instruction wrote it");
            return;
        }
        if (TempLevel[S.Number] > ReadLevel) ReadLevel = TempLevel[S.Number];
    } else if (S.Type == RegisterType::Input || S.Type == RegisterType::Texture) {
        const auto Found = Declared.find(Key(S.Type, S.Number));
        if (Found == Declared.end()) {
            Fail(Name + " is read without a declaration");
            return;
        }
        if (Read & ~Found->second) {
            Fail(Text(Read & ~Found->second) + " is outside its declared mask");
            return;
        }
    }
    uint32_t Modifier = 0;
    if (S.Absolute) Modifier = S.Negate ? token::AbsoluteNegate : token::Absolute;
    else if (S.Negate) Modifier = token::Negate;
    const uint32_t Bits = Lanes[0] | Lanes[1] << 2 | Lanes[2] << 4 | Lanes[3] << 6;
    Tokens.push_back(token::RegisterBits(S.Type, S.Number) | Bits << token::SwizzleShift |
                     Modifier << token::ModifierShift);
}

uint32_t ShaderWriter::Slots(Opcode Op) const
{
    switch (Op) {
    case Opcode::Lrp: return 2;
    case Opcode::Pow: return 3;
    default: return 1;
    }
}

void ShaderWriter::Emit(Opcode Op, const Reg &D, uint32_t Mask, std::vector<uint32_t> Operands, uint32_t Level)
{
    if (!Ok()) return;
    if (Op == Opcode::Texld) {
        ++TextureCount;
        if (Limit_.TextureReads && TextureCount > Limit_.TextureReads)
            return Fail("more than " + std::to_string(Limit_.TextureReads) + " texture reads");
        if (Limit_.DependentLevels && Level > Limit_.DependentLevels)
            return Fail("a dependent read of level " + std::to_string(Level) + " (at most " +
                        std::to_string(Limit_.DependentLevels) + ")");
    } else {
        ArithmeticCount += Slots(Op);
    }
    const uint32_t Used = Limit_.TextureReads ? ArithmeticCount : ArithmeticCount + TextureCount;
    if (Used > Limit_.ArithmeticSlots)
        return Fail("more than " + std::to_string(Limit_.ArithmeticSlots) +
                    (Limit_.TextureReads ? " arithmetic" : "") + " instruction slots");
    if (Operands.size() > token::MaxLength) return Fail("too many operands");
    Code.push_back(uint32_t(Op) | uint32_t(Operands.size()) << token::LengthShift);
    Code.insert(Code.end(), Operands.begin(), Operands.end());
    if (D.Type == RegisterType::Temp) {
        TempWritten[D.Number] |= Mask;
        uint32_t &Kept = TempLevel[D.Number];
        Kept = Mask == 0xF ? Level : (Level > Kept ? Level : Kept);
    } else {
        OutputWritten[Key(D.Type, D.Number)] |= Mask;
    }
    ++Instructions;
}

void ShaderWriter::Arithmetic(Opcode Op, const Reg &D, std::initializer_list<Reg> Sources, uint32_t ReadLanes,
                              bool ScalarSources)
{
    Begin(OpcodeName(uint32_t(Op)).c_str());
    if (!Ok()) return;
    if (Op == Opcode::Cmp && Kind != Stage::Pixel) return Fail("cmp is a pixel-shader instruction");
    std::vector<uint32_t> Tokens;
    const uint32_t Mask = Destination(Tokens, D, Op);
    if (!Mask) return;
    ReadLevel = 0;
    for (const Reg &S : Sources) {
        uint32_t Lanes[4];
        if (!Swizzle(S, Lanes)) return;
        if (ScalarSources && !Replicates(Lanes)) return Fail("a scalar source takes one component, not ." + S.Components);
        Source(Tokens, S, Lanes, ReadLanes ? ReadLanes : Mask);
        if (!Ok()) return;
    }
    Emit(Op, D, Mask, Tokens, ReadLevel);
}

void ShaderWriter::Texld(Reg D, Reg Coord, Reg Sampler)
{
    Begin("texld");
    if (!Ok()) return;
    if (Kind != Stage::Pixel) return Fail("texld is a pixel-shader instruction");
    if (D.Type != RegisterType::Temp || D.Saturate || MaskOf(D.Components) != 0xF)
        return Fail("texld writes a whole temp register, without a modifier");
    const bool CoordOk = Coord.Type == RegisterType::Temp ||
                         (Major == 2 ? Coord.Type == RegisterType::Texture : Coord.Type == RegisterType::Input);
    if (!CoordOk) return Fail("texld reads its coordinates from a temp or an input coordinate register");
    if (Sampler.Type != RegisterType::Sampler || !Sampler.Components.empty() || Sampler.Negate || Sampler.Absolute)
        return Fail("texld samples a plain sampler register");
    if (!InRange(Sampler, "sampler")) return;
    if (!Declared.count(Key(RegisterType::Sampler, Sampler.Number)))
        return Fail("s" + std::to_string(Sampler.Number) + " is sampled without a declaration");
    uint32_t Lanes[4];
    if (!Swizzle(Coord, Lanes)) return;
    if (Major == 2 && (!IsIdentity(Lanes) || Coord.Negate))
        return Fail("ps_2_0 texld reads its coordinates without a swizzle or modifier");
    std::vector<uint32_t> Tokens;
    if (!Destination(Tokens, D, Opcode::Texld)) return;
    ReadLevel = 0;
    Source(Tokens, Coord, Lanes, 0x3);   // a two-dimensional sampler reads x and y
    if (!Ok()) return;
    Tokens.push_back(token::RegisterBits(RegisterType::Sampler, Sampler.Number) |
                     token::IdentitySwizzle << token::SwizzleShift);
    Emit(Opcode::Texld, D, 0xF, Tokens, ReadLevel + 1);
}

void ShaderWriter::Texkill(Reg Tested)
{
    Begin("texkill");
    if (!Ok()) return;
    if (Kind != Stage::Pixel) return Fail("texkill is a pixel-shader instruction");
    if (Tested.Type != RegisterType::Temp || Tested.Saturate || MaskOf(Tested.Components) != 0xF)
        return Fail("texkill tests a whole temp register, without a modifier");
    if (!InRange(Tested, "texkill")) return;
    if (TempWritten[Tested.Number] != 0xF)
        return Fail("r" + std::to_string(Tested.Number) + " is tested before all of it was written");
    std::vector<uint32_t> Tokens;
    if (!Destination(Tokens, Tested, Opcode::Texkill)) return;
    Emit(Opcode::Texkill, Tested, 0xF, Tokens, TempLevel[Tested.Number]);
}

// ------------------------------------------------------------------ declarations

Reg ShaderWriter::Dcl(Reg Input)
{
    if (!Declaring("dcl")) return Input;
    if (Kind != Stage::Pixel || Major != 2) {
        Fail("only ps_2_0 declares inputs without a usage");
        return Input;
    }
    if (Input.Type != RegisterType::Input && Input.Type != RegisterType::Texture) {
        Fail("ps_2_0 declares only v# and t# this way");
        return Input;
    }
    if (!InRange(Input, "input")) return Input;
    const uint32_t Mask = MaskOf(Input.Components);
    if (Mask == 0) {
        Fail("declared mask ." + Input.Components + " is not an ascending subset of xyzw");
        return Input;
    }
    if (!Declared.emplace(Key(Input.Type, Input.Number), Mask).second) {
        Fail(RegisterName(uint32_t(Input.Type), Input.Number, false, Major) + " is declared twice");
        return Input;
    }
    InputDcls.insert(InputDcls.end(), {uint32_t(Opcode::Dcl) | 2u << token::LengthShift, token::Parameter,
                                       token::RegisterBits(Input.Type, Input.Number) | Mask << token::MaskShift});
    Input.Components.clear();
    return Input;
}

Reg ShaderWriter::Dcl(Usage Semantic, uint32_t Index, Reg Register)
{
    if (!Declaring("dcl")) return Register;
    const bool Input = Register.Type == RegisterType::Input;
    const bool Output = Register.Type == RegisterType::Output && Kind == Stage::Vertex && Major == 3;
    if (!(Input && (Kind == Stage::Vertex || Major == 3)) && !Output) {
        Fail("a usage declares vertex inputs, and the inputs and outputs of shader model 3.0");
        return Register;
    }
    if (Index > 15) {
        Fail("usage index " + std::to_string(Index) + " is above 15");
        return Register;
    }
    if (!InRange(Register, Input ? "input" : "output")) return Register;
    const uint32_t Mask = MaskOf(Register.Components);
    if (Mask == 0) {
        Fail("declared mask ." + Register.Components + " is not an ascending subset of xyzw");
        return Register;
    }
    if (!Declared.emplace(Key(Register.Type, Register.Number), Mask).second) {
        Fail(RegisterName(uint32_t(Register.Type), Register.Number, Kind == Stage::Vertex, Major) +
             " is declared twice");
        return Register;
    }
    std::vector<uint32_t> &Into = Input ? InputDcls : OutputDcls;
    Into.insert(Into.end(), {uint32_t(Opcode::Dcl) | 2u << token::LengthShift,
                             token::Parameter | uint32_t(Semantic) | Index << token::UsageIndexShift,
                             token::RegisterBits(Register.Type, Register.Number) | Mask << token::MaskShift});
    if (Output && Semantic == Usage::Position) PositionOutput = Register.Number + 1;
    Register.Components.clear();
    return Register;
}

Reg ShaderWriter::Dcl2D(uint32_t Sampler)
{
    const Reg Register = S(Sampler);
    if (!Declaring("dcl_2d") || !InRange(Register, "sampler")) return Register;
    if (!Declared.emplace(Key(RegisterType::Sampler, Sampler), 0xF).second) {
        Fail("s" + std::to_string(Sampler) + " is declared twice");
        return Register;
    }
    SamplerDcls.insert(SamplerDcls.end(),
                       {uint32_t(Opcode::Dcl) | 2u << token::LengthShift,
                        token::Parameter | token::Sampler2D << token::SamplerTypeShift,
                        token::RegisterBits(RegisterType::Sampler, Sampler) | 0xFu << token::MaskShift});
    return Register;
}

void ShaderWriter::Def(Reg Constant, float X, float Y, float Z, float W)
{
    if (!Declaring("def")) return;
    if (Constant.Type != RegisterType::Const) return Fail("def defines float constants c#");
    if (!InRange(Constant, "constant")) return;
    if (!Defined.emplace(Constant.Number, 1).second)
        return Fail("c" + std::to_string(Constant.Number) + " is defined twice");
    Defs.insert(Defs.end(), {uint32_t(Opcode::Def) | 5u << token::LengthShift,
                             token::RegisterBits(RegisterType::Const, Constant.Number) | 0xFu << token::MaskShift,
                             FloatBits(X), FloatBits(Y), FloatBits(Z), FloatBits(W)});
}

void ShaderWriter::Comment(const std::string &Text)
{
    Begin("comment");
    const size_t Words = (Text.size() + 4) / 4;   // with at least one terminating zero
    if (Words > token::MaxCommentWords) return Fail("a comment of " + std::to_string(Words) + " words is too long");
    std::vector<uint32_t> Block(Words, 0);
    memcpy(Block.data(), Text.data(), Text.size());
    Comments.push_back(uint32_t(Opcode::Comment) | uint32_t(Words) << token::CommentLengthShift);
    Comments.insert(Comments.end(), Block.begin(), Block.end());
}

// ------------------------------------------------------------------ the stream

Bytes ShaderWriter::Finish()
{
    Begin("end");
    Finished = true;
    auto Whole = [&](RegisterType Type, uint32_t Number, uint32_t Mask) {
        const auto Found = OutputWritten.find(Key(Type, Number));
        return Found != OutputWritten.end() && (Found->second & Mask) == Mask;
    };
    if (Ok()) {
        if (Kind == Stage::Pixel) {
            if (!Whole(RegisterType::ColorOut, 0, 0xF)) Fail("oC0 is not written whole");
        } else if (Major == 2) {
            if (!Whole(RegisterType::RastOut, 0, 0xF)) Fail("oPos is not written whole");
        } else {
            if (!PositionOutput) Fail("no output is declared with the position usage");
            for (const auto &D : Declared)
                if (RegisterType(D.first >> 16) == RegisterType::Output &&
                    !Whole(RegisterType::Output, D.first & 0xFFFF, D.second))
                    Fail("o" + std::to_string(D.first & 0xFFFF) + " is not written whole");
        }
    }
    if (!Ok()) return {};
    std::vector<uint32_t> Tokens;
    Tokens.push_back((Kind == Stage::Vertex ? token::VertexVersion : token::PixelVersion) | Major << 8 | Minor);
    for (const std::vector<uint32_t> *Part : {&Comments, &InputDcls, &OutputDcls, &SamplerDcls, &Defs, &Code})
        Tokens.insert(Tokens.end(), Part->begin(), Part->end());
    Tokens.push_back(token::End);
    Bytes Out(Tokens.size() * 4);
    for (size_t i = 0; i < Tokens.size(); ++i)
        for (int b = 0; b < 4; ++b) Out[i * 4 + size_t(b)] = uint8_t(Tokens[i] >> (8 * b));
    return Out;
}

}  // namespace sm2
