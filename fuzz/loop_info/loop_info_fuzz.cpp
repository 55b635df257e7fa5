// The loop-information file ("<sound>_loop.txt") over any file: parsed from memory and read
// through the file-access table from beside a sound file. A loop found must start before it
// ends, both ways of reading must agree, and a short ASCII text must give the same loop in every
// encoding the reader recognises by its byte-order mark.
#include <stdint.h>
#include <string.h>

#include <vector>

#include "fuzz/native/files_native.h"
#include "fuzz/support/fuzz_check.h"
#include "zovuz/core/file/archive_internal.h"
#include "zovuz/sound/sound_handle_internal.h"

namespace {

// The file read from beside a sound file is cut at this many bytes (a BOM and the text).
constexpr size_t kReadBytes = 1027;
// ASCII texts this short fit the reader's text buffer in every encoding.
constexpr size_t kShortText = 200;

struct Loop {
  int Result, Start, End;
  bool operator==(const Loop &o) const {
    return Result == o.Result && (Result < 0 || (Start == o.Start && End == o.End));
  }
};

Loop Parse(const uint8_t *Data, size_t Size) {
  Loop loop = {0, -7, -7};
  loop.Result = ParseLoopInfo(Data, static_cast<int>(Size), &loop.Start, &loop.End);
  if (loop.Result == 0)
    FUZZ_CHECK(loop.Start >= 0 && loop.Start < loop.End, "loop %d..%d", loop.Start, loop.End);
  else
    FUZZ_CHECK(loop.Result == -1 && loop.Start == -7 && loop.End == -7, "a refused file changed the loop");
  return loop;
}

// Text with a byte-order mark in front: UTF-8, or each byte widened to UTF-16 of either order.
std::vector<uint8_t> WithMark(const uint8_t *Text, size_t Size, int Kind) {
  static const uint8_t marks[3][3] = {{0xEF, 0xBB, 0xBF}, {0xFF, 0xFE}, {0xFE, 0xFF}};
  std::vector<uint8_t> out(marks[Kind], marks[Kind] + (Kind == 0 ? 3 : 2));
  for (size_t i = 0; i < Size; ++i) {
    if (Kind == 2) out.push_back(0);
    out.push_back(Text[i]);
    if (Kind == 1) out.push_back(0);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InitializeArchiveSystem();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TrackedHeapCheck heap;
  const Loop parsed = Parse(data, size);

  wchar_t path[SOUND_LOOP_FILE_PATH_BYTES / sizeof(wchar_t)];
  FUZZ_CHECK(MakeLoopInfoFilePath(L"C:\\fuzz\\bgm.v1\\song.ogg", path, sizeof path) == 0 &&
                 wcscmp(path, L"C:\\fuzz\\bgm.v1\\song_loop.txt") == 0,
             "the loop file's path");
  NativeFilesAdd(path, data, size);
  Loop read = {0, -7, -7};
  read.Result = ReadLoopInfoFile(path, &read.Start, &read.End);
  FUZZ_CHECK(read == Parse(data, size < kReadBytes ? size : kReadBytes), "the file read differs from the parse");
  NativeFilesClear();
  FUZZ_CHECK(NativeFilesOpenStreams() == 0, "the loop file was left open");

  bool ascii = size >= 3 && size <= kShortText && memchr(data, 0, size) == nullptr;
  for (size_t i = 0; ascii && i < size; ++i) ascii = data[i] < 0x80;
  if (ascii)
    for (int kind = 0; kind < 3; ++kind) {
      const std::vector<uint8_t> marked = WithMark(data, size, kind);
      FUZZ_CHECK(Parse(marked.data(), marked.size()) == parsed, "the loop differs with byte-order mark %d", kind);
    }
  heap.Verify();
  return 0;
}
