// The shell's frame: one pass of the frame loop (input, the plug-in windows' messages, drawing,
// presentation and the window's messages) and the per-frame update that lays out the window and
// hands the frame to the panes of the current mode. User-interface thread.
#pragma once

#include <cstdint>

struct AppState;

// The panes a frame draws besides the transport bar, each null until it is built.
struct FramePanes {
  void (*instrumentPane)();                       // at AppState::instrumentPane
  void (*inspectorPane)(int32_t below);           // below: under the instrument pane, else at the top
  void (*playerTrackList)(int32_t fullWidth);     // MDX mode; fullWidth: no side pane is shown
  void (*sequencerTrackView)(int32_t fullWidth);  // MML mode
};

extern FramePanes g_framePanes;

// Watches, on the calling user-interface thread, for the main window coming back to the user (the
// end of a menu, of a move or size loop, the activation given back; see HoldKeysOfTheReturn) and
// answers a driver's question for the frames read. Started before the program takes its first
// message: the start-up's own message pumps already run menus, dialogs and commands, and the
// Escape that closed a menu there is held by the first frame as by any other. Once; later calls
// do nothing.
void StartWindowReturnWatch();

// One frame after the first ProcessMessage: keys (Escape ends the program), the plug-in windows of
// channels 0-7, the cleared draw screen, the mouse, UpdateFrame, and unless Exit was chosen the
// draw screen shown stretched to 1920 x 1080 and the window's messages (nothing drawn or shown
// while the window is minimised). 0 to go on, non-zero when the program is to end.
int RunFrame();

// The frame's update and picture: the draw screen cleared, the mouse, UpdateFrame and, unless Exit
// was chosen, the draw screen shown. Minimised, the same update with nothing drawn and nothing
// shown, the flip keeping the frames' pace. Non-zero when the program is to end.
int UpdateAndShowFrame(bool minimised);

// The frame's update: the client rectangle, the plug-in editors' idle, the side panes, the track
// area, and the transport, track view and keys of the current mode.
void UpdateFrame();

// Draws the side panes the toggles show and sets both track-area rectangles from the client
// rectangle and the scroll position; the full-width flag (1 when no side pane is shown).
int32_t UpdateSidePanes(AppState& app);

// Wheel scrolling of the track view: `notches` turned since the last frame push the velocity, which
// decays by one a frame; the position stays within 22 and -17 row heights, stopping at either.
void ScrollTrackView(AppState& app, int32_t notches);

// The plug-in editors' idle call, at most every 100 ms of the library's microsecond clock.
void IdlePluginEditors();
// The same at a given reading of the clock (microseconds; negative: no clock).
void IdlePluginEditorsAt(int64_t now);

// Shows the draw screen: drawn stretched to 1920 x 1080 on the back screen, then flipped.
void ShowDrawScreen();

// At most one message for each open plug-in window of channels 0-7 (the library's message
// processing serves the others).
void PumpPluginWindows();

// The main window's client rectangle into app.clientRect (unchanged without a window).
void ReadClientRect(AppState& app);
