// The host callback every plug-in receives, and the answers of the host context.
#include <windows.h>

#include <cstring>

#include "app/engine/plugin/plugin_slot.h"

HostContext g_hostContext = {44100, 1024, {}};

namespace {

const VstIntPtr kHostVstVersion = 2400;
const VstIntPtr kHostLanguageJapanese = 6;

const char* const kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvents", "sizeWindow", "startStopProcess",
                                  "sendVstMidiEventFlagIsRealtime"};

// The slot an instance is bound to, or null while it is not bound (during its entry
// call, or for an instance this host never opened). The user field is only trusted when
// it names one of our slots and that slot holds this very instance, in place or starting up.
PluginSlot* BoundSlot(AEffect* effect) {
  if (!effect) return nullptr;
  uintptr_t user = reinterpret_cast<uintptr_t>(effect->user);
  uintptr_t first = reinterpret_cast<uintptr_t>(&g_pluginSlots[0]);
  uintptr_t end = reinterpret_cast<uintptr_t>(&g_pluginSlots[kPluginSlotCount]);
  if (user < first || user >= end || (user - first) % sizeof(PluginSlot) != 0) return nullptr;
  PluginSlot* slot = reinterpret_cast<PluginSlot*>(user);
  return slot->effect == effect || slot->opening == effect ? slot : nullptr;
}

void FillTimeInfo(VstTimeInfo& t, int32_t sampleRate) {
  // Plug-ins always see a stopped transport at 120 bpm, 4/4, position 0.
  t.samplePos = 0.0;
  t.sampleRate = static_cast<double>(static_cast<uint32_t>(sampleRate));
  t.nanoSeconds = static_cast<double>(static_cast<uint32_t>(GetTickCount())) * 1000.0 * 1000.0;
  t.ppqPos = 0.0;
  t.tempo = 120.0;
  t.barStartPos = 0.0;
  t.cycleStartPos = 0.0;
  t.cycleEndPos = 0.0;
  t.timeSigNumerator = 4;
  t.timeSigDenominator = 4;
  t.smpteOffset = 0;
  t.smpteFrameRate = 0;
  t.samplesToNextClock = 0;
  t.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
}

}  // namespace

VstIntPtr VST_CALL HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
  (void)opt;
  PluginSlot* slot = BoundSlot(effect);
  if (slot && slot->host) {
    if (opcode < audioMasterVersion || opcode > audioMasterGetDirectory) return 0;
    return slot->host->Dispatch(slot, index, value, ptr, opcode);
  }
  return opcode == audioMasterVersion ? kHostVstVersion : 0;
}

VstIntPtr HostContext::Dispatch(PluginSlot* slot, int32_t index, VstIntPtr value, void* ptr, int32_t opcode) {
  (void)index;
  (void)value;
  switch (opcode) {
    case audioMasterVersion:
      return kHostVstVersion;
    case audioMasterCurrentId:
      if (!slot) return 0;
      if (slot->effect) return slot->effect->uniqueID;
      return slot->opening ? slot->opening->uniqueID : 0;  // asked during its start-up
    case audioMasterIdle:
      if (slot && slot->editorOpen && slot->effect && slot->effect->dispatcher)
        slot->effect->dispatcher(slot->effect, effEditIdle, 0, 0, nullptr, 0.0f);
      return 0;
    case audioMasterGetTime:
      FillTimeInfo(timeInfo, sampleRate);
      return reinterpret_cast<VstIntPtr>(&timeInfo);
    case audioMasterSizeWindow:
      return 1;
    case audioMasterGetSampleRate:
      return sampleRate;
    case audioMasterGetBlockSize:
      return blockSize;
    case audioMasterGetAutomationState:
      return 1;
    case audioMasterGetVendorString:
      if (!ptr) return 0;
      std::memcpy(ptr, "QOVU", 4);  // exactly four bytes, no terminator
      return 1;
    case audioMasterGetProductString:
      if (!ptr) return 0;
      std::memcpy(ptr, "tarvex", 6);  // exactly six bytes, no terminator
      return 1;
    case audioMasterGetVendorVersion:
      return 1;
    case audioMasterCanDo:
      if (!ptr) return 0;
      for (const char* can : kHostCanDo)
        if (std::strcmp(static_cast<const char*>(ptr), can) == 0) return 1;
      return 0;
    case audioMasterGetLanguage:
      return kHostLanguageJapanese;
    case audioMasterGetDirectory:
      return slot ? reinterpret_cast<VstIntPtr>(slot->directory.c_str()) : 0;
    default:
      // Latencies, process level and every request not listed: 0, nothing done.
      return 0;
  }
}
