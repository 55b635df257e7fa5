// Writes shader model 4.0/5.0 programs from C++ that reads like the assembly it produces:
//
//     ShaderBuilder ps(Stage::Pixel);
//     Reg colour = ps.Input("COLOR", 0);
//     Reg target = ps.Output("SV_Target", 0);
//     Reg pixel = ps.ConstantBuffer(1, 4);
//     ps.Ge(R(0)("x"), pixel[1]("y"), colour("w"));   // r0.x = reference >= alpha
//     ps.Discard(When::NonZero, R(0)("x"));
//     ps.Mov(target, colour);
//     ps.Ret();
//     Bytes container = ps.Finish();
//
// Component text follows the assembly: a destination's text is its write mask; a source's
// text of as many components as the destination mask has is lined up with the mask's lanes
// (r1.zw = r0.xy), one component is replicated, four are taken as written. Operands that are
// read by position (dot products, coordinates) take their components in order.
//
// Every call is checked as it is made: registers must be declared, inputs read only within
// their mask, temps read only after some earlier instruction wrote them, declared outputs
// fully written, constant-buffer elements within the declared size, control flow balanced,
// and each instruction's length (with its extra tokens) must fit its opcode token. The first
// fault is kept in Error() and Finish() then returns nothing.
#pragma once

#include <stdint.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "dxbc_container.h"
#include "sm4_signature.h"
#include "sm4_tokens.h"

namespace dxbc {

struct Reg {
    RegisterType Type = RegisterType::Null;
    uint32_t Index[2] = {0, 0};
    uint32_t IndexCount = 0;
    // Relative addressing of the last index: Index[last] + r<RelativeRegister>.<RelativeComponent>.
    bool Relative = false;
    uint32_t RelativeRegister = 0;
    uint32_t RelativeComponent = 0;
    std::string Components;   // "" = all (or, for a declared register, its declared mask)
    uint32_t Immediate[4] = {0, 0, 0, 0};
    uint32_t ImmediateCount = 0;
    bool Negate = false;
    bool Absolute = false;
    bool Saturate = false;    // on a destination: clamp the result to [0, 1]

    Reg operator()(const char *Select) const;      // r0("xy"), cb1[2]("w")
    Reg operator[](uint32_t Element) const;        // cb1[3], x0[2]
    Reg At(const Reg &Offset, uint32_t Base = 0) const;  // cb3[r1.x + Base]
    Reg operator-() const;
};

Reg Register(RegisterType Type, uint32_t Index);  // e.g. the t# or s# a declaration returned
Reg R(uint32_t Index);                      // temp r#
Reg Null();                                 // the null destination
Reg Abs(Reg Operand);
Reg Sat(Reg Destination);
Reg Imm(float X);
Reg Imm(float X, float Y, float Z, float W);
Reg ImmInt(int32_t X);
Reg ImmInt(int32_t X, int32_t Y, int32_t Z, int32_t W);
Reg ImmBits(uint32_t X, uint32_t Y, uint32_t Z, uint32_t W);  // e.g. all-ones truth values

struct ShaderModel {
    uint32_t Major = 4;
    uint32_t Minor = 0;
};

class ShaderBuilder {
public:
    explicit ShaderBuilder(Stage Kind, ShaderModel Model = {});

    // --- declarations (registers of inputs and outputs are taken in order unless given)
    Reg Input(const std::string &Semantic, uint32_t Index, const char *Mask = "xyzw",
              Interpolation Mode = Interpolation::Linear, ComponentType Type = ComponentType::Float);
    Reg InputSystemValue(const std::string &Semantic, SystemValue Value, const char *Mask = "xyzw",
                         Interpolation Mode = Interpolation::LinearNoPerspective);
    Reg Output(const std::string &Semantic, uint32_t Index, const char *Mask = "xyzw",
               ComponentType Type = ComponentType::Float);
    Reg OutputSystemValue(const std::string &Semantic, SystemValue Value, const char *Mask = "xyzw");
    Reg ConstantBuffer(uint32_t Slot, uint32_t Vectors, bool DynamicIndexed = false);
    Reg Sampler(uint32_t Slot, SamplerMode Mode = SamplerMode::Default);
    Reg Texture2D(uint32_t Slot, ReturnType Type = ReturnType::Float);
    Reg IndexableTemp(uint32_t Number, uint32_t Size, uint32_t Components);

    // --- arithmetic and logic, component by component
    void Mov(Reg D, Reg A) { Lanewise(Opcode::Mov, D, {A}); }
    void Add(Reg D, Reg A, Reg B) { Lanewise(Opcode::Add, D, {A, B}); }
    void Mul(Reg D, Reg A, Reg B) { Lanewise(Opcode::Mul, D, {A, B}); }
    void Div(Reg D, Reg A, Reg B) { Lanewise(Opcode::Div, D, {A, B}); }
    void Min(Reg D, Reg A, Reg B) { Lanewise(Opcode::Min, D, {A, B}); }
    void Max(Reg D, Reg A, Reg B) { Lanewise(Opcode::Max, D, {A, B}); }
    void Mad(Reg D, Reg A, Reg B, Reg C) { Lanewise(Opcode::Mad, D, {A, B, C}); }
    void Movc(Reg D, Reg Condition, Reg IfTrue, Reg IfFalse) { Lanewise(Opcode::Movc, D, {Condition, IfTrue, IfFalse}); }
    void Eq(Reg D, Reg A, Reg B) { Lanewise(Opcode::Eq, D, {A, B}); }
    void Ne(Reg D, Reg A, Reg B) { Lanewise(Opcode::Ne, D, {A, B}); }
    void Lt(Reg D, Reg A, Reg B) { Lanewise(Opcode::Lt, D, {A, B}); }
    void Ge(Reg D, Reg A, Reg B) { Lanewise(Opcode::Ge, D, {A, B}); }
    void And(Reg D, Reg A, Reg B) { Lanewise(Opcode::And, D, {A, B}); }
    void Or(Reg D, Reg A, Reg B) { Lanewise(Opcode::Or, D, {A, B}); }
    void Xor(Reg D, Reg A, Reg B) { Lanewise(Opcode::Xor, D, {A, B}); }
    void Not(Reg D, Reg A) { Lanewise(Opcode::Not, D, {A}); }
    void Frc(Reg D, Reg A) { Lanewise(Opcode::Frc, D, {A}); }
    void Exp(Reg D, Reg A) { Lanewise(Opcode::Exp, D, {A}); }   // 2^a
    void Log(Reg D, Reg A) { Lanewise(Opcode::Log, D, {A}); }   // log2 a
    void Sqrt(Reg D, Reg A) { Lanewise(Opcode::Sqrt, D, {A}); }
    void Rsq(Reg D, Reg A) { Lanewise(Opcode::Rsq, D, {A}); }
    void RoundNe(Reg D, Reg A) { Lanewise(Opcode::RoundNe, D, {A}); }
    void RoundNi(Reg D, Reg A) { Lanewise(Opcode::RoundNi, D, {A}); }
    void RoundPi(Reg D, Reg A) { Lanewise(Opcode::RoundPi, D, {A}); }
    void RoundZ(Reg D, Reg A) { Lanewise(Opcode::RoundZ, D, {A}); }
    void FtoI(Reg D, Reg A) { Lanewise(Opcode::FtoI, D, {A}); }
    void FtoU(Reg D, Reg A) { Lanewise(Opcode::FtoU, D, {A}); }
    void ItoF(Reg D, Reg A) { Lanewise(Opcode::ItoF, D, {A}); }
    void UtoF(Reg D, Reg A) { Lanewise(Opcode::UtoF, D, {A}); }
    void IAdd(Reg D, Reg A, Reg B) { Lanewise(Opcode::IAdd, D, {A, B}); }
    void INeg(Reg D, Reg A) { Lanewise(Opcode::INeg, D, {A}); }
    void IEq(Reg D, Reg A, Reg B) { Lanewise(Opcode::IEq, D, {A, B}); }
    void INe(Reg D, Reg A, Reg B) { Lanewise(Opcode::INe, D, {A, B}); }
    void ILt(Reg D, Reg A, Reg B) { Lanewise(Opcode::ILt, D, {A, B}); }
    void IGe(Reg D, Reg A, Reg B) { Lanewise(Opcode::IGe, D, {A, B}); }
    void ULt(Reg D, Reg A, Reg B) { Lanewise(Opcode::ULt, D, {A, B}); }
    void UGe(Reg D, Reg A, Reg B) { Lanewise(Opcode::UGe, D, {A, B}); }
    void IMin(Reg D, Reg A, Reg B) { Lanewise(Opcode::IMin, D, {A, B}); }
    void IMax(Reg D, Reg A, Reg B) { Lanewise(Opcode::IMax, D, {A, B}); }
    void IShl(Reg D, Reg A, Reg B) { Lanewise(Opcode::IShl, D, {A, B}); }
    void IShr(Reg D, Reg A, Reg B) { Lanewise(Opcode::IShr, D, {A, B}); }
    void UShr(Reg D, Reg A, Reg B) { Lanewise(Opcode::UShr, D, {A, B}); }
    void IMad(Reg D, Reg A, Reg B, Reg C) { Lanewise(Opcode::IMad, D, {A, B, C}); }
    // Either destination may be Null(); their masks may differ only for a one-component source.
    void SinCos(Reg Sin, Reg Cos, Reg A);

    // --- dot products: sources read by position
    void Dp2(Reg D, Reg A, Reg B) { Dot(Opcode::Dp2, 2, D, A, B); }
    void Dp3(Reg D, Reg A, Reg B) { Dot(Opcode::Dp3, 3, D, A, B); }
    void Dp4(Reg D, Reg A, Reg B) { Dot(Opcode::Dp4, 4, D, A, B); }

    // --- textures (two-dimensional coordinates)
    void Sample(Reg D, Reg Coord, Reg Texture, Reg SamplerReg);
    void SampleL(Reg D, Reg Coord, Reg Texture, Reg SamplerReg, Reg Lod);
    void SampleC(Reg D, Reg Coord, Reg Texture, Reg SamplerReg, Reg Reference);
    void SampleCLz(Reg D, Reg Coord, Reg Texture, Reg SamplerReg, Reg Reference);

    // --- flow control; the scalar tests are against zero or non-zero
    void Discard(When Condition, Reg Scalar);
    void If(When Condition, Reg Scalar);
    void Else();
    void EndIf();
    void Loop();
    void Break();
    void BreakC(When Condition, Reg Scalar);
    void Continue();
    void EndLoop();
    void Ret();

    const std::vector<SignatureElement> &InputSignature() const { return Inputs; }
    const std::vector<SignatureElement> &OutputSignature() const { return Outputs; }
    bool Ok() const { return ErrorText.empty(); }
    const std::string &Error() const { return ErrorText; }

    // The container (ISGN, OSGN, then SHDR for 4.x or SHEX for 5.x). Empty when a fault was
    // found, now or earlier.
    Bytes Finish();

private:
    struct DeclaredRegister {
        uint32_t Mask = 0;           // declared components
        uint32_t Touched = 0;        // inputs: components read; outputs: components written
        size_t Element = 0;          // index into Inputs or Outputs
    };

    void Fail(const std::string &Why);
    void Begin(const char *Name);
    void Lanewise(Opcode Op, const Reg &D, std::initializer_list<Reg> Sources);
    void Dot(Opcode Op, uint32_t Count, Reg D, Reg A, Reg B);
    void SampleCommon(Opcode Op, Reg D, Reg Coord, Reg Texture, Reg SamplerReg, const Reg *Extra);
    void Conditional(Opcode Op, When Condition, Reg Scalar);
    void Plain(Opcode Op);

    uint32_t Destination(std::vector<uint32_t> &Tokens, const Reg &D, bool AllowNull = false);
    void MarkWritten(const Reg &D, uint32_t Mask);
    void Source(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t DestinationMask);
    void PositionalSource(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t Count);
    void ScalarSource(std::vector<uint32_t> &Tokens, const Reg &S);
    void ResourceSource(std::vector<uint32_t> &Tokens, const Reg &S, RegisterType Type, uint32_t DestinationMask);
    void EncodeRegister(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t Selection, uint32_t Mode,
                        uint32_t ComponentCount = token::Components4);
    void CheckRead(const Reg &S, uint32_t Components);
    bool ParseSelect(const Reg &S, std::vector<uint32_t> &Components);
    bool EncodeImmediate(std::vector<uint32_t> &Tokens, const Reg &S, uint32_t DestinationMask, uint32_t Count);
    void Instruction(Opcode Op, uint32_t Controls, std::vector<uint32_t> Operands);
    Reg DeclareInput(const SignatureElement &E, Interpolation Mode);
    Reg DeclareOutput(const SignatureElement &E);

    Stage Kind;
    ShaderModel Model;
    std::string ErrorText;
    std::vector<SignatureElement> Inputs, Outputs;
    std::map<uint32_t, DeclaredRegister> InputRegisters, OutputRegisters;
    std::map<uint32_t, std::pair<uint32_t, bool>> ConstantBuffers;   // slot -> vectors, dynamic
    std::map<uint32_t, SamplerMode> Samplers;
    std::map<uint32_t, ReturnType> Textures;
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> IndexableTemps;  // register -> size, components
    std::vector<uint32_t> InputDeclarations, OutputDeclarations;   // in the order made
    std::vector<uint32_t> Code;
    std::map<uint32_t, uint32_t> TempWritten;   // temp register -> components written so far
    std::vector<char> Flow;                     // 'i' if, 'e' else, 'l' loop
    std::string Context;                        // the declaration or instruction being made
    uint32_t Instructions = 0;
    uint32_t LastOpcode = ~0u;
    bool Finished = false;
};

}  // namespace dxbc
