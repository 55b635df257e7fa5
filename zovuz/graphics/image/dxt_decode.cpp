// Block-compressed (DXT1 to DXT5) images: their stored size and their decoding to 32-bit ARGB;
// the stored size of any image's mip chain.
//
// Storage: per face, every mip level one after another; a level of w x h pixels holds
// ceil(w / 4) x ceil(h / 4) blocks of 8 bytes (DXT1) or 16 (DXT2 to DXT5). The decoded image
// keeps that order: per face, every level as w x h pixels of 4 bytes, rows of w * 4 bytes.
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/base_image_internal.h"

namespace {

int BlockBytes(int Format) { return Format == 1 ? 8 : 16; }
bool IsDxtFormat(int Format) { return Format >= COLORDATA_FORMAT_DXT1 && Format <= COLORDATA_FORMAT_DXT5; }

int64_t DxtLevelBytes(int Format, int Width, int Height)
{
    return (int64_t)((Width + 3) / 4) * ((Height + 3) / 4) * BlockBytes(Format);
}

int64_t DxtFaceBytes(int Format, int Width, int Height, int Levels)
{
    int64_t total = 0;
    for (int l = 0; l < Levels; ++l) {
        total += DxtLevelBytes(Format, Width, Height);
        Width = Width > 1 ? Width / 2 : 1;
        Height = Height > 1 ? Height / 2 : 1;
    }
    return total;
}

struct Rgba
{
    uint8_t b, g, r, a;
};

Rgba Expand565(uint16_t c)
{
    Rgba out;
    out.b = (uint8_t)((c & 31) * 255 / 31);
    out.g = (uint8_t)(((c >> 5) & 63) * 255 / 63);
    out.r = (uint8_t)((c >> 11) * 255 / 31);
    out.a = 255;
    return out;
}

Rgba Mix(const Rgba &x, const Rgba &y, int wx, int wy, int div)
{
    Rgba out;
    out.b = (uint8_t)((wx * x.b + wy * y.b) / div);
    out.g = (uint8_t)((wx * x.g + wy * y.g) / div);
    out.r = (uint8_t)((wx * x.r + wy * y.r) / div);
    out.a = 255;
    return out;
}

// Decodes one block into 16 texels (row-major).
void DecodeBlock(int Format, const uint8_t *Block, Rgba Texels[16])
{
    const uint8_t *colour = Format == 1 ? Block : Block + 8;
    uint16_t c0 = (uint16_t)(colour[0] | colour[1] << 8);
    uint16_t c1 = (uint16_t)(colour[2] | colour[3] << 8);
    Rgba table[4];
    table[0] = Expand565(c0);
    table[1] = Expand565(c1);
    if (Format != 1 || c0 > c1) {
        table[2] = Mix(table[0], table[1], 2, 1, 3);
        table[3] = Mix(table[0], table[1], 1, 2, 3);
    } else {
        table[2] = Mix(table[0], table[1], 1, 1, 2);
        table[3] = table[2];
        table[3].a = 0;
    }
    uint32_t indices =
        (uint32_t)colour[4] | (uint32_t)colour[5] << 8 | (uint32_t)colour[6] << 16 | (uint32_t)colour[7] << 24;
    for (int t = 0; t < 16; ++t) Texels[t] = table[(indices >> (2 * t)) & 3];
    if (Format == 1) return;

    if (Format == 2 || Format == 3) {
        for (int t = 0; t < 16; ++t) {
            int nibble = (Block[t / 2] >> (4 * (t & 1))) & 15;
            Texels[t].a = (uint8_t)(nibble * 255 / 15);
        }
    } else {
        int a0 = Block[0], a1 = Block[1];
        int alpha[8] = {a0, a1};
        if (a0 > a1) {
            for (int k = 2; k < 8; ++k) alpha[k] = ((8 - k) * a0 + (k - 1) * a1) / 7;
        } else {
            for (int k = 2; k < 6; ++k) alpha[k] = ((6 - k) * a0 + (k - 1) * a1) / 5;
            alpha[6] = 0;
            alpha[7] = 255;
        }
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i) bits |= (uint64_t)Block[2 + i] << (8 * i);
        for (int t = 0; t < 16; ++t) Texels[t].a = (uint8_t)alpha[(bits >> (3 * t)) & 7];
    }

    if (Format == 2 || Format == 4) {
        // Premultiplied colour back to straight colour; a colour brighter than its alpha
        // allows (not a valid premultiplied texel) stops at 255.
        for (int t = 0; t < 16; ++t) {
            Rgba &x = Texels[t];
            if (x.a == 0) continue;
            int b = x.b * 255 / x.a, g = x.g * 255 / x.a, r = x.r * 255 / x.a;
            x.b = (uint8_t)(b > 255 ? 255 : b);
            x.g = (uint8_t)(g > 255 ? 255 : g);
            x.r = (uint8_t)(r > 255 ? 255 : r);
        }
    }
}

// One level: every block, the partial blocks of the right and bottom edges included.
void DecodeLevel(int Format, const uint8_t *Src, int Width, int Height, uint8_t *Dest)
{
    int columns = (Width + 3) / 4;
    int rows = (Height + 3) / 4;
    int block = BlockBytes(Format);
    Rgba texels[16];
    for (int by = 0; by < rows; ++by) {
        for (int bx = 0; bx < columns; ++bx, Src += block) {
            DecodeBlock(Format, Src, texels);
            for (int i = 0; i < 4 && by * 4 + i < Height; ++i) {
                uint8_t *row = Dest + ((ptrdiff_t)(by * 4 + i) * Width + bx * 4) * 4;
                for (int j = 0; j < 4 && bx * 4 + j < Width; ++j) memcpy(row + j * 4, &texels[i * 4 + j], 4);
            }
        }
    }
}

}  // namespace

int64_t PlainChainBytes(int64_t Pitch0, int Width, int Height, int PixelBytes, int Levels)
{
    int64_t total = 0;
    for (int l = 0; l < Levels; ++l) {
        total += l == 0 ? Pitch0 * Height : (int64_t)Width * PixelBytes * Height;
        Width = Width > 1 ? Width / 2 : 1;
        Height = Height > 1 ? Height / 2 : 1;
    }
    return total;
}

int GetDxtImageDataSize(int Format, int Width, int Height, int MipCount)
{
    if (Format == 0) return 0;
    if (Format < 0 || Format > 5) return -1;
    if (Width <= 0 || Height <= 0) return 0;
    int64_t total = DxtFaceBytes(Format, Width, Height, MipCount > 1 ? MipCount : 1);
    return total > 0x7FFFFFFF ? -1 : (int)total;
}

int64_t GetBaseImageLevelBytes(const BASEIMAGE *Image, int Width, int Height, int Level)
{
    const int format = Image->ColorData.Format;
    if (IsDxtFormat(format)) return DxtLevelBytes(format, Width, Height);
    return Level == 0 ? PlainChainBytes(Image->Pitch, Width, Height, Image->ColorData.PixelBytes, 1)
                      : (int64_t)Width * Image->ColorData.PixelBytes * Height;
}

int64_t GetBaseImageFaceBytes(const BASEIMAGE *Image)
{
    const int levels = Image->MipCount > 1 ? Image->MipCount : 1;
    if (IsDxtFormat(Image->ColorData.Format))
        return DxtFaceBytes(Image->ColorData.Format, Image->Width, Image->Height, levels);
    return PlainChainBytes(Image->Pitch, Image->Width, Image->Height, Image->ColorData.PixelBytes, levels);
}

int BaseImageHoldsBytes(const BASEIMAGE *Image, int64_t Offset, int64_t Bytes)
{
    const int64_t held =
        Image->DataSize > 0 ? Image->DataSize : GetBaseImageFaceBytes(Image) * (Image->CubeFlag == 6 ? 6 : 1);
    return Offset >= 0 && Bytes >= 0 && Offset + Bytes <= held ? 1 : 0;
}

void AlignDxtTransferRect(ImageRect *Rect)
{
    auto down = [](int32_t v) { return v - (((v % 4) + 4) % 4); };
    Rect->left = down(Rect->left);
    Rect->top = down(Rect->top);
    Rect->right = down(Rect->right + 3);
    Rect->bottom = down(Rect->bottom + 3);
}

int DecompressDxtBaseImage(BASEIMAGE *Image, int FreeFlag)
{
    if (Image == nullptr) return -1;
    int format = Image->ColorData.Format;
    if (format == 0) return 0;
    if (format > 5 || Image->Pixels == nullptr || Image->Width <= 0 || Image->Height <= 0) return -1;
    int faces = Image->CubeFlag ? 6 : 1;
    int levels = Image->MipCount > 1 ? Image->MipCount : 1;
    int64_t srcFace = DxtFaceBytes(format, Image->Width, Image->Height, levels);
    int64_t destFace = PlainChainBytes((int64_t)Image->Width * 4, Image->Width, Image->Height, 4, levels);
    if (destFace * faces > 0x7FFFFFFF) return -1;
    // Never more than the image holds.
    if (Image->DataSize > 0 && srcFace * faces > Image->DataSize) return -1;
    uint8_t *out = (uint8_t *)DXALLOC((size_t)(destFace * faces));
    if (out == nullptr) return -1;

    for (int f = 0; f < faces; ++f) {
        const uint8_t *src = (const uint8_t *)Image->Pixels + srcFace * f;
        uint8_t *dest = out + destFace * f;
        int w = Image->Width, h = Image->Height;
        for (int l = 0; l < levels; ++l) {
            DecodeLevel(format, src, w, h, dest);
            src += DxtLevelBytes(format, w, h);
            dest += (ptrdiff_t)w * h * 4;
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
    }

    if (FreeFlag) DXFREE(Image->Pixels);
    Image->Pixels = out;
    CreateARGB8ColorData(&Image->ColorData);
    Image->Pitch = Image->Width * 4;
    Image->DataSize = (int)(destFace * faces);
    return 0;
}
