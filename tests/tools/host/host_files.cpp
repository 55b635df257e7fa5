#include "host_files.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>

const std::vector<std::string> &ReferenceNames()
{
    static const std::vector<std::string> Names = {
        "arithmetic.ps.dxbc", "base2d.vs.dxbc",   "branch.ps.dxbc",  "eight_uv.vs.dxbc", "passthrough_colour.ps.dxbc",
        "passthrough_colour.ps5.dxbc", "textured.ps.dxbc", "transform.vs.dxbc"};
    return Names;
}

dxbc::Bytes ReadReference(const std::string &Name)
{
    return ReadBytes(std::string(TARVEX_TEST_DATA_DIR) + "/shader/reference/" + Name);
}

dxbc::Bytes ReadBytes(const std::string &Path)
{
    dxbc::Bytes Data;
    FILE *File = fopen(Path.c_str(), "rb");
    EXPECT_NE(File, nullptr) << "cannot open " << Path;
    if (!File) return Data;
    unsigned char Block[4096];
    size_t Got;
    while ((Got = fread(Block, 1, sizeof Block, File)) > 0) Data.insert(Data.end(), Block, Block + Got);
    fclose(File);
    return Data;
}

void WriteBytes(const std::string &Path, const dxbc::Bytes &Data)
{
    FILE *File = fopen(Path.c_str(), "wb");
    ASSERT_NE(File, nullptr) << "cannot write " << Path;
    fwrite(Data.data(), 1, Data.size(), File);
    fclose(File);
}

namespace {
struct Scratch {
    std::string Path;
    ~Scratch()
    {
        if (!Path.empty()) std::filesystem::remove_all(Path);
    }
};
}  // namespace

std::string ScratchFolder()
{
    static Scratch Folder;
    if (Folder.Path.empty()) {
        std::string Template = (std::filesystem::temp_directory_path() / "tarvex-shader.XXXXXX").string();
        if (mkdtemp(&Template[0])) Folder.Path = Template;
    }
    return Folder.Path;
}
