// The standard shaders of the Direct3D 11 back end, written with the emitter: the 258 shaders of
// the base pack, in slot order. What they compute, and the slots, registers and constants they
// share with the back end, are in zovuz/d3d11/shader/d3d11_standard_shaders.h.
#pragma once

#include <string>
#include <vector>

#include "representative_set.h"

namespace dxbc {

// Builds the base pack's shaders, one per slot, each named for what it is (".vso" vertex shader,
// ".pso" pixel shader), and checks that every pixel shader's inputs follow the vertex shaders it
// is drawn with. False with the failing shader and fault in Error.
bool BuildStandardSet(std::vector<NamedShader> &Out, std::string *Error);

}  // namespace dxbc
