// The Direct3D 9 back end's packs as the builder writes them and the back end's loader reads
// them: every base shader by name, byte for byte; the channel-mix table with its codes from byte
// 1024, after the whole size table; the filter archive with every filter shader; a table that
// announces more code than it holds refused, with nothing kept.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "d3d9_base_set.h"
#include "d3d9_filter_set.h"
#include "tools/shader_pack/shader_pack_build.h"
#include "zovuz/d3d9/shader/d3d9_shader_pack_internal.h"

using shader_pack::Bytes;

namespace {

// A channel-mix pack of Slots, as packed text the loader reads.
struct ChannelMixText {
    Bytes Units;
    PackedTextData Text;
    explicit ChannelMixText(const Bytes &Content) : Units(shader_pack::PackText(Content))
    {
        Text = {Units.data(), Units.size(), -1};
    }
};

Bytes CodeTable(const std::vector<Bytes> &Slots)
{
    Bytes Content;
    EXPECT_TRUE(shader_pack::BuildCodePack(Slots, Content, nullptr));
    return Content;
}

}  // namespace

TEST(D3D9ShaderPacks, BuiltInPacksHoldEveryBaseAndFilterShader)
{
    std::vector<sm2::NamedProgram> Set;
    std::string Error;
    ASSERT_TRUE(sm2::BuildD3D9BaseSet(Set, &Error)) << Error;
    ASSERT_EQ(Set.size(), size_t(D3D9_BASE_SHADER_NUM));
    const int AllocsBefore = GetAllocNum();
    ASSERT_EQ(Graphics_D3D9_LoadShaderPack(), 1);
    for (const sm2::NamedProgram &Shader : Set) {
        const void *Code = D3D9_FindBaseShaderCode(Shader.FileName.c_str());
        ASSERT_NE(Code, nullptr) << Shader.FileName;
        EXPECT_EQ(memcmp(Code, Shader.Code.data(), Shader.Code.size()), 0) << Shader.FileName;
    }
    EXPECT_EQ(D3D9_FindBaseShaderCode("ps_blend4_type0_igcolor0_igtalpha0_ach0.pso"), nullptr);
    std::vector<Bytes> Mix;
    ASSERT_TRUE(sm2::BuildD3D9ChannelMixSet(Mix, &Error)) << Error;
    for (int Slot = 0; Slot < D3D9_CHANNEL_MIX_PACK_SLOTS; ++Slot) {
        const D3D9ShaderCode &Code = D3D9ShaderPack.ChannelMix[Slot];
        ASSERT_EQ(Code.Size, Mix[Slot].size()) << Slot;
        EXPECT_EQ(memcmp(Code.Code, Mix[Slot].data(), Code.Size), 0) << Slot;
    }
    std::vector<sm2::NamedProgram> Filters;
    ASSERT_TRUE(sm2::BuildD3D9FilterSet(Filters, &Error)) << Error;
    EXPECT_EQ(Filters.size(), 107u);
    EXPECT_EQ(D3D9ShaderPack.FilterArchive.Magic, ARCHIVE_MAGIC);
    const unsigned char *Image = D3D9ShaderPack.FilterImage;
    for (const sm2::NamedProgram &Shader : Filters) {
        uint64_t Position = 0, Size = 0;
        ASSERT_EQ(ArchiveFindFile(&D3D9ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, Shader.FileName.c_str(),
                                  &Position, &Size),
                  0)
            << Shader.FileName;
        ASSERT_EQ(Size, Shader.Code.size()) << Shader.FileName;
        EXPECT_EQ(memcmp(Image + Position, Shader.Code.data(), Size), 0) << Shader.FileName;
    }
    EXPECT_EQ(ArchiveFindFile(&D3D9ShaderPack.FilterArchive, CHAR_CODE_UNICODE_BYTE, "Base2DVertexShader.vso", nullptr,
                              nullptr),
              -1);
    EXPECT_EQ(Graphics_D3D9_ReleaseShaderPack(), 1);
    EXPECT_EQ(GetAllocNum(), AllocsBefore);
}

TEST(D3D9ShaderPacks, ChannelMixCodesStartAfterTheWholeSizeTable)
{
    std::vector<Bytes> Slots(D3D9_CHANNEL_MIX_PACK_SLOTS);
    Slots[0] = {1, 2, 3};
    Slots[7] = {9, 9};
    ChannelMixText Good(CodeTable(Slots));
    const D3D9ShaderPackSources Sources = {&D3D9ShaderPackBase, &Good.Text, &D3D9ShaderPackFilter};
    ASSERT_EQ(D3D9_LoadShaderPackFrom(&Sources), 1);
    const unsigned char *Table = D3D9ShaderPack.ChannelMixMemory;
    EXPECT_EQ(D3D9ShaderPack.ChannelMix[0].Code, Table + 1024);
    EXPECT_EQ(D3D9ShaderPack.ChannelMix[7].Code, Table + 1027);
    EXPECT_TRUE(Bytes(Table + 1024, Table + 1029) == Bytes({1, 2, 3, 9, 9}));
    EXPECT_EQ(D3D9ShaderPack.ChannelMix[7].Size, 2u);
    EXPECT_EQ(D3D9ShaderPack.ChannelMix[1].Code, nullptr);
    Graphics_D3D9_ReleaseShaderPack();

    // A size table that announces a byte more than the pack holds.
    Bytes Short = CodeTable(Slots);
    Short.pop_back();
    ChannelMixText Damaged(Short);
    const D3D9ShaderPackSources Bad = {&D3D9ShaderPackBase, &Damaged.Text, &D3D9ShaderPackFilter};
    const int AllocsBefore = GetAllocNum();
    EXPECT_EQ(D3D9_LoadShaderPackFrom(&Bad), 0);
    EXPECT_EQ(D3D9ShaderPack.LoadedFlag, 0);
    EXPECT_EQ(GetAllocNum(), AllocsBefore);
}
