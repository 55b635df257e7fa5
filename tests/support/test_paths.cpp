#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

std::string FromEnvironment(const char *Name)
{
    const char *value = getenv(Name);
    if (value == nullptr || *value == '\0') {
        ADD_FAILURE() << Name << " is not set: run the test through CTest (scripts/test)";
        return std::string();
    }
    return value;
}

}  // namespace

std::string TestBuildDir() { return FromEnvironment("TARVEX_BUILD_DIR"); }

std::string TestDataDir() { return FromEnvironment("TARVEX_TEST_DATA_DIR"); }

std::string TestBinPath(const std::string &Name) { return TestBuildDir() + "/testbin/" + Name; }
