// The token dumper: a listing of a container's chunks, signatures and program in assembly
// form, for tests and for reading a failure. It reads any container (the emitter's own or
// the platform compiler's) through bounded reads and stops at the first malformed token.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "dxbc_container.h"

namespace dxbc {

// The assembly name of an opcode ("mov", "dcl_input_ps", ...), or "opcode_<n>".
std::string OpcodeName(uint32_t Opcode);

// Appends the listing of a SHDR/SHEX chunk's program to Out, one instruction per line.
// False, with a line saying what was wrong, when the program is malformed.
bool DumpProgram(const Bytes &Program, std::string &Out);

// Appends the whole container's listing to Out: the checksum state, the chunks, the two
// signatures and the program. False when the container, a signature or the program is
// malformed (the listing then ends with the reason).
bool DumpContainer(const uint8_t *Data, size_t Size, std::string &Out);

}  // namespace dxbc
