// The on-screen log area's set-up and release.
#include "zovuz/core/text/screen_log.h"

#include "zovuz/core/subsystem_hooks.h"
#include "zovuz/core/desktop/window.h"
#include "zovuz/core/subsystem_hooks_internal.h"

#include <string.h>

namespace {

constexpr int ScreenLogLineNum = 80;     // lines of text kept
constexpr int ScreenLogLineUnits = 255;  // UTF-16 units per line
constexpr int ScreenLogFontSize = 16;

constexpr int GraphicsAPIDirect3D9 = 1;
constexpr int GraphicsAPIDirect3D11 = 2;

struct ScreenLogData
{
    int SetupFlag;                                       // the area is set up
    int FontSize;                                        // size of the font the flip would make
    int FontHandle;                                      // the area's font, -1 none
    int FontNeedsMakingFlag;                             // the font is still to be made (or was released)
    int DrawFlag;                                        // the flip draws the area (never set here)
    int LineNum;                                         // lines written
    int LineFirst;                                       // first line shown
    wchar_t Text[ScreenLogLineNum][ScreenLogLineUnits];  // the lines
};
ScreenLogData ScreenLog = {0, ScreenLogFontSize, -1, 1, 0, 0, 0, {}};

bool DirectDrawObjectExists(void) { return CallSubsystemHook(SubsystemHooksData.DirectDraw7_GetObject) != NULL; }

}  // namespace

int GetScreenLogDeviceReady(void)
{
    if (GetMainWindowHandle() == NULL) return 0;
    if (!CallSubsystemHook(SubsystemHooksData.GetHardwareGraphicsFlag)) return DirectDrawObjectExists() ? 1 : 0;
    int apiType = CallSubsystemHook(SubsystemHooksData.GetGraphicsAPIType);
    if (apiType == GraphicsAPIDirect3D9) return DirectDrawObjectExists() ? 1 : 0;
    if (apiType == GraphicsAPIDirect3D11) return CallSubsystemHook(SubsystemHooksData.D3D11Device_IsValid) != 0 ? 1 : 0;
    return 0;
}

int InitializeScreenLog(void)
{
    if (!GetScreenLogDeviceReady()) return -1;
    if (ScreenLog.SetupFlag) return 0;
    ScreenLog.FontSize = ScreenLogFontSize;
    ScreenLog.FontHandle = -1;
    ScreenLog.FontNeedsMakingFlag = 1;
    ScreenLog.DrawFlag = 0;
    ScreenLog.LineNum = 0;
    ScreenLog.LineFirst = 0;
    memset(ScreenLog.Text, 0, sizeof(ScreenLog.Text));
    ScreenLog.SetupFlag = 1;
    return 0;
}

int TerminateScreenLog(void)
{
    if (!ScreenLog.SetupFlag) return 0;
    if (ScreenLog.FontHandle > 0 && !ScreenLog.FontNeedsMakingFlag)
        CallSubsystemHook(SubsystemHooksData.DeleteFontToHandle, ScreenLog.FontHandle);
    ScreenLog.FontNeedsMakingFlag = 1;
    ScreenLog.FontHandle = -1;
    ScreenLog.SetupFlag = 0;
    return 0;
}

int GetScreenLogDrawFlag(void) { return ScreenLog.DrawFlag; }
