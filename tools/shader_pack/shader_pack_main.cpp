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
#include "zovuz/d3d11/d3d11_standard_shaders.h"

namespace {

int Fail(const std::string &Why)
{
    fprintf(stderr, "shader_pack: %s\n", Why.c_str());
    return 1;
}

int WriteD3D11(const std::string &Path)
{
    using namespace shader_pack;
    std::vector<dxbc::NamedShader> Standard;
    std::string Error;
    if (!dxbc::BuildStandardSet(Standard, &Error)) return Fail(Error);
    std::vector<Bytes> BaseSlots;
    for (const dxbc::NamedShader &Shader : Standard) BaseSlots.push_back(Shader.Code);

    // The graph filters' shaders: the ready channel-mix shaders by slot, the rest by file name.
    std::vector<dxbc::NamedShader> ChannelMix, Filters;
    if (!dxbc::BuildD3D11ChannelMixSet(ChannelMix, &Error) || !dxbc::BuildD3D11FilterSet(Filters, &Error))
        return Fail(Error);
    std::vector<Bytes> ChannelMixSlots;
    for (const dxbc::NamedShader &Shader : ChannelMix) ChannelMixSlots.push_back(Shader.Code);
    std::vector<ArchiveWriterItem> FilterFiles;
    for (const dxbc::NamedShader &Shader : Filters) {
        ArchiveWriterItem File;
        File.Path = Shader.FileName;
        File.Data = Shader.Code;
        FilterFiles.push_back(std::move(File));
    }

    std::vector<dxbc::NamedShader> ThreeD;
    if (!dxbc::BuildThreeDSet(ThreeD, &Error)) return Fail(Error);
    std::vector<Bytes> ThreeDSlots;
    for (const dxbc::NamedShader &Shader : ThreeD) ThreeDSlots.push_back(Shader.Code);

    Bytes Base, ChannelMixPack, Filter, ThreeDPack;
    if (!BuildCodePack(BaseSlots, Base, &Error) || !BuildCodePack(ChannelMixSlots, ChannelMixPack, &Error) ||
        !BuildShaderArchive(FilterFiles, Filter, &Error) || !BuildCodePack(ThreeDSlots, ThreeDPack, &Error))
        return Fail(Error);
    const std::string Source = WritePackSource(
        {{"D3D11ShaderPackBase", PackText(Base)},
         {"D3D11ShaderPackChannelMix", PackText(ChannelMixPack)},
         {"D3D11ShaderPackFilter", PackText(Filter)},
         {"D3D11ShaderPack3D", PackText(ThreeDPack)}},
        "The Direct3D 11 back end's shader packs, written by tools/shader_pack (shader_pack d3d11).\n"
        "Packed text of LZ-packed data: zovuz/d3d11/d3d11_shader_pack_internal.h reads it. Do not edit.");
    if (!dxbc::WriteFileBytes(Path, dxbc::Bytes(Source.begin(), Source.end()))) return Fail("cannot write " + Path);
    return 0;
}

int WriteD3D9(const std::string &Path)
{
    using namespace shader_pack;
    std::vector<sm2::NamedProgram> Base;
    std::string Error;
    if (!sm2::BuildD3D9BaseSet(Base, &Error)) return Fail(Error);
    std::vector<ArchiveWriterItem> BaseFiles;
    for (const sm2::NamedProgram &Shader : Base) {
        ArchiveWriterItem File;
        File.Path = Shader.FileName;
        File.Data = Shader.Code;
        BaseFiles.push_back(std::move(File));
    }
    // The graph filters' shaders: the ready channel mixes of the code table and the filter archive.
    std::vector<Bytes> ChannelMixSlots;
    if (!sm2::BuildD3D9ChannelMixSet(ChannelMixSlots, &Error)) return Fail(Error);
    if (ChannelMixSlots.size() != D3D9_CHANNEL_MIX_PACK_SLOTS) return Fail("the channel-mix table has 512 slots");
    std::vector<sm2::NamedProgram> Filters;
    if (!sm2::BuildD3D9FilterSet(Filters, &Error)) return Fail(Error);
    std::vector<ArchiveWriterItem> FilterFiles;
    for (const sm2::NamedProgram &Shader : Filters) {
        ArchiveWriterItem File;
        File.Path = Shader.FileName;
        File.Data = Shader.Code;
        FilterFiles.push_back(std::move(File));
    }

    Bytes BaseImage, ChannelMix, Filter;
    if (!BuildShaderArchive(BaseFiles, BaseImage, &Error) || !BuildCodePack(ChannelMixSlots, ChannelMix, &Error) ||
        !BuildShaderArchive(FilterFiles, Filter, &Error))
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
