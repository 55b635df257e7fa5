// The shader emitter's command line (a host program, run at build time):
//   shader_emitter write-set <folder>   writes the representative set, one file per shader
//   shader_emitter dump <file>...       lists containers (chunks, signatures, program)
// Exit code 0 on success, 1 on a failure (reported on standard error), 2 on bad usage.
#include <stdio.h>

#include <string>
#include <vector>

#include "representative_set.h"
#include "sm4_dump.h"

namespace {

bool ReadFile(const std::string &Path, dxbc::Bytes &Data)
{
    FILE *File = fopen(Path.c_str(), "rb");
    if (!File) return false;
    Data.clear();
    unsigned char Block[65536];
    size_t Got;
    while ((Got = fread(Block, 1, sizeof Block, File)) > 0 && Data.size() <= dxbc::MaxContainerSize)
        Data.insert(Data.end(), Block, Block + Got);
    const bool Good = !ferror(File);
    fclose(File);
    return Good;
}

// Writes through a temporary name, so a build that stops half-way leaves no short file.
bool WriteFile(const std::string &Path, const dxbc::Bytes &Data)
{
    const std::string Temporary = Path + ".partial";
    FILE *File = fopen(Temporary.c_str(), "wb");
    if (!File) return false;
    const bool Written = fwrite(Data.data(), 1, Data.size(), File) == Data.size();
    if (fclose(File) != 0 || !Written) {
        remove(Temporary.c_str());
        return false;
    }
    return rename(Temporary.c_str(), Path.c_str()) == 0;
}

int WriteSet(const std::string &Folder)
{
    std::vector<dxbc::NamedShader> Set;
    std::string Error;
    if (!dxbc::BuildRepresentativeSet(Set, &Error)) {
        fprintf(stderr, "shader_emitter: %s\n", Error.c_str());
        return 1;
    }
    for (const dxbc::NamedShader &Shader : Set) {
        if (!WriteFile(Folder + "/" + Shader.FileName, Shader.Code)) {
            fprintf(stderr, "shader_emitter: cannot write %s/%s\n", Folder.c_str(), Shader.FileName.c_str());
            return 1;
        }
    }
    return 0;
}

int Dump(int Count, char **Paths)
{
    int Result = 0;
    for (int i = 0; i < Count; ++i) {
        dxbc::Bytes Data;
        if (!ReadFile(Paths[i], Data)) {
            fprintf(stderr, "shader_emitter: cannot read %s\n", Paths[i]);
            Result = 1;
            continue;
        }
        std::string Listing = "// " + std::string(Paths[i]) + "\n";
        if (!dxbc::DumpContainer(Data.data(), Data.size(), Listing)) Result = 1;
        fputs(Listing.c_str(), stdout);
    }
    return Result;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string Command = argc > 1 ? argv[1] : "";
    if (Command == "write-set" && argc == 3) return WriteSet(argv[2]);
    if (Command == "dump" && argc >= 3) return Dump(argc - 2, argv + 2);
    fprintf(stderr, "usage: shader_emitter write-set <folder>\n       shader_emitter dump <file>...\n");
    return 2;
}
