#include "tests/zovuz/sound/sound_convert_check.h"

#include <vector>

std::string SoundConvertProblem(SoundConvertState *Conv, size_t ImageBytes, bool Sizeless, bool Decoded,
                                std::mt19937 &Rng, int64_t ReadLimit)
{
    SoundWaveFormat f = {};
    SoundConvert_GetFormat(Conv, &f);
    if (f.wFormatTag != 1 || f.nChannels == 0 || f.wBitsPerSample == 0 ||
        f.nBlockAlign < f.nChannels * ((f.wBitsPerSample + 7) / 8)) {
        return "unplayable format";
    }
    // A plain WAVE's output is its data, at most twice as large (8-bit samples become 16-bit).
    const int64_t total = SoundConvert_GetDestSize(Conv);
    if (total < 0 || total % f.nBlockAlign != 0 || (!Sizeless && !Decoded && total > (int64_t)ImageBytes)) {
        return "total " + std::to_string(total);
    }
    int start, end;
    if (SoundConvert_GetLoopInfo(Conv, &start, &end) == 0 && (start < 0 || end <= start || end > total / f.nBlockAlign)) {
        return "loop " + std::to_string(start) + ".." + std::to_string(end);
    }
    std::vector<unsigned char> piece(1 + Rng() % 3000);
    int64_t got = 0;
    for (int n; got < ReadLimit && (n = RunSoundConvert(Conv, piece.data(), (int)piece.size())) > 0;) got += n;
    if (got >= ReadLimit) return std::to_string(got) + " bytes and no end";
    if (got % f.nBlockAlign != 0) return std::to_string(got) + " bytes are no whole frames";
    if (Sizeless || Decoded ? got > total : got != total) return std::to_string(got) + " of " + std::to_string(total);
    if (!Decoded && got > (int64_t)ImageBytes * 2) return "more than the image holds";

    const int64_t frame = (int64_t)(Rng() % (total / f.nBlockAlign + 2));
    SoundConvert_SetPosition(Conv, frame);
    int64_t rest = 0;
    for (int n; rest < ReadLimit && (n = RunSoundConvert(Conv, piece.data(), (int)piece.size())) > 0;) rest += n;
    // An Ogg decode ends at the first stretch the library refuses; after a seek it may read that
    // stretch another way and go on, but never past the total.
    const bool ogg = Conv->Method == SOUND_CONV_METHOD_OGG_VORBIS || Conv->Method == SOUND_CONV_METHOD_OGG_OPUS;
    const int64_t last = ogg && got < total ? total : got;
    if (rest > last - frame * f.nBlockAlign && rest > 0) {
        return "after a seek to frame " + std::to_string(frame) + ": " + std::to_string(rest) + " bytes, from the start " +
               std::to_string(got) + " of " + std::to_string(total);
    }
    return "";
}
