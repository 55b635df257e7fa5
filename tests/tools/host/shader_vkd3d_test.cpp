// The representative shader set passes the machine's own DXBC reader, vkd3d-compiler, which
// checks the container checksum, the chunk bounds and every instruction while translating the
// program; and that reader refuses containers whose checksum or lengths were damaged.
#include <gtest/gtest.h>

#include <string.h>

#include "dxbc_container.h"
#include "host_files.h"
#include "representative_set.h"

using namespace dxbc;

namespace {

// Offset of the first instruction token with Opcode in the container's program.
size_t InstructionAt(const Bytes &Container, uint32_t Opcode)
{
    const size_t Program = ProgramAt(Container);
    const uint32_t Length = ReadU32(&Container[Program + 4]);
    for (size_t At = Program + 8; At < Program + 4 * Length;) {
        const uint32_t Token = ReadU32(&Container[At]);
        if ((Token & 0x7ff) == Opcode) return At;
        At += 4 * ((Token >> 24) & 0x7f);
    }
    return 0;
}

}  // namespace

TEST(Vkd3dValidation, AcceptsEveryShaderOfTheSet)
{
    ASSERT_TRUE(HaveVkd3d()) << "vkd3d-compiler is not installed: run scripts/bootstrap";
    std::vector<NamedShader> Set;
    std::string Error;
    ASSERT_TRUE(BuildRepresentativeSet(Set, &Error)) << Error;
    for (const NamedShader &Shader : Set) {
        const Vkd3dVerdict V = Vkd3dValidate(Shader.Code, Shader.FileName);
        EXPECT_EQ(V.Status, 0) << Shader.FileName << ": " << V.Output;
    }
}

struct Damaged {
    const char *What;
    Bytes Data;
    const char *Says;   // part of the message, or null
};

// The set's textured alpha-test shader with its checksum or lengths damaged.
std::vector<Damaged> DamagedContainers(const std::vector<NamedShader> &Set)
{
    const Bytes *Textured = nullptr;
    for (const NamedShader &Shader : Set)
        if (Shader.FileName == "textured_alphatest.pso") Textured = &Shader.Code;
    EXPECT_NE(Textured, nullptr);
    if (!Textured) return {};
    const Bytes &Good = *Textured;
    const size_t Program = ProgramAt(Good), Sample = InstructionAt(Good, 69), Ret = InstructionAt(Good, 62);
    EXPECT_TRUE(Program && Sample && Ret);
    if (!(Program && Sample && Ret)) return {};

    auto Length = [&](size_t At, int Delta) {
        const uint32_t Token = ReadU32(&Good[At]);
        return Put(Good, At, (Token & ~(0x7fu << 24)) | (uint32_t(int((Token >> 24) & 0x7f) + Delta) << 24));
    };
    Bytes Flipped = Good;
    Flipped[Good.size() / 2] ^= 4;
    // Lengths changed with the checksum made to fit again, so the reader must find them
    // itself; and the same changes without resealing, which the checksum alone must catch.
    // (vkd3d 1.2 does not compare the header's total size or a too short program length
    // with the data once the checksum fits; the emitter's own reader and dumper do.)
    return {
        {"checksum word changed", Put(Good, 8, ReadU32(&Good[8]) + 1), "checksum"},
        {"a program byte changed", Flipped, "checksum"},
        {"total size changed, not resealed", Put(Good, 24, uint32_t(Good.size() + 4)), "checksum"},
        {"sample length + 1, not resealed", Length(Sample, 1), "checksum"},
        {"chunk size + 4", Resealed(Put(Good, Program - 4, ReadU32(&Good[Program - 4]) + 4)), "invalid size"},
        {"program length + 1", Resealed(Put(Good, Program + 4, ReadU32(&Good[Program + 4]) + 1)), nullptr},
        {"sample length + 1", Resealed(Length(Sample, 1)), nullptr},
        {"sample length - 1", Resealed(Length(Sample, -1)), nullptr},
        {"ret length 2", Resealed(Length(Ret, 1)), nullptr},
        {"ret length 0", Resealed(Length(Ret, -1)), nullptr},
    };
}

// Messages with what leads each line up to its first colon (the file name) left out.
std::string WithoutSourceNames(const std::string &Messages)
{
    std::string Left;
    for (size_t At = 0; At < Messages.size();) {
        size_t End = Messages.find('\n', At);
        End = End == std::string::npos ? Messages.size() : End + 1;
        size_t From = Messages.find(':', At);
        if (From >= End) From = At;
        Left += Messages.substr(From, End - From);
        At = End;
    }
    return Left;
}

TEST(Vkd3dValidation, RefusesDamagedChecksumsAndLengths)
{
    ASSERT_TRUE(HaveVkd3d()) << "vkd3d-compiler is not installed: run scripts/bootstrap";
    std::vector<NamedShader> Set;
    ASSERT_TRUE(BuildRepresentativeSet(Set, nullptr));
    for (const Damaged &Case : DamagedContainers(Set)) {
        const Vkd3dVerdict V = Vkd3dValidate(Case.Data, "damaged.dxbc");
        EXPECT_NE(V.Status, 0) << Case.What;
        if (Case.Says) {
            EXPECT_NE(V.Output.find(Case.Says), std::string::npos) << Case.What << ": " << V.Output;
        }
    }
}

// The sets are read by the program's library in this process: it says what the program says, on
// good containers and damaged ones.
TEST(Vkd3dValidation, TheLibraryGivesTheProgramsVerdicts)
{
    ASSERT_TRUE(HaveVkd3dLibrary()) << "libvkd3d-shader.so.1 cannot be loaded";
    std::vector<NamedShader> Set;
    ASSERT_TRUE(BuildRepresentativeSet(Set, nullptr));
    std::vector<std::pair<std::string, Bytes>> Containers;
    for (const NamedShader &Shader : Set) Containers.push_back({Shader.FileName, Shader.Code});
    for (Damaged &Case : DamagedContainers(Set)) Containers.push_back({Case.What, std::move(Case.Data)});
    const std::vector<Vkd3dVerdict> Library = Vkd3dValidateAll(Containers);
    const std::vector<Vkd3dVerdict> Program = Vkd3dProgramValidateAll(Containers);
    for (size_t i = 0; i < Containers.size(); ++i) {
        EXPECT_EQ(Library[i].Status, Program[i].Status) << Containers[i].first << ": " << Program[i].Output;
        // The program prints the library's messages, each led by the file it was given, then a
        // line of its own.
        const std::string Said = WithoutSourceNames(Library[i].Output);
        EXPECT_EQ(WithoutSourceNames(Program[i].Output).compare(0, Said.size(), Said), 0)
            << Containers[i].first << ": " << Library[i].Output << " / " << Program[i].Output;
    }
}
