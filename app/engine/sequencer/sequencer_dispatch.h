// The sequencer's event dispatch: what each song event does to the instrument of an instrument
// track (MIDI messages, volume, pan, pitch bends, FM tone and effect parameters) or to the
// sample voices of a sample track. The song clock decides when an event runs; these decide
// what it does. They run on the render timer's thread inside the tick.
#pragma once

#include <cstdint>

#include "app/engine/sequencer/song_engine.h"

constexpr int kBendUnitsPerSemitone = 64;
constexpr int kFmEffectParamFirst = 58;  // FM effect parameters of a recognised FM instrument:
constexpr int kFmEffectParamLast = 94;   // 58 to 94

// Run the event at the cursor of `track` of `song` (tracks 0-7 and 8-15 respectively). The
// caller has set the event's dispatched flag and moves the cursor on afterwards; a loop jump
// leaves the cursor on the loop point it jumps back to. An event type a track does not know,
// a track outside its range or a cursor outside the track does nothing.
void DispatchInstrumentTrackEvent(int32_t track, SongEngine& song);
void DispatchSampleTrackEvent(int32_t track, SongEngine& song);

// Whether the track's event cursor lies inside its event table.
inline bool CursorInTrack(const SongTrack& t) { return t.eventCursor >= 0 && t.eventCursor < kEventsPerTrack; }

// Sends `bend` (bend units, detune included) to the instrument of `track` and records it in
// the track's sentBend. Every bend of the sequencer goes out through here.
void SendTrackBend(SongEngine& song, int32_t track, int32_t bend);

// The integer part of a song position, as the tick and the dispatchers use it (held within
// the 32-bit range).
int32_t WholeTicks(double tickPosition);
