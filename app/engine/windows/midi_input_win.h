// MIDI input device 0 through WinMM, with a function callback on WinMM's own thread.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

// Opens device 0 with MidiInCallback into `*handle` and gives it a zero-filled header with a
// 1024-byte buffer in `*header`. A device the handle already holds is stopped, reset, closed
// and its header freed first. 1 when the device is open; 0 when it could not be opened, with
// nothing allocated.
uint32_t OpenMidiInHandle(HMIDIIN* handle, MIDIHDR** header);

// The WinMM callback: short messages (MIM_DATA) go to PlayMidiInMessage; the rest is ignored.
void CALLBACK MidiInCallback(HMIDIIN handle, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

// Start-up: device 0 opened, its buffer queued and the device started. False when there is no
// device to open: the program then runs without live input.
bool OpenMidiInput();
// Shut-down: stops, resets and closes the device and frees its buffer; nothing when closed.
void CloseMidiInput();
// Whether the device is open.
bool MidiInputIsOpen();
