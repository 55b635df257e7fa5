// Inside the graphics layer: what the draw state, the transforms, the lights and the shader
// handles share. Never included from app/.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/display_internal.h"
#include "zovuz/graphics/graphics_dispatch_internal.h"
#include "zovuz/graphics/image/memimg_internal.h"
#include "zovuz/graphics/zovuz_graphics.h"

// The camera's field of view after a reset and for a new draw target (pi / 3 as a float).
#define DEFAULT_CAMERA_FOV 1.0471975803375244
// tan(30 degrees): the camera distance at which the draw target fills that field of view.
#define DEFAULT_CAMERA_TAN_HALF_FOV 0.57735026

// The library has started (or is starting): set-up calls that only count before it stop.
inline int GraphicsLibraryInitialized() { return GetLibraryState()->Started || GetLibraryState()->Starting; }

// A colour channel or blend parameter held to 0..255.
inline int Clamp255(int Value) { return Value < 0 ? 0 : Value > 255 ? 255 : Value; }

// Draws the batched vertices before a state change (nothing on the software renderer).
inline void FlushVertexBuffer() { Graphics_Hardware_RenderVertexBuffer(0); }

// Queues a creation job and counts it on each of its handles; a refused job is freed. The type's
// lock is held from the queueing until the handles count the job, so the job's closing
// DecASyncLoadCount cannot come first. A lone handle remembers its job, so deleting it drops a job
// that has not started; handles that share a job do not, and deleting one of them waits for the
// job the others need. 0 / -1.
inline int QueueHandleLoadJob(int HandleType, const int *Handles, int HandleNum, ASyncLoadData *Job)
{
    CRITICALSECTION_GUARD(guard, &GetHandleManage(HandleType)->CriticalSection);
    int slot = AddASyncLoadJob(Job);
    if (slot < 0) {
        DXFREE(Job);
        return -1;
    }
    for (int i = 0; i < HandleNum; ++i) IncASyncLoadCount(Handles[i], HandleNum == 1 ? slot : -1);
    return 0;
}

// The end of a job queued for one handle: its count comes off the handle, and a failed job
// deletes the handle.
inline void FinishHandleLoadJob(int Handle, int Result)
{
    DecASyncLoadCount(Handle);
    if (Result < 0) SubHandle(Handle);
}

// Builds a job run by Process and queues it as above. Write(Block, &Addr) adds the job's
// parameters (a null Block only measures them) and returns -1 to give up. 0 / -1.
template <class WriteParams>
int QueuePackedLoadJob(int HandleType, const int *Handles, int HandleNum, ASyncLoadFunction Process, WriteParams Write)
{
    int size = 0;
    if (Write(nullptr, &size) < 0) return -1;
    ASyncLoadData *job = AllocASyncLoadData(size);
    if (job == nullptr) return -1;
    int addr = 0;
    Write(job->Data, &addr);
    job->ProcessFunction = Process;
    return QueueHandleLoadJob(HandleType, Handles, HandleNum, job);
}
template <class WriteParams>
int QueuePackedLoadJob(int HandleType, int Handle, ASyncLoadFunction Process, WriteParams Write)
{
    return QueuePackedLoadJob(HandleType, &Handle, 1, Process, Write);
}

// A graph's record, or null for a handle that is not a live graph; a graph still loading only
// with AllowLoading.
GraphHandleData *GetGraphEntry(int GraphHandle, int AllowLoading);

// The draw-state steps of SetDrawScreen for a screen value (-2, -4): slot 0, the draw size, the
// back end's target, the area and camera for it, and the front-screen timer. 0.
int SelectScreenAsDrawTarget(int DrawScreen);

// Marks the derived matrices out of date and recomputes them.
void InvalidateTransformMatrices(void);
