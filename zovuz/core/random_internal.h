// The library's random numbers: one Mersenne Twister (MT19937) per process, seeded when the
// main window is made. Regeneration fills a table of 624 tempered words at a time. The core's
// own calls; the public random-number calls will be declared in zovuz_core.h.
#pragma once

#include <stdint.h>

constexpr int RAND_MT_WORDS = 624;

struct RandMTState
{
    uint32_t State[RAND_MT_WORDS];   // the MT19937 state words
    uint32_t Output[RAND_MT_WORDS];  // the tempered outputs of the last regeneration
    int Index;                       // next output to hand out; 0 after each regeneration
    int Seeded;                      // set by SRandMT
    int UseMMX;                      // regeneration through MMX registers, chosen at seeding
};

RandMTState *GetRandMTState(void);

// Seeds the state (the 69069 linear seeding of the first MT19937 release), chooses the plain or
// the MMX regeneration by CheckMMX and makes the first table of outputs. Returns 0.
int SRandMT(uint32_t Seed);

// Regenerates the 624 state words and their tempered outputs; the output index goes back to 0.
// Seeds with 4357 when nothing was seeded yet. Returns 0.
int GenerateRandMT(void);
// The same regeneration through MMX registers: the same results, word for word.
int GenerateRandMT_MMX(void);

// The next tempered output word, regenerating after every 624.
uint32_t GetRandMT(void);
