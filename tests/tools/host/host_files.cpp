#include "host_files.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <thread>

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

extern char **environ;

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
    return Vkd3dValidateAll({{Name, Container}})[0];
}

namespace {

// vkd3d-compiler's own library, called the way the program calls it for "-x dxbc-tpf -b
// spirv-binary": the declarations of its 1.x interface that this needs.
struct Vkd3dCode {
    const void *Code;
    size_t Size;
};
struct Vkd3dCompileInfo {
    int Type;  // 0: compile information
    const void *Next;
    Vkd3dCode Source;
    int SourceType;  // 1: DXBC (tpf)
    int TargetType;  // 1: SPIR-V binary
    const void *Options;
    unsigned OptionCount;
    int LogLevel;  // 3: information
    const char *SourceName;
};

struct Vkd3dLibrary {
    int (*Compile)(const Vkd3dCompileInfo *, Vkd3dCode *, char **) = nullptr;
    void (*FreeCode)(Vkd3dCode *) = nullptr;
    void (*FreeMessages)(char *) = nullptr;

    Vkd3dLibrary()
    {
        void *Handle = dlopen("libvkd3d-shader.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!Handle) return;
        auto Version = reinterpret_cast<const char *(*)(unsigned *, unsigned *)>(dlsym(Handle, "vkd3d_shader_get_version"));
        unsigned Major = 0, Minor = 0;
        if (!Version || (Version(&Major, &Minor), Major != 1)) return;
        Compile = reinterpret_cast<decltype(Compile)>(dlsym(Handle, "vkd3d_shader_compile"));
        FreeCode = reinterpret_cast<decltype(FreeCode)>(dlsym(Handle, "vkd3d_shader_free_shader_code"));
        FreeMessages = reinterpret_cast<decltype(FreeMessages)>(dlsym(Handle, "vkd3d_shader_free_messages"));
        if (!FreeCode || !FreeMessages) Compile = nullptr;
    }

    // The program's verdict: exit status 1 and its messages when the compile fails.
    Vkd3dVerdict Validate(const dxbc::Bytes &Container, const std::string &Name) const
    {
        const Vkd3dCompileInfo Info = {0, nullptr, {Container.data(), Container.size()}, 1, 1, nullptr, 0, 3, Name.c_str()};
        Vkd3dCode Out = {nullptr, 0};
        char *Messages = nullptr;
        const int Result = Compile(&Info, &Out, &Messages);
        Vkd3dVerdict Verdict;
        Verdict.Status = Result == 0 ? 0 : 1;
        if (Messages) Verdict.Output = Messages;
        if (Result == 0) FreeCode(&Out);
        FreeMessages(Messages);
        return Verdict;
    }
};

const Vkd3dLibrary &Library()
{
    static const Vkd3dLibrary Loaded;
    return Loaded;
}

}  // namespace

// A set holds thousands of containers: the library reads them in a second or two, where starting
// the program costs milliseconds each. A build without the library for its word size (the 32-bit
// tests) starts the program.
std::vector<Vkd3dVerdict> Vkd3dValidateAll(const std::vector<std::pair<std::string, dxbc::Bytes>> &Containers)
{
    if (!Library().Compile) return Vkd3dProgramValidateAll(Containers);
    // The library compiles on several threads at once, as vkd3d itself calls it.
    std::vector<Vkd3dVerdict> Result(Containers.size());
    std::atomic<size_t> Next{0};
    auto Work = [&] {
        for (size_t i; (i = Next++) < Containers.size();)
            Result[i] = Library().Validate(Containers[i].second, Containers[i].first);
    };
    std::vector<std::thread> Threads(std::min(8u, std::max(1u, std::thread::hardware_concurrency())) - 1);
    for (std::thread &Thread : Threads) Thread = std::thread(Work);
    Work();
    for (std::thread &Thread : Threads) Thread.join();
    return Result;
}

bool HaveVkd3dLibrary() { return Library().Compile != nullptr; }

// The compiler is started without a shell, a few at a time: each run costs far more in starting
// the process than in reading the container.
std::vector<Vkd3dVerdict> Vkd3dProgramValidateAll(const std::vector<std::pair<std::string, dxbc::Bytes>> &Containers)
{
    std::vector<Vkd3dVerdict> Result(Containers.size());
    const std::string Folder = ScratchFolder();
    const unsigned Most = std::min(8u, std::max(2u, std::thread::hardware_concurrency()));
    // The runs under way, oldest first: each is waited for by its own id, so that the test's other
    // children are left to it.
    std::deque<std::pair<pid_t, size_t>> Running;
    // Each run's input and what it printed, by its place in the list (names may repeat).
    auto Input = [&](size_t i) { return Folder + "/" + std::to_string(i) + "_" + Containers[i].first; };
    auto Reap = [&] {
        const auto [Pid, i] = Running.front();
        Running.pop_front();
        int Status = 0;
        if (waitpid(Pid, &Status, 0) != Pid) Status = -1;
        Result[i].Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        const dxbc::Bytes Printed = ReadBytes(Input(i) + ".txt");
        Result[i].Output.assign(Printed.begin(), Printed.end());
        std::filesystem::remove(Input(i));
        std::filesystem::remove(Input(i) + ".txt");
    };
    for (size_t i = 0; i < Containers.size(); ++i) {
        while (Running.size() >= Most) Reap();
        const std::string Path = Input(i), Printed = Path + ".txt";
        WriteBytes(Path, Containers[i].second);
        posix_spawn_file_actions_t Actions;
        posix_spawn_file_actions_init(&Actions);
        posix_spawn_file_actions_addopen(&Actions, 1, Printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&Actions, 1, 2);
        const char *Argv[] = {"vkd3d-compiler", "-x", "dxbc-tpf", "-b", "spirv-binary", "-o", "/dev/null", "--",
                              Path.c_str(), nullptr};
        pid_t Pid = 0;
        if (posix_spawnp(&Pid, Argv[0], &Actions, nullptr, const_cast<char *const *>(Argv), environ) == 0)
            Running.push_back({Pid, i});
        else
            Result[i].Output = "vkd3d-compiler could not be started";
        posix_spawn_file_actions_destroy(&Actions);
    }
    while (!Running.empty()) Reap();
    return Result;
}

bool HaveVkd3d()
{
    return system("command -v vkd3d-compiler >/dev/null 2>&1") == 0;
}
