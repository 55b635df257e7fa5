#include "sm2_dump.h"

#include <stdio.h>
#include <string.h>

#include <vector>

#include "sm2_tokens.h"

namespace sm2 {

namespace {

const char Letters[] = "xyzw";

std::string Hex(uint32_t Value)
{
    char Text[16];
    snprintf(Text, sizeof Text, "%08x", Value);
    return Text;
}

std::string FloatText(uint32_t Bits)
{
    float Value;
    memcpy(&Value, &Bits, sizeof Value);
    char Text[32];
    snprintf(Text, sizeof Text, "%g", double(Value));
    return Text;
}

std::string UsageName(uint32_t Usage)
{
    static const char *const Names[] = {"position", "blendweight", "blendindices", "normal",   "psize",
                                        "texcoord", "tangent",     "binormal",     "tessfactor", "positiont",
                                        "color",    "fog",         "depth",        "sample"};
    return Usage < sizeof Names / sizeof Names[0] ? Names[Usage] : "usage" + std::to_string(Usage);
}

std::string MaskText(uint32_t Mask)
{
    if (Mask == 0xF) return "";
    std::string Out = ".";
    for (int i = 0; i < 4; ++i)
        if (Mask & (1u << i)) Out += Letters[i];
    return Out;
}

std::string SwizzleText(uint32_t Swizzle)
{
    if (Swizzle == token::IdentitySwizzle) return "";
    char Lanes[4];
    for (int i = 0; i < 4; ++i) Lanes[i] = Letters[Swizzle >> (2 * i) & 3];
    // The assembly pads a short swizzle with its last component: drop what the padding gives back.
    int Length = 4;
    while (Length > 1 && Lanes[Length - 1] == Lanes[Length - 2]) --Length;
    return "." + std::string(Lanes, size_t(Length));
}

}  // namespace

std::string OpcodeName(uint32_t Opcode)
{
    switch (sm2::Opcode(Opcode)) {
    case Opcode::Mov: return "mov";
    case Opcode::Add: return "add";
    case Opcode::Sub: return "sub";
    case Opcode::Mad: return "mad";
    case Opcode::Mul: return "mul";
    case Opcode::Rcp: return "rcp";
    case Opcode::Rsq: return "rsq";
    case Opcode::Dp3: return "dp3";
    case Opcode::Dp4: return "dp4";
    case Opcode::Min: return "min";
    case Opcode::Max: return "max";
    case Opcode::Exp: return "exp";
    case Opcode::Log: return "log";
    case Opcode::Lrp: return "lrp";
    case Opcode::Frc: return "frc";
    case Opcode::Dcl: return "dcl";
    case Opcode::Pow: return "pow";
    case Opcode::Texkill: return "texkill";
    case Opcode::Texld: return "texld";
    case Opcode::Def: return "def";
    case Opcode::Cmp: return "cmp";
    case Opcode::Comment: return "comment";
    case Opcode::End: return "end";
    }
    return "opcode_" + std::to_string(Opcode);
}

std::string RegisterName(uint32_t Type, uint32_t Number, bool Vertex, uint32_t Major)
{
    const std::string N = std::to_string(Number);
    switch (RegisterType(Type)) {
    case RegisterType::Temp: return "r" + N;
    case RegisterType::Input: return "v" + N;
    case RegisterType::Const: return "c" + N;
    case RegisterType::Texture: return Vertex ? "a" + N : "t" + N;
    case RegisterType::RastOut: return Number == 0 ? "oPos" : Number == 1 ? "oFog" : "oPts";
    case RegisterType::AttrOut: return "oD" + N;
    case RegisterType::Output: return Vertex && Major >= 3 ? "o" + N : "oT" + N;
    case RegisterType::ColorOut: return "oC" + N;
    case RegisterType::DepthOut: return "oDepth";
    case RegisterType::Sampler: return "s" + N;
    default: return "reg" + std::to_string(Type) + "_" + N;
    }
}

bool DumpProgram(const uint8_t *Data, size_t Size, std::string &Out)
{
    auto Bad = [&](const std::string &Why) {
        Out += "// malformed: " + Why + "\n";
        return false;
    };
    if (Size % 4 != 0) return Bad(std::to_string(Size) + " bytes are no whole tokens");
    std::vector<uint32_t> Tokens(Size / 4);
    for (size_t i = 0; i < Tokens.size(); ++i)
        Tokens[i] = uint32_t(Data[4 * i]) | uint32_t(Data[4 * i + 1]) << 8 | uint32_t(Data[4 * i + 2]) << 16 |
                    uint32_t(Data[4 * i + 3]) << 24;
    if (Tokens.empty()) return Bad("no version token");
    const uint32_t Version = Tokens[0];
    const bool Vertex = (Version & 0xFFFF0000) == token::VertexVersion;
    if (!Vertex && (Version & 0xFFFF0000) != token::PixelVersion) return Bad("version token " + Hex(Version));
    const uint32_t Major = Version >> 8 & 0xFF, Minor = Version & 0xFF;
    if (Major < 2) return Bad("shader model " + std::to_string(Major) + " has no instruction lengths");
    Out += std::string(Vertex ? "vs_" : "ps_") + std::to_string(Major) + "_" + std::to_string(Minor) + "\n";

    auto Register = [&](uint32_t Token) {
        return RegisterName(uint32_t(token::TypeOf(Token)), Token & 0x7FF, Vertex, Major);
    };
    auto DestinationText = [&](uint32_t Token) { return Register(Token) + MaskText(Token >> token::MaskShift & 0xF); };
    auto SourceText = [&](uint32_t Token) {
        const uint32_t Modifier = Token >> token::ModifierShift & 0xF;
        std::string Text = Register(Token);
        if (Modifier == token::Absolute || Modifier == token::AbsoluteNegate) Text += "_abs";
        else if (Modifier != 0 && Modifier != token::Negate) Text += "_mod" + std::to_string(Modifier);
        Text += SwizzleText(Token >> token::SwizzleShift & 0xFF);
        return (Modifier == token::Negate || Modifier == token::AbsoluteNegate ? "-" : "") + Text;
    };

    size_t At = 1;
    while (At < Tokens.size()) {
        const uint32_t Instruction = Tokens[At];
        const uint32_t Op = Instruction & 0xFFFF;
        if (Op == uint32_t(Opcode::End)) {
            if (At + 1 != Tokens.size()) return Bad(std::to_string(Tokens.size() - At - 1) + " tokens after the end");
            Out += "// end\n";
            return true;
        }
        if (Instruction & token::Parameter) return Bad("parameter token " + Hex(Instruction) + " where an instruction was due");
        const size_t Length = Op == uint32_t(Opcode::Comment) ? Instruction >> token::CommentLengthShift & 0x7FFF
                                                              : Instruction >> token::LengthShift & 0xF;
        if (Length > Tokens.size() - At - 1)
            return Bad(OpcodeName(Op) + " of " + std::to_string(Length) + " tokens runs past the stream");
        const uint32_t *Operands = &Tokens[At + 1];
        std::string Line;
        if (Op == uint32_t(Opcode::Comment)) {
            Line = "// comment of " + std::to_string(Length) + " words";
        } else if (Op == uint32_t(Opcode::Dcl)) {
            if (Length != 2) return Bad("dcl of " + std::to_string(Length) + " tokens");
            const uint32_t What = Operands[0];
            if (token::TypeOf(Operands[1]) == RegisterType::Sampler)
                Line = (What >> token::SamplerTypeShift & 0xF) == token::Sampler2D ? "dcl_2d" : "dcl_sampler" + std::to_string(What >> token::SamplerTypeShift & 0xF);
            else if (!Vertex && Major == 2)
                Line = "dcl";
            else
                Line = "dcl_" + UsageName(What & 0x1F) + ((What >> token::UsageIndexShift & 0xF) ? std::to_string(What >> token::UsageIndexShift & 0xF) : "");
            Line += " " + DestinationText(Operands[1]);
        } else if (Op == uint32_t(Opcode::Def)) {
            if (Length != 5) return Bad("def of " + std::to_string(Length) + " tokens");
            Line = "def " + Register(Operands[0]);
            for (int i = 1; i <= 4; ++i) Line += ", " + FloatText(Operands[i]);
        } else {
            if (Length == 0) return Bad(OpcodeName(Op) + " without operands");
            Line = OpcodeName(Op) + (Operands[0] & token::Saturate ? "_sat " : " ") + DestinationText(Operands[0]);
            for (size_t i = 1; i < Length; ++i) Line += ", " + SourceText(Operands[i]);
        }
        Line += "    //";
        for (size_t i = 0; i <= Length && Op != uint32_t(Opcode::Comment); ++i) Line += " " + Hex(Tokens[At + i]);
        Out += Line + "\n";
        At += 1 + Length;
    }
    return Bad("no end token");
}

}  // namespace sm2
