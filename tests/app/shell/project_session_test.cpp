// Projects and "tarvex.ini" in the running program: plug-ins saved and reopened with their
// parameters, the path rule, failed saves that keep the earlier project, broken projects that
// change nothing, mutes that reach the song, and the last project reopened at start-up.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/sequencer/song_engine.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/project/project_files.h"
#include "app/shell/resource_ids.h"
#include "app/shell/shell_tables.h"
#include "app/shell/menu_commands.h"
#include "tests/app/shell/program_session.h"
#include "tests/support/test_files.h"
#include "tests/support/engine/plugin_fixture.h"

namespace {

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The values an instance received through setParameter, by index (the last one of each).
std::vector<float> ReceivedParameters(const TpInstance* instance) {
  std::vector<float> values;
  for (int i = 0; i < std::min(instance->paramTotal, kTpParamLogSize); ++i) {
    const TpParamRecord& r = instance->paramLog[i];
    if (r.index >= static_cast<int>(values.size())) values.resize(r.index + 1, -1.0f);
    values[r.index] = r.value;
  }
  return values;
}

class ProjectSessionTest : public ProgramSessionTest {
 protected:
  // The plug-in DLL `name` with `parameters` parameters in slot n, as the panes load one.
  void LoadInto(int n, const char* name, int32_t parameters) {
    const TestPluginLibrary& library = std::string(name) == "tp_vornalt" ? vornalt : kezmir;
    TpConfig config = {-1, -1, -1, {}, parameters, -1, -1};
    library.Configure(&config);
    const std::string path = TestPluginPath(name);
    ASSERT_EQ(0, LoadPlugin(n / 5, n % 5, path.c_str()));
    g_app.pluginLoaded[n] = 1;
    strcpy(g_app.pluginPaths[n], path.c_str());
  }
  void TearDown() override {
    ProgramSessionTest::TearDown();
    vornalt.Configure(nullptr);
    kezmir.Configure(nullptr);
  }

  TestPluginLibrary vornalt{TestPluginPath("tp_vornalt")};
  TestPluginLibrary kezmir{TestPluginPath("tp_kezmir")};
};

TEST_F(ProjectSessionTest, TwoPlugInsOfATrackComeBackWithEveryParameterAndTheirWindow) {
  LoadInto(15, "tp_vornalt", 10);
  LoadInto(16, "tp_kezmir", 4);
  for (int i = 0; i < 10; ++i) g_pluginSlots[15].SetParameter(i, i / 10.0f);
  for (int i = 0; i < 4; ++i) g_pluginSlots[16].SetParameter(i, 1.0f - i / 4.0f);
  g_app.windowOpen[16] = 1;

  ASSERT_TRUE(SaveProject("two.txt"));
  EXPECT_STREQ(".\\two.tvx", g_app.lastProjectPath);
  const std::string text = ReadFileBytes("two.tvx");
  EXPECT_EQ(1u, Count(text, "EfNum=")) << text;
  EXPECT_EQ(1u, Count(text, "Tr03EfNum=4\r\n"));
  EXPECT_EQ(1u, Count(text, "\r\nTr03Ef00Value001=0.100000001\r\n"));
  const size_t order[] = {
      text.find("[General]"),      text.find("Tr03Sl00VST="),      text.find("Tr03Sl01VST="),     text.find("[Bus]"),
      text.find("[VstParameter]"), text.find("Tr03Ef00Value009="), text.find("Tr03Ef01Value003=")};
  for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) EXPECT_LT(order[i - 1], order[i]) << i;

  UnloadPlugin(3, 0);
  UnloadPlugin(3, 1);
  g_app.pluginLoaded[15] = g_app.pluginLoaded[16] = 0;
  g_songs[0].tracks[3].fmInstrument = g_mdx.state.fmInstrument[3] = 0;
  // The file dialogs move the current directory; the plug-ins still load from where they were.
  CreateDirectoryA("elsewhere", nullptr);
  SetCurrentDirectoryA("elsewhere");
  const bool opened = OpenProject("..\\two.tvx");
  SetCurrentDirectoryA("..");
  ASSERT_TRUE(opened);
  const TpInstance* ten = TestPluginLibrary::Of(SlotOf(3, 0).effect);
  const TpInstance* four = TestPluginLibrary::Of(SlotOf(3, 1).effect);
  ASSERT_NE(nullptr, ten);
  ASSERT_NE(nullptr, four);
  EXPECT_EQ((std::vector<float>{0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f}), ReceivedParameters(ten));
  EXPECT_EQ((std::vector<float>{1.0f, 0.75f, 0.5f, 0.25f}), ReceivedParameters(four));
  EXPECT_EQ(1, g_app.pluginLoaded[15]);
  EXPECT_EQ(1, g_songs[0].tracks[3].fmInstrument) << "Vornalt in slot 0";
  EXPECT_EQ(1, g_mdx.state.fmInstrument[3]);
  EXPECT_NE(nullptr, g_shell.pluginWindows[16]) << "its window was open";
  EXPECT_EQ(nullptr, g_shell.pluginWindows[15]);
}

TEST_F(ProjectSessionTest, ProjectPathsTakeTheTvxExtensionWhereverTheyLie) {
  const std::string deep(120, 'f');
  CreateDirectoryA(deep.c_str(), nullptr);
  CreateDirectoryA("\x95\x5C", nullptr);  // "表": its second byte is 0x5C
  const struct {
    std::string chosen, written, remembered;
  } cases[] = {
      {"a.txt", "a.tvx", ".\\a.tvx"},
      {"b", "b.tvx", ".\\b.tvx"},
      {deep + "\\c.tvx", deep + "\\c.tvx", ".\\" + deep + "\\c.tvx"},
      {"\x95\x5C\\d.zms", "\x95\x5C\\d.tvx", ".\\\x95\x5C\\d.tvx"},
  };
  for (const auto& c : cases) {
    DeleteFileA(c.written.c_str());
    g_app.zoom = 7;
    ASSERT_TRUE(SaveProject(c.chosen.c_str())) << c.chosen;
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES == GetFileAttributesA(c.written.c_str()), false) << c.chosen;
    EXPECT_EQ(c.remembered, g_app.lastProjectPath);
    g_app.zoom = 3;
    ASSERT_TRUE(OpenProject(c.chosen.c_str()));
    EXPECT_EQ(7, g_app.zoom) << c.chosen;
  }
  const std::string tooLong = std::string(300, 'g') + "\\e.tvx";
  EXPECT_FALSE(SaveProject(tooLong.c_str()));
  EXPECT_EQ(cases[3].remembered, g_app.lastProjectPath);
}

TEST_F(ProjectSessionTest, AFailedSaveKeepsTheEarlierProjectAndTheSettings) {
  ASSERT_TRUE(SaveProject("kept.tvx"));
  ASSERT_TRUE(SaveAppSettings());
  const std::string project = ReadFileBytes("kept.tvx"), settings = ReadFileBytes("tarvex.ini");

  // A folder that does not exist.
  EXPECT_FALSE(SaveProject("no_such_folder\\new.tvx"));
  EXPECT_STREQ(".\\kept.tvx", g_app.lastProjectPath);

  // Through the menu and its file dialog: a name whose file beside it cannot be made.
  CreateDirectoryA("locked.tvx.tmp", nullptr);
  DialogAnswerer answers({{"", "locked.tvx", IDOK}, {"Failed", "", IDOK}});
  OnMenuCommand(TARVEX_CMD_SAVE_PROJECT);
  EXPECT_EQ(2, answers.Answered());
  EXPECT_STREQ(".\\kept.tvx", g_app.lastProjectPath);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("locked.tvx"));

  // The project held open without sharing by another program.
  g_app.zoom = 9;
  HANDLE held = CreateFileA("kept.tvx", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  EXPECT_FALSE(SaveProject("kept.tvx"));
  CloseHandle(held);
  EXPECT_EQ(project, ReadFileBytes("kept.tvx"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("kept.tvx.tmp"));
  ASSERT_TRUE(SaveAppSettings());
  EXPECT_EQ(settings, ReadFileBytes("tarvex.ini"));

  // A new name through the dialog is taken, and its save is confirmed.
  DeleteFileA("fresh.tvx");
  DialogAnswerer saved({{"", "fresh.tvx", IDOK}, {"completed", "", IDOK}});
  OnMenuCommand(TARVEX_CMD_SAVE_PROJECT);
  EXPECT_EQ(2, saved.Answered());
  EXPECT_STREQ(".\\fresh.tvx", g_app.lastProjectPath);
}

TEST_F(ProjectSessionTest, ABrokenProjectIsReportedAndChangesNothing) {
  LoadInto(0, "tp_vornalt", 10);
  static const char kGarbage[] = "\x00\xff\x13garbage\x80\r\n=\x01";
  const std::string cases[] = {
      std::string(kGarbage, sizeof kGarbage - 1),
      "[General\r\nWinPosX=1\r\niXmag=9\r\n",
      "[General]\r\niXmag=9\r\n" + std::string(1 << 20, 'z') + "\r\n",
  };
  for (const std::string& text : cases) {
    WriteText("broken.tvx", text);
    ASSERT_TRUE(SaveProjectFile("before.tvx"));
    FailureBoxAnswerer answer;
    EXPECT_FALSE(OpenProject("broken.tvx"));
    EXPECT_TRUE(answer.Seen());
    ASSERT_TRUE(SaveProjectFile("after.tvx"));
    EXPECT_EQ(ReadFileBytes("before.tvx"), ReadFileBytes("after.tvx"));
  }
}

TEST_F(ProjectSessionTest, LoadedSolosAndMutesReachTheSong) {
  WriteText("solo.tvx",
            "[General]\r\niSoloCounter=0\r\n[Bus]\r\nTr02Solo=true\r\nTr04Mute=true\r\nTr04Mute2=false\r\n"
            "Tr04Solo=1\r\nTr05Mute2=true\r\n");
  ASSERT_TRUE(OpenProject("solo.tvx"));
  EXPECT_EQ(2, g_app.soloCount);
  for (int c = 0; c < kMixerChannelCount; ++c) {
    const int muted = c == 2 || c == 4 ? 0 : 1;
    EXPECT_EQ(muted, g_app.mute[c]) << c;
    EXPECT_EQ(muted, g_songs[0].tracks[c].mute) << c;
  }
  WriteText("mute.tvx", "[Bus]\r\nTr02Solo=false\r\nTr04Solo=false\r\n");
  ASSERT_TRUE(OpenProject("mute.tvx"));
  EXPECT_EQ(0, g_app.soloCount);
  for (int c = 0; c < kMixerChannelCount; ++c) EXPECT_EQ(c == 5 ? 1 : 0, g_songs[0].tracks[c].mute) << c;
}

TEST_F(ProjectSessionTest, TheSettingsNameTheLastProjectWhichStartUpReopens) {
  DeleteFileA("tarvex.ini");
  EXPECT_EQ(0, LoadAppSettings());
  WriteText("tarvex.ini", "[config\r\n");
  EXPECT_EQ(0, LoadAppSettings());
  WriteText("tarvex.ini", "[config]\r\ninipj=\r\n");
  EXPECT_EQ(0, LoadAppSettings());

  g_app.zoom = 11;
  ASSERT_TRUE(SaveProject("last.tvx"));
  g_app.zoom = 4;
  ShutDownApp();
  EXPECT_EQ("[config]\r\ninipj=.\\last.tvx\r\n", ReadFileBytes("tarvex.ini"));
  g_app.lastProjectPath[0] = '\0';
  ASSERT_TRUE(StartAppEngines());
  EXPECT_EQ(11, g_app.zoom);
  EXPECT_STREQ(".\\last.tvx", g_app.lastProjectPath);
}

}  // namespace
