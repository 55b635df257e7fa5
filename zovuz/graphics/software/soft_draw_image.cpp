// The software renderer's image drawer: a MEMIMG (a graph's image, a temporary screen) drawn at a
// position or stretched, with nearest sampling, its colour key or alpha channel, the draw bright
// and the blend opacity.
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <type_traits>

#include "zovuz/graphics/draw_steps_internal.h"
#include "zovuz/graphics/software/soft_draw_internal.h"
#include "zovuz/graphics/software/soft_pixel_internal.h"

using namespace softpixel;

namespace {

// One draw of an image: the target rectangle [Left, Left + Count) x [Top, Bottom) inside the clip,
// and for each target column its source byte offset.
struct ImageDraw
{
    uint8_t *Dest;
    int DestPitch;
    int Left, Count, Top, Bottom;
    const int *ColumnOffset;
    const uint8_t *Source;
    int SourcePitch;
    int SourceHeight;
    int Y1, Y2;  // the image's top and bottom edges on the target
    const void *Palette;
    int KeyFlag;
    uint32_t Key;  // colour bits of the key
    int AlphaFlag;
    int White;  // the draw bright is white
    int BrightR, BrightG, BrightB;
    int Opacity;          // 1-255
    int IdentityColumns;  // column i reads source column i (no stretch, no mirror)
    int DoubledColumns;   // columns 2k and 2k + 1 read the same source column, the next pair the next
};

// The source row or column of target pixel D for an edge at A1 and the other at A2 over N pixels:
// the one under the pixel's centre (A2 < A1 counts from the other side).
int SourceIndex(int D, int A1, int A2, int N)
{
    int64_t index = ((2 * ((int64_t)D - A1) + 1) * N) / (2 * ((int64_t)A2 - A1));
    return index < 0 ? 0 : index >= N ? N - 1 : (int)index;
}

// Source pixels 0 .. Pairs - 1 each written twice, side by side, on Rows rows from Dest on; with
// Blocks, 16 source bytes are read ahead of the pixels written (so not onto the source's own row).
template <int Bytes>
void WriteDoubledRows(uint8_t *Dest, int Pitch, int Rows, const uint8_t *Source, int Pairs, bool Blocks)
{
    int i = 0;
#if defined(__SSE2__)
    // Each pixel next to itself in two 16-byte stores a row.
    constexpr int kPixels = 16 / Bytes;
    for (; Blocks && i + kPixels <= Pairs; i += kPixels) {
        const __m128i s = _mm_loadu_si128((const __m128i *)(Source + (size_t)i * Bytes));
        const __m128i lo = Bytes == 4 ? _mm_unpacklo_epi32(s, s) : _mm_unpacklo_epi16(s, s);
        const __m128i hi = Bytes == 4 ? _mm_unpackhi_epi32(s, s) : _mm_unpackhi_epi16(s, s);
        uint8_t *d = Dest + (size_t)i * 2 * Bytes;
        for (int r = 0; r < Rows; ++r, d += Pitch) {
            _mm_storeu_si128((__m128i *)d, lo);
            _mm_storeu_si128((__m128i *)(d + 16), hi);
        }
    }
#endif
    for (; i < Pairs; ++i) {
        uint8_t *d = Dest + (size_t)i * 2 * Bytes;
        for (int r = 0; r < Rows; ++r, d += Pitch) {
            memcpy(d, Source + (size_t)i * Bytes, Bytes);
            memcpy(d + Bytes, Source + (size_t)i * Bytes, Bytes);
        }
    }
}

// Pixels copied as they are (the same format, nothing see-through, no tint, opaque). The rows
// stretched from one source row are written together from it (not when an image is drawn onto
// itself, where a written row may be a source row still to be read).
template <int Bytes>
void CopyImageRows(const ImageDraw &W)
{
    const size_t rowBytes = (size_t)W.Count * Bytes;
    const bool ontoItself = W.Dest == W.Source;
    for (int y = W.Top; y < W.Bottom;) {
        const int sourceRow = SourceIndex(y, W.Y1, W.Y2, W.SourceHeight);
        int rows = 1;
        if (!ontoItself)
            while (y + rows < W.Bottom && SourceIndex(y + rows, W.Y1, W.Y2, W.SourceHeight) == sourceRow) ++rows;
        const uint8_t *source = W.Source + (size_t)sourceRow * W.SourcePitch;
        uint8_t *dest = W.Dest + (size_t)y * W.DestPitch + (size_t)W.Left * Bytes;
        if (W.IdentityColumns) {
            for (int r = 0; r < rows; ++r) memcpy(dest + (size_t)r * W.DestPitch, source + W.ColumnOffset[0], rowBytes);
        } else if (W.DoubledColumns) {
            WriteDoubledRows<Bytes>(dest, W.DestPitch, rows, source + W.ColumnOffset[0], W.Count / 2, !ontoItself);
        } else {
            for (int i = 0; i < W.Count; ++i) memcpy(dest + (size_t)i * Bytes, source + W.ColumnOffset[i], Bytes);
            for (int r = 1; r < rows; ++r) memcpy(dest + (size_t)r * W.DestPitch, dest, rowBytes);
        }
        y += rows;
    }
}

template <class S, class D>
void DrawImageRows(const ImageDraw &W)
{
    const MemImgManageData &m = MemImgManage;
    if (std::is_same<S, D>::value && !S::HasAlpha && !W.KeyFlag && W.White && W.Opacity == 255) {
        CopyImageRows<D::Bytes>(W);
        return;
    }
    for (int y = W.Top; y < W.Bottom; ++y) {
        const uint8_t *source = W.Source + (size_t)SourceIndex(y, W.Y1, W.Y2, W.SourceHeight) * W.SourcePitch;
        uint8_t *dest = W.Dest + (size_t)y * W.DestPitch + (size_t)W.Left * D::Bytes;
        for (int i = 0; i < W.Count; ++i, dest += D::Bytes) {
            uint32_t raw = S::Raw(source + W.ColumnOffset[i]);
            if (W.KeyFlag && S::KeyBits(raw) == W.Key) continue;
            Rgba c = S::Split(raw, W.Palette);
            int a = W.AlphaFlag ? c.A : 255;
            if (!W.White) {
                c.R = m.MulTable[W.BrightR][c.R];
                c.G = m.MulTable[W.BrightG][c.G];
                c.B = m.MulTable[W.BrightB][c.B];
            }
            if (W.Opacity != 255) a = m.MulTable[a][W.Opacity];
            if (a == 255)
                D::Store(dest, D::Pack(c.R, c.G, c.B, 255));
            else if (a != 0)
                BlendOver<D>(dest, c, a);
        }
    }
}

template <class S>
void DrawImageRowsTo(Family Dest, const ImageDraw &W)
{
    switch (Dest) {
        case FAMILY_565:
            DrawImageRows<S, F565>(W);
            break;
        case FAMILY_565A:
            DrawImageRows<S, F565A>(W);
            break;
        case FAMILY_XRGB:
            DrawImageRows<S, FXrgb>(W);
            break;
        default:
            DrawImageRows<S, FArgb>(W);
            break;
    }
}

int SourceBytes(Family Source) { return Source == FAMILY_565 ? 2 : Source >= FAMILY_PAL565 ? 1 : 4; }

// The target rectangle a draw from (X1, Y1) to (X2, Y2) covers, inside the draw area and the
// target; false when none of it is left.
bool DrawnTargetRect(const MEMIMG *Dest, int X1, int Y1, int X2, int Y2, ImageRect *Rect)
{
    ImageRect rect = {X1 < X2 ? X1 : X2, Y1 < Y2 ? Y1 : Y2, X1 < X2 ? X2 : X1, Y1 < Y2 ? Y2 : Y1};
    ImageRect clip = MemImgManage.DrawArea;
    ImageRect whole = {0, 0, Dest->Width, Dest->Height};
    ClipRect(&clip, &whole);
    ClipRect(&rect, &clip);
    *Rect = rect;
    return rect.left < rect.right && rect.top < rect.bottom;
}

}  // namespace

SoftImageSource GraphImageSource(const MEMIMG *Image, int TransFlag)
{
    SoftImageSource s = {Image, 0, 0, 0};
    if (!TransFlag || !CheckValidMemImg(Image)) return s;
    const MemImgImage *base = Image->Base;
    if (base->UseAlpha) {  // palette images never carry alpha
        s.AlphaFlag = 1;
    } else if (base->ColorKeyFlag) {
        s.KeyFlag = 1;
        s.Key = base->ColorKey;
    }
    return s;
}

int SoftImageSourceRow(int Y, int Y1, int Y2, int Height) { return SourceIndex(Y, Y1, Y2, Height); }

bool SoftImageSourcePart(const MEMIMG *Dest, const MEMIMG *Image, int X1, int Y1, int X2, int Y2, ImageRect *Part)
{
    if (X1 == X2 || Y1 == Y2 || !CheckValidMemImg(Dest) || !CheckValidMemImg(Image)) return false;
    ImageRect rect;
    if (!DrawnTargetRect(Dest, X1, Y1, X2, Y2, &rect)) return false;
    // The source index only grows (or only shrinks, mirrored) along the target: its two ends bound it.
    const int c1 = SourceIndex(rect.left, X1, X2, Image->Width), c2 = SourceIndex(rect.right - 1, X1, X2, Image->Width);
    const int r1 = SourceIndex(rect.top, Y1, Y2, Image->Height),
              r2 = SourceIndex(rect.bottom - 1, Y1, Y2, Image->Height);
    *Part = ImageRect{c1 < c2 ? c1 : c2, r1 < r2 ? r1 : r2, (c1 < c2 ? c2 : c1) + 1, (r1 < r2 ? r2 : r1) + 1};
    return true;
}

int SoftDrawImageCopies(const MEMIMG *Dest, const SoftImageSource *Source)
{
    const MEMIMG *image = Source->Image;
    if (!CheckValidMemImg(Dest) || !CheckValidMemImg(image) || image->UseImage == Dest->UseImage) return 0;
    Family family = FamilyOf(Dest->Base);
    if (FamilyOf(image->Base) != family || (family != FAMILY_565 && family != FAMILY_XRGB)) return 0;
    return !Source->KeyFlag && (MemImgManage.DrawBright & 0xFFFFFF) == 0xFFFFFF && BlendOpacity() == 255 ? 1 : 0;
}

int SoftDrawImage(MEMIMG *Dest, int X1, int Y1, int X2, int Y2, const SoftImageSource *Source)
{
    const MEMIMG *image = Source->Image;
    if (X1 == X2 || Y1 == Y2 || !CheckValidMemImg(Dest) || !CheckValidMemImg(image) || image->Width < 1 ||
        image->Height < 1)
        return 0;
    Family destFamily = FamilyOf(Dest->Base), sourceFamily = FamilyOf(image->Base);
    if (destFamily < FAMILY_565 || destFamily > FAMILY_ARGB || sourceFamily == FAMILY_NONE) return 0;
    const MemImgManageData &m = MemImgManage;
    int opacity = BlendOpacity();
    if (opacity == 0) return 0;

    ImageRect rect;
    if (!DrawnTargetRect(Dest, X1, Y1, X2, Y2, &rect)) return 0;

    ImageDraw w;
    w.Count = rect.right - rect.left;
    DrawWorkBufferData &work = DrawWorkBuffer;
    int *columns = (int *)GrowDrawWorkBuffer(&work.SourceMap, &work.SourceMapSize, w.Count * (int)sizeof(int));
    if (columns == nullptr) return -1;
    int bytes = SourceBytes(sourceFamily);
    for (int i = 0; i < w.Count; ++i) columns[i] = SourceIndex(rect.left + i, X1, X2, image->Width) * bytes;
    w.IdentityColumns = X2 - X1 == image->Width;
    // Twice the width: target column d reads source column d / 2 (the pixel centre's rule), so a
    // pair that starts on an even column reads one source column.
    w.DoubledColumns = X2 - X1 == 2 * image->Width && (rect.left - X1) % 2 == 0 && w.Count % 2 == 0;
    w.ColumnOffset = columns;
    w.Dest = Dest->UseImage;
    w.DestPitch = Dest->Base->Pitch;
    w.Left = rect.left;
    w.Top = rect.top;
    w.Bottom = rect.bottom;
    w.Source = image->UseImage;
    w.SourcePitch = image->Base->Pitch;
    w.SourceHeight = image->Height;
    w.Y1 = Y1;
    w.Y2 = Y2;
    w.Palette = image->Base->Palette;
    w.AlphaFlag = Source->AlphaFlag && (sourceFamily == FAMILY_565A || sourceFamily == FAMILY_ARGB);
    w.KeyFlag = Source->KeyFlag && !w.AlphaFlag;
    uint32_t bright = m.DrawBright & 0xFFFFFF;
    w.White = bright == 0xFFFFFF;
    w.BrightR = bright >> 16;
    w.BrightG = bright >> 8 & 0xFF;
    w.BrightB = bright & 0xFF;
    w.Opacity = opacity;
    switch (sourceFamily) {
        case FAMILY_565:
            w.Key = F565::KeyBits(Source->Key);
            DrawImageRowsTo<F565>(destFamily, w);
            break;
        case FAMILY_565A:
            w.Key = F565A::KeyBits(Source->Key);
            DrawImageRowsTo<F565A>(destFamily, w);
            break;
        case FAMILY_XRGB:
            w.Key = FXrgb::KeyBits(Source->Key);
            DrawImageRowsTo<FXrgb>(destFamily, w);
            break;
        case FAMILY_ARGB:
            w.Key = FArgb::KeyBits(Source->Key);
            DrawImageRowsTo<FArgb>(destFamily, w);
            break;
        case FAMILY_PAL565:
            w.Key = FPal565::KeyBits(Source->Key);
            DrawImageRowsTo<FPal565>(destFamily, w);
            break;
        default:
            w.Key = FPalXrgb::KeyBits(Source->Key);
            DrawImageRowsTo<FPalXrgb>(destFamily, w);
            break;
    }
    return 0;
}
