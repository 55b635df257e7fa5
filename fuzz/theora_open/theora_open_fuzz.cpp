// The Theora decoder's open over any memory image, then its decoding: forward one frame, across
// the end, a jump forward, and a seek, each frame brought into the XRGB image. A stream that
// opens has frames and a picture of its stated size; nothing is left of it once it is closed.
#include <stdint.h>

#include "fuzz/support/fuzz_check.h"
#include "zovuz/movie/theora_decode_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TrackedHeapCheck heap;
    MemStream *memory = CreateMemStream(data, static_cast<uint32_t>(size));
    FUZZ_CHECK(memory != nullptr, "no memory stream");
    TheoraDecodeState *state = TheoraDecode_Open(GetMemStreamFunctionTable(), memory, 4, 0, 1, 0);
    if (state != nullptr) {
        TheoraDecodeInfo info;
        FUZZ_CHECK(TheoraDecode_GetInfo(state, &info) == 0, "no information");
        FUZZ_CHECK(info.FrameCount > 0 && info.Width > 0 && info.Height > 0, "%d frames of %d x %d",
                   info.FrameCount, info.Width, info.Height);
        const int moves[] = {1, 1, info.FrameCount, 7, 1};
        for (int step = 0; step < 6; ++step) {
            const BASEIMAGE *image = TheoraDecode_GetYUVImage(state);
            FUZZ_CHECK(image->Width == info.Width && image->Height == info.Height, "a %d x %d image", image->Width,
                       image->Height);
            TouchEnds((const uint8_t *)image->Pixels, (size_t)image->Pitch * image->Height);
            const int frame = TheoraDecode_GetCurrentFrame(state);
            FUZZ_CHECK(frame >= 0 && frame < info.FrameCount, "frame %d of %d", frame, info.FrameCount);
            if (step == 3)
                TheoraDecode_SeekToFrame(state, info.FrameCount / 2);
            else
                TheoraDecode_IncToFrame(state, moves[step < 3 ? step : step - 1]);
        }
        TheoraDecode_Terminate(state);
    }
    MemStreamClose(memory);
    heap.Verify();
    return 0;
}
