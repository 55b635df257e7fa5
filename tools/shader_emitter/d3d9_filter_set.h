// The graph filters' shaders of the Direct3D 9 back end, written with the shader model 2 writer as
// ps_2_0: the files of its filter archive (41 filter, 32 blend and 34 channel-mix shaders) and the
// 512 ready channel-mix shaders of its code table. Lanczos3, whose 36 reads do not fit ps_2_0, is
// ps_2_x (version 2.1); a device without its limits refuses it and the filter fails.
//
// Every shader reads what a filter pass draws with: the pass's pre-transformed vertices give
// texture coordinates t0 (the source) and t1 (the second texture: blend graph, gamma graph,
// gradient or chroma graph); the Bicubic and Lanczos3 passes give eight pairs t0-t7. The source is
// sampler s0, the second texture s1. The pass's constants start at c0 in the layout the passes
// write; the shaders' own numbers are defined from c24 up (Lanczos3's from c2, above its two).
#pragma once

#include <vector>

#include "d3d9_base_set.h"

namespace sm2 {

// The filter archive's files in the passes' slot order. False with the failing shader and fault
// in Error.
bool BuildD3D9FilterSet(std::vector<NamedProgram> &Out, std::string *Error);

// The channel-mix code table's 512 shaders: slot PMA + (a + (b + (g + r x 4) x 4) x 4) x 2 takes
// output red, green, blue, alpha from the source's channels r, g, b, a (0-3).
bool BuildD3D9ChannelMixSet(std::vector<Bytes> &Out, std::string *Error);

}  // namespace sm2
