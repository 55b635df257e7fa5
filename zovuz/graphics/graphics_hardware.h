// ZoVuz graphics: the hardware dispatch layer, part of what the layers extending graphics take
// (zovuz_graphics_backend.h includes it).
//
// The graphics front end never talks to a graphics interface itself. Every operation that needs a
// device goes through one Graphics_Hardware_* call, which forwards its arguments unchanged to
// the back end in use (GraphicsAPIType, zovuz_graphics_backend.h): Direct3D 11 or Direct3D 9.
// The back ends live in higher layers, so they reach the front end by registration: each fills
// one GraphicsHardwareFunctions table, by member name, and registers it (the library's start-up
// does this). A back end whose table was never registered fails its start, and graphics then run
// on the software renderer.
//
// The software renderer is not a third back end: while no device is in use every dispatcher does
// nothing and returns 0, and the front end keeps its own software path (it tests the hardware-in-
// use flag itself). An operation that the back end in use does not provide logs and fails (-1).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/zovuz_core.h"

struct BASEIMAGE;
struct COLORDATA;
struct ImageRect;
struct HWND__;

// The records the operations take. Graph, shader, buffer and shadow-map records are declared
// with the rest of what the back ends take (zovuz_graphics_backend.h); movie records are the
// movie subsystem's.
struct GraphHandleData;
struct GraphImageRecord;
struct MovieHandleData;
struct DrawGraphRectsParam;
struct ShaderHandleData;
struct ShaderConstantBufferHandleData;
struct VertexBufferHandleData;
struct IndexBufferHandleData;
struct ShadowMapHandleData;
struct VERTEX2D;
struct MovieOpenParam;
struct MovieGraphFields;

// ---- Shared device-side records -----------------------------------------------------------

// Light types of LIGHTPARAM.
#define DX_LIGHTTYPE_POINT 1
#define DX_LIGHTTYPE_SPOT 2
#define DX_LIGHTTYPE_DIRECTIONAL 3

// One light in the Direct3D 9 light layout.
struct LIGHTPARAM
{
    int LightType;     // DX_LIGHTTYPE_*
    float Diffuse[4];  // r, g, b, a
    float Specular[4];
    float Ambient[4];
    VECTOR Position;
    VECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0, Attenuation1, Attenuation2;
    float Theta;  // spot: inner cone angle
    float Phi;    // spot: outer cone angle
};

// The material in the order of the Direct3D 9 material.
struct MATERIALPARAM
{
    float Diffuse[4];  // r, g, b, a
    float Ambient[4];
    float Specular[4];
    float Emissive[4];
    float Power;
};

// ---- The back end in use -----------------------------------------------------------------

#define GRAPHICS_API_SOFTWARE 0  // no device: the software renderer, presented through GDI
#define GRAPHICS_API_D3D9 1      // the Direct3D 9 (or 9Ex) back end
#define GRAPHICS_API_D3D11 2     // the Direct3D 11 back end

// ---- The back-end tables -----------------------------------------------------------------

// One back end's implementation of every hardware operation, in the order of the dispatchers
// below. An entry a back end does not provide stays null; its dispatcher then logs and fails.
// Entries marked "Direct3D 9 only" / "Direct3D 11 only" are never called with the other back end
// in use (the dispatcher answers for it).
struct GraphicsHardwareFunctions
{
    // Device life.
    int (*Startup)(void);
    int (*PixelCenterTest)(void);
    int (*InitializeDeviceState)(void);
    int (*ReapplyDeviceState)(void);
    int (*IsDeviceValid)(void);
    int (*ReleaseDeviceObjects)(void);
    int (*ChangeScreenMode)(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate);
    int (*PresentFrame)(void);
    int (*Terminate)(void);
    int (*RestoreLostDevice)(void);     // Direct3D 9 only
    int (*SetDialogBoxMode)(int Flag);  // Direct3D 9 only
    int (*SetupSubBackBufferFullScreen)(void);
    int (*StartFrontScreenTimer)(int DrawScreen);

    // Images and textures.
    int (*CreateTexture)(GraphImageRecord *Image, int ASyncThread);
    int (*ReleaseGraphTexture)(GraphImageRecord *Image);
    int (*CheckDXTConvert)(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaImageFormat,
                           int *AlphaConvertFlag);
    int (*BltBmpOrBaseImageToTexture)(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                      const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TransferOption1,
                                      int TransferOption2, int WholeImageFlag, int AcceptLoadingFlag);
    int (*FillGraph)(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha);
    int (*BltRectGraphToGraph)(GraphHandleData *SrcGraph, GraphHandleData *DestGraph, const ImageRect *SrcRect,
                               int DestX, int DestY, int SrcSurface, int SrcMipLevel, int DestSurface,
                               int DestMipLevel);
    unsigned int (*GetPixel)(int X, int Y);
    int (*CheckRenderTargetGraph)(int GraphHandle, GraphHandleData *Graph);        // Direct3D 9 only
    int (*CopyMovieFrameToGraph)(GraphHandleData *Graph, MovieHandleData *Movie);  // Direct3D 9 only
    int (*ReleaseMemoryTextureCache)(void);                                        // Direct3D 9 only
    int (*ExpireMemoryTextures)(void);                                             // Direct3D 9 only
    int (*ExpireMemorySurfaces)(void);                                             // Direct3D 9 only
    int (*LockBackBuffer)(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, GraphHandleData *Graph,
                          int Surface, int MipLevel, int ReadOnly, int TextureIndex);
    int (*UnlockBackBuffer)(void);

    // Drawing.
    int (*ClearDrawScreen)(const ImageRect *ClearRect);
    int (*DrawCircle)(int X, int Y, int Radius, unsigned int Color, int FillFlag, int Unused1, int Unused2);
    int (*DrawCircleThickness)(int X, int Y, int Radius, unsigned int Color, int Thickness);
    int (*DrawFillBox)(int X1, int Y1, int X2, int Y2, unsigned int Color);
    int (*DrawLineBox)(int X1, int Y1, int X2, int Y2, unsigned int Color);
    int (*DrawLine)(int X1, int Y1, int X2, int Y2, unsigned int Color);
    int (*DrawGraph)(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                     int TransFlag, int IntFlag);
    int (*DrawExtendGraph)(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                           GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int IntFlag);
    int (*DrawModiGraph)(float X1, float Y1, float X2, float Y2, float X4, float Y4, float X3, float Y3,
                         GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int SimpleFlag);
    int (*DrawGraphRects)(const DrawGraphRectsParam *Param, GraphHandleData *Graph, GraphHandleData *BlendGraph);
    int (*DrawPrimitive2D)(const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph, int TransFlag,
                           int Unused1, int Unused2, int Unused3, int Unused4, int Unused5);
    int (*DrawPrimitive2DToShader)(const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph,
                                   int TransFlag, int Unused1, int Unused2, int Unused3);
    int (*RenderVertexBuffer)(int ASyncThread);

    // Draw state.
    int (*SetDrawScreen)(int DrawScreen, int OldSurface, int OldMipLevel, GraphHandleData *NewGraph,
                         GraphHandleData *OldGraph, ShadowMapHandleData *NewShadowMap,
                         ShadowMapHandleData *OldShadowMap);
    int (*SetRenderTargetToShader)(int TargetIndex, int DrawScreen, int Surface, int MipLevel);
    int (*SetupDepthBuffer)(void);
    int (*UpdateDrawScreenAlphaFlag)(void);
    int (*SetDrawArea)(void);
    int (*SetDrawMode)(int DrawMode);
    int (*UpdateDiffuseColor)(void);
    int (*SetBlendGraphParam)(GraphHandleData *BlendGraph, int BlendType, const int *Param);
    int (*SetTransformToView)(const MATRIX *Matrix);
    int (*SetTransformToProjection)(const MATRIX *Matrix);
    int (*SetTransformToWorld)(const MATRIX *Matrix);
    int (*SetUseLighting)(int Flag);
    int (*SetLightEnable)(int DeviceLightIndex, int Flag);
    int (*SetLightParam)(int DeviceLightIndex, const LIGHTPARAM *Param);
    int (*SetFogEnable)(int Flag);
    int (*SetFogMode)(int Mode);
    int (*SetFogColor)(unsigned int Color);
    int (*SetFogStartEnd)(float Start, float End);

    // Buffers, shaders and shadow maps.
    int (*SetVertexBufferData)(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num);
    int (*SetIndexBufferData)(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num);
    int (*VertexBuffer_Release)(VertexBufferHandleData *Buffer);
    int (*IndexBuffer_Release)(IndexBufferHandleData *Buffer);
    int (*ShaderConstantBuffer_Release)(ShaderConstantBufferHandleData *Buffer);  // Direct3D 11 only
    int (*CreateShaderHandle)(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize, int Option,
                              int ASyncThread);
    int (*Shader_Release)(ShaderHandleData *Shader);
    int (*GetShaderVersion)(void);
    int (*UpdateShadowMapParams)(void);
    int (*UpdateShadowMapMatrices)(void);
    int (*SetUseShadowMap)(int SlotIndex, int ShadowMapHandle);
    int (*ShadowMap_Release)(ShadowMapHandleData *ShadowMap);
    int (*EndShadowMapDraw)(ShadowMapHandleData *ShadowMap);

    // The mask screen's device side (the mask module's hardware path).
    int (*Mask_SaveOldScreen)(void);
    int (*Mask_CreateScreen)(int Width, int Height);
    int (*Mask_CopyOldScreen)(int OldWidth, int OldHeight);
    int (*Mask_DrawBegin)(int X1, int Y1, int X2, int Y2);
    int (*Mask_DrawEnd)(int X1, int Y1, int X2, int Y2);
    int (*Mask_ReleaseScreen)(void);
    int (*Mask_SetUseScreen)(void);
};

// The graph filters' entry points (the filter subsystem registers them). Each returns 0 or -1;
// the variable arguments are the filter's own parameters.
struct GraphFilterFunctions
{
    int (*GraphFilter)(int GraphHandle, int FilterType, ...);
    int (*GraphFilterBlt)(int SrcGraph, int DestGraph, int FilterType, ...);
    int (*GraphFilterRectBlt)(int SrcGraph, int DestGraph, int SrcX1, int SrcY1, int SrcX2, int SrcY2, int DestX,
                              int DestY, int FilterType, ...);
    // Forgets every filter shader the Direct3D passes made (and the Level filter's gamma graph):
    // a back end calls it from its device-state initialisation. 0.
    int (*ResetShaderHandles)(void);
};

// The movie subsystem's calls that graphs make (the movie subsystem registers them). The records
// they take (MovieOpenParam, MovieGraphFields) are in the public API.
struct MovieFunctions
{
    MovieHandleData *(*GetMovieHandleData)(int MovieHandle);
    MovieGraphFields *(*GetMovieGraphFields)(MovieHandleData *Movie);
    int (*InitMovieOpenParam)(MovieOpenParam *Param);
    int (*OpenMovie)(const MovieOpenParam *Param, const wchar_t *FileName, const void *FileImage, size_t FileImageSize,
                     int *Width, int *Height, int Unused, int ASyncThread);
    int (*SetMovieFrameUpdateCallback)(int MovieHandle, void (*Callback)(MovieHandleData *Movie, void *Data),
                                       void *Data);
    int (*UpdateMovieFrame)(int MovieHandle, int Flag);
    int (*TheoraDecode_GetYGraphHandle)(MovieHandleData *Movie);
    int (*TheoraDecode_GetUVGraphHandle)(MovieHandleData *Movie);
    void *(*TheoraDecode_GetSurface)(MovieHandleData *Movie);
    // Brings the decoder's current frame up to date in the forms asked for (the frame image, the
    // luma and chroma graphs, the surface): 1 when something new was produced, else 0.
    int (*TheoraDecode_SetupImage)(MovieHandleData *Movie, int ImageFlag, int GraphFlag, int SurfaceFlag,
                                   int ASyncThread);
    // Deletes the movie that feeds a graph (the graph's deletion calls it).
    int (*DeleteMovie)(int MovieHandle);
    // Flags the movie's decoder surface for re-creation: a back end calls it for every movie graph
    // when it releases its device objects. 0, -1 for a bad handle.
    int (*RefreshMovieSurface)(int MovieHandle);
};

// Registers (or, with null, removes) the table of one back end: GRAPHICS_API_D3D11 or
// GRAPHICS_API_D3D9. Register before graphics start. The table must outlive its use.
// 0, or -1 for another API type.
int RegisterGraphicsHardwareFunctions(int APIType, const GraphicsHardwareFunctions *Functions);
// The table registered for an API type, or null.
const GraphicsHardwareFunctions *GetGraphicsHardwareFunctions(int APIType);
// The filter and movie tables; null removes them. 0.
int RegisterGraphFilterFunctions(const GraphFilterFunctions *Functions);
int RegisterMovieFunctions(const MovieFunctions *Functions);
// The registered tables, or null.
const GraphFilterFunctions *GetGraphFilterFunctions(void);
const MovieFunctions *GetMovieFunctions(void);

// The back end in use (GraphicsAPIType), for the core's hook table.
int GetGraphicsAPIType(void);
// 1 while a Direct3D back end drives the screen.
int GetHardwareGraphicsFlag(void);

// ---- Device life -------------------------------------------------------------------------

// Chooses and starts the back end: Direct3D 11, then Direct3D 9, unless software rendering was
// requested; else the software renderer (its vertical-blank object, and in full screen the
// display-mode change). 0, or -1 only when even the software renderer cannot start.
int Graphics_Hardware_Startup(void);
// Run once at the end of graphics start; -1 when the back end fails.
int Graphics_Hardware_PixelCenterTest(void);
int Graphics_Hardware_InitializeDeviceState(void);
int Graphics_Hardware_ReapplyDeviceState(void);
// Non-zero while the back end's device object exists.
int Graphics_Hardware_IsDeviceValid(void);
// Releases the mask screens, every device object and the device (full-screen deactivation,
// before a screen-mode change).
int Graphics_Hardware_ReleaseDeviceObjects(void);
// Rebuilds the device at a new (ChangeFlag 1) or the current mode, after the asynchronous-load
// queue has emptied. 0 / -1.
int Graphics_Hardware_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate);
// Shows the finished frame: the back end's present, or the software screen through GDI.
int Graphics_Hardware_PresentFrame(void);
// The back end's present alone (0 on the software renderer); Graphics_Hardware_PresentFrame
// calls it while a device is in use.
int Graphics_Hardware_PresentFrameOnDevice(void);
// Ends the back end (or the software renderer's vertical-blank object) and frees the display
// table; the Direct3D 11 back end's result, else 0.
int Graphics_Hardware_Terminate(void);
// Direct3D 9 only: rebuilds a lost device.
int Graphics_Hardware_RestoreLostDevice(void);
// Switches the Direct3D 9 device's dialog-box mode at once (the full-screen menu).
int Graphics_Hardware_SetDialogBoxMode(int Flag);
// Stores the dialog-box-mode setting and applies it to a Direct3D 9 device. 0.
int Graphics_Hardware_SetDialogBoxModeFlag(int Flag);
int Graphics_Hardware_GetDialogBoxModeFlag(void);
int Graphics_Hardware_SetupSubBackBufferFullScreen(int Unused);
// For the front screen (-4) on the software renderer, starts the window timer that presents it
// (FrontScreenTimerProc); with a device, the back end's own start.
int Graphics_Hardware_StartFrontScreenTimer(int DrawScreen);

// ---- Images and textures -----------------------------------------------------------------

int Graphics_Hardware_CreateTexture(GraphImageRecord *Image, int ASyncThread);
int Graphics_Hardware_ReleaseGraphTexture(GraphImageRecord *Image);
// Sets each out flag to 1 when that DXT image must be converted before transfer.
int Graphics_Hardware_CheckDXTConvert(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaImageFormat,
                                      int *AlphaConvertFlag);
int Graphics_Hardware_BltBmpOrBaseImageToTexture(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                                 const BASEIMAGE *Image, const BASEIMAGE *AlphaImage,
                                                 int TransferOption1, int TransferOption2, int WholeImageFlag,
                                                 int AcceptLoadingFlag);
// 0 done, 2 when the graph is not a render target (the caller fills an image instead), -1.
int Graphics_Hardware_FillGraph(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha);
int Graphics_Hardware_BltRectGraphToGraph(GraphHandleData *SrcGraph, GraphHandleData *DestGraph,
                                          const ImageRect *SrcRect, int DestX, int DestY, int SrcSurface,
                                          int SrcMipLevel, int DestSurface, int DestMipLevel);
unsigned int Graphics_Hardware_GetPixel(int X, int Y);
// Direct3D 9 only: -1 when the graph cannot be a render target (0 with Direct3D 11).
int Graphics_Hardware_CheckRenderTargetGraph(int GraphHandle, GraphHandleData *Graph);
int Graphics_Hardware_CopyMovieFrameToGraph(GraphHandleData *Graph, MovieHandleData *Movie);
int Graphics_Hardware_ReleaseMemoryTextureCache(void);
// Direct3D 9 only: releases cached system-memory textures, then surfaces, unused for 2000 ms
// (every pass of the message pump).
int Graphics_Hardware_ExpireMemoryTextureCache(void);
int Graphics_Hardware_LockBackBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, GraphHandleData *Graph,
                                     int Surface, int MipLevel, int ReadOnly, int TextureIndex);
int Graphics_Hardware_UnlockBackBuffer(void);

// ---- Drawing -----------------------------------------------------------------------------

int Graphics_Hardware_ClearDrawScreen(const ImageRect *ClearRect);
int Graphics_Hardware_DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int Unused1, int Unused2);
int Graphics_Hardware_DrawCircleThickness(int X, int Y, int Radius, unsigned int Color, int Thickness);
int Graphics_Hardware_DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_Hardware_DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_Hardware_DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_Hardware_DrawGraph(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                                int TransFlag, int IntFlag);
int Graphics_Hardware_DrawExtendGraph(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                                      GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int IntFlag);
// The corners arrive in the order 1, 2, 4, 3 of DrawModiGraph.
int Graphics_Hardware_DrawModiGraph(float X1, float Y1, float X2, float Y2, float X4, float Y4, float X3, float Y3,
                                    GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag, int SimpleFlag);
int Graphics_Hardware_DrawGraphRects(const DrawGraphRectsParam *Param, GraphHandleData *Graph,
                                     GraphHandleData *BlendGraph);
int Graphics_Hardware_DrawPrimitive2D(const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph,
                                      int TransFlag, int Unused1, int Unused2, int Unused3, int Unused4, int Unused5);
int Graphics_Hardware_DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int PrimitiveType,
                                              GraphHandleData *Graph, int TransFlag, int Unused1, int Unused2,
                                              int Unused3);
// Draws the batched vertices; callers pass 0 before every state change that must not reach
// vertices already batched.
int Graphics_Hardware_RenderVertexBuffer(int ASyncThread);

// ---- Draw state (each pushes one part of GraphicsDrawSettings to the device) -------------

int Graphics_Hardware_SetDrawScreen(int DrawScreen, int OldSurface, int OldMipLevel, GraphHandleData *NewGraph,
                                    GraphHandleData *OldGraph, ShadowMapHandleData *NewShadowMap,
                                    ShadowMapHandleData *OldShadowMap);
int Graphics_Hardware_SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int MipLevel);
int Graphics_Hardware_SetupDepthBuffer(void);
int Graphics_Hardware_UpdateDrawScreenAlphaFlag(void);
int Graphics_Hardware_SetDrawArea(void);
int Graphics_Hardware_SetDrawMode(int DrawMode);
int Graphics_Hardware_UpdateDiffuseColor(void);
int Graphics_Hardware_SetBlendGraphParam(GraphHandleData *BlendGraph, int BlendType, const int *Param);
int Graphics_Hardware_SetTransformToView(const MATRIX *Matrix);
// Sends the 2D projection while 2D drawing is current, else the projection, each times the
// viewport matrix; the argument is not used.
int Graphics_Hardware_SetTransformToProjection(const MATRIX *Matrix);
int Graphics_Hardware_SetTransformToWorld(const MATRIX *Matrix);
int Graphics_Hardware_SetUseLighting(int Flag);
int Graphics_Hardware_SetLightEnable(int DeviceLightIndex, int Flag);
int Graphics_Hardware_SetLightParam(int DeviceLightIndex, const LIGHTPARAM *Param);
int Graphics_Hardware_SetFogEnable(int Flag);
int Graphics_Hardware_SetFogMode(int Mode);  // 0 none, 1 exponential, 2 exponential squared, 3 linear
int Graphics_Hardware_SetFogColor(unsigned int Color);
int Graphics_Hardware_SetFogStartEnd(float Start, float End);

// ---- Buffers, shaders and shadow maps ----------------------------------------------------

int Graphics_Hardware_SetVertexBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num);
int Graphics_Hardware_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num);
int Graphics_Hardware_VertexBuffer_Release(VertexBufferHandleData *Buffer);
int Graphics_Hardware_IndexBuffer_Release(IndexBufferHandleData *Buffer);
// Direct3D 11 only; under Direct3D 9 it does nothing and returns -1.
int Graphics_Hardware_ShaderConstantBuffer_Release(ShaderConstantBufferHandleData *Buffer);
int Graphics_Hardware_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                         int Option, int ASyncThread);
int Graphics_Hardware_Shader_Release(ShaderHandleData *Shader);
// 0, 200, 300, 400 or 500 (0 on the software renderer).
int Graphics_Hardware_GetShaderVersion(void);
int Graphics_Hardware_UpdateShadowMapParams(void);
int Graphics_Hardware_UpdateShadowMapMatrices(void);
int Graphics_Hardware_SetUseShadowMap(int SlotIndex, int ShadowMapHandle);
int Graphics_Hardware_ShadowMap_Release(ShadowMapHandleData *ShadowMap);
int Graphics_Hardware_EndShadowMapDraw(ShadowMapHandleData *ShadowMap);

// ---- The mask screen on the device ----------------------------------------------------------
// The mask module's hardware path (GraphicsState.HardwareInUseFlag) keeps the mask on the device:
// an image texture with the mask bytes, a screen texture that drawing lands in while the mask is in
// effect, and the real target remembered between the two hooks. Each returns 0 or -1.

// The mask grows: the screen objects move aside for Graphics_Hardware_Mask_CopyOldScreen.
int Graphics_Hardware_Mask_SaveOldScreen(void);
// Makes whatever objects of a Width x Height mask are missing, the image filled from the mask bytes.
int Graphics_Hardware_Mask_CreateScreen(int Width, int Height);
// After growing: the old mask bytes and picture into the new objects; the old ones released.
int Graphics_Hardware_Mask_CopyOldScreen(int OldWidth, int OldHeight);
// While the mask is in effect: the rectangle of the real target into the mask screen (begin), and
// back where the mask byte is 0 (end). 0 doing nothing otherwise.
int Graphics_Hardware_Mask_DrawBegin(int X1, int Y1, int X2, int Y2);
int Graphics_Hardware_Mask_DrawEnd(int X1, int Y1, int X2, int Y2);
int Graphics_Hardware_Mask_ReleaseScreen(void);
// Render target 0 becomes the mask screen while the mask is in effect, else the draw target.
int Graphics_Hardware_Mask_SetUseScreen(void);

// ---- The front-screen timer --------------------------------------------------------------

#define FRONT_SCREEN_TIMER_ID 32767
#define FRONT_SCREEN_TIMER_PERIOD 32  // ms

// Starts the timer on Window (the software renderer uses the display window, the back ends the
// main window). 0, or -1 when the timer cannot be set.
int StartFrontScreenTimer(HWND__ *Window);
// The timer's procedure, shared by the software renderer and both back ends (a Windows TIMERPROC):
// stops the timer; while the front screen (-4, surface 0) is still the draw target and the window
// is not layered, presents it again when the window is active and restarts the timer.
void __stdcall FrontScreenTimerProc(HWND__ *Window, unsigned int Message, uintptr_t TimerId, unsigned long Time);
