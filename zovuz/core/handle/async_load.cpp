// Asynchronous loading: the job queue, the 32 workers and the requests they hand to the main
// thread. Workers suspend and resume themselves and each other; the active count limits how
// many run at once, so that loading leaves processors to the main thread.
#include "zovuz/core/clock.h"
#include "zovuz/core/handle/async_load.h"
#include "zovuz/core/handle/async_load_internal.h"

#include <string.h>

#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"
#include "zovuz/core/threads.h"
#include "zovuz/core/threads_internal.h"
#include "zovuz/core/base_helpers.h"

namespace {

struct ASyncLoadThreadInfo
{
    ThreadRecord Thread;    // the worker thread
    int EndFlag;            // the worker has ended
    int JobFlag;            // running a job
    int MainThreadRequest;  // waiting for the main thread to serve its request
    int SuspendFlag;        // asleep (suspended, or about to suspend itself)
    int SuspendStartTime;   // when it fell asleep, ms
    ASyncLoadData *Data;    // the job it is running
};

struct ASyncLoadState
{
    int InitializeFlag;                                                  // InitializeASyncLoad has run
    uint32_t MainThreadID;                                               // the thread that serves requests
    volatile int EndRequestFlag;                                         // set while the workers are being stopped
    int ThreadNum;                                                       // workers made (32 once started)
    int ThreadMaxResumeNum;                                              // active limit, 1..32
    int ThreadMaxResumeNumSet;                                           // the limit was set by SetASyncLoadThreadCount
    int ThreadResumeNum;                                                 // workers resumed and not yet asleep again
    ASyncLoadThreadInfo Thread[ASYNCLOADTHREAD_MAXNUM];                  // the workers
    DxCriticalSection CriticalSection;                                   // guards everything here; re-entrant
    ASyncLoadData *Data[ASYNCLOADDATA_MAXNUM];                           // the queue, by slot
    int DataNum;                                                         // queued jobs
    int DataArea;                                                        // one past the highest slot in use
    ASyncLoadRequestInfo *Request[ASYNCLOAD_MAINTHREAD_REQUEST_MAXNUM];  // pending requests, oldest first
    int RequestNum;                                                      // pending requests
};

ASyncLoadState ASyncLoad;

void Lock(int Line) { CriticalSectionLock(&ASyncLoad.CriticalSection, __FILE__, Line); }
void Unlock() { CriticalSectionUnlock(&ASyncLoad.CriticalSection); }

int ClampLimit(int Count)
{
    if (Count < 1) return 1;
    if (Count > ASYNCLOADTHREAD_MAXNUM) return ASYNCLOADTHREAD_MAXNUM;
    return Count;
}

// Wakes at most one sleeping worker, unless ExtraPlaces (0 or 1) beyond the active limit are
// already taken. A worker that finished a main-thread request goes first (its job waited
// longest), then the one asleep the longest.
void ResumeASyncLoadThread(int ExtraPlaces)
{
    Lock(__LINE__);
    if (ASyncLoad.ThreadResumeNum >= ASyncLoad.ThreadMaxResumeNum + ExtraPlaces) {
        Unlock();
        return;
    }
    for (;;) {
        ASyncLoadThreadInfo *pick = nullptr;
        for (int i = 0; i < ASyncLoad.ThreadNum; ++i) {
            ASyncLoadThreadInfo *t = &ASyncLoad.Thread[i];
            if (t->EndFlag || !t->SuspendFlag || !t->JobFlag || t->MainThreadRequest || !ThreadIsValid(&t->Thread))
                continue;
            if (pick == nullptr || t->Data->StartTime < pick->Data->StartTime) pick = t;
        }
        if (pick == nullptr) {
            for (int i = 0; i < ASyncLoad.ThreadNum; ++i) {
                ASyncLoadThreadInfo *t = &ASyncLoad.Thread[i];
                if (t->EndFlag || !t->SuspendFlag || t->MainThreadRequest || !ThreadIsValid(&t->Thread)) continue;
                if (pick == nullptr || t->SuspendStartTime < pick->SuspendStartTime) pick = t;
            }
        }
        if (pick == nullptr) break;

        // The worker may have decided to sleep without having suspended itself yet: then the
        // resume finds it running and has to be tried again.
        if (ThreadResume(&pick->Thread) == 0) {
            ThreadSleep(0);
            continue;
        }
        pick->SuspendFlag = 0;
        ASyncLoad.ThreadResumeNum++;
        break;
    }
    Unlock();
}

// Marks the calling worker asleep and suspends it, with the lock held once by the caller.
void SleepWorkerAndUnlock(ASyncLoadThreadInfo *Self)
{
    Self->SuspendFlag = 1;
    Self->SuspendStartTime = GetNowMilliCount();
    ASyncLoad.ThreadResumeNum--;
    Unlock();
    ThreadSuspendSelf();
}

void ASyncLoadThreadMain(ThreadRecord *, void *Param)
{
    ASyncLoadThreadInfo *self = (ASyncLoadThreadInfo *)Param;
    while (ASyncLoad.EndRequestFlag == 0) {
        if (ASyncLoad.DataArea != 0) {
            Lock(__LINE__);
            ASyncLoadData *job = nullptr;
            for (int i = 0; i < ASyncLoad.DataArea; ++i) {
                ASyncLoadData *d = ASyncLoad.Data[i];
                if (d == nullptr || d->Run) continue;
                // Oldest first; of equal times the later slot wins.
                if (job == nullptr || d->StartTime <= job->StartTime) job = d;
            }
            if (job != nullptr) {
                job->Run = 1;
                self->JobFlag = 1;
                self->Data = job;
                Unlock();

                job->ProcessFunction(job);

                Lock(__LINE__);
                DeleteASyncLoadJob(job->Index, 0);
                self->JobFlag = 0;
                self->Data = nullptr;
                Unlock();
                continue;
            }
            Unlock();
            ResumeASyncLoadThread(1);
        }
        Lock(__LINE__);
        SleepWorkerAndUnlock(self);
    }
    Lock(__LINE__);
    self->EndFlag = 1;
    ASyncLoad.ThreadResumeNum--;
    Unlock();
}

// Which worker is the calling thread: its index, or -1.
int CurrentWorkerIndex()
{
    uint32_t id = ThreadGetCurrentId();
    for (int i = 0; i < ASyncLoad.ThreadNum; ++i)
        if (ThreadIsValid(&ASyncLoad.Thread[i].Thread) && ASyncLoad.Thread[i].Thread.ThreadID == id) return i;
    return -1;
}

// A 16-bit length field at an arbitrary offset.
void PutLength(unsigned char *p, int Length) { WriteLe16(p, (uint16_t)Length); }
int GetLength(const unsigned char *p) { return ReadLe16(p); }

}  // namespace

int InitializeASyncLoad(uint32_t MainThreadID)
{
    if (ASyncLoad.InitializeFlag) return -1;
    AddLogStringWide(L"非同期読み込み処理の初期化...");
    ASyncLoad.MainThreadID = MainThreadID;
    CriticalSectionInitialize(&ASyncLoad.CriticalSection);
    AddLogStringWide(L"成功\n");
    ASyncLoad.InitializeFlag = 1;
    return 0;
}

int SetASyncLoadThreadCount(int Count)
{
    if (ASyncLoad.InitializeFlag) {
        Lock(__LINE__);
        ASyncLoad.ThreadMaxResumeNum = ClampLimit(Count);
        ASyncLoad.ThreadMaxResumeNumSet = 1;
        Unlock();
    } else {
        ASyncLoad.ThreadMaxResumeNum = Count;
        ASyncLoad.ThreadMaxResumeNumSet = 1;
    }
    return 0;
}

int StartASyncLoadThreads(int ProcessorNum)
{
    if (!ASyncLoad.InitializeFlag) return -1;
    // Starting again over live workers would lose them.
    for (int i = 0; i < ASyncLoad.ThreadNum; ++i)
        if (ThreadIsValid(&ASyncLoad.Thread[i].Thread)) return -1;
    ASyncLoad.ThreadMaxResumeNum =
        ASyncLoad.ThreadMaxResumeNumSet ? ClampLimit(ASyncLoad.ThreadMaxResumeNum) : ClampLimit(ProcessorNum - 1);
    memset(ASyncLoad.Thread, 0, sizeof(ASyncLoad.Thread));
    ASyncLoad.ThreadResumeNum = 0;
    ASyncLoad.ThreadNum = ASYNCLOADTHREAD_MAXNUM;

    int rc = 0;
    for (int i = 0; i < ASYNCLOADTHREAD_MAXNUM; ++i) {
        ASyncLoadThreadInfo *t = &ASyncLoad.Thread[i];
        if (ThreadCreate(&t->Thread, ASyncLoadThreadMain, t) < 0) {
            rc = -1;
            break;
        }
        ThreadSetPriority(&t->Thread, 0);
        t->SuspendFlag = 1;
        t->SuspendStartTime = GetNowMilliCount();
    }
    ThreadSleep(16);
    return rc;
}

int StopASyncLoadThreads(void)
{
    if (!ASyncLoad.InitializeFlag) return -1;
    ASyncLoad.EndRequestFlag = 1;
    for (int i = 0; i < ASyncLoad.ThreadNum; ++i) {
        ASyncLoadThreadInfo *t = &ASyncLoad.Thread[i];
        if (!ThreadIsValid(&t->Thread)) continue;
        while (*(volatile int *)&t->EndFlag == 0) {
            ProcessMainThreadRequests();
            if (*(volatile int *)&ASyncLoad.ThreadResumeNum == 0) ResumeASyncLoadThread(0);
            ThreadSleep(1);
        }
        ThreadWaitEnd(&t->Thread, -1);
        ThreadRelease(&t->Thread);
    }
    ASyncLoad.EndRequestFlag = 0;
    return 0;
}

int TerminateASyncLoad(void)
{
    if (!ASyncLoad.InitializeFlag) return -1;
    // Jobs that never ran are freed with the queue.
    for (int i = 0; i < ASyncLoad.DataArea; ++i) {
        if (ASyncLoad.Data[i] != nullptr) DxFree(ASyncLoad.Data[i]);
        ASyncLoad.Data[i] = nullptr;
    }
    ASyncLoad.DataNum = 0;
    ASyncLoad.DataArea = 0;
    ASyncLoad.RequestNum = 0;
    CriticalSectionDelete(&ASyncLoad.CriticalSection);
    ASyncLoad.InitializeFlag = 0;
    return 0;
}

ASyncLoadData *AllocASyncLoadData(int ParamSize)
{
    if (ParamSize < 0 || ParamSize > 0x7FFFFFFF - (int)sizeof(ASyncLoadData)) return nullptr;
    ASyncLoadData *d = (ASyncLoadData *)DxAlloc((size_t)ParamSize + sizeof(ASyncLoadData), __FILE__, __LINE__);
    if (d == nullptr) {
        AddLogFormat(L"非同期読み込みデータを格納するメモリ領域 %dByte の確保に失敗しました", ParamSize + 20);
        return nullptr;
    }
    memset(d, 0, sizeof(ASyncLoadData));
    d->Index = -1;
    return d;
}

int AddASyncLoadParamInt(void *Block, int *Addr, int Value)
{
    if (Addr == nullptr) return -1;
    if (Block != nullptr) memcpy((unsigned char *)Block + *Addr, &Value, 4);
    *Addr += 4;
    return 0;
}

int AddASyncLoadParamString(void *Block, int *Addr, const wchar_t *String)
{
    if (Addr == nullptr) return -1;
    int total = 2;
    if (String != nullptr) {
        size_t length = wcslen(String);
        if (length > ASYNCLOAD_PARAM_STRING_MAXLENGTH) return -1;
        total = 2 + ((int)length + 1) * 2;
    }
    if (Block != nullptr) {
        unsigned char *p = (unsigned char *)Block + *Addr;
        PutLength(p, total);
        if (total > 2) memcpy(p + 2, String, (size_t)(total - 2));
    }
    *Addr += total;
    return 0;
}

int AddASyncLoadParamData(void *Block, int *Addr, const void *Data, int Size)
{
    if (Addr == nullptr || Size < 0 || Size > ASYNCLOAD_PARAM_DATA_MAXSIZE || (Data == nullptr && Size > 0)) return -1;
    if (Block != nullptr) {
        unsigned char *p = (unsigned char *)Block + *Addr;
        PutLength(p, 2 + Size);
        if (Size > 0) memcpy(p + 2, Data, (size_t)Size);
    }
    *Addr += 2 + Size;
    return 0;
}

int GetASyncLoadParamInt(void *Block, int *Addr)
{
    int value;
    memcpy(&value, (unsigned char *)Block + *Addr, 4);
    *Addr += 4;
    return value;
}

const wchar_t *GetASyncLoadParamString(void *Block, int *Addr)
{
    unsigned char *p = (unsigned char *)Block + *Addr;
    int total = GetLength(p);
    *Addr += total;
    return total <= 2 ? nullptr : (const wchar_t *)(p + 2);
}

void *GetASyncLoadParamData(void *Block, int *Addr)
{
    unsigned char *p = (unsigned char *)Block + *Addr;
    *Addr += GetLength(p);
    return p + 2;
}

int AddASyncLoadJob(ASyncLoadData *Data)
{
    if (!ASyncLoad.InitializeFlag || Data == nullptr || Data->ProcessFunction == nullptr) return -1;
    Lock(__LINE__);
    if (ASyncLoad.DataNum >= ASYNCLOADDATA_MAXNUM) {
        Unlock();
        AddLogStringWide(L"非同期読み込みデータの数が許容量を越えました終了します\n");
        return -1;
    }
    int slot = ASyncLoad.DataArea;
    if (slot >= ASYNCLOADDATA_MAXNUM) {
        slot = 0;
        while (ASyncLoad.Data[slot] != nullptr) ++slot;
    }
    Data->Index = slot;
    Data->Run = 0;
    Data->StartTime = GetNowMilliCount();
    ASyncLoad.Data[slot] = Data;
    if (slot == ASyncLoad.DataArea) ASyncLoad.DataArea++;
    ASyncLoad.DataNum++;
    ResumeASyncLoadThread(0);
    Unlock();
    // The slot, not 0: callers tie it to their handle, and a handle whose deletion removes an
    // unstarted job must name its own job.
    return slot;
}

int DeleteASyncLoadJob(int Index, int OnlyNotStarted)
{
    if (!ASyncLoad.InitializeFlag || Index < 0 || Index >= ASYNCLOADDATA_MAXNUM) return -1;
    Lock(__LINE__);
    ASyncLoadData *d = ASyncLoad.Data[Index];
    if (d == nullptr) {
        Unlock();
        return -1;
    }
    if (OnlyNotStarted && d->Run) {
        Unlock();
        return -2;
    }
    ASyncLoad.DataNum--;
    if (Index == ASyncLoad.DataArea - 1) {
        int top = Index;
        while (top > 0 && ASyncLoad.Data[top - 1] == nullptr) --top;
        ASyncLoad.DataArea = top;
    }
    ASyncLoad.Data[Index] = nullptr;
    DxFree(d);
    Unlock();
    return 0;
}

int GetASyncLoadNum(void)
{
    if (!ASyncLoad.InitializeFlag) return 0;
    Lock(__LINE__);
    int n = ASyncLoad.DataNum;
    Unlock();
    return n;
}

int RequestMainThreadCall(ASyncLoadRequestInfo *Info)
{
    if (!ASyncLoad.InitializeFlag || Info == nullptr) return -1;
    Lock(__LINE__);
    // Every refusal releases the lock: a refused request must not stall every later load.
    if (ASyncLoad.RequestNum >= ASYNCLOAD_MAINTHREAD_REQUEST_MAXNUM) {
        Unlock();
        AddLogStringWide(L"非同期読み込みスレッドからメインスレッドへの処理依頼数が許容量を越えました終了します\n");
        return -1;
    }
    int self_index = CurrentWorkerIndex();
    if (self_index < 0) {
        Unlock();
        AddLogStringWide(L"非同期読み込みスレッド以外からメインスレッドへの処理依頼が行われました\n");
        return -1;
    }
    ASyncLoadThreadInfo *self = &ASyncLoad.Thread[self_index];
    Info->Result = 0;
    Info->ThreadNo = self_index;
    ASyncLoad.Request[ASyncLoad.RequestNum++] = Info;
    self->MainThreadRequest = 1;

    // Another worker may use this one's place while it waits.
    ResumeASyncLoadThread(1);

    SleepWorkerAndUnlock(self);
    return Info->Result;
}

int ProcessMainThreadRequests(void)
{
    if (!ASyncLoad.InitializeFlag || !IsMainThread()) return -1;
    Lock(__LINE__);

    int start = GetNowMilliCount();
    int served = 0;
    while (served < ASyncLoad.RequestNum) {
        if (served > 0 && GetNowMilliCount() - start > 2) break;
        ASyncLoadRequestInfo *info = ASyncLoad.Request[served];
        info->Result = info->Function(info);
        ASyncLoad.Thread[info->ThreadNo].MainThreadRequest = 0;
        ++served;
        ResumeASyncLoadThread(0);
    }
    if (served > 0) {
        ASyncLoad.RequestNum -= served;
        memmove(&ASyncLoad.Request[0], &ASyncLoad.Request[served],
                sizeof(ASyncLoad.Request[0]) * (size_t)ASyncLoad.RequestNum);
    }

    // Keep enough workers running for the queued jobs.
    int target = ASyncLoad.ThreadMaxResumeNum - 1;
    if (target == 0) target = 1;
    if (target > ASyncLoad.DataNum) target = ASyncLoad.DataNum;
    if (ASyncLoad.DataNum > 0)
        for (int missing = target - ASyncLoad.ThreadResumeNum; missing > 0; --missing) ResumeASyncLoadThread(0);

    Unlock();
    return 0;
}

int IsMainThread(void) { return ASyncLoad.InitializeFlag && ThreadGetCurrentId() == ASyncLoad.MainThreadID ? 1 : 0; }
