// The saved screen copy of an inactive full-screen window: kept from the back screen when the
// deactivation releases the device, drawn by the window code while the window stays inactive, and
// the pause of the presents meanwhile.
#include "zovuz/graphics/zovuz_graphics.h"
#include "zovuz/graphics/draw_state_internal.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

namespace {

struct SavedScreenCopyData
{
    BASEIMAGE Image;  // the back screen's pixels at the deactivation (32-bit XRGB)
    int HeldFlag;     // Image holds a copy
    int Graph;        // the graph made from Image for drawing, -1 before the first draw
    int DrawingFlag;  // DrawSavedScreenCopy is showing it now (the presents must not pause)
};

SavedScreenCopyData SavedScreenCopy = {BASEIMAGE(), 0, -1, 0};

// The back screen's pixels into the copy. 0 / -1 (no copy kept).
int SaveScreenCopy(void)
{
    ReleaseSavedScreenCopy();
    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);
    const ImageRect whole = {0, 0, width, height};
    BASEIMAGE locked;
    if (LockDrawScreenBuffer(&whole, &locked, DX_SCREEN_BACK, 0, 0, 1, 0) < 0) return -1;
    SavedScreenCopyData &c = SavedScreenCopy;
    int result = CreateXRGB8ColorBaseImage(width, height, &c.Image);
    if (result == 0) result = BltBaseImageWhole(0, 0, &locked, &c.Image);
    UnlockDrawScreenBuffer();
    if (result < 0) {
        ReleaseBaseImage(&c.Image);
        return -1;
    }
    c.HeldFlag = 1;
    return 0;
}

}  // namespace

int SaveScreenCopyAndReleaseDeviceObjects(void)
{
    SaveScreenCopy();
    return Graphics_Hardware_ReleaseDeviceObjects();
}

int IsScreenCopySaved(void) { return SavedScreenCopy.HeldFlag; }

int DrawSavedScreenCopy(void)
{
    SavedScreenCopyData &c = SavedScreenCopy;
    if (!c.HeldFlag) return -1;
    if (!IsValidGraphHandle(c.Graph)) {
        c.Graph = CreateGraphFromBaseImage(&c.Image, nullptr, 1);
        if (c.Graph < 0) return -1;
    }
    DrawSettingsSaveData saved;
    SaveDrawSettings(&saved);
    SetDrawScreen(DX_SCREEN_BACK);
    SetDrawMode(1);  // bilinear: the copy may be stretched
    SetWaitVSyncFlag(0);

    // What the back screen holds now comes back after the copy was shown.
    int width = 0, height = 0;
    GetDrawScreenSize(&width, &height);
    GraphCreateParam param;
    InitLoadGraphParam(&param, 32, 0, 0);
    const int held = MakeGraphWithCreateParam(&param, width, height, 0, 0, 0, 0, 0);
    if (held >= 0) CopyDrawScreenToGraph(0, 0, width, height, held);

    int copyWidth = 0, copyHeight = 0;
    GetGraphSize(c.Graph, &copyWidth, &copyHeight);
    if (copyWidth != width || copyHeight != height)
        DrawExtendGraph(0, 0, width, height, c.Graph, 0);
    else
        DrawGraph(0, 0, c.Graph, 0);
    c.DrawingFlag = 1;
    RefreshScreen();
    c.DrawingFlag = 0;

    if (held >= 0) {
        DrawGraph(0, 0, held, 0);
        DeleteGraph(held);
    }
    RestoreDrawSettings(&saved);
    return 0;
}

int ReleaseSavedScreenCopy(void)
{
    SavedScreenCopyData &c = SavedScreenCopy;
    if (c.HeldFlag) ReleaseBaseImage(&c.Image);
    c.Image = BASEIMAGE();
    c.HeldFlag = 0;
    if (c.Graph >= 0 && IsValidGraphHandle(c.Graph)) DeleteGraph(c.Graph);
    c.Graph = -1;
    return 0;
}

int IsPresentPausedForScreenCopy(void)
{
    const SavedScreenCopyData &c = SavedScreenCopy;
    return !GetWindowActiveFlag() && c.HeldFlag && !c.DrawingFlag ? 1 : 0;
}
