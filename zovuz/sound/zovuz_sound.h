// ZoVuz sound: the public API of the library's sound layer.
#pragma once

// ---- start and end ---------------------------------------------------------------------------

// The sound-format conversion system, started by the library before the sound system and
// ended after it. Initialize: 0, or -1 when it was already started. Terminate: 0, or -1
// when it was not started.
int InitializeSoundConvert(void);
int TerminateSoundConvert(void);

// Conversion methods of a higher layer (the platform's decoders): MP3 through a DirectShow graph
// and Media Foundation, tried in that order after MP3 through ACM. The converter keeps the
// method's state pointer and hands it back to every call.
struct StreamFunctionTable;
struct SoundConvertPlatformMethod
{
    // Recognises the stream (at its start): 0 with *State, the PCM output format (an 18-byte
    // wave format record) and the output block size; -1 with nothing held.
    int (*Setup)(const StreamFunctionTable *Stream, void *StreamData, void **State, void *Format,
                 unsigned int *BlockSize);
    // The next block into Dest (BlockSize bytes); Position is the output byte offset of the next
    // byte the caller expects. The bytes written, or -1 at the end.
    int (*Decode)(void *State, void *Dest, unsigned int BlockSize, long long Position);
    int (*Seek)(void *State, long long Sample);  // 0, or -1
    long long (*GetDestSize)(void *State);       // total output bytes
    void (*Release)(void *State);
};
// Fills the DirectShow MP3 and Media Foundation slots of the recognisers (null: none).
void SoundConvert_SetPlatformMethods(const SoundConvertPlatformMethod *DShowMp3,
                                     const SoundConvertPlatformMethod *MediaFoundation);

// The sound system: the handle types "Sound", "SoftSound" and "Music", the layer's locks and
// lists, the sound device, the sound thread and the three tone buffers.
// Initialize: 0, or -1 when it is already started or a step fails (a failure after the device
// has started leaves the system started, for the end to release). Terminate: 0, or -1 when it
// is not started or a step fails.
int InitializeSoundSystem(void);
int TerminateSoundSystem(void);

// ---- periodic work (the sound thread, or the message pump) ----------------------------------

// Each returns 0, or -1 when the sound device is not ready.
int ProcessStreamSounds(void);           // refills the playing stream sounds and the tone buffers
int ProcessSoftSoundPlayers(void);       // tops up every playing SoftSound player
int ProcessPlayedSoundList(void);        // post-stop work of the played Sound handles
int ProcessDeleteOnPlayEndSounds(void);  // deletes the Sound handles that asked to go when they end
// 1 while the sound thread runs; the message pump then leaves the three refill steps above to it.
int SoundThreadExists(void);

// Window deactivation (1) and activation (0): every device buffer of the Sound handles, or of
// the SoftSound players, is stopped and later restarted where it was playing. 0, or -1 when
// the sound system or the device is not ready.
int PauseAllSoundHandles(int PauseFlag);
int PauseAllSoftSoundPlayers(int PauseFlag);

// ---- music ---------------------------------------------------------------------------------

// Stops and deletes the current music, if any. 0.
int StopCurrentMusic(void);
// One step of every playing Music handle. 0, or -1 when the device or the type is not ready,
// or a step fails.
int ProcessMusicHandles(void);
// 1 while the Music handle plays, 0 when not; -1 when the device is not ready or the handle is
// not a live Music handle.
int CheckMusicPlaying(int MusicHandle);
// Stops a Music handle. 0, or -1 when the device is not ready, the handle is not live or the
// device's stop fails.
int StopMusicHandle(int MusicHandle);
// The main window received MM_MCINOTIFY: the MCI sequencer plays again from the start when it
// loops, else it is closed. 0.
int ProcessMidiMciNotify(void);

// ---- SoftSound data and players -----------------------------------------------------------
//
// A SoftSound handle is either data (frames in memory, loaded from a sound file or made empty)
// or a player (a frame queue that a producer fills one frame per call, drained into a looping
// one-second device buffer). Every call returns -1 for a handle that is not a live SoftSound
// handle of the right kind; a handle still loading asynchronously does not count as live.

// A player of 2 channels, 16 bits, 44100 Hz, made with the library's asynchronous-load flag.
// The handle, or -1.
int MakeSoftSoundPlayer2Ch16Bit44100Hz(void);
// A player (IsPlayer 1) or empty data of SampleNum frames. With a format source (a SoftSound
// data handle, else -1) its channels, bits, rate and float flag are used. The handle, or -1.
int MakeSoftSoundHandle(int IsPlayer, int Channels, int BitsPerSample, int SamplesPerSec, int SampleNum,
                        int IsFloatType, int FormatSourceHandle, int ASyncLoadFlag);

// Appends one frame to a player's queue: 8-bit values are clamped to 0..255, 16-bit values to
// -32768..32767; a mono player takes Left only. Players of other formats take no frames. 0 / -1.
int AddOneDataSoftSoundPlayer(int SoftSoundPlayerHandle, int Left, int Right);
// 0 when started or already playing, -1 when the device buffer does not start.
int StartSoftSoundPlayer(int SoftSoundPlayerHandle);
// 0 when stopped or not playing. The queue and the write position stay for the next start.
int StopSoftSoundPlayer(int SoftSoundPlayerHandle);
// Deletes a player; -1 for data.
int DeleteSoftSoundPlayer(int SoftSoundPlayerHandle);

// Loads a sound file (path in the library's current character code) into new SoftSound data.
// The handle, or -1.
int LoadSoftSound(const char *FileName);
// Deletes SoftSound data; -1 for a player.
int DeleteSoftSound(int SoftSoundHandle);
// The format of SoftSound data; each output may be null. 0, or -1 for a player.
int GetSoftSoundFormat(int SoftSoundHandle, int *Channels, int *BitsPerSample, int *SamplesPerSec, int *IsFloatType);
// Frames of SoftSound data, or -1 for a player.
int GetSoftSoundSampleNum(int SoftSoundHandle);
// One frame of SoftSound data on the signed 16-bit scale, whatever the sample width (8-bit
// samples are centred, wider ones keep their top 16 bits, float is scaled by 32768 and
// clamped). A mono sound's right value is 0. Either output may be null. 0, or -1 for a player or
// an index outside the data.
int ReadSoftSoundData(int SoftSoundHandle, int SamplePosition, int *Left, int *Right);

// ---- Sound handles --------------------------------------------------------------------------
//
// A Sound handle plays a sound file or a file image in memory. A memory sound holds the whole
// sound as PCM in 1 to 10 device buffers, so that up to 10 plays of it can overlap; a stream
// sound plays one looping device buffer that the sound service refills while it plays, from up
// to three sources in turn, with repeats and a loop point. A sound becomes a stream sound when
// its load parameters ask for one, when it has a loop (its own, or one from a "_loop.txt" file
// beside it), when it lasts more than 180 seconds, or when its buffers cannot be made.
//
// Every call returns -1 when the sound device is not ready or the handle is not a live Sound
// handle; a handle still loading asynchronously counts as live only where a call takes an
// AllowLoading argument of 1.

// The load parameters every sound loader is given: fifteen 32-bit words.
struct LoadSoundParam
{
    int KeepFlag;                  // 1: the handle survives the sound layer's delete-all
    int Is3DSound;                 // 1: a 3D sound
    int CreateType;                // 0 memory sound; 1, 2, 3 stream sound of that source kind
    int PitchChangeFlag;           // always 0 here: sounds keep their pitch
    float PitchRate;               // 1.0
    int TimeStretchFlag;           // always 0 here: sounds keep their length
    float TimeStretchRate;         // 1.0
    int LoopStartMilliSec;         // loop start in milliseconds
    int LoopStartSample;           // loop start in frames
    int LoopEndMilliSec;           // loop end in milliseconds
    int LoopEndSample;             // loop end in frames
    int IgnoreFileLoop;            // 1: the file's own loop is not used
    int ConvertSkipMask;           // bits of the sound-file formats not to try (see the converters)
    int ConvertOggVorbisBitDepth;  // Ogg Vorbis sample width in bytes (2)
    int ConvertOggVorbisDecoder;   // Ogg Vorbis open selector
};
static_assert(sizeof(LoadSoundParam) == 60, "the load parameters are fifteen words");

// Fills the parameters from the sound-creation settings. A memory sound asked for with a loop
// becomes a stream sound of the image (create type 2). 0.
int InitLoadSoundParam(LoadSoundParam *Param);

// Play types.
#define DX_PLAYTYPE_NORMAL 0  // plays and waits, pumping window messages, until the sound ends
#define DX_PLAYTYPE_BACK 1    // plays once in the background
#define DX_PLAYTYPE_LOOP 3    // plays in the background, over and over

// Loads a sound file (UTF-16 path) into a new handle with BufferNum buffers (1..10). A stream
// sound may play through the buffer of SharingHandle (-1 for none). ASyncLoadFlag queues the
// load as a job and returns the handle at once; ASyncThread says the caller is itself a job.
// The handle, or -1.
int LoadSoundMemFromFile(const LoadSoundParam *Param, const wchar_t *FileName, int BufferNum, int SharingHandle,
                         int ASyncLoadFlag, int ASyncThread);
// Loads a file image into a new handle (CreateFlag 1: the handle, or -1) or into SoundHandle
// (CreateFlag 0: 0, or -1); an existing stream sound gains the image as a further source. An
// asynchronous load reads the image later: it must stay until the load is done.
int LoadSoundMemFromMemImage(const LoadSoundParam *Param, int CreateFlag, int SoundHandle, const void *FileImage,
                             int FileImageSize, int BufferNum, int SharingHandle, int ASyncLoadFlag, int ASyncThread);

// Plays: a memory sound on its next buffer in turn (while that buffer still plays, nothing
// happens unless TopPositionFlag restarts it), a stream sound from where it stands, or from
// its start with TopPositionFlag. 0 / -1.
int PlaySoundHandle(int SoundHandle, int PlayType, int TopPositionFlag);
int StopSoundHandle(int SoundHandle);
// 1 while it plays (or was playing when the window's deactivation paused it), 0 when not.
int CheckSoundPlaying(int SoundHandle);
// Length in frames, and in milliseconds.
int GetSoundTotalSample(int SoundHandle, int AllowLoading);
int GetSoundTotalTime(int SoundHandle);
// The play position in bytes; the set calls move it (in bytes or milliseconds).
int GetSoundCurrentPosition(int SoundHandle);
int SetSoundCurrentPosition(int BytePosition, int SoundHandle);
int SetSoundCurrentTime(int MilliSec, int SoundHandle);
// Playback rate in Hz; -1 sets the sound's own rate.
int GetSoundFrequency(int SoundHandle);
int SetSoundFrequency(int Frequency, int SoundHandle);
// Pan -10000 (left) .. 10000 (right).
int GetSoundPan(int SoundHandle);
int SetSoundPan(int Pan, int SoundHandle);
// Volume 0 (silent) .. 10000 (full), in hundredths of a decibel above silence; Get reads one
// channel (0..7).
int GetSoundVolume(int Channel, int SoundHandle);
int SetSoundVolume(int Volume, int SoundHandle);
// Makes a memory sound a stream sound under the same handle value. 0, also when it already
// streams; -1.
int ConvertSoundMemToStream(int SoundHandle);

// Loop points: playback that reaches the loop end goes on from the loop start, for ever.
// Setting one on a memory sound makes it a stream sound; a sound of more than one source
// takes none. Start and end in frames or milliseconds; -1 clears a point. 0 / -1.
int SetSoundLoopSamples(int LoopStartSample, int LoopEndSample, int SoundHandle, int AllowLoading);
int SetSoundLoopTimes(int LoopStartMilliSec, int LoopEndMilliSec, int SoundHandle, int AllowLoading);
int SetSoundLoopStartSample(int LoopStartSample, int SoundHandle, int AllowLoading);
int SetSoundLoopStartTime(int LoopStartMilliSec, int SoundHandle, int AllowLoading);
int SetSoundLoopEndSample(int LoopEndSample, int SoundHandle, int AllowLoading);
int SetSoundLoopEndTime(int LoopEndMilliSec, int SoundHandle, int AllowLoading);
