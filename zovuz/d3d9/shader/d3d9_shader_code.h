// The constant table inside compiled Direct3D 9 shader code: the comment right after the version
// token, tagged "CTAB", whose header gives the number of constants and whose descriptions follow
// it. Caller-supplied code is read only within its size and within the comment. Needs nothing
// but the C library, so that it can be fuzzed natively.
#pragma once

#include <stddef.h>

// One constant's description, 20 bytes; its offsets count from the table (byte 12 of the code).
#define D3D9_SHADER_CONSTANT_INFO_SIZE 20
// Where the descriptions start in the code.
#define D3D9_SHADER_CONSTANT_INFO_START 40

struct D3D9ShaderConstantTable
{
    int ConstantNum;                    // 0 when the code has no table or a broken one
    const unsigned char *ConstantInfo;  // the first description inside Code, or null
};

// The table of Code (CodeSize bytes). Every description's name (with its terminator), type record
// and default value must lie inside the comment, or the code counts as having no constants.
D3D9ShaderConstantTable D3D9ReadShaderConstantTable(const void *Code, size_t CodeSize);
