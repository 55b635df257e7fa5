// The start-up layer's own calls, for its files and its tests.
#pragma once

#include "zovuz/startup/zovuz_startup.h"

// The start and end without the API lock (their callers hold it, or, for the fatal-error exit,
// bypass it). InitializeLibrary: 0 / -1, 0 at once when started. TerminateLibrary: 0, at once
// when not started.
int InitializeLibrary(void);
int TerminateLibrary(void);

// The desktop's colour depth: bits per pixel times colour planes of the screen.
int GetDesktopColorBitDepth(void);
// Test hook: a Depth above 0 stands in for the desktop's depth (this machine's is always 32);
// 0 gives the real one back. 0.
int SetDesktopColorBitDepthOverride(int Depth);
