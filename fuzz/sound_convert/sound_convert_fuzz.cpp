// The sound converters' recognisers and decoders (WAVE, Ogg Vorbis, Ogg Opus, and compressed
// WAVE and MP3 through ACM, here the native stand-in codec) over any file. The input's last
// byte chooses how the file is offered: over a stream that can or cannot tell its size, Vorbis
// at 8 or 16 bits with either open, with or without the WAVE recogniser, with or without a
// pre-decode position. A converter that takes the file must then deliver what its format, total
// and loop points say (the check the in-Wine mutation test makes), read it all in one block, and
// leave the heap as it found it.
#include <stdint.h>

#include <random>
#include <string>
#include <vector>

#include "fuzz/native/acm_native.h"
#include "fuzz/support/fuzz_check.h"
#include "tests/zovuz/sound/sound_convert_check.h"
#include "zovuz/core/file/stream.h"
#include "zovuz/core/zovuz_core.h"
#include "zovuz/sound/sound_convert_internal.h"

namespace {

// A memory stream that may refuse to seek to its end, as some file systems' streams do.
struct FuzzStream {
  MemStream *Memory;
  bool Sizeless;
};

int64_t Tell(void *s) { return MemStreamTell(static_cast<FuzzStream *>(s)->Memory); }
int Seek(void *s, int64_t point, int type) {
  FuzzStream *stream = static_cast<FuzzStream *>(s);
  if (stream->Sizeless && type == FILE_SEEK_END) return -1;
  return MemStreamSeek(stream->Memory, point, type);
}
size_t Read(void *buffer, size_t block, size_t count, void *s) {
  return MemStreamRead(buffer, block, count, static_cast<FuzzStream *>(s)->Memory);
}
int Eof(void *s) { return MemStreamEof(static_cast<FuzzStream *>(s)->Memory); }
int Idle(void *) { return 1; }
int Close(void *) { return 0; }
const StreamFunctionTable kTable = {Tell, Seek, Read, Eof, Idle, Close};

// Output read from one input at most: a few seconds of sound.
const int64_t kReadLimit = int64_t(1) << 24;

}  // namespace

// The decoding libraries lose memory of their own on some broken files: libvorbisfile 1.3.7 a
// 4-byte serial-number list of its header scan (never freed by ov_clear), libopusfile 0.12 the
// comment records of its tag parser (about one input in 7,600 of a campaign; op_free is called
// on every file the converter opened). The leak check passes over allocations made inside those
// two libraries; the converter's own memory is the tracked heap, checked after every input.
extern "C" const char *__lsan_default_suppressions() { return "leak:libvorbisfile.so\nleak:libopusfile.so\n"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  SoundConvert_SetACM(NativeAcm());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[size - 1];
  const std::vector<uint8_t> image(data, data + size - 1);
  TrackedHeapCheck heap;
  FuzzStream stream = {CreateMemStream(image.data(), static_cast<uint32_t>(image.size())), (mode & 1) != 0};
  FUZZ_CHECK(stream.Memory != nullptr, "no memory stream");
  const int skip = (mode & 8) ? SOUND_CONV_SKIP_WAVE : 0;
  SoundConvertState conv;
  if (SetupSoundConvert(&conv, &kTable, &stream, skip, (mode & 2) ? 1 : 2, (mode >> 2) & 1) == 0) {
    std::mt19937 rng(mode);
    // A loop start far enough in sets the ACM method's look-ahead stream running.
    if (mode & 16) SoundConvert_SetPreDecodePosition(&conv, rng() % 20000);
    const bool decoded = conv.Method != SOUND_CONV_METHOD_WAVE;
    const std::string problem = SoundConvertProblem(&conv, image.size(), stream.Sizeless, decoded, rng, kReadLimit);
    FUZZ_CHECK(problem.empty(), "%s", problem.c_str());
    if (SoundConvert_GetDestSize(&conv) <= kReadLimit) {
      SoundWaveFormat format;
      void *all = nullptr;
      int bytes = 0;
      if (SoundConvert_ReadAll(&conv, &format, &all, &bytes) == 0) {
        FUZZ_CHECK(bytes > 0 && bytes <= SoundConvert_GetDestSize(&conv), "read %d bytes of %lld", bytes,
                   static_cast<long long>(SoundConvert_GetDestSize(&conv)));
        DXFREE(all);
      }
    }
    SoundConvert_Release(&conv);
  }
  MemStreamClose(stream.Memory);
  heap.Verify();
  return 0;
}
