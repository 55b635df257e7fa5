// Plug-in windows that reopen from a project stay on the screen and usable, driven as a user
// drives them, by clicks through the system's input at the places where their buttons show:
// an instrument whose editor reports no size (a window as tall as its hundred parameters),
// saved far off the screen, and a plug-in without an editor (the parameter view, narrower than
// the row of controls).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/app/shell/e2e_fixture.h"
#include "tests/support/test_files.h"
#include "tests/support/test_paths.h"

namespace {

constexpr int kNextProgram = 5;  // the "+" button's control id

RECT WorkArea() {
  RECT area = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

class E2ePluginWindows : public E2eRoadTest {
 protected:
  void SetUp() override {
    E2eRoadTest::SetUp();
    ASSERT_TRUE(CopyFileW(Wide(TestBinPath("tp_plain.dll")).c_str(), Path("tp_plain.dll").c_str(), FALSE));
    // tp_kezmir in track 0 saved at (100000, 100000); tp_plain in track 1, whose instrument slot
    // hands it the program changes.
    ASSERT_TRUE(WriteFileBytes(Path("proj.tvx"),
                               std::string("[Track]\r\nTr00Sl00VST=.\\tp_kezmir.dll\r\nTr00Sl00PosX=100000\r\n"
                                           "Tr00Sl00PosY=100000\r\nTr01Sl00VST=.\\tp_plain.dll\r\nTr01Sl00PosX=1400\r\n"
                                           "Tr01Sl00PosY=80\r\n[Bus]\r\nTr00Ef00EditButton=true\r\n"
                                           "Tr01Ef00EditButton=true\r\n")));
  }

  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  // The program changes the plug-in received (the data byte of each C0 message), from its log.
  std::vector<int> ProgramChanges(const std::string& plugin) {
    instrument_ = plugin;  // whose log PluginLog reads
    std::vector<int> programs;
    for (const std::string& line : PluginLog()) {
      unsigned status = 0, program = 0, zero = 0;
      if (std::sscanf(line.c_str(), "midi %x %x %x", &status, &program, &zero) == 3 && status == 0xC0)
        programs.push_back(static_cast<int>(program));
    }
    return programs;
  }

  // "+" clicked where it shows, three times: the plug-in's three programs go 1, 2 and back to 0.
  void ClickNextProgramThrice(HWND window, const std::string& plugin) {
    HWND plus = GetDlgItem(window, kNextProgram);
    ASSERT_NE(nullptr, plus);
    RECT button;
    GetWindowRect(plus, &button);
    POINT centre = {(button.left + button.right) / 2, (button.top + button.bottom) / 2};
    ScreenToClient(window, &centre);
    for (int click = 0; click < 3; ++click) driver_.ClickInWindow(window, centre.x, centre.y);
    EXPECT_TRUE(WaitUntil([&] { return ProgramChanges(plugin).size() >= 3; }, kPlayWaitMs))
        << plugin << ": the clicks on \"+\" at " << centre.x << "," << centre.y << " did not reach it";
    EXPECT_EQ((std::vector<int>{1, 2, 0}), ProgramChanges(plugin)) << plugin;
  }
};

// The instrument's window, saved far off the screen and 30 pixels a parameter tall, shows whole
// on the work area with its control row at the bottom of its client, and its "+" works; the
// window without an editor is as wide as its control row, and its "+" works too.
TEST_F(E2ePluginWindows, WindowsFromAProjectShowWholeAndTheirPlusButtonsTakeClicks) {
  StartProgram();
  ASSERT_TRUE(WaitForWindow(L"vst00")) << driver_.DescribeWindows();
  ASSERT_TRUE(WaitForWindow(L"vst10")) << driver_.DescribeWindows();
  const RECT work = WorkArea();

  HWND instrument = driver_.FindWindowOf(L"vst00");
  RECT outer, client, plus;
  GetWindowRect(instrument, &outer);
  EXPECT_TRUE(outer.left >= work.left && outer.top >= work.top && outer.right <= work.right &&
              outer.bottom <= work.bottom)
      << "the window stands at " << outer.left << "," << outer.top << "-" << outer.right << "," << outer.bottom;
  GetClientRect(instrument, &client);
  GetWindowRect(GetDlgItem(instrument, kNextProgram), &plus);
  MapWindowPoints(nullptr, instrument, reinterpret_cast<POINT*>(&plus), 2);
  EXPECT_LE(plus.bottom, client.bottom) << "the control row is below the client";
  EXPECT_GT(plus.bottom, client.bottom - 40) << "the control row is not at the client's bottom";
  ClickNextProgramThrice(instrument, "tp_kezmir");

  HWND plain = driver_.FindWindowOf(L"vst10");
  GetClientRect(plain, &client);
  GetWindowRect(GetDlgItem(plain, kNextProgram), &plus);
  MapWindowPoints(nullptr, plain, reinterpret_cast<POINT*>(&plus), 2);
  EXPECT_LE(plus.right, client.right) << "\"+\" stands past the client's right edge";
  ClickNextProgramThrice(plain, "tp_plain");
  ExitProgram();
}

}  // namespace
