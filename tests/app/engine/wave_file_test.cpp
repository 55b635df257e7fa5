#include "app/engine/mixer/wave_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> ReadAll(const char* path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path, "rb");
  if (!f) return bytes;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  return bytes;
}

int16_t SampleAt(const std::vector<uint8_t>& file, size_t frame, int channel) {
  size_t at = 44 + frame * 4 + channel * 2;
  return static_cast<int16_t>(file[at] | (file[at + 1] << 8));
}

class WaveFileTest : public ::testing::Test {
 protected:
  void SetUp() override { wave.InitHeader(); }
  void TearDown() override { wave.FreeBuffers(); }
  WaveFile wave;
};

TEST_F(WaveFileTest, OneSecondIsTheCanonicalHeaderAnd176400Bytes) {
  ASSERT_TRUE(wave.AllocBuffers(1));
  EXPECT_EQ(wave.frameCount, 44100);
  EXPECT_EQ(wave.armed, 0);  // the dialog arms it
  ASSERT_TRUE(wave.Write("one_second.wav"));
  std::vector<uint8_t> file = ReadAll("one_second.wav");
  ASSERT_EQ(file.size(), 176444u);
  const uint8_t expected[44] = {
      'R', 'I', 'F', 'F', 0x34, 0xB1, 0x02, 0x00,  // 176436
      'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      16, 0, 0, 0, 1, 0, 2, 0,
      0x44, 0xAC, 0x00, 0x00,                       // 44100
      0x10, 0xB1, 0x02, 0x00,                       // 176400
      4, 0, 16, 0,
      'd', 'a', 't', 'a', 0x10, 0xB1, 0x02, 0x00};  // 176400
  EXPECT_EQ(std::memcmp(file.data(), expected, 44), 0);
  EXPECT_EQ(wave.riffSize, 176436u);
  EXPECT_EQ(wave.byteRate, 176400u);
  EXPECT_EQ(wave.blockAlign, 4);
}

TEST_F(WaveFileTest, PartialCaptureWritesWhatWasCapturedThenSilence) {
  ASSERT_TRUE(wave.AllocBuffers(1));
  wave.armed = 1;
  wave.Capture(1000, -1000);
  wave.Capture(-32768, 32767);
  wave.Capture(7, 8);
  EXPECT_EQ(wave.captureIndex, 3);
  EXPECT_EQ(wave.armed, 1);
  ASSERT_TRUE(wave.Write("partial.wav"));
  std::vector<uint8_t> file = ReadAll("partial.wav");
  ASSERT_EQ(file.size(), 176444u);
  EXPECT_EQ(SampleAt(file, 0, 0), 1000);
  EXPECT_EQ(SampleAt(file, 0, 1), -1000);
  EXPECT_EQ(SampleAt(file, 1, 0), -32768);
  EXPECT_EQ(SampleAt(file, 1, 1), 32767);
  EXPECT_EQ(SampleAt(file, 2, 0), 7);
  EXPECT_EQ(SampleAt(file, 2, 1), 8);
  for (size_t f = 3; f < 44100; f += 997) {
    ASSERT_EQ(SampleAt(file, f, 0), 0);
    ASSERT_EQ(SampleAt(file, f, 1), 0);
  }
}

TEST_F(WaveFileTest, LongRenderIsByteExactAcrossWriteChunks) {
  // Three seconds: many write chunks and a partial last one. Every frame is distinct, so a
  // chunk written twice, skipped or shifted shows.
  ASSERT_TRUE(wave.AllocBuffers(3));
  wave.armed = 1;
  for (int i = 0; i < wave.frameCount; ++i) {
    wave.Capture(static_cast<int16_t>(i * 7 + 1), static_cast<int16_t>(~(i * 3)));
  }
  ASSERT_TRUE(wave.Write("long.wav"));
  std::vector<uint8_t> file = ReadAll("long.wav");
  ASSERT_EQ(file.size(), 44u + 3 * 176400u);
  for (size_t f = 0; f < 3 * 44100; ++f) {
    ASSERT_EQ(SampleAt(file, f, 0), static_cast<int16_t>(f * 7 + 1)) << "frame " << f;
    ASSERT_EQ(SampleAt(file, f, 1), static_cast<int16_t>(~(f * 3))) << "frame " << f;
  }
}

TEST_F(WaveFileTest, NewBuffersDisarmTheCaptureAndRestartItsIndex) {
  // A render started while another one captures must not carry the old index into the new
  // buffers, nor capture before the dialog arms it again.
  ASSERT_TRUE(wave.AllocBuffers(1));
  wave.armed = 1;
  for (int i = 0; i < 10; ++i) wave.Capture(1, 1);
  ASSERT_TRUE(wave.AllocBuffers(2));
  EXPECT_EQ(wave.armed, 0);
  EXPECT_EQ(wave.captureIndex, 0);
  wave.Capture(5, 5);
  EXPECT_EQ(wave.left[0], 0);
}

TEST_F(WaveFileTest, CaptureDisarmsWhenFullAndStoresNothingAfter) {
  ASSERT_TRUE(wave.AllocBuffers(1));
  wave.armed = 1;
  for (int i = 0; i < 44100; ++i) wave.Capture(static_cast<int16_t>(i), static_cast<int16_t>(-i));
  EXPECT_EQ(wave.armed, 0);
  EXPECT_EQ(wave.captureIndex, 0);
  EXPECT_EQ(wave.left[44099], static_cast<int16_t>(44099));
  wave.Capture(555, 555);  // disarmed: ignored
  EXPECT_EQ(wave.left[0], 0);
  EXPECT_EQ(wave.captureIndex, 0);
}

TEST_F(WaveFileTest, RefusedSizesKeepTheEarlierBuffers) {
  ASSERT_TRUE(wave.AllocBuffers(2));
  int16_t* left = wave.left;
  EXPECT_FALSE(wave.AllocBuffers(0));
  EXPECT_FALSE(wave.AllocBuffers(0xFFFFFFFFu));  // overflows 32 bits
  EXPECT_FALSE(wave.AllocBuffers(100000));       // data size no longer fits the header
  EXPECT_EQ(wave.frameCount, 88200);
  EXPECT_EQ(wave.left, left);
  // A new render replaces the buffers with fresh silence.
  wave.left[5] = 9;
  ASSERT_TRUE(wave.AllocBuffers(1));
  EXPECT_EQ(wave.frameCount, 44100);
  EXPECT_EQ(wave.left[5], 0);
}

TEST_F(WaveFileTest, CaptureWithoutBuffersStopsItself) {
  wave.armed = 1;
  wave.Capture(1, 2);
  EXPECT_EQ(wave.armed, 0);
  EXPECT_EQ(wave.captureIndex, 0);
}

TEST_F(WaveFileTest, UncreatableFileIsReportedAndLeavesNothing) {
  ASSERT_TRUE(wave.AllocBuffers(1));
  EXPECT_FALSE(wave.Write("no_such_folder/out.wav"));
  EXPECT_FALSE(wave.Write(nullptr));
  FILE* f = std::fopen("no_such_folder/out.wav", "rb");
  EXPECT_EQ(f, nullptr);
  if (f) std::fclose(f);
}

TEST_F(WaveFileTest, GlobalTemplateStandsBeforeMain) {
  EXPECT_EQ(std::memcmp(g_waveFile.riffWave, "RIFFWAVE", 8), 0);
  EXPECT_EQ(std::memcmp(g_waveFile.fmtData, "fmt data", 8), 0);
  EXPECT_EQ(g_waveFile.sampleRate, 44100);
  EXPECT_EQ(g_waveFile.bits, 16);
  EXPECT_EQ(g_waveFile.channelCount, 2);
  EXPECT_EQ(g_waveFile.formatTag, 1);
  EXPECT_EQ(g_waveFile.left, nullptr);
  EXPECT_EQ(g_waveFile.armed, 0);
}

}  // namespace
