// ZoVuz graphics: font handles and the default font; part of the public graphics API
// (zovuz_graphics.h includes it).
//
// A font handle holds a GDI font (or a prepared font data image) and a glyph cache that turns
// characters into small images on demand. The value -2 stands for the default font wherever a
// font handle is taken: before it is used, the default font is made again when one of the
// default settings below has changed since it was made. The font system runs while graphics run;
// after a device reset every font is made again under its old handle value.
#pragma once

#include <stdint.h>

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
