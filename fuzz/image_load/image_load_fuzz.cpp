// The image loaders (BMP, JPEG, PNG, TGA, DDS, TIFF, raw BGRA) over any file, through the
// dispatch that tries them in turn. The input's last byte asks for the header only (its low
// bit). An image a loader accepts must be readable to its last described byte (the check the
// in-Wine mutation test makes); a refused one leaves no pixels; the heap ends as it began.
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz/support/fuzz_check.h"
#include "tests/zovuz/graphics/image_check.h"
#include "zovuz/core/file/stream.h"
#include "zovuz/graphics/image/image_load_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const int headerOnly = data[size - 1] & 1;
  const std::vector<uint8_t> file(data, data + size - 1);
  TrackedHeapCheck heap;
  MemStream *memory = CreateMemStream(file.data(), static_cast<uint32_t>(file.size()));
  FUZZ_CHECK(memory != nullptr, "no memory stream");
  ImageStreamPair pair = {*GetMemStreamFunctionTable(), memory};
  ImageLoadParam param;
  InitImageLoadParams(&param, headerOnly);
  BASEIMAGE image = {};
  const int result = LoadBaseImageFromStream(&param, &pair, &image);
  if (result == 0) {
    const std::string problem = ImageProblem(image, headerOnly);
    FUZZ_CHECK(problem.empty(), "%s", problem.c_str());
  } else {
    FUZZ_CHECK(result == -1 && image.Pixels == nullptr, "a refused image: result %d, pixels %p", result, image.Pixels);
  }
  ReleaseBaseImage(&image);
  MemStreamClose(memory);
  heap.Verify();
  return 0;
}
