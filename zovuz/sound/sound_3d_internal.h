// The device side of 3D sound: the one listener, each 3D buffer's emitter record, and the
// DirectSound model that turns a position into a volume factor and a pan.
//
// The cone, listener and emitter values are laid out as X3DAudio's records hold them, so the
// XAudio2 path hands them over as they are (with the pointers filled in at the call).
#pragma once

#include <stdint.h>

struct SOUNDBUFFER;

// A sound cone: angles in radians (the whole opening), volume, low-pass and reverb levels inside
// the inner and outside the outer angle, linear in between.
struct Sound3DCone
{
    float InnerAngle, OuterAngle;
    float InnerVolume, OuterVolume;
    float InnerLowPass, OuterLowPass;
    float InnerReverb, OuterReverb;
};

struct Sound3DListenerData
{
    float Front[3];  // facing direction
    float Top[3];    // up direction
    float Position[3];
    float Velocity[3];
    Sound3DCone Cone;  // the listener's cone
};
// The listener every 3D buffer is heard by. Its defaults are set by each device start.
extern Sound3DListenerData Sound3DListener;

// A 3D buffer's emitter, without the pointers of X3DAudio's record: the curves are the fixed
// defaults and every channel azimuth is 0.
struct Sound3DEmitter
{
    Sound3DCone Cone;
    float Front[3];
    float Top[3];
    float Position[3];
    float Velocity[3];
    float InnerRadius;
    float InnerRadiusAngle;
    uint32_t ChannelCount;
    float ChannelRadius;
    float DistanceScaler;  // the distance curves' scale (the buffer's audible radius)
    float DopplerScaler;
};

// One point of a distance curve: distance (0..1 of the scale) and the level there.
struct Sound3DCurvePoint
{
    float Distance;
    float Value;
};
// The emitter's fixed curves.
extern const Sound3DCurvePoint Sound3DVolumeCurve[2];
extern const Sound3DCurvePoint Sound3DLowFrequencyCurve[3];
extern const Sound3DCurvePoint Sound3DReverbCurve[3];

// The listener's defaults: facing +z, up +y, at rest at the origin, its cone.
void SoundPlatform_Set3DListenerDefaults(void);

// The DirectSound model of a 3D buffer: the volume factor (cone x distance, 0 beyond the
// buffer's distance scale) and the pan (-0.8 .. 0.8; negative for a source on the listener's
// right) of the emitter's position as the listener hears it, stored in the buffer's
// Volume3DFactor and Pan3D.
void Sound3D_DirectSoundModel(const Sound3DListenerData *Listener, SOUNDBUFFER *Buffer);
