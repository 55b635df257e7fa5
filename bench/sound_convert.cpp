// Conversion speed in multiples of real time, read in 4096-byte pieces as a stream sound's
// refill reads: WAVE (16-bit PCM and 32-bit float, one minute of stereo at 44100 Hz, in
// memory), the Ogg Vorbis and Opus test fixtures, and IMA ADPCM and MP3 through the system's
// ACM (the test fixtures' data repeated to about a minute). Beside each, a reference in the
// same run: a plain copy of the same bytes for WAVE, the decoder library or ACM called
// directly for the others; the ratio shows the converter's own cost. Last, 30 s of MP3 (made at
// build time) through ACM, a DirectShow graph and Media Foundation, each against ACM.
#include "bench/support/bench_clock.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>
#include <opusfile.h>

#include "zovuz/core/zovuz_core.h"
#include "zovuz/movie/sound_convert/windows/sound_convert_dshow.h"
#include "zovuz/sound/sound_convert_internal.h"
#include "zovuz/sound/zovuz_sound.h"
#include "zovuz/sound/wave_image_internal.h"

namespace {

const int Piece = 4096;
const int Rounds = 3;

std::vector<unsigned char> ReadFile(const std::string& Path) {
  std::vector<unsigned char> out;
  FILE* f = fopen(Path.c_str(), "rb");
  if (f == nullptr) return out;
  unsigned char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + got);
  fclose(f);
  return out;
}

// One converter pass over the image: seconds, and the seconds of sound it delivered.
double TimeConverter(const std::vector<unsigned char>& Image, double* SoundSeconds, int SkipMask = 0) {
  std::vector<unsigned char> piece(Piece);
  double best = 1e9;
  for (int round = 0; round < Rounds; round++) {
    MemStream* stream = CreateMemStream(Image.data(), (uint32_t)Image.size());
    SoundConvertState conv;
    double start = BenchSeconds();
    if (SetupSoundConvert(&conv, GetMemStreamFunctionTable(), stream, SkipMask, 2, 0) != 0) {
      MemStreamClose(stream);
      return -1;
    }
    int64_t bytes = 0;
    for (int n; (n = RunSoundConvert(&conv, piece.data(), Piece)) > 0;) bytes += n;
    double time = BenchSeconds() - start;
    *SoundSeconds = double(bytes) / conv.OutFormat.nAvgBytesPerSec;
    SoundConvert_Release(&conv);
    MemStreamClose(stream);
    if (time < best) best = time;
  }
  return best;
}

double TimeCopy(const std::vector<unsigned char>& Image) {
  std::vector<unsigned char> piece(Piece);
  double best = 1e9;
  for (int round = 0; round < Rounds; round++) {
    double start = BenchSeconds();
    for (size_t at = 0; at < Image.size(); at += Piece) {
      size_t n = Image.size() - at < (size_t)Piece ? Image.size() - at : Piece;
      memcpy(piece.data(), &Image[at], n);
    }
    double time = BenchSeconds() - start;
    if (piece[0] == 1 && piece[1] == 2) time += 1e-12;  // keep the copies
    if (time < best) best = time;
  }
  return best;
}

// The decoder libraries read straight from memory.
struct MemSource {
  const std::vector<unsigned char>* Data;
  size_t At;
};

size_t SourceRead(void* Buffer, size_t Size, size_t Count, void* S) {
  MemSource* m = (MemSource*)S;
  size_t n = Size * Count, left = m->Data->size() - m->At;
  if (n > left) n = left;
  memcpy(Buffer, m->Data->data() + m->At, n);
  m->At += n;
  return n / Size;
}

int SourceSeek(void* S, ogg_int64_t Offset, int Origin) {
  MemSource* m = (MemSource*)S;
  int64_t base = Origin == SEEK_CUR ? (int64_t)m->At : Origin == SEEK_END ? (int64_t)m->Data->size() : 0;
  int64_t to = base + Offset;
  if (to < 0 || to > (int64_t)m->Data->size()) return -1;
  m->At = (size_t)to;
  return 0;
}

long SourceTell(void* S) { return (long)((MemSource*)S)->At; }
int OpusSourceRead(void* S, unsigned char* Buffer, int Bytes) { return (int)SourceRead(Buffer, 1, Bytes, S); }
opus_int64 OpusSourceTell(void* S) { return ((MemSource*)S)->At; }

double TimeVorbisDirect(const std::vector<unsigned char>& File) {
  std::vector<char> piece(Piece);
  double best = 1e9;
  for (int round = 0; round < Rounds; round++) {
    MemSource source = {&File, 0};
    OggVorbis_File vf;
    ov_callbacks cb = {SourceRead, SourceSeek, nullptr, SourceTell};
    double start = BenchSeconds();
    if (ov_open_callbacks(&source, &vf, nullptr, 0, cb) != 0) return -1;
    int link;
    while (ov_read(&vf, piece.data(), Piece, 0, 2, 1, &link) > 0) {
    }
    ov_clear(&vf);
    double time = BenchSeconds() - start;
    if (time < best) best = time;
  }
  return best;
}

double TimeOpusDirect(const std::vector<unsigned char>& File) {
  std::vector<opus_int16> piece(Piece / 2);
  double best = 1e9;
  for (int round = 0; round < Rounds; round++) {
    MemSource source = {&File, 0};
    OpusFileCallbacks cb = {OpusSourceRead, SourceSeek, OpusSourceTell, nullptr};
    double start = BenchSeconds();
    OggOpusFile* of = op_open_callbacks(&source, &cb, nullptr, 0, nullptr);
    if (of == nullptr) return -1;
    while (op_read(of, piece.data(), (int)piece.size(), nullptr) > 0) {
    }
    op_free(of);
    double time = BenchSeconds() - start;
    if (time < best) best = time;
  }
  return best;
}

std::vector<unsigned char> MinuteOfWave(bool Float) {
  const int rate = 44100, frames = rate * 60;
  std::vector<unsigned char> pcm(frames * (Float ? 8 : 4));
  for (int i = 0; i < frames; i++) {
    float l = 0.5f * sinf(i * 0.0627f), r = 0.4f * sinf(i * 0.0314f);
    if (Float) {
      memcpy(&pcm[i * 8], &l, 4);
      memcpy(&pcm[i * 8 + 4], &r, 4);
    } else {
      int16_t s[2] = {(int16_t)(l * 32767), (int16_t)(r * 32767)};
      memcpy(&pcm[i * 4], s, 4);
    }
  }
  uint16_t align = Float ? 8 : 4;
  SoundWaveFormat fmt = {uint16_t(Float ? 3 : 1),   2, (uint32_t)rate, (uint32_t)rate * align, align,
                         uint16_t(Float ? 32 : 16), 0};
  void* image = nullptr;
  size_t size = 0;
  if (BuildWaveFileImage(&image, &size, &fmt, sizeof fmt, pcm.data(), pcm.size()) != 0) return {};
  std::vector<unsigned char> out((unsigned char*)image, (unsigned char*)image + size);
  DXFREE(image);
  return out;
}

// A fixture's data repeated: IMA ADPCM blocks and MP3 frames stand on their own, so the
// longer file is as valid as the short one. For WAVE the header's data size is rewritten.
std::vector<unsigned char> Repeated(const std::vector<unsigned char>& File, size_t DataStart, int Times) {
  std::vector<unsigned char> out(File.begin(), File.begin() + DataStart);
  for (int i = 0; i < Times; i++) out.insert(out.end(), File.begin() + DataStart, File.end());
  if (DataStart >= 8) {
    uint32_t size = (uint32_t)(out.size() - DataStart);
    memcpy(&out[DataStart - 4], &size, 4);
  }
  return out;
}

// ACM called directly: one stream over the data, pieces of 2048 bytes, no look-ahead.
double TimeAcmDirect(const std::vector<unsigned char>& Image) {
  const SoundAcmApi* api = SoundConvert_GetACM();
  MemStream* stream = CreateMemStream(Image.data(), (uint32_t)Image.size());
  SoundConvertState conv;
  if (api == nullptr || SetupSoundConvert(&conv, GetMemStreamFunctionTable(), stream, 0, 2, 0) != 0) {
    MemStreamClose(stream);
    return -1;
  }
  const SoundConvertAcm& a = conv.Acm;
  std::vector<unsigned char> out(conv.DestBufferSize);
  double best = 1e9;
  for (int round = 0; round < Rounds; round++) {
    double start = BenchSeconds();
    void* s = api->StreamOpen(a.SrcFormat, &conv.OutFormat);
    for (uint32_t at = 0; at < a.SrcDataSize;) {
      uint32_t n = a.SrcDataSize - at < a.SrcPiece ? a.SrcDataSize - at : a.SrcPiece, used = 0, made = 0;
      api->StreamConvert(s, a.SrcData + at, n, out.data(), (uint32_t)out.size(), &used, &made);
      if (used == 0) break;
      at += used;
    }
    api->StreamClose(s);
    double time = BenchSeconds() - start;
    if (time < best) best = time;
  }
  SoundConvert_Release(&conv);
  MemStreamClose(stream);
  return best;
}

void Report(const char* Name, double Time, double Sound, const char* RefName, double RefTime,
            const char* Goal = nullptr) {
  if (Time <= 0 || RefTime <= 0) {
    printf("%-28s failed\n", Name);
    return;
  }
  printf("%-28s %9.1f x real time   (%s %9.1f x real time; converter / reference time %.2f)", Name, Sound / Time,
         RefName, Sound / RefTime, Time / RefTime);
  if (Goal != nullptr) printf("   goal %s", Goal);
  printf("\n");
}

// The converter and its reference timed in turn, the best of each, so that a busy machine
// slows both alike.
template <typename Converter, typename Reference>
void Alternate(Converter C, Reference R, double* Time, double* RefTime) {
  *Time = *RefTime = 1e9;
  for (int turn = 0; turn < 8; turn++) {
    double t = C(), r = R();
    if (t < *Time) *Time = t;
    if (r < *RefTime) *RefTime = r;
  }
}

}  // namespace

int main() {
  double sound = 0, t = 0, ref = 0;
  std::vector<unsigned char> pcm = MinuteOfWave(false), flt = MinuteOfWave(true);
  Alternate([&] { return TimeConverter(pcm, &sound); }, [&] { return TimeCopy(pcm); }, &t, &ref);
  Report("WAVE 16-bit stereo 44100", t, sound, "plain copy", ref);
  Alternate([&] { return TimeConverter(flt, &sound); }, [&] { return TimeCopy(flt); }, &t, &ref);
  Report("WAVE float stereo 44100", t, sound, "plain copy", ref, "<= 2.5");

  // scripts/bench gives the test data folder; by hand, set TARVEX_TEST_DATA_DIR to it.
  const char* dataDir = getenv("TARVEX_TEST_DATA_DIR");
  const std::string data = std::string(dataDir ? dataDir : ".") + "/sound/";
  std::vector<unsigned char> vorbis = ReadFile(data + "vorbis_loop_both.ogg");
  t = TimeConverter(vorbis, &sound);
  Report("Ogg Vorbis mono 44100", t, sound, "vorbisfile", TimeVorbisDirect(vorbis));
  std::vector<unsigned char> opus = ReadFile(data + "opus_stereo_48000.opus");
  t = TimeConverter(opus, &sound);
  Report("Ogg Opus stereo 48000", t, sound, "opusfile", TimeOpusDirect(opus));

  if (InitializeSoundConvert() != 0) {
    printf("ACM not available\n");
    return 0;
  }
  // The IMA fixture's data chunk starts at byte 60 and lasts 2 s; the MP3 fixture lasts 0.5 s.
  std::vector<unsigned char> ima = Repeated(ReadFile(data + "acm_ima_adpcm_stereo.wav"), 60, 30);
  Alternate([&] { return TimeConverter(ima, &sound); }, [&] { return TimeAcmDirect(ima); }, &t, &ref);
  Report("IMA ADPCM stereo 8000", t, sound, "ACM direct", ref, "<= 1.3");
  std::vector<unsigned char> mp3 = Repeated(ReadFile(data + "mp3_cbr_44100_stereo.mp3"), 0, 120);
  Alternate([&] { return TimeConverter(mp3, &sound); }, [&] { return TimeAcmDirect(mp3); }, &t, &ref);
  Report("MP3 128k stereo 44100", t, sound, "ACM direct", ref);

  // 30 s of MP3 through each of the three paths; the ratio is to the ACM path's time.
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  SoundConvert_SetPlatformMethods(&SoundConvertDShowMp3Method, &SoundConvertMFMethod);
  const char* buildDir = getenv("TARVEX_BUILD_DIR");
  std::vector<unsigned char> long_mp3 =
      ReadFile(std::string(buildDir ? buildDir : ".") + "/testdata/sound_platform/tone_30s.mp3");
  const int plain =
      SOUND_CONV_SKIP_WAVE | SOUND_CONV_SKIP_OGG_VORBIS | SOUND_CONV_SKIP_OGG_OPUS | SOUND_CONV_SKIP_ACM_WAVE;
  double acm = TimeConverter(long_mp3, &sound, plain | SOUND_CONV_SKIP_DSHOW_MP3 | SOUND_CONV_SKIP_MF);
  Report("MP3 30 s through ACM", acm, sound, "ACM", acm);
  t = TimeConverter(long_mp3, &sound, plain | SOUND_CONV_SKIP_ACM_MP3 | SOUND_CONV_SKIP_MF);
  Report("MP3 30 s through DirectShow", t, sound, "ACM", acm);
  t = TimeConverter(long_mp3, &sound, plain | SOUND_CONV_SKIP_ACM_MP3 | SOUND_CONV_SKIP_DSHOW_MP3);
  Report("MP3 30 s through Media Found.", t, sound, "ACM", acm);
  SoundConvert_SetPlatformMethods(nullptr, nullptr);
  TerminateSoundConvert();
  return 0;
}
