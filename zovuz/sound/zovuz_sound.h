// ZoVuz sound: the public API of the library's sound layer.
#pragma once

// ---- start and end ---------------------------------------------------------------------------

// The sound-format conversion system, started by the library before the sound system and
// ended after it. Initialize: 0, or -1 when it was already started. Terminate: 0, or -1
// when it was not started.
int InitializeSoundConvert(void);
int TerminateSoundConvert(void);

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
// One step of every playing Music handle. 0, or -1 when the device or the type is not ready.
int ProcessMusicHandles(void);

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
int GetSoftSoundFormat(int SoftSoundHandle, int *Channels, int *BitsPerSample, int *SamplesPerSec,
                       int *IsFloatType);
// Frames of SoftSound data, or -1 for a player.
int GetSoftSoundSampleNum(int SoftSoundHandle);
// One frame of SoftSound data on the signed 16-bit scale, whatever the sample width (8-bit
// samples are centred, wider ones keep their top 16 bits, float is scaled by 32768 and
// clamped). A mono sound's right value is 0. Either output may be null. 0, or -1 for a player or
// an index outside the data.
int ReadSoftSoundData(int SoftSoundHandle, int SamplePosition, int *Left, int *Right);
