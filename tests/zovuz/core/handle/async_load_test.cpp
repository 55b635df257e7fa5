// The asynchronous loader: packed parameters, the queue, the order in which workers take jobs,
// main-thread requests served by the pump call, and the tie to handle deletion.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/test_files.h"
#include "zovuz/core/handle/async_load.h"
#include "zovuz/core/handle/async_load_internal.h"
#include "zovuz/core/handle/handle.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/system_info.h"
#include "zovuz/core/system_info_internal.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"
#include "zovuz/core/windows/api_table.h"
#include "zovuz/core/handle/handle_internal.h"

#include <shlobj.h>

namespace {

// What the test jobs report back.
struct JobLog {
    std::mutex lock;
    std::vector<int> order;          // ids of the jobs in the order they started
    std::vector<int> asked_order;    // ids of the jobs in the order they asked the main thread
    std::vector<int> served_order;   // ids of the requests in the order the main thread ran them
    std::atomic<int> running{0};     // jobs running at this moment
    std::atomic<int> max_running{0};
    std::atomic<int> asked{0};       // jobs that have issued a main-thread request
    std::atomic<int> served{0};      // request functions run
    std::atomic<uint32_t> served_thread{0};
    std::atomic<int> request_result{0};
    void *gate = nullptr;            // blocking jobs wait for it
    void Reset()
    {
        std::lock_guard<std::mutex> g(lock);
        order.clear();
        asked_order.clear();
        served_order.clear();
        running = max_running = asked = served = request_result = 0;
        served_thread = 0;
    }
};
JobLog g_log;

struct Params {
    int id;
    int handle;
    int block;    // wait for the gate first
    int request;  // ask the main thread for something (with a delay in ms), -1 none
};

Params ReadParams(ASyncLoadData *d)
{
    int at = 0;
    Params p;
    p.id = GetASyncLoadParamInt(d->Data, &at);
    p.handle = GetASyncLoadParamInt(d->Data, &at);
    p.block = GetASyncLoadParamInt(d->Data, &at);
    p.request = GetASyncLoadParamInt(d->Data, &at);
    return p;
}

int OnMainThread(ASyncLoadRequestInfo *info)
{
    g_log.served_thread = ThreadGetCurrentId();
    if (info->Data[1] > 0) ThreadSleep((int)info->Data[1]);
    {
        std::lock_guard<std::mutex> g(g_log.lock);
        g_log.served_order.push_back((int)info->Data[0]);
    }
    g_log.served++;
    return 40 + (int)info->Data[0];
}

void TestJob(ASyncLoadData *d)
{
    Params p = ReadParams(d);
    int now = ++g_log.running;
    int prev = g_log.max_running;
    while (now > prev && !g_log.max_running.compare_exchange_weak(prev, now)) {}
    {
        std::lock_guard<std::mutex> g(g_log.lock);
        g_log.order.push_back(p.id);
    }
    if (p.block) EventWait(g_log.gate, 20000);
    if (p.request >= 0)
    {
        ASyncLoadRequestInfo req = {};
        req.Function = OnMainThread;
        req.Data[0] = (uintptr_t)p.id;
        req.Data[1] = (uintptr_t)p.request;
        {
            // A worker that asks lets the next one run only from inside its request, so this
            // is the order in which the requests arrive.
            std::lock_guard<std::mutex> g(g_log.lock);
            g_log.asked_order.push_back(p.id);
        }
        g_log.asked++;
        g_log.request_result = RequestMainThreadCall(&req);
    }
    --g_log.running;
    if (p.handle >= 0) DecASyncLoadCount(p.handle);
}

ASyncLoadData *MakeJob(int id, int handle = -1, int block = 0, int request = -1)
{
    const int values[] = {id, handle, block, request};
    int size = 0;
    for (int v : values) AddASyncLoadParamInt(nullptr, &size, v);
    ASyncLoadData *d = AllocASyncLoadData(size);
    if (d == nullptr) return nullptr;
    d->ProcessFunction = TestJob;
    int at = 0;
    for (int v : values) AddASyncLoadParamInt(d->Data, &at, v);
    return d;
}

// Serves requests like the message pump until every job is gone, or gives up.
bool PumpUntilIdle(int timeout_ms = 10000)
{
    for (int waited = 0; waited < timeout_ms; ++waited)
    {
        if (GetASyncLoadNum() == 0) return true;
        ProcessMainThreadRequests();
        ThreadSleep(1);
    }
    return false;
}

template <class F>
bool WaitFor(F done, int timeout_ms = 10000)
{
    for (int waited = 0; waited < timeout_ms; ++waited)
    {
        if (done()) return true;
        ThreadSleep(1);
    }
    return false;
}

TEST(ASyncLoadParams, RoundTripAndLengths)
{
    const unsigned char blob[5] = {1, 2, 3, 4, 5};
    unsigned char block[256] = {};
    for (int pass = 0; pass < 2; ++pass)
    {
        void *target = pass == 0 ? nullptr : block;
        int at = 0;
        ASSERT_EQ(0, AddASyncLoadParamInt(target, &at, -123456));
        ASSERT_EQ(0, AddASyncLoadParamString(target, &at, nullptr));
        EXPECT_EQ(6, at);  // a null string is just its length
        ASSERT_EQ(0, AddASyncLoadParamString(target, &at, L""));
        EXPECT_EQ(10, at);  // an empty string is 4 bytes: length and terminator
        ASSERT_EQ(0, AddASyncLoadParamString(target, &at, L"曲abc"));
        EXPECT_EQ(22, at);  // 2 + (4 + 1) * 2
        ASSERT_EQ(0, AddASyncLoadParamData(target, &at, blob, 5));
        ASSERT_EQ(0, AddASyncLoadParamInt(target, &at, 7));
        EXPECT_EQ(33, at);
    }
    int at = 0;
    EXPECT_EQ(-123456, GetASyncLoadParamInt(block, &at));
    EXPECT_EQ(nullptr, GetASyncLoadParamString(block, &at));
    const wchar_t *empty = GetASyncLoadParamString(block, &at);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(0, empty[0]);
    EXPECT_STREQ(L"曲abc", GetASyncLoadParamString(block, &at));
    EXPECT_EQ(0, memcmp(blob, GetASyncLoadParamData(block, &at), 5));
    EXPECT_EQ(7, GetASyncLoadParamInt(block, &at));
    EXPECT_EQ(33, at);
}

TEST(ASyncLoadParams, RefusesWhatItsSixteenBitLengthsCannotHold)
{
    std::vector<unsigned char> big(70000, 0x11);
    std::wstring longest(ASYNCLOAD_PARAM_STRING_MAXLENGTH, L'a');
    std::wstring too_long(ASYNCLOAD_PARAM_STRING_MAXLENGTH + 1, L'a');

    int at = 8;
    EXPECT_EQ(-1, AddASyncLoadParamData(nullptr, &at, big.data(), ASYNCLOAD_PARAM_DATA_MAXSIZE + 1));
    EXPECT_EQ(-1, AddASyncLoadParamString(nullptr, &at, too_long.c_str()));
    EXPECT_EQ(-1, AddASyncLoadParamData(nullptr, &at, nullptr, 4));
    EXPECT_EQ(-1, AddASyncLoadParamData(nullptr, &at, big.data(), -1));
    EXPECT_EQ(8, at);  // refusals leave the offset alone

    // The largest that fit read back whole.
    std::vector<unsigned char> block(140000);
    at = 0;
    ASSERT_EQ(0, AddASyncLoadParamData(block.data(), &at, big.data(), ASYNCLOAD_PARAM_DATA_MAXSIZE));
    ASSERT_EQ(0, AddASyncLoadParamString(block.data(), &at, longest.c_str()));
    at = 0;
    EXPECT_EQ(0, memcmp(big.data(), GetASyncLoadParamData(block.data(), &at), ASYNCLOAD_PARAM_DATA_MAXSIZE));
    EXPECT_EQ(longest, GetASyncLoadParamString(block.data(), &at));
}

TEST(ASyncLoadQueue, RefusesEverythingBeforeInitialisation)
{
    ASyncLoadData *d = MakeJob(1);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(-1, AddASyncLoadJob(d));
    EXPECT_EQ(-1, DeleteASyncLoadJob(0, 0));
    EXPECT_EQ(-1, ProcessMainThreadRequests());
    ASyncLoadRequestInfo req = {};
    req.Function = OnMainThread;
    EXPECT_EQ(-1, RequestMainThreadCall(&req));
    EXPECT_EQ(0, IsMainThread());
    EXPECT_EQ(-1, TerminateASyncLoad());
    DxFree(d);
}

// Without workers, jobs stay queued: slots, removal and the top of the queue.
TEST(ASyncLoadQueue, SlotsAndRemovalWithoutWorkers)
{
    ASSERT_EQ(0, InitializeASyncLoad(ThreadGetCurrentId()));
    EXPECT_EQ(-1, InitializeASyncLoad(ThreadGetCurrentId()));
    EXPECT_EQ(1, IsMainThread());
    EXPECT_EQ(0, ProcessMainThreadRequests());

    ASyncLoadData *j[3];
    for (int i = 0; i < 3; ++i)
    {
        j[i] = MakeJob(i);
        ASSERT_EQ(i, AddASyncLoadJob(j[i]));  // the slot, which the handle layer is given
        EXPECT_EQ(i, j[i]->Index);
        EXPECT_EQ(0, j[i]->Run);
    }
    EXPECT_EQ(3, GetASyncLoadNum());
    EXPECT_EQ(-1, DeleteASyncLoadJob(3, 0));
    EXPECT_EQ(-1, DeleteASyncLoadJob(-1, 0));
    EXPECT_EQ(-1, DeleteASyncLoadJob(ASYNCLOADDATA_MAXNUM, 0));

    // Removing the top job lowers the top past the empty slot below it.
    ASSERT_EQ(0, DeleteASyncLoadJob(1, 1));
    ASSERT_EQ(0, DeleteASyncLoadJob(2, 1));
    EXPECT_EQ(-1, DeleteASyncLoadJob(2, 1));
    ASyncLoadData *next = MakeJob(9);
    EXPECT_EQ(1, AddASyncLoadJob(next));
    ASSERT_EQ(0, DeleteASyncLoadJob(1, 0));
    ASSERT_EQ(0, DeleteASyncLoadJob(0, 0));
    EXPECT_EQ(0, GetASyncLoadNum());
    EXPECT_EQ(0, AddASyncLoadJob(MakeJob(10)));

    // Terminating frees what never ran.
    EXPECT_EQ(0, TerminateASyncLoad());
    EXPECT_EQ(0, GetASyncLoadNum());
}

// A loader that deadlocks would hang the whole program: end it with a message instead.
class Watchdog {
public:
    explicit Watchdog(int seconds)
        : done_(EventCreate(1, 0)), thread_([this, seconds] {
              if (EventWait(done_, seconds * 1000) != 0)
              {
                  fprintf(stderr, "watchdog: %s hung\n", ::testing::UnitTest::GetInstance()->current_test_info()->name());
                  fflush(stderr);
                  _Exit(3);
              }
          })
    {
    }
    ~Watchdog()
    {
        EventSet(done_);
        thread_.join();
        EventClose(done_);
    }

private:
    void *done_;
    std::thread thread_;
};

class ASyncLoadWorkers : public ::testing::Test {
protected:
    std::unique_ptr<Watchdog> watchdog_;
    int limit_ = 1;             // workers that may run at once
    bool start_workers_ = true;  // start them in SetUp
    void SetUp() override
    {
        watchdog_.reset(new Watchdog(30));
        g_log.Reset();
        g_log.gate = EventCreate(1, 0);
        ASSERT_EQ(0, InitializeASyncLoad(ThreadGetCurrentId()));
        SetASyncLoadThreadCount(limit_);
        if (start_workers_)
        {
            ASSERT_EQ(0, StartASyncLoadThreads(8));
        }
    }
    void TearDown() override
    {
        EventSet(g_log.gate);
        EXPECT_TRUE(PumpUntilIdle());
        EXPECT_EQ(0, StopASyncLoadThreads());
        EXPECT_EQ(0, TerminateASyncLoad());
        EventClose(g_log.gate);
        watchdog_.reset();
    }
    std::vector<int> Order()
    {
        std::lock_guard<std::mutex> g(g_log.lock);
        return g_log.order;
    }
};

TEST_F(ASyncLoadWorkers, WithOneActiveWorkerJobsRunOneAtATimeOldestFirst)
{
    // A blocking job holds the only place while the others queue up with distinct times.
    ASSERT_LE(0, AddASyncLoadJob(MakeJob(0, -1, 1)));
    ASSERT_TRUE(WaitFor([&] { return g_log.running == 1; }));
    for (int id = 1; id <= 4; ++id)
    {
        ThreadSleep(3);
        ASSERT_LE(0, AddASyncLoadJob(MakeJob(id)));
    }
    ThreadSleep(50);
    EXPECT_EQ(std::vector<int>({0}), Order());  // nothing else started meanwhile
    EventSet(g_log.gate);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(std::vector<int>({0, 1, 2, 3, 4}), Order());
    EXPECT_EQ(1, g_log.max_running.load());
}

TEST_F(ASyncLoadWorkers, OfEqualQueueTimesTheLaterSlotGoesFirst)
{
    ASSERT_LE(0, AddASyncLoadJob(MakeJob(0, -1, 1)));
    ASSERT_TRUE(WaitFor([&] { return g_log.running == 1; }));
    // Two jobs queued back to back; their times are read while the first job still blocks.
    ASyncLoadData *a = MakeJob(1);
    ASyncLoadData *b = MakeJob(2);
    ASSERT_LE(0, AddASyncLoadJob(a));
    ASSERT_LE(0, AddASyncLoadJob(b));
    bool tie = a->StartTime == b->StartTime;
    EventSet(g_log.gate);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(tie ? std::vector<int>({0, 2, 1}) : std::vector<int>({0, 1, 2}), Order()) << "tie " << tie;
}

TEST_F(ASyncLoadWorkers, AWorkersRequestIsServedByThePumpCallOnTheMainThread)
{
    ASSERT_LE(0, AddASyncLoadJob(MakeJob(2, -1, 0, 0)));
    ASSERT_TRUE(WaitFor([&] { return g_log.asked == 1; }));
    ThreadSleep(50);
    EXPECT_EQ(0, g_log.served.load());  // nothing runs it but the pump
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(1, g_log.served.load());
    EXPECT_EQ(ThreadGetCurrentId(), g_log.served_thread.load());
    EXPECT_EQ(42, g_log.request_result.load());
}

TEST_F(ASyncLoadWorkers, RequestsBeyondTheTimeBudgetWaitForTheNextPass)
{
    // While a worker waits for the main thread another takes its place, so several
    // requests can be pending; each takes 5 ms, so a pass serves only the first.
    for (int id = 0; id < 3; ++id) ASSERT_LE(0, AddASyncLoadJob(MakeJob(id, -1, 0, 5)));
    ASSERT_TRUE(WaitFor([&] { return g_log.asked == 3; }));
    ThreadSleep(50);
    int passes = 0;
    for (int before = 0; before < 3 && passes < 10000; ++passes)
    {
        ASSERT_EQ(0, ProcessMainThreadRequests());
        int now = g_log.served.load();
        EXPECT_LE(now - before, 1) << "one pass served two 5 ms requests";
        before = now;
        ThreadSleep(1);
    }
    EXPECT_EQ(3, g_log.served.load());
    {
        std::lock_guard<std::mutex> g(g_log.lock);
        EXPECT_EQ(g_log.asked_order, g_log.served_order);  // held-over requests keep their order
    }
    ASSERT_TRUE(PumpUntilIdle());
}

TEST_F(ASyncLoadWorkers, ARequestFromANonWorkerIsRefusedAndLoadingGoesOn)
{
    ASyncLoadRequestInfo req = {};
    req.Function = OnMainThread;
    EXPECT_EQ(-1, RequestMainThreadCall(&req));
    int from_other = 0;
    std::thread([&] { from_other = RequestMainThreadCall(&req); }).join();
    EXPECT_EQ(-1, from_other);
    EXPECT_EQ(0, g_log.served.load());
    EXPECT_NE(std::wstring::npos,
              ReadLogText().find(L"非同期読み込みスレッド以外からメインスレッドへの処理依頼が行われました"));

    // The refusals left the loader's lock free: a worker can still take and finish a job,
    // and another thread can still queue one.
    ASSERT_LE(0, AddASyncLoadJob(MakeJob(5, -1, 0, 0)));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(std::vector<int>({5}), Order());
    EXPECT_EQ(45, g_log.request_result.load());
    int queued = -2;
    std::thread([&] { queued = AddASyncLoadJob(MakeJob(6)); }).join();
    EXPECT_LE(0, queued);
    ASSERT_TRUE(PumpUntilIdle());
}

TEST_F(ASyncLoadWorkers, ARunningJobCannotBeRemovedWhenOnlyUnstartedOnesMayBe)
{
    EXPECT_EQ(-1, StartASyncLoadThreads(8));  // the workers are already there
    ASyncLoadData *job = MakeJob(0, -1, 1);
    ASSERT_LE(0, AddASyncLoadJob(job));
    ASSERT_TRUE(WaitFor([&] { return g_log.running == 1; }));
    EXPECT_EQ(-2, DeleteASyncLoadJob(job->Index, 1));
    EXPECT_EQ(1, GetASyncLoadNum());
}

struct LoadRecord {
    HandleInfo Info;
    int Value;
};

// A loader's protocol: the handle is made loading; under the type's lock the job is queued and
// tied to it; the creator then drops its own count, and the job's end drops the last one.
int QueueLoad(int type, int id, int block, int request)
{
    int h = AddHandle(type, 1, -1);
    ASyncLoadData *job = MakeJob(id, h, block, request);
    CRITICALSECTION_LOCK(&HandleManageArray[type].CriticalSection);
    int slot = AddASyncLoadJob(job);
    if (slot >= 0) IncASyncLoadCount(h, slot);
    CRITICALSECTION_UNLOCK(&HandleManageArray[type].CriticalSection);
    DecASyncLoadCount(h);
    return h;
}

TEST_F(ASyncLoadWorkers, DeletingAHandleCancelsItsQueuedJobAndWaitsForItsRunningOne)
{
    ASSERT_EQ(0, InitializeHandleType(27, sizeof(LoadRecord), 16, nullptr, nullptr, L"Load"));
    // The running load, once let go, also needs the main thread before it can finish.
    int running = QueueLoad(27, 1, 1, 0);
    ASSERT_TRUE(WaitFor([&] { return g_log.running == 1; }));
    int queued = QueueLoad(27, 2, 0, -1);
    EXPECT_EQ(nullptr, HandleCheckReady(running));
    EXPECT_EQ(nullptr, HandleCheckReady(queued));
    EXPECT_EQ(2, GetASyncLoadNum());

    int queued_flag = 0;
    SetHandleDeleteNotify(queued, &queued_flag);
    EXPECT_EQ(0, SubHandle(queued));
    EXPECT_EQ(-1, queued_flag);
    EXPECT_EQ(1, GetASyncLoadNum());

    std::thread opener([] {
        ThreadSleep(100);
        EventSet(g_log.gate);
    });
    EXPECT_EQ(0, SubHandle(running));  // returns only once the job has finished
    opener.join();
    EXPECT_EQ(1, g_log.served.load());
    EXPECT_EQ(0, g_log.running.load());
    EXPECT_EQ(nullptr, GetHandleData(running));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(std::vector<int>({1}), Order());  // the cancelled job never ran
    EXPECT_EQ(0, TerminateHandleType(27));
}

TEST_F(ASyncLoadWorkers, WaitingForALoadServesItsRequests)
{
    ASSERT_EQ(0, InitializeHandleType(26, sizeof(LoadRecord), 16, nullptr, nullptr, L"Load"));
    int h = QueueLoad(26, 3, 0, 0);
    EXPECT_EQ(0, WaitHandleASyncLoad(h));
    EXPECT_EQ(0, IsHandleASyncLoading(h));
    EXPECT_NE(nullptr, HandleCheckReady(h));
    EXPECT_EQ(43, g_log.request_result.load());
    EXPECT_EQ(0, TerminateHandleType(26));
}

TEST_F(ASyncLoadWorkers, StopEndsWorkersThatWaitForTheMainThread)
{
    ASSERT_LE(0, AddASyncLoadJob(MakeJob(7, -1, 0, 0)));
    ASSERT_TRUE(WaitFor([&] { return g_log.asked == 1; }));
    ThreadSleep(20);
    EXPECT_EQ(0, StopASyncLoadThreads());  // serves the pending request so the worker can end
    EXPECT_EQ(1, g_log.served.load());
    EXPECT_EQ(47, g_log.request_result.load());
    EXPECT_EQ(0, GetASyncLoadNum());
}

// Three workers may run at once: a fourth and fifth job wait for a place.
class ASyncLoadThreeWorkers : public ASyncLoadWorkers {
protected:
    ASyncLoadThreeWorkers() { limit_ = 3; }
};

TEST_F(ASyncLoadThreeWorkers, JobsRunThreeAtATime)
{
    for (int id = 0; id < 5; ++id) ASSERT_LE(0, AddASyncLoadJob(MakeJob(id, -1, 1)));
    ASSERT_TRUE(WaitFor([&] { return g_log.running == 3; }));
    ThreadSleep(50);
    EXPECT_EQ(3, g_log.running.load());
    EventSet(g_log.gate);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(5u, Order().size());
    EXPECT_EQ(3, g_log.max_running.load());
}

// Jobs queued before the workers exist wake nobody; the pump's top-up then wakes workers up to
// one less than the limit (two of three), and no further on later passes.
class ASyncLoadQueuedBeforeStart : public ASyncLoadWorkers {
protected:
    ASyncLoadQueuedBeforeStart()
    {
        limit_ = 3;
        start_workers_ = false;
    }
};

TEST_F(ASyncLoadQueuedBeforeStart, ThePumpTopsUpTheRunningWorkers)
{
    for (int id = 0; id < 4; ++id) ASSERT_EQ(id, AddASyncLoadJob(MakeJob(id, -1, 1)));
    ASSERT_EQ(0, StartASyncLoadThreads(8));
    ThreadSleep(50);
    EXPECT_EQ(0, g_log.running.load());
    ASSERT_EQ(0, ProcessMainThreadRequests());
    ASSERT_TRUE(WaitFor([&] { return g_log.running == 2; }));
    ASSERT_EQ(0, ProcessMainThreadRequests());
    ThreadSleep(50);
    EXPECT_EQ(2, g_log.running.load());
    EventSet(g_log.gate);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(4u, Order().size());
}

// A worker's COM object is made on the main thread, where COM is started; the worker itself
// has no COM and could not make it.
HRESULT g_created_hr = E_FAIL;
IUnknown *g_created = nullptr;

void CreateOnMainThreadJob(ASyncLoadData *)
{
    g_created_hr = CoCreateInstance_ASync(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                          reinterpret_cast<void **>(&g_created), 1);
}

TEST_F(ASyncLoadWorkers, AWorkerMakesACOMObjectThroughTheMainThread)
{
    LoadWinAPI();
    ASSERT_EQ(0, InitializeCom());
    ASyncLoadData *job = AllocASyncLoadData(0);
    ASSERT_NE(nullptr, job);
    job->ProcessFunction = CreateOnMainThreadJob;
    ASSERT_LE(0, AddASyncLoadJob(job));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(S_OK, g_created_hr);
    ASSERT_NE(nullptr, g_created);
    g_created->Release();
    EXPECT_EQ(0, TerminateCom());
}

// Without workers nothing leaves the queue: it fills, and the next job is refused with the
// message and stays the caller's. A slot freed in a full queue is the next one given out.
TEST(ASyncLoadQueue, AFullQueueRefusesWithItsMessage)
{
    ASSERT_EQ(0, InitializeASyncLoad(ThreadGetCurrentId()));
    for (int i = 0; i < ASYNCLOADDATA_MAXNUM; ++i) ASSERT_EQ(i, AddASyncLoadJob(MakeJob(i)));
    RemoveLogFile();
    ASyncLoadData *extra = MakeJob(-1);
    EXPECT_EQ(-1, AddASyncLoadJob(extra));
    EXPECT_NE(std::wstring::npos, ReadLogText().find(L"非同期読み込みデータの数が許容量を越えました終了します"));
    ASSERT_EQ(0, DeleteASyncLoadJob(100, 0));
    EXPECT_EQ(100, AddASyncLoadJob(extra));
    EXPECT_EQ(0, TerminateASyncLoad());
}

// Deleting a loading handle removes its own queued job and no other.
TEST(ASyncLoadQueue, DeletingAHandleRemovesOnlyItsOwnJob)
{
    ASSERT_EQ(0, InitializeASyncLoad(ThreadGetCurrentId()));
    ASSERT_EQ(0, InitializeHandleType(25, sizeof(LoadRecord), 16, nullptr, nullptr, L"Load"));
    int first = QueueLoad(25, 1, 0, -1);
    int second = QueueLoad(25, 2, 0, -1);
    EXPECT_EQ(0, SubHandle(second));
    EXPECT_EQ(1, IsHandleASyncLoading(first));
    EXPECT_EQ(0, SubHandle(first));
    EXPECT_EQ(0, GetASyncLoadNum());
    EXPECT_EQ(0, TerminateHandleType(25));
    EXPECT_EQ(0, TerminateASyncLoad());
}

}  // namespace
