// The arithmetic of the vertical-blank waits: the measured period and the sleep threshold.
#include "zovuz/graphics/display_internal.h"

int64_t VSyncPeriodFromIntervals(const int64_t *Intervals, int Count)
{
    int64_t previous = 0, sum = 0;
    int steady = 0;
    for (int i = 0; i < Count; ++i) {
        int64_t interval = Intervals[i];
        int64_t change = interval - previous;
        if (change < 0) change = -change;
        // The first interval has nothing to be compared with.
        if (i > 0 && change < 1000) {
            sum += interval;
            if (++steady == 10) return sum / steady;
        } else {
            sum = 0;
            steady = 0;
        }
        previous = interval;
    }
    return -1;
}

int64_t VSyncWaitThreshold(int64_t Period) { return Period >= 0 ? Period - 3000 : 4000; }
