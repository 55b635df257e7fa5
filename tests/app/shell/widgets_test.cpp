// The shared widgets driven frame by frame through the frame's input: image buttons, sliders,
// key edges, the slider drawn on the software renderer, and the duration text of the render
// dialog.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/shell_tables.h"
#include "app/shell/render/time_text.h"
#include "app/shell/panes/widgets.h"
#include "tests/app/shell/shell_fixture.h"
#include "zovuz/zovuz.h"

namespace {

// One frame: the mouse, the left button, the window's active flag, and what the widget gave.
struct ButtonFrame {
  int x, y;
  bool left, active;
  int click;     // UpdateImageButton's result
  uint8_t held;  // what the pane would draw pressed
};

TEST_F(ShellTest, ImageButtonsClickOnceInTheFirstFrameOfAPressThatBeginsInside) {
  // The button covers x 10-19 and y 20-29 inside its strict edges at (10, 20) and (20, 30).
  const struct {
    const char* name;
    std::vector<ButtonFrame> frames;
  } cases[] = {
      {"a long press inside clicks once, and again after a release",
       {{15, 25, true, true, 1, 1},
        {15, 25, true, true, 0, 1},
        {15, 25, true, true, 0, 1},
        {15, 25, false, true, 0, 0},
        {15, 25, true, true, 1, 1}}},
      {"a press that slides in never clicks",
       {{5, 25, true, true, 0, 0}, {15, 25, true, true, 0, 0}, {16, 26, true, true, 0, 0}}},
      {"a press that slides out and back does not click again",
       {{15, 25, true, true, 1, 1}, {30, 25, true, true, 0, 0}, {15, 25, true, true, 0, 0}}},
      {"nothing while the window is inactive, and nothing is changed",
       {{15, 25, true, false, 0, 0}, {15, 25, true, true, 1, 1}, {30, 25, false, false, 0, 1}}},
      {"a press on any edge is outside",
       {{10, 25, true, true, 0, 0},
        {15, 25, false, true, 0, 0},
        {20, 25, true, true, 0, 0},
        {15, 25, false, true, 0, 0},
        {15, 20, true, true, 0, 0},
        {15, 25, false, true, 0, 0},
        {15, 30, true, true, 0, 0},
        {15, 25, false, true, 0, 0},
        {11, 21, true, true, 1, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ImageButton button = {10, 20, 10, 10, 1, 2, 0, 0};
    for (size_t f = 0; f < c.frames.size(); ++f) {
      const ButtonFrame& frame = c.frames[f];
      SetInput(frame.x, frame.y, frame.left, frame.active);
      EXPECT_EQ(UpdateImageButton(button), frame.click) << "frame " << f;
      EXPECT_EQ(button.held, frame.held) << "frame " << f;
    }
  }
}

struct SliderFrame {
  int x, y;
  bool left, active;
  float value;
  uint8_t dragging;
};

TEST_F(ShellTest, SlidersFollowADragThatBeginsInsideTheirFrame) {
  // x 10, width 102: the inner width is 100, so the pointer at x 11 + n reads n / 100.
  const struct {
    const char* name;
    std::vector<SliderFrame> frames;
  } cases[] = {
      {"a drag sets the value from the pointer, snapping at both ends",
       {{61, 15, true, true, 0.5f, 1},
        {12, 15, true, true, 0.0f, 1},  // 1 %
        {13, 15, true, true, 0.02f, 1},
        {109, 15, true, true, 0.98f, 1},
        {110, 15, true, true, 1.0f, 1},  // 99 %
        {61, 15, false, true, 1.0f, 0}}},
      {"dragging outside stops the drag",
       {{61, 15, true, true, 0.5f, 1}, {5, 15, true, true, 0.0f, 0}, {300, 15, true, true, 0.0f, 0}}},
      {"a press on the frame or outside starts nothing",
       {{11, 15, true, true, 0.25f, 0},
        {61, 11, true, true, 0.25f, 0},
        {111, 15, true, true, 0.25f, 0},
        {61, 18, true, true, 0.25f, 0}}},
      {"an inactive window moves nothing",
       {{61, 15, true, false, 0.25f, 0}, {61, 15, true, true, 0.5f, 1}, {90, 15, false, false, 0.5f, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Slider slider = g_shell.sliders[kPanFader];
    slider.x = 10;
    slider.y = 10;
    slider.width = 102;
    slider.height = 9;
    slider.value = 0.25f;
    for (size_t f = 0; f < c.frames.size(); ++f) {
      const SliderFrame& frame = c.frames[f];
      SetInput(frame.x, frame.y, frame.left, frame.active);
      UpdateSlider(slider);
      EXPECT_FLOAT_EQ(slider.value, frame.value) << "frame " << f;
      EXPECT_EQ(slider.dragging, frame.dragging) << "frame " << f;
    }
  }
}

TEST_F(ShellTest, KeysArePushedOnlyInTheFirstFrameTheyAreSeenDown) {
  const struct {
    bool down;
    bool pushed;
  } frames[] = {{false, false}, {true, true}, {true, false}, {false, false}, {true, true}};
  for (const auto& f : frames) {
    g_frameInput.keys[kKeySpace] = f.down ? 1 : 0;
    EXPECT_EQ(IsKeyPushed(kKeySpace), f.pushed);
    EXPECT_FALSE(IsKeyPushed(kKeyEscape));
  }
  EXPECT_FALSE(IsKeyPushed(-1));
  EXPECT_FALSE(IsKeyPushed(kKeyCount));
}

TEST_F(ShellTest, TheMouseIsHalvedToTheDrawScreenRoundingTowardZero) {
  StoreFrameMouse(g_app, 1299, -3, MOUSE_INPUT_LEFT | MOUSE_INPUT_RIGHT);
  EXPECT_EQ(g_app.mouse.x, 649);
  EXPECT_EQ(g_app.mouse.y, -1);
  EXPECT_EQ(g_app.mouse.buttons, MOUSE_INPUT_LEFT | MOUSE_INPUT_RIGHT);
}

TEST(TimeText, DurationsAreMinutesAndSecondsClampedIntoTheirRanges) {
  const struct {
    const char* text;
    int32_t seconds;
  } cases[] = {
      {"1:05", 65}, {"130", 59},         {"120:00", 5940},
      {"1:2:3", 0}, {"abc", 0},          {"", 0},
      {"-5", 0},    {"99999999999", 59}, {"9223372036854775808:7", 5947},
      {" +7x", 7},  {"2:x", 120},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTimeText(c.text), c.seconds) << '"' << c.text << '"';
}

TEST(TimeText, SplittingKeepsEmptyPieces) {
  const struct {
    const char* text;
    const char* delimiter;
    std::vector<std::string> parts;
  } cases[] = {
      {"1:05", ":", {"1", "05"}},    {"1:", ":", {"1", ""}},       {"", ":", {""}},
      {"a::b", ":", {"a", "", "b"}}, {"a--b-", "--", {"a", "b-"}}, {"a:b", "", {"a:b"}},
  };
  std::vector<std::string> parts = {"left over"};
  for (const auto& c : cases) {
    SplitString(c.text, c.delimiter, parts);
    EXPECT_EQ(parts, c.parts) << '"' << c.text << '"';
  }
}

class SliderDrawing : public SoftwareGraphicsTest {
 protected:
  static void SetUpTestSuite() { StartGraphics(160, 120); }
  void SetUp() override {
    SoftwareGraphicsTest::SetUp();
    if (HasFatalFailure()) return;
    SetDrawScreen(DX_SCREEN_BACK);
    SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
    SetBackgroundColor(0, 0, 0);
    ClearDrawScreen(nullptr);
  }
};

// One channel of a 50 % blend of `over` on `under` (either rounding).
bool HalfBlended(uint32_t pixel, uint32_t over, uint32_t under) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int got = (pixel >> shift) & 0xFF;
    const int mid = (((over >> shift) & 0xFF) + ((under >> shift) & 0xFF)) / 2;
    if (got < mid - 1 || got > mid + 1) return false;
  }
  return true;
}

TEST_F(SliderDrawing, TheBarEndsAtTheValueAndTheCentreLineIsHalfBlended) {
  Slider slider = g_shell.sliders[kVolumeFader];
  slider.x = 10;
  slider.y = 20;
  slider.width = 52;  // inner width 50
  slider.height = 8;
  const uint32_t background = slider.background & 0xFFFFFF, frame = slider.frame & 0xFFFFFF;
  for (int highlighted : {0, 1}) {
    const uint32_t fill = (highlighted ? slider.fillHighlighted : slider.fill) & 0xFFFFFF;
    const uint32_t line = (highlighted ? slider.centreLineHighlighted : slider.centreLine) & 0xFFFFFF;
    for (float value : {0.33f, 0.9f}) {
      SCOPED_TRACE(testing::Message() << "highlighted " << highlighted << " value " << value);
      slider.value = value;
      const int end = 10 + 1 + static_cast<int>(50 * value);  // 27, 56
      ClearDrawScreen(nullptr);
      DrawSlider(slider, highlighted, 0);
      EXPECT_EQ(Pixel(10, 24), frame);
      EXPECT_EQ(Pixel(62, 24), 0u);  // right edge exclusive
      for (int y : {21, 26}) {
        EXPECT_EQ(Pixel(end - 1, y), fill);
        EXPECT_EQ(Pixel(end, y), background);
      }

      ClearDrawScreen(nullptr);
      DrawSlider(slider, highlighted, 1);
      SetDrawBlendMode(DX_BLENDMODE_NOBLEND, 0);
      EXPECT_EQ(Pixel(end, 23), fill);  // the mark, in place of a bar
      EXPECT_EQ(Pixel(end - 1, 23), background);
      EXPECT_PRED3(HalfBlended, Pixel(36, 23), line, background);  // x + width / 2
      EXPECT_EQ(Pixel(36, 20), frame);
    }
  }
}

}  // namespace
