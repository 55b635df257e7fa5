// Inside the library: the image loaders, their dispatch, and the bounded reader they share.
// Never included from app/.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/graphics/image/base_image_internal.h"

// ---- Size limits --------------------------------------------------------------------------

// The most pixel bytes one decoded image may take. A 32-bit process cannot hold much more, and
// a header that asks for more is refused before anything is allocated.
constexpr int64_t kImageMaxBytes = 0x40000000;
// The longest side any loader accepts (the products are checked separately).
constexpr int kImageMaxSide = 0x10000;

// A * B * C as a byte count when all are positive and the product is at most kImageMaxBytes.
bool ImageByteCount(int64_t A, int64_t B, int64_t C, size_t *Bytes);

// A cleared 32-bit ARGB image record of Width x Height (pitch Width * 4, no pixels), and its
// pixel bytes. False when a side is 0 or above kImageMaxSide or the bytes are too many.
bool StartArgbImage(uint32_t Width, uint32_t Height, BASEIMAGE *Image, size_t *Bytes);

// ---- Bounded reading ----------------------------------------------------------------------

// A reader over a loader's stream from the position it had when the reader was made: the size
// is measured once, every read is whole or fails, and a failure sticks.
struct ImageReader
{
    ImageStreamPair *Stream;
    int64_t Start;  // stream position of offset 0
    int64_t Size;   // bytes from Start to the end of the stream
    bool Failed;    // a read, seek or the measuring failed

    explicit ImageReader(ImageStreamPair *Pair);

    int64_t Tell() const;  // offset from Start
    int64_t Remaining() const { return Size - Tell(); }
    bool Seek(int64_t Offset);  // 0 <= Offset <= Size
    bool Skip(int64_t Count) { return Seek(Tell() + Count); }
    bool Read(void *Buffer, size_t Count);  // exactly Count bytes
};

// ---- Loaders ------------------------------------------------------------------------------

int LoadBmpToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);
int LoadJpegImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);
int LoadPngImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);
int LoadTgaToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);
int LoadDdsToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);
int LoadTiffImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);
int LoadBgraToBaseImage(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly);

// The JPEG decoder behind LoadJpegImage; the APP1 options stay 0 in this system.
int LoadJpegImageBase(ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly, int App1Mode, void *App1Buffer,
                      int App1BufferSize);

// The built-in loaders in the order they are tried, ending with a null entry.
extern const ImageLoaderFunction ImageLoaderTable[];
// Loaders a program registered, null-terminated (nothing in this system adds to it).
extern ImageLoaderFunction UserImageLoaders[];

// Tries the caller's loaders, the registered ones and the table, each from position 0 on a
// cleared record. 0 for the first that accepts, -1 when all refuse (the record then all zero).
int LoadBaseImageFromStream(ImageLoadParam *Param, ImageStreamPair *Stream, BASEIMAGE *Image);

// The alpha image's name of an image file: "_a" before the file name's extension, or at its end
// when it has none; only the part after the last path separator counts. 0, or -1 (Out empty)
// when the result does not fit in OutBytes.
int MakeAlphaImageFileName(const wchar_t *FileName, wchar_t *Out, size_t OutBytes);

// ---- Loading files and memory images -----------------------------------------------------

struct tagBITMAPINFO;  // a Windows bitmap header with its colour table

// Loads an image file (through the block's file operations) or a memory image, then applies
// the mirror flag and the premultiplied-alpha setting. With ToBitmap the result is handed out
// as a top-down Windows bitmap (BitmapInfo with room for 256 colours, BitmapBits; both DxAlloc
// blocks the caller frees) instead of Image. 0 / -1; the source is closed on every path.
int LoadBaseImageFromFile(ImageLoadParam *Param, const wchar_t *FileName, const void *Memory, int MemorySize,
                          int FromMemory, int ToBitmap, int Mirror, BASEIMAGE *Image, tagBITMAPINFO **BitmapInfo,
                          void **BitmapBits);

// The image and its alpha image: AlphaSource 0 = the file MakeAlphaImageFileName names, 1 = the
// alpha memory image. -1 when the image fails; 1 when no alpha image is wanted (AlphaImage null
// or another AlphaSource) or it could not be loaded; 0 when both loaded.
int LoadBaseImageWithAlphaFile(ImageLoadParam *Param, const wchar_t *FileName, const void *Memory, int MemorySize,
                               int FromMemory, const void *AlphaMemory, int AlphaMemorySize, int AlphaSource,
                               BASEIMAGE *Image, BASEIMAGE *AlphaImage, int Mirror);

// ---- Windows bitmaps ----------------------------------------------------------------------

// Draws a device-independent bitmap (its header, colour table and bits as a Windows call takes
// them) with GDI into a 24-bit top-down section of Width x Height and copies it out as a
// CreateFullColorData image (pitch rounded up to 4). 0 / -1. Off Windows it always fails.
int DrawDibToFullColorImage(const void *BitmapInfo, const void *Bits, int Width, int Height, BASEIMAGE *Image);
