// Mersenne Twister (MT19937): a plain and an MMX regeneration with the same results.

#include <mmintrin.h>
#include <string.h>

#include "zovuz/core/cpu_features.h"
#include "zovuz/core/random_internal.h"

namespace {

constexpr int N = RAND_MT_WORDS;
constexpr int M = 397;
constexpr uint32_t MatrixA = 0x9908B0DFu;
constexpr uint32_t UpperMask = 0x80000000u;
constexpr uint32_t LowerMask = 0x7FFFFFFFu;
constexpr uint32_t DefaultSeed = 4357;

RandMTState Rand;

inline uint32_t Temper(uint32_t Y)
{
    Y ^= Y >> 11;
    Y ^= (Y << 7) & 0x9D2C5680u;
    Y ^= (Y << 15) & 0xEFC60000u;
    Y ^= Y >> 18;
    return Y;
}

inline __m64 LoadPair(const uint32_t *State, int First)
{
    if (First + 1 < N) {
        __m64 Pair;
        memcpy(&Pair, State + First, 8);
        return Pair;
    }
    return _mm_set_pi32(int(State[(First + 1) % N]), int(State[First % N]));
}

}  // namespace

RandMTState *GetRandMTState(void) { return &Rand; }

int SRandMT(uint32_t Seed)
{
    uint32_t X = Seed;
    for (int i = 0; i < N; i++) {
        uint32_t Word = X & 0xFFFF0000u;
        X = X * 69069u + 1;
        Word |= X >> 16;
        X = X * 69069u + 1;
        Rand.State[i] = Word;
    }
    Rand.UseMMX = CheckMMX();
    Rand.Seeded = 1;
    return GenerateRandMT();
}

int GenerateRandMT(void)
{
    if (!Rand.Seeded) return SRandMT(DefaultSeed);
    if (Rand.UseMMX) return GenerateRandMT_MMX();
    uint32_t *Mt = Rand.State;
    // Word i takes its upper bit, the next word its lower 31 bits; past the end the next word is
    // the new word 0, and the word M places on has already been renewed for i >= N - M.
    for (int i = 0; i < N; i++) {
        const uint32_t Y = (Mt[i] & UpperMask) | (Mt[(i + 1) % N] & LowerMask);
        Mt[i] = Mt[(i + M) % N] ^ (Y >> 1) ^ ((Y & 1) ? MatrixA : 0);
    }
    for (int i = 0; i < N; i++) Rand.Output[i] = Temper(Mt[i]);
    Rand.Index = 0;
    return 0;
}

// Two words per step. Every word a step reads is either not yet renewed or was renewed by an
// earlier step (the nearest dependency is 227 words back), so pairs give the plain results.
int GenerateRandMT_MMX(void)
{
    if (!Rand.Seeded) return SRandMT(DefaultSeed);
    uint32_t *Mt = Rand.State;
    const __m64 Upper = _mm_set1_pi32(int(UpperMask));
    const __m64 Lower = _mm_set1_pi32(int(LowerMask));
    const __m64 Matrix = _mm_set1_pi32(int(MatrixA));
    const __m64 One = _mm_set1_pi32(1);
    for (int i = 0; i < N; i += 2) {
        const __m64 Current = LoadPair(Mt, i);
        const __m64 Next = LoadPair(Mt, i + 1);
        const __m64 Far = LoadPair(Mt, (i + M) % N);
        const __m64 Y = _mm_or_si64(_mm_and_si64(Current, Upper), _mm_and_si64(Next, Lower));
        const __m64 Odd = _mm_sub_pi32(_mm_setzero_si64(), _mm_and_si64(Y, One));
        const __m64 Word = _mm_xor_si64(_mm_xor_si64(Far, _mm_srli_pi32(Y, 1)), _mm_and_si64(Odd, Matrix));
        memcpy(Mt + i, &Word, 8);
    }
    for (int i = 0; i < N; i += 2) {
        __m64 Y;
        memcpy(&Y, Mt + i, 8);
        Y = _mm_xor_si64(Y, _mm_srli_pi32(Y, 11));
        Y = _mm_xor_si64(Y, _mm_and_si64(_mm_slli_pi32(Y, 7), _mm_set1_pi32(int(0x9D2C5680u))));
        Y = _mm_xor_si64(Y, _mm_and_si64(_mm_slli_pi32(Y, 15), _mm_set1_pi32(int(0xEFC60000u))));
        Y = _mm_xor_si64(Y, _mm_srli_pi32(Y, 18));
        memcpy(Rand.Output + i, &Y, 8);
    }
    _mm_empty();
    Rand.Index = 0;
    return 0;
}

uint32_t GetRandMT(void)
{
    if (!Rand.Seeded || Rand.Index >= N) GenerateRandMT();
    return Rand.Output[Rand.Index++];
}
