// Loading, opening and closing plug-in libraries in the slots.
#include <windows.h>

#include <cstdio>
#include <mutex>

#include "app/engine/plugin/plugin_slot.h"
#include "app/engine/plugin/plugin_text.h"

namespace {

// What the entry point returned is only believed when it looks like an instance we can
// drive: the magic, a dispatcher, and channel and parameter counts a host can honour.
// True when every byte of [p, p + size) is committed, readable memory: an entry point
// may hand back a stray pointer, and reading its magic must not be what crashes the host.
bool IsReadableMemory(const void* p, size_t size) {
  const char* at = static_cast<const char*>(p);
  const char* end = at + size;
  while (at < end) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(at, &info, sizeof info) != sizeof info) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (info.State != MEM_COMMIT || !(info.Protect & readable) || (info.Protect & PAGE_GUARD)) return false;
    at = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

bool IsUsableInstance(const AEffect* e) {
  if (!e || !IsReadableMemory(e, sizeof(AEffect))) return false;
  if (e->magic != kEffectMagic || !e->dispatcher) return false;
  if (e->numInputs < 0 || e->numInputs > kPluginMaxChannels) return false;
  if (e->numOutputs < 0 || e->numOutputs > kPluginMaxChannels) return false;
  if (e->numParams < 0 || e->numParams > kPluginMaxParams) return false;
  if (e->numPrograms < 0 || e->numPrograms > kPluginMaxPrograms) return false;
  return true;
}

// Loads and unloads one after the other, whatever thread asks: each runs mostly outside the
// engine lock, and two of them must not interleave on a slot. Ticks never take this lock.
struct PluginLoaderState {
  std::mutex serial;
};
PluginLoaderState g_pluginLoader;

// Empties the slot: takes its instance out of the render under the engine lock, then closes it
// and frees whatever library the slot holds (one left without an instance too) outside it.
void EmptySlot(PluginSlot* slot) {
  AEffect* instance;
  {
    EngineLock lock = LockEngine();
    instance = slot->effect;
    slot->effect = nullptr;
  }
  slot->Close(instance);
}

}  // namespace

PluginSlot::~PluginSlot() {
  Close(effect);
  effect = nullptr;
}

void PluginSlot::Close(AEffect* instance) {
  if (editorOpen) {
    // The editor is that of the instance being closed, which its caller has already taken out
    // of the slot.
    AEffect* editor = instance ? instance : effect;
    if (editor && editor->dispatcher) editor->dispatcher(editor, effEditClose, 0, 0, nullptr, 0.0f);
    editorOpen = 0;
  }
  if (instance && instance->dispatcher) {
    instance->dispatcher(instance, effStopProcess, 0, 0, nullptr, 0.0f);
    instance->dispatcher(instance, effMainsChanged, 0, 0, nullptr, 0.0f);
    instance->dispatcher(instance, effClose, 0, 0, nullptr, 0.0f);
  }
  if (module) {
    FreeLibrary(module);
    module = nullptr;
  }
}

int32_t LoadPlugin(int32_t track, int32_t slot, const char* path) {
  PluginSlot* s = PluginSlotAt(track, slot);
  if (!s || !path) return -1;
  std::lock_guard<std::mutex> serial(g_pluginLoader.serial);
  EmptySlot(s);

  // From here on the render passes the slot by: the library load, the entry call and the
  // plug-in's start-up all run while ticks go on.
  s->module = LoadLibraryA(path);
  if (!s->module) {
    std::printf("Failed trying to load VST from '%s', error %d\n", path, static_cast<int>(GetLastError()));
    return -1;
  }
  FARPROC entry = GetProcAddress(s->module, "VSTPluginMain");
  if (!entry) entry = GetProcAddress(s->module, "main");
  if (!entry) {
    // Nothing can ever use a library without an entry point: freed at once.
    FreeLibrary(s->module);
    s->module = nullptr;
    return -1;
  }

  AEffect* instance = reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(entry))(HostCallback);
  if (!IsUsableInstance(instance)) {
    // Not an instance (or not one we can drive): nothing of it is called, the library goes.
    FreeLibrary(s->module);
    s->module = nullptr;
    return -1;
  }
  // The render reads the host pointer only of a slot that holds an instance, and this one holds
  // none until Open puts the new one in place under the lock.
  s->host = &g_hostContext;
  s->opening = instance;
  s->Open(kPluginSampleRate);
  if (s->name.empty()) s->name = PluginNameFromPath(path);
  return 0;
}

void UnloadPlugin(int32_t track, int32_t slot) {
  PluginSlot* s = PluginSlotAt(track, slot);
  if (!s) return;
  std::lock_guard<std::mutex> serial(g_pluginLoader.serial);
  EmptySlot(s);
}
