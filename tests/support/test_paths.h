// Where a test finds the build and the test data. CTest passes both folders in the environment
// (TARVEX_BUILD_DIR, TARVEX_TEST_DATA_DIR, as Windows paths), so no test program carries an
// absolute path of the machine that built it. A missing variable fails the calling test.
#pragma once

#include <string>

// The build folder, e.g. "Z:/work/wt/x/build".
std::string TestBuildDir();
// tests/data of the sources.
std::string TestDataDir();
// A file the build made for the tests: <build>/testbin/<name> (test plug-ins, probe DLLs).
std::string TestBinPath(const std::string &Name);
