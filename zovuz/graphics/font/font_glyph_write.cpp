// Writing one glyph into a cache cell: the source image (any of nine formats) is brought to one
// level a pixel, then written as the cache's pixels, with the edge layer for edged types.
#include "zovuz/graphics/font/font_internal.h"

#include <string.h>

namespace {

// Half the width of each row of the edge masks of sizes 2, 3 and 4 (runs centred on the middle).
constexpr int EdgeMask2[] = {1, 2, 2, 2, 1};
constexpr int EdgeMask3[] = {0, 2, 2, 3, 2, 2, 0};
constexpr int EdgeMask4[] = {2, 3, 4, 4, 4, 4, 4, 3, 2};

int FloorMod(int Value, int Divisor)
{
    int r = Value % Divisor;
    return r < 0 ? r + Divisor : r;
}

// The glyph brought to one byte a pixel: levels 0..Max (Max 1 = ink or not).
struct LevelImage
{
    uint8_t *Pixels;  // Width x Height, pitch Width
    int Width, Height;
    int Max;  // 1, 16, 64 or 255
};

// Source pixel readers; all reads stay inside Height rows of Pitch bytes.
int Bit(const uint8_t *Row, int X) { return (Row[X >> 3] >> (7 - (X & 7))) & 1; }
int Nibble(const uint8_t *Row, int X) { return (Row[X >> 1] >> ((X & 1) ? 0 : 4)) & 0x0F; }

// The set bits of one Scale x Scale block; rows before the image (the alignment above it) and
// columns and rows past it count as empty.
int CountBlock(const uint8_t *Image, int Pitch, int SrcWidth, int SrcHeight, int Scale, int BlockX, int BlockY,
               int YShift)
{
    const FontSystemData &s = FontSystem;
    int count = 0;
    const int x0 = BlockX * Scale;
    const int columns = SrcWidth - x0 < Scale ? SrcWidth - x0 : Scale;
    if (columns <= 0) return 0;
    const uint8_t mask = (uint8_t)(0xFF << (8 - columns));  // the block's first columns
    for (int j = 0; j < Scale; ++j) {
        const int y = BlockY * Scale + j - YShift;
        if (y < 0 || y >= SrcHeight) continue;
        const uint8_t *row = Image + (size_t)y * Pitch;
        if (Scale == 8) {
            count += s.BitCount[row[BlockX] & mask];
        } else {
            const int nibble = Nibble(row, BlockX);
            count += s.BitCount[(nibble << 4 & mask)];
        }
    }
    return count;
}

// Brings the source to levels in the work buffer. 0, or -1 for a format that has no reduction.
int NormaliseGlyph(const FontHandleData &Font, int Format, const uint8_t *Image, int SrcWidth, int SrcHeight, int Pitch,
                   int Scale, int YShift, LevelImage *Out)
{
    const FontSystemData &s = FontSystem;
    const bool texture = Font.TextureCacheFlag != 0;
    const bool texture32 = texture && Font.CacheColorBitDepth == 32;
    uint8_t *out = Out->Pixels;
    const int w = Out->Width, h = Out->Height;
    switch (Format) {
        case FONT_IMAGE_BIT1_X16:
            return -1;
        case FONT_IMAGE_BIT1_X4:
        case FONT_IMAGE_BIT1_X8:
            Out->Max = texture32 ? 64 : 16;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    int c = CountBlock(Image, Pitch, SrcWidth, SrcHeight, Scale, x, y, YShift);
                    if (Scale == 4)
                        c = texture32 ? c * 4 : c;
                    else
                        c = texture32 ? c : c / 4;
                    out[y * w + x] = (uint8_t)c;
                }
            return 0;
        default:
            break;
    }
    Out->Max = 16;
    if (Format == FONT_IMAGE_BIT1 || Format == FONT_IMAGE_BYTE_INK)
        Out->Max = 1;
    else if ((Format == FONT_IMAGE_GREY4 || Format == FONT_IMAGE_LEVEL64) && texture)
        Out->Max = 64;
    else if (Format == FONT_IMAGE_LEVEL255 && texture)
        Out->Max = 255;
    for (int y = 0; y < h; ++y) {
        const uint8_t *row = Image + (size_t)y * Pitch;
        for (int x = 0; x < w; ++x) {
            int v;
            switch (Format) {
                case FONT_IMAGE_BIT1:
                    v = Bit(row, x);
                    break;
                case FONT_IMAGE_BYTE_INK:
                    v = row[x] != 0;
                    break;
                case FONT_IMAGE_GREY4:
                    v = (texture ? s.Grey4To64 : s.Grey4To16)[Nibble(row, x)];
                    break;
                case FONT_IMAGE_LEVEL16:
                    v = row[x];
                    break;
                case FONT_IMAGE_LEVEL64:
                    v = texture ? row[x] : row[x] / 4;
                    break;
                default:
                    v = texture ? row[x] : s.Grey8To16[row[x]];
                    break;
            }
            out[y * w + x] = (uint8_t)(v > Out->Max ? Out->Max : v);
        }
    }
    return 0;
}

// Alpha 0-255 of a level.
int LevelAlpha(int Level, int Max)
{
    if (Level <= 0) return 0;
    switch (Max) {
        case 1:
            return 255;
        case 16:
            return 16 * Level - 1;
        case 64:
            return 4 * Level - 1;
        default:
            return Level;
    }
}

// Pixels of the texture cache image.
struct TextureCacheView
{
    uint8_t *Pixels;
    int Pitch, Bytes;
    uint32_t White, AlphaMask;
    int AlphaLoc, AlphaWidth;

    explicit TextureCacheView(const BASEIMAGE &Image)
        : Pixels((uint8_t *)Image.Pixels),
          Pitch(Image.Pitch),
          Bytes(Image.ColorData.PixelBytes),
          White(Image.ColorData.RedMask | Image.ColorData.GreenMask | Image.ColorData.BlueMask),
          AlphaMask(Image.ColorData.AlphaMask),
          AlphaLoc(Image.ColorData.AlphaLoc),
          AlphaWidth(Image.ColorData.AlphaWidth)
    {
    }
    uint32_t Value(int Alpha) const { return White | (((uint32_t)Alpha >> (8 - AlphaWidth)) << AlphaLoc & AlphaMask); }
    uint32_t Get(int X, int Y) const
    {
        const uint8_t *p = Pixels + (size_t)Y * Pitch + X * Bytes;
        return Bytes == 2 ? *(const uint16_t *)p : *(const uint32_t *)p;
    }
    void Set(int X, int Y, uint32_t Value)
    {
        uint8_t *p = Pixels + (size_t)Y * Pitch + X * Bytes;
        if (Bytes == 2)
            *(uint16_t *)p = (uint16_t)Value;
        else
            *(uint32_t *)p = Value;
    }
    void Fill(int X, int Y, int Width, int Height, uint32_t Value)
    {
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) Set(X + x, Y + y, Value);
    }
};

// The horizontal reach of the edge on row Dy of the neighbourhood (-1: none).
int EdgeReach(int EdgeSize, int Dy, bool FourNeighbours)
{
    switch (EdgeSize) {
        case 1:
            return FourNeighbours && Dy != 0 ? 0 : 1;
        case 2:
            return EdgeMask2[Dy + 2];
        case 3:
            return EdgeMask3[Dy + 3];
        case 4:
            return EdgeMask4[Dy + 4];
        default:
            return EdgeSize;
    }
}

// Calls Visit(x, y) for every area pixel an ink pixel at (X, Y) spreads its edge to.
template <typename F>
void ForEachEdgeNeighbour(int EdgeSize, bool FourNeighbours, int X, int Y, F Visit)
{
    for (int dy = -EdgeSize; dy <= EdgeSize; ++dy) {
        const int reach = EdgeReach(EdgeSize, dy, FourNeighbours);
        for (int dx = -reach; dx <= reach; ++dx)
            if (EdgeSize != 1 || dx != 0 || dy != 0)  // size 1 names the neighbours only
                Visit(X + dx, Y + dy);
    }
}

// Non-edged types. 0 / -1.
int WritePlain(FontHandleData &Font, const LevelImage &Glyph, int X0, int Y0)
{
    const int w = Glyph.Width, h = Glyph.Height;
    if (Font.TextureCacheFlag) {
        TextureCacheView view(Font.CacheImage);
        if (view.Bytes == 2 && Glyph.Max != 1) return -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                view.Set(X0 + x, Y0 + y, view.Value(LevelAlpha(Glyph.Pixels[y * w + x], Glyph.Max)));
        return 0;
    }
    const bool bits = Font.FontType == DX_FONTTYPE_NORMAL;
    if (Glyph.Max != (bits ? 1 : 16)) return -1;
    for (int y = 0; y < h; ++y) {
        uint8_t *row = Font.SoftCacheBuffer + (size_t)(Y0 + y) * Font.SoftCachePitch;
        for (int x = 0; x < w; ++x) {
            const int level = Glyph.Pixels[y * w + x];
            if (bits && level != 0)
                row[x >> 3] |= (uint8_t)(0x80 >> (x & 7));
            else if (!bits)
                row[x] = (uint8_t)(level > 0 ? level - 1 : 0);
        }
    }
    return 0;
}

// Edged types: the body placed EdgeSize pixels in from the cell's corner, its edge around it.
int WriteEdged(FontHandleData &Font, const LevelImage &Glyph, int X0, int Y0)
{
    const int e = Font.EdgeSize, w = Glyph.Width, h = Glyph.Height;
    const int areaWidth = w + 2 * e, areaHeight = h + 2 * e;
    const bool oneBit = Font.FontType == DX_FONTTYPE_EDGE;
    const bool texture = Font.TextureCacheFlag != 0;
    if (oneBit ? Glyph.Max != 1 : (Glyph.Max == 1 || (!texture && Glyph.Max != 16))) return -1;
    auto level = [&](int X, int Y) {  // body level at an area position
        const int x = X - e, y = Y - e;
        return x >= 0 && y >= 0 && x < w && y < h ? (int)Glyph.Pixels[y * w + x] : 0;
    };

    if (!texture) {
        uint8_t *cell = Font.SoftCacheBuffer + (size_t)Y0 * Font.SoftCachePitch;
        auto at = [&](int X, int Y) -> uint8_t & { return cell[(size_t)Y * Font.SoftCachePitch + X]; };
        for (int y = 0; y < areaHeight; ++y)
            for (int x = 0; x < areaWidth; ++x) {
                const int l = level(x, y);
                if (l == 0) continue;
                if (oneBit) {
                    at(x, y) = 1;
                    continue;
                }
                at(x, y) = (uint8_t)((at(x, y) & 0xF0) | (l - 1));
                ForEachEdgeNeighbour(e, true, x, y, [&](int nx, int ny) {
                    if ((at(nx, ny) >> 4) < l - 1) at(nx, ny) = (uint8_t)(((l - 1) << 4) | (at(nx, ny) & 0x0F));
                });
            }
        if (oneBit)
            for (int y = 0; y < areaHeight; ++y)
                for (int x = 0; x < areaWidth; ++x)
                    if (level(x, y) != 0)
                        ForEachEdgeNeighbour(e, true, x, y, [&](int nx, int ny) {
                            if (at(nx, ny) != 1) at(nx, ny) = 2;
                        });
        return 0;
    }

    // Texture: the edge layer's pixels (cleared to 0) hold the edge values until the last pass.
    TextureCacheView view(Font.CacheImage);
    const int edgeX0 = X0 + Font.CacheWidth;
    const int shift = Glyph.Max == 16 ? 4 : Glyph.Max == 64 ? 6 : 8;
    for (int y = 0; y < areaHeight; ++y)
        for (int x = 0; x < areaWidth; ++x) {
            const int l = level(x, y);
            if (l == 0) continue;
            ForEachEdgeNeighbour(e, false, x, y, [&](int nx, int ny) {
                uint32_t v = view.Get(edgeX0 + nx, Y0 + ny) & 0xFF;
                v = oneBit ? 1 : v + (((uint32_t)Glyph.Max - v) * (uint32_t)l >> shift);
                view.Set(edgeX0 + nx, Y0 + ny, v);
            });
        }
    for (int y = 0; y < areaHeight; ++y)
        for (int x = 0; x < areaWidth; ++x) {
            const int l = level(x, y);
            int edge = (int)(view.Get(edgeX0 + x, Y0 + y) & 0xFF);
            if (oneBit) {
                edge = l != 0 ? 0 : edge;
            } else if (Glyph.Max != 255 && l == Glyph.Max) {
                edge = 0;  // under a fully covered body pixel the edge is not seen
            }
            view.Set(X0 + x, Y0 + y, view.Value(LevelAlpha(l, Glyph.Max)));
            view.Set(edgeX0 + x, Y0 + y, view.Value(LevelAlpha(edge, oneBit ? 1 : Glyph.Max)));
        }
    return 0;
}

// Takes the cell out of the index it was filed in.
void EvictCell(FontHandleData &Font, FontCharData &Cell)
{
    if (!Cell.InUseFlag) return;
    if (Cell.CodeEntry != nullptr) {
        Cell.CodeEntry->InUseFlag = 0;
        Cell.CodeEntry->Cell = nullptr;
        Cell.CodeEntry = nullptr;
    } else {
        for (int i = 0; i < Font.HighCodeNum; ++i)
            if (Font.HighCodeList[i] == &Cell) {
                memmove(&Font.HighCodeList[i], &Font.HighCodeList[i + 1],
                        sizeof(Font.HighCodeList[0]) * (size_t)(Font.HighCodeNum - i - 1));
                --Font.HighCodeNum;
                break;
            }
    }
    Cell.InUseFlag = 0;
}

void IndexCell(FontHandleData &Font, FontCharData &Cell)
{
    if (Cell.Code < FONT_CODE_INDEX_NUM) {
        FontCodeData &entry = Font.CodeIndex[Cell.Code];
        entry.InUseFlag = 1;
        entry.Cell = &Cell;
        Cell.CodeEntry = &entry;
    } else {
        Cell.CodeEntry = nullptr;
        if (Font.HighCodeNum >= FONT_HIGH_CODE_MAXNUM) {
            // The oldest leaves the index; its cell keeps its image until its turn comes. (The cell
            // being written is never in the list: its eviction took it out.)
            Font.HighCodeList[0]->InUseFlag = 0;
            memmove(&Font.HighCodeList[0], &Font.HighCodeList[1],
                    sizeof(Font.HighCodeList[0]) * (size_t)(Font.HighCodeNum - 1));
            --Font.HighCodeNum;
        }
        Font.HighCodeList[Font.HighCodeNum++] = &Cell;
    }
    Cell.InUseFlag = 1;
    Cell.GraphCharFlag = 0;
}

}  // namespace

int AddCharToFontCache(FontHandleData *Font, FontCharData *Cell, uint32_t Code, int NoImageFlag, int ImageFormat,
                       const void *Image, int Width, int Height, int Pitch, int X, int Y, int Advance,
                       int UpdateTextureFlag)
{
    FontHandleData &f = *Font;
    FontCharData &cell = *Cell;
    EvictCell(f, cell);
    if (ImageFormat < 0 || ImageFormat > FONT_IMAGE_LEVEL255 || cell.CellIndex < 0) return -1;
    const int scale = ImageFormat == FONT_IMAGE_BIT1_X4    ? 4
                      : ImageFormat == FONT_IMAGE_BIT1_X8  ? 8
                      : ImageFormat == FONT_IMAGE_BIT1_X16 ? 16
                                                           : 1;
    const int edge = IsEdgedType(f.FontType) ? f.EdgeSize : 0;
    cell.Code = Code;

    if (NoImageFlag || Image == nullptr) {
        cell.DrawX = cell.DrawY = 0;
        cell.Width = cell.Height = 0;
        cell.Advance = (int16_t)((Advance + scale / 4) / scale + 2 * edge);
        IndexCell(f, cell);
        return 0;
    }

    // The block grid of a reduced glyph is aligned to multiples of the scale: the source is read
    // from (Y mod scale) rows above the image. The result is cut to what the cell can show.
    const int side = f.Metrics.CellSide;
    const int yShift = FloorMod(Y, scale);
    int width = Width > 0 ? (Width + scale - 1) / scale : 0;
    int height = Height > 0 ? (Height + yShift + scale - 1) / scale : 0;
    const int room = side - 2 * edge;
    width = width < room ? width : room;
    height = height < room ? height : room;
    cell.DrawX = (int16_t)((X + scale / 4) / scale);
    cell.DrawY = (int16_t)((Y - yShift) / scale);
    cell.Advance = (int16_t)((Advance + scale / 4) / scale);
    cell.Width = (int16_t)width;
    cell.Height = (int16_t)height;

    const int x0 = cell.Column * side, y0 = cell.Row * side;
    if (f.TextureCacheFlag) {
        TextureCacheView view(f.CacheImage);
        if (edge > 0) {
            view.Fill(x0, y0, side, side, 0);
            view.Fill(x0 + f.CacheWidth, y0, side, side, 0);
        } else {
            view.Fill(x0, y0, side, side, view.Value(0));
        }
    } else {
        memset(f.SoftCacheBuffer + (size_t)y0 * f.SoftCachePitch, 0, (size_t)side * f.SoftCachePitch);
    }

    LevelImage glyph = {f.WorkBuffer, width, height, 1};
    if (NormaliseGlyph(f, ImageFormat, (const uint8_t *)Image, Width, Height, Pitch, scale, yShift, &glyph) < 0)
        return -1;
    if ((edge > 0 ? WriteEdged(f, glyph, x0, y0) : WritePlain(f, glyph, x0, y0)) < 0) return -1;

    cell.Advance = (int16_t)(cell.Advance + 2 * edge);
    cell.Width = (int16_t)(cell.Width + 2 * edge);
    cell.Height = (int16_t)(cell.Height + 2 * edge);
    IndexCell(f, cell);
    if (f.TextureCacheFlag && UpdateTextureFlag) {
        const ImageRect rect = {x0, y0, x0 + side, y0 + side};
        ExtendFontCacheUpdateRect(Font, &rect);
    }
    return 0;
}
