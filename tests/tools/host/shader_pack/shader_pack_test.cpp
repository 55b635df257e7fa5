// The shader-pack builder and the Direct3D 11 back end's pack loader, built natively: the
// builder writes the same source every time (for both back ends); the packs it writes expand into the standard
// shaders, the ready channel-mix shaders and the 3-D shaders slot by slot, which vkd3d-compiler
// accepts; the filter archive opens and finds its shaders by name; damaged packs are refused
// without leaving anything allocated.
#include <gtest/gtest.h>

#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <string>
#include <utility>
#include <vector>

#include "filter_set_d3d11.h"
#include "host_files.h"
#include "standard_set.h"
#include "three_d_set.h"
#include "tools/shader_pack/shader_pack_build.h"
#include "zovuz/d3d11/shader/d3d11_shader_pack_internal.h"

using shader_pack::Bytes;

namespace {

std::vector<Bytes> StandardCodes()
{
    std::vector<dxbc::NamedShader> Set;
    std::string Error;
    EXPECT_TRUE(dxbc::BuildStandardSet(Set, &Error)) << Error;
    std::vector<Bytes> Codes;
    for (const dxbc::NamedShader &Shader : Set) Codes.push_back(Shader.Code);
    return Codes;
}

Bytes CodePack(const std::vector<Bytes> &Slots)
{
    Bytes Content;
    EXPECT_TRUE(shader_pack::BuildCodePack(Slots, Content, nullptr));
    return Content;
}

Bytes Archive(const std::vector<ArchiveWriterItem> &Files)
{
    Bytes Image;
    std::string Error;
    EXPECT_TRUE(shader_pack::BuildShaderArchive(Files, Image, &Error)) << Error;
    return Image;
}

// Three packs in writable memory, as a test gives them to the loader.
struct Packs {
    Bytes Base, ChannelMix, Filter;
    PackedTextData BaseText, ChannelMixText, FilterText;

    Packs(Bytes BaseUnits, Bytes ChannelMixUnits, Bytes FilterUnits)
        : Base(std::move(BaseUnits)), ChannelMix(std::move(ChannelMixUnits)), Filter(std::move(FilterUnits))
    {
        BaseText = {Base.data(), Base.size(), -1};
        ChannelMixText = {ChannelMix.data(), ChannelMix.size(), -1};
        FilterText = {Filter.data(), Filter.size(), -1};
    }
    int Load()
    {
        const D3D11ShaderPackSources Sources = {&BaseText, &ChannelMixText, &FilterText};
        return D3D11_LoadShaderPackFrom(&Sources);
    }
};

// Good packs: the standard set, empty channel-mix slots and a filter archive of Files.
Packs GoodPacks(const std::vector<ArchiveWriterItem> &Files = {})
{
    return Packs(shader_pack::PackText(CodePack(StandardCodes())),
                 shader_pack::PackText(CodePack(std::vector<Bytes>(D3D11_CHANNEL_MIX_PACK_SLOTS))),
                 shader_pack::PackText(Archive(Files)));
}

Bytes ReadAll(const std::string &Path)
{
    Bytes Data;
    FILE *File = fopen(Path.c_str(), "rb");
    if (!File) return Data;
    unsigned char Buffer[65536];
    size_t Got;
    while ((Got = fread(Buffer, 1, sizeof Buffer, File)) > 0) Data.insert(Data.end(), Buffer, Buffer + Got);
    fclose(File);
    return Data;
}

// The builder's second run for each back end, started with the program: it runs beside the
// loader's tests, and the last test compares what it wrote.
struct BuilderRun {
    std::string BackEnd, Written;
    pid_t Pid = 0;
};
std::vector<BuilderRun> BuilderRuns;

extern "C" char **environ;

struct BuilderRunsEnvironment : ::testing::Environment {
    void SetUp() override
    {
        for (const char *BackEnd : {"d3d11", "d3d9"}) {
            BuilderRun Run;
            Run.BackEnd = BackEnd;
            Run.Written = ScratchFolder() + "/" + BackEnd + ".cpp";
            const char *Argv[] = {SHADER_PACK_BUILDER, BackEnd, Run.Written.c_str(), nullptr};
            if (posix_spawn(&Run.Pid, Argv[0], nullptr, nullptr, const_cast<char *const *>(Argv), environ) != 0)
                Run.Pid = 0;
            BuilderRuns.push_back(Run);
        }
    }
    // Runs that no test waited for (a filtered run) end before their folder is removed.
    void TearDown() override
    {
        for (BuilderRun &Run : BuilderRuns)
            if (Run.Pid > 0) waitpid(Run.Pid, nullptr, 0);
    }
};
const ::testing::Environment *const Builders = ::testing::AddGlobalTestEnvironment(new BuilderRunsEnvironment);

}  // namespace

TEST(ShaderPackLoader, BuiltInPacksExpandIntoTheStandardShadersAndAnArchive)
{
    const int AllocsBefore = GetAllocNum();
    const std::vector<Bytes> Codes = StandardCodes();
    ASSERT_EQ(Codes.size(), size_t(D3D11_BASE_PACK_SLOTS));
    // Twice: the second load finds the texts already decoded in place by the first.
    for (int Round = 0; Round < 2; ++Round) {
        SCOPED_TRACE(Round);
        ASSERT_EQ(Graphics_D3D11_LoadShaderPack(), 1);
        EXPECT_EQ(Graphics_D3D11_LoadShaderPack(), 1);
        for (int Slot = 0; Slot < D3D11_BASE_PACK_SLOTS; ++Slot) {
            const D3D11ShaderCode &Code = D3D11ShaderPack.Base[Slot];
            ASSERT_EQ(Code.Size, Codes[size_t(Slot)].size()) << "slot " << Slot;
            EXPECT_EQ(memcmp(Code.Code, Codes[size_t(Slot)].data(), Code.Size), 0) << "slot " << Slot;
        }
        EXPECT_EQ(D3D11ShaderPack.FilterArchive.Magic, ARCHIVE_MAGIC);
        uint64_t Position = 0, Size = 0;
        EXPECT_EQ(ArchiveFindFile(&D3D11ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, "none.pso", &Position, &Size), -1);
        EXPECT_EQ(Graphics_D3D11_ReleaseShaderPack(), 1);
        EXPECT_EQ(D3D11ShaderPack.LoadedFlag, 0);
        EXPECT_EQ(GetAllocNum(), AllocsBefore);
    }
}

TEST(ShaderPackLoader, Vkd3dAcceptsEveryBuiltInBaseShader)
{
    ASSERT_TRUE(HaveVkd3d()) << "vkd3d-compiler is not installed: run scripts/bootstrap";
    ASSERT_EQ(Graphics_D3D11_LoadShaderPack(), 1);
    std::vector<std::pair<std::string, Bytes>> Slots;
    for (int Slot = 0; Slot < D3D11_BASE_PACK_SLOTS; ++Slot) {
        const D3D11ShaderCode &Code = D3D11ShaderPack.Base[Slot];
        Slots.push_back({"slot" + std::to_string(Slot), Bytes(Code.Code, Code.Code + Code.Size)});
    }
    Graphics_D3D11_ReleaseShaderPack();
    const std::vector<Vkd3dVerdict> Verdicts = Vkd3dValidateAll(Slots);
    for (size_t Slot = 0; Slot < Verdicts.size(); ++Slot)
        EXPECT_EQ(Verdicts[Slot].Status, 0) << "slot " << Slot << ": " << Verdicts[Slot].Output;
}

// The graph filters' shaders as the program carries them: every ready channel-mix slot and every
// filter archive file holds the emitter's shader, and vkd3d-compiler accepts each one.
TEST(ShaderPackLoader, BuiltInFilterShadersAreTheFilterSetAndValid)
{
    ASSERT_TRUE(HaveVkd3d()) << "vkd3d-compiler is not installed: run scripts/bootstrap";
    std::vector<dxbc::NamedShader> ChannelMix, Filters;
    std::string Error;
    ASSERT_TRUE(dxbc::BuildD3D11ChannelMixSet(ChannelMix, &Error)) << Error;
    ASSERT_TRUE(dxbc::BuildD3D11FilterSet(Filters, &Error)) << Error;
    ASSERT_EQ(Graphics_D3D11_LoadShaderPack(), 1);
    std::vector<std::pair<std::string, Bytes>> Carried;
    for (int Slot = 0; Slot < D3D11_CHANNEL_MIX_PACK_SLOTS; ++Slot) {
        const D3D11ShaderCode &Code = D3D11ShaderPack.ChannelMix[Slot];
        ASSERT_TRUE(Bytes(Code.Code, Code.Code + Code.Size) == ChannelMix[size_t(Slot)].Code) << "slot " << Slot;
        Carried.push_back({ChannelMix[size_t(Slot)].FileName, ChannelMix[size_t(Slot)].Code});
    }
    for (const dxbc::NamedShader &Shader : Filters) {
        uint64_t Position = 0, Size = 0;
        ASSERT_EQ(ArchiveFindFile(&D3D11ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, Shader.FileName.c_str(),
                                  &Position, &Size),
                  0)
            << Shader.FileName;
        const unsigned char *At = D3D11ShaderPack.FilterImage + Position;
        EXPECT_TRUE(Bytes(At, At + Size) == Shader.Code) << Shader.FileName;
        Carried.push_back({Shader.FileName, Shader.Code});
    }
    Graphics_D3D11_ReleaseShaderPack();
    const std::vector<Vkd3dVerdict> Verdicts = Vkd3dValidateAll(Carried);
    for (size_t i = 0; i < Verdicts.size(); ++i)
        EXPECT_EQ(Verdicts[i].Status, 0) << Carried[i].first << ": " << Verdicts[i].Output;
}

TEST(ShaderPackLoader, BuiltInThreeDPackExpandsIntoTheThreeDSet)
{
    std::vector<dxbc::NamedShader> Set;
    std::string Error;
    ASSERT_TRUE(dxbc::BuildThreeDSet(Set, &Error)) << Error;
    std::vector<Bytes> Codes;
    for (const dxbc::NamedShader &Shader : Set) Codes.push_back(Shader.Code);

    const int AllocsBefore = GetAllocNum();
    static D3D11ShaderCode Slots[D3D11_3D_PACK_SLOTS];
    unsigned char *Memory = nullptr;
    ASSERT_EQ(D3D11_ExpandShaderCodePack(&D3D11ShaderPack3D, L"3D", D3D11_3D_PACK_SLOTS, Slots, &Memory), 0);
    for (int Slot = 0; Slot < D3D11_3D_PACK_SLOTS; ++Slot) {
        ASSERT_EQ(Slots[Slot].Size, Codes[size_t(Slot)].size()) << "slot " << Slot;
        ASSERT_EQ(memcmp(Slots[Slot].Code, Codes[size_t(Slot)].data(), Slots[Slot].Size), 0) << "slot " << Slot;
    }
    DXFREE(Memory);
    EXPECT_EQ(GetAllocNum(), AllocsBefore);
}

TEST(ShaderPackLoader, FilterArchiveFindsItsShadersByNameInCodePage32765)
{
    ArchiveWriterItem Gauss, Mono;
    Gauss.Path = "Filter/Gauss_8pixel.pso";
    Gauss.Data = {1, 2, 3, 4, 5};
    Mono.Path = "Filter/Mono.pso";
    Mono.Data = {9, 8, 7};
    Packs P = GoodPacks({Gauss, Mono});
    ASSERT_EQ(P.Load(), 1);
    for (const ArchiveWriterItem *File : {&Gauss, &Mono}) {
        uint64_t Position = 0, Size = 0;
        ASSERT_EQ(ArchiveFindFile(&D3D11ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, File->Path.c_str(), &Position,
                                  &Size),
                  0)
            << File->Path;
        ASSERT_LE(Position + Size, D3D11ShaderPack.FilterImageSize);
        EXPECT_TRUE(Bytes(D3D11ShaderPack.FilterImage + Position, D3D11ShaderPack.FilterImage + Position + Size) == File->Data)
            << File->Path;
    }
    Graphics_D3D11_ReleaseShaderPack();
}

TEST(ShaderPackLoader, RefusesDamagedPacksAndKeepsNothing)
{
    const std::vector<Bytes> Codes = StandardCodes();
    const Bytes Content = CodePack(Codes);
    const Bytes Good = shader_pack::PackText(Content);
    const Bytes Lz = ArchivePack(Content.data(), Content.size());
    auto TextOf = [](const Bytes &Data) {
        Bytes Units(PackedTextSize(Data.size()));
        EncodePackedText(Data.data(), Data.size(), Units.data());
        return Units;
    };
    Bytes TopBit = Good;
    TopBit[Good.size() / 2] |= 0x80;
    // A size table whose last slot claims one byte more than there is.
    Bytes Overrun = Content;
    const size_t Last = 2 * (D3D11_BASE_PACK_SLOTS - 1);
    const unsigned LastSize = Overrun[Last] + 256u * Overrun[Last + 1] + 1;
    Overrun[Last] = uint8_t(LastSize);
    Overrun[Last + 1] = uint8_t(LastSize >> 8);
    const Bytes CutTable(Content.begin(), Content.begin() + 2 * D3D11_BASE_PACK_SLOTS - 1);

    // Each case damages one pack (an empty one stays good).
    const struct {
        const char *What;
        Bytes Base, Filter;
    } Cases[] = {
        {"text cut short", Bytes(Good.begin(), Good.end() - 20), {}},
        {"a unit with its top bit", TopBit, {}},
        {"LZ block cut short", TextOf(Bytes(Lz.begin(), Lz.end() - 8)), {}},
        {"sizes overrun the codes", shader_pack::PackText(Overrun), {}},
        {"no whole size table", shader_pack::PackText(CutTable), {}},
        {"filter archive not an archive", {}, shader_pack::PackText(Bytes(300, 0x5A))},
    };
    const Packs Reference = GoodPacks();
    for (const auto &Case : Cases) {
        SCOPED_TRACE(Case.What);
        const int AllocsBefore = GetAllocNum();
        Packs P(Case.Base.empty() ? Good : Case.Base, Reference.ChannelMix,
                Case.Filter.empty() ? Reference.Filter : Case.Filter);
        EXPECT_EQ(P.Load(), 0);
        EXPECT_EQ(D3D11ShaderPack.LoadedFlag, 0);
        EXPECT_EQ(D3D11ShaderPack.BaseMemory, nullptr);
        EXPECT_EQ(D3D11ShaderPack.Base[0].Code, nullptr);
        EXPECT_EQ(GetAllocNum(), AllocsBefore);
    }
    // The loader still loads good packs afterwards.
    Packs Fine = GoodPacks();
    EXPECT_EQ(Fine.Load(), 1);
    Graphics_D3D11_ReleaseShaderPack();
}

// The build wrote each back end's sources with this builder (SHADER_PACKS_WRITTEN); another run
// writes the same bytes.
TEST(ShaderPackBuilder, TwoRunsWriteByteIdenticalSources)
{
    ASSERT_EQ(BuilderRuns.size(), 2u);
    for (BuilderRun &Run : BuilderRuns) {
        SCOPED_TRACE(Run.BackEnd);
        ASSERT_NE(Run.Pid, 0) << "the builder could not be started";
        const pid_t Pid = std::exchange(Run.Pid, 0);
        int Status = 0;
        ASSERT_EQ(waitpid(Pid, &Status, 0), Pid);
        ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "status " << Status;
        const Bytes First = ReadAll(std::string(SHADER_PACKS_WRITTEN) + "/" + Run.BackEnd + "_shader_packs.cpp");
        const Bytes Second = ReadAll(Run.Written);
        EXPECT_GT(First.size(), 10000u);
        EXPECT_TRUE(First == Second);
    }
}
