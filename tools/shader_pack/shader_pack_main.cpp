// The shader-pack builder (a build machine program, run by the build):
//   shader_pack d3d11 <source.cpp>   writes the Direct3D 11 back end's packs: the base pack (the
//                                    standard shaders), the channel-mix pack, the filter archive
//                                    and the 3-D pack
//   shader_pack d3d9 <source.cpp>    writes the Direct3D 9 back end's packs: the base archive (the
//                                    base shaders by file name), the channel-mix code table and
//                                    the filter archive
// Exit code 0 on success, 1 on a failure (reported on standard error), 2 on bad usage.
#include <stdio.h>

#include <string>
#include <vector>

#include "d3d9_base_set.h"
#include "d3d9_filter_set.h"
#include "file_bytes.h"
#include "filter_set_d3d11.h"
#include "standard_set.h"
#include "three_d_set.h"
#include "tools/shader_pack/shader_pack_build.h"
#include "zovuz/d3d11/shader/d3d11_standard_shaders.h"

namespace {

int Fail(const std::string &Why)
{
    fprintf(stderr, "shader_pack: %s\n", Why.c_str());
    return 1;
}

// The codes of a set of shaders, in their order: a code pack's slots.
template <typename Shader>
std::vector<shader_pack::Bytes> CodeSlots(const std::vector<Shader> &Shaders)
{
    std::vector<shader_pack::Bytes> Slots;
    for (const Shader &S : Shaders) Slots.push_back(S.Code);
    return Slots;
}

// A set of shaders as the files of an archive, by their file names.
template <typename Shader>
std::vector<ArchiveWriterItem> ArchiveFiles(const std::vector<Shader> &Shaders)
{
    std::vector<ArchiveWriterItem> Files;
    for (const Shader &S : Shaders) {
        ArchiveWriterItem File;
        File.Path = S.FileName;
        File.Data = S.Code;
        Files.push_back(std::move(File));
    }
    return Files;
}

int WriteD3D11(const std::string &Path)
{
    using namespace shader_pack;
    std::vector<dxbc::NamedShader> Standard;
    std::string Error;
    if (!dxbc::BuildStandardSet(Standard, &Error)) return Fail(Error);

    // The graph filters' shaders: the ready channel-mix shaders by slot, the rest by file name.
    std::vector<dxbc::NamedShader> ChannelMix, Filters;
    if (!dxbc::BuildD3D11ChannelMixSet(ChannelMix, &Error) || !dxbc::BuildD3D11FilterSet(Filters, &Error))
        return Fail(Error);
    std::vector<dxbc::NamedShader> ThreeD;
    if (!dxbc::BuildThreeDSet(ThreeD, &Error)) return Fail(Error);

    Bytes Base, ChannelMixPack, Filter, ThreeDPack;
    if (!BuildCodePack(CodeSlots(Standard), Base, &Error) ||
        !BuildCodePack(CodeSlots(ChannelMix), ChannelMixPack, &Error) ||
        !BuildShaderArchive(ArchiveFiles(Filters), Filter, &Error) ||
        !BuildCodePack(CodeSlots(ThreeD), ThreeDPack, &Error))
        return Fail(Error);
    const std::string Source = WritePackSource(
        {{"D3D11ShaderPackBase", PackText(Base)},
         {"D3D11ShaderPackChannelMix", PackText(ChannelMixPack)},
         {"D3D11ShaderPackFilter", PackText(Filter)},
         {"D3D11ShaderPack3D", PackText(ThreeDPack)}},
        "The Direct3D 11 back end's shader packs, written by tools/shader_pack (shader_pack d3d11).\n"
        "Packed text of LZ-packed data: zovuz/d3d11/shader/d3d11_shader_pack_internal.h reads it. Do not edit.");
    if (!dxbc::WriteFileBytes(Path, dxbc::Bytes(Source.begin(), Source.end()))) return Fail("cannot write " + Path);
    return 0;
}

int WriteD3D9(const std::string &Path)
{
    using namespace shader_pack;
    std::vector<sm2::NamedProgram> Base;
    std::string Error;
    if (!sm2::BuildD3D9BaseSet(Base, &Error)) return Fail(Error);
    // The graph filters' shaders: the ready channel mixes of the code table and the filter archive.
    std::vector<Bytes> ChannelMixSlots;
    if (!sm2::BuildD3D9ChannelMixSet(ChannelMixSlots, &Error)) return Fail(Error);
    if (ChannelMixSlots.size() != D3D9_CHANNEL_MIX_PACK_SLOTS) return Fail("the channel-mix table has 512 slots");
    std::vector<sm2::NamedProgram> Filters;
    if (!sm2::BuildD3D9FilterSet(Filters, &Error)) return Fail(Error);

    Bytes BaseImage, ChannelMix, Filter;
    if (!BuildShaderArchive(ArchiveFiles(Base), BaseImage, &Error) ||
        !BuildCodePack(ChannelMixSlots, ChannelMix, &Error) ||
        !BuildShaderArchive(ArchiveFiles(Filters), Filter, &Error))
        return Fail(Error);
    const std::string Source = WritePackSource(
        {{"D3D9ShaderPackBase", PackText(BaseImage)},
         {"D3D9ShaderPackChannelMix", PackText(ChannelMix)},
         {"D3D9ShaderPackFilter", PackText(Filter)}},
        "The Direct3D 9 back end's shader packs, written by tools/shader_pack (shader_pack d3d9).\n"
        "Packed text of LZ-packed data: the base and filter archives and the channel-mix code table. Do not edit.");
    if (!dxbc::WriteFileBytes(Path, dxbc::Bytes(Source.begin(), Source.end()))) return Fail("cannot write " + Path);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string Command = argc > 1 ? argv[1] : "";
    if (Command == "d3d11" && argc == 3) return WriteD3D11(argv[2]);
    if (Command == "d3d9" && argc == 3) return WriteD3D9(argv[2]);
    fprintf(stderr, "usage: shader_pack d3d11 <source.cpp>\n       shader_pack d3d9 <source.cpp>\n");
    return 2;
}
