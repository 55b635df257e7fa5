// Voices fed from memory: the pieces of a processing pass, channel gains, the stereo shadow of
// mono buffers and the reverb's post-stop timer.
#include "zovuz/sound/sound_voice_internal.h"
#include "zovuz/sound/sound_buffer_internal.h"

#include <math.h>
#include <string.h>

namespace {

// A piece is at most a 60th of a second: the voice gets its data in short steps, so that
// what the buffer's owner writes shortly ahead of the play position is heard.
constexpr uint32_t PiecesPerSecond = 60;

constexpr int MilliCountMask = 0x7FFFFFFF;

float GainOf(int Volume) { return float(pow(10.0, Volume / 2000.0)); }

}  // namespace

int SoundVoice_Feed(SOUNDBUFFER *Buffer, uint32_t BytesRequired, uint32_t VoiceBlockAlign,
                    SoundVoiceSubmitFunction Submit, void *Context)
{
    uint32_t longest = Buffer->Format.nSamplesPerSec / PiecesPerSecond;
    uint32_t submitted = 0;
    while (submitted < BytesRequired) {
        if (Buffer->SubmitPos >= Buffer->SampleNum) {
            if (!Buffer->Loop) return 1;
            Buffer->SubmitPos = 0;
        }
        uint32_t frames = Buffer->SampleNum - Buffer->SubmitPos;
        if (frames > longest) frames = longest;
        if (uint64_t(frames) * VoiceBlockAlign > BytesRequired) frames = BytesRequired / VoiceBlockAlign;
        if (frames == 0) break;
        SoundVoicePiece piece = {Buffer->SubmitPos, frames};
        if (Submit(Context, Buffer, &piece) < 0) break;
        Buffer->SubmitPos += frames;
        submitted += frames * VoiceBlockAlign;
    }
    return 0;
}

void SoundVoice_ChannelGains(const SOUNDBUFFER *Buffer, int VoiceChannels, float *Gains)
{
    int count = VoiceChannels < SOUNDBUFFER_MAX_CHANNEL_NUM ? VoiceChannels : SOUNDBUFFER_MAX_CHANNEL_NUM;
    for (int i = 0; i < count; i++) Gains[i] = GainOf(Buffer->Volume[i]);
    if (VoiceChannels > 2) return;
    if (Buffer->Format.nChannels == 1) Gains[1] = Gains[0];
    int pan = Buffer->Pan;
    if (pan < 0)
        Gains[1] *= GainOf(pan);
    else if (pan > 0)
        Gains[0] *= GainOf(-pan);
}

int SoundVoice_CopyToStereoShadow(SOUNDBUFFER *Buffer, const void *Region, uint32_t Bytes)
{
    SoundBufferWaveBlock *wave = Buffer->Wave;
    if (wave == nullptr || wave->DoubleData == nullptr || Region == nullptr || Bytes == 0) return Bytes == 0 ? 0 : -1;
    const uint8_t *data = static_cast<const uint8_t *>(wave->Data);
    const uint8_t *from = static_cast<const uint8_t *>(Region);
    if (from < data || from - data > intptr_t(wave->Bytes) || Bytes > wave->Bytes - uint32_t(from - data)) return -1;
    uint32_t width = Buffer->Format.nBlockAlign;  // one mono sample
    if (width == 0) return -1;
    uint8_t *to = static_cast<uint8_t *>(wave->DoubleData) + (from - data) * 2;
    for (uint32_t i = 0; i + width <= Bytes; i += width, to += width * 2) {
        memcpy(to, from + i, width);
        memcpy(to + width, from + i, width);
    }
    return 0;
}

int SoundVoice_PostStopStep(SOUNDBUFFER *Buffer, int Now)
{
    switch (Buffer->PostStopState) {
        case 0:
            return -1;
        case 1:
            if (Buffer->PlayFlag) return 0;
            Buffer->PostStopState = 2;
            Buffer->StopTime = Now;
            return 0;
        default:
            if (Buffer->PlayFlag) return 0;
            if (((Now - Buffer->StopTime) & MilliCountMask) < SOUND_POST_STOP_MILLISECONDS) return 0;
            Buffer->PostStopState = 0;
            return 1;
    }
}
