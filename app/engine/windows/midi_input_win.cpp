#include "app/engine/windows/midi_input_win.h"

#include "app/engine/midi_input.h"

namespace {

constexpr DWORD kMidiInBufferBytes = 1024;

struct MidiDevice {
  HMIDIIN handle;   // device 0 while open
  MIDIHDR* header;  // its input buffer's header
  bool open;        // prepared, queued and started
};
MidiDevice s_device;

const MidiInCalls kSystemCalls = {
    .GetNumDevs = midiInGetNumDevs,
    .GetDevCaps = midiInGetDevCapsA,
    .Open = midiInOpen,
    .PrepareHeader = midiInPrepareHeader,
    .AddBuffer = midiInAddBuffer,
    .Start = midiInStart,
    .Stop = midiInStop,
    .Reset = midiInReset,
    .UnprepareHeader = midiInUnprepareHeader,
    .Close = midiInClose,
};
const MidiInCalls* s_calls = &kSystemCalls;

void FreeHeader(MIDIHDR* header) {
  if (!header) return;
  HeapFree(GetProcessHeap(), 0, header->lpData);
  HeapFree(GetProcessHeap(), 0, header);
}

// Stops, resets and closes the device `*handle` holds (if any), frees `*header` and nulls both.
void CloseMidiInHandle(HMIDIIN* handle, MIDIHDR** header) {
  if (*handle) {
    s_calls->Stop(*handle);
    s_calls->Reset(*handle);
    if (*header) s_calls->UnprepareHeader(*handle, *header, sizeof(MIDIHDR));
    s_calls->Close(*handle);
    *handle = nullptr;
  }
  FreeHeader(*header);
  *header = nullptr;
}

}  // namespace

void SetMidiInCalls(const MidiInCalls* calls) { s_calls = calls ? calls : &kSystemCalls; }

uint32_t OpenMidiInHandle(HMIDIIN* handle, MIDIHDR** header) {
  if (!handle || !header) return 0;
  CloseMidiInHandle(handle, header);

  HMIDIIN opened = nullptr;
  if (s_calls->Open(&opened, 0, reinterpret_cast<DWORD_PTR>(MidiInCallback), 0, CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
    return 0;
  MIDIHDR* h = static_cast<MIDIHDR*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MIDIHDR)));
  char* data = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kMidiInBufferBytes));
  if (!h || !data) {
    HeapFree(GetProcessHeap(), 0, data);
    HeapFree(GetProcessHeap(), 0, h);
    s_calls->Close(opened);
    return 0;
  }
  h->lpData = data;
  h->dwBufferLength = kMidiInBufferBytes;
  *handle = opened;
  *header = h;
  return 1;
}

void CALLBACK MidiInCallback(HMIDIIN, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
  if (message == MIM_DATA) PlayMidiInMessage(static_cast<uint32_t>(param1));
}

bool OpenMidiInput() {
  // The devices are listed as the device set-up does; device 0 is the one played.
  const UINT count = s_calls->GetNumDevs();
  for (UINT i = 0; i < count; ++i) {
    MIDIINCAPSA caps;
    s_calls->GetDevCaps(i, &caps, sizeof caps);
  }
  s_device.open = false;
  if (!OpenMidiInHandle(&s_device.handle, &s_device.header)) return false;
  s_calls->PrepareHeader(s_device.handle, s_device.header, sizeof(MIDIHDR));
  s_calls->AddBuffer(s_device.handle, s_device.header, sizeof(MIDIHDR));
  s_calls->Start(s_device.handle);
  s_device.open = true;
  return true;
}

void CloseMidiInput() {
  CloseMidiInHandle(&s_device.handle, &s_device.header);
  s_device.open = false;
}

bool MidiInputIsOpen() { return s_device.open; }
