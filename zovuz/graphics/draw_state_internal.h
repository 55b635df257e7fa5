// Inside the graphics layer: what the draw state, the transforms, the lights and the shader
// handles share. Never included from app/.
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// The camera's field of view after a reset and for a new draw target (pi / 3 as a float).
#define DEFAULT_CAMERA_FOV 1.0471975803375244
// tan(30 degrees): the camera distance at which the draw target fills that field of view.
#define DEFAULT_CAMERA_TAN_HALF_FOV 0.57735026

// The library has started (or is starting): set-up calls that only count before it stop.
inline int GraphicsLibraryInitialized() { return IsLibraryStarted() || IsLibraryStarting(); }

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

// Queues Process as a job for one handle with its parameters in one record (AllocASyncLoadJob),
// as above. 0 / -1.
template <class Params>
int QueueHandleJob(int HandleType, int Handle, ASyncLoadFunction Process, const Params &Parameters)
{
    ASyncLoadData *job = AllocASyncLoadJob(Process, Parameters);
    if (job == nullptr) return -1;
    return QueueHandleLoadJob(HandleType, &Handle, 1, job);
}

// A graph's record, or null for a handle that is not a live graph; a graph still loading only
// with AllowLoading.
GraphHandleData *GetGraphEntry(int GraphHandle, int AllowLoading);

// The draw-state steps of SetDrawScreen for a screen value (-2, -4): slot 0, the draw size, the
// back end's target, the area and camera for it, and the front-screen timer. 0.
int SelectScreenAsDrawTarget(int DrawScreen);

// Marks the derived matrices out of date and recomputes them.
void InvalidateTransformMatrices(void);

// ---- Reset, save and restore ---------------------------------------------------------------

// Puts the block to its defaults (every graphics start). 0.
int ResetDrawSettings(void);

// What SaveDrawSettings keeps, in this order.
struct DrawSettingsSaveData
{
    int HardwareFlag;  // as GetUseHardwareRenderFlag gives it
    int Reserved;      // 0
    int BackgroundRed, BackgroundGreen, BackgroundBlue;
    int BlendMode, BlendParam;
    int DrawMode;
    int WaitVSyncFlag;
    int DrawScreen;
    MATRIX_D View, Projection, Viewport, World;
    int ProjectionMode;
    double Fov, OrthoSize, Near, Far, AspectScale;
    MATRIX_D CameraProjection;
    ImageRect DrawArea;
};
int SaveDrawSettings(DrawSettingsSaveData *Save);
int RestoreDrawSettings(const DrawSettingsSaveData *Save);

// ---- The draw target and area -----------------------------------------------------------------

// The draw-state part of choosing a draw target: slot 0 becomes the target (surface 0, mip 0)
// and the draw size Width x Height. SetDrawScreen and the reset call it. 0.
int SetDrawScreenState(int DrawScreen, int Width, int Height);
// The draw-state part of SetDrawArea: keeps the request, orders the corners, clamps them to the
// draw size, stores the area (and as floats), and builds the viewport matrix from it; an empty
// area sets the empty flag instead. 0.
int SetDrawAreaState(int X1, int Y1, int X2, int Y2);
// The draw area and camera for a new draw target (Keep3DSettingsFlag decides). 0.
int ResetCameraForDrawScreen(int DrawScreen);
// The draw-state part of SetDrawBlendMode: a new mode sets the draw-state-changed flag, the
// parameter is clamped to 0-255, and a device gets the new vertex colour. 0.
int SetDrawBlendModeState(int BlendMode, int BlendParam);
// The blend graph: a positive handle must be a live graph (else -1), 0 or less clears it. Type 0
// takes one parameter, type 1 two, each clamped to 0-255. A device gets them. 0 / -1.
int SetBlendGraphParamBase(int BlendGraph, int BlendType, const int *Param);

// ---- Matrices and camera ------------------------------------------------------------------------

// Recomputes the derived matrices when they are not current.
int UpdateTransformMatrices(void);
// Builds the camera projection from the camera settings and makes it current.
int UpdateCameraProjection(void);
// Re-derives the camera's vertical, horizontal and twist angles from the view matrix.
int UpdateCameraAngles(void);
// Sends the depth settings to the back end now.
int SetupDepthBufferNow(void);

// ---- Handles of shaders, buffers, shadow maps and lights ----------------------------------------

// The handle types' init and terminate callbacks (graphics start-up registers the types with
// them). Each init points the record at its own back-end part.
int InitializeShaderHandle(HandleInfo *Info);
int TerminateShaderHandle(HandleInfo *Info);
int InitializeShaderConstantBufferHandle(HandleInfo *Info);
int TerminateShaderConstantBufferHandle(HandleInfo *Info);
int InitializeVertexIndexBufferHandle(HandleInfo *Info);  // types 15 and 16
int ReleaseVertexIndexBufferHandle(HandleInfo *Info);
int InitializeShadowMapHandle(HandleInfo *Info);
int TerminateShadowMapHandle(HandleInfo *Info);

// Makes an enabled light with the default parameters: its handle, or -1 when the table is full
// or memory is short (logged).
int AllocLightHandle(void);
