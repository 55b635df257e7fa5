// The driver script's words: a value with spaces stands in double quotes, which are taken away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/app_driver/app_driver.h"

namespace {

TEST(DriverScript, QuotedValuesKeepTheirSpaces)
{
    const struct {
        std::string line;
        std::vector<std::string> words;
    } cases[] = {
        {"start Z:/b/tarvex.exe Z:/w TARVEX_LOG=1", {"start", "Z:/b/tarvex.exe", "Z:/w", "TARVEX_LOG=1"}},
        {"start \"C:\\My build\\tarvex.exe\" \"C:\\My songs\" A=\"x y\"",
         {"start", "C:\\My build\\tarvex.exe", "C:\\My songs", "A=x y"}},
        {"  render\t\"Z:/a folder/mix\"   0:05 ", {"render", "Z:/a folder/mix", "0:05"}},
        {"render \"\" 0:05", {"render", "", "0:05"}},
        {"file Z:/a b/c.zms", {"file", "Z:/a", "b/c.zms"}},
        {"", {}},
    };
    for (const auto &c : cases) EXPECT_EQ(c.words, SplitScriptWords(c.line)) << c.line;
}

}  // namespace
