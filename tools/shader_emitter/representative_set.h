// A representative set of shaders written with the emitter: what the Direct3D 11 back end's
// standard shaders and the filter passes need of it (base 2-D vertex shaders, alpha-tested
// pixel shaders, a shadow-compare sample, a filter with a loop and the transcendental
// instructions, the transfer vertex shaders) and one shader that uses every instruction the
// emitter writes. The tool writes them at build time; the tests validate and draw with them.
#pragma once

#include <string>
#include <vector>

#include "dxbc_container.h"

namespace dxbc {

struct NamedShader {
    std::string FileName;   // ".vso" vertex shader, ".pso" pixel shader
    Bytes Code;
};

// Register use shared with the tests that draw with the set.
namespace representative {
constexpr unsigned VertexBaseSlot = 1;     // vertex cb1: draw-area matrix (4 vectors, transposed)
constexpr unsigned PixelBaseSlot = 1;      // pixel cb1: factor colour; .y of vector 1 alpha reference; .x of vector 2 comparison
constexpr unsigned FilterSlot = 3;         // pixel cb3: filter constants, below
constexpr unsigned ShadowSlot = 8;         // texture and comparison sampler of the shadow-compare shader
constexpr unsigned FilterMaxTaps = 8;
// cb3[0] = (tap count, red scale, invert flag, green exponent); cb3[1 + i] = (du, dv, weight, 0).
// The filter sums the weighted taps, then red = frc(sum.r * scale), green = sum.g ^ exponent,
// blue = sqrt(sum.b), alpha = sum.a, and with the invert flag set rgb = 1 - rgb.
}  // namespace representative

// Builds the whole set, in a fixed order. False with the failing shader and fault in Error.
bool BuildRepresentativeSet(std::vector<NamedShader> &Out, std::string *Error);

}  // namespace dxbc
