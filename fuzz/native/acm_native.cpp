#include "fuzz/native/acm_native.h"

#include <string.h>

#include <new>

namespace {

const uint32_t kFramesPerBlock = 4;

struct NativeAcmStream {
    uint32_t SourceBlock;  // bytes of one source block, at least 1
    uint32_t OutFrame;     // bytes of one output frame
};

int Suggest(const void *Src, SoundWaveFormat *Dest)
{
    SoundWaveFormat source;
    memcpy(&source, Src, sizeof source);
    const uint16_t channels = source.nChannels > 2 ? 2 : source.nChannels;
    Dest->wFormatTag = SOUND_FORMAT_TAG_PCM;
    Dest->nChannels = channels;
    Dest->nSamplesPerSec = source.nSamplesPerSec;
    Dest->wBitsPerSample = 16;
    Dest->nBlockAlign = static_cast<uint16_t>(channels * 2);
    Dest->nAvgBytesPerSec = source.nSamplesPerSec * Dest->nBlockAlign;  // may wrap: the caller checks
    Dest->cbSize = 0;
    return 0;
}

int MaxFormatSize(void) { return 64; }

void *Open(const void *Src, const SoundWaveFormat *Dest)
{
    SoundWaveFormat source;
    memcpy(&source, Src, sizeof source);
    if (Dest->nBlockAlign == 0) return nullptr;
    return new (std::nothrow) NativeAcmStream{source.nBlockAlign > 0 ? source.nBlockAlign : 1u, Dest->nBlockAlign};
}

void Close(void *Stream) { delete static_cast<NativeAcmStream *>(Stream); }

int Convert(void *Stream, const void *Src, uint32_t SrcBytes, void *Dest, uint32_t DestBytes, uint32_t *SrcUsed,
            uint32_t *DestUsed)
{
    const NativeAcmStream &s = *static_cast<NativeAcmStream *>(Stream);
    const uint32_t outPerBlock = kFramesPerBlock * s.OutFrame;
    uint32_t blocks = SrcBytes / s.SourceBlock;
    if (blocks > DestBytes / outPerBlock) blocks = DestBytes / outPerBlock;
    // Each output byte follows from the source, so a seek must land on the same bytes.
    const unsigned char *in = static_cast<const unsigned char *>(Src);
    unsigned char *out = static_cast<unsigned char *>(Dest);
    for (uint32_t b = 0; b < blocks; b++) {
        for (uint32_t i = 0; i < outPerBlock; i++) out[b * outPerBlock + i] = in[b * s.SourceBlock + i % s.SourceBlock];
    }
    *SrcUsed = blocks * s.SourceBlock;
    *DestUsed = blocks * outPerBlock;
    return 0;
}

int64_t Size(void *Stream, uint32_t SrcBytes)
{
    const NativeAcmStream &s = *static_cast<NativeAcmStream *>(Stream);
    return int64_t(SrcBytes / s.SourceBlock) * kFramesPerBlock * s.OutFrame;
}

const SoundAcmApi kNativeAcm = {Suggest, MaxFormatSize, Open, Close, Convert, Size};

} // namespace

const SoundAcmApi *NativeAcm(void) { return &kNativeAcm; }
