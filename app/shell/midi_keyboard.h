// The MIDI keyboard on input device 0: opened at start-up and closed at shut-down through the
// engine's MIDI input, whose callback plays the current track (AppState::SetCurrentTrack).
#pragma once

struct AppState;

// Opens and starts the device; app.midiInputOpen says whether it is open. Without a device the
// program runs on without live input.
void OpenAppMidiInput(AppState& app);

// Stops and closes the device when it was opened; nothing otherwise.
void CloseAppMidiInput(AppState& app);
