// The WAVE image writer.
#include "zovuz/sound/wave_image_internal.h"

#include <stdint.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"

namespace {

unsigned char *PutId(unsigned char *At, const char *Id)
{
    memcpy(At, Id, 4);
    return At + 4;
}

unsigned char *PutLe32(unsigned char *At, uint32_t Value)
{
    for (int i = 0; i < 4; i++) At[i] = (unsigned char)(Value >> (8 * i));
    return At + 4;
}

}  // namespace

int BuildWaveFileImage(void **Image, size_t *ImageSize, const void *Format, int FormatSize, const void *Data,
                       size_t DataSize)
{
    if (Image == nullptr || ImageSize == nullptr || FormatSize < 0 || (Format == nullptr && FormatSize > 0) ||
        (Data == nullptr && DataSize > 0)) {
        return -1;
    }
    // The RIFF size field is 32 bits: a larger image cannot be written.
    uint64_t total = (uint64_t)DataSize + 28 + (uint64_t)FormatSize;
    unsigned char *image = total <= UINT32_MAX && total <= SIZE_MAX ? (unsigned char *)DXALLOC((size_t)total) : nullptr;
    if (image == nullptr) {
        AddLogStringWide(L"仮WAVEファイルイメージ用のメモリ確保に失敗しました\n");
        return -1;
    }
    unsigned char *at = PutId(image, "RIFF");
    at = PutLe32(at, (uint32_t)(total - 8));
    at = PutId(at, "WAVE");
    at = PutId(at, "fmt ");
    at = PutLe32(at, (uint32_t)FormatSize);
    if (FormatSize > 0) memcpy(at, Format, (size_t)FormatSize);
    at += FormatSize;
    at = PutId(at, "data");
    at = PutLe32(at, (uint32_t)DataSize);
    if (DataSize > 0) memcpy(at, Data, DataSize);
    *Image = image;
    *ImageSize = (size_t)total;
    return 0;
}
