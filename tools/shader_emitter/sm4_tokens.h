// The tokenized shader program of shader model 4.0/5.0, as far as the emitter writes and the
// dumper reads it: the version token, opcode tokens (opcode in bits 0-10, controls in 11-23,
// length in 24-30, extended flag in 31) and operand tokens, in their public numbering.
#pragma once

#include <stdint.h>

namespace dxbc {

enum class Stage : uint32_t { Pixel = 0, Vertex = 1, Geometry = 2 };

enum class Opcode : uint32_t {
    Add = 0, And = 1, Break = 2, BreakC = 3, Call = 4, CallC = 5, Case = 6, Continue = 7, ContinueC = 8,
    Cut = 9, Default = 10, DerivRtx = 11, DerivRty = 12, Discard = 13, Div = 14, Dp2 = 15, Dp3 = 16, Dp4 = 17,
    Else = 18, Emit = 19, EmitThenCut = 20, EndIf = 21, EndLoop = 22, EndSwitch = 23, Eq = 24, Exp = 25,
    Frc = 26, FtoI = 27, FtoU = 28, Ge = 29, IAdd = 30, If = 31, IEq = 32, IGe = 33, ILt = 34, IMad = 35,
    IMax = 36, IMin = 37, IMul = 38, INe = 39, INeg = 40, IShl = 41, IShr = 42, ItoF = 43, Label = 44, Ld = 45,
    LdMs = 46, Log = 47, Loop = 48, Lt = 49, Mad = 50, Min = 51, Max = 52, CustomData = 53, Mov = 54, Movc = 55,
    Mul = 56, Ne = 57, Nop = 58, Not = 59, Or = 60, ResInfo = 61, Ret = 62, RetC = 63, RoundNe = 64,
    RoundNi = 65, RoundPi = 66, RoundZ = 67, Rsq = 68, Sample = 69, SampleC = 70, SampleCLz = 71,
    SampleL = 72, SampleD = 73, SampleB = 74, Sqrt = 75, Switch = 76, SinCos = 77, UDiv = 78, ULt = 79,
    UGe = 80, UMul = 81, UMad = 82, UMax = 83, UMin = 84, UShr = 85, UtoF = 86, Xor = 87,
    DclResource = 88, DclConstantBuffer = 89, DclSampler = 90, DclIndexRange = 91,
    DclGsOutputTopology = 92, DclGsInputPrimitive = 93, DclMaxOutputVertexCount = 94, DclInput = 95,
    DclInputSgv = 96, DclInputSiv = 97, DclInputPs = 98, DclInputPsSgv = 99, DclInputPsSiv = 100,
    DclOutput = 101, DclOutputSgv = 102, DclOutputSiv = 103, DclTemps = 104, DclIndexableTemp = 105,
    DclGlobalFlags = 106,
};
constexpr uint32_t OpcodeCount = 107;  // the opcodes the dumper knows by name

enum class RegisterType : uint32_t {
    Temp = 0, Input = 1, Output = 2, IndexableTemp = 3, Immediate32 = 4, Immediate64 = 5, Sampler = 6,
    Resource = 7, ConstantBuffer = 8, ImmediateConstantBuffer = 9, Label = 10, InputPrimitiveId = 11,
    OutputDepth = 12, Null = 13,
};

// System values, numbered alike in signatures and in the _siv/_sgv declarations.
enum class SystemValue : uint32_t {
    Undefined = 0, Position = 1, ClipDistance = 2, CullDistance = 3, RenderTargetArrayIndex = 4,
    ViewportArrayIndex = 5, VertexId = 6, PrimitiveId = 7, InstanceId = 8, IsFrontFace = 9, SampleIndex = 10,
};

enum class ComponentType : uint32_t { Unknown = 0, Uint = 1, Sint = 2, Float = 3 };

enum class Interpolation : uint32_t {
    Undefined = 0, Constant = 1, Linear = 2, LinearCentroid = 3, LinearNoPerspective = 4,
    LinearNoPerspectiveCentroid = 5, LinearSample = 6, LinearNoPerspectiveSample = 7,
};

enum class SamplerMode : uint32_t { Default = 0, Comparison = 1, Mono = 2 };

enum class ResourceDimension : uint32_t {
    Unknown = 0, Buffer = 1, Texture1D = 2, Texture2D = 3, Texture2DMS = 4, Texture3D = 5, TextureCube = 6,
};

// Return type of a resource declaration, four bits per component.
enum class ReturnType : uint32_t { Unorm = 1, Snorm = 2, Sint = 3, Uint = 4, Float = 5 };

// What a conditional instruction tests its scalar for: zero or non-zero.
enum class When : uint32_t { Zero = 0, NonZero = 1 };

namespace token {
constexpr uint32_t OpcodeMask = 0x7ff;
constexpr uint32_t ControlShift = 11;
constexpr uint32_t LengthShift = 24;
constexpr uint32_t MaxLength = 127;
constexpr uint32_t Extended = 0x80000000u;
constexpr uint32_t Saturate = 1u << 13;
constexpr uint32_t TestNonZero = 1u << 18;
constexpr uint32_t DynamicIndexed = 1u << 11;

// Operand token fields.
constexpr uint32_t Components0 = 0, Components1 = 1, Components4 = 2;
constexpr uint32_t ModeMask = 0, ModeSwizzle = 1, ModeSelect1 = 2;
constexpr uint32_t TypeShift = 12;
constexpr uint32_t DimensionShift = 20;
constexpr uint32_t IndexImmediate = 0, IndexRelative = 2, IndexImmediatePlusRelative = 3;
constexpr uint32_t ModifierNegate = 1, ModifierAbsolute = 2;
}  // namespace token

}  // namespace dxbc
