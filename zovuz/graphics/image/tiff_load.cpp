// TIFF files through libtiff's RGBA interface, strip by strip, read from the loader's stream
// by client procedures; every image becomes 32-bit ARGB.
#include <string.h>

#include <vector>

#include <tiffio.h>

#include "zovuz/graphics/image/image_load_internal.h"

namespace {

struct TiffClientRecord
{
    ImageStreamPair *Stream;
    int64_t Base;     // stream position when the file was opened
    int64_t Length;   // bytes from Base to the end
    int64_t PatchAt;  // offset of a rows-per-strip value of 0 shown to libtiff as all ones, or -1
    int PatchBytes;   // its size: 2 or 4
};

int64_t Position(TiffClientRecord *Rec) { return Rec->Stream->Table.Tell(Rec->Stream->Stream) - Rec->Base; }

tmsize_t TiffReadProc(thandle_t Handle, void *Buffer, tmsize_t Size)
{
    TiffClientRecord *rec = (TiffClientRecord *)Handle;
    int64_t left = rec->Length - Position(rec);
    if (Size > left) Size = left > 0 ? (tmsize_t)left : 0;
    if (Size <= 0) return 0;
    const int64_t at = Position(rec);
    tmsize_t read = (tmsize_t)rec->Stream->Table.Read(Buffer, 1, (size_t)Size, rec->Stream->Stream);
    for (int i = 0; i < rec->PatchBytes; ++i) {
        int64_t k = rec->PatchAt + i - at;
        if (rec->PatchAt >= 0 && k >= 0 && k < read) ((uint8_t *)Buffer)[k] = 0xFF;
    }
    return read;
}

tmsize_t TiffWriteProc(thandle_t, void *, tmsize_t Size) { return Size; }

toff_t TiffSeekProc(thandle_t Handle, toff_t Offset, int Whence)
{
    TiffClientRecord *rec = (TiffClientRecord *)Handle;
    const StreamFunctionTable &t = rec->Stream->Table;
    int64_t offset = (int64_t)Offset;
    int origin = Whence == SEEK_CUR ? FILE_SEEK_CUR : Whence == SEEK_END ? FILE_SEEK_END : FILE_SEEK_SET;
    if (origin == FILE_SEEK_SET) offset += rec->Base;
    if (t.Seek(rec->Stream->Stream, offset, origin) != 0) return (toff_t)-1;
    return (toff_t)Position(rec);
}

int TiffCloseProc(thandle_t) { return 0; }  // the stream stays open for the caller
toff_t TiffSizeProc(thandle_t Handle) { return (toff_t)((TiffClientRecord *)Handle)->Length; }
int TiffMapProc(thandle_t, void **, toff_t *) { return 0; }
void TiffUnmapProc(thandle_t, void *, toff_t) {}

// Messages are not shown: a loader writes no log lines.
int TiffQuietHandler(TIFF *, void *, const char *, const char *, va_list) { return 1; }

TIFF *OpenTiff(TiffClientRecord *Rec)
{
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, (tmsize_t)kImageMaxBytes);
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffQuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffQuietHandler, nullptr);
    TIFF *tif = TIFFClientOpenExt("Read", "r", (thandle_t)Rec, TiffReadProc, TiffWriteProc, TiffSeekProc, TiffCloseProc,
                                  TiffSizeProc, TiffMapProc, TiffUnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// libtiff refuses a rows-per-strip value of 0, which such files use for one strip of the whole
// image. The first directory is searched for it so that the reader can show libtiff the
// all-ones value that means exactly that.
void FindZeroRowsPerStrip(ImageReader &R, TiffClientRecord &Rec)
{
    Rec.PatchAt = -1;
    Rec.PatchBytes = 0;
    uint8_t head[8];
    if (!R.Seek(0) || !R.Read(head, 8)) return;
    const bool little = head[0] == 'I';
    auto u16 = [little](const uint8_t *p) { return little ? ReadLe16(p) : (uint16_t)(p[0] << 8 | p[1]); };
    auto u32 = [little](const uint8_t *p) {
        return little ? ReadLe32(p) : (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
    };
    uint8_t count[2];
    const int64_t directory = u32(head + 4);
    if (u16(head + 2) != 42 || !R.Seek(directory) || !R.Read(count, 2)) return;
    for (int i = 0; i < u16(count); ++i) {
        uint8_t e[12];
        if (!R.Read(e, 12)) return;
        const uint16_t tag = u16(e), type = u16(e + 2);
        if (tag == TIFFTAG_ROWSPERSTRIP && u32(e + 4) == 1 && (type == TIFF_SHORT || type == TIFF_LONG) &&
            (type == TIFF_SHORT ? u16(e + 8) : u32(e + 8)) == 0) {
            Rec.PatchAt = directory + 2 + 12 * i + 8;
            Rec.PatchBytes = type == TIFF_SHORT ? 2 : 4;
            return;
        }
    }
}

// libtiff's RGBA reader premultiplies unassociated alpha. Marking the alpha as associated
// makes it hand the stored values through, which is what the file means.
void KeepUnassociatedAlpha(TIFF *Tif)
{
    uint16_t count = 0;
    uint16_t *kinds = nullptr;
    if (TIFFGetField(Tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) && count >= 1 && kinds != nullptr &&
        kinds[0] == EXTRASAMPLE_UNASSALPHA) {
        std::vector<uint16_t> changed(kinds, kinds + count);
        changed[0] = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(Tif, TIFFTAG_EXTRASAMPLES, count, changed.data());
    }
}

// Strips of RGBA values (red in the low byte, rows bottom-up) into the image.
bool ReadStrips(TIFF *Tif, BASEIMAGE &Image, uint32_t RowsPerStrip, uint32_t *Strip)
{
    const uint32_t width = (uint32_t)Image.Width, height = (uint32_t)Image.Height;
    for (uint32_t r = 0; r < height; r += RowsPerStrip) {
        if (!TIFFReadRGBAStrip(Tif, r, Strip)) return false;
        const uint32_t n = RowsPerStrip < height - r ? RowsPerStrip : height - r;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t *src = Strip + (size_t)i * width;
            uint8_t *dest = (uint8_t *)Image.Pixels + (size_t)(r + n - 1 - i) * Image.Pitch;
            for (uint32_t x = 0; x < width; ++x, dest += 4) {
                const uint32_t v = src[x];
                dest[0] = (uint8_t)(v >> 16);
                dest[1] = (uint8_t)(v >> 8);
                dest[2] = (uint8_t)v;
                dest[3] = (uint8_t)(v >> 24);
            }
        }
    }
    return true;
}

}  // namespace

int LoadTiffImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    TiffClientRecord record;
    ImageReader r(Stream);
    uint8_t order[2];
    if (r.Failed || !r.Read(order, 2) ||
        !((order[0] == 'I' && order[1] == 'I') || (order[0] == 'M' && order[1] == 'M')) || !r.Seek(0))
        return -1;
    record.Stream = Stream;
    record.Base = r.Start;
    record.Length = r.Size;
    FindZeroRowsPerStrip(r, record);
    if (!r.Seek(0)) return -1;
    TIFF *tif = OpenTiff(&record);
    if (tif == nullptr) return -1;

    uint32_t width = 0, height = 0, rowsPerStrip = 0;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    // A missing or 0 count, or one past the height, means one strip of the whole image.
    if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
    BASEIMAGE image;
    size_t imageBytes, stripBytes;
    if (!StartArgbImage(width, height, &image, &imageBytes) || !ImageByteCount(width, rowsPerStrip, 4, &stripBytes)) {
        TIFFClose(tif);
        return -1;
    }
    if (!HeaderOnly) {
        uint32_t *strip = (uint32_t *)DXALLOC(stripBytes);
        image.Pixels = DXALLOC(imageBytes);
        bool ok = strip != nullptr && image.Pixels != nullptr;
        if (ok) {
            KeepUnassociatedAlpha(tif);
            ok = ReadStrips(tif, image, rowsPerStrip, strip);
        }
        DXFREE(strip);
        if (!ok) {
            DXFREE(image.Pixels);
            TIFFClose(tif);
            return -1;
        }
    }
    TIFFClose(tif);
    *Image = image;
    return 0;
}
