// Random numbers: the library's MT19937 gives the standard generator's sequence, the MMX
// regeneration gives the plain one's results word for word, and the processor check answers.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <sstream>

#include <vector>

#include "zovuz/core/cpu_features.h"
#include "zovuz/core/random_internal.h"

namespace {

// Draws Count outputs with the regeneration chosen by UseMMX.
std::vector<uint32_t> Draw(uint32_t Seed, int UseMMX, int Count)
{
    SRandMT(Seed);
    GetRandMTState()->UseMMX = UseMMX;
    std::vector<uint32_t> Out;
    for (int i = 0; i < Count; i++)
        Out.push_back(GetRandMT());
    return Out;
}

// Seeded with 4357 by the 69069 seeding, the state handed to the standard library's mt19937
// gives the same stream; the first values are pinned so that a change of seeding shows.
TEST(RandMT, KnownAnswerForAFixedSeed)
{
    const uint32_t Expected[] = {2867219139u, 1585203162u, 3113124129u, 2953900839u, 2463794868u};
    const std::vector<uint32_t> Got = Draw(4357, 0, 624 * 3);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(Expected[i], Got[size_t(i)]) << i;

    std::stringstream Words;
    uint32_t X = 4357;
    for (int i = 0; i < RAND_MT_WORDS; i++)
    {
        const uint32_t High = X & 0xFFFF0000u;
        X = X * 69069u + 1;
        Words << (High | X >> 16) << ' ';
        X = X * 69069u + 1;
    }
    Words << RAND_MT_WORDS; // position: regenerate before the first value
    std::mt19937 Standard;
    Words >> Standard;
    ASSERT_FALSE(Words.fail());
    for (size_t i = 0; i < Got.size(); i++)
        ASSERT_EQ(Standard(), Got[i]) << i;
}

// Loaded with the state the standard library's mt19937 has after its default seed, the
// library's regeneration gives the standard's 10000th value.
TEST(RandMT, RegenerationIsTheStandardMt19937)
{
    RandMTState *State = GetRandMTState();
    for (int UseMMX = 0; UseMMX < 2; UseMMX++)
    {
        SRandMT(1);
        State->State[0] = 5489u;
        for (uint32_t i = 1; i < RAND_MT_WORDS; i++)
            State->State[i] = 1812433253u * (State->State[i - 1] ^ (State->State[i - 1] >> 30)) + i;
        State->UseMMX = UseMMX;
        State->Index = RAND_MT_WORDS;
        uint32_t Value = 0;
        for (int i = 0; i < 10000; i++)
            Value = GetRandMT();
        EXPECT_EQ(4123659995u, Value) << "MMX " << UseMMX;
    }
}

TEST(RandMT, MmxAndPlainRegenerationAgree)
{
    if (!CheckMMX())
        GTEST_SKIP() << "no MMX on this processor";
    for (uint32_t Seed : {0u, 1u, 4357u, 0xFFFFFFFFu, 123456789u})
        EXPECT_EQ(Draw(Seed, 0, 624 * 5 + 7), Draw(Seed, 1, 624 * 5 + 7)) << Seed;
    // The same seed gives the same state and table whichever path seeded it.
    SRandMT(777);
    const RandMTState First = *GetRandMTState();
    SRandMT(777);
    EXPECT_EQ(0, memcmp(&First, GetRandMTState(), sizeof First));
}

TEST(RandMT, DrawingRegeneratesAfterEveryTable)
{
    SRandMT(99);
    RandMTState *State = GetRandMTState();
    const uint32_t Last = State->Output[RAND_MT_WORDS - 1];
    for (int i = 0; i < RAND_MT_WORDS; i++)
        GetRandMT();
    EXPECT_EQ(RAND_MT_WORDS, State->Index);
    EXPECT_EQ(Last, State->Output[RAND_MT_WORDS - 1]);
    GetRandMT();
    EXPECT_EQ(1, State->Index);
    EXPECT_NE(Last, State->Output[RAND_MT_WORDS - 1]);
    EXPECT_EQ(0, GenerateRandMT());
    EXPECT_EQ(0, State->Index);
}

TEST(CpuFeatures, EveryX86ProcessorThatRunsThisHasMmx)
{
    EXPECT_EQ(1, CheckMMX());
}

} // namespace
