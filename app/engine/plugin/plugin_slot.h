// The VST 2 plug-in host: the 95 plug-in slots (19 mixer channels x 5 positions; position 0
// holds the channel's instrument, 1-4 its inserts), the host context shared by every
// plug-in, and the track-level calls with which the song engines, the MIDI input and the
// user interface drive the slots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/engine/engine_lock.h"
#include "app/engine/plugin/vst_abi.h"

// Window and module handles as <windows.h> declares them, so this header needs no
// Windows header of its own.
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HMODULE;

const int kPluginChannelCount = 19;  // 16 song tracks, 2 effect buses, the master
const int kPluginPositionCount = 5;  // instrument + 4 inserts per channel
const int kPluginSlotCount = kPluginChannelCount * kPluginPositionCount;
const int kPluginBlockFrames = 441;    // frames per processReplacing call (10 ms)
const int kPluginBufferFrames = 1024;  // buffer length, and the block size plug-ins are told
const float kPluginSampleRate = 44100.0f;
// The narrowest client a slot window gets: the row of controls below the editor (power to the
// "+" program button, 8-262) with the margin it has on its left.
const int32_t kPluginWindowMinClientWidth = 270;

// Limits beyond which a plug-in's self-description is not believed: such an instance is
// refused at load rather than trusted with allocations or loops of that size.
const int kPluginMaxChannels = 64;
const int kPluginMaxParams = 16384;
const int kPluginMaxPrograms = 16384;

// Events a slot's queue holds at most. Nothing drains the queues of channels 8-18 or of an empty
// slot between ticks; at the limit the oldest events make room. A tick never queues this many to
// an instrument that is run.
const size_t kPluginEventQueueLimit = 8192;

struct PluginSlot;

// What every plug-in may ask of the host (one for the whole process).
struct HostContext {
  int32_t sampleRate;    // 44100, stored by the shell before any plug-in loads
  int32_t blockSize;     // 1024, stored at the same time
  VstTimeInfo timeInfo;  // refilled at every time request, handed out by address

  // Answers one host-callback request of a plug-in bound to `slot`.
  VstIntPtr Dispatch(PluginSlot* slot, int32_t index, VstIntPtr value, void* ptr, int32_t opcode);
};

extern HostContext g_hostContext;

// The callback handed to every plug-in's entry point.
VstIntPtr VST_CALL HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt);

struct PluginEditorRect {
  int32_t left;  // outer window rectangle as last fitted
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct PluginSlot {
  HostContext* host;                              // the one host context; null until first load
  AEffect* effect;                                // the plug-in instance; null when empty
  std::vector<std::vector<float>> outputBuffers;  // 1024 floats per output channel
  std::vector<std::vector<float>> inputBuffers;   // 1024 floats per input channel
  std::vector<float*> outputPointers;             // handed to processReplacing as outputs
  std::vector<float*> inputPointers;              // handed to processReplacing as inputs
  EventQueueMutex eventMutex;                     // guards pendingEvents and nothing else
  std::vector<VstMidiEvent> pendingEvents;        // queued by any thread
  uint8_t editorOpen;                             // set by the UI while the editor is open
  std::string name;                               // effect name, or the library's file name
  std::string directory;                          // never filled: audioMasterGetDirectory's answer
  std::vector<std::string> programNames;          // one per program, or "unknown"
  std::vector<std::string> paramLabels;           // one per parameter, at most 8 characters
  std::vector<std::string> paramDisplays;         // one per parameter, at most 8 characters
  std::vector<std::string> paramNames;            // one per parameter, at most 8 characters
  std::vector<VstMidiEvent> deliveredEvents;      // events of the block being processed (timer)
  VstEvents* eventBlock;                          // handed to the plug-in until the next Process
  HMODULE module;                                 // the plug-in's library
  uint8_t bypass;                                 // 1: Process copies input to output
  int32_t volume;                                 // 0-255, instrument render only
  int32_t pan;                                    // 0-127, 64 centre, instrument render only
  PluginEditorRect editorRect;                    // editor window's outer size as last fitted
  int32_t inputCount;                             // channels the plug-in reads (after open)
  int32_t outputCount;                            // channels the plug-in writes (after open)
  std::vector<uint8_t> eventBlockStorage;         // reused memory behind eventBlock
  AEffect* opening;                               // an instance starting up: bound for the host
                                                  // callback, not yet run by the render
  uint32_t droppedEvents;                         // oldest events dropped from a full queue (the
                                                  // first drop is logged); under the event mutex

  PluginSlot();
  ~PluginSlot();
  PluginSlot(const PluginSlot&) = delete;
  PluginSlot& operator=(const PluginSlot&) = delete;

  EventQueueLock LockEvents();
  // setParameter on the instance; skipped for an empty slot, a missing entry, or an index
  // outside 0..numParams-1.
  void SetParameter(int32_t index, float value);
  // getParameter on the instance under the same conditions; 0.0 when it cannot be asked.
  float GetParameter(int32_t index);
  // Fills in every field except midiData[0..2] and appends the event; any thread. A full queue
  // first drops its oldest quarter.
  void QueueMidiEvent(VstMidiEvent event);
  void ProgramChange(int32_t program);
  // Empties the queue of pending events (under the event mutex). A slot without an instance
  // keeps nothing: the render drops what was queued for it at each tick, and a plug-in put in
  // place starts with an empty queue, never with a backlog meant for no one.
  void DropPendingEvents();
  // Sizes the slot's window to the editor's rectangle (or to the generic parameter view) and
  // keeps it usable: its client at least kPluginWindowMinClientWidth wide, its height cut to the
  // work area of its screen, and the whole window moved onto that work area. `editorRect` keeps
  // the outer rectangle as fitted; its bottom places the window's row of controls.
  void FitEditorWindow(HWND window);
  void DeliverEvents();
  // Whether Process hands its input on unchanged: an empty or bypassed slot, or a plug-in
  // without processReplacing. Read under the engine lock.
  bool PassesThrough() const;
  float** Process();
  // The end of a block: the events delivered for it are done with.
  void EndBlock();
  // Starts the instance waiting in `opening` (its start-up runs without the engine lock), then
  // puts it and its buffers in place under the lock: from then on the render runs it.
  void Open(float sampleRate);
  // Stops the given instance and frees the library; does not clear `effect`. The instance must
  // no longer be reachable by the render (the destructor at exit, or after it was taken out).
  void Close(AEffect* instance);
};

extern PluginSlot g_pluginSlots[kPluginSlotCount];

// The slot at channel `track` (0-18), position `position` (0-4); null when out of range.
PluginSlot* PluginSlotAt(int32_t track, int32_t position);

// The engine lock (engine_lock.h) is held by each render tick and by every operation that
// replaces or removes a plug-in instance; the slot calls below take it themselves as well.

// Track-level calls: track = channel 0-18, slot = position 0-4. Out-of-range tracks and
// slots are ignored (or refused with -1).
//
// Loading and unloading take the engine lock only to take the old instance out of the render
// and to put the started new one in; the library load and the plug-in's start-up and shut-down
// run outside it, so ticks go on meanwhile. Never call them while holding the engine lock.
int32_t LoadPlugin(int32_t track, int32_t slot, const char* path);
void UnloadPlugin(int32_t track, int32_t slot);
void SetInstrumentParameter(int32_t track, int32_t index, float value);
void SendProgramChange(int32_t track, int32_t program);
void SendNoteOn(int32_t track, int32_t key, int32_t velocity);
void SendNoteOff(int32_t track, int32_t key);
void SendPitchBend(int32_t track, int32_t bend);
void SetInstrumentVolume(int32_t track, int32_t volume);
void SetInstrumentPan(int32_t track, int32_t pan);
// 441 interleaved stereo frames (882 floats); overwritten, left untouched for an empty slot,
// whose queued events are dropped instead of delivered.
void RenderInstrumentTrack(int32_t track, float* out);
// 441 interleaved stereo frames through inserts 1-4 of the channel, in place.
void ProcessInsertChain(int32_t track, float* buffer);
