// Hostile images: thousands of seeded mutations of valid files per loader must be refused, or
// give an image whose every described byte can be read, without leaking a block.
#include <gtest/gtest.h>

#include <random>

#include "tests/zovuz/graphics/image_check.h"
#include "tests/zovuz/graphics/image_fixture.h"
#include "tests/zovuz/graphics/image_seeds.h"

namespace {

Bytes Mutate(const Bytes &Seed, std::mt19937 &Rng)
{
    static const uint32_t kExtremes[] = {0, 1, 2, 3, 4, 8, 16, 255, 256, 0x7FFF, 0x8000, 0xFFFF, 0x10000,
                                         0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
    Bytes b = Seed;
    int edits = 1 + Rng() % 4;
    for (int e = 0; e < edits && !b.empty(); ++e) {
        size_t at = Rng() % b.size();
        switch (Rng() % 6) {
        case 0: b[at] ^= (uint8_t)(1u << (Rng() % 8)); break;
        case 1: b[at] = (uint8_t)Rng(); break;
        case 2: {
            // Header fields: a 16- or 32-bit extreme somewhere in the first 160 bytes.
            size_t field = Rng() % (b.size() < 160 ? b.size() : 160);
            uint32_t v = kExtremes[Rng() % (sizeof kExtremes / sizeof kExtremes[0])];
            for (int i = 0; i < (Rng() % 2 ? 2 : 4) && field + i < b.size(); ++i)
                b[field + i] = (uint8_t)(v >> (8 * i));
            break;
        }
        case 3: b.resize(at); break;
        case 4: b.insert(b.begin() + at, (size_t)(1 + Rng() % 9), (uint8_t)Rng()); break;
        case 5: b.erase(b.begin() + at, b.begin() + std::min(b.size(), at + 1 + Rng() % 16)); break;
        }
    }
    return b;
}

::testing::AssertionResult Readable(BASEIMAGE &Img, int HeaderOnly)
{
    const std::string problem = ImageProblem(Img, HeaderOnly);
    if (problem.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem;
}

TEST(ImageLoadFuzz, MutatedFilesAreRefusedOrReadable)
{
    std::mt19937 rng(20260712);
    for (const ImageSeedSet &t : ImageLoaderSeeds()) {
        SCOPED_TRACE(t.Name);
        const int allocs = GetAllocNum();
        int accepted = 0;
        for (int i = 0; i < 4000; ++i) {
            const Bytes file = Mutate(t.Seeds[i % t.Seeds.size()], rng);
            const int headerOnly = i % 10 == 9;
            LoadedImage img;
            LoadBytes(t.Loader, file, img, headerOnly);
            if (img.Result == 0) {
                ++accepted;
                ASSERT_TRUE(Readable(img.Image, headerOnly)) << "case " << i;
            } else {
                ASSERT_EQ(img.Result, -1);
                ASSERT_EQ(img.Image.Pixels, nullptr);
            }
        }
        EXPECT_GT(accepted, 0) << "the mutations should leave some files whole";
        EXPECT_EQ(GetAllocNum(), allocs) << "leaked blocks";
    }
}

TEST(ImageLoadFuzz, SeedsLoad)
{
    for (const ImageSeedSet &t : ImageLoaderSeeds())
        for (const Bytes &seed : t.Seeds) {
            LoadedImage img;
            LoadBytes(t.Loader, seed, img);
            EXPECT_EQ(img.Result, 0) << t.Name;
        }
}

}  // namespace
