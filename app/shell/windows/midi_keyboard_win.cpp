#include "app/shell/midi_keyboard.h"

#include "app/engine/windows/midi_input_win.h"
#include "app/shell/app_state.h"

void OpenAppMidiInput(AppState& app) { app.midiInputOpen = OpenMidiInput() ? 1 : 0; }

void CloseAppMidiInput(AppState& app) {
  if (!app.midiInputOpen) return;
  CloseMidiInput();
  app.midiInputOpen = 0;
}
