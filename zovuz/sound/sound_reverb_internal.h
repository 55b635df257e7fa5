// Reverb presets for 3D sound on XAudio2: the 30 environment presets in the I3DL2 form, and
// their conversion into the reverb effect's own parameter record.
#pragma once

#include <stdint.h>

// The reverb effect's parameter record. XAudio2 2.8 takes all 56 bytes; 2.7's record is the
// same without the final late-field flag (52 bytes).
struct SoundReverbParam
{
    float WetDryMix;            // percent
    uint32_t ReflectionsDelay;  // ms
    uint8_t ReverbDelay;        // ms
    uint8_t RearDelay;          // ms
    uint8_t PositionLeft;
    uint8_t PositionRight;
    uint8_t PositionMatrixLeft;
    uint8_t PositionMatrixRight;
    uint8_t EarlyDiffusion;
    uint8_t LateDiffusion;
    uint8_t LowEQGain;
    uint8_t LowEQCutoff;
    uint8_t HighEQGain;
    uint8_t HighEQCutoff;
    float RoomFilterFreq;      // Hz
    float RoomFilterMain;      // dB
    float RoomFilterHF;        // dB
    float ReflectionsGain;     // dB
    float ReverbGain;          // dB
    float DecayTime;           // s
    float Density;             // percent
    float RoomSize;            // feet
    int32_t DisableLateField;  // 2.8 only
};
#define SOUND_REVERB_PARAM_SIZE_XAUDIO28 56
#define SOUND_REVERB_PARAM_SIZE_XAUDIO27 52
static_assert(sizeof(SoundReverbParam) == SOUND_REVERB_PARAM_SIZE_XAUDIO28, "the 2.8 record");

// An environment in the I3DL2 form (levels in hundredths of a decibel, times in seconds).
struct SoundReverbI3DL2Param
{
    float WetDryMix;
    int32_t Room;
    int32_t RoomHF;
    float RoomRolloffFactor;
    float DecayTime;
    float DecayHFRatio;
    int32_t Reflections;
    float ReflectionsDelay;
    int32_t Reverb;
    float ReverbDelay;
    float Diffusion;
    float Density;
    float HFReference;
};

// Forest, default, generic, padded cell, room, bathroom, living room, stone room, auditorium,
// concert hall, cave, arena, hangar, carpeted hallway, hallway, stone corridor, alley, city,
// mountains, quarry, plain, parking lot, sewer pipe, underwater, small room, medium room, large
// room, medium hall, large hall, plate.
#define SOUND_REVERB_PRESET_NUM 30
extern const SoundReverbI3DL2Param SoundReverbI3DL2Presets[SOUND_REVERB_PRESET_NUM];

// The effect's record for an I3DL2 environment, for a stereo (not 7.1) reverb.
void SoundReverb_ConvertI3DL2ToNative(const SoundReverbI3DL2Param *I3DL2, SoundReverbParam *Native);
