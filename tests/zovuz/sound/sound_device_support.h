// Support for the sound tests: reading the library log back, and a scripted sound device that
// stands in for DirectSound behind the buffer layer.
#pragma once

#include "zovuz/sound/sound_buffer_internal.h"
#include "zovuz/sound/sound_platform_internal.h"

#include <stdint.h>

#include <string>
#include <vector>

// What "Log.txt" in the current folder gained since the reader was made, with LF line ends and
// without time stamps (each line's "<ms>:" becomes "#:").
class LogReader
{
public:
    LogReader();
    std::wstring Appended() const;
    // True when every piece occurs in the appended text, each after the one before.
    bool HasInOrder(const std::vector<std::wstring> &Pieces) const;

private:
    size_t start_;
};

// One device buffer of the scripted device: memory, cursors the test moves, and counters.
struct ScriptedDeviceBuffer {
    std::vector<uint8_t> Data;   // the buffer's bytes
    uint32_t PlayCursor = 0;     // what GetCurrentPosition reports
    uint32_t WriteCursor = 0;
    bool Playing = false;        // between Play and Stop
    int LoopFlag = 0;            // the loop flag of the last Play
    uint32_t Frequency = 0;      // the last SetFrequency value (0 = the format's rate)
    int OpenLocks = 0;           // Lock calls not yet matched by Unlock
    int VolumeRefreshes = 0;     // RefreshVolume calls
    int Refreshes3D = 0;         // Refresh3DSound calls
};

// Installs a scripted table of buffer operations while it lives (one at a time) and puts the
// previous table back at the end.
class ScriptedSoundDevice
{
public:
    ScriptedSoundDevice();
    ~ScriptedSoundDevice();
    ScriptedSoundDevice(const ScriptedSoundDevice &) = delete;
    ScriptedSoundDevice &operator=(const ScriptedSoundDevice &) = delete;

    // The scripted side of a buffer made while this device was installed; null when none.
    static ScriptedDeviceBuffer *Of(const SOUNDBUFFER *Buffer);

    bool FailInitialize = false;      // Initialize fails
    bool FailDeviceCalls = false;     // GetStatus, GetFrequency, Lock and Play fail
    bool AnswerOwnState = false;      // GetCurrentPosition, GetFrequency and Lock answer 2
    int Refresh3DResult = 0;          // what Refresh3DSound returns
    int LiveBuffers = 0;              // device buffers made and not yet terminated

private:
    const SoundBufferPlatformFunctions *previous_;
};

// A made 16-bit PCM format.
SoundWaveFormat Pcm16Format(int Channels, uint32_t Rate);

// The sound system started on the real device (COM first) for the life of the record, without
// a sound thread unless asked for, so a test drives the refills itself. Handles made on a
// scripted device must be deleted (DeleteAllSoftSoundHandles) before that device goes.
class SoundSystemSession
{
public:
    explicit SoundSystemSession(bool WithThread = false);
    ~SoundSystemSession();
    SoundSystemSession(const SoundSystemSession &) = delete;
    SoundSystemSession &operator=(const SoundSystemSession &) = delete;

    int StartResult;  // InitializeSoundSystem's result
};

// How long the device tests play: TARVEX_TONE_SECONDS (the recording tests set it), else 1 s.
double TestPlaySeconds();

// Serves main-thread requests for up to 5 s until a handle whose asynchronous load fails has been
// deleted by its job. True when it is gone.
bool WaitUntilHandleIsGone(int Handle);

// Seconds of sound the play cursor of a looping buffer covers per second that passes, measured
// from its first step over windows of about Seconds each, one after the other: the first window
// within RealTimeTolerance of 1, else the one nearest to 1 of RealTimeWindows (0 when the cursor
// does not move within 2 s). A sound server starved for a while (a machine running twice as many
// programs as it has cores) is late in one window and on time in the next; a cursor that stands
// still or runs twice as fast is out in every window.
double PlayedPerElapsed(SOUNDBUFFER &Buffer, double Seconds);
// How far PlayedPerElapsed may be from 1: a busy machine makes the sound server's clock late by
// up to a third over half a second; a cursor that stands still or runs twice as fast stays out.
constexpr double RealTimeTolerance = 0.4;
constexpr int RealTimeWindows = 4;
// Writes a sine of Hertz at Amplitude (of full scale) into both channels of a 16-bit stereo
// region whose first frame is FirstFrame of the sound.
void WriteSine(void *Data, uint32_t Bytes, uint32_t FirstFrame, double Hertz, double Amplitude);
bool AllZero(const void *Data, uint32_t Bytes);
// A sample of the numbered signal the recording tests play (recording_judge.py reads it back):
// the left channel (0) a tone of ToneHz at half scale, the right one a ramp that climbs 16 a
// frame and falls back every RampPeriod frames, both functions of the frame's number.
int NumberedSignalSample(int64_t Frame, int Channel, int RampPeriod, int ToneHz);
