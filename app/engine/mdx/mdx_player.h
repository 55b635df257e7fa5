// The MDX player's interface: its state and the globals the loader fills and
// the player runs. Everything here is global and replaced in place by the next
// load, under the engine lock; the player's timer thread reads it.
#ifndef TARVEX_APP_ENGINE_MDX_PLAYER_H
#define TARVEX_APP_ENGINE_MDX_PLAYER_H

#include <cstdint>

#include "app/engine/mdx/mdx_song.h"
#include "app/engine/sequencer/song_engine.h"

// The MDX player's state; per-track fields are indexed by track.
struct MdxPlayerState {
  uint16_t trackLength[kMdxTrackCount];  // command bytes, compared as unsigned; from the loader
  int32_t trackCount;                    // from the loader, 0-16
  uint64_t lastClock;                    // microseconds
  double microsPerTick;
  double tickPosition;  // song time in ticks since the top
  float timerB;         // Timer-B value, 0 after a reset
  int32_t tempo;        // beats per minute, for display
  int32_t playing;
  int32_t readPosition[kMdxTrackCount];   // index of the current command byte
  int32_t currentLength[kMdxTrackCount];  // ticks from the current note or rest to the next command
  int32_t volume[kMdxTrackCount];
  int32_t volumeMode[kMdxTrackCount];  // 1 = 16-step scale 0-15, 0 = direct 0-127
  int32_t toneIndex[kMdxTrackCount];   // FmTone record last selected, for display
  int32_t startTick[kMdxTrackCount];   // of the current note or rest
  int32_t lastBendTick[kMdxTrackCount];
  uint8_t enabled[kMdxTrackCount];
  int32_t detune[kMdxTrackCount];        // pitch-bend units
  int32_t pan[kMdxTrackCount];           // FM 0, 64 or 127; PCM the raw value 0-3
  int32_t lastKey[kMdxTrackCount];       // key sounding on an FM track
  uint8_t mute[kMdxTrackCount];          // set by the user interface
  float volumeScale;                     // 1.0 after a reset
  uint8_t fmInstrument[kMdxTrackCount];  // the instrument is a recognised FM instrument
  uint8_t portaPending[kMdxTrackCount];
  uint8_t portaActive[kMdxTrackCount];
  int32_t portaSpeed[kMdxTrackCount];  // bend units x 256 per tick
  int32_t portaStartTick[kMdxTrackCount];
  int32_t portaEndTick[kMdxTrackCount];
  uint8_t portaHold[kMdxTrackCount];
  int32_t portaBase[kMdxTrackCount];
  int32_t portaBend[kMdxTrackCount];
  int32_t repeatCounters[kMdxTrackCount][kMdxRepeatDepth];  // by depth; depth 0 unused
  int32_t repeatDepth[kMdxTrackCount];
  uint8_t tiePending[kMdxTrackCount];  // the tie command was given for the next note
  uint8_t tied[kMdxTrackCount];        // a note continues into the next
  uint8_t legato[kMdxTrackCount];      // a tied note sounds at another key
  uint8_t lfoOn[kMdxTrackCount];
  int32_t lfoWaveform[kMdxTrackCount];
  int32_t lfoStep[kMdxTrackCount];
  int32_t lfoPeriod[kMdxTrackCount];
  int32_t lfoValue[kMdxTrackCount];
  int32_t lfoStartTick[kMdxTrackCount];
  int32_t lfoTicksDone[kMdxTrackCount];
  int32_t lfoDelay[kMdxTrackCount];
  uint8_t gatePending[kMdxTrackCount];
  int32_t gateValue[kMdxTrackCount];  // 8 after a reset
  int32_t gateMode[kMdxTrackCount];   // 0 = eighths of the length, 1 = ticks before the end
  uint8_t sendOn[kMdxTrackCount][2];  // bus 16, bus 17
  float sendLevel[kMdxTrackCount][2];
  float channelPan[kMixerChannelCount];  // 0.0 left, 0.5 centre, 1.0 right
  float channelVolume[kMixerChannelCount];
  float peakLeft[kMixerChannelCount];
  float peakRight[kMixerChannelCount];
  // The clock's part of the current tick, microseconds: time after a tempo command is counted
  // at the new rate from the tick the command ran in.
  double microsIntoTick;
  int32_t wholeTick;              // the tick position's integer part: the last tick run
  uint8_t ended[kMdxTrackCount];  // reached its end: stays off when the song resumes
  // A note tied into the rest now running: it sounds on and is keyed off when the rest runs out.
  uint8_t releaseAfterRest[kMdxTrackCount];

  // Back to the top: clock, tracks and channel strips (see the .cpp for what is kept).
  void Reset();
  // The track's detune as a bend, then (unless muted) a note-on of its last key at 127.
  void NoteOn(int32_t track);
  // A note-off of the track's last key.
  void NoteOff(int32_t track);
};

struct WaveFile;

// Globals of the MDX player, in one place.
struct MdxPlayerData {
  int32_t softSoundPlayer = -1;                                       // SoftSound player handle
  uint32_t timerId = 0;                                               // 10 ms timer, 0 when none runs
  uint8_t* trackData[kMdxTrackCount] = {};                            // command bytes, length + 1 with a 0 after them
  int16_t* samples[kMdxSampleCount] = {};                             // 16-bit samples at 44,100 Hz
  int32_t sampleLengths[kMdxSampleCount] = {};                        // samples
  PcmVoice voices[kMdxVoiceCount];                                    // voices 8-15 serve the PCM tracks
  FmTone tones[kFmToneCount];                                         // filled by the loader in file order
  float channelBuffers[kMixerChannelCount][kMdxFrameCount * 2] = {};  // interleaved stereo
  float masterBuffer[kMdxFrameCount * 2] = {};
  MdxPlayerState state = {};
  WaveFile* capture = nullptr;  // set by the application shell
};

extern MdxPlayerData g_mdx;

// Index of the first of the 64 tones whose used flag is clear, or -1.
int FindFreeFmTone();

// ---------------------------------------------------------------------------
// The player. Every 10 ms MdxTimerProc advances the song (TickMdxSequencer), renders the
// instruments and the PCM voices, runs the sends, the channel strips and the master, and
// pushes 441 frames into the player's SoftSound player and the WAV capture. It holds the
// engine lock for its whole run; the transport calls (MdxSong, mdx_song.h) take it for their
// own short run, so none lands in the middle of a tick.

// The player reads "now" from the engines' one clock, SequencerNow() (sequencer.h), which
// tests replace with SetSequencerClock.

// Microseconds per tick at a Timer-B value: (256 - value) x 256, the chip's Timer B.
double MdxMicrosPerTick(float timerB);

// Work one call does at most, so that no song can hold the timer thread: ticks a late call
// catches up (the rest of the time is carried to the next call), and commands per track (a
// track with more due waits for the next call).
constexpr int kMdxTicksPerCall = 1024;
constexpr int kMdxCommandsPerCall = 1024;

// Advances the song by the time since the last call and runs what falls due, tick by tick.
void TickMdxSequencer();
// Adds PCM voices 8-15 into channel buffers 8-15.
void MixMdxPcmChannels();
// The multimedia-timer callback: one render tick. The arguments are not used.
void __stdcall MdxTimerProc(unsigned int timerId, unsigned int message, unsigned long user, unsigned long reserved1,
                            unsigned long reserved2);
// Starts the 10 ms timer unless one runs.
void StartMdxTimer();
// Kills the timer, waiting for a tick in progress, and sets its id to 0. Never call it while
// holding the engine lock.
void StopMdxTimer();
// Exit: the timer first (so no tick reads a freed buffer), then the buffers and the player.
void TermMdxPlayer();

// ---------------------------------------------------------------------------
// The command interpreter (mdx_commands.cpp).

// Bytes of the command at `position` of a track's data of `length` bytes, arguments
// included; 0 when it does not fit in the data.
int32_t MdxCommandBytes(const uint8_t* data, int32_t length, int32_t position);
// Run the command at the track's read position and leave the read position on its last byte
// (the caller moves on by one). FM tracks 0-7 and PCM tracks 8-15 respectively. A jump or a
// repeat the track's data and tables cannot hold ends the track.
void StepMdxFmTrack(int32_t track);
void StepMdxPcmTrack(int32_t track);
// Key-off of the note a track is sounding: a note-off on an FM track, the voice stopped on a
// PCM track.
void KeyOffMdxTrack(int32_t track);
// Ends a track: it is disabled and stays off, also when the song resumes. A note tied into the
// end is keyed off.
void EndMdxTrack(int32_t track);
// The instrument volume of every track below the track count, from the track volumes.
void ApplyMdxTrackVolumes();
// The instrument volume (0-255) of an MDX volume at a volume scale.
int32_t MdxInstrumentVolume(int32_t volume, int32_t volumeMode, float volumeScale);

// Frees the track and sample buffers, including those that loads replaced.
// Only once the player's timer can no longer read them (at exit).
void FreeMdxBuffers();

#endif
