// The device side of 3D sound: the listener and its defaults, each 3D buffer's emitter record,
// and the DirectSound model of distance, cone and pan.
#include "zovuz/sound/sound_3d_internal.h"
#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include <math.h>
#include <string.h>

Sound3DListenerData Sound3DListener;

const Sound3DCurvePoint Sound3DVolumeCurve[2] = {{0.0f, 1.0f}, {1.0f, 0.0f}};
const Sound3DCurvePoint Sound3DLowFrequencyCurve[3] = {{0.0f, 1.0f}, {0.25f, 0.0f}, {1.0f, 0.0f}};
const Sound3DCurvePoint Sound3DReverbCurve[3] = {{0.0f, 0.5f}, {0.75f, 1.0f}, {1.0f, 0.0f}};

namespace {

// The listener hears fully ahead within 150 degrees, and at 0.75 behind beyond 330 degrees.
const Sound3DCone ListenerCone = {2.617994f, 5.759587f, 1.0f, 0.75f, 0.0f, 0.25f, 0.708f, 1.0f};
// An emitter sounds the same in every direction: both angles 0, full volume outside them.
const Sound3DCone EmitterCone = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f};

constexpr float EmitterInnerRadius = 2.0f;
constexpr float EmitterInnerRadiusAngle = 0.78539816f;  // a quarter of pi
constexpr float EmitterChannelRadius = 0.1f;
constexpr float EmitterDistanceScaler = 14.0f;
constexpr float EmitterDopplerScaler = 1.0f;

// The DirectSound model never pans fully to one side.
constexpr float MaxPan3D = 0.8f;
constexpr float MinDistance = 1e-13f;

void Set3(float *Dest, float X, float Y, float Z)
{
    Dest[0] = X;
    Dest[1] = Y;
    Dest[2] = Z;
}

float Dot(const float *A, const float *B) { return A[0] * B[0] + A[1] * B[1] + A[2] * B[2]; }

}  // namespace

void SoundPlatform_Set3DListenerDefaults(void)
{
    Sound3DListenerData &l = Sound3DListener;
    Set3(l.Front, 0.0f, 0.0f, 1.0f);
    Set3(l.Top, 0.0f, 1.0f, 0.0f);
    Set3(l.Position, 0.0f, 0.0f, 0.0f);
    Set3(l.Velocity, 0.0f, 0.0f, 0.0f);
    l.Cone = ListenerCone;
}

int SoundBuffer_Platform_Initialize3D(SOUNDBUFFER *Buffer, SOUNDBUFFER *Src, int Is3D)
{
    if (!Is3D) return 0;
    if (Src != nullptr) {
        Buffer->Emitter = Src->Emitter;
        return 0;
    }
    Sound3DEmitter &e = Buffer->Emitter;
    e.Cone = EmitterCone;
    Set3(e.Front, 0.0f, 0.0f, 1.0f);
    Set3(e.Top, 0.0f, 1.0f, 0.0f);
    Set3(e.Position, 0.0f, 0.0f, 0.0f);
    Set3(e.Velocity, 0.0f, 0.0f, 0.0f);
    e.InnerRadius = EmitterInnerRadius;
    e.InnerRadiusAngle = EmitterInnerRadiusAngle;
    e.ChannelCount = Buffer->Format.nChannels;
    e.ChannelRadius = EmitterChannelRadius;
    e.DistanceScaler = EmitterDistanceScaler;
    e.DopplerScaler = EmitterDopplerScaler;
    return 0;
}

int SoundBuffer_Platform_Set3DPosition(SOUNDBUFFER *Buffer, float X, float Y, float Z)
{
    Set3(Buffer->Emitter.Position, X, Y, Z);
    return 0;
}

int SoundBuffer_Platform_Set3DVelocity(SOUNDBUFFER *Buffer, float X, float Y, float Z)
{
    Set3(Buffer->Emitter.Velocity, X, Y, Z);
    return 0;
}

int SoundBuffer_Platform_Set3DDistanceScale(SOUNDBUFFER *Buffer, float Scale)
{
    Buffer->Emitter.DistanceScaler = Scale;
    return 0;
}

void Sound3D_DirectSoundModel(const Sound3DListenerData *Listener, SOUNDBUFFER *Buffer)
{
    float d[3];
    for (int i = 0; i < 3; i++) d[i] = Buffer->Emitter.Position[i] - Listener->Position[i];
    float distance = sqrtf(Dot(d, d));
    if (distance < MinDistance) distance = MinDistance;

    // Full volume at the listener, falling in a straight line to nothing at the audible radius.
    float scale = Buffer->DistanceScale3D;
    float distanceFactor = distance >= scale ? 0.0f : 1.0f - distance / scale;

    float u[3] = {d[0] / distance, d[1] / distance, d[2] / distance};
    float facing = Dot(u, Listener->Front);
    if (facing > 1.0f) facing = 1.0f;
    if (facing < -1.0f) facing = -1.0f;
    float angle = 2.0f * acosf(facing);
    const Sound3DCone &cone = Listener->Cone;
    float coneFactor;
    if (angle <= cone.InnerAngle)
        coneFactor = cone.InnerVolume;
    else if (angle >= cone.OuterAngle)
        coneFactor = cone.OuterVolume;
    else
        coneFactor = cone.InnerVolume + (cone.OuterVolume - cone.InnerVolume) * (angle - cone.InnerAngle) /
                                            (cone.OuterAngle - cone.InnerAngle);
    Buffer->Volume3DFactor = coneFactor * distanceFactor;

    // The pan axis is front crossed with top, which in the library's left-handed space points to
    // the listener's left: the volume law lowers the left side for a negative 3D pan, so a
    // source on the listener's right hand (+x when facing +z) is heard on the right.
    const float *top = Listener->Top;
    const float *front = Listener->Front;
    float axis[3] = {front[1] * top[2] - front[2] * top[1], front[2] * top[0] - front[0] * top[2],
                     front[0] * top[1] - front[1] * top[0]};
    float pan = Dot(u, axis);
    Buffer->Pan3D = pan > MaxPan3D ? MaxPan3D : pan < -MaxPan3D ? -MaxPan3D : pan;
}
