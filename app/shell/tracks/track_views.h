// The track area of both modes: in MDX mode the player's track list (one column per track with
// its command bytes written out, meters and mute and solo buttons), in MML mode the piano roll of
// song 0 with the waveforms of its sample tracks. Both run each frame on the user-interface
// thread, select the current track on a click and copy the interface's mixer into the engine.
#pragma once

#include <cstdint>

#include "app/engine/sequencer/song_engine.h"

struct AppState;

// Colours of the 16 tracks, the two effect buses and the master.
constexpr uint32_t kRowColours[kMixerChannelCount] = {0xFF9DD8C6, 0xFF00CAB3, 0xFF7DB6D0, 0xFFE39086, 0xFFB3B190,
                                                      0xFFD29BD2, 0xFF9CFFE0, 0xFFCCCCF0, 0xFFF65692, 0xFFEA8BD9,
                                                      0xFF1ABC9C, 0xFF2ECC71, 0xFF3498DB, 0xFF9B59B6, 0xFFF1C44F,
                                                      0xFFE67E62, 0xFFECF0F1, 0xFF95A5A6, 0xFF34495E};
constexpr uint32_t kDisabledTrackColour = 0xFF444444;
constexpr uint32_t kUnplayedNoteColour = 0xFF777777;  // not yet played, or muted

// ---------------------------------------------------------------------------
// MDX mode (track_list.cpp).

// The list in the track area (fullWidth 1: the one without side panes). Also ends the song (state
// 2) when no track is left enabled while it plays.
void DrawPlayerTrackList(int32_t fullWidth);
// Track t's command bytes from `rowsAbove` rows above its read position, over `height` pixels;
// the text column is at x + 60 t.
void DrawPlayerTrackBytes(int32_t x, int32_t y, int32_t track, int32_t rowsAbove, int32_t height);
// The two meters of channel c under a column's header.
void DrawTrackLevelMeter(int32_t left, int32_t top, int32_t right, int32_t channel);
// The mixer's mute, sends, pan and volume of MDX track t handed to the player: each frame the
// list is drawn, and after every restart of the song.
void CopyMixerToPlayer(int32_t track);

// ---------------------------------------------------------------------------
// MML mode (piano_roll.cpp).

// The peak tables of song 0's samples, the note ranges and counts of its tracks and the ends of
// their notes, after a compile; shows its progress on the draw screen and lets messages through
// between samples (the caller holds the menu's busy flag).
void BuildPeakData();
// Frees and nulls the peak tables of all entries.
void FreePeakData(AppState& app);

void DrawSequencerTrackView(int32_t fullWidth);
// The waveform of the sample a note plays on a sample track, from pixel x at centre cy, clipped
// to left ... left + width.
void DrawPcmNoteWaveform(int32_t track, int32_t event, int32_t x, int32_t cy, uint32_t colour, int32_t left,
                         int32_t width, int32_t rowHeight);
// One strip: pixel columns from x0 up to `right` while entries remain, drawn right of `left`.
void DrawWaveformStrip(int32_t left, int32_t right, int32_t x0, int32_t cy, int32_t step, int32_t scale,
                       const int32_t* minTable, const int32_t* maxTable, int32_t count, uint32_t colour);

// The events' line ends, found by BuildPeakData: the index of the event that ends event i's line.
extern int32_t g_noteEnds[kSongTrackCount][kEventsPerTrack];
