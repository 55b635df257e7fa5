// File helpers of the shader emitter's host tests: the reference containers made by the
// platform's compiler, and a scratch folder for files handed to outside programs.
#pragma once

#include <string>
#include <vector>

#include "dxbc_container.h"

// The reference containers under tests/data/shader/reference/, by file name. The data folder
// comes from the environment (TARVEX_TEST_DATA_DIR), as for every test of the suite.
const std::vector<std::string> &ReferenceNames();
dxbc::Bytes ReadReference(const std::string &Name);

dxbc::Bytes ReadBytes(const std::string &Path);
void WriteBytes(const std::string &Path, const dxbc::Bytes &Data);

// A fresh folder under the system's temporary folder, removed with its files at exit.
std::string ScratchFolder();
