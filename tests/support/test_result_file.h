// The file the test runner (the build's wine-run) names for a test program's result, kept by the
// program's entry (test_main.cpp) when it starts. The program writes its result there just before
// it ends; the runner takes a written result for the program's end and starts its hang timer.
// A child copy of the program (a test that runs this program again) is not told the file: a child
// that returned normally would otherwise write its result as the parent's.
#pragma once

#include <string>

// The file as a Windows path ("Z:/tmp/tarvex-exit.XXXXXX"); empty when the runner named none.
std::string TestResultFile();
