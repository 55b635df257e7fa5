#include "sm4_dump.h"

#include <stdio.h>
#include <string.h>

#include "sm4_signature.h"
#include "sm4_tokens.h"

namespace dxbc {

namespace {

const char *const OpcodeNames[OpcodeCount] = {
    "add", "and", "break", "breakc", "call", "callc", "case", "continue", "continuec", "cut", "default",
    "deriv_rtx", "deriv_rty", "discard", "div", "dp2", "dp3", "dp4", "else", "emit", "emit_then_cut", "endif",
    "endloop", "endswitch", "eq", "exp", "frc", "ftoi", "ftou", "ge", "iadd", "if", "ieq", "ige", "ilt", "imad",
    "imax", "imin", "imul", "ine", "ineg", "ishl", "ishr", "itof", "label", "ld", "ld_ms", "log", "loop", "lt",
    "mad", "min", "max", "customdata", "mov", "movc", "mul", "ne", "nop", "not", "or", "resinfo", "ret", "retc",
    "round_ne", "round_ni", "round_pi", "round_z", "rsq", "sample", "sample_c", "sample_c_lz", "sample_l",
    "sample_d", "sample_b", "sqrt", "switch", "sincos", "udiv", "ult", "uge", "umul", "umad", "umax", "umin",
    "ushr", "utof", "xor", "dcl_resource", "dcl_constantbuffer", "dcl_sampler", "dcl_indexrange",
    "dcl_outputtopology", "dcl_inputprimitive", "dcl_maxout", "dcl_input", "dcl_input_sgv", "dcl_input_siv",
    "dcl_input_ps", "dcl_input_ps_sgv", "dcl_input_ps_siv", "dcl_output", "dcl_output_sgv", "dcl_output_siv",
    "dcl_temps", "dcl_indexableTemp", "dcl_globalFlags"};

const char *const SystemValueNames[] = {"undefined", "position", "clip_distance", "cull_distance",
                                        "rendertarget_array_index", "viewport_array_index", "vertex_id",
                                        "primitive_id", "instance_id", "is_front_face", "sampleIndex"};

const char *const InterpolationNames[] = {"undefined", "constant", "linear", "linear centroid", "linear noperspective",
                                          "linear noperspective centroid", "linear sample",
                                          "linear noperspective sample"};

const char *const DimensionNames[] = {"unknown", "buffer", "texture1d", "texture2d", "texture2dms", "texture3d",
                                      "texturecube", "texture1darray", "texture2darray", "texture2dmsarray",
                                      "texturecubearray"};

const char *const ReturnTypeNames[] = {"?", "unorm", "snorm", "sint", "uint", "float", "mixed", "double", "continued"};

std::string ValueText(uint32_t Bits)
{
    const int32_t AsInt = int32_t(Bits);
    char Text[32];
    if (AsInt >= -65536 && AsInt <= 65536) {
        snprintf(Text, sizeof Text, "%d", AsInt);
    } else {
        float Value;
        memcpy(&Value, &Bits, sizeof Value);
        snprintf(Text, sizeof Text, "%.6g", double(Value));
        if (!strpbrk(Text, ".enai")) strcat(Text, ".0");
    }
    return Text;
}

// Reads one operand and everything it carries, bounded by End.
class OperandReader {
public:
    OperandReader(const uint32_t *Tokens, size_t End) : Tokens(Tokens), End(End) {}

    bool Read(size_t &At, std::string &Text, int Depth = 0)
    {
        if (At >= End) return Fault("operand runs past the instruction");
        const uint32_t Token = Tokens[At++];
        const uint32_t Count = Token & 3, Mode = (Token >> 2) & 3, Select = (Token >> 4) & 0xff;
        const uint32_t Type = (Token >> token::TypeShift) & 0xff, Dimension = (Token >> token::DimensionShift) & 3;
        uint32_t Modifier = 0;
        bool Extended = Token & token::Extended;
        while (Extended) {
            if (At >= End) return Fault("extended operand token runs past the instruction");
            const uint32_t Ext = Tokens[At++];
            if ((Ext & 0x3f) == 1) Modifier = (Ext >> 6) & 0xff;
            Extended = Ext & token::Extended;
        }
        if (Type == uint32_t(RegisterType::Immediate32)) {
            const uint32_t Values = Count == token::Components1 ? 1 : Count == token::Components4 ? 4 : 0;
            if (!Values || End - At < Values) return Fault("malformed immediate");
            Text = "l(";
            for (uint32_t i = 0; i < Values; ++i) Text += (i ? ", " : "") + ValueText(Tokens[At++]);
            Text += ")";
            return true;
        }
        static const char *const Prefix[] = {"r", "v", "o", "x", "l", "d", "s", "t", "cb", "icb", "label", "vPrim", "oDepth", "null"};
        std::string Name = Type < 14 ? Prefix[Type] : "reg" + std::to_string(Type) + "_";
        for (uint32_t i = 0; i < Dimension; ++i) {
            const uint32_t Representation = (Token >> (22 + 3 * i)) & 7;
            std::string Index;
            if (Representation == token::IndexImmediate || Representation == token::IndexImmediatePlusRelative) {
                if (At >= End) return Fault("operand index runs past the instruction");
                Index = std::to_string(Tokens[At++]);
            } else if (Representation != token::IndexRelative) {
                return Fault("unsupported index representation " + std::to_string(Representation));
            }
            if (Representation == token::IndexRelative || Representation == token::IndexImmediatePlusRelative) {
                if (Depth > 2) return Fault("relative index nested too deep");
                std::string Relative;
                if (!Read(At, Relative, Depth + 1)) return false;
                Index = Index.empty() ? Relative : Relative + " + " + Index;
            }
            // A one-dimensional index of a plain register reads r0, v1; others read cb1[2].
            if (i == 0 && (Representation == token::IndexImmediate) && Type != uint32_t(RegisterType::ImmediateConstantBuffer))
                Name += Index;
            else
                Name += "[" + Index + "]";
        }
        if (Count == token::Components4) {
            if (Mode == token::ModeMask) {
                if (Select & 0xf) Name += "." + MaskText(Select & 0xf);
            } else if (Mode == token::ModeSwizzle) {
                Name += ".";
                for (int i = 0; i < 4; ++i) Name += "xyzw"[(Select >> (2 * i)) & 3];
            } else if (Mode == token::ModeSelect1) {
                Name += ".";
                Name += "xyzw"[Select & 3];
            } else {
                return Fault("unknown component selection mode");
            }
        }
        if (Modifier & token::ModifierAbsolute) Name = "|" + Name + "|";
        if (Modifier & token::ModifierNegate) Name = "-" + Name;
        Text = Name;
        return true;
    }

    const std::string &Error() const { return Why; }

private:
    bool Fault(const std::string &Text)
    {
        Why = Text;
        return false;
    }
    const uint32_t *Tokens;
    size_t End;
    std::string Why;
};

bool IsDeclaration(uint32_t Op)
{
    return Op >= uint32_t(Opcode::DclResource) && Op <= uint32_t(Opcode::DclGlobalFlags);
}

bool TakesTest(uint32_t Op)
{
    switch (Opcode(Op)) {
    case Opcode::If: case Opcode::BreakC: case Opcode::ContinueC: case Opcode::Discard: case Opcode::RetC:
    case Opcode::CallC:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::string OpcodeName(uint32_t Opcode)
{
    return Opcode < OpcodeCount ? OpcodeNames[Opcode] : "opcode_" + std::to_string(Opcode);
}

bool DumpProgram(const Bytes &Program, std::string &Out)
{
    const size_t Words = Program.size() / 4;
    std::vector<uint32_t> Tokens(Words);
    for (size_t i = 0; i < Words; ++i) Tokens[i] = ReadU32(&Program[4 * i]);
    auto Fail = [&](const std::string &Why) {
        Out += "// malformed program: " + Why + "\n";
        return false;
    };
    if (Words < 2) return Fail("shorter than its version and length tokens");
    const uint32_t Version = Tokens[0];
    static const char *const StageNames[] = {"ps", "vs", "gs", "hs", "ds", "cs"};
    const uint32_t StageNumber = Version >> 16;
    Out += std::string(StageNumber < 6 ? StageNames[StageNumber] : "xs") + "_" + std::to_string((Version >> 4) & 0xf) + "_" +
           std::to_string(Version & 0xf) + "\n";
    const size_t Length = Tokens[1];
    if (Length < 2 || Length != Words) return Fail("length token " + std::to_string(Length) + " for " + std::to_string(Words) + " words");

    size_t At = 2;
    while (At < Length) {
        const uint32_t Token = Tokens[At];
        const uint32_t Op = Token & token::OpcodeMask;
        size_t Size = (Token >> token::LengthShift) & token::MaxLength;
        if (Op == uint32_t(Opcode::CustomData)) {
            if (At + 1 >= Length) return Fail("custom data without its length");
            Size = Tokens[At + 1];
        }
        if (Size == 0 || Size > Length - At)
            return Fail("instruction at token " + std::to_string(At) + " (" + OpcodeName(Op) + ") has length " + std::to_string(Size));
        const size_t End = At + Size;
        if (Op == uint32_t(Opcode::CustomData)) {
            Out += "customdata (" + std::to_string(Size) + " tokens)\n";
            At = End;
            continue;
        }
        size_t P = At + 1;
        // Extended opcode tokens (sample offsets and the like) are skipped.
        for (bool Extended = Token & token::Extended; Extended;) {
            if (P >= End) return Fail("extended opcode token runs past the instruction");
            Extended = Tokens[P++] & token::Extended;
        }
        const uint32_t Controls = (Token >> token::ControlShift) & 0x1fff;
        std::string Line = OpcodeName(Op);
        OperandReader Reader(Tokens.data(), End);
        std::string Operand;
        auto ReadOperand = [&]() -> bool {
            if (!Reader.Read(P, Operand)) return false;
            return true;
        };
        auto Word = [&](uint32_t &Value) -> bool {
            if (P >= End) return false;
            Value = Tokens[P++];
            return true;
        };
        bool Good = true;
        uint32_t Value = 0;
        switch (Opcode(Op)) {
        case Opcode::DclTemps:
            Good = Word(Value);
            Line += " " + std::to_string(Value);
            break;
        case Opcode::DclIndexableTemp: {
            uint32_t Size2 = 0, Components = 0;
            Good = Word(Value) && Word(Size2) && Word(Components);
            Line += " x" + std::to_string(Value) + "[" + std::to_string(Size2) + "], " + std::to_string(Components);
            break;
        }
        case Opcode::DclGlobalFlags:
            Line += " " + ValueText(Controls);
            break;
        case Opcode::DclConstantBuffer:
            Good = ReadOperand();
            Line += " " + Operand + ((Token & token::DynamicIndexed) ? ", dynamicIndexed" : ", immediateIndexed");
            break;
        case Opcode::DclSampler: {
            static const char *const Modes[] = {"mode_default", "mode_comparison", "mode_mono"};
            const uint32_t Mode = Controls & 0xf;
            Good = ReadOperand();
            Line += " " + Operand + ", " + (Mode < 3 ? Modes[Mode] : "mode_" + std::to_string(Mode));
            break;
        }
        case Opcode::DclResource: {
            const uint32_t Dimension = Controls & 0x1f;
            Line = std::string("dcl_resource_") + (Dimension < 11 ? DimensionNames[Dimension] : "?");
            Good = ReadOperand() && Word(Value);
            std::string Types = " (";
            for (int i = 0; i < 4; ++i) {
                const uint32_t Type = (Value >> (4 * i)) & 0xf;
                Types += std::string(i ? "," : "") + (Type < 9 ? ReturnTypeNames[Type] : "?");
            }
            Line += Types + ") " + Operand;
            break;
        }
        case Opcode::DclInputPs: case Opcode::DclInputPsSgv: case Opcode::DclInputPsSiv: {
            const uint32_t Mode = Controls & 0xf;
            Line += std::string(" ") + (Mode < 8 ? InterpolationNames[Mode] : "?");
        }
            // fall through
        case Opcode::DclInput: case Opcode::DclInputSgv: case Opcode::DclInputSiv: case Opcode::DclOutput:
        case Opcode::DclOutputSgv: case Opcode::DclOutputSiv:
            Good = ReadOperand();
            Line += " " + Operand;
            if (P < End) {
                Good = Good && Word(Value);
                Line += std::string(", ") + (Value < 11 ? SystemValueNames[Value] : std::to_string(Value).c_str());
            }
            break;
        default: {
            if (TakesTest(Op)) Line += (Token & token::TestNonZero) ? "_nz" : "_z";
            if (!IsDeclaration(Op) && (Token & token::Saturate)) Line += "_sat";
            bool First = true;
            while (Good && P < End) {
                Good = ReadOperand();
                if (Good) Line += (First ? " " : ", ") + Operand;
                First = false;
            }
            break;
        }
        }
        if (!Good) return Fail(Reader.Error().empty() ? OpcodeName(Op) + " is cut short" : Reader.Error());
        if (P != End) return Fail(OpcodeName(Op) + " has " + std::to_string(End - P) + " tokens left over");
        Out += Line + "\n";
        At = End;
    }
    return true;
}

bool DumpContainer(const uint8_t *Data, size_t Size, std::string &Out)
{
    std::vector<Chunk> Chunks;
    std::string Error;
    if (!ReadContainer(Data, Size, Chunks, &Error, false)) {
        Out += "// malformed container: " + Error + "\n";
        return false;
    }
    const bool SumGood = ChecksumMatches(Data, Size);
    Out += std::string("// checksum ") + (SumGood ? "ok" : "MISMATCH") + ", " + std::to_string(Size) + " bytes, chunks";
    for (const Chunk &C : Chunks) Out += " " + TagText(C.Tag);
    Out += "\n";
    bool Good = SumGood;
    for (uint32_t Tag : {TagInputSignature, TagOutputSignature}) {
        const Chunk *C = FindChunk(Chunks, Tag);
        if (!C) continue;
        std::vector<SignatureElement> Elements;
        if (!ReadSignature(C->Data, Elements, &Error)) {
            Out += "// malformed " + TagText(Tag) + ": " + Error + "\n";
            Good = false;
            continue;
        }
        const char *Kind = Tag == TagInputSignature ? "input" : "output";
        static const char *const Types[] = {"unknown", "uint", "int", "float"};
        for (const SignatureElement &E : Elements) {
            const uint32_t Value = uint32_t(E.Value), Type = uint32_t(E.Type);
            char Line[200];
            snprintf(Line, sizeof Line, "// %s %s%u, register %u.%s, %s, %s, %s .%s\n", Kind, E.Name.c_str(), E.Index,
                     E.Register, MaskText(E.Mask).c_str(),
                     Value < 11 ? SystemValueNames[Value] : (Value == 64 ? "target" : "other"),
                     Type < 4 ? Types[Type] : "?", Tag == TagInputSignature ? "used" : "unwritten",
                     MaskText(E.Usage).c_str());
            Out += Line;
        }
    }
    const Chunk *Program = FindChunk(Chunks, TagShader4);
    if (!Program) Program = FindChunk(Chunks, TagShader5);
    if (!Program) {
        Out += "// no program chunk\n";
        return false;
    }
    return DumpProgram(Program->Data, Out) && Good;
}

}  // namespace dxbc
