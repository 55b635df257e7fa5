#include "tests/app/shell/program_session.h"

#include <windows.h>

#include <commdlg.h>

#include "app/engine/plugin/plugin_slot.h"
#include "app/shell/app_startup.h"
#include "app/shell/app_state.h"
#include "app/shell/plugin_window/plugin_window_layout.h"
#include "tests/support/engine/plugin_fixture.h"
#include "tests/support/test_paths.h"
#include "zovuz/zovuz.h"

namespace {

void CopyInterfaceImages() {
  CreateDirectoryA("IMG", nullptr);
  for (const char* name : {"edit_button", "onoff_button", "TRANSPORTS", "PLUSMINUS", "MUTESOLO", "TRANSPORTS_BACK"}) {
    const std::string from = TestBuildDir() + "/IMG/" + name + ".png", to = std::string("IMG/") + name + ".png";
    CopyFileA(from.c_str(), to.c_str(), FALSE);
  }
}

// A dialog window of this process with the caption (any caption when empty).
HWND FindOwnDialog(const std::string& caption) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, "#32770", caption.empty() ? nullptr : caption.c_str()))) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// A dialog left open by an answer that went wrong would hold the test's thread for good: every
// dialog of this process is cancelled for a while.
void CancelStrayDialogs() {
  for (int i = 0; i < 100; ++i, Sleep(30)) {
    if (HWND dialog = FindOwnDialog("")) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

DialogAnswerer::DialogAnswerer(std::vector<DialogAnswer> answers, std::vector<unsigned short> commandsWhileOpen) {
  thread_ = std::thread([this, answers, commandsWhileOpen] {
    bool first = true;
    for (const DialogAnswer& answer : answers) {
      HWND dialog = nullptr;
      if (!WaitFor([&] { return (dialog = FindOwnDialog(answer.caption)) != nullptr; }, 10000)) {
        CancelStrayDialogs();
        return;
      }
      if (first) {
        for (unsigned short id : commandsWhileOpen) PostMessageA(GetMainWindowHandle(), WM_COMMAND, id, 0);
        first = false;
      }
      Sleep(200);
      // 0x47C: the file-name field of the common file dialogs.
      if (!answer.fileName.empty())
        SendMessageA(dialog, CDM_SETCONTROLTEXT, 0x47C, reinterpret_cast<LPARAM>(answer.fileName.c_str()));
      PostMessageA(dialog, WM_COMMAND, answer.button, 0);
      if (!WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 10000)) {
        CancelStrayDialogs();
        return;
      }
      ++answered_;
    }
  });
}

int DialogAnswerer::Answered() {
  if (thread_.joinable()) thread_.join();
  return answered_;
}

void ProgramSessionTest::SetUpTestSuite() {
  CopyInterfaceImages();
  g_app.instance = GetModuleHandleA(nullptr);
  g_app.showCommand = SW_HIDE;
  // The sessions' drawing tests read back what the software renderer drew.
  SetUseHardwareRenderFlag(0);
  ASSERT_EQ(0, InitLibraryAndScreen());
  ASSERT_TRUE(InitGuiResources());
}

void ProgramSessionTest::TearDownTestSuite() {
  LibraryEnd();
  // So that a repeated run registers them again.
  for (int32_t channel = 0; channel < kPluginChannelCount; ++channel)
    for (int32_t slot = 0; slot < kPluginPositionCount; ++slot)
      UnregisterClassA(PluginWindowClassName(channel, slot).c_str(), g_app.instance);
  UnregisterClassA("rendering", g_app.instance);
}

void ProgramSessionTest::SetUp() { ASSERT_TRUE(StartAppEngines()); }

void ProgramSessionTest::TearDown() {
  if (!ended) ShutDownApp();
  InitAppDefaults(g_app);
  ResetPluginSlots();
}
