#include "sm4_builder.h"

#include <string.h>
#include <strings.h>

#include "shader_lanes.h"
#include "sm4_dump.h"

namespace dxbc {

namespace {

uint32_t CountBits(uint32_t Mask)
{
    return __builtin_popcount(Mask & 0xf);
}

using shader_lanes::FloatBits;
using shader_lanes::MaskOf;

// The component a letter names; any other letter gives a number above 3.
uint32_t ComponentOf(char Ch) { return uint32_t(shader_lanes::ComponentOf(Ch)); }

// The swizzle of a source read lane by lane: four components as written; as many as the
// destination has lanes, lined up with them (r1.zw = r0.xy is r0.xxxy, the lanes outside
// the mask selecting x as the platform's compiler writes them); one component replicated.
bool AlignToLanes(const std::vector<uint32_t> &Components, uint32_t DestinationMask, uint32_t Swizzle[4])
{
    if (Components.size() == 4) {
        for (int i = 0; i < 4; ++i) Swizzle[i] = Components[i];
    } else if (Components.size() == CountBits(DestinationMask)) {
        for (uint32_t Lane = 0, Next = 0; Lane < 4; ++Lane)
            Swizzle[Lane] = (DestinationMask & (1u << Lane)) ? Components[Next++] : 0;
    } else if (Components.size() == 1) {
        for (int i = 0; i < 4; ++i) Swizzle[i] = Components[0];
    } else {
        return false;
    }
    return true;
}

uint32_t SwizzleBits(const uint32_t Swizzle[4])
{
    return Swizzle[0] | Swizzle[1] << 2 | Swizzle[2] << 4 | Swizzle[3] << 6;
}

std::string RegisterText(const Reg &S)
{
    static const char *Prefix[] = {"r", "v", "o", "x", "l", "d", "s", "t", "cb", "icb", "label", "vPrim", "oDepth", "null"};
    const uint32_t Type = uint32_t(S.Type);
    std::string Text = Type < 14 ? Prefix[Type] : "?";
    if (S.IndexCount > 0) Text += std::to_string(S.Index[0]);
    if (S.IndexCount > 1) Text += "[" + std::to_string(S.Index[1]) + "]";
    if (!S.Components.empty()) Text += "." + S.Components;
    return Text;
}

}  // namespace

// ------------------------------------------------------------------ operands

Reg Reg::operator()(const char *Select) const
{
    Reg Copy = *this;
    Copy.Components = Select;
    return Copy;
}

Reg Reg::operator[](uint32_t Element) const
{
    Reg Copy = *this;
    Copy.Index[1] = Element;
    Copy.IndexCount = 2;
    Copy.Relative = false;
    return Copy;
}

Reg Reg::At(const Reg &Offset, uint32_t Base) const
{
    Reg Copy = (*this)[Base];
    Copy.Relative = true;
    Copy.RelativeRegister = Offset.Type == RegisterType::Temp ? Offset.Index[0] : ~0u;
    Copy.RelativeComponent = Offset.Components.size() == 1 ? ComponentOf(Offset.Components[0]) : 4;
    return Copy;
}

Reg Reg::operator-() const
{
    Reg Copy = *this;
    Copy.Negate = !Copy.Negate;
    return Copy;
}

Reg Register(RegisterType Type, uint32_t Index)
{
    Reg S;
    S.Type = Type;
    S.Index[0] = Index;
    S.IndexCount = 1;
    return S;
}

Reg R(uint32_t Index)
{
    return Register(RegisterType::Temp, Index);
}

Reg Null()
{
    return Reg();
}

Reg Abs(Reg Operand)
{
    Operand.Absolute = true;
    return Operand;
}

Reg Sat(Reg Destination)
{
    Destination.Saturate = true;
    return Destination;
}

Reg ImmBits(uint32_t X, uint32_t Y, uint32_t Z, uint32_t W)
{
    Reg S;
    S.Type = RegisterType::Immediate32;
    S.Immediate[0] = X;
    S.Immediate[1] = Y;
    S.Immediate[2] = Z;
    S.Immediate[3] = W;
    S.ImmediateCount = 4;
    return S;
}

Reg Imm(float X)
{
    Reg S = ImmBits(FloatBits(X), 0, 0, 0);
    S.ImmediateCount = 1;
    return S;
}

Reg Imm(float X, float Y, float Z, float W)
{
    return ImmBits(FloatBits(X), FloatBits(Y), FloatBits(Z), FloatBits(W));
}

Reg ImmInt(int32_t X)
{
    Reg S = ImmBits(uint32_t(X), 0, 0, 0);
    S.ImmediateCount = 1;
    return S;
}

Reg ImmInt(int32_t X, int32_t Y, int32_t Z, int32_t W)
{
    return ImmBits(uint32_t(X), uint32_t(Y), uint32_t(Z), uint32_t(W));
}

// ------------------------------------------------------------------ declarations

ShaderBuilder::ShaderBuilder(Stage Kind, ShaderModel Model) : Kind(Kind), Model(Model)
{
    if (Kind != Stage::Pixel && Kind != Stage::Vertex) Fail("only vertex and pixel shaders are written");
    if (!((Model.Major == 4 && Model.Minor <= 1) || (Model.Major == 5 && Model.Minor == 0)))
        Fail("shader model " + std::to_string(Model.Major) + "." + std::to_string(Model.Minor) + " is not written");
}

void ShaderBuilder::Fail(const std::string &Why)
{
    if (!ErrorText.empty()) return;
    ErrorText = Context.empty() ? Why : Context + ": " + Why;
}

Reg ShaderBuilder::DeclareInput(const SignatureElement &Element, Interpolation Mode)
{
    for (const SignatureElement &E : Inputs)
        if (strcasecmp(E.Name.c_str(), Element.Name.c_str()) == 0 && E.Index == Element.Index)
            Fail("input " + Element.Name + std::to_string(Element.Index) + " is declared twice");
    if (!Element.Mask) Fail("input " + Element.Name + " has no valid component mask");
    if (Kind == Stage::Pixel && Element.Type != ComponentType::Float && Mode != Interpolation::Constant)
        Fail("integer input " + Element.Name + " must use constant interpolation");
    if (Inputs.size() >= MaxSignatureElements) Fail("too many inputs");

    uint32_t Op;
    if (Kind == Stage::Pixel) {
        Op = uint32_t(Element.Value == SystemValue::Undefined  ? Opcode::DclInputPs
                      : Element.Value == SystemValue::Position ? Opcode::DclInputPsSiv
                                                                : Opcode::DclInputPsSgv);
        Op |= uint32_t(Mode) << token::ControlShift;
    } else {
        Op = uint32_t(Element.Value == SystemValue::Undefined ? Opcode::DclInput : Opcode::DclInputSgv);
    }
    const bool Named = Element.Value != SystemValue::Undefined;
    InputDeclarations.push_back(Op | (Named ? 4u : 3u) << token::LengthShift);
    InputDeclarations.push_back(token::Components4 | Element.Mask << 4 | uint32_t(RegisterType::Input) << token::TypeShift |
                           1u << token::DimensionShift);
    InputDeclarations.push_back(Element.Register);
    if (Named) InputDeclarations.push_back(uint32_t(Element.Value));

    InputRegisters[Element.Register] = {Element.Mask, 0, Inputs.size()};
    Inputs.push_back(Element);
    Reg S = Register(RegisterType::Input, Element.Register);
    S.Components = Element.Mask == 0xf ? "" : MaskText(Element.Mask);
    return S;
}

Reg ShaderBuilder::Input(const std::string &Semantic, uint32_t Index, const char *Mask, Interpolation Mode,
                         ComponentType Type)
{
    Context = "input " + Semantic + std::to_string(Index);
    SignatureElement E;
    E.Name = Semantic;
    E.Index = Index;
    E.Type = Type;
    E.Register = Inputs.empty() ? 0 : Inputs.back().Register + 1;
    E.Mask = uint8_t(MaskOf(Mask));
    if (Semantic.compare(0, 3, "SV_") == 0 || Semantic.compare(0, 3, "sv_") == 0)
        Fail("system values are declared with InputSystemValue");
    return DeclareInput(E, Mode);
}

Reg ShaderBuilder::InputSystemValue(const std::string &Semantic, SystemValue Value, const char *Mask,
                                    Interpolation Mode)
{
    Context = "input " + Semantic;
    SignatureElement E;
    E.Name = Semantic;
    E.Value = Value;
    E.Type = Value == SystemValue::Position ? ComponentType::Float : ComponentType::Uint;
    E.Register = Inputs.empty() ? 0 : Inputs.back().Register + 1;
    E.Mask = uint8_t(MaskOf(Mask));
    const bool PixelValue = Value == SystemValue::Position || Value == SystemValue::IsFrontFace ||
                            Value == SystemValue::SampleIndex || Value == SystemValue::PrimitiveId;
    const bool VertexValue = Value == SystemValue::VertexId || Value == SystemValue::InstanceId;
    if (Kind == Stage::Pixel ? !PixelValue : !VertexValue) Fail("this system value is not an input of this stage");
    if (E.Type != ComponentType::Float) Mode = Interpolation::Constant;
    return DeclareInput(E, Mode);
}

Reg ShaderBuilder::DeclareOutput(const SignatureElement &Element)
{
    for (const SignatureElement &E : Outputs) {
        if (strcasecmp(E.Name.c_str(), Element.Name.c_str()) == 0 && E.Index == Element.Index)
            Fail("output " + Element.Name + std::to_string(Element.Index) + " is declared twice");
        if (E.Register == Element.Register) Fail("output register o" + std::to_string(E.Register) + " is declared twice");
    }
    if (!Element.Mask) Fail("output " + Element.Name + " has no valid component mask");
    if (Outputs.size() >= MaxSignatureElements) Fail("too many outputs");
    const bool Named = Element.Value != SystemValue::Undefined;
    OutputDeclarations.push_back(uint32_t(Named ? Opcode::DclOutputSiv : Opcode::DclOutput) | (Named ? 4u : 3u) << token::LengthShift);
    OutputDeclarations.push_back(token::Components4 | Element.Mask << 4 | uint32_t(RegisterType::Output) << token::TypeShift |
                           1u << token::DimensionShift);
    OutputDeclarations.push_back(Element.Register);
    if (Named) OutputDeclarations.push_back(uint32_t(Element.Value));
    OutputRegisters[Element.Register] = {Element.Mask, 0, Outputs.size()};
    Outputs.push_back(Element);
    Reg S = Register(RegisterType::Output, Element.Register);
    S.Components = Element.Mask == 0xf ? "" : MaskText(Element.Mask);
    return S;
}

Reg ShaderBuilder::Output(const std::string &Semantic, uint32_t Index, const char *Mask, ComponentType Type)
{
    Context = "output " + Semantic + std::to_string(Index);
    SignatureElement E;
    E.Name = Semantic;
    E.Index = Index;
    E.Type = Type;
    E.Mask = uint8_t(MaskOf(Mask));
    const bool Target = strcasecmp(Semantic.c_str(), "SV_Target") == 0;
    if (Kind == Stage::Pixel) {
        if (!Target) Fail("a pixel shader writes only SV_Target outputs");
        if (Index > 7) Fail("render targets are numbered 0-7");
        E.Register = Index;  // render target n is o<n>
    } else {
        if (Semantic.compare(0, 3, "SV_") == 0 || Semantic.compare(0, 3, "sv_") == 0)
            Fail("system values are declared with OutputSystemValue");
        E.Register = Outputs.empty() ? 0 : Outputs.back().Register + 1;
    }
    return DeclareOutput(E);
}

Reg ShaderBuilder::OutputSystemValue(const std::string &Semantic, SystemValue Value, const char *Mask)
{
    Context = "output " + Semantic;
    SignatureElement E;
    E.Name = Semantic;
    E.Value = Value;
    E.Register = Outputs.empty() ? 0 : Outputs.back().Register + 1;
    E.Mask = uint8_t(MaskOf(Mask));
    if (Kind != Stage::Vertex || (Value != SystemValue::Position && Value != SystemValue::ClipDistance &&
                                  Value != SystemValue::CullDistance))
        Fail("this system value is not an output of this stage");
    return DeclareOutput(E);
}

Reg ShaderBuilder::ConstantBuffer(uint32_t Slot, uint32_t Vectors, bool DynamicIndexed)
{
    Context = "constant buffer " + std::to_string(Slot);
    if (Slot > 13) Fail("constant-buffer slots are 0-13");
    if (Vectors == 0 || Vectors > 4096) Fail("a constant buffer holds 1-4096 vectors");
    if (ConstantBuffers.count(Slot)) Fail("declared twice");
    ConstantBuffers[Slot] = {Vectors, DynamicIndexed};
    return Register(RegisterType::ConstantBuffer, Slot);
}

Reg ShaderBuilder::Sampler(uint32_t Slot, SamplerMode Mode)
{
    Context = "sampler " + std::to_string(Slot);
    if (Slot > 15) Fail("sampler slots are 0-15");
    if (Samplers.count(Slot)) Fail("declared twice");
    Samplers[Slot] = Mode;
    return Register(RegisterType::Sampler, Slot);
}

Reg ShaderBuilder::Texture2D(uint32_t Slot, ReturnType Type)
{
    Context = "texture " + std::to_string(Slot);
    if (Slot > 127) Fail("resource slots are 0-127");
    if (Textures.count(Slot)) Fail("declared twice");
    Textures[Slot] = Type;
    return Register(RegisterType::Resource, Slot);
}

Reg ShaderBuilder::IndexableTemp(uint32_t Number, uint32_t Size, uint32_t Components)
{
    Context = "indexable temp x" + std::to_string(Number);
    if (IndexableTemps.count(Number)) Fail("declared twice");
    if (Size == 0 || Size > 4096 || Components == 0 || Components > 4) Fail("size 1-4096 of 1-4 components");
    IndexableTemps[Number] = {Size, Components};
    return Register(RegisterType::IndexableTemp, Number);
}

// ------------------------------------------------------------------ operand encoding

bool ShaderBuilder::ParseSelect(const Reg &S, std::vector<uint32_t> &Components)
{
    Components.clear();
    for (char Ch : S.Components) {
        const uint32_t C = ComponentOf(Ch);
        if (C > 3) {
            Fail("'" + S.Components + "' is not a component selection");
            return false;
        }
        Components.push_back(C);
    }
    if (Components.size() > 4) {
        Fail("'" + S.Components + "' selects more than four components");
        return false;
    }
    return true;
}

void ShaderBuilder::EncodeRegister(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t Selection, uint32_t Mode,
                                   uint32_t ComponentCount)
{
    const bool Modified = S.Negate || S.Absolute;
    uint32_t Token = ComponentCount | Mode << 2 | Selection << 4 | uint32_t(S.Type) << token::TypeShift |
                     S.IndexCount << token::DimensionShift;
    if (S.Relative) {
        const uint32_t Last = S.IndexCount - 1;
        const uint32_t Representation = S.Index[Last] ? token::IndexImmediatePlusRelative : token::IndexRelative;
        Token |= Representation << (22 + 3 * Last);
    }
    if (Modified) Token |= token::Extended;
    Tokens.push_back(Token);
    if (Modified)
        Tokens.push_back(1u | ((S.Negate ? token::ModifierNegate : 0) | (S.Absolute ? token::ModifierAbsolute : 0)) << 6);
    for (uint32_t i = 0; i < S.IndexCount; ++i) {
        const bool RelativeHere = S.Relative && i == S.IndexCount - 1;
        if (!RelativeHere || S.Index[i]) Tokens.push_back(S.Index[i]);
        if (RelativeHere) {
            // The offset register is a temp component, selected as a scalar.
            Tokens.push_back(token::Components4 | token::ModeSelect1 << 2 | S.RelativeComponent << 4 |
                             uint32_t(RegisterType::Temp) << token::TypeShift | 1u << token::DimensionShift);
            Tokens.push_back(S.RelativeRegister);
        }
    }
}

void ShaderBuilder::CheckRead(const Reg &S, uint32_t Components)
{
    const std::string Name = RegisterText(S);
    if (S.Saturate) Fail("saturation belongs to the destination, not to " + Name);
    if (S.Relative) {
        if (S.RelativeRegister == ~0u || S.RelativeComponent > 3) {
            Fail("the index of " + Name + " must be one temp component");
            return;
        }
        auto Written = TempWritten.find(S.RelativeRegister);
        if (Written == TempWritten.end() || !(Written->second & (1u << S.RelativeComponent)))
            Fail("the index register of " + Name + " is read before any instruction writes it");
    }
    switch (S.Type) {
    case RegisterType::Temp: {
        auto Written = TempWritten.find(S.Index[0]);
        const uint32_t Have = Written == TempWritten.end() ? 0 : Written->second;
        if ((Have & Components) != Components)
            Fail(Name + " reads ." + MaskText(Components & ~Have) + " before any instruction writes it");
        break;
    }
    case RegisterType::Input: {
        auto Declared = InputRegisters.find(S.Index[0]);
        if (Declared == InputRegisters.end()) {
            Fail(Name + " is not a declared input");
        } else {
            if (Components & ~Declared->second.Mask)
                Fail(Name + " reads ." + MaskText(Components & ~Declared->second.Mask) + " outside the declared ." +
                     MaskText(Declared->second.Mask));
            Declared->second.Touched |= Components;
        }
        break;
    }
    case RegisterType::ConstantBuffer: {
        auto Declared = ConstantBuffers.find(S.Index[0]);
        if (Declared == ConstantBuffers.end()) {
            Fail("cb" + std::to_string(S.Index[0]) + " is not declared");
        } else if (S.IndexCount != 2) {
            Fail(Name + " needs an element index");
        } else if (S.Index[1] >= Declared->second.first) {
            Fail(Name + " lies beyond the declared " + std::to_string(Declared->second.first) + " vectors");
        } else if (S.Relative && !Declared->second.second) {
            Fail(Name + " is indexed by a register but cb" + std::to_string(S.Index[0]) + " is not dynamically indexed");
        }
        break;
    }
    case RegisterType::IndexableTemp: {
        auto Declared = IndexableTemps.find(S.Index[0]);
        if (Declared == IndexableTemps.end()) {
            Fail(Name + " is not declared");
        } else if (S.IndexCount != 2) {
            Fail(Name + " needs an element index");
        } else if (S.Index[1] >= Declared->second.first) {
            Fail(Name + " lies beyond the declared " + std::to_string(Declared->second.first) + " elements");
        } else if (Components >> Declared->second.second) {
            Fail(Name + " reads components beyond the declared " + std::to_string(Declared->second.second));
        }
        break;
    }
    case RegisterType::Immediate32:
        break;
    case RegisterType::Output:
        Fail("outputs cannot be read (" + Name + ")");
        break;
    default:
        Fail(Name + " cannot be read here");
        break;
    }
}

uint32_t ShaderBuilder::Destination(std::vector<uint32_t> &Tokens, const Reg &D, bool AllowNull)
{
    if (D.Type == RegisterType::Null) {
        if (!AllowNull) Fail("the destination is null");
        Tokens.push_back(token::Components0 | uint32_t(RegisterType::Null) << token::TypeShift);
        return 0;
    }
    const std::string Name = RegisterText(D);
    uint32_t Mask = D.Components.empty() ? 0xf : MaskOf(D.Components.c_str());
    if (!Mask) {
        Fail("'" + D.Components + "' is not a write mask (components in order, each once)");
        Mask = 0xf;
    }
    if (D.Negate || D.Absolute) Fail("a destination takes no modifiers (" + Name + ")");
    switch (D.Type) {
    case RegisterType::Temp:
        break;
    case RegisterType::Output: {
        auto Declared = OutputRegisters.find(D.Index[0]);
        if (Declared == OutputRegisters.end())
            Fail(Name + " is not a declared output");
        else if (Mask & ~Declared->second.Mask)
            Fail(Name + " writes ." + MaskText(Mask & ~Declared->second.Mask) + " outside the declared ." +
                 MaskText(Declared->second.Mask));
        break;
    }
    case RegisterType::IndexableTemp: {
        Reg Element = D;  // the same declaration and range checks as a read
        Element.Saturate = false;
        CheckRead(Element, Mask);
        break;
    }
    default:
        Fail(Name + " cannot be written");
        break;
    }
    EncodeRegister(Tokens, D, Mask, token::ModeMask);
    return Mask;
}

void ShaderBuilder::MarkWritten(const Reg &D, uint32_t Mask)
{
    if (D.Type == RegisterType::Temp) TempWritten[D.Index[0]] |= Mask;
    if (D.Type == RegisterType::Output) {
        auto Declared = OutputRegisters.find(D.Index[0]);
        if (Declared != OutputRegisters.end()) Declared->second.Touched |= Mask;
    }
}

bool ShaderBuilder::EncodeImmediate(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t DestinationMask,
                                    uint32_t Count)
{
    if (S.Type != RegisterType::Immediate32) return false;
    if (S.Negate || S.Absolute) Fail("write the modified value into the immediate instead of a modifier");
    // One value for several lanes is written four times: Wine's translator assigns a
    // one-component immediate to the whole destination as a scalar, which its GLSL refuses, and
    // the shader then draws nothing.
    if (S.ImmediateCount == 1 && CountBits(DestinationMask) <= 1) {
        Tokens.push_back(token::Components1 | uint32_t(RegisterType::Immediate32) << token::TypeShift);
        Tokens.push_back(S.Immediate[0]);
        return true;
    }
    uint32_t Values[4] = {0, 0, 0, 0};
    if (S.ImmediateCount == 1) {
        for (uint32_t &Value : Values) Value = S.Immediate[0];
    } else if (S.ImmediateCount == 4) {
        memcpy(Values, S.Immediate, sizeof Values);
    } else if (DestinationMask && S.ImmediateCount == CountBits(DestinationMask)) {
        for (uint32_t Lane = 0, Next = 0; Lane < 4; ++Lane)
            if (DestinationMask & (1u << Lane)) Values[Lane] = S.Immediate[Next++];
    } else if (!DestinationMask && S.ImmediateCount == Count) {
        memcpy(Values, S.Immediate, sizeof(uint32_t) * Count);
    } else {
        Fail("an immediate of " + std::to_string(S.ImmediateCount) + " values does not fit here");
    }
    Tokens.push_back(token::Components4 | uint32_t(RegisterType::Immediate32) << token::TypeShift);
    Tokens.insert(Tokens.end(), Values, Values + 4);
    return true;
}

void ShaderBuilder::Source(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t DestinationMask)
{
    if (EncodeImmediate(Tokens, S, DestinationMask, 0)) return;
    std::vector<uint32_t> C;
    if (!ParseSelect(S, C)) return;
    uint32_t Swizzle[4] = {0, 1, 2, 3};
    if (!C.empty() && !AlignToLanes(C, DestinationMask, Swizzle))
        Fail(RegisterText(S) + " selects " + std::to_string(C.size()) + " components for a destination of " +
             std::to_string(CountBits(DestinationMask)));
    uint32_t Read = 0;
    for (uint32_t Lane = 0; Lane < 4; ++Lane)
        if (DestinationMask & (1u << Lane)) Read |= 1u << Swizzle[Lane];
    CheckRead(S, Read);
    EncodeRegister(Tokens, S, SwizzleBits(Swizzle), token::ModeSwizzle);
}

void ShaderBuilder::PositionalSource(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t Count)
{
    if (EncodeImmediate(Tokens, S, 0, Count)) return;
    std::vector<uint32_t> C;
    if (!ParseSelect(S, C)) return;
    uint32_t Swizzle[4] = {0, 1, 2, 3};
    if (C.size() == 1 || C.size() == 4 || C.size() == Count) {
        // One component is replicated; positions past the read ones select x, as the
        // platform's compiler writes them.
        for (uint32_t i = 0; i < 4; ++i) Swizzle[i] = C.size() == 1 ? C[0] : i < C.size() ? C[i] : 0;
    } else if (!C.empty()) {
        Fail(RegisterText(S) + " selects " + std::to_string(C.size()) + " components where " + std::to_string(Count) +
             " are read");
    }
    uint32_t Read = 0;
    for (uint32_t i = 0; i < Count; ++i) Read |= 1u << Swizzle[i];
    CheckRead(S, Read);
    EncodeRegister(Tokens, S, SwizzleBits(Swizzle), token::ModeSwizzle);
}

void ShaderBuilder::ScalarSource(std::vector<uint32_t> &Tokens, const Reg &S)
{
    if (S.Type == RegisterType::Immediate32) {
        if (S.ImmediateCount != 1) Fail("a scalar operand takes one immediate value");
        EncodeImmediate(Tokens, S, 0, 1);
        return;
    }
    std::vector<uint32_t> C;
    if (!ParseSelect(S, C)) return;
    if (C.size() != 1) {
        Fail(RegisterText(S) + " must select exactly one component");
        C.assign(1, 0);
    }
    CheckRead(S, 1u << C[0]);
    EncodeRegister(Tokens, S, C[0], token::ModeSelect1);
}

void ShaderBuilder::ResourceSource(std::vector<uint32_t> &Tokens, const Reg &S, RegisterType Type,
                                   uint32_t DestinationMask)
{
    if (S.Type != Type) {
        Fail(RegisterText(S) + (Type == RegisterType::Sampler ? " is not a sampler" : " is not a texture"));
        return;
    }
    if (Type == RegisterType::Sampler) {
        if (!Samplers.count(S.Index[0])) Fail("s" + std::to_string(S.Index[0]) + " is not declared");
        if (!S.Components.empty()) Fail("a sampler takes no components");
        EncodeRegister(Tokens, S, 0, 0, token::Components0);
        return;
    }
    if (!Textures.count(S.Index[0])) Fail("t" + std::to_string(S.Index[0]) + " is not declared");
    // The texture's swizzle picks the returned components, lined up like any source.
    std::vector<uint32_t> C;
    if (!ParseSelect(S, C)) return;
    uint32_t Swizzle[4] = {0, 1, 2, 3};
    if (!C.empty() && !AlignToLanes(C, DestinationMask, Swizzle)) Fail(RegisterText(S) + " does not fit the destination mask");
    EncodeRegister(Tokens, S, SwizzleBits(Swizzle), token::ModeSwizzle);
}

// ------------------------------------------------------------------ instructions

void ShaderBuilder::Instruction(Opcode Op, uint32_t Controls, std::vector<uint32_t> Operands)
{
    if (Finished) Fail("the shader is already finished");
    const size_t Length = 1 + Operands.size();
    if (Length > token::MaxLength) {
        Fail("the instruction is " + std::to_string(Length) + " tokens long; its opcode token holds at most " +
             std::to_string(token::MaxLength));
        return;
    }
    Code.push_back(uint32_t(Op) | Controls | uint32_t(Length) << token::LengthShift);
    Code.insert(Code.end(), Operands.begin(), Operands.end());
    ++Instructions;
    LastOpcode = uint32_t(Op);
}

void ShaderBuilder::Begin(const char *Name)
{
    Context = "instruction " + std::to_string(Instructions + 1) + " (" + Name + ")";
}

void ShaderBuilder::Lanewise(Opcode Op, const Reg &D, std::initializer_list<Reg> Sources)
{
    Begin(OpcodeName(uint32_t(Op)).c_str());
    std::vector<uint32_t> T;
    const uint32_t Mask = Destination(T, D);
    for (const Reg &S : Sources) Source(T, S, Mask);
    MarkWritten(D, Mask);
    Instruction(Op, D.Saturate ? token::Saturate : 0, T);
}

void ShaderBuilder::Dot(Opcode Op, uint32_t Count, Reg D, Reg A, Reg B)
{
    Begin(OpcodeName(uint32_t(Op)).c_str());
    std::vector<uint32_t> T;
    const uint32_t Mask = Destination(T, D);
    PositionalSource(T, A, Count);
    PositionalSource(T, B, Count);
    MarkWritten(D, Mask);
    Instruction(Op, D.Saturate ? token::Saturate : 0, T);
}

void ShaderBuilder::SinCos(Reg Sin, Reg Cos, Reg A)
{
    Begin("sincos");
    std::vector<uint32_t> T;
    const uint32_t SinMask = Destination(T, Sin, true);
    const uint32_t CosMask = Destination(T, Cos, true);
    if (!SinMask && !CosMask) Fail("both destinations are null");
    // Different masks are fine for one replicated component; otherwise the source could not
    // be lined up with both.
    const bool OneComponent = A.Type == RegisterType::Immediate32 ? A.ImmediateCount == 1 : A.Components.size() == 1;
    if (SinMask && CosMask && SinMask != CosMask && !OneComponent)
        Fail("destinations with different masks need a source of one component");
    const uint32_t Mask = SinMask | CosMask;
    Source(T, A, Mask);
    MarkWritten(Sin, SinMask);
    MarkWritten(Cos, CosMask);
    Instruction(Opcode::SinCos, (Sin.Saturate || Cos.Saturate) ? token::Saturate : 0, T);
}

void ShaderBuilder::SampleCommon(Opcode Op, Reg D, Reg Coord, Reg Texture, Reg SamplerReg, const Reg *Extra)
{
    Begin(OpcodeName(uint32_t(Op)).c_str());
    const bool Derivatives = Op == Opcode::Sample || Op == Opcode::SampleC;
    if (Derivatives && Kind != Stage::Pixel) Fail("only a pixel shader samples with derivatives; use an explicit level");
    std::vector<uint32_t> T;
    const uint32_t Mask = Destination(T, D);
    PositionalSource(T, Coord, 2);
    ResourceSource(T, Texture, RegisterType::Resource, Mask);
    ResourceSource(T, SamplerReg, RegisterType::Sampler, Mask);
    const bool Comparison = Op == Opcode::SampleC || Op == Opcode::SampleCLz;
    auto Mode = Samplers.find(SamplerReg.Index[0]);
    if (Mode != Samplers.end() && SamplerReg.Type == RegisterType::Sampler &&
        (Mode->second == SamplerMode::Comparison) != Comparison)
        Fail(Comparison ? "a comparison sample needs a comparison sampler" : "a comparison sampler needs sample_c");
    if (Extra) ScalarSource(T, *Extra);
    MarkWritten(D, Mask);
    Instruction(Op, D.Saturate ? token::Saturate : 0, T);
}

void ShaderBuilder::Sample(Reg D, Reg Coord, Reg Texture, Reg SamplerReg)
{
    SampleCommon(Opcode::Sample, D, Coord, Texture, SamplerReg, nullptr);
}

void ShaderBuilder::SampleL(Reg D, Reg Coord, Reg Texture, Reg SamplerReg, Reg Lod)
{
    SampleCommon(Opcode::SampleL, D, Coord, Texture, SamplerReg, &Lod);
}

void ShaderBuilder::SampleC(Reg D, Reg Coord, Reg Texture, Reg SamplerReg, Reg Reference)
{
    SampleCommon(Opcode::SampleC, D, Coord, Texture, SamplerReg, &Reference);
}

void ShaderBuilder::SampleCLz(Reg D, Reg Coord, Reg Texture, Reg SamplerReg, Reg Reference)
{
    SampleCommon(Opcode::SampleCLz, D, Coord, Texture, SamplerReg, &Reference);
}

void ShaderBuilder::Conditional(Opcode Op, When Condition, Reg Scalar)
{
    Begin(OpcodeName(uint32_t(Op)).c_str());
    std::vector<uint32_t> T;
    ScalarSource(T, Scalar);
    Instruction(Op, Condition == When::NonZero ? token::TestNonZero : 0, T);
}

void ShaderBuilder::Plain(Opcode Op)
{
    Begin(OpcodeName(uint32_t(Op)).c_str());
    Instruction(Op, 0, {});
}

void ShaderBuilder::Discard(When Condition, Reg Scalar)
{
    if (Kind != Stage::Pixel) Fail("only a pixel shader discards");
    Conditional(Opcode::Discard, Condition, Scalar);
}

void ShaderBuilder::If(When Condition, Reg Scalar)
{
    Conditional(Opcode::If, Condition, Scalar);
    Flow.push_back('i');
}

void ShaderBuilder::Else()
{
    Plain(Opcode::Else);
    if (Flow.empty() || Flow.back() != 'i')
        Fail("else without an open if");
    else
        Flow.back() = 'e';
}

void ShaderBuilder::EndIf()
{
    Plain(Opcode::EndIf);
    if (Flow.empty() || (Flow.back() != 'i' && Flow.back() != 'e'))
        Fail("endif without an open if");
    else
        Flow.pop_back();
}

void ShaderBuilder::Loop()
{
    Plain(Opcode::Loop);
    Flow.push_back('l');
}

void ShaderBuilder::EndLoop()
{
    Plain(Opcode::EndLoop);
    if (Flow.empty() || Flow.back() != 'l')
        Fail("endloop without an open loop");
    else
        Flow.pop_back();
}

void ShaderBuilder::Break()
{
    Plain(Opcode::Break);
    bool InLoop = false;
    for (char F : Flow) InLoop |= F == 'l';
    if (!InLoop) Fail("break outside a loop");
}

void ShaderBuilder::BreakC(When Condition, Reg Scalar)
{
    Conditional(Opcode::BreakC, Condition, Scalar);
    bool InLoop = false;
    for (char F : Flow) InLoop |= F == 'l';
    if (!InLoop) Fail("break outside a loop");
}

void ShaderBuilder::Continue()
{
    Plain(Opcode::Continue);
    bool InLoop = false;
    for (char F : Flow) InLoop |= F == 'l';
    if (!InLoop) Fail("continue outside a loop");
}

void ShaderBuilder::Ret()
{
    Plain(Opcode::Ret);
}

// ------------------------------------------------------------------ the container

Bytes ShaderBuilder::Finish()
{
    Context = "finish";
    if (!Flow.empty()) Fail(Flow.back() == 'l' ? "a loop is not closed" : "an if is not closed");
    if (LastOpcode != uint32_t(Opcode::Ret)) Fail("the program does not end with ret");
    for (const auto &O : OutputRegisters)
        if (O.second.Touched != O.second.Mask)
            Fail("o" + std::to_string(O.first) + " (" + Outputs[O.second.Element].Name + ") ." +
                 MaskText(O.second.Mask & ~O.second.Touched) + " is never written");
    if (!Ok()) return {};
    Finished = true;

    for (const auto &I : InputRegisters) Inputs[I.second.Element].Usage = uint8_t(I.second.Touched);
    // Outputs carry the components they never write; the compiler marks every undeclared one.
    for (SignatureElement &E : Outputs) E.Usage = uint8_t(~E.Mask & 0xf);

    std::vector<uint32_t> Program;
    Program.push_back(uint32_t(Kind) << 16 | Model.Major << 4 | Model.Minor);
    Program.push_back(0);  // length in tokens, below
    for (const auto &C : ConstantBuffers) {
        Program.push_back(uint32_t(Opcode::DclConstantBuffer) | (C.second.second ? token::DynamicIndexed : 0) |
                          4u << token::LengthShift);
        Program.push_back(token::Components4 | token::ModeSwizzle << 2 | 0xe4u << 4 |
                          uint32_t(RegisterType::ConstantBuffer) << token::TypeShift | 2u << token::DimensionShift);
        Program.push_back(C.first);
        Program.push_back(C.second.first);
    }
    for (const auto &S : Samplers) {
        Program.push_back(uint32_t(Opcode::DclSampler) | uint32_t(S.second) << token::ControlShift | 3u << token::LengthShift);
        Program.push_back(uint32_t(RegisterType::Sampler) << token::TypeShift | 1u << token::DimensionShift);
        Program.push_back(S.first);
    }
    for (const auto &T : Textures) {
        Program.push_back(uint32_t(Opcode::DclResource) | uint32_t(ResourceDimension::Texture2D) << token::ControlShift |
                          4u << token::LengthShift);
        Program.push_back(uint32_t(RegisterType::Resource) << token::TypeShift | 1u << token::DimensionShift);
        Program.push_back(T.first);
        Program.push_back(uint32_t(T.second) * 0x1111u);
    }
    Program.insert(Program.end(), InputDeclarations.begin(), InputDeclarations.end());
    Program.insert(Program.end(), OutputDeclarations.begin(), OutputDeclarations.end());
    if (!TempWritten.empty()) {
        Program.push_back(uint32_t(Opcode::DclTemps) | 2u << token::LengthShift);
        Program.push_back(TempWritten.rbegin()->first + 1);
    }
    for (const auto &X : IndexableTemps) {
        Program.push_back(uint32_t(Opcode::DclIndexableTemp) | 4u << token::LengthShift);
        Program.push_back(X.first);
        Program.push_back(X.second.first);
        Program.push_back(X.second.second);
    }
    Program.insert(Program.end(), Code.begin(), Code.end());
    Program[1] = uint32_t(Program.size());

    std::vector<Chunk> Chunks(3);
    Chunks[0].Tag = TagInputSignature;
    Chunks[0].Data = WriteSignature(Inputs);
    Chunks[1].Tag = TagOutputSignature;
    Chunks[1].Data = WriteSignature(Outputs);
    Chunks[2].Tag = Model.Major >= 5 ? TagShader5 : TagShader4;
    for (uint32_t Word : Program) AppendU32(Chunks[2].Data, Word);
    return WriteContainer(Chunks);
}

}  // namespace dxbc
