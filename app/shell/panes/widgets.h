// The widgets every pane shares, drawn and tested anew each frame against the frame's input
// (frame_input.h): the image button, the horizontal slider and the key-edge test. A point is
// inside a widget only strictly inside all four of its edges.
#pragma once

#include <cstdint>

struct ImageButton {
  int32_t x, y, width, height;  // draw-screen pixels
  int32_t normalImage;          // graph handles
  int32_t pressedImage;
  uint8_t pressed;  // the left button is down and its press was taken, or began outside
  uint8_t held;     // a press that began inside is still inside: the panes draw pressedImage
};

struct Slider {
  int32_t x, y, width, height;
  float value;  // 0.0-1.0
  uint32_t background;
  uint32_t frame;
  uint32_t fillHighlighted;
  uint32_t fill;
  uint32_t centreLineHighlighted;
  uint32_t centreLine;
  uint8_t dragging;
};

// 1 in the first frame of a left press that begins inside the button, else 0. A press that
// begins outside is never reported, and nothing happens while the window is inactive.
int UpdateImageButton(ImageButton& button);

// True while the pointer is strictly inside the button (a hover, whatever the mouse buttons).
bool IsPointerOverButton(const ImageButton& button);

// Stores a value, snapping 0.01 or less to 0.0 and above 0.985 to 1.0.
void SetSliderValue(Slider& slider, float value);

// Follows the left button: a press inside the slider's inner area starts a drag, the drag sets
// the value from the pointer's x, and leaving the slider or letting go ends it.
void UpdateSlider(Slider& slider);

// Background and frame, then a bar from the left up to the value, or (centreLine 1) a dimmed
// centre line and a one-pixel mark at the value. Each flag counts only when it is 1.
void DrawSlider(const Slider& slider, int highlighted, int centreLine);

// True only in the first call that sees the key down; the key must be seen up before it counts
// again. Codes outside 0-255 are never pushed.
bool IsKeyPushed(int code);
