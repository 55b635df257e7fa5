// The MML compiler's "@" commands, parenthesised forms (track, tones, effect definitions,
// portamento) and directives (sample file, title, solo set, options).
#include "app/engine/mml/mml_compile_internal.h"
#include "app/engine/mml/sample_load.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "zovuz/core/zovuz_core.h"

namespace {

// ---- "@" commands ---------------------------------------------------------------------------

void AtTempo(MmlCompileState& st) {
  int n = ReadMmlNumber(&st.reader);
  int tempo;
  if (n == 256) {
    // The timer value 256 would divide by zero; it is the fastest setting, like 255.
    tempo = 300;
  } else {
    tempo = std::clamp(78125 / ((256 - n) * 16), 30, 300);
  }
  st.tempo = tempo;
  MmlWriteEvent(st, kEvTempo, tempo);
}

void AtPan(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  int c = MmlGetChar(&rd);
  if (c == '+') {
    int n = ReadMmlNumber(&rd);
    MmlWriteEvent(st, kEvPanRight, n == 0 ? 1 : n);
  } else if (c == '-') {
    int n = ReadMmlNumber(&rd);
    MmlWriteEvent(st, kEvPanLeft, n == 0 ? -1 : -n);
  } else {
    MmlPutBack(&rd, c);
    MmlWriteEvent(st, kEvPan, std::clamp(ReadMmlNumber(&rd), 0, 127));
  }
}

// ---- parenthesised forms --------------------------------------------------------------------

void SelectTrack(MmlCompileState& st) {
  int n = ReadMmlNumber(&st.reader);
  // Below 1 selects track 1. The text of a track beyond 16 has nowhere to go: it is read and
  // dropped until the next "(t", rather than mixed into another track.
  st.track = n < 1 ? 0 : (n > kMmlTrackCount ? kMmlNoTrack : n - 1);
  SkipPastByte(&st.reader, ')');
}

FmTone* ToneForDefinition(MmlCompileState& st, int n) {
  if (n < 0 || n >= kFmToneCount) return nullptr;
  FmTone* tone = &st.song->tones[n];
  tone->used = 1;
  tone->number = n;
  return tone;
}

// "(@ n, 44 operator values, 3 channel values)".
void ToneDefinition(MmlCompileState& st) {
  FmTone* tone = ToneForDefinition(st, ReadMmlSignedNumber(&st.reader));
  if (tone != nullptr) {
    for (int i = 11; i < kFmToneParamCount; ++i) tone->params[i] = ReadMmlSignedNumber(&st.reader);
    for (int i = 0; i < 3; ++i) tone->params[i] = ReadMmlSignedNumber(&st.reader);
  }
  SkipPastByte(&st.reader, ')');
}

// "(v n" in the line layout: the connection and feedback on one line, then a line per operator.
void ToneLines(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  // The number stands alone on the form's first line, after any blanks; the rest of that line
  // is free text. A form without its number defines no tone.
  int c;
  do {
    c = MmlGetChar(&rd);
  } while (c == ' ' || c == '\t');
  MmlPutBack(&rd, c);
  FmTone* tone = c >= '0' && c <= '9' ? ToneForDefinition(st, ReadMmlNumber(&rd)) : nullptr;
  if (tone != nullptr) {
    SkipPastByte(&rd, '\n');
    int x = ReadMmlSignedNumber(&rd);
    tone->params[0] = x & 7;
    tone->params[1] = x / 8;
    SkipPastByte(&rd, '\n');
    for (int op = 0; op < 4; ++op) {
      int32_t* p = &tone->params[11 + kFmOperatorParamCount * op];
      for (int i = 0; i < 10; ++i) p[i] = ReadMmlSignedNumber(&rd);
      ReadMmlSignedNumber(&rd);
      p[10] = 0;
    }
  }
  SkipPastByte(&rd, ')');
}

// "(x n, kind, first, 11 values)".
void EffectDefinition(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  int n = ReadMmlSignedNumber(&rd);
  if (n >= 0 && n < kFmEffectDefCount) {
    FmEffectDef& def = st.song->effects[n];
    def.kind = ReadMmlSignedNumber(&rd);
    def.first = ReadMmlSignedNumber(&rd);
    for (float& v : def.values) v = static_cast<float>(ReadMmlSignedNumber(&rd));
  }
  SkipPastByte(&rd, ')');
}

// "(c4,>d)": a glide from one note to the next over the first note's length.
void Portamento(MmlCompileState& st, int letter) {
  MmlReader& rd = st.reader;
  int c = MmlGetChar(&rd);
  if (c == '0' || c == 'F' || c == 'A') {
    SkipPastByte(&rd, ')');
    return;
  }
  MmlPutBack(&rd, c);
  MmlTrackState& tr = MmlTrack(st);
  int startKey = ReadMmlNoteName(&rd, letter) + 12 * tr.octave;
  int len = ReadMmlTiedLength(&rd, tr.defaultLength);
  c = MmlGetChar(&rd);
  if (c != ',') MmlPutBack(&rd, c);
  c = MmlGetChar(&rd);
  if (c == '<') {
    tr.octave += st.octaveReversed ? -1 : 1;
  } else if (c == '>') {
    tr.octave += st.octaveReversed ? 1 : -1;
  } else if (c == 'o' || c == 'O') {
    tr.octave = std::clamp(ReadMmlNumber(&rd), 1, 7);
  } else {
    MmlPutBack(&rd, c);
  }
  c = MmlGetChar(&rd);
  // Without a target the form cannot glide ("(c4, d)", "(c4,)"): its start note still plays
  // for the form's length, so the notes after it keep their time.
  bool glide = MmlIsNoteLetter(c);
  int targetKey = 0;
  if (glide) {
    targetKey = ReadMmlNoteName(&rd, c) + 12 * tr.octave;
  } else {
    MmlPutBack(&rd, c);
  }
  SkipPastByte(&rd, ')');
  // Both events or neither.
  if (!MmlReserveEvents(st, 2)) return;
  uint32_t startTick = tr.tick;
  if (!MmlAdvanceTick(st, len)) return;
  MmlWriteEventAt(st, glide ? kEvPortamentoStart : kEvNoteOn, startKey, startTick);
  MmlWriteEvent(st, glide ? kEvPortamentoEnd : kEvNoteOff, glide ? targetKey : startKey);
}

// ---- directives -----------------------------------------------------------------------------

// Reads the rest of the line, up to Size - 1 bytes, into Out; the line's end is not part of it.
// A line longer than that is cut without splitting a double-byte character, and its rest is
// skipped rather than read as music.
void ReadRestOfLine(MmlReader& rd, char* out, size_t size) {
  size_t n = 0;
  int c;
  while ((c = MmlGetChar(&rd)) != kMmlEnd && c != '\r' && c != '\n') {
    if (n + 1 < size) {
      out[n++] = static_cast<char>(c);
    } else {
      SkipPastByte(&rd, '\n');
      // Drop a lead byte whose trail byte did not fit.
      size_t lead = 0;
      for (size_t i = 0; i < n; i += (IsCp932LeadByte(static_cast<uint8_t>(out[i])) ? 2 : 1)) {
        lead = i;
      }
      if (IsCp932LeadByte(static_cast<uint8_t>(out[lead])) && lead + 1 >= n) n = lead;
      break;
    }
  }
  out[n] = '\0';
}

void SampleFile(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  SkipPastByte(&rd, '=');
  MmlSampleFile& sample = MmlSample();
  char name[kMmlNameChars];
  ReadRestOfLine(rd, name, sizeof name);
  if (name[0] == '\0') return;
  memcpy(sample.name, name, sizeof name);
  sample.drive[0] = sample.folder[0] = '\0';
  if (st.songPath != nullptr) {
    MmlSplitSongPath(st.songPath, sample.drive, sizeof sample.drive, sample.folder, sizeof sample.folder);
  }
  snprintf(sample.path, sizeof sample.path, "%s%s%s", sample.drive, sample.folder, sample.name);
  // Offered to both loaders: each takes the file only when its first byte is its own magic.
  LoadSampleList(sample.name, sample.drive, sample.folder);
  LoadSampleBank(sample.name, sample.drive, sample.folder);
}

void Title(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  int c;
  while ((c = MmlGetChar(&rd)) != 't') {
    // No "t" on the line: no title. Lines may end with LF alone (a file saved elsewhere).
    if (c == kMmlEnd || c == '\r' || c == '\n') return;
  }
  ReadRestOfLine(rd, st.song->title, kSongTitleSize);
}

void SoloSet(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  SkipPastByte(&rd, ' ');
  bool listed[kMmlTrackCount] = {};
  for (int count = 0; count < kMmlTrackCount;) {
    listed[std::clamp(ReadMmlNumberOrNone(&rd) - 1, 0, kMmlTrackCount - 1)] = true;
    ++count;
    int c = MmlGetChar(&rd);
    if (c != ',' || count == kMmlTrackCount) {
      MmlPutBack(&rd, c);
      break;
    }
  }
  for (int t = 0; t < kMmlTrackCount; ++t) st.song->tracks[t].mute = listed[t] ? 0 : 1;
}

void Option(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  SkipPastByte(&rd, ' ');
  int c = MmlGetChar(&rd);
  st.octaveReversed = c == 'r' || c == 'R';
  if (c != '\n') SkipPastByte(&rd, '\n');
}

}  // namespace

void MmlAtCommand(MmlCompileState& st) {
  MmlReader& rd = st.reader;
  MmlTrackState& tr = MmlTrack(st);
  int c = MmlGetChar(&rd);
  switch (c) {
    case 'v':
    case 'V':
      MmlWriteEvent(st, kEvVolume, ReadMmlNumber(&rd));
      break;
    case 'm':
      MmlWriteEvent(st, kEvVibratoDepth, ReadMmlNumber(&rd));
      break;
    case 'h':
      MmlWriteEvent(st, kEvVibratoDelay, ReadMmlNumber(&rd));
      SkipMmlSecondNumber(&rd);
      break;
    case 's':
      MmlWriteEvent(st, kEvVibratoPeriod, ReadMmlNumber(&rd));
      break;
    case 'e':
    case 'E': {
      // Only the 32 definitions exist; a number beyond them selects nothing.
      int n = ReadMmlNumber(&rd);
      if (n < kFmEffectDefCount) MmlWriteEvent(st, kEvFmEffect, n);
      break;
    }
    case 'k':
    case 'K':
      MmlWriteEvent(st, kEvDetune, ReadMmlMinusNumber(&rd));
      break;
    case 'p':
    case 'P':
      AtPan(st);
      break;
    case 'q':
    case 'Q':
      tr.gate = ReadMmlNumber(&rd);
      tr.gateMode = 1;
      break;
    case 't':
    case 'T':
      AtTempo(st);
      break;
    case 'l':
    case 'L':
      tr.defaultLength = ReadMmlNumber(&rd);
      break;
    case 'r':
    case 'R':
    case 'f':
    case 'F':
      ReadMmlNumber(&rd);
      break;
    default:
      // "@n" selects a tone; so does any other character, with the number that follows (or 0).
      MmlPutBack(&rd, c);
      MmlWriteEvent(st, kEvTone, ReadMmlNumber(&rd));
      break;
  }
}

void MmlParenthesisedForm(MmlCompileState& st) {
  int c = MmlGetChar(&st.reader);
  // Only a lower-case letter opens a glide; "(Bass)" and the like are remarks, skipped whole.
  if (c >= 'a' && c <= 'g') {
    Portamento(st, c);
    return;
  }
  switch (c) {
    case 't':
    case 'T':
      SelectTrack(st);
      break;
    case '@':
      ToneDefinition(st);
      break;
    case 'v':
    case 'V':
      ToneLines(st);
      break;
    case 'x':
    case ':':
      EffectDefinition(st);
      break;
    default:
      MmlPutBack(&st.reader, c);
      SkipPastByte(&st.reader, ')');
      break;
  }
}

void MmlDirective(MmlCompileState& st) {
  int c = MmlGetChar(&st.reader);
  switch (c) {
    case 'a':
    case 'A':
      SampleFile(st);
      break;
    case 'c':
      Title(st);
      break;
    case 's':
      SoloSet(st);
      break;
    case 'o':
    case 'O':
      Option(st);
      break;
    default:
      break;  // the character is dropped
  }
}

bool MmlSplitSongPath(const char* Path, char* Drive, size_t DriveSize, char* Folder, size_t FolderSize) {
  Drive[0] = Folder[0] = '\0';
  // The folder runs to the last separator that is not the trail byte of a double-byte character.
  const Cp932PathParts parts = SplitCp932Path(Path);
  size_t driveLen = parts.DriveEnd;
  size_t folderLen = parts.NameStart - parts.DriveEnd;
  size_t nameLen = parts.Length - parts.NameStart;
  // Room for every part, as the path is split for the sample loaders.
  if (driveLen >= DriveSize || folderLen >= FolderSize || nameLen >= kMmlPathChars) return false;
  memcpy(Drive, Path, driveLen);
  Drive[driveLen] = '\0';
  memcpy(Folder, Path + driveLen, folderLen);
  Folder[folderLen] = '\0';
  return true;
}
