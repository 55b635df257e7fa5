// Internal calls of the core behind input.h: the keyboard, mouse and joypad steps that the
// message pump, the window procedure and the window's activation handling run, and the pieces
// the tests reach. Never used by the application or another subsystem.
#pragma once

#include "zovuz/core/desktop/input.h"

#define KEYSTATE_TABLE_SIZE 256      // entries of the key state table
#define VIRTUALKEY_TABLE_ROWNUM 109  // rows of the virtual-key table, terminator not counted
#define JOYPAD_MAXNUM 16             // joypad records

// ---- the key state table (platform independent) --------------------------------------------

struct VirtualKeyScanCode
{
    unsigned short VirtualKey;  // Windows virtual key; 0xFFFF ends the table
    unsigned short KeyIndex;    // key state index it fills
};

extern const VirtualKeyScanCode VirtualKeyScanCodeTable[VIRTUALKEY_TABLE_ROWNUM + 1];

// Clears the 256-entry table and copies, row by row, the whole byte of each row's virtual key
// from a GetKeyboardState buffer (so bit 0 carries the key's toggle state). Keys no row names
// stay 0.
void FillKeyStateTable(const unsigned char *KeyboardState, unsigned char *KeyStateTable);

// 1 for each entry with bit 7 set, else 0. 0.
int KeyStateTableToFlags(const unsigned char *KeyStateTable, char *Out);

// ---- steps run by the pump, the window procedure and the activation handling ---------------

// Refreshes the key state table (and, on the Windows path, the saved mouse buttons). PumpFirst
// non-zero runs one pass of the message pump before reading. 1 when the table was refreshed.
int UpdateKeyboardInput(int PumpFirst);
// UpdateKeyboardInput guarded against itself: 0 without calling it while an update runs (the
// pump's own refresh inside a reader's refresh is skipped).
int RefreshKeyboardInput(int PumpFirst);

// The mouse buttons without the touch override.
int ReadMouseButtons(void);

// Timed ends of joypad vibration and the motors brought to the requested state; run by the
// pump on every pass, after the keyboard refresh. 0.
int UpdateJoypadInput(void);
// The motors brought to the requested state (silent while the window is inactive). 0.
int RefreshJoypadVibration(void);
int ApplyJoypadVibration(void);
// The joypads' and the keyboard's cooperative level follows the window's activity. 0.
int RefreshDeviceCooperation(void);

// The two flags the window procedure sets on messages 0x46F (Index 0) and 0x470 (Index 1).
void SetInputMessageFlag(int Index, int Value);

// 1 once InitializeInput has succeeded and TerminateInput has not run since.
int GetInputStartedFlag(void);
