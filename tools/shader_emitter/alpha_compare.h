// The alpha test by comparison number that the pixel shaders share: D3D11_COMPARISON_* numbering
// (1 never, 2 less, 3 equal, 4 less-equal, 5 greater, 6 not equal, 7 greater-equal, 8 always; any
// other value never), computed lane by lane without branches.
#pragma once

#include <stdint.h>

#include "sm4_builder.h"

namespace dxbc {

// Discards the pixel unless scalar A compares to scalar Reference by Comparison (a scalar integer,
// such as a constant-buffer element). Writes temps First to First + 3.
void DiscardUnlessCompares(ShaderBuilder &B, const Reg &A, const Reg &Reference, const Reg &Comparison, uint32_t First);

}  // namespace dxbc
