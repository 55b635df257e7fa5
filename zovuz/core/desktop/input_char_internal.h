// The typed-character buffer: characters and editing keys that reach the main window, in
// arrival order, for the application (and the IME layer) to take.
//
// A ring of 1025 UTF-16 units that holds at most 1024; further units are dropped. Editing keys
// arrive as control codes (Delete 0x10, Left 0x1D, Right 0x1C, Up 0x1E, Down 0x1F, Home 0x1A,
// End 0x19, Page Up 0x17, Page Down 0x15). Main thread only.
#pragma once

#include <stdint.h>

#define INPUT_CHAR_BUFFER_UNITS 1025

// Empties the buffer (part of InitializeInputCharBuffer, the IME layer's start).
void ClearInputCharRing(void);

// Adds one unit: 0, or -1 when the buffer is full (the unit is dropped).
int StoreInputChar(uint16_t Unit);

// 1 when no further unit fits.
int IsInputCharBufferFull(void);

// Takes the next character: 0 when there is none, else the units written to Out (1, or 2 for a
// surrogate pair). A high surrogate whose pair has not arrived yet stays in the buffer (0). With
// RemoveFlag 0 the character stays in the buffer (a look ahead).
int TakeInputChar(uint16_t Out[2], int RemoveFlag);

// 1 when Unit is one of the editing-key codes above.
int IsInputControlCode(uint16_t Unit);

// The control code an editing key's virtual key puts into the buffer, 0 for other keys.
uint16_t GetEditingKeyInputCode(unsigned int VirtualKey);

// Characters in the first Units units of a UTF-16 string: a surrogate pair counts once, a
// terminator ends the count, and a count below 1 gives 0.
int CountCharsInUnits(const uint16_t *String, int Units);
