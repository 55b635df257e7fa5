// JPEG files through libjpeg-turbo, read from the loader's stream by a source manager of our
// own; grey images become grey-palette images, colour and CMYK images 24-bit colour.
#include <setjmp.h>
#include <stdio.h>

#include <jerror.h>
#include <jpeglib.h>

#include "zovuz/graphics/image/image_load_internal.h"

namespace {

constexpr int kJpegBufferBytes = 4096;

// The stream is measured here, not by ImageReader: the native fuzzing build compiles this file
// with the system libjpeg's structure layout, so it shares no structure holding 64-bit members
// with the other loaders.
struct JpegSourceManager
{
    jpeg_source_mgr Pub;
    JOCTET *Buffer;   // kJpegBufferBytes, from the decompressor's permanent pool
    int StartOfFile;  // nothing was read yet
    ImageStreamPair *Stream;
    int64_t Base;    // stream position when the source was installed
    int64_t Length;  // bytes from Base to the end
};

struct JpegErrorManager
{
    jpeg_error_mgr Pub;
    jmp_buf Jump;
};

void JpegInitSource(j_decompress_ptr Cinfo) { ((JpegSourceManager *)Cinfo->src)->StartOfFile = TRUE; }

boolean JpegFillInputBuffer(j_decompress_ptr Cinfo)
{
    JpegSourceManager *src = (JpegSourceManager *)Cinfo->src;
    const StreamFunctionTable &t = src->Stream->Table;
    int64_t left = src->Length - (t.Tell(src->Stream->Stream) - src->Base);
    size_t want = left < kJpegBufferBytes ? (left > 0 ? (size_t)left : 0) : kJpegBufferBytes;
    size_t n = want > 0 ? t.Read(src->Buffer, 1, want, src->Stream->Stream) : 0;
    if (n == 0) {
        if (src->StartOfFile) ERREXIT(Cinfo, JERR_INPUT_EMPTY);
        // A cut stream ends as if the end-of-image code followed.
        WARNMS(Cinfo, JWRN_JPEG_EOF);
        src->Buffer[0] = (JOCTET)0xFF;
        src->Buffer[1] = (JOCTET)JPEG_EOI;
        n = 2;
    }
    src->Pub.next_input_byte = src->Buffer;
    src->Pub.bytes_in_buffer = n;
    src->StartOfFile = FALSE;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr Cinfo, long Count)
{
    if (Count <= 0) return;
    jpeg_source_mgr *src = Cinfo->src;
    while (Count > (long)src->bytes_in_buffer) {
        Count -= (long)src->bytes_in_buffer;
        JpegFillInputBuffer(Cinfo);
    }
    src->next_input_byte += Count;
    src->bytes_in_buffer -= (size_t)Count;
}

void JpegTermSource(j_decompress_ptr) {}

void JpegErrorExit(j_common_ptr Cinfo) { longjmp(((JpegErrorManager *)Cinfo->err)->Jump, 1); }

// Messages are not shown: a loader writes no log lines.
void JpegOutputMessage(j_common_ptr) {}

void InstallSource(j_decompress_ptr Cinfo, ImageStreamPair *Stream)
{
    JpegSourceManager *src = (JpegSourceManager *)(*Cinfo->mem->alloc_small)((j_common_ptr)Cinfo, JPOOL_PERMANENT,
                                                                             sizeof(JpegSourceManager));
    src->Buffer = (JOCTET *)(*Cinfo->mem->alloc_small)((j_common_ptr)Cinfo, JPOOL_PERMANENT, kJpegBufferBytes);
    src->Stream = Stream;
    const StreamFunctionTable &t = Stream->Table;
    src->Base = t.Tell(Stream->Stream);
    t.Seek(Stream->Stream, 0, FILE_SEEK_END);
    src->Length = t.Tell(Stream->Stream) - src->Base;
    t.Seek(Stream->Stream, src->Base, FILE_SEEK_SET);
    src->StartOfFile = TRUE;
    src->Pub.init_source = JpegInitSource;
    src->Pub.fill_input_buffer = JpegFillInputBuffer;
    src->Pub.skip_input_data = JpegSkipInputData;
    src->Pub.resync_to_restart = jpeg_resync_to_restart;
    src->Pub.term_source = JpegTermSource;
    src->Pub.bytes_in_buffer = 0;
    src->Pub.next_input_byte = nullptr;
    Cinfo->src = &src->Pub;
}

void SetFormat(BASEIMAGE *Image, int Components)
{
    if (Components == 1)
        CreateGrayPaletteColorData(&Image->ColorData);
    else
        CreateFullColorData(&Image->ColorData);
}

// One decoded row into blue, green, red (or grey) bytes.
void ConvertRow(const JSAMPLE *Src, uint8_t *Dest, int Width, int Components)
{
    if (Components == 3) {
        for (int x = 0; x < Width; ++x, Src += 3, Dest += 3) {
            Dest[0] = Src[2];
            Dest[1] = Src[1];
            Dest[2] = Src[0];
        }
    } else {
        // CMYK as stored by the usual writers (inverted): each colour scaled by the fourth value.
        for (int x = 0; x < Width; ++x, Src += 4, Dest += 3) {
            Dest[0] = (uint8_t)(Src[3] * Src[2] / 255);
            Dest[1] = (uint8_t)(Src[3] * Src[1] / 255);
            Dest[2] = (uint8_t)(Src[3] * Src[0] / 255);
        }
    }
}

}  // namespace

int LoadJpegImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    return LoadJpegImageBase(Stream, Image, HeaderOnly, 0, nullptr, 0);
}

int LoadJpegImageBase(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly, int, void *, int)
{
    uint8_t first = 0;
    if (Stream->Table.Read(&first, 1, 1, Stream->Stream) != 1 ||
        Stream->Table.Seek(Stream->Stream, 0, FILE_SEEK_SET) != 0 || first != 0xFF)
        return -1;

    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    uint8_t *volatile pixels = nullptr;
    cinfo.err = jpeg_std_error(&err.Pub);
    err.Pub.error_exit = JpegErrorExit;
    err.Pub.output_message = JpegOutputMessage;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (pixels != nullptr) DXFREE(pixels);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    InstallSource(&cinfo, Stream);
    jpeg_read_header(&cinfo, TRUE);

    const int components = cinfo.num_components;
    if (components != 1 && components != 3 && components != 4) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    const int bytes = components == 1 ? 1 : 3;
    size_t total;
    if (!ImageByteCount(cinfo.image_width, cinfo.image_height, bytes, &total)) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    BASEIMAGE image = {};
    SetFormat(&image, components);
    image.Width = (int)cinfo.image_width;
    image.Height = (int)cinfo.image_height;
    if (HeaderOnly) {
        jpeg_destroy_decompress(&cinfo);
        *Image = image;
        return 0;
    }

    // Colour comes out in our byte order straight from the decoder.
    if (cinfo.out_color_space == JCS_RGB) cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const int out = cinfo.output_components;
    if ((out != 1 && out != 3 && out != 4) || (out == 1) != (bytes == 1) || cinfo.output_width != cinfo.image_width ||
        cinfo.output_height != cinfo.image_height) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    pixels = (uint8_t *)DXALLOC(total);
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    image.Pitch = image.Width * bytes;
    const bool direct = cinfo.out_color_space == JCS_EXT_BGR || out == 1;
    JSAMPARRAY row =
        direct ? nullptr : (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, cinfo.output_width * out, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t *dest = pixels + (size_t)cinfo.output_scanline * image.Pitch;
        if (direct) {
            JSAMPROW rows[16];
            JDIMENSION count = cinfo.output_height - cinfo.output_scanline;
            if (count > 16) count = 16;
            for (JDIMENSION i = 0; i < count; ++i) rows[i] = dest + (size_t)i * image.Pitch;
            if (jpeg_read_scanlines(&cinfo, rows, count) == 0) break;
        } else if (jpeg_read_scanlines(&cinfo, row, 1) == 1) {
            ConvertRow(row[0], dest, image.Width, out);
        } else {
            break;
        }
    }
    // Rows still missing make the finish fail, which comes back through the jump.
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    image.Pixels = pixels;
    *Image = image;
    return 0;
}
