// ZoVuz sound: the public API of the library's sound layer.
#pragma once

// The sound-format conversion system, started by the library before the sound system and
// ended after it. Initialize: 0, or -1 when it was already started. Terminate: 0, or -1
// when it was not started.
int InitializeSoundConvert(void);
int TerminateSoundConvert(void);
