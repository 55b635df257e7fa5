// Byte and word memory operations; a count of 0 does nothing.
#include "zovuz/core/base_helpers.h"

#include <string.h>

int MemCompare(const void *A, const void *B, size_t Count) { return Count == 0 || memcmp(A, B, Count) == 0 ? 0 : 1; }

// Front to back, byte by byte where the ranges overlap, so an overlapping copy repeats the
// leading bytes the way a plain forward copy does.
void MemCopy(void *Dest, const void *Src, size_t Count)
{
    uint8_t *D = static_cast<uint8_t *>(Dest);
    const uint8_t *S = static_cast<const uint8_t *>(Src);
    if (Count == 0) return;
    if (D + Count <= S || S + Count <= D) {
        memcpy(D, S, Count);
        return;
    }
    for (size_t i = 0; i < Count; i++) D[i] = S[i];
}

void MemMove(void *Dest, const void *Src, size_t Count)
{
    if (Count == 0 || Dest == Src) return;
    memmove(Dest, Src, Count);
}

void MemSet(void *Dest, int Value, size_t Count)
{
    if (Count != 0) memset(Dest, Value, Count);
}

void MemFill32(void *Dest, uint32_t Value, size_t WordCount)
{
    uint8_t *D = static_cast<uint8_t *>(Dest);
    for (size_t i = 0; i < WordCount; i++) memcpy(D + i * 4, &Value, 4);
}
