// Texts for the character-code and formatted-print targets: the codes they pick from, and
// fuzzed bytes made into a string that ends in every code.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Every character code the library supports, and one it does not (0).
extern const int kFuzzCharCodes[];
extern const int kFuzzCharCodeCount;

// The code that Selector picks from kFuzzCharCodes.
int PickCharCode(uint8_t Selector);

// Size bytes, then zero bytes up to a whole 4-byte unit and one more whole unit of zeros: a
// string terminated in any code, in a buffer of exactly that size (so the sanitizer reports a
// reader that runs past the terminator).
std::vector<char> TerminatedText(const uint8_t *Data, size_t Size);
