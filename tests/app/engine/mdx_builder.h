// Small writers of ".mdx" songs and ".pdx" banks, so the loader's tests build
// their own files instead of relying on outside songs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The fields of one tone operator, as the chip's registers hold them.
struct MdxOperatorFields {
  uint8_t ar = 0, d1r = 0, d2r = 0, rr = 0, d1l = 0, ks = 0, mul = 0, dt1 = 0, dt2 = 0, ame = 0;
  int8_t tl = 0;
};

// One tone; `op` is indexed by tone operator 1-4 (op[0] is operator 1).
struct MdxToneFields {
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
struct MdxBuilder {
  std::string title = "Test song";
  bool rawTitle = false;      // true: `title` is written as is, without the 0x1A
  std::string bankName;       // written with its 0x00
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
