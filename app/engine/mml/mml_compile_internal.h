// State shared by the MML compiler's files: the text reader and its lexers, the compile state
// and the event writers. Only the compiler's own files (and its tests) include this.
#pragma once
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/song_engine.h"

// ---- the text reader and its lexers ---------------------------------------------------------
// Each lexer reads from the reader and puts back the one character that ended it.

struct MmlReader {
  const uint8_t* Data;  // the song text
  size_t Size;          // bytes before the first 0xFF (which ends the text like the file's end)
  size_t Pos;           // next byte to read
};

enum { kMmlEnd = -1 };  // what MmlGetChar gives at the end of the text

void MmlReaderInit(MmlReader* Reader, const void* Data, size_t Size);
int MmlGetChar(MmlReader* Reader);             // next byte 0-254, or kMmlEnd
void MmlPutBack(MmlReader* Reader, int Char);  // puts back the byte just read; kMmlEnd is ignored

// Up to three decimal digits; 0 when the next character is not a digit.
int ReadMmlNumber(MmlReader* Reader);
// -1 when the next character is not a digit; otherwise digits in groups of three, the last
// group giving the value ("1234" gives 4).
int ReadMmlNumberOrNone(MmlReader* Reader);
// A length in ticks: "*n" ticks, or 192 / n with up to three dots, or the default (one dot
// after no number gives 1.5 times the default).
int ReadMmlLength(MmlReader* Reader, int DefaultLength);
// A length and up to two more after "^", added; a total of 0 gives the default.
int ReadMmlTiedLength(MmlReader* Reader, int DefaultLength);
// The semitone 0-11 of a note letter with its accidental ("+" or "#" up, "-" down, wrapping).
int ReadMmlNoteName(MmlReader* Reader, int Letter);
// One comma-separated field inside parentheses ("," alone is -1, a "-" makes it negative).
int ReadMmlSignedNumber(MmlReader* Reader);
// Reads until Byte has been read or the text ends.
void SkipPastByte(MmlReader* Reader, int Byte);

// One text track while it compiles.
struct MmlTrackState {
  uint32_t tick;      // current tick
  int eventCount;     // events written; the next one goes at this index
  int octave;         // current octave; "<" and ">" may take it outside 0-7
  int gate;           // eighths of the length (mode 0) or ticks before the end (mode 1)
  int gateMode;       // 0: "q", 1: "@q"
  int volumeStep;     // the last non-zero amount of "~" or "_"
  int repeatStart;    // index of the last repeat start
  int defaultLength;  // ticks of a note without a length; copied to the SongTrack record
  int noNoteOnBelow;  // events below this index hold no note-on (spares "&" a long search)
  bool stopped;       // the track met a limit: nothing more is written into it
};

// A note-off of an open chord, waiting for the chord's end.
struct MmlPendingNoteOff {
  int track;        // the track the chord note went into
  SongEvent event;  // the note-off itself, tick included
};

// Paths of the ".a" directive. The drive and folder are those of the song file.
enum { kMmlPathChars = 260 };
struct MmlSampleFile {
  char name[kMmlNameChars];      // as the directive wrote it
  char drive[kMmlPathChars];     // "X:" or empty
  char folder[kMmlPathChars];    // with its trailing separator, or empty
  char path[3 * kMmlPathChars];  // drive + folder + name, empty when no file was named
};

// The text of a "(t n)" beyond the 16 tracks compiles into this extra state and is thrown away.
enum { kMmlNoTrack = kMmlTrackCount };

struct MmlCompileState {
  SongEngine* song;      // song 0
  MmlReader reader;      // the song text
  const char* songPath;  // where the text came from; may be null
  int track;             // current track, or kMmlNoTrack
  int tempo;             // base of relative tempo changes
  bool octaveReversed;   // ".o r": "<" and ">" swap
  MmlTrackState tracks[kMmlTrackCount + 1];

  bool chordOn;         // between the two apostrophes of a chord
  int chordNotes;       // notes of the open chord
  int chordOctave;      // octave at the chord's start
  int chordLastLength;  // length of the chord's last note
  MmlPendingNoteOff chordOffs[kMmlChordNotes];

  bool tieFlag;       // "&" after a chord: the next notes may merge
  int tieCount;       // notes of the last chord; 0 after a plain note
  int tieEventCount;  // event count when that "&" was read

  bool tupletOn;        // inside "{ }"
  int tupletRemaining;  // ticks the tuplet still has
  int tupletStep;       // length of its next note or rest
  // The last scan for a tuplet's "}": a "{" inside the scanned stretch reuses it, so a text of
  // many "{" is read once, not once per brace.
  bool tupletScanValid;    // the three fields below hold a scan
  size_t tupletScanFrom;   // where the scan (or its reuse) started
  size_t tupletScanClose;  // position of the "}", or the text's size when none
  int tupletScanLetters;   // note and rest letters from tupletScanFrom to the "}"
};

inline bool MmlIsNoteLetter(int c) { return (c >= 'a' && c <= 'g') || (c >= 'A' && c <= 'G'); }

// A number with an optional "-" before it ("k-3", "@k-32"); there is no "+" form.
int ReadMmlMinusNumber(MmlReader* Reader);
// The ignored second number of "s n,n" and "@h n,n": read when a "," follows.
void SkipMmlSecondNumber(MmlReader* Reader);

// The compile state and the sample file of the last compile.
MmlCompileState& MmlState();
MmlSampleFile& MmlSample();

// The current track's state (the throw-away state when no track is selected).
MmlTrackState& MmlTrack(MmlCompileState& st);

// True when Count more events fit in the current track; otherwise the track stops (no more events
// are written into it) and false is returned. Always false without a track.
bool MmlReserveEvents(MmlCompileState& st, int Count);
// Writes one event into the current track at its tick; returns its index, or -1 when the track
// has no room (the track then stops).
int MmlWriteEvent(MmlCompileState& st, uint32_t Type, int32_t Value);
int MmlWriteEventAt(MmlCompileState& st, uint32_t Type, int32_t Value, uint32_t Tick);
// Moves the current track's tick on by Length; stops the track instead when the tick would pass
// kMmlMaxTick. Returns false when the track is stopped.
bool MmlAdvanceTick(MmlCompileState& st, int Length);

// Commands of the other compiler files. Each gets the character that started it.
void MmlAtCommand(MmlCompileState& st);          // "@..."
void MmlParenthesisedForm(MmlCompileState& st);  // "(..."
void MmlDirective(MmlCompileState& st);          // "...."

// Splits a song path into its drive and folder (code page 932 aware). Returns false, leaving
// both empty, when a part of the path does not fit its buffer.
bool MmlSplitSongPath(const char* Path, char* Drive, size_t DriveSize, char* Folder, size_t FolderSize);
