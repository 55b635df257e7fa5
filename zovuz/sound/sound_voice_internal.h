// The rules of an output path that plays SOUNDBUFFERs through voices it feeds from memory
// (XAudio2): which pieces of the wave data go to the voice in a processing pass, the channel
// gains of the volumes and pan, the mono buffer's stereo shadow, and the reverb's post-stop
// timer. The device calls themselves are in windows/xaudio2_device_win.cpp.
#pragma once

#include <stdint.h>

struct SOUNDBUFFER;

// One piece of wave data for the voice, in frames of the buffer.
struct SoundVoicePiece
{
    uint32_t Frame;   // first frame
    uint32_t Frames;  // count
};

// Hands the voice a piece; 0, or -1 when the voice refuses it (the feeding ends).
typedef int (*SoundVoiceSubmitFunction)(void *Context, SOUNDBUFFER *Buffer, const SoundVoicePiece *Piece);

// One processing pass: pieces of at most a 60th of a second, from the buffer's submit position,
// each cut to whole frames of at most BytesRequired bytes, until BytesRequired bytes (of the
// voice's frames, VoiceBlockAlign bytes each) went to the voice. A looping buffer wraps to frame
// 0 at the end of its data. Returns 1 when a buffer that does not loop came to the end of its data
// (the caller stops the voice), else 0.
int SoundVoice_Feed(SOUNDBUFFER *Buffer, uint32_t BytesRequired, uint32_t VoiceBlockAlign,
                    SoundVoiceSubmitFunction Submit, void *Context);

// The voice's channel gains (VoiceChannels of them, at most 8) for the buffer's volumes and pan:
// 10^(volume / 2000) each. With at most 2 voice channels a mono buffer's gain serves both, and
// the pan lowers the other side: p < 0 the second channel by 10^(p / 2000), p > 0 the first by
// 10^(-p / 2000).
void SoundVoice_ChannelGains(const SOUNDBUFFER *Buffer, int VoiceChannels, float *Gains);

// A mono buffer played as stereo: the written region (inside the wave block's first area) is
// copied into the stereo shadow, each sample twice. 0, or -1 for a region outside the block.
int SoundVoice_CopyToStereoShadow(SOUNDBUFFER *Buffer, const void *Region, uint32_t Bytes);

// How long the reverb of a stopped 3D buffer is left to ring out.
#define SOUND_POST_STOP_MILLISECONDS 3000

// One step of the post-stop timer at millisecond clock Now (31 bits, wrapping): a played buffer
// whose stop is seen for the first time keeps the time; 3000 ms later it goes idle.
// -1: nothing to wait for (idle); 0: playing or still waiting; 1: the wait is over and the
// buffer is idle again (the caller switches its reverb off).
int SoundVoice_PostStopStep(SOUNDBUFFER *Buffer, int Now);
