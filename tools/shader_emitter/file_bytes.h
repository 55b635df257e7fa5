// Whole files as bytes, for the emitter's command line and the tests that read its output.
#pragma once

#include <string>

#include "dxbc_container.h"

namespace dxbc {

// Reads the whole file; false when it cannot be opened or read, or is larger than any container.
bool ReadFileBytes(const std::string &Path, Bytes &Data);

// Writes through a temporary name and renames, so a build that stops half-way leaves no
// short file under the real name.
bool WriteFileBytes(const std::string &Path, const Bytes &Data);

}  // namespace dxbc
