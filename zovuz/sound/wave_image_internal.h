// The WAVE image writer: wraps sample bytes and a wave format into a complete RIFF WAVE
// file image in memory, so decoded PCM can be read again by a converter.
#pragma once

#include <stddef.h>

// The image is "RIFF", size, "WAVE", a "fmt " chunk holding the FormatSize format bytes
// unchanged, and a "data" chunk holding the DataSize sample bytes unchanged (no pad byte):
// DataSize + 28 + FormatSize bytes. 0 with *Image (DXFREE it) and *ImageSize written, or
// -1 (logged when memory is short) with neither touched.
int BuildWaveFileImage(void **Image, size_t *ImageSize, const void *Format, int FormatSize, const void *Data,
                       size_t DataSize);
