// Plug-in slots: the MIDI queue, event delivery, block processing, the instrument render,
// the insert chain and the track-level calls. Loading, closing and the editor window are
// the Windows parts in windows/.
#include "app/engine/plugin/plugin_slot.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "app/engine/plugin/plugin_text.h"
#include "app/engine/mixer/volume_law.h"
#include "zovuz/core/zovuz_core.h"

PluginSlot g_pluginSlots[kPluginSlotCount];

namespace {

VstMidiEvent MidiBytes(int status, int data1, int data2) {
  VstMidiEvent e;
  std::memset(&e, 0, sizeof e);
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(data1);
  e.midiData[2] = static_cast<char>(data2);
  return e;
}

void QueueToInstrument(int32_t track, int status, int data1, int data2) {
  PluginSlot* slot = PluginSlotAt(track, 0);
  if (slot) slot->QueueMidiEvent(MidiBytes(status, data1, data2));
}

// Sizes the buffer set to max(2, count) channels of 1024 zeros: the render, the bypass
// copy and the insert chain always address channels 0 and 1, whatever the plug-in has.
void ShapeBuffers(std::vector<std::vector<float>>& buffers, std::vector<float*>& pointers, int32_t count) {
  size_t n = static_cast<size_t>(std::max(count, 2));
  buffers.assign(n, std::vector<float>(kPluginBufferFrames, 0.0f));
  pointers.resize(n);
  for (size_t i = 0; i < n; ++i) pointers[i] = buffers[i].data();
}

}  // namespace

PluginSlot* PluginSlotAt(int32_t track, int32_t position) {
  if (track < 0 || track >= kPluginChannelCount || position < 0 || position >= kPluginPositionCount) return nullptr;
  return &g_pluginSlots[track * kPluginPositionCount + position];
}

PluginSlot::PluginSlot()
    : host(nullptr),
      effect(nullptr),
      editorOpen(0),
      eventBlock(nullptr),
      module(nullptr),
      bypass(0),
      volume(127),
      pan(64),
      editorRect{0, 0, 0, 0},
      inputCount(2),
      outputCount(2),
      opening(nullptr),
      droppedEvents(0) {
  ShapeBuffers(outputBuffers, outputPointers, 2);
  ShapeBuffers(inputBuffers, inputPointers, 2);
}

EventQueueLock PluginSlot::LockEvents() { return EventQueueLock(eventMutex); }

void PluginSlot::SetParameter(int32_t index, float value) {
  EngineLock lock = LockEngine();
  AEffect* e = effect;
  // An index the plug-in does not have would be written into whatever lies past its
  // parameter table: skipped, as is a plug-in without the entry.
  if (!e || !e->setParameter || index < 0 || index >= e->numParams) return;
  e->setParameter(e, index, value);
}

float PluginSlot::GetParameter(int32_t index) {
  EngineLock lock = LockEngine();
  AEffect* e = effect;
  if (!e || !e->getParameter || index < 0 || index >= e->numParams) return 0.0f;
  return e->getParameter(e, index);
}

void PluginSlot::QueueMidiEvent(VstMidiEvent event) {
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = 0;  // every event takes effect at the start of the next block
  event.flags = kVstMidiEventIsRealtime;
  event.noteLength = 0;
  event.noteOffset = 0;
  event.midiData[3] = 0;
  event.detune = 0;
  event.noteOffVelocity = 100;
  event.reserved1 = 0;
  event.reserved2 = 0;
  bool firstDrop = false;
  {
    EventQueueLock lock(eventMutex);
    if (pendingEvents.size() >= kPluginEventQueueLimit) {
      // A quarter at a time, so that a queue nobody drains costs no shift per event.
      const size_t drop = kPluginEventQueueLimit / 4;
      pendingEvents.erase(pendingEvents.begin(), pendingEvents.begin() + drop);
      firstDrop = droppedEvents == 0;
      droppedEvents += drop;
    }
    try {
      pendingEvents.push_back(event);
    } catch (const std::bad_alloc&) {
      // Out of memory on the MIDI-input or timer thread: this one event is dropped rather
      // than letting the exception end the process from inside a system callback.
    }
  }
  if (firstDrop)
    AddLogStringWide(L"プラグインスロットのMIDIイベントキューが一杯になったため古いイベントを破棄しました\n");
}

void PluginSlot::ProgramChange(int32_t program) {
  // The editor's program list passes any number; only its low 8 bits go out.
  QueueMidiEvent(MidiBytes(0xC0, program & 0xFF, 0));
}

void PluginSlot::DropPendingEvents() {
  EventQueueLock events(eventMutex);
  pendingEvents.clear();  // keeps its storage, as delivery does
}

void PluginSlot::DeliverEvents() {
  EngineLock lock = LockEngine();
  // A block handed over earlier and not yet processed stays valid for the plug-in; new
  // events wait in the queue for the next delivery instead of replacing it.
  if (eventBlock) return;
  {
    EventQueueLock events(eventMutex);
    pendingEvents.swap(deliveredEvents);
  }
  if (deliveredEvents.empty()) return;

  size_t count = deliveredEvents.size();
  size_t slots = std::max<size_t>(count, 2);
  size_t bytes = offsetof(VstEvents, events) + slots * sizeof(VstEvent*);
  if (eventBlockStorage.size() < bytes) eventBlockStorage.resize(bytes);
  VstEvents* block = reinterpret_cast<VstEvents*>(eventBlockStorage.data());
  block->numEvents = static_cast<VstInt32>(count);
  block->reserved = 0;
  for (size_t i = 0; i < slots; ++i)
    block->events[i] = i < count ? reinterpret_cast<VstEvent*>(&deliveredEvents[i]) : nullptr;
  eventBlock = block;

  AEffect* e = effect;
  if (e && e->dispatcher) e->dispatcher(e, effProcessEvents, 0, 0, eventBlock, 0.0f);
}

bool PluginSlot::PassesThrough() const { return !effect || !host || bypass || !effect->processReplacing; }

float** PluginSlot::Process() {
  EngineLock lock = LockEngine();
  AEffect* e = effect;
  if (!PassesThrough()) {
    e->processReplacing(e, inputPointers.data(), outputPointers.data(), kPluginBlockFrames);
    // A plug-in with fewer than two outputs leaves the rest silent, not stale.
    for (int32_t c = std::max(outputCount, 0); c < 2; ++c)
      std::fill(outputBuffers[c].begin(), outputBuffers[c].end(), 0.0f);
  } else {
    // Empty, bypassed, or a plug-in without processReplacing: the input passes through.
    std::copy(inputBuffers[0].begin(), inputBuffers[0].end(), outputBuffers[0].begin());
    std::copy(inputBuffers[1].begin(), inputBuffers[1].end(), outputBuffers[1].begin());
  }
  EndBlock();
  return outputPointers.data();
}

void PluginSlot::EndBlock() {
  deliveredEvents.clear();  // keeps its storage for the next block
  eventBlock = nullptr;
}

void PluginSlot::Open(float sampleRate) {
  AEffect* e = opening;
  if (!e || !e->dispatcher) return;
  // The start-up runs while ticks go on: the instance is bound for the host callback before it
  // hears anything, but the render does not see it until it is in place below.
  e->user = this;
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, sampleRate);
  e->dispatcher(e, effSetBlockSize, 0, kPluginBufferFrames, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

  const int32_t inputs = std::clamp(e->numInputs, 0, kPluginMaxChannels);
  const int32_t outputs = std::clamp(e->numOutputs, 0, kPluginMaxChannels);
  std::vector<std::vector<float>> newInputs, newOutputs;
  std::vector<float*> newInputPointers, newOutputPointers;
  ShapeBuffers(newInputs, newInputPointers, inputs);
  ShapeBuffers(newOutputs, newOutputPointers, outputs);

  // The texts are the user interface's, which is the thread loading: no lock needed.
  name = AskPluginText(e, effGetEffectName, 0, 0, kVstMaxEffectNameLen, nullptr);

  int32_t programs = std::clamp(e->numPrograms, 0, kPluginMaxPrograms);
  programNames.assign(static_cast<size_t>(programs), std::string());
  for (int32_t i = 0; i < programs; ++i) {
    VstIntPtr answer = 0;
    std::string text = AskPluginText(e, effGetProgramNameIndexed, i, 0, kVstMaxProgNameLen, &answer);
    programNames[i] = answer == 0 ? std::string("unknown") : text;
  }

  int32_t params = std::clamp(e->numParams, 0, kPluginMaxParams);
  paramLabels.assign(static_cast<size_t>(params), std::string());
  paramDisplays.assign(static_cast<size_t>(params), std::string());
  paramNames.assign(static_cast<size_t>(params), std::string());
  for (int32_t i = 0; i < params; ++i) {
    paramLabels[i] = AskPluginText(e, effGetParamLabel, i, 0, kVstMaxParamStrLen, nullptr);
    paramDisplays[i] = AskPluginText(e, effGetParamDisplay, i, 0, kVstMaxParamStrLen, nullptr);
    paramNames[i] = AskPluginText(e, effGetParamName, i, 0, kVstMaxParamStrLen, nullptr);
  }

  EngineLock lock = LockEngine();
  inputBuffers.swap(newInputs);
  outputBuffers.swap(newOutputs);
  inputPointers.swap(newInputPointers);
  outputPointers.swap(newOutputPointers);
  inputCount = inputs;
  outputCount = outputs;
  // Whatever was queued while the slot had no instance is not this plug-in's to play.
  DropPendingEvents();
  effect = e;
  opening = nullptr;
  // The old buffers are released after the lock, when the locals go.
}

// --- track-level calls -------------------------------------------------------------------

void SetInstrumentParameter(int32_t track, int32_t index, float value) {
  PluginSlot* slot = PluginSlotAt(track, 0);
  if (slot) slot->SetParameter(index, value);
}

void SendProgramChange(int32_t track, int32_t program) {
  QueueToInstrument(track, 0xC0, std::clamp(program, 0, 127), 0);
}

void SendNoteOn(int32_t track, int32_t key, int32_t velocity) {
  QueueToInstrument(track, 0x90, std::clamp(key, 0, 127), std::clamp(velocity, 0, 127));
}

void SendNoteOff(int32_t track, int32_t key) { QueueToInstrument(track, 0x80, std::clamp(key, 0, 127), 100); }

void SendPitchBend(int32_t track, int32_t bend) {
  int32_t v = std::clamp(bend, -8192, 8191) + 8192;
  QueueToInstrument(track, 0xE0, v & 0x7F, (v >> 7) & 0x7F);
}

void SetInstrumentVolume(int32_t track, int32_t volume) {
  PluginSlot* slot = PluginSlotAt(track, 0);
  if (slot) slot->volume = std::clamp(volume, 0, 255);
}

void SetInstrumentPan(int32_t track, int32_t pan) {
  PluginSlot* slot = PluginSlotAt(track, 0);
  if (slot) slot->pan = std::clamp(pan, 0, 127);
}

void RenderInstrumentTrack(int32_t track, float* out) {
  PluginSlot* slot = PluginSlotAt(track, 0);
  if (!slot || !out) return;
  EngineLock lock = LockEngine();
  if (!slot->effect || !slot->host) {
    // Nothing hears these events: kept, they would pile up for as long as a song plays to the
    // empty slot and all sound at once in a plug-in loaded later.
    slot->DropPendingEvents();
    return;
  }
  slot->DeliverEvents();
  float** outputs = slot->Process();
  const float* left = outputs[0];
  const float* right = outputs[1];
  const int32_t pan = std::clamp(slot->pan, 0, 127);
  const float gain = VolumeGain(std::clamp(slot->volume, 0, 255));
  for (int i = 0; i < kPluginBlockFrames; ++i) {
    float l = left[i];
    float r = right[i];
    if (pan > 64) l = l * static_cast<float>(127 - pan) / 64.0f;
    if (pan < 64) r = r * static_cast<float>(pan) / 64.0f;
    out[2 * i] = gain * l;
    out[2 * i + 1] = gain * r;
  }
}

void ProcessInsertChain(int32_t track, float* buffer) {
  PluginSlot* first = PluginSlotAt(track, 1);
  if (!first || !buffer) return;
  EngineLock lock = LockEngine();
  // A chain with nothing in it that changes the sound leaves the buffer as it is (most channels
  // have no inserts at all): only the blocks' events are done with, as Process does.
  bool passes = true;
  for (int position = 1; passes && position < kPluginPositionCount; ++position)
    passes = PluginSlotAt(track, position)->PassesThrough();
  if (passes) {
    for (int position = 1; position < kPluginPositionCount; ++position) PluginSlotAt(track, position)->EndBlock();
    return;
  }
  for (int i = 0; i < kPluginBlockFrames; ++i) {
    first->inputBuffers[0][i] = buffer[2 * i];
    first->inputBuffers[1][i] = buffer[2 * i + 1];
  }
  float** previous = first->Process();
  for (int position = 2; position < kPluginPositionCount; ++position) {
    PluginSlot* slot = PluginSlotAt(track, position);
    std::copy(previous[0], previous[0] + kPluginBlockFrames, slot->inputBuffers[0].begin());
    std::copy(previous[1], previous[1] + kPluginBlockFrames, slot->inputBuffers[1].begin());
    previous = slot->Process();
  }
  for (int i = 0; i < kPluginBlockFrames; ++i) {
    buffer[2 * i] = previous[0][i];
    buffer[2 * i + 1] = previous[1][i];
  }
}
