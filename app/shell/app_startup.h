// The program's start and end around the frame loop, in their fixed order: the library's set-up
// calls and start, the interface's resources, the engines and MIDI input, and at the end the
// engines, the plug-ins and MIDI input stopped while the library still runs. WinMain calls them
// in that order; the in-process tests start the program the same way.
#pragma once

// The library's set-up calls, its start, the draw screen and the transport background. 0, or -1
// when the library did not start.
int InitLibraryAndScreen();

// The plug-in windows' classes, the button images and their layout, the font and background
// settings, the side panes. False when a window class could not be registered.
bool InitGuiResources();

// The working directory, the plug-in host's format, both engines (the sequencer's timer running),
// MIDI input and the render capture. False, with what it started ended again, when an engine did
// not start.
bool StartAppEngines();

// Everything after the frame loop up to the library's end: MIDI input closed, both engines ended,
// every plug-in editor closed (the slot windows end with the process) and all 95 slots unloaded.
void ShutDownApp();
