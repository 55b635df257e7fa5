// Runs a call on an asynchronous-load worker while the calling (main) thread serves the worker's
// main-thread requests, as the message pump does; for tests of calls that a worker hands to the
// main thread. The asynchronous load must be started with workers.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>

#include "zovuz/core/handle/async_load_internal.h"

// Call's result; a failure if the worker did not finish within 10 s.
inline int RunOnASyncWorker(std::function<int()> Call)
{
    struct Job
    {
        std::function<int()> *Call;
        std::atomic<int> *Result, *Done;
    };
    std::atomic<int> result{0}, done{0};
    ASyncLoadData *job = AllocASyncLoadJob(
        [](ASyncLoadData *Data) {
            Job j = ASyncLoadJobParams<Job>(Data);
            *j.Result = (*j.Call)();
            *j.Done = 1;
        },
        Job{&Call, &result, &done});
    EXPECT_GE(AddASyncLoadJob(job), 0);
    for (DWORD start = GetTickCount(); !done && GetTickCount() - start < 10000;) ProcessMainThreadRequests();
    EXPECT_EQ(1, done.load());
    while (GetASyncLoadNum() > 0) ProcessMainThreadRequests();
    return result;
}
