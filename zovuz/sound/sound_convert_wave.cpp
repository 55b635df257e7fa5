// The WAVE reader: RIFF WAVE files of integer PCM (delivered as they are) or 32-bit IEEE
// float (delivered as signed 16-bit PCM), with the loop of a "smpl" chunk.
#include <limits.h>
#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_convert_internal.h"

namespace {

// A decode block holds about one second of sound, in whole frames, and never more than this.
constexpr uint32_t kMaxBlockBytes = 4u << 20;

// "smpl" chunk: the loop count, then the first loop's start and (inclusive) end.
constexpr uint32_t kSmplLoopCountOffset = 28;
constexpr uint32_t kSmplFirstLoopStartOffset = 44;
constexpr uint32_t kSmplFirstLoopEndOffset = 48;
constexpr uint32_t kSmplFirstLoopBytes = 60;

int16_t FloatToPcm16(float Sample)
{
    float v = Sample * 32768.0f;
    if (v >= 32767.0f) return 32767;
    if (v > -32768.0f) return (int16_t)v;  // truncates toward zero
    if (v <= -32768.0f) return -32768;
    return 0;  // not a number
}

// Reads the first loop of the "smpl" chunk at the stream's position, when it has one.
void ReadSampleLoop(SoundConvertState *Conv, uint32_t ChunkSize, int64_t TotalFrames)
{
    if (ChunkSize < kSmplFirstLoopBytes) return;
    unsigned char smpl[kSmplFirstLoopBytes];
    if (SoundConvert_ReadStream(Conv, smpl, sizeof smpl) != sizeof smpl) return;
    if (ReadLe32(smpl + kSmplLoopCountOffset) < 1) return;
    // The file's loop end is the last frame played; the converter's end is exclusive.
    int64_t start = ReadLe32(smpl + kSmplFirstLoopStartOffset);
    int64_t end = (int64_t)ReadLe32(smpl + kSmplFirstLoopEndOffset) + 1;
    SoundConvert_ClampLoop(start, end, TotalFrames, &Conv->Wave.LoopStart, &Conv->Wave.LoopEnd);
}

bool IsFloatSource(const SoundConvertState *Conv)
{
    return Conv->Wave.SrcFormat.wFormatTag == SOUND_FORMAT_TAG_IEEE_FLOAT;
}

int64_t TotalFrames(const SoundConvertState *Conv) { return Conv->DataSize / Conv->Wave.SrcFormat.nBlockAlign; }

}  // namespace

int SetupSoundConvertWave(SoundConvertState *Conv)
{
    SoundConvertWave &w = Conv->Wave;
    memset(&w, 0, sizeof w);
    w.LoopStart = w.LoopEnd = -1;
    memset(&Conv->OutFormat, 0, sizeof Conv->OutFormat);

    unsigned char riff[12];
    if (SoundConvert_ReadStream(Conv, riff, sizeof riff) != sizeof riff) return -1;
    if (memcmp(riff, "RIFF", 4) != 0 || memcmp(riff + 8, "WAVE", 4) != 0) return -1;
    const int64_t firstChunk = SoundConvert_TellStream(Conv);

    uint32_t fmtSize;
    if (SoundConvert_FindChunk(Conv, "fmt ", INT64_MAX, &fmtSize) != 0) return -1;
    Conv->FormatChunkPosition = SoundConvert_TellStream(Conv);
    Conv->FormatChunkSize = fmtSize;
    if (SoundConvert_ReadFormatChunk(Conv, fmtSize, &w.SrcFormat) != 0) return -1;

    const SoundWaveFormat &src = w.SrcFormat;
    SoundWaveFormat &out = Conv->OutFormat;
    switch (src.wFormatTag) {
        case SOUND_FORMAT_TAG_PCM:
            out = src;
            out.cbSize = 0;
            break;
        case SOUND_FORMAT_TAG_IEEE_FLOAT:
            if (src.wBitsPerSample != 32) return -1;
            FillPcmFormat(&out, src.nChannels, src.nSamplesPerSec, 2);
            break;
        default:
            return -1;
    }

    // "data" is looked for after "fmt " only.
    if (SoundConvert_SeekStream(Conv, Conv->FormatChunkPosition + fmtSize + (fmtSize & 1)) != 0) return -1;
    uint32_t statedSize;
    if (SoundConvert_FindChunk(Conv, "data", INT64_MAX, &statedSize) != 0) return -1;
    Conv->DataPosition = SoundConvert_TellStream(Conv);

    // Only the bytes the stream really holds are data, and only whole frames of them.
    int64_t present = SoundConvert_StreamSize(Conv) - Conv->DataPosition;
    if (present < 0) present = 0;
    uint32_t size = present < (int64_t)statedSize ? (uint32_t)present : statedSize;
    Conv->DataSize = size - size % src.nBlockAlign;

    // Blocks of whole frames: a bytes-per-second figure that is not a multiple of the frame
    // would leave a split frame at the end of every block.
    uint32_t blockFrames = src.nAvgBytesPerSec / src.nBlockAlign;
    if (blockFrames > kMaxBlockBytes / src.nBlockAlign) blockFrames = kMaxBlockBytes / src.nBlockAlign;
    if (blockFrames == 0) blockFrames = 1;

    // The loop: a "smpl" chunk after the data, else one between the first chunk and the data.
    int64_t afterData = Conv->DataPosition + statedSize + (statedSize & 1);
    uint32_t smplSize;
    bool found = SoundConvert_SeekStream(Conv, afterData) == 0 &&
                 SoundConvert_FindChunk(Conv, "smpl", INT64_MAX, &smplSize) == 0;
    if (!found) {
        found = SoundConvert_SeekStream(Conv, firstChunk) == 0 &&
                SoundConvert_FindChunk(Conv, "smpl", Conv->DataPosition, &smplSize) == 0;
    }
    if (found) ReadSampleLoop(Conv, smplSize, TotalFrames(Conv));

    if (IsFloatSource(Conv)) {
        w.FloatBufferSize = blockFrames * src.nBlockAlign;
        w.FloatBuffer = (unsigned char *)DXALLOC(w.FloatBufferSize);
        if (w.FloatBuffer == nullptr) return -1;
    }
    Conv->DestBufferSize = blockFrames * out.nBlockAlign;
    w.DataRead = 0;
    if (SoundConvert_SeekStream(Conv, Conv->DataPosition) != 0) {
        SoundConvert_Wave_Release(Conv);
        return -1;
    }
    Conv->Method = SOUND_CONV_METHOD_WAVE;
    return 0;
}

int SoundConvert_Wave_Decode(SoundConvertState *Conv)
{
    SoundConvertWave &w = Conv->Wave;
    const uint32_t srcAlign = w.SrcFormat.nBlockAlign;
    if (w.DataRead >= Conv->DataSize) return -1;
    uint32_t left = Conv->DataSize - w.DataRead;

    unsigned char *block = IsFloatSource(Conv) ? w.FloatBuffer : Conv->DestBuffer;
    uint32_t want = IsFloatSource(Conv) ? w.FloatBufferSize : Conv->DestBufferSize;
    if (want > left) want = left;
    uint32_t got = (uint32_t)SoundConvert_ReadStream(Conv, block, want);
    w.DataRead += got;
    // A stream that gives less than it promised ends the sound at its next read.
    uint32_t frames = got / srcAlign;
    if (frames == 0) return -1;

    if (!IsFloatSource(Conv)) {
        Conv->DestBufferValid = frames * srcAlign;
        return 0;
    }
    const int channels = w.SrcFormat.nChannels;
    int16_t *out = (int16_t *)Conv->DestBuffer;
    for (uint32_t f = 0; f < frames; f++) {
        const unsigned char *frame = w.FloatBuffer + (size_t)f * srcAlign;
        for (int c = 0; c < channels; c++) {
            float s;
            memcpy(&s, frame + c * 4, 4);
            *out++ = FloatToPcm16(s);
        }
    }
    Conv->DestBufferValid = frames * Conv->OutFormat.nBlockAlign;
    return 0;
}

int SoundConvert_Wave_Seek(SoundConvertState *Conv, int64_t Sample)
{
    if (Sample < 0) Sample = 0;
    if (Sample > TotalFrames(Conv)) Sample = TotalFrames(Conv);
    SoundConvertWave &w = Conv->Wave;
    w.DataRead = (uint32_t)(Sample * w.SrcFormat.nBlockAlign);
    SoundConvert_SeekStream(Conv, Conv->DataPosition + w.DataRead);
    Conv->DestOutputPosition = Sample * Conv->OutFormat.nBlockAlign;
    Conv->DestBufferValid = 0;
    Conv->DestBufferReadOffset = 0;
    return 0;
}

int64_t SoundConvert_Wave_GetDestSize(SoundConvertState *Conv)
{
    return TotalFrames(Conv) * Conv->OutFormat.nBlockAlign;
}

int SoundConvert_Wave_GetLoopInfo(SoundConvertState *Conv, int *LoopStart, int *LoopEnd)
{
    if (Conv->Wave.LoopStart < 0 || Conv->Wave.LoopEnd < 0) return -1;
    *LoopStart = Conv->Wave.LoopStart;
    *LoopEnd = Conv->Wave.LoopEnd;
    return 0;
}

void SoundConvert_Wave_Release(SoundConvertState *Conv)
{
    DXFREE(Conv->Wave.FloatBuffer);
    Conv->Wave.FloatBuffer = nullptr;
}
