// Ogg Vorbis (through vorbisfile) and Ogg Opus (through opusfile) converters: the stream
// callbacks, block decoding, seeking, totals and the "LOOPSTART=" / "LOOPLENGTH=" tags.
//
// A chained file whose later link changes the channel count (or, for Vorbis, the rate)
// cannot be delivered in one output format: the sound ends where such a link begins.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>
#include <opusfile.h>

#include <string.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_convert_internal.h"

namespace {

constexpr uint32_t kOggBlockBytes = 4096;

SoundConvertState *ConvOf(void *Source) { return (SoundConvertState *)Source; }

// ---- callbacks over the converter's stream ------------------------------------------------

size_t OggStreamRead(void *Buffer, size_t Size, size_t Count, void *Source)
{
    if (Source == nullptr || Size == 0) return 0;
    return SoundConvert_ReadStream(ConvOf(Source), Buffer, Size * Count) / Size;
}

int OggStreamSeek(void *Source, ogg_int64_t Offset, int Origin)
{
    if (Source == nullptr || ConvOf(Source)->Stream.Seek == nullptr) return -1;
    return ConvOf(Source)->Stream.Seek(ConvOf(Source)->StreamData, Offset, Origin);
}

long OggStreamTell(void *Source)
{
    if (Source == nullptr) return -1;
    return (long)SoundConvert_TellStream(ConvOf(Source));
}

int OggStreamClose(void *) { return 0; }

int OpusStreamRead(void *Source, unsigned char *Buffer, int Bytes)
{
    if (Source == nullptr) return -1;
    if (Bytes <= 0) return 0;
    return (int)SoundConvert_ReadStream(ConvOf(Source), Buffer, (size_t)Bytes);
}

opus_int64 OpusStreamTell(void *Source)
{
    if (Source == nullptr) return -1;
    return SoundConvert_TellStream(ConvOf(Source));
}

const ov_callbacks kVorbisCallbacks = {OggStreamRead, OggStreamSeek, OggStreamClose, OggStreamTell};
const OpusFileCallbacks kOpusCallbacks = {OpusStreamRead, OggStreamSeek, OpusStreamTell, OggStreamClose};

// Loop points from the first link's comments; a later tag of a kind replaces an earlier one.
void ReadVorbisLoopTags(SoundConvertState *Conv, vorbis_comment *Comments)
{
    SoundConvertOggVorbis &v = Conv->OggVorbis;
    int64_t loopStart = -1, loopLength = -1;
    for (int i = 0; Comments != nullptr && i < Comments->comments; i++) {
        const char *text = Comments->user_comments[i];
        if (text == nullptr) continue;
        if (CharCodeStrNCompare(CHAR_CODE_UNICODE_BYTE, text, "LOOPSTART=", 10) == 0) {
            loopStart = CharCodeAtoi(CHAR_CODE_UNICODE_BYTE, text + 10);
        } else if (CharCodeStrNCompare(CHAR_CODE_UNICODE_BYTE, text, "LOOPLENGTH=", 11) == 0) {
            loopLength = CharCodeAtoi(CHAR_CODE_UNICODE_BYTE, text + 11);
        }
    }
    int64_t start = -1, end = -1;
    if (loopStart >= 0) {
        start = loopStart;
        end = loopLength > 0 ? loopStart + loopLength : v.TotalFrames;
    } else if (loopLength > 0) {
        start = 0;
        end = loopLength;
    }
    SoundConvert_ClampLoop(start, end, v.TotalFrames, &v.LoopStart, &v.LoopEnd);
}

int64_t ClampSample(int64_t Sample, int64_t TotalFrames)
{
    if (Sample < 0) return 0;
    return Sample > TotalFrames ? TotalFrames : Sample;
}

void EmptyOutput(SoundConvertState *Conv, int64_t Sample)
{
    Conv->DestOutputPosition = Sample * Conv->OutFormat.nBlockAlign;
    Conv->DestBufferValid = 0;
    Conv->DestBufferReadOffset = 0;
}

// Makes Bytes decoded bytes the buffer's unread count, ending the delivery at the total the
// converter reports: a file whose granule positions understate its length decodes further, but
// a caller sizes by the total (and a loop end may equal it). 0, or -1 once the total is reached.
int TakeUpToTotal(SoundConvertState *Conv, int64_t Bytes, int64_t TotalFrames)
{
    const int64_t left = TotalFrames * Conv->OutFormat.nBlockAlign - Conv->DestOutputPosition;
    if (left <= 0) return -1;
    Conv->DestBufferValid = (uint32_t)(Bytes < left ? Bytes : left);
    return 0;
}

}  // namespace

// ---- Ogg Vorbis ---------------------------------------------------------------------------

int SoundConvert_OggVorbis_Open(SoundConvertState *Conv)
{
    SoundConvertOggVorbis &v = Conv->OggVorbis;
    memset(&v, 0, sizeof v);
    v.LoopStart = v.LoopEnd = -1;
    v.SampleWidth = Conv->OggVorbisBitDepth == 1 ? 1 : 2;
    v.File = (OggVorbis_File *)DXCALLOC(sizeof(OggVorbis_File));
    if (v.File == nullptr) return -1;

    // Both opens fail cleanly: vorbisfile clears the record itself.
    int opened;
    if (Conv->OggVorbisDecoder != 0) {
        opened = ov_test_callbacks(Conv, v.File, nullptr, 0, kVorbisCallbacks);
        if (opened == 0) opened = ov_test_open(v.File);
    } else {
        opened = ov_open_callbacks(Conv, v.File, nullptr, 0, kVorbisCallbacks);
    }
    if (opened != 0) {
        DXFREE(v.File);
        v.File = nullptr;
        return -1;
    }
    v.OpenFlag = 1;

    // Decoding starts at the first link of a chained file, whatever the open left behind.
    const vorbis_info *info = ov_info(v.File, 0);
    if (info == nullptr || info->channels < 1 || info->rate < 1 || ov_pcm_seek(v.File, 0) != 0) {
        SoundConvert_OggVorbis_Close(Conv);
        return -1;
    }
    long links = ov_streams(v.File);
    for (v.LinkCount = 0; v.LinkCount < links; v.LinkCount++) {
        const vorbis_info *link = ov_info(v.File, v.LinkCount);
        ogg_int64_t frames = ov_pcm_total(v.File, v.LinkCount);
        if (link == nullptr || link->channels != info->channels || link->rate != info->rate || frames < 0) break;
        v.TotalFrames += frames;
    }
    ReadVorbisLoopTags(Conv, ov_comment(v.File, 0));

    FillPcmFormat(&Conv->OutFormat, info->channels, (uint32_t)info->rate, v.SampleWidth);
    Conv->DestBufferSize = kOggBlockBytes;
    Conv->Method = SOUND_CONV_METHOD_OGG_VORBIS;
    return 0;
}

int SoundConvert_OggVorbis_Decode(SoundConvertState *Conv)
{
    SoundConvertOggVorbis &v = Conv->OggVorbis;
    int link = 0;
    long got = ov_read(v.File, (char *)Conv->DestBuffer, (int)Conv->DestBufferSize, 0, v.SampleWidth,
                       v.SampleWidth == 1 ? 0 : 1, &link);
    if (got <= 0 || link >= v.LinkCount) return -1;
    return TakeUpToTotal(Conv, got, v.TotalFrames);
}

int SoundConvert_OggVorbis_Seek(SoundConvertState *Conv, int64_t Sample)
{
    Sample = ClampSample(Sample, Conv->OggVorbis.TotalFrames);
    ov_pcm_seek(Conv->OggVorbis.File, Sample);
    EmptyOutput(Conv, Sample);
    return 0;
}

int64_t SoundConvert_OggVorbis_GetTotalSample(SoundConvertState *Conv)
{
    return Conv->OggVorbis.TotalFrames * Conv->OutFormat.nBlockAlign;
}

int SoundConvert_Ogg_GetLoopInfo(SoundConvertState *Conv, int *LoopStart, int *LoopEnd)
{
    if (Conv->OggVorbis.LoopStart < 0 || Conv->OggVorbis.LoopEnd < 0) return -1;
    *LoopStart = Conv->OggVorbis.LoopStart;
    *LoopEnd = Conv->OggVorbis.LoopEnd;
    return 0;
}

void SoundConvert_OggVorbis_Close(SoundConvertState *Conv)
{
    SoundConvertOggVorbis &v = Conv->OggVorbis;
    if (v.OpenFlag) ov_clear(v.File);
    v.OpenFlag = 0;
    DXFREE(v.File);
    v.File = nullptr;
}

// ---- Ogg Opus -----------------------------------------------------------------------------

int SoundConvert_OggOpus_Open(SoundConvertState *Conv)
{
    SoundConvertOggOpus &o = Conv->OggOpus;
    memset(&o, 0, sizeof o);
    o.File = op_open_callbacks(Conv, &kOpusCallbacks, nullptr, 0, nullptr);
    if (o.File == nullptr) return -1;
    o.OpenFlag = 1;

    // The file is let go at once when its head cannot be had.
    const OpusHead *head = op_head(o.File, 0);
    if (head == nullptr || head->channel_count < 1) {
        SoundConvert_OggOpus_Close(Conv);
        return -1;
    }
    int links = op_link_count(o.File);
    for (o.LinkCount = 0; o.LinkCount < links; o.LinkCount++) {
        const OpusHead *link = op_head(o.File, o.LinkCount);
        opus_int64 frames = op_pcm_total(o.File, o.LinkCount);
        if (link == nullptr || link->channel_count != head->channel_count || frames < 0) break;
        o.TotalFrames += frames;
    }

    FillPcmFormat(&Conv->OutFormat, head->channel_count, 48000, 2);
    o.FrameSize = Conv->OutFormat.nBlockAlign;
    Conv->DestBufferSize = kOggBlockBytes;
    Conv->Method = SOUND_CONV_METHOD_OGG_OPUS;
    return 0;
}

int SoundConvert_OggOpus_Decode(SoundConvertState *Conv)
{
    SoundConvertOggOpus &o = Conv->OggOpus;
    int link = 0;
    int frames = op_read(o.File, (opus_int16 *)Conv->DestBuffer, (int)(Conv->DestBufferSize / 2), &link);
    if (frames < 1 || link >= o.LinkCount) return -1;
    return TakeUpToTotal(Conv, (int64_t)frames * o.FrameSize, o.TotalFrames);
}

int SoundConvert_OggOpus_Seek(SoundConvertState *Conv, int64_t Sample)
{
    Sample = ClampSample(Sample, Conv->OggOpus.TotalFrames);
    op_pcm_seek(Conv->OggOpus.File, Sample);
    EmptyOutput(Conv, Sample);
    return 0;
}

int64_t SoundConvert_OggOpus_GetTotalSample(SoundConvertState *Conv)
{
    return Conv->OggOpus.TotalFrames * Conv->OggOpus.FrameSize;
}

void SoundConvert_OggOpus_Close(SoundConvertState *Conv)
{
    SoundConvertOggOpus &o = Conv->OggOpus;
    if (o.OpenFlag) op_free(o.File);
    o.OpenFlag = 0;
    o.File = nullptr;
}
