#include "tests/support/engine/plugin_fixture.h"

#include "tests/support/test_paths.h"

#include <algorithm>
#include <fstream>

std::string TestPluginPath(const char* name) { return TestBinPath(std::string(name) + ".dll"); }

TestPluginLibrary::TestPluginLibrary(const std::string& path)
    : module_(LoadLibraryA(path.c_str())),
      instanceAt_(nullptr),
      instanceCount_(nullptr),
      callHost_(nullptr),
      configure_(nullptr) {
  if (!module_) return;
  instanceAt_ = reinterpret_cast<TpInstanceAtProc>(reinterpret_cast<void*>(GetProcAddress(module_, "TpInstanceAt")));
  instanceCount_ =
      reinterpret_cast<TpInstanceCountProc>(reinterpret_cast<void*>(GetProcAddress(module_, "TpInstanceCount")));
  callHost_ = reinterpret_cast<TpCallHostProc>(reinterpret_cast<void*>(GetProcAddress(module_, "TpCallHost")));
  configure_ = reinterpret_cast<TpConfigureProc>(reinterpret_cast<void*>(GetProcAddress(module_, "TpConfigure")));
}

TestPluginLibrary::~TestPluginLibrary() {
  if (configure_) configure_(nullptr);
  if (module_) FreeLibrary(module_);
}

TpInstance* TestPluginLibrary::Latest(int back) const {
  if (!instanceCount_ || !instanceAt_) return nullptr;
  return instanceAt_(instanceCount_() - 1 - back);
}

VstIntPtr TestPluginLibrary::CallHost(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                      float opt) const {
  return callHost_ ? callHost_(effect, opcode, index, value, ptr, opt) : -12345;
}

void TestPluginLibrary::Configure(const TpConfig* config) const {
  if (configure_) configure_(config);
}

std::vector<std::string> TestPluginLogLines(const std::string& dir, const char* name, int serial) {
  std::ifstream file(dir + "\\" + name + "-" + std::to_string(serial) + ".log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

void ResetPluginSlots() {
  for (int i = 0; i < kPluginSlotCount; ++i) {
    UnloadPlugin(i / kPluginPositionCount, i % kPluginPositionCount);
    PluginSlot& s = g_pluginSlots[i];
    s.DropPendingEvents();
    s.Process();  // drops a delivered block left by a test
    s.editorOpen = 0;
    s.bypass = 0;
    s.volume = 127;
    s.pan = 64;
    s.droppedEvents = 0;
    s.name.clear();
    for (auto& b : s.inputBuffers) std::fill(b.begin(), b.end(), 0.0f);
    for (auto& b : s.outputBuffers) std::fill(b.begin(), b.end(), 0.0f);
  }
}

PluginSlot& SlotOf(int track, int position) { return g_pluginSlots[track * kPluginPositionCount + position]; }

void PluginSlotsTest::SetUp() {
  g_hostContext.sampleRate = 44100;
  g_hostContext.blockSize = 1024;
  ResetPluginSlots();
}

void PluginSlotsTest::TearDown() { ResetPluginSlots(); }

std::vector<int32_t> DispatchOpcodes(const TpInstance* instance, int from) {
  std::vector<int32_t> ops;
  if (!instance) return ops;
  int n = std::min(instance->dispatchTotal, kTpDispatchLogSize);
  for (int i = from; i < n; ++i) ops.push_back(instance->dispatchLog[i].opcode);
  return ops;
}

std::vector<std::vector<int>> PendingMidiBytes(PluginSlot& slot) {
  std::vector<std::vector<int>> out;
  EventQueueLock lock = slot.LockEvents();
  for (const VstMidiEvent& e : slot.pendingEvents)
    out.push_back({static_cast<unsigned char>(e.midiData[0]), static_cast<unsigned char>(e.midiData[1]),
                   static_cast<unsigned char>(e.midiData[2])});
  return out;
}

std::vector<std::vector<int>> TakePendingMidiBytes(PluginSlot& slot) {
  std::vector<std::vector<int>> out = PendingMidiBytes(slot);
  slot.DropPendingEvents();
  return out;
}

std::set<int> HeldKeys(const TpInstance* instance) {
  std::set<int> held;
  if (!instance) return held;
  for (int i = 0; i < std::min(instance->midiTotal, kTpMidiLogSize); ++i) {
    const char* d = instance->midiLog[i].event.midiData;
    const int status = static_cast<unsigned char>(d[0]) & 0xF0;
    const int key = static_cast<unsigned char>(d[1]);
    if (status == 0x90 && d[2] != 0) {
      held.insert(key);
    } else if (status == 0x80 || status == 0x90) {
      held.erase(key);
    }
  }
  return held;
}

void ExpectNoHeldKeys() {
  for (int track = 0; track < 8; ++track) {
    const TpInstance* instance = TestPluginLibrary::Of(SlotOf(track, 0).effect);
    if (!instance || instance->midiTotal > kTpMidiLogSize) continue;
    EXPECT_EQ(HeldKeys(instance), std::set<int>{}) << "track " << track;
  }
}
