// MIDI input device 0 through WinMM, with a function callback on WinMM's own thread.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

// The WinMM calls the device goes through, in one table: a test replaces them to see the order
// of the calls with a device and without one.
struct MidiInCalls {
  UINT(WINAPI* GetNumDevs)();
  MMRESULT(WINAPI* GetDevCaps)(UINT_PTR device, LPMIDIINCAPSA caps, UINT bytes);
  MMRESULT(WINAPI* Open)(LPHMIDIIN handle, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
  MMRESULT(WINAPI* PrepareHeader)(HMIDIIN handle, LPMIDIHDR header, UINT bytes);
  MMRESULT(WINAPI* AddBuffer)(HMIDIIN handle, LPMIDIHDR header, UINT bytes);
  MMRESULT(WINAPI* Start)(HMIDIIN handle);
  MMRESULT(WINAPI* Stop)(HMIDIIN handle);
  MMRESULT(WINAPI* Reset)(HMIDIIN handle);
  MMRESULT(WINAPI* UnprepareHeader)(HMIDIIN handle, LPMIDIHDR header, UINT bytes);
  MMRESULT(WINAPI* Close)(HMIDIIN handle);
};
// Replaces the system's calls; null puts them back. Only while the device is closed.
void SetMidiInCalls(const MidiInCalls* calls);

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
