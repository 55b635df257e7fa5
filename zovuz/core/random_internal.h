// The random-number state, for the library's own use and its tests.
#pragma once

#include <stdint.h>

constexpr int RAND_MT_WORDS = 624;

struct RandMTState
{
    uint32_t State[RAND_MT_WORDS];  // the MT19937 state words
    uint32_t Output[RAND_MT_WORDS]; // the tempered outputs of the last regeneration
    int Index;                      // next output to hand out; 0 after each regeneration
    int Seeded;                     // set by SRandMT
    int UseMMX;                     // regeneration through MMX registers, chosen at seeding
};

RandMTState *GetRandMTState(void);
