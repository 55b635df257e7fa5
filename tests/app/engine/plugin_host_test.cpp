// The plug-in host with real DLLs: loading and closing, MIDI delivery, processing, the
// instrument render laws, the insert chain, parameters and hostile plug-ins.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/engine/plugin_fixture.h"

namespace {

class PluginHost : public PluginSlotsTest {
 protected:

  // Renders one block of a track's instrument and returns the 882 interleaved floats.
  std::vector<float> Render(int track) {
    std::vector<float> out(2 * kPluginBlockFrames, -7.0f);
    RenderInstrumentTrack(track, out.data());
    return out;
  }
};

std::vector<int32_t> OpenSequence(int params, int programs) {
  std::vector<int32_t> ops = {effOpen, effSetSampleRate, effSetBlockSize, effMainsChanged, effGetEffectName};
  for (int i = 0; i < programs; ++i) ops.push_back(effGetProgramNameIndexed);
  for (int i = 0; i < params; ++i) {
    ops.push_back(effGetParamLabel);
    ops.push_back(effGetParamDisplay);
    ops.push_back(effGetParamName);
  }
  return ops;
}

bool ModuleLoaded(const char* file) { return GetModuleHandleA(file) != nullptr; }

TEST_F(PluginHost, LoadOpensInstanceInOrderAndReadsItsTexts) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  ASSERT_TRUE(lib.ok());
  ASSERT_EQ(0, LoadPlugin(2, 0, TestPluginPath("tp_vornalt").c_str()));
  PluginSlot& slot = SlotOf(2, 0);
  ASSERT_NE(nullptr, slot.effect);
  EXPECT_EQ(&g_hostContext, slot.host);
  EXPECT_EQ(&slot, slot.effect->user);
  TpInstance* t = TestPluginLibrary::Of(slot.effect);

  EXPECT_EQ(OpenSequence(kTpParamCount, kTpProgramCount), DispatchOpcodes(t));
  EXPECT_FLOAT_EQ(44100.0f, t->dispatchLog[1].opt);
  EXPECT_EQ(1024, t->dispatchLog[2].value);
  EXPECT_EQ(1, t->dispatchLog[3].value);
  for (int i = 0; i < kTpProgramCount; ++i) {
    EXPECT_EQ(i, t->dispatchLog[5 + i].index);
    EXPECT_EQ(0, t->dispatchLog[5 + i].value);
  }
  for (int i = 0; i < kTpParamCount; ++i) EXPECT_EQ(i, t->dispatchLog[8 + 3 * i + 2].index);
  // The instance was bound before effOpen: its questions there got the real answers.
  EXPECT_EQ(44100, t->openSampleRate);
  EXPECT_EQ(1024, t->openBlockSize);

  EXPECT_EQ("Vornalt", slot.name);
  EXPECT_EQ((std::vector<std::string>{"Init", "Bright", "unknown"}), slot.programNames);
  ASSERT_EQ(static_cast<size_t>(kTpParamCount), slot.paramNames.size());
  EXPECT_EQ("Paramete", slot.paramNames[5]);  // "Parameter5" cut to 8
  EXPECT_EQ("dB", slot.paramLabels[99]);
  EXPECT_EQ("0", slot.paramDisplays[0]);
  EXPECT_EQ(2u, slot.outputPointers.size());
}

TEST_F(PluginHost, UnloadClosesInOrderFreesModuleAndKeepsNames) {
  {
    TestPluginLibrary lib(TestPluginPath("tp_kezmir"));
    ASSERT_EQ(0, LoadPlugin(3, 0, TestPluginPath("tp_kezmir").c_str()));
    PluginSlot& slot = SlotOf(3, 0);
    TpInstance* t = TestPluginLibrary::Of(slot.effect);
    int opened = t->dispatchTotal;
    slot.editorOpen = 1;
    UnloadPlugin(3, 0);
    EXPECT_EQ((std::vector<int32_t>{effEditClose, effStopProcess, effMainsChanged, effClose}),
              DispatchOpcodes(t, opened));
    EXPECT_EQ(0, t->dispatchLog[opened + 2].value);
    EXPECT_EQ(0, slot.editorOpen);
    EXPECT_EQ(nullptr, slot.effect);
    EXPECT_EQ(nullptr, slot.module);
    EXPECT_EQ("Kezmir", slot.name);
    EXPECT_EQ(&g_hostContext, slot.host);
    UnloadPlugin(3, 0);  // an empty slot: nothing happens
    EXPECT_EQ(opened + 4, t->dispatchTotal);
  }
  ASSERT_FALSE(ModuleLoaded("tp_kezmir.dll"));
  ASSERT_EQ(0, LoadPlugin(3, 0, TestPluginPath("tp_kezmir").c_str()));
  EXPECT_TRUE(ModuleLoaded("tp_kezmir.dll"));
  UnloadPlugin(3, 0);
  EXPECT_FALSE(ModuleLoaded("tp_kezmir.dll"));
}

TEST_F(PluginHost, LoadReplacesAndTwoSlotsKeepSeparateInstances) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  std::string path = TestPluginPath("tp_vornalt");
  ASSERT_EQ(0, LoadPlugin(0, 0, path.c_str()));
  TpInstance* first = TestPluginLibrary::Of(SlotOf(0, 0).effect);
  ASSERT_EQ(0, LoadPlugin(1, 0, path.c_str()));
  TpInstance* other = TestPluginLibrary::Of(SlotOf(1, 0).effect);
  ASSERT_NE(first, other);
  SendNoteOn(0, 60, 100);
  Render(0);
  Render(1);
  EXPECT_EQ(1, first->midiTotal);
  EXPECT_EQ(0, other->midiTotal);

  ASSERT_EQ(0, LoadPlugin(0, 0, path.c_str()));  // replaces the first instance
  EXPECT_EQ(1, first->closed);
  EXPECT_EQ(effClose, DispatchOpcodes(first).back());
  EXPECT_NE(first, TestPluginLibrary::Of(SlotOf(0, 0).effect));
  EXPECT_EQ(0, other->closed);
}

TEST_F(PluginHost, QueuedEventsCarryFixedFieldsAndClampedBytes) {
  struct Case {
    const char* what;
    void (*send)();
    int status, data1, data2;
  };
  const Case cases[] = {
      {"note on clamps key and velocity", [] { SendNoteOn(4, 130, -5); }, 0x90, 0x7F, 0x00},
      {"note on in range", [] { SendNoteOn(4, 60, 100); }, 0x90, 60, 100},
      {"note off clamps key, velocity 100", [] { SendNoteOff(4, -3); }, 0x80, 0x00, 100},
      {"bend above range", [] { SendPitchBend(4, 10000); }, 0xE0, 0x7F, 0x7F},
      {"bend below range", [] { SendPitchBend(4, -10000); }, 0xE0, 0x00, 0x00},
      {"bend centre", [] { SendPitchBend(4, 0); }, 0xE0, 0x00, 0x40},
      {"bend one semitone", [] { SendPitchBend(4, 64); }, 0xE0, 0x40, 0x40},
      {"program change clamps", [] { SendProgramChange(4, 300); }, 0xC0, 0x7F, 0x00},
      {"slot program change keeps low 8 bits", [] { SlotOf(4, 0).ProgramChange(300); }, 0xC0, 0x2C, 0x00},
  };
  PluginSlot& slot = SlotOf(4, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    slot.DropPendingEvents();
    c.send();
    ASSERT_EQ(1u, slot.pendingEvents.size());
    const VstMidiEvent& e = slot.pendingEvents[0];
    EXPECT_EQ(c.status, static_cast<unsigned char>(e.midiData[0]));
    EXPECT_EQ(c.data1, static_cast<unsigned char>(e.midiData[1]));
    EXPECT_EQ(c.data2, static_cast<unsigned char>(e.midiData[2]));
    EXPECT_EQ(0, e.midiData[3]);
    EXPECT_EQ(kVstMidiType, e.type);
    EXPECT_EQ(32, e.byteSize);
    EXPECT_EQ(0, e.deltaFrames);
    EXPECT_EQ(kVstMidiEventIsRealtime, e.flags);
    EXPECT_EQ(0, e.noteLength);
    EXPECT_EQ(0, e.noteOffset);
    EXPECT_EQ(0, e.detune);
    EXPECT_EQ(100, static_cast<unsigned char>(e.noteOffVelocity));
    EXPECT_EQ(0, e.reserved1);
    EXPECT_EQ(0, e.reserved2);
  }
  // Out-of-range tracks are ignored, not written anywhere.
  SendNoteOn(19, 60, 100);
  SendNoteOn(-1, 60, 100);
  SetInstrumentVolume(19, 10);
  SetInstrumentPan(-1, 10);
  for (int i = 0; i < kPluginSlotCount; ++i) {
    if (i != 4 * kPluginPositionCount) {
      EXPECT_TRUE(PendingMidiBytes(g_pluginSlots[i]).empty()) << i;
    }
  }
}

TEST_F(PluginHost, AnEmptySlotKeepsNoEvents) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  // A song bending a track with no instrument every tick: each render drops what came.
  for (int i = 0; i < 100; ++i) {
    SendPitchBend(5, i);
    Render(5);
  }
  EXPECT_TRUE(PendingMidiBytes(SlotOf(5, 0)).empty());
  // A plug-in loaded later starts with an empty queue: no stale note sounds at its load.
  SendNoteOn(5, 64, 90);
  ASSERT_EQ(0, LoadPlugin(5, 0, TestPluginPath("tp_vornalt").c_str()));
  TpInstance* t = TestPluginLibrary::Of(SlotOf(5, 0).effect);
  Render(5);
  EXPECT_EQ(0, t->midiTotal);
}

// Queues that nothing drains between ticks (an empty slot, a plug-in on a sample track) keep at
// most the limit, always their newest events, and count what they dropped.
TEST_F(PluginHost, UndrainedQueuesKeepOnlyTheirNewestEvents) {
  ASSERT_EQ(0, LoadPlugin(12, 0, TestPluginPath("tp_vornalt").c_str()));
  const int total = 3 * static_cast<int>(kPluginEventQueueLimit) + 5;
  auto bend = [](int i) { return std::vector<int>{0xE0, i & 0x7F, (i >> 7) & 0x7F}; };
  for (int track : {5, 12}) {
    SCOPED_TRACE(track);
    for (int i = 0; i < total; ++i) SendPitchBend(track, i % 16384 - 8192);
    const std::vector<std::vector<int>> pending = PendingMidiBytes(SlotOf(track, 0));
    ASSERT_LE(pending.size(), kPluginEventQueueLimit);
    ASSERT_FALSE(pending.empty());
    EXPECT_EQ(SlotOf(track, 0).droppedEvents + pending.size(), static_cast<size_t>(total));
    EXPECT_EQ(pending.front(), bend((total - static_cast<int>(pending.size())) % 16384));
    EXPECT_EQ(pending.back(), bend((total - 1) % 16384));
  }
}

TEST_F(PluginHost, QueuedEventsReachThePluginAtTheStartOfTheNextBlockInOrder) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  ASSERT_EQ(0, LoadPlugin(5, 0, TestPluginPath("tp_vornalt").c_str()));
  TpInstance* t = TestPluginLibrary::Of(SlotOf(5, 0).effect);
  SendNoteOn(5, 64, 90);
  SendPitchBend(5, -8192);
  EXPECT_EQ(0, t->midiTotal);  // nothing goes out before a block is rendered

  std::vector<float> out = Render(5);
  ASSERT_EQ(2, t->midiTotal);
  EXPECT_EQ(1, t->eventBatches);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(0, t->midiLog[i].block);  // before the first process call
    EXPECT_EQ(2, t->midiLog[i].batchSize);
    EXPECT_EQ(0, t->midiLog[i].event.deltaFrames);
  }
  EXPECT_EQ(0x90, static_cast<unsigned char>(t->midiLog[0].event.midiData[0]));
  EXPECT_EQ(64, t->midiLog[0].event.midiData[1]);
  EXPECT_EQ(0xE0, static_cast<unsigned char>(t->midiLog[1].event.midiData[0]));
  EXPECT_EQ(kTpDcLeft * 3 / 1024, out[0]);  // sounds from this block on, at volume 127's gain

  int requests = t->dispatchTotal;
  Render(5);  // nothing queued: no effProcessEvents
  EXPECT_EQ(requests, t->dispatchTotal);

  SendNoteOff(5, 64);
  out = Render(5);
  ASSERT_EQ(3, t->midiTotal);
  EXPECT_EQ(2, t->midiLog[2].block);
  EXPECT_EQ(0.0f, out[0]);
  EXPECT_EQ(3, t->processCalls);
  EXPECT_EQ(441, t->lastFrames);
  EXPECT_EQ(0, t->oddFrameCalls);
}

TEST_F(PluginHost, SecondDeliveryBeforeProcessKeepsTheFirstBlock) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  ASSERT_EQ(0, LoadPlugin(6, 0, TestPluginPath("tp_vornalt").c_str()));
  PluginSlot& slot = SlotOf(6, 0);
  TpInstance* t = TestPluginLibrary::Of(slot.effect);
  SendNoteOn(6, 1, 1);
  slot.DeliverEvents();
  VstEvents* block = slot.eventBlock;
  ASSERT_NE(nullptr, block);
  SendNoteOn(6, 2, 2);
  slot.DeliverEvents();
  EXPECT_EQ(block, slot.eventBlock);
  EXPECT_EQ(1, block->numEvents);
  EXPECT_EQ(1, static_cast<int>(reinterpret_cast<VstMidiEvent*>(block->events[0])->midiData[1]));
  slot.Process();
  EXPECT_EQ(nullptr, slot.eventBlock);
  slot.DeliverEvents();
  slot.Process();
  ASSERT_EQ(2, t->midiTotal);
  EXPECT_EQ(2, t->eventBatches);
  EXPECT_EQ(2, t->midiLog[1].event.midiData[1]);
  EXPECT_EQ(1, t->midiLog[1].block);
}

TEST_F(PluginHost, InstrumentRenderAppliesVolumeAndPanLaws) {
  struct Case {
    int volume, pan;
    float left, right;
  };
  // The plug-in holds 0.5 left and 0.25 right.
  const Case cases[] = {
      {240, 64, 0.25f, 0.125f},                           // half level
      {224, 64, 0.125f, 0.0625f},                         // a quarter
      {255, 64, 0.5f * 980 / 1024, 0.25f * 980 / 1024},   // the loudest is just below unity
      {127, 64, 0.5f * 3 / 1024, 0.25f * 3 / 1024},
      {96, 64, 0.5f / 1024, 0.25f / 1024},
      {95, 64, 0.0f, 0.0f},                               // below 96 is silent
      {300, 64, 0.5f * 980 / 1024, 0.25f * 980 / 1024},  // clamped to 255
      {-4, 64, 0.0f, 0.0f},                               // clamped to 0
      {240, 127, 0.0f, 0.125f},                           // hard right silences the left
      {240, 0, 0.25f, 0.0f},                              // hard left silences the right
      {240, 96, 0.25f * 31 / 64, 0.125f},
      {240, 32, 0.25f, 0.125f * 32 / 64},
      {240, 500, 0.0f, 0.125f},                           // clamped to 127
  };
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  ASSERT_EQ(0, LoadPlugin(7, 0, TestPluginPath("tp_vornalt").c_str()));
  SendNoteOn(7, 60, 127);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
    SetInstrumentVolume(7, c.volume);
    SetInstrumentPan(7, c.pan);
    std::vector<float> out = Render(7);
    for (int i = 0; i < kPluginBlockFrames; ++i) {
      ASSERT_EQ(c.left, out[2 * i]) << i;
      ASSERT_EQ(c.right, out[2 * i + 1]) << i;
    }
  }
  // An empty instrument slot leaves the caller's buffer untouched.
  std::vector<float> untouched = Render(8);
  for (float v : untouched) ASSERT_EQ(-7.0f, v);
}

TEST_F(PluginHost, MonoPluginLeavesMissingChannelSilent) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  TpConfig mono = {-1, 1, 0, {0, 0, 0, 0}, -1, -1, 0};
  lib.Configure(&mono);
  ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()));
  EXPECT_EQ(1, SlotOf(0, 0).outputCount);
  SetInstrumentVolume(0, 240);
  SendNoteOn(0, 60, 127);
  std::vector<float> out = Render(0);
  EXPECT_EQ(0.25f, out[0]);
  EXPECT_EQ(0.0f, out[1]);

  // A mono insert after a bypassed block: the right channel the bypass copy filled must
  // not linger once the plug-in processes again.
  TestPluginLibrary effect(TestPluginPath("tp_effect"));
  TpConfig monoEffect = {2, 1, 0, {0, 0, 0, 0}, -1, -1, 0};
  effect.Configure(&monoEffect);
  ASSERT_EQ(0, LoadPlugin(0, 4, TestPluginPath("tp_effect").c_str()));
  std::vector<float> buffer(2 * kPluginBlockFrames, 0.375f);
  SlotOf(0, 4).bypass = 1;
  ProcessInsertChain(0, buffer.data());
  EXPECT_EQ(0.375f, buffer[1]);
  SlotOf(0, 4).bypass = 0;
  ProcessInsertChain(0, buffer.data());
  for (int i = 0; i < kPluginBlockFrames; ++i) {
    ASSERT_EQ(0.375f, buffer[2 * i]) << i;
    ASSERT_EQ(0.0f, buffer[2 * i + 1]) << i;
  }
}

TEST_F(PluginHost, InsertChainRunsInOrderAndHonoursBypass) {
  std::vector<float> buffer(2 * kPluginBlockFrames);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<float>(i % 7) * 0.125f - 0.25f;
  const std::vector<float> original = buffer;
  ProcessInsertChain(2, buffer.data());
  EXPECT_EQ(original, buffer);  // no plug-ins: unchanged

  TestPluginLibrary lib(TestPluginPath("tp_effect"));
  std::string path = TestPluginPath("tp_effect");
  ASSERT_EQ(0, LoadPlugin(2, 1, path.c_str()));
  ASSERT_EQ(0, LoadPlugin(2, 3, path.c_str()));
  SlotOf(2, 1).SetParameter(0, 0.5f);   // out = in * 0.5 + 0.25
  SlotOf(2, 1).SetParameter(1, 0.25f);
  SlotOf(2, 3).SetParameter(0, 0.75f);  // out = in * 0.75 + 0.125
  SlotOf(2, 3).SetParameter(1, 0.125f);
  ProcessInsertChain(2, buffer.data());
  for (size_t i = 0; i < buffer.size(); ++i)
    ASSERT_EQ((original[i] * 0.5f + 0.25f) * 0.75f + 0.125f, buffer[i]) << i;

  buffer = original;
  SlotOf(2, 1).bypass = 1;
  ProcessInsertChain(2, buffer.data());
  for (size_t i = 0; i < buffer.size(); ++i) ASSERT_EQ(original[i] * 0.75f + 0.125f, buffer[i]) << i;

  // Inserts never get events, and each processed exactly 441 frames per call.
  SendNoteOn(2, 60, 100);
  ProcessInsertChain(2, buffer.data());
  TpInstance* last = TestPluginLibrary::Of(SlotOf(2, 3).effect);
  EXPECT_EQ(0, last->eventBatches);
  EXPECT_EQ(3, last->processCalls);
  EXPECT_EQ(0, last->oddFrameCalls);
  EXPECT_EQ(1, TestPluginLibrary::Of(SlotOf(2, 1).effect)->processCalls);  // bypassed since
}

TEST_F(PluginHost, ParameterWritesReachThePluginInOrderAndOutOfRangeOnesAreSkipped) {
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  ASSERT_EQ(0, LoadPlugin(1, 0, TestPluginPath("tp_vornalt").c_str()));
  TpInstance* t = TestPluginLibrary::Of(SlotOf(1, 0).effect);
  SetInstrumentParameter(1, 97, 1.0f);
  SetInstrumentParameter(1, 100, 0.5f);  // the plug-in has 100: skipped
  SetInstrumentParameter(1, -1, 0.5f);
  SetInstrumentParameter(1, 57, 0.25f);
  SlotOf(1, 0).SetParameter(99, 0.75f);
  SlotOf(1, 0).SetParameter(1000000, 0.75f);
  SetInstrumentParameter(9, 3, 0.5f);  // an empty slot: nothing
  SetInstrumentParameter(25, 3, 0.5f);
  ASSERT_EQ(3, t->paramTotal);
  EXPECT_EQ(97, t->paramLog[0].index);
  EXPECT_EQ(1.0f, t->paramLog[0].value);
  EXPECT_EQ(57, t->paramLog[1].index);
  EXPECT_EQ(0.25f, t->paramLog[1].value);
  EXPECT_EQ(99, t->paramLog[2].index);
  EXPECT_EQ(0.75f, SlotOf(1, 0).GetParameter(99));
  EXPECT_EQ(0.0f, SlotOf(1, 0).GetParameter(100));
  EXPECT_EQ(0.0f, SlotOf(9, 0).GetParameter(0));
}

TEST_F(PluginHost, EntryPointsAndNames) {
  // "main" is the fallback entry.
  ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_mainonly").c_str()));
  EXPECT_EQ("MainOnly", SlotOf(0, 0).name);

  // An empty effect name falls back to the library's file name.
  char folder[MAX_PATH];
  ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, folder));
  struct Case {
    const char* file;
    const char* name;
  };
  const Case cases[] = {
      {"Bright Pad.dll", "Bright Pad"},
      {"An extremely long plug-in file name.v2.dll", "An extremely long plug-in file "},
  };
  for (const Case& c : cases) {
    std::string copy = std::string(folder) + "\\" + c.file;
    ASSERT_TRUE(CopyFileA(TestPluginPath("tp_noname").c_str(), copy.c_str(), FALSE)) << c.file;
    ASSERT_EQ(0, LoadPlugin(1, 2, copy.c_str()));
    EXPECT_EQ(c.name, SlotOf(1, 2).name);
    UnloadPlugin(1, 2);
    DeleteFileA(copy.c_str());
  }
}

TEST_F(PluginHost, RefusedLibrariesLeaveSlotEmptyAndModuleFreed) {
  struct Case {
    const char* dll;
    bool entryCalled;
  };
  const Case cases[] = {{"tp_noentry", false},
                         {"tp_nullinstance", true},
                         {"tp_badmagic", true},
                         {"tp_wildinstance", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dll);
    std::string file = std::string(c.dll) + ".dll";
    {
      TestPluginLibrary lib(TestPluginPath(c.dll));
      ASSERT_TRUE(lib.ok());
      EXPECT_EQ(-1, LoadPlugin(9, 0, TestPluginPath(c.dll).c_str()));
      EXPECT_EQ(nullptr, SlotOf(9, 0).effect);
      EXPECT_EQ(nullptr, SlotOf(9, 0).module);
      TpInstance* t = lib.Latest();
      if (c.entryCalled) {
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(0, t->dispatchTotal);  // nothing of a refused instance is called
      } else {
        EXPECT_EQ(nullptr, t);
      }
    }
    EXPECT_FALSE(ModuleLoaded(file.c_str()));
    // Loading it with no reference of ours leaks nothing either.
    EXPECT_EQ(-1, LoadPlugin(9, 0, TestPluginPath(c.dll).c_str()));
    EXPECT_FALSE(ModuleLoaded(file.c_str()));
  }
  // A library that does not load is reported on the standard output with its path.
  std::string missing = TestPluginPath("no_such_plugin");
  testing::internal::CaptureStdout();
  int32_t result = LoadPlugin(9, 0, missing.c_str());
  DWORD error = GetLastError();
  std::fflush(stdout);
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(-1, result);
  EXPECT_NE(0u, error);
  std::string expected = "Failed trying to load VST from '" + missing + "', error " + std::to_string(error) + "\n";
  EXPECT_EQ(expected, printed);
  EXPECT_EQ(nullptr, SlotOf(9, 0).module);
  EXPECT_EQ(-1, LoadPlugin(9, 0, nullptr));
  EXPECT_EQ(-1, LoadPlugin(19, 0, TestPluginPath("tp_vornalt").c_str()));
  EXPECT_EQ(-1, LoadPlugin(0, 5, TestPluginPath("tp_vornalt").c_str()));
  EXPECT_EQ(-1, LoadPlugin(-1, 0, TestPluginPath("tp_vornalt").c_str()));
  EXPECT_FALSE(ModuleLoaded("tp_vornalt.dll"));
}

TEST_F(PluginHost, FailedLoadIntoAnOccupiedSlotLeavesItEmpty) {
  std::string instrument = TestPluginPath("tp_vornalt");
  const TpConfig kDefault = {-1, -1, 0, {0, 0, 0, 0}, -1, -1, 0};
  struct Case {
    const char* what;
    const char* dll;
    TpConfig config;  // for tp_effect: counts no host can honour are refused before any call
  };
  const Case cases[] = {
      {"missing library", "no_such_plugin", kDefault},
      {"no entry point", "tp_noentry", kDefault},
      {"no instance", "tp_nullinstance", kDefault},
      {"too many outputs", "tp_effect", {2, 100000, 0, {0, 0, 0, 0}, -1, -1, 0}},
      {"negative inputs", "tp_effect", {-5, 2, 0, {0, 0, 0, 0}, -1, -1, 0}},
      {"too many parameters", "tp_effect", {-1, -1, 0, {0, 0, 0, 0}, 100000, -1, 0}},
      {"negative parameters", "tp_effect", {-1, -1, 0, {0, 0, 0, 0}, -3, -1, 0}},
      {"too many programs", "tp_effect", {-1, -1, 0, {0, 0, 0, 0}, -1, 100000, 0}},
      {"negative programs", "tp_effect", {-1, -1, 0, {0, 0, 0, 0}, -1, -2, 0}},
  };
  {
    TestPluginLibrary lib(instrument);
    TestPluginLibrary effect(TestPluginPath("tp_effect"));
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      ASSERT_EQ(0, LoadPlugin(6, 0, instrument.c_str()));
      TpInstance* old = TestPluginLibrary::Of(SlotOf(6, 0).effect);
      SendNoteOn(6, 60, 100);
      effect.Configure(&c.config);
      int created = effect.Latest() ? effect.Latest()->serial : -1;
      EXPECT_EQ(-1, LoadPlugin(6, 0, TestPluginPath(c.dll).c_str()));
      EXPECT_EQ(nullptr, SlotOf(6, 0).effect);
      EXPECT_EQ(nullptr, SlotOf(6, 0).module);
      EXPECT_EQ(1, old->closed);
      EXPECT_EQ(effClose, DispatchOpcodes(old).back());
      std::vector<float> out = Render(6);  // nothing plays in the slot any more
      EXPECT_EQ(-7.0f, out[0]);
      EXPECT_EQ(0, old->processCalls);
      if (effect.Latest() && effect.Latest()->serial != created) {
        EXPECT_EQ(0, effect.Latest()->dispatchTotal);  // nothing of a refused instance is called
      }
    }
    effect.Configure(nullptr);
  }
  EXPECT_FALSE(ModuleLoaded("tp_effect.dll"));
  EXPECT_FALSE(ModuleLoaded("tp_vornalt.dll"));
}

TEST_F(PluginHost, ADestroyedSlotClosesItsPluginAndFreesItsLibrary) {
  // What the slots' destructors do at exit, on a slot of the test's own.
  {
    TestPluginLibrary lib(TestPluginPath("tp_kezmir"));
    ASSERT_EQ(0, LoadPlugin(7, 0, TestPluginPath("tp_kezmir").c_str()));
    std::unique_ptr<PluginSlot> slot(new PluginSlot);
    std::swap(slot->effect, SlotOf(7, 0).effect);
    std::swap(slot->module, SlotOf(7, 0).module);
    slot->host = &g_hostContext;
    slot->editorOpen = 1;
    TpInstance* t = TestPluginLibrary::Of(slot->effect);
    int opened = t->dispatchTotal;
    slot.reset();
    EXPECT_EQ((std::vector<int32_t>{effEditClose, effStopProcess, effMainsChanged, effClose}),
              DispatchOpcodes(t, opened));
  }
  EXPECT_FALSE(ModuleLoaded("tp_kezmir.dll"));
  // A library held without an instance goes too.
  std::unique_ptr<PluginSlot> slot(new PluginSlot);
  slot->module = LoadLibraryA(TestPluginPath("tp_noentry").c_str());
  ASSERT_NE(nullptr, slot->module);
  slot.reset();
  EXPECT_FALSE(ModuleLoaded("tp_noentry.dll"));
}

TEST_F(PluginHost, HostileTextsAreCutAndMissingEntriesNeverCalled) {
  ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_longtext").c_str()));
  PluginSlot& slot = SlotOf(0, 0);
  EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF", slot.name);
  EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWX", slot.programNames[0]);
  EXPECT_EQ("unknown", slot.programNames[2]);
  EXPECT_EQ("ABCDEFGH", slot.paramNames[0]);
  EXPECT_EQ("ABCDEFGH", slot.paramLabels[99]);
  EXPECT_EQ("ABCDEFGH", slot.paramDisplays[50]);

  // No processReplacing, setParameter or getParameter: the insert passes audio through.
  ASSERT_EQ(0, LoadPlugin(0, 1, TestPluginPath("tp_noreplacing").c_str()));
  slot.Process();
  SlotOf(0, 1).SetParameter(0, 0.5f);
  EXPECT_EQ(0.0f, SlotOf(0, 1).GetParameter(0));
  std::vector<float> buffer(2 * kPluginBlockFrames, 0.375f);
  ProcessInsertChain(0, buffer.data());
  for (float v : buffer) ASSERT_EQ(0.375f, v);
}

TEST_F(PluginHost, EngineLockHoldsOffReplacement) {
  ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()));
  std::atomic<int> done{0};
  std::thread unloader;
  {
    EngineLock lock = LockEngine();
    unloader = std::thread([&] {
      UnloadPlugin(0, 0);
      done = 1;
    });
    Sleep(50);
    EXPECT_EQ(0, done.load());
    EXPECT_NE(nullptr, SlotOf(0, 0).effect);
  }
  unloader.join();
  EXPECT_EQ(1, done.load());
  EXPECT_EQ(nullptr, SlotOf(0, 0).effect);
}

int32_t Volatile(const int32_t& field) { return *static_cast<const volatile int32_t*>(&field); }

TEST_F(PluginHost, TicksGoOnWhilePluginsStartAndStop) {
  // The library load and the plug-ins' start-up and shut-down run outside the engine lock: a
  // tick that comes while the old instance sits in a slow effClose, or the new one in a slow
  // effOpen, gets the lock at once and finds the slot empty.
  std::string path = TestPluginPath("tp_vornalt");
  TestPluginLibrary lib(path);
  ASSERT_EQ(0, LoadPlugin(3, 0, path.c_str()));
  TpInstance* old = TestPluginLibrary::Of(SlotOf(3, 0).effect);
  const TpConfig slow = {-1, -1, 0, {0, 0, 0, 0}, -1, -1, 1000};
  lib.Configure(&slow);
  std::atomic<bool> loaded{false};
  std::thread loader([&] {
    EXPECT_EQ(0, LoadPlugin(3, 0, path.c_str()));
    loaded = true;
  });
  // Waits for the moment `inside` says, then ticks; true when the tick got the lock while
  // `done` was still false and found no instance to run.
  auto tickWhen = [&](const std::function<bool()>& inside, const std::function<bool()>& done) {
    bool seen = false;
    for (int wait = 0; wait < 30000 && !loaded && !seen; ++wait) {
      seen = inside();
      if (!seen) Sleep(1);
    }
    if (!seen) return false;
    EngineLock tick = LockEngine();
    return !done() && SlotOf(3, 0).effect == nullptr;
  };
  TpInstance* fresh = nullptr;
  bool tickedDuringShutDown = tickWhen(
      [&] {
        int n = Volatile(old->dispatchTotal);
        return n > 0 && old->dispatchLog[n - 1].opcode == effClose;
      },
      [&] { return Volatile(old->closed) != 0; });
  bool tickedDuringStartUp = tickWhen(
      [&] {
        TpInstance* latest = lib.Latest();
        if (latest != old && latest && Volatile(latest->dispatchTotal) > 0) fresh = latest;
        return fresh != nullptr;
      },
      [&] { return Volatile(fresh->opened) != 0; });
  loader.join();
  lib.Configure(nullptr);
  EXPECT_TRUE(tickedDuringShutDown);
  EXPECT_TRUE(tickedDuringStartUp);
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(1, old->closed);
  EXPECT_EQ(&fresh->effect, SlotOf(3, 0).effect);
  EXPECT_EQ(OpenSequence(kTpParamCount, kTpProgramCount), DispatchOpcodes(fresh));
  EXPECT_EQ(44100, fresh->openSampleRate);  // bound for the host callback while starting up
}

TEST_F(PluginHost, ReplacingWhileAnotherThreadRendersDoesNotCrash) {
  std::string instrument = TestPluginPath("tp_vornalt");
  std::string effect = TestPluginPath("tp_effect");
  ASSERT_EQ(0, LoadPlugin(0, 0, instrument.c_str()));
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread render([&] {
    std::vector<float> out(2 * kPluginBlockFrames);
    while (!stop) {
      EngineLock tick = LockEngine();  // as each render tick does
      SendNoteOn(0, 60, 100);
      RenderInstrumentTrack(0, out.data());
      ProcessInsertChain(0, out.data());
      ++blocks;
    }
  });
  int rendered = 0;  // replacements followed by at least one rendered block
  for (int i = 0; i < 40; ++i) {
    int before = blocks.load();
    EXPECT_EQ(0, LoadPlugin(0, i % 2 ? 0 : 1, i % 2 ? instrument.c_str() : effect.c_str()));
    if (i % 3 == 0) UnloadPlugin(0, 0);
    // Let the render thread run between replacements, so the two really interleave.
    for (int wait = 0; wait < 2000 && blocks.load() == before; ++wait) Sleep(1);
    if (blocks.load() != before) ++rendered;
  }
  stop = true;
  render.join();
  EXPECT_EQ(40, rendered);
}

}  // namespace

namespace {

HWND MakeEditorWindow(int x, int y) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "tarvex_plugin_fit_test";
  RegisterClassA(&wc);  // may already exist from an earlier case
  return CreateWindowExA(0, "tarvex_plugin_fit_test", "fit", WS_OVERLAPPEDWINDOW, x, y, 100, 100, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

RECT WorkArea() {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcWork;
}

// The client the window gets (the editor's, or the parameter view's), never narrower than the
// control row and never taller than the work area allows; the whole window on the work area,
// where it was when it already lay there.
TEST_F(PluginHost, EditorWindowFitsTheEditorOrTheGenericViewAndTheScreen) {
  const RECT work = WorkArea();
  RECT frame = {0, 0, 0, 0};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
  const LONG tallest = work.bottom - work.top - (frame.bottom - frame.top);  // the capped client
  struct Case {
    const char* what;
    int hasRect;
    ERect rect;
    int params;   // for the generic view
    POINT place;  // where the window was made
    SIZE client;  // what its client area must become
  };
  const Case cases[] = {
      {"editor rectangle plus 24 below", 1, {0, 0, 200, 300}, 4, {40, 30}, {300, 224}},
      {"offset editor rectangle", 1, {10, 20, 110, 320}, 4, {40, 30}, {300, 124}},
      {"narrow editor: the control row's width", 1, {0, 0, 50, 100}, 4, {40, 30}, {270, 74}},
      {"generic view of 4 parameters, widened to the row", 0, {}, 4, {40, 30}, {270, 30 * 4 + 54}},
      {"generic view taller than the screen", 0, {}, 100, {40, 30}, {270, tallest}},
      {"editor taller than the screen", 1, {0, 0, 3000, 400}, 4, {40, 30}, {400, tallest}},
      {"placed far right and below", 0, {}, 4, {100000, 100000}, {270, 174}},
      {"placed far left and above", 0, {}, 4, {-100000, -100000}, {270, 174}},
  };
  TestPluginLibrary lib(TestPluginPath("tp_vornalt"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TpConfig config = {-1, -1, c.hasRect, c.rect, -1, -1, 0};
    lib.Configure(&config);
    ASSERT_EQ(0, LoadPlugin(0, 0, TestPluginPath("tp_vornalt").c_str()));
    PluginSlot& slot = SlotOf(0, 0);
    slot.effect->numParams = c.params;
    HWND window = MakeEditorWindow(c.place.x, c.place.y);
    ASSERT_NE(nullptr, window);
    slot.FitEditorWindow(window);

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(c.client.cx, client.right);
    EXPECT_EQ(c.client.cy, client.bottom);
    // The kept rectangle is the outer one, framed around the client as the window is.
    EXPECT_EQ(frame.left + (c.hasRect ? c.rect.left : 0), slot.editorRect.left);
    EXPECT_EQ(frame.top + (c.hasRect ? c.rect.top : 0), slot.editorRect.top);
    EXPECT_EQ(slot.editorRect.left + c.client.cx + frame.right - frame.left, slot.editorRect.right);
    EXPECT_EQ(slot.editorRect.top + c.client.cy + frame.bottom - frame.top, slot.editorRect.bottom);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(slot.editorRect.right - slot.editorRect.left, outer.right - outer.left);
    EXPECT_EQ(slot.editorRect.bottom - slot.editorRect.top, outer.bottom - outer.top);
    if (c.place.x == 40) {
      // On the screen already: not moved, unless the window is as tall as the work area.
      EXPECT_EQ(40, outer.left);
      EXPECT_EQ(c.client.cy == tallest ? work.top : 30, outer.top);
    }
    EXPECT_TRUE(outer.left >= work.left && outer.top >= work.top && outer.right <= work.right &&
                outer.bottom <= work.bottom)
        << outer.left << "," << outer.top << "-" << outer.right << "," << outer.bottom;
    DestroyWindow(window);
    slot.effect->numParams = kTpParamCount;
  }
}

}  // namespace
