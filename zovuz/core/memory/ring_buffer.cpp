// Growable byte FIFO. Appends and takes are at most two block copies; growth is geometric
// (one and a half times the stored bytes plus the request plus 1000 bytes), so a steady
// producer causes few reallocations. The buffer never shrinks until it is terminated.
#include "zovuz/core/memory/ring_buffer.h"
#include "zovuz/core/memory/ring_buffer_internal.h"

#include <limits.h>
#include <string.h>

#include "zovuz/core/text/log.h"
#include "zovuz/core/memory/memory.h"

namespace {

// A position equal to the buffer size stands for 0.
void FoldPositions(RingBuffer* ring)
{
    if (ring->ReadPosition == ring->BufferSize) ring->ReadPosition = 0;
    if (ring->WritePosition == ring->BufferSize) ring->WritePosition = 0;
}

}  // namespace

int RingBufferInitialize(RingBuffer* ring)
{
    if (ring == nullptr) return -1;
    memset(ring, 0, sizeof(*ring));
    return 0;
}

int RingBufferReSize(RingBuffer* ring, int size_to_add)
{
    if (ring == nullptr || size_to_add < 0) return -1;
    FoldPositions(ring);

    // A buffer may become exactly full.
    if ((long long)ring->BufferSize >= (long long)ring->DataLength + size_to_add) return 0;

    // Sizes are kept in 32-bit ints; a request that cannot be expressed is refused like a
    // failed allocation, with the old bytes kept.
    long long new_size = (long long)ring->DataLength * 3 / 2 + size_to_add + 1000;
    if (new_size > INT_MAX) {
        AddLogFormat(L"リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)", INT_MAX);
        return -1;
    }
    unsigned char* new_data = (unsigned char*)DxAlloc((size_t)new_size, __FILE__, __LINE__);
    if (new_data == nullptr) {
        // Queued bytes are queued audio: a failed growth keeps them, and the caller's
        // append fails instead.
        AddLogFormat(L"リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)", (int)new_size);
        return -1;
    }

    // Unwrap the stored bytes to the start of the new buffer.
    if (ring->DataLength > 0) {
        int first = ring->DataLength;
        if (ring->ReadPosition + ring->DataLength > ring->BufferSize) first = ring->BufferSize - ring->ReadPosition;
        memcpy(new_data, ring->DataBuffer + ring->ReadPosition, (size_t)first);
        if (first < ring->DataLength) memcpy(new_data + first, ring->DataBuffer, (size_t)(ring->DataLength - first));
    }
    if (ring->DataBuffer != nullptr) DxFree(ring->DataBuffer);

    ring->DataBuffer = new_data;
    ring->BufferSize = (int)new_size;
    ring->ReadPosition = 0;
    ring->WritePosition = ring->DataLength;
    return 0;
}

int RingBufferDataAdd(RingBuffer* ring, const void* data, int size)
{
    if (ring == nullptr || size < 0 || (data == nullptr && size > 0)) return -1;
    if (size == 0) return 0;
    FoldPositions(ring);

    if (RingBufferReSize(ring, size) < 0) {
        AddLogFormat(L"リングバッファへのデータの追加に失敗しました(追加する長さ %d byte)", size);
        return -1;
    }

    const unsigned char* src = (const unsigned char*)data;
    int first = size;
    if (ring->WritePosition + size > ring->BufferSize) first = ring->BufferSize - ring->WritePosition;
    memcpy(ring->DataBuffer + ring->WritePosition, src, (size_t)first);
    if (first < size) {
        memcpy(ring->DataBuffer, src + first, (size_t)(size - first));
        ring->WritePosition = size - first;
    } else {
        ring->WritePosition += size;
    }
    ring->DataLength += size;
    return 0;
}

int RingBufferDataGet(RingBuffer* ring, void* dest, int size, int peek)
{
    if (ring == nullptr || size < 0 || (dest == nullptr && size > 0)) return -1;
    FoldPositions(ring);
    if (size > ring->DataLength) return -1;
    if (size == 0) return 0;

    unsigned char* out = (unsigned char*)dest;
    int first = size;
    if (ring->ReadPosition + size > ring->BufferSize) first = ring->BufferSize - ring->ReadPosition;
    memcpy(out, ring->DataBuffer + ring->ReadPosition, (size_t)first);
    if (first < size) memcpy(out + first, ring->DataBuffer, (size_t)(size - first));

    if (peek == 0) {
        ring->ReadPosition = first < size ? size - first : ring->ReadPosition + size;
        ring->DataLength -= size;
    }
    return 0;
}

int RingBufferTerminate(RingBuffer* ring)
{
    if (ring == nullptr) return -1;
    if (ring->DataBuffer != nullptr) DxFree(ring->DataBuffer);
    memset(ring, 0, sizeof(*ring));
    return 0;
}
