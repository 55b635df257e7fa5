// The glyph cache of a font: its size, its cells, finding and adding codes, and the texture
// update. The pixels of one glyph are written by font_glyph_write.cpp.
#include "zovuz/graphics/font/font_internal.h"

#include <string.h>

namespace {

constexpr int CellSideMax = 2048;  // larger cells are refused (work buffer, texture sizes)
constexpr uint32_t ReplacementChar = 0xFFFD;

uint16_t ReadUnit(const wchar_t *String, int CodePage)
{
    uint16_t unit = (uint16_t)String[0];
    return CodePage == CHAR_CODE_UTF16LE ? unit : (uint16_t)(unit << 8 | unit >> 8);
}

// The texture cache: the system-memory image and the graph made from it. 0 / -1.
int CreateTextureCache(FontHandleData &Font, int Side, int ASyncFlag)
{
    int screenWidth, screenHeight, width, height, count;
    GetDrawScreenSize(&screenWidth, &screenHeight);
    const int maxTexture = GraphicsDeviceCaps.MaxTextureSize > 0 ? GraphicsDeviceCaps.MaxTextureSize : 256;
    CalcFontTextureCacheSize(Side, screenWidth, screenHeight, maxTexture, &width, &height, &count);
    if (count < 1) return -1;
    Font.CellCount = count;
    Font.CacheWidth = width;
    Font.CacheHeight = height;
    Font.CacheRows = height / Side;

    const bool alpha = IsAntiAliasedType(Font.FontType);
    BASEIMAGE &image = Font.CacheImage;
    image = BASEIMAGE();
    image.ColorData = *GetPixelFormatForRequest(alpha, !alpha, Font.CacheColorBitDepth == 32, 0);
    image.Width = IsEdgedType(Font.FontType) ? width * 2 : width;
    image.Height = height;
    image.Pitch = image.ColorData.PixelBytes * image.Width;
    image.Pixels = DXALLOC((size_t)image.Pitch * image.Height);
    if (image.Pixels == nullptr) {
        AddLogStringWide(L"文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
        return -1;
    }
    FillBaseImage(&image, 255, 255, 255, 0);
    Font.CacheGraphLostFlag = 1;
    return CreateFontCacheGraph(&Font, ASyncFlag);
}

// The software cache: one cell wide, the cells stacked downwards. 0 / -1.
int CreateSoftCache(FontHandleData &Font, int Side, int ASyncFlag)
{
    Font.SoftCacheBitDepth = Font.FontType == DX_FONTTYPE_NORMAL ? 1 : 8;
    Font.CellCount = CalcFontSoftCacheCellCount(Side);
    Font.CacheWidth = Side;
    Font.CacheHeight = Font.CellCount * Side;
    Font.CacheRows = Font.CellCount;
    Font.SoftCachePitch = (Side * Font.SoftCacheBitDepth + 7) / 8;
    Font.SoftCacheBuffer = (uint8_t *)DXCALLOC((size_t)Font.SoftCachePitch * Font.CacheHeight);
    if (Font.SoftCacheBuffer == nullptr) {
        AddLogStringWide(L"フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
        return -1;
    }
    if (CreateFontCacheGraph(&Font, ASyncFlag) < 0) {
        AddLogStringWide(L"フォント用描画スクリーンの作成に失敗しました\n");
        return -1;
    }
    return 0;
}

// The cell of a code of 0x10000 and above, or null.
FontCharData *FindHighCode(const FontHandleData &Font, uint32_t Code)
{
    for (int i = 0; i < Font.HighCodeNum; ++i)
        if (Font.HighCodeList[i]->Code == Code) return Font.HighCodeList[i];
    return nullptr;
}

}  // namespace

// ---- Sizes ------------------------------------------------------------------------------------

void CalcFontCacheCellSide(int CellSideMetric, int LineHeight, int EdgeSize, int *CellSide, int *LineHeightOut)
{
    int side = CellSideMetric + 2 * EdgeSize;
    side = (side + 7) / 8 * 8;
    int lineHeight = LineHeight + 2 * EdgeSize;
    lineHeight = (lineHeight + 1) / 2 * 2;
    if (side < lineHeight) side = lineHeight;
    *CellSide = side;
    *LineHeightOut = lineHeight;
}

void CalcFontTextureCacheSize(int Side, int ScreenWidth, int ScreenHeight, int MaxTextureSize, int *Width, int *Height,
                              int *CellCount)
{
    int width = 8, height = 8;
    int count = (8 / Side) * (8 / Side);
    const int64_t target = (int64_t)ScreenWidth * ScreenHeight * FONT_TEXTURE_CACHE_SCREEN_PERCENT / 100;
    for (;;) {
        if (count >= FONT_CACHE_CELL_MAXNUM) {
            count = FONT_CACHE_CELL_MAXNUM;
            break;
        }
        if ((int64_t)width * height >= target && count >= 10) break;
        if (width >= MaxTextureSize && height >= MaxTextureSize) break;
        if (width <= height)
            width *= 2;
        else
            height *= 2;
        count = (width / Side) * (height / Side);
    }
    *Width = width;
    *Height = height;
    *CellCount = count;
}

int CalcFontSoftCacheCellCount(int Side)
{
    int count = FONT_SOFT_CACHE_AREA / (Side * Side);
    if (count < 20) count = 20;
    return count > FONT_CACHE_CELL_MAXNUM ? FONT_CACHE_CELL_MAXNUM : count;
}

// ---- Building the cache -------------------------------------------------------------------------

int CreateFontToHandle(const FontCreateOptions *, FontHandleData *Font, int ASyncFlag)
{
    FontHandleData &f = *Font;
    const int edge = IsEdgedType(f.FontType) ? f.EdgeSize : 0;
    int side, lineHeight;
    CalcFontCacheCellSide(f.Metrics.CellSide, f.Metrics.LineHeight, edge, &side, &lineHeight);
    if (side < 1 || side > CellSideMax) return -1;
    f.Metrics.CellSide = (uint16_t)side;
    f.Metrics.LineHeight = (uint16_t)lineHeight;

    f.TextureCacheFlag = GraphicsState.HardwareInUseFlag ? 1 : 0;
    f.CacheColorBitDepth = f.TextureCacheFlag && IsAntiAliasedType(f.FontType) ? 32 : 16;
    f.PremulAlphaFlag = 0;
    f.PendingUpdateFlag = 0;
    if (f.TextureCacheFlag && CreateTextureCache(f, side, ASyncFlag) < 0) {
        if (f.CacheImage.Pixels == nullptr || f.CellCount < 1) return -1;
        AddLogStringWide(L"テクスチャ文字キャッシュの作成に失敗しました\n");
        f.TextureCacheFlag = 0;
    }
    if (!f.TextureCacheFlag && CreateSoftCache(f, side, ASyncFlag) < 0) return -1;

    f.WorkBufferSize = (side + 4) * (side + 4);
    f.WorkBuffer = (uint8_t *)DXALLOC((size_t)f.WorkBufferSize);
    if (f.WorkBuffer == nullptr) {
        AddLogStringWide(L"フォントの作業用バッファの作成に失敗しました\n");
        return -1;
    }
    ResetFontCache(Font, ASyncFlag);
    return 0;
}

int CreateFontCacheGraph(FontHandleData *Font, int ASyncFlag)
{
    FontHandleData &f = *Font;
    if (f.CacheGraphLostFlag != 1) return 0;
    f.CacheGraphLostFlag = 0;
    if (f.EdgeGraph != -1 && IsValidGraphHandle(f.EdgeGraph)) DeleteGraph(f.EdgeGraph);
    f.CacheGraph = f.EdgeGraph = -1;

    GraphCreateParam param;
    InitGraphCreateParam(&param);
    param.DrawValidFlag = 0;
    param.FontCacheFlag = 1;
    if (IsAntiAliasedType(f.FontType)) {
        param.ColorBitDepth = f.CacheColorBitDepth;
        param.AlphaChannelFlag = 1;
    } else {
        param.ColorBitDepth = 16;  // alpha test: no alpha channel, not a draw screen
        param.AlphaChannelFlag = 0;
    }
    const int softwareRequest = GraphicsState.SoftwareRenderRequestFlag;
    GraphicsState.SoftwareRenderRequestFlag = 0;
    // On an asynchronous-load worker the graph is made there and then (and counted as loaded).
    f.CacheGraph = MakeGraphWithCreateParam(&param, f.CacheImage.Width, f.CacheImage.Height, 0, 0, 0, 0, ASyncFlag);
    if (f.CacheGraph >= 0 && ASyncFlag) DecASyncLoadCount(f.CacheGraph);
    if (f.CacheGraph >= 0 && IsEdgedType(f.FontType))
        f.EdgeGraph = DeriveGraph(f.CacheWidth, 0, f.CacheWidth, f.CacheHeight, f.CacheGraph);
    GraphicsState.SoftwareRenderRequestFlag = softwareRequest;
    if (f.CacheGraph < 0) return -1;

    SetGraphLostFlag(f.CacheGraph, &f.CacheGraphLostFlag);
    GetGraphTextureSize(f.CacheGraph, &f.TextureWidth, &f.TextureHeight);
    f.TextureInvWidth = f.TextureWidth > 0 ? 1.0f / (float)f.TextureWidth : 0.0f;
    f.TextureInvHeight = f.TextureHeight > 0 ? 1.0f / (float)f.TextureHeight : 0.0f;
    ResetFontCache(Font, ASyncFlag);
    return 0;
}

int ResetFontCache(FontHandleData *Font, int)
{
    FontHandleData &f = *Font;
    memset(f.CodeIndex, 0, sizeof(f.CodeIndex));
    memset(f.Cells, 0, sizeof(f.Cells));
    memset(f.HighCodeList, 0, sizeof(f.HighCodeList));
    f.HighCodeNum = 0;
    const int rows = f.CacheRows > 0 ? f.CacheRows : 1;
    for (int i = 0; i < f.CellCount; ++i) {
        f.Cells[i].CellIndex = i;
        f.Cells[i].Column = i / rows;
        f.Cells[i].Row = i % rows;
    }
    f.Cells[f.CellCount].CellIndex = -1;
    f.NextCell = 0;
    return 0;
}

// ---- Finding and adding codes -------------------------------------------------------------------

FontCharData *GetFontCacheCharData(FontHandleData *Font, uint32_t Code, FontHandleData **FontOut, int *AddX, int *AddY,
                                   int SearchGraphChar, int LogFlag)
{
    if (FontOut != nullptr) *FontOut = Font;
    if (AddX != nullptr) *AddX = 0;
    if (AddY != nullptr) *AddY = 0;
    if (SearchGraphChar) {
        FontCharData *graphChar = GetFontGraphChar(Font, Code);
        if (graphChar != nullptr) return graphChar;
    }
    if (Code < FONT_CODE_INDEX_NUM) {
        const FontCodeData &entry = Font->CodeIndex[Code];
        if (entry.InUseFlag && entry.Cell != nullptr) return entry.Cell;
    } else if (FontCharData *high = FindHighCode(*Font, Code)) {
        return high;
    }
    FontCharData *cell = AddCodesToFontCache(1, &Code, Font, 1);
    if (cell != nullptr) return cell;

    for (int i = 0; i < Font->SubstitutionNum; ++i) {
        FontSubstitutionData &sub = Font->Substitutions[i];
        FontHandleData *subFont = GetFontEntry(sub.FontHandle, 0);
        if (subFont == nullptr) {
            // A substitution font that is gone leaves the list.
            memmove(&Font->Substitutions[i], &Font->Substitutions[i + 1],
                    sizeof(sub) * (size_t)(Font->SubstitutionNum - i - 1));
            --Font->SubstitutionNum;
            --i;
            continue;
        }
        cell = GetFontCacheCharData(subFont, Code, nullptr, nullptr, nullptr, SearchGraphChar, 0);
        if (cell != nullptr) {
            if (FontOut != nullptr) *FontOut = subFont;
            if (AddX != nullptr) *AddX = sub.X;
            if (AddY != nullptr) *AddY = sub.Y;
            return cell;
        }
    }
    if (LogFlag) AddLogStringWide(L"テキストキャッシュの追加に失敗しました\n");
    return nullptr;
}

int AddStringToFontCache(FontHandleData *Font, const wchar_t *String, int Length, uint32_t *Codes, int *CharNum)
{
    FontHandleData &f = *Font;
    int units = Length;
    if (units < 0) {
        units = 0;
        if (String != nullptr)
            while (String[units] != 0) ++units;
    }
    if (String == nullptr) units = 0;

    FontSystemData &s = FontSystem;
    uint32_t *codes = Codes != nullptr ? Codes : s.BatchCodes;
    uint32_t *newCodes = s.BatchNewCodes;
    uint32_t *allocated = nullptr;
    if (units > FONT_STRING_BATCH_NUM) {
        allocated = (uint32_t *)DXALLOC(sizeof(uint32_t) * (size_t)units * 2);
        if (allocated == nullptr) return -1;
        if (Codes == nullptr) codes = allocated;
        newCodes = allocated + units;
    }

    const int wideCode = GetWideCharCodeFormat();
    int count = 0, newCount = 0;
    for (int pos = 0; pos < units;) {
        int bytes = 2;
        const uint32_t code = DecodeWideCharN(String + pos, units - pos, wideCode, &bytes);
        pos += bytes / 2;
        codes[count++] = code;
        if (GetFontGraphChar(Font, code) != nullptr || newCount >= f.CellCount) continue;
        if (code < FONT_CODE_INDEX_NUM) {
            FontCodeData &entry = f.CodeIndex[code];
            if (entry.InUseFlag) continue;
            entry.InUseFlag = 1;  // marks the code as taken for the rest of the scan
        } else {
            if (FindHighCode(f, code) != nullptr) continue;
            bool seen = false;
            for (int i = 0; i < newCount && !seen; ++i) seen = newCodes[i] == code;
            if (seen) continue;
        }
        newCodes[newCount++] = code;
    }
    for (int i = 0; i < newCount; ++i)
        if (newCodes[i] < FONT_CODE_INDEX_NUM) f.CodeIndex[newCodes[i]].InUseFlag = 0;
    if (newCount > 0) AddCodesToFontCache(newCount, newCodes, Font, 1);
    if (CharNum != nullptr) *CharNum = count;
    DXFREE(allocated);
    return 0;
}

FontCharData *AddCodesToFontCache(int Count, const uint32_t *Codes, FontHandleData *Font, int UpdateTextureFlag)
{
    FontHandleData &f = *Font;
    if (f.TextureCacheFlag && !Graphics_Hardware_IsDeviceValid()) return nullptr;
    const bool gdi = !f.FromDataFlag;
    if (gdi && SetupFontCacheDC(Font) < 0) return nullptr;
    FontCharData *last = nullptr;
    for (int i = 0; i < Count && f.CellCount > 0; ++i) {
        FontCharData *cell = &f.Cells[f.NextCell];
        int result;
        if (gdi) {
            result = RenderGlyphGDI(Font, cell, Codes[i], UpdateTextureFlag);
        } else {
            const uint8_t *record = GetFontDataCharRecord(Font, Codes[i]);
            FontDataGlyph glyph;
            if (record == nullptr || GetFontDataGlyph(Font, record, &glyph) < 0)
                continue;  // no glyph for this code: no cell is used
            result = AddCharToFontCache(Font, cell, Codes[i], 0, glyph.Format, glyph.Image, glyph.Width, glyph.Height,
                                        glyph.Pitch, glyph.X, glyph.Y, glyph.Advance, UpdateTextureFlag);
        }
        if (result < 0) continue;
        last = cell;
        f.NextCell = (f.NextCell + 1) % f.CellCount;
    }
    FlushFontCacheTexture(Font);
    if (gdi) EndFontCacheDC(Font);
    return last;
}

// ---- The texture update ---------------------------------------------------------------------------

int ExtendFontCacheUpdateRect(FontHandleData *Font, const ImageRect *Rect)
{
    ImageRect &r = Font->PendingRect;
    if (!Font->PendingUpdateFlag) {
        r = *Rect;
        Font->PendingUpdateFlag = 1;
        return 0;
    }
    if (Rect->left < r.left) r.left = Rect->left;
    if (Rect->top < r.top) r.top = Rect->top;
    if (Rect->right > r.right) r.right = Rect->right;
    if (Rect->bottom > r.bottom) r.bottom = Rect->bottom;
    return 0;
}

int FlushFontCacheTexture(FontHandleData *Font)
{
    if (!Font->PendingUpdateFlag) return 0;
    Font->PendingUpdateFlag = 0;
    if (!Font->TextureCacheFlag || Font->CacheGraph < 0) return 0;
    ImageRect rect = Font->PendingRect;
    BltBaseImageToGraph(&rect, rect.left, rect.top, Font->CacheGraph, &Font->CacheImage, nullptr, 0, 0, 1, 1);
    if (IsEdgedType(Font->FontType)) {
        rect.left += Font->CacheWidth;
        rect.right += Font->CacheWidth;
        BltBaseImageToGraph(&rect, rect.left, rect.top, Font->CacheGraph, &Font->CacheImage, nullptr, 0, 0, 1, 1);
    }
    return 0;
}

// ---- Wide text ----------------------------------------------------------------------------------

uint32_t DecodeWideCharN(const wchar_t *String, int Units, int CodePage, int *Bytes)
{
    int bytes = 2;
    uint32_t code = Units > 0 ? ReadUnit(String, CodePage) : 0;
    if ((code & 0xFC00) == 0xD800) {
        // A pair whose second unit is missing (the terminator, or the end of the text) is one bad
        // unit: reading on would run past the text.
        const uint32_t second = Units > 1 ? ReadUnit(String + 1, CodePage) : 0;
        if (second == 0) {
            code = ReplacementChar;
        } else {
            code = (((code & 0x3FF) << 10) | (second & 0x3FF)) + 0x10000;
            bytes = 4;
        }
    }
    if (Bytes != nullptr) *Bytes = bytes;
    return code;
}

uint32_t DecodeWideChar(const wchar_t *String, int CodePage, int *Bytes)
{
    // Without a length the text ends at its terminator: a second unit is read only after a
    // high surrogate, and that unit is at worst the terminator.
    return DecodeWideCharN(String, 2, CodePage, Bytes);
}
