// Small writers of ".mdx" songs and ".pdx" banks: the tests build their own songs with them,
// and the song writer (song_writer_main.cpp) makes the example songs from their text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// One MDX track's command bytes, written command by command. Keys are numbered as the player
// sends them (note byte 0x80 is key 3); lengths are in ticks (1-256).
struct MdxTrack
{
    std::vector<uint8_t> bytes;

    size_t Here() const { return bytes.size(); }
    MdxTrack& Raw(std::initializer_list<int> b);
    MdxTrack& Tempo(int timerB) { return Raw({0xFF, timerB}); }
    MdxTrack& Note(int key, int ticks) { return Raw({0x80 + key - 3, ticks - 1}); }
    MdxTrack& Sample(int number, int ticks) { return Raw({0x80 + number, ticks - 1}); }
    MdxTrack& Rest(int ticks) { return Raw({ticks - 1}); }
    MdxTrack& Gate(int q) { return Raw({0xF8, q}); }
    MdxTrack& Tie() { return Raw({0xF7}); }
    MdxTrack& Volume(int v) { return Raw({0xFB, v}); }
    MdxTrack& Pan(int p) { return Raw({0xFC, p}); }
    MdxTrack& Tone(int number) { return Raw({0xFD, number}); }
    MdxTrack& Detune(int units) { return Raw({0xF3, (units >> 8) & 0xFF, units & 0xFF}); }
    MdxTrack& Portamento(int speed) { return Raw({0xF2, (speed >> 8) & 0xFF, speed & 0xFF}); }
    // Pitch LFO: waveform, period and step.
    MdxTrack& Lfo(int waveform, int period, int step);
    MdxTrack& LfoDelay(int ticks) { return Raw({0xE9, ticks}); }
    MdxTrack& End() { return Raw({0xF1, 0x00}); }
    // Repeat start with `count`; the matching end jumps back to the command after it.
    MdxTrack& RepeatStart(int count) { return Raw({0xF6, count, 0}); }
    MdxTrack& RepeatEnd(size_t startAt);
    // Repeat escape, its jump filled in by EscapeTo once the repeat end's position is known.
    MdxTrack& RepeatEscape() { return Raw({0xF4, 0, 0}); }
    MdxTrack& EscapeTo(size_t escapeAt, size_t endAt);
    // A jump to the command at `target` (F1 with an offset).
    MdxTrack& JumpTo(size_t target);
};

// The fields of one tone operator, as the chip's registers hold them.
struct MdxOperatorFields
{
    uint8_t ar = 0, d1r = 0, d2r = 0, rr = 0, d1l = 0, ks = 0, mul = 0, dt1 = 0, dt2 = 0, ame = 0;
    int8_t tl = 0;
};

// One tone; `op` is indexed by tone operator 1-4 (op[0] is operator 1).
struct MdxToneFields
{
    uint8_t number = 0;
    uint8_t connection = 0, feedback = 0, slotMask = 0;
    MdxOperatorFields op[4];
};

// Packs a tone into its 27-byte record, with the operators in the file's
// order (tone operators 1, 3, 2, 4 within each group of four bytes).
std::array<uint8_t, 27> PackMdxTone(const MdxToneFields& tone);

// A song: title text (0x1A is appended unless `rawTitle` is used), bank name,
// track command data and tone records. The data block holds the tone offset,
// one offset per track, the tracks and then the tones.
struct MdxBuilder
{
    std::string title = "Test song";
    bool rawTitle = false;  // true: `title` is written as is, without the 0x1A
    std::string bankName;   // written with its 0x00
    std::vector<std::vector<uint8_t>> tracks;
    std::vector<std::array<uint8_t, 27>> tones;

    std::vector<uint8_t> Build() const;
    // File position of the data block in what Build() returns.
    size_t DataStart() const;
};

// A bank: (sample number, ADPCM bytes) pairs; data follows the 768-byte header
// in the order given.
std::vector<uint8_t> BuildPdx(const std::vector<std::pair<int, std::vector<uint8_t>>>& samples);

// Sets entry `index` of a bank's header (big-endian offset and length).
void SetPdxEntry(std::vector<uint8_t>& pdx, int index, uint32_t offset, uint32_t length);

// Writes bytes to a file in the current directory; false on failure.
bool WriteTestFile(const std::string& name, const std::vector<uint8_t>& bytes);
