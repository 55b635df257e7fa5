// The display table from the system's display enumeration, and the full-screen display-mode
// change of the software renderer.
#include <windows.h>

#include <string.h>

#include "zovuz/graphics/display_internal.h"

static_assert(sizeof(DEVMODEA) == 156, "the display-mode change passes a 156-byte DEVMODEA");

namespace {

void *HeapAllocZero(size_t Size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, Size); }

// Systems before Windows 2000 have one display, described by the desktop's device context.
bool IsOldSystem()
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) return false;
    return version.dwPlatformId < VER_PLATFORM_WIN32_NT || version.dwMajorVersion < 5;
}

// Sizes, depth and refresh from a display's device context.
void ReadDeviceCaps(HDC dc, GraphicsDisplayInfo *d)
{
    d->Width = GetDeviceCaps(dc, HORZRES);
    d->Height = GetDeviceCaps(dc, VERTRES);
    d->DesktopWidth = GetDeviceCaps(dc, DESKTOPHORZRES);
    d->DesktopHeight = GetDeviceCaps(dc, DESKTOPVERTRES);
    if (d->DesktopWidth < 1 || d->DesktopHeight < 1) {
        d->DesktopWidth = d->Width;
        d->DesktopHeight = d->Height;
    }
    d->ColorBitDepth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    d->RefreshRate = GetDeviceCaps(dc, VREFRESH);
}

void LogDisplay(int Index, const GraphicsDisplayInfo &d)
{
    AddLogFormat(L"No.%d  モニター名：%s　%dx%d　%dbit　%dHz", Index, d.Name, d.Width, d.Height, d.ColorBitDepth,
                 d.RefreshRate);
}

BOOL CALLBACK EnumMonitorCallback(HMONITOR Monitor, HDC, LPRECT, LPARAM)
{
    GraphicsDisplayTableData &t = GraphicsDisplayTable;
    // A monitor that appeared after the count has no record.
    if (t.Info != nullptr && t.EnumCount < t.Num) {
        GraphicsDisplayInfo &d = t.Info[t.EnumCount];
        MONITORINFOEXW info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        GetMonitorInfoW(Monitor, &info);
        d.MonitorRect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
        wcsncpy(d.Name, info.szDevice, DISPLAY_NAME_LENGTH - 1);
        d.Name[DISPLAY_NAME_LENGTH - 1] = L'\0';
        HDC dc = CreateDCW(d.Name, nullptr, nullptr, nullptr);
        if (dc != nullptr) {
            ReadDeviceCaps(dc, &d);
            DeleteDC(dc);
        }
        LogDisplay(t.EnumCount, d);
    }
    t.EnumCount++;
    return TRUE;
}

// The modes of one display device with 16 bits or more, in enumeration order. 0 / -1.
int ListDisplayModes(const wchar_t *DeviceName, GraphicsDisplayInfo *d)
{
    DEVMODEW mode;
    int count = 0;
    for (DWORD i = 0;; ++i) {
        memset(&mode, 0, sizeof(mode));
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsW(DeviceName, i, &mode)) break;
        if (mode.dmBitsPerPel >= 16) ++count;
    }
    d->ModeNum = 0;
    d->ModeData = nullptr;
    if (count == 0) return 0;
    DISPLAYMODEDATA *list = (DISPLAYMODEDATA *)HeapAllocZero(sizeof(DISPLAYMODEDATA) * count);
    if (list == nullptr) return -1;
    int filled = 0;
    for (DWORD i = 0; filled < count; ++i) {
        memset(&mode, 0, sizeof(mode));
        mode.dmSize = sizeof(mode);
        if (!EnumDisplaySettingsW(DeviceName, i, &mode)) break;
        if (mode.dmBitsPerPel < 16) continue;
        list[filled++] = {(int)mode.dmPelsWidth, (int)mode.dmPelsHeight, (int)mode.dmBitsPerPel,
                          (int)mode.dmDisplayFrequency};
    }
    d->ModeNum = filled;
    d->ModeData = list;
    return 0;
}

}  // namespace

int SetupDisplayInfo(void)
{
    GraphicsDisplayTableData &t = GraphicsDisplayTable;
    AddLogStringWide(L"ディスプレイ情報のセットアップ開始");
    LogIndentUp();

    TerminateDisplayInfo();
    bool old = IsOldSystem();
    int monitors = 1, devices = 1;
    if (!old) {
        t.EnumCount = 0;
        EnumDisplayMonitors(nullptr, nullptr, EnumMonitorCallback, 0);
        monitors = t.EnumCount;
        DISPLAY_DEVICEW device;
        devices = 0;
        for (;;) {
            memset(&device, 0, sizeof(device));
            device.cb = sizeof(device);
            if (!EnumDisplayDevicesW(nullptr, (DWORD)devices, &device, 0)) break;
            ++devices;
        }
    }
    AddLogFormat(L"モニターの数：%d  ディスプレイデバイスの数：%d", monitors, devices);

    GraphicsDisplayInfo *info =
        (GraphicsDisplayInfo *)HeapAllocZero(sizeof(GraphicsDisplayInfo) * (monitors > 0 ? monitors : 1));
    if (info == nullptr) {
        AddLogStringWide(L"[エラー]ディスプレイ情報保存用のメモリ確保に失敗しました");
        LogIndentDown();
        return -1;
    }
    t.Info = info;
    t.Num = monitors;
    t.InjectedFlag = 0;

    if (old) {
        GraphicsDisplayInfo &d = info[0];
        HDC dc = GetDC(nullptr);
        ReadDeviceCaps(dc, &d);
        ReleaseDC(nullptr, dc);
        d.DesktopWidth = d.Width;
        d.DesktopHeight = d.Height;
        d.MonitorRect = {0, 0, d.Width, d.Height};
        wcscpy(d.Name, L"DISPLAY");
        LogDisplay(0, d);
    } else {
        t.EnumCount = 0;
        EnumDisplayMonitors(nullptr, nullptr, EnumMonitorCallback, 0);
    }

    int result = 0;
    for (int i = 0; i < devices; ++i) {
        GraphicsDisplayInfo *d = &info[0];
        const wchar_t *name = nullptr;
        DISPLAY_DEVICEW device;
        if (!old) {
            memset(&device, 0, sizeof(device));
            device.cb = sizeof(device);
            if (!EnumDisplayDevicesW(nullptr, (DWORD)i, &device, 0)) continue;
            d = nullptr;
            for (int m = 0; m < monitors && d == nullptr; ++m)
                if (wcscmp(info[m].Name, device.DeviceName) == 0) d = &info[m];
            name = device.DeviceName;
        }
        // A monitor keeps the list of the first device that names it.
        if (d == nullptr || d->ModeData != nullptr) continue;
        if (ListDisplayModes(name, d) < 0) {
            result = -1;
            break;
        }
    }

    LogIndentDown();
    if (result == 0) AddLogStringWide(L"ディスプレイ情報のセットアップ完了");
    return result;
}

void TerminateDisplayInfo(void)
{
    GraphicsDisplayTableData &t = GraphicsDisplayTable;
    if (t.Info != nullptr && !t.InjectedFlag) {
        for (int i = 0; i < t.Num; ++i)
            if (t.Info[i].ModeData != nullptr) HeapFree(GetProcessHeap(), 0, t.Info[i].ModeData);
        HeapFree(GetProcessHeap(), 0, t.Info);
    }
    t.Info = nullptr;
    t.Num = 0;
    t.InjectedFlag = 0;
}

int ChangeDisplayMode(void)
{
    GraphicsScreenSettingsData &s = GraphicsScreenSettings;
    AddLogFormat(L"画面モードの変更処理を開始します %u x %u  %u bit ", s.MainScreenWidth, s.MainScreenHeight,
                 s.MainScreenColorBitDepth);
    LogIndentUp();
    SelectFullScreenDisplayMode();
    int depth = s.FullScreenMode.ColorBitDepth;
    if (depth != 16 && depth != 32) {
        AddLogStringWide(L"失敗しました\n");
        AddLogStringWideErrorCode(0x1020003, L"RUrazadが対応していない画面カラーモードが指定されました\n");
        LogIndentDown();
        return -1;
    }
    AddLogStringWide(L"画面解像度を変更します... ");

    DEVMODEA mode;
    memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    mode.dmBitsPerPel = (DWORD)s.MainScreenColorBitDepth;
    mode.dmPelsWidth = (DWORD)s.FullScreenMode.Width;
    mode.dmPelsHeight = (DWORD)s.FullScreenMode.Height;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (s.MainScreenRefreshRate != 0) {
        mode.dmDisplayFrequency = (DWORD)s.MainScreenRefreshRate;
        mode.dmFields |= DM_DISPLAYFREQUENCY;
    }
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
        // A refresh rate the display refuses is dropped, and the mode is set without it.
        mode.dmFields &= ~(DWORD)DM_DISPLAYFREQUENCY;
        s.MainScreenRefreshRate = 0;
        if (LONG changed = ChangeDisplaySettingsA(&mode, 0); changed != DISP_CHANGE_SUCCESSFUL) {
            AddLogStringWideErrorCode(0x1020004, L"画面モードの変更に失敗しました\n");
            LogPlatformFailure(L"ChangeDisplaySettingsA", (unsigned long)changed);
            LogIndentDown();
            return -1;
        }
    }
    s.DisplayModeChangedFlag = 1;
    AddLogStringWide(L"成功しました\n");
    s.BorderRepaintCount = 10;
    LogIndentDown();
    return 0;
}
