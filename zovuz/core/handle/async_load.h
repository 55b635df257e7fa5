// Asynchronous loading: the library's loaders pack their parameters into a job, queue it and
// tie it to the handle they created (handle.h); a pool of 32 worker threads, of which only a
// limited number run at once, takes the jobs oldest first. Work that must run on the main
// thread is handed back from a worker as a request that the message pump serves
// (ProcessMainThreadRequests) for about 2 ms per pass while the worker sleeps.
//
// Lock order: a handle type's lock may be held when the loader's lock is taken, never the
// other way about.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <type_traits>

#define ASYNCLOADTHREAD_MAXNUM 32               // worker threads
#define ASYNCLOADDATA_MAXNUM 32768              // queue slots
#define ASYNCLOAD_MAINTHREAD_REQUEST_MAXNUM 32  // pending main-thread requests (one per worker)

// Largest byte block and longest wide string (in characters, without the terminator) that
// the packed parameters can carry: their lengths are stored in 16 bits.
#define ASYNCLOAD_PARAM_DATA_MAXSIZE 65533
#define ASYNCLOAD_PARAM_STRING_MAXLENGTH 32765

struct ASyncLoadData;
typedef void (*ASyncLoadFunction)(ASyncLoadData *Data);  // result not used

// A queued load job, allocated by AllocASyncLoadData and freed when the job is removed (by the
// worker that ran it, or by DeleteASyncLoadJob). A job that AddASyncLoadJob refused is still
// the caller's: free it with DxFree.
struct ASyncLoadData
{
    int Index;                          // queue slot
    int Run;                            // 1 once a worker has taken it
    int StartTime;                      // queue time, ms of the 31-bit millisecond clock
    ASyncLoadFunction ProcessFunction;  // the job
    unsigned char Data[4];              // the packed parameters (as many bytes as asked for)
};
static_assert(offsetof(ASyncLoadData, Data) % 8 == 0, "a job's tail is 8-byte aligned in its record");

// A main-thread request, owned by the asking worker (usually on its stack). Embed it at the
// start of a larger record to carry more than Data holds.
struct ASyncLoadRequestInfo;
typedef int (*ASyncLoadRequestFunction)(ASyncLoadRequestInfo *Info);
struct ASyncLoadRequestInfo
{
    ASyncLoadRequestFunction Function;  // called on the main thread with the record
    int ThreadNo;                       // the asking worker's index, filled in
    int Result;                         // the function's result, filled in by the main thread
    uintptr_t Data[16];                 // the call's arguments, as the caller packs them
};

// A job record with room for ParamSize parameter bytes, or null (logged).
ASyncLoadData *AllocASyncLoadData(int ParamSize);

// Parameter packing at a running offset (*Addr). A null block only advances the offset, so a
// first pass measures the size and a second pass writes. -1, with the offset unchanged, for a
// string or block too long for its 16-bit length.
int AddASyncLoadParamInt(void *Block, int *Addr, int Value);
int AddASyncLoadParamString(void *Block, int *Addr, const wchar_t *String);  // null allowed
int AddASyncLoadParamData(void *Block, int *Addr, const void *Data, int Size);
// Readers, in the packing order. A string packed as null reads back as null; the string and
// block readers return pointers into the job record.
int GetASyncLoadParamInt(void *Block, int *Addr);
const wchar_t *GetASyncLoadParamString(void *Block, int *Addr);
void *GetASyncLoadParamData(void *Block, int *Addr);

// A job whose parameters are one record, one struct per kind of job: the job record with a copy
// of Parameters, to be run by Process, or null (logged). Process reads its copy back with
// ASyncLoadJobParams<Params>. Pointers in the record must stay valid until the job has run.
// TailBytes more bytes follow the record, 8-byte aligned, for what the record cannot
// hold at a fixed size (a name, a list of handles): the caller fills them through
// ASyncLoadJobTail<Params> before queueing, and Process finds them there.
template <class Params>
constexpr size_t ASyncLoadJobTailOffset()
{
    return (sizeof(Params) + 7) & ~(size_t)7;
}
template <class Params>
ASyncLoadData *AllocASyncLoadJob(ASyncLoadFunction Process, const Params &Parameters, size_t TailBytes = 0)
{
    static_assert(std::is_trivially_copyable<Params>::value, "a job's parameters are copied as bytes");
    if (TailBytes > (size_t)0x7FFFFFFF - ASyncLoadJobTailOffset<Params>()) return nullptr;
    ASyncLoadData *job = AllocASyncLoadData((int)(ASyncLoadJobTailOffset<Params>() + TailBytes));
    if (job == nullptr) return nullptr;
    job->ProcessFunction = Process;
    memcpy(job->Data, &Parameters, sizeof(Params));
    return job;
}
template <class Params>
Params ASyncLoadJobParams(const ASyncLoadData *Job)
{
    Params parameters;
    memcpy(&parameters, Job->Data, sizeof(Params));
    return parameters;
}
template <class Params>
unsigned char *ASyncLoadJobTail(ASyncLoadData *Job)
{
    return Job->Data + ASyncLoadJobTailOffset<Params>();
}

// Queues a job and wakes a worker: the job's queue slot (0 or more), or -1 (logged) when the
// queue is full. From then on the job may run and be freed at any moment, so use the returned
// slot rather than Data->Index. A loader that ties the job to its handle holds the handle
// type's lock across AddASyncLoadJob and IncASyncLoadCount(handle, slot): the job's closing
// DecASyncLoadCount waits for that lock, so the slot cannot be freed and given to another job
// in between (the type's lock before the loader's lock, as always).
int AddASyncLoadJob(ASyncLoadData *Data);
// Removes and frees the job in a queue slot: 0 removed, -1 no job there, -2 the job is running
// and OnlyNotStarted asked not to remove a running job.
int DeleteASyncLoadJob(int Index, int OnlyNotStarted);
// Number of queued (and running) jobs.
int GetASyncLoadNum(void);

// On a worker: runs the request's function on the main thread and returns its result.
// -1 (logged) from any other thread or when too many requests are pending.
int RequestMainThreadCall(ASyncLoadRequestInfo *Info);
// On the main thread (the message pump, waits for loads): serves pending requests for about
// 2 ms and tops up the running workers. -1 on another thread or before initialisation, else 0.
int ProcessMainThreadRequests(void);
// 1 on the main thread given at initialisation, else 0.
int IsMainThread(void);
