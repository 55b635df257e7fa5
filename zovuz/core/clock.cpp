// The clocks' arithmetic and the library's wait.
#include "zovuz/core/clock.h"
#include "zovuz/core/clock_internal.h"

#include "zovuz/core/base_helpers.h"
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

    // A frequency above 18 THz: r x 10^6 needs 128 bits; r < Frequency keeps its quotient below 10^6.
    UInt128 product;
    UInt64MulTo128(&remainder, &MicroPerSecond, &product);
    uint64_t fraction;
    UInt128DivBy64(&product, Frequency, &fraction);
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
