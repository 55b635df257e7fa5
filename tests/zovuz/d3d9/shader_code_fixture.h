// Compiled shader code made in the tests: ps_3_0 code whose constant table is well formed.
#pragma once

#include <string.h>

#include <vector>

inline void PutShaderWord(std::vector<unsigned char> &Code, size_t At, unsigned Value)
{
    for (int i = 0; i < 4; ++i) Code[At + i] = (unsigned char)(Value >> (8 * i));
}

// ps_3_0 code with a table of two constants ("a", "bc"), their type records and a default value.
inline std::vector<unsigned char> WellFormedShaderCode()
{
    const size_t commentWords = 26;  // 104 bytes: tag, header, two descriptions, names, type, default
    std::vector<unsigned char> code(8 + commentWords * 4 + 4, 0);
    PutShaderWord(code, 0, 0xFFFF0300);
    PutShaderWord(code, 4, 0xFFFE | (unsigned)commentWords << 16);
    memcpy(&code[8], "CTAB", 4);
    PutShaderWord(code, 24, 2);
    for (int i = 0; i < 2; ++i) {
        PutShaderWord(code, 40 + 20 * i, 68 + 2 * i);       // name
        PutShaderWord(code, 40 + 20 * i + 12, 76);          // type record
        PutShaderWord(code, 40 + 20 * i + 16, i ? 92 : 0);  // default value
    }
    memcpy(&code[12 + 68], "a\0bc", 5);
    PutShaderWord(code, code.size() - 4, 0x0000FFFF);  // the end token
    return code;
}
