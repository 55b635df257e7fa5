// The MML compiler: ".zms" song text into song 0 of the sequencer.
//
// The text is read byte by byte (code page 932 text, but every byte outside a comment, title or
// file name counts as its single-byte character). Every mistake a user can type gives a bounded,
// predictable result: unknown characters are skipped, missing numbers read as 0 (or -1 where a
// list field says so), and anything that would write past a track, a tone or an effect table is
// refused or stops that track, keeping what was compiled before it.
#pragma once
#include <stddef.h>
#include <stdint.h>

// Compiles the ".zms" file at Path (a code page 932 path) into song 0. Song 0 is reset first,
// even when the file does not open; success shows as song 0's loaded flag = 1.
void CompileMml(const char* Path);

// Compiles Size bytes of song text from memory into song 0, as CompileMml does with a file.
// SongPath is the path the text came from (it places the ".a" sample file); it may be null.
void CompileMmlFromMemory(const void* Data, size_t Size, const char* SongPath);

// Rewrites every repeat of song 0's tracks 0-15 into its passes, then sets each track's loop
// point tick. Runs at the end of every compile.
void ExpandMmlRepeats(void);

// The sample file the last compile's ".a" directive named: the full path (the song's drive and
// folder before the name), its three parts as the sample loaders take them, or empty texts when
// the song names none. The pointers stay valid until the next compile.
const char* GetMmlSampleFilePath(void);
const char* GetMmlSampleFileName(void);
const char* GetMmlSampleFileDrive(void);
const char* GetMmlSampleFileFolder(void);

// ---- limits ---------------------------------------------------------------------------------

enum {
  kMmlTrackCount = 16,        // tracks of the text: 0-7 instruments, 8-15 samples
  kMmlTrackEvents = 10000,    // event records of one track
  kMmlMaxTrackEvents = 9999,  // events a track may hold: one record always stays the end
  kMmlChordNotes = 16,        // notes of one chord; more are dropped
  kMmlMaxLength = 1000000,    // ticks of one length (about 5,200 whole notes)
  kMmlMaxTick = 1000000000,   // a track stops before its time would pass this tick
  kMmlNameChars = 256,        // title and sample file name, terminator included
};
