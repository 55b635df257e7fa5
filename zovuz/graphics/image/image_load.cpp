// Image loading from a stream: the loader order, the bounded reader the loaders share, and the
// name of an image's alpha file.
#include <string.h>
#include <wchar.h>

#include "zovuz/graphics/image/image_load_internal.h"

const ImageLoaderFunction ImageLoaderTable[] = {
    LoadBmpToBaseImage, LoadJpegImage, LoadPngImage,        LoadTgaToBaseImage,
    LoadDdsToBaseImage, LoadTiffImage, LoadBgraToBaseImage, nullptr,
};

ImageLoaderFunction UserImageLoaders[IMAGE_LOADER_LIST_MAX + 1] = {};

bool ImageByteCount(int64_t A, int64_t B, int64_t C, size_t *Bytes)
{
    if (A <= 0 || B <= 0 || C <= 0 || A > kImageMaxBytes || B > kImageMaxBytes || C > kImageMaxBytes) return false;
    int64_t ab = A * B;
    if (ab > kImageMaxBytes || ab * C > kImageMaxBytes) return false;
    *Bytes = (size_t)(ab * C);
    return true;
}

bool StartArgbImage(uint32_t Width, uint32_t Height, BASEIMAGE *Image, size_t *Bytes)
{
    memset(Image, 0, sizeof(*Image));
    if (Width > (uint32_t)kImageMaxSide || Height > (uint32_t)kImageMaxSide || !ImageByteCount(Width, Height, 4, Bytes))
        return false;
    CreateARGB8ColorData(&Image->ColorData);
    Image->Width = (int)Width;
    Image->Height = (int)Height;
    Image->Pitch = (int)Width * 4;
    return true;
}

ImageReader::ImageReader(ImageStreamPair *Pair) : Stream(Pair), Start(0), Size(0), Failed(false)
{
    const StreamFunctionTable &t = Pair->Table;
    Start = t.Tell(Pair->Stream);
    if (Start < 0 || t.Seek(Pair->Stream, 0, FILE_SEEK_END) != 0) {
        Failed = true;
        return;
    }
    int64_t end = t.Tell(Pair->Stream);
    if (t.Seek(Pair->Stream, Start, FILE_SEEK_SET) != 0 || end < Start)
        Failed = true;
    else
        Size = end - Start;
}

int64_t ImageReader::Tell() const
{
    int64_t at = Stream->Table.Tell(Stream->Stream) - Start;
    return at < 0 ? 0 : at;
}

bool ImageReader::Seek(int64_t Offset)
{
    if (Failed || Offset < 0 || Offset > Size || Stream->Table.Seek(Stream->Stream, Start + Offset, FILE_SEEK_SET) != 0)
        Failed = true;
    return !Failed;
}

bool ImageReader::Read(void *Buffer, size_t Count)
{
    if (Failed) return false;
    // Single-byte blocks: a memory stream counts a short tail as one whole block.
    if (Count > 0 && Stream->Table.Read(Buffer, 1, Count, Stream->Stream) != Count) Failed = true;
    return !Failed;
}

namespace {

// Calls one loader from the start of the stream on a cleared record.
bool TryLoader(ImageLoaderFunction Loader, ImageStreamPair *Stream, BASEIMAGE *Image, int HeaderOnly)
{
    if (Stream->Table.Seek(Stream->Stream, 0, FILE_SEEK_SET) != 0) return false;
    memset(Image, 0, sizeof(*Image));
    if (Loader(Stream, Image, HeaderOnly) == 0) return true;
    memset(Image, 0, sizeof(*Image));
    return false;
}

}  // namespace

int LoadBaseImageFromStream(ImageLoadParam *Param, ImageStreamPair *Stream, BASEIMAGE *Image)
{
    if (Param == nullptr || Stream == nullptr || Image == nullptr) return -1;
    memset(Image, 0, sizeof(*Image));
    int count = Param->LoaderCount < IMAGE_LOADER_LIST_MAX ? Param->LoaderCount : IMAGE_LOADER_LIST_MAX;
    for (int i = 0; i < count; ++i) {
        // The caller's own loaders are given no header-only flag.
        if (Param->Loaders[i] != nullptr && TryLoader(Param->Loaders[i], Stream, Image, 0)) return 0;
    }
    for (int i = 0; UserImageLoaders[i] != nullptr; ++i) {
        if (TryLoader(UserImageLoaders[i], Stream, Image, Param->HeaderOnly)) return 0;
    }
    for (int i = 0; ImageLoaderTable[i] != nullptr; ++i) {
        if (TryLoader(ImageLoaderTable[i], Stream, Image, Param->HeaderOnly)) return 0;
    }
    return -1;
}

int MakeAlphaImageFileName(const wchar_t *FileName, wchar_t *Out, size_t OutBytes)
{
    size_t room = OutBytes / sizeof(wchar_t);
    if (FileName == nullptr || Out == nullptr || room == 0) return -1;
    // The extension is the last '.' of the file name itself: a dot in a folder's name is not one.
    size_t length = wcslen(FileName);
    size_t nameStart = 0;
    for (size_t i = 0; i < length; ++i) {
        if (FileName[i] == L'\\' || FileName[i] == L'/') nameStart = i + 1;
    }
    size_t dot = length;
    for (size_t i = nameStart; i < length; ++i) {
        if (FileName[i] == L'.') dot = i;
    }
    if (length + 3 > room) {
        Out[0] = 0;
        return -1;
    }
    wmemcpy(Out, FileName, dot);
    Out[dot] = L'_';
    Out[dot + 1] = L'a';
    wmemcpy(Out + dot + 2, FileName + dot, length - dot + 1);
    return 0;
}
