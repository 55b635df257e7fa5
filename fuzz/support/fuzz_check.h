// What every fuzz target uses: a check that reports a broken invariant as a finding, and the
// tracked heap's check around one input.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>

// A reader's invariant failed: print where and why, then abort so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition, ...)                                                    \
    do {                                                                              \
        if (!(condition)) {                                                           \
            fprintf(stderr, "%s:%d: invariant failed: %s: ", __FILE__, __LINE__, #condition); \
            fprintf(stderr, __VA_ARGS__);                                             \
            fputc('\n', stderr);                                                      \
            abort();                                                                  \
        }                                                                             \
    } while (0)

// Reads the first and the last of Count elements, so that the sanitizer checks that a buffer a
// reader handed out is as long as it says.
template <typename T>
void TouchEnds(const T *Buffer, size_t Count)
{
    volatile T first = Buffer[0];
    volatile T last = Buffer[Count - 1];
    (void)first;
    (void)last;
}

// Taken before the reader runs: Verify() checks afterwards that the library's tracked heap
// holds exactly the blocks it held before and that no block's guard bytes were damaged.
class TrackedHeapCheck {
public:
    TrackedHeapCheck();
    void Verify() const;

private:
    int AllocCount;
    int AllocBytes;
};
