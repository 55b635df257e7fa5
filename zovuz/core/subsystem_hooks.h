// The one table through which core code reaches the subsystems above it at run time.
//
// The core is the lowest layer of the library and calls no higher subsystem by name. Where its
// message pump, window procedure or waits must run work of sound, graphics or movies, it calls
// the entry of this table named after that work. The library's start-up fills the table with the
// subsystems it links; a null entry means that subsystem is not built into the program, and the
// core then does nothing in its place (or uses the stated fallback).
#pragma once

#include <wchar.h>

// One display of the graphics layer's display table (the display in use).
struct DisplayRecordInfo
{
    int Left, Top, Right, Bottom;     // monitor rectangle in desktop coordinates
    int Width, Height;                // resolution
    int DesktopWidth, DesktopHeight;  // the second width and height of the record
    int ColorBitDepth;                // bits per pixel x planes
    int RefreshRate;                  // Hz
};

struct SubsystemHooks
{
    // ---- sound -----------------------------------------------------------------------------
    // The sound thread's three refill steps; the message pump runs them itself whenever no sound
    // thread runs (fewer than 2 logical processors, or a thread that could not be made).
    int (*ProcessStreamSounds)(void);
    int (*ProcessSoftSoundPlayers)(void);
    int (*ProcessPlayedSoundList)(void);
    // 1 while the sound thread runs. Null: the processor count decides (a thread from 2 up).
    int (*SoundThreadExists)(void);
    // Sounds played with delete-on-end; every pump pass.
    int (*ProcessDeleteOnPlayEndSounds)(void);
    // MIDI music handles; once per pump call.
    int (*ProcessMusicHandles)(void);
    // MM_MCINOTIFY reached the main window.
    int (*ProcessMidiMciNotify)(void);
    // Window deactivation and activation: 1 pauses, 0 resumes.
    int (*PauseAllSoundHandles)(int PauseFlag);
    int (*PauseAllSoftSoundPlayers)(int PauseFlag);

    // ---- movies ----------------------------------------------------------------------------
    int (*PauseAllMovies)(void);
    int (*ResumeAllMovies)(void);

    // ---- graphics --------------------------------------------------------------------------
    // Releases cached system-memory textures unused for 2000 ms; every pump call.
    int (*Graphics_Hardware_ExpireMemoryTextureCache)(void);
    // Presents the back screen into the window again (paint and the pump's pending repaint),
    // with the back screen as draw target and no vertical-sync wait for the duration.
    int (*RefreshScreen)(void);
    // The window lost what it showed, or shows it elsewhere or at another size (painted, sized,
    // moved, the display's mode changed): the next flip presents even an unchanged screen.
    int (*MarkScreenShownAgain)(void);
    // Draw-screen size. Fallback: 640 x 480.
    int (*GetDrawScreenSize)(int *Width, int *Height);
    // Requested screen colour depth. Fallback: no display-depth check on WM_DISPLAYCHANGE.
    int (*GetScreenColorBitDepth)(void);
    // 1 when a graph-restore function is installed.
    int (*IsRestoreGraphCallbackSet)(void);
    // The record of the display in use (display selection, table built on first use).
    // 0 / -1. Fallback: the primary monitor as the system reports it.
    int (*GetUseDisplayRecord)(DisplayRecordInfo *Record);
    // Full-screen display size chosen for the current screen mode (the window's base size in
    // full screen). Fallback: the draw-screen size.
    int (*SelectFullScreenDisplayMode)(int *Width, int *Height);
    // Applies a new screen mode (-1 keeps a value); Force redoes an unchanged one (a window /
    // full-screen switch).
    int (*ChangeScreenMode)(int Width, int Height, int ColorBitDepth, int Force, int RefreshRate);
    // Non-zero while a Direct3D back end drives the screen.
    int (*GetHardwareGraphicsFlag)(void);
    // 1 while ScreenFlip runs (drawing calls then never wait for activation).
    int (*GetScreenFlipRunningFlag)(void);
    // The current draw target (-2 back screen, -4 front screen, or a graph handle).
    int (*GetDrawScreenHandle)(void);
    int (*GetUseMaskScreenFlag)(void);
    int (*SetUseMaskScreenFlag)(int Flag);
    // Device dialog-box mode for the full-screen menu.
    int (*Graphics_Hardware_SetDialogBoxMode)(int Flag);
    int (*Graphics_Hardware_GetDialogBoxModeFlag)(void);
    // Full-screen deactivation and activation; window-mode device loss.
    int (*Graphics_Hardware_ReleaseDeviceObjects)(void);
    int (*RestoreGraphicsDevice)(void);
    int (*Graphics_Hardware_RestoreLostDevice)(void);
    // 1 when the screen is in full-screen mode.
    int (*IsFullScreenMode)(void);
    // Full screen: a desktop position to draw-screen coordinates; negative when it cannot.
    int (*ConvertWindowPosToScreenPos)(int X, int Y, int *ScreenX, int *ScreenY);
    // The colour the window is filled with until start-up has ended: 0, or -1 when none is set.
    // Fallback: black.
    int (*GetBackgroundColor)(int *Red, int *Green, int *Blue);

    // ---- the saved screen copy of an inactive full-screen window ---------------------------
    // The graphics layer fills it when it releases the device objects on deactivation.
    int (*IsSavedScreenCopyHeld)(void);
    // Draws the copy over the back screen (stretched to the draw screen), presents it and puts
    // the back screen back: 0, or -1 without a copy.
    int (*DrawSavedScreenCopy)(void);
    // Releases the copy and its graph (the window's end).
    int (*ReleaseSavedScreenCopy)(void);

    // ---- the on-screen log -----------------------------------------------------------------
    // The device test of the on-screen log: the back end in use and whether its device exists.
    int (*GetGraphicsAPIType)(void);
    void *(*DirectDraw7_GetObject)(void);
    int (*D3D11Device_IsValid)(void);
    // Draws a log line and releases the log's font.
    int (*DrawStringToHandleW)(int X, int Y, const wchar_t *String, unsigned int Color, int FontHandle,
                               unsigned int EdgeColor, int VerticalFlag);
    int (*DeleteFontToHandle)(int FontHandle);

    // ---- the library's start-up layer ------------------------------------------------------
    // Ends the library without the API lock (the fatal-error exit).
    int (*TerminateLibrary)(void);
};

// The table, for start-up (which fills it) and the other layers; all entries null until the
// library's start-up fills it, and again after its end. The core reads it through
// subsystem_hooks_internal.h.
SubsystemHooks *GetSubsystemHooks(void);

// Calls an entry of the table: its answer, or 0 (null) when the subsystem is not there.
template <typename Result, typename... Args>
inline Result CallSubsystemHook(Result (*Hook)(Args...), Args... Arguments)
{
    return Hook != NULL ? Hook(Arguments...) : Result();
}
