// Fixtures of the plug-in host for the engine tests (and the shell tests to come): the test plug-in DLLs of this build,
// a reference of the test's own on one of them (so its logs stay readable after the host lets go), and a reset of the
// 95 slots between tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/engine/plugin/plugin_slot.h"
#include "tools/test_plugins/test_plugin_api.h"

// The test plug-in DLL `name` of this build (tools/test_plugins).
std::string TestPluginPath(const char* name);

// The test's own reference on a test plug-in DLL and its exports.
class TestPluginLibrary {
 public:
  explicit TestPluginLibrary(const std::string& path);
  ~TestPluginLibrary();
  TestPluginLibrary(const TestPluginLibrary&) = delete;
  TestPluginLibrary& operator=(const TestPluginLibrary&) = delete;

  bool ok() const { return module_ && instanceAt_ && instanceCount_ && callHost_ && configure_; }
  HMODULE module() const { return module_; }
  // The instance behind an effect of this DLL, or the one created `back` instances ago.
  static TpInstance* Of(AEffect* effect) { return effect ? static_cast<TpInstance*>(effect->object) : nullptr; }
  TpInstance* Latest(int back = 0) const;
  VstIntPtr CallHost(AEffect* effect, int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const;
  void Configure(const TpConfig* config) const;

 private:
  HMODULE module_;
  TpInstanceAtProc instanceAt_;
  TpInstanceCountProc instanceCount_;
  TpCallHostProc callHost_;
  TpConfigureProc configure_;
};

// The lines a test plug-in instance logged so far (test_plugin_api.h): <dir>/<name>-<serial>.log.
std::vector<std::string> TestPluginLogLines(const std::string& dir, const char* name, int serial);

// Unloads every slot and puts every field the tests touch back to its start value.
void ResetPluginSlots();

PluginSlot& SlotOf(int track, int position);

// A test of the plug-in slots: the host format stored as the shell stores it before any load,
// and every slot reset before and after the test.
class PluginSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// The opcodes of an instance's dispatcher log, from entry `from` on.
std::vector<int32_t> DispatchOpcodes(const TpInstance* instance, int from = 0);

// A fresh copy of the three MIDI bytes of every event pending in a slot.
std::vector<std::vector<int>> PendingMidiBytes(PluginSlot& slot);
// The same, and the slot's queue emptied.
std::vector<std::vector<int>> TakePendingMidiBytes(PluginSlot& slot);

// The keys an instance holds by its MIDI log: struck by a note-on (velocity above 0) and not
// released since. Only what the log kept counts (its first kTpMidiLogSize events).
std::set<int> HeldKeys(const TpInstance* instance);
// No key is held by the instrument in slot 0 of tracks 0-7 (the song engines' instrument tracks),
// wherever their logs are whole. Every test whose song has ended checks it.
void ExpectNoHeldKeys();
