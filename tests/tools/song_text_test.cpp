// The song writer's source text: each track command becomes the player's bytes, tones and
// samples become their records, and a fault names its line; a bank sample decodes to what was
// asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/engine/mdx/adpcm.h"
#include "tools/song_writer/song_text.h"

namespace {

std::vector<uint8_t> Track(const SongText& Song, size_t Index) {
  return Index < Song.song.tracks.size() ? Song.song.tracks[Index] : std::vector<uint8_t>();
}

TEST(SongText, TrackCommandsBecomeThePlayersBytes) {
  const auto end = [](MdxTrack T) { return T.End().bytes; };
  MdxTrack repeated;
  repeated.RepeatStart(3).Note(48, 24).RepeatEnd(0);
  MdxTrack looped;
  looped.Note(48, 24).Note(50, 24).JumpTo(2);
  const struct {
    const char* name;
    std::string text;
    size_t track;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"settings", "track 0\ntempo=200 tone=3 volume=12\npan=3 gate=7 detune=-64", 0,
       end(MdxTrack().Tempo(200).Tone(3).Volume(12).Pan(3).Gate(7).Detune(-64))},
      {"keys as in MML, with accidentals", "track 0\nc4:48 f+3:24 b-5:12 d+2:256", 0,
       end(MdxTrack().Note(48, 48).Note(42, 24).Note(70, 12).Note(27, 256))},
      {"a long rest in pieces", "track 0\nr:300", 0, end(MdxTrack().Rest(128).Rest(128).Rest(44))},
      {"repeat", "track 0\n[3 c4:24 ]", 0, end(repeated)},
      {"loop and jump: no end", "track 0\nc4:24 loop d4:24 jump", 0, looped.bytes},
      {"samples and a tie", "track 8\ns2:48 tie s2:24", 8, end(MdxTrack().Sample(2, 48).Tie().Sample(2, 24))},
      {"tracks not named are empty", "track 2\nr:1", 1, end(MdxTrack())},
      {"comments and blank lines", "# a song\n\ntrack 0   # the lead\nc4:24 # a note\n", 0,
       end(MdxTrack().Note(48, 24))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SongText song;
    std::string error;
    ASSERT_TRUE(ReadSongText(c.text, song, error)) << error;
    EXPECT_TRUE(song.hasTracks);
    EXPECT_EQ(c.bytes, Track(song, c.track));
  }
}

TEST(SongText, TitleBankTonesAndSamples) {
  const std::string text =
      "title A # B  song\nbank drums\n"
      "tone 5 4 6 15\n"
      "op 31 8 0 6 2 30 0 2 3 0\nop 31 10 0 7 3 0 0 1 0 1\n"
      "op 30 6 0 6 2 28 3 4 7 0\nop 29 12 2 7 4 127 0 15 0 3\n"
      "sample 7 tone 0.5 440\nwav 7 a.wav\n";
  SongText song;
  std::string error;
  ASSERT_TRUE(ReadSongText(text, song, error)) << error;
  EXPECT_EQ("A # B  song\r\n", song.song.title);
  EXPECT_EQ("drums", song.song.bankName);
  EXPECT_FALSE(song.hasTracks);
  MdxToneFields tone;
  tone.number = 5, tone.connection = 4, tone.feedback = 6, tone.slotMask = 15;
  const int ops[4][10] = {{31, 8, 0, 6, 2, 30, 0, 2, 3, 0},
                          {31, 10, 0, 7, 3, 0, 0, 1, 0, 1},
                          {30, 6, 0, 6, 2, 28, 3, 4, 7, 0},
                          {29, 12, 2, 7, 4, 127, 0, 15, 0, 3}};
  for (int i = 0; i < 4; ++i) {
    MdxOperatorFields& o = tone.op[i];
    const int* v = ops[i];
    o.ar = v[0], o.d1r = v[1], o.d2r = v[2], o.rr = v[3], o.d1l = v[4], o.tl = (int8_t)v[5], o.ks = v[6];
    o.mul = v[7], o.dt1 = v[8], o.dt2 = v[9];
  }
  ASSERT_EQ(1u, song.song.tones.size());
  EXPECT_EQ(PackMdxTone(tone), song.song.tones[0]);
  ASSERT_EQ(1u, song.samples.count(7));
  EXPECT_EQ("tone", song.samples[7].kind);
  EXPECT_EQ(440.0, song.samples[7].hertz);
  ASSERT_EQ(1u, song.waves.size());
  EXPECT_EQ("a.wav", song.waves[0].second);
}

TEST(SongText, AFaultNamesItsLine) {
  const struct {
    std::string text, error;
  } cases[] = {
      {"title x\nsong y", "line 2: \"song\" outside a track"},
      {"track 0\nc0:24", "line 2: the key of \"c0:24\" is outside 3-98"},
      {"track 0\nc4:24 jump", "line 2: \"jump\" without \"loop\" before it"},
      {"track 0\nloop c4:24 jump d4:24", "line 2: \"d4:24\" after the jump is never played"},
      {"track 0\n]", "line 2: \"]\" without \"[\""},
      {"track 0\nvolume=16", "line 2: volume \"16\" is not a number from 0 to 15"},
      {"track 1\ntrack 0", "line 2: tracks come in rising order, once each"},
      {"c4:24", "line 1: \"c4:24\" outside a track"},
      {"tone 0 4 6 15\nop 31 8 0 6 2 30 0 2 3 0\ntrack 0", "line 3: tone 0 has 1 op lines, not 4"},
      {"sample 0 drum 0.2", "line 1: \"drum\" is not kick, snare, hat or tone"},
      {"wav 3 x.wav", "at the end: wav names sample 3, not defined"},
      {"track 0\n[2 c4:24", "at the end: a repeat \"[\" of the track is not closed"},
  };
  for (const auto& c : cases) {
    SongText song;
    std::string error;
    EXPECT_FALSE(ReadSongText(c.text, song, error)) << c.text;
    EXPECT_EQ(c.error, error) << c.text;
  }
}

// The bank's ADPCM, decoded as the player decodes it, is the sample asked for: a 1 kHz tone
// crosses zero rising 1000 times a second, at a steady level.
TEST(SongText, ABankSampleDecodesToItsTone) {
  SampleRecipe recipe;
  recipe.kind = "tone", recipe.seconds = 0.5, recipe.hertz = 1000.0;
  const std::vector<uint8_t> bank = BuildSampleBank({{3, recipe}});
  ASSERT_GE(bank.size(), 768u);
  const uint32_t offset = bank[24] << 24 | bank[25] << 16 | bank[26] << 8 | bank[27];
  const uint32_t length = bank[28] << 24 | bank[29] << 16 | bank[30] << 8 | bank[31];
  ASSERT_EQ(768u, offset);
  ASSERT_EQ(3900u, length);  // 7800 samples at 15,600 Hz, two to a byte
  AdpcmDecoder decoder;
  decoder.Init();
  std::vector<int16_t> samples(2 * length);
  decoder.Decode(bank.data() + offset, 2 * length, samples.data());
  int rising = 0;
  double energy = 0;
  for (size_t i = 1560; i < samples.size(); ++i) {  // after the first 0.1 s
    rising += samples[i - 1] < 0 && samples[i] >= 0;
    energy += double(samples[i]) * samples[i];
  }
  EXPECT_NEAR(400, rising, 2);  // 0.4 s
  const double rms = std::sqrt(energy / (samples.size() - 1560));
  EXPECT_NEAR(0.8 * 900 * 16 / std::sqrt(2.0), rms, 1000);  // the tone's level, as 12-bit units x 16
}

}  // namespace
