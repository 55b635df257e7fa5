// ZoVuz graphics: the public API of the library's graphics: graphs and images, drawing on the
// draw screen, its presentation and settings, fonts and text, and the 3-D settings.
//
// This header declares types and calls only. Images in memory (COLORDATA, BASEIMAGE and the calls
// on them) are the image room's: it includes image/image_types.h and image/image_api.h. The module
// state, the handle records and the dispatch table that the layers extending graphics (the
// Direct3D back ends, the filters, the movies and the start-up) work with are declared in
// zovuz_graphics_backend.h, which only those layers include.
//
// The draw screen is where drawing lands: a graph made draw-valid, or a screen value, -2 the back
// screen or -4 the front screen (whatever is drawn there is shown every 32 ms). ScreenFlip shows
// the finished frame. On the software renderer both screen values draw into the software screen,
// which ScreenFlip presents through GDI.
#pragma once

#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/image_api.h"
#include "zovuz/graphics/image/image_types.h"

// ---- Screens, blend modes and vertices ----------------------------------------------------------

// Screen values used in place of a graph handle.
#define DX_SCREEN_BACK (-2)
#define DX_SCREEN_FRONT (-4)

// Blend modes the front end names (the others are passed through to the back ends).
#define DX_BLENDMODE_NOBLEND 0
#define DX_BLENDMODE_ALPHA 1

// A colour of four bytes in memory order blue, green, red, alpha (0xAARRGGBB as a value).
struct COLOR_U8
{
    uint8_t b, g, r, a;
};

// A 2D vertex as the back ends draw it: 28 bytes.
struct VERTEX2D
{
    VECTOR pos;    // screen position; z is the draw depth
    float rhw;     // 1.0
    COLOR_U8 dif;  // vertex colour
    float u, v;    // texture coordinates
};

// "No graph" for the user vertex lists.
#define DX_NONE_GRAPH (-5)
// Primitive type of a triangle strip.
#define DX_PRIMTYPE_TRIANGLESTRIP 5

// The vertex of DrawPrimitive2D: 20 bytes.
struct VERTEX_UV_2D
{
    float x, y;
    float u, v;
    COLOR_U8 dif;  // blue, green, red, alpha
};

// One batch of rectangles of one graph (the string drawing's glyphs): four vertices per
// rectangle (top left, top right, bottom left, bottom right).
struct DrawGraphRectsVertex
{
    float x, y;
    float u, v;
};
struct DrawGraphRectsParam
{
    int RectNum;
    const DrawGraphRectsVertex *Vertex;
    int GraphHandle;
    int TransFlag;
};

// ---- Graphs -------------------------------------------------------------------------------------
//
// A graph is anything that can be drawn or drawn into: a loaded picture, an empty off-screen
// screen, a rectangle of another graph. Its pixels live in an image record that several graphs can
// share (derived graphs, the pieces of a divided image): device textures while a Direct3D back end
// is in use, else a software image. A graph lives until DeleteGraph or the end of graphics.

// An empty Width x Height graph with the current creation settings; between
// SetDrawValidGraphCreateFlag(1) and (0) it can be a draw screen. The handle, or -1.
int MakeGraph(int Width, int Height, int NotUse3DFlag);

// Deletes a graph. A graph that is the draw screen leaves the front screen (-4) selected; the
// image goes with the last graph that shares it. 0, or -1 for a handle that is not a graph.
int DeleteGraph(int GraphHandle);

// A new graph that shows the rectangle (X, Y, Width, Height) of SrcGraphHandle and shares its
// pixels. The rectangle must start inside the source; what runs past it is cut off. Handle / -1.
int DeriveGraph(int X, int Y, int Width, int Height, int SrcGraphHandle);

// 1 for a live graph that is not loading, else 0.
int IsValidGraphHandle(int GraphHandle);

// Fills a graph with one colour (each value clamped to 0-255). On the software renderer the fill
// draws nothing. 0 / -1.
int FillGraph(int GraphHandle, int Red, int Green, int Blue, int Alpha);

// Copies the rectangle (SrcX1, SrcY1)-(SrcX2, SrcY2) of a graph (or, for a value that is not a
// graph, the draw screen) to (DestX, DestY) of DestGraphHandle. 0, or -1 for a rectangle outside
// the source or too large for the destination.
int BltRectGraphToGraph(int SrcGraphHandle, int SrcSurface, int SrcMipLevel, int SrcX1, int SrcY1, int SrcX2, int SrcY2,
                        int DestX, int DestY, int DestGraphHandle);
// The rectangle of the draw screen into a graph of exactly its size. 0 / -1.
int CopyDrawScreenToGraph(int X1, int Y1, int X2, int Y2, int GraphHandle);

// A graph's size (a shadow map's, or the screen's for -2 and -4). 0, or -1 for a bad handle.
int GetGraphSize(int GraphHandle, int *Width, int *Height);
// The size of the texture behind a graph (a software graph's own size). 0 / -1.
int GetGraphTextureSize(int GraphHandle, int *Width, int *Height);
// 1 when the graph's image is a texture with draw-target options (never in this system).
int GetGraphDrawTargetOptionFlag(int GraphHandle);

// Registers an int that the graph's deletion sets to 1; it is set to 0 now. 0 / -1.
int SetGraphLostFlag(int GraphHandle, int *LostFlag);

// The library's own 8 x 8 opaque white graph, made on first use. The handle, or -1.
int GetWhiteTextureGraph(void);

// ---- Graphs loaded from image files and memory images -------------------------------------------
//
// A file is read through the file-access table (archives first) and tried by every image loader;
// "name_a.ext" beside it, when present, gives the alpha channel (its red channel). A file that no
// image loader accepts is opened as a movie. Every loaded graph keeps its source, so its pixels
// come back after a device loss. With SetUseASyncLoadFlag(1) a load returns its handles at once;
// they are refused by every call until the load has ended, and deleted when it fails.

// A graph of an image file (name in the library's current multibyte code). The handle, or -1.
int LoadGraph(const char *FileName, int NotUse3DFlag);

// AllNum graphs of Width x Height cut from an image file, XNum per row, rows top to bottom, into
// HandleArray. A piece that runs past the image is cut off; one that starts outside it fails the
// load. 0, or -1 with no handle left.
int LoadDivGraph(const char *FileName, int AllNum, int XNum, int YNum, int Width, int Height, int *HandleArray,
                 int NotUse3DFlag);

// The same from a memory image (and its alpha image, or null). With ReverseFlag the image is
// mirrored and the columns are taken right to left. The images are copied for the restore; an
// asynchronous load reads them later, so they must stay until the handles are valid. 0 / -1.
int CreateDivGraphFromMem(const void *FileImage, int FileImageSize, int AllNum, int XNum, int YNum, int Width,
                          int Height, int *HandleArray, int NotUse3DFlag, int ReverseFlag, const void *AlphaFileImage,
                          int AlphaFileImageSize);

// A graph of an image (and an alpha image of its size, or null). The handle, or -1.
int CreateGraphFromBaseImage(const BASEIMAGE *Image, const BASEIMAGE *AlphaImage, int TextureFlag);

// ---- The draw screen and presentation -----------------------------------------------------------

// Selects the draw target: a graph made draw-valid, or -2 / -4 (-3 and -16 as the back screen).
// Leaving the front screen shows it first. The draw area becomes the whole target and the 3D
// camera is set up for its size. 0, or -1 (graphics not started, not a draw-valid graph).
int SetDrawScreen(int DrawScreen);

// Shows the finished frame. 0, or -1 before the library's start and once it is ending.
int ScreenFlip(void);
int ScreenFlipWrap(void);

// The screen mode: before the library's start it is stored (0 / -1); after it, the mode is
// changed and the result says what took effect: 0, -1 or -2 (see draw_screen.cpp).
int SetGraphMode(int Width, int Height, int ColorBitDepth, int RefreshRate);
// The refresh rate of the screen mode (0 = the display's default).
int GetScreenRefreshRate(void);

// The colour of a draw-target pixel: the raw screen value on the software renderer (16- or 32-bit
// by the screen depth), 0xFFRRGGBB with a device. -1 outside the draw target.
unsigned int GetPixel(int X, int Y);

// 0 when the draw target can take the source graph (always with a device); -1 when the draw
// target is not a graph or is smaller than the source in either direction.
int IsDrawScreenSizeMatch(int SrcGraphHandle);

// Selects a draw target for one render-target slot of the back end: slot 0 with surface and mip 0
// is SetDrawScreen; the others need a device. 0 / -1.
int SetRenderTargetToShader(int TargetIndex, int DrawScreen, int Surface, int MipLevel);

// Full screen: a position in the window to one on the screen (through the shown rectangle when
// the screen is stretched). 0 / -1.
int ConvertWindowPosToScreenPos(int X, int Y, int *ScreenX, int *ScreenY);

// ---- Settings ---------------------------------------------------------------------------------
// Each returns 0 unless said otherwise; a value equal to the stored one changes nothing.

int SetBackgroundColor(int Red, int Green, int Blue);
// Mode DX_BLENDMODE_*; the parameter is clamped to 0-255.
int SetDrawBlendMode(int BlendMode, int BlendParam);
// Values above 255 become 255, negatives 0.
int SetDrawBright(int Red, int Green, int Blue);
int SetDrawAlphaTest(int TestMode, int TestParam);
// 0 nearest, 1 bilinear, 2 anisotropic.
int SetDrawMode(int DrawMode);
// The clip rectangle of drawing, corners put in order and clamped to the draw target; an empty
// one leaves nothing visible. -1 when the draw target is not a screen or a live graph.
int SetDrawArea(int X1, int Y1, int X2, int Y2);
// Graphs made while the flag is 1 can be draw screens.
int SetDrawValidGraphCreateFlag(int Flag);
// The transparent colour of graph creation and image loading (ignored on an 8-bit screen).
int SetTransColor(int Red, int Green, int Blue);
// 0: a screen-mode change keeps the graphs (the mode changes under them).
int SetGraphicsResetOnScreenModeChangeFlag(int Flag);
// Before the library's start only (-1 after it): 0 forces the software renderer.
int SetUseHardwareRenderFlag(int Flag);
// Before the library's start only (-1 after it): 0 presents without waiting for the vertical blank.
int SetWaitVSyncFlag(int Flag);
// The blend graph with a border parameter and range (type 1). 0 / -1.
int SetBlendGraph(int BlendGraph, int BorderParam, int BorderRange);
// Type 0 takes one parameter, type 1 two, type 2 none; -1 for another type or a bad graph.
int SetBlendGraphParam(int BlendGraph, int BlendType, ...);

// ---- The mask screen ----------------------------------------------------------------------------
// Nothing in this system creates a mask screen: SetUseMaskScreenFlag answers -1.

int GetUseMaskScreenFlag(void);
int SetUseMaskScreenFlag(int Flag);

// ---- Drawing on the draw target -----------------------------------------------------------------
//
// Geometry every back end produces: boxes and stretched graphs cover [x1, x2) x [y1, y2) (right
// and bottom exclusive), lines light their start point but not their end point. A colour is a
// GetColorValue value of which only red, green and blue count; the opacity of a drawing comes
// from the blend mode and its parameter, and the draw-bright colour tints it. Everything is
// clipped to the draw area; with an empty draw area every call draws nothing and returns 0.
//
// With a Direct3D back end the primitives go to its vertex batch. On the software renderer the
// library's own drawers write the software draw target: boxes, lines, circles, rings,
// quadrilaterals (thick lines) and graphs with nearest filtering, in blend modes none and alpha;
// other blend modes, free-quadrilateral graphs and user vertex lists draw nothing there.

// Clears the draw target (the rectangle only, when one with left and top not negative is given)
// to the background colour. 0.
int ClearDrawScreen(const ImageRect *ClearRect);

// ---- Primitives ------------------------------------------------------------------------------

// FillFlag non-zero: DrawFillBox, else DrawLineBox.
int DrawBox(int X1, int Y1, int X2, int Y2, unsigned int Color, int FillFlag);
// Every pixel with min(x1, x2) <= x < max(x1, x2) and the same for y.
int DrawFillBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
// The one-pixel ring of the box DrawFillBox fills (callers pass x1 <= x2, y1 <= y2).
int DrawLineBox(int X1, int Y1, int X2, int Y2, unsigned int Color);
// A line from (X1, Y1) up to the pixel before (X2, Y2); a Thickness above 1 draws DrawThickLine.
int DrawLine(int X1, int Y1, int X2, int Y2, unsigned int Color, int Thickness = 1);
// A band Thickness wide around the centre line (a box for odd widths on a row or a column).
int DrawThickLine(int X1, int Y1, int X2, int Y2, unsigned int Color, int Thickness);
// Thickness 1: a circle (a disc with FillFlag); any other thickness a ring of that width. Nothing
// for a negative radius.
int DrawCircle(int X, int Y, int Radius, unsigned int Color, int FillFlag = 1, int LineThickness = 1);

// ---- Drawing graphs ----------------------------------------------------------------------------
// TransFlag: the graph's transparent colour (or its alpha channel) makes pixels see-through.
// Each call gives -1 for a handle that is not a ready graph (or a blend graph smaller than it on the
// software renderer), and DrawGraph also before the library's start.

int DrawGraph(int X, int Y, int GraphHandle, int TransFlag);
int DrawGraphF(float X, float Y, int GraphHandle, int TransFlag);
// Left edge on X1, right edge on X2 (mirrored when X1 > X2), top on Y1, bottom on Y2; the
// filtering follows the draw mode.
int DrawExtendGraph(int X1, int Y1, int X2, int Y2, int GraphHandle, int TransFlag);
int DrawExtendGraphF(float X1, float Y1, float X2, float Y2, int GraphHandle, int TransFlag);
// The graph mirrored left to right at (X, Y).
int DrawTurnGraph(int X, int Y, int GraphHandle, int TransFlag);
int DrawTurnGraphF(float X, float Y, int GraphHandle, int TransFlag);
// The graph's top-left, top-right, bottom-right and bottom-left corners on points 1 to 4.
int DrawModiGraph(float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4, int GraphHandle,
                  int TransFlag);
// The rectangle (SrcX, SrcY, Width, Height) of the graph at (X, Y), mirrored with TurnFlag; -1 for a
// width or height below 1.
int DrawRectGraph(int X, int Y, int SrcX, int SrcY, int Width, int Height, int GraphHandle, int TransFlag,
                  int TurnFlag);
int DrawRectGraphF(float X, float Y, int SrcX, int SrcY, int Width, int Height, int GraphHandle, int TransFlag,
                   int TurnFlag);
int DrawRectExtendGraphF(float X1, float Y1, float X2, float Y2, int SrcX, int SrcY, int Width, int Height,
                         int GraphHandle, int TransFlag);
// One batch of rectangles of one graph; only graphs on a device draw.
int DrawGraphRects(const DrawGraphRectsParam *Param);

// ---- User vertex lists (drawn with a device only) ------------------------------------------------

// GraphHandle DX_NONE_GRAPH for untextured primitives.
int DrawPrimitive2D(const VERTEX_UV_2D *Vertex, int Num, int PrimitiveType, int GraphHandle, int TransFlag,
                    int Option = 0);
int DrawPrimitive2DToShader(const VERTEX2D *Vertex, int Num, int PrimitiveType, int GraphHandle, int TransFlag);

// ---- Fonts --------------------------------------------------------------------------------------
//
// A font handle holds a GDI font (or a prepared font data image) and a glyph cache that turns
// characters into small images on demand. The value -2 stands for the default font wherever a
// font handle is taken: before it is used, the default font is made again when one of the
// default settings below has changed since it was made. The font system runs while graphics run;
// after a device reset every font is made again under its old handle value.

// The default font wherever a font handle is taken.
#define DX_DEFAULT_FONT_HANDLE (-2)

// Font types: bit 0 edged, bit 1 anti-aliased; 18/19 and 34/35 are anti-aliased from glyphs drawn
// four and eight times as large.
#define DX_FONTTYPE_NORMAL 0
#define DX_FONTTYPE_EDGE 1
#define DX_FONTTYPE_ANTIALIASING 2
#define DX_FONTTYPE_ANTIALIASING_EDGE 3
#define DX_FONTTYPE_ANTIALIASING_4X4 18
#define DX_FONTTYPE_ANTIALIASING_EDGE_4X4 19
#define DX_FONTTYPE_ANTIALIASING_8X8 34
#define DX_FONTTYPE_ANTIALIASING_EDGE_8X8 35

// Character sets of a font (the code page its strings are written in / the GDI character set):
// 0 the library's current code, 1 = 932, 2 = 949, 3 = 950, 4 = 936, 5 = 1252, 6 = 32764,
// 7 = 65001. Any other value takes the library's own character set.
#define DX_CHARSET_DEFAULT 0
#define DX_CHARSET_SHFTJIS 1
#define DX_CHARSET_HANGEUL 2
#define DX_CHARSET_BIG5 3
#define DX_CHARSET_GB2312 4
#define DX_CHARSET_WINDOWS_1252 5
#define DX_CHARSET_OWN_SINGLE_BYTE 6
#define DX_CHARSET_UTF8 7
#define DX_CHARSET_NUM 8

// Creation options of a font. Nothing in this system sets them: pass null (all zero).
struct FontCreateOptions
{
    int NotTextureCacheFlag;  // keep the glyph cache out of a texture
    int AntiAlias16BitFlag;   // a 16-bit cache for anti-aliased fonts
    int CacheCharNum;         // the cells wanted
    int PremulAlphaFlag;      // premultiplied alpha in the cache
    int NoSizeAdjustFlag;     // no second pass that takes the leading out of the size
};

// ---- Font handles -------------------------------------------------------------------------------

// Creates a font: FontName null or empty = the default face, Size -1 = 16, Thickness -1 = 6 (times
// 100 the GDI weight), FontType DX_FONTTYPE_*, CharSet DX_CHARSET_*, EdgeSize for edged types
// (-1 = 1), Handle -1 for a new handle or a value to use again. With ASyncFlag the set-up runs as
// an asynchronous load. The handle, or -1.
int CreateFontHandleBase(const FontCreateOptions *Options, const wchar_t *FontName, int Size, int Thickness,
                         int FontType, int CharSet, int EdgeSize, int Italic, int Handle, int ASyncFlag);
// A font from a font data image ("FNTF"); the image is copied. The handle, or -1.
int LoadFontDataFromMemBase(const FontCreateOptions *Options, const void *FontDataImage, int FontDataImageSize,
                            int EdgeSize, int Handle, int ASyncFlag);
// Deletes a font. 0 / -1.
int DeleteFontToHandle(int FontHandle);

// 1 for a live font that is not loading, else 0.
int CheckFontHandleValid(int FontHandle);
// Each returns -1 for a bad handle.
int GetFontSizeToHandle(int FontHandle);
int GetFontSpaceToHandle(int FontHandle);
// The font's settings; every output may be null (FontName takes up to 256 units, in the wide code).
// 0 / -1.
int GetFontStateToHandle(wchar_t *FontName, int *Size, int *Thickness, int FontHandle, int *FontType, int *CharSet,
                         int *EdgeSize, int *Italic);
// The code page the font's strings are written in: the one set for it, else its character set's,
// else the library's current code. -1 for a bad handle.
int GetFontCharCodeFormat(int FontHandle);
// Extra pixels between characters, the line spacing and the code of the font's strings. 0 / -1.
int SetFontSpaceToHandle(int Space, int FontHandle);
int SetFontLineSpaceToHandle(int LineSpace, int FontHandle);
int SetFontCharCodeFormatToHandle(int CharCodeFormat, int FontHandle);
// Registers an int that the font's deletion sets to 1; 0 is written now when it is not null.
int SetFontLostFlag(int FontHandle, int *LostFlag);

// Maps the first character of a string (in the font's code, or wide) to a graph: drawing shows
// the graph in place of the glyph, offset by (X, Y), and moves on by Advance. At most 256
// characters a font; the same character again replaces its graph. 0 / -1.
int AddFontImageToHandle(int FontHandle, const char *Char, int GraphHandle, int X, int Y, int Advance);
int AddFontImageToHandleW(int FontHandle, const wchar_t *Char, int GraphHandle, int X, int Y, int Advance);

// ---- The default font ---------------------------------------------------------------------------

// The default settings. Before the font system starts they are only kept (and survive its start);
// afterwards the default font is made again at once when a value changes. 0.
int SetFontSize(int Size);            // -1 = 16
int SetFontThickness(int Thickness);  // -1 = 6
// All settings at once: FontName null = the default face; an EdgeSize of 2 or more makes the type
// edged; negative Size, Thickness and EdgeSize mean 16, 6 and 1.
int SetDefaultFontState(const wchar_t *FontName, int Size, int Thickness, int FontType, int CharSet, int EdgeSize,
                        int Italic);
// The default font's extra character spacing. 0.
int SetFontSpace(int Space);
// The default font's handle as it stands (no refresh), -1 when there is none.
int GetDefaultFontHandle(void);
// The creation options (all zero in this system).
void GetFontSystemSettings(FontCreateOptions *Options);

// ---- Text ---------------------------------------------------------------------------------------
//
// Positions are draw-screen pixels of the string's top-left corner; colours are GetColorValue
// values. The font handle -2 (DX_DEFAULT_FONT_HANDLE) is the default font. A line feed starts a
// new line; with VerticalFlag the text runs downwards and its lines go from right to left. The
// edge colour only matters for edged fonts.
//
// On the software renderer text of fonts without anti-aliasing is written straight into the draw
// target when it is drawn opaquely; blended or anti-aliased text goes through a temporary screen
// that is then drawn with the blend mode.

// Formats like printf (the library's own engine, text in the default font's code, at most 2047
// characters) and draws the result with the default font. 0, or -1 when the default font cannot
// be had.
int DrawFormatString(int X, int Y, unsigned int Color, const char *FormatString, ...);
// String in the font's character code. 0 (also for a null or empty string) / -1.
int DrawStringToHandle(int X, int Y, const char *String, unsigned int Color, int FontHandle, unsigned int EdgeColor = 0,
                       int VerticalFlag = 0);
// String in the library's wide code. 0 / -1 (a bad font handle).
int DrawStringToHandleW(int X, int Y, const wchar_t *String, unsigned int Color, int FontHandle,
                        unsigned int EdgeColor = 0, int VerticalFlag = 0);

// ---- The screen and the draw state --------------------------------------------------------------

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
int GetShaderVersion(void);
// 1 unless presents are told not to wait for the vertical blank.
int GetWaitVSyncFlag(void);
int GetPixelCenterNoOffsetFlag(void);
// The background colour: 0, or -1 when none is set (the paint path's fill until start-up ends).
int GetBackgroundColor(int *Red, int *Green, int *Blue);

// ---- Matrices and camera ------------------------------------------------------------------------

// Makes the matrix the current projection. 0.
int SetTransformToProjection(const MATRIX_D *Matrix);
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

// ---- Shaders, buffers, lighting and fog ---------------------------------------------------------
//
// Every device-side object is made and released by the back end through the dispatch layer. On
// the software renderer no shader can be made, and nothing in this system makes a vertex buffer,
// index buffer, shader constant buffer or shadow map, so the calls that take one find none.

// A Shader handle from compiled code: -1 unless the device exists and runs programmable shaders.
// Option is passed to the back end. With ASyncFlag the back-end shader is made by a load job.
int CreateShaderHandle(int IsVertexShader, const void *Code, int CodeSize, int Option, int ASyncFlag, int ASyncThread);
int LoadPixelShaderFromMem(const void *Code, int CodeSize);
// A positive value must be a live Shader handle of the kind (else -1); 0 or less selects none.
int SetUseVertexShader(int ShaderHandle);
int SetUsePixelShader(int ShaderHandle);
// Stage 0-15 (else -1): -1 clears it, a live Graph handle is stored, anything else gives -1.
int SetUseTextureToShader(int Stage, int GraphHandle);
// No vertex or index buffer exists in this system: -1 unless the handle is live.
int SetVertexBufferData(int Start, const void *Source, int Num, int VertexBufferHandle);
int SetIndexBufferData(int Start, const void *Source, int Num, int IndexBufferHandle);
int SetUseLighting(int Flag);
int SetFogEnable(int Flag);
int SetUseZBuffer3D(int Flag);

// Deletes a light. 0, -1 for a handle that is not a live light.
int DeleteLightHandle(int LightHandle);
// Deletes every light, the default light included (which becomes -1). 0.
int DeleteLightHandleAll(void);
// A directional light shining along Direction (normalised): its handle, or -1.
int CreateDirLightHandle(VECTOR Direction);
// Deletes every light but the default light. 0.
int DeleteAllLightHandles(void);

// ---- Displays -----------------------------------------------------------------------------------

// One display mode; all -1 for a mode that does not exist.
struct DISPLAYMODEDATA
{
    int Width, Height;
    int ColorBitDepth;  // bits per pixel
    int RefreshRate;    // Hz
};

// Modes listed for a display (16 bits or more), -1 for a display that does not exist.
int GetDisplayModeNum(int DisplayIndex);
// A listed mode, also written to *Mode when given; all -1 for an index out of range.
DISPLAYMODEDATA GetDisplayMode(DISPLAYMODEDATA *Mode, int ModeIndex, int DisplayIndex);

// Chooses the display used for the window and full screen (before or after start-up). 0, or -1
// for an index outside the display table (the display in use then stays).
int SetUseDisplayIndex(int Index);
// The display chosen by SetUseDisplayIndex, or 0 while none is (the library's start looks for the
// full-screen mode among its modes).
int GetUseDisplayIndex(void);

// ---- Movies shown in graphs ---------------------------------------------------------------------
//
// A file that no image loader accepts is opened as a movie (the movie subsystem plays it).

// The three words a movie is opened with, filled by InitMovieOpenParam (all 0 in this system).
struct MovieOpenParam
{
    int Word0;
    int AlphaFlag;      // a 32-bit frame keeps its alpha
    int DecoderOption;  // handed to the Theora decoder
};

// The fields of a movie's record that its graph reads and writes; the movie subsystem keeps them
// in the record and hands them out through GetMovieGraphFields.
struct MovieGraphFields
{
    int Width, Height;            // the frame's size
    int AlphaLayoutFlag;          // the frame holds the image in its left half and the alpha in its right
    int FrameType;                // 2: the frame image is laid out unlike the screen's pixels
    int UseTheora;                // the library's Theora decoder plays the movie
    int FrameUpdated;             // set by the graph's refresh once a frame went into the graph
    int YGraph, UVGraph;          // the movie's own luma and chroma graphs, -1 = none
    const BASEIMAGE *FrameImage;  // the current frame, or null
};
