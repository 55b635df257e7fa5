// Inside the library: the font handles' records, the font system's state, the glyph cache, the
// GDI back end and font data images. The string drawer reads these records; never included from
// app/.
//
// Everything here runs on the thread that holds the library's API lock, except a font's set-up
// when it runs as an asynchronous load (the handle is then invisible to every lookup until the
// job ends). The GDI back end has one rasterising device context for the process, so glyph
// batches (AddCodesToFontCache) never overlap.
#pragma once

#include <stdint.h>

#include "zovuz/graphics/graph/graph_internal.h"

#define FONT_NAME_LENGTH 256         // units (wide) or bytes (current code) of a face name
#define FONT_CACHE_CELL_MAXNUM 2024  // usable cache cells
#define FONT_CODE_INDEX_NUM 0x10000  // the code index covers every code below this
#define FONT_HIGH_CODE_MAXNUM 1024   // cached codes of 0x10000 and above kept in the index
#define FONT_GRAPH_CHAR_MAXNUM 256   // graph characters of a font
#define FONT_SUBSTITUTION_MAXNUM 16
#define FONT_STRING_BATCH_NUM 1024  // codes a string pre-cache handles without allocating
#define FONT_FALLBACK_CHAR_NUM 128  // graph characters of the fallback font (codes 0-127)
#define FONT_FALLBACK_CHAR_WIDTH 8
#define FONT_FALLBACK_CHAR_HEIGHT 16
#define FONT_SOFT_CACHE_AREA 0x50000  // pixels a software cache aims at
#define FONT_TEXTURE_CACHE_SCREEN_PERCENT 85

// Glyph image formats handed to AddCharToFontCache.
enum FontImageFormat {
    FONT_IMAGE_BIT1 = 0,      // 1 bit a pixel, most significant bit first
    FONT_IMAGE_BIT1_X4 = 1,   // 1 bit a pixel at 4 times the size
    FONT_IMAGE_BIT1_X8 = 2,   // ... 8 times
    FONT_IMAGE_BIT1_X16 = 3,  // ... 16 times (refused: no reduction)
    FONT_IMAGE_GREY4 = 4,     // 4-bit grey, two pixels a byte, high nibble first
    FONT_IMAGE_BYTE_INK = 5,  // one byte a pixel, non-zero = ink
    FONT_IMAGE_LEVEL16 = 6,   // one byte a pixel, levels 0-16
    FONT_IMAGE_LEVEL64 = 7,   // one byte a pixel, levels 0-64
    FONT_IMAGE_LEVEL255 = 8,  // one byte a pixel, levels 0-255
};

struct FontCodeData;

// One glyph-cache cell, also an entry of a font's graph-character table.
struct FontCharData
{
    uint32_t Code;  // Unicode code point (surrogate pairs combined)
    uint8_t InUseFlag;
    uint8_t GraphCharFlag;    // a graph character: CellIndex holds the graph handle
    int16_t DrawX, DrawY;     // where the cell's image goes relative to the pen
    int16_t Advance;          // pen movement
    int16_t Width, Height;    // of the image in the cell (edge included)
    int32_t CellIndex;        // -1 for the end cell; the graph handle of a graph character
    int32_t Column, Row;      // cell position in the cache grid
    FontCodeData *CodeEntry;  // its code-index entry; null for codes of 0x10000 and above
};

// One entry of the code index.
struct FontCodeData
{
    uint32_t InUseFlag;
    FontCharData *Cell;
};

// A substitution font (nothing in this system adds one).
struct FontSubstitutionData
{
    int FontHandle;
    int X, Y;
};

// The metrics of a font; the same fields as the metrics block of a font data image.
struct FontMetrics
{
    uint16_t Thickness;  // times 100 the GDI weight
    uint16_t Size;
    uint16_t LineHeight;
    uint16_t SizeAdjust;  // how much larger the second GDI pass was
    uint8_t Italic;
    uint16_t CellSide;  // the cache cell's side (rounded when the cache is built)
    uint16_t CharSet;   // character-set index 0-7
    uint16_t CodePage;  // of the character set, 65535 = the library's current code
    uint16_t Baseline;
};

// The GDI part of a font record (GDI objects as opaque pointers).
struct FontHandleDataWin
{
    int TextOutModeFlag;  // no glyph outlines: glyphs are drawn with TextOutW into the DIB
    void *DibSection;     // HBITMAP
    void *DibBits;
    int DibPitch;         // bytes
    int DibSize;          // its width and height, pixels
    void *Font;           // HFONT
    void *UnicodeRanges;  // GLYPHSET, owned, or null
    void *OutlineBuffer;  // owned; only grows
    int OutlineBufferSize;
};

// The record of a font handle (type 8).
struct FontHandleData
{
    HandleInfo Info;
    FontHandleDataWin *Win;  // the record's own GDI part (WinData below)
    int *LostFlag;           // receives 1 at the release; may be null
    int FromDataFlag;        // glyphs come from a font data image

    // The font data image: the handle's own copy, and views into it.
    uint8_t *DataImage;         // one block: copy, unpacked header, tables, unpack buffer
    int DataImageSize;          // bytes of the copy
    const uint8_t *DataHeader;  // the unpacked header (first 24 bytes included)
    int DataHeaderSize;
    const uint8_t *DataFirstRecord;  // the first character record
    int DataRecordNum;
    const uint8_t *DataGlyphBase;      // the glyph image data
    int DataGlyphSize;                 // bytes from DataGlyphBase to the end of the copy
    int DataImageFormat;               // 0 = 1 bit, 4 = 4-bit grey, 8 = 8-bit grey
    const uint8_t **DataCodeTable;     // 65536 record pointers by code
    const uint8_t **DataHighCodeList;  // records of codes 0x10000 and above
    int DataHighCodeNum;
    uint8_t *DataUnpackBuffer;  // a packed glyph is expanded here
    int DataUnpackSize;

    FontCharData Cells[FONT_CACHE_CELL_MAXNUM + 1];  // the last one is the end cell
    FontCodeData CodeIndex[FONT_CODE_INDEX_NUM];
    int HighCodeNum;  // cached codes of 0x10000 and above, oldest first
    FontCharData *HighCodeList[FONT_HIGH_CODE_MAXNUM];
    int NextCell;   // the cell the next new glyph takes
    int CellCount;  // usable cells

    uint8_t *SoftCacheBuffer;  // software cache: one cell wide, the cells stacked
    int SoftCachePitch;        // bytes
    int SoftCacheBitDepth;     // 1 or 8

    int GraphCharNum;
    FontCharData GraphChars[FONT_GRAPH_CHAR_MAXNUM];
    int SubstitutionNum;
    FontSubstitutionData Substitutions[FONT_SUBSTITUTION_MAXNUM];

    char FaceName[FONT_NAME_LENGTH];      // in the library's current code
    wchar_t FaceNameW[FONT_NAME_LENGTH];  // empty: the GDI default face
    FontMetrics Metrics;

    int CharCodeFormat;  // of the font's strings, -1 = the character set's
    int Space;           // extra pixels between characters
    int LineSpaceValidFlag;
    int LineSpace;
    int FontType;  // DX_FONTTYPE_*
    int EdgeSize;  // 1 or more for edged types, else 0

    int CacheWidth, CacheHeight;  // one layer of the cache image, pixels
    int CacheRows;                // cells in one column
    uint8_t *WorkBuffer;          // (cell side + 4)^2 bytes
    int WorkBufferSize;
    int CacheGraph;                   // the cache texture graph, -1 = none
    int EdgeGraph;                    // its right half (edged types), -1 = none
    int CacheGraphLostFlag;           // 1 once the cache graph is gone
    BASEIMAGE CacheImage;             // texture cache: the system-memory image, twice as wide when edged
    int CacheColorBitDepth;           // 16 or 32
    int PremulAlphaFlag;              // 0 in this system
    int TextureWidth, TextureHeight;  // the cache texture's real size
    float TextureInvWidth, TextureInvHeight;
    uint8_t PendingUpdateFlag;  // PendingRect has not reached the texture yet
    ImageRect PendingRect;
    int TextureCacheFlag;  // 1: the cache is a texture graph; 0: the software image

    FontHandleDataWin WinData;
};

// The font system's global state.
struct FontSystemData
{
    int StartedFlag;
    int DefaultFontHandle;         // -1 when there is none (the handle's delete notify)
    int DefaultFontRequestedType;  // the type setting the default font was made for

    // The default settings.
    wchar_t FaceName[FONT_NAME_LENGTH];  // empty = the default face
    int Size;                            // 16
    int Thickness;                       // 6
    int Type;                            // 0
    int CharSet;                         // the library's character set
    int CharSetChangedFlag;
    int EdgeSize;  // 1
    int Italic;    // 0
    int Space;     // 0
    int LineSpaceValidFlag;
    int LineSpace;
    // Raised by a setter called before the start: the start keeps that value.
    int FaceNameSetFlag, SizeSetFlag, ThicknessSetFlag, TypeSetFlag, CharSetSetFlag;
    int EdgeSizeSetFlag, ItalicSetFlag, SpaceSetFlag, LineSpaceSetFlag;

    uint32_t IdeographicSpaceCode;  // U+3000 in the library's wide code

    // The fallback font (when GDI cannot make the default font).
    int FallbackInUseFlag;
    uint8_t *FallbackGlyphImage;  // the unpacked glyph image (ARGB, 16 x 8 characters)
    int FallbackGraphs[FONT_FALLBACK_CHAR_NUM];

    // Tables built at the start (the level scales: 0-16, 0-64; grey 4 and 8 bits to them).
    uint8_t BitCount[256];  // set bits of each byte
    uint8_t Grey4To16[16];
    uint8_t Grey4To64[16];
    uint8_t Grey8To16[256];
    uint8_t Grey8To64[256];

    // The string pre-cache's arrays for strings of up to FONT_STRING_BATCH_NUM characters.
    uint32_t BatchCodes[FONT_STRING_BATCH_NUM];
    uint32_t BatchNewCodes[FONT_STRING_BATCH_NUM];
};
extern FontSystemData FontSystem;

// ---- Font system and handles -----------------------------------------------------------------

// Copies a face name, cut to DestUnits - 1 units and terminated; a null Src copies as empty.
inline void CopyFaceName(wchar_t *Dest, const wchar_t *Src, int DestUnits = FONT_NAME_LENGTH)
{
    int i = 0;
    if (Src != nullptr)
        for (; i < DestUnits - 1 && Src[i] != 0; ++i) Dest[i] = Src[i];
    Dest[i] = 0;
}

// The parts of a font type (DX_FONTTYPE_*).
inline bool IsEdgedType(int Type) { return (Type & DX_FONTTYPE_EDGE) != 0; }
inline bool IsAntiAliasedType(int Type) { return (Type & DX_FONTTYPE_ANTIALIASING) != 0; }

// Start (inside graphics start-up) and end (inside its end). 0, or -1 when already started / not
// started.
int InitializeFontSystem(void);
int TerminateFontSystem(void);
// Deletes every font; unless ending, makes the default font again (with its old settings). 0.
int InitFontToHandle(int EndingFlag);
// Fills the record of an existing handle: the GDI font, its metrics and the glyph cache. 0 / -1.
int SetupFontHandle(const FontCreateOptions *Options, int FontHandle, const wchar_t *FontName, int Size, int Thickness,
                    int FontType, int CharSet, int EdgeSize, int Italic, int ASyncFlag);
// Brings the default font in line with the settings. 0, or -1 when the fallback cannot be built.
int RefreshDefaultFont(void);
// Makes every font again under its handle value (after a device reset). 0, or -1 when the font
// type is not registered.
int ReCreateAllFontHandles(void);
// The handle type's callbacks.
int InitializeFontHandle(HandleInfo *Info);
int TerminateFontHandle(HandleInfo *Info);
// The record of a live font, or null; a font still loading only with AllowLoading (-2 is not
// resolved here).
inline FontHandleData *GetFontEntry(int FontHandle, int AllowLoading)
{
    return GetTypedHandle<FontHandleData>(FontHandle, DX_HANDLETYPE_FONT, AllowLoading);
}
// A font's record (-2: the default font, brought up to date first), or null.
FontHandleData *GetFontHandleData(int FontHandle);

// The default font's settings across a graphics restart (the screen-mode change's reset road).
struct DefaultFontStateSave
{
    int ValidFlag;
    wchar_t FaceName[FONT_NAME_LENGTH];
    int Size, Thickness, Type, CharSet, EdgeSize, Italic, Space;
};
void SaveDefaultFontState(DefaultFontStateSave *Save);
void RestoreDefaultFontState(const DefaultFontStateSave *Save);

// ---- The glyph cache -------------------------------------------------------------------------

// Sizes and builds the cache of a font whose metrics are set. 0 / -1.
int CreateFontToHandle(const FontCreateOptions *Options, FontHandleData *Font, int ASyncFlag);
// Makes the cache texture graph (and the edge-layer graph) again when it was lost. 0 / -1.
int CreateFontCacheGraph(FontHandleData *Font, int ASyncFlag);
// Empties the cache and lays out the cells. 0.
int ResetFontCache(FontHandleData *Font, int ASyncFlag);
// A code's cell, rasterising the code when it is missing (graph characters first with
// SearchGraphChar); null when it cannot be had.
FontCharData *GetFontCacheCharData(FontHandleData *Font, uint32_t Code, FontHandleData **FontOut, int *AddX, int *AddY,
                                   int SearchGraphChar, int LogFlag);
// Decodes a string (Length units, or up to the terminator when negative) and rasterises every
// code it lacks in one batch. Codes (room for the string's characters) and CharNum may be null.
int AddStringToFontCache(FontHandleData *Font, const wchar_t *String, int Length, uint32_t *Codes, int *CharNum);
// Rasterises codes into the next cells: the last cell written, or null.
FontCharData *AddCodesToFontCache(int Count, const uint32_t *Codes, FontHandleData *Font, int UpdateTextureFlag);
// Writes one glyph into one cell. 0, or -1 for a format the font cannot take (the cell is then
// left empty).
int AddCharToFontCache(FontHandleData *Font, FontCharData *Cell, uint32_t Code, int NoImageFlag, int ImageFormat,
                       const void *Image, int Width, int Height, int Pitch, int X, int Y, int Advance,
                       int UpdateTextureFlag);
// The pending rectangle of the cache image grows; the flush copies it to the texture. 0.
int ExtendFontCacheUpdateRect(FontHandleData *Font, const ImageRect *Rect);
int FlushFontCacheTexture(FontHandleData *Font);
// One character of UTF-16 text (native order for code page 1200, byte-swapped otherwise): the
// code, and its size in bytes through Bytes (may be null). A high surrogate with no second unit
// before the terminator gives U+FFFD and 2 bytes.
uint32_t DecodeWideChar(const wchar_t *String, int CodePage, int *Bytes);
// The same reading at most Units units (U+FFFD for a pair cut short).
uint32_t DecodeWideCharN(const wchar_t *String, int Units, int CodePage, int *Bytes);

// The cache sizes the glyph cache chooses (for a cell of Side pixels). Texture: the image grows
// from 8 x 8 until it holds 2024 cells, covers 85 % of the screen with 10 cells or more, or both
// sides reach MaxTextureSize. Software: one cell wide, max(0x50000 / side^2, 20) cells, at most 2024.
void CalcFontTextureCacheSize(int Side, int ScreenWidth, int ScreenHeight, int MaxTextureSize, int *Width, int *Height,
                              int *CellCount);
int CalcFontSoftCacheCellCount(int Side);
// The cell side and line height of the cache from the font's metrics.
void CalcFontCacheCellSide(int CellSideMetric, int LineHeight, int EdgeSize, int *CellSide, int *LineHeightOut);

// ---- The GDI back end (windows/font_gdi_win.cpp) ---------------------------------------------

// Creates the GDI font and fills the metrics (at once 0 for a font data font). 0 / -1.
int CFont(const FontCreateOptions *Options, FontHandleData *Font, int CheckFaceFlag);
int DeleteFontHandleGDIFont(FontHandleData *Font);
int TerminateFontHandleGDI(FontHandleData *Font);
// The rasterising device context around a batch of glyphs. 0 / -1.
int SetupFontCacheDC(FontHandleData *Font);
int EndFontCacheDC(FontHandleData *Font);
// Rasterises one character into the cell. 0 / -1.
int RenderGlyphGDI(FontHandleData *Font, FontCharData *Cell, uint32_t Code, int UpdateTextureFlag);

// Font family enumeration.
struct FontFamilyEnumData
{
    wchar_t *NameBuffer;  // FONT_FAMILY_NAME_UNITS units a name, or null to count
    int Count;
    int MaxCount;   // 0 = no limit
    int FoundFlag;  // without a buffer: the face was among the families
    const wchar_t *FaceName;
    int JapaneseOnlyFlag;  // mode 0: only TrueType faces of a Japanese script
};
#define FONT_FAMILY_NAME_UNITS 64  // 128 bytes a name
int EnumInstalledFontFamilies(FontFamilyEnumData *Data, int Mode, int CharSet);
int EnumFontFamilyNames(wchar_t *NameBuffer, int NameCount, const wchar_t *FaceName, int CharSet);

// What the GDI back end does differently for tests: fonts without outlines and fonts that cannot be
// made do not occur on this platform's font set.
struct FontGDITestHooksData
{
    int NoOutlineFlag;   // every font answers like one without glyph outlines
    int FailCreateFlag;  // every font creation fails
};
extern FontGDITestHooksData FontGDITestHooks;

// ---- Font data images, graph characters and the fallback font --------------------------------

// Fills the record from a font data image (copied). 0 / -1.
int SetupFontHandleFromData(const FontCreateOptions *Options, int FontHandle, const void *Image, int ImageSize,
                            int EdgeSize, int ASyncFlag);
// The glyph of a font data character record: image, format, size, pitch, offsets and advance, with
// a packed image expanded into the unpack buffer. 0, or -1 when the record points outside the
// image or does not unpack.
struct FontDataGlyph
{
    const uint8_t *Image;
    int Format;  // FONT_IMAGE_BIT1, _GREY4 or _LEVEL255
    int Width, Height, Pitch;
    int X, Y, Advance;
};
int GetFontDataGlyph(FontHandleData *Font, const uint8_t *Record, FontDataGlyph *Glyph);
// The character record of a code, or null.
const uint8_t *GetFontDataCharRecord(FontHandleData *Font, uint32_t Code);
// A graph character of the font, or null.
FontCharData *GetFontGraphChar(FontHandleData *Font, uint32_t Code);
// Makes the fallback font the default font. 0, or -1 when its glyph image cannot be had.
int SetupFallbackFont(void);
// Releases the fallback's glyph image and graphs (the font system's end).
void TerminateFallbackFont(void);
// The fallback's 8 x 16 glyphs of codes 0-127, 16 bytes (rows) each, most significant bit left.
extern const uint8_t FallbackFontGlyphs[FONT_FALLBACK_CHAR_NUM][FONT_FALLBACK_CHAR_HEIGHT];
