// Display queries, the choice of the display in use and of the full-screen display mode, and
// the letter-box rectangle. The table itself is built from the system in windows/display_win.cpp.
#include <string.h>

#include "zovuz/graphics/display_internal.h"

GraphicsDisplayTableData GraphicsDisplayTable;
GraphicsScreenSettingsData GraphicsScreenSettings;
SoftwareScreenData SoftwareScreen;

namespace {

const DISPLAYMODEDATA NoDisplayMode = {-1, -1, -1, -1};

// The display in use, building the table when needed; null when there is none.
GraphicsDisplayInfo *UseDisplay()
{
    if (SetupDisplayInfoIfNeeded() < 0 || GraphicsDisplayTable.Num < 1) return nullptr;
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    int index = s.DisplayChosenFlag ? s.UseDisplayIndex : 0;
    if (index < 0 || index >= GraphicsDisplayTable.Num) index = 0;
    return &GraphicsDisplayTable.Info[index];
}

// The screen size and depth with their defaults.
void ScreenSize(int *Width, int *Height, int *Depth)
{
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    *Width = s.MainScreenWidth != 0 ? s.MainScreenWidth : 640;
    *Height = s.MainScreenHeight != 0 ? s.MainScreenHeight : 480;
    *Depth = s.MainScreenColorBitDepth != 0 ? s.MainScreenColorBitDepth : 16;
}

// The largest listed mode by area: of the screen's depth when there is one (the screen's
// refresh breaking ties), else of any depth. Null for a display without modes.
const DISPLAYMODEDATA *LargestMode(const GraphicsDisplayInfo &d, int Depth, int Refresh)
{
    const DISPLAYMODEDATA *best = nullptr;
    auto better = [&](const DISPLAYMODEDATA &m) {
        if (best == nullptr) return true;
        bool depth = m.ColorBitDepth == Depth, bestDepth = best->ColorBitDepth == Depth;
        if (depth != bestDepth) return depth;
        int64_t area = (int64_t)m.Width * m.Height, bestArea = (int64_t)best->Width * best->Height;
        if (area != bestArea) return area > bestArea;
        return m.RefreshRate == Refresh && best->RefreshRate != Refresh;
    };
    for (int i = 0; i < d.ModeNum; ++i)
        if (better(d.ModeData[i])) best = &d.ModeData[i];
    return best;
}

}  // namespace

int SetupDisplayInfoIfNeeded(void) { return GraphicsDisplayTable.Info != nullptr ? 0 : SetupDisplayInfo(); }

void SetDisplayInfoForTest(GraphicsDisplayInfo *Info, int Num)
{
    TerminateDisplayInfo();
    GraphicsDisplayTable.Info = Info;
    GraphicsDisplayTable.Num = Info != nullptr ? Num : 0;
    GraphicsDisplayTable.InjectedFlag = Info != nullptr ? 1 : 0;
}

int GetDisplayModeNum(int DisplayIndex)
{
    if (SetupDisplayInfoIfNeeded() < 0 || DisplayIndex < 0 || DisplayIndex >= GraphicsDisplayTable.Num) return -1;
    return GraphicsDisplayTable.Info[DisplayIndex].ModeNum;
}

DISPLAYMODEDATA GetDisplayMode(DISPLAYMODEDATA *Mode, int ModeIndex, int DisplayIndex)
{
    DISPLAYMODEDATA result = NoDisplayMode;
    if (SetupDisplayInfoIfNeeded() == 0 && DisplayIndex >= 0 && DisplayIndex < GraphicsDisplayTable.Num) {
        const GraphicsDisplayInfo &d = GraphicsDisplayTable.Info[DisplayIndex];
        if (ModeIndex >= 0 && ModeIndex < d.ModeNum) result = d.ModeData[ModeIndex];
    }
    if (Mode != nullptr) *Mode = result;
    return result;
}

int SetUseDisplayIndex(int Index)
{
    if (SetupDisplayInfoIfNeeded() < 0 || Index < 0 || Index >= GraphicsDisplayTable.Num) return -1;
    GraphicsScreenSettings.UseDisplayIndex = Index;
    GraphicsScreenSettings.DisplayChosenFlag = 1;
    return 0;
}

int GetUseDisplayIndex(void)
{
    const GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    return s.DisplayChosenFlag ? s.UseDisplayIndex : 0;
}

int GetUseDisplayRecord(DisplayRecordInfo *Record)
{
    const GraphicsDisplayInfo *d = UseDisplay();
    if (d == nullptr) return -1;
    Record->Left = d->MonitorRect.left;
    Record->Top = d->MonitorRect.top;
    Record->Right = d->MonitorRect.right;
    Record->Bottom = d->MonitorRect.bottom;
    Record->Width = d->Width;
    Record->Height = d->Height;
    Record->DesktopWidth = d->DesktopWidth;
    Record->DesktopHeight = d->DesktopHeight;
    Record->ColorBitDepth = d->ColorBitDepth;
    Record->RefreshRate = d->RefreshRate;
    return 0;
}

int SelectFullScreenDisplayMode(void)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    const GraphicsDisplayInfo *d = UseDisplay();
    if (d == nullptr) return -1;
    int width, height, depth;
    ScreenSize(&width, &height, &depth);
    int refresh = s.MainScreenRefreshRate;
    int mode = s.FullScreenScalingMode;

    if (mode == FULLSCREEN_SCALING_EXACT) {
        // Modes that are the same whole multiple k of the screen in both directions: the
        // smallest k with the screen's depth and refresh, else with its depth, else any.
        const DISPLAYMODEDATA *found[3] = {nullptr, nullptr, nullptr};
        int foundK[3] = {0, 0, 0};
        for (int i = 0; i < d->ModeNum && foundK[0] != 1; ++i) {
            const DISPLAYMODEDATA &m = d->ModeData[i];
            if (m.Width < width || m.Width % width != 0) continue;
            int k = m.Width / width;
            if (m.Height != height * k) continue;
            bool sameDepth = m.ColorBitDepth == depth;
            bool exact = sameDepth && (refresh == 0 || m.RefreshRate == refresh);
            int kinds[3] = {exact, sameDepth, 1};
            for (int c = 0; c < 3; ++c) {
                if (kinds[c] && (found[c] == nullptr || k < foundK[c])) {
                    found[c] = &m;
                    foundK[c] = k;
                }
            }
        }
        for (int c = 0; c < 3; ++c) {
            if (found[c] != nullptr) {
                s.FullScreenMode = *found[c];
                s.FullScreenScalingModeInEffect =
                    c == 0 && foundK[c] == 1 ? FULLSCREEN_SCALING_EXACT : FULLSCREEN_SCALING_SCALED;
                return 0;
            }
        }
        mode = FULLSCREEN_SCALING_DESKTOP;
    }

    if (mode == FULLSCREEN_SCALING_DESKTOP && d->DesktopWidth >= width && d->DesktopHeight >= height) {
        s.FullScreenMode = {d->DesktopWidth, d->DesktopHeight, depth, refresh};
        s.FullScreenScalingModeInEffect = FULLSCREEN_SCALING_DESKTOP;
        return 0;
    }

    const DISPLAYMODEDATA *largest = LargestMode(*d, depth, refresh);
    s.FullScreenMode =
        largest != nullptr ? *largest : DISPLAYMODEDATA{d->DesktopWidth, d->DesktopHeight, depth, refresh};
    s.FullScreenScalingModeInEffect = FULLSCREEN_SCALING_SCALED;
    return 0;
}

int SelectFullScreenDisplayModeSize(int *Width, int *Height)
{
    if (SelectFullScreenDisplayMode() < 0) return -1;
    *Width = GraphicsScreenSettings.FullScreenMode.Width;
    *Height = GraphicsScreenSettings.FullScreenMode.Height;
    return 0;
}

int SetupFullScreenScalingRect(void)
{
    if (GraphicsDisplayTable.Info == nullptr) return -1;
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    int width, height, depth;
    ScreenSize(&width, &height, &depth);
    int64_t displayWidth = s.FullScreenMode.Width, displayHeight = s.FullScreenMode.Height;
    int64_t shownWidth = (int64_t)width * displayHeight / height, shownHeight = displayHeight;
    if (shownWidth >= displayWidth) {
        shownWidth = displayWidth;
        shownHeight = (int64_t)height * displayWidth / width;
    }
    int32_t left = (int32_t)((displayWidth - shownWidth) / 2);
    int32_t top = (int32_t)((displayHeight - shownHeight) / 2);
    s.FullScreenScalingRect = {left, top, left + (int32_t)shownWidth, top + (int32_t)shownHeight};
    return 0;
}
