// The Direct3D 9 back end's packs as the builder writes them: the same source every time; the
// base archive holds every base shader by name, byte for byte; the channel-mix code table has
// its 512 sizes in the first 1024 bytes, the codes after them; the filter archive opens empty.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "d3d9_base_set.h"
#include "host_files.h"
#include "tools/shader_pack/shader_pack_build.h"
#include "zovuz/core/zovuz_core.h"

using shader_pack::Bytes;

extern PackedTextData D3D9ShaderPackBase;
extern PackedTextData D3D9ShaderPackChannelMix;
extern PackedTextData D3D9ShaderPackFilter;

namespace {

// What the back end's loader does with a pack: decode the text once, expand the LZ block.
Bytes Expand(PackedTextData *Text)
{
    const int64_t Packed = DecodePackedTextOnce(Text);
    EXPECT_GE(Packed, 0);
    if (Packed < 0) return {};
    const int64_t Size = ArchiveDecompressChecked(Text->Text, uint64_t(Packed), nullptr, 0);
    EXPECT_GE(Size, 0);
    if (Size < 0) return {};
    Bytes Data(static_cast<size_t>(Size));
    EXPECT_EQ(ArchiveDecompressChecked(Text->Text, uint64_t(Packed), Data.data(), uint64_t(Size)), Size);
    return Data;
}

// An archive open on an expanded image, closed at the end of the scope.
struct OpenArchive {
    Bytes Image;
    DxArchiveRecord Record;
    explicit OpenArchive(Bytes Data) : Image(std::move(Data))
    {
        ArchiveClearRecord(&Record);
        EXPECT_EQ(OpenArchiveFromMemory(&Record, Image.data(), Image.size(), 0, 0, nullptr, nullptr), 0);
    }
    ~OpenArchive() { ArchiveCloseRecord(&Record); }
    bool Find(const std::string &Name, Bytes *Data)
    {
        uint64_t Position = 0, Size = 0;
        if (ArchiveFindFile(&Record, CHAR_CODE_UNICODE_BYTE, Name.c_str(), &Position, &Size) != 0) return false;
        EXPECT_LE(Position + Size, Image.size()) << Name;
        if (Data && Position + Size <= Image.size()) Data->assign(Image.begin() + long(Position), Image.begin() + long(Position + Size));
        return true;
    }
};

}  // namespace

TEST(D3D9ShaderPacks, TwoRunsWriteByteIdenticalSources)
{
    const std::string Folder = ScratchFolder();
    for (const char *Name : {"first.cpp", "second.cpp"}) {
        const std::string Command = std::string(SHADER_PACK_BUILDER) + " d3d9 '" + Folder + "/" + Name + "'";
        ASSERT_EQ(system(Command.c_str()), 0) << Command;
    }
    const Bytes First = ReadBytes(Folder + "/first.cpp"), Second = ReadBytes(Folder + "/second.cpp");
    EXPECT_GT(First.size(), 10000u);
    EXPECT_TRUE(First == Second);
}

TEST(D3D9ShaderPacks, BaseArchiveHoldsEveryBaseShaderByName)
{
    std::vector<sm2::NamedProgram> Set;
    std::string Error;
    ASSERT_TRUE(sm2::BuildD3D9BaseSet(Set, &Error)) << Error;
    OpenArchive Base(Expand(&D3D9ShaderPackBase));
    for (const sm2::NamedProgram &Shader : Set) {
        Bytes Found;
        ASSERT_TRUE(Base.Find(Shader.FileName, &Found)) << Shader.FileName;
        EXPECT_TRUE(Found == Shader.Code) << Shader.FileName;
    }
    EXPECT_FALSE(Base.Find("ps_blend4_type0_igcolor0_igtalpha0_ach0.pso", nullptr));
}

TEST(D3D9ShaderPacks, ChannelMixCodesStartAfterTheWholeSizeTable)
{
    // Built in: 512 empty slots, so only the size table.
    EXPECT_TRUE(Expand(&D3D9ShaderPackChannelMix) == Bytes(2 * sm2::D3D9_CHANNEL_MIX_PACK_SLOTS, 0));
    // With codes: slot 0's code lies at byte 1024, right after the 512 16-bit sizes, slot 7's after it.
    std::vector<Bytes> Slots(sm2::D3D9_CHANNEL_MIX_PACK_SLOTS);
    Slots[0] = {1, 2, 3};
    Slots[7] = {9, 9};
    Bytes Table;
    ASSERT_TRUE(shader_pack::BuildCodePack(Slots, Table, nullptr));
    ASSERT_EQ(Table.size(), 1024u + 5);
    EXPECT_EQ(Table[0] | Table[1] << 8, 3);
    EXPECT_EQ(Table[14] | Table[15] << 8, 2);
    EXPECT_TRUE(Bytes(Table.begin() + 1024, Table.end()) == Bytes({1, 2, 3, 9, 9}));
}

TEST(D3D9ShaderPacks, FilterArchiveOpensWithNoFiles)
{
    OpenArchive Filter(Expand(&D3D9ShaderPackFilter));
    EXPECT_EQ(Filter.Record.Magic, ARCHIVE_MAGIC);
    EXPECT_FALSE(Filter.Find("Base2DVertexShader.vso", nullptr));
}
