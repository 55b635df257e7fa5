// The tone buffers: three half-second mono buffers that, while one plays, are refilled from its
// wave table a quarter of their length at a time, with a timed return to full volume and a
// timed stop.
#include "zovuz/sound/sound_system_internal.h"
#include "zovuz/sound/sound_convert_internal.h"

#include <string.h>

namespace {

constexpr int ToneRate = 44100;
constexpr int ToneDelayMilliSeconds = 16;

// True once Delay milliseconds have passed since Time, or the clock has gone back.
bool TimeReached(int Now, int Time) { return Now - Time >= ToneDelayMilliSeconds || Now < Time; }

// Copies Frames samples of the wave table, looping it, into Dest; silence without a table.
void FillFromWave(SoundToneData *Tone, int16_t *Dest, uint32_t Frames)
{
    if (Tone->Wave == nullptr || Tone->WaveLength <= 0) {
        memset(Dest, 0, Frames * sizeof(int16_t));
        return;
    }
    for (uint32_t i = 0; i < Frames; i++) {
        if (Tone->WaveReadIndex >= Tone->WaveLength) Tone->WaveReadIndex = 0;
        Dest[i] = Tone->Wave[Tone->WaveReadIndex++];
    }
}

}  // namespace

int InitializeSoundTones(void)
{
    SoundWaveFormat format;
    FillPcmFormat(&format, 1, ToneRate, 2);
    for (SoundToneData &tone : SoundSystem.Tone) {
        if (tone.Buffer.Valid) {
            AddLogStringWide(L"BEEP音用のサウンドバッファの作成に失敗しました\n");
            return -1;
        }
        // A new buffer has pan 0, every volume full and the format's own rate.
        tone = SoundToneData();
        if (SoundBuffer_Initialize(&tone.Buffer, SOUND_TONE_BUFFER_FRAMES * 2, &format, nullptr, 0) < 0) {
            AddLogStringWide(L"BEEP音用のサウンドバッファの作成に失敗しました\n");
            return -1;
        }
    }
    return 0;
}

int TerminateSoundTones(void)
{
    for (SoundToneData &tone : SoundSystem.Tone) {
        if (tone.Buffer.Valid) SoundBuffer_Terminate(&tone.Buffer);
        DXFREE(tone.Wave);
        tone = SoundToneData();
    }
    return 0;
}

int ProcessSoundTone(SoundToneData *Tone, int Now)
{
    int result = 0;
    SOUNDBUFFER *buffer = &Tone->Buffer;
    if (buffer->Valid && SoundBuffer_GetStatus(buffer) == 1) {
        uint32_t play = 0;
        SoundBuffer_GetCurrentPosition(buffer, &play, nullptr);
        int cursor = int(play / 2);
        int ahead = Tone->WriteFrame - cursor + (cursor < Tone->WriteFrame ? 0 : SOUND_TONE_BUFFER_FRAMES);
        if (ahead <= SOUND_TONE_REFILL_FRAMES) {
            void *part[2] = {nullptr, nullptr};
            uint32_t size[2] = {0, 0};
            if (SoundBuffer_Lock(buffer, uint32_t(Tone->WriteFrame) * 2, SOUND_TONE_REFILL_FRAMES * 2, &part[0],
                                 &size[0], &part[1], &size[1]) < 0) {
                AddLogStringWide(L"BEEP音用のサウンドバッファのロックに失敗しました\n");
                result = -1;
            } else {
                for (int i = 0; i < 2; i++)
                    if (part[i] != nullptr) FillFromWave(Tone, static_cast<int16_t *>(part[i]), size[i] / 2);
                SoundBuffer_Unlock(buffer, part[0], size[0], part[1], size[1]);
                Tone->WriteFrame = (Tone->WriteFrame + SOUND_TONE_REFILL_FRAMES) % SOUND_TONE_BUFFER_FRAMES;
            }
        }
    }
    if (Tone->VolumeRestoreFlag && TimeReached(Now, Tone->VolumeRestoreTime)) {
        if (buffer->Valid) SoundBuffer_SetVolume(buffer, 0, 0);
        Tone->VolumeRestoreFlag = 0;
    }
    if (Tone->StopFlag && TimeReached(Now, Tone->StopTime)) {
        if (buffer->Valid) SoundBuffer_Stop(buffer, 0);
        Tone->StopFlag = 0;
    }
    return result;
}
