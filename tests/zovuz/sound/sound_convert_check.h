// What a converter that took a sound file must show, whatever the file: shared by the in-Wine
// mutation test and the native fuzz target of the sound converters.
#pragma once

#include <stddef.h>

#include <random>
#include <string>

#include "zovuz/sound/sound_convert_internal.h"

// Empty when the converter (set up on an image of ImageBytes bytes) shows a playable PCM
// format, a total and loop points within the image, and a delivery in whole frames that ends
// exactly at the total (for a stream that cannot tell its size, no later), also after a seek to
// a frame chosen by Rng; otherwise what is wrong. A decoder (Decoded) may make more of an image
// than the image holds, and may end before its total when the codec refuses a damaged block
// (an Ogg one may then go further after a seek, up to the total).
// Reads at most ReadLimit bytes.
std::string SoundConvertProblem(SoundConvertState *Conv, size_t ImageBytes, bool Sizeless, bool Decoded,
                                std::mt19937 &Rng, int64_t ReadLimit = int64_t(1) << 26);
