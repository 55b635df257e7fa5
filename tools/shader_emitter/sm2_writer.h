// Writes Direct3D 9 shader programs (vs_2_0, ps_2_0, ps_2_x as version 2.1, vs_3_0, ps_3_0) from
// C++ that reads like the assembly it produces:
//
//     sm2::ShaderWriter ps(sm2::Stage::Pixel, 2);
//     const Reg Uv = ps.Dcl(T(0)("xy"));                 // dcl t0.xy
//     const Reg Colour = ps.Dcl(V(0));                   // dcl v0
//     const Reg Image = ps.Dcl2D(0);                     // dcl_2d s0
//     ps.Def(C(1), 4, 0, 0, 0);                          // def c1, 4, 0, 0, 0
//     ps.Texld(R(0), Uv, Image);                         // texld r0, t0, s0
//     ps.Mul(Sat(R(0)("xyz")), R(0), C(1)("x"));         // mul_sat r0.xyz, r0, c1.x
//     ps.Mov(OC(0), R(0));                               // mov oC0, r0
//     Bytes Code = ps.Finish();
//
// Component text follows the assembly: a destination's text is its write mask; a source's text
// is its swizzle, padded with its last component (r1.zw reads r1.zwww). The stream holds the
// declarations as the platform's assembler orders them: inputs, outputs, samplers, constants,
// each group in the order given, then the instructions.
//
// Every call is checked as it is made: register numbers within the model's ranges, inputs and
// samplers declared and read only within their masks, temps read only after some instruction
// wrote the components read, constants never written, scalar instructions given one component,
// and at ps_2_0 the replicate-only swizzles, the texture read count (32), the arithmetic slots
// (64), the depth of dependent reads (4) and outputs written whole by mov. ps_2_x keeps the ps_2_0
// rules but has 22 temps and 512 slots shared by texture reads and arithmetic, with no
// separate texture or dependent-read limit. Finish() checks that
// the outputs a stage must write are written. The first fault is kept in Error(), and Finish()
// then returns nothing.
#pragma once

#include <stdint.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "sm2_tokens.h"

namespace sm2 {

using Bytes = std::vector<uint8_t>;

enum class Stage { Vertex, Pixel };

struct Reg {
    RegisterType Type = RegisterType::None;
    uint32_t Number = 0;
    std::string Components;   // destination: write mask; source: swizzle; "" = all, in order
    bool Negate = false;
    bool Absolute = false;    // source modifier of model 3.0
    bool Saturate = false;    // destination: clamp the result to [0, 1]

    Reg operator()(const char *Select) const;   // r0("xy"), c1("w")
    Reg operator-() const;
};

Reg R(uint32_t Number);        // temp r#
Reg C(uint32_t Number);        // float constant c#
Reg V(uint32_t Number);        // input v#
Reg T(uint32_t Number);        // ps_2_0 texture coordinate t#
Reg S(uint32_t Number);        // sampler s#
Reg OC(uint32_t Number);       // pixel colour output oC#
Reg ODepth();                  // pixel depth output
Reg OPos();                    // vs_2_0 position output
Reg OD(uint32_t Number);       // vs_2_0 colour output oD#
Reg OT(uint32_t Number);       // vs_2_0 texture coordinate output oT#
Reg O(uint32_t Number);        // vs_3_0 output o#
Reg Sat(Reg Destination);
Reg Abs(Reg Source);

class ShaderWriter {
public:
    ShaderWriter(Stage Kind, uint32_t Major, uint32_t Minor = 0);

    // --- declarations, before the first instruction
    Reg Dcl(Reg Input);                                  // ps_2_0: dcl v0, dcl t0.xy
    Reg Dcl(Usage Semantic, uint32_t Index, Reg Register);  // dcl_texcoord1 v3, (3.0) dcl_position o0
    Reg Dcl2D(uint32_t Sampler);                         // dcl_2d s#
    void Def(Reg Constant, float X, float Y, float Z, float W);

    // --- arithmetic, lane by lane
    void Mov(Reg D, Reg A) { Lanewise(Opcode::Mov, D, {A}); }
    void Add(Reg D, Reg A, Reg B) { Lanewise(Opcode::Add, D, {A, B}); }
    void Sub(Reg D, Reg A, Reg B) { Lanewise(Opcode::Sub, D, {A, B}); }
    void Mul(Reg D, Reg A, Reg B) { Lanewise(Opcode::Mul, D, {A, B}); }
    void Mad(Reg D, Reg A, Reg B, Reg C) { Lanewise(Opcode::Mad, D, {A, B, C}); }
    void Min(Reg D, Reg A, Reg B) { Lanewise(Opcode::Min, D, {A, B}); }
    void Max(Reg D, Reg A, Reg B) { Lanewise(Opcode::Max, D, {A, B}); }
    void Frc(Reg D, Reg A) { Lanewise(Opcode::Frc, D, {A}); }
    // d = a * b + (1 - a) * c
    void Lrp(Reg D, Reg A, Reg B, Reg C) { Lanewise(Opcode::Lrp, D, {A, B, C}); }
    // d = a >= 0 ? b : c (pixel shaders)
    void Cmp(Reg D, Reg A, Reg B, Reg C) { Lanewise(Opcode::Cmp, D, {A, B, C}); }
    // --- dot products: the sources' first three or four components
    void Dp3(Reg D, Reg A, Reg B) { Dot(Opcode::Dp3, 3, D, A, B); }
    void Dp4(Reg D, Reg A, Reg B) { Dot(Opcode::Dp4, 4, D, A, B); }
    // --- scalar: one source component, the result in every lane of the mask
    void Rcp(Reg D, Reg A) { Scalar(Opcode::Rcp, D, {A}); }
    void Rsq(Reg D, Reg A) { Scalar(Opcode::Rsq, D, {A}); }
    void Exp(Reg D, Reg A) { Scalar(Opcode::Exp, D, {A}); }   // 2^a
    void Log(Reg D, Reg A) { Scalar(Opcode::Log, D, {A}); }   // log2 |a|
    void Pow(Reg D, Reg A, Reg B) { Scalar(Opcode::Pow, D, {A, B}); }
    // --- texture read of a two-dimensional sampler (pixel shaders)
    void Texld(Reg D, Reg Coord, Reg Sampler);
    // --- texkill: the pixel is dropped when any of x, y, z, w of a whole temp is below 0
    void Texkill(Reg Tested);

    // A comment block, written only where a caller needs one (the shaders themselves have none).
    void Comment(const std::string &Text);

    bool Ok() const { return ErrorText.empty(); }
    const std::string &Error() const { return ErrorText; }
    // Texture reads and arithmetic slots written so far.
    uint32_t TextureReads() const { return TextureCount; }
    uint32_t ArithmeticSlots() const { return ArithmeticCount; }

    // The token stream, little-endian. Empty when a fault was found, now or earlier.
    Bytes Finish();

private:
    struct Limits {
        uint32_t Temps, Consts, Inputs, Textures, Samplers, ColorOuts, RastOuts, AttrOuts, Outputs;
        uint32_t ArithmeticSlots, TextureReads, DependentLevels;   // 0 = no separate limit
    };

    void Fail(const std::string &Why);
    void Begin(const char *Name);
    bool Declaring(const char *Name);
    uint32_t Limit(RegisterType Type) const;
    bool InRange(const Reg &Register, const char *Role);
    // One arithmetic instruction: each source read through ReadLanes (0: the destination's lanes);
    // scalar sources select one component each.
    void Arithmetic(Opcode Op, const Reg &D, std::initializer_list<Reg> Sources, uint32_t ReadLanes,
                    bool ScalarSources);
    void Lanewise(Opcode Op, const Reg &D, std::initializer_list<Reg> Sources) { Arithmetic(Op, D, Sources, 0, false); }
    void Dot(Opcode Op, uint32_t Count, const Reg &D, const Reg &A, const Reg &B)
    {
        Arithmetic(Op, D, {A, B}, (1u << Count) - 1, false);
    }
    void Scalar(Opcode Op, const Reg &D, std::initializer_list<Reg> Sources) { Arithmetic(Op, D, Sources, 1, true); }
    bool Swizzle(const Reg &S, uint32_t Lanes[4]);
    uint32_t Destination(std::vector<uint32_t> &Tokens, const Reg &D, Opcode Op);
    void Source(std::vector<uint32_t> &Tokens, const Reg &S, const uint32_t Lanes[4], uint32_t ReadLanes);
    void Emit(Opcode Op, const Reg &D, uint32_t Mask, std::vector<uint32_t> Operands, uint32_t Level);
    uint32_t Slots(Opcode Op) const;

    Stage Kind;
    uint32_t Major, Minor;
    Limits Limit_{};
    std::string ErrorText;
    std::string Context;
    std::vector<uint32_t> Comments, InputDcls, OutputDcls, SamplerDcls, Defs, Code;
    std::map<uint32_t, uint32_t> Declared;        // register key -> declared mask (inputs, outputs, samplers)
    std::map<uint32_t, uint32_t> Defined;         // constant -> 1
    std::map<uint32_t, uint32_t> TempWritten;     // temp -> components written
    std::map<uint32_t, uint32_t> TempLevel;       // temp -> dependent-read level of its value
    std::map<uint32_t, uint32_t> OutputWritten;   // output key -> components written
    uint32_t Instructions = 0;
    uint32_t TextureCount = 0;
    uint32_t ArithmeticCount = 0;
    uint32_t ReadLevel = 0;                       // level of the value being read (set by Source)
    uint32_t PositionOutput = 0;                  // vs_3_0: 1 + the output declared as the position
    bool Finished = false;
};

}  // namespace sm2
