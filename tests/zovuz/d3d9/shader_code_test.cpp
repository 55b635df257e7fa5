// The constant table of caller-supplied shader code: a well-formed table gives its count, and
// truncated or lying code gives none without reading past the code, checked with the code placed
// right before a page that cannot be read.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string.h>
#include <vector>

#include "tests/zovuz/d3d9/shader_code_fixture.h"
#include "zovuz/d3d9/shader/d3d9_shader_code.h"

namespace {

void Put(std::vector<unsigned char> &Code, size_t At, unsigned Value) { PutShaderWord(Code, At, Value); }
std::vector<unsigned char> WellFormed() { return WellFormedShaderCode(); }

// Code copied to the end of a readable page, the next page unreadable.
struct GuardedCopy
{
    unsigned char *Pages = (unsigned char *)VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE);
    GuardedCopy()
    {
        DWORD old;
        VirtualProtect(Pages + 4096, 4096, PAGE_NOACCESS, &old);
    }
    ~GuardedCopy() { VirtualFree(Pages, 0, MEM_RELEASE); }
    D3D9ShaderConstantTable Read(const std::vector<unsigned char> &Code, size_t Size)
    {
        unsigned char *at = Pages + 4096 - Size;
        memcpy(at, Code.data(), Size);
        return D3D9ReadShaderConstantTable(at, Size);
    }
};

TEST(D3D9ShaderCode, OnlyAWellFormedTableGivesItsConstants)
{
    struct Case
    {
        const char *Name;
        size_t At;  // a word written, or none
        unsigned Value;
        int Cut;  // bytes taken off the end
        int Count;
        int Poke = -1;  // a byte made non-zero
    } cases[] = {
        {"well formed", 0, 0, 0, 2},
        {"no comment after the version", 4, 0x00000051, 0, 0},
        {"another tag", 8, 0x42415458, 0, 0},
        {"comment longer than the code", 0, 0, 8, 0},
        {"lying count", 24, 0x40000000, 0, 0},
        {"name past the comment", 40, 100, 0, 0},
        {"name without its end", 60, 99, 0, 0, 12 + 99},
        {"type record past the comment", 52, 88, 0, 0},
        {"default value past the comment", 76, 0x7FFFFFF0, 0, 0},
        {"name offset that wraps", 40, 0xFFFFFFF8, 0, 0},
    };
    GuardedCopy guard;
    for (const Case &c : cases) {
        std::vector<unsigned char> code = WellFormed();
        if (c.At != 0) Put(code, c.At, c.Value);
        if (c.Poke >= 0) code[c.Poke] = 'x';
        const D3D9ShaderConstantTable table = guard.Read(code, code.size() - c.Cut);
        EXPECT_EQ(table.ConstantNum, c.Count) << c.Name;
        EXPECT_EQ(table.ConstantInfo != nullptr, c.Count != 0) << c.Name;
    }
}

TEST(D3D9ShaderCode, MutatedCodeIsNeverReadPastItsEnd)
{
    GuardedCopy guard;
    std::mt19937 random(65);
    const std::vector<unsigned char> base = WellFormed();
    for (int round = 0; round < 20000; ++round) {
        std::vector<unsigned char> code = base;
        for (int n = random() % 4; n >= 0; --n) code[random() % code.size()] = (unsigned char)random();
        const size_t size = random() % (code.size() + 1);
        const D3D9ShaderConstantTable table = guard.Read(code, size);
        if (table.ConstantNum == 0) continue;
        const unsigned char *end = guard.Pages + 4096;
        ASSERT_LE(table.ConstantInfo + table.ConstantNum * D3D9_SHADER_CONSTANT_INFO_SIZE, end) << round;
    }
}

}  // namespace
