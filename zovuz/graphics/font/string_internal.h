// Inside the graphics layer: the one routine that lays out, draws and measures a string with a
// font handle, and what the string drawing entry points share with it. Never included from app/.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/font/font_internal.h"

// Code points a string may have before its decoding needs an allocated buffer.
#define DRAW_STRING_CODE_BUFFER_NUM 1024

// One character of a measured or drawn string (32 bytes). In vertical writing the two positions
// trade places, and so do the two sizes.
struct DrawStringCharInfo
{
    char Char[13];      // the character in the library's current code (bytes 0 to 2 cleared first)
    uint8_t Bytes;      // its length in bytes
    uint16_t Reserved;  // not written
    float DrawX;        // pen origin x + advance offset
    float DrawY;        // pen origin y + line offset
    float SizeX;        // (advance + spacing) x advance scale; 0 for a line feed
    float SizeY;        // the line height
};
static_assert(sizeof(DrawStringCharInfo) == 32, "a character record is 32 bytes");

// Which parts of an edged font DrawStringCore draws.
#define DRAW_STRING_PARTS_ALL 0
#define DRAW_STRING_PARTS_BODY 1
#define DRAW_STRING_PARTS_EDGE 2

// The arguments of DrawStringCore, in the order the routine takes them.
struct DrawStringCoreParam
{
    int DrawFlag;  // 1 = draw; anything else measures only
    int X, Y;      // pen origin with IntPositionFlag
    float XF, YF;  // pen origin otherwise
    int IntPositionFlag;
    int ScaleValidFlag;  // 0: both scales are 1.0
    double ScaleX, ScaleY;
    int RotateValidFlag;
    float RotateCenterX, RotateCenterY;  // relative to the unrotated origin, unscaled pixels
    double RotateAngle;                  // radians
    const wchar_t *String;               // may be null
    uint32_t Color;                      // in the screen's colour format
    MEMIMG *DestImage;                   // non-null: the glyph pixels are written straight into it
    const ImageRect *ClipRect;           // of DestImage
    int TransFlag;                       // DestImage: 0 writes empty glyph pixels too (as 0)
    FontHandleData *Font;
    uint32_t EdgeColor;  // in the screen's colour format
    int Length;          // units to use; negative: up to the terminator
    int VerticalFlag;
    int *SizeOut;                   // two ints: width and height of the block, or null
    int *LineCountOut;              // or null
    DrawStringCharInfo *CharInfo;   // or null
    unsigned int CharInfoCapacity;  // records are written below this index only
    int *CharInfoNumOut;            // characters processed, or null
    int OnlyParts;                  // DRAW_STRING_PARTS_*
};

// Draws or measures. The width of the widest line (truncated toward zero), 0 for a null or empty
// string, -1 on failure (a texture cache without a valid device, a scale or rotation without a
// texture cache or with a destination image, a failed allocation).
int DrawStringCore(const DrawStringCoreParam *Param);

// The two roads of DrawStringToHandleW. The texture road draws with the graph drawers (fonts whose
// cache is a texture; PassFlag picks integer positions); the software road draws opaque text of
// fonts without anti-aliasing straight into the software draw target, anything else through a
// temporary screen. Each 0.
int DrawStringToHandleHardware(int X, int Y, float XF, float YF, int PassFlag, const wchar_t *String,
                               unsigned int Color, FontHandleData *Font, unsigned int EdgeColor, int VerticalFlag);
int DrawStringToHandleSoftware(int X, int Y, const wchar_t *String, unsigned int Color, FontHandleData *Font,
                               unsigned int EdgeColor, int VerticalFlag);

// The string-drawing state.
struct StringDrawData
{
    int DrawingFlag;                                   // 1 from DrawStringCore's entry to its exit
    uint32_t CodeBuffer[DRAW_STRING_CODE_BUFFER_NUM];  // decoded code points of a short string
    uint32_t TempScreenKey;                            // the temporary screen's last transparent value
};
extern StringDrawData StringDraw;
