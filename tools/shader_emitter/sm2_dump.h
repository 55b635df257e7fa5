// The token dumper of Direct3D 9 shader programs: a listing in assembly form, one instruction a
// line with its tokens beside it, for tests and for reading a failure. It reads any stream (the
// writer's own or the platform assembler's) through bounded reads and stops at the first
// malformed token.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace sm2 {

// The assembly name of an opcode ("mov", "texld", ...), or "opcode_<n>".
std::string OpcodeName(uint32_t Opcode);

// The assembly name of a register ("r0", "oPos", "t1", "o3", ...) of a vertex or pixel shader of
// the given major version.
std::string RegisterName(uint32_t Type, uint32_t Number, bool Vertex, uint32_t Major);

// Appends the listing of the program in Data[0, Size) to Out. False, with a last line saying what
// was wrong, when the stream is malformed.
bool DumpProgram(const uint8_t *Data, size_t Size, std::string &Out);

}  // namespace sm2
