// DirectDraw surface files: masked and channel formats (Direct3D format numbers as the
// four-character code), DXT1 to DXT5, mip chains and cube maps.
#include <string.h>

#include "zovuz/graphics/image/image_load_internal.h"

namespace {

struct DdsFormat
{
    uint32_t Key;  // Direct3D format number
    int FloatFlag;
    int Channels;  // 0 for a masked entry
    int Bits;      // channel bits, or the bit depth of a masked entry
    uint32_t Red, Green, Blue, Alpha;
};

const DdsFormat DdsFormatTable[] = {
    {20, 0, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 0, 0, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 0, 0, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 0, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 0, 0, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 0, 0, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 0, 0, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 0, 0, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 0, 0, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 0, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 0, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {34, 0, 2, 16, 0, 0, 0, 0},
    {35, 0, 0, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {36, 0, 4, 16, 0, 0, 0, 0},
    {81, 0, 1, 16, 0, 0, 0, 0},
    {111, 1, 1, 16, 0, 0, 0, 0},
    {112, 1, 2, 16, 0, 0, 0, 0},
    {113, 1, 4, 16, 0, 0, 0, 0},
    {114, 1, 1, 32, 0, 0, 0, 0},
    {115, 1, 2, 32, 0, 0, 0, 0},
    {116, 1, 4, 32, 0, 0, 0, 0},
    {0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 0},
};

// Header fields, as offsets from the start of the 124-byte header (after the magic).
constexpr int kFlags = 4, kHeight = 8, kWidth = 12, kPitch = 16, kMipCount = 24;
constexpr int kPixelFlags = 76, kFourCc = 80, kBitCount = 84, kMasks = 88, kCaps = 104, kCaps2 = 108;
constexpr uint32_t kHeaderSize = 124;

constexpr uint32_t kFlagPitch = 0x8, kFlagMipCount = 0x20000;
constexpr uint32_t kPixelFourCc = 0x4, kPixelRgb = 0x40;
constexpr uint32_t kCapsComplex = 0x8, kCapsMipMap = 0x400000;
constexpr uint32_t kCaps2CubeMap = 0x200, kCaps2AllFaces = 0xFC00;

// The format of the pixel-format block. False when unsupported.
bool ReadFormat(const uint8_t *H, COLORDATA *Cd)
{
    const uint32_t flags = ReadLe32(H + kPixelFlags), fourCc = ReadLe32(H + kFourCc);
    if (flags == kPixelFourCc) {
        for (const DdsFormat *f = DdsFormatTable; f->Key != 0xFFFFFFFF; ++f) {
            if (f->Key != fourCc) continue;
            if (f->FloatFlag || (f->Bits == 16 && f->Channels >= 1))
                SetColorData(Cd, 0, 0, 0, 0, 0, f->Channels, f->Bits, f->FloatFlag);
            else
                SetColorData(Cd, f->Bits, f->Red, f->Green, f->Blue, f->Alpha, 0, 0, 0);
            return true;
        }
    }
    if ((flags & kPixelFourCc) && memcmp(H + kFourCc, "DXT", 3) == 0 && H[kFourCc + 3] >= '1' &&
        H[kFourCc + 3] <= '5') {
        CreateARGB8ColorData(Cd);
        Cd->Format = (uint8_t)(H[kFourCc + 3] - '0');
        Cd->BitDepth = Cd->Format == COLORDATA_FORMAT_DXT1 ? 4 : 8;
        return true;
    }
    if (flags & kPixelRgb) {
        const uint32_t bits = ReadLe32(H + kBitCount);
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
        SetColorData(Cd, (int)bits, ReadLe32(H + kMasks), ReadLe32(H + kMasks + 4), ReadLe32(H + kMasks + 8),
                     ReadLe32(H + kMasks + 12), 0, 0, 0);
        return true;
    }
    return false;
}

}  // namespace

int LoadDdsToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    ImageReader r(Stream);
    uint8_t magic[4], h[kHeaderSize];
    if (r.Failed || !r.Read(magic, 4) || memcmp(magic, "DDS", 3) != 0 || !r.Read(h, kHeaderSize) ||
        ReadLe32(h) != kHeaderSize)
        return -1;
    BASEIMAGE image = {};
    if (!ReadFormat(h, &image.ColorData)) return -1;
    const uint32_t flags = ReadLe32(h + kFlags), caps = ReadLe32(h + kCaps), caps2 = ReadLe32(h + kCaps2);
    const uint32_t width = ReadLe32(h + kWidth), height = ReadLe32(h + kHeight);
    if (width < 1 || height < 1 || width > (uint32_t)kImageMaxSide || height > (uint32_t)kImageMaxSide) return -1;
    image.Width = (int)width;
    image.Height = (int)height;

    // A chain never holds more levels than halving the longer side down to 1 gives.
    int mips = 0;
    if ((flags & kFlagMipCount) && (caps & kCapsMipMap) && (caps & kCapsComplex)) {
        uint32_t full = 1;
        for (uint32_t side = width > height ? width : height; side > 1; side /= 2) ++full;
        uint32_t stored = ReadLe32(h + kMipCount);
        mips = (int)(stored < full ? stored : full);
    }
    const int faces = (caps2 & kCaps2CubeMap) && (caps2 & kCaps2AllFaces) == kCaps2AllFaces ? 6 : 1;
    const int levels = mips > 1 ? mips : 1;
    image.CubeFlag = faces == 6 ? 6 : 0;

    if (image.ColorData.Format != COLORDATA_FORMAT_PLAIN) {
        image.Pitch = 0;
        image.MipCount = mips;
        if (!HeaderOnly) {
            int face = GetDxtImageDataSize(image.ColorData.Format, image.Width, image.Height, mips);
            size_t total;
            if (face <= 0 || !ImageByteCount(face, faces, 1, &total)) return -1;
            image.Pixels = DXALLOC(total);
            if (image.Pixels == nullptr) return -1;
            if (!r.Read(image.Pixels, total)) {
                DXFREE(image.Pixels);
                return -1;
            }
            image.DataSize = (int)total;
        }
        *Image = image;
        return 0;
    }

    const int pixelBytes = image.ColorData.PixelBytes;
    const int64_t packedPitch = (int64_t)width * pixelBytes;
    const int64_t pitch = (flags & kFlagPitch) ? (int64_t)ReadLe32(h + kPitch) : packedPitch;
    if (pixelBytes < 1 || pitch < packedPitch || pitch > kImageMaxBytes) return -1;
    image.Pitch = (int)pitch;
    image.MipCount = mips;
    if (HeaderOnly) {
        *Image = image;
        return 0;
    }

    // Each face stores its whole chain. A cut file keeps the levels every face still has in full.
    const int64_t storedChain = PlainChainBytes(pitch, image.Width, image.Height, pixelBytes, levels);
    int kept = levels;
    while (kept > 0 && (faces - 1) * storedChain + PlainChainBytes(pitch, image.Width, image.Height, pixelBytes, kept) >
                           r.Remaining())
        --kept;
    if (kept == 0) return -1;
    const int64_t keptChain = PlainChainBytes(pitch, image.Width, image.Height, pixelBytes, kept);
    size_t total;
    if (!ImageByteCount(keptChain, faces, 1, &total)) return -1;
    uint8_t *out = (uint8_t *)DXALLOC(total);
    if (out == nullptr) return -1;
    const int64_t dataStart = r.Tell();
    for (int f = 0; f < faces; ++f) {
        if (!r.Seek(dataStart + f * storedChain) || !r.Read(out + (size_t)(f * keptChain), (size_t)keptChain)) {
            DXFREE(out);
            return -1;
        }
    }
    if (mips > 1) image.MipCount = kept;
    image.Pixels = out;
    image.DataSize = (int)total;
    *Image = image;
    return 0;
}
