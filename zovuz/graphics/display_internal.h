// Inside the library: the display table, the screen-mode settings, the software screens and
// their presentation through GDI, and the timing of the vertical-blank waits.
#pragma once

#include <stdint.h>
#include <wchar.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/memimg_internal.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// ---- The display table --------------------------------------------------------------------

#define DISPLAY_NAME_LENGTH 128

// One monitor.
struct GraphicsDisplayInfo
{
    ImageRect MonitorRect;              // in desktop coordinates
    int Width, Height;                  // resolution
    int DesktopWidth, DesktopHeight;    // Width and Height when the device reports less than 1
    int ColorBitDepth;                  // bits per pixel x planes
    int RefreshRate;                    // Hz
    wchar_t Name[DISPLAY_NAME_LENGTH];  // the monitor's device name, terminated
    int ModeNum;                        // listed modes (16 bits or more)
    DISPLAYMODEDATA *ModeData;          // ModeNum modes in enumeration order
};

// Built on first need by SetupDisplayInfo; records and mode lists come from the process heap.
struct GraphicsDisplayTableData
{
    GraphicsDisplayInfo *Info;  // the records; null until built
    int Num;                    // records in Info
    int EnumCount;              // monitors seen by the enumeration callback
    int InjectedFlag;           // Info belongs to a test and is never freed here
};
extern GraphicsDisplayTableData GraphicsDisplayTable;

// Builds the table from the system's display enumeration. 0, -1 when memory runs out.
int SetupDisplayInfo(void);
// Builds the table when it does not exist yet. 0 / -1.
int SetupDisplayInfoIfNeeded(void);
// Frees the records and their mode lists (graphics shut-down).
void TerminateDisplayInfo(void);
// Puts a table the caller owns in place of the system's (tests). Null removes it again.
void SetDisplayInfoForTest(GraphicsDisplayInfo *Info, int Num);

// ---- Screen-mode settings -----------------------------------------------------------------

// The software screens: the screen (the software draw target), the auxiliary screen and two
// work images. The present shows the first.
struct SoftwareScreenData
{
    MEMIMG Screen;       // what is presented
    MEMIMG AuxScreen;    // auxiliary screen
    MEMIMG WorkScreen;   // third image
    MEMIMG AlphaScreen;  // fourth image, with alpha
    uint32_t Changes;    // counts whatever may have written Screen: drawing on it, a lock, a new screen
};
extern SoftwareScreenData SoftwareScreen;

// Chooses the full-screen display mode for the screen size (FullScreenMode and the scaling
// mode in effect). 0, -1 without a display table.
int SelectFullScreenDisplayMode(void);

// The full-screen display-mode change of the software renderer. 0 / -1.
int ChangeDisplayMode(void);

// Shows the finished frame: with a device through its back end, else the software screen
// through GDI. 0 / -1.
int Graphics_Hardware_PresentFrame(void);

// ---- Vertical-blank timing ----------------------------------------------------------------

// The period from measured intervals between vertical blanks (microseconds): ten in a row, each
// within 1000 of the one before, averaged; -1 when that never happens.
int64_t VSyncPeriodFromIntervals(const int64_t *Intervals, int Count);

// How long after the last blank a wait first sleeps (microseconds): 3 ms short of a known
// period, else 4 ms.
int64_t VSyncWaitThreshold(int64_t Period);

// ---- Presents paced by the clock (the flip's side; the back ends' side is in
// zovuz_graphics_backend.h) -----------------------------------------------------------------

struct PresentPacingData
{
    int PlatformWaitsFlag;   // the platform's vertical-blank wait blocks (1 until a back end says)
    int64_t Due;             // clock reading the next paced present waits for, -1 = none yet
    int64_t DeviceLastEnd;   // when the last present to a queuing device returned, -1 = none
    int64_t DeviceFrame;     // the device's frame time as last measured, 0 = it keeps up
    int DeviceSleeps;        // presents in a row that slept for the device
    int64_t (*Clock)(void);  // the clock the pacing reads; null = GetNowMicroCount (tests put
                             //   in their own)
    void (*Sleep)(int);      // how it waits, in milliseconds; null = ThreadSleep
};
extern PresentPacingData PresentPacing;

// The refresh period of the display in use, in microseconds (60 Hz when the display reports none).
int64_t PresentPacingPeriod(void);
// Before a present: while pacing is on, waits until a period after the last paced present.
void PacePresent(void);
// The same for a flip that presents nothing: paced whenever vertical-sync waiting is on, also
// where the platform's present would have waited for the blank.
void PaceUnpresentedFrame(void);
// Waits until a period after the last paced frame while On; else forgets the rhythm.
void PaceFrame(bool On);
