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

// The plug-in windows' classes registered and the host at 44100 Hz in blocks of 1024, the windows
// hidden unless a test shows them (without a window manager Wine waits 2 s for every shown window
// that goes away); EndPluginWindows destroys the slots' windows and empties the slots.
void StartPluginWindows();
void EndPluginWindows();

// The current draw screen's pixel without its alpha (0x00RRGGBB).
uint32_t ScreenPixel(int x, int y);
// Whether some pixel of a box of the current draw screen is exactly `colour`.
bool BoxHolds(int x0, int y0, int x1, int y1, uint32_t colour);

// A ShellTest drawing on the software renderer without a window, with graphics started as the
// library's start starts them; a suite starts them at its draw screen's size.
class SoftwareGraphicsTest : public ShellTest {
 protected:
  static void StartGraphics(int width, int height);
  static void TearDownTestSuite();
  void SetUp() override;
  static uint32_t Pixel(int x, int y) { return ScreenPixel(x, y); }
  static bool started_;
};

// A test that draws the shell's panes into AppState's 960 x 540 draw screen and reads it back: the
// buttons laid out without images, the draw screen cleared to black.
class ShellDrawTest : public SoftwareGraphicsTest {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  // The draw screen black again, opaque drawing.
  static void Clear();
};
