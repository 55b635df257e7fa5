// A test of the shell's widgets and state: AppState's defaults, the shell's tables and the frame's
// input are back at their start before and after each test (the window active, no key down, the
// mouse at 0, 0 with no button), and the test sets the input it needs.
#pragma once

#include <gtest/gtest.h>

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // One frame's input: the mouse in draw-screen pixels, the left button, the active flag.
  static void SetInput(int x, int y, bool leftDown, bool active = true);
};
