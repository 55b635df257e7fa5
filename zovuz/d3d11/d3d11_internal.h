// Inside the Direct3D 11 back end: what its platform-independent parts share. Never included
// from app/.
//
// The back end is built in two halves, in this folder and in its rooms (calls/, device/, state/,
// texture/, draw/, shader/):
// - windows/: everything that touches Direct3D 11 or DXGI. Only the call layer
//   (calls/windows/d3d11_calls.h) calls an interface method; every other file of the back end
//   calls the call layer's wrappers, so a test can put a recording stand-in for the two DLLs
//   behind it (tests/zovuz/d3d11/fake_d3d11.h).
// - the other files: the decisions that are plain data: the limits a feature level gives, the
//   DXGI format chosen for each of the library's formats, their log lines, and the back end's
//   operation table. They take DXGI values as plain numbers (D3D11Format below).
#pragma once

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/zovuz_graphics_backend.h"

// ---- DXGI values the back end names ----------------------------------------------------------

// The DXGI_FORMAT values the back end chooses among (windows/ files check them against the
// platform's header).
enum D3D11Format {
    D3D11FMT_NONE = 0,
    D3D11FMT_R32G32B32A32_FLOAT = 2,
    D3D11FMT_R16G16B16A16_FLOAT = 10,
    D3D11FMT_R16G16B16A16_UNORM = 11,
    D3D11FMT_R32G32_FLOAT = 16,
    D3D11FMT_R8G8B8A8_UNORM = 28,
    D3D11FMT_R16G16_FLOAT = 34,
    D3D11FMT_R16G16_UNORM = 35,
    D3D11FMT_R32_TYPELESS = 39,
    D3D11FMT_D32_FLOAT = 40,
    D3D11FMT_R32_FLOAT = 41,
    D3D11FMT_R24G8_TYPELESS = 44,
    D3D11FMT_D24_UNORM_S8_UINT = 45,
    D3D11FMT_R8G8_UNORM = 49,
    D3D11FMT_R16_FLOAT = 54,
    D3D11FMT_D16_UNORM = 55,
    D3D11FMT_R16_UNORM = 56,
    D3D11FMT_R8_UNORM = 61,
    D3D11FMT_BC1_UNORM = 71,
    D3D11FMT_BC2_UNORM = 74,
    D3D11FMT_BC3_UNORM = 77,
    D3D11FMT_B5G6R5_UNORM = 85,
    D3D11FMT_B8G8R8A8_UNORM = 87,
    D3D11FMT_B8G8R8X8_UNORM = 88,
};

// Bits of a format-support answer (D3D11_FORMAT_SUPPORT).
#define D3D11_SUPPORT_TEXTURE2D 0x20
#define D3D11_SUPPORT_RENDER_TARGET 0x4000
#define D3D11_SUPPORT_DEPTH_STENCIL 0x10000

// Feature levels (D3D_FEATURE_LEVEL).
#define D3D11_LEVEL_9_1 0x9100
#define D3D11_LEVEL_9_2 0x9200
#define D3D11_LEVEL_9_3 0x9300
#define D3D11_LEVEL_10_0 0xA000
#define D3D11_LEVEL_10_1 0xA100
#define D3D11_LEVEL_11_0 0xB000
#define D3D11_LEVEL_11_1 0xB100

// Every level the back end knows, highest first, ended by -1: the order in which a device is
// asked for them.
extern const int D3D11FeatureLevelList[8];

// ---- The format table ----------------------------------------------------------------------------

// Slots of the format table: the front end's pixel-format indices (PixelFormatIndex, 0-46), then
// two of the back end's own.
#define D3D11_FORMAT_SLOT_DRAW_SCREEN 47  // the draw screen's format: slot 34 at 32 bits, else 33
#define D3D11_FORMAT_SLOT_R8 48           // one 8-bit channel
#define D3D11_FORMAT_SLOT_NUM 49

// Depth buffers by the depth format index of an image record: 16, 24 and 32 bits.
#define D3D11_DEPTH_FORMAT_NUM 3

// The DXGI format the device gives each of the library's formats, 0 where it has none. Rewritten
// by every device creation.
struct D3D11FormatTableData
{
    int Format[D3D11_FORMAT_SLOT_NUM];         // by slot; 0 = no supported format
    int DepthTexture[D3D11_DEPTH_FORMAT_NUM];  // the depth texture's format (typeless where it is read)
    int DepthView[D3D11_DEPTH_FORMAT_NUM];     // its depth-stencil view's format
    int ScreenFormat;                          // the swap chains' and the sub back buffer's format
};
extern D3D11FormatTableData D3D11FormatTable;

// The device's answer for one format: a result below 0 when the format is not supported at all,
// else the D3D11_SUPPORT_* bits in *Support.
typedef long (*D3D11FormatSupportQuery)(int Format, unsigned int *Support);

// Fills the table for the device that Query asks and logs each choice: the screen format, the
// three depth pairs, then every slot by its fall-back chain. -1 (logged) when the device cannot
// use R8G8B8A8_UNORM as a texture; a missing optional format only leaves its slot 0. 0 / -1.
int Graphics_D3D11_SetupFormatTable(D3D11FormatSupportQuery Query);

// The DXGI name of a format the table can hold ("DXGI_FORMAT_R8G8B8A8_UNORM"), or null.
const wchar_t *D3D11FormatName(int Format);

// The COLORDATA of a DXGI format the back end transfers pixels in, or null for any other format.
// The records are built on the first call.
const COLORDATA *Graphics_D3D11_GetFormatColorData(int Format);

// ---- Feature levels and the device's capabilities ----------------------------------------------

// Writes the capabilities of a device of this feature level into GraphicsDeviceCaps: the words
// every Direct3D 11 device shares, then the level's limits. A level the back end does not know
// keeps the previous limits. 0.
int Graphics_D3D11_SetupDeviceCaps(int FeatureLevel);

// "D3D_FEATURE_LEVEL_11_1" and the like, or null for a level the back end does not know.
const wchar_t *D3D11FeatureLevelName(int FeatureLevel);

// Logs the level in use, the render-target count and the texture size limits.
void Graphics_D3D11_LogDeviceCaps(int FeatureLevel);

// ---- The device and the back end's operations ---------------------------------------------------

// Makes the factory, reads the adapters, makes the device and the main window's swap chain, then
// fills the front end's capability record for the level obtained and the format table, with their
// log lines. Any previous device is ended first. 0, or -1 (what was made stays for the release).
int Graphics_D3D11_CreateDevice(void);

// 1 while the device exists, else 0.
int Graphics_D3D11_IsDeviceValid(void);

// Releases everything the back end made, in the reverse order of its making: the screen's
// objects and swap chains, then the device, the factory and both DLLs; then logs the live-object
// dump. Harmless to run twice. 0.
int Graphics_D3D11_ReleaseDevice(void);

// The end of the back end at the library's end. 0.
int Graphics_D3D11_Terminate(void);

// The device-state cache's defaults, sent in full (state/windows/d3d11_device_state_win.h). 0 / -1.
int Graphics_D3D11_InitializeDeviceState(void);
// Draws the batched vertices (draw/windows/d3d11_vertex_batch_win.h). 0 / -1.
int Graphics_D3D11_RenderVertexBuffer(int Next3D, int ASyncThread);

// ---- Where a present puts the screen ------------------------------------------------------------

// What the copy of the sub back buffer into the back buffer depends on.
struct D3D11PresentPlacement
{
    int ScreenWidth, ScreenHeight;          // the library's screen (the sub back buffer)
    int BackBufferWidth, BackBufferHeight;  // the window's back buffer
    int WindowModeFlag;                     // 0 = full screen
    int FullScreenScalingMode;              // in effect (FULLSCREEN_SCALING_*)
    ImageRect FullScreenScalingRect;        // modes 0 and 2: where the screen is shown
    int Emulation320x240Flag;               // a 320 x 240 screen shown at 640 x 480
    double ExtendRateX, ExtendRateY;        // the window's size rates
    int DrawOffsetX, DrawOffsetY;           // window mode: where the scaled screen starts (centred when maximised)
};

struct D3D11PresentRects
{
    ImageRect Source;  // in the sub back buffer
    ImageRect Dest;    // in the back buffer
    int CoversFlag;    // Dest is the whole back buffer: nothing of it shows through
};

// The two rectangles of a present: the screen placed by the full-screen scaling mode or the
// window's size rates (centred in a maximised window), then clipped to the back buffer, cutting the
// source in proportion rather than squeezing it.
D3D11PresentRects Graphics_D3D11_PresentRects(const D3D11PresentPlacement &Placement);

// ---- Start-up --------------------------------------------------------------------------------------

// Makes the device and every standard object in the start-up's order; on any failure releases
// what was made. Sets the front end's hardware-in-use flag. 0 / -1.
int Graphics_D3D11_Initialize(void);
// The graphics front end's start of the back end. 0 / -1.
int Graphics_D3D11_Startup(void);

// ---- Draw state, clear and present --------------------------------------------------------------

// The draw target that stands for whatever the cache binds at a render-target index.
#define D3D11_DRAW_TARGET_CACHED (-6)

// The viewport of the front end's draw area, with the projection and the draw-area matrix that go
// with it. -1 without a device or for an empty area.
int Graphics_D3D11_SetDrawArea(void);
// Sends the projection again (the front end's matrices times the draw-area matrix). 0.
int Graphics_D3D11_SetTransformToProjection(void);
// Sends every cached state again (after a present or a transfer). 0, -1 without a device.
int Graphics_D3D11_ReapplyDeviceState(void);
// Clears the draw targets to the background colour (alpha 0): only ClearRect when one is given,
// else the whole target; and the bound depth buffer. 0.
int Graphics_D3D11_ClearDrawScreen(const ImageRect *ClearRect);
// Sends the cached state and clears the draw screen (Direct3D 11 needs no pixel-centre test). 0.
int Graphics_D3D11_PixelCenterTest(void);
int Graphics_D3D11_SetFogEnable(int Flag);
int Graphics_D3D11_SetFogMode(int Mode);
// Binds the draw target as render target 0 with its depth buffer: the mask screen while the mask
// is in effect, else a shadow map, a render-target graph (at render target 0's face and mip) or
// the back screen (the sub back buffer when there is one). A multisampled graph left behind is
// resolved first. -1 without a device.
int Graphics_D3D11_SetDrawScreen(int DrawScreen, int OldSurface, int OldMipLevel, GraphHandleData *NewGraph,
                                 GraphHandleData *OldGraph, ShadowMapHandleData *NewShadowMap,
                                 ShadowMapHandleData *OldShadowMap);
// The depth buffer of the draw target: a shadow map's own; for a graph the user's depth graph when
// it is at least the graph's size, else the graph's own, else the screen's when the sizes match,
// else none; for a screen the user's depth graph of exactly its size, else the screen's. 0.
int Graphics_D3D11_SetupDepthBuffer(void);
// Whether the draw target is a graph with an alpha channel, for the blend choice. 0.
int Graphics_D3D11_UpdateDrawScreenAlphaFlag(void);
// Takes the draw settings' colour into the batch's vertices. 0.
int Graphics_D3D11_UpdateDiffuseColor(void);
// Hand their value to the device-state cache and return its result.
int Graphics_D3D11_SetDrawMode(int DrawMode);
int Graphics_D3D11_SetTransformToView(const MATRIX *Matrix);
int Graphics_D3D11_SetTransformToWorld(const MATRIX *Matrix);
int Graphics_D3D11_SetUseLighting(int Flag);
int Graphics_D3D11_SetLightEnable(int Index, int Flag);
int Graphics_D3D11_SetLightParam(int Index, const LIGHTPARAM *Light);
int Graphics_D3D11_SetFogColor(unsigned int Color);
int Graphics_D3D11_SetFogStartEnd(float Start, float End);

// ---- The screen: sub back buffer and present (d3d11_present_win.cpp) -------------------------

// The off-screen texture of the screen's size that drawing goes to when the back buffer cannot
// serve; what the back buffer held is copied into it, and it becomes render target 0. 0 / -1.
int Graphics_D3D11_SetupSubBackBuffer(void);
// Makes it in full screen. 0.
int Graphics_D3D11_SetupSubBackBufferFullScreen(void);
// Shows the frame: resizes the back buffer to the window, copies the sub back buffer into it with
// the window's scaling, draws the batch and presents. 0, or -1 without a device, when the back
// buffer has no views (a failed resize; the next present tries again) or when Present fails.
int Graphics_D3D11_PresentFrame(void);
// The writes to the screens the window is shown from so far (the call layer's count; a new or
// resized back buffer counts too). 0.
int Graphics_D3D11_GetScreenWriteCount(uint32_t *Count);
// For the front screen, starts the timer that keeps presenting it. 0.
int Graphics_D3D11_StartFrontScreenTimer(int DrawScreen);

// ---- 2-D drawing (draw/windows/d3d11_draw_win.h) --------------------------------------------------

struct DrawGraphRectsParam;
struct VERTEX2D;

int Graphics_D3D11_DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_D3D11_DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
int Graphics_D3D11_DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color);
// AdjustX / AdjustY pull the points right of / below the centre in by a pixel. -1 also when the
// work buffer cannot be reserved.
int Graphics_D3D11_DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag, int AdjustX, int AdjustY);
// A ring from the front end's span table. -1 for a thickness below 2 or without memory.
int Graphics_D3D11_DrawCircleThickness(int X, int Y, int Radius, unsigned int Color, int Thickness);

// AlphaKeepFlag: a cut-out edge stays tested rather than blended under bilinear filtering.
int Graphics_D3D11_DrawGraph(int X, int Y, float XF, float YF, GraphHandleData *Graph, GraphHandleData *BlendGraph,
                             int TransFlag, int AlphaKeepFlag);
// -1 also for a rectangle of no width or height.
int Graphics_D3D11_DrawExtendGraph(int X1, int Y1, int X2, int Y2, float X1F, float Y1F, float X2F, float Y2F,
                                   GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag,
                                   int AlphaKeepFlag);
// Corners top-left, top-right, bottom-left, bottom-right.
int Graphics_D3D11_DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
                                 GraphHandleData *Graph, GraphHandleData *BlendGraph, int TransFlag);
// -1 also for a graph of more than one piece.
int Graphics_D3D11_DrawGraphRects(const DrawGraphRectsParam *Param, GraphHandleData *Graph,
                                  GraphHandleData *BlendGraph);
// Caller vertices (VERTEX2D, colours as B, G, R, A) with a D3D11 topology 1-5; the caller's array
// is never written. GraphUVFlag 1 gives every six vertices the piece's texture corners (mirrored
// with MirrorFlag). With ShadowMapFlag, Graph is a shadow-map handle's record. -1 also for no
// vertices, a topology outside 1-5 or a piece the graph does not have.
int Graphics_D3D11_DrawPrimitive2D(const VERTEX2D *Vertex, int Num, int Topology, GraphHandleData *Graph, int TransFlag,
                                   int GraphUVFlag, int Fog3DFlag, int MirrorFlag, int PieceIndex, int ShadowMapFlag);
int Graphics_D3D11_DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int Topology, GraphHandleData *Graph,
                                           int TransFlag, int Fog3DFlag, int PieceIndex);
// The blend graph of the draw settings and its parameters. 0, -1 without a device.
int Graphics_D3D11_SetBlendGraphParam(GraphHandleData *BlendGraph, int BlendType, const int *Param);

// ---- Graph textures (texture/windows/d3d11_graph_texture_win.h) --------------------------------

// Makes whatever is missing of every piece: the multisampled texture, the texture, for a render
// target its views (and its own depth buffer where the depth rule asks), the shader-resource view;
// then clears a render target's views. 0 when the record has no device texture; -1 (logged)
// without a device or when a step fails, what was made kept for a later call or the release.
int Graphics_D3D11_CreateTexture(GraphImageRecord *Image, int ASyncThread);
// Releases every piece's objects in the release order and clears them. 0.
int Graphics_D3D11_ReleaseGraphTexture(GraphImageRecord *Image);
// Whether a DXT image (and an alpha image, AlphaFormat >= 0) must be decoded before it goes into
// the record's textures: each out flag (when given) 1 unless the texture's format takes the blocks
// as they are. 0.
int Graphics_D3D11_CheckDXTConvert(GraphImageRecord *Image, int ImageFormat, int *ConvertFlag, int AlphaFormat,
                                   int *AlphaConvertFlag);

// Moves SrcRect of Image (with AlphaImage) to (DestX, DestY) of the graph, piece by piece
// (WholeImageFlag: the record's pieces, in the whole image's coordinates; else the graph's draw
// pieces). AcceptLoadingFlag lets a graph that is still loading through; on a loader thread every
// device call goes to the main thread. 0 (also for an empty rectangle), -1.
int Graphics_D3D11_BltBmpOrBaseImageToTexture(const ImageRect *SrcRect, int DestX, int DestY, GraphHandleData *Graph,
                                              const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TransferOption1,
                                              int TransferOption2, int WholeImageFlag, int AcceptLoadingFlag);

// Clears the first view of every draw piece's texture to the colour (0-255 each). 0; 2 for a graph
// that is not a render target (nothing changed); -1 without a device.
int Graphics_D3D11_FillGraph(GraphHandleData *Graph, int Red, int Green, int Blue, int Alpha);
// Copies (X1, Y1)-(X2, Y2) of the source graph (null: the draw screen) to (DestX, DestY) of the
// destination: drawn onto a render target, else read back through the lock (with the lock's
// surface and mip level) and transferred. 0 / -1.
int Graphics_D3D11_BltRectGraphToGraph(GraphHandleData *DestGraph, GraphHandleData *SrcGraph, int SrcSurface,
                                       int SrcMipLevel, int X1, int Y1, int X2, int Y2, int DestX, int DestY);

// ---- Read-back (texture/windows/d3d11_read_back_win.h) ----------------------------------------

// The dispatch layer's lock: the back screen for the screens -2 and -4, or a graph's piece. 0 / -1.
int Graphics_D3D11_LockDrawTargetBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle,
                                        GraphHandleData *Graph, int Surface, int MipLevel, int ReadOnly,
                                        int TextureIndex);
// Ends the lock. 0.
int Graphics_D3D11_UnlockBackBuffer(void);
// The draw target's pixel as 0xFFRRGGBB, or -1 when it cannot be read.
unsigned int Graphics_D3D11_GetPixel(int X, int Y);
// The shadow-map operations (texture/windows/d3d11_shadow_map_win.h).
int Graphics_D3D11_UpdateShadowMapParams(void);
int Graphics_D3D11_UpdateShadowMapMatrices(void);
int Graphics_D3D11_SetUseShadowMap(int SlotIndex, int ShadowMapHandle);
int Graphics_D3D11_ShadowMap_Release(ShadowMapHandleData *ShadowMap);

// ---- Handles' device objects, release and screen-mode change (windows/d3d11_handles_win.cpp,
// device/windows/d3d11_screen_mode_win.cpp) -------------------------------------------------------
// A buffer handle's ID3D11Buffer, a shader handle's shader and a constant-buffer handle's
// D3D11ConstantBuffer record sit in the handle's back-end part, as the records of
// windows/d3d11_handle_objects_win.h. Main thread, except
// shader creation, which a loader thread may ask for with ASyncThread (its device calls then run
// on the main thread).

// UpdateSubresource of Num units from unit Start of a vertex or index buffer handle's buffer. -1
// for a range outside the handle's units or a handle without a buffer.
int Graphics_D3D11_SetBufferData(VertexBufferHandleData *Buffer, int Start, const void *Source, int Num);
int Graphics_D3D11_SetIndexBufferData(IndexBufferHandleData *Buffer, int Start, const void *Source, int Num);
// Release the handle's object, if any, and clear it. 0.
int Graphics_D3D11_VertexBuffer_Release(VertexBufferHandleData *Buffer);
int Graphics_D3D11_IndexBuffer_Release(IndexBufferHandleData *Buffer);
int Graphics_D3D11_ShaderConstantBuffer_Release(ShaderConstantBufferHandleData *Buffer);
int Graphics_D3D11_Shader_Release(ShaderHandleData *Shader);
// Makes the shader from Code and keeps a private copy of the code in the record (the rebuild
// after a new device makes it again from there). FreeCodeFlag frees Code, also on failure. A
// record still loading is refused unless ASyncThread. 0 / -1 (logged; no half-made object stays).
int Graphics_D3D11_CreateShaderHandle(ShaderHandleData *Shader, int IsVertexShader, const void *Code, int CodeSize,
                                      int FreeCodeFlag, int ASyncThread);
// 200, 400 or 500 by the device's feature level, 0 without one.
int Graphics_D3D11_GetShaderVersion(void);

// After a new device: every graph's textures, shadow map, buffer (refilled from its system copy)
// and shader made again; a failure is logged and the others still rebuilt. 0.
int Graphics_D3D11_RecreateHandleBuffers(void);
// Before the device goes: every handle's objects released (after its asynchronous load), and the
// cache's bindings forgotten without touching the device. 0.
int Graphics_D3D11_ReleaseHandleDeviceObjects(void);

// The mask screen, every handle's objects, then the device. 0.
int Graphics_D3D11_ReleaseDeviceObjects(void);
// Releases the device, starts the back end again at the new (ChangeFlag 1) or the current mode,
// and rebuilds the handles' objects and the draw state. 0, or -1 when the restart fails (logged;
// nothing is rebuilt on no device).
int Graphics_D3D11_ChangeScreenMode(int ChangeFlag, int Width, int Height, int ColorBitDepth, int RefreshRate);

// ---- The mask screen on the device (texture/windows/d3d11_mask_win.h) ----------------------------
// Each returns 0, or -1 (logged) when an object cannot be made.
int Graphics_D3D11_Mask_SaveOldScreen(void);
int Graphics_D3D11_Mask_CreateScreen(int Width, int Height);
int Graphics_D3D11_Mask_CopyOldScreen(int OldWidth, int OldHeight);
int Graphics_D3D11_Mask_DrawBegin(int X1, int Y1, int X2, int Y2);
int Graphics_D3D11_Mask_DrawEnd(int X1, int Y1, int X2, int Y2);
int Graphics_D3D11_Mask_ReleaseScreen(void);
int Graphics_D3D11_Mask_SetUseScreen(void);
// Render target Index bound to a render-target graph at a face and mip level, or (a handle that
// is not a graph) unbound. -1 without programmable shaders or a device, or for a graph that is
// not a render target.
int Graphics_D3D11_SetRenderTargetToShader(int Index, int Target, int Face, int Mip);
