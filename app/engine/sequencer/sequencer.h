// The MML sequencer's transport, song clock and render tick.
//
// Every 10 ms a multimedia timer calls SequencerTimerProc, which advances every playing song
// (TickSequencer: clock, due events, glides, vibrato, bends, song end), runs the instruments,
// mixes the sample voices, feeds the effect buses, runs the channel strips and the master, and
// pushes 441 frames into the sequencer's SoftSound player and the WAV capture.
//
// The transport runs on the user-interface thread and acts on song 0 (StopAllSongEngines on all
// ten). The tick holds the engine lock for its whole run; each transport call takes it for its
// own short run, so a call never lands in the middle of a tick. Neither waits for anything else
// while holding it.
#pragma once

#include <cstdint>

#include "app/engine/mixer/channel_mixer.h"
#include "app/engine/sequencer/song_engine.h"

// The clock every reading of "now" goes through: microseconds.
typedef uint64_t (*SequencerClock)();

// The sequencer's globals.
struct SequencerData {
  int32_t player = -1;                                       // SoftSound player, made by InitSequencerAudio
  uint32_t timerId = 0;                                      // the 10 ms timer; 0 while none runs
  SequencerClock clock = nullptr;                            // null: the system's microsecond clock
  float trackBuffers[kMixerChannelCount][kMixSamples] = {};  // 0-15 tracks, 16-17 buses
};

extern SequencerData g_sequencer;

// Puts a clock in place of the system's (null: the system's again). Tests drive ticks with it.
void SetSequencerClock(SequencerClock clock);
// The current reading of the sequencer's clock.
uint64_t SequencerNow();
// The song time a render call moves a song on by, in microseconds, and `last` (the clock's
// reading at the call before) moved to now. By the clock, unless a render captures (`capture`
// armed): each call writes 441 frames to the file however late it comes, so it moves the song
// on by their 10 ms, and after the render the clock goes on from there without catching up.
uint64_t RenderCallElapsed(uint64_t& last, const WaveFile* capture);
// The library's microsecond clock (GetNowMicroCount); 0 before the library has one.
uint64_t ReadSystemMicroClock();

// Start-up: the SoftSound player, a 1 ms timer resolution, the bank tables of every song
// empty. Returns 1.
int InitSequencerAudio();
// Shut-down: the timer is killed first (waiting for a tick in progress), then song 0's samples
// are released and the player is stopped and deleted.
void TermSequencerAudio();
// Starts the 10 ms timer unless one runs.
void StartSequencerTimer();
// Kills the timer, waiting for a tick in progress, and sets its id to 0. Never call it while
// holding the engine lock.
void StopSequencerTimer();

void PlaySequencerFromTop();
void PauseSequencer();
void ResumeSequencer();
void RewindSequencer();
void StopAllSongEngines();
// Moves song 0 on by `milliseconds` of music at the next tick, never past its end.
void FastForwardSequencer(int32_t milliseconds);

// One tick of song `songIndex` (0-9): called by the render for every playing song.
void TickSequencer(int32_t songIndex);

// Events run per track and tick at most: a song that has more due at once runs the rest at the
// next ticks, so no song text can hold the timer thread.
constexpr int kMaxEventsPerTrackTick = 1024;

// The multimedia-timer callback: one render tick. The arguments are not used.
void __stdcall SequencerTimerProc(unsigned int timerId, unsigned int message, unsigned long user,
                                  unsigned long reserved1, unsigned long reserved2);
// Track buffers 0-7 from the instruments in slot 0 of each track.
void RenderInstrumentTracks();
// Adds the 64 sample voices of song `songIndex` (0-9) into the track buffers.
void MixSequencerPcmVoices(int32_t songIndex);
