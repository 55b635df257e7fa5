#include "host_files.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

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

dxbc::Bytes Put(dxbc::Bytes Data, size_t At, uint32_t Value)
{
    memcpy(&Data[At], &Value, 4);
    return Data;
}

dxbc::Bytes Resealed(dxbc::Bytes Data)
{
    uint32_t Sum[4];
    dxbc::ComputeChecksum(Data.data(), Data.size(), Sum);
    memcpy(&Data[4], Sum, sizeof Sum);
    return Data;
}

size_t ProgramAt(const dxbc::Bytes &Container)
{
    const uint32_t Count = dxbc::ReadU32(&Container[28]);
    for (uint32_t i = 0; i < Count; ++i) {
        const uint32_t At = dxbc::ReadU32(&Container[32 + 4 * i]);
        const uint32_t Tag = dxbc::ReadU32(&Container[At]);
        if (Tag == dxbc::TagShader4 || Tag == dxbc::TagShader5) return At + 8;
    }
    return 0;
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

Vkd3dVerdict Vkd3dValidate(const dxbc::Bytes &Container, const std::string &Name)
{
    Vkd3dVerdict Result;
    const std::string Folder = ScratchFolder();
    const std::string Input = Folder + "/" + Name, Output = Folder + "/" + Name + ".spv";
    WriteBytes(Input, Container);
    const std::string Command = "vkd3d-compiler -x dxbc-tpf -b spirv-binary -o '" + Output + "' '" + Input + "' 2>&1";
    FILE *Pipe = popen(Command.c_str(), "r");
    if (!Pipe) return Result;
    char Line[512];
    while (fgets(Line, sizeof Line, Pipe)) Result.Output += Line;
    const int Status = pclose(Pipe);
    Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    return Result;
}

bool HaveVkd3d()
{
    return system("command -v vkd3d-compiler >/dev/null 2>&1") == 0;
}
