#include "host_files.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

#include "file_bytes.h"

const std::vector<std::string> &ReferenceNames()
{
    static const std::vector<std::string> Names = {
        "arithmetic.ps.dxbc", "base2d.vs.dxbc",   "branch.ps.dxbc",  "eight_uv.vs.dxbc", "passthrough_colour.ps.dxbc",
        "passthrough_colour.ps5.dxbc", "textured.ps.dxbc", "transform.vs.dxbc"};
    return Names;
}

dxbc::Bytes ReadReference(const std::string &Name)
{
    const char *Data = getenv("TARVEX_TEST_DATA_DIR");
    EXPECT_NE(Data, nullptr) << "TARVEX_TEST_DATA_DIR is not set (CTest sets it to tests/data)";
    return ReadBytes(std::string(Data ? Data : ".") + "/shader/reference/" + Name);
}

dxbc::Bytes ReadBytes(const std::string &Path)
{
    dxbc::Bytes Data;
    EXPECT_TRUE(dxbc::ReadFileBytes(Path, Data)) << "cannot read " << Path;
    return Data;
}

void WriteBytes(const std::string &Path, const dxbc::Bytes &Data)
{
    ASSERT_TRUE(dxbc::WriteFileBytes(Path, Data)) << "cannot write " << Path;
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
