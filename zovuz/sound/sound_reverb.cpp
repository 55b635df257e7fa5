// The 30 reverb environments and their conversion into the reverb effect's parameters.
#include "zovuz/sound/sound_reverb_internal.h"

#include <math.h>

// WetDryMix, Room, RoomHF, RoomRolloffFactor, DecayTime, DecayHFRatio, Reflections,
// ReflectionsDelay, Reverb, ReverbDelay, Diffusion, Density, HFReference.
const SoundReverbI3DL2Param SoundReverbI3DL2Presets[SOUND_REVERB_PRESET_NUM] = {
    {100, -1000, -3300, 0.0f, 1.49f, 0.54f, -2560, 0.162f, -613, 0.088f, 79.0f, 100.0f, 5000.0f},    // forest
    {100, -10000, 0, 0.0f, 1.00f, 0.50f, -10000, 0.020f, -10000, 0.040f, 100.0f, 100.0f, 5000.0f},   // default
    {100, -1000, -100, 0.0f, 1.49f, 0.83f, -2602, 0.007f, 200, 0.011f, 100.0f, 100.0f, 5000.0f},     // generic
    {100, -1000, -6000, 0.0f, 0.17f, 0.10f, -1204, 0.001f, 207, 0.002f, 100.0f, 100.0f, 5000.0f},    // padded cell
    {100, -1000, -454, 0.0f, 0.40f, 0.83f, -1646, 0.002f, 53, 0.003f, 100.0f, 100.0f, 5000.0f},      // room
    {100, -1000, -1200, 0.0f, 1.49f, 0.54f, -370, 0.007f, 1030, 0.011f, 100.0f, 60.0f, 5000.0f},     // bathroom
    {100, -1000, -6000, 0.0f, 0.50f, 0.10f, -1376, 0.003f, -1104, 0.004f, 100.0f, 100.0f, 5000.0f},  // living room
    {100, -1000, -300, 0.0f, 2.31f, 0.64f, -711, 0.012f, 83, 0.017f, 100.0f, 100.0f, 5000.0f},       // stone room
    {100, -1000, -476, 0.0f, 4.32f, 0.59f, -789, 0.020f, -289, 0.030f, 100.0f, 100.0f, 5000.0f},     // auditorium
    {100, -1000, -500, 0.0f, 3.92f, 0.70f, -1230, 0.020f, -544, 0.029f, 100.0f, 100.0f, 5000.0f},    // concert hall
    {100, -1000, 0, 0.0f, 2.91f, 1.30f, -602, 0.015f, -302, 0.022f, 100.0f, 100.0f, 5000.0f},        // cave
    {100, -1000, -698, 0.0f, 7.24f, 0.33f, -1166, 0.020f, 16, 0.030f, 100.0f, 100.0f, 5000.0f},      // arena
    {100, -1000, -1000, 0.0f, 10.05f, 0.23f, -602, 0.020f, 198, 0.030f, 100.0f, 100.0f, 5000.0f},    // hangar
    {100, -1000, -4000, 0.0f, 0.30f, 0.10f, -1831, 0.002f, -1630, 0.030f, 100.0f, 100.0f, 5000.0f},  // carpeted hallway
    {100, -1000, -300, 0.0f, 1.49f, 0.59f, -1219, 0.007f, 441, 0.011f, 100.0f, 100.0f, 5000.0f},     // hallway
    {100, -1000, -237, 0.0f, 2.70f, 0.79f, -1214, 0.013f, 395, 0.020f, 100.0f, 100.0f, 5000.0f},     // stone corridor
    {100, -1000, -270, 0.0f, 1.49f, 0.86f, -1204, 0.007f, -4, 0.011f, 100.0f, 100.0f, 5000.0f},      // alley
    {100, -1000, -800, 0.0f, 1.49f, 0.67f, -2273, 0.007f, -2217, 0.011f, 50.0f, 100.0f, 5000.0f},    // city
    {100, -1000, -2500, 0.0f, 1.49f, 0.21f, -2780, 0.300f, -2014, 0.100f, 27.0f, 100.0f, 5000.0f},   // mountains
    {100, -1000, -1000, 0.0f, 1.49f, 0.83f, -10000, 0.061f, 500, 0.025f, 100.0f, 100.0f, 5000.0f},   // quarry
    {100, -1000, -2000, 0.0f, 1.49f, 0.50f, -2466, 0.179f, -2514, 0.100f, 21.0f, 100.0f, 5000.0f},   // plain
    {100, -1000, 0, 0.0f, 1.65f, 1.50f, -1363, 0.008f, -1153, 0.012f, 100.0f, 100.0f, 5000.0f},      // parking lot
    {100, -1000, -1000, 0.0f, 2.81f, 0.14f, 429, 0.014f, 648, 0.021f, 80.0f, 60.0f, 5000.0f},        // sewer pipe
    {100, -1000, -4000, 0.0f, 1.49f, 0.10f, -449, 0.007f, 1700, 0.011f, 100.0f, 100.0f, 5000.0f},    // underwater
    {100, -1000, -600, 0.0f, 1.10f, 0.83f, -400, 0.005f, 500, 0.010f, 100.0f, 100.0f, 5000.0f},      // small room
    {100, -1000, -600, 0.0f, 1.30f, 0.83f, -1000, 0.010f, -200, 0.020f, 100.0f, 100.0f, 5000.0f},    // medium room
    {100, -1000, -600, 0.0f, 1.50f, 0.83f, -1600, 0.020f, -1000, 0.040f, 100.0f, 100.0f, 5000.0f},   // large room
    {100, -1000, -600, 0.0f, 1.80f, 0.70f, -1300, 0.015f, -800, 0.030f, 100.0f, 100.0f, 5000.0f},    // medium hall
    {100, -1000, -600, 0.0f, 1.80f, 0.70f, -2000, 0.030f, -1400, 0.060f, 100.0f, 100.0f, 5000.0f},   // large hall
    {100, -1000, -200, 0.0f, 1.30f, 0.90f, 0, 0.002f, 0, 0.010f, 100.0f, 75.0f, 5000.0f},            // plate
};

namespace {

// The effect's fixed values, which I3DL2 has no counterpart for (stereo reverb).
constexpr uint8_t RearDelay = 5;
constexpr uint8_t Position = 6;
constexpr uint8_t PositionMatrix = 27;
constexpr float RoomSize = 100.0f;
constexpr uint8_t LowEQCutoff = 4;
constexpr uint8_t HighEQCutoff = 6;
constexpr uint8_t EQGainFlat = 8;
constexpr float MaxReflectionsDelay = 300.0f;  // ms, exclusive
constexpr float MaxReverbDelay = 85.0f;        // ms, exclusive
constexpr float MaxDiffusion = 15.0f;

// An EQ gain step for a decay ratio: 8 is flat, each step below it a quarter decade, at most 8.
uint8_t EQGainOf(double Log)
{
    int32_t index = int32_t(Log);
    if (index < -8) index = -8;
    return uint8_t(index < 0 ? index + 8 : EQGainFlat);
}

}  // namespace

void SoundReverb_ConvertI3DL2ToNative(const SoundReverbI3DL2Param *I3DL2, SoundReverbParam *Native)
{
    // The room roll-off factor has no counterpart.
    Native->RearDelay = RearDelay;
    Native->PositionLeft = Position;
    Native->PositionRight = Position;
    Native->PositionMatrixLeft = PositionMatrix;
    Native->PositionMatrixRight = PositionMatrix;
    Native->RoomSize = RoomSize;
    Native->LowEQCutoff = LowEQCutoff;
    Native->HighEQCutoff = HighEQCutoff;

    Native->RoomFilterMain = float(I3DL2->Room) / 100.0f;
    Native->RoomFilterHF = float(I3DL2->RoomHF) / 100.0f;

    // A decay that is longer at high frequencies lifts the low EQ and lengthens the decay; a
    // shorter one cuts the high EQ. The logarithm is taken in single precision.
    if (I3DL2->DecayHFRatio >= 1.0f) {
        Native->LowEQGain = EQGainOf(-4.0 * log10f(I3DL2->DecayHFRatio));
        Native->HighEQGain = EQGainFlat;
        Native->DecayTime = I3DL2->DecayTime * I3DL2->DecayHFRatio;
    } else {
        Native->LowEQGain = EQGainFlat;
        Native->HighEQGain = EQGainOf(4.0 * log10f(I3DL2->DecayHFRatio));
        Native->DecayTime = I3DL2->DecayTime;
    }

    float reflectionsDelay = I3DL2->ReflectionsDelay * 1000.0f;
    if (reflectionsDelay >= MaxReflectionsDelay)
        reflectionsDelay = MaxReflectionsDelay - 1.0f;
    else if (reflectionsDelay <= 1.0f)
        reflectionsDelay = 1.0f;
    Native->ReflectionsDelay = uint32_t(reflectionsDelay);

    float reverbDelay = I3DL2->ReverbDelay * 1000.0f;
    if (reverbDelay >= MaxReverbDelay) reverbDelay = MaxReverbDelay - 1.0f;
    Native->ReverbDelay = uint8_t(reverbDelay);

    Native->ReflectionsGain = float(I3DL2->Reflections) / 100.0f;
    Native->ReverbGain = float(I3DL2->Reverb) / 100.0f;
    Native->EarlyDiffusion = uint8_t(MaxDiffusion * I3DL2->Diffusion / 100.0f);
    Native->LateDiffusion = Native->EarlyDiffusion;
    Native->Density = I3DL2->Density;
    Native->RoomFilterFreq = I3DL2->HFReference;
    Native->WetDryMix = I3DL2->WetDryMix;
    Native->DisableLateField = 0;
}
