// The shader emitter's command line (a host program, run at build time):
//   shader_emitter write-set <folder>       writes the representative set, one file per shader
//   shader_emitter write-standard <folder>  writes the standard set (the base pack's shaders)
//   shader_emitter write-3d <folder>        writes the 3-D set (the 3-D pack's shaders)
//   shader_emitter write-filter <folder>    writes the Direct3D 11 filter archive's shaders
//   shader_emitter dump <file>...           lists containers (chunks, signatures, program)
//   shader_emitter dump-sm2 <file>...       lists Direct3D 9 shader programs (shader model 2/3)
// Exit code 0 on success, 1 on a failure (reported on standard error), 2 on bad usage.
#include <stdio.h>

#include <string>
#include <vector>

#include "file_bytes.h"
#include "filter_set_d3d11.h"
#include "representative_set.h"
#include "sm2_dump.h"
#include "sm4_dump.h"
#include "standard_set.h"
#include "three_d_set.h"

namespace {

enum class Which { Representative, Standard, ThreeD, Filter };

int WriteSet(const std::string &Folder, Which Chosen)
{
    std::vector<dxbc::NamedShader> Set;
    std::string Error;
    const bool Built = Chosen == Which::Standard ? dxbc::BuildStandardSet(Set, &Error)
                       : Chosen == Which::ThreeD ? dxbc::BuildThreeDSet(Set, &Error)
                       : Chosen == Which::Filter ? dxbc::BuildD3D11FilterSet(Set, &Error)
                                              : dxbc::BuildRepresentativeSet(Set, &Error);
    if (!Built) {
        fprintf(stderr, "shader_emitter: %s\n", Error.c_str());
        return 1;
    }
    for (const dxbc::NamedShader &Shader : Set) {
        if (!dxbc::WriteFileBytes(Folder + "/" + Shader.FileName, Shader.Code)) {
            fprintf(stderr, "shader_emitter: cannot write %s/%s\n", Folder.c_str(), Shader.FileName.c_str());
            return 1;
        }
    }
    return 0;
}

int Dump(int Count, char **Paths, bool Sm2)
{
    int Result = 0;
    for (int i = 0; i < Count; ++i) {
        dxbc::Bytes Data;
        if (!dxbc::ReadFileBytes(Paths[i], Data)) {
            fprintf(stderr, "shader_emitter: cannot read %s\n", Paths[i]);
            Result = 1;
            continue;
        }
        std::string Listing = "// " + std::string(Paths[i]) + "\n";
        if (!(Sm2 ? sm2::DumpProgram(Data.data(), Data.size(), Listing)
                  : dxbc::DumpContainer(Data.data(), Data.size(), Listing)))
            Result = 1;
        fputs(Listing.c_str(), stdout);
    }
    return Result;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string Command = argc > 1 ? argv[1] : "";
    if (Command == "write-set" && argc == 3) return WriteSet(argv[2], Which::Representative);
    if (Command == "write-standard" && argc == 3) return WriteSet(argv[2], Which::Standard);
    if (Command == "write-3d" && argc == 3) return WriteSet(argv[2], Which::ThreeD);
    if (Command == "write-filter" && argc == 3) return WriteSet(argv[2], Which::Filter);
    if (Command == "dump" && argc >= 3) return Dump(argc - 2, argv + 2, false);
    if (Command == "dump-sm2" && argc >= 3) return Dump(argc - 2, argv + 2, true);
    fprintf(stderr,
            "usage: shader_emitter write-set <folder>\n       shader_emitter write-standard <folder>\n"
            "       shader_emitter write-3d <folder>\n       shader_emitter write-filter <folder>\n"
            "       shader_emitter dump <file>...\n       shader_emitter dump-sm2 <file>...\n");
    return 2;
}
