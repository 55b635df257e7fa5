// The sequencer's transport and song clock: play, pause, resume, rewind, stop and fast-forward
// of song 0, and the tick that turns elapsed time into song ticks, runs the due events, glides,
// swings the vibrato, sends the bends and notices the end of the song.
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "app/engine/engine_lock.h"
#include "app/engine/mixer/wave_file.h"
#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/engine/sequencer/sequencer_dispatch.h"
#include "zovuz/core/zovuz_core.h"

SequencerData g_sequencer;

namespace {

// Microseconds of one song tick at `tempo` quarter notes per minute (192 ticks a whole note).
double MicrosPerTick(int32_t tempo) { return (1000000.0 / (tempo / 60.0)) * 4 / 192; }

// A note-off for the sounding note and for every held key of each instrument track, queued
// whether or not an instrument is loaded. The held list stays as it is.
void NoteOffBurst(const SongEngine& song) {
  for (int track = 0; track < kInstrumentTrackCount; ++track) {
    const SongTrack& t = song.tracks[track];
    SendNoteOff(track, t.currentNote);
    for (int32_t key : t.heldNotes) {
      if (key != 0) SendNoteOff(track, key);
    }
  }
}

// Every event of the track due again, up to and including its end event.
void ClearDispatched(SongEngine& song, int track) {
  for (SongEvent& e : song.events[track]) {
    e.dispatched = 0;
    if (e.type == kEvEnd) break;
  }
}

// A glide or a vibrato swing under way when the song is stopped or rewound would go on bending
// the first notes played afterwards, since its own end event will not come: both end here.
void EndPitchMovement(SongTrack& t) {
  t.portaActive = 0;
  t.portaBend = 0;
  t.vibValue = 0.0f;
}

// The song at tick 0 from now: its clock, and every track's position, events and pitch.
void BackToTheTop(SongEngine& song) {
  song.clockBase = song.lastClock = SequencerNow();
  song.tickPosition = 0.0;
  for (int track = 0; track < kSongTrackCount; ++track) {
    SongTrack& t = song.tracks[track];
    t.eventCursor = 0;
    t.endReached = 0;
    t.tickOffset = 0;
    t.vibLastBendTick = 0;
    EndPitchMovement(t);
    ClearDispatched(song, track);
  }
}

// Where the song ends: the latest tick at which an unfinished track still has an event, offsets
// included, with the loop jumps on the way taken as the tick takes them. A jump back to a loop
// point before it plays on for ever: the song then has no end (infinity).
double SongEndTick(const SongEngine& song) {
  double end = 0.0;
  for (int track = 0; track < kSongTrackCount; ++track) {
    const SongTrack& t = song.tracks[track];
    if (t.endReached || !CursorInTrack(t)) continue;
    const SongEvent* events = song.events[track];
    int lastPoint = -1;
    for (int i = 0; i < kEventsPerTrack && events[i].type != kEvEnd; ++i) {
      if (events[i].type == kEvLoopPoint) lastPoint = i;
    }
    int64_t offset = t.tickOffset;
    for (int i = t.eventCursor; i < kEventsPerTrack && events[i].type != kEvEnd; ++i) {
      end = std::max(end, static_cast<double>(int64_t{events[i].tick} + offset));
      if (events[i].type != kEvLoopJump) continue;
      const int64_t length = int64_t{events[i].tick} - t.loopPointTick;
      if (length == 0) continue;
      if (lastPoint >= 0 && lastPoint < i) return std::numeric_limits<double>::infinity();
      offset += length;
      if (lastPoint > i) i = lastPoint;  // on to the loop point ahead, past what lies between
    }
  }
  return end;
}

void AdvanceClock(SongEngine& song) {
  // The render file is song 0's, and every playing song sounds in it.
  const uint64_t elapsed = RenderCallElapsed(song.lastClock, g_songs[0].capture);
  // Event 31 stores any number: a tempo of 0 or below holds the song where it is.
  if (song.tempo <= 0) return;
  song.microsPerTick = MicrosPerTick(song.tempo);
  song.tickPosition += static_cast<double>(elapsed) / song.microsPerTick;
}

// Runs the track's due events, a bounded number of them.
void DispatchDue(SongEngine& song, int track) {
  SongTrack& t = song.tracks[track];
  for (int n = 0; n < kMaxEventsPerTrackTick && CursorInTrack(t); ++n) {
    SongEvent& e = song.events[track][t.eventCursor];
    if (e.type == kEvEnd || e.dispatched) break;
    if (song.tickPosition < static_cast<double>(e.tick) + t.tickOffset) break;
    e.dispatched = 1;
    if (track < kInstrumentTrackCount) {
      DispatchInstrumentTrackEvent(track, song);
    } else {
      DispatchSampleTrackEvent(track, song);
    }
    ++t.eventCursor;
  }
  if (!CursorInTrack(t) || song.events[track][t.eventCursor].type == kEvEnd) {
    t.endReached = 1;
    t.stopped = 1;
  }
}

void StepGlide(SongTrack& t, int32_t now) {
  const int64_t span = int64_t{t.portaTargetKey} - t.portaStartKey;
  if (t.portaDuration <= 0) {
    // A glide of no length is a jump to its target.
    t.portaBend = SaturateInt32((span + t.portaBaseOffset) * kBendUnitsPerSemitone);
    return;
  }
  const int64_t progress = int64_t{now} - t.portaStartTick - t.tickOffset;
  float semitones = static_cast<float>(progress * span) / static_cast<float>(t.portaDuration);
  semitones += static_cast<float>(t.portaBaseOffset);
  t.portaBend = TruncToInt32(semitones * static_cast<float>(kBendUnitsPerSemitone));
}

// One step of the swing per timer tick: up in the first and last quarter of the cycle, down in
// the middle half.
void StepVibrato(SongTrack& t, int32_t now) {
  if (t.vibQuarterPeriod <= 0) {
    t.vibActive = 0;
    t.vibValue = 0.0f;  // back to the centre
    return;
  }
  const int64_t d = int64_t{now} - t.vibStartTick;
  if (d <= t.vibDelay) return;
  const int64_t quarter = t.vibQuarterPeriod;
  const int64_t phase = (d - t.vibDelay) % (4 * quarter);
  const float step = static_cast<float>(t.vibDepth) / 16.0f;
  t.vibValue += phase < quarter || phase >= 3 * quarter ? step : -step;
}

// The instrument's bend follows detune + vibrato + glide, sent once per song tick and only
// when it differs from the bend last sent, so the pitch comes back to the centre when a swing
// or a glide ends and an unchanged bend is not sent again.
void SendBend(SongEngine& song, int track, int32_t now) {
  SongTrack& t = song.tracks[track];
  if (t.vibLastBendTick >= now) return;
  t.vibLastBendTick = now;
  const int32_t bend = SaturateInt32(int64_t{t.detune} + TruncToInt32(t.vibValue) + t.portaBend);
  if (bend != t.sentBend) SendTrackBend(song, track, bend);
}

}  // namespace

// --- clock --------------------------------------------------------------------------------

void SetSequencerClock(SequencerClock clock) { g_sequencer.clock = clock; }

uint64_t ReadSystemMicroClock() {
  // -1 means the library has no clock (it has not started): time stands still.
  const int64_t now = GetNowMicroCount();
  return now < 0 ? 0 : static_cast<uint64_t>(now);
}

uint64_t SequencerNow() { return g_sequencer.clock ? g_sequencer.clock() : ReadSystemMicroClock(); }

uint64_t RenderCallElapsed(uint64_t& last, const WaveFile* capture) {
  const uint64_t now = SequencerNow();
  const uint64_t elapsed = now > last ? now - last : 0;
  last = now;
  if (capture && capture->armed) return uint64_t{kMixFrames} * 1000000 / 44100;
  return elapsed;
}

// --- transport ----------------------------------------------------------------------------

void StopAllSongEngines() {
  EngineLock lock = LockEngine();
  for (SongEngine& song : g_songs) {
    NoteOffBurst(song);
    song.StopVoices();
    song.playing = 0;
    song.paused = 0;
    for (int track = 0; track < kSongTrackCount; ++track) {
      SongTrack& t = song.tracks[track];
      t.eventCursor = 0;
      t.stopped = 0;
      EndPitchMovement(t);
      ClearDispatched(song, track);
    }
  }
}

void PlaySequencerFromTop() {
  EngineLock lock = LockEngine();
  StopAllSongEngines();
  SongEngine& song = g_songs[0];
  song.playing = 1;
  song.ended = 0;
  BackToTheTop(song);
  for (int track = 0; track < kSongTrackCount; ++track) {
    song.tracks[track].stopped = 0;
    if (track >= kInstrumentTrackCount) song.tracks[track].volume = 256;
  }
}

void PauseSequencer() {
  EngineLock lock = LockEngine();
  SongEngine& song = g_songs[0];
  // Only a playing song pauses: pausing again would move the pause start and so the clock.
  if (!song.playing || song.paused) return;
  song.paused = 1;
  NoteOffBurst(song);
  song.StopVoices();
  song.pauseStart = SequencerNow();
  for (int track = 0; track < kSongTrackCount; ++track) song.tracks[track].stopped = 1;
}

void ResumeSequencer() {
  EngineLock lock = LockEngine();
  SongEngine& song = g_songs[0];
  if (song.ended) {
    PlaySequencerFromTop();
    song.ended = 0;
    return;
  }
  // Only a paused song resumes: without a pause start the clock base would jump.
  if (!song.playing || !song.paused) return;
  const uint64_t now = SequencerNow();
  song.paused = 0;
  song.lastClock = now;
  if (now > song.pauseStart) song.clockBase += now - song.pauseStart;
  for (int track = 0; track < kSongTrackCount; ++track) {
    SongTrack& t = song.tracks[track];
    t.vibLastBendTick = WholeTicks(song.tickPosition);
    if (!t.endReached) t.stopped = 0;
  }
}

void RewindSequencer() {
  EngineLock lock = LockEngine();
  SongEngine& song = g_songs[0];
  NoteOffBurst(song);
  BackToTheTop(song);
  // A track that had ended plays again from the top, so the song can end again. While paused
  // every track stays stopped until the resume.
  if (!song.paused) {
    for (int track = 0; track < kSongTrackCount; ++track) song.tracks[track].stopped = 0;
  }
}

void FastForwardSequencer(int32_t milliseconds) {
  EngineLock lock = LockEngine();
  SongEngine& song = g_songs[0];
  // Only a running song moves: a paused clock would take the jump at the resume, a still one
  // (tempo 0) never.
  if (milliseconds <= 0 || !song.playing || song.paused || song.tempo <= 0) return;
  uint64_t amount = static_cast<uint64_t>(milliseconds) * 1000;
  // Never past the end: a longer jump lands on the last event, and the song ends there. A song
  // that loops for ever moves the full amount.
  const double remaining = std::max(SongEndTick(song) - song.tickPosition, 0.0) * MicrosPerTick(song.tempo);
  if (remaining < static_cast<double>(amount)) amount = static_cast<uint64_t>(std::ceil(remaining));
  song.lastClock -= std::min(amount, song.lastClock);
  song.clockBase -= std::min(amount, song.clockBase);
}

// --- the tick -----------------------------------------------------------------------------

void TickSequencer(int32_t songIndex) {
  if (songIndex < 0 || songIndex >= kSongCount) return;
  SongEngine& song = g_songs[songIndex];
  if (!song.paused) AdvanceClock(song);
  const int32_t now = WholeTicks(song.tickPosition);
  for (int track = 0; track < kSongTrackCount; ++track) {
    SongTrack& t = song.tracks[track];
    if (t.stopped) continue;
    DispatchDue(song, track);
    if (track >= kInstrumentTrackCount) continue;  // sample tracks neither glide nor bend
    if (t.portaActive) StepGlide(t, now);
    if (t.vibActive) StepVibrato(t, now);
    SendBend(song, track, now);
  }
  for (int track = 0; track < kSongTrackCount; ++track) {
    if (!song.tracks[track].endReached) return;
  }
  song.paused = 1;
  song.ended = 1;
}
