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

// ---- The back-end operations --------------------------------------------------------------

// Every operation a back end provides, in the order of its table, one entry each:
//     KIND(result, name, (parameters), (arguments))
// FORWARD: Graphics_Hardware_<name> only forwards: it calls the entry of the back end in use with
//     the same arguments and returns its result (0 on the software renderer, -1 logged for an
//     entry the back end lacks). Its declaration below and its definition come from this list.
// FORWARD_D3D9: the same for an operation only Direct3D 9 has; with another back end in use it
//     does nothing and returns 0.
// OWN: the dispatcher does more than forward, so it is written by hand (declared after the
//     generated declarations); only the table entry comes from this list.
// A new operation is one line here, then its function in each back end's table.
#define GRAPHICS_HARDWARE_OPERATIONS(FORWARD, FORWARD_D3D9, OWN)                                                      \
    /* ---- Device life */                                                                                            \
    OWN(int, Startup, (void), ())                                                                                     \
    /* run once at the end of graphics start; -1 when the back end fails */                                           \
    FORWARD(int, PixelCenterTest, (void), ())                                                                         \
    FORWARD(int, InitializeDeviceState, (void), ())                                                                   \
    FORWARD(int, ReapplyDeviceState, (void), ())                                                                      \
    OWN(int, IsDeviceValid, (void), ())                                                                               \
    /* releases the mask screens, every device object and the device (deactivation, mode change) */                   \
    FORWARD(int, ReleaseDeviceObjects, (void), ())                                                                    \
    OWN(int, ChangeScreenMode, (int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate),           \
        (ChangeFlag, Width, Height, ColorBitDepth, RefreshRate))                                                      \
    OWN(int, PresentFrame, (void), ())                                                                                \
    /* writes to the screens the window is shown from so far, counted by the back end; -1 when it cannot tell */      \
    OWN(int, GetScreenWriteCount, (uint32_t * Count), (Count))                                                        \
    OWN(int, Terminate, (void), ())                                                                                   \
    /* rebuilds a lost device */                                                                                      \
    FORWARD_D3D9(int, RestoreLostDevice, (void), ())                                                                  \
    OWN(int, SetDialogBoxMode, (int Flag), (Flag))                                                                    \
    OWN(int, SetupSubBackBufferFullScreen, (void), ())                                                                \
    OWN(int, StartFrontScreenTimer, (int DrawScreen), (DrawScreen))                                                   \
    /* ---- Images and textures */                                                                                    \
    FORWARD(int, CreateTexture, (GraphImageRecord * Image, int ASyncThread), (Image, ASyncThread))                    \
    FORWARD(int, ReleaseGraphTexture, (GraphImageRecord * Image), (Image))                                            \
    /* sets each out flag to 1 when that DXT image must be converted before transfer */                               \
    FORWARD(                                                                                                          \
        int, CheckDXTConvert,                                                                                         \
        (GraphImageRecord * Image, int ImageFormat, int *ConvertFlag, int AlphaImageFormat, int *AlphaConvertFlag),   \
        (Image, ImageFormat, ConvertFlag, AlphaImageFormat, AlphaConvertFlag))                                        \
    FORWARD(int, BltBmpOrBaseImageToTexture,                                                                          \
            (const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph, const BASEIMAGE *Image,          \
             const BASEIMAGE *AlphaImage, int TransferOption1, int TransferOption2, int WholeImageFlag,               \
             int AcceptLoadingFlag),                                                                                  \
            (SrcRect, DestX, DestY, Graph, Image, AlphaImage, TransferOption1, TransferOption2, WholeImageFlag,       \
             AcceptLoadingFlag))                                                                                      \
    /* 0 done, 2 when the graph is not a render target (the caller fills an image instead), -1 */                     \
    FORWARD(int, FillGraph, (GraphHandleData * Graph, int Red, int Green, int Blue, int Alpha),                       \
            (Graph, Red, Green, Blue, Alpha))                                                                         \
    FORWARD(int, BltRectGraphToGraph,                                                                                 \
            (GraphHandleData * SrcGraph, GraphHandleData * DestGraph, const ImageRect *SrcRect, int DestX, int DestY, \
             int SrcSurface, int SrcMipLevel, int DestSurface, int DestMipLevel),                                     \
            (SrcGraph, DestGraph, SrcRect, DestX, DestY, SrcSurface, SrcMipLevel, DestSurface, DestMipLevel))         \
    FORWARD(unsigned int, GetPixel, (int X, int Y), (X, Y))                                                           \
    /* -1 when the graph cannot be a render target */                                                                 \
    FORWARD_D3D9(int, CheckRenderTargetGraph, (int GraphHandle, GraphHandleData *Graph), (GraphHandle, Graph))        \
    FORWARD_D3D9(int, CopyMovieFrameToGraph, (GraphHandleData * Graph, MovieHandleData * Movie), (Graph, Movie))      \
    FORWARD_D3D9(int, ReleaseMemoryTextureCache, (void), ())                                                          \
    OWN(int, ExpireMemoryTextures, (void), ())                                                                        \
    OWN(int, ExpireMemorySurfaces, (void), ())                                                                        \
    FORWARD(int, LockBackBuffer,                                                                                      \
            (const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, GraphHandleData *Graph, int Surface,          \
             int MipLevel, int ReadOnly, int TextureIndex),                                                           \
            (Rect, Image, TargetHandle, Graph, Surface, MipLevel, ReadOnly, TextureIndex))                            \
    FORWARD(int, UnlockBackBuffer, (void), ())                                                                        \
    /* ---- Drawing */                                                                                                \
    FORWARD(int, ClearDrawScreen, (const ImageRect *ClearRect), (ClearRect))                                          \
    FORWARD(int, DrawCircle, (int X, int Y, int Radius, unsigned int Color, int FillFlag, int Unused1, int Unused2),  \
            (X, Y, Radius, Color, FillFlag, Unused1, Unused2))                                                        \
    FORWARD(int, DrawCircleThickness, (int X, int Y, int Radius, unsigned int Color, int Thickness),                  \
            (X, Y, Radius, Color, Thickness))                                                                         \
    FORWARD(int, DrawFillBox, (int X1, int Y1, int X2, int Y2, unsigned int Color), (X1, Y1, X2, Y2, Color))          \
    FORWARD(int, DrawLineBox, (int X1, int Y1, int X2, int Y2, unsigned int Color), (X1, Y1, X2, Y2, Color))          \
    FORWARD(int, DrawLine, (int X1, int Y1, int X2, int Y2, unsigned int Color), (X1, Y1, X2, Y2, Color))             \
    FORWARD(int, DrawGraph,                                                                                           \
            (int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag,    \
             int IntFlag),                                                                                            \
            (X, Y, XF, YF, Graph, BlendGraph, TransFlag, IntFlag))                                                    \
    FORWARD(int, DrawExtendGraph,                                                                                     \
            (int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F, GraphHandleData *Graph,      \
             GraphHandleData *BlendGraph, int TransFlag, int IntFlag),                                                \
            (X1, Y1, X2, Y2, X1F, Y1F, X2F, Y2F, Graph, BlendGraph, TransFlag, IntFlag))                              \
    /* the corners arrive in the order 1, 2, 4, 3 of DrawModiGraph */                                                 \
    FORWARD(int, DrawModiGraph,                                                                                       \
            (float X1, float Y1, float X2, float Y2, float X4, float Y4, float X3, float Y3, GraphHandleData *Graph,  \
             GraphHandleData *BlendGraph, int TransFlag, int SimpleFlag),                                             \
            (X1, Y1, X2, Y2, X4, Y4, X3, Y3, Graph, BlendGraph, TransFlag, SimpleFlag))                               \
    FORWARD(int, DrawGraphRects,                                                                                      \
            (const DrawGraphRectsParam *Param, GraphHandleData *Graph, GraphHandleData *BlendGraph),                  \
            (Param, Graph, BlendGraph))                                                                               \
    FORWARD(int, DrawPrimitive2D,                                                                                     \
            (const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph, int TransFlag, int Unused1,  \
             int Unused2, int Unused3, int Unused4, int Unused5),                                                     \
            (Vertex, Num, PrimitiveType, Graph, TransFlag, Unused1, Unused2, Unused3, Unused4, Unused5))              \
    FORWARD(int, DrawPrimitive2DToShader,                                                                             \
            (const VERTEX2D *Vertex, int Num, int PrimitiveType, GraphHandleData *Graph, int TransFlag, int Unused1,  \
             int Unused2, int Unused3),                                                                               \
            (Vertex, Num, PrimitiveType, Graph, TransFlag, Unused1, Unused2, Unused3))                                \
    /* draws the batch; called with 0 before every state change the batched vertices must not get */                  \
    FORWARD(int, RenderVertexBuffer, (int ASyncThread), (ASyncThread))                                                \
    /* ---- Draw state: each pushes one part of GraphicsDrawSettings to the device */                                 \
    FORWARD(int, SetDrawScreen,                                                                                       \
            (int DrawScreen, int OldSurface, int OldMipLevel, GraphHandleData *NewGraph, GraphHandleData *OldGraph,   \
             ShadowMapHandleData *NewShadowMap, ShadowMapHandleData *OldShadowMap),                                   \
            (DrawScreen, OldSurface, OldMipLevel, NewGraph, OldGraph, NewShadowMap, OldShadowMap))                    \
    FORWARD(int, SetRenderTargetToShader, (int TargetIndex, int DrawScreen, int Surface, int MipLevel),               \
            (TargetIndex, DrawScreen, Surface, MipLevel))                                                             \
    FORWARD(int, SetupDepthBuffer, (void), ())                                                                        \
    FORWARD(int, UpdateDrawScreenAlphaFlag, (void), ())                                                               \
    FORWARD(int, SetDrawArea, (void), ())                                                                             \
    FORWARD(int, SetDrawMode, (int DrawMode), (DrawMode))                                                             \
    FORWARD(int, UpdateDiffuseColor, (void), ())                                                                      \
    FORWARD(int, SetBlendGraphParam, (GraphHandleData * BlendGraph, int BlendType, const int *Param),                 \
            (BlendGraph, BlendType, Param))                                                                           \
    FORWARD(int, SetTransformToView, (const MATRIX *Matrix), (Matrix))                                                \
    /* sends the 2D projection while 2D drawing is current, else the projection, each times the viewport matrix; the  \
     * argument is not used */                                                                                        \
    FORWARD(int, SetTransformToProjection, (const MATRIX *Matrix), (Matrix))                                          \
    FORWARD(int, SetTransformToWorld, (const MATRIX *Matrix), (Matrix))                                               \
    FORWARD(int, SetUseLighting, (int Flag), (Flag))                                                                  \
    FORWARD(int, SetLightEnable, (int DeviceLightIndex, int Flag), (DeviceLightIndex, Flag))                          \
    FORWARD(int, SetLightParam, (int DeviceLightIndex, const LIGHTPARAM *Param), (DeviceLightIndex, Param))           \
    FORWARD(int, SetFogEnable, (int Flag), (Flag))                                                                    \
    /* 0 none, 1 exponential, 2 exponential squared, 3 linear */                                                      \
    FORWARD(int, SetFogMode, (int Mode), (Mode))                                                                      \
    FORWARD(int, SetFogColor, (unsigned int Color), (Color))                                                          \
    FORWARD(int, SetFogStartEnd, (float Start, float End), (Start, End))                                              \
    /* ---- Buffers, shaders and shadow maps */                                                                       \
    FORWARD(int, SetVertexBufferData, (VertexBufferHandleData * Buffer, int Start, const void *Source, int Num),      \
            (Buffer, Start, Source, Num))                                                                             \
    FORWARD(int, SetIndexBufferData, (IndexBufferHandleData * Buffer, int Start, const void *Source, int Num),        \
            (Buffer, Start, Source, Num))                                                                             \
    FORWARD(int, VertexBuffer_Release, (VertexBufferHandleData * Buffer), (Buffer))                                   \
    FORWARD(int, IndexBuffer_Release, (IndexBufferHandleData * Buffer), (Buffer))                                     \
    OWN(int, ShaderConstantBuffer_Release, (ShaderConstantBufferHandleData * Buffer), (Buffer))                       \
    FORWARD(                                                                                                          \
        int, CreateShaderHandle,                                                                                      \
        (ShaderHandleData * Shader, int IsVertexShader, const void *Code, int CodeSize, int Option, int ASyncThread), \
        (Shader, IsVertexShader, Code, CodeSize, Option, ASyncThread))                                                \
    FORWARD(int, Shader_Release, (ShaderHandleData * Shader), (Shader))                                               \
    /* 0, 200, 300, 400 or 500 */                                                                                     \
    FORWARD(int, GetShaderVersion, (void), ())                                                                        \
    FORWARD(int, UpdateShadowMapParams, (void), ())                                                                   \
    FORWARD(int, UpdateShadowMapMatrices, (void), ())                                                                 \
    FORWARD(int, SetUseShadowMap, (int SlotIndex, int ShadowMapHandle), (SlotIndex, ShadowMapHandle))                 \
    FORWARD(int, ShadowMap_Release, (ShadowMapHandleData * ShadowMap), (ShadowMap))                                   \
    FORWARD(int, EndShadowMapDraw, (ShadowMapHandleData * ShadowMap), (ShadowMap))                                    \
    /* ---- The mask screen on the device (see the dispatchers) */                                                    \
    /* the mask grows: the screen objects move aside for Mask_CopyOldScreen */                                        \
    FORWARD(int, Mask_SaveOldScreen, (void), ())                                                                      \
    /* makes whatever objects of a Width x Height mask are missing, the image filled from the mask bytes */           \
    FORWARD(int, Mask_CreateScreen, (int Width, int Height), (Width, Height))                                         \
    /* after growing: the old mask bytes and picture into the new objects; the old ones released */                   \
    FORWARD(int, Mask_CopyOldScreen, (int OldWidth, int OldHeight), (OldWidth, OldHeight))                            \
    /* while the mask is in effect: the rectangle of the real target into the mask screen (begin), and back where the \
     * mask byte is 0 (end); 0 doing nothing otherwise */                                                             \
    FORWARD(int, Mask_DrawBegin, (int X1, int Y1, int X2, int Y2), (X1, Y1, X2, Y2))                                  \
    FORWARD(int, Mask_DrawEnd, (int X1, int Y1, int X2, int Y2), (X1, Y1, X2, Y2))                                    \
    FORWARD(int, Mask_ReleaseScreen, (void), ())                                                                      \
    /* render target 0 becomes the mask screen while the mask is in effect, else the draw target */                   \
    FORWARD(int, Mask_SetUseScreen, (void), ())

// One back end's implementation of every hardware operation. An entry a back end does not provide
// stays null; its dispatcher then logs and fails.
#define GRAPHICS_HARDWARE_TABLE_ENTRY(Result, Name, Params, Args) Result(*Name) Params;
struct GraphicsHardwareFunctions
{
    GRAPHICS_HARDWARE_OPERATIONS(GRAPHICS_HARDWARE_TABLE_ENTRY, GRAPHICS_HARDWARE_TABLE_ENTRY,
                                 GRAPHICS_HARDWARE_TABLE_ENTRY)
};
#undef GRAPHICS_HARDWARE_TABLE_ENTRY

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

// ---- The dispatchers ----------------------------------------------------------------------

// The forwarding dispatchers of the list.
#define GRAPHICS_HARDWARE_DECLARE(Result, Name, Params, Args) Result Graphics_Hardware_##Name Params;
#define GRAPHICS_HARDWARE_HAND_WRITTEN(Result, Name, Params, Args)
GRAPHICS_HARDWARE_OPERATIONS(GRAPHICS_HARDWARE_DECLARE, GRAPHICS_HARDWARE_DECLARE, GRAPHICS_HARDWARE_HAND_WRITTEN)
#undef GRAPHICS_HARDWARE_DECLARE
#undef GRAPHICS_HARDWARE_HAND_WRITTEN

// The dispatchers written by hand.

// Chooses and starts the back end: Direct3D 11, then Direct3D 9, unless software rendering was
// requested; else the software renderer (its vertical-blank object, and in full screen the
// display-mode change). 0, or -1 only when even the software renderer cannot start.
int Graphics_Hardware_Startup(void);
// Non-zero while the back end's device object exists (0 for a back end that cannot say).
int Graphics_Hardware_IsDeviceValid(void);
// Rebuilds the device at a new (ChangeFlag 1) or the current mode, after the asynchronous-load
// queue has emptied. 0 / -1.
int Graphics_Hardware_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate);
// Shows the finished frame: the back end's present, or the software screen through GDI.
int Graphics_Hardware_PresentFrame(void);
// The back end's count of writes to the screens the window is shown from (the draws, clears and
// copies onto them, their making and resizing): 0 with *Count, or -1 when the back end keeps
// none (or on the software renderer, whose screen keeps its own count).
int Graphics_Hardware_GetScreenWriteCount(uint32_t *Count);
// The back end's present alone (0 on the software renderer); Graphics_Hardware_PresentFrame
// calls it while a device is in use.
int Graphics_Hardware_PresentFrameOnDevice(void);
// Ends the back end (or the software renderer's vertical-blank object) and frees the display
// table; the Direct3D 11 back end's result, else 0.
int Graphics_Hardware_Terminate(void);
// Switches the Direct3D 9 device's dialog-box mode at once (the full-screen menu).
int Graphics_Hardware_SetDialogBoxMode(int Flag);
// Stores the dialog-box-mode setting and applies it to a Direct3D 9 device. 0.
int Graphics_Hardware_SetDialogBoxModeFlag(int Flag);
int Graphics_Hardware_GetDialogBoxModeFlag(void);
int Graphics_Hardware_SetupSubBackBufferFullScreen(int Unused);
// For the front screen (-4) on the software renderer, starts the window timer that presents it
// (FrontScreenTimerProc); with a device, the back end's own start.
int Graphics_Hardware_StartFrontScreenTimer(int DrawScreen);
// Direct3D 9 only: releases cached system-memory textures, then surfaces, unused for 2000 ms
// (every pass of the message pump).
int Graphics_Hardware_ExpireMemoryTextureCache(void);
// Direct3D 11 only; under Direct3D 9 it does nothing and returns -1.
int Graphics_Hardware_ShaderConstantBuffer_Release(ShaderConstantBufferHandleData *Buffer);

// The mask module's hardware path (GraphicsState.HardwareInUseFlag) keeps the mask on the device:
// an image texture with the mask bytes, a screen texture that drawing lands in while the mask is in
// effect, and the real target remembered between the two hooks (the Mask_* operations; each
// returns 0 or -1).

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
