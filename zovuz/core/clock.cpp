// The clocks' arithmetic and the library's wait.
#include "zovuz/core/clock.h"
#include "zovuz/core/clock_internal.h"

#include "zovuz/core/threads.h"
#include "zovuz/core/desktop/window.h"

namespace {

constexpr uint64_t MicroPerSecond = 1000000;
constexpr int64_t SpinMicroSeconds = 4000;  // the end of a wait is spun, not slept

}  // namespace

int64_t MicroCountFromCounter(uint64_t Count, uint64_t Frequency)
{
    // Count = q x Frequency + r, so Count x 10^6 / Frequency = q x 10^6 + r x 10^6 / Frequency.
    uint64_t quotient = Count / Frequency;
    uint64_t remainder = Count % Frequency;
    if (remainder <= UINT64_MAX / MicroPerSecond)
        return static_cast<int64_t>(quotient * MicroPerSecond + remainder * MicroPerSecond / Frequency);

    // A frequency above 18 THz: long division of the 128-bit product r x 10^6.
    uint64_t low = 0, high = 0;
    for (int bit = 63; bit >= 0; --bit) {
        if ((MicroPerSecond >> bit) & 1) {
            uint64_t addLow = remainder << bit;
            uint64_t addHigh = bit == 0 ? 0 : remainder >> (64 - bit);
            low += addLow;
            high += addHigh + (low < addLow ? 1 : 0);
        }
    }
    uint64_t fraction = 0, rest = 0;
    for (int bit = 127; bit >= 0; --bit) {
        uint64_t top = rest >> 63;
        rest = (rest << 1) | ((bit >= 64 ? high >> (bit - 64) : low >> bit) & 1);
        if (top || rest >= Frequency) {
            rest -= Frequency;
            if (bit < 64) fraction |= uint64_t(1) << bit;
        }
    }
    return static_cast<int64_t>(quotient * MicroPerSecond + fraction);
}

int64_t WaitEndMicroCount(int64_t Start, int MilliSeconds) { return Start + static_cast<int64_t>(MilliSeconds) * 1000; }

int WaitMilliseconds(int MilliSeconds)
{
    int64_t start = GetNowMicroCount();
    if (start < 0) {
        // No clock to spin on (no performance counter, winmm not loaded): spinning would never
        // end, so the wait sleeps instead.
        ThreadSleep(MilliSeconds);
        return 0;
    }
    int64_t target = WaitEndMicroCount(start, MilliSeconds);
    if (target - start > SpinMicroSeconds && ProcessMessage() == 0) {
        int64_t early = target - SpinMicroSeconds;
        while (GetNowMicroCount() < early) {
            ThreadSleep(1);
            if (ProcessMessage() != 0) break;
        }
    }
    while (GetNowMicroCount() < target) {
    }
    return 0;
}
