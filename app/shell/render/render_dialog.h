// The render-to-WAV dialog (class "rendering") and the progress shown on the main window while a
// render plays the song from its start in real time into the one WaveFile. User-interface thread.
#pragma once

#include <cstdint>

struct AppState;
struct HINSTANCE__;
struct WaveFile;

// Registers the window class "rendering"; false when it fails.
bool RegisterRenderDialogClass(HINSTANCE__* instance);

// Menu command 117: opens the dialog, or brings the one already open to the front.
void OpenRenderDialog();

// Draws the progress until the capture is full (the last pass drawn at 100 %) or the library's
// message processing reports the end of the program.
void RunRenderProgressLoop();

// One pass's waveform columns: the capture has reached column `pos` of the half width; the
// frames since the last column drawn are folded into column `pos` (columns passed over are
// cleared), and the last column becomes `pos`.
void UpdateRenderPeaks(AppState& app, const WaveFile& wave, int32_t pos);

// The capture's column and percent for one pass; a disarmed capture is complete.
struct RenderProgress {
  int32_t index;    // frames captured
  int32_t column;   // 0 to the half width
  int32_t percent;  // 0-100
};
RenderProgress ReadRenderProgress(const WaveFile& wave, int32_t halfWidth);
