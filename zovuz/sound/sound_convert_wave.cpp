// The WAVE reader: RIFF WAVE files of integer PCM (delivered as they are) or 32-bit IEEE
// float (delivered as signed 16-bit PCM), with the loop of a "smpl" chunk.
#include <limits.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_convert_internal.h"

namespace {

// A decode block holds about one second of sound, in whole frames, and never more than this.
constexpr uint32_t kMaxBlockBytes = 4u << 20;
// Float sources are read and converted in pieces of about this many bytes.
constexpr uint32_t kFloatPieceBytes = 16384;

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

// Count samples of a float block into 16-bit PCM, by FloatToPcm16's rule. Eight at a time: not
// a number becomes 0 and the top is clamped before the truncating conversion; below the range
// that conversion gives either a value under -32768 or its out-of-range answer, INT_MIN, which
// the saturating pack to 16 bits brings to -32768 either way.
void FloatsToPcm16(const unsigned char *Src, int16_t *Dest, size_t Count)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 Scale = _mm_set1_ps(32768.0f), High = _mm_set1_ps(32767.0f);
    for (; i + 8 <= Count; i += 8) {
        __m128 a = _mm_mul_ps(_mm_loadu_ps((const float *)(Src + 4 * i)), Scale);
        __m128 b = _mm_mul_ps(_mm_loadu_ps((const float *)(Src + 4 * i + 16)), Scale);
        a = _mm_min_ps(_mm_and_ps(a, _mm_cmpord_ps(a, a)), High);
        b = _mm_min_ps(_mm_and_ps(b, _mm_cmpord_ps(b, b)), High);
        _mm_storeu_si128((__m128i *)(Dest + i), _mm_packs_epi32(_mm_cvttps_epi32(a), _mm_cvttps_epi32(b)));
    }
#endif
    for (; i < Count; i++) {
        float s;
        memcpy(&s, Src + 4 * i, 4);
        Dest[i] = FloatToPcm16(s);
    }
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

    if (!IsFloatSource(Conv)) {
        uint32_t want = Conv->DestBufferSize < left ? Conv->DestBufferSize : left;
        uint32_t got = (uint32_t)SoundConvert_ReadStream(Conv, Conv->DestBuffer, want);
        w.DataRead += got;
        // A stream that gives less than it promised ends the sound at its next read.
        uint32_t frames = got / srcAlign;
        if (frames == 0) return -1;
        Conv->DestBufferValid = frames * srcAlign;
        return 0;
    }

    // Float: the block is read and converted a piece of whole frames at a time, each piece
    // while it is still in the processor's cache. A short read ends the block there, as one
    // read of the whole block would have.
    uint32_t want = w.FloatBufferSize < left ? w.FloatBufferSize : left;
    const uint32_t piece = kFloatPieceBytes > srcAlign ? kFloatPieceBytes - kFloatPieceBytes % srcAlign : srcAlign;
    const int channels = w.SrcFormat.nChannels;
    int16_t *out = (int16_t *)Conv->DestBuffer;
    uint32_t frames = 0;
    for (uint32_t done = 0; done < want;) {
        // A memory image is converted where it stands, the whole block at once.
        size_t inPlace;
        const unsigned char *src = SoundConvert_ReadStreamInPlace(Conv, want - done, &inPlace);
        uint32_t n = src != nullptr ? want - done : want - done < piece ? want - done : piece;
        uint32_t got = (uint32_t)inPlace;
        if (src == nullptr) {
            src = w.FloatBuffer;
            got = (uint32_t)SoundConvert_ReadStream(Conv, w.FloatBuffer, n);
        }
        w.DataRead += got;
        done += got;
        uint32_t pieceFrames = got / srcAlign;
        if (srcAlign == (uint32_t)channels * 4) {
            FloatsToPcm16(src, out, (size_t)pieceFrames * channels);
            out += (size_t)pieceFrames * channels;
        } else {
            // Frames with bytes beyond their samples: frame by frame.
            for (uint32_t f = 0; f < pieceFrames; f++, out += channels)
                FloatsToPcm16(src + (size_t)f * srcAlign, out, (size_t)channels);
        }
        frames += pieceFrames;
        if (got < n) break;
    }
    if (frames == 0) return -1;
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
