// The GDI font back end: a font handle's Windows font and metrics, the rasterising device
// context, single glyphs drawn into cache cells, and font family enumeration.
#include <windows.h>

#include <string.h>

#include "zovuz/graphics/font/font_internal.h"

FontGDITestHooksData FontGDITestHooks = {};

namespace {

// The face used when a font names none.
const wchar_t DefaultFaceName[] = L"ＭＳ ゴシック";

constexpr BYTE GdiCharSets[DX_CHARSET_NUM] = {
    DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGUL_CHARSET, CHINESEBIG5_CHARSET,
    GB2312_CHARSET,  ANSI_CHARSET,     ANSI_CHARSET,   DEFAULT_CHARSET,
};

// The process-wide rasterising context (one glyph batch at a time).
struct FontCacheDCData
{
    HDC Dc;
    HGDIOBJ OldFont;
    HGDIOBJ OldBitmap;
    TEXTMETRICW TextMetric;  // of the font selected (the ascent places glyphs)
};
FontCacheDCData FontCacheDC = {};

const MAT2 IdentityMatrix = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

BYTE GdiCharSet(int CharSet)
{
    return CharSet >= 0 && CharSet < DX_CHARSET_NUM ? GdiCharSets[CharSet] : (BYTE)DEFAULT_CHARSET;
}

int FontScale(int Type)
{
    return Type == DX_FONTTYPE_ANTIALIASING_4X4 || Type == DX_FONTTYPE_ANTIALIASING_EDGE_4X4   ? 4
           : Type == DX_FONTTYPE_ANTIALIASING_8X8 || Type == DX_FONTTYPE_ANTIALIASING_EDGE_8X8 ? 8
                                                                                               : 1;
}

HFONT CreateFace(int Height, int Weight, int Italic, BYTE CharSet, const wchar_t *Face)
{
    if (FontGDITestHooks.FailCreateFlag) return nullptr;
    return CreateFontW(Height, 0, 0, 0, Weight, (DWORD)Italic, FALSE, FALSE, CharSet, 0, 0, NONANTIALIASED_QUALITY,
                       FIXED_PITCH, Face);
}

// Family names collected by the enumeration (mode 1; mode 0 may keep Japanese TrueType faces only).
bool CollectFamilyName(FontFamilyEnumData &Data, const wchar_t *Name)
{
    if (Name[0] == L'@') return true;
    for (int i = 0; i < Data.Count; ++i)
        if (wcscmp(Data.NameBuffer + i * FONT_FAMILY_NAME_UNITS, Name) == 0) return true;
    CopyFaceName(Data.NameBuffer + Data.Count * FONT_FAMILY_NAME_UNITS, Name, FONT_FAMILY_NAME_UNITS);
    ++Data.Count;
    return Data.MaxCount == 0 || Data.Count < Data.MaxCount;
}

int CALLBACK EnumFamilyCallback(const LOGFONTW *LogFont, const TEXTMETRICW *, DWORD, LPARAM Param)
{
    FontFamilyEnumData &data = *(FontFamilyEnumData *)Param;
    const wchar_t *name = LogFont->lfFaceName;
    if (data.NameBuffer == nullptr) {
        if (data.FaceName != nullptr && wcscmp(name, data.FaceName) == 0) data.FoundFlag = 1;
        if (name[0] != L'@') ++data.Count;
        return 1;
    }
    return CollectFamilyName(data, name) ? 1 : 0;
}

int CALLBACK EnumFontNameCallback(const LOGFONTW *LogFont, const TEXTMETRICW *, DWORD FontType, LPARAM Param)
{
    FontFamilyEnumData &data = *(FontFamilyEnumData *)Param;
    if (data.JapaneseOnlyFlag) {
        const ENUMLOGFONTEXW *font = (const ENUMLOGFONTEXW *)LogFont;
        if (!(FontType & TRUETYPE_FONTTYPE) ||
            (wcscmp(font->elfScript, L"日本語") != 0 && wcscmp(font->elfScript, L"日文") != 0))
            return 1;
    }
    if (data.NameBuffer == nullptr) {
        ++data.Count;
        return 1;
    }
    return CollectFamilyName(data, LogFont->lfFaceName) ? 1 : 0;
}

// The face is one of the families the character set offers (a vertical-writing "@" aside).
bool FaceExistsInCharSet(const wchar_t *Face, int CharSet)
{
    const wchar_t *name = Face[0] == L'@' ? Face + 1 : Face;
    wchar_t first[16 * FONT_FAMILY_NAME_UNITS];
    wchar_t *names = first;
    int count = EnumFontFamilyNames(first, 16, name, CharSet);
    if (count == 16) {
        const int all = EnumFontFamilyNames(nullptr, 0, name, CharSet);
        wchar_t *more = all > 0 ? (wchar_t *)DXALLOC(sizeof(wchar_t) * FONT_FAMILY_NAME_UNITS * (size_t)all) : nullptr;
        if (more != nullptr) {
            names = more;
            count = EnumFontFamilyNames(more, all, name, CharSet);
        }
    }
    bool found = false;
    for (int i = 0; i < count && !found; ++i) found = wcscmp(names + i * FONT_FAMILY_NAME_UNITS, name) == 0;
    if (names != first) DXFREE(names);
    return found;
}

// The TextOut-mode DIB: an 8-bit top-down square of the cell-side metric. 0 / -1.
int CreateTextOutDib(FontHandleData &Font, HDC Dc)
{
    FontHandleDataWin &w = *Font.Win;
    const int side = Font.Metrics.CellSide;
    BITMAPINFO *info = (BITMAPINFO *)DXCALLOC(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    if (info == nullptr) {
        AddLogStringWide(L"メモリの確保に失敗しました in CFont");
        return -1;
    }
    BITMAPINFOHEADER &h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = side;
    h.biHeight = -side;
    h.biPlanes = 1;
    h.biBitCount = 8;
    h.biCompression = BI_RGB;
    h.biSizeImage = (DWORD)(side * side);
    for (int i = 0; i < 256; ++i) info->bmiColors[i] = RGBQUAD{(BYTE)i, 0, (BYTE)i, 0};
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(Dc, info, DIB_PAL_COLORS, &bits, nullptr, 0);
    DXFREE(info);
    if (dib == nullptr) return 0;
    BITMAP bitmap;
    GetObjectW(dib, sizeof(bitmap), &bitmap);
    w.DibSection = dib;
    w.DibBits = bits;
    w.DibPitch = bitmap.bmWidthBytes;
    w.DibSize = side;
    return 0;
}

// Glyph outline format and cache image format of a font type.
void OutlineFormat(const FontHandleData &Font, UINT *Ggo, int *ImageFormat)
{
    switch (Font.FontType) {
        case DX_FONTTYPE_ANTIALIASING_4X4:
        case DX_FONTTYPE_ANTIALIASING_EDGE_4X4:
            *Ggo = GGO_BITMAP;
            *ImageFormat = FONT_IMAGE_BIT1_X4;
            return;
        case DX_FONTTYPE_ANTIALIASING_8X8:
        case DX_FONTTYPE_ANTIALIASING_EDGE_8X8:
            *Ggo = GGO_BITMAP;
            *ImageFormat = FONT_IMAGE_BIT1_X8;
            return;
        case DX_FONTTYPE_ANTIALIASING:
        case DX_FONTTYPE_ANTIALIASING_EDGE:
            if (Font.TextureCacheFlag && Font.CacheColorBitDepth == 32) {
                *Ggo = GGO_GRAY8_BITMAP;
                *ImageFormat = FONT_IMAGE_LEVEL64;
            } else {
                *Ggo = GGO_GRAY4_BITMAP;
                *ImageFormat = FONT_IMAGE_LEVEL16;
            }
            return;
        default:
            *Ggo = GGO_BITMAP;
            *ImageFormat = FONT_IMAGE_BIT1;
            return;
    }
}

int ToUtf16(uint32_t Code, wchar_t *Units)
{
    if (Code > 0xFFFF) {
        Units[0] = (wchar_t)(0xD800 | ((Code - 0x10000) >> 10));
        Units[1] = (wchar_t)(0xDC00 | ((Code - 0x10000) & 0x3FF));
        return 2;
    }
    Units[0] = (wchar_t)Code;
    return 1;
}

int RenderGlyphTextOut(FontHandleData &Font, FontCharData *Cell, uint32_t Code, int UpdateTextureFlag)
{
    FontHandleDataWin &w = *Font.Win;
    if (w.DibBits == nullptr) return -1;
    wchar_t units[2];
    const int count = ToUtf16(Code, units);
    SIZE extent = {};
    GetTextExtentPoint32W(FontCacheDC.Dc, units, count, &extent);
    TextOutW(FontCacheDC.Dc, 0, 0, units, count);
    GdiFlush();
    // A wider or taller extent than the DIB is cut to it.
    const int side = w.DibSize;
    const int width = extent.cx < side ? extent.cx : side, height = extent.cy < side ? extent.cy : side;
    return AddCharToFontCache(&Font, Cell, Code, 0, FONT_IMAGE_BYTE_INK, w.DibBits, width, height, w.DibPitch, 0, 0,
                              extent.cx, UpdateTextureFlag);
}

// Creates the font at the type's scale, taking the leading out of the size; leaves the font in
// the record, its metrics in *Metrics and the device context it is selected into in *Dc. 0 / -1.
int CreateScaledFont(FontHandleData *Font, int CheckFaceFlag, const wchar_t *Face, HDC *Dc, TEXTMETRICW *Metrics)
{
    FontHandleDataWin &w = *Font->Win;
    FontMetrics &m = Font->Metrics;
    const int scale = FontScale(Font->FontType);
    const int height = m.Size * scale;
    const int weight = m.Thickness * 100;
    int adjust = 0, firstHeight = 0;
    for (int pass = 0;; ++pass) {
        DeleteFontHandleGDIFont(Font);
        HFONT font = nullptr;
        if (Face[0] == 0) {
            font = CreateFace(height + adjust, weight, m.Italic, GdiCharSet(m.CharSet), DefaultFaceName);
        } else {
            if (CheckFaceFlag && !FaceExistsInCharSet(Face, m.CharSet)) m.CharSet = DX_CHARSET_DEFAULT;
            const BYTE sets[] = {GdiCharSet(m.CharSet), DEFAULT_CHARSET, SHIFTJIS_CHARSET};
            for (BYTE set : sets)
                if (font == nullptr) font = CreateFace(height + adjust, weight, m.Italic, set, Face);
            if (font == nullptr) return AddLogStringWide(L"指定のフォントの作成に失敗しました\n");
        }
        if (font == nullptr) {
            font = CreateFace(height + adjust, weight, 0, DEFAULT_CHARSET, DefaultFaceName);
            if (font == nullptr) font = CreateFace(height + adjust, weight, 0, DEFAULT_CHARSET, L"");
            Font->FaceNameW[0] = 0;
            if (font == nullptr) return AddLogStringWide(L"フォントの作成に失敗しました\n");
        }
        w.Font = font;
        LOGFONTW logFont = {};
        GetObjectW(font, sizeof(logFont), &logFont);
        CopyFaceName(Font->FaceNameW, logFont.lfFaceName);

        HDC dc = CreateCompatibleDC(nullptr);
        if (dc == nullptr) {
            const DWORD error = GetLastError();
            AddLogStringWide(L"デバイスコンテキストの取得に失敗しました\n");
            return LogPlatformFailure(L"CreateCompatibleDC", error);
        }
        SelectObject(dc, font);
        GetTextMetricsW(dc, Metrics);
        const TEXTMETRICW &tm = *Metrics;
        const int leading = tm.tmInternalLeading + tm.tmExternalLeading;
        if (pass == 1 || leading < 1 || tm.tmHeight <= leading) {
            m.SizeAdjust = (uint16_t)(pass == 1 ? (tm.tmHeight - firstHeight) / scale : 0);
            *Dc = dc;
            return 0;
        }
        // Once more, larger, so that the height without the leading is the size asked for.
        firstHeight = tm.tmHeight;
        const int wanted = (int)((float)height / (1.0f - (float)leading / (float)tm.tmHeight));
        adjust = wanted - height;
        DeleteDC(dc);
    }
}

// GetFontUnicodeRanges, looked up at run time (older systems lack it): null when missing.
typedef DWORD(WINAPI *GetFontUnicodeRangesFn)(HDC, LPGLYPHSET);
GetFontUnicodeRangesFn FindGetFontUnicodeRanges(void)
{
    HMODULE gdi = GetModuleHandleW(L"gdi32.dll");
    return gdi != nullptr ? (GetFontUnicodeRangesFn)(void (*)(void))GetProcAddress(gdi, "GetFontUnicodeRanges")
                          : nullptr;
}

}  // namespace

// ---- The font -----------------------------------------------------------------------------------

int CFont(const FontCreateOptions *, FontHandleData *Font, int CheckFaceFlag)
{
    if (GetWindowDestroyedFlag()) return -1;
    if (Font->FromDataFlag) return 0;
    FontHandleDataWin &w = *Font->Win;
    FontMetrics &m = Font->Metrics;
    wchar_t face[FONT_NAME_LENGTH];
    CopyFaceName(face, Font->FaceNameW);

    HDC dc = nullptr;
    TEXTMETRICW tm = {};
    for (;;) {
        if (CreateScaledFont(Font, CheckFaceFlag, face, &dc, &tm) < 0) return -1;
        GLYPHMETRICS gm;
        if (FontGDITestHooks.NoOutlineFlag ||
            GetGlyphOutlineW(dc, L' ', GGO_BITMAP, &gm, 0, nullptr, &IdentityMatrix) == GDI_ERROR) {
            w.TextOutModeFlag = 1;
            Font->CacheColorBitDepth = 16;
            // Without outlines there are no grey levels: anti-aliased types fall back to plain or
            // edged, and a font made larger for the block reduction is made again at its size.
            const int scale = FontScale(Font->FontType);
            Font->FontType &= DX_FONTTYPE_EDGE;
            if (scale > 1) {
                DeleteDC(dc);
                continue;
            }
        }
        break;
    }

    const int scale = FontScale(Font->FontType);
    m.CellSide = (uint16_t)(m.Italic ? (tm.tmMaxCharWidth * 135 / scale + 540) / 100 : tm.tmMaxCharWidth / scale + 4);
    m.LineHeight = (uint16_t)(tm.tmHeight / scale + 1);
    m.Baseline = (uint16_t)(tm.tmAscent / scale + (tm.tmAscent % scale >= scale / 2 ? 1 : 0));

    w.UnicodeRanges = nullptr;
    const GetFontUnicodeRangesFn getRanges = FindGetFontUnicodeRanges();
    if (getRanges != nullptr) {
        const DWORD size = getRanges(dc, nullptr);
        if (size > 0) {
            w.UnicodeRanges = DXALLOC(size);
            if (w.UnicodeRanges == nullptr) {
                DeleteDC(dc);
                DeleteFontHandleGDIFont(Font);
                AddLogStringWide(L"フォントが持つ文字の情報を格納するメモリの確保に失敗しました");
                return -1;
            }
            getRanges(dc, (LPGLYPHSET)w.UnicodeRanges);
        }
    }

    w.DibSection = w.DibBits = nullptr;
    w.DibPitch = w.DibSize = 0;
    if (w.TextOutModeFlag && CreateTextOutDib(*Font, dc) < 0) {
        DeleteDC(dc);
        return -1;
    }
    DeleteDC(dc);
    return 0;
}

int DeleteFontHandleGDIFont(FontHandleData *Font)
{
    FontHandleDataWin &w = *Font->Win;
    if (w.Font != nullptr) DeleteObject((HFONT)w.Font);
    w.Font = nullptr;
    return 0;
}

int TerminateFontHandleGDI(FontHandleData *Font)
{
    FontHandleDataWin &w = *Font->Win;
    DXFREE(w.OutlineBuffer);
    w.OutlineBuffer = nullptr;
    w.OutlineBufferSize = 0;
    DeleteFontHandleGDIFont(Font);
    if (w.DibSection != nullptr) DeleteObject((HBITMAP)w.DibSection);
    w.DibSection = nullptr;
    w.DibBits = nullptr;
    DXFREE(w.UnicodeRanges);
    w.UnicodeRanges = nullptr;
    return 0;
}

// ---- Rasterising ----------------------------------------------------------------------------------

int SetupFontCacheDC(FontHandleData *Font)
{
    FontCacheDCData &c = FontCacheDC;
    FontHandleDataWin &w = *Font->Win;
    c.Dc = CreateCompatibleDC(nullptr);
    if (c.Dc == nullptr)
        return AddLogStringWide(L"テキストキャッシュサーフェスのデバイスコンテキストの取得に失敗しました");
    c.OldFont = SelectObject(c.Dc, (HFONT)w.Font);
    if (c.OldFont == nullptr || c.OldFont == HGDI_ERROR) {
        DeleteDC(c.Dc);
        c = FontCacheDCData();
        return AddLogStringWide(L"テキストキャッシュサーフェスのデバイスコンテキストの取得に失敗しました");
    }
    GetTextMetricsW(c.Dc, &c.TextMetric);
    c.OldBitmap = nullptr;
    if (w.TextOutModeFlag && w.DibSection != nullptr) {
        c.OldBitmap = SelectObject(c.Dc, (HBITMAP)w.DibSection);
        SetTextColor(c.Dc, RGB(255, 255, 255));
        SetBkColor(c.Dc, RGB(0, 0, 0));
        SetBkMode(c.Dc, OPAQUE);
    }
    return 0;
}

int EndFontCacheDC(FontHandleData *)
{
    FontCacheDCData &c = FontCacheDC;
    if (c.Dc == nullptr) return 0;
    SelectObject(c.Dc, c.OldFont);
    if (c.OldBitmap != nullptr) SelectObject(c.Dc, c.OldBitmap);
    DeleteDC(c.Dc);
    c = FontCacheDCData();
    return 0;
}

int RenderGlyphGDI(FontHandleData *Font, FontCharData *Cell, uint32_t Code, int UpdateTextureFlag)
{
    FontHandleDataWin &w = *Font->Win;
    HDC dc = FontCacheDC.Dc;
    if (dc == nullptr) return -1;
    if (w.TextOutModeFlag) return RenderGlyphTextOut(*Font, Cell, Code, UpdateTextureFlag);

    const bool blank = Code == 32 || Code == FontSystem.IdeographicSpaceCode;
    UINT ggo;
    int imageFormat;
    OutlineFormat(*Font, &ggo, &imageFormat);
    UINT glyph = Code;
    if (Code > 0xFFFF) {
        wchar_t units[2];
        ToUtf16(Code, units);
        WCHAR glyphs[2] = {};
        GCP_RESULTSW results = {};
        results.lStructSize = sizeof(results);
        results.lpGlyphs = glyphs;
        results.nGlyphs = 2;
        if (GetCharacterPlacementW(dc, units, 2, 0, &results, GCP_GLYPHSHAPE) == 0)
            return AddLogStringWide(L"Win32API GetCharacterPlacement が失敗しました\n");
        glyph = glyphs[0];
        ggo |= GGO_GLYPH_INDEX;
    }

    GLYPHMETRICS gm = {};
    const DWORD size = GetGlyphOutlineW(dc, glyph, ggo, &gm, 0, nullptr, &IdentityMatrix);
    if (size == GDI_ERROR) return AddLogStringWide(L"Win32API GetGlyphOutline が失敗しました\n");
    if (blank) return AddCharToFontCache(Font, Cell, Code, 1, imageFormat, nullptr, 0, 0, 0, 0, 0, gm.gmCellIncX, 0);
    if (size == 0 || gm.gmBlackBoxY == 0)
        return AddCharToFontCache(Font, Cell, Code, 1, imageFormat, nullptr, 0, 0, 0, 0, 0, 0, UpdateTextureFlag);

    // Zeroed rows above the glyph let the block reduction read whole blocks.
    const int pitch = (int)(size / gm.gmBlackBoxY) & ~3;
    const int need = ((int)gm.gmBlackBoxY + 2) * pitch + (int)size;
    if (w.OutlineBufferSize < need) {
        DXFREE(w.OutlineBuffer);
        w.OutlineBufferSize = 0;
        w.OutlineBuffer = DXALLOC((size_t)need);
        if (w.OutlineBuffer == nullptr)
            return AddLogStringWide(L"アンチエイリアス文字取得用バッファの確保に失敗しました");
        w.OutlineBufferSize = need;
    }
    memset(w.OutlineBuffer, 0, (size_t)need);
    uint8_t *image = (uint8_t *)w.OutlineBuffer + ((int)gm.gmBlackBoxY + 1) * pitch;
    if (GetGlyphOutlineW(dc, glyph, ggo, &gm, size, image, &IdentityMatrix) == GDI_ERROR)
        return AddLogStringWide(L"Win32API GetGlyphOutline が失敗しました\n");
    return AddCharToFontCache(Font, Cell, Code, 0, imageFormat, image, (int)gm.gmBlackBoxX, (int)gm.gmBlackBoxY, pitch,
                              gm.gmptGlyphOrigin.x, FontCacheDC.TextMetric.tmAscent - gm.gmptGlyphOrigin.y,
                              gm.gmCellIncX, UpdateTextureFlag);
}

// ---- Family enumeration -------------------------------------------------------------------------

int EnumInstalledFontFamilies(FontFamilyEnumData *Data, int Mode, int CharSet)
{
    HDC dc = GetDC(nullptr);
    if (dc == nullptr) return -1;
    LOGFONTW logFont = {};
    logFont.lfCharSet = Mode == 0 || CharSet < 0 ? (BYTE)DEFAULT_CHARSET : GdiCharSet(CharSet);
    if (Data->FaceName != nullptr) CopyFaceName(logFont.lfFaceName, Data->FaceName, LF_FACESIZE);
    logFont.lfPitchAndFamily = 0;
    EnumFontFamiliesExW(dc, &logFont, Mode == 0 ? EnumFontNameCallback : EnumFamilyCallback, (LPARAM)Data, 0);
    ReleaseDC(nullptr, dc);
    return 0;
}

int EnumFontFamilyNames(wchar_t *NameBuffer, int NameCount, const wchar_t *FaceName, int CharSet)
{
    if (NameBuffer != nullptr && NameCount < 1) return -1;
    FontFamilyEnumData data = {};
    data.NameBuffer = NameBuffer;
    data.MaxCount = NameBuffer != nullptr ? NameCount : 0;
    data.FaceName = FaceName;
    if (EnumInstalledFontFamilies(&data, 1, CharSet) < 0) return -1;
    return data.Count;
}
