// Reading the constant table of compiled shader code, checked against the code's size.
#include "zovuz/d3d9/shader/d3d9_shader_code.h"

#include <string.h>

namespace {

const size_t CommentStart = 8;  // the comment's data, after the version and comment tokens
const size_t TableStart = 12;   // the table, after the "CTAB" tag
const size_t TypeInfoSize = 16;

unsigned ReadU32(const unsigned char *p) { return p[0] | p[1] << 8 | p[2] << 16 | (unsigned)p[3] << 24; }

// A table offset whose Size bytes lie inside the comment (which ends at End).
bool Inside(unsigned Offset, size_t Size, size_t End)
{
    const size_t start = TableStart + (size_t)Offset;
    return Offset <= End && start <= End && Size <= End - start;
}

}  // namespace

D3D9ShaderConstantTable D3D9ReadShaderConstantTable(const void *Code, size_t CodeSize)
{
    const D3D9ShaderConstantTable none = {0, nullptr};
    const unsigned char *code = (const unsigned char *)Code;
    if (code == nullptr || CodeSize < D3D9_SHADER_CONSTANT_INFO_START) return none;
    // The comment token: 0xFFFE in the low word, its length in 32-bit words above it.
    if (code[4] != 0xFE || code[5] != 0xFF) return none;
    const size_t commentEnd = CommentStart + (size_t)(ReadU32(code + 4) >> 16 & 0x7FFF) * 4;
    if (commentEnd > CodeSize || commentEnd < D3D9_SHADER_CONSTANT_INFO_START) return none;
    if (memcmp(code + CommentStart, "CTAB", 4) != 0) return none;

    const unsigned count = ReadU32(code + 24);
    if (count > (commentEnd - D3D9_SHADER_CONSTANT_INFO_START) / D3D9_SHADER_CONSTANT_INFO_SIZE) return none;
    const unsigned char *info = code + D3D9_SHADER_CONSTANT_INFO_START;
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char *d = info + i * D3D9_SHADER_CONSTANT_INFO_SIZE;
        const unsigned name = ReadU32(d), type = ReadU32(d + 12), defaultValue = ReadU32(d + 16);
        if (!Inside(name, 1, commentEnd) || !Inside(type, TypeInfoSize, commentEnd)) return none;
        if (defaultValue != 0 && !Inside(defaultValue, 4, commentEnd)) return none;
        const unsigned char *text = code + TableStart + name;
        if (memchr(text, 0, commentEnd - (TableStart + name)) == nullptr) return none;
    }
    D3D9ShaderConstantTable table = {(int)count, count != 0 ? info : nullptr};
    return table;
}
