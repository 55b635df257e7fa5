// A frame that shows what the last one showed is not presented again: the cases each renderer runs
// in the library's main window, a draw-valid graph stretched over the back screen as the shell's
// frame does it. Anything the window or the frame changes presents again.
#pragma once

#include <functional>

// A renderer the cases run on.
struct UnchangedFrameRenderer
{
    const char *Name;
    // Starts graphics on it at Width x Height in the main window; 0, or -1 (also when another
    // renderer started).
    std::function<int(int Width, int Height)> Start;
    // The presents it made so far, where the window's picture cannot tell a present (Wine composes
    // Direct3D 11's apart from GDI's); null where it can: the window is painted white through GDI
    // before each frame, and a frame that presented nothing leaves it white.
    std::function<unsigned()> Presents;
    // Whether a present leaves the screen as drawn in the window's back buffer (the software
    // renderer's own screen; a Direct3D 9 swap chain that copies), so that an unchanged frame
    // drawn without a sub back buffer is not presented either.
    bool SkipsWithoutSubBackBuffer;
};

// Runs the cases at the window's size scale Rate (1: the window is the screen's size), from
// graphics started to graphics ended. The main window must be open, with the library's repaint
// hook set as its start-up sets it.
void RunUnchangedFrameCases(const UnchangedFrameRenderer &Renderer, double Rate);
