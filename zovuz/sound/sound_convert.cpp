// The sound conversion framework: format recognition in the fixed order, block delivery,
// seeking, whole conversion, and the stream and chunk helpers the recognisers share.
#include "zovuz/sound/sound_convert_internal.h"

#include <limits.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"

namespace {

// One format the framework can recognise. A null Setup is a format this build cannot read:
// it never takes a stream.
struct SoundConvertRecogniser
{
    int SkipBit;                            // SOUND_CONV_SKIP_* bit that leaves it out
    int (*Setup)(SoundConvertState *Conv);  // 0 with Method set, or -1 (nothing held)
};

// The recognition order. ACM WAVE and MP3 through ACM make method 3, MP3 through DirectShow
// method 4, Media Foundation method 5.
const SoundConvertRecogniser g_Recognisers[] = {
    {SOUND_CONV_SKIP_WAVE, SetupSoundConvertWave},
    {SOUND_CONV_SKIP_OGG_VORBIS, SoundConvert_OggVorbis_Open},
    {SOUND_CONV_SKIP_OGG_OPUS, SoundConvert_OggOpus_Open},
    {SOUND_CONV_SKIP_ACM_WAVE, SoundConvert_SetupWAVE},
    {SOUND_CONV_SKIP_ACM_MP3, SoundConvert_SetupMP3},
    {SOUND_CONV_SKIP_DSHOW_MP3, nullptr},
    {SOUND_CONV_SKIP_MF, nullptr},
};

// The common operations of one method. Null entries: decode and seek fail, the size is 0,
// there are no loop points, nothing to release.
struct SoundConvertMethod
{
    int (*Decode)(SoundConvertState *Conv);                // fills the output buffer; -1 at the end
    int (*Seek)(SoundConvertState *Conv, int64_t Sample);  // 0, or -1
    int64_t (*GetDestSize)(SoundConvertState *Conv);
    int (*GetLoopInfo)(SoundConvertState *Conv, int *LoopStart, int *LoopEnd);
    void (*Release)(SoundConvertState *Conv);
};

const SoundConvertMethod g_Methods[SOUND_CONV_METHOD_COUNT] = {
    {SoundConvert_Wave_Decode, SoundConvert_Wave_Seek, SoundConvert_Wave_GetDestSize, SoundConvert_Wave_GetLoopInfo,
     SoundConvert_Wave_Release},
    {SoundConvert_OggVorbis_Decode, SoundConvert_OggVorbis_Seek, SoundConvert_OggVorbis_GetTotalSample,
     SoundConvert_Ogg_GetLoopInfo, SoundConvert_OggVorbis_Close},
    {SoundConvert_OggOpus_Decode, SoundConvert_OggOpus_Seek, SoundConvert_OggOpus_GetTotalSample, nullptr,
     SoundConvert_OggOpus_Close},
    {SoundConvert_ACM_Decode, SoundConvert_ACM_Seek, SoundConvert_ACM_GetDestSize, nullptr, SoundConvert_ACM_Release},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const SoundConvertMethod &MethodOf(const SoundConvertState *Conv)
{
    static const SoundConvertMethod none = {};
    if (Conv->Method < 0 || Conv->Method >= SOUND_CONV_METHOD_COUNT) return none;
    return g_Methods[Conv->Method];
}

void ReleaseMethod(SoundConvertState *Conv)
{
    const SoundConvertMethod &m = MethodOf(Conv);
    if (m.Release != nullptr) m.Release(Conv);
}

int SeekMethod(SoundConvertState *Conv, int64_t Sample)
{
    const SoundConvertMethod &m = MethodOf(Conv);
    int result = m.Seek != nullptr ? m.Seek(Conv, Sample) : -1;
    Conv->EndFlag = 0;
    return result;
}

}  // namespace

int SetupSoundConvert(SoundConvertState *Conv, const StreamFunctionTable *Stream, void *StreamData, int SkipMask,
                      int OggVorbisBitDepth, int OggVorbisDecoder)
{
    if (Conv == nullptr || Stream == nullptr) return -1;
    memset(Conv, 0, sizeof *Conv);
    Conv->OggVorbisBitDepth = OggVorbisBitDepth;
    Conv->OggVorbisDecoder = OggVorbisDecoder;
    Conv->Stream = *Stream;
    Conv->StreamData = StreamData;
    Conv->PreDecodePosition = 0;
    SoundConvert_SeekStream(Conv, 0);

    bool taken = false;
    for (const SoundConvertRecogniser &r : g_Recognisers) {
        if ((SkipMask & r.SkipBit) != 0 || r.Setup == nullptr) continue;
        if (r.Setup(Conv) == 0) {
            taken = true;
            break;
        }
        SoundConvert_SeekStream(Conv, 0);
    }
    if (!taken) return -1;

    Conv->InitializeFlag = 0;
    Conv->EndFlag = 0;
    Conv->DestBuffer = Conv->DestBufferSize > 0 ? (unsigned char *)DXALLOC(Conv->DestBufferSize) : nullptr;
    if (Conv->DestBuffer == nullptr) {
        ReleaseMethod(Conv);
        return -1;
    }
    Conv->DestBufferValid = 0;
    Conv->DestBufferReadOffset = 0;
    Conv->DestOutputPosition = 0;
    Conv->InitializeFlag = 1;
    return 0;
}

int RunSoundConvert(SoundConvertState *Conv, void *Dest, int Bytes)
{
    if (Conv == nullptr || !Conv->InitializeFlag) return -1;
    if (Bytes <= 0 || Conv->EndFlag || Dest == nullptr) return 0;

    const SoundConvertMethod &m = MethodOf(Conv);
    unsigned char *out = (unsigned char *)Dest;
    int written = 0;
    bool exhausted = false;
    while (written < Bytes) {
        if (Conv->DestBufferValid == 0) {
            Conv->DestBufferReadOffset = 0;
            if (m.Decode == nullptr || m.Decode(Conv) == -1 || Conv->DestBufferValid == 0) {
                Conv->DestBufferValid = 0;
                exhausted = true;
                break;
            }
        }
        uint32_t take = Conv->DestBufferValid;
        if (take > (uint32_t)(Bytes - written)) take = (uint32_t)(Bytes - written);
        memcpy(out + written, Conv->DestBuffer + Conv->DestBufferReadOffset, take);
        Conv->DestBufferReadOffset += take;
        Conv->DestBufferValid -= take;
        Conv->DestOutputPosition += take;
        written += (int)take;
    }
    if (exhausted) Conv->EndFlag = 1;
    return written;
}

int SoundConvert_SetPosition(SoundConvertState *Conv, int64_t Sample)
{
    if (Conv == nullptr || !Conv->InitializeFlag) return -1;
    if (Sample < 0) Sample = 0;
    int64_t d = Sample * Conv->OutFormat.nBlockAlign - Conv->DestOutputPosition;
    if (d > -16 && d < 16) return 0;
    return SeekMethod(Conv, Sample);
}

int SoundConvert_SetPreDecodePosition(SoundConvertState *Conv, int64_t Sample)
{
    if (Conv == nullptr || !Conv->InitializeFlag) return -1;
    Conv->PreDecodePosition = Sample * Conv->OutFormat.nBlockAlign;
    return 0;
}

int64_t SoundConvert_GetDestSize(SoundConvertState *Conv)
{
    if (Conv == nullptr || !Conv->InitializeFlag) return -1;
    const SoundConvertMethod &m = MethodOf(Conv);
    return m.GetDestSize != nullptr ? m.GetDestSize(Conv) : 0;
}

int SoundConvert_GetFormat(SoundConvertState *Conv, SoundWaveFormat *Format)
{
    if (Conv == nullptr || !Conv->InitializeFlag || Format == nullptr) return -1;
    *Format = Conv->OutFormat;
    return 0;
}

int SoundConvert_GetLoopInfo(SoundConvertState *Conv, int *LoopStart, int *LoopEnd)
{
    if (LoopStart != nullptr) *LoopStart = -1;
    if (LoopEnd != nullptr) *LoopEnd = -1;
    if (Conv == nullptr || !Conv->InitializeFlag) return -1;
    const SoundConvertMethod &m = MethodOf(Conv);
    int start = -1, end = -1;
    if (m.GetLoopInfo == nullptr || m.GetLoopInfo(Conv, &start, &end) != 0) return -1;
    if (LoopStart != nullptr) *LoopStart = start;
    if (LoopEnd != nullptr) *LoopEnd = end;
    return 0;
}

int SoundConvert_ReadAll(SoundConvertState *Conv, SoundWaveFormat *Format, void **Dest, int *DestBytes)
{
    if (Conv == nullptr || !Conv->InitializeFlag || Format == nullptr || Dest == nullptr || DestBytes == nullptr) {
        return -1;
    }
    // An empty sound has nothing to hand out; one over 2 GB could never be held.
    int64_t size = SoundConvert_GetDestSize(Conv);
    if (size <= 0 || size > INT_MAX) return -1;
    unsigned char *block = (unsigned char *)DXALLOC((size_t)size);
    if (block == nullptr) return -1;

    // Always move the source to the start, even from a position within the seek's slack.
    SeekMethod(Conv, 0);
    int got;
    if (Conv->Method == SOUND_CONV_METHOD_WAVE && Conv->Wave.SrcFormat.wFormatTag == SOUND_FORMAT_TAG_PCM) {
        // A PCM source needs no conversion: one read of the whole data. Only the bytes the
        // stream really holds count.
        size_t read = SoundConvert_ReadStream(Conv, block, (size_t)size);
        read -= read % Conv->OutFormat.nBlockAlign;
        got = (int)read;
        Conv->Wave.DataRead = (uint32_t)read;
        Conv->DestOutputPosition = read;
    } else {
        got = RunSoundConvert(Conv, block, (int)size);
    }
    if (got <= 0) {
        DXFREE(block);
        return -1;
    }
    *Format = Conv->OutFormat;
    *Dest = block;
    *DestBytes = got;
    return 0;
}

int SoundConvert_Release(SoundConvertState *Conv)
{
    if (Conv == nullptr || !Conv->InitializeFlag) return -1;
    DXFREE(Conv->DestBuffer);
    Conv->DestBuffer = nullptr;
    Conv->DestBufferValid = 0;
    ReleaseMethod(Conv);
    Conv->InitializeFlag = 0;
    return 0;
}

// ---- stream and chunk helpers -------------------------------------------------------------

size_t SoundConvert_ReadStream(SoundConvertState *Conv, void *Buffer, size_t Bytes)
{
    if (Bytes == 0 || Conv->Stream.Read == nullptr) return 0;
    // Blocks of one byte: a short read then says exactly how much arrived.
    size_t got = Conv->Stream.Read(Buffer, 1, Bytes, Conv->StreamData);
    return got > Bytes ? Bytes : got;
}

const unsigned char *SoundConvert_ReadStreamInPlace(SoundConvertState *Conv, size_t Bytes, size_t *Got)
{
    *Got = 0;
    if (Conv->Stream.Read != MemStreamRead || Conv->StreamData == nullptr) return nullptr;
    // What MemStreamRead does for blocks of one byte, without the copy.
    MemStream *stream = (MemStream *)Conv->StreamData;
    const unsigned char *at = stream->DataBuffer + stream->DataPoint;
    if (stream->DataPoint >= stream->DataSize) {
        stream->EOFFlag = 1;
        return at;
    }
    size_t left = stream->DataSize - stream->DataPoint;
    *Got = Bytes < left ? Bytes : left;
    if (*Got > 0) {
        stream->DataPoint += (uint32_t)*Got;
        stream->EOFFlag = 0;
    }
    return at;
}

int SoundConvert_SeekStream(SoundConvertState *Conv, int64_t Position)
{
    if (Conv->Stream.Seek == nullptr) return -1;
    return Conv->Stream.Seek(Conv->StreamData, Position, FILE_SEEK_SET);
}

int64_t SoundConvert_TellStream(SoundConvertState *Conv)
{
    if (Conv->Stream.Tell == nullptr) return -1;
    return Conv->Stream.Tell(Conv->StreamData);
}

int64_t SoundConvert_StreamSize(SoundConvertState *Conv)
{
    int64_t here = SoundConvert_TellStream(Conv);
    if (here < 0 || Conv->Stream.Seek(Conv->StreamData, 0, FILE_SEEK_END) != 0) return INT64_MAX;
    int64_t size = SoundConvert_TellStream(Conv);
    SoundConvert_SeekStream(Conv, here);
    return size < 0 ? INT64_MAX : size;
}

int SoundConvert_FindChunk(SoundConvertState *Conv, const char *Id, int64_t Limit, uint32_t *Size)
{
    int64_t end = SoundConvert_StreamSize(Conv);
    int64_t pos = SoundConvert_TellStream(Conv);
    if (pos < 0) return -1;
    // Positions are 64-bit, so neither a size near 4 GB nor its pad byte can wrap and send
    // the scan backwards; a chunk that runs past the end of the stream ends the scan.
    while (pos < Limit && pos <= end - 8) {
        unsigned char header[8];
        if (SoundConvert_ReadStream(Conv, header, 8) != 8) return -1;
        uint32_t size = ReadLe32(header + 4);
        if (memcmp(header, Id, 4) == 0) {
            *Size = size;
            return 0;
        }
        pos += 8 + (int64_t)size + (size & 1);
        if (pos > end || SoundConvert_SeekStream(Conv, pos) != 0) return -1;
    }
    return -1;
}

int SoundConvert_ReadFormatChunk(SoundConvertState *Conv, uint32_t Size, SoundWaveFormat *Format)
{
    memset(Format, 0, sizeof *Format);
    if (Size < 16) return -1;
    size_t want = Size < sizeof *Format ? Size : sizeof *Format;
    if (SoundConvert_ReadStream(Conv, Format, want) != want) return -1;
    if (Size < sizeof *Format) Format->cbSize = 0;

    SoundWaveFormat &f = *Format;
    if (f.nChannels == 0 || f.nBlockAlign == 0 || f.nSamplesPerSec == 0 || f.nAvgBytesPerSec == 0) return -1;
    if (f.wFormatTag == SOUND_FORMAT_TAG_PCM && Size == 16) {
        uint32_t bits = f.nBlockAlign / f.nChannels * 8u;
        if (bits > 0xFFFF) return -1;
        f.wBitsPerSample = (uint16_t)bits;
        f.cbSize = 0;
    }
    if (f.wFormatTag == SOUND_FORMAT_TAG_PCM || f.wFormatTag == SOUND_FORMAT_TAG_IEEE_FLOAT) {
        uint32_t sampleBytes = (f.wBitsPerSample + 7u) / 8u;
        if (sampleBytes == 0 || (uint32_t)f.nChannels * sampleBytes > f.nBlockAlign) return -1;
    }
    return 0;
}

void SoundConvert_ClampLoop(int64_t Start, int64_t End, int64_t TotalFrames, int *LoopStart, int *LoopEnd)
{
    *LoopStart = -1;
    *LoopEnd = -1;
    if (End > TotalFrames) End = TotalFrames;
    if (End > INT_MAX) End = INT_MAX;
    if (Start < 0 || End <= Start) return;
    *LoopStart = (int)Start;
    *LoopEnd = (int)End;
}
