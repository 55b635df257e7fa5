// Presents paced by the clock. A platform whose vertical-blank wait returns at once (Wine answers
// not implemented, or waits for nothing) lets a frame loop present as fast as it can draw: a whole
// core for a window that shows nothing new. While vertical-sync waiting is on and the platform
// gives no wait, the flip waits out the rest of the display's refresh period on the clock instead.
#include "zovuz/graphics/display_internal.h"

PresentPacingData PresentPacing = {1, -1, -1, 0, 0, nullptr, nullptr};

namespace {

constexpr int64_t BlockingWaitMicroSeconds = 1000;  // two waits in a row that block take longer
constexpr int BlankWaitTries = 3;
constexpr int DefaultRefreshRate = 60;
constexpr int64_t DeviceWaitMicroSeconds = 2000;  // a present that took longer waited for the device
constexpr int64_t LongestDeviceFrame = 250000;    // slower devices are not waited for asleep
constexpr int DeviceSleepsBetweenMeasures = 8;

int64_t PacingNow() { return PresentPacing.Clock != nullptr ? PresentPacing.Clock() : GetNowMicroCount(); }

void PacingSleep(int MilliSeconds)
{
    if (PresentPacing.Sleep != nullptr)
        PresentPacing.Sleep(MilliSeconds);
    else
        ThreadSleep(MilliSeconds);
}

// Sleeps until Until on the pacing's clock (rounded up to the next millisecond). False when Until
// has passed.
bool SleepUntil(int64_t Now, int64_t Until)
{
    if (Until <= Now) return false;
    PacingSleep((int)((Until - Now + 999) / 1000));
    return true;
}

}  // namespace

int TimeVerticalBlankWait(int (*Wait)(void *Context), void *Context)
{
    // The second of two waits in a row always waits for a blank of its own, a whole period on a
    // platform that waits. A wait that returns at once takes microseconds, but a busy machine may
    // hold it up: one quick pair of the three is enough to tell.
    for (int i = 0; i < BlankWaitTries; ++i) {
        int64_t start = PacingNow();
        if (start < 0) return 1;  // no clock to tell by: taken at its word
        if (Wait(Context) < 0 || Wait(Context) < 0) return 0;
        if (PacingNow() - start < BlockingWaitMicroSeconds) return 0;
    }
    return 1;
}

void SetPlatformVSyncWaitFlag(int Flag)
{
    PresentPacingData &p = PresentPacing;
    p.PlatformWaitsFlag = Flag ? 1 : 0;
    p.Due = -1;
    p.DeviceLastEnd = -1;
    p.DeviceFrame = 0;
    p.DeviceSleeps = 0;
}

int IsPresentPacingOn(void) { return !GraphicsScreenSettings.NotWaitVSyncFlag && !PresentPacing.PlatformWaitsFlag; }

int64_t PresentPacingPeriod(void)
{
    DisplayRecordInfo display;
    int rate = GetUseDisplayRecord(&display) == 0 ? display.RefreshRate : 0;
    if (rate <= 0) rate = GraphicsScreenSettings.MainScreenRefreshRate;
    if (rate <= 0) rate = DefaultRefreshRate;
    return 1000000 / rate;
}

void PacePresent(void) { PaceFrame(IsPresentPacingOn()); }

// A flip that presents nothing has no vertical-blank wait of the platform's to keep its pace:
// it is paced by the clock whenever vertical-sync waiting is on.
void PaceUnpresentedFrame(void) { PaceFrame(!GraphicsScreenSettings.NotWaitVSyncFlag); }

void PaceFrame(bool On)
{
    PresentPacingData &p = PresentPacing;
    int64_t now = PacingNow();
    if (!On || now < 0) {
        p.Due = -1;
        return;
    }
    int64_t period = PresentPacingPeriod();
    // One sleep to the due time (rounded up to the next millisecond); the due times stay a period
    // apart, so a present that comes a little late does not move the ones after it.
    if (p.Due >= 0 && now < p.Due && p.Due - now <= period) {
        SleepUntil(now, p.Due);
        now = PacingNow();
    }
    // A frame that took longer than a period (or a clock that jumped) starts the rhythm anew,
    // rather than presenting the missed periods in a burst.
    bool onTime = p.Due >= 0 && now - p.Due < period && p.Due - now <= period;
    p.Due = onTime ? p.Due + period : now + period;
}

int PresentToQueuingDevice(int (*Present)(void *Context), void *Context)
{
    PresentPacingData &p = PresentPacing;
    // The device is ready again about one of its frames after the last present returned; the
    // eighth held back keeps up with a device that gets faster, and every few sleeps a present
    // comes without one, to measure the device anew.
    int64_t now = PacingNow();
    bool slept = false;
    if (IsPresentPacingOn() && p.DeviceFrame > 0 && p.DeviceFrame < LongestDeviceFrame &&
        p.DeviceSleeps < DeviceSleepsBetweenMeasures && now >= 0)
        slept = SleepUntil(now, p.DeviceLastEnd + p.DeviceFrame - p.DeviceFrame / 8);
    int64_t start = PacingNow();
    int result = Present(Context);
    int64_t end = PacingNow();
    p.DeviceSleeps = slept ? p.DeviceSleeps + 1 : 0;
    // Only a present that came without a sleep, and waited for at least half the time since the
    // last one, measures the device: a frame mostly of the program's own work tells nothing of it,
    // and after a sleep the time holds the sleep's lateness and the present's own time too (the
    // next sleep would grow by them at every frame). A present that did not wait finds the device
    // keeping up: no sleep until one waits again.
    int64_t since = end - p.DeviceLastEnd, waited = end - start;
    if (waited < DeviceWaitMicroSeconds)
        p.DeviceFrame = 0;
    else if (!slept && p.DeviceLastEnd >= 0)
        p.DeviceFrame = waited * 2 >= since ? since : 0;
    p.DeviceLastEnd = end;
    return result;
}
