#include <algorithm>
#include <cstring>

#include "app/engine/mixer/wave_file.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/render/render_dialog.h"
#include "zovuz/zovuz.h"

namespace {

constexpr uint32_t kCentreLineColour = 0x88888888, kBarColour = 0xFF888888, kEnvelopeColour = 0xFFFFFFFF;
constexpr uint32_t kPositionColour = 0x88FF8888, kTextColour = 0xFFFFFFFF;
constexpr float kFullScale = 32768.0f;

// A peak value as a bar length: Q pixels at full scale, larger values lower on the screen.
int32_t Scaled(int16_t value, int32_t q) { return static_cast<int32_t>(value / kFullScale * q); }

void DrawWaveform(const AppState& app, int32_t pos, int32_t q) {
  const int32_t centre[kRenderWaveRows] = {q, 3 * q, q, 3 * q};
  const int32_t last = std::min(pos, kRenderColumns);
  for (int32_t x = 1; x < last; ++x) {
    for (int row = 0; row < kRenderWaveRows; ++row)
      DrawLine(x, centre[row], x, centre[row] + Scaled(app.renderWave[row][x], q), kBarColour, 1);
    for (int row = 0; row < kRenderWaveRows; ++row) {
      DrawLine(x - 1, centre[row] + Scaled(app.renderWave[row][x - 1], q), x,
               centre[row] + Scaled(app.renderWave[row][x], q), kEnvelopeColour, 1);
    }
  }
}

}  // namespace

RenderProgress ReadRenderProgress(const WaveFile& wave, int32_t halfWidth) {
  // The flag first: the tick that fills the capture disarms it and sets the index back to 0, so
  // a disarmed capture is a complete one.
  const bool armed = wave.armed != 0;
  const int32_t frames = wave.frameCount;
  const int32_t index = armed ? wave.captureIndex : frames;
  if (frames <= 0) return RenderProgress{0, 0, 0};
  const int32_t column = halfWidth > 0 ? static_cast<int32_t>(static_cast<float>(index) / frames * halfWidth) : 0;
  const int32_t percent = static_cast<int32_t>(index * 100.0 / frames);
  return RenderProgress{index, column, percent};
}

void UpdateRenderPeaks(AppState& app, const WaveFile& wave, int32_t pos) {
  pos = std::min(pos, kRenderColumns - 1);
  if (app.renderLastColumn >= pos) return;
  const float ratio = app.renderHalfWidth > 0 ? static_cast<float>(wave.frameCount) / app.renderHalfWidth : 0.0f;
  if (ratio > 1.0f && wave.left && wave.right) {
    // Columns passed over in one step would still show an earlier render.
    for (int32_t x = std::max(app.renderLastColumn + 1, 0); x <= pos; ++x)
      for (int row = 0; row < kRenderWaveRows; ++row) app.renderWave[row][x] = 0;
    const int32_t first = static_cast<int32_t>(app.renderLastColumn * ratio);
    const int32_t end = std::min(static_cast<int32_t>(pos * ratio), wave.frameCount);
    int16_t(&w)[kRenderWaveRows][kRenderColumns] = app.renderWave;
    for (int32_t f = std::max(first, 0); f < end; ++f) {
      w[kRenderLeftMax][pos] = std::max(w[kRenderLeftMax][pos], wave.left[f]);
      w[kRenderRightMax][pos] = std::max(w[kRenderRightMax][pos], wave.right[f]);
      w[kRenderLeftMin][pos] = std::min(w[kRenderLeftMin][pos], wave.left[f]);
      w[kRenderRightMin][pos] = std::min(w[kRenderRightMin][pos], wave.right[f]);
    }
  }
  app.renderLastColumn = pos;
}

void RunRenderProgressLoop() {
  AppState& app = g_app;
  const int32_t w = app.renderHalfWidth, h = app.renderHalfHeight, q = h / 4;
  app.renderLastColumn = 0;  // a new render draws from column 0
  while (ProcessMessage() == 0) {
    SetDrawScreen(app.drawScreen);
    ClearDrawScreen(nullptr);
    ReadFrameMouse(app);
    DrawLine(0, q, w, q, kCentreLineColour, 1);
    DrawLine(0, 3 * q, w, 3 * q, kCentreLineColour, 1);
    const bool complete = g_waveFile.armed == 0;
    const RenderProgress progress = ReadRenderProgress(g_waveFile, w);
    UpdateRenderPeaks(app, g_waveFile, progress.column);
    DrawWaveform(app, progress.column, q);
    DrawLine(progress.column, 0, progress.column, h, kPositionColour, 1);
    char text[32];
    std::snprintf(text, sizeof text, "Rendering...(%d/100)", static_cast<int>(progress.percent));
    DrawFormatString(w / 2 - static_cast<int32_t>(std::strlen(text) / 2) * 5, h / 2 - 5, kTextColour, "%s", text);
    ShowDrawScreen();
    if (complete) break;
  }
}
