// The DirectSound device object, for the library's other DirectSound users.
#pragma once

struct IDirectSound;

// The started device object, or null when the device is not started. No reference is added.
IDirectSound *GetDirectSoundDevice(void);
