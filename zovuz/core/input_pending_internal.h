// Calls that the message pump and the window procedure make into the keyboard, mouse and joypad
// layers of the core. Those layers are not built yet: input_pending.cpp answers each call as a
// program without them behaves (nothing read), and the keyboard, mouse and joypad work replaces
// that file and this header.
#pragma once

#include <stdint.h>

// Keyboard table refresh, run by the pump on every pass with PumpFirst 0. 1 when refreshed.
int RefreshKeyboardInput(int PumpFirst);

// Joypad vibration time-outs, run by the pump on every pass.
int UpdateJoypadInput(void);

// Window activation changes: re-apply the joypads' vibration state and their devices'
// cooperative level.
int RefreshJoypadVibration(void);
int RefreshDeviceCooperation(void);

// The wheel of a DirectInput mouse, used instead of the window's own wheel count when in use.
int IsDirectInputMouseUsed(void);
int GetDirectInputWheelRotation(int ClearFlag);

// The two input message flags set by the window procedure on messages 0x46F (Index 0) and
// 0x470 (Index 1).
void SetInputMessageFlag(int Index, int Value);
