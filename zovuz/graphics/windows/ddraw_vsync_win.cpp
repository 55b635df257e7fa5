// The DirectDraw 7 object that presents use to wait for the vertical blank. It belongs to the
// graphics layer because the software renderer presents without a Direct3D back end; the
// Direct3D 9 back end uses the same object.
#include <windows.h>
#include <ddraw.h>

#include "zovuz/graphics/display_internal.h"

namespace {

struct DirectDrawVSyncData
{
    IDirectDraw7 *Object;  // null when not made
    int64_t Period;        // measured vertical-blank period in microseconds, -1 = unknown
    int64_t LastWait;      // clock at the end of the last wait
};
DirectDrawVSyncData DirectDrawVSync = {nullptr, -1, 0};

void WaitForBlank() { DirectDrawVSync.Object->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr); }

int WaitForBlankOrFail(void *)
{
    return FAILED(DirectDrawVSync.Object->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr)) ? -1 : 0;
}

}  // namespace

int DirectDraw7_Create(void)
{
    DirectDraw7_Release();
    AddLogStringWide(L"DirectDraw オブジェクトの取得を行います....  ");
    IDirectDraw7 *object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, (void **)&object);
    if (FAILED(hr) || object == nullptr) {
        AddLogStringWideErrorCode(0x1020001, L"オブジェクトの取得に失敗しました");
        return -1;
    }
    AddLogStringWide(L"成功");
    AddLogStringWide(L"引き続き初期化処理... ");
    hr = object->Initialize(nullptr);
    if (FAILED(hr)) {
        AddLogStringWideErrorCode(0x1020002, L"DirectDrawオブジェクトの初期化に失敗しました");
        object->Release();
        return -1;
    }
    AddLogStringWide(L"初期化に成功しました");
    DirectDrawVSync.Object = object;
    SetPlatformVSyncWaitFlag(TimeVerticalBlankWait(WaitForBlankOrFail, nullptr));
    // Tied to the window, the object makes Wine send the window's whole picture over the display
    // connection at every software present instead of through shared memory, and makes every
    // Direct3D 9 frame several times slower (Wine makes the window's drawing buffers again many
    // times a frame). An object whose wait returns at once serves nothing, so it is left untied.
    if (PresentPacing.PlatformWaitsFlag) object->SetCooperativeLevel((HWND)GetMainWindowHandle(), DDSCL_NORMAL);
    return 0;
}

int DirectDraw7_Release(void)
{
    ReleaseAndClear(DirectDrawVSync.Object);
    return 0;
}

void *DirectDraw7_GetObject(void) { return DirectDrawVSync.Object; }

int DirectDraw7_MeasureVSyncPeriod(void)
{
    DirectDrawVSyncData &v = DirectDrawVSync;
    v.Period = -1;
    // A wait that returns at once (the pacing's flag, set from this object's wait when it was made)
    // has no blank to time: the intervals would be the sleeps between the waits, which never
    // settle (sixty of them, a third of a second at each start).
    if (v.Object == nullptr || !PresentPacing.PlatformWaitsFlag) return 0;
    const int maxWaits = 60;
    int64_t intervals[maxWaits];
    int count = 0;
    WaitForBlank();
    int64_t last = GetNowMicroCount();
    // Stops at the first ten steady intervals; the arithmetic is VSyncPeriodFromIntervals.
    while (count < maxWaits) {
        WaitForBlank();
        int64_t now = GetNowMicroCount();
        intervals[count++] = now - last;
        last = now;
        int64_t period = VSyncPeriodFromIntervals(intervals, count);
        if (period >= 0) {
            v.Period = period;
            break;
        }
        Sleep(5);
    }
    DirectDraw7_WaitVSync();
    return 0;
}

int DirectDraw7_WaitVSync(void)
{
    DirectDrawVSyncData &v = DirectDrawVSync;
    if (v.Object == nullptr) return 0;
    int64_t threshold = VSyncWaitThreshold(v.Period);
    // Without a clock there is nothing to sleep by: wait for the blank at once.
    if (GetNowMicroCount() < 0) {
        WaitForBlank();
        return 0;
    }
    if (GetNowMicroCount() - v.LastWait < threshold) {
        Sleep(0);
        while (GetNowMicroCount() - v.LastWait < threshold) Sleep(1);
        WaitForBlank();
        v.LastWait = GetNowMicroCount();
    } else {
        WaitForBlank();
        v.LastWait = GetNowMicroCount();
        Sleep(0);
    }
    return 0;
}
