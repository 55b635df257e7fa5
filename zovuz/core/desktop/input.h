// Keyboard, mouse and joypads.
//
// The input layer keeps one table of 256 key states indexed by key number in the DirectInput
// scan-code numbering (Escape 0x01, Space 0x39, keypad 0 0x52, keypad Enter 0x9C), the mouse
// buttons, the mouse position and the wheel. It reads the Windows key state and the cursor, or
// DirectInput 8 when that is switched on before start-up; joypads come from XInput, DirectInput
// game controllers or (without DirectInput) the winmm joystick count.
//
// Every call runs on the main (window) thread; the key table changes only there, at most once
// per millisecond tick.
#pragma once

// Mouse button bits.
#define MOUSE_INPUT_LEFT 0x01
#define MOUSE_INPUT_RIGHT 0x02
#define MOUSE_INPUT_MIDDLE 0x04
#define MOUSE_INPUT_4 0x08  // first extra button (X1)
#define MOUSE_INPUT_5 0x10  // second extra button (X2)

// The input devices' start and end: library start-up and shut-down, and a graphics back end's
// screen-mode change (which ends input and starts it again at once). InitializeInput: 0, or -1
// when the device start fails; 0 at once when already started. TerminateInput: 0.
int InitializeInput(void);
int TerminateInput(void);

// Use the DirectInput 8 keyboard and mouse (1) or the Windows key state and cursor (0). Only a
// value set before start-up decides which devices exist. 0.
int SetDirectInputUseFlag(int UseFlag);

// The key readers. While the main window is inactive they first wait for it; before input has
// started they start it and return that start's result instead of reading.
// CheckKeyDown: 1 when the key is down, else 0.
int CheckKeyDown(int KeyIndex);
// Writes 1 or 0 for each of the 256 keys into KeyStateArray. 0.
int GetAllKeyState(char *KeyStateArray);

// The mouse buttons as a bit set (left while a touch is down).
int GetMouseButtons(void);
// The mouse position in the library's screen coordinates (the touch position while a touch is
// down); either output may be null. 0.
int GetMousePoint(int *XBuf, int *YBuf);

// 1 when the wheel is read from a DirectInput mouse.
int IsDirectInputMouseUsed(void);
// Notches of the DirectInput mouse's wheel since the last clear, truncated toward zero; with
// ClearFlag the notches returned are taken off, the remainder stays.
int GetDirectInputWheelRotation(int ClearFlag);

// Ends a joypad's vibration. PadNumber counts from 1 (bit 0x1000 is ignored); Slot 0 or 1, or -1
// for both. Waits and starts input on demand like the key readers. 0.
int StopJoypadVibration(int PadNumber, int Slot);
