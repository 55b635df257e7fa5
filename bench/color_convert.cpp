// ConvertColorDataBlt throughput for the pairs the application moves most: PNG images (32-bit
// ARGB) into the 32-bit XRGB screen, and 5-6-5 images into XRGB. Beside each, a plain memcpy of
// the same source bytes in the same run; the ratio is the converter's time over memcpy's.
#include "bench/support/bench_clock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <vector>

#include "zovuz/graphics/zovuz_graphics.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Pair
{
    const char *Name;
    COLORDATA Src, Dest;
    int DitherMode;    // a general-path row for comparison
    const char *Goal;  // the time ratio the row must meet, or null
};

void Measure(const Pair &p, int Rounds)
{
    const int srcPitch = kWidth * p.Src.PixelBytes, destPitch = kWidth * p.Dest.PixelBytes;
    std::vector<uint8_t> src((size_t)srcPitch * kHeight), dest((size_t)destPitch * kHeight);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = (uint8_t)(i * 2654435761u >> 13);
    std::vector<uint8_t> copy(src.size());
    ImageRect rect = {0, 0, kWidth, kHeight};

    auto convert = [&] {
        ConvertColorDataBlt(dest.data(), destPitch, &p.Dest, src.data(), srcPitch, &p.Src, nullptr, 0,
                            nullptr, 0, 0, &rect, 0, 0, 0, p.DitherMode, 0, 0, 0, 0);
    };
    convert();
    memcpy(copy.data(), src.data(), src.size());

    // Trials of converter and copy in turn, the best of each, so that a busy machine slows
    // both alike.
    double converter = 1e9, plain = 1e9;
    for (int trial = 0; trial < 5; ++trial) {
        double start = BenchSeconds();
        for (int i = 0; i < Rounds; ++i)
            convert();
        const double c = BenchSeconds() - start;
        start = BenchSeconds();
        for (int i = 0; i < Rounds; ++i) {
            memcpy(copy.data(), src.data(), src.size());
            // Keep the copy from being optimised away.
            copy[(size_t)i % copy.size()] ^= 1;
        }
        const double m = BenchSeconds() - start;
        converter = c < converter ? c : converter;
        plain = m < plain ? m : plain;
    }

    const double megapixels = double(kWidth) * kHeight * Rounds / 1e6;
    const double megabytes = double(src.size()) * Rounds / 1e6;
    printf("%-34s %8.1f Mpixel/s %8.1f MB/s   memcpy %8.1f MB/s   time ratio %.2f", p.Name, megapixels / converter,
           megabytes / converter, megabytes / plain, converter / plain);
    if (p.Goal != nullptr) printf("   goal %s", p.Goal);
    printf("\n");
}

}  // namespace

int main()
{
    COLORDATA argb, xrgb, s565;
    CreateARGB8ColorData(&argb);
    CreateXRGB8ColorData(&xrgb);
    SetColorData(&s565, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0);
    const Pair pairs[] = {
        {"PNG ARGB -> XRGB screen", argb, xrgb, 0, nullptr},
        {"5-6-5 -> XRGB", s565, xrgb, 0, "<= the general path's ratio"},
        {"5-6-5 -> XRGB (general path)", s565, xrgb, COLOR_DITHER_ORDERED, "<= 10"},
    };
    printf("%d x %d pixels per call\n", kWidth, kHeight);
    for (const Pair &p : pairs)
        Measure(p, 8);
    return 0;
}
