// The program started in-process as WinMain starts it: the library with its window and the
// program's menu (the test program links tarvex.rc), the interface resources and both engines.
// Each test starts the engines anew and ends them, with the state back at its defaults. Also the
// helpers such a test needs: waiting, and answering the modal boxes and file dialogs that the
// commands open.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

bool WaitFor(const std::function<bool()>& done, int milliseconds);

// One modal window of this process to answer: found by its caption (empty: any "#32770"), given
// `fileName` in its file-name field when that is not empty, then closed with `button`.
struct DialogAnswer {
  std::string caption;
  std::string fileName;
  int button;
};

// Answers the dialogs in order on a thread of its own, each as it appears (within 10 s); the
// commands are posted to the main window while the first one is open.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::vector<DialogAnswer> answers, std::vector<unsigned short> commandsWhileOpen = {});
  ~DialogAnswerer() { Answered(); }
  // How many were answered, once all have been or the waiting gave up.
  int Answered();

 private:
  std::atomic<int> answered_{0};
  std::thread thread_;
};

// Answers the next "Failed" box with OK.
class FailureBoxAnswerer : public DialogAnswerer {
 public:
  explicit FailureBoxAnswerer(std::vector<unsigned short> commandsWhileOpen = {})
      : DialogAnswerer({{"Failed", "", 1}}, std::move(commandsWhileOpen)) {}
  bool Seen() { return Answered() == 1; }
};

class ProgramSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  bool ended = false;  // the test ran the program's end itself
};
