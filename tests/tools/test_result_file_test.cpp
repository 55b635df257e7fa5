// The result file the runner names (tests/support/test_main.cpp) is the parent program's alone: a
// child copy of a test program that returns normally writes nothing there, so the runner neither
// takes the child's result for the parent's nor starts the parent's hang timer while it still runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"
#include "tests/support/test_result_file.h"

namespace {

// Run only as a child copy of this program.
TEST(TestResultFileChild, DISABLED_Passes) { SUCCEED(); }
TEST(TestResultFileChild, DISABLED_Fails) { ADD_FAILURE() << "the child's own failure"; }

TEST(TestResultFile, ChildrenThatReturnLeaveTheParentsFileEmpty)
{
    const std::string file = TestResultFile();
    ASSERT_FALSE(file.empty()) << "no result file was named: run the program through the build's wine-run";
    wchar_t self[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(nullptr, self, MAX_PATH));
    const struct
    {
        const wchar_t *Test;
        int Code;
    } children[] = {{L"DISABLED_Passes", 0}, {L"DISABLED_Fails", 1}};
    for (const auto &child : children) {
        std::string output;
        const int code = RunProgram(std::wstring(L"\"") + self +
                                        L"\" --gtest_also_run_disabled_tests --gtest_filter=TestResultFileChild." +
                                        child.Test,
                                    &output);
        EXPECT_EQ(child.Code, code) << output;
        EXPECT_EQ("", ReadFileBytes(file)) << "a child wrote the parent's result file";
    }
}

}  // namespace
