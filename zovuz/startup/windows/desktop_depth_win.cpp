// The desktop's colour depth, for the start-up's 24-bit check.
#include "zovuz/startup/startup_internal.h"

#include <windows.h>

namespace {

int DesktopDepthOverride;  // above 0: the depth tests stand in for the desktop's

}  // namespace

int GetDesktopColorBitDepth(void)
{
    if (DesktopDepthOverride > 0) return DesktopDepthOverride;
    HDC screen = GetDC(NULL);
    if (screen == NULL) return 0;
    int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(NULL, screen);
    return depth;
}

int SetDesktopColorBitDepthOverride(int Depth)
{
    DesktopDepthOverride = Depth;
    return 0;
}
