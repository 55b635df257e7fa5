// The song writer's source text: an ".mdx" song (its title, bank name, tones and tracks) and
// the samples of its ".pdx" bank or of WAV files, written as text a person can read and change.
//
//   # a comment, to the end of the line; a line starts with a keyword or goes on with a track
//   title <the rest of the line>      the song's title
//   bank <name>                        the bank the song names: <name>.pdx is written beside it
//   tone <n> <connection> <feedback> <slot mask>
//   op <ar> <d1r> <d2r> <rr> <d1l> <tl> <ks> <mul> <dt1> <dt2>    four lines: operators 1 to 4
//   sample <n> <kind> <seconds> [<hertz>]   sample n of the bank: kick, snare, hat or tone
//   wav <n> <file>                     sample n also written as a WAV file (44.1 kHz, 16 bits)
//   track <n>                          track n's commands follow, on one line or many:
//     tempo=<Timer-B> tone=<n> volume=<0-15> pan=<0-3> gate=<1-8> detune=<units>
//     c4:48  f+3:24  b-5:12            a note and its ticks (192 a whole note); keys as in MML,
//                                      c4 is key 48
//     r:24  s0:48  tie                 a rest; ADPCM sample 0 (tracks 8-15); the note after
//                                      `tie` is not let go: the note after it continues it
//     [4 ... ]                         the passage between played 4 times
//     loop ... jump                    the track goes back to `loop` at `jump`, for ever; a
//                                      track without `jump` ends after its last command
// Tracks not named between named ones are empty; tracks 0-7 are FM, 8-15 ADPCM.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tools/song_writer/mdx_builder.h"
#include "tools/song_writer/sample_synth.h"

struct SongText
{
    MdxBuilder song;  // title, bank name, tones and tracks
    bool hasTracks = false;
    std::map<int, SampleRecipe> samples;             // by sample number
    std::vector<std::pair<int, std::string>> waves;  // sample number, WAV file name
};

// Reads a source text into `out`; false with `error` ("line <n>: <what>") at the first fault.
bool ReadSongText(const std::string& text, SongText& out, std::string& error);

// The ".pdx" bank of the samples (ADPCM at 15,600 Hz).
std::vector<uint8_t> BuildSampleBank(const std::map<int, SampleRecipe>& samples);
// A sample as a WAV file: 44,100 Hz, 16-bit mono.
std::vector<uint8_t> BuildSampleWave(const SampleRecipe& sample);
