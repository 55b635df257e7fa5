// The MML compiler's command loop: notes, rests, lengths, chords, ties, tuplets, octaves and the
// one-letter parameters. The "@" commands, parenthesised forms and directives are in
// mml_compile_forms.cpp, the repeat expansion in mml_repeat.cpp.
#include "app/engine/mml/mml_compile_internal.h"
#include "app/engine/mml/sample_load.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

// A song text is read whole into memory. Real songs are far below this; a larger file is
// compiled from its first part only, so opening the wrong file cannot exhaust memory.
constexpr size_t kMmlMaxFileBytes = 64u << 20;

struct MmlCompilerGlobals {
  MmlCompileState state;  // the compile in progress (or the last one)
  MmlSampleFile sample;   // the ".a" file of the last compile
};
MmlCompilerGlobals g_mml;  // the compiler runs on the user-interface thread only

bool IsTupletLetter(int c) { return MmlIsNoteLetter(c) || c == 'r' || c == 'R'; }

void ResetCompileState(MmlCompileState& st, const void* data, size_t size, const char* songPath) {
  st.song = &g_songs[0];
  MmlReaderInit(&st.reader, data, size);
  st.songPath = songPath;
  st.track = 0;
  st.tempo = 120;
  st.octaveReversed = false;
  for (int t = 0; t <= kMmlTrackCount; ++t) {
    MmlTrackState& tr = st.tracks[t];
    // Tracks 13-16 (and the throw-away track) start low and with zero gate and step.
    bool upper = t < 12;
    tr.tick = 0;
    tr.eventCount = 0;
    tr.octave = upper ? 4 : 0;
    tr.gate = upper ? 8 : 0;
    tr.gateMode = 0;
    tr.volumeStep = upper ? 1 : 0;
    tr.repeatStart = 0;
    tr.defaultLength = t < kMmlTrackCount ? st.song->tracks[t].defaultLength : 48;
    tr.noNoteOnBelow = 0;
    tr.stopped = false;
  }
  st.chordOn = false;
  st.chordNotes = 0;
  st.chordOctave = 0;
  st.chordLastLength = 0;
  st.tieFlag = false;
  st.tieCount = 0;
  st.tieEventCount = 0;
  st.tupletOn = false;
  st.tupletRemaining = 0;
  st.tupletStep = 0;
  st.tupletScanValid = false;
  st.tupletScanFrom = st.tupletScanClose = 0;
  st.tupletScanLetters = 0;
}

SongEvent* TrackEvents(MmlCompileState& st) { return st.song->events[st.track]; }

// Note-off time of a note of length len.
int GateTicks(const MmlTrackState& tr, int len) {
  if (tr.gateMode == 0) {
    // Single precision, as the sequencer's timing was always computed.
    return static_cast<int>(static_cast<float>(tr.gate) * 0.125f * static_cast<float>(len));
  }
  // "@q" longer than the note would put the note-off before its note-on; a note-off before
  // tick 0 would wrap to a time the track never reaches and hold the note for good. It ends
  // with its note-on instead.
  return std::max(0, len - tr.gate);
}

// The length of a note or rest: the written one, or the tuplet's step inside a tuplet.
int NoteLength(MmlCompileState& st) {
  int len = ReadMmlTiedLength(&st.reader, MmlTrack(st).defaultLength);
  if (!st.tupletOn) return len;
  len = st.tupletStep;
  st.tupletRemaining -= st.tupletStep;
  if (st.tupletRemaining <= 0) {
    st.tupletOn = false;
  } else {
    st.tupletStep = std::min(st.tupletStep, st.tupletRemaining);
  }
  return len;
}

// Turns into no-ops the note-offs of Key among the events [from, to) and reports whether any
// matched: a tie lets the earlier note sound on into the new one.
bool MergeTie(SongEvent* events, int from, int to, int key) {
  bool matched = false;
  for (int i = std::max(0, from); i < to; ++i) {
    if (events[i].type == kEvNoteOff && events[i].value == key) {
      events[i].type = kEvNop;
      matched = true;
    }
  }
  return matched;
}

void Note(MmlCompileState& st, int letter) {
  MmlTrackState& tr = MmlTrack(st);
  int key = ReadMmlNoteName(&st.reader, letter) + 12 * tr.octave;
  if (st.chordOn && st.chordNotes >= kMmlChordNotes) {
    // A chord holds 16 notes; the text of any further note is read and dropped.
    ReadMmlTiedLength(&st.reader, tr.defaultLength);
    return;
  }
  int len = NoteLength(st);
  if (!MmlReserveEvents(st, 2)) return;  // the note-on and its note-off, now or at the chord's end
  if (static_cast<long long>(tr.tick) + len > kMmlMaxTick) {
    tr.stopped = true;
    return;
  }
  int on = MmlWriteEvent(st, kEvNoteOn, key);
  SongEvent* events = TrackEvents(st);
  uint32_t offTick = tr.tick + static_cast<uint32_t>(GateTicks(tr, len));
  if (st.chordOn) {
    if (st.tieFlag) {
      int end = std::min(st.tieEventCount, on);
      if (MergeTie(events, end - st.tieCount, end, key)) events[on].type = kEvNop;
    }
    st.chordOffs[st.chordNotes].track = st.track;
    st.chordOffs[st.chordNotes].event = SongEvent{kEvNoteOff, offTick, 0, key, 1};
    ++st.chordNotes;
    st.chordLastLength = len;
    return;
  }
  if (st.tieFlag && st.tieCount > 0) {
    if (MergeTie(events, on - st.tieCount, on, key)) events[on].type = kEvNop;
  }
  st.tieCount = 0;
  MmlWriteEventAt(st, kEvNoteOff, key, offTick);
  tr.tick += static_cast<uint32_t>(len);
}

void Rest(MmlCompileState& st) {
  MmlTrackState& tr = MmlTrack(st);
  int len = NoteLength(st);
  if (!MmlReserveEvents(st, 2)) return;
  if (static_cast<long long>(tr.tick) + len > kMmlMaxTick) {
    tr.stopped = true;
    return;
  }
  MmlWriteEvent(st, kEvRest, 0);
  tr.tick += static_cast<uint32_t>(len);
  MmlWriteEvent(st, kEvNoteOff, 0);
}

// The closing apostrophe, and the end of a text that leaves a chord open: the chord's
// note-offs go into the tracks its notes went into, so no note is left without its end.
void EndChord(MmlCompileState& st) {
  MmlTrackState& tr = MmlTrack(st);
  tr.octave = st.chordOctave;
  for (int i = 0; i < st.chordNotes; ++i) {
    const MmlPendingNoteOff& off = st.chordOffs[i];
    MmlTrackState& owner = st.tracks[off.track];
    // MmlReserveEvents kept room for these.
    if (owner.eventCount < kMmlMaxTrackEvents) {
      st.song->events[off.track][owner.eventCount++] = off.event;
    }
  }
  if (st.chordNotes > 0 && !tr.stopped) MmlAdvanceTick(st, st.chordLastLength);
  st.tieCount = st.chordNotes;
  st.tieFlag = false;
  st.chordOn = false;
  st.chordNotes = 0;
}

void Apostrophe(MmlCompileState& st) {
  if (st.chordOn) {
    EndChord(st);
    return;
  }
  st.chordOn = true;
  st.chordOctave = MmlTrack(st).octave;
  st.chordNotes = 0;
  st.chordLastLength = 0;
}

void Ampersand(MmlCompileState& st) {
  if (st.track == kMmlNoTrack) return;
  MmlTrackState& tr = MmlTrack(st);
  // A stopped track keeps what it holds as it is: a slur here would take the note-off of its
  // last note, and no later note would ever end it.
  if (tr.stopped) return;
  SongEvent* events = TrackEvents(st);
  if (tr.eventCount > 0 && events[tr.eventCount - 1].type == kEvPortamentoEnd) {
    events[tr.eventCount - 1].articulate = 0;
    return;
  }
  if (st.tieCount > 0) {
    st.tieFlag = true;
    st.tieEventCount = tr.eventCount;
    return;
  }
  // A slur: the events after the last note-on (its note-off, normally) go, and the note runs
  // on into the next one. Without a note-on before it there is nothing to slur from.
  for (int i = tr.eventCount - 1; i >= tr.noNoteOnBelow; --i) {
    if (events[i].type != kEvNoteOn) continue;
    for (int j = i + 1; j < tr.eventCount; ++j) events[j] = SongEvent{kEvEnd, 0, 0, 0, 1};
    tr.eventCount = i + 1;
    events[i].articulate = 0;
    return;
  }
  tr.noNoteOnBelow = tr.eventCount;
}

int CountTupletLetters(const MmlReader& rd, size_t from, size_t to) {
  int letters = 0;
  for (size_t i = from; i < to; ++i) letters += IsTupletLetter(rd.Data[i]) ? 1 : 0;
  return letters;
}

// Finds the "}" that closes a tuplet whose text starts at `from` and counts its letters.
// Returns the position of the "}", or the text's size when there is none.
size_t ScanTuplet(MmlCompileState& st, size_t from, int* letters) {
  const MmlReader& rd = st.reader;
  if (st.tupletScanValid && from > st.tupletScanFrom && from <= st.tupletScanClose) {
    st.tupletScanLetters -= CountTupletLetters(rd, st.tupletScanFrom, from);
  } else {
    const void* close = memchr(rd.Data + from, '}', rd.Size - from);
    st.tupletScanClose = close ? static_cast<size_t>(static_cast<const uint8_t*>(close) - rd.Data) : rd.Size;
    st.tupletScanLetters = CountTupletLetters(rd, from, st.tupletScanClose);
    st.tupletScanValid = true;
  }
  st.tupletScanFrom = from;
  *letters = st.tupletScanLetters;
  return st.tupletScanClose;
}

void OpenTuplet(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  size_t afterBrace = rd.Pos;
  int letters = 0;
  size_t close = ScanTuplet(st, afterBrace, &letters);
  if (close >= rd.Size) {
    // A "{" that never closes has no length to share out; the track stops here and keeps what
    // it holds, and the rest of the text is read on as usual.
    rd.Pos = afterBrace;
    MmlTrack(st).stopped = true;
    return;
  }
  rd.Pos = close + 1;
  int total = ReadMmlTiedLength(&rd, MmlTrack(st).defaultLength);
  rd.Pos = afterBrace;
  // Without a note or rest there is nothing to divide the length among: no tuplet.
  if (letters == 0) return;
  st.tupletOn = true;
  st.tupletRemaining = total;
  st.tupletStep = (total + letters - 1) / letters;
}

void Octave(MmlCompileState& st, int delta) { MmlTrack(st).octave += st.octaveReversed ? -delta : delta; }

void Tempo(MmlCompileState& st) {
  int c = MmlGetChar(&st.reader);
  int tempo;
  if (c == '+') {
    tempo = st.tempo + ReadMmlNumber(&st.reader);
  } else if (c == '-') {
    tempo = st.tempo - ReadMmlNumber(&st.reader);
  } else {
    MmlPutBack(&st.reader, c);
    tempo = ReadMmlNumber(&st.reader);
  }
  st.tempo = std::clamp(tempo, 30, 300);
  MmlWriteEvent(st, kEvTempo, st.tempo);
}

void VolumeStepCommand(MmlCompileState& st, uint32_t type) {
  MmlTrackState& tr = MmlTrack(st);
  int n = ReadMmlNumber(&st.reader);
  if (n == 0) {
    n = tr.volumeStep;
  } else {
    tr.volumeStep = n;
  }
  MmlWriteEvent(st, type, n);
}

void VolumeSequence(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  int c = MmlGetChar(&rd);
  MmlPutBack(&rd, c);
  if (!(c >= '0' && c <= '9') && c != ',') {
    MmlWriteEvent(st, kEvVolumeSequenceOff, 0);
    return;
  }
  int32_t values[kVolumeSequenceLength] = {};
  int count = 0;
  for (;;) {
    values[count++] = ReadMmlNumberOrNone(&rd);
    c = MmlGetChar(&rd);
    if (c != ',' || count == kVolumeSequenceLength) {
      MmlPutBack(&rd, c);
      break;
    }
  }
  if (st.track != kMmlNoTrack && !MmlTrack(st).stopped) {
    SongTrack& rec = st.song->tracks[st.track];
    for (int i = 0; i < kVolumeSequenceLength; ++i) rec.volSeq[i] = values[i];
  }
  MmlWriteEvent(st, kEvVolumeSequenceOn, count);
}

void RepeatBar(MmlCompileState& st) {
  int c = MmlGetChar(&st.reader);
  if (c == ':') {
    int n = ReadMmlNumber(&st.reader);
    n = n == 0 ? 2 : std::clamp(n, 2, 999);
    int index = MmlWriteEvent(st, kEvRepeatStart, n);
    if (index >= 0) MmlTrack(st).repeatStart = index;
    return;
  }
  MmlPutBack(&st.reader, c);
  MmlWriteEvent(st, kEvRepeatExit, 0);
}

void Colon(MmlCompileState& st) {
  int c = MmlGetChar(&st.reader);
  if (c != '|') {
    MmlPutBack(&st.reader, c);
    return;
  }
  MmlTrackState& tr = MmlTrack(st);
  MmlWriteEvent(st, kEvRepeatEnd, tr.repeatStart - tr.eventCount);
}

void Bracket(MmlCompileState& st) {
  int c = MmlGetChar(&st.reader);
  if (c == 'd' || c == 'l') {
    MmlWriteEvent(st, c == 'd' ? kEvLoopPoint : kEvLoopJump, 0);
    SkipPastByte(&st.reader, ']');
  }
}

void Command(MmlCompileState& st, int c) {
  MmlReader& rd = st.reader;
  MmlTrackState& tr = MmlTrack(st);
  if (MmlIsNoteLetter(c)) {
    Note(st, c);
    return;
  }
  switch (c) {
    case 'r':
    case 'R':
      Rest(st);
      break;
    case '\'':
      Apostrophe(st);
      break;
    case '&':
      Ampersand(st);
      break;
    case '{':
      OpenTuplet(st);
      break;
    case '}':
      ReadMmlTiedLength(&rd, tr.defaultLength);
      break;
    case 'o':
    case 'O':
      tr.octave = std::clamp(ReadMmlNumber(&rd), 0, 7);
      break;
    case '<':
      Octave(st, +1);
      break;
    case '>':
      Octave(st, -1);
      break;
    case 'l':
    case 'L':
      tr.defaultLength = ReadMmlTiedLength(&rd, tr.defaultLength);
      break;
    case 'v':
    case 'V':
      MmlWriteEvent(st, kEvVolumeStep, ReadMmlNumber(&rd));
      break;
    case '~':
      VolumeStepCommand(st, kEvVolumeUp);
      break;
    case '_':
      VolumeStepCommand(st, kEvVolumeDown);
      break;
    case 'k':
    case 'K':
      MmlWriteEvent(st, kEvKeyShift, ReadMmlMinusNumber(&rd));
      break;
    case 't':
    case 'T':
      Tempo(st);
      break;
    case 'p':
    case 'P': {
      static const int kPan[3] = {0, 127, 64};
      MmlWriteEvent(st, kEvPan, kPan[std::clamp(ReadMmlNumber(&rd), 1, 3) - 1]);
      break;
    }
    case 'q':
    case 'Q':
      tr.gate = std::clamp(ReadMmlNumber(&rd), 0, 8);
      tr.gateMode = 0;
      break;
    case 's':
    case 'S':
      ReadMmlNumber(&rd);
      SkipMmlSecondNumber(&rd);
      break;
    case 'z':
    case 'Z':
      VolumeSequence(st);
      break;
    case '|':
      RepeatBar(st);
      break;
    case ':':
      Colon(st);
      break;
    case '[':
      Bracket(st);
      break;
    case '/':
      SkipPastByte(&rd, '\n');
      break;
    case '@':
      MmlAtCommand(st);
      break;
    case '(':
      MmlParenthesisedForm(st);
      break;
    case '.':
      MmlDirective(st);
      break;
    default:
      break;  // spaces, line ends, stray digits and other characters start nothing
  }
}

void Compile(const void* data, size_t size, const char* songPath) {
  MmlCompileState& st = g_mml.state;
  ResetCompileState(st, data, size, songPath);

  // Every command reads at least one byte, so this bound is never reached by a text that reads
  // forward; it guards against a command that could put back its way into a loop.
  for (size_t commands = 0; commands < st.reader.Size; ++commands) {
    int c = MmlGetChar(&st.reader);
    if (c == kMmlEnd) break;
    Command(st, c);
  }
  if (st.chordOn) EndChord(st);

  for (int t = 0; t < kMmlTrackCount; ++t) {
    st.song->tracks[t].defaultLength = st.tracks[t].defaultLength;
  }
  ExpandMmlRepeats();
  st.song->loaded = 1;
}

// Every compile starts here, also one whose file then does not open.
void ResetSong() {
  // The previous song's samples go first: the reset below only forgets them.
  ReleaseSongSamples();
  ResetSongEngine();
  // Nothing of the previous song may stay that this one does not set: its title, its samples.
  memset(g_songs[0].title, 0, sizeof g_songs[0].title);
  memset(&g_mml.sample, 0, sizeof g_mml.sample);
}

}  // namespace

MmlCompileState& MmlState() { return g_mml.state; }
MmlSampleFile& MmlSample() { return g_mml.sample; }

MmlTrackState& MmlTrack(MmlCompileState& st) { return st.tracks[st.track]; }

const char* GetMmlSampleFilePath(void) { return g_mml.sample.path; }
const char* GetMmlSampleFileName(void) { return g_mml.sample.name; }
const char* GetMmlSampleFileDrive(void) { return g_mml.sample.drive; }
const char* GetMmlSampleFileFolder(void) { return g_mml.sample.folder; }

bool MmlReserveEvents(MmlCompileState& st, int Count) {
  if (st.track == kMmlNoTrack) return false;
  MmlTrackState& tr = st.tracks[st.track];
  if (tr.stopped) return false;
  // The note-offs an open chord still owes this track keep their room.
  int owed = 0;
  for (int i = 0; st.chordOn && i < st.chordNotes; ++i) owed += st.chordOffs[i].track == st.track;
  if (tr.eventCount + owed + Count > kMmlMaxTrackEvents) {
    // A track that is full ends here, whole: nothing later is half written into it.
    tr.stopped = true;
    return false;
  }
  return true;
}

int MmlWriteEventAt(MmlCompileState& st, uint32_t Type, int32_t Value, uint32_t Tick) {
  if (!MmlReserveEvents(st, 1)) return -1;
  MmlTrackState& tr = st.tracks[st.track];
  int index = tr.eventCount++;
  st.song->events[st.track][index] = SongEvent{Type, Tick, 0, Value, 1};
  return index;
}

int MmlWriteEvent(MmlCompileState& st, uint32_t Type, int32_t Value) {
  return MmlWriteEventAt(st, Type, Value, MmlTrack(st).tick);
}

bool MmlAdvanceTick(MmlCompileState& st, int Length) {
  MmlTrackState& tr = MmlTrack(st);
  if (tr.stopped) return false;
  if (static_cast<long long>(tr.tick) + Length > kMmlMaxTick) {
    tr.stopped = true;
    return false;
  }
  tr.tick += static_cast<uint32_t>(Length);
  return true;
}

void CompileMmlFromMemory(const void* Data, size_t Size, const char* SongPath) {
  ResetSong();
  Compile(Data, Data ? Size : 0, SongPath);
}

void CompileMml(const char* Path) {
  ResetSong();
  if (Path == nullptr) return;
  FILE* file = fopen(Path, "rb");
  if (file == nullptr) return;  // song 0 stays reset and not loaded
  std::vector<uint8_t> text;
  uint8_t chunk[65536];
  size_t got;
  while (text.size() < kMmlMaxFileBytes && (got = fread(chunk, 1, sizeof chunk, file)) > 0) {
    text.insert(text.end(), chunk, chunk + std::min(got, kMmlMaxFileBytes - text.size()));
  }
  fclose(file);
  Compile(text.data(), text.size(), Path);
}
