// Writes the seed corpora of the fuzz targets: songs, banks, archives, texts and formats made
// by the same builders as the in-Wine tests. scripts/fuzz --seeds runs it over fuzz/; the
// results are committed (seed-*), beside the regression inputs the campaigns found.
//
//   make_seeds <fuzz folder>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_text.h"
#include "tools/song_writer/mdx_builder.h"
#include "tests/zovuz/graphics/font/font_data_builder.h"
#include "tests/zovuz/graphics/image_seeds.h"
#include "tests/zovuz/sound/wave_builder.h"
#include "tools/archive_writer/archive_writer.h"
#include "zovuz/core/file/archive.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/core/text/char_code.h"
#include "zovuz/core/text/char_code_internal.h"

namespace {

typedef std::vector<uint8_t> Bytes;

std::string g_root;
int g_written = 0;

void Write(const std::string &target, const std::string &name, const Bytes &data) {
  const std::string path = g_root + "/" + target + "/corpus/seed-" + name;
  FILE *f = fopen(path.c_str(), "wb");
  if (f == nullptr || fwrite(data.data(), 1, data.size(), f) != data.size() || fclose(f) != 0) {
    fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
    exit(1);
  }
  g_written++;
}

Bytes Text(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes Noise(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes out(size);
  for (auto &b : out) b = static_cast<uint8_t>(random());
  return out;
}

Bytes ReadFile(const std::string &path) {
  FILE *f = fopen(path.c_str(), "rb");
  if (f == nullptr) {
    fprintf(stderr, "make_seeds: cannot read %s\n", path.c_str());
    exit(1);
  }
  Bytes data;
  for (int c; (c = fgetc(f)) != EOF;) data.push_back(static_cast<uint8_t>(c));
  fclose(f);
  return data;
}

// ---- MML texts: one per family of commands, as a user writes them.
void MmlSeeds() {
  const char *const texts[][2] = {
      {"notes", "t150 o4 l8 cdef g4 r4 c4.. d8^16 e*30 f+ g- a# b r2 < c > c"},
      {"chords", "'ceg'4 & 'ce'4 'c>c<'2 & c"},
      {"tuplets", "l4 {ccc}4 {cdefg}2 {c{dd}e}4 c"},
      {"repeats", "|:3 c | d :| |:2 |:2 e :| :| [d] f [l] g"},
      {"tracks", "(t1) o5 c d (t9) .a=kit.zpd\r\n o2 c c c (t16) z1,2,3 c c z c (t17) c"},
      {"tone", "(@1,31,4,2,4,11,26,1,1,6,0,0,31,0,0,4,0,47,1,8,0,2,0,31,31,8,4,0,41,1,1,7,0,0,20,31,3,6,0,0,"
               "1,2,0,0,0,2,7,15) @1 c"},
      {"effects", "(x3,1,2,3,4,5,6,7,8,9,10,11,12,13) @e3 @t200 t+10 @q3 c @p-2 @p+ k-3 c"},
      {"volume", "v12 c ~2 c _3 c @v100 c (v1,2,3,4,5,0) c @m9 c @h1,2 c @s3 c"},
      {"portamento", "(c4,d) (c,o6e) p1 c p2 c p3 c q4 c @q3 c s1,2 c"},
      {"directives", ".c A title line\r\n.ct\r\n.s 1,2\r\n.o r\r\n< c > c .x\r\n"},
      {"comments", "c / a comment with Shift JIS \x83\x5C text\r\n d ; e\r\n"},
      {"loop", "c d L e f @l0 g @r a"},
  };
  for (const auto &t : texts) Write("mml_compile", t[0], Text(t[1]));
  // Texts at the limits: a track filled past its events, repeats that expand past them, and
  // lengths that reach the last tick.
  std::string full = "l64 ", passes = "|:999 cdefgab'ceg' :| d", late = "";
  for (int i = 0; i < 10010; ++i) full += 'c';
  for (int i = 0; i < 1002; ++i) late += "c*999999";
  Write("mml_compile", "limit_track_full", Text(full));
  Write("mml_compile", "limit_repeat_passes", Text(passes));
  Write("mml_compile", "limit_last_tick", Text(late + " d"));
  // The in-Wine tests' song files, as users wrote them.
  for (const char *name : {"title_solo", "tones", "melody"}) {
    Write("mml_compile", std::string("song_") + name, ReadFile(g_root + "/../tests/data/zms/" + name + ".zms"));
  }
}

// ---- MDX songs, with and without a bank after the marker.
void MdxSeeds() {
  MdxToneFields tone;
  tone.number = 1;
  tone.connection = 4;
  tone.feedback = 5;
  tone.slotMask = 15;
  for (int i = 0; i < 4; ++i) {
    tone.op[i].ar = 31;
    tone.op[i].tl = static_cast<int8_t>(20 + i);
    tone.op[i].mul = static_cast<uint8_t>(i + 1);
  }
  const Bytes marker = Text("#PDXBANK");
  const Bytes adpcm = Noise(200, 5);

  MdxBuilder plain;
  plain.title = "Seed song\r\n";
  plain.tracks = {Bytes({0x80, 0x10, 0xF1, 0x00}), Bytes({0x00, 0x30, 0xE8, 0x01, 0xF1, 0x00})};
  plain.tones = {PackMdxTone(tone)};
  Write("mdx_load", "plain", plain.Build());

  MdxBuilder many = plain;
  many.tracks.clear();
  for (int t = 0; t < 16; ++t) many.tracks.push_back(Bytes({static_cast<uint8_t>(t), 0x20, 0xF0, 0x05, 0xF1, 0x00}));
  for (int n = 2; n < 6; ++n) {
    tone.number = static_cast<uint8_t>(n);
    many.tones.push_back(PackMdxTone(tone));
  }
  Write("mdx_load", "sixteen_tracks", many.Build());

  MdxBuilder banked = plain;
  banked.bankName = "drums";
  Bytes song = banked.Build();
  Bytes withBank = song;
  withBank.insert(withBank.end(), marker.begin(), marker.end());
  Bytes bank = BuildPdx({{0, adpcm}, {5, Bytes(adpcm.begin(), adpcm.begin() + 40)}, {95, Bytes(3, 0x77)}});
  withBank.insert(withBank.end(), bank.begin(), bank.end());
  Write("mdx_load", "with_bank", withBank);
  Write("mdx_load", "bank_missing", song);

  Bytes broken = withBank;
  SetPdxEntry(bank, 1, 768 + 100, 0xFFFFFFF0u);
  SetPdxEntry(bank, 2, 0xFFFFFF00u, 16);
  broken = song;
  broken.insert(broken.end(), marker.begin(), marker.end());
  broken.insert(broken.end(), bank.begin(), bank.end());
  Write("mdx_load", "bank_entries_outside", broken);

  MdxBuilder raw = banked;
  raw.title = std::string(255, 'x');
  raw.bankName = "C:\\songs\\deep\\folder\\bank.name.pdx";
  Write("mdx_load", "long_title_and_path", raw.Build());
}

// ---- archives: every version, packed or not, with either key; the input is the archive
// unscrambled with the target's key, then the mode byte.
void ArchiveSeeds() {
  std::vector<ArchiveWriterItem> items;
  auto add = [&](const char *path, Bytes data) {
    ArchiveWriterItem item;
    item.Path = path;
    item.Data = std::move(data);
    item.LastWriteTime = 0x01D9000000000000ull;
    items.push_back(item);
  };
  Bytes repeated;
  for (int i = 0; i < 600; ++i) repeated.push_back(static_cast<uint8_t>("tarvex archive "[i % 15]));
  add("top.txt", Text("top level text"));
  add("Sub/Inner.bin", repeated);
  add("Sub/deeper/leaf.dat", Noise(300, 2));
  add("\x89\xb9\x8a\x79/\x8b\xc8.bin", Text("code page 932 names"));  // "音楽/曲.bin"
  add("empty.bin", Bytes());
  ArchiveWriterItem folder;
  folder.Path = "Sub/void";
  folder.Directory = true;
  items.push_back(folder);

  unsigned char key[ARCHIVE_KEY_BYTES];
  MakeArchiveKey(nullptr, key);
  int mode = 0;
  for (int version : {2, 5, 6}) {
    for (bool pack : {false, true}) {
      for (bool fallback : {false, true}) {
        ArchiveWriterOptions options;
        options.Version = version;
        options.Pack = pack;
        options.FallbackKey = fallback;
        Bytes image;
        std::string error;
        if (BuildArchive(items, options, image, &error) != 0) {
          fprintf(stderr, "make_seeds: %s\n", error.c_str());
          exit(1);
        }
        ArchiveKeyConvert(image.data(), image.size(), 0, key);
        image.push_back(static_cast<uint8_t>(mode++ % 6));
        Write("archive", "v" + std::to_string(version) + (pack ? "_packed" : "") + (fallback ? "_fallback" : ""),
              image);
      }
    }
  }
}

// ---- character codes: the same texts in every code, and broken ones.
void CharCodeSeeds() {
  const char *const utf8Texts[] = {
      "plain ASCII text", "\xe6\x9b\xb2\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf\\\xe9\x9f\xb3\xe6\xa5\xbd.bin",
      "caf\xc3\xa9 \xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xed\x95\x9c\xea\xb8\x80 \xe4\xb8\xad\xe6\x96\x87",
      "emoji \xf0\x9f\x8e\xb5 and C:\\path\\file.ext",
  };
  // The targets' codes by their selectors, without the unsupported one at the end.
  const int *const codes = kFuzzCharCodes;
  const int codeCount = kFuzzCharCodeCount - 1;
  int n = 0;
  for (const char *utf8 : utf8Texts) {
    for (int c = 0; c < codeCount; ++c, ++n) {
      char converted[512] = {};
      const int bytes = ConvertCharCode(utf8, CHAR_CODE_UTF8, converted, sizeof converted, codes[c]);
      const int unit = GetCharCodeUnitSize(codes[c]);
      // Selectors: this code, another code, a room that cuts the text; then the text, the
      // separator and a pattern taken from the text's start.
      Bytes seed = {static_cast<uint8_t>(c), static_cast<uint8_t>((c * 5 + n) % codeCount),
                    static_cast<uint8_t>(n * 7 % 64)};
      seed.insert(seed.end(), converted, converted + (bytes > unit ? bytes - unit : 0));
      seed.push_back(0xFF);
      seed.push_back(0xFE);
      seed.insert(seed.end(), converted, converted + (bytes > 2 * unit ? 2 * unit : 0));
      Write("char_code", "text" + std::to_string(n), seed);
    }
  }
  Write("char_code", "utf8_cut", Bytes({7, 5, 9, 'a', 0xE3, 0x81, 0, 'b'}));
  Write("char_code", "lone_surrogates", Bytes({5, 10, 16, 0x00, 0xD8, 'a', 0, 0x00, 0xDC, 0xFF, 0xFE, 0x00, 0xDC}));
  Write("char_code", "sjis_lead_at_end", Bytes({0, 7, 3, 'x', 0x83}));
}

// ---- formats: free formats with their selectors, and built ones.
void FormatSeeds() {
  const char *const formats[] = {
      "Tr%02dEf%02Num", "%s %S %5.2f %e %-10s|%+d %x %p %c", "%08.3f %g %G %a %A %.0f %.0e",
      "%lld %I64d %I32u %hd %ld %llx %#o %#x", "%*d %-*.*s %.*f %5-d %Z %n %%", "%ls %hs %lc %hc %C %S",
  };
  // Output codes by their place in the targets' list: 932, UTF-8, UTF-16LE, UTF-32BE, 1252.
  const uint8_t outputCodes[] = {0, 7, 5, 11, 4};
  const char *const strings[] = {"name", "\x83\x65\x83\x58\x83\x67", "", "wide"};
  int n = 0;
  for (const char *format : formats) {
    // The free form: the selectors, the four strings from the front (their lengths are read from
    // the back, first string last), then the format.
    Bytes seed = {static_cast<uint8_t>(outputCodes[n % 5] << 1), 0, 5, static_cast<uint8_t>(n & 1), 200, 0};
    for (const char *text : strings) seed.insert(seed.end(), text, text + strlen(text));
    seed.insert(seed.end(), format, format + strlen(format));
    for (int i = 3; i >= 0; --i) seed.push_back(static_cast<uint8_t>(strlen(strings[i])));
    Write("format_print", "free" + std::to_string(n++), seed);
  }
  for (unsigned s = 0; s < 8; ++s) {
    Bytes seed = Noise(96 + 32 * s, 100 + s);
    seed[0] = static_cast<uint8_t>((s * 3 % 12) << 1 | 1);
    seed[4] = 255;
    seed[5] = 7;
    Write("format_print", "built" + std::to_string(s), seed);
  }
}

// ---- sound files: the in-Wine tests' fixtures, and WAVE layouts with loop points; the last
// byte chooses how the target offers them.
void SoundSeeds() {
  const char *const fixtures[] = {"pcm8_mono.wav",          "pcm16_stereo.wav",         "float32_mono.wav",
                                  "extensible_pcm24_mono.wav", "opus_stereo_48000.opus",  "vorbis_chained_mixed.ogg",
                                  "vorbis_loop_length.ogg",  "vorbis_loop_tags_repeated.ogg", "acm_alaw_mono.wav",
                                  "acm_gsm_mono.wav",        "acm_ms_adpcm_mono.wav",    "mp3_cbr_44100_stereo.mp3",
                                  "mp3_id3_tags.mp3"};
  uint8_t mode = 0;
  for (const char *name : fixtures) {
    Bytes file = ReadFile(g_root + "/../tests/data/sound/" + name);
    // The mode keeps the WAVE recogniser for WAVE files (bit 3 clear) and varies the rest.
    file.push_back(static_cast<uint8_t>(mode & 7));
    mode = static_cast<uint8_t>(mode + 3);
    Write("sound_convert", name, file);
  }
  const Bytes ramp = Noise(600, 9);
  Bytes listed = BuildRiffWave({{"LIST", Bytes(5, 'i')}, {"fmt ", PlainFormatBody(1, 2, 22050, 16)}, {"data", ramp},
                                {"smpl", SampleLoopBody(1, 10, 100)}});
  listed.push_back(0);
  Write("sound_convert", "wave_list_loop.wav", listed);
  Bytes late = BuildRiffWave({{"smpl", SampleLoopBody(1, 0, 40)}, {"fmt ", PlainFormatBody(1, 3, 8000, 24)},
                              {"fact", Bytes(4, 0)}, {"data", Bytes(ramp.begin(), ramp.begin() + 360)}});
  late.push_back(1);  // over a stream that cannot tell its size
  Write("sound_convert", "wave_24bit_sizeless.wav", late);
  Bytes float64 = BuildRiffWave({{"fmt ", FormatBody(3, 1, 1000, 8000, 8, 64)}, {"data", ramp}});
  float64.push_back(2);
  Write("sound_convert", "wave_float64.wav", float64);
}

// ---- sample lists and banks.
void PutBe(Bytes &out, size_t at, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * (bytes - 1 - i)));
}

// A bank: the 8-byte header, one record per sample (key, offset from the record's size field,
// size), the end key, then the data in order.
Bytes Bank(const std::vector<std::pair<int, Bytes>> &samples, bool end = true) {
  Bytes out(8 + 10 * samples.size() + (end ? 2 : 0), 0);
  out[0] = 0x10;
  for (size_t i = 0; i < samples.size(); ++i) {
    const size_t record = 8 + 10 * i;
    PutBe(out, record, static_cast<uint64_t>(samples[i].first), 2);
    PutBe(out, record + 2, out.size() - (record + 6), 4);
    PutBe(out, record + 6, samples[i].second.size(), 4);
    out.insert(out.end(), samples[i].second.begin(), samples[i].second.end());
  }
  if (end) PutBe(out, 8 + 10 * samples.size(), 0xFFFF, 2);
  return out;
}

void SampleSeeds() {
  Write("sample_load", "list", Text("Zpdlist\r\n4 c kick.wav\r\n4 d+ snare.wav\r\n5 b- hat.wav\r\n-1 g low.wav\r\n"));
  Write("sample_load", "list_odd_entries",
        Text("Z        \t3 x bad.wav\n 9999999999 c big.wav\n2 C+ \x83\x5C\x83\x5C.wav 7 e"));
  Write("sample_load", "bank", Bank({{48, Noise(64, 1)}, {50, Noise(10, 2)}, {0, Bytes()}, {0xFFFE, Noise(3, 3)}}));
  Write("sample_load", "bank_no_end", Bank({{1, Noise(20, 4)}, {2, Noise(20, 5)}}, false));
  Bytes outside = Bank({{60, Noise(16, 6)}, {61, Noise(16, 7)}});
  PutBe(outside, 8 + 2, 0xFFFFFFF0u, 4);   // the first sample starts beyond the end
  PutBe(outside, 18 + 6, 0x7FFFFFFFu, 4);  // the second runs far past it
  Write("sample_load", "bank_outside", outside);
}

// ---- loop files: the forms a user writes, in each encoding the reader recognises.
void LoopSeeds() {
  const std::string texts[] = {
      "LOOPSTART=44100\r\nLOOPLENGTH=88200\r\n", "LOOPSTART=1000 LOOPEND=2000", "LOOPSTART = 0\nLOOPEND = 1\n",
      "; comment\nLOOPSTART=2147483646\nLOOPEND=2147483647\n", "LOOPSTART=500\nLOOPEND=500\n",
      "LOOPSTART=1\nLOOPLENGTH=2147483647\n", "LOOPEND=10\nLOOPSTART=1\n",
  };
  int n = 0;
  for (const std::string &text : texts) {
    Write("loop_info", "text" + std::to_string(n), Text(text));
    Bytes utf8 = {0xEF, 0xBB, 0xBF}, utf16le = {0xFF, 0xFE}, utf16be = {0xFE, 0xFF};
    for (char c : text) {
      utf8.push_back(static_cast<uint8_t>(c));
      utf16le.insert(utf16le.end(), {static_cast<uint8_t>(c), 0});
      utf16be.insert(utf16be.end(), {0, static_cast<uint8_t>(c)});
    }
    Write("loop_info", "utf8_" + std::to_string(n), utf8);
    Write("loop_info", "utf16le_" + std::to_string(n), utf16le);
    Write("loop_info", "utf16be_" + std::to_string(n++), utf16be);
  }
  // Shift_JIS text before the keys, and keys past what the reader converts.
  Write("loop_info", "sjis_title", Text("\x83\x8b\x81\x5b\x83\x76 LOOPSTART=10 LOOPEND=20"));
  Write("loop_info", "keys_past_the_text", Text(std::string(600, ' ') + "LOOPSTART=10 LOOPEND=20"));
  Write("loop_info", "longer_than_read", Text("LOOPSTART=10 LOOPEND=20" + std::string(1500, ' ')));
}

// ---- font data images: each format, packed and plain glyphs, codes past 0xFFFF, a repeated
// code; the first byte is the edge size.
void FontSeeds() {
  auto write = [](const std::string &name, int edge, const FontDataBuilder &font) {
    Bytes seed = {static_cast<uint8_t>(edge)};
    const Bytes image = font.Build();
    seed.insert(seed.end(), image.begin(), image.end());
    Write("font_data", name, seed);
  };
  for (int format = 0; format < 3; ++format) {
    FontDataBuilder font;
    font.ImageFormat = format;
    font.CellSide = 12;
    font.LineHeight = 12;
    font.Chars.push_back(SolidChar('A', format, 5, 7));
    FontDataChar packed = SolidChar('B', format, 9, 11);
    packed.Packed = true;
    packed.Image[3] = 0;
    font.Chars.push_back(packed);
    FontDataChar wide = SolidChar(0x1F600, format, 12, 12);
    wide.X = -2;
    wide.Y = 5;
    font.Chars.push_back(wide);
    font.Chars.push_back(SolidChar(' ', format, 0, 0));
    font.Chars.push_back(SolidChar('A', format, 2, 3));
    for (int edge = 0; edge < 4; edge += 2 - (format == 0))
      write("format" + std::to_string(format) + "_edge" + std::to_string(edge), edge, font);
  }
  write("many_chars", 0, ManyCharsFont(0x3040, 80));
  FontDataBuilder big;
  big.CellSide = 64;
  big.LineHeight = 64;
  FontDataChar large = SolidChar(0x4E00, 0, 100, 90);
  large.Packed = true;
  big.Chars.push_back(large);
  write("glyph_larger_than_cell", 1, big);
  // Broken: glyphs whose rows run past the data, the last one's pitch short of its width, high
  // codes the head does not count.
  FontDataBuilder broken = ManyCharsFont('a', 3);
  broken.Chars[1].Pitch = 0;
  broken.Chars[2].Height = 9;
  write("glyph_past_the_data", 0, broken);
  FontDataChar shortPitch = SolidChar('d', 0, 16, 2);
  shortPitch.Pitch = 1;
  shortPitch.Image.resize(2);
  broken = ManyCharsFont('a', 2);
  broken.Chars.push_back(shortPitch);
  write("pitch_short_of_width", 0, broken);
  broken = ManyCharsFont(0x10000, 3);
  broken.HighNumOverride = 2;
  write("high_codes_uncounted", 2, broken);
}

// ---- images: the in-Wine mutation test's files of every format; the last byte asks for the
// whole image (0) or, for every third, the header only (1).
void ImageSeeds() {
  int n = 0;
  for (const ImageSeedSet &set : ImageLoaderSeeds()) {
    int i = 0;
    for (Bytes file : set.Seeds) {
      file.push_back(static_cast<uint8_t>(n++ % 3 == 2));
      Write("image_load", std::string(set.Name) + std::to_string(i++), file);
    }
  }
}

// The track list's command printer: a track number and volume state, then a track holding every
// opcode with its parameters, one cut short, and notes on an FM and a PCM track.
void MdxTextSeeds() {
  Bytes every = {0x02, 100};
  for (int op = 0xE0; op <= 0xFF; ++op) {
    every.push_back(static_cast<uint8_t>(op));
    for (uint8_t p : {0x81, 0xFF, 0xFE, 0x10, 0xF7}) every.push_back(p);
  }
  Write("mdx_text", "every", every);
  Write("mdx_text", "cut", Bytes{0x00, 0, 0xEB, 0x03});
  Write("mdx_text", "notes", Bytes{0x19, 15, 0x80, 47, 0x81, 47, 0xDF, 0, 0x00, 0xFB, 16, 0xF9, 0xFA});
}

// Direct3D 9 shader code: ps_3_0 with a constant table of two constants (names, a type record, a
// default value), and code without the table's comment.
void ShaderCodeSeeds() {
  const uint32_t commentWords = 26;
  Bytes code(8 + commentWords * 4 + 4, 0);
  auto put = [&code](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) code[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 0xFFFF0300);
  put(4, 0xFFFE | commentWords << 16);
  memcpy(&code[8], "CTAB", 4);
  put(24, 2);
  for (int i = 0; i < 2; ++i) {
    put(40 + 20 * i, 68 + 2 * i);
    put(52 + 20 * i, 76);
    put(56 + 20 * i, i ? 92 : 0);
  }
  memcpy(&code[80], "a\0bc", 5);
  put(code.size() - 4, 0x0000FFFF);
  Write("d3d9_shader_code", "two_constants", code);
  Write("d3d9_shader_code", "no_comment", Bytes{0x00, 0x03, 0xFF, 0xFF, 0x51, 0, 0, 0, 0xFF, 0xFF, 0, 0});
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_seeds <fuzz folder>\n");
    return 2;
  }
  g_root = argv[1];
  MmlSeeds();
  MdxSeeds();
  ArchiveSeeds();
  CharCodeSeeds();
  FormatSeeds();
  SoundSeeds();
  SampleSeeds();
  LoopSeeds();
  FontSeeds();
  ImageSeeds();
  MdxTextSeeds();
  ShaderCodeSeeds();
  printf("make_seeds: %d seeds written\n", g_written);
  return 0;
}
