#include "fuzz/support/fuzz_check.h"

#include "zovuz/core/memory/memory.h"
#include "zovuz/core/memory/memory_internal.h"

TrackedHeapCheck::TrackedHeapCheck() : AllocCount(GetAllocNum()), AllocBytes(GetTotalAllocSize()) {}

void TrackedHeapCheck::Verify() const
{
    FUZZ_CHECK(GetAllocNum() == AllocCount, "%d blocks left on the tracked heap, %d before",
               GetAllocNum(), AllocCount);
    FUZZ_CHECK(GetTotalAllocSize() == AllocBytes, "%d bytes on the tracked heap, %d before",
               GetTotalAllocSize(), AllocBytes);
    FUZZ_CHECK(CheckMemory() == 0, "the tracked heap is damaged");
}
