// Helpers of the shader emitter's host tests: the reference containers made by the platform's
// compiler, edits that damage a container for the readers' tests, and a scratch folder for
// files handed to outside programs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dxbc_container.h"

// The reference containers under tests/data/shader/reference/, by file name. The data folder
// comes from the environment (TARVEX_TEST_DATA_DIR), as for every test of the suite.
const std::vector<std::string> &ReferenceNames();
dxbc::Bytes ReadReference(const std::string &Name);

// Data with the word at byte At replaced by Value.
dxbc::Bytes Put(dxbc::Bytes Data, size_t At, uint32_t Value);
// The container with its checksum made right again.
dxbc::Bytes Resealed(dxbc::Bytes Data);
// Offset of the container's program chunk data (SHDR or SHEX), 0 when it has none.
size_t ProgramAt(const dxbc::Bytes &Container);

dxbc::Bytes ReadBytes(const std::string &Path);
void WriteBytes(const std::string &Path, const dxbc::Bytes &Data);

// A fresh folder under the system's temporary folder, removed with its files at exit.
std::string ScratchFolder();

// What vkd3d-compiler, the machine's own DXBC reader, makes of a container: its exit status
// (0 = accepted) and what it printed. Whether the program is installed.
struct Vkd3dVerdict {
    int Status = -1;
    std::string Output;
};
Vkd3dVerdict Vkd3dValidate(const dxbc::Bytes &Container, const std::string &Name);
// The verdicts on many (name, container) pairs, in their order: from the program's library in
// this process where it can be loaded, else (and from the second) from runs of the program,
// several at a time.
std::vector<Vkd3dVerdict> Vkd3dValidateAll(const std::vector<std::pair<std::string, dxbc::Bytes>> &Containers);
std::vector<Vkd3dVerdict> Vkd3dProgramValidateAll(const std::vector<std::pair<std::string, dxbc::Bytes>> &Containers);
bool HaveVkd3d();
bool HaveVkd3dLibrary();
