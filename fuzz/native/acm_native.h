// A stand-in for the system's audio compression manager (msacm32), which this machine does
// not have: one codec that takes any compressed format and makes 16-bit PCM of its channel
// count (at most two) and rate, four frames from each whole source block, as much as fits.
// It lets the ACM recognisers (compressed WAVE, MP3) and the ACM method's buffering and
// seeking run natively on hostile files; real decoding is tested under Wine.
#pragma once

#include "zovuz/sound/sound_convert_internal.h"

const SoundAcmApi *NativeAcm(void);
