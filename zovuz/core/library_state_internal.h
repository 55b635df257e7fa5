// Inside the core: the library-wide state flags themselves. Other layers reach them through
// GetLibraryState (library_state.h).
#pragma once

#include "zovuz/core/library_state.h"

extern LibraryStateData LibraryState;
