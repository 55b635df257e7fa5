// The constant table of caller-supplied Direct3D 9 shader code. The input is the code, copied to
// a block of exactly its size so that the sanitizer sees any read past it. A table with constants
// must have all its descriptions inside the code.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "fuzz/support/fuzz_check.h"
#include "zovuz/d3d9/shader/d3d9_shader_code.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<unsigned char> code(data, data + size);
  const D3D9ShaderConstantTable table = D3D9ReadShaderConstantTable(code.data(), code.size());
  if (table.ConstantNum == 0) {
    FUZZ_CHECK(table.ConstantInfo == nullptr, "no constants but descriptions");
    return 0;
  }
  const unsigned char *end = code.data() + code.size();
  FUZZ_CHECK(table.ConstantInfo >= code.data(), "descriptions before the code");
  FUZZ_CHECK(table.ConstantInfo + (size_t)table.ConstantNum * D3D9_SHADER_CONSTANT_INFO_SIZE <= end,
             "%d descriptions past the code of %zu bytes", table.ConstantNum, size);
  return 0;
}
