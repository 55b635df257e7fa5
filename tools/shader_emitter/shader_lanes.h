// What the SM4 builder and the shader model 2 writer share in reading the shaders' text:
// component letters, write masks and the bits of a float.
#pragma once

#include <stdint.h>
#include <string.h>

namespace shader_lanes {

inline uint32_t FloatBits(float Value)
{
    uint32_t Bits;
    memcpy(&Bits, &Value, sizeof Bits);
    return Bits;
}

// The component a letter names: x or r 0, y or g 1, z or b 2, w or a 3; -1 for any other.
inline int ComponentOf(char Ch)
{
    switch (Ch) {
    case 'x': case 'r': return 0;
    case 'y': case 'g': return 1;
    case 'z': case 'b': return 2;
    case 'w': case 'a': return 3;
    default: return -1;
    }
}

// The mask of text such as "xyw"; 0 when the text is not an ascending subset of xyzw.
inline uint32_t MaskOf(const char *Text)
{
    uint32_t Mask = 0;
    int Last = -1;
    for (const char *P = Text; *P; ++P) {
        const int C = ComponentOf(*P);
        if (C < 0 || C <= Last) return 0;
        Mask |= 1u << C;
        Last = C;
    }
    return Mask;
}

}  // namespace shader_lanes
