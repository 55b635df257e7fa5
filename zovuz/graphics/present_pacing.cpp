// Presents paced by the clock. A platform whose vertical-blank wait returns at once (Wine answers
// not implemented, or waits for nothing) lets a frame loop present as fast as it can draw: a whole
// core for a window that shows nothing new. While vertical-sync waiting is on and the platform
// gives no wait, the flip waits out the rest of the display's refresh period on the clock instead.
#include "zovuz/graphics/display_internal.h"

PresentPacingData PresentPacing = {1, -1, nullptr, nullptr};

namespace {

constexpr int64_t BlockingWaitMicroSeconds = 1000;  // two waits in a row that block take longer
constexpr int BlankWaitTries = 3;
constexpr int DefaultRefreshRate = 60;

int64_t PacingNow() { return PresentPacing.Clock != nullptr ? PresentPacing.Clock() : GetNowMicroCount(); }

void PacingSleep(int MilliSeconds)
{
    if (PresentPacing.Sleep != nullptr)
        PresentPacing.Sleep(MilliSeconds);
    else
        ThreadSleep(MilliSeconds);
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
    PresentPacing.PlatformWaitsFlag = Flag ? 1 : 0;
    PresentPacing.Due = -1;
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

void PacePresent(void)
{
    PresentPacingData &p = PresentPacing;
    int64_t now = PacingNow();
    if (!IsPresentPacingOn() || now < 0) {
        p.Due = -1;
        return;
    }
    int64_t period = PresentPacingPeriod();
    // One sleep to the due time (rounded up to the next millisecond); the due times stay a period
    // apart, so a present that comes a little late does not move the ones after it.
    if (p.Due >= 0 && now < p.Due && p.Due - now <= period) {
        PacingSleep((int)((p.Due - now + 999) / 1000));
        now = PacingNow();
    }
    // A frame that took longer than a period (or a clock that jumped) starts the rhythm anew,
    // rather than presenting the missed periods in a burst.
    bool onTime = p.Due >= 0 && now - p.Due < period && p.Due - now <= period;
    p.Due = onTime ? p.Due + period : now + period;
}
