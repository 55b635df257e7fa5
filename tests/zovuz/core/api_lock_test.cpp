// The library-wide API lock: re-entry, strict arrival order, newcomers behind waiters.
#include "zovuz/core/api_lock_internal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void WaitUntilWaiting(int Count)
{
    while (GetDxFunctionLockWaitingNum() < Count) Sleep(1);
}

// A thread that takes the lock once, notes that it got it, and leaves.
struct Taker {
    std::atomic<bool> Got{false};
    std::thread Thread;
    void Start(std::vector<int> *Order, int Id)
    {
        Thread = std::thread([this, Order, Id] {
            EnterDxFunctionLock();
            Got = true;
            if (Order != nullptr) Order->push_back(Id);  // serialised by the lock itself
            Sleep(5);
            LeaveDxFunctionLock();
        });
    }
};

TEST(DxFunctionLock, OwnerReentersAndReleasesOnLastLeaveOnly)
{
    EnterDxFunctionLock();
    EnterDxFunctionLock();
    EnterDxFunctionLock();
    EXPECT_EQ(3, GetDxFunctionLockDepth());

    Taker other;
    other.Start(nullptr, 0);
    WaitUntilWaiting(1);
    LeaveDxFunctionLock();
    LeaveDxFunctionLock();
    Sleep(50);  // time for a wrongly woken waiter to take it
    EXPECT_FALSE(other.Got);
    EXPECT_EQ(1, GetDxFunctionLockDepth());

    LeaveDxFunctionLock();
    other.Thread.join();
    EXPECT_TRUE(other.Got);
    EXPECT_EQ(0, GetDxFunctionLockDepth());
    EXPECT_EQ(0, GetDxFunctionLockWaitingNum());
}

TEST(DxFunctionLock, WaitersGetTheLockInArrivalOrder)
{
    for (int round = 0; round < 5; ++round) {
        std::vector<int> order;
        EnterDxFunctionLock();
        Taker takers[3];
        for (int i = 0; i < 3; ++i) {
            takers[i].Start(&order, i);
            WaitUntilWaiting(i + 1);
        }
        LeaveDxFunctionLock();
        for (Taker &t : takers) t.Thread.join();
        EXPECT_EQ((std::vector<int>{0, 1, 2}), order) << "round " << round;
    }
}

// The owner releases while A waits and at once asks again: the free lock still goes to A first.
TEST(DxFunctionLock, NewcomerQueuesBehindWaitersEvenWhenTheLockIsFree)
{
    for (int round = 0; round < 20; ++round) {
        EnterDxFunctionLock();
        Taker waiter;
        waiter.Start(nullptr, 0);
        WaitUntilWaiting(1);
        LeaveDxFunctionLock();
        EnterDxFunctionLock();
        EXPECT_TRUE(waiter.Got) << "round " << round;
        LeaveDxFunctionLock();
        waiter.Thread.join();
    }
}

TEST(DxFunctionLock, LeaveFromAnotherThreadIsRefused)
{
    EnterDxFunctionLock();
    std::thread([] { LeaveDxFunctionLock(); }).join();
    EXPECT_EQ(1, GetDxFunctionLockDepth());

    Taker other;
    other.Start(nullptr, 0);
    WaitUntilWaiting(1);
    EXPECT_FALSE(other.Got);
    LeaveDxFunctionLock();
    other.Thread.join();
    EXPECT_TRUE(other.Got);
}

TEST(DxFunctionLock, ClosedLockIsMadeAgainOnNextEntry)
{
    EnterDxFunctionLock();
    LeaveDxFunctionLock();
    CloseDxFunctionLock();
    EXPECT_EQ(0, GetDxFunctionLockDepth());
    EnterDxFunctionLock();
    EXPECT_EQ(1, GetDxFunctionLockDepth());
    LeaveDxFunctionLock();
}

}  // namespace
