// Inside the Direct3D 9 back end: what its platform-independent parts share. Never included from
// app/.
//
// The back end is built in two halves, in this folder and in its rooms (calls/, device/, state/,
// texture/, draw/, shader/):
// - windows/: everything that touches Direct3D 9. Only the call layer
//   (calls/windows/d3d9_calls.h) calls an interface method; every other file calls its wrappers,
//   which go through a table a test can hook.
// - the other files: the decisions that are plain data: the format chosen for each kind of library
//   image and its log lines, the sizes of the Z buffer and the sub back buffer, where a present
//   lands in the window, and the back end's operation table. They take D3DFORMAT values as plain
//   numbers (D3D9Format below).
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/d3d9/zovuz_d3d9.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// ---- D3DFORMAT values the back end names ----------------------------------------------------

// windows/ files check them against the platform's header.
#define D3D9_FOURCC(a, b, c, d) ((unsigned)(a) | (unsigned)(b) << 8 | (unsigned)(c) << 16 | (unsigned)(d) << 24)
enum D3D9Format : unsigned {
    D3D9FMT_NONE = 0,
    D3D9FMT_A8R8G8B8 = 21,
    D3D9FMT_X8R8G8B8 = 22,
    D3D9FMT_R5G6B5 = 23,
    D3D9FMT_X1R5G5B5 = 24,
    D3D9FMT_A1R5G5B5 = 25,
    D3D9FMT_A4R4G4B4 = 26,
    D3D9FMT_G16R16 = 34,
    D3D9FMT_A16B16G16R16 = 36,
    D3D9FMT_L8 = 50,
    D3D9FMT_A8L8 = 51,
    D3D9FMT_D32 = 71,
    D3D9FMT_D24X8 = 77,
    D3D9FMT_D16 = 80,
    D3D9FMT_L16 = 81,
    D3D9FMT_R16F = 111,
    D3D9FMT_G16R16F = 112,
    D3D9FMT_A16B16G16R16F = 113,
    D3D9FMT_R32F = 114,
    D3D9FMT_G32R32F = 115,
    D3D9FMT_A32B32G32R32F = 116,
    D3D9FMT_DXT1 = D3D9_FOURCC('D', 'X', 'T', '1'),
    D3D9FMT_DXT2 = D3D9_FOURCC('D', 'X', 'T', '2'),
    D3D9FMT_DXT3 = D3D9_FOURCC('D', 'X', 'T', '3'),
    D3D9FMT_DXT4 = D3D9_FOURCC('D', 'X', 'T', '4'),
    D3D9FMT_DXT5 = D3D9_FOURCC('D', 'X', 'T', '5'),
};

// The D3DFORMAT name of a format the table can hold ("D3DFMT_X8R8G8B8"), or null.
const wchar_t *D3D9FormatName(unsigned Format);

// The COLORDATA of a colour format: masks for the packed formats, channel count, bits and float
// flag for the channel formats; null for any other format. The records are built on the first call.
const COLORDATA *Graphics_D3D9_GetFormatColorData(unsigned Format);

// ---- The format table -------------------------------------------------------------------------

// Slots of D3D9TextureFormatTable: 0-46 are the front end's pixel-format indices, then the
// back end's own.
#define D3D9_FORMAT_SLOT_RGB16 6
#define D3D9_FORMAT_SLOT_RGB32 7
#define D3D9_FORMAT_SLOT_ALPHA_RGB16 8
#define D3D9_FORMAT_SLOT_ALPHA_RGB32 9
#define D3D9_FORMAT_SLOT_ALPHATEST_RGB16 10
#define D3D9_FORMAT_SLOT_ALPHATEST_RGB32 11
#define D3D9_FORMAT_SLOT_DXT1 12  // to DXT5 at 16
#define D3D9_FORMAT_SLOT_TARGET_RGB16 33
#define D3D9_FORMAT_SLOT_TARGET_RGB32 34
#define D3D9_FORMAT_SLOT_TARGET 47            // the current render-target format
#define D3D9_FORMAT_SLOT_TARGET_ALPHATEST 48  // the current alpha-test format
#define D3D9_FORMAT_SLOT_ZBUFFER16 49
#define D3D9_FORMAT_SLOT_ZBUFFER24 50
#define D3D9_FORMAT_SLOT_ZBUFFER32 51
#define D3D9_FORMAT_SLOT_NUM 52

// One D3DFORMAT per kind of library image, 0 where the device has none. Rewritten by every
// device creation.
struct D3D9TextureFormatTableData
{
    unsigned Format[D3D9_FORMAT_SLOT_NUM];
};
extern D3D9TextureFormatTableData D3D9TextureFormatTable;

// How a format is to be used, for the device's answer.
enum D3D9FormatUse {
    D3D9_USE_TEXTURE,         // a texture
    D3D9_USE_RENDER_TARGET,   // a render-target texture
    D3D9_USE_DEPTH,           // a depth-stencil surface matching the back buffer
    D3D9_USE_VERTEX_TEXTURE,  // a texture read by vertex shaders
};

// The device's answer: 0 when Format can serve for Use, else non-zero.
typedef int (*D3D9FormatQuery)(int Use, unsigned Format);

// Fills D3D9TextureFormatTable for the device that Query asks, with a back buffer of
// BackBufferFormat and a screen of ScreenBitDepth, and logs each choice. -1 (logged) when the
// 16-bit colour, either alpha or either alpha-test slot finds no format; a later slot without a
// format only stays 0. 0 / -1.
int Graphics_D3D9_SetupFormatTable(D3D9FormatQuery Query, unsigned BackBufferFormat, int ScreenBitDepth);

// Logs whether each of the five plain colour formats can be read by vertex shaders.
void Graphics_D3D9_LogVertexTextureFormats(D3D9FormatQuery Query);

// ---- Sizes and rectangles ---------------------------------------------------------------------------

// What decides where a present lands in the window.
struct D3D9PresentPlacement
{
    int WindowMode;                 // 0 full screen
    int Centred;                    // the window shows the screen centred (maximised, as core says)
    int DrawWidth, DrawHeight;      // the draw screen
    double ScaleX, ScaleY;          // the window's size-extend rates
    int ClientWidth, ClientHeight;  // the window's client area
    int OffsetX, OffsetY;           // where the centred screen starts in it (core's draw offset)
};

// The destination rectangle of a present. Full screen: the draw screen. A window: the draw screen
// scaled; centred, that size at the offset, with each edge that falls within 2 pixels of the
// client's edge moved onto it.
ImageRect D3D9PresentDestRect(const D3D9PresentPlacement &Placement);

// ---- The back end's operations -----------------------------------------------------------------

// The back-end state the platform-independent files read.
struct D3D9BackendData
{
    int SceneOpenFlag;      // BeginScene was called and EndScene not yet
    float TexelOffsetX[2];  // the span drawing's start and end offsets (-0.5 each until tested)
    // The lost and restore callbacks of a screen-mode change, with their user data.
    void (*DeviceLostCallback)(void *Data);
    void *DeviceLostCallbackData;
    void (*DeviceRestoreCallback)(void *Data);
    void *DeviceRestoreCallbackData;
};
extern D3D9BackendData D3D9Backend;

int Graphics_D3D9_Startup(void);
int Graphics_D3D9_Initialize(void);
int Graphics_D3D9_Terminate(void);
int Graphics_D3D9_IsDeviceValid(void);
int Graphics_D3D9_ReleaseDeviceObjects(void);
int Graphics_D3D9_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate);
int Graphics_D3D9_RestoreLostDevice(void);
int Graphics_D3D9_SetDialogBoxMode(int Flag);
int Graphics_D3D9_PixelCenterTest(void);
int Graphics_D3D9_PresentFrame(void);
// The writes to the screens the window is shown from so far (the call layer's count, moved on by a
// present that left the screen not shown). 0.
int Graphics_D3D9_GetScreenWriteCount(uint32_t *Count);
int Graphics_D3D9_SetupSubBackBuffer(void);
int Graphics_D3D9_SetupSubBackBufferFullScreen(void);
int Graphics_D3D9_StartFrontScreenTimer(int DrawScreen);
int Graphics_D3D9_ClearDrawScreen(const ImageRect *ClearRect);
int Graphics_D3D9_GetShaderVersion(void);
int Graphics_D3D9_RecreateDeviceObjects(void);
int Graphics_D3D9_InitializeDeviceStateEntry(void);
int Graphics_D3D9_ReapplyDeviceState(void);
int Graphics_D3D9_RenderVertexBuffer(int ASyncThread);
int Graphics_D3D9_UpdateDiffuseColor(void);

// The draw-state operations.
int Graphics_D3D9_SetDrawScreen(int DrawScreen, int OldSurface, int OldMipLevel, GraphHandleData *NewGraph,
                                GraphHandleData *OldGraph, ShadowMapHandleData *NewShadowMap,
                                ShadowMapHandleData *OldShadowMap);
int Graphics_D3D9_SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int MipLevel);
int Graphics_D3D9_SetupDepthBuffer(void);
// A graph drawn through its own render surface (multisampled) copied into its texture's level 0 of
// Face, where sampling reads it. 0 also for a graph without one; -1 when the copy fails.
int Graphics_D3D9_ResolveRenderTarget(const GraphHandleData *Graph, int Face);
int Graphics_D3D9_UpdateDrawScreenAlphaFlag(void);
// -1 without a device or for an empty draw area, which leaves viewport and scissor as they were.
int Graphics_D3D9_SetDrawArea(void);
int Graphics_D3D9_SetDrawMode(int DrawMode);
int Graphics_D3D9_SetBlendGraphParam(GraphHandleData *BlendGraph, int BlendType, const int *Param);
int Graphics_D3D9_SetTransformToView(const MATRIX *Matrix);
int Graphics_D3D9_SetTransformToProjection(const MATRIX *Unused);
int Graphics_D3D9_SetTransformToWorld(const MATRIX *Matrix);
int Graphics_D3D9_SetUseLighting(int Flag);
int Graphics_D3D9_SetLightEnable(int Index, int Enable);
int Graphics_D3D9_SetLightParam(int Index, const LIGHTPARAM *Param);
int Graphics_D3D9_SetFogEnable(int Flag);
int Graphics_D3D9_SetFogMode(int Mode);
int Graphics_D3D9_SetFogColor(unsigned int Color);
int Graphics_D3D9_SetFogStartEnd(float Start, float End);
int Graphics_D3D9_SetUseShadowMap(int SlotIndex, int ShadowMapHandle);
int Graphics_D3D9_UpdateShadowMapParams(void);
int Graphics_D3D9_UpdateShadowMapMatrices(void);

// ---- Graph textures, buffers, shaders and shadow maps (windows/) -----------------------------

// Makes whatever is missing of every texture entry: a multisampled target's render surface and
// depth surface, the texture, its level-0 surface; clears a render target to 0. 0 when the record
// is not valid; -1 (logged) without a device or when a step fails, what was made kept.
int Graphics_D3D9_CreateTexture(GraphImageRecord *Image, int ASyncThread);
// Releases every entry's surfaces, render surface, depth surface and texture. 0.
int Graphics_D3D9_ReleaseGraphTexture(GraphImageRecord *Image);

// Sets each out flag to 1 when a DXT image must be decoded before it reaches the record's
// textures. 0.
int Graphics_D3D9_CheckDXTConvert(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaImageFormat,
                                  int *AlphaConvertFlag);

int Graphics_D3D9_BltBmpOrBaseImageToTexture(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                             const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TransferOption1,
                                             int TransferOption2, int WholeImageFlag, int AcceptLoadingFlag);

// 0; 2 for a graph that is not a render target (nothing changed); -1 without a device.
int Graphics_D3D9_FillGraph(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha);
// (X1, Y1)-(X2, Y2) of the source graph (null: the screen) to (DestX, DestY) of the destination.
int Graphics_D3D9_BltRectGraphToGraph(GraphHandleData *DestGraph, GraphHandleData *SrcGraph, int SrcSurface, int X1,
                                      int Y1, int X2, int Y2, int DestX, int DestY);
unsigned int Graphics_D3D9_GetPixel(int X, int Y);
int Graphics_D3D9_LockBackBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, GraphHandleData *Graph,
                                 int Surface, int MipLevel, int ReadOnly, int TextureIndex);
int Graphics_D3D9_UnlockBackBuffer(void);
// 0 for no graph or a render target with its own depth surface, else -1.
int Graphics_D3D9_CheckRenderTargetGraph(int GraphHandle, GraphHandleData *Graph);
int Graphics_D3D9_CopyMovieFrameToGraph(GraphHandleData *Graph, MovieHandleData *Movie);

int Graphics_D3D9_SetVertexBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num);
int Graphics_D3D9_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num);
int Graphics_D3D9_VertexBuffer_Release(VertexBufferHandleData *Buffer);
int Graphics_D3D9_IndexBuffer_Release(IndexBufferHandleData *Buffer);
int Graphics_D3D9_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                     int FreeCode, int ASyncThread);
int Graphics_D3D9_Shader_Release(ShaderHandleData *Shader);
int Graphics_D3D9_SetupShadowMap(ShadowMapHandleData *ShadowMap, int ASyncThread);
int Graphics_D3D9_ShadowMap_Release(ShadowMapHandleData *ShadowMap);
