// Cutting plug-in texts and deriving a plug-in's name from its library path.
#include <gtest/gtest.h>

#include <cstring>

#include "app/engine/plugin/plugin_text.h"

namespace {

TEST(PluginText, CutStopsAtTheLimitTheBufferOrTheFirstZero) {
  EXPECT_EQ("Vornalt", CutPluginText("Vornalt", 64, 32));
  EXPECT_EQ("Param", CutPluginText("Parameter1", 64, 5));
  EXPECT_EQ("Par", CutPluginText("Parameter1", 3, 32));  // no terminator inside the buffer
  EXPECT_EQ("ab", CutPluginText("ab\0cd", 5, 32));
  EXPECT_EQ("", CutPluginText(nullptr, 5, 32));
  // A double-byte character is never split at the cut: "ドラム" is 6 bytes.
  const char drums[] = "\x83\x68\x83\x89\x83\x80";
  EXPECT_EQ(std::string(drums, 4), CutPluginText(drums, sizeof drums, 5));
  EXPECT_EQ(std::string(drums, 6), CutPluginText(drums, sizeof drums, 6));
  // A trail byte that looks like a lead byte does not confuse the walk: "ア" + "A".
  EXPECT_EQ("\x83\x41" "A", CutPluginText("\x83\x41" "A", 8, 3));
}

TEST(PluginText, NameFromPathIsTheFileNameWithoutExtension) {
  struct Case {
    const char* path;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\VSTPlugins\\Bright Pad.dll", "Bright Pad"},
      {"Z:/work/testbin/tp_noname.dll", "tp_noname"},
      {"plain", "plain"},
      {"D:name.v2.dll", "name.v2"},
      {"C:\\dir.with.dots\\noext", "noext"},
      {"C:\\VST\\.dll", ""},
      {"", ""},
      {"C:\\VST\\", ""},
      // 0x95 0x5C is one character whose trail byte equals '\\'.
      {"C:\\VST\\\x95\x5C\x89\xB9.dll", "\x95\x5C\x89\xB9"},
      {"C:\\VST\\0123456789012345678901234567890123456789.dll", "0123456789012345678901234567890"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.name, PluginNameFromPath(c.path)) << c.path;
  EXPECT_EQ("", PluginNameFromPath(nullptr));

  // A path of any length gives a name of at most 31 bytes.
  std::string huge(5000, 'x');
  EXPECT_EQ(std::string(31, 'x'), PluginNameFromPath(("C:\\" + huge + ".dll").c_str()));
}

}  // namespace
