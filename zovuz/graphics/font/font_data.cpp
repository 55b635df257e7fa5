// Font data images ("FNTF"), graph characters and the fallback font.
//
// A font data image: a 24-byte plain head (magic, glyph data offset, unpack buffer size, record
// count, count of records with codes of 0x10000 and above), then the rest of the header packed
// with the library's LZ packing: face name (128 UTF-16 units), the metrics block, the image
// format, and from offset 368 (as if unpacked in place) the 32-byte character records. Every
// offset, count, pitch and packed size read from the image is checked against the image and the
// unpack buffer before it is used.
#include "zovuz/graphics/font/font_internal.h"

#include <string.h>

namespace {

constexpr int HeadBytes = 24;
constexpr int FaceOffset = 24;
constexpr int FaceUnits = 128;
constexpr int MetricsOffset = 280;
constexpr int ImageFormatOffset = 300;
constexpr int RecordsOffset = 368;
constexpr int RecordBytes = 32;
constexpr uint32_t MaxUnpackSize = 16u << 20;  // the largest glyph a font data image may unpack
constexpr uint32_t MaxRecordNum = 0x110000;    // one per Unicode code point
constexpr int64_t MaxHeaderSize = 64 << 20;    // the unpacked header, records included

// The fallback's font data image: its header (packed, stored as literals) and no records.
constexpr int FallbackFontSize = 16;
constexpr int FallbackLineHeight = 16;

int64_t AlignUp(int64_t Value) { return (Value + 7) & ~(int64_t)7; }

// Frees what a failed set-up made: the GDI font field and the data copy.
int RefuseFontData(FontHandleData *Font)
{
    DeleteFontHandleGDIFont(Font);
    DXFREE(Font->DataImage);
    Font->DataImage = nullptr;
    Font->DataImageSize = 0;
    return -1;
}

// The arguments of an asynchronous load of font data (the caller keeps the image until it ends).
struct LoadFontDataParams
{
    FontCreateOptions Options;
    int Handle;
    const void *Image;
    int Size;
    int EdgeSize;
};

void LoadFontDataASyncJob(ASyncLoadData *Data)
{
    const LoadFontDataParams p = ASyncLoadJobParams<LoadFontDataParams>(Data);
    int result = SetupFontHandleFromData(&p.Options, p.Handle, p.Image, p.Size, p.EdgeSize, 1);
    FinishHandleLoadJob(p.Handle, result);
}

int QueueLoadFontDataJob(const FontCreateOptions &Options, int Handle, const void *Image, int Size, int EdgeSize)
{
    return QueueHandleJob(
        DX_HANDLETYPE_FONT, Handle, LoadFontDataASyncJob,
        LoadFontDataParams{.Options = Options, .Handle = Handle, .Image = Image, .Size = Size, .EdgeSize = EdgeSize});
}

// Packs Data as literals (the escape byte doubled), the way the library's LZ expander reads them.
int StoreLiterally(const uint8_t *Data, int Size, uint8_t *Out)
{
    const uint8_t escape = 0xFE;
    int n = 9;
    for (int i = 0; i < Size; ++i) {
        Out[n++] = Data[i];
        if (Data[i] == escape) Out[n++] = escape;
    }
    WriteLe32(Out, (uint32_t)Size);
    WriteLe32(Out + 4, (uint32_t)n);
    Out[8] = escape;
    return n;
}

// The fallback's font data image, made on first use.
struct FallbackFontDataImage
{
    uint8_t Bytes[HeadBytes + 9 + 2 * (RecordsOffset - HeadBytes)];
    int Size;
};

const FallbackFontDataImage &FallbackFontData()
{
    static FallbackFontDataImage image = [] {
        FallbackFontDataImage d = {};
        uint8_t header[RecordsOffset] = {};
        const wchar_t face[] = L"ZoVuz Fallback";
        for (int i = 0; face[i] != 0; ++i) WriteLe16(header + FaceOffset + 2 * i, (uint16_t)face[i]);
        uint8_t *m = header + MetricsOffset;
        WriteLe16(m + 0, 6);                          // thickness
        WriteLe16(m + 2, FallbackFontSize);           // size
        WriteLe16(m + 4, FallbackLineHeight);         // line height
        WriteLe16(m + 10, FONT_FALLBACK_CHAR_WIDTH);  // cell side
        WriteLe16(m + 14, 65535);                     // code page: the library's current code
        WriteLe16(m + 16, 13);                        // baseline
        memcpy(d.Bytes, "FNTF", 4);
        d.Size = HeadBytes + StoreLiterally(header + HeadBytes, RecordsOffset - HeadBytes, d.Bytes + HeadBytes);
        WriteLe32(d.Bytes + 8, (uint32_t)d.Size);  // the glyph data (none) starts at the end
        return d;
    }();
    return image;
}

// The fallback glyphs as one 32-bit image of 16 x 8 characters: white ink, transparent elsewhere.
uint8_t *UnpackFallbackGlyphs()
{
    const int width = 16 * FONT_FALLBACK_CHAR_WIDTH, height = 8 * FONT_FALLBACK_CHAR_HEIGHT;
    uint32_t *pixels = (uint32_t *)DXALLOC(sizeof(uint32_t) * width * height);
    if (pixels == nullptr) return nullptr;
    for (int code = 0; code < FONT_FALLBACK_CHAR_NUM; ++code) {
        const int x0 = code % 16 * FONT_FALLBACK_CHAR_WIDTH, y0 = code / 16 * FONT_FALLBACK_CHAR_HEIGHT;
        for (int y = 0; y < FONT_FALLBACK_CHAR_HEIGHT; ++y)
            for (int x = 0; x < FONT_FALLBACK_CHAR_WIDTH; ++x)
                pixels[(y0 + y) * width + x0 + x] =
                    (FallbackFontGlyphs[code][y] & (0x80 >> x)) ? 0xFFFFFFFFu : 0x00FFFFFFu;
    }
    return (uint8_t *)pixels;
}

int MakeFallbackGraphs(uint8_t *Glyphs)
{
    BASEIMAGE all = {};
    CreateARGB8ColorData(&all.ColorData);
    all.Width = 16 * FONT_FALLBACK_CHAR_WIDTH;
    all.Height = 8 * FONT_FALLBACK_CHAR_HEIGHT;
    all.Pitch = all.Width * 4;
    all.Pixels = Glyphs;
    GraphCreateParam param;
    InitLoadGraphParam(&param, 32, 1, 0);
    for (int code = 0; code < FONT_FALLBACK_CHAR_NUM; ++code) {
        const int x = code % 16 * FONT_FALLBACK_CHAR_WIDTH, y = code / 16 * FONT_FALLBACK_CHAR_HEIGHT;
        BASEIMAGE view;
        int handle = AddHandle(DX_HANDLETYPE_GRAPH, 0, -1);
        if (handle >= 0 &&
            (CreateBaseImageView(&all, x, y, x + FONT_FALLBACK_CHAR_WIDTH, y + FONT_FALLBACK_CHAR_HEIGHT, &view) < 0 ||
             SetupGraphFromBaseImage(&param, handle, &view, nullptr, 1, 0) < 0)) {
            SubHandle(handle);
            handle = -1;
        }
        FontSystem.FallbackGraphs[code] = handle;
        if (handle >= 0) SetHandleDeleteNotify(handle, &FontSystem.FallbackGraphs[code]);
    }
    return 0;
}

}  // namespace

// ---- Loading ------------------------------------------------------------------------------------

int LoadFontDataFromMemBase(const FontCreateOptions *Options, const void *FontDataImage, int FontDataImageSize,
                            int EdgeSize, int Handle, int ASyncFlag)
{
    FontCreateOptions options = Options != nullptr ? *Options : FontCreateOptions();
    WaitWhileWindowInactive();
    int handle = AddHandle(DX_HANDLETYPE_FONT, 0, Handle);
    if (handle < 0) return -1;
    const int result = ASyncFlag
                           ? QueueLoadFontDataJob(options, handle, FontDataImage, FontDataImageSize, EdgeSize)
                           : SetupFontHandleFromData(&options, handle, FontDataImage, FontDataImageSize, EdgeSize, 0);
    if (result < 0) {
        SubHandle(handle);
        return -1;
    }
    return handle;
}

int SetupFontHandleFromData(const FontCreateOptions *Options, int FontHandle, const void *Image, int ImageSize,
                            int EdgeSize, int ASyncFlag)
{
    FontHandleData *font = GetFontEntry(FontHandle, 1);
    if (font == nullptr) return -1;
    const uint8_t *src = (const uint8_t *)Image;
    if (src == nullptr || ImageSize < HeadBytes + 9 || memcmp(src, "FNTF", 4) != 0) return RefuseFontData(font);
    font->FromDataFlag = 1;

    const int64_t expanded = ArchiveDecompressChecked(src + HeadBytes, (uint64_t)(ImageSize - HeadBytes), nullptr, 0);
    const uint32_t glyphOffset = ReadLe32(src + 8), unpackSize = ReadLe32(src + 12);
    const uint32_t recordNum = ReadLe32(src + 16), highNum = ReadLe32(src + 20);
    const int64_t headerSize = HeadBytes + expanded;
    if (expanded < RecordsOffset - HeadBytes || expanded > MaxHeaderSize || recordNum > MaxRecordNum ||
        highNum > recordNum || (int64_t)recordNum * RecordBytes > headerSize - RecordsOffset ||
        unpackSize > MaxUnpackSize || glyphOffset > (uint32_t)ImageSize)
        return RefuseFontData(font);

    // One block: the copy, the unpacked header, the code table, the high-code list, the unpack buffer.
    const int64_t headerAt = AlignUp(ImageSize), tableAt = AlignUp(headerAt + headerSize);
    const int64_t highAt = tableAt + (int64_t)sizeof(uint8_t *) * FONT_CODE_INDEX_NUM;
    const int64_t unpackAt = AlignUp(highAt + (int64_t)sizeof(uint8_t *) * highNum);
    const int64_t total = unpackAt + unpackSize;
    if (total > 0x7FFFFFFF) return RefuseFontData(font);
    DXFREE(font->DataImage);
    uint8_t *block = (uint8_t *)DXALLOC((size_t)total);
    font->DataImage = block;
    if (block == nullptr) return RefuseFontData(font);
    font->DataImageSize = ImageSize;
    memcpy(block, src, (size_t)ImageSize);
    uint8_t *header = block + headerAt;
    memcpy(header, src, HeadBytes);
    if (ArchiveDecompressChecked(src + HeadBytes, (uint64_t)(ImageSize - HeadBytes), header + HeadBytes,
                                 (uint64_t)expanded) != expanded)
        return RefuseFontData(font);

    font->DataHeader = header;
    font->DataHeaderSize = (int)headerSize;
    font->DataFirstRecord = header + RecordsOffset;
    font->DataRecordNum = (int)recordNum;
    font->DataGlyphBase = block + glyphOffset;
    font->DataGlyphSize = ImageSize - (int)glyphOffset;
    font->DataCodeTable = (const uint8_t **)(block + tableAt);
    font->DataHighCodeList = (const uint8_t **)(block + highAt);
    font->DataUnpackBuffer = block + unpackAt;
    font->DataUnpackSize = (int)unpackSize;

    const int edge = EdgeSize < 0 ? 0 : EdgeSize;
    switch (header[ImageFormatOffset]) {
        case 0:
            font->DataImageFormat = 0;
            font->FontType = edge > 0 ? DX_FONTTYPE_EDGE : DX_FONTTYPE_NORMAL;
            break;
        case 1:
            font->DataImageFormat = 4;
            font->FontType = edge > 0 ? DX_FONTTYPE_ANTIALIASING_EDGE_4X4 : DX_FONTTYPE_ANTIALIASING_4X4;
            break;
        case 2:
            font->DataImageFormat = 8;
            font->FontType = edge > 0 ? DX_FONTTYPE_ANTIALIASING_EDGE_8X8 : DX_FONTTYPE_ANTIALIASING_8X8;
            break;
        default:
            break;
    }

    memset(font->DataCodeTable, 0, sizeof(uint8_t *) * FONT_CODE_INDEX_NUM);
    int high = 0;
    for (uint32_t i = 0; i < recordNum; ++i) {
        const uint8_t *record = font->DataFirstRecord + (size_t)i * RecordBytes;
        const uint32_t code = ReadLe32(record);
        if (code < FONT_CODE_INDEX_NUM) {
            font->DataCodeTable[code] = record;
        } else {
            if ((uint32_t)high >= highNum) return RefuseFontData(font);  // more high codes than the head declares
            font->DataHighCodeList[high++] = record;
        }
    }
    font->DataHighCodeNum = high;

    const uint8_t *m = header + MetricsOffset;
    FontMetrics &metrics = font->Metrics;
    metrics.Thickness = ReadLe16(m);
    metrics.Size = ReadLe16(m + 2);
    metrics.LineHeight = ReadLe16(m + 4);
    metrics.SizeAdjust = ReadLe16(m + 6);
    metrics.Italic = m[8];
    metrics.CellSide = ReadLe16(m + 10);
    metrics.CharSet = ReadLe16(m + 12);
    metrics.CodePage = ReadLe16(m + 14);
    metrics.Baseline = ReadLe16(m + 16);

    font->EdgeSize = edge;
    font->Space = 0;
    font->LineSpaceValidFlag = 0;
    font->LineSpace = 0;
    font->CharCodeFormat = -1;
    font->LostFlag = nullptr;
    wchar_t face[FaceUnits + 1] = {};
    for (int i = 0; i < FaceUnits; ++i) face[i] = (wchar_t)ReadLe16(header + FaceOffset + 2 * i);
    ConvertCharCode((const char *)face, CHAR_CODE_UTF16LE, (char *)font->FaceNameW, sizeof(font->FaceNameW),
                    GetWideCharCodeFormat());
    ConvertCharCode((const char *)font->FaceNameW, GetWideCharCodeFormat(), font->FaceName, sizeof(font->FaceName),
                    GetCurrentCharCodeFormat());

    FontCreateOptions options = Options != nullptr ? *Options : FontCreateOptions();
    if (CFont(&options, font, 0) < 0 || CreateFontToHandle(&options, font, ASyncFlag) < 0) return RefuseFontData(font);
    return 0;
}

const uint8_t *GetFontDataCharRecord(FontHandleData *Font, uint32_t Code)
{
    if (!Font->FromDataFlag || Font->DataCodeTable == nullptr) return nullptr;
    if (Code < FONT_CODE_INDEX_NUM) return Font->DataCodeTable[Code];
    for (int i = 0; i < Font->DataHighCodeNum; ++i)
        if (ReadLe32(Font->DataHighCodeList[i]) == Code) return Font->DataHighCodeList[i];
    return nullptr;
}

int GetFontDataGlyph(FontHandleData *Font, const uint8_t *Record, FontDataGlyph *Glyph)
{
    const int bits = Font->DataImageFormat == 0 ? 1 : Font->DataImageFormat;
    Glyph->Format = bits == 1 ? FONT_IMAGE_BIT1 : bits == 4 ? FONT_IMAGE_GREY4 : FONT_IMAGE_LEVEL255;
    Glyph->X = (int16_t)ReadLe16(Record + 6);
    Glyph->Y = (int16_t)ReadLe16(Record + 8);
    Glyph->Advance = (int16_t)ReadLe16(Record + 10);
    Glyph->Width = ReadLe16(Record + 12);
    Glyph->Height = ReadLe16(Record + 14);
    const uint32_t offset = ReadLe32(Record + 16), pitch = ReadLe32(Record + 20);
    Glyph->Pitch = (int)pitch;
    const int64_t bytes = (int64_t)pitch * Glyph->Height;
    if (pitch < (uint32_t)(Glyph->Width * bits + 7) / 8 || pitch > MaxUnpackSize ||
        offset > (uint32_t)Font->DataGlyphSize)
        return -1;
    const uint8_t *src = Font->DataGlyphBase + offset;
    const int64_t available = Font->DataGlyphSize - (int64_t)offset;
    if (Record[4] == 0) {
        if (bytes > available) return -1;
        Glyph->Image = src;
        return 0;
    }
    const int64_t unpacked =
        ArchiveDecompressChecked(src, (uint64_t)available, Font->DataUnpackBuffer, (uint64_t)Font->DataUnpackSize);
    if (unpacked < 0 || bytes > unpacked) return -1;
    Glyph->Image = Font->DataUnpackBuffer;
    return 0;
}

// ---- Graph characters ---------------------------------------------------------------------------

FontCharData *GetFontGraphChar(FontHandleData *Font, uint32_t Code)
{
    for (int i = 0; i < Font->GraphCharNum; ++i)
        if (Font->GraphChars[i].InUseFlag && Font->GraphChars[i].Code == Code) return &Font->GraphChars[i];
    return nullptr;
}

int AddFontImageToHandleW(int FontHandle, const wchar_t *Char, int GraphHandle, int X, int Y, int Advance)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    int width, height;
    if (font == nullptr || Char == nullptr || GetGraphSize(GraphHandle, &width, &height) < 0) return -1;
    const uint32_t code = DecodeWideChar(Char, GetWideCharCodeFormat(), nullptr);
    FontCharData *entry = GetFontGraphChar(font, code);
    if (entry == nullptr) {
        if (font->GraphCharNum >= FONT_GRAPH_CHAR_MAXNUM) return -1;
        entry = &font->GraphChars[font->GraphCharNum++];
    }
    *entry = FontCharData();
    entry->Code = code;
    entry->InUseFlag = 1;
    entry->GraphCharFlag = 1;
    entry->DrawX = (int16_t)X;
    entry->DrawY = (int16_t)Y;
    entry->Advance = (int16_t)Advance;
    entry->Width = (int16_t)width;
    entry->Height = (int16_t)height;
    entry->CellIndex = GraphHandle;
    return 0;
}

int AddFontImageToHandle(int FontHandle, const char *Char, int GraphHandle, int X, int Y, int Advance)
{
    FontHandleData *font = GetFontHandleData(FontHandle);
    if (font == nullptr || Char == nullptr) return -1;
    // Only the first character counts: it alone is brought into the wide code.
    const int code = GetFontCharCodeFormat(font->Info.Handle), wide = GetWideCharCodeFormat();
    const uint32_t c = ConvertCharCodeOne(GetCharCode(Char, code, nullptr), code, wide);
    wchar_t units[4] = {};
    PutCharCode(c, wide, (char *)units, sizeof(units) - sizeof(wchar_t));
    return AddFontImageToHandleW(font->Info.Handle, units, GraphHandle, X, Y, Advance);
}

// ---- The fallback font ----------------------------------------------------------------------------

int SetupFallbackFont(void)
{
    FontSystemData &f = FontSystem;
    const FallbackFontDataImage &data = FallbackFontData();
    f.DefaultFontHandle = LoadFontDataFromMemBase(nullptr, data.Bytes, data.Size, 0, -1, GetUseASyncLoadFlag());
    if (f.FallbackGlyphImage == nullptr) {
        f.FallbackGlyphImage = UnpackFallbackGlyphs();
        if (f.FallbackGlyphImage == nullptr) return -1;
    }
    if (f.FallbackGraphs[0] < 1) MakeFallbackGraphs(f.FallbackGlyphImage);
    for (int code = 0; code < FONT_FALLBACK_CHAR_NUM; ++code) {
        const wchar_t text[2] = {(wchar_t)code, 0};
        AddFontImageToHandleW(f.DefaultFontHandle, text, f.FallbackGraphs[code], 0, 0, FONT_FALLBACK_CHAR_WIDTH);
    }
    f.FallbackInUseFlag = 1;
    return 0;
}

void TerminateFallbackFont(void)
{
    FontSystemData &f = FontSystem;
    DXFREE(f.FallbackGlyphImage);
    f.FallbackGlyphImage = nullptr;
    if (f.FallbackGraphs[0] > 1)
        for (int &graph : f.FallbackGraphs) {
            if (graph >= 0) DeleteGraph(graph);
            graph = 0;
        }
    f.FallbackInUseFlag = 0;
}
