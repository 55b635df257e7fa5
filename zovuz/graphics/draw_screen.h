// ZoVuz graphics: graphics start-up and end, the screen mode, the draw screen, presentation and
// the per-draw settings; part of the public graphics API (zovuz_graphics.h includes it).
//
// The draw screen is where drawing lands: a graph made draw-valid, or a screen value, -2 the back
// screen or -4 the front screen (whatever is drawn there is shown every 32 ms). ScreenFlip shows
// the finished frame. On the software renderer both screen values draw into the software screen,
// which ScreenFlip presents through GDI.
#pragma once

// ---- Start-up and end (the library's start and end call these) ------------------------------

// Registers the graphics handle types, starts the back end (software rendering when no Direct3D
// back end starts), makes the software screens and resets the draw state. 0, or -1 with graphics
// ended again.
int InitializeGraphics(void);
// Deletes every graph, shader, buffer and light, ends the back end. 0.
int TerminateGraphics(void);

// Changes the screen size, depth or refresh rate (-1 keeps a value); Force redoes an unchanged
// mode. Without the graphics reset (SetGraphicsResetOnScreenModeChangeFlag(0)) the mode changes
// under the running graphics; else graphics end and start again, falling back to the old mode,
// then 640 x 480 x 16, then 640 x 480 x 32. 0, or -1 when every attempt failed.
int ChangeScreenMode(int Width, int Height, int ColorBitDepth, int Force, int RefreshRate);

// Rebuilds the device after a loss at the current mode.
int RestoreGraphicsDevice(void);
// After a device reset: the graphs filled again (the restore callback) with loading made direct.
int RestoreGraphics(void);
// The function that fills the graphs again after a device loss; null means RestoreAllGraphs. 0.
int SetRestoreGraphCallback(int (*Callback)(void));
// Fills every graph that kept its source again from it (files loaded once for all their graphs).
int RestoreAllGraphs(void);

// ---- The draw screen and presentation ------------------------------------------------------

// Selects the draw target: a graph made draw-valid, or -2 / -4 (-3 and -16 as the back screen).
// Leaving the front screen shows it first. The draw area becomes the whole target and the 3D
// camera is set up for its size. 0, or -1 (graphics not started, not a draw-valid graph).
int SetDrawScreen(int DrawScreen);

// Shows the finished frame. 0, or -1 before the library's start and once it is ending.
int ScreenFlip(void);
int ScreenFlipWrap(void);
// The window's repaint: shows the screen again. 0 / -1.
int RefreshScreen(void);
// 1 while ScreenFlip runs.
int GetScreenFlipRunningFlag(void);

// ---- The saved screen copy of an inactive full-screen window --------------------------------
// While a full-screen window is inactive its device is released; the window code shows the copy
// of the back screen kept at the deactivation instead (core's hook table reaches these).

// The full-screen deactivation's release: the back screen is kept as the saved screen copy (an
// earlier copy goes), then every device object is released (Graphics_Hardware_ReleaseDeviceObjects,
// whose result this is).
int SaveScreenCopyAndReleaseDeviceObjects(void);
// 1 while a copy is kept, else 0.
int IsScreenCopySaved(void);
// Draws the copy over the back screen (stretched to the draw-screen size when the sizes differ),
// shows it (RefreshScreen) and puts the back screen back. 0, or -1 without a copy.
int DrawSavedScreenCopy(void);
// Frees the copy and its graph. 0.
int ReleaseSavedScreenCopy(void);

// The screen mode: before the library's start it is stored (0 / -1); after it, the mode is
// changed and the result says what took effect: 0, -1 or -2 (see draw_screen.cpp).
int SetGraphMode(int Width, int Height, int ColorBitDepth, int RefreshRate);
// The refresh rate of the screen mode (0 = the display's default).
int GetScreenRefreshRate(void);

// The colour of a draw-target pixel: the raw screen value on the software renderer (16- or 32-bit
// by the screen depth), 0xFFRRGGBB with a device. -1 outside the draw target.
unsigned int GetPixel(int X, int Y);

// 0 when the draw target can take the source graph (always with a device); -1 when the draw
// target is not a graph or is smaller than the source in either direction.
int IsDrawScreenSizeMatch(int SrcGraphHandle);

// Selects a draw target for one render-target slot of the back end: slot 0 with surface and mip 0
// is SetDrawScreen; the others need a device. 0 / -1.
int SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int MipLevel);

// Full screen: a position in the window to one on the screen (through the shown rectangle when
// the screen is stretched). 0 / -1.
int ConvertWindowPosToScreenPos(int X, int Y, int *ScreenX, int *ScreenY);

// ---- Settings ---------------------------------------------------------------------------------
// Each returns 0 unless said otherwise; a value equal to the stored one changes nothing.

int SetBackgroundColor(int Red, int Green, int Blue);
// Mode DX_BLENDMODE_*; the parameter is clamped to 0-255.
int SetDrawBlendMode(int BlendMode, int BlendParam);
// Values above 255 become 255, negatives 0.
int SetDrawBright(int Red, int Green, int Blue);
int SetDrawAlphaTest(int TestMode, int TestParam);
// 0 nearest, 1 bilinear, 2 anisotropic.
int SetDrawMode(int DrawMode);
// The clip rectangle of drawing, corners put in order and clamped to the draw target; an empty
// one leaves nothing visible. -1 when the draw target is not a screen or a live graph.
int SetDrawArea(int X1, int Y1, int X2, int Y2);
// Graphs made while the flag is 1 can be draw screens.
int SetDrawValidGraphCreateFlag(int Flag);
// The transparent colour of graph creation and image loading (ignored on an 8-bit screen).
int SetTransColor(int Red, int Green, int Blue);
// 0: a screen-mode change keeps the graphs (the mode changes under them).
int SetGraphicsResetOnScreenModeChangeFlag(int Flag);
// Before the library's start only (-1 after it): 0 forces the software renderer.
int SetUseHardwareRenderFlag(int Flag);
// Before the library's start only (-1 after it): 0 presents without waiting for the vertical blank.
int SetWaitVSyncFlag(int Flag);
// The blend graph with a border parameter and range (type 1). 0 / -1.
int SetBlendGraph(int BlendGraph, int BorderParam, int BorderRange);
// Type 0 takes one parameter, type 1 two, type 2 none; -1 for another type or a bad graph.
int SetBlendGraphParam(int BlendGraph, int BlendType, ...);

// ---- The mask screen ----------------------------------------------------------------------------
// Nothing in this system creates a mask screen: SetUseMaskScreenFlag answers -1.

int GetUseMaskScreenFlag(void);
int SetUseMaskScreenFlag(int Flag);
