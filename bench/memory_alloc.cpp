// Allocate + free pairs per second of the tracked allocator beside the C run-time's malloc/free,
// for small and large sizes, on one thread and on four at once.
//
// Each thread keeps a ring of live blocks and replaces one per step (free the oldest, allocate a
// new one of a size from a fixed random table), so the heaps work with a standing population of
// blocks as they do in the running program, rather than giving a piece back on every free.
//
// The machine is shared with other work, so each figure is the best of several rounds, the two
// allocators taking turns, and the ratio compares figures of the same run.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"

namespace {

constexpr int kRing = 256;
constexpr int kRounds = 3;

struct SizeClass {
    const char *Name;
    size_t Min;
    size_t Max;
    int Steps;  // pairs per thread
};

struct DxAllocator {
    static void *Alloc(size_t size) { return DxAlloc(size, __FILE__, __LINE__); }
    static void Free(void *p) { DxFree(p); }
};

struct CrtAllocator {
    static void *Alloc(size_t size) { return malloc(size); }
    static void Free(void *p) { free(p); }
};

template <typename Allocator>
void Churn(const std::vector<size_t> &sizes, int steps, unsigned offset)
{
    void *ring[kRing] = {};
    size_t n = sizes.size();
    for (int i = 0; i < kRing; ++i) {
        ring[i] = Allocator::Alloc(sizes[(offset + i) % n]);
    }
    for (int i = 0; i < steps; ++i) {
        int slot = i % kRing;
        Allocator::Free(ring[slot]);
        void *p = Allocator::Alloc(sizes[(offset + i) % n]);
        if (p != NULL) *static_cast<volatile char *>(p) = 1;
        ring[slot] = p;
    }
    for (int i = 0; i < kRing; ++i) Allocator::Free(ring[i]);
}

// Pairs per second over all threads.
template <typename Allocator>
double Measure(const std::vector<size_t> &sizes, int steps, int threads)
{
    double start = BenchSeconds();
    if (threads == 1) {
        Churn<Allocator>(sizes, steps, 0);
    } else {
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) {
            pool.emplace_back([&sizes, steps, t] { Churn<Allocator>(sizes, steps, unsigned(t) * 977u); });
        }
        for (std::thread &thread : pool) thread.join();
    }
    double seconds = BenchSeconds() - start;
    return double(steps) * threads / seconds;
}

}  // namespace

int main()
{
    const SizeClass classes[] = {
        {"small 16-1024 B", 16, 1024, 500000},
        {"small 1-65536 B", 1, 65536, 150000},
        {"large 65537-262144 B", 65537, 262144, 50000},
    };
    printf("allocate+free pairs per second (ring of %d live blocks per thread, best of %d rounds)\n", kRing, kRounds);
    printf("%-22s %8s %16s %16s %8s\n", "sizes", "threads", "DxAlloc/DxFree", "malloc/free", "ratio");
    for (const SizeClass &sizeClass : classes) {
        std::mt19937 rng(1234);
        std::vector<size_t> sizes(4096);
        for (size_t &size : sizes) size = sizeClass.Min + rng() % (sizeClass.Max - sizeClass.Min + 1);
        for (int threads : {1, 4}) {
            // A warm-up pass of each, so that both start with their memory already taken.
            Measure<DxAllocator>(sizes, sizeClass.Steps / 10, threads);
            Measure<CrtAllocator>(sizes, sizeClass.Steps / 10, threads);
            double dx = 0, crt = 0;
            for (int round = 0; round < kRounds; ++round) {
                dx = std::max(dx, Measure<DxAllocator>(sizes, sizeClass.Steps / 2, threads));
                crt = std::max(crt, Measure<CrtAllocator>(sizes, sizeClass.Steps / 2, threads));
            }
            printf("%-22s %8d %16.0f %16.0f %8.2f\n", sizeClass.Name, threads, dx, crt, dx / crt);
        }
    }
    printf("live blocks after the run: %d (expected 0)\n", GetAllocNum());
    return GetAllocNum() == 0 && CheckMemory() == 0 ? 0 : 1;
}
