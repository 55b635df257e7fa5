#include "app/shell/panes/widgets.h"

#include <cmath>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/shell_tables.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics.h"

namespace {

constexpr float kSliderSnapLow = 0.01f;
constexpr float kSliderSnapHigh = 0.985f;
constexpr int kCentreLineAlpha = 128;
constexpr int kOpaqueAlpha = 256;  // the library takes it as 255

bool LeftButtonDown() { return (g_app.mouse.buttons & MOUSE_INPUT_LEFT) != 0; }

// Strictly inside all four edges of the rectangle (x, y, width, height).
bool PointerInside(int32_t x, int32_t y, int32_t width, int32_t height) {
  const MouseState& m = g_app.mouse;
  return x < m.x && m.x < x + width && y < m.y && m.y < y + height;
}

// The value the pointer's x stands for on the slider's inner width. A slider too narrow to have
// an inner width has no value to give but 0.
float PointerValue(const Slider& slider) {
  const int32_t inner = slider.width - 2;
  if (inner <= 0) return 0.0f;
  return static_cast<float>(g_app.mouse.x - slider.x - 1) / static_cast<float>(inner);
}

}  // namespace

int UpdateImageButton(ImageButton& button) {
  if (!g_frameInput.windowActive) return 0;
  const bool inside = PointerInside(button.x, button.y, button.width, button.height);
  if (button.held == 1 && !inside) button.held = 0;
  if (!LeftButtonDown()) {
    button.pressed = 0;
    button.held = 0;
    return 0;
  }
  if (button.pressed == 0 && inside && button.held == 0) {
    button.held = 1;
    return 1;
  }
  button.pressed = 1;
  return 0;
}

bool IsPointerOverButton(const ImageButton& button) {
  return PointerInside(button.x, button.y, button.width, button.height);
}

void SetSliderValue(Slider& slider, float value) {
  if (value <= kSliderSnapLow) {
    slider.value = 0.0f;
  } else if (value > kSliderSnapHigh) {
    slider.value = 1.0f;
  } else {
    slider.value = value;
  }
}

void UpdateSlider(Slider& slider) {
  if (!g_frameInput.windowActive) return;
  if (!LeftButtonDown()) {
    slider.dragging = 0;
    return;
  }
  if (slider.dragging) {
    SetSliderValue(slider, PointerValue(slider));
    if (!PointerInside(slider.x, slider.y, slider.width, slider.height)) slider.dragging = 0;
    return;
  }
  // A drag starts only inside the frame.
  if (PointerInside(slider.x + 1, slider.y + 1, slider.width - 2, slider.height - 2)) {
    SetSliderValue(slider, PointerValue(slider));
    slider.dragging = 1;
  }
}

void DrawSlider(const Slider& slider, int highlighted, int centreLine) {
  const bool lit = highlighted == 1;
  const int32_t right = slider.x + slider.width;
  const int32_t bottom = slider.y + slider.height;
  DrawFillBox(slider.x, slider.y, right, bottom, slider.background);
  DrawLineBox(slider.x, slider.y, right, bottom, slider.frame);

  const int32_t valueX =
      slider.x + 1 + static_cast<int32_t>(std::floor(static_cast<float>(slider.width - 2) * slider.value));
  const uint32_t fill = lit ? slider.fillHighlighted : slider.fill;
  if (centreLine != 1) {
    DrawFillBox(slider.x + 1, slider.y + 1, valueX, bottom - 1, fill);
    return;
  }
  const int32_t middle = slider.x + slider.width / 2;
  SetDrawBlendMode(DX_BLENDMODE_ALPHA, kCentreLineAlpha);
  DrawLine(middle, slider.y + 1, middle, bottom - 1, lit ? slider.centreLineHighlighted : slider.centreLine);
  SetDrawBlendMode(DX_BLENDMODE_ALPHA, kOpaqueAlpha);
  DrawLine(valueX, slider.y + 1, valueX, bottom - 1, fill, 1);
}

bool IsKeyPushed(int code) {
  if (code < 0 || code >= kKeyCount) return false;
  uint8_t& seen = g_shell.keyEdges[code];
  const bool down = g_frameInput.keys[code] != 0;
  if (seen == 0 && down) {
    seen = 1;
    return true;
  }
  if (seen == 1 && !down) seen = 0;
  return false;
}
