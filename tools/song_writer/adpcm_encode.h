// The encoder that matches the engine's 4-bit ADPCM decoder (app/engine/mdx/adpcm.h): songs' sample
// banks made here decode to what was asked for, as closely as the format allows.
#pragma once

#include <cstdint>
#include <vector>

// Codes, two to a byte, low nibble first, that follow `target` (12-bit units, -2048 to 2047) as
// closely as the decoder can: each code is the one whose decoded step lands nearest.
std::vector<uint8_t> EncodeAdpcm(const std::vector<int32_t>& target);
