// ZoVuz graphics: the draw state, the pixel-format table, the transform matrices and the
// camera; part of the public graphics API (zovuz_graphics.h includes it).
//
// All drawing reads one process-wide block of current draw settings, GraphicsDrawSettings, and
// the screen and device globals beside it (GraphicsState); both are declared with what the
// Direct3D back ends read (zovuz_graphics_backend.h). ResetDrawSettings puts the block to its
// defaults at every graphics start; after that it changes only through the setters of the
// graphics front end and the functions below.
//
// Everything here works on unlocked process-wide state, under the library's API lock on the
// thread that draws.
#pragma once

#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/graphics_hardware.h"

struct COLORDATA;

// Screen values used in place of a graph handle.
#define DX_SCREEN_BACK (-2)
#define DX_SCREEN_FRONT (-4)

#define DX_RENDERTARGET_COUNT 8  // render-target slots of the draw state
#define DX_SHADER_TEXTURE_STAGE_NUM 16
#define DX_SHADOWMAP_SLOT_NUM 3

// Blend modes the front end names (the others are passed through to the back ends).
#define DX_BLENDMODE_NOBLEND 0
#define DX_BLENDMODE_ALPHA 1

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

// ---- The draw settings --------------------------------------------------------------------

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

// ---- Matrices and camera ---------------------------------------------------------------------

// Recomputes the derived matrices when they are not current.
int UpdateTransformMatrices(void);
// Builds the camera projection from the camera settings and makes it current.
int UpdateCameraProjection(void);
// Makes the matrix the current projection. 0.
int SetTransformToProjection(const MATRIX_D *Matrix);
// Re-derives the camera's vertical, horizontal and twist angles from the view matrix.
int UpdateCameraAngles(void);
// A screen position (x, y, depth) in world coordinates; (-1, -1, -1) when the world-to-screen
// matrix has no inverse.
VECTOR_D ConvScreenPosToWorldPos(VECTOR_D ScreenPos);

int SetTransformToWorldD(const MATRIX_D *Matrix);
int SetTransformToWorld(const MATRIX *Matrix);
int SetTransformToView(const MATRIX_D *Matrix);
int SetTransformToViewportD(const MATRIX_D *Matrix);
// Projection mode 2 with this matrix.
int SetCameraProjectionMatrix(const MATRIX_D *Matrix);
// The view matrix from the eye, the target and the up vector; the camera angles follow.
int SetCameraPositionAndTargetAndUp(VECTOR_D Eye, VECTOR_D Target, VECTOR_D Up);
int SetupCameraFromPositions(VECTOR Eye, VECTOR Target, VECTOR Up);
// The viewport matrix about this centre, sized by the draw size times the 2D viewport scale.
int SetCameraScreenCenter(double X, double Y);
int SetupDepthBufferNow(void);

// ---- Queries ------------------------------------------------------------------------------

// Stores the main screen size (0 = 640 x 480, also for the matrix makers' default aspect). 0.
int SetMainScreenSize(int Width, int Height);

int GetDrawScreenHandle(void);
int IsFullScreenMode(void);
// The screen colour depth, 16 while unset.
int GetScreenColorBitDepth(void);
// The main screen size, 640 x 480 while unset. 0.
int GetDrawScreenSize(int *Width, int *Height);
// Size and depth; every pointer optional. 0.
int GetScreenState(int *Width, int *Height, int *ColorBitDepth);
// The transparent colour of graph creation; -1 in 8-bit mode.
int GetTransColor(int *Red, int *Green, int *Blue);
// After the library's start the hardware-in-use flag, before it the inverse of the request.
int GetUseHardwareRenderFlag(void);
int IsRestoreGraphCallbackSet(void);
int GetShaderVersion(void);
// 1 unless presents are told not to wait for the vertical blank.
int GetWaitVSyncFlag(void);
int GetPixelCenterNoOffsetFlag(void);
// The background colour: 0, or -1 when none is set (the paint path's fill until start-up ends).
int GetBackgroundColor(int *Red, int *Green, int *Blue);
