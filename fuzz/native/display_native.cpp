// Stands in for the window, display and bitmap parts of zovuz/core/windows/,
// zovuz/graphics/windows/ and zovuz/graphics/graph/windows/ that graph handles reach: the native
// build has no window, no display and no Windows bitmaps, so graphics never start and whatever
// needs them fails. One processor.
#include "zovuz/core/system_info.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/graphics_hardware.h"
#include "zovuz/graphics/image/image_load_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"

int ApplyDragFileAcceptFlag(void) { return 0; }
int ChangeWindowStyle(int) { return -1; }
HWND__ *GetDisplayWindowHandle(void) { return nullptr; }
int GetWindowModeFlag(void) { return 1; }
int GetWindowPosition(int *X, int *Y) { *X = *Y = 0; return 0; }
int GetProcessorCount(void) { return 1; }

int SetupDisplayInfo(void) { return -1; }
void TerminateDisplayInfo(void) {}
int ChangeDisplayMode(void) { return -1; }
int Graphics_Hardware_PresentFrame(void) { return -1; }
int StartFrontScreenTimer(HWND__ *) { return -1; }
int DirectDraw7_Create(void) { return -1; }
int DirectDraw7_Release(void) { return 0; }
int DirectDraw7_MeasureVSyncPeriod(void) { return -1; }

int BltBmpOrBaseImageToGraph(const COLORDATA *, HBITMAP__ *, HBITMAP__ *, int, const BASEIMAGE *, const BASEIMAGE *,
                             int, int, int) { return -1; }
int LoadBaseImageFromFile(ImageLoadParam *, const wchar_t *, const void *, int, int, int, int, BASEIMAGE *,
                          tagBITMAPINFO **, void **) { return -1; }
int LoadBaseImageWithAlphaFile(ImageLoadParam *, const wchar_t *, const void *, int, int, const void *, int, int,
                               BASEIMAGE *, BASEIMAGE *, int) { return -1; }
