// The MML mode's piano roll: 19 rows of song 0 (16 tracks, the two effect buses, the master) with
// bar lines, the play position and the notes, the sample tracks' notes showing the waveform of the
// sample they play, from the peak tables built once per compile.
#include <algorithm>
#include <cmath>

#include "app/shell/app_state.h"
#include "app/shell/frame_input.h"
#include "app/shell/frame_loop.h"
#include "app/shell/tracks/piano_roll_geometry.h"
#include "app/shell/shell_tables.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/zovuz.h"

int32_t g_noteEnds[kSongTrackCount][kEventsPerTrack];

namespace {

RollIndex g_rollIndex[kSongTrackCount];

}  // namespace

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0, kHeaderColour = 0xFF333333, kMeterBackground = 0x222222;
constexpr uint32_t kStripColour = 0xFF888888, kUnplayedStripColour = 0xFF444444;
constexpr int32_t kHeaderWidth = 34, kMeterWidth = 30;
constexpr int32_t kBarTicks = 192, kBarTicksEnd = 38400;
constexpr int32_t kBandAlpha = 128, kSelectionAlpha = 48, kOpaqueAlpha = 256;
constexpr int32_t kProgressBoxWidth = 1920;

float ClampedPeak(float peak) {
  if (peak > 1.0f) return 1.0f;
  return peak <= 0.01f ? 0.0f : peak;
}

// ---------------------------------------------------------------------------
// Peak tables.

void ReadListFrame(void* context, int32_t frame, int32_t* left, int32_t* right) {
  ReadSoftSoundData(*static_cast<int32_t*>(context), frame, left, right);
}

void ShowProgress(int32_t q, const char* format, int32_t done, int32_t total) {
  ProcessMessage();
  SetDrawScreen(g_app.drawScreen);
  DrawFillBox(0, q - 10, kProgressBoxWidth, q + 20, kBlack);
  DrawFormatString(22, q + 5, kWhite, format, done, total);
}

void BuildListPeaks(AppState& app, const SongEngine& song, int32_t q) {
  const int32_t entries = std::clamp(song.listCount, 0, std::min(kSampleListSize, kPeakTableCount));
  for (int32_t j = 0; j < entries; ++j) {
    const SongSampleListEntry& e = song.sampleList[j];
    const bool stereo = e.channels == 2;
    app.peakChannels[j] = stereo ? 2 : 1;
    app.peakColumns[j] = std::max(e.frames, 0) / kPeakColumnFrames;
    ShowProgress(q, "NOW LOADING WAV FILE AND MAKING PEAK DATA.. %2d / %2d", j + 1, entries);
    // An empty sample has no frame 0 to read: it gets no table and draws on the centre line.
    if (e.frames > 0) {
      const int32_t columns = app.peakColumns[j];
      app.peakMaxLeft[j] = NewPeakTable(columns);
      app.peakMinLeft[j] = NewPeakTable(columns);
      if (stereo) {
        app.peakMaxRight[j] = NewPeakTable(columns);
        app.peakMinRight[j] = NewPeakTable(columns);
      }
      int32_t handle = e.handle;
      FillListPeaks(PeakTables{app.peakMaxLeft[j], app.peakMinLeft[j], app.peakMaxRight[j], app.peakMinRight[j]},
                    columns, ReadListFrame, &handle);
    }
    ShowDrawScreen();
  }
}

void BuildBankPeaks(AppState& app, const SongEngine& song, int32_t q) {
  const int32_t records = std::clamp(song.bankLastIndex + 1, 0, std::min(kSampleBankSize, kPeakTableCount));
  for (int32_t j = 0; j < records; ++j) {
    const int32_t count = song.bankSamples[j] ? std::max(song.bankLengths[j], 0) : 0;
    app.peakChannels[j] = 1;
    app.peakColumns[j] = count / kPeakColumnFrames;
    ShowProgress(q, "NOW LOADING.. %2d / %2d", j + 1, records);
    if (count > 0) {
      const int32_t columns = app.peakColumns[j];
      app.peakMaxLeft[j] = NewPeakTable(columns);
      app.peakMinLeft[j] = NewPeakTable(columns);
      FillBankPeaks(app.peakMaxLeft[j], app.peakMinLeft[j], columns, song.bankSamples[j], count);
    }
    ShowDrawScreen();
  }
}

// ---------------------------------------------------------------------------
// The roll.

// The first sample whose note the event plays; 0 when none does.
int32_t SampleOfNote(const SongEngine& song, int32_t note) {
  if (song.sampleMode == 0) {
    for (int32_t j = 0; j < std::clamp(song.listCount, 0, kSampleListSize); ++j) {
      if (song.sampleList[j].key == note) return j;
    }
    return 0;
  }
  for (int32_t j = 0; j <= std::min(song.bankLastIndex, kSampleBankSize - 1); ++j) {
    if (song.bankKeys[j] == note + 12) return j;
  }
  return 0;
}

bool PointerInside(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const MouseState& m = g_app.mouse;
  return m.x > left && m.x < right && m.y > top && m.y < bottom;
}

// One row's geometry and what its events are drawn with.
struct Row {
  int32_t r;
  int32_t left, right;  // the area: x and E
  int32_t top, bottom;
  int32_t zoom, height, pageStart;
  int32_t lowest;
  double scale;
  uint32_t colour;

  int32_t X(const SongEvent& e) const {
    return left + kHeaderWidth + static_cast<int32_t>(e.tick / static_cast<uint32_t>(zoom)) - pageStart;
  }
  int32_t Y(int32_t value) const { return bottom + 1 - 3 - NoteHeight(value, lowest, scale, height); }
};

void DrawClippedLine(const Row& row, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
  if (x1 < x0) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  if (ClipLineToSpan(x0, y0, x1, y1, row.left, row.right)) DrawLine(x0, y0, x1, y1, colour, 1);
}

// The widest a sample's waveform reaches right of its note, in pixels.
int32_t WidestWaveform() {
  int32_t columns = 0;
  for (int32_t j = 0; j < kPeakTableCount; ++j) columns = std::max(columns, g_app.peakColumns[j]);
  return columns / std::max(g_app.columnStep, 1);
}

void DrawRowEvents(const Row& row, int32_t width, int32_t waveform) {
  const SongEngine& song = g_songs[0];
  const SongTrack& track = song.tracks[row.r];
  const SongEvent* events = song.events[row.r];
  const int32_t count = std::clamp(g_app.eventCounts[row.r], 0, kEventsPerTrack);
  const int32_t* ends = g_noteEnds[row.r];
  const int32_t centre = row.top - 2 + row.height - row.height / 2;
  // The ticks whose pixels lie in the area, a pixel wider on each side, and to the left by as far
  // as a waveform reaches from its note.
  const int64_t firstPixel = row.pageStart - kHeaderWidth - waveform - 1;
  const int64_t lastPixel = row.pageStart - kHeaderWidth + width + 1;
  const RollIndex& index = g_rollIndex[row.r];
  const RollSpan span = FindRollSpan(index, firstPixel * row.zoom, (lastPixel + 1) * row.zoom - 1);
  for (int32_t k = span.begin; k < span.end; ++k) {
    const int32_t i = index.items[k];
    const SongEvent& e = events[i];
    const uint32_t colour = e.dispatched && track.mute == 0 ? row.colour : kUnplayedNoteColour;
    const SongEvent& end = events[RollItemEnd(ends, i, count)];
    if (e.type == kEvPortamentoStart) {
      DrawClippedLine(row, row.X(e), row.Y(e.value), row.X(end), row.Y(end.value), colour);
      continue;
    }
    if (e.articulate == 1) DrawPcmNoteWaveform(row.r, i, row.X(e), centre, colour, row.left, width, row.height);
    DrawClippedLine(row, row.X(e), row.Y(e.value), row.X(end), row.Y(e.value), colour);
  }
}

void DrawRowHeader(const Row& row, int32_t x) {
  DrawFillBox(x, row.top, x + kHeaderWidth, row.bottom + 1, kHeaderColour);
  if (row.r < kSongTrackCount)
    DrawFormatString(x + 2, row.top + 2, row.colour, "%02d", row.r + 1);
  else if (row.r < kMasterChannel)
    DrawFormatString(x + 2, row.top + 2, row.colour, "F%d", row.r - kEffectBusFirst + 1);
  else
    DrawFormatString(x + 2, row.top + 2, row.colour, "M");
  const SongTrack& track = g_songs[0].tracks[row.r];
  DrawLine(x + 2, row.top + 14, x + 2 + kMeterWidth, row.top + 14, kMeterBackground, 1);
  DrawLine(x + 2, row.top + 16, x + 2 + kMeterWidth, row.top + 16, kMeterBackground, 1);
  const float l = ClampedPeak(track.peakLeft), r = ClampedPeak(track.peakRight);
  DrawLine(x + 2, row.top + 14, x + 2 + static_cast<int32_t>(kMeterWidth * l), row.top + 14, kWhite, 1);
  DrawLine(x + 2, row.top + 16, x + 2 + static_cast<int32_t>(kMeterWidth * r), row.top + 16, kWhite, 1);
}

void ReadInspector(const SongTrack& track) {
  InspectorValues& v = g_app.inspector;
  v.pan = track.pan;
  v.tone = track.tone;
  v.key = track.keyShift;
  v.detune = track.detune;
  v.volume = track.volume;
  v.peakLeft = ClampedPeak(track.peakLeft);
  v.peakRight = ClampedPeak(track.peakRight);
}

void RowControls(const Row& row, int32_t y) {
  const int32_t r = row.r;
  if (PointerInside(row.left, row.top, row.right, row.bottom) && (g_app.mouse.buttons & MOUSE_INPUT_LEFT) != 0 &&
      g_frameInput.windowActive != 0)
    g_app.SetCurrentTrack(r);
  if (g_app.currentTrack == r) {
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, kSelectionAlpha);
    DrawFillBox(row.left, row.top, row.right, row.bottom + 1, kWhite);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, kOpaqueAlpha);
  }
  ImageButton& mute = g_shell.muteButtons[r];
  ImageButton& solo = g_shell.soloButtons[r];
  const int soloClicked = UpdateImageButton(solo);
  const int muteClicked = UpdateImageButton(mute);
  g_app.ToggleMuteSolo(r, muteClicked, soloClicked);
  mute.x = row.left + 14;
  solo.x = row.left + 23;
  mute.y = solo.y = y + 3 + r * row.height;
  DrawGraph(mute.x, mute.y, mute.held == 1 || g_app.mute[r] == 1 ? mute.pressedImage : mute.normalImage, 1);
  DrawGraph(solo.x, solo.y, solo.held == 1 || g_app.solo[r] == 1 ? solo.pressedImage : solo.normalImage, 1);

  SongTrack& track = g_songs[0].tracks[r];
  if (g_app.currentTrack == r) ReadInspector(track);
  for (int send = 0; send < 2; ++send) {
    const int slot = r * kPluginPositionCount + send;
    track.sendOn[send] = g_app.sendSwitches[slot];
    track.sendLevel[send] = g_app.sendLevels[slot];
  }
  track.mixerPan = g_app.pan[r];
  track.mixerVolume = g_app.volume[r];
}

}  // namespace

void FreePeakData(AppState& app) {
  for (int32_t j = 0; j < kPeakTableCount; ++j) {
    for (int32_t** table : {&app.peakMaxLeft[j], &app.peakMinLeft[j], &app.peakMaxRight[j], &app.peakMinRight[j]}) {
      delete[] * table;
      *table = nullptr;
    }
  }
}

void BuildPeakData() {
  AppState& app = g_app;
  const SongEngine& song = g_songs[0];
  FreePeakData(app);
  for (int32_t j = 0; j < kPeakTableCount; ++j) {
    app.peakColumns[j] = 0;
    app.peakChannels[j] = 1;
  }
  for (int32_t r = 0; r < kSongTrackCount; ++r) {
    const TrackNotes notes = SummariseTrack(song.events[r]);
    app.eventCounts[r] = notes.count;
    app.highestNote[r] = notes.highest;
    app.lowestNote[r] = notes.lowest;
    FindNoteEnds(song.events[r], notes.count, g_noteEnds[r]);
    BuildRollIndex(song.events[r], notes.count, g_noteEnds[r], g_rollIndex[r]);
  }
  const int32_t q = (app.clientRect.bottom - app.clientRect.top) / 4;
  if (song.sampleMode == 0)
    BuildListPeaks(app, song, q);
  else
    BuildBankPeaks(app, song, q);
}

void DrawWaveformStrip(int32_t left, int32_t right, int32_t x0, int32_t cy, int32_t step, int32_t scale,
                       const int32_t* minTable, const int32_t* maxTable, int32_t count, uint32_t colour) {
  step = std::max(step, 1);
  // Columns left of the area are not drawn; the one at its edge gives the first joining lines.
  int64_t k = std::max<int64_t>(0, static_cast<int64_t>(left) - x0);
  int64_t x = x0 + k;
  PeakLookup last{0, 0, 0, 0};
  for (; x < right && k * step < count; ++x, ++k) {
    const PeakLookup l = GetPeakMinMax(static_cast<int32_t>(k), minTable, maxTable, count + 1, step, scale);
    if (x > left) {
      const int32_t px = static_cast<int32_t>(x);
      DrawLine(px, cy + l.scaledMax, px, cy + l.scaledMin, colour, 1);
      DrawLine(px - 1, cy + last.scaledMin, px, cy + l.scaledMin, kBlack, 1);
      DrawLine(px - 1, cy + last.scaledMax, px, cy + l.scaledMax, kBlack, 1);
    }
    last = l;
  }
  if (x > left && x <= right) {
    const int32_t px = static_cast<int32_t>(x);
    DrawLine(px - 1, cy + last.scaledMin, px, cy, kBlack, 1);
    DrawLine(px - 1, cy + last.scaledMax, px, cy, kBlack, 1);
  }
}

void DrawPcmNoteWaveform(int32_t track, int32_t event, int32_t x, int32_t cy, uint32_t colour, int32_t left,
                         int32_t width, int32_t rowHeight) {
  if (track < kInstrumentTrackCount || track >= kSongTrackCount || event < 0 || event >= kEventsPerTrack) return;
  if (x > left + width) return;
  const SongEngine& song = g_songs[0];
  const int32_t note = song.events[track][event].value + song.tracks[track].keyShift;
  const int32_t j = SampleOfNote(song, note);
  const int32_t step = std::max(g_app.columnStep, 1), scale = std::max(g_app.peakScale, 1);
  const int32_t columns = g_app.peakColumns[j];
  if (x + columns / step < left) return;
  const uint32_t strip = colour == kUnplayedNoteColour ? kUnplayedStripColour : kStripColour;
  const int32_t right = left + width;
  if (g_app.peakChannels[j] == 2) {
    DrawWaveformStrip(left, right, x, cy - rowHeight / 4, step, 2 * scale, g_app.peakMinLeft[j], g_app.peakMaxLeft[j],
                      columns, strip);
    DrawWaveformStrip(left, right, x, cy + rowHeight / 4, step, 2 * scale, g_app.peakMinRight[j], g_app.peakMaxRight[j],
                      columns, strip);
  } else {
    DrawWaveformStrip(left, right, x, cy, step, scale, g_app.peakMinLeft[j], g_app.peakMaxLeft[j], columns, strip);
  }
}

void DrawSequencerTrackView(int32_t fullWidth) {
  const SongEngine& song = g_songs[0];
  if (!song.loaded) return;
  const PaneRect area = fullWidth == 1 ? g_app.trackAreaFull : g_app.trackArea;
  const int32_t zoom = std::max(g_app.zoom, 1), height = std::max(g_app.rowHeight, 1);
  const int32_t end = area.x + area.width, page = area.width - kHeaderWidth;
  const int32_t waveform = WidestWaveform();
  Row rows[kMixerChannelCount];
  for (int32_t r = 0; r < kMixerChannelCount; ++r) {
    Row& row = rows[r];
    const bool noted = r < kSongTrackCount;
    row = Row{r,
              area.x,
              end,
              area.y + r * height,
              area.y + (r + 1) * height - 1,
              zoom,
              height,
              0,
              noted ? g_app.lowestNote[r] : 0,
              noted ? NoteScale(g_app.highestNote[r], g_app.lowestNote[r]) : 1.0,
              kRowColours[r]};
    const int32_t p = static_cast<int32_t>(std::floor((song.tickPosition - song.tracks[r].tickOffset) / zoom));
    row.pageStart = PageStart(p, page);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, kBandAlpha);
    DrawBox(area.x + kHeaderWidth, row.top, end, row.bottom + 1, row.colour, 1);
    SetDrawBlendMode(DX_BLENDMODE_ALPHA, kOpaqueAlpha);
    for (int32_t k = kBarTicks; k < kBarTicksEnd; k += kBarTicks) {
      const int32_t px = k / zoom - 1 - row.pageStart;
      if (px + kHeaderWidth >= 1 && px + kHeaderWidth < area.width)
        DrawLine(area.x + kHeaderWidth + px, row.top, area.x + kHeaderWidth + px, row.bottom + 1, kBlack, 1);
    }
    if (noted && g_app.eventCounts[r] > 0) {
      const int32_t px = area.x + kHeaderWidth + p - row.pageStart;
      DrawLine(px, row.top, px, row.bottom + 1, row.colour, 1);
      DrawRowEvents(row, area.width, row.r >= kInstrumentTrackCount ? waveform : 0);
    }
  }
  for (const Row& row : rows) {
    DrawRowHeader(row, area.x);
    RowControls(row, area.y);
  }
}
