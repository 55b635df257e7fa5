// The 3-D shaders of the Direct3D 11 back end, written with the emitter: the 2822 shaders of the
// 3-D pack, in slot order. What they compute, and the slots, registers and constants they share
// with the back end, are in zovuz/d3d11/shader/d3d11_3d_shaders.h.
#pragma once

#include <string>
#include <vector>

#include "representative_set.h"

namespace dxbc {

// What one slot of the 3-D pack is: its group and the terms of its index.
struct ThreeDVariant {
    int Group = 0;
    int Fog = 0;        // 0-3
    int Shadow = 0;     // 0/1
    int AlphaTest = 0;  // the alpha-test bit s
    int Blend = 0;      // the shader class 0-6
    int Types[6] = {};  // light types of lights 0-5 (vertex lighting: 0-2; its pixel shaders: the
                        // light3b types 0-2)
};

// The terms of a slot (the inverse of the slot formulas). False for a slot outside the pack.
bool ThreeDSlotVariant(int Slot, ThreeDVariant &Out);

// Builds the shader of one slot, named for what it is. False with the fault in Error.
bool BuildThreeDShader(int Slot, NamedShader &Out, std::string *Error);

// Builds the whole pack's shaders, one per slot, and checks that every pixel shader's inputs
// follow the vertex shaders it is drawn with. False with the failing shader and fault in Error.
bool BuildThreeDSet(std::vector<NamedShader> &Out, std::string *Error);

}  // namespace dxbc
