// ZoVuz graphics: what the graphics front end hands to the layers that extend it: the Direct3D
// back ends (zovuz/d3d11, zovuz/d3d9), the graph filters (zovuz/filter), the movies (zovuz/movie)
// and the library's start-up (zovuz/startup). Those layers include it in their own files; the
// application never does (the layering test holds both), and no public header includes it.
//
// It includes the public API (zovuz_graphics.h). Everything else of the front end those layers
// read or write is declared here or in the headers this one includes:
// - the back end in use, GraphicsAPIType, and the device capabilities, GraphicsDeviceCaps,
//   which the back end's start-up fills, with what it negotiated for the screen
//   (GraphicsDeviceMode);
// - the table of operations a back end fills and registers, GraphicsHardwareFunctions, and the
//   Graphics_Hardware_* dispatchers that call it (graphics_hardware.h);
// - the draw settings, GraphicsDrawSettings, and the state beside them (GraphicsState,
//   GraphicsShadowMapSettings, GraphicsLightState), which a back end pushes to its device;
// - the screen settings, GraphicsScreenSettings: screen size and depth, the full-screen mode;
// - the graph records: a Graph handle's record (GraphHandleData) with its drawing pieces, the
//   image record behind it (GraphImageRecord) with one texture entry per device texture, and in
//   each entry the back end's own objects (GraphicsBackendObjectData);
// - the Shader, ShaderConstantBuffer, VertexBuffer, IndexBuffer and ShadowMap handle records,
//   each with its back-end part;
// - the front end's helpers a back end calls: mip sizes, transfer rectangles, work buffers, the
//   pixel-format table, the light table and the ring spans;
// - the calls the library's start-up and end make, and those the core's hook table reaches;
// - what the graph filters use besides: the shared pixel tables (BaseImageTables), the transfer
//   of an image into a graph and the creation of an empty graph with given settings.
//
// A back end finds a handle's record with the core's typed lookup, which refuses a handle of
// another type and (unless asked) one still loading:
//     GraphHandleData *graph = GetTypedHandle<GraphHandleData>(GraphHandle, DX_HANDLETYPE_GRAPH, 0);
//
// The state below is process-wide and unlocked: the front end and the back end in use read and
// write it under the library's API lock, on the thread that draws. It is the only module state
// declared outside a layer's *_internal.h (the layering test holds every other to that); state
// that no other layer reads stays in the *_internal.h beside its code.
#pragma once

#include <stdint.h>
#include <wchar.h>

#include <type_traits>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/circle_walk.h"
#include "zovuz/graphics/graphics_hardware.h"
#include "zovuz/graphics/image/image_backend.h"
#include "zovuz/graphics/zovuz_graphics.h"

// ---- Start-up, end and the device ---------------------------------------------------------------

// Registers the graphics handle types, starts the back end (software rendering when no Direct3D
// back end starts), makes the software screens and resets the draw state. 0, or -1 with graphics
// ended again.
int InitializeGraphics(void);
// Deletes every graph, shader, buffer and light, ends the back end. 0.
int TerminateGraphics(void);

// Changes the screen size, depth or refresh rate (-1 keeps a value); Force redoes an unchanged
// mode. Without the graphics reset (SetGraphicsResetOnScreenModeChangeFlag(0)) the mode changes
// under the running graphics; else graphics end and start again, falling back to the old mode,
// then 640 x 480 x 16, then 640 x 480 x 32. 0, or -1 when every attempt failed.
int ChangeScreenMode(int Width, int Height, int ColorBitDepth, int Force, int RefreshRate);

// Rebuilds the device after a loss at the current mode.
int RestoreGraphicsDevice(void);
// After a device reset: the graphs filled again (the restore callback) with loading made direct.
int RestoreGraphics(void);
// The function that fills the graphs again after a device loss; null means RestoreAllGraphs. 0.
int SetRestoreGraphCallback(int (*Callback)(void));

// The window's repaint: shows the screen again. 0 / -1.
int RefreshScreen(void);
// The window lost its picture or shows it anew (painted, sized, moved, another display mode):
// the next ScreenFlip presents even a screen that nothing was drawn on since the last one. 0.
int MarkScreenShownAgain(void);
// The writes to the screen so far: the software screen's change count, or the back end's count
// (Graphics_Hardware_GetScreenWriteCount), after the pending draws are sent. 0, or -1 when the
// back end cannot tell.
int GetScreenWriteCount(uint32_t *Count);
// 1 while ScreenFlip runs.
int GetScreenFlipRunningFlag(void);

// ---- The saved screen copy of an inactive full-screen window --------------------------------
// While a full-screen window is inactive its device is released; the window code shows the copy
// of the back screen kept at the deactivation instead (core's hook table reaches these).

// The full-screen deactivation's release: the back screen is kept as the saved screen copy (an
// earlier copy goes), then every device object is released (Graphics_Hardware_ReleaseDeviceObjects,
// whose result this is).
int SaveScreenCopyAndReleaseDeviceObjects(void);
// 1 while a copy is kept, else 0.
int IsScreenCopySaved(void);
// Draws the copy over the back screen (stretched to the draw-screen size when the sizes differ),
// shows it (RefreshScreen) and puts the back screen back. 0, or -1 without a copy.
int DrawSavedScreenCopy(void);
// Frees the copy and its graph. 0.
int ReleaseSavedScreenCopy(void);

// Stores the main screen size (0 = 640 x 480, also for the matrix makers' default aspect). 0.
int SetMainScreenSize(int Width, int Height);
// The restore callback is set (SetRestoreGraphCallback).
int IsRestoreGraphCallbackSet(void);

// The display table's record of a display (display_internal.h).
struct DisplayRecordInfo;
// The record of the display in use (display 0 until one is chosen). 0 / -1.
int GetUseDisplayRecord(DisplayRecordInfo *Record);

// Chooses the full-screen display mode for the current screen size and gives its size. 0 / -1.
int SelectFullScreenDisplayModeSize(int *Width, int *Height);

// ---- The vertical blank -------------------------------------------------------------------

// The DirectDraw object through which presents wait for the vertical blank: made at the start
// of the software renderer (and by the Direct3D 9 back end), released at its end. 0 / -1.
int DirectDraw7_Create(void);
int DirectDraw7_Release(void);
// The IDirectDraw7 object, or null.
void *DirectDraw7_GetObject(void);
// Measures the period of the vertical blank (at most 60 waits). 0.
int DirectDraw7_MeasureVSyncPeriod(void);
// Waits for the next vertical blank, sleeping until shortly before it. 0.
int DirectDraw7_WaitVSync(void);

// ---- Calls that other subsystems know by other names or shapes ------------------------------
//
// Each call has one name and one shape here, those of the graphics layer's own description:
// - ShrinkImageHalf: format, destination, destination pitch, source, source pitch, destination x,
//   y, source x, y, width, height (the Direct3D back ends pass the source before the destination
//   in their own description; they call this order);
// - SplitColor: bytes 2, 1, 0 of the value while a Direct3D back end is in use, the screen
//   format's masks (scaled to 0-255) on the software renderer;
// - SetColorData: nine arguments, without the extra 0 before the channel count;
// - the device capabilities: one record, GraphicsDeviceCaps (graphics_hardware.h);
// - the front-screen timer's procedure: FrontScreenTimerProc (graphics_hardware.h), shared by the
//   software renderer and both back ends.

struct HBITMAP__;

// Transfers a colour image and an optional alpha image into an existing graph at (X, Y): with
// BmpFlag the two GDI bitmaps (described by BmpColorData), else the two BASEIMAGEs. The source
// is kept for the restore after a device loss. 0, the transfer's failure code, or -1 before
// graphics start. (The Direct3D back ends call this "CreateGraphFromBitmap".)
int BltBmpOrBaseImageToGraph(const COLORDATA *BmpColorData, HBITMAP__ *RgbBmp, HBITMAP__ *AlphaBmp, int BmpFlag,
                             const BASEIMAGE *RgbImage, const BASEIMAGE *AlphaImage, int X, int Y, int GraphHandle);

// Locks Rect of a draw target for reading and describes its pixels as Image (the pixel pointer at
// the rectangle's first pixel): TargetHandle -1 = the current draw screen, else a graph (or a
// screen value); Surface and MipLevel choose the surface; TextureIndex the drawing piece of a
// graph held in several textures. 0, or -1 when the rectangle is not inside the target or the
// lock fails. UnlockDrawScreenBuffer ends the lock.
int LockDrawScreenBuffer(const ImageRect *Rect, BASEIMAGE *Image, int TargetHandle, int Surface, int MipLevel,
                         int ReadOnly, int TextureIndex);
int UnlockDrawScreenBuffer(void);

// ---- The back end in use and its device ---------------------------------------------------

// Written only by Graphics_Hardware_Startup; 0 before the first start. Not reset at the end:
// the next start writes it again.
extern int GraphicsAPIType;

// The capabilities of the device in use, written by the back end when it makes its device and
// read by the texture tiling, shader creation and string drawing. One record for both back ends.
struct GraphicsDeviceCapsData
{
    int PowerOfTwoTextureOnly;  // textures must have power-of-two sides
    int NonPow2Conditional;     // ... unless conditional non-power-of-two textures serve
    int SquareTextureOnly;      // textures must be square
    int MaxTextureSize;         // the smaller of the maximum width and height (256 if 0)
    int MaxTextureWidth;        // as the device reports them
    int MaxTextureHeight;
    int TextureSizeLimit;         // a further limit the back end places on graph textures
    int PaletteTextureFlag;       // palette textures can be made
    int ProgrammableShaderFlag;   // the device draws with programmable shaders
    int RenderTargetNum;          // simultaneous render targets (1 on the software renderer)
    int MaxPrimitiveCount;        // per draw call
    int VertexColorBGRAFlag;      // vertex colour byte order: 1 B8G8R8A8, 0 R8G8B8A8
    int LimitsFilledFlag;         // the device limits above have been read
    int SubtractiveBlendFlag;     // subtractive blending is supported
    int PixelCenterNoOffsetFlag;  // no half-pixel offset is needed
    int MaxVertexIndex;           // the highest vertex index a draw may use
};
extern GraphicsDeviceCapsData GraphicsDeviceCaps;

// ---- What a back end negotiates with its device for the screen -----------------------------

// The screen's multisampling as the graph mode asks for it (nothing in this system asks for
// more than one sample): the back end writes back the count and quality the device could give.
// In full screen the back end also records where the display it shows on lies on the desktop.
struct GraphicsDeviceModeData
{
    int MultiSampleCount;    // samples per pixel; below 2 = none
    int MultiSampleQuality;  // the device's quality level for that count
    ImageRect DisplayRect;   // full screen: the display's desktop rectangle
};
extern GraphicsDeviceModeData GraphicsDeviceMode;

// ---- The draw settings ----------------------------------------------------------------------

#define DX_RENDERTARGET_COUNT 8  // render-target slots of the draw state
#define DX_SHADER_TEXTURE_STAGE_NUM 16
#define DX_SHADOWMAP_SLOT_NUM 3

// One set of depth settings.
struct DrawZSettings
{
    int TestFlag;         // depth test on
    int WriteFlag;        // depth write on
    int CompareFunction;  // Direct3D comparison value, 4 = less or equal
    int Bias;             // depth bias
};

// The matrices: each 4 x 4 doubles with a float copy where a device needs one.
struct DrawMatrixData
{
    MATRIX_D World, View, Projection, CameraProjection, Viewport, Projection2D;
    MATRIX WorldF, ViewF, ProjectionF, ViewportF, Projection2DF;
    // Derived by UpdateTransformMatrices.
    MATRIX_D WorldView;               // world x view
    MATRIX_D ViewProjectionViewport;  // view x projection x viewport
    MATRIX_D WorldToScreen;           // world x view x projection x viewport
    MATRIX WorldToScreenF;
    MATRIX_D ScreenToWorld;  // the inverse of WorldToScreen, made on first use
    MATRIX ScreenToWorldF;
    MATRIX_D ViewRotation;  // the view matrix without its translation
    MATRIX ViewRotationF;
    VECTOR_D FrustumCorners[8];  // draw-area corners at depth 0 (0-3) and depth 1 (4-7)
    PLANE_D FrustumPlanes[6];    // near, far, left, right, top, bottom
    int ValidFlag;               // the derived matrices are current
    int ScreenToWorldValidFlag;  // ScreenToWorld is current
    int WorldChangedFlag, ViewChangedFlag, ProjectionChangedFlag;  // for the back ends
};

// The camera and the projection it makes.
#define DX_CAMERA_PERSPECTIVE 0
#define DX_CAMERA_ORTHO 1
#define DX_CAMERA_MATRIX 2

struct DrawCameraData
{
    int ProjectionMode;  // DX_CAMERA_*
    double Near, Far;
    double AspectScale;  // multiplies height / width
    double Fov;          // radians
    double OrthoSize;    // view height of the orthographic projection
    VECTOR_D Eye, Target, Up;
    double ScreenCenterX, ScreenCenterY;
    double VerticalAngle, HorizontalAngle, TwistAngle;  // radians, from the view matrix
};

// The user-shader selection (every handle 0 = none).
struct DrawShaderSelection
{
    int VertexShader;                          // Shader handle
    int PixelShader;                           // Shader handle
    int Texture[DX_SHADER_TEXTURE_STAGE_NUM];  // Graph handles
    int RenderTargetNum;                       // targets bound through SetRenderTargetToShader
};

struct GraphicsDrawSettingsData
{
    DrawZSettings Z2D;        // set 1: ordinary drawing
    DrawZSettings Z3D;        // set 2: draws flagged for it (SetUseZBuffer3D)
    int DrawAreaEmptyFlag;    // the draw area is empty: nothing is visible
    int FillMode;             // 3 = solid
    int TexAddressModeU[16];  // per stage, 3 = clamp
    int TexAddressModeV[16];
    int TexAddressModeW[16];
    int FogEnable;  // fog on
    int FogMode;    // 0 none, 1 exp, 2 exp squared, 3 linear
    uint32_t FogColor;
    float FogStart, FogEnd;
    float DrawZ;                                                            // depth of 2D vertices
    int DrawMode;                                                           // 0 nearest, 1 bilinear, 2 anisotropic
    int MaxAnisotropy;                                                      // 1
    int BlendMode;                                                          // DX_BLENDMODE_*
    int BlendParam;                                                         // 0-255
    int BlendGraph;                                                         // Graph handle, -1 = none
    int BlendGraphType;                                                     // 0 or 1
    int BlendGraphParam[2];                                                 // 0-255 each
    int AlphaTestMode;                                                      // -1 = the library's default test
    int AlphaTestParam;                                                     // 0-255
    uint8_t DrawBrightBlue, DrawBrightGreen, DrawBrightRed, DrawBrightPad;  // 0x00RRGGBB in memory
    int RenderTarget[DX_RENDERTARGET_COUNT];                                // target 0 is the draw screen
    int RenderTargetSurface[DX_RENDERTARGET_COUNT];
    int RenderTargetMipLevel[DX_RENDERTARGET_COUNT];
    ImageRect DrawAreaRequest;   // as asked for; kept across a reset
    ImageRect DrawArea;          // clipped to the target, right and bottom exclusive
    float DrawAreaF[4];          // the same: left, top, right, bottom
    int DrawSizeX, DrawSizeY;    // the draw target's size
    float ViewportScale2D;       // 1.0
    int Transform2DCurrentFlag;  // the 2D projection is on the device
    int Keep3DSettingsFlag;      // camera and area persist across draw-screen changes
    int KeepUseRequestAreaFlag;  // ... and then the requested area applies again
    int NoLightingFlag;          // lighting off (the inverse of SetUseLighting)
    int UseMaskScreenFlag;       // drawing may go through the mask screen
    int MaskValidFlag;           // a mask draw is in effect
    int UserDepthGraph;          // the graph whose depth buffer drawing uses, 0 = none (nothing sets it)
    DrawMatrixData Matrix;
    DrawCameraData Camera;
    MATERIALPARAM Material;
    DrawShaderSelection Shader;
    // What the Direct3D 11 draw preparation reads besides (all 0 after the reset; nothing in the
    // front end changes them yet).
    int CullMode;                  // 0 none, 1 counter-clockwise, 2 clockwise
    int MaterialChangedFlag;       // the material must be sent to the device
    int MaterialDiffuseFlag;       // the diffuse colour comes from the material
    int MaterialSpecularFlag;      // the specular colour comes from the material
    int SpecularOffFlag;           // no specular colour
    int IgnoreColorFlag;           // images draw only their alpha
    int BlendParamAlphaFlag;       // with no blend mode, the blend parameter is still the alpha
    int DrawScreenAlphaFlag;       // the draw target has an alpha channel
    int TextureTransformFlag;      // texture coordinates go through TextureTransform
    MATRIX TextureTransform;       // (row vectors times the matrix)
    int TextureTransformSentFlag;  // the back end has the transform
};
extern GraphicsDrawSettingsData GraphicsDrawSettings;

// The shadow-map slots, cleared with the draw settings.
struct GraphicsShadowMapSettingsData
{
    int Slot[DX_SHADOWMAP_SLOT_NUM];  // ShadowMap handles, 0 = none
    int DrawFlag;                     // the draw target is a shadow map (nothing sets it yet)
};
extern GraphicsShadowMapSettingsData GraphicsShadowMapSettings;

// The screen and device globals beside the draw settings.
typedef int (*RestoreGraphCallbackFunction)(void);
struct GraphicsStateData
{
    int HardwareInUseFlag;          // a Direct3D back end drives the screen
    int SoftwareRenderRequestFlag;  // no back end is tried at start (SetUseHardwareRenderFlag 0)
    int GraphicsStartedFlag;        // graphics start chose its back end
    int BackgroundRed, BackgroundGreen, BackgroundBlue;
    int BackgroundSetFlag;                              // a background colour was set
    int DrawStateChangedFlag;                           // the back end must re-send its state before drawing
    int LightsChangedFlag;                              // RefreshLightState must re-send the lights
    int LightsRefreshAllFlag;                           // ... every one of them
    int DefaultLightHandle;                             // the directional light made by ResetDrawSettings, -1 = none
    RestoreGraphCallbackFunction RestoreGraphCallback;  // the graph restore after a device loss
};
extern GraphicsStateData GraphicsState;

// ---- Lights -------------------------------------------------------------------------------------

#define DX_LIGHT_TABLE_NUM 4096  // slots of the light table
#define DX_LIGHT_ACTIVE_MAX 256  // lights listed in the active-light table
#define DX_HANDLETYPE_LIGHT 11

// One light (136 bytes).
struct LightHandleData
{
    int ID;  // check number, 0-1022
    int Handle;
    LIGHTPARAM Param;
    int DeviceLightIndex;  // -1 = none
    int EnableFlag;
    int ChangeFlag;  // re-send at the next refresh
    int ShadowMapSlotFlag[DX_SHADOWMAP_SLOT_NUM];
};

// The record, or null.
LightHandleData *GetLightData(int LightHandle);
// Gives every enabled light a device index (directional, then spot, then point lights) and
// re-sends the lights that changed. 0.
int RefreshLightState(void);

// The lights in the order of their device indices (the first DX_LIGHT_ACTIVE_MAX of them).
struct GraphicsLightStateData
{
    LightHandleData *Data[DX_LIGHT_TABLE_NUM];     // by slot
    int Num;                                       // lights in the table
    int Area;                                      // one past the highest used slot
    int NextID;                                    // check number of the next light
    LightHandleData *Active[DX_LIGHT_ACTIVE_MAX];  // enabled lights by device index
    int ActiveNum;                                 // entries in Active
    int DeviceLightNum;                            // device indices given at the last refresh
};
extern GraphicsLightStateData GraphicsLightState;

// ---- The pixel-format table ------------------------------------------------------------------

// Indexes of the table. Each names the format a graph or screen is made in.
enum PixelFormatIndex {
    PIXEL_FORMAT_PAL4 = 0,  // 0-5: palette formats, left empty
    PIXEL_FORMAT_PAL8 = 1,
    PIXEL_FORMAT_PAL4_ALPHA = 2,
    PIXEL_FORMAT_PAL8_ALPHA = 3,
    PIXEL_FORMAT_PAL4_ALPHATEST = 4,
    PIXEL_FORMAT_PAL8_ALPHATEST = 5,
    PIXEL_FORMAT_RGB16 = 6,             // R5G6B5
    PIXEL_FORMAT_RGB32 = 7,             // X8R8G8B8
    PIXEL_FORMAT_ALPHA_RGB16 = 8,       // A4R4G4B4
    PIXEL_FORMAT_ALPHA_RGB32 = 9,       // A8R8G8B8
    PIXEL_FORMAT_ALPHATEST_RGB16 = 10,  // A1R5G5B5
    PIXEL_FORMAT_ALPHATEST_RGB32 = 11,  // A8R8G8B8
    PIXEL_FORMAT_BLOCK_FIRST = 12,      // 12-20: format ids 1-9 (1-5 DXT1-DXT5)
    PIXEL_FORMAT_NONE = 21,             // all zero
    PIXEL_FORMAT_ABGR_I16 = 22,         // 4 channels of 16 bits
    PIXEL_FORMAT_ABGR_F16 = 23,
    PIXEL_FORMAT_ABGR_F32 = 24,
    PIXEL_FORMAT_ONE_I8 = 25,  // 1 channel
    PIXEL_FORMAT_ONE_I16 = 26,
    PIXEL_FORMAT_ONE_F16 = 27,
    PIXEL_FORMAT_ONE_F32 = 28,
    PIXEL_FORMAT_TWO_I8 = 29,  // 2 channels
    PIXEL_FORMAT_TWO_I16 = 30,
    PIXEL_FORMAT_TWO_F16 = 31,
    PIXEL_FORMAT_TWO_F32 = 32,
    PIXEL_FORMAT_TARGET_RGB16 = 33,  // 33-46: render targets
    PIXEL_FORMAT_TARGET_RGB32 = 34,
    PIXEL_FORMAT_TARGET_ALPHA_RGB32 = 35,
    PIXEL_FORMAT_TARGET_ABGR_I16 = 36,
    PIXEL_FORMAT_TARGET_ABGR_F16 = 37,
    PIXEL_FORMAT_TARGET_ABGR_F32 = 38,
    PIXEL_FORMAT_TARGET_ONE_I8 = 39,
    PIXEL_FORMAT_TARGET_ONE_I16 = 40,
    PIXEL_FORMAT_TARGET_ONE_F16 = 41,
    PIXEL_FORMAT_TARGET_ONE_F32 = 42,
    PIXEL_FORMAT_TARGET_TWO_I8 = 43,
    PIXEL_FORMAT_TARGET_TWO_I16 = 44,
    PIXEL_FORMAT_TARGET_TWO_F16 = 45,
    PIXEL_FORMAT_TARGET_TWO_F32 = 46,
    PIXEL_FORMAT_NUM = 47
};

// What a graph or screen asks of its format.
struct PixelFormatRequest
{
    int AlphaChannelFlag;  // an alpha channel
    int AlphaTestFlag;     // a transparent colour (alpha test) only
    int RenderTargetFlag;  // drawn into
    int FormatId;          // 0, or 1-9 for a block format (1-5 DXT1-DXT5)
    int FloatFlag;         // floating-point channels
    int ColorBitDepth;     // bits per pixel (4, 8, 16, 32, ...)
    int ChannelCount;      // 0, 1 or 2 (0 = the packed colour formats)
    int ChannelBitDepth;   // bits per channel, 0 = not given
};

// The COLORDATA of a table index, null for PIXEL_FORMAT_NUM and above (or below 0). The table is
// built on first use and never freed.
const COLORDATA *GetPixelFormatEntry(int Index);
// The table index for a request.
int SelectPixelFormatIndex(const PixelFormatRequest *Request);
// 1 for the formats that hold the transparent colour as alpha 0, which the alpha test leaves out.
int IsAlphaTestPixelFormat(int Index);
// The entry for a request with these fields, 32 or 16 bits (the glyph cache's formats).
const COLORDATA *GetPixelFormatForRequest(int AlphaFlag, int AlphaTestFlag, int Use32BitFlag, int RenderTargetFlag);

// ---- The screen -----------------------------------------------------------------------------

// A back end's present shows nothing while the main window is inactive with a saved screen copy
// kept (above) that is not being drawn now: the window shows the copy instead. 1 then.
int IsPresentPausedForScreenCopy(void);

// Whether the platform waits for the vertical blank, as the back end finds once it has its device
// (or its DirectDraw object). Without a wait, the flip paces presents by the clock while
// vertical-sync waiting is on. Graphics start-up sets it back to 1 (a platform that waits).
void SetPlatformVSyncWaitFlag(int Flag);
// Times Wait (a back end's vertical-blank wait; negative when it fails) to tell whether it blocks:
// 1 when it does, 0 when it fails or returns at once.
int TimeVerticalBlankWait(int (*Wait)(void *Context), void *Context);
// Vertical-sync waiting is on and the platform gives no wait of its own: 1, else 0.
int IsPresentPacingOn(void);
// Runs Present (the platform's present of a device that lets a present wait until the device has
// drawn the frame before it; Wine's Direct3D 11 spins a core meanwhile) and returns its result.
// While presents are paced and the device, as last measured, takes clearly longer than the
// display's period for a frame, it first sleeps through most of that time.
int PresentToQueuingDevice(int (*Present)(void *Context), void *Context);

// Full-screen scaling modes.
#define FULLSCREEN_SCALING_DESKTOP 0  // the desktop's own size; the screen stretched into it
#define FULLSCREEN_SCALING_EXACT 1    // a display mode of the screen size, shown unscaled
#define FULLSCREEN_SCALING_SCALED 2   // a large display mode; the screen stretched into it

struct GraphicsScreenSettingsData
{
    int MainScreenWidth, MainScreenHeight;  // 0 = 640 x 480
    int MainScreenColorBitDepth;            // 0 = 16
    int MainScreenRefreshRate;              // 0 = the display's default
    DISPLAYMODEDATA FullScreenMode;         // the display mode chosen for full screen
    int FullScreenScalingMode;              // requested, FULLSCREEN_SCALING_*
    int FullScreenScalingModeInEffect;      // what the choice of display mode allowed
    ImageRect FullScreenScalingRect;        // where the screen is shown in full screen
    int Emulation320x240Flag;               // a 320 x 240 screen shown at 640 x 480
    int DisplayModeChangedFlag;             // ChangeDisplayMode changed the display
    int BorderRepaintCount;                 // full-screen presents that still paint the border
    int NotWaitVSyncFlag;                   // presents do not wait for the vertical blank
    int UseDisplayIndex;                    // the display chosen by SetUseDisplayIndex
    int DisplayChosenFlag;                  // SetUseDisplayIndex succeeded
    int NotGraphicsResetFlag;               // mode changes keep the graphs (the inverse of
                                            // SetGraphicsResetOnScreenModeChangeFlag)
    int ModeChangeBusyFlag;                 // ChangeScreenMode runs
};
extern GraphicsScreenSettingsData GraphicsScreenSettings;
// Computes FullScreenScalingRect, where full-screen scaling modes 0 and 2 show the screen. 0, or -1
// without display information.
int SetupFullScreenScalingRect(void);

// ---- Software images ----------------------------------------------------------------------

// The SoftImage handle type (handles holding a BASEIMAGE), registered at the library's start.
// 0, or -1 when already registered / not registered.
int InitializeSoftImageManage(void);
void DeleteAllSoftImages(void);
int TerminateSoftImageManage(void);

// ---- Graphs ---------------------------------------------------------------------------------

// What a back end keeps of one device object in the front end's record: a graph's texture piece
// (GraphTextureEntry::PF), a shader, a buffer or a shadow map (the records' Backend member, which
// their PF points at). The front end allocates it zeroed, never reads it and never frees what it
// points at: the back end's create calls fill it and its release calls empty it.
//
// To the front end it is raw bytes; each back end keeps a typed record of its own there (its
// objects and the counts it needs with them) and reaches it only through GraphicsBackendRecord.
// The room is that of six object pointers and two counts, the most any back end keeps for one
// object: a Direct3D 11 draw-target graph's texture, its shader-resource view, its render-target
// and depth-stencil view arrays with their counts, its depth buffer and its multisample texture.
#define GRAPHICS_BACKEND_OBJECT_BYTES (6 * sizeof(void *) + 2 * sizeof(int))
struct GraphicsBackendObjectData
{
    alignas(void *) unsigned char Bytes[GRAPHICS_BACKEND_OBJECT_BYTES];  // a back end's record; all zero = empty
};

// The back end's Record in Part (null for a null Part). A record is a plain struct of pointers and
// counts whose all-zero bytes mean "no objects", so the zeroed part is already an empty record.
template <typename Record>
Record *GraphicsBackendRecord(GraphicsBackendObjectData *Part)
{
    static_assert(sizeof(Record) <= sizeof(GraphicsBackendObjectData), "the record fits the shared storage");
    static_assert(alignof(Record) <= alignof(GraphicsBackendObjectData), "the storage is aligned for the record");
    static_assert(std::is_trivial<Record>::value, "zeroed bytes are an empty record, nothing to construct");
    return Part != nullptr ? reinterpret_cast<Record *>(Part->Bytes) : nullptr;
}

// The creation settings of one graph, filled from the current settings by InitGraphCreateParam.
// Each field is one of the 27 words in their order; the words the system never changes stay 0.
struct GraphCreateParam
{
    int TransColor;              // 0: transparent colour 0x00RRGGBB
    int ColorBitDepth;           // 1: 0 = the screen's depth
    int FloatTypeFlag;           // 2: floating-point pixels (read only with ChannelNum >= 1)
    int ChannelNum;              // 3: channel count
    int ChannelBitDepth;         // 4: bits per channel
    int TextureOption;           // 5: texture option passed into the request
    int AlphaChannelFlag;        // 6: an alpha channel
    int CubeMapFlag;             // 7: six faces
    int BlendImageFlag;          // 8: (no blend images)
    int TextureOptionByte;       // 9: option byte copied into the request
    int FontOptionByte;          // 10: option byte the font module sets
    int OptionByte11;            // 11: option byte copied into the request
    int DrawValidFlag;           // 12: the graph can be drawn into (render target)
    int DrawValidAlphaFlag;      // 13: alpha of a draw-valid graph
    int DrawValidFloatTypeFlag;  // 14: floating-point pixels of a draw-valid graph
    int DrawValidZBufferFlag;    // 15: a Z buffer for a draw-valid graph
    int DrawValidMipLevels;      // 16: (one mip level for draw-valid graphs)
    int DrawValidChannelNum;     // 17: channel count of a draw-valid graph
    int ZBufferBitDepth;         // 18: 24 or 32, else the default
    int DrawTargetOption;        // 19: (no draw-target options)
    int Word20;                  // 20: (unused)
    int MipLevels;               // 21: -1 the full chain, 0 one level, else the count
    int MaxTextureSize;          // 22: 0 = the device's maximum
    int Word23;                  // 23: set by the two fillers
    int NotLoadAlphaImageFlag;   // 24: the image loaders look for no alpha image
    int NotUsePaletteFlag;       // 25: (palette textures allowed)
    int FontCacheFlag;           // 26: copied into the graph
};
static_assert(sizeof(GraphCreateParam) == 27 * 4, "27 words");

// What a graph's image is made of, built by SetupGraphFormatRequest.
struct GraphFormatRequest
{
    uint8_t HardwareFlag;  // hardware rendering is in use
    uint8_t CubeMapFlag;
    uint8_t AlphaChannelFlag;
    uint8_t DrawValidFlag;  // render target
    uint8_t DrawTargetOption;
    uint8_t PaletteFlag;        // the caller's palette flag
    uint8_t PaletteBits;        // hardware palette textures: 4 or 8
    uint8_t FormatId;           // the caller's format byte: 0, or 1-9 (1-5 DXT1-DXT5)
    uint8_t TextureFlag;        // made as a texture (MakeGraph's !notUse3D)
    uint8_t TextureOptionByte;  // words 9, 10 and 11
    uint8_t FontOptionByte;
    uint8_t OptionByte11;
    uint8_t FloatTypeFlag;
    int ColorBitDepth;
    int ChannelNum, ChannelBitDepth;
    int MipLevels;
    int TextureOption;    // word 5
    uint32_t TransColor;  // software: the transparent colour
};

// Image records.

#define GRAPH_TEXTURE_MAXNUM 256  // textures of one image record
#define GRAPH_DRAW_PIECE_ROOM 4   // drawing pieces a graph record holds before it is resized

// Pixel formats of software image records.
#define GRAPH_SOFT_FORMAT_RGB16 49
#define GRAPH_SOFT_FORMAT_ALPHA_RGB16 50
#define GRAPH_SOFT_FORMAT_RGB32 51
#define GRAPH_SOFT_FORMAT_ALPHA_RGB32 52

// One device texture of a hardware image record.
struct GraphTextureEntry
{
    GraphicsBackendObjectData *PF;  // the back end's texture objects (in the record's allocation)
    int X, Y;                       // where the texture's pixels start in the image
    int Width, Height;              // the part of the image it holds (clipped to the image)
    int TexWidth, TexHeight;        // the texture's own size
};

// The pixels behind one or more graphs (a divided image's pieces, derived graphs). A hardware
// record is one allocation: this head, the texture entries, then one back-end part per entry.
struct GraphImageRecord
{
    int RefCount;         // graphs that use it
    int PixelFormat;      // hardware: pixel-format table index; software: 49-52
    uint32_t TransColor;  // 0x00RRGGBB
    GraphFormatRequest Format;
    int Width, Height;           // the whole image
    int ZBufferFlag;             // draw-target graphs with a Z buffer
    int ZBufferBitDepthIndex;    // 24 -> 1, 32 -> 2, else 0
    int MipLevels;               // hardware
    int TextureNum;              // hardware
    GraphTextureEntry *Texture;  // hardware: TextureNum entries after this head
    MEMIMG SoftImage;            // software: the whole image
    int MultiSampleCount;        // draw-target graphs: samples per pixel asked for, below 2 = none
    int MultiSampleQuality;      // ... and the quality level asked for
};

// One texture's part of a hardware graph, as the graph draws it.
struct GraphDrawPieceVertex
{
    float x, y;  // inside the graph
    float u, v;  // texture coordinates
};
struct GraphDrawPiece
{
    int DrawX, DrawY;  // where the piece starts inside the graph
    float DrawXF, DrawYF;
    int UsePosX, UsePosY;  // where it starts inside its texture
    float UsePosXF, UsePosYF;
    int Width, Height;
    float WidthF, HeightF;
    GraphDrawPieceVertex Vertex[4];  // top left, top right, bottom left, bottom right
    uint8_t VertexOnDiagonal[4];     // on or above the graph's bottom-left to top-right diagonal
    GraphTextureEntry *Texture;
};

// The source of one or more graphs, kept to fill them again after a device loss. One allocation:
// this head, then the file name, the images with their pixels and the memory images it points at.
struct GraphSourceKeep
{
    wchar_t *FileName;      // or null
    BASEIMAGE *Image;       // a copy, or null
    BASEIMAGE *AlphaImage;  // a copy, or null
    void *Memory;           // a copy of a memory image, or null
    int MemorySize;
    void *AlphaMemory;  // a copy of its alpha image, or null
    int AlphaMemorySize;
    int Option1, Option2;  // the loader options: mirror, and the alpha image's source
    int RefCount;          // graphs that keep it
};

// A Graph handle (type 1).
struct GraphHandleData
{
    HandleInfo Info;
    int *LostFlag;            // set to 1 when the graph is deleted (SetGraphLostFlag)
    int MovieHandle;          // the movie that feeds the graph, -1 = none
    GraphSourceKeep *Source;  // kept source, or null
    int SourceX, SourceY;     // this graph's position inside its kept source image
    float SourceXF, SourceYF;
    GraphImageRecord *Image;
    int OffsetX, OffsetY;  // this graph's position inside the record's image
    float OffsetXF, OffsetYF;
    int Width, Height;
    float WidthF, HeightF;
    void *WorkBuffer[2];                          // freed with the graph
    int FontCacheFlag;                            // a font's glyph cache (kept at the first pass of the end)
    int InternalFlag;                             // made by the library for itself
    int FloatPositionFlag;                        // derived with float positions
    MEMIMG SoftImage;                             // software: a view of the record's image at the offset and size
    int PieceNum;                                 // hardware: drawing pieces
    GraphDrawPiece Piece[GRAPH_DRAW_PIECE_ROOM];  // more when the record was resized for them
};

// ---- Shader, buffer and shadow-map handles -------------------------------------------------

// A Shader handle (type 12).
struct ShaderHandleData
{
    HandleInfo Info;
    int IsVertexShader;             // 1 vertex shader, 0 pixel shader
    void *FunctionCode;             // the front end's copy of the compiled code (DxAlloc)
    int FunctionCodeSize;           // bytes
    GraphicsBackendObjectData *PF;  // the back end's part: points at Backend
    GraphicsBackendObjectData Backend;
};

// A ShaderConstantBuffer handle (type 19).
struct ShaderConstantBufferHandleData
{
    HandleInfo Info;
    int Size;  // bytes
    GraphicsBackendObjectData *PF;
    GraphicsBackendObjectData Backend;
};

// A VertexBuffer (type 15) or IndexBuffer (type 16) handle.
struct VertexBufferHandleData
{
    HandleInfo Info;
    int UnitSize;  // bytes per vertex
    int Num;       // vertices
    void *Buffer;  // the system copy
    GraphicsBackendObjectData *PF;
    GraphicsBackendObjectData Backend;
};
struct IndexBufferHandleData
{
    HandleInfo Info;
    int UnitSize;  // bytes per index (2 or 4)
    int Num;       // indices
    void *Buffer;  // the system copy
    GraphicsBackendObjectData *PF;
    GraphicsBackendObjectData Backend;
};

// A ShadowMap handle (type 18).
struct ShadowMapHandleData
{
    HandleInfo Info;
    int FloatFormatFlag;  // floating-point depth
    int BitDepth;         // 16 or 32
    int Width, Height;
    int GraphHandle[2];    // -1 = none
    float AdjustDepth;     // 0.002
    float GradationParam;  // 0.0007
    float Scale[2];        // 1.0 each
    MATRIX ViewProjectionMatrix;
    GraphicsBackendObjectData *PF;
    GraphicsBackendObjectData Backend;
};

// The records, or null (a handle still loading only with AllowLoading).
ShaderHandleData *GetShaderEntry(int ShaderHandle, int AllowLoading);
ShadowMapHandleData *GetShadowMapEntry(int ShadowMapHandle, int AllowLoading);

// ---- Front-end helpers the back ends call ----------------------------------------------------

// Both sides halved once per level (integer division), never below 1.
void CalcMipLevelSize(int Width, int Height, int Level, int *OutWidth, int *OutHeight);

// The projection a back end gives its device: the 2-D projection while 2-D drawing is current,
// else the 3-D projection times the user viewport; then Area, which takes the front end's screen
// pixels into the viewport of the draw area (row vectors times the matrices).
MATRIX DrawProjectionThroughArea(const MATRIX &Area);

// What a back end's mode-0 screen change keeps across the new device: the requested draw area
// (selecting the draw target again resets it) and the view, projection and viewport matrices.
struct KeptDrawTransform
{
    MATRIX_D View, Projection, Viewport;
    ImageRect DrawArea;
};
KeptDrawTransform KeepDrawTransform(void);
// Sets them again, with the current world matrix, once the device's state is rebuilt.
void PutBackDrawTransform(const KeptDrawTransform &Kept);

// One texture's part of an image, for the clip of a transfer against it.
struct GraphTransferPiece
{
    int X, Y;        // its position in the full image
    int TexX, TexY;  // its offset inside the texture
    int Width, Height;
};

// The part of a Width x Height area at (DestX, DestY) that a piece holds: the rectangle inside
// the texture (offset added) and inside the area (origin added); with BlockCompressed every value
// rounded up to a multiple of 4. 0, or -1 when they do not overlap.
int CalcTextureTransferRect(const GraphTransferPiece *Piece, int OriginX, int OriginY, int Width, int Height, int DestX,
                            int DestY, ImageRect *TexRect, ImageRect *ImageRectOut, int BlockCompressed);
// The same against a drawing piece of a graph: Source inside the area, Dest inside the texture
// shifted by (OffsetX, OffsetY).
int CalcDrawPartTransferRect(const GraphDrawPiece *Piece, int OffsetX, int OffsetY, int Width, int Height, int X, int Y,
                             ImageRect *SourceRect, ImageRect *DestRect, int BlockCompressed);

// Cuts a transfer's source rectangle to the image (its sides rounded up to whole 4 x 4 blocks when
// BlockCompressed), the destination moving with a cut left or top edge: what lies outside the
// image is never read. 1 when something is left, else 0.
int ClipTransferRectToImage(const BASEIMAGE *Image, int BlockCompressed, ImageRect *Rect, int *DestX, int *DestY);
// The checks a back end's transfer of an image into a graph's textures starts with: -1 without a
// rectangle or an image, 0 for an empty rectangle (nothing to do), -1 for a graph that is not a
// live graph handle (one still loading passes with AcceptLoadingFlag) or has no image record, else 1.
int CheckGraphTransfer(const ImageRect *SrcRect, const BASEIMAGE *Image, GraphHandleData *Graph, int AcceptLoadingFlag);

// Calls Transfer(texture, rectangle inside it, rectangle inside the image) for every texture that
// the Width x Height part of an image at Rect's origin reaches when it goes to (DestX, DestY):
// each texture of Graph's record when WholeImage is 1, else each drawing piece of Graph. -1 at
// the first failed transfer, else 0.
template <class TransferFn>
int ForEachTransferTexture(const GraphHandleData *Graph, const ImageRect &Rect, int Width, int Height, int DestX,
                           int DestY, int WholeImage, int BlockCompressed, TransferFn Transfer)
{
    ImageRect texRect, imageRect;
    if (WholeImage == 1) {
        const GraphImageRecord &record = *Graph->Image;
        for (int i = 0; i < record.TextureNum; i++) {
            const GraphTextureEntry &entry = record.Texture[i];
            const GraphTransferPiece p = {entry.X, entry.Y, 0, 0, entry.Width, entry.Height};
            if (CalcTextureTransferRect(&p, Rect.left, Rect.top, Width, Height, DestX, DestY, &texRect, &imageRect,
                                        BlockCompressed) < 0)
                continue;
            if (Transfer(entry, texRect, imageRect) < 0) return -1;
        }
        return 0;
    }
    for (int i = 0; i < Graph->PieceNum; i++) {
        const GraphDrawPiece &piece = Graph->Piece[i];
        if (CalcDrawPartTransferRect(&piece, 0, 0, Width, Height, DestX, DestY, &imageRect, &texRect, BlockCompressed) <
            0)
            continue;
        imageRect.left += Rect.left;
        imageRect.right += Rect.left;
        imageRect.top += Rect.top;
        imageRect.bottom += Rect.top;
        if (Transfer(*piece.Texture, texRect, imageRect) < 0) return -1;
    }
    return 0;
}

// The smallest power of two at or above Size (1 for a size below 2).
int CalcPowerOfTwoAtLeast(int Size);
// Fills the rest of a BlockWidth x BlockHeight block past its first Width x Height pixels with
// their last column and row, so that halving the block for mip levels averages image pixels only.
void PadMipBlock(uint8_t *Block, int Pitch, int Width, int Height, int BlockWidth, int BlockHeight, int PixelBytes);
// Where level Level of a mip chain receives the level-0 rectangle Rect: every edge shifted
// right by Level, a collapsed side widened to one pixel.
ImageRect GraphMipLevelRect(const ImageRect &Rect, int Level);

// A device rebuild: the mask screen's buffers freed before it and made again after it, then
// every live graph the library made for itself deleted (RestoreGraphics makes them again). 0.
int ReleaseMaskScreen(void);
int ReCreateMaskScreen(void);
// Frees the mask screen and marks it not created. 0, or -1 before the mask module starts.
int DeleteMaskScreen(void);
// What the Mask handle's own operations would do (nothing in this system does; tests do): makes
// the mask screen Width x Height from Bytes (Pitch bytes a row; 0 = drawing allowed) and marks it
// created, on the device while one is in use. 0 / -1.
int CreateMaskScreenWithBytes(int Width, int Height, const uint8_t *Bytes, int Pitch);
// The mask bytes for the back end's mask image: Pitch x Height, null while there are none.
const uint8_t *GetMaskScreenBuffer(int *Width, int *Height, int *Pitch);
int DeleteInternalGraphs(void);

// Three shared work buffers that only grow: the buffer of at least Size bytes, or null for an
// index outside 0-2 or no memory (the buffer then stays as it was).
void *ReserveWorkBuffer(int Index, int Size);

// ---- The ring span table (the software ring; the back ends draw rings from it too) --------------

// One row: the outer circle's left and right x, the inner circle's, and which of them were met.
struct CircleRingSpan
{
    int16_t OuterLeft, OuterRight, InnerLeft, InnerRight;
    uint16_t Flags;  // CIRCLE_SPAN_*
};
#define CIRCLE_SPAN_OUTER_LEFT 1
#define CIRCLE_SPAN_OUTER_RIGHT 2
#define CIRCLE_SPAN_INNER_LEFT 4
#define CIRCLE_SPAN_INNER_RIGHT 8

// The rows 0 up to the draw area's bottom of a ring of radius Radius and width Thickness around
// (X, Y): outer radius r + t/2, inner r - t/2 (+1 for an even t). Only the draw area's rows are
// written, x values are kept to the draw area widened by one pixel. The table lives until the
// next call; null when it cannot grow.
const CircleRingSpan *CalcCircleRingSpanTable(int X, int Y, int Radius, int Thickness);
// A row's spans as inclusive (left, right) pairs: 0, 1 or 2 of them.
int GetCircleRingRowSpans(const CircleRingSpan *Row, int Spans[4]);

// ---- The geometry of graph drawing -----------------------------------------------------------
// What both back ends compute for a graph's pieces before they write vertices of their own form.

// One corner of a textured quad: its place on the draw target, its texture coordinates and its
// coordinates in the blend graph's texture (0 without a blend graph).
struct GraphQuadCorner
{
    float x, y, u, v, bu, bv;
};

// The blend coordinates of a corner at graph-space (CX, CY), the graph drawn with its origin at
// (PosX, PosY): the front end keeps no blend-graph position, so they follow the graph's own
// corners. Nothing without a blend piece.
void PlaceGraphBlendCorner(GraphQuadCorner &C, float CX, float CY, float PosX, float PosY, const GraphDrawPiece *Blend);

// The four corners of Piece drawn with the graph's origin at (X, Y) and scaled by (ScaleX, ScaleY),
// with blend coordinates from Blend (may be null). With ClipArea (left, top, right, bottom; null
// for a graph inside the draw area) every corner is moved onto it and its coordinates follow by
// the distance moved over the texture's size in target pixels, so that what stays visible keeps
// its mapping.
void GraphPieceQuadCorners(const GraphDrawPiece &Piece, const GraphDrawPiece *Blend, float X, float Y, float ScaleX,
                           float ScaleY, const float *ClipArea, GraphQuadCorner Out[4]);

// 1 when the rectangle (right and bottom exclusive) lies inside the draw area.
int GraphRectInsideDrawArea(int Left, int Top, int Right, int Bottom);

// The corners of Piece of a Width x Height graph drawn on four free corners (top-left, top-right,
// bottom-left, bottom-right): placed bilinearly between them.
void GraphModiPieceCorners(const float Corners[4][2], double Width, double Height, const GraphDrawPiece &Piece,
                           float Out[4][2]);
// The place of corner K of Piece of a Width x Height graph drawn on four integer corners (X, Y in
// the same order), by the affine map of the triangle the corner lies in: the upper-left one
// anchored at the top-left corner, the lower-right one at the bottom-right. Offset is added to
// both coordinates.
void GraphModiIntPieceCorner(const int X[4], const int Y[4], float Width, float Height, const GraphDrawPiece &Piece,
                             int K, float Offset, float *OutX, float *OutY);

// Puts a piece's corner texture coordinates into a caller's vertices, six a quad: top-left,
// top-right, bottom-left, then bottom-right, bottom-left, top-right. Mirror exchanges left and
// right.
void SetGraphCornerUV(VERTEX2D *Vertices, int Num, const GraphDrawPiece &Piece, int Mirror);

// Corners: top-left, top-right, bottom-left, bottom-right as (x, y) pairs.
// True when both pairs of opposite edges differ by less than one pixel in x and in y: the quad is
// drawn as two triangles, else as a grid.
bool GraphQuadIsParallelogram(const float Corners[4][2]);

// The grid a free quad that is no parallelogram is drawn as: 8 x 8 vertices (7 x 7 cells).
constexpr int GRAPH_MODI_GRID_SIZE = 8;
// Fills the 64 grid vertices of a quad: positions interpolated down the left and right edges and
// across each row; texture coordinates from (U1, V1) to (U2, V2), each side that is not at the
// texture's border pulled in by a thousandth of a pixel (PieceWidth x PieceHeight: the piece's
// size in pixels). Colour Color, depth Z, rhw 1.
void GraphModiGridVertices(const float Corners[4][2], float U1, float V1, float U2, float V2, float PieceWidth,
                           float PieceHeight, uint32_t Color, float Z, VERTEX2D Out[64]);

// A grid draw's index list holds at most this many 16-bit indices.
constexpr int GRAPH_GRID_INDEX_MAXNUM = 1000;
// Receives one index list of a grid draw (a triangle strip of Num indices).
typedef void (*GraphGridStripFunc)(void *Context, const uint16_t *Indices, int Num);
// The triangle strips of a Width x Height vertex grid (row-major): for each row of cells the pairs
// (below, above), rows joined by repeating the last index and the next row's first; a list is
// handed over before a row would take it past the limit, and at the end. -1 (nothing handed over)
// below 2 x 2, for a row that alone passes the limit (500 columns or more) or for more vertices
// than 16-bit indices reach. 0.
int BuildGraphGridStrips(int Width, int Height, GraphGridStripFunc Strip, void *Context);

// ---- What the graph filters use of the front end ------------------------------------------
// The filters (zovuz/filter) work on graphs through the front end: they read the shared pixel
// tables, move their work images into graphs and make the Level filter's gamma graph.

// Moves SrcRect of Image (and AlphaImage) to (DestX, DestY) of the graph: graph coordinates, or
// with WholeFlag those of the graph's whole image. 0 (also when nothing is left) / -1.
int BltBaseImageToGraph(const ImageRect *SrcRect, int DestX, int DestY, int GraphHandle, const BASEIMAGE *Image,
                        const BASEIMAGE *AlphaImage, int TransferOption1, int TransferOption2, int WholeFlag,
                        int AcceptLoadingFlag);

// The creation settings of a loaded image (BitDepth, alpha, word 5) or of a draw-valid graph, and
// an empty graph made with given settings. The handle, or -1.
void InitLoadGraphParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag, int Option5);
void InitDrawValidGraphCreateParam(GraphCreateParam *Param, int BitDepth, int AlphaFlag);
int MakeGraphWithCreateParam(const GraphCreateParam *Param, int Width, int Height, int NotUse3DFlag, int PaletteFlag,
                             int PaletteBits, int ASyncFlag, int ASyncThread);
