// Token layout of Direct3D 9 shader programs (shader models 2.0 and 3.0): a version token, then
// instructions, each an instruction token followed by its parameter tokens, then the end token.
//
// Instruction token: opcode in bits 0-15, controls in 16-23, from model 2.0 on the count of the
// tokens that follow in bits 24-27. Parameter tokens have bit 31 set; the register type is split
// into bits 28-30 (low three bits) and 11-12 (high two bits), the register number is bits 0-10.
// A destination holds its write mask in bits 16-19 and its result modifier in 20-23; a source
// holds its swizzle in bits 16-23 (two bits per lane, x first) and its modifier in 24-27.
#pragma once

#include <stdint.h>

namespace sm2 {

enum class Opcode : uint32_t {
    Mov = 1,
    Add = 2,
    Sub = 3,
    Mad = 4,
    Mul = 5,
    Rcp = 6,
    Rsq = 7,
    Dp3 = 8,
    Dp4 = 9,
    Min = 10,
    Max = 11,
    Exp = 14,
    Log = 15,
    Lrp = 18,
    Frc = 19,
    Dcl = 31,
    Pow = 32,
    Texkill = 65,
    Texld = 66,
    Def = 81,
    Cmp = 88,
    Comment = 0xFFFE,
    End = 0xFFFF,
};

enum class RegisterType : uint32_t {
    Temp = 0,
    Input = 1,
    Const = 2,
    Texture = 3,       // ps_2_0 texture coordinates t#
    RastOut = 4,       // vs_2_0 oPos
    AttrOut = 5,       // vs_2_0 oD#
    Output = 6,        // vs_2_0 oT#, vs_3_0 o#
    ColorOut = 8,      // oC#
    DepthOut = 9,      // oDepth
    Sampler = 10,
    None = 31,
};

// Declaration usages (vertex inputs, and the inputs and outputs of model 3.0).
enum class Usage : uint32_t {
    Position = 0,
    BlendWeight = 1,
    BlendIndices = 2,
    Normal = 3,
    PointSize = 4,
    TexCoord = 5,
    Tangent = 6,
    Binormal = 7,
    PositionT = 9,
    Color = 10,
    Fog = 11,
    Depth = 12,
};

namespace token {
constexpr uint32_t VertexVersion = 0xFFFE0000;
constexpr uint32_t PixelVersion = 0xFFFF0000;
constexpr uint32_t End = 0x0000FFFF;
constexpr uint32_t Parameter = 0x80000000;
constexpr uint32_t LengthShift = 24;
constexpr uint32_t MaxLength = 15;
constexpr uint32_t MaskShift = 16;
constexpr uint32_t Saturate = 1u << 20;
constexpr uint32_t SwizzleShift = 16;
constexpr uint32_t IdentitySwizzle = 0xE4;
constexpr uint32_t ModifierShift = 24;
constexpr uint32_t Negate = 1;
constexpr uint32_t Absolute = 11;
constexpr uint32_t AbsoluteNegate = 12;
constexpr uint32_t UsageIndexShift = 16;
constexpr uint32_t SamplerTypeShift = 27;
constexpr uint32_t Sampler2D = 2;
constexpr uint32_t CommentLengthShift = 16;
constexpr uint32_t MaxCommentWords = 0x7FFF;

constexpr uint32_t RegisterBits(RegisterType Type, uint32_t Number)
{
    return Parameter | (uint32_t(Type) & 7) << 28 | (uint32_t(Type) << 8 & 0x1800) | (Number & 0x7FF);
}
constexpr RegisterType TypeOf(uint32_t Token)
{
    return RegisterType((Token >> 28 & 7) | (Token >> 8 & 0x18));
}
}  // namespace token

}  // namespace sm2
