// The WAVE image writer: image layout and sizes, and images read back by the converter.
#include <gtest/gtest.h>

#include <string.h>

#include "tests/zovuz/sound/sound_test_support.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/wave_image_internal.h"

namespace {

uint32_t Le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

TEST(WaveImage, Layout)
{
    const SoundWaveFormat fmt = {1, 1, 8000, 16000, 2, 16, 0};
    for (size_t dataSize : {4u, 0u, 3u}) {
        SCOPED_TRACE(dataSize);
        const uint8_t samples[4] = {1, 2, 3, 4};
        void *image = nullptr;
        size_t size = 0;
        ASSERT_EQ(0, BuildWaveFileImage(&image, &size, &fmt, sizeof fmt, samples, dataSize));
        const uint8_t *p = (const uint8_t *)image;
        ASSERT_EQ(46 + dataSize, size);
        EXPECT_EQ(0, memcmp(p, "RIFF", 4));
        EXPECT_EQ(size - 8, Le32(p + 4));
        EXPECT_EQ(0, memcmp(p + 8, "WAVEfmt ", 8));
        EXPECT_EQ(18u, Le32(p + 16));
        EXPECT_EQ(0, memcmp(p + 20, &fmt, 18));
        EXPECT_EQ(0, memcmp(p + 38, "data", 4));
        EXPECT_EQ(dataSize, Le32(p + 42));
        EXPECT_EQ(0, memcmp(p + 46, samples, dataSize));
        DXFREE(image);
    }
}

TEST(WaveImage, RefusesMissingArguments)
{
    const SoundWaveFormat fmt = {1, 1, 8000, 16000, 2, 16, 0};
    void *image = (void *)1;
    size_t size = 77;
    EXPECT_EQ(-1, BuildWaveFileImage(nullptr, &size, &fmt, sizeof fmt, nullptr, 0));
    EXPECT_EQ(-1, BuildWaveFileImage(&image, &size, &fmt, sizeof fmt, nullptr, 4));
    EXPECT_EQ(-1, BuildWaveFileImage(&image, &size, nullptr, 18, nullptr, 0));
    EXPECT_EQ((void *)1, image);
    EXPECT_EQ(77u, size);
}

// Decoded sound written as an image reads back unchanged: format, bytes, and an odd-sized
// 8-bit data chunk without its pad byte.
TEST(WaveImage, ConverterReadsImagesBack)
{
    struct Case {
        const char *Name;
        Bytes Source;
    };
    const Case cases[] = {
        {"float source", ReadSoundFixture("float32_mono.wav")},
        {"Vorbis source", ReadSoundFixture("vorbis_loop_length.ogg")},
        {"odd 8-bit data", BuildRiffWave({{"fmt ", PlainFormatBody(1, 1, 8000, 8)}, {"data", Bytes{10, 20, 30}}})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        MemConverter first(c.Source);
        ASSERT_EQ(0, first.Setup());
        SoundWaveFormat fmt;
        void *pcm = nullptr;
        int pcmSize = 0;
        ASSERT_EQ(0, SoundConvert_ReadAll(&first.Conv, &fmt, &pcm, &pcmSize));

        void *image = nullptr;
        size_t imageSize = 0;
        ASSERT_EQ(0, BuildWaveFileImage(&image, &imageSize, &fmt, sizeof fmt, pcm, (size_t)pcmSize));
        MemConverter again(Bytes((uint8_t *)image, (uint8_t *)image + imageSize));
        ASSERT_EQ(0, again.Setup());
        EXPECT_EQ(SOUND_CONV_METHOD_WAVE, again.Conv.Method);
        SoundWaveFormat back = again.Format();
        EXPECT_EQ(0, memcmp(&fmt, &back, sizeof fmt));
        EXPECT_EQ(Bytes((uint8_t *)pcm, (uint8_t *)pcm + pcmSize), again.ReadRest());
        DXFREE(image);
        DXFREE(pcm);
    }
}

}  // namespace
