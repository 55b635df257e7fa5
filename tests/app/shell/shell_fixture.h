// A test of the shell's widgets and state: AppState's defaults, the shell's tables and the frame's
// input are back at their start before and after each test (the window active, no key down, the
// mouse at 0, 0 with no button), and the test sets the input it needs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // One frame's input: the mouse in draw-screen pixels, the left button, the active flag.
  static void SetInput(int x, int y, bool leftDown, bool active = true);
};

// A test that draws the shell's panes on the library's software renderer into AppState's 960 x 540
// draw screen and reads it back: graphics started once for the suite, the buttons laid out without
// images, the draw screen cleared to black.
class ShellDrawTest : public ShellTest {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  // The draw screen black again, opaque drawing.
  static void Clear();
  static bool started_;
};

// A pixel of the draw screen (0xRRGGBB), and whether some pixel of a box is exactly `colour`.
uint32_t DrawnPixel(int x, int y);
bool BoxHolds(int x0, int y0, int x1, int y1, uint32_t colour);
