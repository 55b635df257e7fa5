// What a loaded image must hold, whatever the file: shared by the in-Wine mutation test and the
// native fuzz target of the image loaders.
#pragma once

#include <string>

#include "zovuz/graphics/image/image_load_internal.h"

// Empty when every byte the image describes can be read (level 0 of a plain image, all blocks
// of a DXT image, which must also decode) and its sides are within the loaders' limit; with
// HeaderOnly, when it has sides and no pixels. Otherwise what is wrong.
std::string ImageProblem(BASEIMAGE &Img, int HeaderOnly);
