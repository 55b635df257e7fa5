// The device side of 3D sound without a device: the DirectSound model of distance, cone and pan
// against the listener's defaults, the emitter record of a new and a duplicated 3D buffer, and
// the reverb presets converted into the reverb effect's parameters.
#include "sound_device_support.h"

#include "zovuz/sound/sound_3d_internal.h"
#include "zovuz/sound/sound_reverb_internal.h"

#include <gtest/gtest.h>

namespace {

// The 3D pan is negative for a source on the listener's right: the volume law then lowers the
// left side.
TEST(Sound3D, DirectSoundModelFadesWithDistanceShadesBehindAndPansAtMostFourFifths)
{
    SoundPlatform_Set3DListenerDefaults();
    // Between the listener cone's angles (150 and 330 degrees) the volume falls in a line from 1
    // to 0.75: a source straight to the side (180 degrees) is at 1 - 0.25 x 30 / 180.
    const float side = 1.0f - 0.25f * 30.0f / 180.0f;
    const struct {
        const char *Name;
        float Listener[3], Front[3], Emitter[3], Scale;
        float Factor, Pan;
    } cases[] = {
        {"ahead, half way", {0, 0, 0}, {0, 0, 1}, {0, 0, 7}, 14, 0.5f, 0.0f},
        {"ahead of a moved listener", {10, 2, 0}, {0, 0, 1}, {10, 2, 7}, 14, 0.5f, 0.0f},
        {"inside the inner cone", {0, 0, 0}, {0, 0, 1}, {3, 0, 4}, 14, 1.0f - 5.0f / 14.0f, -0.6f},
        {"right", {0, 0, 0}, {0, 0, 1}, {7, 0, 0}, 14, 0.5f * side, -0.8f},
        {"left", {0, 0, 0}, {0, 0, 1}, {-7, 0, 0}, 14, 0.5f * side, 0.8f},
        {"behind", {0, 0, 0}, {0, 0, 1}, {0, 0, -7}, 14, 0.375f, 0.0f},
        {"beyond the audible radius", {0, 0, 0}, {0, 0, 1}, {0, 0, 20}, 14, 0.0f, 0.0f},
        {"at the radius", {0, 0, 0}, {0, 0, 1}, {0, 0, 5}, 5, 0.0f, 0.0f},
        {"at the listener", {0, 0, 0}, {0, 0, 1}, {0, 0, 0}, 14, side, 0.0f},
        {"listener facing +x: -z is on the right", {0, 0, 0}, {1, 0, 0}, {0, 0, -2}, 4, 0.5f * side, -0.8f},
    };
    for (const auto &c : cases)
    {
        Sound3DListenerData listener = Sound3DListener;
        memcpy(listener.Position, c.Listener, sizeof(c.Listener));
        memcpy(listener.Front, c.Front, sizeof(c.Front));
        SOUNDBUFFER buffer = {};
        memcpy(buffer.Emitter.Position, c.Emitter, sizeof(c.Emitter));
        buffer.DistanceScale3D = c.Scale;
        Sound3D_DirectSoundModel(&listener, &buffer);
        EXPECT_NEAR(c.Factor, buffer.Volume3DFactor, 1e-5) << c.Name;
        EXPECT_NEAR(c.Pan, buffer.Pan3D, 1e-5) << c.Name;
    }
}

TEST(Sound3D, ANew3DBufferGetsTheEmitterDefaultsAndADuplicateTheSourcesEmitter)
{
    ScriptedSoundDevice device;
    SoundWaveFormat format = Pcm16Format(1, 22050);
    SOUNDBUFFER buffer = {}, copy = {};
    ASSERT_EQ(0, SoundBuffer_Initialize(&buffer, 4000, &format, nullptr, 1));
    const Sound3DEmitter &e = buffer.Emitter;
    EXPECT_EQ(1u, e.ChannelCount);
    EXPECT_EQ(14.0f, e.DistanceScaler);
    EXPECT_EQ(2.0f, e.InnerRadius);
    EXPECT_FLOAT_EQ(0.785398163f, e.InnerRadiusAngle);
    EXPECT_EQ(0.1f, e.ChannelRadius);
    EXPECT_EQ(1.0f, e.DopplerScaler);
    EXPECT_EQ(1.0f, e.Front[2]);
    EXPECT_EQ(1.0f, e.Top[1]);
    EXPECT_EQ(0.0f, e.Cone.InnerVolume);
    EXPECT_EQ(1.0f, e.Cone.OuterVolume);

    SoundBuffer_Set3DPosition(&buffer, 1.0f, 2.0f, 3.0f);
    SoundBuffer_Set3DDistanceScale(&buffer, 30.0f);
    ASSERT_EQ(0, SoundBuffer_Duplicate(&copy, &buffer, 1));
    EXPECT_EQ(2.0f, copy.Emitter.Position[1]);
    EXPECT_EQ(30.0f, copy.Emitter.DistanceScaler);
    SoundBuffer_Terminate(&copy);
    SoundBuffer_Terminate(&buffer);
}

TEST(SoundReverb, PresetsConvertToTheEffectsParameters)
{
    // What every preset shares: no counterpart in I3DL2, or the same in all 30.
    for (int i = 0; i < SOUND_REVERB_PRESET_NUM; i++)
    {
        SoundReverbParam p;
        memset(&p, 0xCC, sizeof(p));
        SoundReverb_ConvertI3DL2ToNative(&SoundReverbI3DL2Presets[i], &p);
        EXPECT_EQ(100.0f, p.WetDryMix) << i;
        EXPECT_EQ(5, p.RearDelay) << i;
        EXPECT_EQ(6, p.PositionLeft) << i;
        EXPECT_EQ(6, p.PositionRight) << i;
        EXPECT_EQ(27, p.PositionMatrixLeft) << i;
        EXPECT_EQ(27, p.PositionMatrixRight) << i;
        EXPECT_EQ(4, p.LowEQCutoff) << i;
        EXPECT_EQ(6, p.HighEQCutoff) << i;
        EXPECT_EQ(5000.0f, p.RoomFilterFreq) << i;
        EXPECT_EQ(100.0f, p.RoomSize) << i;
        EXPECT_EQ(p.EarlyDiffusion, p.LateDiffusion) << i;
        EXPECT_EQ(0, p.DisableLateField) << i;
    }

    const struct {
        int Preset;
        uint32_t ReflectionsDelay;
        int ReverbDelay, Diffusion, LowEQGain, HighEQGain;
        float RoomFilterMain, RoomFilterHF, ReflectionsGain, ReverbGain, DecayTime, Density;
    } cases[] = {
        // forest: the reverb delay of 88 ms is cut to 84
        {0, 162, 84, 11, 8, 7, -10.0f, -33.0f, -25.6f, -6.13f, 1.49f, 100.0f},
        // default
        {1, 20, 40, 15, 8, 7, -100.0f, 0.0f, -100.0f, -100.0f, 1.0f, 100.0f},
        // padded cell: the decay ratio of 0.1 is a full step of four down
        {3, 1, 2, 15, 8, 4, -10.0f, -60.0f, -12.04f, 2.07f, 0.17f, 100.0f},
        // cave: a ratio above 1 lengthens the decay
        {10, 15, 22, 15, 8, 8, -10.0f, 0.0f, -6.02f, -3.02f, 3.783f, 100.0f},
        // mountains: 300 ms of reflections delay becomes 299
        {18, 299, 84, 4, 8, 6, -10.0f, -25.0f, -27.8f, -20.14f, 1.49f, 100.0f},
        // quarry
        {19, 61, 25, 15, 8, 8, -10.0f, -10.0f, -100.0f, 5.0f, 1.49f, 100.0f},
        // parking lot
        {21, 8, 12, 15, 8, 8, -10.0f, 0.0f, -13.63f, -11.53f, 2.475f, 100.0f},
        // sewer pipe
        {22, 14, 21, 12, 8, 5, -10.0f, -10.0f, 4.29f, 6.48f, 2.81f, 60.0f},
        // plate
        {29, 2, 10, 15, 8, 8, -10.0f, -2.0f, 0.0f, 0.0f, 1.3f, 75.0f},
    };
    for (const auto &c : cases)
    {
        SoundReverbParam p;
        SoundReverb_ConvertI3DL2ToNative(&SoundReverbI3DL2Presets[c.Preset], &p);
        EXPECT_EQ(c.ReflectionsDelay, p.ReflectionsDelay) << c.Preset;
        EXPECT_EQ(c.ReverbDelay, p.ReverbDelay) << c.Preset;
        EXPECT_EQ(c.Diffusion, p.EarlyDiffusion) << c.Preset;
        EXPECT_EQ(c.LowEQGain, p.LowEQGain) << c.Preset;
        EXPECT_EQ(c.HighEQGain, p.HighEQGain) << c.Preset;
        EXPECT_EQ(c.RoomFilterMain, p.RoomFilterMain) << c.Preset;
        EXPECT_EQ(c.RoomFilterHF, p.RoomFilterHF) << c.Preset;
        EXPECT_EQ(c.ReflectionsGain, p.ReflectionsGain) << c.Preset;
        EXPECT_EQ(c.ReverbGain, p.ReverbGain) << c.Preset;
        EXPECT_EQ(c.DecayTime, p.DecayTime) << c.Preset;
        EXPECT_EQ(c.Density, p.Density) << c.Preset;
    }
}

}  // namespace
