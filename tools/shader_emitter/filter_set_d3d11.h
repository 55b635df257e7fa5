// The graph filters' shaders of the Direct3D 11 back end, written with the emitter: the filter
// archive's files (filters, basic blends and channel-mix shaders, by file name) and the ready
// channel-mix shaders of the channel-mix pack (by slot). What they compute, and the registers and
// names they share with the passes, are in zovuz/filter/filter_d3d11_shaders.h.
#pragma once

#include <string>
#include <vector>

#include "representative_set.h"

namespace dxbc {

// The filter archive's 105 shaders, each under the file name the passes look up. Every one's
// inputs follow the transfer vertex shader it is drawn with (the eight-coordinate one for
// Bicubic and Lanczos3). False with the failing shader and fault in Error.
bool BuildD3D11FilterSet(std::vector<NamedShader> &Out, std::string *Error);

// The channel-mix pack's 512 slots in slot order; a slot of the selectors (r, g, b, a, PMA)
// copies the source's channels r, g, b, a. False with the fault in Error.
bool BuildD3D11ChannelMixSet(std::vector<NamedShader> &Out, std::string *Error);

}  // namespace dxbc
