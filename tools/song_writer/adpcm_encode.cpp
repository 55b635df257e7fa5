#include "tools/song_writer/adpcm_encode.h"

#include <algorithm>
#include <cstdlib>

#include "app/engine/mdx/adpcm.h"

std::vector<uint8_t> EncodeAdpcm(const std::vector<int32_t>& target)
{
    AdpcmDecoder table;
    table.Init();
    constexpr int kDelta[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    constexpr int32_t kLow = -(1 << (kAdpcmPredictorBits - 1)), kHigh = (1 << (kAdpcmPredictorBits - 1)) - 1;
    std::vector<uint8_t> bytes((target.size() + 1) / 2, 0);
    int32_t predictor = -2, step = 0;
    for (size_t i = 0; i < target.size(); ++i) {
        int best = 0;
        int64_t bestError = INT64_MAX;
        for (int code = 0; code < 16; ++code) {
            const int32_t p = std::clamp(predictor + table.diffTable[step][code], kLow, kHigh);
            const int64_t error = std::llabs(static_cast<int64_t>(p) - target[i]);
            if (error < bestError) bestError = error, best = code;
        }
        predictor = std::clamp(predictor + table.diffTable[step][best], kLow, kHigh);
        step = std::clamp(step + kDelta[best & 7], 0, kAdpcmStepCount - 1);
        bytes[i / 2] |= static_cast<uint8_t>(i & 1 ? best << 4 : best);
    }
    return bytes;
}
