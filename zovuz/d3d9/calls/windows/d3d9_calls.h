// The Direct3D 9 call layer: the only code of the library that calls a Direct3D 9 interface
// method. Every other file of the back end reaches the platform through the functions below, one
// per method.
//
// The layer owns the process-wide interface pointers (the Direct3D object, the device and its
// swap chain), loads and frees "d3d9.dll", makes the Direct3D object and the device, and lets an
// asynchronous-load worker hand a call to the main thread. The vertical-blank object is the
// graphics layer's (DirectDraw7_*, zovuz_graphics.h), shared with the software renderer.
//
// Conventions of every wrapper:
// - Global wrappers (Direct3D9_*, Direct3DDevice9_*) take the method's arguments without the
//   interface: they call the Direct3D object or the device. Object wrappers take the object
//   first. Without the object the wrapper returns D3DERR_INVALIDCALL (0 or null for a method
//   that returns a count or a handle) and calls nothing.
// - A wrapper returns the method's result unchanged.
// - *_IsValid: 1 while the pointer is set, else 0.
//
// Every wrapper goes through one table, D3D9Calls, filled with the calls to the platform. A test
// replaces any entry with a recording or failing one (and may call D3D9SystemCalls' entry from
// it); the rest of the back end does not know.
//
// Calls from an asynchronous-load worker. A method a worker may need comes in three forms: the
// plain one; the _ASync form, whose extra last argument is the run-on-main-thread flag; and the
// replay (_ASyncCallback), which the main thread runs. With the flag 0 the _ASync form is the
// plain call. With the flag set it packs its arguments into a request record and waits in
// RequestMainThreadCall until the main thread has run the replay; it returns the replay's result,
// the method's HRESULT. A thread that is not an asynchronous-load worker gets -1 and the call is
// not made.
//
// Threads: the layer has no lock. Its state is used on the main thread only; workers come in
// through the _ASync forms.
#pragma once

#include <windows.h>

#include <d3d9.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d9/d3d9_internal.h"

// ---- The layer's state ------------------------------------------------------------------------

// What device creation reads besides the graphics settings. Nothing in the system sets them.
struct D3D9CreationSettingsData
{
    int SoftwareVertexProcessingFlag;  // make the device with software vertex processing only
    int MultiThreadFlag;               // D3DCREATE_MULTITHREADED
    int FpuPreserveFlag;               // D3DCREATE_FPU_PRESERVE
    int DwmMode;                       // 1 keep composition in full screen, 2 switch it off in a window
};

// The layer's own state (d3d9_calls_module_win.cpp). The rest of the back end reads the flags;
// the pointers are the wrappers' alone.
struct D3D9CallLayerData
{
    HMODULE Module;                     // "d3d9.dll", null while not loaded
    IDirect3D9 *Direct3D;               // every IDirect3D9 wrapper calls it
    IDirect3D9Ex *Direct3DEx;           // the same object when Direct3DCreate9Ex made it
    IDirect3DDevice9 *Device;           // every device wrapper calls it
    IDirect3DDevice9Ex *DeviceEx;       // the same object when CreateDeviceEx made it
    IDirect3DSwapChain9 *SwapChain;     // swap chain 0 of the device, which presents
    int NoExFlag;                       // an Ex device failed once: Direct3DCreate9 from then on
    int HardwareVertexProcessing;       // the device was made with mixed vertex processing
    DWORD VertexShaderVersion;          // from the adapter's caps before creation
    D3D9CreationSettingsData Settings;  // what device creation reads
    D3DSWAPEFFECT SwapEffect;           // the device's, as it was made
    // The render targets bound last (SetRenderTarget; the device layer names a new device's own back
    // buffer as target 0), and the calls that may have written one of the screens the window is
    // shown from: a draw while one is bound, a clear of one, a copy, fill or lock into one (wraps).
    // The device layer tells which are screens.
    IDirect3DSurface9 *BoundTargets[8];
    uint32_t ScreenWriteCount;
};
extern D3D9CallLayerData D3D9CallLayer;

// Whether a surface is one of the screens the window is shown from (the device's back buffer and
// the sub back buffer).
int Graphics_D3D9_IsScreenSurface(IDirect3DSurface9 *Surface);

// ---- The wrapper lists --------------------------------------------------------------------------
// Each entry: the wrapper's name, the method, the result type, the parameters, their names.

// clang-format off
// The three constant setters of one shader kind (Vertex or Pixel).
#define ZOVUZ_D3D9_SHADER_CONSTANT_CALLS(F, Kind)                                                                      \
    F(Direct3DDevice9_Set##Kind##ShaderConstantB, Set##Kind##ShaderConstantB, HRESULT,                                 \
      (UINT Start, const BOOL *Data, UINT Count), (Start, Data, Count))                                                \
    F(Direct3DDevice9_Set##Kind##ShaderConstantF, Set##Kind##ShaderConstantF, HRESULT,                                 \
      (UINT Start, const float *Data, UINT Count), (Start, Data, Count))                                               \
    F(Direct3DDevice9_Set##Kind##ShaderConstantI, Set##Kind##ShaderConstantI, HRESULT,                                 \
      (UINT Start, const int *Data, UINT Count), (Start, Data, Count))

// Methods of the device (global).
#define ZOVUZ_D3D9_DEVICE_CALLS(F)                                                                                     \
    F(Direct3DDevice9_BeginScene, BeginScene, HRESULT, (void), ())                                                     \
    F(Direct3DDevice9_EndScene, EndScene, HRESULT, (void), ())                                                         \
    F(Direct3DDevice9_Clear, Clear, HRESULT,                                                                           \
      (DWORD Count, const D3DRECT *Rects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil),                        \
      (Count, Rects, Flags, Color, Z, Stencil))                                                                        \
    F(Direct3DDevice9_ColorFill, ColorFill, HRESULT, (IDirect3DSurface9 * Surface, const RECT *Rect, D3DCOLOR Color),  \
      (Surface, Rect, Color))                                                                                          \
    F(Direct3DDevice9_CreateCubeTexture, CreateCubeTexture, HRESULT,                                                   \
      (UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DCubeTexture9 * *Texture,    \
       HANDLE * Shared),                                                                                               \
      (EdgeLength, Levels, Usage, Format, Pool, Texture, Shared))                                                      \
    F(Direct3DDevice9_CreateDepthStencilSurface, CreateDepthStencilSurface, HRESULT,                                   \
      (UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD Quality, BOOL Discard,        \
       IDirect3DSurface9 * *Surface, HANDLE * Shared),                                                                 \
      (Width, Height, Format, MultiSample, Quality, Discard, Surface, Shared))                                         \
    F(Direct3DDevice9_CreateIndexBuffer, CreateIndexBuffer, HRESULT,                                                   \
      (UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DIndexBuffer9 * *Buffer, HANDLE * Shared),    \
      (Length, Usage, Format, Pool, Buffer, Shared))                                                                   \
    F(Direct3DDevice9_CreateOffscreenPlainSurface, CreateOffscreenPlainSurface, HRESULT,                               \
      (UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool, IDirect3DSurface9 * *Surface, HANDLE * Shared),        \
      (Width, Height, Format, Pool, Surface, Shared))                                                                  \
    F(Direct3DDevice9_CreatePixelShader, CreatePixelShader, HRESULT,                                                   \
      (const DWORD *Function, IDirect3DPixelShader9 **Shader), (Function, Shader))                                     \
    F(Direct3DDevice9_CreateRenderTarget, CreateRenderTarget, HRESULT,                                                 \
      (UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD Quality, BOOL Lockable,       \
       IDirect3DSurface9 * *Surface, HANDLE * Shared),                                                                 \
      (Width, Height, Format, MultiSample, Quality, Lockable, Surface, Shared))                                        \
    F(Direct3DDevice9_CreateTexture, CreateTexture, HRESULT,                                                           \
      (UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9 * *Texture, \
       HANDLE * Shared),                                                                                               \
      (Width, Height, Levels, Usage, Format, Pool, Texture, Shared))                                                   \
    F(Direct3DDevice9_CreateVertexBuffer, CreateVertexBuffer, HRESULT,                                                 \
      (UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool, IDirect3DVertexBuffer9 * *Buffer, HANDLE * Shared),          \
      (Length, Usage, FVF, Pool, Buffer, Shared))                                                                      \
    F(Direct3DDevice9_CreateVertexDeclaration, CreateVertexDeclaration, HRESULT,                                       \
      (const D3DVERTEXELEMENT9 *Elements, IDirect3DVertexDeclaration9 **Declaration), (Elements, Declaration))         \
    F(Direct3DDevice9_CreateVertexShader, CreateVertexShader, HRESULT,                                                 \
      (const DWORD *Function, IDirect3DVertexShader9 **Shader), (Function, Shader))                                    \
    F(Direct3DDevice9_DrawPrimitiveUP, DrawPrimitiveUP, HRESULT,                                                       \
      (D3DPRIMITIVETYPE Type, UINT Count, const void *Data, UINT Stride), (Type, Count, Data, Stride))                 \
    F(Direct3DDevice9_DrawIndexedPrimitiveUP, DrawIndexedPrimitiveUP, HRESULT,                                         \
      (D3DPRIMITIVETYPE Type, UINT MinIndex, UINT VertexNum, UINT Count, const void *Indices, D3DFORMAT IndexFormat,    \
       const void *Data, UINT Stride),                                                                                 \
      (Type, MinIndex, VertexNum, Count, Indices, IndexFormat, Data, Stride))                                          \
    F(Direct3DDevice9_GetBackBuffer, GetBackBuffer, HRESULT,                                                           \
      (UINT SwapChain, UINT Index, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9 * *Surface),                             \
      (SwapChain, Index, Type, Surface))                                                                               \
    F(Direct3DDevice9_GetDepthStencilSurface, GetDepthStencilSurface, HRESULT, (IDirect3DSurface9 * *Surface),         \
      (Surface))                                                                                                       \
    F(Direct3DDevice9_GetDeviceCaps, GetDeviceCaps, HRESULT, (D3DCAPS9 * Caps), (Caps))                                \
    F(Direct3DDevice9_GetMaterial, GetMaterial, HRESULT, (D3DMATERIAL9 * Material), (Material))                        \
    F(Direct3DDevice9_GetRenderTargetData, GetRenderTargetData, HRESULT,                                               \
      (IDirect3DSurface9 * Target, IDirect3DSurface9 * Dest), (Target, Dest))                                          \
    F(Direct3DDevice9_GetSwapChain, GetSwapChain, HRESULT, (UINT Index, IDirect3DSwapChain9 * *SwapChain),             \
      (Index, SwapChain))                                                                                              \
    F(Direct3DDevice9_LightEnable, LightEnable, HRESULT, (DWORD Index, BOOL Enable), (Index, Enable))                  \
    F(Direct3DDevice9_PresentBuffers, Present, HRESULT,                                                                \
      (const RECT *SrcRect, const RECT *DestRect, HWND Window, const RGNDATA *Dirty), (SrcRect, DestRect, Window, Dirty)) \
    F(Direct3DDevice9_SetDepthStencilSurface, SetDepthStencilSurface, HRESULT, (IDirect3DSurface9 * Surface),          \
      (Surface))                                                                                                       \
    F(Direct3DDevice9_SetDialogBoxMode, SetDialogBoxMode, HRESULT, (BOOL Enable), (Enable))                            \
    F(Direct3DDevice9_SetFVF, SetFVF, HRESULT, (DWORD FVF), (FVF))                                                     \
    F(Direct3DDevice9_SetIndices, SetIndices, HRESULT, (IDirect3DIndexBuffer9 * Buffer), (Buffer))                     \
    F(Direct3DDevice9_SetLight, SetLight, HRESULT, (DWORD Index, const D3DLIGHT9 *Light), (Index, Light))              \
    F(Direct3DDevice9_SetMaterial, SetMaterial, HRESULT, (const D3DMATERIAL9 *Material), (Material))                   \
    F(Direct3DDevice9_SetPixelShader, SetPixelShader, HRESULT, (IDirect3DPixelShader9 * Shader), (Shader))             \
    ZOVUZ_D3D9_SHADER_CONSTANT_CALLS(F, Pixel)                                                                         \
    F(Direct3DDevice9_SetRenderState, SetRenderState, HRESULT, (D3DRENDERSTATETYPE State, DWORD Value),                \
      (State, Value))                                                                                                  \
    F(Direct3DDevice9_SetRenderTarget, SetRenderTarget, HRESULT, (DWORD Index, IDirect3DSurface9 * Surface),           \
      (Index, Surface))                                                                                                \
    F(Direct3DDevice9_SetSamplerState, SetSamplerState, HRESULT,                                                       \
      (DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value), (Sampler, Type, Value))                                  \
    F(Direct3DDevice9_SetScissorRect, SetScissorRect, HRESULT, (const RECT *Rect), (Rect))                             \
    F(Direct3DDevice9_SetStreamSource, SetStreamSource, HRESULT,                                                       \
      (UINT Stream, IDirect3DVertexBuffer9 * Buffer, UINT Offset, UINT Stride), (Stream, Buffer, Offset, Stride))      \
    F(Direct3DDevice9_SetTexture, SetTexture, HRESULT, (DWORD Stage, IDirect3DBaseTexture9 * Texture),                 \
      (Stage, Texture))                                                                                                \
    F(Direct3DDevice9_SetTextureStageState, SetTextureStageState, HRESULT,                                             \
      (DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value), (Stage, Type, Value))                                 \
    F(Direct3DDevice9_SetTransform, SetTransform, HRESULT, (D3DTRANSFORMSTATETYPE State, const D3DMATRIX *Matrix),     \
      (State, Matrix))                                                                                                 \
    F(Direct3DDevice9_SetVertexDeclaration, SetVertexDeclaration, HRESULT,                                             \
      (IDirect3DVertexDeclaration9 * Declaration), (Declaration))                                                      \
    F(Direct3DDevice9_SetVertexShader, SetVertexShader, HRESULT, (IDirect3DVertexShader9 * Shader), (Shader))          \
    ZOVUZ_D3D9_SHADER_CONSTANT_CALLS(F, Vertex)                                                                        \
    F(Direct3DDevice9_SetViewport, SetViewport, HRESULT, (const D3DVIEWPORT9 *Viewport), (Viewport))                   \
    F(Direct3DDevice9_StretchRect, StretchRect, HRESULT,                                                               \
      (IDirect3DSurface9 * Src, const RECT *SrcRect, IDirect3DSurface9 *Dest, const RECT *DestRect,                    \
       D3DTEXTUREFILTERTYPE Filter),                                                                                   \
      (Src, SrcRect, Dest, DestRect, Filter))                                                                          \
    F(Direct3DDevice9_TestCooperativeLevel, TestCooperativeLevel, HRESULT, (void), ())                                 \
    F(Direct3DDevice9_UpdateSurface, UpdateSurface, HRESULT,                                                           \
      (IDirect3DSurface9 * Src, const RECT *SrcRect, IDirect3DSurface9 *Dest, const POINT *DestPoint),                 \
      (Src, SrcRect, Dest, DestPoint))                                                                                 \
    F(Direct3DDevice9_UpdateTexture, UpdateTexture, HRESULT, (IDirect3DBaseTexture9 * Src, IDirect3DBaseTexture9 * Dest), \
      (Src, Dest))

// Methods of the Direct3D object (global).
#define ZOVUZ_D3D9_OBJECT9_CALLS(F)                                                                                    \
    F(Direct3D9_GetAdapterIdentifier, GetAdapterIdentifier, HRESULT,                                                   \
      (UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9 * Identifier), (Adapter, Flags, Identifier))                  \
    F(Direct3D9_GetAdapterDisplayMode, GetAdapterDisplayMode, HRESULT, (UINT Adapter, D3DDISPLAYMODE * Mode),          \
      (Adapter, Mode))                                                                                                 \
    F(Direct3D9_GetAdapterModeCount, GetAdapterModeCount, UINT, (UINT Adapter, D3DFORMAT Format), (Adapter, Format))   \
    F(Direct3D9_GetAdapterMonitor, GetAdapterMonitor, HMONITOR, (UINT Adapter), (Adapter))                             \
    F(Direct3D9_GetDeviceCaps, GetDeviceCaps, HRESULT, (UINT Adapter, D3DDEVTYPE Type, D3DCAPS9 * Caps),               \
      (Adapter, Type, Caps))                                                                                           \
    F(Direct3D9_CheckDeviceFormat, CheckDeviceFormat, HRESULT,                                                         \
      (UINT Adapter, D3DDEVTYPE Type, D3DFORMAT AdapterFormat, DWORD Usage, D3DRESOURCETYPE ResourceType,              \
       D3DFORMAT Format),                                                                                              \
      (Adapter, Type, AdapterFormat, Usage, ResourceType, Format))                                                     \
    F(Direct3D9_CheckDeviceFormatConversion, CheckDeviceFormatConversion, HRESULT,                                     \
      (UINT Adapter, D3DDEVTYPE Type, D3DFORMAT SourceFormat, D3DFORMAT TargetFormat),                                 \
      (Adapter, Type, SourceFormat, TargetFormat))                                                                     \
    F(Direct3D9_CheckDepthStencilMatch, CheckDepthStencilMatch, HRESULT,                                               \
      (UINT Adapter, D3DDEVTYPE Type, D3DFORMAT AdapterFormat, D3DFORMAT TargetFormat, D3DFORMAT DepthFormat),         \
      (Adapter, Type, AdapterFormat, TargetFormat, DepthFormat))                                                       \
    F(Direct3D9_CheckDeviceMultiSampleType, CheckDeviceMultiSampleType, HRESULT,                                       \
      (UINT Adapter, D3DDEVTYPE Type, D3DFORMAT Format, BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSample, DWORD * Levels), \
      (Adapter, Type, Format, Windowed, MultiSample, Levels))                                                          \
    F(Direct3D9_CreateDeviceObject, CreateDevice, HRESULT,                                                             \
      (UINT Adapter, D3DDEVTYPE Type, HWND Focus, DWORD Flags, D3DPRESENT_PARAMETERS * Parameters,                     \
       IDirect3DDevice9 * *Device),                                                                                    \
      (Adapter, Type, Focus, Flags, Parameters, Device))

// Methods of objects passed in (the object is the first parameter, Object).
#define ZOVUZ_D3D9_ARGUMENT_CALLS(F)                                                                                   \
    F(Direct3D9Ex_CreateDeviceEx, IDirect3D9Ex, CreateDeviceEx, HRESULT,                                               \
      (IDirect3D9Ex * Object, UINT Adapter, D3DDEVTYPE Type, HWND Focus, DWORD Flags,                                  \
       D3DPRESENT_PARAMETERS * Parameters, D3DDISPLAYMODEEX * Mode, IDirect3DDevice9Ex * *Device),                     \
      (Adapter, Type, Focus, Flags, Parameters, Mode, Device))                                                         \
    F(Direct3DDevice9Ex_SetMaximumFrameLatency, IDirect3DDevice9Ex, SetMaximumFrameLatency, HRESULT,                   \
      (IDirect3DDevice9Ex * Object, UINT Latency), (Latency))                                                          \
    F(Direct3DSwapChain9_Present, IDirect3DSwapChain9, Present, HRESULT,                                               \
      (IDirect3DSwapChain9 * Object, const RECT *SrcRect, const RECT *DestRect, HWND Window, const RGNDATA *Dirty,     \
       DWORD Flags),                                                                                                   \
      (SrcRect, DestRect, Window, Dirty, Flags))                                                                       \
    F(Direct3DSurface9_GetDesc, IDirect3DSurface9, GetDesc, HRESULT,                                                   \
      (IDirect3DSurface9 * Object, D3DSURFACE_DESC * Desc), (Desc))                                                    \
    F(Direct3DSurface9_LockRect, IDirect3DSurface9, LockRect, HRESULT,                                                 \
      (IDirect3DSurface9 * Object, D3DLOCKED_RECT * Locked, const RECT *Rect, DWORD Flags), (Locked, Rect, Flags))     \
    F(Direct3DSurface9_UnlockRect, IDirect3DSurface9, UnlockRect, HRESULT, (IDirect3DSurface9 * Object), ())           \
    F(Direct3DTexture9_GetSurfaceLevel, IDirect3DTexture9, GetSurfaceLevel, HRESULT,                                   \
      (IDirect3DTexture9 * Object, UINT Level, IDirect3DSurface9 * *Surface), (Level, Surface))                        \
    F(Direct3DTexture9_LockRect, IDirect3DTexture9, LockRect, HRESULT,                                                 \
      (IDirect3DTexture9 * Object, UINT Level, D3DLOCKED_RECT * Locked, const RECT *Rect, DWORD Flags),                \
      (Level, Locked, Rect, Flags))                                                                                    \
    F(Direct3DTexture9_UnlockRect, IDirect3DTexture9, UnlockRect, HRESULT, (IDirect3DTexture9 * Object, UINT Level),   \
      (Level))                                                                                                         \
    F(Direct3DCubeTexture9_GetCubeMapSurface, IDirect3DCubeTexture9, GetCubeMapSurface, HRESULT,                       \
      (IDirect3DCubeTexture9 * Object, D3DCUBEMAP_FACES Face, UINT Level, IDirect3DSurface9 * *Surface),               \
      (Face, Level, Surface))                                                                                          \
    F(Direct3DCubeTexture9_LockRect, IDirect3DCubeTexture9, LockRect, HRESULT,                                         \
      (IDirect3DCubeTexture9 * Object, D3DCUBEMAP_FACES Face, UINT Level, D3DLOCKED_RECT * Locked, const RECT *Rect,   \
       DWORD Flags),                                                                                                   \
      (Face, Level, Locked, Rect, Flags))                                                                              \
    F(Direct3DCubeTexture9_UnlockRect, IDirect3DCubeTexture9, UnlockRect, HRESULT,                                     \
      (IDirect3DCubeTexture9 * Object, D3DCUBEMAP_FACES Face, UINT Level), (Face, Level))                              \
    F(Direct3D9_ReleaseObject, IUnknown, Release, ULONG, (IUnknown * Object), ())

// The forms a worker may use: the _ASync form's name, the plain wrapper it replays, the
// parameters without the flag and their names.
#define ZOVUZ_D3D9_ASYNC_CALLS(F)                                                                                      \
    F(Direct3D9_ReleaseObject_ASync, Direct3D9_ReleaseObject, (IUnknown * Object), (Object))                           \
    F(Direct3DDevice9_ColorFill_ASync, Direct3DDevice9_ColorFill,                                                      \
      (IDirect3DSurface9 * Surface, const RECT *Rect, D3DCOLOR Color), (Surface, Rect, Color))                         \
    F(Direct3DDevice9_CreateCubeTexture_ASync, Direct3DDevice9_CreateCubeTexture,                                      \
      (UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DCubeTexture9 * *Texture,    \
       HANDLE * Shared),                                                                                               \
      (EdgeLength, Levels, Usage, Format, Pool, Texture, Shared))                                                      \
    F(Direct3DDevice9_CreateDepthStencilSurface_ASync, Direct3DDevice9_CreateDepthStencilSurface,                      \
      (UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD Quality, BOOL Discard,        \
       IDirect3DSurface9 * *Surface, HANDLE * Shared),                                                                 \
      (Width, Height, Format, MultiSample, Quality, Discard, Surface, Shared))                                         \
    F(Direct3DDevice9_CreateOffscreenPlainSurface_ASync, Direct3DDevice9_CreateOffscreenPlainSurface,                  \
      (UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool, IDirect3DSurface9 * *Surface, HANDLE * Shared),        \
      (Width, Height, Format, Pool, Surface, Shared))                                                                  \
    F(Direct3DDevice9_CreatePixelShader_ASync, Direct3DDevice9_CreatePixelShader,                                      \
      (const DWORD *Function, IDirect3DPixelShader9 **Shader), (Function, Shader))                                     \
    F(Direct3DDevice9_CreateRenderTarget_ASync, Direct3DDevice9_CreateRenderTarget,                                    \
      (UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD Quality, BOOL Lockable,       \
       IDirect3DSurface9 * *Surface, HANDLE * Shared),                                                                 \
      (Width, Height, Format, MultiSample, Quality, Lockable, Surface, Shared))                                        \
    F(Direct3DDevice9_CreateTexture_ASync, Direct3DDevice9_CreateTexture,                                              \
      (UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9 * *Texture, \
       HANDLE * Shared),                                                                                               \
      (Width, Height, Levels, Usage, Format, Pool, Texture, Shared))                                                   \
    F(Direct3DDevice9_CreateVertexShader_ASync, Direct3DDevice9_CreateVertexShader,                                    \
      (const DWORD *Function, IDirect3DVertexShader9 **Shader), (Function, Shader))                                    \
    F(Direct3DDevice9_UpdateSurface_ASync, Direct3DDevice9_UpdateSurface,                                              \
      (IDirect3DSurface9 * Src, const RECT *SrcRect, IDirect3DSurface9 *Dest, const POINT *DestPoint),                 \
      (Src, SrcRect, Dest, DestPoint))                                                                                 \
    F(Direct3DDevice9_UpdateTexture_ASync, Direct3DDevice9_UpdateTexture,                                              \
      (IDirect3DBaseTexture9 * Src, IDirect3DBaseTexture9 * Dest), (Src, Dest))                                        \
    F(Direct3DCubeTexture9_GetCubeMapSurface_ASync, Direct3DCubeTexture9_GetCubeMapSurface,                            \
      (IDirect3DCubeTexture9 * Object, D3DCUBEMAP_FACES Face, UINT Level, IDirect3DSurface9 * *Surface),               \
      (Object, Face, Level, Surface))                                                                                  \
    F(Direct3DCubeTexture9_LockRect_ASync, Direct3DCubeTexture9_LockRect,                                              \
      (IDirect3DCubeTexture9 * Object, D3DCUBEMAP_FACES Face, UINT Level, D3DLOCKED_RECT * Locked, const RECT *Rect,   \
       DWORD Flags),                                                                                                   \
      (Object, Face, Level, Locked, Rect, Flags))                                                                      \
    F(Direct3DCubeTexture9_UnlockRect_ASync, Direct3DCubeTexture9_UnlockRect,                                          \
      (IDirect3DCubeTexture9 * Object, D3DCUBEMAP_FACES Face, UINT Level), (Object, Face, Level))                      \
    F(Direct3DTexture9_GetSurfaceLevel_ASync, Direct3DTexture9_GetSurfaceLevel,                                        \
      (IDirect3DTexture9 * Object, UINT Level, IDirect3DSurface9 * *Surface), (Object, Level, Surface))                \
    F(Direct3DTexture9_LockRect_ASync, Direct3DTexture9_LockRect,                                                      \
      (IDirect3DTexture9 * Object, UINT Level, D3DLOCKED_RECT * Locked, const RECT *Rect, DWORD Flags),                \
      (Object, Level, Locked, Rect, Flags))                                                                            \
    F(Direct3DTexture9_UnlockRect_ASync, Direct3DTexture9_UnlockRect, (IDirect3DTexture9 * Object, UINT Level),        \
      (Object, Level))                                                                                                 \
    F(Direct3DSurface9_LockRect_ASync, Direct3DSurface9_LockRect,                                                      \
      (IDirect3DSurface9 * Object, D3DLOCKED_RECT * Locked, const RECT *Rect, DWORD Flags),                            \
      (Object, Locked, Rect, Flags))                                                                                   \
    F(Direct3DSurface9_UnlockRect_ASync, Direct3DSurface9_UnlockRect, (IDirect3DSurface9 * Object), (Object))

// clang-format on

// ---- The wrapper table ---------------------------------------------------------------------------

#define ZOVUZ_D3D9_TABLE_ENTRY(Name, Method, Result, Params, Args) Result(*Name) Params;
#define ZOVUZ_D3D9_TABLE_OBJECT_ENTRY(Name, Type, Method, Result, Params, Args) Result(*Name) Params;
struct D3D9CallTable
{
    ZOVUZ_D3D9_DEVICE_CALLS(ZOVUZ_D3D9_TABLE_ENTRY)
    ZOVUZ_D3D9_OBJECT9_CALLS(ZOVUZ_D3D9_TABLE_ENTRY)
    ZOVUZ_D3D9_ARGUMENT_CALLS(ZOVUZ_D3D9_TABLE_OBJECT_ENTRY)
};
#undef ZOVUZ_D3D9_TABLE_ENTRY
#undef ZOVUZ_D3D9_TABLE_OBJECT_ENTRY

// The table every wrapper calls through, and the calls to the platform it starts with.
extern D3D9CallTable D3D9Calls;
extern const D3D9CallTable D3D9SystemCalls;

// ---- The wrappers ---------------------------------------------------------------------------------

#define ZOVUZ_D3D9_DECLARE(Name, Method, Result, Params, Args) Result Name Params;
#define ZOVUZ_D3D9_DECLARE_OBJECT(Name, Type, Method, Result, Params, Args) Result Name Params;
#define ZOVUZ_D3D9_DECLARE_ASYNC(Name, Plain, Params, Args)   \
    HRESULT Name(ZOVUZ_D3D9_UNPAREN Params, int ASyncThread); \
    int Name##Callback(ASyncLoadRequestInfo *Info);
#define ZOVUZ_D3D9_UNPAREN(...) __VA_ARGS__
ZOVUZ_D3D9_DEVICE_CALLS(ZOVUZ_D3D9_DECLARE)
ZOVUZ_D3D9_OBJECT9_CALLS(ZOVUZ_D3D9_DECLARE)
ZOVUZ_D3D9_ARGUMENT_CALLS(ZOVUZ_D3D9_DECLARE_OBJECT)
ZOVUZ_D3D9_ASYNC_CALLS(ZOVUZ_D3D9_DECLARE_ASYNC)
#undef ZOVUZ_D3D9_DECLARE
#undef ZOVUZ_D3D9_DECLARE_OBJECT
#undef ZOVUZ_D3D9_DECLARE_ASYNC

// The buffer creations a worker may use take no shared handle: 0, or -1 without a device or when
// the creation fails.
int Direct3DDevice9_CreateVertexBuffer_ASync(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                             IDirect3DVertexBuffer9 **Buffer, int ASyncThread);
int Direct3DDevice9_CreateVertexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info);
int Direct3DDevice9_CreateIndexBuffer_ASync(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            IDirect3DIndexBuffer9 **Buffer, int ASyncThread);
int Direct3DDevice9_CreateIndexBuffer_ASyncCallback(ASyncLoadRequestInfo *Info);

// ---- Modules, the Direct3D object and the device (each 0, or -1 on failure) ------------------------

// Loads "d3d9.dll" (nothing when it is loaded already).
int Direct3D9_LoadDLL(void);
// Frees it when it is loaded. 0.
int Direct3D9_FreeDLL(void);
// Makes the Direct3D object: Direct3DCreate9Ex unless an Ex device failed before, else
// Direct3DCreate9. An object left from before is released first.
int Direct3D9_Create(void);
// Makes the device for the screen settings: 0, -1, or -2 when the Ex device failed and the
// Direct3D object must be made again (without Ex) before a retry.
int Direct3D9_CreateDevice(void);
// Releases the Direct3D object: the references left, 0 when there was none.
int Direct3D9_Release(void);
// Releases the swap chain, then the device. 0.
int Direct3DDevice9_ReleaseDevice(void);
int Direct3D9_IsValid(void);
int Direct3D9Ex_IsValid(void);

// The multisample count Format has levels for, from *Type down (the depth buffer's D16 too),
// with the quality capped at both formats' levels: 0, or -1 when Strict refuses to lower it.
// A count that fails at 1 gives count 0 and quality 0.
int Direct3D9_CheckMultiSampleType(D3DFORMAT Format, D3DMULTISAMPLE_TYPE *Type, DWORD *Quality, int Strict);
int Direct3D9_CheckMultiSampleType_ASync(D3DFORMAT Format, D3DMULTISAMPLE_TYPE *Type, DWORD *Quality, int Strict,
                                         int ASyncThread);
int Direct3D9_CheckMultiSampleType_ASyncCallback(ASyncLoadRequestInfo *Info);
// A depth format usable with the render-target format on the adapter: 0 / -1.
int Direct3D9_CheckFormat(UINT Adapter, D3DDEVTYPE Type, D3DFORMAT AdapterFormat, D3DFORMAT TargetFormat,
                          D3DFORMAT DepthFormat);

// ---- Present and scene --------------------------------------------------------------------------

// Shows the frame: the sub back buffer copied in, the window's borders filled. 0 / -1.
int Direct3DDevice9_Present(void);
// Copies the sub back buffer into the back buffer at the full-screen scaling rectangle. 0 / -1.
int Direct3DDevice9_TransferSubBackBuffer(const RECT *SrcRect);
// Opens a scene unless one is open; closes the open scene.
int Direct3DDevice9_BeginSceneIfNeeded(void);
int Direct3DDevice9_EndSceneIfNeeded(void);
// Starts the front-screen timer on the main window when On is set. 0.
int Direct3D9_SetFrontScreenTimer(int On);
