// ZoVuz graphics: the draw state, the pixel-format table, the transform matrices and the
// camera; part of the public graphics API (zovuz_graphics.h includes it).
//
// All drawing reads one process-wide block of current draw settings, GraphicsDrawSettings, and
// the screen and device globals beside it (GraphicsState). The Direct3D back ends read both
// directly. ResetDrawSettings puts the block to its defaults at every graphics start; after that
// it changes only through the setters of the graphics front end and the functions below.
//
// Everything here is unlocked process-wide state, used under the library's API lock on the
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
// The entry for a request with these fields, 32 or 16 bits (the glyph cache's formats).
const COLORDATA *GetPixelFormatForRequest(int AlphaFlag, int AlphaTestFlag, int Use32BitFlag, int RenderTargetFlag);

// ---- The draw settings --------------------------------------------------------------------

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
    DrawMatrixData Matrix;
    DrawCameraData Camera;
    MATERIALPARAM Material;
    DrawShaderSelection Shader;
};
extern GraphicsDrawSettingsData GraphicsDrawSettings;

// The shadow-map slots, cleared with the draw settings.
struct GraphicsShadowMapSettingsData
{
    int Slot[DX_SHADOWMAP_SLOT_NUM];  // ShadowMap handles, 0 = none
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
