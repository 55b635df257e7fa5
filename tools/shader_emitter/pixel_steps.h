// The last steps of the fixed-function pixel shaders, shared by the base pack and the 3-D pack:
// the alpha test of the shader bit s and the shader class (zovuz/d3d11/shader/d3d11_standard_shaders.h).
#pragma once

#include "sm4_builder.h"

namespace dxbc {

// Discards unless Alpha (8-bit, rounded) passes the test of shader bit S against the reference of
// the pixel base constants (PixelBase, declared by the caller). Uses r3-r7.
void AlphaTestStep(ShaderBuilder &B, const Reg &PixelBase, const Reg &Alpha, int S);

// Colour C (a temp, all four lanes) after shader class Class, with the vertex alpha VertexAlpha.
// Uses r3.z.
void ShaderClassStep(ShaderBuilder &B, const Reg &C, const Reg &VertexAlpha, int Class);

}  // namespace dxbc
